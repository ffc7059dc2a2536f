// The compress commands of the explorer tab, run through the window's own
// tool-bar buttons and pop-up items: how they name and place the archive,
// what goes into it (every archive opened again with libzip: names, sizes,
// contents byte for byte, compression method), the level from the track
// bar, the status texts and the window going on while an archive is built,
// the failures (an unreadable file, the untouched "*.zip" name), and the
// sending of the archive to a real pyftpdlib server with the question of
// the remote refresh that deletes it.

#include "ArchiveNaming.h"
#include "CompressTool.h"
#include "ExplorerTestSite.h"
#include "PanelBar.h"
#include "RadioGroup.h"
#include "RemoteViewTestSite.h"
#include "TransferDisplay.h"
#include "ZipArchiveReader.h"
#include "ZipTask.h"

#include <QCheckBox>
#include <QLabel>
#include <QProgressBar>
#include <QRadioButton>
#include <QSignalSpy>
#include <QSlider>
#include <QTimer>

#include <algorithm>
#include <functional>
#include <sys/fsuid.h>
#include <unistd.h>

using namespace ExplorerTest;
using ZipTest::ReadArchive;
using ZipTest::TArchiveEntry;

namespace {
constexpr int CommandWaitMs = 20000;

TCompressTool *Tool(const TfrmMain &w)
{
    return w.findChild<TCompressTool *>(QStringLiteral("compressTool"));
}

TZipTask *Task(const TfrmMain &w)
{
    return w.findChild<TZipTask *>(QStringLiteral("ZipTask1"));
}

QString MessagePanelText(const TfrmMain &w)
{
    return w.Explorer().StatusBar1()->Panel(1)->text();
}

// Triggers the command and waits until it is over (archive built, sent, the
// local side read again). False when it did not end.
bool RunCommand(const TfrmMain &w, const char *command)
{
    QSignalSpy done(Tool(w), &TCompressTool::CommandDone);
    Action(w, command)->trigger();
    return (!done.isEmpty() || done.wait(CommandWaitMs)) && LocalListLoaded(w);
}

// The archive's entries by name, read back whole.
struct TArchiveContents {
    QString failure;
    QList<TArchiveEntry> entries;

    QByteArrayList SortedNames() const
    {
        QByteArrayList names = ZipTest::Names(entries);
        std::sort(names.begin(), names.end());
        return names;
    }
    const TArchiveEntry *Entry(const QByteArray &name) const { return ZipTest::Find(entries, name); }
};

TArchiveContents OpenArchive(const QString &path)
{
    TArchiveContents contents;
    contents.entries = ReadArchive(path, &contents.failure);
    return contents;
}

// Runs work with the file-system rights of an ordinary user ("nobody") when
// this test runs as root, to whom every file is readable. The rights belong
// to the calling thread and pass to the threads it starts: the zip task's
// worker, started inside work, keeps them to its end.
void AsOrdinaryUser(const std::function<void()> &work)
{
    if (::geteuid() != 0) {
        work();
        return;
    }
    ::setfsgid(65534);
    ::setfsuid(65534);
    work();
    ::setfsuid(0);
    ::setfsgid(0);
}

QAbstractButton *ArchivesButton(const TfrmMain &w, int index)
{
    const QList<QRadioButton *> buttons = Find<TRadioGroup>(w, "archives")->findChildren<QRadioButton *>();
    return index < buttons.size() ? buttons.at(index) : nullptr;
}

// Answers like the scripted prompter, after running BeforeConfirm: what a
// test must see at the moment a question is asked.
class TWatchingPrompter : public TScriptedPrompter
{
public:
    std::function<void()> BeforeConfirm;
    bool Confirm(QWidget *parent, const QString &caption, const QString &question) override
    {
        if (BeforeConfirm)
            BeforeConfirm();
        return TScriptedPrompter::Confirm(parent, caption, question);
    }
};
}

class TestCompress : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();

    void oneFileWithoutExtension();
    void folderNamedLikeAFile();
    void threeFilesIntoTemporaryFolder();
    void folderFirstWithTwoFiles();
    void nothingSelected();
    void notConnected();
    void levelsFromTheTrackBar();
    void levelFromThePreferences();
    void unreadableFile();
    void untouchedDefaultName_data();
    void untouchedDefaultName();
    void windowGoesOnWhileBuilding();
    void windowClosedWhileBuilding();
    void sentThenDeleteQuestion_data();
    void sentThenDeleteQuestion();
    void failedArchiveIsNotSent();
    void sendWaitsForTheBusyClient();

private:
    bool StartServer();
    QString LocalPath(const QString &name) const { return localFolder + name; }

    QTemporaryDir home;
    std::unique_ptr<TShellFixture> fx;
    std::unique_ptr<PyFtpdServer> server;
    std::unique_ptr<QTemporaryDir> local;
    QString localFolder; // with its final "/"
    QByteArray savedTmpDir;
};

void TestCompress::initTestCase()
{
    IsolateUserFolders(home);
    savedTmpDir = qgetenv("TMPDIR");
}

void TestCompress::init()
{
    fx = std::make_unique<TShellFixture>();
    local = std::make_unique<QTemporaryDir>();
    QVERIFY(local->isValid());
    localFolder = QDir(local->path()).canonicalPath() + QLatin1Char('/');
}

void TestCompress::cleanup()
{
    if (QTest::currentTestFailed() && server)
        qWarning().noquote() << server->StandardError();
    if (savedTmpDir.isNull())
        qunsetenv("TMPDIR");
    else
        qputenv("TMPDIR", savedTmpDir);
    server.reset();
    local.reset();
    fx.reset();
}

bool TestCompress::StartServer()
{
    if (!PyFtpdServer::Available())
        return false;
    server = std::make_unique<PyFtpdServer>();
    return QDir(server->RootPath()).mkpath(QStringLiteral("pub")) && server->Start();
}

#define START_SERVER()                                                                                             \
    if (!StartServer())                                                                                            \
    QSKIP(server ? qPrintable(server->ErrorString()) : PyFtpdServer::UnavailableMessage())

void TestCompress::oneFileWithoutExtension()
{
    const QByteArray notes = ZipTest::TextBytes(2000, "NOTES");
    QVERIFY(WriteFile(LocalPath("NOTES"), notes));
    QVERIFY(WriteFile(LocalPath("autre.txt"), "pas choisi"));
    TfrmMain w;
    for (const char *command : {"compresser", "compenvoyer", "Compresser1", "Compresseretenvoyer1"})
        QVERIFY2(Action(w, command)->isEnabled(), command);
    QVERIFY(ShowLocalFolder(w, localFolder));
    QVERIFY(SelectLocal(w, {"NOTES"}));
    QVERIFY(RunCommand(w, "compresser"));

    const QString zip = LocalPath("NOTES.zip");
    const TArchiveContents archive = OpenArchive(zip);
    QVERIFY2(archive.failure.isEmpty(), qPrintable(archive.failure));
    QCOMPARE(archive.SortedNames(), QByteArrayList{"NOTES"});
    const TArchiveEntry *entry = archive.Entry("NOTES");
    QCOMPARE(entry->size, notes.size());
    QCOMPARE(entry->data, notes);
    // The designed level 6 deflates.
    QCOMPARE(entry->method, ZIP_CM_DEFLATE);
    QVERIFY(entry->compressedSize < notes.size() / 4);

    QCOMPARE(MessagePanelText(w), zip + QStringLiteral(" : Compression terminée"));
    // No question, no message; the local list shows the archive; the engine
    // keeps its name for the remote refresh and nothing more to pack.
    QVERIFY(fx->prompter.Asked().isEmpty());
    QCOMPARE(LocalCaptions(w), (QStringList{"autre.txt", "NOTES", "NOTES.zip"}));
    QCOMPARE(Task(w)->Engine().ZipName(), zip);
    QVERIFY(Task(w)->Engine().FilesList().isEmpty());
    // "Compresser" alone shows no transfer display.
    QVERIFY(Find<QProgressBar>(w, "ProgressBar1")->isHidden());
    for (const char *command : {"compresser", "compenvoyer", "Compresser1", "Compresseretenvoyer1"})
        QVERIFY2(Action(w, command)->isEnabled(), command);
}

void TestCompress::folderNamedLikeAFile()
{
    const QString folder = localFolder + QStringLiteral("a.txt/");
    QVERIFY(QDir().mkpath(folder));
    QVERIFY(WriteFile(folder + QStringLiteral("b.txt"), "contenu de b\n"));
    TfrmMain w;
    QVERIFY(ShowLocalFolder(w, folder));
    QVERIFY(SelectLocal(w, {"b.txt"}));
    // The pop-up item runs the same command as the button.
    QVERIFY(RunCommand(w, "Compresser1"));

    QCOMPARE(Entries(folder), (QStringList{"b.txt", "b.zip"}));
    QCOMPARE(Entries(localFolder), QStringList{"a.txt"});
    const TArchiveContents archive = OpenArchive(folder + QStringLiteral("b.zip"));
    QVERIFY2(archive.failure.isEmpty(), qPrintable(archive.failure));
    QCOMPARE(archive.SortedNames(), QByteArrayList{"b.txt"});
    QCOMPARE(archive.Entry("b.txt")->data, QByteArray("contenu de b\n"));
    QCOMPARE(MessagePanelText(w), folder + QStringLiteral("b.zip : Compression terminée"));
}

void TestCompress::threeFilesIntoTemporaryFolder()
{
    QTemporaryDir temporary;
    QVERIFY(temporary.isValid());
    const QString tempFolder = QDir(temporary.path()).canonicalPath() + QLatin1Char('/');
    qputenv("TMPDIR", QFile::encodeName(tempFolder));
    const QByteArray big = ZipTest::NoiseBytes(300000, 5);
    QVERIFY(WriteFile(LocalPath("index.html"), "<html>accueil</html>\n"));
    QVERIFY(WriteFile(LocalPath("logo.png"), big));
    QVERIFY(WriteFile(LocalPath("style.css"), QByteArray()));
    TfrmMain w;
    QCOMPARE(Find<QLineEdit>(w, "tempo")->text(), tempFolder);
    ArchivesButton(w, 1)->click();
    QCOMPARE(Find<TRadioGroup>(w, "archives")->ItemIndex(), 1);
    QVERIFY(ShowLocalFolder(w, localFolder));
    QVERIFY(SelectLocal(w, {"index.html", "logo.png", "style.css"}));
    fx->prompter.QueueInput(QStringLiteral("site.zip"));
    QVERIFY(RunCommand(w, "compresser"));

    QCOMPARE(fx->prompter.Asked().size(), 1);
    const TPromptRecord asked = fx->prompter.Asked().first();
    QCOMPARE(asked.kind, QStringLiteral("input"));
    QCOMPARE(asked.caption, QStringLiteral("Archivage"));
    QCOMPARE(asked.text, QStringLiteral("nom de l'archive"));
    QCOMPARE(asked.value, QStringLiteral("*.zip"));

    const QString zip = tempFolder + QStringLiteral("site.zip");
    const TArchiveContents archive = OpenArchive(zip);
    QVERIFY2(archive.failure.isEmpty(), qPrintable(archive.failure));
    QCOMPARE(archive.SortedNames(), (QByteArrayList{"index.html", "logo.png", "style.css"}));
    QCOMPARE(archive.Entry("index.html")->data, QByteArray("<html>accueil</html>\n"));
    QCOMPARE(archive.Entry("logo.png")->data, big);
    QCOMPARE(archive.Entry("logo.png")->size, big.size());
    QCOMPARE(archive.Entry("style.css")->size, 0);
    // Nothing in the local folder.
    QCOMPARE(Entries(localFolder), (QStringList{"index.html", "logo.png", "style.css"}));
    QCOMPARE(Task(w)->Engine().ZipName(), zip);
}

void TestCompress::folderFirstWithTwoFiles()
{
    const QByteArray logo = ZipTest::NoiseBytes(70000, 9);
    const QByteArray page = ZipTest::TextBytes(300, "page");
    QVERIFY(QDir().mkpath(LocalPath("site2/img")));
    QVERIFY(QDir().mkpath(LocalPath("site2/vide")));
    QVERIFY(QDir().mkpath(LocalPath("zautre")));
    QVERIFY(WriteFile(LocalPath("site2/index.html"), page));
    QVERIFY(WriteFile(LocalPath("site2/img/logo.png"), logo));
    QVERIFY(WriteFile(LocalPath("zautre/ailleurs.txt"), "non"));
    QVERIFY(WriteFile(LocalPath("a.txt"), "premier\n"));
    QVERIFY(WriteFile(LocalPath("b.txt"), "second\n"));
    TfrmMain w;
    QVERIFY(ShowLocalFolder(w, localFolder));
    QVERIFY(SelectLocal(w, {"site2", "zautre", "a.txt", "b.txt"}));
    QCOMPARE(LocalList(w)->RowCaption(LocalList(w)->FirstSelectedRow()), QStringLiteral("site2"));
    QVERIFY(RunCommand(w, "compresser"));

    // The folder names the archive: no box is asked.
    QVERIFY(fx->prompter.Asked().isEmpty());
    const TArchiveContents archive = OpenArchive(LocalPath("site2.zip"));
    QVERIFY2(archive.failure.isEmpty(), qPrintable(archive.failure));
    // The whole tree of site2 (its empty folder too) and the two files; the
    // second folder is not packed.
    QCOMPARE(archive.SortedNames(), (QByteArrayList{"a.txt", "b.txt", "site2/", "site2/img/", "site2/img/logo.png",
                                                    "site2/index.html", "site2/vide/"}));
    QCOMPARE(archive.Entry("site2/index.html")->data, page);
    QCOMPARE(archive.Entry("site2/img/logo.png")->data, logo);
    QCOMPARE(archive.Entry("a.txt")->data, QByteArray("premier\n"));
    QCOMPARE(archive.Entry("b.txt")->data, QByteArray("second\n"));
    QCOMPARE(archive.Entry("site2/index.html")->method, ZIP_CM_DEFLATE);
    QVERIFY(LocalCaptions(w).contains(QStringLiteral("site2.zip")));
    QCOMPARE(MessagePanelText(w), LocalPath("site2.zip") + QStringLiteral(" : Compression terminée"));
}

void TestCompress::nothingSelected()
{
    QVERIFY(WriteFile(LocalPath("seul.txt"), "seul"));
    TfrmMain w;
    QVERIFY(ShowLocalFolder(w, localFolder));
    QSignalSpy reread(&w.Context(), &TAppContext::LocalFolderChanged);
    QSignalSpy done(Tool(w), &TCompressTool::CommandDone);
    for (const char *command : {"compresser", "compenvoyer"}) {
        Action(w, command)->trigger();
        QVERIFY(!Task(w)->Running());
    }
    // Nothing is asked or packed; the local side is still read again.
    QCOMPARE(reread.count(), 2);
    QVERIFY(done.isEmpty());
    QVERIFY(fx->prompter.Asked().isEmpty());
    QVERIFY(Task(w)->Engine().ZipName().isEmpty());
    QVERIFY(LocalListLoaded(w));
    QCOMPARE(Entries(localFolder), QStringList{"seul.txt"});
}

void TestCompress::notConnected()
{
    const QByteArray text = ZipTest::TextBytes(50, "rapport");
    QVERIFY(WriteFile(LocalPath("rapport.txt"), text));
    TfrmMain w;
    Find<QCheckBox>(w, "effacerarchive")->setChecked(true);
    QVERIFY(ShowLocalFolder(w, localFolder));
    QVERIFY(SelectLocal(w, {"rapport.txt"}));
    QVERIFY(RunCommand(w, "compenvoyer"));

    // The archive is there and stays; the message says so; nothing else.
    const QString zip = LocalPath("rapport.zip");
    const TArchiveContents archive = OpenArchive(zip);
    QVERIFY2(archive.failure.isEmpty(), qPrintable(archive.failure));
    QCOMPARE(archive.Entry("rapport.txt")->data, text);
    QCOMPARE(fx->prompter.Messages(),
             QStringList{"Vous n'êtes pas connecté, l'archive a bien été créée. Connectez vous et transférez "
                         "l'archive manuellement."});
    QCOMPARE(fx->prompter.Asked().size(), 1);
    QVERIFY(!w.VexFtp1()->Connected());
    // The transfer display was shown for the sending.
    QVERIFY(!Find<QProgressBar>(w, "ProgressBar1")->isHidden());
    QVERIFY(LocalCaptions(w).contains(QStringLiteral("rapport.zip")));
    QCOMPARE(Task(w)->Engine().ZipName(), zip);
}

void TestCompress::levelsFromTheTrackBar()
{
    const QByteArray text = ZipTest::TextBytes(4000, "niveau");
    QVERIFY(WriteFile(LocalPath("texte.txt"), text));
    TfrmMain w;
    QVERIFY(ShowLocalFolder(w, localFolder));
    auto *trackBar = Find<QSlider>(w, "TrackBar1");
    QCOMPARE(Task(w)->Engine().PackLevel(), 6);

    // 0 stores, 1 deflates fast, 9 deflates hardest.
    QMap<int, qint64> compressed;
    for (int level : {0, 1, 9}) {
        trackBar->setValue(level);
        QCOMPARE(Task(w)->Engine().PackLevel(), level);
        QVERIFY(SelectLocal(w, {"texte.txt"}));
        QVERIFY(RunCommand(w, "compresser"));
        const TArchiveContents archive = OpenArchive(LocalPath("texte.zip"));
        QVERIFY2(archive.failure.isEmpty(), qPrintable(archive.failure));
        const TArchiveEntry *entry = archive.Entry("texte.txt");
        QVERIFY(entry);
        QCOMPARE(entry->data, text);
        QCOMPARE(entry->method, level == 0 ? ZIP_CM_STORE : ZIP_CM_DEFLATE);
        compressed.insert(level, entry->compressedSize);
    }
    QCOMPARE(compressed.value(0), text.size());
    QVERIFY(compressed.value(1) < text.size() / 4);
    QVERIFY2(compressed.value(9) < compressed.value(1),
             qPrintable(QStringLiteral("level 9: %1, level 1: %2").arg(compressed.value(9)).arg(compressed.value(1))));
}

void TestCompress::levelFromThePreferences()
{
    QVERIFY(WriteFile(LocalPath("texte.txt"), ZipTest::TextBytes(100, "pref")));
    // The preferences of a first run, then the level changed outside.
    {
        TfrmMain first;
        first.close();
    }
    TShellFixture::WritePreferences({{Pref::Compression, QStringLiteral("0")}});
    {
        TfrmMain w;
        QCOMPARE(Find<QSlider>(w, "TrackBar1")->value(), 0);
        QCOMPARE(Task(w)->Engine().PackLevel(), 0);
        QVERIFY(ShowLocalFolder(w, localFolder));
        QVERIFY(SelectLocal(w, {"texte.txt"}));
        QVERIFY(RunCommand(w, "compresser"));
        QCOMPARE(OpenArchive(LocalPath("texte.zip")).Entry("texte.txt")->method, ZIP_CM_STORE);
        Find<QSlider>(w, "TrackBar1")->setValue(8);
        w.close();
    }
    QCOMPARE(TShellFixture::ReadPreferences().value(Pref::Compression), QStringLiteral("8"));
    TfrmMain again;
    QCOMPARE(Task(again)->Engine().PackLevel(), 8);
}

void TestCompress::unreadableFile()
{
    QVERIFY(WriteFile(LocalPath("lisible.txt"), "ok"));
    QVERIFY(WriteFile(LocalPath("secret.txt"), "caché"));
    QVERIFY(WriteFile(LocalPath("secret.zip"), "ancienne archive"));
    // The ordinary user may go through the folder and write there; only the
    // one file is closed to it.
    QVERIFY(QFile::setPermissions(local->path(), QFileDevice::Permissions(0x7777)));
    QVERIFY(QFile::setPermissions(LocalPath("secret.txt"), QFileDevice::Permissions()));
    const QString refused = QStringLiteral("Impossible de lire le fichier ") + LocalPath("secret.txt")
        + QStringLiteral(" : accès refusé");
    TfrmMain w;
    QVERIFY(ShowLocalFolder(w, localFolder));

    // Several files into a new archive, then the file alone into the name
    // of an older archive: neither is written, the older one stays as it was.
    const QList<std::pair<QStringList, QString>> runs{{{"lisible.txt", "secret.txt"}, "paquet.zip"},
                                                       {{"secret.txt"}, "secret.zip"}};
    for (const auto &[rows, zipName] : runs) {
        fx->prompter.Clear();
        QVERIFY(SelectLocal(w, rows));
        if (rows.size() > 1)
            fx->prompter.QueueInput(zipName);
        QSignalSpy done(Tool(w), &TCompressTool::CommandDone);
        AsOrdinaryUser([&] { Action(w, "compresser")->trigger(); });
        QVERIFY(done.wait(CommandWaitMs));
        QVERIFY(LocalListLoaded(w));
        QCOMPARE(fx->prompter.Messages(), QStringList{refused});
        QCOMPARE(fx->prompter.Asked().last().kind, QStringLiteral("message"));
        QCOMPARE(MessagePanelText(w), refused);
        QCOMPARE(Entries(localFolder), (QStringList{"lisible.txt", "secret.txt", "secret.zip"}));
        QCOMPARE(ReadFile(LocalPath("secret.zip")), QByteArray("ancienne archive"));
        QVERIFY(Action(w, "compresser")->isEnabled());
        QVERIFY(Task(w)->Engine().FilesList().isEmpty());
        // The older archive is not offered for deletion as if it were this
        // command's.
        QVERIFY(Task(w)->Engine().ZipName().isEmpty());
        Find<QCheckBox>(w, "effacerarchive")->setChecked(true);
        Action(w, "rafraichir")->trigger();
        QCOMPARE(fx->prompter.Asked().last().kind, QStringLiteral("message"));
        QVERIFY(QFileInfo::exists(LocalPath("secret.zip")));
    }
}

void TestCompress::untouchedDefaultName_data()
{
    QTest::addColumn<QString>("answer");
    QTest::newRow("accepted as it stands") << QStringLiteral("*.zip");
    QTest::newRow("box cancelled") << QString();
}

void TestCompress::untouchedDefaultName()
{
    QFETCH(QString, answer);
    for (const char *name : {"a.txt", "b.txt", "c.txt"})
        QVERIFY(WriteFile(LocalPath(name), name));
    TfrmMain w;
    QVERIFY(ShowLocalFolder(w, localFolder));
    QVERIFY(SelectLocal(w, {"a.txt", "b.txt", "c.txt"}));
    fx->prompter.QueueInput(answer);
    QVERIFY(RunCommand(w, "compenvoyer"));

    const QString message = QStringLiteral("Nom d'archive invalide : ") + LocalPath("*.zip");
    QCOMPARE(fx->prompter.Messages(), QStringList{message});
    QCOMPARE(MessagePanelText(w), message);
    QCOMPARE(Entries(localFolder), (QStringList{"a.txt", "b.txt", "c.txt"}));
    // A failed archive is not sent, and not offered as sent.
    QVERIFY(!fx->prompter.Messages().contains(NotConnectedArchiveText()));
}

void TestCompress::windowGoesOnWhileBuilding()
{
    const QByteArray big = ZipTest::NoiseBytes(32 * 1024 * 1024, 17);
    QVERIFY(WriteFile(LocalPath("gros.bin"), big));
    QVERIFY(WriteFile(LocalPath("gros.zip"), "ancienne archive"));
    TfrmMain w;
    QVERIFY(ShowLocalFolder(w, localFolder));
    QVERIFY(SelectLocal(w, {"gros.bin"}));
    const QString zip = LocalPath("gros.zip");

    // What panel 1 says at each report, and the window's own ticks while
    // the archive is built.
    QStringList shown;
    connect(Task(w), &TZipTask::TotalPercentDone, Task(w), [&] { shown << MessagePanelText(w); });
    int ticks = 0;
    QTimer ticker;
    ticker.setInterval(5);
    connect(&ticker, &QTimer::timeout, this, [&] {
        if (Task(w)->Running())
            ++ticks;
    });
    ticker.start();

    QSignalSpy done(Tool(w), &TCompressTool::CommandDone);
    Action(w, "compresser")->trigger();
    // The command returns at once, the worker busy; one archive at a time.
    QVERIFY(Task(w)->Running());
    QVERIFY(Tool(w)->Running());
    for (const char *command : {"compresser", "compenvoyer", "Compresser1", "Compresseretenvoyer1"})
        QVERIFY2(!Action(w, command)->isEnabled(), command);
    // The refresh offers no archive still being built (an older one of its
    // name is there meanwhile).
    Find<QCheckBox>(w, "effacerarchive")->setChecked(true);
    Action(w, "rafraichir")->trigger();
    QVERIFY(fx->prompter.Asked().isEmpty());
    QVERIFY(done.wait(CommandWaitMs));
    ticker.stop();

    QVERIFY2(ticks > 0, "the event loop did not run while the archive was built");
    QVERIFY2(shown.size() >= 3, qPrintable(shown.join(QLatin1Char('\n'))));
    int last = -1;
    for (const QString &text : std::as_const(shown)) {
        const QString prefix = zip + QStringLiteral(" : Compression en cours : ");
        QVERIFY2(text.startsWith(prefix) && text.endsWith(QLatin1Char('%')), qPrintable(text));
        const int percent = text.mid(prefix.size()).chopped(1).toInt();
        QVERIFY(percent > last && percent <= 100);
        last = percent;
    }
    QCOMPARE(last, 100);
    QCOMPARE(MessagePanelText(w), zip + QStringLiteral(" : Compression terminée"));
    for (const char *command : {"compresser", "compenvoyer", "Compresser1", "Compresseretenvoyer1"})
        QVERIFY2(Action(w, command)->isEnabled(), command);
    const TArchiveContents archive = OpenArchive(zip);
    QVERIFY2(archive.failure.isEmpty(), qPrintable(archive.failure));
    QCOMPARE(archive.Entry("gros.bin")->size, big.size());
    QVERIFY(archive.Entry("gros.bin")->data == big);
}

void TestCompress::windowClosedWhileBuilding()
{
    QVERIFY(WriteFile(LocalPath("gros.bin"), ZipTest::NoiseBytes(16 * 1024 * 1024, 29)));
    QVERIFY(WriteFile(LocalPath("gros.zip"), "ancienne archive"));
    {
        TfrmMain w;
        QVERIFY(ShowLocalFolder(w, localFolder));
        QVERIFY(SelectLocal(w, {"gros.bin"}));
        Action(w, "compresser")->trigger();
        QVERIFY(Task(w)->Running());
        w.close();
    }
    // The compression stopped with the window: no archive half written, the
    // older one as it was.
    QCOMPARE(Entries(localFolder), (QStringList{"gros.bin", "gros.zip"}));
    QCOMPARE(ReadFile(LocalPath("gros.zip")), QByteArray("ancienne archive"));
    QVERIFY(fx->prompter.Asked().isEmpty());
}

void TestCompress::sentThenDeleteQuestion_data()
{
    QTest::addColumn<bool>("yes");
    QTest::newRow("Oui: deleted") << true;
    QTest::newRow("Non: kept") << false;
}

void TestCompress::sentThenDeleteQuestion()
{
    QFETCH(bool, yes);
    START_SERVER();
    const QByteArray data = ZipTest::NoiseBytes(2 * 1024 * 1024 + 77, 23);
    const QByteArray text = ZipTest::TextBytes(500, "envoi");
    QVERIFY(QDir().mkpath(LocalPath("rapport")));
    QVERIFY(WriteFile(LocalPath("rapport/donnees.bin"), data));
    QVERIFY(WriteFile(LocalPath("rapport/notes.txt"), text));
    QVERIFY(WriteFile(LocalPath("rapport.txt"), "sommaire\n"));

    // At the question the archive is still there: its bytes then.
    TWatchingPrompter prompter;
    const QString zip = LocalPath("rapport.zip");
    QByteArray atQuestion;
    prompter.BeforeConfirm = [&] { atQuestion = ReadFile(zip); };
    prompter.QueueConfirm(yes);
    prompter.Install();

    TfrmMain w;
    Find<QCheckBox>(w, "effacerarchive")->setChecked(true);
    QVERIFY(ShowLocalFolder(w, localFolder));
    QVERIFY(LogIn(w, *server, QStringLiteral("/pub")));
    QVERIFY(SelectLocal(w, {"rapport", "rapport.txt"}));
    QVERIFY(RunCommand(w, "Compresseretenvoyer1"));
    QVERIFY(QTest::qWaitFor([&] { return !prompter.Asked().isEmpty(); }, WaitMs));
    QVERIFY(ClientIdle(w));

    // One question, about this archive, once it had been sent whole.
    QCOMPARE(prompter.Asked().size(), 1);
    QCOMPARE(prompter.Asked().first().kind, QStringLiteral("confirm"));
    QCOMPARE(prompter.Asked().first().text, QStringLiteral("Voulez-vous vraiment supprimer ") + zip + '?');
    const QString onServer = server->RootPath() + QStringLiteral("/pub/rapport.zip");
    QVERIFY(!atQuestion.isEmpty());
    QCOMPARE(ReadFile(onServer), atQuestion);
    const TArchiveContents archive = OpenArchive(onServer);
    QVERIFY2(archive.failure.isEmpty(), qPrintable(archive.failure));
    QCOMPARE(archive.SortedNames(), (QByteArrayList{"rapport.txt", "rapport/", "rapport/donnees.bin",
                                                    "rapport/notes.txt"}));
    QVERIFY(archive.Entry("rapport/donnees.bin")->data == data);
    QCOMPARE(archive.Entry("rapport/notes.txt")->data, text);
    QVERIFY(RemoteCaptions(w).contains(QStringLiteral("rapport.zip")));

    // Oui deletes it, Non keeps it; either way the name is forgotten.
    QCOMPARE(QFileInfo::exists(zip), !yes);
    if (!yes)
        QCOMPARE(ReadFile(zip), atQuestion);
    QVERIFY(Task(w)->Engine().ZipName().isEmpty());
    QVERIFY(QTest::qWaitFor([&] { return LocalList(w)->Loaded()
                                         && LocalCaptions(w).contains(QStringLiteral("rapport.zip")) == !yes; },
                            WaitMs));
    QVERIFY(prompter.Messages().isEmpty());
    w.VexFtp1()->Close();
}

void TestCompress::failedArchiveIsNotSent()
{
    START_SERVER();
    QVERIFY(WriteFile(LocalPath("rapport.txt"), "fermé"));
    QVERIFY(WriteFile(LocalPath("rapport.zip"), "ancienne archive"));
    QVERIFY(QFile::setPermissions(local->path(), QFileDevice::Permissions(0x7777)));
    QVERIFY(QFile::setPermissions(LocalPath("rapport.txt"), QFileDevice::Permissions()));
    TfrmMain w;
    Find<QCheckBox>(w, "effacerarchive")->setChecked(true);
    QVERIFY(ShowLocalFolder(w, localFolder));
    QVERIFY(LogIn(w, *server, QStringLiteral("/pub")));
    QVERIFY(SelectLocal(w, {"rapport.txt"}));
    const qsizetype logged = LogLines(w).size();
    QSignalSpy done(Tool(w), &TCompressTool::CommandDone);
    AsOrdinaryUser([&] { Action(w, "compenvoyer")->trigger(); });
    QVERIFY(done.wait(CommandWaitMs));
    QTest::qWait(200);

    // The older archive of that name is neither replaced nor sent.
    QCOMPARE(fx->prompter.Messages(), QStringList{QStringLiteral("Impossible de lire le fichier ")
                                                  + LocalPath("rapport.txt") + QStringLiteral(" : accès refusé")});
    QCOMPARE(ReadFile(LocalPath("rapport.zip")), QByteArray("ancienne archive"));
    QCOMPARE(Entries(server->RootPath() + QStringLiteral("/pub")), QStringList());
    QCOMPARE(LogLines(w).size(), logged);
    QVERIFY(Task(w)->Engine().ZipName().isEmpty());
    w.VexFtp1()->Close();
}

void TestCompress::sendWaitsForTheBusyClient()
{
    // The archive is ready while the client still waits for the reply to a
    // raw command; the upload follows that reply. The login is the remote
    // views' scripted one (a Unix server: no SYST).
    FtpScript script = RemoteViewTest::LoginScript(QStringLiteral("velmar"), QStringLiteral("s3cret"),
                                                   QStringLiteral("/"));
    RemoteViewTest::AddListing(script, {})
        .expect(QStringLiteral("SITE ATTENTE"))
        .delay(1500)
        .send(QStringLiteral("200 enfin"))
        .expect(QStringLiteral("TYPE I"), QStringLiteral("200 type I"))
        .expectPasv()
        .expect(QStringLiteral("STOR notes.txt.zip"), QStringLiteral("150 go"))
        .dataReceive()
        .send(QStringLiteral("226 stored"));
    RemoteViewTest::AddListing(script, {RemoteViewTest::FileLine(QStringLiteral("notes.txt.zip"))});
    script.expectClose();
    ScriptedFtpServer scripted;
    QVERIFY(scripted.Start(script));

    const QByteArray text = ZipTest::TextBytes(300, "attente");
    QVERIFY(WriteFile(LocalPath("notes.txt"), text));
    TfrmMain w;
    QVERIFY(ShowLocalFolder(w, localFolder));
    w.VexFtp1()->SetServerType(ftpstUNIX);
    QVERIFY2(LogIn(w, scripted.Host(), scripted.Port(), QStringLiteral("velmar"), QStringLiteral("s3cret"),
                   QString()),
             qPrintable(scripted.Status()));
    Find<QLineEdit>(w, "commande")->setText(QStringLiteral("SITE ATTENTE"));
    Action(w, "ToolButton7")->trigger();
    QVERIFY(w.VexFtp1()->Busy());
    QVERIFY(SelectLocal(w, {"notes.txt"}));
    QVERIFY(RunCommand(w, "compenvoyer"));

    QTRY_VERIFY_WITH_TIMEOUT(RemoteCaptions(w).contains(QStringLiteral("notes.txt.zip")), WaitMs);
    QCOMPARE(scripted.ReceivedData().size(), 1);
    QCOMPARE(scripted.ReceivedData().first(), ReadFile(LocalPath("notes.zip")));
    QCOMPARE(OpenArchive(LocalPath("notes.zip")).Entry("notes.txt")->data, text);
    QVERIFY(fx->prompter.Messages().isEmpty());
    w.VexFtp1()->Close();
    QTRY_VERIFY2_WITH_TIMEOUT(scripted.Finished(), qPrintable(scripted.Status()), WaitMs);
    QCOMPARE(scripted.Mismatches(), QStringList());
}

QTEST_MAIN(TestCompress)
#include "tst_compress.moc"
