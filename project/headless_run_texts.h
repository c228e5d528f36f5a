#pragma once

#include <vector>

#include "translation/builtin_texts.h"

// What a run without a window tells about a project and its batch ("UTF8_program.ini", section
// "__MessageText__CommandLine"). {dynDirFilePathName} is the project file or the batch log,
// {dynErrorMessage} the reason of a failure.
extern const TqvlgNativeText KTextHeadlessNoProjectFile;
extern const TqvlgNativeText KTextHeadlessProjectNotLoaded;
extern const TqvlgNativeText KTextHeadlessCombinationsLeftOut;
extern const TqvlgNativeText KTextHeadlessPluginsNotSetUp;
extern const TqvlgNativeText KTextHeadlessBatchNotRun;
extern const TqvlgNativeText KTextHeadlessBatchLog;
// The one-line summary: {dynStatus}, {dynPathsToDo}, {dynItemsDone} and {dynTimeUsed}; then,
// each after ", " when it applies, the problems ({dynCount}) and an early end
// ({dynErrorMessage}), a work folder left as it is ({dynDirFilePathName}) and a batch log that
// could not be written ({dynErrorMessage}).
extern const TqvlgNativeText KTextHeadlessSummary;
extern const TqvlgNativeText KTextHeadlessSummaryProblems;
extern const TqvlgNativeText KTextHeadlessSummaryEndedEarly;
extern const TqvlgNativeText KTextHeadlessSummaryWorkNotEmptied;
extern const TqvlgNativeText KTextHeadlessSummaryLogNotWritten;

// How a batch ended, as the batch progress page shows it (section "__MixedText__FrontMain").
extern const TqvlgNativeText KTextLogBatchDone;
extern const TqvlgNativeText KTextLogBatchInterruptedByUser;
extern const TqvlgNativeText KTextLogBatchInterruptedByPlugin;
extern const TqvlgNativeText KTextLogBatchInterrupted;

// Every text above, so that the translations can be checked against them.
std::vector<TqvlgNativeText> HeadlessRunNativeTexts();
