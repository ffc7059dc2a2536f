// Changing the extension of a file name (see FileNameExtension.h).
#include "FileNameExtension.h"

QString ChangeFileExt(const QString &path, const QString &extension)
{
    const qsizetype nameStart = path.lastIndexOf(QLatin1Char('/')) + 1;
    const qsizetype dot = path.lastIndexOf(QLatin1Char('.'));
    if (dot > nameStart)
        return path.left(dot) + extension;
    return path + extension;
}
