#pragma once
// TZEVudeDadaVAV: the quick explorer, a self-contained FTP browser panel. It
// builds its folder pane, file list, directory field and log, connects
// through its own TBTFTPConnection, lists the remote folder, opens folders
// and downloads files on a double click, uploads files and folders dropped
// from the desktop on a TUploadThread, and deletes, renames and creates
// remote entries from its pop-up menu. It tells its owner everything through
// its hooks (messages, progress, questions); questions without a hook go
// through the prompt seam (Prompts.h).
//
// Owner wiring:
//   auto *panel = new TZEVudeDadaVAV(parent);
//   panel->OnDisplayMessage = ...; panel->OnDisplayProgress = ...;
//   panel->Loaded();                      // once the hooks are in place
//   panel->SetHostName(...); ...; panel->Connect();
//
// While a transfer runs (the upload worker, a single upload or a download)
// the panel is busy: every command that talks to the server or moves its
// current folder is refused with "Téléchargement du fichier en cours!",
// because the worker uploads into the connection's current folder and the
// connection carries one transfer at a time. Disconnect is always allowed
// (it ends the transfer).

#include "QuickFileModel.h"
#include "QuickListView.h"
#include "QuickTypes.h"

#include <QPointer>
#include <QStringList>
#include <QWidget>

#include <functional>
#include <memory>

class QAction;
class QActionGroup;
class QLineEdit;
class QMenu;
class QMimeData;
class QPlainTextEdit;
class QSplitter;
class TBTFTPConnection;
class TQuickOwnerLink;
class TUploadThread;

// Hooks. Sender is the panel unless said otherwise.
using TDisplayMessageEvent = std::function<void(QObject *sender, const QString &messageText, bool isError)>;
using TGetConfirmationEvent = std::function<void(QObject *sender, const QString &messageText, bool &confirm)>;
using TGetLocalFileEvent =
    std::function<void(QObject *sender, const QString &remoteFilename, QString &localFileName)>;
// strResult is empty; the hook may replace format before args go in.
using TLocalizeEvent =
    std::function<void(QObject *sender, const QString &strResult, QString &format, const QStringList &args)>;
// A plain notification. (Named apart from the FTP client's TNotifyEvent, so
// that a window may include both.)
using TQuickNotifyEvent = std::function<void(QObject *sender)>;

class TZEVudeDadaVAV : public QWidget
{
    Q_OBJECT
    // First, so that the progress hook below can refer to the link's.
    TQuickOwnerLink *link;
    TBTFTPConnection &connection;

public:
    explicit TZEVudeDadaVAV(QWidget *parent = nullptr);
    // Disconnects when connected (no message, no hook) and lets the
    // connection go once no transfer of it is running any more.
    ~TZEVudeDadaVAV() override;

    // The end of construction, once the owner's hooks are assigned: column
    // and menu captions through OnLocalize, and "Non connecté". Once only.
    void Loaded();

    // ---- Properties (defaults as constructed)
    // Accepts files dropped from the desktop (false).
    bool Active() const { return active; }
    void SetActive(bool value);
    // Server of Connect ("localhost").
    QString HostName() const { return hostName; }
    void SetHostName(const QString &value) { hostName = value; }
    // User of Connect ("anonymous").
    QString LoginName() const { return loginName; }
    void SetLoginName(const QString &value) { loginName = value; }
    // Asked for by Connect when empty (empty).
    QString Password() const { return password; }
    void SetPassword(const QString &value) { password = value; }
    quint16 Port() const { return port; }  // 21
    void SetPort(quint16 value) { port = value; }
    bool Passive() const { return passive; }  // true
    void SetPassive(bool value) { passive = value; }
    // Folder entered right after connecting (empty).
    QString RemoteDir() const { return remoteDir; }
    void SetRemoteDir(const QString &value) { remoteDir = value; }
    // First folder of the default save dialog (empty).
    QString Repertoiretele() const { return repertoiretele; }
    void SetRepertoiretele(const QString &value) { repertoiretele = value; }
    // Copied into the connection (ttUnknown).
    TTransferType TransferType() const { return transferType; }
    void SetTransferType(TTransferType value);
    // Options (none); doAllowUpload also sets Active.
    TdoOptions FTPOptions() const;
    void SetFTPOptions(TdoOptions value);
    // The log is visible (true).
    bool ShowLogWindow() const { return showLogWindow; }
    void SetShowLogWindow(bool value);
    // The directory strip shows the current folder (true).
    bool ShowDirectory() const { return showDirectory; }
    void SetShowDirectory(bool value);

    // ---- Hooks (each may be empty)
    // Every information message (isError false) and error (isError true).
    TDisplayMessageEvent OnDisplayMessage;
    // Progress of a transfer; Sender is the connection object. Without it a
    // progress message is written instead. (It lives with the connection,
    // so that a transfer never reads a hook of a panel that is gone.)
    TDisplayProgressEvent &OnDisplayProgress;
    // Before a deletion or an overwrite; without it a Yes/No question.
    TGetConfirmationEvent OnGetConfirmation;
    // Before a download, for the local path (empty: no download); without it
    // a save dialog in Repertoiretele proposing the remote name.
    TGetLocalFileEvent OnGetLocalFile;
    // Before every message and caption is formatted.
    TLocalizeEvent OnLocalize;
    TQuickNotifyEvent OnConnect;     // after a successful connect
    TQuickNotifyEvent OnDisconnect;  // at the end of a disconnect
    TQuickNotifyEvent OnChange;      // after every successful listing
    // A double click in the file list or the pop-up's first item (Sender:
    // the list or the menu item), raised while the entry is still selected.
    TQuickNotifyEvent OnDblClick;
    // A click in the file list; also after a click in the folder pane.
    TQuickNotifyEvent OnClick;

    // ---- Operations
    bool Connect();
    void Disconnect();
    bool Connected() const;
    // Lists the current remote folder (nothing when not connected).
    void Refresh();
    // Uploads one file on the GUI thread (connecting first when needed).
    bool UploadFile(const QString &localPath, const QString &remoteName);
    // Uploads files and folders (one local path per line) on the worker;
    // with wait, returns once it has finished.
    bool UploadFiles(const QString &text, bool wait);
    bool DeleteRemoteFile(const QString &name);
    bool CreateRemoteFolder(const QString &name);
    bool RenameRemote(const QString &oldName, const QString &newName);
    // A worker, a single upload or a download is running.
    bool Busy() const { return busy; }
    // The end of a worker's uploads (run on the GUI thread in every case).
    void UploadDone();

    // ---- Commands of the menu and keys
    // Open entry: the selected row of the file list (sender: the list or
    // the menu item, passed to OnDblClick).
    void OpenEntry(QObject *sender = nullptr);
    // The folder pane's selected row, then OnClick.
    void FolderPaneClick();
    void DeleteSelection();
    // Starts editing the selected row's caption in place.
    void RenameSelection();
    void NewFolder();
    void ParentFolder();
    void SetViewStyle(TQuickViewStyle style);
    TQuickViewStyle ViewStyle() const;
    // Sort items: make key the sort key and re-sort the file list.
    void SortBy(TQuickSortKey key);
    // A click on a header of the file list's column.
    void HeaderClick(int column);
    TQuickSortKey SortKey() const { return sortKey; }
    bool SortDescending(TQuickSortKey key) const { return descending[key]; }

    // ---- Message routines ("%s", "%N:s"; formats go through OnLocalize)
    void DisplayInfo(const QString &format, const QStringList &args = {});
    void DisplayError(const QString &format, const QStringList &args = {});
    // The server's last reply (its last line) as an error; with pause, then
    // 200 ms. False when there is no reply to read.
    bool ShowLastResponse(bool pause);
    bool Confirm(const QString &format, const QStringList &args = {});

    // ---- Read by the owner
    // The file list's rows in display order (comparison, export, print).
    int RowCount() const;
    TQuickFileRow Row(int row) const;
    QList<TQuickFileRow> Rows() const;
    QList<int> SelectedRows() const;
    const TQuickFileModel *FileListModel() const { return fileModel; }
    const TQuickFileModel *FolderPaneModel() const { return paneModel; }
    // The directory field's text (the folder, or folder + "/" + the row
    // last selected, as shown).
    QString DirectoryText() const;
    // The server's current folder as of the last listing (empty before).
    QString CurrentFolder() const { return currentFolder; }
    // Files and total bytes of the last listing.
    int FileCount() const { return fileCount; }
    qint64 TotalSize() const { return totalSize; }
    QStringList LogLines() const;

    // ---- Controls, for the owner's layout and menus
    TQuickListView *FileList() const { return fileList; }
    TQuickListView *FolderPane() const { return folderPane; }
    QLineEdit *DirectoryField() const { return directoryField; }
    QPlainTextEdit *LogWindow() const { return log; }
    // The panel's pop-up (its own items follow any the owner put first).
    QMenu *PopupMenu() const { return popup; }
    // The log's pop-up, empty at first (the owner adds its own items; while
    // it is empty the log shows its usual menu).
    QMenu *LogPopupMenu() const { return logPopup; }
    // The owner enables and disables the folder pane.
    void SetFolderPaneEnabled(bool enabled);
    // A pop-up item by its caption's object name (tests, the owner's tool
    // bar): "Ouvrir", "Effacer", "Renommer", "Nouveaurepertoire", "Voir",
    // "Grandesicones", "Petitesicones", "Liste", "Details", "Tri", "parNom",
    // "parTaille", "parDate", "parType", "TypedeTransfert", "ASCII",
    // "Binary", "Actualiser", "Retour".
    QAction *MenuItem(const QString &objectName) const;
    // Sets the items' enabled states as opening the pop-up does.
    void UpdatePopupMenu();

    TBTFTPConnection &FtpConnection() const;

protected:
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dragMoveEvent(QDragMoveEvent *event) override;
    void dropEvent(QDropEvent *event) override;

private:
    friend class TQuickOwnerLink;

    void BuildControls();
    void BuildPopupMenu();
    void ApplyCaptions();
    void ApplyAcceptDrops();
    void ApplyEditing();
    QString Localize(const QString &format, const QStringList &args);
    QString Format(const QString &format, const QStringList &args);
    void Notify(const TQuickNotifyEvent &hook, QObject *sender);

    bool RefuseWhileBusy();
    // Shows why the last call of the connection failed: a local file error,
    // the server's refusal, or nothing (false) for the caller's own words.
    bool ShowFailure(bool pause);
    void OpenRow(const TQuickFileRow &row);
    void DownloadRow(const TQuickFileRow &row);
    bool AskLocalFile(const QString &remoteName, QString &localPath);
    void ShowSelection(TQuickListView *list, int row);
    void EditEnded(int row, const QString &oldCaption, const QString &newCaption);
    void ApplyRename(const QString &oldName, const QString &newName);
    void SetBusy(bool value);
    void SortFileList();
    void KeyReleased(int key);
    void ShowPopup(const QPoint &globalPos);
    bool AcceptsDrop(const QMimeData *mime) const;
    // The number given with the "(Win32 Error %s)" texts: the
    // connection's reason for the last failure.
    QString ErrorCode() const;

    bool active = false;
    QString hostName;
    QString loginName;
    QString password;
    quint16 port = 21;
    bool passive = true;
    QString remoteDir;
    QString repertoiretele;
    TTransferType transferType = ttUnknown;
    bool showLogWindow = true;
    bool showDirectory = true;

    bool busy = false;
    bool destroying = false;
    bool loaded = false;
    QString currentFolder;
    int fileCount = 0;
    qint64 totalSize = 0;
    TQuickSortKey sortKey = qskName;
    bool descending[4] = {false, false, false, false};
    QPointer<TUploadThread> worker;

    TQuickFileModel *fileModel = nullptr;
    TQuickFileModel *paneModel = nullptr;
    QSplitter *splitter = nullptr;
    QSplitter *leftSplitter = nullptr;
    QWidget *directoryStrip = nullptr;
    QLineEdit *directoryField = nullptr;
    TQuickListView *folderPane = nullptr;
    TQuickListView *fileList = nullptr;
    QPlainTextEdit *log = nullptr;
    QMenu *popup = nullptr;
    QMenu *logPopup = nullptr;
    int firstOwnItem = 0;

    struct MenuItems;
    std::unique_ptr<MenuItems> items;
};
