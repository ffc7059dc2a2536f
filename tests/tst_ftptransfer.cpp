// Listings, downloads, uploads and list operations of TVexFtp against a real
// FTP server (pyftpdlib on loopback), each in passive and in active mode.
#include "FtpEventRecorder.h"
#include "FtpTransferTestKit.h"
#include "PyFtpdServer.h"

#include <QDir>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

using namespace TransferTestKit;

namespace {

constexpr qsizetype FiveMegabytes = 5 * 1024 * 1024;

void AddModeRows(const char *what)
{
    QTest::newRow(qPrintable(QStringLiteral("%1, passive").arg(QLatin1String(what)))) << true;
    QTest::newRow(qPrintable(QStringLiteral("%1, active").arg(QLatin1String(what)))) << false;
}

// A file name unique to the running row, usable on both sides.
QString RowName(const QString &stem)
{
    QString tag = QString::fromLatin1(QTest::currentDataTag());
    tag.replace(QRegularExpression(QStringLiteral("[^A-Za-z0-9]+")), QStringLiteral("-"));
    return stem + QLatin1Char('-') + tag + QStringLiteral(".bin");
}

} // namespace

class FtpTransferTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void listing_data();
    void listing();
    void transfer_data();
    void transfer();
    void existingTarget_data();
    void existingTarget();
    void listOperation_data();
    void listOperation();
    void namesWithBlanks_data();
    void namesWithBlanks();

private:
    // A client logged in to the server, in the mode of the row.
    bool Connect(bool passive, const QString &initialDirectory = {});

    PyFtpdServer server;
    std::unique_ptr<QTemporaryDir> cacheDir;
    std::unique_ptr<QTemporaryDir> localDir;
    std::unique_ptr<TVexFtp> ftp;
    std::unique_ptr<FtpEventRecorder> log;
};

void FtpTransferTest::initTestCase()
{
    if (!PyFtpdServer::Available())
        QSKIP(PyFtpdServer::UnavailableMessage());
    QVERIFY2(server.Start(), qPrintable(server.ErrorString()));
}

void FtpTransferTest::init()
{
    cacheDir = std::make_unique<QTemporaryDir>();
    localDir = std::make_unique<QTemporaryDir>();
    QVERIFY(cacheDir->isValid() && localDir->isValid());
    SetListCacheDirectoryForTesting(cacheDir->path() + QLatin1Char('/'));
}

void FtpTransferTest::cleanup()
{
    if (QTest::currentTestFailed()) {
        if (log)
            qWarning().noquote() << "client events:" << log->Dump();
        qWarning().noquote() << server.StandardError().right(4000);
    }
    log.reset();
    ftp.reset();
    SetListCacheDirectoryForTesting(QString());
}

bool FtpTransferTest::Connect(bool passive, const QString &initialDirectory)
{
    ftp = std::make_unique<TVexFtp>();
    log = std::make_unique<FtpEventRecorder>(*ftp);
    Prepare(*ftp, server.Host(), server.Port(), passive);
    ftp->SetInitialDirectory(initialDirectory);
    if (!LogIn(*ftp, *log))
        return false;
    log->Clear();
    return true;
}

void FtpTransferTest::listing_data()
{
    QTest::addColumn<bool>("passive");
    AddModeRows("listing");
}

void FtpTransferTest::listing()
{
    QFETCH(bool, passive);
    const QString folder = passive ? QStringLiteral("listing-passive") : QStringLiteral("listing-active");
    const QDir root(server.RootPath());
    QVERIFY(root.mkpath(folder + QStringLiteral("/Photos 2023")));
    QVERIFY(root.mkpath(folder + QStringLiteral("/src")));
    QVERIFY(WriteFile(root.filePath(folder + QStringLiteral("/readme.txt")), "bonjour\n"));
    QVERIFY(WriteFile(root.filePath(folder + QStringLiteral("/archive 1.zip")), RandomBytes(1234)));
    QVERIFY(WriteFile(root.filePath(folder + QStringLiteral("/empty")), QByteArray()));

    QVERIFY(Connect(passive, QLatin1Char('/') + folder));
    QCOMPARE(ftp->CurrentDirectory(), QLatin1Char('/') + folder);

    ftp->ListDirectory();
    QTRY_COMPARE_WITH_TIMEOUT(log->Count(QStringLiteral("OnListingDone")), 1, TransferWaitMs);
    QCOMPARE(log->Notifications(), (QStringList{"OnFtpBusy", "OnFtpReady", "OnListingDone"}));
    QCOMPARE(log->Errors().size(), 0);
    QVERIFY(!ftp->FromCache());
    QCOMPARE(Names(ftp->Files()), (QSet<QString>{"readme.txt", "archive 1.zip", "empty"}));
    QCOMPARE(Names(ftp->Directories()), (QSet<QString>{"Photos 2023", "src"}));
    QCOMPARE(log->Texts(ftpiEntryFound).count(QStringLiteral("File")), 3);
    QCOMPARE(log->Texts(ftpiEntryFound).count(QStringLiteral("Folder")), 2);
    QCOMPARE(ftp->ListingLines().size(), 5);
    QCOMPARE(log->CountInfo(ftpiListingStarted), 1);
    QCOMPARE(log->CountInfo(ftpiListingDataDone), 1);
    QCOMPARE(log->CountInfo(ftpiTransferDone), 1);
    QVERIFY(log->Commands().contains(QStringLiteral("LIST")));
    QVERIFY(log->Commands().contains(passive ? QStringLiteral("PASV") : QStringLiteral("TYPE A")));
    QVERIFY(ftp->BytesTransferred() > 0);
    QVERIFY(ftp->ElapsedTime() >= 0);

    // The same folder again: answered from the cache, nothing on the wire.
    log->Clear();
    ftp->ListDirectory();
    QTRY_COMPARE(log->Count(QStringLiteral("OnListingDone")), 1);
    QCOMPARE(log->Notifications(), (QStringList{"OnFtpReady", "OnListingDone"}));
    QCOMPARE(log->CountInfo(ftpiCommand), 0);
    QVERIFY(ftp->FromCache());
    QCOMPARE(Names(ftp->Files()), (QSet<QString>{"readme.txt", "archive 1.zip", "empty"}));
    QCOMPARE(Names(ftp->Directories()), (QSet<QString>{"Photos 2023", "src"}));
    QVERIFY(ftp->Connected() && !ftp->Busy());
}

void FtpTransferTest::transfer_data()
{
    QTest::addColumn<bool>("passive");
    QTest::addColumn<bool>("upload");
    QTest::addColumn<qsizetype>("size");
    for (const bool passive : {true, false}) {
        const char *mode = passive ? "passive" : "active";
        for (const bool upload : {false, true}) {
            const char *direction = upload ? "upload" : "download";
            const QList<QPair<const char *, qsizetype>> sizes{{"0 bytes", 0}, {"1 byte", 1}, {"5 MB", FiveMegabytes}};
            for (const auto &[label, size] : sizes)
                QTest::addRow("%s, %s, %s", direction, label, mode) << passive << upload << size;
        }
    }
}

void FtpTransferTest::transfer()
{
    QFETCH(bool, passive);
    QFETCH(bool, upload);
    QFETCH(qsizetype, size);
    const QByteArray content = RandomBytes(size);
    const QString name = RowName(QStringLiteral("transfer"));
    const QString remotePath = QDir(server.RootPath()).filePath(name);
    const QString localPath = QDir(localDir->path()).filePath(name);
    QVERIFY(WriteFile(upload ? localPath : remotePath, content));

    QVERIFY(Connect(passive));
    if (upload)
        ftp->PutFile(localPath, name);
    else
        ftp->GetFile(name, localPath);
    const QString completion = upload ? QStringLiteral("OnFileStored") : QStringLiteral("OnFileReceived");
    QTRY_COMPARE_WITH_TIMEOUT(log->Count(completion), 1, TransferWaitMs);

    QCOMPARE(log->Notifications(), (QStringList{"OnFtpBusy", "OnFtpReady", completion}));
    QCOMPARE(log->Errors().size(), 0);
    QCOMPARE(log->Count(QStringLiteral("needFileExists")), 0); // no question: nothing was there
    const QByteArray result = ReadFile(upload ? remotePath : localPath);
    QCOMPARE(result.size(), content.size());
    QVERIFY(result == content);
    QCOMPARE(ftp->BytesTransferred(), qint64(size));
    QVERIFY(ftp->ElapsedTime() >= 0);
    QCOMPARE(log->CountInfo(ftpiTransferDone), 1);
    if (upload)
        QCOMPARE(log->Texts(ftpiTransferSize), QStringList{QString::number(size)});
    QVERIFY(log->Commands().contains((upload ? QStringLiteral("STOR ") : QStringLiteral("RETR ")) + name));
    QVERIFY(log->Commands().contains(QStringLiteral("TYPE I")));
    QVERIFY(ftp->Connected() && !ftp->Busy());
}

void FtpTransferTest::existingTarget_data()
{
    QTest::addColumn<bool>("passive");
    QTest::addColumn<bool>("upload");
    QTest::addColumn<QString>("answer");
    QTest::addColumn<qsizetype>("targetSize");   // bytes already at the target
    QTest::addColumn<bool>("targetIsPrefix");    // those bytes begin the source
    QTest::addColumn<QString>("restCommand");    // "" when no REST may be sent
    QTest::addColumn<bool>("transferred");       // false: skipped, target untouched

    constexpr qsizetype sourceSize = 300000;
    for (const bool passive : {true, false}) {
        const char *mode = passive ? "passive" : "active";
        for (const bool upload : {false, true}) {
            const char *direction = upload ? "upload" : "download";
            QTest::addRow("%s resumed onto a prefix, %s", direction, mode)
                << passive << upload << QStringLiteral("Resume") << qsizetype(70001) << true << QStringLiteral("REST 70001") << true;
            QTest::addRow("%s over a longer file, Overwrite, %s", direction, mode)
                << passive << upload << QStringLiteral("Overwrite") << qsizetype(sourceSize + 5000) << false << QString() << true;
            QTest::addRow("%s over a shorter file, empty answer, %s", direction, mode)
                << passive << upload << QString() << qsizetype(1000) << false << QString() << true;
            QTest::addRow("%s skipped, %s", direction, mode)
                << passive << upload << QStringLiteral("Ignorer") << qsizetype(1000) << false << QString() << false;
        }
    }
}

void FtpTransferTest::existingTarget()
{
    QFETCH(bool, passive);
    QFETCH(bool, upload);
    QFETCH(QString, answer);
    QFETCH(qsizetype, targetSize);
    QFETCH(bool, targetIsPrefix);
    QFETCH(QString, restCommand);
    QFETCH(bool, transferred);

    const QByteArray source = RandomBytes(300000);
    const QByteArray target = targetIsPrefix ? source.left(targetSize) : QByteArray(targetSize, 'x');
    const QString name = RowName(QStringLiteral("existing"));
    const QString remotePath = QDir(server.RootPath()).filePath(name);
    const QString localPath = QDir(localDir->path()).filePath(name);
    QVERIFY(WriteFile(upload ? localPath : remotePath, source));
    QVERIFY(WriteFile(upload ? remotePath : localPath, target));

    QVERIFY(Connect(passive));
    QVERIFY(ftp->ResumeSupported());
    log->FileExistsAnswers = QStringList{answer};
    if (upload)
        ftp->PutFile(localPath, name);
    else
        ftp->GetFile(name, localPath);
    const QString completion = upload ? QStringLiteral("OnFileStored") : QStringLiteral("OnFileReceived");
    QTRY_COMPARE_WITH_TIMEOUT(log->Count(QStringLiteral("OnFtpReady")), 1, TransferWaitMs);
    QTRY_VERIFY(!ftp->Busy());

    QCOMPARE(log->Count(QStringLiteral("needFileExists")), 1);
    QCOMPARE(log->Errors().size(), 0);
    const QByteArray result = ReadFile(upload ? remotePath : localPath);
    const QString transferCommand = (upload ? QStringLiteral("STOR ") : QStringLiteral("RETR ")) + name;
    if (transferred) {
        QCOMPARE(log->Notifications(), (QStringList{"OnFtpBusy", "OnFtpReady", completion}));
        QCOMPARE(result.size(), source.size());
        QVERIFY(result == source);
        QVERIFY(log->Commands().contains(transferCommand));
        const qint64 moved = restCommand.isEmpty() ? source.size() : source.size() - targetSize;
        QCOMPARE(ftp->BytesTransferred(), moved);
    } else {
        QCOMPARE(log->Notifications(), (QStringList{"OnFtpBusy", "OnFtpReady"}));
        QVERIFY(result == target);
        QVERIFY(!log->Commands().contains(transferCommand));
    }
    const QStringList rest = log->Commands().filter(QRegularExpression(QStringLiteral("^REST ")));
    QCOMPARE(rest, restCommand.isEmpty() ? QStringList() : QStringList{restCommand});
}

void FtpTransferTest::listOperation_data()
{
    QTest::addColumn<bool>("passive");
    QTest::addColumn<bool>("upload");
    QTest::newRow("GetFiles, passive") << true << false;
    QTest::newRow("GetFiles, active") << false << false;
    QTest::newRow("PutFiles, passive") << true << true;
    QTest::newRow("PutFiles, active") << false << true;
}

void FtpTransferTest::listOperation()
{
    QFETCH(bool, passive);
    QFETCH(bool, upload);
    const QList<qsizetype> sizes{0, 4096, 700001};
    QStringList remoteNames, localNames;
    QList<QByteArray> contents;
    for (int i = 0; i < sizes.size(); ++i) {
        const QString name = RowName(QStringLiteral("list%1").arg(i));
        remoteNames.append(name);
        localNames.append(QDir(localDir->path()).filePath(name));
        contents.append(RandomBytes(sizes[i] + i));
        const QString source = upload ? localNames.last() : QDir(server.RootPath()).filePath(name);
        QVERIFY(WriteFile(source, contents.last()));
    }

    QVERIFY(Connect(passive));
    if (upload)
        ftp->PutFiles(localNames, remoteNames);
    else
        ftp->GetFiles(remoteNames, localNames);
    const QString completion = upload ? QStringLiteral("OnFileStored") : QStringLiteral("OnFileReceived");
    QTRY_COMPARE_WITH_TIMEOUT(log->Count(completion), 1, TransferWaitMs);

    QCOMPARE(log->Notifications(), (QStringList{"OnFtpBusy", "OnFtpReady", completion}));
    QCOMPARE(log->Errors().size(), 0);
    QCOMPARE(log->CountInfo(ftpiTransferDone), 3);
    // Each file costs only what it needs: the transfer type once for the
    // whole list, a SIZE only on upload (its answer decides the "file
    // exists" question), then the data connection and the transfer.
    QStringList expected{QStringLiteral("TYPE I")};
    const QString dataRequest = passive ? QStringLiteral("PASV") : QStringLiteral("PORT");
    for (const QString &name : remoteNames) {
        if (upload)
            expected << QStringLiteral("SIZE ") + name;
        expected << dataRequest << (upload ? QStringLiteral("STOR ") : QStringLiteral("RETR ")) + name;
    }
    QStringList sent = log->Commands();
    for (QString &command : sent)
        if (command.startsWith(QLatin1String("PORT ")))
            command = QStringLiteral("PORT"); // its address changes every time
    QCOMPARE(sent, expected);
    for (int i = 0; i < sizes.size(); ++i) {
        const QString target = upload ? QDir(server.RootPath()).filePath(remoteNames[i]) : localNames[i];
        QVERIFY2(ReadFile(target) == contents[i], qPrintable(remoteNames[i]));
    }
    QVERIFY(ftp->Connected() && !ftp->Busy());
}

void FtpTransferTest::namesWithBlanks_data()
{
    QTest::addColumn<bool>("passive");
    AddModeRows("names with blanks");
}

void FtpTransferTest::namesWithBlanks()
{
    // Blanks at either end belong to a name: the listing keeps them, and the
    // commands built from the listed names reach the very file and folder.
    QFETCH(bool, passive);
    const QString folder = passive ? QStringLiteral("blanks-passive") : QStringLiteral("blanks-active");
    const QString fileName = QStringLiteral(" spaced name ");
    const QString folderName = QStringLiteral(" lead");
    const QDir root(server.RootPath());
    QVERIFY(root.mkpath(folder + QLatin1Char('/') + folderName));
    const QByteArray content = RandomBytes(4321);
    QVERIFY(WriteFile(root.filePath(folder + QLatin1Char('/') + fileName), content));
    QVERIFY(WriteFile(root.filePath(folder + QStringLiteral("/spaced name")), "decoy"));

    QVERIFY(Connect(passive, QLatin1Char('/') + folder));
    ftp->ListDirectory();
    QTRY_COMPARE_WITH_TIMEOUT(log->Count(QStringLiteral("OnListingDone")), 1, TransferWaitMs);
    QCOMPARE(Names(ftp->Files()), (QSet<QString>{fileName, QStringLiteral("spaced name")}));
    QCOMPARE(Names(ftp->Directories()), QSet<QString>{folderName});

    VexFtpFileInfo info;
    const int index = ftp->Files().IndexOfName(fileName);
    QVERIFY(index >= 0);
    ftp->Files().GetInfo(index, info);
    QCOMPARE(info.FileName, fileName);
    const QString local = QDir(localDir->path()).filePath(QStringLiteral("downloaded"));
    log->Clear();
    ftp->GetFile(info.FileName, local);
    QTRY_COMPARE_WITH_TIMEOUT(log->Count(QStringLiteral("OnFileReceived")), 1, TransferWaitMs);
    QCOMPARE(log->Errors().size(), 0);
    QVERIFY2(log->Commands().contains(QStringLiteral("RETR  spaced name ")), qPrintable(log->Commands().join(u'|')));
    QCOMPARE(ReadFile(local), content);

    ftp->Directories().GetInfo(0, info);
    ftp->ChangeDirectory(info.FileName);
    QTRY_COMPARE_WITH_TIMEOUT(log->Count(QStringLiteral("OnDirectoryChanged")), 1, TransferWaitMs);
    QCOMPARE(log->Errors().size(), 0);
    QCOMPARE(ftp->CurrentDirectory(), QLatin1Char('/') + folder + QLatin1Char('/') + folderName);
}

QTEST_GUILESS_MAIN(FtpTransferTest)
#include "tst_ftptransfer.moc"
