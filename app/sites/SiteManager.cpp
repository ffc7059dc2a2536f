// The site manager of the settings tab: the profile editor, the check list
// "Sites Ftp" and the file velmar.ini behind them, quick connect, and the
// hand-over of the editor's profile to the client and to the quick-explorer panel.

#include "SiteManager.h"

#include "AppContext.h"
#include "AppError.h"
#include "AppTexts.h"
#include "Ftp.h"
#include "Prompts.h"
#include "StrictDecimal.h"
#include "UrlOpener.h"
#include "WidgetHelpers.h"

#include <QApplication>
#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

namespace {
const QString SaveFailed = QStringLiteral("Impossible d'enregistrer les connexions dans « %1 » : %2");
const QString ReadFailed = QStringLiteral("Impossible de lire le fichier des connexions « %1 » : %2");

// A port as the client takes it: a decimal number from 1 to 65535.
int PortValue(const QString &text)
{
    const int port = StrToInt(text);
    if (port < 1 || port > 65535)
        throw TVelmarError(QStringLiteral("'%1' n'est pas un numéro de port correct (1 à 65535)").arg(text));
    return port;
}

QListWidgetItem *SiteItem(const QString &name)
{
    auto *item = new QListWidgetItem(name);
    item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
    item->setCheckState(Qt::Unchecked);
    return item;
}

// The file read for a change, or nothing (after telling the user) when an
// existing file cannot be read: it is then left as it is.
std::optional<TProfileFile> ReadForChange(QWidget *window, const QString &path)
{
    TProfileFile file = ReadProfileFile(path);
    if (file.state == TProfileFileState::Unreadable) {
        Prompts().Message(window, MainText::Caption, ReadFailed.arg(path, file.error), TMessageKind::Error);
        return std::nullopt;
    }
    return file;
}

QLineEdit *Field(QWidget *parent, const char *name, const QString &hint)
{
    auto *field = Named(new QLineEdit(parent), name);
    field->setToolTip(hint);
    return field;
}
}

TSiteManager::TSiteManager(TAppContext &context, QWidget *parent) : QObject(parent), context(context)
{
    setObjectName(QStringLiteral("SiteManager"));
    BuildEditor(parent);
    BuildSiteList(parent);
    ConnectControls();
}

void TSiteManager::BuildEditor(QWidget *parent)
{
    GroupBox1 = Named(new QGroupBox(QStringLiteral("Connexion"), parent), "GroupBox1");
    auto *form = new QGridLayout(GroupBox1);
    form->setContentsMargins(6, 2, 6, 4);
    form->setVerticalSpacing(2);
    connect = Field(GroupBox1, "connect", QStringLiteral("Donnez un nom à votre connexion"));
    HostTxt = Field(GroupBox1, "HostTxt", QStringLiteral("Rentrez ici l'adresse EXACTE de votre serveur web"));
    PortTxt = Field(GroupBox1, "PortTxt", QStringLiteral("Si vous ne savez pas quoi faire, laissez le port à 21"));
    UserTxt = Field(GroupBox1, "UserTxt", QStringLiteral("Rentrez ici votre identifiant"));
    PassTxt = Field(GroupBox1, "PassTxt", QStringLiteral("Rentrez ici votre mot de passe"));
    PassTxt->setEchoMode(QLineEdit::Password);
    CheckBox1 = Named(new QCheckBox(QStringLiteral("Utiliser un Serveur Proxy"), GroupBox1), "CheckBox1");
    CheckBox1->setToolTip(QStringLiteral("Cochez la case si vous utilisez un Proxy"));
    ProxyTxt = Field(GroupBox1, "ProxyTxt", QStringLiteral("Rentrez l'adresse du Proxy"));
    Portproxy = Field(GroupBox1, "Portproxy", QStringLiteral("Rentrez ici le port de votre proxy"));
    web = Field(GroupBox1, "web", QStringLiteral("Page web du site"));
    defaurep = Field(GroupBox1, "defaurep", QStringLiteral("répertoire par défaut"));
    PortTxt->setFixedWidth(56);
    Portproxy->setFixedWidth(56);
    const auto row = [form, this](int r, const QString &label, QWidget *field, int column, int span) {
        auto *caption = new QLabel(label, GroupBox1);
        caption->setToolTip(field->toolTip());
        form->addWidget(caption, r, column);
        form->addWidget(field, r, column + 1, 1, span);
    };
    row(0, QStringLiteral("Connexion"), connect, 0, 2);
    row(1, QStringLiteral("Hôte"), HostTxt, 0, 2);
    row(2, QStringLiteral("Port"), PortTxt, 0, 1);
    row(3, QStringLiteral("ID"), UserTxt, 0, 2);
    row(4, QStringLiteral("Mot de Passe"), PassTxt, 0, 2);
    form->addWidget(CheckBox1, 5, 0, 1, 3);
    row(6, QStringLiteral("Serveur Proxy"), ProxyTxt, 0, 2);
    row(7, QStringLiteral("Port Proxy"), Portproxy, 0, 1);
    row(8, QStringLiteral("Page web"), web, 0, 2);
    row(9, QStringLiteral("Rép. de base"), defaurep, 0, 2);
    form->setColumnStretch(2, 1);
    ProxyTxt->setEnabled(false);
    Portproxy->setEnabled(false);
    // What the editor shows when no profile file exists.
    connect->setText(QStringLiteral("connect"));
    HostTxt->setText(QStringLiteral("ftp.example.com"));
    PortTxt->setText(QStringLiteral("21"));
    UserTxt->setText(QStringLiteral("anonymous"));
    PassTxt->setText(SiteText::SamplePassword);
}

void TSiteManager::BuildSiteList(QWidget *parent)
{
    GroupBox2 = Named(new QGroupBox(QStringLiteral("Sites Ftp"), parent), "GroupBox2");
    auto *layout = new QVBoxLayout(GroupBox2);
    layout->setContentsMargins(6, 2, 6, 4);
    layout->setSpacing(3);
    ListBox1 = Named(new QListWidget(GroupBox2), "ListBox1");
    ListBox1->setMinimumHeight(60);
    layout->addWidget(ListBox1, 1);
    auto *buttons = new QGridLayout;
    buttons->setSpacing(3);
    nouvelle = Named(new QPushButton(QStringLiteral("Nouvelle connexion"), GroupBox2), "nouvelle");
    supprimer = Named(new QPushButton(QStringLiteral("Supprimer la connexion"), GroupBox2), "supprimer");
    sauver = Named(new QPushButton(QStringLiteral("Sauver la connexion"), GroupBox2), "sauver");
    for (QPushButton *b : {nouvelle, supprimer, sauver})
        b->setAutoDefault(false);
    buttons->addWidget(nouvelle, 0, 0);
    buttons->addWidget(supprimer, 0, 1);
    buttons->addWidget(sauver, 1, 0, 1, 2);
    layout->addLayout(buttons);
}

void TSiteManager::ConnectControls()
{
    context.Connect(ListBox1, &QListWidget::itemClicked, this, &TSiteManager::ListBox1Click);
    context.Connect(ListBox1, &QListWidget::currentRowChanged, this, [this](int row) {
        // Keyboard moves load the entry; a mouse click loads it on release.
        if (!fillingSiteList && row >= 0 && ListBox1->hasFocus() && QApplication::mouseButtons() == Qt::NoButton)
            ListBox1Click();
    });
    context.Connect(ListBox1, &QListWidget::itemChanged, this, [this](QListWidgetItem *item) {
        if (fillingSiteList)
            return;
        fillingSiteList = true;
        ListBox1->setCurrentItem(item);
        fillingSiteList = false;
        ListBox1ClickCheck();
    });
    context.Connect(nouvelle, &QPushButton::clicked, this, &TSiteManager::nouvelleClick);
    context.Connect(sauver, &QPushButton::clicked, this, &TSiteManager::sauverClick);
    context.Connect(supprimer, &QPushButton::clicked, this, &TSiteManager::supprimerClick);
    // The proxy fields follow the box, so that a new profile can be given a
    // proxy.
    context.Connect(CheckBox1, &QCheckBox::toggled, this, [this](bool on) { SetProxyFieldsEnabled(on); });
}

SiteProfile TSiteManager::EditorProfile() const
{
    SiteProfile p;
    p.name = connect->text();
    p.host = HostTxt->text();
    p.port = PortTxt->text();
    p.user = UserTxt->text();
    p.password = PassTxt->text();
    p.proxyFlag = CheckBox1->isChecked() ? QStringLiteral("1") : QStringLiteral("0");
    p.proxyHost = ProxyTxt->text();
    p.proxyPort = Portproxy->text();
    p.webPage = web->text();
    p.baseDirectory = defaurep->text();
    return p;
}

void TSiteManager::SetEditorProfile(const SiteProfile &p)
{
    connect->setText(p.name);
    HostTxt->setText(p.host);
    PortTxt->setText(p.port);
    UserTxt->setText(p.user);
    PassTxt->setText(p.password);
    const bool proxy = p.proxyFlag != QLatin1String("0");
    CheckBox1->setChecked(proxy);
    SetProxyFieldsEnabled(proxy);
    ProxyTxt->setText(p.proxyHost);
    Portproxy->setText(p.proxyPort);
    web->setText(p.webPage);
    defaurep->setText(p.baseDirectory);
}

void TSiteManager::SetProxyFieldsEnabled(bool enabled)
{
    ProxyTxt->setEnabled(enabled);
    Portproxy->setEnabled(enabled);
}

QString TSiteManager::ProfileName() const
{
    return connect->text();
}

void TSiteManager::SetCaptionFromProfile()
{
    context.Window()->setWindowTitle(MainText::CaptionPrefix + ProfileName());
}

void TSiteManager::LoadAllProfiles()
{
    const TProfileFile file = ReadProfileFile(context.ProfilePath());
    if (file.state == TProfileFileState::Missing)
        return;
    fillingSiteList = true;
    ListBox1->clear();
    if (file.state == TProfileFileState::Read && file.lines.size() > ProfileHeaderLineCount) {
        if (const std::optional<SiteProfile> first = ProfileAt(file.lines, 0))
            SetEditorProfile(*first);
        for (const QString &name : ProfileNames(file.lines))
            ListBox1->addItem(SiteItem(name));
    }
    fillingSiteList = false;
}

void TSiteManager::ListBox1Click()
{
    const int index = ListBox1->currentRow();
    if (index >= 0) {
        const TProfileFile file = ReadProfileFile(context.ProfilePath());
        if (file.state == TProfileFileState::Read)
            if (const std::optional<SiteProfile> profile = ProfileAt(file.lines, index))
                SetEditorProfile(*profile);
    }
    SetCaptionFromProfile();
}

void TSiteManager::ListBox1ClickCheck()
{
    fillingSiteList = true;
    const int selected = ListBox1->currentRow();
    for (int row = 0; row < ListBox1->count(); ++row)
        ListBox1->item(row)->setCheckState(row == selected ? Qt::Checked : Qt::Unchecked);
    fillingSiteList = false;
}

void TSiteManager::nouvelleClick()
{
    connect->setText(QStringLiteral("nouvelle connexion"));
    HostTxt->setText(QStringLiteral("ftp."));
    PortTxt->setText(QStringLiteral("21"));
    UserTxt->setText(QStringLiteral("anonymous"));
    PassTxt->setText(SiteText::SamplePassword);
    ProxyTxt->clear();
    Portproxy->clear();
    web->clear();
    defaurep->clear();
    connect->setFocus();
}

void TSiteManager::sauverClick()
{
    const QString path = context.ProfilePath();
    std::optional<TProfileFile> file = ReadForChange(context.Window(), path);
    if (!file)
        return;
    AppendProfile(file->lines, EditorProfile());
    QString error;
    if (!WriteProfileFile(path, file->lines, &error)) {
        Prompts().Message(context.Window(), MainText::Caption, SaveFailed.arg(path, error), TMessageKind::Error);
        return;
    }
    fillingSiteList = true;
    ListBox1->addItem(SiteItem(connect->text()));
    fillingSiteList = false;
}

void TSiteManager::supprimerClick()
{
    const int index = ListBox1->currentRow();
    if (index < 0)
        return;
    const QString path = context.ProfilePath();
    std::optional<TProfileFile> file = ReadForChange(context.Window(), path);
    if (!file)
        return;
    if (file->state == TProfileFileState::Read && file->lines.size() > ProfileHeaderLineCount) {
        // A block cut short, or an entry the file no longer has, is left alone.
        if (!RemoveProfileAt(file->lines, index))
            return;
        QString error;
        if (!WriteProfileFile(path, file->lines, &error)) {
            Prompts().Message(context.Window(), MainText::Caption, SaveFailed.arg(path, error), TMessageKind::Error);
            return;
        }
    }
    fillingSiteList = true;
    ListBox1->clear();
    fillingSiteList = false;
    LoadAllProfiles();
}

void TSiteManager::connexioonrapideClick()
{
    TVexFtp *client = context.VexFtp1();
    QString answer;
    if (!Prompts().Input(context.Window(), QStringLiteral("Saisie rapide"), QStringLiteral("Site Ftp"), answer))
        answer.clear();
    client->SetServer(answer);
    if (client->Server().isEmpty())
        return;
    if (client->Connected())
        client->Close();
    client->Login();
}

void TSiteManager::ApplyProfileToClient(const QString &initialDirectory)
{
    TVexFtp *client = context.VexFtp1();
    // A checked box logs in through the proxy with "USER utilisateur@site",
    // the form most FTP proxies understand. An unchecked box connects
    // directly, even when an earlier profile went through a proxy.
    if (CheckBox1->isChecked()) {
        client->SetProxyServer(ProxyTxt->text());
        client->SetProxyPort(PortValue(Portproxy->text()));
        client->SetProxyType(proxyUserSite);
    } else {
        client->SetProxyType(proxyNone);
    }
    client->SetServer(HostTxt->text());
    client->SetPort(quint16(PortValue(PortTxt->text())));
    client->SetTimeOut(20);
    client->SetUsername(UserTxt->text());
    client->SetPassword(PassTxt->text());
    client->SetInitialDirectory(initialDirectory);
}

TQuickPanelProfile TSiteManager::ProfileForQuickPanel() const
{
    TQuickPanelProfile profile;
    profile.host = HostTxt->text();
    profile.port = quint16(PortValue(PortTxt->text()));
    profile.user = UserTxt->text();
    profile.password = PassTxt->text();
    return profile;
}

void TSiteManager::ToolButton32Click()
{
    const QString page = web->text().trimmed();
    if (page.isEmpty())
        return;
    OpenUrlOrTell(context.Window(), QUrl::fromUserInput(page), QStringLiteral("la page web « %1 »").arg(page));
}

int TSiteManager::SelectSitesNamed(const QString &name)
{
    int found = 0;
    for (int row = 0; row < ListBox1->count(); ++row) {
        if (ListBox1->item(row)->text() != name)
            continue;
        fillingSiteList = true;
        ListBox1->setCurrentRow(row);
        fillingSiteList = false;
        ListBox1Click();
        ++found;
    }
    return found;
}

void TSiteManager::SelectDefaultSite(int index)
{
    if (index < 0 || index >= ListBox1->count())
        return;
    fillingSiteList = true;
    ListBox1->setCurrentRow(index);
    ListBox1->item(index)->setCheckState(Qt::Checked);
    fillingSiteList = false;
    ListBox1Click();
}

QList<int> TSiteManager::CheckedSites() const
{
    QList<int> rows;
    for (int row = 0; row < ListBox1->count(); ++row)
        if (ListBox1->item(row)->checkState() == Qt::Checked)
            rows.append(row);
    return rows;
}

int TSiteManager::SiteCount() const
{
    return ListBox1->count();
}
