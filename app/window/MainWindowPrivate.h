#pragma once
// The window's own controls and its parts, shared by the files that
// implement the window (layout, start-up and shutdown, handlers). Nothing
// outside app/window includes it: tabs see the window through TAppContext,
// other code finds controls by object name.

#include "MainWindow.h"

class QAction;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QSlider;
class QTabWidget;
class QTimer;
class QWidget;
class TCompressTool;
class TListingCommands;
class TRadioGroup;
class TWindowArchive;
class TZipTask;

struct TfrmMain::Private {
    // --- Parts (made in this order; see BuildMainWindow) ------------------------
    TVexFtp *VexFtp1 = nullptr;
    TAppContext *context = nullptr;
    TExplorerTab *explorer = nullptr;
    TQuickExplorerTab *quickExplorer = nullptr;
    TUpdateTab *update = nullptr;
    TSiteManager *sites = nullptr;
    TDialUpMonitor *dialUp = nullptr;
    TSchedulerTab *scheduler = nullptr;
    TConnectionFrontEnd *frontEnd = nullptr;
    // The zip engine of the compress commands, the commands themselves, and
    // the archive they leave as the explorer's remote refresh sees it.
    TZipTask *ZipTask1 = nullptr;
    TCompressTool *compressTool = nullptr;
    // Export, preview and print of the remote listing.
    TListingCommands *listing = nullptr;
    std::unique_ptr<TWindowArchive> sentArchive;
    TTrayIcon *TrayIcon1 = nullptr;
    QMenu *PopupMenu2 = nullptr; // the notification-area menu

    bool taskbarHidden = false;

    // --- Main tool bar ---------------------------------------------------------
    QAction *ToolButton1 = nullptr;  // Connexion
    QAction *ToolButton2 = nullptr;  // Déconnexion
    QAction *connexioonrapide = nullptr;
    QAction *rafraichir = nullptr;
    QAction *ToolButton10 = nullptr; // Stop
    QComboBox *asciimode = nullptr;
    QComboBox *Transfertype = nullptr;
    QLineEdit *commande = nullptr;
    QAction *ToolButton7 = nullptr;  // send the raw command
    QLabel *okconnect = nullptr;
    QLabel *oklogin = nullptr;
    QAction *ToolButton32 = nullptr; // web page

    // --- Menus -------------------------------------------------------------------
    QAction *Connecter1 = nullptr;
    QAction *Dconnecter1 = nullptr;
    QAction *Connexionrapide1 = nullptr;
    QAction *ExporterversExcel1 = nullptr;
    QAction *Prvisualiser1 = nullptr;
    QAction *Imprimerlesitedistant1 = nullptr;
    QAction *Quitter1 = nullptr;
    QAction *Tlcharger1 = nullptr;
    QAction *Envoyer1 = nullptr;
    QAction *Comparerlessites1 = nullptr;
    QAction *AidedeVelmar1 = nullptr;
    QAction *APropos1 = nullptr;
    QAction *Mcrire1 = nullptr;
    QAction *Montrer1 = nullptr;
    QAction *Quitter2 = nullptr;

    // --- Tab host, and the pages the window builds itself ----------------------
    QTabWidget *PageControl1 = nullptr;
    QWidget *TabSheet4 = nullptr; // Paramètres
    QWidget *TabSheet6 = nullptr; // A Propos

    // Settings tab: the groups of the preferences (the profile editor, the
    // site list and "Connexion Internet" belong to their parts).
    QLineEdit *tele = nullptr;
    QPushButton *dialog3 = nullptr;
    QLabel *systeme = nullptr;
    QLineEdit *tempo = nullptr;
    QComboBox *noop = nullptr;
    TRadioGroup *modetransfert = nullptr;
    TRadioGroup *modeftp = nullptr;
    QSlider *TrackBar1 = nullptr;
    TRadioGroup *archives = nullptr;
    QCheckBox *effacerarchive = nullptr;
    QCheckBox *demarrage = nullptr;

    QTimer *connexionactive = nullptr;

    // The modes of the tool-bar lists, given to the client and shown by the
    // settings' radio groups (their entries run in the opposite order).
    void ApplyAsciiMode(int listIndex);
    void ApplyPassiveMode(int listIndex);
    // The commands that need a logged-in client.
    void SetLoggedInCommandsEnabled(bool enabled);
};

// Makes the window's controls and parts with their design names and
// designed states.
void BuildMainWindow(TfrmMain *window, TfrmMain::Private &d);
