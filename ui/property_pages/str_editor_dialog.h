#pragma once

#include <QDialog>

#include <optional>

#include "ui/property_pages/frame_common.h"

class QPlainTextEdit;
class QPushButton;

// The text editor dialog: a modal dialog that stays on top with a multi-line editor (both
// scroll bars, no word wrap, Tab types a tab), OK (the default button) and Cancel. Its text has
// CR LF line breaks. Esc acts as Cancel, Cancel restores the starting text, and losing the
// focus to another window closes it as cancelled.
class TqvStrEditorDialog : public QDialog {
public:
    explicit TqvStrEditorDialog(const TStrEditorRequest& ARequest);

    // The editor's text with every line break as CR LF.
    QString Text() const;
    void SetText(const QString& AText);
    QPlainTextEdit* Editor() const { return FEditor; }
    QPushButton* OkButton() const { return FOk; }
    QPushButton* CancelButton() const { return FCancel; }

    // Shows the dialog for a request: the edited text on OK, nothing when cancelled.
    static std::optional<QString> Execute(const TStrEditorRequest& ARequest);

    void reject() override;

protected:
    void changeEvent(QEvent* AEvent) override;
    void showEvent(QShowEvent* AEvent) override;

private:
    QString FStartText;
    QPlainTextEdit* FEditor;
    QPushButton* FOk;
    QPushButton* FCancel;
    std::optional<QPoint> FPosition;
    bool FWasActive = false;
};

// Every line break (CR LF, CR or LF) of a text as CR LF.
QString WithCrLfLineBreaks(const QString& AText);
