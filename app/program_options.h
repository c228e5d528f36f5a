#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>

#include <functional>

class TPathPlaceholders;

// Where the options file keeps the human safe mode; the command line's help names them.
inline const QString KOptionsSectionSecurity = QStringLiteral("ProgramOptions.Security");
inline const QString KOptionsKeyHumanSafeMode = QStringLiteral("HumanSafeMode");

// Options common to the maker's programs.
class TqvSharedProgramOptions {
public:
    explicit TqvSharedProgramOptions(const QDateTime& ANow);
    virtual ~TqvSharedProgramOptions() = default;

    QString FLanguageCulture = QStringLiteral("en-us");
    bool FShowWindowOnStartup = true;
    QString FWindowStyle;
    bool FSaveWindowsSetup = true;
    bool FSaveToolbarsSetup = true;
    bool FSaveMiscSetup = true;
    bool FStartupShowTips = true;
    int FCheckUpdatesInterval = 90;
    bool FCheckUpdatesHighlightUpgrades = true;
    QDateTime FCheckUpdatesLast;
    bool FCheckUpdatesCritErrRes = false;

    // Programs the viewers use to show files; found on the system, never stored.
    QString NotePad_Path;
    QString FireFox_Path;
    QString Chrome_Path;
    QString Opera_Path;
    QString Safari_Path;
    QString IE_Path;

    // Looks the viewer programs up on the search path.
    void FindViewerPrograms();
};

// The user's settings that outlive a run: loaded from "options.ini" at start-up, saved at
// shutdown with a backup "options.~ini" beside it.
class TProgramOptions : public TqvSharedProgramOptions {
public:
    explicit TProgramOptions(const QDateTime& ANow = QDateTime::currentDateTime());

    QString FProjectUserDefaultPath;
    bool FProjectAlwaysLoadLast = false;
    int FProjectReopenListSize = 8;
    QStringList FProjectReopenList;
    QString FProjectData_SavedVersion = QStringLiteral(PLOVANE_VERSION_STRING);
    QDateTime FProjectData_CreatedDT;
    QDateTime FProjectData_ModifiedDT;
    bool FHumanSafeMode = true;
    int FBatchLogCount = 40;
    // A plugin call running longer gets a batch log line; 0: never. Only in the options file.
    int FPluginCallWarnSeconds = 60;

    const QString& ProjectCurrentFilePath() const { return FProjectCurrentFilePath; }
    const QString& ProjectCurrentDirPath() const { return FProjectCurrentDirPath; }
    // Sets the open project's path and recomputes its own folder (path without extension + "/").
    void SetProjectCurrentFilePath(const QString& APath);

    // Reads the options file; a missing file keeps the defaults. Placeholders are expanded.
    void LoadFromFile(const QString& APath, const TPathPlaceholders& APlaceholders);
    // Writes the options file atomically, keeping other sections, then the backup copy.
    // Returns false when the file could not be written (the previous file stays) or the backup
    // could not be made; AError (when given) receives the reason.
    bool SaveToFile(const QString& APath, const TPathPlaceholders& APlaceholders,
                    QString* AError = nullptr) const;

    // Reopen list.
    void PruneReopenList(int ASize);
    void TouchReopenList(const QString& APath);
    void ForgetReopenList(const QString& APath);

    // Injectable file test for the reopen list (tests, network paths).
    std::function<bool(const QString&)> FileExists;

private:
    QString FProjectCurrentFilePath;
    QString FProjectCurrentDirPath;
    int FLastPruneSize = -1;
};

// Reads "yyyy-mm-dd hh:mm:ss" (a "T" for the space, everything from the first "+" ignored, the
// time optional). Text that cannot be read gives the zero date-time.
QDateTime ReadOptionsDateTime(const QString& AText);
QString WriteOptionsDateTime(const QDateTime& AValue);
// The zero date-time: 1899-12-30 00:00:00.
QDateTime ZeroDateTime();

// Removes every empty line except a first one, then puts one empty line before each section
// header except a header on the first line. Lines end with CR LF.
QString TidyIniText(const QString& AText);
