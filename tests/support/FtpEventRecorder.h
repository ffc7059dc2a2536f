#pragma once
// FtpEventRecorder: the one record of what a TVexFtp tells its owner, shared
// by every protocol test. It takes every hook of the client and writes each
// event as one readable text, in order, so that tests can compare whole
// event sequences:
//
//   "ftpiConnected(127.0.0.1)"   an FtpInfo with its text
//   "ftpeLoginRefused()"         an FtpError with the text it carried
//   "needPassword"               a question (answered from the answers below)
//   "OnFtpReady", "OnLoggedIn"   a notification hook, by its name
//
// Received text is noisy (one event per read, and an empty one at the end of
// every readable notification); Events() joins consecutive ftpiReceived
// events into one and drops the empty ones, RawEvents() keeps them as raised.
// Narrower views serve the usual questions: the commands sent, the hooks
// alone, or the hooks and errors by name (what an operation ended with).
//
// The recorder leaves the client's hooks empty when it goes, unless another
// recorder has taken them since; the client may go first.

#include "Ftp.h"

#include <QList>
#include <QMap>
#include <QPair>
#include <QPointer>
#include <QStringList>
#include <functional>

QString FtpInfoName(FtpInfo info);
QString FtpErrorName(FtpError error);
QString FtpNeedName(TVexFtpInfoNeeded need);

class FtpEventRecorder
{
public:
    // How long WaitFor waits by default.
    static constexpr int WaitMs = 10000;

    explicit FtpEventRecorder(TVexFtp &client);
    ~FtpEventRecorder();
    FtpEventRecorder(const FtpEventRecorder &) = delete;
    FtpEventRecorder &operator=(const FtpEventRecorder &) = delete;

    QStringList Events() const;
    QStringList RawEvents() const;
    // Events() from the first one that starts with prefix (empty when none).
    QStringList EventsFrom(const QString &prefix) const;
    // The events of Events() that start with prefix, in order ("ftpe" gives
    // every error, "OnFile" every file hook).
    QStringList EventsMatching(const QString &prefix) const;
    int Count(const QString &event) const;        // exact, in Events()
    int CountPrefix(const QString &prefix) const; // in Events()
    bool Has(const QString &event) const;         // exact, in Events()
    // Position in Events() of the first event equal to event at or after
    // from, or -1.
    qsizetype IndexOf(const QString &event, qsizetype from = 0) const;
    // Waits (running the event loop) until event has been seen count times
    // in all; false when the time ran out.
    bool WaitFor(const QString &event, int count = 1, int timeoutMs = WaitMs) const;

    // The texts of one info code, in order, as raised (RawEvents()).
    QStringList Texts(FtpInfo info) const;
    int CountInfo(FtpInfo info) const;
    // Every info with its text, in order, as raised.
    QList<QPair<FtpInfo, QString>> Infos() const;
    // The command lines sent (the texts of ftpiCommand), without CR LF.
    QStringList Commands() const;
    // The notification hooks alone, by name ("OnFtpBusy", "OnFtpReady", ...).
    QStringList Notifications() const;
    // The notification hooks and the errors by name, without texts
    // ("OnFtpBusy", "ftpeAccessDenied", "OnFtpReady"): how an operation went.
    QStringList Outcomes() const;
    QList<FtpError> Errors() const;
    QList<int> ErrorCodes() const;
    QStringList ErrorTexts() const;
    // Events() on one line, for failure messages.
    QString Dump() const;
    void Clear();

    // Lets posted messages run, so that anything an operation posted has
    // fired before the caller looks. Used only to show that nothing came.
    static void Settle();

    // What the owner answers to each question; a question missing here is
    // left unanswered (Value stays as the client passed it).
    QMap<TVexFtpInfoNeeded, QString> Answers;
    // Answers to needFileExists used one per question, in order, before
    // Answers is looked at.
    QStringList FileExistsAnswers;
    // Called after an event has been recorded, with its text: lets a test act
    // from inside a hook (start an operation from a completion event...).
    std::function<void(const QString &event)> After;

private:
    void Record(const QString &event);

    QPointer<TVexFtp> client;
    QStringList raw;
    QList<QPair<FtpInfo, QString>> infos;
    QList<FtpError> errors;
    QStringList errorTexts;
};
