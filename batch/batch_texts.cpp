#include "batch/batch_texts.h"

// The constants spell their file and section out instead of using the inline constants of the
// translation headers, so that they never depend on the order of static initialisation.
const TqvlgNativeText KTextCheckSettingsInputDir{
    QStringLiteral("UTF8_program.ini"), QStringLiteral("__MessageText__FrontMain"),
    QStringLiteral("CheckSettingsInputDir"), QStringLiteral("Input Directory"), QString()};
const TqvlgNativeText KTextCheckSettingsWorkDir{
    QStringLiteral("UTF8_program.ini"), QStringLiteral("__MessageText__FrontMain"),
    QStringLiteral("CheckSettingsWorkDir"), QStringLiteral("Work Directory"), QString()};
const TqvlgNativeText KTextCheckSettingsDirHasToExist{
    QStringLiteral("UTF8_program.ini"), QStringLiteral("__MessageText__FrontMain"),
    QStringLiteral("CheckSettingsDirHasToExist"),
    QStringLiteral("{dynCaption} has to exist - create it now?"), QStringLiteral("__curly")};
const TqvlgNativeText KTextCheckSettingsDirFailedCreate{
    QStringLiteral("UTF8_program.ini"), QStringLiteral("__MessageText__FrontMain"),
    QStringLiteral("CheckSettingsDirFailedCreate"),
    QStringLiteral("Failed to create {dynCaption}!"), QStringLiteral("__curly")};
const TqvlgNativeText KTextCheckSettingsDirHumanSafeMode{
    QStringLiteral("UTF8_program.ini"), QStringLiteral("__MessageText__FrontMain"),
    QStringLiteral("CheckSettingsDirHumanSafeMode"),
    QStringLiteral("When \"Human safe mode\" is enabled in options the \"{dynCaption}\" has to be "
                   "within directory \"{dynDirFilePathName}\"\r\nIt has now been set to that "
                   "directory."),
    QStringLiteral("__curly")};
const TqvlgNativeText KTextCheckSettingsDirPartWrong{
    QStringLiteral("UTF8_program.ini"), QStringLiteral("__MessageText__FrontMain"),
    QStringLiteral("CheckSettingsDirPartWrong"),
    QStringLiteral(
        "You can not specify \"{dynCaption1}\" path as being a part of \"{dynCaption2}\" path!"),
    QStringLiteral("__curly")};
const TqvlgNativeText KTextCheckSettingsDirIsRoot{
    QStringLiteral("UTF8_program.ini"), QStringLiteral("__MessageText__FrontMain"),
    QStringLiteral("CheckSettingsDirIsRoot"),
    QStringLiteral("The {dynCaption} \"{dynDirFilePathName}\" can not be used: it is the root of "
                   "the file system. A batch writes into this folder and may empty it."),
    QStringLiteral("__curly")};
const TqvlgNativeText KTextCheckSettingsDirHoldsHome{
    QStringLiteral("UTF8_program.ini"), QStringLiteral("__MessageText__FrontMain"),
    QStringLiteral("CheckSettingsDirHoldsHome"),
    QStringLiteral("The {dynCaption} \"{dynDirFilePathName}\" can not be used: it is or holds the "
                   "home folder \"{dynFolderHeld}\". A batch writes into this folder and may "
                   "empty it."),
    QStringLiteral("__curly")};
const TqvlgNativeText KTextCheckSettingsDirHoldsDataRoot{
    QStringLiteral("UTF8_program.ini"), QStringLiteral("__MessageText__FrontMain"),
    QStringLiteral("CheckSettingsDirHoldsDataRoot"),
    QStringLiteral("The {dynCaption} \"{dynDirFilePathName}\" can not be used: it is or holds the "
                   "program's data folder \"{dynFolderHeld}\" (options, projects, logs). A batch "
                   "writes into this folder and may empty it."),
    QStringLiteral("__curly")};
const TqvlgNativeText KTextCheckSettingsDirHoldsProgram{
    QStringLiteral("UTF8_program.ini"), QStringLiteral("__MessageText__FrontMain"),
    QStringLiteral("CheckSettingsDirHoldsProgram"),
    QStringLiteral("The {dynCaption} \"{dynDirFilePathName}\" can not be used: it is or holds the "
                   "program folder \"{dynFolderHeld}\". A batch writes into this folder and may "
                   "empty it."),
    QStringLiteral("__curly")};
const TqvlgNativeText KTextCheckSettingsFilterInvalid{
    QStringLiteral("UTF8_program.ini"), QStringLiteral("__MessageText__FrontMain"),
    QStringLiteral("CheckSettingsFilterInvalid"),
    QStringLiteral("The filter \"{dynFilter}\" of the project modules cannot be used: "
                   "{dynErrorMessage}"),
    QStringLiteral("__curly")};
const TqvlgNativeText KTextValidateSettingsFailed{
    QStringLiteral("UTF8_program.ini"), QStringLiteral("__MessageText__FrontMain"),
    QStringLiteral("ValidateSettingsFailed"),
    QStringLiteral("Errors were detected in setup. Make sure everything is as "
                   "wanted and try again."),
    QString()};

std::vector<TqvlgNativeText> BatchRunnerNativeTexts() {
    return {KTextCheckSettingsInputDir,         KTextCheckSettingsWorkDir,
            KTextCheckSettingsDirHasToExist,    KTextCheckSettingsDirFailedCreate,
            KTextCheckSettingsDirHumanSafeMode, KTextCheckSettingsDirPartWrong,
            KTextCheckSettingsDirIsRoot,        KTextCheckSettingsDirHoldsHome,
            KTextCheckSettingsDirHoldsDataRoot, KTextCheckSettingsDirHoldsProgram,
            KTextCheckSettingsFilterInvalid,    KTextValidateSettingsFailed};
}
