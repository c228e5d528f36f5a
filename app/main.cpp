// The desktop program's entry: create the application module, run the event loop, end.
#include <QApplication>
#include <QTimer>

#include <cstdlib>
#include <memory>

#include "app/app_texts.h"
#include "app/command_line.h"
#include "app/module_shared.h"
#include "app/qt_message_log.h"
#include "app/user_prompts.h"
#include "platform/system_folders.h"
#include "plugin_host/internal_plugin_registry.h"
#include "plugin_host/plugin_host.h"
#include "plugins/register_all.h"
#include "project/headless_run.h"
#include "translation/translated_text.h"

namespace {

// Without a display the program still runs (with "-hide", or from scripts) on Qt's offscreen
// platform.
void ChooseQpaPlatform() {
    const bool hasDisplay =
        qEnvironmentVariableIsSet("DISPLAY") || qEnvironmentVariableIsSet("WAYLAND_DISPLAY");
    if (!hasDisplay && !qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
}

void PrintError(const QString& AText) {
    WriteConsole(stderr, AText + QLatin1Char('\n'));
}

}  // namespace

int main(int argc, char* argv[]) {
    ChooseQpaPlatform();
    // Made before the application object, so that its own warnings reach the program log too.
    TQtMessageLog qtMessages;
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Plovane"));
    QApplication::setApplicationVersion(QStringLiteral(PLOVANE_VERSION_STRING));

    TConsolePrompts prompts;
    TModuleEnvironment environment;
    environment.ProgramFolder = ExecutableFolder();
    environment.DocumentsFolder = UserDocumentsFolder();
    environment.Arguments = QApplication::arguments().mid(1);
    environment.Prompts = &prompts;
    environment.CheckSingleInstance = true;
    environment.TerminateApplication = [] {
        // Queued, so that it also ends a loop that has not started yet.
        QMetaObject::invokeMethod(qApp, &QCoreApplication::quit, Qt::QueuedConnection);
    };
    // Until the main window runs batches, a project named on the command line runs headless,
    // the same way as with plovane-run.
    int batchExitCode = EXIT_SUCCESS;
    environment.RunProjectBatch = [&batchExitCode](TModuleShared& AModule,
                                                   const QString& AProjectPath) {
        THeadlessRunView view;
        TCollectionInternalPluginTypes registry;
        RegisterAllInternalPlugins(registry);
        const std::unique_ptr<TPluginHost> host = DiscoverPluginsHeadless(AModule, registry, view);
        batchExitCode = host == nullptr
                            ? KExitBatchNotRun
                            : RunProjectHeadless(AModule, *host, {AProjectPath, {}}, view);
    };

    TModuleShared module(std::move(environment));
    const TQtMessageLogAttachment attachment(qtMessages, module.FLogging);
    if (module.IsSecondInstance()) {
        // The running instance has been asked to show itself. A project named to be run is
        // not run: whoever started it (a script, as a rule) must learn that.
        if (module.FAppParam_BeginProjectPath.isEmpty())
            return EXIT_SUCCESS;
        PrintError(TranslatedMessage(
            KTextOtherInstanceRunning,
            {{QStringLiteral("dynDirFilePathName"), module.FAppParam_BeginProjectPath}}));
        return KExitOtherInstanceRunning;
    }

    QTimer::singleShot(0, [&module] {
        module.AfterStartup();
        // No main window in this build: nothing would be left to do after the start.
        if (module.FFormFront == nullptr && !module.IsTerminating()) {
            PrintError(TranslatedMessage(KTextNoMainWindowInBuild));
            QCoreApplication::quit();
        }
    });
    const int loopExit = QApplication::exec();
    return loopExit != 0 ? loopExit : batchExitCode;
}
