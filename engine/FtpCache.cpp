#include "FtpCache.h"

#include "FtpCacheTesting.h"
#include "FtpData.h"
#include "FtpMisc.h"

#include <QByteArray>
#include <QDate>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <array>
#include <limits>

namespace {

// No listing value comes near this; a longer line means a broken file, and
// reading stops before holding it in memory.
constexpr qint64 LineLimit = 64 * 1024;

struct CacheState {
    int today = 0;
    int todayOverride = 0;
    QString directoryOverride;
};

CacheState &State()
{
    static CacheState state;
    return state;
}

QString CacheDirectory()
{
    const CacheState &state = State();
    return state.directoryOverride.isEmpty() ? ListingCacheDirectory() : state.directoryOverride;
}

void TakeToday() { State().today = DateStamp(QDate::currentDate()); }

// After a failed write the folder may have gone; the date may have moved on.
void SetUpCacheFolderAgain()
{
    QDir().mkpath(CacheDirectory());
    TakeToday();
}

int FileDateStamp(const QFileInfo &info) { return DateStamp(info.lastModified().date()); }

bool HoldsLineBreak(const QString &value)
{
    return value.contains(u'\n') || value.contains(u'\r');
}

class LineReader {
public:
    explicit LineReader(QFile &file) : m_file(file), m_buffer(LineLimit + 3, '\0') {}

    // False at the end of the file, on a read error, on a line without its
    // line end (a truncated file) and on a line longer than LineLimit.
    bool Next(QString &line)
    {
        qint64 n = m_file.readLine(m_buffer.data(), m_buffer.size());
        if (n <= 0 || m_buffer[n - 1] != '\n')
            return false;
        --n;
        if (n > 0 && m_buffer[n - 1] == '\r')
            --n;
        line = QString::fromUtf8(m_buffer.constData(), n);
        return true;
    }

private:
    QFile &m_file;
    QByteArray m_buffer;
};

// A plain decimal count; a sign, blanks or more than int can hold are faults.
bool ReadCount(const QString &text, int &count)
{
    if (text.isEmpty() || text.size() > 10)
        return false;
    qint64 value = 0;
    for (QChar c : text) {
        if (c < u'0' || c > u'9')
            return false;
        value = value * 10 + (c.unicode() - u'0');
    }
    if (value > std::numeric_limits<int>::max())
        return false;
    count = int(value);
    return true;
}

} // namespace

int Today()
{
    CacheState &state = State();
    if (state.todayOverride != 0)
        return state.todayOverride;
    if (state.today == 0)
        TakeToday();
    return state.today;
}

void SetListCacheTodayForTesting(int stamp) { State().todayOverride = stamp; }

void SetListCacheDirectoryForTesting(const QString &directory)
{
    State().directoryOverride = directory;
}

QString CacheFileName(const QString &server, const QString &user, const QString &path,
                      bool directories, int port)
{
    const QString lowerUser = user.toLower();
    QString key = server + u'[' + QString::number(port) + QStringLiteral("]-");
    if (lowerUser != QLatin1String("ftp") && lowerUser != QLatin1String("anonymous"))
        key += u'(' + user + QStringLiteral(")-");
    key += path;
    return CacheDirectory() + CacheSafeName(key, u'~') + QStringLiteral(".cache")
           + (directories ? u'd' : u'f');
}

void WriteListCache(const QString &fileName, const TVexFtpFileInfoList &list)
{
    const int count = list.Count();
    VexFtpFileInfo info;
    for (int i = 0; i < count; ++i) {
        list.GetInfo(i, info);
        for (const QString *value : {&info.FileName, &info.Attrib, &info.DateTime, &info.Size,
                                     &info.SymbolLink, &info.Owner, &info.Group,
                                     &info.Description}) {
            if (HoldsLineBreak(*value)) {
                QFile::remove(fileName);
                return;
            }
        }
    }

    QDir().mkpath(CacheDirectory());
    // Written aside and renamed at the end, so that a reader never sees half
    // a listing.
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly)) {
        SetUpCacheFolderAgain();
        return;
    }
    QByteArray chunk;
    chunk.reserve(64 * 1024);
    const auto putLine = [&chunk](const QString &value) {
        chunk += value.toUtf8();
        chunk += "\r\n";
    };
    bool written = true;
    putLine(QString::number(count));
    for (int i = 0; i < count && written; ++i) {
        list.GetInfo(i, info);
        putLine(info.FileName);
        putLine(info.Attrib);
        putLine(info.DateTime);
        putLine(info.Size);
        putLine(info.SymbolLink);
        putLine(info.Owner);
        putLine(info.Group);
        putLine(info.Description);
        if (chunk.size() >= 60 * 1024) {
            written = file.write(chunk) == chunk.size();
            chunk.clear();
        }
    }
    if (written)
        written = file.write(chunk) == chunk.size();
    if (!written || !file.commit()) {
        file.cancelWriting();
        SetUpCacheFolderAgain();
    }
}

bool ReadListCache(const QString &fileName, TVexFtpFileInfoList &list, int expireDays)
{
    const QFileInfo info(fileName);
    if (!info.isFile())
        return false;
    if (expireDays > 0 && Today() >= FileDateStamp(info) + expireDays)
        return false;

    list.Clear();
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    LineReader reader(file);
    QString line;
    int count = 0;
    if (!reader.Next(line) || !ReadCount(line, count))
        return false;
    // The count is only believed line by line: a claim larger than the file
    // ends at its end.
    std::array<QString, 8> values;
    for (int k = 0; k < count; ++k) {
        for (QString &value : values) {
            if (!reader.Next(value))
                return false;
        }
        list.Add(values[0], values[1], values[2], values[3], values[4], values[5], values[6],
                 values[7]);
    }
    return true;
}

int PurgeListCache(bool purgeDirectories, bool purgeFiles, int expireDays)
{
    if ((!purgeDirectories && !purgeFiles) || expireDays <= 0)
        return 0;
    const int today = Today();
    const QDir folder(CacheDirectory());
    int deleted = 0;
    const QFileInfoList files =
        folder.entryInfoList(QDir::Files | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    for (const QFileInfo &file : files) {
        const QString name = file.fileName();
        const bool wanted = (purgeDirectories && name.contains(u".cached"))
                            || (purgeFiles && name.contains(u".cachef"));
        if (wanted && FileDateStamp(file) + expireDays <= today && QFile::remove(file.filePath()))
            ++deleted;
    }
    return deleted;
}
