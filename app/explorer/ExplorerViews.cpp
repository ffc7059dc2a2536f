// The explorer tab's views with their object names and settings.

#include "ExplorerViews.h"

#include "FtpListView.h"
#include "FtpMsg.h"
#include "FtpTreeView.h"
#include "LocalFileList.h"
#include "LocalFolderTree.h"

TVexFtpMessenger *CreateVexFtpMessenger(QWidget *parent, TVexFtp *client)
{
    auto *log = new TVexFtpMessenger(parent);
    log->setObjectName(QStringLiteral("VexFtpMessenger1"));
    log->SetStyle(msgVexFtp);
    log->setLineWrapMode(QPlainTextEdit::NoWrap);
    log->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    log->SetClient(client);
    log->AttachSaveStatusMenu();
    return log;
}

TVexFtpListView *CreateVexFtpListView(QWidget *parent, TVexFtp *client)
{
    auto *view = new TVexFtpListView(parent);
    view->setObjectName(QStringLiteral("VexFtpListView1"));
    view->setToolTip(QStringLiteral("Clic droit = menu / Double Click = exécuter"));
    view->SetClient(client);
    return view;
}

TVexFtpTreeView *CreateVexFtpTreeView(QWidget *parent, TVexFtp *client)
{
    auto *view = new TVexFtpTreeView(parent);
    view->setObjectName(QStringLiteral("VexFtpTreeView1"));
    view->SetClient(client);
    return view;
}

TDirTree *CreateLocalFolderTree(QWidget *parent)
{
    auto *view = new TDirTree(parent);
    view->setObjectName(QStringLiteral("DirTree1"));
    return view;
}

TLocalFileList *CreateLocalFileList(QWidget *parent)
{
    auto *view = new TLocalFileList(parent);
    view->setObjectName(QStringLiteral("Files"));
    return view;
}
