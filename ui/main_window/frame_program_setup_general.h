#pragma once

#include <QWidget>

#include <functional>

#include "batch/project_settings.h"

class QCheckBox;
class QLineEdit;
class QPushButton;
class TThreadCountControl;

// The project settings page: input and work folders, the switches and the maximum of worker
// threads. It only shows and edits; the project controller holds the settings.
class TFrameProgramSetupGeneral : public QWidget {
public:
    // Asks for a folder (caption, folder to start in); empty when the user cancels.
    using TFolderChooser = std::function<QString(const QString& ACaption, const QString& AStart)>;

    explicit TFrameProgramSetupGeneral(TFolderChooser AChooseFolder, QWidget* AParent = nullptr);

    // Shows settings without reporting them as edited.
    void ShowSettings(const TProjectGeneralSettings& ASettings);
    // What the page shows, the thread count clamped to its range.
    TProjectGeneralSettings Settings() const;
    // Applies a half-typed thread count, as leaving its edit would.
    void CommitEdits();

    // Every edit the user makes.
    std::function<void()> OnEdited;

private:
    void ChooseFolder(QLineEdit* AEdit, const QString& ACaption);
    void UpdateEnabling();
    void Edited();

    TFolderChooser FChooseFolder;
    QLineEdit* FInputDir;
    QPushButton* FInputDirChoose;
    QLineEdit* FWorkDir;
    QPushButton* FWorkDirChoose;
    QCheckBox* FOnlyCopyBatchedPaths;
    QCheckBox* FDeleteWorkFiles;
    QCheckBox* FMakeInputWorkSame;
    QCheckBox* FIncludeSubDirs;
    TThreadCountControl* FMaxWorkerThreads;
    bool FShowing = false;
};
