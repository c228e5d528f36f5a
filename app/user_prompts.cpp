#include "app/user_prompts.h"

#include <cstdio>

namespace {
const char* KindLabel(TPromptKind AKind) {
    switch (AKind) {
        case TPromptKind::Information:
            return "Information";
        case TPromptKind::Warning:
            return "Warning";
        case TPromptKind::Error:
            return "Error";
        case TPromptKind::Confirmation:
            return "Question";
    }
    return "";
}
}  // namespace

bool TConsolePrompts::AskYesNo(TPromptKind AKind, const QString& AText) {
    std::fprintf(stderr, "%s: %s [answered: no]\n", KindLabel(AKind), AText.toUtf8().constData());
    return false;
}

TPromptAnswer TConsolePrompts::AskYesNoCancel(TPromptKind AKind, const QString& AText) {
    std::fprintf(stderr, "%s: %s [answered: no]\n", KindLabel(AKind), AText.toUtf8().constData());
    return TPromptAnswer::No;
}

void TConsolePrompts::ShowMessage(TPromptKind AKind, const QString& AText) {
    std::fprintf(stderr, "%s: %s\n", KindLabel(AKind), AText.toUtf8().constData());
}

void TConsolePrompts::OpenUrl(const QUrl&) {}
