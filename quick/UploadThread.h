#pragma once
// TUploadThread: the quick explorer's upload worker. It uploads a list of
// local files and folders (one path per line of the text it is created
// with) into the current remote folder, mirroring each folder tree depth
// first, without blocking the window. Its messages, progress reports and
// final UploadDone reach the owner on the GUI thread, in the order they
// were made; UploadDone comes last, in every case.
//
//   auto *worker = new TUploadThread(panel, paths);   // not running yet
//   worker->start();                                  // deletes itself at its end

#include <QPointer>
#include <QStringList>
#include <QThread>

class TBTFTPOwner;
class TBTFTPConnection;

class TUploadThread : public QThread
{
    Q_OBJECT
public:
    TUploadThread(TBTFTPOwner &owner, const QString &text, QObject *parent = nullptr);
    ~TUploadThread() override;

    QStringList Paths() const { return paths; }

    // The steps of the body, run on the worker's thread. Each returns false
    // when a local file error (or the end of the connection) ends the walk.
    bool UploadPath(const QString &path);
    bool UploadOne(const QString &path);
    // The files of folder (a path ending in "/") matching mask, then each
    // subfolder in a remote folder of its name; at its end the remote
    // current folder is the one it was before the caller entered the
    // folder's remote counterpart.
    bool UploadTree(const QString &folder, const QString &mask);

protected:
    // The body: every path in turn, then UploadDone on the GUI thread.
    void run() override;

private:
    bool EnterAndUpload(const QString &localFolder, const QString &name);
    void Info(const QString &format, const QStringList &args);
    void Error(const QString &message);
    void ShowReply();
    template <typename Work> void Post(Work work);

    TBTFTPOwner &owner;
    TBTFTPConnection &connection;
    // The GUI-thread object that queued calls are delivered through.
    QPointer<TBTFTPConnection> receiver;
    QStringList paths;
    // Remote folders to come back to, one per folder entered.
    QStringList remoteReturns;
    // Canonical local folders being walked: a link back to one of them is
    // not followed.
    QStringList walking;
};
