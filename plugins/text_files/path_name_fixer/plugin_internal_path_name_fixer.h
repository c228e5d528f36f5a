#pragma once

#include <QString>

#include <cstdint>
#include <mutex>
#include <vector>

#include "plugin_host/plugin_internal.h"

// Renames the files and directories passed to it: the rules of the "NameAlterations" grid are
// applied in row order to the path's last name (find and replace, a running number before or
// after the name, lower or upper case), and the path is moved to the new name without ever
// replacing an existing entry. The new path is handed back to the host.
class TPluginInternal_PathNameFixer : public TPluginInternal {
public:
    TPluginInternal_PathNameFixer();

    const TPluginInfoHost* PluginReturnInfo(const TExeInfoHost&) override { return &FInfo; }
    void PluginSetupInit(const TExeInfoHost&, IExeInitCallbacks& ACallbacks) override;
    void PluginSetupPreEdit(const TExeInfoHost&, IExePreEditCallbacks& ACallbacks) override;
    void PluginSetupWorkStart(const TExeInfoHost&, const QString& ARootBatchPath,
                              IExeWorkCallbacks& ACallbacks) override;
    void PluginSetupWorkStartDone() override;
    void PluginSetupWorkEnd(const TExeInfoHost&) override;
    void PluginWorkPath(const QString& AWorkPathNameIn, TWorkPathOutput& AOut) override;
    void PluginSetPropGridValue(const QString& APropName, const QString& AColID,
                                std::int32_t ARowIdx, const QString& AFieldValue) override;

private:
    enum class TIncrement { None, Prepend, Append };
    enum class TCaseChange { None, Lower, Upper };

    struct TRule {
        bool CaseSensitive = false;
        bool IncludeExtension = false;
        TIncrement Increment = TIncrement::None;
        TCaseChange CaseChange = TCaseChange::None;
        QString Match;         // as typed
        QString MatchCompare;  // lower-cased when the rule is not case-sensitive
        QString Replace;
    };

    // A path cut into parent folder (with its separator), the name the rules work on, and the
    // tail: the extension of a file (with its dot), or the separator of a directory.
    struct TPathParts {
        QString Parent;
        QString Name;
        QString Tail;
        bool IsDirectory = false;
    };

    // The path the rules give for AOldPath; reports problems and then returns AOldPath.
    QString RenamedPath(const QString& AOldPath);
    // Puts the next free running number into AName (under the lock).
    QString NumberedName(const TPathParts& AParts, const QString& AName, TIncrement AMode);
    void Report(const QString& AMessage) const;

    TPluginInfoHost FInfo;
    // Set up on the engine thread at work start, only read while paths are worked on.
    IExeWorkCallbacks* FCallbacks = nullptr;
    std::vector<TRule> FRules;
    // The running number and its lock: the choice of a number, with its existence test, is one
    // step, so two threads never take the same number.
    std::mutex FNumberLock;
    std::int64_t FNextNumber = 1;
};
