// A server that breaks off or talks nonsense at every step of a login, a
// listing, a download and an upload, in passive and in active mode.
//
// Each row of the table is one step of one dialogue where the scripted
// server, instead of its proper answer, either closes the control connection
// or sends a malformed reply. Whatever happens, the client must end within
// the time-outs with the events of the design:
//   - the connection is gone: the error if one is due, ftpiDisconnected,
//     OnFtpQuit, then one OnFtpReady; disconnected, idle, not logged in;
//   - the operation failed: the error, OnFtpReady, its completion event; still
//     connected and logged in;
//   - the reply was odd but usable: the operation completes without error.
// Afterwards the client logs in again, against a second script that behaves.
// A downloaded file only ever holds bytes the server sent, an upload only
// bytes of the local file.

#include "FtpClientTesting.h"
#include "FtpEventRecorder.h"
#include "ScriptedFtpServer.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

using FtpTesting::PrepareClient;

namespace {

constexpr int WaitMs = 10000;

enum class Kind { Login, Listing, Download, Upload };
enum class Fault { Close, Malformed };
enum class End { Lost, Failed, Completed };

// A reply that means nothing: a code no step knows, a control character,
// bytes that are not UTF-8. (A line without a three-digit code is no reply at
// all: the client waits on, and its time-out ends the wait.)
const QString Garbage = QString::fromLatin1("999 \x01?? c'est du charabia \xff\xfe");

const QByteArray ListingData =
    "-rw-r--r--   1 root     root           12 Dec 10 12:44 file.txt\r\n"
    "drwxr-xr-x   2 root     root         4096 Dec 10 12:44 sub\r\n";

QByteArray Payload(qsizetype size)
{
    QByteArray bytes(size, Qt::Uninitialized);
    for (qsizetype i = 0; i < size; ++i)
        bytes[i] = char((i * 13 + 5) % 253);
    return bytes;
}

const QByteArray DownloadData = Payload(100000);
const QByteArray UploadData = Payload(300000);

// One step of a dialogue: what the server does when all goes well, when it
// breaks off there, and when it answers nonsense there, with the outcome the
// design gives that nonsense.
struct Step {
    const char *name;
    std::function<void(FtpScript &, bool passive)> good;
    std::function<void(FtpScript &, bool passive)> close;
    std::function<void(FtpScript &, bool passive)> malformed;
    End malformedEnd;
    FtpError malformedError;
    bool malformedSkipsNext = false; // the client leaves out the next step
};

std::function<void(FtpScript &, bool)> Reply(const QString &command, const QString &reply)
{
    return [command, reply](FtpScript &s, bool) { s.expect(command, reply); };
}

std::function<void(FtpScript &, bool)> CloseAfter(const QString &command)
{
    return [command](FtpScript &s, bool) { s.expect(command).closeConnection(); };
}

std::function<void(FtpScript &, bool)> DataChannel(const QString &malformedPasv)
{
    return [malformedPasv](FtpScript &s, bool passive) {
        if (malformedPasv.isEmpty())
            passive ? s.expectPasv() : s.expectPort();
        else if (passive)
            s.expect(QStringLiteral("PASV"), malformedPasv);
        else
            s.expectPrefix(QStringLiteral("PORT "), Garbage);
    };
}

QList<Step> LoginSteps()
{
    return {
        {"welcome", [](FtpScript &s, bool) { s.send(QStringLiteral("220 ProFTPD 1.3.8 Server ready.")); },
         [](FtpScript &s, bool) { s.closeConnection(); },
         [](FtpScript &s, bool) { s.send(Garbage); }, End::Lost, ftpeServerRefused},
        {"USER", Reply(QStringLiteral("USER anonymous"), QStringLiteral("331 Anonymous login ok, send your e-mail as password.")),
         CloseAfter(QStringLiteral("USER anonymous")), Reply(QStringLiteral("USER anonymous"), Garbage), End::Lost,
         ftpeLoginRefused},
        {"PASS", Reply(QStringLiteral("PASS guest@example.org"), QStringLiteral("230 Anonymous access granted.")),
         CloseAfter(QStringLiteral("PASS guest@example.org")), Reply(QStringLiteral("PASS guest@example.org"), Garbage),
         End::Lost, ftpeLoginRefused},
        {"SYST", Reply(QStringLiteral("SYST"), QStringLiteral("215 UNIX Type: L8")), CloseAfter(QStringLiteral("SYST")),
         Reply(QStringLiteral("SYST"), Garbage), End::Completed, ftpeNone},
        {"TYPE I", Reply(QStringLiteral("TYPE I"), QStringLiteral("200 Type set to I")), CloseAfter(QStringLiteral("TYPE I")),
         Reply(QStringLiteral("TYPE I"), Garbage), End::Completed, ftpeNone},
        {"REST 100", Reply(QStringLiteral("REST 100"), QStringLiteral("350 Restarting at 100.")),
         CloseAfter(QStringLiteral("REST 100")), Reply(QStringLiteral("REST 100"), Garbage), End::Completed, ftpeNone,
         true},
        {"REST 0", Reply(QStringLiteral("REST 0"), QStringLiteral("350 Restarting at 0.")),
         CloseAfter(QStringLiteral("REST 0")), Reply(QStringLiteral("REST 0"), Garbage), End::Completed, ftpeNone},
        {"PWD", Reply(QStringLiteral("PWD"), QStringLiteral("257 \"/\" is the current directory")),
         CloseAfter(QStringLiteral("PWD")), Reply(QStringLiteral("PWD"), Garbage), End::Lost, ftpeCommandFailed},
    };
}

// The steps of one transfer, after the login. The data step's fault comes
// while the data connection is open: the server has connected it (and, for
// an upload, reads what comes) but has not finished.
QList<Step> TransferSteps(Kind kind)
{
    const bool upload = kind == Kind::Upload;
    const QString type = kind == Kind::Listing ? QStringLiteral("TYPE A") : QStringLiteral("TYPE I");
    const QString command = kind == Kind::Listing ? QStringLiteral("LIST")
                            : upload             ? QStringLiteral("STOR up.bin")
                                                 : QStringLiteral("RETR remote.bin");
    const QString opening = kind == Kind::Download
                                ? QStringLiteral("150 Opening BINARY mode data connection for remote.bin (100000 bytes)")
                                : QStringLiteral("150 Opening data connection");
    const auto data = [kind](FtpScript &s, bool) {
        if (kind == Kind::Listing)
            s.dataSend(ListingData);
        else if (kind == Kind::Download)
            s.dataSend(DownloadData);
        else
            s.dataReceive();
    };
    const auto dataFault = [upload](bool close) {
        return [upload, close](FtpScript &s, bool) {
            s.dataConnect();
            if (close)
                s.closeConnection();
            else
                s.send(Garbage);
            if (upload)
                s.dataReceive(); // whatever the client still sends, until it closes
        };
    };

    QList<Step> steps;
    // An upload goes on whatever the TYPE reply says; the others need a 2xx.
    steps.append({"TYPE", Reply(type, QStringLiteral("200 Type set")), CloseAfter(type), Reply(type, Garbage),
                  upload ? End::Completed : End::Failed, upload ? ftpeNone : ftpeCommandFailed});
    if (upload)
        steps.append({"SIZE", Reply(QStringLiteral("SIZE up.bin"), QStringLiteral("550 up.bin: No such file or directory")),
                      CloseAfter(QStringLiteral("SIZE up.bin")), Reply(QStringLiteral("SIZE up.bin"), Garbage),
                      End::Completed, ftpeNone});
    steps.append({"PASV/PORT", DataChannel(QString()),
                  [](FtpScript &s, bool passive) {
                      if (passive)
                          s.expect(QStringLiteral("PASV")).closeConnection();
                      else
                          s.expectPrefix(QStringLiteral("PORT ")).closeConnection();
                  },
                  DataChannel(QStringLiteral("227 Entering Passive Mode (127,0,0,1,999,1)")), End::Failed,
                  ftpeCommandFailed});
    steps.append({"transfer command", Reply(command, opening), CloseAfter(command), Reply(command, Garbage), End::Failed,
                  ftpeAccessDenied});
    steps.append({"data", data, dataFault(true), dataFault(false), End::Failed, ftpeAccessDenied});
    steps.append({"final reply", [](FtpScript &s, bool) { s.send(QStringLiteral("226 Transfer complete")); },
                  [](FtpScript &s, bool) { s.closeConnection(); }, [](FtpScript &s, bool) { s.send(Garbage); },
                  End::Failed, ftpeAccessDenied});
    return steps;
}

QList<Step> StepsOf(Kind kind) { return kind == Kind::Login ? LoginSteps() : TransferSteps(kind); }

void AddSteps(FtpScript &script, const QList<Step> &steps, qsizetype from, qsizetype to, bool passive)
{
    for (qsizetype i = from; i < to; ++i)
        steps[i].good(script, passive);
}

// The faulty dialogue: everything before the step goes well, then the fault,
// then what the client still does.
FtpScript FaultyScript(Kind kind, qsizetype stepIndex, Fault fault, bool passive)
{
    FtpScript script;
    const QList<Step> login = LoginSteps();
    QList<Step> steps = StepsOf(kind);
    if (kind != Kind::Login)
        AddSteps(script, login, 0, login.size(), passive);
    AddSteps(script, steps, 0, stepIndex, passive);
    const Step &step = steps[stepIndex];
    if (fault == Fault::Close) {
        step.close(script, passive);
        return script;
    }
    step.malformed(script, passive);
    if (step.malformedEnd == End::Completed)
        AddSteps(script, steps, stepIndex + 1 + (step.malformedSkipsNext ? 1 : 0), steps.size(), passive);
    // The client's own close after a fatal error, or the owner's Close() at the end.
    return script.expectClose();
}

FtpScript GoodLogin()
{
    FtpScript script;
    AddSteps(script, LoginSteps(), 0, LoginSteps().size(), true);
    return script.expectClose();
}

QString Completion(Kind kind)
{
    switch (kind) {
    case Kind::Login: return QStringLiteral("OnLoggedIn");
    case Kind::Listing: return QStringLiteral("OnListingDone");
    case Kind::Download: return QStringLiteral("OnFileReceived");
    case Kind::Upload: return QStringLiteral("OnFileStored");
    }
    return QString();
}

const char *KindName(Kind kind)
{
    switch (kind) {
    case Kind::Login: return "login";
    case Kind::Listing: return "listing";
    case Kind::Download: return "download";
    case Kind::Upload: return "upload";
    }
    return "";
}

} // namespace

Q_DECLARE_METATYPE(Kind)
Q_DECLARE_METATYPE(Fault)
Q_DECLARE_METATYPE(End)
Q_DECLARE_METATYPE(FtpError)

class TestFaultInjection : public QObject
{
    Q_OBJECT

private slots:
    void everyStepEndsAsDesigned_data();
    void everyStepEndsAsDesigned();
    void stalledDataConnectionEndsOnClose_data();
    void stalledDataConnectionEndsOnClose();
    void oversizedRepliesStayBounded_data();
    void oversizedRepliesStayBounded();

private:
    void StartOperation(TVexFtp &client, Kind kind, const QString &folder);
    void LogInAgain(TVexFtp &client, FtpEventRecorder &log, ScriptedFtpServer &server);
};

void TestFaultInjection::everyStepEndsAsDesigned_data()
{
    QTest::addColumn<Kind>("kind");
    QTest::addColumn<int>("step");
    QTest::addColumn<bool>("passive");
    QTest::addColumn<Fault>("fault");
    QTest::addColumn<End>("end");
    QTest::addColumn<FtpError>("error");

    for (const Kind kind : {Kind::Login, Kind::Listing, Kind::Download, Kind::Upload}) {
        const QList<Step> steps = StepsOf(kind);
        for (int i = 0; i < steps.size(); ++i) {
            for (const bool passive : {true, false}) {
                for (const Fault fault : {Fault::Close, Fault::Malformed}) {
                    // A close is never an error of its own: the connection is just gone.
                    const End end = fault == Fault::Close ? End::Lost : steps[i].malformedEnd;
                    const FtpError error = fault == Fault::Close ? ftpeNone : steps[i].malformedError;
                    QTest::addRow("%s, %s, %s, %s", KindName(kind), steps[i].name, passive ? "passive" : "active",
                                  fault == Fault::Close ? "closed" : "malformed")
                        << kind << i << passive << fault << end << error;
                }
            }
        }
    }
}

void TestFaultInjection::StartOperation(TVexFtp &client, Kind kind, const QString &folder)
{
    switch (kind) {
    case Kind::Login: break;
    case Kind::Listing: client.ListDirectory(); break;
    case Kind::Download: client.GetFile(QStringLiteral("remote.bin"), folder + QStringLiteral("/remote.bin")); break;
    case Kind::Upload: client.PutFile(folder + QStringLiteral("/up.bin"), QStringLiteral("up.bin")); break;
    }
}

void TestFaultInjection::LogInAgain(TVexFtp &client, FtpEventRecorder &log, ScriptedFtpServer &server)
{
    log.Clear();
    // The first login may have detected the server type, which is kept; the
    // second script expects the detection again.
    client.SetServerType(ftpstAutoDetect);
    client.Login();
    QTRY_VERIFY2_WITH_TIMEOUT(log.Has(QStringLiteral("OnLoggedIn")), qPrintable(log.Dump()), WaitMs);
    QVERIFY(client.LoggedIn());
    QCOMPARE(log.ErrorCodes(), QList<int>());
    QCOMPARE(server.ConnectionCount(), 2);
    client.Close();
    QTRY_VERIFY2_WITH_TIMEOUT(server.Finished(), qPrintable(server.Status()), WaitMs);
}

void TestFaultInjection::everyStepEndsAsDesigned()
{
    QFETCH(Kind, kind);
    QFETCH(int, step);
    QFETCH(bool, passive);
    QFETCH(Fault, fault);
    QFETCH(End, end);
    QFETCH(FtpError, error);

    QTemporaryDir folder;
    QVERIFY(folder.isValid());
    {
        QFile upload(folder.filePath(QStringLiteral("up.bin")));
        QVERIFY(upload.open(QIODevice::WriteOnly));
        QCOMPARE(upload.write(UploadData), qint64(UploadData.size()));
    }
    ScriptedFtpServer server;
    QVERIFY2(server.Start({FaultyScript(kind, step, fault, passive), GoodLogin()}), qPrintable(server.ErrorString()));
    TVexFtp client;
    FtpEventRecorder log(client);
    log.Answers[needFileExists] = QStringLiteral("Overwrite");
    PrepareClient(client, folder, server.Port());
    client.SetPassive(passive);

    client.Login();
    if (kind != Kind::Login) {
        QTRY_VERIFY2_WITH_TIMEOUT(log.Has(QStringLiteral("OnLoggedIn")), qPrintable(log.Dump()), WaitMs);
        log.Clear();
        StartOperation(client, kind, folder.path());
    }

    const QString completion = Completion(kind);
    if (end == End::Lost) {
        QTRY_VERIFY2_WITH_TIMEOUT(log.Has(QStringLiteral("OnFtpQuit")) && log.IndexOf(QStringLiteral("OnFtpReady"), log.IndexOf(QStringLiteral("OnFtpQuit"))) > 0,
                                  qPrintable(log.Dump()), WaitMs);
        // Whatever is still posted has arrived.
        QTest::qWait(50);
        const qsizetype quit = log.IndexOf(QStringLiteral("OnFtpQuit"));
        const qsizetype disconnected = log.IndexOf(QStringLiteral("ftpiDisconnected(Déconnecté)"));
        QVERIFY2(disconnected >= 0 && disconnected < quit, qPrintable(log.Dump()));
        QCOMPARE(log.Count(QStringLiteral("OnFtpQuit")), 1);
        QCOMPARE(log.Events().mid(quit).count(QStringLiteral("OnFtpReady")), 1);
        QVERIFY2(!log.Has(completion), qPrintable(log.Dump()));
        QVERIFY(!client.Connected());
        QVERIFY(!client.Busy());
        QVERIFY(!client.LoggedIn());
    } else {
        QTRY_VERIFY2_WITH_TIMEOUT(log.Has(completion), qPrintable(log.Dump()), WaitMs);
        QTest::qWait(50);
        const qsizetype ready = log.Events().lastIndexOf(QStringLiteral("OnFtpReady"));
        QVERIFY2(ready >= 0 && ready < log.IndexOf(completion), qPrintable(log.Dump()));
        QCOMPARE(log.Count(completion), 1);
        QVERIFY2(!log.Has(QStringLiteral("OnFtpQuit")), qPrintable(log.Dump()));
        QVERIFY(client.Connected());
        QVERIFY(client.LoggedIn());
        QVERIFY(!client.Busy());
    }
    const QStringList errors = log.EventsMatching(QStringLiteral("ftpe"));
    if (error == ftpeNone) {
        QCOMPARE(log.ErrorCodes(), QList<int>());
    } else {
        QCOMPARE(log.ErrorCodes(), QList<int>{int(error)});
        QVERIFY2(log.IndexOf(errors.first()) < log.IndexOf(end == End::Lost ? QStringLiteral("OnFtpQuit") : completion),
                 qPrintable(log.Dump()));
    }

    // Only what the server sent, only what the file holds.
    if (kind == Kind::Download) {
        QFile local(folder.filePath(QStringLiteral("remote.bin")));
        if (local.open(QIODevice::ReadOnly))
            QVERIFY(DownloadData.startsWith(local.readAll()));
    }
    if (end != End::Lost)
        client.Close();
    QTRY_VERIFY2_WITH_TIMEOUT(server.Finished(), qPrintable(server.Status()), WaitMs);
    for (const QByteArray &received : server.ReceivedData())
        QVERIFY(UploadData.startsWith(received));
    QCOMPARE(server.Mismatches(), QStringList());

    LogInAgain(client, log, server);
    QCOMPARE(server.Mismatches(), QStringList());
}

void TestFaultInjection::stalledDataConnectionEndsOnClose_data()
{
    QTest::addColumn<Kind>("kind");
    QTest::addColumn<bool>("passive");
    for (const Kind kind : {Kind::Listing, Kind::Download})
        for (const bool passive : {true, false})
            QTest::addRow("%s, %s", KindName(kind), passive ? "passive" : "active") << kind << passive;
}

void TestFaultInjection::stalledDataConnectionEndsOnClose()
{
    QFETCH(Kind, kind);
    QFETCH(bool, passive);
    QTemporaryDir folder;
    QVERIFY(folder.isValid());
    FtpScript script;
    AddSteps(script, LoginSteps(), 0, LoginSteps().size(), passive);
    const QList<Step> steps = TransferSteps(kind);
    AddSteps(script, steps, 0, 3, passive); // TYPE, PASV or PORT, LIST or RETR with its 150
    // The data connection opens and nothing ever comes; the server waits for
    // the client to give it up.
    script.dataStall().dataReceive().expectClose();
    ScriptedFtpServer server;
    QVERIFY2(server.Start({script, GoodLogin()}), qPrintable(server.ErrorString()));
    TVexFtp client;
    FtpEventRecorder log(client);
    log.Answers[needFileExists] = QStringLiteral("Overwrite");
    PrepareClient(client, folder, server.Port());
    client.SetPassive(passive);
    client.Login();
    QTRY_VERIFY2_WITH_TIMEOUT(log.Has(QStringLiteral("OnLoggedIn")), qPrintable(log.Dump()), WaitMs);
    log.Clear();
    StartOperation(client, kind, folder.path());
    QTRY_VERIFY2_WITH_TIMEOUT(server.ReceivedCommands().contains(kind == Kind::Listing ? QStringLiteral("LIST")
                                                                                          : QStringLiteral("RETR remote.bin")),
                              qPrintable(server.Status()), WaitMs);
    // Let the stalled connection settle: nothing may end by itself.
    QTest::qWait(300);
    QVERIFY2(!log.Has(QStringLiteral("OnFtpReady")), qPrintable(log.Dump()));
    QVERIFY(client.Busy());

    // The owner's Stop: everything ends at once, as for any lost connection.
    client.Close();
    QCOMPARE(log.Count(QStringLiteral("ftpiDisconnected(Déconnecté)")), 1);
    QTRY_VERIFY2_WITH_TIMEOUT(log.Has(QStringLiteral("OnFtpQuit")) && log.IndexOf(QStringLiteral("OnFtpReady"), log.IndexOf(QStringLiteral("OnFtpQuit"))) > 0,
                              qPrintable(log.Dump()), WaitMs);
    QVERIFY(!log.Has(Completion(kind)));
    QCOMPARE(log.ErrorCodes(), QList<int>());
    QVERIFY(!client.Connected());
    QVERIFY(!client.Busy());
    // The data connection went with it (the server's dataReceive step ends).
    QTRY_VERIFY2_WITH_TIMEOUT(server.ReceivedData().size() == 1, qPrintable(server.Status()), WaitMs);
    QCOMPARE(server.ReceivedData().constFirst(), QByteArray());

    LogInAgain(client, log, server);
    QCOMPARE(server.Mismatches(), QStringList());
}

void TestFaultInjection::oversizedRepliesStayBounded_data()
{
    QTest::addColumn<QByteArray>("welcome");
    QTest::addColumn<QStringList>("commandsBeforeEnd"); // what the client still sends
    QTest::addColumn<End>("end");
    QTest::addColumn<FtpError>("error");
    QTest::addColumn<QString>("firstLine");
    QTest::addColumn<QString>("lastLine");

    // Real welcomes are a few lines; these are what a broken or hostile
    // server can send. The client holds a bounded part of it and ends as for
    // any other reply: an endless line is cut into lines of 64 KiB, the
    // first one is the welcome; the next ones have no reply code, so USER is
    // never answered and the client's time-out ends the login.
    const QByteArray huge(8 * 1024 * 1024, 'x');
    QTest::newRow("one line of 8 MiB") << QByteArray("220 " + huge + "\r\n") << QStringList{QStringLiteral("USER anonymous")}
                                       << End::Lost << ftpeTimedOut << QString() << QString();
    QByteArray manyLines("220-Bienvenue\r\n");
    for (int i = 0; i < 100000; ++i)
        manyLines += "    ligne de suite " + QByteArray::number(i) + ' ' + QByteArray(80, '-') + "\r\n";
    manyLines += "220 Pret\r\n";
    QTest::newRow("a reply of 10 MiB in 100000 lines") << manyLines << QStringList() << End::Completed << ftpeNone
                                                     << QStringLiteral("220-Bienvenue") << QStringLiteral("220 Pret");
    // No reply code at all: no welcome, and the time-out.
    QTest::newRow("16 MiB without a line end") << QByteArray(16 * 1024 * 1024, 'y') << QStringList() << End::Lost
                                               << ftpeTimedOut << QString() << QString();
}

void TestFaultInjection::oversizedRepliesStayBounded()
{
    QFETCH(QByteArray, welcome);
    QFETCH(QStringList, commandsBeforeEnd);
    QFETCH(End, end);
    QFETCH(FtpError, error);
    QFETCH(QString, firstLine);
    QFETCH(QString, lastLine);

    QTemporaryDir folder;
    QVERIFY(folder.isValid());
    FtpScript script;
    script.sendRaw(welcome);
    if (end == End::Completed) {
        const QList<Step> login = LoginSteps();
        AddSteps(script, login, 1, login.size(), true);
    }
    for (const QString &command : commandsBeforeEnd)
        script.expect(command);
    script.expectClose();
    ScriptedFtpServer server;
    QVERIFY2(server.Start({script, GoodLogin()}), qPrintable(server.ErrorString()));
    TVexFtp client;
    FtpEventRecorder log(client);
    log.Answers[needFileExists] = QStringLiteral("Overwrite");
    PrepareClient(client, folder, server.Port());
    client.SetTimeOut(1);
    // What the client holds of the welcome when it answers it.
    qsizetype welcomeKept = -1;
    QStringList replyLines;
    int multiLineReplies = 0;
    client.AddInfoListener([&](TVexFtp *sender, FtpInfo info, const QString &text) {
        if (info == ftpiCommand && text.startsWith(QLatin1String("USER ")) && welcomeKept < 0) {
            welcomeKept = sender->LastReply().size();
            replyLines = sender->ReplyLines();
        }
        if (info == ftpiMultiLineReply)
            ++multiLineReplies;
    });
    client.Login();
    QTRY_VERIFY2_WITH_TIMEOUT(log.Has(end == End::Lost ? QStringLiteral("OnFtpQuit") : QStringLiteral("OnLoggedIn")),
                              qPrintable(log.Dump()), WaitMs);
    if (!commandsBeforeEnd.isEmpty() || end == End::Completed) {
        QVERIFY(welcomeKept > 0);
        QVERIFY2(welcomeKept <= 64 * 1024, qPrintable(QString::number(welcomeKept)));
    }
    if (!firstLine.isEmpty()) {
        QCOMPARE(multiLineReplies, 1);
        QCOMPARE(replyLines.constFirst(), firstLine);
        QCOMPARE(replyLines.constLast(), lastLine);
        qsizetype kept = 0;
        for (const QString &line : replyLines)
            kept += line.size();
        QVERIFY2(kept <= 5 * 1024 * 1024, qPrintable(QString::number(kept)));
    }
    QCOMPARE(log.ErrorCodes(), error == ftpeNone ? QList<int>() : QList<int>{int(error)});
    if (end == End::Completed)
        client.Close();
    else
        QVERIFY(!log.Has(QStringLiteral("OnLoggedIn")));
    QTRY_VERIFY2_WITH_TIMEOUT(server.Finished(), qPrintable(server.Status()), WaitMs);
    QCOMPARE(server.Mismatches(), QStringList());
    LogInAgain(client, log, server);
}

QTEST_GUILESS_MAIN(TestFaultInjection)
#include "tst_faultinjection.moc"
