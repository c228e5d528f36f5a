#include "plugins/web_media/web_page_optimizer/plugin_internal_web_page_optimizer.h"

#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "base/ini_document.h"
#include "base/stream_fields.h"
#include "plugin_host/plugin_descriptor.h"
#include "plugin_host/plugin_property.h"
#include "tests/plugins/text_files/text_replacer/plugin_batch_harness.h"
#include "tests/support/child_process.h"

namespace {

QString S(const char* AText) {
    return QString::fromUtf8(AText);
}

QByteArray B(const char* AText) {
    return QByteArray(AText);
}

const char* ModeName(TqvWPOdetectLanMode AMode) {
    switch (AMode) {
        case wpodTryAutoDetect:
            return "TryAutoDetect";
        case wpodHtmlMixOnlyDo:
            return "HtmlMixOnlyDo";
        case wpodCssOnlyDo:
            return "CssOnlyDo";
        case wpodPhpDefault:
            return "PhpDefault";
        case wpodPerlDefault:
            return "PerlDefault";
        case wpodJspDefault:
            return "JspDefault";
        case wpodAspVbDefault:
            return "AspVbDefault";
    }
    return "?";
}

TEST(WebPageOptimizerModeChoice, FromExtensionAndSettings) {
    const auto pack = [](TWebPageOptimizerSettings& s) { s.PackServerSideOutput = true; };
    const auto css = [](TWebPageOptimizerSettings& s) { s.SpecificFileTypeParsing = true; };
    const auto semicolon = [](TWebPageOptimizerSettings& s) {
        s.FileExtensionSeparator = QStringLiteral(";");
    };
    const auto none = [](TWebPageOptimizerSettings&) {};
    struct TCase {
        std::vector<std::function<void(TWebPageOptimizerSettings&)>> Changes;
        const char* Path;
        TqvWPOdetectLanMode Expected;
    };
    const std::vector<TCase> cases = {
        {{none}, "a/page.php", wpodHtmlMixOnlyDo},
        {{none}, "a/x.pl", wpodHtmlMixOnlyDo},
        {{none}, "a/style.css", wpodHtmlMixOnlyDo},
        {{css}, "a/style.css", wpodCssOnlyDo},
        {{css}, "a/STYLE.CSS", wpodCssOnlyDo},
        {{pack}, "a/x.php", wpodPhpDefault},
        {{pack}, "a/x.php3", wpodPhpDefault},
        {{pack}, "a/x.pl", wpodPerlDefault},
        {{pack}, "a/x.jsp", wpodJspDefault},
        {{pack}, "a/x.aspx", wpodAspVbDefault},
        {{pack}, "a/x.txt", wpodTryAutoDetect},
        {{pack}, "a/x.html", wpodHtmlMixOnlyDo},
        {{pack}, "a/x.shtml", wpodHtmlMixOnlyDo},
        {{pack}, "a/noextension", wpodTryAutoDetect},
        {{pack}, "a.d/noextension", wpodTryAutoDetect},
        {{pack, css}, "a/x.css", wpodCssOnlyDo},
        {{pack}, "a/x.css", wpodTryAutoDetect},
        {{semicolon}, "a/x.html", wpodHtmlMixOnlyDo},
        {{semicolon, pack}, "a/x.html", wpodTryAutoDetect},
        {{semicolon, pack}, "a/x.php", wpodTryAutoDetect},
        {{semicolon, pack, css}, "a/x.css", wpodCssOnlyDo},
    };
    for (const TCase& c : cases) {
        TWebPageOptimizerSettings settings;
        for (const auto& change : c.Changes)
            change(settings);
        const QString path = S(c.Path);
        EXPECT_EQ(ModeName(ChooseWebPageMode(settings, WebPageFileExtension(path))),
                  std::string(ModeName(c.Expected)))
            << c.Path << " with " << c.Changes.size() << " changes";
    }
}

TEST(WebPageOptimizerSettings, ReadFromTheSetupText) {
    const TWebPageOptimizerSettings defaults =
        TWebPageOptimizerSettings::FromIni(TIniDocument::FromText(QString()));
    EXPECT_EQ(defaults.FileExtensionSeparator, S(","));
    EXPECT_TRUE(defaults.HandleNetscape4Quirks);
    EXPECT_FALSE(defaults.ConvertToSmallTags);
    EXPECT_FALSE(defaults.PackServerSideOutput);
    EXPECT_FALSE(defaults.SpecificFileTypeParsing);
    EXPECT_EQ(defaults.HtmlExtensions, S(".htm,.html,.shtml,.ssi,.xhtml"));
    EXPECT_EQ(defaults.PhpExtensions, S(".php,.php3"));

    const TWebPageOptimizerSettings read = TWebPageOptimizerSettings::FromIni(
        TIniDocument::FromText(S("[GeneralInit]\r\nFileExtensionSeparator=| \r\n"
                                 "[SimpleOptions]\r\nHTML_Enable_HandleNetscape4Quirks=no\r\n"
                                 "HTML_Enable_ParseAndPackServerSideGeneratedOutput=Yes\r\n"
                                 "Other_Enable_SpecificFileTypeParsing= \r\n"
                                 "[AdvancedOptions]\r\n"
                                 "ServerSideLanguage_PHP_Extensions=  .inc| .php  \r\n")));
    EXPECT_EQ(read.FileExtensionSeparator, S("| "));  // as it stands
    EXPECT_FALSE(read.HandleNetscape4Quirks);
    EXPECT_TRUE(read.PackServerSideOutput);
    EXPECT_FALSE(read.SpecificFileTypeParsing);  // empty: the default
    EXPECT_EQ(read.PhpExtensions, S(".inc| .php"));
    EXPECT_EQ(ChooseWebPageMode(read, S(".php")), wpodPhpDefault);
    EXPECT_EQ(ChooseWebPageMode(read, S(".inc")), wpodPhpDefault);
}

class WebPageOptimizerPluginTest : public ::testing::Test {
protected:
    // One combination over one file holding ABytes; returns the file's bytes afterwards.
    QByteArray RunOnFile(const QString& AName, const QByteArray& ABytes,
                         const QString& ASetup = {}) {
        const QString file = FHarness.Temp().WriteFile(QStringLiteral("work/") + AName, ABytes);
        QHash<QString, QByteArray> values;
        if (!ASetup.isEmpty())
            values.insert(QStringLiteral("Setup"), StoredFile(ASetup));
        const QStringList outputs = FHarness.Run(Root(), values, {file});
        EXPECT_EQ(outputs, QStringList{file});
        EXPECT_FALSE(FHarness.Sink().AnyAdvice());
        return ReadWholeFile(file);
    }
    QString Root() const { return FHarness.Temp().Path(QStringLiteral("work/")); }

    static QString PackingSetup() {
        return S(
            "[SimpleOptions]\r\nHTML_Enable_ParseAndPackServerSideGeneratedOutput=1\r\n"
            "Other_Enable_SpecificFileTypeParsing=1\r\n");
    }

    TPluginBatchHarness FHarness{QStringLiteral("WebPageOptimizer"), [] {
                                     return std::make_unique<TPluginInternal_WebPageOptimizer>();
                                 }};
};

TEST_F(WebPageOptimizerPluginTest, InformationAndDeclarations) {
    TPluginStoredLibInfo& plugin = FHarness.Descriptor();
    const TPluginInfoHost& info = plugin.FPluginInfoHost;
    EXPECT_EQ(info.StrID, S("zq_kestrin_WebPageOptimizer"));
    EXPECT_EQ(info.PluginName, S("WebPageOptimizer"));
    EXPECT_EQ(info.PluginDesc, S("Optimize HTML space usage in UTF-8/ASCII files which often "
                                 "leads to output size being 20-30% smaller."));
    EXPECT_EQ(info.HasCompany, S("Kestrin"));
    EXPECT_TRUE(info.CanLaunchFilesSep.isEmpty());
    EXPECT_EQ(info.CanLaunchFilesList, S("known-issues.txt"));
    EXPECT_EQ(info.SuggestedExts, S(".htm,.html"));
    EXPECT_EQ(info.PluginVersion, S("1.04"));
    EXPECT_EQ(info.InterfaceVersion, S("1.0.4"));
    EXPECT_EQ(info.PluginCategory, pcWebDevelopment);
    EXPECT_EQ(info.PluginLoadingScheme, plsCanDynamicAsNeeded);
    EXPECT_EQ(info.CanWorkCategory, 1u);
    EXPECT_EQ(info.ReleaseState, 50u);
    EXPECT_FALSE(info.Author.isEmpty());
    EXPECT_FALSE(
        ShippedResource(QStringLiteral("modules/Internal/WebPageOptimizer/known-issues.txt"))
            .isEmpty());

    ASSERT_EQ(plugin.FProperties.size(), 1u);
    const TPluginProperty& setup = *plugin.FProperties[0];
    EXPECT_EQ(setup.FPropName, S("Setup"));
    EXPECT_EQ(setup.FShownName, S("Setup"));
    EXPECT_EQ(setup.FVisualPropType, vptFile);
    EXPECT_EQ(setup.FReadyServices, 0u);
    EXPECT_EQ(setup.FHelp.split(S("\r\n\r\n")).size(), 4);
    EXPECT_TRUE(setup.FHelp.startsWith(S("This is an \"optimizer\".")));

    TStreamReader stored(plugin.GetPluginInitData(QStringLiteral("Setup")));
    const QString document = stored.ReadUtf8String();
    EXPECT_EQ(document, QString::fromUtf8(ShippedResource(
                            QStringLiteral("modules/Internal/WebPageOptimizer/dao.ini"))));
    EXPECT_EQ(stored.ReadInt32(), 1);
    // The shipped file says what the defaults say.
    const TWebPageOptimizerSettings shipped =
        TWebPageOptimizerSettings::FromIni(TIniDocument::FromText(document));
    const TWebPageOptimizerSettings defaults;
    EXPECT_EQ(shipped.FileExtensionSeparator, defaults.FileExtensionSeparator);
    EXPECT_EQ(shipped.HandleNetscape4Quirks, defaults.HandleNetscape4Quirks);
    EXPECT_EQ(shipped.PackServerSideOutput, defaults.PackServerSideOutput);
    EXPECT_EQ(shipped.SpecificFileTypeParsing, defaults.SpecificFileTypeParsing);
    EXPECT_EQ(shipped.HtmlExtensions, defaults.HtmlExtensions);
    EXPECT_EQ(shipped.PhpExtensions, defaults.PhpExtensions);
}

TEST_F(WebPageOptimizerPluginTest, PacksByTheFilesExtension) {
    struct TCase {
        const char* Name;
        const char* File;
        bool Packing;  // the packing setup instead of the shipped defaults
        QByteArray Input;
        QByteArray Expected;
    };
    const std::vector<TCase> cases = {
        {"DefaultsLeavePhpAlone", "page.php", false,
         B("<!-- c -->\r\n<p>a</p>  <?php echo \"x  y\"; # n\r\n?>\r\n"),
         B("<p>a</p><?php echo \"x  y\"; # n\r\n?>")},
        {"PackingPacksPhp", "page.php", true,
         B("<!-- c -->\r\n<p>a</p>  <?php echo \"x  y\"; # n\r\n?>\r\n"),
         B("<p>a</p><?php echo \"x y\"; ?>")},
        {"PerlFileIsCode", "x.pl", true, B("<p>\n print \"a  b\";\n# c\n"),
         B("<p>\n print \"a b\";\n")},
        {"CssFileAsCss", "s.css", true, B("a  {\r\n b: \"c  d\"; } /* e */"),
         B("a { b: \"c d\"; }")},
        {"CssFileAsHtmlByDefault", "s.css", false, B("a  {\r\n b: c; } /* e */"),
         B("a { b: c; } /* e */")},
        {"NoExtensionAutoDetects", "README", true, B("<p>x</p>   <%= a ' c\r\n%>"),
         B("<p>x</p><%= a \r\n%>")},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        FHarness.Sink().Clear();
        EXPECT_EQ(RunOnFile(S(c.File), c.Input, c.Packing ? PackingSetup() : QString()),
                  c.Expected);
        EXPECT_TRUE(FHarness.Sink().Errors().isEmpty())
            << FHarness.Sink().Errors().join(u'\n').toStdString();
    }
}

TEST_F(WebPageOptimizerPluginTest, MissingEndMarkerIsReportedAndThePageStillWritten) {
    const QByteArray out = RunOnFile(S("a.htm"), B("<!-- c --><b>x</b> <?php echo 1;"));
    EXPECT_EQ(out, B("<b>x</b> <?php echo 1;"));
    EXPECT_EQ(FHarness.Sink().Errors(), QStringList{S("Found \"<?php\", but not \"?>\"")});
}

TEST_F(WebPageOptimizerPluginTest, WritesBackInTheEncodingItWasReadIn) {
    struct TCase {
        const char* Name;
        QByteArray Input;
        QByteArray Expected;
    };
    const QString page = S("<p>é  ü</p>\r\n <p>€</p>");
    // The white space before the block tag becomes one line feed.
    const QString packed = S("<p>é ü</p>\n<p>€</p>");
    const auto utf16 = [](const QString& AText, bool ABom) {
        QByteArray bytes = ABom ? QByteArray("\xFF\xFE", 2) : QByteArray();
        for (const QChar c : AText) {
            bytes.append(char(c.unicode() & 0xFF));
            bytes.append(char(c.unicode() >> 8));
        }
        return bytes;
    };
    const std::vector<TCase> cases = {
        {"Utf8", page.toUtf8(), packed.toUtf8()},
        {"Utf8WithMark", B("\xEF\xBB\xBF") + page.toUtf8(), B("\xEF\xBB\xBF") + packed.toUtf8()},
        {"Utf16WithMark", utf16(page, true), utf16(packed, true)},
        {"Windows1252", B("<p>\xE9  \xFC</p>\r\n <p>\x80</p>"), B("<p>\xE9 \xFC</p>\n<p>\x80</p>")},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        EXPECT_EQ(RunOnFile(S("p.html"), c.Input), c.Expected);
        EXPECT_TRUE(FHarness.Sink().Errors().isEmpty());
    }
}

TEST_F(WebPageOptimizerPluginTest, UnreadableOrMissingFilesAreReportedAndLeft) {
    // Bytes that are neither UTF-8 nor valid in the code page would not come back as they were.
    const QByteArray garbled = B("<p>a</p>  \x81\x8D\x8F\x90\x9D  <p>b</p>");
    EXPECT_EQ(RunOnFile(S("g.html"), garbled), garbled);
    ASSERT_EQ(FHarness.Sink().Errors().size(), 1);
    EXPECT_TRUE(FHarness.Sink().Errors().at(0).contains(S("left unchanged")));

    FHarness.Sink().Clear();
    FHarness.Run(Root(), {}, {FHarness.Temp().Path(S("work/gone.html"))});
    EXPECT_EQ(FHarness.Sink().Errors(), QStringList{S("The file does not exist.")});
}

TEST_F(WebPageOptimizerPluginTest, UnfinishedWriteLeavesThePageAndIsReported) {
    QByteArray before;
    for (int i = 0; i < 1200; ++i)
        before += B("<b>xy</b>  \r\n");
    const QString work = FHarness.Temp().MakeFolder(QStringLiteral("work"));
    const QString file = FHarness.Temp().WriteFile(QStringLiteral("work/big.html"), before);
    const TChildOutcome outcome = RunInChildProcess([&] {
        const QString problem = LimitFileSizeOfThisProcess(4096);
        if (!problem.isEmpty())
            return KChildSkipped + problem.toUtf8();
        FHarness.Run(Root(), {}, {file});
        return FHarness.Sink().Errors().join(u'\n').toUtf8() + '|' + ReadWholeFile(file);
    });
    ASSERT_TRUE(outcome.Exited) << outcome.Output.toStdString();
    const qsizetype bar = outcome.Output.indexOf('|');
    ASSERT_GE(bar, 0) << outcome.Output.left(200).toStdString();
    EXPECT_EQ(outcome.Output.mid(bar + 1), before);
    const QString errors = QString::fromUtf8(outcome.Output.left(bar));
    EXPECT_TRUE(errors.contains(S("could not be written"))) << errors.toStdString();
}

}  // namespace
