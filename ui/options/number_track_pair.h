#pragma once

#include <QObject>
#include <QString>

class QLineEdit;
class QSlider;

// A number edit and a track bar that show one number of the track bar's range:
// - moving the bar writes its position into the edit;
// - typing trims the edit, cuts it to as many characters as the maximum has digits, drops
//   leading zeros, and moves the bar to the typed number kept within the range (the edit keeps
//   what was typed);
// - leaving either control settles the edit: a text that is not a number, or one below the
//   minimum, becomes the minimum, one above the maximum the maximum (the bar goes along), and a
//   number in range that differs from the bar's position becomes the position.
// The bar's position is the value; the pair owns neither control.
class TNumberTrackPair : public QObject {
public:
    TNumberTrackPair(QLineEdit* AEdit, QSlider* ATrack, QObject* AParent = nullptr);

    int Value() const;
    // Puts the bar at AValue kept within its range and shows the position in the edit.
    void SetValue(int AValue);
    // What leaving a control does to the edit.
    void Normalise();

    // The text typing leaves in an edit whose range ends at AMax.
    static QString TypedText(const QString& AText, int AMax);

protected:
    bool eventFilter(QObject* AWatched, QEvent* AEvent) override;

private:
    void Typed();
    void ShowPosition();

    QLineEdit* FEdit;
    QSlider* FTrack;
    bool FFromEdit = false;
};
