#pragma once
// Records everything a TVexFtp tells its owner, in order, for the tests that
// feed the client broken or hostile servers: each event as one short text
// ("error 27", "info 1 Déconnecté", "quit", "ready", "loggedin", "received",
// ...), plus the commands the client sent.

#include "Ftp.h"
#include "FtpCacheTesting.h"

#include <QStringList>
#include <QTemporaryDir>

class ClientEventLog
{
public:
    // Hooks the client; answers the questions with the given values.
    explicit ClientEventLog(TVexFtp &client) : m_client(client)
    {
        client.OnFtpInfo = [this](TVexFtp *, FtpInfo info, const QString &text) {
            if (info == ftpiCommand)
                m_commands << text.trimmed();
            if (info != ftpiReceived && info != ftpiProgress && info != ftpiCommand)
                m_events << QStringLiteral("info %1 %2").arg(int(info)).arg(text).trimmed();
        };
        client.OnFtpError = [this](TVexFtp *, FtpError error, const QString &) {
            m_events << QStringLiteral("error %1").arg(int(error));
        };
        client.OnFtpNeedInfo = [this](TVexFtp *, TVexFtpInfoNeeded need, QString &value) {
            m_events << QStringLiteral("need %1").arg(int(need));
            if (need == needFileExists)
                value = FileExistsAnswer;
        };
        const auto note = [this](const char *name) {
            return [this, name](TVexFtp *) { m_events << QString::fromLatin1(name); };
        };
        client.OnFtpQuit = note("quit");
        client.OnFtpReady = note("ready");
        client.OnLoggedIn = note("loggedin");
        client.OnListingDone = note("listed");
        client.OnFileReceived = note("received");
        client.OnFileStored = note("stored");
        client.OnFtpBusy = note("busy");
    }

    ~ClientEventLog()
    {
        m_client.OnFtpInfo = nullptr;
        m_client.OnFtpError = nullptr;
        m_client.OnFtpNeedInfo = nullptr;
        for (TNotifyEvent *hook : {&m_client.OnFtpQuit, &m_client.OnFtpReady, &m_client.OnLoggedIn,
                                   &m_client.OnListingDone, &m_client.OnFileReceived,
                                   &m_client.OnFileStored, &m_client.OnFtpBusy})
            *hook = nullptr;
    }

    QString FileExistsAnswer = QStringLiteral("Overwrite");

    const QStringList &Events() const { return m_events; }
    const QStringList &Commands() const { return m_commands; }
    int Count(const QString &event) const { return int(m_events.count(event)); }
    bool Has(const QString &event) const { return m_events.contains(event); }
    // The events that start with prefix ("error " gives every error).
    QStringList Starting(const QString &prefix) const
    {
        QStringList found;
        for (const QString &e : m_events)
            if (e.startsWith(prefix))
                found << e;
        return found;
    }
    // Position of the first event equal to event at or after from, or -1.
    qsizetype IndexOf(const QString &event, qsizetype from = 0) const { return m_events.indexOf(event, from); }
    void Clear()
    {
        m_events.clear();
        m_commands.clear();
    }
    QString Text() const { return m_events.join(QStringLiteral(" | ")); }

private:
    TVexFtp &m_client;
    QStringList m_events;
    QStringList m_commands;
};

// A client set up for scripted servers: no retries, no keep-alive, its
// listing cache in a folder of its own.
inline void PrepareClient(TVexFtp &client, const QTemporaryDir &cacheFolder, quint16 port)
{
    SetListCacheDirectoryForTesting(cacheFolder.path() + QLatin1Char('/'));
    client.SetServer(QStringLiteral("127.0.0.1"));
    client.SetPort(port);
    client.SetUsername(QStringLiteral("anonymous"));
    client.SetPassword(QStringLiteral("guest@example.org"));
    client.SetRetries(0);
    client.SetRetryInterval(0);
    client.SetNoopInterval(0);
    client.SetCache(false);
}
