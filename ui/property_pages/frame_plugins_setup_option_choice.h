#pragma once

#include <QString>

#include <vector>

#include "ui/property_pages/frame_common.h"

class QAbstractButton;
class QVBoxLayout;

// One declared choice item.
struct TChoiceItemDecl {
    QString ChoiceID;
    QString Caption;
    bool Checked = false;
};

// The items of a choice property's declaration data (count, then identifier, caption and
// checked byte per item).
std::vector<TChoiceItemDecl> ReadChoiceDeclaration(const QByteArray& AInitStream);

// What the single and multiple choice pages share: one button per declared item, stacked from
// the top, 30 pixels high and as wide as the page, named "ppn" + the item identifier. Choice
// pages accept their values always.
class TFramePluginsSetupOptionChoice : public TFrameCommonPlugin {
public:
    static constexpr int KItemHeight = 30;

    void DoInitData(const QByteArray& AStream, const QString& APropName,
                    TPluginStoredLibInfo* ACurPSLI) override;

    // The item buttons in declaration order.
    const std::vector<QAbstractButton*>& Buttons() const { return FButtons; }
    // The button of an identifier, or null.
    QAbstractButton* ButtonOf(const QString& AChoiceID) const;

protected:
    TFramePluginsSetupOptionChoice(const TFrameServices& AServices, const QString& ATransSection);
    // A new button of the page's kind.
    virtual QAbstractButton* MakeButton(const QString& ACaption) = 0;

private:
    QVBoxLayout* FItems;
    std::vector<QAbstractButton*> FButtons;
};
