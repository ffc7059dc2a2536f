// TBTFTPConnection, the quick explorer's connection object: its progress
// reports (with a clock the test drives), and its opening, downloads,
// uploads and single calls against a real pyftpdlib server (and a scripted
// one for a download cut off by the server).
#include "PyFtpdServer.h"
#include "QuickTestKit.h"
#include "ScriptedFtpServer.h"

#include <QElapsedTimer>
#include <QLocale>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

using namespace QuickTestKit;

namespace {

constexpr qint64 FiveMiB = 5 * 1024 * 1024;

// Steps of a transfer for ReportProgress: at tick, a block of bytes.
struct Step {
    qint64 tick;
    qint64 bytes;
};

// What a report carried: done, remaining, speed.
struct Report {
    qint64 done;
    qint64 remaining;
    qint64 speed;
    bool operator==(const Report &other) const = default;
};

char *toString(const Report &report)
{
    return QTest::toString(QStringLiteral("(%1, %2, %3)").arg(report.done).arg(report.remaining).arg(report.speed));
}

} // namespace

Q_DECLARE_METATYPE(QList<Step>)
Q_DECLARE_METATYPE(QList<Report>)

class QuickConnectionTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void reportProgress_data();
    void reportProgress();
    void progressMessage_data();
    void progressMessage();

    void open_data();
    void open();
    void download_data();
    void download();
    void zeroByteFiles();
    void downloadFailureKeepsLocalFile();
    void downloadCutOffByServer();
    void uploadFailsOnTheWay_data();
    void uploadFailsOnTheWay();
    void localFileFailures_data();
    void localFileFailures();
    void transferType_data();
    void transferType();
    void windowStaysResponsive();
    void singleCalls();

private:
    bool StartServer();
    bool OpenServer(const QString &folder = QStringLiteral("pub"));

    std::unique_ptr<PyFtpdServer> server;
    std::unique_ptr<TRecordingOwner> owner;
    std::unique_ptr<QTemporaryDir> local;
    QString pub;
};

void QuickConnectionTest::initTestCase()
{
    // The progress message and its number formats as a French user reads them.
    QLocale::setDefault(QLocale(QLocale::French, QLocale::France));
}

void QuickConnectionTest::init()
{
    owner = std::make_unique<TRecordingOwner>();
    owner->connection.SetTimeouts({5, 10, 10});
    local = std::make_unique<QTemporaryDir>();
    QVERIFY(local->isValid());
}

void QuickConnectionTest::cleanup()
{
    owner.reset();
    if (server && QTest::currentTestFailed())
        qWarning().noquote() << server->StandardError();
    server.reset();
}

bool QuickConnectionTest::StartServer()
{
    server = std::make_unique<PyFtpdServer>();
    pub = server->RootPath() + QStringLiteral("/pub");
    QDir().mkpath(pub);
    return server->Start();
}

bool QuickConnectionTest::OpenServer(const QString &folder)
{
    return StartServer()
        && owner->connection.Open(server->Host(), QStringLiteral("anonymous"), server->Port(), true, folder,
                                  QStringLiteral("guest"));
}

// ---------------------------------------------------------------------------
// ReportProgress

void QuickConnectionTest::reportProgress_data()
{
    QTest::addColumn<qint64>("total");
    QTest::addColumn<QList<Step>>("steps");
    QTest::addColumn<QList<Report>>("reports");

    // 2048 ÷ 1000 rounded up, times 1000.
    QTest::newRow("2048 bytes in one block after a second") << qint64(2048) << QList<Step>{{1000, 2048}}
                                                            << QList<Report>{{2048, 0, 3000}};
    QTest::newRow("1500 bytes in a second") << qint64(1500) << QList<Step>{{1000, 1500}}
                                            << QList<Report>{{1500, 0, 2000}};
    QTest::newRow("under a second: once, at the end")
        << qint64(3000) << QList<Step>{{400, 1000}, {900, 1000}, {950, 1000}} << QList<Report>{{3000, 0, 4000}};
    QTest::newRow("at most once a second")
        << qint64(10000)
        << QList<Step>{{600, 1000}, {1200, 1000}, {1800, 1000}, {2400, 1000}, {3000, 1000},
                       {3600, 1000}, {4200, 1000}, {4800, 1000}, {5400, 1000}, {6000, 1000}}
        << QList<Report>{{2000, 8000, 2000}, {4000, 6000, 2000}, {6000, 4000, 2000}, {8000, 2000, 2000}, {10000, 0, 2000}};
    QTest::newRow("exactly a second is not more")
        << qint64(5000) << QList<Step>{{1000, 1000}, {2001, 1000}, {2500, 3000}}
        << QList<Report>{{2000, 3000, 1000}, {5000, 0, 2000}};
    QTest::newRow("end within 10 ms counts as 10 ms") << qint64(5000) << QList<Step>{{3, 5000}}
                                                      << QList<Report>{{5000, 0, 500000}};
    QTest::newRow("end at the start") << qint64(100) << QList<Step>{{0, 100}} << QList<Report>{{100, 0, 10000}};
    QTest::newRow("done never passes the total") << qint64(1000) << QList<Step>{{100, 800}, {200, 800}}
                                                 << QList<Report>{{1000, 0, 5000}};
    QTest::newRow("longer than the size given: the end counts once")
        << qint64(1000) << QList<Step>{{100, 800}, {200, 800}, {300, 800}, {1300, 800}}
        << QList<Report>{{1000, 0, 5000}, {1000, 0, 1000}};
    QTest::newRow("over 4 GiB")
        << qint64(6442450944) << QList<Step>{{1500, 3221225472}, {3000, 3221225472}}
        << QList<Report>{{3221225472, 3221225472, 2147484000}, {6442450944, 0, 2147484000}};
}

void QuickConnectionTest::reportProgress()
{
    QFETCH(qint64, total);
    QFETCH(QList<Step>, steps);
    QFETCH(QList<Report>, reports);

    qint64 now = 0;
    TBTFTPConnection &connection = owner->connection;
    connection.SetTickSource([&now] { return now; });
    owner->RecordProgress();
    connection.StartProgress(total);
    for (const Step &step : steps) {
        now = step.tick;
        connection.SetLastBlockSize(step.bytes);
        connection.ReportProgress(total, QStringLiteral("/local/a.bin"), QStringLiteral("a.bin"));
    }
    QList<Report> seen;
    for (const ProgressRecord &record : std::as_const(owner->progress)) {
        seen.append({record.done, record.toBeDone, record.speed});
        QCOMPARE(record.total, total);
        QCOMPARE(record.remote, QStringLiteral("a.bin"));
        QCOMPARE(record.local, QStringLiteral("/local/a.bin"));
    }
    QCOMPARE(seen, reports);
    QVERIFY(owner->senderIsConnection);
    QVERIFY(owner->infos.isEmpty());
    QCOMPARE(connection.RemainingBytes(), reports.last().remaining);
    QCOMPARE(connection.BytesPerSecond(), reports.last().speed);
}

void QuickConnectionTest::progressMessage_data()
{
    QTest::addColumn<qint64>("total");
    QTest::addColumn<qint64>("tick");
    QTest::addColumn<qint64>("bytes");
    QTest::addColumn<QString>("message");  // empty: none

    QTest::newRow("2048 bytes after a second") << qint64(2048) << qint64(1000) << qint64(2048)
                                               << "100% à 2,9 kb/sec. (temps restant: 00:00:00)";
    QTest::newRow("a third, remaining time rounded up")
        << qint64(10000000) << qint64(2000) << qint64(3000000) << "30% à 1464,8 kb/sec. (temps restant: 00:00:05)";
    QTest::newRow("a whole number of kb") << qint64(1024000) << qint64(1000) << qint64(1024000)
                                          << "100% à 1000 kb/sec. (temps restant: 00:00:00)";
    QTest::newRow("an hour and more left")
        << qint64(4000000) << qint64(1001) << qint64(1000) << "1% à 1 kb/sec. (temps restant: 01:06:39)";
    QTest::newRow("nothing to move: no message") << qint64(0) << qint64(1000) << qint64(0) << "";
}

void QuickConnectionTest::progressMessage()
{
    QFETCH(qint64, total);
    QFETCH(qint64, tick);
    QFETCH(qint64, bytes);
    QFETCH(QString, message);

    qint64 now = 0;
    TBTFTPConnection &connection = owner->connection;
    connection.SetTickSource([&now] { return now; });
    connection.StartProgress(total);
    now = tick;
    connection.SetLastBlockSize(bytes);
    connection.ReportProgress(total, QStringLiteral("/local/a.bin"), QStringLiteral("a.bin"));
    QCOMPARE(owner->infos, message.isEmpty() ? QStringList() : QStringList{message});
}

// ---------------------------------------------------------------------------
// Against pyftpdlib

void QuickConnectionTest::open_data()
{
    QTest::addColumn<QString>("user");
    QTest::addColumn<QString>("password");
    QTest::addColumn<QString>("folder");
    QTest::addColumn<bool>("result");
    QTest::addColumn<bool>("connected");
    QTest::addColumn<QString>("reply");  // start of the last reply
    QTest::addColumn<QString>("current");

    const QString user = QString::fromLatin1(PyFtpdServer::DefaultUser);
    QTest::newRow("folder entered") << user << QString::fromLatin1(PyFtpdServer::DefaultPassword) << "pub" << true
                                    << true << "250" << "/pub";
    QTest::newRow("no folder") << user << QString::fromLatin1(PyFtpdServer::DefaultPassword) << "" << true << true
                               << "257" << "/";
    QTest::newRow("login refused") << user << "wrong" << "pub" << false << false << "530" << "";
    QTest::newRow("folder refused: the connection stays")
        << user << QString::fromLatin1(PyFtpdServer::DefaultPassword) << "missing" << false << true << "550" << "/";
}

void QuickConnectionTest::open()
{
    QFETCH(QString, user);
    QFETCH(QString, password);
    QFETCH(QString, folder);
    QFETCH(bool, result);
    QFETCH(bool, connected);
    QFETCH(QString, reply);
    QFETCH(QString, current);

    QVERIFY2(StartServer(), qPrintable(server->ErrorString()));
    TBTFTPConnection &connection = owner->connection;
    QCOMPARE(connection.Open(server->Host(), user, server->Port(), true, folder, password), result);
    QCOMPARE(connection.Connected(), connected);
    QString last;
    QVERIFY(connection.LastResponse(last));
    QVERIFY2(last.startsWith(reply), qPrintable(last));
    if (connected) {
        QString folderNow;
        QVERIFY(connection.Handle()->GetCurrentDirectory(folderNow));
        QCOMPARE(folderNow, current);
    }
    // The owner's routine shows the reply's last line as an error.
    QVERIFY(owner->ShowLastResponse(false));
    QCOMPARE(owner->errors.size(), 1);
    QCOMPARE(owner->errors.first(), last.trimmed().split(QStringLiteral("\r\n")).last());

    connection.Close();
    QVERIFY(!connection.Connected());
    QVERIFY(!connection.ChangeDirectory(QStringLiteral("pub")));
    QCOMPARE(connection.LastError(), TFtpError::Closed);
}

void QuickConnectionTest::download_data()
{
    QTest::addColumn<qint64>("tickStep");  // 0: the real clock
    QTest::addColumn<bool>("hook");

    QTest::newRow("real clock, hook") << qint64(0) << true;
    QTest::newRow("slow clock, hook") << qint64(150) << true;
    QTest::newRow("real clock, message") << qint64(0) << false;
}

void QuickConnectionTest::download()
{
    QFETCH(qint64, tickStep);
    QFETCH(bool, hook);

    QVERIFY2(OpenServer(), qPrintable(server->ErrorString()));
    const QByteArray bytes = Pattern(FiveMiB, 3);
    QVERIFY(WriteFile(pub + QStringLiteral("/big file.bin"), bytes));
    TBTFTPConnection &connection = owner->connection;
    owner->SetFTPOptions(doDisplayProgress);
    // The slow clock moves on by tickStep at each reading, so that the
    // download seems to last several seconds.
    qint64 now = 0;
    QElapsedTimer wall;
    wall.start();
    if (tickStep > 0)
        connection.SetTickSource([&now, tickStep] { return now += tickStep; });
    if (hook)
        owner->RecordProgress([&] { return tickStep > 0 ? now : wall.elapsed(); });

    const QString target = local->filePath(QStringLiteral("big file.bin"));
    QElapsedTimer clock;
    clock.start();
    QVERIFY2(connection.Download(QStringLiteral("big file.bin"), target, FiveMiB), qPrintable(connection.LocalError()));
    const qint64 elapsed = clock.elapsed();
    QVERIFY(ReadFile(target) == bytes);
    QCOMPARE(QDir(local->path()).entryList(QDir::Files), QStringList{"big file.bin"});

    if (!hook) {
        // Without a hook, the message; the last one says it is all done.
        QVERIFY(!owner->infos.isEmpty());
        if (elapsed < 1000)
            QCOMPARE(owner->infos.size(), 1);
        QVERIFY2(QRegularExpression(QStringLiteral("^100% à \\d+(,\\d)? kb/sec\\. \\(temps restant: 00:00:00\\)$"))
                     .match(owner->infos.last()).hasMatch(),
                 qPrintable(owner->infos.last()));
        return;
    }
    const QList<ProgressRecord> &reports = owner->progress;
    QVERIFY(!reports.isEmpty());
    QCOMPARE(reports.last().done, FiveMiB);
    QCOMPARE(reports.last().toBeDone, qint64(0));
    for (qsizetype i = 0; i < reports.size(); ++i) {
        QVERIFY(reports.at(i).onMainThread);
        QCOMPARE(reports.at(i).total, FiveMiB);
        QCOMPARE(reports.at(i).done + reports.at(i).toBeDone, FiveMiB);
        if (i > 0) {
            QVERIFY(reports.at(i).done > reports.at(i - 1).done);
            // At most once a second, but for the final report.
            if (i < reports.size() - 1)
                QVERIFY2(reports.at(i).tick - reports.at(i - 1).tick > 1000,
                         qPrintable(QStringLiteral("%1 -> %2").arg(reports.at(i - 1).tick).arg(reports.at(i).tick)));
        }
    }
    if (tickStep > 0)
        QVERIFY2(reports.size() >= 3, qPrintable(QString::number(reports.size())));
    else if (elapsed < 1000)
        QCOMPARE(reports.size(), 1);  // shorter than a second: only the final report
}

void QuickConnectionTest::zeroByteFiles()
{
    QVERIFY2(OpenServer(), qPrintable(server->ErrorString()));
    TBTFTPConnection &connection = owner->connection;
    owner->SetFTPOptions(doDisplayProgress);
    owner->RecordProgress();
    QVERIFY(WriteFile(pub + QStringLiteral("/empty.txt"), {}));
    const QString target = local->filePath(QStringLiteral("empty.txt"));
    QVERIFY(connection.Download(QStringLiteral("empty.txt"), target, 0));
    QVERIFY(QFileInfo(target).isFile());
    QCOMPARE(QFileInfo(target).size(), qint64(0));

    const QString source = local->filePath(QStringLiteral("nothing.txt"));
    QVERIFY(WriteFile(source, {}));
    QVERIFY(connection.UploadLocalFile(source));
    QVERIFY(QFileInfo(pub + QStringLiteral("/nothing.txt")).isFile());
    QCOMPARE(QFileInfo(pub + QStringLiteral("/nothing.txt")).size(), qint64(0));
    QVERIFY(owner->progress.isEmpty());
    QVERIFY(owner->infos.isEmpty());
}

void QuickConnectionTest::downloadFailureKeepsLocalFile()
{
    QVERIFY2(OpenServer(), qPrintable(server->ErrorString()));
    TBTFTPConnection &connection = owner->connection;
    const QString target = local->filePath(QStringLiteral("keep.txt"));
    QVERIFY(WriteFile(target, "old content"));
    QVERIFY(!connection.Download(QStringLiteral("missing.txt"), target, 10));
    QCOMPARE(ReadFile(target), QByteArray("old content"));
    QCOMPARE(QDir(local->path()).entryList(QDir::Files), QStringList{"keep.txt"});
    QString reply;
    QVERIFY(connection.LastResponse(reply));
    QVERIFY2(reply.startsWith(QLatin1String("550")), qPrintable(reply));
    QVERIFY(connection.LocalError().isEmpty());
}

void QuickConnectionTest::downloadCutOffByServer()
{
    ScriptedFtpServer scripted;
    QVERIFY(scripted.Start(FtpScript()
                               .send(QStringLiteral("220 ready"))
                               .expect(QStringLiteral("USER anonymous"), QStringLiteral("331 Password"))
                               .expect(QStringLiteral("PASS guest"), QStringLiteral("230 Logged in"))
                               .expect(QStringLiteral("PWD"), QStringLiteral("257 \"/\""))
                               .expectPasv()
                               .expect(QStringLiteral("TYPE I"), QStringLiteral("200 Binary"))
                               .expect(QStringLiteral("SIZE /cut.bin"), QStringLiteral("502 Not implemented"))
                               .expect(QStringLiteral("RETR /cut.bin"), QStringLiteral("150 Here it comes"))
                               .dataSend(Pattern(300000))
                               .send(QStringLiteral("426 Connection closed; transfer aborted."))
                               .expect(QStringLiteral("QUIT"), QStringLiteral("221 Bye"))
                               .closeConnection()));
    TBTFTPConnection &connection = owner->connection;
    connection.SetTransferType(ttBinary);
    const QString target = local->filePath(QStringLiteral("cut.bin"));
    QVERIFY(WriteFile(target, "previous copy"));
    bool opened = false, downloaded = true;
    QString reply;
    QVERIFY(RunOffThread([&] {
        opened = connection.Open(scripted.Host(), QStringLiteral("anonymous"), scripted.Port(), true, {},
                                 QStringLiteral("guest"));
        if (opened)
            downloaded = connection.Download(QStringLiteral("cut.bin"), target, 1000000);
        connection.LastResponse(reply);
        connection.Close();
    }));
    QVERIFY(opened);
    QVERIFY(!downloaded);
    QCOMPARE(reply, QStringLiteral("426 Connection closed; transfer aborted."));
    QCOMPARE(ReadFile(target), QByteArray("previous copy"));
    QCOMPARE(QDir(local->path()).entryList(QDir::Files), QStringList{"cut.bin"});
    QTRY_VERIFY2(scripted.Finished(), qPrintable(scripted.Status()));
    QCOMPARE(scripted.Mismatches(), QStringList());
}

void QuickConnectionTest::uploadFailsOnTheWay_data()
{
    QTest::addColumn<FtpScript>("script");
    QTest::addColumn<QString>("reply");  // the last reply, when the dialogue gets that far

    FtpScript stor;
    stor.send(QStringLiteral("220 ready"))
        .expect(QStringLiteral("USER anonymous"), QStringLiteral("331 Password"))
        .expect(QStringLiteral("PASS guest"), QStringLiteral("230 Logged in"))
        .expect(QStringLiteral("PWD"), QStringLiteral("257 \"/\""))
        .expectPasv()
        .expect(QStringLiteral("TYPE I"), QStringLiteral("200 Binary"))
        .expect(QStringLiteral("STOR /up.bin"), QStringLiteral("150 Send it"));
    QTest::newRow("data connection closed early")
        << FtpScript(stor).dataClose().send(QStringLiteral("426 Connection closed; transfer aborted.")) << QString();
    const QString quota = QStringLiteral("552 Requested file action aborted. Exceeded storage allocation.");
    QTest::newRow("final reply refuses the file")
        << FtpScript(stor).dataReceive().send(quota).expect(QStringLiteral("QUIT"), QStringLiteral("221 Bye")).closeConnection()
        << quota;
}

void QuickConnectionTest::uploadFailsOnTheWay()
{
    QFETCH(FtpScript, script);
    QFETCH(QString, reply);
    ScriptedFtpServer scripted;
    QVERIFY(scripted.Start(script));
    TBTFTPConnection &connection = owner->connection;
    connection.SetTransferType(ttBinary);
    const QString source = local->filePath(QStringLiteral("up.bin"));
    QVERIFY(WriteFile(source, Pattern(8 * 1024 * 1024)));
    bool opened = false, uploaded = true;
    QString last;
    QVERIFY(RunOffThread([&] {
        opened = connection.Open(scripted.Host(), QStringLiteral("anonymous"), scripted.Port(), true, {},
                                 QStringLiteral("guest"));
        if (opened)
            uploaded = connection.UploadLocalFile(source);
        connection.LastResponse(last);
        connection.Close();
    }));
    QVERIFY(opened);
    QVERIFY(!uploaded);
    QVERIFY(connection.LocalError().isEmpty());
    if (!reply.isEmpty()) {
        QCOMPARE(last, reply);
        QTRY_VERIFY2(scripted.Finished(), qPrintable(scripted.Status()));
        QCOMPARE(scripted.Mismatches(), QStringList());
        QCOMPARE(scripted.ReceivedData().value(0).size(), 8 * 1024 * 1024);
    }
}

void QuickConnectionTest::localFileFailures_data()
{
    QTest::addColumn<QString>("direction");
    QTest::addColumn<QString>("localPath");  // relative to the temporary folder unless absolute
    QTest::addColumn<QString>("message");    // start of the local error

    QTest::newRow("download into a missing folder") << "down" << "no/such/folder/a.txt"
                                                    << "Impossible de créer le fichier local";
    QTest::newRow("upload of a missing file") << "up" << "missing.txt" << "Impossible d'ouvrir le fichier local";
    // Opens, then fails on its first read.
    QTest::newRow("upload of an unreadable file") << "up" << "/proc/self/mem" << "Impossible de lire le fichier local";
}

void QuickConnectionTest::localFileFailures()
{
    QFETCH(QString, direction);
    QFETCH(QString, localPath);
    QFETCH(QString, message);

    QVERIFY2(OpenServer(), qPrintable(server->ErrorString()));
    TBTFTPConnection &connection = owner->connection;
    const QString path = localPath.startsWith(QLatin1Char('/')) ? localPath : local->filePath(localPath);
    const QString remoteName = QStringLiteral("a.txt");
    QVERIFY(WriteFile(pub + QLatin1Char('/') + remoteName, "remote content"));
    if (direction == QLatin1String("down"))
        QVERIFY(!connection.Download(remoteName, path, 14));
    else
        QVERIFY(!connection.Upload(path, remoteName));
    QVERIFY2(connection.LocalError().startsWith(message), qPrintable(connection.LocalError()));
    QVERIFY(connection.LocalError().contains(path));
    // The remote file of that name is not touched when the local side fails
    // before the transfer; a read failure during it may leave part of it.
    if (localPath != QLatin1String("/proc/self/mem"))
        QCOMPARE(ReadFile(pub + QLatin1Char('/') + remoteName), QByteArray("remote content"));
    // The connection goes on.
    QVERIFY(connection.ChangeDirectory(QStringLiteral("/")));
}

void QuickConnectionTest::transferType_data()
{
    QTest::addColumn<quint8>("type");
    QTest::addColumn<QString>("command");
    QTest::addColumn<QByteArray>("wire");  // what travels for the local text "a\nb\n"

    QTest::newRow("binary") << quint8(ttBinary) << "TYPE I" << QByteArray("a\nb\n");
    QTest::newRow("unknown moves bytes as binary") << quint8(ttUnknown) << "TYPE I" << QByteArray("a\nb\n");
    QTest::newRow("ascii: network line ends") << quint8(ttASCII) << "TYPE A" << QByteArray("a\r\nb\r\n");
}

void QuickConnectionTest::transferType()
{
    QFETCH(quint8, type);
    QFETCH(QString, command);
    QFETCH(QByteArray, wire);

    ScriptedFtpServer scripted;
    QVERIFY(scripted.Start(FtpScript()
                               .send(QStringLiteral("220 ready"))
                               .expect(QStringLiteral("USER anonymous"), QStringLiteral("331 Password"))
                               .expect(QStringLiteral("PASS guest"), QStringLiteral("230 Logged in"))
                               .expect(QStringLiteral("PWD"), QStringLiteral("257 \"/\""))
                               .expectPasv()
                               .expect(command, QStringLiteral("200 Type set"))
                               .expect(QStringLiteral("STOR /up.txt"), QStringLiteral("150 Send it"))
                               .dataReceive()
                               .send(QStringLiteral("226 Stored"))
                               .expect(QStringLiteral("QUIT"), QStringLiteral("221 Bye"))
                               .closeConnection()));
    TBTFTPConnection &connection = owner->connection;
    connection.SetTransferType(type);
    QCOMPARE(connection.TransferType(), type);
    const QString source = local->filePath(QStringLiteral("up.txt"));
    QVERIFY(WriteFile(source, "a\nb\n"));
    bool uploaded = false;
    QVERIFY(RunOffThread([&] {
        if (connection.Open(scripted.Host(), QStringLiteral("anonymous"), scripted.Port(), true, {}, QStringLiteral("guest")))
            uploaded = connection.UploadLocalFile(source);
        connection.Close();
    }));
    QVERIFY(uploaded);
    QTRY_VERIFY2(scripted.Finished(), qPrintable(scripted.Status()));
    QCOMPARE(scripted.Mismatches(), QStringList());
    QCOMPARE(scripted.ReceivedData(), QByteArrayList{wire});
}

void QuickConnectionTest::windowStaysResponsive()
{
    QVERIFY2(OpenServer(), qPrintable(server->ErrorString()));
    QVERIFY(WriteFile(pub + QStringLiteral("/big.bin"), Pattern(FiveMiB)));
    TBTFTPConnection &connection = owner->connection;
    owner->SetFTPOptions(doShowHourglass);
    const QString target = local->filePath(QStringLiteral("big.bin"));
    bool inside = false, ranInside = false, secondRefused = false, folderRefused = false;
    TFtpError secondError = TFtpError::None, folderError = TFtpError::None;
    // Runs as soon as the transfer processes events: a second transfer and a
    // folder change asked meanwhile are refused at once.
    QTimer::singleShot(0, [&] {
        ranInside = inside;
        secondRefused = !connection.Download(QStringLiteral("big.bin"), local->filePath(QStringLiteral("b2")), FiveMiB);
        secondError = connection.LastError();
        folderRefused = !connection.ChangeDirectory(QStringLiteral("/"));
        folderError = connection.LastError();
    });
    inside = true;
    QVERIFY(connection.Download(QStringLiteral("big.bin"), target, FiveMiB));
    inside = false;
    QVERIFY(ranInside);
    QVERIFY(secondRefused);
    QCOMPARE(secondError, TFtpError::TransferInProgress);
    QVERIFY(folderRefused);
    QCOMPARE(folderError, TFtpError::TransferInProgress);
    QVERIFY(!QFileInfo::exists(local->filePath(QStringLiteral("b2"))));
    QCOMPARE(QFileInfo(target).size(), FiveMiB);
    QCOMPARE(owner->hourglass, (QList<bool>{true, false}));
    // Free again once it is over.
    QVERIFY(connection.ChangeDirectory(QStringLiteral("/")));
}

void QuickConnectionTest::singleCalls()
{
    QVERIFY2(OpenServer(), qPrintable(server->ErrorString()));
    TBTFTPConnection &connection = owner->connection;
    QVERIFY(WriteFile(pub + QStringLiteral("/a.txt"), "a"));
    QString reply;

    QVERIFY(connection.CreateDirectory(QStringLiteral("docs")));
    QVERIFY(QFileInfo(pub + QStringLiteral("/docs")).isDir());
    QVERIFY(connection.ChangeDirectory(QStringLiteral("docs")));
    QVERIFY(connection.ChangeDirectory(QStringLiteral("..")));
    QVERIFY(connection.RenameFile(QStringLiteral("a.txt"), QStringLiteral("b.txt")));
    QVERIFY(QFileInfo::exists(pub + QStringLiteral("/b.txt")));
    QVERIFY(connection.DeleteFile(QStringLiteral("b.txt")));
    QVERIFY(!QFileInfo::exists(pub + QStringLiteral("/b.txt")));
    QVERIFY(connection.RemoveDirectory(QStringLiteral("docs")));
    QVERIFY(!QFileInfo::exists(pub + QStringLiteral("/docs")));

    QVERIFY(!connection.RemoveDirectory(QStringLiteral("docs")));
    QVERIFY(connection.LastResponse(reply) && reply.startsWith(QLatin1String("550")));
    QCOMPARE(connection.LastError(), TFtpError::ServerRefused);
    QVERIFY(!connection.ChangeDirectory(QStringLiteral("docs")));
    QVERIFY(connection.LastResponse(reply) && reply.startsWith(QLatin1String("550")));
    QString folder;
    QVERIFY(connection.Handle()->GetCurrentDirectory(folder));
    QCOMPARE(folder, QStringLiteral("/pub"));
}

QTEST_GUILESS_MAIN(QuickConnectionTest)
#include "tst_quickconnection.moc"
