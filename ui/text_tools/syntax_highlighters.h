#pragma once

#include <QSyntaxHighlighter>
#include <QTextCharFormat>

class QTextDocument;

// INI syntax: section lines in brackets, comment lines starting with ";", and the keys before
// "=".
class TqvIniHighlighter : public QSyntaxHighlighter {
public:
    explicit TqvIniHighlighter(QTextDocument* ADocument);

    QTextCharFormat FSection;
    QTextCharFormat FComment;
    QTextCharFormat FKey;

protected:
    void highlightBlock(const QString& AText) override;
};

// Markup: tags with their attribute values, comments ("<!--" to "-->", also across lines) and
// character references.
class TqvMarkupHighlighter : public QSyntaxHighlighter {
public:
    explicit TqvMarkupHighlighter(QTextDocument* ADocument);

    QTextCharFormat FTag;
    QTextCharFormat FAttributeValue;
    QTextCharFormat FComment;
    QTextCharFormat FEntity;

protected:
    void highlightBlock(const QString& AText) override;
};
