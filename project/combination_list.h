#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

#include "batch/batch_plugin_props.h"
#include "plugin_host/plovane_plugin.h"

class TPluginHost;
class TPluginStoredLibInfo;
class TUserPrompts;

// Where a registered filter pattern came from.
enum TPatAddType { patApp, patPlugin, patUser };

// A filter pattern as the combination editor knows it.
struct TPatternMeta {
    QString PatType;  // the pattern text
    TPatAddType PatAddType = patUser;
    QString PatDescription;
    // Path kind of the pattern: PLV_CAN_WORK_FILES, _DIRECTORIES or _ROOT (the plugin bits).
    std::uint32_t CanWorkCategory = PLV_CAN_WORK_FILES;
    std::int32_t ImageIndex = -1;  // index into TPatternRegistry::ImageIconNames()
};

// Every filter pattern the editor has seen: the built-in ones, those the plugins suggest and those
// typed by the user or read from projects. One entry per text, compared without regard to letter
// case; an entry, once registered, never changes and lives as long as the registry, so
// combinations can point at it across project loads.
class TPatternRegistry {
public:
    // Registers the built-in patterns ":", "/", "*.*" and "*.", in that order.
    TPatternRegistry();
    TPatternRegistry(const TPatternRegistry&) = delete;
    TPatternRegistry& operator=(const TPatternRegistry&) = delete;

    // Registers "*" + each extension the plugins suggest (split at ",", duplicates in any letter
    // case removed, sorted) as a plugin pattern of kind files.
    void RegisterPluginSuggestions(const TPluginHost& AHost);

    // The entry with this text in any letter case; a new one (with a description and an image
    // when none is given) when there is none yet.
    const TPatternMeta& Register(const QString& APatType, TPatAddType APatAddType,
                                 std::uint32_t ACanWorkCategory, const QString& ADescription = {});
    // The entry with this text in any letter case, or null.
    const TPatternMeta* Find(const QString& APatType) const;

    // All entries sorted by text (ignoring letter case).
    std::vector<const TPatternMeta*> Entries() const;
    // What the pattern chooser offers: the built-in patterns by image index (in registration
    // order where the index is shared), then the plugin patterns by text; user patterns never.
    std::vector<const TPatternMeta*> ChooserPatterns() const;

    // The icon theme name of each image index (a widget builds its image list from them).
    const QStringList& ImageIconNames() const { return FImageIconNames; }

private:
    // AImageIndex -1: the image of the pattern's file type.
    const TPatternMeta& Add(const QString& APatType, TPatAddType APatAddType,
                            std::uint32_t ACanWorkCategory, const QString& ADescription,
                            int AImageIndex);
    int ImageIndexOf(const QString& AIconName);

    std::vector<std::unique_ptr<TPatternMeta>> FSorted;  // sorted by text ignoring case
    std::vector<const TPatternMeta*> FRegistrationOrder;
    QStringList FImageIconNames;
};

// The description a registered pattern gets when it brings none: the platform's file-type name
// for what follows the pattern's first character (for "/" patterns: the whole pattern), or else
// the pattern in upper case followed by " directory" or " file".
QString DescribePattern(const QString& APatType);

// A pattern as typed into the pattern chooser, made into a filter: "." at the start gets a "*"
// in front; "[", "]" and "?" go; "\" becomes "/"; a text starting with "/" keeps exactly one "/"
// in front and is a directory pattern, any other loses every "/" and is a file pattern. Text
// is empty when nothing is left.
struct TTypedPattern {
    QString Text;
    std::uint32_t CanWorkCategory = PLV_CAN_WORK_FILES;
};
TTypedPattern NormaliseTypedPattern(const QString& ATyped);

// Whether a plugin accepts a filter: every kind bit of the pattern must be one the plugin can
// work on.
// The kind of path a stored filter stands for (PLV_CAN_WORK_ROOT, _DIRECTORIES or _FILES),
// judged from the text the engine matches, so that "\\sub" is a directory filter like "/sub".
std::uint32_t StoredPatternKind(const QString& AFilter);

bool PluginAcceptsPatternKind(std::uint32_t APluginCanWorkCategory, std::uint32_t APatternKind);
// The message shown when it does not.
QString PluginFilterIncompatibleText();

// The stored value stream of each property of a combination, by property name, in declaration
// order. An empty stream means "not set by the user": the declaration defaults apply.
using TPropertyStreams = std::vector<std::pair<QString, QByteArray>>;

// One filter/module combination.
struct TCombinationEntry {
    const TPatternMeta* Pattern = nullptr;   // owned by the list's pattern registry
    TPluginStoredLibInfo* Plugin = nullptr;  // owned by the plugin host
    TPropertyStreams Values;
};

// One empty stream per property the plugin declares now.
TPropertyStreams EmptyPropertyStreams(const TPluginStoredLibInfo& APlugin);

// The run-order list of filter/module combinations of the open project, without widgets: the
// combination editor and the module configuration stream sit on it, and the batch engine gets
// its entries through BatchCombinations(). Every edit marks the list as changed.
class TCombinationList {
public:
    enum class TAddResult {
        Added,
        NoPattern,    // the pattern text is empty (or nothing is left of a typed one)
        NoPlugin,     // no plugin chosen
        Incompatible  // the plugin refuses the pattern's kind; the user was told
    };
    struct TAddOutcome {
        TAddResult Result = TAddResult::NoPattern;
        int Index = -1;  // position of the new entry when added
    };

    // Registers the plugins' suggested patterns. Messages go to APrompts (none: not shown).
    explicit TCombinationList(TPluginHost& AHost, TUserPrompts* APrompts = nullptr);
    TCombinationList(const TCombinationList&) = delete;
    TCombinationList& operator=(const TCombinationList&) = delete;

    TPluginHost& Host() const { return FHost; }
    TPatternRegistry& Patterns() { return FPatterns; }
    const TPatternRegistry& Patterns() const { return FPatterns; }

    int Count() const { return static_cast<int>(FEntries.size()); }
    const TCombinationEntry& At(int AIndex) const;
    const std::vector<TCombinationEntry>& Entries() const { return FEntries; }

    // The pattern a chooser text stands for: a typed text is normalised and registered as a user
    // pattern, a picked one is looked up (and registered like a typed one when unknown). Null
    // when the text is empty.
    const TPatternMeta* ResolvePattern(const QString& APatternText, bool ATyped);

    // Appends (add) or places before ABeforeIndex (insert; 0 to Count()) a new combination of the
    // chooser's pattern and plugin, with empty value streams. An incompatible pair is refused
    // with the message shown, and nothing changes.
    TAddOutcome AddItem(const QString& APatternText, bool ATyped, TPluginStoredLibInfo* APlugin);
    TAddOutcome InsertItem(int ABeforeIndex, const QString& APatternText, bool ATyped,
                           TPluginStoredLibInfo* APlugin);
    // Removes an entry; returns the entry to select now (the same position, or the last one when
    // the removed entry was last), -1 when the list is empty.
    int DeleteItem(int AIndex);
    // Exchange an entry with its neighbour; return its new position (unchanged at the ends).
    int SwapItemUp(int AIndex);
    int SwapItemDown(int AIndex);

    // The stored stream of one property of an entry; empty when it has none.
    QByteArray ValueStream(int AIndex, const QString& APropName) const;
    // Replaces it (an editor page was saved). The property must be one the entry's plugin
    // declares. Only a different stream marks the list as changed, and only with AMarkChanged
    // (a page that was merely opened keeps what it shows without changing the project).
    void SetValueStream(int AIndex, const QString& APropName, const QByteArray& AStream,
                        bool AMarkChanged = true);

    // Replaces every entry (a project was loaded); the list is then unchanged.
    // OnEntriesReplacing runs first, so an editor lets go of the old entries.
    void ReplaceEntries(std::vector<TCombinationEntry> AEntries);
    std::function<void()> OnEntriesReplacing;
    void Clear() { ReplaceEntries({}); }

    bool Changed() const { return FChanged; }
    void ClearChanged() { FChanged = false; }

    // The "Module" column of an entry: its plugin's folder below the modules folder.
    QString ModuleColumnText(int AIndex) const;

    // The entries as the batch engine takes them, in run order. The values are copies, so edits
    // made while a batch runs do not reach it.
    std::vector<TBatchCombination> BatchCombinations() const;

private:
    TAddOutcome AddAt(int AIndex, const QString& APatternText, bool ATyped,
                      TPluginStoredLibInfo* APlugin);
    void CheckIndex(int AIndex, const char* AWhat) const;

    TPluginHost& FHost;
    TUserPrompts* FPrompts;
    TPatternRegistry FPatterns;
    std::vector<TCombinationEntry> FEntries;
    bool FChanged = false;
};
