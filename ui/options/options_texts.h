#pragma once

#include <vector>

#include "translation/builtin_texts.h"

// The options dialog's help texts ("UTF8_program.ini", section "__HelpText_ProgramOptions").
extern const TqvlgNativeText KTextHelpProjectPathDefault;
extern const TqvlgNativeText KTextHelpProjectActiveDefault;
// {dynValueMin} and {dynValueMax} are the track bar's range.
extern const TqvlgNativeText KTextHelpProjectReopenCount;
extern const TqvlgNativeText KTextHelpRememberStateWindows;
extern const TqvlgNativeText KTextHelpRememberStateToolbars;
extern const TqvlgNativeText KTextHelpRememberStateMisc;
extern const TqvlgNativeText KTextHelpHumanSafeMode;
// {dynValueMin}, {dynValueMax} and the batch logs folder {AppDirLogsBatchesDirRootPath}.
extern const TqvlgNativeText KTextHelpBatchLogCount;

// Every text above. A control without a help text shows KTextNoHelpAvailableTopic.
std::vector<TqvlgNativeText> OptionsHelpNativeTexts();
