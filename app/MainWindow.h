#pragma once
// TfrmMain: the main window. It owns the FTP client VexFtp1, its views, the
// notification-area icon and the timers, for the whole run. Its controls
// carry their design names as object names, so that every part of the
// program (and the tests) can find them by name.
//
// Creating the window runs its creation handler: the listing cache is
// purged, the profiles and the scheduler program are loaded and the
// preferences restored. Closing it deletes the temporary files and saves the
// preferences.

#include <QMainWindow>
#include <QStringList>
#include <memory>

class TDialUp;
class TVexFtp;
class TTrayIcon;

class TfrmMain : public QMainWindow
{
    Q_OBJECT
public:
    explicit TfrmMain(QWidget *parent = nullptr);
    ~TfrmMain() override;

    TVexFtp *VexFtp1() const;
    TDialUp *DialUp1() const;
    TTrayIcon *TrayIcon1() const;

    // --- State shared with the other parts of the window --------------------
    bool Quitting() const;
    // Set by "&Quitter"; the scheduler sets it around its own hang-up.
    void SetQuitting(bool on);
    bool ScheduledRunActive() const;
    void SetScheduledRunActive(bool on);
    // An "all" answer of the overwrite/resume dialog stands: later files
    // get that answer without a dialog. Clearing it forgets the answer.
    bool AnswerForAll() const;
    void SetAnswerForAll(bool on);
    bool QuickExplorerActive() const;
    // The remote folder of the node selected in the remote tree, without a
    // final "/" ("" for a site root).
    QString TreeFolder() const;
    int SchedulerEnabled() const;
    // Temporary copies of remote files opened by the user: deleted at close.
    QStringList &OpenedFiles();
    // The profile file, velmar.ini in the program's files folder.
    QString ProfilePath() const;
    // The local folder (always ending with "/").
    QString LocalFolder() const;
    void SelectLocalFolder(const QString &folder);

    // Without a taskbar button the program is reached through its icon in
    // the notification area.
    void SetTaskbarButtonHidden(bool hidden);
    bool TaskbarButtonHidden() const;

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

    // --- Site manager ------------------------------------------------------------
    void LoadAllProfiles();
    void ListBox1Click();
    void ListBox1ClickCheck();
    void nouvelleClick();
    void sauverClick();
    void supprimerClick();
    void connexioonrapideClick();
    // Hands the editor's profile to the client; false (after telling the
    // user) when a port field is not a number.
    bool ApplyProfileToClient(const QString &initialDirectory);
    void asciimodeChange();
    void TransfertypeChange();
    void ToolButton32Click();

    // --- Connection (the explorer tab's client) ---------------------------------
    void ToolButton1Click();
    void ToolButton2Click();
    void ToolButton10Click();
    void PageControl1Change();
    void VexFtpTreeView1Change();
    // The blink of the "Ftp:" indicator while logged in.
    void okTimer();

    // Downloads one file of the remote list into the local folder, showing
    // the transfer display (the explorer tab's full download command, with
    // its selection and drag and drop, is not part of the window yet). A
    // name that would not stay inside the local folder, or that is not a
    // file of the list, is refused with a message: false, nothing written.
    bool DownloadRemoteListFile(const QString &remoteName);

    // The address of the mail link.
    static QString ContactAddress();

    // The window's controls and state (defined where the window is built).
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
