#pragma once
// A client logged in to a scripted FTP server, for the remote view tests.
// Listings come either over the wire (AddListing) or from the listing cache
// (ListFromCache), which lets a test hand the views any entries at all,
// including ones no real server would produce.

#include "Ftp.h"
#include "FtpCache.h"
#include "FtpData.h"
#include "FtpScript.h"
#include "ScriptedFtpServer.h"

#include <QtTest>

namespace RemoteViewTest {

constexpr int WaitMs = 5000;

inline const QString GuestUser = QStringLiteral("anonymous");
inline const QString GuestPassword = QStringLiteral("guest@");

// Welcome, USER, PASS, the restart probe (refused) and PWD. A null
// directory gets a PWD reply without a quoted path (the current folder
// stays unknown). PointAt sets the client to a UNIX server, so no SYST is
// sent, and to passive mode.
inline FtpScript LoginScript(const QString &user, const QString &password, const QString &directory)
{
    FtpScript script;
    script.send(QStringLiteral("220 scripted server"))
        .expect(QLatin1String("USER ") + user, QStringLiteral("331 password please"))
        .expect(QLatin1String("PASS ") + password, QStringLiteral("230 logged in"))
        .expect(QStringLiteral("TYPE I"), QStringLiteral("200 type I"))
        .expect(QStringLiteral("REST 100"), QStringLiteral("502 no restart"));
    if (directory.isNull())
        script.expect(QStringLiteral("PWD"), QStringLiteral("257 somewhere"));
    else
        script.expect(QStringLiteral("PWD"), QLatin1String("257 \"") + directory + QLatin1String("\" is current"));
    return script;
}

// A LIST over a passive connection; the first listing of a connection is
// preceded by TYPE A.
inline FtpScript &AddListing(FtpScript &script, const QStringList &lines, bool firstOfConnection = true)
{
    if (firstOfConnection)
        script.expect(QStringLiteral("TYPE A"), QStringLiteral("200 type A"));
    QByteArray data;
    for (const QString &line : lines)
        data += line.toUtf8() + "\r\n";
    return script.expectPasv()
        .expect(QStringLiteral("LIST"), QStringLiteral("150 here it comes"))
        .dataSend(data)
        .send(QStringLiteral("226 done"));
}

// A Unix listing line for a folder (or a link to one, with target) or a file.
inline QString FolderLine(const QString &name, const QString &target = {})
{
    if (!target.isEmpty())
        return QLatin1String("lrwxrwxrwx 1 owner group 9 Jan 05 2020 ") + name + QLatin1String(" -> ") + target;
    return QLatin1String("drwxr-xr-x 2 owner group 4096 Jan 05 2020 ") + name;
}
inline QString FileLine(const QString &name, qint64 size = 100)
{
    return QLatin1String("-rw-r--r-- 1 owner group ") + QString::number(size) + QLatin1String(" Jan 05 2020 ") + name;
}

inline void PointAt(TVexFtp &client, const ScriptedFtpServer &server, const QString &user,
                    const QString &password)
{
    client.SetServer(server.Host());
    client.SetPort(server.Port());
    client.SetUsername(user);
    client.SetPassword(password);
    client.SetServerType(ftpstUNIX);
    client.SetPassive(true);
}

inline bool WaitLoggedIn(TVexFtp &client)
{
    return QTest::qWaitFor([&] { return client.LoggedIn() && !client.Busy(); }, WaitMs);
}

inline bool WaitIdle(TVexFtp &client)
{
    return QTest::qWaitFor([&] { return !client.Busy(); }, WaitMs);
}

// Lists the client's current folder and waits for the end of the listing.
inline bool ListAndWait(TVexFtp &client)
{
    bool done = false;
    const TNotifyEvent previous = client.OnListingDone;
    client.OnListingDone = [&done, previous](TVexFtp *sender) {
        done = true;
        if (previous)
            previous(sender);
    };
    client.ListDirectory();
    const bool finished = QTest::qWaitFor([&] { return done; }, WaitMs);
    client.OnListingDone = previous;
    return finished;
}

// The entries become the cached listing of the client's current folder, and
// the client lists it from there (no LIST on the wire).
inline bool ListFromCache(TVexFtp &client, const TVexFtpFileInfoList &folders,
                          const TVexFtpFileInfoList &files)
{
    const QString directory = client.CurrentDirectory();
    WriteListCache(CacheFileName(client.Server(), client.Username(), directory, true, client.Port()), folders);
    WriteListCache(CacheFileName(client.Server(), client.Username(), directory, false, client.Port()), files);
    client.SetCache(true);
    return ListAndWait(client) && client.FromCache();
}

// One scripted server and a client logged in to it as a guest.
struct Site {
    ScriptedFtpServer server;
    TVexFtp client;

    bool LogIn(const QString &directory)
    {
        if (!server.Start(LoginScript(GuestUser, GuestPassword, directory).expectClose()))
            return false;
        PointAt(client, server, GuestUser, GuestPassword);
        client.Login();
        return WaitLoggedIn(client);
    }
};

} // namespace RemoteViewTest
