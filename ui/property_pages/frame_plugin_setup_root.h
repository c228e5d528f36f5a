#pragma once

#include <QLabel>

#include "ui/property_pages/frame_common.h"

class QTreeWidget;

// A value label that acts as a link when it holds one: blue, a hand pointer, and a click runs
// its action.
class TLinkLabel : public QLabel {
public:
    explicit TLinkLabel(QWidget* AParent = nullptr) : QLabel(AParent) {}
    // AOnClick empty: a plain label.
    void SetLink(const QString& AText, std::function<void()> AOnClick);
    bool IsLink() const { return static_cast<bool>(FOnClick); }

protected:
    void mouseReleaseEvent(QMouseEvent* AEvent) override;

private:
    std::function<void()> FOnClick;
};

// The information tab: the plugin's information record in the groups "General" and "Plugin
// Info", and the group "Plugin Files" with a list that stays empty. Missing company, e-mail and
// web address show "N/A"; the e-mail address opens a new mail, the web address the browser.
class TFramePluginSetupRoot : public TFrameCommonPlugin {
public:
    explicit TFramePluginSetupRoot(const TFrameServices& AServices);

    void DoInitData(const QByteArray& AStream, const QString& APropName,
                    TPluginStoredLibInfo* ACurPSLI) override;
    void LanguageCulture_LoadCurrent_GUI() override;

    // The address a click on the e-mail value opens: "mailto:" + address + "?Subject=&Body=".
    static QString MailToAddress(const QString& AEmail);

private:
    void ShowInfo();

    TLinkLabel* FCopyRight;
    TLinkLabel* FAuthor;
    TLinkLabel* FCompany;
    TLinkLabel* FEmail;
    TLinkLabel* FUrl;
    TLinkLabel* FName;
    TLinkLabel* FCategory;
    TLinkLabel* FIdentifier;
    TLinkLabel* FDescription;
    TLinkLabel* FReleaseState;
    TLinkLabel* FVersion;
    TLinkLabel* FInterfaceVersion;
    QTreeWidget* FFiles;
};
