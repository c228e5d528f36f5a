#include "translation/builtin_texts.h"

#include "translation/language_controller.h"
#include "translation/translated_text.h"

// The constants spell their file and section out instead of using the inline constants of the
// header, so that they never depend on the order of static initialisation.
const TqvlgNativeText KTextErrorOccuredDetails{
    QStringLiteral("UTF8_shared.ini"), QStringLiteral("__MessageText__Module"),
    QStringLiteral("ErrorOccuredDetails"), QStringLiteral("Error occured"), QString()};
const TqvlgNativeText KTextOpenBrowserMoreInfo{
    QStringLiteral("UTF8_shared.ini"), QStringLiteral("__MessageText__Module"),
    QStringLiteral("OpenBrowserMoreInfo"), QStringLiteral("Open browser to view more information?"),
    QString()};
const TqvlgNativeText KTextProblemViewDetails{
    QStringLiteral("UTF8_shared.ini"), QStringLiteral("__MessageText__Module"),
    QStringLiteral("ProblemViewDetails"), QStringLiteral("Problem occured. View details?"),
    QString()};
const TqvlgNativeText KTextNoHelpAvailableTopic{
    QStringLiteral("UTF8_shared.ini"), QStringLiteral("__MixedText__Module"),
    QStringLiteral("NoHelpAvailableTopic"), QStringLiteral("No help available for this topic."),
    QString()};

const TqvlgNativeText KTextDialogFindTextContinueTop{
    QStringLiteral("UTF8_general.ini"), QStringLiteral("__MixedText__Dialogs__Texts__RS"),
    QStringLiteral("DialogFindTextContinueTop"),
    QStringLiteral("\"{dynDialogFindText}\" not found. Restart search from top?"),
    QStringLiteral("__curly")};
const TqvlgNativeText KTextDialogFindTextContinueBottom{
    QStringLiteral("UTF8_general.ini"), QStringLiteral("__MixedText__Dialogs__Texts__RS"),
    QStringLiteral("DialogFindTextContinueBottom"),
    QStringLiteral("\"{dynDialogFindText}\" not found. Restart search from bottom?"),
    QStringLiteral("__curly")};
const TqvlgNativeText KTextDialogReplaceTextContinue{
    QStringLiteral("UTF8_general.ini"), QStringLiteral("__MixedText__Dialogs__Texts__RS"),
    QStringLiteral("DialogReplaceTextContinue"),
    QStringLiteral("Replace \"{dynDialogFindText}\" with \"{dynDialogReplaceText}\"?"),
    QStringLiteral("__curly")};
const TqvlgNativeText KTextDialogReplaceTextAllDone{
    QStringLiteral("UTF8_general.ini"), QStringLiteral("__MixedText__Dialogs__Texts__RS"),
    QStringLiteral("DialogReplaceTextAllDone"),
    QStringLiteral("Replaced \"{dynDialogFindText}\" with \"{dynDialogReplaceText}\" "
                   "{dynDialogReplaceCount} places!"),
    QStringLiteral("__curly")};
const TqvlgNativeText KTextSaveFileChanges{
    QStringLiteral("UTF8_general.ini"), QStringLiteral("__MixedText__ManageFiles"),
    QStringLiteral("SaveFileChanges"),
    QStringLiteral("Save file \"{dynDirFilePathName}\" changes?"), QStringLiteral("__curly")};

namespace {

void Register(TqvlgLanguageController& AController, const TqvlgNativeText& AText) {
    AController.Set_TransResStr_Native(AText.TransID, AText.Section, AText.Key, AText.Native,
                                       AText.TmplSysName);
}

// Texts without variables of one section of the general file.
void RegisterPlain(TqvlgLanguageController& AController, const QString& ASection,
                   const QString& AKey, const QString& AEnglish) {
    AController.Set_TransResStr_Native(KTransIdGeneral, ASection, AKey, AEnglish, QString());
}

}  // namespace

void RegisterNativeDialogTexts(TqvlgLanguageController& AController) {
    Register(AController, KTextDialogFindTextContinueTop);
    Register(AController, KTextDialogFindTextContinueBottom);
    Register(AController, KTextDialogReplaceTextContinue);
    Register(AController, KTextDialogReplaceTextAllDone);
}

void RegisterNativeManageFilesTexts(TqvlgLanguageController& AController) {
    Register(AController, KTextSaveFileChanges);
}

void RegisterNativeDateTimeTexts(TqvlgLanguageController& AController) {
    static const std::pair<const char16_t*, const char16_t*> KWords[] = {
        {u"GenericYear", u"year"},       {u"GenericMonth", u"month"},
        {u"GenericWeek", u"week"},       {u"GenericDay", u"day"},
        {u"GenericHour", u"hour"},       {u"GenericMinut", u"minute"},
        {u"GenericSecond", u"second"},   {u"GenericMiliSecond", u"millisecond"},
        {u"GenericYears", u"years"},     {u"GenericMonths", u"months"},
        {u"GenericWeeks", u"weeks"},     {u"GenericDays", u"days"},
        {u"GenericHours", u"hours"},     {u"GenericMinuts", u"minutes"},
        {u"GenericSeconds", u"seconds"}, {u"GenericMiliSeconds", u"milliseconds"},
    };
    for (const auto& [key, english] : KWords)
        RegisterPlain(AController, KSectionDateTime, QString::fromUtf16(key),
                      QString::fromUtf16(english));
}

void RegisterNativeFileTypeTexts(TqvlgLanguageController& AController, unsigned AFlags) {
    // Flag 0 marks the names that only the "all" flag brings.
    struct TFileType {
        unsigned Flag;
        const char16_t* Key;
        const char16_t* English;
    };
    static const TFileType KTypes[] = {
        {qftCsvGenericShort, u"FileTypeCSV_GenericShort", u"CSV file"},
        {qftCsv, u"FileTypeCSV", u"Comma separated values file"},
        {qftTsv, u"FileTypeTSV", u"Tab separated values file"},
        {qftSsv, u"FileTypeSSV", u"Semi colon separated values file"},
        {qftIni, u"FileTypeIni", u"Ini file"},
        {qftLog, u"FileTypeLog", u"Log file"},
        {qftXml, u"FileTypeXML", u"XML file"},
        {qftHtml, u"FileTypeHTML", u"HTML file"},
        {qftText, u"FileTypeText", u"Text file"},
        {qftBmp, u"FileTypeBMP", u"Bitmap image file"},
        {qftXls, u"FileTypeXLS", u"Excel file"},
        {qftDot, u"FileTypeDOT", u"GraphViz DOT file"},
        {0, u"FileTypeWildcard", u"All file kinds"},
        {0, u"FileTypeWildcardText", u"All text file kinds"},
    };
    for (const TFileType& type : KTypes) {
        if ((AFlags & qftAll) != 0 || (AFlags & type.Flag) != 0)
            RegisterPlain(AController, KSectionFileTypes, QString::fromUtf16(type.Key),
                          QString::fromUtf16(type.English));
    }
    RegisterPlain(AController, KSectionFileTypes, QStringLiteral("UTF8Encoded"),
                  QStringLiteral("UTF8 encoded"));
}

void RegisterNativeStdDialogTexts(TqvlgLanguageController& AController) {
    // The titles of the message dialog kinds and the captions of the standard buttons as the
    // widget toolkit shows them; a dialog looks each one up by MakeKeySafe of its text.
    static const char16_t* const KTexts[] = {
        u"Warning",
        u"Error",
        u"Information",
        u"Confirm",
        u"OK",
        u"Cancel",
        u"&Yes",
        u"&No",
        u"Yes to &All",
        u"N&o to All",
        u"All",
        u"Abort",
        u"Retry",
        u"Ignore",
        u"Help",
        u"Close",
        u"Save",
        u"Save All",
        u"Open",
        u"Discard",
        u"Apply",
        u"Reset",
        u"Restore Defaults",
    };
    for (const char16_t* text : KTexts) {
        const QString english = QString::fromUtf16(text);
        RegisterPlain(AController, KSectionDialogsStd,
                      TqvlgLanguageController::MakeKeySafe(english), english);
    }
}

void RegisterNativeModuleMessages(TqvlgLanguageController& AController) {
    Register(AController, KTextErrorOccuredDetails);
    Register(AController, KTextOpenBrowserMoreInfo);
    Register(AController, KTextProblemViewDetails);
    Register(AController, KTextNoHelpAvailableTopic);
}

void RegisterModuleNativeTexts(TqvlgLanguageController& AController) {
    RegisterNativeDialogTexts(AController);
    RegisterNativeManageFilesTexts(AController);
    RegisterNativeDateTimeTexts(AController);
    RegisterNativeFileTypeTexts(AController, qftHtml);
    RegisterNativeFileTypeTexts(AController, qftText | qftHtml | qftXml | qftIni | qftCsv);
    RegisterNativeStdDialogTexts(AController);
    RegisterNativeModuleMessages(AController);
}

void RegisterNativeMetaData(TqvlgLanguageController& AController, const QString& AProgramVersion,
                            const QDateTime& ANow) {
    TqvlgTransMetaData meta;
    meta.Lingua_ID = QStringLiteral("en-us");
    meta.Lingua_Desc = QStringLiteral("English (US)");
    meta.Author_Name = KCompanyNameLong;
    meta.Author_Email = KCompanyProductSupportEmail;
    meta.Author_WebUrl = KCompanyUrlFull;
    meta.Document_LastUpdateDate = ANow.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    meta.Document_LastUpdateProgram = KProgramNameShort;
    meta.Document_LastUpdateVersion = AProgramVersion;
    for (const QString& transID : {KTransIdProgram, KTransIdShared, KTransIdGeneral})
        AController.Set_TransMetaData_Native(transID, meta);
}

QString TranslatedReadingOrder(TqvlgLanguageController& AController,
                               const QString& ANativeBiDiMode) {
    AController.Set_TransGuiStr_Native(KTransIdShared, KSectionModuleApplication,
                                       KKeyApplicationBiDiMode, ANativeBiDiMode);
    return AController.Get_TransGuiStr(KTransIdShared, KSectionModuleApplication,
                                       KKeyApplicationBiDiMode, ANativeBiDiMode);
}
