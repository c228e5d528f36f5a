#include "base/stream_fields.h"

#include <gtest/gtest.h>

#include "base/exceptions.h"
#include "platform/ansi_code_page.h"

TEST(StreamFields, WritesTheDocumentedBytes) {
    const TAnsiCodePage cp1252("WINDOWS-1252");
    TStreamWriter writer(&cp1252);
    writer.WriteInt32(-2);
    writer.WriteByte(7);
    writer.WriteAnsiString(QStringLiteral("é"));
    writer.WriteUtf8String(QStringLiteral("é"));
    writer.WriteUtf8String(QString());
    const QByteArray expected(
        "\xFE\xFF\xFF\xFF"
        "\x07"
        "\x01\x00\x00\x00\xE9"
        "\x05\x00\x00\x00\xEF\xBB\xBF\xC3\xA9"
        "\x03\x00\x00\x00\xEF\xBB\xBF",
        4 + 1 + 5 + 9 + 7);
    EXPECT_EQ(writer.Data().toHex(' '), expected.toHex(' '));
}

TEST(StreamFields, RoundTrip) {
    TStreamWriter writer;
    writer.WriteInt32(0x7FFFFFFF);
    writer.WriteAnsiString(QString());
    writer.WriteUtf8String(QStringLiteral("Пример ✓"));
    writer.WriteByte(255);
    TStreamReader reader(writer.Data());
    EXPECT_EQ(reader.ReadInt32(), 0x7FFFFFFF);
    EXPECT_EQ(reader.ReadAnsiString(), QString());
    EXPECT_EQ(reader.ReadUtf8String(), QStringLiteral("Пример ✓"));
    EXPECT_EQ(reader.ReadByte(), 255);
    EXPECT_TRUE(reader.AtEnd());
}

TEST(StreamFields, Utf8FieldWithoutMarkIsAnsiText) {
    const TAnsiCodePage cp1252("WINDOWS-1252");
    TStreamReader reader(QByteArray("\x02\x00\x00\x00\xE9\x41", 6), &cp1252);
    EXPECT_EQ(reader.ReadUtf8String(), QStringLiteral("éA"));
}

TEST(StreamFields, ReadingPastTheEndRaisesAndNamesTheField) {
    struct TCase {
        const char* Name;
        QByteArray Bytes;
        std::function<void(TStreamReader&)> Read;
    };
    const std::vector<TCase> cases = {
        {"int32 short", QByteArray("\x01\x02\x03", 3), [](TStreamReader& r) { r.ReadInt32(); }},
        {"byte empty", QByteArray(), [](TStreamReader& r) { r.ReadByte(); }},
        {"ansi length beyond end",
         QByteArray("\x05\x00\x00\x00"
                    "ab",
                    6),
         [](TStreamReader& r) { r.ReadAnsiString(); }},
        {"utf8 negative length", QByteArray("\xFF\xFF\xFF\xFF", 4),
         [](TStreamReader& r) { r.ReadUtf8String(); }},
    };
    for (const TCase& c : cases) {
        TStreamReader reader(c.Bytes);
        try {
            c.Read(reader);
            ADD_FAILURE() << c.Name << ": no error";
        } catch (const EqvOperationNotPossible& e) {
            EXPECT_FALSE(e.Message().isEmpty()) << c.Name;
        }
    }
}
