#pragma once
// The site comparison without widgets: the rows of the local file list and
// of a remote list in, the proposed updates out (name, action, action text),
// plus the action cycle and the three batches of the update run. QtCore only,
// so that it is tested on plain tables.
//
// Rules (the tab's comparison is exactly this):
// - Only files take part: local rows of the folder type, remote rows of the
//   source's folder type, the parent row ".." and empty captions never do.
// - A remote file with no local file of the same name proposes its deletion
//   from the site; a local file whose name is not, whole and with its case,
//   one of the remote captions proposes its upload.
// - With the date test on, a remote file whose local file was last written
//   on a strictly later calendar day proposes its upload, both dates shown.
//   A remote date that cannot be read (and the listing's "no date" text)
//   takes no part in it.
// - A remote name that cannot name a file of the local folder (a
//   separator, ".", "..") takes no part at all: its local path would leave
//   the folder, and deleting it would touch something else on the site.

#include <QDate>
#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

// The action of an update row; the number is the row's image index.
enum TUpdateAction { uaDeleteFromSite = 0, uaNoChange = 1, uaUpload = 2, uaDownload = 3 };

// Which remote list the comparison reads: the explorer's remote list (date
// texts month/day/year) or the quick explorer's list (dates as values).
enum class TCompareSource { Explorer, Quick };

namespace UpdateText {
// The texts the comparison writes.
inline const QString MissingLocally = QStringLiteral("N'existe pas ou plus en local: à supprimer");
inline const QString MissingOnSite = QStringLiteral("N'existe pas ou plus sur le site: à rajouter");
inline const QString DatesDifferPrefix = QStringLiteral("Dates différentes: à mettre à jour sur le site:  ");
inline const QString LocalSuffix = QStringLiteral("   (Local)-  ");
inline const QString RemoteSuffix = QStringLiteral("   (Distant)");
// The texts the action cycle writes, by action.
inline const QString DeleteFromSite = QStringLiteral("A supprimer du site");
inline const QString NoChange = QStringLiteral("Ne pas modifier");
inline const QString Upload = QStringLiteral("A mettre à jour sur le site");
inline const QString Download = QStringLiteral("A mettre à jour en local");
}

// A row of the local file list: its caption and its type text.
struct TCompareLocalRow {
    QString Name;
    QString TypeText;
};

// A row of the remote list: caption, type text, date text and, for the
// quick explorer, the listing's date as a value (invalid when none).
struct TCompareRemoteRow {
    QString Name;
    QString TypeText;
    QString DateText;
    QDateTime DateValue;
};

// What the local folder holds under a name.
struct TLocalFileState {
    enum Kind { Missing, File, Unusable };
    Kind State = Missing;
    QDateTime LastWrite; // File only, in local time
};

// The three boxes of "Affichage".
struct TCompareFilters {
    bool OlderOnServer = false; // "Afficher plus ancien sur serveur"
    bool MissingLocally = true; // "Afficher inexistant en local"
    bool MissingOnSite = true;  // "Afficher inexistant sur serveur web"
};

struct TCompareInput {
    TCompareSource Source = TCompareSource::Explorer;
    QList<TCompareLocalRow> Local;
    QList<TCompareRemoteRow> Remote;
    TCompareFilters Filters;
    // What the local folder holds under a remote name (the disk for the tab).
    std::function<TLocalFileState(const QString &name)> LocalFile;
    // The local day as the row text shows it (the user's short date).
    std::function<QString(const QDate &day)> LocalDateText;
};

struct TUpdateRow {
    QString Name;
    TUpdateAction Action = uaNoChange;
    QString Text;
};

// A remote file's day and the text that shows it in a row.
struct TRemoteDay {
    QDate Day;
    QString Shown;
};

// The proposals, in the order they are found (remote rows first, then local
// rows); the list shows them sorted by name.
QList<TUpdateRow> CompareSites(const TCompareInput &input);

// The explorer's date text read as month/day/year up to the first blank
// ("12/25/2003 10:00 AM" -> 25 December 2003 shown "25/12/2003"; "3/5/2003"
// -> 5 March 2003 shown "5/3/2003"). A year of one or two digits is 2000 to
// 2079 below 80 and 1980 to 1999 from 80 on. Nothing when the text is not a
// real date, or is the listing's "no date" text.
std::optional<TRemoteDay> ExplorerRemoteDay(const QString &dateText);
// The quick explorer's date: the day of the listing's value, shown as the
// date text's first ten characters. Nothing without a valid value.
std::optional<TRemoteDay> QuickRemoteDay(const QString &dateText, const QDateTime &value);

// The action cycle: 0 -> 1 -> 2 -> 3 -> 0, and the text it writes.
TUpdateAction NextAction(TUpdateAction action);
QString ActionText(TUpdateAction action);

// The update run's batches, names in row order: uploads (action 2),
// downloads (3) and deletions (0); rows of action 1 are left out.
struct TUpdateBatches {
    QStringList Uploads;
    QStringList Downloads;
    QStringList Deletions;
    bool Empty() const { return Uploads.isEmpty() && Downloads.isEmpty() && Deletions.isEmpty(); }
};
TUpdateBatches UpdateBatches(const QList<TUpdateRow> &rows);
