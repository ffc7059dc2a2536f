// The scheduler tab: its layout, the marking commands, the program text's
// drops, date and hour choice, the enable box, the program files, the
// start-up steps, and the scheduled run (tick, connection, continuation on
// the first listing, end).

#include "SchedulerTab.h"

#include "AppContext.h"
#include "AppError.h"
#include "AppFiles.h"
#include "AppTexts.h"
#include "ArchiveNaming.h"
#include "DialUpMonitor.h"
#include "ExplorerTab.h"
#include "FileTypeNames.h"
#include "Ftp.h"
#include "FtpListView.h"
#include "LocalFileList.h"
#include "PanelBar.h"
#include "ProgramMemo.h"
#include "Prompts.h"
#include "ScheduleRun.h"
#include "SiteManager.h"
#include "TransferDisplay.h"
#include "WidgetHelpers.h"
#include "ZipTask.h"

#include <QAction>
#include <QCalendarWidget>
#include <QCheckBox>
#include <QEventLoop>
#include <QFileInfo>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPointer>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

namespace {
// How long a run waits for a connection it closes to report its end.
constexpr int CloseWaitMs = 5000;

QGroupBox *Group(QWidget *parent, const char *name, const QString &caption, QWidget *content)
{
    auto *group = Named(new QGroupBox(caption, parent), name);
    auto *layout = new QVBoxLayout(group);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->addWidget(content);
    return group;
}

QTimer *Timer(QObject *owner, const char *name)
{
    auto *timer = Named(new QTimer(owner), name);
    timer->setInterval(1000);
    return timer;
}

QListWidget *CandidateList(QWidget *parent, const char *name, bool several, bool draggable)
{
    auto *list = Named(new QListWidget(parent), name);
    list->setSelectionMode(several ? QAbstractItemView::ExtendedSelection : QAbstractItemView::SingleSelection);
    if (draggable) {
        // Entries are dragged onto the program text as copies: the list
        // keeps them.
        list->setDragEnabled(true);
        list->setDragDropMode(QAbstractItemView::DragOnly);
        list->setDefaultDropAction(Qt::CopyAction);
    }
    return list;
}

QString NoSiteText(const QString &line)
{
    return QStringLiteral("La programmation n'a pas démarré : la ligne « %1 » ne correspond à aucun site de la liste "
                          "« Sites Ftp » (nom et hôte).")
        .arg(line);
}
}

TSchedulerTab::TSchedulerTab(TAppContext &context, QWidget *parent) : QWidget(parent), context(context)
{
    setObjectName(QStringLiteral("TabSheet5"));
    BuildLayout();
    Wire();
    // The continuation of a run is the client's listing-done hook; it goes
    // through the handler dispatch as every hook of the client does.
    context.VexFtp1()->OnListingDone = [this](TVexFtp *) { this->context.Run([this] { VexFtp1ListingDone(); }); };
}

TSchedulerTab::~TSchedulerTab()
{
    ListenToClient(false);
    context.VexFtp1()->OnListingDone = nullptr;
}

void TSchedulerTab::BuildLayout()
{
    // Top row: date, hour, actions and the local candidates; bottom row: the
    // program text and the remote candidates.
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(6, 4, 6, 4);
    auto *topRow = new QHBoxLayout;
    topRow->setSpacing(3);
    auto *bottomRow = new QHBoxLayout;
    layout->addLayout(topRow);
    layout->addLayout(bottomRow, 1);

    MonthCalendar1 = Named(new QCalendarWidget(this), "MonthCalendar1");
    MonthCalendar1->setVerticalHeaderFormat(QCalendarWidget::NoVerticalHeader);
    MonthCalendar1->setGridVisible(false);
    // One letter per day, as the system's month calendar shows them, so
    // that the four groups of the top row fit the window's first-run width.
    MonthCalendar1->setHorizontalHeaderFormat(QCalendarWidget::SingleLetterDayNames);
    MonthCalendar1->setStyleSheet(QStringLiteral("#qt_calendar_navigationbar { background-color: rgb(0,128,128); }"));
    topRow->addWidget(Group(this, "GroupBox9", QStringLiteral("&Date de programmation"), MonthCalendar1));

    ListBox2 = Named(new QListWidget(this), "ListBox2");
    for (int hour = 1; hour <= 24; ++hour)
        ListBox2->addItem(QString::number(hour));
    ListBox2->setFixedWidth(42);
    ListBox2->setFixedHeight(MonthCalendar1->sizeHint().height());
    QGroupBox *hourGroup = Group(this, "GroupBox10", QStringLiteral("&Heure"), ListBox2);
    // No wider than the list and its title need: the style's own minimum
    // for a group box would push the top row past the window's width.
    const int titleWidth = hourGroup->fontMetrics().horizontalAdvance(QStringLiteral("Heure")) + 16;
    hourGroup->setFixedWidth(qMax(ListBox2->width() + 12, titleWidth));
    topRow->addWidget(hourGroup);

    auto *action = new QWidget(this);
    auto *actionLayout = new QVBoxLayout(action);
    actionLayout->setContentsMargins(0, 0, 0, 0);
    actionLayout->setSpacing(3);
    Label24 = Named(new QLabel(SchedulerText::Off, action), "Label24");
    Label24->setAlignment(Qt::AlignCenter);
    SetTextColour(Label24, QColor(255, 0, 0));
    trayBox = Named(new QCheckBox(QStringLiteral("Icône dans la barre de tâches"), action), "CheckBox8");
    CheckBox9 = Named(new QCheckBox(QStringLiteral("Activer la programmation"), action), "CheckBox9");
    SpeedButton2 = Named(new QPushButton(QStringLiteral("Effacer la programmation en cours"), action), "SpeedButton2");
    SpeedButton3 = Named(new QPushButton(QStringLiteral("Charger une programmation"), action), "SpeedButton3");
    SpeedButton4 = Named(new QPushButton(QStringLiteral("Enregistrer la programmation en cours"), action), "SpeedButton4");
    Label15 = Named(new QLabel(SchedulerText::Done, action), "Label15");
    Label15->setAlignment(Qt::AlignCenter);
    Label15->setWordWrap(true);
    QFont bold = Label15->font();
    bold.setBold(true);
    Label15->setFont(bold);
    SetTextColour(Label15, QColor(255, 0, 0));
    // Blinking must not move the controls around it.
    QSizePolicy keepPlace = Label15->sizePolicy();
    keepPlace.setRetainSizeWhenHidden(true);
    Label15->setSizePolicy(keepPlace);
    Label15->setVisible(false);
    actionLayout->addWidget(Label24);
    actionLayout->addWidget(trayBox);
    actionLayout->addWidget(CheckBox9);
    for (QPushButton *b : {SpeedButton2, SpeedButton3, SpeedButton4}) {
        b->setAutoDefault(false);
        actionLayout->addWidget(b);
    }
    actionLayout->addStretch();
    actionLayout->addWidget(Label15);
    topRow->addWidget(Group(this, "GroupBox11", QStringLiteral("&Action"), action));

    ListBox5 = CandidateList(this, "ListBox5", true, true);
    topRow->addWidget(Group(this, "GroupBox12", QStringLiteral("&Fichiers locaux disponibles"), ListBox5), 1);

    Memo2 = Named(new TProgramMemo(this), "Memo2");
    Memo2->setLineWrapMode(QPlainTextEdit::NoWrap);
    Memo2->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Memo2->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    QPalette navy = Memo2->palette();
    navy.setColor(QPalette::Text, QColor(0, 0, 128));
    navy.setColor(QPalette::Base, Qt::white);
    Memo2->setPalette(navy);
    bottomRow->addWidget(Group(this, "GroupBox13", QStringLiteral("&Programmation"), Memo2), 3);

    auto *remote = new QWidget(this);
    auto *remoteLayout = new QVBoxLayout(remote);
    remoteLayout->setContentsMargins(0, 0, 0, 0);
    ListBox4 = CandidateList(remote, "ListBox4", false, false);
    ListBox3 = CandidateList(remote, "ListBox3", true, true);
    remoteLayout->addWidget(Group(remote, "GroupBox14", QStringLiteral("&Repertoires distants disponibles"), ListBox4));
    remoteLayout->addWidget(Group(remote, "GroupBox15", QStringLiteral("&Fichiers Distants disponibles"), ListBox3));
    bottomRow->addWidget(remote, 2);

    programmateur = Timer(this, "programmateur");
    Timer2 = Timer(this, "Timer2");
}

void TSchedulerTab::Wire()
{
    const TAppContext &c = context;
    // Programmatic changes count too: the flag always follows the box.
    c.Connect(CheckBox9, &QCheckBox::toggled, this, &TSchedulerTab::CheckBox9Click);
    c.Connect(MonthCalendar1, &QCalendarWidget::selectionChanged, this, [this] {
        if (!choosing)
            MonthCalendar1Click();
    });
    c.Connect(ListBox2, &QListWidget::currentRowChanged, this, [this] {
        if (!choosing)
            ListBox2Click();
    });
    c.Connect(SpeedButton2, &QPushButton::clicked, this, &TSchedulerTab::SpeedButton2Click);
    c.Connect(SpeedButton3, &QPushButton::clicked, this, &TSchedulerTab::SpeedButton3Click);
    c.Connect(SpeedButton4, &QPushButton::clicked, this, &TSchedulerTab::SpeedButton4Click);
    c.Connect(programmateur, &QTimer::timeout, this, &TSchedulerTab::programmateurTimer);
    c.Connect(Timer2, &QTimer::timeout, this, &TSchedulerTab::Timer2Timer);

    Memo2->OnDragOver = [this](const QObject *source) { return Memo2DragOver(source); };
    // The drop's command runs once the drag is over, from the event loop.
    Memo2->OnDragDrop = [this](const QObject *source) {
        const QString name = source ? source->objectName() : QString();
        QTimer::singleShot(0, this, [this, name] { context.Run([this, name] { Memo2DragDrop(name); }); });
    };
}

void TSchedulerTab::Attach(const TParts &given)
{
    parts = given;
    TExplorerTab *explorer = parts.explorer;
    const std::pair<QAction *, void (TSchedulerTab::*)()> marks[] = {
        {explorer->Marquerlerpertoireencourspourprogrammation1(),
         &TSchedulerTab::Marquerlerpertoireencourspourprogrammation1Click},
        {explorer->Marquerlesfichiersdistantspourprogrammation1(),
         &TSchedulerTab::Marquerlesfichiersdistantspourprogrammation1Click},
        {explorer->Marquerlesfichierspourprogrammation1(), &TSchedulerTab::Marquerlesfichierspourprogrammation1Click},
        {explorer->Marquerlesfichierspourcompressionlocale1(),
         &TSchedulerTab::Marquerlesfichierspourcompressionlocale1Click},
        {explorer->Marquerlesfichierspourcompressionetenvoidistant1(),
         &TSchedulerTab::Marquerlesfichierspourcompressionetenvoidistant1Click},
    };
    for (const auto &[item, handler] : marks) {
        item->setEnabled(true);
        context.Connect(item, &QAction::triggered, this, handler);
    }
}

void TSchedulerTab::SetClock(TClock given)
{
    clock = std::move(given);
}

QDateTime TSchedulerTab::Now() const
{
    return clock ? clock() : QDateTime::currentDateTime();
}

QStringList TSchedulerTab::ProgramLines() const
{
    return ProgramLinesFromText(Memo2->toPlainText());
}

void TSchedulerTab::SetProgramLines(const QStringList &lines)
{
    Memo2->setPlainText(ProgramTextFromLines(lines));
}

void TSchedulerTab::SelectHourRow(int row)
{
    choosing = true;
    ListBox2->setCurrentRow(row);
    choosing = false;
}

void TSchedulerTab::SetCalendarDate(const QDate &date)
{
    choosing = true;
    MonthCalendar1->setSelectedDate(date);
    choosing = false;
}

// --- Marking ----------------------------------------------------------------------

void TSchedulerTab::AppendCandidates(QListWidget *list, const QStringList &entries)
{
    // Entries are only ever added, never removed, during the run of the
    // program.
    list->addItems(entries);
}

void TSchedulerTab::Marquerlerpertoireencourspourprogrammation1Click()
{
    const SiteProfile profile = parts.sites->EditorProfile();
    AppendCandidates(ListBox4, {SitePrefix(profile.name, profile.host) + context.TreeFolder()});
}

void TSchedulerTab::Marquerlesfichiersdistantspourprogrammation1Click()
{
    const SiteProfile profile = parts.sites->EditorProfile();
    const QString folderEntry = SitePrefix(profile.name, profile.host) + context.TreeFolder() + QLatin1Char(':');
    TVexFtpListView *list = parts.explorer->VexFtpListView1();
    QStringList entries;
    for (const QString &name : list->SelectedFiles())
        if (!name.isEmpty())
            entries << folderEntry + name;
    AppendCandidates(ListBox3, entries);
    list->SelectAll(false);
}

void TSchedulerTab::Marquerlesfichierspourprogrammation1Click()
{
    TLocalFileList *files = parts.explorer->Files();
    if (files->FirstSelectedRow() < 0)
        return;
    QStringList entries;
    for (int row : files->SelectedRows())
        if (files->RowType(row) != LocalFolderTypeName())
            entries << context.LocalFolder() + files->RowCaption(row);
    AppendCandidates(ListBox5, entries);
    files->SelectAll(false);
}

void TSchedulerTab::MarkForCompression(bool andSend)
{
    TLocalFileList *files = parts.explorer->Files();
    if (files->FirstSelectedRow() < 0)
        return;
    QList<TLocalRow> rows;
    for (int row : files->SelectedRows())
        rows.append({files->RowCaption(row), files->RowType(row) == LocalFolderTypeName()});
    AppendCandidates(ListBox5, MarkedForCompression(context.LocalFolder(), rows, andSend));
    files->SelectAll(false);
}

void TSchedulerTab::Marquerlesfichierspourcompressionlocale1Click()
{
    MarkForCompression(false);
}

void TSchedulerTab::Marquerlesfichierspourcompressionetenvoidistant1Click()
{
    MarkForCompression(true);
}

// --- The program text ---------------------------------------------------------------

bool TSchedulerTab::Memo2DragOver(const QObject *source) const
{
    return qobject_cast<const QListWidget *>(source) != nullptr;
}

QStringList TSchedulerTab::SelectedTexts(const QListWidget *list) const
{
    QStringList texts;
    for (int row = 0; row < list->count(); ++row)
        if (list->item(row)->isSelected())
            texts << list->item(row)->text();
    return texts;
}

void TSchedulerTab::Memo2DragDrop(const QString &sourceName)
{
    const QString date = ProgramDateText(MonthCalendar1->selectedDate());
    const QListWidgetItem *hourItem = ListBox2->currentItem();
    const QString hour = ProgramHourText(hourItem ? hourItem->text() : QString());
    if (sourceName == ListBox3->objectName() && ListBox3->count() > 0) {
        const QString downloads = parts.downloadsFolder ? parts.downloadsFolder() : QString();
        SetProgramLines(DownloadLayout(date, hour, downloads, SelectedTexts(ListBox3)));
    } else if (sourceName == ListBox5->objectName() && ListBox5->count() > 0 && ListBox4->count() > 0) {
        SetProgramLines(UploadLayout(date, hour, SelectedTexts(ListBox4), SelectedTexts(ListBox5)));
    }
    // Every drop keeps the program text as it stands now, whatever it came
    // from (a ".pro" file loaded meanwhile included). The box's state is
    // not changed.
    if (!ProgramLines().isEmpty()) {
        CheckBox9->setEnabled(true);
        WriteProgramFile();
    }
}

void TSchedulerTab::WriteProgramFile()
{
    const QString path = FilePathInFilesFolder(SchedulerText::FileName);
    QString error;
    if (!::WriteProgramFile(path, ProgramLines(), &error))
        throw TVelmarError(QStringLiteral("Impossible d'enregistrer la programmation dans le fichier « %1 » : %2")
                               .arg(path, error));
}

void TSchedulerTab::MonthCalendar1Click()
{
    const QDateTime now = Now();
    QDate chosen = MonthCalendar1->selectedDate();
    if (chosen < now.date()) {
        chosen = now.date();
        SetCalendarDate(chosen);
    }
    // Today: the next full hour at the earliest.
    if (chosen == now.date())
        SelectHourRow(now.time().hour());
    QStringList lines = ProgramLines();
    if (lines.size() > 1) {
        lines[DateLine] = ProgramDateText(chosen);
        SetProgramLines(lines);
    }
}

void TSchedulerTab::ListBox2Click()
{
    const QDateTime now = Now();
    if (MonthCalendar1->selectedDate() == now.date() && ListBox2->currentRow() < now.time().hour())
        SelectHourRow(now.time().hour());
    QStringList lines = ProgramLines();
    const QListWidgetItem *item = ListBox2->currentItem();
    if (lines.size() > 1 && item) {
        while (lines.size() <= HourLine)
            lines << QString();
        lines[HourLine] = ProgramHourText(item->text());
        SetProgramLines(lines);
    }
}

void TSchedulerTab::CheckBox9Click()
{
    Timer2->stop();
    Label15->setVisible(false);
    if (!CheckBox9->isChecked()) {
        Label24->setText(SchedulerText::Off);
        context.SetSchedulerEnabled(0);
        programmateur->stop();
        return;
    }
    Label24->setText(SchedulerText::On);
    context.SetSchedulerEnabled(1);
    switch (ArmDecision(ProgramLines(), Now())) {
    case TArmDecision::KeepTimer:
        break;
    case TArmDecision::Start:
        programmateur->start();
        break;
    case TArmDecision::PastDate:
        programmateur->stop();
        Prompts().Message(context.Window(), MainText::Caption, SchedulerText::DatePassed);
        break;
    case TArmDecision::PastHour:
        programmateur->stop();
        Prompts().Message(context.Window(), MainText::Caption, SchedulerText::DatePassed);
        CheckBox9->setChecked(false);
        break;
    case TArmDecision::Unreadable:
        // A program without a readable date and hour could never run.
        programmateur->stop();
        CheckBox9->setChecked(false);
        break;
    }
}

void TSchedulerTab::SpeedButton2Click()
{
    if (!Prompts().Confirm(context.Window(), MainText::Caption, SchedulerText::ClearQuestion))
        return;
    SetProgramLines({ScheduleText::Cleared});
    WriteProgramFile();
}

void TSchedulerTab::SpeedButton3Click()
{
    const QString path = Prompts().OpenFileName(context.Window(), QStringLiteral("Charger une programmation"),
                                                FilesFolder(), SchedulerText::ProFilter);
    if (path.isEmpty())
        return;
    const TProgramFile file = ReadProgramFile(path);
    // A file that cannot be read leaves the program text as it was.
    if (file.state != TProgramFileState::Read)
        throw TVelmarError(QStringLiteral("Impossible de lire la programmation « %1 » : %2")
                               .arg(path, file.state == TProgramFileState::Missing
                                              ? QStringLiteral("le fichier n'existe pas")
                                              : file.error));
    SetProgramLines(file.lines);
}

void TSchedulerTab::SpeedButton4Click()
{
    const QString path =
        Prompts().SaveFileName(context.Window(), QStringLiteral("Enregistrer la programmation en cours"),
                               FilePathInFilesFolder(QStringLiteral("pro")), SchedulerText::ProFilter);
    if (path.isEmpty())
        return;
    QString error;
    if (!::WriteProgramFile(path, ProgramLines(), &error))
        throw TVelmarError(QStringLiteral("Impossible d'enregistrer la programmation dans le fichier « %1 » : %2")
                               .arg(path, error));
}

void TSchedulerTab::Timer2Timer()
{
    Label15->setVisible(Label15->isHidden());
}

// --- Start-up -----------------------------------------------------------------------

void TSchedulerTab::ClearSchedule()
{
    SetCalendarDate(Now().date());
    context.SetSchedulerEnabled(0);
    SelectHourRow(0);
}

void TSchedulerTab::LoadProgramFile()
{
    const QString path = FilePathInFilesFolder(SchedulerText::FileName);
    const TProgramFile file = ReadProgramFile(path);
    if (file.state == TProgramFileState::Read) {
        SetProgramLines(file.lines);
    } else if (file.state == TProgramFileState::Unreadable) {
        // The rest of the start-up goes on; the file stays as it is until
        // the next drop or clear replaces it.
        Prompts().Message(context.Window(), MainText::Caption,
                          QStringLiteral("Impossible de lire la programmation « %1 » : %2").arg(path, file.error),
                          TMessageKind::Error);
    }
}

void TSchedulerTab::ShowSchedulerEnabled(bool on)
{
    if (CheckBox9->isChecked() != on)
        CheckBox9->setChecked(on); // runs CheckBox9Click
    else
        CheckBox9Click();
}

void TSchedulerTab::ApplyClearedProgram()
{
    if (ProgramLine(ProgramLines(), 0) == ScheduleText::Cleared) {
        CheckBox9->setEnabled(false);
        CheckBox9->setChecked(false);
        Label24->setText(SchedulerText::Off);
        context.SetSchedulerEnabled(0);
    } else {
        CheckBox9->setEnabled(true);
    }
}

void TSchedulerTab::SelectCurrentHour()
{
    SelectHourRow(Now().time().hour());
}

// --- The scheduled run ----------------------------------------------------------------

void TSchedulerTab::programmateurTimer()
{
    // A run already under way (the box checked again meanwhile) is not
    // started twice.
    if (state != TRunState::Idle)
        return;
    const QStringList lines = ProgramLines();
    switch (TickDecision(lines, Now())) {
    case TTickDecision::Wait:
        return;
    case TTickDecision::Unreadable:
        programmateur->stop();
        CheckBox9->setChecked(false);
        return;
    case TTickDecision::Due:
        break;
    }
    programmateur->stop();
    Label15->setText(SchedulerText::Running);
    Timer2->start();
    const TScheduleAction action = ProgramAction(lines);
    if (action == TScheduleAction::None)
        return; // nothing to start: the label goes on blinking
    StartRun(lines, action);
}

void TSchedulerTab::DialIfNeeded()
{
    // Unlike the connect button, whatever "&Activer la connexion
    // automatiquement" says.
    if (parts.dialUp->NoActiveDialUpConnection())
        parts.dialUp->DialSelectedEntry();
}

bool TSchedulerTab::CloseClientFirst()
{
    // A connection of the user's goes first; its end is reported later,
    // from the event loop, and must not be taken for the run's.
    TVexFtp *client = context.VexFtp1();
    if (!client->Connected())
        return true;
    const QPointer<TSchedulerTab> alive(this);
    QEventLoop wait;
    bool quit = false;
    const int slot = client->AddNotifyListener(nkFtpQuit, [&wait, &quit](TVexFtp *) {
        quit = true;
        wait.quit();
    });
    QTimer::singleShot(CloseWaitMs, &wait, &QEventLoop::quit);
    client->Close();
    if (!quit)
        wait.exec();
    if (slot >= 0)
        client->RemoveNotifyListener(nkFtpQuit, slot);
    return bool(alive);
}

void TSchedulerTab::StartRun(const QStringList &lines, TScheduleAction action)
{
    // The profile: the last entry of the site list bearing the name.
    const QString reference = ProgramLine(lines, ReferenceLineIndex(action));
    parts.sites->SelectSitesNamed(ProfileNameOf(reference));
    const SiteProfile profile = parts.sites->EditorProfile();
    const std::optional<QString> folder = RemoteFolderOf(reference, SitePrefix(profile.name, profile.host));
    // Without a site of that name and host the editor holds another site:
    // connecting there would send or fetch the files on the wrong server.
    if (!folder) {
        EndFailedRun();
        throw TVelmarError(NoSiteText(reference));
    }

    const QPointer<TSchedulerTab> alive(this);
    DialIfNeeded();
    if (!alive || !CloseClientFirst())
        return;

    run = TRun();
    run.lines = lines;
    run.action = action;
    run.folder = *folder;
    state = TRunState::Connecting;
    ListenToClient(true);
    try {
        parts.sites->ApplyProfileToClient(*folder);
    } catch (...) {
        EndFailedRun();
        throw;
    }
    context.SetScheduledRunActive(true);
    context.VexFtp1()->Login();
}

void TSchedulerTab::ListenToClient(bool listen)
{
    TVexFtp *client = context.VexFtp1();
    if (quitSlot >= 0)
        client->RemoveNotifyListener(nkFtpQuit, quitSlot);
    if (readySlot >= 0)
        client->RemoveNotifyListener(nkFtpReady, readySlot);
    if (errorSlot >= 0)
        client->RemoveErrorListener(errorSlot);
    quitSlot = readySlot = errorSlot = -1;
    if (!listen)
        return;
    // The client reports from its own steps: what the run does about it
    // waits for the event loop.
    const QPointer<TSchedulerTab> self(this);
    quitSlot = client->AddNotifyListener(nkFtpQuit, [self](TVexFtp *) {
        if (!self)
            return;
        if (self->state == TRunState::Connecting)
            self->EndFailedRun();
        else if (self->state == TRunState::Transferring)
            self->run.lost = true;
    });
    // A login given up without a connection (no server, refused address)
    // ends with the client ready and no quit.
    readySlot = client->AddNotifyListener(nkFtpReady, [self](TVexFtp *client) {
        if (self && self->state == TRunState::Connecting && !client->LoggedIn() && !client->Connected())
            self->EndFailedRun();
    });
    // A connection refused or a name that does not resolve is only an error:
    // the client neither quits nor reports ready. Once the error has been
    // shown, a client still without a connection has given the login up.
    errorSlot = client->AddErrorListener([self](TVexFtp *client, FtpError, const QString &) {
        if (!self)
            return;
        if (self->state == TRunState::Transferring) {
            ++self->run.errors;
        } else if (self->state == TRunState::Connecting) {
            QTimer::singleShot(0, self, [self, client] {
                if (self && self->state == TRunState::Connecting && !client->Connected() && !client->LoggedIn())
                    self->EndFailedRun();
            });
        }
    });
}

void TSchedulerTab::EndFailedRun()
{
    ListenToClient(false);
    state = TRunState::Idle;
    context.SetScheduledRunActive(false);
    Timer2->stop();
    Label15->setVisible(false);
}

void TSchedulerTab::VexFtp1ListingDone()
{
    if (parts.explorer)
        parts.explorer->TransferDisplay()->ClearPie();
    if (!context.ScheduledRunActive() || state != TRunState::Connecting)
        return;
    state = TRunState::Transferring;
    const QPointer<TSchedulerTab> alive(this);
    try {
        RunTransfers();
    } catch (...) {
        if (alive)
            EndFailedRun();
        throw;
    }
    if (alive)
        FinishRun();
}

void TSchedulerTab::RunTransfers()
{
    if (run.action == TScheduleAction::Download)
        Download();
    else if (run.action == TScheduleAction::Upload)
        Upload();
}

void TSchedulerTab::Download()
{
    // The profile of line 9 again, in case the editor changed meanwhile.
    parts.sites->SelectSitesNamed(ProfileNameOf(ProgramLine(run.lines, FirstItemLine)));
    const SiteProfile profile = parts.sites->EditorProfile();
    const TScheduledDownloads plan = PlanDownloads(run.lines, SitePrefix(profile.name, profile.host), run.folder);
    run.problems << plan.problems;
    const QPointer<TSchedulerTab> alive(this);
    DialIfNeeded();
    if (!alive || plan.remoteNames.isEmpty())
        return;
    parts.explorer->ShowTransferDisplay();
    context.VexFtp1()->GetFiles(plan.remoteNames, plan.localPaths);
}

void TSchedulerTab::Upload()
{
    const TScheduledUploads plan = PlanUploads(run.lines);
    run.problems << plan.problems;
    const QPointer<TSchedulerTab> alive(this);
    QStringList paths;
    QStringList names;
    for (const TScheduledUpload &item : plan.items) {
        if (item.kind != TUploadKind::Send) {
            const bool packed = Compress(item);
            if (!alive)
                return;
            if (!packed || item.kind == TUploadKind::Compress)
                continue;
        }
        paths << item.SentPath();
        names << item.remoteName;
    }
    DialIfNeeded();
    if (!alive || paths.isEmpty())
        return;
    parts.explorer->ShowTransferDisplay();
    context.VexFtp1()->PutFiles(paths, names);
}

bool TSchedulerTab::Compress(const TScheduledUpload &item)
{
    // On a worker thread, so that the window stays responsive while a large
    // file is packed; the run waits for it.
    TZipTask task;
    TZipEngine &engine = task.Engine();
    engine.SetFilesList({item.localPath});
    engine.SetZipName(item.archivePath);
    engine.SetPackLevel(parts.packLevel ? parts.packLevel() : 6);
    engine.SetRecurse(true);
    engine.SetStorePaths(true);
    TPanelBar *status = parts.explorer->StatusBar1();
    QString failure;
    QEventLoop wait;
    connect(&task, &TZipTask::TotalPercentDone, &wait,
            [&](int percent) { status->SetPanelText(1, CompressionProgressText(item.archivePath, percent)); });
    connect(&task, &TZipTask::ZipFailed, &wait, [&](const QString &message) { failure = message; });
    connect(&task, &TZipTask::Finished, &wait, &QEventLoop::quit);
    if (!task.Start())
        failure = QStringLiteral("la compression n'a pas pu démarrer");
    else
        wait.exec();
    if (failure.isEmpty() && task.FileCount() > 0 && QFileInfo::exists(item.archivePath)) {
        status->SetPanelText(1, CompressionDoneText(item.archivePath));
        return true;
    }
    if (failure.isEmpty())
        failure = QStringLiteral("aucun fichier n'a été compressé");
    status->SetPanelText(1, item.archivePath + QStringLiteral(" : ") + failure);
    run.problems << QStringLiteral("« %1 » n'a pas été compressé : %2").arg(item.localPath, failure);
    return false;
}

void TSchedulerTab::FinishRun()
{
    ListenToClient(false);
    const bool clean = run.problems.isEmpty() && run.errors == 0 && !run.lost;
    context.VexFtp1()->Close();
    const QPointer<TSchedulerTab> alive(this);
    // Unchecking runs the enable-box algorithm: "Programmation désactivée",
    // SchedulerEnabled 0, the timer stopped.
    CheckBox9->setChecked(false);
    if (!alive)
        return;
    Label15->setText(clean ? SchedulerText::Done : SchedulerText::DoneWithErrors);
    Timer2->start();
    if (parts.dialUp->deconnecter()->isChecked()) {
        // Every active dial-up connection is hung up while Quitting is set.
        context.SetQuitting(true);
        parts.dialUp->ListActiveConnections();
        if (!alive)
            return;
        context.SetQuitting(false);
    }
    context.SetScheduledRunActive(false);
    state = TRunState::Idle;
    const QStringList problems = run.problems;
    run = TRun();
    if (!problems.isEmpty())
        Prompts().Message(context.Window(), MainText::Caption, problems.join(QLatin1Char('\n')), TMessageKind::Error);
}
