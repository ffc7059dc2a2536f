#pragma once
// TExplorerTab: the tab "    &Explorateur" (the page TabSheet1), a two-pane
// FTP client. Above: the remote folder tree VexFtpTreeView1 under a banner,
// the remote tool bar and the remote list VexFtpListView1. Below: the local
// folder tree DirTree1 over the protocol log VexFtpMessenger1, the local
// tool bar and the local file list Files, then the transfer display and the
// status bar StatusBar1. The three remote views follow the window's client.
//
// Its handlers are named after the controls that run them: navigation on both sides and its
// synchronisation, download, upload, opening a remote file, delete, rename
// and new folder on both sides, drag and drop, filters, view styles, the
// remote refresh, the raw command, copying a remote address and saving the
// log. The tab wires its own controls; the window wires its menu items and
// main tool-bar buttons to these handlers, and the commands of the site
// tools that sit on the tab's tool bars and pop-up menus (comparison,
// compression, scheduling marks, export, print) to the tools.
//
// Every local path a remote name becomes goes through LocalNames.h: a name
// that would not stay inside its folder is refused with a message naming
// it, and the other files of the command still transfer.
//
// The tab owns the client's completion hooks that refresh the remote list
// (OnDirectoryCreated, OnDirectoryDeleted, OnFileDeleted, OnFileStored,
// OnFileRenamed) for its whole life.

#include <QStringList>
#include <QWidget>

class QAction;
class QActionGroup;
class QCheckBox;
class QComboBox;
class QLineEdit;
class QMenu;
class QMimeData;
class QToolBar;
class TAppContext;
class TDirTree;
class TLocalFileList;
class TPanelBar;
class TTransferDisplay;
class TVexFtpListView;
class TVexFtpMessenger;
class TVexFtpTreeView;

class TExplorerTab : public QWidget
{
    Q_OBJECT
public:
    TExplorerTab(TAppContext &context, QWidget *parent = nullptr);
    ~TExplorerTab() override;

    TVexFtpTreeView *VexFtpTreeView1() const { return tree; }
    TVexFtpListView *VexFtpListView1() const { return list; }
    TVexFtpMessenger *VexFtpMessenger1() const { return log; }
    TDirTree *DirTree1() const { return localTree; }
    TLocalFileList *Files() const { return localFiles; }
    TTransferDisplay *TransferDisplay() const { return transfer; }
    TPanelBar *StatusBar1() const { return statusBar; }
    QComboBox *Filtre() const { return remoteFilter; }
    QComboBox *filtre1() const { return localFilter; }

    // The site tools' commands on the tab's tool bars and pop-up menus; the
    // window wires them to the tools ("Comparer les fichiers", "Export
    // Excel", "Imprimer le site distant", "Compresser", "Compresser et
    // envoyer", and the pop-up items that mark the remote folder or files
    // for the scheduler or for a compression).
    QAction *comparer() const { return compare; }
    QAction *ExportExcel() const { return exportExcel; }
    QAction *ImprimerSite() const { return printSite; }
    QAction *compresser() const { return compress; }
    QAction *compenvoyer() const { return compressAndSend; }
    QAction *Compresser1() const { return compressItem; }
    QAction *Compresseretenvoyer1() const { return compressAndSendItem; }
    QAction *Marquerlerpertoireencourspourprogrammation1() const { return markFolderItem; }
    QAction *Marquerlesfichiersdistantspourprogrammation1() const { return markRemoteItem; }
    QAction *Marquerlesfichierspourprogrammation1() const { return markLocalItem; }
    QAction *Marquerlesfichierspourcompressionlocale1() const { return markCompressItem; }
    QAction *Marquerlesfichierspourcompressionetenvoidistant1() const { return markCompressAndSendItem; }

    // The commands that need a logged-in client (ftpiLoggedIn,
    // ftpiDisconnected).
    void SetLoggedInCommandsEnabled(bool enabled);
    // ftpeAccessDenied: the upload button waits for the next login.
    void DisableUpload();

    // Start-up: selects folder in the local tree without the tree's change
    // (the file list is pointed at it by ShowLocalFiles). False when the
    // folder does not exist.
    bool SelectLocalFolderAtStart(const QString &folder);
    // Points the file list at the local folder.
    void ShowLocalFiles();

    // --- Remote side -------------------------------------------------------------
    void VexFtpListView1DblClick();  // open
    void ToolButton8Click();         // "Répertoire supérieur"
    void ToolButton11Click();        // "Nouveau répertoire"
    void ToolButton6Click();         // "Supprimer un répertoire", "&Supprimer"
    void VexFtpListView1KeyDown(int key);
    void VexFtpListView1Edited(const QString &oldCaption, const QString &newCaption);
    void Renommer1Click();
    void CopyLocation1Click();
    void PopupMenu1Popup();
    void Toutslectionner1Click();
    void FiltreChange();
    void ToolButton23Click(); // large icons
    void ToolButton15Click(); // list
    void ToolButton25Click(); // details
    void ViewmenuClick(int tag);
    void syncClick();
    // The remote refresh ("Rafraichir" and the client's completion events).
    void VexFtp1ContentChanged();
    // "Envoyer la commande ftp": commande is the main tool bar's field.
    void ToolButton7Click(QLineEdit *commande);
    void Sauvegarderlestatus1Click();
    // The node selected in the remote tree: its folder becomes TreeFolder.
    void VexFtpTreeView1Change();

    // --- Local side ----------------------------------------------------------------
    void DirTree1Change();
    void DirTree1Click();
    void retourClick(); // local parent folder
    void filtre1Change();
    void ToolButton29Click(); // large icons
    void ToolButton28Click(); // list
    void ToolButton27Click(); // details
    void GrandesIcones1Click();
    void PetitesIcones1Click();
    void Liste1Click();
    void Dtails1Click();
    void mdClick();          // new local folder
    void Supprimer2Click();  // local delete
    void Renommer2Click();   // local rename
    void Toutslectionner2Click();

    // --- Transfers -----------------------------------------------------------------
    void ToolButton14Click(); // download
    void ToolButton16Click(); // upload
    // Remote items dropped on the local list (a download) and local items
    // dropped on the remote list (an upload); files dropped on the remote
    // list from the desktop (an upload that keeps AnswerForAll).
    void FilesDragDrop();
    void VexFtpListView1DragDrop();
    void VexFtpListView1FileDropped();

    // Every transfer command shows the transfer display before it starts.
    void ShowTransferDisplay();

private:
    void BuildLayout();
    void BuildRemoteToolBar(QToolBar *bar);
    void BuildLocalToolBar(QToolBar *bar);
    void BuildRemotePopup();
    void BuildLocalPopup();
    void Wire();
    void SetClientHooks(bool set);

    // The refresh of the local tree: the tree and the file list
    // read the disk again.
    void RefreshLocalTree();
    // Names turned into paths inside folder; the names refused are shown in
    // one message. Returns the names kept, paths in step.
    QStringList LocalPaths(const QString &folder, const QStringList &names, QStringList &paths) const;
    // Waits (handling events) until the client is idle, or gone.
    void WaitWhileClientBusy();
    void SetRemoteStyle(int tag);
    void SetLocalStyle(int tag);
    bool Ask(const QString &question) const;

    TAppContext &context;
    TVexFtpTreeView *tree = nullptr;
    TVexFtpListView *list = nullptr;
    TVexFtpMessenger *log = nullptr;
    TDirTree *localTree = nullptr;
    TLocalFileList *localFiles = nullptr;
    TTransferDisplay *transfer = nullptr;
    TPanelBar *statusBar = nullptr;

    // Remote tool bar.
    QCheckBox *sync = nullptr;
    QAction *remoteLarge = nullptr;   // ToolButton23
    QAction *remoteList = nullptr;    // ToolButton15
    QAction *remoteDetails = nullptr; // ToolButton25
    QAction *newRemote = nullptr;     // ToolButton11
    QAction *remoteUp = nullptr;      // ToolButton8
    QAction *deleteRemote = nullptr;  // ToolButton6
    QComboBox *remoteFilter = nullptr;
    QAction *exportExcel = nullptr;
    QAction *printSite = nullptr;

    // Local tool bar.
    QAction *compare = nullptr;
    QAction *localLarge = nullptr;   // ToolButton29
    QAction *localList = nullptr;    // ToolButton28
    QAction *localDetails = nullptr; // ToolButton27
    QAction *localUp = nullptr;      // retour
    QAction *upload = nullptr;       // ToolButton16
    QAction *download = nullptr;     // ToolButton14
    QAction *newLocal = nullptr;     // md
    QAction *deleteLocal = nullptr;
    QAction *compress = nullptr;
    QAction *compressAndSend = nullptr;
    QComboBox *localFilter = nullptr;

    // Remote pop-up menu PopupMenu1.
    QMenu *remoteMenu = nullptr;
    QActionGroup *remoteStyles = nullptr;
    QAction *newRemoteItem = nullptr;    // Nouveaurpertoire1
    QAction *renameRemoteItem = nullptr; // Renommer1
    QAction *deleteRemoteItem = nullptr; // Supprimer1
    QAction *copyAddressItem = nullptr;  // CopyLocation1
    QAction *markRemoteItem = nullptr;
    QAction *selectAllRemote = nullptr;  // Toutslectionner1

    // Remote tree pop-up menu PopupMenu4: the scheduler's folder mark.
    QMenu *treeMenu = nullptr;
    QAction *markFolderItem = nullptr;

    // Local pop-up menu PopupMenu3.
    QMenu *localMenu = nullptr;
    QActionGroup *localStyles = nullptr;
    QAction *compressItem = nullptr;
    QAction *compressAndSendItem = nullptr;
    QAction *markLocalItem = nullptr;
    QAction *markCompressItem = nullptr;
    QAction *markCompressAndSendItem = nullptr;
    QAction *newLocalItem = nullptr;    // Nouveaurpertoire2
    QAction *renameLocalItem = nullptr; // Renommer2
    QAction *deleteLocalItem = nullptr; // Supprimer2
    QAction *selectAllLocal = nullptr;  // Toutslectionner2
};
