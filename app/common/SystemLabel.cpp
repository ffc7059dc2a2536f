#include "SystemLabel.h"

#include <QOperatingSystemVersion>
#include <QSysInfo>

QString WindowsVersionLabel(int major, int minor, bool nt)
{
    if (major == 3)
        return minor == 51 ? QStringLiteral("Windows NT 3.51") : QStringLiteral("unknown");
    if (major == 4) {
        switch (minor) {
        case 0: return nt ? QStringLiteral("Windows NT 4.0") : QStringLiteral("Windows 95");
        case 10: return QStringLiteral("Windows 98");
        case 90: return QStringLiteral("Windows ME");
        default: break;
        }
    }
    if (major == 5 && minor == 0)
        return QStringLiteral("Windows 2000");
    if (major == 5 && minor == 1)
        return QStringLiteral("Windows XP");
    return QStringLiteral("Inconnu");
}

QString OperatingSystemLabel()
{
#ifdef Q_OS_WIN
    const QOperatingSystemVersion v = QOperatingSystemVersion::current();
    return WindowsVersionLabel(v.majorVersion(), v.minorVersion(), true);
#else
    return QSysInfo::prettyProductName();
#endif
}
