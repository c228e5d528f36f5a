#include "ui/string_grid/string_grid_formats.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QFileInfo>

#include <initializer_list>

#include <sys/stat.h>

#include "base/exceptions.h"
#include "tests/support/qstring_print.h"
#include "tests/support/temp_folders.h"

namespace {

const TqvGridGenerator KGenerator{QStringLiteral("Kestrin"),
                                  QStringLiteral("https://www.kestrin.example/")};

QByteArray Fixture(const char* AName) {
    QFile file(QStringLiteral(PLOVANE_GRID_FIXTURES "/") + QString::fromLatin1(AName));
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << AName;
    return file.readAll();
}

QString FixturePath(const char* AName) {
    return QStringLiteral(PLOVANE_GRID_FIXTURES "/") + QString::fromLatin1(AName);
}

// Rows written as UTF-8 literals.
QList<QStringList> R(std::initializer_list<std::initializer_list<const char*>> ARows) {
    QList<QStringList> rows;
    for (const auto& row : ARows) {
        QStringList cells;
        for (const char* cell : row)
            cells << QString::fromUtf8(cell);
        rows << cells;
    }
    return rows;
}

// Three columns, one of each alignment; cells with entities, quotes, a separator and a line
// break. The fixtures hold this table, written by hand.
TqvGridTable SampleTable() {
    TqvGridTable table;
    table.Columns = {{QStringLiteral("Name"), QStringLiteral("Name"), TqvGridAlignment::Default},
                     {QStringLiteral("Value"), QStringLiteral("Value"), TqvGridAlignment::Right},
                     {QStringLiteral("Note"), QStringLiteral("Note"), TqvGridAlignment::Center}};
    table.Rows = {{QStringLiteral("a & b"), QStringLiteral("<tag>"), QStringLiteral("say \"hi\"")},
                  {QStringLiteral("line1\r\nline2"), QString(), QStringLiteral("x,y")}};
    return table;
}

TqvGridTable EmptyOfSample() {
    TqvGridTable table = SampleTable();
    table.Rows = {{QStringLiteral("old"), QStringLiteral("old"), QStringLiteral("old")}};
    return table;
}

TEST(StringGridExport, FormatsAreByteIdenticalToTheHandWrittenFixtures) {
    const TqvGridTable table = SampleTable();
    EXPECT_EQ(GridToXml(table, KGenerator), Fixture("grid.xml"));
    EXPECT_EQ(GridToSeparated(table, TqvGridFileType::gftCSV), Fixture("grid.csv"));
    EXPECT_EQ(GridToHtml(table, QStringLiteral("grid"), KGenerator), Fixture("grid.html"));
}

TEST(StringGridExport, FilesTakeTheFormatOfTheirExtensionWithoutMark) {
    const TTempFolder temp;
    const TqvGridTable table = SampleTable();
    const struct {
        const char* Name;
        const char* Fixture;
    } cases[] = {{"out.xml", "grid.xml"},   {"out.CSV", "grid.csv"},    {"out.txt", "grid.csv"},
                 {"grid.htm", "grid.html"}, {"grid.HTML", "grid.html"}, {"out.dat", "grid.xml"}};
    for (const auto& c : cases) {
        const QString path = temp.Path(QString::fromLatin1(c.Name));
        ExportGridFile(table, path, KGenerator);
        EXPECT_EQ(ReadWholeFile(path), Fixture(c.Fixture)) << c.Name;
    }
}

TEST(StringGridExport, SemicolonAndTabFormsQuoteTheirOwnSeparator) {
    TqvGridTable table = SampleTable();
    table.Rows = {{QStringLiteral(" a;b "), QStringLiteral("c\td"), QStringLiteral("e,f")}};
    EXPECT_EQ(GridToSeparated(table, TqvGridFileType::gftSSV), QByteArray("\"a;b\";c\td;e,f"));
    EXPECT_EQ(GridToSeparated(table, TqvGridFileType::gftTSV), QByteArray("a;b\t\"c\td\"\te,f"));
}

TEST(StringGridExport, CommaSeparatedTextLeavesHiddenColumnsAndTrailingEmptyRowsOut) {
    TqvGridTable table = SampleTable();
    table.Columns[1].Visible = false;
    table.Rows = {{QStringLiteral("a"), QStringLiteral("hidden"), QStringLiteral("c\n")},
                  {QString(), QString(), QString()}};
    // The empty last row would be an empty line; trailing line breaks are removed.
    EXPECT_EQ(GridToSeparated(table, TqvGridFileType::gftCSV), QByteArray("a,c\r\n,"));
    table.Columns.resize(1);
    table.Rows = {{QStringLiteral("a")}, {QString()}, {QString()}};
    EXPECT_EQ(GridToSeparated(table, TqvGridFileType::gftCSV), QByteArray("a"));
}

TEST(StringGridExport, XmlWithHeaderCellsCountsTheHeaderRow) {
    TqvGridTable table = SampleTable();
    table.Rows.resize(1);
    const QString text = QString::fromUtf8(GridToXml(table, KGenerator, true));
    EXPECT_TRUE(text.contains(QStringLiteral(
        "    <fixedinfo>True</fixedinfo>\r\n    <fixedrows>1</fixedrows>\r\n    "
        "<fixedcols>0</fixedcols>\r\n    <rowcount>2</rowcount>\r\n    <colcount>3</colcount>")))
        << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("<row>\r\n      <col data=\"\">Name</col>")));
    // Read back, the header row is not data.
    TqvGridTable back = EmptyOfSample();
    GridFromXml(back, text);
    EXPECT_EQ(back.Rows, table.Rows);
}

TEST(StringGridImport, FixturesGiveTheTableBack) {
    const TqvGridTable expected = SampleTable();
    TqvGridTable fromXml = EmptyOfSample();
    ImportGridFile(fromXml, FixturePath("grid.xml"));
    EXPECT_EQ(fromXml.Rows, expected.Rows);

    // Comma-separated text lost the line break and the quotes on the way out, and keeps the
    // apostrophes on the way back.
    TqvGridTable fromCsv = EmptyOfSample();
    ImportGridFile(fromCsv, FixturePath("grid.csv"));
    const QList<QStringList> csvRows = {
        {QStringLiteral("a & b"), QStringLiteral("<tag>"), QStringLiteral("say ''hi''")},
        {QStringLiteral("line1  line2"), QString(), QStringLiteral("x,y")}};
    EXPECT_EQ(fromCsv.Rows, csvRows);
}

TEST(StringGridImport, SemicolonFileWhoseFirstLineRepeatsTheCaptions) {
    TqvGridTable table = EmptyOfSample();
    ImportGridFile(table, FixturePath("captions_first.txt"));
    const QList<QStringList> rows = {
        {QStringLiteral("k1"), QStringLiteral("v1"), QStringLiteral("n1")},
        {QStringLiteral("q;x"), QStringLiteral("2"), QString()}};
    EXPECT_EQ(table.Rows, rows);
}

TEST(StringGridImport, SeparatorIsFoundInTheFirstOrSecondLine) {
    const struct {
        const char* Text;
        QList<QStringList> Rows;
    } cases[] = {
        // The first separator in the line decides; one inside quotes does not.
        {"a,b;c", R({{"a", "b;c", ""}})},
        {"a;b,c", R({{"a", "b,c", ""}})},
        {"a\tb,c", R({{"a", "b,c", ""}})},
        {"\"x;y\",z;w", R({{"x;y", "z;w", ""}})},
        {"a\tb", R({{"a", "b", ""}})},
        // Nothing in the first line: the second decides.
        {"single\r\nx;y", R({{"single", "", ""}, {"x", "y", ""}})},
        // Nothing anywhere: a comma, so each line is one value.
        {"one\ntwo", R({{"one", "", ""}, {"two", "", ""}})},
        // More values than columns: the rest is dropped; one pair of quotes is removed.
        {"1,2,3,4", R({{"1", "2", "3"}})},
        {"\"\"q\"\",b", R({{"\"q\"", "b", ""}})},
        // A line that only starts like the captions is data.
        {"Name,Other\r\nx", R({{"Name", "Other", ""}, {"x", "", ""}})},
        {"  \r\n ", {}},
    };
    for (const auto& c : cases) {
        TqvGridTable table = EmptyOfSample();
        GridFromSeparated(table, QString::fromUtf8(c.Text));
        EXPECT_EQ(table.Rows, c.Rows) << c.Text;
    }
}

TEST(StringGridImport, ValuesFillOnlyTheVisibleColumns) {
    TqvGridTable table = EmptyOfSample();
    table.Columns[0].Visible = false;
    GridFromSeparated(table, QStringLiteral("Value,Note\r\n1,2,3"));
    EXPECT_EQ(table.Rows,
              (QList<QStringList>{{QString(), QStringLiteral("1"), QStringLiteral("2")}}));
}

TEST(StringGridImport, XmlColumnIdentifiersPlaceTheCellsAndUnknownOnesAreDropped) {
    TqvGridTable table = EmptyOfSample();
    ImportGridFile(table, FixturePath("by_identifier.xml"));
    EXPECT_EQ(table.Rows,
              (QList<QStringList>{{QStringLiteral("k"), QString(), QStringLiteral("n")}}));
}

TEST(StringGridImport, XmlRowCountDecidesTheRowsAndDefaultsToOne) {
    const QString rows = QStringLiteral(
        "<rows><row><col data=\"\">1</col></row><row><col>2</col></row>"
        "<row><col data=\"\"/><col data=\"\">3b</col></row></rows>");
    const struct {
        QString Meta;
        QList<QStringList> Rows;
    } cases[] = {
        {QString(), R({{"1", "", ""}})},
        {QStringLiteral("<rowcount>2</rowcount>"), R({{"1", "", ""}, {"2", "", ""}})},
        {QStringLiteral("<rowcount>3</rowcount>"),
         R({{"1", "", ""}, {"2", "", ""}, {"", "3b", ""}})},
        {QStringLiteral("<rowcount>5</rowcount>"),
         R({{"1", "", ""}, {"2", "", ""}, {"", "3b", ""}, {"", "", ""}, {"", "", ""}})},
        {QStringLiteral("<rowcount>0</rowcount>"), {}},
        {QStringLiteral("<rowcount>many</rowcount>"), R({{"1", "", ""}})},
    };
    for (const auto& c : cases) {
        TqvGridTable table = EmptyOfSample();
        GridFromXml(table, QStringLiteral("<grid><metadata>") + c.Meta +
                               QStringLiteral("</metadata>") + rows + QStringLiteral("</grid>"));
        EXPECT_EQ(table.Rows, c.Rows) << c.Meta.toStdString();
    }
}

TEST(StringGridImport, AHugeRowCountIsRefusedAndTheTableStays) {
    TqvGridTable table = EmptyOfSample();
    const TTempFolder temp;
    const QString path = temp.WriteFile(
        QStringLiteral("huge.xml"),
        "<grid><metadata><rowcount>2000000000</rowcount></metadata><rows></rows></grid>");
    EXPECT_THROW(ImportGridFile(table, path), EqvValueOutOfValidRangeError);
    EXPECT_EQ(table.Rows, EmptyOfSample().Rows);
}

TEST(StringGridImport, EntitiesAreRevertedOnce) {
    TqvGridTable table = EmptyOfSample();
    GridFromXml(table, QStringLiteral("<rows><row><col data=\"\">&amp;lt; &amp;amp; &quot;&#65;"
                                      "</col></row></rows>"));
    EXPECT_EQ(table.Rows[0][0], QStringLiteral("&lt; &amp; \"&#65;"));
}

TEST(StringGridImport, RoundTripsKeepEveryCell) {
    TqvGridTable table = SampleTable();
    table.Rows << QStringList{QStringLiteral("&amp;"), QStringLiteral("<<>>\"\""),
                              QStringLiteral("\r\n\n\r")}
               << QStringList{QStringLiteral("ä €"), QStringLiteral("</col>"),
                              QStringLiteral("  spaced  ")};
    TqvGridTable back = EmptyOfSample();
    GridFromXml(back, QString::fromUtf8(GridToXml(table, KGenerator)));
    EXPECT_EQ(back.Rows, table.Rows);

    // Comma-separated text keeps what it can hold: no line breaks or quotes in these cells.
    TqvGridTable plain = SampleTable();
    plain.Rows = {{QStringLiteral("a & b"), QStringLiteral("<1;2>"), QStringLiteral("x, y")},
                  {QStringLiteral("''"), QStringLiteral("\t"), QStringLiteral("z")}};
    plain.Rows[1][1].clear();  // a lone tab would be trimmed
    for (const TqvGridFileType type :
         {TqvGridFileType::gftCSV, TqvGridFileType::gftSSV, TqvGridFileType::gftTSV}) {
        TqvGridTable again = EmptyOfSample();
        GridFromSeparated(again, QString::fromUtf8(GridToSeparated(plain, type)));
        EXPECT_EQ(again.Rows, plain.Rows) << int(type);
    }
}

TEST(StringGridImport, FilesThatCannotBeReadLeaveTheTableUnchanged) {
    const TTempFolder temp;
    TqvGridTable table = EmptyOfSample();
    EXPECT_THROW(ImportGridFile(table, temp.Path(QStringLiteral("missing.xml"))),
                 EqvOperationNotPossible);
    EXPECT_THROW(ImportGridFile(table, temp.MakeFolder(QStringLiteral("folder.csv"))),
                 EqvOperationNotPossible);
    // A FIFO is never opened: reading it would wait for a writer for ever.
    const QString fifo = temp.Path(QStringLiteral("pipe.xml"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    EXPECT_THROW(ImportGridFile(table, fifo), EqvOperationNotPossible);
    EXPECT_EQ(table.Rows, EmptyOfSample().Rows);
    EXPECT_THROW(GridImportText(table, TqvGridFileType::gftHTML, QString()),
                 EqvValueOutOfValidRangeError);
    EXPECT_THROW(GridImportText(table, TqvGridFileType::gftBin, QString()),
                 EqvValueOutOfValidRangeError);
    EXPECT_EQ(table.Rows, EmptyOfSample().Rows);
}

TEST(StringGridImport, EncodingOfTheFileIsDetected) {
    const TTempFolder temp;
    const QString text = QStringLiteral("Größe;€");
    QByteArray utf16 = QByteArray("\xFF\xFE", 2);
    for (const QChar c : text) {
        utf16 += static_cast<char>(c.unicode() & 0xFF);
        utf16 += static_cast<char>(c.unicode() >> 8);
    }
    const struct {
        const char* Name;
        QByteArray Bytes;
    } cases[] = {{"utf8.csv", text.toUtf8()},
                 {"mark.csv", QByteArray("\xEF\xBB\xBF") + text.toUtf8()},
                 {"utf16.csv", utf16}};
    for (const auto& c : cases) {
        TqvGridTable table = EmptyOfSample();
        ImportGridFile(table, temp.WriteFile(QString::fromLatin1(c.Name), c.Bytes));
        EXPECT_EQ(table.Rows,
                  (QList<QStringList>{{QStringLiteral("Größe"), QStringLiteral("€"), QString()}}))
            << c.Name;
    }
}

TEST(StringGridExport, AFailedWriteRaisesAndLeavesNoFile) {
    const TTempFolder temp;
    const QString path = temp.Path(QStringLiteral("no/such/folder/out.xml"));
    EXPECT_THROW(ExportGridFile(SampleTable(), path, KGenerator), EqvOperationNotPossible);
    EXPECT_FALSE(QFileInfo::exists(path));
}

TEST(StringGridFileTypes, ExtensionsChooseTheFormat) {
    EXPECT_EQ(GridImportFileType(QStringLiteral("a.CSV")), TqvGridFileType::gftCSV);
    EXPECT_EQ(GridImportFileType(QStringLiteral("a.txt")), TqvGridFileType::gftCSV);
    EXPECT_EQ(GridImportFileType(QStringLiteral("a.xml")), TqvGridFileType::gftXML);
    EXPECT_EQ(GridImportFileType(QStringLiteral("a.html")), TqvGridFileType::gftXML);
    EXPECT_EQ(GridImportFileType(QStringLiteral("a")), TqvGridFileType::gftXML);
    EXPECT_EQ(GridExportFileType(QStringLiteral("a.Htm")), TqvGridFileType::gftHTML);
    EXPECT_EQ(GridExportFileType(QStringLiteral("a.tsv")), TqvGridFileType::gftXML);
}

}  // namespace
