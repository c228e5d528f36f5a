#pragma once

#include <QString>

class QProcess;

// What a program run as a test's child process left: its exit code (-1 when it did not end
// normally) and its output.
struct TProcessRun {
    int ExitCode = -1;
    QString Out;
    QString Err;
};

// QProcess wants an application object. The one made here is never destroyed: destroying it at
// exit races Qt's own static clean-up.
void EnsureCoreApplication();

// Waits for a started process (two minutes at most, a failure of the test when it takes longer)
// and collects what it left.
TProcessRun FinishProcess(QProcess& AProcess);
