#include "ui/property_pages/frame_plugins_setup_option_single_choice.h"

#include <QRadioButton>

#include "base/stream_fields.h"

TFramePluginsSetupOptionSingleChoice::TFramePluginsSetupOptionSingleChoice(
    const TFrameServices& AServices)
    : TFramePluginsSetupOptionChoice(AServices,
                                     QStringLiteral("__FramePluginsSetupOptionSingleChoice")) {
    setObjectName(QStringLiteral("FramePluginsSetupOptionSingleChoice"));
}

QAbstractButton* TFramePluginsSetupOptionSingleChoice::MakeButton(const QString& ACaption) {
    return new QRadioButton(ACaption);
}

QString TFramePluginsSetupOptionSingleChoice::SelectedID() const {
    for (QAbstractButton* button : Buttons())
        if (button->isChecked())
            return ItemIDOfControl(button->objectName());
    return {};
}

void TFramePluginsSetupOptionSingleChoice::SavePerstStreamData_Memory(
    QByteArray& AMemoryStream) const {
    TStreamWriter writer;
    writer.WriteAnsiString(SelectedID());
    AMemoryStream = writer.TakeData();
}

void TFramePluginsSetupOptionSingleChoice::LoadPerstStreamData_Memory(
    const QByteArray& AMemoryStream) {
    TStreamReader reader(AMemoryStream);
    // An identifier the plugin no longer declares leaves the defaults shown.
    if (QAbstractButton* button = ButtonOf(reader.ReadAnsiString())) {
        for (QAbstractButton* other : Buttons())
            other->setChecked(false);
        button->setChecked(true);
    }
}
