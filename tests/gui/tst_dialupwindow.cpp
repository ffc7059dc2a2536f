// Dial-up in the main window, on a scripted dial-up service: the entries of
// "Connexions", dialling before the FTP connection, the labels of the active
// connections, hanging up when quitting, a failed dial while quitting, and a
// start without any dial-up service.

#include "GuiTestSupport.h"
#include "AppContext.h"
#include "DialUp.h"
#include "DialUpBackend.h"
#include "FrontEnd.h"
#include "Ftp.h"
#include "MainWindow.h"
#include "PyFtpdServer.h"
#include "ScriptedDialUpBackend.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTimer>
#include <QtTest>

namespace {
constexpr int LoginWaitMs = 10000;

template <typename T>
T *Find(const TfrmMain &w, const char *name)
{
    return w.findChild<T *>(QLatin1String(name));
}

QString Text(const TfrmMain &w, const char *label)
{
    return Find<QLabel>(w, label)->text();
}

QColor Colour(const TfrmMain &w, const char *indicator)
{
    return Find<QLabel>(w, indicator)->property("colour").value<QColor>();
}

QStringList EntryNames(const TfrmMain &w)
{
    QStringList names;
    const QComboBox *list = Find<QComboBox>(w, "Connexions");
    for (int i = 0; i < list->count(); ++i)
        names.append(list->itemText(i));
    return names;
}

// The calls that dial or hang up, in order (the one-second check adds
// enumerations and status reads in between).
QStringList DialAndHangUpCalls(const TScriptedDialUpBackend &backend)
{
    QStringList calls;
    for (const QString &call : backend.Calls())
        if (call.startsWith(QLatin1String("Dial")) || call.startsWith(QLatin1String("HangUp"))
            || call.startsWith(QLatin1String("GetEntryDialParams")))
            calls.append(call.trimmed());
    return calls;
}

const QString None = QStringLiteral("&Connexion active: aucune");
const QColor Red(255, 0, 0);
const QColor Lime(0, 255, 0);
}

class TestDialUpWindow : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();

    void entriesListedFirstSelected();
    void startsWithoutDialUpService_data();
    void startsWithoutDialUpService();
    void connectDialsFirst_data();
    void connectDialsFirst();
    void connectWhileConnectedOnlyDials();
    void activeConnectionsShowTheLast();
    void quitHangsUp_data();
    void quitHangsUp();
    void failedDialWhileQuittingCloses_data();
    void failedDialWhileQuittingCloses();

private:
    // The backend the next window gets, prepared before the window lists
    // its entries.
    TScriptedDialUpBackend &Backend() { return *backend; }
    void UseBackend(std::function<void(TScriptedDialUpBackend &)> prepare);
    void PointEditorAt(TfrmMain &w, const PyFtpdServer &server);

    QTemporaryDir home;
    std::unique_ptr<TShellFixture> fx;
    TScriptedDialUpBackend *backend = nullptr;
};

void TestDialUpWindow::initTestCase()
{
    IsolateUserFolders(home);
}

void TestDialUpWindow::init()
{
    fx = std::make_unique<TShellFixture>();
    backend = nullptr;
}

void TestDialUpWindow::cleanup()
{
    SetDialUpBackendFactory({});
    fx.reset();
}

void TestDialUpWindow::UseBackend(std::function<void(TScriptedDialUpBackend &)> prepare)
{
    SetDialUpBackendFactory([this, prepare] {
        auto made = std::make_unique<TScriptedDialUpBackend>();
        backend = made.get();
        if (prepare)
            prepare(*made);
        return made;
    });
}

void TestDialUpWindow::PointEditorAt(TfrmMain &w, const PyFtpdServer &server)
{
    Find<QLineEdit>(w, "connect")->setText(QStringLiteral("Local"));
    Find<QLineEdit>(w, "HostTxt")->setText(server.Host());
    Find<QLineEdit>(w, "PortTxt")->setText(QString::number(server.Port()));
    Find<QLineEdit>(w, "UserTxt")->setText(QStringLiteral("anonymous"));
    Find<QLineEdit>(w, "PassTxt")->setText(QStringLiteral("moi@example.net"));
    Find<QLineEdit>(w, "defaurep")->setText(QString());
}

void TestDialUpWindow::entriesListedFirstSelected()
{
    UseBackend([](TScriptedDialUpBackend &b) {
        b.AddEntry(QStringLiteral("Maison"));
        b.AddEntry(QStringLiteral("Bureau"));
    });
    TfrmMain w;
    QCOMPARE(EntryNames(w), (QStringList{"Maison", "Bureau"}));
    QCOMPARE(Find<QComboBox>(w, "Connexions")->currentIndex(), 0);
    QCOMPARE(w.DialUp1()->Entries(), (QStringList{"Maison", "Bureau"}));
    QCOMPARE(Text(w, "connexionencours"), None);
    QCOMPARE(Colour(w, "okconnect"), Red);
    QCOMPARE(w.DialUp1()->DialMode(), dmSync);
    QCOMPARE(w.DialUp1()->Language(), TLanguage::France);
}

void TestDialUpWindow::startsWithoutDialUpService_data()
{
    QTest::addColumn<QString>("service");
    QTest::newRow("no entries") << "scripted, empty";
    QTest::newRow("service not answering") << "scripted, failing";
    QTest::newRow("no dial-up service") << "none";
}

void TestDialUpWindow::startsWithoutDialUpService()
{
    QFETCH(QString, service);
    if (service == QLatin1String("none")) {
        SetDialUpBackendFactory([] { return std::make_unique<TEmptyDialUpBackend>(); });
    } else {
        const bool failing = service.endsWith(QLatin1String("failing"));
        UseBackend([failing](TScriptedDialUpBackend &b) {
            if (!failing)
                return;
            for (const char *call : {"EnumEntries", "EnumConnections", "GetEntryDialParams", "Dial"})
                b.SetFailure(QLatin1String(call), rasServiceUnavailable);
        });
    }
    // The steps after the dial-up listing must all run: profiles, caption,
    // preferences.
    fx->WriteFile("velmar.ini", ProfileFileText({ProfileTexts("Mon site", "ftp.monsite.example")}));
    TShellFixture::WritePreferences({{Pref::Startup, "non"}, {Pref::Left, "10"}, {Pref::Top, "20"},
                                     {Pref::Width, "800"}, {Pref::Height, "600"}, {Pref::AsciiMode, "1"},
                                     {Pref::PassiveMode, "1"}, {Pref::AutoDial, "oui"}});
    TfrmMain w;
    QCOMPARE(EntryNames(w), QStringList());
    QVERIFY2(fx->prompter.Asked().isEmpty(), qPrintable(fx->prompter.Messages().join('\n')));
    QCOMPARE(w.windowTitle(), QStringLiteral("Velmar : Mon site"));
    QCOMPARE(Find<QLineEdit>(w, "HostTxt")->text(), QStringLiteral("ftp.monsite.example"));
    QCOMPARE(w.size(), QSize(800, 600));
    QVERIFY(Find<QCheckBox>(w, "activer")->isChecked());
    QVERIFY(Text(w, "replocal").startsWith(QStringLiteral("Répertoire local en cours: ")));

    // The clock goes on; the labels stay as they are; a connect with
    // nothing to dial goes on with the FTP connection.
    w.connexionactiveTimer();
    QVERIFY(!Text(w, "StatusBar1Panel2").isEmpty());
    QCOMPARE(Text(w, "connexionencours"), None);
    Find<QLineEdit>(w, "PortTxt")->setText(QStringLiteral("x"));
    Find<QAction>(w, "ToolButton1")->trigger();
    QCOMPARE(fx->prompter.Messages(), QStringList{"'x' n'est pas une valeur entière correcte"});
}

void TestDialUpWindow::connectDialsFirst_data()
{
    QTest::addColumn<bool>("autoActivate");
    QTest::addColumn<bool>("lineUpBefore"); // an active connection is shown already
    QTest::addColumn<bool>("withEntries");
    QTest::addColumn<int>("dialResult");
    QTest::addColumn<QStringList>("calls");
    QTest::addColumn<QString>("labelAfter");
    QTest::newRow("aucune, automatic") << true << false << true << int(rasSuccess)
                                       << QStringList{"GetEntryDialParams Maison", "Dial Maison"}
                                       << "&Connexion active: Maison";
    QTest::newRow("automatic activation off") << false << false << true << int(rasSuccess) << QStringList{}
                                              << None;
    QTest::newRow("a line is up") << true << true << true << int(rasSuccess) << QStringList{}
                                  << "&Connexion active: Bureau";
    QTest::newRow("dial fails") << true << false << true << int(rasNoAnswer)
                                << QStringList{"GetEntryDialParams Maison", "Dial Maison", "HangUp 1"} << None;
    QTest::newRow("no entry to dial") << true << false << false << int(rasSuccess)
                                      << QStringList{"GetEntryDialParams"} << None;
}

void TestDialUpWindow::connectDialsFirst()
{
    QFETCH(bool, autoActivate);
    QFETCH(bool, lineUpBefore);
    QFETCH(bool, withEntries);
    QFETCH(int, dialResult);
    QFETCH(QStringList, calls);
    QFETCH(QString, labelAfter);
    if (!PyFtpdServer::Available())
        QSKIP(PyFtpdServer::UnavailableMessage());
    PyFtpdServer server;
    QVERIFY2(server.Start(), qPrintable(server.ErrorString()));
    UseBackend([withEntries](TScriptedDialUpBackend &b) {
        if (withEntries) {
            b.AddEntry(QStringLiteral("Maison"));
            b.AddEntry(QStringLiteral("Bureau"));
        }
    });
    TfrmMain w;
    PointEditorAt(w, server);
    Find<QCheckBox>(w, "activer")->setChecked(autoActivate);
    if (lineUpBefore) {
        Backend().AddConnection(QStringLiteral("Bureau"), QStringLiteral("vpn"), QStringLiteral("tun0"));
        w.connexionactiveTimer();
    }
    // While the line is dialled, nothing of the FTP connection has started.
    QStringList statusWhileDialling;
    bool clientIdleWhileDialling = false;
    TScriptedDial dial;
    dial.Result = dialResult;
    dial.During = [&] {
        statusWhileDialling = {Text(w, "StatusBar1Panel0"), Text(w, "StatusBar2Panel0")};
        clientIdleWhileDialling = !w.VexFtp1()->Connected() && w.VexFtp1()->Server() != server.Host();
    };
    Backend().QueueDial(dial);
    Backend().ClearCalls();

    Find<QAction>(w, "ToolButton1")->trigger();
    QCOMPARE(DialAndHangUpCalls(Backend()), calls);
    if (calls.contains(QStringLiteral("Dial Maison"))) {
        QCOMPARE(statusWhileDialling, (QStringList{"Appel...", "Appel..."}));
        QVERIFY(clientIdleWhileDialling);
    }
    QCOMPARE(Text(w, "connexionencours"), labelAfter);
    QCOMPARE(Colour(w, "okconnect"), labelAfter == None ? Red : Lime);
    if (dialResult == rasSuccess && calls.contains(QStringLiteral("Dial Maison"))) {
        QCOMPARE(Text(w, "typeconnexion"), QStringLiteral("&Type :ttyS0"));
        QCOMPARE(w.DialUp1()->ConnectionHandle(), TRasHandle(1));
    }
    // The FTP connection follows in every case, without a word from the
    // dial-up layer.
    QCOMPARE(w.VexFtp1()->Server(), server.Host());
    QTRY_VERIFY_WITH_TIMEOUT(w.VexFtp1()->LoggedIn(), LoginWaitMs);
    QVERIFY(Text(w, "StatusBar1Panel0").startsWith(QStringLiteral("Status : Connecté le : ")));
    QVERIFY(fx->prompter.Asked().isEmpty());
    w.VexFtp1()->Close();
}

void TestDialUpWindow::connectWhileConnectedOnlyDials()
{
    if (!PyFtpdServer::Available())
        QSKIP(PyFtpdServer::UnavailableMessage());
    PyFtpdServer server;
    QVERIFY2(server.Start(), qPrintable(server.ErrorString()));
    UseBackend([](TScriptedDialUpBackend &b) { b.AddEntry(QStringLiteral("Maison")); });
    TfrmMain w;
    PointEditorAt(w, server);
    // Both dials fail, so the label keeps "aucune" and each connect dials.
    TScriptedDial busyLine;
    busyLine.Result = rasLineBusy;
    busyLine.ReturnsHandle = false;
    Backend().QueueDial(busyLine);
    Backend().QueueDial(busyLine);

    w.FrontEnd().ToolButton1Click();
    QTRY_VERIFY_WITH_TIMEOUT(w.VexFtp1()->LoggedIn() && !w.VexFtp1()->Busy(), LoginWaitMs);
    const QString log = Find<QWidget>(w, "VexFtpMessenger1")->property("plainText").toString();
    QCOMPARE(log.count(QStringLiteral("USER anonymous")), 1);

    w.FrontEnd().ToolButton1Click();
    QCOMPARE(DialAndHangUpCalls(Backend()).count(QStringLiteral("Dial Maison")), 2);
    QTest::qWait(200);
    QCOMPARE(Find<QWidget>(w, "VexFtpMessenger1")->property("plainText").toString(), log);
    QVERIFY(w.VexFtp1()->LoggedIn());
    w.VexFtp1()->Close();
}

void TestDialUpWindow::activeConnectionsShowTheLast()
{
    UseBackend([](TScriptedDialUpBackend &b) {
        b.AddConnection(QStringLiteral("Maison"), QStringLiteral("modem"), QStringLiteral("ttyS0"));
        b.AddConnection(QStringLiteral("VPN bureau"), QStringLiteral("vpn"), QStringLiteral("tun0"));
    });
    TfrmMain w;
    w.connexionactiveTimer();
    QCOMPARE(Text(w, "connexionencours"), QStringLiteral("&Connexion active: VPN bureau"));
    QCOMPARE(Text(w, "typeconnexion"), QStringLiteral("&Type :tun0"));
    QCOMPARE(Colour(w, "okconnect"), Lime);
    // The clock of both status bars.
    QVERIFY(Text(w, "StatusBar1Panel2").contains(QStringLiteral(" - ")));
    QCOMPARE(Text(w, "StatusBar2Panel2"), Text(w, "StatusBar1Panel2"));

    // A connection without an entry name shows the indicator red.
    for (const TRasConnection &c : Backend().Connections())
        Backend().HangUp(c.Handle);
    Backend().AddConnection(QString(), QStringLiteral("ethernet"), QStringLiteral("eth0"));
    w.connexionactiveTimer();
    QCOMPARE(Text(w, "connexionencours"), QStringLiteral("&Connexion active: "));
    QCOMPARE(Colour(w, "okconnect"), Red);

    // Once no line is up, the labels say so again, and connect would dial.
    for (const TRasConnection &c : Backend().Connections())
        Backend().HangUp(c.Handle);
    w.connexionactiveTimer();
    QCOMPARE(Text(w, "connexionencours"), None);
    QCOMPARE(Text(w, "typeconnexion"), QStringLiteral("&Type:"));
    QCOMPARE(Colour(w, "okconnect"), Red);

    // A failed enumeration leaves them as they are.
    Backend().AddConnection(QStringLiteral("Maison"), QStringLiteral("modem"), QStringLiteral("ttyS0"));
    w.connexionactiveTimer();
    Backend().SetFailure(QStringLiteral("EnumConnections"), rasServiceUnavailable);
    w.connexionactiveTimer();
    QCOMPARE(Text(w, "connexionencours"), QStringLiteral("&Connexion active: Maison"));
}

void TestDialUpWindow::quitHangsUp_data()
{
    QTest::addColumn<bool>("hangUpOnQuit");
    QTest::addColumn<bool>("throughQuitter");
    QTest::addColumn<QStringList>("hungUp");
    QTest::newRow("box checked") << true << true << QStringList{"HangUp 1", "HangUp 2"};
    QTest::newRow("box unchecked") << false << true << QStringList{};
    QTest::newRow("closed another way") << true << false << QStringList{};
}

void TestDialUpWindow::quitHangsUp()
{
    QFETCH(bool, hangUpOnQuit);
    QFETCH(bool, throughQuitter);
    QFETCH(QStringList, hungUp);
    UseBackend([](TScriptedDialUpBackend &b) {
        b.AddEntry(QStringLiteral("Maison"));
        b.AddConnection(QStringLiteral("Maison"), QStringLiteral("modem"), QStringLiteral("ttyS0"));
        b.AddConnection(QStringLiteral("Voisin"), QStringLiteral("PPPoE"), QStringLiteral("ppp0"));
        // The line takes a few reads to go, as a real one does.
        b.SetHangUpLinger(2);
    });
    TfrmMain w;
    w.show();
    // Only the quit enumerates here: the one-second check would hang the
    // lines up again while they linger.
    Find<QTimer>(w, "connexionactive")->stop();
    Find<QCheckBox>(w, "deconnecter")->setChecked(hangUpOnQuit);
    Backend().ClearCalls();
    QSignalSpy closed(&w, &TfrmMain::Closed);
    if (throughQuitter)
        Find<QAction>(w, "Quitter1")->trigger();
    else
        w.close();
    QCOMPARE(closed.count(), 1);
    QVERIFY(!w.isVisible());
    QCOMPARE(DialAndHangUpCalls(Backend()), hungUp);
    // Hung-up lines are gone before the window closed.
    QCOMPARE(Backend().Connections().size(), hungUp.isEmpty() ? 2 : 0);
    QCOMPARE(TShellFixture::ReadPreferences().value(Pref::HangUpOnQuit), QString(hangUpOnQuit ? "oui" : "non"));
}

void TestDialUpWindow::failedDialWhileQuittingCloses_data()
{
    QTest::addColumn<bool>("quitting");
    QTest::addColumn<int>("dialResult");
    QTest::addColumn<bool>("closes");
    QTest::newRow("failed while quitting") << true << int(rasNoAnswer) << true;
    QTest::newRow("failed, not quitting") << false << int(rasNoAnswer) << false;
    QTest::newRow("succeeded while quitting") << true << int(rasSuccess) << false;
}

void TestDialUpWindow::failedDialWhileQuittingCloses()
{
    QFETCH(bool, quitting);
    QFETCH(int, dialResult);
    QFETCH(bool, closes);
    UseBackend([](TScriptedDialUpBackend &b) { b.AddEntry(QStringLiteral("Maison")); });
    TfrmMain w;
    w.show();
    Find<QLineEdit>(w, "HostTxt")->setText(QStringLiteral("127.0.0.1"));
    Find<QLineEdit>(w, "PortTxt")->setText(QStringLiteral("1"));
    w.VexFtp1()->SetRetries(0);
    TScriptedDial dial;
    dial.Result = dialResult;
    dial.ReturnsHandle = false;
    // The program starts quitting while the line is being dialled.
    dial.During = [&w, quitting] { w.Context().SetQuitting(quitting); };
    Backend().QueueDial(dial);
    QSignalSpy closed(&w, &TfrmMain::Closed);

    w.FrontEnd().ToolButton1Click();
    QCOMPARE(closed.count(), closes ? 1 : 0);
    QCOMPARE(w.isVisible(), !closes);
    QVERIFY(fx->prompter.Asked().isEmpty());
    // A closing window starts no FTP connection; otherwise the connection
    // is tried whatever the dial gave.
    QCOMPARE(w.VexFtp1()->Server(), quitting ? QString() : QStringLiteral("127.0.0.1"));
    w.Context().SetQuitting(false);
    w.VexFtp1()->Close();
}

QTEST_MAIN(TestDialUpWindow)
#include "tst_dialupwindow.moc"
