#include "base/text_file.h"

#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>
#include <QStringEncoder>

#include <algorithm>
#include <cstring>
#include <limits>
#include <optional>

#include "base/exceptions.h"
#include "base/ini_document.h"
#include "platform/ansi_code_page.h"
#include "platform/file_read.h"
#include "platform/file_replace.h"

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

[[noreturn]] void ThrowCannotHold(const QByteArray& AEncodingName, const QString& ACharacter) {
    // A surrogate pair is named by its code point, an unpaired surrogate by its code unit.
    const uint code = ACharacter.size() == 2
                          ? QChar::surrogateToUcs4(ACharacter.at(0), ACharacter.at(1))
                          : (ACharacter.isEmpty() ? 0u : ACharacter.at(0).unicode());
    const QString character = ACharacter.isEmpty()
                                  ? QString()
                                  : QStringLiteral(" U+%1").arg(code, 4, 16, QChar(u'0')).toUpper();
    throw EqvOperationNotPossible(
        QStringLiteral("The text cannot be written in the file's encoding ") +
        QString::fromLatin1(AEncodingName) +
        (character.isEmpty() ? QString()
                             : QStringLiteral(", which cannot hold the character") + character) +
        QStringLiteral("; the file was left unchanged."));
}

QByteArray EncodeUtf8(const QString& AText) {
    // Stateless: a high surrogate at the very end is an error, not held back for more input.
    QStringEncoder encoder(QStringConverter::Utf8, QStringConverter::Flag::ConvertInitialBom |
                                                       QStringConverter::Flag::Stateless);
    QByteArray bytes = encoder.encode(AText);
    // Only an unpaired surrogate fails, and the encoder would put U+FFFD in its place.
    if (encoder.hasError()) {
        for (qsizetype i = 0; i < AText.size(); ++i) {
            const QChar unit = AText.at(i);
            const bool paired = unit.isHighSurrogate()
                                    ? i + 1 < AText.size() && AText.at(i + 1).isLowSurrogate()
                                    : !unit.isLowSurrogate();
            if (!paired)
                ThrowCannotHold("UTF-8", QString(unit));
            if (unit.isHighSurrogate())
                ++i;
        }
        ThrowCannotHold("UTF-8", QString());
    }
    return bytes;
}

// The code page replaces what it cannot hold by "?" (and iconv may map a character to a
// look-alike), so the bytes are checked by decoding them again.
QByteArray EncodeAnsi(const QString& AText, const TAnsiCodePage& ACodePage) {
    QByteArray bytes = ACodePage.Encode(AText);
    const std::optional<QString> back = ACodePage.DecodeStrict(bytes);
    if (back && *back == AText)
        return bytes;
    // Found one character at a time only on failure, to name it.
    for (qsizetype i = 0; i < AText.size(); ++i) {
        const qsizetype length = AText.at(i).isHighSurrogate() && i + 1 < AText.size() &&
                                         AText.at(i + 1).isLowSurrogate()
                                     ? 2
                                     : 1;
        const QString character = AText.mid(i, length);
        if (ACodePage.DecodeStrict(ACodePage.Encode(character)) != character)
            ThrowCannotHold(ACodePage.Name(), character);
        i += length - 1;
    }
    ThrowCannotHold(ACodePage.Name(), QString());
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
        content.OddLastByte = ABytes.size() % 2 != 0;
        return content;
    }
    if (!utf32Mark && StartsWith(ABytes, Utf16BEMark, 2)) {
        content.Encoding = TTextEncoding::Utf16BEBom;
        content.Text = DecodeUtf16(ABytes, 2, true);
        content.OddLastByte = ABytes.size() % 2 != 0;
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
    const TAnsiCodePage& codePage = CodePageOrSystem(ACodePage);
    if (std::optional<QString> text = codePage.DecodeStrict(ABytes)) {
        content.Encoding = TTextEncoding::Ansi;
        content.Text = std::move(*text);
        content.AnsiBytesDiffer = codePage.Encode(content.Text) != ABytes;
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

}  // namespace

bool LooksLikeUtf16(const QByteArray& ABytes) {
    // Text in an 8-bit encoding (ASCII, UTF-8, ANSI code pages) holds no zero bytes, while
    // UTF-16 text of Latin script has a zero high byte in most units. So the test asks for
    // zero bytes in the right places and never fires on text without them.
    if (ABytes.size() < 2 || ABytes.size() % 2 != 0)
        return false;
    // Without any zero byte the count below cannot favour UTF-16; most files end here, after a
    // scan far quicker than the loop.
    if (std::memchr(ABytes.constData(), 0, static_cast<size_t>(ABytes.size())) == nullptr)
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

TTextFileContent DecodeTextBytes(const QByteArray& ABytes, const TAnsiCodePage* ACodePage) {
    return DecodeContent(ABytes, ACodePage);
}

TTextFileContent ReadTextFileDetected(const QString& APath, const TAnsiCodePage* ACodePage) {
    TTextFileContent content;
    if (APath.isEmpty())
        return content;  // Missing
    // Facts and bytes through one descriptor opened without waiting: a FIFO or device put in a
    // file's place is refused instead of blocking the reader.
    TOrdinaryFileRead file;
    QString reason;
    if (!ReadOrdinaryFile(APath, std::numeric_limits<qint64>::max() - 1, file, reason)) {
        const QFileInfo info(APath);
        content.Status = info.exists() || info.isSymLink() ? TTextReadStatus::Unreadable
                                                           : TTextReadStatus::Missing;
        return content;
    }
    content = DecodeContent(file.Bytes, ACodePage);
    if (file.NotALink)
        content.ReadFile = file.Info;
    return content;
}

QString LossOnWriteBack(const TTextFileContent& AContent) {
    if (AContent.Encoding == TTextEncoding::Utf8Lossy)
        return QStringLiteral(
            "its bytes are neither valid UTF-8 nor valid in the ANSI code page, so writing it "
            "back would replace some of them");
    if (AContent.OddLastByte)
        return QStringLiteral(
            "it is UTF-16 text whose last byte is odd (no whole character), so writing it back "
            "would lose that byte");
    if (AContent.AnsiBytesDiffer)
        return QStringLiteral(
            "some of its characters have two codes in the ANSI code page, so writing it back "
            "would change bytes that were not meant to change");
    return {};
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
            return EncodeAnsi(AText, CodePageOrSystem(ACodePage));
    }
    return EncodeUtf8(AText);
}

bool WriteTextFile(const QString& APath, const QString& AText, TTextEncoding AEncoding,
                   const TAnsiCodePage* ACodePage, QString* AError) {
    return ReplaceFileContentByUnnamedTemporary(APath, EncodeText(AText, AEncoding, ACodePage),
                                                AError);
}

bool WriteTextFileBack(const QString& APath, const QString& AText, const TTextFileContent& AAsRead,
                       const TAnsiCodePage* ACodePage, QString* AError) {
    return ReplaceFileContentByUnnamedTemporary(
        APath, EncodeText(AText, AAsRead.Encoding, ACodePage), AError,
        AAsRead.ReadFile ? &*AAsRead.ReadFile : nullptr);
}

bool WriteTextFileUtf16(const QString& APath, const QString& AText, QString* AError) {
    return ReplaceFileContentByUnnamedTemporary(APath, EncodeUtf16(AText, false), AError);
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
    const qint64 before = file.size();
    if (WriteAllAndClose(file, ABytes))
        return true;
    // A part-written entry (full disk, size limit) is taken off again.
    if (file.open(QIODevice::WriteOnly | QIODevice::Append))
        file.resize(before);
    return false;
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
