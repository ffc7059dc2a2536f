// Data connections: passive (PASV, the client connects) and active (PORT,
// the server connects to a listening socket), their wiring to the running
// transfer, their opening and their time-out.

#include "FtpPrivate.h"
#include "SocketErrors.h"

namespace {
// Takes "h1,h2,h3,h4,p1,p2" from inside the parentheses of a 227 reply.
bool ParsePasvPort(const QString &reply, quint16 *port)
{
    const qsizetype open = reply.indexOf(QLatin1Char('('));
    if (open < 0)
        return false;
    const qsizetype close = reply.indexOf(QLatin1Char(')'), open + 1);
    if (close < 0)
        return false;
    const QStringList parts = reply.mid(open + 1, close - open - 1).trimmed().split(QLatin1Char(','));
    if (parts.size() != 6)
        return false;
    int numbers[6];
    for (int i = 0; i < 6; ++i) {
        bool ok = false;
        numbers[i] = parts.at(i).trimmed().toInt(&ok);
        if (!ok || numbers[i] < 0 || numbers[i] > 255)
            return false;
    }
    *port = quint16(numbers[4] * 256 + numbers[5]);
    return *port != 0;
}
}

void TVexFtpPrivate::InitDataSockets()
{
    dataSocket = new TVexSocket(q);
    listenSocket = new TVexSocket(q);
    listenSocket->OnAccept = [this](TVexSocket *) { AcceptDataConnection(); };
    // A passive connection that does not open within TimeOut seconds is the
    // client's time-out like any other silence of the server.
    dataSocket->OnTimeOut = [this](TVexSocket *) { RaiseFatal(ftpeTimedOut, FtpText::ClientTimedOut); };
}

void TVexFtpPrivate::ShutdownDataSockets()
{
    CloseDataConnection();
    listenSocket->OnAccept = nullptr;
    dataSocket->OnTimeOut = nullptr;
}

void TVexFtpPrivate::CloseDataConnection()
{
    // Used on failures: nothing of the transfer may run after this, and a
    // download that did not succeed leaves the local target as it was.
    CloseDataSockets();
    CloseLocalFile();
}

void TVexFtpPrivate::CloseDataSockets()
{
    UnwireDataSocket();
    acceptWaiting = false;
    dataSocket->Close();
    listenSocket->Close();
}

void TVexFtpPrivate::AcceptDataConnection()
{
    // A server may connect back as soon as it accepts PORT, before the
    // reply has let us wire the transfer: the connection then waits in the
    // listening socket's queue until the wiring takes it.
    if (!activeOpened) {
        acceptWaiting = true;
        return;
    }
    const TSocketEvent opened = activeOpened;
    opened(listenSocket);
}

void TVexFtpPrivate::WireDataSocket(TSocketEvent reader, TSocketEvent writer, TSocketEvent closed, TSocketEvent opened)
{
    dataSocket->OnRead = std::move(reader);
    dataSocket->OnWrite = std::move(writer);
    dataSocket->OnClose = std::move(closed);
    if (passive) {
        dataSocket->OnConnect = std::move(opened);
        activeOpened = nullptr;
    } else {
        dataSocket->OnConnect = nullptr;
        activeOpened = std::move(opened);
        if (activeOpened && acceptWaiting) {
            acceptWaiting = false;
            const TSocketEvent call = activeOpened;
            call(listenSocket);
        }
    }
    KickWatchdog();
}

void TVexFtpPrivate::UnwireDataSocket()
{
    dataSocket->OnRead = nullptr;
    dataSocket->OnWrite = nullptr;
    dataSocket->OnClose = nullptr;
    dataSocket->OnConnect = nullptr;
    activeOpened = nullptr;
}

bool TVexFtpPrivate::TransferInProgress() const
{
    return dataSocket->OnClose || activeOpened;
}

// The continuation of the TYPE step (or of a step that needed no command):
// asks for a data connection in the client's mode.
void TVexFtpPrivate::DataConnectionStep(const QString &reply)
{
    dataDone = false;
    replyDone = false;
    if (!ReplyBegins(reply, '2')) {
        RefuseStep(QLatin1String("TYPE ") + rememberedType, reply);
        return;
    }
    if (passive) {
        IssueCommand(QStringLiteral("PASV"), [this](const QString &r) { HandlePasvReply(r); });
        return;
    }
    const QString argument = BuildPortArgument();
    if (argument.isEmpty()) {
        // Closing the control connection ends the operation.
        RaiseFatal(ftpeDataConnection, FtpText::NoLocalPort.arg(ItemSubject()));
        return;
    }
    IssueCommand(QLatin1String("PORT ") + argument, dataContinuation);
}

void TVexFtpPrivate::HandlePasvReply(const QString &reply)
{
    if (!ReplyBegins(reply, '2') || !dataContinuation) {
        RefuseStep(QStringLiteral("PASV"), reply);
        return;
    }
    quint16 dataPort = 0;
    if (!ParsePasvPort(reply, &dataPort)) {
        FailStep(ftpeCommandFailed, FtpText::PasvUnusable.arg(ItemSubject(), reply));
        return;
    }
    // The data connection goes to the server we are talking to, whatever
    // address the reply names: a hostile server must not aim us elsewhere.
    const QString peer = q->AddressText();
    dataSocket->SetAddressField(peer);
    dataSocket->SetAddress(peer);
    dataSocket->SetPort(dataPort);
    dataSocket->SetTimeOut(q->TimeOut());
    dataSocket->CreateSocket();
    dataSocket->Connect();
    listingSplitter.Clear();
    const TReplyHandler continuation = dataContinuation;
    continuation(ContinueReply);
}

QString TVexFtpPrivate::BuildPortArgument()
{
    listenSocket->Close();
    acceptWaiting = false;
    listenSocket->SetAddress(q->LocalAddress());
    listenSocket->SetPort(0);
    listenSocket->CreateSocket();
    listenSocket->Listen();
    listingSplitter.Clear();
    if (listenSocket->LastError() != 0)
        return QString();
    const quint16 localPort = listenSocket->LocalPort();
    QString address = listenSocket->LocalAddress();
    if (address.isEmpty() || localPort == 0)
        return QString();
    address.replace(QLatin1Char('.'), QLatin1Char(','));
    return address + QLatin1Char(',') + QString::number(localPort / 256) + QLatin1Char(',')
        + QString::number(localPort % 256);
}

void TVexFtpPrivate::DataOpened()
{
    if (!passive) {
        // Only the server we talk to may bring the data: a connection from
        // any other address is dropped and the listener waits on. The
        // transfer's hooks stay off the socket meanwhile, so that dropping
        // the stranger is no end of the data.
        const TSocketEvent reader = std::exchange(dataSocket->OnRead, nullptr);
        const TSocketEvent writer = std::exchange(dataSocket->OnWrite, nullptr);
        const TSocketEvent closed = std::exchange(dataSocket->OnClose, nullptr);
        dataSocket->Accept(listenSocket);
        const bool stranger = dataSocket->LastError() == 0 && dataSocket->AddressText() != q->AddressText();
        if (stranger)
            dataSocket->Close();
        dataSocket->OnRead = reader;
        dataSocket->OnWrite = writer;
        dataSocket->OnClose = closed;
        if (stranger)
            return;
        // One connection per transfer: a second one must not replace it.
        if (dataSocket->LastError() == 0) {
            activeOpened = nullptr;
            listenSocket->Close();
        }
    }
    const quint16 error = dataSocket->LastError();
    if (error == 0) {
        bytesTransferred = 0;
        failed = false;
        transferClock.start();
        elapsed = 0;
        listingSplitter.Clear();
        KickWatchdog();
        if (transferKind == TransferKind::Upload) {
            // The writer starts on the connection's first write notification.
            uploadLocalSize = localFile.size();
            RaiseInfo(ftpiTransferSize, QString::number(uploadLocalSize));
        }
    } else if (transferKind == TransferKind::Upload || error != WinSock::NotSocket) {
        RaiseFatal(ftpeDataConnection, FtpText::DataConnectionFailed.arg(ItemSubject()));
    }
}
