#include "ExplorerViews.h"

#include "FtpListView.h"
#include "FtpMsg.h"
#include "FtpTreeView.h"

#include <QHeaderView>
#include <QTreeWidget>

namespace {
QTreeWidget *EmptyView(QWidget *parent, const QStringList &columns)
{
    auto *view = new QTreeWidget(parent);
    view->setHeaderLabels(columns);
    view->setRootIsDecorated(columns.size() == 1);
    view->header()->setVisible(columns.size() > 1);
    return view;
}
}

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

QWidget *CreateLocalFolderTree(QWidget *parent)
{
    QWidget *view = EmptyView(parent, {QStringLiteral("Dossiers")});
    view->setObjectName(QStringLiteral("DirTree1"));
    return view;
}

QWidget *CreateLocalFileList(QWidget *parent)
{
    QWidget *view = EmptyView(parent, {QStringLiteral("Nom"), QStringLiteral("Type"), QStringLiteral("Taille"),
                                       QStringLiteral("Modifié le")});
    view->setObjectName(QStringLiteral("Files"));
    return view;
}
