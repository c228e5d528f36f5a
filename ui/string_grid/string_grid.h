#pragma once

#include <QList>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QTableWidget>

#include <cstdint>
#include <functional>

#include "ui/string_grid/string_grid_formats.h"

class QPrinter;
class QTextDocument;
class TqvStringGridDelegate;

// A column of the table control: its identifier, header caption, automatic-width rule
// ("80", "80+", "30%"; empty keeps the width) and the ColFlags bits that give it its
// behaviour (alignment, read-only, password, multi-line, value list, cell buttons).
struct TqvStringGridColumn {
    QString Id;
    QString Caption;
    QString WidthRule;
    std::int32_t Flags = 0;
    // The choices of a value-list column (flags 512, 4096 or 8192).
    QStringList ValueList;
};

// The choosers behind the cell buttons, given by the page (tests give scripted ones). Each
// returns the empty text when the user cancelled.
struct TqvStringGridChoosers {
    // A folder, starting at the cell's text; AWithFiles lists files as well.
    std::function<QString(const QString& AStart, bool AWithFiles)> ChooseFolder;
    // A file to append to the cell's text.
    std::function<QString()> ChooseFile;
};

// The table control of grid pages: one fixed header row with the column captions (centred), no
// fixed column, one row per data row. Values live in the cells as they are; password columns
// only show "*" characters. Cells of columns without the multi-line flag never hold line breaks.
class TqvStringGrid : public QTableWidget {
public:
    explicit TqvStringGrid(QWidget* AParent = nullptr);
    ~TqvStringGrid() override;

    // Sets the columns; the data rows are emptied to one empty row.
    void SetColumns(const QList<TqvStringGridColumn>& AColumns);
    const QList<TqvStringGridColumn>& Columns() const { return FColumns; }
    const TqvStringGridColumn& Column(int ACol) const { return FColumns[ACol]; }

    int DataRowCount() const { return rowCount(); }
    // Grows or shrinks the data rows; new cells are empty.
    void SetDataRowCount(int ARows);
    QString Cell(int ACol, int ARow) const;
    // Stores a value; line breaks are removed unless the column is multi-line.
    void SetCell(int ACol, int ARow, const QString& AValue);
    // All data cells row by row.
    QList<QStringList> Rows() const;
    // Replaces the data rows (at least one row stays).
    void SetRows(const QList<QStringList>& ARows);

    // The text a cell shows: "*" per character in password columns, else its value.
    QString ShownText(int ACol, int ARow) const;

    // The whole grid refuses edits and row actions.
    void SetReadOnly(bool AReadOnly);
    bool IsReadOnly() const { return FReadOnly; }
    bool IsCellEditable(int ACol) const;

    // Row actions on the current row.
    bool CanAddRow() const;
    bool CanInsertRow() const;
    bool CanDeleteRow() const;
    bool CanMoveRowUp() const;
    bool CanMoveRowDown() const;
    void AddRow();     // an empty row below the current one
    void InsertRow();  // an empty row at the current one
    void DeleteRow();
    void MoveRowUp();
    void MoveRowDown();

    // Puts the current cell at (ACol, ARow) and shows it.
    void SelectCell(int ACol, int ARow);
    // Appends text to the current cell, when it may be edited; false otherwise.
    bool AppendToCurrentCell(const QString& AText);
    // What a column's cell button does with the cell's text: the chosen folder replaces it, a
    // chosen file is appended; cancelled, the text stays. Returns the new text.
    QString CellButtonResult(int ACol, const QString& AText) const;
    bool HasCellButton(int ACol) const;
    // Runs the cell button of a cell outside its editor.
    void RunCellButton(int ACol, int ARow);
    void SetChoosers(TqvStringGridChoosers AChoosers) { FChoosers = std::move(AChoosers); }

    // Ends the editing of a cell, keeping what was typed.
    void CommitOpenEditor();

    // Recomputes the column widths from their rules for the present width.
    void RecomputeColumnWidths();

    // The table as the formats see it.
    TqvGridTable Table() const;
    // Imports the file in the format its extension selects; values pass the multi-line rule.
    // A file that cannot be read raises and leaves the grid unchanged.
    void ImportFromFile(const QString& APath);
    void ExportToFile(const QString& APath, const TqvGridGenerator& AGenerator) const;

    // The document that printing gives: the table as it is shown (password cells masked).
    void FillPrintDocument(QTextDocument& ADocument, const TqvGridGenerator& AGenerator) const;
    void Print(QPrinter& APrinter, const TqvGridGenerator& AGenerator) const;

    // Called after every change of a value or of the rows by the user or by an action.
    void SetOnChanged(std::function<void()> AOnChanged) { FOnChanged = std::move(AOnChanged); }

protected:
    void resizeEvent(QResizeEvent* AEvent) override;

private:
    // A new empty row at ARow, selected, with the column kept.
    void PutEmptyRow(int ARow);
    friend class TqvStringGridDelegate;

    QTableWidgetItem* NewItem(int ACol, const QString& AValue) const;
    void FillRow(int ARow);
    void Changed();
    int WidestText(int ACol) const;

    QList<TqvStringGridColumn> FColumns;
    TqvStringGridDelegate* FDelegate;
    TqvStringGridChoosers FChoosers;
    std::function<void()> FOnChanged;
    bool FReadOnly = false;
    bool FFilling = false;
};

// ColFlags as the control reads them.
Qt::Alignment GridColumnAlignment(std::int32_t AFlags);
TqvGridAlignment GridColumnFormatAlignment(std::int32_t AFlags);
bool GridColumnIsValueList(std::int32_t AFlags);
