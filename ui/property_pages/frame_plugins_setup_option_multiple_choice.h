#pragma once

#include <QStringList>

#include "ui/property_pages/frame_plugins_setup_option_choice.h"

// The page of a multiple choice property: one check box per item. Stored: the number of checked
// items and their identifiers, in item order.
class TFramePluginsSetupOptionMultipleChoice : public TFramePluginsSetupOptionChoice {
public:
    explicit TFramePluginsSetupOptionMultipleChoice(const TFrameServices& AServices);

    void SavePerstStreamData_Memory(QByteArray& AMemoryStream) const override;
    void LoadPerstStreamData_Memory(const QByteArray& AMemoryStream) override;

    // The identifiers of the checked items, in item order.
    QStringList CheckedIDs() const;

protected:
    QAbstractButton* MakeButton(const QString& ACaption) override;
};
