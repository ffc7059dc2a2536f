#pragma once
// TConnectionFrontEnd: what the user sees of the client VexFtp1 and how the
// user drives its connection. It runs connect, disconnect and stop, hands the
// connection over between the explorer and the quick-explorer tabs, and
// answers the client's events: the status bar, the "Ftp:" indicator and its
// blink (the timer "ok"), the transfer display, the remote views' reactions
// to login, folder changes and quitting, and the question about an existing
// local file through the overwrite/resume dialog TConfirmForm.
//
// It owns the client's owner hooks (OnFtpInfo, OnFtpError, OnFtpNeedInfo,
// OnFtpQuit, OnFtpBusy, OnFtpReady, OnLoggedIn, OnDirectoryChanged) from its
// construction to its destruction. The window wires the tool bar's
// "Connexion", "Déconnexion" and "Stop" and the tab host's change to its
// handlers, and its signals to the commands and labels of other tabs.

#include "FtpCodes.h"

#include <QObject>
#include <QString>

class QLabel;
class QTimer;
class TAppContext;
class TConfirmForm;
class TDialUpMonitor;
class TPanelBar;
class TQuickExplorerSide;
class TSiteManager;
class TTransferDisplay;
class TVexFtpListView;
class TVexFtpTreeView;

// What the front end shows on the explorer tab and the tool bar.
struct TFrontEndDisplays {
    TPanelBar *status = nullptr;          // the explorer tab's status bar
    TTransferDisplay *transfer = nullptr; // the explorer tab's transfer display
    TVexFtpListView *list = nullptr;      // the remote list
    TVexFtpTreeView *tree = nullptr;      // the remote tree
    QLabel *oklogin = nullptr;            // the tool bar's "Ftp:" indicator
};

class TConnectionFrontEnd : public QObject
{
    Q_OBJECT
public:
    TConnectionFrontEnd(TAppContext &context, TSiteManager &sites, TDialUpMonitor &dialUp,
                        TQuickExplorerSide &quickExplorer, const TFrontEndDisplays &displays);
    ~TConnectionFrontEnd() override;

    // --- Commands ----------------------------------------------------------------
    void ToolButton1Click();  // Connexion
    void ToolButton2Click();  // Déconnexion
    void ToolButton10Click(); // Stop
    // The tab host shows another tab.
    void PageControl1Change();
    // The blink of the "Ftp:" indicator while logged in.
    void okTimer();

    // --- The client's events -----------------------------------------------------
    void VexFtp1FtpInfo(FtpInfo info, const QString &text);
    void VexFtp1FtpError(FtpError error, const QString &text);
    void VexFtp1FtpNeedInfo(TVexFtpInfoNeeded need, QString &value);
    void VexFtp1FtpQuit();
    void VexFtp1FtpBusy();
    void VexFtp1FtpReady();
    // Both a login and a folder change: list the folder and show where we are.
    void VexFtp1DirectoryChanged();

signals:
    // The commands that need a logged-in client become available or not.
    void LoggedInCommandsEnabled(bool enabled);
    // The client's current folder, after a login or a folder change.
    void RemoteDirectoryChanged(const QString &currentDirectory);
    // The server refused access (ftpeAccessDenied): the explorer's upload
    // button waits for the next login.
    void AccessDenied();

private:
    void SetHooks();
    void ClearHooks();

    TAppContext &context;
    TSiteManager &sites;
    TDialUpMonitor &dialUp;
    TQuickExplorerSide &quickExplorer;
    TFrontEndDisplays displays;

    QTimer *ok = nullptr;
    TConfirmForm *ConfirmForm = nullptr; // made when first needed
    // The remote folder carried from one explorer to the other.
    QString handOverFolder;
};
