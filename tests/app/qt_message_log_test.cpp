#include "app/qt_message_log.h"

#include <QLoggingCategory>

#include <gtest/gtest.h>

#include "app/program_log.h"

namespace {

Q_LOGGING_CATEGORY(KTestCategory, "plovane.test")

QStringList Lines(const TqvLogging& ALog, const QString& APrefix) {
    QStringList out;
    for (const QString& line : ALog.PendingLines())
        if (line.startsWith(APrefix))
            out << line;
    return out;
}

QStringList GSeenByPrevious;
void PreviousHandler(QtMsgType, const QMessageLogContext&, const QString& AMessage) {
    GSeenByPrevious << AMessage;
}

}  // namespace

// What Qt says before the program log exists (the application object's own warnings, say) is
// not lost: it is written once the log is attached. Debug chatter stays out of the log, and the
// handler that was there before is back afterwards.
TEST(QtMessageLog, EarlyWarningsReachTheLogOnceAttachedAndThePreviousHandlerReturns) {
    const QtMessageHandler before = qInstallMessageHandler(PreviousHandler);
    TqvLogging log;  // no file: the entries stay pending, to be read here
    {
        TQtMessageLog messages(true);
        qWarning("before the log");
        qDebug("chatter");
        EXPECT_TRUE(log.PendingLines().isEmpty());
        const TQtMessageLogAttachment attachment(messages, log);
        qCritical("with the log");
        qCWarning(KTestCategory, "in a category");
    }
    qWarning("after");
    qInstallMessageHandler(before);

    EXPECT_EQ(Lines(log, QStringLiteral("ID: ")),
              QStringList({QStringLiteral("ID: QtWarningMsg"), QStringLiteral("ID: QtCriticalMsg"),
                           QStringLiteral("ID: QtWarningMsg")}));
    EXPECT_EQ(Lines(log, QStringLiteral("Message: ")),
              QStringList({QStringLiteral("Message: before the log"),
                           QStringLiteral("Message: with the log"),
                           QStringLiteral("Message: plovane.test: in a category")}));
    EXPECT_EQ(GSeenByPrevious, QStringList({QStringLiteral("after")}));
}
