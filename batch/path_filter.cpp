#include "batch/path_filter.h"

#include <QFileInfo>

#include <algorithm>
#include <utility>

#include "base/exceptions.h"

namespace {

const QString KAllFiles = QStringLiteral("*.*");
const QString KAllDirectories = QStringLiteral("/");
const QString KBatchRoot = QStringLiteral(":");

QString WithSlashes(const QString& AText) {
    QString text = AText;
    text.replace(QLatin1Char('\\'), QLatin1Char('/'));
    return text;
}

// The last component of a path whose backslashes are already read as "/"; a trailing "/" (a
// directory) is not part of it.
QStringView LastComponent(const QString& APath) {
    QStringView path(APath);
    if (path.endsWith(u'/'))
        path.chop(1);
    return path.mid(path.lastIndexOf(u'/') + 1);
}

char16_t LowerUnit(char16_t AUnit) {
    return QChar(AUnit).toLower().unicode();
}

}  // namespace

QString FilterTextAsMatched(const QString& AFilter) {
    return WithSlashes(AFilter);
}

QString PathMatchName(const QString& APath) {
    const QString path = WithSlashes(APath);
    const QStringView last = LastComponent(path);
    if (!path.endsWith(u'/') && last.contains(u'.'))
        return last.toString();
    return QStringLiteral("/") + last.toString();
}

QString PathTypeKey(const QString& APath, const QString& ABatchRoot) {
    if (APath == ABatchRoot)
        return KBatchRoot;
    const QString path = WithSlashes(APath);
    if (path.endsWith(u'/'))
        return KAllDirectories;
    const QStringView last = LastComponent(path);
    const qsizetype dot = last.lastIndexOf(u'.');
    if (dot < 0)
        return QStringLiteral("*.");
    return QStringLiteral("*") + last.mid(dot).toString();
}

// ---------------------------------------------------------------------------------------------

TPathMask::TPathMask(const QString& AMask) : FText(AMask) {
    Compile();
}

void TPathMask::Compile() {
    const qsizetype size = FText.size();
    for (qsizetype i = 0; i < size; ++i) {
        const char16_t unit = FText.at(i).unicode();
        TToken token;
        if (unit == u'*') {
            // A run of stars means the same as one and only costs backtracking.
            if (!FTokens.empty() && FTokens.back().Kind == TTokenKind::AnyRun)
                continue;
            token.Kind = TTokenKind::AnyRun;
        } else if (unit == u'?') {
            token.Kind = TTokenKind::AnyOne;
        } else if (unit == u'[') {
            token.Kind = TTokenKind::Set;
            qsizetype j = i + 1;
            if (j < size && FText.at(j) == u'!') {
                token.Negated = true;
                ++j;
            }
            while (j < size && FText.at(j) != u']') {
                const char16_t first = LowerUnit(FText.at(j).unicode());
                // "x-y" is a range unless the "-" stands last in the set.
                if (j + 2 < size && FText.at(j + 1) == u'-' && FText.at(j + 2) != u']') {
                    const char16_t last = LowerUnit(FText.at(j + 2).unicode());
                    token.Ranges.push_back({std::min(first, last), std::max(first, last)});
                    j += 3;
                } else {
                    token.Ranges.push_back({first, first});
                    ++j;
                }
            }
            if (j >= size) {
                FErrorPosition = static_cast<int>(i) + 1;
                FTokens.clear();
                return;
            }
            i = j;
        } else {
            token.Char = LowerUnit(unit);
        }
        FTokens.push_back(std::move(token));
    }
}

QString TPathMask::ErrorText() const {
    if (IsValid())
        return {};
    return QStringLiteral("'%1' is an invalid mask at (%2)").arg(FText).arg(FErrorPosition);
}

bool TPathMask::MatchesOne(const TToken& AToken, char16_t ALowerChar) const {
    switch (AToken.Kind) {
        case TTokenKind::Literal:
            return AToken.Char == ALowerChar;
        case TTokenKind::AnyOne:
            return true;
        case TTokenKind::Set: {
            bool inSet = false;
            for (const TRange& range : AToken.Ranges) {
                if (ALowerChar >= range.First && ALowerChar <= range.Last) {
                    inSet = true;
                    break;
                }
            }
            return inSet != AToken.Negated;
        }
        case TTokenKind::AnyRun:
            break;
    }
    return false;
}

bool TPathMask::Matches(const QString& AName) const {
    if (!IsValid())
        throw EqvParamWrong(ErrorText());
    // Every token but "*" takes exactly one character, so backtracking to the last "*" seen is
    // enough: the match costs at most length(name) * tokens steps.
    const size_t tokens = FTokens.size();
    const size_t size = static_cast<size_t>(AName.size());
    size_t t = 0;
    size_t s = 0;
    size_t starToken = tokens;
    size_t starName = 0;
    while (s < size) {
        if (t < tokens && FTokens[t].Kind == TTokenKind::AnyRun) {
            starToken = t++;
            starName = s;
            continue;
        }
        if (t < tokens && MatchesOne(FTokens[t], LowerUnit(AName.at(s).unicode()))) {
            ++t;
            ++s;
            continue;
        }
        if (starToken == tokens)
            return false;
        t = starToken + 1;
        s = ++starName;
    }
    while (t < tokens && FTokens[t].Kind == TTokenKind::AnyRun)
        ++t;
    return t == tokens;
}

// ---------------------------------------------------------------------------------------------

TPathFacts::TPathFacts(const QString& APath, const QString& ABatchRoot)
    : IsBatchRoot(APath == ABatchRoot),
      MatchName(PathMatchName(APath)),
      LowerTypeKey(PathTypeKey(APath, ABatchRoot).toLower()) {
    // One query of the file system; QFileInfo keeps what it read for the second question.
    const QFileInfo info(APath);
    if (info.isFile())
        Kind = TKind::File;
    else if (info.isDir())
        Kind = TKind::Directory;
}

TPathFacts::TPathFacts(const QString& APath, const QString& ABatchRoot, TKind AKnownKind)
    : Kind(AKnownKind),
      IsBatchRoot(APath == ABatchRoot),
      MatchName(PathMatchName(APath)),
      LowerTypeKey(PathTypeKey(APath, ABatchRoot).toLower()) {}

TPathFilter::TPathFilter(const QString& AFilter)
    : FText(AFilter),
      FLowerText(WithSlashes(AFilter).toLower()),
      FBeginsWithSlash(FLowerText.startsWith(u'/')),
      FMask(WithSlashes(AFilter)) {}

bool TPathFilter::TypeMatches(const TPathFacts& AFacts) const {
    if (AFacts.Kind == TPathFacts::TKind::File)
        return FLowerText == AFacts.LowerTypeKey || FLowerText == KAllFiles;
    if (!AFacts.IsBatchRoot)
        return AFacts.Kind == TPathFacts::TKind::Directory && FLowerText == KAllDirectories;
    return FLowerText == KBatchRoot;
}

bool TPathFilter::MaskMatches(const TPathFacts& AFacts) const {
    if (FText.isEmpty())
        return false;
    if (FBeginsWithSlash != AFacts.MatchName.startsWith(u'/'))
        return false;
    return FMask.Matches(AFacts.MatchName);
}

bool TPathFilter::Matches(const TPathFacts& AFacts) const {
    if (TypeMatches(AFacts))
        return true;
    // The batch root is matched by ":" alone, never by a mask.
    if (AFacts.IsBatchRoot)
        return false;
    return MaskMatches(AFacts);
}

bool TPathFilter::Matches(const QString& APath, const QString& ABatchRoot) const {
    return Matches(TPathFacts(APath, ABatchRoot));
}

bool TPathFilter::MayMatch(const QString& APath, const QString& ABatchRoot) const {
    TPathFacts facts(APath, ABatchRoot, TPathFacts::TKind::File);
    // A path ending with "/" never names a file.
    if (!APath.endsWith(u'/') && TypeMatches(facts))
        return true;
    facts.Kind = TPathFacts::TKind::Directory;
    if (TypeMatches(facts))
        return true;
    return !facts.IsBatchRoot && MaskMatches(facts);
}

TPathFilterList::TPathFilterList(const QStringList& AFilters) {
    FFilters.reserve(static_cast<size_t>(AFilters.size()));
    for (const QString& filter : AFilters) {
        FFilters.emplace_back(filter);
        FLowerTexts.insert(FFilters.back().LowerText());
    }
}

bool TPathFilterList::Matches(const TPathFacts& AFacts) const {
    bool typeMatches = false;
    if (AFacts.Kind == TPathFacts::TKind::File)
        typeMatches = FLowerTexts.contains(AFacts.LowerTypeKey) || FLowerTexts.contains(KAllFiles);
    else if (!AFacts.IsBatchRoot)
        typeMatches =
            AFacts.Kind == TPathFacts::TKind::Directory && FLowerTexts.contains(KAllDirectories);
    else
        typeMatches = FLowerTexts.contains(KBatchRoot);
    if (typeMatches)
        return true;
    if (AFacts.IsBatchRoot)
        return false;
    for (const TPathFilter& filter : FFilters) {
        if (filter.MaskMatches(AFacts))
            return true;
    }
    return false;
}

bool TPathFilterList::Matches(const QString& APath, const QString& ABatchRoot) const {
    return Matches(TPathFacts(APath, ABatchRoot));
}

bool PathMatchesFilter(const QString& APath, const QString& AFilter, const QString& ABatchRoot) {
    return TPathFilter(AFilter).Matches(APath, ABatchRoot);
}

bool PathMatchesFilterList(const QString& APath, const QStringList& AFilters,
                           const QString& ABatchRoot) {
    return TPathFilterList(AFilters).Matches(APath, ABatchRoot);
}
