#pragma once

#include <vector>

#include "translation/builtin_texts.h"

// Words of the property pages and the text editor dialog ("UTF8_program.ini", section
// "__MixedText__FramePluginsSetup").
extern const TqvlgNativeText KTextSimpleTextCaptionOK;           // "&OK"
extern const TqvlgNativeText KTextSimpleTextCaptionCancel;       // "&Cancel"
extern const TqvlgNativeText KTextSimpleTextCaptionEditTextBox;  // "Edit Text Box"
extern const TqvlgNativeText KTextSimpleTextCaptionEditCell;     // "Edit Cell"
extern const TqvlgNativeText KTextFileTypeText;                  // "Text file"
extern const TqvlgNativeText KTextFileTypeIni;                   // "Ini file"
extern const TqvlgNativeText KTextPluginInfoNotAvailable;        // "N/A"

// Every text above.
std::vector<TqvlgNativeText> PropertyPageNativeTexts();
