// The texts shown for the client's errors.

#include "FtpErrorTexts.h"

QString FtpErrorMeaning(FtpError error)
{
    switch (error) {
    case ftpeQuitRefused: return QStringLiteral("Le serveur a refusé la déconnexion");
    case ftpeNetworkDown: return QStringLiteral("Le réseau est hors service");
    case ftpeInvalidAddress: return QStringLiteral("Adresse du serveur invalide");
    case ftpeInternal: return QStringLiteral("Erreur interne du client FTP");
    case ftpeWinSockGeneral: return QStringLiteral("Erreur du réseau");
    case ftpeConnectionAborted: return QStringLiteral("Connexion interrompue");
    case ftpeConnectionReset: return QStringLiteral("Connexion coupée par le serveur");
    case ftpeTimedOut: return QStringLiteral("Délai d'attente dépassé");
    case ftpeNoSockets: return QStringLiteral("Plus aucune connexion réseau disponible");
    case ftpeNetworkUnreachable: return QStringLiteral("Réseau injoignable");
    case ftpeAddressUnreachable: return QStringLiteral("Adresse injoignable");
    case ftpeConnectionRefused: return QStringLiteral("Connexion refusée par le serveur");
    case ftpeCommandFailed: return QStringLiteral("La commande a échoué");
    case ftpeCannotResolve: return QStringLiteral("Adresse du serveur introuvable");
    case ftpeHostUnreachable: return QStringLiteral("Serveur injoignable");
    case ftpeNoServer: return QStringLiteral("Aucun serveur indiqué");
    case ftpeLocalFileOpen: return QStringLiteral("Impossible d'ouvrir ou de créer le fichier local");
    case ftpeLocalFileWrite: return QStringLiteral("Impossible d'écrire dans le fichier local");
    case ftpeLocalFileRead: return QStringLiteral("Impossible de lire le fichier local");
    case ftpeBadRemoteName: return QStringLiteral("Nom de fichier distant refusé");
    case ftpeServerRefused: return QStringLiteral("Le serveur a refusé la connexion");
    case ftpeLoginRefused: return QStringLiteral("Identification refusée par le serveur");
    case ftpeDataConnection: return QStringLiteral("La connexion de données a échoué");
    case ftpeResumeRefused: return QStringLiteral("Le serveur refuse de reprendre le transfert");
    case ftpeAccessDenied: return FtpText::AccessDenied;
    case ftpeBadUrl: return QStringLiteral("Adresse ftp:// invalide");
    case ftpeNone: break;
    }
    return QStringLiteral("Erreur %1").arg(int(error));
}

QString FtpErrorShownText(FtpError error, const QString &clientText)
{
    for (const QChar c : clientText)
        if (c.unicode() > 0x20)
            return clientText;
    return FtpErrorMeaning(error);
}
