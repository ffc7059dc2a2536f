#pragma once
// TVexSocket: a non-blocking IPv4 TCP socket whose completions arrive as
// callbacks on the thread that created it, from that thread's event loop.
//
// Notifications follow the WinSock asynchronous model the client was built
// around: FD_READ is delivered again only after Receive() has been called,
// FD_WRITE once after a connect completes and again only after a send would
// have blocked, FD_ACCEPT again only after Accept(). A peer close is
// delivered as OnRead, OnWrite, then OnClose. Failures are reported only
// through LastError(), in WinSock numbers (see SocketErrors.h).

#include <QObject>
#include <QString>
#include <functional>
#include <memory>

class TVexSocket;
using TSocketEvent = std::function<void(TVexSocket *sender)>;
using TSocketMessageEvent = std::function<void(TVexSocket *sender, int message, qintptr wparam, qintptr lparam)>;

class TVexSocket : public QObject
{
    Q_OBJECT
public:
    // Owner-defined messages are numbered above this one; PostMessage delivers
    // them later, on this object's thread, to OnMessage.
    static constexpr int SocketNotifyMessage = 1025;
    static constexpr int DefaultTimeOut = 20;

    explicit TVexSocket(QObject *owner = nullptr);
    ~TVexSocket() override;

    void CreateSocket();
    void ResetSocket();
    void ResolveHost(const QString &name);
    void UseResolvedAddress();
    void SetAddress(const QString &dotted);
    void SetPort(quint16 port);
    QString AddressText() const;
    void Connect();
    void Listen();
    void Accept(TVexSocket *listener);
    void Close();
    int Send(const char *buffer, int length);
    int Receive(char *buffer, int size);
    QString LocalAddress();
    quint16 LocalPort();
    void StartCountdown(int seconds);

    // Queues message (> SocketNotifyMessage) for OnMessage, like a posted window message.
    void PostMessage(int message, qintptr wparam = 0, qintptr lparam = 0);

    bool Established() const;
    bool HandleValid() const;
    quint16 LastError() const;
    void SetLastError(quint16 code);
    bool ReportWouldBlock() const;
    void SetReportWouldBlock(bool on);
    int TimeOut() const;
    void SetTimeOut(int seconds);
    bool LookupPending() const;

    // Peer description kept for the socket's user.
    QString Address() const;
    void SetAddressField(const QString &address);
    QString HostName() const;
    void SetHostName(const QString &name);

    TSocketEvent OnConnect;
    TSocketEvent OnClose;
    TSocketEvent OnRead;
    TSocketEvent OnWrite;
    TSocketEvent OnAccept;
    TSocketEvent OnTimeOut;
    TSocketEvent OnResolved;
    TSocketMessageEvent OnMessage;

protected:
    // Called when a lookup has finished, with LastError() 0 on success.
    virtual void Resolved();
    bool event(QEvent *e) override;

private:
    struct Private;
    std::unique_ptr<Private> d;
};
