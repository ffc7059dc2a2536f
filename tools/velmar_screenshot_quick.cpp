// Opens the Velmar window on its quick-explorer tab, connects the panel to a
// site, uploads files of a local folder into the site's root folder on the
// panel's worker, then says "READY" on its standard output once the upload
// has finished and the panel lists the folder again: the screenshot script
// captures the window at that moment. A review aid, not part of the program.
//
//   velmar-screenshot-quick HOST PORT USER PASSWORD LOCAL_FOLDER FILE...

#include "AppContext.h"
#include "AppFiles.h"
#include "AppIcon.h"
#include "MainWindow.h"
#include "QuickExplorerTab.h"
#include "Translations.h"
#include "ZEVudeDadaVAV.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QLineEdit>
#include <QTextStream>
#include <QTimer>

namespace {
template <typename T>
T *Find(const TfrmMain &w, const char *name)
{
    return w.findChild<T *>(QLatin1String(name));
}

bool Listed(const TZEVudeDadaVAV &panel, const QStringList &names)
{
    QStringList captions;
    for (const TQuickFileRow &row : panel.Rows())
        captions << row.Caption;
    for (const QString &name : names)
        if (!captions.contains(name))
            return false;
    return true;
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
    if (args.size() < 7) {
        err << "usage: velmar-screenshot-quick HOST PORT USER PASSWORD LOCAL_FOLDER FILE...\n";
        return 2;
    }
    const QDir folder(args.at(5));
    const QStringList names = args.mid(6);
    QString paths;
    for (const QString &name : names)
        paths += folder.absoluteFilePath(name) + QStringLiteral("\r\n");
    FilesFolder();

    TfrmMain w;
    w.show();
    w.Context().SelectLocalFolder(folder.absolutePath() + QLatin1Char('/'));
    Find<QLineEdit>(w, "connect")->setText(QStringLiteral("Démo Velmar (local)"));
    Find<QLineEdit>(w, "HostTxt")->setText(args.at(1));
    Find<QLineEdit>(w, "PortTxt")->setText(args.at(2));
    Find<QLineEdit>(w, "UserTxt")->setText(args.at(3));
    Find<QLineEdit>(w, "PassTxt")->setText(args.at(4));
    Find<QLineEdit>(w, "defaurep")->setText(QStringLiteral("/"));
    TZEVudeDadaVAV *panel = w.QuickExplorer().ZEVudeDadaVAV1();

    bool started = false;
    bool ready = false;
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, &w, [&] {
        if (!started) {
            started = true;
            // Connecting and uploading wait inside; the timer keeps watching.
            QTimer::singleShot(0, &w, [&] {
                w.Context().ActivatePage(TPage::QuickExplorer);
                Find<QAction>(w, "ToolButton1")->trigger();
                if (!panel->Connected() || !panel->UploadFiles(paths, false)) {
                    err << "velmar-screenshot-quick: the upload did not start\n";
                    app.exit(1);
                }
            });
        } else if (!ready && panel->Connected() && !panel->Busy() && Listed(*panel, names)) {
            ready = true;
            out << "READY" << Qt::endl;
        }
    });
    watch.start(100);
    QTimer::singleShot(120000, &app, [&] {
        err << "velmar-screenshot-quick: the upload did not finish\n";
        app.exit(1);
    });
    return app.exec();
}
