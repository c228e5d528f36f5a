#include "app/folder_table.h"

#include "platform/system_folders.h"

void TFolderTable::Compose(const QString& AProgramFolder, const QString& ADataRoot) {
    ProgramFolder = IncludeTrailingSeparator(AProgramFolder);
    DataRoot = IncludeTrailingSeparator(ADataRoot);
    ProjectsFolder = DataRoot + QStringLiteral("projects/");
    TempFolder = DataRoot + QStringLiteral("temp/");
    TempInputFolder = TempFolder + QStringLiteral("input/");
    TempWorkFolder = TempFolder + QStringLiteral("work/");
    LogsFolder = DataRoot + QStringLiteral("logs/");
    MiscLogsFolder = LogsFolder + QStringLiteral("misc/");
    BatchLogsFolder = LogsFolder + QStringLiteral("batches/");
    ConfigFolder = DataRoot + QStringLiteral("config/");
    ReuseFolder = DataRoot + QStringLiteral("reuse/");
    ReuseGridFolder = ReuseFolder + QStringLiteral("grid/");
    ReuseFileFolder = ReuseFolder + QStringLiteral("file/");
    DataFolder = DataRoot + QStringLiteral("data/");
    ModulesFolder = ProgramFolder + QStringLiteral("modules/");
    TranslationsFolder = ProgramFolder + QStringLiteral("trans/");
    TipsFolder = ProgramFolder + QStringLiteral("tips/");
    HelpFolder = ProgramFolder + QStringLiteral("help/");
}
