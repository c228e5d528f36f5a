#include "ui/modules_editor/modules_editor_texts.h"

namespace {

// File and section spelled out, so that the constants never depend on the order of static
// initialisation.
TqvlgNativeText Text(const char* ASection, const char* AKey, const char* AEnglish,
                     bool ACurly = false) {
    return {QStringLiteral("UTF8_program.ini"), QString::fromLatin1(ASection),
            QString::fromLatin1(AKey), QString::fromUtf8(AEnglish),
            ACurly ? QStringLiteral("__curly") : QString()};
}

constexpr const char* KMessages = "__MessageText__FrameProgramSetupPlugins";
constexpr const char* KFrontWords = "__MixedText__FrontMain";

}  // namespace

const TqvlgNativeText KTextPickAddFilterModuleCombo = Text(
    KMessages, "PickAddFilterModuleCombo", "Add a filter/module combination and configure it here");
const TqvlgNativeText KTextBatchSetupModules = Text(
    KMessages, "BatchSetupModules",
    "Each entry of the run-order list pairs a filter with a module (plugin). A batch runs the "
    "entries from the top down, and each module is given the paths its filter matches: \":\" "
    "the batch root directory, \"/\" all directories, \"*.*\" all files, \"*.\" files without "
    "an extension, or a mask such as \"*.htm\".\r\n\r\nChoose or type a filter, choose a module "
    "and add the combination; then set up its properties on the tabs beside the list.");
const TqvlgNativeText KTextPageCheckFailedOnSave =
    Text(KMessages, "PageCheckFailedOnSave",
         "The values on the page \"{dynPageName}\" of combination {dynPosition} (filter "
         "\"{dynFilter}\") did not pass the module's check. They are saved as they are.",
         true);

const TqvlgNativeText KTextConditionsRowIgnore =
    Text(KFrontWords, "ConditionsRowIgnore", "Conditions for a row to be ignored:");
const TqvlgNativeText KTextConditionNever = Text(KFrontWords, "Never", "Never");
const TqvlgNativeText KTextRowAllCellsEmpty =
    Text(KFrontWords, "RowAllCellsEmpty", "All cells in row are empty");
const TqvlgNativeText KTextWhenWhiteSpaceTrimmed =
    Text(KFrontWords, "WhenWhiteSpaceTrimmed",
         "when trimmed for whitespaces (both ends of string in each cell)");
const TqvlgNativeText KTextRowAnyCellsEmpty =
    Text(KFrontWords, "RowAnyCellsEmpty", "Any cells in row are empty");
const TqvlgNativeText KTextProjectStoreSensitiveData = Text(
    KFrontWords, "ProjectStoreSensitiveData",
    "Please remember that \"{ProgramNameShort}\" currently does not store properties containing "
    "sensitive data (e.g. passwords) any different (or more secure) than normal data. If you "
    "have sensitive data, you should consider using a program to encrypt and decrypt your data "
    "with, in this case the current project file and directory.",
    true);

std::vector<TqvlgNativeText> ModulesEditorNativeTexts() {
    return {KTextPickAddFilterModuleCombo, KTextBatchSetupModules, KTextPageCheckFailedOnSave,
            KTextConditionsRowIgnore,      KTextConditionNever,    KTextRowAllCellsEmpty,
            KTextWhenWhiteSpaceTrimmed,    KTextRowAnyCellsEmpty,  KTextProjectStoreSensitiveData};
}
