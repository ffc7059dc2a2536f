#pragma once
// Date columns of the VMS, VM and VM/VPS listings ("8-SEP-1996 16:09",
// "1995-11-06 11:19:31", "8/18/94 13:46:40") in the Unix-style text form that
// every reader of DateTime accepts: "9/8/1996 4:09 PM" (00:mm is 12:mm AM,
// 12:mm is 12:mm PM; no time gives 12:00 AM). A date that begins with a letter
// is read as a Unix-style month name; anything unreadable is UnknownDateText.

#include <QString>
#include <QStringView>

QString DialectDateToText(QStringView date, QStringView time);
