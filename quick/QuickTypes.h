#pragma once
// Words shared by the quick explorer's panel, its connection object and its
// upload worker: the transfer type, the panel's options and the type of its
// progress hook.

#include <QFlags>
#include <QString>
#include <QtGlobal>

#include <functional>

class TBTFTPConnection;

enum TTransferType : quint8 { ttUnknown = 0, ttASCII = 1, ttBinary = 2 };

// The panel's options; a TdoOptions holds any set of them.
enum TftpOptions : quint8 {
    doAllowDelete = 1u << 0,
    doAllowDownload = 1u << 1,
    doAllowNewFolder = 1u << 2,
    doAllowRename = 1u << 3,
    doAllowUpload = 1u << 4,
    doDisplayProgress = 1u << 5,
    doShowHourglass = 1u << 6,
    doShowTransferType = 1u << 7,
};
Q_DECLARE_FLAGS(TdoOptions, TftpOptions)
Q_DECLARE_OPERATORS_FOR_FLAGS(TdoOptions)

// Progress of a transfer: bytes done, bytes still to do, the whole size and
// the speed, with the file's remote and local names. Sender is the
// connection object. Sizes are 64-bit (files over 2 GiB).
using TDisplayProgressEvent =
    std::function<void(TBTFTPConnection *sender, qint64 doneSize, qint64 toBeDoneSize, qint64 totalSize,
                       qint64 bytesPerSecond, const QString &remoteFilename, const QString &localFileName)>;
