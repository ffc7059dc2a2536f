// The quick-explorer tab of the main window against a real pyftpdlib server:
// its layout and the panel as the window places it, what the tab shows of
// the panel's messages and progress (status bar, progress controls,
// caption), the synchronisation of the local folder with double clicks, the
// folder pane while synchronising, the view buttons, saving the panel's log,
// the profile applied to the panel with its port errors, the connection
// buttons on this tab, and the hand-over of the connection between the two
// explorers (logins counted on the server). Questions are answered through
// the scripted prompter.

#include "ExplorerTestSite.h"

#include "DialUpBackend.h"
#include "FileTypeNames.h"
#include "FtpTreeView.h"
#include "PanelBar.h"
#include "QuickExplorerTab.h"
#include "QuickFileModel.h"
#include "QuickListView.h"
#include "QuickPanelTexts.h"
#include "ScriptedDialUpBackend.h"
#include "ZEVudeDadaVAV.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QMenu>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QSignalSpy>
#include <QTabWidget>
#include <QToolBar>

using namespace ExplorerTest;

namespace {
const QString SiteName = QStringLiteral("Site de test");

TZEVudeDadaVAV *Panel(const TfrmMain &w)
{
    return w.QuickExplorer().ZEVudeDadaVAV1();
}

QString StatusText(const TfrmMain &w, int index)
{
    return w.QuickExplorer().StatusBar2()->Panel(index)->text();
}

QStringList PanelCaptions(const TfrmMain &w)
{
    QStringList captions;
    for (const TQuickFileRow &row : Panel(w)->Rows())
        captions << row.Caption;
    return captions;
}

// The progress label, bar and speed label, shown or not (as their tab
// would show them).
bool ProgressShown(const TfrmMain &w)
{
    const TQuickExplorerTab &tab = w.QuickExplorer();
    const bool label = !tab.progression()->isHidden();
    const bool bar = !tab.ProgressBar2()->isHidden();
    const bool rate = !tab.debit()->isHidden();
    return label && bar && rate;
}

bool ProgressHidden(const TfrmMain &w)
{
    const TQuickExplorerTab &tab = w.QuickExplorer();
    return tab.progression()->isHidden() && tab.ProgressBar2()->isHidden() && tab.debit()->isHidden();
}

void FillEditor(TfrmMain &w, const PyFtpdServer &server, const QString &port = {})
{
    Find<QLineEdit>(w, "connect")->setText(SiteName);
    Find<QLineEdit>(w, "HostTxt")->setText(server.Host());
    Find<QLineEdit>(w, "PortTxt")->setText(port.isNull() ? QString::number(server.Port()) : port);
    Find<QLineEdit>(w, "UserTxt")->setText(QLatin1String(PyFtpdServer::DefaultUser));
    Find<QLineEdit>(w, "PassTxt")->setText(QLatin1String(PyFtpdServer::DefaultPassword));
    Find<QLineEdit>(w, "defaurep")->setText(QStringLiteral("/"));
}

// A double click on the panel's file list row of caption, as the window
// system delivers it (a click, then the double click).
void DoubleClick(const TfrmMain &w, const QString &caption)
{
    const int row = int(PanelCaptions(w).indexOf(caption));
    QVERIFY2(row >= 0, qPrintable(caption));
    QAbstractItemView *view = Panel(w)->FileList()->ItemView();
    const QPoint where = view->visualRect(Panel(w)->FileListModel()->index(row, 0)).center();
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, where);
    QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, where);
}
}

class TestQuickTab : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();

    void layoutAndPanel();
    void displayMessage_data();
    void displayMessage();
    void displayProgress_data();
    void displayProgress();
    void transferShowsProgress();
    void viewButtons();
    void synchroniseDisablesFolderPane();
    void doubleClickSynchronises();
    void saveStatus();
    void saveStatusRefusedOrCancelled();
    void portConversionError_data();
    void portConversionError();
    void missingHostRaised();
    void connectionButtonsOnThisTab();
    void handOverBothWays();
    void handOverWithBadPort();
    void folderUploadHandsOver();

private:
    bool StartServer();
    // Logins the server has accepted so far.
    int Logins() const;
    // Waits for count logins, then makes sure no further one follows.
    bool LoginsSettleAt(int count);
    // On the quick tab with the client idle, "Connexion" connects the panel.
    bool ConnectPanel(TfrmMain &w);
    QTabWidget *Tabs(const TfrmMain &w) const { return Find<QTabWidget>(w, "PageControl1"); }

    QTemporaryDir home;
    std::unique_ptr<TShellFixture> fx;
    std::unique_ptr<PyFtpdServer> server;
    std::unique_ptr<QTemporaryDir> local;
    QString localFolder; // with its final "/"
};

void TestQuickTab::initTestCase()
{
    IsolateUserFolders(home);
    QLocale::setDefault(QLocale(QLocale::French, QLocale::France));
}

void TestQuickTab::init()
{
    fx = std::make_unique<TShellFixture>();
    SetDialUpBackendFactory([] { return std::make_unique<TScriptedDialUpBackend>(); });
    local = std::make_unique<QTemporaryDir>();
    localFolder = QDir(local->path()).canonicalPath() + QLatin1Char('/');
}

void TestQuickTab::cleanup()
{
    if (QTest::currentTestFailed() && server)
        qWarning().noquote() << server->StandardError();
    SetDialUpBackendFactory({});
    server.reset();
    local.reset();
    fx.reset();
}

bool TestQuickTab::StartServer()
{
    if (!PyFtpdServer::Available())
        return false;
    server = std::make_unique<PyFtpdServer>();
    // Every login is written on the server's log, where the tests count them.
    server->SetVerbose(true);
    const QDir root(server->RootPath());
    return root.mkpath(QStringLiteral("pub/linux/noyau")) && root.mkpath(QStringLiteral("docs/sub"))
        && WriteFile(root.filePath(QStringLiteral("pub/linux/lisezmoi.txt")), "Bienvenue\r\n")
        && WriteFile(root.filePath(QStringLiteral("pub/linux/image.iso")), RandomBytes(40000, 3))
        && WriteFile(root.filePath(QStringLiteral("docs/guide.txt")), "guide\r\n")
        && WriteFile(root.filePath(QStringLiteral("notes.txt")), "notes\r\n") && server->Start();
}

#define START_SERVER()                                                                                         \
    do {                                                                                                       \
        if (!StartServer())                                                                                    \
            QSKIP(server ? qPrintable(server->ErrorString()) : PyFtpdServer::UnavailableMessage());            \
    } while (false)

int TestQuickTab::Logins() const
{
    return int(server->StandardError().count("logged in."));
}

bool TestQuickTab::LoginsSettleAt(int count)
{
    if (!QTest::qWaitFor([&] { return Logins() >= count; }, WaitMs))
        return false;
    QTest::qWait(300);
    return Logins() == count;
}

bool TestQuickTab::ConnectPanel(TfrmMain &w)
{
    FillEditor(w, *server);
    Tabs(w)->setCurrentWidget(&w.QuickExplorer());
    Action(w, "ToolButton1")->trigger();
    return Panel(w)->Connected();
}

// ---------------------------------------------------------------------------

void TestQuickTab::layoutAndPanel()
{
    TfrmMain w;
    const TQuickExplorerTab &tab = w.QuickExplorer();
    QCOMPARE(tab.objectName(), QStringLiteral("TabSheet2"));
    QCOMPARE(Tabs(w)->tabText(Tabs(w)->indexOf(&w.QuickExplorer())), QStringLiteral("    Explorateur &rapide"));
    QVERIFY(Find<QLabel>(w, "Image3"));

    // The tool bar, in its order.
    QCOMPARE(tab.synch2()->text(), QStringLiteral("Synchroniser les répertoires"));
    QCOMPARE(tab.synch2()->toolTip(), QStringLiteral("Synchroniser les répertoires"));
    QVERIFY(!tab.synch2()->isChecked());
    QCOMPARE(tab.ToolButton33()->text(), QStringLiteral("comparer"));
    QCOMPARE(tab.ToolButton33()->toolTip(), QStringLiteral("Comparer les fichiers"));
    QVERIFY(tab.ToolButton33()->isEnabled());
    auto *bar = Find<QToolBar>(w, "ToolBar4");
    QStringList texts;
    for (QAction *action : bar->actions())
        if (!action->isSeparator() && !action->text().isEmpty())
            texts << action->text();
    QCOMPARE(texts, (QStringList{"comparer", "Grandes icones", "Liste", "Détails", "Export Excel",
                                 "Imprimer le site distant"}));
    QCOMPARE(tab.ToolButton35()->objectName(), QStringLiteral("ToolButton35"));
    QCOMPARE(tab.ToolButton36()->objectName(), QStringLiteral("ToolButton36"));
    QCOMPARE(tab.ToolButton37()->objectName(), QStringLiteral("ToolButton37"));
    QVERIFY(tab.replocal1()->text().startsWith(QStringLiteral("Répertoire local en cours: ")));

    // The export and print buttons run the main menu's items.
    QSignalSpy exported(Action(w, "ExporterversExcel1"), &QAction::triggered);
    QSignalSpy printed(Action(w, "Imprimerlesitedistant1"), &QAction::triggered);
    tab.ExportExcel()->trigger();
    tab.ImprimerSite()->trigger();
    QCOMPARE(exported.count(), 1);
    QCOMPARE(printed.count(), 1);

    // The panel as the main window places it.
    TZEVudeDadaVAV *panel = Panel(w);
    QCOMPARE(panel->objectName(), QStringLiteral("ZEVudeDadaVAV1"));
    QCOMPARE(panel->parentWidget(), &w.QuickExplorer());
    QVERIFY(panel->Active());
    QVERIFY(panel->acceptDrops());
    QCOMPARE(panel->LoginName(), QStringLiteral("anonymous"));
    QCOMPARE(panel->TransferType(), ttBinary);
    QVERIFY(panel->Passive());
    QCOMPARE(panel->FTPOptions(), TdoOptions(doAllowDelete | doAllowDownload | doAllowNewFolder | doAllowRename
                                             | doAllowUpload | doDisplayProgress | doShowHourglass));
    QVERIFY(!panel->MenuItem(QStringLiteral("TypedeTransfert"))->isVisible());
    // The downloads folder, from start-up on and when it changes.
    QCOMPARE(panel->Repertoiretele(), Find<QLineEdit>(w, "tele")->text());
    QVERIFY(!panel->Repertoiretele().isEmpty());
    Find<QLineEdit>(w, "tele")->setText(localFolder);
    QCOMPARE(panel->Repertoiretele(), localFolder);
    // The main tool bar's lists reach the panel.
    auto *ascii = Find<QComboBox>(w, "asciimode");
    ascii->setCurrentIndex(1);
    emit ascii->activated(1);
    QCOMPARE(panel->TransferType(), ttASCII);
    ascii->setCurrentIndex(0);
    emit ascii->activated(0);
    QCOMPARE(panel->TransferType(), ttBinary);
    auto *mode = Find<QComboBox>(w, "Transfertype");
    mode->setCurrentIndex(1);
    emit mode->activated(1);
    QVERIFY(!panel->Passive());

    // Progress controls hidden at start; the bar from 0 to 100.
    QVERIFY(ProgressHidden(w));
    QCOMPARE(tab.progression()->text(), QStringLiteral("Progression : "));
    QCOMPARE(tab.debit()->text(), QStringLiteral("Débit :"));
    QCOMPARE(tab.ProgressBar2()->minimum(), 0);
    QCOMPARE(tab.ProgressBar2()->maximum(), 100);

    // The status bar: the panel's first message has replaced "Satus:".
    QCOMPARE(StatusText(w, 0), QStringLiteral("Non connecté"));
    QCOMPARE(StatusText(w, 1), QStringLiteral("Non connecté"));
    QCOMPARE(panel->LogLines(), QStringList{"Non connecté"});
    // The log's pop-up holds "&Sauvegarder le status" from start-up.
    QCOMPARE(panel->LogPopupMenu()->actions(), QList<QAction *>{tab.Sauvegarderlestatus2()});
    QCOMPARE(tab.Sauvegarderlestatus2()->text(), QStringLiteral("&Sauvegarder le status"));
}

void TestQuickTab::displayMessage_data()
{
    QTest::addColumn<QString>("message");
    QTest::addColumn<bool>("isError");
    QTest::addColumn<bool>("shownBefore");
    QTest::addColumn<bool>("statusChanges");
    QTest::addColumn<bool>("shownAfter");

    QTest::newRow("listing under way") << "Transfert de données en cours: /pub" << false << false << false << true;
    QTest::newRow("listing complete")
        << "Transfert de données complété: (12 bytes de 1 files)" << false << true << false << false;
    QTest::newRow("copy under way") << "Copie en cours \"a.txt\"" << false << false << false << true;
    QTest::newRow("busy refusal") << "Téléchargement du fichier en cours!" << false << false << false << true;
    QTest::newRow("upload complete keeps them") << "Téléchargement complet" << false << true << false << true;
    QTest::newRow("not connected") << "Non connecté" << false << false << true << false;
    QTest::newRow("logged in") << "velmar connecté à 127.0.0.1" << false << false << true << false;
    QTest::newRow("connecting (capital)")
        << "Connecté à 127.0.0.1 en qualité de velmar" << false << false << false << false;
    QTest::newRow("disconnected") << "velmar déconnecté de 127.0.0.1" << false << true << true << true;
    QTest::newRow("disconnecting") << "Déconnexion de 127.0.0.1" << false << false << false << false;
    QTest::newRow("error, as information") << "550 Permission denied." << true << true << false << true;
    QTest::newRow("error under way") << "Transfert en cours refusé" << true << false << false << true;
}

void TestQuickTab::displayMessage()
{
    QFETCH(QString, message);
    QFETCH(bool, isError);
    QFETCH(bool, shownBefore);
    QFETCH(bool, statusChanges);
    QFETCH(bool, shownAfter);

    TfrmMain w;
    TQuickExplorerTab &tab = w.QuickExplorer();
    Find<QLineEdit>(w, "connect")->setText(QStringLiteral("Mon site"));
    w.setWindowTitle(QStringLiteral("autre"));
    tab.StatusBar2()->SetPanelText(0, QStringLiteral("avant"));
    if (shownBefore) {
        tab.ZEVudeDadaVAV1DisplayMessage(QStringLiteral("Transfert de données en cours: /"), false);
        tab.ZEVudeDadaVAV1DisplayProgress(300, 1000, 512);
        QVERIFY(ProgressShown(w));
    }
    tab.StatusBar2()->SetPanelText(0, QStringLiteral("avant"));

    tab.ZEVudeDadaVAV1DisplayMessage(message, isError);
    QCOMPARE(StatusText(w, 1), message);
    QCOMPARE(StatusText(w, 0), statusChanges ? message : QStringLiteral("avant"));
    QCOMPARE(ProgressShown(w), shownAfter);
    QCOMPARE(ProgressHidden(w), !shownAfter);
    if (message.contains(QStringLiteral("complété"))) {
        // Hidden, the bar back at 0, the speed emptied.
        QCOMPARE(tab.ProgressBar2()->value(), 0);
        QCOMPARE(tab.debit()->text(), QString());
    } else if (shownBefore) {
        QCOMPARE(tab.ProgressBar2()->value(), 300);
        QCOMPARE(tab.debit()->text(), QStringLiteral("Débit :512Bytes/s"));
    }
    // Every message sets the caption from the profile's name.
    QCOMPARE(w.windowTitle(), QStringLiteral("Velmar : Mon site"));
}

void TestQuickTab::displayProgress_data()
{
    QTest::addColumn<qint64>("done");
    QTest::addColumn<qint64>("total");
    QTest::addColumn<qint64>("speed");
    QTest::addColumn<int>("maximum");
    QTest::addColumn<int>("position");
    QTest::addColumn<QString>("rate");

    QTest::newRow("half") << qint64(500000) << qint64(1000000) << qint64(250000) << 1000000 << 500000
                          << "Débit :250000Bytes/s";
    QTest::newRow("done") << qint64(4096) << qint64(4096) << qint64(0) << 4096 << 4096 << "Débit :0Bytes/s";
    // Past the bar's int range both sizes are counted in the same larger
    // units: 5 GB in units of 4 bytes.
    QTest::newRow("5 GB file") << qint64(2500000000) << qint64(5000000000) << qint64(104857600) << 1250000000
                               << 625000000 << "Débit :104857600Bytes/s";
    QTest::newRow("2 GiB exactly") << qint64(1) << qint64(2147483648) << qint64(1) << 1073741824 << 0
                                   << "Débit :1Bytes/s";
    // An unknown size shows an empty bar, not the busy animation.
    QTest::newRow("unknown size") << qint64(0) << qint64(0) << qint64(10) << 100 << 0 << "Débit :10Bytes/s";
    QTest::newRow("done past the size") << qint64(900) << qint64(800) << qint64(5) << 800 << 800 << "Débit :5Bytes/s";
}

void TestQuickTab::displayProgress()
{
    QFETCH(qint64, done);
    QFETCH(qint64, total);
    QFETCH(qint64, speed);
    QFETCH(int, maximum);
    QFETCH(int, position);
    QFETCH(QString, rate);

    TfrmMain w;
    TQuickExplorerTab &tab = w.QuickExplorer();
    tab.ZEVudeDadaVAV1DisplayProgress(done, total, speed);
    QCOMPARE(tab.ProgressBar2()->minimum(), 0);
    QCOMPARE(tab.ProgressBar2()->maximum(), maximum);
    QCOMPARE(tab.ProgressBar2()->value(), position);
    QCOMPARE(tab.debit()->text(), rate);
}

void TestQuickTab::transferShowsProgress()
{
    START_SERVER();
    const QByteArray data = RandomBytes(600 * 1024, 11);
    QVERIFY(WriteFile(localFolder + QStringLiteral("envoi.bin"), data));
    TfrmMain w;
    QVERIFY(ConnectPanel(w));
    QCOMPARE(PanelCaptions(w), (QStringList{"docs", "pub", "notes.txt"}));
    // Logged in, listed: the status says so, the progress controls are gone.
    QCOMPARE(StatusText(w, 0), QStringLiteral("velmar connecté à 127.0.0.1"));
    QCOMPARE(StatusText(w, 1), QStringLiteral("Transfert de données complété: (7 bytes de 1 files)"));
    QVERIFY(ProgressHidden(w));
    QCOMPARE(w.windowTitle(), QStringLiteral("Velmar : ") + SiteName);

    // An upload on the worker: the bar follows the file to its end, the
    // controls show while it runs and go with the new listing.
    TQuickExplorerTab &tab = w.QuickExplorer();
    QStringList shownWhile;
    bool reachedEnd = false;
    QObject::connect(tab.ProgressBar2(), &QProgressBar::valueChanged, &tab, [&](int value) {
        if (ProgressShown(w))
            shownWhile << tab.debit()->text();
        reachedEnd = reachedEnd
                     || (value == int(data.size()) && tab.ProgressBar2()->maximum() == int(data.size()));
    });
    QVERIFY(Panel(w)->UploadFiles(localFolder + QStringLiteral("envoi.bin\r\n"), true));
    QCOMPARE(ReadFile(server->RootPath() + QStringLiteral("/envoi.bin")), data);
    QVERIFY(reachedEnd);
    QVERIFY(!shownWhile.isEmpty());
    QVERIFY(shownWhile.last().startsWith(QStringLiteral("Débit :")));
    QVERIFY(shownWhile.last().endsWith(QStringLiteral("Bytes/s")));
    QVERIFY(ProgressHidden(w));
    QCOMPARE(tab.ProgressBar2()->value(), 0);
    QCOMPARE(StatusText(w, 1), QStringLiteral("Transfert de données complété: (614\u202f407 bytes de 2 files)"));
    QVERIFY(PanelCaptions(w).contains(QStringLiteral("envoi.bin")));

    // Stop ends the panel's connection and hides the controls.
    tab.ZEVudeDadaVAV1DisplayMessage(QStringLiteral("Transfert de données en cours: /"), false);
    QVERIFY(ProgressShown(w));
    Action(w, "ToolButton10")->trigger();
    QVERIFY(!Panel(w)->Connected());
    QVERIFY(ProgressHidden(w));
    QCOMPARE(StatusText(w, 0), QStringLiteral("velmar déconnecté de 127.0.0.1"));
}

void TestQuickTab::viewButtons()
{
    TfrmMain w;
    TQuickExplorerTab &tab = w.QuickExplorer();
    TZEVudeDadaVAV *panel = Panel(w);
    QCOMPARE(panel->ViewStyle(), qvsReport);
    const struct {
        QAction *button;
        TQuickViewStyle style;
        const char *item;
    } cases[] = {{tab.ToolButton35(), qvsIcon, "Grandesicones"},
                 {tab.ToolButton36(), qvsList, "Liste"},
                 {tab.ToolButton37(), qvsReport, "Details"}};
    for (const auto &c : cases) {
        c.button->trigger();
        QCOMPARE(panel->ViewStyle(), c.style);
        QCOMPARE(panel->FileList()->ViewStyle(), c.style);
        QVERIFY(panel->MenuItem(QLatin1String(c.item))->isChecked());
    }
    // The folder pane keeps its own style.
    QCOMPARE(panel->FolderPane()->ViewStyle(), qvsSmallIcon);
}

void TestQuickTab::synchroniseDisablesFolderPane()
{
    TfrmMain w;
    TQuickExplorerTab &tab = w.QuickExplorer();
    QVERIFY(Panel(w)->FolderPane()->isEnabled());
    tab.synch2()->click();
    QVERIFY(tab.synch2()->isChecked());
    QVERIFY(!Panel(w)->FolderPane()->isEnabled());
    // The file list stays usable.
    QVERIFY(Panel(w)->FileList()->isEnabled());
    tab.synch2()->click();
    QVERIFY(!tab.synch2()->isChecked());
    QVERIFY(Panel(w)->FolderPane()->isEnabled());
}

void TestQuickTab::doubleClickSynchronises()
{
    START_SERVER();
    QVERIFY(QDir(localFolder).mkpath(QStringLiteral("docs")));
    TfrmMain w;
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    QVERIFY(ShowLocalFolder(w, localFolder));
    QVERIFY(ConnectPanel(w));
    TQuickExplorerTab &tab = w.QuickExplorer();
    tab.synch2()->click();

    // docs, a folder: the local tree selects docs in the local folder.
    QCOMPARE(Panel(w)->Row(int(PanelCaptions(w).indexOf(QStringLiteral("docs")))).TypeText, QuickFolderTypeName());
    DoubleClick(w, QStringLiteral("docs"));
    QCOMPARE(Panel(w)->CurrentFolder(), QStringLiteral("/docs"));
    QCOMPARE(w.Context().LocalFolder(), localFolder + QStringLiteral("docs/"));
    QVERIFY(LocalListLoaded(w));

    // "..": the local folder goes up too.
    DoubleClick(w, QStringLiteral(".."));
    QCOMPARE(Panel(w)->CurrentFolder(), QStringLiteral("/"));
    QCOMPARE(w.Context().LocalFolder(), localFolder);

    // A file: the panel asks where to save it (cancelled here); the local
    // folder stays.
    DoubleClick(w, QStringLiteral("notes.txt"));
    QCOMPARE(fx->prompter.Asked().size(), 1);
    QCOMPARE(fx->prompter.Asked().first().kind, QStringLiteral("save"));
    QCOMPARE(w.Context().LocalFolder(), localFolder);

    // A folder with no local counterpart leaves the local folder as it is.
    DoubleClick(w, QStringLiteral("docs"));
    QCOMPARE(w.Context().LocalFolder(), localFolder + QStringLiteral("docs/"));
    DoubleClick(w, QStringLiteral("sub"));
    QCOMPARE(Panel(w)->CurrentFolder(), QStringLiteral("/docs/sub"));
    QCOMPARE(w.Context().LocalFolder(), localFolder + QStringLiteral("docs/"));

    // Without synchronisation the local folder stays where it is.
    tab.synch2()->click();
    DoubleClick(w, QStringLiteral(".."));
    QCOMPARE(Panel(w)->CurrentFolder(), QStringLiteral("/docs"));
    QCOMPARE(w.Context().LocalFolder(), localFolder + QStringLiteral("docs/"));

    // At the local root, ".." leaves the local folder where it is.
    tab.synch2()->click();
    QVERIFY(ShowLocalFolder(w, QStringLiteral("/")));
    DoubleClick(w, QStringLiteral(".."));
    QCOMPARE(Panel(w)->CurrentFolder(), QStringLiteral("/"));
    QCOMPARE(w.Context().LocalFolder(), QStringLiteral("/"));
}

void TestQuickTab::saveStatus()
{
    TfrmMain w;
    TQuickExplorerTab &tab = w.QuickExplorer();
    tab.ZEVudeDadaVAV1()->DisplayInfo(QStringLiteral("Déconnexion de hôte é"));
    const QStringList lines = Panel(w)->LogLines();
    QCOMPARE(lines, (QStringList{"Non connecté", "Déconnexion de hôte é"}));
    const QString path = localFolder + QStringLiteral("journal.txt");
    QVERIFY(WriteFile(path, "ancien contenu plus long que le nouveau\r\n"));
    fx->prompter.QueuePath(path);
    tab.Sauvegarderlestatus2()->trigger();
    QCOMPARE(fx->prompter.Asked().size(), 1);
    const TPromptRecord asked = fx->prompter.Asked().first();
    QCOMPARE(asked.kind, QStringLiteral("save"));
    QCOMPARE(asked.caption, QStringLiteral("Enregistrer"));
    QCOMPARE(asked.value, QStringLiteral("Status1.txt"));
    QCOMPARE(ReadFile(path), QStringLiteral("Non connecté\r\nDéconnexion de hôte é\r\n").toUtf8());

    // The next save proposes "Status1.txt" again, not the last name.
    fx->prompter.Clear();
    tab.Sauvegarderlestatus2()->trigger();
    QCOMPARE(fx->prompter.Asked().size(), 1);
    QCOMPARE(fx->prompter.Asked().first().value, QStringLiteral("Status1.txt"));
}

void TestQuickTab::saveStatusRefusedOrCancelled()
{
    TfrmMain w;
    TQuickExplorerTab &tab = w.QuickExplorer();
    // Cancelled: nothing written.
    tab.Sauvegarderlestatus2()->trigger();
    QCOMPARE(fx->prompter.Asked().size(), 1);
    QVERIFY(Entries(localFolder).isEmpty());

    // A folder that does not exist: the error is shown, nothing is created.
    fx->prompter.Clear();
    const QString path = localFolder + QStringLiteral("absent/Status1.txt");
    fx->prompter.QueuePath(path);
    tab.Sauvegarderlestatus2()->trigger();
    QCOMPARE(fx->prompter.Messages().size(), 1);
    QVERIFY(fx->prompter.Messages().first().startsWith(
        QStringLiteral("Impossible d'enregistrer le status dans le fichier « ") + path + QStringLiteral(" » : ")));
    QVERIFY(Entries(localFolder).isEmpty());

    // An empty log: no dialog at all.
    fx->prompter.Clear();
    Panel(w)->LogWindow()->clear();
    tab.Sauvegarderlestatus2()->trigger();
    QVERIFY(fx->prompter.Asked().isEmpty());
}

void TestQuickTab::portConversionError_data()
{
    QTest::addColumn<QString>("port");
    QTest::addColumn<QString>("error");
    QTest::newRow("letters") << "vingt" << "'vingt' n'est pas une valeur entière correcte";
    QTest::newRow("blank inside") << "2 1" << "'2 1' n'est pas une valeur entière correcte";
    QTest::newRow("empty") << "" << "'' n'est pas une valeur entière correcte";
    QTest::newRow("too large") << "70000" << "'70000' n'est pas un numéro de port correct (1 à 65535)";
}

void TestQuickTab::portConversionError()
{
    QFETCH(QString, port);
    QFETCH(QString, error);
    START_SERVER();
    TfrmMain w;
    FillEditor(w, *server, port);
    Tabs(w)->setCurrentWidget(&w.QuickExplorer());
    const QStringList logBefore = Panel(w)->LogLines();
    Action(w, "ToolButton1")->trigger();
    // The error is shown; the panel was not touched and nothing was sent.
    QCOMPARE(fx->prompter.Messages(), QStringList{error});
    QVERIFY(!Panel(w)->Connected());
    QCOMPARE(Panel(w)->HostName(), QStringLiteral("localhost"));
    QCOMPARE(Panel(w)->LogLines(), logBefore);
    QVERIFY(LoginsSettleAt(0));

    // Mended, the same button connects.
    Find<QLineEdit>(w, "PortTxt")->setText(QString::number(server->Port()));
    Action(w, "ToolButton1")->trigger();
    QVERIFY(Panel(w)->Connected());
    QVERIFY(LoginsSettleAt(1));
}

void TestQuickTab::missingHostRaised()
{
    START_SERVER();
    TfrmMain w;
    FillEditor(w, *server);
    Find<QLineEdit>(w, "HostTxt")->clear();
    Tabs(w)->setCurrentWidget(&w.QuickExplorer());
    Action(w, "ToolButton1")->trigger();
    QCOMPARE(fx->prompter.Messages(), QStringList{"HostName must be specified"});
    QVERIFY(!Panel(w)->Connected());

    fx->prompter.Clear();
    FillEditor(w, *server);
    Find<QLineEdit>(w, "UserTxt")->clear();
    Action(w, "ToolButton1")->trigger();
    QCOMPARE(fx->prompter.Messages(), QStringList{"LoginName must be specified"});
    QVERIFY(!Panel(w)->Connected());
    QVERIFY(LoginsSettleAt(0));
}

void TestQuickTab::connectionButtonsOnThisTab()
{
    START_SERVER();
    TfrmMain w;
    // An empty password is asked for by the panel, once.
    FillEditor(w, *server);
    Find<QLineEdit>(w, "PassTxt")->clear();
    fx->prompter.QueueInput(QLatin1String(PyFtpdServer::DefaultPassword));
    Tabs(w)->setCurrentWidget(&w.QuickExplorer());
    Action(w, "ToolButton1")->trigger();
    QCOMPARE(fx->prompter.Asked().size(), 1);
    QCOMPARE(fx->prompter.Asked().first().caption, QStringLiteral("Login to 127.0.0.1"));
    QVERIFY(Panel(w)->Connected());
    QCOMPARE(Panel(w)->Port(), server->Port());
    QCOMPARE(Panel(w)->LoginName(), QLatin1String(PyFtpdServer::DefaultUser));
    // The client is not the one connected.
    QTest::qWait(100);
    QVERIFY(!w.VexFtp1()->Connected());
    QVERIFY(LoginsSettleAt(1));

    // "Connexion" again: the panel connects anew, in the folder it was
    // given last (none here: the login folder).
    fx->prompter.QueueInput(QLatin1String(PyFtpdServer::DefaultPassword));
    Action(w, "Connecter1")->trigger();
    QVERIFY(Panel(w)->Connected());
    QCOMPARE(Panel(w)->CurrentFolder(), QStringLiteral("/"));
    QVERIFY(LoginsSettleAt(2));

    // "Déconnexion" ends the panel's connection.
    Action(w, "ToolButton2")->trigger();
    QVERIFY(!Panel(w)->Connected());
    QVERIFY(PanelCaptions(w).isEmpty());
    QCOMPARE(StatusText(w, 0), QStringLiteral("velmar déconnecté de 127.0.0.1"));
    QVERIFY(!w.VexFtp1()->Connected());
}

void TestQuickTab::handOverBothWays()
{
    START_SERVER();
    TfrmMain w;
    QTabWidget *tabs = Tabs(w);
    QVERIFY(LogIn(w, *server));
    QVERIFY(LoginsSettleAt(1));

    // In the explorer tab, in /pub/linux, its tree node selected.
    w.VexFtp1()->ChangeDirectory(QStringLiteral("/pub/linux"));
    QTRY_COMPARE_WITH_TIMEOUT(w.Context().TreeFolder(), QStringLiteral("/pub/linux"), WaitMs);
    QVERIFY(ClientIdle(w));
    TVexFtpTreeView *tree = w.Explorer().VexFtpTreeView1();
    tree->setCurrentItem(tree->SiteRoot());
    tree->setCurrentItem(tree->CurrentNode());
    QCOMPARE(w.Context().TreeFolder(), QStringLiteral("/pub/linux"));
    QTRY_VERIFY_WITH_TIMEOUT(RemoteCaptions(w).contains(QStringLiteral("image.iso")), WaitMs);

    // To the quick tab: the client closes, the panel logs in and lists
    // /pub/linux.
    QSignalSpy changes(&w.Context(), &TAppContext::PageChanged);
    tabs->setCurrentWidget(&w.QuickExplorer());
    QCOMPARE(changes.count(), 1);
    QVERIFY(w.Context().QuickExplorerActive());
    QVERIFY(Panel(w)->Connected());
    QCOMPARE(Panel(w)->CurrentFolder(), QStringLiteral("/pub/linux"));
    QCOMPARE(PanelCaptions(w), (QStringList{"..", "noyau", "image.iso", "lisezmoi.txt"}));
    QTRY_VERIFY_WITH_TIMEOUT(!w.VexFtp1()->Connected(), WaitMs);
    QVERIFY(LoginsSettleAt(2));
    QCOMPARE(Panel(w)->LogLines().filter(QStringLiteral("velmar connecté à")).size(), 1);

    // A row selected in the panel shows in the directory field; the folder
    // handed back is the panel's folder all the same.
    Panel(w)->FileList()->SelectRow(int(PanelCaptions(w).indexOf(QStringLiteral("noyau"))));
    QCOMPARE(Panel(w)->DirectoryText(), QStringLiteral("/pub/linux/noyau"));

    // Back to the explorer: the panel lets go, the client logs in on
    // /pub/linux and lists it.
    tabs->setCurrentWidget(&w.Explorer());
    QCOMPARE(changes.count(), 2);
    QVERIFY(!w.Context().QuickExplorerActive());
    QVERIFY(!Panel(w)->Connected());
    QVERIFY(PanelCaptions(w).isEmpty());
    QTRY_VERIFY_WITH_TIMEOUT(w.VexFtp1()->LoggedIn() && !w.VexFtp1()->Busy(), LoginWaitMs);
    QCOMPARE(w.VexFtp1()->CurrentDirectory(), QStringLiteral("/pub/linux"));
    QTRY_VERIFY_WITH_TIMEOUT(RemoteCaptions(w).contains(QStringLiteral("image.iso")), WaitMs);
    QVERIFY(RemoteCaptions(w).contains(QStringLiteral("lisezmoi.txt")));
    QTRY_COMPARE_WITH_TIMEOUT(w.Context().TreeFolder(), QStringLiteral("/pub/linux"), WaitMs);
    // One login each way, nothing more: no connection lost, none doubled.
    QVERIFY(LoginsSettleAt(3));
    QVERIFY(w.VexFtp1()->Connected());
    QVERIFY(!Panel(w)->Connected());

    // And once more to the quick tab, from the explorer's folder.
    tabs->setCurrentWidget(&w.QuickExplorer());
    QVERIFY(Panel(w)->Connected());
    QCOMPARE(Panel(w)->CurrentFolder(), QStringLiteral("/pub/linux"));
    QTRY_VERIFY_WITH_TIMEOUT(!w.VexFtp1()->Connected(), WaitMs);
    QVERIFY(LoginsSettleAt(4));
    // Other tabs change nothing.
    tabs->setCurrentWidget(Find<QWidget>(w, "TabSheet4"));
    QVERIFY(Panel(w)->Connected());
    QVERIFY(w.Context().QuickExplorerActive());
    QVERIFY(LoginsSettleAt(4));
}

void TestQuickTab::handOverWithBadPort()
{
    START_SERVER();
    TfrmMain w;
    QVERIFY(LogIn(w, *server));
    // The port field spoilt after the login: the hand-over closes the
    // client, then stops at the port with the error shown.
    Find<QLineEdit>(w, "PortTxt")->setText(QStringLiteral("x21"));
    Tabs(w)->setCurrentWidget(&w.QuickExplorer());
    QCOMPARE(fx->prompter.Messages(), QStringList{"'x21' n'est pas une valeur entière correcte"});
    QTRY_VERIFY_WITH_TIMEOUT(!w.VexFtp1()->Connected(), WaitMs);
    QVERIFY(!Panel(w)->Connected());
    QVERIFY(LoginsSettleAt(1));
    // Back: nothing to hand over.
    Tabs(w)->setCurrentWidget(&w.Explorer());
    QTest::qWait(100);
    QVERIFY(!w.VexFtp1()->Connected());
    QVERIFY(LoginsSettleAt(1));
}

void TestQuickTab::folderUploadHandsOver()
{
    START_SERVER();
    QVERIFY(QDir(localFolder).mkpath(QStringLiteral("site")));
    TfrmMain w;
    QVERIFY(ShowLocalFolder(w, localFolder));
    QVERIFY(LogIn(w, *server, QStringLiteral("/docs")));
    QTRY_COMPARE_WITH_TIMEOUT(w.Context().TreeFolder(), QStringLiteral("/docs"), WaitMs);
    QVERIFY(SelectLocal(w, {"site"}));
    fx->prompter.QueueConfirm(true);
    Action(w, "ToolButton16")->trigger();
    // The folder question, answered Yes: the quick tab takes over on the
    // explorer's folder.
    QCOMPARE(fx->prompter.Asked().size(), 1);
    QCOMPARE(Tabs(w)->currentWidget(), &w.QuickExplorer());
    QVERIFY(Panel(w)->Connected());
    QCOMPARE(Panel(w)->CurrentFolder(), QStringLiteral("/docs"));
    QCOMPARE(PanelCaptions(w), (QStringList{"..", "sub", "guide.txt"}));
    QTRY_VERIFY_WITH_TIMEOUT(!w.VexFtp1()->Connected(), WaitMs);
    QVERIFY(LoginsSettleAt(2));
}

QTEST_MAIN(TestQuickTab)
#include "tst_quicktab.moc"
