// Connect, disconnect and stop, and the hand-over of the connection between
// the explorer tab (the client VexFtp1) and the quick-explorer tab.

#include "MainWindowPrivate.h"

#include "Ftp.h"
#include "FtpTreeView.h"

#include <QAction>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QTabWidget>

void TfrmMain::ToolButton1Click()
{
    // The line comes first; a dial that fails still lets the FTP
    // connection try, unless the window is quitting meanwhile.
    if (d->NoActiveDialUpConnection() && d->activer->isChecked()) {
        const QPointer<TfrmMain> alive(this);
        d->DialSelectedEntry();
        if (!alive || d->quitting)
            return;
    }
    QWidget *page = d->PageControl1->currentWidget();
    if (page == d->TabSheet1) {
        // A client already connected is left alone.
        if (!d->VexFtp1->Connected() && ApplyProfileToClient(d->defaurep->text()))
            d->VexFtp1->Login();
    } else if (page == d->TabSheet2) {
        d->QuickPanelConnect(QString());
    }
}

void TfrmMain::ToolButton2Click()
{
    d->QuickPanelDisconnect();
    d->VexFtp1->Close();
    d->statusPanels[1]->clear();
}

void TfrmMain::ToolButton10Click()
{
    // The client has no abort of its own: stopping closes the connection.
    d->VexFtp1->Close();
    d->QuickPanelDisconnect();
    d->QuickPanelHideProgress();
}

void TfrmMain::PageControl1Change()
{
    QWidget *page = d->PageControl1->currentWidget();
    if (page == d->TabSheet2) {
        d->quickExplorerActive = true;
        if (!d->VexFtp1->Connected())
            return;
        d->handOverFolder = d->treeFolder;
        d->VexFtp1->Close();
        if (!d->QuickPanelConnected())
            d->QuickPanelConnect(d->handOverFolder);
    } else if (page == d->TabSheet1) {
        d->quickExplorerActive = false;
        if (!d->QuickPanelConnected())
            return;
        d->handOverFolder = d->QuickPanelDirectory();
        d->QuickPanelDisconnect();
        if (!d->VexFtp1->Connected() && ApplyProfileToClient(d->handOverFolder))
            d->VexFtp1->Login();
    }
}

void TfrmMain::VexFtpTreeView1Change()
{
    // The node's folder as the client names it; the path of a site root
    // ("/") becomes "".
    QString folder = d->VexFtpTreeView1->NodePath(d->VexFtpTreeView1->currentItem());
    if (folder.endsWith(QLatin1Char('/')))
        folder.chop(1);
    d->treeFolder = folder;
}

void TfrmMain::Private::SetLoggedInCommandsEnabled(bool enabled)
{
    // The explorer tab's tool-bar buttons and remote pop-up items join
    // these when the tab's file commands are in the window.
    for (QAction *command : {Tlcharger1, Envoyer1, Comparerlessites1})
        command->setEnabled(enabled);
}

bool TfrmMain::Private::QuickPanelConnected() const
{
    return false;
}

QString TfrmMain::Private::QuickPanelDirectory() const
{
    return QString();
}

void TfrmMain::Private::QuickPanelConnect(const QString &)
{
    // The panel takes the profile (host, port, user, password) and the
    // folder, then connects: nothing to do while the tab has no panel.
}

void TfrmMain::Private::QuickPanelDisconnect() {}

void TfrmMain::Private::QuickPanelHideProgress() {}
