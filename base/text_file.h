#pragma once

#include <QByteArray>
#include <QString>

#include <sys/stat.h>

#include <optional>

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
    // UTF-16 text whose file ends in an odd byte: that byte is no code unit and not in Text.
    bool OddLastByte = false;
    // Text in the ANSI code page whose characters the code page writes with other bytes than
    // the file has (code pages with two codes for one character, such as CP932).
    bool AnsiBytesDiffer = false;
    // The file as it was read, when the path itself was the file (no symbolic link): lets the
    // write back skip looking at the path again.
    std::optional<struct stat> ReadFile;
};

// Reads a whole text file and tells which encoding it found. The byte-order marks are checked
// first (EF BB BF; FF FE and FE FF, but not the UTF-32 marks FF FE 00 00 and 00 00 FE FF); then
// the statistical UTF-16 test; then strict UTF-8; then the ANSI code page strictly; finally
// lossy UTF-8. The mark is not part of Text.
TTextFileContent ReadTextFileDetected(const QString& APath,
                                      const TAnsiCodePage* ACodePage = nullptr);

// The same detection on bytes already read (Status is Ok).
TTextFileContent DecodeTextBytes(const QByteArray& ABytes,
                                 const TAnsiCodePage* ACodePage = nullptr);

// The whole file as text, encoding detected. What cannot be read is the empty string. As with
// the classic reader, a UTF-16 mark (either order) stays in the text as its first character
// U+FEFF, so writing the text back as UTF-16 little-endian keeps the mark.
QString ReadTextFileAuto(const QString& APath, const TAnsiCodePage* ACodePage = nullptr);

// Why writing the text back in its encoding would not give the file's bytes again (bytes that
// decoded only with replacements, an odd last byte of UTF-16 text), or empty when it would. A
// file read with such a loss must not be rewritten from its text.
QString LossOnWriteBack(const TTextFileContent& AContent);

// The statistical test for UTF-16 little-endian text without a mark.
bool LooksLikeUtf16(const QByteArray& ABytes);

// Encodes text in the given encoding, with the mark that encoding carries. Utf8Lossy encodes
// as Utf8. Text the encoding cannot hold (a character the 8-bit code page lacks, an unpaired
// surrogate in UTF-8) raises EqvOperationNotPossible naming the encoding: no character is ever
// replaced by "?" or U+FFFD.
QByteArray EncodeText(const QString& AText, TTextEncoding AEncoding,
                      const TAnsiCodePage* ACodePage = nullptr);

// Gives the file the text in the given encoding as its whole content (a missing file is
// created). The bytes are written completely beside the file, in an unnamed file where the file
// system has them, and renamed into place (ReplaceFileContentByUnnamedTemporary: mode and owner
// kept, a symbolic link's target rewritten), so a write that cannot finish leaves the file as it
// was, and a killed process leaves no half-written temporary file among the user's files. Text the
// encoding cannot hold raises as EncodeText does, before anything is written. Returns false when
// the file could not be written; AError (when given) receives the reason.
bool WriteTextFile(const QString& APath, const QString& AText, TTextEncoding AEncoding,
                   const TAnsiCodePage* ACodePage = nullptr, QString* AError = nullptr);

// Writes changed text back to the file it was read from (ReadTextFileDetected), as WriteTextFile
// does in the encoding found; the file's mode and owner as found when it was read are kept.
bool WriteTextFileBack(const QString& APath, const QString& AText, const TTextFileContent& AAsRead,
                       const TAnsiCodePage* ACodePage = nullptr, QString* AError = nullptr);

// As WriteTextFile with the text's code units little-endian and no mark added. Never raises:
// UTF-16 holds every code unit.
bool WriteTextFileUtf16(const QString& APath, const QString& AText, QString* AError = nullptr);

// Appends the text's code units little-endian to the end of the file (created when missing);
// the present content is never read or rewritten. Returns false on failure.
bool AppendTextFileUtf16(const QString& APath, const QString& AText);

// Appends bytes to the end of a file (created when missing), without rewriting it. An append
// that cannot finish is cut off again, so the file keeps its previous content.
bool AppendFileBytes(const QString& APath, const QByteArray& ABytes);

// The boolean rule for grid cells and INI texts: trimmed; empty, "0", or a first letter F/N is
// false; "1" or a first letter T/Y is true; otherwise true exactly when it reads as a whole
// number above 0.
bool TextToBool(const QString& AText);

// Reads the key as text (missing is empty), trimmed; empty gives the default, anything else
// goes through TextToBool.
bool ReadIniBool(const TIniDocument& AIni, const QString& ASection, const QString& AKey,
                 bool ADefault);
