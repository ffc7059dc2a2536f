#pragma once
// What the transfer tests share besides the event record: the set-up of a
// client pointed at a local test server, its login, and file helpers.

#include "Ftp.h"
#include "FtpCacheTesting.h"
#include "FtpData.h"
#include "FtpEventRecorder.h"

#include <QFile>
#include <QRandomGenerator>
#include <QSet>
#include <QStringList>
#include <QTest>

namespace TransferTestKit {

constexpr int LoginWaitMs = 10000;
constexpr int TransferWaitMs = 30000;

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
inline bool LogIn(TVexFtp &ftp, const FtpEventRecorder &log)
{
    ftp.Login();
    const bool done = QTest::qWaitFor([&] { return log.Count(QStringLiteral("OnLoggedIn")) > 0 || log.Count(QStringLiteral("OnFtpQuit")) > 0; },
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
