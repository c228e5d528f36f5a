#include "app/program_options.h"

#include <QFile>

#include <gtest/gtest.h>

#include "app/path_placeholders.h"
#include "tests/support/temp_folders.h"

namespace {

class ProgramOptionsTest : public ::testing::Test {
protected:
    QString WriteOptions(const QString& AText, const QByteArray& APrefix = {}) {
        return FTemp.WriteFile(QStringLiteral("config/options.ini"), APrefix + AText.toUtf8());
    }
    QString OptionsPath() const { return FTemp.Path(QStringLiteral("config/options.ini")); }
    TProgramOptions Load(const QString& AText, const QByteArray& APrefix = {}) {
        WriteOptions(AText, APrefix);
        TProgramOptions options(FNow);
        options.LoadFromFile(OptionsPath(), FPlaceholders);
        return options;
    }

    TTempFolder FTemp;
    QDateTime FNow = QDateTime(QDate(2026, 12, 9), QTime(10, 0));
    TPathPlaceholders FPlaceholders{QStringLiteral("/opt/plv/data/"), QStringLiteral("/opt/plv/")};
};

}  // namespace

TEST_F(ProgramOptionsTest, MissingFileKeepsDefaults) {
    TProgramOptions options(FNow);
    options.LoadFromFile(FTemp.Path(QStringLiteral("none.ini")), FPlaceholders);
    EXPECT_EQ(options.FLanguageCulture, QStringLiteral("en-us"));
    EXPECT_EQ(options.FProjectReopenListSize, 8);
    EXPECT_TRUE(options.FHumanSafeMode);
    EXPECT_EQ(options.FBatchLogCount, 40);
    EXPECT_EQ(options.FPluginCallWarnSeconds, 60);
    EXPECT_EQ(options.FCheckUpdatesLast, FNow);
}

// How long a plugin call may run before the batch log tells of it: only in the file; a
// negative or unreadable value never makes every call "too long".
TEST_F(ProgramOptionsTest, PluginCallWarnSeconds) {
    const std::vector<std::pair<QString, int>> cases = {{QStringLiteral("5"), 5},
                                                        {QStringLiteral("0"), 0},
                                                        {QStringLiteral("-3"), 0},
                                                        {QStringLiteral("soon"), 60}};
    for (const auto& [stored, expected] : cases) {
        const TProgramOptions options =
            Load(QStringLiteral("[ProgramOptions.Miscellaneous]\r\nPluginCallWarnSeconds=") +
                 stored + QStringLiteral("\r\n"));
        EXPECT_EQ(options.FPluginCallWarnSeconds, expected) << stored.toStdString();
    }
}

TEST_F(ProgramOptionsTest, LanguageCultureRules) {
    const std::vector<std::pair<QString, QString>> cases = {
        {QStringLiteral("EN-US"), QStringLiteral("en-us")},
        {QStringLiteral("de-DE"), QStringLiteral("de-DE")},
        {QStringLiteral("  fr-fr  "), QStringLiteral("fr-fr")},
        {QString(), QStringLiteral("en-us")},
        {QStringLiteral("   "), QStringLiteral("en-us")},
    };
    for (const auto& [stored, expected] : cases) {
        const TProgramOptions options =
            Load(QStringLiteral("[ProgramOptions.General]\r\nLanguageCulture=") + stored +
                 QStringLiteral("\r\n"));
        EXPECT_EQ(options.FLanguageCulture, expected) << stored.toStdString();
    }
}

TEST_F(ProgramOptionsTest, TypedValuesAndBadNumbers) {
    const TProgramOptions options =
        Load(QStringLiteral(
                 "[ProgramOptions.General]\r\nReopenListSize=abc\r\nLoadLastProject=7\r\n"
                 "[ProgramOptions.Security]\r\nHumanSafeMode=0\r\n[ProgramOptions.Logging]"
                 "\r\nBatchLogCount=12\r\n"
                 "[ProgramOptions.Miscellaneous]\r\nCheckUpdatesLast=2025-03-04T05:06:07+02:00\r\n"
                 "CheckUpdatesInterval=30\r\n"),
             QByteArray("\xEF\xBB\xBF"));
    EXPECT_EQ(options.FProjectReopenListSize, 8);
    EXPECT_TRUE(options.FProjectAlwaysLoadLast);
    EXPECT_FALSE(options.FHumanSafeMode);
    EXPECT_EQ(options.FBatchLogCount, 12);
    EXPECT_EQ(options.FCheckUpdatesInterval, 30);
    EXPECT_EQ(options.FCheckUpdatesLast, QDateTime(QDate(2025, 3, 4), QTime(5, 6, 7)));
}

TEST_F(ProgramOptionsTest, DateTimeReading) {
    EXPECT_EQ(ReadOptionsDateTime(QStringLiteral("2024-02-29 23:59:58")),
              QDateTime(QDate(2024, 2, 29), QTime(23, 59, 58)));
    EXPECT_EQ(ReadOptionsDateTime(QStringLiteral("2024-02-29")),
              QDateTime(QDate(2024, 2, 29), QTime(0, 0)));
    EXPECT_EQ(ReadOptionsDateTime(QStringLiteral("yesterday")), ZeroDateTime());
    EXPECT_EQ(ReadOptionsDateTime(QString()), ZeroDateTime());
}

TEST_F(ProgramOptionsTest, CurrentProjectOnlyWithLoadLastButAlwaysWritten) {
    const QString text = QStringLiteral(
        "[ProgramOptions.General]\r\nLoadLastProject=0\r\nCurrentProject=?($AppDirData)?p/"
        "demo.plv\r\n");
    TProgramOptions options = Load(text);
    EXPECT_TRUE(options.ProjectCurrentFilePath().isEmpty());
    EXPECT_TRUE(options.ProjectCurrentDirPath().isEmpty());

    options.SetProjectCurrentFilePath(QStringLiteral("/opt/plv/data/p/other.plv"));
    EXPECT_EQ(options.ProjectCurrentDirPath(), QStringLiteral("/opt/plv/data/p/other/"));
    ASSERT_TRUE(options.SaveToFile(OptionsPath(), FPlaceholders));
    EXPECT_TRUE(QString::fromUtf8(FTemp.ReadFile(QStringLiteral("config/options.ini")))
                    .contains(QStringLiteral("CurrentProject=?($AppDirData)?p/other.plv\r\n")));

    const TProgramOptions reloaded =
        Load(QStringLiteral("[ProgramOptions.General]\r\nLoadLastProject=1\r\nCurrentProject=?($"
                            "AppDirData)?p/demo.plv\r\n"));
    EXPECT_EQ(reloaded.ProjectCurrentFilePath(), QStringLiteral("/opt/plv/data/p/demo.plv"));
    EXPECT_EQ(reloaded.ProjectCurrentDirPath(), QStringLiteral("/opt/plv/data/p/demo/"));
}

TEST_F(ProgramOptionsTest, ReopenListStopsAtTheFirstMissingKey) {
    const TProgramOptions options =
        Load(QStringLiteral("[ReopenList]\r\n1=/a.plv\r\n2=/b.plv\r\n4=/d.plv\r\n"));
    EXPECT_EQ(options.FProjectReopenList,
              QStringList({QStringLiteral("/a.plv"), QStringLiteral("/b.plv")}));
    // Without key "1" the list stays as it was.
    TProgramOptions kept(FNow);
    kept.FProjectReopenList = {QStringLiteral("/keep.plv")};
    WriteOptions(QStringLiteral("[ReopenList]\r\n2=/b.plv\r\n"));
    kept.LoadFromFile(OptionsPath(), FPlaceholders);
    EXPECT_EQ(kept.FProjectReopenList, QStringList(QStringLiteral("/keep.plv")));
}

TEST_F(ProgramOptionsTest, PruneDropsMissingFilesThenCuts) {
    QStringList paths;
    for (int i = 1; i <= 5; ++i)
        paths << FTemp.WriteFile(QStringLiteral("p%1.plv").arg(i), "x");
    QFile::remove(paths[1]);
    TProgramOptions options(FNow);
    options.FProjectReopenList = paths;
    options.PruneReopenList(3);
    EXPECT_EQ(options.FProjectReopenList, QStringList({paths[0], paths[2], paths[3]}));
}

TEST_F(ProgramOptionsTest, TouchAndForgetIgnoreCase) {
    TProgramOptions options(FNow);
    options.FileExists = [](const QString&) { return true; };
    options.FProjectReopenList = {QStringLiteral("/p/A.plv"), QStringLiteral("/p/B.plv"),
                                  QStringLiteral("/p/C.plv")};
    options.PruneReopenList(3);
    options.TouchReopenList(QStringLiteral("/P/c.PLV"));
    EXPECT_EQ(options.FProjectReopenList,
              QStringList({QStringLiteral("/p/C.plv"), QStringLiteral("/p/A.plv"),
                           QStringLiteral("/p/B.plv")}));
    options.TouchReopenList(QStringLiteral("/p/D.plv"));
    EXPECT_EQ(options.FProjectReopenList,
              QStringList({QStringLiteral("/p/D.plv"), QStringLiteral("/p/C.plv"),
                           QStringLiteral("/p/A.plv")}));
    options.TouchReopenList(QString());
    EXPECT_EQ(options.FProjectReopenList.size(), 3);
    options.ForgetReopenList(QStringLiteral("/P/c.plv"));
    EXPECT_EQ(options.FProjectReopenList,
              QStringList({QStringLiteral("/p/D.plv"), QStringLiteral("/p/A.plv")}));
}

TEST_F(ProgramOptionsTest, SaveTidiesKeepsOtherSectionsAndWritesIdenticalBackup) {
    WriteOptions(
        QStringLiteral("[FormOptions]\r\n\r\n\r\npgcOptions.ActivePageIndex=2\r\n[ReopenList]\r\n"
                       "1=/x1.plv\r\n2=/x2.plv\r\n3=/x3.plv\r\n"));
    TProgramOptions options(FNow);
    options.FProjectReopenList = {QStringLiteral("/opt/plv/data/one.plv")};
    options.FProjectUserDefaultPath = QStringLiteral("/opt/plv/projects/default.plv");
    ASSERT_TRUE(options.SaveToFile(OptionsPath(), FPlaceholders));
    const QByteArray saved = FTemp.ReadFile(QStringLiteral("config/options.ini"));
    const QString text = QString::fromUtf8(saved);
    EXPECT_FALSE(saved.startsWith("\xEF\xBB\xBF"));
    EXPECT_TRUE(
        text.startsWith(QStringLiteral("[FormOptions]\r\npgcOptions.ActivePageIndex=2\r\n\r\n[")));
    EXPECT_FALSE(text.contains(QStringLiteral("\r\n\r\n\r\n")));
    EXPECT_TRUE(
        text.contains(QStringLiteral("UserDefaultProject=?($AppPath)?projects/default.plv\r\n")));
    EXPECT_TRUE(text.contains(QStringLiteral("[ReopenList]\r\n1=?($AppDirData)?one.plv\r\n\r\n")));
    // Keys of the longer old list must not come back.
    EXPECT_FALSE(text.contains(QStringLiteral("2=/x2.plv")));
    EXPECT_TRUE(text.contains(QStringLiteral("CheckUpdatesResCritErr=0\r\n")));
    EXPECT_EQ(FTemp.ReadFile(QStringLiteral("config/options.~ini")), saved);

    TProgramOptions reloaded(FNow);
    reloaded.LoadFromFile(OptionsPath(), FPlaceholders);
    EXPECT_EQ(reloaded.FProjectReopenList, QStringList(QStringLiteral("/opt/plv/data/one.plv")));
    EXPECT_EQ(reloaded.FCheckUpdatesLast, FNow);
}

TEST_F(ProgramOptionsTest, FailedSaveLeavesFileAndBackup) {
    // A folder stands where the file should go, so the write cannot succeed (permission bits
    // would not stop root).
    FTemp.WriteFile(QStringLiteral("config/options.ini/keep"), "kept");
    FTemp.WriteFile(QStringLiteral("config/options.~ini"), "old backup");
    TProgramOptions options(FNow);
    EXPECT_FALSE(options.SaveToFile(OptionsPath(), FPlaceholders));
    EXPECT_EQ(FTemp.ReadFile(QStringLiteral("config/options.ini/keep")), QByteArray("kept"));
    EXPECT_EQ(FTemp.ReadFile(QStringLiteral("config/options.~ini")), QByteArray("old backup"));
}

TEST(TidyIniText, Rules) {
    EXPECT_EQ(TidyIniText(QStringLiteral("[A]\r\n\r\nk=1\r\n\r\n\r\n[B]\r\nx=2\r\n\r\n")),
              QStringLiteral("[A]\r\nk=1\r\n\r\n[B]\r\nx=2\r\n"));
    EXPECT_EQ(TidyIniText(QStringLiteral("; note\r\n\r\n[A]\r\n")),
              QStringLiteral("; note\r\n\r\n[A]\r\n"));
    EXPECT_EQ(TidyIniText(QStringLiteral("[A]\r\nk=1\r\n[B]\r\n")),
              QStringLiteral("[A]\r\nk=1\r\n\r\n[B]\r\n"));
}

// A project path with line breaks (a legal file name) would be read back as further keys and
// sections, such as one turning the human safe mode off: it is left out of the file, and every
// other option is saved as it is.
TEST_F(ProgramOptionsTest, APathWithLineBreaksNeverBecomesOtherOptions) {
    const QString crafted = QStringLiteral(
        "/srv/x\n[ProgramOptions.Security]\nHumanSafeMode=0\n[ReopenList]\n1=/y.plv");
    WriteOptions(QString());
    TProgramOptions options(FNow);
    options.FProjectReopenList = {crafted, QStringLiteral("/srv/kept.plv")};
    options.FProjectUserDefaultPath = crafted;
    options.SetProjectCurrentFilePath(crafted);
    options.FProjectAlwaysLoadLast = true;
    ASSERT_TRUE(options.SaveToFile(OptionsPath(), FPlaceholders));

    TProgramOptions reloaded(FNow);
    reloaded.LoadFromFile(OptionsPath(), FPlaceholders);
    EXPECT_TRUE(reloaded.FHumanSafeMode);
    EXPECT_EQ(reloaded.FProjectReopenList, QStringList(QStringLiteral("/srv/kept.plv")));
    EXPECT_EQ(reloaded.FProjectUserDefaultPath, QString());
    EXPECT_EQ(reloaded.ProjectCurrentFilePath(), QString());
}
