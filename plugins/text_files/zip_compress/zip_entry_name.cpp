#include "plugins/text_files/zip_compress/zip_entry_name.h"

#include "platform/native_path.h"

QString ZipEntryNameProblem(const QByteArray& ANativeName) {
    if (ANativeName.isEmpty())
        return QStringLiteral("an entry needs a name");
    if (ANativeName.contains('\0') || !IsTextName(ANativeName.constData()))
        return QStringLiteral("its name is not valid UTF-8 text");
    const QString name = QString::fromUtf8(ANativeName);
    if (name.contains(u'\\'))
        return QStringLiteral(
            "its name holds a backslash, which other systems unpack as a folder separator");
    for (const QChar c : name)
        if (c.category() == QChar::Other_Control)
            return QStringLiteral("its name holds a control character (U+") +
                   QString::number(c.unicode(), 16).toUpper().rightJustified(4, u'0') +
                   QStringLiteral("), which other systems would unpack as another name");
    return {};
}
