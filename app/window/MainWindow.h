#pragma once
// TfrmMain: the main window. It owns the FTP client VexFtp1, the shared
// state every tab sees (TAppContext), each tab and tool, the notification-
// area icon and its own timer, for the whole run. It is the only part of the
// program that knows every tab: it builds the frame (menus, main tool bar,
// tab host, the settings tab's general groups, the about tab), places the
// tabs, and wires menu items and tool-bar buttons to the tabs' handlers,
// each through the context's handler dispatch (TAppContext::Connect). Its
// controls and the tabs' carry their design names as object names, so that
// every part of the program (and the tests) can find them by name.
//
// Creating the window runs its creation handler: the listing cache is
// purged, the profiles and the scheduler program are loaded and the
// preferences restored. Closing it deletes the temporary files and saves the
// preferences.

#include <QMainWindow>
#include <memory>

class TAppContext;
class TConnectionFrontEnd;
class TDialUp;
class TDialUpMonitor;
class TExplorerTab;
class TQuickExplorerTab;
class TSchedulerTab;
class TSiteManager;
class TTrayIcon;
class TUpdateTab;
class TVexFtp;

class TfrmMain : public QMainWindow
{
    Q_OBJECT
public:
    explicit TfrmMain(QWidget *parent = nullptr);
    ~TfrmMain() override;

    TVexFtp *VexFtp1() const;
    TDialUp *DialUp1() const;
    TTrayIcon *TrayIcon1() const;

    // The state every tab sees, and the tabs.
    TAppContext &Context() const;
    TExplorerTab &Explorer() const;
    TQuickExplorerTab &QuickExplorer() const;
    TUpdateTab &Update() const;
    TSiteManager &SiteManager() const;
    TDialUpMonitor &DialUpMonitor() const;
    TSchedulerTab &Scheduler() const;
    TConnectionFrontEnd &FrontEnd() const;

    // Without a taskbar button the program is reached through its icon in
    // the notification area.
    void SetTaskbarButtonHidden(bool hidden);
    bool TaskbarButtonHidden() const;
    // Start-up, just before the event loop: with "Tray" saved as "oui" the
    // program goes without a taskbar button, but only when its icon is
    // really shown in a notification area. True when the button was hidden.
    bool HideTaskbarButtonForTray();

    // --- Start-up, preferences, shutdown --------------------------------------
    void FormCreate();
    void Quitter1Click();
    void Montrer1Click();
    void CheckBox8Click();
    void ReadComputerProperties();
    void dialog3Click();
    void noopChange();
    void FormKeyDown(int key);
    void AidedeVelmar1Click();
    void APropos1Click();
    void Mcrire1Click();
    void connexionactiveTimer();
    // The tool bar's transfer-type and connection-mode lists (the settings
    // tab's radio groups run them too).
    void asciimodeChange();
    void TransfertypeChange();

    // The address of the mail link.
    static QString ContactAddress();

    // The window's own controls and its parts (MainWindowPrivate.h).
    struct Private;

signals:
    // The window has closed (its preferences are saved).
    void Closed();

protected:
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    std::unique_ptr<Private> d;
};
