#include "SiteAddress.h"

QString EscapeAddressFolder(const QString &name)
{
    QString escaped = name;
    escaped.replace(QLatin1Char('%'), QLatin1String("%25"));
    return escaped;
}

QString EscapeAddressPart(const QString &text)
{
    QString escaped;
    escaped.reserve(text.size());
    for (const QChar c : text) {
        switch (c.unicode()) {
        case '%':
            escaped += QLatin1String("%25");
            break;
        case '@':
            escaped += QLatin1String("%40");
            break;
        case ':':
            escaped += QLatin1String("%3A");
            break;
        case '/':
            escaped += QLatin1String("%2F");
            break;
        default:
            escaped += c;
        }
    }
    return escaped;
}

QString SiteAddress(const QString &server, quint16 port, const QString &user,
                    const QString &password, const QStringList &folders)
{
    QString address = QLatin1String("ftp://") + EscapeAddressPart(user) + QLatin1Char(':')
                      + EscapeAddressPart(password) + QLatin1Char('@') + EscapeAddressPart(server)
                      + QLatin1Char(':') + QString::number(port) + QLatin1Char('/');
    for (const QString &folder : folders)
        address += EscapeAddressFolder(folder) + QLatin1Char('/');
    return address;
}
