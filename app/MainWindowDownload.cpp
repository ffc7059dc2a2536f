// One remote file of the remote list fetched into the local folder, with
// the transfer display shown, as the explorer tab's transfer commands
// start a download.

#include "MainWindowPrivate.h"

#include "Ftp.h"
#include "FtpData.h"
#include "FtpListView.h"
#include "Prompts.h"
#include "TransferDisplay.h"

namespace {
// The part of a remote name after its last "/" or "\"; servers may use
// either as a separator.
QString LastNamePart(const QString &remoteName)
{
    const qsizetype slash = qMax(remoteName.lastIndexOf(QLatin1Char('/')), remoteName.lastIndexOf(QLatin1Char('\\')));
    return remoteName.mid(slash + 1);
}

// A name that would point at the folder itself, its parent or elsewhere is
// no file of the local folder.
bool StaysInFolder(const QString &localName)
{
    return !localName.isEmpty() && localName != QLatin1String(".") && localName != QLatin1String("..")
        && !localName.contains(QLatin1Char('/')) && !localName.contains(QChar(0));
}

QString ListedSize(const TVexFtpFileInfoList &files, const QString &name)
{
    VexFtpFileInfo info;
    for (int i = 0; i < files.Count(); ++i) {
        files.GetInfo(i, info);
        if (info.FileName == name)
            return info.Size;
    }
    return QString();
}

bool IsListedFile(const TVexFtpListView *list, const QString &name)
{
    for (int row = 0; row < list->RowCount(); ++row)
        if (!list->RowIsFolder(row) && list->RowCaption(row) == name)
            return true;
    return false;
}
}

bool TfrmMain::DownloadRemoteListFile(const QString &remoteName)
{
    const QString localName = LastNamePart(remoteName);
    if (!StaysInFolder(localName)) {
        Prompts().Message(this, MainText::Caption,
                          QStringLiteral("Le fichier distant « %1 » n'a pas de nom utilisable dans le répertoire "
                                         "local : il n'est pas téléchargé.")
                              .arg(remoteName),
                          TMessageKind::Error);
        return false;
    }
    if (!IsListedFile(d->VexFtpListView1, remoteName)) {
        Prompts().Message(this, MainText::Caption,
                          QStringLiteral("« %1 » n'est pas un fichier de la liste distante.").arg(remoteName),
                          TMessageKind::Error);
        return false;
    }

    // The listing knows the size; a size the server announces replaces it.
    TTransferDisplay *transfer = d->transferDisplay;
    transfer->SetMaximumText(ListedSize(d->VexFtp1->Files(), remoteName));
    transfer->ShowControls();
    d->VexFtp1->GetFile(remoteName, LocalFolder() + localName);
    return true;
}
