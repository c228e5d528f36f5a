#include "ui/property_pages/frame_plugins_setup_option_grid.h"

#include <QVBoxLayout>

#include <algorithm>
#include <utility>
#include <vector>

#include "app/user_prompts.h"
#include "base/exceptions.h"
#include "base/stream_fields.h"
#include "plugin_host/plugin_contract.h"
#include "plugin_host/plugin_property.h"
#include "plugin_host/property_validation.h"
#include "plugin_host/property_values.h"
#include "translation/translated_text.h"
#include "ui/property_pages/property_page_texts.h"
#include "ui/property_pages/str_editor_dialog.h"

namespace {

TqvGridGenerator Generator() {
    return {KCompanyNameShort, KCompanyUrlFull};
}

bool Has(std::int32_t AFlags, std::int32_t ABit) {
    return (AFlags & ABit) == ABit;
}

std::int32_t ReadCount(TStreamReader& AReader, const char* AWhat) {
    const std::int32_t count = AReader.ReadInt32();
    if (count < 0)
        throw EqvValueOutOfValidRangeError(QStringLiteral("The grid's %1 is negative (%2).")
                                               .arg(QString::fromLatin1(AWhat))
                                               .arg(count));
    return count;
}

struct TGridCellValue {
    std::int32_t Col = 0;
    std::int32_t Row = 0;
    QString Value;
};

}  // namespace

const QString TFramePluginsSetupOptionGrid::KImportFilter =
    QStringLiteral("XML file (*.xml)|*.xml|CSV file (*.csv;*.txt)|*.csv;*.txt");
const QString TFramePluginsSetupOptionGrid::KExportFilter = QStringLiteral(
    "XML file (*.xml)|*.xml|CSV file (*.csv;*.txt)|*.csv;*.txt|HTML file (*.htm;*.html)|"
    "*.htm;*.html");

TGridValueListDefault ParseGridValueListDefault(const QString& ADeclared) {
    TGridValueListDefault result;
    if (ADeclared.isEmpty())
        return result;
    const QChar separator = ADeclared.front();
    const QString rest = ADeclared.mid(1);
    const qsizetype next = rest.indexOf(separator);
    if (next < 0) {
        result.CellValue = ADeclared;
        result.Items = rest.split(separator);
        return result;
    }
    result.CellValue = rest.left(next);
    result.Items = rest.mid(next + 1).split(separator);
    return result;
}

TFramePluginsSetupOptionGrid::TFramePluginsSetupOptionGrid(const TFrameServices& AServices)
    : TFrameCommonPlugin(AServices, QStringLiteral("__FramePluginsSetupOptionGrid")),
      FGrid(new TqvStringGrid(this)) {
    setObjectName(QStringLiteral("FramePluginsSetupOptionGrid"));
    FTrySupportService_InsertFilePath = true;
    FTrySupportService_OpenTextEditor = true;
    FGrid->setObjectName(QStringLiteral("sgdPropGrid"));
    MarkCaptionIsData(FGrid);  // the captions are the plugin's
    FGrid->SetOnChanged([this] { MarkModified(); });
    FGrid->SetChoosers(
        {[this](const QString& AStart, bool AWithFiles) {
             return FServices.ChooseFolder ? FServices.ChooseFolder(QString(), AStart, AWithFiles)
                                           : QString();
         },
         [this] {
             if (!FServices.ChooseOpenFile)
                 return QString();
             return FServices.ChooseOpenFile(TProjectDialogSetup{}).value_or(QString());
         }});
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(FGrid);
}

TFramePluginsSetupOptionGrid::~TFramePluginsSetupOptionGrid() {
    FGrid->SetOnChanged({});  // the grid outlives this part of the page
}

const TPluginPropertyGrid* TFramePluginsSetupOptionGrid::GridProperty() const {
    return dynamic_cast<const TPluginPropertyGrid*>(Property());
}

void TFramePluginsSetupOptionGrid::DoInitData(const QByteArray& AStream, const QString& APropName,
                                              TPluginStoredLibInfo* ACurPSLI) {
    TFrameCommonPlugin::DoInitData(AStream, APropName, ACurPSLI);
    if (AStream.isEmpty())
        return;
    TStreamReader reader(AStream);
    QList<TqvStringGridColumn> columns;
    const std::int32_t colCount = ReadCount(reader, "column count");
    for (std::int32_t i = 0; i < colCount; ++i) {
        TqvStringGridColumn column;
        column.Id = reader.ReadAnsiString();
        column.Caption = reader.ReadUtf8String();
        column.WidthRule = reader.ReadAnsiString();
        if (column.WidthRule.trimmed().isEmpty())
            column.WidthRule = QStringLiteral("100%");
        column.Flags = reader.ReadInt32();
        columns << column;
    }
    std::vector<TGridCellValue> defaults;
    const std::int32_t defaultCount = ReadCount(reader, "default value count");
    for (std::int32_t i = 0; i < defaultCount; ++i) {
        TGridCellValue cell;
        cell.Col = reader.ReadInt32();
        cell.Row = reader.ReadInt32();
        cell.Value = reader.ReadUtf8String();
        defaults.push_back(std::move(cell));
    }
    // Value lists: the fixed ones, the offered patterns, or the first data row's default.
    for (int c = 0; c < columns.size(); ++c) {
        TqvStringGridColumn& column = columns[c];
        if (Has(column.Flags, KColFlagTrueFalse)) {
            column.ValueList = {QStringLiteral("True"), QStringLiteral("False")};
        } else if (Has(column.Flags, KColFlagFilterPatterns)) {
            if (FServices.OfferedPatterns)
                column.ValueList = FServices.OfferedPatterns();
        } else if (Has(column.Flags, KColFlagValueList)) {
            for (TGridCellValue& cell : defaults)
                if (cell.Col == c && cell.Row == 0) {
                    TGridValueListDefault parsed = ParseGridValueListDefault(cell.Value);
                    column.ValueList = std::move(parsed.Items);
                    cell.Value = std::move(parsed.CellValue);
                }
        }
    }
    qint64 rows = 1;
    for (const TGridCellValue& cell : defaults)
        if (cell.Col >= 0 && cell.Col < colCount && cell.Row >= 0)
            rows = std::max<qint64>(rows, qint64(cell.Row) + 1);
    if (rows * std::max(colCount, 1) > KMaxGridImportCells)
        throw EqvValueOutOfValidRangeError(
            QStringLiteral("The default values of grid property \"%1\" ask for %2 rows.")
                .arg(APropName)
                .arg(rows));
    WhileLoading([&] {
        FGrid->SetColumns(columns);
        FGrid->SetDataRowCount(static_cast<int>(rows));
        for (const TGridCellValue& cell : defaults)
            FGrid->SetCell(cell.Col, cell.Row, cell.Value);
    });
}

QString TFramePluginsSetupOptionGrid::CheckedListValue(int ACol, const QString& AValue) const {
    const TqvStringGridColumn& column = FGrid->Column(ACol);
    if (!Has(column.Flags, KColFlagValueList) || column.ValueList.isEmpty() || AValue.isEmpty() ||
        column.ValueList.contains(AValue))
        return AValue;
    return column.ValueList.front();
}

void TFramePluginsSetupOptionGrid::SavePerstStreamData_Memory(QByteArray& AMemoryStream) const {
    FGrid->CommitOpenEditor();
    TStreamWriter writer;
    const int colCount = FGrid->columnCount();
    writer.WriteInt32(colCount);
    for (const TqvStringGridColumn& column : FGrid->Columns())
        writer.WriteAnsiString(column.Id);
    const int rows = FGrid->DataRowCount();
    writer.WriteInt32(rows * colCount);
    for (int r = 0; r < rows; ++r)
        for (int c = 0; c < colCount; ++c) {
            writer.WriteInt32(c);
            writer.WriteInt32(r);
            const QString value = FGrid->Cell(c, r);
            writer.WriteUtf8String(
                Has(FGrid->Column(c).Flags, KColFlagMultiLine) ? value : RemoveLineBreaks(value));
        }
    AMemoryStream = writer.TakeData();
}

void TFramePluginsSetupOptionGrid::LoadPerstStreamData_Memory(const QByteArray& AMemoryStream) {
    // Everything is read before the table changes, so a damaged stream leaves the defaults.
    TStreamReader reader(AMemoryStream);
    const std::int32_t storedCols = ReadCount(reader, "stored column count");
    QList<int> mapped;
    for (std::int32_t i = 0; i < storedCols; ++i) {
        const QString id = reader.ReadAnsiString();
        int target = -1;
        for (int c = 0; c < FGrid->columnCount(); ++c)
            if (FGrid->Column(c).Id == id) {
                target = c;
                break;
            }
        mapped << target;
    }
    const std::int32_t cellCount = ReadCount(reader, "stored cell count");
    std::vector<TGridCellValue> cells;
    qint64 rows = 0;
    for (std::int32_t i = 0; i < cellCount; ++i) {
        TGridCellValue cell;
        const std::int32_t storedCol = reader.ReadInt32();
        cell.Row = reader.ReadInt32();
        cell.Value = reader.ReadUtf8String();
        if (storedCol < 0 || storedCol >= storedCols || mapped[storedCol] < 0 || cell.Row < 0)
            continue;  // a column the page does not have, or no row
        cell.Col = mapped[storedCol];
        rows = std::max<qint64>(rows, qint64(cell.Row) + 1);
        cells.push_back(std::move(cell));
    }
    if (rows * std::max(FGrid->columnCount(), 1) > KMaxGridImportCells)
        throw EqvValueOutOfValidRangeError(
            QStringLiteral("The stored values of grid property \"%1\" ask for %2 rows.")
                .arg(F_PropShared_PropName)
                .arg(rows));
    WhileLoading([&] {
        QList<QStringList> table(rows, QStringList(FGrid->columnCount()));
        for (const TGridCellValue& cell : cells)
            table[cell.Row][cell.Col] = CheckedListValue(cell.Col, cell.Value);
        FGrid->SetRows(table);
    });
}

void TFramePluginsSetupOptionGrid::SoonShowFrame() {
    FGrid->RecomputeColumnWidths();
}

void TFramePluginsSetupOptionGrid::JustShownFrame() {
    FGrid->RecomputeColumnWidths();
}

bool TFramePluginsSetupOptionGrid::QueryCloseFrame() {
    FGrid->CommitOpenEditor();
    const TPluginProperty* property = Property();
    if (F_PropPlugin_CurPSLI == nullptr || property == nullptr)
        return true;
    QStringList cells;
    for (const QStringList& row : FGrid->Rows())
        cells << row;
    return VerifyGridValues(*F_PropPlugin_CurPSLI, *property, cells, FGrid->columnCount(),
                            [this](int ADataRow, int AColumn, const QString& AMessage) {
                                FGrid->SelectCell(AColumn, ADataRow);
                                FGrid->setFocus();
                                if (FServices.Prompts != nullptr)
                                    FServices.Prompts->ShowMessage(TPromptKind::Error, AMessage);
                            });
}

bool TFramePluginsSetupOptionGrid::HasEditableCurrentCell() const {
    return FGrid->currentRow() >= 0 && FGrid->IsCellEditable(FGrid->currentColumn());
}

bool TFramePluginsSetupOptionGrid::Can_ServiceRequest_InsertFilePath() const {
    return TFrameCommonPlugin::Can_ServiceRequest_InsertFilePath() && HasEditableCurrentCell();
}

bool TFramePluginsSetupOptionGrid::Can_ServiceRequest_OpenTextEditor() const {
    return TFrameCommonPlugin::Can_ServiceRequest_OpenTextEditor() && HasEditableCurrentCell();
}

bool TFramePluginsSetupOptionGrid::ServiceRequest_InsertFilePath() {
    if (!Can_ServiceRequest_InsertFilePath() || !FServices.ChooseOpenFile)
        return false;
    const std::optional<QString> path = FServices.ChooseOpenFile(TProjectDialogSetup{});
    if (!path.has_value())
        return false;
    return FGrid->AppendToCurrentCell(*path);
}

bool TFramePluginsSetupOptionGrid::ServiceRequest_OpenTextEditor() {
    if (!Can_ServiceRequest_OpenTextEditor())
        return false;
    FGrid->CommitOpenEditor();
    const int col = FGrid->currentColumn();
    const int row = FGrid->currentRow();
    const TStrEditorRequest request{TranslatedMessage(KTextSimpleTextCaptionEditCell),
                                    FGrid->Cell(col, row), font(), this, std::nullopt};
    const std::optional<QString> edited =
        FServices.EditText ? FServices.EditText(request) : TqvStrEditorDialog::Execute(request);
    if (!edited.has_value())
        return false;
    FGrid->SetCell(col, row, *edited);
    FGrid->setFocus();
    return true;
}

bool TFramePluginsSetupOptionGrid::CanImport() const {
    return !FGrid->IsReadOnly() && FGrid->columnCount() > 0;
}

bool TFramePluginsSetupOptionGrid::CanExport() const {
    return FGrid->columnCount() > 0;
}

void TFramePluginsSetupOptionGrid::ReportError(const std::exception& AError) const {
    if (FServices.Prompts != nullptr)
        FServices.Prompts->ShowMessage(TPromptKind::Error, ExceptionMessage(AError));
}

bool TFramePluginsSetupOptionGrid::DoImport() {
    if (!CanImport() || !FServices.ChooseOpenFile)
        return false;
    const std::optional<QString> path =
        FServices.ChooseOpenFile(TProjectDialogSetup{KImportFilter, QStringLiteral("xml"), {}});
    if (!path.has_value())
        return false;
    try {
        FGrid->ImportFromFile(*path);
    } catch (const std::exception& e) {
        ReportError(e);  // the grid is unchanged
        return false;
    }
    // Values a value list does not offer are not kept, as when stored values are loaded.
    for (int r = 0; r < FGrid->DataRowCount(); ++r)
        for (int c = 0; c < FGrid->columnCount(); ++c)
            if (const QString checked = CheckedListValue(c, FGrid->Cell(c, r));
                checked != FGrid->Cell(c, r))
                FGrid->SetCell(c, r, checked);
    return true;
}

bool TFramePluginsSetupOptionGrid::DoExport() {
    if (!CanExport() || !FServices.ChooseSaveFile)
        return false;
    const std::optional<QString> path =
        FServices.ChooseSaveFile(TProjectDialogSetup{KExportFilter, QStringLiteral("xml"), {}});
    if (!path.has_value())
        return false;
    try {
        FGrid->CommitOpenEditor();
        FGrid->ExportToFile(*path, Generator());
    } catch (const std::exception& e) {
        ReportError(e);
        return false;
    }
    return true;
}

bool TFramePluginsSetupOptionGrid::Can_Frame_Print() const {
    return FGrid->columnCount() > 0;
}

bool TFramePluginsSetupOptionGrid::Frame_Print(QPrinter& APrinter) {
    if (!Can_Frame_Print())
        return false;
    FGrid->CommitOpenEditor();
    FGrid->Print(APrinter, Generator());
    return true;
}

bool TFramePluginsSetupOptionGrid::Can_RowAction(TFrameRowAction AAction) const {
    switch (AAction) {
        case TFrameRowAction::Add:
            return FGrid->CanAddRow();
        case TFrameRowAction::Insert:
            return FGrid->CanInsertRow();
        case TFrameRowAction::Delete:
            return FGrid->CanDeleteRow();
        case TFrameRowAction::MoveUp:
            return FGrid->CanMoveRowUp();
        case TFrameRowAction::MoveDown:
            return FGrid->CanMoveRowDown();
    }
    return false;
}

bool TFramePluginsSetupOptionGrid::RowAction(TFrameRowAction AAction) {
    if (!Can_RowAction(AAction))
        return false;
    switch (AAction) {
        case TFrameRowAction::Add:
            FGrid->AddRow();
            break;
        case TFrameRowAction::Insert:
            FGrid->InsertRow();
            break;
        case TFrameRowAction::Delete:
            FGrid->DeleteRow();
            break;
        case TFrameRowAction::MoveUp:
            FGrid->MoveRowUp();
            break;
        case TFrameRowAction::MoveDown:
            FGrid->MoveRowDown();
            break;
    }
    return true;
}
