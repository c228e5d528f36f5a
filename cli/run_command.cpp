#include "cli/run_command.h"

#include <unistd.h>

#include <memory>

#include "app/directory_setup.h"
#include "app/module_shared.h"
#include "app/qt_message_log.h"
#include "app/standalone_translation.h"
#include "app/user_prompts.h"
#include "base/exceptions.h"
#include "batch/batch_runner.h"
#include "cli/json_outcome.h"
#include "cli/progress_view.h"
#include "cli/run_options.h"
#include "platform/system_folders.h"
#include "plugin_host/internal_plugin_registry.h"
#include "plugin_host/plugin_descriptor.h"
#include "plugin_host/plugin_host.h"
#include "plugins/register_all.h"
#include "project/headless_run.h"

namespace {

QString ProgramPrefix() {
    return QStringLiteral("plovane-run: ");
}

void ListPlugins(const TPluginHost& AHost) {
    for (const auto& plugin : AHost.PluginList())
        WriteConsole(stdout,
                     QStringLiteral("%1\t%2\t%3\t%4\n")
                         .arg(plugin->FPluginInfoHost.PluginName, plugin->FPluginInfoHost.StrID,
                              plugin->FPluginInfoHost.PluginVersion, plugin->FPluginPathName));
}

// The terminal view that keeps the batch's result; with "--json" there is no progress and no
// outcome lines, as the JSON object printed at the end takes their place. Problems still go to
// standard error.
class TRunView : public TTerminalProgressView {
public:
    TRunView(const TRunOptions& AOptions, bool ATerminal)
        : TTerminalProgressView(AOptions.Quiet || AOptions.Json, ATerminal), FJson(AOptions.Json) {}
    void BatchResult(const TBatchRunResult& AResult) override { FResult = AResult; }
    void Outcome(const QString& ALine) override {
        if (!FJson)
            TTerminalProgressView::Outcome(ALine);
    }

    const bool FJson;
    std::optional<TBatchRunResult> FResult;
};

// Everything after the command line was understood: the module, the plugins, the project.
int RunWithModule(const TRunOptions& AOptions, TQtMessageLog& AQtMessages) {
    TConsolePrompts prompts;
    TModuleEnvironment environment;
    environment.ProgramFolder = ExecutableFolder();
    environment.DocumentsFolder = UserDocumentsFolder();
    environment.Prompts = &prompts;
    environment.DataRootOverride = AOptions.DataRoot;
    TModuleShared module(std::move(environment));
    const TQtMessageLogAttachment attachment(AQtMessages, module.FLogging);

    TRunView view(AOptions, isatty(STDERR_FILENO) != 0);
    const auto finish = [&](int AExitCode) {
        if (AOptions.Json) {
            const QByteArray json =
                RunOutcomeJson(AExitCode, view.FResult ? &*view.FResult : nullptr);
            std::fwrite(json.constData(), 1, static_cast<size_t>(json.size()), stdout);
            std::fflush(stdout);
        }
        return AExitCode;
    };
    TCollectionInternalPluginTypes registry;
    RegisterAllInternalPlugins(registry);
    const std::unique_ptr<TPluginHost> host = DiscoverPluginsHeadless(module, registry, view);
    if (host == nullptr)
        return finish(KExitBatchNotRun);
    if (AOptions.ListPlugins) {
        ListPlugins(*host);
        return KExitDone;
    }
    return finish(
        RunProjectHeadless(module, *host, {AOptions.ProjectPath, AOptions.Threads}, view));
}

}  // namespace

int RunCommandLine(const QStringList& AArguments, TQtMessageLog& AQtMessages) {
    std::optional<TRunOptions> options;
    {
        // Until the module exists, texts come in the language of the options this run would
        // read; nothing is written for that.
        const TStandaloneTranslation translation(
            {ExecutableFolder(), UserDocumentsFolder(), nullptr, DataRootArgument(AArguments)});
        QString error;
        options = ParseRunOptions(AArguments, &error);
        if (!options) {
            WriteConsole(stderr, ProgramPrefix() + error + QStringLiteral("\n\n") +
                                     RunUsageText(translation.OptionsFilePath()));
            return KExitUsage;
        }
        if (options->Version) {
            WriteConsole(stdout, RunVersionText());
            return KExitDone;
        }
        if (options->Help) {
            WriteConsole(stdout, RunUsageText(translation.OptionsFilePath()));
            return KExitDone;
        }
        // A data root that cannot be one is a usage error, found before anything is written:
        // the data must not go somewhere the user did not name.
        if (!options->DataRoot.isEmpty()) {
            try {
                PrepareDataRootOverride(options->DataRoot);
            } catch (const EqvParamWrong& e) {
                WriteConsole(stderr, ProgramPrefix() + e.Message() + QLatin1Char('\n'));
                return KExitUsage;
            }
        }
    }
    return RunWithModule(*options, AQtMessages);
}
