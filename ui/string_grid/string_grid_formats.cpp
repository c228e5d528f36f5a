#include "ui/string_grid/string_grid_formats.h"

#include <QFileInfo>
#include <QHash>

#include <algorithm>
#include <optional>

#include "base/atomic_file.h"
#include "base/exceptions.h"
#include "base/text_file.h"

namespace {

const QString KCrLf = QStringLiteral("\r\n");

// Output built line by line: every line after the first starts with CR LF and its indent.
class TLineWriter {
public:
    explicit TLineWriter(QString AFirstLine) : FText(std::move(AFirstLine)) {}
    void Line(int AIndent, const QString& AText) {
        FText += KCrLf;
        FText += QString(AIndent, QLatin1Char(' '));
        FText += AText;
    }
    QByteArray Utf8() const { return FText.toUtf8(); }

private:
    QString FText;
};

QString EscapeXml(const QString& AText) {
    QString result;
    result.reserve(AText.size());
    for (const QChar c : AText) {
        switch (c.unicode()) {
            case u'&':
                result += QStringLiteral("&amp;");
                break;
            case u'<':
                result += QStringLiteral("&lt;");
                break;
            case u'>':
                result += QStringLiteral("&gt;");
                break;
            case u'"':
                result += QStringLiteral("&quot;");
                break;
            default:
                result += c;
        }
    }
    return result;
}

// HTML cells keep their double quotes; an empty cell would collapse in the table.
QString EscapeHtmlCell(const QString& AText) {
    if (AText.isEmpty())
        return QStringLiteral("&nbsp;");
    QString result = EscapeXml(AText);
    result.replace(QStringLiteral("&quot;"), QStringLiteral("\""));
    return result;
}

// The four entities written by EscapeXml, reverted in one pass, so "&amp;lt;" gives "&lt;".
QString UnescapeXml(QStringView AText) {
    static const std::pair<QStringView, QChar> KEntities[] = {
        {u"&amp;", u'&'}, {u"&lt;", u'<'}, {u"&gt;", u'>'}, {u"&quot;", u'"'}};
    QString result;
    result.reserve(AText.size());
    for (qsizetype i = 0; i < AText.size(); ++i) {
        bool replaced = false;
        if (AText[i] == u'&') {
            for (const auto& [entity, character] : KEntities)
                if (AText.mid(i).startsWith(entity)) {
                    result += character;
                    i += entity.size() - 1;
                    replaced = true;
                    break;
                }
        }
        if (!replaced)
            result += AText[i];
    }
    return result;
}

QString AlignmentWord(TqvGridAlignment AAlignment) {
    switch (AAlignment) {
        case TqvGridAlignment::Right:
            return QStringLiteral("right");
        case TqvGridAlignment::Center:
            return QStringLiteral("center");
        default:
            return QStringLiteral("left");
    }
}

QList<qsizetype> VisibleColumns(const TqvGridTable& ATable) {
    QList<qsizetype> visible;
    for (qsizetype c = 0; c < ATable.Columns.size(); ++c)
        if (ATable.Columns[c].Visible)
            visible << c;
    return visible;
}

QString Cell(const TqvGridTable& ATable, qsizetype ARow, qsizetype ACol) {
    const QStringList& row = ATable.Rows[ARow];
    return ACol < row.size() ? row[ACol] : QString();
}

QStringList EmptyRow(const TqvGridTable& ATable) {
    return QStringList(ATable.ColumnCount());
}

void RequireTableSize(qint64 ARows, qint64 ACols) {
    if (ARows * std::max<qint64>(ACols, 1) > KMaxGridImportCells)
        throw EqvValueOutOfValidRangeError(
            QStringLiteral("The file asks for %1 rows of %2 cells, more than a grid can hold.")
                .arg(ARows)
                .arg(ACols));
}

// XML reading --------------------------------------------------------------------------------

// Finds the elements of an export in the order they were written.
class TXmlScanner {
public:
    explicit TXmlScanner(QString AText) : FText(std::move(AText)) {}

    // The text between "<name>" and "</name>" after the current place; the place moves past
    // the end tag. Nothing when the element is not found before ALimit.
    std::optional<QString> Element(const QString& AName, qsizetype ALimit = -1) {
        const QString open = QLatin1Char('<') + AName + QLatin1Char('>');
        const QString close = QStringLiteral("</") + AName + QLatin1Char('>');
        const qsizetype start = FText.indexOf(open, FPos);
        if (start < 0 || (ALimit >= 0 && start >= ALimit))
            return std::nullopt;
        const qsizetype textStart = start + open.size();
        const qsizetype end = FText.indexOf(close, textStart);
        if (end < 0)
            return std::nullopt;
        FPos = end + close.size();
        return FText.mid(textStart, end - textStart);
    }

    // The region of "<name>" ... "</name>" after the current place, moving past it.
    std::optional<QStringView> Region(const QString& AName) {
        const QString open = QLatin1Char('<') + AName + QLatin1Char('>');
        const QString close = QStringLiteral("</") + AName + QLatin1Char('>');
        const qsizetype start = FText.indexOf(open, FPos);
        if (start < 0)
            return std::nullopt;
        const qsizetype end = FText.indexOf(close, start + open.size());
        if (end < 0)
            return std::nullopt;
        FPos = end + close.size();
        return QStringView(FText).mid(start + open.size(), end - start - open.size());
    }

    qsizetype Position() const { return FPos; }

private:
    QString FText;
    qsizetype FPos = 0;
};

// One "<col ...>text</col>" element of a region: its attributes and its text.
struct TXmlCol {
    QStringView Attributes;
    QString Text;
};

// Every col element of a region, in order. A col element ends at "</col>" or, written as
// "<col .../>", at its own start tag.
QList<TXmlCol> ColElements(QStringView ARegion) {
    QList<TXmlCol> cols;
    qsizetype pos = 0;
    while (true) {
        qsizetype start = ARegion.indexOf(u"<col", pos);
        if (start < 0)
            break;
        const qsizetype after = start + 4;
        // "<cols>" is no col element.
        if (after < ARegion.size() && ARegion[after] != u' ' && ARegion[after] != u'>' &&
            ARegion[after] != u'/') {
            pos = after;
            continue;
        }
        const qsizetype tagEnd = ARegion.indexOf(u'>', after);
        if (tagEnd < 0)
            break;
        TXmlCol col;
        const bool selfClosed = tagEnd > after && ARegion[tagEnd - 1] == u'/';
        col.Attributes = ARegion.mid(after, tagEnd - after - (selfClosed ? 1 : 0));
        if (selfClosed) {
            pos = tagEnd + 1;
        } else {
            const qsizetype close = ARegion.indexOf(u"</col>", tagEnd + 1);
            const qsizetype textEnd = close < 0 ? ARegion.size() : close;
            col.Text = UnescapeXml(ARegion.mid(tagEnd + 1, textEnd - tagEnd - 1));
            pos = close < 0 ? ARegion.size() : close + 6;
        }
        cols << col;
    }
    return cols;
}

// The value of attribute AName ("id", "data") of a start tag's attributes, entities reverted.
std::optional<QString> Attribute(QStringView AAttributes, const QString& AName) {
    const QString key = AName + QStringLiteral("=\"");
    qsizetype pos = 0;
    while ((pos = AAttributes.indexOf(key, pos)) >= 0) {
        if (pos == 0 || AAttributes[pos - 1].isSpace()) {
            const qsizetype valueStart = pos + key.size();
            const qsizetype valueEnd = AAttributes.indexOf(u'"', valueStart);
            if (valueEnd < 0)
                return std::nullopt;
            return UnescapeXml(AAttributes.mid(valueStart, valueEnd - valueStart));
        }
        pos += key.size();
    }
    return std::nullopt;
}

// A count element's number; a missing or unreadable one gives ADefault.
qint64 CountOr(const std::optional<QString>& AText, qint64 ADefault) {
    if (!AText)
        return ADefault;
    bool ok = false;
    const qint64 value = AText->trimmed().toLongLong(&ok);
    return ok && value >= 0 ? value : ADefault;
}

// Separated text --------------------------------------------------------------------------------

QChar SeparatorOf(TqvGridFileType AType) {
    switch (AType) {
        case TqvGridFileType::gftSSV:
            return QLatin1Char(';');
        case TqvGridFileType::gftTSV:
            return QLatin1Char('\t');
        default:
            return QLatin1Char(',');
    }
}

QString SeparatedValue(QString AValue, QChar ASeparator) {
    AValue = AValue.trimmed();
    AValue.replace(KCrLf, QStringLiteral("  "));
    AValue.replace(QLatin1Char('\r'), QStringLiteral("  "));
    AValue.replace(QLatin1Char('\n'), QStringLiteral("  "));
    AValue.replace(QLatin1Char('"'), QStringLiteral("''"));
    if (AValue.contains(ASeparator))
        AValue = QLatin1Char('"') + AValue + QLatin1Char('"');
    return AValue;
}

QStringList SplitLines(const QString& AText) {
    QString text = AText;
    text.replace(KCrLf, QStringLiteral("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return text.split(QLatin1Char('\n'));
}

// The first of ";", "," or a tab in the line, by position, outside double quotes: a comma file
// whose cells hold semicolons is still read at its commas.
std::optional<QChar> SeparatorInLine(const QString& ALine) {
    bool quoted = false;
    for (const QChar c : ALine) {
        if (c == u'"')
            quoted = !quoted;
        else if (!quoted && (c == u';' || c == u',' || c == u'\t'))
            return c;
    }
    return std::nullopt;
}

// Splits at separators outside double quotes; the quotes stay in the values.
QStringList SplitQuoted(const QString& ALine, QChar ASeparator) {
    QStringList values;
    QString current;
    bool quoted = false;
    for (const QChar c : ALine) {
        if (c == u'"')
            quoted = !quoted;
        if (c == ASeparator && !quoted) {
            values << current;
            current.clear();
        } else {
            current += c;
        }
    }
    values << current;
    return values;
}

QString Unquoted(const QString& AValue) {
    if (AValue.size() >= 2 && AValue.startsWith(QLatin1Char('"')) &&
        AValue.endsWith(QLatin1Char('"')))
        return AValue.mid(1, AValue.size() - 2);
    return AValue;
}

bool RepeatsCaptions(const QStringList& AValues, const TqvGridTable& ATable,
                     const QList<qsizetype>& AVisible) {
    if (AValues.isEmpty() || AValues.size() > AVisible.size())
        return false;
    for (qsizetype i = 0; i < AValues.size(); ++i)
        if (AValues[i].trimmed() != ATable.Columns[AVisible[i]].Caption.trimmed())
            return false;
    return true;
}

}  // namespace

QByteArray GridToXml(const TqvGridTable& ATable, const TqvGridGenerator& AGenerator,
                     bool AIncludeFixed) {
    TLineWriter out(QStringLiteral("<?xml version=\"1.0\" ?>"));
    out.Line(0, QStringLiteral("<grid>"));
    out.Line(2, QStringLiteral("<createdata>"));
    out.Line(4, QStringLiteral("<generator>"));
    out.Line(6, QStringLiteral("<name>") + EscapeXml(AGenerator.MakerName) + QLatin1Char(' ') +
                    KStringGridClassName + QStringLiteral("</name>"));
    out.Line(6, QStringLiteral("<version>2012-01</version>"));
    out.Line(6,
             QStringLiteral("<url>") + EscapeXml(AGenerator.MakerUrl) + QStringLiteral("</url>"));
    out.Line(4, QStringLiteral("</generator>"));
    out.Line(2, QStringLiteral("</createdata>"));
    out.Line(2, QStringLiteral("<metadata>"));
    out.Line(4, QStringLiteral("<fixedinfo>") +
                    (AIncludeFixed ? QStringLiteral("True") : QStringLiteral("False")) +
                    QStringLiteral("</fixedinfo>"));
    const qsizetype fixedRows = AIncludeFixed ? 1 : 0;
    if (AIncludeFixed) {
        out.Line(4, QStringLiteral("<fixedrows>1</fixedrows>"));
        out.Line(4, QStringLiteral("<fixedcols>0</fixedcols>"));
    }
    out.Line(4, QStringLiteral("<rowcount>%1</rowcount>").arg(ATable.Rows.size() + fixedRows));
    out.Line(4, QStringLiteral("<colcount>%1</colcount>").arg(ATable.ColumnCount()));
    out.Line(4, QStringLiteral("<cols>"));
    for (const TqvGridColumn& column : ATable.Columns)
        out.Line(6,
                 QStringLiteral("<col id=\"") + EscapeXml(column.Id) + QStringLiteral("\"></col>"));
    out.Line(4, QStringLiteral("</cols>"));
    out.Line(2, QStringLiteral("</metadata>"));
    out.Line(2, QStringLiteral("<rows>"));
    auto writeRow = [&out](const QStringList& ACells) {
        out.Line(4, QStringLiteral("<row>"));
        for (const QString& cell : ACells)
            out.Line(
                6, QStringLiteral("<col data=\"\">") + EscapeXml(cell) + QStringLiteral("</col>"));
        out.Line(4, QStringLiteral("</row>"));
    };
    if (AIncludeFixed) {
        QStringList captions;
        for (const TqvGridColumn& column : ATable.Columns)
            captions << column.Caption;
        writeRow(captions);
    }
    for (qsizetype r = 0; r < ATable.Rows.size(); ++r) {
        QStringList cells;
        for (qsizetype c = 0; c < ATable.ColumnCount(); ++c)
            cells << Cell(ATable, r, c);
        writeRow(cells);
    }
    out.Line(2, QStringLiteral("</rows>"));
    out.Line(0, QStringLiteral("</grid>"));
    return out.Utf8();
}

void GridFromXml(TqvGridTable& ATable, const QString& AText) {
    TXmlScanner scanner(AText);
    const std::optional<QString> fixedInfo = scanner.Element(QStringLiteral("fixedinfo"));
    const bool withFixed =
        fixedInfo && fixedInfo->trimmed().compare(QStringLiteral("True"), Qt::CaseInsensitive) == 0;
    qint64 fixedRows = 0;
    qint64 fixedCols = 0;
    if (withFixed) {
        fixedRows = CountOr(scanner.Element(QStringLiteral("fixedrows")), 0);
        fixedCols = CountOr(scanner.Element(QStringLiteral("fixedcols")), 0);
    }
    const qint64 rowCount =
        std::max<qint64>(CountOr(scanner.Element(QStringLiteral("rowcount")), 1) - fixedRows, 0);
    const qint64 colCount = CountOr(scanner.Element(QStringLiteral("colcount")), 1);
    RequireTableSize(rowCount, std::max<qint64>(colCount, ATable.ColumnCount()));

    // Where each cell of a row goes: by the listed identifiers, else by position.
    QList<std::optional<qsizetype>> target;
    bool byIdentifier = false;
    if (const std::optional<QStringView> cols = scanner.Region(QStringLiteral("cols"))) {
        const QList<TXmlCol> listed = ColElements(*cols);
        for (qsizetype i = fixedCols; i < listed.size(); ++i) {
            const QString id =
                Attribute(listed[i].Attributes, QStringLiteral("id")).value_or(QString());
            if (!id.isEmpty())
                byIdentifier = true;
            std::optional<qsizetype> column;
            for (qsizetype c = 0; c < ATable.ColumnCount(); ++c)
                if (ATable.Columns[c].Id == id) {
                    column = c;
                    break;
                }
            target << column;
        }
    }

    QList<QStringList> rows(rowCount, EmptyRow(ATable));
    if (const std::optional<QStringView> rowsRegion = scanner.Region(QStringLiteral("rows"))) {
        TXmlScanner rowScanner(rowsRegion->toString());
        qint64 index = -fixedRows;
        while (index < rowCount) {
            const std::optional<QStringView> row = rowScanner.Region(QStringLiteral("row"));
            if (!row)
                break;
            if (index >= 0) {
                const QList<TXmlCol> cells = ColElements(*row);
                for (qsizetype i = fixedCols; i < cells.size(); ++i) {
                    const qsizetype position = i - fixedCols;
                    std::optional<qsizetype> column;
                    if (byIdentifier)
                        column = position < target.size() ? target[position] : std::nullopt;
                    else if (position < ATable.ColumnCount())
                        column = position;
                    if (column)
                        rows[index][*column] = cells[i].Text;
                }
            }
            ++index;
        }
    }
    ATable.Rows = std::move(rows);
}

QByteArray GridToSeparated(const TqvGridTable& ATable, TqvGridFileType AType) {
    const QChar separator = SeparatorOf(AType);
    const QList<qsizetype> visible = VisibleColumns(ATable);
    QStringList lines;
    for (qsizetype r = 0; r < ATable.Rows.size(); ++r) {
        QStringList values;
        for (const qsizetype c : visible)
            values << SeparatedValue(Cell(ATable, r, c), separator);
        lines << values.join(separator);
    }
    QString text = lines.join(KCrLf);
    while (text.endsWith(QLatin1Char('\n')) || text.endsWith(QLatin1Char('\r')))
        text.chop(1);
    return text.toUtf8();
}

void GridFromSeparated(TqvGridTable& ATable, const QString& AText) {
    const QString text = AText.trimmed();
    QStringList lines = text.isEmpty() ? QStringList() : SplitLines(text);
    QChar separator = QLatin1Char(',');
    if (!lines.isEmpty()) {
        std::optional<QChar> found = SeparatorInLine(lines[0]);
        if (!found && lines.size() > 1)
            found = SeparatorInLine(lines[1]);
        separator = found.value_or(QLatin1Char(','));
    }
    const QList<qsizetype> visible = VisibleColumns(ATable);
    RequireTableSize(lines.size(), ATable.ColumnCount());
    QList<QStringList> rows;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        QStringList values = SplitQuoted(lines[i], separator);
        for (QString& value : values)
            value = Unquoted(value);
        if (i == 0 && RepeatsCaptions(values, ATable, visible))
            continue;
        QStringList row = EmptyRow(ATable);
        for (qsizetype v = 0; v < values.size() && v < visible.size(); ++v)
            row[visible[v]] = values[v];
        rows << row;
    }
    ATable.Rows = std::move(rows);
}

QByteArray GridToHtml(const TqvGridTable& ATable, const QString& ATitle,
                      const TqvGridGenerator& AGenerator) {
    TLineWriter out(
        QStringLiteral("<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.01 Transitional//EN\">"));
    out.Line(0, QStringLiteral("<html>"));
    out.Line(2, QStringLiteral("<head>"));
    out.Line(4, QStringLiteral(
                    "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=utf-8\">"));
    out.Line(4, QStringLiteral("<meta http-equiv=\"Content-Style-Type\" content=\"text/css\">"));
    out.Line(4, QStringLiteral("<meta name=\"Generator\" content=\"") +
                    EscapeXml(AGenerator.MakerName + QLatin1Char(' ') + KStringGridClassName +
                              QStringLiteral(" - ") + AGenerator.MakerUrl) +
                    QStringLiteral("\">"));
    out.Line(4, QStringLiteral("<title>") + EscapeXml(ATitle) + QStringLiteral("</title>"));
    out.Line(2, QStringLiteral("</head>"));
    out.Line(2, QStringLiteral("<body>"));
    out.Line(4, QStringLiteral("<table width=\"100%\" border=\"1\" cellspacing=\"2\" "
                               "cellpadding=\"2\" summary=\"Data\">"));
    const QList<qsizetype> visible = VisibleColumns(ATable);
    out.Line(6, QStringLiteral("<tr>"));
    for (const qsizetype c : visible)
        out.Line(8, QStringLiteral("<th align=\"center\">") +
                        EscapeHtmlCell(ATable.Columns[c].Caption) + QStringLiteral("</th>"));
    out.Line(6, QStringLiteral("</tr>"));
    for (qsizetype r = 0; r < ATable.Rows.size(); ++r) {
        out.Line(6, QStringLiteral("<tr>"));
        for (const qsizetype c : visible)
            out.Line(8, QStringLiteral("<td align=\"") +
                            AlignmentWord(ATable.Columns[c].Alignment) + QStringLiteral("\">") +
                            EscapeHtmlCell(Cell(ATable, r, c)) + QStringLiteral("</td>"));
        out.Line(6, QStringLiteral("</tr>"));
    }
    out.Line(4, QStringLiteral("</table>"));
    out.Line(2, QStringLiteral("</body>"));
    out.Line(0, QStringLiteral("</html>"));
    return out.Utf8();
}

TqvGridFileType GridImportFileType(const QString& APath) {
    const QString suffix = QFileInfo(APath).suffix().toLower();
    if (suffix == u"csv" || suffix == u"txt")
        return TqvGridFileType::gftCSV;
    return TqvGridFileType::gftXML;
}

TqvGridFileType GridExportFileType(const QString& APath) {
    const QString suffix = QFileInfo(APath).suffix().toLower();
    if (suffix == u"csv" || suffix == u"txt")
        return TqvGridFileType::gftCSV;
    if (suffix == u"htm" || suffix == u"html")
        return TqvGridFileType::gftHTML;
    return TqvGridFileType::gftXML;
}

QByteArray GridExportBytes(const TqvGridTable& ATable, TqvGridFileType AType, const QString& ATitle,
                           const TqvGridGenerator& AGenerator) {
    switch (AType) {
        case TqvGridFileType::gftCSV:
        case TqvGridFileType::gftSSV:
        case TqvGridFileType::gftTSV:
            return GridToSeparated(ATable, AType);
        case TqvGridFileType::gftHTML:
            return GridToHtml(ATable, ATitle, AGenerator);
        case TqvGridFileType::gftXML:
            return GridToXml(ATable, AGenerator);
        case TqvGridFileType::gftBin:
            break;
    }
    throw EqvValueOutOfValidRangeError(
        QStringLiteral("The grid cannot be exported in the binary format."));
}

void GridImportText(TqvGridTable& ATable, TqvGridFileType AType, const QString& AText) {
    switch (AType) {
        case TqvGridFileType::gftCSV:
        case TqvGridFileType::gftSSV:
        case TqvGridFileType::gftTSV:
            GridFromSeparated(ATable, AText);
            return;
        case TqvGridFileType::gftXML:
            GridFromXml(ATable, AText);
            return;
        case TqvGridFileType::gftHTML:
        case TqvGridFileType::gftBin:
            break;
    }
    throw EqvValueOutOfValidRangeError(
        QStringLiteral("The grid cannot be imported from this format (HTML and binary files "
                       "are written only)."));
}

void ExportGridFile(const TqvGridTable& ATable, const QString& APath,
                    const TqvGridGenerator& AGenerator) {
    const QByteArray bytes = GridExportBytes(ATable, GridExportFileType(APath),
                                             QFileInfo(APath).completeBaseName(), AGenerator);
    QString error;
    if (!WriteFileAtomically(APath, bytes, &error))
        throw EqvOperationNotPossible(QStringLiteral("The grid could not be exported to \"") +
                                      APath + QStringLiteral("\": ") + error);
}

void ImportGridFile(TqvGridTable& ATable, const QString& APath) {
    if (!QFileInfo(APath).isFile())
        throw EqvOperationNotPossible(QStringLiteral("The file \"") + APath +
                                      QStringLiteral("\" cannot be imported: it is no file."));
    const TTextFileContent content = ReadTextFileDetected(APath);
    if (content.Status != TTextReadStatus::Ok)
        throw EqvOperationNotPossible(QStringLiteral("The file \"") + APath +
                                      QStringLiteral("\" could not be read."));
    TqvGridTable imported = ATable;
    GridImportText(imported, GridImportFileType(APath), content.Text);
    ATable = std::move(imported);
}
