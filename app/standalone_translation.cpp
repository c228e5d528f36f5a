#include "app/standalone_translation.h"

#include <QDateTime>

#include "app/folder_table.h"
#include "app/path_placeholders.h"
#include "app/program_options.h"
#include "translation/translation_startup.h"

TStandaloneTranslation::TStandaloneTranslation(const TDirectorySetupInput& AInput) {
    TFolderTable folders;
    folders.Compose(AInput.ProgramFolder, ExistingDataRoot(AInput));
    FOptionsFilePath = folders.OptionsFilePath();
    const QDateTime now = QDateTime::currentDateTime();
    TProgramOptions options(now);
    options.LoadFromFile(FOptionsFilePath,
                         TPathPlaceholders(folders.DataFolder, folders.ProgramFolder));
    FLanguage = options.FLanguageCulture;
    SetupTranslationAtStart(FController, folders.TranslationsFolder, FLanguage,
                            folders.ProgramLogPath(), folders.DataFolder,
                            QStringLiteral(PLOVANE_VERSION_STRING), now);
}
