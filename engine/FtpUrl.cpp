// Splitting ftp:// addresses: ftp://[user:password@]host[:port][/path].

#include "FtpUrl.h"
#include "FtpCodes.h"
#include "FtpMisc.h"

namespace {
constexpr int MaxUrlPart = 999;

bool HasLineBreak(const QString &s)
{
    return s.contains(QLatin1Char('\r')) || s.contains(QLatin1Char('\n'));
}

// Decimal digits only: "+21", " 21" or "0x15" are no ports.
bool ParsePort(const QString &text, quint16 *port)
{
    if (text.isEmpty() || text.size() > 5)
        return false;
    int value = 0;
    for (const QChar c : text) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return false;
        value = value * 10 + (c.unicode() - '0');
    }
    if (value < 1 || value > 65535)
        return false;
    *port = quint16(value);
    return true;
}

bool Fail(QString *errorText, const QString &text)
{
    if (errorText)
        *errorText = text;
    return false;
}
}

bool SplitFtpUrl(const QString &address, TFtpUrlParts &parts, QString *errorText)
{
    parts = TFtpUrlParts();
    const QString text = address.trimmed();
    if (text.left(6).toLower() != QLatin1String("ftp://"))
        return Fail(errorText, FtpText::UrlBadScheme);
    QString rest = text.mid(6);

    // The host part ends at the first "/": an "@" further on belongs to the path.
    QString path;
    const qsizetype slash = rest.indexOf(QLatin1Char('/'));
    if (slash >= 0) {
        path = rest.mid(slash);
        rest.truncate(slash);
    }
    QString userPart;
    const qsizetype at = rest.indexOf(QLatin1Char('@'));
    if (at >= 0) {
        parts.hasUser = true;
        userPart = rest.left(at);
        rest = rest.mid(at + 1);
    }
    if (parts.hasUser) {
        const qsizetype colon = userPart.indexOf(QLatin1Char(':'));
        if (colon < 0)
            return Fail(errorText, FtpText::UrlBadSyntax);
        parts.user = PercentDecode(userPart.left(colon));
        parts.password = PercentDecode(userPart.mid(colon + 1)).left(MaxUrlPart);
    }
    parts.path = PercentDecode(path).left(MaxUrlPart);

    QString host = rest;
    const qsizetype colon = rest.indexOf(QLatin1Char(':'));
    if (colon >= 0) {
        host = rest.left(colon);
        parts.hasPort = true;
        if (!ParsePort(PercentDecode(rest.mid(colon + 1)), &parts.port))
            return Fail(errorText, FtpText::UrlUnexpected);
    }
    parts.host = PercentDecode(host).trimmed();
    if (parts.host.isEmpty())
        return Fail(errorText, FtpText::UrlUnexpected);
    // Every part ends up in a command line (USER, PASS, CWD, or a proxy's
    // SITE/OPEN/USER host): a decoded CR or LF would smuggle a second command.
    if (HasLineBreak(parts.user) || HasLineBreak(parts.password) || HasLineBreak(parts.host)
        || HasLineBreak(parts.path))
        return Fail(errorText, FtpText::UrlUnexpected);
    return true;
}
