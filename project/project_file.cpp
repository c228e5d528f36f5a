#include "project/project_file.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>

#include "app/batch_status.h"
#include "app/folder_table.h"
#include "app/module_shared.h"
#include "app/path_placeholders.h"
#include "app/program_log.h"
#include "app/program_options.h"
#include "app/user_prompts.h"
#include "base/atomic_file.h"
#include "base/exceptions.h"
#include "base/ini_document.h"
#include "project/project_texts.h"
#include "translation/translated_text.h"

namespace {

const QString KKeySavedWithVersion = QStringLiteral("SavedWithVersion");
const QString KKeyProjectCreated = QStringLiteral("ProjectCreated");
const QString KKeyProjectModified = QStringLiteral("ProjectModified");
const QString KKeyInputDirPath = QStringLiteral("InputDirPath");
const QString KKeyWorkDirPath = QStringLiteral("WorkDirPath");
const QString KKeyOnlyCopyHandledPaths = QStringLiteral("OnlyCopyHandledPaths");
const QString KKeyDeleteWorkDirFiles = QStringLiteral("DeleteWorkDirFiles");
const QString KKeyInputDirIsWorkDir = QStringLiteral("InputDirIsWorkDir");
const QString KKeyIncludeSubDirs = QStringLiteral("IncludeSubDirs");
// The include-sub-directories switch of its own: "IncludeSubDirs" holds the thread count only.
const QString KKeyIncludeSubDirsSwitch = QStringLiteral("IncludeSubDirsSwitch");
const QString KKeyModulesConf = QStringLiteral("ModulesConf");

const QByteArray KUtf8Mark("\xEF\xBB\xBF", 3);

QString FileVars(const TqvlgNativeText& AText, const QString& APath,
                 const TqvlgDynVars& AMore = {}) {
    TqvlgDynVars vars = {{QStringLiteral("dynDirFilePathName"), APath}};
    vars << AMore;
    return TranslatedMessage(AText, vars);
}

bool SameSettings(const TProjectGeneralSettings& A, const TProjectGeneralSettings& B) {
    return A.InputDirPath == B.InputDirPath && A.WorkDirPath == B.WorkDirPath &&
           A.OnlyCopyHandledPaths == B.OnlyCopyHandledPaths &&
           A.DeleteWorkDirFiles == B.DeleteWorkDirFiles &&
           A.InputDirIsWorkDir == B.InputDirIsWorkDir && A.IncludeSubDirs == B.IncludeSubDirs &&
           A.MaxWorkerThreads == B.MaxWorkerThreads;
}

int ClampThreads(int ACount) {
    return std::clamp(ACount, TProjectGeneralSettings::KMinWorkerThreads,
                      TProjectGeneralSettings::KMaxWorkerThreads);
}

}  // namespace

TProjectEnvironment TProjectEnvironment::FromModule(TModuleShared& AModule, TPluginHost& AHost) {
    TProjectEnvironment environment;
    environment.Host = &AHost;
    environment.Options = AModule.FProgramOptions.get();
    environment.Folders = &AModule.Folders();
    environment.Placeholders = &AModule.Placeholders();
    environment.Prompts = AModule.Prompts();
    environment.Log = &AModule.FLogging;
    environment.Clock = [&AModule] { return AModule.Now(); };
    environment.BatchStatus = &AModule.FBatchStatusSet;
    environment.BatchStatusLock = &AModule.FBatchStatusSetCS;
    return environment;
}

namespace {
TProjectEnvironment Checked(TProjectEnvironment AEnvironment) {
    if (AEnvironment.Host == nullptr || AEnvironment.Options == nullptr ||
        AEnvironment.Folders == nullptr || AEnvironment.Placeholders == nullptr)
        throw EqvPointerRefNotAssigned(
            QStringLiteral("TProjectController needs the plugin host, the program options, the "
                           "folder table and the path placeholders"));
    return AEnvironment;
}
}  // namespace

TProjectController::TProjectController(TProjectEnvironment AEnvironment)
    : FEnv(Checked(std::move(AEnvironment))), FCombinations(*FEnv.Host, FEnv.Prompts) {
    // What the settings page shows before any project is loaded.
    FSettings.InputDirPath = FEnv.Folders->TempInputFolder;
    FSettings.WorkDirPath = FEnv.Folders->TempWorkFolder;
    FSettings.MaxWorkerThreads = 6;
}

QDateTime TProjectController::Now() const {
    return FEnv.Clock ? FEnv.Clock() : QDateTime::currentDateTime();
}

QString TProjectController::CurrentFilePath() const {
    return FEnv.Options->ProjectCurrentFilePath();
}

void TProjectController::SetGeneralSettings(const TProjectGeneralSettings& ASettings) {
    TProjectGeneralSettings settings = ASettings;
    settings.MaxWorkerThreads = ClampThreads(settings.MaxWorkerThreads);
    if (SameSettings(settings, FSettings))
        return;
    FSettings = settings;
    FHasProjectChanged = true;
}

void TProjectController::ShowMessage(TPromptKind AKind, const QString& AText) const {
    if (FEnv.Prompts != nullptr)
        FEnv.Prompts->ShowMessage(AKind, AText);
}

void TProjectController::LogMessage(const QString& AText, const std::exception* AError) const {
    if (FEnv.Log == nullptr)
        return;
    const TLogSender sender{QStringLiteral("TProjectController"), {}};
    FEnv.Log->Log(&sender, AError, AText);
}

void TProjectController::NotifyStateChanged() {
    if (OnStateChanged)
        OnStateChanged();
}

TIniDocument TProjectController::ReadProjectFile(const QString& APath) const {
    QFile file(APath);
    if (!QFileInfo(APath).isFile() || !file.open(QIODevice::ReadOnly))
        throw EqvOperationNotPossible(
            QStringLiteral("The project file \"") + APath +
            QStringLiteral("\" could not be read: ") +
            (QFileInfo(APath).isDir() ? QStringLiteral("it is a folder.") : file.errorString()));
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        throw EqvOperationNotPossible(QStringLiteral("The project file \"") + APath +
                                      QStringLiteral("\" could not be read: ") +
                                      file.errorString());
    // A UTF-8 mark is dropped; text without one is UTF-8 when valid, else the ANSI code page.
    TIniDocument document = TIniDocument::FromBytes(bytes);
    // Anything else (a picture, an empty file, another program's settings) would load as a
    // project on the defaults, whose batch empties the temporary work folder.
    if (!document.SectionExists(KProjectSection))
        throw EqvValueOutOfValidRangeError(FileVars(KTextProjectFileNotAProject, APath));
    return document;
}

TProjectData TProjectController::ReadProjectData(const TIniDocument& ADocument,
                                                 const QString& AFileForErrors) {
    const TIniDocument& ini = ADocument;
    const QString& section = KProjectSection;
    const auto dateTime = [&](const QString& AKey) {
        return ini.ValueExists(section, AKey) ? ReadOptionsDateTime(ini.ReadString(section, AKey))
                                              : Now();
    };
    const auto folder = [&](const QString& AKey, const QString& ADefault) {
        QString path = ini.ReadString(section, AKey, ADefault);
        FEnv.Placeholders->Expand(path);
        return path;
    };

    TProjectData data;
    data.SavedVersion =
        ini.ReadString(section, KKeySavedWithVersion, FEnv.Options->FProjectData_SavedVersion);
    data.Created = dateTime(KKeyProjectCreated);
    data.Modified = dateTime(KKeyProjectModified);
    TProjectGeneralSettings& settings = data.Settings;
    settings.InputDirPath = folder(KKeyInputDirPath, FEnv.Folders->TempInputFolder);
    settings.WorkDirPath = folder(KKeyWorkDirPath, FEnv.Folders->TempWorkFolder);
    settings.OnlyCopyHandledPaths = ini.ReadBool(section, KKeyOnlyCopyHandledPaths, true);
    settings.DeleteWorkDirFiles = ini.ReadBool(section, KKeyDeleteWorkDirFiles, true);
    settings.InputDirIsWorkDir = ini.ReadBool(section, KKeyInputDirIsWorkDir, false);
    // "IncludeSubDirs" holds the thread count, which older files also read as the switch; the
    // switch's own key decides when it is there.
    settings.IncludeSubDirs = ini.ReadBool(section, KKeyIncludeSubDirs, true);
    if (ini.ValueExists(section, KKeyIncludeSubDirsSwitch))
        settings.IncludeSubDirs =
            ini.ReadBool(section, KKeyIncludeSubDirsSwitch, settings.IncludeSubDirs);
    settings.MaxWorkerThreads = ClampThreads(ini.ReadInteger(section, KKeyIncludeSubDirs, 1));

    const QString hex = ini.ReadString(section, KKeyModulesConf).trimmed();
    data.Combinations =
        ReadModuleConfig(FCombinations, HexTextToStream(hex, AFileForErrors), AFileForErrors);
    return data;
}

void TProjectController::Apply(TProjectData AData, const QString& AFileForLog) {
    TProgramOptions& options = *FEnv.Options;
    options.FProjectData_SavedVersion = AData.SavedVersion;
    options.FProjectData_CreatedDT = AData.Created;
    options.FProjectData_ModifiedDT = AData.Modified;
    FSettings = AData.Settings;
    FCombinations.ReplaceEntries(std::move(AData.Combinations.Entries));
    FDropped = std::move(AData.Combinations.Dropped);
    FHasProjectChanged = false;
    if (FDropped.empty())
        return;
    if (FEnv.Log != nullptr)
        LogDroppedCombinations(*FEnv.Log, AFileForLog, FDropped);
    QStringList lines;
    for (const TDroppedCombination& dropped : FDropped)
        lines << DroppedCombinationText(dropped);
    ShowMessage(TPromptKind::Warning, FileVars(KTextProjectCombinationsLeftOut, AFileForLog) +
                                          QStringLiteral("\r\n") +
                                          lines.join(QStringLiteral("\r\n")));
}

void TProjectController::MakeDefaultsProject() {
    Apply(ReadProjectData(TIniDocument(), {}), {});
    FEnv.Options->SetProjectCurrentFilePath({});
    FHasActiveDiscProject = true;
}

void TProjectController::LoadProject(const QString& APath, bool AMakeNewProject) {
    if (!APath.isEmpty() && AMakeNewProject)
        throw EqvParamsMisMatchError(QStringLiteral("LoadProject <> \"\""));
    if (APath.isEmpty() && !AMakeNewProject)
        throw EqvParamsMisMatchError(QStringLiteral("LoadProject == \"\" "));
    TProgramOptions& options = *FEnv.Options;
    if (FEnv.BatchStatus != nullptr && FEnv.BatchStatusLock != nullptr) {
        const std::lock_guard lock(*FEnv.BatchStatusLock);
        if (!FEnv.BatchStatus->Has(bsWrapperActive)) {
            FEnv.BatchStatus->Include(bsIsFirstProjectBatchFrameUpdate);
            FEnv.BatchStatus->Exclude(bsDoneSuccess);
        }
    }

    if (!AMakeNewProject) {
        if (QFileInfo::exists(APath)) {
            // Everything is read before anything changes, so a damaged file leaves the open
            // project as it was (and can never be saved over half-read).
            TProjectData data = ReadProjectData(ReadProjectFile(APath), APath);
            Apply(std::move(data), APath);
            options.SetProjectCurrentFilePath(APath);
            FHasActiveDiscProject = true;
            options.TouchReopenList(APath);
        } else {
            options.ForgetReopenList(APath);
            ShowMessage(TPromptKind::Error, FileVars(KTextProjectFileNotExistsInsteadNew, APath));
            MakeDefaultsProject();
            // A new project, not the missing file.
            FHasActiveDiscProject = false;
        }
        NotifyStateChanged();
        return;
    }

    const QString defaultPath = options.FProjectUserDefaultPath;
    if (!defaultPath.isEmpty() && QFileInfo::exists(defaultPath)) {
        TProjectData data = ReadProjectData(ReadProjectFile(defaultPath), defaultPath);
        Apply(std::move(data), defaultPath);
        options.SetProjectCurrentFilePath({});
        FHasActiveDiscProject = false;
    } else {
        if (!defaultPath.isEmpty()) {
            ShowMessage(TPromptKind::Error,
                        FileVars(KTextProjectFileNotExistsDefault, defaultPath));
            options.FProjectUserDefaultPath.clear();
        }
        MakeDefaultsProject();
    }
    NotifyStateChanged();
}

bool TProjectController::ExitProject(bool ADataOnly) {
    TProgramOptions& options = *FEnv.Options;
    // Values typed into the open page count as changes: they are asked about, not lost.
    if (FlushEditors)
        FlushEditors();
    if (ADataOnly) {
        options.SetProjectCurrentFilePath({});
        FHasActiveDiscProject = false;
    }
    if (HasProjectChanged()) {
        const QString path = CurrentFilePath();
        const QString question = path.isEmpty() ? TranslatedMessage(KTextSaveProjectChanges)
                                                : FileVars(KTextSaveProjectChangesPath, path);
        const TPromptAnswer answer =
            FEnv.Prompts != nullptr
                ? FEnv.Prompts->AskYesNoCancel(TPromptKind::Confirmation, question)
                : TPromptAnswer::No;
        if (answer == TPromptAnswer::Cancel)
            return false;
        if (answer == TPromptAnswer::Yes) {
            // Closing after a save that did not happen would lose the changes.
            if (!SaveProject())
                return false;
        } else {
            FHasProjectChanged = false;
            FCombinations.ClearChanged();
        }
    }
    options.SetProjectCurrentFilePath({});
    FHasActiveDiscProject = false;
    NotifyStateChanged();
    return true;
}

QString TProjectController::ProjectFileTarget(const QString& APath) {
    const QFileInfo info(APath);
    const qsizetype slash = APath.lastIndexOf(QLatin1Char('/'));
    const QString folder = slash < 0 ? QString() : APath.left(slash + 1);
    return folder + info.completeBaseName() + QLatin1Char('.') + KProjectFileExt;
}

QByteArray TProjectController::ProjectFileBytes(const QDateTime& AModified) const {
    const QString& section = KProjectSection;
    TIniDocument ini;
    ini.WriteString(section, KKeySavedWithVersion, KProjectSavedVersion);
    ini.WriteString(section, KKeyProjectCreated,
                    WriteOptionsDateTime(FEnv.Options->FProjectData_CreatedDT));
    ini.WriteString(section, KKeyProjectModified, WriteOptionsDateTime(AModified));
    QString input = FSettings.InputDirPath;
    FEnv.Placeholders->Collapse(input);
    ini.WriteString(section, KKeyInputDirPath, input);
    QString work = FSettings.WorkDirPath;
    FEnv.Placeholders->Collapse(work);
    ini.WriteString(section, KKeyWorkDirPath, work);
    ini.WriteBool(section, KKeyOnlyCopyHandledPaths, FSettings.OnlyCopyHandledPaths);
    ini.WriteBool(section, KKeyDeleteWorkDirFiles, FSettings.DeleteWorkDirFiles);
    ini.WriteBool(section, KKeyInputDirIsWorkDir, FSettings.InputDirIsWorkDir);
    // The count, as older readers expect; they read it as the switch too.
    ini.WriteInteger(section, KKeyIncludeSubDirs, FSettings.MaxWorkerThreads);
    ini.WriteBool(section, KKeyIncludeSubDirsSwitch, FSettings.IncludeSubDirs);
    ini.WriteString(section, KKeyModulesConf, OwnSavePerstStreamData_HexStr(FCombinations));
    // UTF-8 with its mark: no character of a path is lost, and older readers see the encoding.
    return KUtf8Mark + TidyIniText(ini.ToText()).toUtf8();
}

bool TProjectController::SaveTo(const QString& ANewCurrentPath) {
    if (ValidateEditorsBeforeSave)
        ValidateEditorsBeforeSave();
    if (FlushEditors)
        FlushEditors();
    const QString target = ProjectFileTarget(ANewCurrentPath);
    const QDateTime modified = Now();
    QString error;
    try {
        const QByteArray bytes = ProjectFileBytes(modified);
        const QFileInfo info(target);
        if (info.exists()) {
            const QString backup = BackupFileName(target);
            if (!info.isFile())
                error = QStringLiteral("something other than a file stands there.");
            else if (!WriteBackupCopy(target, backup))
                error = QStringLiteral("the backup copy \"") + backup +
                        QStringLiteral("\" could not be written.");
        }
        // The new content replaces the file in one step; until then the old file stays.
        if (error.isEmpty() && !WriteFileAtomically(target, bytes, &error) && error.isEmpty())
            error = QStringLiteral("the file could not be written.");
    } catch (const std::exception& e) {
        error = ExceptionMessage(e);
    }
    if (!error.isEmpty()) {
        LogMessage(QStringLiteral("The project could not be saved to \"") + target +
                   QStringLiteral("\": ") + error);
        ShowMessage(TPromptKind::Error, FileVars(KTextProjectSaveFailed, target,
                                                 {{QStringLiteral("dynErrorMessage"), error}}));
        return false;
    }

    TProgramOptions& options = *FEnv.Options;
    options.FProjectData_ModifiedDT = modified;
    options.FProjectData_SavedVersion = KProjectSavedVersion;
    // The project's file is the one written, so reopening it finds it.
    if (target != CurrentFilePath()) {
        options.SetProjectCurrentFilePath(target);
        options.TouchReopenList(target);
    }
    FHasProjectChanged = false;
    FCombinations.ClearChanged();
    FHasActiveDiscProject = true;
    NotifyStateChanged();
    return true;
}

bool TProjectController::Save() {
    const QString path = CurrentFilePath();
    if (path.isEmpty())
        throw EqvOperationNotPossible(
            QStringLiteral("Save: the project has no file yet; use Save Project As"));
    return SaveTo(path);
}

bool TProjectController::LoadOrFallBack(const QString& APath) {
    try {
        LoadProject(APath, APath.isEmpty());
        return true;
    } catch (const std::exception& e) {
        LogMessage(QStringLiteral("The project could not be loaded."), &e);
        const QString file = APath.isEmpty() ? FEnv.Options->FProjectUserDefaultPath : APath;
        ShowMessage(TPromptKind::Error,
                    FileVars(KTextProjectLoadFailed, file,
                             {{QStringLiteral("dynErrorMessage"), ExceptionMessage(e)}}));
    }
    MakeDefaultsProject();
    FHasActiveDiscProject = false;
    NotifyStateChanged();
    return false;
}

bool TProjectController::NewProject() {
    if (!ExitProject(false))
        return false;
    return LoadOrFallBack({});
}

bool TProjectController::OpenProject() {
    const QString remembered = CurrentFilePath();
    if (!ExitProject(false))
        return false;
    const std::optional<QString> chosen =
        ChooseOpenFile ? ChooseOpenFile(DialogSetup()) : std::nullopt;
    if (chosen.has_value() && !chosen->isEmpty())
        return LoadOrFallBack(*chosen);
    LoadOrFallBack(remembered);
    return false;
}

bool TProjectController::ReopenProject(const QString& APath) {
    if (!ExitProject(false))
        return false;
    return LoadOrFallBack(APath);
}

bool TProjectController::SaveProject() {
    if (!CurrentFilePath().isEmpty())
        return Save();
    return SaveProjectAs();
}

bool TProjectController::SaveProjectAs() {
    const std::optional<QString> chosen =
        ChooseSaveFile ? ChooseSaveFile(DialogSetup()) : std::nullopt;
    if (!chosen.has_value() || chosen->isEmpty())
        return false;
    return SaveTo(*chosen);
}

QString TProjectController::WindowTitle(const QString& ABaseTitle) const {
    const QString path = CurrentFilePath();
    const QString name =
        path.isEmpty() ? TranslatedMessage(KTextWindowTitleNewProject) : QFileInfo(path).fileName();
    return ABaseTitle + QStringLiteral(" - ") + name;
}

TProjectDialogSetup TProjectController::DialogSetup() const {
    TProjectDialogSetup setup;
    setup.Filter = QStringLiteral("Plovane ") +
                   TranslatedMessage(KTextDialogFileTypeProjectFilesSL) + QStringLiteral(" (*.") +
                   KProjectFileExt + QStringLiteral(")|*.") + KProjectFileExt;
    setup.DefaultExtension = KProjectFileExt;
    setup.StartFolder = FEnv.Folders->ProjectsFolder;
    return setup;
}
