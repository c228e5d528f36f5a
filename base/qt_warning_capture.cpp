#include "base/qt_warning_capture.h"

#include <atomic>
#include <mutex>

namespace {

thread_local TQtWarningCapture* GCurrent = nullptr;
std::atomic<QtMessageHandler> GPrevious = nullptr;

void Handler(QtMsgType AType, const QMessageLogContext& AContext, const QString& AMessage) {
    if (CaptureQtWarning(AType, AContext, AMessage))
        return;
    if (const QtMessageHandler previous = GPrevious.load(); previous != nullptr)
        previous(AType, AContext, AMessage);
}

// Installed once, in front of whatever handler the process had then. A handler installed later
// (the program log's) asks CaptureQtWarning itself.
void EnsureInstalled() {
    static std::once_flag once;
    std::call_once(once, [] { GPrevious = qInstallMessageHandler(Handler); });
}

}  // namespace

TQtWarningCapture::TQtWarningCapture() : FOuter(GCurrent) {
    EnsureInstalled();
    GCurrent = this;
}

TQtWarningCapture::~TQtWarningCapture() {
    GCurrent = FOuter;
}

bool CaptureQtWarning(QtMsgType AType, const QMessageLogContext&, const QString& AMessage) {
    if (GCurrent == nullptr || (AType != QtWarningMsg && AType != QtCriticalMsg))
        return false;
    GCurrent->FWarnings << AMessage;
    return true;
}
