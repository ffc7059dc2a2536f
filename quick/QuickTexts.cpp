// Formatting of the quick explorer's messages ("%s", "%N:s", "%%").
#include "QuickTexts.h"

QString FormatQuickMessage(const QString &format, const QStringList &args)
{
    QString text;
    text.reserve(format.size());
    qsizetype next = 0;
    for (qsizetype i = 0; i < format.size(); ++i) {
        const QChar c = format.at(i);
        if (c != QLatin1Char('%') || i + 1 >= format.size()) {
            text += c;
            continue;
        }
        if (format.at(i + 1) == QLatin1Char('%')) {
            text += QLatin1Char('%');
            ++i;
            continue;
        }
        // "%s" or "%N:s"; anything else is kept as it stands.
        qsizetype j = i + 1;
        qsizetype index = next;
        if (format.at(j).isDigit()) {
            qsizetype k = j;
            while (k < format.size() && format.at(k).isDigit())
                ++k;
            if (k + 1 < format.size() && format.at(k) == QLatin1Char(':')) {
                index = format.mid(j, k - j).toLongLong();
                j = k + 1;
            } else {
                text += c;
                continue;
            }
        }
        if (j < format.size() && format.at(j) == QLatin1Char('s')) {
            text += args.value(index);
            next = index + 1;
            i = j;
            continue;
        }
        text += c;
    }
    return text;
}
