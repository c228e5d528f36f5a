#pragma once

#include <QString>
#include <QStringList>

#include <cstdint>
#include <vector>

#include "plugin_host/plugin_internal.h"

// Sends the e-mails of the "SendEmailList" grid for every file passed to it, in row order: one
// recipient, a subject, a body and, when the row asks, the file attached. A row either hands
// the message to the mail program directly or opens its compose window filled in.
class TPluginInternal_SendEmail : public TPluginInternal {
public:
    TPluginInternal_SendEmail();

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
        QString Address;
        QString Subject;
        QString Content;
        QString Attach;  // read with TextToBool when used
        QString Dialog;  // read with TextToBool when used
    };

    // Sends one row's message for the path; raises what went wrong.
    void SendRow(const TRow& ARow, const QString& APath) const;
    void Report(const QString& AMessage) const;

    TPluginInfoHost FInfo;
    // Set up on the engine thread at work start, only read while paths are worked on.
    IExeWorkCallbacks* FCallbacks = nullptr;
    std::vector<TRow> FRows;
    QStringList FVerifyRow;
};
