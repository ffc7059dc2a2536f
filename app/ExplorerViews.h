#pragma once
// The explorer tab's views, made in one place: the remote file list, the
// remote folder tree and the protocol log, all bound to the window's client,
// and the local folder tree and file list. Each is returned with its object
// name (VexFtpListView1, VexFtpTreeView1, VexFtpMessenger1, DirTree1, Files).
//
// Until the dedicated view classes are in the build these are plain widgets;
// the log already shows the client's dialogue as plain lines.

class QWidget;
class TVexFtp;

QWidget *CreateVexFtpMessenger(QWidget *parent, TVexFtp *client);
QWidget *CreateVexFtpListView(QWidget *parent, TVexFtp *client);
QWidget *CreateVexFtpTreeView(QWidget *parent, TVexFtp *client);
QWidget *CreateLocalFolderTree(QWidget *parent);
QWidget *CreateLocalFileList(QWidget *parent);
