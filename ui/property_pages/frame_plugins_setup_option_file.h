#pragma once

#include <QString>

#include <cstdint>

#include "ui/property_pages/frame_common.h"

class TqvFileDocumentEditor;

// The page of a file property: a plain-text editor holding the document, highlighted as INI
// (FileFlags 1) or markup (2). Offers insert file path (at the caret), import (encoding
// detected) and export (UTF-16LE without mark) of text files, INI files too for INI
// documents. A stored INI document is merged into the default one when loaded.
class TFramePluginsSetupOptionFile : public TFrameCommonPlugin {
public:
    explicit TFramePluginsSetupOptionFile(const TFrameServices& AServices);
    ~TFramePluginsSetupOptionFile() override;

    void DoInitData(const QByteArray& AStream, const QString& APropName,
                    TPluginStoredLibInfo* ACurPSLI) override;
    void SavePerstStreamData_Memory(QByteArray& AMemoryStream) const override;
    void LoadPerstStreamData_Memory(const QByteArray& AMemoryStream) override;

    void SoonShowFrame() override;
    bool QueryCloseFrame() override;

    bool ServiceRequest_InsertFilePath() override;
    bool CanImport() const override { return true; }
    bool CanExport() const override { return true; }
    bool DoImport() override;
    bool DoExport() override;

    // The filter of the import and export dialogs.
    QString FileFilter() const;
    TqvFileDocumentEditor* Editor() const { return FEditor; }
    const QString& DefaultDocument() const { return FDefaultDocument; }
    std::int32_t FileFlags() const { return FFileFlags; }

private:
    void ReportError(const QString& AMessage) const;

    TqvFileDocumentEditor* FEditor;
    QString FDefaultDocument;
    std::int32_t FFileFlags = 0;
};
