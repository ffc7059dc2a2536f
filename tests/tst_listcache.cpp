// The listing cache: file names, the file format, freshness, purging and
// broken files.

#include "FtpCache.h"
#include "FtpCacheTesting.h"
#include "FtpData.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

namespace {

bool WriteBytes(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate)
           && file.write(bytes) == bytes.size();
}

QByteArray ReadBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool SetWriteDate(const QString &path, QDate date)
{
    QFile file(path);
    return file.open(QIODevice::ReadWrite)
           && file.setFileTime(QDateTime(date, QTime(12, 0)), QFileDevice::FileModificationTime);
}

// One group of eight lines.
QByteArray Group(const char *name)
{
    return QByteArray(name) + "\r\n-rw-r--r--\r\n1/5/2003 9:05 AM\r\n12\r\n\r\nuser\r\ngroup\r\n\r\n";
}

} // namespace

class TestListCache : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void fileNames_data();
    void fileNames();
    void writesCrLfTextFormat();
    void roundTrip();
    void freshness_data();
    void freshness();
    void missingFileLeavesListAlone();
    void brokenFiles_data();
    void brokenFiles();
    void valuesWithLineBreaksAreNotCached();
    void writeCreatesFolderAndFailsSilently();
    void purge_data();
    void purge();
    void distinctTextsNeverShareAFile_data();
    void distinctTextsNeverShareAFile();
    void oldNamesAreDroppedOnce();
    void filesAreTheUsersAlone();
    void cachedFoldersForTheTree_data();
    void cachedFoldersForTheTree();

private:
    QScopedPointer<QTemporaryDir> m_dir;
    QString m_cache;
};

void TestListCache::init()
{
    m_dir.reset(new QTemporaryDir);
    QVERIFY(m_dir->isValid());
    m_cache = m_dir->path() + QStringLiteral("/ftpcache/");
    SetListCacheDirectoryForTesting(m_cache);
    SetListCacheTodayForTesting(0);
}

void TestListCache::cleanup()
{
    SetListCacheDirectoryForTesting(QString());
    SetListCacheTodayForTesting(0);
    m_dir.reset();
}

void TestListCache::fileNames_data()
{
    QTest::addColumn<QString>("server");
    QTest::addColumn<QString>("user");
    QTest::addColumn<QString>("path");
    QTest::addColumn<bool>("directories");
    QTest::addColumn<int>("port");
    QTest::addColumn<QString>("name");
    QTest::newRow("user folders") << "host" << "jo" << "/pub/src" << true << 21
                                  << "host[21]-(jo)--pub-src.cached";
    QTest::newRow("user files") << "host" << "jo" << "/pub/src" << false << 21
                                << "host[21]-(jo)--pub-src.cachef";
    QTest::newRow("anonymous root") << "host" << "anonymous" << "/" << true << 2121
                                    << "host[2121]--.cached";
    QTest::newRow("FTP shares it") << "host" << "FTP" << "/" << true << 2121
                                   << "host[2121]--.cached";
    QTest::newRow("Anonymous shares it") << "host" << "Anonymous" << "/" << true << 2121
                                         << "host[2121]--.cached";
    // ":" still becomes "~" and "/" "-"; the other characters that would
    // merge with them are written %XX.
    QTest::newRow("unsafe characters")
        << "h" << "a:b" << "/C:\\x/\"q*?" << false << 21 << "h[21]-(a~b)--C~%5Cx-%22q%2A%3F.cachef";
    QTest::newRow("dash in a path") << "host" << "jo" << "/a-b" << true << 21
                                    << "host[21]-(jo)--a%2Db.cached";
    QTest::newRow("tilde, percent and brackets")
        << "host" << "anonymous" << "/~x/50%/(1)[2]" << true << 21
        << "host[21]--%7Ex-50%25-%281%29%5B2%5D.cached";
    QTest::newRow("user with the part marks") << "host" << "a)-(b" << "/" << false << 21
                                              << "host[21]-(a%29%2D%28b)--.cachef";
    QTest::newRow("blanks and accents stay")
        << "host" << "jo" << QString::fromUtf8("/Mes documents/été") << true << 21
        << QString::fromUtf8("host[21]-(jo)--Mes documents-été.cached");
}

void TestListCache::distinctTextsNeverShareAFile_data()
{
    QTest::addColumn<QStringList>("first");  // server, user, path
    QTest::addColumn<QStringList>("second");
    QTest::newRow("slash and dash") << QStringList{"h", "jo", "/a/b"} << QStringList{"h", "jo", "/a-b"};
    QTest::newRow("slash and backslash") << QStringList{"h", "jo", "/a/b"} << QStringList{"h", "jo", "/a\\b"};
    QTest::newRow("colon and question mark") << QStringList{"h", "jo", "/a:b"} << QStringList{"h", "jo", "/a?b"};
    QTest::newRow("colon and tilde") << QStringList{"h", "jo", "/a:b"} << QStringList{"h", "jo", "/a~b"};
    QTest::newRow("star and quote") << QStringList{"h", "jo", "/a*b"} << QStringList{"h", "jo", "/a\"b"};
    QTest::newRow("escape written plainly") << QStringList{"h", "jo", "/a-b"} << QStringList{"h", "jo", "/a%2Db"};
    QTest::newRow("user and path share a dash")
        << QStringList{"h", "a", "-b/c"} << QStringList{"h", "a)-(b", "/c"};
    QTest::newRow("anonymous path that looks like a user")
        << QStringList{"h", "anonymous", "(jo)-/x"} << QStringList{"h", "jo", "/x"};
    QTest::newRow("server that looks like a port")
        << QStringList{"h[21]-x", "anonymous", "/"} << QStringList{"h", "anonymous", "x/"};
}

void TestListCache::distinctTextsNeverShareAFile()
{
    QFETCH(QStringList, first);
    QFETCH(QStringList, second);
    for (const bool directories : {true, false}) {
        const QString a = CacheFileName(first[0], first[1], first[2], directories, 21);
        const QString b = CacheFileName(second[0], second[1], second[2], directories, 21);
        QVERIFY2(a != b, qPrintable(a));
    }

    // Written one after the other, each folder reads back its own listing.
    TVexFtpFileInfoList one;
    one.Add("one", "", "", "", "", "", "", "");
    TVexFtpFileInfoList two;
    two.Add("two", "", "", "", "", "", "", "");
    WriteListCache(CacheFileName(first[0], first[1], first[2], true, 21), one);
    WriteListCache(CacheFileName(second[0], second[1], second[2], true, 21), two);
    TVexFtpFileInfoList read;
    VexFtpFileInfo info;
    QVERIFY(ReadListCache(CacheFileName(first[0], first[1], first[2], true, 21), read, 0));
    QCOMPARE(read.Count(), 1);
    read.GetInfo(0, info);
    QCOMPARE(info.FileName, QStringLiteral("one"));
}

void TestListCache::fileNames()
{
    QFETCH(QString, server);
    QFETCH(QString, user);
    QFETCH(QString, path);
    QFETCH(bool, directories);
    QFETCH(int, port);
    QFETCH(QString, name);
    QCOMPARE(CacheFileName(server, user, path, directories, port), m_cache + name);
}

void TestListCache::writesCrLfTextFormat()
{
    TVexFtpFileInfoList list;
    list.Add(QString::fromUtf8("été.txt"), "-rw-r--r--", "1/5/2003 9:05 AM", "12", "", "user",
             "group", "");
    list.Add("pub", "drwxr-xr-x", "12/25/2003 12:00 AM", "512", "-> /pub", "root", "root", "note");
    const QString file = CacheFileName("host", "ftp", "/", false, 21);
    WriteListCache(file, list);
    QCOMPARE(ReadBytes(file),
             QByteArray("2\r\n"
                        "\xc3\xa9t\xc3\xa9.txt\r\n-rw-r--r--\r\n1/5/2003 9:05 AM\r\n12\r\n\r\nuser\r\ngroup\r\n\r\n"
                        "pub\r\ndrwxr-xr-x\r\n12/25/2003 12:00 AM\r\n512\r\n-> /pub\r\nroot\r\nroot\r\nnote\r\n"));
}

void TestListCache::roundTrip()
{
    TVexFtpFileInfoList list;
    for (int i = 0; i < 300; ++i)
        list.Add(QStringLiteral("name %1").arg(i), "a", "d", QString::number(i), "", "", "", "");
    const QString file = CacheFileName("host", "jo", "/big", true, 21);
    WriteListCache(file, list);
    TVexFtpFileInfoList read;
    read.Add("stale", "", "", "", "", "", "", "");
    QVERIFY(ReadListCache(file, read, 7));
    QCOMPARE(read.Count(), 300);
    VexFtpFileInfo info;
    read.GetInfo(299, info);
    QCOMPARE(info.FileName, QStringLiteral("name 299"));
    QCOMPARE(info.Size, QStringLiteral("299"));

    TVexFtpFileInfoList empty;
    WriteListCache(file, empty);
    QCOMPARE(ReadBytes(file), QByteArray("0\r\n"));
    QVERIFY(ReadListCache(file, read, 7));
    QCOMPARE(read.Count(), 0);
}

void TestListCache::freshness_data()
{
    QTest::addColumn<QDate>("written");
    QTest::addColumn<int>("today");
    QTest::addColumn<int>("expireDays");
    QTest::addColumn<bool>("fresh");
    const QDate dec30(2003, 12, 30);
    QTest::newRow("next day") << dec30 << 20031231 << 7 << true;
    QTest::newRow("new year is stale") << dec30 << 20040101 << 7 << false;
    QTest::newRow("same day") << dec30 << 20031230 << 7 << true;
    QTest::newRow("within a month, last day") << QDate(2003, 12, 1) << 20031207 << 7 << true;
    QTest::newRow("within a month, expired") << QDate(2003, 12, 1) << 20031208 << 7 << false;
    QTest::newRow("expiry 0 never stale") << dec30 << 20991231 << 0 << true;
    QTest::newRow("negative expiry never stale") << dec30 << 20991231 << -3 << true;
}

void TestListCache::freshness()
{
    QFETCH(QDate, written);
    QFETCH(int, today);
    QFETCH(int, expireDays);
    const QString file = CacheFileName("host", "jo", "/", true, 21);
    QVERIFY(QDir().mkpath(m_cache));
    QVERIFY(WriteBytes(file, "1\r\n" + Group("x")));
    QVERIFY(SetWriteDate(file, written));
    SetListCacheTodayForTesting(today);
    QCOMPARE(Today(), today);
    TVexFtpFileInfoList list;
    QTEST(ReadListCache(file, list, expireDays), "fresh");
}

void TestListCache::missingFileLeavesListAlone()
{
    TVexFtpFileInfoList list;
    list.Add("kept", "", "", "", "", "", "", "");
    QVERIFY(!ReadListCache(m_cache + "nothing.cached", list, 7));
    QCOMPARE(list.Count(), 1);
    QVERIFY(QDir().mkpath(m_cache + "adir.cached"));
    QVERIFY(!ReadListCache(m_cache + "adir.cached", list, 0));
    QCOMPARE(list.Count(), 1);
}

void TestListCache::brokenFiles_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<bool>("result");
    QTest::addColumn<int>("entries");
    QTest::newRow("empty file") << QByteArray() << false << 0;
    QTest::newRow("count 0") << QByteArray("0\r\n") << true << 0;
    QTest::newRow("bare LF lines") << QByteArray("1\nn\na\nd\ns\nl\no\ng\nx\n") << true << 1;
    QTest::newRow("truncated group") << "2\r\n" + Group("a") + "b\r\n-rw\r\n" << false << 1;
    QTest::newRow("truncated mid-line") << "1\r\n" + Group("a").left(20) << false << 0;
    QTest::newRow("negative count") << "-1\r\n" + Group("a") << false << 0;
    QTest::newRow("enormous count") << "2147483647\r\n" + Group("a") + Group("b") << false << 2;
    QTest::newRow("count beyond int") << "99999999999999999999\r\n" + Group("a") << false << 0;
    QTest::newRow("count not a number") << "12abc\r\n" + Group("a") << false << 0;
    QTest::newRow("count with blank") << " 1\r\n" + Group("a") << false << 0;
    QTest::newRow("10 MB line")
        << "2\r\n" + Group("a") + QByteArray(10 * 1024 * 1024, 'x') + "\r\n" + Group("b").mid(3)
        << false << 1;
    QTest::newRow("binary junk") << QByteArray("\x00\xff\x01\r\n\x00", 6) << false << 0;
}

void TestListCache::brokenFiles()
{
    QFETCH(QByteArray, content);
    const QString file = CacheFileName("host", "jo", "/broken", false, 21);
    QVERIFY(QDir().mkpath(m_cache));
    QVERIFY(WriteBytes(file, content));
    TVexFtpFileInfoList list;
    list.Add("before", "", "", "", "", "", "", "");
    QTEST(ReadListCache(file, list, 0), "result");
    QTEST(list.Count(), "entries");
}

void TestListCache::valuesWithLineBreaksAreNotCached()
{
    const QString file = CacheFileName("host", "jo", "/nl", false, 21);
    TVexFtpFileInfoList good;
    good.Add("a", "", "", "", "", "", "", "");
    WriteListCache(file, good);
    QVERIFY(QFileInfo::exists(file));

    // A Unix name may hold a line feed; written as is, every later value
    // would be read one line off.
    TVexFtpFileInfoList bad;
    bad.Add("b", "", "", "", "", "", "", "");
    bad.Add("two\nlines", "", "", "", "", "", "", "");
    WriteListCache(file, bad);
    QVERIFY(!QFileInfo::exists(file));
    TVexFtpFileInfoList read;
    QVERIFY(!ReadListCache(file, read, 0));
}

void TestListCache::writeCreatesFolderAndFailsSilently()
{
    QVERIFY(!QFileInfo::exists(m_cache));
    TVexFtpFileInfoList list;
    list.Add("a", "", "", "", "", "", "", "");
    const QString file = CacheFileName("host", "jo", "/", true, 21);
    WriteListCache(file, list);
    QVERIFY(QFileInfo::exists(file));

    // A name the file system refuses (too long) is never cached.
    const QString tooLong = CacheFileName("host", "jo", "/" + QString(300, u'x'), true, 21);
    WriteListCache(tooLong, list);
    TVexFtpFileInfoList read;
    QVERIFY(!ReadListCache(tooLong, read, 0));
    QVERIFY(QFileInfo::exists(m_cache));
}

void TestListCache::purge_data()
{
    QTest::addColumn<bool>("folders");
    QTest::addColumn<bool>("files");
    QTest::addColumn<int>("expireDays");
    QTest::addColumn<int>("deleted");
    QTest::addColumn<QStringList>("left");
    const QStringList all{".old.cached", "new.cached", "old.cached", "old.cachef", "other.txt"};
    QTest::newRow("old folder files") << true << false << 7 << 2
                                      << QStringList{"new.cached", "old.cachef", "other.txt"};
    QTest::newRow("old file files") << false << true << 7 << 1
                                    << QStringList{".old.cached", "new.cached", "old.cached",
                                                   "other.txt"};
    QTest::newRow("both kinds") << true << true << 7 << 3
                                << QStringList{"new.cached", "other.txt"};
    QTest::newRow("neither kind") << false << false << 7 << 0 << all;
    QTest::newRow("expiry 0") << true << true << 0 << 0 << all;
    QTest::newRow("long expiry") << true << true << 40 << 0 << all;
}

void TestListCache::purge()
{
    // A folder set up by this version: only age decides.
    QCOMPARE(PurgeListCache(false, false, 0), 0);
    QVERIFY(QFileInfo(m_cache).isDir());
    // Dates within one month: the stamps are yyyymmdd numbers and the expiry
    // is added to them as a plain number.
    const QDate today(2004, 1, 20);
    const struct {
        const char *name;
        QDate written;
    } samples[] = {{"old.cached", today.addDays(-7)},  {".old.cached", today.addDays(-19)},
                 {"new.cached", today.addDays(-6)},  {"old.cachef", today.addDays(-8)},
                 {"other.txt", today.addDays(-19)}};
    for (const auto &f : samples) {
        QVERIFY(WriteBytes(m_cache + f.name, "0\r\n"));
        QVERIFY(SetWriteDate(m_cache + f.name, f.written));
    }
    SetListCacheTodayForTesting(20040120);
    QFETCH(bool, folders);
    QFETCH(bool, files);
    QFETCH(int, expireDays);
    QTEST(PurgeListCache(folders, files, expireDays), "deleted");
    // The folder's own mark of escaped names stays, like any other file.
    QStringList left = QDir(m_cache).entryList(QDir::Files | QDir::Hidden, QDir::Name);
    QCOMPARE(left.removeAll(QStringLiteral(".escaped-names")), 1);
    QTEST(left, "left");
}

void TestListCache::oldNamesAreDroppedOnce()
{
    // A folder left by a version that wrote "/a-b" and "/a/b" to the same
    // name: which folder such a file lists cannot be told.
    QVERIFY(QDir().mkpath(m_cache));
    const QStringList old{"host[21]--a-b.cached", "host[21]--a-b.cachef", ".hidden.cached",
                          "host[21]-(jo)--.cachef"};
    for (const QString &name : old)
        QVERIFY(WriteBytes(m_cache + name, "1\r\n" + Group("b")));
    QVERIFY(WriteBytes(m_cache + "notes.txt", "kept"));
    TVexFtpFileInfoList list;
    QVERIFY(ReadListCache(m_cache + old.first(), list, 0)); // reading alone drops nothing

    // Dropped at start-up whatever is asked, and not counted as purged.
    QCOMPARE(PurgeListCache(false, false, 7), 0);
    QCOMPARE(QDir(m_cache).entryList(QDir::Files, QDir::Name), QStringList{"notes.txt"});
    QVERIFY(!ReadListCache(CacheFileName("host", "anonymous", "/a/b", true, 21), list, 0));

    // Once: files written since stay through the next start-ups.
    TVexFtpFileInfoList fresh;
    fresh.Add("new", "", "", "", "", "", "", "");
    const QString file = CacheFileName("host", "anonymous", "/a/b", true, 21);
    WriteListCache(file, fresh);
    QCOMPARE(PurgeListCache(true, true, 7), 0);
    QCOMPARE(PurgeListCache(false, false, 0), 0);
    QVERIFY(ReadListCache(file, list, 0));
    QCOMPARE(list.Count(), 1);

    // A folder the cache creates itself has nothing old to drop.
    const QString other = m_dir->path() + QStringLiteral("/other/");
    SetListCacheDirectoryForTesting(other);
    WriteListCache(CacheFileName("host", "jo", "/", true, 21), fresh);
    QVERIFY(WriteBytes(other + "host[21]-(jo)--x.cached", "0\r\n"));
    QCOMPARE(PurgeListCache(true, true, 7), 0);
    QCOMPARE(QDir(other).entryList(QDir::Files, QDir::Name),
             (QStringList{"host[21]-(jo)--.cached", "host[21]-(jo)--x.cached"}));
}

void TestListCache::filesAreTheUsersAlone()
{
    constexpr auto userOnly = QFileDevice::ReadOwner | QFileDevice::WriteOwner;
    constexpr auto userFolder = userOnly | QFileDevice::ExeOwner;
    const auto permissions = [](const QString &path) {
        // The "user" flags repeat the owner's for the owner: compare the
        // owner, group and other bits only.
        return QFileInfo(path).permissions()
               & (QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner
                  | QFileDevice::ReadGroup | QFileDevice::WriteGroup | QFileDevice::ExeGroup
                  | QFileDevice::ReadOther | QFileDevice::WriteOther | QFileDevice::ExeOther);
    };
    TVexFtpFileInfoList list;
    list.Add("secret plans", "", "", "", "", "", "", "");
    const QString file = CacheFileName("host", "jo", "/", true, 21);
    WriteListCache(file, list);
    QCOMPARE(permissions(m_cache), userFolder);
    QCOMPARE(permissions(file), userOnly);

    // A file and a folder left open to others by an earlier version.
    const auto open = QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup
                      | QFileDevice::ReadOther;
    QVERIFY(QFile::setPermissions(file, open));
    QVERIFY(QFile::setPermissions(m_cache, open | QFileDevice::ExeOwner | QFileDevice::ExeGroup
                                               | QFileDevice::ExeOther));
    WriteListCache(file, list);
    QCOMPARE(permissions(file), userOnly);
    PurgeListCache(true, true, 7);
    QCOMPARE(permissions(m_cache), userFolder);
    QCOMPARE(permissions(file), userOnly);
}

void TestListCache::cachedFoldersForTheTree_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QStringList>("names");
    QTest::addColumn<QStringList>("links");
    const QByteArray two = "2\r\n" + Group("a") + "b\r\nd\r\n1/5/2003 9:05 AM\r\n0\r\n-> /x\r\nu\r\ng\r\n\r\n";
    QTest::newRow("whole file") << two << QStringList{"a", "b"} << QStringList{"", "-> /x"};
    QTest::newRow("count not trusted") << "9\r\n" + two.mid(3) << QStringList{"a", "b"}
                                       << QStringList{"", "-> /x"};
    QTest::newRow("torn in the last entry, up to its link")
        << two.left(two.indexOf("-> /x") + 5) << QStringList{"a", "b"} << QStringList{"", "-> /x"};
    QTest::newRow("torn: a name on the last line") << "2\r\n" + Group("a") + "b\r\n"
                                                   << QStringList{"a"} << QStringList{""};
    QTest::newRow("torn: last line without its end")
        << "2\r\n" + Group("a") + "b\r\nd" << QStringList{"a", "b"} << QStringList{"", ""};
    QTest::newRow("fewer than six lines") << QByteArray("1\r\na\r\nd\r\ndate\r\n0\r\n")
                                          << QStringList{} << QStringList{};
    QTest::newRow("bare LF lines") << QByteArray("1\nn\na\nd\ns\nl\no\ng\nx\n") << QStringList{"n"}
                                   << QStringList{"l"};
    QTest::newRow("line too long ends the file")
        << "2\r\n" + Group("a") + QByteArray(100 * 1024, 'x') + "\r\n" + Group("c").mid(1)
        << QStringList{"a"} << QStringList{""};
    QTest::newRow("empty file") << QByteArray() << QStringList{} << QStringList{};
}

void TestListCache::cachedFoldersForTheTree()
{
    QFETCH(QByteArray, content);
    QFETCH(QStringList, names);
    QFETCH(QStringList, links);
    QVERIFY(QDir().mkpath(m_cache));
    const QString file = m_cache + QStringLiteral("tree.cached");
    QVERIFY(WriteBytes(file, content));
    QVERIFY(SetWriteDate(file, QDate(1999, 1, 1))); // age does not matter
    TVexFtpFileInfoList folders;
    folders.Add("before", "", "", "", "", "", "", "");
    QVERIFY(ReadCachedFolders(file, folders));
    QStringList readNames;
    QStringList readLinks;
    VexFtpFileInfo info;
    for (int i = 0; i < folders.Count(); ++i) {
        folders.GetInfo(i, info);
        readNames << info.FileName;
        readLinks << info.SymbolLink;
    }
    QCOMPARE(readNames, names);
    QCOMPARE(readLinks, links);

    // Nothing known when the file is missing or no file at all.
    QVERIFY(!ReadCachedFolders(m_cache + QStringLiteral("missing.cached"), folders));
    QCOMPARE(folders.Count(), 0);
    QVERIFY(!ReadCachedFolders(m_cache, folders));
}

QTEST_GUILESS_MAIN(TestListCache)
#include "tst_listcache.moc"
