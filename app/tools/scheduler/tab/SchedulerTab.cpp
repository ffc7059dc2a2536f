// The scheduler tab's layout, its enable box and its start-up steps.

#include "SchedulerTab.h"

#include "AppContext.h"
#include "AppFiles.h"
#include "SiteProfiles.h"
#include "WidgetHelpers.h"

#include <QCalendarWidget>
#include <QCheckBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextBlock>
#include <QTime>
#include <QTimer>
#include <QVBoxLayout>

namespace {
const QString SchedulerOn = QStringLiteral("Programmation activée");
const QString SchedulerOff = QStringLiteral("Programmation désactivée");
// The first line of a program that has been cleared.
const QString ClearedProgram = QStringLiteral("Aucune");

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
}

TSchedulerTab::TSchedulerTab(TAppContext &context, QWidget *parent) : QWidget(parent), context(context)
{
    setObjectName(QStringLiteral("TabSheet5"));
    // Top row: date, hour and actions; bottom row: the program text and the
    // candidate lists.
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(6, 4, 6, 4);
    auto *topRow = new QHBoxLayout;
    auto *bottomRow = new QHBoxLayout;
    layout->addLayout(topRow);
    layout->addLayout(bottomRow, 1);

    MonthCalendar1 = Named(new QCalendarWidget(this), "MonthCalendar1");
    MonthCalendar1->setVerticalHeaderFormat(QCalendarWidget::NoVerticalHeader);
    MonthCalendar1->setGridVisible(false);
    MonthCalendar1->setStyleSheet(QStringLiteral("#qt_calendar_navigationbar { background-color: rgb(0,128,128); }"));
    topRow->addWidget(Group(this, "GroupBox9", QStringLiteral("&Date de programmation"), MonthCalendar1));

    ListBox2 = Named(new QListWidget(this), "ListBox2");
    for (int hour = 1; hour <= 24; ++hour)
        ListBox2->addItem(QString::number(hour));
    ListBox2->setFixedWidth(48);
    ListBox2->setFixedHeight(MonthCalendar1->sizeHint().height());
    topRow->addWidget(Group(this, "GroupBox10", QStringLiteral("&Heure"), ListBox2));

    auto *action = new QWidget(this);
    auto *actionLayout = new QVBoxLayout(action);
    actionLayout->setContentsMargins(0, 0, 0, 0);
    actionLayout->setSpacing(3);
    Label24 = Named(new QLabel(SchedulerOff, action), "Label24");
    Label24->setAlignment(Qt::AlignCenter);
    SetTextColour(Label24, QColor(255, 0, 0));
    trayBox = Named(new QCheckBox(QStringLiteral("Icône dans la barre de tâches"), action), "CheckBox8");
    CheckBox9 = Named(new QCheckBox(QStringLiteral("Activer la programmation"), action), "CheckBox9");
    SpeedButton2 = Named(new QPushButton(QStringLiteral("Effacer la programmation en cours"), action), "SpeedButton2");
    SpeedButton3 = Named(new QPushButton(QStringLiteral("Charger une programmation"), action), "SpeedButton3");
    SpeedButton4 = Named(new QPushButton(QStringLiteral("Enregistrer la programmation en cours"), action), "SpeedButton4");
    Label15 = Named(new QLabel(QStringLiteral("Programmation réalisée"), action), "Label15");
    Label15->setAlignment(Qt::AlignCenter);
    QFont bold = Label15->font();
    bold.setBold(true);
    Label15->setFont(bold);
    SetTextColour(Label15, QColor(255, 0, 0));
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
    topRow->addWidget(Group(this, "GroupBox11", QStringLiteral("&Action"), action), 1);

    ListBox5 = Named(new QListWidget(this), "ListBox5");
    ListBox5->setSelectionMode(QAbstractItemView::ExtendedSelection);
    ListBox5->setDragEnabled(true);
    QGroupBox *localFiles = Group(this, "GroupBox12", QStringLiteral("&Fichiers locaux disponibles"), ListBox5);

    Memo2 = Named(new QPlainTextEdit(this), "Memo2");
    Memo2->setLineWrapMode(QPlainTextEdit::NoWrap);
    Memo2->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Memo2->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    QPalette navy = Memo2->palette();
    navy.setColor(QPalette::Text, QColor(0, 0, 128));
    navy.setColor(QPalette::Base, Qt::white);
    Memo2->setPalette(navy);
    bottomRow->addWidget(Group(this, "GroupBox13", QStringLiteral("&Programmation"), Memo2), 2);
    bottomRow->addWidget(localFiles, 1);

    auto *remote = new QWidget(this);
    auto *remoteLayout = new QVBoxLayout(remote);
    remoteLayout->setContentsMargins(0, 0, 0, 0);
    ListBox4 = Named(new QListWidget(remote), "ListBox4");
    ListBox3 = Named(new QListWidget(remote), "ListBox3");
    ListBox3->setSelectionMode(QAbstractItemView::ExtendedSelection);
    ListBox3->setDragEnabled(true);
    remoteLayout->addWidget(Group(remote, "GroupBox14", QStringLiteral("&Repertoires distants disponibles"), ListBox4));
    remoteLayout->addWidget(Group(remote, "GroupBox15", QStringLiteral("&Fichiers Distants disponibles"), ListBox3));
    bottomRow->addWidget(remote, 1);

    programmateur = Timer(this, "programmateur");
    Timer2 = Timer(this, "Timer2");

    // Programmatic changes count too: the flag always follows the box.
    context.Connect(CheckBox9, &QCheckBox::toggled, this, &TSchedulerTab::CheckBox9Click);
}

void TSchedulerTab::CheckBox9Click()
{
    // The scheduler arms or stops its timer here as well.
    const bool checked = CheckBox9->isChecked();
    context.SetSchedulerEnabled(checked ? 1 : 0);
    Label24->setText(checked ? SchedulerOn : SchedulerOff);
}

void TSchedulerTab::ClearSchedule()
{
    MonthCalendar1->setSelectedDate(QDate::currentDate());
    context.SetSchedulerEnabled(0);
    ListBox2->setCurrentRow(0);
}

void TSchedulerTab::LoadProgramFile()
{
    const TProfileFile file = ReadProfileFile(FilePathInFilesFolder(QStringLiteral("programmation.ini")));
    if (file.state != TProfileFileState::Read)
        return;
    QStringList lines;
    for (const QByteArray &line : file.lines)
        lines.append(QString::fromUtf8(line));
    Memo2->setPlainText(lines.join(QLatin1Char('\n')));
}

void TSchedulerTab::ShowSchedulerEnabled(bool on)
{
    CheckBox9->setChecked(on);
    context.SetSchedulerEnabled(on ? 1 : 0);
    Label24->setText(on ? SchedulerOn : SchedulerOff);
}

void TSchedulerTab::ApplyClearedProgram()
{
    if (Memo2->document()->firstBlock().text() == ClearedProgram) {
        CheckBox9->setEnabled(false);
        CheckBox9->setChecked(false);
        Label24->setText(SchedulerOff);
        context.SetSchedulerEnabled(0);
    } else {
        CheckBox9->setEnabled(true);
    }
}

void TSchedulerTab::SelectCurrentHour()
{
    ListBox2->setCurrentRow(QTime::currentTime().hour());
}
