#pragma once

#include <QStringList>

#include "app/user_prompts.h"

class QWidget;

// The user prompts of the desktop program: message boxes over the main window.
class TWidgetPrompts : public TUserPrompts {
public:
    // AParent (may be null, may be set later) is the window the boxes belong to.
    explicit TWidgetPrompts(QWidget* AParent = nullptr) : FParent(AParent) {}
    void SetParent(QWidget* AParent) { FParent = AParent; }

    bool AskYesNo(TPromptKind AKind, const QString& AText) override;
    TPromptAnswer AskYesNoCancel(TPromptKind AKind, const QString& AText) override;
    void ShowMessage(TPromptKind AKind, const QString& AText) override;
    void OpenUrl(const QUrl& AUrl) override;

private:
    QWidget* FParent;
};

// A file filter written as description and pattern pairs separated by "|" ("XML file
// (*.xml)|*.xml|CSV file (*.csv;*.txt)|*.csv;*.txt") as the name filters of a file dialog, one
// per pair, the patterns separated by blanks.
QStringList FileDialogNameFilters(const QString& AFilter);
