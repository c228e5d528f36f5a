#pragma once

#include <QString>
#include <QStringList>

#include <vector>

// An INI text held in memory: sections in square brackets with key=value lines. Sections and
// keys keep their order and first spelling, are found ignoring case, and everything the program
// does not know (other sections, other keys, comments) survives a load and save unchanged.
// Text is written with CR LF line ends.
class TIniDocument {
public:
    TIniDocument() = default;

    // Parses INI text (CR LF, LF or CR line ends; a leading U+FEFF is ignored).
    static TIniDocument FromText(const QString& AText);
    // Decodes file bytes: a UTF-8 mark is dropped; valid UTF-8 is read as such, anything else
    // in the system ANSI code page.
    static TIniDocument FromBytes(const QByteArray& ABytes);
    // Reads a file; a missing or unreadable file gives an empty document.
    static TIniDocument FromFile(const QString& APath);

    QString ToText() const;

    bool SectionExists(const QString& ASection) const;
    bool ValueExists(const QString& ASection, const QString& AKey) const;
    QStringList SectionNames() const;
    QStringList KeyNames(const QString& ASection) const;

    QString ReadString(const QString& ASection, const QString& AKey,
                       const QString& ADefault = {}) const;
    // Decimal integer; a missing key or a value that is not a number gives the default.
    int ReadInteger(const QString& ASection, const QString& AKey, int ADefault) const;
    // Read as an integer, non-zero is true; not a number gives the default.
    bool ReadBool(const QString& ASection, const QString& AKey, bool ADefault) const;

    // A section, key or value must fit in its one line: one holding a line break (CR or LF)
    // would be read back as further lines, that is other keys or sections, so writing it raises
    // EqvParamWrong and leaves the document as it was.
    static bool FitsInOneLine(const QString& AText);
    void WriteString(const QString& ASection, const QString& AKey, const QString& AValue);
    void WriteInteger(const QString& ASection, const QString& AKey, int AValue);
    void WriteBool(const QString& ASection, const QString& AKey, bool AValue);  // "1" / "0"

    void DeleteKey(const QString& ASection, const QString& AKey);
    void EraseSection(const QString& ASection);

private:
    struct TLine {
        QString Key;    // empty for a line that is not key=value (comment, blank, other)
        QString Value;  // the value, or the raw text of a non key line
        bool IsPair = false;
    };
    struct TSection {
        QString Name;  // empty for the lines before the first header
        bool HasHeader = false;
        std::vector<TLine> Lines;
    };

    const TSection* FindSection(const QString& AName) const;
    TSection& EnsureSection(const QString& AName);
    static const TLine* FindPair(const TSection& ASection, const QString& AKey);

    std::vector<TSection> FSections;
};
