// The listing parser, one row per line as a server sends it.

#include "FtpMisc.h"
#include "FtpParse.h"

#include <QRandomGenerator>
#include <QTest>

Q_DECLARE_METATYPE(TVexFtpServerType)

namespace {

// "%Y" in an expected date stands for the current year, which listings omit
// for recent files.
QString WithYear(const char *text)
{
    return QString::fromUtf8(text).replace(QStringLiteral("%Y"), CurrentYear());
}

} // namespace

class TestListParser : public QObject {
    Q_OBJECT

private slots:
    void parsesLines_data();
    void parsesLines();
    void linkMarksDecideFileOrFolder_data();
    void linkMarksDecideFileOrFolder();
    void vmsContinuationBelongsToItsOwnListing();
    void vmsPendingLineStaysBounded();
    void resetForgetsPendingLine();
    void arbitraryInputNeverBreaksTheRules_data();
    void arbitraryInputNeverBreaksTheRules();
};

void TestListParser::parsesLines_data()
{
    QTest::addColumn<TVexFtpServerType>("serverType");
    // All lines but the last are expected to be rejected; the last is checked.
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<bool>("accepted");
    QTest::addColumn<bool>("isDirectory");
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<QString>("attrib");
    QTest::addColumn<QString>("owner");
    QTest::addColumn<QString>("group");
    QTest::addColumn<QString>("size");
    QTest::addColumn<QString>("dateTime");
    QTest::addColumn<QString>("symbolLink");

    const auto row = [](const char *tag, TVexFtpServerType type, QStringList lines,
                        bool accepted, bool isDirectory, const char *name, const char *attrib,
                        const char *owner, const char *group, const char *size,
                        const char *dateTime, const char *link) {
        QTest::newRow(tag) << type << lines << accepted << isDirectory
                           << QString::fromUtf8(name) << QString::fromUtf8(attrib)
                           << QString::fromUtf8(owner) << QString::fromUtf8(group)
                           << QString::fromUtf8(size) << WithYear(dateTime)
                           << QString::fromUtf8(link);
    };
    const auto reject = [&row](const char *tag, TVexFtpServerType type, QStringList lines) {
        row(tag, type, lines, false, false, "", "", "", "", "", "", "");
    };

    // Unix-style long listings.
    row("folder with inner blank", ftpstAutoDetect,
        {"drwxr-xr-x   2 user  group   512 Jan  5 13:30 my dir"}, true, true, "my dir",
        "drwxr-xr-x", "user", "group", "512", "1/5/%Y 1:30 PM", "");
    row("size beginning with 9", ftpstUNIX, {"-rw-r--r-- 1 user group 9500 Mar 3 2001 a.txt"},
        true, false, "a.txt", "-rw-r--r--", "user", "group", "9500", "3/3/2001 12:00 AM", "");
    row("no group column", ftpstAutoDetect, {"-rw-r--r-- 1 user 120 Mar 3 2001 a.txt"}, true,
        false, "a.txt", "-rw-r--r--", "user", "120", "120", "3/3/2001 12:00 AM", "");
    row("link to a folder", ftpstAutoDetect, {"lrwxrwxrwx 1 root root 7 Jan 5 2001 lib -> usr/lib"},
        true, true, "lib", "lrwxrwxrwx", "root", "root", "7", "1/5/2001 12:00 AM", "-> usr/lib");
    row("link to a file", ftpstAutoDetect,
        {"lrwxrwxrwx 1 root root 7 Jan 5 2001 lib -> README.txt"}, true, false, "lib",
        "lrwxrwxrwx", "root", "root", "7", "1/5/2001 12:00 AM", "-> README.txt");
    row("link overrides the first character", ftpstAutoDetect,
        {"-rw-r--r-- 1 u g 5 Jan 5 2001 link -> x"}, true, true, "link", "-rw-r--r--", "u", "g",
        "5", "1/5/2001 12:00 AM", "-> x");
    row("too few words", ftpstAutoDetect, {"drwxr-xr-x 2 user group 512 Jan 5"}, true, true, "",
        "drwxr-xr-x", "user", "group", "512", "1/1/80 12:00", "");
    row("f as first character", ftpstAutoDetect,
        {"frw-r--r-- 1 user group 42 Dec 25 2001 odd.bin"}, true, false, "odd.bin",
        "frw-r--r--", "user", "group", "42", "12/25/2001 12:00 AM", "");
    row("midnight and noon", ftpstAutoDetect,
        {"-rw-r--r-- 1 user group 1 Feb 14 00:05 late.txt"}, true, false, "late.txt",
        "-rw-r--r--", "user", "group", "1", "2/14/%Y 12:05 AM", "");
    // A name is everything after the one blank that follows the time or
    // year: leading and trailing blanks belong to it, so that RETR asks for
    // the very file that was listed.
    row("leading and trailing blanks kept", ftpstAutoDetect,
        {"-rw-r--r-- 1 user group 1 Feb 14 12:00   spaced   "}, true, false, "  spaced   ",
        "-rw-r--r--", "user", "group", "1", "2/14/%Y 12:00 PM", "");
    row("pyftpdlib name with blanks around", ftpstUNIX,
        {"-rw-r--r--   1 root     root            5 Mar 03  2021  spaced name "}, true, false,
        " spaced name ", "-rw-r--r--", "root", "root", "5", "3/03/2021 12:00 AM", "");
    row("blank-led folder", ftpstUNIX, {"drwxr-xr-x 2 u g 512 Jan 5 2001  lead"}, true, true,
        " lead", "drwxr-xr-x", "u", "g", "512", "1/5/2001 12:00 AM", "");
    row("link name keeps its blanks", ftpstUNIX,
        {"lrwxrwxrwx 1 u g 3 Jan 5 2001  my link  -> target"}, true, true, " my link ",
        "lrwxrwxrwx", "u", "g", "3", "1/5/2001 12:00 AM", "-> target");
    row("arrow right after the year", ftpstUNIX, {"lrwxrwxrwx 1 u g 3 Jan 5 2001 -> x"}, true,
        true, "", "lrwxrwxrwx", "u", "g", "3", "1/5/2001 12:00 AM", "-> x");
    row("NetPresenz name with blanks", ftpstNetPresenz,
        {"-rw-r--r--    0     139     139 Jun 11  1996  Read Me "}, true, false, " Read Me ",
        "-rw-r--r--", "139", "139", "139", "6/11/1996 12:00 AM", "");
    row("NetTerm name with blanks", ftpstNetTerm,
        {"-rw-rw-rw-   1       2048 Jan 05  2001 two  words "}, true, false, "two  words ",
        "-rw-rw-rw-", "2048", "Jan", "2048", "1/05/2001 12:00 AM", "");

    // A mark after the permission field (an access control list, extended
    // attributes, a security context) leaves the columns where they are.
    row("ACL mark with group column", ftpstUNIX,
        {"-rw-r--r--+ 1 user group 123 Jan 5 2020 acl.txt"}, true, false, "acl.txt",
        "-rw-r--r--+", "user", "group", "123", "1/5/2020 12:00 AM", "");
    row("ACL mark, pyftpdlib columns", ftpstAutoDetect,
        {"-rw-rw-r--+   1 root     root         9876 Dec 10 12:44 shared.doc"}, true, false,
        "shared.doc", "-rw-rw-r--+", "root", "root", "9876", "12/10/%Y 12:44 PM", "");
    row("extended attributes on a folder", ftpstAutoDetect,
        {"drwxr-xr-x@  5 jo  staff  160 Mar 3 2021 Library"}, true, true, "Library",
        "drwxr-xr-x@", "jo", "staff", "160", "3/3/2021 12:00 AM", "");
    row("security context", ftpstUNIX,
        {"-rw-r--r--. 1 root root 42 Feb 14 00:05 context.conf"}, true, false, "context.conf",
        "-rw-r--r--.", "root", "root", "42", "2/14/%Y 12:05 AM", "");
    row("marked link", ftpstUNIX, {"lrwxrwxrwx@ 1 u g 7 Jan 5 2001 lib -> usr/lib"}, true, true,
        "lib", "lrwxrwxrwx@", "u", "g", "7", "1/5/2001 12:00 AM", "-> usr/lib");
    row("marked field, blanks in the name", ftpstUNIX,
        {"-rw-r--r--+ 1 u g 5 Jan 5 2001  two  words "}, true, false, " two  words ",
        "-rw-r--r--+", "u", "g", "5", "1/5/2001 12:00 AM", "");
    row("other long field keeps the rule", ftpstAutoDetect,
        {"-rw-r--r--x 1 user group 123 Jan 5 2020 odd.txt"}, true, false, "2020 odd.txt",
        "-rw-r--r--x", "user", "group", "group", "/Ja/n 5 12:00 AM", "");
    row("Netware rights in token 1", ftpstAutoDetect,
        {"d [RWCEAFMS] admin              512 Jan 05 12:30 PUBLIC"}, true, true, "PUBLIC", "d",
        "admin", "512", "512", "1/05/%Y 12:30 PM", "");
    row("Netware type", ftpstNetware, {"- [RWCEAFMS] admin 2048 Jan 05 2002 SYS.LOG"}, true,
        false, "SYS.LOG", "-", "admin", "2048", "2048", "1/05/2002 12:00 AM", "");
    row("attributes longer than ten", ftpstAutoDetect,
        {"-rw-r--r--+ 1 user 77 Mar 3 2001 acl.txt"}, true, false, "acl.txt", "-rw-r--r--+",
        "user", "77", "77", "3/3/2001 12:00 AM", "");
    row("NetTerm size in token 2", ftpstNetTerm,
        {"-rw-rw-rw-   1       2048 Jan 05  2001 netterm.zip"}, true, false, "netterm.zip",
        "-rw-rw-rw-", "2048", "Jan", "2048", "1/05/2001 12:00 AM", "");
    row("NetPresenz folder", ftpstNetPresenz,
        {"drwxrwxr-x               folder        2 Jun 11  1996 Apple Extras"}, true, true,
        "Apple Extras", "drwxrwxr-x", "2", "Jun", "2", "6/11/1996 12:00 AM", "");
    row("NetPresenz file", ftpstNetPresenz,
        {"-rw-r--r--    0     139     139 Jun 11  1996 Read Me"}, true, false, "Read Me",
        "-rw-r--r--", "139", "139", "139", "6/11/1996 12:00 AM", "");
    reject("only the attributes", ftpstAutoDetect, {"drwxr-xr-x"});
    reject("token 1 missing", ftpstAutoDetect, {"drwxr-xr-x  2"});

    // Captured from pyftpdlib 1.5.7 (Debian 12): a tiny script served a temporary
    // folder with FTPServer and an anonymous DummyAuthorizer on 127.0.0.1, and
    // `curl -s ftp://127.0.0.1:PORT/` sent LIST. The lines are pasted unchanged.
    row("pyftpdlib file", ftpstUNIX,
        {"-rw-r--r--   1 root     root           12 Dec 10 12:44 file.txt"}, true, false,
        "file.txt", "-rw-r--r--", "root", "root", "12", "12/10/%Y 12:44 PM", "");
    row("pyftpdlib folder", ftpstUNIX,
        {"drwxr-xr-x   2 root     root         4096 Dec 10 12:44 sub"}, true, true, "sub",
        "drwxr-xr-x", "root", "root", "4096", "12/10/%Y 12:44 PM", "");
    row("pyftpdlib folder with blank", ftpstUNIX,
        {"drwxr-xr-x   2 root     root         4096 Dec 10 12:44 un dossier"}, true, true,
        "un dossier", "drwxr-xr-x", "root", "root", "4096", "12/10/%Y 12:44 PM", "");
    row("pyftpdlib link to folder", ftpstUNIX,
        {"lrwxrwxrwx   1 root     root            3 Dec 10 12:44 link-to-dir -> sub"}, true, true,
        "link-to-dir", "lrwxrwxrwx", "root", "root", "3", "12/10/%Y 12:44 PM", "-> sub");
    row("pyftpdlib link to file", ftpstUNIX,
        {"lrwxrwxrwx   1 root     root            8 Dec 10 12:44 link-to-file -> file.txt"}, true,
        false, "link-to-file", "lrwxrwxrwx", "root", "root", "8", "12/10/%Y 12:44 PM",
        "-> file.txt");
    row("pyftpdlib inner blanks, old year", ftpstUNIX,
        {"-rw-r--r--   1 root     root            1 Mar 03  2021 my  notes v2.txt"}, true, false,
        "my  notes v2.txt", "-rw-r--r--", "root", "root", "1", "3/03/2021 12:00 AM", "");
    row("pyftpdlib accents", ftpstUNIX,
        {QString::fromUtf8("-rw-r--r--   1 root     root            3 Dec 10 12:44 été café.txt")},
        true, false, "été café.txt", "-rw-r--r--", "root", "root", "3", "12/10/%Y 12:44 PM", "");

    // Lines that are not entries.
    reject("total line", ftpstAutoDetect, {"total 12"});
    reject("empty line", ftpstUNIX, {""});
    reject("blank-led line", ftpstAutoDetect, {" drwxr-xr-x 2 u g 1 Jan 5 2001 x"});
    reject("header", ftpstAutoDetect, {"Directory listing of /pub"});

    // DOS/IIS style: the name column begins at column 40.
    row("DOS folder at column 40", ftpstMSFTP, {"01-20-03  10:23AM       <DIR>          pub"}, true,
        true, "pub", "", "", "", "0", "01/20/03 10:23 AM", "");
    row("DOS name at column 39", ftpstMSFTP, {"01-20-03  10:23AM       <DIR>         pub"}, true,
        true, "ub", "", "", "", "0", "01/20/03 10:23 AM", "");
    row("DOS file", ftpstAutoDetect, {"01-20-03  10:23AM                 1234 readme.txt"}, true,
        false, "readme.txt", "", "", "", "1234", "01/20/03 10:23 AM", "");
    row("DOS name keeps blanks", ftpstAutoDetect,
        {"11-02-04  03:15PM                    7  two  words  "}, true, false, " two  words  ", "",
        "", "", "7", "11/02/04 03:15 PM", "");
    row("DOS line shorter than column 40", ftpstAutoDetect, {"01-20-03 10:23AM 5 x"}, true, false,
        "", "", "", "", "5", "01/20/03 10:23 AM", "");
    row("DOS digit alone", ftpstAutoDetect, {"7"}, true, false, "", "", "", "", "", "  ", "");

    // EPLF, whatever the server type.
    row("EPLF file", ftpstAutoDetect, {"+i1234.5678,m825718503,r,s280,\tnotes.html"}, true, false,
        "notes.html", "", "", "", "280", "03/01/1996 22:15", "1234.5678");
    row("EPLF folder", ftpstVmsMultinet, {"+i8388621.29609,m824255902,/,\tdev"}, true, true, "dev",
        "", "", "", "0", "02/13/1996 23:58", "8388621.29609");
    row("EPLF without facts", ftpstAutoDetect, {"+\t plain "}, true, false, " plain ", "", "", "",
        "0", "1/1/80 12:00", "");
    row("EPLF name with blanks and a comma", ftpstUNIX, {"+r,s7,\t a, b "}, true, false, " a, b ",
        "", "", "", "7", "1/1/80 12:00", "");
    row("EPLF without its tab", ftpstAutoDetect, {"+/,m0, dir "}, true, true, "dir", "", "", "",
        "0", "01/01/1970 00:00", "");
    reject("EPLF without name", ftpstAutoDetect, {"+s12,m1,\t"});

    // VMS: a name filling its line continues on the next one.
    row("VMS continuation", ftpstVmsMultinet,
        {"A_VERY_LONG_NAME.TXT;1", "        1   8-SEP-1996 16:09 [ANONYMOUS] (RWED,RWED,RE,RE)"},
        true, false, "A_VERY_LONG_NAME.TXT", "", "", "", "1", "9/8/1996 4:09 PM", "");
    row("VMS .DIR", ftpstVmsMultinet, {"CORE.DIR;1          1   8-SEP-1996 16:09 [SYSTEM] (RWE,RWE,RE,RE)"},
        true, true, "CORE", "", "", "", "1", "9/8/1996 4:09 PM", "");
    row("VMS UCX", ftpstVmsUcx, {"FILE.TXT;3      12/20   12-JAN-2003 09:05:31  [USER]  (RWED,RWED,RE,)"},
        true, false, "FILE.TXT", "", "", "", "12/20", "1/12/2003 9:05 AM", "");
    row("VMS midnight", ftpstVmsUcx, {"LOG.DAT;12  3  1-FEB-2004 00:30:00.00 [USER] (RWED)"}, true,
        false, "LOG.DAT", "", "", "", "3", "2/1/2004 12:30 AM", "");
    row("VMS noon", ftpstVmsUcx, {"LOG.DAT;13  3  1-FEB-2004 12:15 [USER] (RWED)"}, true, false,
        "LOG.DAT", "", "", "", "3", "2/1/2004 12:15 PM", "");
    reject("VMS header", ftpstVmsMultinet, {"Directory DISK$ANON:[ANONYMOUS]"});
    reject("VMS total", ftpstVmsMultinet, {"Total of 2 files, 2 blocks."});

    // VM/CMS.
    row("VM two-digit year", ftpstVM,
        {"PROFILE  EXEC     V         17         13          1  8/18/94 13:46:40 A1"}, true, false,
        "PROFILE.EXEC", "", "", "", "17", "8/18/1994 1:46 PM", "");
    row("VM ISO date", ftpstVM,
        {"ACL      TEXT     F         80          1          1 1995-11-06 11:19:31 191"}, true,
        false, "ACL.TEXT", "", "", "", "80", "11/6/1995 11:19 AM", "");

    // VM/VPS: the date is token 7 and the time token 6. These lines are
    // written after the column layout the dialect's rules read.
    row("VM/VPS entry", ftpstVMVPS, {"USER1    PAYROLL   1200  F  80  1  14:02  06/05/96  X"}, true,
        false, ".PAYROLL", "", "", "", "1200", "6/5/1996 2:02 PM", "");
    reject("VM/VPS header with =", ftpstVMVPS, {"Dsname = USER1.PAYROLL"});
    reject("VM/VPS totals", ftpstVMVPS, {"  totals: 3 files 12 rf trks"});
    reject("VM/VPS track limit", ftpstVMVPS, {"track limit 300"});
}

void TestListParser::parsesLines()
{
    QFETCH(TVexFtpServerType, serverType);
    QFETCH(QStringList, lines);

    TVexFtpListState state;
    VexFtpFileInfo entry;
    bool isDirectory = true;
    for (qsizetype i = 0; i + 1 < lines.size(); ++i)
        QVERIFY(!ParseListLine(serverType, lines[i], state, entry, isDirectory));
    const bool accepted = ParseListLine(serverType, lines.last(), state, entry, isDirectory);

    QTEST(accepted, "accepted");
    QTEST(isDirectory, "isDirectory");
    QTEST(entry.FileName, "fileName");
    QTEST(entry.Attrib, "attrib");
    QTEST(entry.Owner, "owner");
    QTEST(entry.Group, "group");
    QTEST(entry.Size, "size");
    QTEST(entry.DateTime, "dateTime");
    QTEST(entry.SymbolLink, "symbolLink");
    QVERIFY(entry.Description.isEmpty());
}

void TestListParser::linkMarksDecideFileOrFolder_data()
{
    QTest::addColumn<QString>("target");
    QTest::addColumn<bool>("isDirectory");
    QTest::newRow("gz") << "pkg.tar.GZ" << false;
    QTest::newRow("exe") << "setup.exe" << false;
    QTest::newRow("txt") << "notes.txt" << false;
    QTest::newRow("tar") << "a.tar" << false;
    QTest::newRow("copying") << "COPYING" << false;
    QTest::newRow("readme") << "ReadMe" << false;
    QTest::newRow("diff") << "fix.diff" << false;
    QTest::newRow("other") << "usr/share" << true;
    QTest::newRow("zip is not a mark") << "a.zip" << true;
}

void TestListParser::linkMarksDecideFileOrFolder()
{
    QFETCH(QString, target);
    TVexFtpListState state;
    VexFtpFileInfo entry;
    bool isDirectory = false;
    QVERIFY(ParseListLine(ftpstUNIX, "lrwxrwxrwx 1 root root 7 Jan 5 2001 x -> " + target, state,
                          entry, isDirectory));
    QTEST(isDirectory, "isDirectory");
    QCOMPARE(entry.SymbolLink, "-> " + target);
    QCOMPARE(std::size(FileLinkMarks), size_t(7));
}

void TestListParser::vmsContinuationBelongsToItsOwnListing()
{
    // Two clients listing at once: a name pending in one never completes a
    // line of the other.
    TVexFtpListState first;
    TVexFtpListState second;
    VexFtpFileInfo entry;
    bool isDirectory = false;
    QVERIFY(!ParseListLine(ftpstVmsMultinet, u"FIRST_LONG_NAME.TXT;1", first, entry, isDirectory));
    QVERIFY(!ParseListLine(ftpstVmsMultinet, u"SECOND_LONG_NAME.DIR;1", second, entry, isDirectory));
    QVERIFY(ParseListLine(ftpstVmsMultinet, u"      4  8-SEP-1996 16:09 [X] (RWED)", second, entry,
                          isDirectory));
    QCOMPARE(entry.FileName, QStringLiteral("SECOND_LONG_NAME"));
    QVERIFY(isDirectory);
    QVERIFY(ParseListLine(ftpstVmsMultinet, u"      9  9-SEP-1996 10:00 [X] (RWED)", first, entry,
                          isDirectory));
    QCOMPARE(entry.FileName, QStringLiteral("FIRST_LONG_NAME.TXT"));
    QCOMPARE(entry.Size, QStringLiteral("9"));
    QVERIFY(!isDirectory);
    QVERIFY(first.PendingVmsLine.isEmpty());
    QVERIFY(second.PendingVmsLine.isEmpty());
}

void TestListParser::vmsPendingLineStaysBounded()
{
    // A broken server sending name-only lines forever must not make the
    // pending text grow line after line.
    TVexFtpListState state;
    VexFtpFileInfo entry;
    bool isDirectory = false;
    const QString nameOnly = QString(1000, u'N') + QStringLiteral(";1");
    qsizetype longest = 0;
    for (int i = 0; i < 2000; ++i) {
        QVERIFY(!ParseListLine(ftpstVmsUcx, nameOnly, state, entry, isDirectory));
        longest = std::max(longest, state.PendingVmsLine.size());
    }
    QVERIFY(longest > 0);
    QVERIFY(longest <= 4096);
}

void TestListParser::resetForgetsPendingLine()
{
    TVexFtpListState state;
    VexFtpFileInfo entry;
    bool isDirectory = false;
    QVERIFY(!ParseListLine(ftpstVmsMultinet, u"LEFT_OVER.TXT;1", state, entry, isDirectory));
    state.Reset();
    QVERIFY(ParseListLine(ftpstVmsMultinet, u"NEW.TXT;1  2  8-SEP-1996 16:09 [X] (RWED)", state,
                          entry, isDirectory));
    QCOMPARE(entry.FileName, QStringLiteral("NEW.TXT"));
}

void TestListParser::arbitraryInputNeverBreaksTheRules_data()
{
    QTest::addColumn<int>("serverType");
    for (int type = ftpstAutoDetect; type <= ftpstNetPresenz; ++type)
        QTest::addRow("type %d", type) << type;
}

void TestListParser::arbitraryInputNeverBreaksTheRules()
{
    QFETCH(int, serverType);
    const auto type = TVexFtpServerType(serverType);
    // Short lines built from the characters the rules look at, then random
    // bytes of any length: every line is accepted or rejected, a rejected
    // line leaves the entry empty and DOS-style names are column 40 on.
    static const char16_t alphabet[] = u"+-fdl0123456789 ,;/ris>-:.DIR\t[";
    QRandomGenerator random(20031231u + unsigned(serverType));
    TVexFtpListState state;
    VexFtpFileInfo entry;
    bool isDirectory = false;
    for (int i = 0; i < 17000; ++i) {
        QString line;
        const int length = i < 15000 ? int(random.bounded(48)) : int(random.bounded(5000));
        for (int c = 0; c < length; ++c) {
            if (i < 15000)
                line += QChar(alphabet[random.bounded(int(std::size(alphabet) - 1))]);
            else
                line += QChar(char16_t(random.bounded(1, 0x10000)));
        }
        const bool accepted = ParseListLine(type, line, state, entry, isDirectory);
        QVERIFY(entry.Description.isEmpty());
        if (!accepted) {
            QVERIFY(entry.FileName.isEmpty() && entry.Size.isEmpty() && entry.DateTime.isEmpty());
            QVERIFY(!isDirectory);
            continue;
        }
        QVERIFY(!entry.DateTime.isEmpty());
        const bool dosRules = line.front().isDigit() && line.front() <= u'9' && type != ftpstVM
                              && type != ftpstVMVPS && type != ftpstVmsMultinet
                              && type != ftpstVmsUcx;
        if (dosRules)
            QCOMPARE(entry.FileName, line.mid(39));
    }
    QVERIFY(state.PendingVmsLine.size() <= 4096 + 5000);
}

QTEST_GUILESS_MAIN(TestListParser)
#include "tst_listparser.moc"
