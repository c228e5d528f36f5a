#include "ui/main_window/widget_prompts.h"

#include <QDesktopServices>
#include <QMessageBox>
#include <QPushButton>

#include "translation/translated_text.h"

namespace {

QMessageBox::Icon IconOf(TPromptKind AKind) {
    switch (AKind) {
        case TPromptKind::Information:
            return QMessageBox::Information;
        case TPromptKind::Warning:
            return QMessageBox::Warning;
        case TPromptKind::Error:
            return QMessageBox::Critical;
        case TPromptKind::Confirmation:
            return QMessageBox::Question;
    }
    return QMessageBox::NoIcon;
}

QString TitleOf(TPromptKind AKind) {
    switch (AKind) {
        case TPromptKind::Information:
            return TranslatedDialogTitle(QStringLiteral("Information"));
        case TPromptKind::Warning:
            return TranslatedDialogTitle(QStringLiteral("Warning"));
        case TPromptKind::Error:
            return TranslatedDialogTitle(QStringLiteral("Error"));
        case TPromptKind::Confirmation:
            return TranslatedDialogTitle(QStringLiteral("Confirm"));
    }
    return QString();
}

// A box whose buttons carry translated captions; returns the button pressed.
QMessageBox::StandardButton Run(QWidget* AParent, TPromptKind AKind, const QString& AText,
                                QMessageBox::StandardButtons AButtons,
                                QMessageBox::StandardButton ADefault) {
    QMessageBox box(IconOf(AKind), TitleOf(AKind), AText, AButtons, AParent);
    box.setDefaultButton(ADefault);
    for (QAbstractButton* button : box.buttons())
        button->setText(TranslatedDialogButton(button->text().remove(QLatin1Char('&'))));
    return static_cast<QMessageBox::StandardButton>(box.exec());
}

}  // namespace

bool TWidgetPrompts::AskYesNo(TPromptKind AKind, const QString& AText) {
    return Run(FParent, AKind, AText, QMessageBox::Yes | QMessageBox::No, QMessageBox::Yes) ==
           QMessageBox::Yes;
}

TPromptAnswer TWidgetPrompts::AskYesNoCancel(TPromptKind AKind, const QString& AText) {
    switch (Run(FParent, AKind, AText, QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel,
                QMessageBox::Yes)) {
        case QMessageBox::Yes:
            return TPromptAnswer::Yes;
        case QMessageBox::No:
            return TPromptAnswer::No;
        default:
            return TPromptAnswer::Cancel;
    }
}

void TWidgetPrompts::ShowMessage(TPromptKind AKind, const QString& AText) {
    Run(FParent, AKind, AText, QMessageBox::Ok, QMessageBox::Ok);
}

void TWidgetPrompts::OpenUrl(const QUrl& AUrl) {
    QDesktopServices::openUrl(AUrl);
}

QStringList FileDialogNameFilters(const QString& AFilter) {
    QStringList filters;
    const QStringList parts = AFilter.split(QLatin1Char('|'));
    for (qsizetype i = 0; i < parts.size(); i += 2) {
        QString label = parts.at(i).trimmed();
        const QString patterns = i + 1 < parts.size() ? parts.at(i + 1) : QStringLiteral("*");
        // The description's own pattern list is replaced by the one that follows it.
        const qsizetype open = label.lastIndexOf(QStringLiteral(" ("));
        if (open >= 0 && label.endsWith(QLatin1Char(')')))
            label.truncate(open);
        if (label.isEmpty() && patterns.isEmpty())
            continue;
        filters << label + QStringLiteral(" (") +
                       patterns.split(QLatin1Char(';'), Qt::SkipEmptyParts).join(QLatin1Char(' ')) +
                       QLatin1Char(')');
    }
    return filters;
}
