#include "app/program_options.h"

#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include <algorithm>

#include "app/path_placeholders.h"
#include "base/atomic_file.h"
#include "base/ini_document.h"

namespace {

const QString KGeneral = QStringLiteral("ProgramOptions.General");
const QString KLogging = QStringLiteral("ProgramOptions.Logging");
const QString KVisuals = QStringLiteral("ProgramOptions.Visuals");
const QString KMisc = QStringLiteral("ProgramOptions.Miscellaneous");
const QString KReopen = QStringLiteral("ReopenList");
const QString KNativeLanguage = QStringLiteral("en-us");

QString FindFirstProgram(std::initializer_list<const char*> ANames) {
    for (const char* name : ANames) {
        const QString path = QStandardPaths::findExecutable(QString::fromLatin1(name));
        if (!path.isEmpty())
            return path;
    }
    return {};
}

}  // namespace

QDateTime ZeroDateTime() {
    return QDateTime(QDate(1899, 12, 30), QTime(0, 0));
}

QDateTime ReadOptionsDateTime(const QString& AText) {
    QString text = AText;
    const qsizetype plus = text.indexOf(QLatin1Char('+'));
    if (plus >= 0)
        text.truncate(plus);
    text.replace(QLatin1Char('T'), QLatin1Char(' '));
    text = text.trimmed();
    for (const QString& format :
         {QStringLiteral("yyyy-MM-dd HH:mm:ss"), QStringLiteral("yyyy-MM-dd HH:mm"),
          QStringLiteral("yyyy-MM-dd")}) {
        const QDateTime value = QDateTime::fromString(text, format);
        if (value.isValid())
            return value;
    }
    return ZeroDateTime();
}

QString WriteOptionsDateTime(const QDateTime& AValue) {
    return AValue.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

QString TidyIniText(const QString& AText) {
    QStringList lines = AText.split(QStringLiteral("\r\n"));
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    QStringList kept;
    for (qsizetype i = 0; i < lines.size(); ++i)
        if (i == 0 || !lines[i].trimmed().isEmpty())
            kept << lines[i];
    QStringList out;
    for (qsizetype i = 0; i < kept.size(); ++i) {
        if (i > 0 && kept[i].trimmed().startsWith(QLatin1Char('[')))
            out << QString();
        out << kept[i];
    }
    return out.isEmpty() ? QString() : out.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n");
}

TqvSharedProgramOptions::TqvSharedProgramOptions(const QDateTime& ANow) : FCheckUpdatesLast(ANow) {}

void TqvSharedProgramOptions::FindViewerPrograms() {
    NotePad_Path =
        FindFirstProgram({"gedit", "gnome-text-editor", "kate", "mousepad", "xed", "nano"});
    FireFox_Path = FindFirstProgram({"firefox", "firefox-esr"});
    Chrome_Path = FindFirstProgram({"google-chrome", "chromium", "chromium-browser"});
    Opera_Path = FindFirstProgram({"opera"});
    Safari_Path.clear();
    IE_Path.clear();
}

TProgramOptions::TProgramOptions(const QDateTime& ANow)
    : TqvSharedProgramOptions(ANow),
      FProjectData_CreatedDT(ANow),
      FProjectData_ModifiedDT(ANow),
      FileExists([](const QString& APath) { return QFileInfo::exists(APath); }) {}

void TProgramOptions::SetProjectCurrentFilePath(const QString& APath) {
    FProjectCurrentFilePath = APath;
    if (APath.isEmpty()) {
        FProjectCurrentDirPath.clear();
        return;
    }
    const QFileInfo info(APath);
    const QString suffix = info.suffix();
    QString base = APath;
    if (!suffix.isEmpty())
        base.chop(suffix.size() + 1);
    FProjectCurrentDirPath = base + QLatin1Char('/');
}

void TProgramOptions::LoadFromFile(const QString& APath, const TPathPlaceholders& APlaceholders) {
    QFile file(APath);
    if (!file.exists() || !file.open(QIODevice::ReadOnly))
        return;
    QByteArray bytes = file.readAll();
    if (bytes.startsWith("\xEF\xBB\xBF"))
        bytes.remove(0, 3);
    QString text = QString::fromUtf8(bytes);
    APlaceholders.Expand(text);
    const TIniDocument ini = TIniDocument::FromText(text);

    const QString language = ini.ReadString(KGeneral, QStringLiteral("LanguageCulture")).trimmed();
    if (language.compare(KNativeLanguage, Qt::CaseInsensitive) == 0)
        FLanguageCulture = KNativeLanguage;
    else if (!language.isEmpty())
        FLanguageCulture = language;

    FProjectUserDefaultPath =
        ini.ReadString(KGeneral, QStringLiteral("UserDefaultProject"), FProjectUserDefaultPath);
    FProjectAlwaysLoadLast =
        ini.ReadBool(KGeneral, QStringLiteral("LoadLastProject"), FProjectAlwaysLoadLast);
    FProjectReopenListSize =
        ini.ReadInteger(KGeneral, QStringLiteral("ReopenListSize"), FProjectReopenListSize);
    if (FProjectAlwaysLoadLast)
        SetProjectCurrentFilePath(
            ini.ReadString(KGeneral, QStringLiteral("CurrentProject"), FProjectCurrentFilePath));
    else
        SetProjectCurrentFilePath(QString());

    FHumanSafeMode =
        ini.ReadBool(KOptionsSectionSecurity, KOptionsKeyHumanSafeMode, FHumanSafeMode);
    FBatchLogCount = ini.ReadInteger(KLogging, QStringLiteral("BatchLogCount"), FBatchLogCount);
    FShowWindowOnStartup =
        ini.ReadBool(KVisuals, QStringLiteral("ShowWindowOnStartup"), FShowWindowOnStartup);
    FWindowStyle = ini.ReadString(KVisuals, QStringLiteral("WindowStyle"), FWindowStyle);
    FSaveWindowsSetup =
        ini.ReadBool(KVisuals, QStringLiteral("SaveWindowsSetup"), FSaveWindowsSetup);
    FSaveToolbarsSetup =
        ini.ReadBool(KVisuals, QStringLiteral("SaveToolBarsSetup"), FSaveToolbarsSetup);
    FSaveMiscSetup = ini.ReadBool(KVisuals, QStringLiteral("SaveMiscSetup"), FSaveMiscSetup);
    FStartupShowTips = ini.ReadBool(KMisc, QStringLiteral("StartupShowTips"), FStartupShowTips);
    FPluginCallWarnSeconds = std::max(
        0, ini.ReadInteger(KMisc, QStringLiteral("PluginCallWarnSeconds"), FPluginCallWarnSeconds));
    FCheckUpdatesInterval =
        ini.ReadInteger(KMisc, QStringLiteral("CheckUpdatesInterval"), FCheckUpdatesInterval);
    FCheckUpdatesHighlightUpgrades = ini.ReadBool(
        KMisc, QStringLiteral("CheckUpdatesHighlightUpgrades"), FCheckUpdatesHighlightUpgrades);
    if (ini.ValueExists(KMisc, QStringLiteral("CheckUpdatesLast")))
        FCheckUpdatesLast =
            ReadOptionsDateTime(ini.ReadString(KMisc, QStringLiteral("CheckUpdatesLast")));
    FCheckUpdatesCritErrRes =
        ini.ReadBool(KMisc, QStringLiteral("CheckUpdatesCritErrRes"), FCheckUpdatesCritErrRes);

    if (ini.ValueExists(KReopen, QStringLiteral("1"))) {
        FProjectReopenList.clear();
        for (int key = 1; ini.ValueExists(KReopen, QString::number(key)); ++key)
            FProjectReopenList << ini.ReadString(KReopen, QString::number(key));
    }
}

bool TProgramOptions::SaveToFile(const QString& APath, const TPathPlaceholders& APlaceholders,
                                 QString* AError) const {
    // Start from the present file so that sections written by the windows are kept.
    TIniDocument ini = TIniDocument::FromFile(APath);
    // A project path with a line break (a legal file name) cannot stand in the file: it is
    // left out, as the project is not remembered, so the other options are still saved.
    const auto oneLineOrNone = [](const QString& APathValue) {
        return TIniDocument::FitsInOneLine(APathValue) ? APathValue : QString();
    };

    ini.WriteString(KGeneral, QStringLiteral("LanguageCulture"), oneLineOrNone(FLanguageCulture));
    ini.WriteString(KGeneral, QStringLiteral("UserDefaultProject"),
                    oneLineOrNone(FProjectUserDefaultPath));
    ini.WriteBool(KGeneral, QStringLiteral("LoadLastProject"), FProjectAlwaysLoadLast);
    ini.WriteInteger(KGeneral, QStringLiteral("ReopenListSize"), FProjectReopenListSize);
    ini.WriteString(KGeneral, QStringLiteral("CurrentProject"),
                    oneLineOrNone(FProjectCurrentFilePath));
    // Every old key goes: keys left from a longer list would come back on the next reading.
    for (const QString& key : ini.KeyNames(KReopen))
        ini.DeleteKey(KReopen, key);
    int reopenKey = 0;
    for (const QString& reopen : FProjectReopenList)
        if (TIniDocument::FitsInOneLine(reopen))
            ini.WriteString(KReopen, QString::number(++reopenKey), reopen);
    ini.WriteBool(KOptionsSectionSecurity, KOptionsKeyHumanSafeMode, FHumanSafeMode);
    ini.WriteInteger(KLogging, QStringLiteral("BatchLogCount"), FBatchLogCount);
    ini.WriteBool(KVisuals, QStringLiteral("ShowWindowOnStartup"), FShowWindowOnStartup);
    ini.WriteString(KVisuals, QStringLiteral("WindowStyle"), oneLineOrNone(FWindowStyle));
    ini.WriteBool(KVisuals, QStringLiteral("SaveWindowsSetup"), FSaveWindowsSetup);
    ini.WriteBool(KVisuals, QStringLiteral("SaveToolBarsSetup"), FSaveToolbarsSetup);
    ini.WriteBool(KVisuals, QStringLiteral("SaveMiscSetup"), FSaveMiscSetup);
    ini.WriteBool(KMisc, QStringLiteral("StartupShowTips"), FStartupShowTips);
    ini.WriteInteger(KMisc, QStringLiteral("PluginCallWarnSeconds"), FPluginCallWarnSeconds);
    ini.WriteInteger(KMisc, QStringLiteral("CheckUpdatesInterval"), FCheckUpdatesInterval);
    ini.WriteBool(KMisc, QStringLiteral("CheckUpdatesHighlightUpgrades"),
                  FCheckUpdatesHighlightUpgrades);
    ini.WriteString(KMisc, QStringLiteral("CheckUpdatesLast"),
                    WriteOptionsDateTime(FCheckUpdatesLast));
    ini.WriteBool(KMisc, QStringLiteral("CheckUpdatesCritErrRes"), FCheckUpdatesCritErrRes);
    ini.WriteBool(KMisc, QStringLiteral("CheckUpdatesResCritErr"),
                  FCheckUpdatesCritErrRes && FCheckUpdatesInterval > 14);

    QString text = TidyIniText(ini.ToText());
    APlaceholders.Collapse(text);
    if (!WriteFileAtomically(APath, text.toUtf8(), AError))
        return false;
    if (!WriteBackupCopy(APath, BackupFileName(APath))) {
        if (AError != nullptr)
            *AError = QStringLiteral("the backup copy \"") + BackupFileName(APath) +
                      QStringLiteral("\" could not be written");
        return false;
    }
    return true;
}

void TProgramOptions::PruneReopenList(int ASize) {
    FLastPruneSize = ASize;
    for (qsizetype i = 0; i < FProjectReopenList.size();) {
        if (FileExists(FProjectReopenList[i]))
            ++i;
        else
            FProjectReopenList.removeAt(i);
    }
    while (FProjectReopenList.size() > std::max(ASize, 0))
        FProjectReopenList.removeLast();
}

void TProgramOptions::TouchReopenList(const QString& APath) {
    if (APath.isEmpty())
        return;
    qsizetype found = -1;
    for (qsizetype i = 0; i < FProjectReopenList.size(); ++i) {
        if (FProjectReopenList[i].compare(APath, Qt::CaseInsensitive) == 0) {
            found = i;
            break;
        }
    }
    if (found >= 0)
        FProjectReopenList.move(found, 0);
    else
        FProjectReopenList.prepend(APath);
    const int size = FLastPruneSize >= 0 ? FLastPruneSize : FProjectReopenListSize;
    while (FProjectReopenList.size() > std::max(size, 0))
        FProjectReopenList.removeLast();
}

void TProgramOptions::ForgetReopenList(const QString& APath) {
    for (qsizetype i = 0; i < FProjectReopenList.size(); ++i) {
        if (FProjectReopenList[i].compare(APath, Qt::CaseInsensitive) == 0) {
            FProjectReopenList.removeAt(i);
            return;
        }
    }
}
