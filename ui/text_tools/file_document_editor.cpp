#include "ui/text_tools/file_document_editor.h"

#include <QFileInfo>
#include <QFont>
#include <QSyntaxHighlighter>
#include <QTextCursor>

#include <algorithm>

#include "base/exceptions.h"
#include "base/text_file.h"
#include "plugin_host/plugin_contract.h"
#include "ui/text_tools/syntax_highlighters.h"

TqvFileDocumentEditor::TqvFileDocumentEditor(QWidget* AParent) : QPlainTextEdit(AParent) {
    setObjectName(QStringLiteral("memFileDocument"));
    setLineWrapMode(QPlainTextEdit::NoWrap);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    QFont editorFont(QStringLiteral("Tahoma"));
    editorFont.setPixelSize(13);
    setFont(editorFont);
}

TqvFileDocumentEditor::~TqvFileDocumentEditor() {
    // The highlighter belongs to the document; it goes first.
    FHighlighter.reset();
}

void TqvFileDocumentEditor::SetFileFlags(std::int32_t AFileFlags) {
    FFileFlags = AFileFlags;
}

bool TqvFileDocumentEditor::IsIniDocument() const {
    return (FFileFlags & KFileFlagIni) != 0;
}

void TqvFileDocumentEditor::ApplyHighlighting() {
    FHighlighter.reset();
    if (IsIniDocument())
        FHighlighter = std::make_unique<TqvIniHighlighter>(document());
    else if ((FFileFlags & KFileFlagMarkup) != 0)
        FHighlighter = std::make_unique<TqvMarkupHighlighter>(document());
}

QString TqvFileDocumentEditor::DocumentText() const {
    // Documents of this program end their lines in CR LF, as the value files did.
    QString text = toPlainText();
    text.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
    return text;
}

void TqvFileDocumentEditor::SetDocumentText(const QString& AText) {
    setPlainText(AText);
}

void TqvFileDocumentEditor::ImportFromFile(const QString& APath) {
    // A FIFO or device would block the reader; only regular files are read.
    if (!QFileInfo(APath).isFile())
        throw EqvOperationNotPossible(QStringLiteral("The file \"") + APath +
                                      QStringLiteral("\" cannot be imported: it is no file."));
    const TTextFileContent content = ReadTextFileDetected(APath);
    if (content.Status != TTextReadStatus::Ok)
        throw EqvOperationNotPossible(QStringLiteral("The file \"") + APath +
                                      QStringLiteral("\" could not be read."));
    SetDocumentText(content.Text);
    if (IsIniDocument())
        ApplyHighlighting();
}

void TqvFileDocumentEditor::ExportToFile(const QString& APath) const {
    QString error;
    if (!WriteTextFileUtf16(APath, DocumentText(), &error))
        throw EqvOperationNotPossible(QStringLiteral("The text could not be exported to \"") +
                                      APath + QStringLiteral("\": ") + error);
}

void TqvFileDocumentEditor::InsertAtCaret(const QString& AText) {
    textCursor().insertText(AText);
}

void TqvFileDocumentEditor::SetCaretPosition(int APosition) {
    // The position counts in DocumentText(), where each line break is two characters; the
    // editor holds one.
    const QString text = DocumentText();
    const int bounded = std::clamp(APosition, 0, static_cast<int>(text.size()));
    const int breaksBefore = static_cast<int>(QStringView(text).left(bounded).count(u'\n'));
    QTextCursor cursor = textCursor();
    cursor.setPosition(std::clamp(bounded - breaksBefore, 0, document()->characterCount() - 1));
    setTextCursor(cursor);
}
