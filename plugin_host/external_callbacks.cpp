#include "plugin_host/external_callbacks.h"

#include <utility>

#include "base/exceptions.h"
#include "plugin_host/host_services.h"

namespace {

thread_local int GCallDepth = 0;
thread_local std::exception_ptr GPendingError;
thread_local const TExeHandleEditPropTextBoxErrorMsg* GTextBoxHandler = nullptr;
thread_local const TExeHandleEditPropGridErrorMsg* GGridHandler = nullptr;
thread_local const TExeHandleEditPropFileErrorMsg* GFileHandler = nullptr;

TPluginHostServices& Services() {
    TPluginHostServices* services = TPluginHostServices::Current();
    if (services == nullptr)
        throw EqvMissingRequiredHandler(UnassignedHandlerText(QStringLiteral("Plugin (external)"),
                                                              QStringLiteral("host function"),
                                                              QStringLiteral("application")));
    return *services;
}

// A host function failed on a thread that is in no call of the host into a library: nothing
// would ever raise its error, so the program log gets it.
void LogUncalledFailure(const char* AFunction, const std::exception_ptr& AError) noexcept {
    try {
        const QString message =
            QStringLiteral("A plugin called the host function \"") +
            QString::fromLatin1(AFunction) +
            QStringLiteral(
                "\" from a thread of its own, outside every call of the host into it. "
                "The function failed and returned 0 to the plugin.");
        try {
            std::rethrow_exception(AError);
        } catch (const std::exception& e) {
            LogPluginProblem(TPluginHostServices::Current(), &e, message);
        } catch (...) {
            LogPluginProblem(TPluginHostServices::Current(), nullptr,
                             message + QStringLiteral(" Its error is of an unknown type."));
        }
    } catch (...) {
        // Logging itself failed; the plugin still gets its 0.
    }
}

// Runs a host function for a library: 1 when it did its work, 0 when it failed. The first error
// is kept for the calling thread's call into the library.
template <typename Body>
TPlvBool Guard(const char* AFunction, Body ABody) noexcept {
    try {
        ABody();
        return 1;
    } catch (...) {
        if (GCallDepth == 0)
            LogUncalledFailure(AFunction, std::current_exception());
        else if (!GPendingError)
            GPendingError = std::current_exception();
        return 0;
    }
}

TPlvBool PLV_CALL CbMakePropName(TPlvAStr APropName, TPlvWStr AShownName, TVisualPropType AType,
                                 uint32_t AServices, TPlvWStr AHint, TPlvWStr AHelp) {
    return Guard("ExeMakePropName", [&] {
        Services().ExeMakePropName(FromAString(APropName), FromWString(AShownName), AType,
                                   AServices, FromWString(AHint), FromWString(AHelp));
    });
}
TPlvBool PLV_CALL CbSetPropMetasGrid(TPlvAStr APropName, int32_t ALevel) {
    return Guard("ExeSetPropMetasGrid",
                 [&] { Services().ExeSetPropMetasGrid(FromAString(APropName), ALevel); });
}
TPlvBool PLV_CALL CbSetPropChoiceValueCount(TPlvAStr APropName, int32_t ACount) {
    return Guard("ExeSetPropChoiceValueCount",
                 [&] { Services().ExeSetPropChoiceValueCount(FromAString(APropName), ACount); });
}
TPlvBool PLV_CALL CbAddPropChoiceValue(TPlvAStr APropName, TPlvAStr AChoiceID, TPlvWStr ACaption,
                                       uint8_t AChecked) {
    return Guard("ExeAddPropChoiceValue", [&] {
        Services().ExeAddPropChoiceValue(FromAString(APropName), FromAString(AChoiceID),
                                         FromWString(ACaption), AChecked != 0);
    });
}
TPlvBool PLV_CALL CbSetPropTextBoxValueCount(TPlvAStr APropName, int32_t ACount) {
    return Guard("ExeSetPropTextBoxValueCount",
                 [&] { Services().ExeSetPropTextBoxValueCount(FromAString(APropName), ACount); });
}
TPlvBool PLV_CALL CbSetPropTextBoxValue(TPlvAStr APropName, TPlvAStr ATextBoxID, TPlvWStr ACaption,
                                        TPlvWStr ADefaultValue) {
    return Guard("ExeSetPropTextBoxValue", [&] {
        Services().ExeSetPropTextBoxValue(FromAString(APropName), FromAString(ATextBoxID),
                                          FromWString(ACaption), FromWString(ADefaultValue));
    });
}
TPlvBool PLV_CALL CbSetPropGridColumnCount(TPlvAStr APropName, int32_t ACount) {
    return Guard("ExeSetPropGridColumnCount",
                 [&] { Services().ExeSetPropGridColumnCount(FromAString(APropName), ACount); });
}
TPlvBool PLV_CALL CbAddPropGridColumn(TPlvAStr APropName, TPlvAStr AColID, TPlvWStr ACaption,
                                      TPlvAStr AColWidth, int32_t AColFlags) {
    return Guard("ExeAddPropGridColumn", [&] {
        Services().ExeAddPropGridColumn(FromAString(APropName), FromAString(AColID),
                                        FromWString(ACaption), FromAString(AColWidth), AColFlags);
    });
}
TPlvBool PLV_CALL CbSetPropDefaultGridValueCount(TPlvAStr APropName, int32_t ACount) {
    return Guard("ExeSetPropDefaultGridValueCount", [&] {
        Services().ExeSetPropDefaultGridValueCount(FromAString(APropName), ACount);
    });
}
TPlvBool PLV_CALL CbAddPropDefaultGridValue(TPlvAStr APropName, int32_t AColIdx, int32_t ARowIdx,
                                            TPlvWStr AValue) {
    return Guard("ExeAddPropDefaultGridValue", [&] {
        Services().ExeAddPropDefaultGridValue(FromAString(APropName), AColIdx, ARowIdx,
                                              FromWString(AValue));
    });
}
TPlvBool PLV_CALL CbSetPropDefaultFileValue(TPlvAStr APropName, TPlvWStr AFileName,
                                            int32_t AFileFlags) {
    return Guard("ExeSetPropDefaultFileValue", [&] {
        Services().ExeSetPropDefaultFileValue(FromAString(APropName), FromWString(AFileName),
                                              AFileFlags);
    });
}
TPlvBool PLV_CALL CbHandleWorkPathErrorMsg(TPlvAStr AErrorMsg, TPlvAStr AAdviceMsg) {
    return Guard("ExeHandleWorkPathErrorMsg", [&] {
        Services().ExeHandleWorkPathErrorMsg(FromAString(AErrorMsg), FromAString(AAdviceMsg));
    });
}
TPlvBool PLV_CALL CbHandleWorkPathErrorMsgW(TPlvWStr AErrorMsg, TPlvWStr AAdviceMsg) {
    return Guard("ExeHandleWorkPathErrorMsgW", [&] {
        Services().ExeHandleWorkPathErrorMsgW(FromWString(AErrorMsg), FromWString(AAdviceMsg));
    });
}
TPlvBool PLV_CALL CbRequestAddPathToBatch(TPlvWStr APath) {
    return Guard("ExeRequestAddPathToBatch",
                 [&] { Services().ExeRequestAddPathToBatch(FromWString(APath)); });
}

TPlvBool PLV_CALL CbTextBoxError(TPlvAStr ATextBoxID, TPlvWStr AErrorMsg, TPlvWStr AAdviceMsg) {
    return Guard("TextBoxErrorReporter", [&] {
        if (GTextBoxHandler != nullptr && *GTextBoxHandler)
            (*GTextBoxHandler)(FromAString(ATextBoxID), FromWString(AErrorMsg),
                               FromWString(AAdviceMsg));
    });
}
TPlvBool PLV_CALL CbGridError(int32_t AFieldInRowIndex, TPlvWStr AErrorMsg, TPlvWStr AAdviceMsg) {
    return Guard("GridErrorReporter", [&] {
        if (GGridHandler != nullptr && *GGridHandler)
            (*GGridHandler)(AFieldInRowIndex, FromWString(AErrorMsg), FromWString(AAdviceMsg));
    });
}
TPlvBool PLV_CALL CbFileError(int32_t ACharPos, TPlvWStr AErrorMsg, TPlvWStr AAdviceMsg) {
    return Guard("FileErrorReporter", [&] {
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

TExternalCallScope::TExternalCallScope() : FOuterPending(std::exchange(GPendingError, nullptr)) {
    ++GCallDepth;
}

TExternalCallScope::~TExternalCallScope() {
    --GCallDepth;
    GPendingError = std::exchange(FOuterPending, nullptr);
}

void TExternalCallScope::RaisePending() {
    if (GPendingError)
        std::rethrow_exception(std::exchange(GPendingError, nullptr));
}
