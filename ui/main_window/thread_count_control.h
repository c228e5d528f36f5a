#pragma once

#include <QWidget>

#include <functional>

class QLineEdit;
class QSlider;

// A worker thread count as an edit and a track bar that mirror each other. A typed value outside
// the range is set to the nearest bound when the edit is left.
class TThreadCountControl : public QWidget {
public:
    // AEditName and ATrackName are the object names of the edit and the track bar.
    TThreadCountControl(const QString& AEditName, const QString& ATrackName, int AValue,
                        QWidget* AParent = nullptr);

    // The value, clamped to the range; a half-typed edit counts as it will when left.
    int Value() const;
    void SetValue(int AValue);
    // Applies the edit's text now (as leaving it would), so nothing typed is lost.
    void CommitEdit();

    QLineEdit* Edit() const { return FEdit; }
    QSlider* TrackBar() const { return FTrack; }

    // A user's change of the value (not SetValue).
    std::function<void()> OnChanged;

    static constexpr int KMin = 1;
    static constexpr int KMax = 81;

private:
    void ShowInEdit(int AValue);
    void Changed();

    QLineEdit* FEdit;
    QSlider* FTrack;
    bool FUpdating = false;
};
