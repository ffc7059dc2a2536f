// Qt's French catalogue and the French locale for the program's texts.

#include "Translations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

bool InstallFrenchInterface()
{
    QCoreApplication *app = QCoreApplication::instance();
    if (!app)
        return false;
    if (QLocale::system().language() != QLocale::French)
        QLocale::setDefault(QLocale(QLocale::French, QLocale::France));

    // A second translator would only be searched after the first.
    static const char *const installedMark = "velmarFrenchQtTranslations";
    if (app->property(installedMark).toBool())
        return true;
    auto *translator = new QTranslator(app);
    if (!translator->load(QStringLiteral("qtbase_fr"), QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        delete translator;
        return false;
    }
    QCoreApplication::installTranslator(translator);
    app->setProperty(installedMark, true);
    return true;
}
