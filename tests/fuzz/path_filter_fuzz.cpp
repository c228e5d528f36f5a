// Path filters and masks: the input is a filter, a zero byte and a path (UTF-8), taken as a
// missing path, a file and a directory below a fixed batch root. Checks: a mask is valid exactly
// when matching does not raise; on ASCII text a mask matches as a plain reference matcher says;
// the quick pre-test never rules out a path that matches; a list of one filter matches as that
// filter does.
#include <optional>
#include <utility>

#include "base/exceptions.h"
#include "batch/path_filter.h"
#include "tests/fuzz/fuzz_support.h"

namespace {

const QString KRoot = QStringLiteral("/fuzz/root/");

bool IsAscii(const QString& AText) {
    for (const QChar c : AText)
        if (c.unicode() >= 0x80)
            return false;
    return true;
}

char16_t Lower(char16_t AChar) {
    return AChar >= u'A' && AChar <= u'Z' ? char16_t(AChar + 32) : AChar;
}

// Position after the set starting at AMask[AAt] == '[', or nothing when it is unclosed; AHit
// tells whether AChar is in it.
std::optional<qsizetype> MatchSet(const QString& AMask, qsizetype AAt, char16_t AChar, bool& AHit) {
    qsizetype i = AAt + 1;
    bool negated = false;
    if (i < AMask.size() && AMask[i] == u'!') {
        negated = true;
        ++i;
    }
    bool in = false;
    while (i < AMask.size() && AMask[i] != u']') {
        char16_t first = Lower(AMask[i].unicode());
        char16_t last = first;
        if (i + 2 < AMask.size() && AMask[i + 1] == u'-' && AMask[i + 2] != u']') {
            last = Lower(AMask[i + 2].unicode());
            i += 2;
        }
        if (first > last)
            std::swap(first, last);
        if (AChar >= first && AChar <= last)
            in = true;
        ++i;
    }
    if (i >= AMask.size())
        return std::nullopt;
    AHit = in != negated;
    return i + 1;
}

// The reference matcher: plain backtracking over ASCII, as the mask syntax is described.
std::optional<bool> Reference(const QString& AMask, qsizetype AM, const QString& AName,
                              qsizetype AN, int& ABudget) {
    if (--ABudget < 0)
        return std::nullopt;  // too slow to decide here; the real matcher is not compared
    if (AM == AMask.size())
        return AN == AName.size();
    const char16_t m = AMask[AM].unicode();
    if (m == u'*') {
        for (qsizetype n = AN; n <= AName.size(); ++n) {
            const std::optional<bool> rest = Reference(AMask, AM + 1, AName, n, ABudget);
            if (!rest || *rest)
                return rest;
        }
        return false;
    }
    if (AN == AName.size())
        return false;
    const char16_t c = Lower(AName[AN].unicode());
    if (m == u'?')
        return Reference(AMask, AM + 1, AName, AN + 1, ABudget);
    if (m == u'[') {
        bool hit = false;
        const std::optional<qsizetype> after = MatchSet(AMask, AM, c, hit);
        if (!after)
            return std::nullopt;
        return hit ? Reference(AMask, *after, AName, AN + 1, ABudget) : false;
    }
    return Lower(m) == c ? Reference(AMask, AM + 1, AName, AN + 1, ABudget) : false;
}

void CheckMask(const QString& AMask, const QString& AName) {
    const TPathMask mask(AMask);
    std::optional<bool> matched;
    try {
        matched = mask.Matches(AName);
    } catch (const EqvParamWrong&) {
        if (mask.IsValid())
            FuzzFinding("a valid mask raised:", AMask);
        return;
    }
    if (!mask.IsValid())
        FuzzFinding("an invalid mask did not raise:", AMask);
    if (!IsAscii(AMask) || !IsAscii(AName))
        return;
    int budget = 100000;
    const std::optional<bool> expected = Reference(AMask, 0, AName, 0, budget);
    if (expected && *expected != *matched)
        FuzzFinding("mask and reference differ:", AMask + QStringLiteral(" on ") + AName);
}

std::optional<bool> Match(const auto& AMatcher) {
    try {
        return AMatcher();
    } catch (const EqvParamWrong&) {
        return std::nullopt;
    }
}

void CheckFilter(const QString& AFilter, const QString& APath, TPathFacts::TKind AKind) {
    const TPathFacts facts(APath, KRoot, AKind);
    const TPathFilter filter(AFilter);
    const std::optional<bool> single = Match([&] { return filter.Matches(facts); });
    const TPathFilterList list(QStringList{AFilter});
    const std::optional<bool> listed = Match([&] { return list.Matches(facts); });
    if (single != listed)
        FuzzFinding("a list of one filter matches otherwise than the filter:",
                    AFilter + QStringLiteral(" on ") + APath);
    if (single.value_or(false) && AKind != TPathFacts::TKind::Missing &&
        !filter.MayMatch(APath, KRoot))
        FuzzFinding("the pre-test ruled out a path that matches:",
                    AFilter + QStringLiteral(" on ") + APath);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* AData, std::size_t ASize) {
    const QByteArray bytes = FuzzBytes(AData, ASize);
    const qsizetype split = bytes.indexOf('\0');
    const QString filter = QString::fromUtf8(split < 0 ? bytes : bytes.left(split));
    const QString rest = split < 0 ? QString() : QString::fromUtf8(bytes.mid(split + 1));
    CheckMask(filter, rest);
    const QString path = rest.startsWith(QLatin1Char('/')) ? rest : KRoot + rest;
    // A path is told as the walk tells it: a folder ends with "/", a file does not.
    const bool folder = path.endsWith(QLatin1Char('/'));
    CheckFilter(filter, path, TPathFacts::TKind::Missing);
    CheckFilter(filter, path, folder ? TPathFacts::TKind::Directory : TPathFacts::TKind::File);
    CheckFilter(filter, KRoot, TPathFacts::TKind::Directory);
    // The text functions take the same road.
    (void)PathMatchName(path);
    (void)PathTypeKey(path, KRoot);
    return 0;
}
