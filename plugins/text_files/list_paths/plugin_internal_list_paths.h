#pragma once

#include <QString>
#include <QStringList>

#include <atomic>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include "plugin_host/plugin_internal.h"

class TRegexFacility;

// Writes every path passed to it into one output file, each followed by a separator string (and
// a line break when asked). Options make the paths relative to the batch root, trimmed, sorted
// at the end of the combination, or listed only when the file's content matches plain or
// regular-expression search rules. The output file is UTF-8 without a mark; entries are
// appended under the plugin's lock.
class TPluginInternal_ListPaths : public TPluginInternal {
public:
    TPluginInternal_ListPaths();
    ~TPluginInternal_ListPaths() override;

    const TPluginInfoHost* PluginReturnInfo(const TExeInfoHost&) override { return &FInfo; }
    void PluginSetupInit(const TExeInfoHost& AExeInfo, IExeInitCallbacks& ACallbacks) override;
    void PluginSetupPreEdit(const TExeInfoHost& AExeInfo,
                            IExePreEditCallbacks& ACallbacks) override;
    void PluginSetupWorkStart(const TExeInfoHost&, const QString& ARootBatchPath,
                              IExeWorkCallbacks& ACallbacks) override;
    void PluginSetupWorkStartDone() override;
    void PluginSetupWorkEnd(const TExeInfoHost&) override;
    void PluginWorkPath(const QString& AWorkPathNameIn, TWorkPathOutput& AOut) override;
    void PluginSetPropChoiceValueCount(const QString& APropName, std::int32_t ACount) override;
    void PluginSetPropChoiceValue(const QString& APropName, const QString& AChoiceID) override;
    void PluginVerifyPropTextBoxValue(
        const QString& APropName, const QString& ATextBoxID, const QString& APropValue,
        const TExeHandleEditPropTextBoxErrorMsg& AExeCallBack) override;
    void PluginSetPropTextBoxValue(const QString& APropName, const QString& ATextBoxID,
                                   const QString& APropValue) override;
    void PluginPrepareVerifyGridRow(const QString& APropName) override;
    void PluginAddVerifyPropGridValue(const QString& APropName, const QString& APropValue) override;
    void PluginEndVerifyGridRow(const QString& APropName,
                                const TExeHandleEditPropGridErrorMsg& AExeCallBack) override;
    void PluginSetPropGridValue(const QString& APropName, const QString& AColID,
                                std::int32_t ARowIdx, const QString& AFieldValue) override;
    void PluginSetPropFileValue(const QString& APropName,
                                const QString& AFullFilePathName) override;

private:
    struct TOptions {
        bool ClearOutputFileContent = false;
        bool WritePathsRelative = false;
        bool WritePathsSorted = false;
        bool WritePathsTrimmed = false;
        bool WritePathsNewline = false;
        bool WritePathsDoContentSearch = false;
    };
    struct TSimpleRule {
        bool CaseSensitive = false;
        QString Match;
        QString MatchLower;  // for the case-blind search
    };
    struct TRegexRule {
        QString Modifiers;
        QString Match;
        // Compiled once per combination; otherwise the message a search that reaches this rule
        // reports.
        std::shared_ptr<const TRegexFacility> Regex;
        QString CompileError;
    };

    // The default output file: the plugin's folder and "default.txt".
    QString DefaultOutputFilePath() const;
    // What ends every entry: the separator, and CR LF with the newline option.
    QString EntryEnding() const;
    // Whether the file's content matches a rule; nothing when a rule raised (reported).
    std::optional<bool> ContentMatches(const QString& APath) const;
    // Prepares the output file at the start of a combination; an error text when it cannot be
    // used.
    QString PrepareOutputFile() const;
    // Removes the last entry's ending and sorts, at the end of a combination; why that failed,
    // or empty.
    QString FinishOutputFile() const;
    void Report(const QString& AMessage) const;
    void ClearWorkState();

    TPluginInfoHost FInfo;
    QString FPluginFolder;
    // Set up on the engine thread at work start, only read while paths are worked on.
    IExeWorkCallbacks* FCallbacks = nullptr;
    QString FRootBatchPath;
    TOptions FOptions;
    QString FOutputFilePath;
    QString FSeparator = QStringLiteral(",");
    std::vector<TSimpleRule> FSimpleRules;
    std::vector<TRegexRule> FRegexRules;
    bool FEnableSimpleMatch = false;
    // Why the output file cannot take entries in this combination (empty when it can).
    QString FOutputFault;
    // Cleared by the first path that holds the separator: the entries could not be told apart.
    std::atomic<bool> FSortingPossible = true;
    // Guards the appends to the output file.
    std::mutex FOutputLock;
    QStringList FVerifyRow;
};
