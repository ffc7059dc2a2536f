#pragma once
// TVexFtpTreeView: the folders of the remote sites visited during the run,
// one root node per site (user, password, server and port) with the folders
// below it. It follows its client through the client's listener table: on
// login, directory change and finished listing it creates the missing nodes
// along the current path, adds the listed folders and selects the current
// folder. Clicking a folder (or double-clicking, without WebStyle), or
// expanding one never listed, sends the client there through ConnectUrl.
// Folders not listed yet are filled from the listing cache of earlier
// visits, so a site visited before shows its known structure at once.
//
// Owner wiring: SetClient(&client); show NodeUrl(currentItem()) as the
// address; call ClearSites() when the client quits; read DroppedFiles() in
// OnFileDropped.

#include <QStringList>
#include <QTreeWidget>

#include <functional>
#include <memory>

class QMimeData;
class TVexFtp;
class TVexFtpFileInfoList;

class TVexFtpTreeView : public QTreeWidget
{
    Q_OBJECT
public:
    explicit TVexFtpTreeView(QWidget *parent = nullptr);
    ~TVexFtpTreeView() override;

    // The client followed (not owned). Setting another one detaches from the
    // old one; a client already logged in gets its site root at once. Null
    // deletes every node. A destroyed client is simply forgotten.
    TVexFtp *Client() const;
    void SetClient(TVexFtp *client);

    // Files may be dropped from the desktop (default true).
    bool Accept() const;
    void SetAccept(bool accept);
    // Fill folders from the listing cache (default true).
    bool Preload() const;
    void SetPreload(bool preload);
    // True (default): single-click navigation with hot tracking; false:
    // double-click navigation.
    bool WebStyle() const;
    void SetWebStyle(bool on);

    // Called after files were dropped; DroppedFiles() holds their paths.
    std::function<void(TVexFtpTreeView *sender)> OnFileDropped;
    QStringList DroppedFiles() const;
    // Takes a drop from the desktop: only with Accept() and when it carries
    // local files. True when the drop was taken (OnFileDropped has run).
    bool DropFiles(const QMimeData *mime);

    // The address of a node: its root's text ("ftp://server/") followed by
    // the folder names, each followed by "/" (ftp://host/pub/src/), with
    // every "%" of a name written "%25" so that the address decodes back to
    // the name. The root's own address is its text; a node outside any
    // site root, or null, gives the empty text.
    QString NodeUrl(const QTreeWidgetItem *node) const;
    // The folder path of a node as the client's CurrentDirectory() writes
    // it: "/" for a root, "/pub/src" below; empty outside any site root.
    QString NodePath(const QTreeWidgetItem *node) const;

    // Removes every site root with its folders and forgets the sites.
    void ClearSites();
    int SiteCount() const;

    // The root of the client's current site and the node of its current
    // folder (null before the first login and after ClearSites()).
    QTreeWidgetItem *SiteRoot() const;
    QTreeWidgetItem *CurrentNode() const;

    // Walks from the site root along a folder path ("/pub/src"), adding the
    // missing nodes, and makes the node reached the current node. A path
    // with an empty folder name ("/a//b") stops there and leaves the
    // current node unchanged: the result is then false.
    bool EnsurePath(const QString &path);
    // Adds the folders of path (a folder path, or a NodeUrl of the client's
    // server) found in its cached folder list, then does the same for each
    // folder added, depth levels deep (a negative depth has no limit).
    // Nothing without Preload() or when depth is 0.
    void PreloadFolder(const QString &folder, int depth);
    // Adds to the current node a child for each entry it lacks (exact
    // name); a link gets no expand button.
    void AddListedFolders(const TVexFtpFileInfoList &folders);

protected:
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dragMoveEvent(QDragMoveEvent *event) override;
    void dropEvent(QDropEvent *event) override;

private:
    struct Private;
    std::unique_ptr<Private> d;
};
