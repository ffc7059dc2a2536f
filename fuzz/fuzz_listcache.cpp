// Listing cache files as the disk may hold them: truncated, hand-edited,
// from another version, or garbage. ReadListCache must read or refuse any
// file; what it reads must write back and read again unchanged, and the
// remote tree's tolerant reading must find the same folders. The same
// bytes, as a server name, user and path, must name a file inside the cache
// folder and nowhere else, and two different folders must never share a
// name.

#include "FtpCache.h"
#include "FtpCacheTesting.h"
#include "FtpData.h"

#include <QByteArray>
#include <QByteArrayList>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QString>
#include <QTemporaryDir>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

[[noreturn]] void Fail(const char *what)
{
    std::fprintf(stderr, "listing cache: %s\n", what);
    std::abort();
}

// In memory when the system offers it: every round writes and replaces files,
// and a disk makes that (its fsync) the bulk of the time.
QString TemporaryTemplate()
{
    const QFileInfo shm(QStringLiteral("/dev/shm"));
    const QString base = shm.isDir() && shm.isWritable() ? shm.filePath() : QDir::tempPath();
    return base + QStringLiteral("/velmar-fuzz-XXXXXX");
}

QTemporaryDir &Folder()
{
    static QTemporaryDir folder(TemporaryTemplate());
    if (!folder.isValid())
        Fail("no temporary folder");
    return folder;
}

bool SameLists(const TVexFtpFileInfoList &a, const TVexFtpFileInfoList &b)
{
    if (a.Count() != b.Count())
        return false;
    VexFtpFileInfo x;
    VexFtpFileInfo y;
    for (int i = 0; i < a.Count(); ++i) {
        a.GetInfo(i, x);
        b.GetInfo(i, y);
        if (x.FileName != y.FileName || x.Attrib != y.Attrib || x.DateTime != y.DateTime
            || x.Size != y.Size || x.SymbolLink != y.SymbolLink || x.Owner != y.Owner
            || x.Group != y.Group || x.Description != y.Description)
            return false;
    }
    return true;
}

bool HoldsCarriageReturn(const TVexFtpFileInfoList &list)
{
    VexFtpFileInfo info;
    for (int i = 0; i < list.Count(); ++i) {
        list.GetInfo(i, info);
        for (const QString *value : {&info.FileName, &info.Attrib, &info.DateTime, &info.Size,
                                     &info.SymbolLink, &info.Owner, &info.Group, &info.Description})
            if (value->contains(QLatin1Char('\r')))
                return true;
    }
    return false;
}

void CheckFile(const QByteArray &bytes)
{
    const QString cacheFolder = Folder().path() + QLatin1String("/cache/");
    SetListCacheDirectoryForTesting(cacheFolder);
    QDir().mkpath(cacheFolder);
    const QString input = cacheFolder + QLatin1String("input.cached");
    {
        QFile file(input);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size())
            Fail("cannot write the input file");
    }

    TVexFtpFileInfoList list;
    list.Add(QStringLiteral("left"), {}, {}, {}, {}, {}, {}, {});
    const bool read = ReadListCache(input, list, 0);
    // Freshly written, the file is never stale.
    TVexFtpFileInfoList again;
    if (ReadListCache(input, again, 7) != read)
        Fail("expiry changed the outcome of a fresh file");

    // The remote tree's reading takes any file and gives at least what a
    // whole read gives, in the same order.
    TVexFtpFileInfoList folders;
    if (!ReadCachedFolders(input, folders))
        Fail("the tree could not read a file that exists");
    if (read) {
        if (folders.Count() < list.Count())
            Fail("the tree read fewer folders than the file holds");
        VexFtpFileInfo x;
        VexFtpFileInfo y;
        for (int i = 0; i < list.Count(); ++i) {
            list.GetInfo(i, x);
            folders.GetInfo(i, y);
            if (x.FileName != y.FileName || x.SymbolLink != y.SymbolLink)
                Fail("the tree read another folder than the file holds");
        }
    }

    if (!read)
        return;
    if (!SameLists(list, again))
        Fail("two reads of one file differ");

    // A value cannot hold LF (lines end there); one holding CR is not
    // written back, so its file disappears.
    const QString output = cacheFolder + QLatin1String("output.cachef");
    WriteListCache(output, list);
    TVexFtpFileInfoList back;
    const bool readBack = ReadListCache(output, back, 0);
    if (HoldsCarriageReturn(list)) {
        if (readBack)
            Fail("a value holding CR was cached");
        return;
    }
    if (!readBack)
        Fail("a written list does not read back");
    if (!SameLists(list, back))
        Fail("a written list reads back changed");
    QFile::remove(output);
}

// Users "ftp" and "anonymous" share their files, whatever the case.
QString UserKey(const QString &user)
{
    const QString lower = user.toLower();
    return lower == QLatin1String("ftp") || lower == QLatin1String("anonymous") ? QStringLiteral("\x01")
                                                                                : user;
}

void CheckFileName(const QByteArray &bytes)
{
    const QByteArrayList fields = bytes.split('\n');
    const QString server = QString::fromUtf8(fields.value(0));
    const QString user = QString::fromUtf8(fields.value(1));
    const QString path = QString::fromUtf8(fields.value(2));
    const int port = int(fields.value(3).toUShort());
    const QString cacheFolder = Folder().path() + QLatin1String("/cache/");

    // A second user and path on the same server: other folders, other files
    // ("/a/b" and "/a-b" once shared one).
    const QString otherUser = QString::fromUtf8(fields.value(4));
    const QString otherPath = QString::fromUtf8(fields.value(5));
    if ((UserKey(user) != UserKey(otherUser) || path != otherPath)
        && CacheFileName(server, user, path, true, port)
               == CacheFileName(server, otherUser, otherPath, true, port))
        Fail("two folders share one cache file");
    for (bool directories : {true, false}) {
        const QString name = CacheFileName(server, user, path, directories, port);
        if (!name.startsWith(cacheFolder))
            Fail("cache file outside the cache folder");
        const QString own = name.mid(cacheFolder.size());
        // One file name: a path the server reports cannot climb out.
        if (own.contains(QLatin1Char('/')) || own.contains(QLatin1Char('\\')) || own == QLatin1String("..")
            || own == QLatin1String("."))
            Fail("cache file name is not a plain name");
        if (!own.endsWith(directories ? QLatin1String(".cached") : QLatin1String(".cachef")))
            Fail("cache file name without its kind");
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    CheckFile(bytes);
    CheckFileName(bytes);
    return 0;
}
