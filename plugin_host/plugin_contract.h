#pragma once

// The host's C++ view of the plugin contract: the records with owned strings, and the host
// function tables as interfaces. Internal plugins use these directly; external plugins get the
// C records and tables of plovane_plugin.h, which the external descriptor translates.

#include <QString>

#include <cstdint>
#include <functional>

#include "plugin_host/plovane_plugin.h"

// Bits of a grid column's ColFlags and of a file property's FileFlags, as plugins declare them
// and the host reads them: the interface header's constants, for the C++ side.
constexpr std::int32_t KColFlagAlignLeft = PLV_COL_FLAG_ALIGN_LEFT;
constexpr std::int32_t KColFlagAlignRight = PLV_COL_FLAG_ALIGN_RIGHT;
constexpr std::int32_t KColFlagAlignCenter = PLV_COL_FLAG_ALIGN_CENTER;
constexpr std::int32_t KColFlagReadOnly = PLV_COL_FLAG_READ_ONLY;
constexpr std::int32_t KColFlagPassword = PLV_COL_FLAG_PASSWORD;
constexpr std::int32_t KColFlagMultiLine = PLV_COL_FLAG_MULTI_LINE;
constexpr std::int32_t KColFlagValueList = PLV_COL_FLAG_VALUE_LIST;
constexpr std::int32_t KColFlagTrueFalse = PLV_COL_FLAG_TRUE_FALSE_LIST;
constexpr std::int32_t KColFlagFilterPatterns = PLV_COL_FLAG_FILTER_PATTERNS;
constexpr std::int32_t KColFlagFolderButton = PLV_COL_FLAG_FOLDER_BUTTON;
constexpr std::int32_t KColFlagFileButton = PLV_COL_FLAG_FILE_BUTTON;
constexpr std::int32_t KColFlagFolderOrFile = PLV_COL_FLAG_FOLDER_OR_FILE;
constexpr std::int32_t KFileFlagIni = PLV_FILE_FLAG_INI;
constexpr std::int32_t KFileFlagMarkup = PLV_FILE_FLAG_MARKUP;

// The host's copy of a plugin's TPluginInfo (CanMultiThreadWork is not kept).
struct TPluginInfoHost {
    QString StrID;
    QString Author;
    QString CopyRight;
    QString PluginName;
    QString PluginDesc;
    QString HasCompany;
    QString HasEmail;
    QString HasUrl;
    QString CanLaunchFilesSep;
    QString CanLaunchFilesList;
    TPluginLoadingScheme PluginLoadingScheme = plsCanDynamicAsNeeded;
    QString HasLogo;
    QString SuggestedExts;
    QString PluginVersion;
    QString InterfaceVersion;
    TPluginCategory PluginCategory = pcMiscellaneous;
    std::uint32_t CanWorkCategory = 0;
    std::uint32_t ReleaseState = 0;

    static TPluginInfoHost FromRecord(const TPluginInfo& AInfo);
};

// Facts about the host handed to most entry points.
struct TExeInfoHost {
    QString ExeVersion = QStringLiteral(PLOVANE_VERSION_STRING);
    QString InterfaceVersion = QStringLiteral(PLOVANE_PLUGIN_INTERFACE_VERSION);
    QString ExeCode = QStringLiteral("P");
    QString LanguageCulture = QStringLiteral("en-us");
    QString PluginPathName;
    QString PluginPath;
};

// Host functions a plugin may call during its init step.
class IExeInitCallbacks {
public:
    virtual ~IExeInitCallbacks() = default;
    virtual void ExeMakePropName(const QString& APropName, const QString& AShownName,
                                 TVisualPropType AVisualPropType, std::uint32_t AReadyServices,
                                 const QString& AHint, const QString& AHelp) = 0;
    virtual void ExeSetPropMetasGrid(const QString& APropName, std::int32_t AIgnoreRowsLevel) = 0;
};

// Host functions a plugin may call during its pre-edit step.
class IExePreEditCallbacks {
public:
    virtual ~IExePreEditCallbacks() = default;
    virtual void ExeSetPropChoiceValueCount(const QString& APropName, std::int32_t ACount) = 0;
    virtual void ExeAddPropChoiceValue(const QString& APropName, const QString& AChoiceID,
                                       const QString& ACaption, bool AChecked) = 0;
    virtual void ExeSetPropTextBoxValueCount(const QString& APropName, std::int32_t ACount) = 0;
    virtual void ExeSetPropTextBoxValue(const QString& APropName, const QString& ATextBoxID,
                                        const QString& ACaption, const QString& ADefaultValue) = 0;
    virtual void ExeSetPropGridColumnCount(const QString& APropName, std::int32_t ACount) = 0;
    virtual void ExeAddPropGridColumn(const QString& APropName, const QString& AColID,
                                      const QString& ACaption, const QString& AColWidth,
                                      std::int32_t AColFlags) = 0;
    virtual void ExeSetPropDefaultGridValueCount(const QString& APropName, std::int32_t ACount) = 0;
    virtual void ExeAddPropDefaultGridValue(const QString& APropName, std::int32_t AColIdx,
                                            std::int32_t ARowIdx, const QString& AValue) = 0;
    virtual void ExeSetPropDefaultFileValue(const QString& APropName, const QString& AFileName,
                                            std::int32_t AFileFlags) = 0;
};

// Host functions a plugin may call while a batch runs.
class IExeWorkCallbacks {
public:
    virtual ~IExeWorkCallbacks() = default;
    virtual void ExeHandleWorkPathErrorMsg(const QString& AErrorMsg, const QString& AAdviceMsg) = 0;
    virtual void ExeHandleWorkPathErrorMsgW(const QString& AErrorMsg,
                                            const QString& AAdviceMsg) = 0;
    virtual void ExeRequestAddPathToBatch(const QString& APath) = 0;
};

// Validation problem reporters (the ExeCallBack arguments of the verify entry points).
using TExeHandleEditPropTextBoxErrorMsg = std::function<void(
    const QString& ATextBoxID, const QString& AErrorMsg, const QString& AAdviceMsg)>;
using TExeHandleEditPropGridErrorMsg = std::function<void(
    std::int32_t AFieldInRowIndex, const QString& AErrorMsg, const QString& AAdviceMsg)>;
using TExeHandleEditPropFileErrorMsg =
    std::function<void(std::int32_t ACharPos, const QString& AErrorMsg, const QString& AAdviceMsg)>;

// The per-path output record: the host owns the buffer.
struct TWorkPathOutput {
    TSafePathLengthArr Buffer{};
    TPluginPassedWriteOutProps Props{};

    // Fills the buffer with the input path (zero-filled rest) and clears the advice flags.
    // A path longer than the buffer holds is cut; callers refuse such paths before.
    explicit TWorkPathOutput(const QString& AInputPath);
    TWorkPathOutput(const TWorkPathOutput&) = delete;
    TWorkPathOutput& operator=(const TWorkPathOutput&) = delete;

    // The output path: the buffer up to its first zero character.
    QString OutputPath() const;
    // Writes a new output path (at most 2047 characters; longer is refused with false).
    bool SetOutputPath(const QString& APath);
    // Zero-fills the buffer: the plugin deleted the item.
    void ClearOutputPath();
};

// A W-string view of a string; valid while the string lives unchanged.
inline TPlvWStr WStr(const QString& AText) {
    return reinterpret_cast<TPlvWStr>(AText.utf16());
}

// Reads a W-string / A-string argument (null is the empty string).
QString FromWString(TPlvWStr AText);
QString FromAString(TPlvAStr AText);

// The unassigned-handler error text.
QString UnassignedHandlerText(const QString& AWho, const QString& AFunction, const QString& AOn);
