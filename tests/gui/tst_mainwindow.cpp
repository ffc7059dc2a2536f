// The main window: its controls as designed, the start-up steps, the
// seventeen preferences (first run, close, restart, broken values), the
// notification-area icon and the taskbar button, help, about, the mail link
// (and what is said when the desktop cannot open them), the status bar's
// panels at the designed size, and shutdown.

#include "GuiTestSupport.h"
#include "AppContext.h"
#include "Ftp.h"
#include "MainWindow.h"
#include "PanelBar.h"
#include "RadioGroup.h"
#include "SystemLabel.h"
#include "TrayIcon.h"

#include <QAbstractButton>
#include <QAction>
#include <QCalendarWidget>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QUrlQuery>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QSignalSpy>
#include <QSlider>
#include <QSysInfo>
#include <QSystemTrayIcon>
#include <QTabWidget>
#include <QTime>
#include <QTimer>
#include <QtTest>

namespace {
const QString NotAnInteger = QStringLiteral("'%1' n'est pas une valeur entière correcte");

template <typename T>
T *Find(const TfrmMain &w, const char *name)
{
    return w.findChild<T *>(QLatin1String(name));
}

QAbstractButton *RadioButton(const TfrmMain &w, const char *group, const QString &text)
{
    for (QRadioButton *b : Find<TRadioGroup>(w, group)->findChildren<QRadioButton *>())
        if (b->text() == text)
            return b;
    return nullptr;
}

QStringList CheckedSites(const TfrmMain &w)
{
    QStringList names;
    const QListWidget *list = Find<QListWidget>(w, "ListBox1");
    for (int row = 0; row < list->count(); ++row)
        if (list->item(row)->checkState() == Qt::Checked)
            names.append(list->item(row)->text());
    return names;
}

QString DocumentsFolder()
{
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    return QDir::cleanPath(QFileInfo(documents).isDir() ? documents : QDir::homePath());
}
}

class TestMainWindow : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();

    void controls_data();
    void controls();
    void tabs();
    void firstRun();
    void closeWritesAllAndRestartRestores();
    void startupValueAbsentOpensSettings();
    void noopNeverTouched();
    void defaultSiteKeptWhenNoneChecked_data();
    void defaultSiteKeptWhenNoneChecked();
    void brokenNumberStopsCreation_data();
    void brokenNumberStopsCreation();
    void trayValue_data();
    void trayValue();
    void trayBoxAndTaskbarButton();
    void taskbarButtonKeptWithoutTray();
    void schedulerProgramAtStartup_data();
    void schedulerProgramAtStartup();
    void downloadsFolderButton();
    void helpFromAnyField();
    void aboutAndMail();
    void openFailureTellsWhereTheHelpIs_data();
    void openFailureTellsWhereTheHelpIs();
    void statusPanelsShowWholeTexts_data();
    void statusPanelsShowWholeTexts();
    void shutdownDeletesOpenedFiles();
    void quitSetsQuitting();
    void windowsVersionLabel_data();
    void windowsVersionLabel();

private:
    QMap<QString, QString> Saved() const;

    QTemporaryDir home;
    QTemporaryDir downloads;
    std::unique_ptr<TShellFixture> fx;
};

void TestMainWindow::initTestCase()
{
    IsolateUserFolders(home);
}

void TestMainWindow::init()
{
    fx = std::make_unique<TShellFixture>();
}

void TestMainWindow::cleanup()
{
    fx.reset();
}

// Preferences as a previous close wrote them.
QMap<QString, QString> TestMainWindow::Saved() const
{
    return {{Pref::Startup, "non"},      {Pref::Downloads, downloads.path()},
            {Pref::Left, "40"},          {Pref::Top, "30"},
            {Pref::Width, "800"},        {Pref::Height, "600"},
            {Pref::AsciiMode, "1"},      {Pref::PassiveMode, "1"},
            {Pref::AutoDial, "oui"},     {Pref::HangUpOnQuit, "non"},
            {Pref::Tray, "oui"},         {Pref::Noop, "2"},
            {Pref::Compression, "6"},    {Pref::Scheduler, "0"},
            {Pref::ArchivePlace, "0"},   {Pref::DeleteArchive, "oui"},
            {Pref::DefaultSite, "0"}};
}

void TestMainWindow::controls_data()
{
    QTest::addColumn<QString>("object");
    QTest::addColumn<QByteArray>("property");
    QTest::addColumn<QString>("expected");
    const auto row = [](const char *object, const char *property, const QString &expected) {
        QTest::addRow("%s.%s", object, property) << QString::fromLatin1(object) << QByteArray(property) << expected;
    };
    // Tool bar.
    row("ToolButton1", "text", "Connexion");
    row("ToolButton2", "text", "Déconnexion");
    row("connexioonrapide", "text", "Connexion rapide");
    row("rafraichir", "text", "Rafraichir");
    row("ToolButton10", "text", "Stop");
    row("asciimode", "toolTip", "Mode Binaire ou Ascii");
    row("asciimode", "currentText", "BINAIRE");
    row("Transfertype", "toolTip", "Mode Passif ou Actif");
    row("Transfertype", "currentText", "PASSIF");
    row("commande", "toolTip", "Commande ftp");
    row("ToolButton7", "toolTip", "Envoyer la commande ftp");
    row("Label3", "text", "Internet:");
    row("Label4", "text", "Ftp:");
    // Menus.
    row("Menuprincipal1", "title", "&Menu principal");
    row("Connecter1", "text", "&Connecter");
    row("Dconnecter1", "text", "&Déconnecter");
    row("Connexionrapide1", "text", "C&onnexion rapide");
    row("ExporterversExcel1", "text", "&Exporter vers Excel");
    row("Prvisualiser1", "text", "&Prévisualiser");
    row("Imprimerlesitedistant1", "text", "&Imprimer le site distant");
    row("Quitter1", "text", "&Quitter");
    row("Edition1", "title", "&Edition");
    row("Tlcharger1", "text", "&Télécharger");
    row("Tlcharger1", "enabled", "false");
    row("Envoyer1", "text", "E&nvoyer");
    row("Envoyer1", "enabled", "false");
    row("Comparerlessites1", "text", "&Comparer les sites");
    row("Comparerlessites1", "enabled", "false");
    row("Aide1", "title", "&Aide");
    row("AidedeVelmar1", "text", "Aide de &Velmar");
    row("APropos1", "text", "A &Propos");
    row("Mcrire1", "text", "&M'écrire");
    row("Montrer1", "text", "&Montrer");
    row("Quitter2", "text", "&Quitter");
    // Explorer tab.
    row("StatusBar1Panel0", "text", "Status: ");
    row("progression", "text", "Progression : 0 ");
    row("cent", "text", " 100");
    row("debit", "text", "Débit actuel :");
    row("encours", "text", "Fichier en cours de transfert :");
    row("ProgressBar1", "maximum", "100");
    // Settings tab.
    row("GroupBox1", "title", "Connexion");
    row("connect", "toolTip", "Donnez un nom à votre connexion");
    row("HostTxt", "toolTip", "Rentrez ici l'adresse EXACTE de votre serveur web");
    row("PortTxt", "toolTip", "Si vous ne savez pas quoi faire, laissez le port à 21");
    row("UserTxt", "toolTip", "Rentrez ici votre identifiant");
    row("PassTxt", "toolTip", "Rentrez ici votre mot de passe");
    row("CheckBox1", "text", "Utiliser un Serveur Proxy");
    row("CheckBox1", "toolTip", "Cochez la case si vous utilisez un Proxy");
    row("ProxyTxt", "toolTip", "Rentrez l'adresse du Proxy");
    row("Portproxy", "toolTip", "Rentrez ici le port de votre proxy");
    row("web", "toolTip", "Page web du site");
    row("defaurep", "toolTip", "répertoire par défaut");
    row("GroupBox2", "title", "Sites Ftp");
    row("nouvelle", "text", "Nouvelle connexion");
    row("supprimer", "text", "Supprimer la connexion");
    row("sauver", "text", "Sauver la connexion");
    row("GroupBox3", "title", "Connexion Internet");
    row("connexionencours", "text", "&Connexion active: aucune");
    row("typeconnexion", "text", "&Type:");
    row("activer", "text", "&Activer la connexion automatiquement");
    row("deconnecter", "text", "&Déconnecter en quittant");
    row("GroupBox4", "title", "Répertoires");
    row("GroupBox5", "title", "&Paramètres FTP");
    row("noop", "placeholderText", "30");
    row("noop", "count", "10");
    row("modetransfert", "title", "Mode de transfert");
    row("modeftp", "title", "Mode Ftp");
    row("GroupBox6", "title", "&Taux de compression zip");
    row("TrackBar1", "minimum", "0");
    row("TrackBar1", "maximum", "9");
    row("archives", "title", "&Archives");
    row("GroupBox7", "title", "&Effacer l'archive après transfert");
    row("GroupBox8", "title", "&Démarrage");
    row("demarrage", "text", "Démarrer avec la page <Paramètres>");
    // Scheduler tab.
    row("GroupBox9", "title", "&Date de programmation");
    row("GroupBox10", "title", "&Heure");
    row("ListBox2", "count", "24");
    row("GroupBox11", "title", "&Action");
    row("CheckBox8", "text", "Icône dans la barre de tâches");
    row("CheckBox9", "text", "Activer la programmation");
    row("SpeedButton2", "text", "Effacer la programmation en cours");
    row("SpeedButton3", "text", "Charger une programmation");
    row("SpeedButton4", "text", "Enregistrer la programmation en cours");
    row("Label15", "text", "Programmation réalisée");
    row("GroupBox12", "title", "&Fichiers locaux disponibles");
    row("GroupBox13", "title", "&Programmation");
    row("GroupBox14", "title", "&Repertoires distants disponibles");
    row("GroupBox15", "title", "&Fichiers Distants disponibles");
    // About tab.
    row("Label5", "text", "Velmar");
    row("Label6", "text", "Version 10.1.2");
    // Timers.
    row("connexionactive", "interval", "1000");
    row("connexionactive", "active", "true");
    row("ok", "interval", "2000");
    row("ok", "active", "false");
    row("programmateur", "interval", "1000");
    row("programmateur", "active", "false");
    row("Timer2", "interval", "1000");
    row("Timer2", "active", "false");
}

void TestMainWindow::controls()
{
    QFETCH(QString, object);
    QFETCH(QByteArray, property);
    QFETCH(QString, expected);
    TfrmMain w;
    const QObject *control = w.findChild<QObject *>(object);
    QVERIFY2(control, qPrintable(object));
    QCOMPARE(control->property(property.constData()).toString(), expected);
}

void TestMainWindow::tabs()
{
    TfrmMain w;
    const QTabWidget *tabs = Find<QTabWidget>(w, "PageControl1");
    const QStringList captions{"    &Explorateur", "    Explorateur &rapide", "    &Mise à jour",
                               "    &Paramètres",  "    P&rogrammation",      "    A P&ropos"};
    QCOMPARE(tabs->count(), captions.size());
    for (int i = 0; i < tabs->count(); ++i) {
        QCOMPARE(tabs->tabText(i), captions.at(i));
        QCOMPARE(tabs->isTabEnabled(i), i != 2);
    }
    // The views the explorer tab hosts.
    for (const char *name : {"VexFtpTreeView1", "VexFtpListView1", "VexFtpMessenger1", "DirTree1", "Files"})
        QVERIFY2(Find<QWidget>(w, name) && Find<QWidget>(w, name)->parentWidget(), name);
    for (const char *name : {"progression", "ProgressBar1", "cent", "debit", "encours", "Label15"})
        QVERIFY2(Find<QWidget>(w, name)->isHidden(), name);
    QCOMPARE(Find<QObject>(w, "VexFtp1"), static_cast<QObject *>(w.VexFtp1()));
}

void TestMainWindow::firstRun()
{
    TfrmMain w;
    QCOMPARE(w.size(), QSize(755, 576));
    QCOMPARE(w.pos(), QPoint(0, 0));
    QCOMPARE(Find<QTabWidget>(w, "PageControl1")->currentWidget(), Find<QWidget>(w, "TabSheet1"));
    QCOMPARE(w.windowTitle(), QStringLiteral("Velmar : connect"));
    QVERIFY(fx->prompter.Asked().isEmpty());

    QVERIFY(Find<QCheckBox>(w, "activer")->isChecked());
    QVERIFY(!Find<QCheckBox>(w, "deconnecter")->isChecked());
    QVERIFY(!Find<QCheckBox>(w, "demarrage")->isChecked());
    QVERIFY(!Find<QCheckBox>(w, "CheckBox8")->isChecked());
    QCOMPARE(Find<TRadioGroup>(w, "modetransfert")->ItemIndex(), 1);
    QCOMPARE(Find<TRadioGroup>(w, "modeftp")->ItemIndex(), 1);
    QCOMPARE(Find<TRadioGroup>(w, "archives")->ItemIndex(), 0);
    QCOMPARE(Find<QComboBox>(w, "noop")->currentIndex(), -1);
    QCOMPARE(Find<QSlider>(w, "TrackBar1")->value(), 6);
    QCOMPARE(Find<QLineEdit>(w, "tele")->text(), DocumentsFolder());
    QCOMPARE(Find<QLineEdit>(w, "tempo")->text(), QDir::cleanPath(QDir::tempPath()) + QLatin1Char('/'));
    QCOMPARE(Find<QLabel>(w, "systeme")->text(), QSysInfo::prettyProductName());
    // The local tree starts on the downloads folder.
    QCOMPARE(w.Context().LocalFolder(), DocumentsFolder() + QLatin1Char('/'));
    QCOMPARE(Find<QLabel>(w, "replocal")->text(),
             QStringLiteral("Répertoire local en cours: ") + DocumentsFolder().toLower() + QLatin1Char('/'));
    QCOMPARE(Find<QCalendarWidget>(w, "MonthCalendar1")->selectedDate(), QDate::currentDate());
    QCOMPARE(Find<QListWidget>(w, "ListBox2")->currentRow(), QTime::currentTime().hour());
    QCOMPARE(Find<QLabel>(w, "Label24")->text(), QStringLiteral("Programmation désactivée"));
    QCOMPARE(w.Context().SchedulerEnabled(), 0);
    QVERIFY(!w.Context().Quitting());
    QVERIFY(!w.Context().ScheduledRunActive());
    QVERIFY(w.Context().OpenedFiles().isEmpty());
    QCOMPARE(w.Context().ProfilePath(), fx->ProfilePath());

    // The editor without a profile file, and the client's designed modes.
    QCOMPARE(Find<QLineEdit>(w, "connect")->text(), QStringLiteral("connect"));
    QCOMPARE(Find<QLineEdit>(w, "PortTxt")->text(), QStringLiteral("21"));
    QCOMPARE(Find<QLineEdit>(w, "UserTxt")->text(), QStringLiteral("anonymous"));
    QVERIFY(Find<QLineEdit>(w, "PassTxt")->text().contains(QLatin1Char('@')));
    QCOMPARE(Find<QLineEdit>(w, "PassTxt")->echoMode(), QLineEdit::Password);
    QVERIFY(!Find<QCheckBox>(w, "CheckBox1")->isChecked());
    QVERIFY(!Find<QLineEdit>(w, "ProxyTxt")->isEnabled());
    QCOMPARE(Find<QListWidget>(w, "ListBox1")->count(), 0);
    QCOMPARE(w.VexFtp1()->NoopInterval(), quint16(30));
    QVERIFY(w.VexFtp1()->Passive());
    QCOMPARE(w.VexFtp1()->TransferMode(), BinaryTransfer);
    QVERIFY(!w.TrayIcon1()->Enabled());

    // Nothing was written: the key appears at the first close.
    QVERIFY(TShellFixture::ReadPreferences().isEmpty());
}

void TestMainWindow::closeWritesAllAndRestartRestores()
{
    const SiteProfile second = SiteProfile::FromTexts(ProfileTexts("second", "ftp.second.example"));
    fx->WriteFile("velmar.ini", ProfileFileText({ProfileTexts("first"), second.Texts()}));
    {
        TfrmMain w;
        Find<QCheckBox>(w, "demarrage")->setChecked(true);
        fx->prompter.QueuePath(downloads.path());
        w.dialog3Click();
        w.move(12, 34);
        w.resize(780, 590);
        RadioButton(w, "modetransfert", "ASCII")->click();
        RadioButton(w, "modeftp", "Actif")->click();
        Find<QCheckBox>(w, "activer")->setChecked(false);
        Find<QCheckBox>(w, "deconnecter")->setChecked(true);
        Find<QCheckBox>(w, "CheckBox8")->click();
        auto *noop = Find<QComboBox>(w, "noop");
        noop->setCurrentIndex(4);
        emit noop->activated(4);
        Find<QSlider>(w, "TrackBar1")->setValue(3);
        RadioButton(w, "archives", "Créer l'archive dans le répertoire temporaire par défaut")->click();
        Find<QCheckBox>(w, "effacerarchive")->setChecked(true);
        Find<QCheckBox>(w, "CheckBox9")->setChecked(true);
        Find<QListWidget>(w, "ListBox1")->item(1)->setCheckState(Qt::Checked);

        QCOMPARE(w.VexFtp1()->TransferMode(), AsciiTransfer);
        QVERIFY(!w.VexFtp1()->Passive());
        QCOMPARE(w.VexFtp1()->NoopInterval(), quint16(50));
        QVERIFY(w.close());
    }
    const QMap<QString, QString> expected{
        {Pref::Startup, "oui"},      {Pref::Downloads, downloads.path()},
        {Pref::Left, "12"},          {Pref::Top, "34"},
        {Pref::Width, "780"},        {Pref::Height, "590"},
        {Pref::AsciiMode, "0"},      {Pref::PassiveMode, "0"},
        {Pref::AutoDial, "non"},     {Pref::HangUpOnQuit, "oui"},
        {Pref::Tray, "oui"},         {Pref::Noop, "4"},
        {Pref::Compression, "3"},    {Pref::Scheduler, "1"},
        {Pref::ArchivePlace, "1"},   {Pref::DeleteArchive, "oui"},
        {Pref::DefaultSite, "1"}};
    QCOMPARE(TShellFixture::ReadPreferences(), expected);
    QCOMPARE(PreferenceWriteOrder().size(), 17);

    TfrmMain w;
    QVERIFY2(fx->prompter.Messages().isEmpty(), qPrintable(fx->prompter.Messages().join('\n')));
    QCOMPARE(Find<QTabWidget>(w, "PageControl1")->currentWidget(), Find<QWidget>(w, "TabSheet4"));
    QVERIFY(Find<QCheckBox>(w, "demarrage")->isChecked());
    QCOMPARE(Find<QLineEdit>(w, "tele")->text(), downloads.path());
    QCOMPARE(Find<QLabel>(w, "replocal1")->text(), downloads.path());
    QCOMPARE(Find<QLabel>(w, "replocal")->text(),
             QStringLiteral("Répertoire local en cours: ") + downloads.path().toLower() + QLatin1Char('/'));
    QCOMPARE(w.Context().LocalFolder(), downloads.path() + QLatin1Char('/'));
    QCOMPARE(w.pos(), QPoint(12, 34));
    QCOMPARE(w.size(), QSize(780, 590));
    QCOMPARE(Find<TRadioGroup>(w, "modetransfert")->ItemIndex(), 0);
    QCOMPARE(Find<TRadioGroup>(w, "modeftp")->ItemIndex(), 0);
    QCOMPARE(Find<QComboBox>(w, "asciimode")->currentText(), QStringLiteral("ASCII"));
    QCOMPARE(Find<QComboBox>(w, "Transfertype")->currentText(), QStringLiteral("ACTIF"));
    QCOMPARE(w.VexFtp1()->TransferMode(), AsciiTransfer);
    QVERIFY(!w.VexFtp1()->Passive());
    QVERIFY(!Find<QCheckBox>(w, "activer")->isChecked());
    QVERIFY(Find<QCheckBox>(w, "deconnecter")->isChecked());
    QVERIFY(Find<QCheckBox>(w, "CheckBox8")->isChecked());
    QVERIFY(w.TrayIcon1()->Enabled());
    QCOMPARE(Find<QComboBox>(w, "noop")->currentIndex(), 4);
    QCOMPARE(w.VexFtp1()->NoopInterval(), quint16(50));
    QCOMPARE(Find<QSlider>(w, "TrackBar1")->value(), 3);
    QVERIFY(Find<QCheckBox>(w, "CheckBox9")->isChecked());
    QCOMPARE(Find<QLabel>(w, "Label24")->text(), QStringLiteral("Programmation activée"));
    QCOMPARE(w.Context().SchedulerEnabled(), 1);
    QCOMPARE(Find<TRadioGroup>(w, "archives")->ItemIndex(), 1);
    QVERIFY(Find<QCheckBox>(w, "effacerarchive")->isChecked());
    QCOMPARE(CheckedSites(w), QStringList{"second"});
    QCOMPARE(Find<QListWidget>(w, "ListBox1")->currentRow(), 1);
    QCOMPARE(Find<QLineEdit>(w, "HostTxt")->text(), second.host);
    QCOMPARE(w.windowTitle(), QStringLiteral("Velmar : second"));
}

void TestMainWindow::startupValueAbsentOpensSettings()
{
    QMap<QString, QString> values = Saved();
    values.remove(Pref::Startup);
    TShellFixture::WritePreferences(values);
    TfrmMain w;
    QVERIFY(fx->prompter.Messages().isEmpty());
    QCOMPARE(Find<QTabWidget>(w, "PageControl1")->currentWidget(), Find<QWidget>(w, "TabSheet4"));
    QVERIFY(Find<QCheckBox>(w, "demarrage")->isChecked());
}

void TestMainWindow::noopNeverTouched()
{
    {
        TfrmMain w;
        QVERIFY(w.close());
    }
    QCOMPARE(TShellFixture::ReadPreferences().value(Pref::Noop), QStringLiteral("-1"));
    TfrmMain w;
    QVERIFY(fx->prompter.Messages().isEmpty());
    QCOMPARE(Find<QComboBox>(w, "noop")->currentIndex(), -1);
    QCOMPARE(Find<QComboBox>(w, "noop")->placeholderText(), QStringLiteral("30"));
    QCOMPARE(w.VexFtp1()->NoopInterval(), quint16(30));
}

void TestMainWindow::defaultSiteKeptWhenNoneChecked_data()
{
    QTest::addColumn<int>("sites");
    QTest::addColumn<QString>("saved");
    QTest::newRow("no site at all") << 0 << "1";
    QTest::newRow("saved index past the list") << 2 << "7";
}

void TestMainWindow::defaultSiteKeptWhenNoneChecked()
{
    QFETCH(int, sites);
    QFETCH(QString, saved);
    QList<QStringList> profiles;
    for (int i = 0; i < sites; ++i)
        profiles.append(ProfileTexts(QStringLiteral("site %1").arg(i)));
    if (sites > 0)
        fx->WriteFile("velmar.ini", ProfileFileText(profiles));
    QMap<QString, QString> values = Saved();
    values[Pref::DefaultSite] = saved;
    TShellFixture::WritePreferences(values);
    {
        TfrmMain w;
        QVERIFY(fx->prompter.Messages().isEmpty());
        QVERIFY(CheckedSites(w).isEmpty());
        QVERIFY(w.close());
    }
    QCOMPARE(TShellFixture::ReadPreferences().value(Pref::DefaultSite), saved);
}

void TestMainWindow::brokenNumberStopsCreation_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("value"); // a null text removes the value
    QTest::addColumn<bool>("deleteArchiveApplied");
    QTest::newRow("Largeur not a number") << Pref::Width << "abc" << false;
    QTest::newRow("Position horizontale absent") << Pref::Left << QString() << false;
    QTest::newRow("Hauteur with a unit") << Pref::Height << "576px" << false;
    QTest::newRow("Mode Passif as a word") << Pref::PassiveMode << "passif" << false;
    QTest::newRow("Noop in letters") << Pref::Noop << "dix" << false;
    QTest::newRow("Compression with decimals") << Pref::Compression << "6.5" << false;
    QTest::newRow("Selection par défaut as a word") << Pref::DefaultSite << "un" << true;
}

void TestMainWindow::brokenNumberStopsCreation()
{
    QFETCH(QString, name);
    QFETCH(QString, value);
    QFETCH(bool, deleteArchiveApplied);
    fx->WriteFile("velmar.ini", ProfileFileText({ProfileTexts("a"), ProfileTexts("b")}));
    QMap<QString, QString> values = Saved();
    if (value.isNull())
        values.remove(name);
    else
        values[name] = value;
    TShellFixture::WritePreferences(values);

    TfrmMain w;
    QCOMPARE(fx->prompter.Messages(), QStringList{NotAnInteger.arg(value)});
    QCOMPARE(fx->prompter.Asked().first().caption, QStringLiteral("Velmar"));
    // The values before the broken one are applied, the rest of the
    // creation handler is skipped.
    QCOMPARE(Find<QLineEdit>(w, "tele")->text(), downloads.path());
    QCOMPARE(Find<QCheckBox>(w, "effacerarchive")->isChecked(), deleteArchiveApplied);
    QCOMPARE(Find<QLabel>(w, "replocal")->text(), downloads.path());
    if (name == Pref::Width) {
        QCOMPARE(w.pos(), QPoint(40, 30));
        QCOMPARE(w.size(), QSize(755, 576));
    }
}

void TestMainWindow::trayValue_data()
{
    QTest::addColumn<QString>("saved");
    QTest::addColumn<bool>("on");
    QTest::newRow("oui") << "oui" << true;
    QTest::newRow("non") << "non" << false;
    QTest::newRow("capitals") << "OUI" << false;
    QTest::newRow("empty") << "" << false;
}

void TestMainWindow::trayValue()
{
    QFETCH(QString, saved);
    QFETCH(bool, on);
    QMap<QString, QString> values = Saved();
    values[Pref::Tray] = saved;
    TShellFixture::WritePreferences(values);
    TfrmMain w;
    QVERIFY(fx->prompter.Messages().isEmpty());
    QCOMPARE(Find<QCheckBox>(w, "CheckBox8")->isChecked(), on);
    QCOMPARE(w.TrayIcon1()->Enabled(), on);
    QCOMPARE(w.TrayIcon1()->Shown(), on && QSystemTrayIcon::isSystemTrayAvailable());
    // The value read again before the event loop.
    QCOMPARE(TrayPreferenceSet(), on);
}

void TestMainWindow::trayBoxAndTaskbarButton()
{
    TfrmMain w;
    auto *box = Find<QCheckBox>(w, "CheckBox8");
    box->click();
    QVERIFY(w.TrayIcon1()->Enabled());
    QCOMPARE(w.TrayIcon1()->PopupMenu()->actions().size(), 2);
    QCOMPARE(w.TrayIcon1()->PopupMenu()->actions().first()->text(), QStringLiteral("&Montrer"));
    QVERIFY(!w.TrayIcon1()->AutoShow());
    box->click();
    QVERIFY(!w.TrayIcon1()->Enabled());

    w.show();
    w.SetTaskbarButtonHidden(true);
    QVERIFY(w.TaskbarButtonHidden());
    QVERIFY(w.isVisible());
    Find<QAction>(w, "Montrer1")->trigger();
    QVERIFY(!w.TaskbarButtonHidden());
    QVERIFY(w.isVisible());
    QVERIFY(!w.windowFlags().testFlag(Qt::Tool));
}

// With "Tray" saved as "oui" but no notification area (offscreen has none),
// the icon cannot be shown: the taskbar button stays, or the program could
// not be reached at all.
void TestMainWindow::taskbarButtonKeptWithoutTray()
{
    QVERIFY(!QSystemTrayIcon::isSystemTrayAvailable());
    QMap<QString, QString> values = Saved();
    values[Pref::Tray] = QStringLiteral("oui");
    TShellFixture::WritePreferences(values);
    TfrmMain w;
    w.show();
    QVERIFY(Find<QCheckBox>(w, "CheckBox8")->isChecked());
    QVERIFY(w.TrayIcon1()->Enabled());
    QVERIFY(!w.TrayIcon1()->Shown());

    QVERIFY(!w.HideTaskbarButtonForTray());
    QVERIFY(!w.TaskbarButtonHidden());
    QVERIFY(!w.windowFlags().testFlag(Qt::Tool));
    QVERIFY(w.isVisible());

    // A window left without its button (by any way) gets it back when the
    // icon is switched off.
    w.SetTaskbarButtonHidden(true);
    Find<QCheckBox>(w, "CheckBox8")->click();
    QVERIFY(!w.TrayIcon1()->Enabled());
    QVERIFY(!w.TaskbarButtonHidden());
    QVERIFY(!w.windowFlags().testFlag(Qt::Tool));
    QVERIFY(w.isVisible());
}

void TestMainWindow::schedulerProgramAtStartup_data()
{
    QTest::addColumn<QByteArray>("program"); // empty: no programmation.ini
    QTest::addColumn<QString>("schedulerValue");
    QTest::addColumn<bool>("boxEnabled");
    QTest::addColumn<bool>("boxChecked");
    QTest::addColumn<QString>("label");
    const QByteArray program = "le:\r\n01/01/2099\r\nà:\r\n10\r\n";
    QTest::newRow("no program file") << QByteArray() << "0" << true << false << "Programmation désactivée";
    QTest::newRow("cleared program, scheduler on") << QByteArray("Aucune\r\n") << "1" << false << false
                                                   << "Programmation désactivée";
    QTest::newRow("program, scheduler on") << program << "1" << true << true << "Programmation activée";
    QTest::newRow("program, scheduler off") << program << "0" << true << false << "Programmation désactivée";
}

void TestMainWindow::schedulerProgramAtStartup()
{
    QFETCH(QByteArray, program);
    QFETCH(QString, schedulerValue);
    QFETCH(bool, boxEnabled);
    QFETCH(bool, boxChecked);
    QFETCH(QString, label);
    if (!program.isEmpty())
        fx->WriteFile("programmation.ini", program);
    QMap<QString, QString> values = Saved();
    values[Pref::Scheduler] = schedulerValue;
    TShellFixture::WritePreferences(values);
    TfrmMain w;
    QVERIFY(fx->prompter.Messages().isEmpty());
    QCOMPARE(Find<QPlainTextEdit>(w, "Memo2")->toPlainText(),
             QString::fromUtf8(program).replace("\r\n", "\n").chopped(program.isEmpty() ? 0 : 1));
    QCOMPARE(Find<QCheckBox>(w, "CheckBox9")->isEnabled(), boxEnabled);
    QCOMPARE(Find<QCheckBox>(w, "CheckBox9")->isChecked(), boxChecked);
    QCOMPARE(Find<QLabel>(w, "Label24")->text(), label);
    QCOMPARE(w.Context().SchedulerEnabled(), boxChecked ? 1 : 0);
}

void TestMainWindow::downloadsFolderButton()
{
    TfrmMain w;
    const QString before = Find<QLineEdit>(w, "tele")->text();
    w.dialog3Click(); // cancelled
    QCOMPARE(Find<QLineEdit>(w, "tele")->text(), before);
    QCOMPARE(fx->prompter.Asked().last().kind, QStringLiteral("folder"));
    QCOMPARE(fx->prompter.Asked().last().caption, QStringLiteral("Répertoire des Fichiers téléchargés"));
    QCOMPARE(fx->prompter.Asked().last().value, before);

    fx->prompter.QueuePath(downloads.path());
    Find<QPushButton>(w, "dialog3")->click();
    QCOMPARE(Find<QLineEdit>(w, "tele")->text(), downloads.path());
    QCOMPARE(w.Context().LocalFolder(), downloads.path() + QLatin1Char('/'));
}

void TestMainWindow::helpFromAnyField()
{
    TfrmMain w;
    fx->WriteFile("aide.html", "<html></html>");
    const QUrl page = QUrl::fromLocalFile(fx->FilePath("aide.html"));
    for (const char *field : {"HostTxt", "commande", "ListBox1"}) {
        fx->opened.clear();
        QTest::keyClick(Find<QWidget>(w, field), Qt::Key_F1);
        QCOMPARE(fx->opened, QList<QUrl>{page});
    }
    fx->opened.clear();
    Find<QAction>(w, "AidedeVelmar1")->trigger();
    QCOMPARE(fx->opened, QList<QUrl>{page});

    QVERIFY(QFile::remove(fx->FilePath("aide.html")));
    fx->opened.clear();
    w.FormKeyDown(Qt::Key_F1);
    QVERIFY(fx->opened.isEmpty());
    QCOMPARE(fx->prompter.Messages(),
             QStringList{QStringLiteral("Le fichier d'aide « %1 » est introuvable.").arg(fx->FilePath("aide.html"))});
}

void TestMainWindow::aboutAndMail()
{
    TfrmMain w;
    Find<QAction>(w, "APropos1")->trigger();
    QCOMPARE(Find<QTabWidget>(w, "PageControl1")->currentWidget(), Find<QWidget>(w, "TabSheet6"));
    Find<QAction>(w, "Mcrire1")->trigger();
    QCOMPARE(fx->opened.size(), 1);
    QCOMPARE(fx->opened.first().scheme(), QStringLiteral("mailto"));
    QCOMPARE(fx->opened.first().path(), TfrmMain::ContactAddress());
    QCOMPARE(QUrlQuery(fx->opened.first()).queryItemValue(QStringLiteral("subject")), QStringLiteral("velmar"));
}

void TestMainWindow::openFailureTellsWhereTheHelpIs_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<QString>("what");
    QTest::newRow("F1") << "F1" << "l'aide de Velmar";
    QTest::newRow("Aide de &Velmar") << "AidedeVelmar1" << "l'aide de Velmar";
    QTest::newRow("&M'écrire") << "Mcrire1"
                               << QStringLiteral("la messagerie pour écrire à %1").arg(TfrmMain::ContactAddress());
    QTest::newRow("web page") << "ToolButton32" << "la page web « http://www.example.net/velmar »";
}

// A desktop without an opener: the user is told so, and where the help file
// is, so that the help can still be read.
void TestMainWindow::openFailureTellsWhereTheHelpIs()
{
    QFETCH(QString, command);
    QFETCH(QString, what);
    QList<QUrl> tried;
    SetUrlOpener([&tried](const QUrl &url) {
        tried.append(url);
        return false;
    });
    fx->WriteFile("aide.html", "<html></html>");
    TfrmMain w;
    Find<QLineEdit>(w, "web")->setText(QStringLiteral("http://www.example.net/velmar"));
    if (command == QLatin1String("F1"))
        QTest::keyClick(Find<QWidget>(w, "HostTxt"), Qt::Key_F1);
    else
        Find<QAction>(w, command.toLatin1().constData())->trigger();

    QCOMPARE(tried.size(), 1);
    const QString help = fx->FilePath("aide.html");
    const QString expected = QStringLiteral("Impossible d'ouvrir %1 : aucun programme du bureau ne s'en est chargé "
                                            "(le paquet xdg-utils est-il installé ?).\n"
                                            "L'aide de Velmar se trouve dans le fichier « %2 » : ouvrez-le avec "
                                            "votre navigateur.")
                                 .arg(what, help);
    QCOMPARE(fx->prompter.Messages(), QStringList{expected});
    QCOMPARE(fx->prompter.Asked().first().caption, QStringLiteral("Velmar"));

    // A desktop that opens it says nothing.
    fx->prompter.Clear();
    SetUrlOpener([](const QUrl &) { return true; });
    Find<QAction>(w, "AidedeVelmar1")->trigger();
    QVERIFY(fx->prompter.Messages().isEmpty());
}

void TestMainWindow::statusPanelsShowWholeTexts_data()
{
    QTest::addColumn<QString>("status");
    QTest::addColumn<QString>("message");
    QTest::addColumn<int>("rows");
    const QString connected = QStringLiteral("Status : Connecté le : 31/12/2024 à 23:59:59 sur 127.0.0.1");
    QTest::newRow("start") << "Status: " << QString() << 1;
    QTest::newRow("connected, no message") << connected << QString() << 1;
    QTest::newRow("resume supported")
        << connected << "Ce site permet de reprendre les téléchargements incomplets" << 2;
    QTest::newRow("resume unavailable")
        << connected << "Ce site ne permet pas reprendre les téléchargements incomplets" << 2;
    QTest::newRow("cannot resolve")
        << "Status : Déconnecté le : 31/12/2024 à 23:59:59"
        << "Impossible de joindre le serveur - Cause probable: connexion internet inactive" << 2;
    QTest::newRow("dialling") << "Appel..." << QString() << 1;
}

// At the designed 755 pixels, each panel of the explorer tab's status bar
// shows its whole text; the messages go to a row of their own when they do
// not fit beside the others, and come back when they are gone.
void TestMainWindow::statusPanelsShowWholeTexts()
{
    QFETCH(QString, status);
    QFETCH(QString, message);
    QFETCH(int, rows);
    TfrmMain w;
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    QCOMPARE(w.size(), QSize(755, 576));
    auto *bar = Find<TPanelBar>(w, "StatusBar1");
    bar->SetPanelText(0, status);
    bar->SetPanelText(1, message);
    bar->SetPanelText(2, QStringLiteral("31/12/2024 - 23:59:59"));
    QTRY_COMPARE_WITH_TIMEOUT(bar->RowCount(), rows, 2000);
    QTRY_COMPARE_WITH_TIMEOUT(bar->height(), bar->sizeHint().height(), 2000);

    QList<QRect> used;
    for (int i = 0; i < TPanelBar::PanelCount; ++i) {
        const QLabel *panel = bar->Panel(i);
        const QRect area = panel->geometry();
        QVERIFY2(area.width() >= panel->sizeHint().width(),
                 qPrintable(QStringLiteral("panel %1: %2 < %3").arg(i).arg(area.width()).arg(panel->sizeHint().width())));
        QVERIFY2(bar->rect().contains(area), qPrintable(QStringLiteral("panel %1 outside the bar").arg(i)));
        for (const QRect &other : std::as_const(used))
            QVERIFY2(!other.intersects(area), qPrintable(QStringLiteral("panel %1 overlaps").arg(i)));
        used.append(area);
    }
    // The status panel keeps its designed width when its text is shorter.
    QVERIFY(bar->Panel(0)->width() >= 350);
    // The bar stays within the window, above its bottom edge.
    QVERIFY(w.rect().contains(QRect(bar->mapTo(&w, QPoint(0, 0)), bar->size())));
}

void TestMainWindow::shutdownDeletesOpenedFiles()
{
    QTemporaryDir temp;
    const QStringList files{temp.filePath("liste.txt"), temp.filePath("image.bin")};
    for (const QString &path : files) {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
    }
    TfrmMain w;
    w.Context().OpenedFiles() << files << temp.filePath("déjà supprimé.txt");
    QSignalSpy closed(&w, &TfrmMain::Closed);
    QVERIFY(w.close());
    QCOMPARE(closed.count(), 1);
    for (const QString &path : files)
        QVERIFY2(!QFile::exists(path), qPrintable(path));
    QVERIFY(w.Context().OpenedFiles().isEmpty());
    QVERIFY(!w.Context().Quitting());
    QCOMPARE(TShellFixture::ReadPreferences().size(), 16); // no site checked
}

void TestMainWindow::quitSetsQuitting()
{
    TfrmMain w;
    w.show();
    QSignalSpy closed(&w, &TfrmMain::Closed);
    Find<QAction>(w, "Quitter1")->trigger();
    QVERIFY(w.Context().Quitting());
    QCOMPARE(closed.count(), 1);
    QVERIFY(!w.isVisible());
}

void TestMainWindow::windowsVersionLabel_data()
{
    QTest::addColumn<int>("major");
    QTest::addColumn<int>("minor");
    QTest::addColumn<bool>("nt");
    QTest::addColumn<QString>("label");
    QTest::newRow("NT 3.51") << 3 << 51 << true << "Windows NT 3.51";
    QTest::newRow("3.10") << 3 << 10 << false << "unknown";
    QTest::newRow("NT 4.0") << 4 << 0 << true << "Windows NT 4.0";
    QTest::newRow("95") << 4 << 0 << false << "Windows 95";
    QTest::newRow("98") << 4 << 10 << false << "Windows 98";
    QTest::newRow("ME") << 4 << 90 << false << "Windows ME";
    QTest::newRow("2000") << 5 << 0 << true << "Windows 2000";
    QTest::newRow("XP") << 5 << 1 << true << "Windows XP";
    QTest::newRow("5.2") << 5 << 2 << true << "Inconnu";
    QTest::newRow("10.0") << 10 << 0 << true << "Inconnu";
}

void TestMainWindow::windowsVersionLabel()
{
    QFETCH(int, major);
    QFETCH(int, minor);
    QFETCH(bool, nt);
    QFETCH(QString, label);
    QCOMPARE(WindowsVersionLabel(major, minor, nt), label);
}

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
