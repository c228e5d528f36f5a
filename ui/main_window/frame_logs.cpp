#include "ui/main_window/frame_logs.h"

#include <QHeaderView>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QSplitter>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "base/exceptions.h"

namespace {

// Where a tree item sits in the model.
constexpr int KRootRole = Qt::UserRole;
constexpr int KFileRole = Qt::UserRole + 1;

TLogsPageModel::TRef RefOf(const QTreeWidgetItem* AItem) {
    if (AItem == nullptr)
        return {};
    return {AItem->data(0, KRootRole).toInt(), AItem->data(0, KFileRole).toInt()};
}

}  // namespace

TFrameLogs::TFrameLogs(std::function<TLogsPageModel()> AModel, QWidget* AParent)
    : QWidget(AParent), FModelSource(std::move(AModel)) {
    setObjectName(QStringLiteral("FrameLogs"));
    FTree = new QTreeWidget(this);
    FTree->setObjectName(QStringLiteral("tvLogs"));
    FTree->setHeaderHidden(true);
    FTree->setColumnCount(1);
    // Long log names scroll instead of being cut.
    FTree->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    FTree->header()->setStretchLastSection(false);
    FPath = new QLineEdit(this);
    FPath->setObjectName(QStringLiteral("edtLogFilePath"));
    FPath->setReadOnly(true);
    FViewer = new QPlainTextEdit(this);
    FViewer->setObjectName(QStringLiteral("memLogView"));
    FViewer->setReadOnly(true);
    FViewer->setLineWrapMode(QPlainTextEdit::NoWrap);

    auto* right = new QWidget(this);
    auto* rightLayout = new QVBoxLayout(right);
    rightLayout->setContentsMargins(0, 0, 0, 0);
    rightLayout->addWidget(FPath);
    rightLayout->addWidget(FViewer, 1);
    auto* splitter = new QSplitter(Qt::Horizontal, this);
    splitter->addWidget(FTree);
    splitter->addWidget(right);
    splitter->setStretchFactor(1, 3);
    splitter->setSizes({280, 620});
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(splitter);

    connect(FTree, &QTreeWidget::currentItemChanged, this, [this] { ShowSelected(); });
    Refresh();
}

void TFrameLogs::Refresh(const QString& ASelectPath) {
    const QString selectedPath = ASelectPath.isEmpty() ? FPath->text() : ASelectPath;
    FModel = FModelSource();
    {
        const QSignalBlocker block(FTree);
        FTree->clear();
        const auto& roots = FModel->Roots();
        for (int r = 0; r < static_cast<int>(roots.size()); ++r) {
            auto* rootItem = new QTreeWidgetItem(FTree, QStringList{roots[r].Node.Caption});
            rootItem->setData(0, KRootRole, r);
            rootItem->setData(0, KFileRole, -1);
            for (int f = 0; f < static_cast<int>(roots[r].Files.size()); ++f) {
                auto* fileItem =
                    new QTreeWidgetItem(rootItem, QStringList{roots[r].Files[f].Caption});
                fileItem->setData(0, KRootRole, r);
                fileItem->setData(0, KFileRole, f);
            }
            rootItem->setExpanded(true);
        }
        ShowRootCaptions();
    }
    // The file that was shown stays shown (with its new text); else the model's first choice.
    TLogsPageModel::TRef selection = FModel->InitialSelection();
    const auto& roots = FModel->Roots();
    for (int r = 0; !selectedPath.isEmpty() && r < static_cast<int>(roots.size()); ++r)
        for (int f = 0; f < static_cast<int>(roots[r].Files.size()); ++f)
            if (roots[r].Files[f].FullPath == selectedPath)
                selection = {r, f};
    Select(selection);
}

void TFrameLogs::ShowRootCaptions() {
    // The model's roots are "Misc" and then "Batches".
    const TqvlgStoredString* captions[] = {&FStrMisc, &FStrBatches};
    for (int r = 0; r < FTree->topLevelItemCount() && r < 2; ++r)
        FTree->topLevelItem(r)->setText(0, captions[r]->Str());
}

void TFrameLogs::Select(TLogsPageModel::TRef ARef) {
    QTreeWidgetItem* item = nullptr;
    if (ARef.Root >= 0 && ARef.Root < FTree->topLevelItemCount()) {
        item = FTree->topLevelItem(ARef.Root);
        if (ARef.File >= 0 && ARef.File < item->childCount())
            item = item->child(ARef.File);
    }
    FTree->setCurrentItem(item);
    // setCurrentItem reports nothing when the item was already current before the refresh.
    ShowSelected();
}

void TFrameLogs::ShowSelected() {
    const TLogsPageModel::TRef ref = RefOf(FTree->currentItem());
    if (!FModel || !FModel->IsValid(ref)) {
        FPath->clear();
        FViewer->clear();
        return;
    }
    FPath->setText(FModel->FullPath(ref));
    try {
        FViewer->setPlainText(FModel->LoadText(ref));
    } catch (const std::exception& e) {
        // A log pruned or unreadable since it was listed: the viewer says why it is empty.
        FViewer->setPlainText(ExceptionMessage(e));
    }
}
