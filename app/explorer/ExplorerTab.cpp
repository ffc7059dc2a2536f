// The explorer tab: its views and displays, the remote tree's selection and
// the download of one file of the remote list.

#include "ExplorerTab.h"

#include "AppContext.h"
#include "AppTexts.h"
#include "ExplorerViews.h"
#include "Ftp.h"
#include "FtpData.h"
#include "FtpListView.h"
#include "FtpMsg.h"
#include "FtpTreeView.h"
#include "LocalNames.h"
#include "PanelBar.h"
#include "Prompts.h"
#include "TransferDisplay.h"
#include "WidgetHelpers.h"

#include <QSplitter>
#include <QVBoxLayout>

namespace {
QString ListedSize(const TVexFtpFileInfoList &files, const QString &name)
{
    VexFtpFileInfo info;
    for (int i = 0; i < files.Count(); ++i) {
        files.GetInfo(i, info);
        if (info.FileName == name)
            return info.Size;
    }
    return QString();
}

bool IsListedFile(const TVexFtpListView *list, const QString &name)
{
    for (int row = 0; row < list->RowCount(); ++row)
        if (!list->RowIsFolder(row) && list->RowCaption(row) == name)
            return true;
    return false;
}
}

TExplorerTab::TExplorerTab(TAppContext &context, QWidget *parent) : QWidget(parent), context(context)
{
    setObjectName(QStringLiteral("TabSheet1"));
    TVexFtp *client = context.VexFtp1();
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(2, 2, 2, 0);
    layout->setSpacing(2);

    auto *vertical = Named(new QSplitter(Qt::Vertical, this), "Splitter1");
    auto *top = Named(new QSplitter(Qt::Horizontal, vertical), "Splitter2");
    tree = CreateVexFtpTreeView(top, client);
    list = CreateVexFtpListView(top, client);
    top->addWidget(tree);
    top->addWidget(list);
    top->setSizes({230, 520});

    auto *bottom = Named(new QSplitter(Qt::Horizontal, vertical), "Splitter3");
    auto *left = Named(new QSplitter(Qt::Vertical, bottom), "Splitter4");
    localTree = CreateLocalFolderTree(left);
    log = CreateVexFtpMessenger(left, client);
    left->addWidget(localTree);
    left->addWidget(log);
    left->setSizes({110, 110});

    auto *right = new QWidget(bottom);
    auto *rightLayout = new QVBoxLayout(right);
    rightLayout->setContentsMargins(0, 0, 0, 0);
    rightLayout->setSpacing(2);
    localFiles = CreateLocalFileList(right);
    transfer = new TTransferDisplay(right);
    rightLayout->addWidget(localFiles, 1);
    rightLayout->addWidget(transfer);
    bottom->addWidget(left);
    bottom->addWidget(right);
    bottom->setSizes({230, 520});

    vertical->addWidget(top);
    vertical->addWidget(bottom);
    vertical->setSizes({200, 230});
    layout->addWidget(vertical, 1);

    statusBar = new TPanelBar(this, "StatusBar1");
    layout->addWidget(statusBar);

    context.Connect(tree, &QTreeWidget::currentItemChanged, this, &TExplorerTab::VexFtpTreeView1Change);
}

TExplorerTab::~TExplorerTab() = default;

void TExplorerTab::VexFtpTreeView1Change()
{
    // The node's folder as the client names it; the path of a site root
    // ("/") becomes "".
    QString folder = tree->NodePath(tree->currentItem());
    if (folder.endsWith(QLatin1Char('/')))
        folder.chop(1);
    context.SetTreeFolder(folder);
}

bool TExplorerTab::DownloadRemoteListFile(const QString &remoteName)
{
    const std::optional<QString> localPath = LocalPathOf(context.LocalFolder(), remoteName);
    if (!localPath) {
        Prompts().Message(context.Window(), MainText::Caption, UnusableLocalNameText(remoteName), TMessageKind::Error);
        return false;
    }
    if (!IsListedFile(list, remoteName)) {
        Prompts().Message(context.Window(), MainText::Caption,
                          QStringLiteral("« %1 » n'est pas un fichier de la liste distante.").arg(remoteName),
                          TMessageKind::Error);
        return false;
    }

    // The listing knows the size; a size the server announces replaces it.
    transfer->SetMaximumText(ListedSize(context.VexFtp1()->Files(), remoteName));
    transfer->ShowControls();
    context.VexFtp1()->GetFile(remoteName, *localPath);
    return true;
}
