// plovane-run: runs a project's batch without a window.
#include <QCoreApplication>

#include "app/qt_message_log.h"
#include "cli/run_command.h"
#include "cli/run_options.h"
#include "platform/write_signals.h"

int main(int argc, char* argv[]) {
    // A closed output or a file-size limit fails the write concerned, never the batch.
    IgnoreWriteSignals();
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    // Made before the application object, so that its own warnings are routed too; whether
    // they may reach the terminal is known from the command line alone.
    QString ignored;
    const std::optional<TRunOptions> options = ParseRunOptions(arguments, &ignored);
    TQtMessageLog qtMessages(options && options->Quiet);
    QCoreApplication application(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("Plovane"));
    return RunCommandLine(arguments, qtMessages);
}
