// The main window: its construction and teardown, the wiring of menu items,
// tool-bar buttons and timers to the handlers of the window and its tabs,
// and the window's own handlers (tray, help, about, mail, the downloads
// folder, the NOOP interval, the mode lists, the one-second check).
//
// Adding a tab: make its class in its folder (constructed with the
// TAppContext, owning its widgets, wiring its own controls with
// TAppContext::Connect), create it in BuildMainWindow and add its page in
// order, then wire the window's menu items and tool-bar buttons to its
// handlers in ConnectControls below, e.g.
//   c.Connect(d.ExporterversExcel1, &QAction::triggered, d.listing, &TListingCommands::ExportListView1Execute);

#include "MainWindowPrivate.h"

#include "AppContext.h"
#include "AppFiles.h"
#include "AppTexts.h"
#include "CompressTool.h"
#include "DateTexts.h"
#include "DialUpMonitor.h"
#include "ExplorerTab.h"
#include "FrontEnd.h"
#include "ListingCommands.h"
#include "Ftp.h"
#include "PanelBar.h"
#include "Preferences.h"
#include "Prompts.h"
#include "QuickExplorerTab.h"
#include "RadioGroup.h"
#include "SchedulerTab.h"
#include "SiteManager.h"
#include "SystemLabel.h"
#include "TrayIcon.h"
#include "UpdateTab.h"
#include "UrlOpener.h"
#include "WindowArchive.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDateTime>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>
#include <QTabWidget>
#include <QTimer>

namespace {
void ConnectControls(TfrmMain *w, TfrmMain::Private &d)
{
    const TAppContext &c = *d.context;
    TConnectionFrontEnd *frontEnd = d.frontEnd;
    TSiteManager *sites = d.sites;

    c.Connect(d.ToolButton1, &QAction::triggered, frontEnd, &TConnectionFrontEnd::ToolButton1Click);
    c.Connect(d.Connecter1, &QAction::triggered, frontEnd, &TConnectionFrontEnd::ToolButton1Click);
    c.Connect(d.ToolButton2, &QAction::triggered, frontEnd, &TConnectionFrontEnd::ToolButton2Click);
    c.Connect(d.Dconnecter1, &QAction::triggered, frontEnd, &TConnectionFrontEnd::ToolButton2Click);
    c.Connect(d.ToolButton10, &QAction::triggered, frontEnd, &TConnectionFrontEnd::ToolButton10Click);
    c.Connect(d.connexioonrapide, &QAction::triggered, sites, &TSiteManager::connexioonrapideClick);
    c.Connect(d.Connexionrapide1, &QAction::triggered, sites, &TSiteManager::connexioonrapideClick);
    c.Connect(d.ToolButton32, &QAction::triggered, sites, &TSiteManager::ToolButton32Click);
    c.Connect(d.Quitter1, &QAction::triggered, w, &TfrmMain::Quitter1Click);
    c.Connect(d.Quitter2, &QAction::triggered, w, &TfrmMain::Quitter1Click);
    c.Connect(d.Montrer1, &QAction::triggered, w, &TfrmMain::Montrer1Click);
    c.Connect(d.AidedeVelmar1, &QAction::triggered, w, &TfrmMain::AidedeVelmar1Click);
    c.Connect(d.APropos1, &QAction::triggered, w, &TfrmMain::APropos1Click);
    c.Connect(d.Mcrire1, &QAction::triggered, w, &TfrmMain::Mcrire1Click);

    // Only the user's choices run the handlers; the program selects entries
    // without changing the client.
    c.Connect(d.asciimode, &QComboBox::activated, w, &TfrmMain::asciimodeChange);
    c.Connect(d.Transfertype, &QComboBox::activated, w, &TfrmMain::TransfertypeChange);
    c.Connect(d.noop, &QComboBox::activated, w, &TfrmMain::noopChange);

    // The settings' radio groups drive the same modes as the tool-bar lists
    // (their entries run in the opposite order).
    c.Connect(d.modetransfert, &TRadioGroup::Clicked, w, [w, &d](int index) {
        d.asciimode->setCurrentIndex(index == 0 ? 1 : 0);
        w->asciimodeChange();
    });
    c.Connect(d.modeftp, &TRadioGroup::Clicked, w, [w, &d](int index) {
        d.Transfertype->setCurrentIndex(index == 0 ? 1 : 0);
        w->TransfertypeChange();
    });

    c.Connect(d.scheduler->CheckBox8(), &QCheckBox::clicked, w, &TfrmMain::CheckBox8Click);
    // The scheduler wires the explorer's marking items itself.
    d.scheduler->Attach({d.explorer, d.sites, d.dialUp, [&d] { return d.tele->text(); },
                         [&d] { return d.TrackBar1->value(); }});
    c.Connect(d.dialog3, &QPushButton::clicked, w, &TfrmMain::dialog3Click);
    c.Connect(d.connexionactive, &QTimer::timeout, w, &TfrmMain::connexionactiveTimer);
    // The user's tab changes only: those the program makes run no hand-over.
    c.Connect(d.context, &TAppContext::PageChanged, frontEnd, &TConnectionFrontEnd::PageControl1Change);

    // What the front end tells the other tabs and the menus.
    c.Connect(frontEnd, &TConnectionFrontEnd::LoggedInCommandsEnabled, w,
              [&d](bool enabled) { d.SetLoggedInCommandsEnabled(enabled); });
    c.Connect(frontEnd, &TConnectionFrontEnd::RemoteDirectoryChanged, d.update,
              [&d](const QString &folder) { d.update->ShowRemoteFolder(folder); });
    c.Connect(frontEnd, &TConnectionFrontEnd::AccessDenied, d.explorer, &TExplorerTab::DisableUpload);

    // The explorer tab's commands on the menus and the main tool bar.
    TExplorerTab *explorer = d.explorer;
    c.Connect(d.Tlcharger1, &QAction::triggered, explorer, &TExplorerTab::ToolButton14Click);
    c.Connect(d.Envoyer1, &QAction::triggered, explorer, &TExplorerTab::ToolButton16Click);
    c.Connect(d.rafraichir, &QAction::triggered, explorer, &TExplorerTab::VexFtp1ContentChanged);
    c.Connect(d.ToolButton7, &QAction::triggered, explorer, [&d] { d.explorer->ToolButton7Click(d.commande); });
    // The site tools' buttons on the explorer's tool bars run what the menu
    // items of the same commands run.
    c.Connect(explorer->comparer(), &QAction::triggered, w, [&d] { d.Comparerlessites1->trigger(); });
    c.Connect(d.Comparerlessites1, &QAction::triggered, d.update, &TUpdateTab::comparerClick);
    c.Connect(explorer->ExportExcel(), &QAction::triggered, w, [&d] { d.ExporterversExcel1->trigger(); });
    c.Connect(explorer->ImprimerSite(), &QAction::triggered, w, [&d] { d.Imprimerlesitedistant1->trigger(); });
    // The compress commands, and the track bar that sets their level.
    TCompressTool *zip = d.compressTool;
    for (QAction *command : {explorer->compresser(), explorer->Compresser1()})
        c.Connect(command, &QAction::triggered, zip, &TCompressTool::compresserClick);
    for (QAction *command : {explorer->compenvoyer(), explorer->Compresseretenvoyer1()})
        c.Connect(command, &QAction::triggered, zip, &TCompressTool::Compresseretenvoyer1Click);
    c.Connect(d.TrackBar1, &QSlider::valueChanged, zip, &TCompressTool::TrackBar1Change);
    // The quick-explorer tab's export and print buttons run the menu items
    // of the same commands; its comparison runs on its own panel.
    TQuickExplorerTab *quick = d.quickExplorer;
    c.Connect(quick->ToolButton33(), &QAction::triggered, w,
              [&d] { d.update->ToolButton33Click(*d.quickExplorer->ZEVudeDadaVAV1()); });
    c.Connect(quick->ExportExcel(), &QAction::triggered, w, [&d] { d.ExporterversExcel1->trigger(); });
    c.Connect(quick->ImprimerSite(), &QAction::triggered, w, [&d] { d.Imprimerlesitedistant1->trigger(); });
    // The quick-explorer panel saves its downloads where the downloads
    // folder is, whoever sets it.
    c.Connect(d.tele, &QLineEdit::textChanged, quick, [&d](const QString &folder) {
        d.quickExplorer->SetDownloadFolder(folder);
    });
    // Export, preview and print of the remote listing.
    TListingCommands *listing = d.listing;
    c.Connect(d.ExporterversExcel1, &QAction::triggered, listing, &TListingCommands::ExportListView1Execute);
    c.Connect(d.Prvisualiser1, &QAction::triggered, listing, &TListingCommands::Prvisualiser1Click);
    c.Connect(d.Imprimerlesitedistant1, &QAction::triggered, listing,
              &TListingCommands::Imprimerlesitedistant1Click);
    // Both current-local-folder labels follow the local tree.
    c.Connect(d.context, &TAppContext::LocalFolderChanged, w, [&d](const QString &folder) {
        const QString text = MainText::LocalFolderPrefix + folder.toLower();
        d.update->replocal()->setText(text);
        d.quickExplorer->replocal1()->setText(text);
    });
}

}

TfrmMain::TfrmMain(QWidget *parent) : QMainWindow(parent), d(std::make_unique<Private>())
{
    BuildMainWindow(this, *d);
    ConnectControls(this, *d);
    qApp->installEventFilter(this);
    d->connexionactive->start();
    // A failure of a creation step skips the rest; the window shows as it
    // stands.
    d->context->Run([this] { FormCreate(); });
}

TfrmMain::~TfrmMain()
{
    qApp->removeEventFilter(this);
    d->context->SetSentArchive(nullptr);
    // Nothing the client or the dial-up component still reports may reach
    // parts that are going, and the views let go of the client before it
    // goes. The context goes last, with the window.
    delete d->frontEnd;
    delete d->dialUp;
    delete d->PageControl1;
    delete d->VexFtp1;
}

TVexFtp *TfrmMain::VexFtp1() const { return d->VexFtp1; }
TDialUp *TfrmMain::DialUp1() const { return d->dialUp->DialUp1(); }
TTrayIcon *TfrmMain::TrayIcon1() const { return d->TrayIcon1; }
TAppContext &TfrmMain::Context() const { return *d->context; }
TExplorerTab &TfrmMain::Explorer() const { return *d->explorer; }
TQuickExplorerTab &TfrmMain::QuickExplorer() const { return *d->quickExplorer; }
TUpdateTab &TfrmMain::Update() const { return *d->update; }
TSiteManager &TfrmMain::SiteManager() const { return *d->sites; }
TDialUpMonitor &TfrmMain::DialUpMonitor() const { return *d->dialUp; }
TSchedulerTab &TfrmMain::Scheduler() const { return *d->scheduler; }
TConnectionFrontEnd &TfrmMain::FrontEnd() const { return *d->frontEnd; }

QString TfrmMain::ContactAddress()
{
    return QStringLiteral("velmar@example.org");
}

void TfrmMain::SetTaskbarButtonHidden(bool hidden)
{
    d->taskbarHidden = hidden;
    if (windowFlags().testFlag(Qt::Tool) == hidden)
        return;
    // A tool window has no taskbar button; changing the flag hides the
    // window, so a shown window is shown again.
    const bool shown = isVisible();
    setWindowFlag(Qt::Tool, hidden);
    if (shown)
        show();
}

bool TfrmMain::TaskbarButtonHidden() const { return d->taskbarHidden; }

void TfrmMain::Quitter1Click()
{
    d->context->SetQuitting(true);
    // While quitting, every active connection the enumeration reports is
    // hung up, whoever dialled it.
    if (d->dialUp->deconnecter()->isChecked())
        d->dialUp->ListActiveConnections();
    close();
}

void TfrmMain::Montrer1Click()
{
    SetTaskbarButtonHidden(false);
    if (isMinimized())
        showNormal();
    else
        show();
    raise();
    activateWindow();
}

bool TfrmMain::HideTaskbarButtonForTray()
{
    // Without a notification area the icon is not shown: hiding the button
    // too would leave the program with no way back to its window.
    if (!TrayPreferenceSet() || !d->TrayIcon1->Shown())
        return false;
    SetTaskbarButtonHidden(true);
    return true;
}

void TfrmMain::CheckBox8Click()
{
    d->TrayIcon1->SetEnabled(d->scheduler->CheckBox8()->isChecked());
    // The icon was the way back to a window without a taskbar button: when
    // it goes, the button comes back.
    if (d->taskbarHidden && !d->TrayIcon1->Shown())
        SetTaskbarButtonHidden(false);
}

void TfrmMain::ReadComputerProperties()
{
    d->systeme->setText(OperatingSystemLabel());
}

void TfrmMain::dialog3Click()
{
    const QString folder =
        Prompts().ExistingFolder(this, QStringLiteral("Répertoire des Fichiers téléchargés"), d->tele->text());
    if (folder.isEmpty())
        return;
    d->tele->setText(folder);
    d->context->SelectLocalFolder(folder + QLatin1Char('/'));
}

void TfrmMain::noopChange()
{
    const int index = d->noop->currentIndex();
    if (index < 0)
        return;
    d->VexFtp1->SetNoopInterval(quint16(d->noop->itemText(index).toUShort()));
}

void TfrmMain::FormKeyDown(int key)
{
    if (key == Qt::Key_F1)
        AidedeVelmar1Click();
}

void TfrmMain::AidedeVelmar1Click()
{
    const QString path = HelpFilePath();
    if (!QFileInfo::exists(path)) {
        Prompts().Message(this, MainText::Caption,
                          QStringLiteral("Le fichier d'aide « %1 » est introuvable.").arg(path), TMessageKind::Error);
        return;
    }
    OpenUrlOrTell(this, QUrl::fromLocalFile(path), QStringLiteral("l'aide de Velmar"));
}

void TfrmMain::APropos1Click()
{
    d->context->ShowPage(TPage::About);
}

void TfrmMain::Mcrire1Click()
{
    OpenUrlOrTell(this, QUrl(QStringLiteral("mailto:") + ContactAddress() + QStringLiteral("?subject=velmar")),
                  QStringLiteral("la messagerie pour écrire à %1").arg(ContactAddress()));
}

void TfrmMain::connexionactiveTimer()
{
    const QDateTime now = QDateTime::currentDateTime();
    const QString clock = ShortDateText(now.date()) + QStringLiteral(" - ") + LongTimeText(now.time());
    d->explorer->StatusBar1()->SetPanelText(2, clock);
    d->quickExplorer->StatusBar2()->SetPanelText(2, clock);
    d->dialUp->ListActiveConnections();
}

void TfrmMain::asciimodeChange()
{
    d->ApplyAsciiMode(d->asciimode->currentIndex());
}

void TfrmMain::TransfertypeChange()
{
    d->ApplyPassiveMode(d->Transfertype->currentIndex());
}

bool TfrmMain::eventFilter(QObject *watched, QEvent *event)
{
    // F1 reaches the window from any of its controls.
    if (event->type() == QEvent::KeyPress && static_cast<QKeyEvent *>(event)->key() == Qt::Key_F1
        && watched->isWidgetType() && static_cast<QWidget *>(watched)->window() == this) {
        d->context->Run([this] { FormKeyDown(Qt::Key_F1); });
        return true;
    }
    return QMainWindow::eventFilter(watched, event);
}

void TfrmMain::Private::ApplyAsciiMode(int listIndex)
{
    VexFtp1->SetTransferMode(listIndex != 0 ? AsciiTransfer : BinaryTransfer);
    quickExplorer->SetPanelAsciiMode(listIndex != 0);
    if (listIndex >= 0)
        modetransfert->SetItemIndex(listIndex != 0 ? 0 : 1);
}

void TfrmMain::Private::ApplyPassiveMode(int listIndex)
{
    VexFtp1->SetPassive(listIndex == 0);
    quickExplorer->SetPanelPassive(listIndex == 0);
    if (listIndex >= 0)
        modeftp->SetItemIndex(listIndex == 0 ? 1 : 0);
}

void TfrmMain::Private::SetLoggedInCommandsEnabled(bool enabled)
{
    for (QAction *command : {Tlcharger1, Envoyer1, Comparerlessites1})
        command->setEnabled(enabled);
    explorer->SetLoggedInCommandsEnabled(enabled);
}
