#include "ui/property_pages/frame_plugins_setup_option_text_boxes.h"

#include <QApplication>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QScrollArea>
#include <QVBoxLayout>

#include "app/user_prompts.h"
#include "base/exceptions.h"
#include "base/stream_fields.h"
#include "plugin_host/property_validation.h"
#include "translation/translated_text.h"
#include "ui/property_pages/property_page_texts.h"
#include "ui/property_pages/str_editor_dialog.h"

TFramePluginsSetupOptionTextBoxes::TFramePluginsSetupOptionTextBoxes(
    const TFrameServices& AServices)
    : TFrameCommonPlugin(AServices, QStringLiteral("__FramePluginsSetupOptionTextBoxes")) {
    setObjectName(QStringLiteral("FramePluginsSetupOptionTextBoxes"));
    FTrySupportService_InsertFilePath = true;
    FTrySupportService_OpenTextEditor = true;
    auto* scroll = new QScrollArea(this);
    scroll->setObjectName(QStringLiteral("sbxTextBoxes"));
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    auto* content = new QWidget(scroll);
    content->setObjectName(QStringLiteral("pnlTextBoxes"));
    FRows = new QGridLayout(content);
    FRows->setContentsMargins(0, 0, 0, 0);
    FRows->setHorizontalSpacing(KLabelGap);
    FRows->setVerticalSpacing(KRowGap);
    FRows->setColumnStretch(1, 1);
    scroll->setWidget(content);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(scroll);
}

void TFramePluginsSetupOptionTextBoxes::DoInitData(const QByteArray& AStream,
                                                   const QString& APropName,
                                                   TPluginStoredLibInfo* ACurPSLI) {
    TFrameCommonPlugin::DoInitData(AStream, APropName, ACurPSLI);
    if (AStream.isEmpty())
        return;
    TStreamReader reader(AStream);
    const std::int32_t count = reader.ReadInt32();
    QWidget* content = FRows->parentWidget();
    for (std::int32_t i = 0; i < count; ++i) {
        const QString id = reader.ReadAnsiString();
        const QString caption = reader.ReadUtf8String();
        const QString defaultValue = reader.ReadUtf8String();
        auto* label = new QLabel(caption + QLatin1Char(':'), content);
        label->setObjectName(QStringLiteral("lbl") + ItemControlName(id));
        MarkCaptionIsData(label);  // the plugin's caption
        label->setFixedHeight(KRowHeight);
        label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
        auto* box = new QLineEdit(defaultValue, content);
        box->setObjectName(ItemControlName(id));
        MarkCaptionIsData(box);
        box->setFixedHeight(KRowHeight);
        label->setBuddy(box);
        // textEdited comes from the user only.
        connect(box, &QLineEdit::textEdited, this, [this] { MarkModified(); });
        FRows->addWidget(label, i, 0);
        FRows->addWidget(box, i, 1);
        FBoxes.push_back(box);
    }
    FRows->setRowStretch(count, 1);
    FRows->addWidget(new QWidget(content), count, 0, 1, 2);
}

QLineEdit* TFramePluginsSetupOptionTextBoxes::BoxOf(const QString& ATextBoxID) const {
    const QString name = ItemControlName(ATextBoxID);
    for (QLineEdit* box : FBoxes)
        if (box->objectName() == name)
            return box;
    return nullptr;
}

QLineEdit* TFramePluginsSetupOptionTextBoxes::FocusedBox() const {
    QWidget* focus = QApplication::focusWidget();
    for (QLineEdit* box : FBoxes)
        if (box == focus)
            return box;
    return nullptr;
}

void TFramePluginsSetupOptionTextBoxes::SavePerstStreamData_Memory(
    QByteArray& AMemoryStream) const {
    TStreamWriter writer;
    writer.WriteInt32(static_cast<std::int32_t>(FBoxes.size()));
    for (const QLineEdit* box : FBoxes) {
        writer.WriteAnsiString(ItemIDOfControl(box->objectName()));
        writer.WriteUtf8String(box->text());
    }
    AMemoryStream = writer.TakeData();
}

void TFramePluginsSetupOptionTextBoxes::LoadPerstStreamData_Memory(
    const QByteArray& AMemoryStream) {
    TStreamReader reader(AMemoryStream);
    const std::int32_t count = reader.ReadInt32();
    if (count < 0)
        throw EqvValueOutOfValidRangeError(
            QStringLiteral("The stored text boxes hold a negative count (%1).").arg(count));
    // Read everything before changing a box, so a damaged stream leaves the defaults shown.
    std::vector<std::pair<QString, QString>> values;
    for (std::int32_t i = 0; i < count; ++i) {
        QString id = reader.ReadAnsiString();
        values.emplace_back(std::move(id), reader.ReadUtf8String());
    }
    for (const auto& [id, text] : values)
        if (QLineEdit* box = BoxOf(id))
            box->setText(text);
}

bool TFramePluginsSetupOptionTextBoxes::Can_ServiceRequest_InsertFilePath() const {
    return TFrameCommonPlugin::Can_ServiceRequest_InsertFilePath() && FocusedBox() != nullptr;
}

bool TFramePluginsSetupOptionTextBoxes::Can_ServiceRequest_OpenTextEditor() const {
    return TFrameCommonPlugin::Can_ServiceRequest_OpenTextEditor() && FocusedBox() != nullptr;
}

bool TFramePluginsSetupOptionTextBoxes::ServiceRequest_InsertFilePath() {
    QLineEdit* box = FocusedBox();
    if (!Can_ServiceRequest_InsertFilePath() || !FServices.ChooseOpenFile)
        return false;
    const std::optional<QString> path = FServices.ChooseOpenFile(TProjectDialogSetup{});
    if (!path.has_value())
        return false;
    box->setText(*path);
    MarkModified();
    return true;
}

bool TFramePluginsSetupOptionTextBoxes::ServiceRequest_OpenTextEditor() {
    QLineEdit* box = FocusedBox();
    if (!Can_ServiceRequest_OpenTextEditor())
        return false;
    const TStrEditorRequest request{TranslatedMessage(KTextSimpleTextCaptionEditTextBox),
                                    box->text(), font(), this, std::nullopt};
    const std::optional<QString> edited =
        FServices.EditText ? FServices.EditText(request) : TqvStrEditorDialog::Execute(request);
    if (!edited.has_value())
        return false;
    box->setText(*edited);
    box->setFocus();
    MarkModified();
    return true;
}

bool TFramePluginsSetupOptionTextBoxes::QueryCloseFrame() {
    if (F_PropPlugin_CurPSLI == nullptr)
        return true;
    std::vector<TTextBoxCheckValue> values;
    for (const QLineEdit* box : FBoxes)
        values.push_back({ItemIDOfControl(box->objectName()), box->text()});
    return VerifyTextBoxValues(
        *F_PropPlugin_CurPSLI, F_PropShared_PropName, values,
        [this](const QString& ATextBoxID, const QString& AMessage) -> std::optional<bool> {
            QLineEdit* box = BoxOf(ATextBoxID);
            if (box == nullptr)
                return std::nullopt;
            box->setFocus();
            return FServices.Prompts != nullptr &&
                   FServices.Prompts->AskYesNo(TPromptKind::Error, AMessage);
        });
}
