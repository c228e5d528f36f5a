#include "app/program_log.h"

#include <QDateTime>
#include <QFile>
#include <QLocale>
#include <QUrl>
#include <QUrlQuery>

#include <cstdio>

#include "app/user_prompts.h"
#include "base/exceptions.h"
#include "platform/process_info.h"
#include "translation/builtin_texts.h"
#include "translation/translated_text.h"

namespace {
const QString KSupportPage = QStringLiteral("https://www.kestrin.example/support/error/");
const QString KProductName = QStringLiteral("Plovane");

bool Given(const std::optional<QString>& AText) {
    return AText.has_value() && !AText->isEmpty();
}
}  // namespace

TqvLogging::TqvLogging()
    : FClock([] { return QDateTime::currentDateTime(); }),
      FMainThread(std::this_thread::get_id()),
      FMainThreadNativeId(CurrentThreadId()) {}

void TqvLogging::SetClock(std::function<QDateTime()> AClock) {
    FClock = std::move(AClock);
}

void TqvLogging::SetMainThread(std::thread::id AId, std::int64_t ANativeId) {
    FMainThread = AId;
    FMainThreadNativeId = ANativeId;
}

bool TqvLogging::OnMainThread() const {
    return std::this_thread::get_id() == FMainThread;
}

QStringList TqvLogging::BuildEntry(int ALastError, const TLogSender* ASender,
                                   const std::exception* AException,
                                   const std::optional<QString>& AMessage,
                                   const std::optional<QString>& AId) const {
    const int lastError = ALastError;
    const bool hasMessage = Given(AMessage);
    QStringList lines;
    if (AException != nullptr && hasMessage)
        lines << QStringLiteral("--Combined--");
    else if (AException != nullptr)
        lines << QStringLiteral("--Exception--");
    else if (hasMessage)
        lines << QStringLiteral("--Message--");
    else
        lines << QStringLiteral("--Info--");
    const QDateTime now = FClock();
    lines << QStringLiteral("DateTime (ISO): ") +
                 now.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    const QLocale locale = QLocale::system();
    lines << QStringLiteral("DateTime (native): ") +
                 locale.toString(now.date(), QLocale::ShortFormat) + QLatin1Char(' ') +
                 locale.toString(now.time(), QLocale::LongFormat);
    if (ASender != nullptr) {
        if (!ASender->ClassName.isEmpty())
            lines << QStringLiteral("Sender Class Name: ") + ASender->ClassName;
        if (!ASender->Name.isEmpty())
            lines << QStringLiteral("Sender Name: ") + ASender->Name;
    }
    lines << QStringLiteral("Last Windows Error: ") + QString::number(lastError) +
                 QStringLiteral(" (\"") + SystemErrorText(lastError) + QStringLiteral("\")");
    lines << QStringLiteral("Current Process ID: ") + QString::number(CurrentProcessId());
    lines << QStringLiteral("Current Thread ID: ") + QString::number(CurrentThreadId());
    lines << QStringLiteral("Main Thread ID: ") + QString::number(FMainThreadNativeId);
    lines << QStringLiteral("Current Work Directory: ") + CurrentWorkDirectory();
    if (Given(AId))
        lines << QStringLiteral("ID: ") + *AId;
    if (hasMessage)
        lines << QStringLiteral("Message: ") + *AMessage;
    if (AException != nullptr) {
        lines << QStringLiteral("Exception Class Name: ") + ExceptionClassName(*AException);
        lines << QStringLiteral("Exception Message: ") + ExceptionMessage(*AException);
    }
    lines << QString();
    return lines;
}

void TqvLogging::Log(const TLogSender* ASender, const std::exception* AException,
                     const std::optional<QString>& ACustomMessage,
                     const std::optional<QString>& ACustomID) {
    // The system error first, before anything below can change it.
    const int lastError = LastSystemErrorCode();
    try {
        // Built under the lock: the clock's local time and the date texts go through the C
        // library's time-zone set-up, which is not safe from several threads at once.
        const std::lock_guard lock(FCS_ThreadSafeLog);
        FLogStrings << BuildEntry(lastError, ASender, AException, ACustomMessage, ACustomID);
        if (FAutoSaveLog && !FLogFileName.isEmpty())
            SaveLocked();
    } catch (...) {
        // Logging must never raise into its caller; the entry is lost, so say so on stderr.
        std::fputs("Plovane: a program log entry could not be built.\n", stderr);
    }
}

void TqvLogging::Flush() {
    const std::lock_guard lock(FCS_ThreadSafeLog);
    if (!FLogFileName.isEmpty())
        SaveLocked();
}

void TqvLogging::SaveLocked() {
    QByteArray bytes;
    for (const QString& line : std::as_const(FLogStrings)) {
        bytes += line.toUtf8();
        bytes += "\r\n";
    }
    QFile file(FLogFileName);
    // Appending never reads the earlier entries, so a log that cannot be read is never lost.
    const QIODevice::OpenMode mode = FWriteLogCumulative
                                         ? (QIODevice::WriteOnly | QIODevice::Append)
                                         : (QIODevice::WriteOnly | QIODevice::Truncate);
    const bool written = file.open(mode) && file.write(bytes) == bytes.size() && file.flush();
    // Told once until a save works again: a full disk would otherwise repeat it for every
    // entry.
    if (!written && !FSaveFailing)
        std::fprintf(stderr,
                     "Plovane: cannot write the program log %s: %s (told once; later entries "
                     "are lost until it can be written again)\n",
                     FLogFileName.toUtf8().constData(), file.errorString().toUtf8().constData());
    FSaveFailing = !written;
    // As documented, the pending lines are dropped either way.
    FLogStrings.clear();
}

QStringList TqvLogging::PendingLines() const {
    const std::lock_guard lock(FCS_ThreadSafeLog);
    return FLogStrings;
}

QString TqvLogging::Text(const QString& AKey, const QString& ADefault) const {
    if (FTextLookup)
        return FTextLookup(AKey, ADefault);
    for (const TqvlgNativeText* text :
         {&KTextErrorOccuredDetails, &KTextOpenBrowserMoreInfo, &KTextProblemViewDetails})
        if (text->Key == AKey)
            return TranslatedMessage(*text);
    return ADefault;
}

QUrl TqvLogging::SupportUrl(const QString& AErrorClass, const QString& AMessage) {
    QString message = AMessage;
    message.replace(QStringLiteral("\r\n"), QStringLiteral(" "));
    message.replace(QLatin1Char('\r'), QLatin1Char(' '));
    message.replace(QLatin1Char('\n'), QLatin1Char(' '));
    while (message.contains(QStringLiteral("  ")))
        message.replace(QStringLiteral("  "), QStringLiteral(" "));
    message.replace(QLatin1Char('?'), QStringLiteral("[Question]"));
    message.replace(QLatin1Char('&'), QStringLiteral("[And]"));
    QUrlQuery query;
    query.addQueryItem(QStringLiteral("pn"), KProductName);
    query.addQueryItem(QStringLiteral("pv"), QStringLiteral(PLOVANE_VERSION_STRING));
    query.addQueryItem(QStringLiteral("ec"), AErrorClass);
    if (!AMessage.isNull())
        query.addQueryItem(QStringLiteral("em"), message);
    QUrl url(KSupportPage);
    url.setQuery(query);
    return url;
}

void TqvLogging::HandleErrorException(const TLogSender* ASenderObj, const std::exception& E) {
    Log(ASenderObj, &E);
    if (!OnMainThread() || FPrompts == nullptr)
        return;
    // A harmless error of date pickers that the stream reader reports.
    if (ASenderObj != nullptr && ASenderObj->ClassName.contains(QStringLiteral("DateTimePicker")) &&
        ExceptionMessage(E).contains(QStringLiteral("Failed to set calendar date or time")))
        return;
    QString text = Text(QStringLiteral("ErrorOccuredDetails"), QStringLiteral("Error occured"));
    const QString message = ExceptionMessage(E);
    if (!message.isEmpty())
        text += QStringLiteral(": \"") + message + QLatin1Char('"');
    text +=
        QStringLiteral("\r\n\r\n") + Text(QStringLiteral("OpenBrowserMoreInfo"),
                                          QStringLiteral("Open browser to view more information?"));
    if (FPrompts->AskYesNo(TPromptKind::Error, text))
        FPrompts->OpenUrl(SupportUrl(ExceptionClassName(E), message));
}

void TqvLogging::HandleErrorGeneral(const QString& AName) {
    if (FPrompts == nullptr)
        return;
    const QString text = Text(QStringLiteral("ProblemViewDetails"),
                              QStringLiteral("Problem occured. View details?"));
    if (FPrompts->AskYesNo(TPromptKind::Error, text))
        FPrompts->OpenUrl(SupportUrl(AName, QString()));
}
