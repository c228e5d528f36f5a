// The desktop program's entry: the application module with the main window around it.
#include <QApplication>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "app/app_texts.h"
#include "app/command_line.h"
#include "app/module_shared.h"
#include "app/qt_message_log.h"
#include "platform/system_folders.h"
#include "platform/write_signals.h"
#include "translation/translated_text.h"
#include "ui/desktop_program.h"

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
    // Answered before anything is set up: no window, no data root, no second-instance check.
    if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
        std::fputs("plovane (Plovane) " PLOVANE_VERSION_STRING "\n", stdout);
        return EXIT_SUCCESS;
    }
    IgnoreWriteSignals();
    ChooseQpaPlatform();
    // Made before the application object, so that its own warnings reach the program log too.
    TQtMessageLog qtMessages;
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Plovane"));
    QApplication::setApplicationVersion(QStringLiteral(PLOVANE_VERSION_STRING));
    // The installed desktop entry's name: the desktop finds the window's icon and entry by it.
    QApplication::setDesktopFileName(QStringLiteral("org.plovane.Plovane"));

    TModuleEnvironment environment;
    environment.ProgramFolder = ExecutableFolder();
    environment.DocumentsFolder = UserDocumentsFolder();
    environment.Arguments = QApplication::arguments().mid(1);
    environment.CheckSingleInstance = true;
    environment.TerminateApplication = [] {
        // Queued, so that it also ends a loop that has not started yet.
        QMetaObject::invokeMethod(qApp, &QCoreApplication::quit, Qt::QueuedConnection);
    };
    TDesktopProgram program(ReadCommandLine(environment.Arguments).HideAppGUI);
    program.Attach(environment);

    TModuleShared module(std::move(environment));
    const TQtMessageLogAttachment attachment(qtMessages, module.FLogging);
    if (module.IsSecondInstance()) {
        // The running instance has been asked to show itself. A project named to be run is
        // not run: whoever started it (a script, as a rule) must learn that.
        if (module.FAppParam_BeginProjectPath.isEmpty())
            return EXIT_SUCCESS;
        WriteConsole(stderr, TranslatedMessage(KTextOtherInstanceRunning,
                                               {{QStringLiteral("dynDirFilePathName"),
                                                 module.FAppParam_BeginProjectPath}}) +
                                 QLatin1Char('\n'));
        return KExitOtherInstanceRunning;
    }

    QTimer::singleShot(0, [&module] { module.AfterStartup(); });
    // The window goes when it is closed; so does the loop, unless a batch still holds it.
    QApplication::setQuitOnLastWindowClosed(true);
    const int loopExit = QApplication::exec();
    program.Close();
    return loopExit != 0 ? loopExit : program.BatchExitCode();
}
