#pragma once
// The controls and state of TfrmMain, shared by the files that implement
// the window (layout, start-up and shutdown, site manager, connection). Not
// for use outside the window: other code finds controls by object name.

#include "MainWindow.h"
#include "SiteProfiles.h"

#include <QString>
#include <QStringList>
#include <array>

class QAction;
class QColor;
class QCalendarWidget;
class QCheckBox;
class QComboBox;
class QDate;
class QLabel;
class QLineEdit;
class QListWidget;
class QMenu;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QSlider;
class QStatusBar;
class QTabWidget;
class QTime;
class QTimer;
class QTreeWidget;
class QWidget;
class TConfirmForm;
class TDialUp;
class TRadioGroup;
class TTransferDisplay;
class TTrayIcon;
class TVexFtp;
class TVexFtpListView;
class TVexFtpMessenger;
class TVexFtpTreeView;

// Texts the window shows in more than one place.
namespace MainText {
inline const QString Caption = QStringLiteral("Velmar");
inline const QString CaptionPrefix = QStringLiteral("Velmar : ");
inline const QString LocalFolderPrefix = QStringLiteral("Répertoire local en cours: ");
inline const QString SchedulerOn = QStringLiteral("Programmation activée");
inline const QString SchedulerOff = QStringLiteral("Programmation désactivée");
inline const QString ClearedProgram = QStringLiteral("Aucune");
inline const QString SamplePassword = QStringLiteral("anonyme@example.com");
inline const QString NoActiveConnection = QStringLiteral("&Connexion active: aucune");
inline const QString ActiveConnectionPrefix = QStringLiteral("&Connexion active: ");
inline const QString DeviceTypeLabel = QStringLiteral("&Type:");
}

struct TfrmMain::Private {
    TVexFtp *VexFtp1 = nullptr;
    TDialUp *DialUp1 = nullptr;
    TConfirmForm *ConfirmForm = nullptr; // made when first needed
    TTrayIcon *TrayIcon1 = nullptr;
    QMenu *PopupMenu2 = nullptr; // the notification-area menu

    bool quitting = false;
    bool scheduledRunActive = false;
    bool answerForAll = false;
    // The client's answer that goes with an "all" answer of the dialog.
    QString answerForAllReply;
    bool quickExplorerActive = false;
    int schedulerEnabled = 0;
    bool taskbarHidden = false;
    QStringList openedFiles;
    QString profilePath;
    QString localFolder = QStringLiteral("/");

    // Main tool bar.
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

    // Menus.
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

    QTabWidget *PageControl1 = nullptr;
    QWidget *TabSheet1 = nullptr; // Explorateur
    QWidget *TabSheet2 = nullptr; // Explorateur rapide
    QWidget *TabSheet3 = nullptr; // Mise à jour
    QWidget *TabSheet4 = nullptr; // Paramètres
    QWidget *TabSheet5 = nullptr; // Programmation
    QWidget *TabSheet6 = nullptr; // A Propos

    // Explorer tab.
    TVexFtpTreeView *VexFtpTreeView1 = nullptr;
    TVexFtpListView *VexFtpListView1 = nullptr;
    TVexFtpMessenger *VexFtpMessenger1 = nullptr;
    QWidget *DirTree1 = nullptr;
    QWidget *Files = nullptr;
    TTransferDisplay *transferDisplay = nullptr;
    QLabel *progression = nullptr;
    QProgressBar *ProgressBar1 = nullptr;
    QLabel *cent = nullptr;
    QLabel *debit = nullptr;
    QLabel *encours = nullptr;
    QLabel *camembert = nullptr;
    QStatusBar *StatusBar1 = nullptr;
    std::array<QLabel *, 3> statusPanels{};

    // Quick explorer tab.
    QWidget *ZEVudeDadaVAV1 = nullptr;
    QLabel *replocal1 = nullptr;
    QStatusBar *StatusBar2 = nullptr;
    std::array<QLabel *, 3> quickStatusPanels{};

    // Update tab.
    QLabel *repencours = nullptr;
    QLabel *replocal = nullptr;
    QTreeWidget *miseajour = nullptr;

    // Settings tab: profile editor and site list.
    QLineEdit *connect = nullptr;
    QLineEdit *HostTxt = nullptr;
    QLineEdit *PortTxt = nullptr;
    QLineEdit *UserTxt = nullptr;
    QLineEdit *PassTxt = nullptr;
    QCheckBox *CheckBox1 = nullptr;
    QLineEdit *ProxyTxt = nullptr;
    QLineEdit *Portproxy = nullptr;
    QLineEdit *web = nullptr;
    QLineEdit *defaurep = nullptr;
    QListWidget *ListBox1 = nullptr;
    QPushButton *nouvelle = nullptr;
    QPushButton *supprimer = nullptr;
    QPushButton *sauver = nullptr;
    // Settings tab: dial-up.
    QComboBox *Connexions = nullptr;
    QLabel *connexionencours = nullptr;
    QLabel *typeconnexion = nullptr;
    QCheckBox *activer = nullptr;
    QCheckBox *deconnecter = nullptr;
    // Settings tab: preferences.
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

    // Scheduler tab.
    QCalendarWidget *MonthCalendar1 = nullptr;
    QListWidget *ListBox2 = nullptr;
    QLabel *Label24 = nullptr;
    QCheckBox *CheckBox8 = nullptr;
    QCheckBox *CheckBox9 = nullptr;
    QPushButton *SpeedButton2 = nullptr;
    QPushButton *SpeedButton3 = nullptr;
    QPushButton *SpeedButton4 = nullptr;
    QLabel *Label15 = nullptr;
    QListWidget *ListBox5 = nullptr;
    QPlainTextEdit *Memo2 = nullptr;
    QListWidget *ListBox4 = nullptr;
    QListWidget *ListBox3 = nullptr;

    QTimer *connexionactive = nullptr;
    QTimer *ok = nullptr;
    QTimer *programmateur = nullptr;
    QTimer *Timer2 = nullptr;

    // Set while the site list is filled by the program, so that its change
    // notifications are not taken for the user's clicks.
    bool fillingSiteList = false;

    // The remote folder of the tree's selected node ("" for a site root),
    // and the folder carried from one explorer to the other.
    QString treeFolder;
    QString handOverFolder;
    // Counts the active connections reported, so that an enumeration can
    // tell whether it found any.
    quint64 reportedConnections = 0;

    // Steps of the window shared between its files.
    void SetCaptionFromProfile(QMainWindow *window) const;
    SiteProfile EditorProfile() const;
    void SetEditorProfile(const SiteProfile &profile);
    void SetProxyFieldsEnabled(bool enabled);
    void ApplyAsciiMode(int listIndex);
    void ApplyPassiveMode(int listIndex);

    // Dial-up (MainWindowDialUp.cpp).
    bool NoActiveDialUpConnection() const;
    void DialSelectedEntry();
    // Lists the active connections into the labels (hanging each up while
    // quitting); with none, the labels go back to "aucune".
    void ListActiveConnections();

    // The commands that need a logged-in client.
    void SetLoggedInCommandsEnabled(bool enabled);

    // The quick-explorer panel's side of connect, disconnect, stop and the
    // tab hand-over. The panel is not in the window yet: until it is, it is
    // never connected, and these calls leave its empty tab as it is.
    bool QuickPanelConnected() const;
    QString QuickPanelDirectory() const;
    void QuickPanelConnect(const QString &remoteFolder);
    void QuickPanelDisconnect();
    void QuickPanelHideProgress();
};

// Creates every control of window with its design name and designed state.
void BuildMainWindow(TfrmMain *window, TfrmMain::Private &d);

// The small coloured panels of the tool bar ("Internet:", "Ftp:").
void SetIndicatorColour(QLabel *indicator, const QColor &colour);

// The client's and the dial-up component's hooks, set once the controls
// exist and cleared before they go.
void ConnectClientHandlers(TfrmMain *window, TfrmMain::Private &d);
void DisconnectClientHandlers(TfrmMain::Private &d);
void ConnectDialUpHandlers(TfrmMain *window, TfrmMain::Private &d);
void DisconnectDialUpHandlers(TfrmMain::Private &d);

// The user's short date and long time (without its time zone).
QString ShortDateText(const QDate &date);
QString LongTimeText(const QTime &time);
