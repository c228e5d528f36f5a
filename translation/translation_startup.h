#pragma once

#include <QDateTime>
#include <QString>

class TqvlgLanguageController;

// Sets the controller up for the program, once at start:
// - the translations folder as work root;
// - the language: ALanguage (the options' value) is matched (a bare "es" becomes "es-us" when
//   that folder exists), written back to ALanguage and made the primary language;
// - the rules "avoid the files while English is chosen" and "ignore empty window texts";
// - the controller becomes the program-wide default, with "__curly" as default template system;
// - the template variables: the fixed ones of ProgramTemplateConstants(), "LogFilePath" =
//   AProgramLogPath and "AppDataPath" = ADataFolder (the data root's "data/" folder);
// - the module's built-in English texts and the native metadata (AProgramVersion, ANow).
// Call it on the user-interface thread, which then owns the controller.
void SetupTranslationAtStart(TqvlgLanguageController& AController,
                             const QString& ATranslationsFolder, QString& ALanguage,
                             const QString& AProgramLogPath, const QString& ADataFolder,
                             const QString& AProgramVersion, const QDateTime& ANow);

// Adds the template variables of the start (existing ones are kept).
void AddProgramTemplateVars(TqvlgLanguageController& AController, const QString& AProgramLogPath,
                            const QString& ADataFolder);

// The built-in texts and native metadata of the start; call it again after a language change
// that cleared the whole cache.
void RegisterStartupNativeTexts(TqvlgLanguageController& AController,
                                const QString& AProgramVersion, const QDateTime& ANow);
