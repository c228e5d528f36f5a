#include "batch/batch_log.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>

#include <algorithm>
#include <mutex>
#include <utility>

#include "app/module_shared.h"
#include "base/exceptions.h"
#include "base/text_file.h"
#include "platform/locked_log_file.h"
#include "platform/system_folders.h"

namespace {

const QString KLogMask = QStringLiteral("*.log");

// Names ascending as a user reads them: letter case second only.
bool NameLess(const QString& ALeft, const QString& ARight) {
    const int byText = QString::compare(ALeft, ARight, Qt::CaseInsensitive);
    return byText != 0 ? byText < 0 : ALeft < ARight;
}

QStringList SortedLogNames(const QString& AFolder) {
    if (AFolder.isEmpty())
        return {};
    // Name filters ignore letter case; hidden logs are logs too.
    QStringList names =
        QDir(AFolder).entryList({KLogMask}, QDir::Files | QDir::Hidden | QDir::System);
    std::sort(names.begin(), names.end(), NameLess);
    return names;
}

QString SameFile(const QString& APath) {
    return QFileInfo(APath).absoluteFilePath();
}

}  // namespace

TBatchLog::TBatchLog(QString AFolder, TBatchLogClock AClock)
    : FFolder(AFolder.isEmpty() ? QString() : IncludeTrailingSeparator(AFolder)),
      FClock(std::move(AClock)) {}

QDateTime TBatchLog::Now() const {
    return FClock ? FClock() : QDateTime::currentDateTime();
}

QString TBatchLog::ProjectName(const QString& AProjectFileName) {
    if (AProjectFileName.isEmpty())
        return QStringLiteral("PLV_NewProject");
    return QFileInfo(AProjectFileName).completeBaseName();
}

QString TBatchLog::ComposeFileName(const QDateTime& AStart, const QString& AProjectFileName) {
    // Built from numbers, not from a locale's date format, so the digits are always ASCII.
    const QDate date = AStart.date();
    const QTime time = AStart.time();
    const auto two = [](int AValue) {
        return QStringLiteral("%1").arg(AValue, 2, 10, QLatin1Char('0'));
    };
    return QStringLiteral("%1%2%3_%4%5%6%7_%8.log")
        .arg(date.year(), 4, 10, QLatin1Char('0'))
        .arg(two(date.month()), two(date.day()), two(time.hour()), two(time.minute()),
             two(time.second()))
        .arg(time.msec(), 3, 10, QLatin1Char('0'))
        .arg(ProjectName(AProjectFileName));
}

QByteArray TBatchLog::EntryHeadBytes(const QDateTime& AWhen) {
    const QLocale locale = QLocale::system();
    const QString stamp = locale.toString(AWhen.date(), QLocale::ShortFormat) + QLatin1Char(' ') +
                          locale.toString(AWhen.time(), QLocale::LongFormat);
    QByteArray bytes;
    bytes += "--";
    bytes += stamp.toUtf8();
    bytes += "--\r\nMessage: \r\n";
    return bytes;
}

QByteArray TBatchLog::EntryBytes(const QDateTime& AWhen, const QString& AMessage) {
    QByteArray bytes = EntryHeadBytes(AWhen);
    bytes += AMessage.toUtf8();
    bytes += "\r\n\r\n";
    return bytes;
}

QString TBatchLog::Create(const QString& AProjectFileName) {
    // Without a folder the log would land in whatever the current folder happens to be.
    if (FFolder.isEmpty())
        throw EqvOperationNotPossible(QStringLiteral("No batch logs folder is set."));
    const QString path = FFolder + ComposeFileName(Now(), AProjectFileName);
    QDir().mkpath(FFolder);
    QString error;
    std::shared_ptr<TLockedLogFile> file = TLockedLogFile::CreateFree(path, error);
    if (!file)
        throw EqvOperationNotPossible(
            QStringLiteral("Cannot create the batch log \"%1\": %2").arg(path, error));
    FFile = std::move(file);
    FFileName = FFile->Path();
    return FFileName;
}

void TBatchLog::Write(const QString& AMessage) const {
    std::unique_lock<std::mutex> lock;
    if (FLock != nullptr)
        lock = std::unique_lock<std::mutex>(*FLock);
    if (FFileName.isEmpty())
        return;
    // The time is taken under the lock, so the entries of a file stand in time order.
    const QByteArray bytes = EntryBytes(Now(), AMessage);
    QString error;
    bool written = false;
    if (FFile) {
        written = FFile->Append(bytes, error);
    } else {
        QFile file(FFileName);
        written = file.open(QIODevice::WriteOnly | QIODevice::Append) &&
                  file.write(bytes) == bytes.size() && file.flush();
        error = file.errorString();
    }
    if (!written)
        throw EqvOperationNotPossible(
            QStringLiteral("Cannot write to the batch log \"%1\": %2").arg(FFileName, error));
}

QStringList TBatchLog::ListLogs(const QString& AFolder) {
    QStringList paths;
    if (AFolder.isEmpty())
        return paths;
    const QString folder = IncludeTrailingSeparator(AFolder);
    for (const QString& name : SortedLogNames(AFolder))
        paths << folder + name;
    return paths;
}

QStringList TBatchLog::Prune(int AKeepCount) const {
    QStringList logs = ListLogs(FFolder);
    const int keep = std::max(AKeepCount, 0);
    if (keep > 0 && !FFileName.isEmpty()) {
        const QString current = SameFile(FFileName);
        const auto it = std::find_if(logs.begin(), logs.end(), [&](const QString& APath) {
            return SameFile(APath) == current;
        });
        if (it != logs.end())
            std::rotate(it, it + 1, logs.end());
    }
    QStringList deleted;
    for (qsizetype i = 0; i < logs.size() - keep; ++i) {
        // A log still being written (by a batch of another process on the same data root) is
        // left; it goes at a later batch's end.
        if (DeleteUnlessLocked(logs.at(i)) == TUnlockedDeleteResult::Deleted)
            deleted << logs.at(i);
    }
    return deleted;
}

// ---------------------------------------------------------------------------------------------

TLogsPageModel::TLogsPageModel(const QString& AMiscLogsFolder, const QString& ABatchLogsFolder) {
    const std::pair<QString, QString> roots[] = {{QStringLiteral("Misc"), AMiscLogsFolder},
                                                 {QStringLiteral("Batches"), ABatchLogsFolder}};
    for (const auto& [caption, folder] : roots) {
        TRoot root;
        root.Node.Caption = caption;
        root.Folder = folder.isEmpty() ? QString() : IncludeTrailingSeparator(folder);
        for (const QString& name : SortedLogNames(folder))
            root.Files.push_back({name, root.Folder + name});
        FRoots.push_back(std::move(root));
    }
}

TLogsPageModel::TRef TLogsPageModel::InitialSelection() const {
    const TRoot& misc = FRoots[KMiscRoot];
    return {KMiscRoot, misc.Files.empty() ? -1 : 0};
}

bool TLogsPageModel::IsValid(TRef ARef) const {
    if (ARef.Root < 0 || ARef.Root >= static_cast<int>(FRoots.size()))
        return false;
    return ARef.File >= -1 &&
           ARef.File < static_cast<int>(FRoots[static_cast<size_t>(ARef.Root)].Files.size());
}

QString TLogsPageModel::FullPath(TRef ARef) const {
    if (!IsValid(ARef) || ARef.File < 0)
        return {};
    return FRoots[static_cast<size_t>(ARef.Root)].Files[static_cast<size_t>(ARef.File)].FullPath;
}

QString TLogsPageModel::LoadText(TRef ARef) const {
    const QString path = FullPath(ARef);
    return path.isEmpty() ? QString() : ReadTextFileAuto(path);
}

// ---------------------------------------------------------------------------------------------

namespace {

TBatchLog ModuleBatchLog(TModuleShared& AModule) {
    TBatchLog log(AModule.Folders().BatchLogsFolder, [&AModule] { return AModule.Now(); });
    log.SetFileName(AModule.FBatchLogFileName);
    log.SetFile(AModule.FBatchLogFile);
    log.SetLock(AModule.FBatchLogCS.get());
    return log;
}

}  // namespace

QString BeginModuleBatchLog(const QString& AProjectFileName) {
    TModuleShared* module = TModuleShared::Instance();
    if (module == nullptr)
        return {};
    module->FBatchLogCS = std::make_unique<std::mutex>();
    // Cleared first: should the new file fail, entries must not land in the previous batch's log.
    module->FBatchLogFileName.clear();
    module->FBatchLogFile.reset();
    TBatchLog log = ModuleBatchLog(*module);
    module->FBatchLogFileName = log.Create(AProjectFileName);
    module->FBatchLogFile = log.File();
    return module->FBatchLogFileName;
}

void WriteInBatchLog(const QString& ABatchStr) {
    TModuleShared* module = TModuleShared::Instance();
    if (module == nullptr)
        return;
    ModuleBatchLog(*module).Write(ABatchStr);
}

void EndModuleBatchLog() {
    TModuleShared* module = TModuleShared::Instance();
    if (module == nullptr)
        return;
    module->FBatchLogCS.reset();
    // Closing gives up the lock, so that this log can be pruned in its turn.
    module->FBatchLogFile.reset();
    if (!module->FProgramOptions)
        return;
    // The options dialog may change the count while a batch runs on its own thread.
    int keep = 0;
    {
        const std::lock_guard lock(module->FBatchStatusSetCS);
        keep = module->FProgramOptions->FBatchLogCount;
    }
    ModuleBatchLog(*module).Prune(keep);
}

TLogsPageModel ModuleLogsPageModel() {
    const TModuleShared* module = TModuleShared::Instance();
    if (module == nullptr)
        return TLogsPageModel({}, {});
    return TLogsPageModel(module->Folders().MiscLogsFolder, module->Folders().BatchLogsFolder);
}
