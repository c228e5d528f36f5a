#pragma once

#include <QString>

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

    // The key of the row's client: host, port, login and password without separators.
    QString StringID() const;
    // The same with the password replaced by "***", for messages.
    QString ShownStringID() const;
    // The port as a number; throws EqvParamWrong when it is not a whole number from 1 to 65535.
    int PortNumber() const;
    // Whether the host cell asks for explicit TLS ("ftpes://" in front), and the host without it.
    bool ExplicitTls() const;
    QString HostName() const;
    // Whether the transfer type is ASCII for a file of this name: the transfer mode, or for
    // "auto" the file's extension.
    bool UsesAscii(const QString& AFileName) const;
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
