#pragma once

// The host function tables handed to external plugin libraries, and the plumbing that carries
// errors across the C boundary: a host function called by a library never throws through the
// library's frames; the error is kept for the calling thread and raised again once the library's
// entry point has returned. (A library that calls host functions from a thread of its own gets
// no error back: nothing on that thread returns to the host.)

#include <exception>

#include "plugin_host/plugin_contract.h"

TExeInitCallbacks* ExternalInitCallbacks();
TExePreEditCallbacks* ExternalPreEditCallbacks();
TExeWorkCallbacks* ExternalWorkCallbacks();

// Reporters handed to the verify entry points; they forward to the handler set for the calling
// thread while a verify call runs.
TProcExeHandleEditPropTextBoxErrorMsg ExternalTextBoxErrorReporter();
TProcExeHandleEditPropGridErrorMsg ExternalGridErrorReporter();
TProcExeHandleEditPropFileErrorMsg ExternalFileErrorReporter();

// Sets the verify handlers of the calling thread for the lifetime of the object.
class TExternalVerifyScope {
public:
    TExternalVerifyScope(const TExeHandleEditPropTextBoxErrorMsg* ATextBox,
                         const TExeHandleEditPropGridErrorMsg* AGrid,
                         const TExeHandleEditPropFileErrorMsg* AFile);
    ~TExternalVerifyScope();
    TExternalVerifyScope(const TExternalVerifyScope&) = delete;
    TExternalVerifyScope& operator=(const TExternalVerifyScope&) = delete;
};

// Clears the calling thread's kept error before an external call; raises it after.
void ClearPendingCallbackError();
void RaisePendingCallbackError();
