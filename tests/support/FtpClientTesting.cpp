// Helpers shared by the client's protocol tests (see FtpClientTesting.h).

#include "FtpClientTesting.h"
#include "FtpCacheTesting.h"
#include "FtpEventRecorder.h"
#include "ScriptedFtpServer.h"

#include <QDebug>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QRegularExpression>

#include <arpa/inet.h>
#include <ctime>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace FtpTesting {

FtpScript AnonymousLogin(const QString &welcome)
{
    return FtpScript()
        .send(welcome)
        .expect(QStringLiteral("USER anonymous"), QStringLiteral("331 Guest login ok, send your e-mail address"))
        .expect(QLatin1String("PASS ") + TVexFtp::DefaultGuestPassword(), QStringLiteral("230 Guest login ok"))
        .expect(QStringLiteral("SYST"), QStringLiteral("215 UNIX Type: L8"))
        .expect(QStringLiteral("TYPE I"), QStringLiteral("200 Type set to I"))
        .expect(QStringLiteral("REST 100"), QStringLiteral("350 Restarting at 100. Send STORE or RETRIEVE"))
        .expect(QStringLiteral("REST 0"), QStringLiteral("350 Restarting at 0. Send STORE or RETRIEVE"))
        .expect(QStringLiteral("PWD"), RootPwdReply);
}

void PointAt(TVexFtp &client, const ScriptedFtpServer &server)
{
    client.SetServer(server.Host());
    client.SetPort(server.Port());
    client.SetRetries(0);
    client.SetRetryInterval(0);
    client.SetNoopInterval(0);
    client.SetCache(false);
}

bool LogInScripted(TVexFtp &client, ScriptedFtpServer &server, FtpEventRecorder &recorder, const FtpScript &script,
                   bool passive, int timeOutSeconds, int waitMs)
{
    if (!server.Start(script))
        return false;
    PointAt(client, server);
    client.SetPassive(passive);
    client.SetTimeOut(timeOutSeconds);
    client.Login();
    if (!QTest::qWaitFor([&] { return client.LoggedIn() || recorder.Count(QStringLiteral("OnFtpQuit")) > 0; }, waitMs))
        return false;
    recorder.Clear();
    return client.LoggedIn();
}

void WarnAfterFailure(const FtpEventRecorder &recorder, const ScriptedFtpServer &server)
{
    QStringList events;
    for (const QString &event : recorder.Events())
        events << event.left(200);
    qWarning().noquote() << "client events:\n" << events.join(QLatin1Char('\n'));
    qWarning().noquote() << server.Status();
}

void PrepareClient(TVexFtp &client, const QTemporaryDir &cacheFolder, quint16 port)
{
    SetListCacheDirectoryForTesting(cacheFolder.path() + QLatin1Char('/'));
    client.SetServer(QStringLiteral("127.0.0.1"));
    client.SetPort(port);
    client.SetUsername(QStringLiteral("anonymous"));
    client.SetPassword(QStringLiteral("guest@example.org"));
    client.SetRetries(0);
    client.SetRetryInterval(0);
    client.SetNoopInterval(0);
    client.SetCache(false);
}

void ConfigureQuietClient(TVexFtp &client, const QString &host, quint16 port, const QString &user,
                          const QString &password)
{
    client.SetServer(host);
    client.SetPort(port);
    client.SetUsername(user);
    client.SetPassword(password);
    client.SetRetries(0);
    client.SetRetryInterval(0);
    client.SetNoopInterval(0);
    client.SetPassive(true);
}

RawLoopbackSocket::RawLoopbackSocket()
{
    fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
}

RawLoopbackSocket::~RawLoopbackSocket()
{
    for (int filler : fillers)
        ::close(filler);
    if (fd >= 0)
        ::close(fd);
}

bool RawLoopbackSocket::Bind()
{
    sockaddr_in a {};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr *>(&a), sizeof a) != 0)
        return false;
    socklen_t len = sizeof a;
    if (::getsockname(fd, reinterpret_cast<sockaddr *>(&a), &len) != 0)
        return false;
    port = ntohs(a.sin_port);
    return true;
}

bool RawLoopbackSocket::ListenWithFullQueue()
{
    if (::listen(fd, 0) != 0)
        return false;
    sockaddr_in a {};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = htons(port);
    const int filler = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (filler < 0)
        return false;
    fillers.append(filler);
    return ::connect(filler, reinterpret_cast<sockaddr *>(&a), sizeof a) == 0;
}

bool LocalhostResolvesFromHostsFile()
{
    QFile nsswitch(QStringLiteral("/etc/nsswitch.conf"));
    QFile hosts(QStringLiteral("/etc/hosts"));
    if (!nsswitch.open(QIODevice::ReadOnly) || !hosts.open(QIODevice::ReadOnly))
        return false;
    static const QRegularExpression filesFirst(QStringLiteral("^hosts:\\s+files\\b"),
                                               QRegularExpression::MultilineOption);
    static const QRegularExpression localhostLine(QStringLiteral("^127\\.\\S+(\\s+\\S+)*\\s+localhost(\\s|$)"),
                                                  QRegularExpression::MultilineOption);
    return filesFirst.match(QString::fromLatin1(nsswitch.readAll())).hasMatch()
        && localhostLine.match(QString::fromLatin1(hosts.readAll())).hasMatch();
}

double ProcessCpuMs()
{
    timespec now {};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return double(now.tv_sec) * 1000.0 + double(now.tv_nsec) / 1e6;
}

}
