#pragma once
// The dial-up service as the program needs it: eight calls shaped after the
// Remote Access Service functions that a Windows dialler uses (enumerate the
// phonebook entries and the active connections, read a connection's status,
// read an entry's dial parameters, dial, hang up, read a connection's IP
// projection, turn a result code into a text). Every call returns 0 for
// success or a result code numbered as RAS numbers them, so the component
// above sees the codes a Windows dialler would report.
//
// The program picks its backend once: NetworkManager when it answers on the
// system bus, otherwise the empty backend (no entries, no connections), so a
// machine without a dial-up service still starts normally.

#include <QList>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>

class QDBusConnection;

// A connection handle; 0 means "no connection".
using TRasHandle = quint32;

// Result codes (RAS numbering).
enum TRasResult : int {
    rasSuccess = 0,
    rasAccessDenied = 5,
    rasInvalidHandle = 6,
    rasInvalidParameter = 87,
    rasBufferTooSmall = 603,
    rasCannotFindEntry = 623,
    rasPortDisconnected = 628,
    rasUnknownError = 635,
    rasRequestTimeout = 638,
    rasLineBusy = 676,
    rasNoAnswer = 678,
    rasNoDialTone = 680,
    rasAuthenticationFailure = 691,
    rasServiceUnavailable = 711,
    rasNoPppProtocols = 720,
    rasProjectionNotComplete = 730,
    rasProtocolNotConfigured = 731,
    rasDialInProgress = 756
};

// Connection states (RAS numbering), from opening the port to connected.
enum TRasConnState : int {
    rascsOpenPort = 0,
    rascsPortOpened,
    rascsConnectDevice,
    rascsDeviceConnected,
    rascsAllDevicesConnected,
    rascsAuthenticate,
    rascsAuthNotify,
    rascsAuthRetry,
    rascsAuthCallback,
    rascsAuthChangePassword,
    rascsAuthProject,
    rascsAuthLinkSpeed,
    rascsAuthAck,
    rascsReAuthenticate,
    rascsAuthenticated,
    rascsPrepareForCallback,
    rascsWaitForModemReset,
    rascsWaitForCallback,
    rascsProjected,
    rascsStartAuthentication,
    rascsCallbackComplete,
    rascsLogonNetwork,
    rascsInteractive = 0x1000,
    rascsRetryAuthentication,
    rascsCallbackSetByCaller,
    rascsPasswordExpired,
    rascsConnected = 0x2000,
    rascsDisconnected
};

// The projection GetProjectionInfo understands: PPP's IPv4 control protocol.
constexpr int rasPppIpProtocol = 0x8021;

struct TRasConnection {
    TRasHandle Handle = 0;
    QString EntryName;
    QString DeviceType; // "modem", "vpn", "PPPoE", "ethernet", "wifi", ...
    QString DeviceName; // the interface or device, e.g. "ppp0"
};

struct TRasConnStatus {
    int State = rascsOpenPort;
    int Error = 0;
    QString DeviceType;
    QString DeviceName;
};

struct TRasDialParams {
    QString EntryName;
    QString PhoneNumber;
    QString CallbackNumber;
    QString UserName;
    QString Password;
    QString Domain;
};

struct TRasPppIp {
    QString IPAddress;       // this end of the link
    QString ServerIPAddress; // the far end
};

// Receives the states of an asynchronous dial. A backend may call it from
// any thread, but only while the backend itself exists.
using TRasDialNotifier = std::function<void(int state, int error)>;

class TDialUpBackend
{
public:
    virtual ~TDialUpBackend();

    // The phonebook entry names, in the service's order. More than capacity:
    // rasBufferTooSmall and no names.
    virtual int EnumEntries(int capacity, QStringList &names) = 0;
    // The active connections (being dialled or up). More than capacity:
    // rasBufferTooSmall and none.
    virtual int EnumConnections(int capacity, QList<TRasConnection> &connections) = 0;
    // rasInvalidHandle once the connection is gone.
    virtual int GetConnectStatus(TRasHandle handle, TRasConnStatus &status) = 0;
    // The text of a result code; rasInvalidParameter and an empty text for a
    // code the service does not know.
    virtual int GetErrorString(int code, QString &text) = 0;
    virtual int GetEntryDialParams(const QString &entryName, TRasDialParams &params) = 0;
    // Without a notifier: returns once the line is up or has failed (the wait
    // processes events). With one: returns once dialling has started and
    // reports each state to it. handle receives the connection whenever the
    // service created one, even for a dial that failed.
    virtual int Dial(const TRasDialParams &params, const TRasDialNotifier &notifier, TRasHandle &handle) = 0;
    // Starts hanging up; the connection disappears some time later.
    virtual int HangUp(TRasHandle handle) = 0;
    virtual int GetProjectionInfo(TRasHandle handle, int protocol, TRasPppIp &projection) = 0;
};

// The texts of the result codes above (French, as the service of a French
// system would give them); false for any other code.
bool RasStandardErrorText(int code, QString &text);

// Used where no dial-up service answers: nothing to list, nothing to dial.
class TEmptyDialUpBackend : public TDialUpBackend
{
public:
    int EnumEntries(int capacity, QStringList &names) override;
    int EnumConnections(int capacity, QList<TRasConnection> &connections) override;
    int GetConnectStatus(TRasHandle handle, TRasConnStatus &status) override;
    int GetErrorString(int code, QString &text) override;
    int GetEntryDialParams(const QString &entryName, TRasDialParams &params) override;
    int Dial(const TRasDialParams &params, const TRasDialNotifier &notifier, TRasHandle &handle) override;
    int HangUp(TRasHandle handle) override;
    int GetProjectionInfo(TRasHandle handle, int protocol, TRasPppIp &projection) override;
};

// How long the start-up probe waits for NetworkManager.
constexpr int DialUpProbeTimeoutMs = 500;

// NetworkManager on the system bus when it answers within the probe time,
// otherwise the empty backend. A factory installed with
// SetDialUpBackendFactory is used instead when there is one.
std::unique_ptr<TDialUpBackend> CreateDialUpBackend();
// The same choice on a given bus (no installed factory involved).
std::unique_ptr<TDialUpBackend> CreateDialUpBackend(const QDBusConnection &bus, int probeTimeoutMs);

using TDialUpBackendFactory = std::function<std::unique_ptr<TDialUpBackend>()>;
// Lets tests give every component created from now on a backend of theirs;
// an empty factory goes back to the probe.
void SetDialUpBackendFactory(TDialUpBackendFactory factory);
