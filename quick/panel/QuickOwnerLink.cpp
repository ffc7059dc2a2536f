// The panel's stand-in towards its connection object and upload worker.
#include "QuickOwnerLink.h"

#include "ZEVudeDadaVAV.h"

#include <QCoreApplication>
#include <QGuiApplication>

TQuickOwnerLink::TQuickOwnerLink(TZEVudeDadaVAV *panel) : panel(panel), connection(*this) {}

TQuickOwnerLink::~TQuickOwnerLink()
{
    if (hourglass)
        QGuiApplication::restoreOverrideCursor();
}

TQuickOwnerLink::Call::Call(TQuickOwnerLink *link) : link(link)
{
    if (link)
        ++link->calls;
}

TQuickOwnerLink::Call::~Call()
{
    if (!link)
        return;
    --link->calls;
    link->DeleteWhenIdle();
}

void TQuickOwnerLink::SetWorker(QThread *value)
{
    worker = value;
    if (value)
        connect(value, &QThread::finished, this, &TQuickOwnerLink::DeleteWhenIdle, Qt::QueuedConnection);
}

bool TQuickOwnerLink::WorkerRunning() const
{
    return worker && !worker->isFinished();
}

void TQuickOwnerLink::Release()
{
    panel = nullptr;
    // The owner's progress hook may hold on to the window; it must not be
    // called any more.
    OnDisplayProgress = nullptr;
    DeleteWhenIdle();
}

void TQuickOwnerLink::DeleteWhenIdle()
{
    // Never while a call of the connection is on the stack, nor while the
    // worker runs; deleteLater also keeps it clear of the event being
    // delivered right now.
    if (panel == nullptr && calls == 0 && !WorkerRunning())
        deleteLater();
}

void TQuickOwnerLink::DisplayInfo(const QString &format, const QStringList &args)
{
    Call call(this);
    if (panel)
        panel->DisplayInfo(format, args);
}

void TQuickOwnerLink::DisplayError(const QString &format, const QStringList &args)
{
    Call call(this);
    if (panel)
        panel->DisplayError(format, args);
}

void TQuickOwnerLink::SetHourglass(bool shown)
{
    // Kept here rather than in the panel, so that a cursor set before the
    // panel went is still restored.
    if (shown == hourglass)
        return;
    hourglass = shown;
    if (shown)
        QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    else
        QGuiApplication::restoreOverrideCursor();
}

void TQuickOwnerLink::UploadDone()
{
    Call call(this);
    if (panel)
        panel->UploadDone();
}

bool TQuickOwnerLink::Busy() const
{
    return panel && panel->Busy();
}
