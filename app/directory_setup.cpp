#include "app/directory_setup.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "app/folder_walk.h"
#include "base/atomic_file.h"
#include "base/ini_document.h"
#include "base/text_file.h"
#include "platform/system_folders.h"

namespace {

const QString KMucFile = QStringLiteral("muc.ini");
const QString KMisc = QStringLiteral("Misc");
const QString KDataAccess = QStringLiteral("DataAccess");
const QStringList KDataRootFolders = {QStringLiteral("temp/"),   QStringLiteral("projects/"),
                                      QStringLiteral("logs/"),   QStringLiteral("logs/misc/"),
                                      QStringLiteral("config/"), QStringLiteral("reuse/"),
                                      QStringLiteral("data/")};
const QStringList KSeededFolders = {QStringLiteral("projects/"),  QStringLiteral("logs/"),
                                    QStringLiteral("logs/misc/"), QStringLiteral("config/"),
                                    QStringLiteral("reuse/"),     QStringLiteral("data/")};

QString Normalised(const QString& APath) {
    return IncludeTrailingSeparator(QDir::cleanPath(APath));
}

// An older installation kept the data-access choice in another file: carry "user" over into
// "muc.ini" and delete the old file.
void MigrateLegacySettings(const QString& AProgramFolder) {
    const QString muc = AProgramFolder + KMucFile;
    if (QFileInfo::exists(muc))
        return;
    for (const QString& name : {QStringLiteral("glc.ini"), QStringLiteral("options.ini")}) {
        const QString legacy = AProgramFolder + name;
        if (!QFileInfo::exists(legacy))
            continue;
        const TIniDocument old = TIniDocument::FromFile(legacy);
        const QString access =
            old.ReadString(KMisc, KDataAccess, QStringLiteral("all")).trimmed().toLower();
        if (access == QStringLiteral("user")) {
            TIniDocument doc;
            doc.WriteString(KMisc, KDataAccess, QStringLiteral("os"));
            WriteFileAtomically(muc, doc.ToText().toUtf8());
        }
        QFile::remove(legacy);
        return;
    }
}

TMucSettings ReadMuc(const QString& AProgramFolder) {
    TMucSettings muc;
    const TIniDocument ini = TIniDocument::FromFile(AProgramFolder + KMucFile);
    muc.DataAccess = ini.ReadString(KMisc, KDataAccess, muc.DataAccess);
    muc.DataUserPath = ini.ReadString(KMisc, QStringLiteral("DataUserPath")).trimmed();
    muc.UpdatesOverrideUseBrowser =
        ReadIniBool(ini, KMisc, QStringLiteral("UpdatesOverrideUseBrowser"), false);
    muc.FontOverride = ini.ReadString(KMisc, QStringLiteral("FontOverride"));
    muc.ScreenOverride = ini.ReadString(KMisc, QStringLiteral("ScreenOverride"));
    return muc;
}

TDataAccessMode ResolveMode(const QString& ADataAccess) {
    const QString value = ADataAccess.trimmed().toLower();
    if (value == QStringLiteral("app"))
        return TDataAccessMode::App;
    // "os", "user", "auto" and anything else: every system we run on counts as one with a
    // per-user documents folder.
    return TDataAccessMode::Os;
}

void MakeDataRootFolders(TFolderMaker& AMaker, const QString& ARoot) {
    for (const QString& sub : KDataRootFolders)
        AMaker.MakePath(ARoot + sub);
}

void SeedDataRoot(const QString& AProgramFolder, const QString& ADataRoot) {
    for (const QString& sub : KSeededFolders)
        CopyTreeMissing(AProgramFolder + sub, ADataRoot + sub, TCopyTreeMode::NeverOverwrite);
    CopyTreeMissing(AProgramFolder + QStringLiteral("data/demos/"),
                    ADataRoot + QStringLiteral("data/demos/"), TCopyTreeMode::OverwriteWhenNewer);
}

}  // namespace

bool TFolderMaker::MakePath(const QString& AFolder) {
    return QDir().mkpath(AFolder) && QFileInfo(AFolder).isDir();
}

QString PerUserDataRoot(const QString& ADocumentsFolder) {
    if (ADocumentsFolder.isEmpty())
        return {};
    return IncludeTrailingSeparator(ADocumentsFolder) + QStringLiteral("Kestrin/Plovane 3/");
}

TDirectorySetupResult SetupDirectories(const TDirectorySetupInput& AInput) {
    TFolderMaker realMaker;
    TFolderMaker& maker = AInput.FolderMaker != nullptr ? *AInput.FolderMaker : realMaker;
    const QString program = Normalised(AInput.ProgramFolder);

    TDirectorySetupResult result;
    MigrateLegacySettings(program);
    result.Muc = ReadMuc(program);
    if (!AInput.DataRootOverride.isEmpty()) {
        result.Muc.DataAccess = QStringLiteral("app");
        result.Muc.DataUserPath = AInput.DataRootOverride;
        maker.MakePath(Normalised(AInput.DataRootOverride));
    }
    TDataAccessMode mode = ResolveMode(result.Muc.DataAccess);
    QString dataRoot = program;

    // The per-user folder with its "temp/"; empty when any of it cannot be had.
    const auto tryPerUser = [&]() -> QString {
        const QString root = PerUserDataRoot(AInput.DocumentsFolder);
        if (root.isEmpty() || !QFileInfo(AInput.DocumentsFolder).isDir())
            return {};
        if (!maker.MakePath(root) || !maker.MakePath(root + QStringLiteral("temp/")))
            return {};
        return root;
    };

    if (mode == TDataAccessMode::Os) {
        const QString root = tryPerUser();
        if (root.isEmpty())
            mode = TDataAccessMode::App;
        else
            dataRoot = root;
    }
    if (mode == TDataAccessMode::App) {
        const QString userPath =
            result.Muc.DataUserPath.isEmpty() ? QString() : Normalised(result.Muc.DataUserPath);
        if (!userPath.isEmpty() && userPath != program && QFileInfo(userPath).isDir() &&
            maker.MakePath(userPath + QStringLiteral("projects/"))) {
            dataRoot = userPath;
            MakeDataRootFolders(maker, dataRoot);
            SeedDataRoot(program, dataRoot);
        } else {
            if (!maker.MakePath(program + QStringLiteral("projects/"))) {
                // A read-only installation: the per-user folder instead, when it can be had.
                const QString root = tryPerUser();
                if (!root.isEmpty()) {
                    mode = TDataAccessMode::Os;
                    dataRoot = root;
                }
            }
            if (mode == TDataAccessMode::App) {
                dataRoot = program;
                MakeDataRootFolders(maker, dataRoot);
            }
        }
    }
    if (mode == TDataAccessMode::Os) {
        MakeDataRootFolders(maker, dataRoot);
        SeedDataRoot(program, dataRoot);
    }

    result.Folders.Mode = mode;
    result.Folders.Compose(program, dataRoot);
    for (const QString& folder : {result.Folders.ModulesFolder, result.Folders.TranslationsFolder,
                                  result.Folders.TipsFolder})
        maker.MakePath(folder);
    result.Placeholders =
        TPathPlaceholders(result.Folders.DataFolder, result.Folders.ProgramFolder);
    return result;
}
