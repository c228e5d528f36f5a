#include "translation/builtin_texts.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QSet>

#include <gtest/gtest.h>

#include <thread>

#include "tests/support/qstring_print.h"
#include "tests/support/temp_folders.h"
#include "translation/language_composite.h"
#include "translation/language_controller.h"
#include "translation/translated_text.h"
#include "translation/translation_startup.h"

namespace {

QString ShippedFile(const QString& ALanID, const QString& ATransID) {
    return QString::fromUtf8(PLOVANE_SOURCE_DIR) + QStringLiteral("/resources/trans/") + ALanID +
           QLatin1Char('/') + ATransID;
}

const QDateTime KNow(QDate(2026, 3, 4), QTime(5, 6, 7));

// A translations folder holding the shipped German files, and a bundle set up as the program
// does at start.
class StartupTest : public ::testing::Test {
protected:
    StartupTest() {
        for (const QString& transID : {KTransIdGeneral, KTransIdShared})
            FRoot.WriteFile(QStringLiteral("de-de/") + transID,
                            ReadWholeFile(ShippedFile(QStringLiteral("de-de"), transID)));
    }

    TqvlgLanguageController& Start(const QString& ALanguage) {
        FLanguage = ALanguage;
        SetupTranslationAtStart(FBundle.Core(), FRoot.Path(), FLanguage,
                                QStringLiteral("/data/logs/misc/program.log"),
                                QStringLiteral("/data/data"), QStringLiteral("3.3.0"), KNow);
        return FBundle.Core();
    }

    TTempFolder FRoot;
    TqvlgLanguageCompositeAll FBundle;
    QString FLanguage;
};

TEST_F(StartupTest, ConfiguresTheControllerForTheProgram) {
    FRoot.MakeFolder(QStringLiteral("es-us"));
    TqvlgLanguageController& ctrl = Start(QStringLiteral("es"));

    EXPECT_EQ(FLanguage, QStringLiteral("es-us"));
    EXPECT_EQ(ctrl.LanID_Primary(), QStringLiteral("es-us"));
    EXPECT_EQ(ctrl.Work_Root(), FRoot.Path());
    EXPECT_EQ(ctrl.Work_Rules(), 9u);
    EXPECT_EQ(TqvlgLanguageController::GlobalDefault(), &ctrl);
    EXPECT_EQ(ctrl.TemplateSysDefault(), QStringLiteral("__curly"));
    EXPECT_EQ(
        ctrl.UseTemplateOnStr(
            QStringLiteral("__curly"),
            QStringLiteral("{ProgramNameShort}|{ProgramNameShortCommon}|{CompanyNameShort}|"
                           "{CompanyNameLong}|{CompanyUrlFull}|{CompanyProductSupportEmail}|"
                           "{CopyrightTime}|{CopyrightHolders}|{LogFilePath}|{AppDataPath}")),
        QStringLiteral("Plovane|Plovane|Kestrin|Kestrin Software|https://www.kestrin.example/|"
                       "support@kestrin.example|2026|Kestrin Software|"
                       "/data/logs/misc/program.log|/data/data/"));

    for (const QString& transID : {KTransIdProgram, KTransIdShared, KTransIdGeneral}) {
        const TqvlgTransMetaData meta = ctrl.Get_TransMetaData(QStringLiteral("en-us"), transID);
        EXPECT_EQ(meta.Lingua_ID, QStringLiteral("en-us"));
        EXPECT_EQ(meta.Lingua_Desc, QStringLiteral("English (US)"));
        EXPECT_EQ(meta.Author_Name, QStringLiteral("Kestrin Software"));
        EXPECT_EQ(meta.Document_LastUpdateDate, QStringLiteral("2026-03-04 05:06:07"));
        EXPECT_EQ(meta.Document_LastUpdateProgram, QStringLiteral("Plovane"));
        EXPECT_EQ(meta.Document_LastUpdateVersion, QStringLiteral("3.3.0"));
    }
}

TEST_F(StartupTest, LanguageOfTheOptionsIsKeptWhenNothingMatchesBetter) {
    Start(QStringLiteral("es"));
    EXPECT_EQ(FLanguage, QStringLiteral("es"));
    EXPECT_EQ(FBundle.Core().LanID_Native_CompiledActive(), QString());
}

// Real messages of the program in both languages.
struct TMessageCase {
    const TqvlgNativeText* Text;
    TqvlgDynVars DynVars;
    QString English;
    QString German;
};

std::vector<TMessageCase> MessageCases() {
    return {
        {&KTextErrorOccuredDetails,
         {},
         QStringLiteral("Error occured"),
         QStringLiteral("Ein Fehler ist aufgetreten")},
        {&KTextOpenBrowserMoreInfo,
         {},
         QStringLiteral("Open browser to view more information?"),
         QStringLiteral("Browser öffnen, um weitere Informationen anzuzeigen?")},
        {&KTextProblemViewDetails,
         {},
         QStringLiteral("Problem occured. View details?"),
         QStringLiteral("Ein Problem ist aufgetreten. Details anzeigen?")},
        {&KTextNoHelpAvailableTopic,
         {},
         QStringLiteral("No help available for this topic."),
         QStringLiteral("Für dieses Thema ist keine Hilfe verfügbar.")},
        {&KTextDialogReplaceTextAllDone,
         {{QStringLiteral("dynDialogFindText"), QStringLiteral("alt")},
          {QStringLiteral("dynDialogReplaceText"), QStringLiteral("neu")},
          {QStringLiteral("dynDialogReplaceCount"), QStringLiteral("3")}},
         QStringLiteral("Replaced \"alt\" with \"neu\" 3 places!"),
         QStringLiteral("\"alt\" wurde an 3 Stellen durch \"neu\" ersetzt!")},
        {&KTextSaveFileChanges,
         {{QStringLiteral("dynDirFilePathName"), QStringLiteral("/tmp/a {b}.txt")}},
         QStringLiteral("Save file \"/tmp/a {b}.txt\" changes?"),
         QStringLiteral("Änderungen an der Datei \"/tmp/a {b}.txt\" speichern?")},
    };
}

TEST_F(StartupTest, MessagesOfTheCoreFollowTheChosenLanguage) {
    for (const char16_t* lan : {u"en-us", u"de-de"}) {
        const bool german = QStringView(lan) == u"de-de";
        TqvlgLanguageController& ctrl = Start(QString::fromUtf16(lan));
        SCOPED_TRACE(FLanguage.toStdString());
        for (const TMessageCase& c : MessageCases())
            EXPECT_EQ(TranslatedMessage(*c.Text, c.DynVars), german ? c.German : c.English);

        EXPECT_EQ(TranslatedDialogTitle(QStringLiteral("Warning")),
                  german ? QStringLiteral("Warnung") : QStringLiteral("Warning"));
        EXPECT_EQ(TranslatedDialogButton(QStringLiteral("N&o to All")),
                  german ? QStringLiteral("N&ein für alle") : QStringLiteral("N&o to All"));
        EXPECT_EQ(TranslatedDialogButton(QStringLiteral("Unknown Button")),
                  QStringLiteral("Unknown Button"));
        EXPECT_EQ(
            TranslatedMessage(KTransIdGeneral, KSectionDateTime,
                              QStringLiteral("GenericMiliSeconds"), QStringLiteral("milliseconds")),
            german ? QStringLiteral("Millisekunden") : QStringLiteral("milliseconds"));
        EXPECT_EQ(TranslatedMessage(KTransIdGeneral, KSectionFileTypes,
                                    QStringLiteral("FileTypeHTML"), QStringLiteral("HTML file")),
                  german ? QStringLiteral("HTML-Datei") : QStringLiteral("HTML file"));
        EXPECT_EQ(TranslatedReadingOrder(ctrl, QStringLiteral("LeftToRight")),
                  QStringLiteral("LeftToRight"));
        EXPECT_EQ(ctrl.Get_TransMetaData(FLanguage, KTransIdShared).Lingua_Desc,
                  german ? QStringLiteral("Deutsch") : QStringLiteral("English (US)"));
    }
}

TEST_F(StartupTest, BuiltInTextsKeepTheirEnglishFallbackAfterAFullCacheReset) {
    TqvlgLanguageController& ctrl = Start(QStringLiteral("de-de"));
    ctrl.Config_Language_Primary(QStringLiteral("fr-fr"), true);
    EXPECT_EQ(TranslatedMessage(KTextSaveFileChanges,
                                {{QStringLiteral("dynDirFilePathName"), QStringLiteral("x.txt")}}),
              QStringLiteral("Save file \"x.txt\" changes?"));
}

// The variable names in braces of a text, in lower case.
QSet<QString> BraceNames(const QString& AText) {
    static const QRegularExpression KBraces(QStringLiteral("\\{([^{}]*)\\}"));
    QSet<QString> names;
    for (const QRegularExpressionMatch& m : KBraces.globalMatch(AText))
        names.insert(m.captured(1).toLower());
    return names;
}

TEST(GermanTranslation, CoversExactlyTheRegisteredTextsWithTheSameVariables) {
    TqvlgLanguageController ctrl;
    RegisterModuleNativeTexts(ctrl);
    RegisterNativeFileTypeTexts(ctrl, qftAll);
    TranslatedReadingOrder(ctrl, QStringLiteral("LeftToRight"));

    for (const QString& transID : {KTransIdGeneral, KTransIdShared}) {
        SCOPED_TRACE(transID.toStdString());
        const QByteArray bytes = ReadWholeFile(ShippedFile(QStringLiteral("de-de"), transID));
        ASSERT_FALSE(bytes.isEmpty());
        EXPECT_EQ(bytes.count('\n'), bytes.count("\r\n")) << "every line ends with CR LF";
        EXPECT_TRUE(QString::fromUtf8(bytes).toUtf8() == bytes) << "valid UTF-8";

        const TIniDocument german = TIniDocument::FromBytes(bytes);
        const TIniDocument* native = ctrl.CachedTrans(ctrl.EnsureCacheTrans(
            TqvlgLanguageController::MakeCacheID(QStringLiteral("en-us"), transID),
            TqvlgOptTrans::lgotGet));
        ASSERT_NE(native, nullptr);

        EXPECT_EQ(german.ReadString(QStringLiteral("MetaData"), QStringLiteral("Lingua_ID")),
                  QStringLiteral("de-de"));
        EXPECT_EQ(german.ReadString(QStringLiteral("MetaData"), QStringLiteral("Lingua_Desc")),
                  QStringLiteral("Deutsch"));

        QStringList textSections = native->SectionNames();
        textSections.removeAll(QStringLiteral("MetaData"));
        QStringList germanSections = german.SectionNames();
        germanSections.removeAll(QStringLiteral("MetaData"));
        EXPECT_EQ(germanSections, textSections);

        for (const QString& section : textSections) {
            QStringList germanKeys = german.KeyNames(section);
            QStringList nativeKeys = native->KeyNames(section);
            germanKeys.sort();
            nativeKeys.sort();
            EXPECT_EQ(germanKeys, nativeKeys) << section.toStdString();
            for (const QString& key : native->KeyNames(section)) {
                const QString nativeValue = native->ReadString(section, key);
                const QString germanValue = german.ReadString(section, key);
                if (key.endsWith(QStringLiteral("__Template"))) {
                    EXPECT_EQ(germanValue, nativeValue) << key.toStdString();
                    continue;
                }
                EXPECT_FALSE(germanValue.trimmed().isEmpty()) << key.toStdString();
                EXPECT_EQ(BraceNames(UnescapeTransValue(germanValue)),
                          BraceNames(UnescapeTransValue(nativeValue)))
                    << key.toStdString();
                // A text with variables needs its template, in either language.
                const QString templateKey =
                    QString(key).replace(QStringLiteral("__Value"), QStringLiteral("__Template"));
                if (key.endsWith(QStringLiteral("__Value")) &&
                    !BraceNames(UnescapeTransValue(nativeValue)).isEmpty()) {
                    EXPECT_EQ(native->ReadString(section, templateKey), KTemplateCurly)
                        << key.toStdString();
                }
            }
        }
    }
}

TEST(FileTypeTexts, FlagsChooseTheNames) {
    const auto registered = [](unsigned AFlags) {
        TqvlgLanguageController ctrl;
        RegisterNativeFileTypeTexts(ctrl, AFlags);
        const TIniDocument* native = ctrl.CachedTrans(ctrl.EnsureCacheTrans(
            QStringLiteral("en-us|UTF8_general.ini"), TqvlgOptTrans::lgotGet));
        return native->KeyNames(QStringLiteral("StrsRes__MixedText__FileTypes"));
    };
    EXPECT_EQ(registered(qftHtml), QStringList({QStringLiteral("FileTypeHTML__Value"),
                                                QStringLiteral("UTF8Encoded__Value")}));
    EXPECT_EQ(
        registered(qftCsvGenericShort | qftText),
        QStringList({QStringLiteral("FileTypeCSV_GenericShort__Value"),
                     QStringLiteral("FileTypeText__Value"), QStringLiteral("UTF8Encoded__Value")}));
    EXPECT_EQ(registered(0), QStringList{QStringLiteral("UTF8Encoded__Value")});
    EXPECT_EQ(registered(qftAll).size(), 15);
    EXPECT_TRUE(registered(qftAll).contains(QStringLiteral("FileTypeWildcardText__Value")));
}

TEST(TranslatedText, WithoutAControllerGivesEnglishWithVariablesFilled) {
    ASSERT_EQ(TqvlgLanguageController::GlobalDefault(), nullptr);
    EXPECT_EQ(TranslatedMessage(KTextSaveFileChanges,
                                {{QStringLiteral("dynDirFilePathName"), QStringLiteral("a.txt")}}),
              QStringLiteral("Save file \"a.txt\" changes?"));
    EXPECT_EQ(TranslatedMessage(KTextErrorOccuredDetails), QStringLiteral("Error occured"));
    EXPECT_EQ(TranslatedMessage(KTransIdProgram, QStringLiteral("__MessageText__FrontMain"),
                                QStringLiteral("About"),
                                QStringLiteral("{ProgramNameShort} by {CompanyNameLong}")),
              QStringLiteral("Plovane by Kestrin Software"));
    EXPECT_EQ(TranslatedDialogButton(QStringLiteral("&Yes")), QStringLiteral("&Yes"));
    EXPECT_EQ(TranslatedGuiText(KTransIdProgram, QStringLiteral("____Controls__FrontMain"),
                                QStringLiteral("btnGo.Caption"), QStringLiteral("Go")),
              QStringLiteral("Go"));
}

TEST_F(StartupTest, OtherThreadsGetEnglishInsteadOfSharingTheController) {
    Start(QStringLiteral("de-de"));
    ASSERT_EQ(TranslatedMessage(KTextErrorOccuredDetails),
              QStringLiteral("Ein Fehler ist aufgetreten"));
    QString fromThread;
    std::thread worker([&] { fromThread = TranslatedMessage(KTextErrorOccuredDetails); });
    worker.join();
    EXPECT_EQ(fromThread, QStringLiteral("Error occured"));
}

TEST(LanguageComposite, OwnsTheControllerThatBecomesTheDefault) {
    {
        TqvlgLanguageCompositeAll bundle;
        bundle.Core().Config_ControllerAsGlobalDefault();
        EXPECT_EQ(TqvlgLanguageController::GlobalDefault(), &bundle.Core());
    }
    EXPECT_EQ(TqvlgLanguageController::GlobalDefault(), nullptr);
}

}  // namespace
