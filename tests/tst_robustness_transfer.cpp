// Transfers that do not go as announced, against a scripted server: a
// download shorter than the server said, a data connection that never
// opened, list operations cut short, error texts that say what failed, the
// user's local file kept whatever goes wrong, and listing data that is
// hostile (zero bytes, no last line end, endless lines, endless listings).
#include "Ftp.h"
#include "FtpCache.h"
#include "FtpCacheTesting.h"
#include "FtpClientTesting.h"
#include "FtpData.h"
#include "FtpEventRecorder.h"
#include "FtpTransferTesting.h"
#include "ScriptedFtpServer.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QtTest>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace FtpTesting;

namespace {

constexpr int WaitMs = 5000;
constexpr int ShortTimeOut = 1; // seconds, the unit of TimeOut
constexpr int TimeOutWaitMs = 6000;

const QString Opening = QStringLiteral("150 Opening BINARY mode data connection for f.bin");
const QString Complete = QStringLiteral("226 Transfer complete");
// What a file that is not there reads as.
const QByteArray Absent = QByteArrayLiteral("<absent>");

QByteArray Bytes(qsizetype size, char seed)
{
    QByteArray bytes(size, Qt::Uninitialized);
    for (qsizetype i = 0; i < size; ++i)
        bytes[i] = char((i * 17 + seed) % 253);
    return bytes;
}

QByteArray Contents(const QString &path)
{
    QFile file(path);
    if (!file.exists())
        return Absent;
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArrayLiteral("<unreadable>");
}

bool Write(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}

QByteArray UnixLine(const QByteArray &name, char kind = '-')
{
    return (kind == 'd' ? "drwxr-xr-x" : "-rw-r--r--") + QByteArray("   1 ftp      ftp          100 Mar 14  2021 ")
        + name;
}

QStringList Names(const TVexFtpFileInfoList &list)
{
    QStringList names;
    for (int i = 0; i < list.Count(); ++i) {
        VexFtpFileInfo info;
        list.GetInfo(i, info);
        names << info.FileName;
    }
    return names;
}

} // namespace

class TstRobustnessTransfer : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void downloadShorterThanAnnounced_data();
    void downloadShorterThanAnnounced();
    void listingWithoutDataConnection();
    void listCutShort_data();
    void listCutShort();
    void errorTexts_data();
    void errorTexts();
    void localFileKept_data();
    void localFileKept();
    void downloadIntoPipe();
    void listingInput_data();
    void listingInput();
    void listingTooLong_data();
    void listingTooLong();
    void uploadSentWhole();

private:
    bool LogIn(const FtpScript &script, bool passive = true);
    QString Local(const QString &name) const { return QDir(scratch->path()).filePath(name); }
    // The files of the local folder, temporary ones included.
    QStringList LocalEntries() const
    {
        return QDir(scratch->path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    }

    std::unique_ptr<QTemporaryDir> scratch;
    std::unique_ptr<QTemporaryDir> cache;
    std::unique_ptr<ScriptedFtpServer> server;
    std::unique_ptr<TVexFtp> ftp;
    std::unique_ptr<FtpEventRecorder> rec;
};

void TstRobustnessTransfer::init()
{
    scratch = std::make_unique<QTemporaryDir>();
    cache = std::make_unique<QTemporaryDir>();
    QVERIFY(scratch->isValid() && cache->isValid());
    SetListCacheDirectoryForTesting(cache->path() + QLatin1Char('/'));
    server = std::make_unique<ScriptedFtpServer>();
    ftp = std::make_unique<TVexFtp>();
    rec = std::make_unique<FtpEventRecorder>(*ftp);
}

void TstRobustnessTransfer::cleanup()
{
    if (QTest::currentTestFailed())
        WarnAfterFailure(*rec, *server);
    SetListingLimitsForTesting(0, 0);
    SetListCacheDirectoryForTesting(QString());
    rec.reset();
    ftp.reset();
    server.reset();
    scratch.reset();
    cache.reset();
}

bool TstRobustnessTransfer::LogIn(const FtpScript &script, bool passive)
{
    return LogInScripted(*ftp, *server, *rec, script, passive, ShortTimeOut, WaitMs);
}

// ---------------------------------------------------------------------------
// Honest failures

void TstRobustnessTransfer::downloadShorterThanAnnounced_data()
{
    QTest::addColumn<QByteArray>("localBefore"); // Absent: no local file
    QTest::addColumn<QString>("answer");
    QTest::addColumn<bool>("ascii");
    QTest::addColumn<FtpScript>("script");
    QTest::addColumn<QString>("error");         // empty: none
    QTest::addColumn<QByteArray>("localAfter");

    const QByteArray remote = Bytes(1000, 'r');
    const QByteArray local = Bytes(2000, 'l');
    const FtpScript start = AnonymousLogin().expect("TYPE I", "200 ok");

    QTest::newRow("150 announces more than arrives")
        << Absent << QString() << false
        << FtpScript(start).expectPasv().expect("RETR f.bin", Opening + " (1000 bytes)").dataSend(remote.left(600)).send(Complete)
        << QStringLiteral("ftpeDataConnection(Transfert incomplet de « f.bin » : 600 octets reçus sur 1000 annoncés)")
        // What did arrive of a new file stays, so that it can be resumed.
        << remote.left(600);
    QTest::newRow("150 announces what arrives")
        << Absent << QString() << false
        << FtpScript(start).expectPasv().expect("RETR f.bin", Opening + " (1000 bytes)").dataSend(remote).send(Complete)
        << QString() << remote;
    QTest::newRow("resumed: SIZE says more than arrives")
        << remote.left(100) << FtpAnswer::Resume << false
        << FtpScript(start)
               .expect("SIZE f.bin", "213 1000")
               .expectPasv()
               .expect("REST 100", "350 Restarting at 100")
               .expect("RETR f.bin", Opening)
               .dataSend(remote.mid(100, 500))
               .send(Complete)
        << QStringLiteral("ftpeDataConnection(Transfert incomplet de « f.bin » : 600 octets reçus sur 1000 annoncés)")
        << remote.left(600);
    QTest::newRow("resumed: SIZE says what arrives")
        << remote.left(100) << FtpAnswer::Resume << false
        << FtpScript(start)
               .expect("SIZE f.bin", "213 1000")
               .expectPasv()
               .expect("REST 100", "350 Restarting at 100")
               .expect("RETR f.bin", Opening + " (1000 bytes)")
               .dataSend(remote.mid(100))
               .send(Complete)
        << QString() << remote;
    QTest::newRow("overwritten after SIZE: fewer bytes than SIZE said")
        << local << FtpAnswer::Resume << false
        << FtpScript(start)
               .expect("SIZE f.bin", "213 1000")
               .expectPasv()
               .expect("RETR f.bin", Opening)
               .dataSend(remote.left(400))
               .send(Complete)
        << QStringLiteral("ftpeDataConnection(Transfert incomplet de « f.bin » : 400 octets reçus sur 1000 annoncés)")
        << local;
    QTest::newRow("ASCII mode: sizes are not compared")
        << Absent << QString() << true
        << AnonymousLogin()
               .expect("TYPE A", "200 ok")
               .expectPasv()
               .expect("RETR f.bin", Opening + " (1000 bytes)")
               .dataSend(remote.left(600))
               .send(Complete)
        << QString() << remote.left(600);
}

void TstRobustnessTransfer::downloadShorterThanAnnounced()
{
    QFETCH(QByteArray, localBefore);
    QFETCH(QString, answer);
    QFETCH(bool, ascii);
    QFETCH(FtpScript, script);
    QFETCH(QString, error);
    QFETCH(QByteArray, localAfter);

    const QString local = Local(QStringLiteral("f.bin"));
    if (localBefore != Absent)
        QVERIFY(Write(local, localBefore));
    QVERIFY(LogIn(script));
    ftp->SetTransferMode(ascii ? AsciiTransfer : BinaryTransfer);
    rec->Answers[needFileExists] = answer;
    ftp->GetFile(QStringLiteral("f.bin"), local);
    QTRY_COMPARE_WITH_TIMEOUT(rec->Count(QStringLiteral("OnFileReceived")), 1, WaitMs);
    QCOMPARE(server->Mismatches(), QStringList());
    const QStringList events = rec->Events();
    QCOMPARE(rec->CountPrefix(QStringLiteral("ftpe")), error.isEmpty() ? 0 : 1);
    if (!error.isEmpty()) {
        // Said before the operation ends.
        QVERIFY(events.indexOf(error) >= 0);
        QVERIFY(events.indexOf(error) < events.indexOf(QStringLiteral("OnFtpReady")));
    }
    QCOMPARE(Contents(local), localAfter);
    QCOMPARE(LocalEntries(), QStringList{"f.bin"});
    QVERIFY(ftp->Connected());
}

// A listing whose data connection never opened is no empty folder: the
// server's 226 notwithstanding, it fails, and nothing is cached.
void TstRobustnessTransfer::listingWithoutDataConnection()
{
    QVERIFY(LogIn(AnonymousLogin().expect("TYPE A", "200 ok").expectPort().expect("LIST", Opening).send(Complete), false));
    ftp->ListDirectory();
    QTRY_COMPARE_WITH_TIMEOUT(rec->Count(QStringLiteral("OnFtpQuit")), 1, TimeOutWaitMs);
    QCOMPARE(rec->Errors(), QList<FtpError>{ftpeTimedOut});
    QCOMPARE(rec->Count(QStringLiteral("OnListingDone")), 0);
    QVERIFY(!QFile::exists(CacheFileName(server->Host(), QStringLiteral("anonymous"), QStringLiteral("/"), false,
                                         server->Port())));
}

void TstRobustnessTransfer::listCutShort_data()
{
    QTest::addColumn<QString>("operation");
    QTest::addColumn<bool>("ownerCloses"); // else the server closes
    QTest::addColumn<FtpScript>("script");
    QTest::addColumn<QString>("cutShort");

    const QByteArray first = Bytes(3000, '1');
    FtpScript get = AnonymousLogin()
                        .expect("TYPE I", "200 ok")
                        .expectPasv()
                        .expect("RETR 1.bin", Opening)
                        .dataSend(first)
                        .send(Complete)
                        .expectPasv()
                        .expect("RETR 2.bin", Opening)
                        .dataWrite(Bytes(1000, '2'))
                        .delay(300);
    QTest::newRow("GetFiles, the owner stops") << "get" << true << FtpScript(get).expectClose() << "2.bin";
    QTest::newRow("GetFiles, the server goes") << "get" << false << FtpScript(get).closeConnection() << "2.bin";
    FtpScript del = AnonymousLogin().expect("DELE a", "250 Deleted").expect("DELE b");
    QTest::newRow("DeleteFiles, the owner stops") << "delete" << true << FtpScript(del).expectClose() << "b";
    QTest::newRow("DeleteFiles, the server goes") << "delete" << false << FtpScript(del).closeConnection() << "b";
}

// A list operation cut short still ends with its completion event; the item
// it was on says first that it did not finish.
void TstRobustnessTransfer::listCutShort()
{
    QFETCH(QString, operation);
    QFETCH(bool, ownerCloses);
    QFETCH(FtpScript, script);
    QFETCH(QString, cutShort);

    QVERIFY(LogIn(script));
    const bool get = operation == QLatin1String("get");
    bool armed = false;
    if (ownerCloses) {
        // "Stop" during the second download's first block, or right after
        // the second deletion was asked.
        rec->After = [&, get](const QString &event) {
            if (event == (get ? QStringLiteral("ftpiCommand(RETR 2.bin\r\n)") : QStringLiteral("ftpiCommand(DELE b\r\n)")))
                armed = true;
            if (armed && (!get || event == QLatin1String("ftpiProgress()"))) {
                armed = false;
                QTimer::singleShot(0, ftp.get(), [this] { ftp->Close(); });
            }
        };
    }
    const QStringList locals{Local(QStringLiteral("1.bin")), Local(QStringLiteral("2.bin")), Local(QStringLiteral("3.bin"))};
    if (get)
        ftp->GetFiles({"1.bin", "2.bin", "3.bin"}, locals);
    else
        ftp->DeleteFiles({"a", "b", "c"});
    const QString completion = get ? QStringLiteral("OnFileReceived") : QStringLiteral("OnFileDeleted");
    QTRY_COMPARE_WITH_TIMEOUT(rec->Count(completion), 1, WaitMs);

    const QStringList events = rec->Events();
    const QString error = QStringLiteral("ftpeConnectionAborted(Interrompu avant la fin, connexion fermée : « %1 »)").arg(cutShort);
    QCOMPARE(rec->Errors(), QList<FtpError>{ftpeConnectionAborted});
    QVERIFY(events.indexOf(error) >= 0);
    QVERIFY(events.indexOf(error) < events.indexOf(completion));
    QCOMPARE(events.count(completion), 1);
    QVERIFY(!ftp->Connected());
    if (get) {
        QCOMPARE(Contents(locals[0]), Bytes(3000, '1'));
        QCOMPARE(Contents(locals[2]), Absent);
    }
}

// ---------------------------------------------------------------------------
// Every error says what failed

void TstRobustnessTransfer::errorTexts_data()
{
    QTest::addColumn<QString>("operation");
    QTest::addColumn<QString>("remote");
    QTest::addColumn<QString>("local"); // relative to the local folder, unless absolute
    QTest::addColumn<bool>("passive");
    QTest::addColumn<FtpScript>("script");
    QTest::addColumn<QString>("error");

    const FtpScript login = AnonymousLogin();
    const FtpScript binary = AnonymousLogin().expect("TYPE I", "200 ok");
    QTest::newRow("local file cannot be created")
        << "get" << "f.bin" << "missing/f.bin" << true << login
        << "ftpeLocalFileOpen(Impossible de créer le fichier local « %1 »)";
    QTest::newRow("local file to send is missing")
        << "put" << "f.bin" << "missing.bin" << true << login
        << "ftpeLocalFileOpen(Impossible d'ouvrir le fichier local « %1 »)";
    QTest::newRow("no remote name") << "get" << "" << "f.bin" << true << login
                                    << "ftpeBadRemoteName(Aucun nom de fichier distant n'a été donné)";
    QTest::newRow("no local name") << "get" << "f.bin" << "" << true << login
                                   << "ftpeLocalFileOpen(Aucun nom de fichier local n'a été donné)";
    QTest::newRow("remote name with a line break")
        << "put" << "a\r\nDELE b" << "up.bin" << true << login
        << "ftpeBadRemoteName(Nom refusé, il contient un saut de ligne : « a\r\nDELE b »)";
    QTest::newRow("TYPE refused") << "get" << "f.bin" << "f.bin" << true
                                  << AnonymousLogin().expect("TYPE I", "504 Type not implemented")
                                  << "ftpeCommandFailed(Commande « TYPE I » refusée pour « f.bin » : 504 Type not implemented)";
    QTest::newRow("PASV refused") << "get" << "f.bin" << "f.bin" << true
                                  << FtpScript(binary).expect("PASV", "502 No passive mode")
                                  << "ftpeCommandFailed(Commande « PASV » refusée pour « f.bin » : 502 No passive mode)";
    QTest::newRow("PASV reply without an address")
        << "get" << "f.bin" << "f.bin" << true << FtpScript(binary).expect("PASV", "227 Somewhere")
        << "ftpeCommandFailed(Réponse au mode passif inutilisable pour « f.bin » : 227 Somewhere)";
    QTest::newRow("PORT refused") << "get" << "f.bin" << "f.bin" << false
                                  << FtpScript(binary).expectPrefix("PORT ", "500 Illegal PORT command")
                                  << "ftpeCommandFailed(Commande « PORT » refusée pour « f.bin » : 500 Illegal PORT command)";
    const quint16 unused = ScriptedFtpServer::UnusedPort();
    QTest::newRow("data connection refused")
        << "get" << "f.bin" << "f.bin" << true
        << FtpScript(binary)
               .expect("PASV", QStringLiteral("227 Entering Passive Mode (127,0,0,1,%1,%2)").arg(unused >> 8).arg(unused & 0xff))
               .expect("RETR f.bin", Opening)
        << "ftpeDataConnection(Connexion de données impossible pour « f.bin »)";
    QTest::newRow("disk full")
        << "get" << "f.bin" << "/dev/full" << true
        << FtpScript(binary).expectPasv().expect("RETR f.bin", Opening).dataSend(Bytes(5000, 'f')).send(Complete)
        << "ftpeLocalFileWrite(Impossible d'écrire dans le fichier local « %1 » (disque plein ou erreur d'écriture))";
    QTest::newRow("login refused")
        << "login" << "" << "" << true
        << FtpScript().send(Welcome).expect("USER anonymous", "331 Password required").expectPrefix("PASS ", "530 Login incorrect.")
        << "ftpeLoginRefused(Identification refusée par le serveur : 530 Login incorrect.)";
    QTest::newRow("welcome refused") << "login" << "" << "" << true << FtpScript().send("421 Too many users")
                                     << "ftpeServerRefused(Le serveur a refusé la connexion : 421 Too many users)";
    QTest::newRow("PWD refused at login")
        << "login" << "" << "" << true
        << FtpScript()
               .send(Welcome)
               .expect("USER anonymous", "230 ok")
               .expect("SYST", "215 UNIX")
               .expect("TYPE I", "200 ok")
               .expect("REST 100", "350 ok")
               .expect("REST 0", "350 ok")
               .expect("PWD", "550 No current directory")
        << "ftpeCommandFailed(Commande « PWD » refusée : 550 No current directory)";
    QTest::newRow("no server") << "noserver" << "" << "" << true << FtpScript()
                               << "ftpeNoServer(Aucun serveur n'a été indiqué)";
}

void TstRobustnessTransfer::errorTexts()
{
    QFETCH(QString, operation);
    QFETCH(QString, remote);
    QFETCH(QString, local);
    QFETCH(bool, passive);
    QFETCH(FtpScript, script);
    QFETCH(QString, error);

    const QString localPath = local.isEmpty() || local.startsWith(QLatin1Char('/')) ? local : Local(local);
    if (operation == QLatin1String("put") && local == QLatin1String("up.bin"))
        QVERIFY(Write(localPath, "up"));
    if (localPath == QLatin1String("/dev/full"))
        rec->Answers[needFileExists] = FtpAnswer::Overwrite;
    if (operation == QLatin1String("login") || operation == QLatin1String("noserver")) {
        QVERIFY(server->Start(script));
        PointAt(*ftp, *server);
        if (operation == QLatin1String("noserver"))
            ftp->SetServer(QString::fromLatin1("  "));
        ftp->Login();
        QTRY_COMPARE_WITH_TIMEOUT(rec->Count(QStringLiteral("OnFtpReady")), 1, WaitMs);
    } else {
        QVERIFY(LogIn(script, passive));
        if (operation == QLatin1String("get"))
            ftp->GetFile(remote, localPath);
        else
            ftp->PutFile(localPath, remote);
        QTRY_COMPARE_WITH_TIMEOUT(rec->Count(QStringLiteral("OnFtpReady")), 1, WaitMs);
    }
    const QString expected = error.contains(QLatin1String("%1")) ? error.arg(localPath) : error;
    QCOMPARE(rec->Events().filter(QRegularExpression(QStringLiteral("^ftpe"))), QStringList{expected});
}

// ---------------------------------------------------------------------------
// The local file

void TstRobustnessTransfer::localFileKept_data()
{
    QTest::addColumn<bool>("existed");
    QTest::addColumn<QString>("answer");
    QTest::addColumn<FtpScript>("script");
    QTest::addColumn<bool>("succeeds"); // received without an error
    QTest::addColumn<QByteArray>("after"); // Absent: no file; empty: the original

    const QByteArray fresh = Bytes(70000, 'n');
    const FtpScript retr = AnonymousLogin().expect("TYPE I", "200 ok").expectPasv().expect("RETR f.bin", Opening + " (70000 bytes)");
    const FtpScript refused =
        AnonymousLogin().expect("TYPE I", "200 ok").expectPasv().expect("RETR f.bin", "550 f.bin: No such file");
    for (const bool existed : {true, false}) {
        const char *target = existed ? "over an existing file" : "into a new file";
        QTest::addRow("success, %s", target) << existed << FtpAnswer::Overwrite
                                             << FtpScript(retr).dataSend(fresh).send(Complete) << true << fresh;
        QTest::addRow("RETR refused, %s", target) << existed << FtpAnswer::Overwrite << refused << false
                                                  << (existed ? QByteArray() : Absent);
        QTest::addRow("connection lost, %s", target)
            << existed << FtpAnswer::Overwrite << FtpScript(retr).dataWrite(fresh.left(30000)).delay(200).closeConnection()
            << false << (existed ? QByteArray() : fresh.left(30000));
        QTest::addRow("time-out, %s", target) << existed << FtpAnswer::Overwrite
                                              << FtpScript(retr).dataWrite(fresh.left(30000)) << false
                                              << (existed ? QByteArray() : fresh.left(30000));
        QTest::addRow("fewer bytes than announced, %s", target)
            << existed << FtpAnswer::Overwrite << FtpScript(retr).dataSend(fresh.left(30000)).send(Complete) << false
            << (existed ? QByteArray() : fresh.left(30000));
    }
    QTest::newRow("resumed: appended to the file")
        << true << FtpAnswer::Resume
        << AnonymousLogin()
               .expect("TYPE I", "200 ok")
               .expect("SIZE f.bin", "213 70010")
               .expectPasv()
               .expect("REST 10", "350 Restarting at 10")
               .expect("RETR f.bin", Opening)
               .dataSend(fresh)
               .send(Complete)
        << true << QByteArray("original..") + fresh;
}

// A download replaces the local file only once it has succeeded, and then
// keeps its permissions; a failure leaves it as it was.
void TstRobustnessTransfer::localFileKept()
{
    QFETCH(bool, existed);
    QFETCH(QString, answer);
    QFETCH(FtpScript, script);
    QFETCH(bool, succeeds);
    QFETCH(QByteArray, after);

    const QString local = Local(QStringLiteral("f.bin"));
    const QByteArray original("original..");
    if (existed) {
        QVERIFY(Write(local, original));
        QVERIFY(::chmod(QFile::encodeName(local).constData(), 0640) == 0);
    }
    QVERIFY(LogIn(script));
    rec->Answers[needFileExists] = answer;
    ftp->GetFile(QStringLiteral("f.bin"), local);
    QTRY_COMPARE_WITH_TIMEOUT(rec->Count(QStringLiteral("OnFtpReady")), 1, TimeOutWaitMs);
    QTRY_VERIFY_WITH_TIMEOUT(!ftp->Busy(), WaitMs);
    QCOMPARE(rec->Errors().isEmpty() && rec->Count(QStringLiteral("OnFileReceived")) == 1, succeeds);
    QCOMPARE(Contents(local), after.isEmpty() ? original : after);
    QCOMPARE(LocalEntries(), after == Absent ? QStringList() : QStringList{"f.bin"});
    if (existed) {
        struct stat info {};
        QCOMPARE(::stat(QFile::encodeName(local).constData(), &info), 0);
        QCOMPARE(info.st_mode & 0777, mode_t(0640));
    }
}

// A pipe (like a device) is written as it is, never replaced by a file.
void TstRobustnessTransfer::downloadIntoPipe()
{
    const QString pipe = Local(QStringLiteral("pipe"));
    QCOMPARE(::mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
    const int reader = ::open(QFile::encodeName(pipe).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    QVERIFY(reader >= 0);
    const QByteArray content = Bytes(20000, 'p');
    QVERIFY(LogIn(AnonymousLogin()
                      .expect("TYPE I", "200 ok")
                      .expectPasv()
                      .expect("RETR f.bin", Opening)
                      .dataSend(content)
                      .send(Complete)));
    rec->Answers[needFileExists] = FtpAnswer::Overwrite;
    ftp->GetFile(QStringLiteral("f.bin"), pipe);
    QTRY_COMPARE_WITH_TIMEOUT(rec->Count(QStringLiteral("OnFileReceived")), 1, WaitMs);
    QCOMPARE(rec->Errors(), QList<FtpError>());
    QByteArray read(content.size() + 1, '\0');
    const ssize_t n = ::read(reader, read.data(), size_t(read.size()));
    ::close(reader);
    QCOMPARE(read.left(n > 0 ? n : 0), content);
    struct stat info {};
    QCOMPARE(::lstat(QFile::encodeName(pipe).constData(), &info), 0);
    QVERIFY(S_ISFIFO(info.st_mode));
}

// ---------------------------------------------------------------------------
// Listing data

void TstRobustnessTransfer::listingInput_data()
{
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<QStringList>("files");
    QTest::addColumn<int>("lines");
    QTest::addColumn<int>("longestLine");

    QTest::newRow("a zero byte does not cut the read")
        << (UnixLine(QByteArray("a\0b", 3)) + "\r\n" + UnixLine("c.txt") + "\r\n")
        << QStringList{QString::fromLatin1("a\0b", 3), "c.txt"} << 2 << int(UnixLine("c.txt").size());
    QTest::newRow("last line without its line end")
        << (UnixLine("a.txt") + "\r\n" + UnixLine("b.txt")) << QStringList{"a.txt", "b.txt"} << 2
        << int(UnixLine("a.txt").size());
    QTest::newRow("last line ends with CR alone")
        << (UnixLine("a.txt") + "\r\n" + UnixLine("b.txt") + "\r") << QStringList{"a.txt", "b.txt"} << 2
        << int(UnixLine("a.txt").size());
    QTest::newRow("endless line is cut")
        << (QByteArray(200 * 1024, 'x') + "\r\n" + UnixLine("after.txt") + "\r\n") << QStringList{"after.txt"} << 5
        << 65536;
}

void TstRobustnessTransfer::listingInput()
{
    QFETCH(QByteArray, data);
    QFETCH(QStringList, files);
    QFETCH(int, lines);
    QFETCH(int, longestLine);

    QVERIFY(LogIn(AnonymousLogin().expect("TYPE A", "200 ok").expectPasv().expect("LIST", Opening).dataSend(data).send(Complete)));
    ftp->SetServerType(ftpstUNIX);
    ftp->ListDirectory();
    QTRY_COMPARE_WITH_TIMEOUT(rec->Count(QStringLiteral("OnListingDone")), 1, WaitMs);
    QCOMPARE(rec->Errors(), QList<FtpError>());
    QCOMPARE(Names(ftp->Files()), files);
    QCOMPARE(ftp->ListingLines().size(), lines);
    qsizetype longest = 0;
    for (const QString &line : ftp->ListingLines())
        longest = qMax(longest, QByteArray(line.toUtf8()).size());
    QCOMPARE(longest, qsizetype(longestLine));
    QCOMPARE(ftp->BytesTransferred(), qint64(data.size()));
}

void TstRobustnessTransfer::listingTooLong_data()
{
    QTest::addColumn<int>("lineLimit");
    QTest::addColumn<int>("byteLimit");
    QTest::addColumn<QString>("finalReply");
    QTest::addColumn<int>("kept");

    QTest::newRow("too many lines, then 226") << 100 << 0 << Complete << 100;
    QTest::newRow("too many lines, then 426") << 100 << 0 << "426 Connection closed; transfer aborted" << 100;
    // 60 lines of about 66 bytes: the limit falls in the first 4096-byte read.
    QTest::newRow("too many bytes") << 0 << 3000 << Complete << 0;
}

// A listing stops at its limit with an error saying so; what came before it
// is shown, and nothing is cached.
void TstRobustnessTransfer::listingTooLong()
{
    QFETCH(int, lineLimit);
    QFETCH(int, byteLimit);
    QFETCH(QString, finalReply);
    QFETCH(int, kept);

    QByteArray data;
    for (int i = 0; i < 150; ++i)
        data += UnixLine(QByteArray("file") + QByteArray::number(i).rightJustified(4, '0')) + "\r\n";
    SetListingLimitsForTesting(lineLimit, byteLimit);
    // The final reply comes once the client has had the time to read.
    QVERIFY(LogIn(AnonymousLogin()
                      .expect("TYPE A", "200 ok")
                      .expectPasv()
                      .expect("LIST", Opening)
                      .dataSend(data)
                      .delay(300)
                      .send(finalReply)));
    ftp->SetServerType(ftpstUNIX);
    ftp->ListDirectory();
    QTRY_COMPARE_WITH_TIMEOUT(rec->Count(QStringLiteral("OnListingDone")), 1, WaitMs);
    QCOMPARE(rec->Events().filter(QRegularExpression(QStringLiteral("^ftpe"))),
             QStringList{QStringLiteral("ftpeDataConnection(Liste du dossier « / » trop longue, arrêtée après %1 lignes)").arg(kept)});
    QCOMPARE(ftp->Files().Count(), kept);
    QVERIFY(ftp->Connected());
    QVERIFY(!QFile::exists(CacheFileName(server->Host(), QStringLiteral("anonymous"), QStringLiteral("/"), false,
                                         server->Port())));
    // The connection goes on: the next command gets its own reply.
    QCOMPARE(ftp->LastReply(), finalReply);
}

// ---------------------------------------------------------------------------
// Upload

// Large enough for the socket to refuse part of many sends: whatever it did
// not take goes first next time, so the server gets the file byte for byte.
void TstRobustnessTransfer::uploadSentWhole()
{
    const QString local = Local(QStringLiteral("up.bin"));
    QByteArray content;
    for (int i = 0; i < 16; ++i)
        content += Bytes(1024 * 1024 + i, char('a' + i));
    QVERIFY(Write(local, content));
    QVERIFY(LogIn(AnonymousLogin()
                      .expect("TYPE I", "200 ok")
                      .expect("SIZE up.bin", "550 No such file")
                      .expectPasv()
                      .expect("STOR up.bin", Opening)
                      .dataReceive()
                      .send(Complete)));
    ftp->PutFile(local, QStringLiteral("up.bin"));
    QTRY_COMPARE_WITH_TIMEOUT(rec->Count(QStringLiteral("OnFileStored")), 1, 3 * WaitMs);
    QCOMPARE(rec->Errors(), QList<FtpError>());
    QCOMPARE(server->ReceivedData().size(), 1);
    QVERIFY(server->ReceivedData().first() == content);
    QCOMPARE(ftp->BytesTransferred(), qint64(content.size()));
}

QTEST_GUILESS_MAIN(TstRobustnessTransfer)
#include "tst_robustness_transfer.moc"
