#pragma once

#include <QWidget>

class QLabel;
class TProgramOptions;

// The project info page: the project's file, its saved-with version and its dates.
class TFrameProjectInfo : public QWidget {
public:
    explicit TFrameProjectInfo(QWidget* AParent = nullptr);
    // AFilePath empty: no project file is open.
    void ShowProject(const QString& AFilePath, const TProgramOptions& AOptions);

private:
    QLabel* FPath;
    QLabel* FVersion;
    QLabel* FCreated;
    QLabel* FModified;
};
