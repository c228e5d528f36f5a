#include "ui/main_window/frame_project_info.h"

#include <QFormLayout>
#include <QLabel>
#include <QLocale>

#include "app/program_options.h"
#include "translation/translated_text.h"
#include "ui/main_window/front_texts.h"

namespace {

QLabel* NamedLabel(const QString& AName, const QString& AText, QWidget* AParent) {
    auto* label = new QLabel(AText, AParent);
    label->setObjectName(AName);
    return label;
}

QString DateText(const QDateTime& ADate) {
    return ADate.isValid() ? QLocale().toString(ADate, QLocale::ShortFormat) : QString();
}

}  // namespace

TFrameProjectInfo::TFrameProjectInfo(QWidget* AParent) : QWidget(AParent) {
    setObjectName(QStringLiteral("FrameProjectInfo"));
    FPath = NamedLabel(QStringLiteral("lblProjectPathValue"), QString(), this);
    FPath->setWordWrap(true);
    FVersion = NamedLabel(QStringLiteral("lblProjectVersionValue"), QString(), this);
    FCreated = NamedLabel(QStringLiteral("lblProjectCreatedValue"), QString(), this);
    FModified = NamedLabel(QStringLiteral("lblProjectModifiedValue"), QString(), this);
    for (QLabel* value : {FPath, FVersion, FCreated, FModified})
        value->setTextInteractionFlags(Qt::TextSelectableByMouse);
    auto* form = new QFormLayout(this);
    form->addRow(NamedLabel(QStringLiteral("lblProjectPath"), QStringLiteral("Project:"), this),
                 FPath);
    form->addRow(NamedLabel(QStringLiteral("lblProjectVersion"),
                            QStringLiteral("Saved with version:"), this),
                 FVersion);
    form->addRow(NamedLabel(QStringLiteral("lblProjectCreated"), QStringLiteral("Created:"), this),
                 FCreated);
    form->addRow(
        NamedLabel(QStringLiteral("lblProjectModified"), QStringLiteral("Last modified:"), this),
        FModified);
}

void TFrameProjectInfo::ShowProject(const QString& AFilePath, const TProgramOptions& AOptions) {
    FPath->setText(AFilePath.isEmpty() ? TranslatedMessage(KTextProjectInfoNoProject) : AFilePath);
    FVersion->setText(AOptions.FProjectData_SavedVersion);
    FCreated->setText(DateText(AOptions.FProjectData_CreatedDT));
    FModified->setText(DateText(AOptions.FProjectData_ModifiedDT));
}
