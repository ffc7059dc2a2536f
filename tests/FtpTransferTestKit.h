#pragma once
// What the transfer tests share: a record of everything a client reports,
// in order, and the set-up of a client pointed at a local test server.

#include "Ftp.h"
#include "FtpCacheTesting.h"
#include "FtpData.h"

#include <QFile>
#include <QRandomGenerator>
#include <QSet>
#include <QStringList>
#include <QTest>
#include <functional>

namespace TransferTestKit {

constexpr int LoginWaitMs = 10000;
constexpr int TransferWaitMs = 30000;

// Every hook of the client, recorded as one trace in firing order: notify
// hooks by name ("busy", "ready", "quit", "loggedin", "received", "stored",
// "listing", ...), infos as "info N", errors as "error N", questions as
// "need N". Received text and progress are counted, not traced.
class EventLog
{
public:
    explicit EventLog(TVexFtp &client) : ftp(client)
    {
        ftp.OnFtpInfo = [this](TVexFtp *, FtpInfo info, const QString &text) {
            infos.append({info, text});
            if (info == ftpiProgress)
                ++progressCount;
            else if (info != ftpiReceived)
                trace.append(QStringLiteral("info %1").arg(int(info)));
            if (info == ftpiCommand)
                commands.append(text);
            if (onInfo)
                onInfo(info, text);
        };
        ftp.OnFtpError = [this](TVexFtp *, FtpError error, const QString &text) {
            errors.append({error, text});
            trace.append(QStringLiteral("error %1").arg(int(error)));
        };
        ftp.OnFtpNeedInfo = [this](TVexFtp *, TVexFtpInfoNeeded need, QString &value) {
            trace.append(QStringLiteral("need %1").arg(int(need)));
            if (need == needFileExists && !answers.isEmpty())
                value = answers.takeFirst();
            if (onNeed)
                onNeed(need, value);
        };
        const auto note = [this](const char *name) {
            return [this, name](TVexFtp *) {
                trace.append(QString::fromLatin1(name));
                if (onNotify)
                    onNotify(QString::fromLatin1(name));
            };
        };
        ftp.OnFtpBusy = note("busy");
        ftp.OnFtpReady = note("ready");
        ftp.OnFtpQuit = note("quit");
        ftp.OnLoggedIn = note("loggedin");
        ftp.OnDirectoryChanged = note("dirchanged");
        ftp.OnFileReceived = note("received");
        ftp.OnFileStored = note("stored");
        ftp.OnListingDone = note("listing");
        ftp.OnFileDeleted = note("deleted");
    }

    void Clear()
    {
        trace.clear();
        infos.clear();
        errors.clear();
        commands.clear();
        progressCount = 0;
    }

    int Count(const QString &tag) const { return int(trace.count(tag)); }
    int CountInfo(FtpInfo info) const { return Count(QStringLiteral("info %1").arg(int(info))); }

    QStringList InfoTexts(FtpInfo info) const
    {
        QStringList texts;
        for (const auto &entry : infos)
            if (entry.first == info)
                texts.append(entry.second);
        return texts;
    }

    QList<int> ErrorCodes() const
    {
        QList<int> codes;
        for (const auto &entry : errors)
            codes.append(int(entry.first));
        return codes;
    }

    QStringList ErrorTexts() const
    {
        QStringList texts;
        for (const auto &entry : errors)
            texts.append(entry.second);
        return texts;
    }

    // Commands sent, without their CR LF.
    QStringList Commands() const
    {
        QStringList lines;
        for (QString line : commands)
            lines.append(line.remove(QLatin1Char('\r')).remove(QLatin1Char('\n')));
        return lines;
    }

    // Notify events only ("busy", "ready", "received", ...), in order.
    QStringList Notifications() const
    {
        QStringList names;
        for (const QString &entry : trace)
            if (!entry.contains(QLatin1Char(' ')))
                names.append(entry);
        return names;
    }

    QString Dump() const { return trace.join(QLatin1String(", ")); }

    QStringList answers; // answers to needFileExists, used in order
    std::function<void(FtpInfo, const QString &)> onInfo;
    std::function<void(TVexFtpInfoNeeded, QString &)> onNeed;
    std::function<void(const QString &)> onNotify;

    QStringList trace;
    QList<QPair<FtpInfo, QString>> infos;
    QList<QPair<FtpError, QString>> errors;
    QStringList commands;
    int progressCount = 0;

private:
    TVexFtp &ftp;
};

// A client that never waits between attempts nor sends a keep-alive NOOP,
// so that a script sees exactly the commands of the test.
inline void Prepare(TVexFtp &ftp, const QString &host, quint16 port, bool passive)
{
    ftp.SetServer(host);
    ftp.SetPort(port);
    ftp.SetPassive(passive);
    ftp.SetRetries(0);
    ftp.SetRetryInterval(0);
    ftp.SetNoopInterval(0);
}

// Logs in and waits until the client is idle again.
inline bool LogIn(TVexFtp &ftp, EventLog &log)
{
    ftp.Login();
    const bool done = QTest::qWaitFor([&] { return log.Count(QStringLiteral("loggedin")) > 0 || log.Count(QStringLiteral("quit")) > 0; },
                                      LoginWaitMs);
    return done && ftp.LoggedIn() && !ftp.Busy();
}

inline QByteArray RandomBytes(qsizetype size)
{
    QByteArray bytes(size, Qt::Uninitialized);
    QRandomGenerator generator(quint32(size) ^ 0x5eedu);
    for (qsizetype i = 0; i < size; ++i)
        bytes[i] = char(generator.bounded(256));
    return bytes;
}

inline bool WriteFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}

inline QByteArray ReadFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

inline QSet<QString> Names(const TVexFtpFileInfoList &list)
{
    QSet<QString> names;
    for (int i = 0; i < list.Count(); ++i) {
        VexFtpFileInfo info;
        list.GetInfo(i, info);
        names.insert(info.FileName);
    }
    return names;
}

} // namespace TransferTestKit
