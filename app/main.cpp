// Velmar: a desktop FTP client. The splash shows while the main window is
// built; the program runs until the main window closes.

#include "AppFiles.h"
#include "AppIcon.h"
#include "Logo.h"
#include "MainWindow.h"
#include "Translations.h"

#include <QApplication>
#include <QTextStream>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    InitApplicationIdentity();
    if (!InstallFrenchInterface())
        QTextStream(stderr) << "Velmar : les traductions françaises de Qt (paquet qt6-translations-l10n) "
                               "sont introuvables ; les boîtes de dialogue standard resteront en anglais.\n";
    QApplication::setWindowIcon(VelmarIcon());

    auto *logo = new Tlogo;
    logo->ShowAndPaint();

    FilesFolder(); // chosen once, before anything reads or writes a file

    TfrmMain frmMain;
    frmMain.show();
    // The overwrite/resume dialog and the print preview are created here,
    // hidden, by the parts of the window that use them.

    logo->hide();
    delete logo;

    // With the icon in the notification area the program has no taskbar
    // button: the icon's "&Montrer" brings it back.
    frmMain.HideTaskbarButtonForTray();

    // A window without a taskbar button does not end the program by
    // closing, so the window says when it has closed.
    QObject::connect(&frmMain, &TfrmMain::Closed, &app, &QCoreApplication::quit, Qt::QueuedConnection);
    return app.exec();
}
