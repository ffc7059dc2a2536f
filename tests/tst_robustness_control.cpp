// The control connection against servers that misbehave: the restart probe
// asked in binary mode, the client's time-out once connected (a server that
// stops answering or stops moving data), what counts as a reply code, a
// command line that fills the socket, data connections from strangers in
// active mode, and passwords kept out of the log.
#include "Ftp.h"
#include "FtpClientTesting.h"
#include "FtpEventRecorder.h"
#include "ScriptedFtpServer.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QtTest>

#include <arpa/inet.h>
#include <atomic>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

using namespace FtpTesting;

namespace {

constexpr int WaitMs = 5000;
// The client's TimeOut in these tests, in seconds (its unit).
constexpr int ShortTimeOut = 1;
// Long enough for a time-out of ShortTimeOut to fire, and its close to be
// handled, even on a loaded machine.
constexpr int TimeOutWaitMs = 6000;

const QString TimedOut = QStringLiteral("ftpeTimedOut(Connection timed out)");
const QString Opening = QStringLiteral("150 Opening BINARY mode data connection");
const QString Complete = QStringLiteral("226 Transfer complete");

QByteArray Bytes(qsizetype size, char seed)
{
    QByteArray bytes(size, Qt::Uninitialized);
    for (qsizetype i = 0; i < size; ++i)
        bytes[i] = char((i * 31 + seed) % 251);
    return bytes;
}

QStringList Commands(const FtpEventRecorder &rec)
{
    QStringList commands;
    for (QString text : rec.Texts(ftpiCommand))
        commands << text.remove(QStringLiteral("\r\n"));
    return commands;
}

// The login of AnonymousLogin() when the server type is preset: no SYST.
FtpScript PresetLogin(const QString &typeReply, const QString &restReply)
{
    FtpScript script;
    script.send(Welcome)
        .expect(QStringLiteral("USER anonymous"), QStringLiteral("331 Guest login ok"))
        .expect(QLatin1String("PASS ") + TVexFtp::DefaultGuestPassword(), QStringLiteral("230 Guest login ok"))
        .expect(QStringLiteral("TYPE I"), typeReply)
        .expect(QStringLiteral("REST 100"), restReply);
    if (restReply.startsWith(QLatin1Char('3')))
        script.expect(QStringLiteral("REST 0"), QStringLiteral("350 Restarting at 0"));
    return script.expect(QStringLiteral("PWD"), RootPwdReply);
}

// A blocking loopback server on a thread of its own, so that nothing it
// does wakes the client's event loop: it accepts one connection with a
// small receive buffer, reads nothing for a while, then reads one command
// line and answers it.
class SlowReader
{
public:
    SlowReader()
    {
        listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        const int small = 4096;
        ::setsockopt(listener, SOL_SOCKET, SO_RCVBUF, &small, sizeof small);
        sockaddr_in a {};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof a;
        if (::bind(listener, reinterpret_cast<sockaddr *>(&a), sizeof a) == 0 && ::listen(listener, 1) == 0
            && ::getsockname(listener, reinterpret_cast<sockaddr *>(&a), &len) == 0)
            port = ntohs(a.sin_port);
    }

    ~SlowReader()
    {
        stop = true;
        if (worker.joinable())
            worker.join();
        ::close(listener);
    }

    void Start(int silentMs)
    {
        worker = std::thread([this, silentMs] { Serve(silentMs); });
    }

    quint16 port = 0;
    std::atomic<qint64> received {0};
    std::atomic<bool> answered {false};

private:
    bool Wait(int fd, short events, int ms)
    {
        pollfd p {fd, events, 0};
        return ::poll(&p, 1, ms) == 1;
    }

    void Serve(int silentMs)
    {
        int fd = -1;
        for (int i = 0; i < 100 && !stop && fd < 0; ++i)
            if (Wait(listener, POLLIN, 100))
                fd = ::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0)
            return;
        std::this_thread::sleep_for(std::chrono::milliseconds(silentMs));
        char buffer[65536];
        bool lineEnded = false;
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (!stop && !lineEnded && std::chrono::steady_clock::now() < deadline) {
            if (!Wait(fd, POLLIN, 50))
                continue;
            const ssize_t n = ::recv(fd, buffer, sizeof buffer, MSG_DONTWAIT);
            if (n <= 0)
                break;
            received += n;
            lineEnded = buffer[n - 1] == '\n';
        }
        if (lineEnded) {
            const char reply[] = "211 done\r\n";
            answered = ::send(fd, reply, sizeof reply - 1, MSG_NOSIGNAL) == ssize_t(sizeof reply - 1);
        }
        // Until the client goes, or a bounded while.
        for (int i = 0; i < 100 && !stop; ++i)
            if (Wait(fd, POLLIN, 50) && ::recv(fd, buffer, sizeof buffer, MSG_DONTWAIT) <= 0)
                break;
        ::close(fd);
    }

    int listener = -1;
    std::thread worker;
    std::atomic<bool> stop {false};
};

} // namespace

class TstRobustnessControl : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void restartProbeInBinaryMode_data();
    void restartProbeInBinaryMode();

    void timeOutOnceConnected_data();
    void timeOutOnceConnected();
    void passiveDataConnectionNeverOpens();
    void loginTimeOutIsRetried();
    void movingTransferNeverTimesOut();
    void questionIsNoSilence();

    void replyCode_data();
    void replyCode();
    void partialSendWaitsOnlyForRoom();
    void activeModeTakesOnlyThePeer();
    void passwordMaskedWhateverTheCase_data();
    void passwordMaskedWhateverTheCase();

private:
    // Starts the server with script, logs the client in (TimeOut ShortTimeOut)
    // and clears the record.
    bool LogIn(const FtpScript &script, bool passive = true);
    QString Local(const QString &name) const { return QDir(scratch->path()).filePath(name); }

    std::unique_ptr<QTemporaryDir> scratch;
    std::unique_ptr<ScriptedFtpServer> server;
    std::unique_ptr<TVexFtp> ftp;
    std::unique_ptr<FtpEventRecorder> rec;
};

void TstRobustnessControl::init()
{
    scratch = std::make_unique<QTemporaryDir>();
    QVERIFY(scratch->isValid());
    server = std::make_unique<ScriptedFtpServer>();
    ftp = std::make_unique<TVexFtp>();
    rec = std::make_unique<FtpEventRecorder>(*ftp);
}

void TstRobustnessControl::cleanup()
{
    if (QTest::currentTestFailed())
        WarnAfterFailure(*rec, *server);
    rec.reset();
    ftp.reset();
    server.reset();
    scratch.reset();
}

bool TstRobustnessControl::LogIn(const FtpScript &script, bool passive)
{
    return LogInScripted(*ftp, *server, *rec, script, passive, ShortTimeOut, WaitMs);
}

// ---------------------------------------------------------------------------
// The restart probe

void TstRobustnessControl::restartProbeInBinaryMode_data()
{
    QTest::addColumn<bool>("detect");
    QTest::addColumn<FtpScript>("script");
    QTest::addColumn<bool>("resume");

    // Like pyftpdlib and proftpd: REST is refused in ASCII mode, so a probe
    // that comes before TYPE I gets 501 (here: a mismatch of the script).
    QTest::newRow("server type detected") << true << AnonymousLogin() << true;
    QTest::newRow("server type preset") << false << PresetLogin("200 Type set to I", "350 Restarting at 100") << true;
    QTest::newRow("TYPE refused, the probe still goes")
        << false << PresetLogin("504 Command not implemented for that parameter", "501 REST not allowed") << false;
    QTest::newRow("restart not offered") << false << PresetLogin("200 Type set to I", "502 REST not implemented")
                                         << false;
}

void TstRobustnessControl::restartProbeInBinaryMode()
{
    QFETCH(bool, detect);
    QFETCH(FtpScript, script);
    QFETCH(bool, resume);
    QVERIFY(server->Start(script));
    PointAt(*ftp, *server);
    if (!detect)
        ftp->SetServerType(ftpstUNIX);
    ftp->Login();
    QTRY_VERIFY_WITH_TIMEOUT(ftp->LoggedIn(), WaitMs);
    QCOMPARE(server->Mismatches(), QStringList());
    const QStringList commands = Commands(*rec);
    const qsizetype type = commands.indexOf(QStringLiteral("TYPE I"));
    QVERIFY(type > 0);
    QCOMPARE(commands.value(type + 1), QStringLiteral("REST 100"));
    QCOMPARE(ftp->ResumeSupported(), resume);
    QCOMPARE(rec->CountPrefix(QStringLiteral("ftpiResumeSupported(")), resume ? 1 : 0);
    QCOMPARE(rec->CountPrefix(QStringLiteral("ftpiResumeUnavailable(")), resume ? 0 : 1);
    QCOMPARE(rec->Errors(), QList<FtpError>());
}

// ---------------------------------------------------------------------------
// Time-outs

void TstRobustnessControl::timeOutOnceConnected_data()
{
    QTest::addColumn<QString>("operation");
    QTest::addColumn<bool>("passive");
    QTest::addColumn<FtpScript>("script");
    // A download whose target did not exist keeps what arrived, so that it
    // can be resumed; one where nothing arrived leaves nothing.
    QTest::addColumn<bool>("partialKept");

    const QByteArray someData = Bytes(64 * 1024, 'd');
    QTest::newRow("no welcome") << "login" << true << FtpScript() << false;
    QTest::newRow("multi-line welcome that never ends") << "login" << true << FtpScript().send("220-Welcome,") << false;
    QTest::newRow("USER never answered") << "login" << true
                                         << FtpScript().send(Welcome).expect(QStringLiteral("USER anonymous")) << false;
    QTest::newRow("CWD never answered") << "cwd" << true << AnonymousLogin().expect(QStringLiteral("CWD pub")) << false;
    QTest::newRow("keep-alive NOOP never answered") << "idle" << true << AnonymousLogin().expect(QStringLiteral("NOOP")) << false;
    QTest::newRow("preliminary reply that never ends")
        << "get" << true
        << AnonymousLogin().expect("TYPE I", "200 ok").expectPasv().expect("RETR f.bin", Opening) << false;
    QTest::newRow("download that stops arriving")
        << "get" << true
        << AnonymousLogin().expect("TYPE I", "200 ok").expectPasv().expect("RETR f.bin", Opening).dataWrite(someData) << true;
    QTest::newRow("final reply that never comes")
        << "get" << true
        << AnonymousLogin().expect("TYPE I", "200 ok").expectPasv().expect("RETR f.bin", Opening).dataSend(someData) << true;
    QTest::newRow("active data connection never made")
        << "get" << false
        << AnonymousLogin().expect("TYPE I", "200 ok").expectPort().expect("RETR f.bin", Opening) << false;
    QTest::newRow("active data connection never made, 226 all the same")
        << "get" << false
        << AnonymousLogin().expect("TYPE I", "200 ok").expectPort().expect("RETR f.bin", Opening).send(Complete) << false;
    QTest::newRow("upload the server stops reading")
        << "put" << true
        << AnonymousLogin()
               .expect("TYPE I", "200 ok")
               .expect("SIZE up.bin", "550 No such file")
               .expectPasv()
               .expect("STOR up.bin", Opening)
               .dataStopReading() << false;
    QTest::newRow("listing that never ends")
        << "list" << true
        << AnonymousLogin().expect("TYPE A", "200 ok").expectPasv().expect("LIST", Opening).dataWrite(
               "-rw-r--r--   1 ftp ftp 3 Mar 14  2021 a.txt\r\n") << false;
}

void TstRobustnessControl::timeOutOnceConnected()
{
    QFETCH(QString, operation);
    QFETCH(bool, passive);
    QFETCH(FtpScript, script);
    QFETCH(bool, partialKept);

    const QString local = Local(QStringLiteral("f.bin"));
    const QString upload = Local(QStringLiteral("up.bin"));
    if (operation == QLatin1String("login")) {
        QVERIFY(server->Start(script));
        PointAt(*ftp, *server);
        ftp->SetTimeOut(ShortTimeOut);
        ftp->Login();
    } else {
        QVERIFY2(LogIn(script, passive), qPrintable(server->Status()));
        if (operation == QLatin1String("cwd")) {
            ftp->ChangeDirectory(QStringLiteral("pub"));
        } else if (operation == QLatin1String("idle")) {
            ftp->SetNoopInterval(1);
        } else if (operation == QLatin1String("get")) {
            ftp->GetFile(QStringLiteral("f.bin"), local);
        } else if (operation == QLatin1String("put")) {
            // More than the socket buffers of both ends hold.
            QFile file(upload);
            QVERIFY(file.open(QIODevice::WriteOnly));
            const QByteArray block = Bytes(1024 * 1024, 'u');
            for (int i = 0; i < 32; ++i)
                QVERIFY(file.write(block) == block.size());
            file.close();
            ftp->PutFile(upload, QStringLiteral("up.bin"));
        } else if (operation == QLatin1String("list")) {
            ftp->ListDirectory();
        }
    }
    QTRY_COMPARE_WITH_TIMEOUT(rec->Count(QStringLiteral("OnFtpQuit")), 1, TimeOutWaitMs);
    QTRY_VERIFY_WITH_TIMEOUT(!ftp->Busy(), WaitMs);

    const QStringList events = rec->Events();
    QCOMPARE(rec->Errors(), QList<FtpError>{ftpeTimedOut});
    QCOMPARE(rec->ErrorTexts(), QStringList{QStringLiteral("Connection timed out")});
    // Closed as for a lost connection.
    const qsizetype error = events.indexOf(TimedOut);
    const qsizetype disconnected = events.indexOf(QStringLiteral("ftpiDisconnected(Déconnecté)"));
    QVERIFY(error >= 0 && disconnected > error);
    QCOMPARE(events.mid(events.size() - 2), (QStringList{"OnFtpQuit", "OnFtpReady"}));
    QVERIFY(!ftp->Connected());
    QVERIFY(!ftp->LoggedIn());
    for (const char *completion : {"OnFileReceived", "OnFileStored", "OnDirectoryChanged", "OnListingDone", "OnLoggedIn"})
        QCOMPARE(rec->Count(QString::fromLatin1(completion)), 0);
    if (partialKept)
        QCOMPARE(QFileInfo(local).size(), qint64(64 * 1024));
    else
        QVERIFY(!QFile::exists(local));
}

// The client connects to a port whose queue is full: the connection stays
// pending, and the server says 150 and 226 regardless.
void TstRobustnessControl::passiveDataConnectionNeverOpens()
{
    RawLoopbackSocket blackHole;
    QVERIFY(blackHole.Bind());
    QVERIFY(blackHole.ListenWithFullQueue());
    const QString pasv = QStringLiteral("227 Entering Passive Mode (127,0,0,1,%1,%2)").arg(blackHole.port >> 8).arg(blackHole.port & 0xff);
    QVERIFY(LogIn(AnonymousLogin()
                      .expect("TYPE I", "200 ok")
                      .expect("PASV", pasv)
                      .expect("RETR f.bin", Opening)
                      .send(Complete)));
    const QString local = Local(QStringLiteral("f.bin"));
    ftp->GetFile(QStringLiteral("f.bin"), local);
    QTRY_COMPARE_WITH_TIMEOUT(rec->Count(QStringLiteral("OnFtpQuit")), 1, TimeOutWaitMs);
    QCOMPARE(rec->Errors(), QList<FtpError>{ftpeTimedOut});
    QCOMPARE(rec->Count(QStringLiteral("OnFileReceived")), 0);
    QVERIFY(!QFile::exists(local));
}

// A time-out before the login has completed is a failed attempt like any
// other: the retry rules apply.
void TstRobustnessControl::loginTimeOutIsRetried()
{
    QVERIFY(server->Start(FtpScript().send(Welcome).expect(QStringLiteral("USER anonymous"))));
    PointAt(*ftp, *server);
    ftp->SetTimeOut(ShortTimeOut);
    ftp->SetRetries(1);
    ftp->SetRetryInterval(0);
    ftp->Login();
    QTRY_COMPARE_WITH_TIMEOUT(rec->Count(QStringLiteral("OnFtpQuit")), 1, 2 * TimeOutWaitMs);
    QCOMPARE(server->ConnectionCount(), 2);
    QCOMPARE(rec->Errors(), (QList<FtpError>{ftpeTimedOut, ftpeTimedOut}));
    QStringList milestones;
    for (const QString &event : rec->Events())
        if (event.startsWith(QLatin1String("ftpe")) || event.startsWith(QLatin1String("ftpiRetr"))
            || event.startsWith(QLatin1String("ftpiDisconnected")))
            milestones << event;
    QCOMPARE(milestones, (QStringList{TimedOut, "ftpiRetrying(Réessaie...)", TimedOut,
                                      "ftpiRetriesExhausted(Retry Finished)", "ftpiDisconnected(Déconnecté)"}));
}

// Pauses shorter than TimeOut, many times over, add up to far more than
// TimeOut: a transfer that keeps moving goes to its end.
void TstRobustnessControl::movingTransferNeverTimesOut()
{
    const QByteArray content = Bytes(6 * 1000, 'm');
    FtpScript script = AnonymousLogin().expect("TYPE I", "200 ok").expectPasv().delay(700).expect("RETR f.bin", Opening);
    for (int i = 0; i < 6; ++i)
        script.delay(700).dataWrite(content.mid(i * 1000, 1000));
    script.delay(700).dataClose().delay(700).send(Complete);
    QVERIFY(LogIn(script));
    ftp->SetTimeOut(2);
    const QString local = Local(QStringLiteral("f.bin"));
    ftp->GetFile(QStringLiteral("f.bin"), local);
    QTRY_COMPARE_WITH_TIMEOUT(rec->Count(QStringLiteral("OnFileReceived")), 1, 3 * TimeOutWaitMs);
    QCOMPARE(rec->Errors(), QList<FtpError>());
    QVERIFY(ftp->Connected());
    QFile file(local);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), content);
}

// The owner may take longer than TimeOut to answer a question (a dialog):
// that is no silence of the server's.
void TstRobustnessControl::questionIsNoSilence()
{
    const QByteArray content = Bytes(3000, 'q');
    QVERIFY(LogIn(AnonymousLogin()
                      .expect("TYPE I", "200 ok")
                      .expectPasv()
                      .expect("RETR f.bin", Opening)
                      .dataSend(content)
                      .send(Complete)));
    const QString local = Local(QStringLiteral("f.bin"));
    QFile old(local);
    QVERIFY(old.open(QIODevice::WriteOnly) && old.write("old") == 3);
    old.close();
    rec->Answers[needFileExists] = FtpAnswer::Overwrite;
    rec->After = [](const QString &event) {
        if (event == QLatin1String("needFileExists"))
            QTest::qWait(2500);
    };
    ftp->GetFile(QStringLiteral("f.bin"), local);
    QTRY_COMPARE_WITH_TIMEOUT(rec->Count(QStringLiteral("OnFileReceived")), 1, TimeOutWaitMs);
    QCOMPARE(rec->Errors(), QList<FtpError>());
    QFile file(local);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), content);
}

// ---------------------------------------------------------------------------
// Reply codes and reads

void TstRobustnessControl::replyCode_data()
{
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<QStringList>("handlerLines");
    QTest::addColumn<QStringList>("replyLines");

    QTest::newRow("\"abc-\" starts no multi-line reply") << QByteArray("abc-not a code\r\n211 done\r\n")
                                                         << QStringList{"211 done"} << QStringList{};
    QTest::newRow("a bare 2 is no positive reply") << QByteArray("2\r\n500 refused\r\n") << QStringList{"500 refused"}
                                                   << QStringList{};
    QTest::newRow("two digits") << QByteArray("21 short\r\n211 done\r\n") << QStringList{"211 done"} << QStringList{};
    QTest::newRow("four digits") << QByteArray("2115 long\r\n211 done\r\n") << QStringList{"211 done"} << QStringList{};
    QTest::newRow("a letter among the digits") << QByteArray("2a1 mixed\r\n211 done\r\n") << QStringList{"211 done"}
                                               << QStringList{};
    QTest::newRow("a code without its blank") << QByteArray("211\r\n211 done\r\n") << QStringList{"211 done"}
                                              << QStringList{};
    QTest::newRow("multi-line reply holding lines without codes")
        << QByteArray("211-Status\r\nabc-\r\n2\r\n211 End\r\n") << QStringList{"211 End"}
        << QStringList{"211-Status", "abc-", "2", "211 End"};
    QTest::newRow("a zero byte inside a reply line") << QByteArray("211 a\0b\r\n", 9)
                                                     << QStringList{QString::fromLatin1("211 a\0b", 7)} << QStringList{};
    QTest::newRow("a zero byte first in the read") << QByteArray("\0 noise\r\n211 done\r\n", 19)
                                                   << QStringList{"211 done"} << QStringList{};
}

void TstRobustnessControl::replyCode()
{
    QFETCH(QByteArray, reply);
    QFETCH(QStringList, handlerLines);
    QFETCH(QStringList, replyLines);
    QVERIFY(LogIn(AnonymousLogin().expect("STAT").sendRaw(reply)));
    QStringList seen;
    ftp->SendCommand(QStringLiteral("STAT"), [&](const QString &line) {
        seen << line;
        if (!line.startsWith(QLatin1Char('1')))
            ftp->EndCommand();
    });
    QTRY_COMPARE_WITH_TIMEOUT(rec->Count(QStringLiteral("OnFtpReady")), 1, WaitMs);
    QCOMPARE(seen, handlerLines);
    QCOMPARE(ftp->ReplyLines(), replyLines);
    // Every byte reaches the log, those of lines that are no reply too.
    QCOMPARE(rec->Texts(ftpiReceived).join(QString()), QString::fromUtf8(reply));
    QVERIFY(ftp->Connected());
}

// A command line longer than the socket takes at once, to a server that
// reads nothing for a while: once the server reads, the client goes on
// sending at once, without waiting for an unrelated event.
void TstRobustnessControl::partialSendWaitsOnlyForRoom()
{
    SlowReader reader;
    QVERIFY(reader.port != 0);
    reader.Start(300);
    ftp->SetServer(QStringLiteral("127.0.0.1"));
    ftp->SetPort(reader.port);
    ftp->SetRetries(0);
    ftp->SetNoopInterval(0);
    ftp->SetCache(false);
    ftp->SetTimeOut(20);
    ftp->Login();
    QTRY_VERIFY_WITH_TIMEOUT(ftp->Connected(), WaitMs);
    // The one write notification that follows a connect comes and goes:
    // from now on only a send that would block asks for another.
    QTest::qWait(200);

    // Wakes the event loop every fifteen seconds, so that a client waiting
    // for nothing in particular does not hang the test: it is counted
    // instead. The period leaves a loaded machine ample time for the send.
    int wakeUps = 0;
    QTimer alarm;
    QObject::connect(&alarm, &QTimer::timeout, [&] { ++wakeUps; });
    alarm.start(15000);

    // More than the socket takes at once (its buffer grows to a few MiB).
    const QString command = QStringLiteral("SITE ") + QString(16 * 1024 * 1024, QLatin1Char('x'));
    QStringList seen;
    ftp->SendCommand(command, [&](const QString &line) {
        seen << line;
        ftp->EndCommand();
    });
    QTRY_COMPARE_WITH_TIMEOUT(seen, QStringList{"211 done"}, 40000);
    alarm.stop();
    QCOMPARE(reader.received.load(), qint64(command.size() + 2));
    QCOMPARE(wakeUps, 0);
}

// In active mode, a connection to the listening socket from another address
// than the server's is dropped; the server's own connection brings the data.
void TstRobustnessControl::activeModeTakesOnlyThePeer()
{
    const QByteArray content = Bytes(5000, 'p');
    QVERIFY(LogIn(AnonymousLogin()
                      .expect("TYPE I", "200 ok")
                      .expectPort()
                      .expect("RETR f.bin", Opening)
                      .delay(800)
                      .dataSend(content)
                      .send(Complete),
                  false));
    const QString local = Local(QStringLiteral("f.bin"));
    ftp->GetFile(QStringLiteral("f.bin"), local);
    QTRY_VERIFY_WITH_TIMEOUT(server->ReceivedCommands().contains(QStringLiteral("RETR f.bin")), WaitMs);
    const QString port = server->ReceivedCommands().filter(QRegularExpression(QStringLiteral("^PORT "))).value(0);
    const QStringList parts = port.mid(5).split(QLatin1Char(','));
    QCOMPARE(parts.size(), 6);
    const quint16 target = quint16(parts[4].toUInt() * 256 + parts[5].toUInt());

    QTcpSocket stranger;
    QVERIFY2(stranger.bind(QHostAddress(QStringLiteral("127.0.0.2")), 0), qPrintable(stranger.errorString()));
    stranger.connectToHost(QHostAddress(QStringLiteral("127.0.0.1")), target);
    QVERIFY(stranger.waitForConnected(WaitMs));
    stranger.write("NOT THE FILE");
    stranger.flush();
    // The client drops it.
    QTRY_COMPARE_WITH_TIMEOUT(stranger.state(), QAbstractSocket::UnconnectedState, WaitMs);

    QTRY_COMPARE_WITH_TIMEOUT(rec->Count(QStringLiteral("OnFileReceived")), 1, WaitMs);
    QCOMPARE(rec->Errors(), QList<FtpError>());
    QFile file(local);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), content);
    QCOMPARE(server->Mismatches(), QStringList());
}

// ---------------------------------------------------------------------------
// Passwords in the log

void TstRobustnessControl::passwordMaskedWhateverTheCase_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<bool>("masked");
    QTest::newRow("PASS") << "PASS s3cret" << true;
    QTest::newRow("pass") << "pass s3cret" << true;
    QTest::newRow("Pass") << "Pass s3cret" << true;
    QTest::newRow("blanks first") << "  pAsS s3cret" << true;
    QTest::newRow("ACCT is shown") << "ACCT s3cret" << false;
    QTest::newRow("another word is shown") << "PASSIVE s3cret" << false;
}

void TstRobustnessControl::passwordMaskedWhateverTheCase()
{
    QFETCH(QString, command);
    QFETCH(bool, masked);
    QVERIFY(LogIn(AnonymousLogin().expect(command, "202 Nothing to do")));
    ftp->SendCommand(command);
    QTRY_COMPARE_WITH_TIMEOUT(rec->Count(QStringLiteral("OnFtpReady")), 1, WaitMs);
    QCOMPARE(server->Mismatches(), QStringList());
    QCOMPARE(rec->Texts(ftpiCommand),
             QStringList{masked ? QStringLiteral("PASS (pas besoin de le savoir) :-P\r\n") : command + QLatin1String("\r\n")});
}

QTEST_GUILESS_MAIN(TstRobustnessControl)
#include "tst_robustness_control.moc"
