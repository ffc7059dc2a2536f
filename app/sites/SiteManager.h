#pragma once
// TSiteManager: the site manager of the settings tab. It owns the profile
// editor (group "Connexion", GroupBox1) and the check list "Sites Ftp"
// (GroupBox2, ListBox1) with its three buttons, and the file velmar.ini
// behind them (SiteProfiles.h); it gives the editor's profile to the client,
// runs quick connect and opens the profile's web page, and sets the window
// caption from the profile name.
//
// The window places the two groups on its settings tab and wires its tool
// bar's "Connexion rapide" and web-page buttons to connexioonrapideClick and
// ToolButton32Click.

#include "SiteProfiles.h"

#include <QObject>

class QCheckBox;
class QGroupBox;
class QLineEdit;
class QListWidget;
class QPushButton;
class QWidget;
class TAppContext;

// The editor's sample password, shown by a first run and by a new profile.
namespace SiteText {
inline const QString SamplePassword = QStringLiteral("anonyme@example.com");
}

// What the quick-explorer panel takes of a profile: neither the proxy nor
// the base folder.
struct TQuickPanelProfile {
    QString host;
    quint16 port = 21;
    QString user;
    QString password;
};

class TSiteManager : public QObject
{
    Q_OBJECT
public:
    // The groups are made with parent as their parent widget.
    TSiteManager(TAppContext &context, QWidget *parent);

    QGroupBox *EditorGroup() const { return GroupBox1; }
    QGroupBox *SiteListGroup() const { return GroupBox2; }

    // --- Handlers -------------------------------------------------------------
    void LoadAllProfiles();
    void ListBox1Click();
    void ListBox1ClickCheck();
    void nouvelleClick();
    void sauverClick();
    void supprimerClick();
    void connexioonrapideClick();
    void ToolButton32Click();

    // Hands the editor's profile to the client, initialDirectory as its first
    // folder. With the proxy box checked the client logs in through the
    // proxy host and port with "USER utilisateur@site" (proxyUserSite);
    // unchecked, it connects directly. A port field that is not a number
    // stops it at that field with a TVelmarError (what was set before stays
    // set).
    void ApplyProfileToClient(const QString &initialDirectory);
    // The editor's profile for the quick-explorer panel, which its tab
    // applies. A port field that is not a port number stops it with a
    // TVelmarError, before anything reaches the panel.
    TQuickPanelProfile ProfileForQuickPanel() const;

    // "Velmar : " and the editor's profile name.
    void SetCaptionFromProfile();
    QString ProfileName() const;
    SiteProfile EditorProfile() const;
    void SetEditorProfile(const SiteProfile &profile);

    // The default entry of the preferences: selects and checks the entry at
    // index and loads its profile (an index outside the list is ignored);
    // the indexes of the checked entries.
    void SelectDefaultSite(int index);
    QList<int> CheckedSites() const;
    int SiteCount() const;
    // Selects, in list order, every entry named exactly name, loading each
    // into the editor, so that the last one wins (the scheduler's choice of
    // profile). Returns how many were found; with none the editor is left
    // as it is.
    int SelectSitesNamed(const QString &name);

private:
    void BuildEditor(QWidget *parent);
    void BuildSiteList(QWidget *parent);
    void ConnectControls();
    void SetProxyFieldsEnabled(bool enabled);

    TAppContext &context;

    QGroupBox *GroupBox1 = nullptr;
    // The profile-name field keeps its design name: inside this class,
    // QObject's connect must be called as QObject::connect.
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

    QGroupBox *GroupBox2 = nullptr;
    QListWidget *ListBox1 = nullptr;
    QPushButton *nouvelle = nullptr;
    QPushButton *supprimer = nullptr;
    QPushButton *sauver = nullptr;

    // Set while the program fills or checks the list, so that its change
    // notifications are not taken for the user's clicks.
    bool fillingSiteList = false;
};
