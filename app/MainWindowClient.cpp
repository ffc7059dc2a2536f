// What the window shows of its client VexFtp1: the status bar, the "Ftp:"
// indicator and its blink, the transfer display, the remote views' reactions
// to login, folder changes and quitting, and the answer to an existing local
// file through TConfirmForm.

#include "MainWindowPrivate.h"

#include "Confirme.h"
#include "Ftp.h"
#include "FtpListView.h"
#include "FtpTreeView.h"
#include "TransferDisplay.h"

#include <QDateTime>
#include <QLabel>
#include <QLineEdit>
#include <QTimer>

namespace {
const QColor NotLoggedInColour(255, 0, 0);
const QColor LoggedInColour(0, 128, 0);
const QColor BlinkColour(0, 255, 0);

const QString CannotResolveText =
    QStringLiteral("Impossible de joindre le serveur - Cause probable: connexion internet inactive");
const QString FileExistsText = QStringLiteral("Ce fichier existe déjà.");

QString Stamp()
{
    const QDateTime now = QDateTime::currentDateTime();
    return ShortDateText(now.date()) + QStringLiteral(" à ") + LongTimeText(now.time());
}

void VexFtp1FtpInfo(TfrmMain::Private &d, TVexFtp *client, FtpInfo info, const QString &text)
{
    TTransferDisplay *transfer = d.transferDisplay;
    switch (info) {
    case ftpiDisconnected:
        d.statusPanels[0]->setText(QStringLiteral("Status : Déconnecté le : ") + Stamp());
        d.SetLoggedInCommandsEnabled(false);
        d.ok->stop();
        SetIndicatorColour(d.oklogin, NotLoggedInColour);
        // A transfer cut off with its connection never reports its end:
        // its display goes with the connection.
        transfer->TransferDone();
        break;
    case ftpiLoggedIn:
        d.statusPanels[0]->setText(QStringLiteral("Status : Connecté le : ") + Stamp() + QStringLiteral(" sur ")
                                   + client->Server());
        d.SetLoggedInCommandsEnabled(true);
        transfer->ClearPie();
        SetIndicatorColour(d.oklogin, LoggedInColour);
        d.ok->start();
        break;
    case ftpiResumeSupported:
    case ftpiResumeUnavailable:
        d.statusPanels[1]->setText(text);
        break;
    case ftpiTransferSize:
        transfer->SetMaximumText(text);
        break;
    case ftpiProgress:
        transfer->SetProgress(client->BytesTransferred(), client->ElapsedTime());
        break;
    case ftpiTransferDone:
        transfer->TransferDone();
        break;
    default:
        break;
    }
    transfer->ShowFileAndPie();
}

void VexFtp1FtpError(TfrmMain::Private &d, FtpError error, const QString &text)
{
    switch (error) {
    case ftpeCannotResolve:
        d.statusPanels[1]->setText(CannotResolveText);
        break;
    case ftpeAccessDenied:
        // The local tool bar's upload button is disabled here until the
        // next login, once the tab's tool bars are in the window.
        d.statusPanels[1]->setText(text);
        break;
    default:
        // The protocol log shows every error.
        break;
    }
}

QString AnswerOfTag(int tag)
{
    switch (tag) {
    case ctResume:
    case ctResumeAll: return FtpAnswer::Resume;
    case ctOverwrite:
    case ctOverwriteAll: return FtpAnswer::Overwrite;
    default: return FtpAnswer::Cancel;
    }
}

void VexFtp1FtpNeedInfo(TfrmMain *w, TfrmMain::Private &d, TVexFtp *client, TVexFtpInfoNeeded need,
                        QString &value)
{
    // Other questions get no answer: the client applies its own rule.
    if (need != needFileExists)
        return;
    if (d.scheduledRunActive) {
        value = FtpAnswer::Overwrite;
        return;
    }
    if (d.answerForAll) {
        value = d.answerForAllReply;
        return;
    }
    if (!d.ConfirmForm)
        d.ConfirmForm = new TConfirmForm(w);
    d.ConfirmForm->SetResumeEnabled(client->ResumeSupported());
    d.ConfirmForm->SetMessage(FileExistsText);
    const int tag = d.ConfirmForm->Ask();
    value = AnswerOfTag(tag);
    const bool forAll = tag == ctResumeAll || tag == ctOverwriteAll;
    d.answerForAll = forAll;
    d.answerForAllReply = forAll ? value : QString();
}

// Both a login and a folder change: list the folder and show where we are.
void VexFtp1DirectoryChanged(TfrmMain *w, TfrmMain::Private &d, TVexFtp *client)
{
    client->ListDirectory();
    const QString folder = client->CurrentDirectory();
    d.repencours->setText(QStringLiteral("Répertoire distant en cours: ")
                          + folder.mid(folder.lastIndexOf(QLatin1Char('/')) + 1));
    d.SetCaptionFromProfile(w);
}
}

void ConnectClientHandlers(TfrmMain *w, TfrmMain::Private &d)
{
    TVexFtp *client = d.VexFtp1;
    client->OnFtpInfo = [&d](TVexFtp *sender, FtpInfo info, const QString &text) {
        VexFtp1FtpInfo(d, sender, info, text);
    };
    client->OnFtpError = [&d](TVexFtp *, FtpError error, const QString &text) { VexFtp1FtpError(d, error, text); };
    client->OnFtpNeedInfo = [w, &d](TVexFtp *sender, TVexFtpInfoNeeded need, QString &value) {
        VexFtp1FtpNeedInfo(w, d, sender, need, value);
    };
    client->OnFtpQuit = [w, &d](TVexFtp *) {
        d.VexFtpTreeView1->ClearSites();
        d.VexFtpListView1->Clear();
        d.SetCaptionFromProfile(w);
    };
    // Files dropped from the desktop wait for an idle client.
    client->OnFtpBusy = [&d](TVexFtp *) { d.VexFtpListView1->SetAccept(false); };
    client->OnFtpReady = [&d](TVexFtp *) { d.VexFtpListView1->SetAccept(true); };
    client->OnLoggedIn = [w, &d](TVexFtp *sender) { VexFtp1DirectoryChanged(w, d, sender); };
    client->OnDirectoryChanged = [w, &d](TVexFtp *sender) { VexFtp1DirectoryChanged(w, d, sender); };
}

void DisconnectClientHandlers(TfrmMain::Private &d)
{
    TVexFtp *client = d.VexFtp1;
    client->OnFtpInfo = nullptr;
    client->OnFtpError = nullptr;
    client->OnFtpNeedInfo = nullptr;
    client->OnFtpQuit = nullptr;
    client->OnFtpBusy = nullptr;
    client->OnFtpReady = nullptr;
    client->OnLoggedIn = nullptr;
    client->OnDirectoryChanged = nullptr;
}

void TfrmMain::okTimer()
{
    const bool green = d->oklogin->property("colour").value<QColor>() == LoggedInColour;
    SetIndicatorColour(d->oklogin, green ? BlinkColour : LoggedInColour);
}
