#pragma once
// TVexFtp: the FTP client. Its own socket carries the control connection;
// it owns a data socket and a listening socket for data connections.
//
// Operations return at once and report everything through events (FtpCodes.h,
// FtpEvents.h): the owner's hooks first, then the listeners registered by
// views. Every command is sent with the handler of its final reply line;
// there is never more than one command awaiting its reply.

#include "FTPSock.h"
#include "FtpCodes.h"
#include "FtpEvents.h"
#include "FtpTypes.h"

#include <QStringList>
#include <memory>

class TVexFtpFileInfoList;

using TReplyHandler = std::function<void(const QString &reply)>;

class TVexFtp : public TVexSocket
{
    Q_OBJECT
public:
    explicit TVexFtp(QObject *owner = nullptr);
    ~TVexFtp() override;

    // --- Published properties -------------------------------------------
    QString Server() const;
    void SetServer(const QString &server);
    quint16 Port() const;
    void SetPort(quint16 port);
    // TimeOut/SetTimeOut come from TVexSocket.
    QString Username() const;
    void SetUsername(const QString &v);
    QString Password() const;
    void SetPassword(const QString &v);
    QString Account() const;
    void SetAccount(const QString &v);
    QString ProxyServer() const;
    void SetProxyServer(const QString &v);
    int ProxyPort() const;
    void SetProxyPort(int v);
    TVexFtpProxyType ProxyType() const;
    void SetProxyType(TVexFtpProxyType v);
    QString ProxyUsername() const;
    void SetProxyUsername(const QString &v);
    QString ProxyPassword() const;
    void SetProxyPassword(const QString &v);
    bool Passive() const;
    void SetPassive(bool v);
    TVexFtpTransferType TransferMode() const;
    void SetTransferMode(TVexFtpTransferType v);
    TVexFtpServerType ServerType() const;
    void SetServerType(TVexFtpServerType v);
    QString InitialDirectory() const;
    void SetInitialDirectory(const QString &v);
    QString FileMask() const;
    void SetFileMask(const QString &v);
    bool Cache() const;
    void SetCache(bool v);
    int CacheExpire() const;
    void SetCacheExpire(int days);
    int Retries() const;
    void SetRetries(int v);
    quint16 RetryInterval() const;
    void SetRetryInterval(quint16 seconds);
    quint16 NoopInterval() const;
    void SetNoopInterval(quint16 seconds);
    bool Asynchronous() const;
    void SetAsynchronous(bool v);
    bool MultiThreaded() const;
    void SetMultiThreaded(bool v);
    QString Version() const;
    void SetVersion(const QString &ignored);

    static QString DefaultGuestPassword();

    // --- Public state ------------------------------------------------------
    bool Connected() const;
    bool LoggedIn() const;
    bool Busy() const;
    QString CurrentDirectory() const;
    const TVexFtpFileInfoList &Files() const;
    const TVexFtpFileInfoList &Directories() const;
    bool FromCache() const;
    bool ResumeSupported() const;
    qint64 BytesTransferred() const;
    qint64 ElapsedTime() const;
    QStringList ReplyLines() const;
    QStringList ListingLines() const;
    QString LastReply() const;

    // --- Operations ----------------------------------------------------------
    void Login();
    // Closes the control connection; close handling follows. During the
    // pause before a retry it gives the login up instead.
    void Close();

    void ListDirectory();
    void GetFile(const QString &remoteName, const QString &localName);
    void PutFile(const QString &localName, const QString &remoteName);
    void GetFiles(const QStringList &remoteNames, const QStringList &localNames);
    void PutFiles(const QStringList &localNames, const QStringList &remoteNames);

    void ChangeDirectory(const QString &path);
    void ChangeToParent();
    void CreateDirectory(const QString &name);
    void RemoveDirectories(const QStringList &names);
    void DeleteFiles(const QStringList &names);
    void Rename(const QString &oldName, const QString &newName);
    // A caller's handler receives the final reply line and ends the
    // operation itself with EndCommand().
    void SendCommand(const QString &text, const TReplyHandler &handler = {});
    void EndCommand();
    void ConnectUrl(const QString &address);
    QString CurrentUrl() const;

    // --- Hooks of the owner ----------------------------------------------------
    TVexFtpInfoEvent OnFtpInfo;
    TVexFtpErrorEvent OnFtpError;
    TVexFtpInfoNeededEvent OnFtpNeedInfo;
    TNotifyEvent OnFtpBusy;
    TNotifyEvent OnFtpReady;
    TNotifyEvent OnFtpQuit;
    TNotifyEvent OnLoggedIn;
    TNotifyEvent OnDirectoryChanged;
    TNotifyEvent OnDirectoryCreated;
    TNotifyEvent OnDirectoryDeleted;
    TNotifyEvent OnFileDeleted;
    TNotifyEvent OnFileReceived;
    TNotifyEvent OnFileStored;
    TNotifyEvent OnFileRenamed;
    TNotifyEvent OnListingDone;

    // --- Listener table --------------------------------------------------------
    int AddErrorListener(const TVexFtpErrorEvent &callback);
    int AddInfoListener(const TVexFtpInfoEvent &callback);
    int AddNotifyListener(TVexFtpNotifyKind kind, const TNotifyEvent &callback);
    void RemoveErrorListener(int slot);
    void RemoveInfoListener(int slot);
    void RemoveNotifyListener(TVexFtpNotifyKind kind, int slot);

protected:
    void Resolved() override;

private:
    friend struct TVexFtpPrivate;
    std::unique_ptr<struct TVexFtpPrivate> d;
};
