#pragma once
// TDialUpMonitor: the window's side of dial-up. It owns the dial-up component
// DialUp1 and the settings tab's group "Connexion Internet" (GroupBox3: the
// entry list "Connexions", the labels of the active connection and the boxes
// "&Activer la connexion automatiquement" and "&Déconnecter en quittant"),
// and reacts to the component's events: the entries listed at start-up,
// "Appel..." and "Connecté." in the status bars, the active connection shown
// in the labels and the "Internet:" indicator, hang-up while quitting.
//
// The connect command asks it to dial first (NoActiveDialUpConnection,
// DialSelectedEntry); the window's one-second check and "&Quitter" ask it to
// list the active connections.

#include "DialUp.h"

#include <QList>
#include <QObject>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QWidget;
class TAppContext;
class TPanelBar;

// What the monitor shows outside its group: the status bars whose first
// panel tells the dial's progress, and the tool bar's "Internet:" indicator.
struct TDialUpDisplays {
    QList<TPanelBar *> statusBars;
    QLabel *okconnect = nullptr;
};

class TDialUpMonitor : public QObject
{
    Q_OBJECT
public:
    // The group is made with groupParent as its parent widget.
    TDialUpMonitor(TAppContext &context, QWidget *groupParent, const TDialUpDisplays &displays);
    ~TDialUpMonitor() override;

    TDialUp *DialUp1() const { return dialUp; }
    QGroupBox *Group() const { return GroupBox3; }
    QCheckBox *activer() const { return activerBox; }
    QCheckBox *deconnecter() const { return deconnecterBox; }

    // --- The component's events ------------------------------------------------
    void DialUp1EntryGet(const QString &entryName);
    void DialUp1Dialing();
    void DialUp1Connect();
    void DialUp1NotConnected();
    void DialUp1ActiveConnection(TRasHandle handle, const QString &entryName, const QString &deviceName);

    // Whether the label still reads "&Connexion active: aucune".
    bool NoActiveDialUpConnection() const;
    // Dials the entry selected in "Connexions" (synchronously).
    void DialSelectedEntry();
    // Lists the active connections into the labels (hanging each up while
    // quitting); with none, the labels go back to "aucune".
    void ListActiveConnections();

private:
    void BuildGroup(QWidget *parent);
    void SetStatus(const QString &text, bool paintNow);

    TAppContext &context;
    TDialUpDisplays displays;
    TDialUp *dialUp = nullptr;

    QGroupBox *GroupBox3 = nullptr;
    QComboBox *Connexions = nullptr;
    QLabel *connexionencours = nullptr;
    QLabel *typeconnexion = nullptr;
    QCheckBox *activerBox = nullptr;
    QCheckBox *deconnecterBox = nullptr;

    // Counts the active connections reported, so that an enumeration can
    // tell whether it found any.
    quint64 reportedConnections = 0;
};
