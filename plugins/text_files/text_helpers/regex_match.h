#pragma once

#include <QString>
#include <QStringList>

// One match of a regular expression as the replacement template sees it.
struct TRegexMatch {
    // The number of the highest-numbered group that took part in the match; 0 if none did.
    int HighestGroup = 0;
    // Index 0 is the whole match, index k the text group k captured (empty when the group took
    // no part). Holds at least HighestGroup + 1 entries.
    QStringList Groups;

    // The text of group k; empty for a group that took no part or does not exist.
    QString Group(int AIndex) const {
        return AIndex >= 0 && AIndex < Groups.size() ? Groups.at(AIndex) : QString();
    }
};
