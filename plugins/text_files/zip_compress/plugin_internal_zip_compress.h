#pragma once

#include <QString>

#include "plugin_host/plugin_internal.h"
#include "plugins/text_files/zip_compress/zip_archive_writer.h"

// Packs each file or directory passed to it into a ZIP archive beside it, named after it with
// ".zip" added: a file alone, or what a directory holds directly (its files, and its
// sub-directories as empty folder entries without their content). Entries already in an
// existing archive of that name are left as they are. The archive is handed to the host, so
// later combinations of the batch see it.
class TPluginInternal_ZipCompress : public TPluginInternal {
public:
    TPluginInternal_ZipCompress();

    const TPluginInfoHost* PluginReturnInfo(const TExeInfoHost&) override { return &FInfo; }
    void PluginSetupWorkStart(const TExeInfoHost&, const QString& ARootBatchPath,
                              IExeWorkCallbacks& ACallbacks) override;
    void PluginSetupWorkEnd(const TExeInfoHost&) override;
    void PluginWorkPath(const QString& AWorkPathNameIn, TWorkPathOutput& AOut) override;

private:
    // Packs AFile (a file, or a link to one) into AArchive under its own name.
    // Each returns whether the archive exists as a file afterwards.
    bool PackFile(const QString& AFile, const QString& AArchive) const;
    // Packs what AFolder holds directly into AArchive.
    bool PackFolder(const QString& AFolder, const QString& AArchive) const;
    // Whether a symbolic link may be packed as what it points to: only what lies inside the
    // batch root. Reports the link otherwise.
    bool LinkTargetAllowed(const QString& ALink) const;
    void Report(const QString& AMessage) const;
    // Reports an entry that could not go into the archive, and why.
    void LeftOut(const QString& AEntry, const QString& AArchive, const QString& AReason) const;

    TPluginInfoHost FInfo;
    // Set up on the engine thread at work start, only read while paths are worked on.
    IExeWorkCallbacks* FCallbacks = nullptr;
    QString FRealRoot;  // the batch root's real form, ending with the separator
    // Shared by the archives of all paths; the pool guards itself.
    mutable TZipDeflaterPool FDeflaters;
};
