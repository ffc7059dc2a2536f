#include "FtpCodes.h"
#include "SocketErrors.h"

QString FtpInfoDefaultText(FtpInfo info)
{
    switch (info) {
    case ftpiDisconnected: return FtpText::NotConnected;
    case ftpiBusy: return FtpText::Busy;
    case ftpiLoggedIn: return FtpText::LoggedIn;
    case ftpiResumeUnavailable: return FtpText::ResumeUnavailable;
    default: return QString();
    }
}

QString FtpErrorDefaultText(FtpError error)
{
    switch (error) {
    case ftpeNone: return QString();
    case ftpeQuitRefused: return QStringLiteral("Le serveur a refusé de fermer la session");
    case ftpeNetworkDown: return QStringLiteral("Réseau hors service");
    case ftpeInvalidAddress: return QStringLiteral("Adresse spécifiée invalide");
    case ftpeInternal: return QStringLiteral("Erreur inattendue interne au composant");
    case ftpeWinSockGeneral: return QStringLiteral("Erreur Générale WinSock");
    case ftpeConnectionAborted: return QStringLiteral("Connexion annulée à cause d'un temps d'attente écoulé ou d'une autre raison");
    case ftpeConnectionReset: return QStringLiteral("Connexion réinitialisée par le serveur");
    case ftpeTimedOut: return FtpText::ClientTimedOut;
    case ftpeNoSockets: return QStringLiteral("Plus de sockets disponibles");
    case ftpeNetworkUnreachable: return QStringLiteral("Impossible d'atteindre le réseau");
    case ftpeAddressUnreachable: return QStringLiteral("Impossible d'atteindre l'adresse");
    case ftpeConnectionRefused: return QStringLiteral("Connexion refusée");
    case ftpeCommandFailed: return QStringLiteral("Commande refusée par le serveur");
    case ftpeCannotResolve: return QStringLiteral("Impossible de résoudre l'adresse");
    case ftpeHostUnreachable: return QStringLiteral("Impossible d'atteindre l'hôte");
    case ftpeNoServer: return FtpText::NoServer;
    case ftpeLocalFileOpen: return QStringLiteral("Impossible d'ouvrir ou de créer le fichier local");
    case ftpeLocalFileWrite: return QStringLiteral("Impossible d'écrire dans le fichier local");
    case ftpeLocalFileRead: return QStringLiteral("Impossible de lire le fichier local");
    case ftpeBadRemoteName: return QStringLiteral("Nom de fichier distant invalide");
    case ftpeServerRefused: return QStringLiteral("Le serveur a refusé la connexion");
    case ftpeLoginRefused: return QStringLiteral("Identification refusée par le serveur");
    case ftpeDataConnection: return QStringLiteral("Connexion de données impossible ou perdue");
    case ftpeResumeRefused: return FtpText::DownloadResumeRefused;
    case ftpeAccessDenied: return FtpText::AccessDenied;
    case ftpeBadUrl: return FtpText::UrlUnexpected;
    }
    return QStringLiteral("Erreur %1").arg(int(error));
}

namespace {
struct SocketErrorRow {
    quint16 code;
    FtpError error;
    const char *text; // UTF-8
};

constexpr SocketErrorRow socketErrorTable[] = {
    {WinSock::AccessDenied, ftpeInvalidAddress, "Adresse spécifiée invalide"},
    // No text of its own: it gets the one of every unexpected code.
    {WinSock::InvalidArgument, ftpeInternal, nullptr},
    {WinSock::TooManySockets, ftpeNoSockets, "Plus de sockets disponibles"},
    {WinSock::AddressNotAvailable, ftpeAddressUnreachable, "Impossible d'atteindre l'adresse"},
    {WinSock::NetworkDown, ftpeNetworkDown, "Réseau hors service"},
    {WinSock::NetworkUnreachable, ftpeNetworkUnreachable, "Impossible d'atteindre le réseau"},
    {WinSock::NetworkReset, ftpeWinSockGeneral, "Erreur Générale WinSock"},
    {WinSock::ConnectionAborted, ftpeConnectionAborted,
     "Connexion annulée à cause d'un temps d'attente écoulé ou d'une autre raison"},
    {WinSock::ConnectionReset, ftpeConnectionReset, "Connexion réinitialisée par le serveur"},
    {WinSock::NoBuffers, ftpeWinSockGeneral, "Erreur Générale WinSock"},
    {WinSock::TimedOut, ftpeTimedOut, "Temps d'attente écoulé"},
    {WinSock::ConnectionRefused, ftpeConnectionRefused, "Connexion refusée"},
    {WinSock::HostUnreachable, ftpeHostUnreachable, "Impossible d'atteindre l'hôte"},
    {WinSock::HostNotFound, ftpeCannotResolve, "Impossible de résoudre l'adresse"},
    {WinSock::TryAgain, ftpeCannotResolve, "Impossible de résoudre l'adresse"},
    {WinSock::NoRecovery, ftpeCannotResolve, "Impossible de résoudre l'adresse"},
    {WinSock::NoData, ftpeCannotResolve, "Impossible de résoudre l'adresse"},
};
}

bool FtpErrorFromSocketError(quint16 code, FtpError *error, QString *text)
{
    if (code == WinSock::NoError || code == WinSock::NotSocket || code == WinSock::NotConnected)
        return false;
    for (const SocketErrorRow &row : socketErrorTable) {
        if (row.code == code) {
            *error = row.error;
            *text = row.text ? QString::fromUtf8(row.text) : FtpText::UnexpectedSocketError.arg(code);
            return true;
        }
    }
    *error = ftpeInternal;
    *text = FtpText::UnexpectedSocketError.arg(code);
    return true;
}
