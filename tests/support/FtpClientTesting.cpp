#include "FtpClientTesting.h"
#include "ScriptedFtpServer.h"

#include <QFile>
#include <QRegularExpression>

#include <ctime>

namespace FtpTesting {

FtpScript AnonymousLogin(const QString &welcome)
{
    return FtpScript()
        .send(welcome)
        .expect(QStringLiteral("USER anonymous"), QStringLiteral("331 Guest login ok, send your e-mail address"))
        .expect(QLatin1String("PASS ") + TVexFtp::DefaultGuestPassword(), QStringLiteral("230 Guest login ok"))
        .expect(QStringLiteral("SYST"), QStringLiteral("215 UNIX Type: L8"))
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
