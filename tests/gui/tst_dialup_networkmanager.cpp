// The NetworkManager backend against a stand-in NetworkManager served on a
// private message bus of this test (nothing is ever activated for real):
// profiles of dial-up kinds as entries (Ethernet, Wi-Fi and the other links
// of the machine never listed, dialled or hung up), activation as dialling,
// active connections, status, addresses, hang-up, a service that goes away
// and one that stops answering while the window keeps polling.

#include "DialUp.h"
#include "DialUpBackend.h"
#include "NetworkManagerDialUpBackend.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <QDBusVirtualObject>
#include <QElapsedTimer>
#include <QMutex>
#include <QMutexLocker>
#include <QProcess>
#include <QStandardPaths>
#include <QThread>
#include <QtTest>
#include <optional>

namespace {

const QString NmService = QStringLiteral("org.freedesktop.NetworkManager");
const QString NmPath = QStringLiteral("/org/freedesktop/NetworkManager");
const QString SettingsPath = NmPath + QStringLiteral("/Settings");
const QString ActiveInterface = QStringLiteral("org.freedesktop.NetworkManager.Connection.Active");

using TSettings = QMap<QString, QVariantMap>;

// Just enough of NetworkManager's bus interface for the backend: settings
// profiles, activation that ends after a short while in success or in the
// profile's failure reason, deactivation that takes a moment, properties of
// active connections, devices and IPv4 configurations. Stalled, it keeps
// every reply until released, as a service stuck on something else would.
class TFakeNetworkManager : public QDBusVirtualObject
{
    Q_OBJECT
public:
    struct Profile {
        QString id;
        QString type;
        QString device;
        TSettings sections; // besides "connection": "gsm", "pppoe", "bluetooth", ...
        uint failReason = 0; // 0: activation succeeds
    };

    void Attach(const QDBusConnection &connection) { bus.emplace(connection); }

    void AddProfile(const Profile &profile)
    {
        QMutexLocker lock(&mutex);
        profiles.append(profile);
    }

    // A connection that is already up when the test starts.
    void AddActive(int profile, const QString &address, const QString &peer, const QString &gateway)
    {
        QMutexLocker lock(&mutex);
        Active &active = NewActive(profile, 2, 100);
        active.ip4Path = NewIp4(address, peer, gateway);
    }

    QStringList Calls() const
    {
        QMutexLocker lock(&mutex);
        return calls;
    }

    // The ids of the profiles whose connections were deactivated, in order.
    QStringList Deactivated() const
    {
        QMutexLocker lock(&mutex);
        return deactivated;
    }

    // The ids of the profiles whose connections are active.
    QStringList ActiveIds() const
    {
        QMutexLocker lock(&mutex);
        QStringList ids;
        for (const Active &a : actives)
            ids.append(profiles[a.profile].id);
        return ids;
    }

    void SetStalled(bool on)
    {
        QList<QPair<QDBusMessage, QDBusConnection>> release;
        {
            QMutexLocker lock(&mutex);
            stalled = on;
            if (!on)
                release.swap(held);
        }
        for (const auto &[reply, connection] : release)
            QDBusConnection(connection).send(reply);
    }

    int HeldReplies() const
    {
        QMutexLocker lock(&mutex);
        return held.size();
    }

    QString introspect(const QString &) const override { return QString(); }

    bool handleMessage(const QDBusMessage &message, const QDBusConnection &connection) override
    {
        QDBusMessage reply;
        QList<QDBusMessage> signalsToSend;
        {
            QMutexLocker lock(&mutex);
            calls.append(message.member());
            reply = Answer(message, signalsToSend);
            if (stalled) {
                held.append({reply, connection});
                return true;
            }
        }
        connection.send(reply);
        for (const QDBusMessage &s : signalsToSend)
            connection.send(s);
        return true;
    }

private:
    struct Active {
        QString path;
        int profile = 0;
        uint state = 1;
        QString devicePath;
        QString ip4Path;
    };
    struct Device {
        QString name;
        uint state = 0;
    };
    struct Ip4 {
        QString address;
        QString peer;
        QString gateway;
    };

    Active &NewActive(int profile, uint state, uint deviceState)
    {
        ++counter;
        Active active;
        active.path = NmPath + QStringLiteral("/ActiveConnection/%1").arg(counter);
        active.profile = profile;
        active.state = state;
        active.devicePath = NmPath + QStringLiteral("/Devices/%1").arg(counter);
        devices.insert(active.devicePath, {profiles[profile].device, deviceState});
        actives.append(active);
        return actives.last();
    }

    QString NewIp4(const QString &address, const QString &peer, const QString &gateway)
    {
        const QString path = NmPath + QStringLiteral("/IP4Config/%1").arg(++counter);
        ip4s.insert(path, {address, peer, gateway});
        return path;
    }

    Active *FindActive(const QString &path)
    {
        for (Active &a : actives)
            if (a.path == path)
                return &a;
        return nullptr;
    }

    static QString ProfilePath(int index) { return SettingsPath + QStringLiteral("/%1").arg(index + 1); }

    QDBusMessage StateSignal(const QString &path, uint state, uint reason)
    {
        QDBusMessage s = QDBusMessage::createSignal(path, ActiveInterface, QStringLiteral("StateChanged"));
        s << state << reason;
        return s;
    }

    void Later(int ms, std::function<void()> change)
    {
        QMetaObject::invokeMethod(
            &scheduler,
            [this, ms, change] {
                QTimer::singleShot(ms, &scheduler, [this, change] {
                    QMutexLocker lock(&mutex);
                    change();
                });
            },
            Qt::QueuedConnection);
    }

    void Emit(const QDBusMessage &s)
    {
        if (bus)
            bus->send(s);
    }

    bool PropertiesOf(const QString &path, QVariantMap &properties)
    {
        if (path == NmPath) {
            QList<QDBusObjectPath> paths;
            for (const Active &a : std::as_const(actives))
                paths.append(QDBusObjectPath(a.path));
            properties = {{QStringLiteral("ActiveConnections"), QVariant::fromValue(paths)},
                          {QStringLiteral("Version"), QStringLiteral("1.42.4")}};
            return true;
        }
        if (Active *a = FindActive(path)) {
            const Profile &p = profiles[a->profile];
            properties = {
                {QStringLiteral("Id"), p.id},
                {QStringLiteral("Type"), p.type},
                {QStringLiteral("State"), a->state},
                {QStringLiteral("Devices"), QVariant::fromValue(QList<QDBusObjectPath>{QDBusObjectPath(a->devicePath)})},
                {QStringLiteral("Ip4Config"),
                 QVariant::fromValue(QDBusObjectPath(a->ip4Path.isEmpty() ? QStringLiteral("/") : a->ip4Path))},
                {QStringLiteral("Connection"), QVariant::fromValue(QDBusObjectPath(ProfilePath(a->profile)))},
            };
            return true;
        }
        if (devices.contains(path)) {
            const Device device = devices.value(path);
            properties = {{QStringLiteral("Interface"), device.name}, {QStringLiteral("State"), device.state}};
            return true;
        }
        if (ip4s.contains(path)) {
            const Ip4 ip4 = ip4s.value(path);
            QVariantMap address{{QStringLiteral("address"), ip4.address}, {QStringLiteral("prefix"), 32u}};
            if (!ip4.peer.isEmpty())
                address.insert(QStringLiteral("peer"), ip4.peer);
            properties = {{QStringLiteral("AddressData"), QVariant::fromValue(QList<QVariantMap>{address})},
                          {QStringLiteral("Gateway"), ip4.gateway}};
            return true;
        }
        return false;
    }

    QDBusMessage Answer(const QDBusMessage &message, QList<QDBusMessage> &out)
    {
        const QString path = message.path();
        const QString member = message.member();
        const QVariantList args = message.arguments();
        const QString unknown = QStringLiteral("org.freedesktop.DBus.Error.UnknownMethod");

        if (message.interface() == QLatin1String("org.freedesktop.DBus.Properties")) {
            QVariantMap properties;
            if (!PropertiesOf(path, properties))
                return message.createErrorReply(unknown, QStringLiteral("No such object"));
            if (member == QLatin1String("GetAll"))
                return message.createReply(QVariant::fromValue(properties));
            const QString name = args.value(1).toString();
            if (!properties.contains(name))
                return message.createErrorReply(QStringLiteral("org.freedesktop.DBus.Error.InvalidArgs"), name);
            return message.createReply(QVariant::fromValue(QDBusVariant(properties.value(name))));
        }
        if (path == SettingsPath && member == QLatin1String("ListConnections")) {
            QList<QDBusObjectPath> paths;
            for (int i = 0; i < profiles.size(); ++i)
                paths.append(QDBusObjectPath(ProfilePath(i)));
            return message.createReply(QVariant::fromValue(paths));
        }
        if (path.startsWith(SettingsPath + u'/') && member == QLatin1String("GetSettings")) {
            const int index = path.mid(SettingsPath.size() + 1).toInt() - 1;
            if (index < 0 || index >= profiles.size())
                return message.createErrorReply(unknown, QStringLiteral("No such object"));
            const Profile &p = profiles[index];
            TSettings settings = p.sections;
            settings.insert(QStringLiteral("connection"),
                            {{QStringLiteral("id"), p.id}, {QStringLiteral("type"), p.type}});
            return message.createReply(QVariant::fromValue(settings));
        }
        if (path == NmPath && member == QLatin1String("ActivateConnection")) {
            const QString profilePath = qdbus_cast<QDBusObjectPath>(args.value(0)).path();
            const int index = profilePath.startsWith(SettingsPath + u'/')
                                  ? profilePath.mid(SettingsPath.size() + 1).toInt() - 1
                                  : -1;
            if (index < 0 || index >= profiles.size())
                return message.createErrorReply(QStringLiteral("org.freedesktop.NetworkManager.UnknownConnection"),
                                                profilePath);
            const QString activePath = NewActive(index, 1, 50).path;
            const uint failReason = profiles[index].failReason;
            Later(30, [this, activePath, failReason] {
                Active *a = FindActive(activePath);
                if (!a)
                    return;
                if (failReason == 0) {
                    a->state = 2;
                    devices[a->devicePath].state = 100;
                    a->ip4Path = NewIp4(QStringLiteral("10.64.64.64"), QStringLiteral("10.112.112.112"),
                                        QString());
                    Emit(StateSignal(activePath, 2, 1));
                } else {
                    devices[a->devicePath].state = 120;
                    actives.removeIf([&](const Active &x) { return x.path == activePath; });
                    Emit(StateSignal(activePath, 4, failReason));
                }
            });
            return message.createReply(QVariant::fromValue(QDBusObjectPath(activePath)));
        }
        if (path == NmPath && member == QLatin1String("DeactivateConnection")) {
            const QString activePath = qdbus_cast<QDBusObjectPath>(args.value(0)).path();
            Active *a = FindActive(activePath);
            if (!a)
                return message.createErrorReply(QStringLiteral("org.freedesktop.NetworkManager.ConnectionNotActive"),
                                                QStringLiteral("The connection was not active."));
            a->state = 3;
            deactivated.append(profiles[a->profile].id);
            out.append(StateSignal(activePath, 3, 2));
            Later(100, [this, activePath] {
                actives.removeIf([&](const Active &x) { return x.path == activePath; });
                Emit(StateSignal(activePath, 4, 2));
            });
            return message.createReply();
        }
        return message.createErrorReply(unknown, member);
    }

public:
    // Lives in the fake's thread and runs its delayed changes.
    QObject scheduler;

private:
    mutable QMutex mutex;
    std::optional<QDBusConnection> bus;
    QList<Profile> profiles;
    QList<Active> actives;
    QHash<QString, Device> devices;
    QHash<QString, Ip4> ip4s;
    int counter = 0;
    QStringList calls;
    QStringList deactivated;
    bool stalled = false;
    QList<QPair<QDBusMessage, QDBusConnection>> held;
};

// The profiles of the stand-in, in its order; the dial-up kinds among them
// are the phonebook entries.
enum TProfileIndex {
    pModem, pDsl, pLoopback, pWifi, pEthernet, pBluetoothNetwork, pBluetoothModem, pCdma, pVpn, pWireGuard
};
const QStringList DialUpEntries{"Orange 3G", "Maison (PPPoE)", "Téléphone (modem)", "Verizon", "Bureau (VPN)",
                                "wg-maison"};

} // namespace

class TestNetworkManagerDialUp : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void cleanup();

    void answersAndIsChosen();
    void entriesAreDialUpProfilesOnly();
    void entryDialParams();
    void dialUpAndStatus();
    void dialFailureReportsTheReason();
    void hangUpEndsTheConnection();
    void asynchronousDialReportsStates();
    void existingConnectionsAndTheirAddresses();
    void onlyDialUpKindsAreHungUp();
    void serviceGoneMeansUnavailable();
    void stalledServiceDoesNotHoldTheWindow();
    void componentOnNetworkManager();

private:
    TNetworkManagerDialUpBackend &Backend() { return *backend; }

    QProcess daemon;
    QString address;
    int round = 0;
    QThread fakeThread;
    TFakeNetworkManager *fake = nullptr;
    QString fakeName;
    QString clientName;
    std::unique_ptr<TNetworkManagerDialUpBackend> backend;
};

void TestNetworkManagerDialUp::initTestCase()
{
    qDBusRegisterMetaType<QList<QVariantMap>>();
    qDBusRegisterMetaType<TSettings>();
    const QString program = QStandardPaths::findExecutable(QStringLiteral("dbus-daemon"));
    if (program.isEmpty())
        QSKIP("dbus-daemon is not installed");
    daemon.start(program, {QStringLiteral("--session"), QStringLiteral("--nofork"), QStringLiteral("--print-address")});
    QVERIFY(daemon.waitForStarted(5000));
    QTRY_VERIFY_WITH_TIMEOUT(daemon.canReadLine(), 5000);
    address = QString::fromUtf8(daemon.readLine()).trimmed();
    QVERIFY(!address.isEmpty());
    fakeThread.start();
}

void TestNetworkManagerDialUp::cleanupTestCase()
{
    fakeThread.quit();
    fakeThread.wait();
    if (daemon.state() != QProcess::NotRunning) {
        daemon.terminate();
        daemon.waitForFinished(5000);
    }
}

void TestNetworkManagerDialUp::init()
{
    ++round;
    fakeName = QStringLiteral("velmar-fake-nm-%1").arg(round);
    clientName = QStringLiteral("velmar-client-%1").arg(round);
    QDBusConnection service = QDBusConnection::connectToBus(address, fakeName);
    QVERIFY(service.isConnected());
    fake = new TFakeNetworkManager;
    fake->Attach(service);
    QVERIFY(service.registerVirtualObject(NmPath, fake, QDBusConnection::SubPath));
    // Served from its own thread: the backend waits for replies on this one.
    fake->moveToThread(&fakeThread);
    fake->scheduler.moveToThread(&fakeThread);
    QVERIFY(service.registerService(NmService));

    const auto add = [this](const QString &id, const QString &type, const QString &device,
                            const TSettings &sections = {}, uint failReason = 0) {
        fake->AddProfile({id, type, device, sections, failReason});
    };
    add(QStringLiteral("Orange 3G"), QStringLiteral("gsm"), QStringLiteral("ttyUSB0"),
        {{QStringLiteral("gsm"),
          {{QStringLiteral("number"), QStringLiteral("*99#")}, {QStringLiteral("username"), QStringLiteral("orange")}}}});
    add(QStringLiteral("Maison (PPPoE)"), QStringLiteral("pppoe"), QStringLiteral("ppp0"),
        {{QStringLiteral("pppoe"), {{QStringLiteral("username"), QStringLiteral("abonne@fai")}}}},
        10); // login failed
    add(QStringLiteral("lo"), QStringLiteral("loopback"), QStringLiteral("lo"));
    add(QStringLiteral("Livebox-1234"), QStringLiteral("802-11-wireless"), QStringLiteral("wlan0"));
    add(QStringLiteral("Filaire"), QStringLiteral("802-3-ethernet"), QStringLiteral("eth0"));
    add(QStringLiteral("Téléphone (réseau)"), QStringLiteral("bluetooth"), QStringLiteral("bnep0"),
        {{QStringLiteral("bluetooth"), {{QStringLiteral("type"), QStringLiteral("panu")}}}});
    add(QStringLiteral("Téléphone (modem)"), QStringLiteral("bluetooth"), QStringLiteral("rfcomm0"),
        {{QStringLiteral("bluetooth"), {{QStringLiteral("type"), QStringLiteral("dun")}}}});
    add(QStringLiteral("Verizon"), QStringLiteral("cdma"), QStringLiteral("ttyUSB1"),
        {{QStringLiteral("cdma"), {{QStringLiteral("number"), QStringLiteral("#777")}}}});
    add(QStringLiteral("Bureau (VPN)"), QStringLiteral("vpn"), QStringLiteral("tun0"));
    add(QStringLiteral("wg-maison"), QStringLiteral("wireguard"), QStringLiteral("wg0"));

    const QDBusConnection client = QDBusConnection::connectToBus(address, clientName);
    QVERIFY(client.isConnected());
    backend = std::make_unique<TNetworkManagerDialUpBackend>(client);
}

void TestNetworkManagerDialUp::cleanup()
{
    backend.reset();
    QDBusConnection::disconnectFromBus(clientName);
    QDBusConnection service(fakeName);
    service.unregisterService(NmService);
    service.unregisterObject(NmPath, QDBusConnection::UnregisterTree);
    QDBusConnection::disconnectFromBus(fakeName);
    QMetaObject::invokeMethod(fake, [f = fake] { delete f; }, Qt::BlockingQueuedConnection);
    fake = nullptr;
}

void TestNetworkManagerDialUp::answersAndIsChosen()
{
    const QDBusConnection client(clientName);
    QVERIFY(TNetworkManagerDialUpBackend::Answers(client, DialUpProbeTimeoutMs));
    const std::unique_ptr<TDialUpBackend> chosen = CreateDialUpBackend(client, DialUpProbeTimeoutMs);
    QVERIFY(dynamic_cast<TNetworkManagerDialUpBackend *>(chosen.get()));
}

void TestNetworkManagerDialUp::entriesAreDialUpProfilesOnly()
{
    QStringList names;
    QCOMPARE(Backend().EnumEntries(100, names), 0);
    QCOMPARE(names, DialUpEntries);
    QCOMPARE(Backend().EnumEntries(int(DialUpEntries.size()), names), 0);
    QCOMPARE(Backend().EnumEntries(int(DialUpEntries.size()) - 1, names), int(rasBufferTooSmall));
    QVERIFY(names.isEmpty());
}

void TestNetworkManagerDialUp::entryDialParams()
{
    TRasDialParams params;
    QCOMPARE(Backend().GetEntryDialParams(QStringLiteral("Orange 3G"), params), 0);
    QCOMPARE(params.EntryName, QStringLiteral("Orange 3G"));
    QCOMPARE(params.PhoneNumber, QStringLiteral("*99#"));
    QCOMPARE(params.UserName, QStringLiteral("orange"));
    QVERIFY(params.Password.isEmpty());

    QCOMPARE(Backend().GetEntryDialParams(QStringLiteral("Maison (PPPoE)"), params), 0);
    QCOMPARE(params.UserName, QStringLiteral("abonne@fai"));
    QVERIFY(params.PhoneNumber.isEmpty());

    QCOMPARE(Backend().GetEntryDialParams(QStringLiteral("Verizon"), params), 0);
    QCOMPARE(params.PhoneNumber, QStringLiteral("#777"));

    // The machine's own links are no entries.
    for (const char *link : {"lo", "Livebox-1234", "Filaire", "Téléphone (réseau)", "Ailleurs"}) {
        QCOMPARE(Backend().GetEntryDialParams(QString::fromUtf8(link), params), int(rasCannotFindEntry));
        QVERIFY(params.EntryName.isEmpty());
    }
}

void TestNetworkManagerDialUp::dialUpAndStatus()
{
    TRasDialParams params;
    params.EntryName = QStringLiteral("Orange 3G");
    TRasHandle handle = 0;
    QCOMPARE(Backend().Dial(params, TRasDialNotifier(), handle), 0);
    QVERIFY(handle != 0);
    QVERIFY(fake->Calls().contains(QStringLiteral("ActivateConnection")));

    TRasConnStatus status;
    QCOMPARE(Backend().GetConnectStatus(handle, status), 0);
    QCOMPARE(status.State, int(rascsConnected));
    QCOMPARE(status.Error, 0);
    QCOMPARE(status.DeviceType, QStringLiteral("modem"));
    QCOMPARE(status.DeviceName, QStringLiteral("ttyUSB0"));

    QList<TRasConnection> connections;
    QCOMPARE(Backend().EnumConnections(100, connections), 0);
    QCOMPARE(connections.size(), 1);
    QCOMPARE(connections.first().Handle, handle);
    QCOMPARE(connections.first().EntryName, QStringLiteral("Orange 3G"));
    QCOMPARE(connections.first().DeviceType, QStringLiteral("modem"));
    QCOMPARE(connections.first().DeviceName, QStringLiteral("ttyUSB0"));

    TRasPppIp ip;
    QCOMPARE(Backend().GetProjectionInfo(handle, rasPppIpProtocol, ip), 0);
    QCOMPARE(ip.IPAddress, QStringLiteral("10.64.64.64"));
    QCOMPARE(ip.ServerIPAddress, QStringLiteral("10.112.112.112"));
    QCOMPARE(Backend().GetProjectionInfo(handle, 0x80fd, ip), int(rasProtocolNotConfigured));
    QCOMPARE(Backend().GetConnectStatus(handle + 50, status), int(rasInvalidHandle));
}

void TestNetworkManagerDialUp::dialFailureReportsTheReason()
{
    TRasDialParams params;
    params.EntryName = QStringLiteral("Maison (PPPoE)");
    TRasHandle handle = 0;
    QCOMPARE(Backend().Dial(params, TRasDialNotifier(), handle), int(rasAuthenticationFailure));
    QVERIFY(handle != 0);
    TRasConnStatus status;
    QCOMPARE(Backend().GetConnectStatus(handle, status), int(rasInvalidHandle));

    // Neither an unknown entry nor one of the machine's own links is ever
    // activated.
    const int activations = int(fake->Calls().count(QStringLiteral("ActivateConnection")));
    for (const char *entry : {"Ailleurs", "Livebox-1234", "Filaire", "Téléphone (réseau)"}) {
        params.EntryName = QString::fromUtf8(entry);
        QCOMPARE(Backend().Dial(params, TRasDialNotifier(), handle), int(rasCannotFindEntry));
        QCOMPARE(handle, TRasHandle(0));
    }
    QCOMPARE(fake->Calls().count(QStringLiteral("ActivateConnection")), activations);
}

void TestNetworkManagerDialUp::hangUpEndsTheConnection()
{
    TRasDialParams params;
    params.EntryName = QStringLiteral("Orange 3G");
    TRasHandle handle = 0;
    QCOMPARE(Backend().Dial(params, TRasDialNotifier(), handle), 0);

    QCOMPARE(Backend().HangUp(handle), 0);
    TRasConnStatus status;
    QCOMPARE(Backend().GetConnectStatus(handle, status), 0);
    QCOMPARE(status.State, int(rascsDisconnected));
    QTRY_COMPARE_WITH_TIMEOUT(Backend().GetConnectStatus(handle, status), int(rasInvalidHandle), 3000);
    QCOMPARE(Backend().HangUp(handle), int(rasInvalidHandle));
    QCOMPARE(Backend().HangUp(handle + 50), int(rasInvalidHandle));
    QList<TRasConnection> connections;
    QCOMPARE(Backend().EnumConnections(100, connections), 0);
    QVERIFY(connections.isEmpty());
}

void TestNetworkManagerDialUp::asynchronousDialReportsStates()
{
    QList<QPair<int, int>> states;
    QThread *const mainThread = QThread::currentThread();
    bool onMainThread = true;
    TRasDialParams params;
    params.EntryName = QStringLiteral("Orange 3G");
    TRasHandle handle = 0;
    QCOMPARE(Backend().Dial(params,
                            [&](int state, int error) {
                                onMainThread = onMainThread && QThread::currentThread() == mainThread;
                                states.append({state, error});
                            },
                            handle),
             0);
    QVERIFY(handle != 0);
    QTRY_VERIFY_WITH_TIMEOUT(!states.isEmpty() && states.last().first == rascsConnected, 3000);
    QVERIFY(onMainThread);
    QCOMPARE(states.last().second, 0);
    QCOMPARE(states.count({int(rascsConnected), 0}), 1);

    // A failing profile ends with the disconnected state and the reason.
    states.clear();
    params.EntryName = QStringLiteral("Maison (PPPoE)");
    QCOMPARE(Backend().Dial(params, [&](int state, int error) { states.append({state, error}); }, handle), 0);
    QTRY_VERIFY_WITH_TIMEOUT(!states.isEmpty() && states.last().first == rascsDisconnected, 3000);
    QCOMPARE(states.last().second, int(rasAuthenticationFailure));
}

void TestNetworkManagerDialUp::existingConnectionsAndTheirAddresses()
{
    fake->AddActive(pLoopback, QString(), QString(), QString());
    fake->AddActive(pWifi, QStringLiteral("192.168.1.20"), QString(), QStringLiteral("192.168.1.1"));
    fake->AddActive(pEthernet, QStringLiteral("192.168.2.20"), QString(), QStringLiteral("192.168.2.1"));
    fake->AddActive(pBluetoothNetwork, QStringLiteral("192.168.44.2"), QString(), QStringLiteral("192.168.44.1"));
    fake->AddActive(pVpn, QStringLiteral("10.8.0.6"), QString(), QStringLiteral("10.8.0.1"));
    fake->AddActive(pBluetoothModem, QStringLiteral("10.65.1.2"), QStringLiteral("10.64.64.64"), QString());

    // The picture of the active connections comes from the service's thread.
    QList<TRasConnection> connections;
    QTRY_COMPARE_WITH_TIMEOUT(Backend().EnumConnections(100, connections), 0, 3000);
    QCOMPARE(connections.size(), 2);
    QCOMPARE(connections.at(0).EntryName, QStringLiteral("Bureau (VPN)"));
    QCOMPARE(connections.at(0).DeviceType, QStringLiteral("vpn"));
    QCOMPARE(connections.at(0).DeviceName, QStringLiteral("tun0"));
    QCOMPARE(connections.at(1).EntryName, QStringLiteral("Téléphone (modem)"));
    QCOMPARE(connections.at(1).DeviceType, QStringLiteral("modem"));
    QCOMPARE(Backend().EnumConnections(1, connections), int(rasBufferTooSmall));
    QCOMPARE(Backend().EnumConnections(100, connections), 0);

    TRasPppIp ip;
    QCOMPARE(Backend().GetProjectionInfo(connections.at(0).Handle, rasPppIpProtocol, ip), 0);
    QCOMPARE(ip.IPAddress, QStringLiteral("10.8.0.6"));
    QCOMPARE(ip.ServerIPAddress, QStringLiteral("10.8.0.1")); // the gateway
    QCOMPARE(Backend().GetProjectionInfo(connections.at(1).Handle, rasPppIpProtocol, ip), 0);
    QCOMPARE(ip.ServerIPAddress, QStringLiteral("10.64.64.64")); // the far end of the link
    TRasConnStatus status;
    QCOMPARE(Backend().GetConnectStatus(connections.at(0).Handle, status), 0);
    QCOMPARE(status.State, int(rascsConnected));

    // The same connection keeps its handle from one listing to the next.
    const TRasHandle first = connections.first().Handle;
    QTest::qWait(50);
    QCOMPARE(Backend().EnumConnections(100, connections), 0);
    QCOMPARE(connections.first().Handle, first);
}

// Quitting with "&Déconnecter en quittant" hangs up every connection the
// enumeration reports: the dial-up ones, never Ethernet or Wi-Fi.
void TestNetworkManagerDialUp::onlyDialUpKindsAreHungUp()
{
    fake->AddActive(pWifi, QStringLiteral("192.168.1.20"), QString(), QStringLiteral("192.168.1.1"));
    fake->AddActive(pEthernet, QStringLiteral("192.168.2.20"), QString(), QStringLiteral("192.168.2.1"));
    fake->AddActive(pBluetoothNetwork, QStringLiteral("192.168.44.2"), QString(), QStringLiteral("192.168.44.1"));
    fake->AddActive(pVpn, QStringLiteral("10.8.0.6"), QString(), QStringLiteral("10.8.0.1"));
    fake->AddActive(pModem, QStringLiteral("10.65.1.2"), QStringLiteral("10.64.64.64"), QString());

    TDialUp dialUp(std::move(backend));
    QStringList reported;
    dialUp.OnActiveConnection = [&](TDialUp *sender, TRasHandle handle, const TRasConnStatus &, const QString &,
                                    const QString &entry, const QString &, const QString &) {
        reported.append(entry);
        sender->HangUpConnection(handle);
    };
    QCOMPARE(dialUp.GetEntries(), 0); // waits for the service: the picture is there too
    QCOMPARE(dialUp.GetConnections(), 0);
    QCOMPARE(reported, (QStringList{"Bureau (VPN)", "Orange 3G"}));
    QCOMPARE(fake->Deactivated(), (QStringList{"Bureau (VPN)", "Orange 3G"}));
    QTRY_COMPARE_WITH_TIMEOUT(fake->ActiveIds(),
                              (QStringList{"Livebox-1234", "Filaire", "Téléphone (réseau)"}), 3000);
}

void TestNetworkManagerDialUp::serviceGoneMeansUnavailable()
{
    TRasDialParams params;
    params.EntryName = QStringLiteral("Orange 3G");
    TRasHandle handle = 0;
    QCOMPARE(Backend().Dial(params, TRasDialNotifier(), handle), 0);

    QDBusConnection service(fakeName);
    QVERIFY(service.unregisterService(NmService));
    QStringList names;
    QCOMPARE(Backend().EnumEntries(100, names), int(rasServiceUnavailable));
    QCOMPARE(Backend().HangUp(handle), int(rasServiceUnavailable));
    // The next picture tells it too.
    QList<TRasConnection> connections;
    QTRY_COMPARE_WITH_TIMEOUT(Backend().EnumConnections(100, connections), int(rasServiceUnavailable), 3000);
    TRasConnStatus status;
    QCOMPARE(Backend().GetConnectStatus(handle, status), int(rasServiceUnavailable));
    QVERIFY(!TNetworkManagerDialUpBackend::Answers(QDBusConnection(clientName), DialUpProbeTimeoutMs));
}

// The window lists the active connections every second: a service that
// stops answering must not hold it. The reads answer from the last picture
// at once, while the service's thread waits for the answer.
void TestNetworkManagerDialUp::stalledServiceDoesNotHoldTheWindow()
{
    fake->AddActive(pVpn, QStringLiteral("10.8.0.6"), QString(), QStringLiteral("10.8.0.1"));
    fake->AddActive(pWifi, QStringLiteral("192.168.1.20"), QString(), QStringLiteral("192.168.1.1"));
    QList<TRasConnection> connections;
    QTRY_COMPARE_WITH_TIMEOUT(Backend().EnumConnections(100, connections), 0, 3000);
    QCOMPARE(connections.size(), 1);

    fake->SetStalled(true);
    QCOMPARE(Backend().EnumConnections(100, connections), 0); // asks for the next picture
    QTRY_VERIFY_WITH_TIMEOUT(fake->HeldReplies() > 0, 3000);  // which is now stuck

    TDialUp dialUp(std::move(backend));
    QStringList reported;
    dialUp.OnActiveConnection = [&](TDialUp *sender, TRasHandle, const TRasConnStatus &, const QString &,
                                    const QString &entry, const QString &, const QString &) {
        sender->GetIPAddresses(sender->ConnectionHandle());
        reported.append(entry);
    };
    QElapsedTimer clock;
    clock.start();
    for (int tick = 0; tick < 3; ++tick)
        QCOMPARE(dialUp.GetConnections(), 0);
    // A blocking read would have waited for the service's time-out (2 s)
    // and found nothing.
    QVERIFY2(clock.elapsed() < 1000, qPrintable(QString::number(clock.elapsed())));
    QCOMPARE(reported, (QStringList{"Bureau (VPN)", "Bureau (VPN)", "Bureau (VPN)"}));

    fake->SetStalled(false);
    QTRY_COMPARE_WITH_TIMEOUT(fake->HeldReplies(), 0, 1000);
}

void TestNetworkManagerDialUp::componentOnNetworkManager()
{
    TDialUp dialUp(std::move(backend));
    QStringList events;
    bool quitting = false;
    dialUp.OnEntryGet = [&](TDialUp *, const QString &name) { events << QStringLiteral("EntryGet ") + name; };
    dialUp.OnDialing = [&](TDialUp *) { events << QStringLiteral("Dialing"); };
    dialUp.OnConnect = [&](TDialUp *sender) {
        events << QStringLiteral("Connect");
        sender->GetConnections();
    };
    dialUp.OnNotConnected = [&](TDialUp *, int code, const QString &text) {
        events << QStringLiteral("NotConnected %1 %2").arg(code).arg(text);
    };
    dialUp.OnActiveConnection = [&](TDialUp *sender, TRasHandle handle, const TRasConnStatus &, const QString &text,
                                    const QString &entry, const QString &, const QString &device) {
        sender->GetIPAddresses(sender->ConnectionHandle());
        events << QStringLiteral("Active %1 %2 %3 %4").arg(entry, device, text, sender->ClientIP());
        if (quitting)
            sender->HangUpConnection(handle);
    };

    QCOMPARE(dialUp.GetEntries(), 0);
    dialUp.SetEntry(dialUp.Entries().value(1));
    QCOMPARE(dialUp.Dial(), int(rasAuthenticationFailure));
    dialUp.SetEntry(dialUp.Entries().value(0));
    QCOMPARE(dialUp.Dial(), 0);
    QStringList expected;
    for (const QString &entry : DialUpEntries)
        expected.append(QStringLiteral("EntryGet ") + entry);
    expected << "Dialing"
             << "NotConnected 691 Accès refusé : le nom d'utilisateur ou le mot de passe n'est pas valide."
             << "Dialing" << "Connect" << "Active Orange 3G ttyUSB0 Connecté 10.64.64.64";
    QCOMPARE(events, expected);

    quitting = true;
    events.clear();
    QCOMPARE(dialUp.GetConnections(), 0);
    QCOMPARE(events.size(), 1);
    QCOMPARE(dialUp.ConnectionHandle(), TRasHandle(0));
    events.clear();
    QCOMPARE(dialUp.GetConnections(), 0);
    QVERIFY(events.isEmpty());
}

QTEST_MAIN(TestNetworkManagerDialUp)
#include "tst_dialup_networkmanager.moc"
