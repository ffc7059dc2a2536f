#pragma once
// Taking an ftp:// address apart. The address is split into user, password,
// host, port and path first, and each part is then percent-decoded, so that
// "%40", "%3A" and "%2F" inside a user name or password survive.

#include <QString>

struct TFtpUrlParts {
    bool hasUser = false;
    QString user;
    QString password;     // at most 999 characters
    QString host;
    bool hasPort = false;
    quint16 port = 0;     // 1 to 65535 when hasPort
    QString path;         // from the first "/" after the host, at most 999 characters
};

// Returns false with the text the client reports with ftpeBadUrl: another
// scheme, a user part without ":", or an address that cannot be taken apart
// (bad port, no host, a part that would carry CR or LF onto the wire).
bool SplitFtpUrl(const QString &address, TFtpUrlParts &parts, QString *errorText);
