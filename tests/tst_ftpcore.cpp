// The client core against a scripted server: reply framing, keep-alive,
// refused operations, events and listeners, properties, connection failures,
// retries, and waits that leave the processor alone.
#include "Ftp.h"
#include "FtpCacheTesting.h"
#include "FtpClientTesting.h"
#include "FtpEventRecorder.h"
#include "ScriptedFtpServer.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/socket.h>

using namespace FtpTesting;

namespace {

constexpr int WaitMs = 5000;
// Longer than a one-second period (keep-alive, retry interval), so that
// anything it would have started has started.
constexpr int PastOneSecondMs = 1500;

const QString Masked = QStringLiteral("PASS (pas besoin de le savoir) :-P\r\n");

// Runs the event loop (sleeping between events) until stop() is called or
// the time is up.
class BlockingWait
{
public:
    void stop() { loop.quit(); }
    void run(int ms)
    {
        QTimer::singleShot(ms, &loop, &QEventLoop::quit);
        loop.exec();
    }

private:
    QEventLoop loop;
};

void RunOperation(TVexFtp &ftp, const QString &operation, const QString &localFile)
{
    if (operation == "ChangeDirectory")
        ftp.ChangeDirectory("/pub");
    else if (operation == "ChangeToParent")
        ftp.ChangeToParent();
    else if (operation == "CreateDirectory")
        ftp.CreateDirectory("new");
    else if (operation == "RemoveDirectories")
        ftp.RemoveDirectories({"old"});
    else if (operation == "DeleteFiles")
        ftp.DeleteFiles({"a.txt", "b.txt"});
    else if (operation == "Rename")
        ftp.Rename("a.txt", "b.txt");
    else if (operation == "GetFile")
        ftp.GetFile("a.txt", localFile);
    else if (operation == "GetFiles")
        ftp.GetFiles({"a.txt"}, {localFile});
    else if (operation == "PutFile")
        ftp.PutFile(localFile, "a.txt");
    else if (operation == "PutFiles")
        ftp.PutFiles({localFile}, {"a.txt"});
    else if (operation == "ListDirectory")
        ftp.ListDirectory();
    else if (operation == "SendCommand")
        ftp.SendCommand("STAT");
    else
        QFAIL(qPrintable("unknown operation " + operation));
}

void AddOperationRows()
{
    QTest::addColumn<QString>("operation");
    for (const char *op : {"ChangeDirectory", "ChangeToParent", "CreateDirectory", "RemoveDirectories",
                           "DeleteFiles", "Rename", "GetFile", "GetFiles", "PutFile", "PutFiles",
                           "ListDirectory", "SendCommand"})
        QTest::newRow(op) << QString::fromLatin1(op);
}

} // namespace

Q_DECLARE_METATYPE(FtpError)

class TstFtpCore : public QObject
{
    Q_OBJECT

    QTemporaryDir scratch;

private slots:
    void initTestCase()
    {
        QVERIFY(scratch.isValid());
        SetListCacheDirectoryForTesting(scratch.filePath("cache") + "/");
        QVERIFY(QDir().mkpath(scratch.filePath("cache")));
    }

    // ------------------------------------------------------------------
    // Reply framing: what the handler of a command receives.

    void replyFraming_data()
    {
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<int>("splitAt"); // second write from this byte; -1: one write
        QTest::addColumn<QStringList>("handlerLines");
        QTest::addColumn<QStringList>("replyLines"); // empty: not a multi-line reply

        QTest::newRow("one line") << QByteArray("211 status ok\r\n") << -1 << QStringList{"211 status ok"}
                                  << QStringList{};
        QTest::newRow("split inside the reply code") << QByteArray("211 status ok\r\n") << 2
                                                     << QStringList{"211 status ok"} << QStringList{};
        QTest::newRow("split between CR and LF") << QByteArray("211 status ok\r\n") << 14
                                                 << QStringList{"211 status ok"} << QStringList{};
        QTest::newRow("LF alone ends the line") << QByteArray("211 unix style\n") << -1
                                                << QStringList{"211 unix style"} << QStringList{};
        QTest::newRow("a CR inside the line stays") << QByteArray("211 a\rb\r\n") << -1
                                                    << QStringList{"211 a\rb"} << QStringList{};
        QTest::newRow("empty lines are ignored") << QByteArray("\r\n\n211 after blanks\r\n") << -1
                                                 << QStringList{"211 after blanks"} << QStringList{};
        QTest::newRow("three-line reply")
            << QByteArray("211-Features:\r\n211-MDTM\r\n211 End\r\n") << -1 << QStringList{"211 End"}
            << QStringList{"211-Features:", "211-MDTM", "211 End"};
        QTest::newRow("three-line reply split inside the last code")
            << QByteArray("211-Features:\r\n211-MDTM\r\n211 End\r\n") << 27 << QStringList{"211 End"}
            << QStringList{"211-Features:", "211-MDTM", "211 End"};
        QTest::newRow("three-line reply with LF alone")
            << QByteArray("211-Features:\n211-MDTM\n211 End\n") << -1 << QStringList{"211 End"}
            << QStringList{"211-Features:", "211-MDTM", "211 End"};
        QTest::newRow("continuation lines without a code")
            << QByteArray("214-The following commands are recognized.\r\n USER PASS\r\n214 Help OK.\r\n") << -1
            << QStringList{"214 Help OK."}
            << QStringList{"214-The following commands are recognized.", " USER PASS", "214 Help OK."};
        QTest::newRow("230 reply holding a 220 line")
            << QByteArray("230-Welcome\r\n220 this line does not end it\r\n230 Logged in.\r\n") << -1
            << QStringList{"230 Logged in."}
            << QStringList{"230-Welcome", "220 this line does not end it", "230 Logged in."};
        QTest::newRow("230 reply holding a code without a blank")
            << QByteArray("230-Welcome\r\n230\r\n230 Logged in.\r\n") << -1 << QStringList{"230 Logged in."}
            << QStringList{"230-Welcome", "230", "230 Logged in."};
        QTest::newRow("preliminary then final reply") << QByteArray("150 working\r\n211 done\r\n") << -1
                                                      << QStringList{"150 working", "211 done"} << QStringList{};
    }

    void replyFraming()
    {
        QFETCH(QByteArray, reply);
        QFETCH(int, splitAt);
        QFETCH(QStringList, handlerLines);
        QFETCH(QStringList, replyLines);

        FtpScript script = AnonymousLogin().expect("STAT");
        if (splitAt < 0)
            script.sendRaw(reply);
        else
            script.sendSplitRaw(reply, splitAt, 100);
        ScriptedFtpServer server;
        QVERIFY(server.Start(script));
        TVexFtp ftp;
        FtpEventRecorder rec(ftp);
        PointAt(ftp, server);
        ftp.Login();
        QTRY_VERIFY_WITH_TIMEOUT(ftp.LoggedIn(), WaitMs);
        QCOMPARE(ftp.ReplyLines(), QStringList()); // the login had no multi-line reply
        rec.Clear();

        QStringList seen;
        ftp.SendCommand("STAT", [&](const QString &line) {
            seen << line;
            if (!line.startsWith('1'))
                ftp.EndCommand();
        });
        QTRY_COMPARE_WITH_TIMEOUT(rec.Count("OnFtpReady"), 1, WaitMs);
        QCOMPARE(seen, handlerLines);
        QCOMPARE(ftp.LastReply(), handlerLines.last());
        QCOMPARE(rec.Count("ftpiMultiLineReply()"), replyLines.isEmpty() ? 0 : 1);
        QCOMPARE(ftp.ReplyLines(), replyLines);
        // ftpiReceived shows the text as read, in pieces when it came so.
        QCOMPARE(rec.Texts(ftpiReceived).join(QString()), QString::fromUtf8(reply));
        if (splitAt > 0)
            QVERIFY2(rec.Texts(ftpiReceived).count(QString()) >= 2, qPrintable(rec.RawEvents().join('\n')));
        QVERIFY2(server.Finished(), qPrintable(server.Status()));
        QCOMPARE(server.Mismatches(), QStringList());
    }

    // A line that never ends is cut at a bounded length instead of growing
    // with everything the server sends. Its first piece is the reply; the
    // pieces after it have no reply code and answer nothing.
    void endlessReplyLineIsCut()
    {
        const QByteArray flood = "211 " + QByteArray(200 * 1024 + 1000 - 4, 'A');
        ScriptedFtpServer server;
        QVERIFY(server.Start(AnonymousLogin().expect("STAT").sendRaw(flood).sendRaw("\r\n211 End\r\n")));
        TVexFtp ftp;
        FtpEventRecorder rec(ftp);
        PointAt(ftp, server);
        ftp.Login();
        QTRY_VERIFY_WITH_TIMEOUT(ftp.LoggedIn(), WaitMs);
        rec.Clear();
        QList<qsizetype> lengths;
        ftp.SendCommand("STAT", [&](const QString &line) {
            lengths << line.size();
            if (line.startsWith("211"))
                ftp.EndCommand();
        });
        QTRY_COMPARE_WITH_TIMEOUT(rec.Count("OnFtpReady"), 1, WaitMs);
        QCOMPARE(lengths, (QList<qsizetype>{65536}));
        QTRY_COMPARE_WITH_TIMEOUT(ftp.LastReply(), QString("211 End"), WaitMs);
    }

    // ------------------------------------------------------------------
    // Keep-alive

    void keepAlive_data()
    {
        QTest::addColumn<QString>("noopReply");
        QTest::addColumn<bool>("sentAgain");
        QTest::addColumn<bool>("reconnect");
        QTest::newRow("200: NOOP after every idle period") << "200 NOOP ok" << true << false;
        QTest::newRow("502: never again on this connection, again on the next")
            << "502 NOOP not implemented" << false << true;
        QTest::newRow("500: never again on this connection") << "500 'NOOP': command not understood" << false
                                                             << false;
    }

    void keepAlive()
    {
        QFETCH(QString, noopReply);
        QFETCH(bool, sentAgain);
        QFETCH(bool, reconnect);
        FtpScript first = AnonymousLogin().expect("NOOP", noopReply);
        if (sentAgain)
            first.expect("NOOP", noopReply);
        // A new connection asks NOOP again, whatever the old one answered.
        const FtpScript second = AnonymousLogin().expect("NOOP", "200 NOOP ok");
        ScriptedFtpServer server;
        QVERIFY(server.Start(QList<FtpScript>{first, second}));
        TVexFtp ftp;
        FtpEventRecorder rec(ftp);
        PointAt(ftp, server);
        ftp.SetNoopInterval(1);
        ftp.Login();
        QTRY_VERIFY_WITH_TIMEOUT(ftp.LoggedIn(), WaitMs);
        rec.Clear();

        QTRY_VERIFY2_WITH_TIMEOUT(server.Finished(), qPrintable(server.Status()), WaitMs);
        if (!sentAgain)
            QTest::qWait(PastOneSecondMs);
        QTRY_VERIFY_WITH_TIMEOUT(!ftp.Busy(), WaitMs);
        QCOMPARE(server.ReceivedCommands().count("NOOP"), sentAgain ? 2 : 1);
        QCOMPARE(rec.Texts(ftpiCommand).count("NOOP\r\n"), sentAgain ? 2 : 1);
        // A NOOP is no operation: neither busy nor ready is announced.
        QCOMPARE(rec.Count("OnFtpBusy"), 0);
        QCOMPARE(rec.Count("OnFtpReady"), 0);
        QVERIFY(ftp.LoggedIn());
        if (!reconnect) {
            ftp.SetNoopInterval(0);
            QCOMPARE(server.Mismatches(), QStringList());
            return;
        }

        ftp.SetServerType(ftpstAutoDetect); // the second script expects SYST again
        ftp.Login();
        QTRY_VERIFY2_WITH_TIMEOUT(server.ConnectionCount() == 2 && server.Finished(), qPrintable(server.Status()),
                                  WaitMs);
        ftp.SetNoopInterval(0);
        QCOMPARE(server.ReceivedCommands().count("NOOP"), sentAgain ? 3 : 2);
        QCOMPARE(server.Mismatches(), QStringList());
    }

    void keepAliveStoppedByZeroInterval_data()
    {
        QTest::addColumn<bool>("beforeLogin");
        QTest::newRow("0 before the login") << true;
        QTest::newRow("0 while logged in") << false;
    }

    void keepAliveStoppedByZeroInterval()
    {
        QFETCH(bool, beforeLogin);
        ScriptedFtpServer server;
        QVERIFY(server.Start(AnonymousLogin()));
        TVexFtp ftp;
        PointAt(ftp, server);
        ftp.SetNoopInterval(beforeLogin ? 0 : 1);
        ftp.Login();
        QTRY_VERIFY_WITH_TIMEOUT(ftp.LoggedIn(), WaitMs);
        ftp.SetNoopInterval(0);
        QCOMPARE(ftp.NoopInterval(), quint16(0));
        QTest::qWait(PastOneSecondMs);
        QVERIFY(!server.ReceivedCommands().contains("NOOP"));
        QCOMPARE(server.Mismatches(), QStringList());
    }

    // ------------------------------------------------------------------
    // Operations refused

    void refusedWhileDisconnected_data() { AddOperationRows(); }

    void refusedWhileDisconnected()
    {
        QFETCH(QString, operation);
        const QString local = scratch.filePath("local.txt");
        QFile file(local);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("local");
        file.close();

        TVexFtp ftp;
        FtpEventRecorder rec(ftp);
        ftp.SetCache(false);
        RunOperation(ftp, operation, local);
        QTest::qWait(200); // anything posted would have come by now
        QCOMPARE(rec.Events(), QStringList{"ftpiDisconnected(Non connecté au serveur)"});
        QVERIFY(!ftp.Busy());
    }

    void refusedWhileBusy_data() { AddOperationRows(); }

    void refusedWhileBusy()
    {
        QFETCH(QString, operation);
        const QString local = scratch.filePath("local.txt");
        QFile file(local);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("local");
        file.close();

        ScriptedFtpServer server;
        QVERIFY(server.Start(AnonymousLogin().expect("CWD /slow").delay(150).send("250 \"/slow\" is current")));
        TVexFtp ftp;
        FtpEventRecorder rec(ftp);
        PointAt(ftp, server);
        ftp.Login();
        QTRY_VERIFY_WITH_TIMEOUT(ftp.LoggedIn(), WaitMs);
        rec.Clear();

        ftp.ChangeDirectory("/slow");
        QVERIFY(ftp.Busy());
        RunOperation(ftp, operation, local);
        QTRY_COMPARE_WITH_TIMEOUT(rec.Count("OnDirectoryChanged"), 1, WaitMs);
        QTest::qWait(50);
        QCOMPARE(rec.Events(), (QStringList{"OnFtpBusy", "ftpiCommand(CWD /slow\r\n)",
                                            "ftpiBusy(Le composant est occupé)",
                                            "ftpiReceived(250 \"/slow\" is current\r\n)", "OnFtpReady",
                                            "OnDirectoryChanged"}));
        QCOMPARE(ftp.CurrentDirectory(), QString("/slow"));
        QVERIFY(server.Finished());
        QCOMPARE(server.Mismatches(), QStringList());
    }

    void operationFromCompletionEvent()
    {
        ScriptedFtpServer server;
        QVERIFY(server.Start(AnonymousLogin()
                                 .expect("CWD /pub", "250 \"/pub\" is the current directory")
                                 .expect("MKD new", "257 \"/pub/new\" created")));
        TVexFtp ftp;
        FtpEventRecorder rec(ftp);
        PointAt(ftp, server);
        rec.After = [&](const QString &event) {
            if (event == "OnLoggedIn")
                ftp.ChangeDirectory("/pub");
            else if (event == "OnDirectoryChanged")
                ftp.CreateDirectory("new");
        };
        ftp.Login();
        QTRY_COMPARE_WITH_TIMEOUT(rec.Count("OnDirectoryCreated"), 1, WaitMs);
        QTest::qWait(100);
        QCOMPARE(rec.EventsFrom("OnFtpReady"),
                 (QStringList{"OnFtpReady", "OnLoggedIn", "OnFtpBusy", "ftpiCommand(CWD /pub\r\n)",
                              "ftpiReceived(250 \"/pub\" is the current directory\r\n)", "OnFtpReady",
                              "OnDirectoryChanged", "OnFtpBusy", "ftpiCommand(MKD new\r\n)",
                              "ftpiReceived(257 \"/pub/new\" created\r\n)", "OnFtpReady", "OnDirectoryCreated"}));
        QCOMPARE(ftp.CurrentDirectory(), QString("/pub"));
        QCOMPARE(server.Mismatches(), QStringList());
    }

    // In synchronous mode an operation started from a completion event
    // returns once its own completion has been raised.
    void synchronousOperationFromCompletionEvent()
    {
        ScriptedFtpServer server;
        QVERIFY(server.Start(AnonymousLogin().expect("CWD /pub", "250 \"/pub\" is current")));
        TVexFtp ftp;
        FtpEventRecorder rec(ftp);
        PointAt(ftp, server);
        ftp.SetAsynchronous(false);
        bool returned = false;
        rec.After = [&](const QString &event) {
            if (event == "OnLoggedIn") {
                ftp.ChangeDirectory("/pub");
                returned = true;
                QVERIFY(!ftp.Busy());
                QCOMPARE(rec.Events().last(), QString("OnDirectoryChanged"));
            }
        };
        ftp.Login();
        QTRY_VERIFY_WITH_TIMEOUT(returned, WaitMs);
        QCOMPARE(ftp.CurrentDirectory(), QString("/pub"));
        QCOMPARE(rec.EventsFrom("OnFtpReady"),
                 (QStringList{"OnFtpReady", "OnLoggedIn", "OnFtpBusy", "ftpiCommand(CWD /pub\r\n)",
                              "ftpiReceived(250 \"/pub\" is current\r\n)", "OnFtpReady", "OnDirectoryChanged"}));
    }

    // A synchronous operation whose connection drops returns too.
    void synchronousWaitEndsWithTheConnection()
    {
        ScriptedFtpServer server;
        QVERIFY(server.Start(AnonymousLogin().expect("CWD /pub").closeConnection()));
        TVexFtp ftp;
        FtpEventRecorder rec(ftp);
        PointAt(ftp, server);
        ftp.Login();
        QTRY_VERIFY_WITH_TIMEOUT(ftp.LoggedIn(), WaitMs);
        ftp.SetAsynchronous(false);
        rec.Clear();
        ftp.ChangeDirectory("/pub");
        QVERIFY(!ftp.Busy());
        QVERIFY(!ftp.Connected());
        QTRY_COMPARE_WITH_TIMEOUT(rec.Count("OnFtpReady"), 1, WaitMs);
        QCOMPARE(rec.Events(), (QStringList{"OnFtpBusy", "ftpiCommand(CWD /pub\r\n)",
                                            "ftpiRetriesExhausted(Retry Finished)", "ftpiDisconnected(Déconnecté)",
                                            "OnFtpQuit", "OnFtpReady"}));
    }

    void connectionClosedWhileLoggedIn_data()
    {
        QTest::addColumn<bool>("byServer");
        QTest::newRow("by the server, after a last reply") << true;
        QTest::newRow("by the owner") << false;
    }

    void connectionClosedWhileLoggedIn()
    {
        QFETCH(bool, byServer);
        FtpScript script = AnonymousLogin();
        if (byServer)
            script.delay(100).send("421 Idle time-out").closeConnection();
        else
            script.expectClose();
        ScriptedFtpServer server;
        QVERIFY(server.Start(script));
        TVexFtp ftp;
        FtpEventRecorder rec(ftp);
        PointAt(ftp, server);
        ftp.SetRetries(3); // attempts left, but a logged-in connection is not retried
        ftp.Login();
        QTRY_VERIFY_WITH_TIMEOUT(ftp.LoggedIn(), WaitMs);
        rec.Clear();
        if (!byServer)
            ftp.Close();
        QTRY_COMPARE_WITH_TIMEOUT(rec.Count("OnFtpReady"), 1, WaitMs);
        QTest::qWait(100);
        QStringList expected{"ftpiDisconnected(Déconnecté)", "OnFtpQuit", "OnFtpReady"};
        if (byServer)
            expected.prepend("ftpiReceived(421 Idle time-out\r\n)");
        QCOMPARE(rec.Events(), expected);
        QVERIFY(!ftp.LoggedIn());
        QVERIFY(!ftp.Connected());
        QCOMPARE(server.ConnectionCount(), 1);
        QTRY_VERIFY2_WITH_TIMEOUT(server.Finished(), qPrintable(server.Status()), WaitMs);
        QCOMPARE(server.Mismatches(), QStringList());
    }

    // A Login on an open connection abandons it without close processing.
    void loginWhileLoggedIn()
    {
        ScriptedFtpServer server;
        QVERIFY(server.Start(AnonymousLogin()));
        TVexFtp ftp;
        FtpEventRecorder rec(ftp);
        PointAt(ftp, server);
        ftp.Login();
        QTRY_VERIFY_WITH_TIMEOUT(ftp.LoggedIn(), WaitMs);
        rec.Clear();
        ftp.SetServerType(ftpstAutoDetect);
        ftp.Login();
        QVERIFY(!ftp.LoggedIn());
        QTRY_COMPARE_WITH_TIMEOUT(rec.Count("OnLoggedIn"), 1, WaitMs);
        QCOMPARE(rec.Events().first(), QString("ftpiConnected(127.0.0.1)"));
        QCOMPARE(rec.CountPrefix("ftpiDisconnected"), 0);
        QCOMPARE(rec.Count("OnFtpQuit"), 0);
        QCOMPARE(server.ConnectionCount(), 2);
        QTRY_VERIFY_WITH_TIMEOUT(!server.ClientConnected() || server.Finished(), WaitMs);
        QCOMPARE(server.Mismatches(), QStringList());
    }

    // ------------------------------------------------------------------
    // Listener table

    void listenerTable_data()
    {
        QTest::addColumn<QString>("group");
        QTest::addColumn<bool>("withHook");
        for (const char *group : {"info", "error", "notify"}) {
            QTest::addRow("%s, hook assigned", group) << QString::fromLatin1(group) << true;
            QTest::addRow("%s, hook unassigned", group) << QString::fromLatin1(group) << false;
        }
    }

    void listenerTable()
    {
        QFETCH(QString, group);
        QFETCH(bool, withHook);
        TVexFtp ftp;
        QStringList calls;

        // Each listener writes its name; the text tells which event it saw.
        const auto add = [&](const QString &name) -> int {
            if (group == "info")
                return ftp.AddInfoListener([&calls, name](TVexFtp *, FtpInfo info, const QString &) {
                    if (info == ftpiDisconnected)
                        calls << name;
                });
            if (group == "error")
                return ftp.AddErrorListener([&calls, name](TVexFtp *, FtpError error, const QString &) {
                    if (error == ftpeNoServer)
                        calls << name;
                });
            return ftp.AddNotifyListener(nkFtpReady, [&calls, name](TVexFtp *) { calls << name; });
        };
        const auto remove = [&](int slot) {
            if (group == "info")
                ftp.RemoveInfoListener(slot);
            else if (group == "error")
                ftp.RemoveErrorListener(slot);
            else
                ftp.RemoveNotifyListener(nkFtpReady, slot);
        };
        if (withHook && group == "info")
            ftp.OnFtpInfo = [&](TVexFtp *, FtpInfo info, const QString &) {
                if (info == ftpiDisconnected)
                    calls << "hook";
            };
        else if (withHook && group == "error")
            ftp.OnFtpError = [&](TVexFtp *, FtpError error, const QString &) {
                if (error == ftpeNoServer)
                    calls << "hook";
            };
        else if (withHook)
            ftp.OnFtpReady = [&](TVexFtp *) { calls << "hook"; };

        QCOMPARE(add("L1"), 1);
        QCOMPARE(add("L2"), 2);
        QCOMPARE(add("L3"), 3);
        QCOMPARE(add("L4"), 4);
        QCOMPARE(add("L5"), -1); // full: nothing changes
        remove(2);
        remove(0);  // no such slot
        remove(5);  // no such slot
        remove(-1); // no such slot
        QCOMPARE(add("L2b"), 2);
        QCOMPARE(add("L6"), -1);

        // Trigger the event of the group without any network.
        if (group == "info") {
            ftp.ChangeToParent(); // disconnected: ftpiDisconnected
        } else {
            ftp.SetServer(QString()); // needServer unanswered: ftpeNoServer, then OnFtpReady
            ftp.Login();
        }
        QTRY_COMPARE_WITH_TIMEOUT(calls.size(), withHook ? 5 : 4, WaitMs);
        QTest::qWait(50);
        QStringList expected{"L1", "L2b", "L3", "L4"};
        if (withHook)
            expected.prepend("hook");
        QCOMPARE(calls, expected);
    }

    void listenerRegistrationRefusals()
    {
        TVexFtp ftp;
        // Unassigned callbacks and kinds outside the table get no slot.
        QCOMPARE(ftp.AddInfoListener(nullptr), -1);
        QCOMPARE(ftp.AddErrorListener(nullptr), -1);
        QCOMPARE(ftp.AddNotifyListener(nkFtpQuit, nullptr), -1);
        const TNotifyEvent listener = [](TVexFtp *) {};
        QCOMPARE(ftp.AddNotifyListener(TVexFtpNotifyKind(0), listener), -1);
        QCOMPARE(ftp.AddNotifyListener(TVexFtpNotifyKind(13), listener), -1);
        ftp.RemoveNotifyListener(TVexFtpNotifyKind(0), 1);
        ftp.RemoveNotifyListener(TVexFtpNotifyKind(99), 1);
        // Each kind has its own four slots; one callback may take two of them.
        QCOMPARE(ftp.AddNotifyListener(nkFtpQuit, listener), 1);
        QCOMPARE(ftp.AddNotifyListener(nkFtpQuit, listener), 2);
        QCOMPARE(ftp.AddNotifyListener(nkLoggedIn, listener), 1);
        QCOMPARE(ftp.AddNotifyListener(nkFtpBusy, listener), 1);
        QCOMPARE(ftp.AddNotifyListener(nkDirectoryChanged, listener), 1);
    }

    // ------------------------------------------------------------------
    // Texts of events

    void passMasking_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<QString>("shown");
        QTest::newRow("PASS and a password") << "PASS s3cret" << Masked;
        QTest::newRow("PASS and a blank alone") << "PASS " << Masked;
        QTest::newRow("PASS, a blank and more blanks") << "PASS  two words" << Masked;
        QTest::newRow("lower case is masked") << "pass s3cret" << Masked;
        QTest::newRow("mixed case is masked") << "Pass s3cret" << Masked;
        QTest::newRow("PASS without a blank is shown") << "PASS" << "PASS\r\n";
        QTest::newRow("a longer word is shown") << "PASSWORD x" << "PASSWORD x\r\n";
        QTest::newRow("ACCT is shown") << "ACCT billing" << "ACCT billing\r\n";
    }

    void passMasking()
    {
        QFETCH(QString, command);
        QFETCH(QString, shown);
        ScriptedFtpServer server;
        QVERIFY(server.Start(AnonymousLogin().expect(command, "200 ok")));
        TVexFtp ftp;
        FtpEventRecorder rec(ftp);
        PointAt(ftp, server);
        ftp.Login();
        QTRY_VERIFY_WITH_TIMEOUT(ftp.LoggedIn(), WaitMs);
        // The login's own PASS line never shows the password.
        QVERIFY(rec.Texts(ftpiCommand).contains(Masked));
        QVERIFY(!rec.RawEvents().join('\n').contains(TVexFtp::DefaultGuestPassword()));
        rec.Clear();

        ftp.SendCommand(command);
        QTRY_COMPARE_WITH_TIMEOUT(rec.Count("OnFtpReady"), 1, WaitMs);
        QCOMPARE(rec.Texts(ftpiCommand), QStringList{shown});
        QCOMPARE(server.ReceivedCommands().last(), command); // sent as given
        QCOMPARE(server.Mismatches(), QStringList());
    }

    void pendingErrorTextCarriedOnce()
    {
        ScriptedFtpServer server;
        QVERIFY(server.Start(AnonymousLogin()
                                 .expect("CWD /nope", "550 /nope: No such file or directory")
                                 .expect("CWD /x", "250 CWD command successful")
                                 .expect("PWD", "550 PWD refused")));
        TVexFtp ftp;
        FtpEventRecorder rec(ftp);
        PointAt(ftp, server);
        ftp.Login();
        QTRY_VERIFY_WITH_TIMEOUT(ftp.LoggedIn(), WaitMs);
        ftp.ChangeDirectory("/nope");
        QTRY_COMPARE_WITH_TIMEOUT(rec.Count("OnDirectoryChanged"), 1, WaitMs);
        ftp.ChangeDirectory("/x"); // no quoted path: PWD follows, and fails
        QTRY_COMPARE_WITH_TIMEOUT(rec.Count("OnDirectoryChanged"), 2, WaitMs);
        ftp.ChangeDirectory("bad\r\nname"); // refused before anything is sent
        QTRY_COMPARE_WITH_TIMEOUT(rec.Count("OnDirectoryChanged"), 3, WaitMs);
        QCOMPARE(rec.Errors(), (QList<FtpError>{ftpeAccessDenied, ftpeCommandFailed, ftpeBadRemoteName}));
        // Each error says what failed, nothing of the one before.
        QCOMPARE(rec.ErrorTexts(), (QStringList{"Accès refusé ou fichier non trouvé",
                                                "Commande « PWD » refusée : 550 PWD refused",
                                                "Nom refusé, il contient un saut de ligne : « bad\r\nname »"}));
        QCOMPARE(server.Mismatches(), QStringList());
    }

    // ------------------------------------------------------------------
    // Properties

    void defaults()
    {
        TVexFtp ftp;
        QCOMPARE(ftp.Server(), QString());
        QCOMPARE(ftp.Port(), quint16(21));
        QCOMPARE(ftp.TimeOut(), 20);
        QCOMPARE(ftp.Username(), QString("anonymous"));
        QVERIFY(ftp.Password().contains('@'));
        QCOMPARE(ftp.Account(), QString());
        QCOMPARE(ftp.ProxyServer(), QString());
        QCOMPARE(ftp.ProxyPort(), 21);
        QCOMPARE(ftp.ProxyType(), proxyNone);
        QVERIFY(!ftp.Passive());
        QCOMPARE(ftp.TransferMode(), BinaryTransfer);
        QCOMPARE(ftp.ServerType(), ftpstAutoDetect);
        QCOMPARE(ftp.InitialDirectory(), QString());
        QVERIFY(ftp.Cache());
        QCOMPARE(ftp.CacheExpire(), 7);
        QCOMPARE(ftp.Retries(), 3);
        QCOMPARE(ftp.RetryInterval(), quint16(15));
        QCOMPARE(ftp.NoopInterval(), quint16(30));
        QVERIFY(ftp.Asynchronous());
        QVERIFY(!ftp.MultiThreaded());
        QCOMPARE(ftp.Version(), QString("Vex FTP 0.4.7"));
        QVERIFY(!ftp.Connected());
        QVERIFY(!ftp.LoggedIn());
        QVERIFY(!ftp.Busy());
    }

    void serverSetter_data()
    {
        QTest::addColumn<QString>("before");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("server");
        QTest::addColumn<QString>("hostName");
        QTest::addColumn<QString>("address");
        QTest::newRow("host name with blanks") << "" << "  ftp.example.org \t" << "ftp.example.org"
                                               << "ftp.example.org" << "";
        QTest::newRow("dotted address") << "ftp.example.org" << "127.0.0.1" << "127.0.0.1" << "" << "127.0.0.1";
        QTest::newRow("dotted address with blanks") << "" << " 10.0.0.1  " << "10.0.0.1" << "" << "10.0.0.1";
        QTest::newRow("a name beginning with a digit counts as an address")
            << "ftp.example.org" << "3com.example" << "3com.example" << "" << "3com.example";
        QTest::newRow("a host name after an address") << "127.0.0.1" << "localhost" << "localhost" << "localhost"
                                                      << "";
        QTest::newRow("blanks alone keep the last fields") << "ftp.example.org" << "   " << "" << "ftp.example.org"
                                                           << "";
    }

    void serverSetter()
    {
        QFETCH(QString, before);
        QFETCH(QString, value);
        TVexFtp ftp;
        ftp.SetServer(before);
        ftp.SetServer(value);
        QTEST(ftp.Server(), "server");
        QTEST(ftp.HostName(), "hostName");
        QTEST(ftp.Address(), "address");
    }

    void noopIntervalInSeconds_data()
    {
        QTest::addColumn<quint16>("seconds");
        QTest::newRow("0") << quint16(0);
        QTest::newRow("1") << quint16(1);
        QTest::newRow("45") << quint16(45);
        QTest::newRow("largest") << quint16(65535);
    }

    void noopIntervalInSeconds()
    {
        QFETCH(quint16, seconds);
        TVexFtp ftp;
        ftp.SetNoopInterval(seconds);
        QCOMPARE(ftp.NoopInterval(), seconds);
    }

    void versionIsReadOnly()
    {
        TVexFtp ftp;
        ftp.SetVersion("9.9");
        QCOMPARE(ftp.Version(), QString("Vex FTP 0.4.7"));
    }

    void asynchronousIgnoredWhileBusy()
    {
        ScriptedFtpServer server;
        QVERIFY(server.Start(AnonymousLogin().expect("CWD /slow").delay(200).send("250 \"/slow\" ok")));
        TVexFtp ftp;
        FtpEventRecorder rec(ftp);
        PointAt(ftp, server);
        ftp.Login();
        QTRY_VERIFY_WITH_TIMEOUT(ftp.LoggedIn(), WaitMs);
        ftp.ChangeDirectory("/slow");
        QVERIFY(ftp.Busy());
        ftp.SetAsynchronous(false);
        QVERIFY(ftp.Asynchronous());
        QTRY_COMPARE_WITH_TIMEOUT(rec.Count("OnDirectoryChanged"), 1, WaitMs);
        ftp.SetAsynchronous(false);
        QVERIFY(!ftp.Asynchronous());
        ftp.SetAsynchronous(true);
        QVERIFY(ftp.Asynchronous());
    }

    // ------------------------------------------------------------------
    // Connection failures

    void connectionRefused()
    {
        RawLoopbackSocket bound; // bound, never listening: every connect is refused
        QVERIFY(bound.Bind());
        TVexFtp ftp;
        FtpEventRecorder rec(ftp);
        ftp.SetServer("127.0.0.1");
        ftp.SetPort(bound.port);
        ftp.SetRetries(3);
        ftp.SetRetryInterval(0);
        ftp.SetNoopInterval(0);
        ftp.Login();
        QTRY_COMPARE_WITH_TIMEOUT(rec.Errors().size(), 1, WaitMs);
        QTest::qWait(300); // a retry would start at once
        QCOMPARE(rec.Events(), QStringList{"ftpeConnectionRefused(Connexion refusée)"});
        QVERIFY(!ftp.Connected());
        QVERIFY(!ftp.LoggedIn());
    }

    // Lookups that fail without asking any name server: a name longer than a
    // DNS name can be, and an IPv6 literal (the client is IPv4 only).
    void cannotResolve_data()
    {
        QTest::addColumn<QString>("host");
        QTest::newRow("name longer than 253 characters") << QString(254, 'a') + ".invalid";
        QTest::newRow("IPv6 literal") << "::1";
    }

    void cannotResolve()
    {
        QFETCH(QString, host);
        TVexFtp ftp;
        FtpEventRecorder rec(ftp);
        ftp.SetServer(host);
        ftp.SetRetries(3);
        ftp.SetRetryInterval(0);
        ftp.SetNoopInterval(0);
        ftp.Login();
        QTRY_COMPARE_WITH_TIMEOUT(rec.Errors().size(), 1, WaitMs);
        QTest::qWait(300);
        QCOMPARE(rec.Events(), (QStringList{"ftpiResolving(" + host + ")",
                                            "ftpeCannotResolve(Impossible de résoudre l'adresse)"}));
        QVERIFY(!ftp.Connected());
    }

    // A server text that begins with a digit but is no IPv4 address: a
    // clear error, and nothing is contacted.
    void invalidNumericAddress_data()
    {
        QTest::addColumn<QString>("server");
        QTest::newRow("host name beginning with a digit") << "3com.example";
        QTest::newRow("five parts") << "10.0.0.1.5";
        QTest::newRow("part above 255") << "999.1.1.1";
    }

    void invalidNumericAddress()
    {
        QFETCH(QString, server);
        TVexFtp ftp;
        FtpEventRecorder rec(ftp);
        ftp.SetServer(server);
        ftp.SetRetries(3);
        ftp.SetRetryInterval(0);
        ftp.SetNoopInterval(0);
        ftp.Login();
        QTest::qWait(200);
        QCOMPARE(rec.Events(), QStringList{"ftpeInvalidAddress(Adresse spécifiée invalide)"});
        QVERIFY(!ftp.Connected());
        QCOMPARE(ftp.Server(), server);
    }

    void clientTimeOut()
    {
        RawLoopbackSocket full;
        QVERIFY(full.Bind());
        QVERIFY(full.ListenWithFullQueue());
        {
            TVexFtp ftp;
            FtpEventRecorder rec(ftp);
            ftp.SetServer("127.0.0.1");
            ftp.SetPort(full.port);
            ftp.SetTimeOut(1);
            ftp.SetRetries(3);
            ftp.SetRetryInterval(0);
            ftp.SetNoopInterval(0);
            ftp.Login();
            QTRY_COMPARE_WITH_TIMEOUT(rec.Errors().size(), 1, WaitMs);
            QTest::qWait(300);
            // Nothing was established, so nothing closes and nothing is retried.
            QCOMPARE(rec.Events(), QStringList{"ftpeTimedOut(Connection timed out)"});
            QVERIFY(!ftp.Connected());
        } // the client goes before the listener, so its pending connect never completes
    }

    // A new Login supersedes a lookup still under way: the old lookup's
    // outcome must not reach the new attempt.
    void loginDuringLookup_data()
    {
        QTest::addColumn<QString>("second");
        QTest::newRow("then a numeric address") << "127.0.0.1";
        QTest::newRow("then a host name") << "localhost";
    }

    void loginDuringLookup()
    {
        QFETCH(QString, second);
        if (second == "localhost" && !LocalhostResolvesFromHostsFile())
            QSKIP("localhost is not answered by /etc/hosts here: resolving it could ask a name server");
        ScriptedFtpServer server;
        QVERIFY(server.Start(AnonymousLogin()));
        TVexFtp ftp;
        FtpEventRecorder rec(ftp);
        PointAt(ftp, server);
        ftp.SetServer("::1"); // its lookup fails, later
        ftp.Login();
        QVERIFY(ftp.LookupPending());
        ftp.SetServer(second);
        ftp.Login();
        QTRY_VERIFY_WITH_TIMEOUT(ftp.LoggedIn(), WaitMs);
        QTest::qWait(100);
        QCOMPARE(rec.Errors(), QList<FtpError>());
        QCOMPARE(rec.Count("ftpiConnected(127.0.0.1)"), 1);
        QCOMPARE(rec.Count("ftpiResolving(::1)"), 1);
        QCOMPARE(server.Mismatches(), QStringList());
    }

    void socketErrorTable_data()
    {
        QTest::addColumn<int>("code");
        QTest::addColumn<bool>("reported");
        QTest::addColumn<FtpError>("error");
        QTest::addColumn<QString>("text");
        const QString resolve = QStringLiteral("Impossible de résoudre l'adresse");
        QTest::newRow("0") << 0 << false << ftpeNone << "";
        QTest::newRow("10038 not a socket") << 10038 << false << ftpeNone << "";
        QTest::newRow("10057 not connected") << 10057 << false << ftpeNone << "";
        QTest::newRow("10013") << 10013 << true << ftpeInvalidAddress << "Adresse spécifiée invalide";
        // Every error carries a text: this code gets the one of unexpected codes.
        QTest::newRow("10022") << 10022 << true << ftpeInternal
                               << "Erreur inattendue interne au composant (Code Erreur WinSock: 10022)";
        QTest::newRow("10024") << 10024 << true << ftpeNoSockets << "Plus de sockets disponibles";
        QTest::newRow("10049") << 10049 << true << ftpeAddressUnreachable << "Impossible d'atteindre l'adresse";
        QTest::newRow("10050") << 10050 << true << ftpeNetworkDown << "Réseau hors service";
        QTest::newRow("10051") << 10051 << true << ftpeNetworkUnreachable << "Impossible d'atteindre le réseau";
        QTest::newRow("10052") << 10052 << true << ftpeWinSockGeneral << "Erreur Générale WinSock";
        QTest::newRow("10053") << 10053 << true << ftpeConnectionAborted
                               << "Connexion annulée à cause d'un temps d'attente écoulé ou d'une autre raison";
        QTest::newRow("10054") << 10054 << true << ftpeConnectionReset << "Connexion réinitialisée par le serveur";
        QTest::newRow("10055") << 10055 << true << ftpeWinSockGeneral << "Erreur Générale WinSock";
        QTest::newRow("10060") << 10060 << true << ftpeTimedOut << "Temps d'attente écoulé";
        QTest::newRow("10061") << 10061 << true << ftpeConnectionRefused << "Connexion refusée";
        QTest::newRow("10065") << 10065 << true << ftpeHostUnreachable << "Impossible d'atteindre l'hôte";
        for (int code = 11001; code <= 11004; ++code)
            QTest::addRow("%d", code) << code << true << ftpeCannotResolve << resolve;
        QTest::newRow("10048 unlisted") << 10048 << true << ftpeInternal
                                        << "Erreur inattendue interne au composant (Code Erreur WinSock: 10048)";
        QTest::newRow("20022 unlisted") << 20022 << true << ftpeInternal
                                        << "Erreur inattendue interne au composant (Code Erreur WinSock: 20022)";
    }

    void socketErrorTable()
    {
        QFETCH(int, code);
        QFETCH(bool, reported);
        FtpError error = ftpeNone;
        QString text;
        QCOMPARE(FtpErrorFromSocketError(quint16(code), &error, &text), reported);
        if (reported) {
            QTEST(error, "error");
            QTEST(text, "text");
        }
    }

    void infoDefaultTexts()
    {
        QCOMPARE(FtpInfoDefaultText(ftpiDisconnected), QString("Non connecté au serveur"));
        QCOMPARE(FtpInfoDefaultText(ftpiBusy), QString("Le composant est occupé"));
        QCOMPARE(FtpInfoDefaultText(ftpiLoggedIn), QString("Connecté"));
        QCOMPARE(FtpInfoDefaultText(ftpiResumeUnavailable),
                 QString("Ce site ne permet pas reprendre les téléchargements incomplets"));
        for (FtpInfo other : {ftpiConnected, ftpiResolving, ftpiReceived, ftpiCommand, ftpiResumeSupported,
                              ftpiProgress, ftpiTransferDone, ftpiMultiLineReply, ftpiRetrying, ftpiRetriesExhausted})
            QCOMPARE(FtpInfoDefaultText(other), QString());
    }

    // A peer that resets the connection during the login: the error is fatal
    // and, as a failed login, retried while attempts are left.
    void connectionResetDuringLogin()
    {
        QTcpServer resetter;
        QVERIFY(resetter.listen(QHostAddress::LocalHost, 0));
        QList<QTcpSocket *> peers;
        connect(&resetter, &QTcpServer::newConnection, this, [&] {
            QTcpSocket *peer = resetter.nextPendingConnection();
            peers << peer;
            peer->write("220 ready\r\n");
            connect(peer, &QTcpSocket::readyRead, peer, [peer] {
                const linger reset {1, 0}; // close with RST
                ::setsockopt(int(peer->socketDescriptor()), SOL_SOCKET, SO_LINGER, &reset, sizeof reset);
                peer->abort();
            });
        });
        TVexFtp ftp;
        FtpEventRecorder rec(ftp);
        ftp.SetServer("127.0.0.1");
        ftp.SetPort(resetter.serverPort());
        ftp.SetRetries(1);
        ftp.SetRetryInterval(0);
        ftp.SetNoopInterval(0);
        ftp.Login();
        QTRY_COMPARE_WITH_TIMEOUT(rec.Count("OnFtpReady"), 1, WaitMs);
        const QStringList attempt{"ftpiConnected(127.0.0.1)", "ftpiReceived(220 ready\r\n)",
                                  "ftpiCommand(USER anonymous\r\n)",
                                  "ftpeConnectionReset(Connexion réinitialisée par le serveur)"};
        const QStringList expected = attempt + QStringList{"ftpiRetrying(Réessaie...)"} + attempt
            + QStringList{"ftpiRetriesExhausted(Retry Finished)", "ftpiDisconnected(Déconnecté)", "OnFtpQuit",
                          "OnFtpReady"};
        QCOMPARE(rec.Events(), expected);
        qDeleteAll(peers);
    }

    void needServerUnanswered()
    {
        TVexFtp ftp;
        FtpEventRecorder rec(ftp);
        ftp.Login();
        QTRY_COMPARE_WITH_TIMEOUT(rec.Count("OnFtpReady"), 1, WaitMs);
        QTest::qWait(100);
        QCOMPARE(rec.Events(), (QStringList{"needServer", "ftpeNoServer(Aucun serveur n'a été indiqué)", "OnFtpReady"}));
    }

    // ------------------------------------------------------------------
    // Login refused: retries and the events on the way

    void loginRefused_data()
    {
        QTest::addColumn<int>("retries");
        QTest::newRow("Retries 0: one attempt") << 0;
        QTest::newRow("Retries 3: four attempts") << 3;
    }

    void loginRefused()
    {
        QFETCH(int, retries);
        const FtpScript refused = FtpScript()
                                      .send(Welcome)
                                      .expect("USER anonymous", "331 Password required")
                                      .expectPrefix("PASS ", "530 Login incorrect.")
                                      .expectClose();
        ScriptedFtpServer server;
        QVERIFY(server.Start(refused));
        TVexFtp ftp;
        FtpEventRecorder rec(ftp);
        PointAt(ftp, server);
        ftp.SetRetries(retries);
        ftp.Login();
        QTRY_COMPARE_WITH_TIMEOUT(rec.Count("OnFtpReady"), 1, WaitMs);
        QTest::qWait(100);

        const QStringList attempt{"ftpiConnected(127.0.0.1)",
                                  "ftpiReceived(" + Welcome + "\r\n)",
                                  "ftpiCommand(USER anonymous\r\n)",
                                  "ftpiReceived(331 Password required\r\n)",
                                  "ftpiCommand(" + Masked + ")",
                                  "ftpiReceived(530 Login incorrect.\r\n)",
                                  "ftpeLoginRefused(Identification refusée par le serveur : 530 Login incorrect.)"};
        QStringList expected;
        for (int i = 0; i <= retries; ++i) {
            if (i > 0)
                expected << "ftpiRetrying(Réessaie...)";
            expected << attempt;
        }
        expected << "ftpiRetriesExhausted(Retry Finished)" << "ftpiDisconnected(Déconnecté)" << "OnFtpQuit"
                 << "OnFtpReady";
        QCOMPARE(rec.Events(), expected);
        QCOMPARE(server.ConnectionCount(), retries + 1);
        QVERIFY(!ftp.Connected());
        QVERIFY(!ftp.LoggedIn());
        QVERIFY(!ftp.Busy());
        QTRY_VERIFY2_WITH_TIMEOUT(server.Finished(), qPrintable(server.Status()), WaitMs);
        QCOMPARE(server.Mismatches(), QStringList());
    }

    // The owner's Close after a connect that never succeeded gives up: it is
    // no failed login to retry.
    void closeAfterFailedConnect_data()
    {
        QTest::addColumn<bool>("timedOut");
        QTest::newRow("after a refused connect") << false;
        QTest::newRow("after the client's time-out") << true;
    }

    void closeAfterFailedConnect()
    {
        QFETCH(bool, timedOut);
        RawLoopbackSocket peer;
        QVERIFY(peer.Bind());
        if (timedOut)
            QVERIFY(peer.ListenWithFullQueue());
        TVexFtp ftp;
        FtpEventRecorder rec(ftp);
        ftp.SetServer("127.0.0.1");
        ftp.SetPort(peer.port);
        ftp.SetTimeOut(1);
        ftp.SetRetries(3);
        ftp.SetRetryInterval(0);
        ftp.SetNoopInterval(0);
        ftp.Login();
        QTRY_COMPARE_WITH_TIMEOUT(rec.Errors().size(), 1, WaitMs);
        ftp.Close();
        QTRY_COMPARE_WITH_TIMEOUT(rec.Count("OnFtpReady"), 1, WaitMs);
        QTest::qWait(300);
        QCOMPARE(rec.Events(), (QStringList{timedOut ? "ftpeTimedOut(Connection timed out)"
                                                     : "ftpeConnectionRefused(Connexion refusée)",
                                            "ftpiDisconnected(Déconnecté)", "OnFtpQuit", "OnFtpReady"}));
    }

    void closeDuringRetryWait()
    {
        ScriptedFtpServer server;
        QVERIFY(server.Start(FtpScript().send("421 Not now").expectClose()));
        TVexFtp ftp;
        FtpEventRecorder rec(ftp);
        PointAt(ftp, server);
        ftp.SetRetries(3);
        ftp.SetRetryInterval(1);
        ftp.Login();
        QTRY_COMPARE_WITH_TIMEOUT(rec.Count("ftpiRetrying(Réessaie...)"), 1, WaitMs);
        ftp.Close(); // the owner gives up
        QTRY_COMPARE_WITH_TIMEOUT(rec.Count("OnFtpReady"), 1, WaitMs);
        QTest::qWait(PastOneSecondMs); // past the retry interval
        QCOMPARE(rec.EventsFrom("ftpiRetrying"), (QStringList{"ftpiRetrying(Réessaie...)", "ftpiDisconnected(Déconnecté)",
                                                              "OnFtpQuit", "OnFtpReady"}));
        QCOMPARE(server.ConnectionCount(), 1);
    }

    void loginDuringRetryWait_data()
    {
        QTest::addColumn<bool>("fromRetryingEvent");
        QTest::newRow("Login while waiting") << false;
        QTest::newRow("Login from the ftpiRetrying event") << true;
    }

    void loginDuringRetryWait()
    {
        QFETCH(bool, fromRetryingEvent);
        ScriptedFtpServer server;
        QVERIFY(server.Start(QList<FtpScript>{FtpScript().send("421 Not now").expectClose(), AnonymousLogin()}));
        TVexFtp ftp;
        FtpEventRecorder rec(ftp);
        PointAt(ftp, server);
        ftp.SetRetries(3);
        ftp.SetRetryInterval(1);
        if (fromRetryingEvent)
            rec.After = [&](const QString &event) {
                if (event.startsWith("ftpiRetrying"))
                    ftp.Login();
            };
        ftp.Login();
        QTRY_COMPARE_WITH_TIMEOUT(rec.Count("ftpiRetrying(Réessaie...)"), 1, WaitMs);
        if (!fromRetryingEvent)
            ftp.Login(); // the owner's attempt replaces the pending retry
        QTRY_VERIFY_WITH_TIMEOUT(ftp.LoggedIn(), WaitMs);
        QTest::qWait(PastOneSecondMs); // past the retry interval: no attempt of the old wait
        QVERIFY(ftp.LoggedIn());
        QVERIFY(ftp.Connected());
        QCOMPARE(server.ConnectionCount(), 2);
        QCOMPARE(rec.Count("ftpiRetrying(Réessaie...)"), 1);
        QCOMPARE(server.Mismatches(), QStringList());
    }

    // A hook may reassign itself (a view detaching) while it is being called.
    void hookReplacedWhileCalled()
    {
        TVexFtp ftp;
        QStringList calls;
        const QString tag(1000, 'x'); // a capture big enough to live on the heap
        ftp.OnFtpInfo = [&ftp, &calls, tag](TVexFtp *, FtpInfo, const QString &text) {
            ftp.OnFtpInfo = nullptr;
            calls << tag.left(1) + text;
        };
        ftp.OnFtpError = [&ftp, &calls, tag](TVexFtp *, FtpError, const QString &) {
            ftp.OnFtpError = nullptr;
            calls << tag.left(1) + "error";
        };
        ftp.OnFtpNeedInfo = [&ftp, &calls, tag](TVexFtp *, TVexFtpInfoNeeded, QString &) {
            ftp.OnFtpNeedInfo = nullptr;
            calls << tag.left(1) + "need";
        };
        ftp.ChangeToParent(); // ftpiDisconnected
        ftp.ChangeToParent(); // no hook any more
        ftp.Login();          // needServer, then ftpeNoServer
        QCOMPARE(calls, (QStringList{"xNon connecté au serveur", "xneed", "xerror"}));
    }

    void portZeroMeansPort21()
    {
        TVexFtp ftp;
        ftp.SetServer("127.0.0.1");
        ftp.SetPort(0);
        ftp.SetRetries(0);
        ftp.SetNoopInterval(0);
        ftp.Login();
        QCOMPARE(ftp.Port(), quint16(21));
    }

    void proxyPortLow16Bits()
    {
        ScriptedFtpServer server;
        QVERIFY(server.Start(FtpScript().send(Welcome).expect("OPEN " + QString("ftp.target.example"), "500 No")));
        TVexFtp ftp;
        FtpEventRecorder rec(ftp);
        PointAt(ftp, server);
        ftp.SetServer("ftp.target.example");
        ftp.SetProxyServer("  127.0.0.1 ");
        ftp.SetProxyPort(0x10000 + server.Port());
        ftp.SetProxyType(proxyOpen);
        ftp.Login();
        QTRY_VERIFY2_WITH_TIMEOUT(server.Finished(), qPrintable(server.Status()), WaitMs);
        QCOMPARE(server.Mismatches(), QStringList());
    }

    // ------------------------------------------------------------------
    // Waiting leaves the processor alone

    void synchronousWaitIsIdle()
    {
        ScriptedFtpServer server;
        QVERIFY(server.Start(AnonymousLogin().expect("CWD /slow").delay(1500).send("250 \"/slow\" ok")));
        TVexFtp ftp;
        FtpEventRecorder rec(ftp);
        PointAt(ftp, server);
        ftp.Login();
        QTRY_VERIFY_WITH_TIMEOUT(ftp.LoggedIn(), WaitMs);
        ftp.SetAsynchronous(false);
        rec.Clear();

        QElapsedTimer wall;
        wall.start();
        const double cpuBefore = ProcessCpuMs();
        ftp.ChangeDirectory("/slow"); // returns when the operation has ended
        const double cpu = ProcessCpuMs() - cpuBefore;
        const qint64 wallMs = wall.elapsed();

        QVERIFY(!ftp.Busy());
        QCOMPARE(ftp.CurrentDirectory(), QString("/slow"));
        QCOMPARE(rec.EventsFrom("OnFtpReady"), (QStringList{"OnFtpReady", "OnDirectoryChanged"}));
        QVERIFY2(wallMs >= 1000, qPrintable(QString::number(wallMs)));
        QVERIFY2(cpu < 0.2 * double(wallMs),
                 qPrintable(QStringLiteral("%1 ms of processor time in %2 ms").arg(cpu).arg(wallMs)));
    }

    void retryWaitIsIdle()
    {
        const FtpScript refused = FtpScript()
                                      .send(Welcome)
                                      .expect("USER anonymous", "331 Password required")
                                      .expectPrefix("PASS ", "530 Login incorrect.")
                                      .expectClose();
        ScriptedFtpServer server;
        QVERIFY(server.Start(refused));
        TVexFtp ftp;
        FtpEventRecorder rec(ftp);
        PointAt(ftp, server);
        ftp.SetRetries(1);
        ftp.SetRetryInterval(2);

        BlockingWait wait;
        QElapsedTimer wall;
        double cpuAtRetrying = -1, cpuAtReconnect = -1;
        qint64 wallAtRetrying = -1, wallAtReconnect = -1;
        rec.After = [&](const QString &event) {
            if (event.startsWith("ftpiRetrying")) {
                wall.start();
                cpuAtRetrying = ProcessCpuMs();
                wallAtRetrying = 0;
            } else if (event.startsWith("ftpiConnected") && cpuAtRetrying >= 0 && cpuAtReconnect < 0) {
                cpuAtReconnect = ProcessCpuMs();
                wallAtReconnect = wall.elapsed();
            } else if (event == "OnFtpReady") {
                wait.stop();
            }
        };
        ftp.Login();
        wait.run(15000);

        QCOMPARE(server.ConnectionCount(), 2);
        QCOMPARE(rec.Count("ftpiRetrying(Réessaie...)"), 1);
        QVERIFY(wallAtRetrying == 0 && wallAtReconnect >= 1500);
        const double cpu = cpuAtReconnect - cpuAtRetrying;
        QVERIFY2(cpu < 0.2 * double(wallAtReconnect),
                 qPrintable(QStringLiteral("%1 ms of processor time in %2 ms").arg(cpu).arg(wallAtReconnect)));
    }
};

QTEST_GUILESS_MAIN(TstFtpCore)
#include "tst_ftpcore.moc"
