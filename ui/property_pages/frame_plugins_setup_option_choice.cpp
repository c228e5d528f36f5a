#include "ui/property_pages/frame_plugins_setup_option_choice.h"

#include <QAbstractButton>
#include <QScrollArea>
#include <QVBoxLayout>

#include "base/stream_fields.h"
#include "ui/translation/language_assistants.h"

std::vector<TChoiceItemDecl> ReadChoiceDeclaration(const QByteArray& AInitStream) {
    std::vector<TChoiceItemDecl> items;
    if (AInitStream.isEmpty())
        return items;
    TStreamReader reader(AInitStream);
    const std::int32_t count = reader.ReadInt32();
    for (std::int32_t i = 0; i < count; ++i) {
        TChoiceItemDecl item;
        item.ChoiceID = reader.ReadAnsiString();
        item.Caption = reader.ReadUtf8String();
        item.Checked = reader.ReadByte() != 0;
        items.push_back(std::move(item));
    }
    return items;
}

TFramePluginsSetupOptionChoice::TFramePluginsSetupOptionChoice(const TFrameServices& AServices,
                                                               const QString& ATransSection)
    : TFrameCommonPlugin(AServices, ATransSection) {
    // Many items scroll instead of squeezing.
    auto* scroll = new QScrollArea(this);
    scroll->setObjectName(QStringLiteral("sbxChoices"));
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    auto* content = new QWidget(scroll);
    content->setObjectName(QStringLiteral("pnlChoices"));
    FItems = new QVBoxLayout(content);
    FItems->setContentsMargins(0, 0, 0, 0);
    FItems->setSpacing(0);
    FItems->addStretch(1);
    scroll->setWidget(content);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(scroll);
}

void TFramePluginsSetupOptionChoice::DoInitData(const QByteArray& AStream, const QString& APropName,
                                                TPluginStoredLibInfo* ACurPSLI) {
    TFrameCommonPlugin::DoInitData(AStream, APropName, ACurPSLI);
    for (const TChoiceItemDecl& item : ReadChoiceDeclaration(AStream)) {
        QAbstractButton* button = MakeButton(item.Caption);
        button->setObjectName(ItemControlName(item.ChoiceID));
        // The caption is the plugin's, not a text of the program.
        MarkCaptionIsData(button);
        button->setFixedHeight(KItemHeight);
        button->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
        button->setChecked(item.Checked);
        // clicked comes from the user only.
        connect(button, &QAbstractButton::clicked, this, [this] { MarkModified(); });
        FItems->insertWidget(FItems->count() - 1, button);
        FButtons.push_back(button);
    }
}

QAbstractButton* TFramePluginsSetupOptionChoice::ButtonOf(const QString& AChoiceID) const {
    const QString name = ItemControlName(AChoiceID);
    for (QAbstractButton* button : FButtons)
        if (button->objectName() == name)
            return button;
    return nullptr;
}
