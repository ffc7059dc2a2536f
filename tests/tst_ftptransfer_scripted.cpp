// Data connections, listings, downloads, uploads and list operations of
// TVexFtp against a scripted server: the replies that a real server would
// rarely give, the resume decisions, failures and lost connections.
#include "FtpCache.h"
#include "FtpEventRecorder.h"
#include "FtpTransferTestKit.h"
#include "ScriptedFtpServer.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

using namespace TransferTestKit;

namespace {

const QString Welcome = QStringLiteral("220 Scripted FTP ready");
const QString TypeI = QStringLiteral("TYPE I");
const QString TypeA = QStringLiteral("TYPE A");
const QString TypeOk = QStringLiteral("200 Type set");
const QString Opening = QStringLiteral("150 Opening data connection");
const QString Complete = QStringLiteral("226 Transfer complete");

const QString NothingToDoText = QStringLiteral("Désole, mais je n'ai rien à faire...");
const QString WillOverwriteText = QStringLiteral("Le téléchargement ne peut être repris, le fichier va être écrasé...");
const QString NoResumeText = QStringLiteral("Ce site ne permet pas reprendre les téléchargements incomplets");
const QString AccessDeniedText = QStringLiteral("Accès refusé ou fichier non trouvé");
const QString DownloadRestRefusedText = QStringLiteral("Impossible de reprendre le téléchargement du fichier");
const QString UploadRestRefusedText = QStringLiteral("Impossible de reprendre la transmission du fichier");

// The login dialogue of a client whose server type is preset (no SYST).
FtpScript Login(bool resume = true)
{
    FtpScript script;
    script.send(Welcome)
        .expect(QStringLiteral("USER anonymous"), QStringLiteral("331 Guest login ok, send your e-mail as password"))
        .expect(QStringLiteral("PASS ") + TVexFtp::DefaultGuestPassword(), QStringLiteral("230 Guest login ok"))
        .expect(QStringLiteral("TYPE I"), QStringLiteral("200 Type set to I"));
    if (resume)
        script.expect(QStringLiteral("REST 100"), QStringLiteral("350 Restarting at 100"))
            .expect(QStringLiteral("REST 0"), QStringLiteral("350 Restarting at 0"));
    else
        script.expect(QStringLiteral("REST 100"), QStringLiteral("502 REST not implemented"));
    return script.expect(QStringLiteral("PWD"), QStringLiteral("257 \"/\" is the current directory"));
}

FtpScript &Data(FtpScript &script, bool passive)
{
    return passive ? script.expectPasv() : script.expectPort();
}

const char *ModeName(bool passive)
{
    return passive ? "passive" : "active";
}

QByteArray UnixLine(char kind, const QByteArray &name, int size = 100)
{
    const QByteArray attributes = kind == 'd' ? "drwxr-xr-x" : "-rw-r--r--";
    return attributes + "   1 ftp      ftp      " + QByteArray::number(size).rightJustified(8, ' ') + " Mar 14  2021 " + name;
}

// The infos that tell a resume decision, as "code text".
QStringList ResumeInfos(const FtpEventRecorder &log)
{
    QStringList shown;
    for (const auto &[info, text] : log.Infos())
        if (info == ftpiNothingToDo || info == ftpiResumeUnavailable)
            shown.append(QStringLiteral("%1 %2").arg(int(info)).arg(text));
    return shown;
}

QString Info(FtpInfo info, const QString &text)
{
    return QStringLiteral("%1 %2").arg(int(info)).arg(text);
}

// Whether the sequence tag (as a whole entry) appears in order in trace.
bool InOrder(const QStringList &trace, const QStringList &tags)
{
    qsizetype at = 0;
    for (const QString &tag : tags) {
        at = trace.indexOf(tag, at);
        if (at < 0)
            return false;
        ++at;
    }
    return true;
}

} // namespace

class FtpTransferScriptedTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void transferSize_data();
    void transferSize();
    void downloadOverExistingFile_data();
    void downloadOverExistingFile();
    void uploadOverExistingFile_data();
    void uploadOverExistingFile();
    void sizeUnsupportedIsNotAskedAgain();
    void dataConnectionRefused();
    void pasvAddressIgnored_data();
    void pasvAddressIgnored();
    void pasvReplyUnusable_data();
    void pasvReplyUnusable();
    void portRefused();
    void serverConnectsBeforePortReply_data();
    void serverConnectsBeforePortReply();
    void failedListingShowsNoOtherFolder();
    void listingData_data();
    void listingData();
    void transferTypeRemembered();
    void lineBreakInArgument_data();
    void lineBreakInArgument();
    void bytesAndElapsedTime_data();
    void bytesAndElapsedTime();
    void localWriteFailure();
    void localReadFailure();
    void cachedListingKeepsClientBusy();
    void cachedListingNeedsBothFiles();
    void unequalListsDoNothing_data();
    void unequalListsDoNothing();
    void listOperationRefusedUntilReady();
    void getFilesWithSkippedItem();
    void transferCannotStartInsideList_data();
    void transferCannotStartInsideList();
    void controlLostDuringTransfer_data();
    void controlLostDuringTransfer();

private:
    // Starts the server with script and logs a client in; the log is then
    // cleared and loginCommands counts what the login sent.
    bool Start(const FtpScript &script, bool passive = true);
    QStringList CommandsAfterLogin() const;
    QString Local(const QString &name) const { return QDir(localDir->path()).filePath(name); }

    std::unique_ptr<QTemporaryDir> cacheDir;
    std::unique_ptr<QTemporaryDir> localDir;
    std::unique_ptr<ScriptedFtpServer> server;
    std::unique_ptr<TVexFtp> ftp;
    std::unique_ptr<FtpEventRecorder> log;
    qsizetype loginCommands = 0;
};

void FtpTransferScriptedTest::init()
{
    cacheDir = std::make_unique<QTemporaryDir>();
    localDir = std::make_unique<QTemporaryDir>();
    QVERIFY(cacheDir->isValid() && localDir->isValid());
    SetListCacheDirectoryForTesting(cacheDir->path() + QLatin1Char('/'));
    server = std::make_unique<ScriptedFtpServer>();
}

void FtpTransferScriptedTest::cleanup()
{
    if (QTest::currentTestFailed()) {
        if (log)
            qWarning().noquote() << "client events:" << log->Dump();
        if (server)
            qWarning().noquote() << server->Status();
    }
    log.reset();
    ftp.reset();
    server.reset();
    SetListCacheDirectoryForTesting(QString());
}

bool FtpTransferScriptedTest::Start(const FtpScript &script, bool passive)
{
    if (!server->Start(script))
        return false;
    ftp = std::make_unique<TVexFtp>();
    log = std::make_unique<FtpEventRecorder>(*ftp);
    Prepare(*ftp, server->Host(), server->Port(), passive);
    ftp->SetServerType(ftpstUNIX);
    if (!LogIn(*ftp, *log))
        return false;
    loginCommands = server->ReceivedCommands().size();
    log->Clear();
    return true;
}

QStringList FtpTransferScriptedTest::CommandsAfterLogin() const
{
    return server->ReceivedCommands().mid(loginCommands);
}

// ---------------------------------------------------------------------------

void FtpTransferScriptedTest::transferSize_data()
{
    QTest::addColumn<bool>("passive");
    QTest::addColumn<QString>("preliminary");
    QTest::addColumn<QStringList>("sizes");
    for (const bool passive : {true, false}) {
        QTest::addRow("size in parentheses, %s", ModeName(passive))
            << passive << QStringLiteral("150 Opening BINARY mode data connection for f.bin (12345 bytes).") << QStringList{"12345"};
        QTest::addRow("no parenthesis, %s", ModeName(passive))
            << passive << QStringLiteral("150 Opening BINARY mode data connection for f.bin") << QStringList();
    }
    QTest::newRow("last parenthesis counts") << true << QStringLiteral("150 Opening (binary) for f.bin (77 bytes)") << QStringList{"77"};
    QTest::newRow("no blank after the number") << true << QStringLiteral("150 Opening data connection (12345)") << QStringList();
    QTest::newRow("125 reply") << true << QStringLiteral("125 Data connection already open (9 bytes)") << QStringList{"9"};
}

void FtpTransferScriptedTest::transferSize()
{
    QFETCH(bool, passive);
    QFETCH(QString, preliminary);
    QFETCH(QStringList, sizes);
    FtpScript script = Login();
    script.expect(TypeI, TypeOk);
    Data(script, passive).expect(QStringLiteral("RETR f.bin"), preliminary).dataSend("0123456789").send(Complete);
    QVERIFY2(Start(script, passive), qPrintable(server->Status()));

    ftp->GetFile(QStringLiteral("f.bin"), Local(QStringLiteral("f.bin")));
    QTRY_COMPARE(log->Count(QStringLiteral("OnFileReceived")), 1);
    QCOMPARE(log->Texts(ftpiTransferSize), sizes);
    QCOMPARE(log->Notifications(), (QStringList{"OnFtpBusy", "OnFtpReady", "OnFileReceived"}));
    QCOMPARE(ReadFile(Local(QStringLiteral("f.bin"))), QByteArray("0123456789"));
    QVERIFY2(server->Finished(), qPrintable(server->Status()));
    QCOMPARE(server->Mismatches(), QStringList());
}

// ---------------------------------------------------------------------------

void FtpTransferScriptedTest::downloadOverExistingFile_data()
{
    QTest::addColumn<bool>("passive");
    QTest::addColumn<FtpScript>("script");
    QTest::addColumn<bool>("localExists");   // holding 100 bytes "L"
    QTest::addColumn<QByteArray>("expectedLocal");
    QTest::addColumn<QStringList>("resumeInfos");
    QTest::addColumn<QList<int>>("errors");
    QTest::addColumn<QStringList>("errorTexts");
    QTest::addColumn<QStringList>("notifications");
    QTest::addColumn<qint64>("bytes"); // -1: no transfer

    const QByteArray local(100, 'L');
    const QStringList skipped{"OnFtpBusy", "OnFtpReady"};
    const QStringList ended{"OnFtpBusy", "OnFtpReady", "OnFileReceived"};
    const auto start = [](bool resume = true) {
        FtpScript script = Login(resume);
        script.expect(TypeI, TypeOk);
        return script;
    };
    const auto sizeReply = [&](const QString &reply) {
        FtpScript script = start();
        script.expect(QStringLiteral("SIZE f.bin"), reply);
        return script;
    };

    QTest::newRow("SIZE equal: nothing to do, no data connection")
        << true << sizeReply(QStringLiteral("213 100")) << true << local << QStringList{Info(ftpiNothingToDo, NothingToDoText)}
        << QList<int>() << QStringList() << skipped << qint64(-1);
    QTest::newRow("SIZE not implemented: read as the local size, nothing to do")
        << true << sizeReply(QStringLiteral("502 SIZE not implemented")) << true << local
        << QStringList{Info(ftpiNothingToDo, NothingToDoText)} << QList<int>() << QStringList() << skipped << qint64(-1);
    QTest::newRow("server cannot restart: skipped")
        << true << start(false) << true << local << QStringList{Info(ftpiResumeUnavailable, NoResumeText)}
        << QList<int>() << QStringList() << skipped << qint64(-1);

    for (const bool passive : {true, false}) {
        FtpScript larger = sizeReply(QStringLiteral("213 150"));
        Data(larger, passive)
            .expect(QStringLiteral("REST 100"), QStringLiteral("350 Restarting at 100. Send STORE or RETRIEVE."))
            .expect(QStringLiteral("RETR f.bin"), Opening)
            .dataSend(QByteArray(50, 'N'))
            .send(Complete);
        QTest::addRow("SIZE larger: the 50 new bytes appended, %s", ModeName(passive))
            << passive << larger << true << local + QByteArray(50, 'N') << QStringList() << QList<int>() << QStringList()
            << ended << qint64(50);

        FtpScript smaller = sizeReply(QStringLiteral("213 40"));
        Data(smaller, passive).expect(QStringLiteral("RETR f.bin"), Opening).dataSend(QByteArray(40, 'N')).send(Complete);
        QTest::addRow("SIZE smaller: overwritten, %s", ModeName(passive))
            << passive << smaller << true << QByteArray(40, 'N') << QStringList{Info(ftpiResumeUnavailable, WillOverwriteText)}
            << QList<int>() << QStringList() << ended << qint64(40);

        FtpScript refused = sizeReply(QStringLiteral("550 Could not get file size"));
        Data(refused, passive).expect(QStringLiteral("RETR f.bin"), Opening).dataSend(QByteArray(30, 'N')).send(Complete);
        QTest::addRow("SIZE refused: fresh download, %s", ModeName(passive))
            << passive << refused << true << QByteArray(30, 'N') << QStringList() << QList<int>() << QStringList() << ended
            << qint64(30);

        FtpScript restRefused = sizeReply(QStringLiteral("213 150"));
        Data(restRefused, passive).expect(QStringLiteral("REST 100"), QStringLiteral("502 REST not implemented"));
        QTest::addRow("REST refused, %s", ModeName(passive))
            << passive << restRefused << true << local << QStringList() << QList<int>{ftpeResumeRefused}
            << QStringList{DownloadRestRefusedText} << ended << qint64(-1);

        FtpScript retrRefused = start();
        Data(retrRefused, passive).expect(QStringLiteral("RETR f.bin"), QStringLiteral("550 f.bin: No such file or directory"));
        // A new file that the server refuses leaves nothing behind.
        QTest::addRow("RETR refused, %s", ModeName(passive))
            << passive << retrRefused << false << QByteArray("<missing>") << QStringList() << QList<int>{ftpeAccessDenied}
            << QStringList{AccessDeniedText} << ended << qint64(-1);

        FtpScript failedAfterStart = start();
        Data(failedAfterStart, passive)
            .expect(QStringLiteral("RETR f.bin"), Opening)
            .dataStall()
            .send(QStringLiteral("426 Connection closed; transfer aborted"));
        QTest::addRow("failure reply after 150, %s", ModeName(passive))
            << passive << failedAfterStart << false << QByteArray("<missing>") << QStringList() << QList<int>{ftpeAccessDenied}
            << QStringList{AccessDeniedText} << ended << qint64(-1);
    }
}

void FtpTransferScriptedTest::downloadOverExistingFile()
{
    QFETCH(bool, passive);
    QFETCH(FtpScript, script);
    QFETCH(bool, localExists);
    QFETCH(QByteArray, expectedLocal);
    QFETCH(QStringList, resumeInfos);
    QFETCH(QList<int>, errors);
    QFETCH(QStringList, errorTexts);
    QFETCH(QStringList, notifications);
    QFETCH(qint64, bytes);

    const QString local = Local(QStringLiteral("f.bin"));
    if (localExists)
        QVERIFY(WriteFile(local, QByteArray(100, 'L')));
    QVERIFY2(Start(script, passive), qPrintable(server->Status()));
    log->FileExistsAnswers = QStringList{QStringLiteral("Resume")};

    ftp->GetFile(QStringLiteral("f.bin"), local);
    QTRY_VERIFY(log->Count(QStringLiteral("OnFtpReady")) == 1 && !ftp->Busy());
    QTRY_VERIFY2(server->Finished(), qPrintable(server->Status()));
    QCOMPARE(server->Mismatches(), QStringList());

    QCOMPARE(log->Notifications(), notifications);
    QCOMPARE(log->Count(QStringLiteral("needFileExists")), localExists ? 1 : 0);
    QCOMPARE(ResumeInfos(*log), resumeInfos);
    QCOMPARE(log->ErrorCodes(), errors);
    QCOMPARE(log->ErrorTexts(), errorTexts);
    QCOMPARE(ReadFile(local), expectedLocal);
    if (bytes >= 0)
        QCOMPARE(ftp->BytesTransferred(), bytes);
    // Only an item that goes on to a transfer opens a data connection.
    const bool dataConnection = !CommandsAfterLogin().filter(QRegularExpression(QStringLiteral("^(PASV|PORT)"))).isEmpty();
    QCOMPARE(dataConnection, notifications.size() == 3);
    QVERIFY(ftp->Connected());
}

// ---------------------------------------------------------------------------

void FtpTransferScriptedTest::uploadOverExistingFile_data()
{
    QTest::addColumn<bool>("passive");
    QTest::addColumn<FtpScript>("script");
    QTest::addColumn<QString>("answer");
    QTest::addColumn<QByteArrayList>("received");
    QTest::addColumn<QStringList>("resumeInfos");
    QTest::addColumn<QList<int>>("errors");
    QTest::addColumn<QStringList>("errorTexts");
    QTest::addColumn<QStringList>("notifications");
    QTest::addColumn<int>("questions");

    const QByteArray local = RandomBytes(100);
    const QStringList skipped{"OnFtpBusy", "OnFtpReady"};
    const QStringList ended{"OnFtpBusy", "OnFtpReady", "OnFileStored"};
    const auto sizeReply = [](const QString &reply) {
        FtpScript script = Login();
        script.expect(TypeI, TypeOk).expect(QStringLiteral("SIZE up.bin"), reply);
        return script;
    };
    const QString resume = QStringLiteral("Resume");

    QTest::newRow("remote equal, Resume: nothing to do")
        << true << sizeReply(QStringLiteral("213 100")) << resume << QByteArrayList() << QStringList{Info(ftpiNothingToDo, NothingToDoText)}
        << QList<int>() << QStringList() << skipped << 1;
    QTest::newRow("remote exists, skipped")
        << true << sizeReply(QStringLiteral("213 40")) << QStringLiteral("Non") << QByteArrayList() << QStringList() << QList<int>()
        << QStringList() << skipped << 1;

    for (const bool passive : {true, false}) {
        const char *mode = ModeName(passive);
        FtpScript missing = sizeReply(QStringLiteral("550 up.bin: No such file"));
        Data(missing, passive).expect(QStringLiteral("STOR up.bin"), Opening).dataReceive().send(Complete);
        QTest::addRow("remote missing: fresh upload, %s", mode)
            << passive << missing << resume << QByteArrayList{local} << QStringList() << QList<int>() << QStringList() << ended << 0;

        FtpScript shorter = sizeReply(QStringLiteral("213 40"));
        Data(shorter, passive)
            .expect(QStringLiteral("REST 40"), QStringLiteral("350 Restarting at 40"))
            .expect(QStringLiteral("STOR up.bin"), Opening)
            .dataReceive()
            .send(Complete);
        QTest::addRow("remote shorter, Resume: the rest sent, %s", mode)
            << passive << shorter << resume << QByteArrayList{local.mid(40)} << QStringList() << QList<int>() << QStringList()
            << ended << 1;

        FtpScript larger = sizeReply(QStringLiteral("213 150"));
        Data(larger, passive).expect(QStringLiteral("STOR up.bin"), Opening).dataReceive().send(Complete);
        QTest::addRow("remote larger, Resume: sent afresh, %s", mode)
            << passive << larger << resume << QByteArrayList{local} << QStringList{Info(ftpiResumeUnavailable, WillOverwriteText)}
            << QList<int>() << QStringList() << ended << 1;

        FtpScript overwrite = sizeReply(QStringLiteral("213 40"));
        Data(overwrite, passive).expect(QStringLiteral("STOR up.bin"), Opening).dataReceive().send(Complete);
        QTest::addRow("remote exists, Overwrite, %s", mode)
            << passive << overwrite << QStringLiteral("Overwrite") << QByteArrayList{local} << QStringList() << QList<int>()
            << QStringList() << ended << 1;

        FtpScript noSize = sizeReply(QStringLiteral("502 SIZE not implemented"));
        Data(noSize, passive).expect(QStringLiteral("STOR up.bin"), Opening).dataReceive().send(Complete);
        QTest::addRow("SIZE not implemented: fresh upload, %s", mode)
            << passive << noSize << resume << QByteArrayList{local} << QStringList() << QList<int>() << QStringList() << ended << 0;

        FtpScript restRefused = sizeReply(QStringLiteral("213 40"));
        Data(restRefused, passive).expect(QStringLiteral("REST 40"), QStringLiteral("502 REST not implemented"));
        QTest::addRow("REST refused, %s", mode)
            << passive << restRefused << resume << QByteArrayList() << QStringList() << QList<int>{ftpeResumeRefused}
            << QStringList{UploadRestRefusedText} << ended << 1;

        FtpScript noRestart = Login(false);
        noRestart.expect(TypeI, TypeOk);
        Data(noRestart, passive).expect(QStringLiteral("STOR up.bin"), Opening).dataReceive().send(Complete);
        QTest::addRow("server cannot restart: no SIZE, no question, %s", mode)
            << passive << noRestart << resume << QByteArrayList{local} << QStringList() << QList<int>() << QStringList() << ended << 0;

        FtpScript storRefused = sizeReply(QStringLiteral("550 up.bin: No such file"));
        Data(storRefused, passive).expect(QStringLiteral("STOR up.bin"), QStringLiteral("553 Permission denied"));
        QTest::addRow("STOR refused, %s", mode)
            << passive << storRefused << resume << QByteArrayList() << QStringList() << QList<int>{ftpeAccessDenied}
            << QStringList{AccessDeniedText} << ended << 0;
    }
}

void FtpTransferScriptedTest::uploadOverExistingFile()
{
    QFETCH(bool, passive);
    QFETCH(FtpScript, script);
    QFETCH(QString, answer);
    QFETCH(QByteArrayList, received);
    QFETCH(QStringList, resumeInfos);
    QFETCH(QList<int>, errors);
    QFETCH(QStringList, errorTexts);
    QFETCH(QStringList, notifications);
    QFETCH(int, questions);

    const QByteArray content = RandomBytes(100);
    const QString local = Local(QStringLiteral("up.bin"));
    QVERIFY(WriteFile(local, content));
    QVERIFY2(Start(script, passive), qPrintable(server->Status()));
    log->FileExistsAnswers = QStringList{answer};

    ftp->PutFile(local, QStringLiteral("up.bin"));
    QTRY_VERIFY(log->Count(QStringLiteral("OnFtpReady")) == 1 && !ftp->Busy());
    QTRY_VERIFY2(server->Finished(), qPrintable(server->Status()));
    QCOMPARE(server->Mismatches(), QStringList());

    QCOMPARE(log->Notifications(), notifications);
    QCOMPARE(log->Count(QStringLiteral("needFileExists")), questions);
    QCOMPARE(ResumeInfos(*log), resumeInfos);
    QCOMPARE(log->ErrorCodes(), errors);
    QCOMPARE(log->ErrorTexts(), errorTexts);
    QCOMPARE(server->ReceivedData(), received);
    if (!received.isEmpty()) {
        QCOMPARE(ftp->BytesTransferred(), qint64(received.constFirst().size()));
        QCOMPARE(log->Texts(ftpiTransferSize), QStringList{"100"});
    }
    QCOMPARE(ReadFile(local), content); // the local file is only read
    QVERIFY(ftp->Connected());
}

void FtpTransferScriptedTest::sizeUnsupportedIsNotAskedAgain()
{
    FtpScript script = Login();
    script.expect(TypeI, TypeOk)
        .expect(QStringLiteral("SIZE f.bin"), QStringLiteral("502 SIZE not implemented"))
        .expectPasv()
        .expect(QStringLiteral("STOR up.bin"), Opening)
        .dataReceive()
        .send(Complete);
    QVERIFY2(Start(script), qPrintable(server->Status()));
    QVERIFY(WriteFile(Local(QStringLiteral("f.bin")), QByteArray(100, 'L')));
    QVERIFY(WriteFile(Local(QStringLiteral("up.bin")), "abc"));
    log->FileExistsAnswers = QStringList{QStringLiteral("Resume"), QStringLiteral("Resume")};

    ftp->GetFile(QStringLiteral("f.bin"), Local(QStringLiteral("f.bin")));
    QTRY_COMPARE(log->Count(QStringLiteral("OnFtpReady")), 1);
    QTRY_VERIFY(!ftp->Busy());
    // The same connection again: the local size stands in for the answer.
    ftp->GetFile(QStringLiteral("f.bin"), Local(QStringLiteral("f.bin")));
    QTRY_COMPARE(log->Count(QStringLiteral("OnFtpReady")), 2);
    QTRY_VERIFY(!ftp->Busy());
    QCOMPARE(log->Texts(ftpiNothingToDo), (QStringList{NothingToDoText, NothingToDoText}));
    // An upload asks nothing either: it goes straight to STOR.
    ftp->PutFile(Local(QStringLiteral("up.bin")), QStringLiteral("up.bin"));
    QTRY_COMPARE(log->Count(QStringLiteral("OnFileStored")), 1);

    QTRY_VERIFY2(server->Finished(), qPrintable(server->Status()));
    QCOMPARE(server->Mismatches(), QStringList());
    QCOMPARE(CommandsAfterLogin().filter(QRegularExpression(QStringLiteral("^SIZE"))).size(), 1);
    QCOMPARE(server->ReceivedData(), QByteArrayList{"abc"});
    QCOMPARE(log->Count(QStringLiteral("needFileExists")), 2);
}

// ---------------------------------------------------------------------------

void FtpTransferScriptedTest::dataConnectionRefused()
{
    const quint16 nobody = ScriptedFtpServer::UnusedPort();
    QVERIFY(nobody != 0);
    FtpScript script = Login();
    script.expect(TypeA, TypeOk)
        .expectPasv(QStringLiteral("227 Entering Passive Mode (127,0,0,1,%1,%2).").arg(nobody / 256).arg(nobody % 256))
        .expect(QStringLiteral("LIST"))
        .expectClose();
    QVERIFY2(Start(script), qPrintable(server->Status()));

    ftp->ListDirectory();
    QTRY_VERIFY(log->Count(QStringLiteral("OnFtpReady")) == 1 && !ftp->Busy());
    QTRY_VERIFY2(server->Finished(), qPrintable(server->Status()));
    QCOMPARE(server->Mismatches(), QStringList());
    QCOMPARE(log->ErrorCodes(), QList<int>{ftpeDataConnection});
    QVERIFY(!ftp->Connected());
    QVERIFY(!ftp->LoggedIn());
    QCOMPARE(log->Texts(ftpiDisconnected), QStringList{QStringLiteral("Déconnecté")});
    QVERIFY(InOrder(log->Outcomes(), {"OnFtpBusy", "ftpeDataConnection", "OnFtpQuit", "OnFtpReady"}));
    QCOMPARE(log->Count(QStringLiteral("OnFtpReady")), 1);
}

void FtpTransferScriptedTest::pasvAddressIgnored_data()
{
    QTest::addColumn<QString>("named");
    // A second loopback address first: a client that took it would fail
    // (nothing listens there) without leaving the machine.
    QTest::newRow("another loopback address") << QStringLiteral("127,9,9,9");
    QTest::newRow("a private address") << QStringLiteral("10,1,2,3");
}

void FtpTransferScriptedTest::pasvAddressIgnored()
{
    QFETCH(QString, named);
    static bool loopbackRowPassed = false;
    const bool privateRow = !named.startsWith(QLatin1String("127,"));
    if (privateRow && !loopbackRowPassed)
        QSKIP("the loopback row failed: the client might contact the named address");

    FtpScript script = Login();
    script.expect(TypeA, TypeOk)
        .expectPasv(QStringLiteral("227 Entering Passive Mode (%1,{p1},{p2})").arg(named))
        .expect(QStringLiteral("LIST"), Opening)
        .dataSend(UnixLine('-', "readme.txt") + "\r\n")
        .send(Complete);
    QVERIFY2(Start(script), qPrintable(server->Status()));

    ftp->ListDirectory();
    QTRY_COMPARE(log->Count(QStringLiteral("OnListingDone")), 1);
    QVERIFY2(server->Finished(), qPrintable(server->Status()));
    QCOMPARE(server->Mismatches(), QStringList());
    QCOMPARE(log->Errors().size(), 0);
    QCOMPARE(Names(ftp->Files()), QSet<QString>{"readme.txt"});
    if (!privateRow)
        loopbackRowPassed = true;
}

void FtpTransferScriptedTest::pasvReplyUnusable_data()
{
    QTest::addColumn<QString>("reply");
    QTest::newRow("no parentheses") << QStringLiteral("227 Entering Passive Mode 127,0,0,1,{p1},{p2}");
    QTest::newRow("no closing parenthesis") << QStringLiteral("227 Entering Passive Mode (127,0,0,1,{p1},{p2}");
    QTest::newRow("five numbers") << QStringLiteral("227 Entering Passive Mode (127,0,0,1,{p1})");
    QTest::newRow("seven numbers") << QStringLiteral("227 Entering Passive Mode (127,0,0,1,{p1},{p2},7)");
    QTest::newRow("not numbers") << QStringLiteral("227 Entering Passive Mode (a,b,c,d,e,f)");
    QTest::newRow("number over 255") << QStringLiteral("227 Entering Passive Mode (127,0,0,1,256,{p2})");
    QTest::newRow("port 0") << QStringLiteral("227 Entering Passive Mode (127,0,0,1,0,0)");
    QTest::newRow("empty parentheses") << QStringLiteral("227 Entering Passive Mode ()");
    QTest::newRow("PASV refused") << QStringLiteral("502 PASV not implemented");
}

void FtpTransferScriptedTest::pasvReplyUnusable()
{
    QFETCH(QString, reply);
    FtpScript script = Login();
    script.expect(TypeI, TypeOk).expectPasv(reply);
    QVERIFY2(Start(script), qPrintable(server->Status()));

    ftp->GetFile(QStringLiteral("f.bin"), Local(QStringLiteral("f.bin")));
    QTRY_VERIFY(log->Count(QStringLiteral("OnFtpReady")) == 1 && !ftp->Busy());
    QVERIFY2(server->Finished(), qPrintable(server->Status()));
    QCOMPARE(server->Mismatches(), QStringList()); // no RETR was sent
    QCOMPARE(log->ErrorCodes(), QList<int>{ftpeCommandFailed});
    QCOMPARE(log->Notifications(), (QStringList{"OnFtpBusy", "OnFtpReady", "OnFileReceived"}));
    QVERIFY(ftp->Connected()); // only the item failed
}

void FtpTransferScriptedTest::portRefused()
{
    FtpScript script = Login();
    script.expect(TypeA, TypeOk).expectPort(QStringLiteral("500 Illegal PORT command"));
    QVERIFY2(Start(script, false), qPrintable(server->Status()));

    ftp->ListDirectory();
    QTRY_COMPARE(log->Count(QStringLiteral("OnListingDone")), 1);
    QVERIFY2(server->Finished(), qPrintable(server->Status()));
    QCOMPARE(server->Mismatches(), QStringList()); // no LIST was sent
    QCOMPARE(log->ErrorCodes(), QList<int>{ftpeCommandFailed});
    QCOMPARE(log->Notifications(), (QStringList{"OnFtpBusy", "OnFtpReady", "OnListingDone"}));
    QCOMPARE(log->CountInfo(ftpiListingStarted), 0);
    QVERIFY(ftp->Connected());
}

void FtpTransferScriptedTest::serverConnectsBeforePortReply_data()
{
    QTest::addColumn<QString>("operation");
    QTest::newRow("listing") << QStringLiteral("list");
    QTest::newRow("download") << QStringLiteral("get");
    QTest::newRow("upload") << QStringLiteral("put");
}

void FtpTransferScriptedTest::serverConnectsBeforePortReply()
{
    // Some servers connect back as soon as PORT arrives and only then reply
    // (pyftpdlib does): the connection is waiting before the client wires
    // its transfer. The blank line stands for a reply not yet given.
    QFETCH(QString, operation);
    const QByteArray listing = UnixLine('-', "a.txt") + "\r\n";
    FtpScript script = Login(false);
    const bool upload = operation == QLatin1String("put");
    script.expect(operation == QLatin1String("list") ? TypeA : TypeI, TypeOk)
        .expectPort(QString())
        .dataConnect()
        .delay(100)
        .send(QStringLiteral("200 Active data connection established"));
    if (operation == QLatin1String("list"))
        script.expect(QStringLiteral("LIST"), Opening).dataSend(listing).send(Complete);
    else if (upload)
        script.expect(QStringLiteral("STOR up.bin"), Opening).dataReceive().send(Complete);
    else
        script.expect(QStringLiteral("RETR f.bin"), Opening).dataSend("early").send(Complete);
    QVERIFY2(Start(script, false), qPrintable(server->Status()));

    QString completion;
    if (operation == QLatin1String("list")) {
        completion = QStringLiteral("OnListingDone");
        ftp->ListDirectory();
    } else if (upload) {
        completion = QStringLiteral("OnFileStored");
        QVERIFY(WriteFile(Local(QStringLiteral("up.bin")), "sent early"));
        ftp->PutFile(Local(QStringLiteral("up.bin")), QStringLiteral("up.bin"));
    } else {
        completion = QStringLiteral("OnFileReceived");
        ftp->GetFile(QStringLiteral("f.bin"), Local(QStringLiteral("f.bin")));
    }
    QTRY_COMPARE(log->Count(completion), 1);
    QVERIFY2(server->Finished(), qPrintable(server->Status()));
    QCOMPARE(server->Mismatches(), QStringList());
    QCOMPARE(log->Errors().size(), 0);
    if (operation == QLatin1String("list"))
        QCOMPARE(Names(ftp->Files()), QSet<QString>{"a.txt"});
    else if (upload)
        QCOMPARE(server->ReceivedData(), QByteArrayList{"sent early"});
    else
        QCOMPARE(ReadFile(Local(QStringLiteral("f.bin"))), QByteArray("early"));
}

void FtpTransferScriptedTest::failedListingShowsNoOtherFolder()
{
    FtpScript script = Login();
    script.expect(TypeA, TypeOk).expectPasv().expect(QStringLiteral("LIST"), Opening).dataSend(UnixLine('-', "root.txt") + "\r\n").send(Complete);
    script.expect(QStringLiteral("CWD sub"), QStringLiteral("250 \"/sub\" is the current directory"));
    script.expectPasv(QStringLiteral("425 Cannot open passive connection"));
    QVERIFY2(Start(script), qPrintable(server->Status()));
    ftp->SetCache(false);

    ftp->ListDirectory();
    QTRY_COMPARE(log->Count(QStringLiteral("OnListingDone")), 1);
    QCOMPARE(Names(ftp->Files()), QSet<QString>{"root.txt"});
    ftp->ChangeDirectory(QStringLiteral("sub"));
    QTRY_COMPARE(log->Count(QStringLiteral("OnDirectoryChanged")), 1);
    QCOMPARE(ftp->CurrentDirectory(), QStringLiteral("/sub"));
    ftp->ListDirectory();
    QTRY_COMPARE(log->Count(QStringLiteral("OnListingDone")), 2);
    QCOMPARE(log->ErrorCodes(), QList<int>{ftpeCommandFailed});
    QCOMPARE(ftp->Files().Count(), 0);
    QCOMPARE(ftp->Directories().Count(), 0);
    QVERIFY2(server->Finished(), qPrintable(server->Status()));
    QCOMPARE(server->Mismatches(), QStringList());
}

// ---------------------------------------------------------------------------

void FtpTransferScriptedTest::listingData_data()
{
    QTest::addColumn<bool>("passive");
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<int>("splitAt"); // -1: one write
    QTest::addColumn<QSet<QString>>("files");
    QTest::addColumn<QSet<QString>>("directories");
    QTest::addColumn<int>("lines");

    const QByteArray one = UnixLine('-', "one.txt");
    const QByteArray two = UnixLine('-', "two.txt");
    const QByteArray sub = UnixLine('d', "sub", 4096);
    for (const bool passive : {true, false}) {
        const char *mode = ModeName(passive);
        QTest::addRow("last line without CR LF is parsed, %s", mode)
            << passive << one + "\r\n" + two + "\r\n" + UnixLine('-', "three.txt") << -1
            << QSet<QString>{"one.txt", "two.txt", "three.txt"} << QSet<QString>() << 3;
        QTest::addRow("dot folders are not stored, %s", mode)
            << passive << "total 3\r\n" + UnixLine('d', ".", 4096) + "\r\n" + UnixLine('d', "..", 4096) + "\r\n" + sub + "\r\n" + one + "\r\n"
            << -1 << QSet<QString>{"one.txt"} << QSet<QString>{"sub"} << 5;
    }
    QTest::newRow("lines ended by LF alone") << true << one + "\n" + sub + "\n" << -1 << QSet<QString>{"one.txt"}
                                             << QSet<QString>{"sub"} << 2;
    QTest::newRow("line split across two reads") << true << one + "\r\n" + two + "\r\n" << int(one.size() + 10)
                                                 << QSet<QString>{"one.txt", "two.txt"} << QSet<QString>() << 2;
    QTest::newRow("CR LF split across two reads") << true << one + "\r\n" + two + "\r\n" << int(one.size() + 1)
                                                  << QSet<QString>{"one.txt", "two.txt"} << QSet<QString>() << 2;
    QTest::newRow("empty listing") << true << QByteArray() << -1 << QSet<QString>() << QSet<QString>() << 0;
    QTest::newRow("lines that are no entries") << true << "total 0\r\n\r\nsomething else\r\n" + one + "\r\n" << -1
                                               << QSet<QString>{"one.txt"} << QSet<QString>() << 4;
}

void FtpTransferScriptedTest::listingData()
{
    QFETCH(bool, passive);
    QFETCH(QByteArray, data);
    QFETCH(int, splitAt);
    QFETCH(QSet<QString>, files);
    QFETCH(QSet<QString>, directories);
    QFETCH(int, lines);

    FtpScript script = Login();
    script.expect(TypeA, TypeOk);
    Data(script, passive).expect(QStringLiteral("LIST"), Opening);
    if (splitAt < 0)
        script.dataSend(data);
    else
        script.dataSendSplit(data, splitAt, 150);
    script.send(Complete);
    QVERIFY2(Start(script, passive), qPrintable(server->Status()));

    ftp->ListDirectory();
    QTRY_COMPARE(log->Count(QStringLiteral("OnListingDone")), 1);
    QVERIFY2(server->Finished(), qPrintable(server->Status()));
    QCOMPARE(server->Mismatches(), QStringList());
    QCOMPARE(log->Notifications(), (QStringList{"OnFtpBusy", "OnFtpReady", "OnListingDone"}));
    QCOMPARE(log->Errors().size(), 0);
    QCOMPARE(Names(ftp->Files()), files);
    QCOMPARE(Names(ftp->Directories()), directories);
    QCOMPARE(ftp->ListingLines().size(), lines);
    QCOMPARE(log->Texts(ftpiEntryFound).count(QStringLiteral("File")), files.size());
    QCOMPARE(log->Texts(ftpiEntryFound).count(QStringLiteral("Folder")), directories.size());
    QCOMPARE(ftp->BytesTransferred(), qint64(data.size()));
    // Each line is shown as it arrives, the unterminated last one when the data ends.
    QCOMPARE(log->Texts(ftpiProgress), ftp->ListingLines());
}

void FtpTransferScriptedTest::transferTypeRemembered()
{
    const QByteArray line = UnixLine('-', "a.txt") + "\r\n";
    FtpScript script = Login();
    script.expect(TypeA, TypeOk).expectPasv().expect(QStringLiteral("LIST"), Opening).dataSend(line).send(Complete);
    // The second ASCII listing goes straight to PASV.
    script.expectPasv().expect(QStringLiteral("LIST"), Opening).dataSend(line).send(Complete);
    script.expect(TypeI, TypeOk).expectPasv().expect(QStringLiteral("RETR a.txt"), Opening).dataSend("abc").send(Complete);
    script.expect(TypeA, TypeOk).expectPasv().expect(QStringLiteral("LIST"), Opening).dataSend(line).send(Complete);
    QVERIFY2(Start(script), qPrintable(server->Status()));
    ftp->SetCache(false);

    ftp->ListDirectory();
    QTRY_COMPARE(log->Count(QStringLiteral("OnListingDone")), 1);
    ftp->ListDirectory();
    QTRY_COMPARE(log->Count(QStringLiteral("OnListingDone")), 2);
    QVERIFY(!ftp->FromCache());
    ftp->GetFile(QStringLiteral("a.txt"), Local(QStringLiteral("a.txt")));
    QTRY_COMPARE(log->Count(QStringLiteral("OnFileReceived")), 1);
    ftp->ListDirectory();
    QTRY_COMPARE(log->Count(QStringLiteral("OnListingDone")), 3);

    QVERIFY2(server->Finished(), qPrintable(server->Status()));
    QCOMPARE(server->Mismatches(), QStringList());
    QCOMPARE(CommandsAfterLogin().filter(QRegularExpression(QStringLiteral("^TYPE"))),
             (QStringList{"TYPE A", "TYPE I", "TYPE A"}));
    QCOMPARE(log->Errors().size(), 0);
}

void FtpTransferScriptedTest::lineBreakInArgument_data()
{
    QTest::addColumn<QString>("operation");
    QTest::addColumn<QString>("argument");
    QTest::newRow("GetFile, CR LF") << QStringLiteral("get") << QStringLiteral("a.txt\r\nDELE important");
    QTest::newRow("GetFile, LF") << QStringLiteral("get") << QStringLiteral("a.txt\nDELE important");
    QTest::newRow("PutFile, CR") << QStringLiteral("put") << QStringLiteral("a.txt\rDELE important");
    QTest::newRow("PutFile, trailing LF") << QStringLiteral("put") << QStringLiteral("a.txt\n");
    QTest::newRow("ListDirectory, FileMask") << QStringLiteral("list") << QStringLiteral("*.txt\r\nDELE important");
}

void FtpTransferScriptedTest::lineBreakInArgument()
{
    QFETCH(QString, operation);
    QFETCH(QString, argument);
    QVERIFY2(Start(Login()), qPrintable(server->Status()));
    const QString local = Local(QStringLiteral("local.bin"));
    const QString completion = operation == QLatin1String("get")   ? QStringLiteral("OnFileReceived")
                               : operation == QLatin1String("put") ? QStringLiteral("OnFileStored")
                                                                   : QStringLiteral("OnListingDone");
    if (operation == QLatin1String("get")) {
        ftp->GetFile(argument, local);
    } else if (operation == QLatin1String("put")) {
        QVERIFY(WriteFile(local, "data"));
        ftp->PutFile(local, argument);
    } else {
        ftp->SetFileMask(argument);
        ftp->ListDirectory();
    }
    QTRY_COMPARE(log->Count(completion), 1);
    QCOMPARE(log->ErrorCodes(), QList<int>{ftpeBadRemoteName});
    QCOMPARE(log->Notifications(), (QStringList{"OnFtpBusy", "OnFtpReady", completion}));
    QCOMPARE(log->CountInfo(ftpiCommand), 0);
    QTest::qWait(50); // anything sent would have reached the server by now
    QCOMPARE(CommandsAfterLogin(), QStringList());
    QCOMPARE(server->Mismatches(), QStringList());
    if (operation == QLatin1String("get"))
        QVERIFY(!QFileInfo::exists(local));
    QVERIFY(ftp->Connected());
}

// ---------------------------------------------------------------------------

void FtpTransferScriptedTest::bytesAndElapsedTime_data()
{
    QTest::addColumn<bool>("passive");
    QTest::newRow("passive") << true;
    QTest::newRow("active") << false;
}

void FtpTransferScriptedTest::bytesAndElapsedTime()
{
    QFETCH(bool, passive);
    constexpr int pauseMs = 300;
    const QByteArray content = RandomBytes(10000);
    FtpScript script = Login();
    script.expect(TypeI, TypeOk);
    Data(script, passive).expect(QStringLiteral("RETR f.bin"), Opening).dataSendSplit(content, 4000, pauseMs).send(Complete);
    QVERIFY2(Start(script, passive), qPrintable(server->Status()));

    QList<qint64> seen;
    log->After = [&](const QString &event) {
        if (event.startsWith(QLatin1String("ftpiProgress(")))
            seen.append(ftp->BytesTransferred());
    };
    ftp->GetFile(QStringLiteral("f.bin"), Local(QStringLiteral("f.bin")));
    QTRY_COMPARE(log->Count(QStringLiteral("OnFileReceived")), 1);
    QCOMPARE(ReadFile(Local(QStringLiteral("f.bin"))), content);
    QCOMPARE(ftp->BytesTransferred(), qint64(content.size()));
    // The data came in two parts with a pause between them: the progress
    // figures grow, and the elapsed time covers the pause.
    QVERIFY(seen.size() >= 2);
    QVERIFY(std::is_sorted(seen.cbegin(), seen.cend()));
    QCOMPARE(seen.constLast(), qint64(content.size()));
    QVERIFY2(ftp->ElapsedTime() >= pauseMs - 50, qPrintable(QString::number(ftp->ElapsedTime())));
}

void FtpTransferScriptedTest::localWriteFailure()
{
    const QString full = QStringLiteral("/dev/full");
    if (!QFileInfo(full).isWritable())
        QSKIP("/dev/full is not available");
    FtpScript script = Login();
    // Small enough to fit a write buffer: the failure must show at the
    // write itself, not vanish in a flush at close.
    script.expect(TypeI, TypeOk).expectPasv().expect(QStringLiteral("RETR f.bin"), Opening).dataSend(RandomBytes(3000)).send(Complete);
    QVERIFY2(Start(script), qPrintable(server->Status()));
    log->FileExistsAnswers = QStringList{QStringLiteral("Overwrite")};

    ftp->GetFile(QStringLiteral("f.bin"), full);
    QTRY_COMPARE(log->Count(QStringLiteral("OnFileReceived")), 1);
    QVERIFY2(server->Finished(), qPrintable(server->Status()));
    QCOMPARE(server->Mismatches(), QStringList());
    // Reported once; the transfer still runs to its end.
    QCOMPARE(log->ErrorCodes(), QList<int>{ftpeLocalFileWrite});
    QCOMPARE(log->Notifications(), (QStringList{"OnFtpBusy", "OnFtpReady", "OnFileReceived"}));
    QCOMPARE(log->CountInfo(ftpiTransferDone), 1);
    QVERIFY(ftp->Connected());
}

void FtpTransferScriptedTest::localReadFailure()
{
    // A kernel attribute file claims a page but holds a few bytes: reading
    // the size it claims fails part-way.
    const QString attribute = QStringLiteral("/sys/devices/system/cpu/online");
    QFile probe(attribute);
    if (!probe.open(QIODevice::ReadOnly) || probe.size() <= probe.readAll().size())
        QSKIP("no file whose reads end before its size on this system");
    probe.close();
    FtpScript script = Login(false);
    script.expect(TypeI, TypeOk).expectPasv().expect(QStringLiteral("STOR online"), Opening).dataReceive().send(Complete);
    QVERIFY2(Start(script), qPrintable(server->Status()));

    ftp->PutFile(attribute, QStringLiteral("online"));
    QTRY_VERIFY(log->Count(QStringLiteral("OnFtpReady")) == 1 && !ftp->Busy());
    QVERIFY2(server->Finished(), qPrintable(server->Status()));
    QCOMPARE(server->Mismatches(), QStringList());
    QCOMPARE(log->ErrorCodes(), QList<int>{ftpeLocalFileRead});
    QCOMPARE(log->Notifications(), (QStringList{"OnFtpBusy", "OnFtpReady", "OnFileStored"}));
    QCOMPARE(server->ReceivedData(), QByteArrayList{QByteArray()});
    QVERIFY(ftp->Connected());
}

// ---------------------------------------------------------------------------

void FtpTransferScriptedTest::cachedListingKeepsClientBusy()
{
    FtpScript script = Login();
    script.expect(TypeA, TypeOk).expectPasv().expect(QStringLiteral("LIST"), Opening).dataSend(UnixLine('-', "a.txt") + "\r\n").send(Complete);
    QVERIFY2(Start(script), qPrintable(server->Status()));
    ftp->ListDirectory();
    QTRY_COMPARE(log->Count(QStringLiteral("OnListingDone")), 1);
    QVERIFY(!ftp->FromCache());

    log->Clear();
    ftp->ListDirectory();
    QVERIFY(ftp->Busy());
    // Asked before the cached listing's ready message was handled: refused,
    // and the listing keeps its own completion.
    ftp->GetFile(QStringLiteral("a.txt"), Local(QStringLiteral("a.txt")));
    QCOMPARE(log->Texts(ftpiBusy), QStringList{QStringLiteral("Le composant est occupé")});
    QTRY_COMPARE(log->Count(QStringLiteral("OnListingDone")), 1);
    QCOMPARE(log->Notifications(), (QStringList{"OnFtpReady", "OnListingDone"}));
    QVERIFY(ftp->FromCache());
    QCOMPARE(Names(ftp->Files()), QSet<QString>{"a.txt"});
    QVERIFY(!ftp->Busy());
    QCOMPARE(server->Mismatches(), QStringList());
    QVERIFY(!QFileInfo::exists(Local(QStringLiteral("a.txt"))));
}

void FtpTransferScriptedTest::cachedListingNeedsBothFiles()
{
    FtpScript script = Login();
    script.expect(TypeA, TypeOk).expectPasv().expect(QStringLiteral("LIST"), Opening)
        .dataSend(UnixLine('-', "a.txt") + "\r\n" + UnixLine('d', "sub", 4096) + "\r\n").send(Complete);
    QVERIFY2(Start(script), qPrintable(server->Status()));
    ftp->ListDirectory();
    QTRY_COMPARE(log->Count(QStringLiteral("OnListingDone")), 1);

    // The folder half of the cache says something else, the file half is gone.
    const QString folders = CacheFileName(ftp->Server(), ftp->Username(), ftp->CurrentDirectory(), true, ftp->Port());
    const QString files = CacheFileName(ftp->Server(), ftp->Username(), ftp->CurrentDirectory(), false, ftp->Port());
    QVERIFY(QFile::exists(folders) && QFile::exists(files));
    TVexFtpFileInfoList other;
    other.Add(QStringLiteral("other"), QStringLiteral("drwxr-xr-x"), QString(), QStringLiteral("4096"), QString(), QString(), QString(), QString());
    WriteListCache(folders, other);
    QVERIFY(QFile::remove(files));
    ftp->Close();
    QTRY_COMPARE(log->Count(QStringLiteral("OnFtpQuit")), 1);
    QTRY_VERIFY(!ftp->Busy());

    log->Clear();
    ftp->ListDirectory(); // a miss, and then refused: not connected
    QCOMPARE(log->Texts(ftpiDisconnected), QStringList{QStringLiteral("Non connecté au serveur")});
    QCOMPARE(Names(ftp->Directories()), QSet<QString>{"sub"});
    QCOMPARE(Names(ftp->Files()), QSet<QString>{"a.txt"});
    QVERIFY(!ftp->FromCache());
}

void FtpTransferScriptedTest::unequalListsDoNothing_data()
{
    QTest::addColumn<bool>("upload");
    QTest::newRow("GetFiles") << false;
    QTest::newRow("PutFiles") << true;
}

void FtpTransferScriptedTest::unequalListsDoNothing()
{
    QFETCH(bool, upload);
    QVERIFY2(Start(Login()), qPrintable(server->Status()));
    const QStringList two{Local(QStringLiteral("a")), Local(QStringLiteral("b"))};
    const QStringList one{QStringLiteral("a")};
    if (upload)
        ftp->PutFiles(two, one);
    else
        ftp->GetFiles(one, two);
    QVERIFY(!ftp->Busy());
    QTest::qWait(100); // time for any event or command to show
    QCOMPARE(log->Events(), QStringList());
    QCOMPARE(CommandsAfterLogin(), QStringList());
}

void FtpTransferScriptedTest::listOperationRefusedUntilReady()
{
    FtpScript script = Login(false);
    script.expect(TypeI, TypeOk).expectPasv().expect(QStringLiteral("STOR up.bin"), Opening).dataReceive().send(Complete);
    script.expectPasv().expect(QStringLiteral("RETR down.bin"), Opening).dataSend("downloaded").send(Complete);
    QVERIFY2(Start(script), qPrintable(server->Status()));
    QVERIFY(WriteFile(Local(QStringLiteral("up.bin")), "uploaded"));
    const QStringList remote{QStringLiteral("down.bin")}, local{Local(QStringLiteral("down.bin"))};

    bool startedFromReady = false;
    log->After = [&](const QString &event) {
        if (event == QLatin1String("OnFtpReady") && !startedFromReady) {
            startedFromReady = true;
            ftp->GetFiles(remote, local);
        }
    };
    ftp->PutFiles({Local(QStringLiteral("up.bin"))}, {QStringLiteral("up.bin")});
    // Returned, but its ready message has not been handled yet.
    QVERIFY(ftp->Busy());
    ftp->GetFiles(remote, local);
    QCOMPARE(log->Texts(ftpiBusy), QStringList{QStringLiteral("Le composant est occupé")});
    QCOMPARE(log->Count(QStringLiteral("OnFtpReady")), 0);

    QTRY_COMPARE(log->Count(QStringLiteral("OnFileReceived")), 1);
    QTRY_VERIFY(!ftp->Busy());
    QVERIFY(startedFromReady);
    QVERIFY2(server->Finished(), qPrintable(server->Status()));
    QCOMPARE(server->Mismatches(), QStringList());
    QCOMPARE(ReadFile(local.constFirst()), QByteArray("downloaded"));
    QCOMPARE(server->ReceivedData(), QByteArrayList{"uploaded"});
    QCOMPARE(log->Count(QStringLiteral("OnFtpBusy")), 2);
    QCOMPARE(log->Count(QStringLiteral("OnFtpReady")), 2);
}

void FtpTransferScriptedTest::getFilesWithSkippedItem()
{
    FtpScript script = Login();
    script.expect(TypeI, TypeOk).expectPasv().expect(QStringLiteral("RETR 1.bin"), Opening).dataSend("first").send(Complete);
    script.expectPasv().expect(QStringLiteral("RETR 3.bin"), Opening).dataSend("third").send(Complete);
    QVERIFY2(Start(script), qPrintable(server->Status()));
    QVERIFY(WriteFile(Local(QStringLiteral("2.bin")), "kept"));
    log->FileExistsAnswers = QStringList{QStringLiteral("Non")};

    ftp->GetFiles({QStringLiteral("1.bin"), QStringLiteral("2.bin"), QStringLiteral("3.bin")},
                  {Local(QStringLiteral("1.bin")), Local(QStringLiteral("2.bin")), Local(QStringLiteral("3.bin"))});
    QTRY_COMPARE(log->Count(QStringLiteral("OnFileReceived")), 1);
    QCOMPARE(log->Notifications(), (QStringList{"OnFtpBusy", "OnFtpReady", "OnFileReceived"}));
    QCOMPARE(log->Count(QStringLiteral("needFileExists")), 1);
    QCOMPARE(ReadFile(Local(QStringLiteral("1.bin"))), QByteArray("first"));
    QCOMPARE(ReadFile(Local(QStringLiteral("2.bin"))), QByteArray("kept"));
    QCOMPARE(ReadFile(Local(QStringLiteral("3.bin"))), QByteArray("third"));
    QVERIFY2(server->Finished(), qPrintable(server->Status()));
    QCOMPARE(server->Mismatches(), QStringList());
}

void FtpTransferScriptedTest::transferCannotStartInsideList_data()
{
    QTest::addColumn<bool>("downloads"); // GetFiles, or DeleteFiles
    QTest::newRow("GetFiles, asked when an item's data is done") << true;
    QTest::newRow("DeleteFiles, asked when an item's command goes out") << false;
}

void FtpTransferScriptedTest::transferCannotStartInsideList()
{
    // Only the list starts its items: a transfer asked from a hook while the
    // list runs is refused, and the list goes on undisturbed.
    QFETCH(bool, downloads);
    FtpScript script = Login();
    if (downloads) {
        script.expect(TypeI, TypeOk).expectPasv().expect(QStringLiteral("RETR 1.bin"), Opening).dataSend("first").send(Complete);
        script.expectPasv().expect(QStringLiteral("RETR 2.bin"), Opening).dataSend("second").send(Complete);
    } else {
        script.expect(QStringLiteral("DELE 1.bin"), QStringLiteral("250 Deleted")).expect(QStringLiteral("DELE 2.bin"), QStringLiteral("250 Deleted"));
    }
    QVERIFY2(Start(script), qPrintable(server->Status()));
    QVERIFY(WriteFile(Local(QStringLiteral("up.bin")), "intruder"));

    int intrusions = 0;
    const QString intrudeAt = FtpInfoName(downloads ? ftpiTransferDone : ftpiCommand) + QLatin1Char('(');
    log->After = [&](const QString &event) {
        if (event.startsWith(intrudeAt) && intrusions++ == 0) {
            ftp->GetFile(QStringLiteral("intruder.bin"), Local(QStringLiteral("intruder.bin")));
            ftp->PutFile(Local(QStringLiteral("up.bin")), QStringLiteral("intruder.bin"));
        }
    };
    const QStringList remote{QStringLiteral("1.bin"), QStringLiteral("2.bin")};
    if (downloads)
        ftp->GetFiles(remote, {Local(QStringLiteral("1.bin")), Local(QStringLiteral("2.bin"))});
    else
        ftp->DeleteFiles(remote);
    const QString completion = downloads ? QStringLiteral("OnFileReceived") : QStringLiteral("OnFileDeleted");
    QTRY_COMPARE(log->Count(completion), 1);
    QCOMPARE(log->Texts(ftpiBusy).size(), 2);
    QCOMPARE(log->Notifications(), (QStringList{"OnFtpBusy", "OnFtpReady", completion}));
    if (downloads) {
        QCOMPARE(ReadFile(Local(QStringLiteral("1.bin"))), QByteArray("first"));
        QCOMPARE(ReadFile(Local(QStringLiteral("2.bin"))), QByteArray("second"));
    }
    QVERIFY(!QFileInfo::exists(Local(QStringLiteral("intruder.bin"))));
    QVERIFY2(server->Finished(), qPrintable(server->Status()));
    QCOMPARE(server->Mismatches(), QStringList());
}

void FtpTransferScriptedTest::controlLostDuringTransfer_data()
{
    QTest::addColumn<bool>("passive");
    QTest::addColumn<bool>("list");
    QTest::addColumn<bool>("dataOpen"); // the data connection is open when the control goes
    for (const bool passive : {true, false}) {
        QTest::addRow("GetFiles, during the second file's data, %s", ModeName(passive)) << passive << true << true;
        QTest::addRow("GetFiles, before the second file's PASV or PORT reply, %s", ModeName(passive)) << passive << true << false;
        QTest::addRow("GetFile, during the data, %s", ModeName(passive)) << passive << false << true;
    }
}

void FtpTransferScriptedTest::controlLostDuringTransfer()
{
    QFETCH(bool, passive);
    QFETCH(bool, list);
    QFETCH(bool, dataOpen);
    FtpScript script = Login();
    script.expect(TypeI, TypeOk);
    if (list)
        Data(script, passive).expect(QStringLiteral("RETR 1.bin"), Opening).dataSend("first").send(Complete);
    if (dataOpen)
        Data(script, passive).expect(QStringLiteral("RETR 2.bin"), Opening).dataStall().closeConnection();
    else // the second item's PASV or PORT gets no answer: the control goes
        script.expectPrefix(passive ? QStringLiteral("PASV") : QStringLiteral("PORT ")).closeConnection();
    QVERIFY2(Start(script, passive), qPrintable(server->Status()));

    const QStringList remote{QStringLiteral("1.bin"), QStringLiteral("2.bin"), QStringLiteral("3.bin")};
    const QStringList local{Local(QStringLiteral("1.bin")), Local(QStringLiteral("2.bin")), Local(QStringLiteral("3.bin"))};
    if (list)
        ftp->GetFiles(remote, local); // returns: nothing waits for the lost items
    else
        ftp->GetFile(remote.at(1), local.at(1));
    QTRY_VERIFY(log->Count(QStringLiteral("OnFtpReady")) == 1 && !ftp->Busy());
    // Whatever the server side does with the data connection later, no
    // item of the lost connection ends again.
    server->Stop();
    QTest::qWait(200);

    QCOMPARE(log->Count(QStringLiteral("OnFtpReady")), 1);
    QCOMPARE(log->Count(QStringLiteral("OnFtpQuit")), 1);
    QCOMPARE(log->Count(QStringLiteral("OnFtpBusy")), 1);
    QCOMPARE(log->Count(QStringLiteral("OnFileReceived")), list ? 1 : 0);
    QCOMPARE(log->Texts(ftpiDisconnected), QStringList{QStringLiteral("Déconnecté")});
    QVERIFY(!ftp->Connected());
    QVERIFY(!ftp->Busy());
    QVERIFY(!log->Commands().contains(QStringLiteral("RETR 3.bin")));
    if (list)
        QCOMPARE(ReadFile(local.at(0)), QByteArray("first"));
    QVERIFY(!QFileInfo::exists(local.at(2)));
}

QTEST_GUILESS_MAIN(FtpTransferScriptedTest)
#include "tst_ftptransfer_scripted.moc"
