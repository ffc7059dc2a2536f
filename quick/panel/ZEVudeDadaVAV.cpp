// The quick explorer panel: its controls, properties, messages and commands.
#include "ZEVudeDadaVAV.h"

#include "BTFTPConnection.h"
#include "DropFiles.h"
#include "FileTypeNames.h"
#include "FtpService.h"
#include "Prompts.h"
#include "QuickOwnerLink.h"
#include "QuickPanelTexts.h"
#include "QuickTexts.h"
#include "UploadThread.h"

#include <QAction>
#include <QActionGroup>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLineEdit>
#include <QListView>
#include <QMenu>
#include <QPlainTextEdit>
#include <QSplitter>
#include <QTextBlock>
#include <QTextDocument>
#include <QVBoxLayout>

namespace T = QuickPanelTexts;

namespace {

// The panel's colour: silver.
const QColor Silver(192, 192, 192);
// Widths and heights the controls start with.
constexpr int FolderPaneWidth = 121;
constexpr int FolderPaneHeight = 200;
constexpr int StripBorder = 3;
// The log keeps at most this many lines (oldest dropped first).
constexpr int LogLineLimit = 50000;
// How long destruction waits for a worker to end once its connection is
// closed; past that the worker finishes on its own.
constexpr int WorkerEndWaitMs = 5000;

const QString Root = QStringLiteral("/");

// A text shown as it is, never read as a format.
QString Literal(QString text)
{
    return text.replace(QLatin1Char('%'), QLatin1String("%%"));
}

} // namespace

// The pop-up's items, and the captions they were given (localised again by
// Loaded()).
struct TZEVudeDadaVAV::MenuItems {
    QAction *open = nullptr;
    QAction *erase = nullptr;
    QAction *rename = nullptr;
    QAction *newFolder = nullptr;
    QMenu *view = nullptr;
    QAction *largeIcons = nullptr;
    QAction *smallIcons = nullptr;
    QAction *list = nullptr;
    QAction *details = nullptr;
    QMenu *sort = nullptr;
    QAction *byName = nullptr;
    QAction *bySize = nullptr;
    QAction *byDate = nullptr;
    QAction *byType = nullptr;
    QMenu *transferType = nullptr;
    QAction *ascii = nullptr;
    QAction *binary = nullptr;
    QAction *refresh = nullptr;
    QAction *parent = nullptr;
    QList<QPair<QAction *, QString>> captions;
};

TZEVudeDadaVAV::TZEVudeDadaVAV(QWidget *parent)
    : QWidget(parent)
    , link(new TQuickOwnerLink(this))
    , connection(link->FtpConnection())
    , OnDisplayProgress(link->OnDisplayProgress)
    , hostName(QStringLiteral("localhost"))
    , loginName(QStringLiteral("anonymous"))
    , items(std::make_unique<MenuItems>())
{
    BuildControls();
    BuildPopupMenu();
    ApplyCaptions();
    ApplyEditing();
    ApplyAcceptDrops();
    connection.SetTransferType(transferType);
}

TZEVudeDadaVAV::~TZEVudeDadaVAV()
{
    destroying = true;
    if (Connected())
        Disconnect();
    // The worker fails at its next call on the closed connection and ends;
    // its last messages then find no panel.
    if (worker && worker->isRunning())
        worker->wait(QDeadlineTimer(WorkerEndWaitMs));
    link->Release();
}

// ---------------------------------------------------------------------------
// Construction

void TZEVudeDadaVAV::BuildControls()
{
    QPalette colours = palette();
    colours.setColor(QPalette::Window, Silver);
    colours.setColor(QPalette::Base, Silver);
    setPalette(colours);
    setAutoFillBackground(true);

    fileModel = new TQuickFileModel(this);
    paneModel = new TQuickFileModel(this);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    splitter = new QSplitter(Qt::Horizontal, this);
    splitter->setObjectName(QStringLiteral("Splitter"));
    splitter->setChildrenCollapsible(false);
    layout->addWidget(splitter);

    // Left: the folder pane over the log.
    leftSplitter = new QSplitter(Qt::Vertical, splitter);
    leftSplitter->setObjectName(QStringLiteral("LeftSplitter"));
    leftSplitter->setChildrenCollapsible(false);
    folderPane = new TQuickListView(paneModel, leftSplitter);
    folderPane->setObjectName(QStringLiteral("FolderPane"));
    folderPane->SetViewStyle(qvsSmallIcon);
    folderPane->SetMultiSelect(false);
    folderPane->SetClickEditing(false);
    // Small icons, one folder a line: side by side, names in a pane this
    // narrow would be hard to tell apart.
    folderPane->IconView()->setGridSize(QSize());
    folderPane->IconView()->setUniformItemSizes(false);
    folderPane->IconView()->setFlow(QListView::TopToBottom);
    folderPane->IconView()->setWrapping(false);
    log = new QPlainTextEdit(leftSplitter);
    log->setObjectName(QStringLiteral("LogWindow"));
    log->setReadOnly(true);
    log->setAcceptDrops(false);
    log->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    log->setMaximumBlockCount(LogLineLimit);
    log->setContextMenuPolicy(Qt::CustomContextMenu);
    logPopup = new QMenu(this);
    logPopup->setObjectName(QStringLiteral("LogPopupMenu"));
    connect(log, &QWidget::customContextMenuRequested, this, [this](const QPoint &pos) {
        const QPoint global = log->viewport()->mapToGlobal(pos);
        if (!logPopup->actions().isEmpty()) {
            logPopup->popup(global);
            return;
        }
        QMenu *standard = log->createStandardContextMenu();
        standard->setAttribute(Qt::WA_DeleteOnClose);
        standard->popup(global);
    });
    leftSplitter->addWidget(folderPane);
    leftSplitter->addWidget(log);
    leftSplitter->setStretchFactor(0, 0);
    leftSplitter->setStretchFactor(1, 1);
    leftSplitter->setSizes({FolderPaneHeight, FolderPaneHeight});

    // Right: the directory strip over the file list.
    auto *right = new QWidget(splitter);
    auto *rightLayout = new QVBoxLayout(right);
    rightLayout->setContentsMargins(0, 0, 0, 0);
    rightLayout->setSpacing(0);
    directoryStrip = new QWidget(right);
    directoryStrip->setObjectName(QStringLiteral("DirectoryStrip"));
    auto *stripLayout = new QHBoxLayout(directoryStrip);
    stripLayout->setContentsMargins(StripBorder, StripBorder, StripBorder, StripBorder);
    directoryField = new QLineEdit(directoryStrip);
    directoryField->setObjectName(QStringLiteral("DirectoryField"));
    directoryField->setReadOnly(true);
    directoryField->setAcceptDrops(false);
    stripLayout->addWidget(directoryField);
    directoryStrip->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    fileList = new TQuickListView(fileModel, right);
    fileList->setObjectName(QStringLiteral("FileList"));
    fileList->SetViewStyle(qvsReport);
    fileList->SetMultiSelect(true);
    rightLayout->addWidget(directoryStrip);
    rightLayout->addWidget(fileList, 1);

    splitter->addWidget(leftSplitter);
    splitter->addWidget(right);
    splitter->setStretchFactor(0, 0);
    splitter->setStretchFactor(1, 1);
    splitter->setSizes({FolderPaneWidth, 4 * FolderPaneWidth});

    connect(fileList, &TQuickListView::RowDoubleClicked, this, [this] { OpenEntry(fileList); });
    connect(fileList, &TQuickListView::RowClicked, this, [this] { Notify(OnClick, fileList); });
    connect(folderPane, &TQuickListView::RowClicked, this, &TZEVudeDadaVAV::FolderPaneClick);
    connect(fileList, &TQuickListView::CurrentRowChanged, this, [this](int row) { ShowSelection(fileList, row); });
    connect(folderPane, &TQuickListView::CurrentRowChanged, this,
            [this](int row) { ShowSelection(folderPane, row); });
    connect(fileList, &TQuickListView::KeyReleased, this, &TZEVudeDadaVAV::KeyReleased);
    connect(folderPane, &TQuickListView::KeyReleased, this, &TZEVudeDadaVAV::KeyReleased);
    connect(fileList, &TQuickListView::HeaderClicked, this, &TZEVudeDadaVAV::HeaderClick);
    connect(fileList, &TQuickListView::ContextMenuWanted, this, &TZEVudeDadaVAV::ShowPopup);
    connect(folderPane, &TQuickListView::ContextMenuWanted, this, &TZEVudeDadaVAV::ShowPopup);
    connect(fileModel, &TQuickFileModel::CaptionEdited, this, &TZEVudeDadaVAV::EditEnded);
}

void TZEVudeDadaVAV::BuildPopupMenu()
{
    popup = new QMenu(this);
    popup->setObjectName(QStringLiteral("PopupMenu"));
    firstOwnItem = int(popup->actions().size());
    MenuItems &m = *items;

    const auto item = [&](QMenu *menu, const char *name, const QString &caption) {
        QAction *action = menu->addAction(caption);
        action->setObjectName(QString::fromLatin1(name));
        m.captions.append({action, caption});
        return action;
    };
    const auto submenu = [&](const char *name, const QString &caption) {
        QMenu *menu = popup->addMenu(caption);
        menu->setObjectName(QString::fromLatin1(name) + QStringLiteral("Menu"));
        menu->menuAction()->setObjectName(QString::fromLatin1(name));
        m.captions.append({menu->menuAction(), caption});
        return menu;
    };
    const auto radio = [&](QMenu *menu, const char *name, const QString &caption, QActionGroup *group) {
        QAction *action = item(menu, name, caption);
        action->setCheckable(true);
        group->addAction(action);
        return action;
    };

    m.open = item(popup, "Ouvrir", T::MenuOpen);
    popup->setDefaultAction(m.open);
    connect(m.open, &QAction::triggered, this, [this] { OpenEntry(items->open); });
    popup->addSeparator();
    m.erase = item(popup, "Effacer", T::MenuDelete);
    connect(m.erase, &QAction::triggered, this, &TZEVudeDadaVAV::DeleteSelection);
    m.rename = item(popup, "Renommer", T::MenuRename);
    connect(m.rename, &QAction::triggered, this, &TZEVudeDadaVAV::RenameSelection);
    m.newFolder = item(popup, "Nouveaurepertoire", T::MenuNewFolder);
    connect(m.newFolder, &QAction::triggered, this, &TZEVudeDadaVAV::NewFolder);

    m.view = submenu("Voir", T::MenuView);
    auto *views = new QActionGroup(m.view);
    m.largeIcons = radio(m.view, "Grandesicones", T::MenuLargeIcons, views);
    m.smallIcons = radio(m.view, "Petitesicones", T::MenuSmallIcons, views);
    m.list = radio(m.view, "Liste", T::MenuList, views);
    m.details = radio(m.view, "Details", T::MenuDetails, views);
    m.details->setChecked(true);
    connect(m.largeIcons, &QAction::triggered, this, [this] { SetViewStyle(qvsIcon); });
    connect(m.smallIcons, &QAction::triggered, this, [this] { SetViewStyle(qvsSmallIcon); });
    connect(m.list, &QAction::triggered, this, [this] { SetViewStyle(qvsList); });
    connect(m.details, &QAction::triggered, this, [this] { SetViewStyle(qvsReport); });
    popup->addSeparator();

    m.sort = submenu("Tri", T::MenuSort);
    auto *sorts = new QActionGroup(m.sort);
    m.byName = radio(m.sort, "parNom", T::MenuSortName, sorts);
    m.bySize = radio(m.sort, "parTaille", T::MenuSortSize, sorts);
    m.byDate = radio(m.sort, "parDate", T::MenuSortDate, sorts);
    m.byType = radio(m.sort, "parType", T::MenuSortType, sorts);
    m.byName->setChecked(true);
    connect(m.byName, &QAction::triggered, this, [this] { SortBy(qskName); });
    connect(m.bySize, &QAction::triggered, this, [this] { SortBy(qskSize); });
    connect(m.byDate, &QAction::triggered, this, [this] { SortBy(qskDate); });
    connect(m.byType, &QAction::triggered, this, [this] { SortBy(qskType); });
    popup->addSeparator();

    m.transferType = submenu("TypedeTransfert", T::MenuTransferType);
    auto *types = new QActionGroup(m.transferType);
    m.ascii = radio(m.transferType, "ASCII", T::MenuAscii, types);
    m.binary = radio(m.transferType, "Binary", T::MenuBinary, types);
    m.binary->setChecked(true);
    m.transferType->menuAction()->setVisible(false);
    connect(m.ascii, &QAction::triggered, this, [this] {
        SetTransferType(ttASCII);
        DisplayInfo(T::TransferTypeSet, {T::AsciiName});
    });
    connect(m.binary, &QAction::triggered, this, [this] {
        SetTransferType(ttBinary);
        DisplayInfo(T::TransferTypeSet, {T::BinaryName});
    });
    m.refresh = item(popup, "Actualiser", T::MenuRefresh);
    connect(m.refresh, &QAction::triggered, this, &TZEVudeDadaVAV::Refresh);
    popup->addSeparator();
    m.parent = item(popup, "Retour", T::MenuParent);
    connect(m.parent, &QAction::triggered, this, &TZEVudeDadaVAV::ParentFolder);

    connect(popup, &QMenu::aboutToShow, this, &TZEVudeDadaVAV::UpdatePopupMenu);
}

void TZEVudeDadaVAV::ApplyCaptions()
{
    const QStringList columns{Localize(T::ColumnName, {}), Localize(T::ColumnSize, {}), Localize(T::ColumnDate, {}),
                              Localize(T::ColumnType, {})};
    fileModel->SetHeaderTexts(columns);
    paneModel->SetHeaderTexts(columns);
    for (const auto &[action, caption] : std::as_const(items->captions))
        action->setText(Localize(caption, {}));
}

void TZEVudeDadaVAV::Loaded()
{
    if (loaded)
        return;
    loaded = true;
    ApplyCaptions();
    SetShowDirectory(showDirectory);
    DisplayInfo(T::NotConnected);
}

// ---------------------------------------------------------------------------
// Properties

void TZEVudeDadaVAV::SetActive(bool value)
{
    active = value;
    ApplyAcceptDrops();
}

void TZEVudeDadaVAV::ApplyAcceptDrops()
{
    // While a transfer runs the panel is no drop target: the desktop refuses
    // a second drop.
    setAcceptDrops(active && !busy);
}

void TZEVudeDadaVAV::ApplyEditing()
{
    // Without doAllowRename a caption is never edited: an edited caption
    // would name a file that the server does not have.
    const bool rename = FTPOptions().testFlag(doAllowRename);
    fileModel->SetCaptionsEditable(rename);
    fileList->SetClickEditing(rename);
}

TdoOptions TZEVudeDadaVAV::FTPOptions() const
{
    return link->FTPOptions();
}

void TZEVudeDadaVAV::SetFTPOptions(TdoOptions value)
{
    link->SetFTPOptions(value);
    SetActive(value.testFlag(doAllowUpload));
    ApplyEditing();
    items->transferType->menuAction()->setVisible(value.testFlag(doShowTransferType));
}

void TZEVudeDadaVAV::SetTransferType(TTransferType value)
{
    transferType = value;
    connection.SetTransferType(value);
    if (value == ttASCII)
        items->ascii->setChecked(true);
    else if (value == ttBinary)
        items->binary->setChecked(true);
    // Only a reply of the open connection is shown: after a disconnect the
    // last reply would be the server's goodbye.
    if (Connected())
        ShowLastResponse(false);
}

void TZEVudeDadaVAV::SetShowLogWindow(bool value)
{
    showLogWindow = value;
    log->setVisible(value);
}

void TZEVudeDadaVAV::SetShowDirectory(bool value)
{
    showDirectory = value;
    directoryStrip->setVisible(value);
}

void TZEVudeDadaVAV::SetFolderPaneEnabled(bool enabled)
{
    folderPane->setEnabled(enabled);
}

// ---------------------------------------------------------------------------
// Messages

QString TZEVudeDadaVAV::Localize(const QString &format, const QStringList &args)
{
    QString text = format;
    if (OnLocalize)
        OnLocalize(this, QString(), text, args);
    return text;
}

QString TZEVudeDadaVAV::Format(const QString &format, const QStringList &args)
{
    return FormatQuickMessage(Localize(format, args), args);
}

void TZEVudeDadaVAV::Notify(const TQuickNotifyEvent &hook, QObject *sender)
{
    if (hook && !destroying)
        hook(sender ? sender : this);
}

void TZEVudeDadaVAV::DisplayInfo(const QString &format, const QStringList &args)
{
    if (destroying)
        return;
    const QString text = Format(format, args);
    const QPointer<TZEVudeDadaVAV> self(this);
    if (OnDisplayMessage)
        OnDisplayMessage(this, text, false);
    if (self)
        log->appendPlainText(text);
}

void TZEVudeDadaVAV::DisplayError(const QString &format, const QStringList &args)
{
    if (destroying)
        return;
    const QString text = Format(format, args);
    if (OnDisplayMessage)
        OnDisplayMessage(this, text, true);
    else
        Prompts().Message(this, T::ErrorCaption, text, TMessageKind::Error);
}

bool TZEVudeDadaVAV::ShowLastResponse(bool pause)
{
    TQuickOwnerLink::Call call(link);
    return link->ShowLastResponse(pause);
}

bool TZEVudeDadaVAV::Confirm(const QString &format, const QStringList &args)
{
    const QString text = Format(format, args);
    if (OnGetConfirmation) {
        bool confirm = false;
        OnGetConfirmation(this, text, confirm);
        return confirm;
    }
    return Prompts().Confirm(this, T::ConfirmCaption, text);
}

bool TZEVudeDadaVAV::ShowFailure(bool pause)
{
    const QString local = connection.LocalError();
    if (!local.isEmpty()) {
        DisplayError(Literal(local));
        return true;
    }
    // The last reply explains the failure only when the server gave it; a
    // call refused before anything was sent would show an older reply.
    switch (connection.LastError()) {
    case TFtpError::ServerRefused:
    case TFtpError::ConnectFailed:
        return ShowLastResponse(pause);
    default:
        return false;
    }
}

QString TZEVudeDadaVAV::ErrorCode() const
{
    return QString::number(int(connection.LastError()));
}

bool TZEVudeDadaVAV::RefuseWhileBusy()
{
    if (!busy)
        return false;
    DisplayInfo(T::TransferBusy);
    return true;
}

void TZEVudeDadaVAV::SetBusy(bool value)
{
    busy = value;
    ApplyAcceptDrops();
}

// ---------------------------------------------------------------------------
// Connection

bool TZEVudeDadaVAV::Connected() const
{
    return connection.Connected();
}

TBTFTPConnection &TZEVudeDadaVAV::FtpConnection() const
{
    return connection;
}

bool TZEVudeDadaVAV::Connect()
{
    // A new connection would take the worker's place under it.
    if (RefuseWhileBusy())
        return false;
    if (Connected())
        Disconnect();
    // A missing host or user is the caller's error; it is shown, and nothing
    // is tried.
    if (hostName.isEmpty()) {
        DisplayError(T::HostMissing);
        return false;
    }
    if (loginName.isEmpty()) {
        DisplayError(T::LoginMissing);
        return false;
    }
    const QPointer<TZEVudeDadaVAV> self(this);
    if (password.isEmpty()) {
        QString answer;
        if (!Prompts().Input(this, T::PasswordCaption + hostName, T::PasswordLabel + loginName, answer))
            return false;
        if (!self)
            return false;
        password = answer;
    }
    DisplayInfo(T::ConnectingAs, {hostName, loginName});
    if (!remoteDir.isEmpty())
        DisplayInfo(T::MainFolder, {remoteDir});
    if (!self)
        return false;
    connection.SetTransferType(transferType);
    bool opened = false;
    {
        TQuickOwnerLink::Call call(link);
        opened = connection.Open(hostName, loginName, port, passive, remoteDir, password);
    }
    if (!self)
        return false;
    if (!opened) {
        if (!ShowFailure(true) && self)
            DisplayError(T::ConnectFailed, {hostName});
        if (self)
            Disconnect();
        return false;
    }
    DisplayInfo(T::LoggedIn, {loginName, hostName});
    Notify(OnConnect, this);
    if (self)
        Refresh();
    return true;
}

void TZEVudeDadaVAV::Disconnect()
{
    const QPointer<TZEVudeDadaVAV> self(this);
    DisplayInfo(T::Disconnecting, {hostName});
    if (!self)
        return;
    connection.Close();
    fileModel->Clear();
    paneModel->Clear();
    DisplayInfo(T::Disconnected, {loginName, hostName});
    if (self)
        Notify(OnDisconnect, this);
}

// ---------------------------------------------------------------------------
// Listing

void TZEVudeDadaVAV::Refresh()
{
    if (!Connected() || RefuseWhileBusy())
        return;
    const QPointer<TZEVudeDadaVAV> self(this);
    fileModel->Clear();
    paneModel->Clear();
    fileCount = 0;
    totalSize = 0;
    const std::shared_ptr<TFtpConnection> handle = connection.Handle();
    QString folder;
    if (!handle || !handle->GetCurrentDirectory(folder)) {
        DisplayInfo(T::NoCurrentFolder);
        if (self)
            Disconnect();
        return;
    }
    if (folder != currentFolder) {
        currentFolder = folder;
        if (showDirectory)
            directoryField->setText(folder);
    }
    DisplayInfo(T::ListingStarted, {folder});
    if (!self)
        return;

    QList<TQuickFileRow> files;
    QList<TQuickFileRow> folders;
    if (folder != Root) {
        auto data = std::make_shared<TExtraFileData>();
        data->Size = 0;
        data->IsDirectory = true;
        const TQuickFileRow parentRow{QStringLiteral(".."), {}, {}, {}, data};
        files.append(parentRow);
        folders.append(parentRow);
    }
    // The records are all in memory once FindFirst returns, so rows are
    // built in one go: no events are processed between them, and nothing
    // can start another listing half-way through this one.
    int count = 0;
    qint64 total = 0;
    const auto addEntry = [&](const TFtpFindRecord &record) {
        if (record.Name == QLatin1String(".") || record.Name == QLatin1String(".."))
            return;
        const bool isFolder = (record.Attributes & (ftpaDirectory | ftpaLink)) != 0;
        auto data = std::make_shared<TExtraFileData>();
        data->Size = isFolder ? -1 : record.Size;
        data->IsDirectory = isFolder;
        data->IsLink = (record.Attributes & ftpaLink) && !record.LinkTarget.isEmpty();
        data->DateTime = record.LastWriteTime;
        TQuickFileRow row;
        row.Caption = record.Name;
        row.SizeText = isFolder ? QString() : QuickSizeText(record.Size);
        row.DateText = QuickDateText(record.LastWriteTime);
        row.TypeText = QuickEntryTypeName(record.Name, isFolder);
        row.Data = data;
        if (isFolder) {
            folders.append(row);
        } else {
            ++count;
            total += record.Size;
        }
        files.append(row);
    };
    TFtpFindRecord record;
    std::unique_ptr<TFtpFind> find = handle->FindFirst(record);
    const TFtpError listingError = find ? TFtpError::None : handle->LastError();
    if (find) {
        do
            addEntry(record);
        while (find->Next(record));
    }
    fileModel->SetRows(files);
    paneModel->SetRows(folders);
    if (listingError != TFtpError::None && listingError != TFtpError::NoMoreFiles) {
        // A listing cut off, refused or too large is not reported complete;
        // the parent row stays, so that the user can still go up.
        const bool shown = listingError == TFtpError::ServerRefused && ShowLastResponse(false);
        if (!shown && self)
            DisplayError(T::ListingFailed, {folder});
        return;
    }
    fileCount = count;
    totalSize = total;
    DisplayInfo(T::ListingDone, {QuickTotalText(total), QString::number(count)});
    if (!self)
        return;
    fileModel->Sort(sortKey, descending[sortKey]);
    paneModel->Sort(sortKey, descending[sortKey]);
    Notify(OnChange, this);
}

// ---------------------------------------------------------------------------
// Opening entries and downloads

void TZEVudeDadaVAV::OpenEntry(QObject *sender)
{
    const QPointer<TZEVudeDadaVAV> self(this);
    Notify(OnDblClick, sender ? sender : fileList);
    if (!self)
        return;
    const int row = fileList->SelectedRow();
    if (row < 0)
        return;
    OpenRow(fileModel->Row(row));
}

void TZEVudeDadaVAV::FolderPaneClick()
{
    const QPointer<TZEVudeDadaVAV> self(this);
    const int row = folderPane->SelectedRow();
    if (row >= 0)
        OpenRow(paneModel->Row(row));
    if (self)
        Notify(OnClick, folderPane);
}

void TZEVudeDadaVAV::OpenRow(const TQuickFileRow &row)
{
    if (!Connected() || RefuseWhileBusy())
        return;
    if (!row.IsDirectory()) {
        DownloadRow(row);
        return;
    }
    const QPointer<TZEVudeDadaVAV> self(this);
    if (connection.ChangeDirectory(row.Caption)) {
        Refresh();
        return;
    }
    if (!ShowFailure(true) && self)
        DisplayError(T::CannotEnter, {row.Caption});
}

bool TZEVudeDadaVAV::AskLocalFile(const QString &remoteName, QString &localPath)
{
    if (OnGetLocalFile) {
        OnGetLocalFile(this, remoteName, localPath);
        return true;
    }
    // The save dialog proposes the remote name's file part only: a name
    // from the server never chooses a folder.
    const QString name = FtpFileNamePart(remoteName);
    const bool usable = !name.isEmpty() && name != QLatin1String(".") && name != QLatin1String("..");
    QString start = repertoiretele;
    if (usable)
        start = repertoiretele.isEmpty() ? name : QDir(repertoiretele).filePath(name);
    localPath = Prompts().SaveFileName(this, T::SaveAs, start, QString());
    return true;
}

void TZEVudeDadaVAV::DownloadRow(const TQuickFileRow &row)
{
    const QPointer<TZEVudeDadaVAV> self(this);
    QString localPath;
    if (!AskLocalFile(row.Caption, localPath) || !self || localPath.isEmpty())
        return;
    // An existing file is replaced only when the user says so; the
    // connection itself leaves it whole until the new copy is complete.
    if (QFileInfo::exists(localPath) && !Confirm(T::OverwriteLocal, {localPath}))
        return;
    if (!self || RefuseWhileBusy())
        return;
    SetBusy(true);
    bool copied = false;
    {
        TQuickOwnerLink::Call call(link);
        copied = connection.Download(row.Caption, localPath, row.Size());
    }
    if (!self)
        return;
    SetBusy(false);
    if (copied)
        DisplayInfo(T::FileCopied, {row.Caption, QString::number(QFileInfo(localPath).size())});
    else if (!ShowFailure(false) && self)
        DisplayError(T::DownloadFailed, {row.Caption});
}

// ---------------------------------------------------------------------------
// Deleting, creating, renaming, going up

void TZEVudeDadaVAV::DeleteSelection()
{
    if (!Connected())
        return;
    QList<TQuickFileRow> rows;
    for (const int row : fileList->SelectedRows())
        // The parent row names the folder above: it is never deleted.
        if (!fileModel->Row(row).IsParent())
            rows << fileModel->Row(row);
    if (rows.isEmpty() || RefuseWhileBusy())
        return;
    const QPointer<TZEVudeDadaVAV> self(this);
    bool yes = false;
    if (rows.size() == 1)
        yes = Confirm(rows.first().IsDirectory() ? T::DeleteFolderQuestion : T::DeleteFileQuestion,
                      {rows.first().Caption});
    else
        yes = Confirm(T::DeleteManyQuestion, {QString::number(rows.size())});
    if (!yes || !self)
        return;
    for (const TQuickFileRow &row : std::as_const(rows)) {
        if (row.IsDirectory()) {
            if (!connection.RemoveDirectory(row.Caption))
                ShowFailure(true);
        } else {
            connection.DeleteFile(row.Caption);
        }
        if (!self)
            return;
    }
    Refresh();
}

bool TZEVudeDadaVAV::DeleteRemoteFile(const QString &name)
{
    if (RefuseWhileBusy())
        return false;
    const QPointer<TZEVudeDadaVAV> self(this);
    const bool deleted = connection.DeleteFile(name);
    // The answer to DELE, read now: the listing below has replies of its own.
    QString reply;
    const bool answered =
        (deleted || connection.LastError() == TFtpError::ServerRefused) && connection.LastResponse(reply);
    const QString code = ErrorCode();
    if (deleted)
        Refresh();
    if (!self)
        return deleted;
    bool shown = false;
    if (answered) {
        TQuickOwnerLink::Call call(link);
        shown = link->ShowResponse(reply, false);
    }
    if (!shown && self)
        DisplayError(T::DeleteFailed, {name, code});
    return deleted;
}

bool TZEVudeDadaVAV::CreateRemoteFolder(const QString &name)
{
    if (!Connected()) {
        DisplayError(T::NoConnection);
        return false;
    }
    if (name.trimmed().isEmpty() || RefuseWhileBusy())
        return false;
    const QPointer<TZEVudeDadaVAV> self(this);
    if (connection.CreateDirectory(name)) {
        Refresh();
        return true;
    }
    if (!ShowFailure(true) && self)
        DisplayError(T::CreateFolderFailed, {name});
    return false;
}

void TZEVudeDadaVAV::NewFolder()
{
    QString answer;
    if (!Prompts().Input(this, Localize(T::NewFolderCaption, {}), Localize(T::NewFolderLabel, {}), answer))
        answer.clear();
    CreateRemoteFolder(answer);
}

void TZEVudeDadaVAV::RenameSelection()
{
    if (!Connected() || RefuseWhileBusy())
        return;
    const int row = fileList->SelectedRow();
    if (row >= 0)
        fileList->EditCaption(row);
}

void TZEVudeDadaVAV::EditEnded(int, const QString &oldCaption, const QString &newCaption)
{
    // The typed caption stays in the list whatever the server says, until
    // the next listing.
    if (FTPOptions().testFlag(doAllowRename))
        RenameRemote(oldCaption, newCaption);
}

bool TZEVudeDadaVAV::RenameRemote(const QString &oldName, const QString &newName)
{
    if (RefuseWhileBusy())
        return false;
    const QPointer<TZEVudeDadaVAV> self(this);
    if (!connection.RenameFile(oldName, newName)) {
        const QString code = ErrorCode();
        if (!ShowFailure(true) && self)
            DisplayError(T::RenameFailed, {oldName, code});
        return false;
    }
    ApplyRename(oldName, newName);
    return true;
}

void TZEVudeDadaVAV::ApplyRename(const QString &oldName, const QString &newName)
{
    // The selected row (the one just edited), or else the row of that name.
    int row = fileList->SelectedRow();
    if (row < 0 || (fileModel->Row(row).Caption != newName && fileModel->Row(row).Caption != oldName)) {
        row = -1;
        for (int i = 0; i < fileModel->RowCount() && row < 0; ++i)
            if (fileModel->Row(i).Caption == oldName)
                row = i;
    }
    if (row < 0)
        return;
    TQuickFileRow renamed = fileModel->Row(row);
    renamed.Caption = newName;
    // A folder stays a folder: its type is the folder's, not the new name's.
    renamed.TypeText = QuickEntryTypeName(newName, renamed.IsDirectory());
    fileModel->SetRow(row, renamed);
    // The folder pane shows the same entry: it follows, so that a click
    // there opens the folder under its new name.
    for (int i = 0; i < paneModel->RowCount(); ++i) {
        if (paneModel->Row(i).Data == renamed.Data) {
            TQuickFileRow pane = paneModel->Row(i);
            pane.Caption = newName;
            pane.TypeText = renamed.TypeText;
            paneModel->SetRow(i, pane);
        }
    }
}

void TZEVudeDadaVAV::ParentFolder()
{
    if (!Connected() || RefuseWhileBusy())
        return;
    connection.ChangeDirectory(QStringLiteral(".."));
    Refresh();
}

// ---------------------------------------------------------------------------
// Uploads

bool TZEVudeDadaVAV::UploadFile(const QString &localPath, const QString &remoteName)
{
    if (RefuseWhileBusy())
        return false;
    const QPointer<TZEVudeDadaVAV> self(this);
    if (!Connected() && !Connect())
        return false;
    if (!self)
        return false;
    DisplayInfo(T::UploadStarted, {remoteName});
    if (!self)
        return false;
    SetBusy(true);
    bool sent = false;
    {
        TQuickOwnerLink::Call call(link);
        sent = connection.Upload(localPath, remoteName);
    }
    if (!self)
        return sent;
    SetBusy(false);
    // Only a file the server confirmed is reported complete.
    if (sent)
        DisplayInfo(T::UploadComplete);
    else if (!ShowFailure(false) && self)
        DisplayError(T::UploadFailed, {remoteName});
    return sent;
}

bool TZEVudeDadaVAV::UploadFiles(const QString &text, bool wait)
{
    if (RefuseWhileBusy())
        return false;
    const QPointer<TZEVudeDadaVAV> self(this);
    // Without a connection the worker would have nothing to send on.
    if (!Connected() && !Connect())
        return false;
    if (!self)
        return false;
    SetBusy(true);
    auto *thread = new TUploadThread(*link, text);
    worker = thread;
    link->SetWorker(thread);
    thread->start();
    if (wait) {
        while (self && busy)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    return true;
}

void TZEVudeDadaVAV::UploadDone()
{
    const QPointer<TZEVudeDadaVAV> self(this);
    worker = nullptr;
    SetBusy(false);
    // A worker whose connection was closed under it (a disconnect) stopped
    // silently in the middle of a file: that is no complete upload.
    if (!Connected()) {
        DisplayError(T::UploadInterrupted);
        return;
    }
    DisplayInfo(T::UploadComplete);
    if (self)
        Refresh();
}

bool TZEVudeDadaVAV::AcceptsDrop(const QMimeData *mime) const
{
    return FTPOptions().testFlag(doAllowUpload) && active && !busy && CarriesLocalFiles(mime);
}

void TZEVudeDadaVAV::dragEnterEvent(QDragEnterEvent *event)
{
    if (AcceptsDrop(event->mimeData())) {
        event->setDropAction(Qt::CopyAction);
        event->accept();
    } else {
        event->ignore();
    }
}

void TZEVudeDadaVAV::dragMoveEvent(QDragMoveEvent *event)
{
    if (AcceptsDrop(event->mimeData())) {
        event->setDropAction(Qt::CopyAction);
        event->accept();
    } else {
        event->ignore();
    }
}

void TZEVudeDadaVAV::dropEvent(QDropEvent *event)
{
    if (!AcceptsDrop(event->mimeData())) {
        event->ignore();
        return;
    }
    QString paths;
    for (const QString &path : LocalFilesOf(event->mimeData()))
        paths += path + QStringLiteral("\r\n");
    event->setDropAction(Qt::CopyAction);
    event->accept();
    activateWindow();
    raise();
    // The drop ends here; the worker goes on, and the panel takes no other
    // drop until it has finished.
    UploadFiles(paths, false);
}

// ---------------------------------------------------------------------------
// Pop-up, keys, views, sorting, selection

void TZEVudeDadaVAV::ShowPopup(const QPoint &globalPos)
{
    popup->popup(globalPos);
}

void TZEVudeDadaVAV::UpdatePopupMenu()
{
    MenuItems &m = *items;
    const TdoOptions options = FTPOptions();
    const bool connected = Connected();
    // Commands that talk to the server wait for the end of a transfer.
    const bool free = connected && !busy;
    const QList<int> selected = fileList->SelectedRows();
    const TQuickFileRow *first = selected.isEmpty() ? nullptr : &fileModel->Row(selected.first());
    const bool parentRow = first && first->IsParent();

    m.open->setText(Localize(first && first->IsDirectory() ? T::MenuOpen : T::MenuCopy, {}));
    m.open->setEnabled(options.testFlag(doAllowDownload) && free && selected.size() == 1);
    m.erase->setEnabled(options.testFlag(doAllowDelete) && free && first && !parentRow);
    m.rename->setEnabled(options.testFlag(doAllowRename) && free && selected.size() == 1 && !parentRow);
    m.newFolder->setEnabled(options.testFlag(doAllowNewFolder) && free);
    m.view->menuAction()->setEnabled(connected);
    m.sort->menuAction()->setEnabled(connected);
    m.refresh->setEnabled(free);
    m.parent->setEnabled(free && currentFolder != Root);
    m.transferType->menuAction()->setVisible(options.testFlag(doShowTransferType));
}

QAction *TZEVudeDadaVAV::MenuItem(const QString &objectName) const
{
    return popup->findChild<QAction *>(objectName);
}

void TZEVudeDadaVAV::KeyReleased(int key)
{
    if (!Connected())
        return;
    switch (key) {
    case Qt::Key_Delete:
        DeleteSelection();
        break;
    case Qt::Key_F2:
        RenameSelection();
        break;
    case Qt::Key_F5:
        Refresh();
        break;
    default:
        break;
    }
}

void TZEVudeDadaVAV::SetViewStyle(TQuickViewStyle style)
{
    fileList->SetViewStyle(style);
    MenuItems &m = *items;
    QAction *item = style == qvsIcon        ? m.largeIcons
                    : style == qvsSmallIcon ? m.smallIcons
                    : style == qvsList      ? m.list
                                            : m.details;
    item->setChecked(true);
}

TQuickViewStyle TZEVudeDadaVAV::ViewStyle() const
{
    return fileList->ViewStyle();
}

void TZEVudeDadaVAV::SortBy(TQuickSortKey key)
{
    sortKey = key;
    MenuItems &m = *items;
    QAction *item = key == qskName ? m.byName : key == qskSize ? m.bySize : key == qskDate ? m.byDate : m.byType;
    item->setChecked(true);
    SortFileList();
}

void TZEVudeDadaVAV::HeaderClick(int column)
{
    static constexpr TQuickSortKey KeyOfColumn[TQuickFileModel::ColumnCount] = {qskName, qskSize, qskDate, qskType};
    if (column < 0 || column >= TQuickFileModel::ColumnCount)
        return;
    const TQuickSortKey key = KeyOfColumn[column];
    if (sortKey == key)
        descending[key] = !descending[key];
    else
        sortKey = key;
    SortFileList();
}

void TZEVudeDadaVAV::SortFileList()
{
    fileModel->Sort(sortKey, descending[sortKey]);
}

void TZEVudeDadaVAV::ShowSelection(TQuickListView *list, int row)
{
    const TQuickFileModel *model = list->Model();
    if (row < 0 || row >= model->RowCount())
        return;
    const QString separator = currentFolder.endsWith(QLatin1Char('/')) ? QString() : QStringLiteral("/");
    directoryField->setText(currentFolder + separator + model->Row(row).Caption);
}

// ---------------------------------------------------------------------------
// Reading

int TZEVudeDadaVAV::RowCount() const
{
    return fileModel->RowCount();
}

TQuickFileRow TZEVudeDadaVAV::Row(int row) const
{
    return row >= 0 && row < fileModel->RowCount() ? fileModel->Row(row) : TQuickFileRow();
}

QList<TQuickFileRow> TZEVudeDadaVAV::Rows() const
{
    return fileModel->Rows();
}

QList<int> TZEVudeDadaVAV::SelectedRows() const
{
    return fileList->SelectedRows();
}

QString TZEVudeDadaVAV::DirectoryText() const
{
    return directoryField->text();
}

QStringList TZEVudeDadaVAV::LogLines() const
{
    QStringList lines;
    const QTextDocument *document = log->document();
    if (document->isEmpty())
        return lines;
    for (QTextBlock block = document->begin(); block.isValid(); block = block.next())
        lines << block.text();
    return lines;
}
