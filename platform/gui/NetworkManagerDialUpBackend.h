#pragma once
// The dial-up service on NetworkManager: its connection profiles of dial-up
// kinds (mobile broadband "gsm" and "cdma", "pppoe", Bluetooth dial-up
// networking, VPNs "vpn" and "wireguard") are the phonebook entries, their
// active connections the dial-up connections; dialling activates a profile
// and hanging up deactivates the active connection. Ethernet, Wi-Fi and the
// machine's other links are never listed, dialled or hung up.
//
// Every call to NetworkManager runs on a thread of the backend. The reads
// the window makes every second (EnumConnections, GetConnectStatus,
// GetProjectionInfo) answer at once from the last picture of the active
// connections, and ask for the next one; the user's commands (EnumEntries,
// GetEntryDialParams, Dial, HangUp) wait for NetworkManager's answer with
// the event loop running, and leave a fresh picture behind them.

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
