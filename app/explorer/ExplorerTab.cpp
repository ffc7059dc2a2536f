// The explorer tab's construction: its panes, the remote and local tool bars
// in their order, the two pop-up menus, and the wiring of its own
// controls and of the client's completion hooks to its handlers.

#include "ExplorerTab.h"

#include "AppContext.h"
#include "AppIcon.h"
#include "DragOrigin.h"
#include "ExplorerViews.h"
#include "FileFilters.h"
#include "Ftp.h"
#include "FtpListView.h"
#include "FtpMsg.h"
#include "FtpTreeView.h"
#include "LocalFileList.h"
#include "LocalFolderTree.h"
#include "PanelBar.h"
#include "TransferDisplay.h"
#include "WidgetHelpers.h"

#include <QAction>
#include <QActionGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QMenu>
#include <QPainter>
#include <QSplitter>
#include <QTimer>
#include <QToolBar>
#include <QVBoxLayout>

namespace {
const QString FilterHint = QStringLiteral("Filtre de fichiers");

// The transfer buttons' icons where the desktop's theme has none: an arrow
// to a bar, the server's side being the top (up for sending, down for
// fetching), so that they never look like the parent-folder buttons.
QIcon TransferIcon(bool upload)
{
    QIcon icon;
    for (int size : {16, 24, 32}) {
        QPixmap pixmap(size, size);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        painter.setRenderHint(QPainter::Antialiasing);
        const qreal u = size / 16.0;
        const QColor colour = upload ? QColor(200, 90, 20) : QColor(30, 110, 200);
        painter.setPen(Qt::NoPen);
        painter.setBrush(colour);
        painter.drawRect(QRectF(2 * u, upload ? 1 * u : 13 * u, 12 * u, 2 * u));
        QPolygonF arrow;
        if (upload)
            arrow << QPointF(8 * u, 4 * u) << QPointF(13 * u, 9 * u) << QPointF(10 * u, 9 * u)
                  << QPointF(10 * u, 15 * u) << QPointF(6 * u, 15 * u) << QPointF(6 * u, 9 * u) << QPointF(3 * u, 9 * u);
        else
            arrow << QPointF(8 * u, 12 * u) << QPointF(13 * u, 7 * u) << QPointF(10 * u, 7 * u)
                  << QPointF(10 * u, 1 * u) << QPointF(6 * u, 1 * u) << QPointF(6 * u, 7 * u) << QPointF(3 * u, 7 * u);
        painter.drawPolygon(arrow);
        painter.end();
        icon.addPixmap(pixmap);
    }
    return QIcon::fromTheme(upload ? QStringLiteral("go-top") : QStringLiteral("go-bottom"), icon);
}

// The compress buttons' icons: a parcel closed by a zip, and for the
// sending the same parcel with the upload button's arrow, so that neither
// reads as "save" or "apply" and the two go together.
QIcon ArchiveIcon(bool send)
{
    QIcon icon;
    for (int size : {16, 24, 32}) {
        QPixmap pixmap(size, size);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        painter.setRenderHint(QPainter::Antialiasing);
        const qreal u = size / 16.0;
        const qreal width = send ? 10 * u : 13 * u;
        painter.setPen(QPen(QColor(120, 80, 30), u));
        painter.setBrush(QColor(215, 170, 100));
        painter.drawRect(QRectF(1.5 * u, 3.5 * u, width, 11 * u));
        // The zip: a dark band down the middle, its teeth across it.
        const qreal middle = 1.5 * u + width / 2;
        painter.setPen(Qt::NoPen);
        painter.setBrush(QColor(60, 60, 60));
        painter.drawRect(QRectF(middle - 0.75 * u, 3.5 * u, 1.5 * u, 11 * u));
        painter.setBrush(QColor(235, 235, 235));
        for (int tooth = 0; tooth < 5; ++tooth)
            painter.drawRect(QRectF(middle - 0.75 * u, (4.5 + 2 * tooth) * u, 1.5 * u, 0.8 * u));
        if (send) {
            painter.setBrush(QColor(200, 90, 20));
            const QPolygonF arrow{QPointF(13 * u, 1 * u),  QPointF(16 * u, 5 * u),  QPointF(14 * u, 5 * u),
                                  QPointF(14 * u, 11 * u), QPointF(12 * u, 11 * u), QPointF(12 * u, 5 * u),
                                  QPointF(10 * u, 5 * u)};
            painter.drawPolygon(arrow);
        }
        painter.end();
        icon.addPixmap(pixmap);
    }
    return icon;
}

QToolBar *PaneToolBar(QWidget *parent, const char *name)
{
    auto *bar = Named(new QToolBar(parent), name);
    bar->setIconSize(QSize(16, 16));
    bar->setToolButtonStyle(Qt::ToolButtonIconOnly);
    bar->setMovable(false);
    bar->setFloatable(false);
    bar->setContextMenuPolicy(Qt::PreventContextMenu);
    return bar;
}

QComboBox *FilterList(QWidget *parent, const char *name)
{
    auto *filter = Named(new QComboBox(parent), name);
    filter->setToolTip(FilterHint);
    FillFilterList(filter);
    filter->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    return filter;
}

QWidget *Column(QWidget *parent, std::initializer_list<QWidget *> widgets, QWidget *stretched)
{
    auto *column = new QWidget(parent);
    auto *layout = new QVBoxLayout(column);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(1);
    for (QWidget *widget : widgets) {
        widget->setParent(column);
        layout->addWidget(widget, widget == stretched ? 1 : 0);
    }
    return column;
}
}

TExplorerTab::TExplorerTab(TAppContext &context, QWidget *parent) : QWidget(parent), context(context)
{
    setObjectName(QStringLiteral("TabSheet1"));
    BuildLayout();
    BuildRemotePopup();
    BuildLocalPopup();
    SetLoggedInCommandsEnabled(false);
    Wire();
    SetClientHooks(true);
    context.SetLocalFolderSelector([this](const QString &folder) { return localTree->SetDirectory(folder); });
}

TExplorerTab::~TExplorerTab()
{
    context.SetLocalFolderSelector({});
    SetClientHooks(false);
}

void TExplorerTab::BuildLayout()
{
    TVexFtp *client = context.VexFtp1();
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(2, 2, 2, 0);
    layout->setSpacing(2);

    auto *vertical = Named(new QSplitter(Qt::Vertical, this), "Splitter1");
    vertical->setChildrenCollapsible(false);

    // Top: the remote tree under its banner; the remote tool bar and list.
    auto *top = Named(new QSplitter(Qt::Horizontal, vertical), "Splitter2");
    top->setChildrenCollapsible(false);
    tree = CreateVexFtpTreeView(top, client);
    top->addWidget(Column(top, {VelmarBanner(top, "Image1", QStringLiteral("Velmar"), 240), tree}, tree));
    list = CreateVexFtpListView(top, client);
    auto *remoteBar = PaneToolBar(top, "ToolBar2");
    BuildRemoteToolBar(remoteBar);
    top->addWidget(Column(top, {remoteBar, list}, list));
    top->setStretchFactor(1, 1);

    // Bottom: the local tree over the log; the local tool bar and list, then
    // the transfer display.
    auto *bottom = Named(new QSplitter(Qt::Horizontal, vertical), "Splitter3");
    bottom->setChildrenCollapsible(false);
    auto *left = Named(new QSplitter(Qt::Vertical, bottom), "Splitter4");
    left->setChildrenCollapsible(false);
    localTree = CreateLocalFolderTree(left);
    log = CreateVexFtpMessenger(left, client);
    log->SaveStatusAction()->setObjectName(QStringLiteral("Sauvegarderlestatus1"));
    left->addWidget(localTree);
    left->addWidget(log);
    localFiles = CreateLocalFileList(bottom);
    transfer = new TTransferDisplay(bottom);
    auto *localBar = PaneToolBar(bottom, "ToolBar3");
    BuildLocalToolBar(localBar);
    bottom->addWidget(left);
    bottom->addWidget(Column(bottom, {localBar, localFiles, transfer}, localFiles));
    bottom->setStretchFactor(1, 1);

    vertical->addWidget(top);
    vertical->addWidget(bottom);
    layout->addWidget(vertical, 1);
    // At the first-run size of 755 by 576: the left panes a third of the
    // width, the two halves alike.
    top->setSizes({230, 510});
    bottom->setSizes({230, 510});
    left->setSizes({120, 100});
    vertical->setSizes({200, 250});

    statusBar = new TPanelBar(this, "StatusBar1");
    layout->addWidget(statusBar);
}

void TExplorerTab::BuildRemoteToolBar(QToolBar *bar)
{
    sync = Named(new QCheckBox(QStringLiteral("Synchroniser les répertoires"), bar), "sync");
    sync->setToolTip(QStringLiteral("Synchroniser les répertoires"));
    bar->addWidget(sync);
    bar->addSeparator();
    const TViewStyleActions remoteButtons =
        AddViewStyleActions(this, bar, "ToolButton23", "ToolButton15", "ToolButton25");
    remoteLarge = remoteButtons.large;
    remoteList = remoteButtons.list;
    remoteDetails = remoteButtons.details;
    bar->addSeparator();
    newRemote = ToolAction(this, "ToolButton11", QStringLiteral("Nouveau répertoire"), "folder-new",
                           QStyle::SP_FileDialogNewFolder);
    remoteUp = ToolAction(this, "ToolButton8", QStringLiteral("Répertoire supérieur"), "go-up",
                          QStyle::SP_FileDialogToParent);
    deleteRemote = ToolAction(this, "ToolButton6", QStringLiteral("Supprimer un répertoire"), "edit-delete",
                              QStyle::SP_TrashIcon);
    bar->addActions({newRemote, remoteUp, deleteRemote});
    bar->addSeparator();
    remoteFilter = FilterList(bar, "Filtre");
    bar->addWidget(remoteFilter);
    bar->addSeparator();
    exportExcel = ToolAction(this, "ExportExcel2", QStringLiteral("Export Excel"), "x-office-spreadsheet",
                             QStyle::SP_FileDialogInfoView);
    printSite = ToolAction(this, "ImprimerSite2", QStringLiteral("Imprimer le site distant"), "document-print",
                           QStyle::SP_DialogSaveButton);
    bar->addActions({exportExcel, printSite});
}

void TExplorerTab::BuildLocalToolBar(QToolBar *bar)
{
    compare = ToolAction(this, "comparer", QStringLiteral("Comparer les fichiers"), "view-refresh",
                         QStyle::SP_BrowserReload);
    bar->addAction(compare);
    bar->addSeparator();
    const TViewStyleActions localButtons =
        AddViewStyleActions(this, bar, "ToolButton29", "ToolButton28", "ToolButton27");
    localLarge = localButtons.large;
    localList = localButtons.list;
    localDetails = localButtons.details;
    bar->addSeparator();
    localUp = ToolAction(this, "retour", QStringLiteral("Répertoire supérieur"), "go-up",
                         QStyle::SP_FileDialogToParent);
    bar->addAction(localUp);
    bar->addSeparator();
    // The transfer buttons have no hint of their own; their texts are the
    // menu items they stand for.
    upload = Named(new QAction(TransferIcon(true), QStringLiteral("Envoyer"), this), "ToolButton16");
    download = Named(new QAction(TransferIcon(false), QStringLiteral("Télécharger"), this), "ToolButton14");
    bar->addActions({upload, download});
    bar->addSeparator();
    newLocal = ToolAction(this, "md", QStringLiteral("Nouveau répertoire"), "folder-new",
                          QStyle::SP_FileDialogNewFolder);
    deleteLocal = ToolAction(this, "SupprimerLocal", QStringLiteral("Supprimer"), "edit-delete",
                             QStyle::SP_TrashIcon);
    compress = Named(new QAction(ArchiveIcon(false), QStringLiteral("Compresser"), this), "compresser");
    compressAndSend =
        Named(new QAction(ArchiveIcon(true), QStringLiteral("Compresser et  envoyer"), this), "compenvoyer");
    bar->addActions({newLocal, deleteLocal, compress, compressAndSend});
    bar->addSeparator();
    localFilter = FilterList(bar, "filtre1");
    bar->addWidget(localFilter);
}

void TExplorerTab::BuildRemotePopup()
{
    remoteMenu = Named(new QMenu(this), "PopupMenu1");
    remoteStyles = new QActionGroup(this);
    const char *names[] = {"GrandesIcones2", "PetitesIcones2", "Liste2", "Dtails2"};
    const QString texts[] = {QStringLiteral("&Grandes Icones"), QStringLiteral("&Petites Icones"),
                             QStringLiteral("&Liste"), QStringLiteral("&Détails")};
    for (int tag = 0; tag < 4; ++tag) {
        QAction *item = Named(remoteMenu->addAction(texts[tag]), names[tag]);
        item->setCheckable(true);
        item->setData(tag);
        remoteStyles->addAction(item);
    }
    remoteStyles->actions().at(3)->setChecked(true);
    remoteMenu->addSeparator();
    newRemoteItem = Named(remoteMenu->addAction(QStringLiteral("&Nouveau répertoire")), "Nouveaurpertoire1");
    renameRemoteItem = Named(remoteMenu->addAction(QStringLiteral("&Renommer")), "Renommer1");
    deleteRemoteItem = Named(remoteMenu->addAction(QStringLiteral("&Supprimer")), "Supprimer1");
    remoteMenu->addSeparator();
    copyAddressItem = Named(remoteMenu->addAction(QStringLiteral("&Copier l'adresse")), "CopyLocation1");
    markRemoteItem = Named(remoteMenu->addAction(QStringLiteral("&Marquer le(s) fichier(s) distant(s) pour programmation")),
                           "Marquerlesfichiersdistantspourprogrammation1");
    remoteMenu->addSeparator();
    selectAllRemote = Named(remoteMenu->addAction(QStringLiteral("&Tout sélectionner")), "Toutslectionner1");
    list->setContextMenuPolicy(Qt::CustomContextMenu);

    treeMenu = Named(new QMenu(this), "PopupMenu4");
    markFolderItem = Named(treeMenu->addAction(QStringLiteral("&Marquer le répertoire en cours pour programmation")),
                           "Marquerlerpertoireencourspourprogrammation1");
    tree->setContextMenuPolicy(Qt::CustomContextMenu);
}

void TExplorerTab::BuildLocalPopup()
{
    localMenu = Named(new QMenu(this), "PopupMenu3");
    localStyles = new QActionGroup(this);
    const char *names[] = {"GrandesIcones1", "PetitesIcones1", "Liste1", "Dtails1"};
    const QString texts[] = {QStringLiteral("&Grandes Icones"), QStringLiteral("&Petites Icones"),
                             QStringLiteral("&Liste"), QStringLiteral("&Détails")};
    for (int tag = 0; tag < 4; ++tag) {
        QAction *item = Named(localMenu->addAction(texts[tag]), names[tag]);
        item->setCheckable(true);
        item->setData(tag);
        localStyles->addAction(item);
    }
    localStyles->actions().at(3)->setChecked(true);
    localMenu->addSeparator();
    compressItem = Named(localMenu->addAction(QStringLiteral("C&ompresser")), "Compresser1");
    compressAndSendItem = Named(localMenu->addAction(QStringLiteral("&Compresser et envoyer")), "Compresseretenvoyer1");
    localMenu->addSeparator();
    markLocalItem = Named(localMenu->addAction(QStringLiteral("&Marquer le(s) fichier(s) pour programmation")),
                          "Marquerlesfichierspourprogrammation1");
    markCompressItem = Named(localMenu->addAction(QStringLiteral("Mar&quer les fichiers pour compression locale")),
                             "Marquerlesfichierspourcompressionlocale1");
    markCompressAndSendItem =
        Named(localMenu->addAction(QStringLiteral("M&arquer les fichiers pour compression et envoi distant")),
              "Marquerlesfichierspourcompressionetenvoidistant1");
    localMenu->addSeparator();
    newLocalItem = Named(localMenu->addAction(QStringLiteral("&Nouveau répertoire")), "Nouveaurpertoire2");
    renameLocalItem = Named(localMenu->addAction(QStringLiteral("&Renommer")), "Renommer2");
    deleteLocalItem = Named(localMenu->addAction(QStringLiteral("&Supprimer")), "Supprimer2");
    localMenu->addSeparator();
    selectAllLocal = Named(localMenu->addAction(QStringLiteral("&Tout sélectionner")), "Toutslectionner2");
    localFiles->setContextMenuPolicy(Qt::CustomContextMenu);

    // The site tools' commands wait for their tools (the window wires them
    // when those are in): until then they do nothing and say so by being
    // greyed.
    for (QAction *tool : {compress, compressAndSend, compressItem, compressAndSendItem, markLocalItem,
                          markCompressItem, markCompressAndSendItem, markRemoteItem, markFolderItem})
        tool->setEnabled(false);
}

void TExplorerTab::Wire()
{
    const TAppContext &c = context;
    // Remote side.
    c.Connect(list, &TVexFtpListView::RowDoubleClicked, this, &TExplorerTab::VexFtpListView1DblClick);
    c.Connect(remoteUp, &QAction::triggered, this, &TExplorerTab::ToolButton8Click);
    c.Connect(newRemote, &QAction::triggered, this, &TExplorerTab::ToolButton11Click);
    c.Connect(newRemoteItem, &QAction::triggered, this, &TExplorerTab::ToolButton11Click);
    c.Connect(deleteRemote, &QAction::triggered, this, &TExplorerTab::ToolButton6Click);
    c.Connect(deleteRemoteItem, &QAction::triggered, this, &TExplorerTab::ToolButton6Click);
    c.Connect(list, &TVexFtpListView::KeyDown, this, [this](int key) { VexFtpListView1KeyDown(key); });
    c.Connect(list, &TVexFtpListView::CaptionEdited, this,
              [this](const QString &oldCaption, const QString &newCaption) {
                  VexFtpListView1Edited(oldCaption, newCaption);
              });
    c.Connect(renameRemoteItem, &QAction::triggered, this, &TExplorerTab::Renommer1Click);
    c.Connect(copyAddressItem, &QAction::triggered, this, &TExplorerTab::CopyLocation1Click);
    c.Connect(selectAllRemote, &QAction::triggered, this, &TExplorerTab::Toutslectionner1Click);
    c.Connect(remoteFilter, &QComboBox::activated, this, &TExplorerTab::FiltreChange);
    c.Connect(remoteLarge, &QAction::triggered, this, &TExplorerTab::ToolButton23Click);
    c.Connect(remoteList, &QAction::triggered, this, &TExplorerTab::ToolButton15Click);
    c.Connect(remoteDetails, &QAction::triggered, this, &TExplorerTab::ToolButton25Click);
    for (QAction *item : remoteStyles->actions())
        c.Connect(item, &QAction::triggered, this, [this, item] { ViewmenuClick(item->data().toInt()); });
    c.Connect(sync, &QCheckBox::clicked, this, &TExplorerTab::syncClick);
    c.Connect(tree, &QTreeWidget::currentItemChanged, this, &TExplorerTab::VexFtpTreeView1Change);
    c.Connect(list, &QWidget::customContextMenuRequested, this, [this](const QPoint &at) {
        PopupMenu1Popup();
        remoteMenu->popup(list->mapToGlobal(at));
    });
    c.Connect(tree, &QWidget::customContextMenuRequested, this,
              [this](const QPoint &at) { treeMenu->popup(tree->viewport()->mapToGlobal(at)); });

    // Local side.
    c.Connect(localTree, &TDirTree::Change, this, &TExplorerTab::DirTree1Change);
    c.Connect(localTree, &TDirTree::Click, this, &TExplorerTab::DirTree1Click);
    c.Connect(localUp, &QAction::triggered, this, &TExplorerTab::retourClick);
    c.Connect(localFilter, &QComboBox::activated, this, &TExplorerTab::filtre1Change);
    c.Connect(localLarge, &QAction::triggered, this, &TExplorerTab::ToolButton29Click);
    c.Connect(localList, &QAction::triggered, this, &TExplorerTab::ToolButton28Click);
    c.Connect(localDetails, &QAction::triggered, this, &TExplorerTab::ToolButton27Click);
    const QList<QAction *> localItems = localStyles->actions();
    c.Connect(localItems.at(0), &QAction::triggered, this, &TExplorerTab::GrandesIcones1Click);
    c.Connect(localItems.at(1), &QAction::triggered, this, &TExplorerTab::PetitesIcones1Click);
    c.Connect(localItems.at(2), &QAction::triggered, this, &TExplorerTab::Liste1Click);
    c.Connect(localItems.at(3), &QAction::triggered, this, &TExplorerTab::Dtails1Click);
    c.Connect(newLocal, &QAction::triggered, this, &TExplorerTab::mdClick);
    c.Connect(newLocalItem, &QAction::triggered, this, &TExplorerTab::mdClick);
    c.Connect(deleteLocal, &QAction::triggered, this, &TExplorerTab::Supprimer2Click);
    c.Connect(deleteLocalItem, &QAction::triggered, this, &TExplorerTab::Supprimer2Click);
    c.Connect(renameLocalItem, &QAction::triggered, this, &TExplorerTab::Renommer2Click);
    c.Connect(selectAllLocal, &QAction::triggered, this, &TExplorerTab::Toutslectionner2Click);
    c.Connect(localFiles, &TLocalFileList::FolderActivated, this,
              [this](const QString &folder) { this->context.SelectLocalFolder(folder); });
    c.Connect(localFiles, &QWidget::customContextMenuRequested, this,
              [this](const QPoint &at) { localMenu->popup(localFiles->mapToGlobal(at)); });

    // Transfers, and drag and drop between the two lists. A drop runs its
    // command once the drag is over, from the event loop, through the
    // handler dispatch.
    c.Connect(download, &QAction::triggered, this, &TExplorerTab::ToolButton14Click);
    c.Connect(upload, &QAction::triggered, this, &TExplorerTab::ToolButton16Click);
    localFiles->OnDragOver = [this](const QMimeData *mime) { return IsDragFrom(mime, list); };
    localFiles->OnDragDrop = [this](const QMimeData *) {
        QTimer::singleShot(0, this, [this] { this->context.Run([this] { FilesDragDrop(); }); });
    };
    list->OnDragOver = [this](const QMimeData *mime) { return IsDragFrom(mime, localFiles); };
    list->OnDragDrop = [this](const QMimeData *) {
        QTimer::singleShot(0, this, [this] { this->context.Run([this] { VexFtpListView1DragDrop(); }); });
    };
    list->OnFileDropped = [this](TVexFtpListView *) {
        QTimer::singleShot(0, this, [this] { this->context.Run([this] { VexFtpListView1FileDropped(); }); });
    };
}

void TExplorerTab::SetClientHooks(bool set)
{
    // Every change on the server that the client completes refreshes the
    // remote list. The client raises them from its event handling: each goes
    // through the handler dispatch.
    TVexFtp *client = context.VexFtp1();
    TNotifyEvent refresh;
    if (set)
        refresh = [this](TVexFtp *) { context.Run([this] { VexFtp1ContentChanged(); }); };
    client->OnDirectoryCreated = refresh;
    client->OnDirectoryDeleted = refresh;
    client->OnFileDeleted = refresh;
    client->OnFileStored = refresh;
    client->OnFileRenamed = refresh;
}

void TExplorerTab::SetLoggedInCommandsEnabled(bool enabled)
{
    for (QAction *command : {newRemote, remoteUp, deleteRemote, upload, download, newRemoteItem, renameRemoteItem,
                             deleteRemoteItem, copyAddressItem, compare})
        command->setEnabled(enabled);
}

void TExplorerTab::DisableUpload()
{
    upload->setEnabled(false);
}
