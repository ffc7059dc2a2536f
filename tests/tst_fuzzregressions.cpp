// Faults the fuzz targets of fuzz/ found, each kept as the smallest case that
// showed it, against the scripted server.

#include "FtpClientTesting.h"
#include "FtpEventRecorder.h"
#include "ScriptedFtpServer.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

using FtpTesting::PrepareClient;

namespace {

constexpr int WaitMs = 10000;

// A login that leaves the client without restart support, so that an upload
// goes straight to PORT or PASV without SIZE.
FtpScript Login()
{
    return FtpScript()
        .send(QStringLiteral("220 ProFTPD Server ready."))
        .expect(QStringLiteral("USER anonymous"), QStringLiteral("331 Anonymous login ok, send your e-mail as password."))
        .expect(QStringLiteral("PASS guest@example.org"), QStringLiteral("230 Anonymous access granted."))
        .expect(QStringLiteral("SYST"), QStringLiteral("215 UNIX Type: L8"))
        .expect(QStringLiteral("TYPE I"), QStringLiteral("200 Type set to I"))
        .expect(QStringLiteral("REST 100"), QStringLiteral("502 REST not implemented"))
        .expect(QStringLiteral("PWD"), QStringLiteral("257 \"/\" is the current directory"));
}

QByteArray Pattern(qsizetype size)
{
    QByteArray bytes(size, Qt::Uninitialized);
    for (qsizetype i = 0; i < size; ++i)
        bytes[i] = char((i * 7 + 3) % 251); // no period that divides a send chunk
    return bytes;
}

} // namespace

class TestFuzzRegressions : public QObject
{
    Q_OBJECT

private slots:
    void uploadSendsEveryByteOnce_data();
    void uploadSendsEveryByteOnce();
};

void TestFuzzRegressions::uploadSendsEveryByteOnce_data()
{
    QTest::addColumn<bool>("passive");
    QTest::addColumn<int>("size");
    // Found by fuzz_control_reader: in active mode the upload writer, run at
    // once for the accepted connection, pumped events before its first send;
    // the accepted socket's first write notification ran the writer again
    // from there, which sent the rest of the file, and the first chunk
    // (1514 bytes) never went out. The server got a file without its start
    // and the client reported it stored.
    for (const bool passive : {false, true}) {
        const char *mode = passive ? "passive" : "active";
        for (const int size : {0, 1, 1514, 1515, 5000, 300000})
            QTest::addRow("%s, %d bytes", mode, size) << passive << size;
    }
}

void TestFuzzRegressions::uploadSendsEveryByteOnce()
{
    QFETCH(bool, passive);
    QFETCH(int, size);
    QTemporaryDir folder;
    QVERIFY(folder.isValid());
    const QString local = folder.filePath(QStringLiteral("up.bin"));
    const QByteArray content = Pattern(size);
    {
        QFile file(local);
        QVERIFY(file.open(QIODevice::WriteOnly));
        QCOMPARE(file.write(content), qint64(size));
    }

    FtpScript script = Login();
    script.expect(QStringLiteral("TYPE I"), QStringLiteral("200 Type set to I"));
    if (passive)
        script.expectPasv();
    else
        script.expectPort();
    script.expect(QStringLiteral("STOR up.bin"), QStringLiteral("150 Opening BINARY mode data connection for up.bin"))
        .dataReceive()
        .send(QStringLiteral("226 Transfer complete"));
    ScriptedFtpServer server;
    QVERIFY2(server.Start(script), qPrintable(server.ErrorString()));

    TVexFtp client;
    FtpEventRecorder log(client);
    log.Answers[needFileExists] = QStringLiteral("Overwrite");
    PrepareClient(client, folder, server.Port());
    client.SetPassive(passive);
    client.Login();
    QTRY_VERIFY_WITH_TIMEOUT(log.Has(QStringLiteral("OnLoggedIn")), WaitMs);
    client.PutFile(local, QStringLiteral("up.bin"));
    QTRY_VERIFY_WITH_TIMEOUT(log.Has(QStringLiteral("OnFileStored")), WaitMs);

    QVERIFY2(server.Finished(), qPrintable(server.Status()));
    QCOMPARE(server.Mismatches(), QStringList());
    QCOMPARE(server.ReceivedData().size(), 1);
    const QByteArray received = server.ReceivedData().constFirst();
    QCOMPARE(received.size(), content.size());
    QVERIFY(received == content);
    QCOMPARE(client.BytesTransferred(), qint64(size));
    QCOMPARE(log.ErrorCodes(), QList<int>());
}

QTEST_GUILESS_MAIN(TestFuzzRegressions)
#include "tst_fuzzregressions.moc"
