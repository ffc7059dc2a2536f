#pragma once
// The explorer tab's views, made in one place: the remote file list, the
// remote folder tree and the protocol log, all bound to the window's client,
// and the local folder tree and file list. Each is returned with its object
// name (VexFtpListView1, VexFtpTreeView1, VexFtpMessenger1, DirTree1, Files).

class QWidget;
class TDirTree;
class TLocalFileList;
class TVexFtp;
class TVexFtpListView;
class TVexFtpMessenger;
class TVexFtpTreeView;

TVexFtpMessenger *CreateVexFtpMessenger(QWidget *parent, TVexFtp *client);
TVexFtpListView *CreateVexFtpListView(QWidget *parent, TVexFtp *client);
TVexFtpTreeView *CreateVexFtpTreeView(QWidget *parent, TVexFtp *client);
TDirTree *CreateLocalFolderTree(QWidget *parent);
TLocalFileList *CreateLocalFileList(QWidget *parent);
