// A view's slots in a client's listener table, released with the binding.

#include "ClientBinding.h"

#include "Ftp.h"

TClientBinding::~TClientBinding()
{
    Release();
}

void TClientBinding::Bind(TVexFtp *client)
{
    Release();
    client_ = client;
}

void TClientBinding::Release()
{
    if (client_) {
        for (const Slot &s : std::as_const(slots_)) {
            switch (s.group) {
            case Group::Info: client_->RemoveInfoListener(s.slot); break;
            case Group::Error: client_->RemoveErrorListener(s.slot); break;
            case Group::Notify: client_->RemoveNotifyListener(s.kind, s.slot); break;
            }
        }
    }
    slots_.clear();
    alive_.reset();
    complete_ = true;
}

namespace {
// The callback, doing nothing once alive has expired.
template <typename Callback>
Callback Guarded(const std::weak_ptr<int> &alive, const Callback &callback)
{
    return [alive, callback](auto &&...args) {
        if (!alive.expired())
            callback(std::forward<decltype(args)>(args)...);
    };
}
}

bool TClientBinding::Usable(bool callbackSet)
{
    if (client_ && callbackSet) {
        if (!alive_)
            alive_ = std::make_shared<int>(0);
        return true;
    }
    complete_ = false;
    return false;
}

int TClientBinding::Registered(Group group, TVexFtpNotifyKind kind, int slot)
{
    if (slot < 0)
        complete_ = false;
    else
        slots_.append(Slot{group, kind, slot});
    return slot;
}

int TClientBinding::OnInfo(const TVexFtpInfoEvent &callback)
{
    if (!Usable(bool(callback)))
        return -1;
    return Registered(Group::Info, nkDirectoryChanged, client_->AddInfoListener(Guarded(alive_, callback)));
}

int TClientBinding::OnError(const TVexFtpErrorEvent &callback)
{
    if (!Usable(bool(callback)))
        return -1;
    return Registered(Group::Error, nkDirectoryChanged, client_->AddErrorListener(Guarded(alive_, callback)));
}

int TClientBinding::OnNotify(TVexFtpNotifyKind kind, const TNotifyEvent &callback)
{
    if (!Usable(bool(callback)))
        return -1;
    return Registered(Group::Notify, kind, client_->AddNotifyListener(kind, Guarded(alive_, callback)));
}
