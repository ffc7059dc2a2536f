// The main window's side of dial-up: the entries of "Connexions", the
// labels of the active connection, dialling before an FTP connection and
// hanging up while quitting.

#include "MainWindowPrivate.h"

#include "DialUp.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QPointer>

namespace {
const QString Dialling = QStringLiteral("Appel...");
const QString DialledUp = QStringLiteral("Connecté.");

void SetDialUpStatus(TfrmMain::Private &d, const QString &text)
{
    d.statusPanels[0]->setText(text);
    d.quickStatusPanels[0]->setText(text);
}
}

void ConnectDialUpHandlers(TfrmMain *w, TfrmMain::Private &d)
{
    TDialUp *dialUp = d.DialUp1;
    dialUp->OnEntryGet = [&d](TDialUp *, const QString &entryName) {
        d.Connexions->addItem(entryName);
        d.Connexions->setCurrentIndex(0);
    };
    dialUp->OnDialing = [&d](TDialUp *) {
        SetDialUpStatus(d, Dialling);
        // Painted now: a synchronous dial may hold the window a while.
        d.statusPanels[0]->repaint();
        d.quickStatusPanels[0]->repaint();
    };
    dialUp->OnConnect = [&d](TDialUp *) {
        SetDialUpStatus(d, DialledUp);
        d.ListActiveConnections();
    };
    dialUp->OnNotConnected = [w, &d](TDialUp *, int, const QString &) {
        // Only a window on its way out reacts: it closes.
        if (d.quitting)
            w->close();
    };
    dialUp->OnActiveConnection = [&d](TDialUp *sender, TRasHandle handle, const TRasConnStatus &,
                                      const QString &, const QString &entryName, const QString &,
                                      const QString &deviceName) {
        ++d.reportedConnections;
        sender->GetIPAddresses(sender->ConnectionHandle());
        d.connexionencours->setText(MainText::ActiveConnectionPrefix + entryName);
        SetIndicatorColour(d.okconnect, entryName.isEmpty() ? QColor(255, 0, 0) : QColor(0, 255, 0));
        d.typeconnexion->setText(QStringLiteral("&Type :") + deviceName);
        if (d.quitting)
            sender->HangUpConnection(handle);
    };
}

void DisconnectDialUpHandlers(TfrmMain::Private &d)
{
    TDialUp *dialUp = d.DialUp1;
    dialUp->OnEntryGet = nullptr;
    dialUp->OnDialing = nullptr;
    dialUp->OnConnect = nullptr;
    dialUp->OnNotConnected = nullptr;
    dialUp->OnAsyncEvent = nullptr;
    dialUp->OnError = nullptr;
    dialUp->OnActiveConnection = nullptr;
}

bool TfrmMain::Private::NoActiveDialUpConnection() const
{
    return connexionencours->text() == MainText::NoActiveConnection;
}

void TfrmMain::Private::DialSelectedEntry()
{
    // An empty list gives an empty entry, which the service does not know:
    // the dial fails without a word and the caller goes on.
    DialUp1->SetEntry(Connexions->currentText());
    DialUp1->Dial();
}

void TfrmMain::Private::ListActiveConnections()
{
    const quint64 before = reportedConnections;
    const int result = DialUp1->GetConnections();
    // A line that has gone is no longer shown as active, so that the next
    // connect dials again. A failed enumeration tells nothing either way.
    if (result == rasSuccess && reportedConnections == before && !NoActiveDialUpConnection()) {
        connexionencours->setText(MainText::NoActiveConnection);
        typeconnexion->setText(MainText::DeviceTypeLabel);
        SetIndicatorColour(okconnect, QColor(255, 0, 0));
    }
}
