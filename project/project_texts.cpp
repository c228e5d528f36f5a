#include "project/project_texts.h"

// The constants spell their file and section out instead of using the inline constants of the
// translation headers, so that they never depend on the order of static initialisation.
const TqvlgNativeText KTextProjectCombinationsLeftOut{
    QStringLiteral("UTF8_program.ini"), QStringLiteral("__MessageText__FrontMain"),
    QStringLiteral("ProjectCombinationsLeftOut"),
    QStringLiteral("These filter/module combinations of the project \"{dynDirFilePathName}\" "
                   "could not be loaded and were left out (saving the project removes them "
                   "from its file):"),
    QStringLiteral("__curly")};
const TqvlgNativeText KTextProjectFileNotExistsInsteadNew{
    QStringLiteral("UTF8_program.ini"), QStringLiteral("__MessageText__FrontMain"),
    QStringLiteral("ProjectFileNotExistsInsteadNew"),
    QStringLiteral("The project file \"{dynDirFilePathName}\" does not exist. A new "
                   "project will be created instead."),
    QStringLiteral("__curly")};
const TqvlgNativeText KTextProjectFileNotExistsDefault{
    QStringLiteral("UTF8_program.ini"), QStringLiteral("__MessageText__FrontMain"),
    QStringLiteral("ProjectFileNotExistsDefault"),
    QStringLiteral("Tryed to create new project with data from default project "
                   "\"{dynDirFilePathName}\". The project file does not exist. "
                   "\"Default project\" setting has now been set to program "
                   "default."),
    QStringLiteral("__curly")};
const TqvlgNativeText KTextSaveProjectChanges{
    QStringLiteral("UTF8_program.ini"), QStringLiteral("__MessageText__FrontMain"),
    QStringLiteral("SaveProjectChanges"), QStringLiteral("Save project changes?"), QString()};
const TqvlgNativeText KTextSaveProjectChangesPath{
    QStringLiteral("UTF8_program.ini"), QStringLiteral("__MessageText__FrontMain"),
    QStringLiteral("SaveProjectChangesPath"),
    QStringLiteral("Save project \"{dynDirFilePathName}\" changes?"), QStringLiteral("__curly")};
const TqvlgNativeText KTextProjectSaveFailed{
    QStringLiteral("UTF8_program.ini"), QStringLiteral("__MessageText__FrontMain"),
    QStringLiteral("ProjectSaveFailed"),
    QStringLiteral("The project could not be saved to \"{dynDirFilePathName}\": "
                   "{dynErrorMessage} The previous file was kept."),
    QStringLiteral("__curly")};
const TqvlgNativeText KTextProjectLoadFailed{
    QStringLiteral("UTF8_program.ini"), QStringLiteral("__MessageText__FrontMain"),
    QStringLiteral("ProjectLoadFailed"),
    QStringLiteral("The project file \"{dynDirFilePathName}\" could not be loaded: "
                   "{dynErrorMessage}\r\nA new project will be created instead."),
    QStringLiteral("__curly")};
const TqvlgNativeText KTextProjectFileNotAProject{
    QStringLiteral("UTF8_program.ini"), QStringLiteral("__MessageText__FrontMain"),
    QStringLiteral("ProjectFileNotAProject"),
    QStringLiteral("The file \"{dynDirFilePathName}\" is not a project file: it has no section "
                   "\"[Project Details]\"."),
    QStringLiteral("__curly")};

const TqvlgNativeText KTextWindowTitleNewProject{
    QStringLiteral("UTF8_program.ini"), QStringLiteral("__MixedText__FrontMain"),
    QStringLiteral("WindowTitleNewProject"), QStringLiteral("new project"), QString()};
const TqvlgNativeText KTextDialogFileTypeProjectFilesSL{
    QStringLiteral("UTF8_program.ini"), QStringLiteral("__MixedText__FrontMain"),
    QStringLiteral("DialogFileTypeProjectFilesSL"), QStringLiteral("project files"), QString()};

const TqvlgNativeText KTextPatternRootDirectory{
    QStringLiteral("UTF8_program.ini"), QStringLiteral("__MixedText__FrameProgramSetupPlugins"),
    QStringLiteral("PatternRootDirectory"), QStringLiteral("Root Directory"), QString()};
const TqvlgNativeText KTextPatternAllDirectories{
    QStringLiteral("UTF8_program.ini"), QStringLiteral("__MixedText__FrameProgramSetupPlugins"),
    QStringLiteral("PatternAllDirectories"), QStringLiteral("All Directories"), QString()};
const TqvlgNativeText KTextPatternAllFiles{
    QStringLiteral("UTF8_program.ini"), QStringLiteral("__MixedText__FrameProgramSetupPlugins"),
    QStringLiteral("PatternAllFiles"), QStringLiteral("All Files"), QString()};
const TqvlgNativeText KTextPatternUntypedFile{
    QStringLiteral("UTF8_program.ini"), QStringLiteral("__MixedText__FrameProgramSetupPlugins"),
    QStringLiteral("PatternUntypedFile"), QStringLiteral("Untyped File"), QString()};
const TqvlgNativeText KTextPatternDirectoryKind{
    QStringLiteral("UTF8_program.ini"), QStringLiteral("__MixedText__FrameProgramSetupPlugins"),
    QStringLiteral("PatternDirectoryKind"), QStringLiteral("{dynPattern} directory"),
    QStringLiteral("__curly")};
const TqvlgNativeText KTextPatternFileKind{
    QStringLiteral("UTF8_program.ini"), QStringLiteral("__MixedText__FrameProgramSetupPlugins"),
    QStringLiteral("PatternFileKind"), QStringLiteral("{dynPattern} file"),
    QStringLiteral("__curly")};

const TqvlgNativeText KTextPlugingMarkedFileKindComp{
    QStringLiteral("UTF8_program.ini"), QStringLiteral("__MessageText__FrameProgramSetupPlugins"),
    QStringLiteral("PlugingMarkedFileKindComp"),
    QStringLiteral("The plugin chosen has marked itself as being "
                   "non-compatible with the filter currently selected."),
    QString()};
const TqvlgNativeText KTextCombinationWithoutPlugin{
    QStringLiteral("UTF8_program.ini"), QStringLiteral("__MessageText__FrameProgramSetupPlugins"),
    QStringLiteral("CombinationWithoutPlugin"),
    QStringLiteral("Combination {dynPosition} (filter \"{dynFilter}\"): no plugin "
                   "was stored with it."),
    QStringLiteral("__curly")};
const TqvlgNativeText KTextCombinationPluginNotInstalled{
    QStringLiteral("UTF8_program.ini"), QStringLiteral("__MessageText__FrameProgramSetupPlugins"),
    QStringLiteral("CombinationPluginNotInstalled"),
    QStringLiteral("Combination {dynPosition} (filter \"{dynFilter}\"): the plugin "
                   "\"{dynPluginID}\" is not installed."),
    QStringLiteral("__curly")};
const TqvlgNativeText KTextCombinationFilterNotAccepted{
    QStringLiteral("UTF8_program.ini"), QStringLiteral("__MessageText__FrameProgramSetupPlugins"),
    QStringLiteral("CombinationFilterNotAccepted"),
    QStringLiteral("Combination {dynPosition} (filter \"{dynFilter}\"): the plugin "
                   "\"{dynPluginID}\" does not accept this filter."),
    QStringLiteral("__curly")};

const TqvlgNativeText KTextModulesConfUnreadable{
    QStringLiteral("UTF8_program.ini"), QStringLiteral("__MessageText__FrameProgramSetupPlugins"),
    QStringLiteral("ModulesConfUnreadable"),
    QStringLiteral("Project file \"{dynDirFilePathName}\": the module configuration could not be "
                   "read."),
    QStringLiteral("__curly")};
const TqvlgNativeText KTextModulesConfOddDigits{
    QStringLiteral("UTF8_program.ini"), QStringLiteral("__MessageText__FrameProgramSetupPlugins"),
    QStringLiteral("ModulesConfOddDigits"),
    QStringLiteral("Its text has an odd number of hexadecimal digits ({dynCount})."),
    QStringLiteral("__curly")};
const TqvlgNativeText KTextModulesConfNotHex{
    QStringLiteral("UTF8_program.ini"), QStringLiteral("__MessageText__FrameProgramSetupPlugins"),
    QStringLiteral("ModulesConfNotHex"),
    QStringLiteral("\"{dynText}\" at character {dynPosition} is not a hexadecimal number."),
    QStringLiteral("__curly")};
const TqvlgNativeText KTextModulesConfNegativeEntryCount{
    QStringLiteral("UTF8_program.ini"), QStringLiteral("__MessageText__FrameProgramSetupPlugins"),
    QStringLiteral("ModulesConfNegativeEntryCount"),
    QStringLiteral("The entry count is negative ({dynCount})."), QStringLiteral("__curly")};
const TqvlgNativeText KTextModulesConfNegativePropCount{
    QStringLiteral("UTF8_program.ini"), QStringLiteral("__MessageText__FrameProgramSetupPlugins"),
    QStringLiteral("ModulesConfNegativePropCount"),
    QStringLiteral("The property count of combination {dynPosition} is negative ({dynCount})."),
    QStringLiteral("__curly")};
const TqvlgNativeText KTextModulesConfValueSizeWrong{
    QStringLiteral("UTF8_program.ini"), QStringLiteral("__MessageText__FrameProgramSetupPlugins"),
    QStringLiteral("ModulesConfValueSizeWrong"),
    QStringLiteral("The value of property \"{dynPropName}\" claims {dynCount} bytes at offset "
                   "{dynOffset}, but {dynRemaining} remain."),
    QStringLiteral("__curly")};
const TqvlgNativeText KTextModulesConfBytesAfterEnd{
    QStringLiteral("UTF8_program.ini"), QStringLiteral("__MessageText__FrameProgramSetupPlugins"),
    QStringLiteral("ModulesConfBytesAfterEnd"),
    QStringLiteral("{dynCount} bytes follow the last combination at offset {dynOffset}."),
    QStringLiteral("__curly")};

std::vector<TqvlgNativeText> ProjectNativeTexts() {
    return {KTextProjectCombinationsLeftOut,
            KTextProjectFileNotExistsInsteadNew,
            KTextProjectFileNotExistsDefault,
            KTextSaveProjectChanges,
            KTextSaveProjectChangesPath,
            KTextProjectSaveFailed,
            KTextProjectLoadFailed,
            KTextProjectFileNotAProject,
            KTextWindowTitleNewProject,
            KTextDialogFileTypeProjectFilesSL,
            KTextPatternRootDirectory,
            KTextPatternAllDirectories,
            KTextPatternAllFiles,
            KTextPatternUntypedFile,
            KTextPatternDirectoryKind,
            KTextPatternFileKind,
            KTextPlugingMarkedFileKindComp,
            KTextCombinationWithoutPlugin,
            KTextCombinationPluginNotInstalled,
            KTextCombinationFilterNotAccepted,
            KTextModulesConfUnreadable,
            KTextModulesConfOddDigits,
            KTextModulesConfNotHex,
            KTextModulesConfNegativeEntryCount,
            KTextModulesConfNegativePropCount,
            KTextModulesConfValueSizeWrong,
            KTextModulesConfBytesAfterEnd};
}
