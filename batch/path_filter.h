#pragma once

#include <QSet>
#include <QString>
#include <QStringList>

#include <vector>

// Path filters: which work paths a filter/module combination is run on.
//
// A filter is ":" (the batch root), "/" (every directory), "*.*" (every file), "*." (files
// without an extension), "*." + an extension, "/" + a mask (matched against the match name of
// directories and of files without an extension) or any other mask (matched against the names
// of files with an extension). Backslashes in filters and paths are read as "/".

// A filter's text as it is matched: backslashes read as "/". Whatever judges a filter's kind
// (directories or files) judges this text, so that the kind and the matching agree.
QString FilterTextAsMatched(const QString& AFilter);

// The name a path is matched under: "/" + the last component for a directory (a path ending
// with "/") and for a name without a "."; the last component itself for a name with a ".".
QString PathMatchName(const QString& APath);

// The type key of a path: ":" for the batch root (compared exactly), "/" for a directory path,
// "*" + the extension with its dot for a name with a ".", "*." for a name without one.
QString PathTypeKey(const QString& APath, const QString& ABatchRoot);

// A file-name mask compiled once. "*" matches any run of characters (also none), "?" exactly
// one, "[set]" one character of the set ("a-z" is a range, a reversed range means the same as
// the ordered one; a set beginning with "!" matches one character not in it; "]" always closes a
// set, so "[]" matches no character and "[!]" any); every other character matches itself.
// Letter case is ignored and the mask must match the whole name.
//
// A "[" without its closing "]" makes the mask invalid. Building never raises, so a filter can
// be stored whatever the user typed; matching with an invalid mask raises EqvParamWrong with
// "'<mask>' is an invalid mask at (<n>)", n being the 1-based position of the unclosed "[".
class TPathMask {
public:
    explicit TPathMask(const QString& AMask = {});

    const QString& Text() const { return FText; }
    bool IsValid() const { return FErrorPosition == 0; }
    // 1-based position of the problem, 0 when the mask is valid.
    int ErrorPosition() const { return FErrorPosition; }
    // The error text for an invalid mask, empty for a valid one.
    QString ErrorText() const;

    // Whether the whole name matches; raises EqvParamWrong when the mask is invalid.
    bool Matches(const QString& AName) const;

private:
    enum class TTokenKind { Literal, AnyOne, AnyRun, Set };
    struct TRange {
        char16_t First;
        char16_t Last;
    };
    struct TToken {
        TTokenKind Kind = TTokenKind::Literal;
        char16_t Char = 0;  // Literal: the lower-case character
        bool Negated = false;
        std::vector<TRange> Ranges;  // Set: lower-case ranges
    };

    void Compile();
    bool MatchesOne(const TToken& AToken, char16_t ALowerChar) const;

    QString FText;
    int FErrorPosition = 0;
    std::vector<TToken> FTokens;
};

// What matching needs to know about a path, found once per match call: one file-system query,
// the match name and the type key.
struct TPathFacts {
    enum class TKind { Missing, File, Directory };

    TPathFacts(const QString& APath, const QString& ABatchRoot);
    // For a path whose kind the caller has just learned (a folder walk): no file-system query.
    TPathFacts(const QString& APath, const QString& ABatchRoot, TKind AKnownKind);

    TKind Kind = TKind::Missing;
    bool IsBatchRoot = false;  // exact, case-sensitive comparison with the batch root
    QString MatchName;
    QString LowerTypeKey;  // the type key lower-cased, for the type test
};

// One filter compiled once, for matching many paths (the engine tests every path of the batch
// against each combination's filter).
class TPathFilter {
public:
    explicit TPathFilter(const QString& AFilter = {});

    // The filter as given.
    const QString& Text() const { return FText; }
    // The filter lower-cased with backslashes read as "/", as the type test compares it.
    const QString& LowerText() const { return FLowerText; }
    const TPathMask& Mask() const { return FMask; }

    // The single-filter match: the type test, then (except for the batch root) the mask test.
    bool Matches(const QString& APath, const QString& ABatchRoot) const;
    bool Matches(const TPathFacts& AFacts) const;

    // False when the path cannot match whatever the file system holds: the single-filter
    // match decided from the texts alone, taking the path as an existing file and as an
    // existing directory. Lets a caller skip the file system query for most other paths.
    bool MayMatch(const QString& APath, const QString& ABatchRoot) const;

    // The type test alone: an existing file against its type key or "*.*", an existing
    // directory below the root against "/", the root against ":".
    bool TypeMatches(const TPathFacts& AFacts) const;
    // The mask test alone: an empty filter matches nothing; a filter and a match name of which
    // exactly one begins with "/" never match; otherwise the mask decides (and may raise).
    bool MaskMatches(const TPathFacts& AFacts) const;

private:
    QString FText;
    QString FLowerText;
    bool FBeginsWithSlash = false;
    TPathMask FMask;
};

// A project's filters compiled once, for the list match (copying only handled paths, counting
// the paths to do).
class TPathFilterList {
public:
    explicit TPathFilterList(const QStringList& AFilters = {});

    int Count() const { return static_cast<int>(FFilters.size()); }
    const TPathFilter& At(int AIndex) const { return FFilters[static_cast<size_t>(AIndex)]; }

    // True when the path matches at least one filter: first its type key against the whole list
    // (ignoring letter case), then, except for the batch root, each filter's mask in order.
    // An invalid mask raises only when its turn comes.
    bool Matches(const QString& APath, const QString& ABatchRoot) const;
    bool Matches(const TPathFacts& AFacts) const;

private:
    std::vector<TPathFilter> FFilters;
    QSet<QString> FLowerTexts;
};

// The single-filter match on plain texts; compiles the filter on every call, so loops over many
// paths should build a TPathFilter once instead.
bool PathMatchesFilter(const QString& APath, const QString& AFilter, const QString& ABatchRoot);

// The list match on plain texts; see TPathFilterList.
bool PathMatchesFilterList(const QString& APath, const QStringList& AFilters,
                           const QString& ABatchRoot);
