// The benches' private vsftpd: folder, server and their removal on every
// way out, including fatal signals.

#include "VsftpdSite.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <sys/prctl.h>
#include <unistd.h>
#include <vector>

namespace benchsite {

namespace {

constexpr int ServerStartMs = 5000;

// Paths the signal handler removes with async-signal-safe calls only: files
// first, then folders (deepest first).
std::vector<std::vector<char>> g_cleanupFiles;
std::vector<std::vector<char>> g_cleanupDirs;
volatile pid_t g_serverGroup = 0;
volatile pid_t g_childGroup = 0;
// Built before the handlers are installed: the handler only writes it.
char g_interruptedText[256] = {};
size_t g_interruptedLength = 0;

std::vector<char> CString(const QString &path)
{
    const QByteArray bytes = QFile::encodeName(path);
    return std::vector<char>(bytes.constData(), bytes.constData() + bytes.size() + 1);
}

void RemoveEverything()
{
    if (g_childGroup > 0)
        ::kill(-g_childGroup, SIGKILL);
    if (g_serverGroup > 0)
        ::kill(-g_serverGroup, SIGKILL);
    for (const auto &path : g_cleanupFiles)
        ::unlink(path.data());
    for (const auto &path : g_cleanupDirs)
        ::rmdir(path.data());
}

extern "C" void OnFatalSignal(int signal)
{
    RemoveEverything();
    (void)!::write(STDERR_FILENO, g_interruptedText, g_interruptedLength);
    ::signal(signal, SIG_DFL);
    ::raise(signal);
}

// Whether pid names a running process (a zombie is not one: it only
// waits for its parent to collect it).
bool ProcessRunning(pid_t pid)
{
    if (::kill(pid, 0) != 0 && errno == ESRCH)
        return false;
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return true;
    const QByteArray text = stat.readAll();
    const qsizetype close = text.lastIndexOf(')');
    return close < 0 || text.mid(close + 2, 1) != "Z";
}

QByteArray Run(const char *program, const QStringList &args)
{
    QProcess process;
    process.start(QString::fromLatin1(program), args);
    process.waitForFinished(5000);
    return process.readAllStandardOutput();
}

uid_t FtpUserId() { return uid_t(QString::fromLocal8Bit(Run("id", {"-u", "ftp"})).trimmed().toUInt()); }
gid_t FtpGroupId() { return gid_t(QString::fromLocal8Bit(Run("id", {"-g", "ftp"})).trimmed().toUInt()); }

quint16 FreePort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

} // namespace

void InstallCleanup(const char *program)
{
    const QByteArray text = QByteArray(program) + ": interrupted, server stopped and files removed\n";
    g_interruptedLength = std::min(size_t(text.size()), sizeof g_interruptedText);
    std::memcpy(g_interruptedText, text.constData(), g_interruptedLength);
    for (const int signal : {SIGINT, SIGTERM, SIGHUP, SIGQUIT})
        ::signal(signal, OnFatalSignal);
    // A reader of the report that goes away (a pager, head) must not kill
    // the program before its cleanup.
    ::signal(SIGPIPE, SIG_IGN);
}

// Folders of earlier runs whose program is gone (killed before its own
// cleanup could run).
void RemoveStaleFolders(const char *prefix, QTextStream &out)
{
    const QDir shm(QString::fromLatin1(ShmRoot));
    const QStringList names = shm.entryList({QString::fromLatin1(prefix) + QLatin1Char('*')}, QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString &name : names) {
        const pid_t pid = pid_t(name.mid(int(std::strlen(prefix))).toInt());
        if (pid > 0 && ProcessRunning(pid))
            continue;
        QDir(shm.filePath(name)).removeRecursively();
        out << "removed the folder of an earlier run: " << shm.filePath(name) << Qt::endl;
    }
}

// Each child gets its own process group (so that the group can be killed)
// and dies with this program.
void PrepareChild(QProcess &process)
{
    process.setChildProcessModifier([] {
        ::setpgid(0, 0);
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    });
}

void SetChildGroup(pid_t group)
{
    g_childGroup = group;
}

VsftpdSite::VsftpdSite(const char *prefix, Options siteOptions)
    : options(std::move(siteOptions))
{
    folder = QStringLiteral("%1/%2%3").arg(QString::fromLatin1(ShmRoot), QString::fromLatin1(prefix)).arg(::getpid());
    root = folder + QStringLiteral("/root");
    local = folder + QStringLiteral("/local");
    empty = folder + QStringLiteral("/empty");
    AddCleanupFile(Config());
    AddCleanupFile(Log());
    for (const QString &name : options.extraRootFolders)
        g_cleanupDirs.push_back(CString(root + QLatin1Char('/') + name));
    for (const QString &dir : {Pub(), root, local, empty, folder})
        g_cleanupDirs.push_back(CString(dir));
}

VsftpdSite::~VsftpdSite()
{
    StopServer();
    QDir(folder).removeRecursively();
    g_cleanupFiles.clear();
    g_cleanupDirs.clear();
}

void VsftpdSite::AddCleanupFile(const QString &path)
{
    g_cleanupFiles.push_back(CString(path));
}

bool VsftpdSite::CreateFolders(QString *error)
{
    QStringList dirs {folder, root};
    for (const QString &name : options.extraRootFolders)
        dirs << root + QLatin1Char('/') + name;
    dirs << Pub() << local << empty;
    for (const QString &dir : dirs) {
        if (!QDir().mkpath(dir)) {
            *error = QStringLiteral("cannot create %1").arg(dir);
            return false;
        }
    }
    // vsftpd refuses an anonymous root that its unprivileged user can
    // write to; uploads go to pub, which that user owns.
    QFile::setPermissions(root, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner | QFileDevice::ReadGroup
                                    | QFileDevice::ExeGroup | QFileDevice::ReadOther | QFileDevice::ExeOther);
    if (::geteuid() == 0) {
        const QByteArray path = QFile::encodeName(Pub());
        if (::chown(path.constData(), FtpUserId(), FtpGroupId()) != 0) {
            *error = QStringLiteral("cannot give %1 to the ftp user").arg(Pub());
            return false;
        }
    }
    return true;
}

bool VsftpdSite::StartServer(QString *error)
{
    for (int attempt = 0; attempt < 3; ++attempt) {
        port = FreePort();
        if (!WriteConfig(error))
            return false;
        server = std::make_unique<QProcess>();
        server->setProcessChannelMode(QProcess::MergedChannels);
        PrepareChild(*server);
        server->start(QString::fromLatin1(VsftpdPath), {Config()});
        if (!server->waitForStarted(ServerStartMs)) {
            *error = QStringLiteral("vsftpd did not start: %1").arg(server->errorString());
            return false;
        }
        g_serverGroup = pid_t(server->processId());
        if (WaitUntilListening())
            return true;
        *error = QStringLiteral("vsftpd did not listen on port %1: %2").arg(port).arg(QString::fromLocal8Bit(server->readAll()));
        StopServer();
    }
    return false;
}

void VsftpdSite::StopServer()
{
    if (!server)
        return;
    if (server->state() != QProcess::NotRunning) {
        ::kill(-pid_t(server->processId()), SIGTERM);
        if (!server->waitForFinished(2000)) {
            ::kill(-pid_t(server->processId()), SIGKILL);
            server->waitForFinished(2000);
        }
    }
    g_serverGroup = 0;
    server.reset();
}

bool VsftpdSite::WriteConfig(QString *error)
{
    QFile file(Config());
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        *error = QStringLiteral("cannot write %1").arg(Config());
        return false;
    }
    QTextStream conf(&file);
    conf << "listen=YES\nlisten_ipv6=NO\nlisten_address=127.0.0.1\n"
         << "listen_port=" << port << "\n"
         << "background=NO\n"
         << "anonymous_enable=YES\nlocal_enable=NO\nno_anon_password=YES\n"
         << "anon_root=" << root << "\n"
         << "write_enable=YES\nanon_upload_enable=YES\nanon_other_write_enable=YES\nanon_umask=022\n"
         << "pasv_enable=YES\npasv_address=127.0.0.1\nport_enable=YES\nconnect_from_port_20=NO\n"
         // Namespaces and the system-call filter are often unavailable
         // in containers; the server only ever talks to loopback here.
         << "seccomp_sandbox=NO\nisolate=NO\nisolate_network=NO\n"
         << "secure_chroot_dir=" << empty << "\n";
    if (options.protocolLog)
        conf << "xferlog_enable=YES\nxferlog_std_format=NO\nlog_ftp_protocol=YES\n";
    else
        conf << "xferlog_enable=NO\n";
    conf << "syslog_enable=NO\ndual_log_enable=NO\n"
         << "vsftpd_log_file=" << Log() << "\n"
         << "tcp_wrappers=NO\nuserlist_enable=NO\nuse_sendfile=YES\n";
    if (::geteuid() != 0)
        conf << "run_as_launching_user=YES\n";
    return true;
}

bool VsftpdSite::WaitUntilListening()
{
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < ServerStartMs) {
        if (server->state() == QProcess::NotRunning)
            return false;
        QTcpSocket probe;
        probe.connectToHost(QHostAddress::LocalHost, port);
        if (probe.waitForConnected(500) && probe.waitForReadyRead(1000) && probe.readAll().startsWith("220"))
            return true;
        QThread::msleep(50);
    }
    return false;
}

} // namespace benchsite
