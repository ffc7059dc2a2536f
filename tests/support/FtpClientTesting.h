#pragma once
// Small helpers shared by the client's protocol tests: the dialogue of a
// plain anonymous login as a scripted server plays it, and a client set up to
// talk to a scripted server without retries, keep-alive or listing cache.

#include "Ftp.h"
#include "FtpScript.h"

class ScriptedFtpServer;

namespace FtpTesting {

inline const QString Welcome = QStringLiteral("220 Scripted server ready");
inline const QString RootPwdReply = QStringLiteral("257 \"/\" is the current directory");

// Welcome, USER anonymous (331), PASS (230), SYST (UNIX), REST 100 (350),
// REST 0 (350) and PWD ("/"): what TVexFtp sends with its default properties.
FtpScript AnonymousLogin(const QString &welcome = Welcome);

// Server, Port, Retries 0, RetryInterval 0, NoopInterval 0 and Cache off.
void PointAt(TVexFtp &client, const ScriptedFtpServer &server);

// Whether "localhost" is answered by /etc/hosts (127.x) before any name
// server is asked, so that resolving it contacts nothing.
bool LocalhostResolvesFromHostsFile();

// The CPU time this process has used so far, in milliseconds.
double ProcessCpuMs();

}
