#include "ui/main_window/frame_program_setup_general.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "platform/system_folders.h"
#include "ui/main_window/thread_count_control.h"

namespace {

QLabel* NamedLabel(const QString& AName, const QString& ACaption, QWidget* AParent) {
    auto* label = new QLabel(ACaption, AParent);
    label->setObjectName(AName);
    label->setWordWrap(true);
    return label;
}

QCheckBox* NamedCheckBox(const QString& AName, const QString& ACaption, QWidget* AParent) {
    auto* box = new QCheckBox(ACaption, AParent);
    box->setObjectName(AName);
    return box;
}

}  // namespace

TFrameProgramSetupGeneral::TFrameProgramSetupGeneral(TFolderChooser AChooseFolder, QWidget* AParent)
    : QWidget(AParent), FChooseFolder(std::move(AChooseFolder)) {
    setObjectName(QStringLiteral("FrameProgramSetupGeneral"));
    FInputDir = new QLineEdit(this);
    FInputDir->setObjectName(QStringLiteral("edtInputDir"));
    FInputDirChoose = new QPushButton(QStringLiteral("..."), this);
    FInputDirChoose->setObjectName(QStringLiteral("btnSelectInputDir"));
    FInputDirChoose->setToolTip(QStringLiteral("Select Input Directory"));
    FWorkDir = new QLineEdit(this);
    FWorkDir->setObjectName(QStringLiteral("edtWorkDir"));
    FWorkDirChoose = new QPushButton(QStringLiteral("..."), this);
    FWorkDirChoose->setObjectName(QStringLiteral("btnSelectWorkDir"));
    FWorkDirChoose->setToolTip(QStringLiteral("Select Work Directory"));
    FOnlyCopyBatchedPaths = NamedCheckBox(
        QStringLiteral("chkOnlyCopyBatchedPaths"),
        QStringLiteral("Only copy processed paths (files and directories) instead of the entire "
                       "directory"),
        this);
    FDeleteWorkFiles = NamedCheckBox(
        QStringLiteral("chkDeleteWorkFiles"),
        QStringLiteral("Delete files (to recycle bin when possible) in work directory before "
                       "batch starts"),
        this);
    FMakeInputWorkSame = NamedCheckBox(
        QStringLiteral("chkMakeInputWorkSame"),
        QStringLiteral("Make input directory function as work directory (makes the 3 above "
                       "settings ignored)"),
        this);
    FIncludeSubDirs =
        NamedCheckBox(QStringLiteral("chkIncludeSubDirs"),
                      QStringLiteral("Include subdirectories for both input and work"), this);
    FMaxWorkerThreads =
        new TThreadCountControl(QStringLiteral("edtMWT"), QStringLiteral("tbrMWT"), 6, this);

    auto* grid = new QGridLayout;
    int row = 0;
    grid->addWidget(
        NamedLabel(QStringLiteral("lblInputDir"), QStringLiteral("Input directory:"), this), row++,
        0, 1, 2);
    grid->addWidget(FInputDir, row, 0);
    grid->addWidget(FInputDirChoose, row++, 1);
    grid->addWidget(
        NamedLabel(QStringLiteral("lblWorkDir"),
                   QStringLiteral("Work directory (files from input directory will be copied into "
                                  "this before batch starts):"),
                   this),
        row++, 0, 1, 2);
    grid->addWidget(FWorkDir, row, 0);
    grid->addWidget(FWorkDirChoose, row++, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addSpacing(8);
    for (QCheckBox* box :
         {FOnlyCopyBatchedPaths, FDeleteWorkFiles, FMakeInputWorkSame, FIncludeSubDirs})
        layout->addWidget(box);
    layout->addSpacing(8);
    layout->addWidget(NamedLabel(QStringLiteral("lblMWT"),
                                 QStringLiteral("Max worker threads active count"), this));
    layout->addWidget(FMaxWorkerThreads);
    layout->addStretch(1);

    TProjectGeneralSettings initial;
    initial.MaxWorkerThreads = 6;
    ShowSettings(initial);

    for (QLineEdit* edit : {FInputDir, FWorkDir})
        connect(edit, &QLineEdit::textChanged, this, [this] { Edited(); });
    for (QCheckBox* box :
         {FOnlyCopyBatchedPaths, FDeleteWorkFiles, FMakeInputWorkSame, FIncludeSubDirs})
        connect(box, &QCheckBox::toggled, this, [this] {
            UpdateEnabling();
            Edited();
        });
    FMaxWorkerThreads->OnChanged = [this] { Edited(); };
    connect(FInputDirChoose, &QPushButton::clicked, this,
            [this] { ChooseFolder(FInputDir, FInputDirChoose->toolTip()); });
    connect(FWorkDirChoose, &QPushButton::clicked, this,
            [this] { ChooseFolder(FWorkDir, FWorkDirChoose->toolTip()); });
}

void TFrameProgramSetupGeneral::ShowSettings(const TProjectGeneralSettings& ASettings) {
    FShowing = true;
    FInputDir->setText(ASettings.InputDirPath);
    FWorkDir->setText(ASettings.WorkDirPath);
    FOnlyCopyBatchedPaths->setChecked(ASettings.OnlyCopyHandledPaths);
    FDeleteWorkFiles->setChecked(ASettings.DeleteWorkDirFiles);
    FMakeInputWorkSame->setChecked(ASettings.InputDirIsWorkDir);
    FIncludeSubDirs->setChecked(ASettings.IncludeSubDirs);
    FMaxWorkerThreads->SetValue(ASettings.MaxWorkerThreads);
    FShowing = false;
    UpdateEnabling();
}

TProjectGeneralSettings TFrameProgramSetupGeneral::Settings() const {
    TProjectGeneralSettings settings;
    settings.InputDirPath = FInputDir->text();
    settings.WorkDirPath = FWorkDir->text();
    settings.OnlyCopyHandledPaths = FOnlyCopyBatchedPaths->isChecked();
    settings.DeleteWorkDirFiles = FDeleteWorkFiles->isChecked();
    settings.InputDirIsWorkDir = FMakeInputWorkSame->isChecked();
    settings.IncludeSubDirs = FIncludeSubDirs->isChecked();
    settings.MaxWorkerThreads = FMaxWorkerThreads->Value();
    return settings;
}

void TFrameProgramSetupGeneral::CommitEdits() {
    FMaxWorkerThreads->CommitEdit();
}

void TFrameProgramSetupGeneral::ChooseFolder(QLineEdit* AEdit, const QString& ACaption) {
    if (!FChooseFolder)
        return;
    const QString chosen = FChooseFolder(ACaption, AEdit->text());
    if (chosen.isEmpty())
        return;
    AEdit->setText(IncludeTrailingSeparator(chosen));
}

void TFrameProgramSetupGeneral::UpdateEnabling() {
    // Working in the input folder makes the work folder and how it is filled meaningless.
    const bool separateWork = !FMakeInputWorkSame->isChecked();
    for (QWidget* control : std::initializer_list<QWidget*>{
             FWorkDir, FWorkDirChoose, FOnlyCopyBatchedPaths, FDeleteWorkFiles})
        control->setEnabled(separateWork);
}

void TFrameProgramSetupGeneral::Edited() {
    if (!FShowing && OnEdited)
        OnEdited();
}
