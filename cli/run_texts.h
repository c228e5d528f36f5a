#pragma once

#include <vector>

#include "translation/builtin_texts.h"

// The texts of plovane-run itself ("UTF8_program.ini", section "__MessageText__CommandLine").

// Usage errors; {dynOption} is the option as typed.
extern const TqvlgNativeText KTextRunThreadsWrong;
extern const TqvlgNativeText KTextRunDataRootMissing;
extern const TqvlgNativeText KTextRunUnknownOption;
extern const TqvlgNativeText KTextRunOneProjectOnly;
extern const TqvlgNativeText KTextRunNoProject;

// The help. The options' own words ("--threads N") are not translated, their descriptions are.
extern const TqvlgNativeText KTextRunUsageWord;  // "Usage"
extern const TqvlgNativeText KTextRunUsagePurpose;
extern const TqvlgNativeText KTextRunUsageThreads;
extern const TqvlgNativeText KTextRunUsageDataRoot;
extern const TqvlgNativeText KTextRunUsageQuiet;
extern const TqvlgNativeText KTextRunUsageListPlugins;
extern const TqvlgNativeText KTextRunUsageJson;
extern const TqvlgNativeText KTextRunUsageVersion;
extern const TqvlgNativeText KTextRunUsageHelp;
extern const TqvlgNativeText KTextRunUsageCtrlC;
// {dynSection} and {dynKey} name the setting, {dynDirFilePathName} the options file.
extern const TqvlgNativeText KTextRunUsageSafeMode;
extern const TqvlgNativeText KTextRunUsageExitCodes;  // "Exit codes"
extern const TqvlgNativeText KTextRunExitDone;
extern const TqvlgNativeText KTextRunExitDoneWithProblems;
extern const TqvlgNativeText KTextRunExitInterrupted;
extern const TqvlgNativeText KTextRunExitProjectInvalid;
extern const TqvlgNativeText KTextRunExitBatchNotRun;
extern const TqvlgNativeText KTextRunExitUsage;

// Progress: {dynItemsDone} of {dynPathsToDo}, {dynTimeUsed} as hh:mm:ss.
extern const TqvlgNativeText KTextRunProgressBar;
extern const TqvlgNativeText KTextRunProgressLine;
extern const TqvlgNativeText KTextRunStopping;

// Every text above, so that the translations can be checked against them.
std::vector<TqvlgNativeText> RunNativeTexts();
