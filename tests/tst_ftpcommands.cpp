// Remote navigation and file commands of TVexFtp: CWD/CDUP/PWD, MKD, RMD
// with the listing cache, DELE over lists, RNFR/Rnto and raw commands,
// against a real pyftpdlib server and against scripted replies.
#include "FtpCache.h"
#include "FtpCacheTesting.h"
#include "FtpClientTesting.h"
#include "FtpEventRecorder.h"
#include "PyFtpdServer.h"
#include "ScriptedFtpServer.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

using FtpTesting::ConfigureQuietClient;

namespace {

const QString AccessDeniedText = QStringLiteral("Accès refusé ou fichier non trouvé");

bool WriteFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// The login that every scripted case starts with (server type preset, so no
// SYST; no restart support, so no REST 0), ending in the root folder.
FtpScript ScriptedLogin()
{
    return FtpScript()
        .send(QStringLiteral("220 scripted server"))
        .expect(QStringLiteral("USER anonymous"), QStringLiteral("331 password please"))
        .expectPrefix(QStringLiteral("PASS "), QStringLiteral("230 logged in"))
        .expect(QStringLiteral("TYPE I"), QStringLiteral("200 Type set to I"))
        .expect(QStringLiteral("REST 100"), QStringLiteral("502 REST not implemented"))
        .expect(QStringLiteral("PWD"), QStringLiteral("257 \"/\" is the current directory"));
}

// Every error carries the text its code is documented with, or one that
// says what failed.
void VerifyErrorTexts(const FtpEventRecorder &log)
{
    const QList<FtpError> errors = log.Errors();
    const QStringList texts = log.ErrorTexts();
    for (qsizetype i = 0; i < errors.size(); ++i) {
        if (errors.at(i) == ftpeAccessDenied)
            QCOMPARE(texts.at(i), AccessDeniedText);
        else
            QVERIFY(!texts.at(i).isEmpty());
    }
}

} // namespace

class TestFtpCommands : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> cacheDir;
    std::unique_ptr<PyFtpdServer> pyftpd;       // a fresh site for a test that changes it
    std::unique_ptr<PyFtpdServer> readOnlySite; // shared by the tests that change nothing there
    std::unique_ptr<ScriptedFtpServer> scripted;

    // Logs the client in and forgets what the login itself reported.
    bool LogIn(TVexFtp &ftp, FtpEventRecorder &log)
    {
        ftp.Login();
        const bool done = QTest::qWaitFor([&] { return log.Count(QStringLiteral("OnLoggedIn")) > 0
                                                       || log.Count(QStringLiteral("OnFtpQuit")) > 0; },
                                          FtpEventRecorder::WaitMs);
        log.Clear();
        return done && ftp.LoggedIn();
    }

    void StartPyftpd()
    {
        pyftpd = std::make_unique<PyFtpdServer>();
    }

    // Starts the real server (after the test put its files in RootPath()) and logs in.
    bool ConnectToPyftpd(TVexFtp &ftp, FtpEventRecorder &log)
    {
        if (!pyftpd->Start()) {
            qWarning().noquote() << pyftpd->ErrorString();
            return false;
        }
        return LogInTo(*pyftpd, ftp, log);
    }

    bool LogInTo(const PyFtpdServer &server, TVexFtp &ftp, FtpEventRecorder &log)
    {
        ConfigureQuietClient(ftp, server.Host(), server.Port(), QStringLiteral("anonymous"),
                             TVexFtp::DefaultGuestPassword());
        return LogIn(ftp, log);
    }

    // The shared site holds a.txt and docs/inner; no test may change it.
    bool ConnectToReadOnlySite(TVexFtp &ftp, FtpEventRecorder &log)
    {
        if (!readOnlySite) {
            auto site = std::make_unique<PyFtpdServer>();
            if (!WriteFile(site->RootPath() + QLatin1String("/a.txt"), "a")
                || !QDir(site->RootPath()).mkpath(QStringLiteral("docs/inner")) || !site->Start()) {
                qWarning().noquote() << site->ErrorString();
                return false;
            }
            readOnlySite = std::move(site);
        }
        return LogInTo(*readOnlySite, ftp, log);
    }

    QString ReadOnlyRoot(const QString &relative) const
    {
        return readOnlySite->RootPath() + QLatin1Char('/') + relative;
    }

    bool ConnectToScript(TVexFtp &ftp, FtpEventRecorder &log, const FtpScript &script)
    {
        scripted = std::make_unique<ScriptedFtpServer>();
        if (!scripted->Start(script))
            return false;
        ConfigureQuietClient(ftp, scripted->Host(), scripted->Port(), QStringLiteral("anonymous"),
                             TVexFtp::DefaultGuestPassword());
        ftp.SetServerType(ftpstUNIX);
        return LogIn(ftp, log);
    }

    // The client leaves; the script must have been played exactly.
    void FinishScript(TVexFtp &ftp)
    {
        ftp.Close();
        QTRY_VERIFY2_WITH_TIMEOUT(scripted->Finished(), qPrintable(scripted->Status()), FtpEventRecorder::WaitMs);
        QCOMPARE(scripted->Mismatches(), QStringList());
    }

    QString Root(const QString &relative = QString()) const
    {
        return relative.isEmpty() ? pyftpd->RootPath() : pyftpd->RootPath() + QLatin1Char('/') + relative;
    }

private slots:
    void initTestCase()
    {
        QStandardPaths::setTestModeEnabled(true);
    }

    void init()
    {
        cacheDir = std::make_unique<QTemporaryDir>();
        QVERIFY(cacheDir->isValid());
        SetListCacheDirectoryForTesting(cacheDir->path() + QLatin1Char('/'));
        pyftpd.reset();
        scripted.reset();
    }

    void cleanupTestCase()
    {
        readOnlySite.reset();
    }

    void cleanup()
    {
        if (QTest::currentTestFailed() && pyftpd)
            qWarning().noquote() << pyftpd->StandardError();
        if (QTest::currentTestFailed() && readOnlySite)
            qWarning().noquote() << readOnlySite->StandardError();
        pyftpd.reset();
        scripted.reset();
        SetListCacheDirectoryForTesting(QString());
        cacheDir.reset();
    }

    // --- Against pyftpdlib --------------------------------------------------

    void changeIntoSubfolderAndBack()
    {
        if (!PyFtpdServer::Available())
            QSKIP(PyFtpdServer::UnavailableMessage());
        TVexFtp ftp;
        FtpEventRecorder log(ftp);
        QVERIFY(ConnectToReadOnlySite(ftp, log));
        QCOMPARE(ftp.CurrentDirectory(), QStringLiteral("/"));

        ftp.ChangeDirectory(QStringLiteral("docs"));
        QVERIFY(log.WaitFor(QStringLiteral("OnDirectoryChanged")));
        QCOMPARE(ftp.CurrentDirectory(), QStringLiteral("/docs"));
        ftp.ChangeDirectory(QStringLiteral("inner"));
        QVERIFY(log.WaitFor(QStringLiteral("OnDirectoryChanged"), 2));
        QCOMPARE(ftp.CurrentDirectory(), QStringLiteral("/docs/inner"));
        ftp.ChangeToParent();
        QVERIFY(log.WaitFor(QStringLiteral("OnDirectoryChanged"), 3));
        QCOMPARE(ftp.CurrentDirectory(), QStringLiteral("/docs"));

        // pyftpdlib quotes the new folder in its 250 reply: no PWD is needed.
        QCOMPARE(log.Commands(), (QStringList{QStringLiteral("CWD docs"), QStringLiteral("CWD inner"),
                                            QStringLiteral("CDUP")}));
        const QStringList one{QStringLiteral("OnFtpBusy"), QStringLiteral("OnFtpReady"), QStringLiteral("OnDirectoryChanged")};
        QCOMPARE(log.Outcomes(), one + one + one);
        QVERIFY(!ftp.Busy());
    }

    void createDirectory_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("existsBefore");
        QTest::addColumn<QStringList>("expectedEvents");

        QTest::newRow("new folder") << QStringLiteral("incoming") << false
                                    << QStringList{QStringLiteral("OnFtpBusy"), QStringLiteral("OnFtpReady"),
                                                   QStringLiteral("OnDirectoryCreated")};
        QTest::newRow("name with blanks, sent as given") << QStringLiteral("  two words ") << false
                                    << QStringList{QStringLiteral("OnFtpBusy"), QStringLiteral("OnFtpReady"),
                                                   QStringLiteral("OnDirectoryCreated")};
        QTest::newRow("folder exists already") << QStringLiteral("incoming") << true
                                    << QStringList{QStringLiteral("OnFtpBusy"), QStringLiteral("ftpeAccessDenied"),
                                                   QStringLiteral("OnFtpReady"), QStringLiteral("OnDirectoryCreated")};
    }

    void createDirectory()
    {
        QFETCH(QString, name);
        QFETCH(bool, existsBefore);
        QFETCH(QStringList, expectedEvents);
        if (!PyFtpdServer::Available())
            QSKIP(PyFtpdServer::UnavailableMessage());
        StartPyftpd();
        if (existsBefore)
            QVERIFY(QDir(Root()).mkpath(name));
        TVexFtp ftp;
        FtpEventRecorder log(ftp);
        QVERIFY(ConnectToPyftpd(ftp, log));

        ftp.CreateDirectory(name);
        QVERIFY(log.WaitFor(QStringLiteral("OnDirectoryCreated")));
        QCOMPARE(log.Commands(), QStringList{QLatin1String("MKD ") + name});
        QCOMPARE(log.Outcomes(), expectedEvents);
        VerifyErrorTexts(log);
        QVERIFY(QFileInfo(Root(name)).isDir());
    }

    void removeDirectoriesDeletesTheirCache()
    {
        if (!PyFtpdServer::Available())
            QSKIP(PyFtpdServer::UnavailableMessage());
        StartPyftpd();
        QVERIFY(QDir(Root()).mkpath(QStringLiteral("deep/ old ")));
        QVERIFY(QDir(Root()).mkpath(QStringLiteral("other")));
        QVERIFY(WriteFile(Root(QStringLiteral("deep/kept.txt")), "kept"));
        TVexFtp ftp;
        FtpEventRecorder log(ftp);
        QVERIFY(ConnectToPyftpd(ftp, log));

        const auto cacheOf = [&](const QString &path, bool directories) {
            return CacheFileName(ftp.Server(), ftp.Username(), path, directories, ftp.Port());
        };
        // A listing in each folder writes its two cache files.
        for (const QString &folder : {QStringLiteral("/deep/ old "), QStringLiteral("/other"), QStringLiteral("/deep")}) {
            const int changed = log.Count(QStringLiteral("OnDirectoryChanged"));
            ftp.ChangeDirectory(folder);
            QVERIFY(log.WaitFor(QStringLiteral("OnDirectoryChanged"), changed + 1));
            QCOMPARE(ftp.CurrentDirectory(), folder);
            const int listed = log.Count(QStringLiteral("OnListingDone"));
            ftp.ListDirectory();
            QVERIFY(log.WaitFor(QStringLiteral("OnListingDone"), listed + 1));
            QVERIFY2(QFile::exists(cacheOf(folder, true)), qPrintable(cacheOf(folder, true)));
            QVERIFY(QFile::exists(cacheOf(folder, false)));
        }
        QCOMPARE(ftp.CurrentDirectory(), QStringLiteral("/deep"));
        log.Clear();

        // One name relative to /deep with blanks around it, one absolute.
        ftp.RemoveDirectories({QStringLiteral(" old "), QStringLiteral("/other")});
        QVERIFY(log.WaitFor(QStringLiteral("OnDirectoryDeleted")));
        QCOMPARE(log.Commands(), (QStringList{QStringLiteral("RMD  old "), QStringLiteral("RMD /other")}));
        QCOMPARE(log.Outcomes(), (QStringList{QStringLiteral("OnFtpBusy"), QStringLiteral("OnFtpReady"), QStringLiteral("OnDirectoryDeleted")}));
        QVERIFY(!QFileInfo::exists(Root(QStringLiteral("deep/ old "))));
        QVERIFY(!QFileInfo::exists(Root(QStringLiteral("other"))));
        for (const QString &gone : {QStringLiteral("/deep/ old "), QStringLiteral("/other")}) {
            QVERIFY2(!QFile::exists(cacheOf(gone, true)), qPrintable(gone));
            QVERIFY2(!QFile::exists(cacheOf(gone, false)), qPrintable(gone));
        }
        // The folder they were removed from keeps its own listing.
        QVERIFY(QFile::exists(cacheOf(QStringLiteral("/deep"), true)));
        QVERIFY(QFile::exists(cacheOf(QStringLiteral("/deep"), false)));
    }

    void removeDirectoryRefusedKeepsCache()
    {
        if (!PyFtpdServer::Available())
            QSKIP(PyFtpdServer::UnavailableMessage());
        StartPyftpd();
        QVERIFY(QDir(Root()).mkpath(QStringLiteral("full")));
        QVERIFY(WriteFile(Root(QStringLiteral("full/inside.txt")), "x"));
        QVERIFY(QDir(Root()).mkpath(QStringLiteral("empty")));
        TVexFtp ftp;
        FtpEventRecorder log(ftp);
        QVERIFY(ConnectToPyftpd(ftp, log));
        ftp.ChangeDirectory(QStringLiteral("full"));
        QVERIFY(log.WaitFor(QStringLiteral("OnDirectoryChanged")));
        ftp.ListDirectory();
        QVERIFY(log.WaitFor(QStringLiteral("OnListingDone")));
        ftp.ChangeToParent();
        QVERIFY(log.WaitFor(QStringLiteral("OnDirectoryChanged"), 2));
        log.Clear();
        const QString fullCache = CacheFileName(ftp.Server(), ftp.Username(), QStringLiteral("/full"), false, ftp.Port());
        QVERIFY(QFile::exists(fullCache));

        // A folder that is not empty is refused; the list goes on.
        ftp.RemoveDirectories({QStringLiteral("full"), QStringLiteral("empty")});
        QVERIFY(log.WaitFor(QStringLiteral("OnDirectoryDeleted")));
        QCOMPARE(log.Outcomes(), (QStringList{QStringLiteral("OnFtpBusy"), QStringLiteral("ftpeAccessDenied"), QStringLiteral("OnFtpReady"),
                                          QStringLiteral("OnDirectoryDeleted")}));
        VerifyErrorTexts(log);
        QVERIFY(QFile::exists(fullCache));
        QVERIFY(QFileInfo(Root(QStringLiteral("full"))).isDir());
        QVERIFY(!QFileInfo::exists(Root(QStringLiteral("empty"))));
    }

    void deleteFiles_data()
    {
        QTest::addColumn<QStringList>("onDisk");
        QTest::addColumn<QStringList>("names");
        QTest::addColumn<QStringList>("expectedEvents");

        QTest::newRow("three files")
            << QStringList{QStringLiteral("a.txt"), QStringLiteral("b b.txt"), QStringLiteral("c.txt")}
            << QStringList{QStringLiteral("a.txt"), QStringLiteral("b b.txt"), QStringLiteral("c.txt")}
            << QStringList{QStringLiteral("OnFtpBusy"), QStringLiteral("OnFtpReady"), QStringLiteral("OnFileDeleted")};
        QTest::newRow("middle one missing, the list goes on")
            << QStringList{QStringLiteral("a.txt"), QStringLiteral("c.txt")}
            << QStringList{QStringLiteral("a.txt"), QStringLiteral("missing.txt"), QStringLiteral("c.txt")}
            << QStringList{QStringLiteral("OnFtpBusy"), QStringLiteral("ftpeAccessDenied"), QStringLiteral("OnFtpReady"),
                           QStringLiteral("OnFileDeleted")};
        QTest::newRow("empty list")
            << QStringList{} << QStringList{}
            << QStringList{QStringLiteral("OnFtpBusy"), QStringLiteral("OnFtpReady"), QStringLiteral("OnFileDeleted")};
    }

    void deleteFiles()
    {
        QFETCH(QStringList, onDisk);
        QFETCH(QStringList, names);
        QFETCH(QStringList, expectedEvents);
        if (!PyFtpdServer::Available())
            QSKIP(PyFtpdServer::UnavailableMessage());
        StartPyftpd();
        for (const QString &name : onDisk)
            QVERIFY(WriteFile(Root(name), name.toUtf8()));
        QVERIFY(WriteFile(Root(QStringLiteral("untouched.txt")), "stay"));
        TVexFtp ftp;
        FtpEventRecorder log(ftp);
        QVERIFY(ConnectToPyftpd(ftp, log));
        ftp.ListDirectory();
        QVERIFY(log.WaitFor(QStringLiteral("OnListingDone")));
        log.Clear();
        const QString rootCache = CacheFileName(ftp.Server(), ftp.Username(), QStringLiteral("/"), false, ftp.Port());

        ftp.DeleteFiles(names);
        QVERIFY(log.WaitFor(QStringLiteral("OnFileDeleted")));
        FtpEventRecorder::Settle();
        QStringList dele;
        for (const QString &name : names)
            dele.append(QLatin1String("DELE ") + name);
        QCOMPARE(log.Commands(), dele);
        QCOMPARE(log.Outcomes(), expectedEvents);
        VerifyErrorTexts(log);
        for (const QString &name : onDisk)
            QVERIFY2(!QFileInfo::exists(Root(name)), qPrintable(name));
        QVERIFY(QFileInfo::exists(Root(QStringLiteral("untouched.txt"))));
        // Deleting files leaves the cached listing alone.
        QVERIFY(QFile::exists(rootCache));
    }

    void renameFile()
    {
        if (!PyFtpdServer::Available())
            QSKIP(PyFtpdServer::UnavailableMessage());
        StartPyftpd();
        QVERIFY(WriteFile(Root(QStringLiteral("old name.txt")), "contents"));
        TVexFtp ftp;
        FtpEventRecorder log(ftp);
        QVERIFY(ConnectToPyftpd(ftp, log));

        ftp.Rename(QStringLiteral("old name.txt"), QStringLiteral("new name.txt"));
        QVERIFY(log.WaitFor(QStringLiteral("OnFileRenamed")));
        QCOMPARE(log.Commands(), (QStringList{QStringLiteral("RNFR old name.txt"), QStringLiteral("Rnto new name.txt")}));
        QCOMPARE(log.Outcomes(), (QStringList{QStringLiteral("OnFtpBusy"), QStringLiteral("OnFtpReady"), QStringLiteral("OnFileRenamed")}));
        QVERIFY(!QFileInfo::exists(Root(QStringLiteral("old name.txt"))));
        QFile renamed(Root(QStringLiteral("new name.txt")));
        QVERIFY(renamed.open(QIODevice::ReadOnly));
        QCOMPARE(renamed.readAll(), QByteArray("contents"));
    }

    void renameThatDoesNothing_data()
    {
        QTest::addColumn<QString>("oldName");
        QTest::addColumn<QString>("newName");
        QTest::newRow("empty old name") << QString() << QStringLiteral("b.txt");
        QTest::newRow("equal names") << QStringLiteral("a.txt") << QStringLiteral("a.txt");
        QTest::newRow("both empty") << QString() << QString();
    }

    void renameThatDoesNothing()
    {
        QFETCH(QString, oldName);
        QFETCH(QString, newName);
        if (!PyFtpdServer::Available())
            QSKIP(PyFtpdServer::UnavailableMessage());
        TVexFtp ftp;
        FtpEventRecorder log(ftp);
        QVERIFY(ConnectToReadOnlySite(ftp, log));

        ftp.Rename(oldName, newName);
        QVERIFY(!ftp.Busy());
        // Anything the rename had posted would come before this NOOP's events.
        ftp.SendCommand(QStringLiteral("NOOP"));
        QVERIFY(log.WaitFor(QStringLiteral("OnFtpReady")));
        FtpEventRecorder::Settle();
        QCOMPARE(log.Outcomes(), (QStringList{QStringLiteral("OnFtpBusy"), QStringLiteral("OnFtpReady")}));
        QCOMPARE(log.Commands(), QStringList{QStringLiteral("NOOP")});
        QVERIFY(QFileInfo::exists(ReadOnlyRoot(QStringLiteral("a.txt"))));
    }

    void refusedCwdEmptiesCurrentDirectory()
    {
        if (!PyFtpdServer::Available())
            QSKIP(PyFtpdServer::UnavailableMessage());
        TVexFtp ftp;
        FtpEventRecorder log(ftp);
        QVERIFY(ConnectToReadOnlySite(ftp, log));
        QCOMPARE(ftp.CurrentDirectory(), QStringLiteral("/"));

        ftp.ChangeDirectory(QStringLiteral("no such folder"));
        QVERIFY(log.WaitFor(QStringLiteral("OnDirectoryChanged")));
        QCOMPARE(ftp.CurrentDirectory(), QString());
        QCOMPARE(log.Commands(), QStringList{QStringLiteral("CWD no such folder")});
        QCOMPARE(log.Outcomes(), (QStringList{QStringLiteral("OnFtpBusy"), QStringLiteral("ftpeAccessDenied"), QStringLiteral("OnFtpReady"),
                                          QStringLiteral("OnDirectoryChanged")}));
        QCOMPARE(log.ErrorTexts().value(0), AccessDeniedText);
        QVERIFY(ftp.Connected());
        QVERIFY(ftp.LoggedIn());
    }

    void sendCommand_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("expectedCommands");
        QTest::addColumn<QStringList>("expectedEvents");

        QTest::newRow("NOOP") << QStringLiteral("NOOP") << QStringList{QStringLiteral("NOOP")}
                              << QStringList{QStringLiteral("OnFtpBusy"), QStringLiteral("OnFtpReady")};
        QTest::newRow("empty: nothing sent, one ready") << QString() << QStringList{}
                              << QStringList{QStringLiteral("OnFtpReady")};
        QTest::newRow("multi-line reply") << QStringLiteral("STAT") << QStringList{QStringLiteral("STAT")}
                              << QStringList{QStringLiteral("OnFtpBusy"), QStringLiteral("OnFtpReady")};
        QTest::newRow("unknown command") << QStringLiteral("XYZZY plugh") << QStringList{QStringLiteral("XYZZY plugh")}
                              << QStringList{QStringLiteral("OnFtpBusy"), QStringLiteral("ftpeAccessDenied"), QStringLiteral("OnFtpReady")};
        QTest::newRow("line break: refused, nothing sent") << QStringLiteral("NOOP\r\nDELE a.txt") << QStringList{}
                              << QStringList{QStringLiteral("OnFtpBusy"), QStringLiteral("ftpeAccessDenied"), QStringLiteral("OnFtpReady")};
    }

    void sendCommand()
    {
        QFETCH(QString, text);
        QFETCH(QStringList, expectedCommands);
        QFETCH(QStringList, expectedEvents);
        if (!PyFtpdServer::Available())
            QSKIP(PyFtpdServer::UnavailableMessage());
        TVexFtp ftp;
        FtpEventRecorder log(ftp);
        QVERIFY(ConnectToReadOnlySite(ftp, log));

        ftp.SendCommand(text);
        QVERIFY(log.WaitFor(QStringLiteral("OnFtpReady")));
        FtpEventRecorder::Settle();
        QCOMPARE(log.Commands(), expectedCommands);
        QCOMPARE(log.Outcomes(), expectedEvents);
        VerifyErrorTexts(log);
        QVERIFY(!ftp.Busy());
        QVERIFY(QFileInfo::exists(ReadOnlyRoot(QStringLiteral("a.txt"))));
        QVERIFY(ftp.Connected());
    }

    void sendCommandWithCallersHandler()
    {
        if (!PyFtpdServer::Available())
            QSKIP(PyFtpdServer::UnavailableMessage());
        TVexFtp ftp;
        FtpEventRecorder log(ftp);
        QVERIFY(ConnectToReadOnlySite(ftp, log));

        QStringList replies;
        ftp.SendCommand(QStringLiteral("SYST"), [&](const QString &reply) {
            replies.append(reply);
            QVERIFY(ftp.Busy()); // the operation runs until the handler ends it
            ftp.EndCommand();
        });
        QVERIFY(log.WaitFor(QStringLiteral("OnFtpReady")));
        QCOMPARE(replies.size(), 1);
        QVERIFY2(replies.first().startsWith(QLatin1String("215 ")), qPrintable(replies.first()));
        QCOMPARE(log.Outcomes(), (QStringList{QStringLiteral("OnFtpBusy"), QStringLiteral("OnFtpReady")}));
        QVERIFY(!ftp.Busy());

        // A stray EndCommand neither posts a ready while idle nor ends
        // another operation early.
        log.Clear();
        ftp.EndCommand();
        ftp.ChangeDirectory(QStringLiteral("docs"));
        ftp.EndCommand();
        QVERIFY(log.WaitFor(QStringLiteral("OnDirectoryChanged")));
        FtpEventRecorder::Settle();
        QCOMPARE(log.Outcomes(), (QStringList{QStringLiteral("OnFtpBusy"), QStringLiteral("OnFtpReady"), QStringLiteral("OnDirectoryChanged")}));
        QCOMPARE(ftp.CurrentDirectory(), QStringLiteral("/docs"));
    }

    void rawCommandForgetsTransferType()
    {
        if (!PyFtpdServer::Available())
            QSKIP(PyFtpdServer::UnavailableMessage());
        TVexFtp ftp;
        FtpEventRecorder log(ftp);
        QVERIFY(ConnectToReadOnlySite(ftp, log));
        ftp.SetCache(false);

        ftp.ListDirectory();
        QVERIFY(log.WaitFor(QStringLiteral("OnListingDone")));
        ftp.ListDirectory();
        QVERIFY(log.WaitFor(QStringLiteral("OnListingDone"), 2));
        ftp.SendCommand(QStringLiteral("TYPE I"));
        QVERIFY(log.WaitFor(QStringLiteral("OnFtpReady"), 3));
        ftp.ListDirectory();
        QVERIFY(log.WaitFor(QStringLiteral("OnListingDone"), 3));
        // The second listing trusts the remembered "A"; after the user's own
        // TYPE the client says "A" again.
        QCOMPARE(log.Commands().count(QStringLiteral("TYPE A")), 2);
        QCOMPARE(log.Commands().indexOf(QStringLiteral("TYPE A"), 1), log.Commands().indexOf(QStringLiteral("TYPE I")) + 1);
    }

    // --- Scripted replies -------------------------------------------------------

    void cwdReplies_data()
    {
        QTest::addColumn<bool>("parent");
        QTest::addColumn<QString>("path");
        QTest::addColumn<int>("serverType");
        QTest::addColumn<FtpScript>("script");
        QTest::addColumn<QString>("expectedDirectory");
        QTest::addColumn<QStringList>("expectedCommands");
        QTest::addColumn<QStringList>("expectedEvents");

        const QStringList done{QStringLiteral("OnFtpBusy"), QStringLiteral("OnFtpReady"), QStringLiteral("OnDirectoryChanged")};
        const auto failedWith = [](int code) {
            return QStringList{QStringLiteral("OnFtpBusy"), FtpErrorName(FtpError(code)), QStringLiteral("OnFtpReady"),
                               QStringLiteral("OnDirectoryChanged")};
        };

        QTest::newRow("250 with quoted path: no PWD")
            << false << QStringLiteral("pub") << int(ftpstUNIX)
            << FtpScript(ScriptedLogin().expect(QStringLiteral("CWD pub"),
                                                QStringLiteral("250 \"/pub\" is the current directory.")))
            << QStringLiteral("/pub") << QStringList{QStringLiteral("CWD pub")} << done;
        QTest::newRow("250 without quotes: PWD follows")
            << false << QStringLiteral("pub") << int(ftpstUNIX)
            << FtpScript(ScriptedLogin()
                             .expect(QStringLiteral("CWD pub"), QStringLiteral("250 CWD command successful."))
                             .expect(QStringLiteral("PWD"), QStringLiteral("257 \"/pub\" is current directory.")))
            << QStringLiteral("/pub") << QStringList{QStringLiteral("CWD pub"), QStringLiteral("PWD")} << done;
        QTest::newRow("quoted path with blanks, then a comment")
            << false << QStringLiteral("my docs") << int(ftpstUNIX)
            << FtpScript(ScriptedLogin().expect(QStringLiteral("CWD my docs"),
                                                QStringLiteral("250 \"/my docs\" is current; \"quoted\" comment")))
            << QStringLiteral("/my docs") << QStringList{QStringLiteral("CWD my docs")} << done;
        QTest::newRow("550: current directory emptied")
            << false << QStringLiteral("nope") << int(ftpstUNIX)
            << FtpScript(ScriptedLogin().expect(QStringLiteral("CWD nope"),
                                                QStringLiteral("550 nope: No such file or directory.")))
            << QString() << QStringList{QStringLiteral("CWD nope")} << failedWith(ftpeAccessDenied);
        QTest::newRow("PWD refused after quote-less CWD")
            << false << QStringLiteral("pub") << int(ftpstUNIX)
            << FtpScript(ScriptedLogin()
                             .expect(QStringLiteral("CWD pub"), QStringLiteral("250 OK."))
                             .expect(QStringLiteral("PWD"), QStringLiteral("550 PWD not allowed.")))
            << QStringLiteral("/") << QStringList{QStringLiteral("CWD pub"), QStringLiteral("PWD")}
            << failedWith(ftpeCommandFailed);
        QTest::newRow("Serv-U PWD loses its drive prefix")
            << false << QStringLiteral("pub") << int(ftpstServU)
            << FtpScript(ScriptedLogin()
                             .expect(QStringLiteral("CWD pub"), QStringLiteral("250 Directory changed."))
                             .expect(QStringLiteral("PWD"), QStringLiteral("257 \"/C:/pub\" is current directory.")))
            << QStringLiteral("/pub") << QStringList{QStringLiteral("CWD pub"), QStringLiteral("PWD")} << done;
        QTest::newRow("UNIX PWD keeps what looks like a drive")
            << false << QStringLiteral("pub") << int(ftpstUNIX)
            << FtpScript(ScriptedLogin()
                             .expect(QStringLiteral("CWD pub"), QStringLiteral("250 Directory changed."))
                             .expect(QStringLiteral("PWD"), QStringLiteral("257 \"/C:/pub\" is current directory.")))
            << QStringLiteral("/C:/pub") << QStringList{QStringLiteral("CWD pub"), QStringLiteral("PWD")} << done;
        QTest::newRow("CDUP with quoted path")
            << true << QString() << int(ftpstUNIX)
            << FtpScript(ScriptedLogin().expect(QStringLiteral("CDUP"), QStringLiteral("250 \"/top\" is current.")))
            << QStringLiteral("/top") << QStringList{QStringLiteral("CDUP")} << done;
        QTest::newRow("CDUP 200 without quotes: PWD follows")
            << true << QString() << int(ftpstUNIX)
            << FtpScript(ScriptedLogin()
                             .expect(QStringLiteral("CDUP"), QStringLiteral("200 CDUP command successful."))
                             .expect(QStringLiteral("PWD"), QStringLiteral("257 \"/top\"")))
            << QStringLiteral("/top") << QStringList{QStringLiteral("CDUP"), QStringLiteral("PWD")} << done;
        QTest::newRow("CDUP refused")
            << true << QString() << int(ftpstUNIX)
            << FtpScript(ScriptedLogin().expect(QStringLiteral("CDUP"), QStringLiteral("550 Cannot go up.")))
            << QString() << QStringList{QStringLiteral("CDUP")} << failedWith(ftpeAccessDenied);
    }

    void cwdReplies()
    {
        QFETCH(bool, parent);
        QFETCH(QString, path);
        QFETCH(int, serverType);
        QFETCH(FtpScript, script);
        QFETCH(QString, expectedDirectory);
        QFETCH(QStringList, expectedCommands);
        QFETCH(QStringList, expectedEvents);

        TVexFtp ftp;
        FtpEventRecorder log(ftp);
        QVERIFY(ConnectToScript(ftp, log, script.expectClose()));
        ftp.SetServerType(TVexFtpServerType(serverType));
        if (parent)
            ftp.ChangeToParent();
        else
            ftp.ChangeDirectory(path);
        QVERIFY(log.WaitFor(QStringLiteral("OnDirectoryChanged")));
        FtpEventRecorder::Settle();
        QCOMPARE(ftp.CurrentDirectory(), expectedDirectory);
        QCOMPARE(log.Commands(), expectedCommands);
        QCOMPARE(log.Outcomes(), expectedEvents);
        VerifyErrorTexts(log);
        QVERIFY(ftp.Connected()); // a refusal outside login is not fatal
        FinishScript(ftp);
    }

    void renameReplies_data()
    {
        QTest::addColumn<FtpScript>("script");
        QTest::addColumn<QStringList>("expectedCommands");
        QTest::addColumn<QStringList>("expectedEvents");

        QTest::newRow("RNFR 350, RNTO 250")
            << FtpScript(ScriptedLogin()
                             .expect(QStringLiteral("RNFR a b.txt"), QStringLiteral("350 Ready for destination name."))
                             .expect(QStringLiteral("Rnto c d.txt"), QStringLiteral("250 Renaming ok.")))
            << QStringList{QStringLiteral("RNFR a b.txt"), QStringLiteral("Rnto c d.txt")}
            << QStringList{QStringLiteral("OnFtpBusy"), QStringLiteral("OnFtpReady"), QStringLiteral("OnFileRenamed")};
        QTest::newRow("RNFR refused: no Rnto")
            << FtpScript(ScriptedLogin().expect(QStringLiteral("RNFR a b.txt"), QStringLiteral("550 No such file.")))
            << QStringList{QStringLiteral("RNFR a b.txt")}
            << QStringList{QStringLiteral("OnFtpBusy"), QStringLiteral("ftpeAccessDenied"), QStringLiteral("OnFtpReady"),
                           QStringLiteral("OnFileRenamed")};
        QTest::newRow("RNFR answered 250 is no go-ahead")
            << FtpScript(ScriptedLogin().expect(QStringLiteral("RNFR a b.txt"), QStringLiteral("250 odd")))
            << QStringList{QStringLiteral("RNFR a b.txt")}
            << QStringList{QStringLiteral("OnFtpBusy"), QStringLiteral("ftpeAccessDenied"), QStringLiteral("OnFtpReady"),
                           QStringLiteral("OnFileRenamed")};
        QTest::newRow("RNTO refused")
            << FtpScript(ScriptedLogin()
                             .expect(QStringLiteral("RNFR a b.txt"), QStringLiteral("350 Ready."))
                             .expect(QStringLiteral("Rnto c d.txt"), QStringLiteral("553 Not allowed.")))
            << QStringList{QStringLiteral("RNFR a b.txt"), QStringLiteral("Rnto c d.txt")}
            << QStringList{QStringLiteral("OnFtpBusy"), QStringLiteral("ftpeAccessDenied"), QStringLiteral("OnFtpReady"),
                           QStringLiteral("OnFileRenamed")};
    }

    void renameReplies()
    {
        QFETCH(FtpScript, script);
        QFETCH(QStringList, expectedCommands);
        QFETCH(QStringList, expectedEvents);

        TVexFtp ftp;
        FtpEventRecorder log(ftp);
        QVERIFY(ConnectToScript(ftp, log, script.expectClose()));
        ftp.Rename(QStringLiteral("a b.txt"), QStringLiteral("c d.txt"));
        QVERIFY(log.WaitFor(QStringLiteral("OnFileRenamed")));
        FtpEventRecorder::Settle();
        QCOMPARE(log.Commands(), expectedCommands);
        QCOMPARE(log.Outcomes(), expectedEvents);
        VerifyErrorTexts(log);
        FinishScript(ftp);
    }

    void rawCommandWaitsThroughPreliminaryReply()
    {
        TVexFtp ftp;
        FtpEventRecorder log(ftp);
        QVERIFY(ConnectToScript(ftp, log,
                                ScriptedLogin()
                                    .expect(QStringLiteral("SITE REINDEX"), QStringLiteral("150 Working on it."))
                                    .delay(100)
                                    .send(QStringLiteral("200 Done."))
                                    .expect(QStringLiteral("NOOP"), QStringLiteral("200 NOOP ok."))
                                    .expectClose()));
        ftp.SendCommand(QStringLiteral("SITE REINDEX"));
        QVERIFY(log.WaitFor(QStringLiteral("OnFtpReady")));
        // The next command goes out only after the final reply.
        ftp.SendCommand(QStringLiteral("NOOP"));
        QVERIFY(log.WaitFor(QStringLiteral("OnFtpReady"), 2));
        FtpEventRecorder::Settle();
        QCOMPARE(log.Outcomes(), (QStringList{QStringLiteral("OnFtpBusy"), QStringLiteral("OnFtpReady"), QStringLiteral("OnFtpBusy"),
                                          QStringLiteral("OnFtpReady")}));
        FinishScript(ftp);
    }

    void synchronousModeWaits_data()
    {
        QTest::addColumn<QString>("operation");
        QTest::addColumn<FtpScript>("script");
        QTest::addColumn<QStringList>("expectedEvents");
        QTest::addColumn<QString>("expectedDirectory");

        QTest::newRow("ChangeDirectory")
            << QStringLiteral("cwd")
            << FtpScript(ScriptedLogin()
                             .expect(QStringLiteral("CWD pub"))
                             .delay(200)
                             .send(QStringLiteral("250 OK."))
                             .expect(QStringLiteral("PWD"))
                             .delay(100)
                             .send(QStringLiteral("257 \"/pub\"")))
            << QStringList{QStringLiteral("OnFtpBusy"), QStringLiteral("OnFtpReady"), QStringLiteral("OnDirectoryChanged")}
            << QStringLiteral("/pub");
        QTest::newRow("ChangeToParent")
            << QStringLiteral("cdup")
            << FtpScript(ScriptedLogin().expect(QStringLiteral("CDUP")).delay(200).send(QStringLiteral("250 \"/up\"")))
            << QStringList{QStringLiteral("OnFtpBusy"), QStringLiteral("OnFtpReady"), QStringLiteral("OnDirectoryChanged")}
            << QStringLiteral("/up");
        QTest::newRow("CreateDirectory")
            << QStringLiteral("mkd")
            << FtpScript(ScriptedLogin().expect(QStringLiteral("MKD new")).delay(200).send(QStringLiteral("257 \"/new\" created")))
            << QStringList{QStringLiteral("OnFtpBusy"), QStringLiteral("OnFtpReady"), QStringLiteral("OnDirectoryCreated")}
            << QStringLiteral("/");
        QTest::newRow("Rename")
            << QStringLiteral("rename")
            << FtpScript(ScriptedLogin()
                             .expect(QStringLiteral("RNFR a"), QStringLiteral("350 go on"))
                             .expect(QStringLiteral("Rnto b"))
                             .delay(200)
                             .send(QStringLiteral("250 renamed")))
            << QStringList{QStringLiteral("OnFtpBusy"), QStringLiteral("OnFtpReady"), QStringLiteral("OnFileRenamed")}
            << QStringLiteral("/");
        QTest::newRow("ChangeDirectory refused before sending")
            << QStringLiteral("cwd line break") << FtpScript(ScriptedLogin())
            << QStringList{QStringLiteral("OnFtpBusy"), QStringLiteral("ftpeBadRemoteName"), QStringLiteral("OnFtpReady"),
                           QStringLiteral("OnDirectoryChanged")}
            << QStringLiteral("/");
    }

    void synchronousModeWaits()
    {
        QFETCH(QString, operation);
        QFETCH(FtpScript, script);
        QFETCH(QStringList, expectedEvents);
        QFETCH(QString, expectedDirectory);

        TVexFtp ftp;
        FtpEventRecorder log(ftp);
        QVERIFY(ConnectToScript(ftp, log, script.expectClose()));
        ftp.SetAsynchronous(false);
        QVERIFY(!ftp.Asynchronous());
        if (operation == QLatin1String("cwd"))
            ftp.ChangeDirectory(QStringLiteral("pub"));
        else if (operation == QLatin1String("cdup"))
            ftp.ChangeToParent();
        else if (operation == QLatin1String("mkd"))
            ftp.CreateDirectory(QStringLiteral("new"));
        else if (operation == QLatin1String("rename"))
            ftp.Rename(QStringLiteral("a"), QStringLiteral("b"));
        else
            ftp.ChangeDirectory(QStringLiteral("pub\r\nDELE x"));
        // Returned only after the end: everything has happened already.
        QVERIFY(!ftp.Busy());
        QCOMPARE(log.Outcomes(), expectedEvents);
        QCOMPARE(ftp.CurrentDirectory(), expectedDirectory);
        FinishScript(ftp);
    }

    void operationsThatNeverWait_data()
    {
        QTest::addColumn<QString>("operation");
        QTest::addColumn<FtpScript>("script");
        QTest::addColumn<QString>("completion");

        QTest::newRow("SendCommand")
            << QStringLiteral("raw")
            << FtpScript(ScriptedLogin().expect(QStringLiteral("NOOP")).delay(200).send(QStringLiteral("200 ok")))
            << QStringLiteral("OnFtpReady");
        QTest::newRow("ConnectUrl to the same site")
            << QStringLiteral("url")
            << FtpScript(ScriptedLogin().expect(QStringLiteral("CWD /pub/")).delay(200).send(QStringLiteral("250 \"/pub\" ok")))
            << QStringLiteral("OnDirectoryChanged");
    }

    void operationsThatNeverWait()
    {
        QFETCH(QString, operation);
        QFETCH(FtpScript, script);
        QFETCH(QString, completion);

        TVexFtp ftp;
        FtpEventRecorder log(ftp);
        QVERIFY(ConnectToScript(ftp, log, script.expectClose()));
        ftp.SetAsynchronous(false);
        if (operation == QLatin1String("raw"))
            ftp.SendCommand(QStringLiteral("NOOP"));
        else
            ftp.ConnectUrl(QStringLiteral("ftp://%1:%2/pub/").arg(scripted->Host()).arg(scripted->Port()));
        QVERIFY(ftp.Busy());
        QCOMPARE(log.Outcomes(), QStringList{QStringLiteral("OnFtpBusy")});
        QVERIFY(log.WaitFor(completion));
        QVERIFY(!ftp.Busy());
        FinishScript(ftp);
    }

    void listOperationWaitsItemByItem()
    {
        TVexFtp ftp;
        FtpEventRecorder log(ftp);
        QVERIFY(ConnectToScript(ftp, log,
                                ScriptedLogin()
                                    .expect(QStringLiteral("DELE a"))
                                    .delay(100)
                                    .send(QStringLiteral("250 deleted"))
                                    .expect(QStringLiteral("DELE b"))
                                    .delay(100)
                                    .send(QStringLiteral("250 deleted"))
                                    .expectClose()));
        QVERIFY(ftp.Asynchronous());
        ftp.DeleteFiles({QStringLiteral("a"), QStringLiteral("b")});
        // Every item has had its exchange before the call returns; the one
        // ready message is still to come.
        QCOMPARE(scripted->ReceivedCommands().mid(scripted->ReceivedCommands().indexOf(QStringLiteral("DELE a"))),
                 (QStringList{QStringLiteral("DELE a"), QStringLiteral("DELE b")}));
        QCOMPARE(log.Outcomes(), QStringList{QStringLiteral("OnFtpBusy")});
        QVERIFY(ftp.Busy());
        // Until that message has run, the client refuses a new operation.
        ftp.ChangeToParent();
        QCOMPARE(log.Texts(ftpiBusy), QStringList{QStringLiteral("Le composant est occupé")});
        QVERIFY(log.WaitFor(QStringLiteral("OnFileDeleted")));
        QCOMPARE(log.Outcomes(), (QStringList{QStringLiteral("OnFtpBusy"), QStringLiteral("OnFtpReady"), QStringLiteral("OnFileDeleted")}));
        FinishScript(ftp);
    }

    void emptyCommandWhileBusyLeavesOperationAlone()
    {
        TVexFtp ftp;
        FtpEventRecorder log(ftp);
        QVERIFY(ConnectToScript(ftp, log,
                                ScriptedLogin()
                                    .expect(QStringLiteral("CWD pub"))
                                    .delay(200)
                                    .send(QStringLiteral("250 \"/pub\""))
                                    .expectClose()));
        ftp.ChangeDirectory(QStringLiteral("pub"));
        ftp.SendCommand(QString());
        QCOMPARE(log.Texts(ftpiBusy), QStringList{QStringLiteral("Le composant est occupé")});
        QVERIFY(log.WaitFor(QStringLiteral("OnDirectoryChanged")));
        FtpEventRecorder::Settle();
        QCOMPARE(log.Outcomes(), (QStringList{QStringLiteral("OnFtpBusy"), QStringLiteral("OnFtpReady"), QStringLiteral("OnDirectoryChanged")}));
        QCOMPARE(ftp.CurrentDirectory(), QStringLiteral("/pub"));
        FinishScript(ftp);
    }

    void commandsRefusedWhenDisconnected()
    {
        TVexFtp ftp;
        FtpEventRecorder log(ftp);
        ftp.ChangeDirectory(QStringLiteral("pub"));
        ftp.ChangeToParent();
        ftp.CreateDirectory(QStringLiteral("x"));
        ftp.Rename(QStringLiteral("a"), QStringLiteral("b"));
        ftp.DeleteFiles({QStringLiteral("a")});
        ftp.RemoveDirectories({QStringLiteral("a")});
        ftp.SendCommand(QStringLiteral("NOOP"));
        FtpEventRecorder::Settle();
        QCOMPARE(log.Texts(ftpiDisconnected), QStringList(7, QStringLiteral("Non connecté au serveur")));
        QCOMPARE(log.Outcomes(), QStringList());
        QCOMPARE(log.Commands(), QStringList());
    }
};

QTEST_GUILESS_MAIN(TestFtpCommands)
#include "tst_ftpcommands.moc"
