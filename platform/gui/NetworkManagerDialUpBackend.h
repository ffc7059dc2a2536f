#pragma once
// The dial-up service on NetworkManager: its connection profiles are the
// phonebook entries, its active connections the dial-up connections;
// dialling activates a profile and hanging up deactivates the active
// connection. Loopback profiles are left out: they are never an Internet
// line and taking them down would cut the machine off from itself.

#include "DialUpBackend.h"

#include <memory>

class TNetworkManagerDialUpBackend : public TDialUpBackend
{
public:
    explicit TNetworkManagerDialUpBackend(const QDBusConnection &bus);
    ~TNetworkManagerDialUpBackend() override;

    // True when NetworkManager answers on bus within timeoutMs.
    static bool Answers(const QDBusConnection &bus, int timeoutMs);

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
