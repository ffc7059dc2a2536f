// The profile file velmar.ini, the files folder and strict decimal texts:
// the QtCore-only layers under the site manager and the preferences.

#include "AppError.h"
#include "AppFiles.h"
#include "GuiTestSupport.h"
#include "SiteProfiles.h"
#include "StrictDecimal.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtTest>

class TestSiteProfiles : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { IsolateUserFolders(home); }
    void splitLines_data();
    void splitLines();
    void blocksOfAFile_data();
    void blocksOfAFile();
    void brokenFilesRead_data();
    void brokenFilesRead();
    void writeIsCrLfAndOwnerOnly();
    void appendKeepsBlocksAligned_data();
    void appendKeepsBlocksAligned();
    void appendKeepsOtherBytes();
    void removeBlock_data();
    void removeBlock();
    void setByNameReplacesOnlyItsBlock();
    void lineBreakInAValueStaysOnOneLine();
    void decimalTexts_data();
    void decimalTexts();
    void strToIntNamesTheText();
    void filesFolderChoice();

private:
    QTemporaryDir home;
};

using Lines = TProfileLines;

void TestSiteProfiles::splitLines_data()
{
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<Lines>("lines");
    QTest::newRow("empty") << QByteArray() << Lines{};
    QTest::newRow("one line, no end") << QByteArray("a") << Lines{"a"};
    QTest::newRow("CR LF") << QByteArray("a\r\nb\r\n") << Lines{"a", "b"};
    QTest::newRow("LF alone") << QByteArray("a\nb") << Lines{"a", "b"};
    QTest::newRow("CR alone") << QByteArray("a\rb\r") << Lines{"a", "b"};
    QTest::newRow("empty lines kept") << QByteArray("a\r\n\r\n") << Lines{"a", ""};
    QTest::newRow("LF CR is two ends") << QByteArray("a\n\rb") << Lines{"a", "", "b"};
    QTest::newRow("NUL stays in the line") << QByteArray("a\0b\r\n", 5) << Lines{QByteArray("a\0b", 3)};
}

void TestSiteProfiles::splitLines()
{
    QFETCH(QByteArray, data);
    QFETCH(Lines, lines);
    QCOMPARE(SplitProfileLines(data), lines);
}

void TestSiteProfiles::blocksOfAFile_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QStringList>("names");
    QTest::addColumn<QList<bool>>("complete");
    const QByteArray two = ProfileFileText({ProfileTexts("alpha"), ProfileTexts("beta")});
    QTest::newRow("header only") << ProfileFileText({}) << QStringList{} << QList<bool>{};
    QTest::newRow("fewer than three lines") << QByteArray("x\r\n") << QStringList{} << QList<bool>{};
    QTest::newRow("two blocks") << two << QStringList{"alpha", "beta"} << QList<bool>{true, true};
    QTest::newRow("last block cut after its name")
        << ProfileFileText({ProfileTexts("alpha"), {"gamma"}}) << QStringList{"alpha", "gamma"}
        << QList<bool>{true, false};
    QTest::newRow("last block cut in its middle")
        << ProfileFileText({ProfileTexts("alpha"), ProfileTexts("beta").mid(0, 7)}) << QStringList{"alpha", "beta"}
        << QList<bool>{true, false};
    QTest::newRow("LF line ends") << QByteArray(two).replace("\r\n", "\n") << QStringList{"alpha", "beta"}
                                  << QList<bool>{true, true};
}

void TestSiteProfiles::blocksOfAFile()
{
    QFETCH(QByteArray, text);
    QFETCH(QStringList, names);
    QFETCH(QList<bool>, complete);
    const Lines lines = SplitProfileLines(text);
    QCOMPARE(ProfileNames(lines), names);
    QCOMPARE(ProfileCount(lines), names.size());
    for (int k = 0; k < complete.size(); ++k) {
        const std::optional<SiteProfile> profile = ProfileAt(lines, k);
        QCOMPARE(profile.has_value(), complete.at(k));
        if (profile) {
            QCOMPARE(profile->Texts(), ProfileTexts(names.at(k)));
        }
    }
    QVERIFY(!ProfileAt(lines, -1));
    QVERIFY(!ProfileAt(lines, int(names.size())));
}

void TestSiteProfiles::brokenFilesRead_data()
{
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<int>("state");
    QTest::addColumn<int>("profiles");

    QByteArray binary(64 * 1024, '\0');
    QRandomGenerator random(20240601);
    for (char &c : binary)
        c = char(random.bounded(256));
    const int binaryProfiles = ProfileCount(SplitProfileLines(binary));

    QTest::newRow("empty file") << QByteArray() << int(TProfileFileState::Read) << 0;
    QTest::newRow("header only, no line ends") << QByteArray("Paramètres des connexions enregistrées:")
                                               << int(TProfileFileState::Read) << 0;
    QTest::newRow("random bytes") << binary << int(TProfileFileState::Read) << binaryProfiles;
    QTest::newRow("invalid UTF-8 in a block")
        << ProfileFileText({ProfileTexts("alpha")}).replace("alpha", "caf\xe9\xff\xfe")
        << int(TProfileFileState::Read) << 1;
    QTest::newRow("one megabyte of line ends") << QByteArray(MaxProfileFileSize, '\n') << int(TProfileFileState::Read)
                                               << int((MaxProfileFileSize - 3 + 9) / 10);
    QTest::newRow("one byte over the limit") << QByteArray(MaxProfileFileSize + 1, 'x')
                                             << int(TProfileFileState::Unreadable) << 0;
    QTest::newRow("one long line") << QByteArray(MaxProfileFileSize, 'y') << int(TProfileFileState::Read) << 0;
}

void TestSiteProfiles::brokenFilesRead()
{
    QFETCH(QByteArray, data);
    QFETCH(int, state);
    QFETCH(int, profiles);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("velmar.ini"));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(data), data.size());
    file.close();

    const TProfileFile read = ReadProfileFile(path);
    QCOMPARE(int(read.state), state);
    QCOMPARE(ProfileCount(read.lines), profiles);
    QCOMPARE(ProfileNames(read.lines).size(), profiles);
    if (read.state == TProfileFileState::Unreadable)
        QVERIFY(!read.error.isEmpty());
    for (int k = 0; k < qMin(profiles, 50); ++k)
        ProfileAt(read.lines, k); // must not read past the end
}

void TestSiteProfiles::writeIsCrLfAndOwnerOnly()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("velmar.ini"));
    Lines lines;
    AppendProfile(lines, SiteProfile::FromTexts(ProfileTexts("alpha")));
    QString error;
    QVERIFY2(WriteProfileFile(path, lines, &error), qPrintable(error));

    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), ProfileFileText({ProfileTexts("alpha")}));
    QCOMPARE(QFile::permissions(path) & ~(QFileDevice::ReadUser | QFileDevice::WriteUser),
             QFileDevice::ReadOwner | QFileDevice::WriteOwner);

    // Rewriting a file that others could read closes it to them.
    QVERIFY(QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup
                                            | QFileDevice::ReadOther));
    QVERIFY(WriteProfileFile(path, lines, &error));
    QCOMPARE(QFile::permissions(path) & (QFileDevice::ReadGroup | QFileDevice::ReadOther), QFileDevice::Permissions());

    QVERIFY(!WriteProfileFile(dir.filePath(QStringLiteral("missing/velmar.ini")), lines, &error));
    QVERIFY(!error.isEmpty());
}

void TestSiteProfiles::appendKeepsBlocksAligned_data()
{
    QTest::addColumn<QByteArray>("before");
    QTest::addColumn<int>("index"); // where the new profile is read back
    QTest::newRow("no file") << QByteArray() << 0;
    QTest::newRow("one header line") << QByteArray("Paramètres des connexions enregistrées:\r\n") << 0;
    QTest::newRow("header only") << ProfileFileText({}) << 0;
    QTest::newRow("one block") << ProfileFileText({ProfileTexts("alpha")}) << 1;
    QTest::newRow("truncated last block") << ProfileFileText({ProfileTexts("alpha"), {"beta", "h"}}) << 2;
}

void TestSiteProfiles::appendKeepsBlocksAligned()
{
    QFETCH(QByteArray, before);
    QFETCH(int, index);
    Lines lines = SplitProfileLines(before);
    const SiteProfile added = SiteProfile::FromTexts(ProfileTexts("nouveau"));
    AppendProfile(lines, added);
    QCOMPARE(ProfileCount(lines), index + 1);
    QCOMPARE(ProfileAt(lines, index), std::optional<SiteProfile>(added));
    QCOMPARE(lines.mid(0, 3), ProfileFileHeader());
    QCOMPARE(lines.at(1), QByteArray(39, '*'));
}

void TestSiteProfiles::appendKeepsOtherBytes()
{
    const QByteArray before = ProfileFileText({ProfileTexts("alpha")}).replace("alpha", "al\xffpha\x01");
    Lines lines = SplitProfileLines(before);
    AppendProfile(lines, SiteProfile::FromTexts(ProfileTexts("beta")));
    QByteArray written;
    for (const QByteArray &line : lines)
        written += line + "\r\n";
    QVERIFY(written.startsWith(before));
}

void TestSiteProfiles::removeBlock_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<bool>("removed");
    QTest::addColumn<QStringList>("namesAfter");
    QTest::newRow("first") << 0 << true << QStringList{"b", "c"};
    QTest::newRow("second: lines 13 to 22") << 1 << true << QStringList{"a", "c"};
    QTest::newRow("truncated last") << 2 << false << QStringList{"a", "b", "c"};
    QTest::newRow("past the end") << 3 << false << QStringList{"a", "b", "c"};
    QTest::newRow("no selection") << -1 << false << QStringList{"a", "b", "c"};
}

void TestSiteProfiles::removeBlock()
{
    QFETCH(int, index);
    QFETCH(bool, removed);
    QFETCH(QStringList, namesAfter);
    const Lines before = SplitProfileLines(ProfileFileText({ProfileTexts("a"), ProfileTexts("b"), {"c", "x"}}));
    Lines lines = before;
    QCOMPARE(RemoveProfileAt(lines, index), removed);
    QCOMPARE(ProfileNames(lines), namesAfter);
    if (index == 1) {
        Lines expected = before;
        expected.remove(13, 10);
        QCOMPARE(lines, expected);
    }
    if (!removed)
        QCOMPARE(lines, before);
}

void TestSiteProfiles::setByNameReplacesOnlyItsBlock()
{
    const QString demo = QStringLiteral("Démo Velmar (local)");
    Lines lines = SplitProfileLines(
        ProfileFileText({ProfileTexts("mine"), ProfileTexts(demo, "127.0.0.1", "2121"), ProfileTexts("other")}));
    const Lines before = lines;

    SetProfileByName(lines, SiteProfile::FromTexts(ProfileTexts(demo, "127.0.0.1", "40001")));
    QCOMPARE(ProfileNames(lines), (QStringList{"mine", demo, "other"}));
    QCOMPARE(ProfileAt(lines, 1)->port, QStringLiteral("40001"));
    QCOMPARE(lines.mid(0, 13), before.mid(0, 13));
    QCOMPARE(lines.mid(23), before.mid(23));

    Lines fresh;
    SetProfileByName(fresh, SiteProfile::FromTexts(ProfileTexts(demo, "127.0.0.1", "40002")));
    QCOMPARE(ProfileNames(fresh), QStringList{demo});
}

void TestSiteProfiles::lineBreakInAValueStaysOnOneLine()
{
    SiteProfile profile = SiteProfile::FromTexts(ProfileTexts("a"));
    profile.password = QStringLiteral("p\r\nq");
    Lines lines;
    AppendProfile(lines, profile);
    QCOMPARE(lines.size(), 13);
    QCOMPARE(ProfileAt(lines, 0)->password, QStringLiteral("p  q"));
}

void TestSiteProfiles::decimalTexts_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<int>("value");
    QTest::newRow("plain") << "755" << true << 755;
    QTest::newRow("minus one") << "-1" << true << -1;
    QTest::newRow("plus sign") << "+6" << true << 6;
    QTest::newRow("zero") << "0" << true << 0;
    QTest::newRow("largest") << "2147483647" << true << 2147483647;
    QTest::newRow("smallest") << "-2147483648" << true << int(-2147483647 - 1);
    QTest::newRow("too large") << "2147483648" << false << 0;
    QTest::newRow("empty") << "" << false << 0;
    QTest::newRow("sign only") << "-" << false << 0;
    QTest::newRow("leading blank") << " 21" << false << 0;
    QTest::newRow("trailing blank") << "21 " << false << 0;
    QTest::newRow("letters") << "abc" << false << 0;
    QTest::newRow("hexadecimal") << "0x15" << false << 0;
    QTest::newRow("decimal point") << "6.5" << false << 0;
    QTest::newRow("full-width digits") << QString::fromUtf8("\xef\xbc\x92\xef\xbc\x91") << false << 0;
}

void TestSiteProfiles::decimalTexts()
{
    QFETCH(QString, text);
    QFETCH(bool, valid);
    QFETCH(int, value);
    const std::optional<int> parsed = DecimalValue(text);
    QCOMPARE(parsed.has_value(), valid);
    if (valid)
        QCOMPARE(*parsed, value);
}

void TestSiteProfiles::strToIntNamesTheText()
{
    QCOMPARE(StrToInt(QStringLiteral("576")), 576);
    try {
        StrToInt(QStringLiteral("abc"));
        QFAIL("no error for abc");
    } catch (const TVelmarError &error) {
        QCOMPARE(error.Text(), QStringLiteral("'abc' n'est pas une valeur entière correcte"));
    }
}

void TestSiteProfiles::filesFolderChoice()
{
    QTemporaryDir writable;
    QCOMPARE(ChooseFilesFolder(writable.path()), QDir::cleanPath(writable.path()));
    const QString missing = writable.filePath(QStringLiteral("absent"));
    QCOMPARE(ChooseFilesFolder(missing),
             QDir::cleanPath(QStandardPaths::writableLocation(QStandardPaths::AppDataLocation)));

    SetFilesFolderForTesting(writable.path());
    QCOMPARE(FilePathInFilesFolder(QStringLiteral("velmar.ini")), writable.filePath(QStringLiteral("velmar.ini")));
    SetFilesFolderForTesting(QString());
}

QTEST_GUILESS_MAIN(TestSiteProfiles)
#include "tst_siteprofiles.moc"
