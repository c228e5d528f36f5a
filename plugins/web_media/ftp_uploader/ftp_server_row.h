#pragma once

#include <QString>
#include <QStringList>

#include <cstdint>

// One server row of the uploader's grid, its cells normalised as they arrive.
struct TFtpServerRow {
    QString Host;
    QString Port;
    QString StartDirectory;
    QString ConnectMode;   // "auto", "passive" or "active"
    QString OverrideMode;  // "always" or "newer"
    QString TransferMode;  // "auto", "ascii" or "binary"
    QString Login;
    QString Password;
    bool Complete = false;  // the password cell arrived

    // The row's string ID: host, port, login and password without separators.
    QString StringID() const;
    // The same with the password replaced by "***", for messages (an empty one stays empty).
    QString ShownStringID() const;
    // The key of the row's client: host, port, login, password and connect mode, each its own
    // part, so rows share a client only when all of them agree (the joined string ID cannot
    // tell login "ab" with password "c" from login "a" with password "bc").
    QStringList ClientKey() const;
    // AText with the row's password replaced by "***" wherever it stands (an empty password is
    // never replaced).
    QString MaskPassword(const QString& AText) const;
    // The port as a number; throws EqvParamWrong when it is not a whole number from 1 to 65535.
    int PortNumber() const;
    // Whether the host cell asks for explicit TLS ("ftpes://" in front), and the host without it.
    bool ExplicitTls() const;
    QString HostName() const;
    // Whether the transfer type is ASCII for a file of this name: the transfer mode, or for
    // "auto" the file's extension.
    bool UsesAscii(const QString& AFileName) const;
    // The same for a local file: in "auto" mode a text file in UTF-16 or UTF-32 (it starts with
    // a byte-order mark) goes binary, since any line-end conversion would corrupt it.
    bool UsesAsciiForFile(const QString& ALocalFile) const;
};

// The normalisation of each column's cell, by column ID; other columns are kept as they are.
QString NormaliseFtpCell(const QString& AColID, const QString& AValue);

// The directory of a local file below the batch root, with "/" separators and without a
// leading one ("site/img/" or empty for a file in the root). Throws EqvParamWrong for a file
// outside the root.
QString RelativeDirectoryBelowRoot(const QString& ARootBatchPath, const QString& ALocalFile);

// The remote folder of a file: the parts joined with single "/" separators, beginning and
// ending with "/", empty parts skipped.
QString JoinRemoteDirectory(const QString& ALoginDirectory, const QString& AStartDirectory,
                            const QString& ARelativeDirectory);

// A local file's last-write time in seconds since 1970 (UTC), floored to two seconds; 0 when
// the file does not exist.
std::int64_t LocalFileTimeTwoSeconds(const QString& ALocalFile);
