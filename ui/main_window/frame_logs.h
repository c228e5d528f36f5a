#pragma once

#include <QWidget>

#include <functional>
#include <optional>

#include "batch/batch_log.h"
#include "ui/translation/language_assistants.h"

class QLineEdit;
class QPlainTextEdit;
class QTreeWidget;
class QTreeWidgetItem;

// The Logs page: the tree of "Misc" and "Batches" with their log files, the selected file's path
// and a read-only viewer of its text.
class TFrameLogs : public QWidget {
public:
    // AModel lists the log folders' files; it is asked again on every refresh.
    explicit TFrameLogs(std::function<TLogsPageModel()> AModel, QWidget* AParent = nullptr);

    // Lists the folders again, keeping the selected file selected while it exists, or selecting
    // ASelectPath (such as the log a batch just wrote) when it is listed.
    void Refresh(const QString& ASelectPath = QString());

    // Shows the roots' captions in the chosen language (no new listing).
    void ShowRootCaptions();

    // The captions of the tree's two roots, translated with the page.
    TqvlgStoredString FStrMisc{QStringLiteral("strLogsRootMisc"), QStringLiteral("Misc")};
    TqvlgStoredString FStrBatches{QStringLiteral("strLogsRootBatches"), QStringLiteral("Batches")};

private:
    void ShowSelected();
    void Select(TLogsPageModel::TRef ARef);

    std::function<TLogsPageModel()> FModelSource;
    std::optional<TLogsPageModel> FModel;
    QTreeWidget* FTree;
    QLineEdit* FPath;
    QPlainTextEdit* FViewer;
};
