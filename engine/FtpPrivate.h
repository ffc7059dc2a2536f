#pragma once
// Internal state of TVexFtp, shared by the files that implement its parts:
// Ftp.cpp (connection, replies, operation life cycle, events),
// FtpLogin.cpp (login dialogue and probes), FtpDataConnection.cpp (passive
// and active data connections), FtpTransfer.cpp (listings, transfers and
// list operations) and FtpCommands.cpp (navigation, file commands and
// ftp:// addresses).

#include "Ftp.h"
#include "FtpData.h"
#include "FtpParse.h"
#include "FtpUrl.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QElapsedTimer>
#include <QFile>
#include <QPointer>
#include <QSaveFile>
#include <QTimer>

#include <functional>
#include <memory>

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
// A listing line is cut like a reply line. A listing as a whole stops at
// whichever limit it reaches first: hundreds of thousands of entries already
// cost hundreds of megabytes once parsed, and a server that sends more is
// broken or hostile.
constexpr int MaxListingLineLength = MaxReplyLineLength;
constexpr int MaxListingLines = 500000;
constexpr qint64 MaxListingBytes = 64 * 1024 * 1024;
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

// Whether reply begins with digit: how every step judges a reply ("1"
// preliminary, "2" done, "3" more needed, anything else failure).
inline bool ReplyBegins(const QString &reply, char digit)
{
    return !reply.isEmpty() && reply.at(0) == QLatin1Char(digit);
}

// Whether a command line is shown in the log as sent, or masked.
enum class CommandLog { Shown, Secret };

// Cuts a byte stream into lines: LF ends a line and a CR right before it is
// dropped; text that grows past maxLength without a line end is cut into
// lines of maxLength. Only bytes not searched before are searched, so a
// line that arrives in many pieces costs no more than one that arrives whole.
class TLineSplitter
{
public:
    explicit TLineSplitter(qsizetype maxLength) : maxLength(maxLength) {}

    // Adds bytes and hands each completed line to take, which returns false
    // to stop. Returns false when take stopped it; the splitter must then be
    // cleared before it is fed again.
    bool Feed(QByteArrayView bytes, const std::function<bool(const QByteArray &)> &take);
    // The text after the last line end, taken out.
    QByteArray TakeRest();
    void Clear();

private:
    qsizetype maxLength;
    QByteArray pending;
    qsizetype searched = 0; // pending[0, searched) holds no LF
};

enum class TransferKind { None, Listing, Download, Upload };

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
    TLineSplitter controlLines {MaxReplyLineLength};
    bool readerActive = false;
    bool multiLine = false;
    QByteArray multiLineCode;
    QString multiLineText;
    quint64 controlGeneration = 0; // bumped whenever the control socket is closed or reset

    // Time-out once connected: the server owes a reply, or a data
    // connection is under way, and nothing has moved for TimeOut seconds.
    QTimer progressTimer;
    QElapsedTimer lastProgress;
    bool awaitingReply = false;

    // Operation life cycle
    FtpOperation operation = FtpOperation::None;
    FtpError lastError = ftpeNone;
    bool failed = false;
    quint64 errorCount = 0;     // errors raised so far, for "did this item fail"
    bool listRunning = false;   // a list operation is running its items
    bool itemPending = false;   // released by the item's ready message
    bool itemRunning = false;   // the item has not ended yet
    QString itemName;           // what the running item is about, for its errors
    quint64 itemErrorMark = 0;

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

    // Data connections
    TVexSocket *dataSocket = nullptr;
    TVexSocket *listenSocket = nullptr;
    TReplyHandler dataContinuation;
    // Active mode: what runs when the server connects to the listening
    // socket, and whether it connected before the transfer was wired (some
    // servers connect as soon as they accept PORT).
    TSocketEvent activeOpened;
    bool acceptWaiting = false;

    // Transfers
    TransferKind transferKind = TransferKind::None;
    // An upload's source, a resumed download's target, or a device or pipe
    // written directly.
    QFile localFile;
    // A fresh download into a regular file: a file beside the target that
    // replaces it only once the transfer has succeeded.
    std::unique_ptr<QSaveFile> saveFile;
    QFileDevice *output = nullptr; // where a download's blocks go
    bool partialKept = false;      // the fresh download's target did not exist
    bool fileOpen = false;
    QByteArray transferBuffer; // TransferBufferSize bytes once the first transfer runs
    QString remoteFileName;
    QString localFileName;
    qint64 remoteSize = 0;
    qint64 restartOffset = 0;
    qint64 expectedSize = -1;  // a download's full size as the server gave it; -1 unknown
    qint64 uploadLocalSize = 0;
    qint64 bytesTransferred = 0;
    QElapsedTimer transferClock;
    qint64 elapsed = 0;
    bool dataDone = false;
    bool replyDone = false;
    bool uploadFailed = false;
    bool uploadWriting = false;   // the upload writer is running (it pumps events)
    bool storIssued = false;      // no data goes out before STOR has been sent
    bool uploadWriteWaiting = false;
    // The part of the transfer buffer read from the file but not yet taken
    // by the socket: sent first when the socket has room again.
    qsizetype unsentFrom = 0;
    qsizetype unsentTo = 0;

    // Listings
    TLineSplitter listingSplitter {MaxListingLineLength};
    TVexFtpFileInfoList files, directories, newFiles, newDirectories;
    TVexFtpListState listState;
    // The raw lines of the listing as they came (UTF-8), one after the
    // other, and where each ends: a large listing keeps one compact copy
    // of its text beside its entries, and ListingLines decodes on demand.
    QByteArray listingText;
    QList<qsizetype> listingLineEnds;
    int listingLineCount = 0;
    qint64 listingBytes = 0;
    bool listingCapped = false; // the client stopped a listing that grew too long
    bool dataCutShort = false;  // the client cut or lost the data early and said so
    bool fromCache = false;

    // List operations
    bool listAbandoned = false;
    int readyMessagesPending = 0;  // ready messages posted and not yet handled

    // Listeners
    TListenerGroup<TVexFtpErrorEvent> errorListeners;
    TListenerGroup<TVexFtpInfoEvent> infoListeners;
    TListenerGroup<TNotifyEvent> notifyListeners[LastNotifyKind + 1];

    // --- Events (Ftp.cpp) ---
    void RaiseInfo(FtpInfo info, const QString &text = QString());
    // An error without a text carries the engine's text for its code.
    void RaiseError(FtpError error, const QString &text = QString());
    void RaiseFatal(FtpError error, const QString &text = QString());
    void Notify(TVexFtpNotifyKind kind);
    QString Ask(TVexFtpInfoNeeded need, const QString &initial = QString());

    // --- Connection and replies (Ftp.cpp) ---
    void StartLogin(); // Login without ending a pending address connection
    void ConnectionAttempt();
    void DescribePeer(const QString &host);
    void DiscardControlSocket();
    bool CheckSocketError();
    bool IssueCommand(const QString &command, const TReplyHandler &handler, CommandLog log = CommandLog::Shown);
    void KickWatchdog();
    void WatchdogExpired();
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
    void IssueLoginCommand(const QString &command, const TReplyHandler &handler, CommandLog log = CommandLog::Shown);
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
    void StartRestartProbe();
    void HandleRestProbeReply(const QString &reply);
    void HandleRestZeroReply(const QString &reply);
    void DirectoryStep();
    void HandleInitialCwdReply(const QString &reply);
    void HandleLoginPwdReply(const QString &reply);
    void FinishLogin();

    // --- Data connections (FtpDataConnection.cpp) ---
    void InitDataSockets();
    void ShutdownDataSockets();
    void CloseDataConnection(); // the sockets and the local file
    void CloseDataSockets();
    void AcceptDataConnection();
    void DataConnectionStep(const QString &reply);
    void HandlePasvReply(const QString &reply);
    QString BuildPortArgument();
    void WireDataSocket(TSocketEvent reader, TSocketEvent writer, TSocketEvent closed, TSocketEvent opened);
    void UnwireDataSocket();
    void DataOpened();
    bool TransferInProgress() const;

    // --- Transfers and list operations (FtpTransfer.cpp) ---
    void BeginItem(TransferKind kind, const QString &remote, const QString &local);
    bool ItemFailed() const;
    QString ItemSubject() const;
    void FailStep(FtpError error, const QString &text);
    void RefuseStep(const QString &command, const QString &reply);
    void RefuseTransfer();
    void DataSideDone();
    void ReplySideDone();
    void FinishItem();
    bool FinishDownload();
    void EndItem();
    void SkipItem();
    void CloseLocalFile();
    void UpdateElapsed();
    char *TransferBuffer();
    void RunListOperation(FtpOperation operation, const QStringList &names, const std::function<void(int)> &startItem);
    void AbandonTransfers();
    bool UsableNames(const QString &remote, const QString &local);
    bool HasLineBreak(const QString &argument, FtpError error);
    QString TransferType() const;
    void EnsureTransferType(const QString &type, const TReplyHandler &step);
    // listing
    bool ServeListingFromCache();
    void StartListing();
    void ListStep(const QString &reply);
    void ReadListingData();
    bool TakeListingLine(const QByteArray &line);
    void ListingClosed();
    void HandleListReply(const QString &reply);
    void AcceptListingLine(const QByteArray &raw);
    void CompleteListing();
    // download
    void StartDownload(const QString &remote, const QString &local);
    bool OpenFreshOutput();
    void AskDownloadExists();
    void HandleDownloadSizeReply(const QString &reply);
    bool WireDownload(const QString &reply, const QString &step);
    void FreshRetrStep(const QString &reply);
    void ResumedRetrStep(const QString &reply);
    void HandleDownloadRestReply(const QString &reply);
    void IssueRetr();
    void HandleRetrReply(const QString &reply);
    void ReadDownloadData();
    void TransferClosed();
    // upload
    void StartUpload(const QString &local, const QString &remote);
    void UploadSizeStep();
    void HandleUploadSizeReply(const QString &reply);
    bool WireUpload(const QString &reply, const QString &step);
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
