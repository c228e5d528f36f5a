#include "project/module_config_stream.h"

#include <gtest/gtest.h>

#include <functional>

#include "base/exceptions.h"
#include "base/stream_fields.h"
#include "plugin_host/plugin_descriptor.h"
#include "plugin_host/plugin_host.h"
#include "tests/project/test_plugins.h"

namespace {

const QString KProjectFile = QStringLiteral("/projects/site.plv");

// The error text of a call that must fail with E.
template <typename E>
QString ErrorOf(const std::function<void()>& ACall) {
    try {
        ACall();
    } catch (const E& e) {
        return e.Message();
    } catch (const std::exception& e) {
        return QStringLiteral("<other error> ") + QString::fromUtf8(e.what());
    }
    return QStringLiteral("<no error>");
}

QStringList Rows(const TCombinationList& AList) {
    QStringList rows;
    for (const TCombinationEntry& entry : AList.Entries())
        rows << entry.Pattern->PatType + QLatin1Char('>') + entry.Plugin->FPluginInfoHost.StrID;
    return rows;
}

QByteArray Int32Bytes(std::int32_t AValue) {
    TStreamWriter writer;
    writer.WriteInt32(AValue);
    return writer.TakeData();
}

// One combination whose property count is APropCount and that has no properties after it.
QByteArray StreamWithPropCount(const QString& AFilter, const QString& AStrID,
                               std::int32_t APropCount) {
    TStreamWriter writer;
    writer.WriteInt32(1);
    writer.WriteUtf8String(AFilter);
    writer.WriteByte(1);
    writer.WriteUtf8String(AStrID);
    writer.WriteInt32(APropCount);
    return writer.TakeData();
}

class ModuleConfigStreamTest : public ProjectPluginsTest {
protected:
    TPluginStoredLibInfo* Plugin(const QString& AStrID) { return &FPlugins.Plugin(AStrID); }
};

}  // namespace

TEST(ModuleConfigHexText, BytesLastToFirstInUpperCasePairs) {
    struct TCase {
        QByteArray Bytes;
        QString Text;
    };
    const std::vector<TCase> cases = {
        {{}, {}},
        {QByteArray("\x01\xAB", 2), QStringLiteral("AB01")},
        {QByteArray("\x00\xFF\x10", 3), QStringLiteral("10FF00")},
        {QByteArray(4, '\0'), QStringLiteral("00000000")},
    };
    for (const TCase& c : cases) {
        EXPECT_EQ(StreamToHexText(c.Bytes), c.Text);
        EXPECT_EQ(HexTextToStream(c.Text, KProjectFile), c.Bytes);
        EXPECT_EQ(HexTextToStream(c.Text.toLower(), KProjectFile), c.Bytes);
    }
}

TEST(ModuleConfigHexText, DamagedTextIsRejectedNamingTheProjectFile) {
    for (const QString& text : {QStringLiteral("ABC"), QStringLiteral("0G"), QStringLiteral("00 0"),
                                QStringLiteral("+1")}) {
        const QString error =
            ErrorOf<EqvValueOutOfValidRangeError>([&] { HexTextToStream(text, KProjectFile); });
        EXPECT_TRUE(error.contains(QStringLiteral("\"/projects/site.plv\"")))
            << text.toStdString() << ": " << error.toStdString();
    }
    EXPECT_TRUE(ErrorOf<EqvValueOutOfValidRangeError>([&] {
                    HexTextToStream(QStringLiteral("ABC"), KProjectFile);
                }).contains(QStringLiteral("odd number of hexadecimal digits (3)")));
}

TEST_F(ModuleConfigStreamTest, EmptyListIsFourZeroBytes) {
    TCombinationList list(FPlugins.Host());
    EXPECT_EQ(OwnSavePerstStreamData_Memory(list), QByteArray(4, '\0'));
    EXPECT_EQ(OwnSavePerstStreamData_HexStr(list), QStringLiteral("00000000"));
    for (const QString& text : {QStringLiteral("00000000"), QString()}) {
        list.AddItem(QStringLiteral("*.*"), false, Plugin(KFilesID));
        EXPECT_TRUE(OwnLoadPerstStreamData_HexStr(list, text, KProjectFile).empty());
        EXPECT_EQ(list.Count(), 0);
    }
}

TEST_F(ModuleConfigStreamTest, WritesEveryDeclaredPropertyInDeclarationOrder) {
    TCombinationList list(FPlugins.Host());
    list.AddItem(QStringLiteral("*.htm"), false, Plugin(KFilesID));
    list.AddItem(QStringLiteral("/"), false, Plugin(KAllID));
    list.SetValueStream(0, QStringLiteral("Opt"), StoredSingle(QStringLiteral("off")));
    list.SetValueStream(1, QStringLiteral("Boxes"), QByteArray("\x00\xFF", 2));

    TStreamWriter expected;
    expected.WriteInt32(2);
    expected.WriteUtf8String(QStringLiteral("*.htm"));
    expected.WriteByte(1);
    expected.WriteUtf8String(KFilesID);
    expected.WriteInt32(1);
    expected.WriteUtf8String(QStringLiteral("Opt"));
    expected.WriteInt32(7);
    expected.WriteBytes(StoredSingle(QStringLiteral("off")));
    expected.WriteUtf8String(QStringLiteral("/"));
    expected.WriteByte(1);
    expected.WriteUtf8String(KAllID);
    expected.WriteInt32(6);
    for (const char* name : {"Mode", "Set", "Boxes", "Rules", "Doc", "Custom"}) {
        expected.WriteUtf8String(QString::fromLatin1(name));
        const bool boxes = QByteArray(name) == "Boxes";
        expected.WriteInt32(boxes ? 2 : 0);
        if (boxes)
            expected.WriteBytes(QByteArray("\x00\xFF", 2));
    }
    EXPECT_EQ(OwnSavePerstStreamData_Memory(list), expected.Data());
    EXPECT_EQ(OwnSavePerstStreamData_HexStr(list), StreamToHexText(expected.Data()));
}

TEST_F(ModuleConfigStreamTest, RoundTripKeepsFiltersPluginsAndStreams) {
    TCombinationList list(FPlugins.Host());
    list.AddItem(QStringLiteral(":"), false, Plugin(KRootID));
    list.AddItem(QStringLiteral("\\reports\\"), true, Plugin(KDirsID));
    list.AddItem(QStringLiteral("*.*"), false, Plugin(KAllID));
    list.SetValueStream(2, QStringLiteral("Doc"), StoredFile(QStringLiteral("Zoë ✓\r\n")));
    list.SetValueStream(2, QStringLiteral("Custom"), QByteArray("\x00\x01\xFE\xFF", 4));
    const QString hex = OwnSavePerstStreamData_HexStr(list);

    // A fresh list with a fresh registry, as after a program start.
    TCombinationList loaded(FPlugins.Host());
    EXPECT_TRUE(OwnLoadPerstStreamData_HexStr(loaded, hex, KProjectFile).empty());
    EXPECT_EQ(Rows(loaded), Rows(list));
    for (int i = 0; i < list.Count(); ++i)
        EXPECT_EQ(loaded.At(i).Values, list.At(i).Values) << i;
    EXPECT_FALSE(loaded.Changed());
    // Read filters are registered with the kinds they stand for.
    EXPECT_EQ(loaded.At(0).Pattern->CanWorkCategory, PLV_CAN_WORK_ROOT);
    EXPECT_EQ(loaded.At(1).Pattern->CanWorkCategory, PLV_CAN_WORK_DIRECTORIES);
    EXPECT_EQ(loaded.At(1).Pattern->PatAddType, patUser);
}

// A stored filter's kind is that of the text the engine matches: written with "\\", it is the
// directory filter it is matched as, so a files-only plugin is never handed folders through it.
TEST_F(ModuleConfigStreamTest, DirectoryFilterKeepsItsKindSoDirectoryPluginsStayAttached) {
    const QByteArray stream = ModuleConfigStream({
        {QStringLiteral("/reports"), KDirsID, {}, {}},
        {QStringLiteral("reports"), KDirsID, {}, {}},
        {QStringLiteral(":"), KRootID, {}, {}},
        {QStringLiteral("/"), KFilesID, {}, {}},
        {QStringLiteral("\\"), KFilesID, {}, {}},
        {QStringLiteral("\\img*"), KFilesID, {}, {}},
        {QStringLiteral("\\img*"), KDirsID, {}, {}},
    });
    TCombinationList list(FPlugins.Host());
    const auto dropped = OwnLoadPerstStreamData_Memory(list, stream, KProjectFile);
    EXPECT_EQ(Rows(list), QStringList({QStringLiteral("/reports>zq_test_dirs"),
                                       QStringLiteral(":>zq_test_root"),
                                       QStringLiteral("\\img*>zq_test_dirs")}));
    ASSERT_EQ(dropped.size(), 4u);
    EXPECT_EQ(dropped[0].Position, 2);
    EXPECT_EQ(dropped[0].Reason, TDroppedCombination::TReason::FilterNotAccepted);
    EXPECT_EQ(dropped[1].Position, 4);
    EXPECT_EQ(DroppedCombinationText(dropped[1]),
              QStringLiteral("Combination 4 (filter \"/\"): the plugin \"zq_test_files\" does not "
                             "accept this filter."));
    for (std::size_t i = 2; i < 4; ++i) {
        EXPECT_EQ(dropped[i].Position, static_cast<int>(i + 3));
        EXPECT_EQ(dropped[i].Reason, TDroppedCombination::TReason::FilterNotAccepted);
    }
}

TEST_F(ModuleConfigStreamTest, MissingPluginIsDroppedReportedAndGoneAfterTheNextSave) {
    TCombinationList list(FPlugins.Host());
    list.AddItem(QStringLiteral("*.txt"), false, Plugin(KFilesID));
    list.AddItem(QStringLiteral("*.*"), false, Plugin(KAllID));
    list.AddItem(QStringLiteral("*.css"), false, Plugin(KFilesID));
    list.SetValueStream(1, QStringLiteral("Mode"), StoredSingle(QStringLiteral("a")));
    list.SetValueStream(2, QStringLiteral("Opt"), StoredSingle(QStringLiteral("off")));
    const QByteArray saved = OwnSavePerstStreamData_Memory(list);

    FPlugins.Declaration(QStringLiteral("All")).Installed = false;
    TPluginHost& host = FPlugins.Discover();
    TCombinationList loaded(host);
    const auto dropped = OwnLoadPerstStreamData_Memory(loaded, saved, KProjectFile, &FLog);

    // The entries after the missing one are read correctly.
    EXPECT_EQ(Rows(loaded), QStringList({QStringLiteral("*.txt>zq_test_files"),
                                         QStringLiteral("*.css>zq_test_files")}));
    EXPECT_EQ(loaded.ValueStream(1, QStringLiteral("Opt")), StoredSingle(QStringLiteral("off")));
    ASSERT_EQ(dropped.size(), 1u);
    EXPECT_EQ(dropped[0].Position, 2);
    EXPECT_EQ(dropped[0].Filter, QStringLiteral("*.*"));
    EXPECT_EQ(dropped[0].PluginStrID, KAllID);
    EXPECT_EQ(dropped[0].Reason, TDroppedCombination::TReason::PluginNotInstalled);
    EXPECT_TRUE(LogText().contains(
        QStringLiteral("Project file \"/projects/site.plv\": combination left out. Combination 2 "
                       "(filter \"*.*\"): the plugin \"zq_test_all\" is not installed.")))
        << LogText().toStdString();

    TCombinationList again(host);
    OwnLoadPerstStreamData_Memory(again, OwnSavePerstStreamData_Memory(loaded), KProjectFile);
    EXPECT_EQ(Rows(again), Rows(loaded));
}

TEST_F(ModuleConfigStreamTest, EntryWithoutPluginIsSkippedAndReported) {
    const QByteArray stream = ModuleConfigStream({
        {QStringLiteral("*.a"), std::nullopt, {}, {}},
        {QStringLiteral("*.b"), KFilesID, {{QStringLiteral("Opt"), {}}}, {}},
    });
    TCombinationList list(FPlugins.Host());
    const auto dropped = OwnLoadPerstStreamData_Memory(list, stream, KProjectFile);
    EXPECT_EQ(Rows(list), QStringList({QStringLiteral("*.b>zq_test_files")}));
    ASSERT_EQ(dropped.size(), 1u);
    EXPECT_EQ(dropped[0].Reason, TDroppedCombination::TReason::NoPlugin);
}

TEST_F(ModuleConfigStreamTest, NewPropertyGetsItsDefaultsAndOlderOnesKeepTheirValues) {
    TCombinationList list(FPlugins.Host());
    list.AddItem(QStringLiteral("*.*"), false, Plugin(KFilesID));
    list.SetValueStream(0, QStringLiteral("Opt"), StoredSingle(QStringLiteral("off")));
    const QByteArray saved = OwnSavePerstStreamData_Memory(list);

    TTestPluginDecl& files = FPlugins.Declaration(QStringLiteral("Files"));
    files.ExtraProps = QStringList({QStringLiteral("Fresh"), QStringLiteral("Opt")});
    TCombinationList loaded(FPlugins.Discover());
    OwnLoadPerstStreamData_Memory(loaded, saved, KProjectFile);
    ASSERT_EQ(loaded.Count(), 1);
    const TPropertyStreams expected = {
        {QStringLiteral("Fresh"), {}},
        {QStringLiteral("Opt"), StoredSingle(QStringLiteral("off"))}};
    EXPECT_EQ(loaded.At(0).Values, expected);
    EXPECT_EQ(FPlugins.Deliver(loaded.BatchCombinations()[0]),
              QStringList({QStringLiteral("ChoiceValue(Fresh,on)"),
                           QStringLiteral("ChoiceValue(Opt,off)")}));
}

TEST_F(ModuleConfigStreamTest, FilterDifferingOnlyInCaseIsReadAsTheRegisteredPattern) {
    const QByteArray stream = ModuleConfigStream({
        {QStringLiteral("*.HTM"), KFilesID, {}, {}},
        {QStringLiteral("*.XHT"), KFilesID, {}, {}},
        {QStringLiteral("*.xht"), KFilesID, {}, {}},
    });
    TCombinationList list(FPlugins.Host());
    OwnLoadPerstStreamData_Memory(list, stream, KProjectFile);
    EXPECT_EQ(Rows(list), QStringList({QStringLiteral("*.htm>zq_test_files"),
                                       QStringLiteral("*.XHT>zq_test_files"),
                                       QStringLiteral("*.XHT>zq_test_files")}));
    EXPECT_EQ(list.At(0).Pattern->PatAddType, patPlugin);
    EXPECT_EQ(list.At(1).Pattern, list.At(2).Pattern);
}

TEST_F(ModuleConfigStreamTest, DamagedStreamsFailNamingTheFileAndLeaveTheListAsItWas) {
    TCombinationList list(FPlugins.Host());
    list.AddItem(QStringLiteral("*.txt"), false, Plugin(KFilesID));
    const QByteArray opt = StoredSingle(QStringLiteral("on"));
    const QByteArray good = ModuleConfigStream({{QStringLiteral("*.a"), KFilesID, {}, {}}});
    struct TCase {
        const char* Name;
        QByteArray Stream;
        const char* Expected;
    };
    const std::vector<TCase> cases = {
        {"value size beyond the end",
         ModuleConfigStream(
             {{QStringLiteral("*.a"), KFilesID, {{QStringLiteral("Opt"), opt}}, 100}}),
         "claims 100 bytes"},
        {"negative value size",
         ModuleConfigStream(
             {{QStringLiteral("*.a"), KFilesID, {{QStringLiteral("Opt"), opt}}, -1}}),
         "claims -1 bytes"},
        {"oversized value of a missing plugin",
         ModuleConfigStream(
             {{QStringLiteral("*.a"), QStringLiteral("zq_gone"), {{QStringLiteral("X"), opt}}, 9}}),
         "claims 9 bytes"},
        {"cut short", good.left(good.size() - 2), "Stream ends too early"},
        {"count beyond the entries", Int32Bytes(2) + good.mid(4), "Stream ends too early"},
        {"negative entry count", Int32Bytes(-1), "entry count is negative (-1)"},
        {"negative entry count before entries", Int32Bytes(-2) + good.mid(4),
         "entry count is negative (-2)"},
        {"negative property count", StreamWithPropCount(QStringLiteral("*.a"), KFilesID, -3),
         "property count of combination 1 is negative (-3)"},
        {"bytes after the last entry", good + QByteArray("\x00\x01\x02", 3),
         "3 bytes follow the last combination"},
        {"bytes after an empty list", Int32Bytes(0) + QByteArray(1, '\0'),
         "1 bytes follow the last combination"},
        {"undeclared property",
         ModuleConfigStream(
             {{QStringLiteral("*.a"), KFilesID, {{QStringLiteral("Gone"), opt}}, {}}}),
         "Property: \"Gone\" does not seem to exist in plugin"},
    };
    for (const TCase& c : cases) {
        QString error = QStringLiteral("<no error>");
        try {
            OwnLoadPerstStreamData_Memory(list, c.Stream, KProjectFile);
        } catch (const EqvException& e) {
            error = e.Message();
        }
        EXPECT_TRUE(error.startsWith(QStringLiteral("Project file \"/projects/site.plv\"")))
            << c.Name << ": " << error.toStdString();
        EXPECT_TRUE(error.contains(QString::fromUtf8(c.Expected)))
            << c.Name << ": " << error.toStdString();
        EXPECT_EQ(Rows(list), QStringList({QStringLiteral("*.txt>zq_test_files")})) << c.Name;
    }
}
