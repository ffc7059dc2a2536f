#pragma once
// A dial-up service played from a script, so that tests can list, dial and
// hang up without any modem or network service: the test sets the entries,
// the active connections, the outcome of each dial and the statuses, and
// reads back every call the component made.

#include "DialUpBackend.h"

#include <QPair>
#include <functional>
#include <memory>

struct TScriptedDial {
    int Result = rasSuccess;
    // Whether a connection handle comes back when the dial fails (a line
    // that was opened and then dropped).
    bool ReturnsHandle = true;
    QString DeviceType = QStringLiteral("modem");
    QString DeviceName = QStringLiteral("ttyS0");
    // States and errors reported to an asynchronous dial, in order.
    QList<QPair<int, int>> Notifications;
    // Report them from another thread, as a dialler's notifier does.
    bool NotifyFromThread = false;
    // Runs inside Dial, while the line is being "dialled".
    std::function<void()> During;
};

class TScriptedDialUpBackend : public TDialUpBackend
{
public:
    TScriptedDialUpBackend();
    ~TScriptedDialUpBackend() override;

    void AddEntry(const QString &name, const TRasDialParams &params = TRasDialParams());
    TRasHandle AddConnection(const QString &entryName, const QString &deviceType, const QString &deviceName,
                             int state = rascsConnected, int error = 0);
    void SetConnectionStatus(TRasHandle handle, int state, int error = 0);
    // Without one, a connection's projection is not complete yet.
    void SetProjection(TRasHandle handle, const QString &clientAddress, const QString &serverAddress);
    // Dials take these outcomes in order; with none queued a dial succeeds.
    void QueueDial(const TScriptedDial &dial);
    // Every later call of that name ("EnumEntries", "Dial", ...) returns
    // code; 0 lets it work again.
    void SetFailure(const QString &callName, int code);
    void SetErrorText(int code, const QString &text);
    // After HangUp the connection stays, reported disconnected, for this many
    // status reads; -1 keeps it for ever.
    void SetHangUpLinger(int statusReads);

    // Every call, e.g. "EnumEntries", "Dial Maison", "HangUp 2".
    QStringList Calls() const;
    void ClearCalls();
    QList<TRasConnection> Connections() const;

    int EnumEntries(int capacity, QStringList &names) override;
    int EnumConnections(int capacity, QList<TRasConnection> &connections) override;
    int GetConnectStatus(TRasHandle handle, TRasConnStatus &status) override;
    int GetErrorString(int code, QString &text) override;
    int GetEntryDialParams(const QString &entryName, TRasDialParams &params) override;
    int Dial(const TRasDialParams &params, const TRasDialNotifier &notifier, TRasHandle &handle) override;
    int HangUp(TRasHandle handle) override;
    int GetProjectionInfo(TRasHandle handle, int protocol, TRasPppIp &projection) override;

private:
    struct Private;
    std::unique_ptr<Private> d;
};
