#pragma once

#include <QList>
#include <QString>

#include <utility>

struct TqvlgNativeText;

// Values of "dyn..." template variables for one message, such as {"dynCaption", "Work
// Directory"}.
using TqvlgDynVars = QList<std::pair<QString, QString>>;

// The maker's facts that messages quote as template variables.
inline const QString KProgramNameShort = QStringLiteral("Plovane");
inline const QString KCompanyNameShort = QStringLiteral("Kestrin");
inline const QString KCompanyNameLong = QStringLiteral("Kestrin Software");
inline const QString KCompanyUrlFull = QStringLiteral("https://www.kestrin.example/");
inline const QString KCompanyProductSupportEmail = QStringLiteral("support@kestrin.example");
inline const QString KCopyrightTime = QStringLiteral("2026");
inline const QString KCopyrightHolders = QStringLiteral("Kestrin Software");

// The template variables with fixed values (name, value), in registration order.
TqvlgDynVars ProgramTemplateConstants();

// The text of a message in the chosen language, through the program-wide default controller:
// the dyn variables are set (replacing earlier values) and the text is looked up like
// Get_TransResStr_SetNative. Without a default controller, or when called from a thread other
// than the one that owns it (the controller has no lock), the English default is returned with
// its braces filled from ADynVars and the fixed template variables.
QString TranslatedMessage(const QString& ATransID, const QString& ASection, const QString& AKey,
                          const QString& ADefStr, const TqvlgDynVars& ADynVars = {});

// The same for a built-in text; its native registration is renewed first, so its fallback to
// English keeps its template system even after the cache was reset.
QString TranslatedMessage(const TqvlgNativeText& AText, const TqvlgDynVars& ADynVars = {});

// A window text in the chosen language (Get_TransGuiStr); ADef without a usable controller.
QString TranslatedGuiText(const QString& ATransID, const QString& ASection, const QString& AKey,
                          const QString& ADef);

// The title and a button caption of a message dialog in the chosen language; a text that has
// no translation stays as it is.
QString TranslatedDialogTitle(const QString& ATitle);
QString TranslatedDialogButton(const QString& ACaption);
