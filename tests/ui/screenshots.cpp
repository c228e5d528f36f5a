// Renders each page of the main window to a PNG file for a person to look at: a small project on
// a temporary tree, after one finished batch. Usage: plovane_ui_screenshots OUTPUT_FOLDER
#include <QApplication>
#include <QDir>
#include <QTabWidget>

#include <cstdio>

#include "tests/ui/ui_test_env.h"

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
    for (int i = 0; i < 5; ++i)
        env.WriteInput(QStringLiteral("site/page%1.htm").arg(i));
    if (!env.AddCombination(QStringLiteral("*.*"), QStringLiteral("zq_kestrin_NoOp")) ||
        !env.AddCombination(QStringLiteral("*.htm"), QStringLiteral("zq_kestrin_NoOp"))) {
        std::fputs("The demo combinations cannot be added.\n", stderr);
        return 1;
    }
    TFormFront& window = env.Window();
    window.resize(900, 600);
    window.show();
    window.findChild<QAction*>(QStringLiteral("ALI_Project_StartBatch"))->trigger();

    auto* pages = window.findChild<QTabWidget*>(QStringLiteral("pcMain"));
    int failures = 0;
    for (int i = 0; i < pages->count(); ++i) {
        pages->setCurrentIndex(i);
        QApplication::processEvents();
        const QString file =
            output.filePath(QStringLiteral("%1_%2.png").arg(i).arg(pages->widget(i)->objectName()));
        if (!window.grab().save(file)) {
            std::fprintf(stderr, "Cannot write %s\n", qPrintable(file));
            ++failures;
            continue;
        }
        std::printf("%s\n", qPrintable(file));
    }
    return failures == 0 ? 0 : 1;
}
