#include "app/user_prompts.h"

#include "app/app_texts.h"
#include "translation/translated_text.h"

namespace {

const TqvlgNativeText& KindLabel(TPromptKind AKind) {
    switch (AKind) {
        case TPromptKind::Information:
            return KTextConsoleInformation;
        case TPromptKind::Warning:
            return KTextConsoleWarning;
        case TPromptKind::Error:
            return KTextConsoleError;
        case TPromptKind::Confirmation:
            break;
    }
    return KTextConsoleQuestion;
}

QString AnsweredNo(TPromptKind AKind, const QString& AText) {
    return ConsoleLine(AKind, AText) + QStringLiteral(" [") +
           TranslatedMessage(KTextConsoleAnsweredNo) + QLatin1Char(']');
}

}  // namespace

void WriteConsole(FILE* AStream, const QString& AText) {
    std::fputs(AText.toUtf8().constData(), AStream);
    std::fflush(AStream);
}

QString ConsoleLine(TPromptKind AKind, const QString& AText) {
    return TranslatedMessage(KindLabel(AKind)) + QStringLiteral(": ") + AText;
}

bool TConsolePrompts::AskYesNo(TPromptKind AKind, const QString& AText) {
    WriteConsole(stderr, AnsweredNo(AKind, AText) + QLatin1Char('\n'));
    return false;
}

TPromptAnswer TConsolePrompts::AskYesNoCancel(TPromptKind AKind, const QString& AText) {
    WriteConsole(stderr, AnsweredNo(AKind, AText) + QLatin1Char('\n'));
    return TPromptAnswer::No;
}

void TConsolePrompts::ShowMessage(TPromptKind AKind, const QString& AText) {
    WriteConsole(stderr, ConsoleLine(AKind, AText) + QLatin1Char('\n'));
}

void TConsolePrompts::OpenUrl(const QUrl&) {}
