#pragma once
// TZipEngine: packs local files and folder trees into one standard zip
// archive with libzip. The files are read while the archive is written, one
// at a time and a block at a time, so memory stays flat whatever their size;
// entries switch to zip64 by themselves when sizes or counts need it.
//
// The archive is built under a temporary name beside ZipName and renamed
// over it only once complete: an existing archive of that name is replaced,
// never left half-written, and a failure leaves it as it was.
//
// Zip() runs to completion on the calling thread and raises its hooks there.
// It may run on a worker thread (see TZipTask); Cancel() is the one call that
// is safe from another thread while it runs.

#include <QString>
#include <QStringList>
#include <atomic>
#include <functional>
#include <memory>

class TZipEngine;

using TZipPercentEvent = std::function<void(TZipEngine *sender, int percent)>;
using TZipCompleteEvent = std::function<void(TZipEngine *sender, int fileCount)>;
using TZipErrorEvent = std::function<void(TZipEngine *sender, const QString &message)>;

class TZipEngine
{
public:
    TZipEngine();
    ~TZipEngine();
    TZipEngine(const TZipEngine &) = delete;
    TZipEngine &operator=(const TZipEngine &) = delete;

    // What to pack, in order: full paths of files, and folders followed by a
    // wildcard ("/*.*" for every file, "/*.txt" and the like for some) whose
    // files are packed, with those of every sub-folder under Recurse. A
    // folder given without wildcard counts as folder + "/*.*". The caller
    // empties the list after each compression.
    QStringList &FilesList();
    const QStringList &FilesList() const;
    void SetFilesList(const QStringList &files);

    // The archive to create (a full path).
    QString ZipName() const;
    void SetZipName(const QString &zipName);

    // 0 stores the files uncompressed, 1 to 9 deflate them from fastest to
    // strongest. Values outside 0-9 are brought within.
    int PackLevel() const;
    void SetPackLevel(int level);

    // Whether a folder wildcard takes in sub-folders too (default true).
    bool Recurse() const;
    void SetRecurse(bool recurse);

    // Whether entries keep their folders (default true): each entry is named
    // by its path relative to the folder the packed items were chosen in (the
    // folder holding them all), so a packed folder "site2" gives
    // "site2/index.html" and "site2/img/". Never absolute, never with "..".
    // Without it every file is stored under its bare name.
    bool StorePaths() const;
    void SetStorePaths(bool storePaths);

    // Packs FilesList into ZipName and returns the number of files packed
    // (folder entries are not counted). Raises OnTotalPercentDone (0 to 100,
    // each value at most once, 100 only once the archive is in place) while
    // it works, then OnZipComplete. On failure nothing is created or
    // replaced, OnZipError carries the message (also in ErrorText()) and the
    // result is 0.
    int Zip();

    // Asks a running Zip() to stop as soon as it can (it then fails with
    // "Compression annulée"). Thread-safe; without a running Zip() it stops
    // the next one at its start.
    void Cancel();

    // The message of the last failed Zip(), empty after a success.
    QString ErrorText() const;

    TZipPercentEvent OnTotalPercentDone;
    TZipCompleteEvent OnZipComplete;
    TZipErrorEvent OnZipError;

private:
    friend class TZipTask; // clears a cancellation that came too late before its next run
    int Fail(const QString &message);

    QStringList filesList;
    QString zipName;
    int packLevel = 6;
    bool recurse = true;
    bool storePaths = true;
    QString errorText;
    std::atomic<bool> cancelled {false};
};
