#include "ui/main_window/front_commands.h"

TFrontCommandState FrontCommandState(const TBatchStatusSet& AStatus, bool AWrapperRunning,
                                     bool AStopRequested) {
    TFrontCommandState state;
    const bool running = AWrapperRunning || AStatus.Has(bsWrapperActive);
    const bool interrupting = running && (AStopRequested || AStatus.Has(bsIsInterrupted));
    // The project commands stay: the running batch works on its own copy of the project.
    state.StartBatch = !running;
    state.InterruptBatch = running && !interrupting;
    state.ReloadPlugins = !running;
    state.Reopen = !running;
    state.EditCommands = !running;
    state.RuntimeUpdate = AStatus.Has(bsCoreActive) && !interrupting;
    // While Stop is offered the progress page stays in front.
    state.ChangePage = !state.InterruptBatch;
    state.EditSettings = !running && !AStatus.Has(bsDisallowAllChangesGUI);
    state.WaitPointer = interrupting;
    return state;
}
