// The parameter words of a started program with the path put in for its placeholder: the input
// is a parameter text, a zero byte and a path (UTF-8). Checks: the path stands in the words
// exactly where the placeholder stood, never split and never joined with a neighbour (the
// words equal those made with a marker in its place, the marker then replaced by the path), and
// the number of words never depends on the path.
#include "platform/child_program.h"
#include "tests/fuzz/fuzz_support.h"

namespace {

const QString KPlaceholder = QStringLiteral("?FP?");

// A character in neither text, standing for the path while the words are made.
QChar Marker(const QString& AText, const QString& APath) {
    for (char16_t c = 0xE000; c < 0xF8FF; ++c)
        if (!AText.contains(QChar(c)) && !APath.contains(QChar(c)))
            return QChar(c);
    return {};
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* AData, std::size_t ASize) {
    const QByteArray bytes = FuzzBytes(AData, ASize);
    const qsizetype split = bytes.indexOf('\0');
    const QString text = QString::fromUtf8(split < 0 ? bytes : bytes.left(split));
    const QString path =
        split < 0 ? QStringLiteral("/w/a \"b\" c.txt") : QString::fromUtf8(bytes.mid(split + 1));
    const QChar marker = Marker(text, path);
    if (marker.isNull())
        return 0;
    const QStringList words = SplitShellWords(text, KPlaceholder, path);
    QStringList expected = SplitShellWords(text, KPlaceholder, QString(marker));
    for (QString& word : expected)
        word.replace(marker, path);
    if (words != expected)
        FuzzFinding("the path changed the words around it:", text + QStringLiteral(" | ") + path);
    if (SplitShellWords(text, KPlaceholder, QString()).size() != words.size())
        FuzzFinding("the path changed the number of words:", text + QStringLiteral(" | ") + path);
    // Without a placeholder in the text, the path plays no part.
    if (!text.contains(KPlaceholder) && words != SplitShellWords(text))
        FuzzFinding("words differ without a placeholder:", text);
    return 0;
}
