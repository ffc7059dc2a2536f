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
#include <QStringList>

#include <array>
#include <limits>

namespace {

// No listing value comes near this; a longer line means a broken file, and
// reading stops before holding it in memory.
constexpr qint64 LineLimit = 64 * 1024;

// The count and one folder up to its link line: less tells nothing.
constexpr qsizetype MinimumFolderLines = 6;

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

// Cached listings tell what lies on the user's servers: the folder and its
// files are the user's alone.
constexpr QFileDevice::Permissions FolderPermissions =
    QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner;
constexpr QFileDevice::Permissions FilePermissions = QFileDevice::ReadOwner | QFileDevice::WriteOwner;

// Present in a folder whose cache files all carry escaped names. Its name
// holds neither ".cached" nor ".cachef", so purging never takes it.
const QString NamesMark = QStringLiteral(".escaped-names");

bool IsCacheFile(const QString &name, bool directories, bool files)
{
    return (directories && name.contains(u".cached")) || (files && name.contains(u".cachef"));
}

bool MarkFolder(const QString &folder)
{
    QFile mark(folder + NamesMark);
    if (!mark.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    mark.setPermissions(FilePermissions);
    return mark.write("1\r\n") == 3;
}

// Creates the folder for the user alone; a folder that already exists is
// closed to others as well.
bool MakeFolder(const QString &folder)
{
    if (!QDir().mkpath(folder))
        return false;
    return QFile::setPermissions(folder, FolderPermissions);
}

// At start-up and after a failed write: the folder exists and is the
// user's, and files named before names were escaped are gone, since one of
// them may hold the listing of another folder than its name now means.
void SetUpCacheFolder()
{
    const QString folder = CacheDirectory();
    if (MakeFolder(folder) && !QFileInfo::exists(folder + NamesMark)) {
        const QFileInfoList files = QDir(folder).entryInfoList(
            QDir::Files | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
        for (const QFileInfo &file : files) {
            if (IsCacheFile(file.fileName(), true, true))
                QFile::remove(file.filePath());
        }
        MarkFolder(folder);
    }
    TakeToday();
}

// Before a write: a missing folder is new, so it holds no old names.
void EnsureCacheFolder()
{
    const QString folder = CacheDirectory();
    if (!QFileInfo::exists(folder) && MakeFolder(folder))
        MarkFolder(folder);
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

namespace {

// One part of a cache name with every character that could make it meet
// another part or another text written %XX (see CacheFileName). "/" and ":"
// stay for CacheSafeName, which alone turns them into "-" and "~".
QString EscapeNamePart(const QString &part)
{
    static constexpr QStringView special = u"%-~\\\"*?()[]";
    static constexpr char hex[] = "0123456789ABCDEF";
    QString escaped;
    escaped.reserve(part.size());
    for (const QChar c : part) {
        if (special.contains(c)) {
            escaped += u'%';
            escaped += QLatin1Char(hex[c.unicode() >> 4]);
            escaped += QLatin1Char(hex[c.unicode() & 0xF]);
        } else {
            escaped += c;
        }
    }
    return escaped;
}

} // namespace

QString CacheFileName(const QString &server, const QString &user, const QString &path,
                      bool directories, int port)
{
    const QString lowerUser = user.toLower();
    QString key = EscapeNamePart(server) + u'[' + QString::number(port) + QStringLiteral("]-");
    if (lowerUser != QLatin1String("ftp") && lowerUser != QLatin1String("anonymous"))
        key += u'(' + EscapeNamePart(user) + QStringLiteral(")-");
    key += EscapeNamePart(path);
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

    EnsureCacheFolder();
    // Written aside and renamed at the end, so that a reader never sees half
    // a listing. The permissions go to the file written aside, so the file
    // is never readable by others, not even for a moment.
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly) || !file.setPermissions(FilePermissions)) {
        file.cancelWriting();
        SetUpCacheFolder();
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
        SetUpCacheFolder();
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

bool ReadCachedFolders(const QString &fileName, TVexFtpFileInfoList &folders)
{
    folders.Clear();
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    // Lines as the file holds them, the last one even without its line end.
    QStringList lines;
    QByteArray buffer(LineLimit + 3, '\0');
    for (;;) {
        qint64 n = file.readLine(buffer.data(), buffer.size());
        if (file.error() != QFileDevice::NoError)
            return false;
        if (n <= 0)
            break;
        const bool ended = buffer[n - 1] == '\n';
        if (!ended && n > LineLimit)
            break; // a line no listing value can fill: the file ends here
        if (ended)
            --n;
        if (n > 0 && buffer[n - 1] == '\r')
            --n;
        lines.append(QString::fromUtf8(buffer.constData(), n));
        if (!ended)
            break;
    }
    if (lines.size() < MinimumFolderLines)
        return true;
    for (qsizetype nameLine = 1; nameLine < lines.size() - 1; nameLine += 8) {
        const auto line = [&lines, nameLine](int offset) { return lines.value(nameLine + offset); };
        folders.Add(line(0), line(1), line(2), line(3), line(4), line(5), line(6), line(7));
    }
    return true;
}

int PurgeListCache(bool purgeDirectories, bool purgeFiles, int expireDays)
{
    SetUpCacheFolder();
    if ((!purgeDirectories && !purgeFiles) || expireDays <= 0)
        return 0;
    const int today = Today();
    const QDir folder(CacheDirectory());
    int deleted = 0;
    const QFileInfoList files =
        folder.entryInfoList(QDir::Files | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    for (const QFileInfo &file : files) {
        const bool wanted = IsCacheFile(file.fileName(), purgeDirectories, purgeFiles);
        if (wanted && FileDateStamp(file) + expireDays <= today && QFile::remove(file.filePath()))
            ++deleted;
    }
    return deleted;
}
