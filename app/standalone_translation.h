#pragma once

#include <QString>

#include "app/directory_setup.h"
#include "translation/language_controller.h"

// The chosen language for texts shown before the application module exists, or without one (a
// command line's usage and help): the language of the options file that a start with this
// input would read, found and read without writing anything. While it lives, its controller is
// the program-wide default one; it must be gone before the module makes its own.
class TStandaloneTranslation {
public:
    explicit TStandaloneTranslation(const TDirectorySetupInput& AInput);
    TStandaloneTranslation(const TStandaloneTranslation&) = delete;
    TStandaloneTranslation& operator=(const TStandaloneTranslation&) = delete;

    // The options file it read (which need not exist).
    const QString& OptionsFilePath() const { return FOptionsFilePath; }
    const QString& Language() const { return FLanguage; }

private:
    TqvlgLanguageController FController;
    QString FOptionsFilePath;
    QString FLanguage;
};
