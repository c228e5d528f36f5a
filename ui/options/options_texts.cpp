#include "ui/options/options_texts.h"

// The constants spell their file and section out instead of using the inline constants of the
// translation headers, so that they never depend on the order of static initialisation.
namespace {

TqvlgNativeText Help(const char* AKey, const char* AEnglish, bool ACurly = true) {
    return {QStringLiteral("UTF8_program.ini"), QStringLiteral("__HelpText_ProgramOptions"),
            QString::fromLatin1(AKey), QString::fromUtf8(AEnglish),
            ACurly ? QStringLiteral("__curly") : QString()};
}

}  // namespace

const TqvlgNativeText KTextHelpProjectPathDefault =
    Help("ProjectPathDefault",
         "Defines the path to the default project (containing setup). It is used everytime \"new "
         "project\" action is executed.\r\n\r\nIf the specified project file does not exist upon "
         "launch of {ProgramNameShort} a default template will be used instead.");
const TqvlgNativeText KTextHelpProjectActiveDefault = Help(
    "ProjectActiveDefault",
    "Defines if {ProgramNameShort} should open with the last active project.\r\n\r\nIf the given "
    "project does not exist upon launch of {ProgramNameShort} the default project will be shown "
    "instead.");
const TqvlgNativeText KTextHelpProjectReopenCount =
    Help("ProjectReopenCount", "Choose a value between {dynValueMin} and {dynValueMax}.");
const TqvlgNativeText KTextHelpRememberStateWindows =
    Help("RememberStateWindows", "Remember windows position, size, and state.", false);
const TqvlgNativeText KTextHelpRememberStateToolbars =
    Help("RememberStateToolbars", "Remember toolbars position, size, and state.", false);
const TqvlgNativeText KTextHelpRememberStateMisc =
    Help("RememberStateMisc", "Remember miscellaneous setup.", false);
const TqvlgNativeText KTextHelpHumanSafeMode = Help(
    "HumanSafeMode",
    "This will have {ProgramNameShort} enforce \"as safe as possible\" user configuration of all "
    "setup not directly tied into specific plugins.\r\n\r\nIt can not hinder wrong setup of "
    "plugins. It can also not prevent plugins that have bugs to misbehave (the same risks as with "
    "most other software).\r\n\r\nRecommended to have checked as a safeguard.");
const TqvlgNativeText KTextHelpBatchLogCount =
    Help("BatchLogCount",
         "Choose a value between {dynValueMin} and {dynValueMax}.\r\n\r\nLog files are stored in "
         "\"{AppDirLogsBatchesDirRootPath}\".\r\n\r\nAs the number of log files outgrow the limit "
         "selected, the oldest log files will be deleted.");

std::vector<TqvlgNativeText> OptionsHelpNativeTexts() {
    return {KTextHelpProjectPathDefault,    KTextHelpProjectActiveDefault,
            KTextHelpProjectReopenCount,    KTextHelpRememberStateWindows,
            KTextHelpRememberStateToolbars, KTextHelpRememberStateMisc,
            KTextHelpHumanSafeMode,         KTextHelpBatchLogCount};
}
