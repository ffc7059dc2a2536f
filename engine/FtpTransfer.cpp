// Data connections (passive and active), the directory listing with its
// cache path, downloads and uploads with resume, and the list operations
// that run several items as one operation.

#include "FtpCache.h"
#include "FtpPrivate.h"
#include "SocketErrors.h"

#include <QFileInfo>

namespace {
bool Begins(const QString &reply, char digit)
{
    return !reply.isEmpty() && reply.at(0) == QLatin1Char(digit);
}

// The number after the reply code ("213 1234"); 0 when it is not one.
qint64 SizeFromReply(const QString &reply)
{
    bool ok = false;
    const qint64 value = reply.mid(4).trimmed().toLongLong(&ok);
    return ok && value >= 0 ? value : 0;
}

// Takes "h1,h2,h3,h4,p1,p2" from inside the parentheses of a 227 reply.
bool ParsePasvPort(const QString &reply, quint16 *port)
{
    const qsizetype open = reply.indexOf(QLatin1Char('('));
    if (open < 0)
        return false;
    const qsizetype close = reply.indexOf(QLatin1Char(')'), open + 1);
    if (close < 0)
        return false;
    const QStringList parts = reply.mid(open + 1, close - open - 1).trimmed().split(QLatin1Char(','));
    if (parts.size() != 6)
        return false;
    int numbers[6];
    for (int i = 0; i < 6; ++i) {
        bool ok = false;
        numbers[i] = parts.at(i).trimmed().toInt(&ok);
        if (!ok || numbers[i] < 0 || numbers[i] > 255)
            return false;
    }
    *port = quint16(numbers[4] * 256 + numbers[5]);
    return *port != 0;
}
}

// ---------------------------------------------------------------------------
// Data sockets

void TVexFtpPrivate::InitDataSockets()
{
    dataSocket = new TVexSocket(q);
    listenSocket = new TVexSocket(q);
    listenSocket->OnAccept = [this](TVexSocket *) { AcceptDataConnection(); };
}

void TVexFtpPrivate::AcceptDataConnection()
{
    // A server may connect back as soon as it accepts PORT, before the
    // reply has let us wire the transfer: the connection then waits in the
    // listening socket's queue until the wiring takes it.
    if (!activeOpened) {
        acceptWaiting = true;
        return;
    }
    const TSocketEvent opened = activeOpened;
    opened(listenSocket);
}

void TVexFtpPrivate::ShutdownDataSockets()
{
    CloseDataConnection();
    listenSocket->OnAccept = nullptr;
}

void TVexFtpPrivate::CloseDataConnection()
{
    // Used on failures: nothing of the transfer may run after this.
    WireDataSocket(nullptr, nullptr, nullptr, nullptr);
    acceptWaiting = false;
    dataSocket->Close();
    listenSocket->Close();
    CloseLocalFile();
}

void TVexFtpPrivate::WireDataSocket(TSocketEvent reader, TSocketEvent writer, TSocketEvent closed, TSocketEvent opened)
{
    dataSocket->OnRead = std::move(reader);
    dataSocket->OnWrite = std::move(writer);
    dataSocket->OnClose = std::move(closed);
    if (passive) {
        dataSocket->OnConnect = std::move(opened);
        activeOpened = nullptr;
    } else {
        dataSocket->OnConnect = nullptr;
        activeOpened = std::move(opened);
        if (activeOpened && acceptWaiting) {
            acceptWaiting = false;
            const TSocketEvent call = activeOpened;
            call(listenSocket);
        }
    }
}

void TVexFtpPrivate::CloseLocalFile()
{
    if (localFile.isOpen())
        localFile.close();
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

bool TVexFtpPrivate::HasLineBreak(const QString &argument, FtpError error)
{
    // A name carrying CR or LF would smuggle a second command onto the
    // control connection.
    if (!argument.contains(QLatin1Char('\r')) && !argument.contains(QLatin1Char('\n')))
        return false;
    if (error == ftpeAccessDenied)
        pendingErrorText = FtpText::AccessDenied;
    RaiseError(error);
    return true;
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

void TVexFtpPrivate::DataConnectionStep(const QString &reply)
{
    dataDone = false;
    replyDone = false;
    if (!Begins(reply, '2')) {
        RaiseError(ftpeCommandFailed);
        CloseLocalFile();
        EndItem();
        return;
    }
    if (passive) {
        IssueCommand(QStringLiteral("PASV"), [this](const QString &r) { HandlePasvReply(r); });
    } else {
        const QString argument = BuildPortArgument();
        if (argument.isEmpty()) {
            // Closing the control connection ends the operation.
            RaiseFatal(ftpeDataConnection);
            return;
        }
        IssueCommand(QLatin1String("PORT ") + argument, dataContinuation);
    }
}

void TVexFtpPrivate::HandlePasvReply(const QString &reply)
{
    quint16 dataPort = 0;
    if (!Begins(reply, '2') || !dataContinuation || !ParsePasvPort(reply, &dataPort)) {
        RaiseError(ftpeCommandFailed);
        CloseLocalFile();
        EndItem();
        return;
    }
    // The data connection goes to the server we are talking to, whatever
    // address the reply names: a hostile server must not aim us elsewhere.
    const QString peer = q->AddressText();
    dataSocket->SetAddressField(peer);
    dataSocket->SetAddress(peer);
    dataSocket->SetPort(dataPort);
    dataSocket->CreateSocket();
    dataSocket->Connect();
    listingPartial.clear();
    const TReplyHandler continuation = dataContinuation;
    continuation(ContinueReply);
}

QString TVexFtpPrivate::BuildPortArgument()
{
    listenSocket->Close();
    acceptWaiting = false;
    listenSocket->SetAddress(q->LocalAddress());
    listenSocket->SetPort(0);
    listenSocket->CreateSocket();
    listenSocket->Listen();
    listingPartial.clear();
    if (listenSocket->LastError() != 0)
        return QString();
    const quint16 localPort = listenSocket->LocalPort();
    QString address = listenSocket->LocalAddress();
    if (address.isEmpty() || localPort == 0)
        return QString();
    address.replace(QLatin1Char('.'), QLatin1Char(','));
    return address + QLatin1Char(',') + QString::number(localPort / 256) + QLatin1Char(',')
        + QString::number(localPort % 256);
}

void TVexFtpPrivate::DataOpened(bool upload)
{
    if (!passive) {
        dataSocket->Accept(listenSocket);
        // One connection per transfer: a second one must not replace it.
        if (dataSocket->LastError() == 0) {
            activeOpened = nullptr;
            listenSocket->Close();
        }
    }
    const quint16 error = dataSocket->LastError();
    if (error == 0) {
        bytesTransferred = 0;
        failed = false;
        transferClock.start();
        elapsed = 0;
        listingPartial.clear();
        if (upload) {
            // The writer starts on the connection's first write notification.
            uploadLocalSize = localFile.size();
            RaiseInfo(ftpiTransferSize, QString::number(uploadLocalSize));
        }
    } else if (upload || error != WinSock::NotSocket) {
        RaiseFatal(ftpeDataConnection);
    }
}

// ---------------------------------------------------------------------------
// Ending items and list operations

void TVexFtpPrivate::EndItem()
{
    Ready();
}

void TVexFtpPrivate::SkipItem()
{
    if (!listRunning)
        operation = FtpOperation::None;
    Ready();
}

void TVexFtpPrivate::RunListOperation(FtpOperation listOperation, int count, const std::function<void(int)> &startItem)
{
    if (!BeginOperation())
        return;
    operation = listOperation;
    listRunning = true;
    listAbandoned = false;
    QPointer<TVexFtp> alive(q);
    for (int i = 0; i < count && !listAbandoned && connected; ++i) {
        itemPending = true;
        startItem(i);
        listItemStarting = false;
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
    // A list cut short by a lost connection still ends with its one
    // completion event.
    operation = listOperation;
    Ready();
}

void TVexFtpPrivate::AbandonTransfers()
{
    // Without its control connection no transfer can end properly: what has
    // already arrived on the data connection is kept, then the data
    // connection, the listener and the local file go, so that a stalled or
    // late data connection neither writes nor ends an operation that the
    // disconnection ended.
    if (dataSocket->Established() && dataSocket->OnRead) {
        const TSocketEvent reader = dataSocket->OnRead;
        reader(dataSocket);
    }
    CloseDataConnection();
    if (!listRunning)
        return;
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
QStringList TVexFtp::ListingLines() const { return d->listingLines; }

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
    d->fromCache = false;
    // A listing that fails before LIST leaves empty lists, not the entries
    // of whatever folder was listed before.
    d->newFiles.Clear();
    d->newDirectories.Clear();
    if (d->HasLineBreak(d->fileMask, ftpeBadRemoteName)) {
        d->EndItem();
        return;
    }
    d->dataContinuation = [this](const QString &r) { d->ListStep(r); };
    d->EnsureTransferType(QStringLiteral("A"), [this](const QString &r) { d->DataConnectionStep(r); });
    if (!d->asynchronous)
        d->WaitWhileBusy();
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

void TVexFtpPrivate::ListStep(const QString &reply)
{
    if (!Begins(reply, '2')) {
        RaiseError(ftpeCommandFailed);
        CloseDataConnection();
        EndItem();
        return;
    }
    WireDataSocket([this](TVexSocket *) { ReadListingData(); }, nullptr,
                   [this](TVexSocket *) { ListingClosed(); }, [this](TVexSocket *) { DataOpened(false); });
    listingLines.clear();
    newFiles.Clear();
    newDirectories.Clear();
    listingLineCount = 0;
    listState.Reset();
    const QString command = fileMask.isEmpty() ? QStringLiteral("LIST") : QLatin1String("LIST ") + fileMask;
    if (IssueCommand(command, [this](const QString &r) { HandleListReply(r); }))
        RaiseInfo(ftpiListingStarted);
}

void TVexFtpPrivate::ReadListingData()
{
    char buffer[ListingReadSize + 1];
    const int count = dataSocket->Receive(buffer, ListingReadSize);
    const quint16 error = dataSocket->LastError();
    if (error != 0 && error != WinSock::NotSocket) {
        RaiseFatal(ftpeDataConnection);
        return;
    }
    buffer[count > 0 ? count : 0] = '\0';
    const QByteArray chunk(buffer); // up to the first zero byte
    bytesTransferred += chunk.size();
    QByteArray text = listingPartial + chunk;
    qsizetype start = 0;
    for (;;) {
        const qsizetype lf = text.indexOf('\n', start);
        if (lf < 0)
            break;
        qsizetype end = lf;
        if (end > start && text.at(end - 1) == '\r')
            --end;
        const QString line = QString::fromUtf8(text.constData() + start, end - start);
        start = lf + 1;
        UpdateElapsed();
        AcceptListingLine(line);
    }
    listingPartial = text.mid(start);
}

void TVexFtpPrivate::AcceptListingLine(const QString &line)
{
    RaiseInfo(ftpiProgress, line);
    listingLines.append(line);
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
    if (Begins(reply, '1'))
        return;
    if (Begins(reply, '2')) {
        replyDone = true;
        if (dataDone)
            EndItem();
        return;
    }
    FailTransfer(ftpeAccessDenied, FtpText::AccessDenied);
}

void TVexFtpPrivate::ListingClosed()
{
    ReadListingData();
    UpdateElapsed();
    WireDataSocket(nullptr, nullptr, nullptr, nullptr);
    dataSocket->Close();
    listenSocket->Close();
    RaiseInfo(ftpiListingDataDone);
    RaiseInfo(ftpiTransferDone);
    dataDone = true;
    if (replyDone)
        EndItem();
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

void TVexFtpPrivate::FailTransfer(FtpError error, const QString &text)
{
    CloseDataConnection();
    pendingErrorText = text;
    RaiseError(error);
    EndItem();
}

// ---------------------------------------------------------------------------
// Download

void TVexFtp::GetFile(const QString &remoteName, const QString &localName)
{
    // Only the list itself starts its items; a call from a hook while the
    // list runs is refused like any other operation asked while busy.
    const bool listItem = d->listItemStarting;
    d->listItemStarting = false;
    if (!listItem) {
        if (!d->BeginOperation())
            return;
        d->operation = FtpOperation::GetFile;
    }
    d->StartDownload(remoteName, localName);
    if (!d->asynchronous && !listItem)
        d->WaitWhileBusy();
}

void TVexFtp::GetFiles(const QStringList &remoteNames, const QStringList &localNames)
{
    if (remoteNames.size() != localNames.size())
        return;
    d->RunListOperation(FtpOperation::GetFiles, int(remoteNames.size()),
                        [&](int i) {
                            d->listItemStarting = true;
                            GetFile(remoteNames.at(i), localNames.at(i));
                        });
}

void TVexFtpPrivate::StartDownload(const QString &remote, const QString &local)
{
    remoteFileName = remote;
    localFileName = local;
    restartOffset = 0;
    if (remote.isEmpty() || HasLineBreak(remote, ftpeBadRemoteName)) {
        if (remote.isEmpty())
            RaiseError(ftpeBadRemoteName);
        EndItem();
        return;
    }
    if (local.isEmpty()) {
        RaiseError(ftpeLocalFileOpen);
        EndItem();
        return;
    }
    CloseLocalFile();
    localFile.setFileName(local);
    const bool exists = QFileInfo::exists(local);
    // Unbuffered: a block that the disk cannot take must fail at its own
    // write, not later at a flush whose failure nobody would see.
    const QIODevice::OpenMode mode = exists ? QIODevice::ReadWrite : (QIODevice::WriteOnly | QIODevice::Truncate);
    if (!localFile.open(mode | QIODevice::Unbuffered)) {
        RaiseError(ftpeLocalFileOpen);
        EndItem();
        return;
    }
    fileOpen = true;
    dataDone = false;
    replyDone = false;
    const QString type = transferMode == AsciiTransfer ? QStringLiteral("A") : QStringLiteral("I");
    if (exists) {
        EnsureTransferType(type, [this](const QString &) { AskDownloadExists(); });
    } else {
        dataContinuation = [this](const QString &r) { FreshRetrStep(r); };
        EnsureTransferType(type, [this](const QString &r) { DataConnectionStep(r); });
    }
}

void TVexFtpPrivate::AskDownloadExists()
{
    remoteSize = 0;
    const QString answer = Ask(needFileExists);
    if (answer == QLatin1String("Resume")) {
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
    } else if (answer.isEmpty() || answer == QLatin1String("Overwrite")) {
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
    if (Begins(reply, '2')) {
        remoteSize = SizeFromReply(reply);
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

void TVexFtpPrivate::FreshRetrStep(const QString &reply)
{
    if (!Begins(reply, '2')) {
        RaiseError(ftpeCommandFailed);
        CloseDataConnection();
        EndItem();
        return;
    }
    // A fresh download over an existing file leaves exactly the received
    // data. A device or pipe has nothing to empty and no position.
    if (!localFile.isSequential()) {
        localFile.resize(0);
        localFile.seek(0);
    }
    WireDataSocket([this](TVexSocket *) { ReadDownloadData(); }, nullptr,
                   [this](TVexSocket *) { TransferClosed(); }, [this](TVexSocket *) { DataOpened(false); });
    IssueCommand(QLatin1String("RETR ") + remoteFileName, [this](const QString &r) { HandleRetrReply(r); });
}

void TVexFtpPrivate::ResumedRetrStep(const QString &reply)
{
    if (!Begins(reply, '2')) {
        RaiseError(ftpeCommandFailed);
        CloseDataConnection();
        EndItem();
        return;
    }
    WireDataSocket([this](TVexSocket *) { ReadDownloadData(); }, nullptr,
                   [this](TVexSocket *) { TransferClosed(); }, [this](TVexSocket *) { DataOpened(false); });
    restartOffset = localFile.size();
    IssueCommand(QLatin1String("REST ") + QString::number(restartOffset),
                 [this](const QString &r) { HandleDownloadRestReply(r); });
}

void TVexFtpPrivate::HandleDownloadRestReply(const QString &reply)
{
    if (Begins(reply, '3'))
        IssueCommand(QLatin1String("RETR ") + remoteFileName, [this](const QString &r) { HandleRetrReply(r); });
    else
        FailTransfer(ftpeResumeRefused, FtpText::DownloadResumeRefused);
}

void TVexFtpPrivate::HandleRetrReply(const QString &reply)
{
    if (Begins(reply, '1')) {
        const qsizetype open = reply.lastIndexOf(QLatin1Char('('));
        if (open >= 0) {
            const qsizetype blank = reply.indexOf(QLatin1Char(' '), open + 1);
            if (blank >= 0)
                RaiseInfo(ftpiTransferSize, reply.mid(open + 1, blank - open - 1));
        }
        return;
    }
    if (Begins(reply, '2')) {
        replyDone = true;
        if (dataDone)
            EndItem();
        return;
    }
    FailTransfer(ftpeAccessDenied, FtpText::AccessDenied);
}

void TVexFtpPrivate::ReadDownloadData()
{
    char *buffer = TransferBuffer();
    for (;;) {
        const int count = dataSocket->Receive(buffer, DownloadReadSize);
        const quint16 error = dataSocket->LastError();
        if (error != 0 && error != WinSock::NotSocket) {
            RaiseFatal(ftpeDataConnection);
            return;
        }
        if (count <= 0)
            return;
        if (!fileOpen)
            continue; // after a write failure the rest is read and dropped
        bytesTransferred += count;
        UpdateElapsed();
        RaiseInfo(ftpiProgress);
        if (localFile.write(buffer, count) != count) {
            RaiseError(ftpeLocalFileWrite);
            CloseLocalFile();
        }
    }
}

void TVexFtpPrivate::TransferClosed()
{
    if (dataSocket->OnRead)
        dataSocket->OnRead(dataSocket);
    UpdateElapsed();
    WireDataSocket(nullptr, nullptr, nullptr, nullptr);
    dataSocket->Close();
    listenSocket->Close();
    CloseLocalFile();
    RaiseInfo(ftpiTransferDone);
    dataDone = true;
    if (replyDone)
        EndItem();
}

// ---------------------------------------------------------------------------
// Upload

void TVexFtp::PutFile(const QString &localName, const QString &remoteName)
{
    const bool listItem = d->listItemStarting;
    d->listItemStarting = false;
    if (!listItem) {
        if (!d->BeginOperation())
            return;
        d->operation = FtpOperation::PutFile;
    }
    d->StartUpload(localName, remoteName);
    if (!d->asynchronous && !listItem)
        d->WaitWhileBusy();
}

void TVexFtp::PutFiles(const QStringList &localNames, const QStringList &remoteNames)
{
    if (remoteNames.size() != localNames.size())
        return;
    d->RunListOperation(FtpOperation::PutFiles, int(localNames.size()),
                        [&](int i) {
                            d->listItemStarting = true;
                            PutFile(localNames.at(i), remoteNames.at(i));
                        });
}

void TVexFtpPrivate::StartUpload(const QString &local, const QString &remote)
{
    localFileName = local;
    remoteFileName = remote;
    restartOffset = 0;
    uploadFailed = false;
    storIssued = false;
    uploadWriteWaiting = false;
    if (remote.isEmpty() || HasLineBreak(remote, ftpeBadRemoteName)) {
        if (remote.isEmpty())
            RaiseError(ftpeBadRemoteName);
        EndItem();
        return;
    }
    if (local.isEmpty()) {
        RaiseError(ftpeLocalFileOpen);
        EndItem();
        return;
    }
    CloseLocalFile();
    localFile.setFileName(local);
    if (!localFile.open(QIODevice::ReadOnly)) {
        RaiseError(ftpeLocalFileOpen);
        EndItem();
        return;
    }
    fileOpen = true;
    const QString type = transferMode == AsciiTransfer ? QStringLiteral("A") : QStringLiteral("I");
    EnsureTransferType(type, [this](const QString &) { UploadSizeStep(); });
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
    if (Begins(reply, '2')) {
        remoteSize = SizeFromReply(reply);
        if (remoteSize != 0) {
            const QString answer = Ask(needFileExists);
            const qint64 localSize = localFile.size();
            if (answer == QLatin1String("Resume")) {
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
            } else if (!answer.isEmpty() && answer != QLatin1String("Overwrite")) {
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

void TVexFtpPrivate::FreshStorStep(const QString &reply)
{
    if (!Begins(reply, '2')) {
        RaiseError(ftpeCommandFailed);
        CloseDataConnection();
        EndItem();
        return;
    }
    WireDataSocket(nullptr, [this](TVexSocket *) { WriteUploadData(); },
                   [this](TVexSocket *) { TransferClosed(); }, [this](TVexSocket *) { DataOpened(true); });
    IssueStor();
}

void TVexFtpPrivate::ResumedStorStep(const QString &reply)
{
    if (!Begins(reply, '2')) {
        RaiseError(ftpeCommandFailed);
        CloseDataConnection();
        EndItem();
        return;
    }
    WireDataSocket(nullptr, [this](TVexSocket *) { WriteUploadData(); },
                   [this](TVexSocket *) { TransferClosed(); }, [this](TVexSocket *) { DataOpened(true); });
    restartOffset = remoteSize;
    IssueCommand(QLatin1String("REST ") + QString::number(restartOffset),
                 [this](const QString &r) { HandleUploadRestReply(r); });
}

void TVexFtpPrivate::HandleUploadRestReply(const QString &reply)
{
    if (Begins(reply, '3'))
        IssueStor();
    else
        FailTransfer(ftpeResumeRefused, FtpText::UploadResumeRefused);
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
    if (Begins(reply, '1')) {
        replyHandler = [this](const QString &r) { HandleStorFinalReply(r); };
        return;
    }
    HandleStorFinalReply(reply);
}

void TVexFtpPrivate::HandleStorFinalReply(const QString &reply)
{
    if (Begins(reply, '2')) {
        replyDone = true;
        if (dataDone)
            EndItem();
        return;
    }
    FailTransfer(ftpeAccessDenied, FtpText::AccessDenied);
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
    WireDataSocket(nullptr, nullptr, nullptr, nullptr);
    dataSocket->Close();
    listenSocket->Close();
    CloseLocalFile();
    UpdateElapsed();
    RaiseInfo(ftpiTransferDone);
    dataDone = true;
    if (replyDone)
        EndItem();
}

bool TVexFtpPrivate::SendUploadBurst()
{
    char *buffer = TransferBuffer();
    bool wouldBlock = false;
    // The size learned when the connection opened marks the end: asking the
    // file system again for every chunk costs more than the chunk itself.
    const qint64 end = uploadLocalSize;
    while (fileOpen && localFile.pos() < end && !wouldBlock) {
        const qint64 chunk = qMin<qint64>(UploadChunkSize, end - localFile.pos());
        const qint64 read = localFile.read(buffer, chunk);
        if (read != chunk) {
            RaiseError(ftpeLocalFileRead);
            CloseDataConnection();
            uploadFailed = true;
            break;
        }
        qint64 offset = 0;
        while (offset < read) {
            PumpOnce(false);
            if (!dataSocket->Established() || !fileOpen)
                return false; // the transfer was ended while events ran
            dataSocket->SetReportWouldBlock(true);
            const int sent = dataSocket->Send(buffer + offset, int(read - offset));
            dataSocket->SetReportWouldBlock(false);
            const quint16 error = dataSocket->LastError();
            offset += sent;
            if (error == WinSock::WouldBlock) {
                localFile.seek(localFile.pos() - (read - offset));
                wouldBlock = true;
                break;
            }
            if (error != 0) {
                bytesTransferred += offset;
                RaiseFatal(ftpeDataConnection);
                return false;
            }
        }
        bytesTransferred += offset;
    }
    RaiseInfo(ftpiProgress);
    UpdateElapsed();
    // A failed upload has sent its last byte too: the server's reply to the
    // closed connection ends the item.
    return uploadFailed || !fileOpen || localFile.pos() >= end;
}
