// plovane-run: runs a project's batch without a window.
#include <QCoreApplication>

#include <cstdio>

#include "cli/run_command.h"

int main(int argc, char* argv[]) {
    QCoreApplication application(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("Plovane"));
    QString error;
    const std::optional<TRunOptions> options =
        ParseRunOptions(QCoreApplication::arguments().mid(1), &error);
    if (!options) {
        std::fprintf(stderr, "plovane-run: %s\n\n%s", error.toUtf8().constData(),
                     RunUsageText().toUtf8().constData());
        return KExitUsage;
    }
    if (options->Help) {
        std::fputs(RunUsageText().toUtf8().constData(), stdout);
        return KExitDone;
    }
    return RunProjectFromCommandLine(*options);
}
