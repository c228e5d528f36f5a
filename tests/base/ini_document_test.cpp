#include "base/ini_document.h"

#include <gtest/gtest.h>

#include "base/exceptions.h"

TEST(IniDocument, KeepsOrderUnknownContentAndWritesCrLf) {
    const QString text = QStringLiteral(
        "; leading comment\n[B]\nz=1\na=2\n\n[Other]\nKeep=me\nnot a pair\n[A]\nk=v\n");
    TIniDocument doc = TIniDocument::FromText(text);
    doc.WriteString(QStringLiteral("B"), QStringLiteral("new"), QStringLiteral("3"));
    doc.WriteString(QStringLiteral("a"), QStringLiteral("K"), QStringLiteral("w"));
    doc.WriteString(QStringLiteral("C"), QStringLiteral("x"), QStringLiteral("y"));
    EXPECT_EQ(doc.ToText(), QStringLiteral("; leading comment\r\n[B]\r\nz=1\r\na=2\r\nnew=3\r\n\r\n"
                                           "[Other]\r\nKeep=me\r\nnot a pair\r\n[A]\r\nk=w\r\n"
                                           "[C]\r\nx=y\r\n"));
    EXPECT_EQ(doc.SectionNames(), QStringList({QStringLiteral("B"), QStringLiteral("Other"),
                                               QStringLiteral("A"), QStringLiteral("C")}));
    EXPECT_EQ(doc.KeyNames(QStringLiteral("b")),
              QStringList({QStringLiteral("z"), QStringLiteral("a"), QStringLiteral("new")}));
}

TEST(IniDocument, ReadsTypedValuesWithDefaults) {
    const TIniDocument doc = TIniDocument::FromText(QStringLiteral(
        "[S]\nn=42\nbad=4x\nneg=-3\nyes=7\nno=0\nempty=\nspaced= 5 \nkey = value\n"));
    EXPECT_EQ(doc.ReadInteger(QStringLiteral("S"), QStringLiteral("n"), 1), 42);
    EXPECT_EQ(doc.ReadInteger(QStringLiteral("S"), QStringLiteral("bad"), 1), 1);
    EXPECT_EQ(doc.ReadInteger(QStringLiteral("S"), QStringLiteral("missing"), 9), 9);
    EXPECT_EQ(doc.ReadInteger(QStringLiteral("S"), QStringLiteral("spaced"), 0), 5);
    EXPECT_TRUE(doc.ReadBool(QStringLiteral("S"), QStringLiteral("yes"), false));
    EXPECT_TRUE(doc.ReadBool(QStringLiteral("S"), QStringLiteral("neg"), false));
    EXPECT_FALSE(doc.ReadBool(QStringLiteral("S"), QStringLiteral("no"), true));
    EXPECT_TRUE(doc.ReadBool(QStringLiteral("S"), QStringLiteral("empty"), true));
    EXPECT_EQ(doc.ReadString(QStringLiteral("s"), QStringLiteral("KEY")), QStringLiteral(" value"));
    EXPECT_TRUE(doc.ValueExists(QStringLiteral("S"), QStringLiteral("empty")));
    EXPECT_FALSE(doc.ValueExists(QStringLiteral("T"), QStringLiteral("n")));
}

TEST(IniDocument, DecodesBytesWithOrWithoutMark) {
    const QByteArray utf8("[S]\r\nk=\xC3\xA9\r\n");
    EXPECT_EQ(TIniDocument::FromBytes(utf8).ReadString(QStringLiteral("S"), QStringLiteral("k")),
              QStringLiteral("é"));
    EXPECT_EQ(TIniDocument::FromBytes("\xEF\xBB\xBF" + utf8)
                  .ReadString(QStringLiteral("S"), QStringLiteral("k")),
              QStringLiteral("é"));
    // Not valid UTF-8: the ANSI code page.
    EXPECT_EQ(TIniDocument::FromBytes(QByteArray("[S]\r\nk=\xE9\r\n"))
                  .ReadString(QStringLiteral("S"), QStringLiteral("k")),
              QStringLiteral("é"));
}

TEST(IniDocument, DeleteAndErase) {
    TIniDocument doc = TIniDocument::FromText(QStringLiteral("[S]\na=1\nb=2\n[T]\nc=3\n"));
    doc.DeleteKey(QStringLiteral("s"), QStringLiteral("A"));
    doc.EraseSection(QStringLiteral("t"));
    doc.WriteBool(QStringLiteral("S"), QStringLiteral("flag"), true);
    doc.WriteInteger(QStringLiteral("S"), QStringLiteral("n"), -5);
    EXPECT_EQ(doc.ToText(), QStringLiteral("[S]\r\nb=2\r\nflag=1\r\nn=-5\r\n"));
}

// A value with a line break would come back as further lines (other keys, other sections): it
// is refused and the document stays as it was.
TEST(IniDocument, ALineBreakCannotReachTheFileAsFurtherLines) {
    const QString text = QStringLiteral("[S]\r\nk=1\r\n");
    for (const QString& value :
         {QStringLiteral("/srv/a\n[ProgramOptions.Security]\nHumanSafeMode=0"),
          QStringLiteral("x\rInputDirIsWorkDir=1"), QStringLiteral("x\r\n")}) {
        TIniDocument doc = TIniDocument::FromText(text);
        EXPECT_THROW(doc.WriteString(QStringLiteral("S"), QStringLiteral("k"), value),
                     EqvParamWrong);
        EXPECT_THROW(doc.WriteString(QStringLiteral("S"), value, QStringLiteral("v")),
                     EqvParamWrong);
        EXPECT_THROW(doc.WriteString(value, QStringLiteral("k"), QStringLiteral("v")),
                     EqvParamWrong);
        EXPECT_EQ(doc.ToText(), text);
    }
}
