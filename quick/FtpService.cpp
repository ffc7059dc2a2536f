// The quick explorer's FTP service on libcurl: one easy handle and one multi
// handle per connection (the multi handle's connection cache keeps the
// logged-in control connection between calls), driven on the caller's thread.
// Transfers stream through curl's pause and unpause: at most one block of
// the caller and one chunk of curl are ever held.
#include "FtpService.h"

#include "FtpData.h"
#include "FtpParse.h"

#include <QByteArrayList>
#include <QDeadlineTimer>
#include <QMutex>
#include <QMutexLocker>
#include <QUrl>

#include <curl/curl.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <functional>
#include <mutex>

namespace {

// curl's receive and send buffers: large blocks keep the per-call cost of
// the pause/unpause hand-over small next to the copy itself.
constexpr long CurlBufferBytes = 256 * 1024;
constexpr long CurlUploadBufferBytes = 2 * 1024 * 1024 - 1;  // curl's upper bound is 2 MB
// A reply longer than this keeps its first part (a server is untrusted).
constexpr qsizetype MaxReplyBytes = 64 * 1024;
// Replies of one request kept for judging its commands; older ones go.
constexpr size_t MaxRepliesKept = 64;
// The control connection stays usable as long as the server keeps it.
constexpr long KeepConnectionSeconds = 24 * 3600;
// QUIT at close waits at most this long for the server's goodbye.
constexpr int QuitReplySeconds = 5;
// One wait of the drive loop; curl's own timers shorten it.
constexpr int PollSliceMs = 1000;

// libcurl's process-wide set-up, once; false when it failed.
bool GlobalInit()
{
    static std::once_flag once;
    static CURLcode result = CURLE_OK;
    std::call_once(once, [] { result = curl_global_init(CURL_GLOBAL_DEFAULT); });
    return result == CURLE_OK;
}

bool ValidName(const QString &name)
{
    if (name.isEmpty())
        return false;
    for (const QChar c : name)
        if (c == QLatin1Char('\r') || c == QLatin1Char('\n') || c == QChar(0))
            return false;
    return true;
}

// The path part of an FTP URL for an absolute path, each segment encoded;
// the leading "%2F" makes curl send the path as absolute. Folders end in "/".
QByteArray UrlPath(const QString &absolutePath, bool folder)
{
    QByteArray url = "%2F";
    const QStringList segments = absolutePath.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    for (qsizetype i = 0; i < segments.size(); ++i) {
        if (i > 0)
            url += '/';
        url += QUrl::toPercentEncoding(segments.at(i));
    }
    if (folder && !segments.isEmpty())
        url += '/';
    return url;
}

// The three-digit code that opens a reply line, or an empty view.
QByteArray ReplyCode(const QByteArray &line)
{
    if (line.size() < 3)
        return {};
    for (int i = 0; i < 3; ++i)
        if (line.at(i) < '0' || line.at(i) > '9')
            return {};
    return line.left(3);
}

TFtpError ErrorOf(CURLcode code)
{
    switch (code) {
    case CURLE_OK:
        return TFtpError::None;
    case CURLE_COULDNT_RESOLVE_HOST:
    case CURLE_COULDNT_CONNECT:
    case CURLE_LOGIN_DENIED:
    case CURLE_UNSUPPORTED_PROTOCOL:
    case CURLE_URL_MALFORMAT:
        return TFtpError::ConnectFailed;
    case CURLE_OPERATION_TIMEDOUT:
    case CURLE_FTP_ACCEPT_TIMEOUT:
        return TFtpError::TimedOut;
    case CURLE_REMOTE_FILE_NOT_FOUND:
    case CURLE_REMOTE_ACCESS_DENIED:
    case CURLE_FTP_COULDNT_RETR_FILE:
    case CURLE_UPLOAD_FAILED:
    case CURLE_QUOTE_ERROR:
    case CURLE_FTP_COULDNT_SET_TYPE:
        return TFtpError::ServerRefused;
    default:
        return TFtpError::TransferFailed;
    }
}

} // namespace

// ---------------------------------------------------------------------------
// Helpers

QString JoinFtpPath(const QString &folder, const QString &name)
{
    if (name.startsWith(QLatin1Char('/')))
        return name;
    if (folder.isEmpty() || folder == QLatin1String("/"))
        return QLatin1Char('/') + name;
    return folder.endsWith(QLatin1Char('/')) ? folder + name : folder + QLatin1Char('/') + name;
}

QString NormalizeFtpPath(const QString &path)
{
    QStringList kept;
    for (const QString &segment : path.split(QLatin1Char('/'), Qt::SkipEmptyParts)) {
        if (segment == QLatin1String("."))
            continue;
        if (segment == QLatin1String("..")) {
            if (!kept.isEmpty())
                kept.removeLast();
            continue;
        }
        kept.append(segment);
    }
    return QLatin1Char('/') + kept.join(QLatin1Char('/'));
}

QString FolderFromPwdReply(const QString &reply)
{
    const qsizetype open = reply.indexOf(QLatin1Char('"'));
    if (!reply.startsWith(QLatin1String("257")) || open < 0)
        return {};
    QString folder;
    for (qsizetype i = open + 1; i < reply.size(); ++i) {
        const QChar c = reply.at(i);
        if (c == QLatin1Char('"')) {
            if (i + 1 < reply.size() && reply.at(i + 1) == QLatin1Char('"')) {
                folder += c;
                ++i;
                continue;
            }
            return folder;
        }
        if (c == QLatin1Char('\r') || c == QLatin1Char('\n'))
            break;
        folder += c;
    }
    return {};
}

QString FtpFileNamePart(const QString &name)
{
    const qsizetype slash = std::max(name.lastIndexOf(QLatin1Char('/')), name.lastIndexOf(QLatin1Char('\\')));
    return slash < 0 ? name : name.mid(slash + 1);
}

bool ParseFindRecord(const QString &line, TFtpFindRecord &record)
{
    record = TFtpFindRecord();
    TVexFtpListState state;
    VexFtpFileInfo entry;
    bool isDirectory = false;
    if (!ParseListLine(ftpstUNIX, line, state, entry, isDirectory) || entry.FileName.isEmpty())
        return false;
    record.Name = entry.FileName;
    record.Attributes = isDirectory ? ftpaDirectory : ftpaNormal;
    if (!entry.SymbolLink.isEmpty()) {
        QString target = entry.SymbolLink;
        if (target.startsWith(QLatin1String("->")))
            target = target.mid(2);
        record.LinkTarget = target.trimmed();
        if (!record.LinkTarget.isEmpty())
            record.Attributes |= ftpaLink;
    }
    bool sized = false;
    record.Size = entry.Size.toLongLong(&sized);
    if (!sized || record.Size < 0)
        record.Size = 0;
    // The listing's date as "yyyymmddhhmm", whatever form the dialect gave.
    const QString key = DateSortKey(entry.DateTime);
    const QDate date(key.left(4).toInt(), key.mid(4, 2).toInt(), key.mid(6, 2).toInt());
    const QTime time(key.mid(8, 2).toInt(), key.mid(10, 2).toInt());
    if (date.isValid())
        record.LastWriteTime = QDateTime(date, time.isValid() ? time : QTime(0, 0), Qt::UTC);
    return true;
}

// ---------------------------------------------------------------------------
// The connection's state, shared with its open file

struct TFtpConnection::Core {
    enum class Mode { Idle, Command, Listing, Download, Upload };

    ~Core() { FreeHandles(); }

    // One call at a time on the curl handles.
    QMutex lock;
    // The folder, the replies and the error: readable while a call runs.
    mutable QMutex stateLock;
    std::atomic<bool> transferOpen{false};
    std::atomic<bool> closed{false};

    CURLM *multi = nullptr;
    CURL *easy = nullptr;
    QByteArray baseUrl;
    quint16 controlPort = 0;
    // The control connection's socket, to see whether the server has
    // closed it (or announced that it will) since the last call.
    std::atomic<curl_socket_t> controlSocket{CURL_SOCKET_BAD};
    TFtpTimeouts timeouts;
    TFtpListingLimits limits;
    char curlError[CURL_ERROR_SIZE] = {};

    // Guarded by stateLock.
    QString folder = QStringLiteral("/");
    QByteArray lastReply;
    bool haveReply = false;
    TFtpError lastError = TFtpError::None;
    QString errorText;

    // The reply being gathered, the command it answers, and the replies of
    // the running request with their commands. curl may send commands of
    // its own within a request (the login on a new connection, QUIT to an
    // old one it closes): each reply is paired with the command before it.
    QByteArray partialReply;
    QByteArray partialCode;
    QByteArray lastCommand;
    struct Answer {
        QByteArray command;
        QByteArray reply;
    };
    std::vector<Answer> replies;

    // The running request.
    Mode mode = Mode::Idle;
    bool inMulti = false;
    bool done = false;
    CURLcode result = CURLE_OK;
    // Whether the last request ended well: only then may the control
    // connection still be there for a QUIT.
    bool lastRequestOk = false;
    bool preliminary = false;  // a 1xx reply: the server accepted RETR or STOR

    // Listing.
    QByteArray listLine;
    bool listLineTooLong = false;
    qint64 listBytes = 0;
    bool listTooLarge = false;
    std::vector<TFtpFindRecord> listRecords;

    // Download: the caller's buffer, then one chunk of curl at most.
    char *dest = nullptr;
    qint64 destCapacity = 0;
    qint64 destCount = 0;
    QByteArray spill;
    qsizetype spillPos = 0;
    bool recvPaused = false;

    // Upload: the caller's bytes not yet taken by curl.
    const char *src = nullptr;
    qint64 srcLeft = 0;
    bool srcEnd = false;
    bool sendPaused = false;
    bool abortSend = false;

    // The spill's storage is kept from chunk to chunk.
    void Spill(const char *data, qint64 size)
    {
        spill.resize(size);
        std::memcpy(spill.data(), data, size_t(size));
        spillPos = 0;
    }

    bool Create(const TFtpEndpoint &endpoint, const TFtpTimeouts &limits);
    void FreeHandles();

    void SetError(TFtpError error, const QString &text = {})
    {
        QMutexLocker locker(&stateLock);
        lastError = error;
        errorText = text;
    }
    void SetCurlError(CURLcode code)
    {
        TFtpError error = ErrorOf(code);
        if (mode == Mode::Listing && listTooLarge)
            error = TFtpError::TooLarge;
        SetError(error, QString::fromUtf8(curlError[0] ? curlError : curl_easy_strerror(code)));
    }
    QString Folder() const
    {
        QMutexLocker locker(&stateLock);
        return folder;
    }
    void SetFolder(const QString &path)
    {
        QMutexLocker locker(&stateLock);
        folder = path;
    }
    void SetLastReply(const QByteArray &reply)
    {
        QMutexLocker locker(&stateLock);
        lastReply = reply;
        haveReply = true;
    }

    void Begin(Mode requestMode);
    void Drive(const std::function<bool()> &satisfied, int waitMs);
    CURLcode RunToEnd();
    void Finish();
    bool RunCommands(const QByteArrayList &commands, std::vector<QByteArray> &answers, int replySeconds = 0);
    void ReplyLine(QByteArray line);
    void ListingData(const char *data, size_t size);
    void ListingLine(const QByteArray &line);

    bool ControlConnectionDropped() const;
    static curl_socket_t OnOpenSocket(void *user, curlsocktype purpose, curl_sockaddr *address);
    static int OnCloseSocket(void *user, curl_socket_t socket);
    static int OnDebug(CURL *handle, curl_infotype type, char *data, size_t size, void *user);
    static size_t OnHeader(char *data, size_t size, size_t count, void *user);
    static size_t OnData(char *data, size_t size, size_t count, void *user);
    static size_t OnSend(char *buffer, size_t size, size_t count, void *user);
};

bool TFtpConnection::Core::Create(const TFtpEndpoint &endpoint, const TFtpTimeouts &limits)
{
    timeouts = limits;
    multi = curl_multi_init();
    easy = curl_easy_init();
    if (!multi || !easy)
        return false;
    const QString host = endpoint.Host.contains(QLatin1Char(':')) ? QLatin1Char('[') + endpoint.Host + QLatin1Char(']') : endpoint.Host;
    baseUrl = "ftp://" + QUrl::toPercentEncoding(host, "[]:") + ':' + QByteArray::number(endpoint.Port) + '/';
    controlPort = endpoint.Port;
    // At most the one control connection stays cached: a connection opened
    // anew replaces the one the server dropped.
    curl_multi_setopt(multi, CURLMOPT_MAXCONNECTS, 1L);

    CURL *e = easy;
    curl_easy_setopt(e, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(e, CURLOPT_PROTOCOLS_STR, "ftp");
    curl_easy_setopt(e, CURLOPT_ERRORBUFFER, curlError);
    curl_easy_setopt(e, CURLOPT_USERNAME, endpoint.User.toUtf8().constData());
    curl_easy_setopt(e, CURLOPT_PASSWORD, endpoint.Password.toUtf8().constData());
    // Every path is sent whole: curl never changes the server's folder.
    curl_easy_setopt(e, CURLOPT_FTP_FILEMETHOD, long(CURLFTPMETHOD_NOCWD));
    curl_easy_setopt(e, CURLOPT_FTP_USE_EPSV, 0L);
    curl_easy_setopt(e, CURLOPT_FTP_USE_EPRT, 0L);
    curl_easy_setopt(e, CURLOPT_FTP_SKIP_PASV_IP, 1L);
    // Active mode listens on the address of the control connection.
    curl_easy_setopt(e, CURLOPT_FTPPORT, endpoint.Passive ? nullptr : "-");
    curl_easy_setopt(e, CURLOPT_CONNECTTIMEOUT, long(timeouts.ConnectSeconds));
    curl_easy_setopt(e, CURLOPT_SERVER_RESPONSE_TIMEOUT, long(timeouts.ReplySeconds));
    curl_easy_setopt(e, CURLOPT_ACCEPTTIMEOUT_MS, long(timeouts.ReplySeconds) * 1000L);
    curl_easy_setopt(e, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(e, CURLOPT_LOW_SPEED_TIME, long(timeouts.StallSeconds));
    curl_easy_setopt(e, CURLOPT_MAXAGE_CONN, KeepConnectionSeconds);
    curl_easy_setopt(e, CURLOPT_TCP_KEEPALIVE, 1L);
    curl_easy_setopt(e, CURLOPT_BUFFERSIZE, CurlBufferBytes);
    curl_easy_setopt(e, CURLOPT_UPLOAD_BUFFERSIZE, CurlUploadBufferBytes);
    curl_easy_setopt(e, CURLOPT_OPENSOCKETFUNCTION, &Core::OnOpenSocket);
    curl_easy_setopt(e, CURLOPT_OPENSOCKETDATA, this);
    curl_easy_setopt(e, CURLOPT_CLOSESOCKETFUNCTION, &Core::OnCloseSocket);
    curl_easy_setopt(e, CURLOPT_CLOSESOCKETDATA, this);
    // The commands curl sends reach the debug function only, which curl
    // calls only when verbose.
    curl_easy_setopt(e, CURLOPT_DEBUGFUNCTION, &Core::OnDebug);
    curl_easy_setopt(e, CURLOPT_DEBUGDATA, this);
    curl_easy_setopt(e, CURLOPT_VERBOSE, 1L);
    curl_easy_setopt(e, CURLOPT_HEADERFUNCTION, &Core::OnHeader);
    curl_easy_setopt(e, CURLOPT_HEADERDATA, this);
    curl_easy_setopt(e, CURLOPT_WRITEFUNCTION, &Core::OnData);
    curl_easy_setopt(e, CURLOPT_WRITEDATA, this);
    curl_easy_setopt(e, CURLOPT_READFUNCTION, &Core::OnSend);
    curl_easy_setopt(e, CURLOPT_READDATA, this);
    return true;
}

void TFtpConnection::Core::FreeHandles()
{
    if (easy && multi && inMulti)
        curl_multi_remove_handle(multi, easy);
    inMulti = false;
    if (easy)
        curl_easy_cleanup(easy);
    easy = nullptr;
    // Closes the cached control connection (QUIT, when it is still good).
    if (multi)
        curl_multi_cleanup(multi);
    multi = nullptr;
}

void TFtpConnection::Core::Begin(Mode requestMode)
{
    mode = requestMode;
    done = false;
    result = CURLE_OK;
    preliminary = false;
    curlError[0] = 0;
    replies.clear();
    lastCommand.clear();
    partialReply.clear();
    partialCode.clear();
    listLine.clear();
    listLineTooLong = false;
    listBytes = 0;
    listTooLarge = false;
    listRecords.clear();
    dest = nullptr;
    destCapacity = destCount = 0;
    spill.clear();
    spillPos = 0;
    recvPaused = false;
    src = nullptr;
    srcLeft = 0;
    srcEnd = false;
    sendPaused = false;
    abortSend = false;
    // curl looks for dropped connections at most once a second; a server
    // that has just closed the control connection (an idle time-out, "421")
    // would otherwise get this request on the dead one.
    curl_easy_setopt(easy, CURLOPT_FRESH_CONNECT, ControlConnectionDropped() ? 1L : 0L);
    if (curl_multi_add_handle(multi, easy) == CURLM_OK) {
        inMulti = true;
    } else {
        done = true;
        result = CURLE_FAILED_INIT;
    }
}

void TFtpConnection::Core::Drive(const std::function<bool()> &satisfied, int waitMs)
{
    const QDeadlineTimer deadline = waitMs < 0 ? QDeadlineTimer(QDeadlineTimer::Forever) : QDeadlineTimer(waitMs);
    for (;;) {
        if (done || satisfied())
            return;
        int running = 0;
        if (curl_multi_perform(multi, &running) != CURLM_OK) {
            done = true;
            result = CURLE_FAILED_INIT;
            return;
        }
        int left = 0;
        while (CURLMsg *message = curl_multi_info_read(multi, &left)) {
            if (message->msg == CURLMSG_DONE && message->easy_handle == easy) {
                done = true;
                result = message->data.result;
            }
        }
        if (done || satisfied() || deadline.hasExpired())
            return;
        const qint64 remaining = deadline.isForever() ? PollSliceMs : std::min<qint64>(deadline.remainingTime(), PollSliceMs);
        curl_multi_poll(multi, nullptr, 0, int(std::max<qint64>(remaining, 0)), nullptr);
    }
}

CURLcode TFtpConnection::Core::RunToEnd()
{
    Drive([] { return false; }, -1);
    Finish();
    return result;
}

void TFtpConnection::Core::Finish()
{
    lastRequestOk = done && result == CURLE_OK;
    if (inMulti)
        curl_multi_remove_handle(multi, easy);
    inMulti = false;
    mode = Mode::Idle;
}

// Sends each command with "*", so that a refusal does not make curl drop the
// control connection, and hands back the reply of each one.
bool TFtpConnection::Core::RunCommands(const QByteArrayList &commands, std::vector<QByteArray> &answers, int replySeconds)
{
    answers.clear();
    curl_slist *list = nullptr;
    for (const QByteArray &command : commands)
        list = curl_slist_append(list, QByteArray('*' + command).constData());
    curl_easy_setopt(easy, CURLOPT_URL, baseUrl.constData());
    curl_easy_setopt(easy, CURLOPT_UPLOAD, 0L);
    curl_easy_setopt(easy, CURLOPT_NOBODY, 1L);
    curl_easy_setopt(easy, CURLOPT_TRANSFERTEXT, 0L);
    curl_easy_setopt(easy, CURLOPT_QUOTE, list);
    if (replySeconds > 0)
        curl_easy_setopt(easy, CURLOPT_SERVER_RESPONSE_TIMEOUT, long(replySeconds));
    Begin(Mode::Command);
    const CURLcode code = RunToEnd();
    curl_easy_setopt(easy, CURLOPT_QUOTE, nullptr);
    curl_easy_setopt(easy, CURLOPT_NOBODY, 0L);
    if (replySeconds > 0)
        curl_easy_setopt(easy, CURLOPT_SERVER_RESPONSE_TIMEOUT, long(timeouts.ReplySeconds));
    curl_slist_free_all(list);
    if (code != CURLE_OK) {
        SetCurlError(code);
        return false;
    }
    // The reply to each command, the last one for each going backwards (a
    // fresh connection's login PWD comes before a PWD of ours).
    answers.assign(size_t(commands.size()), QByteArray());
    size_t before = replies.size();
    for (qsizetype i = commands.size() - 1; i >= 0; --i) {
        while (before > 0 && replies[before - 1].command != commands.at(i))
            --before;
        if (before == 0) {
            SetError(TFtpError::TransferFailed, QStringLiteral("missing reply"));
            return false;
        }
        answers[size_t(i)] = replies[--before].reply;
    }
    // The last reply that counts is the last command's, not the goodbye of
    // an old connection that curl closed on the way.
    if (!answers.empty() && commands.back() != "QUIT")
        SetLastReply(answers.back());
    return true;
}

void TFtpConnection::Core::ReplyLine(QByteArray line)
{
    while (line.endsWith('\n') || line.endsWith('\r'))
        line.chop(1);
    const QByteArray code = ReplyCode(line);
    bool complete = false;
    if (partialCode.isEmpty()) {
        if (code.isEmpty())
            return;  // not a reply line (curl's own header texts)
        partialReply = line.left(MaxReplyBytes);
        if (line.size() > 3 && line.at(3) == '-')
            partialCode = code;
        else
            complete = true;
    } else {
        if (partialReply.size() < MaxReplyBytes)
            partialReply += QByteArray("\r\n" + line).left(MaxReplyBytes - partialReply.size());
        complete = code == partialCode && (line.size() == 3 || line.at(3) == ' ');
    }
    if (!complete)
        return;
    partialCode.clear();
    if (replies.size() >= MaxRepliesKept)
        replies.erase(replies.begin());
    const bool toQuit = lastCommand == "QUIT";
    replies.push_back({lastCommand, partialReply});
    if ((mode == Mode::Download || mode == Mode::Upload) && partialReply.startsWith('1'))
        preliminary = true;
    // What a server says to a QUIT (ours at close, or curl's to a connection
    // it drops) is no answer to anything the user asked.
    if (!toQuit)
        SetLastReply(partialReply);
    partialReply.clear();
}

void TFtpConnection::Core::ListingLine(const QByteArray &line)
{
    QByteArray text = line;
    if (text.endsWith('\r'))
        text.chop(1);
    if (text.isEmpty())
        return;
    TFtpFindRecord record;
    if (ParseFindRecord(QString::fromUtf8(text), record))
        listRecords.push_back(std::move(record));
}

void TFtpConnection::Core::ListingData(const char *data, size_t size)
{
    listBytes += qint64(size);
    if (listBytes > limits.MaxBytes) {
        listTooLarge = true;
        return;
    }
    const char *end = data + size;
    while (data < end) {
        const char *newline = static_cast<const char *>(std::memchr(data, '\n', size_t(end - data)));
        const char *stop = newline ? newline : end;
        // A line beyond the bound is no entry of any dialect: it is skipped.
        if (!listLineTooLong) {
            const qint64 room = limits.MaxLineBytes - listLine.size();
            if (stop - data > room)
                listLineTooLong = true;
            else
                listLine.append(data, stop - data);
        }
        if (!newline)
            break;
        if (!listLineTooLong)
            ListingLine(listLine);
        listLine.clear();
        listLineTooLong = false;
        data = newline + 1;
    }
}

bool TFtpConnection::Core::ControlConnectionDropped() const
{
    const curl_socket_t socket = controlSocket.load();
    if (socket == CURL_SOCKET_BAD)
        return false;
    // Between requests the server has nothing to say: anything readable is
    // its goodbye or the end of the connection.
    pollfd waiting{socket, POLLIN, 0};
    return ::poll(&waiting, 1, 0) > 0;
}

curl_socket_t TFtpConnection::Core::OnOpenSocket(void *user, curlsocktype purpose, curl_sockaddr *address)
{
    auto *core = static_cast<Core *>(user);
    const curl_socket_t socket = ::socket(address->family, address->socktype | SOCK_CLOEXEC, address->protocol);
    if (socket == CURL_SOCKET_BAD || purpose != CURLSOCKTYPE_IPCXN)
        return socket;
    // Connections to the server's own port are control connections; data
    // connections go to the port that PASV names.
    quint16 port = 0;
    if (address->family == AF_INET)
        port = ntohs(reinterpret_cast<const sockaddr_in *>(&address->addr)->sin_port);
    else if (address->family == AF_INET6)
        port = ntohs(reinterpret_cast<const sockaddr_in6 *>(&address->addr)->sin6_port);
    if (port == core->controlPort)
        core->controlSocket = socket;
    return socket;
}

int TFtpConnection::Core::OnCloseSocket(void *user, curl_socket_t socket)
{
    auto *core = static_cast<Core *>(user);
    curl_socket_t expected = socket;
    core->controlSocket.compare_exchange_strong(expected, CURL_SOCKET_BAD);
    return ::close(socket);
}

int TFtpConnection::Core::OnDebug(CURL *, curl_infotype type, char *data, size_t size, void *user)
{
    if (type != CURLINFO_HEADER_OUT)
        return 0;
    auto *core = static_cast<Core *>(user);
    QByteArray command(data, qsizetype(std::min<size_t>(size, size_t(MaxReplyBytes))));
    while (command.endsWith('\n') || command.endsWith('\r'))
        command.chop(1);
    core->lastCommand = command;
    return 0;
}

size_t TFtpConnection::Core::OnHeader(char *data, size_t size, size_t count, void *user)
{
    auto *core = static_cast<Core *>(user);
    core->ReplyLine(QByteArray(data, qsizetype(size * count)));
    return size * count;
}

size_t TFtpConnection::Core::OnData(char *data, size_t size, size_t count, void *user)
{
    auto *core = static_cast<Core *>(user);
    const size_t bytes = size * count;
    if (core->mode == Mode::Listing) {
        core->ListingData(data, bytes);
        return core->listTooLarge ? CURL_WRITEFUNC_ERROR : bytes;
    }
    if (core->mode != Mode::Download)
        return CURL_WRITEFUNC_ERROR;
    if (core->dest && core->destCount < core->destCapacity) {
        const qint64 taken = std::min<qint64>(qint64(bytes), core->destCapacity - core->destCount);
        std::memcpy(core->dest + core->destCount, data, size_t(taken));
        core->destCount += taken;
        if (taken < qint64(bytes)) {
            core->Spill(data + taken, qint64(bytes) - taken);
        }
        return bytes;
    }
    if (core->spillPos >= core->spill.size()) {
        core->Spill(data, qint64(bytes));
        return bytes;
    }
    // Both the caller's block and the spill are full: curl keeps this chunk
    // and stops reading the data connection until the next Read.
    core->recvPaused = true;
    return CURL_WRITEFUNC_PAUSE;
}

size_t TFtpConnection::Core::OnSend(char *buffer, size_t size, size_t count, void *user)
{
    auto *core = static_cast<Core *>(user);
    if (core->abortSend || core->mode != Mode::Upload)
        return CURL_READFUNC_ABORT;
    if (core->srcLeft > 0) {
        const qint64 taken = std::min<qint64>(core->srcLeft, qint64(size * count));
        std::memcpy(buffer, core->src, size_t(taken));
        core->src += taken;
        core->srcLeft -= taken;
        return size_t(taken);
    }
    if (core->srcEnd)
        return 0;
    core->sendPaused = true;
    return CURL_READFUNC_PAUSE;
}

// ---------------------------------------------------------------------------
// A call on the connection: refused at once while a file is open or after
// Close, otherwise holding the connection's lock to its end.

namespace {

class Call
{
public:
    explicit Call(TFtpConnection::Core &core) : core(core)
    {
        if (Refused())
            return;
        core.lock.lock();
        locked = true;
        if (Refused()) {
            core.lock.unlock();
            locked = false;
            return;
        }
        core.SetError(TFtpError::None);
    }
    ~Call()
    {
        if (locked)
            core.lock.unlock();
    }
    Call(const Call &) = delete;
    Call &operator=(const Call &) = delete;
    explicit operator bool() const { return locked; }

private:
    bool Refused()
    {
        if (core.closed.load()) {
            core.SetError(TFtpError::Closed, QStringLiteral("connection closed"));
            return true;
        }
        if (core.transferOpen.load()) {
            core.SetError(TFtpError::TransferInProgress, QStringLiteral("a file of this connection is open"));
            return true;
        }
        return false;
    }
    TFtpConnection::Core &core;
    bool locked = false;
};

} // namespace

// ---------------------------------------------------------------------------
// Session

struct TFtpSession::Private {
    QString agent;
    mutable QMutex lock;
    QByteArray lastReply;
    bool haveReply = false;
    TFtpError lastError = TFtpError::None;
    QString errorText;
};

TFtpSession::TFtpSession() : d(std::make_unique<Private>()) {}
TFtpSession::~TFtpSession() = default;

std::unique_ptr<TFtpSession> TFtpSession::Open(const QString &agent)
{
    if (!GlobalInit() || !curl_version_info(CURLVERSION_NOW))
        return nullptr;
    std::unique_ptr<TFtpSession> session(new TFtpSession);
    session->d->agent = agent;
    return session;
}

QString TFtpSession::Agent() const
{
    return d->agent;
}

std::unique_ptr<TFtpConnection> TFtpSession::Connect(const TFtpEndpoint &endpoint, const TFtpTimeouts &timeouts)
{
    auto core = std::make_shared<TFtpConnection::Core>();
    const auto fail = [&](TFtpError error, const QString &text) {
        QMutexLocker locker(&d->lock);
        d->lastError = error;
        d->errorText = text;
        QMutexLocker stateLocker(&core->stateLock);
        if (core->haveReply) {
            d->lastReply = core->lastReply;
            d->haveReply = true;
        }
        return nullptr;
    };
    if (endpoint.Host.isEmpty() || !ValidName(endpoint.Host) || !ValidName(endpoint.User.isEmpty() ? QStringLiteral("x") : endpoint.User)
        || (!endpoint.Password.isEmpty() && !ValidName(endpoint.Password)))
        return fail(TFtpError::InvalidName, QStringLiteral("invalid host, user or password"));
    if (!core->Create(endpoint, timeouts))
        return fail(TFtpError::ConnectFailed, QStringLiteral("libcurl could not start"));

    // A request without body and without commands: the login alone (curl
    // asks PWD after it, which gives the first folder).
    std::vector<QByteArray> none;
    if (!core->RunCommands({}, none)) {
        TFtpError error;
        QString text;
        {
            QMutexLocker locker(&core->stateLock);
            error = core->lastError == TFtpError::TransferFailed ? TFtpError::ConnectFailed : core->lastError;
            text = core->errorText;
        }
        return fail(error, text);
    }
    const char *entry = nullptr;
    curl_easy_getinfo(core->easy, CURLINFO_FTP_ENTRY_PATH, &entry);
    const QString folder = entry ? QString::fromUtf8(entry) : QString();
    core->SetFolder(folder.startsWith(QLatin1Char('/')) ? folder : QStringLiteral("/"));
    {
        QMutexLocker locker(&d->lock);
        d->lastError = TFtpError::None;
        d->errorText.clear();
        QMutexLocker stateLocker(&core->stateLock);
        d->lastReply = core->lastReply;
        d->haveReply = core->haveReply;
    }
    return std::unique_ptr<TFtpConnection>(new TFtpConnection(core));
}

bool TFtpSession::LastResponse(QString &text) const
{
    QMutexLocker locker(&d->lock);
    if (!d->haveReply)
        return false;
    text = QString::fromUtf8(d->lastReply);
    return true;
}

TFtpError TFtpSession::LastError() const
{
    QMutexLocker locker(&d->lock);
    return d->lastError;
}

QString TFtpSession::ErrorText() const
{
    QMutexLocker locker(&d->lock);
    return d->errorText;
}

// ---------------------------------------------------------------------------
// Connection

TFtpConnection::TFtpConnection(std::shared_ptr<Core> core) : core(std::move(core)) {}

TFtpConnection::~TFtpConnection()
{
    Close();
}

bool TFtpConnection::SetCurrentDirectory(const QString &name)
{
    Call call(*core);
    if (!call)
        return false;
    if (!ValidName(name)) {
        core->SetError(TFtpError::InvalidName, QStringLiteral("invalid folder name"));
        return false;
    }
    const QString target = JoinFtpPath(core->Folder(), name);
    std::vector<QByteArray> answers;
    if (!core->RunCommands({"CWD " + target.toUtf8(), "PWD"}, answers))
        return false;
    // The last reply that counts is the answer to CWD.
    core->SetLastReply(answers.at(0));
    if (!answers.at(0).startsWith('2')) {
        core->SetError(TFtpError::ServerRefused, QString::fromUtf8(answers.at(0)));
        return false;
    }
    const QString named = FolderFromPwdReply(QString::fromUtf8(answers.at(1)));
    core->SetFolder(named.startsWith(QLatin1Char('/')) ? named : NormalizeFtpPath(target));
    return true;
}

bool TFtpConnection::GetCurrentDirectory(QString &folder) const
{
    if (core->closed.load()) {
        core->SetError(TFtpError::Closed, QStringLiteral("connection closed"));
        return false;
    }
    folder = core->Folder();
    return true;
}

std::unique_ptr<TFtpFind> TFtpConnection::FindFirst(TFtpFindRecord &record)
{
    Call call(*core);
    if (!call)
        return nullptr;
    CURL *easy = core->easy;
    const QByteArray url = core->baseUrl + UrlPath(core->Folder(), true);
    curl_easy_setopt(easy, CURLOPT_URL, url.constData());
    curl_easy_setopt(easy, CURLOPT_UPLOAD, 0L);
    curl_easy_setopt(easy, CURLOPT_NOBODY, 0L);
    curl_easy_setopt(easy, CURLOPT_TRANSFERTEXT, 0L);
    curl_easy_setopt(easy, CURLOPT_DIRLISTONLY, 0L);
    core->Begin(Core::Mode::Listing);
    const CURLcode code = core->RunToEnd();
    if (code != CURLE_OK) {
        core->mode = Core::Mode::Listing;  // so that an overflow reads as TooLarge
        core->SetCurlError(code);
        core->mode = Core::Mode::Idle;
        core->listRecords.clear();
        return nullptr;
    }
    if (!core->listLine.isEmpty() && !core->listLineTooLong)
        core->ListingLine(core->listLine);
    core->listLine.clear();
    std::vector<TFtpFindRecord> records = std::move(core->listRecords);
    core->listRecords.clear();
    if (records.empty()) {
        core->SetError(TFtpError::NoMoreFiles);
        return nullptr;
    }
    record = records.front();
    return std::unique_ptr<TFtpFind>(new TFtpFind(std::move(records)));
}

std::unique_ptr<TFtpFile> TFtpConnection::OpenFile(const QString &name, TFtpAccess access, TFtpTransferMode mode)
{
    Call call(*core);
    if (!call)
        return nullptr;
    if (!ValidName(name) || name.endsWith(QLatin1Char('/'))) {
        core->SetError(TFtpError::InvalidName, QStringLiteral("invalid file name"));
        return nullptr;
    }
    CURL *easy = core->easy;
    const bool upload = access == TFtpAccess::Write;
    const QByteArray url = core->baseUrl + UrlPath(JoinFtpPath(core->Folder(), name), false);
    curl_easy_setopt(easy, CURLOPT_URL, url.constData());
    curl_easy_setopt(easy, CURLOPT_UPLOAD, upload ? 1L : 0L);
    curl_easy_setopt(easy, CURLOPT_NOBODY, 0L);
    curl_easy_setopt(easy, CURLOPT_TRANSFERTEXT, mode == TFtpTransferMode::Ascii ? 1L : 0L);
    curl_easy_setopt(easy, CURLOPT_INFILESIZE_LARGE, curl_off_t(-1));
    core->Begin(upload ? Core::Mode::Upload : Core::Mode::Download);
    // Until the server has accepted the file (or refused it).
    Core &c = *core;
    c.Drive([&c] { return c.preliminary || c.spill.size() > 0; }, -1);
    // Refused before the server took the file: no handle. Cut off after it
    // did (all in one go, for a small file): the handle's Read tells it.
    if (c.done && c.result != CURLE_OK && !c.preliminary) {
        const CURLcode code = c.result;
        c.Finish();
        core->SetCurlError(code);
        return nullptr;
    }
    core->transferOpen = true;
    return std::unique_ptr<TFtpFile>(new TFtpFile(core));
}

bool TFtpConnection::CreateDirectory(const QString &name)
{
    Call call(*core);
    if (!call)
        return false;
    if (!ValidName(name)) {
        core->SetError(TFtpError::InvalidName, QStringLiteral("invalid folder name"));
        return false;
    }
    std::vector<QByteArray> answers;
    if (!core->RunCommands({"MKD " + JoinFtpPath(core->Folder(), name).toUtf8()}, answers))
        return false;
    if (!answers.at(0).startsWith('2')) {
        core->SetError(TFtpError::ServerRefused, QString::fromUtf8(answers.at(0)));
        return false;
    }
    return true;
}

bool TFtpConnection::RemoveDirectory(const QString &name)
{
    Call call(*core);
    if (!call)
        return false;
    if (!ValidName(name)) {
        core->SetError(TFtpError::InvalidName, QStringLiteral("invalid folder name"));
        return false;
    }
    std::vector<QByteArray> answers;
    if (!core->RunCommands({"RMD " + JoinFtpPath(core->Folder(), name).toUtf8()}, answers))
        return false;
    if (!answers.at(0).startsWith('2')) {
        core->SetError(TFtpError::ServerRefused, QString::fromUtf8(answers.at(0)));
        return false;
    }
    return true;
}

bool TFtpConnection::DeleteFile(const QString &name)
{
    Call call(*core);
    if (!call)
        return false;
    if (!ValidName(name)) {
        core->SetError(TFtpError::InvalidName, QStringLiteral("invalid file name"));
        return false;
    }
    std::vector<QByteArray> answers;
    if (!core->RunCommands({"DELE " + JoinFtpPath(core->Folder(), name).toUtf8()}, answers))
        return false;
    if (!answers.at(0).startsWith('2')) {
        core->SetError(TFtpError::ServerRefused, QString::fromUtf8(answers.at(0)));
        return false;
    }
    return true;
}

bool TFtpConnection::RenameFile(const QString &oldName, const QString &newName)
{
    Call call(*core);
    if (!call)
        return false;
    if (!ValidName(oldName) || !ValidName(newName)) {
        core->SetError(TFtpError::InvalidName, QStringLiteral("invalid file name"));
        return false;
    }
    const QString folder = core->Folder();
    std::vector<QByteArray> answers;
    // RNTO only after the server took RNFR: two requests on the same
    // control connection, nothing between them.
    if (!core->RunCommands({"RNFR " + JoinFtpPath(folder, oldName).toUtf8()}, answers))
        return false;
    if (!answers.at(0).startsWith('3')) {
        core->SetError(TFtpError::ServerRefused, QString::fromUtf8(answers.at(0)));
        return false;
    }
    if (!core->RunCommands({"RNTO " + JoinFtpPath(folder, newName).toUtf8()}, answers))
        return false;
    if (!answers.at(0).startsWith('2')) {
        core->SetError(TFtpError::ServerRefused, QString::fromUtf8(answers.at(0)));
        return false;
    }
    return true;
}

void TFtpConnection::Close()
{
    if (core->closed.load())
        return;
    QMutexLocker locker(&core->lock);
    if (core->closed.exchange(true))
        return;
    if (core->inMulti) {
        // A file is open: its transfer is abandoned.
        core->abortSend = true;
        core->Finish();
    } else if (core->easy && core->lastRequestOk) {
        // A bounded goodbye; curl's own QUIT at clean-up then meets a closed
        // connection instead of waiting for a silent server. Should the
        // server have dropped the connection meanwhile, curl connects again
        // for it: that too is kept short.
        const int seconds = std::min(QuitReplySeconds, core->timeouts.ReplySeconds);
        curl_easy_setopt(core->easy, CURLOPT_CONNECTTIMEOUT, long(std::min(QuitReplySeconds, core->timeouts.ConnectSeconds)));
        std::vector<QByteArray> answers;
        core->RunCommands({"QUIT"}, answers, seconds);
    }
    core->FreeHandles();
    core->transferOpen = false;
}

bool TFtpConnection::IsClosed() const
{
    return core->closed.load();
}

bool TFtpConnection::LastResponse(QString &text) const
{
    QMutexLocker locker(&core->stateLock);
    if (!core->haveReply)
        return false;
    text = QString::fromUtf8(core->lastReply);
    return true;
}

TFtpError TFtpConnection::LastError() const
{
    QMutexLocker locker(&core->stateLock);
    return core->lastError;
}

QString TFtpConnection::ErrorText() const
{
    QMutexLocker locker(&core->stateLock);
    return core->errorText;
}

void TFtpConnection::SetListingLimits(const TFtpListingLimits &limits)
{
    QMutexLocker locker(&core->lock);
    core->limits = limits;
}

// ---------------------------------------------------------------------------
// Files

TFtpFile::TFtpFile(std::shared_ptr<TFtpConnection::Core> core) : core(std::move(core)) {}

TFtpFile::~TFtpFile()
{
    Abort();
}

void TFtpFile::Abort()
{
    if (closed)
        return;
    closed = true;
    result = false;
    QMutexLocker locker(&core->lock);
    TFtpConnection::Core &c = *core;
    if (!c.closed.load() && c.mode != TFtpConnection::Core::Mode::Idle) {
        // Removed before its end, the request takes its connection along.
        c.abortSend = true;
        c.Finish();
    }
    c.spill.clear();
    c.spillPos = 0;
    c.transferOpen = false;
}

TFtpRead TFtpFile::Read(char *buffer, qint64 capacity, qint64 &count, int waitMs)
{
    count = 0;
    QMutexLocker locker(&core->lock);
    TFtpConnection::Core &c = *core;
    if (closed || c.closed.load() || c.mode != TFtpConnection::Core::Mode::Download) {
        c.SetError(TFtpError::Closed, QStringLiteral("file closed"));
        return TFtpRead::Failed;
    }
    if (capacity <= 0)
        return TFtpRead::Waiting;
    if (c.spillPos < c.spill.size()) {
        count = std::min<qint64>(capacity, c.spill.size() - c.spillPos);
        std::memcpy(buffer, c.spill.constData() + c.spillPos, size_t(count));
        c.spillPos += count;
        return TFtpRead::Data;
    }
    if (!c.done) {
        c.dest = buffer;
        c.destCapacity = capacity;
        c.destCount = 0;
        if (c.recvPaused) {
            // curl hands the chunk it kept straight to the caller's block.
            c.recvPaused = false;
            curl_easy_pause(c.easy, CURLPAUSE_CONT);
        }
        c.Drive([&c] { return c.destCount > 0; }, waitMs);
        count = c.destCount;
        c.dest = nullptr;
        c.destCapacity = c.destCount = 0;
    }
    if (count > 0)
        return TFtpRead::Data;
    if (!c.done)
        return TFtpRead::Waiting;
    if (c.result != CURLE_OK) {
        c.SetCurlError(c.result);
        return TFtpRead::Failed;
    }
    return TFtpRead::End;
}

TFtpWrite TFtpFile::Write(const char *data, qint64 size, qint64 &accepted, int waitMs)
{
    accepted = 0;
    QMutexLocker locker(&core->lock);
    TFtpConnection::Core &c = *core;
    if (closed || c.closed.load() || c.mode != TFtpConnection::Core::Mode::Upload) {
        c.SetError(TFtpError::Closed, QStringLiteral("file closed"));
        return TFtpWrite::Failed;
    }
    if (c.done) {
        // The server ended the transfer before the end of the file.
        c.SetCurlError(c.result == CURLE_OK ? CURLE_SEND_ERROR : c.result);
        return TFtpWrite::Failed;
    }
    c.src = data;
    c.srcLeft = size;
    if (c.sendPaused) {
        c.sendPaused = false;
        curl_easy_pause(c.easy, CURLPAUSE_CONT);
    }
    c.Drive([&c] { return c.srcLeft == 0; }, waitMs);
    accepted = size - c.srcLeft;
    c.src = nullptr;
    c.srcLeft = 0;
    if (c.done && (c.result != CURLE_OK || accepted < size)) {
        c.SetCurlError(c.result == CURLE_OK ? CURLE_SEND_ERROR : c.result);
        return TFtpWrite::Failed;
    }
    return accepted == size ? TFtpWrite::Done : TFtpWrite::Waiting;
}

bool TFtpFile::Close()
{
    if (closed)
        return result;
    closed = true;
    QMutexLocker locker(&core->lock);
    TFtpConnection::Core &c = *core;
    if (c.closed.load() || c.mode == TFtpConnection::Core::Mode::Idle) {
        // The connection was closed under the file.
        c.transferOpen = false;
        result = false;
        return result;
    }
    if (c.mode == TFtpConnection::Core::Mode::Upload && !c.done) {
        c.srcEnd = true;
        if (c.sendPaused) {
            c.sendPaused = false;
            curl_easy_pause(c.easy, CURLPAUSE_CONT);
        }
        c.Drive([] { return false; }, -1);
    }
    if (c.done) {
        result = c.result == CURLE_OK;
        if (!result)
            c.SetCurlError(c.result);
    } else {
        // A download left before its end: curl drops the control connection
        // with it (the next call logs in again).
        result = false;
        c.SetError(TFtpError::TransferFailed, QStringLiteral("transfer abandoned"));
    }
    c.Finish();
    c.spill.clear();
    c.spillPos = 0;
    c.transferOpen = false;
    return result;
}

// ---------------------------------------------------------------------------
// Find

TFtpFind::TFtpFind(std::vector<TFtpFindRecord> records) : records(std::move(records)) {}
TFtpFind::~TFtpFind() = default;

bool TFtpFind::Next(TFtpFindRecord &record)
{
    if (next >= records.size()) {
        error = TFtpError::NoMoreFiles;
        return false;
    }
    record = records[next++];
    error = TFtpError::None;
    return true;
}

TFtpError TFtpFind::LastError() const
{
    return error;
}
