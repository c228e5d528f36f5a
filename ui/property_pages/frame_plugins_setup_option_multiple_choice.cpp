#include "ui/property_pages/frame_plugins_setup_option_multiple_choice.h"

#include <QCheckBox>

#include "base/exceptions.h"
#include "base/stream_fields.h"

TFramePluginsSetupOptionMultipleChoice::TFramePluginsSetupOptionMultipleChoice(
    const TFrameServices& AServices)
    : TFramePluginsSetupOptionChoice(AServices,
                                     QStringLiteral("__FramePluginsSetupOptionMultipleChoice")) {
    setObjectName(QStringLiteral("FramePluginsSetupOptionMultipleChoice"));
}

QAbstractButton* TFramePluginsSetupOptionMultipleChoice::MakeButton(const QString& ACaption) {
    return new QCheckBox(ACaption);
}

QStringList TFramePluginsSetupOptionMultipleChoice::CheckedIDs() const {
    QStringList checked;
    for (QAbstractButton* button : Buttons())
        if (button->isChecked())
            checked << ItemIDOfControl(button->objectName());
    return checked;
}

void TFramePluginsSetupOptionMultipleChoice::SavePerstStreamData_Memory(
    QByteArray& AMemoryStream) const {
    const QStringList checked = CheckedIDs();
    TStreamWriter writer;
    writer.WriteInt32(static_cast<std::int32_t>(checked.size()));
    for (const QString& id : checked)
        writer.WriteAnsiString(id);
    AMemoryStream = writer.TakeData();
}

void TFramePluginsSetupOptionMultipleChoice::LoadPerstStreamData_Memory(
    const QByteArray& AMemoryStream) {
    TStreamReader reader(AMemoryStream);
    const std::int32_t count = reader.ReadInt32();
    if (count < 0)
        throw EqvValueOutOfValidRangeError(
            QStringLiteral("The stored choices hold a negative count (%1).").arg(count));
    // Read everything before changing a box, so a damaged stream leaves the defaults shown.
    QStringList ids;
    for (std::int32_t i = 0; i < count; ++i)
        ids << reader.ReadAnsiString();
    for (QAbstractButton* button : Buttons())
        button->setChecked(false);
    for (const QString& id : ids)
        if (QAbstractButton* button = ButtonOf(id))
            button->setChecked(true);
}
