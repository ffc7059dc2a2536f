#pragma once
// TBTFTPConnection: the quick explorer's connection object. It opens the FTP
// connection of the panel, moves file contents block by block with progress
// and speed reports, and makes the single-call folder and file operations.
// It lives on the GUI thread (created by the panel, destroyed with it); the
// upload worker calls UploadLocalFile, CreateDirectory and ChangeDirectory
// from its own thread, and its messages and progress reach the owner on the
// GUI thread.
//
// GUI-thread transfers keep the window responsive: pending events are
// processed between blocks and while waiting for the network. Destroy the
// object with deleteLater() while a transfer may be on the stack.

#include "FtpService.h"
#include "QuickTypes.h"

#include <QMutex>
#include <QObject>
#include <QString>

#include <atomic>
#include <functional>
#include <memory>

class TBTFTPOwner;

class TBTFTPConnection : public QObject
{
    Q_OBJECT
public:
    // Bytes moved per block: large enough for full speed on a fast line,
    // small enough that nothing close to a whole file is ever held.
    static constexpr qint64 BlockSize = 256 * 1024;
    // The agent name given to the library's root.
    static constexpr const char *AgentName = "ZEVudeDadaVAV";

    explicit TBTFTPConnection(TBTFTPOwner &owner, QObject *parent = nullptr);
    ~TBTFTPConnection() override;

    // Connects and logs in, then enters folder when it is not empty. When
    // the folder cannot be entered the connection stays open and the result
    // is false.
    bool Open(const QString &host, const QString &user, quint16 port, bool passive, const QString &folder,
              const QString &password);
    bool Connected() const;
    // Closes the connection handle and the library's root with it.
    void Close();

    // The file-name part of remoteName in the current remote folder into
    // localPath. The local file is written beside the target and takes its
    // place only once the server has confirmed the whole file: a failure
    // leaves an existing local file as it was.
    bool Download(const QString &remoteName, const QString &localPath, qint64 size);
    // localPath into remoteName in the current remote folder. True only when
    // every block was sent and the server confirmed the file.
    bool Upload(const QString &localPath, const QString &remoteName);
    // The same with the file-name part of localPath as the remote name.
    bool UploadLocalFile(const QString &localPath);

    bool ChangeDirectory(const QString &name);
    bool CreateDirectory(const QString &name);
    bool RemoveDirectory(const QString &name);
    bool DeleteFile(const QString &name);
    bool RenameFile(const QString &oldName, const QString &newName);

    // The connection handle, for the panel's listing and current folder;
    // null while not connected.
    std::shared_ptr<TFtpConnection> Handle() const;

    // The panel's transfer type as a byte: 1 ASCII, 2 binary, anything else
    // unknown (moved as binary).
    void SetTransferType(quint8 type);
    quint8 TransferType() const;

    // The server's whole last reply; false when there is none.
    bool LastResponse(QString &text) const;
    // Why the last call failed: TransferInProgress when another transfer of
    // this connection was running, ServerRefused with a reply to show, ...
    TFtpError LastError() const;
    // The message of a local file failure of the last transfer (French,
    // ready to show); empty when the last transfer did not fail locally.
    QString LocalError() const;

    void SetTimeouts(const TFtpTimeouts &timeouts);

    // The clock of the progress reports, in milliseconds (a steady clock
    // unless a test sets another).
    using TTickSource = std::function<qint64()>;
    void SetTickSource(TTickSource source);

    // Progress counters of the current (or last) transfer.
    qint64 DoneBytes() const { return done; }
    qint64 RemainingBytes() const { return remaining; }
    qint64 LastBlockSize() const { return lastBlockSize; }
    qint64 BytesPerSecond() const { return bytesPerSecond; }
    // The start of a transfer: done 0, remaining as given, both ticks now.
    void StartProgress(qint64 remainingBytes);
    void SetLastBlockSize(qint64 bytes) { lastBlockSize = bytes; }
    // After each block: counts it, and at most once a second (and once at
    // the end) reports to the owner's progress hook or writes the progress
    // message.
    void ReportProgress(qint64 total, const QString &localPath, const QString &remoteName);

private:
    bool SendFile(const QString &localPath, const QString &remoteName);
    bool Single(const std::function<bool(TFtpConnection &)> &operation);
    bool NotConnected();
    bool OnOwnerThread() const;
    void PumpEvents();
    void RunOnOwnerThread(std::function<void()> work);
    void SetLocalError(const QString &format, const QString &path, const QString &reason);
    qint64 Tick() const;
    TFtpTransferMode Mode() const;

    class TransferGuard;
    class Hourglass;

    TBTFTPOwner &owner;
    std::unique_ptr<TFtpSession> session;
    std::shared_ptr<TFtpConnection> handle;
    mutable QMutex handleLock;
    // One transfer at a time: the GUI thread is refused at once, the worker waits.
    QMutex transferLock;
    std::atomic<quint8> transferType{ttUnknown};
    TFtpTimeouts timeouts;
    TTickSource tickSource;
    QString localError;
    TFtpError ownError = TFtpError::None;
    QString closedReply;
    bool haveClosedReply = false;

    qint64 done = 0;
    qint64 remaining = 0;
    qint64 lastBlockSize = 0;
    qint64 startTick = 0;
    qint64 lastReportTick = 0;
    qint64 bytesPerSecond = 0;
    bool endReported = false;
};
