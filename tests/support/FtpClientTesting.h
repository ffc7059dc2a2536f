#pragma once
// Small helpers shared by the client's protocol tests: the dialogue of a
// plain anonymous login as a scripted server plays it, and a client set up to
// talk to a scripted server without retries, keep-alive or listing cache.

#include "Ftp.h"
#include "FtpScript.h"

#include <QList>

class ScriptedFtpServer;

namespace FtpTesting {

inline const QString Welcome = QStringLiteral("220 Scripted server ready");
inline const QString RootPwdReply = QStringLiteral("257 \"/\" is the current directory");

// Welcome, USER anonymous (331), PASS (230), SYST (UNIX), TYPE I (200), REST 100 (350),
// REST 0 (350) and PWD ("/"): what TVexFtp sends with its default properties.
FtpScript AnonymousLogin(const QString &welcome = Welcome);

// Server, Port, Retries 0, RetryInterval 0, NoopInterval 0 and Cache off.
void PointAt(TVexFtp &client, const ScriptedFtpServer &server);

// A loopback TCP socket held open by a test: bound only (every connect to
// its port is refused) or listening with a full queue (every further connect
// stays pending).
class RawLoopbackSocket
{
public:
    RawLoopbackSocket();
    ~RawLoopbackSocket();
    RawLoopbackSocket(const RawLoopbackSocket &) = delete;
    RawLoopbackSocket &operator=(const RawLoopbackSocket &) = delete;

    bool Bind();
    // A backlog of 0 lets one connection complete and sit in the queue; with
    // nobody accepting it, the system drops every later handshake.
    bool ListenWithFullQueue();

    quint16 port = 0;

private:
    int fd = -1;
    QList<int> fillers;
};

// Whether "localhost" is answered by /etc/hosts (127.x) before any name
// server is asked, so that resolving it contacts nothing.
bool LocalhostResolvesFromHostsFile();

// The CPU time this process has used so far, in milliseconds.
double ProcessCpuMs();

}
