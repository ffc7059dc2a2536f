// Opens the Velmar window, connects to a site and starts downloading one
// file of its root folder, then says "READY" on its standard output once the
// transfer display shows the bar, the speed and the pie: the screenshot
// script captures the window at that moment. The download goes on until the
// program is stopped. A review aid, not part of the program.
//
//   velmar-screenshot-download HOST PORT USER PASSWORD REMOTE_FILE LOCAL_FOLDER

#include "AppContext.h"
#include "AppFiles.h"
#include "AppIcon.h"
#include "ExplorerTab.h"
#include "Ftp.h"
#include "FtpListView.h"
#include "MainWindow.h"
#include "Translations.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QTextStream>
#include <QTimer>

namespace {
template <typename T>
T *Find(const TfrmMain &w, const char *name)
{
    return w.findChild<T *>(QLatin1String(name));
}

bool Listed(const TfrmMain &w, const QString &name)
{
    const auto *list = Find<TVexFtpListView>(w, "VexFtpListView1");
    for (int row = 0; row < list->RowCount(); ++row)
        if (list->RowCaption(row) == name)
            return true;
    return false;
}

// Far enough into the transfer for the pie to have a few slices.
bool TransferWellUnderWay(const TfrmMain &w)
{
    const auto *bar = Find<QProgressBar>(w, "ProgressBar1");
    return bar->isVisible() && bar->maximum() > 1 && bar->value() * 10 >= bar->maximum() * 4
        && Find<QLabel>(w, "debit")->text().startsWith(QStringLiteral("Debit actuel: "))
        && !Find<QLabel>(w, "camembert")->pixmap().isNull();
}
}

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    InitApplicationIdentity();
    InstallFrenchInterface();
    QApplication::setWindowIcon(VelmarIcon());
    const QStringList args = app.arguments();
    QTextStream out(stdout);
    QTextStream err(stderr);
    if (args.size() != 7) {
        err << "usage: velmar-screenshot-download HOST PORT USER PASSWORD REMOTE_FILE LOCAL_FOLDER\n";
        return 2;
    }
    const QString remoteFile = args.at(5);
    FilesFolder();

    TfrmMain w;
    w.show();
    w.Context().SelectLocalFolder(QDir(args.at(6)).absolutePath());
    Find<QLineEdit>(w, "connect")->setText(QStringLiteral("Démo Velmar (local)"));
    Find<QLineEdit>(w, "HostTxt")->setText(args.at(1));
    Find<QLineEdit>(w, "PortTxt")->setText(args.at(2));
    Find<QLineEdit>(w, "UserTxt")->setText(args.at(3));
    Find<QLineEdit>(w, "PassTxt")->setText(args.at(4));
    Find<QLineEdit>(w, "defaurep")->setText(QStringLiteral("/"));
    Find<QAction>(w, "ToolButton1")->trigger();

    bool started = false;
    bool ready = false;
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, &w, [&] {
        if (!started && w.VexFtp1()->LoggedIn() && !w.VexFtp1()->Busy() && Listed(w, remoteFile)) {
            started = true;
            // The download waits inside; this timer keeps watching meanwhile.
            QTimer::singleShot(0, &w, [&] {
                if (!w.Explorer().DownloadRemoteListFile(remoteFile))
                    app.exit(1);
            });
        } else if (started && !ready && TransferWellUnderWay(w)) {
            ready = true;
            out << "READY" << Qt::endl;
        }
    });
    watch.start(100);
    QTimer::singleShot(120000, &app, [&] {
        err << "velmar-screenshot-download: the transfer did not get under way\n";
        app.exit(1);
    });
    return app.exec();
}
