#include "plugins/web_media/list_dir_in_html/plugin_internal_list_dir_in_html.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QTimeZone>

#include <gtest/gtest.h>

#include <sys/stat.h>

#include "base/exceptions.h"
#include "base/ini_document.h"
#include "base/stream_fields.h"
#include "plugin_host/plugin_descriptor.h"
#include "plugin_host/plugin_property.h"
#include "plugins/web_media/list_dir_in_html/index_page.h"
#include "tests/plugins/text_files/text_replacer/plugin_batch_harness.h"

namespace {

const QString KDirTableStart = QStringLiteral(
    "<table width=\"100%\" border=\"0\" cellspacing=\"0\" cellpadding=\"2\" "
    "summary=\"directories\">\r\n<tr><th align=\"left\">Directories</th></tr>\r\n<tr><td>[ <a "
    "href=\"../\">Parent Directory</a> ]</td></tr>\r\n");
const QString KFilesHeader = QStringLiteral(
    "<table width=\"100%\" border=\"0\" cellspacing=\"0\" cellpadding=\"2\" "
    "summary=\"files\">\r\n<tr>\r\n<th align=\"left\">File Name</th><th align=\"left\">File Date "
    "(GMT)</th><th align=\"right\">File Size (KB)</th></tr>\r\n");
const QString KGalleryStart = QStringLiteral(
    "<table width=\"100%\" border=\"0\" cellspacing=\"0\" cellpadding=\"2\" "
    "summary=\"gallery\">\r\n<tr><th align=\"left\">Thumbnails Gallery</th></tr>\r\n");
const QString KEnd = QStringLiteral("</table>\r\n<p>\r\n\r\n");

// A fixed write time, so that dates can be compared: 2021-03-04 05:06:07 UTC.
const QDateTime KTime(QDate(2021, 3, 4), QTime(5, 6, 7), QTimeZone::utc());

class IndexPageTest : public ::testing::Test {
protected:
    IndexPageTest() {
        FDir = FTemp.MakeFolder(QStringLiteral("site/photos"));
        // Only the tables: the document frame and the footer are tested on their own.
        FSettings.GenerateIndependentHtml = false;
        FSettings.FooterHtml.clear();
    }

    QString File(const QString& AName, qint64 ASize = 10) const {
        const QString path = FTemp.WriteFile(QStringLiteral("site/photos/") + AName,
                                             QByteArray(static_cast<int>(ASize), 'x'));
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::ReadWrite));
        EXPECT_TRUE(file.setFileTime(KTime, QFileDevice::FileModificationTime));
        return path;
    }

    void Picture(const QString& AName, int AWidth, int AHeight) const {
        QImage image(AWidth, AHeight, QImage::Format_RGB32);
        image.fill(qRgb(10, 200, 30));
        EXPECT_TRUE(image.save(FDir + AName));
    }

    void Gallery(const QString& AKeys = {}) {
        FSettings.ReadAdvancedSetup(TIniDocument::FromText(
            QStringLiteral("[General]\r\nfooter_html_str=\r\ngenerate_independent_html=0\r\n"
                           "[GalleryOptions]\r\nThumbsList=1\r\n") +
            AKeys));
    }

    QString Page() {
        const TIndexPage page = BuildIndexPage(FDir, FSettings);
        FProblems = page.Problems;
        return page.Text;
    }

    static QString Row(const QString& AName, const QString& AShown, const char* ASize) {
        return QStringLiteral("<tr><td><a href=\"") + AName + QStringLiteral("\">") + AShown +
               QStringLiteral("</a></td><td>2021-03-04 05:06:06</td><td align=\"right\">") +
               QString::fromLatin1(ASize) + QStringLiteral("</td></tr>\r\n");
    }

    TTempFolder FTemp;
    QString FDir;
    TIndexPageSettings FSettings;
    QStringList FProblems;
};

TEST_F(IndexPageTest, EmptyDirectoryGivesOnlyTheParentLinkAndAnEmptyGallery) {
    EXPECT_EQ(Page(), KDirTableStart + KEnd);
    Gallery();
    EXPECT_EQ(Page(), KDirTableStart + KEnd + KGalleryStart + KEnd);
}

TEST_F(IndexPageTest, WholeDocumentWithHeaderBodyAttributesAndFooter) {
    FSettings.ReadAdvancedSetup(TIniDocument::FromText(
        QStringLiteral("[General]\r\nheader_html_str= <h1>Hi</h1> \r\n[HTML_Body_Attributes]\r\n"
                       "bgcolor=#ffffff\r\nvlink= red \r\n")));
    const QString page = Page();
    const QString expected =
        QStringLiteral(
            "<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.01 Transitional//EN\">\r\n<html>\r\n"
            "<head>\r\n<meta http-equiv=\"Content-Type\" content=\"text/html; "
            "charset=utf-8\">\r\n<meta http-equiv=\"Content-Style-Type\" "
            "content=\"text/css\">\r\n<meta name=\"Generator\" content=\"Kestrin "
            "TPluginInternal_ListDirInHtml - https://www.kestrin.example/\">\r\n<title>\r\n"
            "Index of Directory: \"photos\"\r\n</title>\r\n</head>\r\n"
            "<body bgcolor=\"#ffffff\" vlink=\"red\">\r\n<p>\r\n\r\n<h1>Hi</h1>\r\n<p>\r\n\r\n") +
        KDirTableStart + KEnd + TIndexPageSettings::DefaultFooter() +
        QStringLiteral("\r\n<p>\r\n\r\n</body>\r\n</html>\r\n");
    EXPECT_EQ(page, expected);
}

TEST_F(IndexPageTest, FilesTableSkipsTheOutputNameInExactCaseAndSortsStably) {
    File(QStringLiteral("index.htm"));
    File(QStringLiteral("Index.htm"));
    File(QStringLiteral("b.txt"), 1536);
    File(QStringLiteral("B.txt"), 2560);
    File(QStringLiteral("a.txt"), 2561);
    FTemp.MakeFolder(QStringLiteral("site/photos/Sub"));
    FTemp.MakeFolder(QStringLiteral("site/photos/sub"));
    FTemp.MakeFolder(QStringLiteral("site/photos/.hidden"));
    const QString expected =
        KDirTableStart +
        QStringLiteral(
            "<tr><td><a href=\".hidden/\">.hidden</a></td></tr>\r\n"
            "<tr><td><a href=\"Sub/\">Sub</a></td></tr>\r\n"
            "<tr><td><a href=\"sub/\">sub</a></td></tr>\r\n") +
        KEnd + KFilesHeader + Row(QStringLiteral("a.txt"), QStringLiteral("a.txt"), "3") +
        Row(QStringLiteral("B.txt"), QStringLiteral("B.txt"), "2") +
        Row(QStringLiteral("b.txt"), QStringLiteral("b.txt"), "2") +
        Row(QStringLiteral("Index.htm"), QStringLiteral("Index.htm"), "0") + KEnd;
    EXPECT_EQ(Page(), expected);
}

TEST_F(IndexPageTest, ShowFlagsAndHiddenExtensions) {
    File(QStringLiteral("archive.tar.gz"));
    File(QStringLiteral(".profile"));
    File(QStringLiteral("README"));
    FSettings.ShowFileExtension = false;
    FSettings.ShowFileDate = false;
    FSettings.ShowFileSize = false;
    const QString expected =
        KDirTableStart + KEnd +
        QStringLiteral(
            "<table width=\"100%\" border=\"0\" cellspacing=\"0\" cellpadding=\"2\" "
            "summary=\"files\">\r\n<tr>\r\n<th align=\"left\">File Name</th></tr>\r\n"
            "<tr><td><a href=\".profile\"></a></td></tr>\r\n"
            "<tr><td><a href=\"archive.tar.gz\">archive.tar</a></td></tr>\r\n"
            "<tr><td><a href=\"README\">README</a></td></tr>\r\n") +
        KEnd;
    EXPECT_EQ(Page(), expected);
}

TEST_F(IndexPageTest, ThumbnailPairingGivesOneCellAndNoFileRows) {
    Picture(QStringLiteral("photo.jpg"), 300, 200);
    Picture(QStringLiteral("thumb-photo.jpg"), 60, 40);
    File(QStringLiteral("notes"));  // no extension: never taken for a picture
    Gallery();
    const qint64 fullSize = QFileInfo(FDir + QStringLiteral("photo.jpg")).size();
    const QString expected =
        KDirTableStart + KEnd + KFilesHeader +
        Row(QStringLiteral("notes"), QStringLiteral("notes"), "0") + KEnd + KGalleryStart +
        QStringLiteral(
            "<tr>\r\n<td width=\"25%\" valign=\"top\" align=\"center\"><a "
            "onclick=\"window.open('photo.jpg','CtrlWindow','width=340,height=240,"
            "resizable=yes,scrollbars=yes,status=yes');return false;\" "
            "href=\"photo.jpg\" target=\"_blank\"><img src=\"thumb-photo.jpg\" "
            "width=\"60\" height=\"40\" border=\"0\" alt=\"photo.jpg (") +
        QString::number((fullSize + 512) / 1024) +
        QStringLiteral(" KB)\" hspace=\"10\" vspace=\"5\"></a></td>\r\n</tr>\r\n") + KEnd;
    EXPECT_EQ(Page(), expected);
    EXPECT_TRUE(FProblems.isEmpty());
}

TEST_F(IndexPageTest, PictureWithoutThumbnailGetsAnEmptySourceAndTheDefaultSize) {
    Picture(QStringLiteral("big_sunny--day.png"), 20, 10);
    Gallery(QStringLiteral("ThumbsDefWidth=100\r\nThumbsDefHeight=\r\n"));
    FSettings.ShowFileSize = false;
    const QString page = Page();
    EXPECT_TRUE(page.contains(QStringLiteral(
        "<img src=\"\" width=\"100\" border=\"0\" alt=\"big sunny day.png\" hspace=\"10\"")))
        << page.toStdString();
    EXPECT_TRUE(page.contains(
        QStringLiteral("window.open('big_sunny--day.png','CtrlWindow','width=60,height=50,")));
    // A thumbnail without its picture links nowhere and shows size 0.
    Picture(QStringLiteral("thumb-lonely.png"), 8, 8);
    FSettings.ShowFileSize = true;
    EXPECT_TRUE(Page().contains(QStringLiteral(
        "<a onclick=\"window.open('','CtrlWindow','resizable=yes,scrollbars=yes,status=yes');"
        "return false;\" href=\"\" target=\"_blank\"><img src=\"thumb-lonely.png\" width=\"8\" "
        "height=\"8\" border=\"0\" alt=\"lonely.png (0 KB)\"")));
}

TEST_F(IndexPageTest, RowsOfCellsAreOpenedAndClosed) {
    for (const char* name : {"a.jpg", "b.jpg", "c.jpg", "d.jpg", "e.jpg"})
        Picture(QString::fromLatin1(name), 4, 4);
    Gallery(QStringLiteral("ThumbsHorzCnt=4\r\n"));
    QString page = Page();
    EXPECT_EQ(page.count(QStringLiteral("<tr>\r\n<td")), 2);
    EXPECT_EQ(page.count(QStringLiteral("</td>\r\n</tr>\r\n")), 2);
    const qsizetype firstClose = page.indexOf(QStringLiteral("</td>\r\n</tr>"));
    EXPECT_EQ(page.left(firstClose).count(QStringLiteral("<td width=\"25%\"")), 4);

    // Fewer than one per row is one per row; eight per row are 12% wide each.
    Gallery(QStringLiteral("ThumbsHorzCnt=0\r\n"));
    page = Page();
    EXPECT_EQ(page.count(QStringLiteral("<tr>\r\n<td width=\"100%\"")), 5);
    EXPECT_EQ(page.count(QStringLiteral("</td>\r\n</tr>\r\n")), 5);
    Gallery(QStringLiteral("ThumbsHorzCnt=8\r\n"));
    EXPECT_EQ(Page().count(QStringLiteral("<td width=\"12%\"")), 5);
    Gallery(QStringLiteral("ThumbsHorzCnt=-3\r\n"));
    EXPECT_EQ(FSettings.ThumbsHorzCnt, 1);
}

TEST_F(IndexPageTest, UnreadablePicturesAreReportedAndTheCellKeepsNoSize) {
    File(QStringLiteral("broken.jpg"));
    File(QStringLiteral("thumb-broken.jpg"));
    ASSERT_EQ(mkfifo(QFile::encodeName(FDir + QStringLiteral("pipe.png")).constData(), 0600), 0);
    Gallery();
    const QString page = Page();
    EXPECT_EQ(FProblems.size(), 3);
    EXPECT_TRUE(page.contains(QStringLiteral("window.open('broken.jpg','CtrlWindow','resizable")));
    EXPECT_TRUE(page.contains(QStringLiteral("<img src=\"thumb-broken.jpg\" border=\"0\"")));
    EXPECT_TRUE(page.contains(QStringLiteral("<img src=\"\" border=\"0\" alt=\"pipe.png")));
}

TEST_F(IndexPageTest, OddNamesCannotBreakThePage) {
    File(QStringLiteral("a&b<i>\"q\" 'x'.txt"));
    FTemp.MakeFolder(QStringLiteral("site/photos/d\"><script>"));
    Picture(QStringLiteral("it's.png"), 4, 4);
    FSettings.ShowFileDate = false;
    FSettings.ShowFileSize = false;
    Gallery();
    const QString page = Page();
    EXPECT_FALSE(page.contains(QStringLiteral("<script>")));
    EXPECT_FALSE(page.contains(QStringLiteral("<i>")));
    EXPECT_TRUE(page.contains(QStringLiteral(
        "<tr><td><a href=\"d%22%3E%3Cscript%3E/\">d&quot;&gt;&lt;script&gt;</a></td></tr>")));
    EXPECT_TRUE(page.contains(QStringLiteral(
        "<a href=\"a%26b%3Ci%3E%22q%22%20%27x%27.txt\">a&amp;b&lt;i&gt;&quot;q&quot; "
        "'x'.txt</a>")));
    EXPECT_TRUE(page.contains(QStringLiteral("window.open('it%27s.png','CtrlWindow'")));
    EXPECT_TRUE(page.contains(QStringLiteral("alt=\"it's.png\"")));
}

TEST_F(IndexPageTest, DirectoryThatCannotBeListedRaises) {
    EXPECT_THROW(BuildIndexPage(FDir + QStringLiteral("missing/"), FSettings),
                 EqvOperationNotPossible);
}

TEST(IndexPageSettings, Defaults) {
    TIndexPageSettings settings;
    settings.ReadAdvancedSetup(TIniDocument::FromText(QString()));
    EXPECT_TRUE(settings.GenerateIndependentHtml);
    EXPECT_EQ(settings.BodyTag, QStringLiteral("<body>"));
    EXPECT_FALSE(settings.ThumbsList);
    EXPECT_EQ(settings.ThumbsHorzCnt, 4);
    EXPECT_EQ(settings.CellWidth, QStringLiteral("25%"));
    EXPECT_EQ(settings.ThumbsNameStart, QStringLiteral("thumb-"));
    EXPECT_EQ(settings.PictureNameExts, QStringLiteral(".jpg,.gif,.png,.bmp"));
    EXPECT_EQ(settings.FooterHtml,
              QStringLiteral("<hr>This automated directory listing was made with: <a "
                             "href=\"https://www.kestrin.example/\" rel=\"nofollow\">Kestrin "
                             "Veltrask</a>"));
    settings.ReadAdvancedSetup(TIniDocument::FromText(
        QStringLiteral("[GalleryOptions]\r\nPictureNameExts=.JPG,.Tif\r\nThumbsHorzCnt=3\r\n")));
    EXPECT_EQ(settings.PictureNameExts, QStringLiteral(".jpg,.tif"));
    EXPECT_EQ(settings.CellWidth, QStringLiteral("33%"));
}

class ListDirInHtmlTest : public ::testing::Test {
protected:
    QString Root() const { return FHarness.Temp().Path(QStringLiteral("w/")); }

    QHash<QString, QByteArray> Values(const QString& AOutputName,
                                      const QList<QStringList>& AExclusions = {}) const {
        QHash<QString, QByteArray> values;
        values.insert(QStringLiteral("OutputFileName"),
                      StoredTextBoxes({{QStringLiteral("INDEX_FILE_NAME"), AOutputName}}));
        values.insert(QStringLiteral("FnbDirectoryExclusions"),
                      StoredGrid({QStringLiteral("EXCLUDES")}, AExclusions));
        return values;
    }

    TPluginBatchHarness FHarness{QStringLiteral("ListDirInHtml"),
                                 [] { return std::make_unique<TPluginInternal_ListDirInHtml>(); }};
};

TEST_F(ListDirInHtmlTest, InformationAndDeclarations) {
    TPluginStoredLibInfo& plugin = FHarness.Descriptor();
    const TPluginInfoHost& info = plugin.FPluginInfoHost;
    EXPECT_EQ(info.StrID, QStringLiteral("zq_kestrin_ListDirInHtml"));
    EXPECT_EQ(
        info.PluginDesc,
        QStringLiteral("Generate listings / galleries over all files and directories found."));
    EXPECT_EQ(info.PluginVersion, QStringLiteral("1.05"));
    EXPECT_EQ(info.CanWorkCategory, 6u);
    EXPECT_TRUE(info.SuggestedExts.isEmpty());
    const char* names[] = {"OutputFileName", "FnbDirectoryExclusions", "SimpleSetup",
                           "AdvancedSetup"};
    ASSERT_EQ(plugin.FProperties.size(), 4u);
    for (std::size_t i = 0; i < 4; ++i)
        EXPECT_EQ(plugin.FProperties[i]->FPropName, QString::fromLatin1(names[i]));
    const auto* grid = dynamic_cast<const TPluginPropertyGrid*>(plugin.FProperties[1].get());
    ASSERT_NE(grid, nullptr);
    EXPECT_EQ(grid->FPropGridIgnoreRowsLevel, pgirlAllRowCellsEmptyWhenTrimmed);

    TStreamWriter boxes;
    boxes.WriteInt32(1);
    boxes.WriteAnsiString(QStringLiteral("INDEX_FILE_NAME"));
    boxes.WriteUtf8String(QStringLiteral("Output index file name"));
    boxes.WriteUtf8String(QStringLiteral("index.htm"));
    EXPECT_EQ(plugin.GetPluginInitData(QStringLiteral("OutputFileName")), boxes.Data());
    TStreamWriter choices;
    choices.WriteInt32(3);
    for (const auto& [id, caption] : {std::pair{"SHOW_FILE_EXTENSION", "Show file extensions"},
                                      std::pair{"SHOW_FILE_SIZE", "Show file sizes"},
                                      std::pair{"SHOW_FILE_DATE", "Show file dates"}}) {
        choices.WriteAnsiString(QString::fromLatin1(id));
        choices.WriteUtf8String(QString::fromLatin1(caption));
        choices.WriteByte(1);
    }
    EXPECT_EQ(plugin.GetPluginInitData(QStringLiteral("SimpleSetup")), choices.Data());
}

TEST_F(ListDirInHtmlTest, VerificationOfTheOutputNameAndTheExclusionCells) {
    TPluginInternal_ListDirInHtml plugin;
    const QString advice = QStringLiteral(
        "File name not be empty (trailing and leading spaces are trimmed away) and can not have "
        "following characters in them: \"/ \\ : * ? \" < > |\".");
    // Whether the text box accepts the value (trimmed) and whether a grid cell does (as it is).
    const struct {
        const char* Value;
        bool Valid;
        bool CellValid;
    } cases[] = {{"index.html", true, true}, {" index.htm ", true, true}, {"", false, false},
                 {"   ", false, true},       {"a/b", false, false},       {"a\\b", false, false},
                 {"a:b", false, false},      {"a*", false, false},        {"a?", false, false},
                 {"\"a\"", false, false},    {"<a", false, false},        {"a>", false, false},
                 {"a|b", false, false}};
    for (const auto& c : cases) {
        const QString value = QString::fromUtf8(c.Value);
        QStringList calls;
        plugin.PluginVerifyPropTextBoxValue(
            QStringLiteral("OutputFileName"), QStringLiteral("INDEX_FILE_NAME"), value,
            [&](const QString& AId, const QString& AError, const QString& AAdvice) {
                calls << AId << AError << AAdvice;
            });
        if (c.Valid) {
            EXPECT_TRUE(calls.isEmpty()) << c.Value;
        } else {
            EXPECT_EQ(calls, (QStringList{QStringLiteral("INDEX_FILE_NAME"),
                                          QStringLiteral("File name: \"") + value +
                                              QStringLiteral("\" is not valid."),
                                          advice}))
                << c.Value;
        }
        // The grid cell is checked without trimming.
        int field = -1;
        plugin.PluginPrepareVerifyGridRow(QStringLiteral("FnbDirectoryExclusions"));
        plugin.PluginAddVerifyPropGridValue(QStringLiteral("FnbDirectoryExclusions"), value);
        plugin.PluginEndVerifyGridRow(
            QStringLiteral("FnbDirectoryExclusions"),
            [&](std::int32_t AField, const QString&, const QString&) { field = AField; });
        EXPECT_EQ(field, c.CellValid ? -1 : 0) << c.Value;
    }
}

TEST_F(ListDirInHtmlTest, PageIsWrittenAsUtf8AndAddedToTheBatch) {
    FHarness.Temp().WriteFile(QStringLiteral("w/caf\u00e9.txt"), "x");
    FHarness.Temp().WriteFile(QStringLiteral("w/index.htm"), "old page");
    const QString sub = FHarness.Temp().MakeFolder(QStringLiteral("w/sub"));
    FHarness.Run(Root(), Values(QStringLiteral("index.htm")), {Root(), sub});
    EXPECT_TRUE(FHarness.Sink().Errors().isEmpty())
        << FHarness.Sink().Errors().join(u'|').toStdString();
    EXPECT_EQ(FHarness.Sink().AddedPaths(), (QStringList{Root() + QStringLiteral("index.htm"),
                                                         sub + QStringLiteral("index.htm")}));
    const QByteArray page = ReadWholeFile(Root() + QStringLiteral("index.htm"));
    EXPECT_TRUE(page.startsWith("<!DOCTYPE HTML"));
    EXPECT_TRUE(page.contains("caf\xc3\xa9.txt"));
    EXPECT_FALSE(page.contains("index.htm\""));
    EXPECT_TRUE(
        ReadWholeFile(sub + QStringLiteral("index.htm")).contains("Index of Directory: \"sub\""));
}

TEST_F(ListDirInHtmlTest, ExcludedDirectoriesGetNoPage) {
    const QString kept = FHarness.Temp().MakeFolder(QStringLiteral("w/kept"));
    const QString skipped = FHarness.Temp().MakeFolder(QStringLiteral("w/skipped"));
    FHarness.Temp().WriteFile(QStringLiteral("w/skipped/default.php"), "<?php");
    const QString folderNamed = FHarness.Temp().MakeFolder(QStringLiteral("w/other/default.php"));
    FHarness.Run(Root(), Values(QStringLiteral("list.html"), {{QStringLiteral("default.php")}}),
                 {kept, skipped, FHarness.Temp().Path(QStringLiteral("w/other/"))});
    EXPECT_EQ(FHarness.Sink().AddedPaths(), QStringList{kept + QStringLiteral("list.html")});
    EXPECT_FALSE(QFile::exists(skipped + QStringLiteral("list.html")));
    EXPECT_FALSE(QFile::exists(FHarness.Temp().Path(QStringLiteral("w/other/list.html"))));
    EXPECT_TRUE(FHarness.Sink().Errors().isEmpty());
    Q_UNUSED(folderNamed);
}

TEST_F(ListDirInHtmlTest, PagesThatCannotBeWrittenAreReportedAndNotAdded) {
    const QString dir = FHarness.Temp().MakeFolder(QStringLiteral("w/d"));
    FHarness.Temp().MakeFolder(QStringLiteral("w/d/index.htm"));
    FHarness.Run(Root(), Values(QStringLiteral("index.htm")), {dir});
    ASSERT_EQ(FHarness.Sink().Errors().size(), 1);
    EXPECT_TRUE(
        FHarness.Sink().Errors().front().startsWith(QStringLiteral("The index page \"") + dir));
    EXPECT_TRUE(FHarness.Sink().AddedPaths().isEmpty());
}

TEST_F(ListDirInHtmlTest, AnOutputNameThatLeavesTheDirectoryIsRefused) {
    const QString dir = FHarness.Temp().MakeFolder(QStringLiteral("w/d"));
    for (const char* name : {"../escaped.htm", "", "..", "a|b"}) {
        FHarness.Sink().Clear();
        FHarness.Run(Root(), Values(QString::fromLatin1(name)), {dir});
        EXPECT_EQ(FHarness.Sink().Errors().size(), 1) << name;
        EXPECT_TRUE(FHarness.Sink().AddedPaths().isEmpty()) << name;
    }
    EXPECT_FALSE(QFile::exists(Root() + QStringLiteral("escaped.htm")));
    EXPECT_TRUE(QDir(dir).isEmpty());
}

}  // namespace
