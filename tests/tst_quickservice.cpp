// The quick explorer's FTP service layer (libcurl): current folder,
// listings, file operations, streamed transfers and the last reply against
// a real pyftpdlib server; cut-off transfers, stalls, reconnections and
// hostile replies against the scripted server.
#include "FtpService.h"
#include "PyFtpdServer.h"
#include "QuickTestKit.h"
#include "ScriptedFtpServer.h"

#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QtTest>

#include <atomic>
#include <memory>

using namespace QuickTestKit;

namespace {

const QString Welcome = QStringLiteral("220 Scripted FTP ready");

FtpScript Login()
{
    FtpScript script;
    script.send(Welcome)
        .expect(QStringLiteral("USER anonymous"), QStringLiteral("331 Send password"))
        .expect(QStringLiteral("PASS guest"), QStringLiteral("230 Logged in"))
        .expect(QStringLiteral("PWD"), QStringLiteral("257 \"/\" is the current directory"));
    return script;
}

TFtpEndpoint Scripted(const ScriptedFtpServer &server)
{
    return {server.Host(), server.Port(), QStringLiteral("anonymous"), QStringLiteral("guest"), true};
}

// Reads a whole remote file; false with the reason when it does not end well.
bool ReadWhole(TFtpFile &file, QByteArray &bytes, TFtpRead &last, qint64 block = 64 * 1024)
{
    QByteArray buffer(block, Qt::Uninitialized);
    for (;;) {
        qint64 count = 0;
        last = file.Read(buffer.data(), block, count, 1000);
        if (last == TFtpRead::Data)
            bytes.append(buffer.constData(), count);
        else if (last != TFtpRead::Waiting)
            return last == TFtpRead::End;
    }
}

bool WriteWhole(TFtpFile &file, const QByteArray &bytes, qint64 block = 100 * 1000)
{
    for (qint64 at = 0; at < bytes.size();) {
        qint64 accepted = 0;
        const TFtpWrite write = file.Write(bytes.constData() + at, std::min(block, bytes.size() - at), accepted, 1000);
        at += accepted;
        if (write == TFtpWrite::Failed)
            return false;
    }
    return true;
}

} // namespace

class QuickServiceTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();

    void paths_data();
    void paths();
    void findRecord_data();
    void findRecord();

    void currentFolder_data();
    void currentFolder();
    void listing();
    void fileOperations();
    void transfers_data();
    void transfers();
    void transferInProgress();
    void listingBound();
    void refusedLogin();
    void oneConnectionFromTwoThreads();

    void downloadCutOff_data();
    void downloadCutOff();
    void refusedUpload();
    void stalledDownload();
    void reconnectKeepsFolder();
    void longReplyIsBounded_data();
    void longReplyIsBounded();

private:
    std::unique_ptr<TFtpConnection> Connect(PyFtpdServer &server, bool passive = true,
                                            const QString &user = QStringLiteral("anonymous"),
                                            const QString &password = QStringLiteral("guest"));
    std::unique_ptr<TFtpSession> session;
};

void QuickServiceTest::initTestCase()
{
    session = TFtpSession::Open(QStringLiteral("velmar-test"));
    QVERIFY(session);
}

std::unique_ptr<TFtpConnection> QuickServiceTest::Connect(PyFtpdServer &server, bool passive, const QString &user,
                                                          const QString &password)
{
    return session->Connect({server.Host(), server.Port(), user, password, passive}, {5, 10, 10});
}

void QuickServiceTest::paths_data()
{
    QTest::addColumn<QString>("function");
    QTest::addColumn<QString>("first");
    QTest::addColumn<QString>("second");
    QTest::addColumn<QString>("expected");

    QTest::newRow("join at root") << "join" << "/" << "pub" << "/pub";
    QTest::newRow("join below") << "join" << "/pub" << "site" << "/pub/site";
    QTest::newRow("join parent") << "join" << "/pub/site" << ".." << "/pub/site/..";
    QTest::newRow("join absolute") << "join" << "/pub" << "/etc" << "/etc";
    QTest::newRow("normalize parent") << "normalize" << "/pub/site/.." << "" << "/pub";
    QTest::newRow("normalize above root") << "normalize" << "/../.." << "" << "/";
    QTest::newRow("normalize doubled") << "normalize" << "//pub/./a//" << "" << "/pub/a";
    QTest::newRow("pwd plain") << "pwd" << "257 \"/pub\" is current" << "" << "/pub";
    QTest::newRow("pwd quotes") << "pwd" << "257 \"/a \"\"b\"\"\" ok" << "" << "/a \"b\"";
    QTest::newRow("pwd unterminated") << "pwd" << "257 \"/pub" << "" << "";
    QTest::newRow("pwd refused") << "pwd" << "550 no" << "" << "";
    QTest::newRow("name slash") << "name" << "/pub/a.txt" << "" << "a.txt";
    QTest::newRow("name backslash") << "name" << "dir\\b.txt" << "" << "b.txt";
    QTest::newRow("name plain") << "name" << "c.txt" << "" << "c.txt";
}

void QuickServiceTest::paths()
{
    QFETCH(QString, function);
    QFETCH(QString, first);
    QFETCH(QString, second);
    QFETCH(QString, expected);
    QString result;
    if (function == QLatin1String("join"))
        result = JoinFtpPath(first, second);
    else if (function == QLatin1String("normalize"))
        result = NormalizeFtpPath(first);
    else if (function == QLatin1String("pwd"))
        result = FolderFromPwdReply(first);
    else
        result = FtpFileNamePart(first);
    QCOMPARE(result, expected);
}

void QuickServiceTest::findRecord_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<bool>("entry");
    QTest::addColumn<QString>("name");
    QTest::addColumn<quint32>("attributes");
    QTest::addColumn<qint64>("size");
    QTest::addColumn<QString>("linkTarget");
    QTest::addColumn<QDateTime>("time");

    const quint32 file = ftpaNormal, folder = ftpaDirectory;
    QTest::newRow("unix file") << "-rw-r--r--   1 ftp ftp     1234 Mar 14  2021 read me.txt" << true << "read me.txt"
                               << file << qint64(1234) << "" << QDateTime(QDate(2021, 3, 14), QTime(0, 0), Qt::UTC);
    QTest::newRow("unix folder") << "drwxr-xr-x   2 ftp ftp     4096 Jan  2  2020 img" << true << "img" << folder
                                 << qint64(4096) << "" << QDateTime(QDate(2020, 1, 2), QTime(0, 0), Qt::UTC);
    QTest::newRow("unix link") << "lrwxrwxrwx   1 ftp ftp        4 Jan  2  2020 cur -> /pub/site" << true << "cur"
                               << (folder | ftpaLink) << qint64(4) << "/pub/site"
                               << QDateTime(QDate(2020, 1, 2), QTime(0, 0), Qt::UTC);
    QTest::newRow("over 4 GiB") << "-rw-r--r--   1 ftp ftp 6442450944 Mar 14  2021 big.iso" << true << "big.iso"
                                << file << qint64(6442450944) << "" << QDateTime(QDate(2021, 3, 14), QTime(0, 0), Qt::UTC);
    QTest::newRow("dos file") << "12-24-03  10:23AM                 2048 notes.txt" << true << "notes.txt" << file
                              << qint64(2048) << "" << QDateTime(QDate(2003, 12, 24), QTime(10, 23), Qt::UTC);
    QTest::newRow("dos folder") << "12-24-03  10:23PM       <DIR>          docs" << true << "docs" << folder << qint64(0)
                                << "" << QDateTime(QDate(2003, 12, 24), QTime(22, 23), Qt::UTC);
    QTest::newRow("total") << "total 12" << false << "" << 0u << qint64(0) << "" << QDateTime();
    QTest::newRow("garbage") << "%%%% \x01" << false << "" << 0u << qint64(0) << "" << QDateTime();
}

void QuickServiceTest::findRecord()
{
    QFETCH(QString, line);
    QFETCH(bool, entry);
    TFtpFindRecord record;
    QCOMPARE(ParseFindRecord(line, record), entry);
    if (!entry)
        return;
    QFETCH(QString, name);
    QFETCH(quint32, attributes);
    QFETCH(qint64, size);
    QFETCH(QString, linkTarget);
    QFETCH(QDateTime, time);
    QCOMPARE(record.Name, name);
    QCOMPARE(record.Attributes, attributes);
    QCOMPARE(record.Size, size);
    QCOMPARE(record.LinkTarget, linkTarget);
    QCOMPARE(record.LastWriteTime, time);
}

void QuickServiceTest::currentFolder_data()
{
    QTest::addColumn<QStringList>("moves");     // each applied in turn
    QTest::addColumn<QList<bool>>("results");
    QTest::addColumn<QStringList>("folders");   // the folder after each move
    QTest::addColumn<QString>("reply");         // start of the last reply

    QTest::newRow("down, down, up") << QStringList{"pub", "site", ".."} << QList<bool>{true, true, true}
                                    << QStringList{"/pub", "/pub/site", "/pub"} << "2";
    QTest::newRow("absolute, root") << QStringList{"/pub/site", "/"} << QList<bool>{true, true}
                                    << QStringList{"/pub/site", "/"} << "2";
    QTest::newRow("above the root") << QStringList{".."} << QList<bool>{true} << QStringList{"/"} << "2";
    QTest::newRow("refused keeps the folder") << QStringList{"pub", "missing"} << QList<bool>{true, false}
                                              << QStringList{"/pub", "/pub"} << "550";
    QTest::newRow("a file is no folder") << QStringList{"pub", "file.txt"} << QList<bool>{true, false}
                                         << QStringList{"/pub", "/pub"} << "550";
    QTest::newRow("spaces and accents") << QStringList{"pub", "été 2024"} << QList<bool>{true, true}
                                        << QStringList{"/pub", "/pub/été 2024"} << "2";
}

void QuickServiceTest::currentFolder()
{
    QFETCH(QStringList, moves);
    QFETCH(QList<bool>, results);
    QFETCH(QStringList, folders);
    QFETCH(QString, reply);

    PyFtpdServer server;
    QVERIFY(QDir(server.RootPath()).mkpath(QStringLiteral("pub/site")));
    QVERIFY(QDir(server.RootPath()).mkpath(QStringLiteral("pub/été 2024")));
    QVERIFY(WriteFile(server.RootPath() + QStringLiteral("/pub/file.txt"), "x"));
    QVERIFY2(server.Start(), qPrintable(server.ErrorString()));
    auto ftp = Connect(server);
    QVERIFY2(ftp, qPrintable(session->ErrorText()));
    QString folder;
    QVERIFY(ftp->GetCurrentDirectory(folder));
    QCOMPARE(folder, QStringLiteral("/"));
    for (qsizetype i = 0; i < moves.size(); ++i) {
        QCOMPARE(ftp->SetCurrentDirectory(moves.at(i)), results.at(i));
        QVERIFY(ftp->GetCurrentDirectory(folder));
        QCOMPARE(folder, folders.at(i));
    }
    QString last;
    QVERIFY(ftp->LastResponse(last));
    QVERIFY2(last.startsWith(reply), qPrintable(last));
    QCOMPARE(ftp->SetCurrentDirectory(QString()), false);
    QCOMPARE(ftp->LastError(), TFtpError::InvalidName);
    QCOMPARE(ftp->SetCurrentDirectory(QStringLiteral("a\r\nDELE x")), false);
    QCOMPARE(ftp->LastError(), TFtpError::InvalidName);
}

void QuickServiceTest::listing()
{
    PyFtpdServer server;
    const QString pub = server.RootPath() + QStringLiteral("/pub");
    QVERIFY(QDir().mkpath(pub + QStringLiteral("/img")));
    QVERIFY(QDir().mkpath(pub + QStringLiteral("/empty")));
    QVERIFY(WriteFile(pub + QStringLiteral("/index.html"), Pattern(1600)));
    QVERIFY(WriteFile(pub + QStringLiteral("/né le 1.txt"), "abc"));
    QVERIFY(QFile::link(QStringLiteral("index.html"), pub + QStringLiteral("/home")));
    QVERIFY2(server.Start(), qPrintable(server.ErrorString()));
    auto ftp = Connect(server);
    QVERIFY(ftp);
    QVERIFY(ftp->SetCurrentDirectory(QStringLiteral("pub")));

    QMap<QString, TFtpFindRecord> found;
    TFtpFindRecord record;
    auto find = ftp->FindFirst(record);
    QVERIFY2(find, qPrintable(ftp->ErrorText()));
    do
        found.insert(record.Name, record);
    while (find->Next(record));
    QCOMPARE(find->LastError(), TFtpError::NoMoreFiles);
    QCOMPARE(found.keys(), (QStringList{"empty", "home", "img", "index.html", "né le 1.txt"}));
    QCOMPARE(found.value("index.html").Size, qint64(1600));
    QCOMPARE(found.value("index.html").Attributes, quint32(ftpaNormal));
    QVERIFY(found.value("img").Attributes & ftpaDirectory);
    QVERIFY(found.value("home").Attributes & ftpaLink);
    QCOMPARE(found.value("home").LinkTarget, QStringLiteral("index.html"));
    const QDateTime written = QFileInfo(pub + QStringLiteral("/index.html")).lastModified();
    QCOMPARE(found.value("index.html").LastWriteTime.date(), written.toUTC().date());

    // An empty folder gives no handle and says why.
    QVERIFY(ftp->SetCurrentDirectory(QStringLiteral("empty")));
    QVERIFY(!ftp->FindFirst(record));
    QCOMPARE(ftp->LastError(), TFtpError::NoMoreFiles);
}

void QuickServiceTest::fileOperations()
{
    PyFtpdServer server;
    const QString pub = server.RootPath() + QStringLiteral("/pub");
    QVERIFY(QDir().mkpath(pub));
    QVERIFY(WriteFile(pub + QStringLiteral("/old name.txt"), "data"));
    QVERIFY2(server.Start(), qPrintable(server.ErrorString()));
    auto ftp = Connect(server);
    QVERIFY(ftp);
    QVERIFY(ftp->SetCurrentDirectory(QStringLiteral("pub")));
    QString reply;

    QVERIFY(ftp->CreateDirectory(QStringLiteral("new folder")));
    QVERIFY(QFileInfo(pub + QStringLiteral("/new folder")).isDir());
    QVERIFY(!ftp->CreateDirectory(QStringLiteral("new folder")));
    QCOMPARE(ftp->LastError(), TFtpError::ServerRefused);
    QVERIFY(ftp->LastResponse(reply) && reply.startsWith(QLatin1String("550")));

    QVERIFY(ftp->RenameFile(QStringLiteral("old name.txt"), QStringLiteral("new name.txt")));
    QCOMPARE(ReadFile(pub + QStringLiteral("/new name.txt")), QByteArray("data"));
    QVERIFY(!QFileInfo::exists(pub + QStringLiteral("/old name.txt")));
    QVERIFY(!ftp->RenameFile(QStringLiteral("gone.txt"), QStringLiteral("x.txt")));
    QVERIFY(ftp->LastResponse(reply) && reply.startsWith(QLatin1String("550")));
    QVERIFY(!QFileInfo::exists(pub + QStringLiteral("/x.txt")));

    QVERIFY(ftp->DeleteFile(QStringLiteral("new name.txt")));
    QVERIFY(!QFileInfo::exists(pub + QStringLiteral("/new name.txt")));
    QVERIFY(!ftp->DeleteFile(QStringLiteral("new name.txt")));
    QVERIFY(ftp->LastResponse(reply) && reply.startsWith(QLatin1String("550")));

    QVERIFY(ftp->RemoveDirectory(QStringLiteral("new folder")));
    QVERIFY(!QFileInfo::exists(pub + QStringLiteral("/new folder")));
    QVERIFY(!ftp->RemoveDirectory(QStringLiteral("new folder")));
    QCOMPARE(ftp->LastError(), TFtpError::ServerRefused);

    // Commands never smuggle a second line to the server.
    QVERIFY(!ftp->DeleteFile(QStringLiteral("a\r\nRMD /pub")));
    QCOMPARE(ftp->LastError(), TFtpError::InvalidName);
    QVERIFY(QFileInfo(pub).isDir());

    // Refusals kept the control connection: still one session, still there.
    QVERIFY(ftp->CreateDirectory(QStringLiteral("again")));
    ftp->Close();
    QVERIFY(ftp->IsClosed());
    QVERIFY(!ftp->CreateDirectory(QStringLiteral("after")));
    QCOMPARE(ftp->LastError(), TFtpError::Closed);
}

void QuickServiceTest::transfers_data()
{
    QTest::addColumn<bool>("passive");
    QTest::addColumn<qint64>("size");
    QTest::addColumn<qint64>("block");  // the caller's block

    QTest::newRow("passive, 3 MB, small blocks") << true << qint64(3000000) << qint64(7000);
    QTest::newRow("passive, 3 MB, large blocks") << true << qint64(3000000) << qint64(1024 * 1024);
    QTest::newRow("active, 3 MB") << false << qint64(3000000) << qint64(64 * 1024);
    QTest::newRow("passive, empty") << true << qint64(0) << qint64(64 * 1024);
    QTest::newRow("active, empty") << false << qint64(0) << qint64(64 * 1024);
}

void QuickServiceTest::transfers()
{
    QFETCH(bool, passive);
    QFETCH(qint64, size);
    QFETCH(qint64, block);

    PyFtpdServer server;
    QVERIFY(QDir(server.RootPath()).mkpath(QStringLiteral("pub")));
    QVERIFY2(server.Start(), qPrintable(server.ErrorString()));
    auto ftp = Connect(server, passive);
    QVERIFY(ftp);
    QVERIFY(ftp->SetCurrentDirectory(QStringLiteral("pub")));

    const QByteArray bytes = Pattern(size, 7);
    auto out = ftp->OpenFile(QStringLiteral("copy.bin"), TFtpAccess::Write, TFtpTransferMode::Binary);
    QVERIFY2(out, qPrintable(ftp->ErrorText()));
    QVERIFY(WriteWhole(*out, bytes, block));
    QVERIFY(out->Close());
    QCOMPARE(ReadFile(server.RootPath() + QStringLiteral("/pub/copy.bin")), bytes);

    auto in = ftp->OpenFile(QStringLiteral("copy.bin"), TFtpAccess::Read, TFtpTransferMode::Binary);
    QVERIFY2(in, qPrintable(ftp->ErrorText()));
    QByteArray back;
    TFtpRead last;
    QVERIFY(ReadWhole(*in, back, last, block));
    QVERIFY(in->Close());
    QCOMPARE(back.size(), bytes.size());
    QVERIFY(back == bytes);
    QString reply;
    QVERIFY(ftp->LastResponse(reply) && reply.startsWith(QLatin1String("226")));

    // A missing file is refused before anything is transferred.
    QVERIFY(!ftp->OpenFile(QStringLiteral("missing.bin"), TFtpAccess::Read, TFtpTransferMode::Binary));
    QCOMPARE(ftp->LastError(), TFtpError::ServerRefused);
    QVERIFY(ftp->LastResponse(reply) && reply.startsWith(QLatin1String("550")));
}

void QuickServiceTest::transferInProgress()
{
    PyFtpdServer server;
    QVERIFY(WriteFile(server.RootPath() + QStringLiteral("/a.bin"), Pattern(2 * 1024 * 1024)));
    QVERIFY2(server.Start(), qPrintable(server.ErrorString()));
    auto ftp = Connect(server);
    QVERIFY(ftp);
    auto file = ftp->OpenFile(QStringLiteral("a.bin"), TFtpAccess::Read, TFtpTransferMode::Binary);
    QVERIFY(file);

    TFtpFindRecord record;
    QElapsedTimer clock;
    clock.start();
    QVERIFY(!ftp->SetCurrentDirectory(QStringLiteral("/")));
    QCOMPARE(ftp->LastError(), TFtpError::TransferInProgress);
    QVERIFY(!ftp->FindFirst(record));
    QCOMPARE(ftp->LastError(), TFtpError::TransferInProgress);
    QVERIFY(!ftp->OpenFile(QStringLiteral("a.bin"), TFtpAccess::Read, TFtpTransferMode::Binary));
    QCOMPARE(ftp->LastError(), TFtpError::TransferInProgress);
    QVERIFY(clock.elapsed() < 1000);

    // Left before its end: the file is given up, the connection carries on
    // (logged in again).
    char buffer[1000];
    qint64 count = 0;
    QCOMPARE(file->Read(buffer, sizeof buffer, count), TFtpRead::Data);
    QVERIFY(!file->Close());
    QVERIFY(ftp->SetCurrentDirectory(QStringLiteral("/")));
    QVERIFY(ftp->FindFirst(record));
    QCOMPARE(record.Name, QStringLiteral("a.bin"));
}

void QuickServiceTest::listingBound()
{
    PyFtpdServer server;
    for (int i = 0; i < 50; ++i)
        QVERIFY(WriteFile(server.RootPath() + QStringLiteral("/file-%1.txt").arg(i), "x"));
    QVERIFY2(server.Start(), qPrintable(server.ErrorString()));
    auto ftp = Connect(server);
    QVERIFY(ftp);
    ftp->SetListingLimits({1000, 200});
    TFtpFindRecord record;
    QVERIFY(!ftp->FindFirst(record));
    QCOMPARE(ftp->LastError(), TFtpError::TooLarge);
    ftp->SetListingLimits({});
    auto find = ftp->FindFirst(record);
    QVERIFY(find);
    int count = 1;
    while (find->Next(record))
        ++count;
    QCOMPARE(count, 50);
}

void QuickServiceTest::refusedLogin()
{
    PyFtpdServer server;
    QVERIFY2(server.Start(), qPrintable(server.ErrorString()));
    QVERIFY(!Connect(server, true, QString::fromLatin1(PyFtpdServer::DefaultUser), QStringLiteral("wrong")));
    QCOMPARE(session->LastError(), TFtpError::ConnectFailed);
    QString reply;
    QVERIFY(session->LastResponse(reply));
    QVERIFY2(reply.startsWith(QLatin1String("530")), qPrintable(reply));

    auto ftp = Connect(server, true, QString::fromLatin1(PyFtpdServer::DefaultUser),
                       QString::fromLatin1(PyFtpdServer::DefaultPassword));
    QVERIFY(ftp);
    QCOMPARE(session->LastError(), TFtpError::None);

    QVERIFY(!session->Connect({server.Host(), ScriptedFtpServer::UnusedPort(), "anonymous", "x", true}, {2, 2, 2}));
    QCOMPARE(session->LastError(), TFtpError::ConnectFailed);
}

void QuickServiceTest::oneConnectionFromTwoThreads()
{
    PyFtpdServer server;
    QVERIFY2(server.Start(), qPrintable(server.ErrorString()));
    auto ftp = Connect(server);
    QVERIFY(ftp);
    std::atomic<int> failures{0};
    const auto work = [&](const QString &prefix) {
        for (int i = 0; i < 15; ++i) {
            const QString name = QStringLiteral("/%1-%2").arg(prefix).arg(i);
            if (!ftp->CreateDirectory(name) || !ftp->RemoveDirectory(name) || !ftp->CreateDirectory(name))
                ++failures;
        }
    };
    std::unique_ptr<QThread> first(QThread::create(work, QStringLiteral("a")));
    std::unique_ptr<QThread> second(QThread::create(work, QStringLiteral("b")));
    first->start();
    second->start();
    QVERIFY(first->wait(30000));
    QVERIFY(second->wait(30000));
    QCOMPARE(failures.load(), 0);
    const QStringList made = QDir(server.RootPath()).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    QCOMPARE(made.size(), 30);
}

// ---------------------------------------------------------------------------
// Scripted server

void QuickServiceTest::downloadCutOff_data()
{
    QTest::addColumn<FtpScript>("script");
    QTest::addColumn<TFtpError>("error");

    const QByteArray part = Pattern(400);
    QTest::newRow("426 after part of the size announced")
        << FtpScript(Login())
               .expectPasv()
               .expect(QStringLiteral("TYPE I"), QStringLiteral("200 Type set"))
               .expect(QStringLiteral("SIZE /data.bin"), QStringLiteral("213 1000"))
               .expect(QStringLiteral("RETR /data.bin"), QStringLiteral("150 Opening"))
               .dataSend(part)
               .send(QStringLiteral("426 Connection closed; transfer aborted."))
               .expectClose()
        << TFtpError::TransferFailed;
    QTest::newRow("426 without a size")
        << FtpScript(Login())
               .expectPasv()
               .expect(QStringLiteral("TYPE I"), QStringLiteral("200 Type set"))
               .expect(QStringLiteral("SIZE /data.bin"), QStringLiteral("502 SIZE not implemented"))
               .expect(QStringLiteral("RETR /data.bin"), QStringLiteral("150 Opening"))
               .dataSend(part)
               .send(QStringLiteral("426 Connection closed; transfer aborted."))
               .expect(QStringLiteral("QUIT"), QStringLiteral("221 Bye"))
               .closeConnection()
        << TFtpError::TransferFailed;
    QTest::newRow("226 after part of the size announced")
        << FtpScript(Login())
               .expectPasv()
               .expect(QStringLiteral("TYPE I"), QStringLiteral("200 Type set"))
               .expect(QStringLiteral("SIZE /data.bin"), QStringLiteral("213 1000"))
               .expect(QStringLiteral("RETR /data.bin"), QStringLiteral("150 Opening"))
               .dataSend(part)
               .send(QStringLiteral("226 Transfer complete"))
               .expectClose()
        << TFtpError::TransferFailed;
    QTest::newRow("control connection lost")
        << FtpScript(Login())
               .expectPasv()
               .expect(QStringLiteral("TYPE I"), QStringLiteral("200 Type set"))
               .expect(QStringLiteral("SIZE /data.bin"), QStringLiteral("502 SIZE not implemented"))
               .expect(QStringLiteral("RETR /data.bin"), QStringLiteral("150 Opening"))
               .dataSend(part)
               .closeConnection()
        << TFtpError::TransferFailed;
}

void QuickServiceTest::downloadCutOff()
{
    QFETCH(FtpScript, script);
    QFETCH(TFtpError, error);
    ScriptedFtpServer server;
    QVERIFY(server.Start(script));
    QByteArray received;
    TFtpRead last = TFtpRead::Waiting;
    bool opened = false, complete = true, closed = true;
    TFtpError reported = TFtpError::None;
    QVERIFY(RunOffThread([&] {
        auto ftp = session->Connect(Scripted(server), {5, 5, 5});
        if (!ftp)
            return;
        auto file = ftp->OpenFile(QStringLiteral("data.bin"), TFtpAccess::Read, TFtpTransferMode::Binary);
        opened = file != nullptr;
        if (!file)
            return;
        complete = ReadWhole(*file, received, last);
        reported = ftp->LastError();
        closed = file->Close();
    }));
    QVERIFY(opened);
    QVERIFY(!complete);
    QVERIFY(!closed);
    QCOMPARE(last, TFtpRead::Failed);
    QCOMPARE(reported, error);
    QVERIFY(received.size() <= 400);
    QTRY_VERIFY2(server.Finished(), qPrintable(server.Status()));
    QCOMPARE(server.Mismatches(), QStringList());
}

void QuickServiceTest::refusedUpload()
{
    ScriptedFtpServer server;
    QVERIFY(server.Start(FtpScript(Login())
                             .expectPasv()
                             .expect(QStringLiteral("TYPE I"), QStringLiteral("200 Type set"))
                             .expect(QStringLiteral("STOR /up.bin"), QStringLiteral("553 Could not create file."))
                             .expect(QStringLiteral("QUIT"), QStringLiteral("221 Bye"))
                             .closeConnection()));
    bool opened = true;
    QString reply;
    TFtpError error = TFtpError::None;
    QVERIFY(RunOffThread([&] {
        auto ftp = session->Connect(Scripted(server), {5, 5, 5});
        if (!ftp)
            return;
        opened = ftp->OpenFile(QStringLiteral("up.bin"), TFtpAccess::Write, TFtpTransferMode::Binary) != nullptr;
        error = ftp->LastError();
        ftp->LastResponse(reply);
    }));
    QVERIFY(!opened);
    QCOMPARE(error, TFtpError::ServerRefused);
    QCOMPARE(reply, QStringLiteral("553 Could not create file."));
    QTRY_VERIFY2(server.Finished(), qPrintable(server.Status()));
    QCOMPARE(server.Mismatches(), QStringList());
}

void QuickServiceTest::stalledDownload()
{
    ScriptedFtpServer server;
    QVERIFY(server.Start(FtpScript(Login())
                             .expectPasv()
                             .expect(QStringLiteral("TYPE I"), QStringLiteral("200 Type set"))
                             .expect(QStringLiteral("SIZE /slow.bin"), QStringLiteral("213 1000"))
                             .expect(QStringLiteral("RETR /slow.bin"), QStringLiteral("150 Opening"))
                             .dataStall()));
    TFtpRead last = TFtpRead::Data;
    TFtpError error = TFtpError::None;
    qint64 elapsed = 0;
    QVERIFY(RunOffThread([&] {
        auto ftp = session->Connect(Scripted(server), {5, 5, 1});
        if (!ftp)
            return;
        auto file = ftp->OpenFile(QStringLiteral("slow.bin"), TFtpAccess::Read, TFtpTransferMode::Binary);
        if (!file)
            return;
        QElapsedTimer clock;
        clock.start();
        QByteArray bytes;
        ReadWhole(*file, bytes, last);
        elapsed = clock.elapsed();
        error = ftp->LastError();
    }));
    QCOMPARE(last, TFtpRead::Failed);
    QCOMPARE(error, TFtpError::TimedOut);
    QVERIFY2(elapsed < 5000, qPrintable(QString::number(elapsed)));
}

void QuickServiceTest::reconnectKeepsFolder()
{
    // The server drops the control connection after the folder change; the
    // next call logs in again and still names the file in that folder.
    ScriptedFtpServer server;
    QVERIFY(server.Start(QList<FtpScript>{
        FtpScript(Login())
            .expect(QStringLiteral("CWD /pub"), QStringLiteral("250 ok"))
            .expect(QStringLiteral("PWD"), QStringLiteral("257 \"/pub\""))
            .send(QStringLiteral("421 Timeout"))
            .closeConnection(),
        FtpScript(Login())
            .expect(QStringLiteral("DELE /pub/a.txt"), QStringLiteral("250 Deleted"))
            .expect(QStringLiteral("QUIT"), QStringLiteral("221 Bye"))
            .closeConnection()}));
    bool moved = false, deleted = false;
    QString folder;
    std::atomic<bool> dropped{false};
    connect(&server, &ScriptedFtpServer::ClientDisconnected, this, [&dropped] { dropped = true; });
    QVERIFY(RunOffThread([&] {
        auto ftp = session->Connect(Scripted(server), {5, 5, 5});
        if (!ftp)
            return;
        moved = ftp->SetCurrentDirectory(QStringLiteral("pub"));
        // Until the server has closed its side.
        for (QDeadlineTimer wait(5000); !dropped && !wait.hasExpired();)
            QThread::msleep(5);
        deleted = ftp->DeleteFile(QStringLiteral("a.txt"));
        ftp->GetCurrentDirectory(folder);
    }));
    QVERIFY(moved);
    QVERIFY(deleted);
    QCOMPARE(folder, QStringLiteral("/pub"));
    QTRY_VERIFY2(server.Finished(), qPrintable(server.Status()));
    QCOMPARE(server.Mismatches(), QStringList());
    QCOMPARE(server.ConnectionCount(), 2);
}

void QuickServiceTest::longReplyIsBounded_data()
{
    QTest::addColumn<int>("lines");
    QTest::addColumn<bool>("accepted");
    // Within what curl reads of one request's replies, the reply kept stops
    // at 64 KiB; beyond it, the call fails and the connection is dropped.
    QTest::newRow("140 kB") << 2000 << true;
    QTest::newRow("700 kB") << 10000 << false;
}

void QuickServiceTest::longReplyIsBounded()
{
    QFETCH(int, lines);
    QFETCH(bool, accepted);
    QString reply = QStringLiteral("250-start\r\n");
    for (int i = 0; i < lines; ++i)
        reply += QStringLiteral(" line %1 of a very long reply from a hostile server..........\r\n").arg(i, 5);
    reply += QStringLiteral("250 end");
    FtpScript script = FtpScript(Login()).expect(QStringLiteral("MKD /x"), reply);
    if (accepted)
        script.expect(QStringLiteral("QUIT"), QStringLiteral("221 Bye")).closeConnection();
    else
        script.expectClose();
    ScriptedFtpServer server;
    QVERIFY(server.Start(script));
    bool made = !accepted;
    QString kept;
    TFtpError error = TFtpError::None;
    QVERIFY(RunOffThread([&] {
        auto ftp = session->Connect(Scripted(server), {5, 5, 5});
        if (!ftp)
            return;
        made = ftp->CreateDirectory(QStringLiteral("x"));
        error = ftp->LastError();
        ftp->LastResponse(kept);
    }));
    QCOMPARE(made, accepted);
    if (accepted) {
        QVERIFY(kept.startsWith(QLatin1String("250-start")));
        QVERIFY2(kept.size() <= 64 * 1024 && kept.size() > 60 * 1024, qPrintable(QString::number(kept.size())));
    } else {
        QCOMPARE(error, TFtpError::TransferFailed);
    }
    QTRY_VERIFY2(server.Finished(), qPrintable(server.Status()));
    QCOMPARE(server.Mismatches(), QStringList());
}

QTEST_GUILESS_MAIN(QuickServiceTest)
#include "tst_quickservice.moc"
