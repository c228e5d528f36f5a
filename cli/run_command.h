#pragma once

#include <QStringList>

class TQtMessageLog;

// plovane-run: follows its command line (arguments without the program name) and returns the
// exit code. Qt's own messages go where AQtMessages sends them; the program log is attached to
// it while the application module lives.
int RunCommandLine(const QStringList& AArguments, TQtMessageLog& AQtMessages);
