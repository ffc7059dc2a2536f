// The explorer tab's transfers through the window's own commands, against a
// real pyftpdlib server: downloads and uploads of several files (byte for
// byte, one of a few MiB), what they do with folders, the quick-explorer
// question, a resumed download through the overwrite/resume dialog, files
// opened from the temporary folder, drag and drop between the two lists,
// files dropped from the desktop, and remote names that would leave the
// local folder (against a scripted server listing them).

#include "Confirme.h"
#include "ExplorerTestSite.h"
#include "RemoteViewTestSite.h"
#include "TransferDisplay.h"

#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTabWidget>
#include <QUrl>

using namespace ExplorerTest;

namespace {
constexpr qsizetype BigSize = 3 * 1024 * 1024 + 517;

// Sends a drag of mime over target's viewport and drops it there; true when
// the list took the drag.
bool DropOn(QAbstractItemView *view, const QMimeData *mime)
{
    QWidget *target = view->viewport();
    const QPoint where = target->rect().center();
    QDragEnterEvent enter(where, Qt::CopyAction, mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &enter);
    if (!enter.isAccepted())
        return false;
    QDropEvent drop(QPointF(where), Qt::CopyAction, mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &drop);
    return drop.isAccepted();
}

QString UnusableText(const QString &name)
{
    return QStringLiteral("Le fichier distant « %1 » n'a pas de nom utilisable dans le répertoire local : il n'est "
                          "pas téléchargé.")
        .arg(name);
}
}

class TestExplorerTransfers : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();

    void downloadSeveralFiles();
    void downloadWithOnlyFoldersDoesNothing();
    void uploadSeveralFiles();
    void uploadWithFolderFirstAsks_data();
    void uploadWithFolderFirstAsks();
    void resumedDownloadThroughDialog();
    void openTwoFilesFromTemporaryFolder();
    void dragAndDropBothWays();
    void desktopDropUploads();
    void hostileRemoteNames();

private:
    bool StartServer();

    QTemporaryDir home;
    std::unique_ptr<TShellFixture> fx;
    std::unique_ptr<PyFtpdServer> server;
    std::unique_ptr<QTemporaryDir> local;
    QString localFolder; // with its final "/"
    QByteArray big;
    QList<int> confirmAnswers;
    int confirmsShown = 0;
};

void TestExplorerTransfers::initTestCase()
{
    IsolateUserFolders(home);
    big = RandomBytes(BigSize, 11);
}

void TestExplorerTransfers::init()
{
    fx = std::make_unique<TShellFixture>();
    local = std::make_unique<QTemporaryDir>();
    localFolder = QDir(local->path()).canonicalPath() + QLatin1Char('/');
    confirmAnswers.clear();
    confirmsShown = 0;
    SetConfirmFormRunner([this](TConfirmForm &form) {
        ++confirmsShown;
        form.show();
        form.Button(confirmAnswers.isEmpty() ? ctCancel : confirmAnswers.takeFirst())->click();
    });
}

void TestExplorerTransfers::cleanup()
{
    if (QTest::currentTestFailed() && server)
        qWarning().noquote() << server->StandardError();
    SetConfirmFormRunner({});
    server.reset();
    local.reset();
    fx.reset();
}

bool TestExplorerTransfers::StartServer()
{
    if (!PyFtpdServer::Available())
        return false;
    server = std::make_unique<PyFtpdServer>();
    const QDir root(server->RootPath());
    return root.mkpath(QStringLiteral("docs")) && root.mkpath(QStringLiteral("pub"))
        && WriteFile(root.filePath(QStringLiteral("grand.bin")), big)
        && WriteFile(root.filePath(QStringLiteral("petit fichier.txt")), "Bonjour\r\n")
        && WriteFile(root.filePath(QStringLiteral("vide.dat")), QByteArray())
        && WriteFile(root.filePath(QStringLiteral("musique.mp3")), RandomBytes(70000, 3)) && server->Start();
}

#define START_SERVER()                                                                                             \
    if (!StartServer())                                                                                            \
    QSKIP(server ? qPrintable(server->ErrorString()) : PyFtpdServer::UnavailableMessage())

void TestExplorerTransfers::downloadSeveralFiles()
{
    START_SERVER();
    TfrmMain w;
    QVERIFY(ShowLocalFolder(w, localFolder));
    QVERIFY(LogIn(w, *server));
    QVERIFY(Action(w, "ToolButton14")->isEnabled());
    QVERIFY(Action(w, "Tlcharger1")->isEnabled());

    // What the bar measures each file against while it comes.
    QList<qint64> maxima;
    const int slot = w.VexFtp1()->AddInfoListener([&](TVexFtp *, FtpInfo info, const QString &) {
        if (info == ftpiProgress && w.VexFtp1()->BytesTransferred() > 0)
            maxima << w.Explorer().TransferDisplay()->Maximum();
    });
    const QStringList names{"grand.bin", "petit fichier.txt", "vide.dat"};
    QVERIFY(SelectRemote(w, names + QStringList{"docs"}));
    Action(w, "ToolButton14")->trigger();
    w.VexFtp1()->RemoveInfoListener(slot);

    QCOMPARE(ReadFile(localFolder + QStringLiteral("grand.bin")), big);
    QCOMPARE(ReadFile(localFolder + QStringLiteral("petit fichier.txt")), QByteArray("Bonjour\r\n"));
    QVERIFY(QFileInfo(localFolder + QStringLiteral("vide.dat")).isFile());
    QCOMPARE(QFileInfo(localFolder + QStringLiteral("vide.dat")).size(), 0);
    // The selected folder is not fetched.
    QCOMPARE(Entries(localFolder), (QStringList{"grand.bin", "petit fichier.txt", "vide.dat"}));
    // The listed size stands for the size pyftpdlib does not announce.
    QVERIFY(!maxima.isEmpty());
    QCOMPARE(maxima.first(), BigSize);
    // The selection goes; the local list shows the files.
    QVERIFY(RemoteList(w)->SelectedFiles().isEmpty());
    QVERIFY(RemoteList(w)->SelectedFolders().isEmpty());
    QVERIFY(LocalListLoaded(w));
    QCOMPARE(LocalCaptions(w), (QStringList{"grand.bin", "petit fichier.txt", "vide.dat"}));
    QVERIFY(fx->prompter.Messages().isEmpty());

    // The menu item runs the same command.
    QVERIFY(SelectRemote(w, {"musique.mp3"}));
    Action(w, "Tlcharger1")->trigger();
    QCOMPARE(ReadFile(localFolder + QStringLiteral("musique.mp3")),
             ReadFile(server->RootPath() + QStringLiteral("/musique.mp3")));
    w.VexFtp1()->Close();
}

void TestExplorerTransfers::downloadWithOnlyFoldersDoesNothing()
{
    START_SERVER();
    TfrmMain w;
    QVERIFY(ShowLocalFolder(w, localFolder));
    QVERIFY(LogIn(w, *server));
    QVERIFY(SelectRemote(w, {"docs", "pub"}));
    const qsizetype logged = LogLines(w).size();
    Action(w, "ToolButton14")->trigger();
    QTest::qWait(200);
    QCOMPARE(LogLines(w).size(), logged);
    QVERIFY(Entries(localFolder).isEmpty());
    QVERIFY(Find<QWidget>(w, "ProgressBar1")->isHidden());
    // The selection stays as it was.
    QCOMPARE(RemoteList(w)->SelectedFolders(), (QStringList{"docs", "pub"}));
    w.VexFtp1()->Close();
}

void TestExplorerTransfers::uploadSeveralFiles()
{
    START_SERVER();
    QVERIFY(QDir(localFolder).mkpath(QStringLiteral("dossier")));
    QVERIFY(WriteFile(localFolder + QStringLiteral("a envoyer.bin"), big));
    QVERIFY(WriteFile(localFolder + QStringLiteral("b.txt"), "texte\n"));
    QVERIFY(WriteFile(localFolder + QStringLiteral("c.txt"), "reste ici\n"));
    TfrmMain w;
    QVERIFY(ShowLocalFolder(w, localFolder));
    QVERIFY(LogIn(w, *server, QStringLiteral("/pub")));
    QCOMPARE(LocalCaptions(w), (QStringList{"dossier", "a envoyer.bin", "b.txt", "c.txt"}));
    QVERIFY(Action(w, "ToolButton16")->isEnabled());

    // The selected files go; the upload command forgets an answer for all
    // files.
    w.Context().SetAnswerForAll(true, QStringLiteral("Overwrite"));
    QVERIFY(SelectLocal(w, {"a envoyer.bin", "b.txt"}));
    Action(w, "Envoyer1")->trigger();
    QVERIFY(!w.Context().AnswerForAll());
    const QString pub = server->RootPath() + QStringLiteral("/pub/");
    QCOMPARE(ReadFile(pub + QStringLiteral("a envoyer.bin")), big);
    QCOMPARE(ReadFile(pub + QStringLiteral("b.txt")), QByteArray("texte\n"));
    QCOMPARE(Entries(pub), (QStringList{"a envoyer.bin", "b.txt"}));
    QVERIFY(LocalList(w)->SelectedRows().isEmpty());
    // The stored files' refresh lists the folder again.
    QTRY_COMPARE_WITH_TIMEOUT(RemoteCaptions(w), (QStringList{"..", "a envoyer.bin", "b.txt"}), WaitMs);

    // The tool-bar button runs the same command.
    QVERIFY(SelectLocal(w, {"c.txt"}));
    Action(w, "ToolButton16")->trigger();
    QCOMPARE(ReadFile(pub + QStringLiteral("c.txt")), QByteArray("reste ici\n"));
    QCOMPARE(Entries(pub), (QStringList{"a envoyer.bin", "b.txt", "c.txt"}));
    QVERIFY(fx->prompter.Asked().isEmpty());
    w.VexFtp1()->Close();
}

void TestExplorerTransfers::uploadWithFolderFirstAsks_data()
{
    QTest::addColumn<bool>("yes");
    QTest::newRow("Oui") << true;
    QTest::newRow("Non") << false;
}

void TestExplorerTransfers::uploadWithFolderFirstAsks()
{
    QFETCH(bool, yes);
    START_SERVER();
    QVERIFY(QDir(localFolder).mkpath(QStringLiteral("site")));
    QVERIFY(WriteFile(localFolder + QStringLiteral("z.txt"), "z"));
    TfrmMain w;
    QVERIFY(ShowLocalFolder(w, localFolder));
    QVERIFY(LogIn(w, *server));
    QSignalSpy tabChanges(&w.Context(), &TAppContext::PageChanged);
    QVERIFY(SelectLocal(w, {"site", "z.txt"}));
    fx->prompter.QueueConfirm(yes);
    Action(w, "ToolButton16")->trigger();

    QCOMPARE(fx->prompter.Asked().size(), 1);
    QCOMPARE(fx->prompter.Asked().first().kind, QStringLiteral("confirm"));
    QCOMPARE(fx->prompter.Asked().first().text,
             QStringLiteral("Vous ne pouvez pas copier un répertoire avec l'onglet <Explorateur>.Utilisez l'onglet "
                            "<Explorateur rapide> - Continuer?"));
    // Nothing is sent either way, and the selection goes.
    QVERIFY(!LogLines(w).join(QLatin1Char('\n')).contains(QStringLiteral("STOR")));
    QVERIFY(LocalList(w)->SelectedRows().isEmpty());
    auto *tabs = Find<QTabWidget>(w, "PageControl1");
    if (yes) {
        // The folder opens on the desktop; the quick explorer's tab takes
        // over, its hand-over run once.
        QCOMPARE(fx->opened, QList<QUrl>{QUrl::fromLocalFile(localFolder + QStringLiteral("site"))});
        QCOMPARE(tabs->currentWidget(), Find<QWidget>(w, "TabSheet2"));
        QCOMPARE(tabChanges.count(), 1);
        QVERIFY(w.Context().QuickExplorerActive());
        QTRY_VERIFY_WITH_TIMEOUT(!w.VexFtp1()->Connected(), WaitMs);
    } else {
        QVERIFY(fx->opened.isEmpty());
        QCOMPARE(tabs->currentWidget(), Find<QWidget>(w, "TabSheet1"));
        QCOMPARE(tabChanges.count(), 0);
        QVERIFY(w.VexFtp1()->Connected());
        w.VexFtp1()->Close();
    }
    QVERIFY(Entries(server->RootPath()).contains(QStringLiteral("grand.bin")));
    QVERIFY(!Entries(server->RootPath()).contains(QStringLiteral("z.txt")));
}

void TestExplorerTransfers::resumedDownloadThroughDialog()
{
    START_SERVER();
    const QByteArray partial = big.left(1000000);
    QVERIFY(WriteFile(localFolder + QStringLiteral("grand.bin"), partial));
    QVERIFY(WriteFile(localFolder + QStringLiteral("petit fichier.txt"), "Bonjour")); // shorter, other bytes
    TfrmMain w;
    QVERIFY(ShowLocalFolder(w, localFolder));
    QVERIFY(LogIn(w, *server));
    QVERIFY(w.VexFtp1()->ResumeSupported());
    // "&Reprendre" for the first, "&Ecraser" for the second.
    confirmAnswers = {ctResume, ctOverwrite};
    QVERIFY(SelectRemote(w, {"grand.bin", "petit fichier.txt"}));
    Action(w, "ToolButton14")->trigger();
    QCOMPARE(confirmsShown, 2);
    QCOMPARE(ReadFile(localFolder + QStringLiteral("grand.bin")), big);
    QCOMPARE(ReadFile(localFolder + QStringLiteral("petit fichier.txt")), QByteArray("Bonjour\r\n"));
    QVERIFY(LogHas(w, QStringLiteral("REST 1000000")));
    QVERIFY(!w.Context().AnswerForAll());
    w.VexFtp1()->Close();
}

void TestExplorerTransfers::openTwoFilesFromTemporaryFolder()
{
    START_SERVER();
    QTemporaryDir temporary;
    const QString temporaryFolder = QDir(temporary.path()).canonicalPath() + QLatin1Char('/');
    const QByteArray savedTmp = qgetenv("TMPDIR");
    qputenv("TMPDIR", temporaryFolder.toLocal8Bit());
    {
        TfrmMain w;
        QVERIFY(ShowLocalFolder(w, localFolder));
        QVERIFY(LogIn(w, *server));
        QVERIFY(SelectRemote(w, {"petit fichier.txt", "musique.mp3"}));
        w.Explorer().VexFtpListView1DblClick();
        const QStringList paths{temporaryFolder + QStringLiteral("musique.mp3"),
                                temporaryFolder + QStringLiteral("petit fichier.txt")};
        QCOMPARE(w.Context().OpenedFiles(), paths);
        QCOMPARE(ReadFile(paths.at(1)), QByteArray("Bonjour\r\n"));
        QCOMPARE(ReadFile(paths.at(0)), ReadFile(server->RootPath() + QStringLiteral("/musique.mp3")));
        QCOMPARE(fx->opened, (QList<QUrl>{QUrl::fromLocalFile(paths.at(0)), QUrl::fromLocalFile(paths.at(1))}));
        // Nothing lands in the local folder; the remote folder stays.
        QVERIFY(Entries(localFolder).isEmpty());
        QCOMPARE(w.VexFtp1()->CurrentDirectory(), QStringLiteral("/"));
        w.VexFtp1()->Close();
        QTRY_VERIFY_WITH_TIMEOUT(!w.VexFtp1()->Connected(), WaitMs);
        // Shutdown deletes them.
        QVERIFY(w.close());
        for (const QString &path : paths)
            QVERIFY2(!QFile::exists(path), qPrintable(path));
    }
    if (savedTmp.isNull())
        qunsetenv("TMPDIR");
    else
        qputenv("TMPDIR", savedTmp);
}

void TestExplorerTransfers::dragAndDropBothWays()
{
    START_SERVER();
    QVERIFY(WriteFile(localFolder + QStringLiteral("envoi.txt"), "envoi\n"));
    TfrmMain w;
    QVERIFY(ShowLocalFolder(w, localFolder));
    QVERIFY(LogIn(w, *server));
    QAbstractItemView *remoteView = RemoteList(w)->ItemView();
    QAbstractItemView *localView = LocalList(w)->ItemView();

    // Remote to local: a download of the selected remote files.
    QVERIFY(SelectRemote(w, {"musique.mp3", "docs"}));
    std::unique_ptr<QMimeData> remoteDrag(RemoteList(w)->DragData());
    QVERIFY(remoteDrag);
    QVERIFY(!DropOn(remoteView, remoteDrag.get())); // not onto itself
    QVERIFY(DropOn(localView, remoteDrag.get()));
    QTRY_COMPARE_WITH_TIMEOUT(ReadFile(localFolder + QStringLiteral("musique.mp3")),
                              ReadFile(server->RootPath() + QStringLiteral("/musique.mp3")), WaitMs);
    QTRY_VERIFY_WITH_TIMEOUT(!w.VexFtp1()->Busy() && RemoteList(w)->SelectedFiles().isEmpty(), WaitMs);
    QVERIFY(!QFileInfo::exists(localFolder + QStringLiteral("docs")));

    // Local to remote: an upload of the selected local files, which forgets
    // an answer for all files.
    QVERIFY(LocalListLoaded(w));
    QVERIFY(SelectLocal(w, {"envoi.txt"}));
    w.Context().SetAnswerForAll(true, QStringLiteral("Overwrite"));
    std::unique_ptr<QMimeData> localDrag(LocalList(w)->DragData());
    QVERIFY(localDrag);
    QVERIFY(!DropOn(localView, localDrag.get())); // not onto itself
    // Taken even while desktop drops are refused.
    RemoteList(w)->SetAccept(false);
    QVERIFY(DropOn(remoteView, localDrag.get()));
    QTRY_COMPARE_WITH_TIMEOUT(ReadFile(server->RootPath() + QStringLiteral("/envoi.txt")), QByteArray("envoi\n"),
                              WaitMs);
    QVERIFY(!w.Context().AnswerForAll());
    QTRY_VERIFY_WITH_TIMEOUT(RemoteCaptions(w).contains(QStringLiteral("envoi.txt")), WaitMs);
    w.VexFtp1()->Close();
}

void TestExplorerTransfers::desktopDropUploads()
{
    START_SERVER();
    QTemporaryDir desktop;
    const QString bureau = desktop.path() + QStringLiteral("/bureau");
    QVERIFY(QDir().mkpath(bureau + QStringLiteral("/un dossier")));
    QVERIFY(WriteFile(bureau + QStringLiteral("/photo.jpg"), RandomBytes(5000, 5)));
    QVERIFY(WriteFile(bureau + QStringLiteral("/notes.txt"), "notes"));
    TfrmMain w;
    QVERIFY(LogIn(w, *server, QStringLiteral("/docs")));
    QVERIFY(RemoteList(w)->Accept());
    w.Context().SetAnswerForAll(true, QStringLiteral("Overwrite"));
    QMimeData mime;
    mime.setUrls({QUrl::fromLocalFile(bureau + QStringLiteral("/photo.jpg")),
                  QUrl::fromLocalFile(bureau + QStringLiteral("/un dossier")),
                  QUrl::fromLocalFile(bureau + QStringLiteral("/notes.txt"))});
    QVERIFY(DropOn(RemoteList(w)->ItemView(), &mime));
    const QString docs = server->RootPath() + QStringLiteral("/docs/");
    QTRY_COMPARE_WITH_TIMEOUT(Entries(docs), (QStringList{"notes.txt", "photo.jpg"}), WaitMs);
    QTRY_VERIFY_WITH_TIMEOUT(!w.VexFtp1()->Busy(), WaitMs);
    QCOMPARE(ReadFile(docs + QStringLiteral("photo.jpg")), ReadFile(bureau + QStringLiteral("/photo.jpg")));
    // A desktop drop keeps the answer for all files.
    QVERIFY(w.Context().AnswerForAll());
    QTRY_COMPARE_WITH_TIMEOUT(RemoteCaptions(w), (QStringList{"..", "notes.txt", "photo.jpg"}), WaitMs);
    w.VexFtp1()->Close();
}

void TestExplorerTransfers::hostileRemoteNames()
{
    // A listing whose names would reach outside the local folder, then the
    // download of every file of it, as the client sends it. The login is the
    // remote views' scripted one (a Unix server: no SYST).
    const QStringList names{".", "..", "../evil.txt", "a/b.txt", "good.txt"};
    QStringList listing;
    for (const QString &name : names)
        listing << RemoteViewTest::FileLine(name, 6);
    FtpScript script = RemoteViewTest::LoginScript(QStringLiteral("velmar"), QStringLiteral("s3cret"),
                                                   QStringLiteral("/"));
    RemoteViewTest::AddListing(script, listing).expect(QStringLiteral("TYPE I"), QStringLiteral("200 type I"));
    for (const char *name : {"../evil.txt", "a/b.txt", "good.txt"}) {
        const QByteArray content = "from " + QByteArray(name).left(6) + "\n";
        script.expectPasv()
            .expect(QStringLiteral("RETR ") + QLatin1String(name), QStringLiteral("150 sending"))
            .dataSend(content)
            .send(QStringLiteral("226 sent"));
    }
    script.expectClose();
    ScriptedFtpServer scripted;
    QVERIFY(scripted.Start(script));

    // The local folder sits in a parent that must stay untouched.
    const QString folder = localFolder + QStringLiteral("recus/");
    QVERIFY(QDir().mkpath(folder + QStringLiteral("a")));
    TfrmMain w;
    QVERIFY(ShowLocalFolder(w, folder));
    w.VexFtp1()->SetServerType(ftpstUNIX);
    QVERIFY2(LogIn(w, scripted.Host(), scripted.Port(), QStringLiteral("velmar"), QStringLiteral("s3cret"),
                   QString()),
             qPrintable(scripted.Status()));
    QStringList shown = RemoteCaptions(w);
    shown.sort();
    QCOMPARE(shown, names);
    QVERIFY(SelectRemote(w, names));
    QCOMPARE(RemoteList(w)->SelectedFiles().size(), names.size());
    Action(w, "ToolButton14")->trigger();

    // Every usable name lands inside the folder under its last part; the
    // unusable one is named in a message; nothing is written elsewhere.
    QCOMPARE(fx->prompter.Messages(),
             QStringList{UnusableText(QStringLiteral(".")) + QLatin1Char('\n') + UnusableText(QStringLiteral(".."))});
    QCOMPARE(Entries(folder), (QStringList{"a", "b.txt", "evil.txt", "good.txt"}));
    QCOMPARE(ReadFile(folder + QStringLiteral("evil.txt")), QByteArray("from ../evi\n"));
    QCOMPARE(ReadFile(folder + QStringLiteral("b.txt")), QByteArray("from a/b.tx\n"));
    QCOMPARE(ReadFile(folder + QStringLiteral("good.txt")), QByteArray("from good.t\n"));
    QVERIFY(Entries(folder + QStringLiteral("a")).isEmpty());
    QCOMPARE(Entries(localFolder), QStringList{"recus"});
    w.VexFtp1()->Close();
    QTRY_VERIFY2_WITH_TIMEOUT(scripted.Finished(), qPrintable(scripted.Status()), WaitMs);
    QCOMPARE(scripted.Mismatches(), QStringList());
}

QTEST_MAIN(TestExplorerTransfers)
#include "tst_explorertransfers.moc"
