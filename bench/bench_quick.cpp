// Transfer speed of the quick explorer's connection object (TBTFTPConnection,
// on libcurl) on loopback, next to the curl tool on the same files and the
// same server: a local vsftpd that this program starts with its own
// configuration, serving a folder under /dev/shm.
//
//   bench_quick [--size-mib N] [--rounds N] [--active]
//
// Each round downloads and uploads one file of N MiB (1024 by default)
// through TBTFTPConnection and through the curl tool, checks every copy
// byte for byte, and prints the rates (MB = 10^6 bytes) with the ratio of
// the pair, then the medians and the connection object's peak resident
// memory. Each TBTFTPConnection transfer runs in a child process of this
// program (an event loop, progress reports on, as in the window), so that
// its peak memory is its own.
//
// The server and the files go away whatever happens: on a normal end, on
// an error, on SIGINT/SIGTERM/SIGHUP (files removed from the handler), and
// on SIGKILL the server dies with this program (parent-death signal) and
// the next run removes the folder left behind.

#include "BTFTPConnection.h"
#include "QuickOwner.h"
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

// Not "velmar-bench-": bench_transfer removes folders of that prefix whose
// number is no running process.
constexpr const char *FolderPrefix = "velmar-quickbench-";
constexpr int DefaultSizeMiB = 1024;
constexpr int DefaultRounds = 3;
constexpr int TransferTimeoutMs = 10 * 60 * 1000;
constexpr qint64 CompareBlock = 4 * 1024 * 1024;
// What the connection object must reach: its rate at least this share of
// curl's, its peak resident memory at most this much.
constexpr double TargetRatio = 0.9;
constexpr qint64 TargetPeakKb = 32 * 1024;

QTextStream &Out()
{
    static QTextStream stream(stdout);
    return stream;
}

// ---------------------------------------------------------------------------
// Connection object side: one transfer in a child process.

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

// The panel's part, as little as a transfer needs: progress on (counted),
// messages kept for the failure report.
class BenchOwner : public TBTFTPOwner
{
public:
    BenchOwner() : connection(*this)
    {
        SetFTPOptions(doDisplayProgress);
        OnDisplayProgress = [this](TBTFTPConnection *, qint64, qint64, qint64, qint64, const QString &, const QString &) {
            ++reports;
        };
    }
    void DisplayInfo(const QString &format, const QStringList &) override { last = format; }
    void DisplayError(const QString &format, const QStringList &) override { last = format; }
    void UploadDone() override {}
    bool Busy() const override { return false; }
    TBTFTPConnection &FtpConnection() override { return connection; }

    TBTFTPConnection connection;
    int reports = 0;
    QString last;
};

// argv: --engine get|put PORT passive(0|1) REMOTE LOCAL SIZE
int RunEngineTransfer(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 8) {
        std::fprintf(stderr, "engine child: bad arguments\n");
        return 2;
    }
    const bool upload = args.at(2) == QLatin1String("put");
    const quint16 port = quint16(args.at(3).toUInt());
    const bool passive = args.at(4) == QLatin1String("1");
    const QString remote = args.at(5);
    const QString local = args.at(6);
    const qint64 size = args.at(7).toLongLong();

    BenchOwner owner;
    owner.connection.SetTransferType(ttBinary);
    QElapsedTimer session, transfer;
    qint64 transferMs = -1;
    bool ok = false;
    QString failure;
    // The transfer runs from the event loop, as a click in the window would
    // start it.
    QTimer::singleShot(0, &app, [&] {
        session.start();
        if (!owner.connection.Open(QStringLiteral("127.0.0.1"), QStringLiteral("anonymous"), port, passive,
                                   upload ? QStringLiteral("pub") : QString(), QStringLiteral("bench"))) {
            failure = QStringLiteral("open failed");
        } else {
            transfer.start();
            ok = upload ? owner.connection.Upload(local, remote) : owner.connection.Download(remote, local, size);
            transferMs = transfer.elapsed();
            if (!ok) {
                QString reply;
                owner.connection.LastResponse(reply);
                failure = QStringLiteral("transfer failed: %1 %2").arg(owner.connection.LocalError(), reply.simplified());
            }
        }
        app.quit();
    });
    app.exec();
    const qint64 sessionMs = session.elapsed();
    owner.connection.Close();
    std::printf("result ok=%d session_ms=%lld transfer_ms=%lld reports=%d hwm_kb=%lld error=%s\n", ok ? 1 : 0,
                static_cast<long long>(sessionMs), static_cast<long long>(transferMs), owner.reports,
                static_cast<long long>(PeakResidentKb()),
                qPrintable(failure.isEmpty() ? QStringLiteral("-") : QString(failure).replace(QLatin1Char(' '), QLatin1Char('_'))));
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

Measure RunEngine(const Site &site, bool upload, bool passive, qint64 size)
{
    const QString remote = upload ? QStringLiteral("engine-up.bin") : QStringLiteral("source.bin");
    const QString local = upload ? site.Source() : site.Download(QStringLiteral("engine"));
    Measure m = RunProcess(QCoreApplication::applicationFilePath(),
                           {QStringLiteral("--engine"), upload ? QStringLiteral("put") : QStringLiteral("get"), QString::number(site.Port()),
                            passive ? QStringLiteral("1") : QStringLiteral("0"), remote, local, QString::number(size)});
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
            std::fprintf(stderr, "usage: bench_quick [--size-mib N] [--rounds N] [--active]\n");
            return 2;
        }
    }
    if (sizeMiB <= 0 || rounds <= 0) {
        std::fprintf(stderr, "bench_quick: size and rounds must be positive\n");
        return 2;
    }

    const QString curl = QStandardPaths::findExecutable(QStringLiteral("curl"));
    if (!QFileInfo::exists(QString::fromLatin1(VsftpdPath)) || curl.isEmpty()) {
        std::fprintf(stderr, "bench_quick needs %s and the curl tool; install them with:\n"
                             "  apt-get install vsftpd curl\n", VsftpdPath);
        return 2;
    }

    RemoveStaleFolders(FolderPrefix, Out());
    benchsite::InstallCleanup("bench_quick");

    const qint64 size = qint64(sizeMiB) * 1024 * 1024;
    int status = 0;
    {
        Site site;
        QString error;
        if (!site.Prepare(size, &error) || !site.StartServer(&error)) {
            std::fprintf(stderr, "bench_quick: %s\n", qPrintable(error));
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
            qint64 peakKb = 0;
        };
        // Each pair runs back to back, the two sides alternating who goes
        // first from round to round, so that both meet the same machine.
        std::vector<Case> cases{{"quick download", true, false, {}, {}}, {"curl download", false, false, {}, {}},
                                {"quick upload", true, true, {}, {}}, {"curl upload", false, true, {}, {}}};
        for (int round = 1; round <= rounds && status == 0; ++round) {
            for (int pair = 0; pair < 2 && status == 0; ++pair) {
                const int first = pair * 2 + (round % 2 == 0 ? 1 : 0);
                for (const int index : {first, pair * 2 + 1 - (first - pair * 2)}) {
                    Case &c = cases[size_t(index)];
                    const QString who = c.engine ? QStringLiteral("engine") : QStringLiteral("curl");
                    const QString result = c.upload ? site.Upload(who) : site.Download(who);
                    const Measure m = c.engine ? RunEngine(site, c.upload, passive, size) : RunCurl(curl, site, c.upload, passive);
                    QString why;
                    if (!m.ok || !SameFiles(site.Source(), result, &why)) {
                        std::fprintf(stderr, "bench_quick: %s failed: %s %s\n", c.name, qPrintable(why), qPrintable(m.detail));
                        status = 1;
                        break;
                    }
                    QFile::remove(result);
                    c.rates.push_back(double(size) / 1e6 / m.seconds);
                    c.transferRates.push_back(double(size) / 1e6 / m.transferSeconds);
                    c.peakKb = std::max(c.peakKb, m.peakKb);
                }
                if (status != 0)
                    break;
                const Case &quick = cases[size_t(pair * 2)];
                const Case &tool = cases[size_t(pair * 2 + 1)];
                Out() << QStringLiteral("  round %1  %2  quick %3 MB/s  curl %4 MB/s  ratio %5")
                             .arg(round)
                             .arg(QLatin1String(pair == 0 ? "download" : "upload  "))
                             .arg(quick.rates.back(), 7, 'f', 1)
                             .arg(tool.rates.back(), 7, 'f', 1)
                             .arg(quick.rates.back() / tool.rates.back(), 0, 'f', 2)
                      << Qt::endl;
            }
        }
        if (status == 0) {
            const double down = Median(cases[0].rates) / Median(cases[1].rates);
            const double up = Median(cases[2].rates) / Median(cases[3].rates);
            Out() << "median over " << rounds << " round(s), session rates (connect, login and transfer):" << Qt::endl;
            for (const Case &c : cases)
                Out() << QStringLiteral("  %1 %2 MB/s").arg(QLatin1String(c.name), -16).arg(Median(c.rates), 8, 'f', 1) << Qt::endl;
            Out() << QStringLiteral("  quick/curl download %1, upload %2 (target >= %3)")
                         .arg(down, 0, 'f', 2)
                         .arg(up, 0, 'f', 2)
                         .arg(TargetRatio, 0, 'f', 2)
                  << Qt::endl;
            Out() << QStringLiteral("  quick transfer alone: download %1 MB/s, upload %2 MB/s")
                         .arg(Median(cases[0].transferRates), 0, 'f', 1)
                         .arg(Median(cases[2].transferRates), 0, 'f', 1)
                  << Qt::endl;
            Out() << QStringLiteral("  quick peak resident memory: download %1 KiB, upload %2 KiB (target <= %3 KiB)")
                         .arg(cases[0].peakKb)
                         .arg(cases[2].peakKb)
                         .arg(TargetPeakKb)
                  << Qt::endl;
            const bool met = down >= TargetRatio && up >= TargetRatio && cases[0].peakKb <= TargetPeakKb
                             && cases[2].peakKb <= TargetPeakKb;
            Out() << "  targets " << (met ? "met" : "MISSED") << Qt::endl;
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
