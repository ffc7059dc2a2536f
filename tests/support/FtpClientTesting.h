#pragma once
// Small helpers shared by the client's protocol tests: the dialogue of a
// plain anonymous login as a scripted server plays it, and clients set up to
// talk to a test server without retries, keep-alive or listing cache.

#include "Ftp.h"
#include "FtpScript.h"

#include <QList>

class FtpEventRecorder;

class QTemporaryDir;
class ScriptedFtpServer;

namespace FtpTesting {

inline const QString Welcome = QStringLiteral("220 Scripted server ready");
inline const QString RootPwdReply = QStringLiteral("257 \"/\" is the current directory");

// Welcome, USER anonymous (331), PASS (230), SYST (UNIX), TYPE I (200), REST 100 (350),
// REST 0 (350) and PWD ("/"): what TVexFtp sends with its default properties.
FtpScript AnonymousLogin(const QString &welcome = Welcome);

// Server, Port, Retries 0, RetryInterval 0, NoopInterval 0 and Cache off.
void PointAt(TVexFtp &client, const ScriptedFtpServer &server);

// Starts server on script, points client at it (passive or active, TimeOut
// in seconds), logs in and clears recorder. True once logged in; false when
// the server does not start, or the login ends otherwise or not within
// waitMs.
bool LogInScripted(TVexFtp &client, ScriptedFtpServer &server, FtpEventRecorder &recorder, const FtpScript &script,
                   bool passive, int timeOutSeconds, int waitMs);

// After a failed test: the client's events, each cut to 200 characters, and
// the server's status, as warnings.
void WarnAfterFailure(const FtpEventRecorder &recorder, const ScriptedFtpServer &server);

// 127.0.0.1 and port, the anonymous user with a guest address, no retries,
// pauses or keep-alive, Cache off and the listing cache in cacheFolder.
void PrepareClient(TVexFtp &client, const QTemporaryDir &cacheFolder, quint16 port);

// A client that never retries, pauses or sends keep-alive NOOPs on its own,
// so that a test sees only the dialogue it causes; passive mode.
void ConfigureQuietClient(TVexFtp &client, const QString &host, quint16 port, const QString &user,
                          const QString &password);

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
