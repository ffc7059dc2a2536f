// Local folders written with their final "/".

#include "LocalPaths.h"

#include <QDir>

QString LocalFolderPath(const QString &folder)
{
    if (folder.isEmpty())
        return QString();
    const QString clean = QDir::cleanPath(QDir(folder).absolutePath());
    return clean.endsWith(QLatin1Char('/')) ? clean : clean + QLatin1Char('/');
}

QString LocalParentFolder(const QString &folder)
{
    // Drop the final "/", then everything after the "/" before it.
    if (folder.size() <= 1 || !folder.endsWith(QLatin1Char('/')))
        return QString();
    const qsizetype slash = folder.lastIndexOf(QLatin1Char('/'), folder.size() - 2);
    return slash < 0 ? QString() : folder.left(slash + 1);
}
