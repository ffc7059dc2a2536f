// The dial-up component on a scripted service: listing entries, dialling,
// reporting and hanging up connections, addresses and status texts; and the
// choice of backend on machines without NetworkManager.

#include "DialUp.h"
#include "DialUpBackend.h"
#include "NetworkManagerDialUpBackend.h"
#include "ScriptedDialUpBackend.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QProcess>
#include <QStandardPaths>
#include <QtTest>

namespace {

// Records every event of a component as one line, and reacts to two of them
// the way the main window does: a connect lists the connections at once, and
// while quitting every reported connection is hung up.
struct TEventLog {
    QStringList events;
    bool quitting = false;

    void Attach(TDialUp &dialUp)
    {
        dialUp.OnEntryGet = [this](TDialUp *, const QString &name) { events << QStringLiteral("EntryGet ") + name; };
        dialUp.OnDialing = [this](TDialUp *) { events << QStringLiteral("Dialing"); };
        dialUp.OnConnect = [this](TDialUp *sender) {
            events << QStringLiteral("Connect");
            sender->GetConnections();
        };
        dialUp.OnNotConnected = [this](TDialUp *, int code, const QString &text) {
            events << QStringLiteral("NotConnected %1 %2").arg(code).arg(text);
        };
        dialUp.OnAsyncEvent = [this](TDialUp *, int state, int error, const QString &text) {
            events << QStringLiteral("Async %1 %2 %3").arg(state).arg(error).arg(text);
        };
        dialUp.OnError = [this](TDialUp *, int code, const QString &text) {
            events << QStringLiteral("Error %1 %2").arg(code).arg(text);
        };
        dialUp.OnActiveConnection = [this](TDialUp *sender, TRasHandle handle, const TRasConnStatus &status,
                                           const QString &text, const QString &entry, const QString &type,
                                           const QString &device) {
            events << QStringLiteral("Active %1 %2 %3 %4 %5 [%6]")
                          .arg(handle)
                          .arg(entry, type, device, text)
                          .arg(status.State);
            if (quitting)
                sender->HangUpConnection(handle);
        };
    }
};

// A component on a scripted service; the test keeps a pointer to the script.
struct TDialUpUnderTest {
    TDialUpUnderTest() : backend(new TScriptedDialUpBackend), dialUp(std::unique_ptr<TDialUpBackend>(backend))
    {
        log.Attach(dialUp);
    }
    TScriptedDialUpBackend *backend;
    TDialUp dialUp;
    TEventLog log;
};

QStringList NumberedEntries(int count)
{
    QStringList names;
    for (int i = 1; i <= count; ++i)
        names << QStringLiteral("Fournisseur %1").arg(i);
    return names;
}

QStringList Prefixed(const QString &prefix, const QStringList &names)
{
    QStringList lines;
    for (const QString &name : names)
        lines << prefix + name;
    return lines;
}

} // namespace

using TNotifications = QList<QPair<int, int>>;

class TestDialUp : public QObject
{
    Q_OBJECT

private slots:
    void getEntries_data();
    void getEntries();
    void getEntriesForgetsTheLastList();
    void dialSync_data();
    void dialSync();
    void dialHangsUpItsPreviousConnectionFirst();
    void dialRefusedWhileDialling();
    void dialAsync_data();
    void dialAsync();
    void destroyedWhileNotificationsArePending();
    void getConnections_data();
    void getConnections();
    void twoActiveConnectionsShowTheLast();
    void hangUpEveryConnectionWhileQuitting();
    void hangUpOnlyTheDialledConnection();
    void hangUpConnection_data();
    void hangUpConnection();
    void hangUpProcessesEventsWhileWaiting();
    void getIPAddresses_data();
    void getIPAddresses();
    void statusText_data();
    void statusText();
    void otherLanguagesCoverTheSameStates();
    void emptyBackend();
    void factoryWithoutAnyBus();
    void factoryWithABusButNoNetworkManager();
    void factoryOnThisMachine();
    void installedFactory();
};

void TestDialUp::getEntries_data()
{
    QTest::addColumn<QStringList>("entries");
    QTest::addColumn<int>("failure");
    QTest::addColumn<int>("expectedResult");
    QTest::addColumn<QStringList>("expectedEntries");

    QTest::newRow("two entries") << QStringList{"Maison", "Bureau (secours)"} << 0 << 0
                                 << QStringList{"Maison", "Bureau (secours)"};
    QTest::newRow("no entry") << QStringList{} << 0 << 0 << QStringList{};
    QTest::newRow("exactly 100 entries") << NumberedEntries(100) << 0 << 0 << NumberedEntries(100);
    QTest::newRow("101 entries overflow the buffer") << NumberedEntries(101) << 0 << int(rasBufferTooSmall)
                                                     << QStringList{};
    QTest::newRow("service stopped answering") << QStringList{"Maison"} << int(rasServiceUnavailable)
                                               << int(rasServiceUnavailable) << QStringList{};
}

void TestDialUp::getEntries()
{
    QFETCH(QStringList, entries);
    QFETCH(int, failure);
    QFETCH(int, expectedResult);
    QFETCH(QStringList, expectedEntries);

    TDialUpUnderTest t;
    for (const QString &name : entries)
        t.backend->AddEntry(name);
    t.backend->SetFailure(QStringLiteral("EnumEntries"), failure);

    QCOMPARE(t.dialUp.GetEntries(), expectedResult);
    QCOMPARE(t.dialUp.Entries(), expectedEntries);
    QCOMPARE(t.log.events, Prefixed(QStringLiteral("EntryGet "), expectedEntries));
}

void TestDialUp::getEntriesForgetsTheLastList()
{
    TDialUpUnderTest t;
    t.backend->AddEntry(QStringLiteral("Maison"));
    QCOMPARE(t.dialUp.GetEntries(), 0);
    QCOMPARE(t.dialUp.Entries(), QStringList{"Maison"});

    t.backend->SetFailure(QStringLiteral("EnumEntries"), rasServiceUnavailable);
    QCOMPARE(t.dialUp.GetEntries(), int(rasServiceUnavailable));
    QVERIFY(t.dialUp.Entries().isEmpty());
}

void TestDialUp::dialSync_data()
{
    QTest::addColumn<QString>("entry");
    QTest::addColumn<int>("dialResult");
    QTest::addColumn<bool>("returnsHandle");
    QTest::addColumn<int>("expectedResult");
    QTest::addColumn<QStringList>("expectedEvents");
    QTest::addColumn<QStringList>("expectedCalls");
    QTest::addColumn<int>("connectionsLeft");

    QTest::newRow("line comes up") << "Maison" << 0 << true << 0
        << QStringList{"Dialing", "Connect", "Active 1 Maison modem ttyS0 Connecté [8192]"}
        << QStringList{"GetEntryDialParams Maison", "Dial Maison", "EnumConnections", "GetConnectStatus 1"} << 1;
    QTest::newRow("no answer, line opened and dropped") << "Maison" << int(rasNoAnswer) << true << int(rasNoAnswer)
        << QStringList{"Dialing", "NotConnected 678 L'ordinateur distant ne répond pas."}
        << QStringList{"GetEntryDialParams Maison", "Dial Maison", "HangUp 1", "GetConnectStatus 1",
                       "GetErrorString 678"}
        << 0;
    QTest::newRow("busy, nothing opened") << "Maison" << int(rasLineBusy) << false << int(rasLineBusy)
        << QStringList{"Dialing", "NotConnected 676 La ligne est occupée."}
        << QStringList{"GetEntryDialParams Maison", "Dial Maison", "GetErrorString 676"} << 0;
    QTest::newRow("unknown entry") << "Ailleurs" << 0 << true << int(rasCannotFindEntry)
        << QStringList{"Error 623 GetEntryDialParams failed"} << QStringList{"GetEntryDialParams Ailleurs"} << 0;
    QTest::newRow("no entry selected") << "" << 0 << true << int(rasCannotFindEntry)
        << QStringList{"Error 623 GetEntryDialParams failed"} << QStringList{"GetEntryDialParams "} << 0;
}

void TestDialUp::dialSync()
{
    QFETCH(QString, entry);
    QFETCH(int, dialResult);
    QFETCH(bool, returnsHandle);
    QFETCH(int, expectedResult);
    QFETCH(QStringList, expectedEvents);
    QFETCH(QStringList, expectedCalls);
    QFETCH(int, connectionsLeft);

    TDialUpUnderTest t;
    t.backend->AddEntry(QStringLiteral("Maison"));
    TScriptedDial script;
    script.Result = dialResult;
    script.ReturnsHandle = returnsHandle;
    t.backend->QueueDial(script);
    t.dialUp.SetDialMode(dmSync);
    t.dialUp.SetEntry(entry);

    QCOMPARE(t.dialUp.Dial(), expectedResult);
    QCOMPARE(t.log.events, expectedEvents);
    QCOMPARE(t.backend->Calls(), expectedCalls);
    QCOMPARE(t.backend->Connections().size(), connectionsLeft);
    QCOMPARE(t.dialUp.ConnectionHandle(), expectedResult == 0 ? TRasHandle(1) : TRasHandle(0));
}

void TestDialUp::dialHangsUpItsPreviousConnectionFirst()
{
    TDialUpUnderTest t;
    t.backend->AddEntry(QStringLiteral("Maison"));
    t.backend->AddEntry(QStringLiteral("Bureau"));
    t.dialUp.SetEntry(QStringLiteral("Maison"));
    QCOMPARE(t.dialUp.Dial(), 0);
    QCOMPARE(t.dialUp.ConnectionHandle(), TRasHandle(1));

    t.backend->ClearCalls();
    t.dialUp.SetEntry(QStringLiteral("Bureau"));
    QCOMPARE(t.dialUp.Dial(), 0);
    QCOMPARE(t.backend->Calls().mid(0, 4),
             (QStringList{"HangUp 1", "GetConnectStatus 1", "GetEntryDialParams Bureau", "Dial Bureau"}));
    QCOMPARE(t.dialUp.ConnectionHandle(), TRasHandle(2));
    const QList<TRasConnection> up = t.backend->Connections();
    QCOMPARE(up.size(), 1);
    QCOMPARE(up.first().EntryName, QStringLiteral("Bureau"));
}

void TestDialUp::dialRefusedWhileDialling()
{
    TDialUpUnderTest t;
    t.backend->AddEntry(QStringLiteral("Maison"));
    t.dialUp.SetEntry(QStringLiteral("Maison"));
    int inner = -1;
    TScriptedDial script;
    script.During = [&] { inner = t.dialUp.Dial(); };
    t.backend->QueueDial(script);

    QCOMPARE(t.dialUp.Dial(), 0);
    QCOMPARE(inner, int(rasDialInProgress));
    QCOMPARE(t.backend->Calls().count(QStringLiteral("Dial Maison")), 1);
    QCOMPARE(t.backend->Connections().size(), 1);
}

void TestDialUp::dialAsync_data()
{
    QTest::addColumn<int>("dialResult");
    QTest::addColumn<TNotifications>("notifications");
    QTest::addColumn<bool>("fromThread");
    QTest::addColumn<QStringList>("expectedEvents");

    const TNotifications lineUp{{rascsOpenPort, 0}, {rascsConnectDevice, 0}, {rascsConnected, 0}};
    const QStringList lineUpEvents{"Dialing", "Async 0 0 Ouverture du port", "Async 2 0 Connection du périphérique",
                                   "Async 8192 0 Connecté"};
    QTest::newRow("line comes up") << 0 << lineUp << false << lineUpEvents;
    QTest::newRow("line comes up, notified from another thread") << 0 << lineUp << true << lineUpEvents;
    QTest::newRow("no answer")
        << 0 << TNotifications{{rascsOpenPort, 0}, {rascsDisconnected, int(rasNoAnswer)}} << true
        << QStringList{"Dialing", "Async 0 0 Ouverture du port",
                       "Async 8193 678 L'ordinateur distant ne répond pas."};
    QTest::newRow("immediate failure") << int(rasNoDialTone) << TNotifications{} << false
                                       << QStringList{"Dialing", "Error 680 Pas de tonalité."};
}

void TestDialUp::dialAsync()
{
    QFETCH(int, dialResult);
    QFETCH(TNotifications, notifications);
    QFETCH(bool, fromThread);
    QFETCH(QStringList, expectedEvents);

    TDialUpUnderTest t;
    t.backend->AddEntry(QStringLiteral("Maison"));
    TScriptedDial script;
    script.Result = dialResult;
    script.ReturnsHandle = false;
    script.Notifications = notifications;
    script.NotifyFromThread = fromThread;
    t.backend->QueueDial(script);
    t.dialUp.SetDialMode(dmAsync);
    t.dialUp.SetEntry(QStringLiteral("Maison"));

    QCOMPARE(t.dialUp.Dial(), dialResult);
    // Notifications reach the owner only from the event loop, after Dial.
    QCOMPARE(t.log.events, expectedEvents.mid(0, dialResult == 0 ? 1 : 2));
    QTRY_COMPARE_WITH_TIMEOUT(t.log.events, expectedEvents, 2000);
    QTest::qWait(20);
    QCOMPARE(t.log.events, expectedEvents);
}

void TestDialUp::destroyedWhileNotificationsArePending()
{
    for (const bool fromThread : {false, true}) {
        auto *backend = new TScriptedDialUpBackend;
        auto dialUp = std::make_unique<TDialUp>(std::unique_ptr<TDialUpBackend>(backend));
        TEventLog log;
        log.Attach(*dialUp);
        backend->AddEntry(QStringLiteral("Maison"));
        TScriptedDial script;
        script.Notifications = {{rascsOpenPort, 0}, {rascsConnected, 0}};
        script.NotifyFromThread = fromThread;
        backend->QueueDial(script);
        dialUp->SetDialMode(dmAsync);
        dialUp->SetEntry(QStringLiteral("Maison"));
        QCOMPARE(dialUp->Dial(), 0);
        dialUp.reset();
        QTest::qWait(20);
        QCOMPARE(log.events, QStringList{"Dialing"});
    }
}

void TestDialUp::getConnections_data()
{
    QTest::addColumn<int>("count");
    QTest::addColumn<int>("failure");
    QTest::addColumn<int>("expectedResult");
    QTest::addColumn<int>("expectedEvents");

    QTest::newRow("none") << 0 << 0 << 0 << 0;
    QTest::newRow("one") << 1 << 0 << 0 << 1;
    QTest::newRow("100") << 100 << 0 << 0 << 100;
    QTest::newRow("101 overflow the buffer") << 101 << 0 << int(rasBufferTooSmall) << 0;
    QTest::newRow("service stopped answering") << 2 << int(rasServiceUnavailable) << int(rasServiceUnavailable) << 0;
}

void TestDialUp::getConnections()
{
    QFETCH(int, count);
    QFETCH(int, failure);
    QFETCH(int, expectedResult);
    QFETCH(int, expectedEvents);

    TDialUpUnderTest t;
    for (const QString &name : NumberedEntries(count))
        t.backend->AddConnection(name, QStringLiteral("modem"), QStringLiteral("ttyS0"));
    t.backend->SetFailure(QStringLiteral("EnumConnections"), failure);

    QCOMPARE(t.dialUp.GetConnections(), expectedResult);
    QCOMPARE(t.log.events.size(), expectedEvents);
}

void TestDialUp::twoActiveConnectionsShowTheLast()
{
    TDialUpUnderTest t;
    const TRasHandle home = t.backend->AddConnection(QStringLiteral("Maison"), QStringLiteral("modem"),
                                                     QStringLiteral("ttyS0"), rascsAuthNotify);
    const TRasHandle office = t.backend->AddConnection(QStringLiteral("Bureau"), QStringLiteral("vpn"),
                                                       QStringLiteral("tun0"));
    const TRasHandle dropped = t.backend->AddConnection(QStringLiteral("Secours"), QStringLiteral("modem"),
                                                        QStringLiteral("ttyS1"));
    t.backend->SetConnectionStatus(dropped, rascsDisconnected, rasPortDisconnected);

    // What the main window's handler keeps: the last report wins.
    QString label;
    QString type;
    t.dialUp.OnActiveConnection = [&](TDialUp *, TRasHandle, const TRasConnStatus &, const QString &,
                                      const QString &entry, const QString &, const QString &device) {
        label = QStringLiteral("&Connexion active: ") + entry;
        type = QStringLiteral("&Type :") + device;
    };
    QCOMPARE(t.dialUp.GetConnections(), 0);
    QCOMPARE(label, QStringLiteral("&Connexion active: Secours"));
    QCOMPARE(type, QStringLiteral("&Type :ttyS1"));

    t.log.Attach(t.dialUp);
    QCOMPARE(t.dialUp.GetConnections(), 0);
    QCOMPARE(t.log.events,
             (QStringList{QStringLiteral("Active %1 Maison modem ttyS0 Authentification: en cours [6]").arg(home),
                          QStringLiteral("Active %1 Bureau vpn tun0 Connecté [8192]").arg(office),
                          QStringLiteral("Active %1 Secours modem ttyS1 La connexion a été interrompue. [8193]")
                              .arg(dropped)}));
}

void TestDialUp::hangUpEveryConnectionWhileQuitting()
{
    TDialUpUnderTest t;
    t.backend->AddEntry(QStringLiteral("Maison"));
    t.backend->AddConnection(QStringLiteral("Bureau"), QStringLiteral("vpn"), QStringLiteral("tun0"));
    t.dialUp.SetEntry(QStringLiteral("Maison"));
    QCOMPARE(t.dialUp.Dial(), 0);
    QCOMPARE(t.backend->Connections().size(), 2);
    t.backend->SetHangUpLinger(2);

    // Not quitting: everything stays up.
    t.log.events.clear();
    QCOMPARE(t.dialUp.GetConnections(), 0);
    QCOMPARE(t.log.events.size(), 2);
    QCOMPARE(t.backend->Connections().size(), 2);

    // Quitting: each reported connection is hung up and waited for.
    t.log.quitting = true;
    t.backend->ClearCalls();
    QCOMPARE(t.dialUp.GetConnections(), 0);
    QVERIFY(t.backend->Connections().isEmpty());
    const QStringList calls = t.backend->Calls();
    QCOMPARE(calls.count(QStringLiteral("HangUp 1")), 1);
    QCOMPARE(calls.count(QStringLiteral("HangUp 2")), 1);
    // Two reads still show the line going down; the third finds it gone.
    QCOMPARE(calls.count(QStringLiteral("GetConnectStatus 1")), 1 + 3);
    QCOMPARE(calls.count(QStringLiteral("GetConnectStatus 2")), 1 + 3);
    QCOMPARE(t.dialUp.ConnectionHandle(), TRasHandle(0));

    t.log.events.clear();
    QCOMPARE(t.dialUp.GetConnections(), 0);
    QVERIFY(t.log.events.isEmpty());
}

void TestDialUp::hangUpOnlyTheDialledConnection()
{
    TDialUpUnderTest t;
    t.backend->AddEntry(QStringLiteral("Maison"));
    const TRasHandle foreign = t.backend->AddConnection(QStringLiteral("Bureau"), QStringLiteral("vpn"),
                                                        QStringLiteral("tun0"));
    QCOMPARE(t.dialUp.HangUp(), int(rasInvalidHandle)); // nothing dialled yet

    t.dialUp.SetEntry(QStringLiteral("Maison"));
    QCOMPARE(t.dialUp.Dial(), 0);
    const TRasHandle dialled = t.dialUp.ConnectionHandle();
    QVERIFY(dialled != 0 && dialled != foreign);

    QCOMPARE(t.dialUp.HangUp(), 0);
    QCOMPARE(t.dialUp.ConnectionHandle(), TRasHandle(0));
    const QList<TRasConnection> up = t.backend->Connections();
    QCOMPARE(up.size(), 1);
    QCOMPARE(up.first().Handle, foreign);
    QCOMPARE(t.dialUp.HangUp(), int(rasInvalidHandle));
}

void TestDialUp::hangUpConnection_data()
{
    QTest::addColumn<bool>("known");
    QTest::addColumn<int>("linger");
    QTest::addColumn<int>("expectedResult");
    QTest::addColumn<int>("expectedStatusReads");
    QTest::addColumn<bool>("expectedGone");

    QTest::newRow("gone at once") << true << 0 << 0 << 1 << true;
    QTest::newRow("goes after three reads") << true << 3 << 0 << 4 << true;
    QTest::newRow("unknown handle") << false << 0 << int(rasInvalidHandle) << 0 << true;
    // The wait gives up after a few seconds; the service keeps hanging up.
    QTest::newRow("never goes") << true << -1 << 0 << -1 << false;
}

void TestDialUp::hangUpConnection()
{
    QFETCH(bool, known);
    QFETCH(int, linger);
    QFETCH(int, expectedResult);
    QFETCH(int, expectedStatusReads);
    QFETCH(bool, expectedGone);

    TDialUpUnderTest t;
    const TRasHandle handle = t.backend->AddConnection(QStringLiteral("Maison"), QStringLiteral("modem"),
                                                       QStringLiteral("ttyS0"));
    t.backend->SetHangUpLinger(linger);
    const TRasHandle target = known ? handle : handle + 40;

    QCOMPARE(t.dialUp.HangUpConnection(target), expectedResult);
    const int reads = t.backend->Calls().count(QStringLiteral("GetConnectStatus %1").arg(target));
    if (expectedStatusReads >= 0)
        QCOMPARE(reads, expectedStatusReads);
    else
        QVERIFY(reads > 2);
    QCOMPARE(t.backend->Connections().isEmpty(), expectedGone && known);
}

void TestDialUp::hangUpProcessesEventsWhileWaiting()
{
    TDialUpUnderTest t;
    const TRasHandle handle = t.backend->AddConnection(QStringLiteral("Maison"), QStringLiteral("modem"),
                                                       QStringLiteral("ttyS0"));
    t.backend->SetHangUpLinger(2);
    bool timerRan = false;
    QTimer::singleShot(0, this, [&] { timerRan = true; });
    QCOMPARE(t.dialUp.HangUpConnection(handle), 0);
    QVERIFY(timerRan);
}

void TestDialUp::getIPAddresses_data()
{
    QTest::addColumn<int>("which"); // 0: handle 0, 1: the connection, 2: a handle the service does not know
    QTest::addColumn<bool>("projected");
    QTest::addColumn<int>("expectedResult");
    QTest::addColumn<QString>("expectedClient");
    QTest::addColumn<QString>("expectedServer");

    QTest::newRow("no connection") << 0 << true << 0 << "" << "";
    QTest::newRow("dialled connection") << 1 << true << 0 << "10.64.64.64" << "10.112.112.112";
    QTest::newRow("projection not complete") << 1 << false << int(rasProjectionNotComplete) << "" << "";
    QTest::newRow("unknown handle") << 2 << true << int(rasInvalidHandle) << "" << "";
}

void TestDialUp::getIPAddresses()
{
    QFETCH(int, which);
    QFETCH(bool, projected);
    QFETCH(int, expectedResult);
    QFETCH(QString, expectedClient);
    QFETCH(QString, expectedServer);

    TDialUpUnderTest t;
    const TRasHandle earlier = t.backend->AddConnection(QStringLiteral("Bureau"), QStringLiteral("vpn"),
                                                        QStringLiteral("tun0"));
    t.backend->SetProjection(earlier, QStringLiteral("192.168.7.2"), QStringLiteral("192.168.7.1"));
    QCOMPARE(t.dialUp.GetIPAddresses(earlier), 0);
    QCOMPARE(t.dialUp.ClientIP(), QStringLiteral("192.168.7.2"));

    t.backend->AddEntry(QStringLiteral("Maison"));
    t.dialUp.SetEntry(QStringLiteral("Maison"));
    QCOMPARE(t.dialUp.Dial(), 0);
    const TRasHandle dialled = t.dialUp.ConnectionHandle();
    if (projected)
        t.backend->SetProjection(dialled, QStringLiteral("10.64.64.64"), QStringLiteral("10.112.112.112"));
    const TRasHandle handle = which == 0 ? 0 : which == 1 ? dialled : dialled + 40;

    t.backend->ClearCalls();
    QCOMPARE(t.dialUp.GetIPAddresses(handle), expectedResult);
    QCOMPARE(t.dialUp.ClientIP(), expectedClient);
    QCOMPARE(t.dialUp.ServerIP(), expectedServer);
    QCOMPARE(t.backend->Calls().isEmpty(), handle == 0);
}

void TestDialUp::statusText_data()
{
    QTest::addColumn<int>("language");
    QTest::addColumn<int>("state");
    QTest::addColumn<int>("error");
    QTest::addColumn<QString>("expected");

    const int fr = int(TLanguage::France);
    const QList<QPair<int, QString>> french = {
        {0, "Ouverture du port"},
        {1, "Port ouvert"},
        {2, "Connection du périphérique"},
        {3, "périphérique connecté"},
        {4, "Tous les périphériques sont connectés"},
        {5, "Démarrage authentification"},
        {6, "Authentification: en cours"},
        {7, "Authentification: nouvel essai"},
        {8, "Authentification: rappel"},
        {9, "Authentification: changement de mot de passe"},
        {10, "Authentification: projection"},
        {11, "Authentication: vitesse de liaison"},
        {12, "Authentification: reconnaissance"},
        {13, "Authentification: réauthentification"},
        {14, "Authentifié"},
        {15, "Preparation pour réponse"},
        {16, "En attente de reinitilisation modem"},
        {17, "En attente de rappel"},
        {18, "Projection"},
        {19, "Démarrage authentification"},
        {20, "Rappel accompli"},
        {21, "Connexion réseau"},
        {4096, "Interactif"},
        {4097, "Réeesai Authentification"},
        {4098, "Callback set by caller"},
        {4099, "Mot de passe expiré"},
        {8192, "Connecté"},
        {8193, "Déconnecté"},
    };
    for (const auto &row : french)
        QTest::addRow("fr %d", row.first) << fr << row.first << 0 << row.second;

    QTest::newRow("fr state 22 has no text") << fr << 22 << 0 << "";
    QTest::newRow("fr state 4100 has no text") << fr << 4100 << 0 << "";
    QTest::newRow("fr state 8194 has no text") << fr << 8194 << 0 << "";
    QTest::newRow("fr negative state") << fr << -1 << 0 << "";
    QTest::newRow("error wins over the state") << fr << 8192 << int(rasAuthenticationFailure)
        << "Accès refusé : le nom d'utilisateur ou le mot de passe n'est pas valide.";
    QTest::newRow("error without a text") << fr << 0 << 9999 << "";
    QTest::newRow("cs connected") << int(TLanguage::Czech) << 8192 << 0 << "Připojeno";
    QTest::newRow("pt disconnected") << int(TLanguage::Portuguese) << 8193 << 0 << "Desconectado";
    QTest::newRow("pt error text from the service") << int(TLanguage::Portuguese) << 0 << int(rasNoAnswer)
                                                    << "L'ordinateur distant ne répond pas.";
}

void TestDialUp::statusText()
{
    QFETCH(int, language);
    QFETCH(int, state);
    QFETCH(int, error);
    QFETCH(QString, expected);

    TDialUpUnderTest t;
    t.dialUp.SetLanguage(TLanguage(language));
    QCOMPARE(t.dialUp.StatusText(state, error), expected);
}

void TestDialUp::otherLanguagesCoverTheSameStates()
{
    TDialUpUnderTest t;
    for (int state = -2; state <= 0x2002; ++state) {
        t.dialUp.SetLanguage(TLanguage::France);
        const QString french = t.dialUp.StatusText(state, 0);
        for (const TLanguage other : {TLanguage::Czech, TLanguage::Portuguese}) {
            t.dialUp.SetLanguage(other);
            const QString text = t.dialUp.StatusText(state, 0);
            QCOMPARE(text.isEmpty(), french.isEmpty());
            if (!french.isEmpty())
                QVERIFY2(text != french, qPrintable(text));
        }
    }
}

void TestDialUp::emptyBackend()
{
    for (const bool explicitEmpty : {true, false}) {
        std::unique_ptr<TDialUpBackend> backend;
        if (explicitEmpty)
            backend = std::make_unique<TEmptyDialUpBackend>();
        TDialUp dialUp(std::move(backend)); // no backend at all: the empty one
        TEventLog log;
        log.Attach(dialUp);

        QCOMPARE(dialUp.GetEntries(), 0);
        QVERIFY(dialUp.Entries().isEmpty());
        QCOMPARE(dialUp.GetConnections(), 0);
        QVERIFY(log.events.isEmpty());
        QVERIFY(dialUp.DUNA().isEmpty());

        // Connect with "aucune" shown: the empty entry is looked up, fails
        // quietly, and the caller carries on.
        dialUp.SetEntry(QString());
        QCOMPARE(dialUp.Dial(), int(rasCannotFindEntry));
        QCOMPARE(log.events, QStringList{"Error 623 GetEntryDialParams failed"});
        QCOMPARE(dialUp.HangUp(), int(rasInvalidHandle));
        QCOMPARE(dialUp.HangUpConnection(7), int(rasInvalidHandle));
        QCOMPARE(dialUp.GetIPAddresses(7), int(rasInvalidHandle));
        QCOMPARE(dialUp.GetIPAddresses(0), 0);
        QCOMPARE(dialUp.StatusText(rascsConnected, 0), QStringLiteral("Connecté"));
        QCOMPARE(dialUp.StatusText(0, rasCannotFindEntry), QStringLiteral("L'entrée de l'annuaire est introuvable."));
    }
}

void TestDialUp::factoryWithoutAnyBus()
{
    const QDBusConnection bus = QDBusConnection::connectToBus(
        QStringLiteral("unix:path=/nonexistent/velmar-test/bus"), QStringLiteral("velmar-no-bus"));
    QVERIFY(!bus.isConnected());
    QVERIFY(!TNetworkManagerDialUpBackend::Answers(bus, DialUpProbeTimeoutMs));
    const std::unique_ptr<TDialUpBackend> backend = CreateDialUpBackend(bus, DialUpProbeTimeoutMs);
    QVERIFY(dynamic_cast<TEmptyDialUpBackend *>(backend.get()));
    QDBusConnection::disconnectFromBus(QStringLiteral("velmar-no-bus"));
}

void TestDialUp::factoryWithABusButNoNetworkManager()
{
    const QString daemon = QStandardPaths::findExecutable(QStringLiteral("dbus-daemon"));
    if (daemon.isEmpty())
        QSKIP("dbus-daemon is not installed");
    QProcess process;
    process.start(daemon, {QStringLiteral("--session"), QStringLiteral("--nofork"), QStringLiteral("--print-address")});
    QVERIFY(process.waitForStarted(5000));
    QTRY_VERIFY_WITH_TIMEOUT(process.canReadLine(), 5000);
    const QString address = QString::fromUtf8(process.readLine()).trimmed();
    QVERIFY(!address.isEmpty());

    {
        const QDBusConnection bus = QDBusConnection::connectToBus(address, QStringLiteral("velmar-private-bus"));
        QVERIFY(bus.isConnected());
        QVERIFY(!bus.interface()->isServiceRegistered(QStringLiteral("org.freedesktop.NetworkManager")));
        QVERIFY(!TNetworkManagerDialUpBackend::Answers(bus, DialUpProbeTimeoutMs));
        const std::unique_ptr<TDialUpBackend> backend = CreateDialUpBackend(bus, DialUpProbeTimeoutMs);
        QVERIFY(dynamic_cast<TEmptyDialUpBackend *>(backend.get()));
    }
    QDBusConnection::disconnectFromBus(QStringLiteral("velmar-private-bus"));
    process.terminate();
    QVERIFY(process.waitForFinished(5000));
}

void TestDialUp::factoryOnThisMachine()
{
    const QDBusConnection system = QDBusConnection::systemBus();
    if (system.isConnected() && system.interface()->isServiceRegistered(QStringLiteral("org.freedesktop.NetworkManager")))
        QSKIP("NetworkManager runs here; this checks machines without it");
    SetDialUpBackendFactory({});
    TDialUp dialUp; // what the program creates at start-up
    TEventLog log;
    log.Attach(dialUp);
    QCOMPARE(dialUp.GetEntries(), 0);
    QCOMPARE(dialUp.GetConnections(), 0);
    QVERIFY(log.events.isEmpty());
    QVERIFY(dynamic_cast<TEmptyDialUpBackend *>(CreateDialUpBackend().get()));
}

void TestDialUp::installedFactory()
{
    TScriptedDialUpBackend *created = nullptr;
    SetDialUpBackendFactory([&created] {
        auto backend = std::make_unique<TScriptedDialUpBackend>();
        backend->AddEntry(QStringLiteral("Maison"));
        created = backend.get();
        return backend;
    });
    {
        TDialUp dialUp;
        QVERIFY(created);
        QCOMPARE(dialUp.GetEntries(), 0);
        QCOMPARE(dialUp.Entries(), QStringList{"Maison"});
        QCOMPARE(created->Calls(), QStringList{"EnumEntries"});
    }
    SetDialUpBackendFactory({});
    QVERIFY(!dynamic_cast<TScriptedDialUpBackend *>(CreateDialUpBackend().get()));
}

QTEST_MAIN(TestDialUp)
#include "tst_dialup.moc"
