#include "plugins/web_media/list_dir_in_html/plugin_internal_list_dir_in_html.h"

#include <QFileInfo>

#include "base/atomic_file.h"
#include "base/exceptions.h"
#include "base/ini_document.h"
#include "plugin_host/internal_plugin_info.h"

namespace {

const QString KPropOutputFileName = QStringLiteral("OutputFileName");
const QString KPropExclusions = QStringLiteral("FnbDirectoryExclusions");
const QString KPropSimpleSetup = QStringLiteral("SimpleSetup");
const QString KPropAdvancedSetup = QStringLiteral("AdvancedSetup");
const QString KBoxIndexFileName = QStringLiteral("INDEX_FILE_NAME");
const QString KColExcludes = QStringLiteral("EXCLUDES");
const QString KChoiceExtension = QStringLiteral("SHOW_FILE_EXTENSION");
const QString KChoiceSize = QStringLiteral("SHOW_FILE_SIZE");
const QString KChoiceDate = QStringLiteral("SHOW_FILE_DATE");

QString InvalidNameMessage(const QString& AValue) {
    return QStringLiteral("File name: \"") + AValue + QStringLiteral("\" is not valid.");
}

const QString KInvalidNameAdvice = QStringLiteral(
    "File name not be empty (trailing and leading spaces are trimmed away) and can not have "
    "following characters in them: \"/ \\ : * ? \" < > |\".");

}  // namespace

bool IsValidIndexFileName(const QString& AName) {
    if (AName.isEmpty())
        return false;
    for (const QChar c : AName)
        if (QStringLiteral("/\\:*?\"<>|").contains(c))
            return false;
    return true;
}

TPluginInternal_ListDirInHtml::TPluginInternal_ListDirInHtml()
    : FInfo(MakeInternalPluginInfo(
          QStringLiteral("ListDirInHtml"),
          QStringLiteral("Generate listings / galleries over all files and directories found."),
          QStringLiteral("1.05"))) {
    FInfo.HasCompany = QStringLiteral("Kestrin");
    FInfo.PluginCategory = pcMiscellaneous;
    FInfo.CanWorkCategory = PLV_CAN_WORK_DIRECTORIES | PLV_CAN_WORK_ROOT;
    FInfo.ReleaseState = PLV_RELEASE_STABLE;
}

void TPluginInternal_ListDirInHtml::PluginSetupInit(const TExeInfoHost&,
                                                    IExeInitCallbacks& ACallbacks) {
    ACallbacks.ExeMakePropName(KPropOutputFileName, QStringLiteral("Output File Name"),
                               vptTextBoxes, 0, {},
                               QStringLiteral("Name chosen could e.g. be \"index.html\" or "
                                              "\"index.htm\"."));
    ACallbacks.ExeMakePropName(
        KPropExclusions, QStringLiteral("Directory Exclusions"), vptGrid, 0, {},
        QStringLiteral("Directories will be ignored if in them any file is found that matches any "
                       "of the chosen names. Such file names could e.g. be \"index.html\" and "
                       "\"default.php\"."));
    ACallbacks.ExeSetPropMetasGrid(KPropExclusions, pgirlAllRowCellsEmptyWhenTrimmed);
    ACallbacks.ExeMakePropName(KPropSimpleSetup, QStringLiteral("Simple Setup"), vtpChoiceMultiple,
                               0, {}, {});
    ACallbacks.ExeMakePropName(KPropAdvancedSetup, QStringLiteral("Advanced Setup"), vptFile, 0, {},
                               {});
}

void TPluginInternal_ListDirInHtml::PluginSetupPreEdit(const TExeInfoHost&,
                                                       IExePreEditCallbacks& ACallbacks) {
    ACallbacks.ExeSetPropTextBoxValueCount(KPropOutputFileName, 1);
    ACallbacks.ExeSetPropTextBoxValue(KPropOutputFileName, KBoxIndexFileName,
                                      QStringLiteral("Output index file name"),
                                      QStringLiteral("index.htm"));
    ACallbacks.ExeSetPropGridColumnCount(KPropExclusions, 1);
    ACallbacks.ExeAddPropGridColumn(KPropExclusions, KColExcludes,
                                    QStringLiteral("Exclusion File Names"), {}, 0);
    ACallbacks.ExeSetPropDefaultGridValueCount(KPropExclusions, 0);
    ACallbacks.ExeSetPropChoiceValueCount(KPropSimpleSetup, 3);
    ACallbacks.ExeAddPropChoiceValue(KPropSimpleSetup, KChoiceExtension,
                                     QStringLiteral("Show file extensions"), true);
    ACallbacks.ExeAddPropChoiceValue(KPropSimpleSetup, KChoiceSize,
                                     QStringLiteral("Show file sizes"), true);
    ACallbacks.ExeAddPropChoiceValue(KPropSimpleSetup, KChoiceDate,
                                     QStringLiteral("Show file dates"), true);
    ACallbacks.ExeSetPropDefaultFileValue(KPropAdvancedSetup, QStringLiteral("dao.ini"),
                                          KFileFlagIni);
}

void TPluginInternal_ListDirInHtml::PluginSetupWorkStart(const TExeInfoHost&, const QString&,
                                                         IExeWorkCallbacks& ACallbacks) {
    FCallbacks = &ACallbacks;
    FExclusions.clear();
}

void TPluginInternal_ListDirInHtml::PluginSetupWorkEnd(const TExeInfoHost&) {
    FCallbacks = nullptr;
    FExclusions.clear();
}

void TPluginInternal_ListDirInHtml::PluginSetPropTextBoxValue(const QString& APropName,
                                                              const QString& ATextBoxID,
                                                              const QString& APropValue) {
    if (APropName == KPropOutputFileName && ATextBoxID == KBoxIndexFileName)
        FSettings.OutputFileName = APropValue;
}

void TPluginInternal_ListDirInHtml::PluginSetPropChoiceValueCount(const QString& APropName,
                                                                  std::int32_t) {
    if (APropName != KPropSimpleSetup)
        return;
    FSettings.ShowFileExtension = false;
    FSettings.ShowFileSize = false;
    FSettings.ShowFileDate = false;
}

void TPluginInternal_ListDirInHtml::PluginSetPropChoiceValue(const QString& APropName,
                                                             const QString& AChoiceID) {
    if (APropName != KPropSimpleSetup)
        return;
    if (AChoiceID == KChoiceExtension)
        FSettings.ShowFileExtension = true;
    else if (AChoiceID == KChoiceSize)
        FSettings.ShowFileSize = true;
    else if (AChoiceID == KChoiceDate)
        FSettings.ShowFileDate = true;
}

void TPluginInternal_ListDirInHtml::PluginSetPropGridValue(const QString& APropName,
                                                           const QString& AColID, std::int32_t,
                                                           const QString& AFieldValue) {
    if (APropName == KPropExclusions && AColID == KColExcludes)
        FExclusions << AFieldValue;
}

void TPluginInternal_ListDirInHtml::PluginSetPropFileValue(const QString& APropName,
                                                           const QString& AFullFilePathName) {
    if (APropName == KPropAdvancedSetup)
        FSettings.ReadAdvancedSetup(TIniDocument::FromFile(AFullFilePathName));
}

void TPluginInternal_ListDirInHtml::PluginVerifyPropTextBoxValue(
    const QString& APropName, const QString& ATextBoxID, const QString& APropValue,
    const TExeHandleEditPropTextBoxErrorMsg& AExeCallBack) {
    if (APropName != KPropOutputFileName || ATextBoxID != KBoxIndexFileName)
        return;
    if (!IsValidIndexFileName(APropValue.trimmed()) && AExeCallBack)
        AExeCallBack(KBoxIndexFileName, InvalidNameMessage(APropValue), KInvalidNameAdvice);
}

void TPluginInternal_ListDirInHtml::PluginPrepareVerifyGridRow(const QString& APropName) {
    if (APropName == KPropExclusions)
        FVerifyRow.clear();
}

void TPluginInternal_ListDirInHtml::PluginAddVerifyPropGridValue(const QString& APropName,
                                                                 const QString& APropValue) {
    if (APropName == KPropExclusions)
        FVerifyRow << APropValue;
}

void TPluginInternal_ListDirInHtml::PluginEndVerifyGridRow(
    const QString& APropName, const TExeHandleEditPropGridErrorMsg& AExeCallBack) {
    if (APropName != KPropExclusions)
        return;
    const QString cell = FVerifyRow.value(0);
    FVerifyRow.clear();
    if (!IsValidIndexFileName(cell) && AExeCallBack)
        AExeCallBack(0, InvalidNameMessage(cell), KInvalidNameAdvice);
}

void TPluginInternal_ListDirInHtml::Report(const QString& AMessage) const {
    if (FCallbacks != nullptr)
        FCallbacks->ExeHandleWorkPathErrorMsg(AMessage, QString());
}

bool TPluginInternal_ListDirInHtml::IsExcluded(const QString& ADirectory) const {
    for (const QString& name : FExclusions) {
        // A name with a separator (or none at all) cannot name an entry of this directory.
        if (name.isEmpty() || name.contains(u'/') || name == u'.' || name == QStringLiteral(".."))
            continue;
        const QFileInfo entry(ADirectory + name);
        if (entry.exists() || entry.isSymLink())
            return true;
    }
    return false;
}

void TPluginInternal_ListDirInHtml::PluginWorkPath(const QString& AWorkPathNameIn,
                                                   TWorkPathOutput&) {
    try {
        QString directory = AWorkPathNameIn;
        if (!directory.endsWith(u'/'))
            directory += u'/';
        if (IsExcluded(directory))
            return;
        const QString& name = FSettings.OutputFileName;
        // The page is written into the directory itself, never elsewhere.
        if (!IsValidIndexFileName(name) || name == u'.' || name == QStringLiteral("..")) {
            Report(InvalidNameMessage(name) + u' ' + KInvalidNameAdvice);
            return;
        }
        const TIndexPage page = BuildIndexPage(directory, FSettings);
        for (const QString& problem : page.Problems)
            Report(problem);
        const QString pagePath = directory + name;
        QString error;
        if (!WriteFileAtomically(pagePath, page.Text.toUtf8(), &error)) {
            Report(QStringLiteral("The index page \"") + pagePath +
                   QStringLiteral("\" could not be written: ") + error);
            return;
        }
        if (FCallbacks != nullptr)
            FCallbacks->ExeRequestAddPathToBatch(pagePath);
    } catch (const std::exception& e) {
        Report(ExceptionMessage(e));
    }
}
