#pragma once

#include <QPlainTextEdit>
#include <QString>

#include <cstdint>
#include <memory>

class QSyntaxHighlighter;

// The plain-text editor of file pages: no word wrap, both scroll bars, Tahoma 13 pixels. Its
// FileFlags choose the highlighting (1: INI, else 2: markup) and whether "*.ini" files are
// offered besides text files.
class TqvFileDocumentEditor : public QPlainTextEdit {
public:
    explicit TqvFileDocumentEditor(QWidget* AParent = nullptr);
    ~TqvFileDocumentEditor() override;

    void SetFileFlags(std::int32_t AFileFlags);
    std::int32_t FileFlags() const { return FFileFlags; }
    bool IsIniDocument() const;
    // Applies the highlighting the flags ask for (again).
    void ApplyHighlighting();
    QSyntaxHighlighter* Highlighter() const { return FHighlighter.get(); }

    // The document's text with the line breaks it was given (the editor itself keeps LF).
    QString DocumentText() const;
    void SetDocumentText(const QString& AText);

    // Reads a text file (its mark decides the encoding; without one UTF-16 by the statistical
    // test, else UTF-8 when valid, else ANSI) and shows it. A file that cannot be read raises
    // EqvOperationNotPossible and the editor keeps its text.
    void ImportFromFile(const QString& APath);
    // Writes the text as UTF-16LE without byte-order mark, completely or not at all; a failure
    // raises EqvOperationNotPossible.
    void ExportToFile(const QString& APath) const;

    // Inserts text at the caret (replacing a selection).
    void InsertAtCaret(const QString& AText);
    // Puts the caret at a character position of DocumentText(), with no selection.
    void SetCaretPosition(int APosition);

private:
    std::int32_t FFileFlags = 0;
    std::unique_ptr<QSyntaxHighlighter> FHighlighter;
};
