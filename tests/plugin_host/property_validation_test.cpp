// The walks that ask a plugin about property values: which values it is asked about, when the
// walk stops, where a reported problem points, and the verification file it is handed.
#include "plugin_host/property_validation.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <optional>

#include "app/program_log.h"
#include "base/exceptions.h"
#include "base/stream_fields.h"
#include "plugin_host/internal_plugin_registry.h"
#include "plugin_host/plugin_descriptor.h"
#include "plugin_host/plugin_host.h"
#include "plugin_host/plugin_internal.h"
#include "tests/support/qstring_print.h"
#include "tests/support/temp_folders.h"

namespace {

// What the checking plugin finds wrong and what it was asked.
struct TCheckScript {
    QStringList BadBoxes;      // text box identifiers it complains about
    QStringList Asked;         // "box <id>=<text>", "row <cells joined by |>", "file <text>"
    QStringList FileNames;     // the verification files' names
    QByteArray FileBytes;      // the verification file's bytes as the plugin read them
    bool FileExisted = false;  // the file existed while the plugin looked at it
};

// Declares "Boxes" (text boxes a, b, c), "Rules" (a grid of two columns, rows ignored when all
// their cells are empty) and "Doc" (a file). It complains about the boxes named in the script,
// about grid rows whose two cells are equal (field 1), and about documents holding "bad" (at
// the position of that word).
class TCheckingPlugin : public TPluginInternal {
public:
    explicit TCheckingPlugin(TCheckScript& AScript) : FScript(AScript) {
        FInfo.StrID = QStringLiteral("zq_test_Checks");
        FInfo.PluginName = QStringLiteral("Checks");
        FInfo.PluginLoadingScheme = plsRequireKeepInMemory;
        FInfo.CanWorkCategory = PLV_CAN_WORK_FILES;
    }
    const TPluginInfoHost* PluginReturnInfo(const TExeInfoHost&) override { return &FInfo; }
    void PluginSetupInit(const TExeInfoHost&, IExeInitCallbacks& ACallbacks) override {
        ACallbacks.ExeMakePropName(QStringLiteral("Boxes"), QStringLiteral("Boxes"), vptTextBoxes,
                                   0, {}, {});
        ACallbacks.ExeMakePropName(QStringLiteral("Rules"), QStringLiteral("Rules"), vptGrid, 0, {},
                                   {});
        ACallbacks.ExeSetPropMetasGrid(QStringLiteral("Rules"), pgirlAllRowCellsEmpty);
        ACallbacks.ExeMakePropName(QStringLiteral("Doc"), QStringLiteral("Doc"), vptFile, 0, {},
                                   {});
    }
    void PluginSetupPreEdit(const TExeInfoHost&, IExePreEditCallbacks& ACallbacks) override {
        const QString boxes = QStringLiteral("Boxes");
        ACallbacks.ExeSetPropTextBoxValueCount(boxes, 3);
        for (const char* id : {"a", "b", "c"})
            ACallbacks.ExeSetPropTextBoxValue(boxes, QString::fromLatin1(id),
                                              QString::fromLatin1(id).toUpper(),
                                              QStringLiteral("default ") + QLatin1String(id));
        const QString rules = QStringLiteral("Rules");
        ACallbacks.ExeSetPropGridColumnCount(rules, 2);
        ACallbacks.ExeAddPropGridColumn(rules, QStringLiteral("find"), QStringLiteral("Find"), {},
                                        0);
        // A value list: the default of the first row is ";b;a;b;c".
        ACallbacks.ExeAddPropGridColumn(rules, QStringLiteral("mode"), QStringLiteral("Mode"), {},
                                        PLV_COL_FLAG_VALUE_LIST);
        ACallbacks.ExeSetPropDefaultGridValueCount(rules, 2);
        ACallbacks.ExeAddPropDefaultGridValue(rules, 0, 0, QStringLiteral("b"));
        ACallbacks.ExeAddPropDefaultGridValue(rules, 1, 0, QStringLiteral(";b;a;b;c"));
        ACallbacks.ExeSetPropDefaultFileValue(QStringLiteral("Doc"), QStringLiteral("none.txt"), 0);
    }
    void PluginVerifyPropTextBoxValue(const QString&, const QString& AID, const QString& AValue,
                                      const TExeHandleEditPropTextBoxErrorMsg& AHandler) override {
        FScript.Asked << QStringLiteral("box %1=%2").arg(AID, AValue);
        if (FScript.BadBoxes.contains(AID))
            AHandler(AID, QStringLiteral("Box %1 is wrong.").arg(AID),
                     QStringLiteral("Fix box %1.").arg(AID));
    }
    void PluginPrepareVerifyGridRow(const QString&) override { FRow.clear(); }
    void PluginAddVerifyPropGridValue(const QString&, const QString& AValue) override {
        FRow << AValue;
    }
    void PluginEndVerifyGridRow(const QString&,
                                const TExeHandleEditPropGridErrorMsg& AHandler) override {
        FScript.Asked << QStringLiteral("row ") + FRow.join(QLatin1Char('|'));
        if (FRow.size() == 2 && FRow[0] == FRow[1])
            AHandler(1, QStringLiteral("Value is wrong."), QStringLiteral("Make them differ."));
    }
    void PluginVerifyPropFileValue(const QString&, const QString& APath,
                                   const TExeHandleEditPropFileErrorMsg& AHandler) override {
        FScript.FileNames << QFileInfo(APath).fileName();
        QFile file(APath);
        FScript.FileExisted = file.open(QIODevice::ReadOnly);
        FScript.FileBytes = file.readAll();
        const QString text =
            QString::fromUtf16(reinterpret_cast<const char16_t*>(FScript.FileBytes.constData()),
                               FScript.FileBytes.size() / 2);
        FScript.Asked << QStringLiteral("file ") + text;
        if (const qsizetype at = text.indexOf(QStringLiteral("bad")); at >= 0)
            AHandler(static_cast<std::int32_t>(at), QStringLiteral("Bad word."),
                     QStringLiteral("Remove it."));
    }

private:
    TCheckScript& FScript;
    TPluginInfoHost FInfo;
    QStringList FRow;
};

class PropertyValidationTest : public ::testing::Test {
protected:
    PropertyValidationTest() {
        FLog.FLogFileName = FTemp.Path(QStringLiteral("program.log"));
        FTempFolder = FTemp.MakeFolder(QStringLiteral("temp"));
        FRegistry.AddOwn([this] { return std::make_unique<TCheckingPlugin>(FScript); },
                         QStringLiteral("Checks"));
        FHost = std::make_unique<TPluginHost>(
            FRegistry,
            TPluginHostSetup{FTemp.MakeFolder(QStringLiteral("modules")), FTempFolder, &FLog});
        FHost->Discover();
        FPlugin = FHost->FindByStrID(QStringLiteral("zq_test_Checks"));
        FPlugin->LoadPlugin();
    }
    const TPluginProperty& Property(const char* AName) const {
        return *FPlugin->GetPropertyByName(QString::fromLatin1(AName));
    }

    TTempFolder FTemp;
    QString FTempFolder;
    TqvLogging FLog;
    TCheckScript FScript;
    TCollectionInternalPluginTypes FRegistry;
    std::unique_ptr<TPluginHost> FHost;
    TPluginStoredLibInfo* FPlugin = nullptr;
};

const std::vector<TTextBoxCheckValue> KThreeBoxes = {{QStringLiteral("a"), QStringLiteral("1")},
                                                     {QStringLiteral("b"), QStringLiteral("2")},
                                                     {QStringLiteral("c"), QStringLiteral("3")}};

// What the user answers to a text box problem, and what the walk then does.
struct TTextBoxCase {
    const char* Name;
    std::optional<bool> Answer;  // none: the page has no such box
    bool Result;
    QStringList Asked;
};

class TextBoxWalkTest : public PropertyValidationTest,
                        public ::testing::WithParamInterface<TTextBoxCase> {};

TEST_P(TextBoxWalkTest, StopsOnlyWhenTheUserCancels) {
    FScript.BadBoxes = {QStringLiteral("b")};
    QStringList messages;
    const bool result = VerifyTextBoxValues(*FPlugin, QStringLiteral("Boxes"), KThreeBoxes,
                                            [&](const QString& AID, const QString& AMessage) {
                                                messages << AID + QLatin1Char(':') + AMessage;
                                                return GetParam().Answer;
                                            });
    EXPECT_EQ(result, GetParam().Result);
    EXPECT_EQ(FScript.Asked, GetParam().Asked);
    EXPECT_EQ(messages, QStringList{QStringLiteral("b:Box b is wrong.\r\n\r\nFix box b.")});
}

const QStringList KAskedAll = {QStringLiteral("box a=1"), QStringLiteral("box b=2"),
                               QStringLiteral("box c=3")};

INSTANTIATE_TEST_SUITE_P(
    Answers, TextBoxWalkTest,
    ::testing::Values(TTextBoxCase{"Cancel",
                                   false,
                                   false,
                                   {QStringLiteral("box a=1"), QStringLiteral("box b=2")}},
                      TTextBoxCase{"Ok", true, true, KAskedAll},
                      TTextBoxCase{"NoSuchBox", std::nullopt, true, KAskedAll}),
    [](const ::testing::TestParamInfo<TTextBoxCase>& AInfo) { return AInfo.param.Name; });

TEST_F(PropertyValidationTest, GridWalkSkipsIgnoredRowsButCountsThemForTheRow) {
    // Row 1 is empty and ignored; the problem in row 2 is reported on row 2.
    QStringList cells = {QStringLiteral("x"), QStringLiteral("y"), QString(),
                         QString(),           QStringLiteral("z"), QStringLiteral("z")};
    std::vector<std::tuple<int, int, QString>> problems;
    const bool result = VerifyGridValues(*FPlugin, Property("Rules"), cells, 2,
                                         [&](int ARow, int AColumn, const QString& AMessage) {
                                             problems.emplace_back(ARow, AColumn, AMessage);
                                         });
    EXPECT_FALSE(result);
    EXPECT_EQ(FScript.Asked, (QStringList{QStringLiteral("row x|y"), QStringLiteral("row z|z")}));
    ASSERT_EQ(problems.size(), 1u);
    EXPECT_EQ(std::get<0>(problems[0]), 2);
    EXPECT_EQ(std::get<1>(problems[0]), 1);
    EXPECT_EQ(std::get<2>(problems[0]), QStringLiteral("Value is wrong.\r\nMake them differ."));
}

TEST_F(PropertyValidationTest, GridWalkStopsAtTheFirstProblem) {
    QStringList cells = {QStringLiteral("a"), QStringLiteral("a"), QStringLiteral("b"),
                         QStringLiteral("b")};
    int reported = 0;
    EXPECT_FALSE(VerifyGridValues(*FPlugin, Property("Rules"), cells, 2,
                                  [&](int, int, const QString&) { ++reported; }));
    EXPECT_EQ(reported, 1);
    EXPECT_EQ(FScript.Asked, QStringList{QStringLiteral("row a|a")});
}

TEST_F(PropertyValidationTest, FileWalkHandsOverAUtf16FileAndDeletesItAfterwards) {
    // A name that is taken, by a file or by a link pointing elsewhere, is passed over.
    FTemp.WriteFile(QStringLiteral("temp/temp1.tmp"), "keep");
    const QString elsewhere = FTemp.WriteFile(QStringLiteral("elsewhere.txt"), "outside");
    ASSERT_TRUE(QFile::link(elsewhere, FTempFolder + QStringLiteral("temp2.tmp")));
    const QString document = QStringLiteral("K\u00e4se\r\nbad line");
    std::vector<std::pair<int, QString>> problems;
    const bool result = VerifyFileValue(
        *FPlugin, QStringLiteral("Doc"), document, FTempFolder,
        [&](int APos, const QString& AMessage) { problems.emplace_back(APos, AMessage); });
    EXPECT_FALSE(result);
    EXPECT_EQ(FScript.FileNames, QStringList{QStringLiteral("temp3.tmp")});
    EXPECT_TRUE(FScript.FileExisted);
    // UTF-16 LE without a byte-order mark.
    QByteArray expected;
    for (const QChar c : document) {
        expected.append(static_cast<char>(c.unicode() & 0xFF));
        expected.append(static_cast<char>(c.unicode() >> 8));
    }
    EXPECT_EQ(FScript.FileBytes, expected);
    ASSERT_EQ(problems.size(), 1u);
    EXPECT_EQ(problems[0].first, 6);
    EXPECT_EQ(problems[0].second, QStringLiteral("Bad word.\r\n\r\nRemove it."));
    EXPECT_FALSE(QFileInfo::exists(FTempFolder + QStringLiteral("temp3.tmp")));
    EXPECT_EQ(FTemp.ReadFile(QStringLiteral("temp/temp1.tmp")), QByteArray("keep"));
    EXPECT_EQ(FTemp.ReadFile(QStringLiteral("elsewhere.txt")), QByteArray("outside"));
}

TEST_F(PropertyValidationTest, AFileThatCannotBeWrittenIsAnErrorAndThePluginIsNotAsked) {
    // The temporary folder's place holds a file: nothing can be created below it.
    const QString notAFolder = FTemp.WriteFile(QStringLiteral("not a folder"), "x");
    EXPECT_THROW(VerifyFileValue(*FPlugin, QStringLiteral("Doc"), QStringLiteral("text"),
                                 notAFolder + QLatin1Char('/'), {}),
                 EqvOperationNotPossible);
    EXPECT_TRUE(FScript.Asked.isEmpty());
    EXPECT_EQ(FTemp.ReadFile(QStringLiteral("not a folder")), QByteArray("x"));
    EXPECT_THROW(WriteVerificationFile(QString(), QStringLiteral("text")), EqvParamWrong);
}

TEST_F(PropertyValidationTest, PageValuesComeFromTheStoredStreamOrTheDeclaration) {
    // Text boxes: stored values over the defaults, by identifier.
    TStreamWriter boxes;
    boxes.WriteInt32(2);
    boxes.WriteAnsiString(QStringLiteral("c"));
    boxes.WriteUtf8String(QStringLiteral("stored c"));
    boxes.WriteAnsiString(QStringLiteral("gone"));
    boxes.WriteUtf8String(QStringLiteral("dropped"));
    const std::vector<TTextBoxCheckValue> values = TextBoxValuesOf(Property("Boxes"), boxes.Data());
    ASSERT_EQ(values.size(), 3u);
    EXPECT_EQ(values[0].Text, QStringLiteral("default a"));
    EXPECT_EQ(values[2].Text, QStringLiteral("stored c"));

    // Grid defaults: a value-list default shows its own value, not the list.
    int colCount = 0;
    EXPECT_EQ(GridValuesOf(Property("Rules"), {}, colCount),
              (QStringList{QStringLiteral("b"), QStringLiteral("b")}));
    EXPECT_EQ(colCount, 2);

    // Stored grid: columns mapped by identifier, unknown ones dropped, line breaks removed,
    // a value outside the list replaced by its first item.
    TStreamWriter grid;
    grid.WriteInt32(3);
    grid.WriteAnsiString(QStringLiteral("mode"));
    grid.WriteAnsiString(QStringLiteral("gone"));
    grid.WriteAnsiString(QStringLiteral("find"));
    grid.WriteInt32(3);
    for (const auto& [col, value] :
         std::vector<std::pair<int, QString>>{{0, QStringLiteral("z")},
                                              {1, QStringLiteral("lost")},
                                              {2, QStringLiteral("two\r\nlines")}}) {
        grid.WriteInt32(col);
        grid.WriteInt32(0);
        grid.WriteUtf8String(value);
    }
    EXPECT_EQ(GridValuesOf(Property("Rules"), grid.Data(), colCount),
              (QStringList{QStringLiteral("twolines"), QStringLiteral("a")}));

    // A missing default file gives an empty document; a stored one is taken.
    EXPECT_EQ(FileDocumentOf(Property("Doc"), {}), QString());
    TStreamWriter doc;
    doc.WriteUtf8String(QStringLiteral("stored"));
    EXPECT_EQ(FileDocumentOf(Property("Doc"), doc.Data()), QStringLiteral("stored"));
}

TEST_F(PropertyValidationTest, ACombinationCheckStopsAtTheFirstFailingProperty) {
    FScript.BadBoxes = {QStringLiteral("a")};
    TCombinationCheckReports reports;
    QStringList shown;
    reports.AskKeepTextBox = [&](const TPropertyProblem& AProblem, const QString& AMessage) {
        shown << AProblem.PropName + QLatin1Char(':') + AProblem.TextBoxID + QLatin1Char(':') +
                     AMessage;
        return true;  // keep it: the walk goes on
    };
    reports.ShowProblem = [&](const TPropertyProblem& AProblem, const QString& AMessage) {
        shown << QStringLiteral("%1:%2:%3:%4")
                     .arg(AProblem.PropName)
                     .arg(AProblem.DataRow)
                     .arg(AProblem.Column)
                     .arg(AMessage);
    };
    // The defaults of the grid are "b", "b": equal, so the grid fails; the file is not asked.
    const std::optional<TPropertyProblem> problem =
        VerifyCombinationValues(*FPlugin, {}, FTempFolder, reports);
    ASSERT_TRUE(problem.has_value());
    EXPECT_EQ(problem->PropName, QStringLiteral("Rules"));
    EXPECT_EQ(shown,
              (QStringList{QStringLiteral("Boxes:a:Box a is wrong.\r\n\r\nFix box a."),
                           QStringLiteral("Rules:0:1:Value is wrong.\r\nMake them differ.")}));
    EXPECT_FALSE(FScript.Asked.join(QLatin1Char(',')).contains(QStringLiteral("file")));

    // Skipping the grid (its page was checked already) reaches the file.
    FScript.Asked.clear();
    EXPECT_FALSE(
        VerifyCombinationValues(*FPlugin, {}, FTempFolder, reports, QStringLiteral("Rules"))
            .has_value());
    EXPECT_TRUE(FScript.Asked.contains(QStringLiteral("file ")));
}

}  // namespace
