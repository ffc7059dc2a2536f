// Naming rules and texts of the compress commands (see ArchiveNaming.h).
#include "ArchiveNaming.h"

#include "FileNameExtension.h"

namespace {

const QString ZipExtension = QStringLiteral(".zip");

QString ArchiveFolder(const QString &localFolder, TArchiveLocation location, const QString &temporaryFolder)
{
    return location == TArchiveLocation::TemporaryFolder ? temporaryFolder : localFolder;
}

} // namespace

QString AllFilesWildcard()
{
    return QStringLiteral("/*.*");
}

QString ArchiveBoxCaption()
{
    return QStringLiteral("Archivage");
}

QString ArchiveBoxLabel()
{
    return QStringLiteral("nom de l'archive");
}

QString ArchiveBoxDefault()
{
    return QStringLiteral("*.zip");
}

bool NeedsArchiveName(const QList<TLocalRow> &selection)
{
    if (selection.isEmpty() || selection.first().IsFolder)
        return false;
    qsizetype files = 0;
    for (const TLocalRow &row : selection)
        if (!row.IsFolder)
            ++files;
    return files > 1;
}

TArchivePlan PlanArchive(const QString &localFolder, const QList<TLocalRow> &selection,
                         TArchiveLocation location, const QString &temporaryFolder,
                         const QString &answer)
{
    TArchivePlan plan;
    if (selection.isEmpty())
        return plan;
    for (const TLocalRow &row : selection)
        if (!row.IsFolder)
            plan.FilesList.append(localFolder + row.Caption);

    const TLocalRow &first = selection.first();
    if (first.IsFolder) {
        plan.FilesList.append(localFolder + first.Caption + AllFilesWildcard());
        plan.ZipName = ArchiveFolder(localFolder, location, temporaryFolder) + first.Caption + ZipExtension;
        plan.RemoteName = first.Caption + ZipExtension;
    } else if (plan.FilesList.size() == 1) {
        plan.ZipName = ChangeFileExt(plan.FilesList.first(), ZipExtension);
        plan.RemoteName = first.Caption + ZipExtension;
    } else {
        plan.ZipName = ArchiveFolder(localFolder, location, temporaryFolder) + answer;
        plan.RemoteName = answer;
    }
    return plan;
}

QString CompressionProgressText(const QString &zipName, int percent)
{
    return zipName + QStringLiteral(" : Compression en cours : ") + QString::number(percent) + QLatin1Char('%');
}

QString CompressionDoneText(const QString &zipName)
{
    return zipName + QStringLiteral(" : Compression terminée");
}

QString NotConnectedArchiveText()
{
    return QStringLiteral("Vous n'êtes pas connecté, l'archive a bien été créée. "
                          "Connectez vous et transférez l'archive manuellement.");
}

QString DeleteArchiveQuestion(const QString &zipName)
{
    return QStringLiteral("Voulez-vous vraiment supprimer ") + zipName + QLatin1Char('?');
}

QString LocalCompressionMarker()
{
    return QStringLiteral("Compression locale");
}

QString SendCompressionMarker()
{
    return QStringLiteral("Compression et envoi");
}

QStringList MarkedForCompression(const QString &localFolder, const QList<TLocalRow> &selection, bool andSend)
{
    const QString marker = andSend ? SendCompressionMarker() : LocalCompressionMarker();
    QStringList lines;
    for (const TLocalRow &row : selection)
        if (!row.IsFolder)
            lines.append(localFolder + row.Caption + marker);
    return lines;
}
