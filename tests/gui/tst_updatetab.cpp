// The tab "Mise à jour" in the main window on the explorer's side, against a
// real pyftpdlib server and temporary local folders: its initial state, the
// explorer comparison from both commands (nothing listed, an empty remote
// folder, names found whole and with their case, the day test with the
// listing's dates, folders and the parent row), the filters, the action
// cycle, the update question answered No, and a full update run checked by
// a fresh listing, the bytes of every file sent or fetched, and the order
// of the commands in the server's log. The quick side is in
// tst_updatetab_quick.cpp.

#include "Confirme.h"
#include "ExplorerTestSite.h"
#include "UpdateTestSite.h"
#include "FtpListModel.h"
#include "FtpMisc.h"
#include "SiteComparison.h"
#include "TransferDisplay.h"
#include "UpdateTab.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QPushButton>
#include <QHeaderView>
#include <QLabel>
#include <QLocale>
#include <QProgressBar>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTimeZone>
#include <QToolButton>
#include <QTreeWidget>

using namespace ExplorerTest;

using namespace UpdateTest;

class TestUpdateTab : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();

    void initialState();
    void nothingListedProposesEveryLocalFile();
    void emptyRemoteFolderFromBothCommands();
    void namesFoundWholeWithTheirCase();
    void dayTestWithListingDates();
    void foldersAndParentNeverProposed();
    void actionCycle();
    void noToTheQuestionOnExplorer();
    void fullUpdateOnExplorer();

private:
    bool StartServer();
    bool Local(const QString &name, const QByteArray &bytes, const QDateTime &when = {});
    bool Remote(const QString &name, const QByteArray &bytes, const QDateTime &when = {});
    QString RemotePath(const QString &name) const { return QDir(server->RootPath()).filePath(name); }
    TUpdateTab &Tab(TfrmMain &w) const { return w.Update(); }
    bool Select(TfrmMain &w, const QStringList &names) const;

    QTemporaryDir home;
    std::unique_ptr<TShellFixture> fx;
    std::unique_ptr<PyFtpdServer> server;
    std::unique_ptr<QTemporaryDir> local;
    QString localFolder; // with its final "/"
    QList<int> confirmAnswers;
};

void TestUpdateTab::initTestCase()
{
    IsolateUserFolders(home);
    // The program speaks French whatever the system's locale (dates too).
    QLocale::setDefault(QLocale(QLocale::French, QLocale::France));
}

void TestUpdateTab::init()
{
    fx = std::make_unique<TShellFixture>();
    local = std::make_unique<QTemporaryDir>();
    localFolder = QDir(local->path()).canonicalPath() + QLatin1Char('/');
    confirmAnswers.clear();
    SetConfirmFormRunner([this](TConfirmForm &form) {
        form.show();
        form.Button(confirmAnswers.isEmpty() ? ctCancel : confirmAnswers.takeFirst())->click();
    });
    if (PyFtpdServer::Available()) {
        server = std::make_unique<PyFtpdServer>();
        server->SetVerbose(true);
    }
}

void TestUpdateTab::cleanup()
{
    if (QTest::currentTestFailed() && server)
        qWarning().noquote() << server->StandardError();
    SetConfirmFormRunner({});
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    server.reset();
    local.reset();
    fx.reset();
}

bool TestUpdateTab::StartServer()
{
    return server && server->Start();
}

#define START_SERVER()                                                                                             \
    if (!StartServer())                                                                                            \
    QSKIP(server ? qPrintable(server->ErrorString()) : PyFtpdServer::UnavailableMessage())

bool TestUpdateTab::Local(const QString &name, const QByteArray &bytes, const QDateTime &when)
{
    const QString path = localFolder + name;
    return WriteFile(path, bytes) && (!when.isValid() || SetWriteTime(path, when));
}

bool TestUpdateTab::Remote(const QString &name, const QByteArray &bytes, const QDateTime &when)
{
    const QString path = RemotePath(name);
    return WriteFile(path, bytes) && (!when.isValid() || SetWriteTime(path, when));
}

bool TestUpdateTab::Select(TfrmMain &w, const QStringList &names) const
{
    QTreeWidget *list = Tab(w).miseajour();
    list->clearSelection();
    int found = 0;
    for (int i = 0; i < list->topLevelItemCount(); ++i) {
        if (names.contains(list->topLevelItem(i)->text(0))) {
            list->topLevelItem(i)->setSelected(true);
            ++found;
        }
    }
    return found == names.size();
}

void TestUpdateTab::initialState()
{
    TfrmMain w;
    auto *host = Find<QTabWidget>(w, "PageControl1");
    TUpdateTab &tab = Tab(w);
    const int index = host->indexOf(&tab);
    QCOMPARE(host->tabText(index), QStringLiteral("    &Mise à jour"));
    QVERIFY(!host->isTabEnabled(index));
    QVERIFY(!Action(w, "Comparerlessites1")->isEnabled());
    QCOMPARE(Action(w, "Comparerlessites1")->text(), QStringLiteral("&Comparer les sites"));
    QVERIFY(!tab.OlderOnServerBox()->isChecked());
    QVERIFY(tab.MissingLocallyBox()->isChecked());
    QVERIFY(tab.MissingOnSiteBox()->isChecked());
    QCOMPARE(tab.OlderOnServerBox()->text(), QStringLiteral("Afficher plus ancien sur serveur"));
    QCOMPARE(tab.MissingLocallyBox()->text(), QStringLiteral("Afficher inexistant en local"));
    QCOMPARE(tab.MissingOnSiteBox()->text(), QStringLiteral("Afficher inexistant sur serveur web"));
    QCOMPARE(tab.SpeedButton1()->toolTip(), QStringLiteral("Mettre à jour"));
    QCOMPARE(tab.findChild<QGroupBox *>(QStringLiteral("GroupBox1"))->title(), QStringLiteral("&Légende"));
    QCOMPARE(tab.findChild<QGroupBox *>(QStringLiteral("GroupBox2"))->title(), QStringLiteral("Mettre à jour"));
    QCOMPARE(tab.findChild<QGroupBox *>(QStringLiteral("GroupBox3"))->title(), QStringLiteral("Affichage"));
    QCOMPARE(tab.repencours()->text(), QStringLiteral("Répertoire distant en cours:"));
    QTreeWidget *list = tab.miseajour();
    QCOMPARE(list->headerItem()->text(0), QStringLiteral("Nom"));
    QCOMPARE(list->headerItem()->text(1), QStringLiteral("Action"));
    QCOMPARE(list->columnWidth(0), 140);
    QCOMPARE(list->columnWidth(1), 575);
    QCOMPARE(list->selectionMode(), QAbstractItemView::ExtendedSelection);
    QCOMPARE(list->editTriggers(), QAbstractItemView::NoEditTriggers);
}

void TestUpdateTab::nothingListedProposesEveryLocalFile()
{
    TfrmMain w;
    QVERIFY(Local(QStringLiteral("b.txt"), "b"));
    QVERIFY(Local(QStringLiteral("a.txt"), "a"));
    QVERIFY(QDir(localFolder).mkdir(QStringLiteral("dossier")));
    QVERIFY(ShowLocalFolder(w, localFolder));
    auto *host = Find<QTabWidget>(w, "PageControl1");
    w.Context().SetQuickExplorerActive(true);

    // Not connected: the remote list is empty.
    Tab(w).comparerClick();
    QVERIFY(host->isTabEnabled(host->indexOf(&Tab(w))));
    QVERIFY(w.Context().CurrentPage() == TPage::Update);
    QVERIFY(!w.Context().QuickExplorerActive());
    QVERIFY(!Tab(w).OlderOnServerBox()->isEnabled());
    QCOMPARE(Describe(Tab(w).Rows()), QStringList({"a.txt=2:" + Missing, "b.txt=2:" + Missing}));
    // Each row's image is its action's.
    QVERIFY(!Tab(w).miseajour()->topLevelItem(0)->icon(0).isNull());

    // A second comparison replaces the first one's rows.
    QVERIFY(Local(QStringLiteral("c.txt"), "c"));
    QVERIFY(ShowLocalFolder(w, localFolder));
    Tab(w).comparerClick();
    QCOMPARE(Describe(Tab(w).Rows()),
             QStringList({"a.txt=2:" + Missing, "b.txt=2:" + Missing, "c.txt=2:" + Missing}));

    // The box's click compares again, without those rows.
    Tab(w).MissingOnSiteBox()->click();
    QVERIFY(!Tab(w).MissingOnSiteBox()->isChecked());
    QVERIFY(Tab(w).Rows().isEmpty());
}

void TestUpdateTab::emptyRemoteFolderFromBothCommands()
{
    START_SERVER();
    TfrmMain w;
    QVERIFY(Local(QStringLiteral("index.html"), "<html/>"));
    QVERIFY(Local(QStringLiteral("logo.png"), "png"));
    QVERIFY(ShowLocalFolder(w, localFolder));
    QVERIFY(LogIn(w, *server));
    QCOMPARE(RemoteList(w)->RowCount(), 0);
    // Both commands are there once logged in: the tool-bar button and the
    // menu item.
    QVERIFY(Action(w, "comparer")->isEnabled());
    QVERIFY(Action(w, "Comparerlessites1")->isEnabled());
    const QStringList expected = {"index.html=2:" + Missing, "logo.png=2:" + Missing};
    Action(w, "comparer")->trigger();
    QVERIFY(w.Context().CurrentPage() == TPage::Update);
    QCOMPARE(Describe(Tab(w).Rows()), expected);
    w.Context().ShowPage(TPage::Explorer);
    Tab(w).miseajour()->clear();
    Action(w, "Comparerlessites1")->trigger();
    QVERIFY(w.Context().CurrentPage() == TPage::Update);
    QCOMPARE(Describe(Tab(w).Rows()), expected);
}

void TestUpdateTab::namesFoundWholeWithTheirCase()
{
    if (!server)
        QSKIP(PyFtpdServer::UnavailableMessage());
    QVERIFY(Remote(QStringLiteral("data.txt"), "d"));
    QVERIFY(Remote(QStringLiteral("xa"), "x"));
    QVERIFY(Remote(QStringLiteral(".txt"), "t"));
    QVERIFY(Remote(QStringLiteral("b.txt"), "b"));
    START_SERVER();
    TfrmMain w;
    QVERIFY(Local(QStringLiteral("a.txt"), "a"));
    QVERIFY(Local(QStringLiteral("B.TXT"), "B"));
    QVERIFY(ShowLocalFolder(w, localFolder));
    QVERIFY(LogIn(w, *server));
    QCOMPARE(Sorted(RemoteCaptions(w)), QStringList({".txt", "b.txt", "data.txt", "xa"}));
    Tab(w).comparerClick();
    // a.txt is in neither data.txt nor xa + .txt; B.TXT is not b.txt, and
    // b.txt has no local file on this case-sensitive disk.
    QCOMPARE(Sorted(Describe(Tab(w).Rows())),
             Sorted({".txt=0:" + Gone, "a.txt=2:" + Missing, "b.txt=0:" + Gone, "B.TXT=2:" + Missing,
                     "data.txt=0:" + Gone, "xa=0:" + Gone}));
    // Sorted by name as a reader sorts them.
    const QList<TUpdateRow> rows = Tab(w).Rows();
    for (int i = 1; i < rows.size(); ++i)
        QVERIFY2(CompareTextLocale(rows.at(i - 1).Name, rows.at(i).Name) <= 0,
                 qPrintable(rows.at(i - 1).Name + " > " + rows.at(i).Name));
}

void TestUpdateTab::dayTestWithListingDates()
{
    if (!server)
        QSKIP(PyFtpdServer::UnavailableMessage());
    const QTimeZone utc = QTimeZone::utc();
    QVERIFY(Remote(QStringLiteral("meme.txt"), "r", QDateTime(QDate(2003, 12, 25), QTime(12, 0), utc)));
    QVERIFY(Remote(QStringLiteral("noel.txt"), "r", QDateTime(QDate(2003, 12, 25), QTime(12, 0), utc)));
    QVERIFY(Remote(QStringLiteral("mars.txt"), "r", QDateTime(QDate(2003, 3, 5), QTime(12, 0), utc)));
    QVERIFY(Remote(QStringLiteral("recent.txt"), "r", QDateTime(QDate(2003, 12, 25), QTime(12, 0), utc)));
    START_SERVER();
    TfrmMain w;
    // Later the same day; a later day; a later day; an earlier day.
    QVERIFY(Local(QStringLiteral("meme.txt"), "l", QDateTime(QDate(2003, 12, 25), QTime(20, 0))));
    QVERIFY(Local(QStringLiteral("noel.txt"), "l", QDateTime(QDate(2003, 12, 27), QTime(9, 0))));
    QVERIFY(Local(QStringLiteral("mars.txt"), "l", QDateTime(QDate(2003, 3, 6), QTime(9, 0))));
    QVERIFY(Local(QStringLiteral("recent.txt"), "l", QDateTime(QDate(2003, 12, 20), QTime(9, 0))));
    QVERIFY(ShowLocalFolder(w, localFolder));
    QVERIFY(LogIn(w, *server));

    // The dates as the remote list gives them: month/day/year, then the hour.
    const TVexFtpListModel *model = RemoteList(w)->Model();
    QString noelDate;
    QString marsDate;
    for (int row = 0; row < model->rowCount(); ++row) {
        const QString date = model->index(row, TVexFtpListModel::ColDate).data().toString();
        if (model->Caption(row) == QLatin1String("noel.txt"))
            noelDate = date;
        if (model->Caption(row) == QLatin1String("mars.txt"))
            marsDate = date;
    }
    QCOMPARE(noelDate, QStringLiteral("12/25/2003 12:00 AM"));
    QVERIFY2(marsDate == QLatin1String("3/5/2003 12:00 AM") || marsDate == QLatin1String("3/05/2003 12:00 AM"),
             qPrintable(marsDate));
    // Shown day/month/year exactly as the fields stand.
    const QString marsShown = marsDate.section(QLatin1Char('/'), 1, 1) + QStringLiteral("/3/2003");

    // Unchecked (as at start), the date test does not run.
    Tab(w).comparerClick();
    QVERIFY(Tab(w).Rows().isEmpty());
    // Checked while a quick comparison had it enabled: greyed on the
    // explorer side, it still counts.
    Tab(w).OlderOnServerBox()->setChecked(true);
    Tab(w).comparerClick();
    QVERIFY(!Tab(w).OlderOnServerBox()->isEnabled());
    QCOMPARE(Describe(Tab(w).Rows()), QStringList({"mars.txt=2:" + DatesText(QStringLiteral("06/03/2003"), marsShown),
                                                   "noel.txt=2:" + DatesText(QStringLiteral("27/12/2003"),
                                                                             QStringLiteral("25/12/2003"))}));
}

void TestUpdateTab::foldersAndParentNeverProposed()
{
    if (!server)
        QSKIP(PyFtpdServer::UnavailableMessage());
    QVERIFY(QDir(server->RootPath()).mkpath(QStringLiteral("pub/distant")));
    QVERIFY(Remote(QStringLiteral("pub/seul.txt"), "s"));
    START_SERVER();
    TfrmMain w;
    QVERIFY(QDir(localFolder).mkdir(QStringLiteral("local")));
    QVERIFY(ShowLocalFolder(w, localFolder));
    QVERIFY(LogIn(w, *server, QStringLiteral("/pub")));
    QCOMPARE(RemoteCaptions(w), QStringList({"..", "distant", "seul.txt"}));
    Tab(w).comparerClick();
    QCOMPARE(Describe(Tab(w).Rows()), QStringList({"seul.txt=0:" + Gone}));
}

void TestUpdateTab::actionCycle()
{
    START_SERVER();
    QVERIFY(Remote(QStringLiteral("x.txt"), "x"));
    TfrmMain w;
    QVERIFY(Local(QStringLiteral("y.txt"), "y"));
    QVERIFY(Local(QStringLiteral("z.txt"), "z"));
    QVERIFY(ShowLocalFolder(w, localFolder));
    QVERIFY(LogIn(w, *server));
    Tab(w).comparerClick();
    QCOMPARE(Describe(Tab(w).Rows()), QStringList({"x.txt=0:" + Gone, "y.txt=2:" + Missing, "z.txt=2:" + Missing}));

    // A double click on z.txt (it selects that row alone) moves it on.
    QTreeWidget *list = Tab(w).miseajour();
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    const QRect rect = list->visualItemRect(list->topLevelItem(2));
    // (The press that starts a double click comes first.)
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, rect.center());
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, rect.center());
    QCOMPARE(Describe(Tab(w).Rows()),
             QStringList({"x.txt=0:" + Gone, "y.txt=2:" + Missing, "z.txt=3:A mettre à jour en local"}));

    // Without a selected row nothing changes.
    list->clearSelection();
    Tab(w).miseajourDblClick();
    QCOMPARE(Tab(w).Rows().at(0).Action, uaDeleteFromSite);

    // Three rows of 0, 2 and 3 become 1, 3 and 0.
    QVERIFY(Select(w, {"x.txt", "y.txt", "z.txt"}));
    Tab(w).miseajourDblClick();
    QCOMPARE(Describe(Tab(w).Rows()), QStringList({"x.txt=1:Ne pas modifier", "y.txt=3:A mettre à jour en local",
                                                   "z.txt=0:A supprimer du site"}));
    Tab(w).miseajourDblClick();
    QCOMPARE(Describe(Tab(w).Rows()), QStringList({"x.txt=2:A mettre à jour sur le site",
                                                   "y.txt=0:A supprimer du site", "z.txt=1:Ne pas modifier"}));
}

void TestUpdateTab::noToTheQuestionOnExplorer()
{
    if (!server)
        QSKIP(PyFtpdServer::UnavailableMessage());
    QVERIFY(Remote(QStringLiteral("ancien.txt"), "old"));
    START_SERVER();
    TfrmMain w;
    QVERIFY(Local(QStringLiteral("nouveau.txt"), "new"));
    QVERIFY(ShowLocalFolder(w, localFolder));
    QVERIFY(LogIn(w, *server));
    Tab(w).comparerClick();
    QCOMPARE(Tab(w).Rows().size(), 2);
    TTransferDisplay *display = w.Explorer().TransferDisplay();
    QVERIFY(display->ProgressBar()->isHidden());
    QSignalSpy rereads(&w.Context(), &TAppContext::LocalFolderChanged);
    const int logLines = LogLines(w).size();

    fx->prompter.QueueConfirm(false);
    Tab(w).SpeedButton1()->click();
    QCOMPARE(fx->prompter.Asked().size(), 1);
    QCOMPARE(fx->prompter.Asked().first().kind, QStringLiteral("confirm"));
    QCOMPARE(fx->prompter.Asked().first().text, Question);
    QVERIFY(w.Context().CurrentPage() == TPage::Explorer);
    QVERIFY(!display->ProgressBar()->isHidden());
    QVERIFY(!display->Progression()->isHidden());
    QCOMPARE(rereads.size(), 1);
    QCOMPARE(rereads.first().first().toString(), localFolder);
    // Nothing was sent: the log has no new command, the server its file.
    QVERIFY(ClientIdle(w));
    QCOMPARE(LogLines(w).size(), logLines);
    QCOMPARE(Entries(server->RootPath()), QStringList({"ancien.txt"}));
    QCOMPARE(Entries(localFolder), QStringList({"nouveau.txt"}));
    QVERIFY(FileCommands(server->StandardError()).isEmpty());
    // The rows stay for a next run.
    QCOMPARE(Tab(w).Rows().size(), 2);
}

void TestUpdateTab::fullUpdateOnExplorer()
{
    if (!server)
        QSKIP(PyFtpdServer::UnavailableMessage());
    const QTimeZone utc = QTimeZone::utc();
    const QDateTime remoteDay(QDate(2003, 12, 25), QTime(12, 0), utc);
    const QByteArray fetched = RandomBytes(200 * 1024 + 7, 5);
    QVERIFY(Remote(QStringLiteral("vieux.txt"), "ancienne version", remoteDay));
    QVERIFY(Remote(QStringLiteral("perime.txt"), "a supprimer", remoteDay));
    QVERIFY(Remote(QStringLiteral("obsolete.bin"), "a supprimer aussi", remoteDay));
    QVERIFY(Remote(QStringLiteral("garde.txt"), "garde", remoteDay));
    QVERIFY(Remote(QStringLiteral("distant.bin"), fetched, remoteDay));
    QVERIFY(QDir(server->RootPath()).mkdir(QStringLiteral("dossier")));
    START_SERVER();
    TfrmMain w;
    const QByteArray big = RandomBytes(1024 * 1024 + 3, 6);
    const QByteArray newer = "nouvelle version\r\n";
    QVERIFY(Local(QStringLiteral("vieux.txt"), newer, QDateTime(QDate(2004, 1, 2), QTime(9, 0))));
    QVERIFY(Local(QStringLiteral("grand.bin"), big));
    QVERIFY(Local(QStringLiteral("petit.txt"), "petit"));
    QVERIFY(ShowLocalFolder(w, localFolder));
    QVERIFY(LogIn(w, *server));
    Tab(w).OlderOnServerBox()->setChecked(true);
    Tab(w).comparerClick();
    QCOMPARE(Sorted(Describe(Tab(w).Rows())),
             Sorted({"distant.bin=0:" + Gone, "garde.txt=0:" + Gone, "grand.bin=2:" + Missing,
                     "obsolete.bin=0:" + Gone, "perime.txt=0:" + Gone, "petit.txt=2:" + Missing,
                     "vieux.txt=2:" + DatesText(QStringLiteral("02/01/2004"), QStringLiteral("25/12/2003"))}));
    // distant.bin is fetched (0 -> 1 -> 2 -> 3), garde.txt left alone.
    QVERIFY(Select(w, {"distant.bin"}));
    for (int i = 0; i < 3; ++i)
        Tab(w).miseajourDblClick();
    QVERIFY(Select(w, {"garde.txt"}));
    Tab(w).miseajourDblClick();
    QVERIFY(Select(w, {}));

    // vieux.txt is on the site: the overwrite dialog is answered.
    // A click on the button while the run goes on does nothing.
    int busyRefusals = 0;
    bool clickedAgain = false;
    bool buttonGreyed = false;
    w.VexFtp1()->AddInfoListener([&](TVexFtp *, FtpInfo info, const QString &) {
        if (info == ftpiBusy)
            ++busyRefusals;
        if (info == ftpiProgress && !clickedAgain) {
            clickedAgain = true;
            buttonGreyed = !Tab(w).SpeedButton1()->isEnabled();
            Tab(w).SpeedButton1Click();
        }
    });
    confirmAnswers = {ctOverwrite};
    fx->prompter.QueueConfirm(true);
    Tab(w).SpeedButton1()->click();
    QVERIFY(ClientIdle(w));
    QVERIFY(w.Context().CurrentPage() == TPage::Explorer);

    // The site equals the local folder for the chosen actions.
    QCOMPARE(Entries(server->RootPath()),
             QStringList({"distant.bin", "dossier", "garde.txt", "grand.bin", "petit.txt", "vieux.txt"}));
    QVERIFY(ReadFile(RemotePath("grand.bin")) == big);
    QCOMPARE(ReadFile(RemotePath("petit.txt")), QByteArray("petit"));
    QCOMPARE(ReadFile(RemotePath("vieux.txt")), newer);
    QCOMPARE(ReadFile(RemotePath("garde.txt")), QByteArray("garde"));
    QVERIFY(ReadFile(localFolder + "distant.bin") == fetched);
    QVERIFY(ReadFile(RemotePath("distant.bin")) == fetched);
    // The remote list was listed afresh after the deletions.
    QCOMPARE(Sorted(RemoteCaptions(w)),
             QStringList({"distant.bin", "dossier", "garde.txt", "grand.bin", "petit.txt", "vieux.txt"}));
    // The local list read the folder again and shows the fetched file.
    QVERIFY(LocalListLoaded(w));
    QVERIFY(LocalCaptions(w).contains(QStringLiteral("distant.bin")));

    // On the server: every upload, then the download, then every deletion.
    // The server writes its log as it goes: the last lines may come late.
    QTRY_COMPARE_WITH_TIMEOUT(FileCommands(server->StandardError()).size(), 6, 3000);
    const QStringList commands = FileCommands(server->StandardError());
    QCOMPARE(Sorted(commands), Sorted({"STOR grand.bin", "STOR petit.txt", "STOR vieux.txt", "RETR distant.bin",
                                       "DELE obsolete.bin", "DELE perime.txt"}));
    const auto stores = Span(commands, QStringLiteral("STOR"));
    const auto fetches = Span(commands, QStringLiteral("RETR"));
    const auto deletes = Span(commands, QStringLiteral("DELE"));
    QVERIFY2(stores.second < fetches.first && fetches.second < deletes.first, qPrintable(commands.join(", ")));
    // None of the three was refused as busy.
    QCOMPARE(busyRefusals, 0);
    QVERIFY(clickedAgain);
    QVERIFY(buttonGreyed);
    QVERIFY(Tab(w).SpeedButton1()->isEnabled());
    QCOMPARE(fx->prompter.Asked().size(), 1);

    // A new comparison finds nothing left to do but the row kept aside
    // (the file fetched now is later than the site's copy: the date test
    // is left out).
    Tab(w).OlderOnServerBox()->setChecked(false);
    Tab(w).comparerClick();
    QCOMPARE(Describe(Tab(w).Rows()), QStringList({"garde.txt=0:" + Gone}));
}

QTEST_MAIN(TestUpdateTab)
#include "tst_updatetab.moc"
