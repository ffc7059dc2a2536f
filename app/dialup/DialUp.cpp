#include "DialUp.h"

#include <QDeadlineTimer>
#include <QEventLoop>
#include <QHash>
#include <QMutex>
#include <QMutexLocker>
#include <QPair>
#include <QPointer>
#include <QTimer>

namespace {

// The buffers of the enumerations hold this many records; a service with
// more reports rasBufferTooSmall and the enumeration reports nothing.
constexpr int EnumerationCapacity = 100;

// A hang-up is confirmed by polling the connection's status until the
// service no longer knows it. The limit keeps a connection that never goes
// away from holding the program (the service finishes the hang-up anyway).
constexpr int HangUpPollMs = 50;
constexpr int HangUpWaitLimitMs = 5000;

const QString EntryLookupFailed = QStringLiteral("GetEntryDialParams failed");

using TStateTexts = QHash<int, QString>;

const TStateTexts &FrenchTexts()
{
    static const TStateTexts texts = {
        {rascsOpenPort, QStringLiteral("Ouverture du port")},
        {rascsPortOpened, QStringLiteral("Port ouvert")},
        {rascsConnectDevice, QStringLiteral("Connection du périphérique")},
        {rascsDeviceConnected, QStringLiteral("périphérique connecté")},
        {rascsAllDevicesConnected, QStringLiteral("Tous les périphériques sont connectés")},
        {rascsAuthenticate, QStringLiteral("Démarrage authentification")},
        {rascsAuthNotify, QStringLiteral("Authentification: en cours")},
        {rascsAuthRetry, QStringLiteral("Authentification: nouvel essai")},
        {rascsAuthCallback, QStringLiteral("Authentification: rappel")},
        {rascsAuthChangePassword, QStringLiteral("Authentification: changement de mot de passe")},
        {rascsAuthProject, QStringLiteral("Authentification: projection")},
        {rascsAuthLinkSpeed, QStringLiteral("Authentication: vitesse de liaison")},
        {rascsAuthAck, QStringLiteral("Authentification: reconnaissance")},
        {rascsReAuthenticate, QStringLiteral("Authentification: réauthentification")},
        {rascsAuthenticated, QStringLiteral("Authentifié")},
        {rascsPrepareForCallback, QStringLiteral("Preparation pour réponse")},
        {rascsWaitForModemReset, QStringLiteral("En attente de reinitilisation modem")},
        {rascsWaitForCallback, QStringLiteral("En attente de rappel")},
        {rascsProjected, QStringLiteral("Projection")},
        {rascsStartAuthentication, QStringLiteral("Démarrage authentification")},
        {rascsCallbackComplete, QStringLiteral("Rappel accompli")},
        {rascsLogonNetwork, QStringLiteral("Connexion réseau")},
        {rascsInteractive, QStringLiteral("Interactif")},
        {rascsRetryAuthentication, QStringLiteral("Réeesai Authentification")},
        {rascsCallbackSetByCaller, QStringLiteral("Callback set by caller")},
        {rascsPasswordExpired, QStringLiteral("Mot de passe expiré")},
        {rascsConnected, QStringLiteral("Connecté")},
        {rascsDisconnected, QStringLiteral("Déconnecté")},
    };
    return texts;
}

const TStateTexts &CzechTexts()
{
    static const TStateTexts texts = {
        {rascsOpenPort, QStringLiteral("Otevírání portu")},
        {rascsPortOpened, QStringLiteral("Port otevřen")},
        {rascsConnectDevice, QStringLiteral("Připojování zařízení")},
        {rascsDeviceConnected, QStringLiteral("Zařízení připojeno")},
        {rascsAllDevicesConnected, QStringLiteral("Všechna zařízení jsou připojena")},
        {rascsAuthenticate, QStringLiteral("Zahájení ověřování")},
        {rascsAuthNotify, QStringLiteral("Ověřování: probíhá")},
        {rascsAuthRetry, QStringLiteral("Ověřování: nový pokus")},
        {rascsAuthCallback, QStringLiteral("Ověřování: zpětné volání")},
        {rascsAuthChangePassword, QStringLiteral("Ověřování: změna hesla")},
        {rascsAuthProject, QStringLiteral("Ověřování: projekce")},
        {rascsAuthLinkSpeed, QStringLiteral("Ověřování: rychlost linky")},
        {rascsAuthAck, QStringLiteral("Ověřování: potvrzení")},
        {rascsReAuthenticate, QStringLiteral("Ověřování: opětovné ověření")},
        {rascsAuthenticated, QStringLiteral("Ověřeno")},
        {rascsPrepareForCallback, QStringLiteral("Příprava na zpětné volání")},
        {rascsWaitForModemReset, QStringLiteral("Čekání na reset modemu")},
        {rascsWaitForCallback, QStringLiteral("Čekání na zpětné volání")},
        {rascsProjected, QStringLiteral("Projekce")},
        {rascsStartAuthentication, QStringLiteral("Zahájení ověřování")},
        {rascsCallbackComplete, QStringLiteral("Zpětné volání dokončeno")},
        {rascsLogonNetwork, QStringLiteral("Přihlašování k síti")},
        {rascsInteractive, QStringLiteral("Interaktivní")},
        {rascsRetryAuthentication, QStringLiteral("Opakování ověřování")},
        {rascsCallbackSetByCaller, QStringLiteral("Zpětné volání nastavené volajícím")},
        {rascsPasswordExpired, QStringLiteral("Platnost hesla vypršela")},
        {rascsConnected, QStringLiteral("Připojeno")},
        {rascsDisconnected, QStringLiteral("Odpojeno")},
    };
    return texts;
}

const TStateTexts &PortugueseTexts()
{
    static const TStateTexts texts = {
        {rascsOpenPort, QStringLiteral("Abrindo a porta")},
        {rascsPortOpened, QStringLiteral("Porta aberta")},
        {rascsConnectDevice, QStringLiteral("Conectando o dispositivo")},
        {rascsDeviceConnected, QStringLiteral("Dispositivo conectado")},
        {rascsAllDevicesConnected, QStringLiteral("Todos os dispositivos conectados")},
        {rascsAuthenticate, QStringLiteral("Iniciando a autenticação")},
        {rascsAuthNotify, QStringLiteral("Autenticação: em curso")},
        {rascsAuthRetry, QStringLiteral("Autenticação: nova tentativa")},
        {rascsAuthCallback, QStringLiteral("Autenticação: retorno de chamada")},
        {rascsAuthChangePassword, QStringLiteral("Autenticação: alteração de senha")},
        {rascsAuthProject, QStringLiteral("Autenticação: projeção")},
        {rascsAuthLinkSpeed, QStringLiteral("Autenticação: velocidade da ligação")},
        {rascsAuthAck, QStringLiteral("Autenticação: confirmação")},
        {rascsReAuthenticate, QStringLiteral("Autenticação: nova autenticação")},
        {rascsAuthenticated, QStringLiteral("Autenticado")},
        {rascsPrepareForCallback, QStringLiteral("Preparando o retorno de chamada")},
        {rascsWaitForModemReset, QStringLiteral("Aguardando a reinicialização do modem")},
        {rascsWaitForCallback, QStringLiteral("Aguardando o retorno de chamada")},
        {rascsProjected, QStringLiteral("Projeção")},
        {rascsStartAuthentication, QStringLiteral("Iniciando a autenticação")},
        {rascsCallbackComplete, QStringLiteral("Retorno de chamada concluído")},
        {rascsLogonNetwork, QStringLiteral("Conectando à rede")},
        {rascsInteractive, QStringLiteral("Interativo")},
        {rascsRetryAuthentication, QStringLiteral("Repetindo a autenticação")},
        {rascsCallbackSetByCaller, QStringLiteral("Retorno de chamada definido pelo chamador")},
        {rascsPasswordExpired, QStringLiteral("Senha expirada")},
        {rascsConnected, QStringLiteral("Conectado")},
        {rascsDisconnected, QStringLiteral("Desconectado")},
    };
    return texts;
}

const TStateTexts &TextsOf(TLanguage language)
{
    switch (language) {
    case TLanguage::Czech: return CzechTexts();
    case TLanguage::Portuguese: return PortugueseTexts();
    case TLanguage::France: break;
    }
    return FrenchTexts();
}

} // namespace

struct TDialUp::Private {
    std::unique_ptr<TDialUpBackend> backend;
    TDialMode dialMode = dmSync;
    TLanguage language = TLanguage::France;
    QString entry;
    QStringList entries;
    QString serverIP;
    QString clientIP;
    QStringList duna;
    TRasHandle dialled = 0;
    bool dialling = false;

    // Notifications of an asynchronous dial may come from the service's own
    // thread; they wait here and the timer hands them to the owner, one per
    // tick, on the component's thread.
    QMutex pendingLock;
    QList<QPair<int, int>> pending;
    QTimer notificationTimer;

    TRasDialNotifier Notifier()
    {
        return [this](int state, int error) {
            {
                QMutexLocker lock(&pendingLock);
                pending.append({state, error});
            }
            QMetaObject::invokeMethod(
                &notificationTimer, [timer = &notificationTimer] { timer->start(); }, Qt::QueuedConnection);
        };
    }
};

TDialUp::TDialUp(QObject *owner) : TDialUp(CreateDialUpBackend(), owner) {}

TDialUp::TDialUp(std::unique_ptr<TDialUpBackend> backend, QObject *owner)
    : QObject(owner), d(std::make_unique<Private>())
{
    d->backend = backend ? std::move(backend) : std::make_unique<TEmptyDialUpBackend>();
    d->notificationTimer.setInterval(1);
    d->notificationTimer.setSingleShot(true);
    connect(&d->notificationTimer, &QTimer::timeout, this, [this] {
        QPair<int, int> notification;
        {
            QMutexLocker lock(&d->pendingLock);
            if (d->pending.isEmpty())
                return;
            notification = d->pending.takeFirst();
            if (!d->pending.isEmpty())
                d->notificationTimer.start();
        }
        if (OnAsyncEvent)
            OnAsyncEvent(this, notification.first, notification.second,
                         StatusText(notification.first, notification.second));
    });
    ReadAdapterList();
}

TDialUp::~TDialUp()
{
    // The backend goes first: it may still be delivering notifications into
    // the queue until it is gone.
    d->backend.reset();
}

TDialMode TDialUp::DialMode() const { return d->dialMode; }
void TDialUp::SetDialMode(TDialMode mode) { d->dialMode = mode; }
QString TDialUp::Entry() const { return d->entry; }
void TDialUp::SetEntry(const QString &entry) { d->entry = entry; }
QStringList TDialUp::Entries() const { return d->entries; }
TLanguage TDialUp::Language() const { return d->language; }
void TDialUp::SetLanguage(TLanguage language) { d->language = language; }
QString TDialUp::ServerIP() const { return d->serverIP; }
QString TDialUp::ClientIP() const { return d->clientIP; }
QStringList TDialUp::DUNA() const { return d->duna; }
TRasHandle TDialUp::ConnectionHandle() const { return d->dialled; }

int TDialUp::GetEntries()
{
    d->entries.clear();
    QStringList names;
    if (const int result = d->backend->EnumEntries(EnumerationCapacity, names))
        return result;
    const QPointer<TDialUp> alive(this);
    for (const QString &name : std::as_const(names)) {
        d->entries.append(name);
        if (OnEntryGet)
            OnEntryGet(this, name);
        if (!alive)
            break;
    }
    return rasSuccess;
}

int TDialUp::Dial()
{
    if (d->dialling)
        return rasDialInProgress;
    const QPointer<TDialUp> alive(this);
    if (d->dialled != 0)
        HangUp();
    if (!alive)
        return rasUnknownError;

    TRasDialParams params;
    params.EntryName = d->entry;
    int result = d->backend->GetEntryDialParams(d->entry, params);
    if (result != rasSuccess) {
        if (OnError)
            OnError(this, result, EntryLookupFailed);
        return result;
    }
    d->dialled = 0;

    const bool synchronous = d->dialMode == dmSync;
    if (OnDialing)
        OnDialing(this);
    if (!alive)
        return rasUnknownError;

    TRasHandle handle = 0;
    d->dialling = true;
    result = d->backend->Dial(params, synchronous ? TRasDialNotifier() : d->Notifier(), handle);
    if (!alive)
        return result;
    d->dialling = false;

    if (result != rasSuccess) {
        if (handle != 0)
            HangUpConnection(handle);
        if (!alive)
            return result;
        QString text;
        d->backend->GetErrorString(result, text);
        if (synchronous) {
            if (OnNotConnected)
                OnNotConnected(this, result, text);
        } else if (OnError) {
            OnError(this, result, text);
        }
        return result;
    }

    d->dialled = handle;
    if (synchronous && OnConnect)
        OnConnect(this);
    return rasSuccess;
}

int TDialUp::GetConnections()
{
    QList<TRasConnection> connections;
    if (const int result = d->backend->EnumConnections(EnumerationCapacity, connections))
        return result;
    const QPointer<TDialUp> alive(this);
    for (const TRasConnection &connection : std::as_const(connections)) {
        TRasConnStatus status;
        // A connection that ended since the enumeration has no status left
        // and is no longer active.
        if (d->backend->GetConnectStatus(connection.Handle, status) != rasSuccess)
            continue;
        const QString text = StatusText(status.State, status.Error);
        if (OnActiveConnection)
            OnActiveConnection(this, connection.Handle, status, text, connection.EntryName, connection.DeviceType,
                               connection.DeviceName);
        if (!alive)
            break;
    }
    return rasSuccess;
}

int TDialUp::HangUp()
{
    return HangUpConnection(d->dialled);
}

int TDialUp::HangUpConnection(TRasHandle handle)
{
    const int result = d->backend->HangUp(handle);
    if (result != rasSuccess)
        return result;
    if (handle == d->dialled)
        d->dialled = 0;

    const QPointer<TDialUp> alive(this);
    const QDeadlineTimer limit(HangUpWaitLimitMs);
    TRasConnStatus status;
    while (d->backend->GetConnectStatus(handle, status) == rasSuccess && !limit.hasExpired()) {
        QEventLoop pause;
        QTimer::singleShot(HangUpPollMs, &pause, &QEventLoop::quit);
        pause.exec();
        if (!alive)
            break;
    }
    return result;
}

int TDialUp::GetIPAddresses(TRasHandle handle)
{
    d->serverIP.clear();
    d->clientIP.clear();
    if (handle == 0)
        return rasSuccess;
    TRasPppIp projection;
    const int result = d->backend->GetProjectionInfo(handle, rasPppIpProtocol, projection);
    if (result == rasSuccess) {
        d->clientIP = projection.IPAddress;
        d->serverIP = projection.ServerIPAddress;
    }
    return result;
}

QString TDialUp::StatusText(int state, int error)
{
    if (error != 0) {
        QString text;
        if (d->backend->GetErrorString(error, text) != rasSuccess)
            text.clear();
        return text;
    }
    return TextsOf(d->language).value(state);
}

int TDialUp::ReadAdapterList()
{
    // The adapter list came from registry keys that only Windows 9x kept;
    // no other system has them.
    d->duna.clear();
    return rasSuccess;
}
