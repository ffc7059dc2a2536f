#pragma once
// The quick explorer's FTP service: a small blocking API on libcurl with a
// session root, logged-in connections, a current folder per connection,
// folder listings as find records, remote files read or written block by
// block, single commands, and the text of the server's last reply.
//
//   auto session = TFtpSession::Open(QStringLiteral("agent"));
//   auto ftp = session->Connect({host, port, user, password, passive});
//   ftp->SetCurrentDirectory(QStringLiteral("pub"));
//   TFtpFindRecord record;
//   if (auto find = ftp->FindFirst(record))
//       do { ... record ... } while (find->Next(record));
//   auto file = ftp->OpenFile(QStringLiteral("a.bin"), TFtpAccess::Read, TFtpTransferMode::Binary);
//   while (file->Read(buffer, size, count, waitMs) == TFtpRead::Data) ...;
//   file->Close();
//
// Each connection keeps one control connection, logged in once and reused
// for every call. Every name that a call sends is made absolute from the
// folder the connection keeps (learned from the server's PWD), so a control
// connection that the server dropped and libcurl opened again lands in the
// same place. A connection may be used from several threads, one call at a
// time (each call holds the connection's lock); while one of its files is
// open every other call fails at once with TFtpError::TransferInProgress.
// Every wait is bounded: connect, reply and stall time-outs.

#include <QDateTime>
#include <QString>
#include <QtGlobal>

#include <memory>
#include <vector>

enum class TFtpAccess { Read, Write };

// Unknown moves bytes as they are, as Binary does.
enum class TFtpTransferMode { Unknown, Ascii, Binary };

enum class TFtpError {
    None,
    NoMoreFiles,         // a listing without entries, or past its last entry
    TransferInProgress,  // a file of the connection is open
    InvalidName,         // empty, or holding a line break or a NUL
    Closed,              // the connection was closed
    ServerRefused,       // the server answered with a failure: see LastResponse
    ConnectFailed,       // no control connection, or the login was refused
    TimedOut,            // connect, reply or stall time-out
    TooLarge,            // a listing beyond the bound kept in memory
    TransferFailed,      // any other failure of a transfer (cut off, protocol error)
};

// Attribute bits of a find record.
enum TFtpAttribute : quint32 {
    ftpaNormal = 0x01,     // a plain file
    ftpaDirectory = 0x10,  // the listing marks the entry as a folder
    ftpaLink = 0x20,       // a symbolic link (LinkTarget says where to)
};

struct TFtpFindRecord {
    quint32 Attributes = 0;
    // The clock fields of the listing as given (no zone conversion, kept in
    // UTC so that no daylight-saving rule moves them); invalid when the
    // listing gave none.
    QDateTime LastWriteTime;
    qint64 Size = 0;
    QString Name;
    // The text after "-> " for a symbolic link, empty otherwise.
    QString LinkTarget;
};

struct TFtpEndpoint {
    QString Host;
    quint16 Port = 21;
    QString User;
    QString Password;
    bool Passive = true;
};

// Seconds. Stall: a transfer that moves less than one byte per second for
// that long fails.
struct TFtpTimeouts {
    int ConnectSeconds = 30;
    int ReplySeconds = 60;
    int StallSeconds = 60;
};

// Bounds of what a listing may keep in memory.
struct TFtpListingLimits {
    qint64 MaxBytes = qint64(64) * 1024 * 1024;
    qint64 MaxLineBytes = 64 * 1024;
};

class TFtpConnection;
class TFtpFile;
class TFtpFind;

// The root of a set of connections. It keeps the last reply of a connect
// that failed (there is no connection to ask then).
class TFtpSession
{
public:
    // Null when libcurl cannot be initialised.
    static std::unique_ptr<TFtpSession> Open(const QString &agent);
    ~TFtpSession();
    TFtpSession(const TFtpSession &) = delete;
    TFtpSession &operator=(const TFtpSession &) = delete;

    QString Agent() const;
    // Connects and logs in. Null on failure; LastResponse() and LastError()
    // then tell why.
    std::unique_ptr<TFtpConnection> Connect(const TFtpEndpoint &endpoint,
                                            const TFtpTimeouts &timeouts = {});
    // False when no reply was received yet.
    bool LastResponse(QString &text) const;
    TFtpError LastError() const;
    QString ErrorText() const;

private:
    TFtpSession();
    struct Private;
    std::unique_ptr<Private> d;
};

class TFtpConnection
{
public:
    ~TFtpConnection();
    TFtpConnection(const TFtpConnection &) = delete;
    TFtpConnection &operator=(const TFtpConnection &) = delete;

    // A name relative to the current folder, "..", or an absolute folder.
    // On failure the current folder stays what it was.
    bool SetCurrentDirectory(const QString &name);
    // The folder as the server names it ("/" at the root).
    bool GetCurrentDirectory(QString &folder) const;

    // Lists the current folder. Null on failure and when the folder holds no
    // entry (LastError() is then NoMoreFiles); otherwise record holds the
    // first entry and the handle gives the others.
    std::unique_ptr<TFtpFind> FindFirst(TFtpFindRecord &record);

    // Null when the server refuses the file; for reading, the server has
    // accepted RETR when this returns, for writing, STOR.
    std::unique_ptr<TFtpFile> OpenFile(const QString &name, TFtpAccess access, TFtpTransferMode mode);

    bool CreateDirectory(const QString &name);
    bool RemoveDirectory(const QString &name);
    bool DeleteFile(const QString &name);
    bool RenameFile(const QString &oldName, const QString &newName);

    // Sends QUIT when idle, ends any open transfer and frees the control
    // connection. Every later call fails with TFtpError::Closed.
    void Close();
    bool IsClosed() const;

    // The whole last reply (every line of a multi-line reply, joined with
    // CR LF); false before any reply.
    bool LastResponse(QString &text) const;
    TFtpError LastError() const;
    // What went wrong, for logs (libcurl's words); empty after a success.
    QString ErrorText() const;

    void SetListingLimits(const TFtpListingLimits &limits);

    struct Core;

private:
    friend class TFtpSession;
    explicit TFtpConnection(std::shared_ptr<Core> core);
    std::shared_ptr<Core> core;
};

enum class TFtpRead {
    Data,     // count bytes were stored
    End,      // the whole file was received and the server confirmed it
    Waiting,  // nothing arrived within the wait: call again
    Failed,   // cut off, refused, timed out or closed: the file is incomplete
};

enum class TFtpWrite {
    Done,     // every byte was taken
    Waiting,  // only accepted bytes were taken within the wait: give the rest again
    Failed,
};

class TFtpFile
{
public:
    // Abort() unless closed.
    ~TFtpFile();
    TFtpFile(const TFtpFile &) = delete;
    TFtpFile &operator=(const TFtpFile &) = delete;

    // waitMs < 0 waits until something happens (bounded by the time-outs).
    TFtpRead Read(char *buffer, qint64 capacity, qint64 &count, int waitMs = -1);
    TFtpWrite Write(const char *data, qint64 size, qint64 &accepted, int waitMs = -1);
    // Writing: ends the file and waits for the server's verdict. Reading:
    // true when the whole file was received; a file read only in part is
    // abandoned and gives false.
    bool Close();
    // Abandons the transfer where it stands (the control connection goes
    // with it: the next call logs in again). A file destroyed without
    // Close() is abandoned too, so that an upload cut short on our side is
    // never completed as if whole.
    void Abort();

private:
    friend class TFtpConnection;
    explicit TFtpFile(std::shared_ptr<TFtpConnection::Core> core);
    std::shared_ptr<TFtpConnection::Core> core;
    bool closed = false;
    bool result = false;
};

// The entries of one listing, read in full by FindFirst.
class TFtpFind
{
public:
    ~TFtpFind();
    // False at the end (LastError() NoMoreFiles).
    bool Next(TFtpFindRecord &record);
    TFtpError LastError() const;

private:
    friend class TFtpConnection;
    explicit TFtpFind(std::vector<TFtpFindRecord> records);
    std::vector<TFtpFindRecord> records;
    size_t next = 1;
    TFtpError error = TFtpError::None;
};

// "/pub" + "a" = "/pub/a", "/" + "a" = "/a", an absolute name stays itself.
QString JoinFtpPath(const QString &folder, const QString &name);
// Resolves "." and ".." and doubled "/" of an absolute path ("/" at most).
QString NormalizeFtpPath(const QString &path);
// The folder in a 257 reply ('257 "/a ""b"""' -> '/a "b"'), empty when none.
QString FolderFromPwdReply(const QString &reply);
// The part after the last "/" or "\".
QString FtpFileNamePart(const QString &name);
// One line of a LIST reply as a find record (false for lines that are no
// entry, such as "total 12").
bool ParseFindRecord(const QString &line, TFtpFindRecord &record);
