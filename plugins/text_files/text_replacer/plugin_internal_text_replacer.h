#pragma once

#include <QString>
#include <QStringList>

#include <memory>
#include <optional>
#include <vector>

#include "plugin_host/plugin_internal.h"

struct TTextFileContent;

class TRegexFacility;

// Searches and replaces text inside every file passed to it: first the plain rules of the
// "Simple" grid, then the regular-expression rules of the "Regex" grid, all in row order. A
// file is read once, every rule works on the text in memory, and the file is written once, in
// the encoding it had, and only when its text changed.
class TPluginInternal_TextReplacer : public TPluginInternal {
public:
    TPluginInternal_TextReplacer();
    ~TPluginInternal_TextReplacer() override;

    const TPluginInfoHost* PluginReturnInfo(const TExeInfoHost&) override { return &FInfo; }
    void PluginSetupInit(const TExeInfoHost&, IExeInitCallbacks& ACallbacks) override;
    void PluginSetupPreEdit(const TExeInfoHost&, IExePreEditCallbacks& ACallbacks) override;
    void PluginSetupWorkStart(const TExeInfoHost&, const QString& ARootBatchPath,
                              IExeWorkCallbacks& ACallbacks) override;
    void PluginSetupWorkStartDone() override;
    void PluginSetupWorkEnd(const TExeInfoHost&) override;
    void PluginWorkPath(const QString& AWorkPathNameIn, TWorkPathOutput& AOut) override;
    void PluginPrepareVerifyGridRow(const QString& APropName) override;
    void PluginAddVerifyPropGridValue(const QString& APropName, const QString& APropValue) override;
    void PluginEndVerifyGridRow(const QString& APropName,
                                const TExeHandleEditPropGridErrorMsg& AExeCallBack) override;
    void PluginSetPropGridValue(const QString& APropName, const QString& AColID,
                                std::int32_t ARowIdx, const QString& AFieldValue) override;
    void PluginSetPropFileValue(const QString& APropName,
                                const QString& AFullFilePathName) override;

private:
    struct TSimpleRule {
        bool CaseSensitive = false;
        QString Match;
        QString Replace;
    };
    struct TRegexRule {
        QString Modifiers;
        QString Match;
        QString Replace;
        // Compiled once per combination; when the pattern or the modifiers are wrong, the
        // message every file reports for this rule instead.
        std::shared_ptr<const TRegexFacility> Regex;
        QString CompileError;
    };

    // The rules applied to one file's text, in order. Stops at the first rule that fails and
    // returns its message; AText then holds what the rules before it produced.
    std::optional<QString> ApplyRules(QString& AText) const;
    // Writes the changed text back in the file's encoding; the reason when the file was left as
    // it was.
    static std::optional<QString> WriteBack(const QString& APath, const TTextFileContent& ARead,
                                            const QString& AText);
    void Report(const QString& AMessage) const;
    void ClearWorkState();

    TPluginInfoHost FInfo;
    // Set up on the engine thread at work start, only read while paths are worked on.
    IExeWorkCallbacks* FCallbacks = nullptr;
    std::vector<TSimpleRule> FSimpleRules;
    std::vector<TRegexRule> FRegexRules;
    bool FEnableSimpleMatch = false;
    bool FEnableSimpleReplace = false;
    // The cells of the "Simple" row being verified.
    QStringList FVerifyRow;
};
