#include "ui/main_window/front_texts.h"

#include "project/headless_run_texts.h"
#include "translation/translated_text.h"

// The constants spell their file and section out instead of using the inline constants of the
// translation headers, so that they never depend on the order of static initialisation.
namespace {

TqvlgNativeText Message(const char* AKey, const char* AEnglish, bool ACurly = false) {
    return {QStringLiteral("UTF8_program.ini"), QStringLiteral("__MessageText__FrontMain"),
            QString::fromLatin1(AKey), QString::fromUtf8(AEnglish),
            ACurly ? QStringLiteral("__curly") : QString()};
}

TqvlgNativeText Word(const char* AKey, const char* AEnglish) {
    return {QStringLiteral("UTF8_program.ini"), QStringLiteral("__MixedText__FrontMain"),
            QString::fromLatin1(AKey), QString::fromUtf8(AEnglish), QString()};
}

}  // namespace

const TqvlgNativeText KTextInterruptBatchExit =
    Message("InterruptBatchExit", "Interrupt batch and exit?");
const TqvlgNativeText KTextBatchEndedWithError = Message(
    "BatchEndedWithError", "The batch ended early because of an error: {dynErrorMessage}", true);
const TqvlgNativeText KTextBatchLogNotWritten =
    Message("BatchLogNotWritten",
            "The batch ran, but its log could not be written completely: {dynErrorMessage}", true);
const TqvlgNativeText KTextPluginsNotSetUp =
    Message("PluginsNotSetUp", "The plugins could not be set up: {dynErrorMessage}", true);
const TqvlgNativeText KTextProjectInfoNoProject = Message(
    "ProjectInfoNoProject", "N/A - no project loaded - settings copied from default project");
const TqvlgNativeText KTextNotAvailableShort = Word("NotAvailableShort", "N/A");
const TqvlgNativeText KTextBatchStatusReady = Word("BatchStatusReady", "Ready");
const TqvlgNativeText KTextBatchStatusRunning = Word("BatchStatusRunning", "Running");
const TqvlgNativeText KTextBatchStatusDone = Word("BatchStatusDone", "Done");

std::vector<TqvlgNativeText> FrontMainNativeTexts() {
    // The interruption words belong to the run without a window, which registers them.
    return {KTextInterruptBatchExit, KTextBatchEndedWithError,  KTextBatchLogNotWritten,
            KTextPluginsNotSetUp,    KTextProjectInfoNoProject, KTextNotAvailableShort,
            KTextBatchStatusReady,   KTextBatchStatusRunning,   KTextBatchStatusDone};
}

QString TranslatedBatchStatus(const QString& AEnglishStatus) {
    for (const TqvlgNativeText& text : {KTextBatchStatusReady, KTextBatchStatusRunning,
                                        KTextBatchStatusDone, KTextLogBatchInterruptedByUser,
                                        KTextLogBatchInterruptedByPlugin, KTextLogBatchInterrupted})
        if (text.Native == AEnglishStatus)
            return TranslatedMessage(text);
    return AEnglishStatus;
}
