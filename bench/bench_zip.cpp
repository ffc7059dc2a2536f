// Packing speed and memory of TZipEngine next to Info-ZIP's zip tool (Debian
// package zip) on the same folder of mixed files under /dev/shm.
//
//   bench_zip [--size-mib N] [--level L] [--rounds N] [--zip64]
//
// Builds a folder of N MiB (1024 by default): large compressible text files,
// large random files, and many small files of both kinds in nested folders.
// Each round packs it with the engine (in a child process of this program,
// so that its peak memory is its own) and with "zip -r -L" (L = 6 by
// default), checks the engine's archive with "unzip -tq" and its file count
// against the folder's, and prints both times, the ratio zip time / engine
// time, both archive sizes and the engine's peak resident memory. The best
// round of each counts. Goals: ratio >= 0.8, peak memory <= 64 MiB. The
// processor time of both (user + system) is shown too: on a busy machine it
// is the steadier comparison.
//
// --zip64 then packs one sparse file of 4.3 GiB at level 1 (sizes beyond
// 4 GiB need zip64 entries), checks it with "unzip -tq" and shows the
// engine's time and peak memory there too.
//
// The folder goes away at the end, on an error and on SIGINT/SIGTERM/SIGHUP;
// a folder left by a killed run is removed by the next one.

#include "ZipEngine.h"

#include <QByteArray>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QString>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <spawn.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char **environ;

namespace {

constexpr const char *ShmRoot = "/dev/shm";
constexpr const char *FolderPrefix = "velmar-bench-zip-";
constexpr qint64 MiB = 1024 * 1024;
constexpr double RatioGoal = 0.8;
constexpr qint64 MemoryGoalKb = 64 * 1024;

// ---------------------------------------------------------------------------
// Engine side: one compression in a child process.

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

// argv: --engine ARCHIVE FOLDER LEVEL
int RunEngine(char **argv)
{
    TZipEngine engine;
    engine.SetZipName(QString::fromLocal8Bit(argv[2]));
    engine.SetFilesList({QString::fromLocal8Bit(argv[3]) + QStringLiteral("/*.*")});
    engine.SetPackLevel(std::atoi(argv[4]));
    engine.SetRecurse(true);
    engine.SetStorePaths(true);
    int lastPercent = -1;
    bool monotonic = true;
    engine.OnTotalPercentDone = [&](TZipEngine *, int percent) {
        monotonic = monotonic && percent > lastPercent;
        lastPercent = percent;
    };
    QElapsedTimer timer;
    timer.start();
    const int files = engine.Zip();
    const qint64 ms = timer.elapsed();
    const bool ok = engine.ErrorText().isEmpty() && lastPercent == 100 && monotonic;
    std::printf("result ok=%d files=%d ms=%lld hwm_kb=%lld error=%s\n", ok ? 1 : 0, files,
                static_cast<long long>(ms), static_cast<long long>(PeakResidentKb()),
                engine.ErrorText().isEmpty() ? "-" : qPrintable(engine.ErrorText()));
    return ok ? 0 : 1;
}

// ---------------------------------------------------------------------------
// Children: spawned with their own process group, dying with this program;
// waited with their resource usage.

volatile pid_t g_child = 0;
char g_folder[512] = {0};

struct TChildResult {
    int status = -1;
    qint64 wallMs = 0;
    qint64 cpuMs = 0;
    qint64 maxRssKb = 0;
    QByteArray output;
};

TChildResult RunChild(const std::vector<QByteArray> &args, const QByteArray &workingDir)
{
    TChildResult result;
    int pipeFds[2];
    if (::pipe2(pipeFds, O_CLOEXEC) != 0)
        return result;
    QElapsedTimer timer;
    timer.start();
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::setpgid(0, 0);
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);
        ::dup2(pipeFds[1], STDOUT_FILENO);
        if (!workingDir.isEmpty() && ::chdir(workingDir.constData()) != 0)
            ::_exit(126);
        std::vector<char *> argv;
        for (const QByteArray &arg : args)
            argv.push_back(const_cast<char *>(arg.constData()));
        argv.push_back(nullptr);
        ::execvp(argv[0], argv.data());
        ::_exit(127);
    }
    ::close(pipeFds[1]);
    if (pid < 0) {
        ::close(pipeFds[0]);
        return result;
    }
    g_child = pid;
    char buffer[4096];
    ssize_t got;
    while ((got = ::read(pipeFds[0], buffer, sizeof buffer)) != 0) {
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            break;
        result.output.append(buffer, got);
    }
    ::close(pipeFds[0]);
    int status = 0;
    rusage usage {};
    while (::wait4(pid, &status, 0, &usage) < 0 && errno == EINTR) {
    }
    g_child = 0;
    result.wallMs = timer.elapsed();
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    result.maxRssKb = usage.ru_maxrss;
    result.cpuMs = (qint64(usage.ru_utime.tv_sec) + qint64(usage.ru_stime.tv_sec)) * 1000 +
                   (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1000;
    return result;
}

void RemoveFolder()
{
    if (g_folder[0] == 0)
        return;
    const pid_t pid = ::fork();
    if (pid == 0) {
        const char *argv[] = {"rm", "-rf", g_folder, nullptr};
        ::execv("/bin/rm", const_cast<char **>(argv));
        ::_exit(127);
    }
    if (pid > 0)
        while (::waitpid(pid, nullptr, 0) < 0 && errno == EINTR) {
        }
}

extern "C" void OnFatalSignal(int signal)
{
    if (g_child > 0)
        ::kill(-g_child, SIGKILL);
    RemoveFolder();
    static const char text[] = "bench_zip: interrupted, files removed\n";
    (void)!::write(STDERR_FILENO, text, sizeof text - 1);
    ::signal(signal, SIG_DFL);
    ::raise(signal);
}

void RemoveStaleFolders()
{
    const QDir shm(QString::fromLatin1(ShmRoot));
    for (const QString &name : shm.entryList({QString::fromLatin1(FolderPrefix) + QLatin1Char('*')}, QDir::Dirs)) {
        const pid_t pid = pid_t(name.mid(int(std::strlen(FolderPrefix))).toInt());
        if (pid > 0 && ::kill(pid, 0) == 0)
            continue;
        QDir(shm.filePath(name)).removeRecursively();
        std::printf("removed the folder of an earlier run: %s\n", qPrintable(shm.filePath(name)));
    }
}

// ---------------------------------------------------------------------------
// The folder of mixed files.

class TRandom
{
public:
    explicit TRandom(quint64 seed) : state(seed * 0x9E3779B97F4A7C15ull + 1) {}
    quint64 Next()
    {
        state ^= state << 13;
        state ^= state >> 7;
        state ^= state << 17;
        return state;
    }
    qint64 Between(qint64 low, qint64 high) { return low + qint64(Next() % quint64(high - low + 1)); }

private:
    quint64 state;
};

// Text of French and English words in lines of varying length: deflate
// shrinks it to roughly a third, as it does real documents and pages.
QByteArray MakeText(qint64 size, TRandom &random)
{
    static const char *const words[] = {
        "le", "la", "les", "un", "une", "des", "site", "fichier", "dossier", "serveur", "client", "transfert",
        "archive", "page", "lien", "image", "texte", "connexion", "mot", "passe", "utilisateur", "distant",
        "local", "mise", "jour", "programmation", "compression", "envoi", "répertoire", "courant", "the", "and",
        "of", "to", "in", "is", "for", "with", "that", "this", "file", "folder", "server", "upload", "download",
        "index.html", "style.css", "<div", "class=\"contenu\">", "</div>", "<p>", "</p>", "href=\"#\"", "2024",
        "12:45", "octets", "Ko", "Mo", "erreur", "réponse", "commande", "liste", "date", "taille", "type", "nom",
        "valeur", "paramètres", "explorateur", "rapide", "impression", "aperçu", "données", "client-serveur",
        "identifiant", "{", "}", "=", ";", "return", "function", "var", "const", "if", "else", "0", "1", "42",
        "3.14", "velmar", "ftp://", "http://", "www", "exemple", "com", "fr", "org", "bonjour", "merci"};
    constexpr int wordCount = int(sizeof words / sizeof words[0]);
    QByteArray text;
    text.reserve(size + 64);
    int lineLength = 0;
    while (text.size() < size) {
        const quint64 r = random.Next();
        text += words[r % wordCount];
        lineLength += 8;
        if (lineLength > 40 + int((r >> 20) % 60)) {
            text += "\r\n";
            lineLength = 0;
        } else {
            text += ' ';
        }
    }
    text.resize(size);
    return text;
}

QByteArray MakeNoise(qint64 size, TRandom &random)
{
    QByteArray bytes(size, Qt::Uninitialized);
    qint64 i = 0;
    for (; i + 8 <= size; i += 8) {
        const quint64 r = random.Next();
        std::memcpy(bytes.data() + i, &r, 8);
    }
    for (; i < size; ++i)
        bytes[i] = char(random.Next());
    return bytes;
}

struct TTree {
    int files = 0;
    qint64 bytes = 0;
};

// 40 % large text files, 40 % large random files, 20 % small files of both
// kinds (1 to 32 KiB), a hundred to a folder, two levels deep.
bool MakeTree(const QString &root, qint64 totalBytes, TTree *tree)
{
    TRandom random(2024);
    // One pool of unique text and one of noise; files are slices of them at
    // different offsets, further apart than deflate's 32 KiB window.
    const qint64 poolSize = std::min<qint64>(64 * MiB, std::max<qint64>(totalBytes / 4, 4 * MiB));
    const QByteArray text = MakeText(poolSize, random);
    const QByteArray noise = MakeNoise(poolSize, random);
    const auto slice = [&](const QByteArray &pool, qint64 size, const QString &path) {
        qint64 done = 0;
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly))
            return false;
        while (done < size) {
            const qint64 offset = random.Between(0, pool.size() / 2);
            const qint64 part = std::min<qint64>(size - done, pool.size() - offset);
            if (file.write(pool.constData() + offset, part) != part)
                return false;
            done += part;
        }
        tree->files += 1;
        tree->bytes += size;
        return true;
    };

    if (!QDir().mkpath(root + QStringLiteral("/documents")) || !QDir().mkpath(root + QStringLiteral("/medias")))
        return false;
    const qint64 largeText = totalBytes * 4 / 10, largeNoise = totalBytes * 4 / 10;
    qint64 made = 0;
    for (int i = 0; made < largeText; ++i) {
        const qint64 size = std::min(largeText - made, random.Between(4 * MiB, 48 * MiB));
        if (!slice(text, size, root + QStringLiteral("/documents/rapport-%1.txt").arg(i)))
            return false;
        made += size;
    }
    made = 0;
    for (int i = 0; made < largeNoise; ++i) {
        const qint64 size = std::min(largeNoise - made, random.Between(8 * MiB, 96 * MiB));
        if (!slice(noise, size, root + QStringLiteral("/medias/video-%1.bin").arg(i)))
            return false;
        made += size;
    }
    const qint64 small = totalBytes - largeText - largeNoise;
    made = 0;
    for (int i = 0; made < small; ++i) {
        const QString folder =
            root + QStringLiteral("/site/rubrique-%1/page-%2").arg(i / 1000).arg((i / 100) % 10);
        if (i % 100 == 0 && !QDir().mkpath(folder))
            return false;
        const qint64 size = std::min(small - made, random.Between(1024, 32 * 1024));
        const bool isText = random.Next() % 3 != 0;
        if (!slice(isText ? text : noise, size,
                   folder + (isText ? QStringLiteral("/page-%1.html") : QStringLiteral("/image-%1.png")).arg(i)))
            return false;
        made += size;
    }
    return true;
}

QByteArray Field(const QByteArray &output, const QByteArray &key)
{
    for (const QByteArray &word : output.simplified().split(' '))
        if (word.startsWith(key + '='))
            return word.mid(key.size() + 1);
    return QByteArray();
}

} // namespace

int main(int argc, char **argv)
{
    if (argc == 5 && std::strcmp(argv[1], "--engine") == 0)
        return RunEngine(argv);

    int sizeMiB = 1024, level = 6, rounds = 1;
    bool zip64 = false;
    for (int i = 1; i < argc; i += 2) {
        if (std::strcmp(argv[i], "--zip64") == 0) {
            zip64 = true;
            --i;
        } else if (i + 1 >= argc) {
            std::fprintf(stderr, "usage: bench_zip [--size-mib N] [--level L] [--rounds N] [--zip64]\n");
            return 2;
        } else if (std::strcmp(argv[i], "--size-mib") == 0)
            sizeMiB = std::max(1, std::atoi(argv[i + 1]));
        else if (std::strcmp(argv[i], "--level") == 0)
            level = std::clamp(std::atoi(argv[i + 1]), 0, 9);
        else if (std::strcmp(argv[i], "--rounds") == 0)
            rounds = std::max(1, std::atoi(argv[i + 1]));
        else {
            std::fprintf(stderr, "usage: bench_zip [--size-mib N] [--level L] [--rounds N] [--zip64]\n");
            return 2;
        }
    }
    if (::access("/usr/bin/zip", X_OK) != 0 || ::access("/usr/bin/unzip", X_OK) != 0) {
        std::fprintf(stderr, "bench_zip needs the zip and unzip tools (scripts/install-bench-deps.sh installs them)\n");
        return 2;
    }
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    RemoveStaleFolders();

    const QString folder = QStringLiteral("%1/%2%3").arg(QString::fromLatin1(ShmRoot), QString::fromLatin1(FolderPrefix)).arg(::getpid());
    const QByteArray folderBytes = QFile::encodeName(folder);
    std::snprintf(g_folder, sizeof g_folder, "%s", folderBytes.constData());
    for (int s : {SIGINT, SIGTERM, SIGHUP})
        ::signal(s, OnFatalSignal);

    int exitCode = 0;
    [&] {
        const QString source = folder + QStringLiteral("/source");
        TTree tree;
        QElapsedTimer timer;
        timer.start();
        if (!MakeTree(source, qint64(sizeMiB) * MiB, &tree)) {
            std::fprintf(stderr, "cannot write the files under %s\n", qPrintable(folder));
            exitCode = 1;
            return;
        }
        std::printf("folder: %d files, %.1f MiB under %s (made in %.1f s)\n", tree.files, double(tree.bytes) / MiB,
                    qPrintable(source), timer.elapsed() / 1000.0);

        const QByteArray self = QFile::encodeName(QFileInfo(QString::fromLocal8Bit(argv[0])).absoluteFilePath());
        const QByteArray engineZip = folderBytes + "/engine.zip";
        const QByteArray toolZip = folderBytes + "/tool.zip";
        qint64 bestEngine = -1, bestTool = -1, peakKb = 0, engineSize = 0, toolSize = 0;
        qint64 bestEngineCpu = -1, bestToolCpu = -1;
        for (int round = 1; round <= rounds; ++round) {
            QFile::remove(QString::fromLocal8Bit(engineZip));
            const TChildResult engine = RunChild(
                {self, "--engine", engineZip, QFile::encodeName(source), QByteArray::number(level)}, QByteArray());
            const int files = Field(engine.output, "files").toInt();
            const qint64 hwm = Field(engine.output, "hwm_kb").toLongLong();
            if (engine.status != 0 || files != tree.files) {
                std::fprintf(stderr, "engine failed (status %d, %d files of %d): %s\n", engine.status, files,
                             tree.files, engine.output.constData());
                exitCode = 1;
                return;
            }
            const TChildResult check = RunChild({"unzip", "-tqq", engineZip}, QByteArray());
            if (check.status != 0) {
                std::fprintf(stderr, "unzip -t finds the engine's archive damaged: %s\n", check.output.constData());
                exitCode = 1;
                return;
            }
            engineSize = QFileInfo(QString::fromLocal8Bit(engineZip)).size();

            QFile::remove(QString::fromLocal8Bit(toolZip));
            const TChildResult tool = RunChild(
                {"zip", "-r", "-q", "-" + QByteArray::number(level), toolZip, "source"}, folderBytes);
            if (tool.status != 0) {
                std::fprintf(stderr, "zip failed with status %d\n", tool.status);
                exitCode = 1;
                return;
            }
            toolSize = QFileInfo(QString::fromLocal8Bit(toolZip)).size();

            std::printf("round %d: engine %.2f s, processor %.2f s (peak %lld KiB, %d files); "
                        "zip %.2f s, processor %.2f s (peak %lld KiB)\n",
                        round, engine.wallMs / 1000.0, engine.cpuMs / 1000.0, static_cast<long long>(hwm), files,
                        tool.wallMs / 1000.0, tool.cpuMs / 1000.0, static_cast<long long>(tool.maxRssKb));
            bestEngine = bestEngine < 0 ? engine.wallMs : std::min(bestEngine, engine.wallMs);
            bestTool = bestTool < 0 ? tool.wallMs : std::min(bestTool, tool.wallMs);
            bestEngineCpu = bestEngineCpu < 0 ? engine.cpuMs : std::min(bestEngineCpu, engine.cpuMs);
            bestToolCpu = bestToolCpu < 0 ? tool.cpuMs : std::min(bestToolCpu, tool.cpuMs);
            peakKb = std::max({peakKb, hwm, engine.maxRssKb});
        }

        const double ratio = double(bestTool) / double(std::max<qint64>(bestEngine, 1));
        const double mbps = double(tree.bytes) / 1e6 / (double(bestEngine) / 1000.0);
        std::printf("level %d: engine %.2f s (%.0f MB/s), zip %.2f s\n", level, bestEngine / 1000.0, mbps,
                    bestTool / 1000.0);
        std::printf("archives: engine %.1f MiB, zip %.1f MiB\n", double(engineSize) / MiB, double(toolSize) / MiB);
        std::printf("ratio zip time / engine time: %.2f (goal >= %.1f): %s\n", ratio, RatioGoal,
                    ratio >= RatioGoal ? "met" : "NOT MET");
        std::printf("ratio of processor times: %.2f (engine %.2f s, zip %.2f s)\n",
                    double(bestToolCpu) / double(std::max<qint64>(bestEngineCpu, 1)), bestEngineCpu / 1000.0,
                    bestToolCpu / 1000.0);
        std::printf("engine peak memory: %.1f MiB (goal <= %lld MiB): %s\n", double(peakKb) / 1024.0,
                    static_cast<long long>(MemoryGoalKb / 1024), peakKb <= MemoryGoalKb ? "met" : "NOT MET");
        if (ratio < RatioGoal || peakKb > MemoryGoalKb)
            exitCode = 1;

        if (!zip64)
            return;
        QDir(source).removeRecursively();
        QFile::remove(QString::fromLocal8Bit(engineZip));
        QFile::remove(QString::fromLocal8Bit(toolZip));
        const QString large = folder + QStringLiteral("/large");
        QDir().mkpath(large);
        QFile sparse(large + QStringLiteral("/disque.img"));
        const qint64 largeSize = 4400 * MiB;
        if (!sparse.open(QIODevice::WriteOnly) || !sparse.resize(largeSize)) {
            std::fprintf(stderr, "cannot make the sparse file\n");
            exitCode = 1;
            return;
        }
        sparse.close();
        const TChildResult engine =
            RunChild({self, "--engine", engineZip, QFile::encodeName(large), "1"}, QByteArray());
        const TChildResult check = RunChild({"unzip", "-tqq", engineZip}, QByteArray());
        const TChildResult listing = RunChild({"unzip", "-Zv", engineZip}, QByteArray());
        const bool hasZip64 = listing.output.contains("64-bit sizes"); // the zip64 extra field
        std::printf("zip64: %.1f GiB file packed in %.2f s, peak %.1f MiB, archive %.1f MiB, unzip -t %s, %s\n",
                    double(largeSize) / (1024.0 * MiB), engine.wallMs / 1000.0,
                    double(Field(engine.output, "hwm_kb").toLongLong()) / 1024.0,
                    double(QFileInfo(QString::fromLocal8Bit(engineZip)).size()) / MiB,
                    check.status == 0 ? "passed" : "FAILED", hasZip64 ? "zip64 entry" : "NO zip64 entry");
        if (engine.status != 0 || check.status != 0 || !hasZip64)
            exitCode = 1;
    }();

    RemoveFolder();
    g_folder[0] = 0;
    return exitCode;
}
