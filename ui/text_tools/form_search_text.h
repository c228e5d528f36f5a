#pragma once

#include <QDialog>

#include <functional>

#include "ui/text_tools/text_search.h"
#include "ui/translation/language_assistants.h"

class QCheckBox;
class QLineEdit;
class QPushButton;
class QRadioButton;

// The find dialog, and with AReplace the replace dialog: the text (and its replacement), match
// case, whole words, the direction and the buttons. It stays open beside the window and hands
// each press to the window, which acts on its text control.
class TFormSearchText : public QDialog, public TqvlgTranslatedWindow {
public:
    TFormSearchText(bool AReplace, TqvlgLanguageAssistantsGui& AAssistants, QWidget* AParent);

    std::function<void(const TTextSearchOptions&)> OnFindNext;
    std::function<void(const TTextSearchOptions&, const QString&)> OnReplace;
    std::function<void(const TTextSearchOptions&, const QString&)> OnReplaceAll;

    TTextSearchOptions Options() const;
    QString Replacement() const;
    void SetFindText(const QString& AText);

    void LanguageCulture_SetNativeOnce_GUI() override;
    void LanguageCulture_LoadCurrent_GUI() override;

private:
    QString Section() const;

    TqvlgLanguageAssistantsGui& FAssistants;
    QLineEdit* FFind;
    QLineEdit* FReplace = nullptr;
    QCheckBox* FMatchCase;
    QCheckBox* FWholeWord;
    QRadioButton* FUp;
    QRadioButton* FDown;
};
