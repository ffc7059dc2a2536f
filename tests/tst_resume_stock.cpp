// Resume against a stock pyftpdlib, which refuses a restart offset in ASCII
// mode: the login finds that the server resumes transfers, and a download or
// an upload cut short by "Stop" is finished later by a resume, byte for byte,
// in passive and in active mode.
#include "Ftp.h"
#include "FtpEventRecorder.h"
#include "PyFtpdServer.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtTest>

namespace {

constexpr int WaitMs = 15000;
// More than the socket buffers of both ends hold, so that "Stop" comes
// while the file is still on its way.
constexpr qsizetype FileSize = 24 * 1024 * 1024 + 123;
// Where "Stop" is pressed: once this much has reached the copy.
constexpr qint64 StopAfter = 1024 * 1024;

QByteArray RandomBytes(qsizetype size, quint32 seed)
{
    QByteArray bytes(size, Qt::Uninitialized);
    QRandomGenerator generator(seed);
    generator.fillRange(reinterpret_cast<quint32 *>(bytes.data()), size / 4);
    for (qsizetype i = size / 4 * 4; i < size; ++i)
        bytes[i] = char(generator.bounded(256));
    return bytes;
}

QByteArray Contents(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<absent>");
}

bool Write(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}

QStringList Commands(const FtpEventRecorder &rec)
{
    QStringList commands;
    for (QString text : rec.Texts(ftpiCommand))
        commands << text.remove(QStringLiteral("\r\n"));
    return commands;
}

} // namespace

class TstResumeStock : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void loginFindsResume();
    void resumeAfterStop_data();
    void resumeAfterStop();

private:
    bool LogIn(bool passive);

    PyFtpdServer server;
    std::unique_ptr<QTemporaryDir> local;
    std::unique_ptr<TVexFtp> ftp;
    std::unique_ptr<FtpEventRecorder> rec;
};

void TstResumeStock::initTestCase()
{
    if (!PyFtpdServer::Available())
        QSKIP(PyFtpdServer::UnavailableMessage());
    QVERIFY2(server.Start(), qPrintable(server.ErrorString()));
}

void TstResumeStock::init()
{
    local = std::make_unique<QTemporaryDir>();
    QVERIFY(local->isValid());
    ftp = std::make_unique<TVexFtp>();
    rec = std::make_unique<FtpEventRecorder>(*ftp);
}

void TstResumeStock::cleanup()
{
    if (QTest::currentTestFailed()) {
        QStringList events;
        for (const QString &event : rec->Events())
            if (!event.startsWith(QLatin1String("ftpiProgress")))
                events << event.left(200);
        qWarning().noquote() << "client events:\n" << events.join(QLatin1Char('\n'));
        qWarning().noquote() << server.StandardError().right(3000);
    }
    rec.reset();
    ftp.reset();
    local.reset();
}

bool TstResumeStock::LogIn(bool passive)
{
    rec->Clear();
    ftp->SetServer(server.Host());
    ftp->SetPort(server.Port());
    ftp->SetUsername(QString::fromLatin1(PyFtpdServer::DefaultUser));
    ftp->SetPassword(QString::fromLatin1(PyFtpdServer::DefaultPassword));
    ftp->SetPassive(passive);
    ftp->SetRetries(0);
    ftp->SetNoopInterval(0);
    ftp->SetCache(false);
    ftp->Login();
    return QTest::qWaitFor([this] { return rec->Count(QStringLiteral("OnLoggedIn")) == 1; }, WaitMs)
        && ftp->LoggedIn();
}

void TstResumeStock::loginFindsResume()
{
    QVERIFY(LogIn(true));
    QVERIFY(ftp->ResumeSupported());
    QCOMPARE(rec->Count(QStringLiteral("ftpiResumeSupported(Ce site permet de reprendre les téléchargements incomplets)")), 1);
    const QStringList commands = Commands(*rec);
    const qsizetype rest = commands.indexOf(QStringLiteral("REST 100"));
    QVERIFY(rest > 0);
    QCOMPARE(commands.at(rest - 1), QStringLiteral("TYPE I"));
    QCOMPARE(rec->Errors(), QList<FtpError>());
}

void TstResumeStock::resumeAfterStop_data()
{
    QTest::addColumn<bool>("upload");
    QTest::addColumn<bool>("passive");
    QTest::newRow("download, passive") << false << true;
    QTest::newRow("download, active") << false << false;
    QTest::newRow("upload, passive") << true << true;
    QTest::newRow("upload, active") << true << false;
}

// The owner stops a transfer once a megabyte has gone, then logs in again
// and sends the file again, answering "Resume": the rest goes, and the copy
// is the file.
void TstResumeStock::resumeAfterStop()
{
    QFETCH(bool, upload);
    QFETCH(bool, passive);
    const QString name = QStringLiteral("resume-%1-%2.bin").arg(upload ? "up" : "down", passive ? "passive" : "active");
    const QString remotePath = QDir(server.RootPath()).filePath(name);
    const QString localPath = QDir(local->path()).filePath(name);
    const QByteArray content = RandomBytes(FileSize, upload ? 11u : 29u);
    QVERIFY(Write(upload ? localPath : remotePath, content));

    const QString copyPath = upload ? remotePath : localPath;
    QVERIFY(LogIn(passive));
    // An upload counts what the socket took; the server's file says what
    // arrived.
    ftp->OnFtpInfo = [upload, copyPath, inner = ftp->OnFtpInfo](TVexFtp *sender, FtpInfo info, const QString &text) {
        inner(sender, info, text);
        const qint64 arrived = upload ? QFileInfo(copyPath).size() : sender->BytesTransferred();
        if (info == ftpiProgress && arrived >= StopAfter && sender->Connected())
            sender->Close(); // "Stop"
    };
    if (upload)
        ftp->PutFile(localPath, name);
    else
        ftp->GetFile(name, localPath);
    QTRY_COMPARE_WITH_TIMEOUT(rec->Count(QStringLiteral("OnFtpQuit")), 1, WaitMs);
    // What arrived before the stop is kept: a beginning of the file.
    QTRY_VERIFY_WITH_TIMEOUT(QFileInfo(copyPath).size() > 0, WaitMs);
    QTest::qWait(200); // the server writes what it still had
    const QByteArray partial = Contents(copyPath);
    QVERIFY2(partial.size() < content.size(), qPrintable(QString::number(partial.size())));
    QVERIFY(content.startsWith(partial));

    ftp->OnFtpInfo = nullptr;
    rec = std::make_unique<FtpEventRecorder>(*ftp);
    QVERIFY(LogIn(passive));
    QVERIFY(ftp->ResumeSupported());
    rec->Answers[needFileExists] = FtpAnswer::Resume;
    if (upload)
        ftp->PutFile(localPath, name);
    else
        ftp->GetFile(name, localPath);
    const QString completion = upload ? QStringLiteral("OnFileStored") : QStringLiteral("OnFileReceived");
    QTRY_COMPARE_WITH_TIMEOUT(rec->Count(completion), 1, WaitMs);
    QCOMPARE(rec->Errors(), QList<FtpError>());
    QCOMPARE(rec->Count(QStringLiteral("needFileExists")), 1);
    QVERIFY(Commands(*rec).contains(QStringLiteral("REST %1").arg(partial.size())));
    QCOMPARE(ftp->BytesTransferred(), qint64(content.size() - partial.size()));
    QTRY_COMPARE_WITH_TIMEOUT(QFileInfo(copyPath).size(), qint64(content.size()), WaitMs);
    QVERIFY(Contents(copyPath) == content);
}

QTEST_GUILESS_MAIN(TstResumeStock)
#include "tst_resume_stock.moc"
