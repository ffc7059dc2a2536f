#pragma once
// Shared pieces of the quick explorer's tests: files with known bytes, a
// helper that runs the blocking FTP calls off the test's thread (where the
// scripted server must keep running), and TRecordingOwner, an owner of the
// connection object that records everything it is told and on which thread.

#include "BTFTPConnection.h"
#include "QuickOwner.h"
#include "QuickTexts.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QThread>
#include <QtTest>

#include <functional>
#include <memory>

namespace QuickTestKit {

// Bytes that differ from their neighbours, so that a misplaced block shows.
inline QByteArray Pattern(qint64 size, quint32 seed = 1)
{
    QByteArray bytes(size, Qt::Uninitialized);
    quint32 state = seed * 2654435761u + 1;
    for (qint64 i = 0; i < size; ++i) {
        state = state * 1664525u + 1013904223u;
        bytes[i] = char(state >> 24);
    }
    return bytes;
}

inline bool WriteFile(const QString &path, const QByteArray &bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}

inline QByteArray ReadFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Runs work on a thread of its own while the test's event loop keeps
// turning (for the scripted server); false when it has not ended in time.
inline bool RunOffThread(const std::function<void()> &work, int timeoutMs = 30000)
{
    std::unique_ptr<QThread> thread(QThread::create(work));
    thread->start();
    QDeadlineTimer deadline(timeoutMs);
    while (!thread->isFinished() && !deadline.hasExpired())
        QTest::qWait(5);
    if (!thread->isFinished()) {
        thread->wait();  // never leave it running against freed objects
        return false;
    }
    return true;
}

struct ProgressRecord {
    qint64 done = 0;
    qint64 toBeDone = 0;
    qint64 total = 0;
    qint64 speed = 0;
    qint64 tick = 0;
    QString remote;
    QString local;
    bool onMainThread = false;
};

// The owner side of the connection object and the worker, as a recorder.
class TRecordingOwner : public TBTFTPOwner
{
public:
    TRecordingOwner() : connection(*this) {}

    void DisplayInfo(const QString &format, const QStringList &args) override
    {
        infos.append(FormatQuickMessage(format, args));
        messagesOnMainThread = messagesOnMainThread && OnMainThread();
        if (onInfo)
            onInfo();
    }
    void DisplayError(const QString &format, const QStringList &args) override
    {
        errors.append(FormatQuickMessage(format, args));
        messagesOnMainThread = messagesOnMainThread && OnMainThread();
    }
    void SetHourglass(bool shown) override { hourglass.append(shown); }
    void UploadDone() override
    {
        ++uploadDone;
        uploadDoneOnMainThread = OnMainThread();
        // What the panel does first: leave the busy state.
        busy = false;
        infosAtDone = infos.size();
        errorsAtDone = errors.size();
        progressAtDone = progress.size();
    }
    bool Busy() const override { return busy; }
    TBTFTPConnection &FtpConnection() override { return connection; }

    // Records every report, with the tick of the connection's clock.
    void RecordProgress(std::function<qint64()> tick = {})
    {
        OnDisplayProgress = [this, tick](TBTFTPConnection *sender, qint64 done, qint64 toBeDone, qint64 total,
                                         qint64 speed, const QString &remote, const QString &local) {
            senderIsConnection = senderIsConnection && sender == &connection;
            progress.append({done, toBeDone, total, speed, tick ? tick() : 0, remote, local, OnMainThread()});
        };
    }

    static bool OnMainThread() { return QThread::currentThread() == QCoreApplication::instance()->thread(); }

    TBTFTPConnection connection;
    // Called after each information message is recorded.
    std::function<void()> onInfo;
    QStringList infos;
    QStringList errors;
    QList<bool> hourglass;
    QList<ProgressRecord> progress;
    int uploadDone = 0;
    qsizetype infosAtDone = -1;
    qsizetype errorsAtDone = -1;
    qsizetype progressAtDone = -1;
    bool uploadDoneOnMainThread = false;
    bool messagesOnMainThread = true;
    bool senderIsConnection = true;
    bool busy = false;
};

} // namespace QuickTestKit
