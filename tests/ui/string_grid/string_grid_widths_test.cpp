#include "ui/string_grid/string_grid_widths.h"

#include <gtest/gtest.h>

namespace {

using TKind = TqvColWidthRule::TKind;

TEST(StringGridWidths, RulesAreRead) {
    const struct {
        const char* Text;
        TKind Kind;
        int N;
    } cases[] = {{"80", TKind::Pixels, 80}, {" 80+ ", TKind::AtLeast, 80},
                 {"30%", TKind::Share, 30}, {"100 %", TKind::Share, 100},
                 {"", TKind::Keep, 0},      {"   ", TKind::Keep, 0},
                 {"abc", TKind::Keep, 0},   {"-5", TKind::Keep, 0},
                 {"+", TKind::Keep, 0},     {"12px", TKind::Keep, 0}};
    for (const auto& c : cases) {
        const TqvColWidthRule rule = ParseColWidthRule(QString::fromLatin1(c.Text));
        EXPECT_EQ(rule.Kind, c.Kind) << c.Text;
        EXPECT_EQ(rule.N, c.N) << c.Text;
    }
}

TqvColWidthInput In(const char* ARule, int ACurrent = 0, int AWidest = 0) {
    return {ParseColWidthRule(QString::fromLatin1(ARule)), ACurrent, AWidest};
}

TEST(StringGridWidths, SharesDivideWhatThePixelColumnsLeave) {
    const struct {
        const char* Name;
        QList<TqvColWidthInput> Columns;
        int Client;
        int Lines;
        QList<int> Widths;
    } cases[] = {
        {"pixels only", {In("80"), In("40")}, 500, 1, {80, 40}},
        {"at least: the number", {In("80+", 0, 50)}, 500, 1, {80}},
        {"at least: the text", {In("80+", 0, 120)}, 500, 1, {120}},
        {"empty keeps", {In("", 77), In("10")}, 500, 1, {77, 10}},
        // 400 - 3 lines - 100 pixels = 297 shared 1:2 = 99 and 198.
        {"shares", {In("100"), In("1%"), In("2%")}, 400, 1, {100, 99, 198}},
        // 100 shared in thirds: 33.3 each rounds to 33; nothing to give back.
        {"thirds", {In("1%"), In("1%"), In("1%")}, 100, 0, {33, 33, 33}},
        // 101 in halves of 50.5 round up to 51 + 51: the last gives one back.
        {"overshoot", {In("50%"), In("50%")}, 101, 0, {51, 50}},
        // The at-least column's text width counts as its pixels.
        {"mixed", {In("20+", 0, 60), In("100%")}, 200, 2, {60, 136}},
        {"too narrow", {In("300"), In("100%")}, 200, 0, {300, 0}},
        {"zero shares", {In("0%"), In("0%")}, 200, 0, {0, 0}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ComputeColumnWidths(c.Columns, c.Client, c.Lines), c.Widths) << c.Name;
}

}  // namespace
