// The quick explorer's connection object: opening, block-by-block transfers
// with progress reports, and the single-call operations.
#include "BTFTPConnection.h"

#include "QuickOwner.h"
#include "QuickTexts.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QLocale>
#include <QMetaObject>
#include <QMutexLocker>
#include <QPointer>
#include <QSaveFile>
#include <QThread>
#include <QTime>

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

// Longest wait for the network before the GUI thread processes its events
// again; the worker waits longer between looks at a closed connection.
constexpr int GuiWaitMs = 50;
constexpr int WorkerWaitMs = 250;
// Reports at most this often, plus the final one.
constexpr qint64 ReportIntervalMs = 1000;
// The elapsed time of a report is never below this.
constexpr qint64 MinElapsedMs = 10;

qint64 CeilDiv(qint64 a, qint64 b)
{
    return a <= 0 ? a / b : (a + b - 1) / b;
}

// bytes per second / 1024 with the pattern "0.#": one decimal at most, none
// when it is 0, the locale's decimal separator, no thousands separator.
QString KilobytesText(qint64 bytesPerSecond)
{
    const double rounded = std::round(double(bytesPerSecond) / 1024.0 * 10.0) / 10.0;
    const bool whole = rounded == std::floor(rounded);
    QString text = QString::number(rounded, 'f', whole ? 0 : 1);
    return text.replace(QLatin1Char('.'), QLocale().decimalPoint());
}

// Seconds in the user's long time format (without its time zone); a
// duration of a day or more keeps counting hours instead of wrapping.
QString DurationText(qint64 seconds)
{
    const QLocale locale;
    if (seconds < 24 * 3600) {
        QString format;
        bool quoted = false;
        for (const QChar c : locale.timeFormat(QLocale::LongFormat)) {
            if (c == QLatin1Char('\''))
                quoted = !quoted;
            if (!quoted && c == QLatin1Char('t'))
                continue;
            format += c;
        }
        return locale.toString(QTime(0, 0).addSecs(int(seconds)), format.simplified());
    }
    return QStringLiteral("%1:%2:%3")
        .arg(seconds / 3600)
        .arg((seconds / 60) % 60, 2, 10, QLatin1Char('0'))
        .arg(seconds % 60, 2, 10, QLatin1Char('0'));
}

qint64 SteadyMilliseconds()
{
    static QElapsedTimer clock = [] {
        QElapsedTimer started;
        started.start();
        return started;
    }();
    return clock.elapsed();
}

} // namespace

// Holds the transfer lock for one transfer: the GUI thread never waits for
// it (a second transfer, say from an event processed between blocks, is
// refused), the worker does.
class TBTFTPConnection::TransferGuard
{
public:
    explicit TransferGuard(TBTFTPConnection &connection) : connection(connection)
    {
        if (connection.OnOwnerThread()) {
            held = connection.transferLock.tryLock();
        } else {
            connection.transferLock.lock();
            held = true;
        }
        QMutexLocker locker(&connection.handleLock);
        connection.localError.clear();
        connection.ownError = held ? TFtpError::None : TFtpError::TransferInProgress;
    }
    ~TransferGuard()
    {
        if (held)
            connection.transferLock.unlock();
    }
    TransferGuard(const TransferGuard &) = delete;
    TransferGuard &operator=(const TransferGuard &) = delete;
    explicit operator bool() const { return held; }

private:
    TBTFTPConnection &connection;
    bool held = false;
};

// The hourglass of a GUI-thread transfer with doShowHourglass, restored on
// every way out.
class TBTFTPConnection::Hourglass
{
public:
    explicit Hourglass(TBTFTPConnection &connection) : connection(connection)
    {
        shown = connection.OnOwnerThread() && connection.owner.FTPOptions().testFlag(doShowHourglass);
        if (shown)
            connection.owner.SetHourglass(true);
    }
    ~Hourglass()
    {
        if (shown)
            connection.owner.SetHourglass(false);
    }
    Hourglass(const Hourglass &) = delete;
    Hourglass &operator=(const Hourglass &) = delete;

private:
    TBTFTPConnection &connection;
    bool shown = false;
};

TBTFTPConnection::TBTFTPConnection(TBTFTPOwner &owner, QObject *parent) : QObject(parent), owner(owner) {}

TBTFTPConnection::~TBTFTPConnection()
{
    Close();
}

bool TBTFTPConnection::OnOwnerThread() const
{
    return QThread::currentThread() == thread();
}

void TBTFTPConnection::PumpEvents()
{
    if (OnOwnerThread() && QCoreApplication::instance())
        QCoreApplication::processEvents();
}

void TBTFTPConnection::RunOnOwnerThread(std::function<void()> work)
{
    if (OnOwnerThread())
        work();
    else
        QMetaObject::invokeMethod(this, std::move(work), Qt::QueuedConnection);
}

qint64 TBTFTPConnection::Tick() const
{
    return tickSource ? tickSource() : SteadyMilliseconds();
}

void TBTFTPConnection::SetTickSource(TTickSource source)
{
    tickSource = std::move(source);
}

void TBTFTPConnection::SetTimeouts(const TFtpTimeouts &value)
{
    timeouts = value;
}

void TBTFTPConnection::SetTransferType(quint8 type)
{
    transferType = type;
}

quint8 TBTFTPConnection::TransferType() const
{
    return transferType;
}

TFtpTransferMode TBTFTPConnection::Mode() const
{
    switch (transferType.load()) {
    case ttASCII:
        return TFtpTransferMode::Ascii;
    case ttBinary:
        return TFtpTransferMode::Binary;
    default:
        return TFtpTransferMode::Unknown;
    }
}

std::shared_ptr<TFtpConnection> TBTFTPConnection::Handle() const
{
    QMutexLocker locker(&handleLock);
    return handle;
}

bool TBTFTPConnection::Connected() const
{
    return Handle() != nullptr;
}

bool TBTFTPConnection::Open(const QString &host, const QString &user, quint16 port, bool passive,
                            const QString &folder, const QString &password)
{
    Close();
    std::unique_ptr<TFtpSession> root = TFtpSession::Open(QString::fromLatin1(AgentName));
    if (!root)
        return false;
    std::shared_ptr<TFtpConnection> connection = root->Connect({host, port, user, password, passive}, timeouts);
    {
        QMutexLocker locker(&handleLock);
        session = std::move(root);
        handle = std::move(connection);
        ownError = TFtpError::None;
        if (!handle)
            return false;
    }
    return folder.isEmpty() || ChangeDirectory(folder);
}

void TBTFTPConnection::Close()
{
    std::shared_ptr<TFtpConnection> closing;
    std::unique_ptr<TFtpSession> root;
    {
        QMutexLocker locker(&handleLock);
        closing = std::move(handle);
        root = std::move(session);
        handle.reset();
    }
    if (closing) {
        QString reply;
        const bool have = closing->LastResponse(reply);
        closing->Close();
        QMutexLocker locker(&handleLock);
        closedReply = reply;
        haveClosedReply = have;
    }
    // The root goes with the connection.
    root.reset();
}

bool TBTFTPConnection::LastResponse(QString &text) const
{
    QMutexLocker locker(&handleLock);
    if (handle)
        return handle->LastResponse(text);
    if (session)
        return session->LastResponse(text);
    if (haveClosedReply)
        text = closedReply;
    return haveClosedReply;
}

TFtpError TBTFTPConnection::LastError() const
{
    QMutexLocker locker(&handleLock);
    if (ownError != TFtpError::None)
        return ownError;
    if (!localError.isEmpty())
        return TFtpError::None;
    if (handle)
        return handle->LastError();
    return session ? session->LastError() : TFtpError::Closed;
}

QString TBTFTPConnection::LocalError() const
{
    QMutexLocker locker(&handleLock);
    return localError;
}

bool TBTFTPConnection::NotConnected()
{
    QMutexLocker locker(&handleLock);
    ownError = TFtpError::Closed;
    return false;
}

void TBTFTPConnection::SetLocalError(const QString &format, const QString &path, const QString &reason)
{
    QMutexLocker locker(&handleLock);
    localError = FormatQuickMessage(format, {path, reason});
}

// ---------------------------------------------------------------------------
// Single calls

bool TBTFTPConnection::Single(const std::function<bool(TFtpConnection &)> &operation)
{
    const std::shared_ptr<TFtpConnection> ftp = Handle();
    {
        QMutexLocker locker(&handleLock);
        localError.clear();
        ownError = ftp ? TFtpError::None : TFtpError::Closed;
    }
    return ftp && operation(*ftp);
}

bool TBTFTPConnection::ChangeDirectory(const QString &name)
{
    return Single([&](TFtpConnection &ftp) { return ftp.SetCurrentDirectory(name); });
}

bool TBTFTPConnection::CreateDirectory(const QString &name)
{
    return Single([&](TFtpConnection &ftp) { return ftp.CreateDirectory(name); });
}

bool TBTFTPConnection::RemoveDirectory(const QString &name)
{
    return Single([&](TFtpConnection &ftp) { return ftp.RemoveDirectory(name); });
}

bool TBTFTPConnection::DeleteFile(const QString &name)
{
    return Single([&](TFtpConnection &ftp) { return ftp.DeleteFile(name); });
}

bool TBTFTPConnection::RenameFile(const QString &oldName, const QString &newName)
{
    return Single([&](TFtpConnection &ftp) { return ftp.RenameFile(oldName, newName); });
}

// ---------------------------------------------------------------------------
// Transfers

bool TBTFTPConnection::Download(const QString &remoteName, const QString &localPath, qint64 size)
{
    TransferGuard transfer(*this);
    if (!transfer)
        return false;
    done = 0;
    remaining = size;
    endReported = false;
    const std::shared_ptr<TFtpConnection> ftp = Handle();
    if (!ftp)
        return NotConnected();
    std::unique_ptr<TFtpFile> file = ftp->OpenFile(FtpFileNamePart(remoteName), TFtpAccess::Read, Mode());
    if (!file)
        return false;  // nothing local was touched

    QSaveFile local(localPath);
    if (!local.open(QIODevice::WriteOnly)) {
        SetLocalError(QuickTexts::LocalCreateFailed, localPath, local.errorString());
        file->Abort();
        return false;
    }
    Hourglass hourglass(*this);
    startTick = lastReportTick = Tick();
    const bool gui = OnOwnerThread();
    const bool reportProgress = owner.FTPOptions().testFlag(doDisplayProgress);
    std::vector<char> block(static_cast<size_t>(BlockSize));
    for (;;) {
        qint64 count = 0;
        const TFtpRead read = file->Read(block.data(), BlockSize, count, gui ? GuiWaitMs : WorkerWaitMs);
        if (read == TFtpRead::Waiting) {
            PumpEvents();
            continue;
        }
        if (read == TFtpRead::End)
            break;
        if (read == TFtpRead::Failed) {
            // Cut off, refused or timed out: the partial copy goes, and an
            // existing local file stays as it was.
            local.cancelWriting();
            file->Abort();
            return false;
        }
        PumpEvents();
        if (local.write(block.data(), count) != count) {
            SetLocalError(QuickTexts::LocalWriteFailed, localPath, local.errorString());
            local.cancelWriting();
            file->Abort();
            return false;
        }
        lastBlockSize = count;
        if (reportProgress)
            ReportProgress(size, localPath, remoteName);
    }
    if (!file->Close()) {
        local.cancelWriting();
        return false;
    }
    if (!local.commit()) {
        SetLocalError(QuickTexts::LocalWriteFailed, localPath, local.errorString());
        return false;
    }
    return true;
}

bool TBTFTPConnection::Upload(const QString &localPath, const QString &remoteName)
{
    return SendFile(localPath, remoteName);
}

bool TBTFTPConnection::UploadLocalFile(const QString &localPath)
{
    return SendFile(localPath, FtpFileNamePart(localPath));
}

bool TBTFTPConnection::SendFile(const QString &localPath, const QString &remoteName)
{
    TransferGuard transfer(*this);
    if (!transfer)
        return false;
    done = 0;
    remaining = -1;
    endReported = false;
    // The local file first: a file that cannot be read must not cost the
    // remote file of that name (STOR empties it at once).
    QFile local(localPath);
    if (!local.open(QIODevice::ReadOnly | QIODevice::Unbuffered)) {
        SetLocalError(QuickTexts::LocalOpenFailed, localPath, local.errorString());
        return false;
    }
    const std::shared_ptr<TFtpConnection> ftp = Handle();
    if (!ftp)
        return NotConnected();
    std::unique_ptr<TFtpFile> file = ftp->OpenFile(remoteName, TFtpAccess::Write, Mode());
    if (!file)
        return false;

    Hourglass hourglass(*this);
    startTick = lastReportTick = Tick();
    const qint64 size = local.size();
    const bool gui = OnOwnerThread();
    const bool reportProgress = owner.FTPOptions().testFlag(doDisplayProgress);
    std::vector<char> block(static_cast<size_t>(BlockSize));
    for (;;) {
        PumpEvents();
        const qint64 count = local.read(block.data(), BlockSize);
        if (count < 0) {
            SetLocalError(QuickTexts::LocalReadFailed, localPath, local.errorString());
            file->Abort();
            return false;
        }
        if (count == 0)
            break;
        for (qint64 sent = 0; sent < count;) {
            qint64 accepted = 0;
            const TFtpWrite write = file->Write(block.data() + sent, count - sent, accepted, gui ? GuiWaitMs : WorkerWaitMs);
            sent += accepted;
            if (write == TFtpWrite::Failed) {
                file->Abort();
                return false;
            }
            if (write == TFtpWrite::Waiting)
                PumpEvents();
        }
        lastBlockSize = count;
        if (reportProgress)
            ReportProgress(size, localPath, remoteName);
    }
    // True only when the server confirms the whole file.
    return file->Close();
}

// ---------------------------------------------------------------------------
// Progress

void TBTFTPConnection::StartProgress(qint64 remainingBytes)
{
    done = 0;
    remaining = remainingBytes;
    lastBlockSize = 0;
    bytesPerSecond = 0;
    endReported = false;
    startTick = lastReportTick = Tick();
}

void TBTFTPConnection::ReportProgress(qint64 total, const QString &localPath, const QString &remoteName)
{
    total = std::max<qint64>(total, 0);
    done = std::min(done + lastBlockSize, total);
    remaining = std::max<qint64>(total - done, 0);
    const qint64 now = Tick();
    // The end counts once: a file longer than the size given (a listing
    // that was wrong, line ends converted in ASCII) goes on at one report a
    // second instead of one per block.
    const bool end = remaining == 0 && !endReported;
    if (!(now - lastReportTick > ReportIntervalMs || end))
        return;
    endReported = endReported || remaining == 0;
    lastReportTick = std::max(now, startTick + MinElapsedMs);
    const qint64 elapsed = lastReportTick - startTick;
    bytesPerSecond = CeilDiv(done, elapsed) * 1000;

    const qint64 doneSize = done, toBeDone = remaining, speed = bytesPerSecond;
    RunOnOwnerThread([this, doneSize, toBeDone, total, speed, localPath, remoteName] {
        // A failure of the hook or of the message does not touch the transfer.
        try {
            if (owner.OnDisplayProgress) {
                owner.OnDisplayProgress(this, doneSize, toBeDone, total, speed, remoteName, localPath);
            } else if (total != 0 && speed != 0) {
                const qint64 percent = CeilDiv(doneSize * 100, total);
                owner.DisplayInfo(QuickTexts::Progress,
                                  {QString::number(percent), QStringLiteral("%"), KilobytesText(speed),
                                   DurationText(CeilDiv(toBeDone, speed))});
            }
        } catch (...) {
        }
    });
}
