#include "ui/property_pages/frame_plugin_setup_root.h"

#include <QFormLayout>
#include <QGroupBox>
#include <QMouseEvent>
#include <QTreeWidget>
#include <QUrl>
#include <QVBoxLayout>

#include "app/user_prompts.h"
#include "plugin_host/plugin_descriptor.h"
#include "plugin_host/plugin_display.h"
#include "translation/translated_text.h"
#include "ui/property_pages/property_page_texts.h"
#include "ui/translation/language_assistants.h"

void TLinkLabel::SetLink(const QString& AText, std::function<void()> AOnClick) {
    setText(AText);
    FOnClick = std::move(AOnClick);
    if (FOnClick) {
        setStyleSheet(QStringLiteral("color: blue;"));
        setCursor(Qt::PointingHandCursor);
    } else {
        setStyleSheet(QString());
        unsetCursor();
    }
}

void TLinkLabel::mouseReleaseEvent(QMouseEvent* AEvent) {
    QLabel::mouseReleaseEvent(AEvent);
    if (AEvent->button() == Qt::LeftButton && FOnClick && rect().contains(AEvent->pos()))
        FOnClick();
}

namespace {

QGroupBox* Group(const QString& AName, const QString& ACaption, QWidget* AParent) {
    auto* group = new QGroupBox(ACaption, AParent);
    group->setObjectName(AName);
    return group;
}

// A caption label and its value label in a form row; the value shows data.
TLinkLabel* Row(QFormLayout* AForm, const QString& AName, const QString& ACaption) {
    auto* caption = new QLabel(ACaption);
    caption->setObjectName(QStringLiteral("lbl") + AName);
    auto* value = new TLinkLabel;
    value->setObjectName(QStringLiteral("lbl") + AName + QStringLiteral("Value"));
    value->setWordWrap(true);
    value->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::MinimumExpanding);
    value->setTextInteractionFlags(Qt::NoTextInteraction);
    MarkCaptionIsData(value);
    AForm->addRow(caption, value);
    return value;
}

}  // namespace

TFramePluginSetupRoot::TFramePluginSetupRoot(const TFrameServices& AServices)
    : TFrameCommonPlugin(AServices, QStringLiteral("__FramePluginSetupRoot")) {
    setObjectName(QStringLiteral("FramePluginSetupRoot"));
    QGroupBox* general = Group(QStringLiteral("grpGeneral"), QStringLiteral("General"), this);
    auto* generalForm = new QFormLayout(general);
    FCopyRight = Row(generalForm, QStringLiteral("CopyRight"), QStringLiteral("Copyright:"));
    FAuthor = Row(generalForm, QStringLiteral("Author"), QStringLiteral("Author:"));
    FCompany = Row(generalForm, QStringLiteral("Company"), QStringLiteral("Company:"));
    FEmail = Row(generalForm, QStringLiteral("Email"), QStringLiteral("Email address:"));
    FUrl = Row(generalForm, QStringLiteral("Url"), QStringLiteral("Website address:"));
    QGroupBox* info = Group(QStringLiteral("grpPluginInfo"), QStringLiteral("Plugin Info"), this);
    auto* infoForm = new QFormLayout(info);
    FName = Row(infoForm, QStringLiteral("PluginName"), QStringLiteral("Name:"));
    FCategory = Row(infoForm, QStringLiteral("Category"), QStringLiteral("Category:"));
    FIdentifier = Row(infoForm, QStringLiteral("Identifier"), QStringLiteral("Identifier:"));
    FDescription = Row(infoForm, QStringLiteral("Description"), QStringLiteral("Description:"));
    FReleaseState = Row(infoForm, QStringLiteral("ReleaseState"), QStringLiteral("Release State:"));
    FVersion = Row(infoForm, QStringLiteral("Version"), QStringLiteral("Version:"));
    FInterfaceVersion =
        Row(infoForm, QStringLiteral("InterfaceVersion"), QStringLiteral("Interface version:"));
    QGroupBox* files =
        Group(QStringLiteral("grpPluginFiles"), QStringLiteral("Plugin Files"), this);
    FFiles = new QTreeWidget(files);
    FFiles->setObjectName(QStringLiteral("lvPluginFiles"));
    FFiles->setRootIsDecorated(false);
    FFiles->setHeaderHidden(true);
    FFiles->setMinimumHeight(24);
    auto* filesLayout = new QVBoxLayout(files);
    filesLayout->addWidget(FFiles);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(general);
    layout->addWidget(info);
    layout->addWidget(files, 1);
}

QString TFramePluginSetupRoot::MailToAddress(const QString& AEmail) {
    return QStringLiteral("mailto:") + AEmail + QStringLiteral("?Subject=&Body=");
}

void TFramePluginSetupRoot::DoInitData(const QByteArray& AStream, const QString& APropName,
                                       TPluginStoredLibInfo* ACurPSLI) {
    TFrameCommonPlugin::DoInitData(AStream, APropName, ACurPSLI);
    ShowInfo();
}

void TFramePluginSetupRoot::LanguageCulture_LoadCurrent_GUI() {
    TFrameCommonPlugin::LanguageCulture_LoadCurrent_GUI();
    ShowInfo();  // "N/A" and the category and release state words follow the language
}

void TFramePluginSetupRoot::ShowInfo() {
    if (F_PropPlugin_CurPSLI == nullptr)
        return;
    const TPluginInfoHost& info = F_PropPlugin_CurPSLI->FPluginInfoHost;
    const QString missing = TranslatedMessage(KTextPluginInfoNotAvailable);
    const auto orMissing = [&](const QString& AText) { return AText.isEmpty() ? missing : AText; };
    FCopyRight->SetLink(info.CopyRight, {});
    FAuthor->SetLink(info.Author, {});
    FCompany->SetLink(orMissing(info.HasCompany), {});
    TUserPrompts* prompts = FServices.Prompts;
    const auto open = [prompts](const QUrl& AUrl) {
        return [prompts, AUrl] {
            if (prompts != nullptr)
                prompts->OpenUrl(AUrl);
        };
    };
    if (info.HasEmail.isEmpty())
        FEmail->SetLink(missing, {});
    else
        FEmail->SetLink(info.HasEmail, open(QUrl(MailToAddress(info.HasEmail))));
    if (info.HasUrl.isEmpty())
        FUrl->SetLink(missing, {});
    else
        FUrl->SetLink(info.HasUrl, open(QUrl::fromUserInput(info.HasUrl)));
    FName->SetLink(info.PluginName, {});
    FCategory->SetLink(PluginCategoryText(info.PluginCategory), {});
    FIdentifier->SetLink(info.StrID, {});
    FDescription->SetLink(info.PluginDesc, {});
    FReleaseState->SetLink(ReleaseStateText(info.ReleaseState), {});
    FVersion->SetLink(info.PluginVersion, {});
    FInterfaceVersion->SetLink(info.InterfaceVersion, {});
}
