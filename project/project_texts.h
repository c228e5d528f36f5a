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

// Every text above, so that the translations can be checked against them.
std::vector<TqvlgNativeText> ProjectNativeTexts();
