#include "base/text_file.h"

#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>
#include <QStringEncoder>

#include <algorithm>
#include <optional>

#include "base/ini_document.h"
#include "platform/ansi_code_page.h"

namespace {

const TAnsiCodePage& CodePageOrSystem(const TAnsiCodePage* ACodePage) {
    return ACodePage != nullptr ? *ACodePage : TAnsiCodePage::System();
}

bool StartsWith(const QByteArray& ABytes, const char* AMark, qsizetype ALength) {
    return ABytes.size() >= ALength && std::equal(AMark, AMark + ALength, ABytes.constData());
}

// UTF-16 code units taken as they stand (unpaired surrogates included), so that writing them
// back gives the same bytes. An odd last byte cannot form a unit and is dropped.
QString DecodeUtf16(const QByteArray& ABytes, qsizetype AFrom, bool ABigEndian) {
    const qsizetype units = (ABytes.size() - AFrom) / 2;
    QString text(units, Qt::Uninitialized);
    const auto* bytes = reinterpret_cast<const uchar*>(ABytes.constData()) + AFrom;
    for (qsizetype i = 0; i < units; ++i) {
        const uchar first = bytes[2 * i];
        const uchar second = bytes[2 * i + 1];
        text[i] = ABigEndian ? QChar(second, first) : QChar(first, second);
    }
    return text;
}

QByteArray EncodeUtf16(const QString& AText, bool ABigEndian) {
    QByteArray bytes(AText.size() * 2, Qt::Uninitialized);
    for (qsizetype i = 0; i < AText.size(); ++i) {
        const char16_t unit = AText.at(i).unicode();
        const char low = static_cast<char>(unit & 0xFF);
        const char high = static_cast<char>(unit >> 8);
        bytes[2 * i] = ABigEndian ? high : low;
        bytes[2 * i + 1] = ABigEndian ? low : high;
    }
    return bytes;
}

// Stateless: the whole file is one piece, so a sequence cut off at its end is an error, not
// something held back for more input. ConvertInitialBom: a second mark after the one already
// removed is content and must survive a read and write.
constexpr QStringConverter::Flags Utf8DecodeFlags =
    QStringConverter::Flag::Stateless | QStringConverter::Flag::ConvertInitialBom;

std::optional<QString> DecodeUtf8Strict(QByteArrayView ABytes) {
    QStringDecoder decoder(QStringConverter::Utf8, Utf8DecodeFlags);
    QString text = decoder.decode(ABytes);
    if (decoder.hasError())
        return std::nullopt;
    return text;
}

QString DecodeUtf8Lossy(QByteArrayView ABytes) {
    QStringDecoder decoder(QStringConverter::Utf8, Utf8DecodeFlags);
    return decoder.decode(ABytes);
}

QByteArray EncodeUtf8(const QString& AText) {
    QStringEncoder encoder(QStringConverter::Utf8, QStringConverter::Flag::ConvertInitialBom);
    return encoder.encode(AText);
}

TTextFileContent DecodeContent(const QByteArray& ABytes, const TAnsiCodePage* ACodePage) {
    TTextFileContent content;
    content.Status = TTextReadStatus::Ok;

    static constexpr char Utf8Mark[] = "\xEF\xBB\xBF";
    static constexpr char Utf32LEMark[] = "\xFF\xFE\x00\x00";
    static constexpr char Utf32BEMark[] = "\x00\x00\xFE\xFF";
    static constexpr char Utf16LEMark[] = "\xFF\xFE";
    static constexpr char Utf16BEMark[] = "\xFE\xFF";

    if (StartsWith(ABytes, Utf8Mark, 3)) {
        // Invalid bytes after the mark are reported as a lossy read, so that nobody rewrites the
        // file believing it was read whole.
        if (std::optional<QString> text = DecodeUtf8Strict(QByteArrayView(ABytes).sliced(3))) {
            content.Encoding = TTextEncoding::Utf8Bom;
            content.Text = std::move(*text);
        } else {
            content.Encoding = TTextEncoding::Utf8Lossy;
            content.Text = DecodeUtf8Lossy(QByteArrayView(ABytes).sliced(3));
        }
        return content;
    }
    // The UTF-32 marks are not recognised; those files go through the content tests.
    const bool utf32Mark = StartsWith(ABytes, Utf32LEMark, 4) || StartsWith(ABytes, Utf32BEMark, 4);
    if (!utf32Mark && StartsWith(ABytes, Utf16LEMark, 2)) {
        content.Encoding = TTextEncoding::Utf16LEBom;
        content.Text = DecodeUtf16(ABytes, 2, false);
        return content;
    }
    if (!utf32Mark && StartsWith(ABytes, Utf16BEMark, 2)) {
        content.Encoding = TTextEncoding::Utf16BEBom;
        content.Text = DecodeUtf16(ABytes, 2, true);
        return content;
    }
    if (LooksLikeUtf16(ABytes)) {
        content.Encoding = TTextEncoding::Utf16LE;
        content.Text = DecodeUtf16(ABytes, 0, false);
        return content;
    }
    if (std::optional<QString> text = DecodeUtf8Strict(ABytes)) {
        content.Encoding = TTextEncoding::Utf8;
        content.Text = std::move(*text);
        return content;
    }
    if (std::optional<QString> text = CodePageOrSystem(ACodePage).DecodeStrict(ABytes)) {
        content.Encoding = TTextEncoding::Ansi;
        content.Text = std::move(*text);
        return content;
    }
    content.Encoding = TTextEncoding::Utf8Lossy;
    content.Text = DecodeUtf8Lossy(ABytes);
    return content;
}

// Writes all bytes to an open file and closes it; false when any byte did not reach the file.
bool WriteAllAndClose(QFile& AFile, const QByteArray& ABytes) {
    const bool written = AFile.write(ABytes) == ABytes.size() && AFile.flush();
    AFile.close();
    return written && AFile.error() == QFileDevice::NoError;
}

// Truncates in place rather than replacing the file, so links and open handles to it keep
// seeing the same file. The bytes are ready before the file is opened, and an open that fails
// truncates nothing.
bool WriteFileBytesInPlace(const QString& APath, const QByteArray& ABytes) {
    if (APath.isEmpty())
        return false;
    QFile file(APath);
    // Overwriting and then cutting the rest is several times faster than truncating to zero
    // first (the file system then drops and reallocates every block), which matters when a
    // batch rewrites thousands of files. A file that cannot be opened for reading as well is
    // written the plain way.
    if (file.open(QIODevice::ReadWrite)) {
        const bool written =
            file.write(ABytes) == ABytes.size() && file.resize(ABytes.size()) && file.flush();
        file.close();
        return written && file.error() == QFileDevice::NoError;
    }
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    return WriteAllAndClose(file, ABytes);
}

}  // namespace

bool LooksLikeUtf16(const QByteArray& ABytes) {
    // Text in an 8-bit encoding (ASCII, UTF-8, ANSI code pages) holds no zero bytes, while
    // UTF-16 text of Latin script has a zero high byte in most units. So the test asks for
    // zero bytes in the right places and never fires on text without them.
    if (ABytes.size() < 2 || ABytes.size() % 2 != 0)
        return false;
    const auto* bytes = reinterpret_cast<const uchar*>(ABytes.constData());
    const qsizetype units = ABytes.size() / 2;
    qsizetype highZero = 0;  // units below U+0100: the zero byte at the odd position
    qsizetype lowZero = 0;   // units like U+4E00, or big-endian text read the wrong way round
    bool controls = false;   // CR, LF, tab, space or the ideographic space as code units
    bool expectLowSurrogate = false;
    for (qsizetype i = 0; i < units; ++i) {
        const uchar low = bytes[2 * i];
        const uchar high = bytes[2 * i + 1];
        const char16_t unit = static_cast<char16_t>(low | (high << 8));
        // A NUL character does not occur in text; it is UTF-32 or binary data.
        if (unit == 0)
            return false;
        const bool isHighSurrogate = unit >= 0xD800 && unit <= 0xDBFF;
        const bool isLowSurrogate = unit >= 0xDC00 && unit <= 0xDFFF;
        if (isLowSurrogate != expectLowSurrogate)
            return false;
        expectLowSurrogate = isHighSurrogate;
        if (high == 0)
            ++highZero;
        if (low == 0)
            ++lowZero;
        if (unit == u'\r' || unit == u'\n' || unit == u'\t' || unit == u' ' || unit == 0x3000)
            controls = true;
    }
    if (expectLowSurrogate)
        return false;
    if (highZero <= lowZero)
        return false;
    return controls || highZero * 2 > units;
}

TTextFileContent ReadTextFileDetected(const QString& APath, const TAnsiCodePage* ACodePage) {
    TTextFileContent content;
    if (APath.isEmpty())
        return content;  // Missing
    QFile file(APath);
    if (!file.open(QIODevice::ReadOnly)) {
        const QFileInfo info(APath);
        content.Status = info.exists() || info.isSymLink() ? TTextReadStatus::Unreadable
                                                           : TTextReadStatus::Missing;
        return content;
    }
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        content.Status = TTextReadStatus::Unreadable;
        return content;
    }
    return DecodeContent(bytes, ACodePage);
}

QString ReadTextFileAuto(const QString& APath, const TAnsiCodePage* ACodePage) {
    TTextFileContent content = ReadTextFileDetected(APath, ACodePage);
    if (content.Status != TTextReadStatus::Ok)
        return {};
    if (content.Encoding == TTextEncoding::Utf16LEBom ||
        content.Encoding == TTextEncoding::Utf16BEBom)
        content.Text.prepend(QChar(0xFEFF));
    return content.Text;
}

QByteArray EncodeText(const QString& AText, TTextEncoding AEncoding,
                      const TAnsiCodePage* ACodePage) {
    switch (AEncoding) {
        case TTextEncoding::Utf8:
        case TTextEncoding::Utf8Lossy:
            return EncodeUtf8(AText);
        case TTextEncoding::Utf8Bom:
            return QByteArrayLiteral("\xEF\xBB\xBF") + EncodeUtf8(AText);
        case TTextEncoding::Utf16LE:
            return EncodeUtf16(AText, false);
        case TTextEncoding::Utf16LEBom:
            return QByteArrayLiteral("\xFF\xFE") + EncodeUtf16(AText, false);
        case TTextEncoding::Utf16BEBom:
            return QByteArrayLiteral("\xFE\xFF") + EncodeUtf16(AText, true);
        case TTextEncoding::Ansi:
            return CodePageOrSystem(ACodePage).Encode(AText);
    }
    return EncodeUtf8(AText);
}

bool WriteTextFile(const QString& APath, const QString& AText, TTextEncoding AEncoding,
                   const TAnsiCodePage* ACodePage) {
    return WriteFileBytesInPlace(APath, EncodeText(AText, AEncoding, ACodePage));
}

bool WriteTextFileUtf16(const QString& APath, const QString& AText) {
    return WriteFileBytesInPlace(APath, EncodeUtf16(AText, false));
}

bool AppendTextFileUtf16(const QString& APath, const QString& AText) {
    return AppendFileBytes(APath, EncodeUtf16(AText, false));
}

bool AppendFileBytes(const QString& APath, const QByteArray& ABytes) {
    if (APath.isEmpty())
        return false;
    QFile file(APath);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append))
        return false;
    return WriteAllAndClose(file, ABytes);
}

bool TextToBool(const QString& AText) {
    const QString text = AText.trimmed();
    if (text.isEmpty() || text == u"0")
        return false;
    const QChar first = text.front().toUpper();
    if (first == u'F' || first == u'N')
        return false;
    if (text == u"1" || first == u'T' || first == u'Y')
        return true;
    // A whole number above 0; checked by its digits so that a number too big for any integer
    // type still counts as positive.
    qsizetype start = 0;
    if (text.front() == u'+' || text.front() == u'-')
        start = 1;
    if (start == text.size())
        return false;
    bool nonZero = false;
    for (qsizetype i = start; i < text.size(); ++i) {
        const char16_t c = text.at(i).unicode();
        if (c < u'0' || c > u'9')
            return false;
        if (c != u'0')
            nonZero = true;
    }
    return nonZero && text.front() != u'-';
}

bool ReadIniBool(const TIniDocument& AIni, const QString& ASection, const QString& AKey,
                 bool ADefault) {
    const QString text = AIni.ReadString(ASection, AKey).trimmed();
    if (text.isEmpty())
        return ADefault;
    return TextToBool(text);
}
