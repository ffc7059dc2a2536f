// Opens the Velmar window, connects to a site and downloads files of its
// root folder through the explorer tab's download command, then says
// "READY" on its standard output when the window is worth a picture: the
// screenshot script captures it at that moment. A review aid, not part of
// the program.
//
//   velmar-screenshot-download HOST PORT USER PASSWORD REMOTE_FILES LOCAL_FOLDER [after|compare]
//
// REMOTE_FILES is one name, or several separated by "|". Without "after",
// READY comes once the transfer display shows the bar, the speed and the
// pie, and the download goes on until the program is stopped; with it,
// READY comes once every file is in the local folder and both lists show
// their folders; "compare" then compares the two folders ("&Comparer les
// sites") once the site is listed, without downloading again, so that the
// tab "Mise à jour" is in front with its proposals.

#include "AppContext.h"
#include "AppFiles.h"
#include "AppIcon.h"
#include "ExplorerTab.h"
#include "Ftp.h"
#include "FtpListView.h"
#include "LocalFileList.h"
#include "MainWindow.h"
#include "Translations.h"

#include <QAction>
#include <QAbstractItemView>
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

// Selects the rows of names in the remote list; false unless all are there.
bool SelectListed(const TfrmMain &w, const QStringList &names)
{
    auto *list = Find<TVexFtpListView>(w, "VexFtpListView1");
    QItemSelectionModel *selection = list->ItemView()->selectionModel();
    selection->clearSelection();
    int found = 0;
    for (int row = 0; row < list->RowCount(); ++row) {
        if (!names.contains(list->RowCaption(row)))
            continue;
        selection->select(list->ItemView()->model()->index(row, 0),
                          QItemSelectionModel::Select | QItemSelectionModel::Rows);
        ++found;
    }
    return found == names.size();
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
    const bool compare = args.size() == 8 && args.at(7) == QLatin1String("compare");
    const bool after = (args.size() == 8 && args.at(7) == QLatin1String("after")) || compare;
    if (args.size() != 7 && !after) {
        err << "usage: velmar-screenshot-download HOST PORT USER PASSWORD REMOTE_FILES LOCAL_FOLDER [after|compare]\n";
        return 2;
    }
    const QStringList remoteFiles = args.at(5).split(QLatin1Char('|'));
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
    bool done = false;
    bool ready = false;
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, &w, [&] {
        if (!started && w.VexFtp1()->LoggedIn() && !w.VexFtp1()->Busy() && SelectListed(w, remoteFiles)) {
            started = true;
            // "compare" finds the files already fetched: nothing to download.
            done = compare;
            // The download waits inside; this timer keeps watching meanwhile.
            if (!compare)
                QTimer::singleShot(0, &w, [&] {
                    Find<QAction>(w, "ToolButton14")->trigger();
                    done = true;
                });
        } else if (started && !ready && !after && TransferWellUnderWay(w)) {
            ready = true;
            out << "READY" << Qt::endl;
        } else if (done && !ready && after && !w.VexFtp1()->Busy() && w.Explorer().Files()->Loaded()) {
            ready = true;
            if (compare)
                Find<QAction>(w, "Comparerlessites1")->trigger();
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
