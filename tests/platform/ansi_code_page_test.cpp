#include "platform/ansi_code_page.h"

#include <gtest/gtest.h>

TEST(AnsiCodePage, DefaultIsWindows1252) {
    // The test environment does not set PLOVANE_ANSI_CODEPAGE.
    EXPECT_EQ(TAnsiCodePage::System().Name(), QByteArray("WINDOWS-1252"));
}

TEST(AnsiCodePage, DecodesAndEncodesWindows1252) {
    const TAnsiCodePage page("WINDOWS-1252");
    EXPECT_EQ(page.Decode(QByteArray("caf\xE9 \x80", 6)), QStringLiteral("café €"));
    EXPECT_EQ(page.Encode(QStringLiteral("café €")), QByteArray("caf\xE9 \x80", 6));
}

TEST(AnsiCodePage, StrictDecodeRejectsUndefinedBytes) {
    const TAnsiCodePage page("WINDOWS-1252");
    EXPECT_EQ(page.DecodeStrict(QByteArray("\xE9", 1)),
              std::optional<QString>(QStringLiteral("é")));
    // 0x81 has no character in Windows-1252.
    EXPECT_FALSE(page.DecodeStrict(QByteArray("a\x81z", 3)).has_value());
    EXPECT_EQ(page.Decode(QByteArray("a\x81z", 3)), QStringLiteral("a\uFFFDz"));
}

TEST(AnsiCodePage, UnencodableCharactersBecomeQuestionMarks) {
    const TAnsiCodePage page("WINDOWS-1252");
    EXPECT_EQ(page.Encode(QStringLiteral("a\u0416b")), QByteArray("a?b"));
    EXPECT_EQ(page.Encode(QString::fromUtf8("x\xF0\x9F\x98\x80y")).front(), 'x');
}

TEST(AnsiCodePage, OtherCodePagesByIconvName) {
    const TAnsiCodePage page("WINDOWS-1251");
    EXPECT_EQ(page.Decode(QByteArray("\xC6", 1)), QStringLiteral("\u0416"));
    EXPECT_EQ(page.Encode(QStringLiteral("\u0416")), QByteArray("\xC6", 1));
}

TEST(AnsiCodePage, LargeInputCrossesBufferBoundaries) {
    const TAnsiCodePage page("WINDOWS-1252");
    const QByteArray bytes(10000, '\xE9');
    const QString text = page.Decode(bytes);
    ASSERT_EQ(text.size(), 10000);
    EXPECT_EQ(text, QString(10000, QChar(0xE9)));
    EXPECT_EQ(page.Encode(text), bytes);
}
