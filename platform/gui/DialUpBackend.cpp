#include "DialUpBackend.h"

#include "NetworkManagerDialUpBackend.h"

#include <QDBusConnection>
#include <QHash>

TDialUpBackend::~TDialUpBackend() = default;

bool RasStandardErrorText(int code, QString &text)
{
    static const QHash<int, QString> texts = {
        {rasAccessDenied, QStringLiteral("Accès refusé.")},
        {rasInvalidHandle, QStringLiteral("Le descripteur de connexion n'est pas valide.")},
        {rasInvalidParameter, QStringLiteral("Paramètre incorrect.")},
        {rasBufferTooSmall, QStringLiteral("La mémoire tampon est trop petite.")},
        {rasCannotFindEntry, QStringLiteral("L'entrée de l'annuaire est introuvable.")},
        {rasPortDisconnected, QStringLiteral("La connexion a été interrompue.")},
        {rasUnknownError, QStringLiteral("Une erreur inconnue s'est produite.")},
        {rasRequestTimeout, QStringLiteral("Le délai d'attente de la demande est dépassé.")},
        {rasLineBusy, QStringLiteral("La ligne est occupée.")},
        {rasNoAnswer, QStringLiteral("L'ordinateur distant ne répond pas.")},
        {rasNoDialTone, QStringLiteral("Pas de tonalité.")},
        {rasAuthenticationFailure,
         QStringLiteral("Accès refusé : le nom d'utilisateur ou le mot de passe n'est pas valide.")},
        {rasServiceUnavailable, QStringLiteral("Le service de connexion réseau ne répond pas.")},
        {rasNoPppProtocols, QStringLiteral("Aucun protocole réseau n'a pu être configuré.")},
        {rasProjectionNotComplete, QStringLiteral("La configuration du protocole n'est pas terminée.")},
        {rasProtocolNotConfigured, QStringLiteral("Le protocole n'est pas configuré.")},
        {rasDialInProgress, QStringLiteral("Cette connexion est déjà en cours d'appel.")},
    };
    const auto it = texts.constFind(code);
    if (it == texts.constEnd())
        return false;
    text = *it;
    return true;
}

int TEmptyDialUpBackend::EnumEntries(int, QStringList &names)
{
    names.clear();
    return rasSuccess;
}

int TEmptyDialUpBackend::EnumConnections(int, QList<TRasConnection> &connections)
{
    connections.clear();
    return rasSuccess;
}

int TEmptyDialUpBackend::GetConnectStatus(TRasHandle, TRasConnStatus &)
{
    return rasInvalidHandle;
}

int TEmptyDialUpBackend::GetErrorString(int code, QString &text)
{
    text.clear();
    return RasStandardErrorText(code, text) ? rasSuccess : rasInvalidParameter;
}

int TEmptyDialUpBackend::GetEntryDialParams(const QString &, TRasDialParams &)
{
    return rasCannotFindEntry;
}

int TEmptyDialUpBackend::Dial(const TRasDialParams &, const TRasDialNotifier &, TRasHandle &handle)
{
    handle = 0;
    return rasCannotFindEntry;
}

int TEmptyDialUpBackend::HangUp(TRasHandle)
{
    return rasInvalidHandle;
}

int TEmptyDialUpBackend::GetProjectionInfo(TRasHandle, int, TRasPppIp &)
{
    return rasInvalidHandle;
}

namespace {
TDialUpBackendFactory &InstalledFactory()
{
    static TDialUpBackendFactory factory;
    return factory;
}
} // namespace

std::unique_ptr<TDialUpBackend> CreateDialUpBackend(const QDBusConnection &bus, int probeTimeoutMs)
{
    if (TNetworkManagerDialUpBackend::Answers(bus, probeTimeoutMs))
        return std::make_unique<TNetworkManagerDialUpBackend>(bus);
    return std::make_unique<TEmptyDialUpBackend>();
}

std::unique_ptr<TDialUpBackend> CreateDialUpBackend()
{
    if (const TDialUpBackendFactory &factory = InstalledFactory()) {
        if (std::unique_ptr<TDialUpBackend> backend = factory())
            return backend;
    }
    return CreateDialUpBackend(QDBusConnection::systemBus(), DialUpProbeTimeoutMs);
}

void SetDialUpBackendFactory(TDialUpBackendFactory factory)
{
    InstalledFactory() = std::move(factory);
}
