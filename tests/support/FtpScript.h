#pragma once
// FtpScript: the dialogue that ScriptedFtpServer plays on one control
// connection, built step by step:
//
//   FtpScript()
//       .send("220 hi")                          // "220 hi\r\n"
//       .expect("USER anonymous", "331 pw")      // wait for the line, then reply
//       .expect("PASS x", "230 ok")
//       .expectPasv()                            // real passive listener, 227 reply
//       .expect("LIST", "150 here it comes")
//       .dataSend("-rw-r--r-- 1 u g 3 Jan 1 2020 a\r\n")
//       .send("226 done")
//       .expect("QUIT", "221 bye")
//       .expectClose();
//
// Text given to send/expect replies gets "\r\n" appended unless it already
// ends with "\n" (so "230-a\r\n230 b" is a two-line reply and "220 lf\n" keeps
// its bare LF); the *Raw variants send the bytes exactly. Texts are UTF-8.
//
// Steps run in order. A command line from the client is consumed only by an
// expect step; lines that arrive early wait for it. An expect step that does
// not match records a mismatch and the script goes on (its reply is still
// sent), so one run reports every divergence.

#include <QByteArray>
#include <QList>
#include <QMetaType>
#include <QRegularExpression>
#include <QString>

struct FtpScriptStep
{
    enum Kind {
        Send,          // bytes (in two writes when splitAt >= 0)
        Expect,        // exact line
        ExpectPrefix,  // line starting with text
        ExpectMatch,   // line matching pattern as a whole
        ExpectPasv,    // "PASV", opens a passive listener, replies from template
        ExpectPort,    // "PORT h1,h2,h3,h4,p1,p2", remembers the loopback target
        ExpectClose,   // the client closes the control connection
        Delay,
        CloseConnection,
        DataConnect,   // establish the data connection now
        DataSend,      // send bytes on the data connection, then close it
        DataReceive,   // read the data connection until the client closes it
        DataClose,
        DataStall,     // establish the data connection and send nothing
        DataWrite,     // send bytes on the data connection and keep it open
        DataStopReading, // establish the data connection and read nothing more from it
    };
    Kind kind = Send;
    QByteArray bytes;         // Send/DataSend payload, expected text, PASV/PORT reply
    QRegularExpression pattern;
    int splitAt = -1;         // Send/DataSend: byte offset of the second write
    int delayMs = 0;          // Delay, and the gap between the two writes
    QString Describe() const;
};

class FtpScript
{
public:
    // Reply on the control connection.
    FtpScript &send(const QString &reply);
    FtpScript &sendRaw(const QByteArray &bytes);
    // The reply goes out as two TCP segments, bytes [0, atByte) then the rest
    // delayMs later, so that the client has to join two reads.
    FtpScript &sendSplit(const QString &reply, int atByte, int delayMs = 100);
    FtpScript &sendSplitRaw(const QByteArray &bytes, int atByte, int delayMs = 100);

    // Wait for the next command line (CR LF or LF terminated, compared
    // without its terminator), then send reply when one is given.
    FtpScript &expect(const QString &command, const QString &reply = {});
    FtpScript &expectPrefix(const QString &prefix, const QString &reply = {});
    // The whole line must match pattern (it is anchored).
    FtpScript &expectMatch(const QString &pattern, const QString &reply = {});
    // Wait for the client to close the control connection.
    FtpScript &expectClose();

    // Expects "PASV", opens a listener on 127.0.0.1 and replies with
    // replyTemplate, where {addr} becomes "127,0,0,1", {p1} and {p2} the
    // two bytes of the listener's port and {port} the port in decimal.
    FtpScript &expectPasv(const QString &replyTemplate = QStringLiteral("227 Entering Passive Mode ({addr},{p1},{p2})."));
    // Expects "PORT h1,h2,h3,h4,p1,p2" and replies. The server connects back
    // at the first data step (or dataConnect()). A target outside the
    // loopback network is never contacted: it is a mismatch and gets "500".
    FtpScript &expectPort(const QString &reply = QStringLiteral("200 PORT command successful."));

    FtpScript &delay(int ms);
    // The server closes the control connection (after pending bytes went out).
    FtpScript &closeConnection();

    // Data connection steps, after expectPasv()/expectPort(). Each waits for
    // the connection first: the client's connect (PASV) or the server's
    // connect back (PORT). A data connection serves one transfer: the next
    // one needs a new PASV or PORT.
    FtpScript &dataConnect();
    FtpScript &dataSend(const QByteArray &bytes);
    FtpScript &dataSendSplit(const QByteArray &bytes, int atByte, int delayMs = 100);
    // Keeps everything the client sends until it closes the connection;
    // ScriptedFtpServer::ReceivedData() holds one entry per dataReceive().
    FtpScript &dataReceive();
    FtpScript &dataClose();
    FtpScript &dataStall();
    // Sends bytes on the data connection and leaves it open: a transfer that
    // comes in pieces (with delay() between them), or that stops coming.
    FtpScript &dataWrite(const QByteArray &bytes);
    // From now on the server takes nothing more from the data connection:
    // what the client sends fills the socket buffers, then waits.
    FtpScript &dataStopReading();

    const QList<FtpScriptStep> &Steps() const;

private:
    FtpScript &add(FtpScriptStep step);
    QList<FtpScriptStep> steps;
};

// Scripts can be columns of data-driven tests.
Q_DECLARE_METATYPE(FtpScript)
