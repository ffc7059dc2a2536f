// Navigation and file commands on the remote tree, raw commands, and
// connecting or navigating by an ftp:// address.

#include "FtpCache.h"
#include "FtpMisc.h"
#include "FtpPrivate.h"

#include <QFile>

namespace {
bool Begins(const QString &reply, char digit)
{
    return !reply.isEmpty() && reply.at(0) == QLatin1Char(digit);
}

constexpr int MaxUrlPart = 999;
}

// The handler of MKD, DELE and raw commands: any refusal is an access error,
// and the operation (or list item) ends on the final reply.
void TVexFtpPrivate::HandleFileCommandReply(const QString &reply)
{
    if (!Begins(reply, '2')) {
        pendingErrorText = FtpText::AccessDenied;
        RaiseError(ftpeAccessDenied);
    }
    EndItem();
}

bool TVexFtpPrivate::BeginCommand(FtpOperation op, const QString &argument)
{
    if (!BeginOperation())
        return false;
    operation = op;
    if (HasLineBreak(argument, ftpeBadRemoteName)) {
        EndItem();
        return false;
    }
    return true;
}

void TVexFtp::ChangeDirectory(const QString &path)
{
    if (!d->BeginCommand(FtpOperation::ChangeDirectory, path))
        return;
    d->IssueCommand(QLatin1String("CWD ") + path, [this](const QString &r) { d->HandleCwdReply(r); });
    if (!d->asynchronous)
        d->WaitWhileBusy();
}

void TVexFtp::ChangeToParent()
{
    if (!d->BeginCommand(FtpOperation::ParentDirectory, QString()))
        return;
    d->IssueCommand(QStringLiteral("CDUP"), [this](const QString &r) { d->HandleCwdReply(r); });
    if (!d->asynchronous)
        d->WaitWhileBusy();
}

void TVexFtpPrivate::HandleCwdReply(const QString &reply)
{
    if (Begins(reply, '2')) {
        if (reply.contains(QLatin1Char('"'))) {
            currentDirectory = QuotedPath(reply);
            EndItem();
        } else {
            IssueCommand(QStringLiteral("PWD"), [this](const QString &r) { HandlePwdReply(r); });
        }
        return;
    }
    currentDirectory.clear();
    pendingErrorText = FtpText::AccessDenied;
    RaiseError(ftpeAccessDenied);
    EndItem();
}

void TVexFtpPrivate::HandlePwdReply(const QString &reply)
{
    if (Begins(reply, '2')) {
        currentDirectory = QuotedPath(reply);
        if (serverType == ftpstNetTerm || serverType == ftpstServU)
            currentDirectory = StripDrivePrefix(currentDirectory);
    } else {
        RaiseError(ftpeCommandFailed);
    }
    EndItem();
}

void TVexFtp::CreateDirectory(const QString &name)
{
    if (!d->BeginCommand(FtpOperation::CreateDirectory, name))
        return;
    d->IssueCommand(QLatin1String("MKD ") + name, [this](const QString &r) { d->HandleFileCommandReply(r); });
    if (!d->asynchronous)
        d->WaitWhileBusy();
}

void TVexFtp::RemoveDirectories(const QStringList &names)
{
    d->RunListOperation(FtpOperation::RemoveDirectories, int(names.size()), [this, &names](int i) {
        const QString &name = names.at(i);
        if (d->HasLineBreak(name, ftpeBadRemoteName)) {
            d->EndItem();
            return;
        }
        d->removedDirectory = name.trimmed();
        d->IssueCommand(QLatin1String("RMD ") + name, [this](const QString &r) { d->HandleRmdReply(r); });
    });
}

void TVexFtpPrivate::HandleRmdReply(const QString &reply)
{
    if (Begins(reply, '2')) {
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
        pendingErrorText = FtpText::AccessDenied;
        RaiseError(ftpeAccessDenied);
    }
    EndItem();
}

void TVexFtp::DeleteFiles(const QStringList &names)
{
    d->RunListOperation(FtpOperation::DeleteFiles, int(names.size()), [this, &names](int i) {
        const QString &name = names.at(i);
        if (d->HasLineBreak(name, ftpeBadRemoteName)) {
            d->EndItem();
            return;
        }
        d->IssueCommand(QLatin1String("DELE ") + name, [this](const QString &r) { d->HandleFileCommandReply(r); });
    });
}

void TVexFtp::Rename(const QString &oldName, const QString &newName)
{
    if (oldName.isEmpty() || oldName == newName)
        return;
    if (!d->BeginOperation())
        return;
    d->operation = FtpOperation::Rename;
    if (d->HasLineBreak(oldName, ftpeBadRemoteName) || d->HasLineBreak(newName, ftpeBadRemoteName)) {
        d->EndItem();
        return;
    }
    d->renameTarget = newName;
    d->IssueCommand(QLatin1String("RNFR ") + oldName, [this](const QString &r) { d->HandleRnfrReply(r); });
    if (!d->asynchronous)
        d->WaitWhileBusy();
}

void TVexFtpPrivate::HandleRnfrReply(const QString &reply)
{
    if (Begins(reply, '3')) {
        IssueCommand(QLatin1String("Rnto ") + renameTarget, [this](const QString &r) { HandleRntoReply(r); });
        return;
    }
    pendingErrorText = FtpText::AccessDenied;
    RaiseError(ftpeAccessDenied);
    EndItem();
}

void TVexFtpPrivate::HandleRntoReply(const QString &reply)
{
    if (!Begins(reply, '2')) {
        pendingErrorText = FtpText::AccessDenied;
        RaiseError(ftpeAccessDenied);
    }
    EndItem();
}

void TVexFtp::SendCommand(const QString &text, const TReplyHandler &handler)
{
    if (text.isEmpty()) {
        d->Ready();
        return;
    }
    if (!d->BeginOperation())
        return;
    if (d->HasLineBreak(text, ftpeAccessDenied)) {
        d->EndItem();
        return;
    }
    d->rememberedType.clear(); // the user may have changed it
    if (handler)
        d->IssueCommand(text, handler);
    else
        d->IssueCommand(text, [this](const QString &r) { d->HandleFileCommandReply(r); });
}

void TVexFtp::EndCommand()
{
    d->Ready();
}

// ---------------------------------------------------------------------------
// ftp:// addresses

bool SplitFtpUrl(const QString &address, TFtpUrlParts &parts, QString *errorText)
{
    const QString text = address.trimmed();
    if (text.left(6).toLower() != QLatin1String("ftp://")) {
        *errorText = FtpText::UrlBadScheme;
        return false;
    }
    QString rest = text.mid(6);
    QString userPart;
    parts.hasUser = false;
    const qsizetype at = rest.indexOf(QLatin1Char('@'));
    // Only an "@" before the path separates a user part.
    const qsizetype firstSlash = rest.indexOf(QLatin1Char('/'));
    if (at >= 0 && (firstSlash < 0 || at < firstSlash)) {
        userPart = rest.left(at);
        rest = rest.mid(at + 1);
        parts.hasUser = true;
    }
    const qsizetype slash = rest.indexOf(QLatin1Char('/'));
    if (slash >= 0) {
        parts.path = PercentDecode(rest.mid(slash).left(MaxUrlPart));
        rest = rest.left(slash);
    } else {
        parts.path.clear();
    }
    if (parts.hasUser) {
        const qsizetype colon = userPart.indexOf(QLatin1Char(':'));
        if (colon < 0) {
            *errorText = FtpText::UrlBadSyntax;
            return false;
        }
        parts.user = PercentDecode(userPart.left(colon));
        parts.password = PercentDecode(userPart.mid(colon + 1).left(MaxUrlPart));
    }
    const qsizetype colon = rest.indexOf(QLatin1Char(':'));
    parts.hasPort = colon >= 0;
    if (parts.hasPort) {
        parts.host = PercentDecode(rest.left(colon));
        bool ok = false;
        const int port = rest.mid(colon + 1).toInt(&ok, 10);
        if (!ok || port < 1 || port > 65535) {
            *errorText = FtpText::UrlUnexpected;
            return false;
        }
        parts.port = quint16(port);
    } else {
        parts.host = PercentDecode(rest);
        parts.port = 0;
    }
    if (parts.host.trimmed().isEmpty()) {
        *errorText = FtpText::UrlUnexpected;
        return false;
    }
    return true;
}

void TVexFtp::ConnectUrl(const QString &address)
{
    if (d->busy) {
        d->RaiseInfo(ftpiBusy);
        return;
    }
    TFtpUrlParts parts;
    QString errorText;
    if (!SplitFtpUrl(address, parts, &errorText)) {
        d->pendingErrorText = errorText;
        d->RaiseError(ftpeBadUrl);
        if (errorText == FtpText::UrlBadSyntax)
            d->busy = false;
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
    if (parts.path.contains(QLatin1Char('\r')) || parts.path.contains(QLatin1Char('\n'))
        || parts.user.contains(QLatin1Char('\r')) || parts.user.contains(QLatin1Char('\n'))
        || parts.password.contains(QLatin1Char('\r')) || parts.password.contains(QLatin1Char('\n'))) {
        d->pendingErrorText = FtpText::UrlUnexpected;
        d->RaiseError(ftpeBadUrl);
        return;
    }

    d->navigationPath = parts.path;
    d->lastError = ftpeNone; // the old connection's close is not a failed login
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
    if (d->connected) {
        d->urlState = UrlConnectState::QuitPending;
        d->IssueCommand(QStringLiteral("QUIT"), [this](const QString &r) { d->HandleQuitReply(r); });
    } else {
        d->urlState = UrlConnectState::NavigateAfterLogin;
        Login();
    }
}

void TVexFtpPrivate::HandleQuitReply(const QString &reply)
{
    loggedIn = false;
    if (!Begins(reply, '2')) {
        RaiseFatal(ftpeQuitRefused);
        return;
    }
    // Servers close after 221; closing from our side too means a server
    // that lingers cannot hold the new login up.
    if (q->Established())
        q->Close();
}

void TVexFtpPrivate::Navigate()
{
    urlState = UrlConnectState::None;
    if (navigationPath.isEmpty())
        IssueCommand(QStringLiteral("PWD"), [this](const QString &r) { HandleUrlCwdReply(r); });
    else
        IssueCommand(QLatin1String("CWD ") + navigationPath, [this](const QString &r) { HandleUrlCwdReply(r); });
}

void TVexFtpPrivate::HandleUrlCwdReply(const QString &reply)
{
    if (Begins(reply, '2')) {
        operation = FtpOperation::ChangeDirectory;
        currentDirectory = QuotedPath(reply);
        if (!loggedIn) {
            loggedIn = true;
            RaiseInfo(ftpiLoggedIn);
        }
        HandleCwdReply(reply);
        return;
    }
    if (navigationPath.isEmpty() || navigationPath.endsWith(QLatin1Char('/'))) {
        operation = FtpOperation::ChangeDirectory;
        pendingErrorText = FtpText::AccessDenied;
        RaiseError(ftpeAccessDenied);
        EndItem();
        return;
    }
    const qsizetype slash = navigationPath.lastIndexOf(QLatin1Char('/'));
    remoteFileName = navigationPath.mid(slash + 1);
    navigationPath = navigationPath.left(slash + 1);
    IssueCommand(QLatin1String("CWD ") + navigationPath, [this](const QString &r) { HandleUrlFileReply(r); });
}

void TVexFtpPrivate::HandleUrlFileReply(const QString &reply)
{
    if (!Begins(reply, '2')) {
        RaiseFatal(ftpeBadRemoteName);
        return;
    }
    if (!loggedIn) {
        loggedIn = true;
        RaiseInfo(ftpiLoggedIn);
    }
    if (q->OnFtpNeedInfo) {
        const QString local = Ask(needLocalFileName, remoteFileName);
        if (!local.isEmpty()) {
            busy = false;
            q->GetFile(remoteFileName, local);
            return;
        }
    }
    q->Close();
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
