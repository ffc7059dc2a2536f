#pragma once
// The owner that the quick explorer's connection object and upload worker
// talk to on the panel's behalf. It holds the connection and hands every
// message, the hourglass and the end of an upload to the panel while there is
// one. It outlives the panel when it must: a transfer on the GUI thread
// processes events, and the panel may be destroyed inside one; the worker
// may still be finishing. The link then drops what it would have said and
// deletes itself once nothing of the connection is running any more.

#include "BTFTPConnection.h"
#include "QuickOwner.h"

#include <QObject>
#include <QPointer>
#include <QThread>

class TZEVudeDadaVAV;

class TQuickOwnerLink : public QObject, public TBTFTPOwner
{
    Q_OBJECT
public:
    explicit TQuickOwnerLink(TZEVudeDadaVAV *panel);
    ~TQuickOwnerLink() override;

    // Marks a call into the connection (or through it, back into the panel)
    // that may process events; the link stays alive until the last one ends.
    class Call
    {
    public:
        explicit Call(TQuickOwnerLink *link);
        ~Call();
        Call(const Call &) = delete;
        Call &operator=(const Call &) = delete;

    private:
        QPointer<TQuickOwnerLink> link;
    };

    // The worker now running, so that the link waits for its end.
    void SetWorker(QThread *worker);
    bool WorkerRunning() const;
    QThread *Worker() const { return worker; }

    // The panel is going: from now on nothing reaches it, and the link
    // deletes itself as soon as no call and no worker needs it.
    void Release();
    bool Released() const { return panel == nullptr; }

    void DisplayInfo(const QString &format, const QStringList &args) override;
    void DisplayError(const QString &format, const QStringList &args) override;
    void SetHourglass(bool shown) override;
    void UploadDone() override;
    bool Busy() const override;
    TBTFTPConnection &FtpConnection() override { return connection; }

private:
    void DeleteWhenIdle();

    TZEVudeDadaVAV *panel;
    TBTFTPConnection connection;
    QPointer<QThread> worker;
    int calls = 0;
    bool hourglass = false;
};
