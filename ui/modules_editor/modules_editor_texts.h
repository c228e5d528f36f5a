#pragma once

#include <vector>

#include "translation/builtin_texts.h"

// Messages of the combination editor ("UTF8_program.ini", section
// "__MessageText__FrameProgramSetupPlugins").
extern const TqvlgNativeText KTextPickAddFilterModuleCombo;  // the page area without a selection
extern const TqvlgNativeText KTextBatchSetupModules;         // the general help
// A page failed its check while the project was saved; {dynPageName}, {dynPosition} and
// {dynFilter} name it.
extern const TqvlgNativeText KTextPageCheckFailedOnSave;

// The row-ignore condition and the sensitive-data note of grid pages (section
// "__MixedText__FrontMain").
extern const TqvlgNativeText KTextConditionsRowIgnore;
extern const TqvlgNativeText KTextConditionNever;
extern const TqvlgNativeText KTextRowAllCellsEmpty;
extern const TqvlgNativeText KTextWhenWhiteSpaceTrimmed;
extern const TqvlgNativeText KTextRowAnyCellsEmpty;
extern const TqvlgNativeText KTextProjectStoreSensitiveData;

// Every text above.
std::vector<TqvlgNativeText> ModulesEditorNativeTexts();
