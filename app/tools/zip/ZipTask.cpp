// TZipTask: the zip engine on a worker thread (see ZipTask.h).
#include "ZipTask.h"

#include <QThread>

TZipTask::TZipTask(QObject *parent)
    : QObject(parent)
{
    // Raised on the worker thread; emitting there queues each signal to
    // receivers living on other threads.
    engine.OnTotalPercentDone = [this](TZipEngine *, int percent) { emit TotalPercentDone(percent); };
    engine.OnZipComplete = [this](TZipEngine *, int count) { emit ZipComplete(count); };
    engine.OnZipError = [this](TZipEngine *, const QString &message) { emit ZipFailed(message); };
}

TZipTask::~TZipTask()
{
    if (worker) {
        engine.Cancel();
        worker->wait();
        delete worker;
    }
}

TZipEngine &TZipTask::Engine()
{
    return engine;
}

bool TZipTask::Start()
{
    if (worker)
        return false;
    fileCount = 0;
    // A Cancel() that came after the previous run had ended must not stop
    // this one.
    engine.cancelled.store(false);
    worker = QThread::create([this] { fileCount = engine.Zip(); });
    connect(worker, &QThread::finished, this, &TZipTask::WorkerDone);
    worker->start();
    return true;
}

void TZipTask::Cancel()
{
    if (worker)
        engine.Cancel();
}

bool TZipTask::Running() const
{
    return worker != nullptr;
}

int TZipTask::FileCount() const
{
    return fileCount;
}

void TZipTask::WorkerDone()
{
    worker->wait();
    delete worker;
    worker = nullptr;
    emit Finished();
}
