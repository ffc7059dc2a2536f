#pragma once
// What a TVexFtp told its owner, in order: the completion and life-cycle
// hooks and the errors as one sequence of short words ("busy", "ready",
// "error 29", "dirchanged" ...), plus the command lines it sent and the
// infos it raised. Shared by the navigation and address tests.

#include "Ftp.h"

#include <QList>
#include <QPair>
#include <QStringList>
#include <QTest>

class FtpClientLog
{
public:
    static constexpr int WaitMs = 10000;

    explicit FtpClientLog(TVexFtp &client)
        : ftp(client)
    {
        ftp.OnFtpInfo = [this](TVexFtp *, FtpInfo info, const QString &text) {
            infos.append({info, text});
            if (info == ftpiCommand)
                commands.append(QString(text).remove(QLatin1String("\r\n")));
        };
        ftp.OnFtpError = [this](TVexFtp *, FtpError error, const QString &text) {
            events.append(QStringLiteral("error %1").arg(int(error)));
            errors.append({error, text});
        };
        Hook(ftp.OnFtpBusy, "busy");
        Hook(ftp.OnFtpReady, "ready");
        Hook(ftp.OnFtpQuit, "quit");
        Hook(ftp.OnLoggedIn, "loggedin");
        Hook(ftp.OnDirectoryChanged, "dirchanged");
        Hook(ftp.OnDirectoryCreated, "dircreated");
        Hook(ftp.OnDirectoryDeleted, "dirdeleted");
        Hook(ftp.OnFileDeleted, "filedeleted");
        Hook(ftp.OnFileReceived, "filereceived");
        Hook(ftp.OnFileStored, "filestored");
        Hook(ftp.OnFileRenamed, "filerenamed");
        Hook(ftp.OnListingDone, "listingdone");
    }

    void Clear()
    {
        events.clear();
        commands.clear();
        infos.clear();
        errors.clear();
    }

    int Count(const QString &event) const { return int(events.count(event)); }
    bool HasInfo(FtpInfo info) const
    {
        for (const auto &entry : infos)
            if (entry.first == info)
                return true;
        return false;
    }
    QStringList InfoTexts(FtpInfo info) const
    {
        QStringList texts;
        for (const auto &entry : infos)
            if (entry.first == info)
                texts.append(entry.second);
        return texts;
    }

    // Waits until event has been seen count times in all.
    bool WaitFor(const QString &event, int count = 1)
    {
        return QTest::qWaitFor([&] { return Count(event) >= count; }, WaitMs);
    }

    // Lets posted messages run, so that anything an operation posted has
    // fired before the caller looks. Used only to show that nothing came.
    static void Settle()
    {
        for (int i = 0; i < 5; ++i)
            QCoreApplication::processEvents();
    }

    QStringList events;
    QStringList commands;
    QList<QPair<FtpInfo, QString>> infos;
    QList<QPair<FtpError, QString>> errors;

private:
    void Hook(TNotifyEvent &hook, const char *name)
    {
        const QString word = QString::fromLatin1(name);
        hook = [this, word](TVexFtp *) { events.append(word); };
    }

    TVexFtp &ftp;
};

// A client that never retries, pauses or sends keep-alive NOOPs on its own,
// so that a test sees only the dialogue it causes.
inline void ConfigureQuietClient(TVexFtp &ftp, const QString &host, quint16 port, const QString &user,
                                 const QString &password)
{
    ftp.SetServer(host);
    ftp.SetPort(port);
    ftp.SetUsername(user);
    ftp.SetPassword(password);
    ftp.SetRetries(0);
    ftp.SetRetryInterval(0);
    ftp.SetNoopInterval(0);
    ftp.SetPassive(true);
}
