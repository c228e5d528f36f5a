#pragma once

#include <QDateTime>
#include <QWidget>

#include <functional>

class QLabel;
class QPushButton;
class TThreadCountControl;

// The batch progress page: status, start time, time used, the counts, the last batch's error and
// the runtime thread control. It shows what the window tells it.
class TFrameBatchSetupRoot : public QWidget {
public:
    explicit TFrameBatchSetupRoot(QWidget* AParent = nullptr);

    void ShowStatus(const QString& AStatus);
    // A batch has begun: the start time, "N/A" (ANotAvailable) for the counts and time used,
    // no error.
    void ShowBatchBegun(const QDateTime& AStarted, const QString& ANotAvailable);
    void ShowCounts(int APathsToDo, int AItemsDone);
    void ShowTimeUsed(const QString& AText);
    // The error that ended the last batch; empty hides the line.
    void ShowError(const QString& AText);
    // The runtime controls work only while the batch core runs.
    void SetRuntimeEnabled(bool AEnabled);
    int RuntimeThreads() const;

    QDateTime BatchStartedDT;

    // "Update settings runtime" with the track bar's value.
    std::function<void(int AThreads)> OnUpdateRuntime;

private:
    QLabel* FStatus;
    QLabel* FStarted;
    QLabel* FTimeUsed;
    QLabel* FPathsToDo;
    QLabel* FItemsDone;
    QLabel* FError;
    TThreadCountControl* FRuntimeThreads;
    QPushButton* FUpdateRuntime;
};
