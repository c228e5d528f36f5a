#include "plugin_host/external_callbacks.h"

#include "base/exceptions.h"
#include "plugin_host/plugin_host.h"

namespace {

thread_local std::exception_ptr GPendingError;
thread_local const TExeHandleEditPropTextBoxErrorMsg* GTextBoxHandler = nullptr;
thread_local const TExeHandleEditPropGridErrorMsg* GGridHandler = nullptr;
thread_local const TExeHandleEditPropFileErrorMsg* GFileHandler = nullptr;

TPluginHost& Host() {
    TPluginHost* host = TPluginHost::Current();
    if (host == nullptr)
        throw EqvMissingRequiredHandler(UnassignedHandlerText(QStringLiteral("Plugin (external)"),
                                                              QStringLiteral("host function"),
                                                              QStringLiteral("application")));
    return *host;
}

// Runs a host function for a library; the first error is kept for the calling thread.
template <typename Body>
void Guard(Body ABody) noexcept {
    try {
        ABody();
    } catch (...) {
        if (!GPendingError)
            GPendingError = std::current_exception();
    }
}

void PLV_CALL CbMakePropName(TPlvAStr APropName, TPlvWStr AShownName, TVisualPropType AType,
                             uint32_t AServices, TPlvWStr AHint, TPlvWStr AHelp) {
    Guard([&] {
        Host().ExeMakePropName(FromAString(APropName), FromWString(AShownName), AType, AServices,
                               FromWString(AHint), FromWString(AHelp));
    });
}
void PLV_CALL CbSetPropMetasGrid(TPlvAStr APropName, int32_t ALevel) {
    Guard([&] { Host().ExeSetPropMetasGrid(FromAString(APropName), ALevel); });
}
void PLV_CALL CbSetPropChoiceValueCount(TPlvAStr APropName, int32_t ACount) {
    Guard([&] { Host().ExeSetPropChoiceValueCount(FromAString(APropName), ACount); });
}
void PLV_CALL CbAddPropChoiceValue(TPlvAStr APropName, TPlvAStr AChoiceID, TPlvWStr ACaption,
                                   uint8_t AChecked) {
    Guard([&] {
        Host().ExeAddPropChoiceValue(FromAString(APropName), FromAString(AChoiceID),
                                     FromWString(ACaption), AChecked != 0);
    });
}
void PLV_CALL CbSetPropTextBoxValueCount(TPlvAStr APropName, int32_t ACount) {
    Guard([&] { Host().ExeSetPropTextBoxValueCount(FromAString(APropName), ACount); });
}
void PLV_CALL CbSetPropTextBoxValue(TPlvAStr APropName, TPlvAStr ATextBoxID, TPlvWStr ACaption,
                                    TPlvWStr ADefaultValue) {
    Guard([&] {
        Host().ExeSetPropTextBoxValue(FromAString(APropName), FromAString(ATextBoxID),
                                      FromWString(ACaption), FromWString(ADefaultValue));
    });
}
void PLV_CALL CbSetPropGridColumnCount(TPlvAStr APropName, int32_t ACount) {
    Guard([&] { Host().ExeSetPropGridColumnCount(FromAString(APropName), ACount); });
}
void PLV_CALL CbAddPropGridColumn(TPlvAStr APropName, TPlvAStr AColID, TPlvWStr ACaption,
                                  TPlvAStr AColWidth, int32_t AColFlags) {
    Guard([&] {
        Host().ExeAddPropGridColumn(FromAString(APropName), FromAString(AColID),
                                    FromWString(ACaption), FromAString(AColWidth), AColFlags);
    });
}
void PLV_CALL CbSetPropDefaultGridValueCount(TPlvAStr APropName, int32_t ACount) {
    Guard([&] { Host().ExeSetPropDefaultGridValueCount(FromAString(APropName), ACount); });
}
void PLV_CALL CbAddPropDefaultGridValue(TPlvAStr APropName, int32_t AColIdx, int32_t ARowIdx,
                                        TPlvWStr AValue) {
    Guard([&] {
        Host().ExeAddPropDefaultGridValue(FromAString(APropName), AColIdx, ARowIdx,
                                          FromWString(AValue));
    });
}
void PLV_CALL CbSetPropDefaultFileValue(TPlvAStr APropName, TPlvWStr AFileName,
                                        int32_t AFileFlags) {
    Guard([&] {
        Host().ExeSetPropDefaultFileValue(FromAString(APropName), FromWString(AFileName),
                                          AFileFlags);
    });
}
void PLV_CALL CbHandleWorkPathErrorMsg(TPlvAStr AErrorMsg, TPlvAStr AAdviceMsg) {
    Guard(
        [&] { Host().ExeHandleWorkPathErrorMsg(FromAString(AErrorMsg), FromAString(AAdviceMsg)); });
}
void PLV_CALL CbHandleWorkPathErrorMsgW(TPlvWStr AErrorMsg, TPlvWStr AAdviceMsg) {
    Guard([&] {
        Host().ExeHandleWorkPathErrorMsgW(FromWString(AErrorMsg), FromWString(AAdviceMsg));
    });
}
void PLV_CALL CbRequestAddPathToBatch(TPlvWStr APath) {
    Guard([&] { Host().ExeRequestAddPathToBatch(FromWString(APath)); });
}

void PLV_CALL CbTextBoxError(TPlvAStr ATextBoxID, TPlvWStr AErrorMsg, TPlvWStr AAdviceMsg) {
    Guard([&] {
        if (GTextBoxHandler != nullptr && *GTextBoxHandler)
            (*GTextBoxHandler)(FromAString(ATextBoxID), FromWString(AErrorMsg),
                               FromWString(AAdviceMsg));
    });
}
void PLV_CALL CbGridError(int32_t AFieldInRowIndex, TPlvWStr AErrorMsg, TPlvWStr AAdviceMsg) {
    Guard([&] {
        if (GGridHandler != nullptr && *GGridHandler)
            (*GGridHandler)(AFieldInRowIndex, FromWString(AErrorMsg), FromWString(AAdviceMsg));
    });
}
void PLV_CALL CbFileError(int32_t ACharPos, TPlvWStr AErrorMsg, TPlvWStr AAdviceMsg) {
    Guard([&] {
        if (GFileHandler != nullptr && *GFileHandler)
            (*GFileHandler)(ACharPos, FromWString(AErrorMsg), FromWString(AAdviceMsg));
    });
}

// The tables live for the whole program run, as libraries may keep them.
TExeInitCallbacks GInitTable = {CbMakePropName, CbSetPropMetasGrid};
TExePreEditCallbacks GPreEditTable = {
    CbSetPropChoiceValueCount,      CbAddPropChoiceValue,      CbSetPropTextBoxValueCount,
    CbSetPropTextBoxValue,          CbSetPropGridColumnCount,  CbAddPropGridColumn,
    CbSetPropDefaultGridValueCount, CbAddPropDefaultGridValue, CbSetPropDefaultFileValue};
TExeWorkCallbacks GWorkTable = {CbHandleWorkPathErrorMsg, CbHandleWorkPathErrorMsgW,
                                CbRequestAddPathToBatch};

}  // namespace

TExeInitCallbacks* ExternalInitCallbacks() {
    return &GInitTable;
}
TExePreEditCallbacks* ExternalPreEditCallbacks() {
    return &GPreEditTable;
}
TExeWorkCallbacks* ExternalWorkCallbacks() {
    return &GWorkTable;
}
TProcExeHandleEditPropTextBoxErrorMsg ExternalTextBoxErrorReporter() {
    return CbTextBoxError;
}
TProcExeHandleEditPropGridErrorMsg ExternalGridErrorReporter() {
    return CbGridError;
}
TProcExeHandleEditPropFileErrorMsg ExternalFileErrorReporter() {
    return CbFileError;
}

TExternalVerifyScope::TExternalVerifyScope(const TExeHandleEditPropTextBoxErrorMsg* ATextBox,
                                           const TExeHandleEditPropGridErrorMsg* AGrid,
                                           const TExeHandleEditPropFileErrorMsg* AFile) {
    GTextBoxHandler = ATextBox;
    GGridHandler = AGrid;
    GFileHandler = AFile;
}

TExternalVerifyScope::~TExternalVerifyScope() {
    GTextBoxHandler = nullptr;
    GGridHandler = nullptr;
    GFileHandler = nullptr;
}

void ClearPendingCallbackError() {
    GPendingError = nullptr;
}

void RaisePendingCallbackError() {
    if (!GPendingError)
        return;
    std::exception_ptr error = GPendingError;
    GPendingError = nullptr;
    std::rethrow_exception(error);
}
