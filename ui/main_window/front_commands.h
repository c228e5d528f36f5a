#pragma once

#include "app/batch_status.h"

// Which of the main window's commands are available, decided in one place from the batch status.
struct TFrontCommandState {
    bool NewProject = true;
    bool OpenProject = true;
    bool SaveProject = true;
    bool SaveProjectAs = true;
    bool Exit = true;
    bool StartBatch = true;
    bool InterruptBatch = false;
    bool ReloadPlugins = true;
    bool Reopen = true;          // the Reopen menu
    bool EditCommands = true;    // the edit commands may follow the focused text control
    bool RuntimeUpdate = false;  // "Update settings runtime"
    bool ChangePage = true;      // the pages can be switched
    bool EditSettings = true;    // the project settings page takes edits
    bool WaitPointer = false;    // an interruption is pending

    bool operator==(const TFrontCommandState&) const = default;
};

// AWrapperRunning: the window runs a batch wrapper (it may not have set its flags yet);
// AStopRequested: Stop was pressed during this batch.
TFrontCommandState FrontCommandState(const TBatchStatusSet& AStatus, bool AWrapperRunning,
                                     bool AStopRequested);
