#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <mutex>

#include "app/batch_status.h"
#include "app/command_line.h"
#include "app/directory_setup.h"
#include "app/folder_table.h"
#include "app/path_placeholders.h"
#include "app/program_log.h"
#include "app/program_options.h"
#include "translation/language_composite.h"

class TBatchEngine;
class TFormFront;
class TLockedLogFile;
class TSingleInstance;
class TUserPrompts;

// The fixed identifier from which the single-instance channel is named.
inline const QString KApplicationId = QStringLiteral("Kestrin.Plovane.3");

// The framework base of the application module.
class TqvDataModuleGenericStruct {
public:
    virtual ~TqvDataModuleGenericStruct() = default;
};

// Everything the module takes from its surroundings, so it can be created in tests on a
// temporary program folder and documents folder, without a display or a real home folder.
struct TModuleEnvironment {
    QString ProgramFolder;                // folder of the executable
    QString DocumentsFolder;              // the user's documents folder
    QStringList Arguments;                // command-line arguments without the program name
    TUserPrompts* Prompts = nullptr;      // dialogs; none: errors are only logged
    std::function<QDateTime()> Clock;     // now; the system clock when empty
    TFolderMaker* FolderMaker = nullptr;  // the real file system when null
    QString DataRootOverride;             // a data root for this run only (see SetupDirectories)
    // The single-instance check; off in tests unless they name a private socket.
    bool CheckSingleInstance = false;
    QString SingleInstanceSocket;
    // Called in the first instance when a later one asks it to show itself.
    std::function<void()> OnActivateRequest;
    // Creates the main window (step 10 of the start); none until the window exists.
    std::function<void(class TModuleShared&)> CreateMainWindow;
    // Opens a project and runs its batch (the after-start hook); none: nothing is run.
    std::function<void(class TModuleShared&, const QString& AProjectPath)> RunProjectBatch;
    // Ends the application (the after-start hook with "hide" or "exit").
    std::function<void()> TerminateApplication;
};

// The application module: created first, destroyed last, reached by every part through one
// process-wide reference. It owns the options, the program log and the folder table.
class TModuleShared : public TqvDataModuleGenericStruct {
public:
    explicit TModuleShared(TModuleEnvironment AEnvironment);
    ~TModuleShared() override;
    TModuleShared(const TModuleShared&) = delete;
    TModuleShared& operator=(const TModuleShared&) = delete;

    // The one instance, or null outside its lifetime.
    static TModuleShared* Instance();

    // The after-start steps: run once the event loop delivers the start-up message.
    void AfterStartup();
    // Opens the command-line project and runs its batch; then honours "hide" and "exit".
    void RunAfterStartup();

    // True when this process is a second instance that has handed over to the first.
    bool IsSecondInstance() const { return FIsSecondInstance; }
    bool IsTerminating() const { return FTerminating; }

    const TFolderTable& Folders() const { return FFolders; }
    const TPathPlaceholders& Placeholders() const { return FPlaceholders; }
    const TMucSettings& Muc() const { return FMuc; }
    QDateTime Now() const { return FClock(); }
    TUserPrompts* Prompts() const { return FPrompts; }

    std::unique_ptr<TProgramOptions> FProgramOptions;
    std::unique_ptr<TqvlgLanguageCompositeAll> FLanguageComposite;
    TqvLogging FLogging;
    TFormFront* FFormFront = nullptr;      // not owned; set by the main window
    TBatchEngine* FBatchEngine = nullptr;  // the running batch, owned by the batch wrapper
    QString FBatchLogFileName;
    std::shared_ptr<TLockedLogFile> FBatchLogFile;  // open and locked while a batch runs
    std::unique_ptr<std::mutex> FBatchLogCS;        // exists while a batch runs
    TBatchStatusSet FBatchStatusSet;
    // Guards FBatchStatusSet; kept for the module's whole life so that reading the status
    // after a batch needs no special case.
    std::mutex FBatchStatusSetCS;
    QString FAppParam_BeginProjectPath;
    bool FAppParam_HideAppGUI = false;
    bool FAppParam_ExitAppWhenDone = false;
    bool FIsInsideCreateInitFinit = true;

private:
    void ModuleCreate();
    void ModuleDestroy();
    void Terminate();

    TModuleEnvironment FEnvironment;
    std::function<QDateTime()> FClock;
    TUserPrompts* FPrompts = nullptr;
    TFolderTable FFolders;
    TPathPlaceholders FPlaceholders;
    TMucSettings FMuc;
    std::unique_ptr<TSingleInstance> FSingleInstance;
    bool FIsSecondInstance = false;
    bool FTerminating = false;
};

// The module's placeholder table applied in place; without a module nothing changes.
void ExpandPathPlaceholders(QString& AText);
void CollapsePathPlaceholders(QString& AText);
