// Qt's own texts in the program's dialogs are French whatever the system's
// language: under the C locale, the dialogs of the prompt seam (input box,
// question, file chooser) read "Annuler", "&Oui", "&Enregistrer"... and the
// calendar "décembre" once the start-up has installed Qt's French catalogue
// and the French locale, and English before.

#include "Prompts.h"
#include "Translations.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCalendarWidget>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QLabel>
#include <QLocale>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolButton>
#include <QtTest>
#include <functional>

namespace {
struct TDialogSeen {
    QString className;
    QStringList buttons;
    QString lookIn; // the file chooser's "Look in" label
};

// Runs ask, which opens a modal dialog of the prompt seam, and reads the
// dialog's button texts before closing it as a user would with Escape.
TDialogSeen ReadDialog(const std::function<void()> &ask)
{
    TDialogSeen seen;
    QTimer poll;
    poll.setInterval(20);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        auto *dialog = qobject_cast<QDialog *>(QApplication::activeModalWidget());
        if (!dialog)
            return;
        poll.stop();
        seen.className = QString::fromLatin1(dialog->metaObject()->className());
        for (const QDialogButtonBox *box : dialog->findChildren<QDialogButtonBox *>())
            for (const QAbstractButton *button : box->buttons())
                seen.buttons.append(button->text());
        if (const auto *label = dialog->findChild<QLabel *>(QStringLiteral("lookInLabel")))
            seen.lookIn = label->text();
        dialog->reject();
    });
    poll.start();
    ask();
    return seen;
}
}

class TestTranslations : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void englishBeforeStartUp();
    void frenchAfterStartUp();

private:
    QTemporaryDir folder;
};

// The month the scheduler's calendar shows for a December date.
QString CalendarMonth()
{
    QCalendarWidget calendar;
    calendar.setSelectedDate(QDate(2024, 12, 11));
    const auto *month = calendar.findChild<QToolButton *>(QStringLiteral("qt_calendar_monthbutton"));
    return month ? month->text() : QString();
}

void TestTranslations::initTestCase()
{
    // The dialog prompter, not a scripted one: its real dialogs are read.
    SetPrompter(nullptr);
    QCOMPARE(QLocale::system().name(), QStringLiteral("C"));
}

// Without the catalogue Qt speaks English: what the program's start-up must
// change.
void TestTranslations::englishBeforeStartUp()
{
    const TDialogSeen input = ReadDialog([] {
        QString value;
        QVERIFY(!Prompts().Input(nullptr, QStringLiteral("Saisie rapide"), QStringLiteral("Site Ftp"), value));
    });
    QCOMPARE(input.className, QStringLiteral("QInputDialog"));
    QVERIFY2(input.buttons.contains(QStringLiteral("Cancel")), qPrintable(input.buttons.join(u'|')));
    QCOMPARE(CalendarMonth(), QStringLiteral("December"));
}

void TestTranslations::frenchAfterStartUp()
{
    QVERIFY(InstallFrenchInterface());
    QVERIFY(InstallFrenchInterface()); // once is enough; a second call changes nothing

    const TDialogSeen input = ReadDialog([] {
        QString value = QStringLiteral("ftp.example.net");
        QVERIFY(!Prompts().Input(nullptr, QStringLiteral("Saisie rapide"), QStringLiteral("Site Ftp"), value));
        QCOMPARE(value, QStringLiteral("ftp.example.net"));
    });
    QCOMPARE(input.className, QStringLiteral("QInputDialog"));
    QCOMPARE(input.buttons.size(), 2);
    QVERIFY2(input.buttons.contains(QStringLiteral("Annuler")), qPrintable(input.buttons.join(u'|')));
    QVERIFY2(input.buttons.contains(QStringLiteral("OK")), qPrintable(input.buttons.join(u'|')));

    const TDialogSeen question = ReadDialog([] {
        QVERIFY(!Prompts().Confirm(nullptr, QStringLiteral("Velmar"), QStringLiteral("Supprimer ?")));
    });
    QCOMPARE(question.className, QStringLiteral("QMessageBox"));
    QCOMPARE(question.buttons.size(), 2);
    QVERIFY2(question.buttons.contains(QStringLiteral("&Oui")), qPrintable(question.buttons.join(u'|')));
    QVERIFY2(question.buttons.contains(QStringLiteral("&Non")), qPrintable(question.buttons.join(u'|')));

    const TDialogSeen chooser = ReadDialog([this] {
        QVERIFY(Prompts()
                    .SaveFileName(nullptr, QStringLiteral("Enregistrer"), folder.filePath(QStringLiteral("Status.txt")),
                                  QStringLiteral("Tous les fichiers (*)"))
                    .isEmpty());
    });
    QCOMPARE(chooser.className, QStringLiteral("QFileDialog"));
    QVERIFY2(chooser.buttons.contains(QStringLiteral("Annuler")), qPrintable(chooser.buttons.join(u'|')));
    QVERIFY2(chooser.buttons.contains(QStringLiteral("&Enregistrer")), qPrintable(chooser.buttons.join(u'|')));
    QVERIFY2(!chooser.lookIn.isEmpty() && chooser.lookIn != QStringLiteral("Look in:"), qPrintable(chooser.lookIn));

    QCOMPARE(CalendarMonth(), QStringLiteral("décembre"));
    QCOMPARE(QLocale().toString(QDate(2024, 12, 11), QLocale::ShortFormat), QStringLiteral("11/12/2024"));
}

// The system's language is C here, whatever the machine's: the French texts
// must come from the program, not from the locale.
int main(int argc, char **argv)
{
    qputenv("LC_ALL", "C");
    qputenv("LANG", "C");
    qunsetenv("LANGUAGE");
    QApplication app(argc, argv);
    TestTranslations test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_translations.moc"
