#include "ui/text_tools/form_search_text.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "translation/builtin_texts.h"

namespace {

template <typename T>
T* Named(T* AWidget, const char* AName) {
    AWidget->setObjectName(QString::fromLatin1(AName));
    return AWidget;
}

}  // namespace

TFormSearchText::TFormSearchText(bool AReplace, TqvlgLanguageAssistantsGui& AAssistants,
                                 QWidget* AParent)
    : QDialog(AParent), FAssistants(AAssistants) {
    setObjectName(AReplace ? QStringLiteral("FormReplaceText") : QStringLiteral("FormFindText"));
    setWindowTitle(AReplace ? QStringLiteral("Replace") : QStringLiteral("Find"));
    auto* grid = new QGridLayout;
    FFind = Named(new QLineEdit(this), "edtFindText");
    auto* findLabel = Named(new QLabel(QStringLiteral("Fi&nd what:"), this), "lblFindText");
    findLabel->setBuddy(FFind);
    grid->addWidget(findLabel, 0, 0);
    grid->addWidget(FFind, 0, 1);
    if (AReplace) {
        FReplace = Named(new QLineEdit(this), "edtReplaceText");
        auto* replaceLabel =
            Named(new QLabel(QStringLiteral("Re&place with:"), this), "lblReplaceText");
        replaceLabel->setBuddy(FReplace);
        grid->addWidget(replaceLabel, 1, 0);
        grid->addWidget(FReplace, 1, 1);
    }
    FMatchCase = Named(new QCheckBox(QStringLiteral("Match &case"), this), "chkMatchCase");
    FWholeWord = Named(new QCheckBox(QStringLiteral("&Whole word only"), this), "chkWholeWord");
    auto* direction = Named(new QGroupBox(QStringLiteral("Direction"), this), "grpDirection");
    FUp = Named(new QRadioButton(QStringLiteral("&Up"), direction), "rbDirectionUp");
    FDown = Named(new QRadioButton(QStringLiteral("&Down"), direction), "rbDirectionDown");
    FDown->setChecked(true);
    auto* directionLayout = new QHBoxLayout(direction);
    directionLayout->addWidget(FUp);
    directionLayout->addWidget(FDown);
    auto* optionsLayout = new QVBoxLayout;
    optionsLayout->addWidget(FMatchCase);
    optionsLayout->addWidget(FWholeWord);
    auto* lower = new QHBoxLayout;
    lower->addLayout(optionsLayout);
    lower->addWidget(direction);

    auto* buttons = new QVBoxLayout;
    auto* findNext = Named(new QPushButton(QStringLiteral("&Find Next"), this), "btnFindNext");
    findNext->setDefault(true);
    buttons->addWidget(findNext);
    connect(findNext, &QPushButton::clicked, this, [this] {
        if (OnFindNext)
            OnFindNext(Options());
    });
    if (AReplace) {
        auto* replace = Named(new QPushButton(QStringLiteral("&Replace"), this), "btnReplace");
        auto* replaceAll =
            Named(new QPushButton(QStringLiteral("Replace &All"), this), "btnReplaceAll");
        buttons->addWidget(replace);
        buttons->addWidget(replaceAll);
        connect(replace, &QPushButton::clicked, this, [this] {
            if (OnReplace)
                OnReplace(Options(), Replacement());
        });
        connect(replaceAll, &QPushButton::clicked, this, [this] {
            if (OnReplaceAll)
                OnReplaceAll(Options(), Replacement());
        });
    }
    auto* cancel = Named(new QPushButton(QStringLiteral("Cancel"), this), "btnCancel");
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    buttons->addWidget(cancel);
    buttons->addStretch(1);

    auto* left = new QVBoxLayout;
    left->addLayout(grid);
    left->addLayout(lower);
    auto* layout = new QHBoxLayout(this);
    layout->addLayout(left, 1);
    layout->addLayout(buttons);

    LanguageCulture_SetNativeOnce_GUI();
    LanguageCulture_LoadCurrent_GUI();
}

QString TFormSearchText::Section() const {
    return QStringLiteral("__") + objectName();
}

TTextSearchOptions TFormSearchText::Options() const {
    return {FFind->text(), FMatchCase->isChecked(), FWholeWord->isChecked(), FUp->isChecked()};
}

QString TFormSearchText::Replacement() const {
    return FReplace != nullptr ? FReplace->text() : QString();
}

void TFormSearchText::SetFindText(const QString& AText) {
    FFind->setText(AText);
    FFind->selectAll();
}

void TFormSearchText::LanguageCulture_SetNativeOnce_GUI() {
    FAssistants.FControls.Save_Trans_Controls(KTransIdProgram, Section(), this);
}

void TFormSearchText::LanguageCulture_LoadCurrent_GUI() {
    FAssistants.FControls.Load_Trans_Controls(KTransIdProgram, Section(), this);
}
