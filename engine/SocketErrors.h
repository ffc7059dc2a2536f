#pragma once
// WinSock error numbers, the vocabulary of TVexSocket::LastError() and of the
// client's error table, and the one mapping from POSIX errno values to them.

#include <QtGlobal>

namespace WinSock {
constexpr quint16 NoError = 0;
constexpr quint16 Interrupted = 10004;       // WSAEINTR
constexpr quint16 AccessDenied = 10013;      // WSAEACCES
constexpr quint16 Fault = 10014;             // WSAEFAULT
constexpr quint16 InvalidArgument = 10022;   // WSAEINVAL
constexpr quint16 TooManySockets = 10024;    // WSAEMFILE
constexpr quint16 WouldBlock = 10035;        // WSAEWOULDBLOCK
constexpr quint16 InProgress = 10036;        // WSAEINPROGRESS
constexpr quint16 Already = 10037;           // WSAEALREADY
constexpr quint16 NotSocket = 10038;         // WSAENOTSOCK
constexpr quint16 MessageSize = 10040;       // WSAEMSGSIZE
constexpr quint16 AddressFamily = 10047;     // WSAEAFNOSUPPORT
constexpr quint16 AddressInUse = 10048;      // WSAEADDRINUSE
constexpr quint16 AddressNotAvailable = 10049; // WSAEADDRNOTAVAIL
constexpr quint16 NetworkDown = 10050;       // WSAENETDOWN
constexpr quint16 NetworkUnreachable = 10051; // WSAENETUNREACH
constexpr quint16 NetworkReset = 10052;      // WSAENETRESET
constexpr quint16 ConnectionAborted = 10053; // WSAECONNABORTED
constexpr quint16 ConnectionReset = 10054;   // WSAECONNRESET
constexpr quint16 NoBuffers = 10055;         // WSAENOBUFS
constexpr quint16 IsConnected = 10056;       // WSAEISCONN
constexpr quint16 NotConnected = 10057;      // WSAENOTCONN
constexpr quint16 TimedOut = 10060;          // WSAETIMEDOUT
constexpr quint16 ConnectionRefused = 10061; // WSAECONNREFUSED
constexpr quint16 HostUnreachable = 10065;   // WSAEHOSTUNREACH
constexpr quint16 HostNotFound = 11001;      // WSAHOST_NOT_FOUND
constexpr quint16 TryAgain = 11002;          // WSATRY_AGAIN
constexpr quint16 NoRecovery = 11003;        // WSANO_RECOVERY
constexpr quint16 NoData = 11004;            // WSANO_DATA

// Maps an errno value to its WinSock number. An errno value without a
// WinSock counterpart maps to 20000 + errno (20000 itself for a value out of
// range), a number the client does not know and reports as unexpected.
quint16 FromErrno(int err);
}
