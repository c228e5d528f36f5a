#include "project/combination_list.h"

#include <QMimeDatabase>
#include <QMimeType>

#include <algorithm>

#include "app/user_prompts.h"
#include "base/exceptions.h"
#include "batch/path_filter.h"
#include "plugin_host/plugin_descriptor.h"
#include "plugin_host/plugin_host.h"
#include "project/project_texts.h"
#include "translation/translated_text.h"

namespace {

// Image list entries of the built-in patterns: directories, all files, untyped files.
const QString KIconFolder = QStringLiteral("folder");
const QString KIconAllFiles = QStringLiteral("text-x-generic");
const QString KIconUnknown = QStringLiteral("unknown");

bool LessIgnoringCase(const QString& A, const QString& B) {
    return QString::compare(A, B, Qt::CaseInsensitive) < 0;
}

bool IsDirectoryPattern(const QString& APatType) {
    return APatType.startsWith(QLatin1Char('/')) || APatType == QStringLiteral(":");
}

// What the platform's type name is asked for: the pattern without its first character (a
// directory pattern whole); the built-in ":", "/" and "*." count as empty.
QString TypeNameSubject(const QString& APatType) {
    QString rest = APatType;
    if (rest == QStringLiteral(":") || rest == QStringLiteral("/") || rest == QStringLiteral("*."))
        rest.clear();
    if (!rest.startsWith(QLatin1Char('/')))
        rest.remove(0, 1);
    return rest;
}

// The MIME type the platform knows for a file of that name; invalid when it knows none.
QMimeType KnownMimeType(const QString& ASubject) {
    if (ASubject.isEmpty() || ASubject.contains(QLatin1Char('*')))
        return {};
    // The MIME database does not match a bare extension such as ".htm" to "*.htm".
    const QString fileName =
        ASubject.startsWith(QLatin1Char('.')) ? QStringLiteral("file") + ASubject : ASubject;
    const QMimeType type = QMimeDatabase().mimeTypeForFile(fileName, QMimeDatabase::MatchExtension);
    if (!type.isValid() || type.isDefault())
        return {};
    return type;
}

QString PatternIconName(const QString& APatType) {
    if (IsDirectoryPattern(APatType))
        return KIconFolder;
    const QMimeType type = KnownMimeType(TypeNameSubject(APatType));
    if (!type.isValid())
        return KIconUnknown;
    return type.iconName();
}

}  // namespace

QString DescribePattern(const QString& APatType) {
    const QMimeType type = KnownMimeType(TypeNameSubject(APatType));
    if (type.isValid() && !type.comment().isEmpty())
        return type.comment();
    const TqvlgDynVars vars = {{QStringLiteral("dynPattern"), APatType.toUpper()}};
    if (APatType.startsWith(QLatin1Char('/')))
        return TranslatedMessage(KTextPatternDirectoryKind, vars);
    return TranslatedMessage(KTextPatternFileKind, vars);
}

TTypedPattern NormaliseTypedPattern(const QString& ATyped) {
    TTypedPattern result;
    QString text = ATyped.trimmed();
    if (text.startsWith(QLatin1Char('.')))
        text.prepend(QLatin1Char('*'));
    text.remove(QLatin1Char('['));
    text.remove(QLatin1Char(']'));
    text.remove(QLatin1Char('?'));
    text.replace(QLatin1Char('\\'), QLatin1Char('/'));
    if (text.startsWith(QLatin1Char('/'))) {
        text.remove(QLatin1Char('/'));
        text.prepend(QLatin1Char('/'));
        result.CanWorkCategory = PLV_CAN_WORK_DIRECTORIES;
    } else {
        text.remove(QLatin1Char('/'));
        result.CanWorkCategory = PLV_CAN_WORK_FILES;
    }
    result.Text = text;
    return result;
}

std::uint32_t StoredPatternKind(const QString& AFilter) {
    const QString matched = FilterTextAsMatched(AFilter);
    if (matched == QStringLiteral(":"))
        return PLV_CAN_WORK_ROOT;
    return matched.startsWith(QLatin1Char('/')) ? PLV_CAN_WORK_DIRECTORIES : PLV_CAN_WORK_FILES;
}

bool PluginAcceptsPatternKind(std::uint32_t APluginCanWorkCategory, std::uint32_t APatternKind) {
    return (APatternKind & ~APluginCanWorkCategory) == 0;
}

QString PluginFilterIncompatibleText() {
    return TranslatedMessage(KTextPlugingMarkedFileKindComp);
}

TPropertyStreams EmptyPropertyStreams(const TPluginStoredLibInfo& APlugin) {
    TPropertyStreams streams;
    streams.reserve(APlugin.FProperties.size());
    for (const auto& property : APlugin.FProperties)
        streams.emplace_back(property->FPropName, QByteArray());
    return streams;
}

// ---- TPatternRegistry ----

TPatternRegistry::TPatternRegistry() {
    // The built-in images are fixed: directories 0, all files 1, untyped files 2.
    FImageIconNames << KIconFolder << KIconAllFiles << KIconUnknown;
    Add(QStringLiteral(":"), patApp, PLV_CAN_WORK_ROOT,
        TranslatedMessage(KTextPatternRootDirectory), 0);
    Add(QStringLiteral("/"), patApp, PLV_CAN_WORK_DIRECTORIES,
        TranslatedMessage(KTextPatternAllDirectories), 0);
    Add(QStringLiteral("*.*"), patApp, PLV_CAN_WORK_FILES, TranslatedMessage(KTextPatternAllFiles),
        1);
    Add(QStringLiteral("*."), patApp, PLV_CAN_WORK_FILES,
        TranslatedMessage(KTextPatternUntypedFile), 2);
}

int TPatternRegistry::ImageIndexOf(const QString& AIconName) {
    const qsizetype index = FImageIconNames.indexOf(AIconName);
    if (index >= 0)
        return static_cast<int>(index);
    FImageIconNames << AIconName;
    return static_cast<int>(FImageIconNames.size() - 1);
}

const TPatternMeta& TPatternRegistry::Register(const QString& APatType, TPatAddType APatAddType,
                                               std::uint32_t ACanWorkCategory,
                                               const QString& ADescription) {
    return Add(APatType, APatAddType, ACanWorkCategory, ADescription, -1);
}

const TPatternMeta& TPatternRegistry::Add(const QString& APatType, TPatAddType APatAddType,
                                          std::uint32_t ACanWorkCategory,
                                          const QString& ADescription, int AImageIndex) {
    const auto position =
        std::lower_bound(FSorted.begin(), FSorted.end(), APatType,
                         [](const std::unique_ptr<TPatternMeta>& AEntry, const QString& AText) {
                             return LessIgnoringCase(AEntry->PatType, AText);
                         });
    if (position != FSorted.end() &&
        QString::compare((*position)->PatType, APatType, Qt::CaseInsensitive) == 0)
        return **position;

    auto meta = std::make_unique<TPatternMeta>();
    meta->PatType = APatType;
    meta->PatAddType = APatAddType;
    meta->CanWorkCategory = ACanWorkCategory;
    meta->PatDescription = ADescription.isEmpty() ? DescribePattern(APatType) : ADescription;
    meta->ImageIndex = AImageIndex >= 0 ? AImageIndex : ImageIndexOf(PatternIconName(APatType));
    const TPatternMeta* added = meta.get();
    FSorted.insert(position, std::move(meta));
    FRegistrationOrder.push_back(added);
    return *added;
}

const TPatternMeta* TPatternRegistry::Find(const QString& APatType) const {
    for (const auto& entry : FSorted)
        if (QString::compare(entry->PatType, APatType, Qt::CaseInsensitive) == 0)
            return entry.get();
    return nullptr;
}

void TPatternRegistry::RegisterPluginSuggestions(const TPluginHost& AHost) {
    QStringList extensions;
    for (const auto& plugin : AHost.PluginList()) {
        for (const QString& part : plugin->FPluginInfoHost.SuggestedExts.split(QLatin1Char(','))) {
            const QString extension = part.trimmed();
            if (!extension.isEmpty())
                extensions << extension;
        }
    }
    std::stable_sort(extensions.begin(), extensions.end(), LessIgnoringCase);
    const auto last =
        std::unique(extensions.begin(), extensions.end(), [](const QString& A, const QString& B) {
            return QString::compare(A, B, Qt::CaseInsensitive) == 0;
        });
    extensions.erase(last, extensions.end());
    for (const QString& extension : extensions)
        Register(QLatin1Char('*') + extension, patPlugin, PLV_CAN_WORK_FILES);
}

std::vector<const TPatternMeta*> TPatternRegistry::Entries() const {
    std::vector<const TPatternMeta*> entries;
    entries.reserve(FSorted.size());
    for (const auto& entry : FSorted)
        entries.push_back(entry.get());
    return entries;
}

std::vector<const TPatternMeta*> TPatternRegistry::ChooserPatterns() const {
    std::vector<const TPatternMeta*> builtIn;
    for (const TPatternMeta* entry : FRegistrationOrder)
        if (entry->PatAddType == patApp)
            builtIn.push_back(entry);
    std::stable_sort(
        builtIn.begin(), builtIn.end(),
        [](const TPatternMeta* A, const TPatternMeta* B) { return A->ImageIndex < B->ImageIndex; });
    std::vector<const TPatternMeta*> offered = builtIn;
    for (const auto& entry : FSorted)
        if (entry->PatAddType == patPlugin)
            offered.push_back(entry.get());
    return offered;
}

// ---- TCombinationList ----

TCombinationList::TCombinationList(TPluginHost& AHost, TUserPrompts* APrompts)
    : FHost(AHost), FPrompts(APrompts) {
    FPatterns.RegisterPluginSuggestions(AHost);
}

void TCombinationList::CheckIndex(int AIndex, const char* AWhat) const {
    if (AIndex < 0 || AIndex >= Count())
        throw EqvParamOutOfValidRangeError(QStringLiteral("%1: entry %2 is not in the list of %3")
                                               .arg(QString::fromLatin1(AWhat))
                                               .arg(AIndex)
                                               .arg(Count()));
}

const TCombinationEntry& TCombinationList::At(int AIndex) const {
    CheckIndex(AIndex, "TCombinationList::At");
    return FEntries[static_cast<std::size_t>(AIndex)];
}

const TPatternMeta* TCombinationList::ResolvePattern(const QString& APatternText, bool ATyped) {
    const QString text = APatternText.trimmed();
    if (text.isEmpty())
        return nullptr;
    if (!ATyped) {
        if (const TPatternMeta* picked = FPatterns.Find(text))
            return picked;
    }
    const TTypedPattern typed = NormaliseTypedPattern(text);
    if (typed.Text.isEmpty())
        return nullptr;
    return &FPatterns.Register(typed.Text, patUser, typed.CanWorkCategory);
}

TCombinationList::TAddOutcome TCombinationList::AddAt(int AIndex, const QString& APatternText,
                                                      bool ATyped, TPluginStoredLibInfo* APlugin) {
    const TPatternMeta* pattern = ResolvePattern(APatternText, ATyped);
    if (pattern == nullptr)
        return {TAddResult::NoPattern, -1};
    if (APlugin == nullptr)
        return {TAddResult::NoPlugin, -1};
    if (!PluginAcceptsPatternKind(APlugin->FPluginInfoHost.CanWorkCategory,
                                  pattern->CanWorkCategory)) {
        if (FPrompts != nullptr)
            FPrompts->ShowMessage(TPromptKind::Error, PluginFilterIncompatibleText());
        return {TAddResult::Incompatible, -1};
    }
    TCombinationEntry entry{pattern, APlugin, EmptyPropertyStreams(*APlugin)};
    FEntries.insert(FEntries.begin() + AIndex, std::move(entry));
    FChanged = true;
    return {TAddResult::Added, AIndex};
}

TCombinationList::TAddOutcome TCombinationList::AddItem(const QString& APatternText, bool ATyped,
                                                        TPluginStoredLibInfo* APlugin) {
    return AddAt(Count(), APatternText, ATyped, APlugin);
}

TCombinationList::TAddOutcome TCombinationList::InsertItem(int ABeforeIndex,
                                                           const QString& APatternText, bool ATyped,
                                                           TPluginStoredLibInfo* APlugin) {
    if (ABeforeIndex != Count())
        CheckIndex(ABeforeIndex, "TCombinationList::InsertItem");
    return AddAt(ABeforeIndex, APatternText, ATyped, APlugin);
}

int TCombinationList::DeleteItem(int AIndex) {
    CheckIndex(AIndex, "TCombinationList::DeleteItem");
    FEntries.erase(FEntries.begin() + AIndex);
    FChanged = true;
    if (FEntries.empty())
        return -1;
    return std::min(AIndex, Count() - 1);
}

int TCombinationList::SwapItemUp(int AIndex) {
    CheckIndex(AIndex, "TCombinationList::SwapItemUp");
    if (AIndex == 0)
        return AIndex;
    std::swap(FEntries[static_cast<std::size_t>(AIndex)],
              FEntries[static_cast<std::size_t>(AIndex - 1)]);
    FChanged = true;
    return AIndex - 1;
}

int TCombinationList::SwapItemDown(int AIndex) {
    CheckIndex(AIndex, "TCombinationList::SwapItemDown");
    if (AIndex == Count() - 1)
        return AIndex;
    std::swap(FEntries[static_cast<std::size_t>(AIndex)],
              FEntries[static_cast<std::size_t>(AIndex + 1)]);
    FChanged = true;
    return AIndex + 1;
}

QByteArray TCombinationList::ValueStream(int AIndex, const QString& APropName) const {
    for (const auto& [name, stream] : At(AIndex).Values)
        if (name == APropName)
            return stream;
    return {};
}

void TCombinationList::SetValueStream(int AIndex, const QString& APropName,
                                      const QByteArray& AStream, bool AMarkChanged) {
    CheckIndex(AIndex, "TCombinationList::SetValueStream");
    TCombinationEntry& entry = FEntries[static_cast<std::size_t>(AIndex)];
    entry.Plugin->GetPropertyByName(APropName);  // raises when the plugin lacks it
    for (auto& [name, stream] : entry.Values) {
        if (name == APropName) {
            if (stream != AStream) {
                stream = AStream;
                FChanged = FChanged || AMarkChanged;
            }
            return;
        }
    }
    entry.Values.emplace_back(APropName, AStream);
    FChanged = FChanged || AMarkChanged;
}

void TCombinationList::ReplaceEntries(std::vector<TCombinationEntry> AEntries) {
    if (OnEntriesReplacing)
        OnEntriesReplacing();
    FEntries = std::move(AEntries);
    FChanged = false;
}

QString TCombinationList::ModuleColumnText(int AIndex) const {
    return FixPluginPN(At(AIndex).Plugin->FPluginPathName, true, true, false,
                       FHost.Setup().ModulesFolder);
}

std::vector<TBatchCombination> TCombinationList::BatchCombinations() const {
    std::vector<TBatchCombination> combinations;
    combinations.reserve(FEntries.size());
    for (const TCombinationEntry& entry : FEntries)
        combinations.push_back({entry.Pattern->PatType, {entry.Plugin, entry.Values}});
    return combinations;
}
