#include "ScriptedDialUpBackend.h"

#include <QHash>
#include <QObject>
#include <QTimer>
#include <algorithm>
#include <thread>
#include <vector>

namespace {
struct TScriptedConnection {
    TRasConnection connection;
    TRasConnStatus status;
    bool hasProjection = false;
    TRasPppIp projection;
    bool hungUp = false;
    int lingerLeft = 0;
};
} // namespace

struct TScriptedDialUpBackend::Private {
    QList<QPair<QString, TRasDialParams>> entries;
    QList<TScriptedConnection> connections;
    QList<TScriptedDial> dials;
    QHash<QString, int> failures;
    QHash<int, QString> errorTexts;
    int hangUpLinger = 0;
    TRasHandle lastHandle = 0;
    QStringList calls;
    std::vector<std::thread> notifiers;
    // Context of the notifications delivered on the event loop; they are
    // dropped with it.
    std::unique_ptr<QObject> context = std::make_unique<QObject>();

    int Record(const QString &name, const QString &argument = QString())
    {
        calls.append(argument.isNull() ? name : name + u' ' + argument);
        return failures.value(name, rasSuccess);
    }

    TScriptedConnection *Find(TRasHandle handle)
    {
        for (TScriptedConnection &c : connections)
            if (c.connection.Handle == handle)
                return &c;
        return nullptr;
    }

    void Remove(TRasHandle handle)
    {
        connections.removeIf([handle](const TScriptedConnection &c) { return c.connection.Handle == handle; });
    }
};

TScriptedDialUpBackend::TScriptedDialUpBackend() : d(std::make_unique<Private>()) {}

TScriptedDialUpBackend::~TScriptedDialUpBackend()
{
    for (std::thread &t : d->notifiers)
        t.join();
}

void TScriptedDialUpBackend::AddEntry(const QString &name, const TRasDialParams &params)
{
    TRasDialParams stored = params;
    stored.EntryName = name;
    d->entries.append({name, stored});
}

TRasHandle TScriptedDialUpBackend::AddConnection(const QString &entryName, const QString &deviceType,
                                                 const QString &deviceName, int state, int error)
{
    TScriptedConnection c;
    c.connection.Handle = ++d->lastHandle;
    c.connection.EntryName = entryName;
    c.connection.DeviceType = deviceType;
    c.connection.DeviceName = deviceName;
    c.status.State = state;
    c.status.Error = error;
    c.status.DeviceType = deviceType;
    c.status.DeviceName = deviceName;
    d->connections.append(c);
    return c.connection.Handle;
}

void TScriptedDialUpBackend::SetConnectionStatus(TRasHandle handle, int state, int error)
{
    if (TScriptedConnection *c = d->Find(handle)) {
        c->status.State = state;
        c->status.Error = error;
    }
}

void TScriptedDialUpBackend::SetProjection(TRasHandle handle, const QString &clientAddress,
                                           const QString &serverAddress)
{
    if (TScriptedConnection *c = d->Find(handle)) {
        c->hasProjection = true;
        c->projection.IPAddress = clientAddress;
        c->projection.ServerIPAddress = serverAddress;
    }
}

void TScriptedDialUpBackend::QueueDial(const TScriptedDial &dial)
{
    d->dials.append(dial);
}

void TScriptedDialUpBackend::SetFailure(const QString &callName, int code)
{
    if (code == rasSuccess)
        d->failures.remove(callName);
    else
        d->failures.insert(callName, code);
}

void TScriptedDialUpBackend::SetErrorText(int code, const QString &text)
{
    d->errorTexts.insert(code, text);
}

void TScriptedDialUpBackend::SetHangUpLinger(int statusReads)
{
    d->hangUpLinger = statusReads;
}

QStringList TScriptedDialUpBackend::Calls() const
{
    return d->calls;
}

void TScriptedDialUpBackend::ClearCalls()
{
    d->calls.clear();
}

QList<TRasConnection> TScriptedDialUpBackend::Connections() const
{
    QList<TRasConnection> result;
    for (const TScriptedConnection &c : d->connections)
        result.append(c.connection);
    return result;
}

int TScriptedDialUpBackend::EnumEntries(int capacity, QStringList &names)
{
    names.clear();
    if (const int failure = d->Record(QStringLiteral("EnumEntries")))
        return failure;
    if (d->entries.size() > capacity)
        return rasBufferTooSmall;
    for (const auto &entry : std::as_const(d->entries))
        names.append(entry.first);
    return rasSuccess;
}

int TScriptedDialUpBackend::EnumConnections(int capacity, QList<TRasConnection> &connections)
{
    connections.clear();
    if (const int failure = d->Record(QStringLiteral("EnumConnections")))
        return failure;
    if (d->connections.size() > capacity)
        return rasBufferTooSmall;
    connections = Connections();
    return rasSuccess;
}

int TScriptedDialUpBackend::GetConnectStatus(TRasHandle handle, TRasConnStatus &status)
{
    if (const int failure = d->Record(QStringLiteral("GetConnectStatus"), QString::number(handle)))
        return failure;
    TScriptedConnection *c = d->Find(handle);
    if (!c)
        return rasInvalidHandle;
    if (c->hungUp) {
        if (c->lingerLeft == 0) {
            d->Remove(handle);
            return rasInvalidHandle;
        }
        if (c->lingerLeft > 0)
            --c->lingerLeft;
    }
    status = c->status;
    return rasSuccess;
}

int TScriptedDialUpBackend::GetErrorString(int code, QString &text)
{
    text.clear();
    if (const int failure = d->Record(QStringLiteral("GetErrorString"), QString::number(code)))
        return failure;
    const auto it = d->errorTexts.constFind(code);
    if (it != d->errorTexts.constEnd()) {
        text = *it;
        return rasSuccess;
    }
    return RasStandardErrorText(code, text) ? rasSuccess : rasInvalidParameter;
}

int TScriptedDialUpBackend::GetEntryDialParams(const QString &entryName, TRasDialParams &params)
{
    if (const int failure = d->Record(QStringLiteral("GetEntryDialParams"), entryName))
        return failure;
    for (const auto &entry : std::as_const(d->entries)) {
        if (entry.first == entryName) {
            params = entry.second;
            return rasSuccess;
        }
    }
    return rasCannotFindEntry;
}

int TScriptedDialUpBackend::Dial(const TRasDialParams &params, const TRasDialNotifier &notifier,
                                 TRasHandle &handle)
{
    handle = 0;
    if (const int failure = d->Record(QStringLiteral("Dial"), params.EntryName))
        return failure;
    const bool known = std::any_of(d->entries.cbegin(), d->entries.cend(),
                                   [&](const auto &entry) { return entry.first == params.EntryName; });
    if (!known)
        return rasCannotFindEntry;

    const TScriptedDial script = d->dials.isEmpty() ? TScriptedDial() : d->dials.takeFirst();
    if (script.During)
        script.During();
    if (script.Result == rasSuccess || script.ReturnsHandle) {
        const bool up = script.Result == rasSuccess;
        handle = AddConnection(params.EntryName, script.DeviceType, script.DeviceName,
                               up ? rascsConnected : rascsDisconnected, up ? 0 : script.Result);
    }

    if (notifier && !script.Notifications.isEmpty()) {
        if (script.NotifyFromThread) {
            d->notifiers.emplace_back([notifier, list = script.Notifications] {
                for (const auto &n : list)
                    notifier(n.first, n.second);
            });
        } else {
            for (const auto &n : script.Notifications)
                QTimer::singleShot(0, d->context.get(), [notifier, n] { notifier(n.first, n.second); });
        }
    }
    return script.Result;
}

int TScriptedDialUpBackend::HangUp(TRasHandle handle)
{
    if (const int failure = d->Record(QStringLiteral("HangUp"), QString::number(handle)))
        return failure;
    TScriptedConnection *c = d->Find(handle);
    if (!c || c->hungUp)
        return rasInvalidHandle;
    c->hungUp = true;
    c->lingerLeft = d->hangUpLinger;
    c->status.State = rascsDisconnected;
    if (d->hangUpLinger == 0)
        d->Remove(handle);
    return rasSuccess;
}

int TScriptedDialUpBackend::GetProjectionInfo(TRasHandle handle, int protocol, TRasPppIp &projection)
{
    projection = TRasPppIp();
    if (const int failure = d->Record(QStringLiteral("GetProjectionInfo"), QString::number(handle)))
        return failure;
    if (protocol != rasPppIpProtocol)
        return rasProtocolNotConfigured;
    TScriptedConnection *c = d->Find(handle);
    if (!c)
        return rasInvalidHandle;
    if (!c->hasProjection)
        return rasProjectionNotComplete;
    projection = c->projection;
    return rasSuccess;
}
