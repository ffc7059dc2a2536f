// TClientBinding, through which the remote list, the remote tree and the
// protocol log take slots in a client's listener table: the slots it takes
// and gives back (release, destruction, binding another client, a client
// destroyed first), a full table, callbacks stopped at release even for a
// dispatch already under way, and the three views' own slots.

#include "ClientBinding.h"
#include "Ftp.h"
#include "FtpListView.h"
#include "FtpMsg.h"
#include "FtpTreeView.h"

#include <QTcpServer>
#include <QtTest>
#include <functional>
#include <memory>

namespace {
constexpr int Slots = TListenerGroup<TNotifyEvent>::SlotCount;

// The free slots of one group: taken one by one until refused, then given
// back.
int FreeSlots(const std::function<int()> &add, const std::function<void(int)> &remove)
{
    QList<int> taken;
    for (int slot = add(); slot > 0; slot = add())
        taken.append(slot);
    for (int slot : taken)
        remove(slot);
    return int(taken.size());
}

int FreeInfo(TVexFtp &client)
{
    return FreeSlots([&] { return client.AddInfoListener([](TVexFtp *, FtpInfo, const QString &) {}); },
                     [&](int slot) { client.RemoveInfoListener(slot); });
}

int FreeError(TVexFtp &client)
{
    return FreeSlots([&] { return client.AddErrorListener([](TVexFtp *, FtpError, const QString &) {}); },
                     [&](int slot) { client.RemoveErrorListener(slot); });
}

int FreeNotify(TVexFtp &client, TVexFtpNotifyKind kind)
{
    return FreeSlots([&] { return client.AddNotifyListener(kind, [](TVexFtp *) {}); },
                     [&](int slot) { client.RemoveNotifyListener(kind, slot); });
}

// An operation asked of a client that is not connected is refused with the
// notification ftpiDisconnected, raised at once to every info listener.
void RaiseRefusal(TVexFtp &client)
{
    client.ChangeDirectory(QStringLiteral("pub"));
}
}

class TestClientBinding : public QObject
{
    Q_OBJECT
private slots:
    void takesAndGivesBackSlots();
    void fullGroupLeavesBindingIncomplete();
    void callbacksStopAtRelease();
    void dispatchUnderWayStopsAtRelease();
    void bindingAnotherClientReleasesTheFormer();
    void clientDestroyedFirst();
    void errorsReachTheBinding();
    void viewsTakeAndGiveBackTheirSlots();
};

void TestClientBinding::takesAndGivesBackSlots()
{
    TVexFtp client;
    {
        TClientBinding binding;
        binding.Bind(&client);
        QCOMPARE(binding.Client(), &client);
        QVERIFY(binding.OnInfo([](TVexFtp *, FtpInfo, const QString &) {}) > 0);
        QVERIFY(binding.OnError([](TVexFtp *, FtpError, const QString &) {}) > 0);
        QVERIFY(binding.OnNotify(nkListingDone, [](TVexFtp *) {}) > 0);
        QVERIFY(binding.OnNotify(nkListingDone, [](TVexFtp *) {}) > 0);
        QVERIFY(binding.Complete());
        QCOMPARE(binding.SlotCount(), 4);
        QCOMPARE(FreeInfo(client), Slots - 1);
        QCOMPARE(FreeError(client), Slots - 1);
        QCOMPARE(FreeNotify(client, nkListingDone), Slots - 2);
        QCOMPARE(FreeNotify(client, nkDirectoryChanged), Slots);

        // Released by hand, then taken again: the client stays followed.
        binding.Release();
        QCOMPARE(binding.SlotCount(), 0);
        QCOMPARE(FreeInfo(client), Slots);
        QCOMPARE(FreeNotify(client, nkListingDone), Slots);
        QVERIFY(binding.OnInfo([](TVexFtp *, FtpInfo, const QString &) {}) > 0);
        QCOMPARE(FreeInfo(client), Slots - 1);
    }
    // The binding's end gives back what it held.
    QCOMPARE(FreeInfo(client), Slots);
    QCOMPARE(FreeError(client), Slots);
}

void TestClientBinding::fullGroupLeavesBindingIncomplete()
{
    TVexFtp client;
    QList<int> others;
    for (int i = 0; i < Slots; ++i)
        others.append(client.AddInfoListener([](TVexFtp *, FtpInfo, const QString &) {}));
    TClientBinding binding;
    binding.Bind(&client);
    QVERIFY(binding.OnNotify(nkDirectoryChanged, [](TVexFtp *) {}) > 0);
    QCOMPARE(binding.OnInfo([](TVexFtp *, FtpInfo, const QString &) {}), -1);
    QVERIFY(!binding.Complete());
    QCOMPARE(binding.SlotCount(), 1);
    // An empty callback is refused too, and nothing at all without a client.
    TClientBinding unbound;
    QCOMPARE(unbound.OnInfo([](TVexFtp *, FtpInfo, const QString &) {}), -1);
    QVERIFY(!unbound.Complete());

    // Releasing touches only its own slots, and makes the binding whole again.
    binding.Release();
    QVERIFY(binding.Complete());
    QCOMPARE(FreeInfo(client), 0);
    QCOMPARE(FreeNotify(client, nkDirectoryChanged), Slots);
    for (int slot : others)
        client.RemoveInfoListener(slot);
}

void TestClientBinding::callbacksStopAtRelease()
{
    TVexFtp client;
    TClientBinding binding;
    binding.Bind(&client);
    QList<int> seen;
    TVexFtp *sender = nullptr;
    binding.OnInfo([&](TVexFtp *from, FtpInfo info, const QString &) {
        sender = from;
        seen.append(info);
    });
    RaiseRefusal(client);
    QCOMPARE(seen, QList<int>{ftpiDisconnected});
    QCOMPARE(sender, &client);
    binding.Release();
    RaiseRefusal(client);
    QCOMPARE(seen, QList<int>{ftpiDisconnected});
}

void TestClientBinding::dispatchUnderWayStopsAtRelease()
{
    // The client calls a copy of its table: a listener that releases a later
    // one while an event is being raised would otherwise still call it.
    TVexFtp client;
    auto first = std::make_unique<TClientBinding>();
    auto second = std::make_unique<TClientBinding>();
    first->Bind(&client);
    second->Bind(&client);
    int secondCalls = 0;
    first->OnInfo([&](TVexFtp *, FtpInfo, const QString &) { second.reset(); });
    second->OnInfo([&](TVexFtp *, FtpInfo, const QString &) { ++secondCalls; });
    RaiseRefusal(client);
    QVERIFY(!second);
    QCOMPARE(secondCalls, 0);
    QCOMPARE(FreeInfo(client), Slots - 1);
}

void TestClientBinding::bindingAnotherClientReleasesTheFormer()
{
    TVexFtp former;
    TVexFtp next;
    TClientBinding binding;
    binding.Bind(&former);
    int calls = 0;
    binding.OnInfo([&](TVexFtp *, FtpInfo, const QString &) { ++calls; });
    binding.Bind(&next);
    QCOMPARE(binding.Client(), &next);
    QCOMPARE(FreeInfo(former), Slots);
    RaiseRefusal(former);
    QCOMPARE(calls, 0);
    binding.Bind(nullptr);
    QCOMPARE(binding.Client(), nullptr);
    QCOMPARE(binding.OnInfo([](TVexFtp *, FtpInfo, const QString &) {}), -1);
}

void TestClientBinding::clientDestroyedFirst()
{
    auto client = std::make_unique<TVexFtp>();
    TClientBinding binding;
    binding.Bind(client.get());
    binding.OnInfo([](TVexFtp *, FtpInfo, const QString &) {});
    binding.OnNotify(nkFtpQuit, [](TVexFtp *) {});
    client.reset();
    QCOMPARE(binding.Client(), nullptr);
    binding.Release();
    QCOMPARE(binding.SlotCount(), 0);
}

void TestClientBinding::errorsReachTheBinding()
{
    // A port on the loopback that nobody listens on: the connection is
    // refused and the error reaches the binding.
    quint16 closedPort = 0;
    {
        QTcpServer probe;
        QVERIFY(probe.listen(QHostAddress::LocalHost));
        closedPort = probe.serverPort();
    }
    TVexFtp client;
    client.SetRetries(0);
    client.SetServer(QStringLiteral("127.0.0.1"));
    client.SetPort(closedPort);
    TClientBinding binding;
    binding.Bind(&client);
    QList<int> errors;
    binding.OnError([&](TVexFtp *, FtpError error, const QString &) { errors.append(error); });
    client.Login();
    QTRY_VERIFY_WITH_TIMEOUT(!errors.isEmpty(), 5000);
    QVERIFY2(errors.contains(ftpeConnectionRefused), qPrintable(QString::number(errors.first())));
    client.Close();
}

void TestClientBinding::viewsTakeAndGiveBackTheirSlots()
{
    // Each view's slots: the log takes one info and one error slot, the list
    // one listing slot, the tree one info, one folder-change and one listing
    // slot.
    TVexFtp client;
    auto log = std::make_unique<TVexFtpMessenger>();
    auto list = std::make_unique<TVexFtpListView>();
    auto tree = std::make_unique<TVexFtpTreeView>();
    log->SetClient(&client);
    list->SetClient(&client);
    tree->SetClient(&client);
    QCOMPARE(FreeInfo(client), Slots - 2);
    QCOMPARE(FreeError(client), Slots - 1);
    QCOMPARE(FreeNotify(client, nkListingDone), Slots - 2);
    QCOMPARE(FreeNotify(client, nkDirectoryChanged), Slots - 1);

    // Binding the same client again takes nothing more.
    log->SetClient(&client);
    list->SetClient(&client);
    tree->SetClient(&client);
    QCOMPARE(FreeInfo(client), Slots - 2);

    // Detaching gives the slots back; so does the view's end.
    log->SetClient(nullptr);
    QCOMPARE(FreeError(client), Slots);
    QCOMPARE(FreeInfo(client), Slots - 1);
    list.reset();
    QCOMPARE(FreeNotify(client, nkListingDone), Slots - 1);
    tree.reset();
    QCOMPARE(FreeInfo(client), Slots);
    QCOMPARE(FreeNotify(client, nkListingDone), Slots);
    QCOMPARE(FreeNotify(client, nkDirectoryChanged), Slots);
}

QTEST_MAIN(TestClientBinding)
#include "tst_clientbinding.moc"
