#pragma once
// Helpers shared by the client and its views: address decoding, site keys,
// the date normalisers for listing columns, cache-safe names, the sorting
// comparison, the list filter's wildcard matcher and the cache's date stamp.

#include <QDate>
#include <QCollatorSortKey>
#include <QString>

#include <optional>

// Decodes %XX escapes byte by byte; lone or broken escapes are kept as the
// rules of ConnectUrl expect ("100%" stays, "%zz" gives "zz", "%4z" gives "4z").
QString PercentDecode(const QString &s);

// The key of a site in the remote tree: ftp://[user:password@]server[:port]
// (no user part for anonymous or ftp, no port for 21). Nothing is escaped.
QString SiteUrl(const QString &server, int port, const QString &user, const QString &password);

// "/C:/pub" -> "/pub", "C:\pub\x" -> "/pub/x".
QString StripDrivePrefix(const QString &path);

// The text every reader of a date column falls back to.
inline constexpr const char *UnknownDateText = "1/1/80 12:00";

// EPLF seconds since 1970 -> "mm/dd/yyyy hh:mm".
QString UnixTimeToText(const QString &seconds);
// "Jan 5 12:30" / "Dec 25 2001" -> "1/5/2003 12:30 PM" / "12/25/2001 12:00 AM".
QString ListDateToText(const QString &columns);
// The same date text, built straight into out with one allocation (none for
// an unreadable date): the listing parser calls it for every line.
void ListDateInto(QStringView columns, QString &out);
// "12-24-03", "10:23AM" -> "12/24/03 10:23 AM".
QString DosDateToText(const QString &date, const QString &time);

// "/" and "\" become "-", '"', '*', ':' and '?' become the replacement.
QString CacheSafeName(const QString &s, QChar replacement);

// Locale-aware, case-ignoring comparison for sorting: -1, 0 or +1.
int CompareTextLocale(const QString &a, const QString &b);

// What CompareTextLocale compares, worked out once for a text: comparing two
// keys gives exactly what CompareTextLocale gives for their texts, at the
// cost of a plain comparison. Sorting a large list makes one key per entry
// instead of running the collator at every comparison.
class TTextSortKey
{
public:
    explicit TTextSortKey(const QString &text);
    int Compare(const TTextSortKey &other) const;

private:
    // With the "C" collation, the text with every code unit folded as the
    // case-ignoring comparison folds it (the text itself when nothing
    // changes); otherwise the collator's own key.
    QString m_folded;
    std::optional<QCollatorSortKey> m_collated;
    bool m_empty;
};

// Case-sensitive "?" and "*" matching as the list view's filter uses it.
bool WildcardMatch(const QString &pattern, const QString &name);

// year * 10000 + month * 100 + day.
int DateStamp(const QDate &date);

// Start-up values, computed once per process.
const QString &CurrentYear();          // four-digit local year
const QString &ListingCacheDirectory(); // where the listing cache lives, ending in "/"
