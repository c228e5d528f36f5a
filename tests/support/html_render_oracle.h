#pragma once

// A test oracle for packed web pages: what a browser shows of a page, as far as removing or
// changing white space and comments can affect it. It reads the page with its own tolerant
// tokenizer (written after the HTML tokenizer's rules, sharing nothing with the packer):
// - Text: the words of each line box, in order. Block and table elements and br separate
//   lines; inline elements do not (their tags are not words); a run of white space counts as
//   one space and none counts at a line's ends. Replaced and form elements (img, input, button,
//   ...) stand as one object character (U+FFFC), so white space beside them counts. The text of
//   script, style, title and the other raw-text elements is not shown.
// - Elements: every start and end tag with its attributes in order, names in lower case,
//   values as written but with each run of white space as one space.
// - Verbatim: the exact text inside pre, textarea and script elements.
// Character references stay as written: a packed page keeps them as they are.

#include <QString>
#include <QStringList>

struct THtmlRendering {
    QStringList Lines;
    QStringList Elements;
    QStringList Verbatim;
};

THtmlRendering RenderHtml(const QString& APage);

// The first difference between what two pages show, in words; empty when they show the same.
QString RenderingDifference(const QString& AOriginal, const QString& APacked);
