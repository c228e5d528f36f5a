#include "translation/translation_startup.h"

#include "platform/system_folders.h"
#include "translation/builtin_texts.h"
#include "translation/language_controller.h"
#include "translation/translated_text.h"

void AddProgramTemplateVars(TqvlgLanguageController& AController, const QString& AProgramLogPath,
                            const QString& ADataFolder) {
    for (const auto& [name, value] : ProgramTemplateConstants())
        AController.AddTemplateVar(name, value, {}, false);
    AController.AddTemplateVar(QStringLiteral("LogFilePath"), AProgramLogPath, {}, false);
    AController.AddTemplateVar(QStringLiteral("AppDataPath"), IncludeTrailingSeparator(ADataFolder),
                               {}, false);
}

void RegisterStartupNativeTexts(TqvlgLanguageController& AController,
                                const QString& AProgramVersion, const QDateTime& ANow) {
    RegisterModuleNativeTexts(AController);
    RegisterNativeMetaData(AController, AProgramVersion, ANow);
}

void SetupTranslationAtStart(TqvlgLanguageController& AController,
                             const QString& ATranslationsFolder, QString& ALanguage,
                             const QString& AProgramLogPath, const QString& ADataFolder,
                             const QString& AProgramVersion, const QDateTime& ANow) {
    AController.Config_WorkRoot(ATranslationsFolder);
    ALanguage = AController.Get_Language_Match(ALanguage);
    AController.Config_Language_Primary(ALanguage, false);
    AController.Config_WorkRules(lgrTryAvoidTransBackendIfNative | lgrIgnoreEmptyGUIStrs);
    AController.Config_ControllerAsGlobalDefault();
    AController.ConfTemplateDef_Push(KTemplateCurly);
    AddProgramTemplateVars(AController, AProgramLogPath, ADataFolder);
    RegisterStartupNativeTexts(AController, AProgramVersion, ANow);
}
