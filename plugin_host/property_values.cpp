#include "plugin_host/property_values.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QList>
#include <QStringList>

#include <algorithm>
#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

#include "base/exceptions.h"
#include "base/ini_document.h"
#include "base/stream_fields.h"
#include "plugin_host/host_services.h"
#include "plugin_host/plugin_descriptor.h"
#include "plugin_host/plugin_property.h"

namespace {

// Grid column flag: values may hold line breaks.

// A grid table larger than this cannot come from the editor; a stream asking for it (a row index
// near 2^31 in a damaged project) is refused instead of exhausting memory.
constexpr qint64 KMaxGridTableCells = 4'000'000;

// Numbers tried for a value file name before giving up.
constexpr int KMaxValueFileNumber = 1'000'000;

[[noreturn]] void RaiseNoEditorPage() {
    throw EqvOperationNotPossible(QStringLiteral(
        "\"GetPluginPropFrameClass\" failed to find correct descendant of \"TFrameCommonClass\""));
}

// A count field; a negative one is refused before anything is delivered with it.
std::int32_t ReadCount(TStreamReader& AReader, const QString& AWhat) {
    const std::int32_t count = AReader.ReadInt32();
    if (count < 0)
        throw EqvValueOutOfValidRangeError(
            QStringLiteral("The stream holds a negative %1 (%2).").arg(AWhat).arg(count));
    return count;
}

// Choices -----------------------------------------------------------------------------------

// The identifiers of the declared items whose Checked byte is set, in declaration order.
QList<QByteArray> CheckedChoiceIds(const QByteArray& AInitStream) {
    TStreamReader reader(AInitStream);
    const std::int32_t count = ReadCount(reader, QStringLiteral("choice count"));
    QList<QByteArray> checked;
    for (std::int32_t i = 0; i < count; ++i) {
        QByteArray id = reader.ReadAnsiBytes();
        reader.ReadUtf8String();  // caption
        if (reader.ReadByte() != 0)
            checked << std::move(id);
    }
    return checked;
}

QByteArray SingleChoiceFromInit(const QByteArray& AInitStream) {
    const QList<QByteArray> checked = CheckedChoiceIds(AInitStream);
    TStreamWriter writer;
    writer.WriteAnsiBytes(checked.isEmpty() ? QByteArray() : checked.first());
    return writer.TakeData();
}

QByteArray MultipleChoiceFromInit(const QByteArray& AInitStream) {
    const QList<QByteArray> checked = CheckedChoiceIds(AInitStream);
    TStreamWriter writer;
    writer.WriteInt32(static_cast<std::int32_t>(checked.size()));
    for (const QByteArray& id : checked)
        writer.WriteAnsiBytes(id);
    return writer.TakeData();
}

// Text boxes --------------------------------------------------------------------------------

QByteArray TextBoxesFromPerst(const QByteArray& APerstStream) {
    TStreamReader reader(APerstStream);
    const std::int32_t count = ReadCount(reader, QStringLiteral("text box count"));
    TStreamWriter writer;
    writer.WriteInt32(count);
    for (std::int32_t i = 0; i < count; ++i) {
        writer.WriteAnsiBytes(reader.ReadAnsiBytes());
        writer.WriteUtf8String(reader.ReadUtf8String());
    }
    return writer.TakeData();
}

QByteArray TextBoxesFromInit(const QByteArray& AInitStream) {
    TStreamReader reader(AInitStream);
    const std::int32_t count = ReadCount(reader, QStringLiteral("text box count"));
    TStreamWriter writer;
    writer.WriteInt32(count);
    for (std::int32_t i = 0; i < count; ++i) {
        writer.WriteAnsiBytes(reader.ReadAnsiBytes());
        reader.ReadUtf8String();  // caption
        writer.WriteUtf8String(reader.ReadUtf8String());
    }
    return writer.TakeData();
}

// Grids -------------------------------------------------------------------------------------

struct TGridColumn {
    QByteArray Id;
    std::int32_t Flags = 0;
};

struct TGridCell {
    std::int32_t Col = 0;
    std::int32_t Row = 0;
    QString Value;
};

struct TGridData {
    std::vector<TGridColumn> Columns;
    std::vector<TGridCell> Cells;
};

std::vector<TGridColumn> ReadDeclaredColumns(TStreamReader& AReader) {
    const std::int32_t count = ReadCount(AReader, QStringLiteral("grid column count"));
    std::vector<TGridColumn> columns;
    for (std::int32_t i = 0; i < count; ++i) {
        TGridColumn column;
        column.Id = AReader.ReadAnsiBytes();
        AReader.ReadUtf8String();  // caption
        AReader.ReadAnsiBytes();   // width
        column.Flags = AReader.ReadInt32();
        columns.push_back(std::move(column));
    }
    return columns;
}

std::vector<TGridCell> ReadCells(TStreamReader& AReader, const QString& AWhat) {
    const std::int32_t count = ReadCount(AReader, AWhat);
    std::vector<TGridCell> cells;
    for (std::int32_t i = 0; i < count; ++i) {
        TGridCell cell;
        cell.Col = AReader.ReadInt32();
        cell.Row = AReader.ReadInt32();
        cell.Value = AReader.ReadUtf8String();
        cells.push_back(std::move(cell));
    }
    return cells;
}

TGridData ReadGridInit(const QByteArray& AInitStream) {
    TStreamReader reader(AInitStream);
    TGridData grid;
    grid.Columns = ReadDeclaredColumns(reader);
    grid.Cells = ReadCells(reader, QStringLiteral("default grid value count"));
    return grid;
}

// A stored grid. Values of columns declared without the multi-line flag lose their line
// breaks, as the editor shows them; streams the editor wrote hold none anyway.
TGridData ReadGridPerst(const QByteArray& APerstStream, const QByteArray& AInitStream) {
    TStreamReader reader(APerstStream);
    TGridData grid;
    const std::int32_t colCount = ReadCount(reader, QStringLiteral("grid column count"));
    for (std::int32_t i = 0; i < colCount; ++i)
        grid.Columns.push_back(TGridColumn{reader.ReadAnsiBytes(), KColFlagMultiLine});
    grid.Cells = ReadCells(reader, QStringLiteral("grid cell count"));

    if (AInitStream.isEmpty())
        return grid;
    TStreamReader initReader(AInitStream);
    QHash<QByteArray, std::int32_t> declaredFlags;
    for (const TGridColumn& declared : ReadDeclaredColumns(initReader))
        if (!declaredFlags.contains(declared.Id))
            declaredFlags.insert(declared.Id, declared.Flags);
    for (TGridColumn& column : grid.Columns)
        column.Flags = declaredFlags.value(column.Id, KColFlagMultiLine);
    for (TGridCell& cell : grid.Cells) {
        if (cell.Col < 0 || cell.Col >= colCount)
            continue;
        if ((grid.Columns[static_cast<std::size_t>(cell.Col)].Flags & KColFlagMultiLine) == 0)
            cell.Value = RemoveLineBreaks(cell.Value);
    }
    return grid;
}

// Lays the cells out row by row up to the largest row index, filters the rows with the
// property's row-ignore level and writes the kept cells renumbered.
QByteArray GridToBatch(const TPluginProperty& AProperty, const TGridData& AGrid) {
    const qint64 colCount = static_cast<qint64>(AGrid.Columns.size());
    TStreamWriter writer;
    if (colCount == 0) {
        writer.WriteInt32(0);
        return writer.TakeData();
    }
    // Cells outside the declared columns or before the first row have no place in the table.
    auto placed = [&](const TGridCell& ACell) {
        return ACell.Col >= 0 && ACell.Col < colCount && ACell.Row >= 0;
    };
    qint64 rowCount = 0;
    for (const TGridCell& cell : AGrid.Cells)
        if (placed(cell))
            rowCount = std::max<qint64>(rowCount, qint64(cell.Row) + 1);
    if (rowCount * colCount > KMaxGridTableCells)
        throw EqvValueOutOfValidRangeError(
            QStringLiteral("The grid values of property \"%1\" ask for %2 rows of %3 cells, more "
                           "than a grid can hold.")
                .arg(AProperty.FPropName)
                .arg(rowCount)
                .arg(colCount));

    QStringList table(rowCount * colCount);
    for (const TGridCell& cell : AGrid.Cells)
        if (placed(cell))
            table[qint64(cell.Row) * colCount + cell.Col] = cell.Value;

    const auto* gridProperty = dynamic_cast<const TPluginPropertyGrid*>(&AProperty);
    // A grid kind without the grid object has no row-ignore level: every row is kept.
    const QStringList kept = gridProperty != nullptr ? gridProperty->GetRealValues(
                                                           table, static_cast<int>(colCount), false)
                                                     : table;

    writer.WriteInt32(static_cast<std::int32_t>(kept.size()));
    for (qsizetype i = 0; i < kept.size(); ++i) {
        const qsizetype col = i % colCount;
        writer.WriteAnsiBytes(AGrid.Columns[static_cast<std::size_t>(col)].Id);
        writer.WriteInt32(static_cast<std::int32_t>(col));
        writer.WriteInt32(static_cast<std::int32_t>(i / colCount));
        writer.WriteUtf8String(kept[i]);
    }
    return writer.TakeData();
}

// Files -------------------------------------------------------------------------------------

QByteArray FileFromInit(const QByteArray& AInitStream) {
    TStreamReader reader(AInitStream);
    TStreamWriter writer;
    writer.WriteUtf8String(reader.ReadUtf8String());  // the flags after it are not delivered
    return writer.TakeData();
}

void LogValueFileProblem(const TPluginStoredLibInfo& ADescriptor, const QString& AMessage) {
    ADescriptor.Services().LogProblem(nullptr, AMessage);
}

// Creates "prop<N>.val" with the first number whose name is free, exclusively (a name taken
// meanwhile by someone else just moves on to the next number), and writes the document into it.
// Returns the path; when the file cannot be made, it is absent, the problem is logged and the
// path tried is still returned.
QString WriteValueFile(const TPluginStoredLibInfo& ADescriptor, const QString& APropName,
                       const QString& ATempFolder, const QString& ADocument) {
    if (ATempFolder.isEmpty())
        throw EqvParamWrong(
            QStringLiteral("No temporary folder is set for the value file of property \"") +
            APropName + QLatin1Char('"'));
    const QDir folder(ATempFolder);
    const QByteArray bytes = ADocument.toUtf8();
    QString path;
    QString problem;
    for (int number = 1; number <= KMaxValueFileNumber; ++number) {
        path = folder.filePath(QStringLiteral("prop%1.val").arg(number));
        QFile file(path);
        if (file.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
            if (file.write(bytes) == bytes.size() && file.flush())
                return path;
            problem = file.errorString();
            file.close();
            file.remove();  // a half-written document would pass for the user's values
            break;
        }
        const QFileInfo info(path);
        if (info.exists() || info.isSymLink())
            continue;
        problem = file.errorString();
        break;
    }
    if (problem.isEmpty())
        problem = QStringLiteral("no free file name");
    LogValueFileProblem(ADescriptor,
                        QStringLiteral("The value file \"") + path +
                            QStringLiteral("\" of property \"") + APropName +
                            QStringLiteral("\" of plugin \"") + ADescriptor.FPluginPathName +
                            QStringLiteral("\" could not be written (") + problem +
                            QStringLiteral("). The plugin was given its path all the same."));
    return path;
}

// INI merge ---------------------------------------------------------------------------------

// A key's value among the lines before the first section header of an INI text (TIniDocument
// keeps those lines, but finds keys in named sections only). Same key rules as TIniDocument.
std::optional<QString> ValueBeforeFirstSection(const QStringList& ALines, const QString& AKey) {
    for (const QString& raw : ALines) {
        const QString trimmed = raw.trimmed();
        if (trimmed.startsWith(QLatin1Char('[')) && trimmed.endsWith(QLatin1Char(']')))
            break;
        if (trimmed.startsWith(QLatin1Char(';')) || trimmed.startsWith(QLatin1Char('#')))
            continue;
        const qsizetype eq = raw.indexOf(QLatin1Char('='));
        if (eq <= 0)
            continue;
        const QString key = raw.left(eq).trimmed();
        if (!key.isEmpty() && key.compare(AKey, Qt::CaseInsensitive) == 0)
            return raw.mid(eq + 1);
    }
    return std::nullopt;
}

QStringList SplitLines(const QString& AText) {
    QString text = AText;
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return text.split(QLatin1Char('\n'));
}

}  // namespace

QByteArray ToBatchFromPerstData(const TPluginProperty& AProperty,
                                const QByteArray& AFromPerstStream) {
    switch (AProperty.FVisualPropType) {
        case vtpChoiceSingle:
        case vtpChoiceMultiple:
        case vptFile:
            return AFromPerstStream;
        case vptTextBoxes:
            return TextBoxesFromPerst(AFromPerstStream);
        case vptGrid:
            return GridToBatch(AProperty,
                               ReadGridPerst(AFromPerstStream, AProperty.FInitStreamData));
        default:
            break;
    }
    RaiseNoEditorPage();
}

QByteArray ToBatchFromInitData(const TPluginProperty& AProperty,
                               const QByteArray& AFromInitStream) {
    switch (AProperty.FVisualPropType) {
        case vtpChoiceSingle:
            return SingleChoiceFromInit(AFromInitStream);
        case vtpChoiceMultiple:
            return MultipleChoiceFromInit(AFromInitStream);
        case vptTextBoxes:
            return TextBoxesFromInit(AFromInitStream);
        case vptGrid:
            return GridToBatch(AProperty, ReadGridInit(AFromInitStream));
        case vptFile:
            return FileFromInit(AFromInitStream);
        default:
            break;
    }
    RaiseNoEditorPage();
}

QByteArray CreatePluginBatchDataStream(const TPluginStoredLibInfo& APluginStoredLibInfo,
                                       const QString& APropName, const QByteArray& APerstStream) {
    // The batch prepares the delivery here, so a missing name carries the delivery's context.
    const int index = APluginStoredLibInfo.GetPropNameIndex(
        APropName, true, QStringLiteral("Plugin work data could not be set"));
    const TPluginProperty& property =
        *APluginStoredLibInfo.FProperties[static_cast<std::size_t>(index)];
    switch (property.FVisualPropType) {
        case vtpChoiceSingle:
        case vtpChoiceMultiple:
        case vptTextBoxes:
        case vptGrid:
        case vptFile:
            break;
        default:
            RaiseNoEditorPage();
    }
    if (!APerstStream.isEmpty())
        return ToBatchFromPerstData(property, APerstStream);
    if (!property.FInitStreamData.isEmpty())
        return ToBatchFromInitData(property, property.FInitStreamData);
    return {};
}

void DeliverPluginWorkData(TPluginStoredLibInfo& ADescriptor, const TPluginProperty& AProperty,
                           const QByteArray& ABatchStream, const QString& ATempFolder) {
    const QString& name = AProperty.FPropName;
    // Each kind reads its whole stream before the first call, so a damaged stream reaches the
    // plugin not at all rather than in part.
    TStreamReader reader(ABatchStream);
    switch (AProperty.FVisualPropType) {
        case vtpChoiceSingle: {
            const QString id = reader.ReadAnsiString();
            ADescriptor.NP_SetPropChoiceValue(name, id);
            return;
        }
        case vtpChoiceMultiple: {
            const std::int32_t count = ReadCount(reader, QStringLiteral("choice count"));
            QStringList ids;
            for (std::int32_t i = 0; i < count; ++i)
                ids << reader.ReadAnsiString();
            ADescriptor.NP_SetPropChoiceValueCount(name, count);
            for (const QString& id : ids)
                ADescriptor.NP_SetPropChoiceValue(name, id);
            return;
        }
        case vptTextBoxes: {
            const std::int32_t count = ReadCount(reader, QStringLiteral("text box count"));
            QList<std::pair<QString, QString>> boxes;
            for (std::int32_t i = 0; i < count; ++i) {
                QString id = reader.ReadAnsiString();
                boxes.append({std::move(id), reader.ReadUtf8String()});
            }
            for (const auto& [id, value] : boxes)
                ADescriptor.NP_SetPropTextBoxValue(name, id, value);
            return;
        }
        case vptGrid: {
            struct TBatchCell {
                QString ColId;
                std::int32_t Row;
                QString Value;
            };
            const std::int32_t count = ReadCount(reader, QStringLiteral("grid value count"));
            std::vector<TBatchCell> cells;
            for (std::int32_t i = 0; i < count; ++i) {
                TBatchCell cell;
                cell.ColId = reader.ReadAnsiString();
                reader.ReadInt32();  // the column index is not passed on
                cell.Row = reader.ReadInt32();
                cell.Value = reader.ReadUtf8String();
                cells.push_back(std::move(cell));
            }
            ADescriptor.NP_SetPropGridValueCount(name, count);
            for (const TBatchCell& cell : cells)
                ADescriptor.NP_SetPropGridValue(name, cell.ColId, cell.Row, cell.Value);
            return;
        }
        case vptFile: {
            const QString document = reader.ReadUtf8String();
            ADescriptor.NP_SetPropFileValue(
                name, WriteValueFile(ADescriptor, name, ATempFolder, document));
            return;
        }
        case vptCustom:
            return;
        default:
            break;
    }
    throw EqvParamOutOfValidRangeError(QStringLiteral("SetPluginWorkData"));
}

void DeliverCombinationValues(TPluginStoredLibInfo& APlugin, const QString& ACombination,
                              const std::function<QByteArray(const QString&)>& AStoredStream) {
    for (const auto& property : APlugin.FProperties) {
        const QString& name = property->FPropName;
        try {
            APlugin.SetPluginWorkData(
                name, CreatePluginBatchDataStream(APlugin, name, AStoredStream(name)));
        } catch (const std::exception& e) {
            // The bare stream error ("ends too early at offset 46") does not say where to look.
            throw EqvOperationNotPossible(
                QStringLiteral("The value of property \"%1\" could not be handed to plugin "
                               "\"%2\" (\"%3\") in combination \"%4\": %5")
                    .arg(name, APlugin.FPluginInfoHost.PluginName, APlugin.FPluginPathName,
                         ACombination, ExceptionMessage(e)));
        }
    }
}

int RemoveValueFiles(const QString& ATempFolder) {
    // An empty folder name would mean the current folder, which is not ours to clean.
    if (ATempFolder.isEmpty())
        return 0;
    const QDir folder(ATempFolder);
    int failed = 0;
    const QStringList names = folder.entryList(
        {QStringLiteral("*.val")}, QDir::Files | QDir::Hidden | QDir::System | QDir::CaseSensitive);
    for (const QString& name : names)
        if (!QFile::remove(folder.filePath(name)))
            ++failed;
    return failed;
}

QString MergeIniIntoDefault(const QString& ADefaultDocument, const QString& AStoredDocument) {
    const TIniDocument stored = TIniDocument::FromText(AStoredDocument);
    const QStringList storedLines = SplitLines(AStoredDocument);
    QStringList lines = SplitLines(ADefaultDocument);
    QString section;
    bool inSection = false;
    for (QString& line : lines) {
        const QString head = line.trimmed();
        if (head.isEmpty() || head.startsWith(QLatin1Char(';')))
            continue;
        if (head.startsWith(QLatin1Char('['))) {
            const qsizetype close = head.indexOf(QLatin1Char(']'));
            section = (close < 0 ? head.mid(1) : head.mid(1, close - 1)).trimmed();
            inSection = true;
            continue;
        }
        const qsizetype eq = line.indexOf(QLatin1Char('='));
        // A line without "=" holds no key; giving it one would change the document.
        if (eq < 0)
            continue;
        const QString key = line.left(eq).trimmed();
        std::optional<QString> value;
        if (!inSection)
            value = ValueBeforeFirstSection(storedLines, key);
        else if (stored.ValueExists(section, key))
            value = stored.ReadString(section, key);
        if (value)
            line = line.left(eq + 1) + *value;
    }
    return lines.join(QStringLiteral("\r\n"));
}

QString RemoveLineBreaks(const QString& AValue) {
    QString result = AValue;
    result.remove(QLatin1Char('\r'));
    result.remove(QLatin1Char('\n'));
    return result;
}
