#include "plugin_host/property_validation.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cstdint>
#include <utility>

#include "base/exceptions.h"
#include "base/stream_fields.h"
#include "plugin_host/plugin_contract.h"
#include "plugin_host/plugin_descriptor.h"
#include "plugin_host/plugin_property.h"
#include "plugin_host/property_values.h"

namespace {

const QString KCrLf = QStringLiteral("\r\n");

// Numbers tried for a verification file name before giving up.
constexpr int KMaxVerificationFileNumber = 1'000'000;
// A grid the editor could not show; a stream asking for more is refused.
constexpr qint64 KMaxGridCells = 4'000'000;

std::int32_t ReadCount(TStreamReader& AReader, const char* AWhat) {
    const std::int32_t count = AReader.ReadInt32();
    if (count < 0)
        throw EqvValueOutOfValidRangeError(QStringLiteral("The stream holds a negative %1 (%2).")
                                               .arg(QString::fromLatin1(AWhat))
                                               .arg(count));
    return count;
}

struct TDeclaredColumn {
    QString Id;
    std::int32_t Flags = 0;
};

struct TCell {
    std::int32_t Col = 0;
    std::int32_t Row = 0;
    QString Value;
};

std::vector<TCell> ReadCells(TStreamReader& AReader) {
    const std::int32_t count = ReadCount(AReader, "grid cell count");
    std::vector<TCell> cells;
    for (std::int32_t i = 0; i < count; ++i) {
        TCell cell;
        cell.Col = AReader.ReadInt32();
        cell.Row = AReader.ReadInt32();
        cell.Value = AReader.ReadUtf8String();
        cells.push_back(std::move(cell));
    }
    return cells;
}

// A value-list column's list, from the default of its first data row: the first character is
// the separator, then the cell's value, then the items. Without a second separator the whole
// rest is the list and the cell keeps the full text.
struct TValueList {
    QString CellValue;
    QStringList Items;
};

TValueList ParseValueList(const QString& ADefault) {
    TValueList list;
    list.CellValue = ADefault;
    if (ADefault.isEmpty())
        return list;
    const QChar separator = ADefault.front();
    const QString rest = ADefault.mid(1);
    const qsizetype next = rest.indexOf(separator);
    if (next < 0) {
        list.Items = rest.split(separator);
        return list;
    }
    list.CellValue = rest.left(next);
    list.Items = rest.mid(next + 1).split(separator);
    return list;
}

}  // namespace

QString TextBoxProblemMessage(const QString& AErrorMsg, const QString& AAdviceMsg) {
    return AErrorMsg + KCrLf + KCrLf + AAdviceMsg;
}

QString GridProblemMessage(const QString& AErrorMsg, const QString& AAdviceMsg) {
    return AErrorMsg + KCrLf + AAdviceMsg;
}

QString FileProblemMessage(const QString& AErrorMsg, const QString& AAdviceMsg) {
    return AErrorMsg + KCrLf + KCrLf + AAdviceMsg;
}

bool VerifyTextBoxValues(TPluginStoredLibInfo& APlugin, const QString& APropName,
                         const std::vector<TTextBoxCheckValue>& AValues,
                         const TTextBoxProblemAnswer& AOnProblem) {
    bool result = true;
    const TExeHandleEditPropTextBoxErrorMsg handler =
        [&](const QString& ATextBoxID, const QString& AErrorMsg, const QString& AAdviceMsg) {
            if (!AOnProblem)
                return;
            if (const std::optional<bool> keep =
                    AOnProblem(ATextBoxID, TextBoxProblemMessage(AErrorMsg, AAdviceMsg)))
                result = *keep;
        };
    for (const TTextBoxCheckValue& value : AValues) {
        if (!result)
            break;
        APlugin.NP_VerifyPropTextBoxValue(APropName, value.TextBoxID, value.Text, handler);
    }
    return result;
}

bool VerifyGridValues(TPluginStoredLibInfo& APlugin, const TPluginProperty& AProperty,
                      QStringList& ACells, int AColCount, const TGridProblemAnswer& AOnProblem) {
    if (AColCount <= 0)
        return true;
    bool result = true;
    int row = -1;
    const TExeHandleEditPropGridErrorMsg handler =
        [&](std::int32_t AFieldInRowIndex, const QString& AErrorMsg, const QString& AAdviceMsg) {
            result = false;
            if (AOnProblem)
                AOnProblem(row, AFieldInRowIndex, GridProblemMessage(AErrorMsg, AAdviceMsg));
        };
    const auto* grid = dynamic_cast<const TPluginPropertyGrid*>(&AProperty);
    // Without the grid object there is no row-ignore level: every row is kept.
    QStringList kept;
    if (grid != nullptr) {
        kept = grid->GetRealValues(ACells, AColCount, true);
    } else {
        for (qsizetype i = 0; i < ACells.size(); ++i)
            kept << QString::number(i) + QLatin1Char('=') + ACells[i];
    }
    for (qsizetype first = 0; first + AColCount <= kept.size() && result; first += AColCount) {
        // Each entry is "<index in ACells>=<value>"; the index gives the row in the table.
        const QString& lead = kept[first];
        row = lead.left(lead.indexOf(QLatin1Char('='))).toInt() / AColCount;
        APlugin.NP_PrepareVerifyGridRow(AProperty.FPropName);
        for (qsizetype i = first; i < first + AColCount; ++i) {
            const QString& entry = kept[i];
            APlugin.NP_AddVerifyPropGridValue(AProperty.FPropName,
                                              entry.mid(entry.indexOf(QLatin1Char('=')) + 1));
        }
        APlugin.NP_EndVerifyGridRow(AProperty.FPropName, handler);
    }
    return result;
}

QString WriteVerificationFile(const QString& ATempFolder, const QString& ADocument) {
    if (ATempFolder.isEmpty())
        throw EqvParamWrong(QStringLiteral("No temporary folder is set for verification files."));
    const QDir folder(ATempFolder);
    QByteArray bytes(reinterpret_cast<const char*>(ADocument.utf16()), ADocument.size() * 2);
    // UTF-16 LE whatever the machine's byte order.
    if constexpr (QSysInfo::ByteOrder == QSysInfo::BigEndian)
        for (qsizetype i = 0; i + 1 < bytes.size(); i += 2)
            std::swap(bytes[i], bytes[i + 1]);
    for (int number = 1; number <= KMaxVerificationFileNumber; ++number) {
        const QString path = folder.filePath(QStringLiteral("temp%1.tmp").arg(number));
        QFile file(path);
        if (file.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
            if (file.write(bytes) == bytes.size() && file.flush())
                return path;
            const QString problem = file.errorString();
            file.close();
            file.remove();  // a cut document would be judged instead of the user's
            throw EqvOperationNotPossible(QStringLiteral("The verification file \"") + path +
                                          QStringLiteral("\" could not be written: ") + problem);
        }
        const QFileInfo info(path);
        if (info.exists() || info.isSymLink())
            continue;
        throw EqvOperationNotPossible(QStringLiteral("The verification file \"") + path +
                                      QStringLiteral("\" could not be created: ") +
                                      file.errorString());
    }
    throw EqvOperationNotPossible(QStringLiteral("No free name for a verification file in \"") +
                                  ATempFolder + QLatin1Char('"'));
}

bool VerifyFileValue(TPluginStoredLibInfo& APlugin, const QString& APropName,
                     const QString& ADocument, const QString& ATempFolder,
                     const TFileProblemAnswer& AOnProblem) {
    bool result = true;
    const QString path = WriteVerificationFile(ATempFolder, ADocument);
    const TExeHandleEditPropFileErrorMsg handler =
        [&](std::int32_t ACharPos, const QString& AErrorMsg, const QString& AAdviceMsg) {
            result = false;
            if (AOnProblem)
                AOnProblem(ACharPos, FileProblemMessage(AErrorMsg, AAdviceMsg));
        };
    try {
        APlugin.NP_VerifyPropFileValue(APropName, path, handler);
    } catch (...) {
        QFile::remove(path);
        throw;
    }
    QFile::remove(path);
    return result;
}

std::vector<TTextBoxCheckValue> TextBoxValuesOf(const TPluginProperty& AProperty,
                                                const QByteArray& AStored) {
    std::vector<TTextBoxCheckValue> values;
    if (AProperty.FInitStreamData.isEmpty())
        return values;
    TStreamReader init(AProperty.FInitStreamData);
    const std::int32_t count = ReadCount(init, "text box count");
    for (std::int32_t i = 0; i < count; ++i) {
        TTextBoxCheckValue value;
        value.TextBoxID = init.ReadAnsiString();
        init.ReadUtf8String();  // caption
        value.Text = init.ReadUtf8String();
        values.push_back(std::move(value));
    }
    if (AStored.isEmpty())
        return values;
    TStreamReader stored(AStored);
    const std::int32_t storedCount = ReadCount(stored, "text box count");
    for (std::int32_t i = 0; i < storedCount; ++i) {
        const QString id = stored.ReadAnsiString();
        const QString text = stored.ReadUtf8String();
        for (TTextBoxCheckValue& value : values)
            if (value.TextBoxID == id)
                value.Text = text;
    }
    return values;
}

QStringList GridValuesOf(const TPluginProperty& AProperty, const QByteArray& AStored,
                         int& AColCount) {
    AColCount = 0;
    if (AProperty.FInitStreamData.isEmpty())
        return {};
    TStreamReader init(AProperty.FInitStreamData);
    std::vector<TDeclaredColumn> columns;
    const std::int32_t colCount = ReadCount(init, "grid column count");
    for (std::int32_t i = 0; i < colCount; ++i) {
        TDeclaredColumn column;
        column.Id = init.ReadAnsiString();
        init.ReadUtf8String();  // caption
        init.ReadAnsiString();  // width
        column.Flags = init.ReadInt32();
        columns.push_back(std::move(column));
    }
    const std::vector<TCell> defaults = ReadCells(init);
    // The value lists come from the defaults of the first data row.
    std::vector<std::optional<TValueList>> lists(columns.size());
    for (const TCell& cell : defaults)
        if (cell.Row == 0 && cell.Col >= 0 && cell.Col < colCount &&
            (columns[std::size_t(cell.Col)].Flags & KColFlagValueList) != 0)
            lists[std::size_t(cell.Col)] = ParseValueList(cell.Value);

    // The cells to lay out, in declared columns: the stored ones mapped by identifier, else the
    // defaults (a value-list default shows its own value).
    std::vector<TCell> cells;
    if (AStored.isEmpty()) {
        cells = defaults;
        for (TCell& cell : cells)
            if (cell.Row == 0 && cell.Col >= 0 && cell.Col < colCount &&
                lists[std::size_t(cell.Col)])
                cell.Value = lists[std::size_t(cell.Col)]->CellValue;
    } else {
        TStreamReader stored(AStored);
        const std::int32_t storedCols = ReadCount(stored, "grid column count");
        std::vector<int> mapped;
        for (std::int32_t i = 0; i < storedCols; ++i) {
            const QString id = stored.ReadAnsiString();
            const auto found = std::find_if(columns.begin(), columns.end(),
                                            [&](const TDeclaredColumn& A) { return A.Id == id; });
            mapped.push_back(found == columns.end() ? -1 : int(found - columns.begin()));
        }
        for (TCell& cell : ReadCells(stored)) {
            if (cell.Col < 0 || cell.Col >= storedCols || mapped[std::size_t(cell.Col)] < 0)
                continue;  // a column the plugin no longer declares
            cell.Col = mapped[std::size_t(cell.Col)];
            const TDeclaredColumn& column = columns[std::size_t(cell.Col)];
            if ((column.Flags & KColFlagMultiLine) == 0)
                cell.Value = RemoveLineBreaks(cell.Value);
            const std::optional<TValueList>& list = lists[std::size_t(cell.Col)];
            if (list && !list->Items.isEmpty() && !list->Items.contains(cell.Value))
                cell.Value = list->Items.front();
            cells.push_back(std::move(cell));
        }
    }
    qint64 rows = 0;
    for (const TCell& cell : cells)
        if (cell.Col >= 0 && cell.Col < colCount && cell.Row >= 0)
            rows = std::max<qint64>(rows, qint64(cell.Row) + 1);
    if (rows * colCount > KMaxGridCells)
        throw EqvValueOutOfValidRangeError(
            QStringLiteral("The grid values of property \"%1\" ask for %2 rows, more than a grid "
                           "can hold.")
                .arg(AProperty.FPropName)
                .arg(rows));
    QStringList table(rows * colCount);
    for (const TCell& cell : cells)
        if (cell.Col >= 0 && cell.Col < colCount && cell.Row >= 0)
            table[qint64(cell.Row) * colCount + cell.Col] = cell.Value;
    AColCount = colCount;
    return table;
}

QString FileDocumentOf(const TPluginProperty& AProperty, const QByteArray& AStored) {
    QString document;
    std::int32_t flags = 0;
    if (!AProperty.FInitStreamData.isEmpty()) {
        TStreamReader init(AProperty.FInitStreamData);
        document = init.ReadUtf8String();
        if (!init.AtEnd())
            flags = init.ReadInt32();
    }
    if (AStored.isEmpty())
        return document;
    TStreamReader stored(AStored);
    const QString text = stored.ReadUtf8String();
    if ((flags & KFileFlagIni) != 0 && text != document)
        return MergeIniIntoDefault(document, text);
    return text;
}

std::optional<TPropertyProblem> VerifyCombinationValues(
    TPluginStoredLibInfo& APlugin, const std::function<QByteArray(const QString&)>& AStored,
    const QString& ATempFolder, const TCombinationCheckReports& AReports,
    const QString& ASkipPropName) {
    for (const auto& property : APlugin.FProperties) {
        const QString& name = property->FPropName;
        if (!ASkipPropName.isEmpty() && name == ASkipPropName)
            continue;
        const QByteArray stored = AStored ? AStored(name) : QByteArray();
        TPropertyProblem problem;
        problem.PropName = name;
        bool passed = true;
        switch (property->FVisualPropType) {
            case vptTextBoxes:
                passed = VerifyTextBoxValues(
                    APlugin, name, TextBoxValuesOf(*property, stored),
                    [&](const QString& ATextBoxID, const QString& AMessage) -> std::optional<bool> {
                        problem.TextBoxID = ATextBoxID;
                        return AReports.AskKeepTextBox ? AReports.AskKeepTextBox(problem, AMessage)
                                                       : false;
                    });
                break;
            case vptGrid: {
                int colCount = 0;
                QStringList cells = GridValuesOf(*property, stored, colCount);
                passed = VerifyGridValues(APlugin, *property, cells, colCount,
                                          [&](int ARow, int AColumn, const QString& AMessage) {
                                              problem.DataRow = ARow;
                                              problem.Column = AColumn;
                                              if (AReports.ShowProblem)
                                                  AReports.ShowProblem(problem, AMessage);
                                          });
                break;
            }
            case vptFile:
                passed = VerifyFileValue(APlugin, name, FileDocumentOf(*property, stored),
                                         ATempFolder, [&](int ACharPos, const QString& AMessage) {
                                             problem.CharPos = ACharPos;
                                             if (AReports.ShowProblem)
                                                 AReports.ShowProblem(problem, AMessage);
                                         });
                break;
            default:
                break;  // choices pass; kinds without a page are refused when the batch starts
        }
        if (!passed)
            return problem;
    }
    return std::nullopt;
}
