#pragma once
// The scheduler's program text: the lines of the tab's memo, saved as
// "programmation.ini" beside the executable and as ".pro" files. Its two
// layouts (a download of marked remote files, an upload of marked local
// files), the reading of its fixed lines (the date on line 1, the hour on
// line 3, the action on line 7) and the tests made on them when the
// scheduler is armed and at every tick of its timer. QtCore only.
//
// A line index is counted from 0; a line that does not exist reads as an
// empty text. The runner reads fixed positions: 1 (date), 3 (hour), 5 (the
// downloads folder or the remote folder entry), 7 (the action, recognised
// by the word "distants" or "locaux" anywhere in it) and 9 onwards (the
// items).

#include <QDate>
#include <QDateTime>
#include <QLocale>
#include <QString>
#include <QStringList>
#include <optional>

namespace ScheduleText {
inline const QString DateHeading = QStringLiteral("le:");
inline const QString HourHeading = QStringLiteral("à:");
inline const QString LocalFolderHeading = QStringLiteral("heure dans le répertoire local:");
inline const QString RemoteFolderHeading = QStringLiteral("heure dans le répertoire distant suivant: ");
inline const QString DownloadAction = QStringLiteral("Récupérer les fichiers distants suivants :");
inline const QString UploadAction = QStringLiteral("Envoyer les fichiers locaux suivants :");
// The words by which the runner recognises the action line.
inline const QString DownloadWord = QStringLiteral("distants");
inline const QString UploadWord = QStringLiteral("locaux");
// The single line of a cleared program.
inline const QString Cleared = QStringLiteral("Aucune");
}

// Fixed line positions.
constexpr int DateLine = 1;
constexpr int HourLine = 3;
constexpr int FolderLine = 5;
constexpr int ActionLine = 7;
constexpr int FirstItemLine = 9;

// The line at index, or an empty text when there is none.
QString ProgramLine(const QStringList &lines, int index);

// --- Date and hour ---------------------------------------------------------------
// The date is written in the user's short date format, a two-digit year
// widened to four digits (so that a program never names the wrong century).
QString ProgramDateFormat(const QLocale &locale = QLocale());
QString ProgramDateText(const QDate &date, const QLocale &locale = QLocale());
// Reads a date written by ProgramDateText; the French form 25/03/2003 is
// also understood, whatever the locale. Nothing when the text is no date.
std::optional<QDate> ProgramDate(const QString &text, const QLocale &locale = QLocale());
// The hour line for an entry of the hour list ("1" to "24"): the entry's
// text, "0" for "24" (midnight at the start of the chosen day).
QString ProgramHourText(const QString &hourEntry);
// The hour of an hour line: a whole number from 0 to 23 (blanks around it
// allowed); nothing otherwise.
std::optional<int> ProgramHour(const QString &text);

// --- Layouts -----------------------------------------------------------------------
// A download of remoteEntries (the marked remote files, "profile:host:folder:
// name") into downloadsFolder.
QStringList DownloadLayout(const QString &dateText, const QString &hourText, const QString &downloadsFolder,
                           const QStringList &remoteEntries);
// An upload of localEntries (full local paths) into the remote folder
// entries ("profile:host:folder"); the two folder lines are written once per
// folder entry, so that without one every later line moves up by two.
QStringList UploadLayout(const QString &dateText, const QString &hourText, const QStringList &folderEntries,
                         const QStringList &localEntries);

// --- Reading ----------------------------------------------------------------------
enum class TScheduleAction { None, Download, Upload };
// Line 7 holding "distants" is a download, else holding "locaux" an upload.
TScheduleAction ProgramAction(const QStringList &lines);
// The line that names the profile and the remote folder of a run: line 9 of
// a download, line 5 of an upload; -1 without an action.
int ReferenceLineIndex(TScheduleAction action);

// What "Activer la programmation" does when checked, from the program text
// and the current date and hour.
enum class TArmDecision {
    KeepTimer,     // no program text: the timer is left as it is
    Start,         // the chosen hour is still to come: start the timer
    PastDate,      // the date is over: "Date de programmation dépassée!", timer stopped, the box stays checked
    PastHour,      // today, the hour is over: the same message, timer stopped, the box unchecked
    Unreadable,    // no readable date on line 1 or hour on line 3: the box unchecked
};
TArmDecision ArmDecision(const QStringList &lines, const QDateTime &now, const QLocale &locale = QLocale());

// What a tick of the scheduler's timer does.
enum class TTickDecision {
    Wait,       // not the chosen date and hour yet (or no more)
    Due,        // today is the date of line 1 and the hour of line 3 has come
    Unreadable, // no readable date or hour: the box is unchecked, the timer stopped
};
TTickDecision TickDecision(const QStringList &lines, const QDateTime &now, const QLocale &locale = QLocale());

// --- Text and files -----------------------------------------------------------------
// The memo's lines, as the editor shows them: an empty text has none, a
// final line break starts an empty last line.
QStringList ProgramLinesFromText(const QString &text);
QString ProgramTextFromLines(const QStringList &lines);

// A program file larger than this is not read.
constexpr qint64 MaxProgramFileSize = 1024 * 1024;

// Splits file data into lines: CR LF, LF or CR end a line, a last line
// without an end counts; bytes are UTF-8 and a NUL becomes U+FFFD.
QStringList SplitProgramData(const QByteArray &data);
// Every line followed by CR LF.
QByteArray ProgramFileData(const QStringList &lines);

enum class TProgramFileState { Missing, Read, Unreadable };
struct TProgramFile {
    TProgramFileState state = TProgramFileState::Missing;
    QStringList lines;
    QString error; // why an existing file could not be read (French)
};
TProgramFile ReadProgramFile(const QString &path);
// Replaces the file at once (never half-written); false with the reason in
// error (French) when it cannot.
bool WriteProgramFile(const QString &path, const QStringList &lines, QString *error);
