#pragma once

#include <QByteArray>
#include <QString>

class TAnsiCodePage;
class TIniDocument;

// How a text file's bytes encode its text.
enum class TTextEncoding {
    Utf8,        // UTF-8 without mark (plain ASCII files are reported as this)
    Utf8Bom,     // EF BB BF, then UTF-8
    Utf16LE,     // UTF-16 little-endian without mark (found by the statistical test)
    Utf16LEBom,  // FF FE, then UTF-16 little-endian
    Utf16BEBom,  // FE FF, then UTF-16 big-endian
    Ansi,        // the system ANSI code page
    Utf8Lossy    // neither valid UTF-8 nor valid ANSI; decoded as UTF-8 with replacements
};

enum class TTextReadStatus {
    Ok,         // read (possibly empty)
    Missing,    // the file does not exist
    Unreadable  // the file exists but could not be opened or read
};

struct TTextFileContent {
    QString Text;  // without any byte-order mark
    TTextEncoding Encoding = TTextEncoding::Utf8;
    TTextReadStatus Status = TTextReadStatus::Missing;
};

// Reads a whole text file and tells which encoding it found. The byte-order marks are checked
// first (EF BB BF; FF FE and FE FF, but not the UTF-32 marks FF FE 00 00 and 00 00 FE FF); then
// the statistical UTF-16 test; then strict UTF-8; then the ANSI code page strictly; finally
// lossy UTF-8. The mark is not part of Text.
TTextFileContent ReadTextFileDetected(const QString& APath,
                                      const TAnsiCodePage* ACodePage = nullptr);

// The whole file as text, encoding detected. What cannot be read is the empty string. As with
// the classic reader, a UTF-16 mark (either order) stays in the text as its first character
// U+FEFF, so writing the text back as UTF-16 little-endian keeps the mark.
QString ReadTextFileAuto(const QString& APath, const TAnsiCodePage* ACodePage = nullptr);

// The statistical test for UTF-16 little-endian text without a mark.
bool LooksLikeUtf16(const QByteArray& ABytes);

// Encodes text in the given encoding, with the mark that encoding carries. Utf8Lossy encodes
// as Utf8.
QByteArray EncodeText(const QString& AText, TTextEncoding AEncoding,
                      const TAnsiCodePage* ACodePage = nullptr);

// Creates or truncates the file and writes the text in the given encoding. Returns false on
// any failure and never raises.
bool WriteTextFile(const QString& APath, const QString& AText, TTextEncoding AEncoding,
                   const TAnsiCodePage* ACodePage = nullptr);

// Creates or truncates the file and writes the text's code units little-endian; no mark is
// added. Returns false on any failure and never raises.
bool WriteTextFileUtf16(const QString& APath, const QString& AText);

// Appends the text's code units little-endian to the end of the file (created when missing);
// the present content is never read or rewritten. Returns false on failure.
bool AppendTextFileUtf16(const QString& APath, const QString& AText);

// Appends bytes to the end of a file (created when missing), without rewriting it.
bool AppendFileBytes(const QString& APath, const QByteArray& ABytes);

// The boolean rule for grid cells and INI texts: trimmed; empty, "0", or a first letter F/N is
// false; "1" or a first letter T/Y is true; otherwise true exactly when it reads as a whole
// number above 0.
bool TextToBool(const QString& AText);

// Reads the key as text (missing is empty), trimmed; empty gives the default, anything else
// goes through TextToBool.
bool ReadIniBool(const TIniDocument& AIni, const QString& ASection, const QString& AKey,
                 bool ADefault);
