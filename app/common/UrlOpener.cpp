#include "UrlOpener.h"

#include <QDesktopServices>

namespace {
TUrlOpener &Current()
{
    static TUrlOpener opener;
    return opener;
}
}

bool OpenUrl(const QUrl &url)
{
    if (Current())
        return Current()(url);
    return QDesktopServices::openUrl(url);
}

void SetUrlOpener(const TUrlOpener &opener)
{
    Current() = opener;
}
