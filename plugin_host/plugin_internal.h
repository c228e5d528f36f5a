#pragma once

#include <QString>

#include <cstdint>

#include "plugin_host/plugin_contract.h"

// The entry points of the plugin contract as virtual methods, in slot order. The base versions
// do nothing and PluginReturnInfo returns null, so a plugin overrides only what it needs.
// Identifiers and values arrive as native strings.
class TPluginSharedComm {
public:
    virtual ~TPluginSharedComm() = default;

    virtual const TPluginInfoHost* PluginReturnInfo(const TExeInfoHost&) { return nullptr; }
    virtual void PluginSetupInit(const TExeInfoHost&, IExeInitCallbacks&) {}
    virtual void PluginSetupPreEdit(const TExeInfoHost&, IExePreEditCallbacks&) {}
    virtual void PluginSetupEdit(const TExeInfoHost&, IExeWorkCallbacks&) {}
    virtual void PluginSetupWorkStart(const TExeInfoHost&, const QString& /*ARootBatchPath*/,
                                      IExeWorkCallbacks&) {}
    virtual void PluginSetupWorkStartDone() {}
    virtual void PluginSetupWorkEnd(const TExeInfoHost&) {}
    virtual void PluginWorkPath(const QString& /*AWorkPathNameIn*/, TWorkPathOutput& /*AOut*/) {}
    virtual void PluginSetPropChoiceValueCount(const QString& /*APropName*/,
                                               std::int32_t /*ACount*/) {}
    virtual void PluginSetPropChoiceValue(const QString& /*APropName*/,
                                          const QString& /*AChoiceID*/) {}
    virtual void PluginVerifyPropTextBoxValue(const QString& /*APropName*/,
                                              const QString& /*ATextBoxID*/,
                                              const QString& /*APropValue*/,
                                              const TExeHandleEditPropTextBoxErrorMsg&) {}
    virtual void PluginSetPropTextBoxValue(const QString& /*APropName*/,
                                           const QString& /*ATextBoxID*/,
                                           const QString& /*APropValue*/) {}
    virtual void PluginPrepareVerifyGridRow(const QString& /*APropName*/) {}
    virtual void PluginAddVerifyPropGridValue(const QString& /*APropName*/,
                                              const QString& /*APropValue*/) {}
    virtual void PluginEndVerifyGridRow(const QString& /*APropName*/,
                                        const TExeHandleEditPropGridErrorMsg&) {}
    virtual void PluginSetPropGridValueCount(const QString& /*APropName*/,
                                             std::int32_t /*AValueCount*/) {}
    virtual void PluginSetPropGridValue(const QString& /*APropName*/, const QString& /*AColID*/,
                                        std::int32_t /*ARowIdx*/, const QString& /*AFieldValue*/) {}
    virtual void PluginVerifyPropFileValue(const QString& /*APropName*/,
                                           const QString& /*AFullFilePathName*/,
                                           const TExeHandleEditPropFileErrorMsg&) {}
    virtual void PluginSetPropFileValue(const QString& /*APropName*/,
                                        const QString& /*AFullFilePathName*/) {}
};

// The base of every plugin compiled into the program.
class TPluginInternal : public TPluginSharedComm {};
