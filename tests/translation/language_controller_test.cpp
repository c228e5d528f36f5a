#include "translation/language_controller.h"

#include <QFile>

#include <gtest/gtest.h>

#include "base/exceptions.h"
#include "tests/support/qstring_print.h"
#include "tests/support/temp_folders.h"

namespace {

const QString KProgram = QStringLiteral("UTF8_program.ini");
const QString KFrontMain = QStringLiteral("__MessageText__FrontMain");
const QString KDirKey = QStringLiteral("CheckSettingsDirHasToExist");
const QString KDirText = QStringLiteral("{dynCaption} has to exist - create it now?");

// A controller over a private translations folder, set up the way the program sets it up.
class ControllerTest : public ::testing::Test {
protected:
    ControllerTest() {
        FCtrl.Config_WorkRoot(FRoot.Path());
        FCtrl.Config_WorkRules(lgrTryAvoidTransBackendIfNative | lgrIgnoreEmptyGUIStrs);
        FCtrl.ConfTemplateDef_Push(QStringLiteral("__curly"));
    }

    // Writes a translation file as UTF-8 with CR LF line ends.
    void WriteTrans(const QString& ALanID, const QString& AFile, const QString& AText) {
        QString text = AText;
        text.replace(QStringLiteral("\n"), QStringLiteral("\r\n"));
        FRoot.WriteFile(ALanID + QLatin1Char('/') + AFile, text.toUtf8());
    }

    TTempFolder FRoot;
    TqvlgLanguageController FCtrl;
};

TEST_F(ControllerTest, CompiledInTextWinsWhileEnglishIsChosen) {
    WriteTrans(QStringLiteral("en-us"), KProgram,
               QStringLiteral("[StrsRes__MessageText__FrontMain]\n"
                              "CheckSettingsDirHasToExist__Value=From the file\n"
                              "FileOnly__Value=From the file\n"));
    FCtrl.AddTemplateVar(QStringLiteral("dynCaption"), QStringLiteral("Work Directory"), {}, true);

    EXPECT_EQ(FCtrl.Get_TransResStr_SetNative(KProgram, KFrontMain, KDirKey, KDirText),
              QStringLiteral("Work Directory has to exist - create it now?"));
    // With a default at hand the file is not even consulted; without one it is.
    EXPECT_EQ(FCtrl.Get_TransResStr(KProgram, KFrontMain, QStringLiteral("FileOnly"),
                                    QStringLiteral("Compiled"), true),
              QStringLiteral("Compiled"));
    EXPECT_EQ(FCtrl.Get_TransResStr(KProgram, KFrontMain, QStringLiteral("FileOnly"),
                                    QStringLiteral("Compiled"), false),
              QStringLiteral("From the file"));
    // The registration carries the default template system.
    TIniDocument* native = FCtrl.CachedTrans(
        FCtrl.EnsureCacheTrans(QStringLiteral("en-us|UTF8_program.ini"), TqvlgOptTrans::lgotGet));
    ASSERT_NE(native, nullptr);
    EXPECT_EQ(native->ReadString(QStringLiteral("StrsRes__MessageText__FrontMain"),
                                 QStringLiteral("CheckSettingsDirHasToExist__Template")),
              QStringLiteral("__curly"));
}

TEST_F(ControllerTest, GermanFallsBackToTheNativeTextWithVariablesFilled) {
    FCtrl.Set_TransResStr_Native(KProgram, KFrontMain, KDirKey, KDirText,
                                 QStringLiteral("__curly"));
    WriteTrans(QStringLiteral("de-de"), KProgram,
               QStringLiteral("[StrsRes__MessageText__FrontMain]\nOther__Value=Anderes\n"));
    FCtrl.Config_Language_Primary(QStringLiteral("de-de"), false);
    FCtrl.AddTemplateVar(QStringLiteral("dynCaption"), QStringLiteral("Work Directory"), {}, true);

    EXPECT_EQ(FCtrl.Get_TransResStr_SetNative(KProgram, KFrontMain, KDirKey,
                                              QStringLiteral("ignored default")),
              QStringLiteral("Work Directory has to exist - create it now?"));
    EXPECT_EQ(FCtrl.Get_TransResStr(KProgram, KFrontMain, QStringLiteral("Other"), {}, true),
              QStringLiteral("Anderes"));
}

TEST_F(ControllerTest, UnregisteredKeyGivesItsDefaultUnchangedAndIsNotRegistered) {
    WriteTrans(QStringLiteral("de-de"), KProgram,
               QStringLiteral("[StrsRes__MessageText__FrontMain]\nOther__Value=Anderes\n"));
    FCtrl.Config_Language_Primary(QStringLiteral("de-de"), false);
    FCtrl.AddTemplateVar(QStringLiteral("dynCaption"), QStringLiteral("Work Directory"), {}, true);

    EXPECT_EQ(FCtrl.Get_TransResStr_SetNative(KProgram, KFrontMain, KDirKey, KDirText), KDirText);
    EXPECT_EQ(
        FCtrl.EnsureCacheTrans(QStringLiteral("en-us|UTF8_program.ini"), TqvlgOptTrans::lgotGet),
        -1);
}

TEST_F(ControllerTest, TemplateKeyOfAGermanValueDecidesAboutItsBraces) {
    WriteTrans(QStringLiteral("de-de"), KProgram,
               QStringLiteral("[StrsRes__MessageText__FrontMain]\n"
                              "Plain__Value={dynCaption} muss existieren\n"
                              "Curly__Value={dynCaption} muss existieren\n"
                              "Curly__Template=__curly\n"
                              "Sharp__Value=#dynCaption# muss existieren\n"
                              "Sharp__Template=__sharp\n"
                              "Empty__Value={dynCaption} muss existieren\n"
                              "Empty__Template=\n"));
    FCtrl.Config_Language_Primary(QStringLiteral("de-de"), false);
    FCtrl.AddTemplateVar(QStringLiteral("dynCaption"), QStringLiteral("Arbeitsordner"), {}, true);

    const struct {
        const char16_t* Key;
        const char16_t* Expected;
    } KCases[] = {
        {u"Plain", u"{dynCaption} muss existieren"},
        {u"Curly", u"Arbeitsordner muss existieren"},
        {u"Sharp", u"Arbeitsordner muss existieren"},
        {u"Empty", u"{dynCaption} muss existieren"},
    };
    for (const auto& c : KCases) {
        const QString key = QString::fromUtf16(c.Key);
        EXPECT_EQ(FCtrl.Get_TransResStr_SetNative(KProgram, KFrontMain, key, QStringLiteral("x")),
                  QString::fromUtf16(c.Expected))
            << key.toStdString();
    }
}

TEST(ValueEscapes, WriteAndReadBack) {
    const struct {
        QString Plain;
        QString Stored;
    } KCases[] = {
        {QStringLiteral("Line 1\r\nLine 2"), QStringLiteral("Line 1<NL>Line 2")},
        {QStringLiteral(" leading space"), QStringLiteral("<#32>leading space")},
        {QStringLiteral("  two"), QStringLiteral("<#32> two")},
        {QStringLiteral("\tTab\tinside"), QStringLiteral("<#9>Tab\tinside")},
        {QStringLiteral("trailing "), QStringLiteral("trailing ")},
        {QStringLiteral("a\rb\nc"), QStringLiteral("a<#13>b<#10>c")},
        {QStringLiteral("x") + QChar(u'\0') + QStringLiteral("y"), QStringLiteral("x<#0>y")},
        {QStringLiteral("A & <b> c"), QStringLiteral("A &amp; &lt;b&gt; c")},
        {QStringLiteral("&lt; is not <"), QStringLiteral("&amp;lt; is not &lt;")},
        {QStringLiteral("<NL> <#32>"), QStringLiteral("&lt;NL&gt; &lt;#32&gt;")},
        {QStringLiteral("&amp;"), QStringLiteral("&amp;amp;")},
        {QStringLiteral("\r\n"), QStringLiteral("<NL>")},
    };
    for (const auto& c : KCases) {
        EXPECT_EQ(EscapeTransValue(c.Plain), c.Stored);
        EXPECT_EQ(UnescapeTransValue(c.Stored), c.Plain);
    }
    // Text a translator typed without escaping stays as typed.
    EXPECT_EQ(UnescapeTransValue(QStringLiteral("&Datei <b> & <#99>")),
              QStringLiteral("&Datei <b> & <#99>"));
}

TEST_F(ControllerTest, EscapesApplyToRegisteredAndTranslatedValues) {
    FCtrl.Set_TransResStr_Native(KProgram, KFrontMain, QStringLiteral("Spaced"),
                                 QStringLiteral(" indented"), {});
    FCtrl.Set_TransGuiStr_Native(KProgram, QStringLiteral("____Controls__FrontMain"),
                                 QStringLiteral("lblInfo.Caption"), QStringLiteral("A\r\nB"));
    TIniDocument* native = FCtrl.CachedTrans(
        FCtrl.EnsureCacheTrans(QStringLiteral("en-us|UTF8_program.ini"), TqvlgOptTrans::lgotGet));
    ASSERT_NE(native, nullptr);
    EXPECT_EQ(native->ReadString(QStringLiteral("StrsRes__MessageText__FrontMain"),
                                 QStringLiteral("Spaced__Value")),
              QStringLiteral("<#32>indented"));
    EXPECT_EQ(native->ReadString(QStringLiteral("StrsGui____Controls__FrontMain"),
                                 QStringLiteral("lblInfo.Caption")),
              QStringLiteral("A<NL>B"));

    WriteTrans(QStringLiteral("de-de"), KProgram,
               QStringLiteral("[StrsRes__MessageText__FrontMain]\n"
                              "Lines__Value=Zeile 1<NL>Zeile 2\n"
                              "[StrsGui____Controls__FrontMain]\n"
                              "lblInfo.Caption=<#32>&lt;Info&gt;\n"));
    FCtrl.Config_Language_Primary(QStringLiteral("de-de"), false);
    EXPECT_EQ(FCtrl.Get_TransResStr(KProgram, KFrontMain, QStringLiteral("Lines"), {}, true),
              QStringLiteral("Zeile 1\r\nZeile 2"));
    EXPECT_EQ(FCtrl.Get_TransResStr(KProgram, KFrontMain, QStringLiteral("Spaced"), {}, true),
              QStringLiteral(" indented"));
    EXPECT_EQ(FCtrl.Get_TransGuiStr(KProgram, QStringLiteral("____Controls__FrontMain"),
                                    QStringLiteral("lblInfo.Caption"), QStringLiteral("x")),
              QStringLiteral(" <Info>"));
}

TEST_F(ControllerTest, LanguageMatchTurnsSpanishIntoUsSpanishOnlyWhenThatFolderExists) {
    EXPECT_EQ(FCtrl.Get_Language_Match(QStringLiteral("es")), QStringLiteral("es"));
    FRoot.MakeFolder(QStringLiteral("es-us"));
    const struct {
        const char16_t* Test;
        const char16_t* Expected;
    } KCases[] = {
        {u"es", u"es-us"}, {u"ES", u"es-us"},    {u"es-es", u"es-es"},
        {u"de", u"de"},    {u"de-de", u"de-de"}, {u"esx", u"esx"},
    };
    for (const auto& c : KCases)
        EXPECT_EQ(FCtrl.Get_Language_Match(QString::fromUtf16(c.Test)),
                  QString::fromUtf16(c.Expected));
}

TEST_F(ControllerTest, TemplateVariablesAndSystems) {
    FCtrl.AddTemplateVar(QStringLiteral("dynCaption"), QStringLiteral("Work"), {}, true);
    FCtrl.AddTemplateVar(QStringLiteral("Inner"), QStringLiteral("{dynCaption}"), {}, true);
    FCtrl.AddTemplateVar(QStringLiteral("Blank"), {}, {}, true);
    const auto curly = [&](const QString& AText) {
        return FCtrl.UseTemplateOnStr(QStringLiteral("__curly"), AText);
    };
    EXPECT_EQ(curly(QStringLiteral("{foo} and {FOO}")), QStringLiteral("foo and foo"));
    EXPECT_EQ(curly(QStringLiteral("{DYNCAPTION}/{dyncaption}")), QStringLiteral("Work/Work"));
    // What was put in is not searched again.
    EXPECT_EQ(curly(QStringLiteral("{Inner}")), QStringLiteral("{dynCaption}"));
    EXPECT_EQ(curly(QStringLiteral("[{Blank}]")), QStringLiteral("[]"));
    EXPECT_EQ(curly(QStringLiteral("open {dynCaption")), QStringLiteral("open {dynCaption"));
    EXPECT_EQ(FCtrl.UseTemplateOnStr(QStringLiteral("__sharp"), QStringLiteral("#dynCaption#!")),
              QStringLiteral("Work!"));
    EXPECT_EQ(
        FCtrl.UseTemplateOnStr(QStringLiteral("__dollar"), QStringLiteral("$a$ $dynCaption$")),
        QStringLiteral("a Work"));
    EXPECT_EQ(FCtrl.UseTemplateOnStr(QStringLiteral("__none"), QStringLiteral("{dynCaption}")),
              QStringLiteral("{dynCaption}"));
    EXPECT_EQ(FCtrl.UseTemplateOnStr({}, QStringLiteral("{dynCaption}")),
              QStringLiteral("{dynCaption}"));

    // An existing variable changes only when asked to.
    FCtrl.AddTemplateVar(QStringLiteral("DYNCAPTION"), QStringLiteral("Other"), {}, false);
    EXPECT_EQ(curly(QStringLiteral("{dynCaption}")), QStringLiteral("Work"));
    FCtrl.AddTemplateVar(QStringLiteral("DYNCAPTION"), QStringLiteral("Other"), {}, true);
    EXPECT_EQ(curly(QStringLiteral("{dynCaption}")), QStringLiteral("Other"));

    // A system name that exists keeps its marks.
    FCtrl.AddTemplateSys(QStringLiteral("__CURLY"), QStringLiteral("<"), QStringLiteral(">"));
    EXPECT_EQ(curly(QStringLiteral("<dynCaption>{dynCaption}")),
              QStringLiteral("<dynCaption>Other"));
    FCtrl.AddTemplateSys(QStringLiteral("__angle"), QStringLiteral("<<"), QStringLiteral(">>"));
    EXPECT_EQ(FCtrl.UseTemplateOnStr(QStringLiteral("__angle"), QStringLiteral("<<dynCaption>>")),
              QStringLiteral("Other"));
}

TEST_F(ControllerTest, EventVariablesAreAskedOncePerTextAndYieldToAFixedValue) {
    QStringList asked;
    const TqvlgTemplateStrEvent event = [&](const QString& AVarName) {
        asked << AVarName;
        return QStringLiteral("%1#%2").arg(AVarName).arg(asked.size());
    };
    FCtrl.AddTemplateVar(QStringLiteral("dynNow"), {}, event, true);
    FCtrl.AddTemplateVar(QStringLiteral("Fixed"), QStringLiteral("fixed"), event, true);

    EXPECT_EQ(FCtrl.UseTemplateOnStr(QStringLiteral("__curly"),
                                     QStringLiteral("{dynnow} {DYNNOW} {Fixed}")),
              QStringLiteral("dynNow#1 dynNow#1 fixed"));
    EXPECT_EQ(asked, QStringList{QStringLiteral("dynNow")});

    // Through a message lookup, with English chosen.
    EXPECT_EQ(FCtrl.Get_TransResStr_SetNative(KProgram, KFrontMain, QStringLiteral("Now"),
                                              QStringLiteral("It is {dynNow}.")),
              QStringLiteral("It is dynNow#2."));
}

TEST_F(ControllerTest, DefaultTemplateSystemIsTheTopOfItsStack) {
    FCtrl.AddTemplateVar(QStringLiteral("v"), QStringLiteral("V"), {}, true);
    const auto lookup = [&] {
        return FCtrl.Get_TransResStr(KProgram, KFrontMain, QStringLiteral("k"),
                                     QStringLiteral("{v} #v#"), true);
    };
    EXPECT_EQ(lookup(), QStringLiteral("V #v#"));
    FCtrl.ConfTemplateDef_Push(QStringLiteral("__sharp"));
    EXPECT_EQ(lookup(), QStringLiteral("{v} V"));
    FCtrl.ConfTemplateDef_Pop();
    FCtrl.ConfTemplateDef_Pop();
    EXPECT_EQ(lookup(), QStringLiteral("{v} #v#"));
    FCtrl.ConfTemplateDef_Pop();  // the empty bottom entry stays
    EXPECT_EQ(FCtrl.TemplateSysDefault(), QString());
}

TEST_F(ControllerTest, RegisteringAgainWithoutTemplateDropsTheOldTemplate) {
    FCtrl.Config_WorkRules(lgrIgnoreEmptyGUIStrs);  // read the registrations back
    FCtrl.AddTemplateVar(QStringLiteral("v"), QStringLiteral("V"), {}, true);
    FCtrl.Set_TransResStr_Native(KProgram, KFrontMain, QStringLiteral("k"), QStringLiteral("{v}"),
                                 QStringLiteral("__curly"));
    EXPECT_EQ(FCtrl.Get_TransResStr(KProgram, KFrontMain, QStringLiteral("k"), {}, true),
              QStringLiteral("V"));
    FCtrl.Set_TransResStr_Native(KProgram, KFrontMain, QStringLiteral("k"), QStringLiteral("{v}"),
                                 {});
    EXPECT_EQ(FCtrl.Get_TransResStr(KProgram, KFrontMain, QStringLiteral("k"), {}, true),
              QStringLiteral("{v}"));
}

TEST_F(ControllerTest, LegacyFileNamesPreferTheUtf8File) {
    // A legacy file in UTF-16 with its mark, read through the text reader.
    const QString legacy =
        QStringLiteral("[StrsRes__MessageText__FrontMain]\r\nHello__Value=Grüß dich\r\n");
    QByteArray utf16("\xFF\xFE");
    for (const QChar c : legacy) {
        utf16.append(static_cast<char>(c.unicode() & 0xFF));
        utf16.append(static_cast<char>(c.unicode() >> 8));
    }
    FRoot.WriteFile(QStringLiteral("de-de/program.ini"), utf16);
    FRoot.WriteFile(QStringLiteral("fr-fr/program.ini"), utf16);
    WriteTrans(QStringLiteral("fr-fr"), KProgram,
               QStringLiteral("[StrsRes__MessageText__FrontMain]\nHello__Value=Salut\n"));

    const auto hello = [&](const QString& ATransID) {
        return FCtrl.Get_TransResStr(ATransID, KFrontMain, QStringLiteral("Hello"),
                                     QStringLiteral("Hello"), true);
    };
    FCtrl.Config_Language_Primary(QStringLiteral("de-de"), false);
    EXPECT_EQ(hello(QStringLiteral("program.ini")), QStringLiteral("Grüß dich"));
    // With the prefix (in any letter case) no legacy file is looked for.
    EXPECT_EQ(hello(QStringLiteral("utf8_program.ini")), QStringLiteral("Hello"));

    FCtrl.Config_Language_Primary(QStringLiteral("fr-fr"), false);
    EXPECT_EQ(hello(QStringLiteral("program.ini")), QStringLiteral("Salut"));
}

TEST_F(ControllerTest, CacheOpensFilesAsAskedAndTrimsOnLanguageChange) {
    WriteTrans(QStringLiteral("de-de"), KProgram, QStringLiteral("[MetaData]\nLingua_ID=de-de\n"));
    WriteTrans(QStringLiteral("fr-fr"), KProgram, QStringLiteral("[MetaData]\nLingua_ID=fr-fr\n"));

    // Reading a file that does not exist caches nothing; other uses get an empty entry.
    EXPECT_EQ(
        FCtrl.EnsureCacheTrans(QStringLiteral("it-it|UTF8_program.ini"), TqvlgOptTrans::lgotGet),
        -1);
    EXPECT_TRUE(FCtrl.CachedTransIDs().isEmpty());
    const int unknown = FCtrl.EnsureCacheTrans(QStringLiteral("it-it|UTF8_program.ini"),
                                               TqvlgOptTrans::lgotUnknown);
    ASSERT_GE(unknown, 0);
    EXPECT_TRUE(FCtrl.CachedTrans(unknown)->SectionNames().isEmpty());
    EXPECT_THROW(FCtrl.EnsureCacheTrans(QStringLiteral("UTF8_program.ini"), TqvlgOptTrans::lgotGet),
                 EqvParamWrong);

    FCtrl.Set_TransResStr_Native(KProgram, KFrontMain, QStringLiteral("k"), QStringLiteral("v"),
                                 {});
    for (const char16_t* lan : {u"de-de", u"fr-fr"}) {
        const int index = FCtrl.EnsureCacheTrans(
            QString::fromUtf16(lan) + QStringLiteral("|UTF8_program.ini"), TqvlgOptTrans::lgotGet);
        ASSERT_GE(index, 0);
        // A second request gives the same entry.
        EXPECT_EQ(FCtrl.EnsureCacheTrans(
                      QString::fromUtf16(lan).toUpper() + QStringLiteral("|utf8_PROGRAM.ini"),
                      TqvlgOptTrans::lgotGet),
                  index);
    }
    EXPECT_EQ(FCtrl.CachedTransIDs().size(), 4);

    FCtrl.Config_Language_Primary(QStringLiteral("fr-fr"), false);
    EXPECT_EQ(FCtrl.LanID_Native_CompiledActive(), QString());
    EXPECT_EQ(FCtrl.CachedTransIDs(), QStringList({QStringLiteral("en-us|UTF8_program.ini"),
                                                   QStringLiteral("fr-fr|UTF8_program.ini")}));

    FCtrl.Config_Language_Primary(QStringLiteral("EN-US"), false);
    EXPECT_EQ(FCtrl.LanID_Primary(), QStringLiteral("en-us"));
    EXPECT_EQ(FCtrl.LanID_Native_CompiledActive(), QStringLiteral("en-us"));
    EXPECT_EQ(FCtrl.CachedTransIDs(), QStringList{QStringLiteral("en-us|UTF8_program.ini")});

    FCtrl.Config_Language_Primary(QStringLiteral("en-us"), true);
    EXPECT_TRUE(FCtrl.CachedTransIDs().isEmpty());
}

TEST_F(ControllerTest, NativeFilesAreDeletedOnlyWhenTheRuleSaysSo) {
    WriteTrans(QStringLiteral("en-us"), KProgram, QStringLiteral("[S]\nk=v\n"));
    WriteTrans(QStringLiteral("en-us"), QStringLiteral("program.ini"),
               QStringLiteral("[S]\nk=v\n"));
    FCtrl.Set_TransResStr_Native(QStringLiteral("program.ini"), KFrontMain, QStringLiteral("k"),
                                 QStringLiteral("v"), {});
    EXPECT_TRUE(QFile::exists(FRoot.Path(QStringLiteral("en-us/UTF8_program.ini"))));
    EXPECT_TRUE(QFile::exists(FRoot.Path(QStringLiteral("en-us/program.ini"))));

    FCtrl.ResetCacheFull();
    FCtrl.Config_WorkRules(lgrDeleteTransBackendFirstIfNative);
    FCtrl.Set_TransResStr_Native(QStringLiteral("program.ini"), KFrontMain, QStringLiteral("k"),
                                 QStringLiteral("v"), {});
    EXPECT_FALSE(QFile::exists(FRoot.Path(QStringLiteral("en-us/UTF8_program.ini"))));
    EXPECT_FALSE(QFile::exists(FRoot.Path(QStringLiteral("en-us/program.ini"))));
    // The registration is in memory only.
    EXPECT_EQ(FCtrl.Get_TransResStr(QStringLiteral("program.ini"), KFrontMain, QStringLiteral("k"),
                                    {}, false),
              QStringLiteral("v"));
}

TEST_F(ControllerTest, RulesForEmptyResultsAndMissingTexts) {
    FCtrl.Set_TransGuiStr_Native(KProgram, QStringLiteral("____Controls__FrontMain"),
                                 QStringLiteral("btnGo.Hint"), {});
    EXPECT_EQ(
        FCtrl.EnsureCacheTrans(QStringLiteral("en-us|UTF8_program.ini"), TqvlgOptTrans::lgotGet),
        -1);

    FCtrl.Config_WorkRules(lgrThrowExceptIfNoTransAtAll);
    try {
        FCtrl.Get_TransResStr(KProgram, KFrontMain, QStringLiteral("Gone"), QStringLiteral("d"),
                              true);
        ADD_FAILURE() << "no exception";
    } catch (const EqvNoTranslationFound& e) {
        EXPECT_EQ(e.Message(),
                  QStringLiteral("UTF8_program.ini [StrsRes__MessageText__FrontMain] Gone__Value"));
    }
    try {
        FCtrl.Get_TransGuiStr(KProgram, QStringLiteral("____Controls__FrontMain"),
                              QStringLiteral("btnGo.Hint"), QStringLiteral("Go!"));
        ADD_FAILURE() << "no exception";
    } catch (const EqvNoTranslationFound& e) {
        EXPECT_EQ(e.Message(), QStringLiteral("UTF8_program.ini [StrsGui____Controls__FrontMain] "
                                              "btnGo.Hint = Go!"));
    }
    FCtrl.Config_WorkRules(lgrThrowExceptIfNoTransAtAll | lgrIgnoreEmptyGUIStrs);
    EXPECT_EQ(FCtrl.Get_TransGuiStr(KProgram, QStringLiteral("____Controls__FrontMain"),
                                    QStringLiteral("btnGo.Hint"), QStringLiteral("Go!")),
              QStringLiteral("Go!"));

    FCtrl.Set_TransGuiStr_Native(KProgram, QStringLiteral("____Controls__FrontMain"),
                                 QStringLiteral("btnGo.Caption"), QStringLiteral("Go"));
    FCtrl.Config_WorkRules(lgrAlwaysReturnEmptyStrs | lgrTryAvoidTransBackendIfNative);
    EXPECT_EQ(FCtrl.Get_TransResStr_SetNative(KProgram, KFrontMain, QStringLiteral("k"),
                                              QStringLiteral("text")),
              QString());
    EXPECT_EQ(FCtrl.Get_TransGuiStr(KProgram, QStringLiteral("____Controls__FrontMain"),
                                    QStringLiteral("btnGo.Caption"), QStringLiteral("Go")),
              QString());
}

TEST_F(ControllerTest, WindowTextsComeFromTheFilesOnlyWhenNeeded) {
    const QString section = QStringLiteral("____Actions__FrontMain");
    const QString key = QStringLiteral("ALI_File_Open.Caption");
    const QString missing = QStringLiteral("ALI_File_Save.Caption");
    FCtrl.Set_TransGuiStr_Native(KProgram, section, key, QStringLiteral("&Open {x}"));
    FCtrl.Set_TransGuiStr_Native(KProgram, section, missing, QStringLiteral("&Save"));
    WriteTrans(QStringLiteral("en-us"), KProgram,
               QStringLiteral("[StrsGui____Actions__FrontMain]\nALI_File_Open.Caption=Ignored\n"));
    WriteTrans(QStringLiteral("de-de"), KProgram,
               QStringLiteral("[StrsGui____Actions__FrontMain]\n"
                              "ALI_File_Open.Caption=&amp;Öffnen {x}\n"));

    // English with the files avoided: the control keeps what it has.
    EXPECT_EQ(FCtrl.Get_TransGuiStr(KProgram, section, key, QStringLiteral("current")),
              QStringLiteral("current"));
    FCtrl.Config_Language_Primary(QStringLiteral("de-de"), false);
    EXPECT_EQ(FCtrl.Get_TransGuiStr(KProgram, section, key, QStringLiteral("current")),
              QStringLiteral("&Öffnen {x}"));
    EXPECT_EQ(FCtrl.Get_TransGuiStr(KProgram, section, missing, QStringLiteral("current")),
              QStringLiteral("&Save"));
    EXPECT_EQ(FCtrl.Get_TransGuiStr(KProgram, section, QStringLiteral("Unknown.Hint"),
                                    QStringLiteral("current")),
              QStringLiteral("current"));
}

TEST_F(ControllerTest, MetaDataFallsBackAndKnowsItsLanguage) {
    TqvlgTransMetaData native;
    native.Lingua_ID = QStringLiteral("en-us");
    native.Lingua_Desc = QStringLiteral("English (US)");
    native.Document_LastUpdateVersion = QStringLiteral("3.3.0");
    native.Author_Comments = QStringLiteral("a <b> & c");  // raw, no escapes
    FCtrl.Set_TransMetaData_Native(KProgram, native);
    WriteTrans(QStringLiteral("de-de"), KProgram,
               QStringLiteral("[MetaData]\nLingua_Desc=Deutsch\nAuthor_Name=Jemand\n"));
    WriteTrans(QStringLiteral("fr-fr"), KProgram,
               QStringLiteral("[MetaData]\nLingua_ID=fr-fr\nLingua_Desc=Français\n"));

    // English chosen: the native entry answers for a language without files.
    EXPECT_EQ(FCtrl.Get_TransMetaData(QStringLiteral("en-us"), KProgram), native);
    EXPECT_EQ(FCtrl.Get_TransMetaData(QStringLiteral("it-it"), KProgram), native);
    EXPECT_EQ(FCtrl.Get_TransMetaData(QStringLiteral("fr-fr"), KProgram).Lingua_Desc,
              QStringLiteral("Français"));

    FCtrl.Config_Language_Primary(QStringLiteral("de-de"), false);
    const TqvlgTransMetaData german = FCtrl.Get_TransMetaData(QStringLiteral("de-de"), KProgram);
    EXPECT_EQ(german.Lingua_ID, QStringLiteral("de-de"));
    EXPECT_EQ(german.Lingua_Desc, QStringLiteral("Deutsch"));
    EXPECT_EQ(german.Author_Name, QStringLiteral("Jemand"));
    EXPECT_EQ(german.Document_LastUpdateVersion, QString());
    // The filled ID went into the cached entry.
    TIniDocument* cached = FCtrl.CachedTrans(
        FCtrl.EnsureCacheTrans(QStringLiteral("de-de|UTF8_program.ini"), TqvlgOptTrans::lgotGet));
    ASSERT_NE(cached, nullptr);
    EXPECT_EQ(cached->ReadString(QStringLiteral("MetaData"), QStringLiteral("Lingua_ID")),
              QStringLiteral("de-de"));
    // A language without files gets the primary language's metadata.
    EXPECT_EQ(FCtrl.Get_TransMetaData(QStringLiteral("it-it"), KProgram), german);

    // A file nobody has: all fields empty.
    EXPECT_EQ(FCtrl.Get_TransMetaData(QStringLiteral("it-it"), QStringLiteral("UTF8_none.ini")),
              TqvlgTransMetaData{});
}

TEST(MakeKeySafe, KeepsOnlyAsciiLettersAndDigits) {
    const struct {
        const char16_t* Key;
        const char16_t* Safe;
    } KCases[] = {
        {u"&Yes", u"Yes"},
        {u"N&o to All", u"NotoAll"},
        {u"  OK  ", u"OK"},
        {u"Größe 2", u"Gre2"},
        {u"a.b=c;d", u"abcd"},
        {u"", u""},
        {u"Yes to &All", u"YestoAll"},
    };
    for (const auto& c : KCases)
        EXPECT_EQ(TqvlgLanguageController::MakeKeySafe(QString::fromUtf16(c.Key)),
                  QString::fromUtf16(c.Safe));
}

TEST(GlobalDefaultController, IsSetExplicitlyAndClearedWithItsController) {
    EXPECT_EQ(TqvlgLanguageController::GlobalDefault(), nullptr);
    {
        TqvlgLanguageController first;
        first.Config_ControllerAsGlobalDefault();
        EXPECT_EQ(TqvlgLanguageController::GlobalDefault(), &first);
        EXPECT_TRUE(TqvlgLanguageController::IsGlobalDefaultThread());
        {
            TqvlgLanguageController other;  // not the default: its end changes nothing
        }
        EXPECT_EQ(TqvlgLanguageController::GlobalDefault(), &first);
    }
    EXPECT_EQ(TqvlgLanguageController::GlobalDefault(), nullptr);
    EXPECT_FALSE(TqvlgLanguageController::IsGlobalDefaultThread());
}

}  // namespace
