#pragma once

#include <QString>
#include <vector>

class TqvlgLanguageController;

struct TInstalledLanguage {
    QString Code;         // folder name below the translations folder, such as "de-de"
    QString Description;  // the files' "Lingua_Desc", or the code when they have none
};

// English (built in) first, then every language folder below the controller's work root that
// holds a program translation file, sorted by code.
std::vector<TInstalledLanguage> InstalledLanguages(const TqvlgLanguageController& ACore);

// Applies the chosen language's reading order to the application (a right-to-left language
// mirrors every window).
void ApplyReadingOrder(TqvlgLanguageController& ACore);
