// The login dialogue: direct and through each proxy scheme, questions for
// missing credentials, the probes (SYST, REST), the starting directory, and
// a real server (pyftpdlib).
#include "Ftp.h"
#include "FtpCacheTesting.h"
#include "FtpClientTesting.h"
#include "FtpEventRecorder.h"
#include "PyFtpdServer.h"
#include "ScriptedFtpServer.h"

#include <QDir>
#include <QTemporaryDir>
#include <QtTest>

using namespace FtpTesting;

namespace {

constexpr int WaitMs = 5000;
const QString Target = QStringLiteral("ftp.target.example");
const QString Masked = QStringLiteral("PASS (pas besoin de le savoir) :-P\r\n");
const QString Guest = TVexFtp::DefaultGuestPassword();

// The steps after a successful USER/PASS with auto-detection: SYST (UNIX),
// TYPE I, REST 100 and REST 0 accepted, PWD "/".
FtpScript &AppendProbes(FtpScript &script)
{
    return script.expect("SYST", "215 UNIX Type: L8")
        .expect("TYPE I", "200 Type set to I").expect("REST 100", "350 Restarting at 100")
        .expect("REST 0", "350 Restarting at 0")
        .expect("PWD", RootPwdReply);
}

FtpScript &AppendUserPass(FtpScript &script)
{
    return script.expect("USER anonymous", "331 Password required").expect("PASS " + Guest, "230 Logged in");
}

void UseProxy(TVexFtp &ftp, const ScriptedFtpServer &proxy, TVexFtpProxyType type, quint16 targetPort)
{
    PointAt(ftp, proxy);
    ftp.SetServer(Target);
    ftp.SetPort(targetPort);
    ftp.SetProxyServer(proxy.Host());
    ftp.SetProxyPort(proxy.Port());
    ftp.SetProxyType(type);
    ftp.SetProxyUsername("proxyuser");
    ftp.SetProxyPassword("proxypw");
}

// The commands the client sent, as its ftpiCommand events show them.
QStringList Commands(const FtpEventRecorder &rec)
{
    QStringList commands;
    for (QString text : rec.Texts(ftpiCommand)) {
        text.chop(2); // CR LF
        commands << text;
    }
    return commands;
}

} // namespace

Q_DECLARE_METATYPE(TVexFtpProxyType)
Q_DECLARE_METATYPE(TVexFtpServerType)
Q_DECLARE_METATYPE(FtpError)

class TstFtpLogin : public QObject
{
    Q_OBJECT

    QTemporaryDir scratch;

private slots:
    void initTestCase()
    {
        QVERIFY(scratch.isValid());
        SetListCacheDirectoryForTesting(scratch.path() + "/");
    }

    // ------------------------------------------------------------------
    // The first command of each scheme

    void firstCommand_data()
    {
        QTest::addColumn<TVexFtpProxyType>("proxyType");
        QTest::addColumn<bool>("viaProxy");
        QTest::addColumn<quint16>("targetPort");
        QTest::addColumn<QString>("firstCommand");
        QTest::addColumn<FtpError>("errorOn500");

        QTest::newRow("proxyNone") << proxyNone << false << quint16(0) << "USER anonymous" << ftpeLoginRefused;
        QTest::newRow("proxyNone with a proxy server set")
            << proxyNone << true << quint16(0) << "USER anonymous" << ftpeLoginRefused;
        QTest::newRow("proxyHost without a proxy server goes direct")
            << proxyHost << false << quint16(0) << "USER anonymous" << ftpeLoginRefused;
        for (quint16 port : {quint16(21), quint16(2121)}) {
            const QString p = QString::number(port);
            const QString hostPort = port == 21 ? Target : Target + ":" + p;
            QTest::addRow("proxyHost, port %d", port)
                << proxyHost << true << port << "HOST " + Target << ftpeServerRefused;
            QTest::addRow("proxyHostUser, port %d", port)
                << proxyHostUser << true << port << "USER " + hostPort + "!anonymous" << ftpeLoginRefused;
            QTest::addRow("proxyOpen, port %d", port)
                << proxyOpen << true << port << "OPEN " + Target << ftpeServerRefused;
            QTest::addRow("proxySite, port %d", port)
                << proxySite << true << port << "USER proxyuser" << ftpeLoginRefused;
            QTest::addRow("proxyUserSite, port %d", port)
                << proxyUserSite << true << port << "USER anonymous@" + hostPort << ftpeLoginRefused;
        }
    }

    void firstCommand()
    {
        QFETCH(TVexFtpProxyType, proxyType);
        QFETCH(bool, viaProxy);
        QFETCH(quint16, targetPort);
        QFETCH(QString, firstCommand);
        QFETCH(FtpError, errorOn500);

        ScriptedFtpServer server;
        QVERIFY(server.Start(FtpScript().send(Welcome).expect(firstCommand, "500 refused").expectClose()));
        TVexFtp ftp;
        FtpEventRecorder rec(ftp);
        if (viaProxy) {
            UseProxy(ftp, server, proxyType, targetPort);
        } else {
            PointAt(ftp, server);
            ftp.SetProxyType(proxyType);
        }
        if (viaProxy && proxyType == proxyNone) {
            // A proxy server alone changes nothing: the client goes to Server.
            ftp.SetServer(server.Host());
            ftp.SetPort(server.Port());
        }
        ftp.Login();
        QTRY_COMPARE_WITH_TIMEOUT(rec.Count("OnFtpReady"), 1, WaitMs);
        QCOMPARE(Commands(rec).value(0), firstCommand);
        QCOMPARE(rec.Errors(), QList<FtpError>{errorOn500});
        QCOMPARE(rec.CountPrefix("ftpiResolving"), 0); // the target is never looked up
        if (viaProxy && proxyType != proxyNone) {
            // Past the welcome, Server and Port name the target again.
            QCOMPARE(ftp.Server(), Target);
            QCOMPARE(ftp.Port(), targetPort);
        }
        if (!viaProxy)
            QCOMPARE(ftp.ProxyType(), proxyNone);
        QTRY_VERIFY2_WITH_TIMEOUT(server.Finished(), qPrintable(server.Status()), WaitMs);
        QCOMPARE(server.Mismatches(), QStringList());
    }

    // ------------------------------------------------------------------
    // Whole dialogues through a proxy

    void proxyDialogue_data()
    {
        QTest::addColumn<TVexFtpProxyType>("proxyType");
        QTest::addColumn<FtpScript>("script");

        FtpScript host = FtpScript().send(Welcome).expect("HOST " + Target, "330 Host accepted, send USER");
        QTest::newRow("proxyHost") << proxyHost << AppendProbes(AppendUserPass(host));
        FtpScript open = FtpScript().send(Welcome).expect("OPEN " + Target, "220 Connected to " + Target);
        QTest::newRow("proxyOpen") << proxyOpen << AppendProbes(AppendUserPass(open));
        FtpScript site = FtpScript()
                             .send(Welcome)
                             .expect("USER proxyuser", "331 Proxy password please")
                             .expect("PASS proxypw", "230 Proxy login ok")
                             .expect("SITE " + Target, "200 Connected to " + Target);
        QTest::newRow("proxySite") << proxySite << AppendProbes(AppendUserPass(site));
        FtpScript siteNoPass = FtpScript()
                                   .send(Welcome)
                                   .expect("USER proxyuser", "230 Proxy login ok")
                                   .expect("SITE " + Target, "220 Connected to " + Target);
        QTest::newRow("proxySite, proxy user without password") << proxySite
                                                                << AppendProbes(AppendUserPass(siteNoPass));
        FtpScript hostUser = FtpScript()
                                 .send(Welcome)
                                 .expect("USER " + Target + "!anonymous", "331 Password required")
                                 .expect("PASS " + Guest, "230 Logged in");
        QTest::newRow("proxyHostUser") << proxyHostUser << AppendProbes(hostUser);
        FtpScript userSite = FtpScript()
                                 .send(Welcome)
                                 .expect("USER anonymous@" + Target, "331 Password required")
                                 .expect("PASS " + Guest, "230 Logged in");
        QTest::newRow("proxyUserSite") << proxyUserSite << AppendProbes(userSite);
    }

    void proxyDialogue()
    {
        QFETCH(TVexFtpProxyType, proxyType);
        QFETCH(FtpScript, script);
        ScriptedFtpServer server;
        QVERIFY(server.Start(script));
        TVexFtp ftp;
        FtpEventRecorder rec(ftp);
        UseProxy(ftp, server, proxyType, 21);
        ftp.Login();
        QTRY_VERIFY2_WITH_TIMEOUT(ftp.LoggedIn(), qPrintable(server.Status()), WaitMs);
        QCOMPARE(ftp.CurrentDirectory(), QString("/"));
        QCOMPARE(ftp.ServerType(), ftpstUNIX);
        QCOMPARE(ftp.Server(), Target);
        QCOMPARE(ftp.ProxyType(), proxyType);
        QCOMPARE(rec.Errors(), QList<FtpError>());
        QVERIFY(server.Finished());
        QCOMPARE(server.Mismatches(), QStringList());
    }

    // An attempt that never reaches the proxy's welcome leaves Server and Port
    // naming the target, so the next Login goes through the proxy to it.
    void unreachableProxyKeepsTheTarget()
    {
        RawLoopbackSocket deadProxy;
        QVERIFY(deadProxy.Bind());
        ScriptedFtpServer server;
        FtpScript script = FtpScript().send(Welcome).expect("OPEN " + Target, "220 Connected");
        QVERIFY(server.Start(AppendProbes(AppendUserPass(script))));
        TVexFtp ftp;
        FtpEventRecorder rec(ftp);
        UseProxy(ftp, server, proxyOpen, 2121);
        ftp.SetProxyPort(deadProxy.port);
        ftp.Login();
        QTRY_COMPARE_WITH_TIMEOUT(rec.Errors(), QList<FtpError>{ftpeConnectionRefused}, WaitMs);
        QCOMPARE(ftp.Server(), Target);
        QCOMPARE(ftp.Port(), quint16(2121));
        ftp.SetProxyPort(server.Port());
        ftp.Login();
        QTRY_VERIFY2_WITH_TIMEOUT(ftp.LoggedIn(), qPrintable(server.Status()), WaitMs);
        QCOMPARE(ftp.Server(), Target);
        QCOMPARE(ftp.Port(), quint16(2121));
        QCOMPARE(server.Mismatches(), QStringList());
    }

    void proxySiteAsksForMissingCredentials()
    {
        ScriptedFtpServer server;
        FtpScript script = FtpScript()
                               .send(Welcome)
                               .expect("USER asked-user", "331 Proxy password please")
                               .expect("PASS asked-pw", "230 Proxy login ok")
                               .expect("SITE " + Target, "200 Connected");
        AppendUserPass(script);
        QVERIFY(server.Start(AppendProbes(script)));
        TVexFtp ftp;
        FtpEventRecorder rec(ftp);
        UseProxy(ftp, server, proxySite, 21);
        ftp.SetProxyUsername("");
        ftp.SetProxyPassword("");
        rec.Answers[needUsername] = "asked-user";
        rec.Answers[needPassword] = "asked-pw";
        ftp.Login();
        QTRY_VERIFY2_WITH_TIMEOUT(ftp.LoggedIn(), qPrintable(server.Status()), WaitMs);
        QCOMPARE(rec.Count("needUsername"), 1);
        QCOMPARE(rec.Count("needPassword"), 1);
        QCOMPARE(ftp.ProxyUsername(), QString("asked-user"));
        QCOMPARE(ftp.ProxyPassword(), QString("asked-pw"));
        QCOMPARE(ftp.Username(), QString("anonymous")); // the target login keeps its own
        QCOMPARE(server.Mismatches(), QStringList());
    }

    // ------------------------------------------------------------------
    // Refusals during login are fatal

    void refusals_data()
    {
        QTest::addColumn<TVexFtpProxyType>("proxyType");
        QTest::addColumn<FtpScript>("script");
        QTest::addColumn<FtpError>("error");

        QTest::newRow("welcome 421") << proxyNone << FtpScript().send("421 Too many users") << ftpeServerRefused;
        QTest::newRow("welcome 120") << proxyNone << FtpScript().send("120 Wait 5 minutes") << ftpeServerRefused;
        QTest::newRow("USER 530") << proxyNone
                                  << FtpScript().send(Welcome).expect("USER anonymous", "530 No anonymous")
                                  << ftpeLoginRefused;
        QTest::newRow("PASS 530") << proxyNone
                                  << FtpScript()
                                         .send(Welcome)
                                         .expect("USER anonymous", "331 Password required")
                                         .expect("PASS " + Guest, "530 Login incorrect")
                                  << ftpeLoginRefused;
        QTest::newRow("ACCT 530") << proxyNone
                                  << FtpScript()
                                         .send(Welcome)
                                         .expect("USER anonymous", "331 Password required")
                                         .expect("PASS " + Guest, "332 Account required")
                                         .expect("ACCT ", "530 No such account")
                                  << ftpeLoginRefused;
        FtpScript pwd = FtpScript().send(Welcome);
        AppendUserPass(pwd)
            .expect("SYST", "215 UNIX Type: L8")
            .expect("TYPE I", "200 Type set to I").expect("REST 100", "350 Restarting at 100")
            .expect("REST 0", "350 Restarting at 0")
            .expect("PWD", "550 PWD not allowed");
        QTest::newRow("PWD 550") << proxyNone << pwd << ftpeCommandFailed;
        QTest::newRow("HOST 220 (not 3xx)")
            << proxyHost << FtpScript().send(Welcome).expect("HOST " + Target, "220 Hello") << ftpeServerRefused;
        QTest::newRow("HOST 500") << proxyHost << FtpScript().send(Welcome).expect("HOST " + Target, "500 No")
                                  << ftpeServerRefused;
        QTest::newRow("OPEN 331 (not 2xx)")
            << proxyOpen << FtpScript().send(Welcome).expect("OPEN " + Target, "331 Hm") << ftpeServerRefused;
        QTest::newRow("OPEN 421") << proxyOpen
                                  << FtpScript().send(Welcome).expect("OPEN " + Target, "421 Cannot connect")
                                  << ftpeServerRefused;
        QTest::newRow("proxy USER 530")
            << proxySite << FtpScript().send(Welcome).expect("USER proxyuser", "530 Unknown user")
            << ftpeLoginRefused;
        QTest::newRow("proxy PASS 530") << proxySite
                                        << FtpScript()
                                               .send(Welcome)
                                               .expect("USER proxyuser", "331 Password")
                                               .expect("PASS proxypw", "530 Wrong")
                                        << ftpeLoginRefused;
        QTest::newRow("proxy PASS 332 (only 2xx goes on)")
            << proxySite
            << FtpScript()
                   .send(Welcome)
                   .expect("USER proxyuser", "331 Password")
                   .expect("PASS proxypw", "332 Account")
            << ftpeLoginRefused;
        QTest::newRow("SITE 500") << proxySite
                                  << FtpScript()
                                         .send(Welcome)
                                         .expect("USER proxyuser", "230 ok")
                                         .expect("SITE " + Target, "500 Unknown host")
                                  << ftpeCommandFailed;
        QTest::newRow("SITE 331 (not 2xx)") << proxySite
                                            << FtpScript()
                                                   .send(Welcome)
                                                   .expect("USER proxyuser", "230 ok")
                                                   .expect("SITE " + Target, "331 Hm")
                                            << ftpeCommandFailed;
    }

    void refusals()
    {
        QFETCH(TVexFtpProxyType, proxyType);
        QFETCH(FtpScript, script);
        QFETCH(FtpError, error);
        ScriptedFtpServer server;
        QVERIFY(server.Start(FtpScript(script).expectClose()));
        TVexFtp ftp;
        FtpEventRecorder rec(ftp);
        if (proxyType == proxyNone)
            PointAt(ftp, server);
        else
            UseProxy(ftp, server, proxyType, 21);
        ftp.Login();
        QTRY_COMPARE_WITH_TIMEOUT(rec.Count("OnFtpReady"), 1, WaitMs);
        QCOMPARE(rec.Errors(), QList<FtpError>{error});
        // The error quotes the refusal.
        QVERIFY2(rec.ErrorTexts().value(0).endsWith(" : " + ftp.LastReply()), qPrintable(rec.ErrorTexts().value(0)));
        // The refusal closed the connection; with no attempts left it ends here.
        QCOMPARE(rec.EventsFrom("ftpe").mid(1),
                 (QStringList{"ftpiRetriesExhausted(Retry Finished)", "ftpiDisconnected(Déconnecté)", "OnFtpQuit",
                              "OnFtpReady"}));
        QCOMPARE(rec.CountPrefix("ftpiLoggedIn"), 0);
        QVERIFY(!ftp.LoggedIn());
        QTRY_VERIFY2_WITH_TIMEOUT(server.Finished(), qPrintable(server.Status()), WaitMs);
        QCOMPARE(server.Mismatches(), QStringList());
    }

    // A line break inside a value never reaches the server: the step fails as
    // a refusal would (nothing is smuggled after it).
    void lineBreakInLoginValues_data()
    {
        QTest::addColumn<QString>("property");
        QTest::addColumn<TVexFtpProxyType>("proxyType");
        QTest::addColumn<FtpScript>("script");
        QTest::addColumn<QStringList>("received");
        QTest::addColumn<FtpError>("error"); // ftpeNone: the login succeeds
        QTest::newRow("user name") << "Username" << proxyNone << FtpScript().send(Welcome).expectClose()
                                   << QStringList{} << ftpeLoginRefused;
        QTest::newRow("password") << "Password" << proxyNone
                                  << FtpScript().send(Welcome).expect("USER anonymous", "331 Password").expectClose()
                                  << QStringList{"USER anonymous"} << ftpeLoginRefused;
        QTest::newRow("account") << "Account" << proxyNone
                                 << FtpScript()
                                        .send(Welcome)
                                        .expect("USER anonymous", "331 Password")
                                        .expect("PASS " + Guest, "332 Account")
                                        .expectClose()
                                 << QStringList{"USER anonymous", "PASS " + Guest} << ftpeLoginRefused;
        QTest::newRow("target through HOST") << "Server" << proxyHost << FtpScript().send(Welcome).expectClose()
                                             << QStringList{} << ftpeServerRefused;
        QTest::newRow("target through OPEN") << "Server" << proxyOpen << FtpScript().send(Welcome).expectClose()
                                             << QStringList{} << ftpeServerRefused;
        QTest::newRow("target through SITE") << "Server" << proxySite
                                             << FtpScript().send(Welcome).expect("USER proxyuser", "230 ok").expectClose()
                                             << QStringList{"USER proxyuser"} << ftpeCommandFailed;
        QTest::newRow("proxy user name") << "ProxyUsername" << proxySite << FtpScript().send(Welcome).expectClose()
                                         << QStringList{} << ftpeLoginRefused;
        QTest::newRow("proxy password") << "ProxyPassword" << proxySite
                                        << FtpScript().send(Welcome).expect("USER proxyuser", "331 pw").expectClose()
                                        << QStringList{"USER proxyuser"} << ftpeLoginRefused;
        FtpScript cwd = FtpScript().send(Welcome);
        AppendProbes(AppendUserPass(cwd));
        QTest::newRow("initial directory: PWD instead")
            << "InitialDirectory" << proxyNone << cwd
            << QStringList{"USER anonymous", "PASS " + Guest, "SYST", "TYPE I", "REST 100", "REST 0", "PWD"} << ftpeNone;
    }

    void lineBreakInLoginValues()
    {
        QFETCH(QString, property);
        QFETCH(TVexFtpProxyType, proxyType);
        QFETCH(FtpScript, script);
        QFETCH(QStringList, received);
        QFETCH(FtpError, error);
        ScriptedFtpServer server;
        QVERIFY(server.Start(script));
        TVexFtp ftp;
        FtpEventRecorder rec(ftp);
        if (proxyType == proxyNone)
            PointAt(ftp, server);
        else
            UseProxy(ftp, server, proxyType, 21);
        const QString smuggled = QStringLiteral("x\r\nDELE important.txt");
        if (property == "Username")
            ftp.SetUsername(smuggled);
        else if (property == "Password")
            ftp.SetPassword(smuggled);
        else if (property == "Account")
            ftp.SetAccount(smuggled);
        else if (property == "Server")
            ftp.SetServer(Target + "\nDELE important.txt");
        else if (property == "ProxyUsername")
            ftp.SetProxyUsername(smuggled);
        else if (property == "ProxyPassword")
            ftp.SetProxyPassword(smuggled);
        else
            ftp.SetInitialDirectory(smuggled);
        ftp.Login();
        if (error == ftpeNone) {
            QTRY_VERIFY2_WITH_TIMEOUT(ftp.LoggedIn(), qPrintable(server.Status()), WaitMs);
            QCOMPARE(ftp.CurrentDirectory(), QString("/"));
            QCOMPARE(rec.Errors(), QList<FtpError>());
        } else {
            QTRY_COMPARE_WITH_TIMEOUT(rec.Count("OnFtpReady"), 1, WaitMs);
            QCOMPARE(rec.Errors(), QList<FtpError>{error});
            QVERIFY(!ftp.LoggedIn());
        }
        QTRY_VERIFY2_WITH_TIMEOUT(server.Finished(), qPrintable(server.Status()), WaitMs);
        QCOMPARE(server.ReceivedCommands(), received);
        QVERIFY(!server.ReceivedBytes().contains("DELE"));
        QCOMPARE(server.Mismatches(), QStringList());
    }

    // ------------------------------------------------------------------
    // USER, PASS, ACCT and the questions

    void userAnswered230NeverSendsPass_data()
    {
        QTest::addColumn<QString>("reply");
        QTest::newRow("one line") << "230 No password needed";
        QTest::newRow("multi-line, holding a 220 line")
            << "230-Welcome back\r\n220 this line does not end the reply\r\n230 No password needed";
    }

    void userAnswered230NeverSendsPass()
    {
        QFETCH(QString, reply);
        ScriptedFtpServer server;
        FtpScript script = FtpScript().send(Welcome).expect("USER anonymous", reply);
        QVERIFY(server.Start(AppendProbes(script)));
        TVexFtp ftp;
        FtpEventRecorder rec(ftp);
        PointAt(ftp, server);
        ftp.Login();
        QTRY_VERIFY_WITH_TIMEOUT(ftp.LoggedIn(), WaitMs);
        QCOMPARE(Commands(rec), (QStringList{"USER anonymous", "SYST", "TYPE I", "REST 100", "REST 0", "PWD"}));
        QCOMPARE(rec.CountPrefix("need"), 0);
        QCOMPARE(rec.Count("ftpiMultiLineReply()"), reply.contains('-') ? 1 : 0);
        QCOMPARE(server.Mismatches(), QStringList());
    }

    void account_data()
    {
        QTest::addColumn<QString>("account");
        QTest::addColumn<bool>("answered");
        QTest::addColumn<QString>("acctLine");
        QTest::newRow("empty, asked and answered") << "" << true << "ACCT billing-42";
        QTest::newRow("empty, asked and left unanswered") << "" << false << "ACCT ";
        QTest::newRow("set: not asked") << "preset" << false << "ACCT preset";
    }

    void account()
    {
        QFETCH(QString, account);
        QFETCH(bool, answered);
        QFETCH(QString, acctLine);
        ScriptedFtpServer server;
        FtpScript script = FtpScript()
                               .send(Welcome)
                               .expect("USER anonymous", "331 Password required")
                               .expect("PASS " + Guest, "332 Need account for login")
                               .expect(acctLine, "230 Logged in with account");
        QVERIFY(server.Start(AppendProbes(script)));
        TVexFtp ftp;
        FtpEventRecorder rec(ftp);
        PointAt(ftp, server);
        ftp.SetAccount(account);
        if (answered)
            rec.Answers[needAccount] = "billing-42";
        ftp.Login();
        QTRY_VERIFY2_WITH_TIMEOUT(ftp.LoggedIn(), qPrintable(server.Status()), WaitMs);
        QCOMPARE(rec.Count("needAccount"), account.isEmpty() ? 1 : 0);
        QCOMPARE(ftp.Account(), acctLine.mid(5));
        QCOMPARE(server.Mismatches(), QStringList());
    }

    void credentialQuestions_data()
    {
        QTest::addColumn<QString>("username");
        QTest::addColumn<QString>("password");
        QTest::addColumn<QMap<TVexFtpInfoNeeded, QString>>("answers");
        QTest::addColumn<QStringList>("questions");
        QTest::addColumn<QString>("userLine");
        QTest::addColumn<QString>("passLine");
        using Answers = QMap<TVexFtpInfoNeeded, QString>;
        QTest::newRow("both set: nothing asked") << "bob" << "pw" << Answers{} << QStringList{} << "USER bob"
                                                 << "PASS pw";
        QTest::newRow("user name asked") << "" << "pw" << Answers{{needUsername, "asked"}}
                                         << QStringList{"needUsername"} << "USER asked" << "PASS pw";
        QTest::newRow("password asked") << "bob" << "" << Answers{{needPassword, "asked-pw"}}
                                        << QStringList{"needPassword"} << "USER bob" << "PASS asked-pw";
        QTest::newRow("password unanswered: PASS and a blank alone")
            << "bob" << "" << Answers{} << QStringList{"needPassword"} << "USER bob" << "PASS ";
        QTest::newRow("both asked") << "" << "" << Answers{{needUsername, "u"}, {needPassword, "p"}}
                                    << QStringList{"needUsername", "needPassword"} << "USER u" << "PASS p";
    }

    void credentialQuestions()
    {
        QFETCH(QString, username);
        QFETCH(QString, password);
        QFETCH(QStringList, questions);
        QFETCH(QString, userLine);
        QFETCH(QString, passLine);
        using Answers = QMap<TVexFtpInfoNeeded, QString>;
        QFETCH(Answers, answers);
        ScriptedFtpServer server;
        FtpScript script = FtpScript()
                               .send(Welcome)
                               .expect(userLine, "331 Password required")
                               .expect(passLine, "230 Logged in");
        QVERIFY(server.Start(AppendProbes(script)));
        TVexFtp ftp;
        FtpEventRecorder rec(ftp);
        PointAt(ftp, server);
        ftp.SetUsername(username);
        ftp.SetPassword(password);
        rec.Answers = answers;
        ftp.Login();
        QTRY_VERIFY2_WITH_TIMEOUT(ftp.LoggedIn(), qPrintable(server.Status()), WaitMs);
        QStringList asked;
        for (const QString &event : rec.Events())
            if (event.startsWith("need"))
                asked << event;
        QCOMPARE(asked, questions);
        QCOMPARE(ftp.Username(), userLine.mid(5));
        QCOMPARE(ftp.Password(), passLine.mid(5));
        QVERIFY(rec.Texts(ftpiCommand).contains(Masked));
        QCOMPARE(server.Mismatches(), QStringList());
    }

    // ------------------------------------------------------------------
    // Server type

    void netTermWelcome_data()
    {
        QTest::addColumn<QString>("welcome");
        QTest::addColumn<bool>("viaProxy");
        QTest::addColumn<bool>("systSent");
        QTest::addColumn<TVexFtpServerType>("serverType");
        QTest::addColumn<QString>("currentDirectory");
        QTest::newRow("direct") << "220 NetTerm FTP server v2.2 ready" << false << false << ftpstNetTerm << "/pub";
        QTest::newRow("through a proxy") << "220 NetTerm FTP server v2.2 ready" << true << true << ftpstUNIX
                                         << "/C:/pub";
        QTest::newRow("other case is no match") << "220 netterm ftp server ready" << false << true << ftpstUNIX
                                                << "/C:/pub";
    }

    void netTermWelcome()
    {
        QFETCH(QString, welcome);
        QFETCH(bool, viaProxy);
        QFETCH(bool, systSent);
        QFETCH(TVexFtpServerType, serverType);
        QFETCH(QString, currentDirectory);
        FtpScript script = FtpScript().send(welcome);
        if (viaProxy)
            script.expect("OPEN " + Target, "220 Connected");
        AppendUserPass(script);
        if (systSent)
            script.expect("SYST", "215 UNIX Type: L8");
        script.expect("TYPE I", "200 Type set to I").expect("REST 100", "350 Restarting at 100")
            .expect("REST 0", "350 Restarting at 0")
            .expect("PWD", "257 \"/C:/pub\" is current directory");
        ScriptedFtpServer server;
        QVERIFY(server.Start(script));
        TVexFtp ftp;
        FtpEventRecorder rec(ftp);
        if (viaProxy)
            UseProxy(ftp, server, proxyOpen, 21);
        else
            PointAt(ftp, server);
        ftp.Login();
        QTRY_VERIFY2_WITH_TIMEOUT(ftp.LoggedIn(), qPrintable(server.Status()), WaitMs);
        QCOMPARE(ftp.ServerType(), serverType);
        QCOMPARE(Commands(rec).contains("SYST"), systSent);
        QCOMPARE(ftp.CurrentDirectory(), currentDirectory);
        QCOMPARE(server.Mismatches(), QStringList());
    }

    void systReply_data()
    {
        QTest::addColumn<QString>("reply");
        QTest::addColumn<TVexFtpServerType>("serverType");
        QTest::newRow("UNIX Type: L8") << "215 UNIX Type: L8" << ftpstUNIX;
        QTest::newRow("unix in lower case") << "215 unix emulation" << ftpstUNIX;
        QTest::newRow("Windows_NT matches nothing") << "215 Windows_NT" << ftpstDefault;
        QTest::newRow("VMS MULTINET") << "215 VMS MULTINET V4.3" << ftpstVmsMultinet;
        QTest::newRow("VMS alone") << "215 VMS V5.5" << ftpstVmsUcx;
        QTest::newRow("VM/ESA VPS") << "215 VM/ESA VPS" << ftpstVMVPS;
        QTest::newRow("VM/CMS") << "215 VM/CMS" << ftpstVM;
        QTest::newRow("MVS") << "215 MVS is the operating system of this server" << ftpstMVS;
        QTest::newRow("BSD") << "215 BSD-199506" << ftpstBSD;
        QTest::newRow("first keyword wins") << "215 UNIX emulated by WFTPD" << ftpstUNIX;
        QTest::newRow("keyword in the code is not looked at") << "215 Netware" << ftpstDefault;
        QTest::newRow("500 reply") << "500 SYST not understood" << ftpstDefault;
        QTest::newRow("502 reply") << "502 Command not implemented" << ftpstDefault;
    }

    void systReply()
    {
        QFETCH(QString, reply);
        QFETCH(TVexFtpServerType, serverType);
        FtpScript script = FtpScript().send(Welcome);
        AppendUserPass(script)
            .expect("SYST", reply)
            .expect("TYPE I", "200 Type set to I").expect("REST 100", "350 Restarting at 100")
            .expect("REST 0", "350 Restarting at 0")
            .expect("PWD", RootPwdReply);
        ScriptedFtpServer server;
        QVERIFY(server.Start(script));
        TVexFtp ftp;
        PointAt(ftp, server);
        ftp.Login();
        QTRY_VERIFY2_WITH_TIMEOUT(ftp.LoggedIn(), qPrintable(server.Status()), WaitMs);
        QCOMPARE(ftp.ServerType(), serverType);
        QCOMPARE(server.Mismatches(), QStringList());
    }

    void serverTypeKeptForTheNextLogin()
    {
        FtpScript detect = FtpScript().send(Welcome);
        AppendProbes(AppendUserPass(detect));
        FtpScript keep = FtpScript().send(Welcome);
        AppendUserPass(keep).expect("TYPE I", "200 Type set to I").expect("REST 100", "350 ok").expect("REST 0", "350 ok").expect("PWD", RootPwdReply);
        FtpScript again = FtpScript().send(Welcome);
        AppendUserPass(again)
            .expect("SYST", "215 Windows_NT")
            .expect("TYPE I", "200 Type set to I").expect("REST 100", "350 ok")
            .expect("REST 0", "350 ok")
            .expect("PWD", RootPwdReply);
        ScriptedFtpServer server;
        QVERIFY(server.Start(QList<FtpScript>{detect, keep, again}));
        TVexFtp ftp;
        PointAt(ftp, server);
        ftp.Login();
        QTRY_VERIFY_WITH_TIMEOUT(ftp.LoggedIn(), WaitMs);
        QCOMPARE(ftp.ServerType(), ftpstUNIX);
        ftp.Login(); // no SYST: the detected type stays
        QTRY_VERIFY2_WITH_TIMEOUT(server.ConnectionCount() == 2 && ftp.LoggedIn(), qPrintable(server.Status()),
                                  WaitMs);
        QCOMPARE(ftp.ServerType(), ftpstUNIX);
        ftp.SetServerType(ftpstAutoDetect);
        ftp.Login(); // detects again
        QTRY_VERIFY2_WITH_TIMEOUT(server.ConnectionCount() == 3 && ftp.LoggedIn(), qPrintable(server.Status()),
                                  WaitMs);
        QCOMPARE(ftp.ServerType(), ftpstDefault);
        QVERIFY(server.Finished());
        QCOMPARE(server.Mismatches(), QStringList());
    }

    // ------------------------------------------------------------------
    // Restart probe

    void restartProbe_data()
    {
        QTest::addColumn<QString>("restReply");
        QTest::addColumn<QString>("rest0Reply"); // empty: REST 0 is not sent
        QTest::addColumn<bool>("supported");
        QTest::newRow("350: REST 0 follows") << "350 Restarting at 100" << "350 Restarting at 0" << true;
        QTest::newRow("350, REST 0 refused: the login goes on") << "350 Restarting at 100" << "502 No" << true;
        QTest::newRow("502 refused") << "502 REST not implemented" << "" << false;
        QTest::newRow("501 in ASCII mode") << "501 Resuming transfers not allowed in ASCII mode" << "" << false;
        QTest::newRow("200 is not 3xx") << "200 Whatever" << "" << false;
    }

    void restartProbe()
    {
        QFETCH(QString, restReply);
        QFETCH(QString, rest0Reply);
        QFETCH(bool, supported);
        FtpScript script = FtpScript().send(Welcome);
        AppendUserPass(script).expect("SYST", "215 UNIX Type: L8").expect("TYPE I", "200 Type set to I").expect("REST 100", restReply);
        if (!rest0Reply.isEmpty())
            script.expect("REST 0", rest0Reply);
        script.expect("PWD", RootPwdReply);
        ScriptedFtpServer server;
        QVERIFY(server.Start(script));
        TVexFtp ftp;
        FtpEventRecorder rec(ftp);
        PointAt(ftp, server);
        ftp.Login();
        QTRY_VERIFY2_WITH_TIMEOUT(ftp.LoggedIn(), qPrintable(server.Status()), WaitMs);
        QCOMPARE(ftp.ResumeSupported(), supported);
        if (supported) {
            QCOMPARE(rec.Texts(ftpiResumeSupported),
                     QStringList{"Ce site permet de reprendre les téléchargements incomplets"});
            QCOMPARE(rec.Texts(ftpiResumeUnavailable), QStringList());
        } else {
            QCOMPARE(rec.Texts(ftpiResumeUnavailable),
                     QStringList{"Ce site ne permet pas reprendre les téléchargements incomplets"});
            QCOMPARE(rec.Texts(ftpiResumeSupported), QStringList());
        }
        QCOMPARE(server.Mismatches(), QStringList());
    }

    // ------------------------------------------------------------------
    // Starting directory

    void initialDirectory_data()
    {
        QTest::addColumn<QString>("cwdReply");
        QTest::addColumn<QString>("pwdReply"); // empty: no PWD
        QTest::addColumn<QString>("currentDirectory");
        QTest::newRow("CWD with the quoted path: no PWD")
            << "250 \"/pub/incoming\" is the current directory" << "" << "/pub/incoming";
        QTest::newRow("CWD without quotes: PWD follows")
            << "250 CWD command successful" << "257 \"/pub/incoming\" is current" << "/pub/incoming";
        QTest::newRow("CWD refused: the server's directory")
            << "550 /pub/incoming: No such directory" << "257 \"/\" is current" << "/";
        QTest::newRow("CWD with an empty quoted path: PWD follows")
            << "250 \"\" hm" << "257 \"/pub/incoming\"" << "/pub/incoming";
    }

    void initialDirectory()
    {
        QFETCH(QString, cwdReply);
        QFETCH(QString, pwdReply);
        QFETCH(QString, currentDirectory);
        FtpScript script = FtpScript().send(Welcome);
        AppendUserPass(script)
            .expect("SYST", "215 UNIX Type: L8")
            .expect("TYPE I", "200 Type set to I").expect("REST 100", "350 ok")
            .expect("REST 0", "350 ok")
            .expect("CWD /pub/incoming", cwdReply);
        if (!pwdReply.isEmpty())
            script.expect("PWD", pwdReply);
        ScriptedFtpServer server;
        QVERIFY(server.Start(script));
        TVexFtp ftp;
        FtpEventRecorder rec(ftp);
        PointAt(ftp, server);
        ftp.SetInitialDirectory("/pub/incoming");
        ftp.Login();
        QTRY_VERIFY2_WITH_TIMEOUT(ftp.LoggedIn(), qPrintable(server.Status()), WaitMs);
        QCOMPARE(ftp.CurrentDirectory(), currentDirectory);
        QCOMPARE(rec.Errors(), QList<FtpError>());
        QCOMPARE(rec.Texts(ftpiLoggedIn), QStringList{"Connecté"});
        QCOMPARE(server.Mismatches(), QStringList());
    }

    void pwdReply_data()
    {
        QTest::addColumn<TVexFtpServerType>("serverType");
        QTest::addColumn<QString>("reply");
        QTest::addColumn<QString>("currentDirectory");
        QTest::newRow("comment after the path") << ftpstUNIX << "257 \"/home/velmar\" is your current location"
                                                << "/home/velmar";
        QTest::newRow("blanks inside the path") << ftpstUNIX << "257 \"/a b/c d\" is cwd" << "/a b/c d";
        QTest::newRow("no quotes") << ftpstUNIX << "257 /home/velmar" << "";
        QTest::newRow("NetTerm drive prefix") << ftpstNetTerm << "257 \"/C:/pub\" is cwd" << "/pub";
        QTest::newRow("Serv-U drive prefix") << ftpstServU << "257 \"/D:/web/site\" is cwd" << "/web/site";
        QTest::newRow("Serv-U backslashes") << ftpstServU << "257 \"C:\\pub\\x\" is cwd" << "/pub/x";
        QTest::newRow("UNIX keeps a drive-like path") << ftpstUNIX << "257 \"/C:/pub\" is cwd" << "/C:/pub";
    }

    void pwdReply()
    {
        QFETCH(TVexFtpServerType, serverType);
        QFETCH(QString, reply);
        QFETCH(QString, currentDirectory);
        FtpScript script = FtpScript().send(Welcome);
        // A type set by the owner skips SYST.
        AppendUserPass(script).expect("TYPE I", "200 Type set to I").expect("REST 100", "350 ok").expect("REST 0", "350 ok").expect("PWD", reply);
        ScriptedFtpServer server;
        QVERIFY(server.Start(script));
        TVexFtp ftp;
        PointAt(ftp, server);
        ftp.SetServerType(serverType);
        ftp.Login();
        QTRY_VERIFY2_WITH_TIMEOUT(ftp.LoggedIn(), qPrintable(server.Status()), WaitMs);
        QCOMPARE(ftp.CurrentDirectory(), currentDirectory);
        QCOMPARE(ftp.ServerType(), serverType);
        QCOMPARE(server.Mismatches(), QStringList());
    }

    // ------------------------------------------------------------------
    // Missing server

    void missingServer_data()
    {
        QTest::addColumn<bool>("answered");
        QTest::newRow("left unanswered") << false;
        QTest::newRow("answered with blanks around") << true;
    }

    void missingServer()
    {
        QFETCH(bool, answered);
        ScriptedFtpServer server;
        FtpScript script = FtpScript().send(Welcome);
        QVERIFY(server.Start(AppendProbes(AppendUserPass(script))));
        TVexFtp ftp;
        FtpEventRecorder rec(ftp);
        PointAt(ftp, server);
        ftp.SetServer("   ");
        if (answered)
            rec.Answers[needServer] = "  " + server.Host() + "  ";
        ftp.Login();
        if (!answered) {
            QTRY_COMPARE_WITH_TIMEOUT(rec.Count("OnFtpReady"), 1, WaitMs);
            QTest::qWait(100);
            QCOMPARE(rec.Events(), (QStringList{"needServer", "ftpeNoServer(Aucun serveur n'a été indiqué)", "OnFtpReady"}));
            QCOMPARE(server.ConnectionCount(), 0);
            return;
        }
        QTRY_VERIFY2_WITH_TIMEOUT(ftp.LoggedIn(), qPrintable(server.Status()), WaitMs);
        QCOMPARE(ftp.Server(), server.Host());
        QCOMPARE(rec.Count("needServer"), 1);
        QCOMPARE(server.Mismatches(), QStringList());
    }

    // ------------------------------------------------------------------
    // The whole event order of a login

    void eventOrder_data()
    {
        QTest::addColumn<bool>("hostName");
        QTest::addColumn<bool>("multiLineWelcome");
        QTest::addColumn<bool>("restAccepted");
        QTest::newRow("numeric address") << false << false << true;
        QTest::newRow("numeric address, REST refused") << false << false << false;
        QTest::newRow("numeric address, multi-line welcome") << false << true << true;
        QTest::newRow("host name localhost") << true << false << true;
    }

    void eventOrder()
    {
        QFETCH(bool, hostName);
        QFETCH(bool, multiLineWelcome);
        QFETCH(bool, restAccepted);
        if (hostName && !LocalhostResolvesFromHostsFile())
            QSKIP("localhost is not answered by /etc/hosts here: resolving it could ask a name server");
        const QString welcome = multiLineWelcome
            ? QStringLiteral("220-Welcome\r\n220-NetTerm FTP server is not named on the last line\r\n220 Ready")
            : Welcome;
        FtpScript script = FtpScript().send(welcome);
        AppendUserPass(script).expect("SYST", "215 UNIX Type: L8");
        if (restAccepted)
            script.expect("TYPE I", "200 Type set to I").expect("REST 100", "350 Restarting at 100").expect("REST 0", "350 Restarting at 0");
        else
            script.expect("TYPE I", "200 Type set to I").expect("REST 100", "502 Not implemented");
        script.expect("PWD", RootPwdReply);
        ScriptedFtpServer server;
        QVERIFY(server.Start(script));
        TVexFtp ftp;
        FtpEventRecorder rec(ftp);
        PointAt(ftp, server);
        if (hostName)
            ftp.SetServer("localhost");
        ftp.Login();
        QTRY_COMPARE_WITH_TIMEOUT(rec.Count("OnLoggedIn"), 1, WaitMs);
        QTest::qWait(100);

        QStringList expected;
        if (hostName)
            expected << "ftpiResolving(localhost)" << "ftpiResolved(127.0.0.1)";
        expected << "ftpiConnected(127.0.0.1)" << "ftpiReceived(" + welcome + "\r\n)";
        if (multiLineWelcome)
            expected << "ftpiMultiLineReply()";
        expected << "ftpiCommand(USER anonymous\r\n)" << "ftpiReceived(331 Password required\r\n)"
                 << "ftpiCommand(" + Masked + ")" << "ftpiReceived(230 Logged in\r\n)" << "ftpiCommand(SYST\r\n)"
                 << "ftpiReceived(215 UNIX Type: L8\r\n)" << "ftpiCommand(TYPE I\r\n)"
                 << "ftpiReceived(200 Type set to I\r\n)" << "ftpiCommand(REST 100\r\n)";
        if (restAccepted)
            expected << "ftpiReceived(350 Restarting at 100\r\n)"
                     << "ftpiResumeSupported(Ce site permet de reprendre les téléchargements incomplets)"
                     << "ftpiCommand(REST 0\r\n)" << "ftpiReceived(350 Restarting at 0\r\n)";
        else
            expected << "ftpiReceived(502 Not implemented\r\n)"
                     << "ftpiResumeUnavailable(Ce site ne permet pas reprendre les téléchargements incomplets)";
        expected << "ftpiCommand(PWD\r\n)" << "ftpiReceived(" + RootPwdReply + "\r\n)" << "ftpiLoggedIn(Connecté)"
                 << "OnFtpReady" << "OnLoggedIn";
        QCOMPARE(rec.Events(), expected);
        QVERIFY(ftp.LoggedIn());
        QVERIFY(!ftp.Busy());
        QCOMPARE(ftp.ServerType(), ftpstUNIX);
        if (multiLineWelcome)
            QCOMPARE(ftp.ReplyLines(),
                     (QStringList{"220-Welcome", "220-NetTerm FTP server is not named on the last line", "220 Ready"}));
        QCOMPARE(server.Mismatches(), QStringList());
    }

    // ------------------------------------------------------------------
    // A real server

    void realServer_data()
    {
        QTest::addColumn<QString>("username");
        QTest::addColumn<QString>("password");
        QTest::addColumn<QString>("initialDirectory");
        QTest::addColumn<QString>("currentDirectory");
        QTest::newRow("anonymous") << "anonymous" << Guest << "" << "/";
        QTest::newRow("user and password") << PyFtpdServer::DefaultUser << PyFtpdServer::DefaultPassword << ""
                                           << "/";
        QTest::newRow("initial directory") << PyFtpdServer::DefaultUser << PyFtpdServer::DefaultPassword
                                           << "pub/incoming" << "/pub/incoming";
    }

    void realServer()
    {
        QFETCH(QString, username);
        QFETCH(QString, password);
        QFETCH(QString, initialDirectory);
        QFETCH(QString, currentDirectory);
        if (!PyFtpdServer::Available())
            QSKIP(PyFtpdServer::UnavailableMessage());
        PyFtpdServer server;
        server.SetBanner("Velmar test site");
        QVERIFY(QDir(server.RootPath()).mkpath("pub/incoming"));
        QVERIFY2(server.Start(), qPrintable(server.ErrorString()));
        TVexFtp ftp;
        FtpEventRecorder rec(ftp);
        ftp.SetServer(server.Host());
        ftp.SetPort(server.Port());
        ftp.SetRetries(0);
        ftp.SetNoopInterval(0);
        ftp.SetCache(false);
        ftp.SetUsername(username);
        ftp.SetPassword(password);
        ftp.SetInitialDirectory(initialDirectory);
        ftp.Login();
        QTRY_VERIFY2_WITH_TIMEOUT(ftp.LoggedIn(), qPrintable(rec.Events().join('\n')), 10000);
        if (QTest::currentTestFailed())
            qWarning().noquote() << server.StandardError();
        QVERIFY(rec.Texts(ftpiReceived).join(QString()).startsWith("220 Velmar test site\r\n"));
        QCOMPARE(rec.Errors(), QList<FtpError>());
        QCOMPARE(ftp.ServerType(), ftpstUNIX);
        // Stock pyftpdlib refuses REST in ASCII mode: the probe asks in binary.
        QVERIFY(ftp.ResumeSupported());
        QCOMPARE(rec.Count("ftpiResumeSupported(Ce site permet de reprendre les téléchargements incomplets)"), 1);
        QCOMPARE(ftp.CurrentDirectory(), currentDirectory);
        QVERIFY(Commands(rec).contains("USER " + username));
        QVERIFY(!rec.RawEvents().join('\n').contains(password));
        QVERIFY(ftp.Connected());
    }

    void realServerWrongPassword()
    {
        if (!PyFtpdServer::Available())
            QSKIP(PyFtpdServer::UnavailableMessage());
        PyFtpdServer server;
        QVERIFY2(server.Start(), qPrintable(server.ErrorString()));
        TVexFtp ftp;
        FtpEventRecorder rec(ftp);
        ftp.SetServer(server.Host());
        ftp.SetPort(server.Port());
        ftp.SetRetries(1);
        ftp.SetRetryInterval(0);
        ftp.SetNoopInterval(0);
        ftp.SetUsername(PyFtpdServer::DefaultUser);
        ftp.SetPassword("wrong");
        ftp.Login();
        QTRY_COMPARE_WITH_TIMEOUT(rec.Count("OnFtpReady"), 1, 10000);
        QTest::qWait(100);
        QCOMPARE(rec.Errors(), (QList<FtpError>{ftpeLoginRefused, ftpeLoginRefused}));
        const QString Refused = "ftpeLoginRefused(Identification refusée par le serveur : 530 Authentication failed.)";
        QStringList milestones;
        for (const QString &event : rec.Events())
            if (!event.startsWith("ftpiReceived") && !event.startsWith("ftpiCommand"))
                milestones << event;
        QCOMPARE(milestones,
                 (QStringList{"ftpiConnected(127.0.0.1)", Refused, "ftpiRetrying(Réessaie...)",
                              "ftpiConnected(127.0.0.1)", Refused, "ftpiRetriesExhausted(Retry Finished)",
                              "ftpiDisconnected(Déconnecté)", "OnFtpQuit", "OnFtpReady"}));
        QCOMPARE(Commands(rec), (QStringList{"USER velmar", "PASS (pas besoin de le savoir) :-P", "USER velmar",
                                             "PASS (pas besoin de le savoir) :-P"}));
        QVERIFY(!ftp.LoggedIn());
        QVERIFY(!ftp.Connected());
    }
};

QTEST_GUILESS_MAIN(TstFtpLogin)
#include "tst_ftplogin.moc"
