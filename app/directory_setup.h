#pragma once

#include <QString>

#include <functional>

#include "app/folder_table.h"
#include "app/path_placeholders.h"

// What "muc.ini" beside the program says about where the data lives (and a few settings other
// parts read).
struct TMucSettings {
    QString DataAccess = QStringLiteral("auto");
    QString DataUserPath;
    bool UpdatesOverrideUseBrowser = false;
    QString FontOverride;
    QString ScreenOverride;
};

// The file-system operations the folder decision needs, injectable so that a read-only
// installation can be simulated in tests (permission bits do not stop root).
class TFolderMaker {
public:
    virtual ~TFolderMaker() = default;
    // Creates the folder with all missing parents; true when it exists afterwards.
    virtual bool MakePath(const QString& AFolder);
};

struct TDirectorySetupInput {
    QString ProgramFolder;                // folder of the executable
    QString DocumentsFolder;              // the user's documents folder; empty when there is none
    TFolderMaker* FolderMaker = nullptr;  // the real file system when null
    // A data root chosen for this run (the command line's --data-root): "app" mode with this
    // folder as the user data path; see PrepareDataRootOverride.
    QString DataRootOverride;
};

struct TDirectorySetupResult {
    TFolderTable Folders;
    TPathPlaceholders Placeholders;
    TMucSettings Muc;
};

// Decides where the data lives, lays the folders out, seeds a per-user data root from the
// program folder and fills the placeholder table. The per-user data root is made below the
// documents folder, which is created too when the account has none yet. Failures to create or
// seed folders are swallowed: a folder simply may not exist. A data root override that cannot
// be used raises (see PrepareDataRootOverride) before anything is written.
TDirectorySetupResult SetupDirectories(const TDirectorySetupInput& AInput);

// Makes a data root chosen for one run ready: the folder and the data folders inside it are
// created when missing. A relative folder is taken from the current folder. Returns the folder
// ending with "/". Raises EqvParamWrong, naming the folder and what stands in its way, when
// it or one of its data folders is something other than a folder or cannot be created or
// written; what must be a folder is checked before anything is created.
QString PrepareDataRootOverride(const QString& AFolder, TFolderMaker* AMaker = nullptr);

// The per-user data root below the documents folder.
QString PerUserDataRoot(const QString& ADocumentsFolder);

// The data root a start with this input would use, as far as it can be told without writing
// anything (no folder made, no settings migrated or seeded), ending with "/": for reading the
// options before a start, or without one. An installation whose program folder holds no
// "projects/" counts as one whose data lives in the per-user folder.
QString ExistingDataRoot(const TDirectorySetupInput& AInput);
