#include "tests/support/html_render_oracle.h"

#include <QSet>

#include <algorithm>
#include <utility>

namespace {

bool IsSpace(QChar AChar) {
    const char16_t c = AChar.unicode();
    return c == u' ' || c == u'\t' || c == u'\n' || c == u'\f' || c == u'\r';
}

bool IsLetter(QChar AChar) {
    const char16_t c = AChar.unicode();
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z');
}

// ASCII lower case only: tag and attribute names fold no other letter.
QString AsciiLower(QStringView AText) {
    QString lower = AText.toString();
    for (QChar& c : lower) {
        if (c >= u'A' && c <= u'Z')
            c = QChar(c.unicode() + (u'a' - u'A'));
    }
    return lower;
}

// Every run of white space as one space; with ATrim none at the ends.
QString Collapse(QStringView AText, bool ATrim) {
    QString out;
    out.reserve(AText.size());
    bool space = false;
    for (const QChar c : AText) {
        if (IsSpace(c)) {
            space = true;
            continue;
        }
        if (space && (!ATrim || !out.isEmpty()))
            out += u' ';
        space = false;
        out += c;
    }
    if (space && !ATrim)
        out += u' ';
    return out;
}

QSet<QString> Names(const char* AList) {
    QSet<QString> names;
    for (const QString& name : QString::fromLatin1(AList).split(u' ', Qt::SkipEmptyParts))
        names.insert(name);
    return names;
}

// Elements that begin and end a line box.
const QSet<QString> KLineElements = Names(
    "address article aside blockquote br caption center col colgroup dd details dialog "
    "dir div dl dt fieldset figcaption figure footer form frame frameset h1 h2 h3 h4 h5 h6 "
    "header hgroup hr legend li listing main menu nav ol optgroup option p "
    "plaintext pre search section summary table tbody td tfoot th thead tr ul xmp");
// Elements drawn as a box of their own: white space beside them shows.
const QSet<QString> KObjectElements = Names(
    "audio button canvas embed iframe img input math meter object progress q select svg "
    "textarea video wbr");
// Elements whose content is text up to their end tag, and those of them that are not shown.
const QSet<QString> KRawElements =
    Names("iframe noembed noframes noscript script style textarea title xmp");
const QSet<QString> KHiddenRawElements =
    Names("iframe noembed noframes noscript script style title");
// Void elements: a "/" before their ">" changes nothing (elsewhere, as in SVG, it closes them).
const QSet<QString> KVoidElements =
    Names("area base br col embed hr img input keygen link meta param source track wbr");
// Elements whose content must stay exactly as written.
const QSet<QString> KVerbatimElements = Names("pre script textarea");

struct TTag {
    QString Name;
    bool End = false;
    bool SelfClosing = false;
    QStringList Attributes;  // name, or name="value"
};

class TRenderer {
public:
    explicit TRenderer(const QString& APage) : FText(APage), FSize(APage.size()) {}

    THtmlRendering Run() {
        qsizetype pos = 0;
        while (pos < FSize) {
            const qsizetype lt = FText.indexOf(u'<', pos);
            if (lt < 0) {
                FLine += QStringView(FText).mid(pos);
                break;
            }
            FLine += QStringView(FText).mid(pos, lt - pos);
            pos = Markup(lt);
        }
        EndLine();
        return FResult;
    }

private:
    // Reads the markup at the "<" at APos and returns where the text goes on.
    qsizetype Markup(qsizetype APos) {
        const QStringView rest = QStringView(FText).mid(APos);
        if (rest.startsWith(u"<!--"))
            return Comment(APos);
        if (rest.startsWith(u"<!") || rest.startsWith(u"<?"))
            return ToFirstClose(APos + 2);  // a doctype or a bogus comment
        if (rest.startsWith(u"</") && (rest.size() < 3 || !IsLetter(rest.at(2))))
            return rest.startsWith(u"</>") ? APos + 3 : ToFirstClose(APos + 2);
        const bool endTag = rest.startsWith(u"</");
        const qsizetype nameAt = APos + (endTag ? 2 : 1);
        if (nameAt >= FSize || !IsLetter(FText.at(nameAt))) {
            FLine += u'<';  // a "<" that opens no tag is text
            return APos + 1;
        }
        TTag tag;
        tag.End = endTag;
        const qsizetype after = Tag(nameAt, tag);
        if (after < 0)
            return FSize;  // a tag cut off by the end of the page is dropped
        Element(tag, after);
        return FRawEnd >= 0 ? std::exchange(FRawEnd, -1) : after;
    }

    qsizetype Comment(qsizetype APos) {
        const QStringView rest = QStringView(FText).mid(APos);
        if (rest.startsWith(u"<!-->"))
            return APos + 5;
        if (rest.startsWith(u"<!--->"))
            return APos + 6;
        qsizetype end = FText.indexOf(u"-->", APos + 4);
        const qsizetype bang = FText.indexOf(u"--!>", APos + 4);
        if (end < 0 || (bang >= 0 && bang < end))
            end = bang >= 0 ? bang + 1 : -1;
        return end < 0 ? FSize : end + 3;
    }

    qsizetype ToFirstClose(qsizetype AFrom) {
        const qsizetype close = FText.indexOf(u'>', AFrom);
        return close < 0 ? FSize : close + 1;
    }

    void SkipSpace(qsizetype& APos) const {
        while (APos < FSize && IsSpace(FText.at(APos)))
            ++APos;
    }

    // Reads a tag from its name on; returns the position after its ">", or -1 at the end.
    qsizetype Tag(qsizetype APos, TTag& ATag) {
        qsizetype pos = APos;
        while (pos < FSize && !IsSpace(FText.at(pos)) && FText.at(pos) != u'/' &&
               FText.at(pos) != u'>')
            ++pos;
        ATag.Name = AsciiLower(QStringView(FText).mid(APos, pos - APos));
        for (;;) {
            SkipSpace(pos);
            if (pos >= FSize)
                return -1;
            const QChar c = FText.at(pos);
            if (c == u'>')
                return pos + 1;
            if (c == u'/') {
                if (pos + 1 < FSize && FText.at(pos + 1) == u'>') {
                    ATag.SelfClosing = true;
                    return pos + 2;
                }
                ++pos;
                continue;
            }
            const qsizetype nameStart = pos++;  // the first character may be "="
            while (pos < FSize && !IsSpace(FText.at(pos)) && FText.at(pos) != u'/' &&
                   FText.at(pos) != u'>' && FText.at(pos) != u'=')
                ++pos;
            QString attribute = AsciiLower(QStringView(FText).mid(nameStart, pos - nameStart));
            SkipSpace(pos);
            if (pos < FSize && FText.at(pos) == u'=') {
                ++pos;
                SkipSpace(pos);
                if (pos >= FSize)
                    return -1;
                QStringView value;
                const QChar quote = FText.at(pos);
                if (quote == u'"' || quote == u'\'') {
                    const qsizetype close = FText.indexOf(quote, pos + 1);
                    if (close < 0)
                        return -1;
                    value = QStringView(FText).mid(pos + 1, close - pos - 1);
                    pos = close + 1;
                } else {
                    const qsizetype start = pos;
                    while (pos < FSize && !IsSpace(FText.at(pos)) && FText.at(pos) != u'>')
                        ++pos;
                    value = QStringView(FText).mid(start, pos - start);
                }
                attribute += QStringLiteral("=\"") + Collapse(value, false) + u'"';
            }
            ATag.Attributes << attribute;
        }
    }

    void Element(const TTag& ATag, qsizetype AAfter) {
        FResult.Elements << (ATag.End ? QStringLiteral("</") : QStringLiteral("<")) + ATag.Name +
                                (ATag.Attributes.isEmpty() ? QString()
                                                           : u' ' + ATag.Attributes.join(u' ')) +
                                (ATag.SelfClosing && !KVoidElements.contains(ATag.Name)
                                     ? QStringLiteral("/>")
                                     : QStringLiteral(">"));
        if (KLineElements.contains(ATag.Name))
            EndLine();
        if (KObjectElements.contains(ATag.Name))
            FLine += QChar(0xFFFC);
        if (ATag.End)
            return;
        if (ATag.Name == u"plaintext") {
            FLine += QStringView(FText).mid(AAfter);
            FRawEnd = FSize;
            return;
        }
        const bool raw = KRawElements.contains(ATag.Name);
        if (!raw && !KVerbatimElements.contains(ATag.Name))
            return;
        const qsizetype end = EndTagAt(AAfter, ATag.Name);
        const QStringView content = QStringView(FText).mid(AAfter, end - AAfter);
        if (KVerbatimElements.contains(ATag.Name))
            FResult.Verbatim << ATag.Name + QStringLiteral(": ") + content.toString();
        if (!raw)
            return;  // pre: its content is markup too
        if (!KHiddenRawElements.contains(ATag.Name) && ATag.Name != u"textarea")
            FLine += content;  // xmp shows its text as it is
        FRawEnd = end;
    }

    // The "</name" that ends a raw element's text, or the end of the page.
    qsizetype EndTagAt(qsizetype AFrom, const QString& AName) const {
        for (qsizetype at = FText.indexOf(u"</", AFrom); at >= 0;
             at = FText.indexOf(u"</", at + 2)) {
            const qsizetype after = at + 2 + AName.size();
            if (after <= FSize &&
                AsciiLower(QStringView(FText).mid(at + 2, AName.size())) == AName &&
                (after == FSize || IsSpace(FText.at(after)) || FText.at(after) == u'/' ||
                 FText.at(after) == u'>'))
                return at;
        }
        return FSize;
    }

    void EndLine() {
        const QString line = Collapse(FLine, true);
        if (!line.isEmpty())
            FResult.Lines << line;
        FLine.clear();
    }

    const QString& FText;
    const qsizetype FSize;
    QString FLine;
    qsizetype FRawEnd = -1;  // where the text goes on after a raw element's content
    THtmlRendering FResult;
};

QString FirstDifference(const char* AWhat, const QStringList& AOriginal,
                        const QStringList& APacked) {
    for (qsizetype i = 0; i < std::min(AOriginal.size(), APacked.size()); ++i) {
        if (AOriginal.at(i) != APacked.at(i))
            return QStringLiteral("%1 %2: \"%3\" became \"%4\"")
                .arg(QString::fromLatin1(AWhat))
                .arg(i + 1)
                .arg(AOriginal.at(i), APacked.at(i));
    }
    if (AOriginal.size() != APacked.size())
        return QStringLiteral("%1 %2 became %3")
            .arg(QString::fromLatin1(AWhat))
            .arg(AOriginal.size())
            .arg(APacked.size());
    return {};
}

}  // namespace

THtmlRendering RenderHtml(const QString& APage) {
    return TRenderer(APage).Run();
}

QString RenderingDifference(const QString& AOriginal, const QString& APacked) {
    const THtmlRendering original = RenderHtml(AOriginal);
    const THtmlRendering packed = RenderHtml(APacked);
    for (const QString& difference :
         {FirstDifference("line", original.Lines, packed.Lines),
          FirstDifference("element", original.Elements, packed.Elements),
          FirstDifference("verbatim content", original.Verbatim, packed.Verbatim)}) {
        if (!difference.isEmpty())
            return difference;
    }
    return {};
}
