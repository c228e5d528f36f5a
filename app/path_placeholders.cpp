#include "app/path_placeholders.h"

namespace {

// At each position from the end towards the start, the first pair (in table order) whose
// search text starts there is replaced and the same position is tested again.
template <typename SearchOf, typename ValueOf>
void ScanReplace(QString& AText, const std::vector<TPathPlaceholders::TPair>& APairs,
                 SearchOf ASearch, ValueOf AValue) {
    // A real folder that contains its own placeholder would otherwise be replaced forever.
    constexpr int KMaxReplacementsPerPosition = 16;
    for (qsizetype pos = AText.size() - 1; pos >= 0; --pos) {
        for (int round = 0; round < KMaxReplacementsPerPosition; ++round) {
            const TPathPlaceholders::TPair* hit = nullptr;
            for (const auto& pair : APairs) {
                const QString& search = ASearch(pair);
                if (search.isEmpty())
                    continue;
                if (QStringView(AText).sliced(pos).startsWith(search, Qt::CaseSensitive)) {
                    hit = &pair;
                    break;
                }
            }
            if (hit == nullptr)
                break;
            AText.replace(pos, ASearch(*hit).size(), AValue(*hit));
        }
    }
}

}  // namespace

TPathPlaceholders::TPathPlaceholders(const QString& ADataFolder, const QString& AProgramFolder)
    : FPairs{{QStringLiteral("?($AppDirData)?"), ADataFolder},
             {QStringLiteral("?($AppPath)?"), AProgramFolder},
             {QStringLiteral("?PLV?"), AProgramFolder}} {}

void TPathPlaceholders::Expand(QString& AText) const {
    ScanReplace(
        AText, FPairs, [](const TPair& p) -> const QString& { return p.Placeholder; },
        [](const TPair& p) -> const QString& { return p.RealFolder; });
}

void TPathPlaceholders::Collapse(QString& AText) const {
    // "?PLV?" is only understood on reading: the program folder collapses to "?($AppPath)?",
    // which comes first in the table.
    ScanReplace(
        AText, FPairs, [](const TPair& p) -> const QString& { return p.RealFolder; },
        [](const TPair& p) -> const QString& { return p.Placeholder; });
}
