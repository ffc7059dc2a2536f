// How the remote file list copes with a folder of 100,000 entries: refresh
// with each sort key, filtered refresh, painting, the icon styles and
// selections. Run under QT_QPA_PLATFORM=offscreen; prints milliseconds.
//
// The client logs in to a minimal FTP responder on 127.0.0.1 and lists the
// folder from the listing cache, so the entries are exactly the ones built
// here and no listing parser time is counted.

#include "Ftp.h"
#include "FtpCache.h"
#include "FtpCacheTesting.h"
#include "FtpData.h"
#include "FtpListView.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QWindow>

#include <algorithm>
#include <numeric>
#include <cstdio>
#include <functional>

namespace {

constexpr int FolderCount = 2000;
constexpr int FileCount = 98000;
constexpr int Rounds = 3;

// Just enough of a server for a login: every line gets its scripted reply.
class LoginResponder : public QObject
{
public:
    bool Start()
    {
        connect(&listener, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket *socket = listener.nextPendingConnection()) {
                socket->write("220 bench\r\n");
                connect(socket, &QTcpSocket::readyRead, socket, [socket] {
                    while (socket->canReadLine()) {
                        const QByteArray line = socket->readLine().trimmed();
                        const QByteArray verb = line.split(' ').constFirst().toUpper();
                        if (verb == "USER")
                            socket->write("331 password\r\n");
                        else if (verb == "PASS")
                            socket->write("230 in\r\n");
                        else if (verb == "PWD")
                            socket->write("257 \"/big\" is current\r\n");
                        else if (verb == "QUIT")
                            socket->write("221 bye\r\n");
                        else
                            socket->write("502 not here\r\n");
                    }
                });
            }
        });
        return listener.listen(QHostAddress::LocalHost, 0);
    }
    quint16 Port() const { return listener.serverPort(); }

private:
    QTcpServer listener;
};

const char *const Extensions[] = {"txt", "zip", "jpg", "c", "html", "pdf", "tar.gz", "iso", "png", "doc", "mp3", "h"};

QString RandomDate(QRandomGenerator &random)
{
    const int month = random.bounded(1, 13);
    const int day = random.bounded(1, 29);
    const int year = random.bounded(1995, 2024);
    const int hour = random.bounded(1, 13);
    const int minute = random.bounded(0, 60);
    return QStringLiteral("%1/%2/%3 %4:%5 %6")
        .arg(month)
        .arg(day)
        .arg(year)
        .arg(hour)
        .arg(minute, 2, 10, QLatin1Char('0'))
        .arg(random.bounded(2) ? QStringLiteral("PM") : QStringLiteral("AM"));
}

void BuildEntries(TVexFtpFileInfoList &folders, TVexFtpFileInfoList &files)
{
    QRandomGenerator random(42);
    QList<int> order(FolderCount + FileCount);
    std::iota(order.begin(), order.end(), 0);
    std::shuffle(order.begin(), order.end(), random);
    for (const int n : order) {
        if (n < FolderCount) {
            folders.Add(QStringLiteral("Dossier %1").arg(n), QStringLiteral("drwxr-xr-x"), RandomDate(random),
                        QStringLiteral("4096"), {}, QStringLiteral("web"), QStringLiteral("www"), {});
        } else {
            const QString extension = QString::fromLatin1(Extensions[n % std::size(Extensions)]);
            files.Add(QStringLiteral("fichier_%1.%2").arg(n, 6, 10, QLatin1Char('0')).arg(extension),
                      QStringLiteral("-rw-r--r--"), RandomDate(random),
                      QString::number(random.bounded(1, 1 << 30)), {}, QStringLiteral("web"),
                      QStringLiteral("www"), {});
        }
    }
}

// Median of a few rounds, in milliseconds.
double Measure(const std::function<void()> &work, const std::function<void()> &before = {})
{
    QList<double> times;
    for (int round = 0; round < Rounds; ++round) {
        if (before)
            before();
        QElapsedTimer timer;
        timer.start();
        work();
        times << timer.nsecsElapsed() / 1e6;
    }
    std::sort(times.begin(), times.end());
    return times.at(Rounds / 2);
}

void Report(const char *what, double ms)
{
    std::printf("%-58s %10.1f ms\n", what, ms);
    std::fflush(stdout);
}

bool WaitFor(const std::function<bool()> &condition, int timeoutMs = 30000)
{
    QElapsedTimer timer;
    timer.start();
    while (!condition()) {
        if (timer.elapsed() > timeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    }
    return true;
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QTemporaryDir cacheFolder;
    SetListCacheDirectoryForTesting(cacheFolder.path() + QLatin1Char('/'));

    LoginResponder responder;
    if (!responder.Start()) {
        std::fprintf(stderr, "cannot listen on 127.0.0.1\n");
        return 1;
    }
    TVexFtp client;
    client.SetServer(QStringLiteral("127.0.0.1"));
    client.SetPort(responder.Port());
    client.SetUsername(QStringLiteral("anonymous"));
    client.SetPassword(QStringLiteral("bench@"));
    client.SetServerType(ftpstUNIX);
    client.Login();
    if (!WaitFor([&] { return client.LoggedIn() && !client.Busy(); })) {
        std::fprintf(stderr, "login failed\n");
        return 1;
    }

    TVexFtpFileInfoList folders;
    TVexFtpFileInfoList files;
    BuildEntries(folders, files);
    const QString directory = client.CurrentDirectory();
    WriteListCache(CacheFileName(client.Server(), client.Username(), directory, true, client.Port()), folders);
    WriteListCache(CacheFileName(client.Server(), client.Username(), directory, false, client.Port()), files);

    TVexFtpListView view;
    view.resize(900, 700);
    view.SetSortType(stNone);
    bool listed = false;
    client.OnListingDone = [&listed](TVexFtp *) { listed = true; };
    QElapsedTimer listing;
    listing.start();
    client.ListDirectory();
    if (!WaitFor([&] { return listed; }) || !client.FromCache()) {
        std::fprintf(stderr, "listing from the cache failed\n");
        return 1;
    }
    std::printf("%d folders and %d files in %s\n", client.Directories().Count(), client.Files().Count(),
                qPrintable(directory));
    Report("client: listing read back from the cache (engine)", listing.nsecsElapsed() / 1e6);

    view.SetClient(&client);
    if (view.RowCount() != FolderCount + FileCount + 1) {
        std::fprintf(stderr, "the view shows %d rows\n", view.RowCount());
        return 1;
    }

    struct SortCase {
        const char *label;
        TVexFtpSortBase key;
        bool ascending;
    };
    const SortCase sorts[] = {
        {"Refresh, no sort (copies and row index only)", stNone, true},
        {"Refresh, sorted by name", stName, true},
        {"Refresh, sorted by name descending", stName, false},
        {"Refresh, sorted by size", stSize, true},
        {"Refresh, sorted by date", stDateTime, true},
        {"Refresh, sorted by type", stFileType, true},
        {"Refresh, sorted by owner (all equal)", stOwner, true},
    };
    for (const SortCase &sort : sorts) {
        view.SetSortType(sort.key);
        view.SetAscending(sort.ascending);
        Report(sort.label, Measure([&] { view.Refresh(); }));
    }
    view.SetSortType(stName);
    view.SetAscending(true);

    view.SetFilter({QStringLiteral("*.txt"), QStringLiteral("*.zip")});
    Report("Refresh, filter *.txt then *.zip, sorted by name", Measure([&] { view.Refresh(); }));
    std::printf("  (%d rows shown)\n", view.RowCount());
    view.SetFilter({QStringLiteral("*")});
    Report("Refresh, filter * (every file passes), sorted by name", Measure([&] { view.Refresh(); }));
    view.SetFilter({});
    view.Refresh();

    view.show();
    WaitFor([&] { return view.windowHandle() && view.windowHandle()->isExposed(); }, 5000);
    QAbstractItemView *items = view.ItemView();
    // grab() paints the whole widget into a picture, exposed or not.
    Report("report: paint the visible rows", Measure([&] { (void)view.grab(); }));
    Report("report: scroll to the end and paint", Measure([&] {
        items->scrollToBottom();
        (void)view.grab();
    }, [&] { items->scrollToTop(); }));

    for (const auto &style : {std::pair{vsList, "list"}, std::pair{vsSmallIcon, "small icons"},
                              std::pair{vsIcon, "large icons"}}) {
        const QByteArray label = QByteArray(style.second) + ": switch style, lay out all rows and paint";
        Report(label.constData(), Measure([&] {
            view.SetViewStyle(style.first);
            QAbstractItemView *shown = view.ItemView();
            const QModelIndex last = shown->model()->index(shown->model()->rowCount() - 1, 0);
            // The icon view lays rows out in batches from the event loop:
            // done when the last row can be scrolled into sight.
            WaitFor([&] {
                shown->scrollTo(last);
                return shown->visualRect(last).intersects(shown->viewport()->rect());
            }, 120000);
            (void)view.grab();
        }, [&] { view.SetViewStyle(vsReport); }));
    }
    view.SetViewStyle(vsReport);

    Report("SelectAll(true)", Measure([&] { view.SelectAll(true); }));
    QStringList selected;
    Report("SelectedFiles with every row selected", Measure([&] { selected = view.SelectedFiles(); }));
    std::printf("  (%lld files)\n", static_cast<long long>(selected.size()));
    QAbstractItemView *report = view.ItemView();
    report->setCurrentIndex(report->model()->index(0, 0));
    Report("type-ahead search for the last name (one pass)",
           Measure([&] { (void)view.FindCaption(QStringLiteral("FICHIER_099999"), 1, true); }));
    return 0;
}
