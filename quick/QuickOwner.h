#pragma once
// What the quick explorer's connection object and upload worker need of
// their owner, the panel: its options, its progress hook, its message
// routines, its busy flag and its connection. The panel implements it; the
// tests implement it with a recorder. Nothing here needs widgets.
//
// Threads: FTPOptions() may be read on the upload worker's thread (it is
// kept in an atomic); everything else is called on the GUI thread only (the
// worker hands its messages, progress and completion over to that thread).

#include "QuickTypes.h"

#include <QString>
#include <QStringList>

#include <atomic>

class TBTFTPConnection;

class TBTFTPOwner
{
public:
    virtual ~TBTFTPOwner();

    // Called after each block of a transfer when doDisplayProgress is set;
    // without it the connection writes the progress message instead.
    TDisplayProgressEvent OnDisplayProgress;

    TdoOptions FTPOptions() const;
    virtual void SetFTPOptions(TdoOptions options);

    // Messages with "%s" / "%N:s" placeholders (see QuickTexts.h).
    virtual void DisplayInfo(const QString &format, const QStringList &args) = 0;
    virtual void DisplayError(const QString &format, const QStringList &args) = 0;
    // The hourglass cursor of GUI-thread transfers (doShowHourglass).
    virtual void SetHourglass(bool shown);
    // The end of a worker's uploads, run on the GUI thread in every case:
    // clears the busy flag, accepts drops again, reports and refreshes.
    virtual void UploadDone() = 0;
    // A worker or a single upload is running.
    virtual bool Busy() const = 0;
    virtual TBTFTPConnection &FtpConnection() = 0;

    // The server's last reply through DisplayError (its last line); with
    // pause, then 200 ms during which only non-user events are processed.
    // False when no reply can be read (the caller then says it in its own
    // words).
    bool ShowLastResponse(bool pause);
    // The same for a reply read earlier (the worker reads it on its thread).
    bool ShowResponse(const QString &reply, bool pause);

private:
    std::atomic<unsigned> options{0};
};
