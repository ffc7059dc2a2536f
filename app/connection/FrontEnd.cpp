// Connect, disconnect and stop, the hand-over of the connection between the
// two explorers, and what the window shows of its client VexFtp1: the status
// bar, the "Ftp:" indicator and its blink, the transfer display, the remote
// views' reactions and the answer to an existing local file.

#include "FrontEnd.h"

#include "AppContext.h"
#include "Confirme.h"
#include "DateTexts.h"
#include "DialUpMonitor.h"
#include "Ftp.h"
#include "FtpData.h"
#include "FtpErrorTexts.h"
#include "FtpListView.h"
#include "FtpTreeView.h"
#include "PanelBar.h"
#include "QuickExplorerSide.h"
#include "SiteManager.h"
#include "TransferDisplay.h"
#include "WidgetHelpers.h"

#include <QCheckBox>
#include <QDateTime>
#include <QLabel>
#include <QPointer>
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

// The size the current listing gives a file, or an empty text.
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
}

TConnectionFrontEnd::TConnectionFrontEnd(TAppContext &context, TSiteManager &sites, TDialUpMonitor &dialUp,
                                         TQuickExplorerSide &quickExplorer, const TFrontEndDisplays &displays)
    : QObject(context.Window()), context(context), sites(sites), dialUp(dialUp), quickExplorer(quickExplorer),
      displays(displays)
{
    setObjectName(QStringLiteral("ConnectionFrontEnd"));
    ok = Named(new QTimer(this), "ok");
    ok->setInterval(2000);
    context.Connect(ok, &QTimer::timeout, this, &TConnectionFrontEnd::okTimer);
    SetHooks();
}

TConnectionFrontEnd::~TConnectionFrontEnd()
{
    ClearHooks();
}

void TConnectionFrontEnd::SetHooks()
{
    // The client calls its hooks from its own steps, often from the event
    // loop: each goes through the window's handler dispatch, so that a
    // failure never unwinds through the client.
    TVexFtp *client = context.VexFtp1();
    const auto run = [this](const std::function<void()> &handler) { this->context.Run(handler); };
    client->OnFtpInfo = [this, run](TVexFtp *, FtpInfo info, const QString &text) {
        run([&] { VexFtp1FtpInfo(info, text); });
    };
    client->OnFtpError = [this, run](TVexFtp *, FtpError error, const QString &text) {
        run([&] { VexFtp1FtpError(error, text); });
    };
    client->OnFtpNeedInfo = [this, run](TVexFtp *, TVexFtpInfoNeeded need, QString &value) {
        run([&] { VexFtp1FtpNeedInfo(need, value); });
    };
    client->OnFtpQuit = [this, run](TVexFtp *) { run([this] { VexFtp1FtpQuit(); }); };
    client->OnFtpBusy = [this, run](TVexFtp *) { run([this] { VexFtp1FtpBusy(); }); };
    client->OnFtpReady = [this, run](TVexFtp *) { run([this] { VexFtp1FtpReady(); }); };
    client->OnLoggedIn = [this, run](TVexFtp *) { run([this] { VexFtp1DirectoryChanged(); }); };
    client->OnDirectoryChanged = [this, run](TVexFtp *) { run([this] { VexFtp1DirectoryChanged(); }); };
}

void TConnectionFrontEnd::ClearHooks()
{
    // Nothing the client still reports may reach controls that are going.
    TVexFtp *client = context.VexFtp1();
    client->OnFtpInfo = nullptr;
    client->OnFtpError = nullptr;
    client->OnFtpNeedInfo = nullptr;
    client->OnFtpQuit = nullptr;
    client->OnFtpBusy = nullptr;
    client->OnFtpReady = nullptr;
    client->OnLoggedIn = nullptr;
    client->OnDirectoryChanged = nullptr;
}

// --- Commands ------------------------------------------------------------------

void TConnectionFrontEnd::ToolButton1Click()
{
    // The line comes first; a dial that fails still lets the FTP connection
    // try, unless the window is quitting meanwhile.
    if (dialUp.NoActiveDialUpConnection() && dialUp.activer()->isChecked()) {
        const QPointer<TConnectionFrontEnd> alive(this);
        dialUp.DialSelectedEntry();
        if (!alive || context.Quitting())
            return;
    }
    const std::optional<TPage> page = context.CurrentPage();
    TVexFtp *client = context.VexFtp1();
    if (page == TPage::Explorer) {
        // A client already connected is left alone.
        if (!client->Connected()) {
            sites.ApplyProfileToClient(sites.EditorProfile().baseDirectory);
            client->Login();
        }
    } else if (page == TPage::QuickExplorer) {
        // The panel keeps the folder of the last hand-over, if any.
        quickExplorer.QuickPanelConnect(std::nullopt);
    }
}

void TConnectionFrontEnd::ToolButton2Click()
{
    quickExplorer.QuickPanelDisconnect();
    context.VexFtp1()->Close();
    displays.status->SetPanelText(1, QString());
}

void TConnectionFrontEnd::ToolButton10Click()
{
    // The client has no abort of its own: stopping closes the connection.
    context.VexFtp1()->Close();
    quickExplorer.QuickPanelDisconnect();
    quickExplorer.QuickPanelHideProgress();
}

void TConnectionFrontEnd::PageControl1Change()
{
    const std::optional<TPage> page = context.CurrentPage();
    TVexFtp *client = context.VexFtp1();
    if (page == TPage::QuickExplorer) {
        context.SetQuickExplorerActive(true);
        if (!client->Connected())
            return;
        handOverFolder = context.TreeFolder();
        client->Close();
        if (!quickExplorer.QuickPanelConnected())
            quickExplorer.QuickPanelConnect(handOverFolder);
    } else if (page == TPage::Explorer) {
        context.SetQuickExplorerActive(false);
        if (!quickExplorer.QuickPanelConnected())
            return;
        handOverFolder = quickExplorer.QuickPanelFolder();
        quickExplorer.QuickPanelDisconnect();
        if (!client->Connected()) {
            sites.ApplyProfileToClient(handOverFolder);
            client->Login();
        }
    }
}

void TConnectionFrontEnd::okTimer()
{
    const bool green = IndicatorColour(displays.oklogin) == LoggedInColour;
    SetIndicatorColour(displays.oklogin, green ? BlinkColour : LoggedInColour);
}

// --- The client's events --------------------------------------------------------

void TConnectionFrontEnd::VexFtp1FtpInfo(FtpInfo info, const QString &text)
{
    TVexFtp *client = context.VexFtp1();
    TTransferDisplay *transfer = displays.transfer;
    switch (info) {
    case ftpiDisconnected:
        displays.status->SetPanelText(0, QStringLiteral("Status : Déconnecté le : ") + Stamp());
        emit LoggedInCommandsEnabled(false);
        ok->stop();
        SetIndicatorColour(displays.oklogin, NotLoggedInColour);
        // A transfer cut off with its connection never reports its end: its
        // display goes with the connection.
        transfer->TransferDone();
        break;
    case ftpiLoggedIn:
        displays.status->SetPanelText(0, QStringLiteral("Status : Connecté le : ") + Stamp() + QStringLiteral(" sur ")
                                             + client->Server());
        emit LoggedInCommandsEnabled(true);
        transfer->ClearPie();
        SetIndicatorColour(displays.oklogin, LoggedInColour);
        ok->start();
        break;
    case ftpiResumeSupported:
    case ftpiResumeUnavailable:
        displays.status->SetPanelText(1, text);
        break;
    case ftpiTransferSize:
        transfer->SetMaximumText(text);
        break;
    case ftpiCommand:
        // Servers that announce no size in their reply to RETR leave the
        // size the listing gave; one announced replaces it.
        if (text.startsWith(QLatin1String("RETR "))) {
            QString name = text.mid(5);
            if (name.endsWith(QLatin1String("\r\n")))
                name.chop(2); // the line as sent; the name keeps its blanks
            transfer->SetMaximumText(ListedSize(client->Files(), name));
        }
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

void TConnectionFrontEnd::VexFtp1FtpError(FtpError error, const QString &text)
{
    switch (error) {
    case ftpeCannotResolve:
        displays.status->SetPanelText(1, CannotResolveText);
        break;
    case ftpeAccessDenied:
        displays.status->SetPanelText(1, FtpErrorShownText(error, text).simplified());
        emit AccessDenied();
        break;
    default:
        // Every error shows, the client's text when it gave one; the protocol
        // log shows it too. The panel is one line high.
        displays.status->SetPanelText(1, FtpErrorShownText(error, text).simplified());
        break;
    }
}

void TConnectionFrontEnd::VexFtp1FtpNeedInfo(TVexFtpInfoNeeded need, QString &value)
{
    // Other questions get no answer: the client applies its own rule.
    if (need != needFileExists)
        return;
    if (context.ScheduledRunActive()) {
        value = FtpAnswer::Overwrite;
        return;
    }
    if (context.AnswerForAll()) {
        value = context.AnswerForAllReply();
        return;
    }
    if (!ConfirmForm)
        ConfirmForm = new TConfirmForm(context.Window());
    ConfirmForm->SetResumeEnabled(context.VexFtp1()->ResumeSupported());
    ConfirmForm->SetMessage(FileExistsText);
    const int tag = ConfirmForm->Ask();
    value = AnswerOfTag(tag);
    context.SetAnswerForAll(tag == ctResumeAll || tag == ctOverwriteAll, value);
}

void TConnectionFrontEnd::VexFtp1FtpQuit()
{
    displays.tree->ClearSites();
    displays.list->Clear();
    sites.SetCaptionFromProfile();
}

void TConnectionFrontEnd::VexFtp1FtpBusy()
{
    // Files dropped from the desktop wait for an idle client.
    displays.list->SetAccept(false);
}

void TConnectionFrontEnd::VexFtp1FtpReady()
{
    displays.list->SetAccept(true);
}

void TConnectionFrontEnd::VexFtp1DirectoryChanged()
{
    TVexFtp *client = context.VexFtp1();
    client->ListDirectory();
    emit RemoteDirectoryChanged(client->CurrentDirectory());
    sites.SetCaptionFromProfile();
}
