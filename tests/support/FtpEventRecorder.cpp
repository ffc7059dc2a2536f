// Names of the client's codes, questions and hooks, and the one record of
// its events that the protocol tests share.
#include "FtpEventRecorder.h"

#include <QCoreApplication>
#include <QTest>
#include <QVariant>

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

namespace {

// The client's note of which recorder holds its hooks now.
const char *const HolderProperty = "ftpEventRecorder";

// "ftpeAccessDenied(text)" -> "ftpeAccessDenied".
QString NameOf(const QString &event)
{
    const qsizetype open = event.indexOf(QLatin1Char('('));
    return open < 0 ? event : event.left(open);
}

bool IsNotification(const QString &event)
{
    return event.startsWith(QLatin1String("On"));
}

} // namespace

FtpEventRecorder::FtpEventRecorder(TVexFtp &ftp)
    : client(&ftp)
{
    ftp.setProperty(HolderProperty, QVariant::fromValue(quintptr(this)));
    ftp.OnFtpInfo = [this](TVexFtp *, FtpInfo info, const QString &text) {
        infos.append({info, text});
        Record(FtpInfoName(info) + QLatin1Char('(') + text + QLatin1Char(')'));
    };
    ftp.OnFtpError = [this](TVexFtp *, FtpError error, const QString &text) {
        errors.append(error);
        errorTexts.append(text);
        Record(FtpErrorName(error) + QLatin1Char('(') + text + QLatin1Char(')'));
    };
    ftp.OnFtpNeedInfo = [this](TVexFtp *, TVexFtpInfoNeeded need, QString &value) {
        if (need == needFileExists && !FileExistsAnswers.isEmpty())
            value = FileExistsAnswers.takeFirst();
        else if (Answers.contains(need))
            value = Answers.value(need);
        Record(FtpNeedName(need));
    };
    const auto notify = [this](const char *name) {
        return [this, name](TVexFtp *) { Record(QString::fromLatin1(name)); };
    };
    ftp.OnFtpBusy = notify("OnFtpBusy");
    ftp.OnFtpReady = notify("OnFtpReady");
    ftp.OnFtpQuit = notify("OnFtpQuit");
    ftp.OnLoggedIn = notify("OnLoggedIn");
    ftp.OnDirectoryChanged = notify("OnDirectoryChanged");
    ftp.OnDirectoryCreated = notify("OnDirectoryCreated");
    ftp.OnDirectoryDeleted = notify("OnDirectoryDeleted");
    ftp.OnFileDeleted = notify("OnFileDeleted");
    ftp.OnFileReceived = notify("OnFileReceived");
    ftp.OnFileStored = notify("OnFileStored");
    ftp.OnFileRenamed = notify("OnFileRenamed");
    ftp.OnListingDone = notify("OnListingDone");
}

FtpEventRecorder::~FtpEventRecorder()
{
    // Hooks left behind would call into this recorder once it is gone.
    if (!client || client->property(HolderProperty).value<quintptr>() != quintptr(this))
        return;
    client->setProperty(HolderProperty, QVariant());
    client->OnFtpInfo = nullptr;
    client->OnFtpError = nullptr;
    client->OnFtpNeedInfo = nullptr;
    for (TNotifyEvent *hook : {&client->OnFtpBusy, &client->OnFtpReady, &client->OnFtpQuit,
                               &client->OnLoggedIn, &client->OnDirectoryChanged,
                               &client->OnDirectoryCreated, &client->OnDirectoryDeleted,
                               &client->OnFileDeleted, &client->OnFileReceived,
                               &client->OnFileStored, &client->OnFileRenamed,
                               &client->OnListingDone})
        *hook = nullptr;
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
    return int(EventsMatching(prefix).size());
}

QStringList FtpEventRecorder::EventsMatching(const QString &prefix) const
{
    QStringList found;
    for (const QString &event : Events())
        if (event.startsWith(prefix))
            found.append(event);
    return found;
}

bool FtpEventRecorder::Has(const QString &event) const
{
    return Events().contains(event);
}

qsizetype FtpEventRecorder::IndexOf(const QString &event, qsizetype from) const
{
    return Events().indexOf(event, from);
}

bool FtpEventRecorder::WaitFor(const QString &event, int count, int timeoutMs) const
{
    return QTest::qWaitFor([&] { return Count(event) >= count; }, timeoutMs);
}

QStringList FtpEventRecorder::Texts(FtpInfo info) const
{
    QStringList texts;
    for (const auto &entry : infos)
        if (entry.first == info)
            texts.append(entry.second);
    return texts;
}

int FtpEventRecorder::CountInfo(FtpInfo info) const
{
    int n = 0;
    for (const auto &entry : infos)
        if (entry.first == info)
            ++n;
    return n;
}

QList<QPair<FtpInfo, QString>> FtpEventRecorder::Infos() const
{
    return infos;
}

QStringList FtpEventRecorder::Commands() const
{
    QStringList lines;
    for (QString line : Texts(ftpiCommand))
        lines.append(line.remove(QLatin1Char('\r')).remove(QLatin1Char('\n')));
    return lines;
}

QStringList FtpEventRecorder::Notifications() const
{
    QStringList names;
    for (const QString &event : raw)
        if (IsNotification(event))
            names.append(event);
    return names;
}

QStringList FtpEventRecorder::Outcomes() const
{
    QStringList names;
    for (const QString &event : raw)
        if (IsNotification(event) || event.startsWith(QLatin1String("ftpe")))
            names.append(NameOf(event));
    return names;
}

QList<FtpError> FtpEventRecorder::Errors() const
{
    return errors;
}

QList<int> FtpEventRecorder::ErrorCodes() const
{
    QList<int> codes;
    for (const FtpError error : errors)
        codes.append(int(error));
    return codes;
}

QStringList FtpEventRecorder::ErrorTexts() const
{
    return errorTexts;
}

QString FtpEventRecorder::Dump() const
{
    return Events().join(QLatin1String(" | "));
}

void FtpEventRecorder::Clear()
{
    raw.clear();
    infos.clear();
    errors.clear();
    errorTexts.clear();
}

void FtpEventRecorder::Settle()
{
    for (int i = 0; i < 5; ++i)
        QCoreApplication::processEvents();
}
