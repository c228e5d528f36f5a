#pragma once

#include "ui/property_pages/frame_plugins_setup_option_choice.h"

// The page of a single choice property: one radio button per item. Stored: the identifier of
// the selected item (empty when none is).
class TFramePluginsSetupOptionSingleChoice : public TFramePluginsSetupOptionChoice {
public:
    explicit TFramePluginsSetupOptionSingleChoice(const TFrameServices& AServices);

    void SavePerstStreamData_Memory(QByteArray& AMemoryStream) const override;
    void LoadPerstStreamData_Memory(const QByteArray& AMemoryStream) override;

    // The identifier of the selected item, empty when none is.
    QString SelectedID() const;

protected:
    QAbstractButton* MakeButton(const QString& ACaption) override;
};
