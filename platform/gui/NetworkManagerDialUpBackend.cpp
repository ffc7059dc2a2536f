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
#include <QTimer>
#include <QVariantMap>

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
const QString LoopbackType = QStringLiteral("loopback");

// Reads answer at once when NetworkManager is healthy; the limit only keeps
// a stuck service from freezing the window that polls every second.
constexpr int ReadTimeoutMs = 2000;
// Activating or deactivating may wait for the user to answer an
// authorisation prompt.
constexpr int ChangeTimeoutMs = 30000;
// NetworkManager gives up on a stuck activation by itself well before this.
constexpr int ActivationLimitMs = 120000;
constexpr int ActivationPollMs = 250;

enum : uint { nmActiveUnknown = 0, nmActivating = 1, nmActivated = 2, nmDeactivating = 3, nmDeactivated = 4 };

using TNmSettings = QMap<QString, QVariantMap>;

struct TActiveInfo {
    QString id;
    QString type;
    uint state = nmActiveUnknown;
    QString devicePath;
    QString ip4Path;
};

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
        {QStringLiteral("adsl"), QStringLiteral("adsl")},
        {QStringLiteral("vpn"), QStringLiteral("vpn")},
        {QStringLiteral("wireguard"), QStringLiteral("vpn")},
        {QStringLiteral("802-3-ethernet"), QStringLiteral("ethernet")},
        {QStringLiteral("802-11-wireless"), QStringLiteral("wifi")},
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

// Follows one activation until it is up or has ended, from NetworkManager's
// state signals and, in case a signal is missed or the object vanishes, from
// a slow poll.
class TActivationWatch : public QObject
{
    Q_OBJECT
public:
    // 0 and the states, or rasInvalidHandle once the connection is gone.
    using TStateReader = std::function<int(uint &activeState, uint &deviceState)>;
    using TReport = std::function<void(int rasState, int error, bool final)>;

    TActivationWatch(const QDBusConnection &bus, const QString &path, TStateReader reader, QObject *parent = nullptr)
        : QObject(parent), bus_(bus), path_(path), reader_(std::move(reader))
    {
        bus_.connect(NmService, path_, ActiveInterface, QStringLiteral("StateChanged"), this,
                     SLOT(StateChanged(uint,uint)));
        poll_.setInterval(ActivationPollMs);
        connect(&poll_, &QTimer::timeout, this, &TActivationWatch::Poll);
        limit_.setSingleShot(true);
        limit_.setInterval(ActivationLimitMs);
        connect(&limit_, &QTimer::timeout, this, [this] { Finish(rascsDisconnected, rasRequestTimeout); });
    }

    ~TActivationWatch() override { Unsubscribe(); }

    void SetReport(TReport report) { report_ = std::move(report); }

    void Start()
    {
        poll_.start();
        limit_.start();
        Poll();
    }

    bool Finished() const { return finished_; }

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
        const int result = reader_(activeState, deviceState);
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
                if (report_)
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
        if (report_)
            report_(state, error, true);
    }

    void Unsubscribe()
    {
        if (subscribed_) {
            subscribed_ = false;
            bus_.disconnect(NmService, path_, ActiveInterface, QStringLiteral("StateChanged"), this,
                            SLOT(StateChanged(uint,uint)));
        }
    }

    QDBusConnection bus_;
    QString path_;
    TStateReader reader_;
    TReport report_;
    QTimer poll_;
    QTimer limit_;
    uint reason_ = 0;
    int lastReported_ = -1;
    bool finished_ = false;
    bool subscribed_ = true;
};

} // namespace

struct TNetworkManagerDialUpBackend::Private {
    explicit Private(const QDBusConnection &connection) : bus(connection) {}

    QDBusConnection bus;
    QHash<QString, TRasHandle> handleOfPath;
    QHash<TRasHandle, QString> pathOfHandle;
    TRasHandle lastHandle = 0;
    // Expires with the backend: a wait that processed events checks it
    // before touching the backend again.
    std::shared_ptr<int> life = std::make_shared<int>(0);
    // Parent of the watches of asynchronous dials; declared last so that
    // they go first.
    std::unique_ptr<QObject> asyncWatches = std::make_unique<QObject>();

    QDBusMessage Call(const QString &path, const QString &interface, const QString &method,
                      const QVariantList &arguments, int timeoutMs = ReadTimeoutMs,
                      QDBus::CallMode mode = QDBus::Block, bool mayAskAuthorisation = false)
    {
        QDBusMessage message = QDBusMessage::createMethodCall(NmService, path, interface, method);
        message.setArguments(arguments);
        message.setInteractiveAuthorizationAllowed(mayAskAuthorisation);
        return bus.call(message, mode, timeoutMs);
    }

    QDBusMessage Property(const QString &path, const QString &interface, const QString &name)
    {
        return Call(path, PropertiesInterface, QStringLiteral("Get"), {interface, name});
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

    int ReadSettings(const QString &profilePath, TNmSettings &settings)
    {
        const QDBusMessage reply = Call(profilePath, ProfileInterface, QStringLiteral("GetSettings"), {});
        if (const int result = ResultOf(reply, true))
            return result;
        settings = qdbus_cast<TNmSettings>(reply.arguments().value(0));
        return rasSuccess;
    }

    // The profiles that stand for phonebook entries, in the service's order,
    // with their identifiers.
    int ListProfiles(QList<QPair<QString, TNmSettings>> &profiles)
    {
        profiles.clear();
        const QDBusMessage reply = Call(SettingsPath, SettingsInterface, QStringLiteral("ListConnections"), {});
        if (const int result = ResultOf(reply, false))
            return result;
        const auto paths = qdbus_cast<QList<QDBusObjectPath>>(reply.arguments().value(0));
        for (const QDBusObjectPath &path : paths) {
            TNmSettings settings;
            if (ReadSettings(path.path(), settings) != rasSuccess)
                continue; // removed since the listing
            const QVariantMap connection = settings.value(QStringLiteral("connection"));
            if (connection.value(QStringLiteral("type")).toString() == LoopbackType)
                continue;
            if (connection.value(QStringLiteral("id")).toString().isEmpty())
                continue;
            profiles.append({path.path(), settings});
        }
        return rasSuccess;
    }

    int FindProfile(const QString &entryName, QString &profilePath, TNmSettings &settings)
    {
        QList<QPair<QString, TNmSettings>> profiles;
        if (const int result = ListProfiles(profiles))
            return result;
        for (const auto &profile : std::as_const(profiles)) {
            if (profile.second.value(QStringLiteral("connection")).value(QStringLiteral("id")).toString()
                == entryName) {
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
        return rasSuccess;
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

    TActivationWatch::TStateReader StateReader(const QString &activePath)
    {
        return [this, activePath, alive = std::weak_ptr<int>(life)](uint &activeState, uint &deviceState) {
            if (alive.expired())
                return int(rasServiceUnavailable);
            TActiveInfo info;
            if (const int result = ReadActive(activePath, info))
                return result;
            QString interfaceName;
            ReadDevice(info.devicePath, interfaceName, deviceState);
            activeState = info.state;
            return int(rasSuccess);
        };
    }
};

TNetworkManagerDialUpBackend::TNetworkManagerDialUpBackend(const QDBusConnection &bus)
    : d(std::make_unique<Private>(bus))
{
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
    QList<QPair<QString, TNmSettings>> profiles;
    if (const int result = d->ListProfiles(profiles))
        return result;
    if (profiles.size() > capacity)
        return rasBufferTooSmall;
    for (const auto &profile : std::as_const(profiles))
        names.append(profile.second.value(QStringLiteral("connection")).value(QStringLiteral("id")).toString());
    return rasSuccess;
}

int TNetworkManagerDialUpBackend::EnumConnections(int capacity, QList<TRasConnection> &connections)
{
    connections.clear();
    const QDBusMessage reply = d->Property(NmPath, NmInterface, QStringLiteral("ActiveConnections"));
    if (const int result = ResultOf(reply, false))
        return result;
    const auto paths = qdbus_cast<QList<QDBusObjectPath>>(ReplyValue(reply));
    QList<TRasConnection> found;
    for (const QDBusObjectPath &path : paths) {
        TActiveInfo info;
        if (d->ReadActive(path.path(), info) != rasSuccess)
            continue; // ended since the listing
        if (info.type == LoopbackType)
            continue;
        TRasConnection connection;
        connection.Handle = d->HandleOf(path.path());
        connection.EntryName = info.id;
        connection.DeviceType = DeviceTypeOf(info.type);
        uint deviceState = 0;
        d->ReadDevice(info.devicePath, connection.DeviceName, deviceState);
        found.append(connection);
    }
    if (found.size() > capacity)
        return rasBufferTooSmall;
    connections = found;
    return rasSuccess;
}

int TNetworkManagerDialUpBackend::GetConnectStatus(TRasHandle handle, TRasConnStatus &status)
{
    const QString path = d->pathOfHandle.value(handle);
    if (path.isEmpty())
        return rasInvalidHandle;
    TActiveInfo info;
    if (const int result = d->ReadActive(path, info))
        return result;
    uint deviceState = 0;
    QString interfaceName;
    d->ReadDevice(info.devicePath, interfaceName, deviceState);
    status.State = RasStateOf(info.state, deviceState);
    status.Error = 0;
    status.DeviceType = DeviceTypeOf(info.type);
    status.DeviceName = interfaceName;
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
    QString profilePath;
    TNmSettings settings;
    if (const int result = d->FindProfile(entryName, profilePath, settings))
        return result;
    params.EntryName = entryName;
    // NetworkManager keeps the secrets and hands them over at activation, so
    // the password stays empty here.
    for (const QString &section : {QStringLiteral("gsm"), QStringLiteral("cdma"), QStringLiteral("pppoe")}) {
        const QVariantMap values = settings.value(section);
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
    QString profilePath;
    TNmSettings settings;
    if (const int result = d->FindProfile(params.EntryName, profilePath, settings))
        return result;

    const std::weak_ptr<int> alive = d->life;
    const QDBusObjectPath any(QStringLiteral("/"));
    const QDBusMessage reply = d->Call(NmPath, NmInterface, QStringLiteral("ActivateConnection"),
                                       {QVariant::fromValue(QDBusObjectPath(profilePath)), QVariant::fromValue(any),
                                        QVariant::fromValue(any)},
                                       ChangeTimeoutMs, QDBus::BlockWithGui, true);
    if (alive.expired())
        return rasUnknownError;
    if (const int result = ResultOf(reply, false))
        return result;
    const QString activePath = qdbus_cast<QDBusObjectPath>(reply.arguments().value(0)).path();
    handle = d->HandleOf(activePath);

    if (notifier) {
        auto *watch = new TActivationWatch(d->bus, activePath, d->StateReader(activePath), d->asyncWatches.get());
        watch->SetReport([watch, notifier](int state, int error, bool final) {
            notifier(state, error);
            if (final)
                watch->deleteLater();
        });
        // The first state goes out after Dial has returned, as a dialler's would.
        QTimer::singleShot(0, watch, &TActivationWatch::Start);
        return rasSuccess;
    }

    int outcome = -1;
    QEventLoop loop;
    TActivationWatch watch(d->bus, activePath, d->StateReader(activePath));
    watch.SetReport([&](int state, int error, bool final) {
        if (!final)
            return;
        outcome = state == rascsConnected ? rasSuccess : (error ? error : rasPortDisconnected);
        loop.quit();
    });
    watch.Start();
    if (!watch.Finished())
        loop.exec();
    if (alive.expired())
        return rasUnknownError;
    return outcome < 0 ? rasUnknownError : outcome;
}

int TNetworkManagerDialUpBackend::HangUp(TRasHandle handle)
{
    const QString path = d->pathOfHandle.value(handle);
    if (path.isEmpty())
        return rasInvalidHandle;
    const std::weak_ptr<int> alive = d->life;
    const QDBusMessage reply = d->Call(NmPath, NmInterface, QStringLiteral("DeactivateConnection"),
                                       {QVariant::fromValue(QDBusObjectPath(path))}, ChangeTimeoutMs,
                                       QDBus::BlockWithGui, true);
    if (alive.expired())
        return rasUnknownError;
    return ResultOf(reply, true);
}

int TNetworkManagerDialUpBackend::GetProjectionInfo(TRasHandle handle, int protocol, TRasPppIp &projection)
{
    projection = TRasPppIp();
    if (protocol != rasPppIpProtocol)
        return rasProtocolNotConfigured;
    const QString path = d->pathOfHandle.value(handle);
    if (path.isEmpty())
        return rasInvalidHandle;
    TActiveInfo info;
    if (const int result = d->ReadActive(path, info))
        return result;
    if (info.state != nmActivated)
        return rasProjectionNotComplete;
    if (info.ip4Path.isEmpty() || info.ip4Path == QLatin1String("/"))
        return rasProtocolNotConfigured;

    const QDBusMessage addresses = d->Property(info.ip4Path, Ip4Interface, QStringLiteral("AddressData"));
    if (const int result = ResultOf(addresses, true))
        return result == rasInvalidHandle ? rasProjectionNotComplete : result;
    const auto list = qdbus_cast<QList<QVariantMap>>(ReplyValue(addresses));
    if (list.isEmpty())
        return rasProtocolNotConfigured;
    projection.IPAddress = list.first().value(QStringLiteral("address")).toString();
    // A point-to-point link names its far end; other links have a gateway.
    projection.ServerIPAddress = list.first().value(QStringLiteral("peer")).toString();
    if (projection.ServerIPAddress.isEmpty()) {
        const QDBusMessage gateway = d->Property(info.ip4Path, Ip4Interface, QStringLiteral("Gateway"));
        if (gateway.type() == QDBusMessage::ReplyMessage)
            projection.ServerIPAddress = ReplyValue(gateway).toString();
    }
    return rasSuccess;
}

#include "NetworkManagerDialUpBackend.moc"
