// TUploadThread, the quick explorer's upload worker, against a real
// pyftpdlib server: folder trees mirrored depth first, files in order, the
// messages and progress handed to the GUI thread, and the completion step
// run there in every case (after a local file error, a refused remote
// folder or a disconnection too).
#include "PyFtpdServer.h"
#include "QuickTestKit.h"
#include "UploadThread.h"

#include <QPointer>
#include <QTemporaryDir>
#include <QtTest>

using namespace QuickTestKit;

namespace {

QString Copying(const QString &name)
{
    return FormatQuickMessage(QuickTexts::CopyInProgress, {name});
}

QString Creating(const QString &name)
{
    return FormatQuickMessage(QuickTexts::FolderCreated, {name});
}

} // namespace

class QuickUploadTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void folderUpload_data();
    void folderUpload();
    void filesInOrder();
    void localErrorEndsTheWalk_data();
    void localErrorEndsTheWalk();
    void remoteFolderRefused();
    void progressReachesTheGuiThread();
    void disconnectedDuringTheWalk();

private:
    // Starts a worker on text as the panel does and waits for its end.
    bool RunWorker(const QString &text);
    QString RemoteFolder() const;
    void MakeSite();

    std::unique_ptr<PyFtpdServer> server;
    std::unique_ptr<TRecordingOwner> owner;
    std::unique_ptr<QTemporaryDir> local;
    QString pub;
    QString site;
    QByteArray index, logo;
};

void QuickUploadTest::init()
{
    server = std::make_unique<PyFtpdServer>();
    pub = server->RootPath() + QStringLiteral("/pub");
    QVERIFY(QDir().mkpath(pub));
    QVERIFY2(server->Start(), qPrintable(server->ErrorString()));
    owner = std::make_unique<TRecordingOwner>();
    owner->connection.SetTimeouts({5, 10, 10});
    QVERIFY(owner->connection.Open(server->Host(), QStringLiteral("anonymous"), server->Port(), true,
                                   QStringLiteral("pub"), QStringLiteral("guest")));
    local = std::make_unique<QTemporaryDir>();
    QVERIFY(local->isValid());
}

void QuickUploadTest::cleanup()
{
    owner.reset();
    if (QTest::currentTestFailed())
        qWarning().noquote() << server->StandardError();
    server.reset();
}

void QuickUploadTest::MakeSite()
{
    site = local->filePath(QStringLiteral("site"));
    index = Pattern(3000, 1);
    logo = Pattern(700000, 2);
    QVERIFY(WriteFile(site + QStringLiteral("/index.html"), index));
    QVERIFY(WriteFile(site + QStringLiteral("/img/logo.gif"), logo));
}

bool QuickUploadTest::RunWorker(const QString &text)
{
    owner->busy = true;  // as the panel sets it before starting the worker
    QPointer<TUploadThread> worker = new TUploadThread(*owner, text);
    worker->start();
    QDeadlineTimer deadline(30000);
    while ((owner->uploadDone == 0 || worker) && !deadline.hasExpired())
        QTest::qWait(10);
    // Deleted by itself once finished.
    return owner->uploadDone == 1 && !worker;
}

QString QuickUploadTest::RemoteFolder() const
{
    QString folder;
    const auto handle = owner->connection.Handle();
    if (handle)
        handle->GetCurrentDirectory(folder);
    return folder;
}

void QuickUploadTest::folderUpload_data()
{
    QTest::addColumn<bool>("existing");
    QTest::newRow("new remote folder") << false;
    QTest::newRow("existing remote folder filled") << true;
}

void QuickUploadTest::folderUpload()
{
    QFETCH(bool, existing);
    MakeSite();
    if (existing) {
        QVERIFY(WriteFile(pub + QStringLiteral("/site/other.txt"), "kept"));
        QVERIFY(QDir().mkpath(pub + QStringLiteral("/site/img")));
    }
    QVERIFY(RunWorker(site + QStringLiteral("\r\n")));

    QCOMPARE(ReadFile(pub + QStringLiteral("/site/index.html")), index);
    QVERIFY(ReadFile(pub + QStringLiteral("/site/img/logo.gif")) == logo);
    if (existing)
        QCOMPARE(ReadFile(pub + QStringLiteral("/site/other.txt")), QByteArray("kept"));
    QCOMPARE(RemoteFolder(), QStringLiteral("/pub"));
    QCOMPARE(owner->infos, (QStringList{Copying("index.html"), Creating("img"), Copying("logo.gif")}));
    QVERIFY(owner->errors.isEmpty());
    QVERIFY(owner->uploadDoneOnMainThread);
    QVERIFY(owner->messagesOnMainThread);
    QCOMPARE(owner->infosAtDone, owner->infos.size());
    QVERIFY(!owner->busy);
}

void QuickUploadTest::filesInOrder()
{
    QStringList paths;
    for (const char *name : {"c.txt", "a.txt", "b.txt"}) {
        paths.append(local->filePath(QString::fromLatin1(name)));
        QVERIFY(WriteFile(paths.last(), Pattern(1000 + paths.size(), quint32(paths.size()))));
    }
    QVERIFY(RunWorker(paths.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n")));
    QCOMPARE(owner->infos, (QStringList{Copying("c.txt"), Copying("a.txt"), Copying("b.txt")}));
    for (const QString &path : std::as_const(paths))
        QCOMPARE(ReadFile(pub + QLatin1Char('/') + QFileInfo(path).fileName()), ReadFile(path));
    QCOMPARE(RemoteFolder(), QStringLiteral("/pub"));
}

void QuickUploadTest::localErrorEndsTheWalk_data()
{
    QTest::addColumn<QString>("where");
    QTest::newRow("a missing file in the list") << "list";
    QTest::newRow("an unreadable file deep in a tree") << "tree";
}

void QuickUploadTest::localErrorEndsTheWalk()
{
    QFETCH(QString, where);
    MakeSite();
    const QString after = local->filePath(QStringLiteral("after.txt"));
    QVERIFY(WriteFile(after, "after"));
    QString bad;
    QString text;
    if (where == QLatin1String("list")) {
        bad = local->filePath(QStringLiteral("missing.txt"));
        text = QStringList{site + QStringLiteral("/index.html"), bad, after}.join(QLatin1Char('\n'));
    } else {
        // Opens, then fails on its first read; it comes after logo.gif.
        bad = site + QStringLiteral("/img/zz.bin");
        QVERIFY(QFile::link(QStringLiteral("/proc/self/mem"), bad));
        text = site + QLatin1Char('\n') + after;
    }
    QVERIFY(RunWorker(text));

    QCOMPARE(owner->errors.size(), 1);
    QVERIFY2(owner->errors.first().contains(bad), qPrintable(owner->errors.first()));
    QVERIFY(owner->errors.first().startsWith(QLatin1String("Impossible d")));
    // The walk ended there: the next path was not uploaded.
    QVERIFY(!QFileInfo::exists(pub + QStringLiteral("/after.txt")));
    if (where == QLatin1String("list")) {
        QCOMPARE(ReadFile(pub + QStringLiteral("/index.html")), index);
    } else {
        QVERIFY(ReadFile(pub + QStringLiteral("/site/img/logo.gif")) == logo);
        QVERIFY(owner->infos.contains(Copying("zz.bin")));
    }
    // The remote folder is where the upload started, and the completion
    // step ran after every message.
    QCOMPARE(RemoteFolder(), QStringLiteral("/pub"));
    QVERIFY(owner->uploadDoneOnMainThread);
    QCOMPARE(owner->errorsAtDone, owner->errors.size());
    QCOMPARE(owner->infosAtDone, owner->infos.size());
    QVERIFY(!owner->busy);
}

void QuickUploadTest::remoteFolderRefused()
{
    // A remote file named like the local subfolder: the folder can be
    // neither created nor entered, so its content stays home instead of
    // landing in the folder above.
    MakeSite();
    QVERIFY(WriteFile(pub + QStringLiteral("/site/img"), "a file"));
    QVERIFY(RunWorker(site));
    QCOMPARE(ReadFile(pub + QStringLiteral("/site/index.html")), index);
    QCOMPARE(ReadFile(pub + QStringLiteral("/site/img")), QByteArray("a file"));
    QVERIFY(!QFileInfo::exists(pub + QStringLiteral("/site/logo.gif")));
    QVERIFY(!QFileInfo::exists(pub + QStringLiteral("/logo.gif")));
    QCOMPARE(owner->infos, (QStringList{Copying("index.html"), Creating("img"),
                                        FormatQuickMessage(QuickTexts::RemoteFolderSkipped, {"img"})}));
    // The server's refusal of the folder, as ShowLastResponse shows it.
    QCOMPARE(owner->errors.size(), 1);
    QVERIFY2(owner->errors.first().startsWith(QLatin1String("550")), qPrintable(owner->errors.first()));
    QCOMPARE(RemoteFolder(), QStringLiteral("/pub"));
}

void QuickUploadTest::progressReachesTheGuiThread()
{
    const QString big = local->filePath(QStringLiteral("big.bin"));
    const QString empty = local->filePath(QStringLiteral("empty.bin"));
    QVERIFY(WriteFile(big, Pattern(3 * 1024 * 1024)));
    QVERIFY(WriteFile(empty, {}));
    owner->SetFTPOptions(doDisplayProgress | doShowHourglass);
    owner->RecordProgress();
    QVERIFY(RunWorker(big + QLatin1Char('\n') + empty));

    QVERIFY(!owner->progress.isEmpty());
    for (const ProgressRecord &record : std::as_const(owner->progress)) {
        QVERIFY(record.onMainThread);
        QCOMPARE(record.remote, QStringLiteral("big.bin"));  // none for the empty file
        QCOMPARE(record.local, big);
    }
    QCOMPARE(owner->progress.last().done, qint64(3 * 1024 * 1024));
    QCOMPARE(owner->progress.last().toBeDone, qint64(0));
    QVERIFY(owner->senderIsConnection);
    QCOMPARE(owner->progressAtDone, owner->progress.size());
    QCOMPARE(QFileInfo(pub + QStringLiteral("/empty.bin")).size(), qint64(0));
    // The worker leaves the cursor alone.
    QVERIFY(owner->hourglass.isEmpty());
}

void QuickUploadTest::disconnectedDuringTheWalk()
{
    QStringList paths;
    for (int i = 0; i < 20; ++i) {
        paths.append(local->filePath(QStringLiteral("f%1.bin").arg(i, 2, 10, QLatin1Char('0'))));
        QVERIFY(WriteFile(paths.last(), Pattern(1024 * 1024, quint32(i))));
    }
    // The panel disconnects as soon as the first file is announced.
    owner->onInfo = [this] {
        if (owner->connection.Connected())
            owner->connection.Close();
    };
    owner->busy = true;
    QPointer<TUploadThread> worker = new TUploadThread(*owner, paths.join(QLatin1Char('\n')));
    worker->start();
    QTRY_COMPARE_WITH_TIMEOUT(owner->uploadDone, 1, 20000);
    QTRY_VERIFY(!worker);
    QVERIFY(!owner->busy);
    QVERIFY(!owner->connection.Connected());
    // Whatever got through is whole; the rest was not attempted.
    for (const QString &path : std::as_const(paths)) {
        const QString remote = pub + QLatin1Char('/') + QFileInfo(path).fileName();
        if (QFileInfo::exists(remote) && QFileInfo(remote).size() == QFileInfo(path).size())
            QVERIFY(ReadFile(remote) == ReadFile(path));
    }
    QVERIFY(owner->infos.size() < paths.size());
}

QTEST_GUILESS_MAIN(QuickUploadTest)
#include "tst_quickupload.moc"
