// The desktop opener, replaceable by the tests, and what the user is told
// when the desktop has nothing to open an address with.

#include "UrlOpener.h"

#include "AppFiles.h"
#include "AppTexts.h"
#include "Prompts.h"

#include <QDesktopServices>
#include <QDir>

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

QString OpenFailureText(const QString &what)
{
    return QStringLiteral("Impossible d'ouvrir %1 : aucun programme du bureau ne s'en est chargé "
                          "(le paquet xdg-utils est-il installé ?).\n"
                          "L'aide de Velmar se trouve dans le fichier « %2 » : ouvrez-le avec votre navigateur.")
        .arg(what, QDir::toNativeSeparators(HelpFilePath()));
}

bool OpenUrlOrTell(QWidget *parent, const QUrl &url, const QString &what)
{
    if (OpenUrl(url))
        return true;
    Prompts().Message(parent, MainText::Caption, OpenFailureText(what), TMessageKind::Warning);
    return false;
}
