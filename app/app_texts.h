#pragma once

#include <vector>

#include "translation/builtin_texts.h"

// Messages of the application module about its folders ("UTF8_program.ini", section
// "__MessageText__Module"). {dynDirFilePathName} is the data root as it was given,
// {dynBlockingPath} what stands in its way.
extern const TqvlgNativeText KTextDataRootNotAFolder;
extern const TqvlgNativeText KTextDataRootNotCreated;

// What the desktop program says on standard error when it ends at once (same section): another
// instance runs, so the project named on the command line ({dynDirFilePathName}) was not run.
extern const TqvlgNativeText KTextOtherInstanceRunning;

// The words of messages and questions on a terminal (section "__MessageText__CommandLine"): the
// kind put before a text ("Warning: ...") and the answer given for the user ("[answered: no]").
extern const TqvlgNativeText KTextConsoleInformation;
extern const TqvlgNativeText KTextConsoleWarning;
extern const TqvlgNativeText KTextConsoleError;
extern const TqvlgNativeText KTextConsoleQuestion;
extern const TqvlgNativeText KTextConsoleAnsweredNo;

// Every text above, so that the translations can be checked against them.
std::vector<TqvlgNativeText> AppNativeTexts();
