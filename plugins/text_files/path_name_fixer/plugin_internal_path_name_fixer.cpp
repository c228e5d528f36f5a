#include "plugins/text_files/path_name_fixer/plugin_internal_path_name_fixer.h"

#include <QFileInfo>
#include <QLocale>

#include "base/exceptions.h"
#include "base/text_file.h"
#include "platform/file_rename.h"
#include "plugin_host/internal_plugin_info.h"
#include "plugins/text_files/text_helpers/grid_rows.h"
#include "plugins/text_files/text_helpers/text_replace.h"

namespace {

const QString KPropNameAlterations = QStringLiteral("NameAlterations");
const QString KColCaseSensitive = QStringLiteral("CASE_SENSITIVE");
const QString KColIncludeExtension = QStringLiteral("INCLUDE_EXTENSION");
const QString KColAddIncrement = QStringLiteral("ADD_INCREMENT");
const QString KColChangeCase = QStringLiteral("CHANGE_CASE");
const QString KColMatch = QStringLiteral("MATCH");
const QString KColReplace = QStringLiteral("REPLACE");

const QChar KSeparator = u'/';

// Case changes and case-blind comparisons of names follow the user's locale.
QString NameToLower(const QString& AName) {
    return QLocale().toLower(AName);
}

QString NameToUpper(const QString& AName) {
    return QLocale().toUpper(AName);
}

// Whether anything, a dangling link included, has this name.
bool EntryExists(const QString& APath) {
    const QFileInfo info(APath);
    return info.exists() || info.isSymLink();
}

QString WithoutTrailingSeparator(const QString& APath) {
    return APath.endsWith(KSeparator) && APath.size() > 1 ? APath.chopped(1) : APath;
}

// A last path component the rules produced must stay one component inside the same folder.
bool IsValidName(const QString& AName) {
    return !AName.isEmpty() && AName != u"." && AName != u".." && !AName.contains(KSeparator) &&
           !AName.contains(QChar(0));
}

}  // namespace

TPluginInternal_PathNameFixer::TPluginInternal_PathNameFixer()
    : FInfo(MakeInternalPluginInfo(
          QStringLiteral("PathNameFixer"),
          QStringLiteral("Alter directory and file path names in various ways."),
          QStringLiteral("1.04"))) {
    FInfo.PluginCategory = pcFileProcessing;
    FInfo.CanWorkCategory = PLV_CAN_WORK_FILES | PLV_CAN_WORK_DIRECTORIES;
    FInfo.ReleaseState = PLV_RELEASE_STABLE;
}

void TPluginInternal_PathNameFixer::PluginSetupInit(const TExeInfoHost&,
                                                    IExeInitCallbacks& ACallbacks) {
    ACallbacks.ExeMakePropName(
        KPropNameAlterations, QStringLiteral("Rename"), vptGrid, 0, {},
        QStringLiteral("A \"path name\" is either a \"file\" or last \"directory\" name in path. "
                       "\r\nWith files, the name matched can optionally \"Include Extension\". "
                       "\r\n\r\n\"Add Increment\" and \"Change Case\" will only happen if "
                       "\"Match\" is empty or if \"Match\" is found in \"path name\"."));
    ACallbacks.ExeSetPropMetasGrid(KPropNameAlterations, pgirlAllRowCellsEmptyWhenTrimmed);
}

void TPluginInternal_PathNameFixer::PluginSetupPreEdit(const TExeInfoHost&,
                                                       IExePreEditCallbacks& ACallbacks) {
    const QString& prop = KPropNameAlterations;
    const QString narrow = QStringLiteral("60+");
    const QString half = QStringLiteral("50%");
    ACallbacks.ExeSetPropGridColumnCount(prop, 6);
    ACallbacks.ExeAddPropGridColumn(prop, KColCaseSensitive, QStringLiteral("Case Sensitive"),
                                    narrow, KColFlagTrueFalse);
    ACallbacks.ExeAddPropGridColumn(prop, KColIncludeExtension, QStringLiteral("Include Extension"),
                                    narrow, KColFlagTrueFalse);
    ACallbacks.ExeAddPropGridColumn(prop, KColAddIncrement, QStringLiteral("Add Increment"), narrow,
                                    KColFlagValueList);
    ACallbacks.ExeAddPropGridColumn(prop, KColChangeCase, QStringLiteral("Change Case"), narrow,
                                    KColFlagValueList);
    ACallbacks.ExeAddPropGridColumn(prop, KColMatch, QStringLiteral("Match"), half, 0);
    ACallbacks.ExeAddPropGridColumn(prop, KColReplace, QStringLiteral("Replace"), half, 0);
    // The value lists: separator, default value, then the choices.
    ACallbacks.ExeSetPropDefaultGridValueCount(prop, 2);
    ACallbacks.ExeAddPropDefaultGridValue(prop, 2, 0, QStringLiteral(",none,none,prepend,append"));
    ACallbacks.ExeAddPropDefaultGridValue(prop, 3, 0, QStringLiteral(",none,none,lower,upper"));
}

void TPluginInternal_PathNameFixer::PluginSetupWorkStart(const TExeInfoHost&, const QString&,
                                                         IExeWorkCallbacks& ACallbacks) {
    FCallbacks = &ACallbacks;
    FRules.clear();
    const std::lock_guard lock(FNumberLock);
    FNextNumber = 1;
}

void TPluginInternal_PathNameFixer::PluginSetPropGridValue(const QString& APropName,
                                                           const QString& AColID,
                                                           std::int32_t ARowIdx,
                                                           const QString& AFieldValue) {
    if (APropName != KPropNameAlterations)
        return;
    TRule& rule = RuleAt(FRules, ARowIdx);
    const QString word = AFieldValue.trimmed().toLower();
    if (AColID == KColCaseSensitive) {
        rule.CaseSensitive = TextToBool(AFieldValue.trimmed());
    } else if (AColID == KColIncludeExtension) {
        rule.IncludeExtension = TextToBool(AFieldValue.trimmed());
    } else if (AColID == KColAddIncrement) {
        rule.Increment = word == u"prepend"  ? TIncrement::Prepend
                         : word == u"append" ? TIncrement::Append
                                             : TIncrement::None;
    } else if (AColID == KColChangeCase) {
        rule.CaseChange = word == u"lower"   ? TCaseChange::Lower
                          : word == u"upper" ? TCaseChange::Upper
                                             : TCaseChange::None;
    } else if (AColID == KColMatch) {
        rule.Match = AFieldValue;
    } else if (AColID == KColReplace) {
        rule.Replace = AFieldValue;
    }
}

void TPluginInternal_PathNameFixer::PluginSetupWorkStartDone() {
    for (TRule& rule : FRules)
        rule.MatchCompare = rule.CaseSensitive ? rule.Match : NameToLower(rule.Match);
}

void TPluginInternal_PathNameFixer::PluginSetupWorkEnd(const TExeInfoHost&) {
    FRules.clear();
    FCallbacks = nullptr;
}

void TPluginInternal_PathNameFixer::Report(const QString& AMessage) const {
    if (FCallbacks != nullptr)
        FCallbacks->ExeHandleWorkPathErrorMsg(AMessage, QString());
}

QString TPluginInternal_PathNameFixer::NumberedName(const TPathParts& AParts, const QString& AName,
                                                    TIncrement AMode) {
    // A file's name is numbered before its last dot; a directory's name as a whole.
    const qsizetype dot = AParts.IsDirectory ? -1 : AName.lastIndexOf(u'.');
    const QString stem = dot < 0 ? AName : AName.left(dot);
    const QString suffix = dot < 0 ? QString() : AName.mid(dot);
    const QString tail = AParts.IsDirectory ? QString() : AParts.Tail;
    const std::lock_guard lock(FNumberLock);
    for (std::int64_t number = FNextNumber;; ++number) {
        const QString digits = QString::number(number);
        const QString candidate =
            AMode == TIncrement::Prepend ? digits + stem + suffix : stem + digits + suffix;
        // Taken by an entry of any kind: the move could not use the name.
        if (!EntryExists(AParts.Parent + candidate + tail)) {
            FNextNumber = number + 1;
            return candidate;
        }
    }
}

QString TPluginInternal_PathNameFixer::RenamedPath(const QString& AOldPath) {
    TPathParts parts;
    parts.IsDirectory = AOldPath.endsWith(KSeparator) && QFileInfo(AOldPath).isDir();
    if (parts.IsDirectory) {
        const QString path = AOldPath.chopped(1);
        const qsizetype slash = path.lastIndexOf(KSeparator);
        if (slash < 0)
            return AOldPath;  // the file system root has no name to change
        parts.Parent = path.left(slash + 1);
        parts.Name = path.mid(slash + 1);
        parts.Tail = KSeparator;
    } else {
        const qsizetype slash = AOldPath.lastIndexOf(KSeparator);
        const QString fileName = AOldPath.mid(slash + 1);
        if (fileName.isEmpty()) {
            Report(QStringLiteral("The directory does not exist."));
            return AOldPath;
        }
        parts.Parent = AOldPath.left(slash + 1);
        const qsizetype dot = fileName.lastIndexOf(u'.');
        parts.Name = dot < 0 ? fileName : fileName.left(dot);
        parts.Tail = dot < 0 ? QString() : fileName.mid(dot);
    }

    QString name = parts.Name;
    QString tail = parts.Tail;
    bool numbered = false;
    for (const TRule& rule : FRules) {
        if (rule.IncludeExtension && !parts.IsDirectory) {
            name += tail;
            tail.clear();
        }
        const bool found = !rule.Match.isEmpty() &&
                           (rule.CaseSensitive ? name.contains(rule.MatchCompare)
                                               : NameToLower(name).contains(rule.MatchCompare));
        const bool applies = rule.Match.isEmpty() || found;
        if (found)
            name = ReplaceAllText(name, rule.MatchCompare, rule.Replace, !rule.CaseSensitive);
        // At most one number per path: the first rule that asks for one gives it.
        if (rule.Increment != TIncrement::None && applies && !numbered) {
            TPathParts current = parts;
            current.Tail = tail;
            name = NumberedName(current, name, rule.Increment);
            numbered = true;
        }
        if (rule.CaseChange == TCaseChange::Lower && applies)
            name = NameToLower(name);
        else if (rule.CaseChange == TCaseChange::Upper && applies)
            name = NameToUpper(name);
    }

    const QString newPath = parts.Parent + name + tail;
    if (newPath == AOldPath)
        return AOldPath;
    const QString newName = parts.IsDirectory ? name : name + tail;
    if (!IsValidName(newName)) {
        Report(QStringLiteral("The new name \"") + newName +
               QStringLiteral("\" is not a valid name; the path was not renamed."));
        return AOldPath;
    }
    if (newPath.size() > PLV_SAFE_PATH_MAX_CHARS) {
        Report(QStringLiteral("The new path would be longer than %1 characters; the path was not "
                              "renamed.")
                   .arg(PLV_SAFE_PATH_MAX_CHARS));
        return AOldPath;
    }
    QString error;
    if (!RenameNoReplace(WithoutTrailingSeparator(AOldPath), WithoutTrailingSeparator(newPath),
                         &error)) {
        Report(QStringLiteral("The path could not be renamed to \"") + newPath +
               QStringLiteral("\": ") + error);
        return AOldPath;
    }
    return newPath;
}

void TPluginInternal_PathNameFixer::PluginWorkPath(const QString& AWorkPathNameIn,
                                                   TWorkPathOutput& AOut) {
    QString result = AWorkPathNameIn;
    try {
        result = RenamedPath(AWorkPathNameIn);
    } catch (const std::exception& e) {
        Report(ExceptionMessage(e));
    }
    if (!AOut.SetOutputPath(result))
        AOut.SetOutputPath(AWorkPathNameIn);
}
