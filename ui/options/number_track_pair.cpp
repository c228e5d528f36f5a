#include "ui/options/number_track_pair.h"

#include <QEvent>
#include <QLineEdit>
#include <QSlider>

#include <algorithm>

TNumberTrackPair::TNumberTrackPair(QLineEdit* AEdit, QSlider* ATrack, QObject* AParent)
    : QObject(AParent), FEdit(AEdit), FTrack(ATrack) {
    connect(FTrack, &QSlider::valueChanged, this, [this] {
        if (!FFromEdit)
            ShowPosition();
    });
    connect(FEdit, &QLineEdit::textEdited, this, [this] { Typed(); });
    FEdit->installEventFilter(this);
    FTrack->installEventFilter(this);
    ShowPosition();
}

int TNumberTrackPair::Value() const {
    return FTrack->value();
}

void TNumberTrackPair::SetValue(int AValue) {
    FTrack->setValue(std::clamp(AValue, FTrack->minimum(), FTrack->maximum()));
    ShowPosition();
}

QString TNumberTrackPair::TypedText(const QString& AText, int AMax) {
    QString text = AText.trimmed();
    while (text.size() > 1 && text.front() == QLatin1Char('0'))
        text.remove(0, 1);
    const qsizetype digits = QString::number(AMax).size();
    if (text.size() > digits)
        text.truncate(digits);
    return text;
}

void TNumberTrackPair::Typed() {
    const QString typed = FEdit->text();
    const QString text = TypedText(typed, FTrack->maximum());
    if (text != typed) {
        const int cursor = FEdit->cursorPosition();
        FEdit->setText(text);
        FEdit->setCursorPosition(std::min<int>(cursor, static_cast<int>(text.size())));
    }
    bool ok = false;
    const int number = text.toInt(&ok);
    if (!ok)
        return;
    // The bar follows; what was typed stays until the edit is left.
    FFromEdit = true;
    FTrack->setValue(std::clamp(number, FTrack->minimum(), FTrack->maximum()));
    FFromEdit = false;
}

void TNumberTrackPair::Normalise() {
    bool ok = false;
    const int number = FEdit->text().trimmed().toInt(&ok);
    if (!ok || number < FTrack->minimum())
        FTrack->setValue(FTrack->minimum());
    else if (number > FTrack->maximum())
        FTrack->setValue(FTrack->maximum());
    ShowPosition();
}

void TNumberTrackPair::ShowPosition() {
    const QString position = QString::number(FTrack->value());
    if (FEdit->text() != position)
        FEdit->setText(position);
}

bool TNumberTrackPair::eventFilter(QObject* AWatched, QEvent* AEvent) {
    if (AEvent->type() == QEvent::FocusOut && (AWatched == FEdit || AWatched == FTrack))
        Normalise();
    return QObject::eventFilter(AWatched, AEvent);
}
