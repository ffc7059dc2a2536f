#include "FtpScript.h"

namespace {

QByteArray AsReply(const QString &text)
{
    QByteArray bytes = text.toUtf8();
    if (!bytes.endsWith('\n'))
        bytes += "\r\n";
    return bytes;
}

QString Shown(const QByteArray &bytes)
{
    QString text = QString::fromUtf8(bytes);
    text.replace(QLatin1String("\r"), QLatin1String("\\r")).replace(QLatin1String("\n"), QLatin1String("\\n"));
    if (text.size() > 60)
        text = text.left(57) + QLatin1String("...");
    return QLatin1Char('"') + text + QLatin1Char('"');
}

FtpScriptStep Step(FtpScriptStep::Kind kind, const QByteArray &bytes = {})
{
    FtpScriptStep step;
    step.kind = kind;
    step.bytes = bytes;
    return step;
}

} // namespace

QString FtpScriptStep::Describe() const
{
    const QString split = splitAt >= 0 ? QStringLiteral(" split at %1 after %2 ms").arg(splitAt).arg(delayMs) : QString();
    switch (kind) {
    case Send: return QStringLiteral("send %1%2").arg(Shown(bytes), split);
    case Expect: return QStringLiteral("expect %1").arg(Shown(bytes));
    case ExpectPrefix: return QStringLiteral("expect prefix %1").arg(Shown(bytes));
    case ExpectMatch: return QStringLiteral("expect match /%1/").arg(pattern.pattern());
    case ExpectPasv: return QStringLiteral("expect PASV");
    case ExpectPort: return QStringLiteral("expect PORT");
    case ExpectClose: return QStringLiteral("expect the client to close");
    case Delay: return QStringLiteral("delay %1 ms").arg(delayMs);
    case CloseConnection: return QStringLiteral("close the control connection");
    case DataConnect: return QStringLiteral("data connect");
    case DataSend: return QStringLiteral("data send %1 bytes%2").arg(bytes.size()).arg(split);
    case DataReceive: return QStringLiteral("data receive");
    case DataClose: return QStringLiteral("data close");
    case DataStall: return QStringLiteral("data stall");
    case DataWrite: return QStringLiteral("data write %1 bytes").arg(bytes.size());
    case DataStopReading: return QStringLiteral("data stop reading");
    }
    return QStringLiteral("unknown step");
}

FtpScript &FtpScript::add(FtpScriptStep step)
{
    steps.append(std::move(step));
    return *this;
}

FtpScript &FtpScript::send(const QString &reply)
{
    return sendRaw(AsReply(reply));
}

FtpScript &FtpScript::sendRaw(const QByteArray &bytes)
{
    return add(Step(FtpScriptStep::Send, bytes));
}

FtpScript &FtpScript::sendSplit(const QString &reply, int atByte, int delayMs)
{
    return sendSplitRaw(AsReply(reply), atByte, delayMs);
}

FtpScript &FtpScript::sendSplitRaw(const QByteArray &bytes, int atByte, int delayMs)
{
    FtpScriptStep step = Step(FtpScriptStep::Send, bytes);
    step.splitAt = qBound(0, atByte, int(bytes.size()));
    step.delayMs = qMax(0, delayMs);
    return add(step);
}

FtpScript &FtpScript::expect(const QString &command, const QString &reply)
{
    add(Step(FtpScriptStep::Expect, command.toUtf8()));
    return reply.isEmpty() ? *this : send(reply);
}

FtpScript &FtpScript::expectPrefix(const QString &prefix, const QString &reply)
{
    add(Step(FtpScriptStep::ExpectPrefix, prefix.toUtf8()));
    return reply.isEmpty() ? *this : send(reply);
}

FtpScript &FtpScript::expectMatch(const QString &pattern, const QString &reply)
{
    FtpScriptStep step = Step(FtpScriptStep::ExpectMatch);
    step.pattern = QRegularExpression(QRegularExpression::anchoredPattern(pattern));
    add(step);
    return reply.isEmpty() ? *this : send(reply);
}

FtpScript &FtpScript::expectClose()
{
    return add(Step(FtpScriptStep::ExpectClose));
}

FtpScript &FtpScript::expectPasv(const QString &replyTemplate)
{
    return add(Step(FtpScriptStep::ExpectPasv, AsReply(replyTemplate)));
}

FtpScript &FtpScript::expectPort(const QString &reply)
{
    return add(Step(FtpScriptStep::ExpectPort, AsReply(reply)));
}

FtpScript &FtpScript::delay(int ms)
{
    FtpScriptStep step = Step(FtpScriptStep::Delay);
    step.delayMs = qMax(0, ms);
    return add(step);
}

FtpScript &FtpScript::closeConnection()
{
    return add(Step(FtpScriptStep::CloseConnection));
}

FtpScript &FtpScript::dataConnect()
{
    return add(Step(FtpScriptStep::DataConnect));
}

FtpScript &FtpScript::dataSend(const QByteArray &bytes)
{
    return add(Step(FtpScriptStep::DataSend, bytes));
}

FtpScript &FtpScript::dataSendSplit(const QByteArray &bytes, int atByte, int delayMs)
{
    FtpScriptStep step = Step(FtpScriptStep::DataSend, bytes);
    step.splitAt = qBound(0, atByte, int(bytes.size()));
    step.delayMs = qMax(0, delayMs);
    return add(step);
}

FtpScript &FtpScript::dataReceive()
{
    return add(Step(FtpScriptStep::DataReceive));
}

FtpScript &FtpScript::dataClose()
{
    return add(Step(FtpScriptStep::DataClose));
}

FtpScript &FtpScript::dataStall()
{
    return add(Step(FtpScriptStep::DataStall));
}

FtpScript &FtpScript::dataWrite(const QByteArray &bytes)
{
    return add(Step(FtpScriptStep::DataWrite, bytes));
}

FtpScript &FtpScript::dataStopReading()
{
    return add(Step(FtpScriptStep::DataStopReading));
}

const QList<FtpScriptStep> &FtpScript::Steps() const
{
    return steps;
}
