#include "FTPSock.h"
#include "SocketErrors.h"

#include <QCoreApplication>
#include <QEvent>
#include <QHostAddress>
#include <QHostInfo>
#include <QSocketNotifier>
#include <QTimer>

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

constexpr int InvalidHandle = -1;
constexpr int ListenBacklog = 2;
constexpr int CountdownTickMs = 1000;
// Longest name the resolver accepts (RFC 1035); anything longer cannot exist,
// so it fails as an unknown host instead of being cut down to another name.
constexpr int MaxHostNameLength = 253;

// An owner-defined message waiting in the event queue, like a posted
// window message.
class PostedMessageEvent : public QEvent
{
public:
    PostedMessageEvent(int message, qintptr wparam, qintptr lparam)
        : QEvent(eventType()), message(message), wparam(wparam), lparam(lparam)
    {
    }

    static QEvent::Type eventType()
    {
        static const auto type = QEvent::Type(QEvent::registerEventType());
        return type;
    }

    const int message;
    const qintptr wparam;
    const qintptr lparam;
};

// Receives QHostInfo results. A slot named by string rather than a functor:
// QHostInfo loses the functor of a lookup that is aborted, and lookups are
// aborted whenever a socket closes during one.
class LookupReceiver : public QObject
{
    Q_OBJECT
public:
    std::function<void(const QHostInfo &)> onFinished;

public slots:
    void Finished(const QHostInfo &info)
    {
        if (auto call = onFinished)
            call(info);
    }
};

// A connect that fails at once on this system is still reported through
// FD_CONNECT, as WinSock reports every non-blocking connect outcome.
bool IsConnectOutcome(int err)
{
    return err == ECONNREFUSED || err == ETIMEDOUT || err == ENETUNREACH || err == EHOSTUNREACH
        || err == ECONNRESET;
}

void CallEvent(const TSocketEvent &hook, TVexSocket *sender)
{
    // A handler may rewire the hooks of the very socket that calls it, so the
    // call runs on a copy that stays alive until it returns.
    if (TSocketEvent call = hook)
        call(sender);
}

} // namespace

struct TVexSocket::Private
{
    enum class Mode { Idle, Connecting, ConnectFailed, Stream, Listening };

    explicit Private(TVexSocket *owner)
        : q(owner), readNotifier(QSocketNotifier::Read), writeNotifier(QSocketNotifier::Write)
    {
        address.sin_family = AF_INET;
        address.sin_port = 0;
        address.sin_addr.s_addr = 0;
        readNotifier.setEnabled(false);
        writeNotifier.setEnabled(false);
    }

    TVexSocket *q;
    int handle = InvalidHandle;
    // Changes whenever the handle is closed or replaced: a notification
    // handler compares it after each callback to learn whether the socket it
    // was working on still exists.
    quint64 generation = 0;
    Mode mode = Mode::Idle;
    bool closeSeen = false;
    sockaddr_in address {};
    bool established = false;
    quint16 lastError = 0;
    bool reportWouldBlock = false;
    int timeOut = TVexSocket::DefaultTimeOut;

    int countdown = 0;
    QTimer countdownTimer;

    bool lookupPending = false;
    int lookupId = -1;
    quint64 lookupSerial = 0;
    quint32 resolvedAddress = 0; // network byte order

    QString peerAddress;
    QString peerHostName;

    QSocketNotifier readNotifier;
    QSocketNotifier writeNotifier;
    LookupReceiver lookupReceiver;

    quint16 WithWouldBlockRule(quint16 code) const
    {
        return (code == WinSock::WouldBlock && !reportWouldBlock) ? WinSock::NoError : code;
    }

    void AdoptHandle(int fd)
    {
        handle = fd;
        ++generation;
        mode = Mode::Idle;
        closeSeen = false;
        readNotifier.setSocket(fd);
        writeNotifier.setSocket(fd);
        readNotifier.setEnabled(false);
        writeNotifier.setEnabled(false);
    }

    // Closes the handle without any callback; returns the errno of close().
    int DropHandle()
    {
        if (handle == InvalidHandle)
            return 0;
        readNotifier.setEnabled(false);
        writeNotifier.setEnabled(false);
        const int result = ::close(handle);
        const int err = result == 0 ? 0 : errno;
        handle = InvalidHandle;
        ++generation;
        mode = Mode::Idle;
        closeSeen = false;
        return err;
    }

    void ArmRead()
    {
        if (handle != InvalidHandle && (mode == Mode::Stream || mode == Mode::Listening) && !closeSeen)
            readNotifier.setEnabled(true);
    }

    void ArmWrite()
    {
        if (handle != InvalidHandle && mode == Mode::Stream && !closeSeen)
            writeNotifier.setEnabled(true);
    }

    void StopCountdown()
    {
        countdownTimer.stop();
        countdown = 0;
    }

    void CancelLookup()
    {
        if (!lookupPending)
            return;
        if (lookupId >= 0)
            QHostInfo::abortHostLookup(lookupId);
        lookupPending = false;
        lookupId = -1;
        ++lookupSerial;
    }

    void CountdownTick()
    {
        if (countdown <= 0)
            return;
        if (--countdown != 0)
            return;
        countdownTimer.stop();
        if (q->OnTimeOut)
            CallEvent(q->OnTimeOut, q);
        else
            q->Close();
    }

    void FinishLookup(quint64 serial, quint16 code, quint32 addressNetworkOrder)
    {
        if (!lookupPending || serial != lookupSerial)
            return; // cancelled, or superseded by a newer lookup
        lookupPending = false;
        lookupId = -1;
        StopCountdown();
        lastError = code;
        if (code == WinSock::NoError)
            resolvedAddress = addressNetworkOrder;
        q->Resolved();
    }

    void LookupDone(const QHostInfo &info)
    {
        if (!lookupPending || lookupId < 0 || info.lookupId() != lookupId)
            return; // the answer to a lookup that was cancelled
        const quint64 serial = lookupSerial;
        switch (info.error()) {
        case QHostInfo::NoError:
            for (const QHostAddress &a : info.addresses()) {
                bool isV4 = false;
                const quint32 v4 = a.toIPv4Address(&isV4);
                if (isV4) {
                    FinishLookup(serial, WinSock::NoError, htonl(v4));
                    return;
                }
            }
            FinishLookup(serial, WinSock::NoData, 0);
            return;
        case QHostInfo::HostNotFound:
            FinishLookup(serial, WinSock::HostNotFound, 0);
            return;
        default:
            FinishLookup(serial, WinSock::TryAgain, 0);
            return;
        }
    }

    void CompleteConnect(int err)
    {
        established = (err == 0);
        mode = established ? Mode::Stream : Mode::ConnectFailed;
        StopCountdown();
        lastError = WinSock::FromErrno(err);
        if (established) {
            // Data may arrive while OnConnect pumps events, and WinSock
            // follows a completed connect with one FD_WRITE.
            ArmRead();
            ArmWrite();
        }
        CallEvent(q->OnConnect, q);
    }

    void Readable()
    {
        if (!readNotifier.isEnabled() || handle == InvalidHandle)
            return;
        readNotifier.setEnabled(false);
        if (mode == Mode::Listening) {
            lastError = WinSock::NoError;
            CallEvent(q->OnAccept, q);
            return;
        }
        if (mode != Mode::Stream)
            return;
        char probe;
        const ssize_t n = ::recv(handle, &probe, 1, MSG_PEEK | MSG_DONTWAIT);
        if (n > 0) {
            const quint64 current = generation;
            lastError = WinSock::NoError;
            CallEvent(q->OnRead, q);
            // A countdown started for a socket that replaced this one
            // inside OnRead belongs to that socket and keeps running.
            if (current == generation)
                StopCountdown();
            return;
        }
        if (n == 0) {
            PeerClosed(WinSock::NoError);
            return;
        }
        const int err = errno;
        if (err == EAGAIN || err == EWOULDBLOCK || err == EINTR) {
            readNotifier.setEnabled(true); // nothing there after all
            return;
        }
        PeerClosed(WinSock::FromErrno(err));
    }

    void Writable()
    {
        if (!writeNotifier.isEnabled() || handle == InvalidHandle)
            return;
        writeNotifier.setEnabled(false);
        if (mode == Mode::Connecting) {
            int err = 0;
            socklen_t len = sizeof err;
            if (::getsockopt(handle, SOL_SOCKET, SO_ERROR, &err, &len) != 0)
                err = errno;
            CompleteConnect(err);
            return;
        }
        if (mode == Mode::Stream) {
            lastError = WinSock::NoError;
            CallEvent(q->OnWrite, q);
        }
    }

    // FD_CLOSE: what is still buffered is offered to OnRead, OnWrite gets a
    // last chance, then the socket goes away and OnClose follows.
    void PeerClosed(quint16 code)
    {
        closeSeen = true;
        readNotifier.setEnabled(false);
        writeNotifier.setEnabled(false);
        const quint64 current = generation;
        lastError = code;
        if (established) {
            CallEvent(q->OnRead, q);
            if (current != generation)
                return; // closed or replaced inside OnRead; its Close reported it
            CallEvent(q->OnWrite, q);
            if (current != generation)
                return;
            ::shutdown(handle, SHUT_RDWR);
        }
        DropHandle();
        established = false;
        // OnRead may have overwritten LastError while draining; OnClose sees
        // why the connection ended.
        lastError = code;
        CallEvent(q->OnClose, q);
    }
};

TVexSocket::TVexSocket(QObject *owner)
    : QObject(owner), d(std::make_unique<Private>(this))
{
    d->countdownTimer.setInterval(CountdownTickMs);
    connect(&d->countdownTimer, &QTimer::timeout, this, [this] { d->CountdownTick(); });
    connect(&d->readNotifier, &QSocketNotifier::activated, this, [this] { d->Readable(); });
    connect(&d->writeNotifier, &QSocketNotifier::activated, this, [this] { d->Writable(); });
    d->lookupReceiver.onFinished = [this](const QHostInfo &info) { d->LookupDone(info); };
}

TVexSocket::~TVexSocket()
{
    d->CancelLookup();
    d->StopCountdown();
    d->DropHandle();
}

void TVexSocket::CreateSocket()
{
    if (d->handle != InvalidHandle) {
        d->lastError = WinSock::NoError;
        return;
    }
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        d->lastError = WinSock::FromErrno(errno);
        return;
    }
    d->AdoptHandle(fd);
    d->lastError = WinSock::NoError;
}

void TVexSocket::ResetSocket()
{
    d->DropHandle();
    // A fresh socket is not connected to anything, whatever the old one was.
    d->established = false;
    CreateSocket();
}

void TVexSocket::ResolveHost(const QString &name)
{
    if (d->lookupPending)
        return;
    d->lookupPending = true;
    d->lookupId = -1;
    const quint64 serial = ++d->lookupSerial;
    d->lastError = WinSock::NoError;
    // Started before the lookup so that a completion can never be followed
    // by a countdown nobody stops.
    StartCountdown(d->timeOut);
    // Answers that need no resolver still arrive later, as any lookup's do.
    const auto finishLater = [this, serial](quint16 code, quint32 address) {
        QMetaObject::invokeMethod(
            this, [this, serial, code, address] { d->FinishLookup(serial, code, address); }, Qt::QueuedConnection);
    };
    if (name.size() > MaxHostNameLength) {
        finishLater(WinSock::HostNotFound, 0);
        return;
    }
    // A numeric address is its own answer. Handing it to QHostInfo would
    // make it ask a name server for the reverse name, which nobody wants.
    // inet_aton would also take "10.0.0.1 junk": blanks make a name, not a number.
    const QByteArray latin1 = name.toLatin1();
    const bool plain = std::none_of(name.cbegin(), name.cend(), [](QChar c) { return c.isSpace() || c.isNull(); });
    in_addr numeric {};
    if (plain && ::inet_aton(latin1.constData(), &numeric) != 0) {
        finishLater(WinSock::NoError, numeric.s_addr);
        return;
    }
    if (QHostAddress literal; literal.setAddress(name)) {
        finishLater(WinSock::NoData, 0); // an IPv6 literal: no IPv4 address to give
        return;
    }
    d->lookupId = QHostInfo::lookupHost(name, &d->lookupReceiver, SLOT(Finished(QHostInfo)));
}

void TVexSocket::UseResolvedAddress()
{
    d->address.sin_addr.s_addr = d->resolvedAddress;
}

void TVexSocket::SetAddress(const QString &dotted)
{
    const QByteArray text = dotted.toLatin1();
    // inet_addr stops at a zero byte; an embedded one makes the text invalid.
    d->address.sin_addr.s_addr = text.contains('\0') ? INADDR_NONE : ::inet_addr(text.constData());
}

void TVexSocket::SetPort(quint16 port)
{
    d->address.sin_port = htons(port);
}

QString TVexSocket::AddressText() const
{
    char text[INET_ADDRSTRLEN] = {};
    ::inet_ntop(AF_INET, &d->address.sin_addr, text, sizeof text);
    return QString::fromLatin1(text);
}

void TVexSocket::Connect()
{
    if (d->handle == InvalidHandle) {
        d->lastError = WinSock::NotSocket;
        return;
    }
    // WinSock refuses the wildcard address and port 0 as a destination;
    // Linux would quietly take 0.0.0.0 for this machine.
    if (d->address.sin_addr.s_addr == INADDR_ANY || d->address.sin_port == 0) {
        d->lastError = WinSock::AddressNotAvailable;
        return;
    }
    const int result = ::connect(d->handle, reinterpret_cast<const sockaddr *>(&d->address), sizeof d->address);
    const int err = result == 0 ? 0 : errno;
    if (result == 0 || err == EINPROGRESS || err == EINTR) {
        d->mode = Private::Mode::Connecting;
        d->writeNotifier.setEnabled(true);
        d->lastError = d->WithWouldBlockRule(WinSock::WouldBlock);
    } else if (IsConnectOutcome(err)) {
        d->mode = Private::Mode::Connecting;
        const quint64 current = d->generation;
        QMetaObject::invokeMethod(
            this,
            [this, current, err] {
                if (d->generation == current && d->mode == Private::Mode::Connecting)
                    d->CompleteConnect(err);
            },
            Qt::QueuedConnection);
        d->lastError = d->WithWouldBlockRule(WinSock::WouldBlock);
    } else {
        d->lastError = d->WithWouldBlockRule(WinSock::FromErrno(err));
    }
    if (d->lastError == WinSock::NoError)
        StartCountdown(d->timeOut);
}

void TVexSocket::Listen()
{
    if (d->handle == InvalidHandle) {
        d->lastError = WinSock::NotSocket;
        return;
    }
    const int on = 1;
    ::setsockopt(d->handle, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    if (::bind(d->handle, reinterpret_cast<const sockaddr *>(&d->address), sizeof d->address) != 0) {
        d->lastError = WinSock::FromErrno(errno);
        return;
    }
    if (::listen(d->handle, ListenBacklog) != 0) {
        d->lastError = WinSock::FromErrno(errno);
        return;
    }
    d->lastError = WinSock::NoError;
    d->mode = Private::Mode::Listening;
    d->ArmRead();
}

void TVexSocket::Accept(TVexSocket *listener)
{
    int fd = InvalidHandle;
    int err = EBADF;
    sockaddr_in peer {};
    if (listener && listener->d->handle != InvalidHandle) {
        socklen_t len = sizeof peer;
        fd = ::accept4(listener->d->handle, reinterpret_cast<sockaddr *>(&peer), &len, SOCK_NONBLOCK | SOCK_CLOEXEC);
        err = fd >= 0 ? 0 : errno;
        // Like WinSock, a call to accept asks for the next FD_ACCEPT.
        if (listener != this)
            listener->d->ArmRead();
    }
    // The handle is replaced by the result of accept; an older socket that
    // this object still held is closed rather than leaked.
    d->DropHandle();
    d->established = false;
    if (fd < 0) {
        d->lastError = WinSock::FromErrno(err);
        return;
    }
    d->AdoptHandle(fd);
    d->address = peer;
    d->lastError = WinSock::NoError;
    d->established = true;
    d->mode = Private::Mode::Stream;
    d->ArmRead();
    d->ArmWrite(); // the one FD_WRITE of a new connection
}

void TVexSocket::Close()
{
    d->CancelLookup();
    d->StopCountdown();
    if (d->handle == InvalidHandle)
        return;
    d->lastError = WinSock::FromErrno(d->DropHandle());
    d->established = false;
    CallEvent(OnClose, this);
}

int TVexSocket::Send(const char *buffer, int length)
{
    if (d->handle == InvalidHandle) {
        d->lastError = WinSock::NotSocket;
        return 0;
    }
    if (length < 0 || (length > 0 && !buffer)) {
        d->lastError = WinSock::Fault;
        return 0;
    }
    if (length == 0)
        return 0;
    const ssize_t n = ::send(d->handle, buffer, size_t(length), MSG_NOSIGNAL);
    if (n > 0) {
        d->lastError = WinSock::NoError;
        return int(n);
    }
    if (n == 0)
        return 0;
    const int err = errno;
    if (err == EAGAIN || err == EWOULDBLOCK)
        d->ArmWrite();
    d->lastError = d->WithWouldBlockRule(WinSock::FromErrno(err));
    return 0;
}

int TVexSocket::Receive(char *buffer, int size)
{
    if (d->handle == InvalidHandle) {
        d->lastError = WinSock::NotSocket;
        return 0;
    }
    // Like WinSock, any call to recv asks for the next FD_READ; the notifier
    // is level-triggered, so data left behind is announced again.
    d->ArmRead();
    if (size < 0 || (size > 0 && !buffer)) {
        d->lastError = WinSock::Fault;
        return 0;
    }
    if (size == 0)
        return 0;
    const ssize_t n = ::recv(d->handle, buffer, size_t(size), 0);
    if (n > 0) {
        d->lastError = WinSock::NoError;
        return int(n);
    }
    if (n == 0)
        return 0;
    d->lastError = d->WithWouldBlockRule(WinSock::FromErrno(errno));
    return 0;
}

QString TVexSocket::LocalAddress()
{
    if (d->handle == InvalidHandle)
        return QString();
    sockaddr_in local {};
    socklen_t len = sizeof local;
    if (::getsockname(d->handle, reinterpret_cast<sockaddr *>(&local), &len) != 0) {
        d->lastError = WinSock::FromErrno(errno);
        return QString();
    }
    d->lastError = WinSock::NoError;
    char text[INET_ADDRSTRLEN] = {};
    ::inet_ntop(AF_INET, &local.sin_addr, text, sizeof text);
    return QString::fromLatin1(text);
}

quint16 TVexSocket::LocalPort()
{
    if (d->handle == InvalidHandle)
        return 0;
    sockaddr_in local {};
    socklen_t len = sizeof local;
    if (::getsockname(d->handle, reinterpret_cast<sockaddr *>(&local), &len) != 0) {
        d->lastError = WinSock::FromErrno(errno);
        return 0;
    }
    d->lastError = WinSock::NoError;
    return ntohs(local.sin_port);
}

void TVexSocket::StartCountdown(int seconds)
{
    d->StopCountdown();
    if (seconds <= 0)
        return;
    d->countdown = seconds;
    d->countdownTimer.start();
}

void TVexSocket::PostMessage(int message, qintptr wparam, qintptr lparam)
{
    QCoreApplication::postEvent(this, new PostedMessageEvent(message, wparam, lparam));
}

bool TVexSocket::Established() const { return d->established; }
bool TVexSocket::HandleValid() const { return d->handle != InvalidHandle; }
quint16 TVexSocket::LastError() const { return d->lastError; }
void TVexSocket::SetLastError(quint16 code) { d->lastError = code; }
bool TVexSocket::ReportWouldBlock() const { return d->reportWouldBlock; }
void TVexSocket::SetReportWouldBlock(bool on) { d->reportWouldBlock = on; }
int TVexSocket::TimeOut() const { return d->timeOut; }
void TVexSocket::SetTimeOut(int seconds) { d->timeOut = seconds; }
bool TVexSocket::LookupPending() const { return d->lookupPending; }

QString TVexSocket::Address() const { return d->peerAddress; }
void TVexSocket::SetAddressField(const QString &address) { d->peerAddress = address; }
QString TVexSocket::HostName() const { return d->peerHostName; }
void TVexSocket::SetHostName(const QString &name) { d->peerHostName = name; }

void TVexSocket::Resolved()
{
    CallEvent(OnResolved, this);
}

bool TVexSocket::event(QEvent *e)
{
    if (e->type() == PostedMessageEvent::eventType()) {
        const auto *m = static_cast<PostedMessageEvent *>(e);
        if (m->message > SocketNotifyMessage && OnMessage) {
            TSocketMessageEvent call = OnMessage;
            call(this, m->message, m->wparam, m->lparam);
        }
        return true;
    }
    return QObject::event(e);
}

#include "FTPSock.moc"
