// The connection front end of the main window against a real server: the
// login dialogue in the log, the remote list and tree, the status bar and the
// "Ftp:" indicator, disconnecting and quitting, the tab hand-over, the
// overwrite/resume dialog and its answers for all files, scheduled runs,
// remote names that must not leave the local folder, and the transfer
// display (speed, pie, sizes), every error shown (as what its code means
// when the client gives no text), and the login through an FTP proxy.

#include "GuiTestSupport.h"
#include "AppContext.h"
#include "Confirme.h"
#include "DialUpBackend.h"
#include "ExplorerTab.h"
#include "FrontEnd.h"
#include "Ftp.h"
#include "FtpErrorTexts.h"
#include "FtpListView.h"
#include "FtpMsg.h"
#include "FtpTreeView.h"
#include "MainWindow.h"
#include "PiePictures.h"
#include "PyFtpdServer.h"
#include "QuickExplorerTab.h"
#include "ScriptedDialUpBackend.h"
#include "ScriptedFtpServer.h"
#include "TransferDisplay.h"
#include "ZEVudeDadaVAV.h"

#include <QAction>
#include <QCheckBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QProgressBar>
#include <QPushButton>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QStatusBar>
#include <QTabWidget>
#include <QTimer>
#include <QtTest>

namespace {
constexpr int LoginWaitMs = 10000;
constexpr int WaitMs = 5000;

const QString SiteName = QStringLiteral("Site de test");
const QString Banner = QStringLiteral("Serveur de test Velmar");

template <typename T>
T *Find(const TfrmMain &w, const char *name)
{
    return w.findChild<T *>(QLatin1String(name));
}

QString Panel(const TfrmMain &w, int index)
{
    return Find<QLabel>(w, QStringLiteral("StatusBar1Panel%1").arg(index).toLatin1().constData())->text();
}

QColor Colour(const TfrmMain &w, const char *indicator)
{
    return Find<QLabel>(w, indicator)->property("colour").value<QColor>();
}

QStringList LogLines(const TfrmMain &w)
{
    return Find<TVexFtpMessenger>(w, "VexFtpMessenger1")->Lines();
}

TVexFtpListView *RemoteList(const TfrmMain &w)
{
    return Find<TVexFtpListView>(w, "VexFtpListView1");
}

TVexFtpTreeView *RemoteTree(const TfrmMain &w)
{
    return Find<TVexFtpTreeView>(w, "VexFtpTreeView1");
}

// Selects the remote file name alone and runs the download command (which
// returns once the transfer is over); false when name is not a row.
bool Download(const TfrmMain &w, const QString &name)
{
    TVexFtpListView *list = RemoteList(w);
    list->SelectAll(false);
    for (int row = 0; row < list->RowCount(); ++row) {
        if (list->RowCaption(row) != name)
            continue;
        list->ItemView()->selectionModel()->select(list->ItemView()->model()->index(row, 0),
                                                   QItemSelectionModel::Select | QItemSelectionModel::Rows);
        Find<QAction>(w, "ToolButton14")->trigger();
        return true;
    }
    return false;
}

QStringList ListCaptions(const TfrmMain &w)
{
    QStringList captions;
    for (int row = 0; row < RemoteList(w)->RowCount(); ++row)
        captions.append(RemoteList(w)->RowCaption(row));
    return captions;
}

QStringList ChildTexts(const QTreeWidgetItem *node)
{
    QStringList texts;
    for (int i = 0; node && i < node->childCount(); ++i)
        texts.append(node->child(i)->text(0));
    texts.sort();
    return texts;
}

// The first line of lines at or after from that starts with prefix, or -1.
qsizetype FindLine(const QStringList &lines, const QString &prefix, qsizetype from)
{
    for (qsizetype i = from; i < lines.size(); ++i)
        if (lines.at(i).startsWith(prefix))
            return i;
    return -1;
}

QByteArray RandomBytes(int size, quint32 seed)
{
    QRandomGenerator generator(seed);
    QByteArray data(size, Qt::Uninitialized);
    for (char &c : data)
        c = char(generator.bounded(256));
    return data;
}

bool WriteFile(const QString &path, const QByteArray &data)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(data) == data.size();
}

QByteArray ReadFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// What the dialog showed each time it was asked, and what the test did.
struct ConfirmRecord {
    QString title;
    QString message;
    QStringList buttons; // texts, left to right
    bool resumeEnabled = false;
    bool listAccepted = true; // the remote list's Accept meanwhile
};
}

class TestFrontEnd : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();

    void loginFillsLogListAndTree();
    void disconnectShowsStatusAndEmptiesViews();
    void tabHandOverCarriesTreeFolder();
    void existingFileAnswers_data();
    void existingFileAnswers();
    void answerForAllAppliesToLaterFiles_data();
    void answerForAllAppliesToLaterFiles();
    void scheduledRunOverwritesWithoutDialog();
    void downloadShowsAndHidesTransferDisplay();
    void remoteNamesStayInLocalFolder_data();
    void remoteNamesStayInLocalFolder();
    void confirmFormLayout();
    void confirmFormAnswers_data();
    void confirmFormAnswers();
    void transferDisplay_data();
    void transferDisplay();
    void pieSteps_data();
    void pieSteps();
    void sizeNotificationThroughWindow_data();
    void sizeNotificationThroughWindow();
    void errorsAndNotices_data();
    void errorsAndNotices();
    void otherQuestionsUnanswered_data();
    void otherQuestionsUnanswered();
    void localFileErrorShownInStatusAndLog();
    void loginThroughProxy_data();
    void loginThroughProxy();
    void proxyBoxUncheckedConnectsDirectly();

private:
    bool StartServer();
    void FillEditor(TfrmMain &w, const QString &baseFolder = QStringLiteral("/"));
    bool LogIn(TfrmMain &w);
    // Answers the dialog with the next queued action: a tag, or -1 for
    // closing it by its frame.
    void InstallConfirmRunner();

    QTemporaryDir home;
    std::unique_ptr<TShellFixture> fx;
    std::unique_ptr<PyFtpdServer> server;
    std::unique_ptr<QTemporaryDir> local;
    QByteArray remoteData;
    QList<int> confirmActions;
    QList<ConfirmRecord> confirmsShown;
    TfrmMain *window = nullptr;
};

void TestFrontEnd::initTestCase()
{
    IsolateUserFolders(home);
    // Speeds are written with the locale's separators.
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
}

void TestFrontEnd::init()
{
    fx = std::make_unique<TShellFixture>();
    SetDialUpBackendFactory([] { return std::make_unique<TScriptedDialUpBackend>(); });
    local = std::make_unique<QTemporaryDir>();
    confirmActions.clear();
    confirmsShown.clear();
    window = nullptr;
    InstallConfirmRunner();
}

void TestFrontEnd::cleanup()
{
    if (QTest::currentTestFailed() && server)
        qWarning().noquote() << server->StandardError();
    SetConfirmFormRunner({});
    SetDialUpBackendFactory({});
    server.reset();
    local.reset();
    fx.reset();
}

bool TestFrontEnd::StartServer()
{
    if (!PyFtpdServer::Available())
        return false;
    server = std::make_unique<PyFtpdServer>();
    server->SetBanner(Banner);
    const QDir root(server->RootPath());
    remoteData = RandomBytes(256 * 1024, 7);
    return root.mkpath(QStringLiteral("pub/linux")) && root.mkpath(QStringLiteral("docs"))
        && WriteFile(root.filePath(QStringLiteral("lisezmoi.txt")), "Bienvenue\r\n")
        && WriteFile(root.filePath(QStringLiteral("donnees.bin")), remoteData)
        && WriteFile(root.filePath(QStringLiteral("autres.bin")), remoteData)
        && WriteFile(root.filePath(QStringLiteral("pub/notes.txt")), "notes\r\n") && server->Start();
}

void TestFrontEnd::FillEditor(TfrmMain &w, const QString &baseFolder)
{
    Find<QLineEdit>(w, "connect")->setText(SiteName);
    Find<QLineEdit>(w, "HostTxt")->setText(server->Host());
    Find<QLineEdit>(w, "PortTxt")->setText(QString::number(server->Port()));
    Find<QLineEdit>(w, "UserTxt")->setText(QLatin1String(PyFtpdServer::DefaultUser));
    Find<QLineEdit>(w, "PassTxt")->setText(QLatin1String(PyFtpdServer::DefaultPassword));
    Find<QLineEdit>(w, "defaurep")->setText(baseFolder);
}

bool TestFrontEnd::LogIn(TfrmMain &w)
{
    FillEditor(w);
    Find<QAction>(w, "ToolButton1")->trigger();
    // Logged in, and the first listing shown.
    return QTest::qWaitFor([&] { return w.VexFtp1()->LoggedIn() && !w.VexFtp1()->Busy()
                                     && RemoteList(w)->RowCount() > 0; },
                           LoginWaitMs);
}

void TestFrontEnd::InstallConfirmRunner()
{
    SetConfirmFormRunner([this](TConfirmForm &form) {
        ConfirmRecord record;
        record.title = form.windowTitle();
        record.message = form.Message();
        for (const QPushButton *button : form.Buttons())
            record.buttons.append(button->text());
        record.resumeEnabled = form.Button(ctResume)->isEnabled();
        if (window)
            record.listAccepted = RemoteList(*window)->Accept();
        confirmsShown.append(record);
        const int action = confirmActions.isEmpty() ? ctCancel : confirmActions.takeFirst();
        form.show();
        if (action < 0)
            form.close();
        else
            form.Button(action)->click();
    });
}

void TestFrontEnd::loginFillsLogListAndTree()
{
    if (!StartServer())
        QSKIP(server ? qPrintable(server->ErrorString()) : PyFtpdServer::UnavailableMessage());
    TfrmMain w;
    QVERIFY(LogIn(w));

    // The whole login dialogue, in order: status, replies and commands.
    const QStringList lines = LogLines(w);
    const QStringList expected{
        QStringLiteral("Connecté à 127.0.0.1. Attente du message de bienvenue."),
        QStringLiteral("220 ") + Banner,
        QStringLiteral("USER velmar"),
        QStringLiteral("331 "),
        QStringLiteral("PASS (pas besoin de le savoir) :-P"),
        QStringLiteral("230 "),
        QStringLiteral("SYST"),
        QStringLiteral("215 UNIX Type: L8"),
        QStringLiteral("REST 100"),
        QStringLiteral("350 "),
        QStringLiteral("CWD /"),
        QStringLiteral("250 "),
        QStringLiteral("Connexion réussie"),
        QStringLiteral("TYPE A"),
        QStringLiteral("200 "),
        QStringLiteral("PASV"),
        QStringLiteral("227 "),
        QStringLiteral("LIST"),
        QStringLiteral("226 "),
    };
    qsizetype at = 0;
    for (const QString &prefix : expected) {
        const qsizetype found = FindLine(lines, prefix, at);
        QVERIFY2(found >= 0, qPrintable(prefix + QStringLiteral(" missing after line %1 in:\n").arg(at)
                                        + lines.join(QLatin1Char('\n'))));
        at = found + 1;
    }
    QVERIFY(!lines.join(QLatin1Char('\n')).contains(QLatin1String(PyFtpdServer::DefaultPassword)));

    // Status bar, indicator and its blink, commands, caption.
    QVERIFY2(Panel(w, 0).startsWith(QStringLiteral("Status : Connecté le : ")), qPrintable(Panel(w, 0)));
    QVERIFY2(Panel(w, 0).endsWith(QStringLiteral(" sur 127.0.0.1")), qPrintable(Panel(w, 0)));
    QVERIFY(Panel(w, 0).contains(QStringLiteral(" à ")));
    QCOMPARE(Colour(w, "oklogin"), QColor(0, 128, 0));
    const QTimer *ok = Find<QTimer>(w, "ok");
    QVERIFY(ok->isActive());
    QCOMPARE(ok->interval(), 2000);
    w.FrontEnd().okTimer();
    QCOMPARE(Colour(w, "oklogin"), QColor(0, 255, 0));
    w.FrontEnd().okTimer();
    QCOMPARE(Colour(w, "oklogin"), QColor(0, 128, 0));
    for (const char *command : {"Tlcharger1", "Envoyer1", "Comparerlessites1"})
        QVERIFY2(Find<QAction>(w, command)->isEnabled(), command);
    QCOMPARE(w.windowTitle(), QStringLiteral("Velmar : ") + SiteName);
    QCOMPARE(Find<QLabel>(w, "repencours")->text(), QStringLiteral("Répertoire distant en cours: "));
    QVERIFY(RemoteList(w)->Accept());

    // The root folder in the list (no ".." at the root) and its folders in
    // the tree, whose root node is selected.
    QCOMPARE(ListCaptions(w), (QStringList{"docs", "pub", "autres.bin", "donnees.bin", "lisezmoi.txt"}));
    QVERIFY(RemoteTree(w)->SiteRoot());
    QCOMPARE(ChildTexts(RemoteTree(w)->SiteRoot()), (QStringList{"docs", "pub"}));
    QCOMPARE(RemoteTree(w)->currentItem(), RemoteTree(w)->SiteRoot());
    QCOMPARE(w.Context().TreeFolder(), QString());

    // A folder change lists the new folder and follows in the tree.
    w.VexFtp1()->ChangeDirectory(QStringLiteral("pub"));
    QTRY_COMPARE_WITH_TIMEOUT(ListCaptions(w), (QStringList{"..", "linux", "notes.txt"}), WaitMs);
    QCOMPARE(Find<QLabel>(w, "repencours")->text(), QStringLiteral("Répertoire distant en cours: pub"));
    QTRY_COMPARE_WITH_TIMEOUT(w.Context().TreeFolder(), QStringLiteral("/pub"), WaitMs);
    QCOMPARE(ChildTexts(RemoteTree(w)->CurrentNode()), QStringList{"linux"});
    w.VexFtp1()->Close();
}

void TestFrontEnd::disconnectShowsStatusAndEmptiesViews()
{
    if (!StartServer())
        QSKIP(server ? qPrintable(server->ErrorString()) : PyFtpdServer::UnavailableMessage());
    TfrmMain w;
    QVERIFY(LogIn(w));
    Find<QLabel>(w, "StatusBar1Panel1")->setText(QStringLiteral("un message"));

    Find<QAction>(w, "Dconnecter1")->trigger();
    QTRY_VERIFY_WITH_TIMEOUT(!w.VexFtp1()->Connected(), WaitMs);
    QVERIFY2(Panel(w, 0).startsWith(QStringLiteral("Status : Déconnecté le : ")), qPrintable(Panel(w, 0)));
    QVERIFY(Panel(w, 0).contains(QStringLiteral(" à ")));
    QCOMPARE(Panel(w, 1), QString());
    QCOMPARE(Colour(w, "oklogin"), QColor(255, 0, 0));
    QVERIFY(!Find<QTimer>(w, "ok")->isActive());
    for (const char *command : {"Tlcharger1", "Envoyer1", "Comparerlessites1"})
        QVERIFY2(!Find<QAction>(w, command)->isEnabled(), command);
    // The client's quit empties both remote views.
    QTRY_COMPARE_WITH_TIMEOUT(RemoteList(w)->RowCount(), 0, WaitMs);
    QCOMPARE(RemoteTree(w)->SiteCount(), 0);
    QCOMPARE(RemoteTree(w)->topLevelItemCount(), 0);
    QCOMPARE(w.windowTitle(), QStringLiteral("Velmar : ") + SiteName);
    QVERIFY(LogLines(w).contains(QStringLiteral("Déconnecté")));

    // Connect again: logged in once more, the status follows.
    QVERIFY(LogIn(w));
    QVERIFY(Panel(w, 0).startsWith(QStringLiteral("Status : Connecté le : ")));
    // Stop closes the connection as well.
    Find<QAction>(w, "ToolButton10")->trigger();
    QTRY_VERIFY_WITH_TIMEOUT(!w.VexFtp1()->Connected(), WaitMs);
    QCOMPARE(Colour(w, "oklogin"), QColor(255, 0, 0));
}

void TestFrontEnd::tabHandOverCarriesTreeFolder()
{
    if (!StartServer())
        QSKIP(server ? qPrintable(server->ErrorString()) : PyFtpdServer::UnavailableMessage());
    TfrmMain w;
    QTabWidget *tabs = Find<QTabWidget>(w, "PageControl1");
    QVERIFY(!w.Context().QuickExplorerActive());
    // Without a connection a tab change only says which explorer is used.
    tabs->setCurrentWidget(Find<QWidget>(w, "TabSheet2"));
    QVERIFY(w.Context().QuickExplorerActive());
    tabs->setCurrentWidget(Find<QWidget>(w, "TabSheet1"));
    QVERIFY(!w.Context().QuickExplorerActive());

    QVERIFY(LogIn(w));
    w.VexFtp1()->ChangeDirectory(QStringLiteral("/pub/linux"));
    QTRY_COMPARE_WITH_TIMEOUT(w.Context().TreeFolder(), QStringLiteral("/pub/linux"), WaitMs);
    // Selecting a node by hand names its folder.
    RemoteTree(w)->setCurrentItem(RemoteTree(w)->SiteRoot());
    QCOMPARE(w.Context().TreeFolder(), QString());
    RemoteTree(w)->setCurrentItem(RemoteTree(w)->CurrentNode());
    QCOMPARE(w.Context().TreeFolder(), QStringLiteral("/pub/linux"));

    // The explorer's connection is handed over: the client closes and the
    // quick-explorer panel opens the tree's folder.
    tabs->setCurrentWidget(Find<QWidget>(w, "TabSheet2"));
    QVERIFY(w.Context().QuickExplorerActive());
    QTRY_VERIFY_WITH_TIMEOUT(!w.VexFtp1()->Connected(), WaitMs);
    QVERIFY(w.QuickExplorer().ZEVudeDadaVAV1()->Connected());
    QCOMPARE(w.QuickExplorer().ZEVudeDadaVAV1()->CurrentFolder(), QStringLiteral("/pub/linux"));
    // And back: the panel lets go, the client logs in on the panel's folder.
    tabs->setCurrentWidget(Find<QWidget>(w, "TabSheet1"));
    QVERIFY(!w.Context().QuickExplorerActive());
    QVERIFY(!w.QuickExplorer().ZEVudeDadaVAV1()->Connected());
    QTRY_VERIFY_WITH_TIMEOUT(w.VexFtp1()->LoggedIn() && !w.VexFtp1()->Busy(), LoginWaitMs);
    QCOMPARE(w.VexFtp1()->CurrentDirectory(), QStringLiteral("/pub/linux"));
    // With neither connected, a tab change hands nothing over.
    w.VexFtp1()->Close();
    QTRY_VERIFY_WITH_TIMEOUT(!w.VexFtp1()->Connected(), WaitMs);
    tabs->setCurrentWidget(Find<QWidget>(w, "TabSheet2"));
    tabs->setCurrentWidget(Find<QWidget>(w, "TabSheet1"));
    QTest::qWait(100);
    QVERIFY(!w.VexFtp1()->Connected());
    QVERIFY(!w.QuickExplorer().ZEVudeDadaVAV1()->Connected());
    // Connect on another tab does only the dial-up step.
    tabs->setCurrentWidget(Find<QWidget>(w, "TabSheet4"));
    w.FrontEnd().ToolButton1Click();
    QVERIFY(!w.VexFtp1()->Connected());
}

void TestFrontEnd::existingFileAnswers_data()
{
    QTest::addColumn<int>("action"); // a button's tag, or -1: closed by its frame
    QTest::addColumn<QString>("result"); // "resumed", "overwritten" or "kept"
    QTest::addColumn<bool>("answerForAll");
    QTest::newRow("&Reprendre") << int(ctResume) << "resumed" << false;
    QTest::newRow("&Tout reprendre") << int(ctResumeAll) << "resumed" << true;
    QTest::newRow("&Ecraser") << int(ctOverwrite) << "overwritten" << false;
    QTest::newRow("T&out écraser") << int(ctOverwriteAll) << "overwritten" << true;
    QTest::newRow("&Annuler") << int(ctCancel) << "kept" << false;
    QTest::newRow("closed by its frame") << -1 << "kept" << false;
}

void TestFrontEnd::existingFileAnswers()
{
    QFETCH(int, action);
    QFETCH(QString, result);
    QFETCH(bool, answerForAll);
    if (!StartServer())
        QSKIP(server ? qPrintable(server->ErrorString()) : PyFtpdServer::UnavailableMessage());
    TfrmMain w;
    window = &w;
    w.Context().SelectLocalFolder(local->path());
    QVERIFY(LogIn(w));
    // A partial local copy whose bytes differ from the server's, so that a
    // resume (kept start, server's rest), an overwrite and a skip all differ.
    const QString path = local->filePath(QStringLiteral("donnees.bin"));
    const QByteArray partial(1000, 'X');
    QVERIFY(WriteFile(path, partial));

    confirmActions = {action};
    QVERIFY(Download(w, QStringLiteral("donnees.bin")));
    QTRY_VERIFY_WITH_TIMEOUT(!w.VexFtp1()->Busy(), WaitMs);

    QCOMPARE(confirmsShown.size(), 1);
    const ConfirmRecord &shown = confirmsShown.first();
    QCOMPARE(shown.title, QStringLiteral("Avertissement!"));
    QCOMPARE(shown.message, QStringLiteral("Ce fichier existe déjà."));
    QCOMPARE(shown.buttons, (QStringList{"&Reprendre", "&Tout reprendre", "&Ecraser", "T&out écraser", "&Annuler"}));
    QVERIFY(shown.resumeEnabled); // the server restarts transfers
    QVERIFY(!shown.listAccepted); // the client is busy meanwhile
    QCOMPARE(w.Context().AnswerForAll(), answerForAll);

    const QByteArray content = ReadFile(path);
    if (result == QLatin1String("resumed"))
        QCOMPARE(content, partial + remoteData.mid(partial.size()));
    else if (result == QLatin1String("overwritten"))
        QCOMPARE(content, remoteData);
    else
        QCOMPARE(content, partial);
    QCOMPARE(FindLine(LogLines(w), QStringLiteral("REST 1000"), 0) >= 0, result == QLatin1String("resumed"));
    QVERIFY(fx->prompter.Messages().isEmpty());
    w.VexFtp1()->Close();
}

void TestFrontEnd::answerForAllAppliesToLaterFiles_data()
{
    QTest::addColumn<int>("action");
    QTest::addColumn<bool>("resumed");
    QTest::newRow("&Tout reprendre") << int(ctResumeAll) << true;
    QTest::newRow("T&out écraser") << int(ctOverwriteAll) << false;
}

void TestFrontEnd::answerForAllAppliesToLaterFiles()
{
    QFETCH(int, action);
    QFETCH(bool, resumed);
    if (!StartServer())
        QSKIP(server ? qPrintable(server->ErrorString()) : PyFtpdServer::UnavailableMessage());
    TfrmMain w;
    window = &w;
    w.Context().SelectLocalFolder(local->path());
    QVERIFY(LogIn(w));
    const QByteArray partial(500, 'Y');
    for (const char *name : {"donnees.bin", "autres.bin"})
        QVERIFY(WriteFile(local->filePath(QLatin1String(name)), partial));
    const QByteArray expected = resumed ? partial + remoteData.mid(partial.size()) : remoteData;

    confirmActions = {action};
    QVERIFY(Download(w, QStringLiteral("donnees.bin")));
    QTRY_VERIFY_WITH_TIMEOUT(!w.VexFtp1()->Busy(), WaitMs);
    QVERIFY(w.Context().AnswerForAll());
    // The next file gets the same answer without a dialog.
    QVERIFY(Download(w, QStringLiteral("autres.bin")));
    QTRY_VERIFY_WITH_TIMEOUT(!w.VexFtp1()->Busy(), WaitMs);
    QCOMPARE(confirmsShown.size(), 1);
    QCOMPARE(ReadFile(local->filePath(QStringLiteral("donnees.bin"))), expected);
    QCOMPARE(ReadFile(local->filePath(QStringLiteral("autres.bin"))), expected);
    QVERIFY(w.Context().AnswerForAll());

    // Once cleared (as an upload command does), the dialog asks again.
    w.Context().SetAnswerForAll(false);
    confirmActions = {ctCancel};
    QVERIFY(Download(w, QStringLiteral("autres.bin")));
    QTRY_VERIFY_WITH_TIMEOUT(!w.VexFtp1()->Busy(), WaitMs);
    QCOMPARE(confirmsShown.size(), 2);
    QVERIFY(!w.Context().AnswerForAll());
    w.VexFtp1()->Close();
}

void TestFrontEnd::scheduledRunOverwritesWithoutDialog()
{
    if (!StartServer())
        QSKIP(server ? qPrintable(server->ErrorString()) : PyFtpdServer::UnavailableMessage());
    TfrmMain w;
    w.Context().SelectLocalFolder(local->path());
    QVERIFY(LogIn(w));
    const QString path = local->filePath(QStringLiteral("donnees.bin"));
    QVERIFY(WriteFile(path, QByteArray(700, 'Z')));
    w.Context().SetScheduledRunActive(true);
    QVERIFY(Download(w, QStringLiteral("donnees.bin")));
    QTRY_VERIFY_WITH_TIMEOUT(!w.VexFtp1()->Busy(), WaitMs);
    QVERIFY(confirmsShown.isEmpty());
    QCOMPARE(ReadFile(path), remoteData);
    QVERIFY(!w.Context().AnswerForAll());
    w.VexFtp1()->Close();
}

void TestFrontEnd::downloadShowsAndHidesTransferDisplay()
{
    if (!StartServer())
        QSKIP(server ? qPrintable(server->ErrorString()) : PyFtpdServer::UnavailableMessage());
    TfrmMain w;
    w.show();
    w.Context().SelectLocalFolder(local->path());
    QVERIFY(LogIn(w));
    const auto *bar = Find<QProgressBar>(w, "ProgressBar1");
    const char *controls[] = {"progression", "ProgressBar1", "cent", "debit", "encours"};

    // The download shows the controls and measures against the listed size.
    bool shownDuringTransfer = true;
    QList<int> maxima;
    const int slot = w.VexFtp1()->AddInfoListener([&](TVexFtp *, FtpInfo info, const QString &) {
        if (info != ftpiProgress)
            return;
        for (const char *name : controls)
            shownDuringTransfer = shownDuringTransfer && Find<QWidget>(w, name)->isVisible();
        maxima << bar->maximum();
    });
    QVERIFY(Download(w, QStringLiteral("donnees.bin")));
    QTRY_VERIFY_WITH_TIMEOUT(!w.VexFtp1()->Busy(), WaitMs);
    w.VexFtp1()->RemoveInfoListener(slot);
    QVERIFY(shownDuringTransfer);
    QVERIFY(!maxima.isEmpty());
    for (int maximum : maxima)
        QCOMPARE(maximum, int(remoteData.size()));
    QCOMPARE(ReadFile(local->filePath(QStringLiteral("donnees.bin"))), remoteData);

    // The end of the transfer hides them again and clears the pie.
    for (const char *name : controls)
        QVERIFY2(Find<QWidget>(w, name)->isHidden(), name);
    QCOMPARE(bar->value(), 0);
    QCOMPARE(Find<QLabel>(w, "encours")->text(),
             QStringLiteral("Fichier en cours de transfert: 0/%1 Bytes").arg(remoteData.size()));
    QVERIFY(Find<QLabel>(w, "camembert")->pixmap().isNull());
    if (w.VexFtp1()->ElapsedTime() > 0) {
        const QRegularExpression speed(QStringLiteral("^Debit actuel: [0-9,]+\\.[0-9]{2} KB par seconde$"));
        QVERIFY2(speed.match(Find<QLabel>(w, "debit")->text()).hasMatch(),
                 qPrintable(Find<QLabel>(w, "debit")->text()));
    }

    // A file that went from the server: refused, the status says why, and
    // the display does not stay up.
    QVERIFY(QFile::remove(QDir(server->RootPath()).filePath(QStringLiteral("autres.bin"))));
    QVERIFY(Download(w, QStringLiteral("autres.bin")));
    QTRY_VERIFY_WITH_TIMEOUT(!w.VexFtp1()->Busy(), WaitMs);
    QTRY_COMPARE_WITH_TIMEOUT(Panel(w, 1), QStringLiteral("Accès refusé ou fichier non trouvé"), WaitMs);

    // A transfer cut off by Stop leaves no display behind.
    Find<QAction>(w, "ToolButton10")->trigger();
    QTRY_VERIFY_WITH_TIMEOUT(!w.VexFtp1()->Connected(), WaitMs);
    for (const char *name : controls)
        QVERIFY2(Find<QWidget>(w, name)->isHidden(), name);
}

void TestFrontEnd::remoteNamesStayInLocalFolder_data()
{
    QTest::addColumn<QString>("serverFile"); // put on the server first ("" for none)
    QTest::addColumn<QString>("remoteName"); // the row selected
    QTest::addColumn<QString>("savedAs"); // "" when nothing is written
    QTest::addColumn<QString>("message");
    const QString unusable =
        QStringLiteral("Le fichier distant « %1 » n'a pas de nom utilisable dans le répertoire local : il n'est pas "
                       "téléchargé.");
    QTest::newRow("backslash then parent") << "x\\.." << "x\\.." << "" << unusable.arg("x\\..");
    QTest::newRow("backslash path kept inside")
        << "..\\..\\evil.txt" << "..\\..\\evil.txt" << "evil.txt" << "";
    // A folder is never fetched, and says nothing.
    QTest::newRow("folder of the list") << "" << "pub" << "" << "";
    QTest::newRow("plain file") << "" << "lisezmoi.txt" << "lisezmoi.txt" << "";
}

void TestFrontEnd::remoteNamesStayInLocalFolder()
{
    QFETCH(QString, serverFile);
    QFETCH(QString, remoteName);
    QFETCH(QString, savedAs);
    QFETCH(QString, message);
    if (!StartServer())
        QSKIP(server ? qPrintable(server->ErrorString()) : PyFtpdServer::UnavailableMessage());
    if (!serverFile.isEmpty())
        QVERIFY(WriteFile(QDir(server->RootPath()).filePath(serverFile), "contenu"));
    // The local folder sits inside a parent that must stay untouched.
    const QString folder = local->filePath(QStringLiteral("telechargements"));
    QVERIFY(QDir().mkpath(folder));
    TfrmMain w;
    w.Context().SelectLocalFolder(folder);
    QVERIFY(LogIn(w));

    QVERIFY(Download(w, remoteName));
    QTRY_VERIFY_WITH_TIMEOUT(!w.VexFtp1()->Busy(), WaitMs);
    const QStringList inFolder = QDir(folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
    QCOMPARE(inFolder, savedAs.isEmpty() ? QStringList() : QStringList{savedAs});
    QCOMPARE(QDir(local->path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
             QStringList{"telechargements"});
    QCOMPARE(fx->prompter.Messages(), message.isEmpty() ? QStringList() : QStringList{message});
    if (savedAs.isEmpty()) {
        QVERIFY(FindLine(LogLines(w), QStringLiteral("RETR"), 0) < 0);
        QVERIFY(Find<QWidget>(w, "ProgressBar1")->isHidden());
    }
    w.VexFtp1()->Close();
}

void TestFrontEnd::confirmFormLayout()
{
    TConfirmForm form;
    QCOMPARE(form.windowTitle(), QStringLiteral("Avertissement!"));
    QVERIFY(form.width() >= 409 && form.height() >= 97);
    QCOMPARE(form.minimumSize(), form.maximumSize());
    QVERIFY(form.isModal());
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    // Left to right, with their tags; "&Reprendre" greyed until enabled.
    QList<QPushButton *> buttons = form.Buttons();
    std::sort(buttons.begin(), buttons.end(), [](QPushButton *a, QPushButton *b) { return a->x() < b->x(); });
    QStringList texts;
    for (const QPushButton *button : buttons)
        texts.append(button->text());
    QCOMPARE(texts, (QStringList{"&Reprendre", "&Tout reprendre", "&Ecraser", "T&out écraser", "&Annuler"}));
    const QList<int> tags{ctResume, ctResumeAll, ctOverwrite, ctOverwriteAll, ctCancel};
    for (int i = 0; i < buttons.size(); ++i)
        QCOMPARE(form.Button(tags.at(i)), buttons.at(i));
    QVERIFY(!form.Button(ctResume)->isEnabled());
    for (int tag : {ctResumeAll, ctOverwrite, ctOverwriteAll, ctCancel})
        QVERIFY(form.Button(tag)->isEnabled());
    QCOMPARE(form.Button(7), nullptr);
    QVERIFY(form.findChild<QLabel *>(QStringLiteral("Image1"))->pixmap().width() > 0);
    form.SetResumeEnabled(true);
    QVERIFY(form.Button(ctResume)->isEnabled());
    form.SetResumeEnabled(false);
    // Unable to resume, the server still allows "&Tout reprendre".
    QVERIFY(form.Button(ctResumeAll)->isEnabled());
}

void TestFrontEnd::confirmFormAnswers_data()
{
    QTest::addColumn<QString>("how"); // "button", "frame" or "escape"
    QTest::addColumn<int>("button");
    QTest::addColumn<int>("tag");
    for (int tag : {ctResume, ctOverwrite, ctCancel, ctResumeAll, ctOverwriteAll})
        QTest::addRow("button %d", tag) << "button" << tag << tag;
    QTest::newRow("frame") << "frame" << -1 << int(ctCancel);
    QTest::newRow("escape") << "escape" << -1 << int(ctCancel);
}

void TestFrontEnd::confirmFormAnswers()
{
    QFETCH(QString, how);
    QFETCH(int, button);
    QFETCH(int, tag);
    TConfirmForm form;
    form.SetResumeEnabled(true);
    bool shownModal = false;
    SetConfirmFormRunner([&](TConfirmForm &asked) {
        asked.show();
        shownModal = asked.isVisible() && asked.isModal();
        if (how == QLatin1String("button"))
            asked.Button(button)->click();
        else if (how == QLatin1String("frame"))
            asked.close();
        else
            QTest::keyClick(&asked, Qt::Key_Escape);
    });
    // A previous answer does not carry over.
    QCOMPARE(form.Ask(), tag);
    QVERIFY(shownModal);
    QVERIFY(!form.isVisible());
    QCOMPARE(form.Tag(), tag);
}

void TestFrontEnd::transferDisplay_data()
{
    QTest::addColumn<QString>("sizeText");
    QTest::addColumn<qint64>("position");
    QTest::addColumn<qint64>("elapsedMs");
    QTest::addColumn<QString>("debit");
    QTest::addColumn<int>("pie");
    QTest::addColumn<QString>("encours");
    QTest::addColumn<int>("barMaximum");
    QTest::addColumn<int>("barValue");
    QTest::newRow("half after 2 s") << "1000000" << qint64(500000) << qint64(2000)
                                    << "Debit actuel: 244.14 KB par seconde" << 8
                                    << "Fichier en cours de transfert: 500000/1000000 Bytes" << 1000000 << 500000;
    QTest::newRow("thousands separator")
        << "10000000000" << qint64(5000000000) << qint64(1000) << "Debit actuel: 4,882,812.50 KB par seconde" << 8
        << "Fichier en cours de transfert: 5000000000/10000000000 Bytes" << 1250000000 << 625000000;
    QTest::newRow("no time yet") << "1000" << qint64(70) << qint64(0) << "Débit actuel :" << 1
                                 << "Fichier en cours de transfert: 70/1000 Bytes" << 1000 << 70;
    QTest::newRow("maximum 0") << "0" << qint64(0) << qint64(10) << "Debit actuel: 0.00 KB par seconde"
                               << int(NoPiePicture) << "Fichier en cours de transfert: 0/0 Bytes" << 1 << 0;
    QTest::newRow("maximum 0, bytes moving")
        << "0" << qint64(2048) << qint64(1000) << "Debit actuel: 2.00 KB par seconde" << int(NoPiePicture)
        << "Fichier en cours de transfert: 2048/0 Bytes" << 1 << 0;
    QTest::newRow("size not a number")
        << "12ab" << qint64(600) << qint64(1000) << "Debit actuel: 0.59 KB par seconde" << int(NoPiePicture)
        << "Fichier en cours de transfert: 600/0 Bytes" << 1 << 0;
    QTest::newRow("negative size") << "-5" << qint64(3) << qint64(1000) << "Debit actuel: 0.00 KB par seconde"
                                   << int(NoPiePicture) << "Fichier en cours de transfert: 3/0 Bytes" << 1 << 0;
    QTest::newRow("all of it") << "4096" << qint64(4096) << qint64(1000) << "Debit actuel: 4.00 KB par seconde"
                               << int(NoPiePicture) << "Fichier en cours de transfert: 4096/4096 Bytes" << 4096
                               << 4096;
    QTest::newRow("more than announced")
        << "100" << qint64(150) << qint64(1000) << "Debit actuel: 0.15 KB par seconde" << 15
        << "Fichier en cours de transfert: 150/100 Bytes" << 100 << 100;
}

void TestFrontEnd::transferDisplay()
{
    QFETCH(QString, sizeText);
    QFETCH(qint64, position);
    QFETCH(qint64, elapsedMs);
    QFETCH(QString, debit);
    QFETCH(int, pie);
    QFETCH(QString, encours);
    QFETCH(int, barMaximum);
    QFETCH(int, barValue);
    TfrmMain w;
    auto *display = w.findChild<TTransferDisplay *>();
    QVERIFY(display);
    display->ShowControls();
    display->SetMaximumText(sizeText);
    display->SetProgress(position, elapsedMs);
    display->ShowFileAndPie();

    QCOMPARE(Find<QLabel>(w, "debit")->text(), debit);
    QCOMPARE(Find<QLabel>(w, "encours")->text(), encours);
    QCOMPARE(display->PieIndex(), pie);
    const QPixmap shown = Find<QLabel>(w, "camembert")->pixmap();
    if (pie == NoPiePicture)
        QVERIFY(shown.isNull());
    else
        QCOMPARE(shown.toImage(), PiePicture(pie).toImage());
    const auto *bar = Find<QProgressBar>(w, "ProgressBar1");
    QCOMPARE(bar->maximum(), barMaximum);
    QCOMPARE(bar->value(), barValue);
    for (const char *name : {"progression", "ProgressBar1", "cent", "debit", "encours"})
        QVERIFY2(!Find<QWidget>(w, name)->isHidden(), name);
}

void TestFrontEnd::pieSteps_data()
{
    QTest::addColumn<qint64>("position");
    QTest::addColumn<qint64>("maximum");
    QTest::addColumn<int>("pie");
    QTest::newRow("6 %") << qint64(60) << qint64(1000) << 0;
    QTest::newRow("6.9 %") << qint64(69) << qint64(1000) << 0;
    QTest::newRow("7 %") << qint64(70) << qint64(1000) << 1;
    QTest::newRow("12 %") << qint64(12) << qint64(100) << 1;
    QTest::newRow("13 %") << qint64(13) << qint64(100) << 2;
    QTest::newRow("29 % (no rounding up)") << qint64(29) << qint64(100) << 4;
    QTest::newRow("50 %") << qint64(50) << qint64(100) << 8;
    QTest::newRow("90 %") << qint64(90) << qint64(100) << 14;
    QTest::newRow("91 %") << qint64(91) << qint64(100) << 15;
    QTest::newRow("99.9 %") << qint64(999) << qint64(1000) << 15;
    QTest::newRow("100 %") << qint64(1000) << qint64(1000) << int(NoPiePicture);
    QTest::newRow("1 % of 5 GiB") << qint64(53687092) << qint64(5368709120) << 0;
}

void TestFrontEnd::pieSteps()
{
    QFETCH(qint64, position);
    QFETCH(qint64, maximum);
    QFETCH(int, pie);
    TfrmMain w;
    auto *display = w.findChild<TTransferDisplay *>();
    display->SetMaximum(maximum);
    display->SetProgress(position, 0);
    display->ShowFileAndPie();
    QCOMPARE(display->PieIndex(), pie);
    const QPixmap shown = Find<QLabel>(w, "camembert")->pixmap();
    QCOMPARE(shown.isNull(), pie == NoPiePicture);
    if (pie != NoPiePicture)
        QCOMPARE(shown.toImage(), PiePicture(pie).toImage());

    // Below one percent the pie keeps what it shows.
    display->SetProgress(0, 0);
    display->ShowFileAndPie();
    QCOMPARE(display->PieIndex(), pie);

    // The sixteen pictures differ from each other and fill up.
    for (int i = 1; i < PiePictureCount; ++i)
        QVERIFY(PiePicture(i).toImage() != PiePicture(i - 1).toImage());
    QCOMPARE(PiePicture(0).size(), QSize(PiePictureSize, PiePictureSize));
}

void TestFrontEnd::sizeNotificationThroughWindow_data()
{
    QTest::addColumn<QString>("sizeText");
    QTest::addColumn<qint64>("maximum");
    QTest::newRow("number") << "123456" << qint64(123456);
    QTest::newRow("over 2 GiB") << "3000000000" << qint64(3000000000);
    QTest::newRow("not a number") << "beaucoup" << qint64(0);
    QTest::newRow("empty") << "" << qint64(0);
}

void TestFrontEnd::sizeNotificationThroughWindow()
{
    QFETCH(QString, sizeText);
    QFETCH(qint64, maximum);
    TfrmMain w;
    TVexFtp *client = w.VexFtp1();
    client->OnFtpInfo(client, ftpiTransferSize, sizeText);
    auto *display = w.findChild<TTransferDisplay *>();
    QCOMPARE(display->Maximum(), maximum);
    QCOMPARE(Find<QLabel>(w, "encours")->text(),
             QStringLiteral("Fichier en cours de transfert: 0/%1 Bytes").arg(maximum));
    QVERIFY(Find<QLabel>(w, "camembert")->pixmap().isNull());
    QVERIFY(fx->prompter.Messages().isEmpty());
}

void TestFrontEnd::errorsAndNotices_data()
{
    QTest::addColumn<bool>("isError");
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("panel1");
    const QString before = QStringLiteral("avant");
    QTest::newRow("cannot resolve") << true << int(ftpeCannotResolve) << "Host not found"
                                    << "Impossible de joindre le serveur - Cause probable: connexion internet inactive";
    QTest::newRow("access denied") << true << int(ftpeAccessDenied) << "Accès refusé ou fichier non trouvé"
                                   << "Accès refusé ou fichier non trouvé";
    QTest::newRow("other error") << true << int(ftpeConnectionRefused) << "Connection refused"
                                 << "Connection refused";
    QTest::newRow("access denied without text") << true << int(ftpeAccessDenied) << QString()
                                                << "Accès refusé ou fichier non trouvé";
    QTest::newRow("local file without text") << true << int(ftpeLocalFileOpen) << QString()
                                             << "Impossible d'ouvrir ou de créer le fichier local";
    QTest::newRow("disk full, blank text") << true << int(ftpeLocalFileWrite) << " \r\n"
                                           << "Impossible d'écrire dans le fichier local";
    QTest::newRow("refused name without text") << true << int(ftpeBadRemoteName) << QString()
                                               << "Nom de fichier distant refusé";
    QTest::newRow("text on two lines") << true << int(ftpeCommandFailed) << "550 Refusé :\r\n  pas de place"
                                       << "550 Refusé : pas de place";
    QTest::newRow("resume supported") << false << int(ftpiResumeSupported)
                                      << "Ce site permet de reprendre les téléchargements incomplets"
                                      << "Ce site permet de reprendre les téléchargements incomplets";
    QTest::newRow("resume unavailable") << false << int(ftpiResumeUnavailable)
                                        << "Ce site ne permet pas reprendre les téléchargements incomplets"
                                        << "Ce site ne permet pas reprendre les téléchargements incomplets";
    QTest::newRow("other notice") << false << int(ftpiBusy) << "Le composant est occupé" << before;
}

void TestFrontEnd::errorsAndNotices()
{
    QFETCH(bool, isError);
    QFETCH(int, code);
    QFETCH(QString, text);
    QFETCH(QString, panel1);
    TfrmMain w;
    Find<QLabel>(w, "StatusBar1Panel1")->setText(QStringLiteral("avant"));
    const QString panel0 = Panel(w, 0);
    TVexFtp *client = w.VexFtp1();
    if (isError)
        client->OnFtpError(client, FtpError(code), text);
    else
        client->OnFtpInfo(client, FtpInfo(code), text);
    QCOMPARE(Panel(w, 1), panel1);
    QCOMPARE(Panel(w, 0), panel0);
    QVERIFY(fx->prompter.Asked().isEmpty());
}

void TestFrontEnd::otherQuestionsUnanswered_data()
{
    QTest::addColumn<int>("need");
    QTest::newRow("account") << int(needAccount);
    QTest::newRow("server") << int(needServer);
    QTest::newRow("local file name") << int(needLocalFileName);
    QTest::newRow("password") << int(needPassword);
    QTest::newRow("user name") << int(needUsername);
}

void TestFrontEnd::otherQuestionsUnanswered()
{
    QFETCH(int, need);
    TfrmMain w;
    TVexFtp *client = w.VexFtp1();
    QString value = QStringLiteral("inchangé");
    client->OnFtpNeedInfo(client, TVexFtpInfoNeeded(need), value);
    QCOMPARE(value, QStringLiteral("inchangé"));
    QVERIFY(confirmsShown.isEmpty());
    QVERIFY(fx->prompter.Asked().isEmpty());
}

// A local file that cannot be created: the client's error carries no text
// of the server, yet the status bar and the protocol log both tell it.
void TestFrontEnd::localFileErrorShownInStatusAndLog()
{
    if (!StartServer())
        QSKIP("pyftpdlib is not available");
    TfrmMain w;
    QVERIFY(LogIn(w));
    QList<QPair<FtpError, QString>> raised;
    const int slot = w.VexFtp1()->AddErrorListener(
        [&raised](TVexFtp *, FtpError error, const QString &text) { raised.append({error, text}); });
    QVERIFY(slot > 0);
    const QString target = local->filePath(QStringLiteral("absent/lisezmoi.txt"));
    w.VexFtp1()->GetFile(QStringLiteral("lisezmoi.txt"), target);
    QTRY_VERIFY_WITH_TIMEOUT(!raised.isEmpty(), WaitMs);
    w.VexFtp1()->RemoveErrorListener(slot);

    QCOMPARE(raised.first().first, ftpeLocalFileOpen);
    const QString shown = FtpErrorShownText(raised.first().first, raised.first().second);
    QVERIFY(!shown.trimmed().isEmpty());
    QCOMPARE(Panel(w, 1), shown.simplified());
    QVERIFY2(LogLines(w).contains(shown.trimmed()), qPrintable(LogLines(w).join(u'|')));
    QVERIFY(!QFile::exists(target));
}

void TestFrontEnd::loginThroughProxy_data()
{
    QTest::addColumn<QString>("port");
    QTest::addColumn<QString>("user");
    QTest::newRow("site on port 21") << "21" << "USER anonymous@ftp.velmar.invalid";
    QTest::newRow("site on port 2121") << "2121" << "USER anonymous@ftp.velmar.invalid:2121";
}

// "Utiliser un Serveur Proxy" checked: the client connects to the proxy and
// names the site in its user name, "USER utilisateur@site".
void TestFrontEnd::loginThroughProxy()
{
    QFETCH(QString, port);
    QFETCH(QString, user);
    ScriptedFtpServer proxy;
    // Past the proxy dialogue, every command is accepted, whatever the
    // client sends.
    proxy.SetUnscriptedReply("200 ok\r\n");
    QVERIFY(proxy.Start(FtpScript()
                            .send(QStringLiteral("220 Serveur mandataire FTP"))
                            .expect(user, QStringLiteral("331 Mot de passe requis"))
                            .expect(QStringLiteral("PASS secret"), QStringLiteral("230 Bienvenue sur le site"))));
    TfrmMain w;
    Find<QLineEdit>(w, "connect")->setText(SiteName);
    // A name that never resolves: nothing but the proxy is ever contacted.
    Find<QLineEdit>(w, "HostTxt")->setText(QStringLiteral("ftp.velmar.invalid"));
    Find<QLineEdit>(w, "PortTxt")->setText(port);
    Find<QLineEdit>(w, "UserTxt")->setText(QStringLiteral("anonymous"));
    Find<QLineEdit>(w, "PassTxt")->setText(QStringLiteral("secret"));
    Find<QCheckBox>(w, "CheckBox1")->setChecked(true);
    Find<QLineEdit>(w, "ProxyTxt")->setText(proxy.Host());
    Find<QLineEdit>(w, "Portproxy")->setText(QString::number(proxy.Port()));
    QStringList loggedIn;
    w.VexFtp1()->AddInfoListener([&loggedIn](TVexFtp *client, FtpInfo info, const QString &) {
        if (info == ftpiLoggedIn)
            loggedIn.append(client->Server());
    });

    Find<QAction>(w, "ToolButton1")->trigger();
    QTRY_COMPARE_WITH_TIMEOUT(loggedIn, QStringList{QStringLiteral("ftp.velmar.invalid")}, WaitMs);
    QCOMPARE(w.VexFtp1()->ProxyType(), proxyUserSite);
    QCOMPARE(proxy.ReceivedCommands().mid(0, 2), (QStringList{user, QStringLiteral("PASS secret")}));
    QCOMPARE(proxy.ConnectionCount(), 1);
    Find<QAction>(w, "ToolButton2")->trigger();
}

// The box unchecked: straight to the site, even after a login through a
// proxy.
void TestFrontEnd::proxyBoxUncheckedConnectsDirectly()
{
    ScriptedFtpServer site;
    site.SetUnscriptedReply("200 ok\r\n");
    QVERIFY(site.Start(FtpScript()
                           .send(QStringLiteral("220 Site FTP"))
                           .expect(QStringLiteral("USER anonymous"), QStringLiteral("331 Mot de passe requis"))
                           .expect(QStringLiteral("PASS secret"), QStringLiteral("230 Bienvenue"))));
    TfrmMain w;
    // As an earlier login through a proxy left the client.
    w.VexFtp1()->SetProxyType(proxyUserSite);
    w.VexFtp1()->SetProxyServer(QStringLiteral("127.0.0.1"));
    w.VexFtp1()->SetProxyPort(ScriptedFtpServer::UnusedPort());
    Find<QLineEdit>(w, "HostTxt")->setText(site.Host());
    Find<QLineEdit>(w, "PortTxt")->setText(QString::number(site.Port()));
    Find<QLineEdit>(w, "UserTxt")->setText(QStringLiteral("anonymous"));
    Find<QLineEdit>(w, "PassTxt")->setText(QStringLiteral("secret"));
    QVERIFY(!Find<QCheckBox>(w, "CheckBox1")->isChecked());

    Find<QAction>(w, "ToolButton1")->trigger();
    QTRY_VERIFY_WITH_TIMEOUT(site.ReceivedCommands().size() >= 2, WaitMs);
    QCOMPARE(site.ReceivedCommands().mid(0, 2), (QStringList{"USER anonymous", "PASS secret"}));
    QCOMPARE(w.VexFtp1()->ProxyType(), proxyNone);
    Find<QAction>(w, "ToolButton2")->trigger();
}

QTEST_MAIN(TestFrontEnd)
#include "tst_frontend.moc"
