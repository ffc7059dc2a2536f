// File and folder type names of the file lists.

#include "FileTypeNames.h"

#include <QLocale>
#include <QMimeDatabase>
#include <QtTest>

class TestFileTypeNames : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void fileTypeName_data();
    void fileTypeName();
    void entryTypeName_data();
    void entryTypeName();
    void folderTexts();
};

void TestFileTypeNames::initTestCase()
{
    QLocale::setDefault(QLocale(QLocale::French, QLocale::France));
}

void TestFileTypeNames::fileTypeName_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("expected");

    const QMimeDatabase database;
    const QString plainText = database.mimeTypeForName(QStringLiteral("text/plain")).comment();
    const QString gzip = database.mimeTypeForName(QStringLiteral("application/gzip")).comment();
    QVERIFY(!plainText.isEmpty());
    QVERIFY(plainText != QLatin1String("TXT file"));

    QTest::newRow("known extension") << "a.txt" << plainText;
    QTest::newRow("known extension, capitals") << "NOTES.TXT" << plainText;
    QTest::newRow("last extension only") << "linux-2.4.tar.gz" << gzip;
    QTest::newRow("unknown extension") << "x.zzqq" << "ZZQQ file";
    QTest::newRow("unknown extension, mixed case") << "Data.ZzQq" << "ZZQQ file";
    QTest::newRow("dot file") << ".zzqqrc" << "ZZQQRC file";
    QTest::newRow("no extension") << "README" << "File";
    QTest::newRow("final dot") << "notes." << "File";
    QTest::newRow("dot in a folder name") << "dir.d/README" << "File";
    QTest::newRow("dot in a server folder name") << "dir.d\\README" << "File";
    QTest::newRow("empty") << "" << "File";
    QTest::newRow("cut at 80") << "x." + QString(90, u'q') << QString(80, u'Q');
    QTest::newRow("never half a character")
        << "x." + QString(79, u'q') + QString::fromUtf8("\xF0\x9F\x98\x80") << QString(79, u'Q');
}

void TestFileTypeNames::fileTypeName()
{
    QFETCH(QString, name);
    QFETCH(QString, expected);
    const QString first = FileTypeName(name);
    QCOMPARE(first, expected);
    QVERIFY(first.size() <= 80);
    QCOMPARE(FileTypeName(name), first); // the cached answer is the same
}

void TestFileTypeNames::entryTypeName_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("isFolder");
    QTest::addColumn<QString>("local");
    QTest::addColumn<QString>("quick");

    QTest::newRow("folder") << "pub" << true << "Dossier de fichiers" << "Dossier";
    QTest::newRow("folder with a dot") << "site.old" << true << "Dossier de fichiers" << "Dossier";
    QTest::newRow("file") << "a.zzqq" << false << "ZZQQ file" << "ZZQQ file";
    QTest::newRow("file named like a folder") << "Dossier" << false << "File" << "File";
}

void TestFileTypeNames::entryTypeName()
{
    QFETCH(QString, name);
    QFETCH(bool, isFolder);
    QFETCH(QString, local);
    QFETCH(QString, quick);
    QCOMPARE(LocalEntryTypeName(name, isFolder), local);
    QCOMPARE(QuickEntryTypeName(name, isFolder), quick);
}

void TestFileTypeNames::folderTexts()
{
    QCOMPARE(LocalFolderTypeName(), QStringLiteral("Dossier de fichiers"));
    QCOMPARE(QuickFolderTypeName(), QStringLiteral("Dossier"));
    QCOMPARE(RemoteFolderTypeName(), QString::fromUtf8("R\xC3\xA9pertoire"));
}

QTEST_GUILESS_MAIN(TestFileTypeNames)
#include "tst_filetypenames.moc"
