// The site manager: the profile editor, the check list "Sites Ftp" and
// velmar.ini (save, delete, load, check), quick connect, applying the
// profile to the client and logging in, the mode lists and the web page.

#include "GuiTestSupport.h"
#include "AppContext.h"
#include "FrontEnd.h"
#include "Ftp.h"
#include "MainWindow.h"
#include "PyFtpdServer.h"
#include "RadioGroup.h"
#include "SiteManager.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTabWidget>
#include <QTcpSocket>
#include <QRadioButton>
#include <QRandomGenerator>
#include <QTcpServer>
#include <QtTest>

namespace {
const QString NotAnInteger = QStringLiteral("'%1' n'est pas une valeur entière correcte");
const QString NotAPort = QStringLiteral("'%1' n'est pas un numéro de port correct (1 à 65535)");

template <typename T>
T *Find(const TfrmMain &w, const char *name)
{
    return w.findChild<T *>(QLatin1String(name));
}

QListWidget *Sites(const TfrmMain &w)
{
    return Find<QListWidget>(w, "ListBox1");
}

QStringList SiteNames(const TfrmMain &w)
{
    QStringList names;
    for (int row = 0; row < Sites(w)->count(); ++row)
        names.append(Sites(w)->item(row)->text());
    return names;
}

QStringList CheckedSites(const TfrmMain &w)
{
    QStringList names;
    for (int row = 0; row < Sites(w)->count(); ++row)
        if (Sites(w)->item(row)->checkState() == Qt::Checked)
            names.append(Sites(w)->item(row)->text());
    return names;
}

// A click on an entry: it becomes the selected entry, then the click handler runs.
void ClickSite(TfrmMain &w, int row)
{
    Sites(w)->setCurrentRow(row);
    emit Sites(w)->itemClicked(Sites(w)->item(row));
}

QStringList EditorTexts(const TfrmMain &w)
{
    QStringList texts;
    for (const char *name : {"connect", "HostTxt", "PortTxt", "UserTxt", "PassTxt"})
        texts.append(Find<QLineEdit>(w, name)->text());
    texts.append(Find<QCheckBox>(w, "CheckBox1")->isChecked() ? "1" : "0");
    for (const char *name : {"ProxyTxt", "Portproxy", "web", "defaurep"})
        texts.append(Find<QLineEdit>(w, name)->text());
    return texts;
}

void SetEditor(TfrmMain &w, const QStringList &texts)
{
    const char *names[] = {"connect", "HostTxt", "PortTxt", "UserTxt", "PassTxt"};
    for (int i = 0; i < 5; ++i)
        Find<QLineEdit>(w, names[i])->setText(texts.at(i));
    Find<QCheckBox>(w, "CheckBox1")->setChecked(texts.at(5) != QLatin1String("0"));
    const char *rest[] = {"ProxyTxt", "Portproxy", "web", "defaurep"};
    for (int i = 0; i < 4; ++i)
        Find<QLineEdit>(w, rest[i])->setText(texts.at(6 + i));
}

QByteArrayList FileLines(const QByteArray &data)
{
    QByteArrayList lines = data.split('\n');
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    for (QByteArray &line : lines)
        line.chop(1); // the CR
    return lines;
}

QString LogText(const TfrmMain &w)
{
    // Whatever kind of text control the log is.
    return Find<QWidget>(w, "VexFtpMessenger1")->property("plainText").toString();
}
}

class TestSiteManager : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();

    void saveOnFreshInstallation();
    void saveSameContentsTwice();
    void deleteSecondOfThree();
    void deleteOnlyProfile();
    void nothingWithoutSelectionOrCompleteBlock_data();
    void nothingWithoutSelectionOrCompleteBlock();
    void deleteWhenTheFileIsGone();
    void loadOneByClick();
    void proxyFlagReload_data();
    void proxyFlagReload();
    void proxySavedCheckedReloadsChecked();
    void proxyBoxEnablesItsFields();
    void checkingOneSiteUnchecksOthers();
    void newProfileInEditor();
    void quickConnectCancelled();
    void quickConnectLogsIn();
    void portNotANumberStopsApply_data();
    void portNotANumberStopsApply();
    void connectShowsLoginDialogue();
    void modeListsAndRadioGroups_data();
    void modeListsAndRadioGroups();
    void webPageButton_data();
    void webPageButton();
    void brokenProfileFiles_data();
    void brokenProfileFiles();

private:
    QTemporaryDir home;
    std::unique_ptr<TShellFixture> fx;
};

void TestSiteManager::initTestCase()
{
    IsolateUserFolders(home);
}

void TestSiteManager::init()
{
    fx = std::make_unique<TShellFixture>();
}

void TestSiteManager::cleanup()
{
    fx.reset();
}

void TestSiteManager::saveOnFreshInstallation()
{
    TfrmMain w;
    const QStringList profile = ProfileTexts("Mon site", "ftp.monsite.example", "2121", "1");
    SetEditor(w, profile);
    Find<QPushButton>(w, "sauver")->click();

    QCOMPARE(fx->ReadFile("velmar.ini"), ProfileFileText({profile}));
    QCOMPARE(FileLines(fx->ReadFile("velmar.ini")).size(), 13);
    QCOMPARE(QFile::permissions(fx->ProfilePath()) & ~(QFileDevice::ReadUser | QFileDevice::WriteUser),
             QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    QCOMPARE(SiteNames(w), QStringList{"Mon site"});
    QVERIFY(fx->prompter.Asked().isEmpty());
}

void TestSiteManager::saveSameContentsTwice()
{
    TfrmMain w;
    const QStringList profile = ProfileTexts("double");
    SetEditor(w, profile);
    w.SiteManager().sauverClick();
    w.SiteManager().sauverClick();
    QCOMPARE(fx->ReadFile("velmar.ini"), ProfileFileText({profile, profile}));
    QCOMPARE(SiteNames(w), (QStringList{"double", "double"}));
}

void TestSiteManager::deleteSecondOfThree()
{
    const QByteArray before = ProfileFileText({ProfileTexts("A"), ProfileTexts("B"), ProfileTexts("C")});
    fx->WriteFile("velmar.ini", before);
    TfrmMain w;
    ClickSite(w, 1);
    QCOMPARE(EditorTexts(w), ProfileTexts("B"));
    Find<QPushButton>(w, "supprimer")->click();

    QByteArrayList expected = FileLines(before);
    expected.remove(13, 10);
    QCOMPARE(FileLines(fx->ReadFile("velmar.ini")), expected);
    QCOMPARE(SiteNames(w), (QStringList{"A", "C"}));
    QCOMPARE(EditorTexts(w), ProfileTexts("A"));
    QVERIFY(fx->prompter.Asked().isEmpty());
}

void TestSiteManager::deleteOnlyProfile()
{
    fx->WriteFile("velmar.ini", ProfileFileText({ProfileTexts("seul")}));
    TfrmMain w;
    ClickSite(w, 0);
    const QStringList edited = ProfileTexts("en cours d'édition");
    SetEditor(w, edited);
    w.SiteManager().supprimerClick();
    QCOMPARE(fx->ReadFile("velmar.ini"), ProfileFileText({}));
    QCOMPARE(Sites(w)->count(), 0);
    QCOMPARE(EditorTexts(w), edited);
}

void TestSiteManager::nothingWithoutSelectionOrCompleteBlock_data()
{
    QTest::addColumn<int>("row"); // -1: no selection
    QTest::addColumn<bool>("deleting");
    QTest::newRow("delete without selection") << -1 << true;
    QTest::newRow("delete the truncated last block") << 1 << true;
    QTest::newRow("load the truncated last block") << 1 << false;
}

void TestSiteManager::nothingWithoutSelectionOrCompleteBlock()
{
    QFETCH(int, row);
    QFETCH(bool, deleting);
    const QByteArray before = ProfileFileText({ProfileTexts("A"), {"B", "ftp.b.example", "21"}});
    fx->WriteFile("velmar.ini", before);
    TfrmMain w;
    QCOMPARE(SiteNames(w), (QStringList{"A", "B"}));
    const QStringList editor = EditorTexts(w);
    if (row >= 0)
        Sites(w)->setCurrentRow(row);
    else
        Sites(w)->setCurrentRow(-1);
    if (deleting)
        w.SiteManager().supprimerClick();
    else
        w.SiteManager().ListBox1Click();
    QCOMPARE(fx->ReadFile("velmar.ini"), before);
    QCOMPARE(SiteNames(w), (QStringList{"A", "B"}));
    QCOMPARE(EditorTexts(w), editor);
    QVERIFY(fx->prompter.Asked().isEmpty());
}

void TestSiteManager::deleteWhenTheFileIsGone()
{
    fx->WriteFile("velmar.ini", ProfileFileText({ProfileTexts("A"), ProfileTexts("B")}));
    TfrmMain w;
    QVERIFY(QFile::remove(fx->ProfilePath()));
    ClickSite(w, 1);
    w.SiteManager().supprimerClick();
    QCOMPARE(Sites(w)->count(), 0);
    QVERIFY(!QFile::exists(fx->ProfilePath()));
    QVERIFY(fx->prompter.Asked().isEmpty());
}

void TestSiteManager::loadOneByClick()
{
    fx->WriteFile("velmar.ini", ProfileFileText({ProfileTexts("A"), ProfileTexts("B", "ftp.b.example", "990")}));
    TfrmMain w;
    QCOMPARE(EditorTexts(w), ProfileTexts("A"));
    QCOMPARE(w.windowTitle(), QStringLiteral("Velmar : A"));
    w.show();
    Find<QTabWidget>(w, "PageControl1")->setCurrentWidget(Find<QWidget>(w, "TabSheet4"));
    QListWidget *list = Sites(w);
    const QRect rect = list->visualItemRect(list->item(1));
    QVERIFY(!rect.isEmpty());
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, rect.center() + QPoint(rect.width() / 4, 0));
    QCOMPARE(EditorTexts(w), ProfileTexts("B", "ftp.b.example", "990"));
    QCOMPARE(w.windowTitle(), QStringLiteral("Velmar : B"));
}

void TestSiteManager::proxyFlagReload_data()
{
    QTest::addColumn<QString>("flag");
    QTest::addColumn<bool>("checked");
    QTest::newRow("1") << "1" << true;
    QTest::newRow("0") << "0" << false;
    QTest::newRow("any other text") << "oui" << true;
    QTest::newRow("empty") << "" << true;
}

void TestSiteManager::proxyFlagReload()
{
    QFETCH(QString, flag);
    QFETCH(bool, checked);
    fx->WriteFile("velmar.ini", ProfileFileText({ProfileTexts("A", "h", "21", checked ? "0" : "1"),
                                                 ProfileTexts("B", "h", "21", flag)}));
    TfrmMain w;
    QCOMPARE(Find<QCheckBox>(w, "CheckBox1")->isChecked(), !checked);
    ClickSite(w, 1);
    QCOMPARE(Find<QCheckBox>(w, "CheckBox1")->isChecked(), checked);
    QCOMPARE(Find<QLineEdit>(w, "ProxyTxt")->isEnabled(), checked);
    QCOMPARE(Find<QLineEdit>(w, "Portproxy")->isEnabled(), checked);
    QCOMPARE(Find<QLineEdit>(w, "ProxyTxt")->text(), QStringLiteral("proxy.example.net"));
}

void TestSiteManager::proxySavedCheckedReloadsChecked()
{
    {
        TfrmMain w;
        SetEditor(w, ProfileTexts("par proxy", "ftp.example.net", "21", "1"));
        w.SiteManager().sauverClick();
    }
    QCOMPARE(SiteProfile::FromTexts(QString::fromUtf8(fx->ReadFile("velmar.ini")).split("\r\n").mid(3)).proxyFlag,
             QStringLiteral("1"));
    TfrmMain w;
    QVERIFY(Find<QCheckBox>(w, "CheckBox1")->isChecked());
    QVERIFY(Find<QLineEdit>(w, "ProxyTxt")->isEnabled());
    QVERIFY(Find<QLineEdit>(w, "Portproxy")->isEnabled());
}

void TestSiteManager::proxyBoxEnablesItsFields()
{
    TfrmMain w;
    auto *box = Find<QCheckBox>(w, "CheckBox1");
    QVERIFY(!Find<QLineEdit>(w, "ProxyTxt")->isEnabled());
    box->click();
    QVERIFY(Find<QLineEdit>(w, "ProxyTxt")->isEnabled());
    QVERIFY(Find<QLineEdit>(w, "Portproxy")->isEnabled());
    box->click();
    QVERIFY(!Find<QLineEdit>(w, "ProxyTxt")->isEnabled());
}

void TestSiteManager::checkingOneSiteUnchecksOthers()
{
    fx->WriteFile("velmar.ini", ProfileFileText({ProfileTexts("A"), ProfileTexts("B"), ProfileTexts("C")}));
    TfrmMain w;
    Sites(w)->item(0)->setCheckState(Qt::Checked);
    QCOMPARE(CheckedSites(w), QStringList{"A"});
    Sites(w)->item(2)->setCheckState(Qt::Checked);
    QCOMPARE(CheckedSites(w), QStringList{"C"});
    QCOMPARE(Sites(w)->currentRow(), 2);
    // Unchecking the default keeps it: one default remains.
    Sites(w)->item(2)->setCheckState(Qt::Unchecked);
    QCOMPARE(CheckedSites(w), QStringList{"C"});
}

void TestSiteManager::newProfileInEditor()
{
    fx->WriteFile("velmar.ini", ProfileFileText({ProfileTexts("A", "h", "21", "1")}));
    TfrmMain w;
    const QByteArray file = fx->ReadFile("velmar.ini");
    Find<QPushButton>(w, "nouvelle")->click();
    const QStringList texts = EditorTexts(w);
    QCOMPARE(texts.mid(0, 4), (QStringList{"nouvelle connexion", "ftp.", "21", "anonymous"}));
    QVERIFY(texts.at(4).contains(QLatin1Char('@')));
    QCOMPARE(texts.at(5), QStringLiteral("1")); // the proxy box is left alone
    QCOMPARE(texts.mid(6), (QStringList{"", "", "", ""}));
    QCOMPARE(SiteNames(w), QStringList{"A"});
    QCOMPARE(fx->ReadFile("velmar.ini"), file);
}

void TestSiteManager::quickConnectCancelled()
{
    TfrmMain w;
    w.VexFtp1()->SetServer(QStringLiteral("ftp.before.example"));
    fx->prompter.QueueInput(QString());
    Find<QAction>(w, "connexioonrapide")->trigger();
    QCOMPARE(fx->prompter.Asked().size(), 1);
    const TPromptRecord asked = fx->prompter.Asked().first();
    QCOMPARE(asked.kind, QStringLiteral("input"));
    QCOMPARE(asked.caption, QStringLiteral("Saisie rapide"));
    QCOMPARE(asked.text, QStringLiteral("Site Ftp"));
    QCOMPARE(asked.value, QString());
    QCOMPARE(w.VexFtp1()->Server(), QString());
    QVERIFY(!w.VexFtp1()->Connected());
    QVERIFY(!w.VexFtp1()->Busy());
    QVERIFY(LogText(w).isEmpty());
}

void TestSiteManager::quickConnectLogsIn()
{
    if (!PyFtpdServer::Available())
        QSKIP(PyFtpdServer::UnavailableMessage());
    PyFtpdServer server;
    QVERIFY2(server.Start(), qPrintable(server.ErrorString()));
    TfrmMain w;
    w.VexFtp1()->SetPort(server.Port());
    w.VexFtp1()->SetUsername(QStringLiteral("anonymous"));
    fx->prompter.QueueInput(QStringLiteral("  127.0.0.1 "));
    Find<QAction>(w, "Connexionrapide1")->trigger();
    QCOMPARE(w.VexFtp1()->Server(), QStringLiteral("127.0.0.1"));
    QTRY_VERIFY_WITH_TIMEOUT(w.VexFtp1()->LoggedIn(), 10000);
    QVERIFY2(LogText(w).contains(QStringLiteral("USER anonymous")), qPrintable(LogText(w)));
    w.VexFtp1()->Close();
}

void TestSiteManager::portNotANumberStopsApply_data()
{
    QTest::addColumn<QString>("port");
    QTest::addColumn<bool>("proxy");
    QTest::addColumn<QString>("proxyPort");
    QTest::addColumn<QString>("message");
    QTest::newRow("letters") << "2l" << false << "" << NotAnInteger.arg("2l");
    QTest::newRow("empty") << "" << false << "" << NotAnInteger.arg("");
    QTest::newRow("blank inside") << "21 " << false << "" << NotAnInteger.arg("21 ");
    QTest::newRow("out of range") << "70000" << false << "" << NotAPort.arg("70000");
    QTest::newRow("zero") << "0" << false << "" << NotAPort.arg("0");
    QTest::newRow("proxy port empty") << "21" << true << "" << NotAnInteger.arg("");
    QTest::newRow("proxy port letters") << "21" << true << "80a" << NotAnInteger.arg("80a");
    QTest::newRow("proxy port not read while unchecked") << "x" << false << "80a" << NotAnInteger.arg("x");
}

void TestSiteManager::portNotANumberStopsApply()
{
    QFETCH(QString, port);
    QFETCH(bool, proxy);
    QFETCH(QString, proxyPort);
    QFETCH(QString, message);
    QTcpServer listener;
    QVERIFY(listener.listen(QHostAddress::LocalHost));

    TfrmMain w;
    TVexFtp *client = w.VexFtp1();
    client->SetRetries(0);
    client->SetServer(QStringLiteral("127.0.0.1"));
    client->SetPort(listener.serverPort());
    QStringList texts = ProfileTexts("essai", "127.0.0.1", port, proxy ? "1" : "0");
    texts[7] = proxyPort;
    SetEditor(w, texts);

    QVERIFY(!w.Context().Run([&w] { w.SiteManager().ApplyProfileToClient(QString()); }));
    QCOMPARE(fx->prompter.Messages(), QStringList{message});
    fx->prompter.Clear();
    Find<QAction>(w, "ToolButton1")->trigger();
    QCOMPARE(fx->prompter.Messages(), QStringList{message});
    QVERIFY(!client->Connected());

    // Had either step started a login, its connection would arrive before
    // this one.
    client->Login();
    QTRY_VERIFY_WITH_TIMEOUT(listener.hasPendingConnections(), 5000);
    QTcpSocket *first = listener.nextPendingConnection();
    QVERIFY(first);
    QVERIFY(!listener.hasPendingConnections());
    client->Close();
}

void TestSiteManager::connectShowsLoginDialogue()
{
    if (!PyFtpdServer::Available())
        QSKIP(PyFtpdServer::UnavailableMessage());
    PyFtpdServer server;
    server.SetBanner(QStringLiteral("Site de demonstration Velmar"));
    QVERIFY2(server.Start(), qPrintable(server.ErrorString()));
    fx->WriteFile("velmar.ini",
                  ProfileFileText({ProfileTexts("ailleurs"),
                                   {QStringLiteral("Démo Velmar (local)"), server.Host(), QString::number(server.Port()),
                                    PyFtpdServer::DefaultUser, PyFtpdServer::DefaultPassword, "0", "", "", "", "/"}}));
    TfrmMain w;
    ClickSite(w, 1);
    Find<QAction>(w, "ToolButton1")->trigger();
    TVexFtp *client = w.VexFtp1();
    QCOMPARE(client->Server(), server.Host());
    QCOMPARE(client->Port(), server.Port());
    QCOMPARE(client->TimeOut(), 20);
    QCOMPARE(client->InitialDirectory(), QStringLiteral("/"));
    QTRY_VERIFY_WITH_TIMEOUT(client->LoggedIn(), 10000);
    QTRY_VERIFY_WITH_TIMEOUT(LogText(w).contains(QStringLiteral("Connexion réussie")), 5000);

    const QString log = LogText(w);
    for (const QString &line : {QStringLiteral("220 Site de demonstration Velmar"), QStringLiteral("USER velmar"),
                                QStringLiteral("PASS (pas besoin de le savoir) :-P"), QStringLiteral("230"),
                                QStringLiteral("SYST"), QStringLiteral("215"), QStringLiteral("CWD /"),
                                QStringLiteral("250")})
        QVERIFY2(log.contains(line), qPrintable(line + QStringLiteral(" missing in:\n") + log));
    QVERIFY(!log.contains(QLatin1String(PyFtpdServer::DefaultPassword)));

    // Connect again while connected: nothing more happens.
    const QString before = LogText(w);
    w.FrontEnd().ToolButton1Click();
    QCOMPARE(LogText(w), before);
    Find<QAction>(w, "ToolButton2")->trigger();
    QTRY_VERIFY_WITH_TIMEOUT(!client->Connected(), 5000);
}

void TestSiteManager::modeListsAndRadioGroups_data()
{
    QTest::addColumn<QString>("control"); // a tool-bar list or a radio group
    QTest::addColumn<int>("index");
    QTest::addColumn<bool>("ascii");
    QTest::addColumn<bool>("passive");
    QTest::addColumn<int>("asciiList");
    QTest::addColumn<int>("modeList");
    QTest::addColumn<int>("asciiRadio");
    QTest::addColumn<int>("modeRadio");
    QTest::newRow("list ASCII") << "asciimode" << 1 << true << true << 1 << 0 << 0 << 1;
    QTest::newRow("list BINAIRE") << "asciimode" << 0 << false << true << 0 << 0 << 1 << 1;
    QTest::newRow("list ACTIF") << "Transfertype" << 1 << false << false << 0 << 1 << 1 << 0;
    QTest::newRow("list PASSIF") << "Transfertype" << 0 << false << true << 0 << 0 << 1 << 1;
    QTest::newRow("radio ASCII") << "modetransfert" << 0 << true << true << 1 << 0 << 0 << 1;
    QTest::newRow("radio Actif") << "modeftp" << 0 << false << false << 0 << 1 << 1 << 0;
    QTest::newRow("radio Passif") << "modeftp" << 1 << false << true << 0 << 0 << 1 << 1;
}

void TestSiteManager::modeListsAndRadioGroups()
{
    QFETCH(QString, control);
    QFETCH(int, index);
    QFETCH(bool, ascii);
    QFETCH(bool, passive);
    QFETCH(int, asciiList);
    QFETCH(int, modeList);
    QFETCH(int, asciiRadio);
    QFETCH(int, modeRadio);
    TfrmMain w;
    if (auto *list = w.findChild<QComboBox *>(control)) {
        list->setCurrentIndex(index);
        emit list->activated(index);
    } else {
        auto *group = w.findChild<TRadioGroup *>(control);
        QVERIFY(group);
        group->findChildren<QRadioButton *>().at(index)->click();
    }
    QCOMPARE(w.VexFtp1()->TransferMode(), ascii ? AsciiTransfer : BinaryTransfer);
    QCOMPARE(w.VexFtp1()->Passive(), passive);
    QCOMPARE(Find<QComboBox>(w, "asciimode")->currentIndex(), asciiList);
    QCOMPARE(Find<QComboBox>(w, "Transfertype")->currentIndex(), modeList);
    QCOMPARE(Find<TRadioGroup>(w, "modetransfert")->ItemIndex(), asciiRadio);
    QCOMPARE(Find<TRadioGroup>(w, "modeftp")->ItemIndex(), modeRadio);
}

void TestSiteManager::webPageButton_data()
{
    QTest::addColumn<QString>("page");
    QTest::addColumn<QString>("opened"); // empty: nothing opened
    QTest::newRow("host name") << "www.example.com" << "http://www.example.com";
    QTest::newRow("address") << "https://www.example.com/site/" << "https://www.example.com/site/";
    QTest::newRow("local page") << "/home/moi/site/index.html" << "file:///home/moi/site/index.html";
    QTest::newRow("empty") << "" << "";
    QTest::newRow("blanks") << "   " << "";
}

void TestSiteManager::webPageButton()
{
    QFETCH(QString, page);
    QFETCH(QString, opened);
    TfrmMain w;
    Find<QLineEdit>(w, "web")->setText(page);
    Find<QAction>(w, "ToolButton32")->trigger();
    if (opened.isEmpty())
        QVERIFY(fx->opened.isEmpty());
    else
        QCOMPARE(fx->opened, QList<QUrl>{QUrl(opened)});
}

void TestSiteManager::brokenProfileFiles_data()
{
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<bool>("folder");
    QTest::addColumn<bool>("readable");
    // Control characters and bytes that never occur in UTF-8.
    QByteArray binary(20000, '\0');
    QRandomGenerator random(77);
    for (char &c : binary) {
        const int b = int(random.bounded(136));
        c = char(b < 128 ? b : 0xf8 + (b - 128));
    }
    QTest::newRow("random bytes") << binary << false << true;
    QTest::newRow("truncated in the first block") << ProfileFileText({{"A", "h"}}) << false << true;
    QTest::newRow("header without line ends") << QByteArray("Paramètres") << false << true;
    QTest::newRow("only line ends") << QByteArray(5000, '\n') << false << true;
    QTest::newRow("too large") << QByteArray(MaxProfileFileSize + 10, 'z') << false << false;
    QTest::newRow("a folder") << QByteArray() << true << false;
}

void TestSiteManager::brokenProfileFiles()
{
    QFETCH(QByteArray, data);
    QFETCH(bool, folder);
    QFETCH(bool, readable);
    if (folder)
        QVERIFY(QDir().mkpath(fx->ProfilePath()));
    else
        fx->WriteFile("velmar.ini", data);

    TfrmMain w;
    QVERIFY(fx->prompter.Asked().isEmpty());
    const int count = Sites(w)->count();
    for (int row = 0; row < qMin(count, 30); ++row)
        ClickSite(w, row);

    SetEditor(w, ProfileTexts("ajouté"));
    w.SiteManager().sauverClick();
    if (readable) {
        QVERIFY(fx->prompter.Asked().isEmpty());
        const TProfileFile after = ReadProfileFile(fx->ProfilePath());
        QCOMPARE(after.state, TProfileFileState::Read);
        QVERIFY(after.lines.size() >= 13);
        QCOMPARE(ProfileAt(after.lines, ProfileCount(after.lines) - 1)->Texts(), ProfileTexts("ajouté"));
        const TProfileLines before = SplitProfileLines(data);
        QCOMPARE(after.lines.mid(0, before.size()), before);
        QCOMPARE(Sites(w)->count(), count + 1);
    } else {
        QCOMPARE(fx->prompter.Messages().size(), 1);
        QVERIFY(fx->prompter.Messages().first().startsWith(QStringLiteral("Impossible de lire le fichier des connexions")));
        if (!folder)
            QCOMPARE(fx->ReadFile("velmar.ini"), data);
        QCOMPARE(Sites(w)->count(), count);
    }
    Sites(w)->setCurrentRow(count > 0 ? 0 : -1);
    fx->prompter.Clear();
    w.SiteManager().supprimerClick();
}

QTEST_MAIN(TestSiteManager)
#include "tst_sitemanager.moc"
