#include "ui/text_tools/syntax_highlighters.h"

#include <QColor>
#include <QFont>

namespace {

QTextCharFormat Format(const QColor& AColor, bool ABold = false, bool AItalic = false) {
    QTextCharFormat format;
    format.setForeground(AColor);
    if (ABold)
        format.setFontWeight(QFont::Bold);
    format.setFontItalic(AItalic);
    return format;
}

// Block state of the markup highlighter: the block ends inside a comment.
constexpr int KInsideComment = 1;

}  // namespace

TqvIniHighlighter::TqvIniHighlighter(QTextDocument* ADocument)
    : QSyntaxHighlighter(ADocument),
      FSection(Format(QColor(0x00, 0x00, 0x80), true)),
      FComment(Format(QColor(0x00, 0x80, 0x00), false, true)),
      FKey(Format(QColor(0x80, 0x00, 0x00))) {}

void TqvIniHighlighter::highlightBlock(const QString& AText) {
    qsizetype start = 0;
    while (start < AText.size() && AText[start].isSpace())
        ++start;
    const QStringView line = QStringView(AText).mid(start);
    if (line.isEmpty())
        return;
    if (line.startsWith(u';')) {
        setFormat(0, static_cast<int>(AText.size()), FComment);
        return;
    }
    if (line.startsWith(u'[')) {
        const qsizetype close = AText.indexOf(QLatin1Char(']'), start);
        const qsizetype end = close < 0 ? AText.size() : close + 1;
        setFormat(static_cast<int>(start), static_cast<int>(end - start), FSection);
        return;
    }
    const qsizetype eq = AText.indexOf(QLatin1Char('='));
    if (eq > 0)
        setFormat(0, static_cast<int>(eq), FKey);
}

TqvMarkupHighlighter::TqvMarkupHighlighter(QTextDocument* ADocument)
    : QSyntaxHighlighter(ADocument),
      FTag(Format(QColor(0x00, 0x00, 0x80), true)),
      FAttributeValue(Format(QColor(0x00, 0x00, 0xFF))),
      FComment(Format(QColor(0x80, 0x80, 0x80), false, true)),
      FEntity(Format(QColor(0x80, 0x00, 0x80))) {}

void TqvMarkupHighlighter::highlightBlock(const QString& AText) {
    setCurrentBlockState(0);
    qsizetype pos = 0;
    const auto size = AText.size();
    if (previousBlockState() == KInsideComment) {
        const qsizetype end = AText.indexOf(QStringLiteral("-->"));
        if (end < 0) {
            setFormat(0, static_cast<int>(size), FComment);
            setCurrentBlockState(KInsideComment);
            return;
        }
        setFormat(0, static_cast<int>(end + 3), FComment);
        pos = end + 3;
    }
    while (pos < size) {
        const QChar c = AText[pos];
        if (AText.mid(pos, 4) == u"<!--") {
            const qsizetype end = AText.indexOf(QStringLiteral("-->"), pos + 4);
            if (end < 0) {
                setFormat(static_cast<int>(pos), static_cast<int>(size - pos), FComment);
                setCurrentBlockState(KInsideComment);
                return;
            }
            setFormat(static_cast<int>(pos), static_cast<int>(end + 3 - pos), FComment);
            pos = end + 3;
        } else if (c == u'<') {
            qsizetype end = AText.indexOf(QLatin1Char('>'), pos);
            if (end < 0)
                end = size - 1;
            setFormat(static_cast<int>(pos), static_cast<int>(end + 1 - pos), FTag);
            // Quoted attribute values inside the tag.
            for (qsizetype q = pos; q <= end; ++q) {
                if (AText[q] != u'"' && AText[q] != u'\'')
                    continue;
                const qsizetype close = AText.indexOf(AText[q], q + 1);
                const qsizetype last = close < 0 || close > end ? end : close;
                setFormat(static_cast<int>(q), static_cast<int>(last + 1 - q), FAttributeValue);
                q = last;
            }
            pos = end + 1;
        } else if (c == u'&') {
            const qsizetype end = AText.indexOf(QLatin1Char(';'), pos);
            if (end > pos && end - pos <= 10) {
                setFormat(static_cast<int>(pos), static_cast<int>(end + 1 - pos), FEntity);
                pos = end + 1;
            } else {
                ++pos;
            }
        } else {
            ++pos;
        }
    }
}
