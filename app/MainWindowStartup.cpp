// The creation handler of the main window (its steps in order, the
// preferences restored from the key "Velmar") and its close, which deletes
// the temporary files and writes the preferences back.

#include "MainWindowPrivate.h"

#include "AppError.h"
#include "AppFiles.h"
#include "DialUp.h"
#include "Ftp.h"
#include "FtpCache.h"
#include "Preferences.h"
#include "Prompts.h"
#include "RadioGroup.h"
#include "StrictDecimal.h"

#include <QCalendarWidget>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QSlider>
#include <QStandardPaths>
#include <QTabWidget>
#include <QTextBlock>
#include <QTime>

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

// The scheduler program kept beside the executable; a missing or unreadable
// file leaves the program text as it is.
void LoadSchedulerProgram(QPlainTextEdit *memo)
{
    const TProfileFile file = ReadProfileFile(FilePathInFilesFolder(QStringLiteral("programmation.ini")));
    if (file.state != TProfileFileState::Read)
        return;
    QStringList lines;
    for (const QByteArray &line : file.lines)
        lines.append(QString::fromUtf8(line));
    memo->setPlainText(lines.join(QLatin1Char('\n')));
}

void RestorePreferences(TfrmMain *w, TfrmMain::Private &d)
{
    const std::unique_ptr<QSettings> settings = OpenPreferences();
    if (!settings)
        return;
    const auto text = [&settings](const QString &name) { return settings->value(name).toString(); };

    const bool startOnSettings = text(Pref::Startup) != Pref::No;
    d.demarrage->setChecked(startOnSettings);
    if (startOnSettings)
        d.PageControl1->setCurrentWidget(d.TabSheet4);

    // An empty folder would leave the program without a downloads folder:
    // the documents folder stays.
    const QString downloads = text(Pref::Downloads);
    if (!downloads.isEmpty()) {
        d.tele->setText(downloads);
        d.replocal->setText(downloads);
        d.replocal1->setText(downloads);
        w->SelectLocalFolder(downloads);
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

    d.activer->setChecked(text(Pref::AutoDial) == Pref::Yes);
    d.deconnecter->setChecked(text(Pref::HangUpOnQuit) == Pref::Yes);
    d.CheckBox8->setChecked(text(Pref::Tray) == Pref::Yes);
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
        d.schedulerEnabled = StrToInt(scheduler);
    const bool schedulerOn = d.schedulerEnabled == 1;
    d.CheckBox9->setChecked(schedulerOn);
    d.schedulerEnabled = schedulerOn ? 1 : 0;
    d.Label24->setText(schedulerOn ? MainText::SchedulerOn : MainText::SchedulerOff);

    const QString archivePlace = text(Pref::ArchivePlace);
    if (!archivePlace.isEmpty())
        d.archives->SetItemIndex(StrToInt(archivePlace));
    d.effacerarchive->setChecked(text(Pref::DeleteArchive) == Pref::Yes);

    // No value is written while no site is checked, and a deleted site may
    // leave an index past the end: neither is an error.
    const QString site = text(Pref::DefaultSite);
    if (d.ListBox1->count() > 0 && !site.isEmpty()) {
        const int index = StrToInt(site);
        if (index >= 0 && index < d.ListBox1->count()) {
            d.fillingSiteList = true;
            d.ListBox1->setCurrentRow(index);
            d.ListBox1->item(index)->setCheckState(Qt::Checked);
            d.fillingSiteList = false;
            w->ListBox1Click();
        }
    }
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
    values.insert(Pref::AutoDial, YesNo(d.activer->isChecked()));
    values.insert(Pref::HangUpOnQuit, YesNo(d.deconnecter->isChecked()));
    values.insert(Pref::Noop, QString::number(d.noop->currentIndex()));
    values.insert(Pref::Scheduler, QString::number(d.schedulerEnabled));
    values.insert(Pref::Compression, QString::number(d.TrackBar1->value()));
    values.insert(Pref::Tray, YesNo(d.CheckBox8->isChecked()));
    values.insert(Pref::ArchivePlace, QString::number(d.archives->ItemIndex()));
    values.insert(Pref::DeleteArchive, YesNo(d.effacerarchive->isChecked()));

    for (const QString &name : PreferenceWriteOrder()) {
        if (name != Pref::DefaultSite) {
            settings->setValue(name, values.value(name));
            continue;
        }
        for (int row = 0; row < d.ListBox1->count(); ++row)
            if (d.ListBox1->item(row)->checkState() == Qt::Checked)
                settings->setValue(name, QString::number(row));
    }
    settings->sync();
}
}

void TfrmMain::FormCreate()
{
    try {
        d->camembert->clear();
        d->scheduledRunActive = false;
        d->answerForAll = false;
        d->MonthCalendar1->setSelectedDate(QDate::currentDate());
        d->schedulerEnabled = 0;
        d->ListBox2->setCurrentRow(0);

        // The quick-explorer panel's log gets its "&Sauvegarder le status"
        // menu from the panel itself.

        d->openedFiles.clear();
        d->quitting = false;

        PurgeListCache(true, true, 7);

        // A machine without a dial-up service lists nothing: "Connexions"
        // stays empty and the start goes on.
        d->DialUp1->GetEntries();

        d->asciimode->setCurrentIndex(0);
        d->Transfertype->setCurrentIndex(0);

        move(0, 0);
        d->PageControl1->setCurrentWidget(d->TabSheet1);

        ReadComputerProperties();

        d->tele->setText(DocumentsFolder());
        d->tempo->setText(QDir::cleanPath(QDir::tempPath()) + QLatin1Char('/'));

        LoadSchedulerProgram(d->Memo2);

        d->profilePath = FilePathInFilesFolder(QStringLiteral("velmar.ini"));
        LoadAllProfiles();

        d->SetCaptionFromProfile(this);

        RestorePreferences(this, *d);

        d->replocal->setText(MainText::LocalFolderPrefix + LocalFolder().toLower());

        const QString firstLine = d->Memo2->document()->firstBlock().text();
        if (firstLine == MainText::ClearedProgram) {
            d->CheckBox9->setEnabled(false);
            d->CheckBox9->setChecked(false);
            d->Label24->setText(MainText::SchedulerOff);
            d->schedulerEnabled = 0;
        } else {
            d->CheckBox9->setEnabled(true);
        }

        d->ListBox2->setCurrentRow(QTime::currentTime().hour());
    } catch (const TVelmarError &error) {
        Prompts().Message(this, MainText::Caption, error.Text(), TMessageKind::Error);
    } catch (const std::exception &error) {
        Prompts().Message(this, MainText::Caption, QString::fromLocal8Bit(error.what()), TMessageKind::Error);
    }
}

void TfrmMain::closeEvent(QCloseEvent *event)
{
    for (const QString &path : std::as_const(d->openedFiles))
        QFile::remove(path);
    d->openedFiles.clear();
    SavePreferences(this, *d);
    event->accept();
    emit Closed();
}
