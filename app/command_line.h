#pragma once

#include <QString>
#include <QStringList>

struct TAppParams {
    QString BeginProjectPath;      // a project named with ":" that exists as a file
    bool HideAppGUI = false;       // "-hide"
    bool ExitAppWhenDone = false;  // "-exit"
};

// Reads the program's arguments (without the program name) in order; later ones override
// earlier ones. Each argument is trimmed first.
TAppParams ReadCommandLine(const QStringList& AArguments);
