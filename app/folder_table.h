#pragma once

#include <QString>

enum class TDataAccessMode { App, Os };

// Where the program and its data live. Every folder is a full path ending with "/"; the table
// is decided once at start-up and read-only afterwards.
struct TFolderTable {
    TDataAccessMode Mode = TDataAccessMode::App;
    QString ProgramFolder;
    QString DataRoot;
    QString ProjectsFolder;
    QString TempFolder;
    QString TempInputFolder;
    QString TempWorkFolder;
    QString LogsFolder;
    QString MiscLogsFolder;
    QString BatchLogsFolder;
    QString ConfigFolder;
    QString ReuseFolder;
    QString ReuseGridFolder;
    QString ReuseFileFolder;
    QString DataFolder;
    QString ModulesFolder;
    QString TranslationsFolder;
    QString TipsFolder;
    QString HelpFolder;

    // Fills every folder below the program folder and the data root from those two.
    void Compose(const QString& AProgramFolder, const QString& ADataRoot);

    QString OptionsFilePath() const { return ConfigFolder + QStringLiteral("options.ini"); }
    QString ProgramLogPath() const { return MiscLogsFolder + QStringLiteral("program.log"); }
};
