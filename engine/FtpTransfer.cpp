// Listings (with their cache path), downloads and uploads with resume, and
// the list operations that run several items as one operation.
//
// An item ends when both of its sides are done: the data side (the data
// connection closed, or an upload's last byte sent) and the reply side (the
// transfer command's final 2xx), in either order; or at its first failure.

#include "FtpCache.h"
#include "FtpPrivate.h"
#include "FtpTransferTesting.h"
#include "SocketErrors.h"

#include <QFileInfo>

#include <sys/stat.h>

namespace {
// Where a listing stops; tests lower them.
int listingLineLimit = MaxListingLines;
qint64 listingByteLimit = MaxListingBytes;

// The number after the reply code ("213 1234"); 0 when it is not one.
qint64 SizeFromReply(const QString &reply)
{
    bool ok = false;
    const qint64 value = reply.mid(4).trimmed().toLongLong(&ok);
    return ok && value >= 0 ? value : 0;
}

// The text after the last "(" of a 150 reply, up to the blank that follows
// ("(12345 bytes)" gives "12345"); empty when there is none.
QString AnnouncedSize(const QString &reply)
{
    const qsizetype open = reply.lastIndexOf(QLatin1Char('('));
    if (open < 0)
        return QString();
    const qsizetype blank = reply.indexOf(QLatin1Char(' '), open + 1);
    if (blank < 0)
        return QString();
    return reply.mid(open + 1, blank - open - 1);
}

// A regular file (or a link to one): replaced through a file beside it.
// Devices and pipes are written in place.
bool IsRegularFile(const QString &path)
{
    struct stat info {};
    return ::stat(QFile::encodeName(path).constData(), &info) == 0 && S_ISREG(info.st_mode);
}
}

void SetListingLimitsForTesting(int lines, qint64 bytes)
{
    listingLineLimit = lines > 0 ? lines : MaxListingLines;
    listingByteLimit = bytes > 0 ? bytes : MaxListingBytes;
}

// ---------------------------------------------------------------------------
// Items

void TVexFtpPrivate::BeginItem(TransferKind kind, const QString &remote, const QString &local)
{
    transferKind = kind;
    remoteFileName = remote;
    localFileName = local;
    if (!listRunning)
        itemName = kind == TransferKind::Listing ? currentDirectory : remote;
    itemRunning = true;
    itemErrorMark = errorCount;
    restartOffset = 0;
    expectedSize = -1;
    dataDone = false;
    replyDone = false;
    dataCutShort = false;
    uploadFailed = false;
    storIssued = false;
    uploadWriteWaiting = false;
    unsentFrom = unsentTo = 0;
}

bool TVexFtpPrivate::ItemFailed() const
{
    return errorCount != itemErrorMark;
}

// What the running transfer is about, for the texts of its errors: the
// remote file, or the folder being listed.
QString TVexFtpPrivate::ItemSubject() const
{
    return transferKind == TransferKind::Listing ? currentDirectory : remoteFileName;
}

// The failing step: nothing of the item runs after it.
void TVexFtpPrivate::FailStep(FtpError error, const QString &text)
{
    CloseDataConnection();
    RaiseError(error, text);
    EndItem();
}

// A preparatory command (TYPE, PASV, PORT) that the server refused.
void TVexFtpPrivate::RefuseStep(const QString &command, const QString &reply)
{
    if (command.startsWith(QLatin1String("TYPE ")))
        rememberedType.clear(); // the server did not take it
    FailStep(ftpeCommandFailed, FtpText::CommandRefusedFor.arg(command, ItemSubject(), reply));
}

// The final reply of LIST, RETR or STOR is a refusal. When the client had
// itself cut the data short, and said so, the refusal is only the server's
// answer to that.
void TVexFtpPrivate::RefuseTransfer()
{
    if (dataCutShort) {
        CloseDataConnection();
        EndItem();
        return;
    }
    FailStep(ftpeAccessDenied, FtpText::AccessDenied);
}

void TVexFtpPrivate::DataSideDone()
{
    dataDone = true;
    if (replyDone)
        FinishItem();
}

void TVexFtpPrivate::ReplySideDone()
{
    replyDone = true;
    if (dataDone)
        FinishItem();
}

void TVexFtpPrivate::FinishItem()
{
    // An item that already said why it failed ends without more: a download
    // not kept leaves its target as it was.
    if (ItemFailed()) {
        CloseDataConnection();
        EndItem();
        return;
    }
    if (transferKind == TransferKind::Download && !FinishDownload())
        return;
    EndItem();
}

// Keeps what a successful download received; false when it failed after all
// (the error raised, the item ended).
bool TVexFtpPrivate::FinishDownload()
{
    const qint64 received = restartOffset + bytesTransferred;
    // A size is only comparable in binary mode: ASCII mode may change line
    // ends on the way.
    if (transferMode == BinaryTransfer && expectedSize >= 0 && received < expectedSize) {
        FailStep(ftpeDataConnection, FtpText::ShortDownload.arg(remoteFileName, QString::number(received),
                                                                QString::number(expectedSize)));
        return false;
    }
    if (saveFile && fileOpen) {
        const bool saved = saveFile->commit();
        saveFile.reset();
        output = nullptr;
        fileOpen = false;
        if (!saved) {
            FailStep(ftpeLocalFileWrite, FtpText::LocalWriteFailed.arg(localFileName));
            return false;
        }
    }
    CloseLocalFile();
    return true;
}

void TVexFtpPrivate::EndItem()
{
    itemRunning = false;
    transferKind = TransferKind::None;
    Ready();
}

void TVexFtpPrivate::SkipItem()
{
    if (!listRunning)
        operation = FtpOperation::None;
    EndItem();
}

void TVexFtpPrivate::CloseLocalFile()
{
    // A fresh download that did not succeed never replaces a file that was
    // there. Where there was none, what did arrive is kept under the name,
    // so that the download can be resumed later (its error has been said);
    // when nothing arrived, nothing is left.
    if (saveFile) {
        if (partialKept && fileOpen && saveFile->pos() > 0)
            saveFile->commit();
        else
            saveFile->cancelWriting();
        saveFile.reset();
    }
    if (localFile.isOpen())
        localFile.close();
    output = nullptr;
    fileOpen = false;
}

char *TVexFtpPrivate::TransferBuffer()
{
    if (transferBuffer.size() < TransferBufferSize)
        transferBuffer.resize(TransferBufferSize);
    return transferBuffer.data();
}

void TVexFtpPrivate::UpdateElapsed()
{
    elapsed = transferClock.isValid() ? transferClock.elapsed() : 0;
}

// The names of a transfer item; false (the error raised, the item ended)
// when one cannot be used.
bool TVexFtpPrivate::UsableNames(const QString &remote, const QString &local)
{
    if (remote.isEmpty())
        RaiseError(ftpeBadRemoteName, FtpText::NoRemoteName);
    else if (!HasLineBreak(remote, ftpeBadRemoteName) && local.isEmpty())
        RaiseError(ftpeLocalFileOpen, FtpText::NoLocalName);
    if (!ItemFailed()) {
        CloseLocalFile();
        return true;
    }
    EndItem();
    return false;
}

bool TVexFtpPrivate::HasLineBreak(const QString &argument, FtpError error)
{
    // A name carrying CR or LF would smuggle a second command onto the
    // control connection.
    if (!argument.contains(QLatin1Char('\r')) && !argument.contains(QLatin1Char('\n')))
        return false;
    RaiseError(error, error == ftpeAccessDenied ? FtpText::AccessDenied : FtpText::LineBreakInName.arg(argument));
    return true;
}

QString TVexFtpPrivate::TransferType() const
{
    return transferMode == AsciiTransfer ? QStringLiteral("A") : QStringLiteral("I");
}

void TVexFtpPrivate::EnsureTransferType(const QString &type, const TReplyHandler &step)
{
    if (type != rememberedType) {
        rememberedType = type;
        IssueCommand(QLatin1String("TYPE ") + type, step);
    } else {
        step(ContinueReply);
    }
}

// ---------------------------------------------------------------------------
// List operations

void TVexFtpPrivate::RunListOperation(FtpOperation listOperation, const QStringList &names,
                                      const std::function<void(int)> &startItem)
{
    if (!BeginOperation())
        return;
    operation = listOperation;
    listRunning = true;
    listAbandoned = false;
    QPointer<TVexFtp> alive(q);
    for (int i = 0; i < names.size() && !listAbandoned && connected; ++i) {
        itemPending = true;
        itemRunning = true;
        itemName = names.at(i);
        itemErrorMark = errorCount;
        startItem(i);
        while (alive && itemPending && !listAbandoned && connected)
            PumpOnce(true);
        if (!alive)
            return;
    }
    // Every ready message posted so far (by an item, or by a lost
    // connection) is handled while the list still runs, so that none of
    // them raises an OnFtpReady of its own.
    while (alive && readyMessagesPending > 0)
        PumpOnce(true);
    if (!alive)
        return;
    listRunning = false;
    itemRunning = false;
    // A list cut short by a lost connection still ends with its one
    // completion event.
    operation = listOperation;
    Ready();
}

void TVexFtpPrivate::AbandonTransfers()
{
    // Without its control connection no transfer can end properly: what has
    // already arrived on the data connection is read, then the data
    // connection, the listener and the local file go (a download not yet
    // kept leaves its target as it was), so that a stalled or late data
    // connection neither writes nor ends an operation that the disconnection
    // ended.
    if (dataSocket->Established() && dataSocket->OnRead) {
        const TSocketEvent reader = dataSocket->OnRead;
        reader(dataSocket);
    }
    CloseDataConnection();
    transferKind = TransferKind::None;
    if (!listRunning)
        return;
    // The list still ends with its completion event: the item cut short
    // says first that it did not finish, unless it already failed.
    if (itemRunning && !ItemFailed())
        RaiseError(ftpeConnectionAborted, FtpText::Interrupted.arg(itemName));
    itemRunning = false;
    listAbandoned = true;
    itemPending = false;
}

// ---------------------------------------------------------------------------
// Listing

const TVexFtpFileInfoList &TVexFtp::Files() const { return d->files; }
const TVexFtpFileInfoList &TVexFtp::Directories() const { return d->directories; }
bool TVexFtp::FromCache() const { return d->fromCache; }
qint64 TVexFtp::BytesTransferred() const { return d->bytesTransferred; }
qint64 TVexFtp::ElapsedTime() const { return d->elapsed; }
QStringList TVexFtp::ListingLines() const
{
    QStringList lines;
    lines.reserve(d->listingLineEnds.size());
    qsizetype start = 0;
    for (const qsizetype end : d->listingLineEnds) {
        lines.append(QString::fromUtf8(QByteArrayView(d->listingText).sliced(start, end - start)));
        start = end;
    }
    return lines;
}

QString TVexFtpPrivate::CacheFileFor(bool forDirectories) const
{
    return CacheFileName(server, username, currentDirectory, forDirectories, port);
}

void TVexFtp::ListDirectory()
{
    if (d->busy) {
        d->RaiseInfo(ftpiBusy);
        return;
    }
    if (d->cache && d->ServeListingFromCache())
        return;
    if (!d->BeginOperation())
        return;
    d->operation = FtpOperation::List;
    d->StartListing();
    d->WaitIfSynchronous();
}

bool TVexFtpPrivate::ServeListingFromCache()
{
    // Read aside: a miss on either file leaves Files and Directories as the
    // last listing made them, not half replaced.
    TVexFtpFileInfoList cachedDirectories, cachedFiles;
    if (!ReadListCache(CacheFileFor(true), cachedDirectories, cacheExpire)
        || !ReadListCache(CacheFileFor(false), cachedFiles, cacheExpire))
        return false;
    directories.Assign(cachedDirectories);
    files.Assign(cachedFiles);
    fromCache = true;
    operation = FtpOperation::List;
    // Busy until the ready message is handled, as after any operation, so
    // that nothing started meanwhile takes this listing's completion.
    busy = true;
    Ready();
    return true;
}

void TVexFtpPrivate::StartListing()
{
    fromCache = false;
    BeginItem(TransferKind::Listing, QString(), QString());
    // A listing that fails before LIST leaves empty lists, not the entries
    // of whatever folder was listed before.
    newFiles.Clear();
    newDirectories.Clear();
    if (HasLineBreak(fileMask, ftpeBadRemoteName)) {
        EndItem();
        return;
    }
    dataContinuation = [this](const QString &r) { ListStep(r); };
    EnsureTransferType(QStringLiteral("A"), [this](const QString &r) { DataConnectionStep(r); });
}

void TVexFtpPrivate::ListStep(const QString &reply)
{
    if (!ReplyBegins(reply, '2')) {
        RefuseStep(QStringLiteral("PORT"), reply);
        return;
    }
    WireDataSocket([this](TVexSocket *) { ReadListingData(); }, nullptr, [this](TVexSocket *) { ListingClosed(); },
                   [this](TVexSocket *) { DataOpened(); });
    listingText.clear();
    listingLineEnds.clear();
    newFiles.Clear();
    newDirectories.Clear();
    listingLineCount = 0;
    listingBytes = 0;
    listingCapped = false;
    listState.Reset();
    const QString command = fileMask.isEmpty() ? QStringLiteral("LIST") : QLatin1String("LIST ") + fileMask;
    if (IssueCommand(command, [this](const QString &r) { HandleListReply(r); }))
        RaiseInfo(ftpiListingStarted);
}

void TVexFtpPrivate::ReadListingData()
{
    char buffer[ListingReadSize];
    const int count = dataSocket->Receive(buffer, ListingReadSize);
    const quint16 error = dataSocket->LastError();
    if (error != 0 && error != WinSock::NotSocket) {
        RaiseFatal(ftpeDataConnection, FtpText::DataConnectionLost.arg(ItemSubject()));
        return;
    }
    if (count <= 0 || listingCapped)
        return;
    KickWatchdog();
    // By count: a zero byte is listing text like any other.
    bytesTransferred += count;
    listingBytes += count;
    listingSplitter.Feed(QByteArrayView(buffer, count), [this](const QByteArray &line) { return TakeListingLine(line); });
    if (!listingCapped && listingBytes > listingByteLimit)
        TakeListingLine(QByteArray()); // stops the listing
}

// One line of listing data; false once the listing has grown too long (it is
// then stopped: the data connection is closed, the server's reply ends it).
bool TVexFtpPrivate::TakeListingLine(const QByteArray &line)
{
    if (listingCapped)
        return false;
    if (listingLineCount >= listingLineLimit || listingBytes > listingByteLimit) {
        listingCapped = true;
        dataCutShort = true;
        RaiseError(ftpeDataConnection, FtpText::ListingTooLong.arg(currentDirectory, QString::number(listingLineCount)));
        CloseDataSockets();
        UpdateElapsed();
        DataSideDone();
        return false;
    }
    UpdateElapsed();
    AcceptListingLine(line);
    return true;
}

void TVexFtpPrivate::AcceptListingLine(const QByteArray &raw)
{
    const QString line = QString::fromUtf8(raw);
    RaiseInfo(ftpiProgress, line);
    listingText.append(raw);
    listingLineEnds.append(listingText.size());
    ++listingLineCount;
    VexFtpFileInfo entry;
    bool isDirectory = false;
    if (!ParseListLine(serverType, line, listState, entry, isDirectory))
        return;
    entry.Description.clear();
    if (!isDirectory) {
        newFiles.AddInfo(entry);
        RaiseInfo(ftpiEntryFound, FtpText::EntryFile);
    } else if (entry.FileName != QLatin1String(".") && entry.FileName != QLatin1String("..")) {
        newDirectories.AddInfo(entry);
        RaiseInfo(ftpiEntryFound, FtpText::EntryFolder);
    }
}

void TVexFtpPrivate::HandleListReply(const QString &reply)
{
    if (ReplyBegins(reply, '1'))
        return;
    if (ReplyBegins(reply, '2')) {
        ReplySideDone();
        return;
    }
    RefuseTransfer();
}

void TVexFtpPrivate::ListingClosed()
{
    ReadListingData();
    if (!TransferInProgress())
        return; // the last read stopped the listing, or failed
    // A last line without its line end is a line all the same.
    const QByteArray rest = listingSplitter.TakeRest();
    if (!rest.isEmpty())
        TakeListingLine(rest.endsWith('\r') ? rest.chopped(1) : rest);
    if (!TransferInProgress())
        return;
    KickWatchdog();
    UpdateElapsed();
    CloseDataSockets();
    RaiseInfo(ftpiListingDataDone);
    RaiseInfo(ftpiTransferDone);
    DataSideDone();
}

void TVexFtpPrivate::CompleteListing()
{
    if (fromCache)
        return;
    files.Assign(newFiles);
    directories.Assign(newDirectories);
    if (!failed) {
        WriteListCache(CacheFileFor(true), directories);
        WriteListCache(CacheFileFor(false), files);
    }
}

// ---------------------------------------------------------------------------
// Download

void TVexFtp::GetFile(const QString &remoteName, const QString &localName)
{
    if (!d->BeginOperation())
        return;
    d->operation = FtpOperation::GetFile;
    d->StartDownload(remoteName, localName);
    d->WaitIfSynchronous();
}

void TVexFtp::GetFiles(const QStringList &remoteNames, const QStringList &localNames)
{
    if (remoteNames.size() != localNames.size())
        return;
    d->RunListOperation(FtpOperation::GetFiles, remoteNames,
                        [&](int i) { d->StartDownload(remoteNames.at(i), localNames.at(i)); });
}

void TVexFtpPrivate::StartDownload(const QString &remote, const QString &local)
{
    BeginItem(TransferKind::Download, remote, local);
    if (!UsableNames(remote, local))
        return;
    const bool exists = QFileInfo::exists(local);
    if (exists) {
        // Opened now so that a file we could not write fails before any
        // question; it is only emptied by replacing it once a fresh
        // download has succeeded, or appended to by a resumed one.
        localFile.setFileName(local);
        // Unbuffered: a block that the disk cannot take must fail at its
        // own write, not later at a flush whose failure nobody would see.
        if (!localFile.open(QIODevice::ReadWrite | QIODevice::Unbuffered)) {
            RaiseError(ftpeLocalFileOpen, FtpText::LocalOpenFailed.arg(local));
            EndItem();
            return;
        }
        fileOpen = true;
        EnsureTransferType(TransferType(), [this](const QString &) { AskDownloadExists(); });
        return;
    }
    // A new file is created beside its name and only gets it once the
    // download has succeeded: a refused or broken one leaves nothing.
    if (!OpenFreshOutput()) {
        EndItem();
        return;
    }
    dataContinuation = [this](const QString &r) { FreshRetrStep(r); };
    EnsureTransferType(TransferType(), [this](const QString &r) { DataConnectionStep(r); });
}

// Opens what a fresh download writes into: a file beside a regular target,
// the target itself for a device or a pipe. False (the error raised) when
// it cannot be opened.
bool TVexFtpPrivate::OpenFreshOutput()
{
    if (saveFile && fileOpen)
        return true;
    const bool inPlace = QFileInfo::exists(localFileName) && !IsRegularFile(localFileName);
    if (inPlace) {
        if (!localFile.isOpen()) {
            localFile.setFileName(localFileName);
            if (!localFile.open(QIODevice::ReadWrite | QIODevice::Unbuffered)) {
                RaiseError(ftpeLocalFileOpen, FtpText::LocalOpenFailed.arg(localFileName));
                return false;
            }
        }
        // A device or a pipe has nothing to empty and no position.
        if (!localFile.isSequential()) {
            localFile.resize(0);
            localFile.seek(0);
        }
        output = &localFile;
        fileOpen = true;
        return true;
    }
    if (localFile.isOpen())
        localFile.close();
    partialKept = !QFileInfo::exists(localFileName);
    // The new file takes the permissions of the one it replaces.
    saveFile = std::make_unique<QSaveFile>(localFileName);
    if (!saveFile->open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
        saveFile.reset();
        fileOpen = false;
        RaiseError(ftpeLocalFileOpen, FtpText::LocalCreateFailed.arg(localFileName));
        return false;
    }
    output = saveFile.get();
    fileOpen = true;
    return true;
}

void TVexFtpPrivate::AskDownloadExists()
{
    remoteSize = 0;
    const QString answer = Ask(needFileExists);
    if (answer == FtpAnswer::Resume) {
        if (!resumeSupported) {
            RaiseInfo(ftpiResumeUnavailable);
            CloseLocalFile();
            SkipItem();
        } else if (sizeSupported) {
            IssueCommand(QLatin1String("SIZE ") + remoteFileName,
                         [this](const QString &r) { HandleDownloadSizeReply(r); });
        } else {
            HandleDownloadSizeReply(QStringLiteral("500"));
        }
    } else if (answer.isEmpty() || answer == FtpAnswer::Overwrite) {
        dataContinuation = [this](const QString &r) { FreshRetrStep(r); };
        DataConnectionStep(ContinueReply);
    } else {
        CloseLocalFile();
        SkipItem();
    }
}

void TVexFtpPrivate::HandleDownloadSizeReply(const QString &reply)
{
    const qint64 localSize = localFile.size();
    if (ReplyBegins(reply, '2')) {
        remoteSize = SizeFromReply(reply);
        expectedSize = remoteSize;
        if (remoteSize >= localSize && localSize != 0) {
            if (remoteSize == localSize) {
                RaiseInfo(ftpiNothingToDo, FtpText::NothingToDo);
                CloseLocalFile();
                SkipItem();
                return;
            }
            localFile.seek(localSize);
            dataContinuation = [this](const QString &r) { ResumedRetrStep(r); };
        } else {
            RaiseInfo(ftpiResumeUnavailable, FtpText::ResumeWillOverwrite);
            dataContinuation = [this](const QString &r) { FreshRetrStep(r); };
        }
    } else if (reply.startsWith(QLatin1String("50"))) {
        sizeSupported = false;
        HandleDownloadSizeReply(QLatin1String("213 ") + QString::number(localSize));
        return;
    } else {
        dataContinuation = [this](const QString &r) { FreshRetrStep(r); };
    }
    DataConnectionStep(ContinueReply);
}

// The PORT reply (or the PASV step's continuation) of a download: false
// when the step failed and the item ended.
bool TVexFtpPrivate::WireDownload(const QString &reply, const QString &step)
{
    if (!ReplyBegins(reply, '2')) {
        RefuseStep(step, reply);
        return false;
    }
    WireDataSocket([this](TVexSocket *) { ReadDownloadData(); }, nullptr, [this](TVexSocket *) { TransferClosed(); },
                   [this](TVexSocket *) { DataOpened(); });
    return true;
}

void TVexFtpPrivate::FreshRetrStep(const QString &reply)
{
    if (!WireDownload(reply, QStringLiteral("PORT")))
        return;
    if (!OpenFreshOutput()) {
        CloseDataConnection();
        EndItem();
        return;
    }
    IssueRetr();
}

void TVexFtpPrivate::ResumedRetrStep(const QString &reply)
{
    if (!WireDownload(reply, QStringLiteral("PORT")))
        return;
    output = &localFile;
    restartOffset = localFile.size();
    IssueCommand(QLatin1String("REST ") + QString::number(restartOffset),
                 [this](const QString &r) { HandleDownloadRestReply(r); });
}

void TVexFtpPrivate::HandleDownloadRestReply(const QString &reply)
{
    if (ReplyBegins(reply, '3'))
        IssueRetr();
    else
        FailStep(ftpeResumeRefused, FtpText::DownloadResumeRefused);
}

void TVexFtpPrivate::IssueRetr()
{
    IssueCommand(QLatin1String("RETR ") + remoteFileName, [this](const QString &r) { HandleRetrReply(r); });
}

void TVexFtpPrivate::HandleRetrReply(const QString &reply)
{
    if (ReplyBegins(reply, '1')) {
        const QString announced = AnnouncedSize(reply);
        if (!announced.isEmpty()) {
            RaiseInfo(ftpiTransferSize, announced);
            // A resumed download compares with SIZE: servers differ on
            // whether they announce the whole file or what remains.
            bool ok = false;
            const qint64 size = announced.toLongLong(&ok);
            if (ok && size >= 0 && restartOffset == 0)
                expectedSize = size;
        }
        return;
    }
    if (ReplyBegins(reply, '2')) {
        ReplySideDone();
        return;
    }
    RefuseTransfer();
}

void TVexFtpPrivate::ReadDownloadData()
{
    char *buffer = TransferBuffer();
    for (;;) {
        const int count = dataSocket->Receive(buffer, DownloadReadSize);
        const quint16 error = dataSocket->LastError();
        if (error != 0 && error != WinSock::NotSocket) {
            RaiseFatal(ftpeDataConnection, FtpText::DataConnectionLost.arg(remoteFileName));
            return;
        }
        if (count <= 0)
            return;
        KickWatchdog();
        if (!fileOpen || !output)
            continue; // after a write failure the rest is read and dropped
        bytesTransferred += count;
        UpdateElapsed();
        // Written before it is announced: a hook may end the transfer.
        const bool written = output->write(buffer, count) == count;
        if (!written) {
            RaiseError(ftpeLocalFileWrite, FtpText::LocalWriteFailed.arg(localFileName));
            fileOpen = false; // nothing of a file that could not be written is kept
            CloseLocalFile();
        }
        RaiseInfo(ftpiProgress);
    }
}

void TVexFtpPrivate::TransferClosed()
{
    if (const TSocketEvent reader = dataSocket->OnRead)
        reader(dataSocket);
    if (!TransferInProgress())
        return; // the last read failed and ended everything
    KickWatchdog();
    UpdateElapsed();
    CloseDataSockets();
    // An upload whose connection the server closed before the last byte
    // did not store the file, whatever the server says next.
    if (transferKind == TransferKind::Upload && fileOpen && !uploadFailed
        && (unsentFrom != unsentTo || localFile.pos() < uploadLocalSize)) {
        dataCutShort = true;
        RaiseError(ftpeDataConnection, FtpText::DataConnectionLost.arg(remoteFileName));
    }
    // A download keeps its file open until the server's reply says whether
    // it is kept; an upload has nothing left to send.
    if (transferKind != TransferKind::Download)
        CloseLocalFile();
    RaiseInfo(ftpiTransferDone);
    DataSideDone();
}

// ---------------------------------------------------------------------------
// Upload

void TVexFtp::PutFile(const QString &localName, const QString &remoteName)
{
    if (!d->BeginOperation())
        return;
    d->operation = FtpOperation::PutFile;
    d->StartUpload(localName, remoteName);
    d->WaitIfSynchronous();
}

void TVexFtp::PutFiles(const QStringList &localNames, const QStringList &remoteNames)
{
    if (remoteNames.size() != localNames.size())
        return;
    d->RunListOperation(FtpOperation::PutFiles, remoteNames,
                        [&](int i) { d->StartUpload(localNames.at(i), remoteNames.at(i)); });
}

void TVexFtpPrivate::StartUpload(const QString &local, const QString &remote)
{
    BeginItem(TransferKind::Upload, remote, local);
    if (!UsableNames(remote, local))
        return;
    localFile.setFileName(local);
    if (!localFile.open(QIODevice::ReadOnly)) {
        RaiseError(ftpeLocalFileOpen, FtpText::LocalOpenFailed.arg(local));
        EndItem();
        return;
    }
    fileOpen = true;
    EnsureTransferType(TransferType(), [this](const QString &) { UploadSizeStep(); });
}

void TVexFtpPrivate::UploadSizeStep()
{
    remoteSize = 0;
    if (resumeSupported && sizeSupported) {
        IssueCommand(QLatin1String("SIZE ") + remoteFileName, [this](const QString &r) { HandleUploadSizeReply(r); });
        return;
    }
    dataContinuation = [this](const QString &r) { FreshStorStep(r); };
    DataConnectionStep(ContinueReply);
}

void TVexFtpPrivate::HandleUploadSizeReply(const QString &reply)
{
    dataContinuation = [this](const QString &r) { FreshStorStep(r); };
    if (ReplyBegins(reply, '2')) {
        remoteSize = SizeFromReply(reply);
        if (remoteSize != 0) {
            const QString answer = Ask(needFileExists);
            const qint64 localSize = localFile.size();
            if (answer == FtpAnswer::Resume) {
                if (remoteSize == localSize) {
                    RaiseInfo(ftpiNothingToDo, FtpText::NothingToDo);
                    CloseLocalFile();
                    SkipItem();
                    return;
                }
                if (remoteSize > localSize) {
                    // The restart point lies past our end: send the file afresh.
                    RaiseInfo(ftpiResumeUnavailable, FtpText::ResumeWillOverwrite);
                } else {
                    localFile.seek(remoteSize);
                    dataContinuation = [this](const QString &r) { ResumedStorStep(r); };
                }
            } else if (!answer.isEmpty() && answer != FtpAnswer::Overwrite) {
                CloseLocalFile();
                SkipItem();
                return;
            }
        }
    } else if (reply.startsWith(QLatin1String("50"))) {
        sizeSupported = false;
    }
    DataConnectionStep(ContinueReply);
}

bool TVexFtpPrivate::WireUpload(const QString &reply, const QString &step)
{
    if (!ReplyBegins(reply, '2')) {
        RefuseStep(step, reply);
        return false;
    }
    WireDataSocket(nullptr, [this](TVexSocket *) { WriteUploadData(); }, [this](TVexSocket *) { TransferClosed(); },
                   [this](TVexSocket *) { DataOpened(); });
    return true;
}

void TVexFtpPrivate::FreshStorStep(const QString &reply)
{
    if (WireUpload(reply, QStringLiteral("PORT")))
        IssueStor();
}

void TVexFtpPrivate::ResumedStorStep(const QString &reply)
{
    if (!WireUpload(reply, QStringLiteral("PORT")))
        return;
    restartOffset = remoteSize;
    IssueCommand(QLatin1String("REST ") + QString::number(restartOffset),
                 [this](const QString &r) { HandleUploadRestReply(r); });
}

void TVexFtpPrivate::HandleUploadRestReply(const QString &reply)
{
    if (ReplyBegins(reply, '3'))
        IssueStor();
    else
        FailStep(ftpeResumeRefused, FtpText::UploadResumeRefused);
}

void TVexFtpPrivate::IssueStor()
{
    if (!IssueCommand(QLatin1String("STOR ") + remoteFileName, [this](const QString &r) { HandleStorReply(r); }))
        return;
    storIssued = true;
    // The data connection may have opened while REST was answered; its write
    // notification waited for the command that gives the data a meaning.
    if (uploadWriteWaiting) {
        uploadWriteWaiting = false;
        WriteUploadData();
    }
}

void TVexFtpPrivate::HandleStorReply(const QString &reply)
{
    if (ReplyBegins(reply, '1')) {
        replyHandler = [this](const QString &r) { HandleStorFinalReply(r); };
        return;
    }
    HandleStorFinalReply(reply);
}

void TVexFtpPrivate::HandleStorFinalReply(const QString &reply)
{
    if (ReplyBegins(reply, '2')) {
        ReplySideDone();
        return;
    }
    RefuseTransfer();
}

void TVexFtpPrivate::WriteUploadData()
{
    // Events run before every send; a write notification among them must not
    // start a second writer while this one holds a chunk not yet sent.
    if (uploadWriting || !fileOpen || !dataSocket->Established())
        return;
    if (!storIssued) {
        uploadWriteWaiting = true;
        return;
    }
    uploadWriting = true;
    const bool finished = SendUploadBurst();
    uploadWriting = false;
    if (!finished)
        return;
    CloseDataSockets();
    CloseLocalFile();
    UpdateElapsed();
    RaiseInfo(ftpiTransferDone);
    DataSideDone();
}

// Sends until the file's end or until the socket has no room; true when the
// data side is done. What the socket did not take stays in the buffer and
// goes first on the next write notification.
bool TVexFtpPrivate::SendUploadBurst()
{
    char *buffer = TransferBuffer();
    // The size learned when the connection opened marks the end: asking the
    // file system again for every chunk costs more than the chunk itself.
    const qint64 end = uploadLocalSize;
    for (;;) {
        if (unsentFrom == unsentTo) {
            if (!fileOpen || localFile.pos() >= end)
                break;
            const qint64 chunk = qMin<qint64>(UploadChunkSize, end - localFile.pos());
            const qint64 read = localFile.read(buffer, chunk);
            if (read != chunk) {
                RaiseError(ftpeLocalFileRead, FtpText::LocalReadFailed.arg(localFileName));
                CloseDataConnection();
                uploadFailed = true;
                break;
            }
            unsentFrom = 0;
            unsentTo = read;
        }
        PumpOnce(false);
        if (!dataSocket->Established() || !fileOpen)
            return false; // the transfer was ended while events ran
        dataSocket->SetReportWouldBlock(true);
        const int sent = dataSocket->Send(buffer + unsentFrom, int(unsentTo - unsentFrom));
        dataSocket->SetReportWouldBlock(false);
        const quint16 error = dataSocket->LastError();
        if (sent > 0) {
            unsentFrom += sent;
            bytesTransferred += sent;
            KickWatchdog();
        }
        if (error == WinSock::WouldBlock)
            break;
        if (error != 0) {
            RaiseFatal(ftpeDataConnection, FtpText::DataConnectionLost.arg(remoteFileName));
            return false;
        }
    }
    RaiseInfo(ftpiProgress);
    UpdateElapsed();
    // A failed upload has sent its last byte too: the server's reply to the
    // closed connection ends the item.
    return uploadFailed || !fileOpen || (unsentFrom == unsentTo && localFile.pos() >= end);
}
