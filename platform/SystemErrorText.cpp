// French reasons for errno values (see SystemErrorText.h).
#include "SystemErrorText.h"

#include <cerrno>

QString SystemErrorReason(int error)
{
    switch (error) {
    case EACCES:
    case EPERM:
        return QStringLiteral("accès refusé");
    case ENOENT:
        return QStringLiteral("introuvable");
    case ENOTDIR:
        return QStringLiteral("chemin invalide");
    case EISDIR:
        return QStringLiteral("c'est un dossier");
    case ENOSPC:
        return QStringLiteral("disque plein");
    case EDQUOT:
        return QStringLiteral("quota disque dépassé");
    case EROFS:
        return QStringLiteral("support en lecture seule");
    case EIO:
        return QStringLiteral("erreur d'entrée-sortie");
    case ENAMETOOLONG:
        return QStringLiteral("nom trop long");
    case ELOOP:
        return QStringLiteral("trop de liens symboliques");
    case EMFILE:
    case ENFILE:
        return QStringLiteral("trop de fichiers ouverts");
    case EFBIG:
        return QStringLiteral("fichier trop grand");
    case EBUSY:
        return QStringLiteral("fichier occupé");
    default:
        return QStringLiteral("erreur système %1").arg(error);
    }
}
