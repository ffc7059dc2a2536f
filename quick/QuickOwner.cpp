// The shared part of the quick explorer's owner: options and the routine
// that shows the server's last reply.
#include "QuickOwner.h"

#include "BTFTPConnection.h"

#include <QEventLoop>
#include <QRegularExpression>
#include <QTimer>

namespace {
constexpr int ResponsePauseMs = 200;
}

TBTFTPOwner::~TBTFTPOwner() = default;

TdoOptions TBTFTPOwner::FTPOptions() const
{
    return TdoOptions::fromInt(int(options.load()));
}

void TBTFTPOwner::SetFTPOptions(TdoOptions value)
{
    options.store(unsigned(value.toInt()));
}

void TBTFTPOwner::SetHourglass(bool) {}

bool TBTFTPOwner::ShowLastResponse(bool pause)
{
    QString reply;
    if (!FtpConnection().LastResponse(reply))
        return false;
    return ShowResponse(reply, pause);
}

bool TBTFTPOwner::ShowResponse(const QString &reply, bool pause)
{
    const QStringList lines = reply.trimmed().split(QRegularExpression(QStringLiteral("\r\n|\r|\n")));
    const QString last = lines.isEmpty() ? QString() : lines.last().trimmed();
    if (!last.isEmpty()) {
        // The reply is the server's text, not a format: its "%" stay as they are.
        QString format = last;
        DisplayError(format.replace(QLatin1Char('%'), QLatin1String("%%")), {});
    }
    if (pause) {
        QEventLoop wait;
        QTimer::singleShot(ResponsePauseMs, &wait, &QEventLoop::quit);
        wait.exec(QEventLoop::ExcludeUserInputEvents);
    }
    return true;
}
