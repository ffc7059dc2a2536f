// The site manager of the settings tab: the profile editor, the check list
// "Sites Ftp" and the file velmar.ini behind them, quick connect, and the
// hand-over of the editor's profile to the client.

#include "MainWindowPrivate.h"

#include "AppError.h"
#include "Ftp.h"
#include "Prompts.h"
#include "RadioGroup.h"
#include "StrictDecimal.h"
#include "UrlOpener.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>

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
}

SiteProfile TfrmMain::Private::EditorProfile() const
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

void TfrmMain::Private::SetEditorProfile(const SiteProfile &p)
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

void TfrmMain::Private::SetProxyFieldsEnabled(bool enabled)
{
    ProxyTxt->setEnabled(enabled);
    Portproxy->setEnabled(enabled);
}

void TfrmMain::LoadAllProfiles()
{
    const TProfileFile file = ReadProfileFile(d->profilePath);
    if (file.state == TProfileFileState::Missing)
        return;
    d->fillingSiteList = true;
    d->ListBox1->clear();
    if (file.state == TProfileFileState::Read && file.lines.size() > ProfileHeaderLineCount) {
        if (const std::optional<SiteProfile> first = ProfileAt(file.lines, 0))
            d->SetEditorProfile(*first);
        for (const QString &name : ProfileNames(file.lines))
            d->ListBox1->addItem(SiteItem(name));
    }
    d->fillingSiteList = false;
}

void TfrmMain::ListBox1Click()
{
    const int index = d->ListBox1->currentRow();
    if (index >= 0) {
        const TProfileFile file = ReadProfileFile(d->profilePath);
        if (file.state == TProfileFileState::Read)
            if (const std::optional<SiteProfile> profile = ProfileAt(file.lines, index))
                d->SetEditorProfile(*profile);
    }
    d->SetCaptionFromProfile(this);
}

void TfrmMain::ListBox1ClickCheck()
{
    d->fillingSiteList = true;
    const int selected = d->ListBox1->currentRow();
    for (int row = 0; row < d->ListBox1->count(); ++row)
        d->ListBox1->item(row)->setCheckState(row == selected ? Qt::Checked : Qt::Unchecked);
    d->fillingSiteList = false;
}

void TfrmMain::nouvelleClick()
{
    d->connect->setText(QStringLiteral("nouvelle connexion"));
    d->HostTxt->setText(QStringLiteral("ftp."));
    d->PortTxt->setText(QStringLiteral("21"));
    d->UserTxt->setText(QStringLiteral("anonymous"));
    d->PassTxt->setText(MainText::SamplePassword);
    d->ProxyTxt->clear();
    d->Portproxy->clear();
    d->web->clear();
    d->defaurep->clear();
    d->connect->setFocus();
}

void TfrmMain::sauverClick()
{
    std::optional<TProfileFile> file = ReadForChange(this, d->profilePath);
    if (!file)
        return;
    AppendProfile(file->lines, d->EditorProfile());
    QString error;
    if (!WriteProfileFile(d->profilePath, file->lines, &error)) {
        Prompts().Message(this, MainText::Caption, SaveFailed.arg(d->profilePath, error), TMessageKind::Error);
        return;
    }
    d->fillingSiteList = true;
    d->ListBox1->addItem(SiteItem(d->connect->text()));
    d->fillingSiteList = false;
}

void TfrmMain::supprimerClick()
{
    const int index = d->ListBox1->currentRow();
    if (index < 0)
        return;
    std::optional<TProfileFile> file = ReadForChange(this, d->profilePath);
    if (!file)
        return;
    if (file->state == TProfileFileState::Read && file->lines.size() > ProfileHeaderLineCount) {
        // A block cut short, or an entry the file no longer has, is left alone.
        if (!RemoveProfileAt(file->lines, index))
            return;
        QString error;
        if (!WriteProfileFile(d->profilePath, file->lines, &error)) {
            Prompts().Message(this, MainText::Caption, SaveFailed.arg(d->profilePath, error), TMessageKind::Error);
            return;
        }
    }
    d->fillingSiteList = true;
    d->ListBox1->clear();
    d->fillingSiteList = false;
    LoadAllProfiles();
}

void TfrmMain::connexioonrapideClick()
{
    QString answer;
    if (!Prompts().Input(this, QStringLiteral("Saisie rapide"), QStringLiteral("Site Ftp"), answer))
        answer.clear();
    d->VexFtp1->SetServer(answer);
    if (d->VexFtp1->Server().isEmpty())
        return;
    if (d->VexFtp1->Connected())
        d->VexFtp1->Close();
    d->VexFtp1->Login();
}

bool TfrmMain::ApplyProfileToClient(const QString &initialDirectory)
{
    TVexFtp *client = d->VexFtp1;
    try {
        if (d->CheckBox1->isChecked()) {
            client->SetProxyServer(d->ProxyTxt->text());
            client->SetProxyPort(PortValue(d->Portproxy->text()));
        }
        client->SetServer(d->HostTxt->text());
        client->SetPort(quint16(PortValue(d->PortTxt->text())));
        client->SetTimeOut(20);
        client->SetUsername(d->UserTxt->text());
        client->SetPassword(d->PassTxt->text());
        client->SetInitialDirectory(initialDirectory);
    } catch (const TVelmarError &error) {
        Prompts().Message(this, MainText::Caption, error.Text(), TMessageKind::Error);
        return false;
    }
    return true;
}

void TfrmMain::Private::ApplyAsciiMode(int listIndex)
{
    VexFtp1->SetTransferMode(listIndex != 0 ? AsciiTransfer : BinaryTransfer);
    // The quick-explorer panel takes ttASCII or ttBinary the same way.
    if (listIndex >= 0)
        modetransfert->SetItemIndex(listIndex != 0 ? 0 : 1);
}

void TfrmMain::Private::ApplyPassiveMode(int listIndex)
{
    VexFtp1->SetPassive(listIndex == 0);
    // The quick-explorer panel's Passive follows the same way.
    if (listIndex >= 0)
        modeftp->SetItemIndex(listIndex == 0 ? 1 : 0);
}

void TfrmMain::asciimodeChange()
{
    d->ApplyAsciiMode(d->asciimode->currentIndex());
}

void TfrmMain::TransfertypeChange()
{
    d->ApplyPassiveMode(d->Transfertype->currentIndex());
}

void TfrmMain::ToolButton32Click()
{
    const QString page = d->web->text().trimmed();
    if (page.isEmpty())
        return;
    OpenUrl(QUrl::fromUserInput(page));
}
