#pragma once

// The host function tables handed to external plugin libraries, and the plumbing that carries
// errors across the C boundary: a host function called by a library never throws through the
// library's frames. It returns 0 to the library instead (1 when it did its work), and its error
// is kept for the calling thread and raised again once the library's entry point has returned.
// A library that calls a host function from a thread of its own, outside every call of the host
// into it, has no call its error could fail: that error goes to the program log.

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

// One call of the host into a library on this thread: host functions the library calls on this
// thread meanwhile keep their first error for it. Nested calls keep their own.
class TExternalCallScope {
public:
    TExternalCallScope();
    ~TExternalCallScope();
    TExternalCallScope(const TExternalCallScope&) = delete;
    TExternalCallScope& operator=(const TExternalCallScope&) = delete;

    // Raises the kept error, if any (once the library's entry point has returned).
    void RaisePending();

private:
    std::exception_ptr FOuterPending;
};
