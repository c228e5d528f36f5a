#pragma once

#include <QString>

class QTextCursor;
class QTextDocument;
class QWidget;
class TUserPrompts;

// What to look for and how.
struct TTextSearchOptions {
    QString Text;
    bool CaseSensitive = false;
    bool WholeWord = false;
    bool Backward = false;
};

// The multi-line text control a command acts on: a plain or rich text edit, or nothing.
class TTextControl {
public:
    explicit TTextControl(QWidget* AWidget);
    bool Exists() const { return FDocument != nullptr; }
    bool ReadOnly() const;
    bool HasText() const;
    QTextDocument* Document() const { return FDocument; }
    QTextCursor Cursor() const;
    void SetCursor(const QTextCursor& ACursor) const;
    bool WordWrap() const;
    void SetWordWrap(bool AOn) const;

private:
    QWidget* FWidget = nullptr;
    QTextDocument* FDocument = nullptr;
};

// Find and replace on a text control. Questions ("go on from the other end?", "replace this
// place?") and the count of a replace-all go through the prompts, in the chosen language.
class TTextSearch {
public:
    explicit TTextSearch(TUserPrompts* APrompts) : FPrompts(APrompts) {}

    // Selects the next place from the cursor in the options' direction. At the end of the
    // text it asks whether to go on from the other end; false when nothing was selected.
    bool FindNext(const TTextControl& AControl, const TTextSearchOptions& AOptions) const;
    // Walks the places from the cursor on, asking for each whether to replace it (Yes), leave
    // it (No) or stop (Cancel); returns how many were replaced.
    int ReplaceAsking(const TTextControl& AControl, const TTextSearchOptions& AOptions,
                      const QString& AReplacement) const;
    // Replaces every place of the whole text in one undo step and reports the count.
    int ReplaceAll(const TTextControl& AControl, const TTextSearchOptions& AOptions,
                   const QString& AReplacement) const;

private:
    TUserPrompts* FPrompts;
};
