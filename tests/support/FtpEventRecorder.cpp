#include "FtpEventRecorder.h"

QString FtpInfoName(FtpInfo info)
{
    switch (info) {
    case ftpiConnected: return QStringLiteral("ftpiConnected");
    case ftpiDisconnected: return QStringLiteral("ftpiDisconnected");
    case ftpiResolving: return QStringLiteral("ftpiResolving");
    case ftpiReceived: return QStringLiteral("ftpiReceived");
    case ftpiCommand: return QStringLiteral("ftpiCommand");
    case ftpiBusy: return QStringLiteral("ftpiBusy");
    case ftpiResumeSupported: return QStringLiteral("ftpiResumeSupported");
    case ftpiDebug: return QStringLiteral("ftpiDebug");
    case ftpiProgress: return QStringLiteral("ftpiProgress");
    case ftpiTransferDone: return QStringLiteral("ftpiTransferDone");
    case ftpiListingDataDone: return QStringLiteral("ftpiListingDataDone");
    case ftpiLoggedIn: return QStringLiteral("ftpiLoggedIn");
    case ftpiTransferSize: return QStringLiteral("ftpiTransferSize");
    case ftpiListingStarted: return QStringLiteral("ftpiListingStarted");
    case ftpiEntryFound: return QStringLiteral("ftpiEntryFound");
    case ftpiMultiLineReply: return QStringLiteral("ftpiMultiLineReply");
    case ftpiResumeUnavailable: return QStringLiteral("ftpiResumeUnavailable");
    case ftpiRetrying: return QStringLiteral("ftpiRetrying");
    case ftpiResolved: return QStringLiteral("ftpiResolved");
    case ftpiNothingToDo: return QStringLiteral("ftpiNothingToDo");
    case ftpiRetriesExhausted: return QStringLiteral("ftpiRetriesExhausted");
    }
    return QStringLiteral("ftpi#%1").arg(int(info));
}

QString FtpErrorName(FtpError error)
{
    switch (error) {
    case ftpeNone: return QStringLiteral("ftpeNone");
    case ftpeQuitRefused: return QStringLiteral("ftpeQuitRefused");
    case ftpeNetworkDown: return QStringLiteral("ftpeNetworkDown");
    case ftpeInvalidAddress: return QStringLiteral("ftpeInvalidAddress");
    case ftpeInternal: return QStringLiteral("ftpeInternal");
    case ftpeWinSockGeneral: return QStringLiteral("ftpeWinSockGeneral");
    case ftpeConnectionAborted: return QStringLiteral("ftpeConnectionAborted");
    case ftpeConnectionReset: return QStringLiteral("ftpeConnectionReset");
    case ftpeTimedOut: return QStringLiteral("ftpeTimedOut");
    case ftpeNoSockets: return QStringLiteral("ftpeNoSockets");
    case ftpeNetworkUnreachable: return QStringLiteral("ftpeNetworkUnreachable");
    case ftpeAddressUnreachable: return QStringLiteral("ftpeAddressUnreachable");
    case ftpeConnectionRefused: return QStringLiteral("ftpeConnectionRefused");
    case ftpeCommandFailed: return QStringLiteral("ftpeCommandFailed");
    case ftpeCannotResolve: return QStringLiteral("ftpeCannotResolve");
    case ftpeHostUnreachable: return QStringLiteral("ftpeHostUnreachable");
    case ftpeNoServer: return QStringLiteral("ftpeNoServer");
    case ftpeLocalFileOpen: return QStringLiteral("ftpeLocalFileOpen");
    case ftpeLocalFileWrite: return QStringLiteral("ftpeLocalFileWrite");
    case ftpeLocalFileRead: return QStringLiteral("ftpeLocalFileRead");
    case ftpeBadRemoteName: return QStringLiteral("ftpeBadRemoteName");
    case ftpeServerRefused: return QStringLiteral("ftpeServerRefused");
    case ftpeLoginRefused: return QStringLiteral("ftpeLoginRefused");
    case ftpeDataConnection: return QStringLiteral("ftpeDataConnection");
    case ftpeResumeRefused: return QStringLiteral("ftpeResumeRefused");
    case ftpeAccessDenied: return QStringLiteral("ftpeAccessDenied");
    case ftpeBadUrl: return QStringLiteral("ftpeBadUrl");
    }
    return QStringLiteral("ftpe#%1").arg(int(error));
}

QString FtpNeedName(TVexFtpInfoNeeded need)
{
    switch (need) {
    case needAccount: return QStringLiteral("needAccount");
    case needServer: return QStringLiteral("needServer");
    case needLocalFileName: return QStringLiteral("needLocalFileName");
    case needFileExists: return QStringLiteral("needFileExists");
    case needPassword: return QStringLiteral("needPassword");
    case needUsername: return QStringLiteral("needUsername");
    }
    return QStringLiteral("need#%1").arg(int(need));
}

FtpEventRecorder::FtpEventRecorder(TVexFtp &client)
{
    client.OnFtpInfo = [this](TVexFtp *, FtpInfo info, const QString &text) {
        infos.append({info, text});
        Record(FtpInfoName(info) + QLatin1Char('(') + text + QLatin1Char(')'));
    };
    client.OnFtpError = [this](TVexFtp *, FtpError error, const QString &text) {
        errors.append(error);
        errorTexts.append(text);
        Record(FtpErrorName(error) + QLatin1Char('(') + text + QLatin1Char(')'));
    };
    client.OnFtpNeedInfo = [this](TVexFtp *, TVexFtpInfoNeeded need, QString &value) {
        if (Answers.contains(need))
            value = Answers.value(need);
        Record(FtpNeedName(need));
    };
    const auto notify = [this](const char *name) {
        return [this, name](TVexFtp *) { Record(QString::fromLatin1(name)); };
    };
    client.OnFtpBusy = notify("OnFtpBusy");
    client.OnFtpReady = notify("OnFtpReady");
    client.OnFtpQuit = notify("OnFtpQuit");
    client.OnLoggedIn = notify("OnLoggedIn");
    client.OnDirectoryChanged = notify("OnDirectoryChanged");
    client.OnDirectoryCreated = notify("OnDirectoryCreated");
    client.OnDirectoryDeleted = notify("OnDirectoryDeleted");
    client.OnFileDeleted = notify("OnFileDeleted");
    client.OnFileReceived = notify("OnFileReceived");
    client.OnFileStored = notify("OnFileStored");
    client.OnFileRenamed = notify("OnFileRenamed");
    client.OnListingDone = notify("OnListingDone");
}

void FtpEventRecorder::Record(const QString &event)
{
    raw.append(event);
    if (After)
        After(event);
}

QStringList FtpEventRecorder::Events() const
{
    static const QString received = QStringLiteral("ftpiReceived(");
    QStringList joined;
    QString pending; // received text not yet written out
    bool inReceived = false;
    for (const QString &event : raw) {
        if (event.startsWith(received)) {
            pending += event.mid(received.size(), event.size() - received.size() - 1);
            inReceived = true;
            continue;
        }
        if (inReceived && !pending.isEmpty())
            joined.append(received + pending + QLatin1Char(')'));
        pending.clear();
        inReceived = false;
        joined.append(event);
    }
    if (inReceived && !pending.isEmpty())
        joined.append(received + pending + QLatin1Char(')'));
    return joined;
}

QStringList FtpEventRecorder::RawEvents() const
{
    return raw;
}

QStringList FtpEventRecorder::EventsFrom(const QString &prefix) const
{
    const QStringList all = Events();
    for (qsizetype i = 0; i < all.size(); ++i)
        if (all.at(i).startsWith(prefix))
            return all.mid(i);
    return {};
}

int FtpEventRecorder::Count(const QString &event) const
{
    return int(Events().count(event));
}

int FtpEventRecorder::CountPrefix(const QString &prefix) const
{
    int n = 0;
    for (const QString &event : Events())
        if (event.startsWith(prefix))
            ++n;
    return n;
}

QStringList FtpEventRecorder::Texts(FtpInfo info) const
{
    QStringList texts;
    for (const auto &entry : infos)
        if (entry.first == info)
            texts.append(entry.second);
    return texts;
}

QList<FtpError> FtpEventRecorder::Errors() const
{
    return errors;
}

QStringList FtpEventRecorder::ErrorTexts() const
{
    return errorTexts;
}

void FtpEventRecorder::Clear()
{
    raw.clear();
    infos.clear();
    errors.clear();
    errorTexts.clear();
}
