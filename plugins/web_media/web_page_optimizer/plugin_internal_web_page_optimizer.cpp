#include "plugins/web_media/web_page_optimizer/plugin_internal_web_page_optimizer.h"

#include <optional>

#include "base/exceptions.h"
#include "base/ini_document.h"
#include "base/text_file.h"
#include "plugin_host/internal_plugin_info.h"
#include "plugins/web_media/web_page_optimizer_engine/web_page_optimizer.h"

namespace {

const QString KPropSetup = QStringLiteral("Setup");

}  // namespace

QString TagMatchErrorMessage(const QString& AStartTag, const QString& AEndTag) {
    return QStringLiteral("Found \"") + AStartTag + QStringLiteral("\", but not \"") + AEndTag +
           u'"';
}

TPluginInternal_WebPageOptimizer::TPluginInternal_WebPageOptimizer()
    : FInfo(MakeInternalPluginInfo(
          QStringLiteral("WebPageOptimizer"),
          QStringLiteral("Optimize HTML space usage in UTF-8/ASCII files which often leads to "
                         "output size being 20-30% smaller."),
          QStringLiteral("1.04"))) {
    FInfo.HasCompany = QStringLiteral("Kestrin");
    FInfo.CanLaunchFilesSep = QString();
    FInfo.CanLaunchFilesList = QStringLiteral("known-issues.txt");
    FInfo.SuggestedExts = QStringLiteral(".htm,.html");
    FInfo.PluginCategory = pcWebDevelopment;
    FInfo.CanWorkCategory = PLV_CAN_WORK_FILES;
    FInfo.ReleaseState = PLV_RELEASE_USABLE | PLV_RELEASE_BETA | PLV_RELEASE_NOT_PROD_USE_PARTS;
}

void TPluginInternal_WebPageOptimizer::PluginSetupInit(const TExeInfoHost&,
                                                       IExeInitCallbacks& ACallbacks) {
    ACallbacks.ExeMakePropName(
        KPropSetup, QStringLiteral("Setup"), vptFile, 0, {},
        QStringLiteral("This is an \"optimizer\". That means HTML will not be very human "
                       "readable after this. It is meant to be a final step before uploading to "
                       "a webserver.\r\n\r\nYou should make sure that your HTML and server side "
                       "code has been validated and uses UTF-8 before running it through this."
                       "\r\n\r\nThis plugin is in beta.\r\n\r\nIt is advised to validate output "
                       "worked on by this plugin after batch."));
}

void TPluginInternal_WebPageOptimizer::PluginSetupPreEdit(const TExeInfoHost&,
                                                          IExePreEditCallbacks& ACallbacks) {
    ACallbacks.ExeSetPropDefaultFileValue(KPropSetup, QStringLiteral("dao.ini"), 1);
}

void TPluginInternal_WebPageOptimizer::PluginSetupWorkStart(const TExeInfoHost&, const QString&,
                                                            IExeWorkCallbacks& ACallbacks) {
    const std::lock_guard lock(FLock);
    FCallbacks = &ACallbacks;
}

void TPluginInternal_WebPageOptimizer::PluginSetupWorkEnd(const TExeInfoHost&) {
    const std::lock_guard lock(FLock);
    FCallbacks = nullptr;
}

void TPluginInternal_WebPageOptimizer::PluginSetPropFileValue(const QString& APropName,
                                                              const QString& AFullFilePathName) {
    if (APropName != KPropSetup)
        return;
    const TWebPageOptimizerSettings settings =
        TWebPageOptimizerSettings::FromIni(TIniDocument::FromFile(AFullFilePathName));
    const std::lock_guard lock(FLock);
    FSettings = settings;
}

TWebPageOptimizerSettings TPluginInternal_WebPageOptimizer::Settings() const {
    const std::lock_guard lock(FLock);
    return FSettings;
}

void TPluginInternal_WebPageOptimizer::Report(const QString& AMessage) const {
    IExeWorkCallbacks* callbacks = nullptr;
    {
        const std::lock_guard lock(FLock);
        callbacks = FCallbacks;
    }
    if (callbacks != nullptr)
        callbacks->ExeHandleWorkPathErrorMsg(AMessage, QString());
}

void TPluginInternal_WebPageOptimizer::PluginWorkPath(const QString& AWorkPathNameIn,
                                                      TWorkPathOutput&) {
    try {
        const TWebPageOptimizerSettings settings = Settings();
        const TTextFileContent content = ReadTextFileDetected(AWorkPathNameIn);
        if (content.Status == TTextReadStatus::Missing) {
            Report(QStringLiteral("The file does not exist."));
            return;
        }
        if (content.Status == TTextReadStatus::Unreadable) {
            Report(QStringLiteral("The file could not be read; it was left unchanged."));
            return;
        }
        // A file whose bytes did not decode cleanly would not come back as it was.
        const QString loss = LossOnWriteBack(content);
        if (!loss.isEmpty()) {
            Report(QStringLiteral("The file was left unchanged: ") + loss + u'.');
            return;
        }

        TqvWebPageOptimizer engine;
        engine.SetDetectLanMode(wpodTryAutoDetect);
        engine.SetHtml_MakeNS4Comp(settings.HandleNetscape4Quirks);
        engine.SetHtml_UseShortTags(settings.ConvertToSmallTags);
        engine.SetDetectLanMode(ChooseWebPageMode(settings, WebPageFileExtension(AWorkPathNameIn)));

        QString text = content.Text;
        try {
            engine.Parse(text);
        } catch (const EqvTagMatchError& e) {
            // Reported, and the text packed as far as the engine got is still written.
            Report(TagMatchErrorMessage(e.FStartTag, e.FEndTag));
        }
        if (text == content.Text)
            return;
        QString error;
        if (!WriteTextFileBack(AWorkPathNameIn, text, content, nullptr, &error))
            Report(QStringLiteral("The file could not be written; it was left unchanged: ") +
                   error);
    } catch (const std::exception& e) {
        Report(ExceptionMessage(e));
    }
}
