#pragma once

#include <QString>
#include <QStringList>
#include <QtMessageHandler>

// Collects the warnings Qt gives on this thread while it lives, instead of letting them go on
// to the process's message handler. Some Qt calls tell a problem only as a warning (an image
// decoder that hands back a partly grey picture from a cut-off file), and a warning that goes
// to the program log cannot be told apart from those of other files decoded at the same time:
// caught here, it can be reported with the file it belongs to. Captures nest; the innermost
// takes the warnings.
class TQtWarningCapture {
public:
    TQtWarningCapture();
    ~TQtWarningCapture();
    TQtWarningCapture(const TQtWarningCapture&) = delete;
    TQtWarningCapture& operator=(const TQtWarningCapture&) = delete;

    // The warnings (and critical messages) caught so far, in the order they came.
    const QStringList& Warnings() const { return FWarnings; }

private:
    friend bool CaptureQtWarning(QtMsgType, const QMessageLogContext&, const QString&);
    TQtWarningCapture* FOuter;
    QStringList FWarnings;
};

// For a process-wide message handler, asked first: gives a warning to the capture of the
// calling thread; true when one took it (the handler then does nothing more with it).
bool CaptureQtWarning(QtMsgType AType, const QMessageLogContext& AContext, const QString& AMessage);
