#pragma once

// The table control's import and export formats, apart from any widget: XML, comma-separated
// text (with the semicolon and tab forms) and HTML. Needs QtCore only, so it is tested without
// a display. Text files are UTF-8 without a byte-order mark; lines end in CR LF.

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

// The table control's file formats. Grid pages use gftCSV, gftHTML and gftXML.
enum class TqvGridFileType { gftBin, gftCSV, gftSSV, gftTSV, gftHTML, gftXML };

// How a column's values are aligned; Default is the grid's own (left).
enum class TqvGridAlignment { Default, Left, Right, Center };

struct TqvGridColumn {
    QString Id;
    QString Caption;
    TqvGridAlignment Alignment = TqvGridAlignment::Default;
    bool Visible = true;
};

// What the formats see of a table: its columns (the header row holds their captions) and the
// data rows, each with one cell per column.
struct TqvGridTable {
    QList<TqvGridColumn> Columns;
    QList<QStringList> Rows;

    qsizetype ColumnCount() const { return Columns.size(); }
};

// The facts an export names as its maker.
struct TqvGridGenerator {
    QString MakerName;  // "Kestrin"
    QString MakerUrl;   // the maker's web address
};

// The class name exports give as their generator.
inline const QString KStringGridClassName = QStringLiteral("TqvStringGrid");

// A table larger than this is no table the editor could show; a file asking for one (a damaged
// row count) is refused instead of exhausting memory.
inline constexpr qint64 KMaxGridImportCells = 4'000'000;

// XML. AIncludeFixed also writes the header row (its captions) as the first row.
QByteArray GridToXml(const TqvGridTable& ATable, const TqvGridGenerator& AGenerator,
                     bool AIncludeFixed = false);
// Replaces the data rows by the file's rows (the row count it names; 1 when it names none).
// Cells go to their columns by position or, when the file lists column identifiers, to the
// column with that identifier (cells of unknown identifiers are dropped).
void GridFromXml(TqvGridTable& ATable, const QString& AText);

// Comma-separated text of the data rows (no header line), visible columns only. AType chooses
// the separator: gftSSV ";", gftTSV a tab, anything else ",".
QByteArray GridToSeparated(const TqvGridTable& ATable, TqvGridFileType AType);
// Replaces the data rows; the separator is found in the text, a first line repeating the
// visible columns' captions is dropped, values fill the visible columns in order.
void GridFromSeparated(TqvGridTable& ATable, const QString& AText);

// HTML with the header row; ATitle is the page title (the file name without extension).
QByteArray GridToHtml(const TqvGridTable& ATable, const QString& ATitle,
                      const TqvGridGenerator& AGenerator);

// The format a file's extension selects (lower case): ".csv" and ".txt" comma-separated,
// ".xml" XML, ".htm" and ".html" HTML (export only); anything else XML.
TqvGridFileType GridImportFileType(const QString& APath);
TqvGridFileType GridExportFileType(const QString& APath);

// The whole export of a table in a format, as the file's bytes. gftBin is not written.
QByteArray GridExportBytes(const TqvGridTable& ATable, TqvGridFileType AType, const QString& ATitle,
                           const TqvGridGenerator& AGenerator);
// Imports text in a format into the table. HTML and gftBin cannot be read and raise
// EqvValueOutOfValidRangeError before the table changes.
void GridImportText(TqvGridTable& ATable, TqvGridFileType AType, const QString& AText);

// Writes the table to a file in the format its extension selects, completely or not at all.
// A failure raises EqvOperationNotPossible naming the file and the reason.
void ExportGridFile(const TqvGridTable& ATable, const QString& APath,
                    const TqvGridGenerator& AGenerator);
// Reads a file in the format its extension selects (encoding detected: marks, UTF-16, UTF-8,
// ANSI) into the table. A file that cannot be read raises EqvOperationNotPossible and leaves
// the table unchanged.
void ImportGridFile(TqvGridTable& ATable, const QString& APath);
