#include "app/qt_message_log.h"

#include <QLoggingCategory>
#include <QStandardPaths>

#include <gtest/gtest.h>

#include "app/program_log.h"
#include "tests/support/scoped_env.h"
#include "tests/support/temp_folders.h"

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

// A shell without a login session has no runtime folder; Qt's notice of that is nothing a person
// at a terminal can act on. It reaches the program log, not the terminal, while every other
// warning still reaches both.
TEST(QtMessageLog, MissingRuntimeFolderNoticeStaysOffTheTerminal) {
    TTempFolder temp;
    // Qt makes its stand-in runtime folder below the temp folder: keep it in the test's own.
    const TScopedEnv tmpdir("TMPDIR", temp.Path(QStringLiteral("")).toUtf8());
    const TScopedEnv runtime("XDG_RUNTIME_DIR", QByteArray());
    TqvLogging log;
    {
        TQtMessageLog messages(false);
        const TQtMessageLogAttachment attachment(messages, log);
        ::testing::internal::CaptureStderr();
        // Qt's own lookup says it, not a text made up here.
        QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
        qWarning("another warning");
        const std::string err = ::testing::internal::GetCapturedStderr();
        EXPECT_EQ(err.find("XDG_RUNTIME_DIR"), std::string::npos) << err;
        EXPECT_NE(err.find("another warning"), std::string::npos) << err;
    }
    const QStringList messages = Lines(log, QStringLiteral("Message: "));
    ASSERT_EQ(messages.size(), 2) << messages.join(QLatin1Char('\n')).toStdString();
    EXPECT_TRUE(messages[0].startsWith(
        QStringLiteral("Message: QStandardPaths: XDG_RUNTIME_DIR not set, defaulting to")));
}
