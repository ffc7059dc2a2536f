// What a server sends on the control connection (and, in active mode, on the
// data connections the client asks for), in pieces of any size.
//
// The fuzzer plays the server itself, inside its own process: a listener on
// 127.0.0.1 that a real TVexFtp logs into. The client runs on this thread's
// event loop exactly as in the program; the server side uses plain blocking
// writes, so every piece is in the client's socket before the loop runs and
// the client reads it as one piece (or more, never fewer).
//
// Input:
//   byte 0  options: bits 0-2 proxy scheme (mod 6), bit 3 server type preset
//           to UNIX (else detected), bit 4 no user name (the client asks),
//           bit 5 an initial directory, bit 6 the server closes at the end
//           (else the owner calls Close(), as its "Stop" does), bit 7 ASCII
//           transfers
//   byte 1  first operation once logged in (low 4 bits), answer to "the file
//           exists" (bits 4-5: Overwrite, Resume, empty, skip), bit 6 the
//           download's local file exists already
//   byte 2  second operation, started from the first one's completion
//   then pieces: a length byte L and L bytes (fewer at the end of input).
//           L < 0x80: control bytes; L = 0: the server closes the control
//           connection. L >= 0x80: L - 0x80 bytes on the data connection
//           (connecting to the address of the client's last PORT first);
//           0x80: the server closes its data connection, or, when it has
//           none open, connects one (for an upload, where only the client
//           sends).
//
// After the last piece the client must end within bounds with the events a
// lost connection promises: ftpiDisconnected, OnFtpQuit once, then
// OnFtpReady, leaving it disconnected and idle. A downloaded file holds only
// bytes the server sent; an upload sends only bytes of the local file; every
// command line the client sends is one line.
//
// Passive mode is left out on purpose: its data connection goes to a port
// named by the input, which could be anyone's on this machine.

#include "Ftp.h"
#include "FtpCacheTesting.h"

#include <QByteArray>
#include <QByteArrayList>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTimer>

#include <arpa/inet.h>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr int OperationCount = 10;
constexpr qsizetype UploadSize = 5000;
const QByteArray LocalDownloadStart(40, 'L');

// In memory when the system offers it: listings are cached, downloads
// written, on every round.
QString TemporaryTemplate()
{
    const QFileInfo shm(QStringLiteral("/dev/shm"));
    const QString base = shm.isDir() && shm.isWritable() ? shm.filePath() : QDir::tempPath();
    return base + QStringLiteral("/velmar-fuzz-XXXXXX");
}

struct World {
    QCoreApplication *app = nullptr;
    QTemporaryDir root {TemporaryTemplate()};
    QString files;
    QString cache;
    QString uploadFile;
    QByteArray uploadBytes;
    int listenFd = -1;
    quint16 port = 0;
};

World &TheWorld()
{
    static World world;
    return world;
}

// VELMAR_FUZZ_TRACE=1 shows the dialogue, for reading a crash input.
bool Tracing()
{
    static const bool trace = qEnvironmentVariableIsSet("VELMAR_FUZZ_TRACE");
    return trace;
}

[[noreturn]] void Fail(const char *what)
{
    std::fprintf(stderr, "control reader: %s\n", what);
    std::abort();
}

int OpenListener(quint16 *port)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr *>(&address), length) != 0
        || ::listen(fd, 8) != 0 || ::getsockname(fd, reinterpret_cast<sockaddr *>(&address), &length) != 0)
        Fail("cannot listen on 127.0.0.1");
    *port = ntohs(address.sin_port);
    return fd;
}

// Every piece leaves at once: without this, Nagle's rule holds a small
// write back until the client acknowledges the previous one, which it
// delays, and the pieces would reach the client late and joined.
void SendAtOnce(int fd)
{
    const int on = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
}

int ConnectLoopback(quint16 port)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return -1;
    sockaddr_in address {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(port);
    if (::connect(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0) {
        ::close(fd);
        return -1;
    }
    SendAtOnce(fd);
    return fd;
}

void WriteAll(int fd, const QByteArray &bytes)
{
    qsizetype done = 0;
    while (fd >= 0 && done < bytes.size()) {
        const ssize_t n = ::send(fd, bytes.constData() + done, size_t(bytes.size() - done), MSG_NOSIGNAL);
        if (n <= 0)
            return; // the client has gone; the rest is lost, as on a real network
        done += n;
    }
}

// Everything the peer has sent so far, without waiting.
qsizetype Drain(int fd, QByteArray &into)
{
    qsizetype total = 0;
    char buffer[8192];
    while (fd >= 0) {
        const ssize_t n = ::recv(fd, buffer, sizeof buffer, MSG_DONTWAIT);
        if (n <= 0)
            break;
        into.append(buffer, n);
        total += n;
    }
    return total;
}

struct DataConnection {
    int fd = -1;
    QByteArray sent;
    QByteArray received;
};

// One client, one server, one input.
class Session
{
public:
    Session(const std::uint8_t *data, std::size_t size)
        : input(reinterpret_cast<const char *>(data), qsizetype(size))
    {
    }

    ~Session()
    {
        // Nothing of the client may call back into a half-destroyed session.
        client.OnFtpInfo = nullptr;
        client.OnFtpError = nullptr;
        client.OnFtpNeedInfo = nullptr;
        client.OnFtpQuit = nullptr;
        client.OnFtpReady = nullptr;
        client.OnLoggedIn = nullptr;
    }

    void Run();

private:
    void Configure();
    void StartOperation(int which);
    void Pump();
    void ReadClient();
    void ConnectData();
    void Finish();
    void Check();

    QByteArray input;
    TVexFtp client;
    int controlFd = -1;
    bool controlClosed = false;
    QByteArray fromClient;
    qsizetype scanned = 0; // fromClient is split into lines up to here
    quint16 portTarget = 0;
    std::vector<DataConnection> data;
    std::vector<qint64> uploadOffsets {0};
    bool pastLoginProbes = false;

    int operations[2] = {0, 0};
    int operationsStarted = 0;
    QString fileAnswer;
    bool downloadExists = false;
    QStringList downloads;

    quint64 activity = 0;
    int quits = 0;
    bool readyAfterQuit = false;
    bool disconnectedInfo = false;
};

void Session::Configure()
{
    World &world = TheWorld();
    const auto options = quint8(input.at(0));
    const auto second = quint8(input.at(1));
    operations[0] = (second & 0x0F) % OperationCount;
    operations[1] = (quint8(input.at(2)) & 0x0F) % OperationCount;
    static const QString answers[] = {FtpAnswer::Overwrite, FtpAnswer::Resume, QString(), FtpAnswer::Cancel};
    fileAnswer = answers[(second >> 4) & 3];
    downloadExists = second & 0x40;

    client.SetRetries(0);
    client.SetRetryInterval(0);
    client.SetNoopInterval(0);
    client.SetTimeOut(5);
    client.SetCache(false);
    client.SetPassive(false);
    client.SetTransferMode((options & 0x80) ? AsciiTransfer : BinaryTransfer);
    client.SetServerType((options & 0x08) ? ftpstUNIX : ftpstAutoDetect);
    client.SetUsername((options & 0x10) ? QString() : QStringLiteral("velmar"));
    client.SetPassword(QStringLiteral("s3cret"));
    if (options & 0x20)
        client.SetInitialDirectory(QStringLiteral("/pub"));
    const auto proxy = TVexFtpProxyType((options & 0x07) % 6);
    if (proxy == proxyNone) {
        client.SetServer(QStringLiteral("127.0.0.1"));
        client.SetPort(world.port);
    } else {
        // The target is only a name inside the proxy dialogue; nothing
        // resolves or contacts it.
        client.SetProxyType(proxy);
        client.SetProxyServer(QStringLiteral("127.0.0.1"));
        client.SetProxyPort(world.port);
        client.SetServer(QStringLiteral("target.invalid"));
        client.SetPort(2121);
    }

    static const bool trace = Tracing();
    client.OnFtpInfo = [this](TVexFtp *, FtpInfo info, const QString &text) {
        if (trace)
            std::fprintf(stderr, "info %d %s\n", int(info), text.toUtf8().constData());
        ++activity;
        if (info == ftpiDisconnected)
            disconnectedInfo = true;
    };
    client.OnFtpError = [this](TVexFtp *, FtpError error, const QString &text) {
        if (trace)
            std::fprintf(stderr, "error %d %s\n", int(error), text.toUtf8().constData());
        ++activity;
    };
    client.OnFtpNeedInfo = [this](TVexFtp *, TVexFtpInfoNeeded need, QString &value) {
        ++activity;
        switch (need) {
        case needUsername: value = QStringLiteral("asked"); break;
        case needPassword: value = QStringLiteral("pw"); break;
        case needAccount: value = QStringLiteral("acct"); break;
        case needFileExists: value = fileAnswer; break;
        default: break;
        }
    };
    client.OnFtpQuit = [this](TVexFtp *) {
        if (trace)
            std::fprintf(stderr, "OnFtpQuit\n");
        ++activity;
        ++quits;
        readyAfterQuit = false;
    };
    client.OnFtpReady = [this](TVexFtp *) {
        ++activity;
        if (quits > 0)
            readyAfterQuit = true;
        // The owner's next operation, once this one has fully ended.
        if (quits == 0 && operationsStarted == 1 && client.LoggedIn())
            QTimer::singleShot(0, &client, [this] { StartOperation(1); });
    };
    client.OnLoggedIn = [this](TVexFtp *) {
        ++activity;
        if (operationsStarted == 0)
            StartOperation(0);
    };
}

void Session::StartOperation(int which)
{
    if (operationsStarted != which)
        return;
    operationsStarted = which + 1;
    if (quits > 0 || !client.Connected())
        return;
    const World &world = TheWorld();
    switch (operations[which]) {
    case 0: break;
    case 1: client.ChangeDirectory(QStringLiteral("/pub/sub dir")); break;
    case 2: client.ChangeToParent(); break;
    case 3: client.CreateDirectory(QStringLiteral("nouveau")); break;
    case 4: client.Rename(QStringLiteral("a.txt"), QStringLiteral("b.txt")); break;
    case 5: client.SendCommand(QStringLiteral("SITE HELP")); break;
    case 6: client.ListDirectory(); break;
    case 7: {
        const QString local = world.files + QStringLiteral("/get%1.bin").arg(which);
        QFile::remove(local);
        if (downloadExists) {
            QFile file(local);
            if (!file.open(QIODevice::WriteOnly) || file.write(LocalDownloadStart) != LocalDownloadStart.size())
                Fail("cannot prepare the local file");
        }
        downloads << local;
        client.GetFile(QStringLiteral("remote.bin"), local);
        break;
    }
    case 8: client.PutFile(world.uploadFile, QStringLiteral("up.bin")); break;
    case 9: client.SendCommand(QString()); break;
    }
}

// Runs the client's event loop until it has nothing more to do for now.
void Session::Pump()
{
    int quietRounds = 0;
    for (int round = 0; round < 64 && quietRounds < 2; ++round) {
        const quint64 before = activity;
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents(QEventLoop::AllEvents);
        ReadClient();
        quietRounds = activity == before ? quietRounds + 1 : 0;
    }
}

void Session::ReadClient()
{
    if (Drain(controlFd, fromClient) > 0)
        ++activity;
    for (DataConnection &connection : data)
        if (Drain(connection.fd, connection.received) > 0)
            ++activity;
    // Command lines: each ends in CR LF and holds no other line break.
    for (;;) {
        const qsizetype from = scanned;
        const qsizetype lf = fromClient.indexOf('\n', from);
        if (lf < 0)
            break;
        scanned = lf + 1;
        const QByteArray line = fromClient.mid(from, lf - from + 1);
        if (!line.endsWith("\r\n") || line.indexOf('\r') != line.size() - 2)
            Fail("a command line holds a stray line break");
        const QString command = QString::fromUtf8(line.chopped(2));
        if (command.startsWith(QLatin1String("PORT "))) {
            const QStringList parts = command.mid(5).split(QLatin1Char(','));
            if (parts.size() != 6 || parts.mid(0, 4).join(QLatin1Char('.')) != QLatin1String("127.0.0.1"))
                Fail("PORT does not name the loopback address");
            portTarget = quint16(parts[4].toUInt() * 256 + parts[5].toUInt());
        } else if (command.startsWith(QLatin1String("REST ")) && pastLoginProbes) {
            // A resumed upload starts at its REST offset, and may start as
            // soon as the server connects, before REST is even answered.
            uploadOffsets.push_back(command.mid(5).toLongLong());
        } else if (command == QLatin1String("PWD") || command.startsWith(QLatin1String("CWD "))) {
            pastLoginProbes = true; // "REST 100" and "REST 0" only probe
        }
    }
}

void Session::ConnectData()
{
    if (!data.empty() && data.back().fd >= 0)
        return;
    if (portTarget == 0)
        return;
    DataConnection connection;
    connection.fd = ConnectLoopback(portTarget);
    portTarget = 0; // one connection per PORT
    if (connection.fd >= 0)
        data.push_back(connection);
}

void Session::Run()
{
    World &world = TheWorld();
    Configure();
    client.Login();
    pollfd waiting {world.listenFd, POLLIN, 0};
    if (::poll(&waiting, 1, 5000) != 1)
        Fail("the client did not connect");
    controlFd = ::accept4(world.listenFd, nullptr, nullptr, SOCK_CLOEXEC);
    if (controlFd < 0)
        Fail("accept failed");
    SendAtOnce(controlFd);
    Pump();

    qsizetype at = 3;
    while (at < input.size()) {
        const auto length = quint8(input.at(at++));
        const bool onData = length & 0x80;
        const qsizetype count = length & 0x7F;
        const QByteArray piece = input.mid(at, count);
        at += count;
        if (Tracing())
            std::fprintf(stderr, "server: %s piece of %d bytes\n", onData ? "data" : "control", int(count));
        if (!onData) {
            if (count == 0) {
                ::shutdown(controlFd, SHUT_RDWR);
                controlClosed = true;
            } else if (!controlClosed) {
                WriteAll(controlFd, piece);
            }
        } else if (count == 0) {
            if (!data.empty() && data.back().fd >= 0) {
                Drain(data.back().fd, data.back().received);
                ::close(data.back().fd);
                data.back().fd = -1;
            } else {
                ConnectData(); // an upload's connection, where the client speaks
            }
        } else {
            ConnectData();
            if (!data.empty() && data.back().fd >= 0) {
                WriteAll(data.back().fd, piece);
                data.back().sent += piece;
            }
        }
        Pump();
    }
    Finish();
    Check();
}

void Session::Finish()
{
    const auto options = quint8(input.at(0));
    if (options & 0x40) {
        ::shutdown(controlFd, SHUT_RDWR);
        for (DataConnection &connection : data)
            if (connection.fd >= 0)
                ::shutdown(connection.fd, SHUT_RDWR);
    } else if (quits == 0) {
        client.Close();
    }
    // Bounded: the client has every event it needs; a wait past this is a hang.
    QDeadlineTimer deadline(5000);
    while (!(quits > 0 && readyAfterQuit) && !deadline.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 50);
        ReadClient();
    }
    ReadClient();
    ::close(controlFd);
    for (DataConnection &connection : data) {
        Drain(connection.fd, connection.received);
        if (connection.fd >= 0)
            ::close(connection.fd);
        connection.fd = -1;
    }
}

bool IsPrefixOfSomeConnection(const QByteArray &content, const std::vector<DataConnection> &data)
{
    if (content.isEmpty())
        return true;
    for (const DataConnection &connection : data)
        if (connection.sent.startsWith(content))
            return true;
    return false;
}

void Session::Check()
{
    if (quits != 1)
        Fail(quits == 0 ? "the client never gave the connection up (no OnFtpQuit)" : "OnFtpQuit fired twice");
    if (!readyAfterQuit)
        Fail("no OnFtpReady after OnFtpQuit");
    if (!disconnectedInfo)
        Fail("no ftpiDisconnected before OnFtpQuit");
    if (client.Connected() || client.Busy() || client.LoggedIn())
        Fail("the client is left connected, busy or logged in");
    pollfd again {TheWorld().listenFd, POLLIN, 0};
    if (::poll(&again, 1, 0) != 0)
        Fail("the client connected again without being asked");

    for (const QString &local : downloads) {
        QFile file(local);
        if (!file.exists())
            continue;
        if (!file.open(QIODevice::ReadOnly))
            Fail("cannot read the downloaded file");
        const QByteArray content = file.readAll();
        const bool fresh = IsPrefixOfSomeConnection(content, data);
        const bool resumed = downloadExists && content.startsWith(LocalDownloadStart)
                             && IsPrefixOfSomeConnection(content.mid(LocalDownloadStart.size()), data);
        if (!fresh && !resumed)
            Fail("the downloaded file holds bytes the server did not send");
        file.remove();
    }
    const QByteArray &upload = TheWorld().uploadBytes;
    for (const DataConnection &connection : data) {
        if (connection.received.isEmpty())
            continue;
        bool fromFile = false;
        for (qint64 offset : uploadOffsets)
            if (upload.mid(offset, connection.received.size()) == connection.received)
                fromFile = true;
        if (!fromFile) {
            std::fprintf(stderr, "received %d bytes: %s\n", int(connection.received.size()),
                         connection.received.left(64).toHex().constData());
            Fail("the client sent data that is not the local file's");
        }
    }
    // Listings are cached whatever the Cache property says; nothing may be
    // written outside the cache folder.
    const QStringList top = QDir(TheWorld().root.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
    if (top.size() != 2)
        Fail("a file appeared outside the cache and download folders");
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    static int argc = 1;
    static char name[] = "fuzz_control_reader";
    static char *argv[] = {name, nullptr};
    World &world = TheWorld();
    world.app = new QCoreApplication(argc, argv);
    if (!world.root.isValid())
        Fail("no temporary folder");
    world.files = world.root.path() + QStringLiteral("/files");
    world.cache = world.root.path() + QStringLiteral("/cache/");
    QDir().mkpath(world.files);
    QDir().mkpath(world.cache);
    SetListCacheDirectoryForTesting(world.cache);
    world.uploadFile = world.root.path() + QStringLiteral("/files/upload.bin");
    for (qsizetype i = 0; i < UploadSize; ++i)
        world.uploadBytes.append(char((i * 7 + 3) % 251));
    QFile upload(world.uploadFile);
    if (!upload.open(QIODevice::WriteOnly) || upload.write(world.uploadBytes) != UploadSize)
        Fail("cannot write the upload file");
    world.listenFd = OpenListener(&world.port);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (size < 3)
        return 0;
    {
        Session session(data, size);
        session.Run();
    }
    // What the client posted to itself dies with it; anything else queued is
    // handled before the next input.
    QCoreApplication::processEvents();
    QDir cache(TheWorld().cache);
    for (const QString &name : cache.entryList(QDir::Files | QDir::Hidden))
        cache.remove(name);
    return 0;
}
