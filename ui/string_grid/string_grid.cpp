#include "ui/string_grid/string_grid.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPrinter>
#include <QResizeEvent>
#include <QStyledItemDelegate>
#include <QTextDocument>
#include <QToolButton>

#include <algorithm>

#include "plugin_host/plugin_contract.h"
#include "plugin_host/property_values.h"
#include "ui/string_grid/string_grid_widths.h"

namespace {

constexpr int KDefaultRowHeight = 18;
// Room beside a cell's text, so a column as wide as its text shows it whole.
constexpr int KTextPadding = 12;

bool Has(std::int32_t AFlags, std::int32_t ABit) {
    return (AFlags & ABit) == ABit;
}

// A cell editor with a button beside the text: the button's result becomes the text.
class TqvCellButtonEditor : public QWidget {
public:
    TqvCellButtonEditor(QWidget* AParent, std::function<QString(const QString&)> APress)
        : QWidget(AParent), FEdit(new QLineEdit(this)), FButton(new QToolButton(this)) {
        setObjectName(QStringLiteral("edtCellButtonEditor"));
        FButton->setObjectName(QStringLiteral("btnCellButton"));
        FButton->setText(QStringLiteral("..."));
        auto* layout = new QHBoxLayout(this);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->setSpacing(0);
        layout->addWidget(FEdit, 1);
        layout->addWidget(FButton);
        setFocusProxy(FEdit);
        QObject::connect(FButton, &QToolButton::clicked, this, [this, APress = std::move(APress)] {
            FEdit->setText(APress(FEdit->text()));
        });
    }
    QLineEdit* Edit() const { return FEdit; }

private:
    QLineEdit* FEdit;
    QToolButton* FButton;
};

}  // namespace

// Masks password cells and gives each column its editor.
class TqvStringGridDelegate : public QStyledItemDelegate {
public:
    explicit TqvStringGridDelegate(TqvStringGrid& AGrid)
        : QStyledItemDelegate(&AGrid), FGrid(AGrid) {}

    QWidget* OpenEditor() const { return FOpenEditor; }

    QWidget* createEditor(QWidget* AParent, const QStyleOptionViewItem& AOption,
                          const QModelIndex& AIndex) const override {
        QWidget* editor = MakeEditor(AParent, AOption, AIndex);
        FOpenEditor = editor;
        return editor;
    }

    void destroyEditor(QWidget* AEditor, const QModelIndex& AIndex) const override {
        if (FOpenEditor == AEditor)
            FOpenEditor = nullptr;
        QStyledItemDelegate::destroyEditor(AEditor, AIndex);
    }

    void setEditorData(QWidget* AEditor, const QModelIndex& AIndex) const override {
        const QString value = AIndex.data(Qt::EditRole).toString();
        if (auto* combo = qobject_cast<QComboBox*>(AEditor)) {
            const int found = combo->findText(value);
            combo->setCurrentIndex(found >= 0 ? found : 0);
        } else if (auto* lines = qobject_cast<QPlainTextEdit*>(AEditor)) {
            lines->setPlainText(value);
        } else if (auto* button = dynamic_cast<TqvCellButtonEditor*>(AEditor)) {
            button->Edit()->setText(value);
        } else if (auto* edit = qobject_cast<QLineEdit*>(AEditor)) {
            edit->setText(value);
        } else {
            QStyledItemDelegate::setEditorData(AEditor, AIndex);
        }
    }

    void setModelData(QWidget* AEditor, QAbstractItemModel* AModel,
                      const QModelIndex& AIndex) const override {
        QString value;
        if (auto* combo = qobject_cast<QComboBox*>(AEditor)) {
            value = combo->currentText();
        } else if (auto* lines = qobject_cast<QPlainTextEdit*>(AEditor)) {
            // The editor gives LF; values keep the CR LF line breaks of the text editor.
            value = lines->toPlainText().replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
        } else if (auto* button = dynamic_cast<TqvCellButtonEditor*>(AEditor)) {
            value = button->Edit()->text();
        } else if (auto* edit = qobject_cast<QLineEdit*>(AEditor)) {
            value = edit->text();
        } else {
            QStyledItemDelegate::setModelData(AEditor, AModel, AIndex);
            return;
        }
        if (!Has(FGrid.Column(AIndex.column()).Flags, KColFlagMultiLine))
            value = RemoveLineBreaks(value);
        AModel->setData(AIndex, value, Qt::EditRole);
    }

protected:
    void initStyleOption(QStyleOptionViewItem* AOption, const QModelIndex& AIndex) const override {
        QStyledItemDelegate::initStyleOption(AOption, AIndex);
        if (AIndex.column() < FGrid.columnCount() &&
            Has(FGrid.Column(AIndex.column()).Flags, KColFlagPassword))
            AOption->text = QString(AIndex.data(Qt::EditRole).toString().size(), QLatin1Char('*'));
    }

private:
    QWidget* MakeEditor(QWidget* AParent, const QStyleOptionViewItem& AOption,
                        const QModelIndex& AIndex) const {
        const int col = AIndex.column();
        const TqvStringGridColumn& column = FGrid.Column(col);
        if (GridColumnIsValueList(column.Flags)) {
            auto* combo = new QComboBox(AParent);
            combo->setObjectName(QStringLiteral("cbxCellValueList"));
            combo->addItems(column.ValueList);
            return combo;
        }
        if (FGrid.HasCellButton(col)) {
            TqvStringGrid* grid = &FGrid;
            return new TqvCellButtonEditor(AParent, [grid, col](const QString& AText) {
                return grid->CellButtonResult(col, AText);
            });
        }
        if (Has(column.Flags, KColFlagMultiLine)) {
            auto* lines = new QPlainTextEdit(AParent);
            lines->setObjectName(QStringLiteral("memCellLines"));
            lines->setLineWrapMode(QPlainTextEdit::NoWrap);
            return lines;
        }
        QWidget* editor = QStyledItemDelegate::createEditor(AParent, AOption, AIndex);
        if (auto* edit = qobject_cast<QLineEdit*>(editor))
            if (Has(column.Flags, KColFlagPassword))
                edit->setEchoMode(QLineEdit::Password);
        return editor;
    }

    TqvStringGrid& FGrid;
    mutable QPointer<QWidget> FOpenEditor;
};

Qt::Alignment GridColumnAlignment(std::int32_t AFlags) {
    switch (GridColumnFormatAlignment(AFlags)) {
        case TqvGridAlignment::Right:
            return Qt::AlignRight | Qt::AlignVCenter;
        case TqvGridAlignment::Center:
            return Qt::AlignHCenter | Qt::AlignVCenter;
        default:
            return Qt::AlignLeft | Qt::AlignVCenter;
    }
}

TqvGridAlignment GridColumnFormatAlignment(std::int32_t AFlags) {
    switch (AFlags & KColFlagAlignCenter) {
        case KColFlagAlignLeft:
            return TqvGridAlignment::Left;
        case KColFlagAlignRight:
            return TqvGridAlignment::Right;
        case KColFlagAlignCenter:
            return TqvGridAlignment::Center;
        default:
            return TqvGridAlignment::Default;
    }
}

bool GridColumnIsValueList(std::int32_t AFlags) {
    return (AFlags & (KColFlagValueList | KColFlagTrueFalse | KColFlagFilterPatterns)) != 0;
}

TqvStringGrid::TqvStringGrid(QWidget* AParent)
    : QTableWidget(AParent), FDelegate(new TqvStringGridDelegate(*this)) {
    setObjectName(QStringLiteral("sgGrid"));
    setItemDelegate(FDelegate);
    horizontalHeader()->setDefaultAlignment(Qt::AlignCenter);
    horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    horizontalHeader()->setHighlightSections(false);
    verticalHeader()->hide();
    verticalHeader()->setMinimumSectionSize(1);
    verticalHeader()->setDefaultSectionSize(KDefaultRowHeight);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectItems);
    setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                    QAbstractItemView::AnyKeyPressed | QAbstractItemView::SelectedClicked);
    QObject::connect(this, &QTableWidget::itemChanged, this, [this](QTableWidgetItem*) {
        if (!FFilling)
            Changed();
    });
}

TqvStringGrid::~TqvStringGrid() = default;

void TqvStringGrid::SetColumns(const QList<TqvStringGridColumn>& AColumns) {
    FFilling = true;
    FColumns = AColumns;
    clear();
    setColumnCount(static_cast<int>(FColumns.size()));
    QStringList captions;
    for (const TqvStringGridColumn& column : FColumns)
        captions << column.Caption;
    setHorizontalHeaderLabels(captions);
    setRowCount(0);
    FFilling = false;
    SetDataRowCount(1);
    RecomputeColumnWidths();
}

QTableWidgetItem* TqvStringGrid::NewItem(int ACol, const QString& AValue) const {
    const TqvStringGridColumn& column = FColumns[ACol];
    auto* item = new QTableWidgetItem(
        Has(column.Flags, KColFlagMultiLine) ? AValue : RemoveLineBreaks(AValue));
    item->setTextAlignment(GridColumnAlignment(column.Flags));
    Qt::ItemFlags flags = Qt::ItemIsSelectable | Qt::ItemIsEnabled;
    if (IsCellEditable(ACol))
        flags |= Qt::ItemIsEditable;
    item->setFlags(flags);
    return item;
}

bool TqvStringGrid::IsCellEditable(int ACol) const {
    return !FReadOnly && ACol >= 0 && ACol < FColumns.size() &&
           !Has(FColumns[ACol].Flags, KColFlagReadOnly);
}

void TqvStringGrid::FillRow(int ARow) {
    for (int c = 0; c < columnCount(); ++c)
        if (item(ARow, c) == nullptr)
            setItem(ARow, c, NewItem(c, QString()));
}

void TqvStringGrid::SetDataRowCount(int ARows) {
    const bool filling = FFilling;
    FFilling = true;
    const int old = rowCount();
    setRowCount(std::max(ARows, 0));
    for (int r = old; r < rowCount(); ++r)
        FillRow(r);
    FFilling = filling;
}

QString TqvStringGrid::Cell(int ACol, int ARow) const {
    const QTableWidgetItem* cell = item(ARow, ACol);
    return cell != nullptr ? cell->data(Qt::EditRole).toString() : QString();
}

void TqvStringGrid::SetCell(int ACol, int ARow, const QString& AValue) {
    if (ACol < 0 || ACol >= columnCount() || ARow < 0)
        return;
    if (ARow >= rowCount())
        SetDataRowCount(ARow + 1);
    const QString value =
        Has(FColumns[ACol].Flags, KColFlagMultiLine) ? AValue : RemoveLineBreaks(AValue);
    item(ARow, ACol)->setData(Qt::EditRole, value);
}

QList<QStringList> TqvStringGrid::Rows() const {
    QList<QStringList> rows;
    for (int r = 0; r < rowCount(); ++r) {
        QStringList cells;
        for (int c = 0; c < columnCount(); ++c)
            cells << Cell(c, r);
        rows << cells;
    }
    return rows;
}

void TqvStringGrid::SetRows(const QList<QStringList>& ARows) {
    const bool filling = FFilling;
    FFilling = true;
    setRowCount(0);
    SetDataRowCount(std::max<int>(static_cast<int>(ARows.size()), 1));
    for (int r = 0; r < ARows.size(); ++r)
        for (int c = 0; c < ARows[r].size() && c < columnCount(); ++c)
            SetCell(c, r, ARows[r][c]);
    FFilling = filling;
    RecomputeColumnWidths();
}

QString TqvStringGrid::ShownText(int ACol, int ARow) const {
    const QString value = Cell(ACol, ARow);
    if (ACol >= 0 && ACol < FColumns.size() && Has(FColumns[ACol].Flags, KColFlagPassword))
        return QString(value.size(), QLatin1Char('*'));
    return value;
}

void TqvStringGrid::SetReadOnly(bool AReadOnly) {
    FReadOnly = AReadOnly;
    for (int r = 0; r < rowCount(); ++r)
        for (int c = 0; c < columnCount(); ++c)
            if (QTableWidgetItem* cell = item(r, c)) {
                Qt::ItemFlags flags = cell->flags() & ~Qt::ItemIsEditable;
                if (IsCellEditable(c))
                    flags |= Qt::ItemIsEditable;
                cell->setFlags(flags);
            }
}

bool TqvStringGrid::CanAddRow() const {
    return !FReadOnly && columnCount() > 0;
}

bool TqvStringGrid::CanInsertRow() const {
    return CanAddRow();
}

bool TqvStringGrid::CanDeleteRow() const {
    // The table keeps one data row below its header.
    return !FReadOnly && currentRow() >= 0 && rowCount() > 1;
}

bool TqvStringGrid::CanMoveRowUp() const {
    return !FReadOnly && currentRow() > 0;
}

bool TqvStringGrid::CanMoveRowDown() const {
    return !FReadOnly && currentRow() >= 0 && currentRow() < rowCount() - 1;
}

void TqvStringGrid::AddRow() {
    if (CanAddRow())
        PutEmptyRow(currentRow() >= 0 ? currentRow() + 1 : rowCount());
}

void TqvStringGrid::InsertRow() {
    if (CanInsertRow())
        PutEmptyRow(currentRow() >= 0 ? currentRow() : rowCount());
}

void TqvStringGrid::PutEmptyRow(int ARow) {
    CommitOpenEditor();
    const int col = std::max(currentColumn(), 0);
    FFilling = true;
    insertRow(ARow);
    FillRow(ARow);
    FFilling = false;
    SelectCell(col, ARow);
    Changed();
}

void TqvStringGrid::DeleteRow() {
    if (!CanDeleteRow())
        return;
    CommitOpenEditor();
    const int row = currentRow();
    const int col = std::max(currentColumn(), 0);
    FFilling = true;
    removeRow(row);
    FFilling = false;
    SelectCell(col, std::min(row, rowCount() - 1));
    Changed();
}

void TqvStringGrid::MoveRowUp() {
    if (!CanMoveRowUp())
        return;
    CommitOpenEditor();
    const int row = currentRow();
    const int col = std::max(currentColumn(), 0);
    FFilling = true;
    for (int c = 0; c < columnCount(); ++c) {
        QTableWidgetItem* upper = takeItem(row - 1, c);
        QTableWidgetItem* lower = takeItem(row, c);
        setItem(row - 1, c, lower);
        setItem(row, c, upper);
    }
    FFilling = false;
    SelectCell(col, row - 1);
    Changed();
}

void TqvStringGrid::MoveRowDown() {
    if (!CanMoveRowDown())
        return;
    CommitOpenEditor();
    const int row = currentRow();
    const int col = std::max(currentColumn(), 0);
    FFilling = true;
    for (int c = 0; c < columnCount(); ++c) {
        QTableWidgetItem* upper = takeItem(row, c);
        QTableWidgetItem* lower = takeItem(row + 1, c);
        setItem(row, c, lower);
        setItem(row + 1, c, upper);
    }
    FFilling = false;
    SelectCell(col, row + 1);
    Changed();
}

void TqvStringGrid::SelectCell(int ACol, int ARow) {
    if (ARow < 0 || ARow >= rowCount() || ACol < 0 || ACol >= columnCount())
        return;
    setCurrentCell(ARow, ACol);
    if (QTableWidgetItem* cell = item(ARow, ACol))
        scrollToItem(cell);
}

bool TqvStringGrid::AppendToCurrentCell(const QString& AText) {
    CommitOpenEditor();
    const int row = currentRow();
    const int col = currentColumn();
    if (row < 0 || col < 0 || !IsCellEditable(col))
        return false;
    SetCell(col, row, Cell(col, row) + AText);
    return true;
}

bool TqvStringGrid::HasCellButton(int ACol) const {
    return ACol >= 0 && ACol < FColumns.size() &&
           (FColumns[ACol].Flags & (KColFlagFolderButton | KColFlagFileButton)) != 0;
}

QString TqvStringGrid::CellButtonResult(int ACol, const QString& AText) const {
    if (!HasCellButton(ACol))
        return AText;
    const std::int32_t flags = FColumns[ACol].Flags;
    if (Has(flags, KColFlagFolderButton)) {
        if (!FChoosers.ChooseFolder)
            return AText;
        const QString folder = FChoosers.ChooseFolder(AText, Has(flags, KColFlagFileButton));
        return folder.isEmpty() ? AText : folder;
    }
    if (!FChoosers.ChooseFile)
        return AText;
    return AText + FChoosers.ChooseFile();
}

void TqvStringGrid::RunCellButton(int ACol, int ARow) {
    if (!IsCellEditable(ACol) || ARow < 0 || ARow >= rowCount())
        return;
    CommitOpenEditor();
    SetCell(ACol, ARow, CellButtonResult(ACol, Cell(ACol, ARow)));
}

void TqvStringGrid::CommitOpenEditor() {
    QWidget* editor = FDelegate->OpenEditor();
    if (editor == nullptr)
        return;
    commitData(editor);
    closeEditor(editor, QAbstractItemDelegate::NoHint);
}

int TqvStringGrid::WidestText(int ACol) const {
    int widest = horizontalHeader()->fontMetrics().horizontalAdvance(FColumns[ACol].Caption);
    const QFontMetrics metrics = fontMetrics();
    for (int r = 0; r < rowCount(); ++r)
        widest = std::max(widest, metrics.horizontalAdvance(ShownText(ACol, r)));
    return widest + KTextPadding;
}

void TqvStringGrid::RecomputeColumnWidths() {
    QList<TqvColWidthInput> inputs;
    for (int c = 0; c < columnCount(); ++c)
        inputs << TqvColWidthInput{ParseColWidthRule(FColumns[c].WidthRule), columnWidth(c),
                                   WidestText(c)};
    // The grid lines of a table view are drawn inside its sections: nothing to take off.
    const QList<int> widths = ComputeColumnWidths(inputs, viewport()->width(), 0);
    for (int c = 0; c < columnCount(); ++c)
        if (widths[c] != columnWidth(c))
            setColumnWidth(c, widths[c]);
}

void TqvStringGrid::resizeEvent(QResizeEvent* AEvent) {
    QTableWidget::resizeEvent(AEvent);
    RecomputeColumnWidths();
}

TqvGridTable TqvStringGrid::Table() const {
    TqvGridTable table;
    for (const TqvStringGridColumn& column : FColumns)
        table.Columns << TqvGridColumn{column.Id, column.Caption,
                                       GridColumnFormatAlignment(column.Flags), true};
    table.Rows = Rows();
    return table;
}

void TqvStringGrid::ImportFromFile(const QString& APath) {
    CommitOpenEditor();
    TqvGridTable table = Table();
    ImportGridFile(table, APath);
    SetRows(table.Rows);
    Changed();
}

void TqvStringGrid::ExportToFile(const QString& APath, const TqvGridGenerator& AGenerator) const {
    ExportGridFile(Table(), APath, AGenerator);
}

void TqvStringGrid::FillPrintDocument(QTextDocument& ADocument,
                                      const TqvGridGenerator& AGenerator) const {
    TqvGridTable table = Table();
    for (int r = 0; r < table.Rows.size(); ++r)
        for (int c = 0; c < table.Columns.size(); ++c)
            table.Rows[r][c] = ShownText(c, r);
    ADocument.setDefaultFont(font());
    ADocument.setHtml(QString::fromUtf8(GridToHtml(table, QString(), AGenerator)));
}

void TqvStringGrid::Print(QPrinter& APrinter, const TqvGridGenerator& AGenerator) const {
    QTextDocument document;
    FillPrintDocument(document, AGenerator);
    document.print(&APrinter);
}

void TqvStringGrid::Changed() {
    if (FOnChanged)
        FOnChanged();
}
