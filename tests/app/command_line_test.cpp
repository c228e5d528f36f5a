#include "app/command_line.h"

#include <gtest/gtest.h>

#include "tests/support/temp_folders.h"

TEST(CommandLine, ArgumentTable) {
    TTempFolder temp;
    const QString first = temp.WriteFile(QStringLiteral("first.plv"), "x");
    const QString second = temp.WriteFile(QStringLiteral("second.plv"), "x");
    struct TCase {
        const char* Name;
        QStringList Args;
        TAppParams Expected;
    };
    const std::vector<TCase> cases = {
        {"nothing", {}, {}},
        {"hide", {QStringLiteral("-hide")}, {QString(), true, false}},
        {"exit upper case and padded", {QStringLiteral("  -EXIT ")}, {QString(), false, true}},
        {"both", {QStringLiteral("-Exit"), QStringLiteral("-Hide")}, {QString(), true, true}},
        {"project", {QLatin1Char(':') + first}, {first, false, false}},
        {"missing project ignored", {QLatin1Char(':') + temp.Path(QStringLiteral("none.plv"))}, {}},
        {"folder is no project", {QLatin1Char(':') + temp.Path()}, {}},
        {"second project wins",
         {QLatin1Char(':') + first, QLatin1Char(':') + second},
         {second, false, false}},
        {"missing second keeps first",
         {QLatin1Char(':') + first, QLatin1Char(':') + temp.Path(QStringLiteral("none.plv"))},
         {first, false, false}},
        {"unknown forms ignored",
         {QStringLiteral("hide"), QStringLiteral("--hide"), QStringLiteral("/exit"),
          QStringLiteral("-")},
         {}},
    };
    for (const TCase& c : cases) {
        const TAppParams got = ReadCommandLine(c.Args);
        EXPECT_EQ(got.BeginProjectPath, c.Expected.BeginProjectPath) << c.Name;
        EXPECT_EQ(got.HideAppGUI, c.Expected.HideAppGUI) << c.Name;
        EXPECT_EQ(got.ExitAppWhenDone, c.Expected.ExitAppWhenDone) << c.Name;
    }
}
