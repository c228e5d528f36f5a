#pragma once

#include <vector>

#include "translation/builtin_texts.h"

// The main window's messages ("UTF8_program.ini", section "__MessageText__FrontMain") and words
// (section "__MixedText__FrontMain").
extern const TqvlgNativeText KTextInterruptBatchExit;  // "Interrupt batch and exit?"
// The batch ended early; {dynErrorMessage} is the error.
extern const TqvlgNativeText KTextBatchEndedWithError;
// The batch log could not take every entry (its disk filled up): {dynErrorMessage}.
extern const TqvlgNativeText KTextBatchLogNotWritten;
extern const TqvlgNativeText KTextNotAvailableShort;  // "N/A"
extern const TqvlgNativeText KTextBatchStatusReady;
extern const TqvlgNativeText KTextBatchStatusRunning;
extern const TqvlgNativeText KTextBatchStatusDone;

// The plugins could not be discovered; {dynErrorMessage} is why.
extern const TqvlgNativeText KTextPluginsNotSetUp;
// The project info page before a project is loaded.
extern const TqvlgNativeText KTextProjectInfoNoProject;

// The status word of TBatchRunner::StatusWord in the chosen language.
QString TranslatedBatchStatus(const QString& AEnglishStatus);

// Every text above.
std::vector<TqvlgNativeText> FrontMainNativeTexts();
