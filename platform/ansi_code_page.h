#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

// The "system ANSI code page": the 8-bit code page used for identifiers in property streams,
// strings passed to external plugins and as the legacy fallback when reading text files.
// Windows-1252 unless the environment variable PLOVANE_ANSI_CODEPAGE names another iconv
// encoding.
class TAnsiCodePage {
public:
    explicit TAnsiCodePage(QByteArray AIconvName);

    // The process-wide code page, decided once from the environment.
    static const TAnsiCodePage& System();

    const QByteArray& Name() const { return FName; }

    // Strict decoding: nothing when a byte sequence is not valid in this code page.
    std::optional<QString> DecodeStrict(const QByteArray& ABytes) const;
    // Lossy decoding: an invalid byte becomes U+FFFD.
    QString Decode(const QByteArray& ABytes) const;
    // Characters the code page cannot hold become "?".
    QByteArray Encode(const QString& AText) const;

private:
    QByteArray FName;
};
