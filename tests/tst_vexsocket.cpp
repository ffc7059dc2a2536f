// TVexSocket against Qt's own TCP classes on the loopback interface.
#include "FTPSock.h"
#include "SocketErrors.h"

#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>

#include <memory>
#include <sys/socket.h>

namespace {

constexpr const char *Loopback = "127.0.0.1";

// Records the order in which a socket's hooks run.
struct EventLog
{
    QStringList events;

    void Attach(TVexSocket &s)
    {
        s.OnConnect = [this](TVexSocket *) { events << "connect"; };
        s.OnRead = [this](TVexSocket *) { events << "read"; };
        s.OnWrite = [this](TVexSocket *) { events << "write"; };
        s.OnClose = [this](TVexSocket *) { events << "close"; };
        s.OnAccept = [this](TVexSocket *) { events << "accept"; };
        s.OnTimeOut = [this](TVexSocket *) { events << "timeout"; };
    }
};

// A port on which nothing listens: taken from the system, then released.
quint16 UnusedPort()
{
    QTcpServer probe;
    if (!probe.listen(QHostAddress::LocalHost, 0))
        return 0;
    const quint16 port = probe.serverPort();
    probe.close();
    return port;
}

// Lets queued work run for a while without waiting for anything in particular.
void RunEventsFor(int ms)
{
    QTest::qWait(ms);
}

} // namespace

class TestVexSocket : public QObject
{
    Q_OBJECT

    QTcpServer server;

    // Connects `client` to `server` and returns the peer's end.
    QTcpSocket *ConnectClient(TVexSocket &client, EventLog &log)
    {
        client.SetAddress(Loopback);
        client.SetPort(server.serverPort());
        client.CreateSocket();
        client.Connect();
        if (client.LastError() != 0)
            return nullptr;
        if (!QTest::qWaitFor([&] { return log.events.contains("connect") && server.hasPendingConnections(); }))
            return nullptr;
        return server.nextPendingConnection();
    }

private slots:
    void initTestCase()
    {
        QVERIFY(server.listen(QHostAddress::LocalHost, 0));
    }

    void closeWithoutHandle_data()
    {
        QTest::addColumn<bool>("lookupPending");
        QTest::newRow("never created") << false;
        QTest::newRow("only a lookup pending") << true;
    }

    void closeWithoutHandle()
    {
        QFETCH(bool, lookupPending);
        TVexSocket s;
        EventLog log;
        log.Attach(s);
        int resolved = 0;
        s.OnResolved = [&](TVexSocket *) { ++resolved; };
        if (lookupPending) {
            s.ResolveHost("localhost");
            QVERIFY(s.LookupPending());
        }
        s.SetLastError(WinSock::TimedOut);

        s.Close();

        QVERIFY(!s.LookupPending());
        QVERIFY(!s.HandleValid());
        QCOMPARE(s.LastError(), WinSock::TimedOut);
        RunEventsFor(300);
        QCOMPARE(resolved, 0);
        QCOMPARE(log.events, QStringList());
    }

    void operationsWithoutHandle_data()
    {
        QTest::addColumn<QString>("operation");
        QTest::newRow("Send") << "send";
        QTest::newRow("Receive") << "receive";
        QTest::newRow("Listen") << "listen";
        QTest::newRow("Connect") << "connect";
    }

    void operationsWithoutHandle()
    {
        QFETCH(QString, operation);
        TVexSocket s;
        s.SetAddress(Loopback);
        s.SetPort(server.serverPort());
        char buffer[16] = "0123456789";
        int result = 0;
        if (operation == "send")
            result = s.Send(buffer, 10);
        else if (operation == "receive")
            result = s.Receive(buffer, sizeof buffer);
        else if (operation == "listen")
            s.Listen();
        else
            s.Connect();
        QCOMPARE(result, 0);
        QCOMPARE(s.LastError(), WinSock::NotSocket);
        QCOMPARE(s.LocalPort(), quint16(0));
        QCOMPARE(s.LocalAddress(), QString());
        QVERIFY(!s.Established());
    }

    void addressRecord_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("expected");
        QTest::newRow("dotted") << "192.168.1.20" << "192.168.1.20";
        QTest::newRow("inet_addr short form") << "127.1" << "127.0.0.1";
        QTest::newRow("not an address") << "ftp.example.com" << "255.255.255.255";
        QTest::newRow("empty") << "" << "255.255.255.255";
        QTest::newRow("embedded zero") << QString::fromLatin1("10.0.0.1\0x", 10) << "255.255.255.255";
    }

    void addressRecord()
    {
        QFETCH(QString, text);
        QFETCH(QString, expected);
        TVexSocket s;
        QCOMPARE(s.AddressText(), QString("0.0.0.0"));
        s.SetAddress(text);
        QCOMPARE(s.AddressText(), expected);
    }

    void receiveWithNothingWaiting_data()
    {
        QTest::addColumn<bool>("reportWouldBlock");
        QTest::addColumn<quint16>("expectedError");
        QTest::newRow("would-block hidden") << false << WinSock::NoError;
        QTest::newRow("would-block reported") << true << WinSock::WouldBlock;
    }

    void receiveWithNothingWaiting()
    {
        QFETCH(bool, reportWouldBlock);
        QFETCH(quint16, expectedError);
        TVexSocket s;
        EventLog log;
        log.Attach(s);
        std::unique_ptr<QTcpSocket> peer(ConnectClient(s, log));
        QVERIFY(peer);
        QVERIFY(s.Established());
        s.SetReportWouldBlock(reportWouldBlock);
        s.SetLastError(WinSock::TimedOut);
        char buffer[64];
        QCOMPARE(s.Receive(buffer, sizeof buffer), 0);
        QCOMPARE(s.LastError(), expectedError);
        s.Close();
    }

    // The peer accepts nothing until the sender is stuck: the first send is
    // cut short, a later one would block, and room freeing up gives exactly
    // one FD_WRITE.
    void partialSendThenWriteAfterWouldBlock()
    {
        QTcpServer slowServer;
        QVERIFY(slowServer.listen(QHostAddress::LocalHost, 0));
        slowServer.pauseAccepting();

        TVexSocket s;
        EventLog log;
        log.Attach(s);
        s.SetAddress(Loopback);
        s.SetPort(slowServer.serverPort());
        s.CreateSocket();
        s.Connect();
        QCOMPARE(s.LastError(), WinSock::NoError);
        QTRY_COMPARE(log.events, QStringList({"connect", "write"}));
        QVERIFY(s.Established());

        // Larger than any send buffer plus receive window on the loopback.
        QByteArray payload(32 * 1024 * 1024, Qt::Uninitialized);
        for (int i = 0; i < payload.size(); ++i)
            payload[i] = char('a' + (i * 7 + i / 4096) % 26);

        const int first = s.Send(payload.constData(), int(payload.size()));
        QCOMPARE(s.LastError(), WinSock::NoError);
        QVERIFY2(first > 0 && first < payload.size(), qPrintable(QString::number(first)));
        qint64 sent = first;

        // Whatever still fits goes, then the socket reports would-block.
        s.SetReportWouldBlock(true);
        int blocked = -1;
        for (int attempt = 0; attempt < 1000 && blocked < 0; ++attempt) {
            const int n = s.Send(payload.constData() + sent, int(payload.size() - sent));
            if (n > 0)
                sent += n;
            else
                blocked = n;
        }
        QCOMPARE(blocked, 0);
        QCOMPARE(s.LastError(), WinSock::WouldBlock);
        s.SetReportWouldBlock(false);
        QCOMPARE(s.Send(payload.constData() + sent, 10), 0);
        QCOMPARE(s.LastError(), WinSock::NoError);
        QCOMPARE(log.events.count("write"), 1);

        slowServer.resumeAccepting();
        QTRY_VERIFY(slowServer.hasPendingConnections());
        std::unique_ptr<QTcpSocket> peer(slowServer.nextPendingConnection());
        QByteArray received;
        connect(peer.get(), &QTcpSocket::readyRead, this, [&] { received += peer->readAll(); });
        QTRY_COMPARE_WITH_TIMEOUT(received.size(), sent, 15000);
        QCOMPARE(received, payload.left(sent));
        QTRY_COMPARE(log.events.count("write"), 2);
        RunEventsFor(200);
        QCOMPARE(log.events.count("write"), 2);
        s.Close();
    }

    void peerClose_data()
    {
        QTest::addColumn<QByteArray>("peerSends");
        QTest::addColumn<bool>("reset");
        QTest::addColumn<bool>("closeInRead");
        QTest::addColumn<QStringList>("expectedTail");
        QTest::addColumn<QByteArray>("expectedData");
        QTest::addColumn<quint16>("errorAtClose");
        const QByteArray welcome("220 Welcome\r\n");
        const QStringList readWriteClose {"read", "write", "close"};
        QTest::newRow("orderly close after data")
            << welcome << false << false << readWriteClose << welcome << WinSock::NoError;
        QTest::newRow("orderly close, nothing sent")
            << QByteArray() << false << false << readWriteClose << QByteArray() << WinSock::NoError;
        QTest::newRow("reset by peer")
            << QByteArray() << true << false << readWriteClose << QByteArray() << WinSock::ConnectionReset;
        QTest::newRow("OnRead closes on data")
            << welcome << false << true << QStringList({"read", "close"}) << QByteArray() << WinSock::NoError;
        QTest::newRow("OnRead closes on peer close")
            << QByteArray() << false << true << QStringList({"read", "close"}) << QByteArray() << WinSock::NoError;
    }

    void peerClose()
    {
        QFETCH(QByteArray, peerSends);
        QFETCH(bool, reset);
        QFETCH(bool, closeInRead);
        QFETCH(QStringList, expectedTail);
        QFETCH(QByteArray, expectedData);
        QFETCH(quint16, errorAtClose);

        TVexSocket s;
        EventLog log;
        log.Attach(s);
        std::unique_ptr<QTcpSocket> peer(ConnectClient(s, log));
        QVERIFY(peer);
        QTRY_VERIFY(log.events.contains("write"));

        QByteArray data;
        s.OnRead = [&](TVexSocket *sock) {
            log.events << "read";
            if (closeInRead) {
                sock->Close();
                return;
            }
            char buffer[4];
            for (int n; (n = sock->Receive(buffer, sizeof buffer)) > 0;)
                data.append(buffer, n);
        };
        bool establishedAtClose = true;
        bool handleAtClose = true;
        quint16 lastErrorAtClose = 0xFFFF;
        s.OnClose = [&](TVexSocket *sock) {
            log.events << "close";
            establishedAtClose = sock->Established();
            handleAtClose = sock->HandleValid();
            lastErrorAtClose = sock->LastError();
        };

        const int before = int(log.events.size());
        if (reset) {
            const linger abortive {1, 0};
            QCOMPARE(::setsockopt(int(peer->socketDescriptor()), SOL_SOCKET, SO_LINGER, &abortive, sizeof abortive), 0);
            peer->abort();
        } else {
            if (!peerSends.isEmpty())
                peer->write(peerSends);
            peer->disconnectFromHost();
        }
        QTRY_VERIFY(log.events.contains("close"));
        RunEventsFor(200);

        const QStringList after = log.events.mid(before);
        QVERIFY2(after.size() >= expectedTail.size(), qPrintable(after.join(',')));
        QCOMPARE(after.mid(after.size() - expectedTail.size()), expectedTail);
        QCOMPARE(after.count("close"), 1);
        if (closeInRead)
            QCOMPARE(after, expectedTail);
        QCOMPARE(data, expectedData);
        QVERIFY(!establishedAtClose);
        QVERIFY(!handleAtClose);
        QCOMPARE(lastErrorAtClose, errorAtClose);

        // Closing again finds no handle and reports nothing.
        s.Close();
        QCOMPARE(log.events.count("close"), 1);
    }

    void countdownStoppedByNotification_data()
    {
        QTest::addColumn<QString>("notification");
        QTest::newRow("FD_CONNECT") << "connect";
        QTest::newRow("FD_READ") << "read";
    }

    void countdownStoppedByNotification()
    {
        QFETCH(QString, notification);
        TVexSocket s;
        EventLog log;
        log.Attach(s);
        s.SetTimeOut(1);
        std::unique_ptr<QTcpSocket> peer(ConnectClient(s, log));
        QVERIFY(peer);
        if (notification == "read") {
            s.OnRead = [&](TVexSocket *sock) {
                log.events << "read";
                char buffer[16];
                sock->Receive(buffer, sizeof buffer);
            };
            s.StartCountdown(1);
            peer->write("x");
            QTRY_VERIFY(log.events.contains("read"));
        }
        // Well past the one second the countdown had.
        RunEventsFor(2500);
        QVERIFY2(!log.events.contains("timeout"), qPrintable(log.events.join(',')));
        QVERIFY(s.HandleValid());
        QVERIFY(s.Established());
        s.Close();
    }

    void countdownExpiry_data()
    {
        QTest::addColumn<bool>("hasTimeOutHandler");
        QTest::newRow("OnTimeOut assigned") << true;
        QTest::newRow("no OnTimeOut: the socket closes itself") << false;
    }

    void countdownExpiry()
    {
        QFETCH(bool, hasTimeOutHandler);
        TVexSocket s;
        EventLog log;
        log.Attach(s);
        if (!hasTimeOutHandler)
            s.OnTimeOut = nullptr;
        s.CreateSocket();
        QVERIFY(s.HandleValid());
        s.StartCountdown(1);
        QTRY_VERIFY(!log.events.isEmpty());
        RunEventsFor(1500);
        QCOMPARE(log.events, QStringList(hasTimeOutHandler ? "timeout" : "close"));
        QCOMPARE(s.HandleValid(), hasTimeOutHandler);
        s.Close();
    }

    void connectFailure_data()
    {
        QTest::addColumn<QString>("address");
        QTest::addColumn<bool>("refusedPort");
        QTest::addColumn<quint16>("immediateError");
        QTest::addColumn<quint16>("connectError");
        QTest::newRow("refused") << QString(Loopback) << true << WinSock::NoError << WinSock::ConnectionRefused;
        QTest::newRow("wildcard address") << "0.0.0.0" << false << WinSock::AddressNotAvailable << quint16(0);
        QTest::newRow("port 0") << QString(Loopback) << false << WinSock::AddressNotAvailable << quint16(0);
    }

    void connectFailure()
    {
        QFETCH(QString, address);
        QFETCH(bool, refusedPort);
        QFETCH(quint16, immediateError);
        QFETCH(quint16, connectError);
        TVexSocket s;
        EventLog log;
        log.Attach(s);
        quint16 errorAtConnect = 0xFFFF;
        s.OnConnect = [&](TVexSocket *sock) {
            log.events << "connect";
            errorAtConnect = sock->LastError();
        };
        const quint16 port = refusedPort ? UnusedPort() : 0;
        if (refusedPort)
            QVERIFY(port != 0);
        s.SetAddress(address);
        s.SetPort(port);
        s.CreateSocket();
        s.Connect();
        QCOMPARE(s.LastError(), immediateError);
        if (immediateError == WinSock::NoError) {
            QTRY_VERIFY(log.events.contains("connect"));
            QCOMPARE(errorAtConnect, connectError);
        } else {
            RunEventsFor(200);
            QCOMPARE(log.events, QStringList());
        }
        QVERIFY(!s.Established());
        QVERIFY(s.HandleValid());
        s.Close();
        QCOMPARE(log.events.count("close"), 1);
        QVERIFY(!s.HandleValid());
    }

    // Lookups never leave the machine: "localhost" comes from the hosts file,
    // numeric names need no resolver (not even a reverse query), and the
    // failing names are refused before any query: a blank is no valid
    // host-name character, and no host name exceeds 253 characters.
    void resolveHost_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<quint16>("expectedError");
        QTest::addColumn<QString>("expectedAddress");
        QTest::newRow("localhost") << "localhost" << WinSock::NoError << "127.0.0.1";
        QTest::newRow("numeric") << "127.0.0.9" << WinSock::NoError << "127.0.0.9";
        QTest::newRow("numeric short form") << "127.1" << WinSock::NoError << "127.0.0.1";
        QTest::newRow("numeric followed by junk") << "127.0.0.1 junk" << WinSock::HostNotFound << "0.0.0.0";
        QTest::newRow("IPv6 literal") << "::1" << WinSock::NoData << "0.0.0.0";
        QTest::newRow("unknown host") << "no such host.invalid" << WinSock::HostNotFound << "0.0.0.0";
        QTest::newRow("empty name") << "" << WinSock::HostNotFound << "0.0.0.0";
        QTest::newRow("longer than any host name")
            << QString("a").repeated(250) + ".invalid" << WinSock::HostNotFound << "0.0.0.0";
    }

    void resolveHost()
    {
        QFETCH(QString, name);
        QFETCH(quint16, expectedError);
        QFETCH(QString, expectedAddress);
        TVexSocket s;
        QList<quint16> results;
        s.OnResolved = [&](TVexSocket *sock) { results << sock->LastError(); };
        s.ResolveHost(name);
        QCOMPARE(s.LastError(), WinSock::NoError);
        QVERIFY(s.LookupPending());
        s.ResolveHost("127.0.0.2"); // ignored while the first one runs
        QTRY_COMPARE(results.size(), 1);
        QCOMPARE(results.first(), expectedError);
        QVERIFY(!s.LookupPending());
        s.UseResolvedAddress();
        QCOMPARE(s.AddressText(), expectedAddress);
        RunEventsFor(200);
        QCOMPARE(results.size(), 1);
    }

    void listenAndAccept()
    {
        TVexSocket listener;
        EventLog listenerLog;
        listenerLog.Attach(listener);
        listener.SetAddress(Loopback);
        listener.SetPort(0);
        listener.CreateSocket();
        listener.Listen();
        QCOMPARE(listener.LastError(), WinSock::NoError);
        const quint16 port = listener.LocalPort();
        QVERIFY(port != 0);
        QCOMPARE(listener.LocalAddress(), QString(Loopback));

        // The chosen port is really the one listening: a second listener on it fails.
        TVexSocket rival;
        rival.SetAddress(Loopback);
        rival.SetPort(port);
        rival.CreateSocket();
        rival.Listen();
        QCOMPARE(rival.LastError(), WinSock::AddressInUse);

        std::vector<std::unique_ptr<TVexSocket>> accepted;
        std::vector<std::unique_ptr<EventLog>> acceptedLogs;
        listener.OnAccept = [&](TVexSocket *l) {
            listenerLog.events << "accept";
            accepted.push_back(std::make_unique<TVexSocket>());
            acceptedLogs.push_back(std::make_unique<EventLog>());
            acceptedLogs.back()->Attach(*accepted.back());
            accepted.back()->Accept(l);
        };

        QTcpSocket first;
        first.connectToHost(QHostAddress::LocalHost, port);
        QTRY_COMPARE(accepted.size(), size_t(1));
        TVexSocket &a = *accepted.front();
        QCOMPARE(a.LastError(), WinSock::NoError);
        QVERIFY(a.Established());
        QCOMPARE(a.AddressText(), QString(Loopback));
        QCOMPARE(a.LocalPort(), port);
        QTRY_COMPARE(acceptedLogs.front()->events, QStringList("write"));

        QByteArray fromPeer;
        a.OnRead = [&](TVexSocket *sock) {
            char buffer[64];
            for (int n; (n = sock->Receive(buffer, sizeof buffer)) > 0;)
                fromPeer.append(buffer, n);
        };
        QTRY_COMPARE(first.state(), QAbstractSocket::ConnectedState);
        first.write("PORT 127,0,0,1");
        QTRY_COMPARE(fromPeer, QByteArray("PORT 127,0,0,1"));
        QCOMPARE(a.Send("200 OK", 6), 6);
        QCOMPARE(a.LastError(), WinSock::NoError);
        QTRY_COMPARE(first.bytesAvailable(), qint64(6));
        QCOMPARE(first.readAll(), QByteArray("200 OK"));

        // Accept asked for the next FD_ACCEPT.
        QTcpSocket second;
        second.connectToHost(QHostAddress::LocalHost, port);
        QTRY_COMPARE(accepted.size(), size_t(2));
        QVERIFY(accepted.back()->Established());

        // An accept with no connection waiting fails and leaves no handle.
        TVexSocket spare;
        spare.CreateSocket();
        spare.Accept(&listener);
        QCOMPARE(spare.LastError(), WinSock::WouldBlock);
        QVERIFY(!spare.HandleValid());
        QVERIFY(!spare.Established());
        spare.Accept(nullptr);
        QCOMPARE(spare.LastError(), WinSock::NotSocket);

        listener.Close();
        QCOMPARE(listenerLog.events, QStringList({"accept", "accept", "close"}));
        QCOMPARE(listener.LocalPort(), quint16(0));
    }

    // The owner destroys a socket it no longer needs: the connection goes
    // away, and neither the socket's hooks nor a pending lookup call back.
    void destructionIsSilent()
    {
        auto s = std::make_unique<TVexSocket>();
        EventLog log;
        log.Attach(*s);
        int resolved = 0;
        s->OnResolved = [&](TVexSocket *) { ++resolved; };
        int messages = 0;
        s->OnMessage = [&](TVexSocket *, int, qintptr, qintptr) { ++messages; };
        std::unique_ptr<QTcpSocket> peer(ConnectClient(*s, log));
        QVERIFY(peer);
        QTRY_VERIFY(log.events.contains("write"));
        const QStringList before = log.events;
        s->ResolveHost("localhost");
        s->StartCountdown(1);
        s->PostMessage(1028);

        s.reset();

        QTRY_COMPARE(peer->state(), QAbstractSocket::UnconnectedState);
        RunEventsFor(1500);
        QCOMPARE(log.events, before);
        QCOMPARE(resolved, 0);
        QCOMPARE(messages, 0);
    }

    void postedMessages()
    {
        TVexSocket s;
        QList<QList<qint64>> delivered;
        s.OnMessage = [&](TVexSocket *sock, int message, qintptr wparam, qintptr lparam) {
            delivered << QList<qint64>({message, wparam, lparam});
            if (message == 1026)
                sock->PostMessage(1030, 5, 6);
        };
        s.PostMessage(1026, 1, 2);
        s.PostMessage(TVexSocket::SocketNotifyMessage, 9, 9); // not an owner message
        s.PostMessage(1028, 3, 4);
        QVERIFY(delivered.isEmpty());

        for (int pass = 0; pass < 100 && delivered.size() < 3; ++pass)
            QCoreApplication::processEvents();

        const QList<QList<qint64>> expected {{1026, 1, 2}, {1028, 3, 4}, {1030, 5, 6}};
        QCOMPARE(delivered, expected);
    }
};

QTEST_GUILESS_MAIN(TestVexSocket)
#include "tst_vexsocket.moc"
