#pragma once
// Internal state of TVexFtp, shared by the files that implement its parts:
// Ftp.cpp (connection, replies, operation life cycle, events),
// FtpLogin.cpp (login dialogue and probes), FtpTransfer.cpp (data
// connections, listings and transfers) and FtpCommands.cpp (navigation,
// file commands and ftp:// addresses).

#include "Ftp.h"
#include "FtpData.h"
#include "FtpParse.h"
#include "FtpUrl.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QFile>
#include <QPointer>
#include <QTimer>

enum class FtpOperation {
    None,
    Login,
    ChangeDirectory,
    ParentDirectory,
    CreateDirectory,
    RemoveDirectories,
    DeleteFiles,
    GetFile,
    GetFiles,
    PutFile,
    PutFiles,
    List,
    Rename,
    KeepAlive,
};

enum class UrlConnectState {
    None,
    QuitPending,        // the old connection is closing before a new Login
    NavigateAfterLogin, // the directory step navigates instead of entering InitialDirectory
};

// Block sizes of the control and data connections. Listings and the
// control connection carry little; transfers move blocks large enough that
// the per-block work (a system call each way, a progress event, and for
// uploads one pass of the event loop before every send) stays small next to
// the copy itself: with 4096-byte reads and 1514-byte sends a loopback
// transfer ran at a third to two thirds of curl's rate.
constexpr int ControlReadSize = 4096;  // one Receive on the control connection
constexpr int MaxReplyLineLength = 65536; // a longer reply line is cut into lines of this size
// The most of a multi-line reply that is kept for ReplyLines; further
// continuation lines are dropped until the reply's last line, so that a
// reply that never ends cannot exhaust memory.
constexpr qsizetype ReplyTextLimit = 4 * 1024 * 1024;
constexpr int ListingReadSize = 4096;  // one Receive per readable listing notification
constexpr int DownloadReadSize = 65536; // downloads drain the socket in blocks of this size
constexpr int UploadChunkSize = 65536;  // uploads send at most this much per send
constexpr int TransferBufferSize = DownloadReadSize > UploadChunkSize ? DownloadReadSize : UploadChunkSize;

// Messages the client posts to itself.
constexpr int DisconnectedMessage = 1026;
constexpr int ReadyMessage = 1028;

// Reply a step is called with when it continues without a server reply.
inline const QString ContinueReply = QStringLiteral("299");
// Reply a login step is called with when its command cannot be sent.
inline const QString LocalRefusalReply = QStringLiteral("501 line break in argument");

struct TVexFtpPrivate
{
    explicit TVexFtpPrivate(TVexFtp *client);

    TVexFtp *q;

    // Published properties
    QString server;
    quint16 port = 21;
    QString username = QStringLiteral("anonymous");
    QString password = TVexFtp::DefaultGuestPassword();
    QString account;
    QString proxyServer;
    int proxyPort = 21;
    TVexFtpProxyType proxyType = proxyNone;
    QString proxyUsername;
    QString proxyPassword;
    bool passive = false;
    TVexFtpTransferType transferMode = BinaryTransfer;
    TVexFtpServerType serverType = ftpstAutoDetect;
    QString initialDirectory;
    QString fileMask;
    bool cache = true;
    int cacheExpire = 7;
    int retries = 3;
    quint16 retryInterval = 15;
    bool asynchronous = true;
    bool multiThreaded = false;

    // Public state
    bool connected = false;
    bool loggedIn = false;
    bool busy = false;
    QString currentDirectory;
    bool resumeSupported = false;
    QStringList replyLines;
    QString lastReply;

    // Control connection
    TReplyHandler replyHandler;
    QByteArray partialLine;
    bool readerActive = false;
    bool multiLine = false;
    QByteArray multiLineCode;
    QString multiLineText;
    quint64 controlGeneration = 0; // bumped whenever the control socket is closed or reset

    // Operation life cycle
    FtpOperation operation = FtpOperation::None;
    FtpError lastError = ftpeNone;
    bool failed = false;
    QString pendingErrorText;
    bool listRunning = false;   // a list operation is running its items
    bool itemPending = false;

    // Attempts and retries
    int attemptsLeft = 0;
    bool retrying = false;
    QTimer retryTimer;
    bool proxyTargetSet = false;
    QString targetServer;
    quint16 targetPort = 21;
    quint16 peerPort = 21; // where this attempt connects: the proxy's port through a proxy

    // Per-connection knowledge
    bool sizeSupported = true;
    bool noopSupported = true;
    QString rememberedType;

    // Keep-alive
    QTimer noopTimer;
    bool noopEnabled = true;

    // Address connection
    UrlConnectState urlState = UrlConnectState::None;
    QString navigationPath;

    // Data connections and transfers
    TVexSocket *dataSocket = nullptr;
    TVexSocket *listenSocket = nullptr;
    QFile localFile;
    bool fileOpen = false;
    QByteArray transferBuffer; // TransferBufferSize bytes once the first transfer runs
    QByteArray listingPartial;
    TVexFtpFileInfoList files, directories, newFiles, newDirectories;
    TVexFtpListState listState;
    QStringList listingLines;
    int listingLineCount = 0;
    bool fromCache = false;
    QString remoteFileName;
    QString localFileName;
    qint64 remoteSize = 0;
    qint64 restartOffset = 0;
    qint64 uploadLocalSize = 0;
    qint64 bytesTransferred = 0;
    QElapsedTimer transferClock;
    qint64 elapsed = 0;
    bool dataDone = false;
    bool replyDone = false;
    bool uploadFailed = false;
    TReplyHandler dataContinuation;
    // Active mode: what runs when the server connects to the listening
    // socket, and whether it connected before the transfer was wired (some
    // servers connect as soon as they accept PORT).
    TSocketEvent activeOpened;
    bool acceptWaiting = false;
    bool uploadWriting = false;   // the upload writer is running (it pumps events)
    bool storIssued = false;      // no data goes out before STOR has been sent
    bool uploadWriteWaiting = false;
    bool listAbandoned = false;
    bool listItemStarting = false; // the next GetFile/PutFile is an item of the running list
    int readyMessagesPending = 0;  // ready messages posted and not yet handled

    // Listeners
    TListenerGroup<TVexFtpErrorEvent> errorListeners;
    TListenerGroup<TVexFtpInfoEvent> infoListeners;
    TListenerGroup<TNotifyEvent> notifyListeners[LastNotifyKind + 1];

    // --- Events (Ftp.cpp) ---
    void RaiseInfo(FtpInfo info, const QString &text = QString());
    void RaiseError(FtpError error);
    void RaiseFatal(FtpError error);
    void Notify(TVexFtpNotifyKind kind);
    QString Ask(TVexFtpInfoNeeded need, const QString &initial = QString());

    // --- Connection and replies (Ftp.cpp) ---
    void StartLogin(); // Login without ending a pending address connection
    void ConnectionAttempt();
    void DescribePeer(const QString &host);
    void DiscardControlSocket();
    bool CheckSocketError();
    bool IssueCommand(const QString &command, const TReplyHandler &handler);
    void HandleControlConnect();
    void HandleControlRead();
    void HandleControlClosed();
    void HandleControlTimeOut();
    void ProcessReplyLine(const QByteArray &line);
    void HandleMessage(int message);
    void DisconnectProcessing();
    void StartRetryWait();
    void RetryWaitElapsed();

    // --- Operation life cycle (Ftp.cpp) ---
    bool BeginOperation();
    void Ready();
    void HandleReadyMessage();
    void HandleDisconnectedMessage();
    void CompleteOperation(FtpOperation finished);
    void UpdateKeepAliveTimer();
    void KeepAliveTick();
    void HandleNoopReply(const QString &reply);
    void PumpOnce(bool block);
    void WaitWhileBusy();

    // --- Login (FtpLogin.cpp) ---
    void IssueLoginCommand(const QString &command, const TReplyHandler &handler);
    void HandleWelcomeReply(const QString &reply);
    void SendFirstLoginCommand();
    void HandleHostReply(const QString &reply);
    void HandleOpenReply(const QString &reply);
    void HandleProxyUserReply(const QString &reply);
    void HandleProxyPassReply(const QString &reply);
    void HandleSiteReply(const QString &reply);
    void SendUser();
    void HandleUserReply(const QString &reply);
    void HandlePassReply(const QString &reply);
    void HandleAcctReply(const QString &reply);
    void StartProbes();
    void HandleSystReply(const QString &reply);
    void HandleRestProbeReply(const QString &reply);
    void HandleRestZeroReply(const QString &reply);
    void DirectoryStep();
    void HandleInitialCwdReply(const QString &reply);
    void HandleLoginPwdReply(const QString &reply);
    void FinishLogin();

    // --- Data connections and transfers (FtpTransfer.cpp) ---
    void InitDataSockets();
    void ShutdownDataSockets();
    void CloseDataConnection();
    void CompleteListing();
    void AbandonTransfers();
    void AcceptDataConnection();
    void EnsureTransferType(const QString &type, const TReplyHandler &step);
    void DataConnectionStep(const QString &reply);
    void HandlePasvReply(const QString &reply);
    QString BuildPortArgument();
    void WireDataSocket(TSocketEvent reader, TSocketEvent writer, TSocketEvent closed, TSocketEvent opened);
    void DataOpened(bool upload);
    void EndItem();
    void SkipItem();
    void CloseLocalFile();
    void FailTransfer(FtpError error, const QString &text);
    void UpdateElapsed();
    char *TransferBuffer();
    void RunListOperation(FtpOperation operation, int count, const std::function<void(int)> &startItem);
    bool HasLineBreak(const QString &argument, FtpError error);
    // listing
    bool ServeListingFromCache();
    void ListStep(const QString &reply);
    void ReadListingData();
    void ListingClosed();
    void HandleListReply(const QString &reply);
    void AcceptListingLine(const QString &line);
    // download
    void StartDownload(const QString &remote, const QString &local);
    void AskDownloadExists();
    void HandleDownloadSizeReply(const QString &reply);
    void FreshRetrStep(const QString &reply);
    void ResumedRetrStep(const QString &reply);
    void HandleDownloadRestReply(const QString &reply);
    void HandleRetrReply(const QString &reply);
    void ReadDownloadData();
    void TransferClosed();
    // upload
    void StartUpload(const QString &local, const QString &remote);
    void UploadSizeStep();
    void HandleUploadSizeReply(const QString &reply);
    void FreshStorStep(const QString &reply);
    void ResumedStorStep(const QString &reply);
    void HandleUploadRestReply(const QString &reply);
    void IssueStor();
    void HandleStorReply(const QString &reply);
    void HandleStorFinalReply(const QString &reply);
    void WriteUploadData();
    bool SendUploadBurst();
    QString CacheFileFor(bool directories) const;

    // --- Navigation and file commands (FtpCommands.cpp) ---
    QString removedDirectory;          // the RMD argument as sent
    QString renameTarget;
    bool callerCommandPending = false; // a raw command judged by the caller's handler
    quint64 callerCommandConnection = 0;
    bool BeginCommand(FtpOperation op);
    bool SendableArgument(const QString &argument, FtpError error);
    void WaitIfSynchronous();
    void RaiseAccessDenied();
    void HandleFileCommandReply(const QString &reply);
    void HandleCwdReply(const QString &reply);
    void HandlePwdReply(const QString &reply);
    void HandleRmdReply(const QString &reply);
    void HandleRnfrReply(const QString &reply);
    void HandleRntoReply(const QString &reply);
    void HandleQuitReply(const QString &reply);
    void Navigate();
    void MarkAddressLoggedIn();
    void HandleAddressCwdReply(const QString &reply);
    void HandleFileFolderCwdReply(const QString &reply);
};

// The text between the first and the second double quote (empty when none).
QString QuotedPath(const QString &reply);
