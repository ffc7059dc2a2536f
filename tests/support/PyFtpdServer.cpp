#include "PyFtpdServer.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QHostAddress>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QList>
#include <QProcess>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <optional>

#include <csignal>
#include <sys/prctl.h>
#include <unistd.h>

#ifndef VELMAR_PYTHON
#error "VELMAR_PYTHON must name the interpreter that runs pyftpdlib"
#endif
#ifndef VELMAR_TEST_SUPPORT_DIR
#error "VELMAR_TEST_SUPPORT_DIR must name the folder of pyftpd_server.py"
#endif

namespace {

struct FtpUser
{
    QString name;
    QString password;
    QString home;
    QString permissions;
};

QString ScriptPath()
{
    return QStringLiteral(VELMAR_TEST_SUPPORT_DIR "/pyftpd_server.py");
}

// Reads the server's first reply, which may span several "220-" lines.
bool AwaitWelcome(quint16 port, const QDeadlineTimer &deadline, QString *error)
{
    QTcpSocket probe;
    probe.connectToHost(QHostAddress::LocalHost, port);
    if (!probe.waitForConnected(int(deadline.remainingTime()))) {
        *error = QStringLiteral("cannot connect to the server on port %1: %2").arg(port).arg(probe.errorString());
        return false;
    }
    QByteArray received;
    for (;;) {
        while (probe.canReadLine()) {
            const QByteArray line = probe.readLine();
            received += line;
            if (line.size() >= 4 && line.at(3) == ' ') {
                if (!line.startsWith("220")) {
                    *error = QStringLiteral("unexpected welcome: %1").arg(QString::fromUtf8(received).trimmed());
                    return false;
                }
                probe.write("QUIT\r\n");
                probe.flush();
                probe.abort();
                return true;
            }
        }
        if (!probe.waitForReadyRead(int(deadline.remainingTime()))) {
            *error = QStringLiteral("no welcome from the server on port %1 (%2)").arg(port).arg(probe.errorString());
            return false;
        }
    }
}

} // namespace

struct PyFtpdServer::Private
{
    QTemporaryDir root;
    QList<FtpUser> users;
    std::optional<QString> banner;
    QString anonymousPermissions = QString::fromLatin1(FullPermissions);
    bool verbose = false;
    QString configurationError;

    std::unique_ptr<QProcess> process;
    quint16 port = 0;
    QString error;
    QByteArray standardError;

    void CollectStandardError()
    {
        if (process)
            standardError += process->readAllStandardError();
    }

    QString Failure(const QString &what)
    {
        CollectStandardError();
        QString text = what;
        if (!standardError.isEmpty())
            text += QStringLiteral("\nserver stderr:\n") + QString::fromLocal8Bit(standardError).trimmed();
        return text;
    }

    QStringList Arguments() const
    {
        QJsonArray userList;
        for (const FtpUser &user : users)
            userList.append(QJsonObject{{QStringLiteral("name"), user.name},
                                        {QStringLiteral("password"), user.password},
                                        {QStringLiteral("home"), user.home},
                                        {QStringLiteral("perm"), user.permissions}});
        const QJsonObject config{
            {QStringLiteral("root"), root.path()},
            {QStringLiteral("anonymous_perm"), anonymousPermissions.isEmpty() ? QJsonValue() : QJsonValue(anonymousPermissions)},
            {QStringLiteral("users"), userList},
            {QStringLiteral("banner"), banner ? QJsonValue(*banner) : QJsonValue()},
            {QStringLiteral("verbose"), verbose},
        };
        return {QStringLiteral("-u"), ScriptPath(),
                QStringLiteral("--config=") + QString::fromUtf8(QJsonDocument(config).toJson(QJsonDocument::Compact))};
    }
};

PyFtpdServer::PyFtpdServer() : d(std::make_unique<Private>())
{
    d->users.append({QString::fromLatin1(DefaultUser), QString::fromLatin1(DefaultPassword), QString(),
                     QString::fromLatin1(FullPermissions)});
}

PyFtpdServer::~PyFtpdServer()
{
    Stop();
}

void PyFtpdServer::AddUser(const QString &name, const QString &password, const QString &homeSubfolder,
                           const QString &permissions)
{
    const QString home = homeSubfolder.isEmpty() ? QString() : QDir::cleanPath(homeSubfolder);
    if (name.isEmpty() || name.compare(QLatin1String("anonymous"), Qt::CaseInsensitive) == 0)
        d->configurationError = QStringLiteral("invalid user name \"%1\"").arg(name);
    else if (QDir::isAbsolutePath(home) || home == QLatin1String("..") || home.startsWith(QLatin1String("../")))
        d->configurationError = QStringLiteral("home folder \"%1\" of %2 is not inside the root").arg(homeSubfolder, name);
    else
        d->users.append({name, password, home, permissions});
}

void PyFtpdServer::SetBanner(const QString &banner)
{
    d->banner = banner;
}

void PyFtpdServer::SetAnonymousPermissions(const QString &permissions)
{
    d->anonymousPermissions = permissions;
}

void PyFtpdServer::SetVerbose(bool on)
{
    d->verbose = on;
}

bool PyFtpdServer::Start(int timeoutMs)
{
    d->error.clear();
    if (Running()) {
        d->error = QStringLiteral("the server is already running");
        return false;
    }
    if (!d->configurationError.isEmpty()) {
        d->error = d->configurationError;
        return false;
    }
    if (!d->root.isValid()) {
        d->error = QStringLiteral("cannot create the root folder: %1").arg(d->root.errorString());
        return false;
    }
    if (!QFileInfo::exists(ScriptPath())) {
        d->error = QStringLiteral("server script not found: %1").arg(ScriptPath());
        return false;
    }

    const QDeadlineTimer deadline(timeoutMs);
    d->standardError.clear();
    d->port = 0;
    d->process = std::make_unique<QProcess>();
    d->process->setProgram(QStringLiteral(VELMAR_PYTHON));
    d->process->setArguments(d->Arguments());
    const pid_t parent = getpid();
    d->process->setChildProcessModifier([parent] {
        // The server must not outlive a crashed test program.
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (getppid() != parent)
            _exit(1);
    });
    d->process->start();
    if (!d->process->waitForStarted(int(deadline.remainingTime()))) {
        d->error = QStringLiteral("cannot run %1: %2").arg(QStringLiteral(VELMAR_PYTHON), d->process->errorString());
        d->process.reset();
        return false;
    }

    // The script prints "PORT <n>" once it listens.
    while (!d->process->canReadLine()) {
        if (!d->process->waitForReadyRead(int(deadline.remainingTime()))) {
            d->error = d->Failure(d->process->state() == QProcess::Running
                                      ? QStringLiteral("the server did not report its port in time")
                                      : QStringLiteral("the server exited before listening"));
            Stop();
            return false;
        }
    }
    const QByteArray line = d->process->readLine().trimmed();
    bool ok = false;
    const uint port = line.startsWith("PORT ") ? line.mid(5).toUInt(&ok) : 0;
    if (!ok || port == 0 || port > 65535) {
        d->error = d->Failure(QStringLiteral("unexpected first line from the server: \"%1\"").arg(QString::fromUtf8(line)));
        Stop();
        return false;
    }
    d->port = quint16(port);

    QString welcomeError;
    if (!AwaitWelcome(d->port, deadline, &welcomeError)) {
        d->error = d->Failure(welcomeError);
        Stop();
        return false;
    }
    return true;
}

void PyFtpdServer::Stop()
{
    if (!d->process)
        return;
    if (d->process->state() != QProcess::NotRunning) {
        d->process->kill();
        d->process->waitForFinished(5000);
    }
    d->CollectStandardError();
    d->process.reset();
}

bool PyFtpdServer::Running() const
{
    return d->process && d->process->state() == QProcess::Running;
}

QString PyFtpdServer::Host() const
{
    return QStringLiteral("127.0.0.1");
}

quint16 PyFtpdServer::Port() const
{
    return Running() ? d->port : 0;
}

qint64 PyFtpdServer::ProcessId() const
{
    return d->process ? d->process->processId() : 0;
}

QString PyFtpdServer::RootPath() const
{
    return d->root.path();
}

QString PyFtpdServer::ErrorString() const
{
    return d->error;
}

QByteArray PyFtpdServer::StandardError() const
{
    d->CollectStandardError();
    return d->standardError;
}

bool PyFtpdServer::Available()
{
    static const bool available = [] {
        QProcess probe;
        probe.start(QStringLiteral(VELMAR_PYTHON), {QStringLiteral("-c"), QStringLiteral("import pyftpdlib")});
        return probe.waitForFinished(15000) && probe.exitStatus() == QProcess::NormalExit && probe.exitCode() == 0;
    }();
    return available;
}

const char *PyFtpdServer::UnavailableMessage()
{
    return VELMAR_PYTHON " cannot import pyftpdlib (apt-get install python3-pyftpdlib)";
}
