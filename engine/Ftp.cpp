// The client core: properties, the control connection with its reader and
// reply routing, the operation life cycle, events, close handling with
// retries, the keep-alive and the waits of the synchronous mode.

#include "FtpPrivate.h"
#include "EngineVersion.h"
#include "SocketErrors.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QThread>

#include <arpa/inet.h>
#include <climits>
#include <utility>

namespace {
// What the socket's numeric address setter accepts as an IPv4 address.
bool IsDottedAddress(const QString &text)
{
    const QByteArray latin1 = text.toLatin1();
    in_addr parsed {};
    return !latin1.contains('\0') && ::inet_aton(latin1.constData(), &parsed) != 0;
}

bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

// A reply line begins with exactly three digits and a blank (its last line)
// or a dash (the first line of a multi-line reply). Anything else the server
// says outside a multi-line reply is no reply at all.
bool HasReplyCode(const QByteArray &line)
{
    return line.size() >= 4 && IsDigit(line.at(0)) && IsDigit(line.at(1)) && IsDigit(line.at(2))
        && (line.at(3) == ' ' || line.at(3) == '-');
}
}

// ---------------------------------------------------------------------------
// Lines of a byte stream

bool TLineSplitter::Feed(QByteArrayView bytes, const std::function<bool(const QByteArray &)> &take)
{
    pending.append(bytes);
    qsizetype start = 0;
    for (;;) {
        const qsizetype lf = pending.indexOf('\n', qMax(start, searched));
        const qsizetype end = lf < 0 ? pending.size() : lf;
        QByteArray line;
        if (end - start > maxLength) {
            // Past the limit, the text so far is one line.
            line = pending.mid(start, maxLength);
            start += maxLength;
        } else if (lf >= 0) {
            line = pending.mid(start, (lf > start && pending.at(lf - 1) == '\r') ? lf - 1 - start : lf - start);
            start = lf + 1;
        } else {
            break;
        }
        // Stopped: nothing more is touched, the splitter itself may be gone
        // with its owner. It is cleared before it serves again.
        if (!take(line))
            return false;
    }
    searched = pending.size() - start;
    pending.remove(0, start);
    return true;
}

QByteArray TLineSplitter::TakeRest()
{
    searched = 0;
    return std::exchange(pending, QByteArray());
}

void TLineSplitter::Clear()
{
    pending.clear();
    searched = 0;
}

QString QuotedPath(const QString &reply)
{
    const qsizetype first = reply.indexOf(QLatin1Char('"'));
    if (first < 0)
        return QString();
    const qsizetype second = reply.indexOf(QLatin1Char('"'), first + 1);
    if (second < 0)
        return QString();
    return reply.mid(first + 1, second - first - 1);
}

TVexFtpPrivate::TVexFtpPrivate(TVexFtp *client)
    : q(client)
{
    noopTimer.setInterval(30 * 1000);
    retryTimer.setSingleShot(true);
    progressTimer.setSingleShot(true);
}

// ---------------------------------------------------------------------------
// Construction and properties

TVexFtp::TVexFtp(QObject *owner)
    : TVexSocket(owner)
    , d(std::make_unique<TVexFtpPrivate>(this))
{
    OnConnect = [this](TVexSocket *) { d->HandleControlConnect(); };
    OnRead = [this](TVexSocket *) { d->HandleControlRead(); };
    OnClose = [this](TVexSocket *) { d->HandleControlClosed(); };
    OnTimeOut = [this](TVexSocket *) { d->HandleControlTimeOut(); };
    OnMessage = [this](TVexSocket *, int message, qintptr, qintptr) { d->HandleMessage(message); };
    QObject::connect(&d->noopTimer, &QTimer::timeout, this, [this] { d->KeepAliveTick(); });
    QObject::connect(&d->retryTimer, &QTimer::timeout, this, [this] { d->RetryWaitElapsed(); });
    QObject::connect(&d->progressTimer, &QTimer::timeout, this, [this] { d->WatchdogExpired(); });
    d->UpdateKeepAliveTimer();
    d->InitDataSockets();
}

TVexFtp::~TVexFtp()
{
    d->retryTimer.stop();
    d->noopTimer.stop();
    d->progressTimer.stop();
    // Our own callbacks must not run while the object is being torn down.
    OnClose = nullptr;
    OnRead = nullptr;
    OnConnect = nullptr;
    OnTimeOut = nullptr;
    OnMessage = nullptr;
    d->ShutdownDataSockets();
    Close();
}

QString TVexFtp::DefaultGuestPassword() { return QStringLiteral("velmar@example.org"); }

QString TVexFtp::Server() const { return d->server; }
void TVexFtp::SetServer(const QString &server)
{
    d->server = server.trimmed();
    d->DescribePeer(d->server);
}

void TVexFtpPrivate::DescribePeer(const QString &host)
{
    // A first character from 0 to 9 makes a numeric address, anything else
    // a host name; nothing at all leaves the description as it was.
    if (host.isEmpty())
        return;
    const QChar first = host.at(0);
    if (first >= QLatin1Char('0') && first <= QLatin1Char('9')) {
        q->SetAddressField(host);
        q->SetHostName(QString());
    } else {
        q->SetHostName(host);
        q->SetAddressField(QString());
    }
}
quint16 TVexFtp::Port() const { return d->port; }
void TVexFtp::SetPort(quint16 port) { d->port = port; }
QString TVexFtp::Username() const { return d->username; }
void TVexFtp::SetUsername(const QString &v) { d->username = v; }
QString TVexFtp::Password() const { return d->password; }
void TVexFtp::SetPassword(const QString &v) { d->password = v; }
QString TVexFtp::Account() const { return d->account; }
void TVexFtp::SetAccount(const QString &v) { d->account = v; }
QString TVexFtp::ProxyServer() const { return d->proxyServer; }
void TVexFtp::SetProxyServer(const QString &v) { d->proxyServer = v; }
int TVexFtp::ProxyPort() const { return d->proxyPort; }
void TVexFtp::SetProxyPort(int v) { d->proxyPort = v; }
TVexFtpProxyType TVexFtp::ProxyType() const { return d->proxyType; }
void TVexFtp::SetProxyType(TVexFtpProxyType v) { d->proxyType = v; }
QString TVexFtp::ProxyUsername() const { return d->proxyUsername; }
void TVexFtp::SetProxyUsername(const QString &v) { d->proxyUsername = v; }
QString TVexFtp::ProxyPassword() const { return d->proxyPassword; }
void TVexFtp::SetProxyPassword(const QString &v) { d->proxyPassword = v; }
bool TVexFtp::Passive() const { return d->passive; }
void TVexFtp::SetPassive(bool v) { d->passive = v; }
TVexFtpTransferType TVexFtp::TransferMode() const { return d->transferMode; }
void TVexFtp::SetTransferMode(TVexFtpTransferType v) { d->transferMode = v; }
TVexFtpServerType TVexFtp::ServerType() const { return d->serverType; }
void TVexFtp::SetServerType(TVexFtpServerType v) { d->serverType = v; }
QString TVexFtp::InitialDirectory() const { return d->initialDirectory; }
void TVexFtp::SetInitialDirectory(const QString &v) { d->initialDirectory = v; }
QString TVexFtp::FileMask() const { return d->fileMask; }
void TVexFtp::SetFileMask(const QString &v) { d->fileMask = v; }
bool TVexFtp::Cache() const { return d->cache; }
void TVexFtp::SetCache(bool v) { d->cache = v; }
int TVexFtp::CacheExpire() const { return d->cacheExpire; }
void TVexFtp::SetCacheExpire(int days) { d->cacheExpire = days; }
int TVexFtp::Retries() const { return d->retries; }
void TVexFtp::SetRetries(int v) { d->retries = v; }
quint16 TVexFtp::RetryInterval() const { return d->retryInterval; }
void TVexFtp::SetRetryInterval(quint16 seconds) { d->retryInterval = seconds; }
quint16 TVexFtp::NoopInterval() const { return quint16(d->noopTimer.interval() / 1000); }
void TVexFtp::SetNoopInterval(quint16 seconds)
{
    d->noopTimer.setInterval(int(seconds) * 1000);
    d->UpdateKeepAliveTimer();
}
bool TVexFtp::Asynchronous() const { return d->asynchronous; }
void TVexFtp::SetAsynchronous(bool v)
{
    if (!d->busy)
        d->asynchronous = v;
}
bool TVexFtp::MultiThreaded() const { return d->multiThreaded; }
void TVexFtp::SetMultiThreaded(bool v) { d->multiThreaded = v; }
QString TVexFtp::Version() const { return QString::fromLatin1(EngineVersionText()); }
void TVexFtp::SetVersion(const QString &) {}

bool TVexFtp::Connected() const { return d->connected; }
bool TVexFtp::LoggedIn() const { return d->loggedIn; }
bool TVexFtp::Busy() const { return d->busy; }
QString TVexFtp::CurrentDirectory() const { return d->currentDirectory; }
bool TVexFtp::ResumeSupported() const { return d->resumeSupported; }
QStringList TVexFtp::ReplyLines() const { return d->replyLines; }
QString TVexFtp::LastReply() const { return d->lastReply; }

// ---------------------------------------------------------------------------
// Listener table and dispatch

int TVexFtp::AddErrorListener(const TVexFtpErrorEvent &callback) { return d->errorListeners.Add(callback); }
int TVexFtp::AddInfoListener(const TVexFtpInfoEvent &callback) { return d->infoListeners.Add(callback); }
int TVexFtp::AddNotifyListener(TVexFtpNotifyKind kind, const TNotifyEvent &callback)
{
    if (kind < FirstNotifyKind || kind > LastNotifyKind)
        return -1;
    return d->notifyListeners[kind].Add(callback);
}
void TVexFtp::RemoveErrorListener(int slot) { d->errorListeners.Remove(slot); }
void TVexFtp::RemoveInfoListener(int slot) { d->infoListeners.Remove(slot); }
void TVexFtp::RemoveNotifyListener(TVexFtpNotifyKind kind, int slot)
{
    if (kind >= FirstNotifyKind && kind <= LastNotifyKind)
        d->notifyListeners[kind].Remove(slot);
}

void TVexFtpPrivate::RaiseInfo(FtpInfo info, const QString &text)
{
    const QString addinfo = text.isEmpty() ? FtpInfoDefaultText(info) : text;
    // Hooks run on copies: a hook may reassign itself while it is called.
    if (const TVexFtpInfoEvent hook = q->OnFtpInfo)
        hook(q, info, addinfo);
    infoListeners.Call(q, info, addinfo);
}

void TVexFtpPrivate::RaiseError(FtpError error, const QString &text)
{
    lastError = error;
    failed = true;
    ++errorCount;
    const QString addinfo = text.isEmpty() ? FtpErrorDefaultText(error) : text;
    if (const TVexFtpErrorEvent hook = q->OnFtpError)
        hook(q, error, addinfo);
    errorListeners.Call(q, error, addinfo);
}

void TVexFtpPrivate::RaiseFatal(FtpError error, const QString &text)
{
    RaiseError(error, text);
    CloseDataConnection();
    if (q->Established())
        q->Close();
}

void TVexFtpPrivate::Notify(TVexFtpNotifyKind kind)
{
    const TNotifyEvent *hook = nullptr;
    switch (kind) {
    case nkDirectoryChanged: hook = &q->OnDirectoryChanged; break;
    case nkDirectoryCreated: hook = &q->OnDirectoryCreated; break;
    case nkDirectoryDeleted: hook = &q->OnDirectoryDeleted; break;
    case nkFileDeleted: hook = &q->OnFileDeleted; break;
    case nkFileReceived: hook = &q->OnFileReceived; break;
    case nkFileRenamed: hook = &q->OnFileRenamed; break;
    case nkFileStored: hook = &q->OnFileStored; break;
    case nkFtpQuit: hook = &q->OnFtpQuit; break;
    case nkFtpReady: hook = &q->OnFtpReady; break;
    case nkListingDone: hook = &q->OnListingDone; break;
    case nkLoggedIn: hook = &q->OnLoggedIn; break;
    case nkFtpBusy: hook = &q->OnFtpBusy; break;
    }
    if (hook && *hook) {
        const TNotifyEvent call = *hook; // the hook may reassign itself
        call(q);
    }
    notifyListeners[kind].Call(q);
}

QString TVexFtpPrivate::Ask(TVexFtpInfoNeeded need, const QString &initial)
{
    QString value = initial;
    const TVexFtpInfoNeededEvent hook = q->OnFtpNeedInfo;
    if (!hook)
        return value;
    // The owner may take its time (a dialog): that is no silence of the
    // server's, so the time-out starts again once the answer is in.
    progressTimer.stop();
    QPointer<TVexFtp> alive(q);
    hook(q, need, value);
    if (alive)
        KickWatchdog();
    return value;
}

// ---------------------------------------------------------------------------
// Connection

void TVexFtp::Login()
{
    // The owner's own login: an address connection that failed earlier must
    // not take over its directory step.
    d->urlState = UrlConnectState::None;
    d->StartLogin();
}

void TVexFtpPrivate::StartLogin()
{
    attemptsLeft = retries;
    busy = false;
    loggedIn = false;
    // A proxy login reaches the target given here on every attempt.
    proxyTargetSet = !proxyServer.trimmed().isEmpty() && proxyType != proxyNone;
    if (proxyTargetSet) {
        targetServer = server;
        targetPort = port;
    }
    ConnectionAttempt();
}

void TVexFtpPrivate::ConnectionAttempt()
{
    retryTimer.stop();
    retrying = false;
    if (busy) {
        RaiseInfo(ftpiBusy);
        return;
    }
    q->SetLastError(0);
    currentDirectory.clear();
    multiLine = false;
    multiLineCode.clear();
    multiLineText.clear();
    lastError = ftpeNone;
    failed = false;
    sizeSupported = true;
    noopSupported = true;
    rememberedType.clear();
    --attemptsLeft;

    replyHandler = nullptr;
    awaitingReply = false;
    progressTimer.stop();
    DiscardControlSocket();
    q->ResetSocket();
    connected = false;

    // Server and Port keep naming the target while the connection goes to a
    // proxy: an attempt that never reaches the welcome leaves them as given.
    QString peer = server;
    if (proxyServer.trimmed().isEmpty()) {
        proxyType = proxyNone;
    } else if (proxyType != proxyNone) {
        if (!proxyTargetSet) {
            targetServer = server;
            targetPort = port;
            proxyTargetSet = true;
        }
        peer = proxyServer.trimmed();
    }

    if (peer.isEmpty()) {
        const QString answer = Ask(needServer).trimmed();
        if (answer.isEmpty()) {
            RaiseError(ftpeNoServer, FtpText::NoServer);
            Ready();
            return;
        }
        q->SetServer(answer);
        peer = server;
    }
    if (port == 0)
        port = 21;
    peerPort = proxyType != proxyNone ? quint16(proxyPort & 0xFFFF) : port;
    if (peerPort == 0)
        peerPort = 21;
    DescribePeer(peer);

    if (!q->Address().isEmpty() && q->HostName().isEmpty()) {
        if (!IsDottedAddress(q->Address())) {
            // "3com.example" counts as numeric but is no address: it would
            // become 255.255.255.255. Nothing is contacted.
            q->SetLastError(WinSock::AccessDenied);
            CheckSocketError();
            return;
        }
        q->SetAddress(q->Address());
        q->TVexSocket::SetPort(peerPort);
        q->Connect();
    } else {
        RaiseInfo(ftpiResolving, q->HostName());
        q->ResolveHost(q->HostName());
    }
    CheckSocketError();
}

void TVexFtpPrivate::DiscardControlSocket()
{
    // A lookup or connect still under way belongs to an attempt that is being
    // given up: its outcome must not reach the new one, and the old
    // connection goes without close handling.
    ++controlGeneration;
    const TSocketEvent closeHandler = std::exchange(q->OnClose, nullptr);
    q->TVexSocket::Close();
    q->OnClose = closeHandler;
}

void TVexFtp::Resolved()
{
    if (d->CheckSocketError())
        return;
    UseResolvedAddress();
    TVexSocket::SetPort(d->peerPort);
    SetAddressField(AddressText());
    d->RaiseInfo(ftpiResolved, Address());
    Connect();
    d->CheckSocketError();
}

bool TVexFtpPrivate::CheckSocketError()
{
    FtpError error;
    QString text;
    if (!FtpErrorFromSocketError(q->LastError(), &error, &text))
        return false;
    RaiseFatal(error, text);
    return true;
}

void TVexFtpPrivate::HandleControlConnect()
{
    if (CheckSocketError())
        return;
    RaiseInfo(ftpiConnected, q->Address());
    connected = true;
    readerActive = false;
    controlLines.Clear();
    replyHandler = [this](const QString &reply) { HandleWelcomeReply(reply); };
    awaitingReply = true;
    KickWatchdog();
}

void TVexFtpPrivate::HandleControlTimeOut()
{
    RaiseFatal(ftpeTimedOut, FtpText::ClientTimedOut);
}

// ---------------------------------------------------------------------------
// Time-out once connected

void TVexFtpPrivate::KickWatchdog()
{
    // Progress of any kind (a command sent, text received, data moved) gives
    // the server TimeOut seconds again. It comes with every block of a
    // transfer, so it only notes the time; the timer, when it fires, looks
    // how long ago that was.
    const int seconds = q->TimeOut();
    if (!connected || seconds <= 0) {
        progressTimer.stop();
        return;
    }
    lastProgress.start();
    if (!progressTimer.isActive())
        progressTimer.start(seconds * 1000);
}

void TVexFtpPrivate::WatchdogExpired()
{
    // Silence is only a fault while the server owes something: idle between
    // operations, or while the owner judges a raw reply, nothing is due.
    if (!connected || !(awaitingReply || TransferInProgress()))
        return;
    const qint64 left = qint64(q->TimeOut()) * 1000 - lastProgress.elapsed();
    if (left > 0) {
        progressTimer.start(int(left));
        return;
    }
    RaiseFatal(ftpeTimedOut, FtpText::ClientTimedOut);
}

// ---------------------------------------------------------------------------
// Commands and replies

bool TVexFtpPrivate::IssueCommand(const QString &command, const TReplyHandler &handler, CommandLog log)
{
    const QString line = command + QLatin1String("\r\n");
    RaiseInfo(ftpiCommand, log == CommandLog::Secret ? FtpText::MaskedPass : line);
    const QByteArray bytes = line.toUtf8();
    qsizetype offset = 0;
    const quint64 generation = controlGeneration;
    while (offset < bytes.size()) {
        const int sent = q->Send(bytes.constData() + offset, int(qMin<qsizetype>(bytes.size() - offset, INT_MAX)));
        if (CheckSocketError() || !connected || generation != controlGeneration)
            return false;
        offset += sent;
        // The control line rarely fills the socket buffer; when it does, wait
        // for room while events keep flowing. Only a send that would block
        // asks the socket for a write notification: after a partial send the
        // next one is tried at once, and only when nothing went does the
        // wait begin, ended by the notification that send asked for.
        if (sent == 0 && offset < bytes.size())
            PumpOnce(true);
    }
    replyHandler = handler;
    awaitingReply = true;
    KickWatchdog();
    return true;
}

void TVexFtpPrivate::HandleControlRead()
{
    if (readerActive)
        return;
    const quint64 generation = controlGeneration;
    QPointer<TVexFtp> alive(q);
    // False when the handler of the line closed, replaced or destroyed the
    // connection: the rest of that connection's text stays unread.
    const auto process = [&](const QByteArray &line) {
        readerActive = true;
        ProcessReplyLine(line);
        if (!alive)
            return false;
        readerActive = false;
        return generation == controlGeneration;
    };
    char buffer[ControlReadSize];
    for (;;) {
        const int count = q->Receive(buffer, ControlReadSize);
        if (CheckSocketError())
            return;
        // By count: a zero byte is text like any other.
        const QByteArrayView chunk(buffer, count > 0 ? count : 0);
        RaiseInfo(ftpiReceived, QString::fromUtf8(chunk));
        if (!alive || generation != controlGeneration)
            return;
        if (chunk.isEmpty())
            return;
        // Text coming in is progress, whether or not it ends a reply: a long
        // reply on a slow line is no silence.
        KickWatchdog();
        if (!controlLines.Feed(chunk, process))
            return;
    }
}

void TVexFtpPrivate::ProcessReplyLine(const QByteArray &raw)
{
    if (raw.isEmpty())
        return;
    const QString line = QString::fromUtf8(raw);
    const bool coded = HasReplyCode(raw);
    if (multiLine) {
        const bool closes = coded && raw.at(3) == ' ' && raw.left(3) == multiLineCode;
        if (!closes) {
            if (multiLineText.size() < ReplyTextLimit) {
                multiLineText += line;
                if (!multiLineText.endsWith(QLatin1String("\r\n")))
                    multiLineText += QLatin1String("\r\n");
            }
            return;
        }
    } else if (!coded) {
        // Not a reply ("abc-", a bare "2", stray text): the log shows it as
        // received, no step judges it.
        return;
    } else if (raw.at(3) == '-') {
        multiLine = true;
        multiLineCode = raw.left(3);
        multiLineText = line + QLatin1String("\r\n");
        return;
    }
    if (multiLine) {
        multiLine = false;
        replyLines = multiLineText.split(QLatin1String("\r\n"), Qt::SkipEmptyParts);
        replyLines.append(line);
        multiLineText.clear();
        RaiseInfo(ftpiMultiLineReply);
    }
    lastReply = line;
    // A preliminary reply leaves the final one still due.
    if (raw.at(0) != '1')
        awaitingReply = false;
    KickWatchdog();
    if (replyHandler) {
        const TReplyHandler handler = replyHandler; // the handler may replace itself
        handler(line);
    }
}

// ---------------------------------------------------------------------------
// Operation life cycle

bool TVexFtpPrivate::BeginOperation()
{
    if (connected && !busy) {
        busy = true;
        Notify(nkFtpBusy);
        failed = false;
        noopEnabled = false;
        UpdateKeepAliveTimer();
        lastError = ftpeNone;
        return true;
    }
    if (connected)
        RaiseInfo(ftpiBusy);
    else
        RaiseInfo(ftpiDisconnected);
    failed = true;
    return false;
}

void TVexFtpPrivate::Ready()
{
    replyHandler = nullptr;
    ++readyMessagesPending;
    q->PostMessage(ReadyMessage);
}

void TVexFtpPrivate::HandleMessage(int message)
{
    if (message == ReadyMessage)
        HandleReadyMessage();
    else if (message == DisconnectedMessage)
        HandleDisconnectedMessage();
}

void TVexFtpPrivate::HandleReadyMessage()
{
    if (readyMessagesPending > 0)
        --readyMessagesPending;
    if (listRunning) {
        itemPending = false;
        return;
    }
    busy = false;
    noopEnabled = true;
    UpdateKeepAliveTimer();
    QPointer<TVexFtp> alive(q);
    Notify(nkFtpReady);
    if (!alive)
        return;
    CompleteOperation(operation);
}

void TVexFtpPrivate::CompleteOperation(FtpOperation finished)
{
    // Each completion clears the code before raising its event, so that an
    // operation started from the event keeps its own code.
    operation = FtpOperation::None;
    switch (finished) {
    case FtpOperation::None:
    case FtpOperation::KeepAlive:
        break;
    case FtpOperation::Login:
        loggedIn = true;
        Notify(nkLoggedIn);
        break;
    case FtpOperation::ChangeDirectory:
    case FtpOperation::ParentDirectory:
        Notify(nkDirectoryChanged);
        break;
    case FtpOperation::List:
        CompleteListing();
        Notify(nkListingDone);
        break;
    case FtpOperation::CreateDirectory: Notify(nkDirectoryCreated); break;
    case FtpOperation::RemoveDirectories: Notify(nkDirectoryDeleted); break;
    case FtpOperation::DeleteFiles: Notify(nkFileDeleted); break;
    case FtpOperation::GetFile:
    case FtpOperation::GetFiles: Notify(nkFileReceived); break;
    case FtpOperation::PutFile:
    case FtpOperation::PutFiles: Notify(nkFileStored); break;
    case FtpOperation::Rename: Notify(nkFileRenamed); break;
    }
}

void TVexFtpPrivate::UpdateKeepAliveTimer()
{
    if (noopEnabled && noopTimer.interval() > 0)
        noopTimer.start();
    else
        noopTimer.stop();
}

void TVexFtpPrivate::KeepAliveTick()
{
    if (busy || !loggedIn || !noopSupported)
        return;
    busy = true;
    operation = FtpOperation::KeepAlive;
    const bool sent = IssueCommand(QStringLiteral("NOOP"), [this](const QString &reply) { HandleNoopReply(reply); });
    if (!sent) {
        busy = false;
        if (operation == FtpOperation::KeepAlive)
            operation = FtpOperation::None;
    }
}

void TVexFtpPrivate::HandleNoopReply(const QString &reply)
{
    if (reply.startsWith(QLatin1String("50")))
        noopSupported = false;
    busy = false;
    replyHandler = nullptr;
    if (operation == FtpOperation::KeepAlive)
        operation = FtpOperation::None;
}

// ---------------------------------------------------------------------------
// Close handling and retries

void TVexFtpPrivate::HandleControlClosed()
{
    ++controlGeneration;
    const bool wasConnected = connected;
    connected = false;
    awaitingReply = false;
    progressTimer.stop();
    if (retrying)
        return;
    if (attemptsLeft < 0) {
        RaiseInfo(ftpiRetriesExhausted, FtpText::RetriesExhausted);
        DisconnectProcessing();
        return;
    }
    // A socket that never connected is closed only by the owner, after a
    // refused or timed-out connect: that gives up, it is no failed login.
    if (!loggedIn && lastError != ftpeNone && wasConnected) {
        StartRetryWait();
        return;
    }
    DisconnectProcessing();
}

void TVexFtpPrivate::StartRetryWait()
{
    // The wait runs on the event loop instead of inside the close handler:
    // the loop sleeps until the interval ends, and a Login or Close of the
    // owner meanwhile cancels it, also from inside the ftpiRetrying event.
    retrying = true;
    RaiseInfo(ftpiRetrying, FtpText::Retrying);
    if (retrying)
        retryTimer.start(int(retryInterval) * 1000);
}

void TVexFtp::Close()
{
    if (!d->retrying) {
        TVexSocket::Close();
        return;
    }
    // Nothing is open while a retry is pending: closing means giving up.
    d->retryTimer.stop();
    d->retrying = false;
    d->DisconnectProcessing();
}

void TVexFtpPrivate::RetryWaitElapsed()
{
    if (!retrying || loggedIn) {
        retrying = false;
        return;
    }
    ConnectionAttempt();
}

void TVexFtpPrivate::DisconnectProcessing()
{
    AbandonTransfers();
    RaiseInfo(ftpiDisconnected, FtpText::Disconnected);
    q->PostMessage(DisconnectedMessage);
    operation = FtpOperation::None;
    Ready();
}

void TVexFtpPrivate::HandleDisconnectedMessage()
{
    busy = false;
    noopEnabled = false;
    UpdateKeepAliveTimer();
    loggedIn = false;
    QPointer<TVexFtp> alive(q);
    Notify(nkFtpQuit);
    if (!alive)
        return;
    if (urlState == UrlConnectState::QuitPending)
        StartLogin();
}

// ---------------------------------------------------------------------------
// Waiting

void TVexFtpPrivate::PumpOnce(bool block)
{
    const QEventLoop::ProcessEventsFlags flags = block ? QEventLoop::WaitForMoreEvents : QEventLoop::AllEvents;
    if (multiThreaded) {
        if (QAbstractEventDispatcher *dispatcher = QThread::currentThread()->eventDispatcher())
            dispatcher->processEvents(flags);
    } else {
        QCoreApplication::processEvents(flags);
    }
}

void TVexFtpPrivate::WaitWhileBusy()
{
    // Blocks on the event loop between events instead of spinning: every
    // way out of Busy (ready, disconnect) is itself an event.
    QPointer<TVexFtp> alive(q);
    while (alive && busy)
        PumpOnce(true);
}
