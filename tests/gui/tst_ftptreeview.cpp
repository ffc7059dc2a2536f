// The remote folder tree: one root per site, the nodes along the client's
// path, listed and cached folders, navigation by click, double click and
// expansion through ConnectUrl, and the addresses it hands the client; then
// both remote views against a real pyftpdlib server.
#include "FtpCacheTesting.h"
#include "FtpListView.h"
#include "FtpTreeView.h"
#include "PyFtpdServer.h"
#include "RemoteViewTestSite.h"

#include <QDir>
#include <QDropEvent>
#include <QFile>
#include <QMimeData>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

using namespace RemoteViewTest;

namespace {

QStringList Children(const QTreeWidgetItem *node)
{
    QStringList names;
    for (int i = 0; node && i < node->childCount(); ++i)
        names << node->child(i)->text(0);
    return names;
}

// The node at a folder path below root, or null.
QTreeWidgetItem *NodeAt(QTreeWidgetItem *root, const QString &path)
{
    QTreeWidgetItem *node = root;
    const QStringList names = path.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    for (const QString &name : names) {
        QTreeWidgetItem *next = nullptr;
        for (int i = 0; node && i < node->childCount(); ++i)
            if (node->child(i)->text(0) == name)
                next = node->child(i);
        node = next;
    }
    return node;
}

bool HasExpandButton(const QTreeWidgetItem *node)
{
    return node->childIndicatorPolicy() == QTreeWidgetItem::ShowIndicator || node->childCount() > 0;
}

TVexFtpFileInfoList Folders(const QStringList &names)
{
    TVexFtpFileInfoList list;
    for (const QString &name : names)
        list.Add(name, QStringLiteral("drwxr-xr-x"), QStringLiteral("1/5/2020 12:00 AM"), QStringLiteral("4096"),
                 {}, QStringLiteral("o"), QStringLiteral("g"), {});
    return list;
}

void WriteFolderCache(const ScriptedFtpServer &server, const QString &user, const QString &path,
                      const QStringList &names)
{
    WriteListCache(CacheFileName(server.Host(), user, path, true, server.Port()), Folders(names));
}

bool Disconnect(TVexFtp &client)
{
    client.Close();
    return QTest::qWaitFor([&] { return !client.Connected() && !client.Busy(); }, WaitMs);
}

void Click(TVexFtpTreeView &tree, QTreeWidgetItem *node, bool twice = false)
{
    tree.scrollToItem(node);
    const QPoint where = tree.visualItemRect(node).center();
    // A double click is a click followed by the double-click event, as the
    // window system delivers it.
    QTest::mouseClick(tree.viewport(), Qt::LeftButton, {}, where);
    if (twice)
        QTest::mouseDClick(tree.viewport(), Qt::LeftButton, {}, where);
}

// The login of a ConnectUrl to a folder: the path is entered instead of PWD.
FtpScript NavigatingLoginScript(const QString &user, const QString &password, const QString &folder)
{
    FtpScript script;
    script.send(QStringLiteral("220 scripted server"))
        .expect(QLatin1String("USER ") + user, QStringLiteral("331 password please"))
        .expect(QLatin1String("PASS ") + password, QStringLiteral("230 logged in"))
        .expect(QStringLiteral("TYPE I"), QStringLiteral("200 type I"))
        .expect(QStringLiteral("REST 100"), QStringLiteral("502 no restart"))
        .expect(QLatin1String("CWD ") + folder + QLatin1Char('/'), QStringLiteral("250 ok"))
        .expect(QStringLiteral("PWD"), QLatin1String("257 \"") + folder + QLatin1String("\""));
    return script;
}

} // namespace

class tst_FtpTreeView : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }
    void init()
    {
        cacheDir = std::make_unique<QTemporaryDir>();
        QVERIFY(cacheDir->isValid());
        SetListCacheDirectoryForTesting(cacheDir->path() + QLatin1Char('/'));
    }
    void cleanup()
    {
        SetListCacheDirectoryForTesting({});
        cacheDir.reset();
    }

    void rootsPerSite();
    void listingOfPub();
    void listedFolderButtons_data();
    void listedFolderButtons();
    void clickUnderAnotherSiteRoot();
    void preloadAtLogin_data();
    void preloadAtLogin();
    void cachedFolderList_data();
    void cachedFolderList();
    void ensurePath_data();
    void ensurePath();
    void navigationAddress_data();
    void navigationAddress();
    void clickOrDoubleClick_data();
    void clickOrDoubleClick();
    void expandAndCollapse();
    void clientBinding();
    void desktopDrop();
    void realServerBrowsing();
    void realServerCacheAfterReconnect();

private:
    std::unique_ptr<QTemporaryDir> cacheDir;
};

void tst_FtpTreeView::rootsPerSite()
{
    ScriptedFtpServer server;
    const FtpScript guest = LoginScript(GuestUser, GuestPassword, QStringLiteral("/"));
    QVERIFY(server.Start(QList<FtpScript>{
        FtpScript(guest).expectClose(), FtpScript(guest).expectClose(),
        LoginScript(QStringLiteral("velmar"), QStringLiteral("s3cret"), QStringLiteral("/")).expectClose(),
        FtpScript(guest).expectClose()}));
    TVexFtp client;
    TVexFtpTreeView tree;
    tree.SetClient(&client);
    QCOMPARE(tree.topLevelItemCount(), 0);

    PointAt(client, server, GuestUser, GuestPassword);
    client.Login();
    QVERIFY(WaitLoggedIn(client));
    QCOMPARE(tree.topLevelItemCount(), 1);
    QTreeWidgetItem *guestRoot = tree.SiteRoot();
    QVERIFY(guestRoot);
    QCOMPARE(guestRoot->text(0), QStringLiteral("ftp://127.0.0.1/"));
    QCOMPARE(tree.CurrentNode(), guestRoot);
    QCOMPARE(tree.NodeUrl(guestRoot), QStringLiteral("ftp://127.0.0.1/"));
    QCOMPARE(tree.NodePath(guestRoot), QStringLiteral("/"));

    // The same user, password, server and port: the same root.
    QVERIFY(Disconnect(client));
    client.Login();
    QVERIFY(WaitLoggedIn(client));
    QCOMPARE(tree.topLevelItemCount(), 1);
    QCOMPARE(tree.SiteRoot(), guestRoot);

    // Another user on the same server: a second root with the same text.
    QVERIFY(Disconnect(client));
    client.SetUsername(QStringLiteral("velmar"));
    client.SetPassword(QStringLiteral("s3cret"));
    client.Login();
    QVERIFY(WaitLoggedIn(client));
    QCOMPARE(tree.topLevelItemCount(), 2);
    QCOMPARE(tree.SiteCount(), 2);
    QVERIFY(tree.SiteRoot() != guestRoot);
    QCOMPARE(tree.SiteRoot()->text(0), guestRoot->text(0));

    // The client quits: every root goes; the next login starts afresh.
    QVERIFY(Disconnect(client));
    tree.ClearSites();
    QCOMPARE(tree.topLevelItemCount(), 0);
    QCOMPARE(tree.SiteCount(), 0);
    QCOMPARE(tree.SiteRoot(), nullptr);
    QCOMPARE(tree.CurrentNode(), nullptr);
    client.SetUsername(GuestUser);
    client.SetPassword(GuestPassword);
    client.Login();
    QVERIFY(WaitLoggedIn(client));
    QCOMPARE(tree.topLevelItemCount(), 1);
    QCOMPARE(server.Mismatches(), QStringList());
}

void tst_FtpTreeView::listingOfPub()
{
    ScriptedFtpServer server;
    FtpScript script = LoginScript(GuestUser, GuestPassword, QStringLiteral("/pub"));
    AddListing(script, {FolderLine("b"), FileLine("f.txt"), FolderLine("a")});
    QVERIFY(server.Start(script.expectClose()));
    // Known from an earlier visit: /pub held "gone", /pub/a held "deep".
    WriteFolderCache(server, GuestUser, "/", {"pub"});
    WriteFolderCache(server, GuestUser, "/pub", {"gone"});
    WriteFolderCache(server, GuestUser, "/pub/a", {"deep"});

    TVexFtp client;
    client.SetCache(false);
    TVexFtpTreeView tree;
    tree.SetClient(&client);
    PointAt(client, server, GuestUser, GuestPassword);
    client.Login();
    QVERIFY(WaitLoggedIn(client));
    QTreeWidgetItem *pub = NodeAt(tree.SiteRoot(), "/pub");
    QVERIFY(pub);
    QCOMPARE(Children(pub), QStringList{"gone"}); // from the cache, before any listing
    QCOMPARE(tree.CurrentNode(), pub);

    QVERIFY2(ListAndWait(client), qPrintable(server.Status()));
    QVERIFY(!client.FromCache());
    QCOMPARE(Children(pub), (QStringList{"a", "b"}));
    QCOMPARE(Children(pub->child(0)), QStringList{"deep"}); // the cached level below
    QVERIFY(pub->isExpanded());
    QCOMPARE(tree.CurrentNode(), pub);
    QCOMPARE(tree.currentItem(), pub);
    QVERIFY(HasExpandButton(pub->child(1)));
    QCOMPARE(tree.NodeUrl(pub->child(0)), QStringLiteral("ftp://127.0.0.1/pub/a/"));
    QCOMPARE(tree.NodePath(pub->child(0)), QStringLiteral("/pub/a"));
    QCOMPARE(server.Mismatches(), QStringList());
}

void tst_FtpTreeView::listedFolderButtons_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("button");
    QTest::newRow("folder") << FolderLine("src") << "src" << true;
    QTest::newRow("link to a folder") << FolderLine("current", "/pub/src") << "current" << false;
}

void tst_FtpTreeView::listedFolderButtons()
{
    QFETCH(QString, line);
    QFETCH(QString, name);
    QFETCH(bool, button);
    ScriptedFtpServer server;
    FtpScript script = LoginScript(GuestUser, GuestPassword, QStringLiteral("/pub"));
    AddListing(script, {line});
    QVERIFY(server.Start(script.expectClose()));
    TVexFtp client;
    client.SetCache(false);
    TVexFtpTreeView tree;
    tree.SetClient(&client);
    PointAt(client, server, GuestUser, GuestPassword);
    client.Login();
    QVERIFY(WaitLoggedIn(client));
    QVERIFY(ListAndWait(client));
    QTreeWidgetItem *node = NodeAt(tree.SiteRoot(), "/pub/" + name);
    QVERIFY(node);
    QCOMPARE(node->childCount(), 0);
    QCOMPARE(HasExpandButton(node), button);
}

void tst_FtpTreeView::clickUnderAnotherSiteRoot()
{
    ScriptedFtpServer other;
    FtpScript firstVisit = LoginScript(GuestUser, GuestPassword, QStringLiteral("/"));
    AddListing(firstVisit, {FolderLine("docs")});
    QVERIFY(other.Start(QList<FtpScript>{firstVisit.expectClose(),
                                         NavigatingLoginScript(GuestUser, GuestPassword, "/docs").expectClose()}));
    ScriptedFtpServer home;
    QVERIFY(home.Start(LoginScript(GuestUser, GuestPassword, QStringLiteral("/"))
                           .expect(QStringLiteral("QUIT"), QStringLiteral("221 bye"))
                           .expectClose()));

    TVexFtp client;
    client.SetCache(false);
    TVexFtpTreeView tree;
    tree.resize(300, 300);
    tree.SetClient(&client);
    PointAt(client, other, GuestUser, GuestPassword);
    client.Login();
    QVERIFY(WaitLoggedIn(client));
    QVERIFY(ListAndWait(client));
    QTreeWidgetItem *otherRoot = tree.SiteRoot();
    QTreeWidgetItem *docs = NodeAt(otherRoot, "/docs");
    QVERIFY(docs);
    QVERIFY(Disconnect(client));

    PointAt(client, home, GuestUser, GuestPassword);
    client.Login();
    QVERIFY(WaitLoggedIn(client));
    QCOMPARE(tree.topLevelItemCount(), 2);
    QVERIFY(tree.SiteRoot() != otherRoot);

    tree.show();
    QVERIFY(QTest::qWaitForWindowExposed(&tree));
    Click(tree, docs);
    QVERIFY(QTest::qWaitFor([&] { return tree.CurrentNode() == docs && !client.Busy(); }, WaitMs));
    QCOMPARE(tree.SiteRoot(), otherRoot);
    QCOMPARE(client.Port(), other.Port());
    QCOMPARE(client.CurrentDirectory(), QStringLiteral("/docs"));
    QVERIFY(other.ReceivedCommands().contains(QStringLiteral("CWD /docs/")));
    QCOMPARE(home.Mismatches(), QStringList());
    QCOMPARE(other.Mismatches(), QStringList());
}

void tst_FtpTreeView::preloadAtLogin_data()
{
    QTest::addColumn<bool>("preload");
    QTest::addColumn<QStringList>("rootChildren");
    QTest::addColumn<QStringList>("belowX");
    QTest::newRow("preload") << true << QStringList{"x", "y"} << QStringList{"z"};
    QTest::newRow("no preload reads nothing") << false << QStringList{} << QStringList{};
}

void tst_FtpTreeView::preloadAtLogin()
{
    QFETCH(bool, preload);
    QFETCH(QStringList, rootChildren);
    QFETCH(QStringList, belowX);
    ScriptedFtpServer server;
    QVERIFY(server.Start(LoginScript(GuestUser, GuestPassword, QStringLiteral("/")).expectClose()));
    WriteFolderCache(server, GuestUser, "/", {"y", "x"});
    WriteFolderCache(server, GuestUser, "/x", {"z"});
    TVexFtp client;
    TVexFtpTreeView tree;
    QVERIFY(tree.Preload());
    tree.SetPreload(preload);
    tree.SetClient(&client);
    PointAt(client, server, GuestUser, GuestPassword);
    client.Login();
    QVERIFY(WaitLoggedIn(client));
    QCOMPARE(Children(tree.SiteRoot()), rootChildren);
    QCOMPARE(Children(NodeAt(tree.SiteRoot(), "/x")), belowX);
    QCOMPARE(HasExpandButton(tree.SiteRoot()), true);
}

void tst_FtpTreeView::cachedFolderList_data()
{
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<QStringList>("children");
    QTest::addColumn<bool>("button");
    const auto entry = [](const QString &name, const QString &link = {}) {
        return QStringList{name, "drwxr-xr-x", "1/5/2020 12:00 AM", "0", link, "o", "g", ""};
    };
    QTest::newRow("four entries") << QStringList{"4"} + entry("d1") + entry("d2") + entry("d3") + entry("d4")
                                  << QStringList{"d1", "d2", "d3", "d4"} << true;
    QTest::newRow("fewer than six lines") << QStringList{"1", "d1", "drwxr-xr-x", "date", "0"}
                                          << QStringList{} << false;
    QTest::newRow("six lines, up to the link") << QStringList{"1", "d1", "lrwxrwxrwx", "date", "0", "-> /x"}
                                               << QStringList{"d1"} << true;
    QTest::newRow("a name on the last line is torn") << QStringList{"2"} + entry("d1") + QStringList{"d2"}
                                                     << QStringList{"d1"} << true;
    QTest::newRow("known to be empty") << QStringList{"0"} << QStringList{} << false;
    // Never visited: nothing is known, so the folder keeps its button.
    QTest::newRow("no cache file") << QStringList() << QStringList{} << true;
}

void tst_FtpTreeView::cachedFolderList()
{
    QFETCH(QStringList, lines);
    QFETCH(QStringList, children);
    QFETCH(bool, button);
    Site site;
    QVERIFY(site.LogIn(QStringLiteral("/")));
    TVexFtpTreeView tree;
    tree.SetClient(&site.client);
    if (!lines.isEmpty()) {
        QFile file(CacheFileName(site.server.Host(), GuestUser, "/c", true, site.server.Port()));
        QVERIFY(QDir().mkpath(QFileInfo(file).path()));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write((lines.join("\r\n") + "\r\n").toUtf8());
    }
    tree.PreloadFolder(QStringLiteral("/c"), 1);
    QTreeWidgetItem *node = NodeAt(tree.SiteRoot(), "/c");
    QVERIFY(node);
    QCOMPARE(tree.CurrentNode(), node);
    QCOMPARE(Children(node), children);
    QCOMPARE(HasExpandButton(node), button);
    if (children.contains("d1") && lines.size() == 6)
        QVERIFY(!HasExpandButton(node->child(0))); // a link
}

void tst_FtpTreeView::ensurePath_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<bool>("reached");
    QTest::addColumn<QString>("current");
    QTest::addColumn<QStringList>("existing");
    QTest::addColumn<QStringList>("missing");
    QTest::newRow("empty name stops at a") << "/a//b" << false << "/x" << QStringList{"/a"} << QStringList{"/a/b", "/b"};
    QTest::newRow("two levels") << "/a/b" << true << "/a/b" << QStringList{"/a", "/a/b"} << QStringList{};
    QTest::newRow("trailing slash") << "/a/b/" << true << "/a/b" << QStringList{"/a/b"} << QStringList{};
    QTest::newRow("root") << "/" << true << "/" << QStringList{} << QStringList{};
    QTest::newRow("empty path is the root") << "" << true << "/" << QStringList{} << QStringList{};
    QTest::newRow("no leading slash") << "pub/src" << true << "/pub/src" << QStringList{"/pub/src"} << QStringList{};
}

void tst_FtpTreeView::ensurePath()
{
    QFETCH(QString, path);
    QFETCH(bool, reached);
    QFETCH(QString, current);
    QFETCH(QStringList, existing);
    QFETCH(QStringList, missing);
    Site site;
    QVERIFY(site.LogIn(QStringLiteral("/")));
    TVexFtpTreeView tree;
    tree.SetClient(&site.client);
    QVERIFY(tree.EnsurePath(QStringLiteral("/x")));
    QCOMPARE(tree.EnsurePath(path), reached);
    QCOMPARE(tree.NodePath(tree.CurrentNode()), current);
    for (const QString &p : existing)
        QVERIFY2(NodeAt(tree.SiteRoot(), p), qPrintable(p));
    for (const QString &p : missing)
        QVERIFY2(!NodeAt(tree.SiteRoot(), p), qPrintable(p));
    // Nodes added on the way have an expand button: they were never listed.
    for (const QString &p : existing)
        QVERIFY(HasExpandButton(NodeAt(tree.SiteRoot(), p)));
}

void tst_FtpTreeView::navigationAddress_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("nodeUrl");
    QTest::newRow("percent sign") << "100%" << "ftp://127.0.0.1/100%25/";
    QTest::newRow("text that looks like an escape") << "x%41y" << "ftp://127.0.0.1/x%2541y/";
    QTest::newRow("at sign") << "me@home" << "ftp://127.0.0.1/me@home/";
    QTest::newRow("colon") << "c:d" << "ftp://127.0.0.1/c:d/";
    QTest::newRow("blanks") << "mes documents" << "ftp://127.0.0.1/mes documents/";
    QTest::newRow("accents") << "été" << "ftp://127.0.0.1/été/";
}

void tst_FtpTreeView::navigationAddress()
{
    QFETCH(QString, name);
    QFETCH(QString, nodeUrl);
    ScriptedFtpServer server;
    FtpScript script = LoginScript(GuestUser, GuestPassword, QStringLiteral("/"));
    AddListing(script, {FolderLine(name)});
    script.expect(QLatin1String("CWD /") + name + QLatin1Char('/'), QStringLiteral("250 ok"))
        .expect(QStringLiteral("PWD"), QLatin1String("257 \"/") + name + QLatin1String("\" is current"));
    QVERIFY(server.Start(script.expectClose()));
    TVexFtp client;
    client.SetCache(false);
    TVexFtpTreeView tree;
    tree.resize(300, 300);
    tree.SetClient(&client);
    PointAt(client, server, GuestUser, GuestPassword);
    client.Login();
    QVERIFY(WaitLoggedIn(client));
    QVERIFY(ListAndWait(client));
    QTreeWidgetItem *node = NodeAt(tree.SiteRoot(), "/" + name);
    QVERIFY(node);
    QCOMPARE(tree.NodeUrl(node), nodeUrl);

    tree.show();
    QVERIFY(QTest::qWaitForWindowExposed(&tree));
    Click(tree, node);
    QVERIFY2(QTest::qWaitFor([&] { return client.CurrentDirectory() == "/" + name && !client.Busy(); }, WaitMs),
             qPrintable(server.Status()));
    QCOMPARE(tree.CurrentNode(), node);
    QCOMPARE(server.Mismatches(), QStringList());
}

void tst_FtpTreeView::clickOrDoubleClick_data()
{
    QTest::addColumn<bool>("webStyle");
    QTest::addColumn<bool>("doubleClick");
    QTest::addColumn<bool>("navigates");
    QTest::newRow("web style: a click") << true << false << true;
    QTest::newRow("classic: a click only selects") << false << false << false;
    QTest::newRow("classic: a double click") << false << true << true;
}

void tst_FtpTreeView::clickOrDoubleClick()
{
    QFETCH(bool, webStyle);
    QFETCH(bool, doubleClick);
    QFETCH(bool, navigates);
    ScriptedFtpServer server;
    FtpScript script = LoginScript(GuestUser, GuestPassword, QStringLiteral("/"));
    AddListing(script, {FolderLine("a")});
    if (navigates)
        script.expect(QStringLiteral("CWD /a/"), QStringLiteral("250 ok"))
            .expect(QStringLiteral("PWD"), QStringLiteral("257 \"/a\""));
    QVERIFY(server.Start(script.expectClose()));
    TVexFtp client;
    client.SetCache(false);
    TVexFtpTreeView tree;
    QVERIFY(tree.WebStyle());
    tree.SetWebStyle(webStyle);
    tree.resize(300, 300);
    tree.SetClient(&client);
    PointAt(client, server, GuestUser, GuestPassword);
    client.Login();
    QVERIFY(WaitLoggedIn(client));
    QVERIFY(ListAndWait(client));
    tree.show();
    QVERIFY(QTest::qWaitForWindowExposed(&tree));
    QTreeWidgetItem *a = NodeAt(tree.SiteRoot(), "/a");
    Click(tree, a, doubleClick);
    // ConnectUrl makes the client busy at once: no waiting needed to know.
    QCOMPARE(client.Busy(), navigates);
    if (navigates)
        QVERIFY(QTest::qWaitFor([&] { return tree.CurrentNode() == a && !client.Busy(); }, WaitMs));
    QCOMPARE(server.Mismatches(), QStringList());
}

void tst_FtpTreeView::expandAndCollapse()
{
    ScriptedFtpServer server;
    FtpScript script = LoginScript(GuestUser, GuestPassword, QStringLiteral("/"));
    AddListing(script, {FolderLine("a"), FolderLine("b")});
    script.expect(QStringLiteral("CWD /a/"), QStringLiteral("250 ok"))
        .expect(QStringLiteral("PWD"), QStringLiteral("257 \"/a\""));
    QVERIFY(server.Start(script.expectClose()));
    TVexFtp client;
    client.SetCache(false);
    TVexFtpTreeView tree;
    tree.SetClient(&client);
    PointAt(client, server, GuestUser, GuestPassword);
    client.Login();
    QVERIFY(WaitLoggedIn(client));
    QVERIFY(ListAndWait(client));
    QTreeWidgetItem *root = tree.SiteRoot();
    QTreeWidgetItem *a = NodeAt(root, "/a");
    QTreeWidgetItem *b = NodeAt(root, "/b");

    // Expanding a folder never listed goes there.
    a->setExpanded(true);
    QCOMPARE(tree.currentItem(), a);
    QVERIFY(client.Busy());
    QVERIFY(QTest::qWaitFor([&] { return tree.CurrentNode() == a && !client.Busy(); }, WaitMs));

    // After the user collapses a node, expanding does not navigate.
    root->setExpanded(false);
    b->setExpanded(true);
    QVERIFY(!client.Busy());
    QCOMPARE(tree.currentItem(), a);
    QCOMPARE(server.Mismatches(), QStringList());
}

void tst_FtpTreeView::clientBinding()
{
    auto site = std::make_unique<Site>();
    QVERIFY(site->LogIn(QStringLiteral("/pub")));
    TVexFtpTreeView tree;
    // Bound after its login, the client still gets its root and path.
    tree.SetClient(&site->client);
    QCOMPARE(tree.Client(), &site->client);
    QVERIFY(tree.SiteRoot());
    QCOMPARE(tree.NodePath(tree.CurrentNode()), QStringLiteral("/pub"));

    tree.SetClient(nullptr);
    QCOMPARE(tree.topLevelItemCount(), 0);
    QCOMPARE(tree.SiteCount(), 0);

    tree.SetClient(&site->client);
    QCOMPARE(tree.topLevelItemCount(), 1);
    site.reset();
    QCOMPARE(tree.Client(), nullptr);
    QCOMPARE(tree.topLevelItemCount(), 1);
    QCOMPARE(tree.NodeUrl(nullptr), QString());
}

void tst_FtpTreeView::desktopDrop()
{
    QTemporaryDir folder;
    QStringList paths;
    QList<QUrl> urls;
    for (const char *name : {"un.txt", "deux.zip", "trois.doc"}) {
        paths << folder.filePath(QString::fromUtf8(name));
        urls << QUrl::fromLocalFile(paths.constLast());
    }
    QMimeData mime;
    mime.setUrls(urls);
    TVexFtpTreeView tree;
    QVERIFY(tree.Accept());
    int called = 0;
    tree.OnFileDropped = [&](TVexFtpTreeView *) { ++called; };
    const QPoint where = tree.viewport()->rect().center();
    QDragEnterEvent enter(where, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(tree.viewport(), &enter);
    QVERIFY(enter.isAccepted());
    QDropEvent drop(QPointF(where), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(tree.viewport(), &drop);
    QCOMPARE(called, 1);
    QCOMPARE(tree.DroppedFiles(), paths);

    tree.SetAccept(false);
    QDropEvent refused(QPointF(where), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(tree.viewport(), &refused);
    QCOMPARE(called, 1);
}

namespace {

// A real server with a small site, and a client wired as the main window
// wires it: list after login and after each change of folder; forget the
// sites when the client quits.
struct RealSession {
    PyFtpdServer server;
    TVexFtp client;
    TVexFtpListView list;
    TVexFtpTreeView tree;

    bool Start()
    {
        const QDir root(server.RootPath());
        if (!root.mkpath("pub/docs") || !root.mkpath("images"))
            return false;
        for (const QString &name : {QStringLiteral("LISEZMOI.txt"), QStringLiteral("pub/notes.txt")}) {
            QFile file(root.filePath(name));
            if (!file.open(QIODevice::WriteOnly) || file.write("bonjour\n") != 8)
                return false;
        }
        if (!server.Start())
            return false;
        client.SetServer(server.Host());
        client.SetPort(server.Port());
        client.SetUsername(PyFtpdServer::DefaultUser);
        client.SetPassword(PyFtpdServer::DefaultPassword);
        client.SetCache(false);
        client.OnLoggedIn = [](TVexFtp *c) { c->ListDirectory(); };
        client.OnDirectoryChanged = [](TVexFtp *c) { c->ListDirectory(); };
        client.OnFtpQuit = [this](TVexFtp *) { tree.ClearSites(); };
        list.SetClient(&client);
        tree.SetClient(&client);
        tree.resize(300, 400);
        return true;
    }

    QStringList Captions() const
    {
        QStringList captions;
        for (int row = 0; row < list.RowCount(); ++row)
            captions << list.RowCaption(row);
        return captions;
    }
};

} // namespace

void tst_FtpTreeView::realServerBrowsing()
{
    if (!PyFtpdServer::Available())
        QSKIP(PyFtpdServer::UnavailableMessage());
    RealSession session;
    QVERIFY2(session.Start(), qPrintable(session.server.ErrorString()));
    session.client.Login();
    QTRY_COMPARE_WITH_TIMEOUT(session.Captions(), (QStringList{"images", "pub", "LISEZMOI.txt"}), WaitMs);
    QVERIFY(WaitIdle(session.client));
    QTreeWidgetItem *root = session.tree.SiteRoot();
    QVERIFY(root);
    QCOMPARE(Children(root), (QStringList{"images", "pub"}));

    session.tree.show();
    QVERIFY(QTest::qWaitForWindowExposed(&session.tree));
    QTreeWidgetItem *pub = NodeAt(root, "/pub");
    Click(session.tree, pub);
    QTRY_COMPARE_WITH_TIMEOUT(session.Captions(), (QStringList{"..", "docs", "notes.txt"}), WaitMs);
    QVERIFY(WaitIdle(session.client));
    QCOMPARE(session.client.CurrentDirectory(), QStringLiteral("/pub"));
    QCOMPARE(session.tree.CurrentNode(), pub);
    QCOMPARE(Children(pub), QStringList{"docs"});
    if (QTest::currentTestFailed())
        qWarning().noquote() << session.server.StandardError();
}

void tst_FtpTreeView::realServerCacheAfterReconnect()
{
    if (!PyFtpdServer::Available())
        QSKIP(PyFtpdServer::UnavailableMessage());
    RealSession session;
    QVERIFY2(session.Start(), qPrintable(session.server.ErrorString()));
    // A first visit lists / and /pub, which writes both to the cache.
    session.client.Login();
    QTRY_COMPARE_WITH_TIMEOUT(session.Captions(), (QStringList{"images", "pub", "LISEZMOI.txt"}), WaitMs);
    QVERIFY(WaitIdle(session.client));
    session.client.ChangeDirectory(QStringLiteral("/pub"));
    QTRY_COMPARE_WITH_TIMEOUT(session.Captions(), (QStringList{"..", "docs", "notes.txt"}), WaitMs);
    QVERIFY(WaitIdle(session.client));

    QVERIFY(Disconnect(session.client));
    QTRY_COMPARE_WITH_TIMEOUT(session.tree.topLevelItemCount(), 0, WaitMs); // quit: sites cleared

    // The next login lists nothing, yet the tree knows the site.
    session.client.OnLoggedIn = nullptr;
    session.client.Login();
    QVERIFY(WaitLoggedIn(session.client));
    QTreeWidgetItem *root = session.tree.SiteRoot();
    QVERIFY(root);
    QCOMPARE(Children(root), (QStringList{"images", "pub"}));
    QCOMPARE(Children(NodeAt(root, "/pub")), QStringList{"docs"});
    QCOMPARE(session.tree.CurrentNode(), root);
    if (QTest::currentTestFailed())
        qWarning().noquote() << session.server.StandardError();
}

QTEST_MAIN(tst_FtpTreeView)
#include "tst_ftptreeview.moc"
