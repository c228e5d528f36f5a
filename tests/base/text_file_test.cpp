#include "base/text_file.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <functional>
#include <vector>

#include "base/exceptions.h"
#include "base/ini_document.h"
#include "platform/ansi_code_page.h"
#include "tests/support/child_process.h"
#include "tests/support/temp_folders.h"

namespace {

const QString Sample = QStringLiteral("Grüße – ünïcødé");

QByteArray Bytes(const char* AData, qsizetype ASize) {
    return QByteArray(AData, ASize);
}

// Readable names in failure messages.
const char* EncodingName(TTextEncoding AEncoding) {
    switch (AEncoding) {
        case TTextEncoding::Utf8:
            return "Utf8";
        case TTextEncoding::Utf8Bom:
            return "Utf8Bom";
        case TTextEncoding::Utf16LE:
            return "Utf16LE";
        case TTextEncoding::Utf16LEBom:
            return "Utf16LEBom";
        case TTextEncoding::Utf16BEBom:
            return "Utf16BEBom";
        case TTextEncoding::Ansi:
            return "Ansi";
        case TTextEncoding::Utf8Lossy:
            return "Utf8Lossy";
    }
    return "?";
}

// ---------------------------------------------------------------------------------------------
// Reading: marks and content tests

struct TReadCase {
    const char* Name;
    QByteArray Bytes;
    TTextEncoding Encoding;
    QString Text;
};

TEST(TextFileRead, DetectsEncodingAndDropsMark) {
    const QChar nul(0);
    const TReadCase cases[] = {
        {"utf-8 mark",
         Bytes("\xEF\xBB\xBFGr\xC3\xBC\xC3\x9F"
               "e",
               10),
         TTextEncoding::Utf8Bom, QStringLiteral("Grüße")},
        {"utf-8 mark only", Bytes("\xEF\xBB\xBF", 3), TTextEncoding::Utf8Bom, QString()},
        {"utf-8 mark then invalid bytes is a lossy read",
         Bytes("\xEF\xBB\xBF"
               "a\xE9"
               "z",
               6),
         TTextEncoding::Utf8Lossy, QStringLiteral("a\uFFFDz")},
        {"utf-16 le mark", Bytes("\xFF\xFEG\0\xFC\0\x13\x20", 8), TTextEncoding::Utf16LEBom,
         QStringLiteral("Gü–")},
        {"utf-16 be mark decoded big-endian", Bytes("\xFE\xFF\0G\0\xFC\x20\x13", 8),
         TTextEncoding::Utf16BEBom, QStringLiteral("Gü–")},
        {"utf-16 odd last byte dropped", Bytes("\xFF\xFEH\0i\0!", 7), TTextEncoding::Utf16LEBom,
         QStringLiteral("Hi")},
        // The UTF-32 marks are no marks: FF FE 00 00 is neither UTF-16 LE with mark nor valid
        // UTF-8, so the ANSI code page takes every byte.
        {"utf-32 le mark is no mark", Bytes("\xFF\xFE\0\0A\0\0\0", 8), TTextEncoding::Ansi,
         QStringLiteral("ÿþ") + nul + nul + u'A' + nul + nul + nul},
        {"utf-32 be mark is no mark", Bytes("\0\0\xFE\xFF\0\0\0A", 8), TTextEncoding::Ansi,
         QString(nul) + nul + QStringLiteral("þÿ") + nul + nul + nul + u'A'},
        {"ascii", QByteArray("Hello world\r\n"), TTextEncoding::Utf8,
         QStringLiteral("Hello world\r\n")},
        {"utf-8 without mark",
         QByteArray("Gr\xC3\xBC\xC3\x9F"
                    "e \xE2\x80\x93"),
         TTextEncoding::Utf8, QStringLiteral("Grüße –")},
        {"lone E9 in the ANSI code page", QByteArray("\xE9"), TTextEncoding::Ansi,
         QStringLiteral("é")},
        // A sequence cut off at the end of the file is no UTF-8 either.
        {"utf-8 cut off at the end", QByteArray("ab\xE2\x80"), TTextEncoding::Ansi,
         QStringLiteral("abâ€")},
        {"overlong utf-8 is not utf-8", QByteArray("\xC0\xAF"), TTextEncoding::Ansi,
         QStringLiteral("À¯")},
        // 0x81 has no character in Windows-1252, and C3 without its follower is no UTF-8.
        {"invalid in utf-8 and ANSI", QByteArray("a\x81\xC3z"), TTextEncoding::Utf8Lossy,
         QStringLiteral("a\uFFFD\uFFFDz")},
        {"invalid in utf-8 and ANSI, cut off", QByteArray("\x81z\xC3"), TTextEncoding::Utf8Lossy,
         QStringLiteral("\uFFFDz\uFFFD")},
        {"utf-16 le without mark", Bytes("H\0e\0l\0l\0o\0 \0w\0o\0r\0l\0d\0", 22),
         TTextEncoding::Utf16LE, QStringLiteral("Hello world")},
        {"utf-16 le without mark, cjk with line end", Bytes("\x60\x4F\x7D\x59\r\0\n\0", 8),
         TTextEncoding::Utf16LE, QStringLiteral("你好\r\n")},
        {"empty", QByteArray(), TTextEncoding::Utf8, QString()},
    };
    TTempFolder folder;
    for (const TReadCase& c : cases) {
        SCOPED_TRACE(c.Name);
        const QString path = folder.WriteFile(QStringLiteral("in.txt"), c.Bytes);
        const TTextFileContent content = ReadTextFileDetected(path);
        EXPECT_EQ(content.Status, TTextReadStatus::Ok);
        EXPECT_STREQ(EncodingName(content.Encoding), EncodingName(c.Encoding));
        EXPECT_EQ(content.Text, c.Text);
    }
}

TEST(TextFileRead, UsesTheGivenAnsiCodePage) {
    TTempFolder folder;
    const QString path = folder.WriteFile(QStringLiteral("in.txt"), QByteArray("\xE9"));
    const TAnsiCodePage cyrillic(QByteArrayLiteral("WINDOWS-1251"));
    const TTextFileContent content = ReadTextFileDetected(path, &cyrillic);
    EXPECT_EQ(content.Encoding, TTextEncoding::Ansi);
    EXPECT_EQ(content.Text, QStringLiteral("й"));
    EXPECT_EQ(ReadTextFileAuto(path, &cyrillic), QStringLiteral("й"));
}

TEST(TextFileRead, TellsMissingFromUnreadable) {
    TTempFolder folder;
    const TTextFileContent missing = ReadTextFileDetected(folder.Path(QStringLiteral("none.txt")));
    EXPECT_EQ(missing.Status, TTextReadStatus::Missing);
    EXPECT_TRUE(missing.Text.isEmpty());

    // A folder where the file should be exists but cannot be read as a file.
    const QString dir = folder.MakeFolder(QStringLiteral("dir.txt"));
    EXPECT_EQ(ReadTextFileDetected(dir).Status, TTextReadStatus::Unreadable);
    EXPECT_EQ(ReadTextFileDetected(dir.chopped(1)).Status, TTextReadStatus::Unreadable);
    EXPECT_EQ(ReadTextFileAuto(dir), QString());
    EXPECT_EQ(ReadTextFileAuto(folder.Path(QStringLiteral("none.txt"))), QString());

    // A FIFO put in a file's place, with nobody writing to it, is refused instead of waited on.
    const QString fifo = folder.Path(QStringLiteral("fifo.txt"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    EXPECT_EQ(ReadTextFileDetected(fifo).Status, TTextReadStatus::Unreadable);
}

// A file whose text, written back, would not give its bytes again must not be rewritten.
TEST(TextFileRead, TellsWhenWritingTheTextBackWouldLoseBytes) {
    struct TCase {
        const char* Name;
        QByteArray Bytes;
        QString Text;
        bool OddLastByte;
        bool Loses;
    };
    const std::vector<TCase> cases = {
        {"utf-16 le with an odd last byte",
         Bytes("\xFF\xFE"
               "a\0b",
               5),
         QStringLiteral("a"), true, true},
        {"utf-16 be with an odd last byte", Bytes("\xFE\xFF\0a\0", 5), QStringLiteral("a"), true,
         true},
        {"utf-16 le, whole units",
         Bytes("\xFF\xFE"
               "a\0b\0",
               6),
         QStringLiteral("ab"), false, false},
        {"utf-16 mark and one byte", Bytes("\xFF\xFEz", 3), QString(), true, true},
        {"bytes that decode only with replacements", QByteArray("ax\x81\xC3"), QString(), false,
         true},
        {"plain UTF-8", QByteArray("abc"), QStringLiteral("abc"), false, false},
    };
    TTempFolder folder;
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        const TTextFileContent content =
            ReadTextFileDetected(folder.WriteFile(QStringLiteral("in.txt"), c.Bytes));
        if (!c.Text.isEmpty() || c.OddLastByte) {
            EXPECT_EQ(content.Text, c.Text);
        }
        EXPECT_EQ(content.OddLastByte, c.OddLastByte);
        EXPECT_EQ(!LossOnWriteBack(content).isEmpty(), c.Loses);
    }
}

// A code page with two codes for one character (CP932 has NEC's and IBM's copies of some): the
// text reads, but writing it back would change the bytes the file had, so it is not rewritten.
TEST(TextFileRead, TellsWhenTheAnsiCodePageWouldWriteOtherBytes) {
    const TAnsiCodePage cp932("CP932");
    struct TCase {
        const char* Name;
        QByteArray Bytes;
        bool Loses;
    };
    const std::vector<TCase> cases = {
        {"the NEC copy of a character, written back as IBM's", QByteArray("\xEE\x61 ok"), true},
        {"characters with one code each", QByteArray("\x93\xFA\x96\x7B ok"), false},
    };
    TTempFolder folder;
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        const TTextFileContent content =
            ReadTextFileDetected(folder.WriteFile(QStringLiteral("in.txt"), c.Bytes), &cp932);
        ASSERT_EQ(content.Encoding, TTextEncoding::Ansi);
        EXPECT_EQ(!LossOnWriteBack(content).isEmpty(), c.Loses);
        EXPECT_EQ(EncodeText(content.Text, content.Encoding, &cp932) == c.Bytes, !c.Loses);
    }
}

// ---------------------------------------------------------------------------------------------
// The statistical UTF-16 test on its own

TEST(TextFileLooksLikeUtf16, FiresOnUtf16LeOnly) {
    struct TCase {
        const char* Name;
        QByteArray Bytes;
        bool Expected;
    };
    const TCase cases[] = {
        {"ascii range", Bytes("H\0e\0l\0l\0o\0", 10), true},
        {"latin-1 range", Bytes("G\0\xFC\0\xDF\0", 6), true},
        {"cjk with line feed", Bytes("\x60\x4F\x7D\x59\n\0", 6), true},
        {"cjk with zero low byte and line end", Bytes("\x00\x4E\x8C\x4E\r\0\n\0", 8), true},
        {"surrogate pair", Bytes("a\0 \0\x3D\xD8\x42\xDE", 8), true},
        {"ascii text", QByteArray("Hello world!"), false},
        {"ascii text, even length", QByteArray("Bush hid the facts"), false},
        {"utf-8 text",
         QByteArray("Gr\xC3\xBC\xC3\x9F"
                    "e \xE2\x80\x93 \xC3\xBC"),
         false},
        {"ANSI text",
         QByteArray("Gr\xFC\xDF"
                    "e \x96 \xFCn\xEF"
                    "c\xF8"
                    "d\xE9"),
         false},
        {"utf-16 be without mark", Bytes("\0H\0e\0l\0l\0o", 10), false},
        // Zero bytes mostly at even positions: not little-endian text, whatever else it holds.
        {"mostly big-endian with a stray line feed", Bytes("\0A\0B\0C\n\0", 8), false},
        {"odd length", Bytes("H\0e\0l\0l\0o", 9), false},
        {"utf-32 le", Bytes("H\0\0\0i\0\0\0", 8), false},
        {"unpaired high surrogate",
         Bytes("a\0\x3D\xD8"
               "b\0",
               6),
         false},
        {"unpaired low surrogate",
         Bytes("a\0\x00\xDE"
               "b\0",
               6),
         false},
        {"single byte", QByteArray("a"), false},
        {"empty", QByteArray(), false},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        EXPECT_EQ(LooksLikeUtf16(c.Bytes), c.Expected);
    }
}

// ---------------------------------------------------------------------------------------------
// Writing

struct TEncodingCase {
    TTextEncoding Encoding;
    QByteArray Start;  // the first bytes of Sample in that encoding, mark included
};

const TEncodingCase EncodingCases[] = {
    {TTextEncoding::Utf8, QByteArray("Gr\xC3\xBC")},
    {TTextEncoding::Utf8Bom, QByteArray("\xEF\xBB\xBFGr\xC3\xBC")},
    {TTextEncoding::Utf16LE, Bytes("G\0r\0\xFC\0", 6)},
    {TTextEncoding::Utf16LEBom, Bytes("\xFF\xFEG\0r\0\xFC\0", 8)},
    {TTextEncoding::Utf16BEBom, Bytes("\xFE\xFF\0G\0r\0\xFC", 8)},
    {TTextEncoding::Ansi, QByteArray("Gr\xFC\xDF"
                                     "e \x96 ")},
};

TEST(TextFileWrite, EncodesWithTheMarkOfEachEncoding) {
    for (const TEncodingCase& c : EncodingCases) {
        SCOPED_TRACE(EncodingName(c.Encoding));
        EXPECT_TRUE(EncodeText(Sample, c.Encoding).startsWith(c.Start));
    }
    EXPECT_EQ(EncodeText(Sample, TTextEncoding::Utf8Lossy),
              EncodeText(Sample, TTextEncoding::Utf8));
    EXPECT_EQ(EncodeText(QStringLiteral("ü–"), TTextEncoding::Utf16BEBom),
              Bytes("\xFE\xFF\0\xFC\x20\x13", 6));
}

// What a plugin does to a file: read it, change nothing, write it back in the encoding found.
TEST(TextFileWrite, WritesBackEveryEncodingByteIdentical) {
    TTempFolder folder;
    for (const TEncodingCase& c : EncodingCases) {
        SCOPED_TRACE(EncodingName(c.Encoding));
        const QByteArray original = EncodeText(Sample + QStringLiteral("\r\nzwei\r\n"), c.Encoding);
        const QString path = folder.WriteFile(QStringLiteral("in.txt"), original);
        const TTextFileContent content = ReadTextFileDetected(path);
        ASSERT_EQ(content.Status, TTextReadStatus::Ok);
        EXPECT_STREQ(EncodingName(content.Encoding), EncodingName(c.Encoding));
        EXPECT_EQ(content.Text, Sample + QStringLiteral("\r\nzwei\r\n"));
        ASSERT_TRUE(WriteTextFile(path, content.Text, content.Encoding));
        EXPECT_EQ(ReadWholeFile(path), original);
    }
}

// Content a converter would "clean up": a second mark and unpaired surrogates.
TEST(TextFileWrite, WritesBackUnusualContentByteIdentical) {
    const TReadCase cases[] = {
        {"utf-8 with two marks", QByteArray("\xEF\xBB\xBF\xEF\xBB\xBFx"), TTextEncoding::Utf8Bom,
         QStringLiteral("\uFEFFx")},
        {"utf-16 le lone surrogate", Bytes("\xFF\xFEx\0\x00\xDC", 6), TTextEncoding::Utf16LEBom,
         QStringLiteral("x") + QChar(0xDC00)},
        {"utf-16 be lone surrogate", Bytes("\xFE\xFF\xD8\0\0x", 6), TTextEncoding::Utf16BEBom,
         QString(QChar(0xD800)) + u'x'},
        {"utf-8 mark only", QByteArray("\xEF\xBB\xBF"), TTextEncoding::Utf8Bom, QString()},
        {"utf-16 le mark only", QByteArray("\xFF\xFE"), TTextEncoding::Utf16LEBom, QString()},
        {"empty", QByteArray(), TTextEncoding::Utf8, QString()},
    };
    TTempFolder folder;
    for (const TReadCase& c : cases) {
        SCOPED_TRACE(c.Name);
        const QString path = folder.WriteFile(QStringLiteral("in.txt"), c.Bytes);
        const TTextFileContent content = ReadTextFileDetected(path);
        EXPECT_STREQ(EncodingName(content.Encoding), EncodingName(c.Encoding));
        EXPECT_EQ(content.Text, c.Text);
        ASSERT_TRUE(WriteTextFile(path, content.Text, content.Encoding));
        EXPECT_EQ(ReadWholeFile(path), c.Bytes);
    }
}

// The new content is renamed into place: the written name leads to a new file, and another hard
// link keeps the old content (as with `sed -i`).
TEST(TextFileWrite, ReplacesTheFileUnderItsNameOnly) {
    TTempFolder folder;
    const QString path = folder.WriteFile(QStringLiteral("a.txt"), QByteArray("a long old text"));
    const QString link = folder.Path(QStringLiteral("link.txt"));
    ASSERT_EQ(::link(QFile::encodeName(path).constData(), QFile::encodeName(link).constData()), 0);

    ASSERT_TRUE(WriteTextFile(path, QStringLiteral("new"), TTextEncoding::Utf8));
    EXPECT_EQ(ReadWholeFile(path), QByteArray("new"));
    EXPECT_EQ(ReadWholeFile(link), QByteArray("a long old text"));

    ASSERT_TRUE(WriteTextFileUtf16(path, QStringLiteral("ü")));
    EXPECT_EQ(ReadWholeFile(path), Bytes("\xFC\0", 2));
    EXPECT_EQ(ReadWholeFile(link), QByteArray("a long old text"));
}

// Written back after reading, a file keeps its mode, and a symbolic link stays the same link
// with the file it leads to rewritten.
TEST(TextFileWrite, WritingBackKeepsTheModeAndTheLink) {
    TTempFolder folder;
    const QString file = folder.WriteFile(QStringLiteral("a.txt"), QByteArray("old a"));
    ASSERT_EQ(::chmod(QFile::encodeName(file).constData(), 0604), 0);
    const QString link = folder.Path(QStringLiteral("link.txt"));
    ASSERT_EQ(::symlink("a.txt", QFile::encodeName(link).constData()), 0);

    for (const QString& path : {file, link}) {
        SCOPED_TRACE(path.toStdString());
        const TTextFileContent read = ReadTextFileDetected(path);
        ASSERT_EQ(read.Status, TTextReadStatus::Ok);
        EXPECT_EQ(read.ReadFile.has_value(), path == file);
        ASSERT_TRUE(WriteTextFileBack(path, read.Text + u'!', read));
    }
    EXPECT_EQ(ReadWholeFile(file), QByteArray("old a!!"));
    EXPECT_TRUE(QFileInfo(link).isSymLink());
    EXPECT_EQ(QFileInfo(link).symLinkTarget(), file);
    struct stat info {};
    ASSERT_EQ(::stat(QFile::encodeName(file).constData(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0604u);
}

// Nothing is ever replaced by "?" (or U+FFFD) in silence: the writer raises, naming the encoding
// and the character, and the file keeps what it had.
TEST(TextFileWrite, TextTheEncodingCannotHoldRaisesAndWritesNothing) {
    const TAnsiCodePage codePage("WINDOWS-1252");
    struct TCase {
        const char* Name;
        TTextEncoding Encoding;
        QString Text;
        const char* Named;  // the character as the message names it
    };
    const std::vector<TCase> cases = {
        {"a Chinese character in Windows-1252", TTextEncoding::Ansi, QStringLiteral("a\u4E2Db"),
         "U+4E2D"},
        {"U+0100 in Windows-1252", TTextEncoding::Ansi, QStringLiteral("\u00E9\u0100"), "U+0100"},
        {"a character beyond U+FFFF in Windows-1252", TTextEncoding::Ansi,
         QStringLiteral("x\U0001F600"), "U+1F600"},
        {"an unpaired surrogate in UTF-8", TTextEncoding::Utf8, QStringLiteral("x") + QChar(0xD800),
         "U+D800"},
        {"an unpaired surrogate in UTF-8 with mark", TTextEncoding::Utf8Bom,
         QString(QChar(0xDC00)) + u'x', "U+DC00"},
    };
    TTempFolder folder;
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        const QString path = folder.WriteFile(QStringLiteral("f.txt"), "old");
        const QString encoding = c.Encoding == TTextEncoding::Ansi ? QStringLiteral("WINDOWS-1252")
                                                                   : QStringLiteral("UTF-8");
        try {
            WriteTextFile(path, c.Text, c.Encoding, &codePage);
            ADD_FAILURE() << "written without an error";
        } catch (const EqvOperationNotPossible& e) {
            EXPECT_TRUE(e.Message().contains(encoding)) << e.what();
            EXPECT_TRUE(e.Message().contains(QString::fromLatin1(c.Named))) << e.what();
        }
        EXPECT_EQ(ReadWholeFile(path), QByteArray("old"));
    }
    // A question mark of the text itself is written as it is.
    const QString path = folder.Path(QStringLiteral("q.txt"));
    ASSERT_TRUE(
        WriteTextFile(path, QStringLiteral("?\u00E9\u20AC"), TTextEncoding::Ansi, &codePage));
    EXPECT_EQ(ReadWholeFile(path), QByteArray("?\xE9\x80"));
}

TEST(TextFileWrite, ReportsFailureWithoutRaising) {
    TTempFolder folder;
    const QString dir = folder.MakeFolder(QStringLiteral("in-the-way"));
    folder.WriteFile(QStringLiteral("in-the-way/keep.txt"), QByteArray("keep"));
    const QString plainFile = folder.WriteFile(QStringLiteral("plain.txt"), QByteArray("x"));
    const QString targets[] = {
        folder.Path(QStringLiteral("missing/a.txt")),  // missing folder
        dir.chopped(1),                                // a folder in the way
        plainFile + QStringLiteral("/a.txt"),          // a file where a folder should be
        QString(),
    };
    for (const QString& target : targets) {
        SCOPED_TRACE(target.toStdString());
        EXPECT_FALSE(WriteTextFile(target, Sample, TTextEncoding::Utf8Bom));
        EXPECT_FALSE(WriteTextFileUtf16(target, Sample));
        EXPECT_FALSE(AppendTextFileUtf16(target, Sample));
        EXPECT_FALSE(AppendFileBytes(target, QByteArray("x")));
    }
    EXPECT_EQ(folder.ReadFile(QStringLiteral("in-the-way/keep.txt")), QByteArray("keep"));
    EXPECT_EQ(ReadWholeFile(plainFile), QByteArray("x"));
}

// ---------------------------------------------------------------------------------------------
// The classic whole-file reader and the UTF-16 writer together

TEST(TextFileAuto, KeepsUtf16MarkThroughReadAndWrite) {
    struct TCase {
        const char* Name;
        QByteArray Bytes;
        QString Text;        // as ReadTextFileAuto gives it
        QByteArray Written;  // after WriteTextFileUtf16 of that text
    };
    const TCase cases[] = {
        {"utf-16 le mark", Bytes("\xFF\xFEG\0\xFC\0", 6), QStringLiteral("\uFEFFGü"),
         Bytes("\xFF\xFEG\0\xFC\0", 6)},
        {"utf-16 be mark", Bytes("\xFE\xFF\0G\0\xFC", 6), QStringLiteral("\uFEFFGü"),
         Bytes("\xFF\xFEG\0\xFC\0", 6)},
        // The UTF-8 mark is dropped; the text goes out as UTF-16 without mark.
        {"utf-8 mark", QByteArray("\xEF\xBB\xBFG\xC3\xBC"), QStringLiteral("Gü"),
         Bytes("G\0\xFC\0", 4)},
        {"utf-16 le without mark", Bytes("G\0\xFC\0", 4), QStringLiteral("Gü"),
         Bytes("G\0\xFC\0", 4)},
        {"ANSI", QByteArray("G\xFC"), QStringLiteral("Gü"), Bytes("G\0\xFC\0", 4)},
    };
    TTempFolder folder;
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        const QString path = folder.WriteFile(QStringLiteral("in.txt"), c.Bytes);
        const QString text = ReadTextFileAuto(path);
        EXPECT_EQ(text, c.Text);
        ASSERT_TRUE(WriteTextFileUtf16(path, text));
        EXPECT_EQ(ReadWholeFile(path), c.Written);
    }
}

// ---------------------------------------------------------------------------------------------
// Writes that cannot finish

// Each way of writing a file, with new content three times the old one's size.
struct TGrowingWrite {
    const char* Name;
    std::function<bool(const QString&)> Write;
};

const QByteArray KOldContent(4096, 'o');

const std::vector<TGrowingWrite> KGrowingWrites = {
    {"text in its encoding",
     [](const QString& APath) {
         return WriteTextFile(APath, QString(12288, u'n'), TTextEncoding::Utf8);
     }},
    {"UTF-16 text",
     [](const QString& APath) { return WriteTextFileUtf16(APath, QString(6144, u'n')); }},
    {"bytes appended",
     [](const QString& APath) { return AppendFileBytes(APath, QByteArray(8192, 'n')); }},
};

QStringList EntriesOf(const QString& AFolder) {
    return QDir(AFolder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot,
                                   QDir::Name);
}

// A child limited to 8 KB per file runs the write; the file must be byte for byte as it was.
TEST(TextFileWrite, AWriteBeyondTheFileSizeLimitLeavesTheFileAsItWas) {
    TTempFolder folder;
    for (const TGrowingWrite& write : KGrowingWrites) {
        SCOPED_TRACE(write.Name);
        const QString path = folder.WriteFile(QStringLiteral("f.txt"), KOldContent);
        const TChildOutcome outcome = RunInChildProcess([&] {
            const QString limited = LimitFileSizeOfThisProcess(8192);
            if (!limited.isEmpty())
                return KChildSkipped + limited.toUtf8();
            return QByteArray(write.Write(path) ? "written" : "failed");
        });
        ASSERT_TRUE(outcome.Exited) << outcome.Output.toStdString();
        EXPECT_EQ(outcome.Output, QByteArray("failed"));
        EXPECT_EQ(ReadWholeFile(path), KOldContent);
        EXPECT_EQ(EntriesOf(folder.Path()), QStringList{QStringLiteral("f.txt")});
    }
}

// A child mounts a 64 KB tmpfs in a mount namespace of its own, fills it and runs the write; it
// sends back the result, the file's bytes and the folder's entries.
TEST(TextFileWrite, AWriteOnAFullFileSystemLeavesTheFileAsItWas) {
    TTempFolder folder;
    const QString small = folder.MakeFolder(QStringLiteral("small"));
    for (const TGrowingWrite& write : KGrowingWrites) {
        SCOPED_TRACE(write.Name);
        const TChildOutcome outcome = RunInChildProcess([&] {
            QString problem = EnterPrivateMountNamespace();
            if (problem.isEmpty())
                problem = MountSmallTmpfs(small, 64 * 1024);
            if (!problem.isEmpty())
                return KChildSkipped + problem.toUtf8();
            const QString path = small + QStringLiteral("f.txt");
            QFile file(path);
            if (!file.open(QIODevice::WriteOnly) || file.write(KOldContent) != KOldContent.size())
                return QByteArray("cannot write the old content");
            file.close();
            if (const QString full = FillFileSystem(small + QStringLiteral("filler"));
                !full.isEmpty())
                return full.toUtf8();
            const QByteArray result = write.Write(path) ? "written" : "failed";
            return result + '|' + ReadWholeFile(path) + '|' + EntriesOf(small).join(u',').toUtf8();
        });
        ASSERT_TRUE(outcome.Exited) << outcome.Output.toStdString();
        if (outcome.Output.startsWith(KChildSkipped))
            GTEST_SKIP() << "no small file system can be mounted here: "
                         << outcome.Output.toStdString();
        const QList<QByteArray> parts = outcome.Output.split('|');
        ASSERT_EQ(parts.size(), 3) << outcome.Output.left(200).toStdString();
        EXPECT_EQ(parts.at(0), QByteArray("failed"));
        EXPECT_EQ(parts.at(1), KOldContent);
        EXPECT_EQ(parts.at(2), QByteArray("f.txt,filler"));
    }
}

// ---------------------------------------------------------------------------------------------
// Appending

TEST(TextFileAppend, AppendsToPresentContentAndCreatesMissingFile) {
    TTempFolder folder;
    const QString text = folder.Path(QStringLiteral("list.txt"));
    ASSERT_TRUE(AppendTextFileUtf16(text, QStringLiteral("a\r\n")));
    ASSERT_TRUE(AppendTextFileUtf16(text, QStringLiteral("ü–\r\n")));
    EXPECT_EQ(ReadWholeFile(text), Bytes("a\0\r\0\n\0\xFC\0\x13\x20\r\0\n\0", 14));

    const QString bytes = folder.Path(QStringLiteral("log.txt"));
    ASSERT_TRUE(AppendFileBytes(bytes, QByteArray("one ")));
    ASSERT_TRUE(AppendFileBytes(bytes, QByteArray("two")));
    EXPECT_EQ(ReadWholeFile(bytes), QByteArray("one two"));

    // Appending nothing still leaves a file behind.
    const QString empty = folder.Path(QStringLiteral("empty.txt"));
    ASSERT_TRUE(AppendTextFileUtf16(empty, QString()));
    EXPECT_TRUE(QFile::exists(empty));
}

// Present content that is no UTF-16 text at all (odd length, invalid sequences) stays as it is.
TEST(TextFileAppend, NeverRewritesPresentContent) {
    const QByteArray present = Bytes("\xFF\x01\0\xC3\xE9", 5);
    TTempFolder folder;
    const QString path = folder.WriteFile(QStringLiteral("odd.txt"), present);
    ASSERT_TRUE(AppendTextFileUtf16(path, QStringLiteral("x")));
    EXPECT_EQ(ReadWholeFile(path), present + Bytes("x\0", 2));
    ASSERT_TRUE(AppendFileBytes(path, QByteArray("yz")));
    EXPECT_EQ(ReadWholeFile(path), present + Bytes("x\0yz", 4));
}

// ---------------------------------------------------------------------------------------------
// Boolean texts

TEST(TextToBool, FollowsTheBooleanRule) {
    struct TCase {
        const char* Text;
        bool Expected;
    };
    const TCase cases[] = {
        {"True", true},       {"yes", true},
        {"1", true},          {" 2 ", true},
        {"t", true},          {"Y", true},
        {"+3", true},         {"007", true},
        {"Tomorrow", true},   {"99999999999999999999999", true},
        {"\t1\r\n", true},    {"False", false},
        {"no", false},        {"0", false},
        {"", false},          {"-1", false},
        {"abc", false},       {"   ", false},
        {"f", false},         {"N", false},
        {"000", false},       {"-0", false},
        {"+", false},         {"-", false},
        {"2.5", false},       {"1 2", false},
        {"Nonsense1", false}, {"0x10", false},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Text);
        EXPECT_EQ(TextToBool(QString::fromUtf8(c.Text)), c.Expected);
    }
}

TEST(ReadIniBool, EmptyOrMissingGivesTheDefault) {
    const TIniDocument ini = TIniDocument::FromText(
        QStringLiteral("[S]\nyes=yes\nno= no \nempty=\nblank=   \nnum=5\njunk=abc\n"));
    struct TCase {
        const char* Section;
        const char* Key;
        bool Default;
        bool Expected;
    };
    const TCase cases[] = {
        {"S", "missing", true, true}, {"S", "missing", false, false}, {"T", "yes", true, true},
        {"T", "yes", false, false},   {"S", "empty", true, true},     {"S", "empty", false, false},
        {"S", "blank", true, true},   {"S", "blank", false, false},   {"S", "yes", false, true},
        {"s", "YES", false, true},    {"S", "no", true, false},       {"S", "num", false, true},
        {"S", "junk", true, false},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(std::string(c.Section) + "/" + c.Key + (c.Default ? " default true" : ""));
        EXPECT_EQ(
            ReadIniBool(ini, QString::fromUtf8(c.Section), QString::fromUtf8(c.Key), c.Default),
            c.Expected);
    }
}

}  // namespace
