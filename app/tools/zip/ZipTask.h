#pragma once
// TZipTask: runs a TZipEngine on a worker thread so that the window stays
// responsive while a large archive is built. The engine's hooks become
// signals of the task, delivered on the task's own thread (the GUI thread
// for the explorer tab): progress, then completion or failure, then
// Finished.

#include "ZipEngine.h"

#include <QObject>
#include <QString>

class QThread;

class TZipTask : public QObject
{
    Q_OBJECT
public:
    explicit TZipTask(QObject *parent = nullptr);
    // Cancels a running compression and waits for its thread.
    ~TZipTask() override;

    // The engine to set up before Start(). The task owns its hooks; the
    // engine must not be touched while Running().
    TZipEngine &Engine();

    // Starts Zip() on a new thread; false while one still runs.
    bool Start();
    // Asks the running compression to stop; it then fails with
    // "Compression annulée" (unless it was already complete).
    void Cancel();
    bool Running() const;
    // The files packed by the last run (0 after a failure).
    int FileCount() const;

signals:
    void TotalPercentDone(int percent);
    void ZipComplete(int fileCount);
    void ZipFailed(const QString &message);
    void Finished();

private:
    void WorkerDone();

    TZipEngine engine;
    QThread *worker = nullptr;
    int fileCount = 0;
};
