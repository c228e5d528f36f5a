/* The binary interface between Plovane and external plugin libraries.
 *
 * A plugin library exports the entry points below under exactly these names (no export is
 * mandatory by itself: the host looks one up only when it calls it). The host hands it tables of
 * host functions. All records are packed, use native pointer size, one-byte booleans and one-byte
 * enumerations. W-strings are zero-terminated UTF-16 (char16_t), A-strings zero-terminated 8-bit
 * strings in the host's ANSI code page; a null pointer stands for the empty string. Strings and
 * records passed to a call are valid only during that call: copy what you keep.
 *
 * Usable from C11 and C++. */
#ifndef PLOVANE_PLUGIN_H
#define PLOVANE_PLUGIN_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
#include <cstdint>
#define PLV_STATIC_ASSERT static_assert
typedef char16_t TPlvWChar;
#else
#include <uchar.h>
#define PLV_STATIC_ASSERT _Static_assert
typedef char16_t TPlvWChar;
#endif

/* The interface version this header describes. */
#define PLOVANE_PLUGIN_INTERFACE_VERSION "1.0.4"
#define PLOVANE_PLUGIN_INTERFACE_VERSION_NUMBER 10004

/* Calling convention: empty here, stdcall on 32-bit Windows. */
#if defined(_WIN32) && !defined(_WIN64)
#define PLV_CALL __stdcall
#else
#define PLV_CALL
#endif

/* Marks an entry point: exported under its plain name (C linkage also when the plugin is
 * written in C++). */
#if defined(_WIN32)
#define PLV_EXPORT_VISIBILITY __declspec(dllexport)
#else
#define PLV_EXPORT_VISIBILITY __attribute__((visibility("default")))
#endif
#ifdef __cplusplus
#define PLV_EXPORT extern "C" PLV_EXPORT_VISIBILITY
#else
#define PLV_EXPORT PLV_EXPORT_VISIBILITY
#endif

#ifdef __cplusplus
extern "C" {
#endif

typedef const TPlvWChar* TPlvWStr; /* W-string */
typedef const char* TPlvAStr;      /* A-string */
typedef uint8_t TPlvBool;          /* 0 = false, anything else = true */

/* Enumerations: one byte each, ordinal values from 0. */
typedef uint8_t TPluginCategory;
enum {
    pcMiscellaneous = 0,
    pcFileProcessing = 1,
    pcOfficeRelated = 2,
    pcMediaHandling = 3,
    pcWebDevelopment = 4
};

typedef uint8_t TPluginLoadingScheme;
enum { plsCanDynamicAsNeeded = 0, plsPreferKeepInMemory = 1, plsRequireKeepInMemory = 2 };

typedef uint8_t TVisualPropType;
enum {
    vptErrorOccured = 0,
    vtpChoiceSingle = 1,
    vtpChoiceMultiple = 2,
    vptTextBoxes = 3,
    vptGrid = 4,
    vptFile = 5,
    vptCustom = 6
};

typedef uint8_t TPropGridIgnoreRowsLevel;
enum {
    pgirlNever = 0,
    pgirlAllRowCellsEmpty = 1,
    pgirlAllRowCellsEmptyWhenTrimmed = 2,
    pgirlRowHasEmptyCells = 3,
    pgirlRowHasEmptyCellsWhenTrimmed = 4
};

/* CanWorkCategory bits: kinds of path a plugin accepts. */
#define PLV_CAN_WORK_FILES 1u
#define PLV_CAN_WORK_DIRECTORIES 2u
#define PLV_CAN_WORK_ROOT 4u

/* ReleaseState bits. */
#define PLV_RELEASE_BUGGY 1u
#define PLV_RELEASE_USABLE 2u
#define PLV_RELEASE_STABLE 4u
#define PLV_RELEASE_ALPHA 8u
#define PLV_RELEASE_BETA 16u
#define PLV_RELEASE_NOT_PROD_USE_PARTS 32u
#define PLV_RELEASE_NOT_PROD_USE_ALL 64u

/* ReadyServices bits of a property. */
#define PLV_SERVICE_INSERT_FILE_PATH 1u
#define PLV_SERVICE_OPEN_TEXT_EDITOR 2u

/* ColFlags bits of a grid column (ExeAddPropGridColumn); combine them with "|". */
#define PLV_COL_FLAG_ALIGN_LEFT 1          /* values left-aligned */
#define PLV_COL_FLAG_ALIGN_RIGHT 2         /* values right-aligned */
#define PLV_COL_FLAG_ALIGN_CENTER 3        /* both bits: values centred */
#define PLV_COL_FLAG_READ_ONLY 16          /* the user cannot change the cells */
#define PLV_COL_FLAG_PASSWORD 32           /* values shown as "*" (stored as plain text) */
#define PLV_COL_FLAG_MULTI_LINE 64         /* line breaks in values are kept (else removed) */
#define PLV_COL_FLAG_VALUE_LIST 512        /* the first default row's cell defines a list */
#define PLV_COL_FLAG_TRUE_FALSE_LIST 4096  /* the list "True,False" */
#define PLV_COL_FLAG_FILTER_PATTERNS 8192  /* the list of the filter patterns on offer */
#define PLV_COL_FLAG_FOLDER_BUTTON 65536   /* a button choosing a folder (replaces the text) */
#define PLV_COL_FLAG_FILE_BUTTON 131072    /* a button choosing a file (appended to the text) */
#define PLV_COL_FLAG_FOLDER_OR_FILE 196608 /* both bits: folder chooser showing files too */

/* FileFlags bits of a file property (ExeSetPropDefaultFileValue). */
#define PLV_FILE_FLAG_INI 1    /* an INI document: stored text is merged into the default */
#define PLV_FILE_FLAG_MARKUP 2 /* the editor highlights markup tags */

/* The size of the output path buffer, in bytes, and the longest path it holds. */
#define PLV_SAFE_PATH_BYTES 4096
#define PLV_SAFE_PATH_MAX_CHARS 2047

#pragma pack(push, 1)

/* Returned by PluginReturnInfo; the plugin keeps it valid until that call returns. */
typedef struct TPluginInfo {
    TPlvWStr StrID;
    TPlvWStr Author;
    TPlvWStr CopyRight;
    TPlvWStr PluginName;
    TPlvWStr PluginDesc;
    TPlvWStr HasCompany;
    TPlvWStr HasEmail;
    TPlvWStr HasUrl;
    TPlvWStr CanLaunchFilesSep;
    TPlvWStr CanLaunchFilesList;
    TPlvBool CanMultiThreadWork;
    TPluginLoadingScheme PluginLoadingScheme;
    TPlvWStr HasLogo;
    TPlvWStr SuggestedExts;
    TPlvWStr PluginVersion;
    TPlvWStr InterfaceVersion;
    TPluginCategory PluginCategory;
    uint32_t CanWorkCategory;
    uint32_t ReleaseState;
} TPluginInfo;

typedef TPlvWChar TSafePathLengthArr[PLV_SAFE_PATH_BYTES / 2];
typedef TSafePathLengthArr* PSafePathLengthPtr;

typedef struct TPluginPassedReadInProps {
    TPlvWStr WorkPathNameIn;
} TPluginPassedReadInProps;

typedef struct TPluginPassedWriteOutProps {
    PSafePathLengthPtr WorkPathNameOut;
    TPlvBool AdvisePathBatchStop;
    TPlvBool AdviseProjectBatchStop;
    TPlvBool AdviseMainBatchStop;
} TPluginPassedWriteOutProps;

typedef TPluginPassedReadInProps* PPluginPassedReadInProps;
typedef TPluginPassedWriteOutProps* PPluginPassedWriteOutProps;

typedef struct TExeInfo {
    TPlvWStr ExeVersion;
    TPlvWStr InterfaceVersion;
    TPlvWStr ExeCode;
    TPlvWStr LanguageCulture;
    TPlvWStr PluginPathName;
    TPlvWStr PluginPath;
} TExeInfo;

typedef struct TWorkStartInfo {
    TPlvWStr RootBatchPath;
} TWorkStartInfo;

#pragma pack(pop)

/* Host functions (the reporters below and the tables after them) return 1 when they did their
 * work and 0 when they failed; they never unwind through the plugin. The error of a failed call
 * made during an entry point on the thread running it is raised by the host once the entry
 * point returns, so that step fails as if the entry point had. A call from a thread the plugin
 * started itself has no step to fail: its error goes to the program log. */

/* Validation problem reporters handed to the verify entry points. */
typedef TPlvBool(PLV_CALL* TProcExeHandleEditPropTextBoxErrorMsg)(TPlvAStr TextBoxID,
                                                                  TPlvWStr ErrorMsg,
                                                                  TPlvWStr AdviceMsg);
typedef TPlvBool(PLV_CALL* TProcExeHandleEditPropGridErrorMsg)(int32_t FieldInRowIndex,
                                                               TPlvWStr ErrorMsg,
                                                               TPlvWStr AdviceMsg);
typedef TPlvBool(PLV_CALL* TProcExeHandleEditPropFileErrorMsg)(int32_t CharPos, TPlvWStr ErrorMsg,
                                                               TPlvWStr AdviceMsg);

/* Host function tables: arrays of function addresses in this order. */
#pragma pack(push, 1)
typedef struct TExeInitCallbacks {
    TPlvBool(PLV_CALL* ExeMakePropName)(TPlvAStr PropName, TPlvWStr ShownName,
                                        TVisualPropType VisualPropType, uint32_t ReadyServices,
                                        TPlvWStr Hint, TPlvWStr Help);
    TPlvBool(PLV_CALL* ExeSetPropMetasGrid)(TPlvAStr PropName, int32_t IgnoreRowsLevel);
} TExeInitCallbacks;

typedef struct TExePreEditCallbacks {
    TPlvBool(PLV_CALL* ExeSetPropChoiceValueCount)(TPlvAStr PropName, int32_t Count);
    TPlvBool(PLV_CALL* ExeAddPropChoiceValue)(TPlvAStr PropName, TPlvAStr ChoiceID,
                                              TPlvWStr Caption, uint8_t Checked);
    TPlvBool(PLV_CALL* ExeSetPropTextBoxValueCount)(TPlvAStr PropName, int32_t Count);
    TPlvBool(PLV_CALL* ExeSetPropTextBoxValue)(TPlvAStr PropName, TPlvAStr TextBoxID,
                                               TPlvWStr Caption, TPlvWStr DefaultValue);
    TPlvBool(PLV_CALL* ExeSetPropGridColumnCount)(TPlvAStr PropName, int32_t Count);
    TPlvBool(PLV_CALL* ExeAddPropGridColumn)(TPlvAStr PropName, TPlvAStr ColID, TPlvWStr Caption,
                                             TPlvAStr ColWidth, int32_t ColFlags);
    TPlvBool(PLV_CALL* ExeSetPropDefaultGridValueCount)(TPlvAStr PropName, int32_t Count);
    TPlvBool(PLV_CALL* ExeAddPropDefaultGridValue)(TPlvAStr PropName, int32_t ColIdx,
                                                   int32_t RowIdx, TPlvWStr Value);
    TPlvBool(PLV_CALL* ExeSetPropDefaultFileValue)(TPlvAStr PropName, TPlvWStr FileName,
                                                   int32_t FileFlags);
} TExePreEditCallbacks;

typedef struct TExeWorkCallbacks {
    TPlvBool(PLV_CALL* ExeHandleWorkPathErrorMsg)(TPlvAStr ErrorMsg, TPlvAStr AdviceMsg);
    TPlvBool(PLV_CALL* ExeHandleWorkPathErrorMsgW)(TPlvWStr ErrorMsg, TPlvWStr AdviceMsg);
    TPlvBool(PLV_CALL* ExeRequestAddPathToBatch)(TPlvWStr Path);
} TExeWorkCallbacks;
#pragma pack(pop)

/* Entry points, in slot order. */
typedef TPluginInfo*(PLV_CALL* TPluginReturnInfo)(TExeInfo* ExeInfo);
typedef void(PLV_CALL* TPluginSetupInit)(TExeInfo* ExeInfo, TExeInitCallbacks* Callbacks);
typedef void(PLV_CALL* TPluginSetupPreEdit)(TExeInfo* ExeInfo, TExePreEditCallbacks* Callbacks);
typedef void(PLV_CALL* TPluginSetupEdit)(TExeInfo* ExeInfo, TExeWorkCallbacks* Callbacks);
typedef void(PLV_CALL* TPluginSetupWorkStart)(TExeInfo* ExeInfo, TWorkStartInfo* WorkStartInfo,
                                              TExeWorkCallbacks* Callbacks);
typedef void(PLV_CALL* TPluginSetupWorkStartDone)(void);
typedef void(PLV_CALL* TPluginSetupWorkEnd)(TExeInfo* ExeInfo);
typedef void(PLV_CALL* TPluginWorkPath)(PPluginPassedReadInProps PluginPassedReadInProps,
                                        PPluginPassedWriteOutProps PluginPassedWriteOutProps);
typedef void(PLV_CALL* TPluginSetPropChoiceValueCount)(TPlvAStr PropName, int32_t PropValueCount);
typedef void(PLV_CALL* TPluginSetPropChoiceValue)(TPlvAStr PropName, TPlvAStr ChoiceID);
typedef void(PLV_CALL* TPluginVerifyPropTextBoxValue)(
    TPlvAStr PropName, TPlvAStr TextBoxID, TPlvWStr PropValue,
    TProcExeHandleEditPropTextBoxErrorMsg ExeCallBack);
typedef void(PLV_CALL* TPluginSetPropTextBoxValue)(TPlvAStr PropName, TPlvAStr TextBoxID,
                                                   TPlvWStr PropValue);
typedef void(PLV_CALL* TPluginPrepareVerifyGridRow)(TPlvAStr PropName);
typedef void(PLV_CALL* TPluginAddVerifyPropGridValue)(TPlvAStr PropName, TPlvWStr PropValue);
typedef void(PLV_CALL* TPluginEndVerifyGridRow)(TPlvAStr PropName,
                                                TProcExeHandleEditPropGridErrorMsg ExeCallBack);
typedef void(PLV_CALL* TPluginSetPropGridValueCount)(TPlvAStr PropName, int32_t ValueCount);
typedef void(PLV_CALL* TPluginSetPropGridValue)(TPlvAStr PropName, TPlvWStr ColID, int32_t RowIdx,
                                                TPlvWStr FieldValue);
typedef void(PLV_CALL* TPluginVerifyPropFileValue)(TPlvAStr PropName, TPlvWStr FullFilePathName,
                                                   TProcExeHandleEditPropFileErrorMsg ExeCallBack);
typedef void(PLV_CALL* TPluginSetPropFileValue)(TPlvAStr PropName, TPlvWStr FullFilePathName);

/* The format of the error raised when a function is called outside its window or is missing. */
#define PLV_UNASSIGNED_HANDLER_FORMAT \
    "%s tryed to call function \"%s\" on %s which handler is unassigned"

/* Record sizes with native pointers. */
PLV_STATIC_ASSERT(sizeof(TPluginInfo) == 14 * sizeof(void*) + 2 + 1 + 4 + 4, "TPluginInfo size");
PLV_STATIC_ASSERT(sizeof(TSafePathLengthArr) == PLV_SAFE_PATH_BYTES, "TSafePathLengthArr size");
PLV_STATIC_ASSERT(sizeof(TPluginPassedReadInProps) == sizeof(void*),
                  "TPluginPassedReadInProps size");
PLV_STATIC_ASSERT(sizeof(TPluginPassedWriteOutProps) == sizeof(void*) + 3,
                  "TPluginPassedWriteOutProps size");
PLV_STATIC_ASSERT(sizeof(TExeInfo) == 6 * sizeof(void*), "TExeInfo size");
PLV_STATIC_ASSERT(sizeof(TWorkStartInfo) == sizeof(void*), "TWorkStartInfo size");
PLV_STATIC_ASSERT(sizeof(TExeInitCallbacks) == 2 * sizeof(void*), "TExeInitCallbacks size");
PLV_STATIC_ASSERT(sizeof(TExePreEditCallbacks) == 9 * sizeof(void*), "TExePreEditCallbacks size");
PLV_STATIC_ASSERT(sizeof(TExeWorkCallbacks) == 3 * sizeof(void*), "TExeWorkCallbacks size");
PLV_STATIC_ASSERT(offsetof(TPluginInfo, CanMultiThreadWork) == 10 * sizeof(void*),
                  "CanMultiThreadWork offset");
PLV_STATIC_ASSERT(offsetof(TPluginInfo, PluginCategory) == 14 * sizeof(void*) + 2,
                  "PluginCategory offset");
PLV_STATIC_ASSERT(offsetof(TPluginInfo, ReleaseState) == 14 * sizeof(void*) + 2 + 1 + 4,
                  "ReleaseState offset");

#ifdef __cplusplus
}
#endif

#endif /* PLOVANE_PLUGIN_H */
