#include "cli/run_command.h"

#include <QElapsedTimer>
#include <QFileInfo>

#include <unistd.h>
#include <atomic>
#include <csignal>
#include <cstdio>
#include <mutex>

#include "app/directory_setup.h"
#include "app/module_shared.h"
#include "app/user_prompts.h"
#include "base/exceptions.h"
#include "batch/batch_runner.h"
#include "batch/batch_texts.h"
#include "platform/system_folders.h"
#include "plugin_host/internal_plugin_registry.h"
#include "plugin_host/plugin_descriptor.h"
#include "plugin_host/plugin_host.h"
#include "plugins/register_all.h"
#include "project/project_file.h"
#include "translation/translated_text.h"

namespace {

std::atomic<int> GInterrupts{0};

extern "C" void OnInterruptSignal(int) {
    // A second Ctrl+C ends at once; the first asks the batch to stop.
    if (GInterrupts.fetch_add(1) >= 1)
        _exit(KExitInterrupted);
}

void Print(FILE* AStream, const QString& AText) {
    std::fputs(AText.toUtf8().constData(), AStream);
    std::fflush(AStream);
}

QString Elapsed(qint64 AMs) {
    const qint64 seconds = AMs / 1000;
    return QStringLiteral("%1:%2:%3")
        .arg(seconds / 3600, 2, 10, QLatin1Char('0'))
        .arg((seconds / 60) % 60, 2, 10, QLatin1Char('0'))
        .arg(seconds % 60, 2, 10, QLatin1Char('0'));
}

// Draws the progress: a bar on a terminal, a plain line now and then otherwise.
class TProgressPrinter {
public:
    TProgressPrinter(bool AQuiet, bool ATerminal) : FQuiet(AQuiet), FTerminal(ATerminal) {
        FTimer.start();
    }

    void Update(int AMax, int APosition) {
        const std::lock_guard lock(FLock);
        FMax = AMax;
        FPosition = APosition;
    }

    void Tick() {
        if (FQuiet)
            return;
        int max = 0;
        int position = 0;
        {
            const std::lock_guard lock(FLock);
            max = FMax;
            position = FPosition;
        }
        const qint64 ms = FTimer.elapsed();
        if (FTerminal) {
            constexpr int KWidth = 30;
            const int filled = max > 0 ? std::min(KWidth, position * KWidth / max) : 0;
            Print(stderr, QStringLiteral("\r[%1%2] %3/%4 done  %5 ")
                              .arg(QString(filled, QLatin1Char('#')),
                                   QString(KWidth - filled, QLatin1Char('.')))
                              .arg(position)
                              .arg(max)
                              .arg(Elapsed(ms)));
            FDrew = true;
        } else if (ms - FLastLine >= 2000) {
            FLastLine = ms;
            Print(stderr, QStringLiteral("progress: %1/%2 done, %3 elapsed\n")
                              .arg(position)
                              .arg(max)
                              .arg(Elapsed(ms)));
        }
    }

    void Finish() {
        if (!FQuiet && FTerminal && FDrew) {
            Tick();
            Print(stderr, QStringLiteral("\n"));
        }
    }

private:
    bool FQuiet;
    bool FTerminal;
    bool FDrew = false;
    std::mutex FLock;
    int FMax = 0;
    int FPosition = 0;
    QElapsedTimer FTimer;
    qint64 FLastLine = -2000;
};

}  // namespace

QString RunUsageText() {
    return QStringLiteral(
        "Usage: plovane-run [--threads N] [--data-root DIR] [--quiet] PROJECT.plv\n"
        "       plovane-run [--data-root DIR] --list-plugins\n"
        "\n"
        "Loads a project and runs its batch without a window.\n"
        "\n"
        "  --threads N       run with at most N worker threads at once (1 to 81) instead of\n"
        "                    the project's setting\n"
        "  --data-root DIR   keep the data (options, logs, temp folders) in DIR for this run\n"
        "  --quiet           no progress output\n"
        "  --list-plugins    print each plugin's name, identifier, version and path\n"
        "  --help            this text\n"
        "\n"
        "Ctrl+C stops the batch the way the Stop command does; a second Ctrl+C ends at once.\n"
        "\n"
        "Exit codes: 0 done; 1 done, but something went wrong with paths (see the batch log);\n"
        "2 interrupted (by the user or a plugin's advice); 3 the project cannot be loaded or its\n"
        "settings are invalid; 64 usage error.\n");
}

std::optional<TRunOptions> ParseRunOptions(const QStringList& AArguments, QString* AError) {
    TRunOptions options;
    for (qsizetype i = 0; i < AArguments.size(); ++i) {
        const QString& arg = AArguments[i];
        const auto value = [&]() -> std::optional<QString> {
            if (i + 1 >= AArguments.size())
                return std::nullopt;
            return AArguments[++i];
        };
        if (arg == QStringLiteral("--help") || arg == QStringLiteral("-h")) {
            options.Help = true;
        } else if (arg == QStringLiteral("--quiet") || arg == QStringLiteral("-q")) {
            options.Quiet = true;
        } else if (arg == QStringLiteral("--list-plugins")) {
            options.ListPlugins = true;
        } else if (arg == QStringLiteral("--threads")) {
            const std::optional<QString> text = value();
            bool ok = false;
            const int threads = text ? text->toInt(&ok) : 0;
            if (!ok || threads < 1 || threads > 81) {
                *AError = QStringLiteral("--threads needs a number from 1 to 81.");
                return std::nullopt;
            }
            options.Threads = threads;
        } else if (arg == QStringLiteral("--data-root")) {
            const std::optional<QString> text = value();
            if (!text || text->isEmpty()) {
                *AError = QStringLiteral("--data-root needs a folder.");
                return std::nullopt;
            }
            options.DataRoot = QFileInfo(*text).absoluteFilePath();
        } else if (arg.startsWith(QLatin1Char('-'))) {
            *AError = QStringLiteral("Unknown option: ") + arg;
            return std::nullopt;
        } else if (options.ProjectPath.isEmpty()) {
            options.ProjectPath = QFileInfo(arg).absoluteFilePath();
        } else {
            *AError = QStringLiteral("Only one project can be run at a time.");
            return std::nullopt;
        }
    }
    if (!options.Help && !options.ListPlugins && options.ProjectPath.isEmpty()) {
        *AError = QStringLiteral("No project given.");
        return std::nullopt;
    }
    return options;
}

int RunProjectFromCommandLine(const TRunOptions& AOptions) {
    // A data root that cannot be one is a usage error, found before anything is written: the
    // data must not go somewhere the user did not name.
    if (!AOptions.DataRoot.isEmpty()) {
        try {
            PrepareDataRootOverride(AOptions.DataRoot);
        } catch (const EqvParamWrong& e) {
            Print(stderr, QStringLiteral("plovane-run: ") + e.Message() + QLatin1Char('\n'));
            return KExitUsage;
        }
    }
    TConsolePrompts prompts;
    TModuleEnvironment environment;
    environment.ProgramFolder = ExecutableFolder();
    environment.DocumentsFolder = UserDocumentsFolder();
    environment.Prompts = &prompts;
    environment.DataRootOverride = AOptions.DataRoot;
    TModuleShared module(std::move(environment));

    TCollectionInternalPluginTypes registry;
    RegisterAllInternalPlugins(registry);
    TPluginHost host(
        registry, {module.Folders().ModulesFolder, module.Folders().TempFolder, &module.FLogging});
    try {
        host.Discover();
    } catch (const std::exception& e) {
        Print(stderr, QStringLiteral("Error: the plugins could not be set up: ") +
                          ExceptionMessage(e) + QLatin1Char('\n'));
        return KExitProjectInvalid;
    }
    return RunProjectBatch(module, host, AOptions);
}

int RunProjectBatch(TModuleShared& AModule, TPluginHost& AHost, const TRunOptions& AOptions) {
    TModuleShared& module = AModule;
    TPluginHost& host = AHost;
    if (AOptions.ListPlugins) {
        for (const auto& plugin : host.PluginList())
            Print(stdout,
                  QStringLiteral("%1\t%2\t%3\t%4\n")
                      .arg(plugin->FPluginInfoHost.PluginName, plugin->FPluginInfoHost.StrID,
                           plugin->FPluginInfoHost.PluginVersion, plugin->FPluginPathName));
        return KExitDone;
    }

    if (!QFileInfo(AOptions.ProjectPath).isFile()) {
        Print(stderr, QStringLiteral("Error: no project file \"") + AOptions.ProjectPath +
                          QStringLiteral("\".\n"));
        return KExitProjectInvalid;
    }
    TProjectController project(TProjectEnvironment::FromModule(module, host));
    try {
        project.LoadProject(AOptions.ProjectPath, false);
    } catch (const std::exception& e) {
        Print(stderr, QStringLiteral("Error: the project cannot be loaded: ") +
                          ExceptionMessage(e) + QLatin1Char('\n'));
        return KExitProjectInvalid;
    }
    TProjectGeneralSettings settings = project.GeneralSettings();
    if (AOptions.Threads)
        settings.MaxWorkerThreads = *AOptions.Threads;

    TBatchRunner runner(module, host);
    if (!runner.ValFrameProgramSetupGeneral(settings)) {
        Print(stderr, TranslatedMessage(KTextValidateSettingsFailed) + QLatin1Char('\n'));
        return KExitProjectInvalid;
    }

    GInterrupts = 0;
    struct sigaction action {};
    action.sa_handler = OnInterruptSignal;
    sigemptyset(&action.sa_mask);
    struct sigaction previous {};
    sigaction(SIGINT, &action, &previous);

    TProgressPrinter printer(AOptions.Quiet, isatty(STDERR_FILENO) != 0);
    TBatchRunObserver observer;
    observer.OnProgress = [&printer](int AMax, int APosition, bool) {
        printer.Update(AMax, APosition);
    };
    bool stopAsked = false;
    observer.OnWaitTick = [&] {
        if (GInterrupts.load() > 0 && !stopAsked) {
            stopAsked = true;
            // The stop is passed on before it is announced: whoever reads the line may rely on
            // no further path being started.
            runner.InterruptBatch();
            if (!AOptions.Quiet)
                Print(stderr,
                      QStringLiteral("\nStopping: waiting for the running work to end...\n"));
        }
        printer.Tick();
    };
    TBatchRunResult result;
    try {
        result = runner.RunBatch({settings, project.BatchCombinations(), project.CurrentFilePath()},
                                 observer);
    } catch (const std::exception& e) {
        sigaction(SIGINT, &previous, nullptr);
        Print(stderr, QStringLiteral("Error: ") + ExceptionMessage(e) + QLatin1Char('\n'));
        return KExitProjectInvalid;
    }
    sigaction(SIGINT, &previous, nullptr);
    printer.Finish();

    const int problems = result.Problems.Total();
    Print(stdout, QStringLiteral("Batch log: ") + result.LogPath + QLatin1Char('\n'));
    QString summary =
        result.StatusText + QStringLiteral(": ") + QString::number(result.PathsToDo) +
        QStringLiteral(" paths to do, ") + QString::number(result.ItemsDone) +
        QStringLiteral(" items done, ") +
        (result.TimeUsedText.isEmpty() ? QStringLiteral("0 milliseconds") : result.TimeUsedText);
    if (problems > 0)
        summary += QStringLiteral(", ") + QString::number(problems) +
                   QStringLiteral(" problems with paths");
    if (result.Failed)
        summary += QStringLiteral(", ended early: ") + result.FailureText;
    Print(stdout, summary + QLatin1Char('\n'));
    if (result.Interrupted)
        return KExitInterrupted;
    if (problems > 0 || result.Failed)
        return KExitDoneWithProblems;
    return KExitDone;
}
