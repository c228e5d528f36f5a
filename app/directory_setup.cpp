#include "app/directory_setup.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "app/app_texts.h"
#include "app/folder_walk.h"
#include "base/atomic_file.h"
#include "base/exceptions.h"
#include "base/ini_document.h"
#include "base/text_file.h"
#include "platform/system_folders.h"
#include "translation/translated_text.h"

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

// "DataUserPath" may be relative: to the program folder, beside which "muc.ini" lies (the
// current folder of a start means nothing for it).
QString ResolvedUserPath(const QString& AProgramFolder, const QString& AUserPath) {
    if (AUserPath.isEmpty())
        return {};
    return Normalised(QDir(AProgramFolder).absoluteFilePath(AUserPath));
}

// The path itself or the nearest of its parents that exists.
QString NearestExisting(const QString& APath) {
    QString path = QDir::cleanPath(APath);
    while (!QFileInfo::exists(path)) {
        const QString parent = QFileInfo(path).path();
        if (parent == path)
            break;
        path = parent;
    }
    return path;
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

QString PrepareDataRootOverride(const QString& AFolder, TFolderMaker* AMaker) {
    TFolderMaker realMaker;
    TFolderMaker& maker = AMaker != nullptr ? *AMaker : realMaker;
    const QString root = Normalised(QFileInfo(AFolder).absoluteFilePath());
    const auto refuse = [&AFolder](const TqvlgNativeText& AText, const QString& ABlocking) {
        throw EqvParamWrong(
            TranslatedMessage(AText, {{QStringLiteral("dynDirFilePathName"), AFolder},
                                      {QStringLiteral("dynBlockingPath"), ABlocking}}));
    };
    // Everything that has to be a folder is looked at before anything is created, so a refused
    // root leaves no trace.
    const QString nearest = NearestExisting(root);
    if (!QFileInfo(nearest).isDir())
        refuse(KTextDataRootNotAFolder, nearest);
    for (const QString& sub : KDataRootFolders) {
        const QString folder = QDir::cleanPath(root + sub);
        if (QFileInfo::exists(folder) && !QFileInfo(folder).isDir())
            refuse(KTextDataRootNotAFolder, folder);
    }
    if (!maker.MakePath(root) || !QFileInfo(root).isWritable())
        refuse(KTextDataRootNotCreated, QDir::cleanPath(root));
    for (const QString& sub : KDataRootFolders)
        if (!maker.MakePath(root + sub))
            refuse(KTextDataRootNotCreated, QDir::cleanPath(root + sub));
    return root;
}

QString PerUserDataRoot(const QString& ADocumentsFolder) {
    if (ADocumentsFolder.isEmpty())
        return {};
    return IncludeTrailingSeparator(ADocumentsFolder) + QStringLiteral("Kestrin/Plovane 3/");
}

QString ExistingDataRoot(const TDirectorySetupInput& AInput) {
    if (!AInput.DataRootOverride.isEmpty())
        return Normalised(QFileInfo(AInput.DataRootOverride).absoluteFilePath());
    const QString program = Normalised(AInput.ProgramFolder);
    const TMucSettings muc = ReadMuc(program);
    if (ResolveMode(muc.DataAccess) == TDataAccessMode::App) {
        const QString userPath = ResolvedUserPath(program, muc.DataUserPath);
        if (!userPath.isEmpty() && userPath != program && QFileInfo(userPath).isDir())
            return userPath;
        if (QFileInfo(program + QStringLiteral("projects/")).isDir())
            return program;
    }
    const QString perUser = PerUserDataRoot(AInput.DocumentsFolder);
    return perUser.isEmpty() ? program : perUser;
}

TDirectorySetupResult SetupDirectories(const TDirectorySetupInput& AInput) {
    TFolderMaker realMaker;
    TFolderMaker& maker = AInput.FolderMaker != nullptr ? *AInput.FolderMaker : realMaker;
    const QString program = Normalised(AInput.ProgramFolder);

    // A root chosen for this run is checked first: when it cannot be used, nothing is written,
    // not even a migrated "muc.ini".
    const QString chosenRoot = AInput.DataRootOverride.isEmpty()
                                   ? QString()
                                   : PrepareDataRootOverride(AInput.DataRootOverride, &maker);

    TDirectorySetupResult result;
    MigrateLegacySettings(program);
    result.Muc = ReadMuc(program);
    if (!chosenRoot.isEmpty()) {
        result.Muc.DataAccess = QStringLiteral("app");
        result.Muc.DataUserPath = chosenRoot;
    }
    TDataAccessMode mode = ResolveMode(result.Muc.DataAccess);
    QString dataRoot = program;

    // The per-user folder with its "temp/"; empty when any of it cannot be had. A fresh
    // account may have no documents folder yet: it is made with the rest.
    const auto tryPerUser = [&]() -> QString {
        const QString root = PerUserDataRoot(AInput.DocumentsFolder);
        if (root.isEmpty())
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
        const QString userPath = ResolvedUserPath(program, result.Muc.DataUserPath);
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
