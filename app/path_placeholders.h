#pragma once

#include <QString>

#include <vector>

// Placeholders that stand for the program's folders in stored files, so stored paths survive a
// move of those folders. Order matters: the data folder lies inside the program folder in "app"
// mode and is listed first, so a path under it collapses to "?($AppDirData)?".
class TPathPlaceholders {
public:
    struct TPair {
        QString Placeholder;
        QString RealFolder;
    };

    TPathPlaceholders() = default;
    // The standard table: "?($AppDirData)?" = data folder, "?($AppPath)?" and "?PLV?" = program
    // folder.
    TPathPlaceholders(const QString& ADataFolder, const QString& AProgramFolder);

    const std::vector<TPair>& Pairs() const { return FPairs; }

    // In-place substitutions, scanning from the last character to the first.
    void Expand(QString& AText) const;
    void Collapse(QString& AText) const;

private:
    std::vector<TPair> FPairs;
};
