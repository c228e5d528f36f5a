#pragma once

#include <vector>

#include "translation/builtin_texts.h"

// The messages of the batch runner's check of the general settings ("UTF8_program.ini",
// section "__MessageText__FrontMain"). {dynCaption} is the caption of the directory concerned;
// {dynCaption1} and {dynCaption2} are the contained directory's and the other one's.
extern const TqvlgNativeText KTextCheckSettingsInputDir;          // "Input Directory"
extern const TqvlgNativeText KTextCheckSettingsWorkDir;           // "Work Directory"
extern const TqvlgNativeText KTextCheckSettingsDirHasToExist;     // {dynCaption}
extern const TqvlgNativeText KTextCheckSettingsDirFailedCreate;   // {dynCaption}
extern const TqvlgNativeText KTextCheckSettingsDirHumanSafeMode;  // + {dynDirFilePathName}
extern const TqvlgNativeText KTextCheckSettingsDirPartWrong;      // {dynCaption1}, {dynCaption2}
// A folder a batch would write into (the work folder, or the input folder worked in place) that
// must never be one: {dynCaption}, the folder {dynDirFilePathName} and, but for the root, the
// folder it is or holds, {dynFolderHeld}.
extern const TqvlgNativeText KTextCheckSettingsDirIsRoot;
extern const TqvlgNativeText KTextCheckSettingsDirHoldsHome;
extern const TqvlgNativeText KTextCheckSettingsDirHoldsDataRoot;
extern const TqvlgNativeText KTextCheckSettingsDirHoldsProgram;
// A combination's filter that cannot be matched (a mask with an unclosed "["): {dynFilter} and
// {dynErrorMessage}.
extern const TqvlgNativeText KTextCheckSettingsFilterInvalid;
// Told after the check failed, by whoever started the batch (the window, the command line).
extern const TqvlgNativeText KTextValidateSettingsFailed;

// Every message text above, so that the translations can be checked against them.
std::vector<TqvlgNativeText> BatchRunnerNativeTexts();
