// The scheduler tab in the main window, with a clock the tests set: the
// marking commands of the explorer tab, the drops on the program text and
// programmation.ini, date and hour choice, the enable box (also at
// start-up), the program files, and complete unattended runs against a real
// pyftpdlib server (download and upload, a connection that fails, a program
// that names no action, the last of two profiles of one name).

#include "Confirme.h"
#include "ExplorerTestSite.h"
#include "SchedulerTab.h"

#include <QCalendarWidget>
#include <QCheckBox>
#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTcpServer>
#include <QTimer>

using namespace ExplorerTest;

namespace {
constexpr int RunWaitMs = 15000;
const QString Profile = QStringLiteral("Essai");
const QString Host = QStringLiteral("127.0.0.1");

QListWidget *List(const TfrmMain &w, const char *name)
{
    return Find<QListWidget>(w, name);
}

QStringList Texts(const QListWidget *list)
{
    QStringList texts;
    for (int row = 0; row < list->count(); ++row)
        texts << list->item(row)->text();
    return texts;
}

// Adds entries to a candidate list, selected or not.
void AddEntries(QListWidget *list, const QStringList &entries, bool selected)
{
    for (const QString &entry : entries) {
        list->addItem(entry);
        list->item(list->count() - 1)->setSelected(selected);
    }
}

// A port on the loopback interface where nothing listens.
quint16 ClosedPort()
{
    QTcpServer probe;
    if (!probe.listen(QHostAddress::LocalHost))
        return 0;
    const quint16 port = probe.serverPort();
    probe.close();
    return port;
}

// One tick of the timer programmateur, run as the window runs its handlers
// (a failure is shown, not thrown).
void Tick(TfrmMain &w)
{
    w.Context().Run([&w] { w.Scheduler().programmateurTimer(); });
}

QStringList ProgramFileLines(const QByteArray &data)
{
    QStringList lines = QString::fromUtf8(data).split(QStringLiteral("\r\n"));
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    return lines;
}
}

class TestScheduler : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();

    void dateAndHourChoice();
    void midnightRunAndNoAction();
    void dropsAndProgramFile();
    void clearLoadAndSave();
    void enableBoxDecisions();
    void outdatedProgramAtStartup();
    void markingCommands();
    void downloadRun();
    void uploadRun();
    void failedConnectionRun();

private:
    bool StartServer();
    void UseClock(TfrmMain &w);
    void ChooseDateAndHour(TfrmMain &w, const QDate &date, int hourRow);
    QStringList Program(const TfrmMain &w) const { return w.Scheduler().ProgramLines(); }
    // The window's site list: a first profile named Profile on a closed
    // port, then the same name on the server's port (the one to use).
    void WriteProfiles(quint16 port);

    QTemporaryDir home;
    std::unique_ptr<TShellFixture> fx;
    std::unique_ptr<PyFtpdServer> server;
    std::unique_ptr<QTemporaryDir> local;
    QString localFolder; // with its final "/"
    QDateTime now;
    int confirmsShown = 0;
};

void TestScheduler::initTestCase()
{
    IsolateUserFolders(home);
    // Dates read as a French system writes them (25/03/2003).
    QLocale::setDefault(QLocale(QLocale::French, QLocale::France));
}

void TestScheduler::init()
{
    fx = std::make_unique<TShellFixture>();
    local = std::make_unique<QTemporaryDir>();
    localFolder = QDir(local->path()).canonicalPath() + QLatin1Char('/');
    now = QDateTime(QDate(2030, 6, 15), QTime(14, 20));
    confirmsShown = 0;
    // A run answers every question about an existing file by itself.
    SetConfirmFormRunner([this](TConfirmForm &form) {
        ++confirmsShown;
        form.Button(ctCancel)->click();
    });
}

void TestScheduler::cleanup()
{
    if (QTest::currentTestFailed() && server)
        qWarning().noquote() << server->StandardError();
    SetConfirmFormRunner({});
    server.reset();
    local.reset();
    fx.reset();
}

bool TestScheduler::StartServer()
{
    if (!PyFtpdServer::Available())
        return false;
    server = std::make_unique<PyFtpdServer>();
    const QDir root(server->RootPath());
    return root.mkpath(QStringLiteral("pub/sub")) && root.mkpath(QStringLiteral("incoming"))
        && WriteFile(root.filePath(QStringLiteral("pub/index.html")), "<html>Bienvenue</html>\n")
        && WriteFile(root.filePath(QStringLiteral("pub/readme.txt")), RandomBytes(200000, 7))
        && WriteFile(root.filePath(QStringLiteral("index.html")), "<html>racine</html>\n") && server->Start();
}

#define START_SERVER()                                                                                             \
    if (!StartServer())                                                                                            \
    QSKIP(server ? qPrintable(server->ErrorString()) : PyFtpdServer::UnavailableMessage())

void TestScheduler::UseClock(TfrmMain &w)
{
    w.Scheduler().SetClock([this] { return now; });
}

void TestScheduler::ChooseDateAndHour(TfrmMain &w, const QDate &date, int hourRow)
{
    Find<QCalendarWidget>(w, "MonthCalendar1")->setSelectedDate(date);
    List(w, "ListBox2")->setCurrentRow(hourRow);
}

void TestScheduler::WriteProfiles(quint16 port)
{
    QStringList first = ProfileTexts(Profile, Host, QString::number(ClosedPort()));
    QStringList second = ProfileTexts(Profile, Host, QString::number(port));
    first[9] = second[9] = QStringLiteral("/");
    fx->WriteFile("velmar.ini", ProfileFileText({ProfileTexts(QStringLiteral("Autre"), Host, QStringLiteral("21")),
                                                 first, second}));
}

void TestScheduler::dateAndHourChoice()
{
    TfrmMain w;
    UseClock(w);
    auto *calendar = Find<QCalendarWidget>(w, "MonthCalendar1");
    QListWidget *hours = List(w, "ListBox2");
    QCOMPARE(hours->count(), 24);
    QCOMPARE(hours->item(0)->text(), QStringLiteral("1"));
    QCOMPARE(hours->item(23)->text(), QStringLiteral("24"));
    AddEntries(List(w, "ListBox3"), {QStringLiteral("Essai:127.0.0.1:/pub:a.txt")}, true);
    w.Scheduler().Memo2DragDrop(QStringLiteral("ListBox3"));
    const QByteArray dropped = fx->ReadFile("programmation.ini");
    QCOMPARE(ProgramFileLines(dropped), Program(w));

    // A date before today goes back to today, and today to the next full
    // hour (14:20: the entry "15", index 14).
    calendar->setSelectedDate(QDate(2030, 6, 1));
    QCOMPARE(calendar->selectedDate(), QDate(2030, 6, 15));
    QCOMPARE(hours->currentRow(), 14);
    QCOMPARE(Program(w).at(1), QStringLiteral("15/06/2030"));
    calendar->setSelectedDate(QDate(2030, 6, 16));
    calendar->setSelectedDate(QDate(2030, 6, 15));
    QCOMPARE(hours->currentRow(), 14);
    // An earlier hour today moves back to the next full hour.
    hours->setCurrentRow(3);
    QCOMPARE(hours->currentRow(), 14);
    QCOMPARE(Program(w).at(3), QStringLiteral("15"));
    // Another day takes any hour; "24" is written "0".
    calendar->setSelectedDate(QDate(2030, 6, 16));
    QCOMPARE(Program(w).at(1), QStringLiteral("16/06/2030"));
    hours->setCurrentRow(3);
    QCOMPARE(Program(w).at(3), QStringLiteral("4"));
    hours->setCurrentRow(23);
    QCOMPARE(Program(w).at(3), QStringLiteral("0"));
    // Choosing does not rewrite the file: it holds the program of the drop.
    QCOMPARE(fx->ReadFile("programmation.ini"), dropped);
    // A program of one line has no date to change.
    w.Scheduler().SetProgramLines({QStringLiteral("Aucune")});
    calendar->setSelectedDate(QDate(2030, 6, 20));
    QCOMPARE(Program(w), QStringList{QStringLiteral("Aucune")});
}

void TestScheduler::midnightRunAndNoAction()
{
    // An upload program built without a selected remote folder: no lines
    // 4 and 5, so line 7 is the first local file.
    TfrmMain w;
    UseClock(w);
    ChooseDateAndHour(w, QDate(2030, 6, 16), 23);
    AddEntries(List(w, "ListBox4"), {QStringLiteral("Essai:127.0.0.1:/incoming")}, false);
    AddEntries(List(w, "ListBox5"), {localFolder + QStringLiteral("a.txt"), localFolder + QStringLiteral("b.txt")},
               true);
    w.Scheduler().Memo2DragDrop(QStringLiteral("ListBox5"));
    QCOMPARE(Program(w), (QStringList{"le:", "16/06/2030", "à:", "0", "", "Envoyer les fichiers locaux suivants :", "",
                                      localFolder + "a.txt", localFolder + "b.txt"}));

    auto *box = Find<QCheckBox>(w, "CheckBox9");
    auto *timer = Find<QTimer>(w, "programmateur");
    auto *label15 = Find<QLabel>(w, "Label15");
    box->setChecked(true);
    QVERIFY(timer->isActive());
    QCOMPARE(Find<QLabel>(w, "Label24")->text(), QStringLiteral("Programmation activée"));
    QCOMPARE(w.Context().SchedulerEnabled(), 1);
    // "0" is midnight at the start of the chosen day, not its end.
    now = QDateTime(QDate(2030, 6, 16), QTime(23, 30));
    Tick(w);
    QVERIFY(timer->isActive());
    now = QDateTime(QDate(2030, 6, 15), QTime(23, 59, 59));
    Tick(w);
    QVERIFY(timer->isActive());
    QVERIFY(label15->isHidden());
    // Due: the timer's own tick starts the run.
    now = QDateTime(QDate(2030, 6, 16), QTime(0, 0, 1));
    QTRY_VERIFY_WITH_TIMEOUT(!timer->isActive(), 3000);
    QCOMPARE(label15->text(), QStringLiteral("Programmation en cours"));
    QVERIFY(Find<QTimer>(w, "Timer2")->isActive());
    const bool shown = !label15->isHidden();
    QTRY_VERIFY_WITH_TIMEOUT(label15->isHidden() == shown, 3000);
    // Nothing beyond the blinking label: no connection, no overwrite answer.
    QVERIFY(!w.Context().ScheduledRunActive());
    QVERIFY(!w.VexFtp1()->Busy());
    QVERIFY(!w.VexFtp1()->Connected());
    QVERIFY(box->isChecked());
    QVERIFY(fx->prompter.Messages().isEmpty());
}

void TestScheduler::dropsAndProgramFile()
{
    TfrmMain w;
    UseClock(w);
    Find<QLineEdit>(w, "tele")->setText(localFolder + QStringLiteral("Téléchargements"));
    ChooseDateAndHour(w, QDate(2030, 7, 1), 8);
    QListWidget *remoteFiles = List(w, "ListBox3");
    QListWidget *remoteFolders = List(w, "ListBox4");
    QListWidget *localFiles = List(w, "ListBox5");
    auto *box = Find<QCheckBox>(w, "CheckBox9");

    // Drags are accepted from the list boxes only.
    QVERIFY(w.Scheduler().Memo2DragOver(remoteFiles));
    QVERIFY(w.Scheduler().Memo2DragOver(localFiles));
    QVERIFY(!w.Scheduler().Memo2DragOver(box));
    QVERIFY(!w.Scheduler().Memo2DragOver(nullptr));

    // Nothing to drop: the text stays empty and nothing is written.
    w.Scheduler().Memo2DragDrop(QStringLiteral("ListBox3"));
    QVERIFY(Program(w).isEmpty());
    QVERIFY(!QFileInfo::exists(fx->FilePath("programmation.ini")));

    // Download layout: the selected remote files, in list order.
    AddEntries(remoteFiles, {"Essai:127.0.0.1:/pub:a.txt", "Essai:127.0.0.1:/pub:b.txt"}, true);
    AddEntries(remoteFiles, {"Essai:127.0.0.1:/pub:non.txt"}, false);
    AddEntries(remoteFiles, {"Essai:127.0.0.1:/pub:c.txt"}, true);
    box->setEnabled(false);
    w.Scheduler().Memo2DragDrop(QStringLiteral("ListBox3"));
    const QStringList download{"le:", "01/07/2030", "à:", "9", "heure dans le répertoire local:",
                               localFolder + "Téléchargements", "", "Récupérer les fichiers distants suivants :", "",
                               "Essai:127.0.0.1:/pub:a.txt", "Essai:127.0.0.1:/pub:b.txt", "Essai:127.0.0.1:/pub:c.txt"};
    QCOMPARE(Program(w), download);
    QCOMPARE(ProgramFileLines(fx->ReadFile("programmation.ini")), download);
    QVERIFY(fx->ReadFile("programmation.ini").endsWith("c.txt\r\n"));
    QCOMPARE(fx->ReadFile("programmation.ini").count("\r\n"), download.size());
    // The box is enabled, not checked.
    QVERIFY(box->isEnabled());
    QVERIFY(!box->isChecked());

    // From the local files with no remote folder listed: the text stays,
    // and is written again.
    AddEntries(localFiles, {localFolder + "x.bin", localFolder + "y.bin"}, true);
    fx->WriteFile("programmation.ini", "ancien\r\n");
    w.Scheduler().Memo2DragDrop(QStringLiteral("ListBox5"));
    QCOMPARE(Program(w), download);
    QCOMPARE(ProgramFileLines(fx->ReadFile("programmation.ini")), download);

    // Upload layout: the folder lines come from the selected remote folder.
    AddEntries(remoteFolders, {"Essai:127.0.0.1:/pub", "Essai:127.0.0.1:/incoming"}, false);
    remoteFolders->setCurrentRow(1);
    w.Scheduler().Memo2DragDrop(QStringLiteral("ListBox5"));
    const QStringList upload{"le:", "01/07/2030", "à:", "9", "heure dans le répertoire distant suivant: ",
                             "Essai:127.0.0.1:/incoming", "", "Envoyer les fichiers locaux suivants :", "",
                             localFolder + "x.bin", localFolder + "y.bin"};
    QCOMPARE(Program(w), upload);
    QCOMPARE(ProgramFileLines(fx->ReadFile("programmation.ini")), upload);

    // A drop from another list changes nothing in the text.
    w.Scheduler().Memo2DragDrop(QStringLiteral("ListBox2"));
    QCOMPARE(Program(w), upload);

    // A drag from outside the program (text, files) is refused by the memo.
    QMimeData mime;
    mime.setText(QStringLiteral("texte"));
    auto *memo = Find<QPlainTextEdit>(w, "Memo2");
    QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(memo->viewport(), &enter);
    QVERIFY(!enter.isAccepted());
    QCOMPARE(Program(w), upload);
}

void TestScheduler::clearLoadAndSave()
{
    TfrmMain w;
    UseClock(w);
    const QStringList program{"le:", "20/06/2030", "à:", "7", "heure dans le répertoire local:", "/tmp", "",
                              "Récupérer les fichiers distants suivants :", "", "Essai:h:/:é.txt"};
    w.Scheduler().SetProgramLines(program);
    auto *box = Find<QCheckBox>(w, "CheckBox9");
    box->setChecked(true);
    QVERIFY(Find<QTimer>(w, "programmateur")->isActive());

    // Save under a chosen name: the same lines, CR LF.
    const QString saved = localFolder + QStringLiteral("essai.pro");
    fx->prompter.QueuePath(saved);
    Find<QPushButton>(w, "SpeedButton4")->click();
    QCOMPARE(fx->prompter.Asked().last().kind, QStringLiteral("save"));
    QCOMPARE(ProgramFileLines(ReadFile(saved)), program);
    QVERIFY(ReadFile(saved).endsWith("é.txt\r\n"));
    // Cancelled: nothing written.
    Find<QPushButton>(w, "SpeedButton4")->click();
    QCOMPARE(Entries(localFolder), QStringList{"essai.pro"});

    // Clear, answered No, then Yes: "Aucune", written to the file; the box
    // and the timer are not touched.
    fx->prompter.QueueConfirm(false);
    Find<QPushButton>(w, "SpeedButton2")->click();
    QCOMPARE(Program(w), program);
    QCOMPARE(fx->prompter.Asked().last().text,
             QStringLiteral("Etes vous certain de vouloir effacer les programmations actuelles?"));
    fx->prompter.QueueConfirm(true);
    Find<QPushButton>(w, "SpeedButton2")->click();
    QCOMPARE(Program(w), QStringList{"Aucune"});
    QCOMPARE(fx->ReadFile("programmation.ini"), QByteArray("Aucune\r\n"));
    QVERIFY(box->isChecked());
    QVERIFY(Find<QTimer>(w, "programmateur")->isActive());
    // The next tick finds no date: the box is unchecked, the timer stopped.
    Tick(w);
    QVERIFY(!box->isChecked());
    QVERIFY(!Find<QTimer>(w, "programmateur")->isActive());
    QCOMPARE(Find<QLabel>(w, "Label24")->text(), QStringLiteral("Programmation désactivée"));

    // Load: the text is replaced at once, programmation.ini keeps the old
    // text until the next drop.
    fx->prompter.QueuePath(saved);
    Find<QPushButton>(w, "SpeedButton3")->click();
    QCOMPARE(fx->prompter.Asked().last().kind, QStringLiteral("open"));
    QCOMPARE(Program(w), program);
    QCOMPARE(fx->ReadFile("programmation.ini"), QByteArray("Aucune\r\n"));
    w.Scheduler().Memo2DragDrop(QStringLiteral("ListBox5"));
    QCOMPARE(ProgramFileLines(fx->ReadFile("programmation.ini")), program);

    // A file that cannot be read leaves the text as it is and says why.
    fx->prompter.QueuePath(localFolder + QStringLiteral("absent.pro"));
    Find<QPushButton>(w, "SpeedButton3")->click();
    QCOMPARE(Program(w), program);
    QVERIFY(fx->prompter.Messages().last().contains(QStringLiteral("absent.pro")));
}

void TestScheduler::enableBoxDecisions()
{
    TfrmMain w;
    UseClock(w);
    auto *box = Find<QCheckBox>(w, "CheckBox9");
    auto *timer = Find<QTimer>(w, "programmateur");
    auto *label24 = Find<QLabel>(w, "Label24");
    const auto program = [](const QString &date, const QString &hour) {
        return QStringList{"le:", date, "à:", hour, "heure dans le répertoire local:", "/tmp", "",
                           "Récupérer les fichiers distants suivants :", "", "Essai:h:/:a"};
    };

    // A past date: the message, the timer stopped, the box stays checked.
    w.Scheduler().SetProgramLines(program("14/06/2030", "20"));
    box->setChecked(true);
    QCOMPARE(fx->prompter.Messages(), QStringList{"Date de programmation dépassée!"});
    QVERIFY(box->isChecked());
    QVERIFY(!timer->isActive());
    QCOMPARE(label24->text(), QStringLiteral("Programmation activée"));
    box->setChecked(false);
    QCOMPARE(label24->text(), QStringLiteral("Programmation désactivée"));
    QCOMPARE(w.Context().SchedulerEnabled(), 0);

    // Today, an hour gone: the message, and the box unchecked.
    fx->prompter.Clear();
    w.Scheduler().SetProgramLines(program("15/06/2030", "13"));
    box->setChecked(true);
    QCOMPARE(fx->prompter.Messages(), QStringList{"Date de programmation dépassée!"});
    QVERIFY(!box->isChecked());
    QVERIFY(!timer->isActive());
    QCOMPARE(label24->text(), QStringLiteral("Programmation désactivée"));
    QCOMPARE(w.Context().SchedulerEnabled(), 0);

    // Today, the current hour or later, and a later day: armed.
    fx->prompter.Clear();
    for (const QStringList &armed : {program("15/06/2030", "14"), program("15/06/2030", "23"),
                                     program("16/06/2030", "0")}) {
        w.Scheduler().SetProgramLines(armed);
        box->setChecked(true);
        QVERIFY(timer->isActive());
        box->setChecked(false);
        QVERIFY(!timer->isActive());
    }
    QVERIFY(fx->prompter.Messages().isEmpty());

    // No readable date or hour: the box is unchecked.
    for (const QStringList &unreadable : {program("pas une date", "10"), program("16/06/2030", "25")}) {
        w.Scheduler().SetProgramLines(unreadable);
        box->setChecked(true);
        QVERIFY(!box->isChecked());
        QVERIFY(!timer->isActive());
        QCOMPARE(label24->text(), QStringLiteral("Programmation désactivée"));
    }

    // An empty program leaves the timer as it was.
    w.Scheduler().SetProgramLines({});
    box->setChecked(true);
    QVERIFY(!timer->isActive());
    QCOMPARE(label24->text(), QStringLiteral("Programmation activée"));
}

void TestScheduler::outdatedProgramAtStartup()
{
    // The preference "Programmation" on, an old program beside the
    // executable: the window checks the box, which finds the date gone.
    const QByteArray old = "le:\r\n25/03/2003\r\nà:\r\n10\r\nheure dans le répertoire local:\r\n/tmp\r\n\r\n"
                           "Récupérer les fichiers distants suivants :\r\n\r\nEssai:h:/pub:index.html\r\n";
    fx->WriteFile("programmation.ini", old);
    TShellFixture::WritePreferences({{Pref::Startup, "non"},      {Pref::Downloads, localFolder},
                                     {Pref::Left, "0"},           {Pref::Top, "0"},
                                     {Pref::Width, "755"},        {Pref::Height, "576"},
                                     {Pref::AsciiMode, "1"},      {Pref::PassiveMode, "1"},
                                     {Pref::AutoDial, "non"},     {Pref::HangUpOnQuit, "non"},
                                     {Pref::Tray, "non"},         {Pref::Noop, "2"},
                                     {Pref::Compression, "6"},    {Pref::Scheduler, "1"},
                                     {Pref::ArchivePlace, "0"},   {Pref::DeleteArchive, "non"},
                                     {Pref::DefaultSite, "0"}});
    TfrmMain w;
    QCOMPARE(Program(w), ProgramFileLines(old));
    QCOMPARE(fx->prompter.Messages(), QStringList{"Date de programmation dépassée!"});
    QVERIFY(Find<QCheckBox>(w, "CheckBox9")->isChecked());
    QVERIFY(Find<QCheckBox>(w, "CheckBox9")->isEnabled());
    QVERIFY(!Find<QTimer>(w, "programmateur")->isActive());
    QCOMPARE(Find<QLabel>(w, "Label24")->text(), QStringLiteral("Programmation activée"));
    QVERIFY(Find<QLabel>(w, "Label15")->isHidden());
    // The file is not rewritten at start-up.
    QCOMPARE(fx->ReadFile("programmation.ini"), old);
}

void TestScheduler::markingCommands()
{
    START_SERVER();
    QVERIFY(QDir(localFolder).mkpath(QStringLiteral("dossier")));
    QVERIFY(WriteFile(localFolder + QStringLiteral("a.txt"), "a"));
    QVERIFY(WriteFile(localFolder + QStringLiteral("b.bin"), "b"));
    TfrmMain w;
    QVERIFY(ShowLocalFolder(w, localFolder));
    QVERIFY(LogIn(w, *server, QStringLiteral("/pub")));
    const QString prefix = QStringLiteral("Site de test:127.0.0.1:");
    for (const char *name : {"Marquerlerpertoireencourspourprogrammation1",
                             "Marquerlesfichiersdistantspourprogrammation1", "Marquerlesfichierspourprogrammation1",
                             "Marquerlesfichierspourcompressionlocale1",
                             "Marquerlesfichierspourcompressionetenvoidistant1"})
        QVERIFY2(Action(w, name)->isEnabled(), name);

    Action(w, "Marquerlerpertoireencourspourprogrammation1")->trigger();
    QCOMPARE(Texts(List(w, "ListBox4")), QStringList{prefix + "/pub"});

    // Remote files: the folder is skipped, the selection goes.
    QVERIFY(SelectRemote(w, {"sub", "index.html", "readme.txt"}));
    Action(w, "Marquerlesfichiersdistantspourprogrammation1")->trigger();
    QCOMPARE(Texts(List(w, "ListBox3")), (QStringList{prefix + "/pub:index.html", prefix + "/pub:readme.txt"}));
    QVERIFY(RemoteList(w)->SelectedFiles().isEmpty());
    QVERIFY(RemoteList(w)->SelectedFolders().isEmpty());
    // Entries are only ever added.
    QVERIFY(SelectRemote(w, {"index.html"}));
    Action(w, "Marquerlesfichiersdistantspourprogrammation1")->trigger();
    QCOMPARE(List(w, "ListBox3")->count(), 3);

    // Local files, then the two compression marks; folders are skipped.
    QVERIFY(SelectLocal(w, {"dossier", "a.txt", "b.bin"}));
    Action(w, "Marquerlesfichierspourprogrammation1")->trigger();
    QVERIFY(LocalList(w)->SelectedRows().isEmpty());
    QVERIFY(SelectLocal(w, {"dossier", "a.txt"}));
    Action(w, "Marquerlesfichierspourcompressionlocale1")->trigger();
    QVERIFY(SelectLocal(w, {"b.bin"}));
    Action(w, "Marquerlesfichierspourcompressionetenvoidistant1")->trigger();
    QCOMPARE(Texts(List(w, "ListBox5")),
             (QStringList{localFolder + "a.txt", localFolder + "b.bin", localFolder + "a.txtCompression locale",
                          localFolder + "b.binCompression et envoi"}));
    // Without a selected local row nothing is added.
    Action(w, "Marquerlesfichierspourprogrammation1")->trigger();
    QCOMPARE(List(w, "ListBox5")->count(), 4);
    w.VexFtp1()->Close();
}

void TestScheduler::downloadRun()
{
    START_SERVER();
    WriteProfiles(server->Port());
    const QString downloads = localFolder + QStringLiteral("recus");
    QVERIFY(QDir().mkpath(downloads));
    // An older copy is replaced without a question.
    QVERIFY(WriteFile(downloads + QStringLiteral("/index.html"), "ancienne version"));
    now = QDateTime(QDate(2030, 6, 15), QTime(9, 59, 59));
    TfrmMain w;
    UseClock(w);
    Find<QLineEdit>(w, "tele")->setText(downloads);
    ChooseDateAndHour(w, QDate(2030, 6, 15), 9);
    AddEntries(List(w, "ListBox3"),
               {"Essai:127.0.0.1:/pub:index.html", "Essai:127.0.0.1:/pub:readme.txt"}, true);
    w.Scheduler().Memo2DragDrop(QStringLiteral("ListBox3"));
    QCOMPARE(Program(w).mid(0, 6), (QStringList{"le:", "15/06/2030", "à:", "10", "heure dans le répertoire local:",
                                                downloads}));

    // Armed.
    auto *box = Find<QCheckBox>(w, "CheckBox9");
    auto *label15 = Find<QLabel>(w, "Label15");
    box->setChecked(true);
    QVERIFY(Find<QTimer>(w, "programmateur")->isActive());
    QVERIFY(fx->prompter.Messages().isEmpty());
    QTest::qWait(1100);
    QVERIFY(!w.VexFtp1()->Busy());
    QVERIFY(label15->isHidden());

    // Due: login with the last profile named "Essai", into /pub, then the
    // files, the close, and the blinking "Programmation réalisée".
    bool loggedIn = false;
    const int slot = w.VexFtp1()->AddNotifyListener(nkListingDone, [&](TVexFtp *client) {
        loggedIn = loggedIn || client->LoggedIn();
    });
    now = QDateTime(QDate(2030, 6, 15), QTime(10, 0, 0));
    QTRY_VERIFY_WITH_TIMEOUT(!box->isChecked(), RunWaitMs);
    w.VexFtp1()->RemoveNotifyListener(nkListingDone, slot);
    QVERIFY(loggedIn);
    QCOMPARE(ReadFile(downloads + "/index.html"), ReadFile(server->RootPath() + "/pub/index.html"));
    QCOMPARE(ReadFile(downloads + "/readme.txt"), ReadFile(server->RootPath() + "/pub/readme.txt"));
    QCOMPARE(Entries(downloads), (QStringList{"index.html", "readme.txt"}));
    QCOMPARE(confirmsShown, 0);
    QTRY_VERIFY_WITH_TIMEOUT(!w.VexFtp1()->Connected() && !w.VexFtp1()->Busy(), WaitMs);
    QCOMPARE(label15->text(), QStringLiteral("Programmation réalisée"));
    QCOMPARE(Find<QLabel>(w, "Label24")->text(), QStringLiteral("Programmation désactivée"));
    QVERIFY(!Find<QTimer>(w, "programmateur")->isActive());
    QVERIFY(Find<QTimer>(w, "Timer2")->isActive());
    const bool shown = !label15->isHidden();
    QTRY_VERIFY_WITH_TIMEOUT(label15->isHidden() == shown, 3000);
    QVERIFY(!w.Context().ScheduledRunActive());
    QCOMPARE(w.Context().SchedulerEnabled(), 0);
    QVERIFY(fx->prompter.Messages().isEmpty());
}

void TestScheduler::uploadRun()
{
    START_SERVER();
    WriteProfiles(server->Port());
    const QByteArray big = RandomBytes(300000, 5);
    QVERIFY(WriteFile(localFolder + QStringLiteral("grand.bin"), big));
    QVERIFY(WriteFile(localFolder + QStringLiteral("note.txt"), "note\n"));
    QVERIFY(WriteFile(localFolder + QStringLiteral("rapport.txt"), QByteArray(50000, 'r')));
    QVERIFY(WriteFile(server->RootPath() + QStringLiteral("/incoming/note.txt"), "ancienne note"));
    TfrmMain w;
    UseClock(w);
    ChooseDateAndHour(w, QDate(2030, 6, 20), 16);
    AddEntries(List(w, "ListBox4"), {"Essai:127.0.0.1:/pub", "Essai:127.0.0.1:/incoming"}, false);
    List(w, "ListBox4")->setCurrentRow(1);
    AddEntries(List(w, "ListBox5"),
               {localFolder + "grand.bin", localFolder + "note.txt", localFolder + "rapport.txtCompression et envoi"},
               true);
    w.Scheduler().Memo2DragDrop(QStringLiteral("ListBox5"));
    QCOMPARE(Program(w).at(5), QStringLiteral("Essai:127.0.0.1:/incoming"));
    auto *box = Find<QCheckBox>(w, "CheckBox9");
    auto *label15 = Find<QLabel>(w, "Label15");
    box->setChecked(true);
    QVERIFY(Find<QTimer>(w, "programmateur")->isActive());

    now = QDateTime(QDate(2030, 6, 20), QTime(17, 0, 0));
    QTRY_VERIFY_WITH_TIMEOUT(!box->isChecked(), RunWaitMs);
    const QString incoming = server->RootPath() + QStringLiteral("/incoming/");
    QCOMPARE(ReadFile(incoming + "grand.bin"), big);
    QCOMPARE(ReadFile(incoming + "note.txt"), QByteArray("note\n"));
    // The marked compression: the archive is made beside the file and sent.
    QVERIFY(QFileInfo::exists(localFolder + "rapport.zip"));
    QCOMPARE(ReadFile(incoming + "rapport.txt.zip"), ReadFile(localFolder + "rapport.zip"));
    QVERIFY(ReadFile(incoming + "rapport.txt.zip").startsWith("PK"));
    QCOMPARE(Entries(incoming), (QStringList{"grand.bin", "note.txt", "rapport.txt.zip"}));
    QCOMPARE(confirmsShown, 0);
    QVERIFY(fx->prompter.Messages().isEmpty());
    QTRY_VERIFY_WITH_TIMEOUT(!w.VexFtp1()->Connected() && !w.VexFtp1()->Busy(), WaitMs);
    QCOMPARE(label15->text(), QStringLiteral("Programmation réalisée"));
    QVERIFY(Find<QTimer>(w, "Timer2")->isActive());
    const bool shown = !label15->isHidden();
    QTRY_VERIFY_WITH_TIMEOUT(label15->isHidden() == shown, 3000);
    QCOMPARE(Find<QLabel>(w, "Label24")->text(), QStringLiteral("Programmation désactivée"));
    QVERIFY(!w.Context().ScheduledRunActive());
}

void TestScheduler::failedConnectionRun()
{
    // The only profile of the name is on a port where nothing listens.
    fx->WriteFile("velmar.ini", ProfileFileText({ProfileTexts(Profile, Host, QString::number(ClosedPort()))}));
    TfrmMain w;
    UseClock(w);
    // Today at 14:20 the first hour to choose is 15:00.
    ChooseDateAndHour(w, QDate(2030, 6, 15), 14);
    AddEntries(List(w, "ListBox3"), {"Essai:127.0.0.1:/pub:index.html"}, true);
    w.Scheduler().Memo2DragDrop(QStringLiteral("ListBox3"));
    auto *box = Find<QCheckBox>(w, "CheckBox9");
    auto *label15 = Find<QLabel>(w, "Label15");
    auto *blink = Find<QTimer>(w, "Timer2");
    box->setChecked(true);
    now = QDateTime(QDate(2030, 6, 15), QTime(15, 0));
    bool started = false;
    // The client's error comes while the run is under way.
    const int slot = w.VexFtp1()->AddErrorListener([&](TVexFtp *, FtpError, const QString &) {
        started = started || w.Context().ScheduledRunActive();
    });
    Tick(w);
    QVERIFY(blink->isActive() || started);
    QCOMPARE(label15->text(), QStringLiteral("Programmation en cours"));
    // The run ends with the connection: no "Overwrite" answer left behind,
    // the label no longer blinks, the box stays checked, the timer stopped.
    QTRY_VERIFY_WITH_TIMEOUT(!blink->isActive(), RunWaitMs);
    QVERIFY(!w.Context().ScheduledRunActive());
    QVERIFY(label15->isHidden());
    QVERIFY(box->isChecked());
    QVERIFY(!Find<QTimer>(w, "programmateur")->isActive());
    QTRY_VERIFY_WITH_TIMEOUT(!w.VexFtp1()->Busy(), WaitMs);
    QVERIFY(!w.VexFtp1()->Connected());
    w.VexFtp1()->RemoveErrorListener(slot);
    QVERIFY(started);
    // A listing done later (the user's own session) does not carry the run
    // on.
    w.Scheduler().VexFtp1ListingDone();
    QVERIFY(box->isChecked());
    QVERIFY(label15->isHidden());

    // A program naming a site that is not in the list starts nothing and
    // says so.
    fx->prompter.Clear();
    w.Scheduler().SetProgramLines({"le:", "15/06/2030", "à:", "15", "heure dans le répertoire local:", "/tmp", "",
                                   "Récupérer les fichiers distants suivants :", "", "Inconnu:h:/pub:a.txt"});
    box->setChecked(false);
    box->setChecked(true);
    Tick(w);
    QVERIFY(!w.Context().ScheduledRunActive());
    QVERIFY(!w.VexFtp1()->Busy());
    QCOMPARE(fx->prompter.Messages().size(), 1);
    QVERIFY(fx->prompter.Messages().first().contains(QStringLiteral("Inconnu:h:/pub:a.txt")));
}

QTEST_MAIN(TestScheduler)
#include "tst_scheduler.moc"
