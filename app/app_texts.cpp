#include "app/app_texts.h"

// The constants spell their file and section out instead of using the inline constants of the
// translation headers, so that they never depend on the order of static initialisation.
const TqvlgNativeText KTextDataRootNotAFolder{
    QStringLiteral("UTF8_program.ini"), QStringLiteral("__MessageText__Module"),
    QStringLiteral("DataRootNotAFolder"),
    QStringLiteral("The data root \"{dynDirFilePathName}\" cannot be used: \"{dynBlockingPath}\" "
                   "is not a folder."),
    QStringLiteral("__curly")};
const TqvlgNativeText KTextDataRootNotCreated{
    QStringLiteral("UTF8_program.ini"), QStringLiteral("__MessageText__Module"),
    QStringLiteral("DataRootNotCreated"),
    QStringLiteral("The data root \"{dynDirFilePathName}\" cannot be used: the folder "
                   "\"{dynBlockingPath}\" cannot be created or written."),
    QStringLiteral("__curly")};
const TqvlgNativeText KTextOtherInstanceRunning{
    QStringLiteral("UTF8_program.ini"), QStringLiteral("__MessageText__Module"),
    QStringLiteral("OtherInstanceRunning"),
    QStringLiteral("{ProgramNameShort} is running already, so the project "
                   "\"{dynDirFilePathName}\" was not run. End the running program first, or run "
                   "the project with plovane-run."),
    QStringLiteral("__curly")};
const TqvlgNativeText KTextConsoleInformation{
    QStringLiteral("UTF8_program.ini"), QStringLiteral("__MessageText__CommandLine"),
    QStringLiteral("ConsoleInformation"), QStringLiteral("Information"), QString()};
const TqvlgNativeText KTextConsoleWarning{
    QStringLiteral("UTF8_program.ini"), QStringLiteral("__MessageText__CommandLine"),
    QStringLiteral("ConsoleWarning"), QStringLiteral("Warning"), QString()};
const TqvlgNativeText KTextConsoleError{
    QStringLiteral("UTF8_program.ini"), QStringLiteral("__MessageText__CommandLine"),
    QStringLiteral("ConsoleError"), QStringLiteral("Error"), QString()};
const TqvlgNativeText KTextConsoleQuestion{
    QStringLiteral("UTF8_program.ini"), QStringLiteral("__MessageText__CommandLine"),
    QStringLiteral("ConsoleQuestion"), QStringLiteral("Question"), QString()};
const TqvlgNativeText KTextConsoleAnsweredNo{
    QStringLiteral("UTF8_program.ini"), QStringLiteral("__MessageText__CommandLine"),
    QStringLiteral("ConsoleAnsweredNo"), QStringLiteral("answered: no"), QString()};

std::vector<TqvlgNativeText> AppNativeTexts() {
    return {KTextDataRootNotAFolder, KTextDataRootNotCreated, KTextOtherInstanceRunning,
            KTextConsoleInformation, KTextConsoleWarning,     KTextConsoleError,
            KTextConsoleQuestion,    KTextConsoleAnsweredNo};
}
