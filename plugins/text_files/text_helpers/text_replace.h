#pragma once

#include <QChar>
#include <QString>

#include "plugins/text_files/text_helpers/regex_match.h"

// Plain search and replace, the backslash escapes users type into grid cells, and the expansion
// of a regular-expression replacement template. All functions keep no state and may be called
// from any number of threads at once.

// Replaces every occurrence of AMatch in AText by AReplacement, searching left to right and
// resuming after each inserted replacement, so occurrences never overlap and inserted text is
// never searched again. An empty AMatch, or one equal to AReplacement, leaves the text as it
// is. With AIgnoreCase, text and match are compared after upper-casing both under the user's
// locale; the replaced pieces are always cut from AText itself.
QString ReplaceAllText(const QString& AText, const QString& AMatch, const QString& AReplacement,
                       bool AIgnoreCase);

// Replaces the escaped occurrences of AKey by AValue. Scanning runs from the end of the text
// towards its start; an occurrence of the key counts when an odd number of escape characters
// stands right before it, and then that whole run of escape characters together with the key
// gives way to the value. The scan goes on before the run, so an inserted value is never
// scanned again. An even run leaves key and run in place for a later pass.
QString ExpandEscapedKey(const QString& AText, const QString& AValue, const QString& AKey,
                         QChar AEscapeChar = u'\\');

// The escapes \r, \n, \t, \f and \\ (one backslash), expanded in that order. Because the
// backslash pass comes last, "\\n" ends as a backslash followed by "n".
QString ExpandSimpleEscapes(const QString& AText);

// The replacement for one regular-expression match: the control escapes \r, \n, \t and \f are
// expanded first, then the group references \k from the highest group that took part down to
// \1 (so \12 resolves before \1), then \\ becomes one backslash. \0 and references above the
// highest group stay as typed. Text inserted for one group is seen by the passes of the lower
// groups that follow.
QString ExpandReplaceTemplate(const QString& ATemplate, const TRegexMatch& AMatch);
