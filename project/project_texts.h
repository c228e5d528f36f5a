#pragma once

#include <vector>

#include "translation/builtin_texts.h"

// Messages of the project commands ("UTF8_program.ini", section "__MessageText__FrontMain");
// {dynDirFilePathName} is the project file, {dynErrorMessage} the reason of a failure.
extern const TqvlgNativeText KTextProjectCombinationsLeftOut;
extern const TqvlgNativeText KTextProjectFileNotExistsInsteadNew;
extern const TqvlgNativeText KTextProjectFileNotExistsDefault;
extern const TqvlgNativeText KTextSaveProjectChanges;  // a project without a file
extern const TqvlgNativeText KTextSaveProjectChangesPath;
extern const TqvlgNativeText KTextProjectSaveFailed;
extern const TqvlgNativeText KTextProjectLoadFailed;
extern const TqvlgNativeText KTextProjectFileNotAProject;

// Words of the window title and the file dialogs (section "__MixedText__FrontMain").
extern const TqvlgNativeText KTextWindowTitleNewProject;         // "new project"
extern const TqvlgNativeText KTextDialogFileTypeProjectFilesSL;  // "project files"

// Names of the built-in patterns and of typed ones (section
// "__MixedText__FrameProgramSetupPlugins"); {dynPattern} is the pattern in capitals.
extern const TqvlgNativeText KTextPatternRootDirectory;
extern const TqvlgNativeText KTextPatternAllDirectories;
extern const TqvlgNativeText KTextPatternAllFiles;
extern const TqvlgNativeText KTextPatternUntypedFile;
extern const TqvlgNativeText KTextPatternDirectoryKind;
extern const TqvlgNativeText KTextPatternFileKind;

// Messages about combinations (section "__MessageText__FrameProgramSetupPlugins"); a dropped
// combination names {dynPosition}, {dynFilter} and {dynPluginID}.
extern const TqvlgNativeText KTextPlugingMarkedFileKindComp;
extern const TqvlgNativeText KTextCombinationWithoutPlugin;
extern const TqvlgNativeText KTextCombinationPluginNotInstalled;
extern const TqvlgNativeText KTextCombinationFilterNotAccepted;

// Why a module configuration stream cannot be read (same section). The first text comes before
// each of the others; {dynDirFilePathName} is the project file, {dynCount} a count or size,
// {dynOffset} a byte offset in the stream, {dynPosition} a 1-based position.
extern const TqvlgNativeText KTextModulesConfUnreadable;
extern const TqvlgNativeText KTextModulesConfOddDigits;           // {dynCount}
extern const TqvlgNativeText KTextModulesConfNotHex;              // {dynText}, {dynPosition}
extern const TqvlgNativeText KTextModulesConfNegativeEntryCount;  // {dynCount}
extern const TqvlgNativeText KTextModulesConfNegativePropCount;   // {dynPosition}, {dynCount}
extern const TqvlgNativeText KTextModulesConfValueSizeWrong;      // + {dynPropName}, {dynRemaining}
extern const TqvlgNativeText KTextModulesConfBytesAfterEnd;       // {dynCount}, {dynOffset}

// Every text above, so that the translations can be checked against them.
std::vector<TqvlgNativeText> ProjectNativeTexts();
