// Profile, remote folder and transfers of a scheduled run (see
// ScheduleRun.h).

#include "ScheduleRun.h"

#include "ArchiveNaming.h"
#include "LocalNames.h"
#include "ScheduleProgram.h"

#include <QDir>
#include <QFileInfo>

namespace {
// What follows the first occurrence of prefix in line.
std::optional<QString> TextAfterPrefix(const QString &line, const QString &prefix)
{
    const qsizetype at = line.indexOf(prefix);
    if (prefix.isEmpty() || at < 0)
        return std::nullopt;
    return line.mid(at + prefix.size());
}

QString NotOfSiteText(const QString &line)
{
    return QStringLiteral("La ligne « %1 » ne désigne pas un fichier du site de la programmation : elle est ignorée.")
        .arg(line);
}

QString NotFullPathText(const QString &path)
{
    return QStringLiteral("« %1 » n'est pas un chemin complet : il est ignoré.").arg(path);
}
}

QString ProfileNameOf(const QString &referenceLine)
{
    const qsizetype colon = referenceLine.indexOf(QLatin1Char(':'));
    return colon < 0 ? referenceLine : referenceLine.left(colon);
}

QString SitePrefix(const QString &name, const QString &host)
{
    return name + QLatin1Char(':') + host + QLatin1Char(':');
}

std::optional<QString> RemoteFolderOf(const QString &line, const QString &prefix)
{
    const std::optional<QString> rest = TextAfterPrefix(line, prefix);
    if (!rest)
        return std::nullopt;
    const qsizetype colon = rest->indexOf(QLatin1Char(':'));
    return colon < 0 ? *rest : rest->left(colon);
}

TScheduledDownloads PlanDownloads(const QStringList &lines, const QString &prefix, const QString &runFolder)
{
    TScheduledDownloads plan;
    const QString localFolder = ProgramLine(lines, FolderLine);
    if (!QDir::isAbsolutePath(localFolder)) {
        plan.problems << QStringLiteral("Le répertoire local « %1 » de la programmation n'est pas un chemin complet : "
                                        "rien n'est téléchargé.")
                             .arg(localFolder);
        return plan;
    }
    for (int i = FirstItemLine; i < lines.size(); ++i) {
        const QString &line = lines.at(i);
        if (line.trimmed().isEmpty())
            continue;
        const std::optional<QString> rest = TextAfterPrefix(line, prefix);
        const qsizetype colon = rest ? rest->indexOf(QLatin1Char(':')) : -1;
        if (colon < 0) {
            plan.problems << NotOfSiteText(line);
            continue;
        }
        const QString folder = rest->left(colon);
        const QString name = rest->mid(colon + 1);
        const std::optional<QString> localPath = LocalPathOf(localFolder, name);
        if (!localPath) {
            plan.problems << UnusableLocalNameText(name);
            continue;
        }
        QString remoteName = name;
        if (folder != runFolder)
            remoteName = (folder.endsWith(QLatin1Char('/')) ? folder : folder + QLatin1Char('/')) + name;
        plan.remoteNames << remoteName;
        plan.localPaths << *localPath;
    }
    return plan;
}

TScheduledUploads PlanUploads(const QStringList &lines)
{
    TScheduledUploads plan;
    for (int i = FirstItemLine; i < lines.size(); ++i) {
        const QString &line = lines.at(i);
        if (line.trimmed().isEmpty())
            continue;
        TScheduledUpload item;
        item.localPath = line;
        if (line.endsWith(LocalCompressionMarker())) {
            item.kind = TUploadKind::Compress;
            item.localPath.chop(LocalCompressionMarker().size());
        } else if (line.endsWith(SendCompressionMarker())) {
            item.kind = TUploadKind::CompressAndSend;
            item.localPath.chop(SendCompressionMarker().size());
        }
        const QFileInfo file(item.localPath);
        if (!QDir::isAbsolutePath(item.localPath) || file.fileName().isEmpty()) {
            plan.problems << NotFullPathText(item.localPath);
            continue;
        }
        item.remoteName = file.fileName();
        if (item.kind != TUploadKind::Send) {
            const QString folder = item.localPath.left(item.localPath.size() - item.remoteName.size());
            const TArchivePlan archive =
                PlanArchive(folder, {TLocalRow{item.remoteName, false}}, TArchiveLocation::LocalFolder, folder, QString());
            // A file already named ".zip" would be replaced by its own archive.
            if (QFileInfo(archive.ZipName).absoluteFilePath() == file.absoluteFilePath()) {
                plan.problems << QStringLiteral("« %1 » ne peut pas être compressé : l'archive porterait son nom.")
                                     .arg(item.localPath);
                continue;
            }
            item.archivePath = archive.ZipName;
            item.remoteName = archive.RemoteName;
        }
        plan.items << item;
    }
    return plan;
}
