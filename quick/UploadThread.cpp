// The quick explorer's upload worker: files and folder trees uploaded on a
// thread of their own, with every message and the completion step handed
// over to the GUI thread.
#include "UploadThread.h"

#include "BTFTPConnection.h"
#include "QuickOwner.h"
#include "QuickTexts.h"

#include <QDir>
#include <QFileInfo>
#include <QMetaObject>
#include <QRegularExpression>

namespace {

// The mask that takes every file ("*.*" matches names without a dot too).
bool TakesEverything(const QString &mask)
{
    return mask == QLatin1String("*.*") || mask == QLatin1String("*");
}

QString LastComponent(const QString &path)
{
    QString trimmed = path;
    while (trimmed.size() > 1 && trimmed.endsWith(QLatin1Char('/')))
        trimmed.chop(1);
    return QFileInfo(trimmed).fileName();
}

} // namespace

TUploadThread::TUploadThread(TBTFTPOwner &owner, const QString &text, QObject *parent)
    : QThread(parent), owner(owner), connection(owner.FtpConnection()), receiver(&owner.FtpConnection())
{
    // One path per line; blank lines name nothing.
    for (const QString &line : text.split(QRegularExpression(QStringLiteral("\r\n|\r|\n"))))
        if (!line.isEmpty())
            paths.append(line);
    connect(this, &QThread::finished, this, &QObject::deleteLater);
}

TUploadThread::~TUploadThread()
{
    wait();
}

template <typename Work> void TUploadThread::Post(Work work)
{
    if (receiver)
        QMetaObject::invokeMethod(receiver.data(), std::move(work), Qt::QueuedConnection);
}

void TUploadThread::Info(const QString &format, const QStringList &args)
{
    TBTFTPOwner *target = &owner;
    Post([target, format, args] { target->DisplayInfo(format, args); });
}

void TUploadThread::Error(const QString &message)
{
    TBTFTPOwner *target = &owner;
    QString format = message;
    format.replace(QLatin1Char('%'), QLatin1String("%%"));
    Post([target, format] { target->DisplayError(format, {}); });
}

void TUploadThread::ShowReply()
{
    // Read here, where the failure happened: by the time the GUI thread
    // shows it, the connection may have had further replies.
    QString reply;
    if (!connection.LastResponse(reply))
        return;
    TBTFTPOwner *target = &owner;
    Post([target, reply] { target->ShowResponse(reply, false); });
}

void TUploadThread::run()
{
    try {
        for (const QString &path : std::as_const(paths))
            if (!UploadPath(path))
                break;
    } catch (...) {
        // Nothing here throws on purpose; whatever did, the completion step
        // below still runs.
    }
    paths.clear();
    TBTFTPOwner *target = &owner;
    Post([target] { target->UploadDone(); });
}

bool TUploadThread::UploadPath(const QString &path)
{
    const QFileInfo info(path);
    if (!info.isDir())
        return UploadOne(path);
    walking = {info.canonicalFilePath()};
    QString folder = path;
    if (!folder.endsWith(QLatin1Char('/')))
        folder += QLatin1Char('/');
    return EnterAndUpload(folder, LastComponent(path));
}

bool TUploadThread::UploadOne(const QString &path)
{
    Info(QuickTexts::CopyInProgress, {QFileInfo(path).fileName()});
    if (connection.UploadLocalFile(path))
        return true;
    const QString local = connection.LocalError();
    if (!local.isEmpty()) {
        Error(local);
        return false;
    }
    if (connection.LastError() == TFtpError::Closed)
        return false;  // disconnected: nothing further can be sent
    ShowReply();
    return true;
}

// Creates and enters the remote folder name (an existing one is simply
// entered), uploads the local folder into it and comes back. A remote
// folder that cannot be entered is reported and its local folder left out,
// rather than spilled into the current remote folder.
bool TUploadThread::EnterAndUpload(const QString &localFolder, const QString &name)
{
    const std::shared_ptr<TFtpConnection> handle = connection.Handle();
    QString before;
    if (!handle || !handle->GetCurrentDirectory(before))
        return false;
    connection.CreateDirectory(name);
    if (!connection.ChangeDirectory(name)) {
        if (connection.LastError() == TFtpError::Closed)
            return false;
        ShowReply();
        Info(QuickTexts::RemoteFolderSkipped, {name});
        return true;
    }
    remoteReturns.append(before);
    return UploadTree(localFolder, QStringLiteral("*.*"));
}

bool TUploadThread::UploadTree(const QString &folder, const QString &mask)
{
    bool ok = true;
    const QDir dir(folder);
    if (!dir.exists() || !dir.isReadable()) {
        Error(FormatQuickMessage(QuickTexts::LocalFolderUnreadable, {folder}));
        ok = false;
    }
    // 1. The files (regular files and links to them; no devices, pipes or
    // sockets), in name order.
    if (ok) {
        const QStringList filters = TakesEverything(mask) ? QStringList() : QStringList{mask};
        const QFileInfoList files = dir.entryInfoList(filters, QDir::Files | QDir::Hidden, QDir::Name);
        for (const QFileInfo &file : files) {
            if (!UploadOne(folder + file.fileName())) {
                ok = false;
                break;
            }
        }
    }
    // 2. The subfolders, each in a remote folder of its name.
    if (ok) {
        const QFileInfoList folders = dir.entryInfoList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden, QDir::Name);
        for (const QFileInfo &sub : folders) {
            const QString canonical = sub.canonicalFilePath();
            if (walking.contains(canonical))
                continue;  // a link back up the tree
            const QString name = sub.fileName();
            Info(QuickTexts::FolderCreated, {name});
            walking.append(canonical);
            ok = EnterAndUpload(folder + name + QLatin1Char('/'), name);
            walking.removeLast();
            if (!ok)
                break;
        }
    }
    // 3. Back to the remote folder the caller entered this one from, also
    // when the walk ends here.
    if (!remoteReturns.isEmpty()) {
        const QString back = remoteReturns.takeLast();
        if (!connection.ChangeDirectory(back) && connection.LastError() != TFtpError::Closed)
            connection.ChangeDirectory(QStringLiteral(".."));
    }
    return ok;
}
