#pragma once
// Shared set-up of the window tests: a private HOME and Qt's test folders for
// the preferences, a temporary folder for the program's files (velmar.ini,
// programmation.ini, the help page) and for the listing cache, scripted
// prompts and a recorder in place of the desktop's URL opener.

#include "AppFiles.h"
#include "FtpCacheTesting.h"
#include "Preferences.h"
#include "Prompts.h"
#include "SiteProfiles.h"
#include "UrlOpener.h"

#include <QByteArray>
#include <QFile>
#include <QMap>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>
#include <memory>

// Call once, in initTestCase, before anything reads the preferences.
inline void IsolateUserFolders(QTemporaryDir &home)
{
    qputenv("HOME", home.path().toLocal8Bit());
    qunsetenv("XDG_CONFIG_HOME");
    qunsetenv("XDG_DATA_HOME");
    qunsetenv("XDG_CACHE_HOME");
    QStandardPaths::setTestModeEnabled(true);
}

class TShellFixture
{
public:
    TShellFixture()
    {
        SetFilesFolderForTesting(files.path());
        SetListCacheDirectoryForTesting(cache.path() + QLatin1Char('/'));
        prompter.Install();
        SetUrlOpener([this](const QUrl &url) {
            opened.append(url);
            return true;
        });
        ClearPreferences();
    }

    ~TShellFixture()
    {
        SetUrlOpener({});
        SetListCacheDirectoryForTesting(QString());
        SetFilesFolderForTesting(QString());
        ClearPreferences();
    }

    static void ClearPreferences()
    {
        const std::unique_ptr<QSettings> settings = CreatePreferences();
        settings->clear();
        settings->sync();
    }

    static void WritePreferences(const QMap<QString, QString> &values)
    {
        const std::unique_ptr<QSettings> settings = CreatePreferences();
        for (auto it = values.cbegin(); it != values.cend(); ++it)
            settings->setValue(it.key(), it.value());
        settings->sync();
    }

    static QMap<QString, QString> ReadPreferences()
    {
        QMap<QString, QString> values;
        const std::unique_ptr<QSettings> settings = CreatePreferences();
        settings->sync();
        for (const QString &key : settings->childKeys())
            values.insert(key, settings->value(key).toString());
        return values;
    }

    QString FilePath(const QString &name) const { return files.path() + QLatin1Char('/') + name; }
    QString ProfilePath() const { return FilePath(QStringLiteral("velmar.ini")); }

    void WriteFile(const QString &name, const QByteArray &data) const
    {
        QFile file(FilePath(name));
        QVERIFY(file.open(QIODevice::WriteOnly));
        QCOMPARE(file.write(data), data.size());
    }

    QByteArray ReadFile(const QString &name) const
    {
        QFile file(FilePath(name));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    QTemporaryDir files;
    QTemporaryDir cache;
    TScriptedPrompter prompter;
    QList<QUrl> opened;
};

// A profile file as the program writes it: the header, then the blocks.
inline QByteArray ProfileFileText(const QList<QStringList> &profiles)
{
    QByteArray text = "Paramètres des connexions enregistrées:\r\n"
                      "***************************************\r\n"
                      "***************************************\r\n";
    for (const QStringList &profile : profiles)
        for (const QString &line : profile)
            text += line.toUtf8() + "\r\n";
    return text;
}

inline QStringList ProfileTexts(const QString &name, const QString &host = QStringLiteral("ftp.example.net"),
                                const QString &port = QStringLiteral("21"),
                                const QString &proxyFlag = QStringLiteral("0"))
{
    return {name, host, port, QStringLiteral("anonymous"), QStringLiteral("moi@example.net"), proxyFlag,
            QStringLiteral("proxy.example.net"), QStringLiteral("8021"), QStringLiteral("http://www.example.net/"),
            QStringLiteral("/pub")};
}
