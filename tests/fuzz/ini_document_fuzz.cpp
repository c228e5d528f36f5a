// The INI reader: the input is an INI file. Its text form must be stable (reading what was
// written gives the same text), every value must read back the same from the written text, and
// a value written under a key must read back exactly, or be refused, never change other keys.
#include <QStringList>

#include "base/exceptions.h"
#include "base/ini_document.h"
#include "tests/fuzz/fuzz_support.h"

namespace {

QString Values(const TIniDocument& ADocument) {
    QString text;
    for (const QString& section : ADocument.SectionNames())
        for (const QString& key : ADocument.KeyNames(section))
            text += section + QLatin1Char('/') + key + QLatin1Char('=') +
                    ADocument.ReadString(section, key) + QLatin1Char('\n');
    return text;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* AData, std::size_t ASize) {
    const QByteArray bytes = FuzzBytes(AData, ASize);
    const TIniDocument document = TIniDocument::FromBytes(bytes);
    const QString text = document.ToText();
    const TIniDocument reread = TIniDocument::FromText(text);
    // A text starting with U+FEFF (a file with the mark twice) loses it again when read: that
    // character is taken as the mark wherever the text came from.
    if (reread.ToText() != text && !text.startsWith(QChar(0xFEFF)))
        FuzzFinding("the written text reads back to another text");
    if (Values(reread) != Values(document))
        FuzzFinding("the written text reads back to other values");

    // The first line of the input names a value to write into the document read from the rest.
    const qsizetype end = bytes.indexOf('\0');
    if (end < 0)
        return 0;
    const QString value = QString::fromUtf8(bytes.left(end));
    TIniDocument edited = TIniDocument::FromBytes(bytes.mid(end + 1));
    const QString others = Values(edited);
    const QString section = QStringLiteral("Fuzz Section");
    const QString key = QStringLiteral("FuzzKey");
    if (edited.ValueExists(section, key))
        return 0;
    try {
        edited.WriteString(section, key, value);
    } catch (const EqvException&) {
        if (Values(edited) != others)
            FuzzFinding("a refused value changed the document");
        return 0;
    }
    const TIniDocument written = TIniDocument::FromText(edited.ToText());
    if (written.ReadString(section, key) != value.trimmed() &&
        written.ReadString(section, key) != value)
        FuzzFinding("a written value reads back otherwise:", written.ReadString(section, key));
    TIniDocument withoutIt = TIniDocument::FromText(edited.ToText());
    withoutIt.DeleteKey(section, key);
    if (withoutIt.KeyNames(section).isEmpty())
        withoutIt.EraseSection(section);
    if (Values(withoutIt) != others)
        FuzzFinding("writing a value changed other values:", value);
    return 0;
}
