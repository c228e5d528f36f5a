// Renders each page of the main window to PNG files for a person to look at: the shipped demo
// project loaded, after one batch of it, in English and then in German.
// Usage: plovane_ui_screenshots OUTPUT_FOLDER
#include <QApplication>
#include <QDir>
#include <QTabWidget>

#include <cstdio>

#include "app/folder_walk.h"
#include "app/module_shared.h"
#include "plugin_host/plugin_descriptor.h"
#include "plugin_host/plugin_property.h"
#include "tests/ui/ui_test_env.h"
#include "ui/modules_editor/frame_program_setup_plugins.h"
#include "ui/text_tools/form_search_text.h"

namespace {

int GrabPages(TFormFront& AWindow, const QDir& AOutput, const QString& ASuffix) {
    auto* pages = AWindow.findChild<QTabWidget*>(QStringLiteral("pcMain"));
    int failures = 0;
    for (int i = 0; i < pages->count(); ++i) {
        pages->setCurrentIndex(i);
        QApplication::processEvents();
        const QString file = AOutput.filePath(
            QStringLiteral("%1_%2%3.png").arg(i).arg(pages->widget(i)->objectName(), ASuffix));
        if (!AWindow.grab().save(file)) {
            std::fprintf(stderr, "Cannot write %s\n", qPrintable(file));
            ++failures;
            continue;
        }
        std::printf("%s\n", qPrintable(file));
    }
    return failures;
}

// The "Project modules" page with a combination selected: at its first choice property, then at
// its information tab.
int GrabModulesPage(TFormFront& AWindow, const QDir& AOutput, const QString& ASuffix) {
    auto* pages = AWindow.findChild<QTabWidget*>(QStringLiteral("pcMain"));
    pages->setCurrentWidget(AWindow.findChild<QWidget*>(QStringLiteral("tsMainProjectModules")));
    TFrameProgramSetupPlugins& modules = AWindow.ModulesFrame();
    const TCombinationList& list = AWindow.Project().Combinations();
    for (int i = 0; i < list.Count(); ++i) {
        const auto& properties = list.At(i).Plugin->FProperties;
        for (std::size_t p = 0; p < properties.size(); ++p) {
            const TVisualPropType kind = properties[p]->FVisualPropType;
            if (kind != vtpChoiceSingle && kind != vtpChoiceMultiple)
                continue;
            int failures = 0;
            const auto grab = [&](const char* AName) {
                QApplication::processEvents();
                const QString file =
                    AOutput.filePath(QStringLiteral("2_tsMainProjectModules_%1%2.png")
                                         .arg(QString::fromLatin1(AName), ASuffix));
                if (AWindow.grab().save(file))
                    std::printf("%s\n", qPrintable(file));
                else
                    ++failures;
            };
            if (!modules.SelectEntry(i) || !modules.SelectTab(static_cast<int>(p) + 1))
                return 1;
            grab("choice");
            if (!modules.SelectTab(0))
                return 1;
            grab("info");
            return failures;
        }
    }
    std::fputs("The demo project has no combination with a choice property.\n", stderr);
    return 1;
}

}  // namespace

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    const QStringList arguments = QApplication::arguments();
    if (arguments.size() != 2) {
        std::fputs("Usage: plovane_ui_screenshots OUTPUT_FOLDER\n", stderr);
        return 64;
    }
    const QDir output(arguments[1]);
    if (!QDir().mkpath(output.absolutePath())) {
        std::fputs("The output folder cannot be created.\n", stderr);
        return 1;
    }
    TUiTestEnvironment env;
    // The demo works on its own folders below the data folder, outside the temp folders that
    // the human safe mode allows.
    env.Module().FProgramOptions->FHumanSafeMode = false;
    const QString demos = env.Module().Folders().DataFolder + QStringLiteral("demos");
    CopyTreeMissing(QStringLiteral(PLOVANE_SOURCE_DIR "/resources/data/demos"), demos,
                    TCopyTreeMode::AlwaysOverwrite);
    QDir().mkpath(demos + QStringLiteral("/website/output"));
    TFormFront& window = env.Window();
    window.Project().LoadProject(demos + QStringLiteral("/website/website.plv"), false);
    if (window.Project().Combinations().Count() == 0) {
        std::fputs("The demo project did not load.\n", stderr);
        return 1;
    }
    window.resize(960, 640);
    window.show();
    window.StartBatch();
    if (!window.LastBatchResult().has_value()) {
        std::fputs("The demo batch did not run.\n", stderr);
        return 1;
    }
    int failures = GrabPages(window, output, QString());
    failures += GrabModulesPage(window, output, QString());
    TFormSearchText replace(true, window.Assistants(), &window);
    replace.show();
    QApplication::processEvents();
    failures +=
        replace.grab().save(output.filePath(QStringLiteral("5_FormReplaceText.png"))) ? 0 : 1;
    window.ChangeLanguage(QStringLiteral("de-de"));
    failures += GrabPages(window, output, QStringLiteral("_de"));
    failures += GrabModulesPage(window, output, QStringLiteral("_de"));
    QApplication::processEvents();
    failures +=
        replace.grab().save(output.filePath(QStringLiteral("5_FormReplaceText_de.png"))) ? 0 : 1;
    return failures == 0 ? 0 : 1;
}
