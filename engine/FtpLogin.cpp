// The login dialogue that follows the server's welcome, directly or through
// one of the proxy schemes, the questions for missing credentials, the
// probes (system type, restart support) and the starting directory.
//
// Every step judges the final line of the previous command's reply. During
// login every refusal is fatal: the error closes the connection, and the
// close handling decides on a retry.

#include "FtpMisc.h"
#include "FtpPrivate.h"

namespace {
// "host" for port 21, "host:port" otherwise, in the two proxy schemes that
// carry the target inside the user name.
QString TargetWithPort(const QString &host, quint16 port, QChar separator)
{
    if (port == 21)
        return host;
    return host + separator + QString::number(port);
}

struct SystKeyword {
    const char *keyword;
    TVexFtpServerType type;
};

// Order matters: the first keyword found anywhere in the reply decides.
constexpr SystKeyword systKeywords[] = {
    {"UNIX", ftpstUNIX},
    {"BSD", ftpstBSD},
    {"SUNOS", ftpstSunOS},
    {"CLIX", ftpstClix},
    {"ULTRIX", ftpstULTRIX},
    {"MVS", ftpstMVS},
    {"QVT", ftpstQVT},
    {"NCSA", ftpstNCSA},
    {"WFTPD", ftpstWFTPD},
    {"WINDWOS_NT", ftpstMSFTP},
    {"CHAMELEON", ftpstChameleon},
};

TVexFtpServerType ServerTypeFromSyst(const QString &upper)
{
    for (const SystKeyword &row : systKeywords)
        if (upper.contains(QLatin1String(row.keyword)))
            return row.type;
    if (upper.contains(QLatin1String("VMS")))
        return upper.contains(QLatin1String("MULTINET")) ? ftpstVmsMultinet : ftpstVmsUcx;
    if (upper.contains(QLatin1String("VM")))
        return upper.contains(QLatin1String("VPS")) ? ftpstVMVPS : ftpstVM;
    return ftpstDefault;
}
}

void TVexFtpPrivate::IssueLoginCommand(const QString &command, const TReplyHandler &handler, CommandLog log)
{
    // A line break inside a credential, a target or the starting directory
    // would put a second command on the wire. Nothing is sent: the step
    // fails as if the server had refused the command.
    if (command.contains(QLatin1Char('\r')) || command.contains(QLatin1Char('\n'))) {
        handler(LocalRefusalReply);
        return;
    }
    IssueCommand(command, handler, log);
}

void TVexFtpPrivate::HandleWelcomeReply(const QString &reply)
{
    if (urlState == UrlConnectState::None)
        operation = FtpOperation::Login;
    else if (urlState == UrlConnectState::QuitPending)
        urlState = UrlConnectState::NavigateAfterLogin;
    if (!ReplyBegins(reply, '2')) {
        RaiseFatal(ftpeServerRefused, FtpText::ServerRefusedReply.arg(reply));
        return;
    }
    if (username.isEmpty())
        username = Ask(needUsername);
    if (proxyType != proxyNone) {
        q->SetServer(targetServer);
        port = targetPort;
    } else if (serverType == ftpstAutoDetect && reply.contains(QLatin1String("NetTerm FTP server"))) {
        serverType = ftpstNetTerm;
    }
    SendFirstLoginCommand();
}

void TVexFtpPrivate::SendFirstLoginCommand()
{
    const auto userHandler = [this](const QString &r) { HandleUserReply(r); };
    switch (proxyType) {
    case proxyNone:
        IssueLoginCommand(QLatin1String("USER ") + username, userHandler);
        break;
    case proxyHost:
        IssueLoginCommand(QLatin1String("HOST ") + server, [this](const QString &r) { HandleHostReply(r); });
        break;
    case proxyHostUser:
        IssueLoginCommand(QLatin1String("USER ") + TargetWithPort(server, port, QLatin1Char(':')) + QLatin1Char('!')
                              + username,
                          userHandler);
        break;
    case proxyOpen:
        IssueLoginCommand(QLatin1String("OPEN ") + server, [this](const QString &r) { HandleOpenReply(r); });
        break;
    case proxySite:
        if (proxyUsername.isEmpty())
            proxyUsername = Ask(needUsername);
        IssueLoginCommand(QLatin1String("USER ") + proxyUsername, [this](const QString &r) { HandleProxyUserReply(r); });
        break;
    case proxyUserSite:
        IssueLoginCommand(QLatin1String("USER ") + username + QLatin1Char('@')
                              + TargetWithPort(server, port, QLatin1Char(':')),
                          userHandler);
        break;
    }
}

void TVexFtpPrivate::HandleHostReply(const QString &reply)
{
    if (ReplyBegins(reply, '3'))
        SendUser();
    else
        RaiseFatal(ftpeServerRefused, FtpText::ServerRefusedReply.arg(reply));
}

void TVexFtpPrivate::HandleOpenReply(const QString &reply)
{
    if (ReplyBegins(reply, '2'))
        SendUser();
    else
        RaiseFatal(ftpeServerRefused, FtpText::ServerRefusedReply.arg(reply));
}

void TVexFtpPrivate::HandleProxyUserReply(const QString &reply)
{
    if (ReplyBegins(reply, '2')) {
        IssueLoginCommand(QLatin1String("SITE ") + server, [this](const QString &r) { HandleSiteReply(r); });
    } else if (ReplyBegins(reply, '3')) {
        if (proxyPassword.isEmpty())
            proxyPassword = Ask(needPassword);
        IssueLoginCommand(QLatin1String("PASS ") + proxyPassword, [this](const QString &r) { HandleProxyPassReply(r); },
                          CommandLog::Secret);
    } else {
        RaiseFatal(ftpeLoginRefused, FtpText::LoginRefusedReply.arg(reply));
    }
}

void TVexFtpPrivate::HandleProxyPassReply(const QString &reply)
{
    if (ReplyBegins(reply, '2'))
        IssueLoginCommand(QLatin1String("SITE ") + server, [this](const QString &r) { HandleSiteReply(r); });
    else
        RaiseFatal(ftpeLoginRefused, FtpText::LoginRefusedReply.arg(reply));
}

void TVexFtpPrivate::HandleSiteReply(const QString &reply)
{
    if (ReplyBegins(reply, '2'))
        SendUser();
    else
        RaiseFatal(ftpeCommandFailed, FtpText::CommandRefused.arg(QLatin1String("SITE ") + server, reply));
}

void TVexFtpPrivate::SendUser()
{
    IssueLoginCommand(QLatin1String("USER ") + username, [this](const QString &r) { HandleUserReply(r); });
}

void TVexFtpPrivate::HandleUserReply(const QString &reply)
{
    if (ReplyBegins(reply, '2')) {
        StartProbes();
    } else if (ReplyBegins(reply, '3')) {
        if (password.isEmpty())
            password = Ask(needPassword);
        IssueLoginCommand(QLatin1String("PASS ") + password, [this](const QString &r) { HandlePassReply(r); },
                          CommandLog::Secret);
    } else {
        RaiseFatal(ftpeLoginRefused, FtpText::LoginRefusedReply.arg(reply));
    }
}

void TVexFtpPrivate::HandlePassReply(const QString &reply)
{
    if (ReplyBegins(reply, '2')) {
        StartProbes();
    } else if (ReplyBegins(reply, '3')) {
        if (account.isEmpty())
            account = Ask(needAccount);
        IssueLoginCommand(QLatin1String("ACCT ") + account, [this](const QString &r) { HandleAcctReply(r); });
    } else {
        RaiseFatal(ftpeLoginRefused, FtpText::LoginRefusedReply.arg(reply));
    }
}

void TVexFtpPrivate::HandleAcctReply(const QString &reply)
{
    if (ReplyBegins(reply, '2'))
        StartProbes();
    else
        RaiseFatal(ftpeLoginRefused, FtpText::LoginRefusedReply.arg(reply));
}

void TVexFtpPrivate::StartProbes()
{
    if (serverType != ftpstAutoDetect)
        StartRestartProbe();
    else
        IssueCommand(QStringLiteral("SYST"), [this](const QString &r) { HandleSystReply(r); });
}

void TVexFtpPrivate::HandleSystReply(const QString &reply)
{
    if (ReplyBegins(reply, '5')) {
        serverType = ftpstDefault;
    } else if (serverType == ftpstAutoDetect) {
        serverType = ServerTypeFromSyst(reply.mid(4, 99).toUpper());
    }
    StartRestartProbe();
}

void TVexFtpPrivate::StartRestartProbe()
{
    // Servers may refuse a restart offset in ASCII mode, the type a session
    // starts in (pyftpdlib and proftpd answer 501), and resumed transfers
    // run in binary: the probe asks in binary mode, whatever the type reply
    // says. The type is not remembered: as after any new connection, the
    // first transfer makes sure of its own.
    IssueCommand(QStringLiteral("TYPE I"), [this](const QString &) {
        IssueCommand(QStringLiteral("REST 100"), [this](const QString &r) { HandleRestProbeReply(r); });
    });
}

void TVexFtpPrivate::HandleRestProbeReply(const QString &reply)
{
    if (ReplyBegins(reply, '3')) {
        resumeSupported = true;
        RaiseInfo(ftpiResumeSupported, FtpText::ResumeSupported);
        IssueCommand(QStringLiteral("REST 0"), [this](const QString &r) { HandleRestZeroReply(r); });
    } else {
        resumeSupported = false;
        RaiseInfo(ftpiResumeUnavailable);
        DirectoryStep();
    }
}

void TVexFtpPrivate::HandleRestZeroReply(const QString &)
{
    // REST 0 only takes the probe's offset back; whatever the answer, go on.
    DirectoryStep();
}

void TVexFtpPrivate::DirectoryStep()
{
    if (urlState == UrlConnectState::NavigateAfterLogin) {
        Navigate();
    } else if (!initialDirectory.isEmpty()) {
        IssueLoginCommand(QLatin1String("CWD ") + initialDirectory, [this](const QString &r) { HandleInitialCwdReply(r); });
    } else {
        IssueCommand(QStringLiteral("PWD"), [this](const QString &r) { HandleLoginPwdReply(r); });
    }
}

void TVexFtpPrivate::HandleInitialCwdReply(const QString &reply)
{
    if (ReplyBegins(reply, '2'))
        currentDirectory = QuotedPath(reply);
    if (!currentDirectory.isEmpty())
        FinishLogin();
    else
        IssueCommand(QStringLiteral("PWD"), [this](const QString &r) { HandleLoginPwdReply(r); });
}

void TVexFtpPrivate::HandleLoginPwdReply(const QString &reply)
{
    if (!ReplyBegins(reply, '2')) {
        RaiseFatal(ftpeCommandFailed, FtpText::CommandRefused.arg(QStringLiteral("PWD"), reply));
        return;
    }
    currentDirectory = QuotedPath(reply);
    if (serverType == ftpstNetTerm || serverType == ftpstServU)
        currentDirectory = StripDrivePrefix(currentDirectory);
    FinishLogin();
}

void TVexFtpPrivate::FinishLogin()
{
    RaiseInfo(ftpiLoggedIn);
    Ready();
}
