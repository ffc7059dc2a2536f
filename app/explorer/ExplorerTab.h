#pragma once
// TExplorerTab: the tab "    &Explorateur" (the page TabSheet1). The remote
// folder tree VexFtpTreeView1 and the remote list VexFtpListView1 above, the
// local folder tree DirTree1 over the protocol log VexFtpMessenger1 and the
// local file list Files below, then the transfer display and the status bar
// StatusBar1. The three remote views follow the window's client.
//
// Its handlers: the remote tree's selection (VexFtpTreeView1Change, which
// keeps TreeFolder) and the download of one file of the remote list.

#include <QWidget>

class TAppContext;
class TPanelBar;
class TTransferDisplay;
class TVexFtpListView;
class TVexFtpMessenger;
class TVexFtpTreeView;

class TExplorerTab : public QWidget
{
    Q_OBJECT
public:
    TExplorerTab(TAppContext &context, QWidget *parent = nullptr);
    ~TExplorerTab() override;

    TVexFtpTreeView *VexFtpTreeView1() const { return tree; }
    TVexFtpListView *VexFtpListView1() const { return list; }
    TVexFtpMessenger *VexFtpMessenger1() const { return log; }
    QWidget *DirTree1() const { return localTree; }
    QWidget *Files() const { return localFiles; }
    TTransferDisplay *TransferDisplay() const { return transfer; }
    TPanelBar *StatusBar1() const { return statusBar; }

    // The node selected in the remote tree: its folder becomes TreeFolder.
    void VexFtpTreeView1Change();

    // Downloads one file of the remote list into the local folder, showing
    // the transfer display (the tab's full download command, with its
    // selection and drag and drop, is not there yet). A name that would not
    // stay inside the local folder (LocalNames.h), or that is not a file of
    // the list, is refused with a message: false, nothing written.
    bool DownloadRemoteListFile(const QString &remoteName);

private:
    TAppContext &context;
    TVexFtpTreeView *tree = nullptr;
    TVexFtpListView *list = nullptr;
    TVexFtpMessenger *log = nullptr;
    QWidget *localTree = nullptr;
    QWidget *localFiles = nullptr;
    TTransferDisplay *transfer = nullptr;
    TPanelBar *statusBar = nullptr;
};
