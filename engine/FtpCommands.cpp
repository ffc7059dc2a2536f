// Navigation and file commands on the remote tree, raw commands, and
// connecting or navigating by an ftp:// address.

#include "FtpCache.h"
#include "FtpMisc.h"
#include "FtpPrivate.h"

#include <QFile>

// ---------------------------------------------------------------------------
// Shared steps

bool TVexFtpPrivate::BeginCommand(FtpOperation op)
{
    if (!BeginOperation())
        return false;
    operation = op;
    return true;
}

bool TVexFtpPrivate::SendableArgument(const QString &argument, FtpError error)
{
    if (!HasLineBreak(argument, error))
        return true;
    EndItem();
    return false;
}

void TVexFtpPrivate::WaitIfSynchronous()
{
    if (!asynchronous)
        WaitWhileBusy();
}

void TVexFtpPrivate::RaiseAccessDenied()
{
    RaiseError(ftpeAccessDenied, FtpText::AccessDenied);
}

// The handler of MKD, DELE and raw commands: any refusal is an access error,
// and the operation (or list item) ends on the final reply. A preliminary
// 1xx reply is not final: the handler waits for the one that follows.
void TVexFtpPrivate::HandleFileCommandReply(const QString &reply)
{
    if (ReplyBegins(reply, '1'))
        return;
    if (!ReplyBegins(reply, '2'))
        RaiseAccessDenied();
    EndItem();
}

// ---------------------------------------------------------------------------
// Changing directory

void TVexFtp::ChangeDirectory(const QString &path)
{
    if (!d->BeginCommand(FtpOperation::ChangeDirectory))
        return;
    if (d->SendableArgument(path, ftpeBadRemoteName))
        d->IssueCommand(QLatin1String("CWD ") + path, [this](const QString &r) { d->HandleCwdReply(r); });
    d->WaitIfSynchronous();
}

void TVexFtp::ChangeToParent()
{
    if (!d->BeginCommand(FtpOperation::ParentDirectory))
        return;
    d->IssueCommand(QStringLiteral("CDUP"), [this](const QString &r) { d->HandleCwdReply(r); });
    d->WaitIfSynchronous();
}

// Judges CWD and CDUP: a quoted path in the reply is the new directory,
// otherwise PWD asks for it.
void TVexFtpPrivate::HandleCwdReply(const QString &reply)
{
    if (!ReplyBegins(reply, '2')) {
        currentDirectory.clear();
        RaiseAccessDenied();
        EndItem();
        return;
    }
    if (!reply.contains(QLatin1Char('"'))) {
        IssueCommand(QStringLiteral("PWD"), [this](const QString &r) { HandlePwdReply(r); });
        return;
    }
    currentDirectory = QuotedPath(reply);
    EndItem();
}

void TVexFtpPrivate::HandlePwdReply(const QString &reply)
{
    if (ReplyBegins(reply, '2')) {
        currentDirectory = QuotedPath(reply);
        if (serverType == ftpstNetTerm || serverType == ftpstServU)
            currentDirectory = StripDrivePrefix(currentDirectory);
    } else {
        RaiseError(ftpeCommandFailed, FtpText::CommandRefused.arg(QStringLiteral("PWD"), reply));
    }
    EndItem();
}

// ---------------------------------------------------------------------------
// Directories and files

void TVexFtp::CreateDirectory(const QString &name)
{
    if (!d->BeginCommand(FtpOperation::CreateDirectory))
        return;
    if (d->SendableArgument(name, ftpeBadRemoteName))
        d->IssueCommand(QLatin1String("MKD ") + name, [this](const QString &r) { d->HandleFileCommandReply(r); });
    d->WaitIfSynchronous();
}

void TVexFtp::RemoveDirectories(const QStringList &names)
{
    d->RunListOperation(FtpOperation::RemoveDirectories, names, [this, &names](int i) {
        const QString &name = names.at(i);
        if (!d->SendableArgument(name, ftpeBadRemoteName))
            return;
        d->removedDirectory = name;
        d->IssueCommand(QLatin1String("RMD ") + name, [this](const QString &r) { d->HandleRmdReply(r); });
    });
}

// The cached listings of a removed folder go with it. Its path is built
// from the name exactly as sent: that is the folder the server removed,
// and the path its CWD reply reports (blanks included), which keys the cache.
void TVexFtpPrivate::HandleRmdReply(const QString &reply)
{
    if (ReplyBegins(reply, '2')) {
        QString path = removedDirectory;
        if (!path.startsWith(QLatin1Char('/'))) {
            path = currentDirectory;
            if (!path.endsWith(QLatin1Char('/')))
                path += QLatin1Char('/');
            path += removedDirectory;
        }
        QFile::remove(CacheFileName(server, username, path, true, port));
        QFile::remove(CacheFileName(server, username, path, false, port));
    } else {
        RaiseAccessDenied();
    }
    EndItem();
}

void TVexFtp::DeleteFiles(const QStringList &names)
{
    d->RunListOperation(FtpOperation::DeleteFiles, names, [this, &names](int i) {
        const QString &name = names.at(i);
        if (d->SendableArgument(name, ftpeBadRemoteName))
            d->IssueCommand(QLatin1String("DELE ") + name, [this](const QString &r) { d->HandleFileCommandReply(r); });
    });
}

void TVexFtp::Rename(const QString &oldName, const QString &newName)
{
    if (oldName.isEmpty() || oldName == newName)
        return;
    if (!d->BeginCommand(FtpOperation::Rename))
        return;
    if (d->SendableArgument(oldName, ftpeBadRemoteName) && d->SendableArgument(newName, ftpeBadRemoteName)) {
        d->renameTarget = newName;
        d->IssueCommand(QLatin1String("RNFR ") + oldName, [this](const QString &r) { d->HandleRnfrReply(r); });
    }
    d->WaitIfSynchronous();
}

void TVexFtpPrivate::HandleRnfrReply(const QString &reply)
{
    if (ReplyBegins(reply, '3')) {
        IssueCommand(QLatin1String("Rnto ") + renameTarget, [this](const QString &r) { HandleRntoReply(r); });
        return;
    }
    RaiseAccessDenied();
    EndItem();
}

void TVexFtpPrivate::HandleRntoReply(const QString &reply)
{
    if (!ReplyBegins(reply, '2'))
        RaiseAccessDenied();
    EndItem();
}

// ---------------------------------------------------------------------------
// Raw commands

void TVexFtp::SendCommand(const QString &text, const TReplyHandler &handler)
{
    if (text.isEmpty()) {
        // Ending "nothing" must not end an operation that is running.
        if (d->busy) {
            d->RaiseInfo(ftpiBusy);
            return;
        }
        d->Ready();
        return;
    }
    if (!d->BeginOperation())
        return;
    if (!d->SendableArgument(text, ftpeAccessDenied))
        return;
    d->rememberedType.clear(); // the user may have changed it
    // A password typed by hand stays out of the log, however it is written.
    qsizetype start = 0;
    while (start < text.size() && text.at(start).isSpace())
        ++start;
    const CommandLog log = QStringView(text).mid(start).startsWith(QLatin1String("PASS "), Qt::CaseInsensitive)
        ? CommandLog::Secret
        : CommandLog::Shown;
    if (handler) {
        d->callerCommandPending = true;
        d->callerCommandConnection = d->controlGeneration;
        d->IssueCommand(text, handler, log);
    } else {
        d->IssueCommand(text, [this](const QString &r) { d->HandleFileCommandReply(r); }, log);
    }
}

void TVexFtp::EndCommand()
{
    // Only the command a caller's handler is judging can be ended here; a
    // stray call must not cut another operation short.
    if (!d->callerCommandPending || d->callerCommandConnection != d->controlGeneration)
        return;
    d->callerCommandPending = false;
    d->Ready();
}

// ---------------------------------------------------------------------------
// ftp:// addresses

void TVexFtp::ConnectUrl(const QString &address)
{
    if (d->busy) {
        d->RaiseInfo(ftpiBusy);
        return;
    }
    TFtpUrlParts parts;
    QString errorText;
    if (!SplitFtpUrl(address, parts, &errorText)) {
        d->RaiseError(ftpeBadUrl, errorText);
        return;
    }
    if (!parts.hasUser) {
        if (d->username.isEmpty())
            d->username = QStringLiteral("anonymous");
        if (d->password.isEmpty())
            d->password = DefaultGuestPassword();
        parts.user = d->username;
        parts.password = d->password;
    }
    if (!parts.hasPort)
        parts.port = d->port;

    d->navigationPath = parts.path;
    d->remoteFileName.clear();
    d->busy = true;
    d->Notify(nkFtpBusy);

    if (parts.user == d->username && parts.password == d->password && parts.host == d->server
        && parts.port == d->port && d->loggedIn) {
        d->Navigate();
        return;
    }
    d->username = parts.user;
    d->password = parts.password;
    SetServer(parts.host);
    d->port = parts.port;
    d->lastError = ftpeNone; // the old connection's close is no failed login to retry
    if (d->connected) {
        d->urlState = UrlConnectState::QuitPending;
        d->IssueCommand(QStringLiteral("QUIT"), [this](const QString &r) { d->HandleQuitReply(r); });
    } else {
        d->urlState = UrlConnectState::NavigateAfterLogin;
        d->StartLogin();
    }
}

void TVexFtpPrivate::HandleQuitReply(const QString &reply)
{
    loggedIn = false;
    if (!ReplyBegins(reply, '2')) {
        RaiseError(ftpeQuitRefused, FtpText::QuitRefusedReply.arg(reply));
        // The old connection is given up all the same. Its close is no
        // failed login: a retry would find the client still busy with this
        // address and stop there, leaving it busy and disconnected.
        lastError = ftpeNone;
        CloseDataConnection();
    }
    // Servers close after 221; closing from our side too means a server
    // that lingers cannot hold the new login up.
    if (q->Established())
        q->Close();
}

void TVexFtpPrivate::Navigate()
{
    urlState = UrlConnectState::None;
    const TReplyHandler handler = [this](const QString &r) { HandleAddressCwdReply(r); };
    if (navigationPath.isEmpty())
        IssueCommand(QStringLiteral("PWD"), handler);
    else
        IssueCommand(QLatin1String("CWD ") + navigationPath, handler);
}

// The server accepted the login; whatever the address leads to next, the
// client is logged in (a close that follows is no failed attempt to retry).
void TVexFtpPrivate::MarkAddressLoggedIn()
{
    if (loggedIn)
        return;
    loggedIn = true;
    RaiseInfo(ftpiLoggedIn);
}

// Judges the CWD of the address's path, or its PWD when it has none.
void TVexFtpPrivate::HandleAddressCwdReply(const QString &reply)
{
    if (ReplyBegins(reply, '2')) {
        operation = FtpOperation::ChangeDirectory;
        currentDirectory = QuotedPath(reply);
        MarkAddressLoggedIn();
        HandleCwdReply(reply);
        return;
    }
    if (navigationPath.isEmpty() || navigationPath.endsWith(QLatin1Char('/'))) {
        operation = FtpOperation::ChangeDirectory;
        currentDirectory.clear();
        MarkAddressLoggedIn();
        RaiseAccessDenied();
        EndItem();
        return;
    }
    // The path names a file: enter its folder, then offer the download.
    const qsizetype slash = navigationPath.lastIndexOf(QLatin1Char('/'));
    remoteFileName = navigationPath.mid(slash + 1);
    navigationPath.truncate(slash + 1);
    IssueCommand(QLatin1String("CWD ") + navigationPath, [this](const QString &r) { HandleFileFolderCwdReply(r); });
}

// Judges the CWD into the folder of a file address.
void TVexFtpPrivate::HandleFileFolderCwdReply(const QString &reply)
{
    if (!ReplyBegins(reply, '2')) {
        RaiseError(ftpeBadRemoteName, FtpText::FolderRefused.arg(navigationPath, reply));
        // Deliberately ended, like an unanswered question below: the login
        // itself went through, so the close is not retried.
        lastError = ftpeNone;
        CloseDataConnection();
        if (q->Established())
            q->Close();
        return;
    }
    MarkAddressLoggedIn();
    currentDirectory = reply.contains(QLatin1Char('"')) ? QuotedPath(reply) : navigationPath;
    const QString remote = remoteFileName;
    const QString local = q->OnFtpNeedInfo ? Ask(needLocalFileName, remote) : QString();
    if (local.isEmpty()) {
        q->Close();
        return;
    }
    // The download is an operation of its own. It starts here without
    // waiting, whatever Asynchronous says: this runs inside the control
    // reader, which alone delivers the replies a wait would need. It
    // reports its end through its events like the rest of ConnectUrl.
    busy = false;
    if (!BeginOperation())
        return;
    operation = FtpOperation::GetFile;
    StartDownload(remote, local);
}

QString TVexFtp::CurrentUrl() const
{
    QString url = QLatin1String("ftp://") + d->server;
    if (d->port != 21)
        url += QLatin1Char(':') + QString::number(d->port);
    url += QLatin1Char('/');
    const QString &dir = d->currentDirectory;
    if (!dir.isEmpty() && dir != QLatin1String("/")) {
        url += dir.startsWith(QLatin1Char('/')) ? dir.mid(1) : dir;
        if (!url.endsWith(QLatin1Char('/')))
            url += QLatin1Char('/');
    }
    return url;
}
