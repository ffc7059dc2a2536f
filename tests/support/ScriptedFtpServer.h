#pragma once
// ScriptedFtpServer: a fake FTP server on 127.0.0.1 that plays an FtpScript
// on each control connection and records what the client did.
//
//   ScriptedFtpServer server;
//   QVERIFY(server.Start(FtpScript()
//       .send("220 hi")
//       .expect("USER anonymous", "331 pw")
//       .expect("PASS x", "230 ok")
//       .expect("QUIT", "221 bye")
//       .expectClose()));
//   ... point the client at server.Host(), server.Port() ...
//   QTRY_VERIFY2(server.Finished(), qPrintable(server.Status()));
//   QCOMPARE(server.Mismatches(), QStringList());
//   QCOMPARE(server.ReceivedCommands().value(0), QStringLiteral("USER anonymous"));
//
// The server lives on the test's thread and works from its event loop: drive
// the client with QTRY_* or QSignalSpy::wait, never with blocking waitFor*
// calls on a socket, which would stop the server too.
//
// After its script, a connection answers each further command with the
// unscripted reply ("500 unscripted\r\n" unless changed), recorded as a
// mismatch, so that a client never waits forever.
//
// A client that closes the control connection while the script still has
// control steps to play (rather than at expectClose()) is a mismatch, and the
// rest of that script is abandoned.
//
// For "connection refused" cases: UnusedPort() is a port where nothing
// listens; StartRefusing() accepts and closes every connection at once.

#include "FtpScript.h"

#include <QByteArrayList>
#include <QObject>
#include <QStringList>
#include <memory>

class ScriptedFtpServer : public QObject
{
    Q_OBJECT
public:
    explicit ScriptedFtpServer(QObject *parent = nullptr);
    ~ScriptedFtpServer() override;

    // Every connection plays script.
    bool Start(const FtpScript &script);
    // Connection n plays scripts[n]; connections past the end play the last one.
    bool Start(const QList<FtpScript> &scripts);
    bool StartRefusing();
    void Stop();

    QString Host() const;   // "127.0.0.1"
    quint16 Port() const;
    QString ErrorString() const;
    // An empty reply answers nothing (the command is still a mismatch).
    void SetUnscriptedReply(const QByteArray &reply);

    // Every command line of every connection, in arrival order, without terminator.
    QStringList ReceivedCommands() const;
    // The raw control bytes from the client, terminators included.
    QByteArray ReceivedBytes() const;
    // One entry per completed dataReceive() step.
    QByteArrayList ReceivedData() const;
    // Divergences from the script, one readable text each; empty when all went as scripted.
    QStringList Mismatches() const;
    // At least one connection came, and each one has played its whole script.
    bool Finished() const;
    int ConnectionCount() const;
    bool ClientConnected() const;
    // Where each connection stands, plus the mismatches: for failure messages.
    QString Status() const;

    // A loopback port with nothing listening on it (just released by a listener).
    static quint16 UnusedPort();

signals:
    // A connection has played its whole script.
    void ScriptFinished();
    // A control connection has ended, whichever side closed it.
    void ClientDisconnected();

private:
    struct Private;
    std::unique_ptr<Private> d;
};
