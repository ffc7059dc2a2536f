#include "FtpTreeView.h"

#include "ClientBinding.h"
#include "DropFiles.h"
#include "FileIcons.h"
#include "Ftp.h"
#include "FtpCache.h"
#include "FtpData.h"
#include "FtpMisc.h"
#include "RemoteFolderIcon.h"
#include "SiteAddress.h"

#include <QApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QPersistentModelIndex>
#include <QPointer>
#include <QSet>

namespace {

const QString RootPrefix = QStringLiteral("ftp://");

// Folder nodes show the closed folder, and the open one while selected.
QIcon FolderNodeIcon()
{
    static const QIcon icon = [] {
        QIcon combined;
        const QIcon closed = FolderIcon();
        const QIcon open = OpenFolderIcon();
        for (const int size : {16, 32}) {
            combined.addPixmap(closed.pixmap(size), QIcon::Normal);
            combined.addPixmap(open.pixmap(size), QIcon::Selected);
        }
        return combined;
    }();
    return icon;
}

bool IsSiteRootText(const QString &text)
{
    return text.startsWith(RootPrefix, Qt::CaseInsensitive);
}

// Guards the application-starting cursor of the first preload of a site.
class TBusyCursor
{
public:
    TBusyCursor() { QGuiApplication::setOverrideCursor(Qt::BusyCursor); }
    ~TBusyCursor() { QGuiApplication::restoreOverrideCursor(); }
    TBusyCursor(const TBusyCursor &) = delete;
    TBusyCursor &operator=(const TBusyCursor &) = delete;
};

} // namespace

struct TVexFtpTreeView::Private {
    // What the root of a site was made from: the login that created it.
    struct Site {
        QString key; // SiteUrl, compared ignoring case
        QPersistentModelIndex root;
        QString server;
        quint16 port = 21;
        QString user;
        QString password;
    };

    TVexFtpTreeView *q = nullptr;
    QPointer<TVexFtp> client;
    TClientBinding binding;

    bool accept = true;
    bool preload = true;
    bool webStyle = true;
    QList<Site> sites;
    QPersistentModelIndex siteRoot;
    QPersistentModelIndex currentNode;
    bool collapsing = false;
    // The expand and collapse reactions start with the first login; the
    // expand one is held back while the tree itself expands nodes.
    bool collapseHookAttached = false;
    bool expandHookAttached = false;
    QStringList droppedFiles;

    QTreeWidgetItem *Item(const QPersistentModelIndex &index) const
    {
        return index.isValid() ? q->itemFromIndex(index) : nullptr;
    }
    QPersistentModelIndex IndexOf(QTreeWidgetItem *item) const
    {
        return item ? QPersistentModelIndex(q->indexFromItem(item)) : QPersistentModelIndex();
    }
    QTreeWidgetItem *Root() const { return Item(siteRoot); }
    QTreeWidgetItem *Current() const { return Item(currentNode); }

    // The site of key; a site whose root was deleted is forgotten.
    Site *FindSite(const QString &key)
    {
        for (qsizetype i = 0; i < sites.size(); ++i) {
            if (sites[i].key.compare(key, Qt::CaseInsensitive) != 0)
                continue;
            if (!sites[i].root.isValid()) {
                sites.removeAt(i);
                return nullptr;
            }
            return &sites[i];
        }
        return nullptr;
    }

    const Site *SiteOfRoot(const QTreeWidgetItem *root) const
    {
        for (const Site &site : sites)
            if (Item(site.root) == root)
                return &site;
        return nullptr;
    }

    static const QTreeWidgetItem *TopOf(const QTreeWidgetItem *node)
    {
        while (node && node->parent())
            node = node->parent();
        return node;
    }

    // Folder names from below the root down to node.
    static QStringList FolderNames(const QTreeWidgetItem *node)
    {
        QStringList names;
        while (node && node->parent()) {
            names.prepend(node->text(0));
            node = node->parent();
        }
        return names;
    }

    static void SetExpandButton(QTreeWidgetItem *node, bool button)
    {
        node->setChildIndicatorPolicy(button ? QTreeWidgetItem::ShowIndicator
                                             : QTreeWidgetItem::DontShowIndicatorWhenChildless);
    }

    // Nodes stay in text order, as the folder tree sorts them.
    void InsertSorted(QTreeWidgetItem *parent, QTreeWidgetItem *item)
    {
        const QString text = item->text(0);
        int low = 0;
        int high = parent ? parent->childCount() : q->topLevelItemCount();
        while (low < high) {
            const int middle = (low + high) / 2;
            const QTreeWidgetItem *other = parent ? parent->child(middle) : q->topLevelItem(middle);
            if (CompareTextLocale(other->text(0), text) <= 0)
                low = middle + 1;
            else
                high = middle;
        }
        if (parent)
            parent->insertChild(low, item);
        else
            q->insertTopLevelItem(low, item);
    }

    QTreeWidgetItem *AddFolder(QTreeWidgetItem *parent, const QString &name, bool button)
    {
        auto *node = new QTreeWidgetItem(QStringList{name});
        node->setIcon(0, FolderNodeIcon());
        SetExpandButton(node, button);
        InsertSorted(parent, node);
        return node;
    }

    static QTreeWidgetItem *FindChild(const QTreeWidgetItem *parent, const QString &name)
    {
        for (int i = 0; i < parent->childCount(); ++i)
            if (parent->child(i)->text(0) == name)
                return parent->child(i);
        return nullptr;
    }

    static QSet<QString> ChildNames(const QTreeWidgetItem *parent)
    {
        QSet<QString> names;
        names.reserve(parent->childCount());
        for (int i = 0; i < parent->childCount(); ++i)
            names.insert(parent->child(i)->text(0));
        return names;
    }

    void Select(QTreeWidgetItem *node)
    {
        if (!node)
            return;
        q->setCurrentItem(node);
        q->scrollToItem(node);
    }

    // A folder path, or the NodeUrl form of one on the client's server.
    QString FolderPath(const QString &folder) const
    {
        if (!client || !IsSiteRootText(folder))
            return folder;
        const QString prefix = RootPrefix + client->Server();
        if (!folder.startsWith(prefix, Qt::CaseInsensitive))
            return folder;
        QString path = folder.mid(prefix.size());
        while (path.size() > 1 && path.endsWith(QLatin1Char('/')))
            path.chop(1);
        if (path.isEmpty())
            path = QStringLiteral("/");
        return PercentDecode(path);
    }

    void ExpandQuietly(QTreeWidgetItem *node)
    {
        const bool attached = expandHookAttached;
        expandHookAttached = false;
        node->setExpanded(true);
        expandHookAttached = attached;
    }

    void Navigate(QTreeWidgetItem *node)
    {
        if (!client || !node)
            return;
        // The address carries the site the node belongs to (its root's
        // server, port, user and password), so a node under another site's
        // root reaches that site, and one under the current site is a plain
        // change of folder.
        const Site *site = SiteOfRoot(TopOf(node));
        const QString address = site ? SiteAddress(site->server, site->port, site->user,
                                                   site->password, FolderNames(node))
                                     : q->NodeUrl(node);
        if (!address.isEmpty())
            client->ConnectUrl(address);
    }

    void NavigateOnClick(QTreeWidgetItem *node)
    {
        if (!node || node == Current() || !client || client->Busy())
            return;
        Navigate(node);
    }

    // --- Reactions to the client -------------------------------------------

    void OnInfo(FtpInfo info)
    {
        if (info != ftpiLoggedIn || !client)
            return;
        const QString server = client->Server();
        const quint16 port = client->Port();
        const QString user = client->Username();
        const QString password = client->Password();
        const QString key = SiteUrl(server, port, user, password);
        if (const Site *site = FindSite(key)) {
            siteRoot = site->root;
        } else {
            auto *root = new QTreeWidgetItem(QStringList{RootPrefix + server + QLatin1Char('/')});
            root->setIcon(0, RemoteFolderIcon());
            SetExpandButton(root, true);
            InsertSorted(nullptr, root);
            siteRoot = IndexOf(root);
            sites.append(Site{key, siteRoot, server, port, user, password});
            const TBusyCursor busy;
            q->PreloadFolder(QStringLiteral("/"), -1);
        }
        if (QTreeWidgetItem *root = Root())
            ExpandQuietly(root);
        q->EnsurePath(client->CurrentDirectory());
        Select(Current());
        collapsing = false;
        collapseHookAttached = true;
        expandHookAttached = true;
    }

    void FollowDirectory()
    {
        if (!client || !Root())
            return;
        const QString directory = client->CurrentDirectory();
        if (directory.isEmpty())
            return;
        if (directory == QLatin1String("/")) {
            currentNode = siteRoot;
            Select(Root());
            return;
        }
        q->EnsurePath(directory);
        Select(Current());
    }

    void ListingDone()
    {
        if (!client || !Root())
            return;
        const bool attached = expandHookAttached;
        expandHookAttached = false;
        const QString directory = client->CurrentDirectory();
        // A folder the path cannot reach gets nothing: the listing belongs
        // to no node of this tree.
        if (q->EnsurePath(directory)) {
            const QPersistentModelIndex listed = currentNode;
            if (!client->FromCache()) {
                // A fresh listing replaces what was known below the folder;
                // the cache still holds the deeper levels of earlier visits.
                QTreeWidgetItem *node = Current();
                qDeleteAll(node->takeChildren());
                q->PreloadFolder(q->NodePath(node), 2);
                currentNode = listed;
            }
            q->AddListedFolders(client->Directories());
            if (QTreeWidgetItem *node = Current()) {
                if (node->childCount() > 0) {
                    SetExpandButton(node, true);
                    if (!collapsing)
                        node->setExpanded(true);
                    collapsing = false;
                } else {
                    SetExpandButton(node, false);
                }
            }
            q->EnsurePath(directory);
            Select(Current());
        }
        expandHookAttached = attached;
    }

    void Expanded(QTreeWidgetItem *node)
    {
        if (!expandHookAttached || collapsing)
            return;
        Select(node);
        if (node != Current() && node->childIndicatorPolicy() == QTreeWidgetItem::ShowIndicator
            && node->childCount() == 0 && client && !client->Busy())
            Navigate(node);
    }

    void Collapsed()
    {
        if (collapseHookAttached)
            collapsing = true;
    }

    void ApplyAccept()
    {
        q->setAcceptDrops(accept);
        q->viewport()->setAcceptDrops(accept);
    }

    void ApplyWebStyle()
    {
        q->setMouseTracking(webStyle);
        q->viewport()->setAttribute(Qt::WA_Hover, webStyle);
        if (webStyle)
            q->viewport()->setCursor(Qt::PointingHandCursor);
        else
            q->viewport()->unsetCursor();
    }
};

TVexFtpTreeView::TVexFtpTreeView(QWidget *parent)
    : QTreeWidget(parent)
    , d(std::make_unique<Private>())
{
    d->q = this;
    setColumnCount(1);
    setHeaderHidden(true);
    setRootIsDecorated(false);
    setUniformRowHeights(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    // Renaming a node could never rename the folder on the server; the tree
    // would then name folders that do not exist.
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSortingEnabled(false); // nodes are inserted in text order

    connect(this, &QTreeWidget::itemClicked, this, [this](QTreeWidgetItem *item) {
        if (d->webStyle)
            d->NavigateOnClick(item);
    });
    connect(this, &QTreeWidget::itemDoubleClicked, this, [this](QTreeWidgetItem *item) {
        if (!d->webStyle)
            d->NavigateOnClick(item);
    });
    connect(this, &QTreeWidget::itemExpanded, this, [this](QTreeWidgetItem *item) { d->Expanded(item); });
    connect(this, &QTreeWidget::itemCollapsed, this, [this](QTreeWidgetItem *) { d->Collapsed(); });
    d->ApplyAccept();
    d->ApplyWebStyle();
}

TVexFtpTreeView::~TVexFtpTreeView() = default;

TVexFtp *TVexFtpTreeView::Client() const
{
    return d->client;
}

void TVexFtpTreeView::SetClient(TVexFtp *client)
{
    if (client && client == d->client)
        return;
    d->binding.Bind(client);
    d->client = client;
    if (!client) {
        clear();
        d->sites.clear();
        d->siteRoot = d->currentNode = QPersistentModelIndex();
        return;
    }
    d->binding.OnInfo([this](TVexFtp *, FtpInfo info, const QString &) { d->OnInfo(info); });
    d->binding.OnNotify(nkDirectoryChanged, [this](TVexFtp *) { d->FollowDirectory(); });
    d->binding.OnNotify(nkListingDone, [this](TVexFtp *) { d->ListingDone(); });
    if (!d->binding.Complete())
        qWarning("TVexFtpTreeView: some of the client's listener slots are all taken; the tree will not follow it fully");
    // A client bound after its login still gets its site root.
    if (client->LoggedIn())
        d->OnInfo(ftpiLoggedIn);
    if (client->Directories().Count() + client->Files().Count() > 0)
        d->ListingDone();
}

bool TVexFtpTreeView::Accept() const
{
    return d->accept;
}

void TVexFtpTreeView::SetAccept(bool accept)
{
    d->accept = accept;
    d->ApplyAccept();
}

bool TVexFtpTreeView::Preload() const
{
    return d->preload;
}

void TVexFtpTreeView::SetPreload(bool preload)
{
    d->preload = preload;
}

bool TVexFtpTreeView::WebStyle() const
{
    return d->webStyle;
}

void TVexFtpTreeView::SetWebStyle(bool on)
{
    d->webStyle = on;
    d->ApplyWebStyle();
}

QStringList TVexFtpTreeView::DroppedFiles() const
{
    return d->droppedFiles;
}

bool TVexFtpTreeView::DropFiles(const QMimeData *mime)
{
    if (!d->accept)
        return false;
    const QStringList paths = LocalFilesOf(mime);
    if (paths.isEmpty())
        return false;
    d->droppedFiles = paths;
    if (OnFileDropped)
        OnFileDropped(this);
    return true;
}

QString TVexFtpTreeView::NodeUrl(const QTreeWidgetItem *node) const
{
    const QTreeWidgetItem *top = Private::TopOf(node);
    if (!top || !IsSiteRootText(top->text(0)))
        return QString();
    QString url = top->text(0);
    if (!url.endsWith(QLatin1Char('/')))
        url += QLatin1Char('/');
    for (const QString &name : Private::FolderNames(node))
        url += EscapeAddressFolder(name) + QLatin1Char('/');
    return url;
}

QString TVexFtpTreeView::NodePath(const QTreeWidgetItem *node) const
{
    const QTreeWidgetItem *top = Private::TopOf(node);
    if (!top || !IsSiteRootText(top->text(0)))
        return QString();
    const QStringList names = Private::FolderNames(node);
    return QLatin1Char('/') + names.join(QLatin1Char('/'));
}

void TVexFtpTreeView::ClearSites()
{
    for (const Private::Site &site : std::as_const(d->sites))
        delete d->Item(site.root);
    d->sites.clear();
    d->siteRoot = d->currentNode = QPersistentModelIndex();
}

int TVexFtpTreeView::SiteCount() const
{
    int count = 0;
    for (const Private::Site &site : d->sites)
        if (site.root.isValid())
            ++count;
    return count;
}

QTreeWidgetItem *TVexFtpTreeView::SiteRoot() const
{
    return d->Root();
}

QTreeWidgetItem *TVexFtpTreeView::CurrentNode() const
{
    return d->Current();
}

bool TVexFtpTreeView::EnsurePath(const QString &path)
{
    QTreeWidgetItem *node = d->Root();
    if (!node)
        return false;
    QString rest = path;
    while (!rest.isEmpty() && rest != QLatin1String("/")) {
        if (rest.startsWith(QLatin1Char('/')))
            rest.remove(0, 1);
        const qsizetype slash = rest.indexOf(QLatin1Char('/'));
        const QString name = slash < 0 ? rest : rest.left(slash);
        if (name.isEmpty())
            return false;
        QTreeWidgetItem *child = Private::FindChild(node, name);
        if (!child)
            child = d->AddFolder(node, name, true);
        // The "/" after the name stays: the next round drops it, so that
        // "//" leaves an empty name behind.
        rest.remove(0, name.size());
        node = child;
    }
    d->currentNode = d->IndexOf(node);
    return true;
}

void TVexFtpTreeView::PreloadFolder(const QString &folder, int depth)
{
    if (depth == 0 || !d->preload || !d->client)
        return;
    if (!EnsurePath(d->FolderPath(folder)))
        return;
    QTreeWidgetItem *node = d->Current();
    const QString path = NodePath(node);
    TVexFtpFileInfoList cached;
    if (!ReadCachedFolders(CacheFileName(d->client->Server(), d->client->Username(), path, true,
                                         d->client->Port()),
                           cached))
        return; // never cached: what the node shows stays as it is
    QStringList childPaths;
    QSet<QString> known = Private::ChildNames(node);
    const QString base = path == QLatin1String("/") ? QString() : path;
    VexFtpFileInfo info;
    for (int i = 0; i < cached.Count(); ++i) {
        cached.GetInfo(i, info);
        const QString &name = info.FileName;
        if (name.isEmpty() || name.contains(QLatin1Char('/')) || known.contains(name))
            continue;
        d->AddFolder(node, name, info.SymbolLink.isEmpty());
        known.insert(name);
        childPaths << base + QLatin1Char('/') + name;
    }
    Private::SetExpandButton(node, node->childCount() > 0);
    for (const QString &childPath : std::as_const(childPaths))
        PreloadFolder(childPath, depth - 1);
}

void TVexFtpTreeView::AddListedFolders(const TVexFtpFileInfoList &folders)
{
    QTreeWidgetItem *node = d->Current();
    if (!node)
        return;
    QSet<QString> known = Private::ChildNames(node);
    VexFtpFileInfo info;
    for (int i = 0; i < folders.Count(); ++i) {
        folders.GetInfo(i, info);
        if (info.FileName.isEmpty() || known.contains(info.FileName))
            continue;
        d->AddFolder(node, info.FileName, info.SymbolLink.isEmpty());
        known.insert(info.FileName);
    }
    Private::SetExpandButton(node, node->childCount() > 0);
}

void TVexFtpTreeView::dragEnterEvent(QDragEnterEvent *event)
{
    if (d->accept && CarriesLocalFiles(event->mimeData())) {
        event->setDropAction(Qt::CopyAction);
        event->accept();
    } else {
        event->ignore();
    }
}

void TVexFtpTreeView::dragMoveEvent(QDragMoveEvent *event)
{
    if (d->accept && CarriesLocalFiles(event->mimeData())) {
        event->setDropAction(Qt::CopyAction);
        event->accept();
    } else {
        event->ignore();
    }
}

void TVexFtpTreeView::dropEvent(QDropEvent *event)
{
    if (DropFiles(event->mimeData())) {
        event->setDropAction(Qt::CopyAction);
        event->accept();
    } else {
        event->ignore();
    }
}
