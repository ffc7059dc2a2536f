// The explorer tab's commands: both sides' navigation and file operations,
// the transfers between them (buttons, menus, drag and drop, desktop
// drops), the remote refresh with its archive question, the raw command and
// the log.

#include "ExplorerTab.h"

#include "AppContext.h"
#include "AppTexts.h"
#include "FileFilters.h"
#include "FileTypeNames.h"
#include "Ftp.h"
#include "FtpListView.h"
#include "FtpMsg.h"
#include "FtpTreeView.h"
#include "LocalFileList.h"
#include "LocalFolderTree.h"
#include "LocalNames.h"
#include "LocalPaths.h"
#include "Prompts.h"
#include "SentArchive.h"
#include "TransferDisplay.h"
#include "UrlOpener.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QPointer>

namespace {
const QString ParentCaption = QStringLiteral("..");
const QString NewFolderPrompt = QStringLiteral("Nom du nouveau répertoire?");
const QString RenameCaption = QStringLiteral("Renommer un fichier");
const QString FolderUploadQuestion =
    QStringLiteral("Vous ne pouvez pas copier un répertoire avec l'onglet <Explorateur>.Utilisez l'onglet "
                   "<Explorateur rapide> - Continuer?");

bool IsLocalFolderRow(const TLocalFileList *files, int row)
{
    return files->RowType(row) == LocalFolderTypeName();
}
}

bool TExplorerTab::Ask(const QString &question) const
{
    return Prompts().Confirm(context.Window(), MainText::Caption, question);
}

void TExplorerTab::ShowTransferDisplay()
{
    transfer->ShowControls();
}

QStringList TExplorerTab::LocalPaths(const QString &folder, const QStringList &names, QStringList &paths) const
{
    QStringList kept;
    QStringList refused;
    paths.clear();
    for (const QString &name : names) {
        const std::optional<QString> path = LocalPathOf(folder, name);
        if (path) {
            kept << name;
            paths << *path;
        } else {
            refused << UnusableLocalNameText(name);
        }
    }
    if (!refused.isEmpty())
        Prompts().Message(context.Window(), MainText::Caption, refused.join(QLatin1Char('\n')), TMessageKind::Error);
    return kept;
}

void TExplorerTab::WaitWhileClientBusy()
{
    // The client ends every operation by itself (reply, time-out or lost
    // connection), each end being an event.
    const QPointer<TVexFtp> client = context.VexFtp1();
    while (client && client->Busy() && client->Connected())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
}

void TExplorerTab::RefreshLocalTree()
{
    localTree->Reread();
}

bool TExplorerTab::SelectLocalFolderAtStart(const QString &folder)
{
    if (!localTree->SetDirectory(folder, true))
        return false;
    context.LocalFolderSelected(localTree->Directory(), true);
    return true;
}

void TExplorerTab::ShowLocalFiles()
{
    localFiles->SetDirectory(context.LocalFolder());
}

// --- Remote side ----------------------------------------------------------------

void TExplorerTab::VexFtpListView1DblClick()
{
    TVexFtp *client = context.VexFtp1();
    const QPointer<TExplorerTab> alive(this);
    const QStringList folders = list->SelectedFolders();
    if (!folders.isEmpty()) {
        if (list->RowCaption(0) == ParentCaption && folders.first() == ParentCaption) {
            if (sync->isChecked())
                retourClick();
            client->ChangeToParent();
        } else {
            client->ChangeDirectory(folders.first());
            // The local tree follows into a folder of the same name, whether
            // or not the box is checked; without one it stays.
            const std::optional<QString> name = LocalNameOf(folders.first());
            if (name && QFileInfo(context.LocalFolder() + *name).isDir())
                context.SelectLocalFolder(context.LocalFolder() + *name);
        }
    }
    if (!alive)
        return;

    QStringList temporary;
    const QStringList names = LocalPaths(LocalFolderPath(QDir::tempPath()), list->SelectedFiles(), temporary);
    if (names.isEmpty())
        return;
    context.OpenedFiles() << temporary;
    ShowTransferDisplay();
    client->GetFiles(names, temporary);
    if (!alive)
        return;
    // A file that could not be fetched is still handed to the desktop,
    // which says what is wrong with it.
    for (const QString &path : std::as_const(temporary))
        OpenUrl(QUrl::fromLocalFile(path));
}

void TExplorerTab::ToolButton8Click()
{
    context.VexFtp1()->ChangeToParent();
    if (sync->isChecked())
        retourClick();
}

void TExplorerTab::ToolButton11Click()
{
    QString name;
    if (Prompts().Input(context.Window(), MainText::Caption, NewFolderPrompt, name) && !name.isEmpty())
        context.VexFtp1()->CreateDirectory(name);
}

void TExplorerTab::ToolButton6Click()
{
    const QPointer<TExplorerTab> alive(this);
    TVexFtp *client = context.VexFtp1();
    const QStringList files = list->SelectedFiles();
    // ".." names the folder above, which holds this one: never removed.
    QStringList folders = list->SelectedFolders();
    folders.removeAll(ParentCaption);
    if (!files.isEmpty() && Ask(QStringLiteral("Voulez vous supprimer ce(s) fichier(s)?")))
        client->DeleteFiles(files);
    if (!alive || folders.isEmpty())
        return;
    if (!Ask(QStringLiteral("Voulez vous supprimer ce(s) répertoire(s)?")))
        return;
    // The files' deletion ends with a refresh of the list: the client takes
    // another operation once that is over.
    WaitWhileClientBusy();
    if (alive)
        client->RemoveDirectories(folders);
}

void TExplorerTab::VexFtpListView1KeyDown(int key)
{
    if (key == Qt::Key_Delete && !(list->SelectedFiles().isEmpty() && list->SelectedFolders().isEmpty()))
        ToolButton6Click();
}

void TExplorerTab::VexFtpListView1Edited(const QString &oldCaption, const QString &newCaption)
{
    if (!newCaption.isEmpty())
        context.VexFtp1()->Rename(oldCaption, newCaption);
}

void TExplorerTab::Renommer1Click()
{
    const QStringList files = list->SelectedFiles();
    if (files.isEmpty())
        return;
    QString name;
    if (Prompts().Input(context.Window(), RenameCaption, QString(), name) && !name.isEmpty())
        context.VexFtp1()->Rename(files.first(), name);
}

void TExplorerTab::CopyLocation1Click()
{
    const QStringList folders = list->SelectedFolders();
    const QStringList files = list->SelectedFiles();
    const QString url = context.VexFtp1()->CurrentUrl();
    QString address;
    if (folders.size() == 1 || (!folders.isEmpty() && files.isEmpty()))
        address = url + folders.first() + QLatin1Char('/');
    else if (!files.isEmpty())
        address = url + files.first();
    if (!address.isEmpty())
        QGuiApplication::clipboard()->setText(address);
}

void TExplorerTab::PopupMenu1Popup()
{
    copyAddressItem->setEnabled(!(list->SelectedFiles().isEmpty() && list->SelectedFolders().isEmpty()));
}

void TExplorerTab::Toutslectionner1Click()
{
    list->SelectAll(true);
}

void TExplorerTab::FiltreChange()
{
    // "Tous" lists every file, names without a dot included: no pattern.
    const QString pattern = FilterPattern(remoteFilter->currentIndex());
    list->SetFilter(pattern == AllFilesPattern() ? QStringList() : QStringList{pattern});
    context.VexFtp1()->ListDirectory();
}

void TExplorerTab::SetRemoteStyle(int tag)
{
    list->SetViewStyle(TVexFtpViewStyle(tag));
    remoteStyles->actions().at(tag)->setChecked(true);
}

void TExplorerTab::ToolButton23Click() { SetRemoteStyle(vsIcon); }
void TExplorerTab::ToolButton15Click() { SetRemoteStyle(vsList); }
void TExplorerTab::ToolButton25Click() { SetRemoteStyle(vsReport); }

void TExplorerTab::ViewmenuClick(int tag)
{
    if (tag >= vsIcon && tag <= vsReport)
        SetRemoteStyle(tag);
}

void TExplorerTab::syncClick()
{
    // While synchronised, remote folders are opened from the list only.
    tree->setEnabled(!sync->isChecked());
}

void TExplorerTab::VexFtp1ContentChanged()
{
    if (TSentArchive *archive = context.SentArchive()) {
        const QString zipName = archive->ZipName();
        if (archive->DeleteAfterTransfer() && !zipName.isEmpty() && QFileInfo::exists(zipName)) {
            if (Ask(archive->DeleteQuestion(zipName))) {
                QFile::remove(zipName);
                archive->ClearZipName();
                RefreshLocalTree();
            } else {
                archive->ClearZipName();
            }
        }
    }
    TVexFtp *client = context.VexFtp1();
    if (client->Connected()) {
        // A refresh asks the server, whatever the cache holds; the cache
        // serves the listings after it.
        client->SetCache(false);
        client->ListDirectory();
        client->SetCache(true);
    }
}

void TExplorerTab::ToolButton7Click(QLineEdit *commande)
{
    const QString text = commande->text();
    if (!text.isEmpty())
        context.VexFtp1()->SendCommand(text);
    VexFtp1ContentChanged();
    commande->clear();
}

void TExplorerTab::Sauvegarderlestatus1Click()
{
    log->SaveStatus();
}

void TExplorerTab::VexFtpTreeView1Change()
{
    // The node's folder as the client names it; the path of a site root
    // ("/") becomes "".
    QString folder = tree->NodePath(tree->currentItem());
    if (folder.endsWith(QLatin1Char('/')))
        folder.chop(1);
    context.SetTreeFolder(folder);
}

// --- Local side -------------------------------------------------------------------

void TExplorerTab::DirTree1Change()
{
    const QString folder = localTree->Directory();
    localFiles->SetDirectory(folder);
    context.LocalFolderSelected(folder);
}

void TExplorerTab::DirTree1Click()
{
    // A click on the folder just selected finds its reading under way.
    const QString folder = context.LocalFolder();
    if (localFiles->Directory() != folder || localFiles->Loaded())
        localFiles->SetDirectory(folder);
}

void TExplorerTab::retourClick()
{
    const QString parent = LocalParentFolder(localTree->Directory());
    if (!parent.isEmpty())
        context.SelectLocalFolder(parent);
}

void TExplorerTab::filtre1Change()
{
    localFiles->SetMask(FilterPattern(localFilter->currentIndex()));
    RefreshLocalTree();
}

void TExplorerTab::SetLocalStyle(int tag)
{
    localFiles->SetViewStyle(TViewStyle(tag));
    localStyles->actions().at(tag)->setChecked(true);
}

void TExplorerTab::ToolButton29Click() { SetLocalStyle(vsIcon); }
void TExplorerTab::ToolButton28Click() { SetLocalStyle(vsList); }
void TExplorerTab::ToolButton27Click() { SetLocalStyle(vsReport); }
void TExplorerTab::GrandesIcones1Click() { SetLocalStyle(vsIcon); }
void TExplorerTab::PetitesIcones1Click() { SetLocalStyle(vsSmallIcon); }
void TExplorerTab::Liste1Click() { SetLocalStyle(vsList); }
void TExplorerTab::Dtails1Click() { SetLocalStyle(vsReport); }

void TExplorerTab::mdClick()
{
    QString name;
    if (!Prompts().Input(context.Window(), QStringLiteral("FTP Panel"), NewFolderPrompt, name) || name.isEmpty())
        return;
    QDir().mkpath(context.LocalFolder() + name);
    RefreshLocalTree();
}

void TExplorerTab::Supprimer2Click()
{
    const QList<int> rows = localFiles->SelectedRows();
    if (rows.isEmpty())
        return;
    const QString folder = context.LocalFolder();
    QStringList names;
    for (int row : rows)
        if (!IsLocalFolderRow(localFiles, row))
            names << localFiles->RowCaption(row);
    // One question per file; the refreshed list shows what is left.
    for (const QString &name : std::as_const(names))
        if (Ask(QStringLiteral("Voulez vous supprimer ce fichier?")))
            QFile::remove(folder + name);
    RefreshLocalTree();
}

void TExplorerTab::Renommer2Click()
{
    const int row = localFiles->FirstSelectedRow();
    if (row >= 0) {
        const QString caption = localFiles->RowCaption(row);
        QString name;
        // An existing entry of the new name is never replaced.
        if (Prompts().Input(context.Window(), RenameCaption, QString(), name) && !name.isEmpty())
            QDir(context.LocalFolder()).rename(caption, name);
    }
    RefreshLocalTree();
}

void TExplorerTab::Toutslectionner2Click()
{
    localFiles->SelectAll(true);
}

// --- Transfers -------------------------------------------------------------------

void TExplorerTab::ToolButton14Click()
{
    const QStringList selected = list->SelectedFiles();
    if (selected.isEmpty())
        return; // selected folders are not fetched
    const QPointer<TExplorerTab> alive(this);
    QStringList paths;
    const QStringList names = LocalPaths(context.LocalFolder(), selected, paths);
    if (!names.isEmpty()) {
        ShowTransferDisplay();
        context.VexFtp1()->GetFiles(names, paths);
        if (!alive)
            return;
    }
    list->SelectAll(false);
    RefreshLocalTree();
}

void TExplorerTab::ToolButton16Click()
{
    context.SetAnswerForAll(false);
    const int first = localFiles->FirstSelectedRow();
    if (first >= 0 && !IsLocalFolderRow(localFiles, first)) {
        // The selected files; folders cannot go this way and are left out.
        const QString folder = context.LocalFolder();
        QStringList paths;
        QStringList names;
        for (int row : localFiles->SelectedRows()) {
            if (IsLocalFolderRow(localFiles, row))
                continue;
            const QString caption = localFiles->RowCaption(row);
            paths << folder + caption;
            names << caption;
        }
        localFiles->SelectAll(false);
        ShowTransferDisplay();
        const QPointer<TExplorerTab> alive(this);
        context.VexFtp1()->PutFiles(paths, names);
        if (!alive)
            return;
    } else if (first >= 0) {
        const QString path = context.LocalFolder() + localFiles->RowCaption(first);
        if (Ask(FolderUploadQuestion)) {
            OpenUrl(QUrl::fromLocalFile(path));
            context.ActivatePage(TPage::QuickExplorer);
        }
    }
    localFiles->SelectAll(false);
}

void TExplorerTab::FilesDragDrop()
{
    ToolButton14Click();
}

void TExplorerTab::VexFtpListView1DragDrop()
{
    ToolButton16Click();
}

void TExplorerTab::VexFtpListView1FileDropped()
{
    // Folders dropped with the files are left out, as by the upload command.
    QStringList paths;
    QStringList names;
    for (const QString &path : list->DroppedFiles()) {
        const QFileInfo info(path);
        if (info.isDir())
            continue;
        paths << path;
        names << info.fileName();
    }
    if (paths.isEmpty())
        return;
    ShowTransferDisplay();
    context.VexFtp1()->PutFiles(paths, names);
}
