// The protocol log: its three line formats, read back from the document
// (block text and foreground colour), fed by a real client talking to the
// scripted server or to pyftpdlib; its binding to clients; saving its lines.
#include "Ftp.h"
#include "FtpCacheTesting.h"
#include "FtpErrorTexts.h"
#include "FtpMsg.h"
#include "Prompts.h"
#include "PyFtpdServer.h"
#include "ScriptedFtpServer.h"

#include <QAction>
#include <QApplication>
#include <QDateTime>
#include <QFile>
#include <QFontDatabase>
#include <QRegularExpression>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QTextDocument>
#include <QtTest>

namespace {

constexpr int WaitMs = 5000;
const QString Indent = QStringLiteral("            ");
const QString StampFormat = QStringLiteral("dd/MM/yyyy HH:mm:ss"); // French short date, long time

QString ColourName(const QColor &colour)
{
    static const QList<QPair<QColor, QString>> names = {
        {QColor(0, 0, 0), QStringLiteral("black")},   {QColor(0, 128, 0), QStringLiteral("green")},
        {QColor(0, 0, 255), QStringLiteral("blue")},  {QColor(255, 0, 0), QStringLiteral("red")},
        {QColor(128, 0, 128), QStringLiteral("purple")},
    };
    for (const auto &[known, name] : names)
        if (known == colour)
            return name;
    return colour.isValid() ? colour.name() : QStringLiteral("mixed");
}

// One line as "colour|text". A line of several colours reads "mixed".
QString Describe(const QTextBlock &block)
{
    QColor colour = block.charFormat().foreground().color();
    bool first = true;
    for (auto it = block.begin(); !it.atEnd(); ++it) {
        const QColor fragment = it.fragment().charFormat().foreground().color();
        if (first)
            colour = fragment;
        else if (fragment != colour)
            colour = QColor();
        first = false;
    }
    return ColourName(colour) + QLatin1Char('|') + block.text();
}

QStringList Described(const TVexFtpMessenger &log)
{
    QStringList lines;
    QTextBlock block = log.document()->begin();
    for (int i = 0; i < log.LineCount(); ++i, block = block.next())
        lines.append(Describe(block));
    return lines;
}

// Replaces each leading time stamp by "{t}" after checking that it is a
// well-formed local time between from and to.
QStringList WithStampsChecked(const QStringList &lines, const QDateTime &from, const QDateTime &to)
{
    static const QRegularExpression stamp(QStringLiteral("^(\\w+\\|)\\[([^\\]]*)\\] "));
    QStringList result;
    for (const QString &line : lines) {
        const QRegularExpressionMatch m = stamp.match(line);
        if (!m.hasMatch()) {
            result.append(line);
            continue;
        }
        const QDateTime when = QDateTime::fromString(m.captured(2), StampFormat);
        const bool inRange = when.isValid() && when >= from.addSecs(-1) && when <= to.addSecs(1);
        result.append(m.captured(1) + (inRange ? QStringLiteral("{t}") : QStringLiteral("{bad stamp ") + m.captured(2) + QLatin1Char('}'))
                      + line.mid(m.capturedEnd()));
    }
    return result;
}

// The welcome is the two lines "220 Welcome" and "220 Ready" in one chunk;
// the second one answers USER, so the login goes on without PASS.
FtpScript WelcomeTwoLinesLogin()
{
    return FtpScript()
        .sendRaw("220 Welcome\r\n220 Ready\r\n")
        .expect(QStringLiteral("USER anonymous"))
        .expect(QStringLiteral("SYST"), QStringLiteral("215 UNIX Type: L8"))
        .expect(QStringLiteral("TYPE I"), QStringLiteral("200 Type set to I."))
        .expect(QStringLiteral("REST 100"), QStringLiteral("350 Restarting at 100."))
        .expect(QStringLiteral("REST 0"), QStringLiteral("350 Restarting at 0."))
        .expect(QStringLiteral("PWD"), QStringLiteral("257 \"/\" is the current directory"))
        .expectClose();
}

void PointAt(TVexFtp &client, const QString &host, quint16 port)
{
    client.SetServer(host);
    client.SetPort(port);
    client.SetRetries(0);
}

// Logs in and waits for the login's completion event.
bool LogIn(TVexFtp &client, int waitMs = WaitMs)
{
    bool loggedIn = false;
    client.OnLoggedIn = [&loggedIn](TVexFtp *) { loggedIn = true; };
    client.Login();
    const bool done = QTest::qWaitFor([&] { return loggedIn; }, waitMs);
    client.OnLoggedIn = nullptr;
    return done;
}

QStringList ClassicLogin()
{
    return {
        QStringLiteral("blue|STATUT:>    Connecté à 127.0.0.1. Attente du message de bienvenue."),
        QStringLiteral("blue|") + Indent,
        QStringLiteral("black|") + Indent + QStringLiteral("220 Welcome"),
        QStringLiteral("black|") + Indent + QStringLiteral("220 Ready"),
        QStringLiteral("black|") + Indent,
        QStringLiteral("green|COMMANDE:>  USER anonymous"),
        QStringLiteral("green|") + Indent,
        QStringLiteral("green|COMMANDE:>  SYST"),
        QStringLiteral("green|") + Indent,
        QStringLiteral("black|") + Indent + QStringLiteral("215 UNIX Type: L8"),
        QStringLiteral("black|") + Indent,
        QStringLiteral("green|COMMANDE:>  TYPE I"),
        QStringLiteral("green|") + Indent,
        QStringLiteral("black|") + Indent + QStringLiteral("200 Type set to I."),
        QStringLiteral("black|") + Indent,
        QStringLiteral("green|COMMANDE:>  REST 100"),
        QStringLiteral("green|") + Indent,
        QStringLiteral("black|") + Indent + QStringLiteral("350 Restarting at 100."),
        QStringLiteral("black|") + Indent,
        QStringLiteral("blue|STATUT:>    Ce site permet de reprendre les téléchargements incomplets"),
        QStringLiteral("blue|") + Indent,
        QStringLiteral("green|COMMANDE:>  REST 0"),
        QStringLiteral("green|") + Indent,
        QStringLiteral("black|") + Indent + QStringLiteral("350 Restarting at 0."),
        QStringLiteral("black|") + Indent,
        QStringLiteral("green|COMMANDE:>  PWD"),
        QStringLiteral("green|") + Indent,
        QStringLiteral("black|") + Indent + QStringLiteral("257 \"/\" is the current directory"),
        QStringLiteral("black|") + Indent,
        QStringLiteral("blue|STATUT:>    Connexion réussie"),
        QStringLiteral("blue|") + Indent,
        QStringLiteral("blue|STATUT:>    Déconnecté"),
        QStringLiteral("blue|") + Indent,
    };
}

// msgVexFtp, and msgVexFtpTime with stamp = "{t}".
QStringList ColouredLogin(const QString &stamp)
{
    return {
        QStringLiteral("purple|") + stamp + QStringLiteral("Connecté à 127.0.0.1. Attente du message de bienvenue."),
        QStringLiteral("purple|"),
        QStringLiteral("green|220 Welcome"),
        QStringLiteral("green|220 Ready"),
        QStringLiteral("green|"),
        QStringLiteral("blue|") + stamp + QStringLiteral("USER anonymous"),
        QStringLiteral("blue|"),
        QStringLiteral("blue|") + stamp + QStringLiteral("SYST"),
        QStringLiteral("blue|"),
        QStringLiteral("green|215 UNIX Type: L8"),
        QStringLiteral("green|"),
        QStringLiteral("blue|") + stamp + QStringLiteral("TYPE I"),
        QStringLiteral("blue|"),
        QStringLiteral("green|200 Type set to I."),
        QStringLiteral("green|"),
        QStringLiteral("blue|") + stamp + QStringLiteral("REST 100"),
        QStringLiteral("blue|"),
        QStringLiteral("green|350 Restarting at 100."),
        QStringLiteral("green|"),
        QStringLiteral("purple|") + stamp + QStringLiteral("Ce site permet de reprendre les téléchargements incomplets"),
        QStringLiteral("purple|"),
        QStringLiteral("blue|") + stamp + QStringLiteral("REST 0"),
        QStringLiteral("blue|"),
        QStringLiteral("green|350 Restarting at 0."),
        QStringLiteral("green|"),
        QStringLiteral("blue|") + stamp + QStringLiteral("PWD"),
        QStringLiteral("blue|"),
        QStringLiteral("green|257 \"/\" is the current directory"),
        QStringLiteral("green|"),
        QStringLiteral("purple|") + stamp + QStringLiteral("Connexion réussie"),
        QStringLiteral("purple|"),
        QStringLiteral("purple|") + stamp + QStringLiteral("Déconnecté"),
        QStringLiteral("purple|"),
    };
}

} // namespace

class TestFtpMessenger : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void creation();
    void loginLog_data();
    void loginLog();
    void commandsHidden();
    void connectedTarget_data();
    void connectedTarget();
    void disconnectionWithoutConnection();
    void errors_data();
    void errors();
    void loginRefusedError();
    void writeMessage_data();
    void writeMessage();
    void blankText_data();
    void blankText();
    void styleFont_data();
    void styleFont();
    void autoScroll_data();
    void autoScroll();
    void clientSlots();
    void clientDestroyedFirst();
    void logDestroyedFirst();
    void realServerLogin();
    void saveStatus();
    void saveStatusNothingToSave();
    void saveStatusCancelled();
    void saveStatusWriteError();
    void saveStatusMenu();
    void errorTexts_data();
    void errorTexts();
    void keepsItsLastLines();
    void longReplyEchoesItsStartAndEnd_data();
    void longReplyEchoesItsStartAndEnd();
    void floodOfRepliesStaysBounded();
    void millionLineWelcome();

private:
    QTemporaryDir cacheDir;
};

void TestFtpMessenger::initTestCase()
{
    QVERIFY(cacheDir.isValid());
    SetListCacheDirectoryForTesting(cacheDir.path() + QLatin1Char('/'));
    QLocale::setDefault(QLocale(QLocale::French, QLocale::France));
}

void TestFtpMessenger::creation()
{
    TVexFtpMessenger log;
    QVERIFY(log.isReadOnly());
    QCOMPARE(log.lineWrapMode(), QPlainTextEdit::NoWrap);
    QVERIFY(!log.testAttribute(Qt::WA_InputMethodEnabled));
    QVERIFY(log.AutoScroll());
    QCOMPARE(log.Style(), msgClassic);
    QCOMPARE(log.Client(), nullptr);
    QVERIFY(!log.ConnectedShown());
    QCOMPARE(log.LineCount(), 0);
    QCOMPARE(log.StatusFileName(), QStringLiteral("Status.txt"));
    QCOMPARE(log.SaveStatusAction()->text(), QStringLiteral("&Sauvegarder le status"));
}

void TestFtpMessenger::loginLog_data()
{
    QTest::addColumn<int>("style");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("msgClassic") << int(msgClassic) << ClassicLogin();
    QTest::newRow("msgVexFtp") << int(msgVexFtp) << ColouredLogin(QString());
    QTest::newRow("msgVexFtpTime") << int(msgVexFtpTime) << ColouredLogin(QStringLiteral("{t}"));
}

// The whole log of a login and a close, with the client set twice: every
// event gives its lines once. A later refused operation (ftpiDisconnected
// again) adds no second "Déconnecté".
void TestFtpMessenger::loginLog()
{
    QFETCH(int, style);
    QFETCH(QStringList, expected);

    ScriptedFtpServer server;
    QVERIFY(server.Start(WelcomeTwoLinesLogin()));
    TVexFtp client;
    PointAt(client, server.Host(), server.Port());
    TVexFtpMessenger log;
    log.SetStyle(TMessengerStyle(style));
    log.SetClient(&client);
    log.SetClient(&client);

    const QDateTime from = QDateTime::currentDateTime();
    QVERIFY(LogIn(client));
    QVERIFY(log.ConnectedShown());
    client.Close();
    QTRY_VERIFY_WITH_TIMEOUT(!log.ConnectedShown(), WaitMs);
    QTRY_VERIFY2_WITH_TIMEOUT(server.Finished(), qPrintable(server.Status()), WaitMs);
    QCOMPARE(server.Mismatches(), QStringList());
    client.ListDirectory();
    const QDateTime to = QDateTime::currentDateTime();

    QCOMPARE(WithStampsChecked(Described(log), from, to), expected);
}

// A hook that hides ftpiCommand removes every command and nothing else.
void TestFtpMessenger::commandsHidden()
{
    ScriptedFtpServer server;
    QVERIFY(server.Start(WelcomeTwoLinesLogin()));
    TVexFtp client;
    PointAt(client, server.Host(), server.Port());
    TVexFtpMessenger log;
    log.SetClient(&client);
    QList<FtpInfo> asked;
    log.OnMessageShow = [&](TVexFtpMessenger *sender, FtpInfo info, bool &show) {
        QCOMPARE(sender, &log);
        asked.append(info);
        if (info == ftpiCommand)
            show = false;
    };
    QVERIFY(LogIn(client));
    client.Close();
    QTRY_VERIFY_WITH_TIMEOUT(!log.ConnectedShown(), WaitMs);

    QStringList expected;
    for (const QString &line : ClassicLogin())
        if (!line.startsWith(QLatin1String("green|"))) // in msgClassic only commands are green
            expected.append(line);
    QCOMPARE(Described(log), expected);
    QCOMPARE(asked.count(ftpiCommand), 6);
    QVERIFY(asked.contains(ftpiReceived));
    QVERIFY(asked.contains(ftpiLoggedIn));
}

void TestFtpMessenger::connectedTarget_data()
{
    QTest::addColumn<QString>("server");
    QTest::addColumn<QString>("expected");
    QTest::newRow("numeric address") << "127.0.0.1"
                                     << "Connecté à 127.0.0.1. Attente du message de bienvenue.";
    QTest::newRow("host name") << "localhost"
                               << "Connecté à localhost(ip: 127.0.0.1). Attente du message de bienvenue.";
}

void TestFtpMessenger::connectedTarget()
{
    QFETCH(QString, server);
    QFETCH(QString, expected);

    ScriptedFtpServer ftpServer;
    QVERIFY(ftpServer.Start(FtpScript().send(QStringLiteral("220 hi")).expect(QStringLiteral("USER anonymous"))));
    TVexFtp client;
    PointAt(client, server, ftpServer.Port());
    TVexFtpMessenger log;
    log.SetStyle(msgVexFtp);
    log.SetClient(&client);
    client.Login();
    QTRY_VERIFY2_WITH_TIMEOUT(ftpServer.Finished(), qPrintable(ftpServer.Status()), WaitMs);
    QCOMPARE(log.Lines().value(0), expected);
    QVERIFY(log.ConnectedShown());
}

// An operation asked of a client that never connected raises
// ftpiDisconnected ("Non connecté au serveur"): nothing is written.
void TestFtpMessenger::disconnectionWithoutConnection()
{
    TVexFtp client;
    TVexFtpMessenger log;
    log.SetClient(&client);
    QList<FtpInfo> seen;
    log.OnMessageShow = [&](TVexFtpMessenger *, FtpInfo info, bool &) { seen.append(info); };
    client.ListDirectory();
    client.ChangeDirectory(QStringLiteral("pub"));
    QCOMPARE(seen, (QList<FtpInfo>{ftpiDisconnected, ftpiDisconnected}));
    QCOMPARE(log.LineCount(), 0);
    QVERIFY(!log.ConnectedShown());
}

void TestFtpMessenger::errors_data()
{
    QTest::addColumn<bool>("show");
    QTest::addColumn<QStringList>("errorLines");
    QTest::newRow("shown") << true
                           << QStringList{QStringLiteral("red|ERREUR:>    Accès refusé ou fichier non trouvé"),
                                          QStringLiteral("red|") + Indent};
    QTest::newRow("hidden by OnErrorShow") << false << QStringList();
}

// A refused CWD: the reply, then the error text in red unless vetoed.
void TestFtpMessenger::errors()
{
    QFETCH(bool, show);
    QFETCH(QStringList, errorLines);

    ScriptedFtpServer server;
    QVERIFY(server.Start(FtpScript()
                             .send(QStringLiteral("220 hi"))
                             .expect(QStringLiteral("USER anonymous"), QStringLiteral("230 ok"))
                             .expect(QStringLiteral("SYST"), QStringLiteral("215 UNIX Type: L8"))
                             .expect(QStringLiteral("TYPE I"), QStringLiteral("200 ok"))
                             .expect(QStringLiteral("REST 100"), QStringLiteral("502 no"))
                             .expect(QStringLiteral("PWD"), QStringLiteral("257 \"/\""))
                             .expect(QStringLiteral("CWD nope"), QStringLiteral("550 No such directory."))));
    TVexFtp client;
    PointAt(client, server.Host(), server.Port());
    TVexFtpMessenger log;
    log.SetClient(&client);
    QList<FtpError> asked;
    log.OnErrorShow = [&](TVexFtpMessenger *sender, FtpError error, bool &visible) {
        QCOMPARE(sender, &log);
        asked.append(error);
        visible = show;
    };
    QVERIFY(LogIn(client));
    const QStringList beforeCwd = Described(log);
    bool changed = false;
    client.OnDirectoryChanged = [&changed](TVexFtp *) { changed = true; };
    client.ChangeDirectory(QStringLiteral("nope"));
    QTRY_VERIFY_WITH_TIMEOUT(changed, WaitMs);

    const QStringList expected = beforeCwd
        + QStringList{QStringLiteral("green|COMMANDE:>  CWD nope"), QStringLiteral("green|") + Indent,
                      QStringLiteral("black|") + Indent + QStringLiteral("550 No such directory."),
                      QStringLiteral("black|") + Indent}
        + errorLines;
    QCOMPARE(Described(log), expected);
    QCOMPARE(asked, QList<FtpError>{ftpeAccessDenied});
}

// A refused login raises ftpeLoginRefused with a text quoting the refusal,
// shown in red; the close that follows gives one "Déconnecté".
void TestFtpMessenger::loginRefusedError()
{
    ScriptedFtpServer server;
    QVERIFY(server.Start(FtpScript()
                             .send(QStringLiteral("220 hi"))
                             .expect(QStringLiteral("USER anonymous"), QStringLiteral("331 pw"))
                             .expectPrefix(QStringLiteral("PASS "), QStringLiteral("530 Login incorrect."))
                             .expectClose()));
    TVexFtp client;
    PointAt(client, server.Host(), server.Port());
    TVexFtpMessenger log;
    log.SetClient(&client);
    QList<FtpError> errors;
    log.OnErrorShow = [&](TVexFtpMessenger *, FtpError error, bool &) { errors.append(error); };
    // The client's own text, if it gives one (the server's reply is not).
    QString clientText;
    client.OnFtpError = [&](TVexFtp *, FtpError, const QString &text) { clientText = text; };
    client.Login();
    QTRY_VERIFY2_WITH_TIMEOUT(server.Finished(), qPrintable(server.Status()), WaitMs);
    QTRY_VERIFY_WITH_TIMEOUT(!log.ConnectedShown(), WaitMs);

    QCOMPARE(errors, QList<FtpError>{ftpeLoginRefused});
    // The error shows whatever the client said: its text, or what the code
    // means.
    const QString shown = FtpErrorShownText(ftpeLoginRefused, clientText);
    QCOMPARE(shown, QStringLiteral("Identification refusée par le serveur : 530 Login incorrect."));
    const QStringList expected{
        QStringLiteral("blue|STATUT:>    Connecté à 127.0.0.1. Attente du message de bienvenue."),
        QStringLiteral("blue|") + Indent,
        QStringLiteral("black|") + Indent + QStringLiteral("220 hi"),
        QStringLiteral("black|") + Indent,
        QStringLiteral("green|COMMANDE:>  USER anonymous"),
        QStringLiteral("green|") + Indent,
        QStringLiteral("black|") + Indent + QStringLiteral("331 pw"),
        QStringLiteral("black|") + Indent,
        QStringLiteral("green|COMMANDE:>  PASS (pas besoin de le savoir) :-P"),
        QStringLiteral("green|") + Indent,
        QStringLiteral("black|") + Indent + QStringLiteral("530 Login incorrect."),
        QStringLiteral("black|") + Indent,
        QStringLiteral("red|ERREUR:>    ") + shown,
        QStringLiteral("red|") + Indent,
        QStringLiteral("blue|STATUT:>    Déconnecté"),
        QStringLiteral("blue|") + Indent,
    };
    QCOMPARE(Described(log), expected);
}

void TestFtpMessenger::writeMessage_data()
{
    QTest::addColumn<int>("style");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("kind");
    QTest::addColumn<QStringList>("expected");

    const QString reply = QStringLiteral("220 Welcome\r\n220 Ready\r\n");
    const QString user = QStringLiteral("USER anonymous\r\n");
    QTest::newRow("classic reply chunk") << int(msgClassic) << reply << int(mkReply)
        << QStringList{"black|" + Indent + "220 Welcome", "black|" + Indent + "220 Ready", "black|" + Indent};
    QTest::newRow("classic command") << int(msgClassic) << user << int(mkCommand)
        << QStringList{"green|COMMANDE:>  USER anonymous", "green|" + Indent};
    QTest::newRow("classic debug, no line end") << int(msgClassic) << "trace" << int(mkDebug)
        << QStringList{"red|DEBUG:>     trace"};
    QTest::newRow("classic exception") << int(msgClassic) << "boom\r\n" << int(mkException)
        << QStringList{"red|EXCEPTION:> boom", "red|" + Indent};
    QTest::newRow("classic error") << int(msgClassic) << "Connexion refusée\r\n" << int(mkError)
        << QStringList{"red|ERREUR:>    Connexion refusée", "red|" + Indent};
    QTest::newRow("classic unknown kind") << int(msgClassic) << "a\r\nb" << 9
        << QStringList{"black|a", "black|" + Indent + "b"};
    QTest::newRow("classic multi-line reply without final break") << int(msgClassic)
        << "230-Hello\r\n230-Second\r\n230 Done" << int(mkReply)
        << QStringList{"black|" + Indent + "230-Hello", "black|" + Indent + "230-Second", "black|" + Indent + "230 Done"};
    QTest::newRow("vexftp reply chunk") << int(msgVexFtp) << reply << int(mkReply)
        << QStringList{"green|220 Welcome", "green|220 Ready", "green|"};
    QTest::newRow("vexftp command") << int(msgVexFtp) << user << int(mkCommand)
        << QStringList{"blue|USER anonymous", "blue|"};
    QTest::newRow("vexftp status") << int(msgVexFtp) << "Connexion réussie\r\n" << int(mkStatus)
        << QStringList{"purple|Connexion réussie", "purple|"};
    QTest::newRow("vexftp debug") << int(msgVexFtp) << "trace" << int(mkDebug) << QStringList{"red|trace"};
    QTest::newRow("vexftp bare line feeds") << int(msgVexFtp) << "a\nb\n" << int(mkReply)
        << QStringList{"green|a", "green|b", "green|"};
    QTest::newRow("time reply chunk") << int(msgVexFtpTime) << reply << int(mkReply)
        << QStringList{"green|220 Welcome", "green|220 Ready", "green|"};
    QTest::newRow("time command") << int(msgVexFtpTime) << user << int(mkCommand)
        << QStringList{"blue|{t}USER anonymous", "blue|"};
    QTest::newRow("time error") << int(msgVexFtpTime) << "Temps d'attente écoulé\r\n" << int(mkError)
        << QStringList{"red|{t}Temps d'attente écoulé", "red|"};
}

void TestFtpMessenger::writeMessage()
{
    QFETCH(int, style);
    QFETCH(QString, text);
    QFETCH(int, kind);
    QFETCH(QStringList, expected);

    TVexFtpMessenger log;
    log.SetStyle(TMessengerStyle(style));
    const QDateTime from = QDateTime::currentDateTime();
    log.WriteMessage(text, MessageKind(kind));
    QCOMPARE(WithStampsChecked(Described(log), from, QDateTime::currentDateTime()), expected);

    // A second message starts on a line of its own, in its own colour.
    log.WriteMessage(QStringLiteral("x"), mkError);
    QCOMPARE(log.LineCount(), expected.size() + 1);
    QVERIFY(Described(log).last().startsWith(QLatin1String("red|")));
    QVERIFY(Described(log).last().endsWith(QLatin1Char('x')));
}

void TestFtpMessenger::blankText_data()
{
    QTest::addColumn<int>("style");
    QTest::addColumn<QString>("text");
    const QList<QPair<int, const char *>> styles = {
        {msgClassic, "msgClassic"}, {msgVexFtp, "msgVexFtp"}, {msgVexFtpTime, "msgVexFtpTime"}};
    for (const auto &[style, name] : styles) {
        QTest::addRow("%s, blanks and CR LF", name) << style << QStringLiteral("  \r\n \r\n");
        QTest::addRow("%s, empty", name) << style << QString();
        QTest::addRow("%s, tab and control characters", name) << style << QStringLiteral("\t\x01\x1f\r\n");
    }
}

void TestFtpMessenger::blankText()
{
    QFETCH(int, style);
    QFETCH(QString, text);
    TVexFtpMessenger log;
    log.SetStyle(TMessengerStyle(style));
    for (const MessageKind kind : {mkCommand, mkReply, mkStatus, mkError})
        log.WriteMessage(text, kind);
    QCOMPARE(log.LineCount(), 0);
    QVERIFY(log.document()->isEmpty());
}

void TestFtpMessenger::styleFont_data()
{
    QTest::addColumn<int>("style");
    QTest::addColumn<bool>("fixedFont");
    QTest::newRow("msgClassic") << int(msgClassic) << true;
    QTest::newRow("msgVexFtp") << int(msgVexFtp) << false;
    QTest::newRow("msgVexFtpTime") << int(msgVexFtpTime) << false;
}

void TestFtpMessenger::styleFont()
{
    QFETCH(int, style);
    QFETCH(bool, fixedFont);
    TVexFtpMessenger log;
    log.SetStyle(TMessengerStyle(style == msgClassic ? msgVexFtp : msgClassic)); // start from the other font
    log.SetStyle(TMessengerStyle(style));
    QCOMPARE(int(log.Style()), style);
    const QFont expected = fixedFont ? QFontDatabase::systemFont(QFontDatabase::FixedFont) : QApplication::font();
    QCOMPARE(log.font().family(), expected.family());
    QCOMPARE(log.document()->defaultFont().family(), expected.family());
}

void TestFtpMessenger::autoScroll_data()
{
    QTest::addColumn<bool>("autoScroll");
    QTest::addColumn<bool>("multiLineMessages");
    QTest::newRow("on, one line per message") << true << false;
    QTest::newRow("on, multi-line messages") << true << true;
    QTest::newRow("off") << false << false;
}

void TestFtpMessenger::autoScroll()
{
    QFETCH(bool, autoScroll);
    QFETCH(bool, multiLineMessages);
    TVexFtpMessenger log;
    log.SetStyle(msgVexFtp);
    log.SetAutoScroll(autoScroll);
    log.resize(300, 120);
    log.show();
    QVERIFY(QTest::qWaitForWindowExposed(&log));
    for (int i = 0; i < 100; ++i)
        log.WriteMessage(multiLineMessages ? QStringLiteral("230-line %1\r\n230 end\r\n").arg(i)
                                           : QStringLiteral("line %1").arg(i),
                         mkReply);
    QScrollBar *bar = log.verticalScrollBar();
    QVERIFY(bar->maximum() > 0);
    if (autoScroll)
        QCOMPARE(bar->value(), bar->maximum());
    else
        QCOMPARE(bar->value(), 0);
}

// Moving to another client frees exactly the log's two slots on the old one.
void TestFtpMessenger::clientSlots()
{
    TVexFtp first;
    TVexFtp second;
    TVexFtpMessenger log;
    log.SetClient(&first);
    int otherInfoCalls = 0;
    QCOMPARE(first.AddInfoListener([&](TVexFtp *, FtpInfo, const QString &) { ++otherInfoCalls; }), 2);
    QCOMPARE(first.AddErrorListener([](TVexFtp *, FtpError, const QString &) {}), 2);

    log.SetClient(&second);
    QCOMPARE(log.Client(), &second);
    const auto noInfo = [](TVexFtp *, FtpInfo, const QString &) {};
    const auto noError = [](TVexFtp *, FtpError, const QString &) {};
    QCOMPARE(first.AddInfoListener(noInfo), 1);
    QCOMPARE(first.AddErrorListener(noError), 1);
    QCOMPARE(first.AddInfoListener(noInfo), 3);
    first.ListDirectory();
    QCOMPARE(otherInfoCalls, 1);

    // Set twice: one slot taken on the second client, not two.
    log.SetClient(&second);
    QCOMPARE(second.AddInfoListener(noInfo), 2);
    QCOMPARE(second.AddErrorListener(noError), 2);

    log.SetClient(nullptr);
    QCOMPARE(log.Client(), nullptr);
    QCOMPARE(second.AddInfoListener(noInfo), 1);
    QCOMPARE(second.AddErrorListener(noError), 1);
}

void TestFtpMessenger::clientDestroyedFirst()
{
    auto *client = new TVexFtp;
    TVexFtpMessenger log;
    log.WriteMessage(QStringLiteral("kept"), mkStatus);
    log.SetClient(client);
    delete client;
    QCOMPARE(log.Client(), nullptr);
    log.SetClient(nullptr);

    TVexFtp next;
    log.SetClient(&next);
    QCOMPARE(log.Client(), &next);
    next.ListDirectory(); // not connected: writes nothing, but reaches the log
    QCOMPARE(log.Lines(), QStringList{QStringLiteral("STATUT:>    kept")});
}

void TestFtpMessenger::logDestroyedFirst()
{
    TVexFtp client;
    auto *log = new TVexFtpMessenger;
    log->SetClient(&client);
    delete log;
    client.ListDirectory(); // would reach a dead log if its listener stayed
    QCOMPARE(client.AddInfoListener([](TVexFtp *, FtpInfo, const QString &) {}), 1);
    QCOMPARE(client.AddErrorListener([](TVexFtp *, FtpError, const QString &) {}), 1);
}

// A real login and listing on pyftpdlib: commands (password masked),
// replies and status lines all reach the log, and it saves as shown.
void TestFtpMessenger::realServerLogin()
{
    if (!PyFtpdServer::Available())
        QSKIP(PyFtpdServer::UnavailableMessage());
    PyFtpdServer server;
    QVERIFY2(server.Start(), qPrintable(server.ErrorString()));
    TVexFtp client;
    PointAt(client, server.Host(), server.Port());
    client.SetUsername(QString::fromLatin1(PyFtpdServer::DefaultUser));
    client.SetPassword(QString::fromLatin1(PyFtpdServer::DefaultPassword));
    client.SetCache(false);
    client.SetPassive(true);
    TVexFtpMessenger log;
    log.SetClient(&client);
    QVERIFY(LogIn(client));
    bool listed = false;
    client.OnListingDone = [&listed](TVexFtp *) { listed = true; };
    client.ListDirectory();
    QTRY_VERIFY_WITH_TIMEOUT(listed, WaitMs);
    client.Close();
    QTRY_VERIFY_WITH_TIMEOUT(!log.ConnectedShown(), WaitMs);

    const QStringList lines = Described(log);
    const auto has = [&lines](const QString &line) { return lines.contains(line); };
    const auto hasPrefix = [&lines](const QString &prefix) {
        return std::any_of(lines.begin(), lines.end(), [&](const QString &l) { return l.startsWith(prefix); });
    };
    QVERIFY2(has(QStringLiteral("blue|STATUT:>    Connecté à 127.0.0.1. Attente du message de bienvenue.")), qPrintable(lines.join('\n')));
    QVERIFY2(hasPrefix(QStringLiteral("black|") + Indent + QStringLiteral("220 ")), qPrintable(lines.join('\n')));
    QVERIFY(has(QStringLiteral("green|COMMANDE:>  USER velmar")));
    QVERIFY(hasPrefix(QStringLiteral("black|") + Indent + QStringLiteral("331 ")));
    QVERIFY(has(QStringLiteral("green|COMMANDE:>  PASS (pas besoin de le savoir) :-P")));
    QVERIFY(hasPrefix(QStringLiteral("black|") + Indent + QStringLiteral("230 ")));
    QVERIFY(has(QStringLiteral("green|COMMANDE:>  PWD")));
    QVERIFY(has(QStringLiteral("blue|STATUT:>    Connexion réussie")));
    QVERIFY(has(QStringLiteral("green|COMMANDE:>  PASV")));
    QVERIFY(hasPrefix(QStringLiteral("green|COMMANDE:>  LIST")));
    QVERIFY(hasPrefix(QStringLiteral("black|") + Indent + QStringLiteral("226 ")));
    QVERIFY(has(QStringLiteral("blue|STATUT:>    Déconnecté")));
    QVERIFY(!std::any_of(lines.begin(), lines.end(), [](const QString &l) { return l.contains(QLatin1String("s3cret")); }));
    if (QTest::currentTestFailed())
        qWarning().noquote() << server.StandardError();
}

void TestFtpMessenger::saveStatus()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("Status.txt"));
    QFile old(path);
    QVERIFY(old.open(QIODevice::WriteOnly));
    old.write("an older, longer log that must be replaced entirely\r\n");
    old.close();

    TScriptedPrompter prompter;
    prompter.Install();
    prompter.QueuePath(path);
    TVexFtpMessenger log;
    log.WriteMessage(QStringLiteral("USER anonymous\r\n"), mkCommand);
    log.WriteMessage(QStringLiteral("Connexion réussie\r\n"), mkStatus);
    log.SaveStatusAction()->trigger();

    QCOMPARE(prompter.Asked().size(), 1);
    QCOMPARE(prompter.Asked().at(0).kind, QStringLiteral("save"));
    QCOMPARE(prompter.Asked().at(0).caption, QStringLiteral("Enregistrer"));
    QCOMPARE(prompter.Asked().at(0).value, QStringLiteral("Status.txt"));
    QFile saved(path);
    QVERIFY(saved.open(QIODevice::ReadOnly));
    QCOMPARE(saved.readAll(), QStringLiteral("COMMANDE:>  USER anonymous\r\n            \r\n"
                                             "STATUT:>    Connexion réussie\r\n            \r\n").toUtf8());

    // The proposed name is the same on the next save.
    log.SetStatusFileName(QStringLiteral("Status1.txt"));
    prompter.QueuePath(dir.filePath(QStringLiteral("Status1.txt")));
    QVERIFY(log.SaveStatus());
    QCOMPARE(prompter.Asked().at(1).value, QStringLiteral("Status1.txt"));
    QVERIFY(QFile::exists(dir.filePath(QStringLiteral("Status1.txt"))));
}

void TestFtpMessenger::saveStatusNothingToSave()
{
    TScriptedPrompter prompter;
    prompter.Install();
    prompter.QueuePath(QStringLiteral("/nonexistent-folder/never.txt"));
    TVexFtpMessenger log;
    log.WriteMessage(QStringLiteral(" \r\n"), mkReply);
    QVERIFY(!log.SaveStatus());
    QVERIFY(prompter.Asked().isEmpty());
}

void TestFtpMessenger::saveStatusCancelled()
{
    TScriptedPrompter prompter;
    prompter.Install();
    prompter.QueuePath(QString());
    TVexFtpMessenger log;
    log.WriteMessage(QStringLiteral("line"), mkStatus);
    QVERIFY(!log.SaveStatus());
    QCOMPARE(prompter.Asked().size(), 1);
    QVERIFY(prompter.Messages().isEmpty());
}

void TestFtpMessenger::saveStatusWriteError()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("missing/Status.txt"));
    TScriptedPrompter prompter;
    prompter.Install();
    prompter.QueuePath(path);
    TVexFtpMessenger log;
    log.WriteMessage(QStringLiteral("line"), mkStatus);
    QVERIFY(!log.SaveStatus());
    QCOMPARE(prompter.Messages().size(), 1);
    QVERIFY2(prompter.Messages().at(0).startsWith(
                 QStringLiteral("Impossible d'enregistrer le status dans le fichier « %1 » : ").arg(path)),
             qPrintable(prompter.Messages().at(0)));
    QVERIFY(!QFile::exists(path));

    QString reason;
    QVERIFY(!log.SaveLines(QString(), &reason));
    QVERIFY(!reason.isEmpty());
    QVERIFY(!log.SaveLines(dir.path(), &reason)); // a folder, not a file
    QVERIFY(!reason.isEmpty());
}

void TestFtpMessenger::saveStatusMenu()
{
    TVexFtpMessenger log;
    log.AttachSaveStatusMenu();
    log.AttachSaveStatusMenu();
    QCOMPARE(log.contextMenuPolicy(), Qt::ActionsContextMenu);
    QCOMPARE(log.actions(), QList<QAction *>{log.SaveStatusAction()});
}

void TestFtpMessenger::errorTexts_data()
{
    QTest::addColumn<int>("error");
    QTest::addColumn<QString>("clientText");
    QTest::addColumn<QString>("shown");
    QTest::newRow("local file, no text") << int(ftpeLocalFileOpen) << QString()
                                         << "Impossible d'ouvrir ou de créer le fichier local";
    QTest::newRow("disk full, blanks only") << int(ftpeLocalFileWrite) << " \r\n"
                                            << "Impossible d'écrire dans le fichier local";
    QTest::newRow("refused name, no text") << int(ftpeBadRemoteName) << QString() << "Nom de fichier distant refusé";
    QTest::newRow("data connection, no text") << int(ftpeDataConnection) << QString()
                                              << "La connexion de données a échoué";
    QTest::newRow("the client's text, nothing added")
        << int(ftpeLocalFileOpen) << "Impossible de créer le fichier « /x/a.txt »"
        << "Impossible de créer le fichier « /x/a.txt »";
    QTest::newRow("access denied, no text") << int(ftpeAccessDenied) << QString()
                                            << "Accès refusé ou fichier non trouvé";
}

// What the client reports without a text still shows, as what its code
// means; a text it gives shows as given.
void TestFtpMessenger::errorTexts()
{
    QFETCH(int, error);
    QFETCH(QString, clientText);
    QFETCH(QString, shown);
    TVexFtpMessenger log;
    log.OnError(nullptr, FtpError(error), clientText);
    QCOMPARE(Described(log), (QStringList{QStringLiteral("red|ERREUR:>    ") + shown, QStringLiteral("red|") + Indent}));
    QCOMPARE(FtpErrorShownText(FtpError(error), clientText), shown);
}

// The oldest lines go past MaxLines; saving writes what is kept.
void TestFtpMessenger::keepsItsLastLines()
{
    TVexFtpMessenger log;
    log.SetStyle(msgVexFtp);
    const int total = TVexFtpMessenger::MaxLines + 250;
    for (int i = 1; i <= total; ++i)
        log.AddLine(QStringLiteral("ligne %1").arg(i));
    QCOMPARE(log.LineCount(), TVexFtpMessenger::MaxLines);
    const QStringList lines = log.Lines();
    QCOMPARE(lines.first(), QStringLiteral("ligne 251"));
    QCOMPARE(lines.last(), QStringLiteral("ligne %1").arg(total));

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Status.txt"));
    QVERIFY(log.SaveLines(path));
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QList<QByteArray> saved = file.readAll().split('\n');
    QCOMPARE(saved.size(), TVexFtpMessenger::MaxLines + 1); // every line ends with CR LF
    QCOMPARE(saved.first(), QByteArray("ligne 251\r"));
    QCOMPARE(saved.at(TVexFtpMessenger::MaxLines - 1), QString("ligne %1\r").arg(total).toUtf8());
}

void TestFtpMessenger::longReplyEchoesItsStartAndEnd_data()
{
    QTest::addColumn<int>("linesPerRead");
    QTest::addColumn<bool>("cutBetweenCrAndLf"); // each read ends with CR, the next starts with LF
    QTest::newRow("ten lines a read") << 10 << false;
    QTest::newRow("one line a read") << 1 << false;
    QTest::newRow("whole reply in one read") << 2000 << false;
    QTest::newRow("seven lines a read, cut in the line end") << 7 << true;
    QTest::newRow("one line a read, cut in the line end") << 1 << true;
}

// A multi-line reply of 2000 lines: its first MaxReplyLines lines, a line
// telling how many were left out, and its last line. The next command's
// answer shows in full again.
void TestFtpMessenger::longReplyEchoesItsStartAndEnd()
{
    QFETCH(int, linesPerRead);
    QFETCH(bool, cutBetweenCrAndLf);
    constexpr int Total = 2000;
    QStringList reply{QStringLiteral("211-Etat du serveur")};
    for (int i = 2; i < Total; ++i)
        reply.append(QStringLiteral(" ligne %1").arg(i));
    reply.append(QStringLiteral("211 Fin de l'etat"));

    TVexFtpMessenger log;
    log.SetStyle(msgVexFtp);
    log.OnInfo(nullptr, ftpiCommand, QStringLiteral("STAT\r\n"));
    const QString text = reply.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n");
    qsizetype start = 0;
    int lines = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text.at(i) != QLatin1Char('\n') || ++lines % linesPerRead != 0)
            continue;
        const qsizetype cut = cutBetweenCrAndLf ? i : i + 1;
        log.OnInfo(nullptr, ftpiReceived, text.mid(start, cut - start));
        start = cut;
    }
    if (start < text.size())
        log.OnInfo(nullptr, ftpiReceived, text.mid(start));
    log.OnInfo(nullptr, ftpiCommand, QStringLiteral("NOOP\r\n"));
    log.OnInfo(nullptr, ftpiReceived, QStringLiteral("200 NOOP ok\r\n"));

    QStringList shown = log.Lines();
    shown.removeAll(QString()); // the blank line after each written text
    const int max = TVexFtpMessenger::MaxReplyLines;
    QStringList expected{QStringLiteral("STAT")};
    expected << reply.mid(0, max)
             << QStringLiteral("Réponse trop longue : %1 lignes non affichées").arg(Total - max - 1)
             << reply.last() << QStringLiteral("NOOP") << QStringLiteral("200 NOOP ok");
    QCOMPARE(shown, expected);
}

// A server answering one command with reply after reply, without end: after
// MaxReplyLines lines, each read adds at most a note and the last reply.
void TestFtpMessenger::floodOfRepliesStaysBounded()
{
    TVexFtpMessenger log;
    log.SetStyle(msgVexFtp);
    log.OnInfo(nullptr, ftpiCommand, QStringLiteral("NOOP\r\n"));
    QString read;
    for (int i = 0; i < 400; ++i)
        read += QStringLiteral("200 encore\r\n");
    constexpr int Reads = 250; // 100,000 replies
    for (int i = 0; i < Reads; ++i)
        log.OnInfo(nullptr, ftpiReceived, read);
    QVERIFY2(log.LineCount() < TVexFtpMessenger::MaxReplyLines * 2 + Reads * 4, qPrintable(QString::number(log.LineCount())));
    const QStringList lines = log.Lines();
    QVERIFY(lines.contains(QStringLiteral("Réponse trop longue : 399 lignes non affichées")));
    QCOMPARE(lines.at(lines.size() - 2), QStringLiteral("200 encore"));
}

// A welcome of a million lines from a real client's connection: the log
// stays within its bounds and the login goes on behind it.
void TestFtpMessenger::millionLineWelcome()
{
    constexpr int Total = 1000000;
    QByteArray welcome;
    welcome.reserve(Total * 12);
    for (int i = 1; i < Total; ++i)
        welcome += "220-ligne " + QByteArray::number(i) + "\r\n";
    welcome += "220 Bienvenue\r\n";
    ScriptedFtpServer server;
    QVERIFY(server.Start(FtpScript()
                             .sendRaw(welcome)
                             .expect(QStringLiteral("USER anonymous"), QStringLiteral("230 ok"))
                             .expect(QStringLiteral("SYST"), QStringLiteral("215 UNIX Type: L8"))
                             .expect(QStringLiteral("TYPE I"), QStringLiteral("200 ok"))
                             .expect(QStringLiteral("REST 100"), QStringLiteral("502 no"))
                             .expect(QStringLiteral("PWD"), QStringLiteral("257 \"/\""))));
    TVexFtp client;
    PointAt(client, server.Host(), server.Port());
    TVexFtpMessenger log;
    log.SetStyle(msgVexFtp);
    log.SetClient(&client);
    // Twelve megabytes of welcome take a while under a sanitizer on a busy
    // machine; the wait bounds a hang, not the speed.
    QVERIFY(LogIn(client, 60000));

    QVERIFY2(log.LineCount() < TVexFtpMessenger::MaxReplyLines * 3, qPrintable(QString::number(log.LineCount())));
    QStringList lines = log.Lines();
    lines.removeAll(QString());
    QCOMPARE(lines.value(1), QStringLiteral("220-ligne 1"));
    // Reads cut lines where they fall: a line cut in two shows as two.
    static const QRegularExpression leftOut(QStringLiteral("^Réponse trop longue : (\\d+) lignes non affichées$"));
    const int note = int(lines.indexOf(leftOut));
    QVERIFY2(note > 0, qPrintable(lines.mid(TVexFtpMessenger::MaxReplyLines - 2, 8).join(u'|')));
    const int hidden = leftOut.match(lines.at(note)).captured(1).toInt();
    QVERIFY2(hidden >= Total - TVexFtpMessenger::MaxReplyLines - 1 && hidden < Total, qPrintable(lines.at(note)));
    QCOMPARE(lines.value(note + 1), QStringLiteral("220 Bienvenue"));
    QCOMPARE(lines.value(note + 2), QStringLiteral("USER anonymous"));
    QCOMPARE(lines.last(), QStringLiteral("Connexion réussie"));
}

QTEST_MAIN(TestFtpMessenger)
#include "tst_ftpmessenger.moc"
