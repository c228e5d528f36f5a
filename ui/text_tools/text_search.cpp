#include "ui/text_tools/text_search.h"

#include <QPlainTextEdit>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextEdit>

#include "app/user_prompts.h"
#include "translation/builtin_texts.h"
#include "translation/translated_text.h"

namespace {

QTextDocument::FindFlags FlagsOf(const TTextSearchOptions& AOptions, bool ABackward) {
    QTextDocument::FindFlags flags;
    if (AOptions.CaseSensitive)
        flags |= QTextDocument::FindCaseSensitively;
    if (AOptions.WholeWord)
        flags |= QTextDocument::FindWholeWords;
    if (ABackward)
        flags |= QTextDocument::FindBackward;
    return flags;
}

TqvlgDynVars FindVars(const TTextSearchOptions& AOptions) {
    return {{QStringLiteral("dynDialogFindText"), AOptions.Text}};
}

TqvlgDynVars ReplaceVars(const TTextSearchOptions& AOptions, const QString& AReplacement) {
    return {{QStringLiteral("dynDialogFindText"), AOptions.Text},
            {QStringLiteral("dynDialogReplaceText"), AReplacement}};
}

}  // namespace

TTextControl::TTextControl(QWidget* AWidget) {
    if (auto* plain = qobject_cast<QPlainTextEdit*>(AWidget)) {
        FWidget = plain;
        FDocument = plain->document();
    } else if (auto* rich = qobject_cast<QTextEdit*>(AWidget)) {
        FWidget = rich;
        FDocument = rich->document();
    }
}

bool TTextControl::ReadOnly() const {
    if (auto* plain = qobject_cast<QPlainTextEdit*>(FWidget))
        return plain->isReadOnly();
    if (auto* rich = qobject_cast<QTextEdit*>(FWidget))
        return rich->isReadOnly();
    return true;
}

bool TTextControl::HasText() const {
    return FDocument != nullptr && !FDocument->isEmpty();
}

QTextCursor TTextControl::Cursor() const {
    if (auto* plain = qobject_cast<QPlainTextEdit*>(FWidget))
        return plain->textCursor();
    if (auto* rich = qobject_cast<QTextEdit*>(FWidget))
        return rich->textCursor();
    return {};
}

void TTextControl::SetCursor(const QTextCursor& ACursor) const {
    if (auto* plain = qobject_cast<QPlainTextEdit*>(FWidget)) {
        plain->setTextCursor(ACursor);
        plain->ensureCursorVisible();
    } else if (auto* rich = qobject_cast<QTextEdit*>(FWidget)) {
        rich->setTextCursor(ACursor);
        rich->ensureCursorVisible();
    }
}

bool TTextControl::WordWrap() const {
    if (auto* plain = qobject_cast<QPlainTextEdit*>(FWidget))
        return plain->lineWrapMode() != QPlainTextEdit::NoWrap;
    if (auto* rich = qobject_cast<QTextEdit*>(FWidget))
        return rich->lineWrapMode() != QTextEdit::NoWrap;
    return false;
}

void TTextControl::SetWordWrap(bool AOn) const {
    if (auto* plain = qobject_cast<QPlainTextEdit*>(FWidget))
        plain->setLineWrapMode(AOn ? QPlainTextEdit::WidgetWidth : QPlainTextEdit::NoWrap);
    else if (auto* rich = qobject_cast<QTextEdit*>(FWidget))
        rich->setLineWrapMode(AOn ? QTextEdit::WidgetWidth : QTextEdit::NoWrap);
}

bool TTextSearch::FindNext(const TTextControl& AControl, const TTextSearchOptions& AOptions) const {
    if (!AControl.Exists() || AOptions.Text.isEmpty())
        return false;
    QTextDocument* document = AControl.Document();
    const QTextDocument::FindFlags flags = FlagsOf(AOptions, AOptions.Backward);
    QTextCursor found = document->find(AOptions.Text, AControl.Cursor(), flags);
    if (found.isNull()) {
        const TqvlgNativeText& question =
            AOptions.Backward ? KTextDialogFindTextContinueBottom : KTextDialogFindTextContinueTop;
        if (FPrompts == nullptr ||
            !FPrompts->AskYesNo(TPromptKind::Confirmation,
                                TranslatedMessage(question, FindVars(AOptions))))
            return false;
        QTextCursor from(document);
        from.movePosition(AOptions.Backward ? QTextCursor::End : QTextCursor::Start);
        found = document->find(AOptions.Text, from, flags);
        if (found.isNull())
            return false;
    }
    AControl.SetCursor(found);
    return true;
}

int TTextSearch::ReplaceAsking(const TTextControl& AControl, const TTextSearchOptions& AOptions,
                               const QString& AReplacement) const {
    if (!AControl.Exists() || AControl.ReadOnly() || AOptions.Text.isEmpty() || FPrompts == nullptr)
        return 0;
    QTextDocument* document = AControl.Document();
    const QTextDocument::FindFlags flags = FlagsOf(AOptions, false);
    QTextCursor from = AControl.Cursor();
    // A place already selected is the first to be asked about.
    from.setPosition(from.selectionStart());
    int replaced = 0;
    for (;;) {
        QTextCursor found = document->find(AOptions.Text, from, flags);
        if (found.isNull())
            break;
        AControl.SetCursor(found);
        const TPromptAnswer answer = FPrompts->AskYesNoCancel(
            TPromptKind::Confirmation,
            TranslatedMessage(KTextDialogReplaceTextContinue, ReplaceVars(AOptions, AReplacement)));
        if (answer == TPromptAnswer::Cancel)
            break;
        if (answer == TPromptAnswer::Yes) {
            found.insertText(AReplacement);
            ++replaced;
        }
        // Past the place (or its replacement), so a replacement holding the text is not met.
        from = found;
        from.clearSelection();
    }
    return replaced;
}

int TTextSearch::ReplaceAll(const TTextControl& AControl, const TTextSearchOptions& AOptions,
                            const QString& AReplacement) const {
    if (!AControl.Exists() || AControl.ReadOnly() || AOptions.Text.isEmpty())
        return 0;
    QTextDocument* document = AControl.Document();
    const QTextDocument::FindFlags flags = FlagsOf(AOptions, false);
    QTextCursor edit(document);
    edit.beginEditBlock();
    QTextCursor from(document);
    int replaced = 0;
    for (;;) {
        QTextCursor found = document->find(AOptions.Text, from, flags);
        if (found.isNull())
            break;
        found.insertText(AReplacement);
        ++replaced;
        from = found;
        from.clearSelection();
    }
    edit.endEditBlock();
    if (FPrompts != nullptr) {
        TqvlgDynVars vars = ReplaceVars(AOptions, AReplacement);
        vars.append({QStringLiteral("dynDialogReplaceCount"), QString::number(replaced)});
        FPrompts->ShowMessage(TPromptKind::Information,
                              TranslatedMessage(KTextDialogReplaceTextAllDone, vars));
    }
    return replaced;
}
