#include "tests/ui/ui_test_env.h"

#include <QDir>
#include <QFileInfo>

#include <chrono>

#include "app/folder_walk.h"
#include "app/module_shared.h"
#include "base/exceptions.h"
#include "plugin_host/plugin_descriptor.h"
#include "plugin_host/plugin_internal.h"
#include "plugins/register_all.h"

namespace {

// Holds each path until the gate opens.
class TGatePlugin : public TPluginInternal {
public:
    explicit TGatePlugin(TWorkGate& AGate) : FGate(AGate) {
        FInfo.StrID = QStringLiteral("zq_test_Gate");
        FInfo.PluginName = QStringLiteral("Gate");
        FInfo.PluginLoadingScheme = plsRequireKeepInMemory;
        FInfo.CanWorkCategory = PLV_CAN_WORK_FILES;
    }
    const TPluginInfoHost* PluginReturnInfo(const TExeInfoHost&) override { return &FInfo; }
    void PluginWorkPath(const QString&, TWorkPathOutput&) override {
        std::unique_lock lock(FGate.Lock);
        FGate.Entered = true;
        FGate.Changed.notify_all();
        FGate.Changed.wait(lock, [this] { return FGate.Open; });
    }

private:
    TWorkGate& FGate;
    TPluginInfoHost FInfo;
};

// Fails when its combination starts, which ends the batch with that error.
class TFailingPlugin : public TPluginInternal {
public:
    TFailingPlugin() {
        FInfo.StrID = QStringLiteral("zq_test_Failing");
        FInfo.PluginName = QStringLiteral("Failing");
        FInfo.PluginLoadingScheme = plsRequireKeepInMemory;
        FInfo.CanWorkCategory = PLV_CAN_WORK_FILES;
    }
    const TPluginInfoHost* PluginReturnInfo(const TExeInfoHost&) override { return &FInfo; }
    void PluginSetupWorkStart(const TExeInfoHost&, const QString&, IExeWorkCallbacks&) override {
        throw EqvOperationNotPossible(QStringLiteral("disk on fire"));
    }

private:
    TPluginInfoHost FInfo;
};

// Advises the batch to stop at a path whose name holds "stop".
class TAdvisingPlugin : public TPluginInternal {
public:
    TAdvisingPlugin() {
        FInfo.StrID = QStringLiteral("zq_test_Advising");
        FInfo.PluginName = QStringLiteral("Advising");
        FInfo.PluginLoadingScheme = plsRequireKeepInMemory;
        FInfo.CanWorkCategory = PLV_CAN_WORK_FILES;
    }
    const TPluginInfoHost* PluginReturnInfo(const TExeInfoHost&) override { return &FInfo; }
    void PluginWorkPath(const QString& AIn, TWorkPathOutput& AOut) override {
        if (AIn.contains(QStringLiteral("stop")))
            AOut.Props.AdviseProjectBatchStop = 1;
    }

private:
    TPluginInfoHost FInfo;
};

}  // namespace

bool TWorkGate::WaitEntered() {
    // Bounded only so that a broken batch fails the test instead of hanging it.
    std::unique_lock lock(Lock);
    return Changed.wait_for(lock, std::chrono::seconds(60), [this] { return Entered; });
}

void TWorkGate::Release() {
    {
        const std::lock_guard lock(Lock);
        Open = true;
    }
    Changed.notify_all();
}

TUiTestEnvironment::TUiTestEnvironment() {
    FDataHome.emplace("XDG_DATA_HOME", FTemp.MakeFolder(QStringLiteral("xdg")).toUtf8());
    TModuleEnvironment env;
    env.ProgramFolder = FTemp.MakeFolder(QStringLiteral("prog"));
    env.DocumentsFolder = FTemp.MakeFolder(QStringLiteral("home/Documents"));
    env.Prompts = &FPrompts;
    // The plugins read their default files from their own folders.
    CopyTreeMissing(QStringLiteral(PLOVANE_SOURCE_DIR "/resources/modules"),
                    env.ProgramFolder + QStringLiteral("modules"), TCopyTreeMode::AlwaysOverwrite);
    CopyTreeMissing(QStringLiteral(PLOVANE_SOURCE_DIR "/resources/trans"),
                    env.ProgramFolder + QStringLiteral("trans"), TCopyTreeMode::AlwaysOverwrite);
    FModule = std::make_unique<TModuleShared>(std::move(env));
    RegisterAllInternalPlugins(FRegistry);
    FRegistry.AddOwn([this] { return std::unique_ptr<TPluginInternal>(new TGatePlugin(FGate)); },
                     QStringLiteral("Gate"));
    FRegistry.AddOwn<TFailingPlugin>(QStringLiteral("Failing"));
    FRegistry.AddOwn<TAdvisingPlugin>(QStringLiteral("Advising"));
    FHost = std::make_unique<TPluginHost>(
        FRegistry, TPluginHostSetup{FModule->Folders().ModulesFolder, FModule->Folders().TempFolder,
                                    &FModule->FLogging});
    FHost->Discover();
    FWindow = MakeWindow();
    FWindow->LoadStartupProject();
}

std::unique_ptr<TFormFront> TUiTestEnvironment::MakeWindow() {
    TFormFrontSetup setup;
    setup.Module = FModule.get();
    setup.Host = FHost.get();
    setup.ChooseFolder = [this](const QString& ACaption, const QString&) {
        FolderCaptions << ACaption;
        return NextFolder;
    };
    setup.ChooseSaveFile = [this](const TProjectDialogSetup&) -> std::optional<QString> {
        if (NextSaveFile.isEmpty())
            return std::nullopt;
        return NextSaveFile;
    };
    setup.ChooseOpenFile = [this](const TProjectDialogSetup& ASetup) -> std::optional<QString> {
        OpenDialogs.push_back(ASetup);
        if (NextOpenFile.isEmpty())
            return std::nullopt;
        return NextOpenFile;
    };
    setup.ChoosePrinter = [this](QPrinter& APrinter) {
        return ChoosePrinter ? ChoosePrinter(APrinter) : false;
    };
    setup.SetUpPage = [](QPrinter&) {};
    return std::make_unique<TFormFront>(std::move(setup));
}

TUiTestEnvironment::~TUiTestEnvironment() {
    // Whatever a test left waiting goes on, so that no batch outlives the window.
    FGate.Release();
    FWindow.reset();
    FHost.reset();
    FModule.reset();
    FDataHome.reset();
}

void TUiTestEnvironment::WriteInput(const QString& ARelative, const QByteArray& ABytes) {
    const QString path = FModule->Folders().TempInputFolder + ARelative;
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    if (file.open(QIODevice::WriteOnly))
        file.write(ABytes);
}

bool TUiTestEnvironment::AddCombination(const QString& AFilter, const QString& AStrID) {
    TPluginStoredLibInfo* plugin = FHost->FindByStrID(AStrID);
    return plugin != nullptr &&
           FWindow->Project().Combinations().AddItem(AFilter, true, plugin).Result ==
               TCombinationList::TAddResult::Added;
}
