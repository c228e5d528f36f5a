#include "base/stream_fields.h"

#include "base/exceptions.h"
#include "platform/ansi_code_page.h"

namespace {
const QByteArray KUtf8Mark("\xEF\xBB\xBF", 3);
}

TStreamWriter::TStreamWriter(const TAnsiCodePage* ACodePage) : FCodePage(ACodePage) {}

const TAnsiCodePage& TStreamWriter::CodePage() const {
    return FCodePage != nullptr ? *FCodePage : TAnsiCodePage::System();
}

void TStreamWriter::WriteInt32(std::int32_t AValue) {
    const auto u = static_cast<std::uint32_t>(AValue);
    const char bytes[4] = {static_cast<char>(u & 0xFF), static_cast<char>((u >> 8) & 0xFF),
                           static_cast<char>((u >> 16) & 0xFF),
                           static_cast<char>((u >> 24) & 0xFF)};
    FData.append(bytes, 4);
}

void TStreamWriter::WriteByte(std::uint8_t AValue) {
    FData.append(static_cast<char>(AValue));
}

void TStreamWriter::WriteBytes(const QByteArray& ABytes) {
    FData.append(ABytes);
}

void TStreamWriter::WriteAnsiBytes(const QByteArray& ABytes) {
    WriteInt32(static_cast<std::int32_t>(ABytes.size()));
    FData.append(ABytes);
}

void TStreamWriter::WriteAnsiString(const QString& AText) {
    WriteAnsiBytes(CodePage().Encode(AText));
}

void TStreamWriter::WriteUtf8String(const QString& AText) {
    const QByteArray utf8 = AText.toUtf8();
    WriteInt32(static_cast<std::int32_t>(utf8.size() + KUtf8Mark.size()));
    FData.append(KUtf8Mark);
    FData.append(utf8);
}

TStreamReader::TStreamReader(QByteArray AData, const TAnsiCodePage* ACodePage)
    : FData(std::move(AData)), FCodePage(ACodePage) {}

const TAnsiCodePage& TStreamReader::CodePage() const {
    return FCodePage != nullptr ? *FCodePage : TAnsiCodePage::System();
}

void TStreamReader::Require(qsizetype ACount, const char* AWhat) const {
    if (ACount > Remaining())
        throw EqvOperationNotPossible(
            QStringLiteral("Stream ends too early: reading %1 needs %2 bytes at offset %3, "
                           "only %4 left.")
                .arg(QString::fromLatin1(AWhat))
                .arg(ACount)
                .arg(FPos)
                .arg(Remaining()));
}

std::int32_t TStreamReader::ReadInt32() {
    Require(4, "an Int32");
    const auto* p = reinterpret_cast<const unsigned char*>(FData.constData() + FPos);
    const std::uint32_t u =
        static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
        (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
    FPos += 4;
    return static_cast<std::int32_t>(u);
}

std::uint8_t TStreamReader::ReadByte() {
    Require(1, "a Byte");
    return static_cast<std::uint8_t>(FData.at(FPos++));
}

QByteArray TStreamReader::ReadBytes(qsizetype ACount) {
    Require(ACount, "raw bytes");
    QByteArray out = FData.mid(FPos, ACount);
    FPos += ACount;
    return out;
}

qsizetype TStreamReader::ReadLength(const char* AWhat) {
    const qsizetype start = FPos;
    const std::int32_t length = ReadInt32();
    if (length < 0)
        throw EqvOperationNotPossible(
            QStringLiteral("Stream holds a negative length (%1) for %2 at offset %3.")
                .arg(length)
                .arg(QString::fromLatin1(AWhat))
                .arg(start));
    Require(length, AWhat);
    return length;
}

QByteArray TStreamReader::ReadAnsiBytes() {
    const qsizetype length = ReadLength("an ANSI-string field");
    return ReadBytes(length);
}

QString TStreamReader::ReadAnsiString() {
    return CodePage().Decode(ReadAnsiBytes());
}

QString TStreamReader::ReadUtf8String() {
    const qsizetype length = ReadLength("a UTF-8-string field");
    const QByteArray bytes = ReadBytes(length);
    if (bytes.startsWith(KUtf8Mark))
        return QString::fromUtf8(bytes.constData() + 3, bytes.size() - 3);
    return CodePage().Decode(bytes);
}
