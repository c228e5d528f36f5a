#include "plugins/text_files/run_other/plugin_internal_run_other.h"

#include <QFileInfo>

#include "base/text_file.h"
#include "platform/child_program.h"
#include "platform/shell_start.h"
#include "plugin_host/internal_plugin_info.h"
#include "plugins/text_files/text_helpers/grid_rows.h"

namespace {

const QString KPropRunOtherList = QStringLiteral("RunOtherList");
const QString KColAppRunPath = QStringLiteral("APP_RUN_PATH");
const QString KColParameters = QStringLiteral("PARAMETERS");
const QString KColNoSync = QStringLiteral("NOSYNC");
const QString KPlaceholderFullPath = QStringLiteral("?FP?");

}  // namespace

TPluginInternal_RunOther::TPluginInternal_RunOther()
    : FInfo(MakeInternalPluginInfo(
          QStringLiteral("RunOther"),
          QStringLiteral("Use this to call third party applications with paths as parameters."),
          QStringLiteral("1.01"))) {
    FInfo.PluginCategory = pcFileProcessing;
    FInfo.CanWorkCategory = PLV_CAN_WORK_FILES | PLV_CAN_WORK_DIRECTORIES | PLV_CAN_WORK_ROOT;
    FInfo.ReleaseState = PLV_RELEASE_STABLE;
}

void TPluginInternal_RunOther::PluginSetupInit(const TExeInfoHost&, IExeInitCallbacks& ACallbacks) {
    ACallbacks.ExeMakePropName(
        KPropRunOtherList, QStringLiteral("Run Other List"), vptGrid, PLV_SERVICE_INSERT_FILE_PATH,
        {},
        QStringLiteral(
            "Notice that spaces in parameters with e.g. Windows \"breaks\" a given \"string\" into "
            "2 parameters. To prevent this, place a double-apostrophe (\") on each side of the "
            "string.\r\n\r\nConcerning parameters, writing \"?FP?\" (not including the \"\") will "
            "be replaced with the full \"long\" path being batched. See above paragraph "
            "concerning problems with spaces in paths.\r\n\r\nTip: If you only want to run this "
            "once, e.g. at end of automation process, just associate it to run with root path."));
    ACallbacks.ExeSetPropMetasGrid(KPropRunOtherList, pgirlAllRowCellsEmptyWhenTrimmed);
}

void TPluginInternal_RunOther::PluginSetupPreEdit(const TExeInfoHost&,
                                                  IExePreEditCallbacks& ACallbacks) {
    ACallbacks.ExeSetPropGridColumnCount(KPropRunOtherList, 3);
    ACallbacks.ExeAddPropGridColumn(KPropRunOtherList, KColAppRunPath,
                                    QStringLiteral("Application to Run Path"), {},
                                    KColFlagFileButton);
    ACallbacks.ExeAddPropGridColumn(KPropRunOtherList, KColParameters, QStringLiteral("Parameters"),
                                    {}, 0);
    ACallbacks.ExeAddPropGridColumn(KPropRunOtherList, KColNoSync,
                                    QStringLiteral("Continue batch immediately"), {},
                                    KColFlagTrueFalse);
    ACallbacks.ExeSetPropDefaultGridValueCount(KPropRunOtherList, 0);
}

void TPluginInternal_RunOther::PluginSetupWorkStart(const TExeInfoHost&, const QString&,
                                                    IExeWorkCallbacks& ACallbacks) {
    FCallbacks = &ACallbacks;
    FRows.clear();
}

void TPluginInternal_RunOther::PluginSetupWorkEnd(const TExeInfoHost&) {
    FRows.clear();
    FCallbacks = nullptr;
}

void TPluginInternal_RunOther::PluginSetPropGridValue(const QString& APropName,
                                                      const QString& AColID, std::int32_t ARowIdx,
                                                      const QString& AFieldValue) {
    if (APropName != KPropRunOtherList)
        return;
    TRow& row = RuleAt(FRows, ARowIdx);
    if (AColID == KColAppRunPath)
        row.ProgramPath = AFieldValue;
    else if (AColID == KColParameters)
        row.Parameters = AFieldValue;
    else if (AColID == KColNoSync)
        row.ContinueImmediately = TextToBool(AFieldValue);
}

void TPluginInternal_RunOther::Report(const QString& AMessage) const {
    if (FCallbacks != nullptr)
        FCallbacks->ExeHandleWorkPathErrorMsg(AMessage, QString());
}

void TPluginInternal_RunOther::PluginWorkPath(const QString& AWorkPathNameIn, TWorkPathOutput&) {
    try {
        for (const TRow& row : FRows) {
            TShellStartRequest request;
            request.Target = row.ProgramPath;
            // Split as typed, then the path put in: a name holding quotes or blanks never
            // becomes more or fewer arguments than the placeholder it stands for.
            request.Arguments =
                SplitShellWords(row.Parameters, KPlaceholderFullPath, AWorkPathNameIn);
            request.WorkFolder = QFileInfo(row.ProgramPath).absolutePath();
            request.Verb = ShellVerbFor(row.ProgramPath);
            request.Wait = !row.ContinueImmediately;
            // A program that cannot be started is reported; the next row still runs.
            const QString failure = ShellStart(request);
            if (!failure.isEmpty())
                Report(failure);
        }
    } catch (const std::exception& e) {
        Report(QString::fromUtf8(e.what()));
    }
}

void TPluginInternal_RunOther::PluginPrepareVerifyGridRow(const QString& APropName) {
    if (APropName == KPropRunOtherList)
        FVerifyRow.clear();
}

void TPluginInternal_RunOther::PluginAddVerifyPropGridValue(const QString& APropName,
                                                            const QString& APropValue) {
    if (APropName == KPropRunOtherList)
        FVerifyRow << APropValue;
}

void TPluginInternal_RunOther::PluginEndVerifyGridRow(
    const QString& APropName, const TExeHandleEditPropGridErrorMsg& AExeCallBack) {
    if (APropName != KPropRunOtherList)
        return;
    const QString program = FVerifyRow.value(0);
    FVerifyRow.clear();
    if (!QFileInfo(program).isFile() && AExeCallBack)
        AExeCallBack(0, QStringLiteral("The application to run does not exist."),
                     QStringLiteral("Choose a correct path for a file (application) to run."));
}
