#pragma once
// TSchedulerTab: the tab "    P&rogrammation" (the page TabSheet5): the date
// (MonthCalendar1) and hour (ListBox2) of the scheduled run, the action
// group (Label24, the boxes CheckBox8 "Icône dans la barre de tâches" and
// CheckBox9 "Activer la programmation", the three program buttons and
// Label15), the program text Memo2 and the lists of candidate local files,
// remote folders and remote files; and the scheduler's timers programmateur
// and Timer2. The scheduled runs themselves come with the tool.
//
// The window's start-up and preferences use its steps below; CheckBox8
// belongs to the window (the notification-area icon).

#include <QWidget>

class QCalendarWidget;
class QCheckBox;
class QLabel;
class QListWidget;
class QPlainTextEdit;
class QPushButton;
class QTimer;
class TAppContext;

class TSchedulerTab : public QWidget
{
    Q_OBJECT
public:
    TSchedulerTab(TAppContext &context, QWidget *parent = nullptr);

    QCheckBox *CheckBox8() const { return trayBox; }

    // "Activer la programmation" checked or unchecked: SchedulerEnabled
    // and the label follow.
    void CheckBox9Click();

    // --- Steps of the window's start-up -----------------------------------------
    // The calendar on today, SchedulerEnabled 0, the first hour selected.
    void ClearSchedule();
    // The program kept beside the executable, "programmation.ini"; a missing
    // or unreadable file leaves the program text as it is.
    void LoadProgramFile();
    // Checks or unchecks "Activer la programmation" and sets SchedulerEnabled
    // and the label "Programmation activée" / "Programmation désactivée".
    void ShowSchedulerEnabled(bool on);
    // A program whose first line is "Aucune" cannot be enabled.
    void ApplyClearedProgram();
    // The hour list on the current hour.
    void SelectCurrentHour();

private:
    TAppContext &context;
    QCalendarWidget *MonthCalendar1 = nullptr;
    QListWidget *ListBox2 = nullptr;
    QLabel *Label24 = nullptr;
    QCheckBox *trayBox = nullptr;
    QCheckBox *CheckBox9 = nullptr;
    QPushButton *SpeedButton2 = nullptr;
    QPushButton *SpeedButton3 = nullptr;
    QPushButton *SpeedButton4 = nullptr;
    QLabel *Label15 = nullptr;
    QListWidget *ListBox5 = nullptr;
    QPlainTextEdit *Memo2 = nullptr;
    QListWidget *ListBox4 = nullptr;
    QListWidget *ListBox3 = nullptr;
    QTimer *programmateur = nullptr;
    QTimer *Timer2 = nullptr;
};
