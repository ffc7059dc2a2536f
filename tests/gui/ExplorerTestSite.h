#pragma once
// Shared steps of the explorer tab's tests: a main window logged in to a
// real pyftpdlib server (or a scripted one), its controls found by object
// name, the remote and local lists' rows selected by caption, the local
// list waited for, and files written and read.

#include "AppContext.h"
#include "ExplorerTab.h"
#include "Ftp.h"
#include "FtpListView.h"
#include "FtpMsg.h"
#include "GuiTestSupport.h"
#include "LocalFileList.h"
#include "LocalFolderTree.h"
#include "MainWindow.h"
#include "PyFtpdServer.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QRandomGenerator>
#include <QtTest>

namespace ExplorerTest {

constexpr int LoginWaitMs = 10000;
constexpr int WaitMs = 5000;

template <typename T>
T *Find(const QWidget &w, const char *name)
{
    return w.findChild<T *>(QLatin1String(name));
}

inline QAction *Action(const QWidget &w, const char *name)
{
    return Find<QAction>(w, name);
}

inline TVexFtpListView *RemoteList(const TfrmMain &w)
{
    return w.Explorer().VexFtpListView1();
}

inline TLocalFileList *LocalList(const TfrmMain &w)
{
    return w.Explorer().Files();
}

inline QStringList RemoteCaptions(const TfrmMain &w)
{
    QStringList captions;
    for (int row = 0; row < RemoteList(w)->RowCount(); ++row)
        captions << RemoteList(w)->RowCaption(row);
    return captions;
}

inline QStringList LocalCaptions(const TfrmMain &w)
{
    QStringList captions;
    for (int row = 0; row < LocalList(w)->RowCount(); ++row)
        captions << LocalList(w)->RowCaption(row);
    return captions;
}

inline QStringList LogLines(const TfrmMain &w)
{
    return w.Explorer().VexFtpMessenger1()->Lines();
}

inline bool LogHas(const TfrmMain &w, const QString &line)
{
    return LogLines(w).contains(line);
}

// Selects exactly the remote rows of these captions (none when empty).
inline bool SelectRemote(const TfrmMain &w, const QStringList &captions)
{
    TVexFtpListView *list = RemoteList(w);
    QItemSelectionModel *selection = list->ItemView()->selectionModel();
    selection->clearSelection();
    int found = 0;
    for (int row = 0; row < list->RowCount(); ++row) {
        if (!captions.contains(list->RowCaption(row)))
            continue;
        selection->select(list->ItemView()->model()->index(row, 0),
                          QItemSelectionModel::Select | QItemSelectionModel::Rows);
        ++found;
    }
    return found == captions.size();
}

// Selects exactly the local rows of these captions, in list order.
inline bool SelectLocal(const TfrmMain &w, const QStringList &captions)
{
    TLocalFileList *list = LocalList(w);
    list->SelectAll(false);
    int found = 0;
    for (int row = 0; row < list->RowCount(); ++row) {
        if (captions.contains(list->RowCaption(row))) {
            list->SetRowSelected(row, true);
            ++found;
        }
    }
    return found == captions.size();
}

// The local list shows its folder read whole.
inline bool LocalListLoaded(const TfrmMain &w)
{
    return QTest::qWaitFor([&] { return LocalList(w)->Loaded(); }, WaitMs);
}

inline bool ClientIdle(const TfrmMain &w)
{
    return QTest::qWaitFor([&] { return !w.VexFtp1()->Busy(); }, WaitMs);
}

inline QByteArray RandomBytes(qsizetype size, quint32 seed)
{
    QRandomGenerator generator(seed);
    QByteArray data(size, Qt::Uninitialized);
    for (char &c : data)
        c = char(generator.bounded(256));
    return data;
}

inline bool WriteFile(const QString &path, const QByteArray &data)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(data) == data.size();
}

inline QByteArray ReadFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

inline QStringList Entries(const QString &folder)
{
    QStringList names = QDir(folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
    names.sort();
    return names;
}

// Fills the profile editor for server and connects from the explorer tab;
// true once logged in and the first listing shown.
inline bool LogIn(TfrmMain &w, const QString &host, quint16 port, const QString &user, const QString &password,
                  const QString &folder = QStringLiteral("/"))
{
    Find<QLineEdit>(w, "connect")->setText(QStringLiteral("Site de test"));
    Find<QLineEdit>(w, "HostTxt")->setText(host);
    Find<QLineEdit>(w, "PortTxt")->setText(QString::number(port));
    Find<QLineEdit>(w, "UserTxt")->setText(user);
    Find<QLineEdit>(w, "PassTxt")->setText(password);
    Find<QLineEdit>(w, "defaurep")->setText(folder);
    bool listed = false;
    const int slot = w.VexFtp1()->AddNotifyListener(nkListingDone, [&](TVexFtp *) { listed = true; });
    Action(w, "ToolButton1")->trigger();
    const bool done = QTest::qWaitFor([&] { return listed && w.VexFtp1()->LoggedIn() && !w.VexFtp1()->Busy(); },
                                      LoginWaitMs);
    w.VexFtp1()->RemoveNotifyListener(nkListingDone, slot);
    return done;
}

inline bool LogIn(TfrmMain &w, const PyFtpdServer &server, const QString &folder = QStringLiteral("/"))
{
    return LogIn(w, server.Host(), server.Port(), QLatin1String(PyFtpdServer::DefaultUser),
                 QLatin1String(PyFtpdServer::DefaultPassword), folder);
}

// Selects folder in the local tree (the window's local folder) and waits
// for the list to show it.
inline bool ShowLocalFolder(TfrmMain &w, const QString &folder)
{
    return w.Context().SelectLocalFolder(folder) && LocalListLoaded(w);
}

} // namespace ExplorerTest
