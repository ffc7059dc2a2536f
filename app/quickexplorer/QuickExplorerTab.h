#pragma once
// TQuickExplorerTab: the tab "    Explorateur &rapide" (the page TabSheet2),
// the second explorer. From top to bottom: a banner; the tool bar ToolBar4
// with the check box synch2 "Synchroniser les répertoires", the button
// "comparer" (ToolButton33), the view buttons "Grandes icones", "Liste" and
// "Détails" (ToolButton35 to 37), "Export Excel" and "Imprimer le site
// distant", and the current-local-folder label replocal1; the quick-explorer
// panel ZEVudeDadaVAV1; the progress label progression2 ("Progression : "),
// the bar ProgressBar2 and the speed label debit2 ("Débit :"), hidden until
// a transfer; the status bar StatusBar2.
//
// The tab answers the panel's hooks (messages, progress, double clicks)
// with the status bar, the progress controls, the window caption and the
// synchronisation of the local folder, and gives the connection front end
// the panel's side of connect, disconnect, stop and the hand-over of the
// connection (TQuickExplorerSide).
//
// The window gives it the site manager (SetSiteManager) before any command
// runs, wires "comparer", "Export Excel" and "Imprimer le site distant" to
// the site tools ("comparer" stays greyed until its tool enables it), and
// attaches "&Sauvegarder le status" to the panel's log at start-up.

#include "QuickExplorerSide.h"

#include <QWidget>

class QAction;
class QCheckBox;
class QLabel;
class QProgressBar;
class QToolBar;
class TAppContext;
class TBTFTPConnection;
class TPanelBar;
class TSiteManager;
class TZEVudeDadaVAV;

// Texts of the tab that its tests and the window compare against.
namespace QuickTabText {
inline const QString ProgressLabel = QStringLiteral("Progression : ");
inline const QString RateLabel = QStringLiteral("Débit :");
inline const QString RateUnit = QStringLiteral("Bytes/s");
inline const QString StatusStart = QStringLiteral("Satus:");
inline const QString StatusFileName = QStringLiteral("Status1.txt");
}

class TQuickExplorerTab : public QWidget, public TQuickExplorerSide
{
    Q_OBJECT
public:
    TQuickExplorerTab(TAppContext &context, QWidget *parent = nullptr);
    ~TQuickExplorerTab() override;

    // The site manager whose editor profile the panel connects with and
    // whose profile name the window caption shows.
    void SetSiteManager(TSiteManager &sites);

    TZEVudeDadaVAV *ZEVudeDadaVAV1() const { return panel; }
    QLabel *replocal1() const { return localFolderLabel; }
    TPanelBar *StatusBar2() const { return statusBar; }
    QCheckBox *synch2() const { return synchronise; }
    QLabel *progression() const { return progressLabel; }
    QProgressBar *ProgressBar2() const { return progressBar; }
    QLabel *debit() const { return rateLabel; }

    // The site tools' buttons: the quick comparison ("comparer", greyed
    // until the comparison tool wires and enables it), the listing export
    // and the print of the panel's list.
    QAction *ToolButton33() const { return compare; }
    QAction *ExportExcel() const { return exportExcel; }
    QAction *ImprimerSite() const { return printSite; }
    QAction *ToolButton35() const { return largeIcons; }
    QAction *ToolButton36() const { return listStyle; }
    QAction *ToolButton37() const { return details; }
    // "&Sauvegarder le status" on the log's pop-up.
    QAction *Sauvegarderlestatus2() const { return saveStatus; }

    // The main tool bar's modes: the panel's TransferType (ttASCII or
    // ttBinary) and Passive.
    void SetPanelAsciiMode(bool ascii);
    void SetPanelPassive(bool passive);
    // The downloads folder: where the panel's save dialog starts.
    void SetDownloadFolder(const QString &folder);
    // Start-up: the log's pop-up gets "&Sauvegarder le status".
    void AttachSaveStatusMenu();

    // --- Handlers ------------------------------------------------------------
    void ZEVudeDadaVAV1DisplayMessage(const QString &messageText, bool isError);
    void ZEVudeDadaVAV1DisplayProgress(qint64 doneSize, qint64 totalSize, qint64 bytesPerSecond);
    void ZEVudeDadaVAV1DblClick();
    void synch2Click();
    void ToolButton35Click(); // large icons
    void ToolButton36Click(); // list
    void ToolButton37Click(); // details
    void Sauvegarderlestatus2Click();

    // --- TQuickExplorerSide ----------------------------------------------------
    bool QuickPanelConnected() const override;
    QString QuickPanelFolder() const override;
    void QuickPanelConnect(const std::optional<QString> &remoteFolder) override;
    void QuickPanelDisconnect() override;
    void QuickPanelHideProgress() override;

private:
    void BuildLayout();
    void BuildToolBar(QToolBar *bar);
    void BuildPanel();
    void Wire();
    void ShowProgressControls(bool shown);

    TAppContext &context;
    TSiteManager *sites = nullptr;

    TZEVudeDadaVAV *panel = nullptr;
    QLabel *localFolderLabel = nullptr;
    TPanelBar *statusBar = nullptr;
    QCheckBox *synchronise = nullptr;
    QAction *compare = nullptr;
    QAction *largeIcons = nullptr;
    QAction *listStyle = nullptr;
    QAction *details = nullptr;
    QAction *exportExcel = nullptr;
    QAction *printSite = nullptr;
    QAction *saveStatus = nullptr;
    QLabel *progressLabel = nullptr;
    QProgressBar *progressBar = nullptr;
    QLabel *rateLabel = nullptr;
};
