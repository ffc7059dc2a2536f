// The main window's side of dial-up: the entries of "Connexions", the labels
// of the active connection, dialling before an FTP connection and hanging up
// while quitting.

#include "DialUpMonitor.h"

#include "AppContext.h"
#include "PanelBar.h"
#include "WidgetHelpers.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>

namespace {
const QString Dialling = QStringLiteral("Appel...");
const QString DialledUp = QStringLiteral("Connecté.");
const QString NoActiveConnection = QStringLiteral("&Connexion active: aucune");
const QString ActiveConnectionPrefix = QStringLiteral("&Connexion active: ");
const QString DeviceTypeLabel = QStringLiteral("&Type:");
}

TDialUpMonitor::TDialUpMonitor(TAppContext &context, QWidget *groupParent, const TDialUpDisplays &displays)
    : QObject(context.Window()), context(context), displays(displays)
{
    setObjectName(QStringLiteral("DialUpMonitor"));
    // Dials synchronously, so that the FTP connection follows a line that is
    // up (or has failed).
    dialUp = Named(new TDialUp(this), "DialUp1");
    dialUp->SetDialMode(dmSync);
    dialUp->SetLanguage(TLanguage::France);
    BuildGroup(groupParent);

    // The component calls these while the window's handlers run, or from its
    // own timer: each goes through the window's handler dispatch.
    dialUp->OnEntryGet = [this](TDialUp *, const QString &entryName) {
        this->context.Run([&] { DialUp1EntryGet(entryName); });
    };
    dialUp->OnDialing = [this](TDialUp *) { this->context.Run([&] { DialUp1Dialing(); }); };
    dialUp->OnConnect = [this](TDialUp *) { this->context.Run([&] { DialUp1Connect(); }); };
    dialUp->OnNotConnected = [this](TDialUp *, int, const QString &) {
        this->context.Run([&] { DialUp1NotConnected(); });
    };
    dialUp->OnActiveConnection = [this](TDialUp *, TRasHandle handle, const TRasConnStatus &, const QString &,
                                        const QString &entryName, const QString &, const QString &deviceName) {
        this->context.Run([&] { DialUp1ActiveConnection(handle, entryName, deviceName); });
    };
}

TDialUpMonitor::~TDialUpMonitor()
{
    // Nothing the component still reports may reach controls that are going.
    dialUp->OnEntryGet = nullptr;
    dialUp->OnDialing = nullptr;
    dialUp->OnConnect = nullptr;
    dialUp->OnNotConnected = nullptr;
    dialUp->OnAsyncEvent = nullptr;
    dialUp->OnError = nullptr;
    dialUp->OnActiveConnection = nullptr;
}

void TDialUpMonitor::BuildGroup(QWidget *parent)
{
    GroupBox3 = Named(new QGroupBox(QStringLiteral("Connexion Internet"), parent), "GroupBox3");
    auto *layout = new QGridLayout(GroupBox3);
    layout->setContentsMargins(6, 2, 6, 2);
    layout->setVerticalSpacing(1);
    Connexions = Named(new QComboBox(GroupBox3), "Connexions");
    auto *entriesLabel = new QLabel(QStringLiteral("Connexions"), GroupBox3);
    connexionencours = Named(new QLabel(NoActiveConnection, GroupBox3), "connexionencours");
    connexionencours->setBuddy(Connexions);
    SetTextColour(connexionencours, QColor(255, 0, 0));
    typeconnexion = Named(new QLabel(DeviceTypeLabel, GroupBox3), "typeconnexion");
    typeconnexion->setBuddy(Connexions);
    SetTextColour(typeconnexion, QColor(0, 0, 128));
    activerBox = Named(new QCheckBox(QStringLiteral("&Activer la connexion automatiquement"), GroupBox3), "activer");
    activerBox->setChecked(true);
    deconnecterBox = Named(new QCheckBox(QStringLiteral("&Déconnecter en quittant"), GroupBox3), "deconnecter");
    layout->addWidget(entriesLabel, 0, 0);
    layout->addWidget(Connexions, 0, 1);
    layout->addWidget(connexionencours, 1, 0, 1, 2);
    layout->addWidget(typeconnexion, 2, 0, 1, 2);
    layout->addWidget(activerBox, 3, 0, 1, 2);
    layout->addWidget(deconnecterBox, 4, 0, 1, 2);
    layout->setColumnStretch(1, 1);
}

void TDialUpMonitor::SetStatus(const QString &text, bool paintNow)
{
    for (TPanelBar *bar : std::as_const(displays.statusBars)) {
        bar->SetPanelText(0, text);
        if (paintNow)
            bar->Panel(0)->repaint();
    }
}

void TDialUpMonitor::DialUp1EntryGet(const QString &entryName)
{
    Connexions->addItem(entryName);
    Connexions->setCurrentIndex(0);
}

void TDialUpMonitor::DialUp1Dialing()
{
    // Painted now: a synchronous dial may hold the window a while.
    SetStatus(Dialling, true);
}

void TDialUpMonitor::DialUp1Connect()
{
    SetStatus(DialledUp, false);
    ListActiveConnections();
}

void TDialUpMonitor::DialUp1NotConnected()
{
    // Only a window on its way out reacts: it closes.
    if (context.Quitting())
        context.Window()->close();
}

void TDialUpMonitor::DialUp1ActiveConnection(TRasHandle handle, const QString &entryName, const QString &deviceName)
{
    ++reportedConnections;
    dialUp->GetIPAddresses(dialUp->ConnectionHandle());
    connexionencours->setText(ActiveConnectionPrefix + entryName);
    SetIndicatorColour(displays.okconnect, entryName.isEmpty() ? QColor(255, 0, 0) : QColor(0, 255, 0));
    typeconnexion->setText(QStringLiteral("&Type :") + deviceName);
    if (context.Quitting())
        dialUp->HangUpConnection(handle);
}

bool TDialUpMonitor::NoActiveDialUpConnection() const
{
    return connexionencours->text() == NoActiveConnection;
}

void TDialUpMonitor::DialSelectedEntry()
{
    // An empty list gives an empty entry, which the service does not know:
    // the dial fails without a word and the caller goes on.
    dialUp->SetEntry(Connexions->currentText());
    dialUp->Dial();
}

void TDialUpMonitor::ListActiveConnections()
{
    const quint64 before = reportedConnections;
    const int result = dialUp->GetConnections();
    // A line that has gone is no longer shown as active, so that the next
    // connect dials again. A failed enumeration tells nothing either way.
    if (result == rasSuccess && reportedConnections == before && !NoActiveDialUpConnection()) {
        connexionencours->setText(NoActiveConnection);
        typeconnexion->setText(DeviceTypeLabel);
        SetIndicatorColour(displays.okconnect, QColor(255, 0, 0));
    }
}
