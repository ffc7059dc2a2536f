// Builds the main window: the client, the shared context, the tool bar, the
// menus, the tab host with every tab in its order (the window's own settings
// groups and about tab included), the connection front end, the
// notification-area icon and the window's timer, with their design names,
// captions, hints and designed states. Behaviour is wired in MainWindow.cpp.

#include "MainWindowPrivate.h"

#include "AppContext.h"
#include "AppIcon.h"
#include "AppTexts.h"
#include "CompressTool.h"
#include "DialUpMonitor.h"
#include "ExplorerTab.h"
#include "Ftp.h"
#include "FrontEnd.h"
#include "ListingCommands.h"
#include "QuickExplorerTab.h"
#include "RadioGroup.h"
#include "SchedulerTab.h"
#include "SiteManager.h"
#include "TrayIcon.h"
#include "UpdateTab.h"
#include "WidgetHelpers.h"
#include "WindowArchive.h"
#include "ZipTask.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QScrollArea>
#include <QSlider>
#include <QTabWidget>
#include <QTimer>
#include <QToolBar>
#include <QVBoxLayout>

namespace {
struct TfrmMainBuilder {
    static void Build(TfrmMain *w, TfrmMain::Private &d)
    {
        w->setObjectName(QStringLiteral("frmMain"));
        w->setWindowTitle(MainText::Caption);
        w->setWindowIcon(VelmarIcon());

        d.VexFtp1 = Named(new TVexFtp(w), "VexFtp1");
        // The window's client is placed in passive, binary mode, as its
        // tool-bar lists show.
        d.VexFtp1->SetPassive(true);
        d.VexFtp1->SetTransferMode(BinaryTransfer);
        d.context = new TAppContext(w, d.VexFtp1);
        TAppContext &context = *d.context;

        BuildActions(w, d);
        BuildMenus(w, d);
        BuildToolBar(w, d);

        d.PageControl1 = Named(new QTabWidget(w), "PageControl1");
        context.SetPageHost(d.PageControl1);
        d.explorer = new TExplorerTab(context);
        d.quickExplorer = new TQuickExplorerTab(context);
        d.update = new TUpdateTab(context, *d.explorer);
        d.TabSheet4 = Named(new QWidget, "TabSheet4");
        d.scheduler = new TSchedulerTab(context);
        d.TabSheet6 = Named(new QWidget, "TabSheet6");
        BuildSettingsTab(d);
        BuildAboutTab(d);
        d.quickExplorer->SetSiteManager(*d.sites);
        context.AddPage(TPage::Explorer, d.explorer, QStringLiteral("    &Explorateur"));
        context.AddPage(TPage::QuickExplorer, d.quickExplorer, QStringLiteral("    Explorateur &rapide"));
        context.AddPage(TPage::Update, d.update, QStringLiteral("    &Mise à jour"));
        context.AddPage(TPage::Settings, d.TabSheet4, QStringLiteral("    &Paramètres"));
        context.AddPage(TPage::Scheduler, d.scheduler, QStringLiteral("    P&rogrammation"));
        context.AddPage(TPage::About, d.TabSheet6, QStringLiteral("    A P&ropos"));
        d.PageControl1->setTabEnabled(int(TPage::Update), false);
        d.listing = new TListingCommands(context, w);
        d.listing->SetRemoteList(d.explorer->VexFtpListView1());
        d.listing->SetRemoteFolderLabel(d.update->repencours());
        d.listing->SetQuickPanel(d.quickExplorer->ZEVudeDadaVAV1());
        d.update->SetQuickPanel(d.quickExplorer->ZEVudeDadaVAV1());
        w->setCentralWidget(d.PageControl1);

        TFrontEndDisplays shown;
        shown.status = d.explorer->StatusBar1();
        shown.transfer = d.explorer->TransferDisplay();
        shown.list = d.explorer->VexFtpListView1();
        shown.tree = d.explorer->VexFtpTreeView1();
        shown.oklogin = d.oklogin;
        d.frontEnd = new TConnectionFrontEnd(context, *d.sites, *d.dialUp, *d.quickExplorer, shown);

        BuildTrayAndTimer(w, d);

        d.ZipTask1 = Named(new TZipTask(w), "ZipTask1");
        // The commands go with the explorer tab whose controls they use.
        d.compressTool = Named(new TCompressTool(context, *d.explorer, *d.ZipTask1,
                                                 {d.TrackBar1, d.archives, d.tempo}, d.explorer),
                               "compressTool");
        d.sentArchive = std::make_unique<TWindowArchive>(*d.effacerarchive, *d.ZipTask1);
        context.SetSentArchive(d.sentArchive.get());

        w->resize(755, 576);
        w->move(0, 0);
    }

    static QAction *Action(TfrmMain *w, const char *name, const QString &text, const QIcon &icon = {})
    {
        return Named(new QAction(icon, text, w), name);
    }

    static void BuildActions(TfrmMain *w, TfrmMain::Private &d)
    {
        d.ToolButton1 = Action(w, "ToolButton1", QStringLiteral("Connexion"),
                               ThemedIcon(QStringLiteral("network-connect"), QStyle::SP_DriveNetIcon));
        d.ToolButton2 = Action(w, "ToolButton2", QStringLiteral("Déconnexion"),
                               ThemedIcon(QStringLiteral("network-disconnect"), QStyle::SP_DialogCancelButton));
        d.connexioonrapide = Action(w, "connexioonrapide", QStringLiteral("Connexion rapide"),
                                    ThemedIcon(QStringLiteral("network-transmit"), QStyle::SP_MediaSeekForward));
        d.rafraichir = Action(w, "rafraichir", QStringLiteral("Rafraichir"),
                              ThemedIcon(QStringLiteral("view-refresh"), QStyle::SP_BrowserReload));
        d.ToolButton10 = Action(w, "ToolButton10", QStringLiteral("Stop"),
                                ThemedIcon(QStringLiteral("process-stop"), QStyle::SP_BrowserStop));
        d.ToolButton7 = Action(w, "ToolButton7", QStringLiteral("Envoyer la commande ftp"),
                               ThemedIcon(QStringLiteral("mail-send"), QStyle::SP_ArrowRight));
        d.ToolButton32 = Action(w, "ToolButton32", QStringLiteral("Page web"),
                                ThemedIcon(QStringLiteral("applications-internet"), QStyle::SP_DesktopIcon));
        d.ToolButton32->setToolTip(QStringLiteral("Ouvrir la page web du site"));
    }

    static void BuildMenus(TfrmMain *w, TfrmMain::Private &d)
    {
        QMenuBar *bar = w->menuBar();
        bar->setObjectName(QStringLiteral("MainMenu1"));

        QMenu *main = Named(bar->addMenu(QStringLiteral("&Menu principal")), "Menuprincipal1");
        d.Connecter1 = Named(main->addAction(QStringLiteral("&Connecter")), "Connecter1");
        d.Dconnecter1 = Named(main->addAction(QStringLiteral("&Déconnecter")), "Dconnecter1");
        main->addSeparator();
        d.Connexionrapide1 = Named(main->addAction(QStringLiteral("C&onnexion rapide")), "Connexionrapide1");
        main->addSeparator();
        d.ExporterversExcel1 = Named(main->addAction(QStringLiteral("&Exporter vers Excel")), "ExporterversExcel1");
        main->addSeparator();
        d.Prvisualiser1 = Named(main->addAction(QStringLiteral("&Prévisualiser")), "Prvisualiser1");
        d.Imprimerlesitedistant1 =
            Named(main->addAction(QStringLiteral("&Imprimer le site distant")), "Imprimerlesitedistant1");
        main->addSeparator();
        d.Quitter1 = Named(main->addAction(QStringLiteral("&Quitter")), "Quitter1");

        QMenu *edit = Named(bar->addMenu(QStringLiteral("&Edition")), "Edition1");
        d.Tlcharger1 = Named(edit->addAction(QStringLiteral("&Télécharger")), "Tlcharger1");
        d.Envoyer1 = Named(edit->addAction(QStringLiteral("E&nvoyer")), "Envoyer1");
        edit->addSeparator();
        d.Comparerlessites1 = Named(edit->addAction(QStringLiteral("&Comparer les sites")), "Comparerlessites1");
        for (QAction *a : {d.Tlcharger1, d.Envoyer1, d.Comparerlessites1})
            a->setEnabled(false);

        QMenu *help = Named(bar->addMenu(QStringLiteral("&Aide")), "Aide1");
        d.AidedeVelmar1 = Named(help->addAction(QStringLiteral("Aide de &Velmar")), "AidedeVelmar1");
        d.APropos1 = Named(help->addAction(QStringLiteral("A &Propos")), "APropos1");
        help->addSeparator();
        d.Mcrire1 = Named(help->addAction(QStringLiteral("&M'écrire")), "Mcrire1");
    }

    static void BuildToolBar(TfrmMain *w, TfrmMain::Private &d)
    {
        QToolBar *bar = Named(w->addToolBar(QStringLiteral("Barre d'outils")), "ToolBar1");
        bar->setMovable(false);
        bar->setFloatable(false);
        bar->setIconSize(QSize(20, 20));
        bar->setContextMenuPolicy(Qt::PreventContextMenu);

        bar->addAction(d.ToolButton1);
        bar->addAction(d.ToolButton2);
        bar->addAction(d.connexioonrapide);
        bar->addSeparator();
        bar->addAction(d.rafraichir);
        bar->addSeparator();
        bar->addAction(d.ToolButton10);

        d.asciimode = Named(new QComboBox(bar), "asciimode");
        d.asciimode->setToolTip(QStringLiteral("Mode Binaire ou Ascii"));
        d.asciimode->addItem(ThemedIcon(QStringLiteral("application-x-executable"), QStyle::SP_FileIcon),
                             QStringLiteral("BINAIRE"));
        d.asciimode->addItem(ThemedIcon(QStringLiteral("text-x-generic"), QStyle::SP_FileDialogDetailedView),
                             QStringLiteral("ASCII"));
        bar->addWidget(d.asciimode);

        d.Transfertype = Named(new QComboBox(bar), "Transfertype");
        d.Transfertype->setToolTip(QStringLiteral("Mode Passif ou Actif"));
        d.Transfertype->addItem(ThemedIcon(QStringLiteral("go-previous"), QStyle::SP_ArrowLeft),
                                QStringLiteral("PASSIF"));
        d.Transfertype->addItem(ThemedIcon(QStringLiteral("go-next"), QStyle::SP_ArrowRight), QStringLiteral("ACTIF"));
        bar->addWidget(d.Transfertype);
        bar->addSeparator();

        d.commande = Named(new QLineEdit(bar), "commande");
        d.commande->setToolTip(QStringLiteral("Commande ftp"));
        d.commande->setPlaceholderText(QStringLiteral("Commande ftp"));
        d.commande->setMaximumWidth(130);
        bar->addWidget(d.commande);
        bar->addAction(d.ToolButton7);
        bar->addSeparator();

        auto *indicators = new QWidget(bar);
        auto *row = new QHBoxLayout(indicators);
        row->setContentsMargins(4, 0, 4, 0);
        row->setSpacing(4);
        row->addWidget(Named(new QLabel(QStringLiteral("Internet:"), indicators), "Label3"));
        d.okconnect = MakeIndicator(indicators, "okconnect");
        row->addWidget(d.okconnect);
        row->addSpacing(6);
        row->addWidget(Named(new QLabel(QStringLiteral("Ftp:"), indicators), "Label4"));
        d.oklogin = MakeIndicator(indicators, "oklogin");
        row->addWidget(d.oklogin);
        bar->addWidget(indicators);
        bar->addSeparator();
        bar->addAction(d.ToolButton32);
    }

    // The settings tab: the site manager's two groups and the start-up box
    // on the left; dial-up, folders, FTP modes and zip settings on the right.
    static void BuildSettingsTab(TfrmMain::Private &d)
    {
        auto *scroll = new QScrollArea(d.TabSheet4);
        scroll->setWidgetResizable(true);
        scroll->setFrameShape(QFrame::NoFrame);
        auto *content = new QWidget(scroll);
        scroll->setWidget(content);
        auto *pageLayout = new QVBoxLayout(d.TabSheet4);
        pageLayout->setContentsMargins(0, 0, 0, 0);
        pageLayout->addWidget(scroll);

        auto *columns = new QHBoxLayout(content);
        columns->setContentsMargins(6, 4, 6, 4);
        columns->setSpacing(8);
        auto *left = new QVBoxLayout;
        auto *right = new QVBoxLayout;
        left->setSpacing(4);
        right->setSpacing(4);
        columns->addLayout(left, 1);
        columns->addLayout(right, 1);

        d.sites = new TSiteManager(*d.context, content);
        left->addWidget(d.sites->EditorGroup());
        left->addWidget(d.sites->SiteListGroup(), 1);
        auto *startup = Named(new QGroupBox(QStringLiteral("&Démarrage"), content), "GroupBox8");
        auto *startupLayout = new QVBoxLayout(startup);
        startupLayout->setContentsMargins(6, 2, 6, 2);
        d.demarrage = Named(new QCheckBox(QStringLiteral("Démarrer avec la page <Paramètres>"), startup), "demarrage");
        startupLayout->addWidget(d.demarrage);
        left->addWidget(startup);

        TDialUpDisplays dialUpShown;
        dialUpShown.statusBars = {d.explorer->StatusBar1(), d.quickExplorer->StatusBar2()};
        dialUpShown.okconnect = d.okconnect;
        d.dialUp = new TDialUpMonitor(*d.context, content, dialUpShown);
        right->addWidget(d.dialUp->Group());
        right->addWidget(FoldersGroup(d, content));

        auto *modes = new QHBoxLayout;
        auto *ftp = Named(new QGroupBox(QStringLiteral("&Paramètres FTP"), content), "GroupBox5");
        auto *ftpLayout = new QVBoxLayout(ftp);
        ftpLayout->setContentsMargins(6, 2, 6, 2);
        ftpLayout->addWidget(new QLabel(QStringLiteral("Intervalle de Noop:"), ftp));
        d.noop = Named(new QComboBox(ftp), "noop");
        for (int seconds = 10; seconds <= 100; seconds += 10)
            d.noop->addItem(QString::number(seconds));
        // Until the user picks an interval the client keeps its own 30 s,
        // shown without selecting an entry.
        d.noop->setPlaceholderText(QStringLiteral("30"));
        d.noop->setCurrentIndex(-1);
        ftpLayout->addWidget(d.noop);
        ftpLayout->addStretch();
        d.modetransfert = Named(new TRadioGroup(QStringLiteral("Mode de transfert"),
                                                {QStringLiteral("ASCII"), QStringLiteral("BINAIRE")}, content),
                                "modetransfert");
        d.modetransfert->SetItemIndex(1);
        d.modeftp = Named(new TRadioGroup(QStringLiteral("Mode Ftp"), {QStringLiteral("Actif"), QStringLiteral("Passif")},
                                          content),
                          "modeftp");
        d.modeftp->SetItemIndex(1);
        modes->addWidget(ftp, 1);
        modes->addWidget(d.modetransfert);
        modes->addWidget(d.modeftp);
        right->addLayout(modes);

        auto *zipRow = new QHBoxLayout;
        auto *level = Named(new QGroupBox(QStringLiteral("&Taux de compression zip"), content), "GroupBox6");
        auto *levelLayout = new QHBoxLayout(level);
        levelLayout->setContentsMargins(6, 2, 6, 2);
        d.TrackBar1 = Named(new QSlider(Qt::Horizontal, level), "TrackBar1");
        d.TrackBar1->setRange(0, 9);
        d.TrackBar1->setTickInterval(1);
        d.TrackBar1->setTickPosition(QSlider::TicksBelow);
        d.TrackBar1->setPageStep(1);
        d.TrackBar1->setValue(6);
        levelLayout->addWidget(new QLabel(QStringLiteral("0"), level));
        levelLayout->addWidget(d.TrackBar1, 1);
        levelLayout->addWidget(new QLabel(QStringLiteral("9"), level));
        zipRow->addWidget(level, 1);
        auto *erase = Named(new QGroupBox(QStringLiteral("&Effacer l'archive après transfert"), content), "GroupBox7");
        auto *eraseLayout = new QVBoxLayout(erase);
        eraseLayout->setContentsMargins(6, 2, 6, 2);
        d.effacerarchive = Named(new QCheckBox(QStringLiteral("Effacer"), erase), "effacerarchive");
        eraseLayout->addWidget(d.effacerarchive);
        zipRow->addWidget(erase);
        right->addLayout(zipRow);

        d.archives = Named(new TRadioGroup(QStringLiteral("&Archives"),
                                           {QStringLiteral("Créer l'archive dans le répertoire courant"),
                                            QStringLiteral("Créer l'archive dans le répertoire temporaire par défaut")},
                                           content),
                           "archives");
        d.archives->SetItemIndex(0);
        right->addWidget(d.archives);
        right->addStretch();
    }

    static QGroupBox *FoldersGroup(TfrmMain::Private &d, QWidget *parent)
    {
        auto *folders = Named(new QGroupBox(QStringLiteral("Répertoires"), parent), "GroupBox4");
        auto *layout = new QGridLayout(folders);
        layout->setContentsMargins(6, 2, 6, 2);
        layout->setVerticalSpacing(1);
        d.tele = Named(new QLineEdit(QStringLiteral("C:"), folders), "tele");
        d.tele->setReadOnly(true);
        d.dialog3 = Named(new QPushButton(QStringLiteral(".."), folders), "dialog3");
        d.dialog3->setAutoDefault(false);
        d.dialog3->setFixedWidth(28);
        d.systeme = Named(new QLabel(folders), "systeme");
        d.tempo = Named(new QLineEdit(folders), "tempo");
        d.tempo->setReadOnly(true);
        SetTextColour(d.tempo, QColor(255, 0, 0), QPalette::Text);
        layout->addWidget(new QLabel(QStringLiteral("Fichiers téléchargés"), folders), 0, 0);
        layout->addWidget(d.tele, 0, 1);
        layout->addWidget(d.dialog3, 0, 2);
        layout->addWidget(new QLabel(QStringLiteral("Système d'exploitation:"), folders), 1, 0);
        layout->addWidget(d.systeme, 1, 1, 1, 2);
        layout->addWidget(new QLabel(QStringLiteral("Fichiers temporaires"), folders), 2, 0);
        layout->addWidget(d.tempo, 2, 1, 1, 2);
        layout->setColumnStretch(1, 1);
        return folders;
    }

    static void BuildAboutTab(TfrmMain::Private &d)
    {
        QWidget *page = d.TabSheet6;
        auto *layout = new QVBoxLayout(page);
        layout->addStretch();
        auto *name = Named(new QLabel(QStringLiteral("Velmar"), page), "Label5");
        QFont big = name->font();
        big.setFamily(QStringLiteral("sans-serif"));
        big.setPointSize(40);
        big.setBold(true);
        big.setItalic(true);
        name->setFont(big);
        SetTextColour(name, QColor(128, 128, 128));
        name->setAlignment(Qt::AlignCenter);
        auto *picture = Named(new QLabel(page), "Image2");
        picture->setPixmap(VelmarPicture(128));
        picture->setAlignment(Qt::AlignCenter);
        auto *version = Named(new QLabel(QStringLiteral("Version 10.1.2"), page), "Label6");
        version->setAlignment(Qt::AlignCenter);
        layout->addWidget(name);
        layout->addWidget(picture);
        layout->addWidget(version);
        layout->addStretch();
    }

    static void BuildTrayAndTimer(TfrmMain *w, TfrmMain::Private &d)
    {
        d.PopupMenu2 = Named(new QMenu(w), "PopupMenu2");
        d.Montrer1 = Named(d.PopupMenu2->addAction(QStringLiteral("&Montrer")), "Montrer1");
        d.Quitter2 = Named(d.PopupMenu2->addAction(QStringLiteral("&Quitter")), "Quitter2");
        d.TrayIcon1 = Named(new TTrayIcon(w), "TrayIcon1");
        d.TrayIcon1->SetIcon(VelmarIcon());
        d.TrayIcon1->SetHint(MainText::Caption);
        d.TrayIcon1->SetPopupMenu(d.PopupMenu2);
        d.TrayIcon1->SetAutoShow(false);
        d.TrayIcon1->SetEnabled(false);

        d.connexionactive = Named(new QTimer(w), "connexionactive");
        d.connexionactive->setInterval(1000);
    }
};
}

void BuildMainWindow(TfrmMain *window, TfrmMain::Private &d)
{
    TfrmMainBuilder::Build(window, d);
}
