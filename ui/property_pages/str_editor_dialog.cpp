#include "ui/property_pages/str_editor_dialog.h"

#include <QApplication>
#include <QEvent>
#include <QHBoxLayout>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "translation/translated_text.h"
#include "ui/property_pages/property_page_texts.h"

QString WithCrLfLineBreaks(const QString& AText) {
    QString text = AText;
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    text.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
    return text;
}

TqvStrEditorDialog::TqvStrEditorDialog(const TStrEditorRequest& ARequest)
    : QDialog(ARequest.Parent != nullptr ? ARequest.Parent->window() : nullptr),
      FStartText(WithCrLfLineBreaks(ARequest.Text)),
      FPosition(ARequest.Position) {
    setObjectName(QStringLiteral("qvStrEditorDialog"));
    setWindowTitle(ARequest.Caption);
    setModal(true);
    setWindowFlag(Qt::WindowStaysOnTopHint, true);
    setFont(ARequest.Font);
    FEditor = new QPlainTextEdit(this);
    FEditor->setObjectName(QStringLiteral("memText"));
    FEditor->setLineWrapMode(QPlainTextEdit::NoWrap);
    FEditor->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    FEditor->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    FEditor->setTabChangesFocus(false);
    FOk = new QPushButton(TranslatedMessage(KTextSimpleTextCaptionOK), this);
    FOk->setObjectName(QStringLiteral("btnOK"));
    FOk->setDefault(true);
    FOk->setAutoDefault(true);
    FCancel = new QPushButton(TranslatedMessage(KTextSimpleTextCaptionCancel), this);
    FCancel->setObjectName(QStringLiteral("btnCancel"));
    FCancel->setAutoDefault(false);
    connect(FOk, &QPushButton::clicked, this, &QDialog::accept);
    connect(FCancel, &QPushButton::clicked, this, &TqvStrEditorDialog::reject);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(FOk);
    buttons->addWidget(FCancel);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(FEditor);
    layout->addLayout(buttons);
    resize(480, 320);
    SetText(FStartText);
    connect(qApp, &QGuiApplication::applicationStateChanged, this,
            [this](Qt::ApplicationState AState) {
                if (AState != Qt::ApplicationActive && FWasActive && isVisible())
                    reject();
            });
}

QString TqvStrEditorDialog::Text() const {
    return WithCrLfLineBreaks(FEditor->toPlainText());
}

void TqvStrEditorDialog::SetText(const QString& AText) {
    // The editor keeps paragraphs; its own line breaks are LF.
    QString text = WithCrLfLineBreaks(AText);
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    FEditor->setPlainText(text);
}

void TqvStrEditorDialog::reject() {
    SetText(FStartText);
    QDialog::reject();
}

void TqvStrEditorDialog::changeEvent(QEvent* AEvent) {
    QDialog::changeEvent(AEvent);
    // Another window took the focus: the dialog ends as cancelled.
    if (AEvent->type() != QEvent::ActivationChange || !isVisible())
        return;
    // Another window of the program took the focus (the program losing it to another one is
    // told by its state, below).
    if (isActiveWindow())
        FWasActive = true;
    else if (FWasActive && QApplication::activeWindow() != nullptr)
        reject();
}

void TqvStrEditorDialog::showEvent(QShowEvent* AEvent) {
    QDialog::showEvent(AEvent);
    if (FPosition.has_value()) {
        move(*FPosition);
    } else if (parentWidget() != nullptr) {
        const QRect owner = parentWidget()->window()->frameGeometry();
        move(owner.center() - rect().center());
    }
    FEditor->setFocus();
}

std::optional<QString> TqvStrEditorDialog::Execute(const TStrEditorRequest& ARequest) {
    TqvStrEditorDialog dialog(ARequest);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return dialog.Text();
}
