#pragma once

#include <QString>

#include <exception>
#include <mutex>

#include "plugin_host/plugin_contract.h"

class TPluginProperty;
class TPluginStoredLibInfo;
class TqvLogging;
class TPluginHostServices;

// Writes a problem with a plugin to the program log of AServices (null: the application
// module's); nothing when there is no log at all.
void LogPluginProblem(const TPluginHostServices* AServices, const std::exception* AError,
                      const QString& AMessage);

// The host functions plugins call back (the init, pre-edit and work callbacks), the windows in
// which each is accepted, and the host facts handed to the entry points. A descriptor is handed
// these services; it never sees the plugin list. The init and pre-edit windows and the host
// facts are used from the user-interface thread; the work callbacks from any thread while a
// batch runs.
class TPluginHostServices final : public IExeInitCallbacks,
                                  public IExePreEditCallbacks,
                                  public IExeWorkCallbacks {
public:
    // ATempFolder receives the value files of file properties; ALog the plugin problems (null:
    // the application module's program log, when there is one).
    TPluginHostServices(QString ATempFolder, TqvLogging* ALog);
    ~TPluginHostServices() override;
    TPluginHostServices(const TPluginHostServices&) = delete;
    TPluginHostServices& operator=(const TPluginHostServices&) = delete;

    // The services external libraries call back into: their function tables carry no context,
    // so the one live instance is kept process-wide.
    static TPluginHostServices* Current();

    TExeInfoHost& ExeInfo() { return FExeInfo; }
    const QString& TempFolder() const { return FTempFolder; }
    // Writes a problem with a plugin to the program log (see LogPluginProblem).
    void LogProblem(const std::exception* AError, const QString& AMessage) const {
        LogPluginProblem(this, AError, AMessage);
    }

    // Windows in which host functions are accepted.
    void OpenInitWindow(TPluginStoredLibInfo* ADescriptor);
    void CloseInitWindow();
    void OpenPreEditWindow(TPluginStoredLibInfo* ADescriptor);
    void ClosePreEditWindow();
    // A running batch serves the work callbacks; null closes the window.
    void SetBatchWorkCallbacks(IExeWorkCallbacks* ASink);
    bool BatchRunning() const;

    // IExeInitCallbacks
    void ExeMakePropName(const QString& APropName, const QString& AShownName,
                         TVisualPropType AVisualPropType, std::uint32_t AReadyServices,
                         const QString& AHint, const QString& AHelp) override;
    void ExeSetPropMetasGrid(const QString& APropName, std::int32_t AIgnoreRowsLevel) override;
    // IExePreEditCallbacks
    void ExeSetPropChoiceValueCount(const QString& APropName, std::int32_t ACount) override;
    void ExeAddPropChoiceValue(const QString& APropName, const QString& AChoiceID,
                               const QString& ACaption, bool AChecked) override;
    void ExeSetPropTextBoxValueCount(const QString& APropName, std::int32_t ACount) override;
    void ExeSetPropTextBoxValue(const QString& APropName, const QString& ATextBoxID,
                                const QString& ACaption, const QString& ADefaultValue) override;
    void ExeSetPropGridColumnCount(const QString& APropName, std::int32_t ACount) override;
    void ExeAddPropGridColumn(const QString& APropName, const QString& AColID,
                              const QString& ACaption, const QString& AColWidth,
                              std::int32_t AColFlags) override;
    void ExeSetPropDefaultGridValueCount(const QString& APropName, std::int32_t ACount) override;
    void ExeAddPropDefaultGridValue(const QString& APropName, std::int32_t AColIdx,
                                    std::int32_t ARowIdx, const QString& AValue) override;
    void ExeSetPropDefaultFileValue(const QString& APropName, const QString& AFileName,
                                    std::int32_t AFileFlags) override;
    // IExeWorkCallbacks
    void ExeHandleWorkPathErrorMsg(const QString& AErrorMsg, const QString& AAdviceMsg) override;
    void ExeHandleWorkPathErrorMsgW(const QString& AErrorMsg, const QString& AAdviceMsg) override;
    void ExeRequestAddPathToBatch(const QString& APath) override;

private:
    friend void LogPluginProblem(const TPluginHostServices*, const std::exception*, const QString&);
    [[noreturn]] void RaiseUnassigned(const QString& AFunction) const;
    // The property of the current pre-edit plugin, when the window of its kind is open.
    TPluginStoredLibInfo& PreEditTarget(const QString& AFunction, bool AWindowOpen) const;
    TPluginProperty& PreEditProperty(const QString& AFunction, bool AWindowOpen,
                                     const QString& APropName) const;
    IExeWorkCallbacks& WorkSink(const QString& AFunction) const;

    QString FTempFolder;
    TqvLogging* FLog;
    TExeInfoHost FExeInfo;
    TPluginStoredLibInfo* FInitTarget = nullptr;
    TPluginStoredLibInfo* FPreEditTarget = nullptr;
    mutable std::mutex FWorkSinkLock;
    IExeWorkCallbacks* FWorkSink = nullptr;
};
