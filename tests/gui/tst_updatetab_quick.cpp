// The tab "Mise à jour" on the quick explorer's side, against a real
// pyftpdlib server and a temporary local folder: the quick comparison of the
// main window's tab against a quick-explorer panel (the panel given to the
// tab as the quick tab's "comparer" button will give it), the date box that
// compares the panel's list again, the update question answered No, and a
// full update run through the panel: uploads, a fetch of the site's copy
// into the local folder for a row of action 3, deletions, checked by the
// panel's fresh listing, the bytes of every file and the order of the
// commands in the server's log.

#include "AppContext.h"
#include "ExplorerTab.h"
#include "GuiTestSupport.h"
#include "LocalFileList.h"
#include "MainWindow.h"
#include "PyFtpdServer.h"
#include "QuickExplorerTab.h"
#include "QuickFileModel.h"
#include "QuickListView.h"
#include "QuickTypes.h"
#include "TransferDisplay.h"
#include "UpdateTab.h"
#include "UpdateTestSite.h"
#include "ZEVudeDadaVAV.h"

#include <QCheckBox>
#include <QLocale>
#include <QProgressBar>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTimeZone>
#include <QTreeWidget>
#include <QtTest>

using namespace UpdateTest;

class TestUpdateTabQuick : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();

    void quickComparisonAndNo();
    void fullUpdateOnQuickPanel();
    void quickTabComparer();

private:
    std::unique_ptr<TZEVudeDadaVAV> MakePanel();
    bool ShowLocalFolder(TfrmMain &w) const;
    bool Local(const QString &name, const QByteArray &bytes, const QDateTime &when = {})
    {
        return WriteBytes(localFolder + name, bytes, when);
    }
    bool Remote(const QString &name, const QByteArray &bytes, const QDateTime &when = {})
    {
        return WriteBytes(RemotePath(name), bytes, when);
    }
    QString RemotePath(const QString &name) const { return QDir(server->RootPath()).filePath(name); }
    TUpdateTab &Tab(TfrmMain &w) const { return w.Update(); }
    bool Select(TfrmMain &w, const QStringList &names) const;

    QTemporaryDir home;
    std::unique_ptr<TShellFixture> fx;
    std::unique_ptr<PyFtpdServer> server;
    std::unique_ptr<QTemporaryDir> local;
    QString localFolder; // with its final "/"
    QStringList panelMessages;
    int panelChanges = 0;
};

void TestUpdateTabQuick::initTestCase()
{
    IsolateUserFolders(home);
    // The program speaks French whatever the system's locale (dates too).
    QLocale::setDefault(QLocale(QLocale::French, QLocale::France));
}

void TestUpdateTabQuick::init()
{
    fx = std::make_unique<TShellFixture>();
    local = std::make_unique<QTemporaryDir>();
    localFolder = QDir(local->path()).canonicalPath() + QLatin1Char('/');
    panelMessages.clear();
    panelChanges = 0;
    if (PyFtpdServer::Available()) {
        server = std::make_unique<PyFtpdServer>();
        server->SetVerbose(true);
    }
}

void TestUpdateTabQuick::cleanup()
{
    if (QTest::currentTestFailed() && server)
        qWarning().noquote() << server->StandardError();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    server.reset();
    local.reset();
    fx.reset();
}

#define START_SERVER()                                                                                             \
    if (!server || !server->Start())                                                                               \
    QSKIP(server ? qPrintable(server->ErrorString()) : PyFtpdServer::UnavailableMessage())

bool TestUpdateTabQuick::ShowLocalFolder(TfrmMain &w) const
{
    return w.Context().SelectLocalFolder(localFolder)
        && QTest::qWaitFor([&] { return w.Explorer().Files()->Loaded(); }, 5000);
}

bool TestUpdateTabQuick::Select(TfrmMain &w, const QStringList &names) const
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

std::unique_ptr<TZEVudeDadaVAV> TestUpdateTabQuick::MakePanel()
{
    auto panel = std::make_unique<TZEVudeDadaVAV>();
    panel->OnDisplayMessage = [this](QObject *, const QString &text, bool) { panelMessages << text; };
    panel->OnChange = [this](QObject *) { ++panelChanges; };
    panel->Loaded();
    panel->SetFTPOptions(TdoOptions(doAllowDelete | doAllowDownload | doAllowNewFolder | doAllowRename
                                    | doAllowUpload | doDisplayProgress));
    panel->SetTransferType(ttBinary);
    panel->SetHostName(server->Host());
    panel->SetPort(server->Port());
    panel->SetLoginName(QLatin1String(PyFtpdServer::DefaultUser));
    panel->SetPassword(QLatin1String(PyFtpdServer::DefaultPassword));
    return panel;
}


void TestUpdateTabQuick::quickComparisonAndNo()
{
    if (!server)
        QSKIP(PyFtpdServer::UnavailableMessage());
    QVERIFY(QDir(server->RootPath()).mkdir(QStringLiteral("dossier")));
    QVERIFY(Remote(QStringLiteral("noel.txt"), "r", QDateTime(QDate(2003, 12, 25), QTime(12, 0), QTimeZone::utc())));
    QVERIFY(Remote(QStringLiteral("seul.txt"), "s"));
    START_SERVER();
    TfrmMain w;
    QVERIFY(Local(QStringLiteral("noel.txt"), "l", QDateTime(QDate(2003, 12, 27), QTime(9, 0))));
    QVERIFY(Local(QStringLiteral("ici.txt"), "i"));
    QVERIFY(ShowLocalFolder(w));
    std::unique_ptr<TZEVudeDadaVAV> panel = MakePanel();
    QVERIFY(panel->Connect());
    QVERIFY(panel->RowCount() > 0);

    Tab(w).ToolButton33Click(*panel);
    QVERIFY(w.Context().QuickExplorerActive());
    QCOMPARE(Tab(w).QuickPanel(), panel.get());
    QVERIFY(w.Context().CurrentPage() == TPage::Update);
    QVERIFY(Tab(w).OlderOnServerBox()->isEnabled());
    QCOMPARE(Describe(Tab(w).Rows()), QStringList({"ici.txt=2:" + Missing, "seul.txt=0:" + Gone}));

    // The date box, clicked, compares the quick list again, with its dates.
    Tab(w).OlderOnServerBox()->click();
    QVERIFY(w.Context().QuickExplorerActive());
    QCOMPARE(Describe(Tab(w).Rows()),
             QStringList({"ici.txt=2:" + Missing,
                          "noel.txt=2:" + DatesText(QStringLiteral("27/12/2003"), QStringLiteral("25/12/2003")),
                          "seul.txt=0:" + Gone}));

    TTransferDisplay *display = w.Explorer().TransferDisplay();
    QSignalSpy rereads(&w.Context(), &TAppContext::LocalFolderChanged);
    const int changes = panelChanges;
    fx->prompter.QueueConfirm(false);
    Tab(w).SpeedButton1Click();
    QCOMPARE(fx->prompter.Asked().last().text, Question);
    QVERIFY(w.Context().CurrentPage() == TPage::QuickExplorer);
    QVERIFY(!display->ProgressBar()->isHidden());
    QCOMPARE(rereads.size(), 1);
    // The quick listing is refreshed, and nothing is sent.
    QCOMPARE(panelChanges, changes + 1);
    QVERIFY(FileCommands(server->StandardError()).isEmpty());
    QCOMPARE(FolderEntries(server->RootPath()), QStringList({"dossier", "noel.txt", "seul.txt"}));
    QCOMPARE(FolderEntries(localFolder), QStringList({"ici.txt", "noel.txt"}));
}

void TestUpdateTabQuick::fullUpdateOnQuickPanel()
{
    if (!server)
        QSKIP(PyFtpdServer::UnavailableMessage());
    const QDateTime remoteDay(QDate(2003, 12, 25), QTime(12, 0), QTimeZone::utc());
    const QByteArray siteCopy = Bytes(300 * 1024 + 1, 7);
    QVERIFY(QDir(server->RootPath()).mkdir(QStringLiteral("dossier")));
    QVERIFY(Remote(QStringLiteral("vieux.txt"), "ancienne version", remoteDay));
    QVERIFY(Remote(QStringLiteral("perime.txt"), "a supprimer", remoteDay));
    QVERIFY(Remote(QStringLiteral("obsolete.bin"), "a supprimer aussi", remoteDay));
    QVERIFY(Remote(QStringLiteral("garde.txt"), "garde", remoteDay));
    QVERIFY(Remote(QStringLiteral("recup.bin"), siteCopy, remoteDay));
    START_SERVER();
    TfrmMain w;
    const QByteArray big = Bytes(1024 * 1024 + 9, 8);
    const QByteArray newer = "nouvelle version\r\n";
    const QDateTime localDay(QDate(2004, 1, 2), QTime(9, 0));
    QVERIFY(Local(QStringLiteral("vieux.txt"), newer, localDay));
    QVERIFY(Local(QStringLiteral("recup.bin"), "copie locale", localDay));
    QVERIFY(Local(QStringLiteral("grand.bin"), big));
    QVERIFY(Local(QStringLiteral("petit.txt"), "petit"));
    QVERIFY(ShowLocalFolder(w));
    std::unique_ptr<TZEVudeDadaVAV> panel = MakePanel();
    QVERIFY(panel->Connect());

    Tab(w).OlderOnServerBox()->setChecked(true);
    Tab(w).ToolButton33Click(*panel);
    const QString dates = DatesText(QStringLiteral("02/01/2004"), QStringLiteral("25/12/2003"));
    QCOMPARE(Sorted(Describe(Tab(w).Rows())),
             Sorted({"garde.txt=0:" + Gone, "grand.bin=2:" + Missing, "obsolete.bin=0:" + Gone,
                     "perime.txt=0:" + Gone, "petit.txt=2:" + Missing, "recup.bin=2:" + dates,
                     "vieux.txt=2:" + dates}));
    // The site's copy of recup.bin is wanted here (2 -> 3); garde.txt stays
    // on the site (0 -> 1).
    QVERIFY(Select(w, {"recup.bin"}));
    Tab(w).miseajourDblClick();
    QVERIFY(Select(w, {"garde.txt"}));
    Tab(w).miseajourDblClick();
    QVERIFY(Select(w, {}));

    // The update question, then the panel's own question before it
    // replaces the local recup.bin.
    fx->prompter.QueueConfirm(true);
    fx->prompter.QueueConfirm(true);
    Tab(w).SpeedButton1Click();
    QVERIFY(w.Context().CurrentPage() == TPage::QuickExplorer);
    QVERIFY(!panel->Busy());
    QCOMPARE(fx->prompter.Asked().size(), 2);
    QCOMPARE(fx->prompter.Asked().at(0).text, Question);
    QVERIFY2(fx->prompter.Asked().at(1).text.contains(localFolder + "recup.bin"),
             qPrintable(fx->prompter.Asked().at(1).text));

    QCOMPARE(FolderEntries(server->RootPath()),
             QStringList({"dossier", "garde.txt", "grand.bin", "petit.txt", "recup.bin", "vieux.txt"}));
    QVERIFY(ReadBytes(RemotePath("grand.bin")) == big);
    QCOMPARE(ReadBytes(RemotePath("petit.txt")), QByteArray("petit"));
    QCOMPARE(ReadBytes(RemotePath("vieux.txt")), newer);
    QCOMPARE(ReadBytes(RemotePath("garde.txt")), QByteArray("garde"));
    // Action 3 fetched the site's copy into the local folder; nothing was
    // sent over the site's copy.
    QVERIFY(ReadBytes(localFolder + "recup.bin") == siteCopy);
    QVERIFY(ReadBytes(RemotePath("recup.bin")) == siteCopy);
    // The panel's fresh listing shows the site as it is now.
    QStringList captions;
    for (const TQuickFileRow &row : panel->Rows())
        captions << row.Caption;
    QCOMPARE(Sorted(captions),
             QStringList({"dossier", "garde.txt", "grand.bin", "petit.txt", "recup.bin", "vieux.txt"}));

    // The server writes its log as it goes: the last lines may come late.
    QTRY_COMPARE_WITH_TIMEOUT(FileCommands(server->StandardError()).size(), 6, 3000);
    const QStringList commands = FileCommands(server->StandardError());
    QCOMPARE(Sorted(commands), Sorted({"STOR grand.bin", "STOR petit.txt", "STOR vieux.txt", "RETR recup.bin",
                                       "DELE obsolete.bin", "DELE perime.txt"}));
    const auto stores = Span(commands, QStringLiteral("STOR"));
    const auto fetches = Span(commands, QStringLiteral("RETR"));
    const auto deletes = Span(commands, QStringLiteral("DELE"));
    QVERIFY2(stores.second < fetches.first && fetches.second < deletes.first, qPrintable(commands.join(", ")));
    QVERIFY(!panelMessages.contains(QStringLiteral("Téléchargement du fichier en cours!")));
}

QTEST_MAIN(TestUpdateTabQuick)
// The quick tab's own "comparer" button, in a window as it starts: the
// comparison runs against the window's quick panel.
void TestUpdateTabQuick::quickTabComparer()
{
    if (!server)
        QSKIP(PyFtpdServer::UnavailableMessage());
    QVERIFY(Remote(QStringLiteral("seul.txt"), "s"));
    START_SERVER();
    TfrmMain w;
    QVERIFY(Local(QStringLiteral("ici.txt"), "i"));
    QVERIFY(ShowLocalFolder(w));
    TZEVudeDadaVAV *own = w.QuickExplorer().ZEVudeDadaVAV1();
    own->SetHostName(server->Host());
    own->SetPort(server->Port());
    own->SetLoginName(QLatin1String(PyFtpdServer::DefaultUser));
    own->SetPassword(QLatin1String(PyFtpdServer::DefaultPassword));
    QVERIFY(own->Connect());
    QVERIFY(own->RowCount() > 0);

    w.QuickExplorer().ToolButton33()->trigger();
    QCOMPARE(Tab(w).QuickPanel(), own);
    QVERIFY(w.Context().CurrentPage() == TPage::Update);
    QCOMPARE(Describe(Tab(w).Rows()), QStringList({"ici.txt=2:" + Missing, "seul.txt=0:" + Gone}));
}

#include "tst_updatetab_quick.moc"
