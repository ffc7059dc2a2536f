// Parses a generated 1,000,000-line Unix-style listing into one entry list,
// as the listing step does, and reports the speed and the peak memory; then
// sorts 100,000 of its entries by name, size and date.

#include "FtpData.h"
#include "FtpParse.h"

#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QStringList>

#include <cstdio>
#include <vector>
#include <sys/resource.h>

namespace {

constexpr int TotalLines = 1000000;
constexpr int ChunkLines = 10000;
constexpr int SortedEntries = 100000;

const char *const Months[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                              "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

QString GeneratedLine(QRandomGenerator &random, int i)
{
    const int kind = int(random.bounded(20));
    const char *attrib = kind == 0 ? "drwxr-xr-x" : (kind == 1 ? "lrwxrwxrwx" : "-rw-r--r--");
    const QString month = QString::fromLatin1(Months[random.bounded(12)]);
    const int day = int(random.bounded(1, 29));
    const QString when = random.bounded(2) == 0
                             ? QString::asprintf("%02d:%02d", int(random.bounded(24)),
                                                 int(random.bounded(60)))
                             : QString::asprintf(" %d", int(random.bounded(1995, 2024)));
    QString line = QString::asprintf("%s %3d %-8s %-8s %10lld ", attrib, int(random.bounded(1, 9)),
                                     "user", "group", qint64(random.bounded(1 << 30)) * 7)
                   + month + QString::asprintf(" %2d ", day) + when
                   + QString::asprintf(" file_%06x_%d%s", random.bounded(1 << 24), i,
                                       kind == 2 ? " with blanks.txt" : ".dat");
    if (kind == 1)
        line += QStringLiteral(" -> target/dir");
    return line;
}

// The process's peak resident size so far, in MB.
double PeakMegabytes()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_maxrss) / 1024.0;
}

double Milliseconds(const QElapsedTimer &timer) { return double(timer.nsecsElapsed()) / 1e6; }

} // namespace

int main()
{
    QRandomGenerator random(1996);
    TVexFtpListState state;
    bool isDirectory = false;
    // Speed: the parser alone, one entry reused, the first entries kept
    // for the sorts below.
    qint64 parseNanoseconds = 0;
    int accepted = 0;
    QStringList chunk;
    chunk.reserve(ChunkLines);
    VexFtpFileInfo entry;
    TVexFtpFileInfoList entries;
    for (int done = 0; done < TotalLines; done += ChunkLines) {
        chunk.clear();
        for (int i = 0; i < ChunkLines; ++i)
            chunk.append(GeneratedLine(random, done + i));
        QElapsedTimer timer;
        timer.start();
        for (const QString &line : chunk) {
            if (ParseListLine(ftpstUNIX, line, state, entry, isDirectory)) {
                ++accepted;
                if (entries.Count() < SortedEntries)
                    entries.AddInfo(entry);
            }
        }
        parseNanoseconds += timer.nsecsElapsed();
    }
    const double parseSeconds = double(parseNanoseconds) / 1e9;
    std::printf("parsed %d lines (%d accepted) in %.3f s: %.0f lines/s\n", TotalLines, accepted,
                parseSeconds, TotalLines / parseSeconds);

    // Memory: the same listing again, every entry kept in one list as the
    // listing step keeps a folder's files.
    {
        QRandomGenerator again(1996);
        TVexFtpListState fresh;
        TVexFtpFileInfoList all;
        QElapsedTimer timer;
        qint64 nanoseconds = 0;
        for (int done = 0; done < TotalLines; done += ChunkLines) {
            chunk.clear();
            for (int i = 0; i < ChunkLines; ++i)
                chunk.append(GeneratedLine(again, done + i));
            timer.start();
            for (const QString &line : chunk) {
                if (ParseListLine(ftpstUNIX, line, fresh, entry, isDirectory))
                    all.AddInfo(entry);
            }
            nanoseconds += timer.nsecsElapsed();
        }
        std::printf("%d entries parsed and held in %.3f s: peak %.0f MB for the whole process\n", all.Count(),
                    double(nanoseconds) / 1e9, PeakMegabytes());
    }

    const struct {
        FileInfoColumn column;
        const char *name;
    } sorts[] = {{colName, "name"}, {colSize, "size"}, {colDateTime, "date"}};
    for (const auto &sort : sorts) {
        TVexFtpFileInfoList list(entries);
        QElapsedTimer timer;
        timer.start();
        list.Sort(sort.column, true);
        std::printf("sorted %d entries by %s in %.1f ms\n", list.Count(), sort.name,
                    Milliseconds(timer));
    }
    return 0;
}
