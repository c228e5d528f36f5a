#pragma once

#include <QString>

// The project's general settings as a batch reads them when it starts. Folders end with "/".
struct TProjectGeneralSettings {
    QString InputDirPath;
    QString WorkDirPath;
    bool OnlyCopyHandledPaths = true;
    bool DeleteWorkDirFiles = true;
    bool InputDirIsWorkDir = false;
    bool IncludeSubDirs = true;
    int MaxWorkerThreads = 1;  // 1 to 81

    static constexpr int KMinWorkerThreads = 1;
    static constexpr int KMaxWorkerThreads = 81;
};
