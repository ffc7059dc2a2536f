#pragma once
// The user's short date and long time, as the status bars show them.

#include <QString>

class QDate;
class QTime;

QString ShortDateText(const QDate &date);
// The locale's long time format without its time zone.
QString LongTimeText(const QTime &time);
