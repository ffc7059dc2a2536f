// The two FTP server fixtures, exercised with a bare QTcpSocket as the client.
#include "PyFtpdServer.h"
#include "ScriptedFtpServer.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QtTest>

#include <cerrno>
#include <csignal>

namespace {

constexpr int WaitMs = 10000;

// A line-oriented client that waits through the event loop, so that a server
// living on the same thread keeps running meanwhile.
class LineClient
{
public:
    bool Connect(quint16 port)
    {
        socket.connectToHost(QHostAddress::LocalHost, port);
        return QTest::qWaitFor([this] { return socket.state() == QAbstractSocket::ConnectedState
                                               || socket.state() == QAbstractSocket::UnconnectedState; }, WaitMs)
            && socket.state() == QAbstractSocket::ConnectedState;
    }
    void Send(const QByteArray &line)
    {
        socket.write(line + "\r\n");
        socket.flush();
    }
    // One line without its terminator; empty when none came.
    QByteArray ReadLine()
    {
        (void)QTest::qWaitFor([this] { return socket.canReadLine() || socket.state() == QAbstractSocket::UnconnectedState; }, WaitMs);
        return socket.canReadLine() ? socket.readLine().trimmed() : QByteArray();
    }
    // The final line of a reply, skipping "nnn-" continuation lines.
    QByteArray ReadReply()
    {
        for (;;) {
            const QByteArray line = ReadLine();
            if (line.size() < 4 || line.at(3) != '-')
                return line;
        }
    }
    QByteArray Command(const QByteArray &line)
    {
        Send(line);
        return ReadReply();
    }
    bool WaitClosed()
    {
        return QTest::qWaitFor([this] { return socket.state() == QAbstractSocket::UnconnectedState; }, WaitMs);
    }
    QTcpSocket socket;
};

// Reads a data connection to its end.
QByteArray ReadToEnd(QTcpSocket &socket)
{
    QByteArray bytes;
    (void)QTest::qWaitFor([&] {
        bytes += socket.readAll();
        return socket.state() == QAbstractSocket::UnconnectedState;
    }, WaitMs);
    return bytes + socket.readAll();
}

quint16 PassivePort(const QByteArray &reply)
{
    static const QRegularExpression numbers(QStringLiteral("\\((\\d+),(\\d+),(\\d+),(\\d+),(\\d+),(\\d+)\\)"));
    const QRegularExpressionMatch match = numbers.match(QString::fromLatin1(reply));
    if (!match.hasMatch() || match.captured(1) != QLatin1String("127"))
        return 0;
    return quint16(match.captured(5).toUInt() * 256 + match.captured(6).toUInt());
}

QByteArray PortArgument(quint16 port)
{
    return QByteArrayLiteral("127,0,0,1,") + QByteArray::number(port >> 8) + ',' + QByteArray::number(port & 0xff);
}

} // namespace

class FixturesTest : public QObject
{
    Q_OBJECT

private slots:
    void expectVariants_data();
    void expectVariants();
    void splitReplyArrivesInTwoReads();
    void closeAtStep();
    void clientCloseBeforeTheEndIsAMismatch();
    void unscriptedCommandGetsDefaultReply();
    void successiveConnectionsPlayTheirScripts();
    void refusal_data();
    void refusal();
    void passiveDataSend();
    void activeConnectBackAndReceive();
    void portOutsideLoopbackIsNeverContacted();

    void pyftpdLogins_data();
    void pyftpdLogins();
    void pyftpdPassiveListing();
    void pyftpdStops();
    void pyftpdRejectsBadSetup_data();
    void pyftpdRejectsBadSetup();
};

void FixturesTest::expectVariants_data()
{
    QTest::addColumn<FtpScript>("script");
    QTest::addColumn<QByteArray>("clientBytes");
    QTest::addColumn<QString>("receivedLine");
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<bool>("matches");

    const FtpScript exact = FtpScript().send("220 hi").expect("USER anonymous", "331 pw");
    QTest::newRow("exact, CR LF") << exact << QByteArray("USER anonymous\r\n") << "USER anonymous" << QByteArray("331 pw") << true;
    QTest::newRow("exact, bare LF") << exact << QByteArray("USER anonymous\n") << "USER anonymous" << QByteArray("331 pw") << true;
    QTest::newRow("exact, other user") << exact << QByteArray("USER ftp\r\n") << "USER ftp" << QByteArray("331 pw") << false;
    QTest::newRow("exact, lower case") << exact << QByteArray("user anonymous\r\n") << "user anonymous" << QByteArray("331 pw") << false;
    const FtpScript prefix = FtpScript().send("220 hi").expectPrefix("PORT ", "200 ok");
    QTest::newRow("prefix") << prefix << QByteArray("PORT 127,0,0,1,4,1\r\n") << "PORT 127,0,0,1,4,1" << QByteArray("200 ok") << true;
    QTest::newRow("prefix, other command") << prefix << QByteArray("PASV\r\n") << "PASV" << QByteArray("200 ok") << false;
    const FtpScript pattern = FtpScript().send("220 hi").expectMatch("REST \\d+", "350 ok");
    QTest::newRow("pattern") << pattern << QByteArray("REST 100\r\n") << "REST 100" << QByteArray("350 ok") << true;
    QTest::newRow("pattern is anchored") << pattern << QByteArray("REST 100 x\r\n") << "REST 100 x" << QByteArray("350 ok") << false;
}

void FixturesTest::expectVariants()
{
    QFETCH(FtpScript, script);
    QFETCH(QByteArray, clientBytes);
    QFETCH(QString, receivedLine);
    QFETCH(QByteArray, reply);
    QFETCH(bool, matches);

    ScriptedFtpServer server;
    QVERIFY2(server.Start(script), qPrintable(server.ErrorString()));
    LineClient client;
    QVERIFY(client.Connect(server.Port()));
    QCOMPARE(client.ReadLine(), QByteArray("220 hi"));
    client.socket.write(clientBytes);
    // The reply comes whether or not the line matched.
    QCOMPARE(client.ReadLine(), reply);
    QTRY_VERIFY2(server.Finished(), qPrintable(server.Status()));
    QCOMPARE(server.ReceivedCommands(), QStringList{receivedLine});
    QCOMPARE(server.ReceivedBytes(), clientBytes);
    QCOMPARE(server.Mismatches().isEmpty(), matches);
    if (!matches)
        QVERIFY2(server.Mismatches().constFirst().contains(receivedLine), qPrintable(server.Status()));
}

void FixturesTest::splitReplyArrivesInTwoReads()
{
    ScriptedFtpServer server;
    QVERIFY(server.Start(FtpScript().sendSplit("220 Bienvenue", 5, 150)));
    LineClient client;
    QList<QByteArray> reads;
    QObject::connect(&client.socket, &QTcpSocket::readyRead, &client.socket,
                     [&] { reads.append(client.socket.readAll()); });
    QVERIFY(client.Connect(server.Port()));
    QTRY_COMPARE(reads.join(), QByteArray("220 Bienvenue\r\n"));
    QCOMPARE(reads, (QList<QByteArray>{"220 B", "ienvenue\r\n"}));
    QVERIFY(server.Finished());
}

void FixturesTest::closeAtStep()
{
    ScriptedFtpServer server;
    QSignalSpy disconnected(&server, &ScriptedFtpServer::ClientDisconnected);
    QVERIFY(server.Start(FtpScript().send("220 hi").expect("USER anonymous").closeConnection()));
    LineClient client;
    QVERIFY(client.Connect(server.Port()));
    QCOMPARE(client.ReadLine(), QByteArray("220 hi"));
    client.Send("USER anonymous");
    QVERIFY(client.WaitClosed());
    QCOMPARE(client.socket.readAll(), QByteArray());
    QTRY_COMPARE(disconnected.count(), 1);
    QVERIFY2(server.Finished(), qPrintable(server.Status()));
    QVERIFY(!server.ClientConnected());
    QCOMPARE(server.Mismatches(), QStringList());
}

void FixturesTest::clientCloseBeforeTheEndIsAMismatch()
{
    ScriptedFtpServer server;
    QSignalSpy disconnected(&server, &ScriptedFtpServer::ClientDisconnected);
    QVERIFY(server.Start(FtpScript().send("220 hi").expect("USER anonymous", "331 pw").expect("PASS x", "230 ok")));
    LineClient client;
    QVERIFY(client.Connect(server.Port()));
    QCOMPARE(client.ReadLine(), QByteArray("220 hi"));
    QCOMPARE(client.Command("USER anonymous"), QByteArray("331 pw"));
    client.socket.disconnectFromHost();
    QTRY_COMPARE(disconnected.count(), 1);
    QVERIFY(!server.Finished());
    QCOMPARE(server.Mismatches().size(), 1);
    QVERIFY2(server.Mismatches().constFirst().contains(QLatin1String("PASS x")), qPrintable(server.Status()));
    QVERIFY2(server.Status().contains(QLatin1String("abandoned at step 4 of 5")), qPrintable(server.Status()));
}

void FixturesTest::unscriptedCommandGetsDefaultReply()
{
    ScriptedFtpServer server;
    QSignalSpy finished(&server, &ScriptedFtpServer::ScriptFinished);
    QVERIFY(server.Start(FtpScript().send("220 hi")));
    LineClient client;
    QVERIFY(client.Connect(server.Port()));
    QCOMPARE(client.ReadLine(), QByteArray("220 hi"));
    QCOMPARE(finished.count(), 1);
    QCOMPARE(client.Command("NOOP"), QByteArray("500 unscripted"));
    QCOMPARE(server.Mismatches().size(), 1);
    QVERIFY(server.Mismatches().constFirst().contains(QLatin1String("NOOP")));
}

void FixturesTest::successiveConnectionsPlayTheirScripts()
{
    ScriptedFtpServer server;
    QVERIFY(server.Start(QList<FtpScript>{FtpScript().send("421 busy").closeConnection(),
                                          FtpScript().send("220 second").expect("QUIT", "221 bye").expectClose()}));
    LineClient first;
    QVERIFY(first.Connect(server.Port()));
    QCOMPARE(first.ReadLine(), QByteArray("421 busy"));
    QVERIFY(first.WaitClosed());
    LineClient second;
    QVERIFY(second.Connect(server.Port()));
    QCOMPARE(second.ReadLine(), QByteArray("220 second"));
    QCOMPARE(second.Command("QUIT"), QByteArray("221 bye"));
    second.socket.disconnectFromHost();
    QTRY_VERIFY2(server.Finished(), qPrintable(server.Status()));
    QCOMPARE(server.ConnectionCount(), 2);
    QCOMPARE(server.Mismatches(), QStringList());
}

void FixturesTest::refusal_data()
{
    QTest::addColumn<bool>("serverListens");
    QTest::addColumn<QAbstractSocket::SocketError>("clientError");
    QTest::newRow("nothing listens") << false << QAbstractSocket::ConnectionRefusedError;
    QTest::newRow("closed on accept") << true << QAbstractSocket::RemoteHostClosedError;
}

void FixturesTest::refusal()
{
    QFETCH(bool, serverListens);
    QFETCH(QAbstractSocket::SocketError, clientError);

    ScriptedFtpServer server;
    quint16 port = ScriptedFtpServer::UnusedPort();
    if (serverListens) {
        QVERIFY(server.StartRefusing());
        port = server.Port();
    }
    QVERIFY(port != 0);
    QTcpSocket client;
    QSignalSpy errors(&client, &QTcpSocket::errorOccurred);
    client.connectToHost(QHostAddress::LocalHost, port);
    QTRY_VERIFY(!errors.isEmpty());
    QCOMPARE(client.error(), clientError);
    QCOMPARE(server.ConnectionCount(), serverListens ? 1 : 0);
}

void FixturesTest::passiveDataSend()
{
    const QByteArray listing = "-rw-r--r-- 1 ftp ftp 3 Jan 01 2020 a.txt\r\n"
                               "drwxr-xr-x 2 ftp ftp 0 Jan 01 2020 pub\r\n";
    ScriptedFtpServer server;
    QVERIFY(server.Start(FtpScript()
                             .send("220 hi")
                             .expectPasv()
                             .expect("LIST", "150 here")
                             .dataSendSplit(listing, 10, 50)
                             .send("226 done")));
    LineClient client;
    QVERIFY(client.Connect(server.Port()));
    QCOMPARE(client.ReadLine(), QByteArray("220 hi"));
    const QByteArray pasv = client.Command("PASV");
    QVERIFY2(pasv.startsWith("227 Entering Passive Mode (127,0,0,1,"), pasv.constData());
    QTcpSocket data;
    QList<QByteArray> reads;
    QObject::connect(&data, &QTcpSocket::readyRead, &data, [&] { reads.append(data.readAll()); });
    data.connectToHost(QHostAddress::LocalHost, PassivePort(pasv));
    QCOMPARE(client.Command("LIST"), QByteArray("150 here"));
    QTRY_COMPARE(data.state(), QAbstractSocket::UnconnectedState);
    QCOMPARE(reads, (QList<QByteArray>{listing.left(10), listing.mid(10)}));
    QCOMPARE(client.ReadLine(), QByteArray("226 done"));
    QTRY_VERIFY2(server.Finished(), qPrintable(server.Status()));
    QCOMPARE(server.Mismatches(), QStringList());
}

void FixturesTest::activeConnectBackAndReceive()
{
    const QByteArray upload = QByteArray("contenu du fichier\n").repeated(2000);
    ScriptedFtpServer server;
    QVERIFY(server.Start(FtpScript()
                             .send("220 hi")
                             .expectPort()
                             .expect("STOR f.txt", "150 go")
                             .dataReceive()
                             .send("226 stored")));
    QTcpServer clientListener;
    QVERIFY(clientListener.listen(QHostAddress::LocalHost, 0));
    LineClient client;
    QVERIFY(client.Connect(server.Port()));
    QCOMPARE(client.ReadLine(), QByteArray("220 hi"));
    QCOMPARE(client.Command("PORT " + PortArgument(clientListener.serverPort())), QByteArray("200 PORT command successful."));
    QCOMPARE(client.Command("STOR f.txt"), QByteArray("150 go"));
    QTRY_VERIFY(clientListener.hasPendingConnections());
    QTcpSocket *data = clientListener.nextPendingConnection();
    data->write(upload);
    data->disconnectFromHost();
    QCOMPARE(client.ReadLine(), QByteArray("226 stored"));
    QCOMPARE(server.ReceivedData(), QByteArrayList{upload});
    QVERIFY2(server.Finished(), qPrintable(server.Status()));
    QCOMPARE(server.Mismatches(), QStringList());
}

void FixturesTest::portOutsideLoopbackIsNeverContacted()
{
    ScriptedFtpServer server;
    QVERIFY(server.Start(FtpScript().send("220 hi").expectPort().dataConnect().send("226 never")));
    LineClient client;
    QVERIFY(client.Connect(server.Port()));
    QCOMPARE(client.ReadLine(), QByteArray("220 hi"));
    QCOMPARE(client.Command("PORT 10,0,0,1,4,1"), QByteArray("500 Illegal PORT command."));
    // With no data target, the data step fails at once instead of connecting anywhere.
    QCOMPARE(client.ReadLine(), QByteArray("226 never"));
    QCOMPARE(server.Mismatches().size(), 2);
    QVERIFY(server.Mismatches().at(0).contains(QLatin1String("10.0.0.1")));
    QVERIFY(server.Mismatches().at(1).contains(QLatin1String("no data connection")));
}

void FixturesTest::pyftpdLogins_data()
{
    QTest::addColumn<QByteArray>("user");
    QTest::addColumn<QByteArray>("password");
    QTest::addColumn<QByteArray>("expectedCode");
    QTest::addColumn<QByteArray>("visibleFile");
    QTest::newRow("anonymous") << QByteArray("anonymous") << QByteArray("guest@example.com") << QByteArray("230") << QByteArray("racine.txt");
    QTest::newRow("default user") << QByteArray(PyFtpdServer::DefaultUser) << QByteArray(PyFtpdServer::DefaultPassword)
                                  << QByteArray("230") << QByteArray("racine.txt");
    QTest::newRow("wrong password") << QByteArray(PyFtpdServer::DefaultUser) << QByteArray("nope") << QByteArray("530") << QByteArray();
    QTest::newRow("extra user, own home") << QByteArray("alice") << QByteArray("-pw:with spaces") << QByteArray("230") << QByteArray("alice.txt");
}

void FixturesTest::pyftpdLogins()
{
    if (!PyFtpdServer::Available())
        QSKIP(PyFtpdServer::UnavailableMessage());
    QFETCH(QByteArray, user);
    QFETCH(QByteArray, password);
    QFETCH(QByteArray, expectedCode);
    QFETCH(QByteArray, visibleFile);

    PyFtpdServer server;
    server.SetBanner(QStringLiteral("Serveur de test"));
    server.AddUser(QStringLiteral("alice"), QStringLiteral("-pw:with spaces"), QStringLiteral("alice/home"));
    QVERIFY2(server.Start(), qPrintable(server.ErrorString()));
    for (const QString &path : {QStringLiteral("/racine.txt"), QStringLiteral("/alice/home/alice.txt")}) {
        QFile file(server.RootPath() + path);
        QVERIFY2(file.open(QIODevice::WriteOnly), qPrintable(file.fileName()));
    }

    LineClient client;
    QVERIFY(client.Connect(server.Port()));
    QCOMPARE(client.ReadReply(), QByteArray("220 Serveur de test"));
    QVERIFY(client.Command("USER " + user).startsWith("331"));
    const QByteArray reply = client.Command("PASS " + password);
    QVERIFY2(reply.startsWith(expectedCode), reply.constData());
    if (!visibleFile.isEmpty()) {
        QVERIFY(client.Command("PWD").startsWith("257 \"/\""));
        // The home folder is the user's "/": only its own file is there.
        QVERIFY(client.Command("MDTM " + visibleFile).startsWith("213"));
        const QByteArray other = visibleFile == "alice.txt" ? "racine.txt" : "alice.txt";
        QVERIFY(client.Command("MDTM " + other).startsWith("550"));
    }
    QVERIFY2(!QTest::currentTestFailed(), server.StandardError().constData());
}

void FixturesTest::pyftpdPassiveListing()
{
    if (!PyFtpdServer::Available())
        QSKIP(PyFtpdServer::UnavailableMessage());
    PyFtpdServer server;
    QVERIFY(QDir(server.RootPath()).mkpath(QStringLiteral("pub")));
    QFile file(server.RootPath() + QStringLiteral("/lisezmoi.txt"));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("bonjour\n");
    file.close();
    QVERIFY2(server.Start(), qPrintable(server.ErrorString()));

    LineClient client;
    QVERIFY(client.Connect(server.Port()));
    QVERIFY(client.ReadReply().startsWith("220"));
    QVERIFY(client.Command("USER " + QByteArray(PyFtpdServer::DefaultUser)).startsWith("331"));
    QVERIFY(client.Command("PASS " + QByteArray(PyFtpdServer::DefaultPassword)).startsWith("230"));
    const QByteArray pasv = client.Command("PASV");
    const quint16 port = PassivePort(pasv);
    QVERIFY2(port != 0, pasv.constData());
    QTcpSocket data;
    data.connectToHost(QHostAddress::LocalHost, port);
    QVERIFY(QTest::qWaitFor([&] { return data.state() == QAbstractSocket::ConnectedState; }, WaitMs));
    client.Send("LIST");
    QVERIFY(client.ReadLine().startsWith("1"));
    const QByteArray listing = ReadToEnd(data);
    QVERIFY(client.ReadReply().startsWith("226"));
    QVERIFY2(listing.contains(" lisezmoi.txt\r\n"), listing.constData());
    QVERIFY2(listing.contains("\r\ndrwx") || listing.startsWith("drwx"), listing.constData());
    QVERIFY2(listing.contains(" pub\r\n"), listing.constData());
}

void FixturesTest::pyftpdStops()
{
    if (!PyFtpdServer::Available())
        QSKIP(PyFtpdServer::UnavailableMessage());
    PyFtpdServer server;
    QVERIFY2(server.Start(), qPrintable(server.ErrorString()));
    const quint16 port = server.Port();
    const qint64 pid = server.ProcessId();
    QVERIFY(server.Running());
    QVERIFY(pid > 0);
    QCOMPARE(::kill(pid_t(pid), 0), 0);
    server.Stop();
    QVERIFY(!server.Running());
    QCOMPARE(::kill(pid_t(pid), 0), -1);
    QCOMPARE(errno, ESRCH);
    QTcpSocket client;
    client.connectToHost(QHostAddress::LocalHost, port);
    QVERIFY(!client.waitForConnected(WaitMs));
    QCOMPARE(client.error(), QAbstractSocket::ConnectionRefusedError);
}

void FixturesTest::pyftpdRejectsBadSetup_data()
{
    QTest::addColumn<QString>("home");
    QTest::addColumn<QString>("permissions");
    QTest::addColumn<QString>("errorPart");
    QTest::newRow("home outside the root") << "../elsewhere" << "elr" << "../elsewhere";
    QTest::newRow("absolute home") << "/etc" << "elr" << "/etc";
    // Found by pyftpdlib itself: the error carries the server's stderr.
    QTest::newRow("unknown permission") << "" << "elrZ" << "ValueError";
}

void FixturesTest::pyftpdRejectsBadSetup()
{
    QFETCH(QString, home);
    QFETCH(QString, permissions);
    QFETCH(QString, errorPart);
    if (!PyFtpdServer::Available())
        QSKIP(PyFtpdServer::UnavailableMessage());
    PyFtpdServer server;
    server.AddUser(QStringLiteral("mallory"), QStringLiteral("x"), home, permissions);
    QVERIFY(!server.Start());
    QVERIFY2(server.ErrorString().contains(errorPart), qPrintable(server.ErrorString()));
    QVERIFY(!server.Running());
}

QTEST_GUILESS_MAIN(FixturesTest)
#include "tst_fixtures.moc"
