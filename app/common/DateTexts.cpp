// Dates and times in the user's formats.

#include "DateTexts.h"

#include <QDate>
#include <QLocale>
#include <QTime>

QString ShortDateText(const QDate &date)
{
    return QLocale().toString(date, QLocale::ShortFormat);
}

QString LongTimeText(const QTime &time)
{
    const QLocale locale;
    const QString format = locale.timeFormat(QLocale::LongFormat).remove(QLatin1Char('t')).trimmed();
    return locale.toString(time, format);
}
