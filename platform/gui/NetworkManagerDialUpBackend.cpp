// The dial-up service on NetworkManager. Every call to NetworkManager is
// made on a worker thread of the backend: the window thread only reads a
// picture of the active connections that the worker keeps fresh, or, for
// the user's own commands (listing the entries, dialling, hanging up), waits
// for the worker's answer while its event loop keeps running.

#include "NetworkManagerDialUpBackend.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <QEventLoop>
#include <QHash>
#include <QMap>
#include <QObject>
#include <QPointer>
#include <QSet>
#include <QThread>
#include <QTimer>
#include <QVariantMap>
#include <optional>

namespace {

const QString NmService = QStringLiteral("org.freedesktop.NetworkManager");
const QString NmPath = QStringLiteral("/org/freedesktop/NetworkManager");
const QString NmInterface = QStringLiteral("org.freedesktop.NetworkManager");
const QString SettingsPath = QStringLiteral("/org/freedesktop/NetworkManager/Settings");
const QString SettingsInterface = QStringLiteral("org.freedesktop.NetworkManager.Settings");
const QString ProfileInterface = QStringLiteral("org.freedesktop.NetworkManager.Settings.Connection");
const QString ActiveInterface = QStringLiteral("org.freedesktop.NetworkManager.Connection.Active");
const QString DeviceInterface = QStringLiteral("org.freedesktop.NetworkManager.Device");
const QString Ip4Interface = QStringLiteral("org.freedesktop.NetworkManager.IP4Config");
const QString PropertiesInterface = QStringLiteral("org.freedesktop.DBus.Properties");
const QString BluetoothType = QStringLiteral("bluetooth");

// Reads answer at once when NetworkManager is healthy; the limit only keeps
// a stuck service from holding the worker.
constexpr int ReadTimeoutMs = 2000;
// Activating or deactivating may wait for the user to answer an
// authorisation prompt.
constexpr int ChangeTimeoutMs = 30000;
// NetworkManager gives up on a stuck activation by itself well before this.
constexpr int ActivationLimitMs = 120000;
constexpr int ActivationPollMs = 250;
// How long the window thread waits for a listing of the profiles or a fresh
// picture of the active connections (each a few reads on the worker).
constexpr int ListingWaitMs = 3 * ReadTimeoutMs;
// A worker still inside a stuck call when the backend goes is left to end
// by itself after this.
constexpr int WorkerStopWaitMs = 1000;

enum : uint { nmActiveUnknown = 0, nmActivating = 1, nmActivated = 2, nmDeactivating = 3, nmDeactivated = 4 };

using TNmSettings = QMap<QString, QVariantMap>;

// Only connections of dial-up kinds stand for phonebook entries: mobile
// broadband, PPPoE, Bluetooth dial-up networking and VPNs. Ethernet, Wi-Fi,
// Bluetooth networking, loopback and the rest are the machine's own links:
// never listed, dialled or hung up.
bool IsDialUpType(const QString &type, const QString &bluetoothKind)
{
    static const QSet<QString> kinds = {QStringLiteral("gsm"), QStringLiteral("cdma"), QStringLiteral("pppoe"),
                                        QStringLiteral("vpn"), QStringLiteral("wireguard")};
    if (type == BluetoothType)
        return bluetoothKind == QLatin1String("dun");
    return kinds.contains(type);
}

bool IsDialUpProfile(const TNmSettings &settings)
{
    return IsDialUpType(settings.value(QStringLiteral("connection")).value(QStringLiteral("type")).toString(),
                        settings.value(BluetoothType).value(QStringLiteral("type")).toString());
}

QString ProfileId(const TNmSettings &settings)
{
    return settings.value(QStringLiteral("connection")).value(QStringLiteral("id")).toString();
}

bool NamesGoneObject(const QString &errorName)
{
    static const QStringList gone = {
        QStringLiteral("org.freedesktop.DBus.Error.UnknownObject"),
        QStringLiteral("org.freedesktop.DBus.Error.UnknownMethod"),
        QStringLiteral("org.freedesktop.DBus.Error.UnknownInterface"),
        QStringLiteral("org.freedesktop.DBus.Error.UnknownProperty"),
        QStringLiteral("org.freedesktop.DBus.Error.InvalidArgs"),
        QStringLiteral("org.freedesktop.NetworkManager.ConnectionNotActive"),
    };
    return gone.contains(errorName);
}

// The result code of a reply. aboutHandle: the call named an active
// connection, whose disappearance means an invalid handle.
int ResultOf(const QDBusMessage &reply, bool aboutHandle)
{
    if (reply.type() == QDBusMessage::ReplyMessage)
        return rasSuccess;
    const QString name = reply.errorName();
    if (aboutHandle && NamesGoneObject(name))
        return rasInvalidHandle;
    if (name == QLatin1String("org.freedesktop.NetworkManager.PermissionDenied")
        || name == QLatin1String("org.freedesktop.DBus.Error.AccessDenied"))
        return rasAccessDenied;
    if (name == QLatin1String("org.freedesktop.NetworkManager.UnknownConnection"))
        return rasCannotFindEntry;
    if (name == QLatin1String("org.freedesktop.DBus.Error.NoReply")
        || name == QLatin1String("org.freedesktop.DBus.Error.Timeout")
        || name == QLatin1String("org.freedesktop.DBus.Error.ServiceUnknown")
        || name == QLatin1String("org.freedesktop.DBus.Error.NameHasNoOwner")
        || name == QLatin1String("org.freedesktop.DBus.Error.Disconnected"))
        return rasServiceUnavailable;
    return rasUnknownError;
}

// The reason NetworkManager gives for an activation that ended, as the
// failure a dialler would report.
int FailureOf(uint reason)
{
    switch (reason) {
    case 5: return rasNoPppProtocols;          // IP configuration invalid
    case 6:                                    // connect timeout
    case 7: return rasRequestTimeout;          // service start timeout
    case 9:                                    // no secrets
    case 10: return rasAuthenticationFailure;  // login failed
    case 11: return rasCannotFindEntry;        // profile removed
    case 2:                                    // user disconnected
    case 3:                                    // device disconnected
    case 14: return rasPortDisconnected;       // device removed
    default: return rasPortDisconnected;
    }
}

// NetworkManager's device states stand in for the finer dialler states while
// a connection is being activated.
int RasStateOf(uint activeState, uint deviceState)
{
    switch (activeState) {
    case nmActivated: return rascsConnected;
    case nmDeactivating:
    case nmDeactivated: return rascsDisconnected;
    default: break;
    }
    if (deviceState >= 120) return rascsDisconnected; // failed
    if (deviceState >= 100) return rascsAuthenticated;
    if (deviceState >= 80) return rascsProjected;     // checking IP, secondaries
    if (deviceState >= 70) return rascsAuthProject;   // IP configuration
    if (deviceState >= 60) return rascsAuthenticate;  // needs secrets
    if (deviceState >= 50) return rascsDeviceConnected;
    if (deviceState >= 40) return rascsConnectDevice;
    return rascsOpenPort;
}

QString DeviceTypeOf(const QString &profileType)
{
    static const QHash<QString, QString> types = {
        {QStringLiteral("gsm"), QStringLiteral("modem")},
        {QStringLiteral("cdma"), QStringLiteral("modem")},
        {QStringLiteral("bluetooth"), QStringLiteral("modem")},
        {QStringLiteral("pppoe"), QStringLiteral("PPPoE")},
        {QStringLiteral("vpn"), QStringLiteral("vpn")},
        {QStringLiteral("wireguard"), QStringLiteral("vpn")},
    };
    return types.value(profileType, profileType);
}

QVariant ReplyValue(const QDBusMessage &reply)
{
    const QVariant first = reply.arguments().value(0);
    if (first.canConvert<QDBusVariant>())
        return first.value<QDBusVariant>().variant();
    return first;
}

struct TActiveInfo {
    QString id;
    QString type;
    uint state = nmActiveUnknown;
    QString devicePath;
    QString ip4Path;
    QString profilePath;
};

// One active connection of a dial-up kind, as the last reading saw it.
struct TActiveRecord {
    QString path;
    QString id;
    QString type;
    uint state = nmActiveUnknown;
    QString deviceName;
    uint deviceState = 0;
    int projectionResult = rasProjectionNotComplete;
    QString address;
    QString farEnd;
};

// The active connections of dial-up kinds, or why they could not be read.
struct TActivePicture {
    int result = rasSuccess;
    QList<TActiveRecord> actives;
};

// The profiles of dial-up kinds, in the service's order.
struct TProfileList {
    int result = rasSuccess;
    QList<QPair<QString, TNmSettings>> profiles;
};

// NetworkManager's bus interface as blocking reads and changes. Used on the
// worker thread only.
class TNmBus
{
public:
    explicit TNmBus(const QDBusConnection &connection) : bus(connection) {}

    const QDBusConnection &Connection() const { return bus; }

    QDBusMessage Call(const QString &path, const QString &interface, const QString &method,
                      const QVariantList &arguments, int timeoutMs = ReadTimeoutMs, bool mayAskAuthorisation = false)
    {
        QDBusMessage message = QDBusMessage::createMethodCall(NmService, path, interface, method);
        message.setArguments(arguments);
        message.setInteractiveAuthorizationAllowed(mayAskAuthorisation);
        return bus.call(message, QDBus::Block, timeoutMs);
    }

    QDBusMessage Property(const QString &path, const QString &interface, const QString &name)
    {
        return Call(path, PropertiesInterface, QStringLiteral("Get"), {interface, name});
    }

    int ReadSettings(const QString &profilePath, TNmSettings &settings)
    {
        const QDBusMessage reply = Call(profilePath, ProfileInterface, QStringLiteral("GetSettings"), {});
        if (const int result = ResultOf(reply, true))
            return result;
        settings = qdbus_cast<TNmSettings>(reply.arguments().value(0));
        return rasSuccess;
    }

    TProfileList ListProfiles()
    {
        TProfileList list;
        const QDBusMessage reply = Call(SettingsPath, SettingsInterface, QStringLiteral("ListConnections"), {});
        if ((list.result = ResultOf(reply, false)))
            return list;
        const auto paths = qdbus_cast<QList<QDBusObjectPath>>(reply.arguments().value(0));
        for (const QDBusObjectPath &path : paths) {
            TNmSettings settings;
            if (ReadSettings(path.path(), settings) != rasSuccess)
                continue; // removed since the listing
            if (!IsDialUpProfile(settings) || ProfileId(settings).isEmpty())
                continue;
            list.profiles.append({path.path(), settings});
        }
        return list;
    }

    int FindProfile(const QString &entryName, QString &profilePath, TNmSettings &settings)
    {
        const TProfileList list = ListProfiles();
        if (list.result)
            return list.result;
        for (const auto &profile : list.profiles) {
            if (ProfileId(profile.second) == entryName) {
                profilePath = profile.first;
                settings = profile.second;
                return rasSuccess;
            }
        }
        return rasCannotFindEntry;
    }

    int ReadActive(const QString &activePath, TActiveInfo &info)
    {
        const QDBusMessage reply = Call(activePath, PropertiesInterface, QStringLiteral("GetAll"), {ActiveInterface});
        if (const int result = ResultOf(reply, true))
            return result;
        const auto properties = qdbus_cast<QVariantMap>(reply.arguments().value(0));
        info.id = properties.value(QStringLiteral("Id")).toString();
        info.type = properties.value(QStringLiteral("Type")).toString();
        info.state = properties.value(QStringLiteral("State")).toUInt();
        const auto devices = qdbus_cast<QList<QDBusObjectPath>>(properties.value(QStringLiteral("Devices")));
        info.devicePath = devices.isEmpty() ? QString() : devices.first().path();
        info.ip4Path = qdbus_cast<QDBusObjectPath>(properties.value(QStringLiteral("Ip4Config"))).path();
        info.profilePath = qdbus_cast<QDBusObjectPath>(properties.value(QStringLiteral("Connection"))).path();
        return rasSuccess;
    }

    // Whether an active connection is of a dial-up kind. Its type says so,
    // except for Bluetooth, whose profile tells dial-up from networking.
    bool IsDialUpActive(const TActiveInfo &info)
    {
        QString bluetoothKind;
        if (info.type == BluetoothType && !info.profilePath.isEmpty() && info.profilePath != QLatin1String("/")) {
            TNmSettings settings;
            if (ReadSettings(info.profilePath, settings) == rasSuccess)
                bluetoothKind = settings.value(BluetoothType).value(QStringLiteral("type")).toString();
        }
        return IsDialUpType(info.type, bluetoothKind);
    }

    void ReadDevice(const QString &devicePath, QString &interfaceName, uint &state)
    {
        interfaceName.clear();
        state = 0;
        if (devicePath.isEmpty() || devicePath == QLatin1String("/"))
            return;
        const QDBusMessage name = Property(devicePath, DeviceInterface, QStringLiteral("Interface"));
        if (name.type() == QDBusMessage::ReplyMessage)
            interfaceName = ReplyValue(name).toString();
        const QDBusMessage deviceState = Property(devicePath, DeviceInterface, QStringLiteral("State"));
        if (deviceState.type() == QDBusMessage::ReplyMessage)
            state = ReplyValue(deviceState).toUInt();
    }

    // The IPv4 addresses of an activated connection: this end, and the far
    // end of a point-to-point link (or the gateway of other links).
    void ReadProjection(const TActiveInfo &info, TActiveRecord &record)
    {
        if (info.state != nmActivated) {
            record.projectionResult = rasProjectionNotComplete;
            return;
        }
        if (info.ip4Path.isEmpty() || info.ip4Path == QLatin1String("/")) {
            record.projectionResult = rasProtocolNotConfigured;
            return;
        }
        const QDBusMessage addresses = Property(info.ip4Path, Ip4Interface, QStringLiteral("AddressData"));
        if (const int result = ResultOf(addresses, true)) {
            record.projectionResult = result == rasInvalidHandle ? rasProjectionNotComplete : result;
            return;
        }
        const auto list = qdbus_cast<QList<QVariantMap>>(ReplyValue(addresses));
        if (list.isEmpty()) {
            record.projectionResult = rasProtocolNotConfigured;
            return;
        }
        record.address = list.first().value(QStringLiteral("address")).toString();
        record.farEnd = list.first().value(QStringLiteral("peer")).toString();
        if (record.farEnd.isEmpty()) {
            const QDBusMessage gateway = Property(info.ip4Path, Ip4Interface, QStringLiteral("Gateway"));
            if (gateway.type() == QDBusMessage::ReplyMessage)
                record.farEnd = ReplyValue(gateway).toString();
        }
        record.projectionResult = rasSuccess;
    }

    TActivePicture ReadActives()
    {
        TActivePicture picture;
        const QDBusMessage reply = Property(NmPath, NmInterface, QStringLiteral("ActiveConnections"));
        if ((picture.result = ResultOf(reply, false)))
            return picture;
        const auto paths = qdbus_cast<QList<QDBusObjectPath>>(ReplyValue(reply));
        for (const QDBusObjectPath &path : paths) {
            TActiveInfo info;
            if (ReadActive(path.path(), info) != rasSuccess)
                continue; // ended since the listing
            if (!IsDialUpActive(info))
                continue;
            TActiveRecord record;
            record.path = path.path();
            record.id = info.id;
            record.type = info.type;
            record.state = info.state;
            ReadDevice(info.devicePath, record.deviceName, record.deviceState);
            ReadProjection(info, record);
            picture.actives.append(record);
        }
        return picture;
    }

    // 0 and the states, or rasInvalidHandle once the connection is gone.
    int ReadActivationState(const QString &activePath, uint &activeState, uint &deviceState)
    {
        TActiveInfo info;
        if (const int result = ReadActive(activePath, info))
            return result;
        QString interfaceName;
        ReadDevice(info.devicePath, interfaceName, deviceState);
        activeState = info.state;
        return rasSuccess;
    }

private:
    QDBusConnection bus;
};

// Follows one activation until it is up or has ended, from NetworkManager's
// state signals and, in case a signal is missed or the object vanishes, from
// a slow poll. Lives on the worker thread.
class TActivationWatch : public QObject
{
    Q_OBJECT
public:
    using TReport = std::function<void(int rasState, int error, bool final)>;

    TActivationWatch(TNmBus &bus, const QString &path, TReport report, QObject *parent)
        : QObject(parent), bus_(bus), path_(path), report_(std::move(report))
    {
        QDBusConnection(bus_.Connection())
            .connect(NmService, path_, ActiveInterface, QStringLiteral("StateChanged"), this,
                     SLOT(StateChanged(uint,uint)));
        poll_.setInterval(ActivationPollMs);
        connect(&poll_, &QTimer::timeout, this, &TActivationWatch::Poll);
        limit_.setSingleShot(true);
        limit_.setInterval(ActivationLimitMs);
        connect(&limit_, &QTimer::timeout, this, [this] { Finish(rascsDisconnected, rasRequestTimeout); });
    }

    ~TActivationWatch() override { Unsubscribe(); }

    void Start()
    {
        poll_.start();
        limit_.start();
        Poll();
    }

private slots:
    void StateChanged(uint state, uint reason)
    {
        reason_ = reason;
        if (state == nmActivated || state == nmDeactivated)
            Consider(state, 0);
        else
            Poll();
    }

private:
    void Poll()
    {
        if (finished_)
            return;
        uint activeState = nmActiveUnknown;
        uint deviceState = 0;
        const int result = bus_.ReadActivationState(path_, activeState, deviceState);
        if (result == rasInvalidHandle)
            Finish(rascsDisconnected, FailureOf(reason_));
        else if (result == rasSuccess)
            Consider(activeState, deviceState);
        // Any other failure: the service is slow or away for a moment; the
        // next poll or the limit decides.
    }

    void Consider(uint activeState, uint deviceState)
    {
        if (finished_)
            return;
        if (activeState == nmActivated) {
            Finish(rascsConnected, 0);
        } else if (activeState == nmDeactivated) {
            Finish(rascsDisconnected, FailureOf(reason_));
        } else {
            const int state = RasStateOf(activeState, deviceState);
            if (state != lastReported_) {
                lastReported_ = state;
                report_(state, 0, false);
            }
        }
    }

    void Finish(int state, int error)
    {
        if (finished_)
            return;
        finished_ = true;
        poll_.stop();
        limit_.stop();
        Unsubscribe();
        report_(state, error, true);
        deleteLater();
    }

    void Unsubscribe()
    {
        if (subscribed_) {
            subscribed_ = false;
            QDBusConnection(bus_.Connection())
                .disconnect(NmService, path_, ActiveInterface, QStringLiteral("StateChanged"), this,
                            SLOT(StateChanged(uint,uint)));
        }
    }

    TNmBus &bus_;
    QString path_;
    TReport report_;
    QTimer poll_;
    QTimer limit_;
    uint reason_ = 0;
    int lastReported_ = -1;
    bool finished_ = false;
    bool subscribed_ = true;
};

// The worker thread's side: the bus and the watches of activations under way.
class TNmWorker : public QObject
{
public:
    explicit TNmWorker(const QDBusConnection &connection) : bus(connection) {}
    TNmBus bus;
};

} // namespace

struct TNetworkManagerDialUpBackend::Private {
    explicit Private(const QDBusConnection &connection)
    {
        thread = new QThread;
        thread->setObjectName(QStringLiteral("NetworkManager"));
        worker = new TNmWorker(connection);
        worker->moveToThread(thread);
        QObject::connect(thread, &QThread::finished, worker, &QObject::deleteLater);
        thread->start();
    }

    ~Private()
    {
        life.reset();
        // A wait of this backend still running (the event loop ran inside
        // it) ends now; it finds the backend gone.
        for (QEventLoop *loop : std::as_const(waits))
            loop->quit();
        // The worker goes with its thread. A worker stuck in a call to a
        // service that does not answer is left to finish by itself: what it
        // hands back then finds no backend.
        thread->quit();
        if (thread->wait(WorkerStopWaitMs))
            delete thread;
        else
            QObject::connect(thread, &QThread::finished, thread, &QObject::deleteLater);
    }

    // Runs job on the worker and hands its result to done on this thread.
    // done may outlive the backend: it must not touch it unless it checks.
    template <typename R>
    void Post(std::function<R(TNmBus &)> job, std::function<void(const R &)> done)
    {
        QMetaObject::invokeMethod(
            worker,
            [w = worker, job = std::move(job), done = std::move(done), home = answers] {
                const R result = job(w->bus);
                QMetaObject::invokeMethod(
                    home.get(), [done, result] { done(result); }, Qt::QueuedConnection);
            },
            Qt::QueuedConnection);
    }

    // Runs a wait of at most limitMs in the event loop; it ends early when
    // the backend goes. False when the backend went.
    bool Wait(QEventLoop &loop, int limitMs)
    {
        const std::weak_ptr<int> alive = life;
        QTimer::singleShot(limitMs, &loop, &QEventLoop::quit);
        waits.insert(&loop);
        loop.exec();
        if (alive.expired())
            return false;
        waits.remove(&loop);
        return true;
    }

    // Runs job on the worker and waits for its result, the event loop
    // running meanwhile; nothing when limitMs passed first or the backend
    // went while waiting (check the caller's alive before touching it).
    template <typename R>
    std::optional<R> Await(std::function<R(TNmBus &)> job, int limitMs)
    {
        struct TWait {
            std::optional<R> result;
            QEventLoop *loop = nullptr;
        };
        const auto wait = std::make_shared<TWait>();
        Post<R>(std::move(job), [wait](const R &result) {
            wait->result = result;
            if (wait->loop)
                wait->loop->quit();
        });
        QEventLoop loop;
        wait->loop = &loop;
        const bool stayed = Wait(loop, limitMs);
        wait->loop = nullptr;
        if (!stayed)
            return std::nullopt;
        return wait->result;
    }

    TRasHandle HandleOf(const QString &activePath)
    {
        const auto it = handleOfPath.constFind(activePath);
        if (it != handleOfPath.constEnd())
            return *it;
        if (++lastHandle == 0)
            ++lastHandle;
        handleOfPath.insert(activePath, lastHandle);
        pathOfHandle.insert(lastHandle, activePath);
        return lastHandle;
    }

    void Take(const TActivePicture &fresh)
    {
        picture = fresh;
        pictureTaken = true;
        for (const TActiveRecord &record : std::as_const(picture.actives))
            HandleOf(record.path);
    }

    // A new picture of the active connections is asked for, unless one is
    // on its way already.
    void Refresh()
    {
        if (refreshing)
            return;
        refreshing = true;
        Post<TActivePicture>([](TNmBus &bus) { return bus.ReadActives(); },
                             [this, alive = std::weak_ptr<int>(life)](const TActivePicture &fresh) {
                                 if (alive.expired())
                                     return;
                                 refreshing = false;
                                 Take(fresh);
                             });
    }

    // After a change: the picture is read again and taken before returning,
    // so that the caller sees the change. False when the backend went.
    bool RefreshNow()
    {
        const std::weak_ptr<int> alive = life;
        const std::optional<TActivePicture> fresh =
            Await<TActivePicture>([](TNmBus &bus) { return bus.ReadActives(); }, ListingWaitMs);
        if (alive.expired())
            return false;
        if (fresh)
            Take(*fresh);
        return true;
    }

    // The record of a handle in the picture; the result says why there is none.
    int Find(TRasHandle handle, const TActiveRecord *&record) const
    {
        record = nullptr;
        const QString path = pathOfHandle.value(handle);
        if (path.isEmpty())
            return rasInvalidHandle;
        if (!pictureTaken)
            return rasServiceUnavailable;
        if (picture.result)
            return picture.result;
        for (const TActiveRecord &r : picture.actives) {
            if (r.path == path) {
                record = &r;
                return rasSuccess;
            }
        }
        return rasInvalidHandle;
    }

    QThread *thread = nullptr;
    TNmWorker *worker = nullptr;
    // Receives the worker's answers on this thread; kept by every answer on
    // its way, so that it is there when the answer arrives.
    std::shared_ptr<QObject> answers{new QObject, [](QObject *o) { o->deleteLater(); }};
    QSet<QEventLoop *> waits;

    TActivePicture picture;
    bool pictureTaken = false;
    bool refreshing = false;
    QHash<QString, TRasHandle> handleOfPath;
    QHash<TRasHandle, QString> pathOfHandle;
    TRasHandle lastHandle = 0;
    // Expires with the backend: a wait that ran the event loop checks it
    // before touching the backend again.
    std::shared_ptr<int> life = std::make_shared<int>(0);
};

TNetworkManagerDialUpBackend::TNetworkManagerDialUpBackend(const QDBusConnection &bus)
    : d(std::make_unique<Private>(bus))
{
    // The first picture is on its way before anyone asks.
    d->Refresh();
}

TNetworkManagerDialUpBackend::~TNetworkManagerDialUpBackend() = default;

bool TNetworkManagerDialUpBackend::Answers(const QDBusConnection &bus, int timeoutMs)
{
    if (!bus.isConnected())
        return false;
    QDBusMessage probe = QDBusMessage::createMethodCall(NmService, NmPath, PropertiesInterface, QStringLiteral("Get"));
    probe.setArguments({NmInterface, QStringLiteral("Version")});
    return bus.call(probe, QDBus::Block, timeoutMs).type() == QDBusMessage::ReplyMessage;
}

int TNetworkManagerDialUpBackend::EnumEntries(int capacity, QStringList &names)
{
    names.clear();
    const std::weak_ptr<int> alive = d->life;
    const std::optional<TProfileList> list =
        d->Await<TProfileList>([](TNmBus &bus) { return bus.ListProfiles(); }, ListingWaitMs);
    if (alive.expired())
        return rasUnknownError;
    if (!list)
        return rasServiceUnavailable;
    if (list->result)
        return list->result;
    if (list->profiles.size() > capacity)
        return rasBufferTooSmall;
    for (const auto &profile : list->profiles)
        names.append(ProfileId(profile.second));
    return rasSuccess;
}

int TNetworkManagerDialUpBackend::EnumConnections(int capacity, QList<TRasConnection> &connections)
{
    // The picture the worker read last, never a wait: the window asks every
    // second. The next picture is asked for at once.
    connections.clear();
    d->Refresh();
    if (!d->pictureTaken)
        return rasServiceUnavailable;
    if (d->picture.result)
        return d->picture.result;
    if (d->picture.actives.size() > capacity)
        return rasBufferTooSmall;
    for (const TActiveRecord &record : std::as_const(d->picture.actives)) {
        TRasConnection connection;
        connection.Handle = d->HandleOf(record.path);
        connection.EntryName = record.id;
        connection.DeviceType = DeviceTypeOf(record.type);
        connection.DeviceName = record.deviceName;
        connections.append(connection);
    }
    return rasSuccess;
}

int TNetworkManagerDialUpBackend::GetConnectStatus(TRasHandle handle, TRasConnStatus &status)
{
    d->Refresh();
    const TActiveRecord *record = nullptr;
    if (const int result = d->Find(handle, record))
        return result;
    status.State = RasStateOf(record->state, record->deviceState);
    status.Error = 0;
    status.DeviceType = DeviceTypeOf(record->type);
    status.DeviceName = record->deviceName;
    return rasSuccess;
}

int TNetworkManagerDialUpBackend::GetErrorString(int code, QString &text)
{
    text.clear();
    return RasStandardErrorText(code, text) ? rasSuccess : rasInvalidParameter;
}

int TNetworkManagerDialUpBackend::GetEntryDialParams(const QString &entryName, TRasDialParams &params)
{
    params = TRasDialParams();
    struct TFound {
        int result = rasSuccess;
        TNmSettings settings;
    };
    const std::weak_ptr<int> alive = d->life;
    const std::optional<TFound> found = d->Await<TFound>(
        [entryName](TNmBus &bus) {
            TFound f;
            QString profilePath;
            f.result = bus.FindProfile(entryName, profilePath, f.settings);
            return f;
        },
        ListingWaitMs);
    if (alive.expired())
        return rasUnknownError;
    if (!found)
        return rasServiceUnavailable;
    if (found->result)
        return found->result;
    params.EntryName = entryName;
    // NetworkManager keeps the secrets and hands them over at activation, so
    // the password stays empty here.
    for (const QString &section : {QStringLiteral("gsm"), QStringLiteral("cdma"), QStringLiteral("pppoe")}) {
        const QVariantMap values = found->settings.value(section);
        if (params.PhoneNumber.isEmpty())
            params.PhoneNumber = values.value(QStringLiteral("number")).toString();
        if (params.UserName.isEmpty())
            params.UserName = values.value(QStringLiteral("username")).toString();
    }
    return rasSuccess;
}

int TNetworkManagerDialUpBackend::Dial(const TRasDialParams &params, const TRasDialNotifier &notifier,
                                       TRasHandle &handle)
{
    handle = 0;
    struct TStarted {
        int result = rasSuccess;
        QString activePath;
    };
    const std::weak_ptr<int> alive = d->life;
    const QString entryName = params.EntryName;
    const std::optional<TStarted> started = d->Await<TStarted>(
        [entryName](TNmBus &bus) {
            TStarted s;
            QString profilePath;
            TNmSettings settings;
            if ((s.result = bus.FindProfile(entryName, profilePath, settings)))
                return s;
            const QDBusObjectPath any(QStringLiteral("/"));
            const QDBusMessage reply =
                bus.Call(NmPath, NmInterface, QStringLiteral("ActivateConnection"),
                         {QVariant::fromValue(QDBusObjectPath(profilePath)), QVariant::fromValue(any),
                          QVariant::fromValue(any)},
                         ChangeTimeoutMs, true);
            if ((s.result = ResultOf(reply, false)))
                return s;
            s.activePath = qdbus_cast<QDBusObjectPath>(reply.arguments().value(0)).path();
            return s;
        },
        ChangeTimeoutMs + ListingWaitMs);
    if (alive.expired())
        return rasUnknownError;
    if (!started)
        return rasRequestTimeout;
    if (started->result)
        return started->result;
    handle = d->HandleOf(started->activePath);

    // The watch lives on the worker; its reports come back here, to the
    // notifier or to the wait below, while the backend is there.
    struct TOutcome {
        int result = -1;
        QEventLoop *loop = nullptr;
    };
    const auto outcome = std::make_shared<TOutcome>();
    const QString activePath = started->activePath;
    TActivationWatch::TReport report = [home = d->answers, alive, notifier, outcome](int state, int error,
                                                                                     bool final) {
        QMetaObject::invokeMethod(
            home.get(),
            [alive, notifier, outcome, state, error, final] {
                if (alive.expired())
                    return;
                if (notifier) {
                    notifier(state, error);
                    return;
                }
                if (!final)
                    return;
                outcome->result = state == rascsConnected ? int(rasSuccess) : (error ? error : int(rasPortDisconnected));
                if (outcome->loop)
                    outcome->loop->quit();
            },
            Qt::QueuedConnection);
    };
    QMetaObject::invokeMethod(
        d->worker,
        [w = d->worker, activePath, report] {
            // The first state goes out after Dial has returned, as a
            // dialler's would.
            auto *watch = new TActivationWatch(w->bus, activePath, report, w);
            QTimer::singleShot(0, watch, [watch] { watch->Start(); });
        },
        Qt::QueuedConnection);

    if (!notifier) {
        QEventLoop loop;
        outcome->loop = &loop;
        const bool stayed = d->Wait(loop, ActivationLimitMs + ListingWaitMs);
        outcome->loop = nullptr;
        if (!stayed)
            return rasUnknownError;
    }
    if (!d->RefreshNow())
        return rasUnknownError;
    if (notifier)
        return rasSuccess;
    return outcome->result < 0 ? int(rasRequestTimeout) : outcome->result;
}

int TNetworkManagerDialUpBackend::HangUp(TRasHandle handle)
{
    const QString path = d->pathOfHandle.value(handle);
    if (path.isEmpty())
        return rasInvalidHandle;
    const std::weak_ptr<int> alive = d->life;
    const std::optional<int> result = d->Await<int>(
        [path](TNmBus &bus) {
            // Only a connection of a dial-up kind is ever taken down.
            TActiveInfo info;
            if (const int read = bus.ReadActive(path, info))
                return read;
            if (!bus.IsDialUpActive(info))
                return int(rasInvalidHandle);
            return ResultOf(bus.Call(NmPath, NmInterface, QStringLiteral("DeactivateConnection"),
                                     {QVariant::fromValue(QDBusObjectPath(path))}, ChangeTimeoutMs, true),
                            true);
        },
        ChangeTimeoutMs + ListingWaitMs);
    if (alive.expired())
        return rasUnknownError;
    if (!result)
        return rasRequestTimeout;
    if (!d->RefreshNow())
        return rasUnknownError;
    return *result;
}

int TNetworkManagerDialUpBackend::GetProjectionInfo(TRasHandle handle, int protocol, TRasPppIp &projection)
{
    projection = TRasPppIp();
    if (protocol != rasPppIpProtocol)
        return rasProtocolNotConfigured;
    const TActiveRecord *record = nullptr;
    if (const int result = d->Find(handle, record))
        return result;
    if (record->projectionResult)
        return record->projectionResult;
    projection.IPAddress = record->address;
    projection.ServerIPAddress = record->farEnd;
    return rasSuccess;
}

#include "NetworkManagerDialUpBackend.moc"
