// Connect, disconnect and stop for the explorer tab's client.

#include "MainWindowPrivate.h"

#include "Ftp.h"

#include <QLabel>
#include <QLineEdit>
#include <QTabWidget>

void TfrmMain::ToolButton1Click()
{
    // The dial-up step comes first, and on the quick-explorer tab the panel
    // connects instead.
    if (d->PageControl1->currentWidget() != d->TabSheet1 || d->VexFtp1->Connected())
        return;
    if (ApplyProfileToClient(d->defaurep->text()))
        d->VexFtp1->Login();
}

void TfrmMain::ToolButton2Click()
{
    d->VexFtp1->Close();
    d->statusPanels[1]->clear();
}

void TfrmMain::ToolButton10Click()
{
    // The client has no abort of its own: stopping closes the connection.
    d->VexFtp1->Close();
}
