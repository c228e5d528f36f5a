#pragma once

#include <QByteArray>
#include <QString>

#include <vector>

// Files a user may open as a project by mistake or find damaged: things that are no project at
// all and project files whose module configuration is broken. Loading any of them must fail with
// a message that names the file and contains Expected.
struct TGarbledProject {
    const char* Name;
    QByteArray Bytes;
    QString Expected;
};

std::vector<TGarbledProject> GarbledProjectFiles();
