#pragma once

#include <QByteArray>
#include <QString>

// Why a file's name (as the file system holds it) cannot be an archive entry's name, or empty
// when it can. Entry names are stored as UTF-8, so a name that is not valid UTF-8 would be
// changed; unpackers on other systems take "\" for a folder separator, and a control character
// (a line break, an escape) is misread or acted on there, so such a name would unpack as
// another path.
QString ZipEntryNameProblem(const QByteArray& ANativeName);
