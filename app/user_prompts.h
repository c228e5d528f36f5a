#pragma once

#include <QString>
#include <QUrl>

#include <cstdio>

enum class TPromptKind { Information, Warning, Error, Confirmation };
enum class TPromptAnswer { Yes, No, Cancel };

// Questions and messages for the user. The window shows dialogs; the command line prints and
// answers "no"; tests script the answers. Everything that would block on a user goes through
// here, so the core never needs a display.
class TUserPrompts {
public:
    virtual ~TUserPrompts() = default;
    virtual bool AskYesNo(TPromptKind AKind, const QString& AText) = 0;
    // A question with Yes, No and Cancel (such as "save changes?").
    virtual TPromptAnswer AskYesNoCancel(TPromptKind AKind, const QString& AText) = 0;
    virtual void ShowMessage(TPromptKind AKind, const QString& AText) = 0;
    // Opens a web page in the user's browser; failures are ignored.
    virtual void OpenUrl(const QUrl& AUrl) = 0;
};

// Writes text to a terminal stream (standard output or error) in UTF-8, at once.
void WriteConsole(FILE* AStream, const QString& AText);

// A message as a terminal shows it: the kind in the chosen language, ": ", the text
// ("Warning: ...").
QString ConsoleLine(TPromptKind AKind, const QString& AText);

// For runs without a user: questions are answered "no", messages go to standard error, no
// browser is opened.
class TConsolePrompts : public TUserPrompts {
public:
    bool AskYesNo(TPromptKind AKind, const QString& AText) override;
    TPromptAnswer AskYesNoCancel(TPromptKind AKind, const QString& AText) override;
    void ShowMessage(TPromptKind AKind, const QString& AText) override;
    void OpenUrl(const QUrl& AUrl) override;
};
