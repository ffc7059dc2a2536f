#include "FileTypeNames.h"

#include <QHash>
#include <QMimeDatabase>
#include <QMimeType>

namespace {

constexpr qsizetype MaxTypeNameLength = 80;

QString extensionOf(const QString &fileName)
{
    // Names from servers may carry either separator.
    const qsizetype slash = qMax(fileName.lastIndexOf(u'/'), fileName.lastIndexOf(u'\\'));
    const qsizetype dot = fileName.lastIndexOf(u'.');
    return dot > slash ? fileName.mid(dot + 1) : QString();
}

QString limited(QString text)
{
    if (text.size() > MaxTypeNameLength) {
        qsizetype cut = MaxTypeNameLength;
        if (text.at(cut - 1).isHighSurrogate())
            --cut; // never leave half a character behind
        text.truncate(cut);
    }
    return text;
}

QString lookUp(const QString &extension)
{
    if (extension.isEmpty())
        return QStringLiteral("File");
    // Asking with a stand-in name keeps the answer a function of the
    // extension alone ("a.tar.gz" is typed like any other ".gz"), which is
    // what makes the per-extension cache valid.
    const QMimeDatabase database;
    const QMimeType type =
        database.mimeTypeForFile(QStringLiteral("file.") + extension, QMimeDatabase::MatchExtension);
    if (!type.isValid() || type.isDefault() || type.comment().isEmpty())
        return limited(extension.toUpper() + QStringLiteral(" file"));
    return limited(type.comment());
}

} // namespace

QString FileTypeName(const QString &fileName)
{
    // Sorting by type asks once per comparison; the MIME database is far too
    // slow for that. The comment's language is the one in force when an
    // extension is first seen on this thread.
    thread_local QHash<QString, QString> cache;
    const QString extension = extensionOf(fileName);
    auto it = cache.constFind(extension);
    if (it == cache.constEnd())
        it = cache.insert(extension, lookUp(extension));
    return it.value();
}

QString LocalFolderTypeName()
{
    return QStringLiteral("Dossier de fichiers");
}

QString QuickFolderTypeName()
{
    return QStringLiteral("Dossier");
}

QString RemoteFolderTypeName()
{
    return QStringLiteral("Répertoire");
}

QString LocalEntryTypeName(const QString &name, bool isFolder)
{
    return isFolder ? LocalFolderTypeName() : FileTypeName(name);
}

QString QuickEntryTypeName(const QString &name, bool isFolder)
{
    return isFolder ? QuickFolderTypeName() : FileTypeName(name);
}
