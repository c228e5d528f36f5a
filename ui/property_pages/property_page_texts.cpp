#include "ui/property_pages/property_page_texts.h"

namespace {

// File and section spelled out, so that the constants never depend on the order of static
// initialisation.
TqvlgNativeText Word(const char* AKey, const char* AEnglish) {
    return {QStringLiteral("UTF8_program.ini"), QStringLiteral("__MixedText__FramePluginsSetup"),
            QString::fromLatin1(AKey), QString::fromUtf8(AEnglish), QString()};
}

}  // namespace

const TqvlgNativeText KTextSimpleTextCaptionOK = Word("SimpleTextCaptionOK", "&OK");
const TqvlgNativeText KTextSimpleTextCaptionCancel = Word("SimpleTextCaptionCancel", "&Cancel");
const TqvlgNativeText KTextSimpleTextCaptionEditTextBox =
    Word("SimpleTextCaptionEditTextBox", "Edit Text Box");
const TqvlgNativeText KTextSimpleTextCaptionEditCell =
    Word("SimpleTextCaptionEditCell", "Edit Cell");
const TqvlgNativeText KTextFileTypeText = Word("FileTypeText", "Text file");
const TqvlgNativeText KTextFileTypeIni = Word("FileTypeIni", "Ini file");
const TqvlgNativeText KTextPluginInfoNotAvailable = Word("NotAvailableShort", "N/A");

std::vector<TqvlgNativeText> PropertyPageNativeTexts() {
    return {KTextSimpleTextCaptionOK,
            KTextSimpleTextCaptionCancel,
            KTextSimpleTextCaptionEditTextBox,
            KTextSimpleTextCaptionEditCell,
            KTextFileTypeText,
            KTextFileTypeIni,
            KTextPluginInfoNotAvailable};
}
