// Local names of remote entries, kept inside the local folder.

#include "LocalNames.h"

std::optional<QString> LocalNameOf(const QString &remoteName)
{
    const qsizetype slash = qMax(remoteName.lastIndexOf(QLatin1Char('/')), remoteName.lastIndexOf(QLatin1Char('\\')));
    const QString name = remoteName.mid(slash + 1);
    if (name.isEmpty() || name == QLatin1String(".") || name == QLatin1String("..") || name.contains(QChar(0)))
        return std::nullopt;
    return name;
}

std::optional<QString> LocalPathOf(const QString &localFolder, const QString &remoteName)
{
    const std::optional<QString> name = LocalNameOf(remoteName);
    if (!name)
        return std::nullopt;
    return localFolder.endsWith(QLatin1Char('/')) ? localFolder + *name : localFolder + QLatin1Char('/') + *name;
}

QString UnusableLocalNameText(const QString &remoteName)
{
    return QStringLiteral("Le fichier distant « %1 » n'a pas de nom utilisable dans le répertoire local : il n'est "
                          "pas téléchargé.")
        .arg(remoteName);
}
