// TZipEngine on libzip: gathers what FilesList names, then streams every file
// into the archive through a libzip source of its own, which counts progress,
// notices cancellation and names the file when a read fails.
#include "ZipEngine.h"

#include "SystemErrorText.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QRegularExpression>
#include <QSet>

#include <algorithm>
#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>
#include <zip.h>

namespace {

// Progress weighs every file as its size plus this much, so that a tree of
// many small or empty files still moves the percentage along.
constexpr qint64 PerFileWeight = 4096;

QString ArchiveFileNameInvalid(const QString &zipName)
{
    return QStringLiteral("Nom d'archive invalide : %1").arg(zipName);
}

QString Shown(const QByteArray &path)
{
    return QFile::decodeName(path);
}

QString CannotReadFile(const QByteArray &path, int error)
{
    return QStringLiteral("Impossible de lire le fichier %1 : %2").arg(Shown(path), SystemErrorReason(error));
}

QString CannotReadFolder(const QByteArray &path, int error)
{
    return QStringLiteral("Impossible de lire le dossier %1 : %2").arg(Shown(path), SystemErrorReason(error));
}

QString CannotWriteArchive(const QString &zipName, const QString &reason)
{
    return QStringLiteral("Impossible de créer l'archive %1 : %2").arg(zipName, reason);
}

QString CancelledText()
{
    return QStringLiteral("Compression annulée");
}

// A name the archive cannot take: wildcards (the untouched "*.zip" of the
// "Archivage" box), control characters, or no name at all.
bool InvalidArchiveFileName(const QString &fileName)
{
    if (fileName.isEmpty() || fileName == QLatin1String(".") || fileName == QLatin1String(".."))
        return true;
    for (const QChar c : fileName)
        if (c == QLatin1Char('*') || c == QLatin1Char('?') || c.unicode() < 0x20 || c.unicode() == 0x7f)
            return true;
    return false;
}

// One archive entry: a file, or a folder entry (name ending with "/").
struct TEntry {
    QByteArray source; // the file's path on disk (bytes as the system gives them)
    QByteArray name;   // the entry's name inside the archive
    bool folder = false;
    qint64 size = 0;
    time_t mtime = 0;
    mode_t mode = 0;
};

// What one FilesList line names: a single file, or the files of a folder
// that match a wildcard.
struct TItem {
    QByteArray path;    // the file, or the folder
    QString pattern;    // empty for a single file
};

QByteArray ParentOf(const QByteArray &path)
{
    if (path == "/")
        return path;
    const qsizetype slash = path.lastIndexOf('/');
    return slash <= 0 ? QByteArray("/") : path.left(slash);
}

// The deepest folder holding every one of the given folders.
QByteArray CommonFolder(const std::vector<QByteArray> &folders)
{
    QList<QByteArray> common = folders.front().split('/');
    for (const QByteArray &folder : folders) {
        const QList<QByteArray> parts = folder.split('/');
        qsizetype same = 0;
        while (same < common.size() && same < parts.size() && common.at(same) == parts.at(same))
            ++same;
        common.resize(same);
    }
    QByteArray joined = common.join('/');
    return joined.isEmpty() ? QByteArray("/") : joined;
}

// path relative to folder, which holds it (both cleaned, absolute).
QByteArray RelativeTo(const QByteArray &folder, const QByteArray &path)
{
    if (folder == "/")
        return path.mid(1);
    return path.mid(folder.size() + 1);
}

QByteArray BaseName(const QByteArray &path)
{
    return path.mid(path.lastIndexOf('/') + 1);
}

bool IsAllFiles(const QString &pattern)
{
    return pattern == QLatin1String("*.*") || pattern == QLatin1String("*");
}

// Gathers the entries of the FilesList lines: every file checked readable
// now, so that a file that cannot be read stops the command before any
// archive is written.
class TCollector
{
public:
    TCollector(bool recurse, bool storePaths, const std::atomic<bool> &cancelled, dev_t archiveDevice,
               ino_t archiveInode, bool archiveExists)
        : recurse(recurse), storePaths(storePaths), cancelled(cancelled), archiveDevice(archiveDevice),
          archiveInode(archiveInode), archiveExists(archiveExists)
    {
    }

    QString error;
    std::vector<TEntry> entries;
    int fileCount = 0;
    qint64 totalBytes = 0;

    bool Collect(const QStringList &lines)
    {
        std::vector<TItem> items;
        for (const QString &line : lines) {
            if (line.trimmed().isEmpty())
                continue;
            const QString cleaned = QDir::cleanPath(QFileInfo(line).absoluteFilePath());
            const QString last = cleaned.mid(cleaned.lastIndexOf(QLatin1Char('/')) + 1);
            if (last.contains(QLatin1Char('*')) || last.contains(QLatin1Char('?'))) {
                const qsizetype slash = cleaned.lastIndexOf(QLatin1Char('/'));
                const QString folder = slash <= 0 ? QStringLiteral("/") : cleaned.left(slash);
                items.push_back({QFile::encodeName(folder), last});
            } else {
                items.push_back({QFile::encodeName(cleaned), QString()});
            }
        }
        if (items.empty())
            return true;

        // Entries are named relative to the folder that holds every item.
        std::vector<QByteArray> parents;
        for (const TItem &item : items)
            parents.push_back(ParentOf(item.path));
        base = CommonFolder(parents);

        for (const TItem &item : items) {
            if (!CollectItem(item))
                return false;
        }
        return true;
    }

private:
    bool Cancelled()
    {
        if (cancelled.load(std::memory_order_relaxed)) {
            error = CancelledText();
            return true;
        }
        return false;
    }

    bool IsArchive(const struct stat &st) const
    {
        return archiveExists && st.st_dev == archiveDevice && st.st_ino == archiveInode;
    }

    QByteArray EntryName(const QByteArray &path) const
    {
        return storePaths ? RelativeTo(base, path) : BaseName(path);
    }

    bool CollectItem(const TItem &item)
    {
        if (Cancelled())
            return false;
        struct stat st {};
        if (::stat(item.path.constData(), &st) != 0) {
            const int e = errno;
            error = item.pattern.isEmpty() ? CannotReadFile(item.path, e) : CannotReadFolder(item.path, e);
            return false;
        }
        if (S_ISDIR(st.st_mode)) {
            const QString pattern = item.pattern.isEmpty() ? QStringLiteral("*.*") : item.pattern;
            matcher = QRegularExpression(
                QRegularExpression::wildcardToRegularExpression(pattern),
                QRegularExpression::CaseInsensitiveOption);
            allFiles = IsAllFiles(pattern);
            if (allFiles && storePaths && item.path != base)
                AddFolder(item.path, st);
            return CollectFolder(item.path);
        }
        if (!item.pattern.isEmpty()) {
            error = CannotReadFolder(item.path, ENOTDIR);
            return false;
        }
        if (!S_ISREG(st.st_mode)) {
            error = QStringLiteral("Ce n'est pas un fichier ordinaire : %1").arg(Shown(item.path));
            return false;
        }
        if (IsArchive(st)) {
            error = QStringLiteral("L'archive ne peut pas se contenir elle-même : %1").arg(Shown(item.path));
            return false;
        }
        return AddFile(item.path, st);
    }

    bool CollectFolder(const QByteArray &folder)
    {
        if (Cancelled())
            return false;
        DIR *dir = ::opendir(folder.constData());
        if (!dir) {
            error = CannotReadFolder(folder, errno);
            return false;
        }
        std::vector<QByteArray> names;
        errno = 0;
        while (const dirent *entry = ::readdir(dir)) {
            const QByteArray name(entry->d_name);
            if (name != "." && name != "..")
                names.push_back(name);
            errno = 0;
        }
        const int readError = errno;
        ::closedir(dir);
        if (readError != 0) {
            error = CannotReadFolder(folder, readError);
            return false;
        }
        std::sort(names.begin(), names.end());

        const QByteArray prefix = folder == "/" ? QByteArray("/") : folder + '/';
        for (const QByteArray &name : names) {
            const QByteArray path = prefix + name;
            struct stat st {};
            if (::lstat(path.constData(), &st) != 0) {
                if (errno == ENOENT) // gone since the folder was read
                    continue;
                error = CannotReadFile(path, errno);
                return false;
            }
            if (S_ISLNK(st.st_mode)) {
                // A link to a file packs the file's contents; links to folders
                // are not followed (they could lead in circles) and dangling
                // links hold nothing.
                if (::stat(path.constData(), &st) != 0 || !S_ISREG(st.st_mode))
                    continue;
            }
            if (S_ISDIR(st.st_mode)) {
                if (!recurse)
                    continue;
                if (allFiles && storePaths)
                    AddFolder(path, st);
                if (!CollectFolder(path))
                    return false;
                continue;
            }
            if (!S_ISREG(st.st_mode)) // pipes, sockets, devices: no file contents
                continue;
            if (IsArchive(st))
                continue;
            if (!allFiles && !matcher.match(QFile::decodeName(name)).hasMatch())
                continue;
            if (!AddFile(path, st))
                return false;
        }
        return true;
    }

    void AddFolder(const QByteArray &path, const struct stat &st)
    {
        TEntry entry;
        entry.source = path;
        entry.name = EntryName(path) + '/';
        entry.folder = true;
        entry.mtime = st.st_mtime;
        entry.mode = st.st_mode;
        if (names.contains(entry.name))
            return;
        names.insert(entry.name, path);
        entries.push_back(entry);
    }

    bool AddFile(const QByteArray &path, const struct stat &st)
    {
        if (Cancelled())
            return false;
        const QByteArray name = EntryName(path);
        const auto known = names.constFind(name);
        if (known != names.cend()) {
            if (known.value() == path) // the same file named twice
                return true;
            error = QStringLiteral("Deux fichiers porteraient le même nom dans l'archive : %1").arg(Shown(name));
            return false;
        }
        const int fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC | O_NOCTTY);
        if (fd < 0) {
            error = CannotReadFile(path, errno);
            return false;
        }
        ::close(fd);
        names.insert(name, path);
        TEntry entry;
        entry.source = path;
        entry.name = name;
        entry.size = st.st_size;
        entry.mtime = st.st_mtime;
        entry.mode = st.st_mode;
        entries.push_back(entry);
        ++fileCount;
        totalBytes += st.st_size;
        return true;
    }

    const bool recurse;
    const bool storePaths;
    const std::atomic<bool> &cancelled;
    const dev_t archiveDevice;
    const ino_t archiveInode;
    const bool archiveExists;
    QByteArray base;
    QRegularExpression matcher;
    bool allFiles = true;
    QHash<QByteArray, QByteArray> names; // entry name -> source
};

// The state of one Zip() call shared by the file sources.
struct TZipRun {
    TZipEngine *engine = nullptr;
    const std::atomic<bool> *cancelled = nullptr;
    qint64 totalWeight = 0;
    qint64 doneWeight = 0;
    int lastPercent = -1;
    QString failure; // the first failure seen while libzip writes

    // Raises the percentage hook for a new value only. A hook that throws
    // must not unwind through libzip: its failure ends the run instead.
    bool Report(int percent)
    {
        if (percent <= lastPercent)
            return true;
        lastPercent = percent;
        if (!engine->OnTotalPercentDone)
            return true;
        try {
            engine->OnTotalPercentDone(engine, percent);
        } catch (...) {
            return Fail(QStringLiteral("Erreur interne pendant la compression"));
        }
        return true;
    }

    // Progress stays below 100 while libzip writes; 100 waits for the
    // archive to be in place.
    bool Advance(qint64 weight)
    {
        doneWeight += weight;
        const qint64 percent = totalWeight > 0 ? doneWeight * 100 / totalWeight : 0;
        return Report(int(std::min<qint64>(percent, 99)));
    }

    bool Fail(const QString &message)
    {
        if (failure.isEmpty())
            failure = message;
        return false;
    }

    bool Cancelled()
    {
        if (cancelled->load(std::memory_order_relaxed)) {
            Fail(CancelledText());
            return true;
        }
        return false;
    }
};

// One file read by libzip while it writes the archive.
struct TFileSource {
    TZipRun *run = nullptr; // not owned
    QByteArray path;
    qint64 size = 0; // as found when gathering; never read beyond
    time_t mtime = 0;
    int fd = -1;
    qint64 offset = 0;
    qint64 counted = 0; // the part of this file's weight already counted
    zip_error_t error;

    // Counts this file's progress up to weight (libzip may read a source
    // more than once; each byte counts once).
    bool CountUpTo(qint64 weight)
    {
        if (weight <= counted)
            return true;
        const qint64 step = weight - counted;
        counted = weight;
        return run->Advance(step);
    }
};

zip_int64_t FileSourceCallback(void *userdata, void *data, zip_uint64_t length, zip_source_cmd_t command)
{
    auto *source = static_cast<TFileSource *>(userdata);
    TZipRun *run = source->run;
    switch (command) {
    case ZIP_SOURCE_OPEN:
        if (run->Cancelled()) {
            zip_error_set(&source->error, ZIP_ER_CANCELLED, 0);
            return -1;
        }
        source->fd = ::open(source->path.constData(), O_RDONLY | O_CLOEXEC | O_NOCTTY);
        if (source->fd < 0) {
            const int e = errno;
            run->Fail(CannotReadFile(source->path, e));
            zip_error_set(&source->error, ZIP_ER_OPEN, e);
            return -1;
        }
        ::posix_fadvise(source->fd, 0, 0, POSIX_FADV_SEQUENTIAL);
        source->offset = 0;
        return 0;
    case ZIP_SOURCE_READ: {
        if (run->Cancelled()) {
            zip_error_set(&source->error, ZIP_ER_CANCELLED, 0);
            return -1;
        }
        const qint64 wanted = std::min<qint64>(qint64(std::min<zip_uint64_t>(length, 1u << 30)),
                                               source->size - source->offset);
        if (wanted <= 0)
            return 0;
        ssize_t got;
        do {
            got = ::read(source->fd, data, size_t(wanted));
        } while (got < 0 && errno == EINTR);
        if (got < 0) {
            const int e = errno;
            run->Fail(CannotReadFile(source->path, e));
            zip_error_set(&source->error, ZIP_ER_READ, e);
            return -1;
        }
        source->offset += got;
        if (!source->CountUpTo(source->offset)) {
            zip_error_set(&source->error, ZIP_ER_INTERNAL, 0);
            return -1;
        }
        return got;
    }
    case ZIP_SOURCE_CLOSE:
        if (source->fd >= 0) {
            ::close(source->fd);
            source->fd = -1;
        }
        // The file's whole weight once it is read (a file that shrank
        // meanwhile still counts whole).
        if (source->offset >= source->size)
            source->CountUpTo(source->size + PerFileWeight);
        return 0;
    case ZIP_SOURCE_STAT: {
        if (length < sizeof(zip_stat_t)) {
            zip_error_set(&source->error, ZIP_ER_INVAL, 0);
            return -1;
        }
        auto *st = static_cast<zip_stat_t *>(data);
        zip_stat_init(st);
        st->valid = ZIP_STAT_SIZE | ZIP_STAT_MTIME | ZIP_STAT_COMP_METHOD | ZIP_STAT_ENCRYPTION_METHOD;
        st->size = zip_uint64_t(source->size);
        st->mtime = source->mtime;
        st->comp_method = ZIP_CM_STORE;
        st->encryption_method = ZIP_EM_NONE;
        return sizeof(zip_stat_t);
    }
    case ZIP_SOURCE_ERROR:
        return zip_error_to_data(&source->error, data, length);
    case ZIP_SOURCE_FREE:
        if (source->fd >= 0)
            ::close(source->fd);
        zip_error_fini(&source->error);
        delete source;
        return 0;
    case ZIP_SOURCE_SUPPORTS:
        return zip_source_make_command_bitmap(ZIP_SOURCE_OPEN, ZIP_SOURCE_READ, ZIP_SOURCE_CLOSE, ZIP_SOURCE_STAT,
                                              ZIP_SOURCE_ERROR, ZIP_SOURCE_FREE, -1);
    default:
        zip_error_set(&source->error, ZIP_ER_OPNOTSUPP, 0);
        return -1;
    }
}

} // namespace

TZipEngine::TZipEngine() = default;
TZipEngine::~TZipEngine() = default;

QStringList &TZipEngine::FilesList()
{
    return filesList;
}

const QStringList &TZipEngine::FilesList() const
{
    return filesList;
}

void TZipEngine::SetFilesList(const QStringList &files)
{
    filesList = files;
}

QString TZipEngine::ZipName() const
{
    return zipName;
}

void TZipEngine::SetZipName(const QString &name)
{
    zipName = name;
}

int TZipEngine::PackLevel() const
{
    return packLevel;
}

void TZipEngine::SetPackLevel(int level)
{
    packLevel = std::clamp(level, 0, 9);
}

bool TZipEngine::Recurse() const
{
    return recurse;
}

void TZipEngine::SetRecurse(bool value)
{
    recurse = value;
}

bool TZipEngine::StorePaths() const
{
    return storePaths;
}

void TZipEngine::SetStorePaths(bool value)
{
    storePaths = value;
}

void TZipEngine::Cancel()
{
    cancelled.store(true);
}

QString TZipEngine::ErrorText() const
{
    return errorText;
}

int TZipEngine::Fail(const QString &message)
{
    errorText = message;
    cancelled.store(false);
    if (OnZipError)
        OnZipError(this, message);
    return 0;
}

int TZipEngine::Zip()
{
    errorText.clear();

    // The archive's name and folder, before any work.
    const QString fileName = zipName.mid(zipName.lastIndexOf(QLatin1Char('/')) + 1);
    if (zipName.trimmed().isEmpty() || InvalidArchiveFileName(fileName))
        return Fail(ArchiveFileNameInvalid(zipName));
    const QString archivePath = QDir::cleanPath(QFileInfo(zipName).absoluteFilePath());
    const QByteArray archiveBytes = QFile::encodeName(archivePath);
    struct stat archiveStat {};
    const bool archiveExists = ::stat(archiveBytes.constData(), &archiveStat) == 0;
    if (archiveExists && !S_ISREG(archiveStat.st_mode))
        return Fail(ArchiveFileNameInvalid(zipName));
    const QByteArray folderBytes = ParentOf(archiveBytes);
    struct stat folderStat {};
    if (::stat(folderBytes.constData(), &folderStat) != 0 || !S_ISDIR(folderStat.st_mode))
        return Fail(CannotWriteArchive(zipName, QStringLiteral("le dossier %1 n'existe pas").arg(Shown(folderBytes))));
    if (::access(folderBytes.constData(), W_OK | X_OK) != 0)
        return Fail(CannotWriteArchive(zipName, SystemErrorReason(errno)));

    // Everything to pack, checked readable.
    TCollector collector(recurse, storePaths, cancelled, archiveStat.st_dev, archiveStat.st_ino, archiveExists);
    if (!collector.Collect(filesList))
        return Fail(collector.error);
    if (collector.entries.empty())
        return Fail(QStringLiteral("Aucun fichier à compresser"));

    TZipRun run;
    run.engine = this;
    run.cancelled = &cancelled;
    run.totalWeight = collector.totalBytes + PerFileWeight * collector.fileCount;
    if (!run.Report(0))
        return Fail(run.failure);

    // libzip writes the new archive to a temporary file in the same folder
    // and renames it over zipName only when zip_close succeeds; on failure
    // zip_discard drops it and the old file stays untouched.
    int openError = 0;
    zip_t *archive = zip_open(archiveBytes.constData(), ZIP_CREATE | ZIP_TRUNCATE, &openError);
    if (!archive) {
        zip_error_t error;
        zip_error_init_with_code(&error, openError);
        const int system = zip_error_code_system(&error);
        const QString reason = system != 0 ? SystemErrorReason(system) : QString::fromUtf8(zip_error_strerror(&error));
        zip_error_fini(&error);
        return Fail(CannotWriteArchive(zipName, reason));
    }
    const auto abandon = [&](const QString &message) {
        zip_discard(archive);
        return Fail(message);
    };

    const zip_int32_t method = packLevel == 0 ? ZIP_CM_STORE : ZIP_CM_DEFLATE;
    for (const TEntry &entry : collector.entries) {
        const bool utf8 = QString::fromUtf8(entry.name).toUtf8() == entry.name;
        const zip_flags_t encoding = utf8 ? ZIP_FL_ENC_UTF_8 : ZIP_FL_ENC_RAW;
        zip_int64_t index;
        if (entry.folder) {
            index = zip_dir_add(archive, entry.name.constData(), encoding);
        } else {
            auto *source = new TFileSource;
            source->run = &run;
            source->path = entry.source;
            source->size = entry.size;
            source->mtime = entry.mtime;
            zip_error_init(&source->error);
            zip_source_t *zipSource = zip_source_function(archive, FileSourceCallback, source);
            if (!zipSource) {
                zip_error_fini(&source->error);
                delete source;
                return abandon(CannotWriteArchive(zipName, QString::fromUtf8(zip_strerror(archive))));
            }
            index = zip_file_add(archive, entry.name.constData(), zipSource, encoding);
            if (index < 0) {
                zip_source_free(zipSource);
            } else if (zip_set_file_compression(archive, zip_uint64_t(index), method, zip_uint32_t(packLevel)) != 0) {
                index = -1;
            }
        }
        if (index < 0)
            return abandon(CannotWriteArchive(zipName, QString::fromUtf8(zip_strerror(archive))));
        zip_file_set_mtime(archive, zip_uint64_t(index), entry.mtime, 0);
        zip_file_set_external_attributes(archive, zip_uint64_t(index), 0, ZIP_OPSYS_UNIX,
                                         zip_uint32_t(entry.mode & 0xffff) << 16);
    }

    if (run.Cancelled())
        return abandon(run.failure);
    if (zip_close(archive) != 0) {
        QString message = run.failure;
        if (message.isEmpty()) {
            zip_error_t *error = zip_get_error(archive);
            const int system = zip_error_code_system(error);
            const bool fromSystem = zip_error_system_type(error) == ZIP_ET_SYS && system != 0;
            message = CannotWriteArchive(zipName, fromSystem ? SystemErrorReason(system)
                                                             : QString::fromUtf8(zip_error_strerror(error)));
        }
        return abandon(message);
    }
    // A cancellation that comes now is too late: the archive is complete.
    cancelled.store(false);
    run.Report(100);
    if (OnZipComplete)
        OnZipComplete(this, collector.fileCount);
    return collector.fileCount;
}
