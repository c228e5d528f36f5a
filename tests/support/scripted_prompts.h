#pragma once

#include <QStringList>
#include <QUrl>

#include <deque>

#include "app/user_prompts.h"

// Prompts that answer from a script and record what was asked, shown and opened.
class TScriptedPrompts : public TUserPrompts {
public:
    std::deque<bool> Answers;  // next answers to AskYesNo; "no" when empty
    // Next answers to AskYesNoCancel; Cancel when empty, so an unscripted question loses nothing.
    std::deque<TPromptAnswer> ThreeWayAnswers;
    QStringList Asked;
    QStringList Shown;
    QList<QUrl> Opened;

    bool AskYesNo(TPromptKind, const QString& AText) override {
        Asked << AText;
        if (Answers.empty())
            return false;
        const bool answer = Answers.front();
        Answers.pop_front();
        return answer;
    }
    TPromptAnswer AskYesNoCancel(TPromptKind, const QString& AText) override {
        Asked << AText;
        if (ThreeWayAnswers.empty())
            return TPromptAnswer::Cancel;
        const TPromptAnswer answer = ThreeWayAnswers.front();
        ThreeWayAnswers.pop_front();
        return answer;
    }
    void ShowMessage(TPromptKind, const QString& AText) override { Shown << AText; }
    void OpenUrl(const QUrl& AUrl) override { Opened << AUrl; }
};
