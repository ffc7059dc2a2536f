// The creation handler of the main window (its steps in order, the
// preferences restored from the key "Velmar") and its close, which deletes
// the temporary files and writes the preferences back.

#include "MainWindowPrivate.h"

#include "AppContext.h"
#include "AppFiles.h"
#include "AppTexts.h"
#include "DialUpMonitor.h"
#include "ExplorerTab.h"
#include "Ftp.h"
#include "FtpCache.h"
#include "Preferences.h"
#include "QuickExplorerTab.h"
#include "RadioGroup.h"
#include "SchedulerTab.h"
#include "SiteManager.h"
#include "StrictDecimal.h"
#include "TransferDisplay.h"
#include "UpdateTab.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QSlider>
#include <QStandardPaths>

namespace {
QString DocumentsFolder()
{
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (!documents.isEmpty() && QFileInfo(documents).isDir())
        return QDir::cleanPath(documents);
    return QDir::cleanPath(QDir::homePath());
}

QString YesNo(bool on)
{
    return on ? Pref::Yes : Pref::No;
}

// A numeric value that is not a decimal number raises TVelmarError: the
// steps after it are skipped.
void RestorePreferences(TfrmMain *w, TfrmMain::Private &d)
{
    const std::unique_ptr<QSettings> settings = OpenPreferences();
    if (!settings)
        return;
    const auto text = [&settings](const QString &name) { return settings->value(name).toString(); };
    TAppContext &context = *d.context;

    const bool startOnSettings = text(Pref::Startup) != Pref::No;
    d.demarrage->setChecked(startOnSettings);
    if (startOnSettings)
        context.ShowPage(TPage::Settings);

    // An empty folder would leave the program without a downloads folder:
    // the documents folder stays.
    const QString downloads = text(Pref::Downloads);
    if (!downloads.isEmpty()) {
        d.tele->setText(downloads);
        d.update->replocal()->setText(downloads);
        d.quickExplorer->replocal1()->setText(downloads);
        // A folder gone since leaves the tree where it was.
        d.explorer->SelectLocalFolderAtStart(downloads);
    }

    w->move(StrToInt(text(Pref::Left)), w->y());
    w->move(w->x(), StrToInt(text(Pref::Top)));
    w->resize(StrToInt(text(Pref::Width)), w->height());
    w->resize(w->width(), StrToInt(text(Pref::Height)));

    d.modetransfert->SetItemIndex(StrToInt(text(Pref::AsciiMode)));
    if (d.modetransfert->ItemIndex() >= 0) {
        d.asciimode->setCurrentIndex(d.modetransfert->ItemIndex() == 0 ? 1 : 0);
        w->asciimodeChange();
    }
    d.modeftp->SetItemIndex(StrToInt(text(Pref::PassiveMode)));
    if (d.modeftp->ItemIndex() >= 0) {
        d.Transfertype->setCurrentIndex(d.modeftp->ItemIndex() == 0 ? 1 : 0);
        w->TransfertypeChange();
    }

    d.dialUp->activer()->setChecked(text(Pref::AutoDial) == Pref::Yes);
    d.dialUp->deconnecter()->setChecked(text(Pref::HangUpOnQuit) == Pref::Yes);
    d.scheduler->CheckBox8()->setChecked(text(Pref::Tray) == Pref::Yes);
    w->CheckBox8Click();

    const QString noop = text(Pref::Noop);
    if (!noop.isEmpty()) {
        const int index = StrToInt(noop);
        d.noop->setCurrentIndex(index >= 0 && index < d.noop->count() ? index : -1);
        w->noopChange();
    }

    const QString level = text(Pref::Compression);
    if (!level.isEmpty())
        d.TrackBar1->setValue(StrToInt(level));

    const QString scheduler = text(Pref::Scheduler);
    if (!scheduler.isEmpty())
        context.SetSchedulerEnabled(StrToInt(scheduler));
    d.scheduler->ShowSchedulerEnabled(context.SchedulerEnabled() == 1);

    const QString archivePlace = text(Pref::ArchivePlace);
    if (!archivePlace.isEmpty())
        d.archives->SetItemIndex(StrToInt(archivePlace));
    d.effacerarchive->setChecked(text(Pref::DeleteArchive) == Pref::Yes);

    // No value is written while no site is checked, and a deleted site may
    // leave an index past the end: neither is an error.
    const QString site = text(Pref::DefaultSite);
    if (d.sites->SiteCount() > 0 && !site.isEmpty())
        d.sites->SelectDefaultSite(StrToInt(site));
}

void SavePreferences(const TfrmMain *w, const TfrmMain::Private &d)
{
    const std::unique_ptr<QSettings> settings = CreatePreferences();
    QHash<QString, QString> values;
    values.insert(Pref::Startup, YesNo(d.demarrage->isChecked()));
    values.insert(Pref::Downloads, d.tele->text());
    values.insert(Pref::Left, QString::number(w->x()));
    values.insert(Pref::Top, QString::number(w->y()));
    values.insert(Pref::Width, QString::number(w->width()));
    values.insert(Pref::Height, QString::number(w->height()));
    values.insert(Pref::AsciiMode, QString::number(d.modetransfert->ItemIndex()));
    values.insert(Pref::PassiveMode, QString::number(d.modeftp->ItemIndex()));
    values.insert(Pref::AutoDial, YesNo(d.dialUp->activer()->isChecked()));
    values.insert(Pref::HangUpOnQuit, YesNo(d.dialUp->deconnecter()->isChecked()));
    values.insert(Pref::Noop, QString::number(d.noop->currentIndex()));
    values.insert(Pref::Scheduler, QString::number(d.context->SchedulerEnabled()));
    values.insert(Pref::Compression, QString::number(d.TrackBar1->value()));
    values.insert(Pref::Tray, YesNo(d.scheduler->CheckBox8()->isChecked()));
    values.insert(Pref::ArchivePlace, QString::number(d.archives->ItemIndex()));
    values.insert(Pref::DeleteArchive, YesNo(d.effacerarchive->isChecked()));

    for (const QString &name : PreferenceWriteOrder()) {
        if (name != Pref::DefaultSite) {
            settings->setValue(name, values.value(name));
            continue;
        }
        for (int row : d.sites->CheckedSites())
            settings->setValue(name, QString::number(row));
    }
    settings->sync();
}
}

void TfrmMain::FormCreate()
{
    TAppContext &context = *d->context;
    d->explorer->TransferDisplay()->ClearPie();
    context.SetScheduledRunActive(false);
    context.SetAnswerForAll(false);
    d->scheduler->ClearSchedule();

    d->quickExplorer->AttachSaveStatusMenu();

    context.OpenedFiles().clear();
    context.SetQuitting(false);

    PurgeListCache(true, true, 7);

    // A machine without a dial-up service lists nothing: "Connexions" stays
    // empty and the start goes on.
    DialUp1()->GetEntries();

    d->asciimode->setCurrentIndex(0);
    d->Transfertype->setCurrentIndex(0);
    d->explorer->Filtre()->setCurrentIndex(0);
    d->explorer->filtre1()->setCurrentIndex(0);

    move(0, 0);
    context.ShowPage(TPage::Explorer);

    ReadComputerProperties();

    d->tele->setText(DocumentsFolder());
    d->tempo->setText(QDir::cleanPath(QDir::tempPath()) + QLatin1Char('/'));
    // The local tree starts on the downloads folder.
    d->explorer->SelectLocalFolderAtStart(DocumentsFolder());

    d->scheduler->LoadProgramFile();

    context.SetProfilePath(FilePathInFilesFolder(QStringLiteral("velmar.ini")));
    d->sites->LoadAllProfiles();
    d->sites->SetCaptionFromProfile();

    RestorePreferences(this, *d);

    d->explorer->ShowLocalFiles();
    d->update->replocal()->setText(MainText::LocalFolderPrefix + context.LocalFolder().toLower());

    d->scheduler->ApplyClearedProgram();
    d->scheduler->SelectCurrentHour();
}

void TfrmMain::closeEvent(QCloseEvent *event)
{
    QStringList &opened = d->context->OpenedFiles();
    for (const QString &path : std::as_const(opened))
        QFile::remove(path);
    opened.clear();
    SavePreferences(this, *d);
    event->accept();
    emit Closed();
}
