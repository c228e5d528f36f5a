#pragma once

#include <QString>
#include <QStringList>

struct TAppParams {
    QString BeginProjectPath;      // a project named with ":" that exists as a file
    bool HideAppGUI = false;       // "-hide"
    bool ExitAppWhenDone = false;  // "-exit"
};

// The desktop program's exit code when another instance runs and a project named on its command
// line was therefore not run. The exit codes of a project that ran are those of a headless run.
inline constexpr int KExitOtherInstanceRunning = 5;

// Reads the program's arguments (without the program name) in order; later ones override
// earlier ones. Each argument is trimmed first.
TAppParams ReadCommandLine(const QStringList& AArguments);
