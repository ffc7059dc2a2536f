// The explorer tab's commands other than transfers, through its own
// controls, against a real pyftpdlib server: the tool bars and pop-up menus
// in their order, the commands that wait for a login, navigation on both sides
// and its synchronisation, copying an address, filters, view styles, select
// all, new folder, rename (in place and through the pop-up) and delete on
// both sides, the Delete key, the raw command and the refresh, saving the
// log, the archive question of the refresh, the current-folder labels and
// tab changes made by the program.

#include "ExplorerTestSite.h"
#include "FtpListModel.h"
#include "FtpTreeView.h"
#include "QuickExplorerTab.h"
#include "ZipTask.h"

#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QLabel>
#include <QListView>
#include <QMenu>
#include <QSignalSpy>
#include <QTabWidget>
#include <QToolBar>
#include <QTreeView>

using namespace ExplorerTest;

namespace {
// What a tool bar holds, left to right: object names of its buttons and
// controls, "|" for a separator.
QStringList ToolBarItems(const QToolBar *bar)
{
    QStringList items;
    for (QAction *action : bar->actions()) {
        if (action->isSeparator()) {
            items << QStringLiteral("|");
        } else if (QWidget *widget = bar->widgetForAction(action);
                   widget && !widget->inherits("QToolButton")) {
            items << widget->objectName();
        } else {
            items << action->objectName();
        }
    }
    return items;
}

QStringList MenuTexts(const QMenu *menu)
{
    QStringList texts;
    for (const QAction *action : menu->actions())
        texts << (action->isSeparator() ? QStringLiteral("|") : action->text());
    return texts;
}

// A double click on the remote row of caption, as the window system
// delivers it.
bool DoubleClickRemote(TfrmMain &w, const QString &caption)
{
    TVexFtpListView *list = RemoteList(w);
    QAbstractItemView *view = list->ItemView();
    for (int row = 0; row < list->RowCount(); ++row) {
        if (list->RowCaption(row) != caption)
            continue;
        const QModelIndex index = view->model()->index(row, 0);
        view->scrollTo(index);
        if (!QTest::qWaitFor([&] { return !view->visualRect(index).isEmpty(); }, WaitMs))
            return false;
        const QPoint at = view->visualRect(index).center();
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, at);
        QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, at);
        QTest::mouseRelease(view->viewport(), Qt::LeftButton, {}, at);
        return true;
    }
    return false;
}

bool Idle(const TfrmMain &w)
{
    return QTest::qWaitFor([&] { return !w.VexFtp1()->Busy(); }, WaitMs);
}
}

class TestExplorer : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();

    void toolBarsAndMenus();
    void commandsFollowTheLogin();
    void parentRow_data();
    void parentRow();
    void folderFollowedOnBothSides();
    void parentButtonAndSynchronisation();
    void copyAddress_data();
    void copyAddress();
    void selectAll();
    void remoteFilter();
    void localFilter();
    void viewStyles();
    void newRemoteFolder();
    void renameInPlace();
    void renameThroughPopup();
    void deleteKey();
    void rawCommandThenRefresh();
    void newLocalFolder();
    void localDeleteAsksPerFile();
    void localRename();
    void localParentFolder();
    void localFolderLabelsAndClick();
    void saveLog();
    void archiveQuestionOnRefresh_data();
    void archiveQuestionOnRefresh();
    void tabChangesByProgram();

private:
    bool StartServer();

    QTemporaryDir home;
    std::unique_ptr<TShellFixture> fx;
    std::unique_ptr<PyFtpdServer> server;
    std::unique_ptr<QTemporaryDir> local;
    QString localFolder; // with its final "/"
};

void TestExplorer::initTestCase()
{
    IsolateUserFolders(home);
}

void TestExplorer::init()
{
    fx = std::make_unique<TShellFixture>();
    local = std::make_unique<QTemporaryDir>();
    localFolder = QDir(local->path()).canonicalPath() + QLatin1Char('/');
}

void TestExplorer::cleanup()
{
    if (QTest::currentTestFailed() && server)
        qWarning().noquote() << server->StandardError();
    server.reset();
    local.reset();
    fx.reset();
}

bool TestExplorer::StartServer()
{
    if (!PyFtpdServer::Available())
        return false;
    server = std::make_unique<PyFtpdServer>();
    const QDir root(server->RootPath());
    return root.mkpath(QStringLiteral("docs")) && root.mkpath(QStringLiteral("pub/sub"))
        && root.mkpath(QStringLiteral("home/pub")) && root.mkpath(QStringLiteral("home/src"))
        && WriteFile(root.filePath(QStringLiteral("home/lisezmoi.txt")), "lisez\n")
        && WriteFile(root.filePath(QStringLiteral("home/a.zip")), "zip")
        && WriteFile(root.filePath(QStringLiteral("a.mp3")), "a") && WriteFile(root.filePath(QStringLiteral("b.MP3")), "b")
        && WriteFile(root.filePath(QStringLiteral("c.txt")), "c")
        && WriteFile(root.filePath(QStringLiteral("LISEZMOI")), "lisez") && server->Start();
}

#define START_SERVER()                                                                                             \
    if (!StartServer())                                                                                            \
    QSKIP(server ? qPrintable(server->ErrorString()) : PyFtpdServer::UnavailableMessage())

void TestExplorer::toolBarsAndMenus()
{
    TfrmMain w;
    QCOMPARE(ToolBarItems(Find<QToolBar>(w, "ToolBar2")),
             (QStringList{"sync", "|", "ToolButton23", "ToolButton15", "ToolButton25", "|", "ToolButton11",
                          "ToolButton8", "ToolButton6", "|", "Filtre", "|", "ExportExcel2", "ImprimerSite2"}));
    QCOMPARE(ToolBarItems(Find<QToolBar>(w, "ToolBar3")),
             (QStringList{"comparer", "|", "ToolButton29", "ToolButton28", "ToolButton27", "|", "retour", "|",
                          "ToolButton16", "ToolButton14", "|", "md", "SupprimerLocal", "compresser", "compenvoyer",
                          "|", "filtre1"}));
    const QList<std::pair<const char *, QString>> hints{
        {"ToolButton23", "Grandes icones"}, {"ToolButton15", "Liste"},
        {"ToolButton25", "Détails"}, {"ToolButton11", "Nouveau répertoire"},
        {"ToolButton8", "Répertoire supérieur"}, {"ToolButton6", "Supprimer un répertoire"},
        {"ExportExcel2", "Export Excel"}, {"ImprimerSite2", "Imprimer le site distant"},
        {"comparer", "Comparer les fichiers"}, {"ToolButton29", "Grandes icones"},
        {"ToolButton28", "Liste"}, {"ToolButton27", "Détails"},
        {"md", "Nouveau répertoire"}, {"SupprimerLocal", "Supprimer"},
        {"compresser", "Compresser"}, {"compenvoyer", "Compresser et  envoyer"}};
    for (const auto &[name, hint] : hints)
        QCOMPARE(Action(w, name)->toolTip(), hint);
    auto *sync = Find<QCheckBox>(w, "sync");
    QCOMPARE(sync->text(), QStringLiteral("Synchroniser les répertoires"));
    QCOMPARE(sync->toolTip(), QStringLiteral("Synchroniser les répertoires"));
    QVERIFY(!sync->isChecked());

    // Both filter lists, their entries and the hint.
    for (const char *name : {"Filtre", "filtre1"}) {
        auto *filter = Find<QComboBox>(w, name);
        QCOMPARE(filter->toolTip(), QStringLiteral("Filtre de fichiers"));
        QStringList entries;
        for (int i = 0; i < filter->count(); ++i) {
            entries << filter->itemText(i);
            QVERIFY(!filter->itemIcon(i).isNull());
        }
        QCOMPARE(entries,
                 (QStringList{"Tous", "zip", "txt", "doc", "avi", "exe", "htm", "mp3", "rar", "bmp", "jpg"}));
        QCOMPARE(filter->currentIndex(), 0);
    }

    // The pop-up menus, their radio items with "&Détails" checked.
    QCOMPARE(MenuTexts(Find<QMenu>(w, "PopupMenu1")),
             (QStringList{"&Grandes Icones", "&Petites Icones", "&Liste", "&Détails", "|", "&Nouveau répertoire",
                          "&Renommer", "&Supprimer", "|", "&Copier l'adresse",
                          "&Marquer le(s) fichier(s) distant(s) pour programmation", "|", "&Tout sélectionner"}));
    QCOMPARE(MenuTexts(Find<QMenu>(w, "PopupMenu3")),
             (QStringList{"&Grandes Icones", "&Petites Icones", "&Liste", "&Détails", "|", "C&ompresser",
                          "&Compresser et envoyer", "|", "&Marquer le(s) fichier(s) pour programmation",
                          "Mar&quer les fichiers pour compression locale",
                          "M&arquer les fichiers pour compression et envoi distant", "|", "&Nouveau répertoire",
                          "&Renommer", "&Supprimer", "|", "&Tout sélectionner"}));
    for (const char *name : {"Dtails1", "Dtails2"})
        QVERIFY2(Action(w, name)->isChecked(), name);
    for (const char *name : {"GrandesIcones1", "PetitesIcones1", "Liste1", "GrandesIcones2", "PetitesIcones2", "Liste2"})
        QVERIFY2(Action(w, name)->isCheckable() && !Action(w, name)->isChecked(), name);
    QCOMPARE(Action(w, "Sauvegarderlestatus1")->text(), QStringLiteral("&Sauvegarder le status"));
    QCOMPARE(RemoteList(w)->toolTip(), QStringLiteral("Clic droit = menu / Double Click = exécuter"));
}

void TestExplorer::commandsFollowTheLogin()
{
    START_SERVER();
    TfrmMain w;
    const QList<const char *> loggedIn{"ToolButton11", "ToolButton8", "ToolButton6", "ToolButton16",
                                       "ToolButton14", "Nouveaurpertoire1", "Renommer1", "Supprimer1",
                                       "CopyLocation1", "comparer"};
    const QList<const char *> always{"ToolButton23", "ToolButton15", "ToolButton25", "ToolButton29",
                                     "ToolButton28", "ToolButton27", "retour", "md", "SupprimerLocal",
                                     "Nouveaurpertoire2", "Renommer2", "Supprimer2", "Toutslectionner1",
                                     "Toutslectionner2"};
    const auto enabled = [&](const QList<const char *> &names, bool on) {
        for (const char *name : names)
            if (Action(w, name)->isEnabled() != on)
                return QByteArray(name);
        return QByteArray();
    };
    QCOMPARE(enabled(loggedIn, false), QByteArray());
    QCOMPARE(enabled(always, true), QByteArray());

    QVERIFY(ShowLocalFolder(w, localFolder));
    QVERIFY(LogIn(w, *server));
    QCOMPARE(enabled(loggedIn, true), QByteArray());

    // A refused file: the upload button waits for the next login.
    QVERIFY(QFile::remove(server->RootPath() + QStringLiteral("/c.txt")));
    QVERIFY(SelectRemote(w, {"c.txt"}));
    Action(w, "ToolButton14")->trigger();
    QVERIFY(!Action(w, "ToolButton16")->isEnabled());
    QVERIFY(Action(w, "ToolButton14")->isEnabled());
    QVERIFY(Action(w, "Envoyer1")->isEnabled());

    Action(w, "Dconnecter1")->trigger();
    QTRY_VERIFY_WITH_TIMEOUT(!w.VexFtp1()->Connected(), WaitMs);
    QCOMPARE(enabled(loggedIn, false), QByteArray());
    QCOMPARE(enabled(always, true), QByteArray());
    QVERIFY(LogIn(w, *server));
    QCOMPARE(enabled(loggedIn, true), QByteArray());
    w.VexFtp1()->Close();
}

void TestExplorer::parentRow_data()
{
    QTest::addColumn<bool>("synchronised");
    QTest::addColumn<QString>("localStart"); // below the test's folder; "/" for the root
    QTest::addColumn<QString>("localEnd");
    QTest::newRow("box unchecked") << false << "a/b" << "a/b/";
    QTest::newRow("box checked") << true << "a/b" << "a/";
    QTest::newRow("box checked, local root") << true << "/" << "/";
}

void TestExplorer::parentRow()
{
    QFETCH(bool, synchronised);
    QFETCH(QString, localStart);
    QFETCH(QString, localEnd);
    START_SERVER();
    QVERIFY(QDir(localFolder).mkpath(QStringLiteral("a/b")));
    const auto path = [&](const QString &below) { return below == QLatin1String("/") ? below : localFolder + below; };
    TfrmMain w;
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    QVERIFY(ShowLocalFolder(w, path(localStart)));
    QVERIFY(LogIn(w, *server, QStringLiteral("/pub/sub")));
    QCOMPARE(RemoteCaptions(w), QStringList{".."});
    if (synchronised)
        Find<QCheckBox>(w, "sync")->click();

    QVERIFY(DoubleClickRemote(w, QStringLiteral("..")));
    QTRY_COMPARE_WITH_TIMEOUT(w.VexFtp1()->CurrentDirectory(), QStringLiteral("/pub"), WaitMs);
    QTRY_COMPARE_WITH_TIMEOUT(RemoteCaptions(w), (QStringList{"..", "sub"}), WaitMs);
    QCOMPARE(w.Context().LocalFolder(), path(localEnd));
    QVERIFY(LocalListLoaded(w));
    QCOMPARE(LocalList(w)->Directory(), path(localEnd));
    w.VexFtp1()->Close();
}

void TestExplorer::folderFollowedOnBothSides()
{
    START_SERVER();
    QVERIFY(QDir(localFolder).mkpath(QStringLiteral("docs")));
    TfrmMain w;
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    QVERIFY(ShowLocalFolder(w, localFolder));
    QVERIFY(LogIn(w, *server));
    QVERIFY(!Find<QCheckBox>(w, "sync")->isChecked());

    // No local "pub": only the remote side moves.
    QVERIFY(DoubleClickRemote(w, QStringLiteral("pub")));
    QTRY_COMPARE_WITH_TIMEOUT(w.VexFtp1()->CurrentDirectory(), QStringLiteral("/pub"), WaitMs);
    QCOMPARE(w.Context().LocalFolder(), localFolder);
    QVERIFY(Idle(w));
    QVERIFY(DoubleClickRemote(w, QStringLiteral("..")));
    QTRY_COMPARE_WITH_TIMEOUT(w.VexFtp1()->CurrentDirectory(), QStringLiteral("/"), WaitMs);
    QVERIFY(Idle(w));

    // A double click on a row already selected opens it, and no editor.
    QVERIFY(SelectRemote(w, {"pub"}));
    QVERIFY(DoubleClickRemote(w, QStringLiteral("pub")));
    QTRY_COMPARE_WITH_TIMEOUT(w.VexFtp1()->CurrentDirectory(), QStringLiteral("/pub"), WaitMs);
    QTest::qWait(QApplication::doubleClickInterval() + 200);
    for (QLineEdit *editor : RemoteList(w)->findChildren<QLineEdit *>())
        QVERIFY(!editor->isVisible());
    QVERIFY(Idle(w));
    QVERIFY(DoubleClickRemote(w, QStringLiteral("..")));
    QTRY_COMPARE_WITH_TIMEOUT(w.VexFtp1()->CurrentDirectory(), QStringLiteral("/"), WaitMs);
    QVERIFY(Idle(w));

    // "docs" on both sides: both move, the box unchecked.
    QVERIFY(DoubleClickRemote(w, QStringLiteral("docs")));
    QTRY_COMPARE_WITH_TIMEOUT(w.VexFtp1()->CurrentDirectory(), QStringLiteral("/docs"), WaitMs);
    QCOMPARE(w.Context().LocalFolder(), localFolder + QStringLiteral("docs/"));
    QVERIFY(LocalListLoaded(w));
    QCOMPARE(LocalList(w)->Directory(), localFolder + QStringLiteral("docs/"));
    QVERIFY(fx->opened.isEmpty());
    w.VexFtp1()->Close();
}

void TestExplorer::parentButtonAndSynchronisation()
{
    START_SERVER();
    QVERIFY(QDir(localFolder).mkpath(QStringLiteral("x/y")));
    TfrmMain w;
    QVERIFY(ShowLocalFolder(w, localFolder + QStringLiteral("x/y")));
    QVERIFY(LogIn(w, *server, QStringLiteral("/pub/sub")));
    auto *tree = Find<QWidget>(w, "VexFtpTreeView1");

    Action(w, "ToolButton8")->trigger();
    QTRY_COMPARE_WITH_TIMEOUT(w.VexFtp1()->CurrentDirectory(), QStringLiteral("/pub"), WaitMs);
    QCOMPARE(w.Context().LocalFolder(), localFolder + QStringLiteral("x/y/"));
    QVERIFY(Idle(w));

    // Checked, the box takes the local side along and shuts the remote tree.
    Find<QCheckBox>(w, "sync")->click();
    QVERIFY(!tree->isEnabled());
    Action(w, "ToolButton8")->trigger();
    QTRY_COMPARE_WITH_TIMEOUT(w.VexFtp1()->CurrentDirectory(), QStringLiteral("/"), WaitMs);
    QCOMPARE(w.Context().LocalFolder(), localFolder + QStringLiteral("x/"));
    Find<QCheckBox>(w, "sync")->click();
    QVERIFY(tree->isEnabled());
    w.VexFtp1()->Close();
}

void TestExplorer::copyAddress_data()
{
    QTest::addColumn<QStringList>("selected");
    QTest::addColumn<QString>("address"); // after "ftp://127.0.0.1:port/home/"; null: nothing copied
    QTest::newRow("one folder") << QStringList{"pub"} << "pub/";
    QTest::newRow("one file") << QStringList{"lisezmoi.txt"} << "lisezmoi.txt";
    QTest::newRow("two files") << QStringList{"lisezmoi.txt", "a.zip"} << "a.zip";
    QTest::newRow("two folders, no file") << QStringList{"src", "pub"} << "pub/";
    QTest::newRow("one folder and a file") << QStringList{"src", "a.zip"} << "src/";
    QTest::newRow("two folders and a file") << QStringList{"pub", "src", "lisezmoi.txt"} << "lisezmoi.txt";
    QTest::newRow("nothing") << QStringList{} << QString();
}

void TestExplorer::copyAddress()
{
    QFETCH(QStringList, selected);
    QFETCH(QString, address);
    START_SERVER();
    TfrmMain w;
    QVERIFY(LogIn(w, *server, QStringLiteral("/home")));
    QVERIFY(SelectRemote(w, selected));
    QClipboard *clipboard = QGuiApplication::clipboard();
    clipboard->setText(QStringLiteral("avant"));
    // The pop-up offers the item only with a selection.
    w.Explorer().PopupMenu1Popup();
    QCOMPARE(Action(w, "CopyLocation1")->isEnabled(), !selected.isEmpty());
    w.Explorer().CopyLocation1Click();
    const QString expected = address.isNull()
        ? QStringLiteral("avant")
        : QStringLiteral("ftp://127.0.0.1:%1/home/").arg(server->Port()) + address;
    QCOMPARE(clipboard->text(), expected);
    w.VexFtp1()->Close();
}

void TestExplorer::selectAll()
{
    START_SERVER();
    QVERIFY(WriteFile(localFolder + QStringLiteral("un.txt"), "1"));
    QVERIFY(QDir(localFolder).mkpath(QStringLiteral("deux")));
    TfrmMain w;
    QVERIFY(ShowLocalFolder(w, localFolder));
    QVERIFY(LogIn(w, *server, QStringLiteral("/home")));
    Action(w, "Toutslectionner1")->trigger();
    QCOMPARE(RemoteList(w)->SelectedFolders(), (QStringList{"..", "pub", "src"}));
    QCOMPARE(RemoteList(w)->SelectedFiles(), (QStringList{"a.zip", "lisezmoi.txt"}));
    Action(w, "Toutslectionner2")->trigger();
    QCOMPARE(LocalList(w)->SelectedRows(), (QList<int>{0, 1}));
    w.VexFtp1()->Close();
}

void TestExplorer::remoteFilter()
{
    START_SERVER();
    TfrmMain w;
    QVERIFY(LogIn(w, *server));
    QCOMPARE(RemoteCaptions(w), (QStringList{"docs", "home", "pub", "a.mp3", "b.MP3", "c.txt", "LISEZMOI"}));
    auto *filter = Find<QComboBox>(w, "Filtre");
    // "mp3": the next listing shows the folders and the names matching
    // "*.mp3" (case counts on the server's side).
    filter->setCurrentIndex(7);
    emit filter->activated(7);
    QTRY_COMPARE_WITH_TIMEOUT(RemoteCaptions(w), (QStringList{"docs", "home", "pub", "a.mp3"}), WaitMs);
    QCOMPARE(RemoteList(w)->Filter(), QStringList{"*.mp3"});
    QVERIFY(Idle(w));
    // "Tous": every file again, names without a dot included.
    filter->setCurrentIndex(0);
    emit filter->activated(0);
    QTRY_COMPARE_WITH_TIMEOUT(RemoteCaptions(w).size(), 7, WaitMs);
    QVERIFY(RemoteCaptions(w).contains(QStringLiteral("LISEZMOI")));
    w.VexFtp1()->Close();
}

void TestExplorer::localFilter()
{
    for (const char *name : {"a.mp3", "B.MP3", "c.txt", "LISEZMOI"})
        QVERIFY(WriteFile(localFolder + QLatin1String(name), "x"));
    QVERIFY(QDir(localFolder).mkpath(QStringLiteral("musique")));
    TfrmMain w;
    QVERIFY(ShowLocalFolder(w, localFolder));
    auto *filter = Find<QComboBox>(w, "filtre1");
    filter->setCurrentIndex(7);
    emit filter->activated(7);
    QVERIFY(LocalListLoaded(w));
    QCOMPARE(LocalCaptions(w), (QStringList{"musique", "a.mp3", "B.MP3"}));
    QCOMPARE(LocalList(w)->Mask(), QStringLiteral("*.mp3"));
    filter->setCurrentIndex(0);
    emit filter->activated(0);
    QVERIFY(LocalListLoaded(w));
    QCOMPARE(LocalCaptions(w), (QStringList{"musique", "a.mp3", "B.MP3", "c.txt", "LISEZMOI"}));
}

void TestExplorer::viewStyles()
{
    TfrmMain w;
    struct Step {
        const char *command;
        TViewStyle style;
        const char *checked;
    };
    const QList<Step> remote{{"ToolButton23", vsIcon, "GrandesIcones2"}, {"ToolButton15", vsList, "Liste2"},
                             {"PetitesIcones2", vsSmallIcon, "PetitesIcones2"},
                             {"ToolButton25", vsReport, "Dtails2"}, {"GrandesIcones2", vsIcon, "GrandesIcones2"},
                             {"Dtails2", vsReport, "Dtails2"}};
    for (const Step &step : remote) {
        Action(w, step.command)->trigger();
        QCOMPARE(RemoteList(w)->ViewStyle(), step.style);
        QVERIFY2(Action(w, step.checked)->isChecked(), step.checked);
    }
    const QList<Step> local{{"ToolButton29", vsIcon, "GrandesIcones1"}, {"ToolButton28", vsList, "Liste1"},
                            {"PetitesIcones1", vsSmallIcon, "PetitesIcones1"},
                            {"ToolButton27", vsReport, "Dtails1"}, {"GrandesIcones1", vsIcon, "GrandesIcones1"},
                            {"Liste1", vsList, "Liste1"}, {"Dtails1", vsReport, "Dtails1"}};
    for (const Step &step : local) {
        Action(w, step.command)->trigger();
        QCOMPARE(LocalList(w)->ViewStyle(), step.style);
        QVERIFY2(Action(w, step.checked)->isChecked(), step.checked);
        QCOMPARE(bool(qobject_cast<QListView *>(LocalList(w)->ItemView())), step.style != vsReport);
    }
}

void TestExplorer::newRemoteFolder()
{
    START_SERVER();
    TfrmMain w;
    QVERIFY(LogIn(w, *server, QStringLiteral("/docs")));
    fx->prompter.QueueInput(QStringLiteral("nouveau dossier"));
    Action(w, "ToolButton11")->trigger();
    QCOMPARE(fx->prompter.Asked().size(), 1);
    QCOMPARE(fx->prompter.Asked().first().kind, QStringLiteral("input"));
    QCOMPARE(fx->prompter.Asked().first().caption, QStringLiteral("Velmar"));
    QCOMPARE(fx->prompter.Asked().first().text, QStringLiteral("Nom du nouveau répertoire?"));
    QTRY_VERIFY_WITH_TIMEOUT(QFileInfo(server->RootPath() + QStringLiteral("/docs/nouveau dossier")).isDir(), WaitMs);
    // The client's completion refreshes the list.
    QTRY_COMPARE_WITH_TIMEOUT(RemoteCaptions(w), (QStringList{"..", "nouveau dossier"}), WaitMs);
    QVERIFY(Idle(w));

    // Cancelled, or empty: nothing is sent.
    const qsizetype logged = LogLines(w).size();
    fx->prompter.QueueInput(QString());
    Action(w, "Nouveaurpertoire1")->trigger();
    fx->prompter.QueueInput(QStringLiteral(""));
    Action(w, "Nouveaurpertoire1")->trigger();
    QTest::qWait(100);
    QCOMPARE(LogLines(w).size(), logged);
    QCOMPARE(fx->prompter.Asked().size(), 3);
    w.VexFtp1()->Close();
}

void TestExplorer::renameInPlace()
{
    START_SERVER();
    TfrmMain w;
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    QVERIFY(LogIn(w, *server, QStringLiteral("/home")));
    TVexFtpListView *list = RemoteList(w);
    QAbstractItemView *view = list->ItemView();
    const int row = int(RemoteCaptions(w).indexOf(QStringLiteral("lisezmoi.txt")));
    QVERIFY(row > 0);
    // ".." is no name of its own: it cannot be edited.
    QVERIFY(!(view->model()->flags(view->model()->index(0, 0)) & Qt::ItemIsEditable));

    // F2 on the selected row opens the editor on its caption.
    SelectRemote(w, {"lisezmoi.txt"});
    view->setCurrentIndex(view->model()->index(row, 0));
    view->setFocus();
    QTest::keyClick(view, Qt::Key_F2);
    auto *editor = view->viewport()->findChild<QLineEdit *>();
    QVERIFY(editor);
    QTRY_VERIFY_WITH_TIMEOUT(editor->isVisible(), WaitMs);
    QCOMPARE(editor->text(), QStringLiteral("lisezmoi.txt"));
    editor->setText(QStringLiteral("lisez moi.txt"));
    QTest::keyClick(editor, Qt::Key_Return);

    const QString folder = server->RootPath() + QStringLiteral("/home/");
    QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(folder + QStringLiteral("lisez moi.txt")), WaitMs);
    QVERIFY(!QFileInfo::exists(folder + QStringLiteral("lisezmoi.txt")));
    QVERIFY(LogHas(w, QStringLiteral("RNFR lisezmoi.txt")));
    QTRY_VERIFY_WITH_TIMEOUT(RemoteCaptions(w).contains(QStringLiteral("lisez moi.txt")), WaitMs);
    QVERIFY(Idle(w));

    // An edit that changes nothing sends nothing.
    const qsizetype logged = LogLines(w).size();
    const int renamed = int(RemoteCaptions(w).indexOf(QStringLiteral("lisez moi.txt")));
    view->setCurrentIndex(view->model()->index(renamed, 0));
    QTest::keyClick(view, Qt::Key_F2);
    editor = view->viewport()->findChild<QLineEdit *>();
    QVERIFY(editor);
    QTest::keyClick(editor, Qt::Key_Return);
    QTest::qWait(100);
    QCOMPARE(LogLines(w).size(), logged);
    w.VexFtp1()->Close();
}

void TestExplorer::renameThroughPopup()
{
    START_SERVER();
    TfrmMain w;
    QVERIFY(LogIn(w, *server, QStringLiteral("/home")));
    // Folders are not renamed this way: the first selected file is.
    QVERIFY(SelectRemote(w, {"pub", "a.zip", "lisezmoi.txt"}));
    fx->prompter.QueueInput(QStringLiteral("b.zip"));
    Action(w, "Renommer1")->trigger();
    QCOMPARE(fx->prompter.Asked().size(), 1);
    QCOMPARE(fx->prompter.Asked().first().caption, QStringLiteral("Renommer un fichier"));
    QCOMPARE(fx->prompter.Asked().first().text, QString());
    QCOMPARE(fx->prompter.Asked().first().value, QString());
    const QString folder = server->RootPath() + QStringLiteral("/home/");
    QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(folder + QStringLiteral("b.zip")), WaitMs);
    QVERIFY(QFileInfo(folder + QStringLiteral("pub")).isDir());
    QTRY_VERIFY_WITH_TIMEOUT(RemoteCaptions(w).contains(QStringLiteral("b.zip")), WaitMs);
    QVERIFY(Idle(w));

    // Only folders selected: nothing is asked.
    QVERIFY(SelectRemote(w, {"pub"}));
    Action(w, "Renommer1")->trigger();
    QCOMPARE(fx->prompter.Asked().size(), 1);
    w.VexFtp1()->Close();
}

void TestExplorer::deleteKey()
{
    START_SERVER();
    const QDir root(server->RootPath());
    QVERIFY(root.mkpath(QStringLiteral("pub/vide")));
    QVERIFY(WriteFile(root.filePath(QStringLiteral("pub/jetable.txt")), "x"));
    QVERIFY(WriteFile(root.filePath(QStringLiteral("pub/garde.txt")), "x"));
    TfrmMain w;
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    QVERIFY(LogIn(w, *server, QStringLiteral("/pub")));
    QAbstractItemView *view = RemoteList(w)->ItemView();

    // Without a selection the key does nothing.
    view->setFocus();
    RemoteList(w)->SelectAll(false);
    QTest::keyClick(view, Qt::Key_Delete);
    QVERIFY(fx->prompter.Asked().isEmpty());

    // A file, a folder and "..": two questions, the parent never removed.
    QVERIFY(SelectRemote(w, {"..", "jetable.txt", "vide"}));
    fx->prompter.QueueConfirm(true);
    fx->prompter.QueueConfirm(true);
    QTest::keyClick(view, Qt::Key_Delete);
    QCOMPARE(fx->prompter.Asked().size(), 2);
    QCOMPARE(fx->prompter.Asked().at(0).text, QStringLiteral("Voulez vous supprimer ce(s) fichier(s)?"));
    QCOMPARE(fx->prompter.Asked().at(1).text, QStringLiteral("Voulez vous supprimer ce(s) répertoire(s)?"));
    QTRY_COMPARE_WITH_TIMEOUT(Entries(root.filePath(QStringLiteral("pub"))),
                              (QStringList{"garde.txt", "sub"}), WaitMs);
    QTRY_COMPARE_WITH_TIMEOUT(RemoteCaptions(w), (QStringList{"..", "sub", "garde.txt"}), WaitMs);
    QVERIFY(!LogHas(w, QStringLiteral("RMD ..")));
    QVERIFY(Idle(w));

    // "No" keeps the file; the button and the pop-up item ask the same.
    QVERIFY(SelectRemote(w, {"garde.txt"}));
    fx->prompter.QueueConfirm(false);
    Action(w, "ToolButton6")->trigger();
    QVERIFY(SelectRemote(w, {"garde.txt"}));
    fx->prompter.QueueConfirm(false);
    Action(w, "Supprimer1")->trigger();
    QCOMPARE(fx->prompter.Asked().size(), 4);
    QTest::qWait(100);
    QVERIFY(QFileInfo::exists(root.filePath(QStringLiteral("pub/garde.txt"))));
    w.VexFtp1()->Close();
}

void TestExplorer::rawCommandThenRefresh()
{
    START_SERVER();
    TfrmMain w;
    QVERIFY(LogIn(w, *server, QStringLiteral("/docs")));
    auto *commande = Find<QLineEdit>(w, "commande");
    commande->setText(QStringLiteral("MKD brut"));
    Action(w, "ToolButton7")->trigger();
    QCOMPARE(commande->text(), QString());
    QVERIFY(Idle(w));
    QVERIFY(QFileInfo(server->RootPath() + QStringLiteral("/docs/brut")).isDir());
    QVERIFY(LogHas(w, QStringLiteral("MKD brut")));
    // The refresh that follows finds the client busy with the command: the
    // list shows the new folder at the next refresh.
    QCOMPARE(RemoteCaptions(w), QStringList{".."});
    Action(w, "rafraichir")->trigger();
    QTRY_COMPARE_WITH_TIMEOUT(RemoteCaptions(w), (QStringList{"..", "brut"}), WaitMs);
    QVERIFY(Idle(w));

    // An empty field sends nothing.
    const qsizetype logged = LogLines(w).size();
    Action(w, "ToolButton7")->trigger();
    QVERIFY(Idle(w));
    const QStringList after = LogLines(w).mid(logged);
    QVERIFY2(after.contains(QStringLiteral("LIST")), qPrintable(after.join(QLatin1Char('\n'))));
    QVERIFY(!after.contains(QStringLiteral("MKD brut")));
    w.VexFtp1()->Close();
}

void TestExplorer::newLocalFolder()
{
    TfrmMain w;
    QVERIFY(ShowLocalFolder(w, localFolder));
    fx->prompter.QueueInput(QStringLiteral("neuf/sous"));
    Action(w, "md")->trigger();
    QCOMPARE(fx->prompter.Asked().first().caption, QStringLiteral("FTP Panel"));
    QCOMPARE(fx->prompter.Asked().first().text, QStringLiteral("Nom du nouveau répertoire?"));
    QVERIFY(QFileInfo(localFolder + QStringLiteral("neuf/sous")).isDir());
    QVERIFY(LocalListLoaded(w));
    QCOMPARE(LocalCaptions(w), QStringList{"neuf"});
    fx->prompter.QueueInput(QString());
    Action(w, "Nouveaurpertoire2")->trigger();
    QCOMPARE(Entries(localFolder), QStringList{"neuf"});
}

void TestExplorer::localDeleteAsksPerFile()
{
    QVERIFY(QDir(localFolder).mkpath(QStringLiteral("dossier")));
    for (const char *name : {"un.txt", "deux.txt", "trois.txt", "quatre.txt"})
        QVERIFY(WriteFile(localFolder + QLatin1String(name), "x"));
    TfrmMain w;
    QVERIFY(ShowLocalFolder(w, localFolder));
    QVERIFY(SelectLocal(w, {"dossier", "un.txt", "deux.txt", "trois.txt"}));
    // Asked in list order: deux, trois, un.
    for (bool yes : {true, false, true})
        fx->prompter.QueueConfirm(yes);
    Action(w, "SupprimerLocal")->trigger();
    QCOMPARE(fx->prompter.Asked().size(), 3);
    for (const TPromptRecord &asked : fx->prompter.Asked())
        QCOMPARE(asked.text, QStringLiteral("Voulez vous supprimer ce fichier?"));
    QCOMPARE(Entries(localFolder), (QStringList{"dossier", "quatre.txt", "trois.txt"}));
    QVERIFY(LocalListLoaded(w));
    QCOMPARE(LocalCaptions(w), (QStringList{"dossier", "quatre.txt", "trois.txt"}));

    // Without a selection nothing is asked.
    Action(w, "Supprimer2")->trigger();
    QCOMPARE(fx->prompter.Asked().size(), 3);
}

void TestExplorer::localRename()
{
    QVERIFY(WriteFile(localFolder + QStringLiteral("a.txt"), "a"));
    QVERIFY(WriteFile(localFolder + QStringLiteral("b.txt"), "b"));
    TfrmMain w;
    QVERIFY(ShowLocalFolder(w, localFolder));
    // An existing name is never replaced.
    QVERIFY(SelectLocal(w, {"a.txt"}));
    fx->prompter.QueueInput(QStringLiteral("b.txt"));
    Action(w, "Renommer2")->trigger();
    QCOMPARE(fx->prompter.Asked().first().caption, QStringLiteral("Renommer un fichier"));
    QCOMPARE(ReadFile(localFolder + QStringLiteral("b.txt")), QByteArray("b"));
    QCOMPARE(ReadFile(localFolder + QStringLiteral("a.txt")), QByteArray("a"));
    QVERIFY(LocalListLoaded(w));
    QVERIFY(SelectLocal(w, {"a.txt"}));
    fx->prompter.QueueInput(QStringLiteral("c.txt"));
    Action(w, "Renommer2")->trigger();
    QCOMPARE(Entries(localFolder), (QStringList{"b.txt", "c.txt"}));
    QCOMPARE(ReadFile(localFolder + QStringLiteral("c.txt")), QByteArray("a"));
    QVERIFY(LocalListLoaded(w));
    QCOMPARE(LocalCaptions(w), (QStringList{"b.txt", "c.txt"}));
}

void TestExplorer::localParentFolder()
{
    QVERIFY(QDir(localFolder).mkpath(QStringLiteral("sous")));
    TfrmMain w;
    QVERIFY(ShowLocalFolder(w, localFolder + QStringLiteral("sous")));
    Action(w, "retour")->trigger();
    QCOMPARE(w.Context().LocalFolder(), localFolder);
    QVERIFY(LocalListLoaded(w));
    QCOMPARE(LocalCaptions(w), QStringList{"sous"});
    // The root is where going up stops.
    QVERIFY(ShowLocalFolder(w, QStringLiteral("/")));
    QSignalSpy changes(&w.Context(), &TAppContext::LocalFolderChanged);
    Action(w, "retour")->trigger();
    QCOMPARE(w.Context().LocalFolder(), QStringLiteral("/"));
    QCOMPARE(changes.count(), 0);
}

void TestExplorer::localFolderLabelsAndClick()
{
    QVERIFY(QDir(localFolder).mkpath(QStringLiteral("Dossier")));
    TfrmMain w;
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    QVERIFY(ShowLocalFolder(w, localFolder + QStringLiteral("Dossier")));
    const QString label = QStringLiteral("Répertoire local en cours: ") + (localFolder + QStringLiteral("Dossier/")).toLower();
    QCOMPARE(Find<QLabel>(w, "replocal")->text(), label);
    QCOMPARE(Find<QLabel>(w, "replocal1")->text(), label);

    // A click on the tree points the list at its folder again.
    QVERIFY(WriteFile(localFolder + QStringLiteral("Dossier/tard.txt"), "x"));
    // The selected folder stays in view while the folders around it come.
    auto *tree = Find<QTreeView>(w, "DirTree1");
    QTRY_VERIFY_WITH_TIMEOUT(tree->viewport()->rect().contains(tree->visualRect(tree->currentIndex()).center()),
                             WaitMs);
    QSignalSpy clicks(w.Explorer().DirTree1(), &TDirTree::Click);
    QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, tree->visualRect(tree->currentIndex()).center());
    QCOMPARE(clicks.count(), 1);
    QVERIFY(LocalListLoaded(w));
    QCOMPARE(LocalCaptions(w), QStringList{"tard.txt"});

    // A folder double-clicked in the list opens in the tree.
    QVERIFY(QDir(localFolder).mkpath(QStringLiteral("Dossier/encore")));
    QVERIFY(ShowLocalFolder(w, localFolder + QStringLiteral("Dossier")));
    emit LocalList(w)->FolderActivated(localFolder + QStringLiteral("Dossier/encore/"));
    QCOMPARE(w.Context().LocalFolder(), localFolder + QStringLiteral("Dossier/encore/"));
}

void TestExplorer::saveLog()
{
    START_SERVER();
    TfrmMain w;
    QVERIFY(LogIn(w, *server));
    w.VexFtp1()->Close();
    const QString path = localFolder + QStringLiteral("journal.txt");
    fx->prompter.QueuePath(path);
    Action(w, "Sauvegarderlestatus1")->trigger();
    const TPromptRecord asked = fx->prompter.Asked().last();
    QCOMPARE(asked.kind, QStringLiteral("save"));
    QCOMPARE(asked.caption, QStringLiteral("Enregistrer"));
    QCOMPARE(asked.value, QStringLiteral("Status.txt"));
    const QString saved = QString::fromUtf8(ReadFile(path));
    QCOMPARE(saved, LogLines(w).join(QStringLiteral("\r\n")) + QStringLiteral("\r\n"));
    QVERIFY(saved.contains(QStringLiteral("LIST")));
}

void TestExplorer::archiveQuestionOnRefresh_data()
{
    QTest::addColumn<bool>("boxChecked");
    QTest::addColumn<bool>("archiveExists");
    QTest::addColumn<int>("answer"); // 1 yes, 0 no, -1 not asked
    QTest::addColumn<bool>("deleted");
    QTest::addColumn<bool>("nameKept");
    QTest::newRow("Oui") << true << true << 1 << true << false;
    QTest::newRow("Non") << true << true << 0 << false << false;
    QTest::newRow("box unchecked") << false << true << -1 << false << true;
    QTest::newRow("archive gone") << true << false << -1 << false << true;
}

void TestExplorer::archiveQuestionOnRefresh()
{
    QFETCH(bool, boxChecked);
    QFETCH(bool, archiveExists);
    QFETCH(int, answer);
    QFETCH(bool, deleted);
    QFETCH(bool, nameKept);
    const QString zip = localFolder + QStringLiteral("site.zip");
    if (archiveExists)
        QVERIFY(WriteFile(zip, "PK"));
    TfrmMain w;
    QVERIFY(ShowLocalFolder(w, localFolder));
    Find<QCheckBox>(w, "effacerarchive")->setChecked(boxChecked);
    TZipEngine &engine = w.findChild<TZipTask *>(QStringLiteral("ZipTask1"))->Engine();
    engine.SetZipName(zip);
    if (answer >= 0)
        fx->prompter.QueueConfirm(answer == 1);
    Action(w, "rafraichir")->trigger();
    if (answer >= 0) {
        QCOMPARE(fx->prompter.Asked().size(), 1);
        QCOMPARE(fx->prompter.Asked().first().text, QStringLiteral("Voulez-vous vraiment supprimer ") + zip + '?');
    } else {
        QVERIFY(fx->prompter.Asked().isEmpty());
    }
    QCOMPARE(QFileInfo::exists(zip), archiveExists && !deleted);
    QCOMPARE(engine.ZipName(), nameKept ? zip : QString());
    QVERIFY(LocalListLoaded(w));
    QCOMPARE(LocalCaptions(w).contains(QStringLiteral("site.zip")), archiveExists && !deleted);
}

void TestExplorer::tabChangesByProgram()
{
    TfrmMain w;
    TAppContext &context = w.Context();
    auto *tabs = Find<QTabWidget>(w, "PageControl1");
    QSignalSpy changes(&context, &TAppContext::PageChanged);
    // By program: no tab-change handler.
    context.ShowPage(TPage::QuickExplorer);
    QCOMPARE(tabs->currentWidget(), &w.QuickExplorer());
    QCOMPARE(changes.count(), 0);
    QVERIFY(!context.QuickExplorerActive());
    Action(w, "APropos1")->trigger();
    QCOMPARE(changes.count(), 0);
    // The user's choice: once.
    tabs->setCurrentWidget(&w.QuickExplorer());
    QCOMPARE(changes.count(), 1);
    QVERIFY(context.QuickExplorerActive());
    // As the user would: shown and handled once.
    context.ActivatePage(TPage::Explorer);
    QCOMPARE(tabs->currentWidget(), &w.Explorer());
    QCOMPARE(changes.count(), 2);
    QVERIFY(!context.QuickExplorerActive());
}

QTEST_MAIN(TestExplorer)
#include "tst_explorer.moc"
