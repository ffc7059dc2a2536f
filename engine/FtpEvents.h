#pragma once
// Hook types of the client and the listener table through which views and
// the protocol log follow a client without taking its owner's hooks.

#include "FtpCodes.h"

#include <QString>
#include <array>
#include <functional>

class TVexFtp;

using TVexFtpInfoEvent = std::function<void(TVexFtp *sender, FtpInfo info, const QString &addinfo)>;
using TVexFtpErrorEvent = std::function<void(TVexFtp *sender, FtpError error, const QString &addinfo)>;
using TVexFtpInfoNeededEvent = std::function<void(TVexFtp *sender, TVexFtpInfoNeeded need, QString &value)>;
using TNotifyEvent = std::function<void(TVexFtp *sender)>;

// Four slots per group, numbered 1 to 4. Registration returns the slot or -1
// (callback unassigned, or group full); removal empties exactly that slot.
template <typename Callback>
class TListenerGroup
{
public:
    static constexpr int SlotCount = 4;

    int Add(const Callback &callback)
    {
        if (!callback)
            return -1;
        for (int i = 0; i < SlotCount; ++i) {
            if (!slots_[i]) {
                slots_[i] = callback;
                return i + 1;
            }
        }
        return -1;
    }

    void Remove(int slot)
    {
        if (slot >= 1 && slot <= SlotCount)
            slots_[slot - 1] = nullptr;
    }

    // Calls every assigned slot in order. A copy is taken first, so a listener
    // that removes itself or another one while being called is safe.
    template <typename... Args>
    void Call(Args &&...args) const
    {
        const auto current = slots_;
        for (const Callback &cb : current)
            if (cb)
                cb(args...);
    }

private:
    std::array<Callback, SlotCount> slots_{};
};
