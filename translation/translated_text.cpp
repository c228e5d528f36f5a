#include "translation/translated_text.h"

#include "translation/builtin_texts.h"
#include "translation/language_controller.h"

namespace {

// The program-wide controller when the calling thread may use it.
TqvlgLanguageController* UsableController() {
    TqvlgLanguageController* controller = TqvlgLanguageController::GlobalDefault();
    if (controller == nullptr || !TqvlgLanguageController::IsGlobalDefaultThread())
        return nullptr;
    return controller;
}

void SetDynVars(TqvlgLanguageController& AController, const TqvlgDynVars& ADynVars) {
    for (const auto& [name, value] : ADynVars)
        AController.AddTemplateVar(name, value, {}, true);
}

// The English text as the lookup gives it while English is chosen: braces filled by a private
// controller, so nothing is shared with the thread that owns the default one.
QString EnglishFallback(const QString& AText, const QString& ATmplSysName,
                        const TqvlgDynVars& ADynVars) {
    TqvlgLanguageController local;
    for (const auto& [name, value] : ProgramTemplateConstants())
        local.AddTemplateVar(name, value, {}, false);
    SetDynVars(local, ADynVars);
    return local.UseTemplateOnStr(ATmplSysName, AText);
}

QString TranslatedStdDialogText(const QString& AText) {
    TqvlgLanguageController* controller = UsableController();
    if (controller == nullptr)
        return AText;
    return controller->Get_TransResStr(KTransIdGeneral, KSectionDialogsStd,
                                       TqvlgLanguageController::MakeKeySafe(AText), AText, true);
}

}  // namespace

TqvlgDynVars ProgramTemplateConstants() {
    return {
        {QStringLiteral("ProgramNameShort"), KProgramNameShort},
        {QStringLiteral("ProgramNameShortCommon"), KProgramNameShort},
        {QStringLiteral("CompanyNameShort"), KCompanyNameShort},
        {QStringLiteral("CompanyNameLong"), KCompanyNameLong},
        {QStringLiteral("CompanyUrlFull"), KCompanyUrlFull},
        {QStringLiteral("CompanyProductSupportEmail"), KCompanyProductSupportEmail},
        {QStringLiteral("CopyrightTime"), KCopyrightTime},
        {QStringLiteral("CopyrightHolders"), KCopyrightHolders},
    };
}

QString TranslatedMessage(const QString& ATransID, const QString& ASection, const QString& AKey,
                          const QString& ADefStr, const TqvlgDynVars& ADynVars) {
    TqvlgLanguageController* controller = UsableController();
    if (controller == nullptr)
        return EnglishFallback(ADefStr, KTemplateCurly, ADynVars);
    SetDynVars(*controller, ADynVars);
    return controller->Get_TransResStr_SetNative(ATransID, ASection, AKey, ADefStr);
}

QString TranslatedMessage(const TqvlgNativeText& AText, const TqvlgDynVars& ADynVars) {
    TqvlgLanguageController* controller = UsableController();
    if (controller == nullptr)
        return EnglishFallback(AText.Native, AText.TmplSysName, ADynVars);
    SetDynVars(*controller, ADynVars);
    controller->Set_TransResStr_Native(AText.TransID, AText.Section, AText.Key, AText.Native,
                                       AText.TmplSysName);
    return controller->Get_TransResStr(AText.TransID, AText.Section, AText.Key, AText.Native, true);
}

QString TranslatedGuiText(const QString& ATransID, const QString& ASection, const QString& AKey,
                          const QString& ADef) {
    TqvlgLanguageController* controller = UsableController();
    if (controller == nullptr)
        return ADef;
    return controller->Get_TransGuiStr(ATransID, ASection, AKey, ADef);
}

QString TranslatedDialogTitle(const QString& ATitle) {
    return TranslatedStdDialogText(ATitle);
}

QString TranslatedDialogButton(const QString& ACaption) {
    return TranslatedStdDialogText(ACaption);
}
