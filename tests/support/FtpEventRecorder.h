#pragma once
// FtpEventRecorder: takes every hook of a TVexFtp and writes what the client
// says as one readable text per event, in order, so that tests can compare
// whole event sequences:
//
//   "ftpiConnected(127.0.0.1)"   an FtpInfo with its text
//   "ftpeLoginRefused()"         an FtpError with the text it carried
//   "needPassword"               a question (answered from Answers)
//   "OnFtpReady", "OnLoggedIn"   a notification hook, by its name
//
// Received text is noisy (one event per read, and an empty one at the end of
// every readable notification); Events() joins consecutive ftpiReceived
// events into one and drops the empty ones, RawEvents() keeps them as raised.

#include "Ftp.h"

#include <QMap>
#include <QStringList>
#include <functional>

QString FtpInfoName(FtpInfo info);
QString FtpErrorName(FtpError error);
QString FtpNeedName(TVexFtpInfoNeeded need);

class FtpEventRecorder
{
public:
    explicit FtpEventRecorder(TVexFtp &client);

    QStringList Events() const;
    QStringList RawEvents() const;
    // Events() from the first one that starts with prefix (empty when none).
    QStringList EventsFrom(const QString &prefix) const;
    int Count(const QString &event) const;        // exact, in Events()
    int CountPrefix(const QString &prefix) const; // in Events()
    // The texts of one info code, in order, as raised (RawEvents()).
    QStringList Texts(FtpInfo info) const;
    QList<FtpError> Errors() const;
    QStringList ErrorTexts() const;
    void Clear();

    // What the owner answers to each question; a question missing here is
    // left unanswered (Value stays as the client passed it).
    QMap<TVexFtpInfoNeeded, QString> Answers;
    // Called after an event has been recorded, with its text: lets a test act
    // from inside a hook (start an operation from a completion event...).
    std::function<void(const QString &event)> After;

private:
    void Record(const QString &event);

    QStringList raw;
    QList<QPair<FtpInfo, QString>> infos;
    QList<FtpError> errors;
    QStringList errorTexts;
};
