#include "base/qt_warning_capture.h"

#include <QStringList>

#include <gtest/gtest.h>

#include <mutex>
#include <thread>

namespace {

// What reaches the handler that was there before the capture's: the warnings no capture took.
std::mutex GPassedLock;
QStringList GPassed;

void Record(QtMsgType, const QMessageLogContext&, const QString& AMessage) {
    const std::lock_guard lock(GPassedLock);
    GPassed << AMessage;
}

QStringList Passed() {
    const std::lock_guard lock(GPassedLock);
    return GPassed;
}

// The capture's handler is put in front of the one the process has when the first capture is
// made, once per process: this test's recorder.
TEST(QtWarningCapture, WarningsOfTheCapturingThreadAreCaughtAndTheRestPassOn) {
    qInstallMessageHandler(Record);
    {
        const TQtWarningCapture outer;
        qWarning("outer one");
        {
            const TQtWarningCapture inner;
            qWarning("inner one");
            qCritical("inner critical");
            // Chatter is no problem to report.
            qInfo("inner info");
            // Another thread's warning belongs to that thread's work, not to this capture.
            std::thread([] { qWarning("other thread"); }).join();
            EXPECT_EQ(inner.Warnings(),
                      (QStringList{QStringLiteral("inner one"), QStringLiteral("inner critical")}));
        }
        qWarning("outer two");
        EXPECT_EQ(outer.Warnings(),
                  (QStringList{QStringLiteral("outer one"), QStringLiteral("outer two")}));
    }
    qWarning("after");
    EXPECT_EQ(Passed(), (QStringList{QStringLiteral("inner info"), QStringLiteral("other thread"),
                                     QStringLiteral("after")}));
}

}  // namespace
