#pragma once
// TClientBinding: a view's registrations in a client's listener table, held
// for as long as the binding lives. Bind() takes the client, the On...()
// calls register callbacks, and Release() (or the destructor, or the next
// Bind()) empties exactly the slots it took.
//
//   binding.Bind(client);
//   binding.OnNotify(nkListingDone, [this](TVexFtp *) { Refresh(); });
//   if (!binding.Complete())
//       qWarning("... the client's listeners are all taken ...");
//
// The client's dispatch calls a copy of its slots, so a callback may still
// be reached after its slot was emptied (a listener that destroys a view
// while the client is raising an event): every callback registered here is
// wrapped so that it does nothing once its binding has been released. The
// client may be destroyed first; releasing then touches nothing.

#include "FtpEvents.h"

#include <QList>
#include <QPointer>
#include <memory>

class TVexFtp;

class TClientBinding
{
public:
    TClientBinding() = default;
    ~TClientBinding();
    TClientBinding(const TClientBinding &) = delete;
    TClientBinding &operator=(const TClientBinding &) = delete;

    // Releases the registrations of a former client, then follows client
    // (nullptr only releases).
    void Bind(TVexFtp *client);
    // Empties every slot this binding took; the client stays followed, so
    // that callbacks may be registered again.
    void Release();

    TVexFtp *Client() const { return client_.data(); }

    // Each returns the slot taken, or -1 when the client has no free slot of
    // that group (or no client is bound, or the callback is empty).
    int OnInfo(const TVexFtpInfoEvent &callback);
    int OnError(const TVexFtpErrorEvent &callback);
    int OnNotify(TVexFtpNotifyKind kind, const TNotifyEvent &callback);

    // Whether every registration since the last Bind() or Release() got a slot.
    bool Complete() const { return complete_; }
    // The slots held now.
    int SlotCount() const { return int(slots_.size()); }

private:
    enum class Group { Info, Error, Notify };
    struct Slot {
        Group group;
        TVexFtpNotifyKind kind;
        int slot;
    };

    // Whether a callback can be registered now (a client is bound and the
    // callback is set); a refusal makes the binding incomplete.
    bool Usable(bool callbackSet);
    // Keeps slot (or notes its refusal) and returns it.
    int Registered(Group group, TVexFtpNotifyKind kind, int slot);

    QPointer<TVexFtp> client_;
    QList<Slot> slots_;
    // Shared with the wrapped callbacks; reset on release, so that copies
    // still in the client's hands stop reaching their view.
    std::shared_ptr<int> alive_;
    bool complete_ = true;
};
