// Cost per file of TVexFtp on many small files, next to the curl tool: a
// local vsftpd that this program starts with its own configuration serves
// a folder under /dev/shm holding N files of 4 KiB (1000 by default).
//
//   bench_manyfiles [--files N] [--rounds N]
//
// Each round downloads every file with GetFiles and uploads every file with
// PutFiles, each in a child process of this program (one session, one
// control connection), and does the same with ONE curl process per
// direction that names every file on its command list, so that it reuses
// one control connection. Every copy is checked byte for byte. It prints
// the wall time of each run (process start to end), the ratio engine/curl
// per round and its median, and the control round trips per file (commands
// sent over the whole session, login included, divided by the files): the
// engine's counted from its own protocol events, curl's from the server's
// protocol log, which also shows how many control connections each used.
//
// The server and the files go away whatever happens: on a normal end, on
// an error, on SIGINT/SIGTERM/SIGHUP (files removed from the handler), and
// on SIGKILL the server dies with this program (parent-death signal) and
// the next run removes the folder left behind.

#include "Ftp.h"
#include "support/VsftpdSite.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTextStream>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <map>
#include <vector>

namespace {

using benchsite::ShmRoot;
using benchsite::PrepareChild;
using benchsite::RemoveStaleFolders;
using benchsite::VsftpdPath;

constexpr const char *FolderPrefix = "velmar-manyfiles-";
constexpr int DefaultFiles = 1000;
constexpr int DefaultRounds = 3;
constexpr qint64 FileSize = 4096;
constexpr int RunTimeoutMs = 5 * 60 * 1000;
// curl 7.88 now and then waits about a second before it opens the data
// connection of a transfer on its reused control connection; a transfer of
// 4 KiB on loopback that takes this long is one of those waits.
constexpr double StallSeconds = 0.5;

QTextStream &Out()
{
    static QTextStream stream(stdout);
    return stream;
}

// The names every side uses for file i: the served copy, and where each
// program puts what it downloads or uploads.
QString SourceName(int i) { return QStringLiteral("src/f%1.bin").arg(i, 4, 10, QLatin1Char('0')); }
QString UploadName(const QString &who, int i) { return QStringLiteral("pub/%1-%2.bin").arg(who).arg(i, 4, 10, QLatin1Char('0')); }
QString DownloadName(const QString &who, int i) { return QStringLiteral("%1-%2.bin").arg(who).arg(i, 4, 10, QLatin1Char('0')); }

// ---------------------------------------------------------------------------
// Engine side: one list operation in a child process.

// argv: --engine get|put PORT FILES ROOT LOCAL
int RunEngineSession(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 7) {
        std::fprintf(stderr, "engine child: bad arguments\n");
        return 2;
    }
    const bool upload = args.at(2) == QLatin1String("put");
    const quint16 port = quint16(args.at(3).toUInt());
    const int files = args.at(4).toInt();
    const QString root = args.at(5);
    const QString local = args.at(6);
    QStringList remoteNames, localNames;
    for (int i = 0; i < files; ++i) {
        remoteNames << (upload ? UploadName(QStringLiteral("engine"), i) : SourceName(i));
        localNames << (upload ? root + QLatin1Char('/') + SourceName(i) : local + QLatin1Char('/') + DownloadName(QStringLiteral("engine"), i));
    }

    TVexFtp ftp;
    ftp.SetServer(QStringLiteral("127.0.0.1"));
    ftp.SetPort(port);
    ftp.SetPassive(true);
    ftp.SetRetries(0);
    ftp.SetNoopInterval(0);
    bool done = false;
    bool inList = false;
    int commands = 0, listCommands = 0;
    // The commands of the first and of the last item, for the report: the
    // first may carry what a session sends once (TYPE).
    QStringList current, firstItem, lastItem;
    QString failure;
    ftp.OnFtpError = [&](TVexFtp *, FtpError error, const QString &text) {
        if (failure.isEmpty())
            failure = QStringLiteral("error %1 %2").arg(int(error)).arg(text);
    };
    ftp.OnFtpInfo = [&](TVexFtp *, FtpInfo info, const QString &text) {
        if (info != ftpiCommand)
            return;
        ++commands;
        if (!inList)
            return;
        ++listCommands;
        const QString command = text.trimmed(); // the event carries the line end
        current << command;
        const QString verb = command.section(QLatin1Char(' '), 0, 0);
        if (verb == QLatin1String("RETR") || verb == QLatin1String("STOR")) {
            if (firstItem.isEmpty())
                firstItem = current;
            lastItem = current;
            current.clear();
        }
    };
    ftp.OnFtpNeedInfo = [&](TVexFtp *, TVexFtpInfoNeeded, QString &value) {
        // Every target is new: a question means something is wrong.
        failure = QStringLiteral("unexpected question");
        value.clear();
    };
    ftp.OnLoggedIn = [&](TVexFtp *client) {
        inList = true;
        if (upload)
            client->PutFiles(localNames, remoteNames);
        else
            client->GetFiles(remoteNames, localNames);
    };
    const auto finished = [&](TVexFtp *) {
        inList = false;
        done = true;
        app.quit();
    };
    ftp.OnFileReceived = finished;
    ftp.OnFileStored = finished;
    ftp.OnFtpQuit = [&](TVexFtp *) { app.quit(); };
    QTimer::singleShot(RunTimeoutMs, &app, [&] {
        failure = QStringLiteral("timed out");
        app.quit();
    });
    ftp.Login();
    app.exec();
    const bool ok = done && failure.isEmpty();
    std::printf("result ok=%d commands=%d list_commands=%d error=%s\nfirst=%s\nlast=%s\n", ok ? 1 : 0, commands, listCommands,
                qPrintable(failure.isEmpty() ? QStringLiteral("-") : failure), qPrintable(firstItem.join(QLatin1String(" | "))),
                qPrintable(lastItem.join(QLatin1String(" | "))));
    return ok ? 0 : 1;
}


// ---------------------------------------------------------------------------
// The site: the server's folder with N source files and their copies.

// File i's content: splitmix64 from a seed of its own, so that no two files
// (and no two blocks) compare equal.
QByteArray Content(int i)
{
    QByteArray bytes(FileSize, Qt::Uninitialized);
    quint64 state = 0x9e3779b97f4a7c15ull * quint64(i + 1);
    for (qint64 at = 0; at < FileSize; at += 8) {
        quint64 z = (state += 0x9e3779b97f4a7c15ull);
        z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ull;
        z = (z ^ (z >> 27)) * 0x94d049bb133111ebull;
        z ^= z >> 31;
        std::memcpy(bytes.data() + at, &z, 8);
    }
    return bytes;
}

class Site : public benchsite::VsftpdSite
{
public:
    explicit Site(int files)
        : VsftpdSite(FolderPrefix, ManyFilesOptions())
        , count(files)
    {
        for (int i = 0; i < count; ++i) {
            AddCleanupFile(Root() + QLatin1Char('/') + SourceName(i));
            for (const QString &who : {QStringLiteral("engine"), QStringLiteral("curl")}) {
                AddCleanupFile(Root() + QLatin1Char('/') + UploadName(who, i));
                AddCleanupFile(Local() + QLatin1Char('/') + DownloadName(who, i));
            }
        }
        AddCleanupFile(CurlList());
    }

    int Count() const { return count; }
    QString CurlList() const { return Folder() + QStringLiteral("/curl.list"); }

    bool Prepare(QString *error)
    {
        if (!CreateFolders(error))
            return false;
        for (int i = 0; i < count; ++i) {
            QFile file(Root() + QLatin1Char('/') + SourceName(i));
            if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(Content(i)) != FileSize) {
                *error = QStringLiteral("cannot write %1").arg(file.fileName());
                return false;
            }
        }
        return true;
    }

private:
    // Sources under src, uploads under pub; the protocol log counts every
    // client's commands and connections the same way.
    static Options ManyFilesOptions()
    {
        Options options;
        options.extraRootFolders = {QStringLiteral("src")};
        options.protocolLog = true;
        return options;
    }

    int count;
};

// ---------------------------------------------------------------------------
// Runs and reports

struct Measure
{
    bool ok = false;
    double seconds = 0; // process start to end: connect, login, every file
    int commands = -1;  // counted by the client itself (the engine only)
    int logCommands = 0;
    int logConnections = 0;
    int stalls = 0;          // curl's transfers that waited StallSeconds or more
    double stallSeconds = 0; // and their whole time
    QString detail;
};

// What the server logged since offset: commands and control connections.
void CountLog(const Site &site, qint64 offset, Measure *m)
{
    QFile log(site.Log());
    if (!log.open(QIODevice::ReadOnly) || !log.seek(offset))
        return;
    for (const QByteArray &line : log.readAll().split('\n')) {
        if (line.contains("] FTP command: "))
            ++m->logCommands;
        else if (line.contains("] CONNECT: "))
            ++m->logConnections;
    }
}

Measure RunProcess(const QString &program, const QStringList &args)
{
    Measure m;
    QProcess process;
    PrepareChild(process);
    QElapsedTimer clock;
    clock.start();
    process.start(program, args);
    if (process.waitForStarted(5000))
        benchsite::SetChildGroup(pid_t(process.processId()));
    const bool finished = process.waitForFinished(RunTimeoutMs);
    m.seconds = double(clock.nsecsElapsed()) / 1e9;
    benchsite::SetChildGroup(0);
    m.detail = QString::fromLocal8Bit(process.readAllStandardOutput() + process.readAllStandardError()).trimmed();
    m.ok = finished && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
    if (!finished)
        process.kill();
    return m;
}

QString Field(const QString &text, const QString &name)
{
    for (const QString &line : text.split(QLatin1Char('\n'))) {
        for (const QString &field : line.split(QLatin1Char(' '))) {
            if (field.startsWith(name + QLatin1Char('=')))
                return field.mid(name.size() + 1);
        }
    }
    return QString();
}

QString Line(const QString &text, const QString &name)
{
    for (const QString &line : text.split(QLatin1Char('\n')))
        if (line.startsWith(name + QLatin1Char('=')))
            return line.mid(name.size() + 1);
    return QString();
}

Measure RunEngine(const Site &site, bool upload)
{
    Measure m = RunProcess(QCoreApplication::applicationFilePath(),
                           {QStringLiteral("--engine"), upload ? QStringLiteral("put") : QStringLiteral("get"), QString::number(site.Port()),
                            QString::number(site.Count()), site.Root(), site.Local()});
    m.commands = Field(m.detail, QStringLiteral("commands")).toInt();
    return m;
}

// One curl process for every file: a command list naming each transfer, so
// that curl reuses its one control connection from file to file.
Measure RunCurl(const QString &curl, const Site &site, bool upload)
{
    const QString base = QStringLiteral("ftp://127.0.0.1:%1/").arg(site.Port());
    QFile list(site.CurlList());
    if (!list.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        Measure m;
        m.detail = QStringLiteral("cannot write %1").arg(site.CurlList());
        return m;
    }
    QTextStream text(&list);
    for (int i = 0; i < site.Count(); ++i) {
        if (upload)
            text << "upload-file = \"" << site.Root() << '/' << SourceName(i) << "\"\nurl = \"" << base << UploadName(QStringLiteral("curl"), i)
                 << "\"\n";
        else
            text << "url = \"" << base << SourceName(i) << "\"\noutput = \"" << site.Local() << '/'
                 << DownloadName(QStringLiteral("curl"), i) << "\"\n";
    }
    text.flush();
    list.close();
    Measure m = RunProcess(curl, {QStringLiteral("--silent"), QStringLiteral("--show-error"), QStringLiteral("--write-out"),
                                  QStringLiteral("transfer_s=%{time_total}\\n"), QStringLiteral("--config"), site.CurlList()});
    for (const QString &line : m.detail.split(QLatin1Char('\n'))) {
        if (!line.startsWith(QLatin1String("transfer_s=")))
            continue;
        const double seconds = line.mid(11).toDouble();
        if (seconds >= StallSeconds) {
            ++m.stalls;
            m.stallSeconds += seconds;
        }
    }
    return m;
}

// Every copy the run made equals its source; the copies are removed.
bool CheckAndRemoveCopies(const Site &site, const QString &who, bool upload, QString *why)
{
    for (int i = 0; i < site.Count(); ++i) {
        const QString copy = upload ? site.Root() + QLatin1Char('/') + UploadName(who, i) : site.Local() + QLatin1Char('/') + DownloadName(who, i);
        QFile file(copy);
        if (!file.open(QIODevice::ReadOnly)) {
            *why = QStringLiteral("%1 is missing").arg(copy);
            return false;
        }
        if (file.readAll() != Content(i)) {
            *why = QStringLiteral("%1 differs from its source").arg(copy);
            return false;
        }
        file.close();
        QFile::remove(copy);
    }
    return true;
}

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n == 0 ? 0 : (n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2);
}

int RunBenchmark(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    int files = DefaultFiles;
    int rounds = DefaultRounds;
    const QStringList args = app.arguments();
    for (int i = 1; i < args.size(); ++i) {
        if (args.at(i) == QLatin1String("--files") && i + 1 < args.size())
            files = args.at(++i).toInt();
        else if (args.at(i) == QLatin1String("--rounds") && i + 1 < args.size())
            rounds = args.at(++i).toInt();
        else {
            std::fprintf(stderr, "usage: bench_manyfiles [--files N] [--rounds N]\n");
            return 2;
        }
    }
    if (files <= 0 || files > 9999 || rounds <= 0) {
        std::fprintf(stderr, "bench_manyfiles: files must lie in 1..9999 and rounds be positive\n");
        return 2;
    }

    const QString curl = QStandardPaths::findExecutable(QStringLiteral("curl"));
    if (!QFileInfo::exists(QString::fromLatin1(VsftpdPath)) || curl.isEmpty()) {
        std::fprintf(stderr, "bench_manyfiles needs %s and the curl tool; install them with:\n"
                             "  apt-get install vsftpd curl\n", VsftpdPath);
        return 2;
    }

    RemoveStaleFolders(FolderPrefix, Out());
    benchsite::InstallCleanup("bench_manyfiles");

    int status = 0;
    {
        Site site(files);
        QString error;
        if (!site.Prepare(&error) || !site.StartServer(&error)) {
            std::fprintf(stderr, "bench_manyfiles: %s\n", qPrintable(error));
            return 1;
        }
        Out() << "vsftpd on 127.0.0.1:" << site.Port() << ", passive mode, " << files << " files of " << FileSize << " bytes in "
              << ShmRoot << ", " << rounds << " round(s)" << Qt::endl;

        struct Case {
            const char *name;
            bool engine;
            bool upload;
            std::vector<double> seconds {};
            std::vector<double> commandsPerFile {}; // the server's count
            std::vector<double> ownCount {};        // the engine's own count
            std::vector<double> withoutStalls {};   // curl's time less its stalled transfers
            int stalls = 0;
            int connections = 0;
            QString first {}, last {};
        };
        std::vector<Case> cases{{"engine download", true, false}, {"curl download", false, false},
                                {"engine upload", true, true}, {"curl upload", false, true}};
        std::vector<double> downloadRatios, uploadRatios, downloadStallFree, uploadStallFree;
        for (int round = 1; round <= rounds && status == 0; ++round) {
            for (Case &c : cases) {
                const QString who = c.engine ? QStringLiteral("engine") : QStringLiteral("curl");
                const qint64 logOffset = QFileInfo(site.Log()).size();
                Measure m = c.engine ? RunEngine(site, c.upload) : RunCurl(curl, site, c.upload);
                QString why;
                if (!m.ok || !CheckAndRemoveCopies(site, who, c.upload, &why)) {
                    std::fprintf(stderr, "bench_manyfiles: %s failed: %s %s\n", c.name, qPrintable(why), qPrintable(m.detail));
                    status = 1;
                    break;
                }
                // The server writes its log as it goes; the run has ended,
                // its last lines may still be on their way.
                QThread::msleep(100);
                CountLog(site, logOffset, &m);
                c.seconds.push_back(m.seconds);
                c.withoutStalls.push_back(m.seconds - m.stallSeconds);
                c.stalls += m.stalls;
                c.commandsPerFile.push_back(double(m.logCommands) / files);
                if (m.commands >= 0)
                    c.ownCount.push_back(double(m.commands) / files);
                c.connections = std::max(c.connections, m.logConnections);
                if (c.engine) {
                    c.first = Line(m.detail, QStringLiteral("first"));
                    c.last = Line(m.detail, QStringLiteral("last"));
                }
                Out() << QStringLiteral("  round %1  %2  %3 s  %4 commands (%5 per file), %6 control connection(s)")
                             .arg(round)
                             .arg(QLatin1String(c.name), -16)
                             .arg(m.seconds, 7, 'f', 3)
                             .arg(m.logCommands)
                             .arg(double(m.logCommands) / files, 0, 'f', 3)
                             .arg(m.logConnections)
                      << (m.commands >= 0 ? QStringLiteral(", %1 by its own count").arg(m.commands) : QString())
                      << (c.engine ? QString()
                                   : QStringLiteral(", %1 transfer(s) stalled %2 s in all").arg(m.stalls).arg(m.stallSeconds, 0, 'f', 3))
                      << Qt::endl;
            }
            // Engine and curl of the same round ran one after the other on
            // the same machine load: their ratio is the fair comparison.
            if (status == 0) {
                downloadRatios.push_back(cases[0].seconds.back() / cases[1].seconds.back());
                uploadRatios.push_back(cases[2].seconds.back() / cases[3].seconds.back());
                downloadStallFree.push_back(cases[0].seconds.back() / cases[1].withoutStalls.back());
                uploadStallFree.push_back(cases[2].seconds.back() / cases[3].withoutStalls.back());
                Out() << QStringLiteral("  round %1  engine/curl wall time  download %2, upload %3;"
                                        " against curl less its stalled transfers  download %4, upload %5")
                             .arg(round)
                             .arg(downloadRatios.back(), 0, 'f', 2)
                             .arg(uploadRatios.back(), 0, 'f', 2)
                             .arg(downloadStallFree.back(), 0, 'f', 2)
                             .arg(uploadStallFree.back(), 0, 'f', 2)
                      << Qt::endl;
            }
        }
        if (status == 0) {
            Out() << "median over " << rounds << " round(s):" << Qt::endl;
            for (const Case &c : cases)
                Out() << QStringLiteral("  %1 %2 s, %3 ms per file, %4 round trips per file, %5 control connection(s)")
                             .arg(QLatin1String(c.name), -16)
                             .arg(Median(c.seconds), 7, 'f', 3)
                             .arg(Median(c.seconds) * 1000 / files, 0, 'f', 3)
                             .arg(Median(c.commandsPerFile), 0, 'f', 3)
                             .arg(c.connections)
                      << Qt::endl;
            Out() << QStringLiteral("  engine/curl wall time paired per round, median: download %1, upload %2")
                         .arg(Median(downloadRatios), 0, 'f', 2)
                         .arg(Median(uploadRatios), 0, 'f', 2)
                  << Qt::endl;
            Out() << QStringLiteral("  against curl less its stalled transfers (%1 and %2 stalls in all), median: download %3, upload %4")
                         .arg(cases[1].stalls)
                         .arg(cases[3].stalls)
                         .arg(Median(downloadStallFree), 0, 'f', 2)
                         .arg(Median(uploadStallFree), 0, 'f', 2)
                  << Qt::endl;
            Out() << QStringLiteral("  engine round trips per file by its own protocol events: download %1, upload %2")
                         .arg(Median(cases[0].ownCount), 0, 'f', 3)
                         .arg(Median(cases[2].ownCount), 0, 'f', 3)
                  << Qt::endl;
            Out() << "  engine commands of the first and the last file:" << Qt::endl;
            for (const int k : {0, 2})
                Out() << "    " << cases[size_t(k)].name << ": " << cases[size_t(k)].first << "  ...  " << cases[size_t(k)].last << Qt::endl;
        }
    }
    return status;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc > 1 && std::strcmp(argv[1], "--engine") == 0)
        return RunEngineSession(argc, argv);
    return RunBenchmark(argc, argv);
}
