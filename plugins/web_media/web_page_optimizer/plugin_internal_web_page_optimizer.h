#pragma once

#include <QString>

#include <mutex>

#include "plugin_host/plugin_internal.h"
#include "plugins/web_media/web_page_optimizer/web_page_optimizer_settings.h"

// Packs the web pages of the batch in place: reads each file, chooses from its extension how
// the text is treated, runs the page packer over it and writes it back in the encoding it was
// read in. The settings come from the "Setup" INI text; the last one delivered holds for every
// later call (one plugin instance serves the whole program).
class TPluginInternal_WebPageOptimizer : public TPluginInternal {
public:
    TPluginInternal_WebPageOptimizer();

    const TPluginInfoHost* PluginReturnInfo(const TExeInfoHost&) override { return &FInfo; }
    void PluginSetupInit(const TExeInfoHost&, IExeInitCallbacks& ACallbacks) override;
    void PluginSetupPreEdit(const TExeInfoHost&, IExePreEditCallbacks& ACallbacks) override;
    void PluginSetupWorkStart(const TExeInfoHost&, const QString& ARootBatchPath,
                              IExeWorkCallbacks& ACallbacks) override;
    void PluginSetupWorkEnd(const TExeInfoHost&) override;
    void PluginWorkPath(const QString& AWorkPathNameIn, TWorkPathOutput& AOut) override;
    void PluginSetPropFileValue(const QString& APropName,
                                const QString& AFullFilePathName) override;

    TWebPageOptimizerSettings Settings() const;

private:
    void Report(const QString& AMessage) const;

    TPluginInfoHost FInfo;
    // Written on the engine thread before the workers start, read by every worker.
    mutable std::mutex FLock;
    TWebPageOptimizerSettings FSettings;
    IExeWorkCallbacks* FCallbacks = nullptr;
};

// The message for a start marker without its end marker: Found "<?php", but not "?>".
QString TagMatchErrorMessage(const QString& AStartTag, const QString& AEndTag);
