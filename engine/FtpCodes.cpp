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

namespace {
struct SocketErrorRow {
    quint16 code;
    FtpError error;
    const char *text; // UTF-8
};

constexpr SocketErrorRow socketErrorTable[] = {
    {WinSock::AccessDenied, ftpeInvalidAddress, "Adresse spécifiée invalide"},
    {WinSock::InvalidArgument, ftpeInternal, ""},
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
            *text = QString::fromUtf8(row.text);
            return true;
        }
    }
    *error = ftpeInternal;
    *text = QStringLiteral("Erreur inattendue interne au composant (Code Erreur WinSock: %1)").arg(code);
    return true;
}
