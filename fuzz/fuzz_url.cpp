// ftp:// addresses and percent escapes, as a user types or pastes them.
//
// The input is read twice: as an address, which must be taken apart or
// refused with one of the three address errors; and as five fields (user,
// password, host, port, path, separated by NUL bytes) that, once
// percent-encoded into an address, must come back as SplitFtpUrl promises:
// unchanged, except that the host loses the blanks (line breaks included)
// around it, and an address whose decoded parts would carry CR or LF is
// refused.

#include "FtpCodes.h"
#include "FtpMisc.h"
#include "FtpUrl.h"

#include <QByteArray>
#include <QByteArrayList>
#include <QString>
#include <QUrl>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

[[noreturn]] void Fail(const char *what, const QString &address)
{
    std::fprintf(stderr, "address: %s\ninput: %s\n", what, address.toUtf8().constData());
    std::abort();
}

void CheckAddress(const QString &address)
{
    TFtpUrlParts parts;
    QString error;
    if (!SplitFtpUrl(address, parts, &error)) {
        if (error != FtpText::UrlBadScheme && error != FtpText::UrlBadSyntax
            && error != FtpText::UrlUnexpected)
            Fail("refused with an unknown text", address);
        return;
    }
    if (!address.trimmed().startsWith(QLatin1String("ftp://"), Qt::CaseInsensitive))
        Fail("accepted without ftp://", address);
    if (parts.host.trimmed().isEmpty())
        Fail("accepted without a host", address);
    if (parts.hasPort && parts.port == 0)
        Fail("port 0 accepted", address);
    if (!parts.path.isEmpty() && !parts.path.startsWith(QLatin1Char('/')))
        Fail("path not starting with /", address);
    if (!parts.hasUser && (!parts.user.isEmpty() || !parts.password.isEmpty()))
        Fail("user fields without a user part", address);
}

void CheckDecode(const QString &text)
{
    const QString decoded = PercentDecode(text);
    if (!text.contains(QLatin1Char('%')) && decoded != text)
        Fail("text without escapes changed", text);
    // Every escaped byte comes back as itself.
    const QByteArray encoded = QUrl::toPercentEncoding(text);
    if (PercentDecode(QString::fromLatin1(encoded)) != text)
        Fail("encoded text does not decode to itself", text);
}

void CheckRoundTrip(const QByteArray &input)
{
    const QByteArrayList fields = input.split('\0');
    if (fields.size() != 5)
        return;
    const QString user = QString::fromUtf8(fields[0]);
    const QString password = QString::fromUtf8(fields[1]);
    const QString host = QString::fromUtf8(fields[2]);
    bool portGiven = false;
    const uint port = fields[3].toUInt(&portGiven);
    QString path = QString::fromUtf8(fields[4]);
    if (host.trimmed().isEmpty() || (portGiven && (port < 1 || port > 65535)))
        return;
    const auto encode = [](const QString &s) { return QString::fromLatin1(QUrl::toPercentEncoding(s)); };
    const bool hasUser = !user.isEmpty() || !password.isEmpty();
    QString address = QStringLiteral("ftp://");
    if (hasUser)
        address += encode(user) + QLatin1Char(':') + encode(password) + QLatin1Char('@');
    address += encode(host);
    if (portGiven)
        address += QLatin1Char(':') + QString::number(port);
    QString encodedPath;
    if (!path.isEmpty()) {
        // Slashes stay slashes; everything else is escaped.
        const QStringList pieces = path.split(QLatin1Char('/'));
        QStringList encodedPieces;
        for (const QString &piece : pieces)
            encodedPieces << encode(piece);
        encodedPath = QLatin1Char('/') + encodedPieces.join(QLatin1Char('/'));
        path.prepend(QLatin1Char('/'));
    }
    // Both are cut at 999 characters before decoding.
    if (encodedPath.size() > 999 || encode(password).size() > 999)
        return;
    address += encodedPath;

    TFtpUrlParts parts;
    QString error;
    const bool split = SplitFtpUrl(address, parts, &error);
    // Every part ends up in a command line: one that would carry a line
    // break is refused, whichever part it is in. The host is trimmed first,
    // so a break before or after its name is simply dropped.
    const auto breaks = [](const QString &s) { return s.contains(QLatin1Char('\r')) || s.contains(QLatin1Char('\n')); };
    if (breaks(user) || breaks(password) || breaks(host.trimmed()) || breaks(path)) {
        if (split)
            Fail("a line break inside a part was accepted", address);
        if (error != FtpText::UrlUnexpected)
            Fail("a line break inside a part was refused with another text", address);
        return;
    }
    if (!split)
        Fail("a well-formed address was refused", address);
    // The host is taken without the blanks around it (a pasted name often
    // ends with a tab or a blank).
    if (parts.hasUser != hasUser || parts.host != host.trimmed() || parts.path != path
        || parts.hasPort != portGiven || (portGiven && parts.port != port))
        Fail("parts did not come back", address);
    if (hasUser && (parts.user != user || parts.password != password))
        Fail("user or password did not come back", address);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArray input(reinterpret_cast<const char *>(data), qsizetype(size));
    const QString text = QString::fromUtf8(input);
    CheckAddress(text);
    CheckAddress(QStringLiteral("ftp://") + text);
    CheckDecode(text);
    // Paths the server reports pass through this one on some servers.
    (void)StripDrivePrefix(text);
    CheckRoundTrip(input);
    return 0;
}
