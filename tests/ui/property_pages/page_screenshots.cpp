// Renders the grid and file property pages, open in the main window's combination editor, to
// PNG files for a person to look at.
// Usage: plovane_property_page_screenshots OUTPUT_FOLDER
#include <QApplication>
#include <QDir>
#include <QSplitter>
#include <QTabWidget>

#include <cstdio>

#include "plugin_host/plugin_descriptor.h"
#include "tests/ui/ui_test_env.h"
#include "ui/modules_editor/frame_program_setup_plugins.h"
#include "ui/property_pages/frame_plugins_setup_option_file.h"
#include "ui/property_pages/frame_plugins_setup_option_grid.h"
#include "ui/text_tools/file_document_editor.h"

namespace {

bool OpenTab(TFrameProgramSetupPlugins& AModules, const QString& APropName) {
    TPluginStoredLibInfo* plugin = AModules.SessionPlugin();
    const int index = plugin != nullptr ? plugin->GetPropNameIndex(APropName, false, {}) : -1;
    return index >= 0 && AModules.SelectTab(index + 1);
}

bool Grab(QWidget& AWindow, const QDir& AOutput, const QString& AName) {
    QApplication::processEvents();
    const QString file = AOutput.filePath(AName);
    if (!AWindow.grab().save(file)) {
        std::fprintf(stderr, "Cannot write %s\n", qPrintable(file));
        return false;
    }
    std::printf("%s\n", qPrintable(file));
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    const QStringList arguments = QApplication::arguments();
    if (arguments.size() != 2) {
        std::fputs("Usage: plovane_property_page_screenshots OUTPUT_FOLDER\n", stderr);
        return 64;
    }
    const QDir output(arguments[1]);
    if (!QDir().mkpath(output.absolutePath())) {
        std::fputs("The output folder cannot be created.\n", stderr);
        return 1;
    }
    TUiTestEnvironment env;
    TFormFront& window = env.Window();
    if (!env.AddCombination(QStringLiteral("*.htm"), QStringLiteral("zq_kestrin_TextReplacer"))) {
        std::fputs("The text replacer is missing.\n", stderr);
        return 1;
    }
    window.resize(960, 640);
    window.show();
    window.findChild<QTabWidget*>(QStringLiteral("pcMain"))
        ->setCurrentWidget(window.findChild<QWidget*>(QStringLiteral("tsMainProjectModules")));
    TFrameProgramSetupPlugins& modules = window.ModulesFrame();
    modules.ShowCombinations();
    // The page above the help panel gets most of the height, as a user would drag it.
    for (QSplitter* splitter : modules.findChildren<QSplitter*>())
        if (splitter->orientation() == Qt::Vertical)
            splitter->setSizes({380, 140});
    if (!modules.SelectEntry(0) || !OpenTab(modules, QStringLiteral("Simple"))) {
        std::fputs("The grid page did not open.\n", stderr);
        return 1;
    }
    if (auto* grid = dynamic_cast<TFramePluginsSetupOptionGrid*>(modules.OpenPage())) {
        grid->Grid()->SetRows(
            {{QStringLiteral("True"), QStringLiteral("Copyright 2024"),
              QStringLiteral("Copyright 2026")},
             {QStringLiteral("False"), QStringLiteral("<b>"), QStringLiteral("<strong>")},
             {QStringLiteral("False"), QStringLiteral("</b>"), QStringLiteral("</strong>")}});
        grid->Grid()->SelectCell(1, 1);
    }
    int failures = Grab(window, output, QStringLiteral("6_PropertyPageGrid.png")) ? 0 : 1;
    if (!OpenTab(modules, QStringLiteral("General"))) {
        std::fputs("The file page did not open.\n", stderr);
        return 1;
    }
    if (auto* file = dynamic_cast<TFramePluginsSetupOptionFile*>(modules.OpenPage()))
        file->Editor()->SetCaretPosition(
            static_cast<int>(file->Editor()->DocumentText().indexOf(QStringLiteral("[Escape"))));
    failures += Grab(window, output, QStringLiteral("7_PropertyPageFile.png")) ? 0 : 1;
    return failures == 0 ? 0 : 1;
}
