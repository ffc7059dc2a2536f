// Transfer speed of TVexFtp on loopback, next to curl on the same files and
// the same server: a local vsftpd that this program starts with its own
// configuration, serving a folder under /dev/shm.
//
//   bench_transfer [--size-mib N] [--rounds N] [--active]
//
// Each round downloads and uploads one file of N MiB (1024 by default)
// through the engine and through the curl tool, checks every copy byte for
// byte, and prints the rates (MB = 10^6 bytes), the ratio engine/curl of
// each round and over all rounds, and the engine's peak resident memory.
// Each engine transfer runs in a child process of this program, so that its
// peak memory is its own.
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
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/resource.h>
#include <vector>

namespace {

using benchsite::ShmRoot;
using benchsite::PrepareChild;
using benchsite::RemoveStaleFolders;
using benchsite::VsftpdPath;

constexpr const char *FolderPrefix = "velmar-bench-";
constexpr int DefaultSizeMiB = 1024;
constexpr int DefaultRounds = 1;
constexpr int TransferTimeoutMs = 10 * 60 * 1000;
constexpr qint64 CompareBlock = 4 * 1024 * 1024;

QTextStream &Out()
{
    static QTextStream stream(stdout);
    return stream;
}

// ---------------------------------------------------------------------------
// Engine side: one transfer in a child process.

// User and system time this process has used, in milliseconds: under a
// loaded machine a steadier measure of the engine's own cost than its rate.
qint64 CpuMs()
{
    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    return qint64(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1000
        + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1000;
}

qint64 PeakResidentKb()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (status.open(QIODevice::ReadOnly)) {
        for (const QByteArray &line : status.readAll().split('\n'))
            if (line.startsWith("VmHWM:"))
                return line.mid(6).trimmed().split(' ').value(0).toLongLong();
    }
    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

// argv: --engine get|put PORT passive(0|1) REMOTE LOCAL
int RunEngineTransfer(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 7) {
        std::fprintf(stderr, "engine child: bad arguments\n");
        return 2;
    }
    const bool upload = args.at(2) == QLatin1String("put");
    const quint16 port = quint16(args.at(3).toUInt());
    const bool passive = args.at(4) == QLatin1String("1");
    const QString remote = args.at(5);
    const QString local = args.at(6);

    TVexFtp ftp;
    ftp.SetServer(QStringLiteral("127.0.0.1"));
    ftp.SetPort(port);
    ftp.SetPassive(passive);
    ftp.SetRetries(0);
    ftp.SetNoopInterval(0);
    QElapsedTimer session, transfer;
    qint64 transferMs = -1, sessionMs = -1;
    bool done = false;
    QString failure;
    ftp.OnFtpError = [&](TVexFtp *, FtpError error, const QString &text) {
        if (failure.isEmpty())
            failure = QStringLiteral("error %1 %2").arg(int(error)).arg(text);
    };
    ftp.OnLoggedIn = [&](TVexFtp *client) {
        transfer.start();
        if (upload)
            client->PutFile(local, remote);
        else
            client->GetFile(remote, local);
    };
    const auto finished = [&](TVexFtp *) {
        transferMs = transfer.elapsed();
        sessionMs = session.elapsed();
        done = true;
        app.quit();
    };
    ftp.OnFileReceived = finished;
    ftp.OnFileStored = finished;
    ftp.OnFtpQuit = [&](TVexFtp *) { app.quit(); };
    QTimer::singleShot(TransferTimeoutMs, &app, [&] {
        failure = QStringLiteral("timed out");
        app.quit();
    });
    session.start();
    ftp.Login();
    app.exec();
    const bool ok = done && failure.isEmpty() && ftp.BytesTransferred() > 0;
    std::printf("result ok=%d bytes=%lld session_ms=%lld transfer_ms=%lld engine_ms=%lld hwm_kb=%lld cpu_ms=%lld error=%s\n",
                ok ? 1 : 0, static_cast<long long>(ftp.BytesTransferred()), static_cast<long long>(sessionMs),
                static_cast<long long>(transferMs), static_cast<long long>(ftp.ElapsedTime()),
                static_cast<long long>(PeakResidentKb()), static_cast<long long>(CpuMs()),
                qPrintable(failure.isEmpty() ? QStringLiteral("-") : failure));
    return ok ? 0 : 1;
}

// ---------------------------------------------------------------------------
// The site: the server's folder with one source file and its copies.

class Site : public benchsite::VsftpdSite
{
public:
    Site()
        : VsftpdSite(FolderPrefix, {})
    {
        for (const QString &file : {Source(), Upload(QStringLiteral("engine")), Upload(QStringLiteral("curl")),
                                    Download(QStringLiteral("engine")), Download(QStringLiteral("curl"))})
            AddCleanupFile(file);
    }

    QString Source() const { return Root() + QStringLiteral("/source.bin"); }
    QString Upload(const QString &who) const { return Pub() + QStringLiteral("/%1-up.bin").arg(who); }
    QString Download(const QString &who) const { return Local() + QStringLiteral("/%1-down.bin").arg(who); }

    bool Prepare(qint64 size, QString *error) { return CreateFolders(error) && WriteSource(size, error); }

private:
    bool WriteSource(qint64 size, QString *error)
    {
        QFile file(Source());
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
            *error = QStringLiteral("cannot create %1").arg(Source());
            return false;
        }
        // splitmix64: fast, and every byte differs from its neighbours, so a
        // misplaced block never compares equal.
        quint64 state = 0x9e3779b97f4a7c15ull;
        std::vector<quint64> block(size_t(CompareBlock / 8));
        for (qint64 written = 0; written < size;) {
            for (quint64 &word : block) {
                quint64 z = (state += 0x9e3779b97f4a7c15ull);
                z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ull;
                z = (z ^ (z >> 27)) * 0x94d049bb133111ebull;
                word = z ^ (z >> 31);
            }
            const qint64 chunk = std::min<qint64>(CompareBlock, size - written);
            if (file.write(reinterpret_cast<const char *>(block.data()), chunk) != chunk) {
                *error = QStringLiteral("cannot write %1 (is /dev/shm large enough?)").arg(Source());
                return false;
            }
            written += chunk;
        }
        file.close();
        QFile::setPermissions(Source(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup | QFileDevice::ReadOther);
        return true;
    }
};

// ---------------------------------------------------------------------------
// Runs and reports

struct Measure
{
    bool ok = false;
    double seconds = 0;      // the whole session: connect, login, transfer
    double transferSeconds = 0;
    qint64 peakKb = -1;
    qint64 cpuMs = -1; // the engine's child only
    QString detail;
};

bool SameFiles(const QString &a, const QString &b, QString *why)
{
    QFile fa(a), fb(b);
    if (!fa.open(QIODevice::ReadOnly) || !fb.open(QIODevice::ReadOnly)) {
        *why = QStringLiteral("missing file");
        return false;
    }
    if (fa.size() != fb.size()) {
        *why = QStringLiteral("size %1 instead of %2").arg(fb.size()).arg(fa.size());
        return false;
    }
    while (!fa.atEnd()) {
        const qint64 at = fa.pos();
        if (fa.read(CompareBlock) != fb.read(CompareBlock)) {
            *why = QStringLiteral("content differs in the block at %1").arg(at);
            return false;
        }
    }
    return true;
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
    const bool finished = process.waitForFinished(TransferTimeoutMs);
    m.seconds = double(clock.nsecsElapsed()) / 1e9;
    benchsite::SetChildGroup(0);
    m.detail = QString::fromLocal8Bit(process.readAllStandardOutput() + process.readAllStandardError()).trimmed();
    m.ok = finished && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
    if (!finished)
        process.kill();
    return m;
}

Measure RunEngine(const Site &site, bool upload, bool passive)
{
    const QString remote = upload ? QStringLiteral("pub/engine-up.bin") : QStringLiteral("source.bin");
    const QString local = upload ? site.Source() : site.Download(QStringLiteral("engine"));
    Measure m = RunProcess(QCoreApplication::applicationFilePath(),
                           {QStringLiteral("--engine"), upload ? QStringLiteral("put") : QStringLiteral("get"), QString::number(site.Port()),
                            passive ? QStringLiteral("1") : QStringLiteral("0"), remote, local});
    const qsizetype at = m.detail.indexOf(QLatin1String("result "));
    const QString result = at >= 0 ? m.detail.mid(at) : QString();
    for (const QString &field : result.split(QLatin1Char(' '))) {
        const QString value = field.section(QLatin1Char('='), 1);
        if (field.startsWith(QLatin1String("session_ms=")))
            m.seconds = value.toDouble() / 1000.0; // measured inside, without the process start
        else if (field.startsWith(QLatin1String("transfer_ms=")))
            m.transferSeconds = value.toDouble() / 1000.0;
        else if (field.startsWith(QLatin1String("hwm_kb=")))
            m.peakKb = value.toLongLong();
        else if (field.startsWith(QLatin1String("cpu_ms=")))
            m.cpuMs = value.toLongLong();
    }
    return m;
}

Measure RunCurl(const QString &curl, const Site &site, bool upload, bool passive)
{
    const QString base = QStringLiteral("ftp://127.0.0.1:%1/").arg(site.Port());
    QStringList args{QStringLiteral("--silent"), QStringLiteral("--show-error"), QStringLiteral("--write-out"),
                     QStringLiteral("time_total=%{time_total}\\n")};
    if (!passive)
        args << QStringLiteral("--ftp-port") << QStringLiteral("127.0.0.1");
    if (upload)
        args << QStringLiteral("--upload-file") << site.Source() << base + QStringLiteral("pub/curl-up.bin");
    else
        args << QStringLiteral("--output") << site.Download(QStringLiteral("curl")) << base + QStringLiteral("source.bin");
    Measure m = RunProcess(curl, args);
    const qsizetype at = m.detail.indexOf(QLatin1String("time_total="));
    if (at >= 0) {
        m.seconds = m.detail.mid(at + 11).section(QLatin1Char('\n'), 0, 0).toDouble();
        m.transferSeconds = m.seconds;
    }
    return m;
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
    int sizeMiB = DefaultSizeMiB;
    int rounds = DefaultRounds;
    bool passive = true;
    const QStringList args = app.arguments();
    for (int i = 1; i < args.size(); ++i) {
        if (args.at(i) == QLatin1String("--size-mib") && i + 1 < args.size())
            sizeMiB = args.at(++i).toInt();
        else if (args.at(i) == QLatin1String("--rounds") && i + 1 < args.size())
            rounds = args.at(++i).toInt();
        else if (args.at(i) == QLatin1String("--active"))
            passive = false;
        else {
            std::fprintf(stderr, "usage: bench_transfer [--size-mib N] [--rounds N] [--active]\n");
            return 2;
        }
    }
    if (sizeMiB <= 0 || rounds <= 0) {
        std::fprintf(stderr, "bench_transfer: size and rounds must be positive\n");
        return 2;
    }

    const QString curl = QStandardPaths::findExecutable(QStringLiteral("curl"));
    if (!QFileInfo::exists(QString::fromLatin1(VsftpdPath)) || curl.isEmpty()) {
        std::fprintf(stderr, "bench_transfer needs %s and the curl tool; install them with:\n"
                             "  apt-get install vsftpd curl\n", VsftpdPath);
        return 2;
    }

    RemoveStaleFolders(FolderPrefix, Out());
    benchsite::InstallCleanup("bench_transfer");

    const qint64 size = qint64(sizeMiB) * 1024 * 1024;
    int status = 0;
    {
        Site site;
        QString error;
        if (!site.Prepare(size, &error) || !site.StartServer(&error)) {
            std::fprintf(stderr, "bench_transfer: %s\n", qPrintable(error));
            return 1;
        }
        Out() << "vsftpd on 127.0.0.1:" << site.Port() << ", " << (passive ? "passive" : "active") << " mode, file of "
              << sizeMiB << " MiB in " << ShmRoot << ", " << rounds << " round(s)" << Qt::endl;

        struct Case {
            const char *name;
            bool engine;
            bool upload;
            std::vector<double> rates;
            std::vector<double> transferRates;
            std::vector<double> cpuMs;
            qint64 peakKb = 0;
        };
        std::vector<Case> cases{{"engine download", true, false, {}, {}, {}}, {"curl download", false, false, {}, {}, {}},
                                {"engine upload", true, true, {}, {}, {}}, {"curl upload", false, true, {}, {}, {}}};
        std::vector<double> downloadRatios, uploadRatios;
        for (int round = 1; round <= rounds && status == 0; ++round) {
            for (Case &c : cases) {
                const QString who = c.engine ? QStringLiteral("engine") : QStringLiteral("curl");
                const QString result = c.upload ? site.Upload(who) : site.Download(who);
                const Measure m = c.engine ? RunEngine(site, c.upload, passive) : RunCurl(curl, site, c.upload, passive);
                QString why;
                if (!m.ok || !SameFiles(site.Source(), result, &why)) {
                    std::fprintf(stderr, "bench_transfer: %s failed: %s %s\n", c.name, qPrintable(why), qPrintable(m.detail));
                    status = 1;
                    break;
                }
                QFile::remove(result);
                const double rate = double(size) / 1e6 / m.seconds;
                c.rates.push_back(rate);
                c.transferRates.push_back(double(size) / 1e6 / m.transferSeconds);
                c.peakKb = std::max(c.peakKb, m.peakKb);
                if (m.cpuMs >= 0)
                    c.cpuMs.push_back(double(m.cpuMs));
                Out() << QStringLiteral("  round %1  %2  %3 MB/s  (%4 s)").arg(round).arg(QLatin1String(c.name), -16)
                             .arg(rate, 8, 'f', 1).arg(m.seconds, 0, 'f', 3)
                      << Qt::endl;
            }
            // Engine and curl of the same round ran one after the other on
            // the same machine load: their ratio is the fair comparison.
            if (status == 0) {
                downloadRatios.push_back(cases[0].rates.back() / cases[1].rates.back());
                uploadRatios.push_back(cases[2].rates.back() / cases[3].rates.back());
                Out() << QStringLiteral("  round %1  engine/curl  download %2, upload %3")
                             .arg(round)
                             .arg(downloadRatios.back(), 0, 'f', 2)
                             .arg(uploadRatios.back(), 0, 'f', 2)
                      << Qt::endl;
            }
        }
        if (status == 0) {
            Out() << "median over " << rounds << " round(s), session rates (connect, login and transfer):" << Qt::endl;
            for (const Case &c : cases)
                Out() << QStringLiteral("  %1 %2 MB/s").arg(QLatin1String(c.name), -16).arg(Median(c.rates), 8, 'f', 1) << Qt::endl;
            Out() << QStringLiteral("  engine/curl download %1, upload %2")
                         .arg(Median(cases[0].rates) / Median(cases[1].rates), 0, 'f', 2)
                         .arg(Median(cases[2].rates) / Median(cases[3].rates), 0, 'f', 2)
                  << Qt::endl;
            Out() << QStringLiteral("  engine/curl paired per round, median: download %1, upload %2")
                         .arg(Median(downloadRatios), 0, 'f', 2)
                         .arg(Median(uploadRatios), 0, 'f', 2)
                  << Qt::endl;
            Out() << QStringLiteral("  engine transfer alone (from the command to its completion): download %1 MB/s, upload %2 MB/s")
                         .arg(Median(cases[0].transferRates), 0, 'f', 1)
                         .arg(Median(cases[2].transferRates), 0, 'f', 1)
                  << Qt::endl;
            Out() << QStringLiteral("  engine processor time (user and system), median: download %1 ms, upload %2 ms")
                         .arg(Median(cases[0].cpuMs), 0, 'f', 0)
                         .arg(Median(cases[2].cpuMs), 0, 'f', 0)
                  << Qt::endl;
            Out() << QStringLiteral("  engine peak resident memory: download %1 KiB, upload %2 KiB")
                         .arg(cases[0].peakKb)
                         .arg(cases[2].peakKb)
                  << Qt::endl;
        }
    }
    return status;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc > 1 && std::strcmp(argv[1], "--engine") == 0)
        return RunEngineTransfer(argc, argv);
    return RunBenchmark(argc, argv);
}
