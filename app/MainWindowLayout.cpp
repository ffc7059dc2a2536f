// Builds the controls of the main window: tool bar, menus, the six tabs,
// the notification-area icon and the timers, with their design names,
// captions, hints and designed states. Behaviour is connected in
// MainWindow.cpp.

#include "MainWindowPrivate.h"

#include "AppIcon.h"
#include "DialUp.h"
#include "ExplorerViews.h"
#include "Ftp.h"
#include "FtpListView.h"
#include "FtpMsg.h"
#include "FtpTreeView.h"
#include "RadioGroup.h"
#include "TrayIcon.h"
#include "TransferDisplay.h"

#include <QAction>
#include <QCalendarWidget>
#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollArea>
#include <QSlider>
#include <QSplitter>
#include <QStatusBar>
#include <QTabWidget>
#include <QTimer>
#include <QToolBar>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {
template <typename T>
T *Named(T *object, const char *name)
{
    object->setObjectName(QLatin1String(name));
    return object;
}

QLabel *Indicator(QWidget *parent, const char *name)
{
    auto *panel = Named(new QLabel(parent), name);
    panel->setFixedSize(14, 14);
    SetIndicatorColour(panel, QColor(255, 0, 0));
    return panel;
}

void SetTextColour(QWidget *widget, const QColor &colour, QPalette::ColorRole role = QPalette::WindowText)
{
    QPalette palette = widget->palette();
    palette.setColor(role, colour);
    widget->setPalette(palette);
}

QLineEdit *Field(QWidget *parent, const char *name, const QString &hint)
{
    auto *field = Named(new QLineEdit(parent), name);
    field->setToolTip(hint);
    return field;
}

QStatusBar *PanelBar(QWidget *parent, const char *name, std::array<QLabel *, 3> &panels)
{
    auto *bar = Named(new QStatusBar(parent), name);
    bar->setSizeGripEnabled(false);
    // Designed widths 350, 300 and 50: the first two share the room in
    // that proportion, the clock takes what its text needs.
    const int stretch[3] = {35, 30, 0};
    for (int i = 0; i < 3; ++i) {
        panels[i] = new QLabel(bar);
        panels[i]->setObjectName(QStringLiteral("%1Panel%2").arg(QLatin1String(name)).arg(i));
        panels[i]->setMinimumWidth(i == 2 ? 50 : 40);
        panels[i]->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        bar->addWidget(panels[i], stretch[i]);
    }
    panels[0]->setText(QStringLiteral("Status: "));
    return bar;
}
}

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

        // Dials synchronously, so that the FTP connection follows a line
        // that is up (or has failed).
        d.DialUp1 = Named(new TDialUp(w), "DialUp1");
        d.DialUp1->SetDialMode(dmSync);
        d.DialUp1->SetLanguage(TLanguage::France);

        BuildActions(w, d);
        BuildMenus(w, d);
        BuildToolBar(w, d);

        d.PageControl1 = Named(new QTabWidget(w), "PageControl1");
        d.TabSheet1 = Named(new QWidget, "TabSheet1");
        d.TabSheet2 = Named(new QWidget, "TabSheet2");
        d.TabSheet3 = Named(new QWidget, "TabSheet3");
        d.TabSheet4 = Named(new QWidget, "TabSheet4");
        d.TabSheet5 = Named(new QWidget, "TabSheet5");
        d.TabSheet6 = Named(new QWidget, "TabSheet6");
        d.PageControl1->addTab(d.TabSheet1, QStringLiteral("    &Explorateur"));
        d.PageControl1->addTab(d.TabSheet2, QStringLiteral("    Explorateur &rapide"));
        d.PageControl1->addTab(d.TabSheet3, QStringLiteral("    &Mise à jour"));
        d.PageControl1->addTab(d.TabSheet4, QStringLiteral("    &Paramètres"));
        d.PageControl1->addTab(d.TabSheet5, QStringLiteral("    P&rogrammation"));
        d.PageControl1->addTab(d.TabSheet6, QStringLiteral("    A P&ropos"));
        d.PageControl1->setTabEnabled(2, false);
        w->setCentralWidget(d.PageControl1);

        BuildExplorerTab(d);
        BuildQuickExplorerTab(d);
        BuildUpdateTab(d);
        BuildSettingsTab(d);
        BuildSchedulerTab(d);
        BuildAboutTab(d);
        BuildTrayAndTimers(w, d);

        w->resize(755, 576);
        w->move(0, 0);
    }

    static QAction *Action(TfrmMain *w, const char *name, const QString &text, const QIcon &icon = {})
    {
        auto *action = Named(new QAction(icon, text, w), name);
        return action;
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
        d.okconnect = Indicator(indicators, "okconnect");
        row->addWidget(d.okconnect);
        row->addSpacing(6);
        row->addWidget(Named(new QLabel(QStringLiteral("Ftp:"), indicators), "Label4"));
        d.oklogin = Indicator(indicators, "oklogin");
        row->addWidget(d.oklogin);
        bar->addWidget(indicators);
        bar->addSeparator();
        bar->addAction(d.ToolButton32);
    }

    static void BuildExplorerTab(TfrmMain::Private &d)
    {
        QWidget *page = d.TabSheet1;
        auto *layout = new QVBoxLayout(page);
        layout->setContentsMargins(2, 2, 2, 0);
        layout->setSpacing(2);

        auto *vertical = Named(new QSplitter(Qt::Vertical, page), "Splitter1");
        auto *top = Named(new QSplitter(Qt::Horizontal, vertical), "Splitter2");
        d.VexFtpTreeView1 = CreateVexFtpTreeView(top, d.VexFtp1);
        d.VexFtpListView1 = CreateVexFtpListView(top, d.VexFtp1);
        top->addWidget(d.VexFtpTreeView1);
        top->addWidget(d.VexFtpListView1);
        top->setSizes({230, 520});

        auto *bottom = Named(new QSplitter(Qt::Horizontal, vertical), "Splitter3");
        auto *left = Named(new QSplitter(Qt::Vertical, bottom), "Splitter4");
        d.DirTree1 = CreateLocalFolderTree(left);
        d.VexFtpMessenger1 = CreateVexFtpMessenger(left, d.VexFtp1);
        left->addWidget(d.DirTree1);
        left->addWidget(d.VexFtpMessenger1);
        left->setSizes({110, 110});

        auto *right = new QWidget(bottom);
        auto *rightLayout = new QVBoxLayout(right);
        rightLayout->setContentsMargins(0, 0, 0, 0);
        rightLayout->setSpacing(2);
        d.Files = CreateLocalFileList(right);
        rightLayout->addWidget(d.Files, 1);
        rightLayout->addWidget(TransferDisplay(d, right));
        bottom->addWidget(left);
        bottom->addWidget(right);
        bottom->setSizes({230, 520});

        vertical->addWidget(top);
        vertical->addWidget(bottom);
        vertical->setSizes({200, 230});
        layout->addWidget(vertical, 1);

        d.StatusBar1 = PanelBar(page, "StatusBar1", d.statusPanels);
        layout->addWidget(d.StatusBar1);
    }

    static QWidget *TransferDisplay(TfrmMain::Private &d, QWidget *parent)
    {
        d.transferDisplay = new TTransferDisplay(parent);
        d.camembert = d.transferDisplay->Camembert();
        d.progression = d.transferDisplay->Progression();
        d.ProgressBar1 = d.transferDisplay->ProgressBar();
        d.cent = d.transferDisplay->Cent();
        d.debit = d.transferDisplay->Debit();
        d.encours = d.transferDisplay->Encours();
        return d.transferDisplay;
    }

    static void BuildQuickExplorerTab(TfrmMain::Private &d)
    {
        QWidget *page = d.TabSheet2;
        auto *layout = new QVBoxLayout(page);
        layout->setContentsMargins(2, 2, 2, 0);
        layout->setSpacing(2);
        d.replocal1 = Named(new QLabel(MainText::LocalFolderPrefix, page), "replocal1");
        layout->addWidget(d.replocal1);
        // The quick-explorer panel takes this place.
        auto *panel = Named(new QFrame(page), "ZEVudeDadaVAV1");
        panel->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
        d.ZEVudeDadaVAV1 = panel;
        layout->addWidget(panel, 1);
        d.StatusBar2 = PanelBar(page, "StatusBar2", d.quickStatusPanels);
        layout->addWidget(d.StatusBar2);
    }

    static void BuildUpdateTab(TfrmMain::Private &d)
    {
        QWidget *page = d.TabSheet3;
        auto *layout = new QVBoxLayout(page);
        d.repencours = Named(new QLabel(QStringLiteral("Répertoire distant en cours:"), page), "repencours");
        d.replocal = Named(new QLabel(QStringLiteral("Répertoire local en cours:"), page), "replocal");
        layout->addWidget(d.repencours);
        layout->addWidget(d.replocal);
        d.miseajour = Named(new QTreeWidget(page), "miseajour");
        d.miseajour->setHeaderLabels({QStringLiteral("Nom"), QStringLiteral("Action")});
        d.miseajour->setRootIsDecorated(false);
        d.miseajour->setSelectionMode(QAbstractItemView::ExtendedSelection);
        d.miseajour->setColumnWidth(0, 140);
        d.miseajour->setColumnWidth(1, 575);
        layout->addWidget(d.miseajour, 1);
    }

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

        left->addWidget(ProfileEditor(d, content));
        left->addWidget(SiteList(d, content), 1);
        auto *startup = Named(new QGroupBox(QStringLiteral("&Démarrage"), content), "GroupBox8");
        auto *startupLayout = new QVBoxLayout(startup);
        startupLayout->setContentsMargins(6, 2, 6, 2);
        d.demarrage = Named(new QCheckBox(QStringLiteral("Démarrer avec la page <Paramètres>"), startup), "demarrage");
        startupLayout->addWidget(d.demarrage);
        left->addWidget(startup);

        right->addWidget(DialUpGroup(d, content));
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

    static QGroupBox *ProfileEditor(TfrmMain::Private &d, QWidget *parent)
    {
        auto *editor = Named(new QGroupBox(QStringLiteral("Connexion"), parent), "GroupBox1");
        auto *form = new QGridLayout(editor);
        form->setContentsMargins(6, 2, 6, 4);
        form->setVerticalSpacing(2);
        d.connect = Field(editor, "connect", QStringLiteral("Donnez un nom à votre connexion"));
        d.HostTxt = Field(editor, "HostTxt", QStringLiteral("Rentrez ici l'adresse EXACTE de votre serveur web"));
        d.PortTxt = Field(editor, "PortTxt", QStringLiteral("Si vous ne savez pas quoi faire, laissez le port à 21"));
        d.UserTxt = Field(editor, "UserTxt", QStringLiteral("Rentrez ici votre identifiant"));
        d.PassTxt = Field(editor, "PassTxt", QStringLiteral("Rentrez ici votre mot de passe"));
        d.PassTxt->setEchoMode(QLineEdit::Password);
        d.CheckBox1 = Named(new QCheckBox(QStringLiteral("Utiliser un Serveur Proxy"), editor), "CheckBox1");
        d.CheckBox1->setToolTip(QStringLiteral("Cochez la case si vous utilisez un Proxy"));
        d.ProxyTxt = Field(editor, "ProxyTxt", QStringLiteral("Rentrez l'adresse du Proxy"));
        d.Portproxy = Field(editor, "Portproxy", QStringLiteral("Rentrez ici le port de votre proxy"));
        d.web = Field(editor, "web", QStringLiteral("Page web du site"));
        d.defaurep = Field(editor, "defaurep", QStringLiteral("répertoire par défaut"));
        d.PortTxt->setFixedWidth(56);
        d.Portproxy->setFixedWidth(56);
        const auto row = [form, editor](int r, const QString &label, QWidget *field, int column, int span) {
            auto *caption = new QLabel(label, editor);
            caption->setToolTip(field->toolTip());
            form->addWidget(caption, r, column);
            form->addWidget(field, r, column + 1, 1, span);
        };
        row(0, QStringLiteral("Connexion"), d.connect, 0, 2);
        row(1, QStringLiteral("Hôte"), d.HostTxt, 0, 2);
        row(2, QStringLiteral("Port"), d.PortTxt, 0, 1);
        row(3, QStringLiteral("ID"), d.UserTxt, 0, 2);
        row(4, QStringLiteral("Mot de Passe"), d.PassTxt, 0, 2);
        form->addWidget(d.CheckBox1, 5, 0, 1, 3);
        row(6, QStringLiteral("Serveur Proxy"), d.ProxyTxt, 0, 2);
        row(7, QStringLiteral("Port Proxy"), d.Portproxy, 0, 1);
        row(8, QStringLiteral("Page web"), d.web, 0, 2);
        row(9, QStringLiteral("Rép. de base"), d.defaurep, 0, 2);
        form->setColumnStretch(2, 1);
        d.ProxyTxt->setEnabled(false);
        d.Portproxy->setEnabled(false);
        // What the editor shows when no profile file exists.
        d.connect->setText(QStringLiteral("connect"));
        d.HostTxt->setText(QStringLiteral("ftp.example.com"));
        d.PortTxt->setText(QStringLiteral("21"));
        d.UserTxt->setText(QStringLiteral("anonymous"));
        d.PassTxt->setText(MainText::SamplePassword);
        return editor;
    }

    static QGroupBox *SiteList(TfrmMain::Private &d, QWidget *parent)
    {
        auto *sites = Named(new QGroupBox(QStringLiteral("Sites Ftp"), parent), "GroupBox2");
        auto *layout = new QVBoxLayout(sites);
        layout->setContentsMargins(6, 2, 6, 4);
        layout->setSpacing(3);
        d.ListBox1 = Named(new QListWidget(sites), "ListBox1");
        d.ListBox1->setMinimumHeight(60);
        layout->addWidget(d.ListBox1, 1);
        auto *buttons = new QGridLayout;
        buttons->setSpacing(3);
        d.nouvelle = Named(new QPushButton(QStringLiteral("Nouvelle connexion"), sites), "nouvelle");
        d.supprimer = Named(new QPushButton(QStringLiteral("Supprimer la connexion"), sites), "supprimer");
        d.sauver = Named(new QPushButton(QStringLiteral("Sauver la connexion"), sites), "sauver");
        for (QPushButton *b : {d.nouvelle, d.supprimer, d.sauver})
            b->setAutoDefault(false);
        buttons->addWidget(d.nouvelle, 0, 0);
        buttons->addWidget(d.supprimer, 0, 1);
        buttons->addWidget(d.sauver, 1, 0, 1, 2);
        layout->addLayout(buttons);
        return sites;
    }

    static QGroupBox *DialUpGroup(TfrmMain::Private &d, QWidget *parent)
    {
        auto *internet = Named(new QGroupBox(QStringLiteral("Connexion Internet"), parent), "GroupBox3");
        auto *layout = new QGridLayout(internet);
        layout->setContentsMargins(6, 2, 6, 2);
        layout->setVerticalSpacing(1);
        d.Connexions = Named(new QComboBox(internet), "Connexions");
        auto *entriesLabel = new QLabel(QStringLiteral("Connexions"), internet);
        d.connexionencours = Named(new QLabel(QStringLiteral("&Connexion active: aucune"), internet), "connexionencours");
        d.connexionencours->setBuddy(d.Connexions);
        SetTextColour(d.connexionencours, QColor(255, 0, 0));
        d.typeconnexion = Named(new QLabel(QStringLiteral("&Type:"), internet), "typeconnexion");
        d.typeconnexion->setBuddy(d.Connexions);
        SetTextColour(d.typeconnexion, QColor(0, 0, 128));
        d.activer = Named(new QCheckBox(QStringLiteral("&Activer la connexion automatiquement"), internet), "activer");
        d.activer->setChecked(true);
        d.deconnecter = Named(new QCheckBox(QStringLiteral("&Déconnecter en quittant"), internet), "deconnecter");
        layout->addWidget(entriesLabel, 0, 0);
        layout->addWidget(d.Connexions, 0, 1);
        layout->addWidget(d.connexionencours, 1, 0, 1, 2);
        layout->addWidget(d.typeconnexion, 2, 0, 1, 2);
        layout->addWidget(d.activer, 3, 0, 1, 2);
        layout->addWidget(d.deconnecter, 4, 0, 1, 2);
        layout->setColumnStretch(1, 1);
        return internet;
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

    static QGroupBox *Group(QWidget *parent, const char *name, const QString &caption, QWidget *content)
    {
        auto *group = Named(new QGroupBox(caption, parent), name);
        auto *layout = new QVBoxLayout(group);
        layout->setContentsMargins(4, 4, 4, 4);
        layout->addWidget(content);
        return group;
    }

    static void BuildSchedulerTab(TfrmMain::Private &d)
    {
        QWidget *page = d.TabSheet5;
        // Top row: date, hour and actions; bottom row: the program text and
        // the candidate lists.
        auto *layout = new QVBoxLayout(page);
        layout->setContentsMargins(6, 4, 6, 4);
        auto *topRow = new QHBoxLayout;
        auto *bottomRow = new QHBoxLayout;
        layout->addLayout(topRow);
        layout->addLayout(bottomRow, 1);

        d.MonthCalendar1 = Named(new QCalendarWidget(page), "MonthCalendar1");
        d.MonthCalendar1->setVerticalHeaderFormat(QCalendarWidget::NoVerticalHeader);
        d.MonthCalendar1->setGridVisible(false);
        d.MonthCalendar1->setStyleSheet(
            QStringLiteral("#qt_calendar_navigationbar { background-color: rgb(0,128,128); }"));
        topRow->addWidget(Group(page, "GroupBox9", QStringLiteral("&Date de programmation"), d.MonthCalendar1));

        d.ListBox2 = Named(new QListWidget(page), "ListBox2");
        for (int hour = 1; hour <= 24; ++hour)
            d.ListBox2->addItem(QString::number(hour));
        d.ListBox2->setFixedWidth(48);
        d.ListBox2->setFixedHeight(d.MonthCalendar1->sizeHint().height());
        topRow->addWidget(Group(page, "GroupBox10", QStringLiteral("&Heure"), d.ListBox2));

        auto *action = new QWidget(page);
        auto *actionLayout = new QVBoxLayout(action);
        actionLayout->setContentsMargins(0, 0, 0, 0);
        actionLayout->setSpacing(3);
        d.Label24 = Named(new QLabel(MainText::SchedulerOff, action), "Label24");
        d.Label24->setAlignment(Qt::AlignCenter);
        SetTextColour(d.Label24, QColor(255, 0, 0));
        d.CheckBox8 = Named(new QCheckBox(QStringLiteral("Icône dans la barre de tâches"), action), "CheckBox8");
        d.CheckBox9 = Named(new QCheckBox(QStringLiteral("Activer la programmation"), action), "CheckBox9");
        d.SpeedButton2 = Named(new QPushButton(QStringLiteral("Effacer la programmation en cours"), action), "SpeedButton2");
        d.SpeedButton3 = Named(new QPushButton(QStringLiteral("Charger une programmation"), action), "SpeedButton3");
        d.SpeedButton4 =
            Named(new QPushButton(QStringLiteral("Enregistrer la programmation en cours"), action), "SpeedButton4");
        d.Label15 = Named(new QLabel(QStringLiteral("Programmation réalisée"), action), "Label15");
        d.Label15->setAlignment(Qt::AlignCenter);
        QFont bold = d.Label15->font();
        bold.setBold(true);
        d.Label15->setFont(bold);
        SetTextColour(d.Label15, QColor(255, 0, 0));
        d.Label15->setVisible(false);
        actionLayout->addWidget(d.Label24);
        actionLayout->addWidget(d.CheckBox8);
        actionLayout->addWidget(d.CheckBox9);
        for (QPushButton *b : {d.SpeedButton2, d.SpeedButton3, d.SpeedButton4}) {
            b->setAutoDefault(false);
            actionLayout->addWidget(b);
        }
        actionLayout->addStretch();
        actionLayout->addWidget(d.Label15);
        topRow->addWidget(Group(page, "GroupBox11", QStringLiteral("&Action"), action), 1);

        d.ListBox5 = Named(new QListWidget(page), "ListBox5");
        d.ListBox5->setSelectionMode(QAbstractItemView::ExtendedSelection);
        d.ListBox5->setDragEnabled(true);
        QGroupBox *localFiles = Group(page, "GroupBox12", QStringLiteral("&Fichiers locaux disponibles"), d.ListBox5);

        d.Memo2 = Named(new QPlainTextEdit(page), "Memo2");
        d.Memo2->setLineWrapMode(QPlainTextEdit::NoWrap);
        d.Memo2->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
        d.Memo2->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
        QPalette navy = d.Memo2->palette();
        navy.setColor(QPalette::Text, QColor(0, 0, 128));
        navy.setColor(QPalette::Base, Qt::white);
        d.Memo2->setPalette(navy);
        bottomRow->addWidget(Group(page, "GroupBox13", QStringLiteral("&Programmation"), d.Memo2), 2);
        bottomRow->addWidget(localFiles, 1);

        auto *remote = new QWidget(page);
        auto *remoteLayout = new QVBoxLayout(remote);
        remoteLayout->setContentsMargins(0, 0, 0, 0);
        d.ListBox4 = Named(new QListWidget(remote), "ListBox4");
        d.ListBox3 = Named(new QListWidget(remote), "ListBox3");
        d.ListBox3->setSelectionMode(QAbstractItemView::ExtendedSelection);
        d.ListBox3->setDragEnabled(true);
        remoteLayout->addWidget(Group(remote, "GroupBox14", QStringLiteral("&Repertoires distants disponibles"), d.ListBox4));
        remoteLayout->addWidget(Group(remote, "GroupBox15", QStringLiteral("&Fichiers Distants disponibles"), d.ListBox3));
        bottomRow->addWidget(remote, 1);
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

    static void BuildTrayAndTimers(TfrmMain *w, TfrmMain::Private &d)
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

        const auto timer = [w](const char *name, int interval) {
            auto *t = Named(new QTimer(w), name);
            t->setInterval(interval);
            return t;
        };
        d.connexionactive = timer("connexionactive", 1000);
        d.ok = timer("ok", 2000);
        d.programmateur = timer("programmateur", 1000);
        d.Timer2 = timer("Timer2", 1000);
    }
};

}

void BuildMainWindow(TfrmMain *window, TfrmMain::Private &d)
{
    TfrmMainBuilder::Build(window, d);
}
