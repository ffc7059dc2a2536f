// A private vsftpd for the benches: a folder under /dev/shm named after the
// program's process, an anonymous server on 127.0.0.1 with a free port, and
// its removal whatever happens.
//
// Contract:
// - InstallCleanup(program) once, before any VsftpdSite: on SIGINT, SIGTERM,
//   SIGHUP and SIGQUIT the handler kills the server and the current child
//   (their whole process groups), removes every registered file and folder
//   with async-signal-safe calls only, prints "<program>: interrupted,
//   server stopped and files removed" and dies of the same signal. SIGPIPE
//   is ignored so that a reader going away cannot skip the cleanup.
// - RemoveStaleFolders(prefix, out) removes the folders of earlier runs
//   whose program is gone (killed by SIGKILL before its own cleanup).
// - A VsftpdSite owns /dev/shm/<prefix><pid> with root (served, read-only for
//   the server's user), root/pub (writable by it), local and empty. Files a
//   bench creates there must be registered with AddCleanupFile before they
//   exist, so that the signal handler removes them; extra folders under root
//   are named at construction. The destructor stops the server and removes
//   the folder.
// - Every child started through PrepareChild gets its own process group and
//   dies with this program (parent-death signal); a child that runs while a
//   signal may arrive is named with SetChildGroup and cleared afterwards.
#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTextStream>

#include <memory>
#include <sys/types.h>

namespace benchsite {

inline constexpr const char *VsftpdPath = "/usr/sbin/vsftpd";
inline constexpr const char *ShmRoot = "/dev/shm";

void InstallCleanup(const char *program);
void RemoveStaleFolders(const char *prefix, QTextStream &out);
void PrepareChild(QProcess &process);
void SetChildGroup(pid_t group);

class VsftpdSite
{
public:
    struct Options
    {
        // Folders under root besides pub (created before it, removed after).
        QStringList extraRootFolders;
        // Log every command and connection of every client to Log().
        bool protocolLog = false;
    };

    VsftpdSite(const char *prefix, Options options);
    ~VsftpdSite();
    VsftpdSite(const VsftpdSite &) = delete;
    VsftpdSite &operator=(const VsftpdSite &) = delete;

    QString Folder() const { return folder; }
    QString Root() const { return root; }
    QString Pub() const { return root + QStringLiteral("/pub"); }
    QString Local() const { return local; }
    QString Config() const { return folder + QStringLiteral("/vsftpd.conf"); }
    QString Log() const { return folder + QStringLiteral("/vsftpd.log"); }
    quint16 Port() const { return port; }

    // Removed by the signal handler as well as by the destructor.
    void AddCleanupFile(const QString &path);

    // Creates the folders and gives pub to the server's user.
    bool CreateFolders(QString *error);
    bool StartServer(QString *error);
    void StopServer();

private:
    bool WriteConfig(QString *error);
    bool WaitUntilListening();

    Options options;
    QString folder, root, local, empty;
    quint16 port = 0;
    std::unique_ptr<QProcess> server;
};

} // namespace benchsite
