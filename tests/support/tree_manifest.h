#pragma once

// What a folder tree holds, taken by the names' bytes (names need not be UTF-8) without
// following links: for every entry its kind, size, content hash, mode, modification time and,
// for a link, its target. Two manifests differ when anything below the folder was created,
// removed, renamed, rewritten, touched or had its mode changed.

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <map>

struct TManifestEntry {
    char Kind = '?';  // 'f' file, 'd' folder, 'l' link, 'o' anything else
    qint64 Size = 0;
    QByteArray Sha256;  // of a file's content, hex
    unsigned Mode = 0;  // permission bits
    qint64 MTimeNs = 0;
    QByteArray LinkTarget;
    bool operator==(const TManifestEntry&) const = default;
};

// Relative name (bytes, "/" between components) -> entry.
using TTreeManifest = std::map<QByteArray, TManifestEntry>;

TTreeManifest ManifestOf(const QString& AFolder);

// One line per difference ("changed a.txt: size 3 -> 0"), empty when the two are the same.
QStringList ManifestDifferences(const TTreeManifest& ABefore, const TTreeManifest& AAfter);

// Names in the manifest that are temporary files of a write that never finished: the copy's
// and the rewrite's temporaries and those of Qt and libzip (AArchiveNames: archives whose
// unfinished temporaries are "<archive>.XXXXXX").
QStringList UnfinishedWrites(const TTreeManifest& AManifest, const QStringList& AArchiveNames = {});
