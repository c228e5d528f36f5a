#include "plugins/text_files/list_paths/plugin_internal_list_paths.h"

#include <QCollator>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QLocale>

#include <algorithm>
#include <utility>

#include "base/atomic_file.h"
#include "base/exceptions.h"
#include "base/ini_document.h"
#include "base/text_file.h"
#include "plugin_host/internal_plugin_info.h"
#include "plugins/text_files/text_helpers/grid_rows.h"
#include "plugins/text_files/text_helpers/regex_facility.h"
#include "plugins/text_files/text_helpers/text_replace.h"

namespace {

const QString KPropSelectOptions = QStringLiteral("SelectOptions");
const QString KPropEditOptions = QStringLiteral("EditOptions");
const QString KPropContentSearchSimple = QStringLiteral("ContentSearchSimple");
const QString KPropContentSearchRegex = QStringLiteral("ContentSearchRegex");
const QString KPropContentSearchOptions = QStringLiteral("ContentSearchOptions");

const QString KChoiceClear = QStringLiteral("CLEAR_OUTPUT_FILE_CONTENT");
const QString KChoiceRelative = QStringLiteral("WRITE_PATHS_RELATIVE");
const QString KChoiceSorted = QStringLiteral("WRITE_PATHS_SORTED");
const QString KChoiceTrimmed = QStringLiteral("WRITE_PATHS_TRIMED");
const QString KChoiceNewline = QStringLiteral("WRITE_PATHS_NEWLINE");
const QString KChoiceContentSearch = QStringLiteral("WRITE_PATHS_DOCONTENTSEARCH");

const QString KBoxOutputFilePath = QStringLiteral("OUTPUT_FILE_PATH");
const QString KBoxSeparator = QStringLiteral("SEP_STR");

const QString KColCaseSensitive = QStringLiteral("CASE_SENSITIVE");
const QString KColModifiers = QStringLiteral("MODIFIERS");
const QString KColMatch = QStringLiteral("MATCH");

const QString KDefaultFileName = QStringLiteral("default.txt");
const QString KNewline = QStringLiteral("\r\n");

bool IsBlankOrControl(QChar AChar) {
    return AChar.unicode() <= 0x20 || AChar.isSpace() || AChar.category() == QChar::Other_Control;
}

QString TrimBlanksAndControls(const QString& AText) {
    qsizetype begin = 0;
    qsizetype end = AText.size();
    while (begin < end && IsBlankOrControl(AText.at(begin)))
        ++begin;
    while (end > begin && IsBlankOrControl(AText.at(end - 1)))
        --end;
    return AText.mid(begin, end - begin);
}

QString TrimTrailingBlanksAndControls(const QString& AText) {
    qsizetype end = AText.size();
    while (end > 0 && IsBlankOrControl(AText.at(end - 1)))
        --end;
    return AText.left(end);
}

QString TrimLineBreaks(const QString& AText) {
    qsizetype begin = 0;
    qsizetype end = AText.size();
    const auto isBreak = [](QChar AChar) { return AChar == u'\r' || AChar == u'\n'; };
    while (begin < end && isBreak(AText.at(begin)))
        ++begin;
    while (end > begin && isBreak(AText.at(end - 1)))
        --end;
    return AText.mid(begin, end - begin);
}

// Removes the last entry's ending from the end of the file in place, when the file ends with it.
// Returns why that failed, or empty.
QString TruncateEnding(const QString& APath, const QByteArray& AEnding) {
    if (AEnding.isEmpty())
        return {};
    QFile file(APath);
    const auto failed = [&] {
        return QStringLiteral("The last separator could not be removed from the output file \"") +
               APath + QStringLiteral("\": ") + file.errorString();
    };
    if (!file.open(QIODevice::ReadWrite))
        return failed();
    const qint64 size = file.size();
    if (size < AEnding.size())
        return {};
    if (!file.seek(size - AEnding.size()))
        return failed();
    const QByteArray last = file.read(AEnding.size());
    if (last.size() != AEnding.size())
        return failed();
    if (last == AEnding && !file.resize(size - AEnding.size()))
        return failed();
    return {};
}

// Entries equal when case is ignored are kept once, the one nearest the end; entries holding a
// separator (directories and paths below sub-folders) come first; each group is sorted without
// regard to case under the user's locale.
QStringList SortEntries(const QStringList& AEntries) {
    QHash<QString, qsizetype> lastIndex;
    for (qsizetype i = 0; i < AEntries.size(); ++i)
        lastIndex.insert(AEntries.at(i).toCaseFolded(), i);
    QStringList withFolder;
    QStringList withoutFolder;
    for (qsizetype i = 0; i < AEntries.size(); ++i) {
        const QString& entry = AEntries.at(i);
        if (lastIndex.value(entry.toCaseFolded()) != i)
            continue;
        (entry.contains(u'/') ? withFolder : withoutFolder) << entry;
    }
    QCollator collator;
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    const auto less = [&collator](const QString& A, const QString& B) {
        const int order = collator.compare(A, B);
        if (order != 0)
            return order < 0;
        // The collator may see distinct entries as equal; keep the order stable and complete.
        const QString foldedA = A.toCaseFolded();
        const QString foldedB = B.toCaseFolded();
        return foldedA != foldedB ? foldedA < foldedB : A < B;
    };
    std::sort(withFolder.begin(), withFolder.end(), less);
    std::sort(withoutFolder.begin(), withoutFolder.end(), less);
    return withFolder + withoutFolder;
}

}  // namespace

TPluginInternal_ListPaths::TPluginInternal_ListPaths()
    : FInfo(MakeInternalPluginInfo(
          QStringLiteral("ListPaths"),
          QStringLiteral("All paths passed to plugin will be separated by a string, e.g. \",\", "
                         "and written to a designated file."),
          QStringLiteral("1.0.4"))) {
    FInfo.CanLaunchFilesList = KDefaultFileName;
    FInfo.PluginCategory = pcMiscellaneous;
    FInfo.CanWorkCategory = PLV_CAN_WORK_FILES | PLV_CAN_WORK_DIRECTORIES;
    FInfo.ReleaseState = PLV_RELEASE_STABLE;
}

TPluginInternal_ListPaths::~TPluginInternal_ListPaths() = default;

QString TPluginInternal_ListPaths::DefaultOutputFilePath() const {
    return FPluginFolder + KDefaultFileName;
}

QString TPluginInternal_ListPaths::EntryEnding() const {
    return FOptions.WritePathsNewline ? FSeparator + KNewline : FSeparator;
}

void TPluginInternal_ListPaths::PluginSetupInit(const TExeInfoHost& AExeInfo,
                                                IExeInitCallbacks& ACallbacks) {
    FPluginFolder = AExeInfo.PluginPath;
    ACallbacks.ExeMakePropName(KPropSelectOptions, QStringLiteral("Output Config"),
                               vtpChoiceMultiple, 0, {}, {});
    ACallbacks.ExeMakePropName(KPropEditOptions, QStringLiteral("Output File"), vptTextBoxes,
                               PLV_SERVICE_INSERT_FILE_PATH | PLV_SERVICE_OPEN_TEXT_EDITOR, {}, {});
    ACallbacks.ExeMakePropName(KPropContentSearchSimple, QStringLiteral("Content Search Simple"),
                               vptGrid, PLV_SERVICE_OPEN_TEXT_EDITOR, {}, {});
    ACallbacks.ExeMakePropName(KPropContentSearchRegex, QStringLiteral("Content Search Regex"),
                               vptGrid, PLV_SERVICE_OPEN_TEXT_EDITOR, {}, {});
    ACallbacks.ExeMakePropName(KPropContentSearchOptions, QStringLiteral("Content Search Advanced"),
                               vptFile, 0, {}, {});
}

void TPluginInternal_ListPaths::PluginSetupPreEdit(const TExeInfoHost& AExeInfo,
                                                   IExePreEditCallbacks& ACallbacks) {
    FPluginFolder = AExeInfo.PluginPath;
    const QString& choices = KPropSelectOptions;
    ACallbacks.ExeSetPropChoiceValueCount(choices, 6);
    ACallbacks.ExeAddPropChoiceValue(
        choices, KChoiceClear, QStringLiteral("Clear output file content before adding paths"),
        false);
    ACallbacks.ExeAddPropChoiceValue(
        choices, KChoiceRelative,
        QStringLiteral("Instead of full, write paths relative to work directory"), false);
    ACallbacks.ExeAddPropChoiceValue(
        choices, KChoiceSorted,
        QStringLiteral("Write paths sorted (directories first and then files, both alphabeticly) "
                       "- requires seperator string is not found in paths passed"),
        false);
    ACallbacks.ExeAddPropChoiceValue(
        choices, KChoiceTrimmed,
        QStringLiteral("Write paths trimmed for leading and trailing spaces"), false);
    ACallbacks.ExeAddPropChoiceValue(choices, KChoiceNewline,
                                     QStringLiteral("Add a newline after each path"), false);
    ACallbacks.ExeAddPropChoiceValue(
        choices, KChoiceContentSearch,
        QStringLiteral("Search inside file content and only list if successful"), false);

    ACallbacks.ExeSetPropTextBoxValueCount(KPropEditOptions, 2);
    ACallbacks.ExeSetPropTextBoxValue(KPropEditOptions, KBoxOutputFilePath,
                                      QStringLiteral("Output file path"), DefaultOutputFilePath());
    ACallbacks.ExeSetPropTextBoxValue(KPropEditOptions, KBoxSeparator,
                                      QStringLiteral("Separator string"), QStringLiteral(","));

    const QString width = QStringLiteral("80+");
    ACallbacks.ExeSetPropGridColumnCount(KPropContentSearchSimple, 2);
    ACallbacks.ExeAddPropGridColumn(KPropContentSearchSimple, KColCaseSensitive,
                                    QStringLiteral("Case Sensitive"), width, KColFlagTrueFalse);
    ACallbacks.ExeAddPropGridColumn(KPropContentSearchSimple, KColMatch, QStringLiteral("Match"),
                                    {}, KColFlagMultiLine);
    ACallbacks.ExeSetPropDefaultGridValueCount(KPropContentSearchSimple, 0);

    ACallbacks.ExeSetPropGridColumnCount(KPropContentSearchRegex, 2);
    ACallbacks.ExeAddPropGridColumn(KPropContentSearchRegex, KColModifiers,
                                    QStringLiteral("Modifiers"), width, 0);
    ACallbacks.ExeAddPropGridColumn(KPropContentSearchRegex, KColMatch, QStringLiteral("Match"), {},
                                    KColFlagMultiLine);
    ACallbacks.ExeSetPropDefaultGridValueCount(KPropContentSearchRegex, 0);

    ACallbacks.ExeSetPropDefaultFileValue(KPropContentSearchOptions, QStringLiteral("dao.ini"), 1);
}

void TPluginInternal_ListPaths::ClearWorkState() {
    FCallbacks = nullptr;
    FRootBatchPath.clear();
    FOptions = {};
    FOutputFilePath = DefaultOutputFilePath();
    FSeparator = QStringLiteral(",");
    FSimpleRules.clear();
    FRegexRules.clear();
    FEnableSimpleMatch = false;
    FOutputFault.clear();
    FSortingPossible = true;
}

void TPluginInternal_ListPaths::PluginSetupWorkStart(const TExeInfoHost&,
                                                     const QString& ARootBatchPath,
                                                     IExeWorkCallbacks& ACallbacks) {
    ClearWorkState();
    FCallbacks = &ACallbacks;
    FRootBatchPath = ARootBatchPath;
}

void TPluginInternal_ListPaths::PluginSetPropChoiceValueCount(const QString& APropName,
                                                              std::int32_t) {
    if (APropName == KPropSelectOptions)
        FOptions = {};
}

void TPluginInternal_ListPaths::PluginSetPropChoiceValue(const QString& APropName,
                                                         const QString& AChoiceID) {
    if (APropName != KPropSelectOptions)
        return;
    if (AChoiceID == KChoiceClear)
        FOptions.ClearOutputFileContent = true;
    else if (AChoiceID == KChoiceRelative)
        FOptions.WritePathsRelative = true;
    else if (AChoiceID == KChoiceSorted)
        FOptions.WritePathsSorted = true;
    else if (AChoiceID == KChoiceTrimmed)
        FOptions.WritePathsTrimmed = true;
    else if (AChoiceID == KChoiceNewline)
        FOptions.WritePathsNewline = true;
    else if (AChoiceID == KChoiceContentSearch)
        FOptions.WritePathsDoContentSearch = true;
}

void TPluginInternal_ListPaths::PluginSetPropTextBoxValue(const QString& APropName,
                                                          const QString& ATextBoxID,
                                                          const QString& APropValue) {
    if (APropName != KPropEditOptions)
        return;
    if (ATextBoxID == KBoxOutputFilePath)
        FOutputFilePath = APropValue;
    else if (ATextBoxID == KBoxSeparator)
        FSeparator = APropValue;
}

void TPluginInternal_ListPaths::PluginSetPropGridValue(const QString& APropName,
                                                       const QString& AColID, std::int32_t ARowIdx,
                                                       const QString& AFieldValue) {
    if (APropName == KPropContentSearchSimple) {
        TSimpleRule& rule = RuleAt(FSimpleRules, ARowIdx);
        if (AColID == KColCaseSensitive)
            rule.CaseSensitive = TextToBool(AFieldValue.trimmed());
        else if (AColID == KColMatch)
            rule.Match = AFieldValue;
    } else if (APropName == KPropContentSearchRegex) {
        TRegexRule& rule = RuleAt(FRegexRules, ARowIdx);
        if (AColID == KColModifiers)
            rule.Modifiers = AFieldValue;
        else if (AColID == KColMatch)
            rule.Match = AFieldValue;
    }
}

void TPluginInternal_ListPaths::PluginSetPropFileValue(const QString& APropName,
                                                       const QString& AFullFilePathName) {
    if (APropName != KPropContentSearchOptions)
        return;
    FEnableSimpleMatch = ReadIniBool(TIniDocument::FromFile(AFullFilePathName),
                                     QStringLiteral("EscapeSequenceSupport"),
                                     QStringLiteral("EnableSimpleMatch"), false);
}

void TPluginInternal_ListPaths::PluginSetupWorkStartDone() {
    for (TSimpleRule& rule : FSimpleRules) {
        if (FEnableSimpleMatch)
            rule.Match = ExpandSimpleEscapes(rule.Match);
        rule.MatchLower = QLocale().toLower(rule.Match);
    }
    if (FOptions.WritePathsDoContentSearch) {
        // Compiled once here instead of once per path; a rule that does not compile keeps its
        // message for the searches that reach it.
        for (TRegexRule& rule : FRegexRules) {
            try {
                rule.Regex = std::make_shared<const TRegexFacility>(rule.Match, rule.Modifiers);
            } catch (const std::exception& e) {
                rule.CompileError = ExceptionMessage(e);
            }
        }
    }
    FOutputFault = PrepareOutputFile();
}

QString TPluginInternal_ListPaths::PrepareOutputFile() const {
    const QString& path = FOutputFilePath;
    if (path.isEmpty())
        return QStringLiteral("No output file path is set.");
    const QFileInfo info(path);
    if (FOptions.ClearOutputFileContent) {
        // The output file's own folder is created when missing, not a chain of folders.
        const QString folder = info.absolutePath();
        if (!QDir(folder).exists() && !QDir().mkdir(folder))
            return QStringLiteral("The folder of the output file \"") + path +
                   QStringLiteral("\" does not exist and could not be created.");
        QString error;
        if (!WriteTextFile(path, QString(), TTextEncoding::Utf8, nullptr, &error))
            return QStringLiteral("The output file \"") + path +
                   QStringLiteral("\" could not be emptied: ") + error;
        return {};
    }
    const TTextFileContent content = ReadTextFileDetected(path);
    switch (content.Status) {
        case TTextReadStatus::Missing:
            return {};  // the first entry creates it
        case TTextReadStatus::Unreadable:
            return QStringLiteral("The output file \"") + path +
                   QStringLiteral("\" exists but could not be read; nothing is added to it.");
        case TTextReadStatus::Ok:
            break;
    }
    if (const QString loss = LossOnWriteBack(content); !loss.isEmpty())
        return QStringLiteral("Nothing is added to the output file \"") + path +
               QStringLiteral("\" so that nothing of it is lost: ") + loss + u'.';
    const QString ending = content.Text.isEmpty() ? QString() : EntryEnding();
    if (content.Encoding == TTextEncoding::Utf8) {
        if (!ending.isEmpty() && !AppendFileBytes(path, ending.toUtf8()))
            return QStringLiteral("The output file \"") + path +
                   QStringLiteral("\" could not be written.");
        return {};
    }
    // Present content in another encoding is converted once; later entries are appended.
    QString error;
    if (!WriteFileAtomically(path, (content.Text + ending).toUtf8(), &error))
        return QStringLiteral("The output file \"") + path +
               QStringLiteral("\" could not be converted to UTF-8: ") + error;
    return {};
}

void TPluginInternal_ListPaths::Report(const QString& AMessage) const {
    if (FCallbacks != nullptr)
        FCallbacks->ExeHandleWorkPathErrorMsg(AMessage, QString());
}

std::optional<bool> TPluginInternal_ListPaths::ContentMatches(const QString& APath) const {
    const TTextFileContent content = ReadTextFileDetected(APath);
    if (content.Status == TTextReadStatus::Unreadable && !QFileInfo(APath).isDir()) {
        Report(
            QStringLiteral("The file could not be read for the content search; the path was "
                           "not listed."));
        return std::nullopt;
    }
    // A directory or a missing file is searched as empty text.
    const QString text = content.Status == TTextReadStatus::Ok ? content.Text : QString();
    QString lowerText;
    bool lowered = false;
    for (const TSimpleRule& rule : FSimpleRules) {
        if (rule.Match.isEmpty())
            continue;
        if (rule.CaseSensitive) {
            if (text.contains(rule.Match))
                return true;
            continue;
        }
        if (!lowered) {
            lowerText = QLocale().toLower(text);
            lowered = true;
        }
        if (lowerText.contains(rule.MatchLower))
            return true;
    }
    for (const TRegexRule& rule : FRegexRules) {
        if (!rule.Regex) {
            Report(rule.CompileError);
            return std::nullopt;
        }
        if (rule.Regex->Matches(text))
            return true;
    }
    return false;
}

void TPluginInternal_ListPaths::PluginWorkPath(const QString& AWorkPathNameIn, TWorkPathOutput&) {
    try {
        if (!FOutputFault.isEmpty()) {
            Report(FOutputFault);
            return;
        }
        if (FOptions.WritePathsDoContentSearch) {
            const std::optional<bool> found = ContentMatches(AWorkPathNameIn);
            if (!found || !*found)
                return;
        }
        QString entry = AWorkPathNameIn;
        if (FOptions.WritePathsRelative)
            entry.remove(0, FRootBatchPath.size());
        if (FOptions.WritePathsTrimmed)
            entry = TrimBlanksAndControls(entry);
        if (FOptions.WritePathsSorted && !FSeparator.isEmpty() && entry.contains(FSeparator)) {
            FSortingPossible = false;
            Report(QStringLiteral("The path contained the separator string: \"") + FSeparator +
                   QStringLiteral("\". This means sorting can not be done"));
        }
        const QByteArray bytes = (entry + EntryEnding()).toUtf8();
        bool appended = false;
        {
            const std::lock_guard lock(FOutputLock);
            appended = AppendFileBytes(FOutputFilePath, bytes);
        }
        if (!appended)
            Report(QStringLiteral("The path could not be added to the output file \"") +
                   FOutputFilePath + QStringLiteral("\"."));
    } catch (const std::exception& e) {
        Report(ExceptionMessage(e));
    }
}

QString TPluginInternal_ListPaths::FinishOutputFile() const {
    const QString ending = EntryEnding();
    if (!FOptions.WritePathsSorted || !FSortingPossible)
        return TruncateEnding(FOutputFilePath, ending.toUtf8());
    const TTextFileContent content = ReadTextFileDetected(FOutputFilePath);
    const QString loss = content.Status == TTextReadStatus::Ok
                             ? LossOnWriteBack(content)
                             : QStringLiteral("it could not be read back");
    if (!loss.isEmpty())
        return QStringLiteral("The output file \"") + FOutputFilePath +
               QStringLiteral("\" was not sorted and keeps its last separator: ") + loss + u'.';
    QString text = content.Text;
    if (!ending.isEmpty() && text.endsWith(ending))
        text.chop(ending.size());
    QStringList entries =
        FSeparator.isEmpty() ? QStringList{text} : text.split(FSeparator, Qt::KeepEmptyParts);
    if (FOptions.WritePathsNewline)
        for (QString& entry : entries)
            entry = TrimLineBreaks(entry);
    const QString sorted = TrimTrailingBlanksAndControls(SortEntries(entries).join(ending));
    QString error;
    if ((sorted != content.Text || content.Encoding != TTextEncoding::Utf8) &&
        !WriteFileAtomically(FOutputFilePath, sorted.toUtf8(), &error))
        return QStringLiteral("The sorted paths could not be written to the output file \"") +
               FOutputFilePath + QStringLiteral("\"; it keeps them as they were added: ") + error;
    return {};
}

void TPluginInternal_ListPaths::PluginSetupWorkEnd(const TExeInfoHost&) {
    QString failure;
    try {
        if (FOutputFault.isEmpty())
            failure = FinishOutputFile();
    } catch (...) {
        ClearWorkState();
        throw;
    }
    ClearWorkState();
    // No path is being worked on any more, so the per-path report cannot carry this; the batch
    // records it as the error it ended with.
    if (!failure.isEmpty())
        throw EqvOperationNotPossible(failure);
}

void TPluginInternal_ListPaths::PluginVerifyPropTextBoxValue(
    const QString& APropName, const QString& ATextBoxID, const QString& APropValue,
    const TExeHandleEditPropTextBoxErrorMsg& AExeCallBack) {
    if (APropName != KPropEditOptions || ATextBoxID != KBoxOutputFilePath)
        return;
    // The default file may not exist yet: the first batch creates it.
    if (QFileInfo(APropValue).isFile() || APropValue == DefaultOutputFilePath())
        return;
    if (AExeCallBack)
        AExeCallBack(
            KBoxOutputFilePath,
            QStringLiteral("File path: \"") + APropValue + QStringLiteral("\" does not exist."),
            QString());
}

void TPluginInternal_ListPaths::PluginPrepareVerifyGridRow(const QString& APropName) {
    if (APropName == KPropContentSearchSimple)
        FVerifyRow.clear();
}

void TPluginInternal_ListPaths::PluginAddVerifyPropGridValue(const QString& APropName,
                                                             const QString& APropValue) {
    if (APropName == KPropContentSearchSimple)
        FVerifyRow << APropValue;
}

void TPluginInternal_ListPaths::PluginEndVerifyGridRow(const QString& APropName,
                                                       const TExeHandleEditPropGridErrorMsg&) {
    // Every row of the simple search is acceptable; the row is only collected.
    if (APropName == KPropContentSearchSimple)
        FVerifyRow.clear();
}
