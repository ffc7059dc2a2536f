#pragma once
// TSchedulerTab: the tab "    P&rogrammation" (the page TabSheet5) and the
// transfer scheduler behind it. The tab holds the date (MonthCalendar1) and
// hour (ListBox2) of the scheduled run, the action group (Label24, the boxes
// CheckBox8 "Icône dans la barre de tâches" and CheckBox9 "Activer la
// programmation", the buttons that clear, load and save the program, and
// Label15), the program text Memo2 and the candidate lists: local files
// (ListBox5), remote folders (ListBox4) and remote files (ListBox3).
//
// The explorer tab's pop-up items mark candidates; dragging selected
// candidates onto the program text writes a download or an upload program
// (ScheduleProgram.h), kept as "programmation.ini" beside the executable.
// While "Activer la programmation" is checked the timer programmateur looks
// at the clock every second; at the chosen date and hour it connects the
// client with the profile the program names, and when the first listing
// after the login is done (the client's OnListingDone, whose hook the tab
// owns for its whole life) it transfers the files, disconnects, hangs the
// dial-up line up when asked and makes Label15 blink (Timer2). While a run
// is active the context's ScheduledRunActive makes the connection front end
// answer "Overwrite" to every question about an existing file.
//
// A run whose connection fails ends there: ScheduledRunActive is cleared
// and Label15 stops blinking; the box stays checked with the timer stopped.
// A run whose transfers reported errors ends with "Programmation terminée
// avec des erreurs" instead of "Programmation réalisée".
//
// The window makes the tab first and gives it the parts it works with
// (Attach) once they exist; CheckBox8 belongs to the window (the
// notification-area icon). The clock can be replaced (SetClock), so that
// tests choose the hour instead of waiting for it.

#include "ScheduleProgram.h"

#include <QDateTime>
#include <QStringList>
#include <QWidget>
#include <functional>

class QCalendarWidget;
class QCheckBox;
class QLabel;
class QListWidget;
class QPushButton;
class QTimer;
class TAppContext;
class TDialUpMonitor;
class TExplorerTab;
class TProgramMemo;
class TSiteManager;
struct TScheduledUpload;

namespace SchedulerText {
inline const QString On = QStringLiteral("Programmation activée");
inline const QString Off = QStringLiteral("Programmation désactivée");
inline const QString Running = QStringLiteral("Programmation en cours");
inline const QString Done = QStringLiteral("Programmation réalisée");
inline const QString DoneWithErrors = QStringLiteral("Programmation terminée avec des erreurs");
inline const QString DatePassed = QStringLiteral("Date de programmation dépassée!");
inline const QString ClearQuestion = QStringLiteral("Etes vous certain de vouloir effacer les programmations actuelles?");
inline const QString FileName = QStringLiteral("programmation.ini");
inline const QString ProFilter = QStringLiteral("pro (*.pro)");
}

class TSchedulerTab : public QWidget
{
    Q_OBJECT
public:
    TSchedulerTab(TAppContext &context, QWidget *parent = nullptr);
    ~TSchedulerTab() override;

    // The parts of the window a run and the marking commands work with.
    struct TParts {
        TExplorerTab *explorer = nullptr;   // remote and local lists, transfer display, status bar
        TSiteManager *sites = nullptr;      // the profile editor and the site list
        TDialUpMonitor *dialUp = nullptr;   // dial step and hang-up
        std::function<QString()> downloadsFolder; // the settings' field "tele"
        std::function<int()> packLevel;           // the settings' "Taux de compression zip"
    };
    // Takes the parts and wires the explorer's marking items (remote tree,
    // remote list and local list pop-ups), which it enables.
    void Attach(const TParts &parts);

    using TClock = std::function<QDateTime()>;
    // An empty clock goes back to the system's.
    void SetClock(TClock clock);
    QDateTime Now() const;

    QCheckBox *CheckBox8() const { return trayBox; }

    // The program text, line by line (none when empty).
    QStringList ProgramLines() const;
    void SetProgramLines(const QStringList &lines);

    // --- Handlers -------------------------------------------------------------
    void Marquerlerpertoireencourspourprogrammation1Click();
    void Marquerlesfichiersdistantspourprogrammation1Click();
    void Marquerlesfichierspourprogrammation1Click();
    void Marquerlesfichierspourcompressionlocale1Click();
    void Marquerlesfichierspourcompressionetenvoidistant1Click();
    // A drag over the program text is accepted when it comes from a list box.
    bool Memo2DragOver(const QObject *source) const;
    // A drop from the list box named sourceName.
    void Memo2DragDrop(const QString &sourceName);
    void MonthCalendar1Click();
    void ListBox2Click();
    // "Activer la programmation" checked or unchecked (by the user or the
    // program): the enable-box algorithm.
    void CheckBox9Click();
    void SpeedButton2Click(); // clear
    void SpeedButton3Click(); // load a ".pro" file
    void SpeedButton4Click(); // save a ".pro" file
    void programmateurTimer();
    void Timer2Timer();
    // The client's OnListingDone: clears the pie, and carries a run on.
    void VexFtp1ListingDone();

    // --- Steps of the window's start-up -----------------------------------------
    // The calendar on today, SchedulerEnabled 0, the first hour selected.
    void ClearSchedule();
    // The program kept beside the executable, "programmation.ini"; a missing
    // file leaves the program text as it is, an unreadable one is reported.
    void LoadProgramFile();
    // The preference "Programmation": checks or unchecks "Activer la
    // programmation", which runs the enable-box algorithm over the program.
    void ShowSchedulerEnabled(bool on);
    // A program whose first line is "Aucune" cannot be enabled.
    void ApplyClearedProgram();
    // The hour list on the current hour.
    void SelectCurrentHour();

private:
    enum class TRunState { Idle, Connecting, Transferring };
    struct TRun {
        QStringList lines; // the program as it stood when the run started
        TScheduleAction action = TScheduleAction::None;
        QString folder;    // the remote folder entered at login
        QStringList problems;
        int errors = 0;    // client errors during the transfers
        bool lost = false; // the connection went during the transfers
    };

    void BuildLayout();
    void Wire();
    void SelectHourRow(int row);
    void SetCalendarDate(const QDate &date);
    void WriteProgramFile();
    void AppendCandidates(QListWidget *list, const QStringList &entries);
    QStringList SelectedTexts(const QListWidget *list) const;
    void MarkForCompression(bool andSend);

    void StartRun(const QStringList &lines, TScheduleAction action);
    void DialIfNeeded();
    bool CloseClientFirst();
    void ListenToClient(bool listen);
    void RunTransfers();
    void Download();
    void Upload();
    bool Compress(const TScheduledUpload &item);
    void FinishRun();
    void EndFailedRun();

    TAppContext &context;
    TParts parts;
    TClock clock;

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
    TProgramMemo *Memo2 = nullptr;
    QListWidget *ListBox4 = nullptr;
    QListWidget *ListBox3 = nullptr;
    QTimer *programmateur = nullptr;
    QTimer *Timer2 = nullptr;

    // Set while the program moves the calendar or the hour list, so that
    // only the user's choices run their handlers.
    bool choosing = false;

    TRunState state = TRunState::Idle;
    TRun run;
    int quitSlot = -1;
    int readySlot = -1;
    int errorSlot = -1;
};
