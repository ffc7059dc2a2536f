// The seams of the application's tabs: the one place where a handler's
// failure is caught (a step started by program, a control's signal, a real
// user command of the window), the rule that keeps a remote name's local
// file inside the local folder, and the tab host with the controls each tab
// owns.

#include "GuiTestSupport.h"
#include "AppContext.h"
#include "AppError.h"
#include "ExplorerTab.h"
#include "Ftp.h"
#include "LocalNames.h"
#include "MainWindow.h"
#include "QuickExplorerTab.h"
#include "SchedulerTab.h"
#include "UpdateTab.h"

#include <QAction>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTabWidget>
#include <QtTest>
#include <stdexcept>

namespace {
template <typename T>
T *Find(const TfrmMain &w, const char *name)
{
    return w.findChild<T *>(QLatin1String(name));
}

// A tab's handler that fails.
struct TFailingTab : QObject {
    int runs = 0;
    void Fail()
    {
        ++runs;
        throw TVelmarError(QStringLiteral("Échec de la commande"));
    }
};
}

class TestAppTabs : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();

    void failureShownAndRestAbandoned_data();
    void failureShownAndRestAbandoned();
    void controlSignalsGoThroughDispatch();
    void userCommandFailureKeepsWindowRunning();
    void localNames_data();
    void localNames();
    void tabsOwnTheirControls_data();
    void tabsOwnTheirControls();
    void tabHost();

private:
    QTemporaryDir home;
    std::unique_ptr<TShellFixture> fx;
};

void TestAppTabs::initTestCase()
{
    IsolateUserFolders(home);
}

void TestAppTabs::init()
{
    fx = std::make_unique<TShellFixture>();
}

void TestAppTabs::cleanup()
{
    fx.reset();
}

void TestAppTabs::failureShownAndRestAbandoned_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("message");
    QTest::newRow("program's failure") << 0 << QStringLiteral("'12a' n'est pas une valeur entière correcte");
    QTest::newRow("library's failure") << 1 << QStringLiteral("disque plein");
}

void TestAppTabs::failureShownAndRestAbandoned()
{
    QFETCH(int, kind);
    QFETCH(QString, message);
    QWidget window;
    TVexFtp client;
    TAppContext context(&window, &client);
    QStringList steps;
    const bool done = context.Run([&] {
        steps << QStringLiteral("avant");
        if (kind == 0)
            throw TVelmarError(message);
        throw std::runtime_error(message.toStdString());
        steps << QStringLiteral("après");
    });
    QVERIFY(!done);
    QCOMPARE(steps, QStringList{QStringLiteral("avant")});
    QCOMPARE(fx->prompter.Messages(), QStringList{message});
    QCOMPARE(fx->prompter.Asked().first().caption, QStringLiteral("Velmar"));

    // The program goes on: the next handler runs whole, without a message.
    QVERIFY(context.Run([&] { steps << QStringLiteral("suivant"); }));
    QCOMPARE(steps, (QStringList{QStringLiteral("avant"), QStringLiteral("suivant")}));
    QCOMPARE(fx->prompter.Messages().size(), 1);
}

void TestAppTabs::controlSignalsGoThroughDispatch()
{
    QWidget window;
    TVexFtp client;
    TAppContext context(&window, &client);

    // A tab's handler wired to a button: the click returns, the failure is
    // shown, the button works again.
    TFailingTab tab;
    auto *button = new QPushButton(&window);
    context.Connect(button, &QPushButton::clicked, &tab, &TFailingTab::Fail);
    button->click();
    button->click();
    QCOMPARE(tab.runs, 2);
    QCOMPARE(fx->prompter.Messages(), (QStringList{QStringLiteral("Échec de la commande"),
                                                   QStringLiteral("Échec de la commande")}));

    // A handler given the signal's arguments.
    auto *list = new QListWidget(&window);
    list->addItems({QStringLiteral("un"), QStringLiteral("deux")});
    QList<int> rows;
    context.Connect(list, &QListWidget::currentRowChanged, &tab, [&](int row) {
        rows << row;
        if (row == 1)
            throw TVelmarError(QStringLiteral("ligne %1 refusée").arg(row));
    });
    list->setCurrentRow(0);
    list->setCurrentRow(1);
    QCOMPARE(rows, (QList<int>{0, 1}));
    QCOMPARE(fx->prompter.Messages().last(), QStringLiteral("ligne 1 refusée"));

    // The receiver's end ends the connection.
    {
        TFailingTab gone;
        context.Connect(button, &QPushButton::clicked, &gone, &TFailingTab::Fail);
    }
    fx->prompter.Clear();
    button->click();
    QCOMPARE(fx->prompter.Messages().size(), 1);
}

void TestAppTabs::userCommandFailureKeepsWindowRunning()
{
    TfrmMain w;
    TVexFtp *client = w.VexFtp1();
    Find<QLineEdit>(w, "PortTxt")->setText(QStringLiteral("21x"));
    Find<QAction>(w, "ToolButton1")->trigger();
    Find<QAction>(w, "Connecter1")->trigger();
    QCOMPARE(fx->prompter.Messages(), (QStringList{QStringLiteral("'21x' n'est pas une valeur entière correcte"),
                                                   QStringLiteral("'21x' n'est pas une valeur entière correcte")}));
    QVERIFY(!client->Connected());
    // The server field was applied before the port stopped the command.
    QCOMPARE(client->Server(), Find<QLineEdit>(w, "HostTxt")->text());

    // Other commands still run.
    Find<QAction>(w, "APropos1")->trigger();
    QCOMPARE(Find<QTabWidget>(w, "PageControl1")->currentWidget(), Find<QWidget>(w, "TabSheet6"));
}

void TestAppTabs::localNames_data()
{
    QTest::addColumn<QString>("remote");
    QTest::addColumn<QString>("local"); // null: refused
    QTest::newRow("plain") << "notes.txt" << "notes.txt";
    QTest::newRow("with blanks") << " notes .txt " << " notes .txt ";
    QTest::newRow("after a slash") << "pub/notes.txt" << "notes.txt";
    QTest::newRow("after a backslash") << "pub\\notes.txt" << "notes.txt";
    QTest::newRow("after the last of both") << "a\\b/c\\d.txt" << "d.txt";
    QTest::newRow("climbing") << "../../etc/passwd" << "passwd";
    QTest::newRow("climbing with backslashes") << "..\\..\\boot.ini" << "boot.ini";
    QTest::newRow("dots in a name") << "...txt" << "...txt";
    QTest::newRow("empty") << "" << QString();
    QTest::newRow("folder itself") << "." << QString();
    QTest::newRow("parent") << ".." << QString();
    QTest::newRow("ending with a slash") << "pub/" << QString();
    QTest::newRow("ending with a backslash") << "pub\\" << QString();
    QTest::newRow("ending with parent") << "pub/.." << QString();
    QTest::newRow("ending with parent after a backslash") << "pub\\.." << QString();
    QTest::newRow("NUL inside") << QStringLiteral("a") + QChar(0) + QStringLiteral("b") << QString();
}

void TestAppTabs::localNames()
{
    QFETCH(QString, remote);
    QFETCH(QString, local);
    const std::optional<QString> name = LocalNameOf(remote);
    const std::optional<QString> path = LocalPathOf(QStringLiteral("/home/moi/Téléchargements/"), remote);
    const std::optional<QString> pathWithoutSlash = LocalPathOf(QStringLiteral("/home/moi/Téléchargements"), remote);
    if (local.isNull()) {
        QVERIFY(!name);
        QVERIFY(!path);
        QVERIFY(!pathWithoutSlash);
        return;
    }
    QVERIFY(name);
    QCOMPARE(*name, local);
    QCOMPARE(*path, QStringLiteral("/home/moi/Téléchargements/") + local);
    QCOMPARE(*pathWithoutSlash, *path);
    // Never outside the folder.
    QCOMPARE(QFileInfo(*path).absolutePath(), QStringLiteral("/home/moi/Téléchargements"));
}

void TestAppTabs::tabsOwnTheirControls_data()
{
    QTest::addColumn<QString>("control");
    QTest::addColumn<QString>("page");
    for (const char *name : {"VexFtpTreeView1", "VexFtpListView1", "VexFtpMessenger1", "DirTree1", "Files",
                             "progression", "ProgressBar1", "camembert", "StatusBar1Panel0"})
        QTest::newRow(name) << name << "TabSheet1";
    for (const char *name : {"replocal1", "ZEVudeDadaVAV1", "StatusBar2Panel2"})
        QTest::newRow(name) << name << "TabSheet2";
    for (const char *name : {"repencours", "replocal", "miseajour"})
        QTest::newRow(name) << name << "TabSheet3";
    for (const char *name : {"connect", "ListBox1", "sauver", "Connexions", "activer", "tele", "noop", "archives"})
        QTest::newRow(name) << name << "TabSheet4";
    for (const char *name : {"MonthCalendar1", "ListBox2", "CheckBox8", "CheckBox9", "Memo2", "ListBox3"})
        QTest::newRow(name) << name << "TabSheet5";
    for (const char *name : {"Label5", "Label6"})
        QTest::newRow(name) << name << "TabSheet6";
}

void TestAppTabs::tabsOwnTheirControls()
{
    QFETCH(QString, control);
    QFETCH(QString, page);
    TfrmMain w;
    const QWidget *widget = w.findChild<QWidget *>(control);
    QVERIFY2(widget, qPrintable(control));
    const QWidget *pageWidget = Find<QWidget>(w, page.toLatin1().constData());
    QVERIFY(pageWidget);
    QVERIFY2(pageWidget->isAncestorOf(widget), qPrintable(control + QStringLiteral(" not on ") + page));
}

void TestAppTabs::tabHost()
{
    TfrmMain w;
    TAppContext &context = w.Context();
    const QList<QPair<TPage, QWidget *>> pages{{TPage::Explorer, &w.Explorer()},
                                               {TPage::QuickExplorer, &w.QuickExplorer()},
                                               {TPage::Update, &w.Update()},
                                               {TPage::Settings, Find<QWidget>(w, "TabSheet4")},
                                               {TPage::Scheduler, &w.Scheduler()},
                                               {TPage::About, Find<QWidget>(w, "TabSheet6")}};
    auto *host = Find<QTabWidget>(w, "PageControl1");
    QCOMPARE(host->count(), PageCount);
    for (int i = 0; i < pages.size(); ++i) {
        QCOMPARE(context.Page(pages[i].first), pages[i].second);
        QCOMPARE(host->widget(i), pages[i].second);
        QCOMPARE(pages[i].second->objectName(), QStringLiteral("TabSheet%1").arg(i + 1));
    }
    QVERIFY(context.CurrentPage() == TPage::Explorer);
    context.ShowPage(TPage::Scheduler);
    QCOMPARE(host->currentWidget(), &w.Scheduler());
    host->setCurrentIndex(int(TPage::Settings));
    QVERIFY(context.CurrentPage() == TPage::Settings);
    // The client the tabs see is the window's.
    QCOMPARE(context.VexFtp1(), w.VexFtp1());
    QCOMPARE(context.Window(), &w);
}

QTEST_MAIN(TestAppTabs)
#include "tst_apptabs.moc"
