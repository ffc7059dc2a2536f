#include "FtpMisc.h"

#include <QCollator>
#include <QDir>
#include <QLocale>
#include <QStandardPaths>
#include <QTime>

#include <algorithm>
#include <vector>

namespace {

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

QString unknownDate()
{
    return QString::fromLatin1(UnknownDateText);
}

// A five-character "hh:mm" on the 12-hour clock: 00 is midnight (12 AM) and
// 12 is noon (12 PM). An hour that is not a number from 0 to 23 gives an
// empty text: the whole date is then unreadable.
QString twelveHourTime(const QString &time)
{
    bool ok = false;
    const int hour = time.left(2).toInt(&ok);
    if (!ok || hour < 0 || hour > 23 || !time.at(0).isDigit() || !time.at(1).isDigit())
        return QString();
    const QString minutes = time.mid(2);
    QString result;
    if (hour == 0)
        result = QStringLiteral("12") + minutes + QStringLiteral(" AM");
    else if (hour == 12)
        result = time + QStringLiteral(" PM");
    else if (hour > 12)
        result = QString::number(hour - 12) + minutes + QStringLiteral(" PM");
    else
        result = time + QStringLiteral(" AM");
    if (result.startsWith(u'0'))
        result.remove(0, 1);
    return result;
}

// One matcher per name: the result of matching the rest of the pattern from
// a star onwards depends only on the two cursors, so it is remembered. That
// keeps patterns with many stars from taking exponential time.
class WildcardMatcher
{
public:
    WildcardMatcher(const QString &pattern, const QString &name)
        : p(pattern), n(name)
    {
    }

    bool match(qsizetype pi, qsizetype ni, bool afterStar)
    {
        if (afterStar) {
            char &seen = memo(pi, ni);
            if (seen == 0)
                seen = matchAfterStar(pi, ni) ? 2 : 1;
            return seen == 2;
        }
        return matchPlain(pi, ni);
    }

private:
    bool matchAfterStar(qsizetype pi, qsizetype ni)
    {
        // The character that follows the stars anchors the attempt: "?"
        // takes one name character, anything else is searched for.
        if (p.at(pi) == u'?') {
            ++ni;
        } else {
            while (ni < n.size() && n.at(ni) != p.at(pi))
                ++ni;
            if (ni >= n.size())
                return false;
        }
        return matchPlain(pi, ni);
    }

    bool matchPlain(qsizetype pi, qsizetype ni)
    {
        for (;;) {
            if (ni >= n.size())
                return pi >= p.size();
            if (pi >= p.size())
                return false;
            if (p.at(pi) == u'*')
                break;
            if (p.at(pi) != u'?' && p.at(pi) != n.at(ni))
                return false;
            ++pi;
            ++ni;
        }
        while (pi < p.size() && p.at(pi) == u'*')
            ++pi;
        if (pi >= p.size())
            return true;
        for (; ni < n.size(); ++ni) {
            if (match(pi, ni, true))
                return true;
        }
        return false;
    }

    char &memo(qsizetype pi, qsizetype ni)
    {
        if (seen.empty())
            seen.assign(size_t(p.size() + 1) * size_t(n.size() + 1), 0);
        return seen[size_t(pi) * size_t(n.size() + 1) + size_t(ni)];
    }

    const QString &p;
    const QString &n;
    std::vector<char> seen; // 0 unknown, 1 no match, 2 match
};

} // namespace

QString PercentDecode(const QString &s)
{
    // Escapes stand for bytes of the UTF-8 form, so "%C3%A9" is one "é".
    const QByteArray in = s.toUtf8();
    QByteArray out;
    out.reserve(in.size());
    qsizetype i = 0;
    const qsizetype size = in.size();
    while (i < size) {
        const char c = in.at(i++);
        if (c != '%') {
            out.append(c);
            continue;
        }
        if (i >= size) {
            out.append('%'); // a final lone "%" is kept
            break;
        }
        const char first = in.at(i++);
        const int high = hexValue(first);
        if (high < 0) {
            out.append(first); // "%zz" -> "zz": the "%" alone is dropped
            continue;
        }
        if (i >= size) {
            out.append(first); // "...%4" ends in "4"
            break;
        }
        const char second = in.at(i++);
        const int low = hexValue(second);
        if (low < 0) {
            out.append(first); // "%4z" -> "4z"
            out.append(second);
            continue;
        }
        out.append(char(high * 16 + low));
    }
    // Bytes that do not form UTF-8 become replacement characters.
    return QString::fromUtf8(out);
}

QString SiteUrl(const QString &server, int port, const QString &user, const QString &password)
{
    QString url = QStringLiteral("ftp://");
    const QString lowerUser = user.toLower();
    if (lowerUser != QLatin1String("anonymous") && lowerUser != QLatin1String("ftp"))
        url += user + u':' + password + u'@';
    url += server;
    if (port != 21)
        url += u':' + QString::number(port);
    return url;
}

QString StripDrivePrefix(const QString &path)
{
    if (path.startsWith(u'/'))
        return path.mid(3);
    QString result = path.mid(2);
    result.replace(u'\\', u'/');
    return result;
}

QString UnixTimeToText(const QString &seconds)
{
    bool ok = false;
    const qint32 n = seconds.toInt(&ok);
    if (!ok)
        return unknownDate();
    // Floor division, so that times before 1970 land on the day before
    // rather than giving a negative time of day.
    qint64 days = n / 86400;
    qint64 rest = n % 86400;
    if (rest < 0) {
        rest += 86400;
        --days;
    }
    const QDate date = QDate(1970, 1, 1).addDays(days);
    const QTime time = QTime(0, 0).addSecs(int(rest));
    // The separators are always "/" and ":": readers of the date column
    // (the sort key, the site comparison) take the text apart at those
    // characters, whatever the user's locale writes.
    return date.toString(QStringLiteral("MM/dd/yyyy")) + u' ' + time.toString(QStringLiteral("HH:mm"));
}

void ListDateInto(QStringView columns, QString &out)
{
    static const QString unknown = unknownDate();
    const QChar first = columns.size() > 0 ? columns[0] : QChar();
    const QChar second = columns.size() > 1 ? columns[1] : QChar();
    const QChar third = columns.size() > 2 ? columns[2] : QChar();
    int month = 0;
    switch (first.unicode()) {
    case 'A': month = second == u'p' ? 4 : 8; break;
    case 'D': month = 12; break;
    case 'F': month = 2; break;
    case 'J': month = second == u'a' ? 1 : (third == u'n' ? 6 : 7); break;
    case 'M': month = third == u'r' ? 3 : 5; break;
    case 'N': month = 11; break;
    case 'O': month = 10; break;
    case 'S': month = 9; break;
    default: break;
    }

    const qsizetype blank = columns.indexOf(u' ');
    if (blank < 0) {
        out = unknown; // a single token carries no day
        return;
    }
    QStringView rest = columns.sliced(blank + 1);
    qsizetype lead = 0;
    while (lead < rest.size() && rest[lead] == u' ')
        ++lead;
    rest = rest.sliced(lead);

    const QStringView day = rest.left(2).trimmed();
    rest = rest.sliced(std::min(rest.size(), qsizetype(rest.size() > 2 && rest[2] == u' ' ? 3 : 2)));
    if (rest.isEmpty()) {
        out = unknown;
        return;
    }

    // The time is written as up to three pieces: an hour text, the rest of
    // the clock text and the AM/PM mark.
    QStringView year;
    QString hourText; // only for hours written anew (13 to 23 and 00)
    QStringView clock;
    QStringView mark;
    QString unusual; // a clock text with digits other than ASCII ones
    if (rest.contains(u':')) {
        year = CurrentYear();
        const QStringView time = rest.trimmed();
        if (time.size() == 5) {
            const QChar h0 = time[0];
            const QChar h1 = time[1];
            const bool ascii = h0 >= u'0' && h0 <= u'9' && h1 >= u'0' && h1 <= u'9';
            if (!ascii) {
                if (!h0.isDigit() || !h1.isDigit()) {
                    out = unknown;
                    return;
                }
                unusual = twelveHourTime(time.toString());
                if (unusual.isEmpty()) {
                    out = unknown;
                    return;
                }
                clock = unusual;
            } else {
                const int hour = (h0.unicode() - u'0') * 10 + (h1.unicode() - u'0');
                const QStringView minutes = time.sliced(2);
                if (hour > 23) {
                    out = unknown;
                    return;
                }
                if (hour == 0) {
                    hourText = QStringLiteral("12");
                    clock = minutes;
                    mark = u" AM";
                } else if (hour == 12) {
                    clock = time;
                    mark = u" PM";
                } else if (hour > 12) {
                    hourText = QString::number(hour - 12);
                    clock = minutes;
                    mark = u" PM";
                } else {
                    clock = h0 == u'0' ? time.sliced(1) : time;
                    mark = u" AM";
                }
            }
        } else {
            clock = time;
            mark = u" AM";
        }
    } else {
        year = rest.trimmed();
        if (year.isEmpty()) {
            out = unknown;
            return;
        }
        clock = u"12:00 AM";
    }

    QString result;
    result.reserve(2 + 1 + day.size() + 1 + year.size() + 1 + hourText.size() + clock.size() + mark.size());
    if (month >= 10)
        result.append(QChar(u'1'));
    if (month > 0)
        result.append(QChar(u'0' + month % 10));
    result.append(u'/').append(day).append(u'/').append(year).append(u' ');
    result.append(hourText).append(clock).append(mark);
    out = std::move(result);
}

QString ListDateToText(const QString &columns)
{
    QString out;
    ListDateInto(columns, out);
    return out;
}

QString DosDateToText(const QString &date, const QString &time)
{
    // Only the separator positions the token really has are replaced: a
    // short token such as "12-2" becomes "12/2" and nothing is appended.
    QString d = date;
    if (d.size() > 2)
        d[2] = u'/';
    if (d.size() > 5)
        d[5] = u'/';
    return d + u' ' + time.left(5) + u' ' + time.mid(5, 2);
}

QString CacheSafeName(const QString &s, QChar replacement)
{
    QString result = s;
    for (QChar &c : result) {
        switch (c.unicode()) {
        case '/':
        case '\\':
            c = u'-';
            break;
        case '"':
        case '*':
        case ':':
        case '?':
            c = replacement;
            break;
        default:
            break;
        }
    }
    return result;
}

namespace {

// Sorting compares millions of pairs: one collator per thread, set up for
// the locale in force at its first use.
const QCollator &LocaleCollator()
{
    thread_local const QCollator collator = [] {
        QCollator c{QLocale()};
        c.setCaseSensitivity(Qt::CaseInsensitive);
        return c;
    }();
    return collator;
}

// Whether the collator compares as the "C" locale does: code unit by code
// unit, each folded to its case-free form, with no collation rules.
// A collator that could not be set up for its locale compares that way too,
// and its keys would all be alike: the keys are then folded texts as well.
bool CollatesAsC(const QCollator &collator)
{
    thread_local const bool asC = collator.locale().language() == QLocale::C
                                  || collator.sortKey(QStringLiteral("a")).compare(collator.sortKey(QStringLiteral("b"))) == 0;
    return asC;
}

} // namespace

int CompareTextLocale(const QString &a, const QString &b)
{
    if (a.isEmpty())
        return b.isEmpty() ? 0 : -1;
    if (b.isEmpty())
        return 1;
    const int r = LocaleCollator().compare(a, b);
    return r < 0 ? -1 : (r > 0 ? 1 : 0);
}

TTextSortKey::TTextSortKey(const QString &text) : m_empty(text.isEmpty())
{
    if (m_empty)
        return;
    const QCollator &collator = LocaleCollator();
    if (!CollatesAsC(collator)) {
        m_collated.emplace(collator.sortKey(text));
        return;
    }
    // The "C" comparison folds each code unit on its own; a low surrogate
    // is folded as part of the character it completes and stands for the
    // low half of the folded character. The same folding, done once here,
    // leaves a plain code unit comparison to do.
    const qsizetype n = text.size();
    const char16_t *units = reinterpret_cast<const char16_t *>(text.constData());
    char16_t *out = nullptr;
    char32_t last = 0;
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t ch = units[i];
        char16_t folded;
        if (ch < 0x80) {
            folded = ch >= u'A' && ch <= u'Z' ? char16_t(ch + 32) : ch;
        } else {
            char32_t ucs4 = ch;
            if (QChar::isLowSurrogate(ucs4) && QChar::isHighSurrogate(last))
                ucs4 = QChar::surrogateToUcs4(char16_t(last), ch);
            const char32_t f = QChar::toCaseFolded(ucs4);
            folded = QChar::requiresSurrogates(f) ? QChar::lowSurrogate(f) : char16_t(f);
        }
        last = ch;
        if (folded != ch && !out) {
            m_folded = text;
            out = reinterpret_cast<char16_t *>(m_folded.data()); // detaches once
        }
        if (out)
            out[i] = folded;
    }
    if (!out)
        m_folded = text;
}

int TTextSortKey::Compare(const TTextSortKey &other) const
{
    if (m_empty)
        return other.m_empty ? 0 : -1;
    if (other.m_empty)
        return 1;
    const int r = m_collated ? m_collated->compare(*other.m_collated)
                             : QStringView(m_folded).compare(QStringView(other.m_folded), Qt::CaseSensitive);
    return r < 0 ? -1 : (r > 0 ? 1 : 0);
}

bool WildcardMatch(const QString &pattern, const QString &name)
{
    WildcardMatcher matcher(pattern, name);
    return matcher.match(0, 0, false);
}

int DateStamp(const QDate &date)
{
    return date.year() * 10000 + date.month() * 100 + date.day();
}

const QString &CurrentYear()
{
    static const QString year =
        QStringLiteral("%1").arg(QDate::currentDate().year(), 4, 10, QLatin1Char('0'));
    return year;
}

const QString &ListingCacheDirectory()
{
    static const QString directory = [] {
        QString base = QStandardPaths::writableLocation(QStandardPaths::CacheLocation);
        if (base.isEmpty())
            return QDir::tempPath() + QStringLiteral("/velmar/ftpcache/");
        if (!base.endsWith(u'/'))
            base += u'/';
        return base + QStringLiteral("ftpcache/");
    }();
    return directory;
}
