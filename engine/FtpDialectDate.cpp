#include "FtpDialectDate.h"

#include "FtpMisc.h"

namespace {

bool IsDigit(QChar c) { return c >= u'0' && c <= u'9'; }
bool IsLetter(QChar c) { return (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z'); }

// Reads 1 to maxDigits digits at pos; -1 when there are none or too many.
int ReadNumber(QStringView text, qsizetype &pos, int maxDigits, int *digitCount = nullptr)
{
    const qsizetype start = pos;
    int value = 0;
    while (pos < text.size() && IsDigit(text[pos])) {
        if (pos - start >= maxDigits)
            return -1;
        value = value * 10 + (text[pos].unicode() - u'0');
        ++pos;
    }
    if (pos == start)
        return -1;
    if (digitCount)
        *digitCount = int(pos - start);
    return value;
}

bool Expect(QStringView text, qsizetype &pos, QChar c)
{
    if (pos >= text.size() || text[pos] != c)
        return false;
    ++pos;
    return true;
}

int MonthFromName(QStringView name)
{
    static constexpr QStringView names[12] = {u"JAN", u"FEB", u"MAR", u"APR", u"MAY", u"JUN",
                                              u"JUL", u"AUG", u"SEP", u"OCT", u"NOV", u"DEC"};
    for (int i = 0; i < 12; ++i) {
        if (name.compare(names[i], Qt::CaseInsensitive) == 0)
            return i + 1;
    }
    return 0;
}

int FullYear(int year, int digits)
{
    if (digits <= 2)
        return year + (year < 70 ? 2000 : 1900);
    return year;
}

// d-MON-yyyy (VMS), yyyy-mm-dd or m/d/yy[yy] (VM).
bool ReadDate(QStringView text, int &year, int &month, int &day)
{
    qsizetype pos = 0;
    int digits = 0;
    const int first = ReadNumber(text, pos, 4, &digits);
    if (first < 0 || pos >= text.size())
        return false;
    if (text[pos] == u'-' && digits <= 2) {
        ++pos;
        const qsizetype nameStart = pos;
        while (pos < text.size() && IsLetter(text[pos]))
            ++pos;
        month = MonthFromName(text.mid(nameStart, pos - nameStart));
        day = first;
        if (month == 0 || !Expect(text, pos, u'-'))
            return false;
        year = ReadNumber(text, pos, 4, &digits);
        if (year < 0)
            return false;
        year = FullYear(year, digits);
    } else if (text[pos] == u'-' && digits == 4) {
        ++pos;
        year = first;
        month = ReadNumber(text, pos, 2);
        if (!Expect(text, pos, u'-'))
            return false;
        day = ReadNumber(text, pos, 2);
    } else if (text[pos] == u'/' && digits <= 2) {
        ++pos;
        month = first;
        day = ReadNumber(text, pos, 2);
        if (!Expect(text, pos, u'/'))
            return false;
        year = ReadNumber(text, pos, 4, &digits);
        if (year < 0)
            return false;
        year = FullYear(year, digits);
    } else {
        return false;
    }
    return pos == text.size() && month >= 1 && month <= 12 && day >= 1 && day <= 31;
}

// h:mm, optionally followed by :ss and a fraction (VMS writes 16:09:35.12).
bool ReadTime(QStringView text, int &hour, int &minute)
{
    qsizetype pos = 0;
    hour = ReadNumber(text, pos, 2);
    if (hour < 0 || !Expect(text, pos, u':'))
        return false;
    minute = ReadNumber(text, pos, 2);
    if (minute < 0 || hour > 23 || minute > 59)
        return false;
    if (pos < text.size()) {
        if (!Expect(text, pos, u':') || ReadNumber(text, pos, 2) < 0)
            return false;
        if (pos < text.size() && (!Expect(text, pos, u'.') || ReadNumber(text, pos, 6) < 0))
            return false;
    }
    return pos == text.size();
}

} // namespace

QString DialectDateToText(QStringView date, QStringView time)
{
    if (date.isEmpty())
        return QString::fromLatin1(UnknownDateText);
    if (IsLetter(date.front()))
        return ListDateToText(date.toString() + u' ' + time.toString());

    int year = 0, month = 0, day = 0;
    if (!ReadDate(date, year, month, day))
        return QString::fromLatin1(UnknownDateText);
    int hour = 0, minute = 0;
    if (!time.isEmpty() && !ReadTime(time, hour, minute))
        return QString::fromLatin1(UnknownDateText);

    const bool pm = hour >= 12;
    int hour12 = hour % 12;
    if (hour12 == 0)
        hour12 = 12;
    return QStringLiteral("%1/%2/%3 %4:%5 %6")
        .arg(month)
        .arg(day)
        .arg(year)
        .arg(hour12)
        .arg(minute, 2, 10, QLatin1Char('0'))
        .arg(pm ? QStringLiteral("PM") : QStringLiteral("AM"));
}
