#pragma once

#include <QDateTime>
#include <QString>

class TqvlgLanguageController;

// Translation IDs: the three translation files of a language folder.
inline const QString KTransIdProgram = QStringLiteral("UTF8_program.ini");
inline const QString KTransIdShared = QStringLiteral("UTF8_shared.ini");
inline const QString KTransIdGeneral = QStringLiteral("UTF8_general.ini");

// Sections of the built-in texts.
inline const QString KSectionDialogsTexts = QStringLiteral("__MixedText__Dialogs__Texts__RS");
inline const QString KSectionManageFiles = QStringLiteral("__MixedText__ManageFiles");
inline const QString KSectionDateTime = QStringLiteral("__MixedText__DateTime");
inline const QString KSectionFileTypes = QStringLiteral("__MixedText__FileTypes");
inline const QString KSectionDialogsStd = QStringLiteral("__MixedText__Dialogs__VCL__RS");
inline const QString KSectionModuleMessages = QStringLiteral("__MessageText__Module");
// Window texts of the application itself (its reading order).
inline const QString KSectionModuleApplication = QStringLiteral("____Application__Module");
inline const QString KKeyApplicationBiDiMode = QStringLiteral("Application.BiDiMode");

// The template system of texts that hold variables in braces.
inline const QString KTemplateCurly = QStringLiteral("__curly");

// One built-in message text: where it lives, its English text and its template system (empty
// when the text holds no variables).
struct TqvlgNativeText {
    QString TransID;
    QString Section;
    QString Key;
    QString Native;
    QString TmplSysName;
};

// Messages of the application module.
extern const TqvlgNativeText KTextErrorOccuredDetails;  // "Error occured"
extern const TqvlgNativeText KTextOpenBrowserMoreInfo;  // "Open browser to view more information?"
extern const TqvlgNativeText KTextProblemViewDetails;   // "Problem occured. View details?"
// The help of a control that has none ("UTF8_shared.ini", section "__MixedText__Module").
extern const TqvlgNativeText KTextNoHelpAvailableTopic;  // "No help available for this topic."

// Find and replace dialogs ({dynDialogFindText}, {dynDialogReplaceText},
// {dynDialogReplaceCount}) and file management ({dynDirFilePathName}).
extern const TqvlgNativeText KTextDialogFindTextContinueTop;
extern const TqvlgNativeText KTextDialogFindTextContinueBottom;
extern const TqvlgNativeText KTextDialogReplaceTextContinue;
extern const TqvlgNativeText KTextDialogReplaceTextAllDone;
extern const TqvlgNativeText KTextSaveFileChanges;

// File type name groups for RegisterNativeFileTypeTexts; flag 1 registers every name.
enum TqvlgFileTypeFlags : unsigned {
    qftAll = 1,
    qftCsvGenericShort = 2,
    qftCsv = 4,
    qftTsv = 8,
    qftSsv = 16,
    qftIni = 32,
    qftLog = 64,
    qftXml = 128,
    qftHtml = 256,
    qftText = 512,
    qftBmp = 1024,
    qftXls = 2048,
    qftDot = 4096,
};

// Registers the English texts of "UTF8_general.ini" section by section. They live in the
// controller's native cache entry, so they have to be registered again after a full cache
// reset.
void RegisterNativeDialogTexts(TqvlgLanguageController& AController);
void RegisterNativeManageFilesTexts(TqvlgLanguageController& AController);
void RegisterNativeDateTimeTexts(TqvlgLanguageController& AController);
void RegisterNativeFileTypeTexts(TqvlgLanguageController& AController, unsigned AFlags);
// The standard message dialog titles and button captions, keyed by MakeKeySafe of the text.
void RegisterNativeStdDialogTexts(TqvlgLanguageController& AController);

// The messages of section "__MessageText__Module" of "UTF8_shared.ini", and the words of
// section "__MixedText__Module".
void RegisterNativeModuleMessages(TqvlgLanguageController& AController);

// Everything the application module registers at start: all of the above, with the file type
// groups the module uses (HTML; and text, HTML, XML, INI and CSV).
void RegisterModuleNativeTexts(TqvlgLanguageController& AController);

// The native metadata of the three translation files: English, the maker as author, the
// program version and ANow as "yyyy-mm-dd hh:mm:ss".
void RegisterNativeMetaData(TqvlgLanguageController& AController, const QString& AProgramVersion,
                            const QDateTime& ANow);

// Registers the application's current reading order ("LeftToRight", "RightToLeft",
// "RightToLeftNoAlign" or "RightToLeftReadingOnly") as the native window text and returns the
// one of the chosen language, so a translation can switch the program to right-to-left.
QString TranslatedReadingOrder(TqvlgLanguageController& AController,
                               const QString& ANativeBiDiMode);
