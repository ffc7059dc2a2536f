#include "MainWindowPrivate.h"

#include "AppFiles.h"
#include "DialUp.h"
#include "Ftp.h"
#include "FtpListView.h"
#include "FtpMsg.h"
#include "FtpTreeView.h"
#include "Prompts.h"
#include "RadioGroup.h"
#include "SystemLabel.h"
#include "TrayIcon.h"
#include "UrlOpener.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDateTime>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QLocale>
#include <QPushButton>
#include <QTabWidget>
#include <QTimer>
#include <QTreeWidget>

namespace {
void ConnectControls(TfrmMain *w, TfrmMain::Private &d)
{
    const auto on = [w](QAction *action, void (TfrmMain::*handler)()) {
        QObject::connect(action, &QAction::triggered, w, [w, handler] { (w->*handler)(); });
    };
    on(d.ToolButton1, &TfrmMain::ToolButton1Click);
    on(d.Connecter1, &TfrmMain::ToolButton1Click);
    on(d.ToolButton2, &TfrmMain::ToolButton2Click);
    on(d.Dconnecter1, &TfrmMain::ToolButton2Click);
    on(d.connexioonrapide, &TfrmMain::connexioonrapideClick);
    on(d.Connexionrapide1, &TfrmMain::connexioonrapideClick);
    on(d.ToolButton10, &TfrmMain::ToolButton10Click);
    on(d.ToolButton32, &TfrmMain::ToolButton32Click);
    on(d.Quitter1, &TfrmMain::Quitter1Click);
    on(d.Quitter2, &TfrmMain::Quitter1Click);
    on(d.Montrer1, &TfrmMain::Montrer1Click);
    on(d.AidedeVelmar1, &TfrmMain::AidedeVelmar1Click);
    on(d.APropos1, &TfrmMain::APropos1Click);
    on(d.Mcrire1, &TfrmMain::Mcrire1Click);

    // Only the user's choices run the handlers; the program selects entries
    // without changing the client.
    QObject::connect(d.asciimode, &QComboBox::activated, w, &TfrmMain::asciimodeChange);
    QObject::connect(d.Transfertype, &QComboBox::activated, w, &TfrmMain::TransfertypeChange);
    QObject::connect(d.noop, &QComboBox::activated, w, &TfrmMain::noopChange);

    // The settings' radio groups drive the same modes as the tool-bar
    // lists (their entries run in the opposite order).
    QObject::connect(d.modetransfert, &TRadioGroup::Clicked, w, [w, &d](int index) {
        d.asciimode->setCurrentIndex(index == 0 ? 1 : 0);
        w->asciimodeChange();
    });
    QObject::connect(d.modeftp, &TRadioGroup::Clicked, w, [w, &d](int index) {
        d.Transfertype->setCurrentIndex(index == 0 ? 1 : 0);
        w->TransfertypeChange();
    });

    QObject::connect(d.CheckBox8, &QCheckBox::clicked, w, &TfrmMain::CheckBox8Click);
    QObject::connect(d.CheckBox9, &QCheckBox::toggled, w, [&d](bool checked) {
        // The scheduler arms or stops its timer here as well.
        d.schedulerEnabled = checked ? 1 : 0;
        d.Label24->setText(checked ? MainText::SchedulerOn : MainText::SchedulerOff);
    });
    QObject::connect(d.dialog3, &QPushButton::clicked, w, &TfrmMain::dialog3Click);
    QObject::connect(d.connexionactive, &QTimer::timeout, w, &TfrmMain::connexionactiveTimer);
    QObject::connect(d.ok, &QTimer::timeout, w, &TfrmMain::okTimer);
    QObject::connect(d.PageControl1, &QTabWidget::currentChanged, w, &TfrmMain::PageControl1Change);
    QObject::connect(d.VexFtpTreeView1, &QTreeWidget::currentItemChanged, w, &TfrmMain::VexFtpTreeView1Change);

    // Site manager.
    QObject::connect(d.ListBox1, &QListWidget::itemClicked, w, &TfrmMain::ListBox1Click);
    QObject::connect(d.ListBox1, &QListWidget::currentRowChanged, w, [w, &d](int row) {
        // Keyboard moves load the entry; a mouse click loads it on release.
        if (!d.fillingSiteList && row >= 0 && d.ListBox1->hasFocus()
            && QApplication::mouseButtons() == Qt::NoButton)
            w->ListBox1Click();
    });
    QObject::connect(d.ListBox1, &QListWidget::itemChanged, w, [w, &d](QListWidgetItem *item) {
        if (d.fillingSiteList)
            return;
        d.fillingSiteList = true;
        d.ListBox1->setCurrentItem(item);
        d.fillingSiteList = false;
        w->ListBox1ClickCheck();
    });
    QObject::connect(d.nouvelle, &QPushButton::clicked, w, &TfrmMain::nouvelleClick);
    QObject::connect(d.sauver, &QPushButton::clicked, w, &TfrmMain::sauverClick);
    QObject::connect(d.supprimer, &QPushButton::clicked, w, &TfrmMain::supprimerClick);
    // The proxy fields follow the box, so that a new profile can be given
    // a proxy.
    QObject::connect(d.CheckBox1, &QCheckBox::toggled, w, [&d](bool on) { d.SetProxyFieldsEnabled(on); });
}

QString HelpFilePath()
{
    const QString besideProgram = QCoreApplication::applicationDirPath() + QStringLiteral("/aide.html");
    if (QFileInfo::exists(besideProgram))
        return besideProgram;
    return FilePathInFilesFolder(QStringLiteral("aide.html"));
}
}

TfrmMain::TfrmMain(QWidget *parent) : QMainWindow(parent), d(std::make_unique<Private>())
{
    BuildMainWindow(this, *d);
    ConnectControls(this, *d);
    ConnectClientHandlers(this, *d);
    ConnectDialUpHandlers(this, *d);
    qApp->installEventFilter(this);
    d->connexionactive->start();
    FormCreate();
}

TfrmMain::~TfrmMain()
{
    qApp->removeEventFilter(this);
    // Nothing the client or the dial-up component still reports may reach
    // controls that are going.
    DisconnectClientHandlers(*d);
    DisconnectDialUpHandlers(*d);
    // The views let go of the client before it goes.
    delete d->VexFtpMessenger1;
    delete d->VexFtpListView1;
    delete d->VexFtpTreeView1;
    delete d->VexFtp1;
}

TVexFtp *TfrmMain::VexFtp1() const { return d->VexFtp1; }
TDialUp *TfrmMain::DialUp1() const { return d->DialUp1; }
TTrayIcon *TfrmMain::TrayIcon1() const { return d->TrayIcon1; }
bool TfrmMain::Quitting() const { return d->quitting; }
void TfrmMain::SetQuitting(bool on) { d->quitting = on; }
bool TfrmMain::ScheduledRunActive() const { return d->scheduledRunActive; }
void TfrmMain::SetScheduledRunActive(bool on) { d->scheduledRunActive = on; }
bool TfrmMain::AnswerForAll() const { return d->answerForAll; }
bool TfrmMain::QuickExplorerActive() const { return d->quickExplorerActive; }
QString TfrmMain::TreeFolder() const { return d->treeFolder; }

void TfrmMain::SetAnswerForAll(bool on)
{
    d->answerForAll = on;
    if (!on)
        d->answerForAllReply.clear();
}
int TfrmMain::SchedulerEnabled() const { return d->schedulerEnabled; }
QStringList &TfrmMain::OpenedFiles() { return d->openedFiles; }
QString TfrmMain::ProfilePath() const { return d->profilePath; }
QString TfrmMain::LocalFolder() const { return d->localFolder; }

void TfrmMain::SelectLocalFolder(const QString &folder)
{
    d->localFolder = folder.endsWith(QLatin1Char('/')) ? folder : folder + QLatin1Char('/');
}

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
    d->quitting = true;
    // While quitting, every active connection the enumeration reports is
    // hung up, whoever dialled it.
    if (d->deconnecter->isChecked())
        d->ListActiveConnections();
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

void TfrmMain::CheckBox8Click()
{
    d->TrayIcon1->SetEnabled(d->CheckBox8->isChecked());
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
    SelectLocalFolder(folder + QLatin1Char('/'));
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
    OpenUrl(QUrl::fromLocalFile(path));
}

void TfrmMain::APropos1Click()
{
    d->PageControl1->setCurrentWidget(d->TabSheet6);
}

void TfrmMain::Mcrire1Click()
{
    OpenUrl(QUrl(QStringLiteral("mailto:") + ContactAddress() + QStringLiteral("?subject=velmar")));
}

void TfrmMain::connexionactiveTimer()
{
    const QDateTime now = QDateTime::currentDateTime();
    const QString clock = ShortDateText(now.date()) + QStringLiteral(" - ") + LongTimeText(now.time());
    d->statusPanels[2]->setText(clock);
    d->quickStatusPanels[2]->setText(clock);
    d->ListActiveConnections();
}

bool TfrmMain::eventFilter(QObject *watched, QEvent *event)
{
    // F1 reaches the window from any of its controls.
    if (event->type() == QEvent::KeyPress && static_cast<QKeyEvent *>(event)->key() == Qt::Key_F1
        && watched->isWidgetType() && static_cast<QWidget *>(watched)->window() == this) {
        FormKeyDown(Qt::Key_F1);
        return true;
    }
    return QMainWindow::eventFilter(watched, event);
}

QString ShortDateText(const QDate &date)
{
    return QLocale().toString(date, QLocale::ShortFormat);
}

QString LongTimeText(const QTime &time)
{
    const QLocale locale;
    // The long time format without its time zone.
    const QString format = locale.timeFormat(QLocale::LongFormat).remove(QLatin1Char('t')).trimmed();
    return locale.toString(time, format);
}

void SetIndicatorColour(QLabel *indicator, const QColor &colour)
{
    indicator->setProperty("colour", colour);
    indicator->setStyleSheet(QStringLiteral("QLabel { background-color: %1; border: 1px solid; "
                                            "border-color: #808080 #ffffff #ffffff #808080; }")
                                 .arg(colour.name()));
}

void TfrmMain::Private::SetCaptionFromProfile(QMainWindow *window) const
{
    window->setWindowTitle(MainText::CaptionPrefix + connect->text());
}
