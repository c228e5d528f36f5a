// Renders the options dialog to PNG files for a person to look at: its General page with the
// help of the focused control, in English and then in German.
// Usage: plovane_ui_options_screenshots OUTPUT_FOLDER
#include <QApplication>
#include <QDir>
#include <QTabWidget>

#include <cstdio>
#include <memory>

#include "app/module_shared.h"
#include "tests/ui/ui_test_env.h"
#include "ui/options/form_options.h"

namespace {

int Grab(TUiTestEnvironment& AEnv, const QDir& AOutput, const QString& AName) {
    TFormOptionsSetup setup;
    setup.Module = &AEnv.Module();
    setup.Assistants = &AEnv.Window().Assistants();
    TFormOptions dialog(std::move(setup), &AEnv.Window());
    dialog.show();
    QApplication::setActiveWindow(&dialog);
    QApplication::processEvents();
    const QString file = AOutput.filePath(AName);
    const bool saved = dialog.grab().save(file);
    dialog.reject();
    if (!saved) {
        std::fprintf(stderr, "Cannot write %s\n", qPrintable(file));
        return 1;
    }
    std::printf("%s\n", qPrintable(file));
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    const QStringList arguments = QApplication::arguments();
    if (arguments.size() != 2) {
        std::fputs("Usage: plovane_ui_options_screenshots OUTPUT_FOLDER\n", stderr);
        return 64;
    }
    const QDir output(arguments[1]);
    if (!QDir().mkpath(output.absolutePath())) {
        std::fputs("The output folder cannot be created.\n", stderr);
        return 1;
    }
    TUiTestEnvironment env;
    TProgramOptions& options = *env.Module().FProgramOptions;
    options.FProjectUserDefaultPath =
        env.Module().Folders().ProjectsFolder + QStringLiteral("default.plv");
    env.Window().resize(960, 640);
    env.Window().show();
    int failures = Grab(env, output, QStringLiteral("6_FormOptions.png"));
    env.Window().ChangeLanguage(QStringLiteral("de-de"));
    failures += Grab(env, output, QStringLiteral("6_FormOptions_de.png"));
    return failures == 0 ? 0 : 1;
}
