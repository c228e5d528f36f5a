#include "ui/main_window/thread_count_control.h"

#include <QHBoxLayout>
#include <QLineEdit>
#include <QRegularExpressionValidator>
#include <QSignalBlocker>
#include <QSlider>

#include <algorithm>

namespace {

int Clamped(int AValue) {
    return std::clamp(AValue, TThreadCountControl::KMin, TThreadCountControl::KMax);
}

// The edit's number; an empty or unreadable text counts as the lower bound.
int EditNumber(const QLineEdit& AEdit) {
    bool ok = false;
    const int value = AEdit.text().trimmed().toInt(&ok);
    return ok ? value : TThreadCountControl::KMin;
}

}  // namespace

TThreadCountControl::TThreadCountControl(const QString& AEditName, const QString& ATrackName,
                                         int AValue, QWidget* AParent)
    : QWidget(AParent), FEdit(new QLineEdit(this)), FTrack(new QSlider(Qt::Horizontal, this)) {
    FEdit->setObjectName(AEditName);
    FTrack->setObjectName(ATrackName);
    // Digits only; the range is applied when the edit is left, so any number can be typed.
    FEdit->setValidator(
        new QRegularExpressionValidator(QRegularExpression(QStringLiteral("\\d{0,4}")), FEdit));
    FEdit->setMaximumWidth(FEdit->fontMetrics().horizontalAdvance(QStringLiteral("00000")) + 16);
    FTrack->setRange(KMin, KMax);
    FTrack->setTickPosition(QSlider::TicksBelow);
    FTrack->setTickInterval(10);
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(FEdit);
    layout->addWidget(FTrack, 1);
    SetValue(AValue);

    connect(FTrack, &QSlider::valueChanged, this, [this](int AValue) {
        if (FUpdating)
            return;
        ShowInEdit(AValue);
        Changed();
    });
    connect(FEdit, &QLineEdit::textEdited, this, [this] {
        const int typed = EditNumber(*FEdit);
        // Only a value in range moves the track bar while typing; the rest waits for leaving.
        if (typed >= KMin && typed <= KMax) {
            FUpdating = true;
            FTrack->setValue(typed);
            FUpdating = false;
        }
        Changed();
    });
    connect(FEdit, &QLineEdit::editingFinished, this, [this] { CommitEdit(); });
}

int TThreadCountControl::Value() const {
    return Clamped(EditNumber(*FEdit));
}

void TThreadCountControl::SetValue(int AValue) {
    const int value = Clamped(AValue);
    FUpdating = true;
    FTrack->setValue(value);
    FUpdating = false;
    ShowInEdit(value);
}

void TThreadCountControl::CommitEdit() {
    const int value = Value();
    const bool differs = FEdit->text() != QString::number(value) || FTrack->value() != value;
    if (!differs)
        return;
    SetValue(value);
    Changed();
}

void TThreadCountControl::ShowInEdit(int AValue) {
    const QSignalBlocker block(FEdit);
    FEdit->setText(QString::number(AValue));
}

void TThreadCountControl::Changed() {
    if (OnChanged)
        OnChanged();
}
