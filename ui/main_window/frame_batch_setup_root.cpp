#include "ui/main_window/frame_batch_setup_root.h"

#include <QFormLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QVBoxLayout>

#include "ui/main_window/thread_count_control.h"

namespace {

QLabel* NamedLabel(const QString& AName, const QString& AText, QWidget* AParent) {
    auto* label = new QLabel(AText, AParent);
    label->setObjectName(AName);
    return label;
}

}  // namespace

TFrameBatchSetupRoot::TFrameBatchSetupRoot(QWidget* AParent) : QWidget(AParent) {
    setObjectName(QStringLiteral("FrameBatchSetupRoot"));
    FStatus = NamedLabel(QStringLiteral("lblBatchStatusValue"), QString(), this);
    FStarted = NamedLabel(QStringLiteral("lblBatchStartedValue"), QString(), this);
    FTimeUsed = NamedLabel(QStringLiteral("lblBatchTimeUsedValue"), QString(), this);
    FPathsToDo = NamedLabel(QStringLiteral("lblBatchPathsToDoValue"), QString(), this);
    FItemsDone = NamedLabel(QStringLiteral("lblBatchItemsDoneValue"), QString(), this);
    FError = NamedLabel(QStringLiteral("lblBatchErrorValue"), QString(), this);
    FError->setWordWrap(true);
    FError->setTextInteractionFlags(Qt::TextSelectableByMouse);
    FError->setStyleSheet(QStringLiteral("color: #b00020;"));
    FError->hide();
    for (QLabel* value : {FStatus, FStarted, FTimeUsed, FPathsToDo, FItemsDone})
        value->setTextInteractionFlags(Qt::TextSelectableByMouse);

    auto* form = new QFormLayout;
    form->addRow(NamedLabel(QStringLiteral("lblBatchStatus"), QStringLiteral("Status:"), this),
                 FStatus);
    form->addRow(NamedLabel(QStringLiteral("lblBatchStarted"), QStringLiteral("Started:"), this),
                 FStarted);
    form->addRow(NamedLabel(QStringLiteral("lblBatchTimeUsed"), QStringLiteral("Time used:"), this),
                 FTimeUsed);
    form->addRow(NamedLabel(QStringLiteral("lblBatchPathsToDo"),
                            QStringLiteral("Paths to do (estimated):"), this),
                 FPathsToDo);
    form->addRow(
        NamedLabel(QStringLiteral("lblBatchItemsDone"), QStringLiteral("Batch items done:"), this),
        FItemsDone);

    auto* runtime = new QGroupBox(QStringLiteral("Runtime engine setup"), this);
    runtime->setObjectName(QStringLiteral("grpRuntimeEngineSetup"));
    FRuntimeThreads = new TThreadCountControl(QStringLiteral("edtRuntimeMWT"),
                                              QStringLiteral("tbrRuntimeMWT"), 1, runtime);
    FUpdateRuntime = new QPushButton(QStringLiteral("Update settings runtime"), runtime);
    FUpdateRuntime->setObjectName(QStringLiteral("btnUpdateSettingsRuntime"));
    auto* runtimeLayout = new QVBoxLayout(runtime);
    runtimeLayout->addWidget(FRuntimeThreads);
    runtimeLayout->addWidget(FUpdateRuntime, 0, Qt::AlignLeft);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(FError);
    layout->addSpacing(8);
    layout->addWidget(runtime);
    layout->addStretch(1);
    SetRuntimeEnabled(false);

    connect(FUpdateRuntime, &QPushButton::clicked, this, [this] {
        FRuntimeThreads->CommitEdit();
        if (OnUpdateRuntime)
            OnUpdateRuntime(FRuntimeThreads->Value());
    });
}

void TFrameBatchSetupRoot::ShowStatus(const QString& AStatus) {
    FStatus->setText(AStatus);
}

void TFrameBatchSetupRoot::ShowBatchBegun(const QDateTime& AStarted, const QString& ANotAvailable) {
    BatchStartedDT = AStarted;
    FStarted->setText(QLocale().toString(AStarted, QLocale::ShortFormat));
    FTimeUsed->setText(ANotAvailable);
    FPathsToDo->setText(ANotAvailable);
    FItemsDone->setText(ANotAvailable);
    ShowError(QString());
}

void TFrameBatchSetupRoot::ShowCounts(int APathsToDo, int AItemsDone) {
    FPathsToDo->setText(QString::number(APathsToDo));
    FItemsDone->setText(QString::number(AItemsDone));
}

void TFrameBatchSetupRoot::ShowTimeUsed(const QString& AText) {
    FTimeUsed->setText(AText);
}

void TFrameBatchSetupRoot::ShowError(const QString& AText) {
    FError->setText(AText);
    FError->setVisible(!AText.isEmpty());
}

void TFrameBatchSetupRoot::SetRuntimeEnabled(bool AEnabled) {
    FRuntimeThreads->setEnabled(AEnabled);
    FUpdateRuntime->setEnabled(AEnabled);
}

int TFrameBatchSetupRoot::RuntimeThreads() const {
    return FRuntimeThreads->Value();
}
