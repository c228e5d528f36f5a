#include "cli/progress_view.h"

#include "app/user_prompts.h"
#include "cli/run_texts.h"
#include "translation/translated_text.h"

namespace {

constexpr int KBarWidth = 30;
constexpr qint64 KLineEveryMs = 2000;

QString Elapsed(qint64 AMs) {
    const qint64 seconds = AMs / 1000;
    return QStringLiteral("%1:%2:%3")
        .arg(seconds / 3600, 2, 10, QLatin1Char('0'))
        .arg((seconds / 60) % 60, 2, 10, QLatin1Char('0'))
        .arg(seconds % 60, 2, 10, QLatin1Char('0'));
}

}  // namespace

TTerminalProgressView::TTerminalProgressView(bool AQuiet, bool ATerminal, FILE* AProgressStream)
    : FQuiet(AQuiet), FTerminal(ATerminal), FStream(AProgressStream) {}

void TTerminalProgressView::BatchStarting() {
    FTimer.start();
    FInterrupt.emplace(KExitInterrupted);
}

void TTerminalProgressView::Progress(int AMax, int APosition) {
    const std::lock_guard lock(FLock);
    FMax = AMax;
    FPosition = APosition;
}

void TTerminalProgressView::Print(const QString& AText) {
    WriteConsole(FStream, AText);
}

void TTerminalProgressView::Draw() {
    int max = 0;
    int position = 0;
    {
        const std::lock_guard lock(FLock);
        max = FMax;
        position = FPosition;
    }
    const qint64 ms = FTimer.elapsed();
    const TqvlgDynVars vars = {{QStringLiteral("dynItemsDone"), QString::number(position)},
                               {QStringLiteral("dynPathsToDo"), QString::number(max)},
                               {QStringLiteral("dynTimeUsed"), Elapsed(ms)}};
    if (FTerminal) {
        const int filled = max > 0 ? std::min(KBarWidth, position * KBarWidth / max) : 0;
        Print(QStringLiteral("\r[") + QString(filled, QLatin1Char('#')) +
              QString(KBarWidth - filled, QLatin1Char('.')) + QStringLiteral("] ") +
              TranslatedMessage(KTextRunProgressBar, vars) + QLatin1Char(' '));
        FDrew = true;
    } else if (ms - FLastLine >= KLineEveryMs) {
        FLastLine = ms;
        Print(TranslatedMessage(KTextRunProgressLine, vars) + QLatin1Char('\n'));
    }
}

void TTerminalProgressView::WaitTick() {
    if (!FQuiet)
        Draw();
}

bool TTerminalProgressView::StopRequested() {
    return FInterrupt && FInterrupt->Requested();
}

void TTerminalProgressView::StopPassedOn() {
    if (!FQuiet)
        Print(QLatin1Char('\n') + TranslatedMessage(KTextRunStopping) + QLatin1Char('\n'));
}

void TTerminalProgressView::BatchEnded() {
    FInterrupt.reset();
    if (!FQuiet && FTerminal && FDrew) {
        Draw();
        Print(QStringLiteral("\n"));
    }
}
