#pragma once
// The dial-up component: lists the phonebook entries, dials one, reports the
// active connections and hangs them up, on top of a dial-up backend (the
// system's service, or a scripted one in tests). Operations return the
// service's result code (0 for success) and report through the hooks below;
// nothing here throws or shows a message, so an owner on a machine without a
// dial-up service simply sees no entries and no connections.

#include "DialUpBackend.h"

#include <QObject>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>

enum TDialMode { dmAsync, dmSync };
enum class TLanguage { France, Czech, Portuguese };

class TDialUp;

using TOnEntryGet = std::function<void(TDialUp *sender, const QString &entryName)>;
using TStandartEv = std::function<void(TDialUp *sender)>;
using TOnNotConn = std::function<void(TDialUp *sender, int errorCode, const QString &errorMessage)>;
using TOnAsyncEvent = std::function<void(TDialUp *sender, int state, int error, const QString &messageText)>;
using TOnError = std::function<void(TDialUp *sender, int errorCode, const QString &errorMessage)>;
using TOnActiveConn = std::function<void(TDialUp *sender, TRasHandle handle, const TRasConnStatus &status,
                                         const QString &statusString, const QString &entryName,
                                         const QString &deviceType, const QString &deviceName)>;

class TDialUp : public QObject
{
    Q_OBJECT
public:
    // Uses CreateDialUpBackend(): NetworkManager when it answers, else none.
    explicit TDialUp(QObject *owner = nullptr);
    TDialUp(std::unique_ptr<TDialUpBackend> backend, QObject *owner = nullptr);
    ~TDialUp() override;

    TDialMode DialMode() const;
    void SetDialMode(TDialMode mode);
    QString Entry() const;
    void SetEntry(const QString &entry);
    QStringList Entries() const; // found by the last GetEntries
    TLanguage Language() const;
    void SetLanguage(TLanguage language);
    QString ServerIP() const; // filled by GetIPAddresses
    QString ClientIP() const;
    QStringList DUNA() const; // dial-up adapters of old Windows systems; always empty here
    // The connection this component dialled, 0 when none.
    TRasHandle ConnectionHandle() const;

    TOnEntryGet OnEntryGet;
    TStandartEv OnDialing;
    TStandartEv OnConnect;
    TOnNotConn OnNotConnected;
    TOnAsyncEvent OnAsyncEvent;
    TOnError OnError;
    TOnActiveConn OnActiveConnection;

    int GetEntries();
    // Dials Entry. While a dial is under way (a synchronous dial processes
    // events while it waits) another Dial is refused with rasDialInProgress.
    int Dial();
    int GetConnections();
    int HangUp();
    // Hangs up and waits, processing events, until the connection is gone
    // (at most a few seconds).
    int HangUpConnection(TRasHandle handle);
    int GetIPAddresses(TRasHandle handle);
    QString StatusText(int state, int error);
    int ReadAdapterList();

private:
    struct Private;
    std::unique_ptr<Private> d;
};
