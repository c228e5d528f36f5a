// The desktop program's entry: create the application module, run the event loop, end.
#include <QApplication>
#include <QTimer>

#include <cstdio>
#include <cstdlib>

#include "app/module_shared.h"
#include "app/user_prompts.h"
#include "cli/run_command.h"
#include "platform/system_folders.h"
#include "plugin_host/internal_plugin_registry.h"
#include "plugin_host/plugin_host.h"
#include "plugins/register_all.h"

namespace {

// Without a display the program still runs (with "-hide", or from scripts) on Qt's offscreen
// platform.
void ChooseQpaPlatform() {
    const bool hasDisplay =
        qEnvironmentVariableIsSet("DISPLAY") || qEnvironmentVariableIsSet("WAYLAND_DISPLAY");
    if (!hasDisplay && !qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
}

}  // namespace

int main(int argc, char* argv[]) {
    ChooseQpaPlatform();
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
    // Until the main window runs batches, a project named on the command line runs headless
    // through the same wrapper as plovane-run.
    int batchExitCode = EXIT_SUCCESS;
    environment.RunProjectBatch = [&batchExitCode](TModuleShared& AModule,
                                                   const QString& AProjectPath) {
        TCollectionInternalPluginTypes registry;
        RegisterAllInternalPlugins(registry);
        TPluginHost host(registry, {AModule.Folders().ModulesFolder, AModule.Folders().TempFolder,
                                    &AModule.FLogging});
        host.Discover();
        TRunOptions options;
        options.ProjectPath = AProjectPath;
        batchExitCode = RunProjectBatch(AModule, host, options);
    };

    TModuleShared module(std::move(environment));
    if (module.IsSecondInstance())
        return EXIT_SUCCESS;

    QTimer::singleShot(0, [&module] {
        module.AfterStartup();
        // No main window in this build: nothing would be left to do after the start.
        if (module.FFormFront == nullptr && !module.IsTerminating()) {
            std::fputs("Plovane: the main window is not part of this build; ending.\n", stderr);
            QCoreApplication::quit();
        }
    });
    const int loopExit = QApplication::exec();
    return loopExit != 0 ? loopExit : batchExitCode;
}
