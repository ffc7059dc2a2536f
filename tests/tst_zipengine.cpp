// The zip engine and the naming rules of the compress commands: every archive
// the engine writes is opened again with libzip and compared entry by entry
// (names, sizes, compression method, contents byte for byte).

#include "ArchiveNaming.h"
#include "ZipArchiveReader.h"
#include "ZipEngine.h"
#include "ZipTask.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QThread>
#include <QtTest>

#include <functional>
#include <sys/fsuid.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <zip.h>

namespace {

using namespace ZipTest;

QByteArray FileBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool WriteBytes(const QString &path, const QByteArray &bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}

// The folder's file names other than the given ones: leftovers such as a
// temporary archive.
QStringList OtherFiles(const QString &folder, const QStringList &expected)
{
    QStringList names = QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System);
    for (const QString &name : expected)
        names.removeAll(name);
    return names;
}

// Runs work with the file-system rights of an ordinary user ("nobody") on a
// thread of its own when this test runs as root, to whom every file is
// readable; as an ordinary user, in place.
void AsOrdinaryUser(const std::function<void()> &work)
{
    if (::geteuid() != 0) {
        work();
        return;
    }
    std::thread thread([&] {
        ::setfsgid(65534);
        ::setfsuid(65534);
        work();
        ::setfsuid(0);
        ::setfsgid(0);
    });
    thread.join();
}

struct TRun {
    int result = -1;
    QList<int> percents;
    QList<int> completions;
    QStringList errors;
};

TRun RunEngine(TZipEngine &engine)
{
    TRun run;
    engine.OnTotalPercentDone = [&](TZipEngine *, int percent) { run.percents.append(percent); };
    engine.OnZipComplete = [&](TZipEngine *, int count) { run.completions.append(count); };
    engine.OnZipError = [&](TZipEngine *, const QString &message) { run.errors.append(message); };
    run.result = engine.Zip();
    return run;
}

} // namespace

class TestZipEngine : public QObject
{
    Q_OBJECT

private slots:
    void init();

    // Naming rules
    void planArchive_data();
    void planArchive();
    void needsArchiveName_data();
    void needsArchiveName();
    void texts();
    void markedForCompression();

    // The engine, archives read back
    void oneFileWithoutExtension();
    void folderNamedLikeAFile();
    void threeFilesIntoTemporaryFolder();
    void folderFirstWithTwoFiles();
    void packLevels_data();
    void packLevels();
    void progressAndCompletion();
    void withoutRecurseOrPaths();
    void duplicateBareNames();
    void wildcardPattern();
    void linksAndSpecialFiles();
    void archiveInsideThePackedTree();
    void rawFileNames();
    void refusedArchiveNames_data();
    void refusedArchiveNames();
    void unreadableFile();
    void missingFileKeepsOldArchive();
    void replacesExistingArchiveOnlyWhenComplete();
    void fileVanishingMidwayKeepsOldArchive();
    void cancelMidwayKeepsOldArchive();
    void workerThreadTask();
    void workerThreadCancel();

private:
    QString Path(const QString &relative) const { return dir->path() + QLatin1Char('/') + relative; }
    std::unique_ptr<QTemporaryDir> dir;
};

void TestZipEngine::init()
{
    dir = std::make_unique<QTemporaryDir>();
    QVERIFY(dir->isValid());
}

// ---------------------------------------------------------------------------
// Naming rules

void TestZipEngine::planArchive_data()
{
    QTest::addColumn<QList<TLocalRow>>("selection");
    QTest::addColumn<int>("location");
    QTest::addColumn<QString>("answer");
    QTest::addColumn<QStringList>("files");
    QTest::addColumn<QString>("zipName");
    QTest::addColumn<QString>("remoteName");

    const QString noAnswer;
    QTest::newRow("one file") << QList<TLocalRow>{{"REPORT.TXT", false}} << 1 << noAnswer
                              << QStringList{"/data/REPORT.TXT"} << "/data/REPORT.zip" << "REPORT.TXT.zip";
    QTest::newRow("no extension") << QList<TLocalRow>{{"NOTES", false}} << 0 << noAnswer
                                  << QStringList{"/data/NOTES"} << "/data/NOTES.zip" << "NOTES.zip";
    QTest::newRow("last dot only") << QList<TLocalRow>{{"site.tar.gz", false}} << 0 << noAnswer
                                   << QStringList{"/data/site.tar.gz"} << "/data/site.tar.zip"
                                   << "site.tar.gz.zip";
    QTest::newRow("hidden file") << QList<TLocalRow>{{".profile", false}} << 0 << noAnswer
                                 << QStringList{"/data/.profile"} << "/data/.profile.zip" << ".profile.zip";
    QTest::newRow("one file and a folder after it")
        << QList<TLocalRow>{{"a.txt", false}, {"img", true}} << 0 << noAnswer << QStringList{"/data/a.txt"}
        << "/data/a.zip" << "a.txt.zip";
    QTest::newRow("several files, local folder")
        << QList<TLocalRow>{{"a", false}, {"b", false}, {"c", false}} << 0 << "site.zip"
        << QStringList{"/data/a", "/data/b", "/data/c"} << "/data/site.zip" << "site.zip";
    QTest::newRow("several files, temporary folder")
        << QList<TLocalRow>{{"a", false}, {"b", false}, {"c", false}} << 1 << "site.zip"
        << QStringList{"/data/a", "/data/b", "/data/c"} << "/tmp/site.zip" << "site.zip";
    QTest::newRow("several files, box cancelled")
        << QList<TLocalRow>{{"a", false}, {"b", false}} << 0 << ArchiveBoxDefault()
        << QStringList{"/data/a", "/data/b"} << "/data/*.zip" << "*.zip";
    QTest::newRow("folder first with files")
        << QList<TLocalRow>{{"site2", true}, {"x.html", false}, {"old", true}, {"y.css", false}} << 0 << noAnswer
        << QStringList{"/data/x.html", "/data/y.css", "/data/site2/*.*"} << "/data/site2.zip" << "site2.zip";
    QTest::newRow("folder alone, temporary folder")
        << QList<TLocalRow>{{"site.v2", true}} << 1 << noAnswer << QStringList{"/data/site.v2/*.*"}
        << "/tmp/site.v2.zip" << "site.v2.zip";
    QTest::newRow("nothing selected") << QList<TLocalRow>{} << 0 << noAnswer << QStringList{} << QString()
                                      << QString();
}

void TestZipEngine::planArchive()
{
    QFETCH(QList<TLocalRow>, selection);
    QFETCH(int, location);
    QFETCH(QString, answer);
    const TArchivePlan plan = PlanArchive(QStringLiteral("/data/"), selection, TArchiveLocation(location),
                                          QStringLiteral("/tmp/"), answer);
    QTEST(plan.FilesList, "files");
    QTEST(plan.ZipName, "zipName");
    QTEST(plan.RemoteName, "remoteName");
    QCOMPARE(plan.IsEmpty(), selection.isEmpty());
}

void TestZipEngine::needsArchiveName_data()
{
    QTest::addColumn<QList<TLocalRow>>("selection");
    QTest::addColumn<bool>("asks");
    QTest::newRow("nothing") << QList<TLocalRow>{} << false;
    QTest::newRow("one file") << QList<TLocalRow>{{"a", false}} << false;
    QTest::newRow("one file and folders") << QList<TLocalRow>{{"a", false}, {"d", true}, {"e", true}} << false;
    QTest::newRow("two files") << QList<TLocalRow>{{"a", false}, {"b", false}} << true;
    QTest::newRow("file, folder, file") << QList<TLocalRow>{{"a", false}, {"d", true}, {"b", false}} << true;
    QTest::newRow("folder first, two files") << QList<TLocalRow>{{"d", true}, {"a", false}, {"b", false}} << false;
}

void TestZipEngine::needsArchiveName()
{
    QFETCH(QList<TLocalRow>, selection);
    QTEST(NeedsArchiveName(selection), "asks");
}

void TestZipEngine::texts()
{
    QCOMPARE(ArchiveBoxCaption(), QStringLiteral("Archivage"));
    QCOMPARE(ArchiveBoxLabel(), QStringLiteral("nom de l'archive"));
    QCOMPARE(ArchiveBoxDefault(), QStringLiteral("*.zip"));
    QCOMPARE(CompressionProgressText("/tmp/site.zip", 42), QStringLiteral("/tmp/site.zip : Compression en cours : 42%"));
    QCOMPARE(CompressionDoneText("/tmp/site.zip"), QStringLiteral("/tmp/site.zip : Compression terminée"));
    QCOMPARE(NotConnectedArchiveText(),
             QStringLiteral("Vous n'êtes pas connecté, l'archive a bien été créée. Connectez vous et transférez "
                            "l'archive manuellement."));
    QCOMPARE(DeleteArchiveQuestion("/tmp/site.zip"), QStringLiteral("Voulez-vous vraiment supprimer /tmp/site.zip?"));
}

void TestZipEngine::markedForCompression()
{
    const QList<TLocalRow> selection{{"a.txt", false}, {"img", true}, {"b", false}};
    QCOMPARE(MarkedForCompression("/data/", selection, false),
             (QStringList{"/data/a.txtCompression locale", "/data/bCompression locale"}));
    QCOMPARE(MarkedForCompression("/data/", selection, true),
             (QStringList{"/data/a.txtCompression et envoi", "/data/bCompression et envoi"}));
    QVERIFY(MarkedForCompression("/data/", {{"img", true}}, true).isEmpty());
}

// ---------------------------------------------------------------------------
// The engine

void TestZipEngine::oneFileWithoutExtension()
{
    const QByteArray notes = TextBytes(50, "NOTES");
    QVERIFY(WriteBytes(Path("data/NOTES"), notes));
    const TArchivePlan plan =
        PlanArchive(Path("data/"), {{"NOTES", false}}, TArchiveLocation::LocalFolder, Path("tmp/"), QString());
    QCOMPARE(plan.ZipName, Path("data/NOTES.zip"));
    QCOMPARE(plan.RemoteName, QStringLiteral("NOTES.zip"));

    TZipEngine engine;
    engine.SetFilesList(plan.FilesList);
    engine.SetZipName(plan.ZipName);
    const TRun run = RunEngine(engine);
    QCOMPARE(run.errors, QStringList());
    QCOMPARE(run.result, 1);

    QString failure;
    const QList<TArchiveEntry> entries = ReadArchive(plan.ZipName, &failure);
    QVERIFY2(failure.isEmpty(), qPrintable(failure));
    QCOMPARE(Names(entries), QByteArrayList{"NOTES"});
    QCOMPARE(entries.first().size, notes.size());
    QCOMPARE(entries.first().method, ZIP_CM_DEFLATE);
    QVERIFY(entries.first().compressedSize < notes.size());
    QCOMPARE(entries.first().data, notes);
}

void TestZipEngine::folderNamedLikeAFile()
{
    const QByteArray b = TextBytes(5, "b");
    QVERIFY(WriteBytes(Path("a.txt/b.txt"), b));
    const TArchivePlan plan =
        PlanArchive(Path("a.txt/"), {{"b.txt", false}}, TArchiveLocation::LocalFolder, Path("tmp/"), QString());
    QCOMPARE(plan.ZipName, Path("a.txt/b.zip"));

    TZipEngine engine;
    engine.SetFilesList(plan.FilesList);
    engine.SetZipName(plan.ZipName);
    QCOMPARE(RunEngine(engine).result, 1);
    QVERIFY(!QFileInfo::exists(Path("a.zip")));
    const QList<TArchiveEntry> entries = ReadArchive(Path("a.txt/b.zip"));
    QCOMPARE(Names(entries), QByteArrayList{"b.txt"});
    QCOMPARE(entries.first().data, b);
}

void TestZipEngine::threeFilesIntoTemporaryFolder()
{
    const QByteArray one = TextBytes(10, "un"), two = NoiseBytes(3000, 2), three;
    QVERIFY(WriteBytes(Path("site/index.html"), one));
    QVERIFY(WriteBytes(Path("site/photo.jpg"), two));
    QVERIFY(WriteBytes(Path("site/vide.txt"), three));
    QVERIFY(QDir().mkpath(Path("tmp")));
    const QList<TLocalRow> selection{{"index.html", false}, {"photo.jpg", false}, {"vide.txt", false}};
    QVERIFY(NeedsArchiveName(selection));
    const TArchivePlan plan =
        PlanArchive(Path("site/"), selection, TArchiveLocation::TemporaryFolder, Path("tmp/"), "site.zip");
    QCOMPARE(plan.ZipName, Path("tmp/site.zip"));
    QCOMPARE(plan.RemoteName, QStringLiteral("site.zip"));

    TZipEngine engine;
    engine.SetFilesList(plan.FilesList);
    engine.SetZipName(plan.ZipName);
    QCOMPARE(RunEngine(engine).result, 3);
    QVERIFY(!QFileInfo::exists(Path("site/site.zip")));

    const QList<TArchiveEntry> entries = ReadArchive(Path("tmp/site.zip"));
    QCOMPARE(Names(entries), (QByteArrayList{"index.html", "photo.jpg", "vide.txt"}));
    QCOMPARE(entries.at(0).data, one);
    QCOMPARE(entries.at(1).data, two);
    QCOMPARE(entries.at(2).data, three);
    QCOMPARE(entries.at(2).size, 0);
    QCOMPARE(OtherFiles(Path("tmp"), {"site.zip"}), QStringList());
}

void TestZipEngine::folderFirstWithTwoFiles()
{
    const QByteArray index = TextBytes(20, "index"), logo = NoiseBytes(10000, 7), css = TextBytes(3, "css"),
                     readme = TextBytes(4, "lisez-moi"), deep = TextBytes(2, "profond");
    QVERIFY(WriteBytes(Path("local/site2/index.html"), index));
    QVERIFY(WriteBytes(Path("local/site2/img/logo.png"), logo));
    QVERIFY(WriteBytes(Path("local/site2/img/icons/deep.txt"), deep));
    QVERIFY(QDir().mkpath(Path("local/site2/vide")));
    QVERIFY(WriteBytes(Path("local/style.css"), css));
    QVERIFY(WriteBytes(Path("local/LISEZMOI"), readme));
    QVERIFY(WriteBytes(Path("local/other/ignored.txt"), "x"));

    const QList<TLocalRow> selection{{"site2", true}, {"style.css", false}, {"other", true}, {"LISEZMOI", false}};
    QVERIFY(!NeedsArchiveName(selection));
    const TArchivePlan plan =
        PlanArchive(Path("local/"), selection, TArchiveLocation::LocalFolder, Path("tmp/"), QString());
    QCOMPARE(plan.ZipName, Path("local/site2.zip"));

    TZipEngine engine;
    engine.SetFilesList(plan.FilesList);
    engine.SetZipName(plan.ZipName);
    engine.SetRecurse(true);
    engine.SetStorePaths(true);
    const TRun run = RunEngine(engine);
    QCOMPARE(run.errors, QStringList());
    QCOMPARE(run.result, 5);
    QCOMPARE(run.completions, QList<int>{5});

    QString failure;
    const QList<TArchiveEntry> entries = ReadArchive(plan.ZipName, &failure);
    QVERIFY2(failure.isEmpty(), qPrintable(failure));
    QCOMPARE(Names(entries), (QByteArrayList{"style.css", "LISEZMOI", "site2/", "site2/img/", "site2/img/icons/",
                                             "site2/img/icons/deep.txt", "site2/img/logo.png", "site2/index.html",
                                             "site2/vide/"}));
    QCOMPARE(Find(entries, "style.css")->data, css);
    QCOMPARE(Find(entries, "LISEZMOI")->data, readme);
    QCOMPARE(Find(entries, "site2/index.html")->data, index);
    QCOMPARE(Find(entries, "site2/img/logo.png")->data, logo);
    QCOMPARE(Find(entries, "site2/img/icons/deep.txt")->data, deep);
    QCOMPARE(Find(entries, "site2/vide/")->size, 0);
    for (const TArchiveEntry &entry : entries) {
        QVERIFY(!entry.name.startsWith('/'));
        QVERIFY(!entry.name.split('/').contains(".."));
    }
}

void TestZipEngine::packLevels_data()
{
    QTest::addColumn<int>("level");
    QTest::addColumn<int>("method");
    QTest::newRow("0 stores") << 0 << int(ZIP_CM_STORE);
    QTest::newRow("1") << 1 << int(ZIP_CM_DEFLATE);
    QTest::newRow("6") << 6 << int(ZIP_CM_DEFLATE);
    QTest::newRow("9") << 9 << int(ZIP_CM_DEFLATE);
    QTest::newRow("above 9 means 9") << 12 << int(ZIP_CM_DEFLATE);
    QTest::newRow("below 0 means 0") << -3 << int(ZIP_CM_STORE);
}

void TestZipEngine::packLevels()
{
    QFETCH(int, level);
    QFETCH(int, method);
    const QByteArray text = TextBytes(4000, "niveau");
    const QByteArray noise = NoiseBytes(70000, 3);
    QVERIFY(WriteBytes(Path("in/texte.txt"), text));
    QVERIFY(WriteBytes(Path("in/bruit.bin"), noise));

    TZipEngine engine;
    engine.SetPackLevel(level);
    QCOMPARE(engine.PackLevel(), std::clamp(level, 0, 9));
    engine.SetFilesList({Path("in/*.*")});
    engine.SetZipName(Path("out.zip"));
    QCOMPARE(RunEngine(engine).result, 2);

    const QList<TArchiveEntry> entries = ReadArchive(Path("out.zip"));
    QCOMPARE(Names(entries), (QByteArrayList{"in/", "in/bruit.bin", "in/texte.txt"}));
    const TArchiveEntry *textEntry = Find(entries, "in/texte.txt");
    const TArchiveEntry *noiseEntry = Find(entries, "in/bruit.bin");
    QCOMPARE(textEntry->data, text);
    QCOMPARE(noiseEntry->data, noise);
    QCOMPARE(textEntry->method, method);
    if (method == ZIP_CM_STORE) {
        QCOMPARE(textEntry->compressedSize, text.size());
        QCOMPARE(noiseEntry->compressedSize, noise.size());
    } else {
        QVERIFY(textEntry->compressedSize * 10 < text.size());
    }

    // The strongest level is never larger than the fastest one.
    if (engine.PackLevel() == 9) {
        TZipEngine fast;
        fast.SetPackLevel(1);
        fast.SetFilesList({Path("in/texte.txt")});
        fast.SetZipName(Path("fast.zip"));
        QCOMPARE(fast.Zip(), 1);
        QVERIFY(textEntry->compressedSize < ReadArchive(Path("fast.zip")).first().compressedSize);
    }
}

void TestZipEngine::progressAndCompletion()
{
    for (int i = 0; i < 40; ++i)
        QVERIFY(WriteBytes(Path("p/f%1.txt").arg(i, 2, 10, QLatin1Char('0')), TextBytes(200 + 50 * i, "p")));
    QVERIFY(WriteBytes(Path("p/gros.bin"), NoiseBytes(3 << 20, 5)));
    TZipEngine engine;
    engine.SetFilesList({Path("p/*.*")});
    engine.SetZipName(Path("p.zip"));
    QStringList order;
    QList<int> percents;
    engine.OnTotalPercentDone = [&](TZipEngine *sender, int percent) {
        QCOMPARE(sender, &engine);
        percents.append(percent);
        if (order.isEmpty() || order.last() != "percent")
            order.append("percent");
        // Until the end the archive is not in place.
        if (percent < 100)
            QVERIFY(!QFileInfo::exists(Path("p.zip")));
    };
    engine.OnZipComplete = [&](TZipEngine *sender, int count) {
        QCOMPARE(sender, &engine);
        order.append(QStringLiteral("complete %1").arg(count));
        QVERIFY(QFileInfo::exists(Path("p.zip")));
    };
    engine.OnZipError = [&](TZipEngine *, const QString &message) { order.append(message); };
    QCOMPARE(engine.Zip(), 41);
    QCOMPARE(order, (QStringList{"percent", "complete 41"}));
    QCOMPARE(percents.first(), 0);
    QCOMPARE(percents.last(), 100);
    QVERIFY(percents.size() > 10); // moves along, not only 0 and 100
    for (qsizetype i = 1; i < percents.size(); ++i)
        QVERIFY2(percents.at(i) > percents.at(i - 1), "each value once, rising");
    QCOMPARE(engine.ErrorText(), QString());
    QCOMPARE(ReadArchive(Path("p.zip")).size(), 42);
}

void TestZipEngine::withoutRecurseOrPaths()
{
    QVERIFY(WriteBytes(Path("w/top.txt"), "haut"));
    QVERIFY(WriteBytes(Path("w/sub/low.txt"), "bas"));

    TZipEngine flat;
    flat.SetRecurse(false);
    flat.SetFilesList({Path("w/*.*")});
    flat.SetZipName(Path("flat.zip"));
    QCOMPARE(flat.Zip(), 1);
    QCOMPARE(Names(ReadArchive(Path("flat.zip"))), (QByteArrayList{"w/", "w/top.txt"}));

    TZipEngine bare;
    bare.SetStorePaths(false);
    bare.SetFilesList({Path("w/*.*")});
    bare.SetZipName(Path("bare.zip"));
    QCOMPARE(bare.Zip(), 2);
    const QList<TArchiveEntry> entries = ReadArchive(Path("bare.zip"));
    QCOMPARE(Names(entries), (QByteArrayList{"low.txt", "top.txt"}));
    QCOMPARE(entries.at(0).data, QByteArray("bas"));

    // A folder named without wildcard is the whole folder; paths with "."
    // and ".." are cleaned before entries are named.
    TZipEngine plain;
    plain.SetFilesList({Path("w/sub/../sub"), Path("w/./top.txt")});
    plain.SetZipName(Path("plain.zip"));
    QCOMPARE(plain.Zip(), 2);
    QCOMPARE(Names(ReadArchive(Path("plain.zip"))), (QByteArrayList{"sub/", "sub/low.txt", "top.txt"}));
}

void TestZipEngine::duplicateBareNames()
{
    QVERIFY(WriteBytes(Path("d/a/same.txt"), "1"));
    QVERIFY(WriteBytes(Path("d/b/same.txt"), "2"));
    TZipEngine engine;
    engine.SetStorePaths(false);
    engine.SetFilesList({Path("d/*.*")});
    engine.SetZipName(Path("d.zip"));
    const TRun run = RunEngine(engine);
    QCOMPARE(run.result, 0);
    QCOMPARE(run.errors,
             QStringList{QStringLiteral("Deux fichiers porteraient le même nom dans l'archive : same.txt")});
    QVERIFY(!QFileInfo::exists(Path("d.zip")));

    // The same file named twice is packed once.
    TZipEngine twice;
    twice.SetFilesList({Path("d/a/same.txt"), Path("d/a/same.txt")});
    twice.SetZipName(Path("twice.zip"));
    QCOMPARE(twice.Zip(), 1);
}

void TestZipEngine::wildcardPattern()
{
    QVERIFY(WriteBytes(Path("w/a.txt"), "a"));
    QVERIFY(WriteBytes(Path("w/B.TXT"), "b"));
    QVERIFY(WriteBytes(Path("w/c.html"), "c"));
    QVERIFY(WriteBytes(Path("w/sub/d.txt"), "d"));
    QVERIFY(WriteBytes(Path("w/NOTES"), "n"));
    TZipEngine engine;
    engine.SetFilesList({Path("w/*.txt")});
    engine.SetZipName(Path("txt.zip"));
    QCOMPARE(engine.Zip(), 3);
    QCOMPARE(Names(ReadArchive(Path("txt.zip"))), (QByteArrayList{"w/B.TXT", "w/a.txt", "w/sub/d.txt"}));

    // "*.*" takes names without a dot too.
    engine.SetFilesList({Path("w/*.*")});
    engine.SetZipName(Path("all.zip"));
    QCOMPARE(engine.Zip(), 5);
}

void TestZipEngine::linksAndSpecialFiles()
{
    QVERIFY(WriteBytes(Path("outside/target.txt"), "cible"));
    QVERIFY(WriteBytes(Path("l/real.txt"), "réel"));
    QVERIFY(QFile::link(Path("outside/target.txt"), Path("l/link.txt")));
    QVERIFY(QFile::link(Path("outside"), Path("l/folderlink")));
    QVERIFY(QFile::link(Path("l"), Path("l/loop")));
    QVERIFY(QFile::link(Path("nowhere"), Path("l/dangling")));
    QCOMPARE(::mkfifo(QFile::encodeName(Path("l/pipe")).constData(), 0600), 0);

    TZipEngine engine;
    engine.SetFilesList({Path("l/*.*")});
    engine.SetZipName(Path("l.zip"));
    const TRun run = RunEngine(engine);
    QCOMPARE(run.errors, QStringList());
    QCOMPARE(run.result, 2);
    const QList<TArchiveEntry> entries = ReadArchive(Path("l.zip"));
    QCOMPARE(Names(entries), (QByteArrayList{"l/", "l/link.txt", "l/real.txt"}));
    QCOMPARE(Find(entries, "l/link.txt")->data, QByteArray("cible"));

    // Named on its own, a pipe is refused rather than waited on.
    engine.SetFilesList({Path("l/pipe")});
    engine.SetZipName(Path("pipe.zip"));
    const TRun pipe = RunEngine(engine);
    QCOMPARE(pipe.result, 0);
    QCOMPARE(pipe.errors, QStringList{"Ce n'est pas un fichier ordinaire : " + Path("l/pipe")});
    QVERIFY(!QFileInfo::exists(Path("pipe.zip")));
}

void TestZipEngine::archiveInsideThePackedTree()
{
    QVERIFY(WriteBytes(Path("t/a.txt"), "a"));
    TZipEngine engine;
    engine.SetFilesList({Path("t/*.*")});
    engine.SetZipName(Path("t/t.zip"));
    QCOMPARE(engine.Zip(), 1);
    // Packed again, the previous archive is not taken into the new one.
    QCOMPARE(engine.Zip(), 1);
    QCOMPARE(Names(ReadArchive(Path("t/t.zip"))), (QByteArrayList{"t/", "t/a.txt"}));

    // Named on its own it is refused, and kept.
    const QByteArray before = FileBytes(Path("t/t.zip"));
    engine.SetFilesList({Path("t/t.zip")});
    const TRun run = RunEngine(engine);
    QCOMPARE(run.result, 0);
    QCOMPARE(run.errors, QStringList{"L'archive ne peut pas se contenir elle-même : " + Path("t/t.zip")});
    QCOMPARE(FileBytes(Path("t/t.zip")), before);
}

void TestZipEngine::rawFileNames()
{
    // A name that is not UTF-8 (Latin-1 "é") is stored with its bytes as
    // they are, and read back from disk.
    const QByteArray folder = QFile::encodeName(Path("raw"));
    QVERIFY(QDir().mkpath(Path("raw")));
    const QByteArray name = QByteArray("caf") + char(0xe9) + ".txt";
    {
        const QByteArray path = folder + '/' + name;
        FILE *f = std::fopen(path.constData(), "wb");
        QVERIFY(f);
        std::fputs("latin", f);
        std::fclose(f);
    }
    QVERIFY(WriteBytes(Path("raw/été.txt"), "utf"));
    TZipEngine engine;
    engine.SetFilesList({Path("raw/*.*")});
    engine.SetZipName(Path("raw.zip"));
    QCOMPARE(engine.Zip(), 2);
    const QList<TArchiveEntry> entries = ReadArchive(Path("raw.zip"));
    QCOMPARE(Names(entries), (QByteArrayList{"raw/", "raw/" + name, QByteArray("raw/été.txt")}));
    QCOMPARE(entries.at(1).data, QByteArray("latin"));
    // QTemporaryDir cannot remove a name it cannot decode.
    QCOMPARE(::unlink((folder + '/' + name).constData()), 0);
}

void TestZipEngine::refusedArchiveNames_data()
{
    QTest::addColumn<QString>("zipName");
    QTest::addColumn<QString>("message");
    QTest::newRow("untouched default") << "*.zip" << "Nom d'archive invalide : %1*.zip";
    QTest::newRow("question mark") << "site?.zip" << "Nom d'archive invalide : %1site?.zip";
    QTest::newRow("control character") << "a\tb.zip" << "Nom d'archive invalide : %1a\tb.zip";
    QTest::newRow("empty answer") << "" << "Nom d'archive invalide : %1";
    QTest::newRow("a folder") << "dossier" << "Nom d'archive invalide : %1dossier";
    QTest::newRow("missing folder") << "absent/site.zip"
                                    << "Impossible de créer l'archive %1absent/site.zip : le dossier %1absent "
                                       "n'existe pas";
}

void TestZipEngine::refusedArchiveNames()
{
    QFETCH(QString, zipName);
    QFETCH(QString, message);
    QVERIFY(WriteBytes(Path("src/a.txt"), "a"));
    QVERIFY(QDir().mkpath(Path("out/dossier")));
    const QString folder = Path("out/");
    TZipEngine engine;
    engine.SetFilesList({Path("src/a.txt")});
    engine.SetZipName(folder + zipName);
    const TRun run = RunEngine(engine);
    QCOMPARE(run.result, 0);
    QCOMPARE(run.errors, QStringList{message.replace(QStringLiteral("%1"), folder)});
    QCOMPARE(engine.ErrorText(), run.errors.first());
    QVERIFY(run.completions.isEmpty());
    QVERIFY(run.percents.isEmpty());
    QCOMPARE(QDir(folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden), QStringList{"dossier"});
}

void TestZipEngine::unreadableFile()
{
    QVERIFY(WriteBytes(Path("u/lisible.txt"), "ok"));
    QVERIFY(WriteBytes(Path("u/secret.txt"), "caché"));
    QVERIFY(WriteBytes(Path("u/old.zip"), "ancienne archive"));
    // The ordinary user may go through the folders and write the archive;
    // only the one file is closed to it.
    for (const QString &folder : {dir->path(), Path("u")})
        QVERIFY(QFile::setPermissions(folder, QFileDevice::Permissions(0x7777)));
    QVERIFY(QFile::setPermissions(Path("u/lisible.txt"), QFileDevice::ReadOwner | QFileDevice::ReadOther |
                                                             QFileDevice::WriteOwner));
    QVERIFY(QFile::setPermissions(Path("u/old.zip"), QFileDevice::Permissions(0x6666)));
    QVERIFY(QFile::setPermissions(Path("u/secret.txt"), QFileDevice::Permissions()));

    for (const QStringList &files : {QStringList{Path("u/lisible.txt"), Path("u/secret.txt")},
                                     QStringList{Path("u/*.*")}}) {
        TZipEngine engine;
        engine.SetFilesList(files);
        engine.SetZipName(Path("u/old.zip"));
        TRun run;
        AsOrdinaryUser([&] { run = RunEngine(engine); });
        QCOMPARE(run.result, 0);
        QCOMPARE(run.errors,
                 QStringList{"Impossible de lire le fichier " + Path("u/secret.txt") + " : accès refusé"});
        QVERIFY(run.completions.isEmpty());
        QCOMPARE(FileBytes(Path("u/old.zip")), QByteArray("ancienne archive"));
        QCOMPARE(OtherFiles(Path("u"), {"lisible.txt", "secret.txt", "old.zip"}), QStringList());
    }
}

void TestZipEngine::missingFileKeepsOldArchive()
{
    QVERIFY(WriteBytes(Path("m/a.txt"), "a"));
    QVERIFY(WriteBytes(Path("m/site.zip"), "old"));
    TZipEngine engine;
    engine.SetFilesList({Path("m/a.txt"), Path("m/parti.txt")});
    engine.SetZipName(Path("m/site.zip"));
    const TRun run = RunEngine(engine);
    QCOMPARE(run.result, 0);
    QCOMPARE(run.errors, QStringList{"Impossible de lire le fichier " + Path("m/parti.txt") + " : introuvable"});
    QCOMPARE(FileBytes(Path("m/site.zip")), QByteArray("old"));

    engine.SetFilesList({});
    const TRun empty = RunEngine(engine);
    QCOMPARE(empty.errors, QStringList{"Aucun fichier à compresser"});
    QCOMPARE(FileBytes(Path("m/site.zip")), QByteArray("old"));
}

void TestZipEngine::replacesExistingArchiveOnlyWhenComplete()
{
    QVERIFY(WriteBytes(Path("r/one.txt"), TextBytes(100, "one")));
    QVERIFY(WriteBytes(Path("r/two.bin"), NoiseBytes(1 << 20, 9)));
    const QByteArray old = "pas une archive, mais le fichier de l'utilisateur";
    QVERIFY(WriteBytes(Path("out/r.zip"), old));

    TZipEngine engine;
    engine.SetFilesList({Path("r/one.txt"), Path("r/two.bin")});
    engine.SetZipName(Path("out/r.zip"));
    int checks = 0;
    engine.OnTotalPercentDone = [&](TZipEngine *, int percent) {
        if (percent < 100) {
            // Meanwhile the old file is untouched and the new archive grows
            // under another name in the same folder.
            QCOMPARE(FileBytes(Path("out/r.zip")), old);
            ++checks;
        }
    };
    QCOMPARE(engine.Zip(), 2);
    QVERIFY(checks > 1);
    const QList<TArchiveEntry> entries = ReadArchive(Path("out/r.zip"));
    QCOMPARE(Names(entries), (QByteArrayList{"one.txt", "two.bin"}));
    QCOMPARE(entries.at(1).data, FileBytes(Path("r/two.bin")));
    QCOMPARE(OtherFiles(Path("out"), {"r.zip"}), QStringList());
}

void TestZipEngine::fileVanishingMidwayKeepsOldArchive()
{
    QVERIFY(WriteBytes(Path("v/1.bin"), NoiseBytes(1 << 20, 1)));
    QVERIFY(WriteBytes(Path("v/2.bin"), NoiseBytes(1 << 20, 2)));
    QVERIFY(WriteBytes(Path("v/3.bin"), NoiseBytes(1 << 20, 3)));
    QVERIFY(WriteBytes(Path("out/v.zip"), "old"));
    TZipEngine engine;
    engine.SetFilesList({Path("v/*.*")});
    engine.SetZipName(Path("out/v.zip"));
    TRun run;
    engine.OnTotalPercentDone = [&](TZipEngine *, int percent) {
        run.percents.append(percent);
        if (percent > 10 && QFileInfo::exists(Path("v/3.bin")))
            QFile::remove(Path("v/3.bin"));
    };
    engine.OnZipError = [&](TZipEngine *, const QString &message) { run.errors.append(message); };
    engine.OnZipComplete = [&](TZipEngine *, int count) { run.completions.append(count); };
    QCOMPARE(engine.Zip(), 0);
    QCOMPARE(run.errors, QStringList{"Impossible de lire le fichier " + Path("v/3.bin") + " : introuvable"});
    QVERIFY(run.completions.isEmpty());
    QVERIFY(!run.percents.contains(100));
    QCOMPARE(FileBytes(Path("out/v.zip")), QByteArray("old"));
    QCOMPARE(OtherFiles(Path("out"), {"v.zip"}), QStringList());
}

void TestZipEngine::cancelMidwayKeepsOldArchive()
{
    QVERIFY(WriteBytes(Path("c/big.bin"), NoiseBytes(4 << 20, 4)));
    QVERIFY(WriteBytes(Path("out/c.zip"), "old"));
    TZipEngine engine;
    engine.SetFilesList({Path("c/big.bin")});
    engine.SetZipName(Path("out/c.zip"));
    TRun run;
    engine.OnTotalPercentDone = [&](TZipEngine *sender, int percent) {
        run.percents.append(percent);
        if (percent >= 20)
            sender->Cancel();
    };
    engine.OnZipError = [&](TZipEngine *, const QString &message) { run.errors.append(message); };
    QCOMPARE(engine.Zip(), 0);
    QCOMPARE(run.errors, QStringList{"Compression annulée"});
    QVERIFY(run.percents.last() < 100);
    QCOMPARE(FileBytes(Path("out/c.zip")), QByteArray("old"));
    QCOMPARE(OtherFiles(Path("out"), {"c.zip"}), QStringList());

    // The next compression is not affected.
    engine.OnTotalPercentDone = nullptr;
    QCOMPARE(engine.Zip(), 1);
    QCOMPARE(ReadArchive(Path("out/c.zip")).first().data, FileBytes(Path("c/big.bin")));
}

void TestZipEngine::workerThreadTask()
{
    QVERIFY(WriteBytes(Path("task/a.bin"), NoiseBytes(2 << 20, 11)));
    QVERIFY(WriteBytes(Path("task/b.txt"), TextBytes(20000, "tâche")));
    TZipTask task;
    task.Engine().SetFilesList({Path("task/*.*")});
    task.Engine().SetZipName(Path("task.zip"));
    QList<int> percents;
    QList<Qt::HANDLE> threads;
    connect(&task, &TZipTask::TotalPercentDone, this, [&](int percent) {
        percents.append(percent);
        threads.append(QThread::currentThreadId());
    });
    QSignalSpy complete(&task, &TZipTask::ZipComplete);
    QSignalSpy failed(&task, &TZipTask::ZipFailed);
    QSignalSpy finished(&task, &TZipTask::Finished);
    QVERIFY(task.Start());
    QVERIFY(task.Running());
    QVERIFY(!task.Start());
    QVERIFY(finished.wait(20000));
    QVERIFY(!task.Running());
    QCOMPARE(complete.size(), 1);
    QCOMPARE(complete.first().first().toInt(), 2);
    QCOMPARE(failed.size(), 0);
    QCOMPARE(task.FileCount(), 2);
    QCOMPARE(percents.first(), 0);
    QCOMPARE(percents.last(), 100);
    for (Qt::HANDLE thread : threads)
        QCOMPARE(thread, QThread::currentThreadId());
    QCOMPARE(ReadArchive(Path("task.zip")).size(), 3);

    // Once more with the same task: a failure arrives as ZipFailed.
    task.Engine().SetFilesList({Path("task/absent.txt")});
    QVERIFY(task.Start());
    QVERIFY(finished.wait(20000));
    QCOMPARE(failed.size(), 1);
    QCOMPARE(failed.first().first().toString(),
             "Impossible de lire le fichier " + Path("task/absent.txt") + " : introuvable");
    QCOMPARE(complete.size(), 1);
    QCOMPARE(task.FileCount(), 0);
}

void TestZipEngine::workerThreadCancel()
{
    for (int i = 0; i < 8; ++i)
        QVERIFY(WriteBytes(Path("tc/%1.bin").arg(i), NoiseBytes(2 << 20, 20 + i)));
    QVERIFY(WriteBytes(Path("tc.zip"), "old"));
    TZipTask task;
    task.Engine().SetFilesList({Path("tc/*.*")});
    task.Engine().SetZipName(Path("tc.zip"));
    task.Engine().SetPackLevel(9);
    connect(&task, &TZipTask::TotalPercentDone, &task, [&](int percent) {
        if (percent >= 5)
            task.Cancel();
    });
    QSignalSpy failed(&task, &TZipTask::ZipFailed);
    QSignalSpy finished(&task, &TZipTask::Finished);
    QVERIFY(task.Start());
    QVERIFY(finished.wait(20000));
    QCOMPARE(failed.size(), 1);
    QCOMPARE(failed.first().first().toString(), QStringLiteral("Compression annulée"));
    QCOMPARE(FileBytes(Path("tc.zip")), QByteArray("old"));

    // A cancellation that comes once a run is over does not stop the next.
    task.Cancel();
    disconnect(&task, &TZipTask::TotalPercentDone, &task, nullptr);
    task.Engine().SetPackLevel(1);
    QVERIFY(task.Start());
    QVERIFY(finished.wait(20000));
    QCOMPARE(failed.size(), 1);
    QCOMPARE(task.FileCount(), 8);
}

QTEST_GUILESS_MAIN(TestZipEngine)
#include "tst_zipengine.moc"
