#pragma once

#include <QString>
#include <QStringList>

#include <cstdint>

#include "ui/property_pages/frame_common.h"
#include "ui/string_grid/string_grid.h"

class TPluginPropertyGrid;

// A value-list column's declared default: the first character is the separator, then the
// cell's value, the separator and the list items separated by it. Without a second separator
// the whole text after the first character is the list and the cell keeps the full text.
struct TGridValueListDefault {
    QString CellValue;
    QStringList Items;
};
TGridValueListDefault ParseGridValueListDefault(const QString& ADeclared);

// The page of a grid property: the table control with the declared columns (their width
// rules, flags and default cells). Offers insert file path (appended to the current
// cell), the text editor on the current cell, import (XML, comma-separated), export (XML,
// comma-separated, HTML), printing and the row actions; its check hands the kept rows to the
// plugin one by one and selects the cell a problem names.
class TFramePluginsSetupOptionGrid : public TFrameCommonPlugin {
public:
    explicit TFramePluginsSetupOptionGrid(const TFrameServices& AServices);
    ~TFramePluginsSetupOptionGrid() override;

    // The dialog filters of import and export.
    static const QString KImportFilter;
    static const QString KExportFilter;

    void DoInitData(const QByteArray& AStream, const QString& APropName,
                    TPluginStoredLibInfo* ACurPSLI) override;
    void SavePerstStreamData_Memory(QByteArray& AMemoryStream) const override;
    void LoadPerstStreamData_Memory(const QByteArray& AMemoryStream) override;

    void SoonShowFrame() override;
    void JustShownFrame() override;
    bool QueryCloseFrame() override;

    bool Can_ServiceRequest_InsertFilePath() const override;
    bool Can_ServiceRequest_OpenTextEditor() const override;
    bool ServiceRequest_InsertFilePath() override;
    bool ServiceRequest_OpenTextEditor() override;
    bool CanImport() const override;
    bool CanExport() const override;
    bool DoImport() override;
    bool DoExport() override;
    bool Can_Frame_Print() const override;
    bool Frame_Print(QPrinter& APrinter) override;
    bool Can_RowAction(TFrameRowAction AAction) const override;
    bool RowAction(TFrameRowAction AAction) override;

    TqvStringGrid* Grid() const { return FGrid; }
    // The grid property the page edits, or null.
    const TPluginPropertyGrid* GridProperty() const;

private:
    // The current cell when one is selected and may be edited.
    bool HasEditableCurrentCell() const;
    // A value a value-list column (flag 512) does not offer becomes its first item; an empty
    // cell stays empty (it means nothing was chosen, and the row-ignore levels look for it).
    QString CheckedListValue(int ACol, const QString& AValue) const;
    void ReportError(const std::exception& AError) const;

    TqvStringGrid* FGrid;
};
