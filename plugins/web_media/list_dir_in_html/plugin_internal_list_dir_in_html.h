#pragma once

#include <QString>
#include <QStringList>

#include "plugin_host/plugin_internal.h"
#include "plugins/web_media/list_dir_in_html/index_page.h"

// Writes an HTML index page into every directory the batch hands it (a table of subdirectories,
// a table of files with dates and sizes, optionally a thumbnail gallery) and hands the page to
// the batch as a new path. A directory holding an entry named like one of the exclusion names
// gets no page.
class TPluginInternal_ListDirInHtml : public TPluginInternal {
public:
    TPluginInternal_ListDirInHtml();

    const TPluginInfoHost* PluginReturnInfo(const TExeInfoHost&) override { return &FInfo; }
    void PluginSetupInit(const TExeInfoHost&, IExeInitCallbacks& ACallbacks) override;
    void PluginSetupPreEdit(const TExeInfoHost&, IExePreEditCallbacks& ACallbacks) override;
    void PluginSetupWorkStart(const TExeInfoHost&, const QString& ARootBatchPath,
                              IExeWorkCallbacks& ACallbacks) override;
    void PluginSetupWorkEnd(const TExeInfoHost&) override;
    void PluginWorkPath(const QString& AWorkPathNameIn, TWorkPathOutput& AOut) override;
    void PluginSetPropChoiceValueCount(const QString& APropName, std::int32_t ACount) override;
    void PluginSetPropChoiceValue(const QString& APropName, const QString& AChoiceID) override;
    void PluginVerifyPropTextBoxValue(
        const QString& APropName, const QString& ATextBoxID, const QString& APropValue,
        const TExeHandleEditPropTextBoxErrorMsg& AExeCallBack) override;
    void PluginSetPropTextBoxValue(const QString& APropName, const QString& ATextBoxID,
                                   const QString& APropValue) override;
    void PluginPrepareVerifyGridRow(const QString& APropName) override;
    void PluginAddVerifyPropGridValue(const QString& APropName, const QString& APropValue) override;
    void PluginEndVerifyGridRow(const QString& APropName,
                                const TExeHandleEditPropGridErrorMsg& AExeCallBack) override;
    void PluginSetPropGridValue(const QString& APropName, const QString& AColID,
                                std::int32_t ARowIdx, const QString& AFieldValue) override;
    void PluginSetPropFileValue(const QString& APropName,
                                const QString& AFullFilePathName) override;

private:
    // Whether the directory holds an entry named like an exclusion name.
    bool IsExcluded(const QString& ADirectory) const;
    void Report(const QString& AMessage) const;

    TPluginInfoHost FInfo;
    IExeWorkCallbacks* FCallbacks = nullptr;
    TIndexPageSettings FSettings;
    QStringList FExclusions;
    QStringList FVerifyRow;
};

// Whether a text is a usable file name: not empty and free of / \ : * ? " < > |.
bool IsValidIndexFileName(const QString& AName);
