#include "ScriptedFtpServer.h"

#include <QHostAddress>
#include <QPointer>
#include <QRegularExpression>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <vector>

namespace {

QString Quoted(const QByteArray &bytes)
{
    QString text = QString::fromUtf8(bytes);
    text.replace(QLatin1String("\r"), QLatin1String("\\r")).replace(QLatin1String("\n"), QLatin1String("\\n"));
    return QLatin1Char('"') + text + QLatin1Char('"');
}

// Sends what the socket holds now, so that a later write becomes a separate
// TCP segment (the sockets run with Nagle's algorithm off).
void WriteNow(QTcpSocket *socket, const QByteArray &bytes)
{
    if (bytes.isEmpty())
        return;
    socket->write(bytes);
    socket->flush();
}

enum class Outcome { Done, Blocked, Abandon };

} // namespace

struct ScriptedFtpServer::Private
{
    class Session;

    ScriptedFtpServer *q = nullptr;
    QTcpServer listener;
    QList<FtpScript> scripts;
    bool refusing = false;
    QByteArray unscriptedReply = QByteArrayLiteral("500 unscripted\r\n");
    std::vector<std::unique_ptr<Session>> sessions;
    int connectionCount = 0;
    QString errorString;

    QStringList receivedCommands;
    QByteArray receivedBytes;
    QByteArrayList receivedData;
    QStringList mismatches;

    void Accept();
    void Reset();
};

// One control connection playing its script. Every event (a command line, a
// timer, a data socket change, a close) calls Run(), which retries the
// current step until it is done.
class ScriptedFtpServer::Private::Session : public QObject
{
public:
    Session(Private *owner, int number, QTcpSocket *control, QList<FtpScriptStep> steps);
    ~Session() override;

    void Run();
    bool Finished() const { return finished; }
    bool ControlOpen() const { return controlOpen; }
    QString Status() const;

private:
    enum class DataMode { None, Passive, Active };
    enum class DataState { Ready, Blocked, Failed };

    Outcome Execute(const FtpScriptStep &step);
    Outcome ExpectLine(const FtpScriptStep &step);
    Outcome Send(const FtpScriptStep &step);
    Outcome Pasv(const FtpScriptStep &step, const QByteArray &line);
    Outcome Port(const FtpScriptStep &step, const QByteArray &line);
    Outcome DataSend(const FtpScriptStep &step);
    Outcome DataReceive();
    Outcome DataClose();
    DataState EnsureData();
    bool LineMatches(const FtpScriptStep &step, const QByteArray &line);
    void StartTimer(int ms);
    void OnControlReadable();
    void OnControlClosed();
    void AdoptDataSocket(QTcpSocket *socket);
    void DropData();
    void Mismatch(const QString &text);
    void StepMismatch(const QString &text);
    void AnswerUnscripted();

    Private *owner;
    int number;
    QPointer<QTcpSocket> control;
    QList<FtpScriptStep> steps;
    qsizetype index = 0;
    int phase = 0;
    bool timerFired = false;
    bool running = false;
    bool again = false;
    bool finished = false;
    bool abandoned = false;
    bool controlOpen = true;
    bool closedByServer = false;
    QByteArray partialLine;
    QList<QByteArray> pendingLines;

    DataMode dataMode = DataMode::None;
    QPointer<QTcpServer> pasvListener;
    QPointer<QTcpSocket> data;
    QHostAddress activeHost;
    quint16 activePort = 0;
    QByteArray dataIncoming;
    QString dataError;
};

ScriptedFtpServer::Private::Session::Session(Private *owner, int number, QTcpSocket *socket, QList<FtpScriptStep> script)
    : owner(owner), number(number), control(socket), steps(std::move(script))
{
    socket->setParent(this);
    socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    connect(socket, &QTcpSocket::readyRead, this, [this] { OnControlReadable(); });
    connect(socket, &QTcpSocket::disconnected, this, [this] { OnControlClosed(); });
}

ScriptedFtpServer::Private::Session::~Session()
{
    if (control)
        control->disconnect(this);
    if (data)
        data->disconnect(this);
}

void ScriptedFtpServer::Private::Session::Mismatch(const QString &text)
{
    owner->mismatches.append(QStringLiteral("connection %1: %2").arg(number).arg(text));
}

void ScriptedFtpServer::Private::Session::StepMismatch(const QString &text)
{
    Mismatch(QStringLiteral("step %1 (%2): %3").arg(index + 1).arg(steps[index].Describe(), text));
}

void ScriptedFtpServer::Private::Session::OnControlReadable()
{
    const QByteArray bytes = control->readAll();
    owner->receivedBytes += bytes;
    partialLine += bytes;
    qsizetype end;
    while ((end = partialLine.indexOf('\n')) >= 0) {
        QByteArray line = partialLine.left(end);
        partialLine.remove(0, end + 1);
        if (line.endsWith('\r'))
            line.chop(1);
        owner->receivedCommands.append(QString::fromUtf8(line));
        pendingLines.append(line);
    }
    Run();
}

void ScriptedFtpServer::Private::Session::OnControlClosed()
{
    if (!controlOpen)
        return;
    if (control && control->bytesAvailable() > 0)
        OnControlReadable();
    controlOpen = false;
    if (!partialLine.isEmpty())
        Mismatch(QStringLiteral("unterminated command line at close: %1").arg(Quoted(partialLine)));
    Run();
    emit owner->q->ClientDisconnected();
}

void ScriptedFtpServer::Private::Session::StartTimer(int ms)
{
    timerFired = false;
    QTimer::singleShot(ms, this, [this] {
        timerFired = true;
        Run();
    });
}

void ScriptedFtpServer::Private::Session::Run()
{
    if (running) {
        again = true;
        return;
    }
    running = true;
    do {
        again = false;
        while (!abandoned && index < steps.size()) {
            const Outcome outcome = Execute(steps[index]);
            if (outcome == Outcome::Blocked)
                break;
            if (outcome == Outcome::Abandon) {
                abandoned = true;
                break;
            }
            ++index;
            phase = 0;
            timerFired = false;
        }
        if (!abandoned && !finished && index == steps.size()) {
            finished = true;
            emit owner->q->ScriptFinished();
        }
        if (finished)
            AnswerUnscripted();
    } while (again);
    running = false;
}

void ScriptedFtpServer::Private::Session::AnswerUnscripted()
{
    while (!pendingLines.isEmpty()) {
        const QByteArray line = pendingLines.takeFirst();
        Mismatch(QStringLiteral("unscripted command %1").arg(Quoted(line)));
        if (controlOpen && control && !closedByServer)
            WriteNow(control, owner->unscriptedReply);
    }
}

Outcome ScriptedFtpServer::Private::Session::Execute(const FtpScriptStep &step)
{
    switch (step.kind) {
    case FtpScriptStep::Send:
        return Send(step);
    case FtpScriptStep::Expect:
    case FtpScriptStep::ExpectPrefix:
    case FtpScriptStep::ExpectMatch:
    case FtpScriptStep::ExpectPasv:
    case FtpScriptStep::ExpectPort:
        return ExpectLine(step);
    case FtpScriptStep::ExpectClose:
        // Commands sent instead of closing still get an answer, so that the
        // client does not wait for one forever.
        AnswerUnscripted();
        return controlOpen ? Outcome::Blocked : Outcome::Done;
    case FtpScriptStep::Delay:
        if (phase == 0) {
            phase = 1;
            StartTimer(step.delayMs);
        }
        return timerFired ? Outcome::Done : Outcome::Blocked;
    case FtpScriptStep::CloseConnection:
        if (controlOpen && control) {
            closedByServer = true;
            control->disconnectFromHost();
        }
        return Outcome::Done;
    case FtpScriptStep::DataConnect:
    case FtpScriptStep::DataStall:
        switch (EnsureData()) {
        case DataState::Blocked: return Outcome::Blocked;
        case DataState::Failed: StepMismatch(dataError); return Outcome::Done;
        case DataState::Ready: return Outcome::Done;
        }
        break;
    case FtpScriptStep::DataSend:
        return DataSend(step);
    case FtpScriptStep::DataWrite:
        switch (EnsureData()) {
        case DataState::Blocked: return Outcome::Blocked;
        case DataState::Failed: StepMismatch(dataError); DropData(); return Outcome::Done;
        case DataState::Ready: WriteNow(data, step.bytes); return Outcome::Done;
        }
        break;
    case FtpScriptStep::DataStopReading:
        switch (EnsureData()) {
        case DataState::Blocked: return Outcome::Blocked;
        case DataState::Failed: StepMismatch(dataError); return Outcome::Done;
        case DataState::Ready:
            // A one-byte read buffer that nobody empties: the socket stops
            // taking data from the system, whose buffers then fill.
            data->disconnect(this, nullptr);
            data->setReadBufferSize(1);
            connect(data.data(), &QTcpSocket::disconnected, this, [this] { Run(); });
            return Outcome::Done;
        }
        break;
    case FtpScriptStep::DataReceive:
        return DataReceive();
    case FtpScriptStep::DataClose:
        return DataClose();
    }
    return Outcome::Done;
}

Outcome ScriptedFtpServer::Private::Session::Send(const FtpScriptStep &step)
{
    if (!controlOpen || !control || closedByServer) {
        if (closedByServer) {
            StepMismatch(QStringLiteral("the server had closed the control connection"));
            return Outcome::Done;
        }
        StepMismatch(QStringLiteral("the client closed the control connection"));
        return Outcome::Abandon;
    }
    if (step.splitAt < 0) {
        WriteNow(control, step.bytes);
        return Outcome::Done;
    }
    if (phase == 0) {
        WriteNow(control, step.bytes.left(step.splitAt));
        phase = 1;
        StartTimer(step.delayMs);
    }
    if (!timerFired)
        return Outcome::Blocked;
    WriteNow(control, step.bytes.mid(step.splitAt));
    return Outcome::Done;
}

bool ScriptedFtpServer::Private::Session::LineMatches(const FtpScriptStep &step, const QByteArray &line)
{
    switch (step.kind) {
    case FtpScriptStep::Expect:
        return line == step.bytes;
    case FtpScriptStep::ExpectPrefix:
        return line.startsWith(step.bytes);
    case FtpScriptStep::ExpectMatch:
        if (!step.pattern.isValid()) {
            StepMismatch(QStringLiteral("invalid pattern: %1").arg(step.pattern.errorString()));
            return false;
        }
        return step.pattern.match(QString::fromUtf8(line)).hasMatch();
    default:
        return false;
    }
}

Outcome ScriptedFtpServer::Private::Session::ExpectLine(const FtpScriptStep &step)
{
    if (pendingLines.isEmpty()) {
        if (controlOpen && !closedByServer)
            return Outcome::Blocked;
        StepMismatch(closedByServer ? QStringLiteral("the server had closed the control connection")
                                    : QStringLiteral("the client closed the control connection"));
        return closedByServer ? Outcome::Done : Outcome::Abandon;
    }
    const QByteArray line = pendingLines.takeFirst();
    if (step.kind == FtpScriptStep::ExpectPasv)
        return Pasv(step, line);
    if (step.kind == FtpScriptStep::ExpectPort)
        return Port(step, line);
    if (!LineMatches(step, line))
        StepMismatch(QStringLiteral("got %1").arg(Quoted(line)));
    return Outcome::Done;
}

Outcome ScriptedFtpServer::Private::Session::Pasv(const FtpScriptStep &step, const QByteArray &line)
{
    if (line != "PASV")
        StepMismatch(QStringLiteral("got %1").arg(Quoted(line)));
    DropData();
    pasvListener = new QTcpServer(this);
    if (!pasvListener->listen(QHostAddress::LocalHost, 0)) {
        StepMismatch(QStringLiteral("cannot open a passive listener: %1").arg(pasvListener->errorString()));
        WriteNow(control, QByteArrayLiteral("425 Cannot open passive connection.\r\n"));
        return Outcome::Done;
    }
    connect(pasvListener.data(), &QTcpServer::newConnection, this, [this] { Run(); });
    dataMode = DataMode::Passive;
    const quint16 port = pasvListener->serverPort();
    QByteArray reply = step.bytes;
    reply.replace("{addr}", "127,0,0,1")
        .replace("{p1}", QByteArray::number(port >> 8))
        .replace("{p2}", QByteArray::number(port & 0xff))
        .replace("{port}", QByteArray::number(port));
    WriteNow(control, reply);
    return Outcome::Done;
}

Outcome ScriptedFtpServer::Private::Session::Port(const FtpScriptStep &step, const QByteArray &line)
{
    DropData();
    static const QRegularExpression form(QStringLiteral("^PORT (\\d{1,3}),(\\d{1,3}),(\\d{1,3}),(\\d{1,3}),(\\d{1,3}),(\\d{1,3})$"));
    const QRegularExpressionMatch match = form.match(QString::fromUtf8(line));
    int value[6] = {};
    bool valid = match.hasMatch();
    for (int i = 0; valid && i < 6; ++i) {
        value[i] = match.captured(i + 1).toInt();
        valid = value[i] <= 255;
    }
    if (!valid) {
        StepMismatch(QStringLiteral("got %1").arg(Quoted(line)));
        WriteNow(control, QByteArrayLiteral("501 Syntax error in PORT parameters.\r\n"));
        return Outcome::Done;
    }
    const QHostAddress host(QStringLiteral("%1.%2.%3.%4").arg(value[0]).arg(value[1]).arg(value[2]).arg(value[3]));
    const quint16 port = quint16(value[4] * 256 + value[5]);
    if (!host.isLoopback() || port == 0) {
        StepMismatch(QStringLiteral("PORT target %1:%2 refused: only loopback ports are contacted").arg(host.toString()).arg(port));
        WriteNow(control, QByteArrayLiteral("500 Illegal PORT command.\r\n"));
        return Outcome::Done;
    }
    dataMode = DataMode::Active;
    activeHost = host;
    activePort = port;
    WriteNow(control, step.bytes);
    return Outcome::Done;
}

void ScriptedFtpServer::Private::Session::AdoptDataSocket(QTcpSocket *socket)
{
    data = socket;
    socket->setParent(this);
    socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    dataIncoming.clear();
    connect(socket, &QTcpSocket::readyRead, this, [this] {
        dataIncoming += data->readAll();
    });
    connect(socket, &QTcpSocket::disconnected, this, [this] {
        dataIncoming += data->readAll();
        Run();
    });
}

void ScriptedFtpServer::Private::Session::DropData()
{
    if (pasvListener)
        pasvListener->deleteLater();
    pasvListener = nullptr;
    if (data) {
        QTcpSocket *socket = data;
        socket->disconnect(this);
        if (socket->state() == QAbstractSocket::UnconnectedState) {
            socket->deleteLater();
        } else {
            // Let pending bytes go out before the socket goes away.
            connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
            socket->disconnectFromHost();
        }
    }
    data = nullptr;
    dataMode = DataMode::None;
    dataError.clear();
}

ScriptedFtpServer::Private::Session::DataState ScriptedFtpServer::Private::Session::EnsureData()
{
    if (data) {
        if (data->state() == QAbstractSocket::ConnectedState)
            return DataState::Ready;
        if (!dataError.isEmpty())
            return DataState::Failed;
        if (dataMode == DataMode::Active && data->state() != QAbstractSocket::UnconnectedState)
            return DataState::Blocked;
        dataError = QStringLiteral("the data connection is already closed");
        return DataState::Failed;
    }
    switch (dataMode) {
    case DataMode::None:
        dataError = QStringLiteral("no data connection prepared (PASV or PORT first)");
        return DataState::Failed;
    case DataMode::Passive:
        if (!pasvListener || !pasvListener->hasPendingConnections())
            return DataState::Blocked;
        AdoptDataSocket(pasvListener->nextPendingConnection());
        // One connection per PASV, as real servers do.
        pasvListener->deleteLater();
        pasvListener = nullptr;
        return EnsureData();
    case DataMode::Active: {
        auto *socket = new QTcpSocket(this);
        AdoptDataSocket(socket);
        connect(socket, &QTcpSocket::connected, this, [this] { Run(); });
        connect(socket, &QTcpSocket::errorOccurred, this, [this, socket] {
            if (socket->state() != QAbstractSocket::ConnectedState && dataError.isEmpty()) {
                dataError = QStringLiteral("connecting back to %1:%2 failed: %3")
                                .arg(activeHost.toString()).arg(activePort).arg(socket->errorString());
                Run();
            }
        });
        socket->connectToHost(activeHost, activePort);
        return DataState::Blocked;
    }
    }
    return DataState::Failed;
}

Outcome ScriptedFtpServer::Private::Session::DataSend(const FtpScriptStep &step)
{
    if (phase == 0) {
        switch (EnsureData()) {
        case DataState::Blocked: return Outcome::Blocked;
        case DataState::Failed: StepMismatch(dataError); DropData(); return Outcome::Done;
        case DataState::Ready: break;
        }
        WriteNow(data, step.splitAt < 0 ? step.bytes : step.bytes.left(step.splitAt));
        phase = 1;
        if (step.splitAt >= 0)
            StartTimer(step.delayMs);
    }
    if (phase == 1) {
        if (step.splitAt >= 0) {
            if (!timerFired)
                return Outcome::Blocked;
            if (!data || data->state() != QAbstractSocket::ConnectedState) {
                StepMismatch(QStringLiteral("the client closed the data connection before all bytes were sent"));
                DropData();
                return Outcome::Done;
            }
            WriteNow(data, step.bytes.mid(step.splitAt));
        }
        phase = 2;
        data->disconnectFromHost();
    }
    if (data && data->state() != QAbstractSocket::UnconnectedState)
        return Outcome::Blocked;
    DropData();
    return Outcome::Done;
}

Outcome ScriptedFtpServer::Private::Session::DataReceive()
{
    const bool clientDone = data && data->state() == QAbstractSocket::UnconnectedState && dataError.isEmpty();
    if (!clientDone) {
        if (EnsureData() != DataState::Failed)
            return Outcome::Blocked; // until the client closes its end
        StepMismatch(dataError);
        DropData();
        return Outcome::Done;
    }
    dataIncoming += data->readAll();
    owner->receivedData.append(dataIncoming);
    dataIncoming.clear();
    DropData();
    return Outcome::Done;
}

Outcome ScriptedFtpServer::Private::Session::DataClose()
{
    DropData();
    return Outcome::Done;
}

QString ScriptedFtpServer::Private::Session::Status() const
{
    QString where;
    if (finished)
        where = QStringLiteral("finished");
    else if (index < steps.size())
        where = QStringLiteral("%1 at step %2 of %3 (%4)")
                    .arg(abandoned ? QStringLiteral("abandoned") : QStringLiteral("waiting"))
                    .arg(index + 1).arg(steps.size()).arg(steps[index].Describe());
    const QString connection = controlOpen ? QStringLiteral("open")
                                           : closedByServer ? QStringLiteral("closed by the server")
                                                            : QStringLiteral("closed by the client");
    return QStringLiteral("connection %1: %2, control %3").arg(number).arg(where, connection);
}

void ScriptedFtpServer::Private::Accept()
{
    while (QTcpSocket *socket = listener.nextPendingConnection()) {
        ++connectionCount;
        if (refusing || scripts.isEmpty()) {
            socket->abort();
            socket->deleteLater();
            continue;
        }
        const FtpScript &script = scripts[qMin(qsizetype(connectionCount - 1), scripts.size() - 1)];
        sessions.push_back(std::make_unique<Session>(this, connectionCount, socket, script.Steps()));
        Session *session = sessions.back().get();
        QTimer::singleShot(0, session, [session] { session->Run(); });
    }
}

void ScriptedFtpServer::Private::Reset()
{
    listener.close();
    sessions.clear();
    connectionCount = 0;
    errorString.clear();
    receivedCommands.clear();
    receivedBytes.clear();
    receivedData.clear();
    mismatches.clear();
}

ScriptedFtpServer::ScriptedFtpServer(QObject *parent) : QObject(parent), d(std::make_unique<Private>())
{
    d->q = this;
    connect(&d->listener, &QTcpServer::newConnection, this, [this] { d->Accept(); });
}

ScriptedFtpServer::~ScriptedFtpServer()
{
    // Sessions report to this object while they close: silence them first.
    d->listener.disconnect(this);
    blockSignals(true);
    d->sessions.clear();
}

bool ScriptedFtpServer::Start(const FtpScript &script)
{
    return Start(QList<FtpScript>{script});
}

bool ScriptedFtpServer::Start(const QList<FtpScript> &scripts)
{
    d->Reset();
    d->scripts = scripts;
    d->refusing = false;
    if (!d->listener.listen(QHostAddress::LocalHost, 0)) {
        d->errorString = d->listener.errorString();
        return false;
    }
    return true;
}

bool ScriptedFtpServer::StartRefusing()
{
    d->Reset();
    d->scripts.clear();
    d->refusing = true;
    if (!d->listener.listen(QHostAddress::LocalHost, 0)) {
        d->errorString = d->listener.errorString();
        return false;
    }
    return true;
}

void ScriptedFtpServer::Stop()
{
    d->listener.close();
    blockSignals(true);
    d->sessions.clear();
    blockSignals(false);
}

QString ScriptedFtpServer::Host() const
{
    return QStringLiteral("127.0.0.1");
}

quint16 ScriptedFtpServer::Port() const
{
    return d->listener.serverPort();
}

QString ScriptedFtpServer::ErrorString() const
{
    return d->errorString;
}

void ScriptedFtpServer::SetUnscriptedReply(const QByteArray &reply)
{
    d->unscriptedReply = reply;
}

QStringList ScriptedFtpServer::ReceivedCommands() const
{
    return d->receivedCommands;
}

QByteArray ScriptedFtpServer::ReceivedBytes() const
{
    return d->receivedBytes;
}

QByteArrayList ScriptedFtpServer::ReceivedData() const
{
    return d->receivedData;
}

QStringList ScriptedFtpServer::Mismatches() const
{
    return d->mismatches;
}

bool ScriptedFtpServer::Finished() const
{
    if (d->sessions.empty())
        return false;
    for (const auto &session : d->sessions)
        if (!session->Finished())
            return false;
    return true;
}

int ScriptedFtpServer::ConnectionCount() const
{
    return d->connectionCount;
}

bool ScriptedFtpServer::ClientConnected() const
{
    for (const auto &session : d->sessions)
        if (session->ControlOpen())
            return true;
    return false;
}

QString ScriptedFtpServer::Status() const
{
    QStringList lines;
    lines << (d->listener.isListening() ? QStringLiteral("listening on 127.0.0.1:%1").arg(d->listener.serverPort())
                                        : QStringLiteral("not listening"));
    if (d->sessions.empty())
        lines << QStringLiteral("no scripted connection yet (%1 accepted)").arg(d->connectionCount);
    for (const auto &session : d->sessions)
        lines << session->Status();
    for (const QString &mismatch : d->mismatches)
        lines << QStringLiteral("mismatch: ") + mismatch;
    return lines.join(QLatin1Char('\n'));
}

quint16 ScriptedFtpServer::UnusedPort()
{
    QTcpServer probe;
    if (!probe.listen(QHostAddress::LocalHost, 0))
        return 0;
    const quint16 port = probe.serverPort();
    probe.close();
    return port;
}
