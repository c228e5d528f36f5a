#pragma once

#include <QString>

#include <mutex>

#include "plugin_host/plugin_internal.h"
#include "plugins/web_media/image_effects/image_effects_rules.h"

// Works on the picture files of a batch: turns a ".bmp" glyph into its "disabled" look (side by
// side with the original when asked), and makes resized, re-compressed copies of pictures, such
// as the "thumb-" thumbnails the directory listing gallery pairs with the full pictures. Files
// are changed in place or written beside the picture; no path is added to the batch.
class TPluginInternal_ImageEffects : public TPluginInternal {
public:
    TPluginInternal_ImageEffects();

    const TPluginInfoHost* PluginReturnInfo(const TExeInfoHost&) override { return &FInfo; }
    void PluginSetupInit(const TExeInfoHost&, IExeInitCallbacks& ACallbacks) override;
    void PluginSetupPreEdit(const TExeInfoHost&, IExePreEditCallbacks& ACallbacks) override;
    void PluginSetupWorkStart(const TExeInfoHost&, const QString& ARootBatchPath,
                              IExeWorkCallbacks& ACallbacks) override;
    void PluginSetupWorkEnd(const TExeInfoHost&) override;
    void PluginWorkPath(const QString& AWorkPathNameIn, TWorkPathOutput& AOut) override;
    void PluginSetPropChoiceValueCount(const QString& APropName, std::int32_t ACount) override;
    void PluginSetPropChoiceValue(const QString& APropName, const QString& AChoiceID) override;
    void PluginSetPropFileValue(const QString& APropName,
                                const QString& AFullFilePathName) override;

private:
    // The disabled look of the bitmap; the message to report, or empty.
    QString ApplyDisabledLook(const QString& APath) const;
    // The resized copy; the message to report, or empty.
    QString MakeResizedCopy(const QString& APath) const;
    void Report(const QString& AMessage) const;

    TPluginInfoHost FInfo;
    IExeWorkCallbacks* FCallbacks = nullptr;
    bool FConvertToDisabled = false;
    bool FCombineEffectsGlyphs = false;
    TImageEffectsSettings FSettings;
    // One bitmap at a time gets the disabled look.
    mutable std::mutex FEffectLock;
};
