#include "SocketErrors.h"

#include <cerrno>

namespace WinSock {

// Base of the numbers given to errno values that WinSock has no name for.
// They stay distinct from every WinSock code, so the client's error table
// treats them as unexpected and still shows which errno it was.
constexpr int UnlistedBase = 20000;

quint16 FromErrno(int err)
{
    // EAGAIN and EWOULDBLOCK are the same value on Linux but not everywhere,
    // hence comparisons rather than a switch with duplicate labels.
    if (err == 0)
        return NoError;
    if (err == EAGAIN || err == EWOULDBLOCK || err == EINPROGRESS)
        return WouldBlock;
    switch (err) {
    case EBADF:
    case ENOTSOCK:
        return NotSocket;
    case ENOTCONN:
        return NotConnected;
    case ECONNREFUSED:
        return ConnectionRefused;
    case ETIMEDOUT:
        return TimedOut;
    case ECONNRESET:
        return ConnectionReset;
    case ECONNABORTED:
    case EPIPE:
        return ConnectionAborted;
    case ENETUNREACH:
        return NetworkUnreachable;
    case EHOSTUNREACH:
        return HostUnreachable;
    case EADDRINUSE:
        return AddressInUse;
    case EADDRNOTAVAIL:
        return AddressNotAvailable;
    case EACCES:
    case EPERM:
        return AccessDenied;
    case EINVAL:
        return InvalidArgument;
    case EFAULT:
        return Fault;
    case EMFILE:
    case ENFILE:
        return TooManySockets;
    case ENETDOWN:
        return NetworkDown;
    case ENOBUFS:
    case ENOMEM:
        return NoBuffers;
    case EAFNOSUPPORT:
        return AddressFamily;
    case EISCONN:
        return IsConnected;
    case EALREADY:
        return Already;
    case EINTR:
        return Interrupted;
    case EMSGSIZE:
        return MessageSize;
    case ENETRESET:
        return NetworkReset;
    default:
        break;
    }
    if (err > 0 && err < 0xFFFF - UnlistedBase)
        return quint16(UnlistedBase + err);
    return quint16(UnlistedBase);
}

} // namespace WinSock
