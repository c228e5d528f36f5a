#include "plugin_host/property_values.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <tuple>
#include <vector>

#include "app/program_log.h"
#include "base/exceptions.h"
#include "base/stream_fields.h"
#include "plugin_host/internal_plugin_registry.h"
#include "plugin_host/plugin_descriptor.h"
#include "plugin_host/plugin_host.h"
#include "plugin_host/plugin_internal.h"
#include "plugin_host/plugin_property.h"
#include "tests/support/stored_streams.h"
#include "tests/support/temp_folders.h"

// Readable failure output for the recorded calls.
void PrintTo(const QString& AText, std::ostream* AOut) {
    *AOut << '"' << AText.toStdString() << '"';
}

namespace {

const QString KNoPage = QStringLiteral(
    "\"GetPluginPropFrameClass\" failed to find correct descendant of \"TFrameCommonClass\"");

// An internal plugin that declares one property of every kind and writes down every value call
// it receives, file values with the value file's name and content at the time of the call.
class TRecordingPlugin : public TPluginInternal {
public:
    TRecordingPlugin(QStringList& ACalls, QString AValueFolder, TPropGridIgnoreRowsLevel AGridLevel)
        : FCalls(ACalls), FValueFolder(std::move(AValueFolder)), FGridLevel(AGridLevel) {
        FInfo.StrID = QStringLiteral("zq_kestrin_Recorder");
        FInfo.PluginName = QStringLiteral("Recorder");
        FInfo.PluginLoadingScheme = plsRequireKeepInMemory;
    }

    const TPluginInfoHost* PluginReturnInfo(const TExeInfoHost&) override { return &FInfo; }

    void PluginSetupInit(const TExeInfoHost&, IExeInitCallbacks& ACallbacks) override {
        const auto declare = [&](const char* AName, TVisualPropType AKind) {
            ACallbacks.ExeMakePropName(QString::fromLatin1(AName), QString::fromLatin1(AName),
                                       AKind, 0, {}, {});
        };
        declare("Mode", vtpChoiceSingle);
        declare("Pick", vtpChoiceSingle);
        declare("Bare", vtpChoiceSingle);
        declare("Set", vtpChoiceMultiple);
        declare("Boxes", vptTextBoxes);
        declare("Rules", vptGrid);
        declare("Doc", vptFile);
        declare("Notes", vptFile);
        declare("Custom", vptCustom);
        declare("Broken", vptErrorOccured);
        ACallbacks.ExeSetPropMetasGrid(QStringLiteral("Rules"), FGridLevel);
    }

    void PluginSetupPreEdit(const TExeInfoHost&, IExePreEditCallbacks& ACallbacks) override {
        const QString mode = QStringLiteral("Mode");
        ACallbacks.ExeSetPropChoiceValueCount(mode, 3);
        ACallbacks.ExeAddPropChoiceValue(mode, QStringLiteral("a"), QStringLiteral("Alpha"), false);
        ACallbacks.ExeAddPropChoiceValue(mode, QStringLiteral("b"), QStringLiteral("Beta"), true);
        ACallbacks.ExeAddPropChoiceValue(mode, QStringLiteral("c"), QStringLiteral("Gamma"), false);

        const QString pick = QStringLiteral("Pick");
        ACallbacks.ExeSetPropChoiceValueCount(pick, 2);
        ACallbacks.ExeAddPropChoiceValue(pick, QStringLiteral("x"), QStringLiteral("X"), false);
        ACallbacks.ExeAddPropChoiceValue(pick, QStringLiteral("y"), QStringLiteral("Y"), false);

        const QString set = QStringLiteral("Set");
        ACallbacks.ExeSetPropChoiceValueCount(set, 3);
        ACallbacks.ExeAddPropChoiceValue(set, QStringLiteral("a"), QStringLiteral("Alpha"), true);
        ACallbacks.ExeAddPropChoiceValue(set, QStringLiteral("b"), QStringLiteral("Beta"), false);
        ACallbacks.ExeAddPropChoiceValue(set, QStringLiteral("c"), QStringLiteral("Gamma"), true);

        const QString boxes = QStringLiteral("Boxes");
        ACallbacks.ExeSetPropTextBoxValueCount(boxes, 2);
        ACallbacks.ExeSetPropTextBoxValue(boxes, QStringLiteral("user"), QStringLiteral("User"),
                                          QStringLiteral("anna"));
        ACallbacks.ExeSetPropTextBoxValue(boxes, QStringLiteral("port"), QStringLiteral("Port"),
                                          QStringLiteral("21"));

        // Defaults only in the third row; "replace" is the multi-line column.
        const QString rules = QStringLiteral("Rules");
        ACallbacks.ExeSetPropGridColumnCount(rules, 3);
        ACallbacks.ExeAddPropGridColumn(rules, QStringLiteral("find"), QStringLiteral("Find"),
                                        QStringLiteral("80+"), 0);
        ACallbacks.ExeAddPropGridColumn(rules, QStringLiteral("replace"), QStringLiteral("Replace"),
                                        {}, 64);
        ACallbacks.ExeAddPropGridColumn(rules, QStringLiteral("note"), QStringLiteral("Note"), {},
                                        3);
        ACallbacks.ExeSetPropDefaultGridValueCount(rules, 3);
        ACallbacks.ExeAddPropDefaultGridValue(rules, 0, 2, QStringLiteral("x"));
        ACallbacks.ExeAddPropDefaultGridValue(rules, 1, 2, QStringLiteral("y\r\nz"));
        ACallbacks.ExeAddPropDefaultGridValue(rules, 2, 2, QStringLiteral("w"));

        ACallbacks.ExeSetPropDefaultFileValue(QStringLiteral("Doc"), QStringLiteral("doc.ini"), 1);
        ACallbacks.ExeSetPropDefaultFileValue(QStringLiteral("Notes"),
                                              QStringLiteral("missing.txt"), 0);
    }

    void PluginSetPropChoiceValueCount(const QString& AProp, std::int32_t ACount) override {
        FCalls << QStringLiteral("ChoiceValueCount(%1,%2)").arg(AProp).arg(ACount);
    }
    void PluginSetPropChoiceValue(const QString& AProp, const QString& AChoiceID) override {
        FCalls << QStringLiteral("ChoiceValue(%1,%2)").arg(AProp, AChoiceID);
    }
    void PluginSetPropTextBoxValue(const QString& AProp, const QString& ATextBoxID,
                                   const QString& AValue) override {
        FCalls << QStringLiteral("TextBoxValue(%1,%2,%3)").arg(AProp, ATextBoxID, AValue);
    }
    void PluginSetPropGridValueCount(const QString& AProp, std::int32_t ACount) override {
        FCalls << QStringLiteral("GridValueCount(%1,%2)").arg(AProp).arg(ACount);
    }
    void PluginSetPropGridValue(const QString& AProp, const QString& AColID, std::int32_t ARowIdx,
                                const QString& AValue) override {
        FCalls
            << QStringLiteral("GridValue(%1,%2,%3,%4)").arg(AProp, AColID).arg(ARowIdx).arg(AValue);
    }
    void PluginSetPropFileValue(const QString& AProp, const QString& APath) override {
        QString name = APath;
        if (name.startsWith(FValueFolder))
            name = name.mid(FValueFolder.size());
        QFile file(APath);
        const QString content = file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll())
                                                               : QStringLiteral("<missing>");
        FCalls << QStringLiteral("FileValue(%1,%2,%3)").arg(AProp, name, content);
    }

private:
    TPluginInfoHost FInfo;
    QStringList& FCalls;
    QString FValueFolder;
    TPropGridIgnoreRowsLevel FGridLevel;
};

class PropertyValuesTest : public ::testing::Test {
protected:
    // Discovers the recording plugin through a real host; its default document "doc.ini" lies in
    // its module folder with a UTF-8 mark (which the declaration drops).
    TPluginStoredLibInfo& Start(TPropGridIgnoreRowsLevel AGridLevel = pgirlNever,
                                QString AValueFolder = {}) {
        FHost.reset();
        FCalls.clear();
        // Each start gets its own value folder, so numbering starts at 1 again.
        FValueFolder = AValueFolder.isEmpty()
                           ? FTemp.MakeFolder(QStringLiteral("temp%1").arg(++FStarts))
                           : AValueFolder;
        const QString modules = FTemp.MakeFolder(QStringLiteral("modules"));
        FTemp.WriteFile(QStringLiteral("modules/Internal/Recorder/doc.ini"),
                        QByteArray("\xEF\xBB\xBF[s]\r\nk=1\r\n"));
        FRegistry = TCollectionInternalPluginTypes();
        FRegistry.AddOwn(
            [this, AGridLevel] {
                return std::make_unique<TRecordingPlugin>(FCalls, FValueFolder, AGridLevel);
            },
            QStringLiteral("Recorder"));
        TPluginHostSetup setup;
        setup.ModulesFolder = modules;
        setup.TempFolder = FValueFolder;
        setup.Log = &FLog;
        FHost = std::make_unique<TPluginHost>(FRegistry, setup);
        FHost->Discover();
        EXPECT_EQ(FHost->PluginList().size(), 1u);
        FCalls.clear();
        return *FHost->PluginList().front();
    }

    // What the plugin receives at batch start for one property and its stored stream.
    QStringList Deliver(TPluginStoredLibInfo& ADescriptor, const QString& AProp,
                        const QByteArray& AStored) {
        FCalls.clear();
        ADescriptor.SetPluginWorkData(AProp,
                                      CreatePluginBatchDataStream(ADescriptor, AProp, AStored));
        return FCalls;
    }

    TTempFolder FTemp;
    QStringList FCalls;
    QString FValueFolder;
    int FStarts = 0;
    TCollectionInternalPluginTypes FRegistry;
    TqvLogging FLog;
    std::unique_ptr<TPluginHost> FHost;
};

TEST_F(PropertyValuesTest, DeliversStoredValuesOrDeclarationDefaultsPerKind) {
    struct TCase {
        const char* Name;
        TPropGridIgnoreRowsLevel Level;
        QString Prop;
        QByteArray Stored;
        QStringList Expected;
    };
    TStreamWriter boxes;
    boxes.WriteInt32(2);
    boxes.WriteAnsiString(QStringLiteral("user"));
    boxes.WriteUtf8String(QStringLiteral("Zoë ✓"));
    boxes.WriteAnsiString(QStringLiteral("port"));
    boxes.WriteAnsiBytes("8080");  // a value field without the UTF-8 mark is ANSI text

    const std::vector<TCase> cases = {
        {"single choice never opened: the default-checked second item",
         pgirlNever,
         QStringLiteral("Mode"),
         {},
         {QStringLiteral("ChoiceValue(Mode,b)")}},
        {"single choice without checked default: empty identifier",
         pgirlNever,
         QStringLiteral("Pick"),
         {},
         {QStringLiteral("ChoiceValue(Pick,)")}},
        {"single choice stored",
         pgirlNever,
         QStringLiteral("Mode"),
         StoredSingle(QStringLiteral("c")),
         {QStringLiteral("ChoiceValue(Mode,c)")}},
        {"single choice stored without selection beats the default",
         pgirlNever,
         QStringLiteral("Mode"),
         StoredSingle({}),
         {QStringLiteral("ChoiceValue(Mode,)")}},
        {"multiple choice never opened: the checked defaults",
         pgirlNever,
         QStringLiteral("Set"),
         {},
         {QStringLiteral("ChoiceValueCount(Set,2)"), QStringLiteral("ChoiceValue(Set,a)"),
          QStringLiteral("ChoiceValue(Set,c)")}},
        {"multiple choice stored: an unchecked default is not delivered",
         pgirlNever,
         QStringLiteral("Set"),
         StoredMultiple({QStringLiteral("b")}),
         {QStringLiteral("ChoiceValueCount(Set,1)"), QStringLiteral("ChoiceValue(Set,b)")}},
        {"multiple choice stored with nothing checked",
         pgirlNever,
         QStringLiteral("Set"),
         StoredMultiple({}),
         {QStringLiteral("ChoiceValueCount(Set,0)")}},
        {"text boxes never opened: defaults without captions or count call",
         pgirlNever,
         QStringLiteral("Boxes"),
         {},
         {QStringLiteral("TextBoxValue(Boxes,user,anna)"),
          QStringLiteral("TextBoxValue(Boxes,port,21)")}},
        {"text boxes stored",
         pgirlNever,
         QStringLiteral("Boxes"),
         boxes.Data(),
         {QStringLiteral("TextBoxValue(Boxes,user,Zoë ✓)"),
          QStringLiteral("TextBoxValue(Boxes,port,8080)")}},
        {"grid defaults in row 2 only, empty rows ignored: one row numbered 0",
         pgirlAllRowCellsEmpty,
         QStringLiteral("Rules"),
         {},
         {QStringLiteral("GridValueCount(Rules,3)"), QStringLiteral("GridValue(Rules,find,0,x)"),
          QStringLiteral("GridValue(Rules,replace,0,y\r\nz)"),
          QStringLiteral("GridValue(Rules,note,0,w)")}},
        {"grid defaults in row 2 only, no row ignored: rows 0 and 1 empty",
         pgirlNever,
         QStringLiteral("Rules"),
         {},
         {QStringLiteral("GridValueCount(Rules,9)"), QStringLiteral("GridValue(Rules,find,0,)"),
          QStringLiteral("GridValue(Rules,replace,0,)"), QStringLiteral("GridValue(Rules,note,0,)"),
          QStringLiteral("GridValue(Rules,find,1,)"), QStringLiteral("GridValue(Rules,replace,1,)"),
          QStringLiteral("GridValue(Rules,note,1,)"), QStringLiteral("GridValue(Rules,find,2,x)"),
          QStringLiteral("GridValue(Rules,replace,2,y\r\nz)"),
          QStringLiteral("GridValue(Rules,note,2,w)")}},
        {"grid stored, trimmed level: a blank-only cell drops its row, kept rows renumbered and "
         "trimmed",
         pgirlRowHasEmptyCellsWhenTrimmed,
         QStringLiteral("Rules"),
         StoredGrid({QStringLiteral("find"), QStringLiteral("replace"), QStringLiteral("note")},
                    {{0, 0, QStringLiteral("a")},
                     {1, 0, QStringLiteral("b")},
                     {2, 0, QStringLiteral("c")},
                     {0, 1, QStringLiteral("  ")},
                     {1, 1, QStringLiteral("q")},
                     {2, 1, QStringLiteral("r")},
                     {0, 2, QStringLiteral(" d ")},
                     {1, 2, QStringLiteral("e")},
                     {2, 2, QStringLiteral("f ")}}),
         {QStringLiteral("GridValueCount(Rules,6)"), QStringLiteral("GridValue(Rules,find,0,a)"),
          QStringLiteral("GridValue(Rules,replace,0,b)"),
          QStringLiteral("GridValue(Rules,note,0,c)"), QStringLiteral("GridValue(Rules,find,1,d)"),
          QStringLiteral("GridValue(Rules,replace,1,e)"),
          QStringLiteral("GridValue(Rules,note,1,f)")}},
        {"grid stored: line breaks kept only in the multi-line column (and in undeclared columns)",
         pgirlNever,
         QStringLiteral("Rules"),
         StoredGrid({QStringLiteral("find"), QStringLiteral("replace"), QStringLiteral("extra")},
                    {{0, 0, QStringLiteral("l1\r\nl2\nl3\r")},
                     {1, 0, QStringLiteral("m1\r\nm2")},
                     {2, 0, QStringLiteral("e\nf")}}),
         {QStringLiteral("GridValueCount(Rules,3)"),
          QStringLiteral("GridValue(Rules,find,0,l1l2l3)"),
          QStringLiteral("GridValue(Rules,replace,0,m1\r\nm2)"),
          QStringLiteral("GridValue(Rules,extra,0,e\nf)")}},
        {"grid stored: cells outside the columns or before row 0 dropped, missing cells empty",
         pgirlNever,
         QStringLiteral("Rules"),
         StoredGrid({QStringLiteral("find"), QStringLiteral("replace")},
                    {{0, 1, QStringLiteral("late")},
                     {2, 0, QStringLiteral("no column")},
                     {-1, 0, QStringLiteral("no column")},
                     {1, -1, QStringLiteral("no row")}}),
         {QStringLiteral("GridValueCount(Rules,4)"), QStringLiteral("GridValue(Rules,find,0,)"),
          QStringLiteral("GridValue(Rules,replace,0,)"),
          QStringLiteral("GridValue(Rules,find,1,late)"),
          QStringLiteral("GridValue(Rules,replace,1,)")}},
        {"file never opened: the default document without its mark",
         pgirlNever,
         QStringLiteral("Doc"),
         {},
         {QStringLiteral("FileValue(Doc,prop1.val,[s]\r\nk=1\r\n)")}},
        {"file whose default file is missing: an empty document",
         pgirlNever,
         QStringLiteral("Notes"),
         {},
         {QStringLiteral("FileValue(Notes,prop1.val,)")}},
        {"file stored",
         pgirlNever,
         QStringLiteral("Doc"),
         StoredFile(QStringLiteral("äöü\r\n[s]\r\nk=2")),
         {QStringLiteral("FileValue(Doc,prop1.val,äöü\r\n[s]\r\nk=2)")}},
        {"custom kind: nothing delivered", pgirlNever, QStringLiteral("Custom"), {}, {}},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        TPluginStoredLibInfo& descriptor = Start(c.Level);
        if (c.Prop == QStringLiteral("Custom")) {
            // No batch stream can be made for it; delivery of anything does nothing.
            DeliverPluginWorkData(descriptor, *descriptor.GetPropertyByName(c.Prop),
                                  QByteArray("junk"), FValueFolder);
            EXPECT_EQ(FCalls, c.Expected);
            continue;
        }
        EXPECT_EQ(Deliver(descriptor, c.Prop, c.Stored), c.Expected);
    }
}

TEST_F(PropertyValuesTest, EachFileValueGetsItsOwnNewValueFile) {
    TPluginStoredLibInfo& descriptor = Start();
    EXPECT_EQ(Deliver(descriptor, QStringLiteral("Doc"), StoredFile(QStringLiteral("first ✓"))),
              QStringList{QStringLiteral("FileValue(Doc,prop1.val,first ✓)")});
    EXPECT_EQ(Deliver(descriptor, QStringLiteral("Notes"), StoredFile(QStringLiteral("second"))),
              QStringList{QStringLiteral("FileValue(Notes,prop2.val,second)")});
    // A file someone else made meanwhile is skipped, not overwritten.
    QFile foreign(FValueFolder + QStringLiteral("prop3.val"));
    ASSERT_TRUE(foreign.open(QIODevice::WriteOnly));
    foreign.write("foreign");
    foreign.close();
    EXPECT_EQ(Deliver(descriptor, QStringLiteral("Doc"), {}),
              QStringList{QStringLiteral("FileValue(Doc,prop4.val,[s]\r\nk=1\r\n)")});

    // UTF-8 without mark; the files stay for the plugin until the batch cleans up.
    EXPECT_EQ(ReadWholeFile(FValueFolder + QStringLiteral("prop1.val")),
              QByteArray("first \xE2\x9C\x93"));
    EXPECT_EQ(ReadWholeFile(FValueFolder + QStringLiteral("prop2.val")), QByteArray("second"));
    EXPECT_EQ(ReadWholeFile(FValueFolder + QStringLiteral("prop3.val")), QByteArray("foreign"));
    EXPECT_EQ(ReadWholeFile(FValueFolder + QStringLiteral("prop4.val")),
              QByteArray("[s]\r\nk=1\r\n"));
    EXPECT_TRUE(FLog.PendingLines().isEmpty());
}

TEST_F(PropertyValuesTest, ValueFileThatCannotBeCreatedIsLoggedAndThePluginStillCalled) {
    const QString missing = FTemp.Path(QStringLiteral("no-such-folder/"));
    TPluginStoredLibInfo& descriptor = Start(pgirlNever, missing);

    EXPECT_EQ(Deliver(descriptor, QStringLiteral("Doc"), StoredFile(QStringLiteral("text"))),
              QStringList{QStringLiteral("FileValue(Doc,prop1.val,<missing>)")});
    EXPECT_FALSE(QFileInfo::exists(missing + QStringLiteral("prop1.val")));
    const QString log = FLog.PendingLines().join(QLatin1Char('\n'));
    EXPECT_TRUE(log.contains(missing + QStringLiteral("prop1.val"))) << log.toStdString();
    EXPECT_TRUE(log.contains(QStringLiteral("\"Doc\""))) << log.toStdString();
}

TEST_F(PropertyValuesTest, UnreadableBatchStreamsRaiseBeforeAnyCall) {
    TPluginStoredLibInfo& descriptor = Start();
    TStreamWriter shortGrid;  // announces two cells, holds one
    shortGrid.WriteInt32(2);
    shortGrid.WriteAnsiString(QStringLiteral("find"));
    shortGrid.WriteInt32(0);
    shortGrid.WriteInt32(0);
    shortGrid.WriteUtf8String(QStringLiteral("a"));

    const std::vector<std::pair<QString, QByteArray>> cases = {
        {QStringLiteral("Mode"), {}},
        {QStringLiteral("Set"), {}},
        {QStringLiteral("Boxes"), {}},
        {QStringLiteral("Rules"), {}},
        {QStringLiteral("Doc"), {}},
        {QStringLiteral("Rules"), shortGrid.Data()},
        {QStringLiteral("Set"),
         StoredMultiple({QStringLiteral("a"), QStringLiteral("b")}).chopped(1)},
    };
    for (const auto& [prop, stream] : cases) {
        SCOPED_TRACE(prop.toStdString() + " " + stream.toHex().toStdString());
        FCalls.clear();
        try {
            DeliverPluginWorkData(descriptor, *descriptor.GetPropertyByName(prop), stream,
                                  FValueFolder);
            ADD_FAILURE() << "no error";
        } catch (const EqvOperationNotPossible& e) {
            EXPECT_TRUE(e.Message().startsWith(QStringLiteral("Stream ends too early")))
                << e.what();
        }
        EXPECT_TRUE(FCalls.isEmpty()) << FCalls.join(QLatin1Char(' ')).toStdString();
    }
    EXPECT_TRUE(QDir(FValueFolder).entryList(QDir::Files).isEmpty());

    // A property without stored values and without declaration data has nothing to deliver.
    EXPECT_TRUE(CreatePluginBatchDataStream(descriptor, QStringLiteral("Bare"), {}).isEmpty());
    EXPECT_THROW(Deliver(descriptor, QStringLiteral("Bare"), {}), EqvOperationNotPossible);
}

TEST_F(PropertyValuesTest, DamagedStoredStreamsAreRefused) {
    TPluginStoredLibInfo& descriptor = Start();
    TStreamWriter negative;
    negative.WriteInt32(-1);
    EXPECT_THROW(Deliver(descriptor, QStringLiteral("Set"), negative.Data()),
                 EqvValueOutOfValidRangeError);
    EXPECT_THROW(Deliver(descriptor, QStringLiteral("Boxes"), negative.Data()),
                 EqvValueOutOfValidRangeError);
    EXPECT_THROW(Deliver(descriptor, QStringLiteral("Rules"), negative.Data()),
                 EqvValueOutOfValidRangeError);
    // A row index no editor produces would ask for a table of billions of cells.
    EXPECT_THROW(
        Deliver(descriptor, QStringLiteral("Rules"),
                StoredGrid({QStringLiteral("find")}, {{0, 0x7FFFFFFF, QStringLiteral("x")}})),
        EqvValueOutOfValidRangeError);
    EXPECT_TRUE(FCalls.isEmpty()) << FCalls.join(QLatin1Char(' ')).toStdString();
}

TEST_F(PropertyValuesTest, KindsWithoutEditorPageAndUnknownNames) {
    TPluginStoredLibInfo& descriptor = Start();
    for (const QString& prop : {QStringLiteral("Custom"), QStringLiteral("Broken")}) {
        SCOPED_TRACE(prop.toStdString());
        for (const QByteArray& stored : {QByteArray(), StoredSingle(QStringLiteral("a"))}) {
            try {
                CreatePluginBatchDataStream(descriptor, prop, stored);
                ADD_FAILURE() << "no error";
            } catch (const EqvOperationNotPossible& e) {
                EXPECT_EQ(e.Message(), KNoPage);
            }
        }
    }
    try {
        DeliverPluginWorkData(descriptor, *descriptor.GetPropertyByName(QStringLiteral("Broken")),
                              StoredSingle(QStringLiteral("a")), FValueFolder);
        ADD_FAILURE() << "no error";
    } catch (const EqvParamOutOfValidRangeError& e) {
        EXPECT_EQ(e.Message(), QStringLiteral("SetPluginWorkData"));
    }
    const TPluginProperty outOfRange(QStringLiteral("Odd"), 42, 0, {}, {}, {});
    EXPECT_THROW(DeliverPluginWorkData(descriptor, outOfRange, StoredSingle({}), FValueFolder),
                 EqvParamOutOfValidRangeError);
    EXPECT_THROW(ToBatchFromInitData(outOfRange, StoredSingle({})), EqvOperationNotPossible);
    EXPECT_TRUE(FCalls.isEmpty());

    try {
        CreatePluginBatchDataStream(descriptor, QStringLiteral("mode"),
                                    {});  // names are case-sensitive
        ADD_FAILURE() << "no error";
    } catch (const EqvParamWrong& e) {
        EXPECT_TRUE(
            e.Message().startsWith(QStringLiteral("Property: \"mode\" does not seem to exist")));
        EXPECT_TRUE(e.Message().endsWith(QStringLiteral("\r\nPlugin work data could not be set")));
    }
}

TEST(GridRealValues, FiltersRowsPerLevelTrimsInPlaceAndPrefixesIndices) {
    // Three columns; rows: full, all empty, blank-and-empty cells, padded cells with a blank one.
    const QStringList table = {QStringLiteral("a"),
                               QStringLiteral("b"),
                               QStringLiteral("c"),
                               QString(),
                               QString(),
                               QString(),
                               QStringLiteral(" "),
                               QStringLiteral("x"),
                               QString(),
                               QStringLiteral(" d "),
                               QStringLiteral("  "),
                               QStringLiteral("f")};
    const QStringList trimmed = {QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c"),
                                 QString(),           QString(),           QString(),
                                 QString(),           QStringLiteral("x"), QString(),
                                 QStringLiteral("d"), QString(),           QStringLiteral("f")};
    struct TCase {
        TPropGridIgnoreRowsLevel Level;
        QStringList Expected;  // with index prefixes
        QStringList TableAfter;
    };
    const std::vector<TCase> cases = {
        {pgirlNever,
         {QStringLiteral("0=a"), QStringLiteral("1=b"), QStringLiteral("2=c"), QStringLiteral("3="),
          QStringLiteral("4="), QStringLiteral("5="), QStringLiteral("6= "), QStringLiteral("7=x"),
          QStringLiteral("8="), QStringLiteral("9= d "), QStringLiteral("10=  "),
          QStringLiteral("11=f")},
         table},
        {pgirlAllRowCellsEmpty,
         {QStringLiteral("0=a"), QStringLiteral("1=b"), QStringLiteral("2=c"),
          QStringLiteral("6= "), QStringLiteral("7=x"), QStringLiteral("8="),
          QStringLiteral("9= d "), QStringLiteral("10=  "), QStringLiteral("11=f")},
         table},
        {pgirlAllRowCellsEmptyWhenTrimmed,
         {QStringLiteral("0=a"), QStringLiteral("1=b"), QStringLiteral("2=c"), QStringLiteral("6="),
          QStringLiteral("7=x"), QStringLiteral("8="), QStringLiteral("9=d"), QStringLiteral("10="),
          QStringLiteral("11=f")},
         trimmed},
        {pgirlRowHasEmptyCells,
         {QStringLiteral("0=a"), QStringLiteral("1=b"), QStringLiteral("2=c"),
          QStringLiteral("9= d "), QStringLiteral("10=  "), QStringLiteral("11=f")},
         table},
        {pgirlRowHasEmptyCellsWhenTrimmed,
         {QStringLiteral("0=a"), QStringLiteral("1=b"), QStringLiteral("2=c")},
         trimmed},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(int(c.Level));
        TPluginPropertyGrid grid(QStringLiteral("G"), vptGrid, 0, {}, {}, {});
        grid.FPropGridIgnoreRowsLevel = c.Level;
        QStringList values = table;
        EXPECT_EQ(grid.GetRealValues(values, 3, true), c.Expected);
        EXPECT_EQ(values, c.TableAfter);

        QStringList plainValues = table;
        QStringList plainExpected;
        for (const QString& entry : c.Expected)
            plainExpected << entry.mid(entry.indexOf(QLatin1Char('=')) + 1);
        EXPECT_EQ(grid.GetRealValues(plainValues, 3, false), plainExpected);
    }
}

TEST(IniMerge, KeepsTheDefaultLayoutWithTheStoredValues) {
    struct TCase {
        const char* Name;
        QString Default;
        QString Stored;
        QString Expected;
    };
    const std::vector<TCase> cases = {
        {"missing key keeps the default, stored-only keys and sections vanish, comments and blanks "
         "stay",
         QStringLiteral(
             "; settings\r\n[main]\r\nwidth=10\r\nheight=20\r\n\r\n[extra]\r\nmode=fast\r\n"),
         QStringLiteral("[main]\r\nwidth=99\r\nnew=1\r\n[other]\r\nx=1\r\n"),
         QStringLiteral(
             "; settings\r\n[main]\r\nwidth=99\r\nheight=20\r\n\r\n[extra]\r\nmode=fast\r\n")},
        {"sections and keys ignore case; the stored value is everything after the first '='",
         QStringLiteral("[Main]\nWidth = 1\n"), QStringLiteral("[MAIN]\nwidth=a=b\n"),
         QStringLiteral("[Main]\r\nWidth =a=b\r\n")},
        {"keys before the first section are looked up there only",
         QStringLiteral("top=1\r\n[s]\r\ntop=2\r\n"), QStringLiteral("top=9\r\n[s]\r\n"),
         QStringLiteral("top=9\r\n[s]\r\ntop=2\r\n")},
        {"the same key in different sections", QStringLiteral("[a]\r\nk=1\r\n[b]\r\nk=2"),
         QStringLiteral("[b]\r\nk=5\r\n[a]\r\nk=4\r\n"),
         QStringLiteral("[a]\r\nk=4\r\n[b]\r\nk=5")},
        {"an empty stored value is a value; lines without '=' stay as they are",
         QStringLiteral("[s]\r\nplain text\r\nk=1\r\n"), QStringLiteral("[s]\r\nk=\r\n"),
         QStringLiteral("[s]\r\nplain text\r\nk=\r\n")},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        EXPECT_EQ(MergeIniIntoDefault(c.Default, c.Stored), c.Expected);
    }
}

TEST(ValueFiles, RemovesOnlyValueFilesDirectlyInTheFolder) {
    TTempFolder temp;
    for (const char* name : {"prop1.val", "prop12.val", "other.txt", "upper.VAL", "sub/prop1.val"})
        temp.WriteFile(QString::fromLatin1(name), "x");
    temp.MakeFolder(QStringLiteral("folder.val"));

    EXPECT_EQ(RemoveValueFiles(temp.Path()), 0);

    QStringList left =
        QDir(temp.Path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot, QDir::Name);
    EXPECT_EQ(left, (QStringList{QStringLiteral("folder.val"), QStringLiteral("other.txt"),
                                 QStringLiteral("sub"), QStringLiteral("upper.VAL")}));
    EXPECT_TRUE(QFileInfo::exists(temp.Path(QStringLiteral("sub/prop1.val"))));
}

}  // namespace
