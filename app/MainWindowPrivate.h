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
class QTimer;
class QTreeWidget;
class QWidget;
class TRadioGroup;
class TTrayIcon;
class TVexFtp;

// Texts the window shows in more than one place.
namespace MainText {
inline const QString Caption = QStringLiteral("Velmar");
inline const QString CaptionPrefix = QStringLiteral("Velmar : ");
inline const QString LocalFolderPrefix = QStringLiteral("Répertoire local en cours: ");
inline const QString SchedulerOn = QStringLiteral("Programmation activée");
inline const QString SchedulerOff = QStringLiteral("Programmation désactivée");
inline const QString ClearedProgram = QStringLiteral("Aucune");
inline const QString SamplePassword = QStringLiteral("anonyme@example.com");
}

struct TfrmMain::Private {
    TVexFtp *VexFtp1 = nullptr;
    TTrayIcon *TrayIcon1 = nullptr;
    QMenu *PopupMenu2 = nullptr; // the notification-area menu

    bool quitting = false;
    bool scheduledRunActive = false;
    bool answerForAll = false;
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
    QWidget *VexFtpTreeView1 = nullptr;
    QWidget *VexFtpListView1 = nullptr;
    QWidget *VexFtpMessenger1 = nullptr;
    QWidget *DirTree1 = nullptr;
    QWidget *Files = nullptr;
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

    // Steps of the window shared between its files.
    void SetCaptionFromProfile(QMainWindow *window) const;
    SiteProfile EditorProfile() const;
    void SetEditorProfile(const SiteProfile &profile);
    void SetProxyFieldsEnabled(bool enabled);
    void ApplyAsciiMode(int listIndex);
    void ApplyPassiveMode(int listIndex);
};

// Creates every control of window with its design name and designed state.
void BuildMainWindow(TfrmMain *window, TfrmMain::Private &d);

// The small coloured panels of the tool bar ("Internet:", "Ftp:").
void SetIndicatorColour(QLabel *indicator, const QColor &colour);
