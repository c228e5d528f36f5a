#pragma once

#include <QByteArray>
#include <QString>

#include <cstdint>

class TAnsiCodePage;

// The field encodings of property streams and of the module configuration stream:
// Int32 (little-endian two's complement), Byte, ANSI-string field (Int32 byte length, then the
// text in the system ANSI code page) and UTF-8-string field (Int32 length, then EF BB BF and
// the UTF-8 text; readers also accept a field without the mark as ANSI text).

class TStreamWriter {
public:
    explicit TStreamWriter(const TAnsiCodePage* ACodePage = nullptr);

    void WriteInt32(std::int32_t AValue);
    void WriteByte(std::uint8_t AValue);
    void WriteBytes(const QByteArray& ABytes);
    void WriteAnsiString(const QString& AText);
    // An identifier that is already ANSI bytes (as plugins pass them).
    void WriteAnsiBytes(const QByteArray& ABytes);
    void WriteUtf8String(const QString& AText);

    const QByteArray& Data() const { return FData; }
    QByteArray TakeData() { return std::move(FData); }

private:
    const TAnsiCodePage& CodePage() const;

    const TAnsiCodePage* FCodePage;
    QByteArray FData;
};

// Reads fields from a byte buffer. Reading past the end, or a negative length, raises
// EqvOperationNotPossible naming what was read and where; it never reads garbage.
class TStreamReader {
public:
    explicit TStreamReader(QByteArray AData, const TAnsiCodePage* ACodePage = nullptr);

    std::int32_t ReadInt32();
    std::uint8_t ReadByte();
    QByteArray ReadBytes(qsizetype ACount);
    QString ReadAnsiString();
    QByteArray ReadAnsiBytes();
    QString ReadUtf8String();

    qsizetype Position() const { return FPos; }
    qsizetype Remaining() const { return FData.size() - FPos; }
    bool AtEnd() const { return FPos >= FData.size(); }

private:
    void Require(qsizetype ACount, const char* AWhat) const;
    qsizetype ReadLength(const char* AWhat);
    const TAnsiCodePage& CodePage() const;

    QByteArray FData;
    qsizetype FPos = 0;
    const TAnsiCodePage* FCodePage;
};
