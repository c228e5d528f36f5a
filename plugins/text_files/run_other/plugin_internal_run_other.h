#pragma once

#include <QString>
#include <QStringList>

#include <cstdint>
#include <vector>

#include "plugin_host/plugin_internal.h"

// Starts other programs for every path passed to it: each row of the "RunOtherList" grid names
// a program (or a document), its parameters, where "?FP?" stands for the path, and whether the
// batch goes on at once or waits until the program has ended. Rows run in row order.
class TPluginInternal_RunOther : public TPluginInternal {
public:
    TPluginInternal_RunOther();

    const TPluginInfoHost* PluginReturnInfo(const TExeInfoHost&) override { return &FInfo; }
    void PluginSetupInit(const TExeInfoHost&, IExeInitCallbacks& ACallbacks) override;
    void PluginSetupPreEdit(const TExeInfoHost&, IExePreEditCallbacks& ACallbacks) override;
    void PluginSetupWorkStart(const TExeInfoHost&, const QString& ARootBatchPath,
                              IExeWorkCallbacks& ACallbacks) override;
    void PluginSetupWorkEnd(const TExeInfoHost&) override;
    void PluginWorkPath(const QString& AWorkPathNameIn, TWorkPathOutput& AOut) override;
    void PluginPrepareVerifyGridRow(const QString& APropName) override;
    void PluginAddVerifyPropGridValue(const QString& APropName, const QString& APropValue) override;
    void PluginEndVerifyGridRow(const QString& APropName,
                                const TExeHandleEditPropGridErrorMsg& AExeCallBack) override;
    void PluginSetPropGridValue(const QString& APropName, const QString& AColID,
                                std::int32_t ARowIdx, const QString& AFieldValue) override;

private:
    struct TRow {
        QString ProgramPath;  // as typed
        QString Parameters;   // as typed, "?FP?" not yet replaced
        bool ContinueImmediately = false;
    };

    void Report(const QString& AMessage) const;

    TPluginInfoHost FInfo;
    // Set up on the engine thread at work start, only read while paths are worked on.
    IExeWorkCallbacks* FCallbacks = nullptr;
    std::vector<TRow> FRows;
    QStringList FVerifyRow;
};
