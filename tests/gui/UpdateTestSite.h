#pragma once
// Shared steps of the update tab's tests (explorer and quick sides): the
// texts of its rows, files written with a chosen last-write time, and the
// file commands a verbose pyftpdlib logged, in their order. It reads neither
// the client's header nor the quick panel's, so that each test program
// includes the one it needs.

#include "SiteComparison.h"

#include <QByteArray>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QStringList>

#include <utility>

namespace UpdateTest {
inline const QString Question = QStringLiteral("Etes-vous certain de vouloir mettre votre site à jour?");
inline const QString Missing = UpdateText::MissingOnSite;
inline const QString Gone = UpdateText::MissingLocally;

inline QString DatesText(const QString &local, const QString &remote)
{
    return QStringLiteral("Dates différentes: à mettre à jour sur le site:  ") + local + QStringLiteral("   (Local)-  ")
        + remote + QStringLiteral("   (Distant)");
}

// name=action:text for each row, in list order.
inline QStringList Describe(const QList<TUpdateRow> &rows)
{
    QStringList texts;
    for (const TUpdateRow &row : rows)
        texts << row.Name + QLatin1Char('=') + QString::number(row.Action) + QLatin1Char(':') + row.Text;
    return texts;
}

inline QStringList Sorted(QStringList list)
{
    list.sort();
    return list;
}

inline bool SetWriteTime(const QString &path, const QDateTime &when)
{
    QFile file(path);
    return file.open(QIODevice::ReadWrite) && file.setFileTime(when, QFileDevice::FileModificationTime);
}

// The server's log lines of the commands that change files, in order, as
// "STOR name" / "RETR name" / "DELE name".
inline QStringList FileCommands(const QByteArray &log)
{
    QStringList commands;
    for (const QString &line : QString::fromUtf8(log).split(QLatin1Char('\n'))) {
        for (const char *verb : {"STOR ", "RETR ", "DELE "}) {
            const qsizetype at = line.indexOf(QLatin1String(verb));
            if (at < 0)
                continue;
            QString rest = line.mid(at + 5);
            // pyftpdlib names the file by its path on the server, then its
            // figures.
            rest = rest.section(QLatin1Char(' '), 0, 0);
            commands << QLatin1String(verb) + rest.section(QLatin1Char('/'), -1);
        }
    }
    return commands;
}

// The first index in commands of a command of verb, and the last one.
inline std::pair<qsizetype, qsizetype> Span(const QStringList &commands, const QString &verb)
{
    qsizetype first = -1;
    qsizetype last = -1;
    for (qsizetype i = 0; i < commands.size(); ++i) {
        if (!commands.at(i).startsWith(verb))
            continue;
        if (first < 0)
            first = i;
        last = i;
    }
    return {first, last};
}

inline QByteArray Bytes(qsizetype size, quint32 seed)
{
    QRandomGenerator generator(seed);
    QByteArray data(size, Qt::Uninitialized);
    for (char &c : data)
        c = char(generator.bounded(256));
    return data;
}

inline bool WriteBytes(const QString &path, const QByteArray &data, const QDateTime &when = {})
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(data) != data.size())
        return false;
    file.close();
    return !when.isValid() || SetWriteTime(path, when);
}

inline QByteArray ReadBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

inline QStringList FolderEntries(const QString &folder)
{
    QStringList names = QDir(folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
    names.sort();
    return names;
}

} // namespace UpdateTest
