#include "project/headless_run_texts.h"

// The constants spell their file and section out instead of using the inline constants of the
// translation headers, so that they never depend on the order of static initialisation.
const TqvlgNativeText KTextHeadlessNoProjectFile{
    QStringLiteral("UTF8_program.ini"), QStringLiteral("__MessageText__CommandLine"),
    QStringLiteral("HeadlessNoProjectFile"),
    QStringLiteral("There is no project file \"{dynDirFilePathName}\"."),
    QStringLiteral("__curly")};
const TqvlgNativeText KTextHeadlessProjectNotLoaded{
    QStringLiteral("UTF8_program.ini"), QStringLiteral("__MessageText__CommandLine"),
    QStringLiteral("HeadlessProjectNotLoaded"),
    QStringLiteral("The project cannot be loaded: {dynErrorMessage}"), QStringLiteral("__curly")};
const TqvlgNativeText KTextHeadlessCombinationsLeftOut{
    QStringLiteral("UTF8_program.ini"), QStringLiteral("__MessageText__CommandLine"),
    QStringLiteral("HeadlessCombinationsLeftOut"),
    QStringLiteral("The project \"{dynDirFilePathName}\" is not run: {dynCount} of its "
                   "combinations were left out (see above), so its batch would do less than it "
                   "says."),
    QStringLiteral("__curly")};
const TqvlgNativeText KTextHeadlessPluginsNotSetUp{
    QStringLiteral("UTF8_program.ini"), QStringLiteral("__MessageText__CommandLine"),
    QStringLiteral("HeadlessPluginsNotSetUp"),
    QStringLiteral("The plugins could not be set up: {dynErrorMessage}"),
    QStringLiteral("__curly")};
const TqvlgNativeText KTextHeadlessBatchNotRun{
    QStringLiteral("UTF8_program.ini"), QStringLiteral("__MessageText__CommandLine"),
    QStringLiteral("HeadlessBatchNotRun"),
    QStringLiteral("The batch could not be run: {dynErrorMessage}"), QStringLiteral("__curly")};
const TqvlgNativeText KTextHeadlessBatchLog{
    QStringLiteral("UTF8_program.ini"), QStringLiteral("__MessageText__CommandLine"),
    QStringLiteral("HeadlessBatchLog"), QStringLiteral("Batch log: {dynDirFilePathName}"),
    QStringLiteral("__curly")};
const TqvlgNativeText KTextHeadlessSummary{
    QStringLiteral("UTF8_program.ini"), QStringLiteral("__MessageText__CommandLine"),
    QStringLiteral("HeadlessSummary"),
    QStringLiteral(
        "{dynStatus}: {dynPathsToDo} paths to do, {dynItemsDone} items done, {dynTimeUsed}"),
    QStringLiteral("__curly")};
const TqvlgNativeText KTextHeadlessSummaryProblems{
    QStringLiteral("UTF8_program.ini"), QStringLiteral("__MessageText__CommandLine"),
    QStringLiteral("HeadlessSummaryProblems"), QStringLiteral("{dynCount} problems with paths"),
    QStringLiteral("__curly")};
const TqvlgNativeText KTextHeadlessSummaryEndedEarly{
    QStringLiteral("UTF8_program.ini"), QStringLiteral("__MessageText__CommandLine"),
    QStringLiteral("HeadlessSummaryEndedEarly"), QStringLiteral("ended early: {dynErrorMessage}"),
    QStringLiteral("__curly")};
const TqvlgNativeText KTextHeadlessSummaryWorkNotEmptied{
    QStringLiteral("UTF8_program.ini"), QStringLiteral("__MessageText__CommandLine"),
    QStringLiteral("HeadlessSummaryWorkNotEmptied"),
    QStringLiteral("work directory \"{dynDirFilePathName}\" not emptied: its top level holds "
                   "only folders or hidden entries"),
    QStringLiteral("__curly")};
const TqvlgNativeText KTextHeadlessSummaryLogNotWritten{
    QStringLiteral("UTF8_program.ini"), QStringLiteral("__MessageText__CommandLine"),
    QStringLiteral("HeadlessSummaryLogNotWritten"),
    QStringLiteral("the batch log could not be written, it is incomplete: {dynErrorMessage}"),
    QStringLiteral("__curly")};

const TqvlgNativeText KTextLogBatchDone{
    QStringLiteral("UTF8_program.ini"), QStringLiteral("__MixedText__FrontMain"),
    QStringLiteral("LogBatchDone"), QStringLiteral("Done"), QString()};
const TqvlgNativeText KTextLogBatchInterruptedByUser{
    QStringLiteral("UTF8_program.ini"), QStringLiteral("__MixedText__FrontMain"),
    QStringLiteral("LogBatchInterruptedByUser"), QStringLiteral("Interrupted by user"), QString()};
const TqvlgNativeText KTextLogBatchInterruptedByPlugin{
    QStringLiteral("UTF8_program.ini"), QStringLiteral("__MixedText__FrontMain"),
    QStringLiteral("LogBatchInterruptedByPlugin"), QStringLiteral("Interrupted by plugin"),
    QString()};
const TqvlgNativeText KTextLogBatchInterrupted{
    QStringLiteral("UTF8_program.ini"), QStringLiteral("__MixedText__FrontMain"),
    QStringLiteral("LogBatchInterrupted"), QStringLiteral("Interrupted"), QString()};

std::vector<TqvlgNativeText> HeadlessRunNativeTexts() {
    return {KTextHeadlessNoProjectFile,
            KTextHeadlessProjectNotLoaded,
            KTextHeadlessCombinationsLeftOut,
            KTextHeadlessPluginsNotSetUp,
            KTextHeadlessBatchNotRun,
            KTextHeadlessBatchLog,
            KTextHeadlessSummary,
            KTextHeadlessSummaryProblems,
            KTextHeadlessSummaryEndedEarly,
            KTextHeadlessSummaryWorkNotEmptied,
            KTextHeadlessSummaryLogNotWritten,
            KTextLogBatchDone,
            KTextLogBatchInterruptedByUser,
            KTextLogBatchInterruptedByPlugin,
            KTextLogBatchInterrupted};
}
