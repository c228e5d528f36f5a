#include "plugins/text_files/text_replacer/plugin_internal_text_replacer.h"

#include <utility>

#include "base/exceptions.h"
#include "base/ini_document.h"
#include "base/text_file.h"
#include "plugin_host/internal_plugin_info.h"
#include "plugins/text_files/text_helpers/grid_rows.h"
#include "plugins/text_files/text_helpers/regex_facility.h"
#include "plugins/text_files/text_helpers/text_replace.h"

namespace {

const QString KPropSimple = QStringLiteral("Simple");
const QString KPropRegex = QStringLiteral("Regex");
const QString KPropGeneral = QStringLiteral("General");
const QString KColCaseSensitive = QStringLiteral("CASE_SENSITIVE");
const QString KColModifiers = QStringLiteral("MODIFIERS");
const QString KColMatch = QStringLiteral("MATCH");
const QString KColReplace = QStringLiteral("REPLACE");
const QString KEscapeSection = QStringLiteral("EscapeSequenceSupport");

}  // namespace

TPluginInternal_TextReplacer::TPluginInternal_TextReplacer()
    : FInfo(MakeInternalPluginInfo(QStringLiteral("TextReplacer"),
                                   QStringLiteral("Search and replace text (strings) in files."),
                                   QStringLiteral("1.05"))) {
    FInfo.CanLaunchFilesSep = QStringLiteral(",");
    FInfo.CanLaunchFilesList = QStringLiteral("regex-help.txt");
    FInfo.SuggestedExts = QStringLiteral(".txt");
    FInfo.PluginCategory = pcFileProcessing;
    FInfo.CanWorkCategory = PLV_CAN_WORK_FILES;
    FInfo.ReleaseState = PLV_RELEASE_STABLE;
}

TPluginInternal_TextReplacer::~TPluginInternal_TextReplacer() = default;

void TPluginInternal_TextReplacer::PluginSetupInit(const TExeInfoHost&,
                                                   IExeInitCallbacks& ACallbacks) {
    ACallbacks.ExeMakePropName(KPropSimple, QStringLiteral("Simple"), vptGrid,
                               PLV_SERVICE_OPEN_TEXT_EDITOR, {}, {});
    ACallbacks.ExeSetPropMetasGrid(KPropSimple, pgirlAllRowCellsEmpty);
    ACallbacks.ExeMakePropName(KPropRegex, QStringLiteral("Regex"), vptGrid,
                               PLV_SERVICE_OPEN_TEXT_EDITOR, {}, {});
    ACallbacks.ExeSetPropMetasGrid(KPropRegex, pgirlAllRowCellsEmpty);
    ACallbacks.ExeMakePropName(KPropGeneral, QStringLiteral("Advanced Setup"), vptFile, 0, {}, {});
}

void TPluginInternal_TextReplacer::PluginSetupPreEdit(const TExeInfoHost&,
                                                      IExePreEditCallbacks& ACallbacks) {
    const QString width = QStringLiteral("80+");
    ACallbacks.ExeSetPropGridColumnCount(KPropSimple, 3);
    ACallbacks.ExeAddPropGridColumn(KPropSimple, KColCaseSensitive,
                                    QStringLiteral("Case Sensitive"), width, KColFlagTrueFalse);
    ACallbacks.ExeAddPropGridColumn(KPropSimple, KColMatch, QStringLiteral("Match"), {},
                                    KColFlagMultiLine);
    ACallbacks.ExeAddPropGridColumn(KPropSimple, KColReplace, QStringLiteral("Replace"), {},
                                    KColFlagMultiLine);
    ACallbacks.ExeSetPropDefaultGridValueCount(KPropSimple, 0);

    ACallbacks.ExeSetPropGridColumnCount(KPropRegex, 3);
    ACallbacks.ExeAddPropGridColumn(KPropRegex, KColModifiers, QStringLiteral("Modifiers"), width,
                                    0);
    ACallbacks.ExeAddPropGridColumn(KPropRegex, KColMatch, QStringLiteral("Match"), {},
                                    KColFlagMultiLine);
    ACallbacks.ExeAddPropGridColumn(KPropRegex, KColReplace, QStringLiteral("Replace"), {},
                                    KColFlagMultiLine);
    ACallbacks.ExeSetPropDefaultGridValueCount(KPropRegex, 0);

    ACallbacks.ExeSetPropDefaultFileValue(KPropGeneral, QStringLiteral("dao.ini"), 1);
}

void TPluginInternal_TextReplacer::ClearWorkState() {
    FCallbacks = nullptr;
    FSimpleRules.clear();
    FRegexRules.clear();
    FEnableSimpleMatch = false;
    FEnableSimpleReplace = false;
}

void TPluginInternal_TextReplacer::PluginSetupWorkStart(const TExeInfoHost&, const QString&,
                                                        IExeWorkCallbacks& ACallbacks) {
    ClearWorkState();
    FCallbacks = &ACallbacks;
}

void TPluginInternal_TextReplacer::PluginSetPropGridValue(const QString& APropName,
                                                          const QString& AColID,
                                                          std::int32_t ARowIdx,
                                                          const QString& AFieldValue) {
    if (APropName == KPropSimple) {
        TSimpleRule& rule = RuleAt(FSimpleRules, ARowIdx);
        if (AColID == KColCaseSensitive)
            rule.CaseSensitive = TextToBool(AFieldValue.trimmed());
        else if (AColID == KColMatch)
            rule.Match = AFieldValue;
        else if (AColID == KColReplace)
            rule.Replace = AFieldValue;
    } else if (APropName == KPropRegex) {
        TRegexRule& rule = RuleAt(FRegexRules, ARowIdx);
        if (AColID == KColModifiers)
            rule.Modifiers = AFieldValue;
        else if (AColID == KColMatch)
            rule.Match = AFieldValue;
        else if (AColID == KColReplace)
            rule.Replace = AFieldValue;
    }
}

void TPluginInternal_TextReplacer::PluginSetPropFileValue(const QString& APropName,
                                                          const QString& AFullFilePathName) {
    if (APropName != KPropGeneral)
        return;
    const TIniDocument ini = TIniDocument::FromFile(AFullFilePathName);
    FEnableSimpleMatch =
        ReadIniBool(ini, KEscapeSection, QStringLiteral("EnableSimpleMatch"), false);
    FEnableSimpleReplace =
        ReadIniBool(ini, KEscapeSection, QStringLiteral("EnableSimpleReplace"), false);
}

void TPluginInternal_TextReplacer::PluginSetupWorkStartDone() {
    // Escapes are expanded once per combination, after every value arrived.
    for (TSimpleRule& rule : FSimpleRules) {
        if (FEnableSimpleMatch)
            rule.Match = ExpandSimpleEscapes(rule.Match);
        if (FEnableSimpleReplace)
            rule.Replace = ExpandSimpleEscapes(rule.Replace);
    }
    // Each expression is compiled once here instead of once per file; a rule that does not
    // compile keeps its message, which every file it is applied to reports.
    for (TRegexRule& rule : FRegexRules) {
        try {
            rule.Regex = std::make_shared<const TRegexFacility>(rule.Match, rule.Modifiers);
        } catch (const std::exception& e) {
            rule.CompileError = ExceptionMessage(e);
        }
    }
}

void TPluginInternal_TextReplacer::PluginSetupWorkEnd(const TExeInfoHost&) {
    ClearWorkState();
}

std::optional<QString> TPluginInternal_TextReplacer::ApplyRules(QString& AText) const {
    for (const TSimpleRule& rule : FSimpleRules)
        AText = ReplaceAllText(AText, rule.Match, rule.Replace, !rule.CaseSensitive);
    for (const TRegexRule& rule : FRegexRules) {
        if (!rule.Regex)
            return rule.CompileError;
        try {
            // Each replacement expands its own template: nothing is shared between threads.
            AText = rule.Regex->ReplaceAllWithTemplate(AText, rule.Replace);
        } catch (const std::exception& e) {
            return ExceptionMessage(e);
        }
    }
    return std::nullopt;
}

std::optional<QString> TPluginInternal_TextReplacer::WriteBack(const QString& APath,
                                                               const TTextFileContent& ARead,
                                                               const QString& AText) {
    const QString loss = LossOnWriteBack(ARead);
    if (!loss.isEmpty())
        return QStringLiteral("The file was left unchanged: ") + loss + u'.';
    try {
        QString error;
        if (!WriteTextFileBack(APath, AText, ARead, nullptr, &error))
            return QStringLiteral("The file could not be written; it was left unchanged: ") + error;
    } catch (const std::exception& e) {
        // Text the file's encoding cannot hold: the message names the encoding.
        return ExceptionMessage(e);
    }
    return std::nullopt;
}

void TPluginInternal_TextReplacer::Report(const QString& AMessage) const {
    if (FCallbacks != nullptr)
        FCallbacks->ExeHandleWorkPathErrorMsg(AMessage, QString());
}

void TPluginInternal_TextReplacer::PluginWorkPath(const QString& AWorkPathNameIn,
                                                  TWorkPathOutput&) {
    try {
        if (FSimpleRules.empty() && FRegexRules.empty())
            return;
        const TTextFileContent content = ReadTextFileDetected(AWorkPathNameIn);
        if (content.Status == TTextReadStatus::Missing) {
            Report(QStringLiteral("The file does not exist."));
            return;
        }
        if (content.Status == TTextReadStatus::Unreadable) {
            Report(QStringLiteral("The file could not be read; it was left unchanged."));
            return;
        }
        QString text = content.Text;
        const std::optional<QString> failure = ApplyRules(text);
        if (text != content.Text) {
            if (const std::optional<QString> problem = WriteBack(AWorkPathNameIn, content, text))
                Report(*problem);
        }
        if (failure)
            Report(*failure);
    } catch (const std::exception& e) {
        Report(ExceptionMessage(e));
    }
}

void TPluginInternal_TextReplacer::PluginPrepareVerifyGridRow(const QString& APropName) {
    if (APropName == KPropSimple)
        FVerifyRow.clear();
}

void TPluginInternal_TextReplacer::PluginAddVerifyPropGridValue(const QString& APropName,
                                                                const QString& APropValue) {
    if (APropName == KPropSimple)
        FVerifyRow << APropValue;
}

void TPluginInternal_TextReplacer::PluginEndVerifyGridRow(
    const QString& APropName, const TExeHandleEditPropGridErrorMsg& AExeCallBack) {
    if (APropName != KPropSimple)
        return;
    const QStringList row = std::exchange(FVerifyRow, {});
    // Cells: CASE_SENSITIVE, MATCH, REPLACE.
    if (row.size() >= 3 && row.at(1) == row.at(2) && AExeCallBack)
        AExeCallBack(1, QStringLiteral("Value is wrong."),
                     QStringLiteral(
                         "You can not have same string in both \"Match\" and \"Replace\" fields."));
}
