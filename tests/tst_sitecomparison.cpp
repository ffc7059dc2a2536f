// The site comparison's rules on plain tables of rows: the remote date
// texts, presence of local files on the site by whole names, the day test,
// folders and the parent row, unusable names, the filters, both sources, the
// action cycle and the update run's batches.

#include "FileTypeNames.h"
#include "SiteComparison.h"

#include <QMap>
#include <QtTest>

namespace {
const QString FileType = QStringLiteral("Document texte");

TCompareLocalRow LocalFile(const QString &name)
{
    return {name, FileType};
}

TCompareLocalRow LocalFolder(const QString &name)
{
    return {name, LocalFolderTypeName()};
}

TCompareRemoteRow RemoteFile(const QString &name, const QString &date = QStringLiteral("1/5/2003 9:05 AM"))
{
    return {name, FileType, date, {}};
}

TCompareRemoteRow RemoteFolder(const QString &name)
{
    return {name, RemoteFolderTypeName(), QStringLiteral("1/5/2003 9:05 AM"), {}};
}

// The local folder as a table: name -> last write (a null date names a
// missing file); names holding a separator are unusable.
TCompareInput Input(const QMap<QString, QDateTime> &disk)
{
    TCompareInput input;
    input.LocalFile = [disk](const QString &name) {
        if (name.contains(QLatin1Char('/')) || name == QLatin1String(".") || name == QLatin1String(".."))
            return TLocalFileState{TLocalFileState::Unusable, {}};
        if (!disk.contains(name))
            return TLocalFileState{TLocalFileState::Missing, {}};
        return TLocalFileState{TLocalFileState::File, disk.value(name)};
    };
    input.LocalDateText = [](const QDate &day) { return day.toString(QStringLiteral("dd/MM/yyyy")); };
    return input;
}

QDateTime At(int year, int month, int day, int hour = 12)
{
    return QDateTime(QDate(year, month, day), QTime(hour, 0));
}

QString Describe(const QList<TUpdateRow> &rows)
{
    QStringList texts;
    for (const TUpdateRow &row : rows)
        texts << row.Name + QLatin1Char('=') + QString::number(row.Action) + QLatin1Char(':') + row.Text;
    return texts.join(QLatin1Char('|'));
}

const QString Missing = UpdateText::MissingOnSite;
const QString Gone = UpdateText::MissingLocally;
}

class TestSiteComparison : public QObject
{
    Q_OBJECT
private slots:
    void explorerRemoteDay_data();
    void explorerRemoteDay();
    void quickRemoteDay();
    void emptyRemoteListProposesEveryLocalFile();
    void presenceByWholeNames_data();
    void presenceByWholeNames();
    void foldersParentAndUnusableNamesNeverProposed();
    void dayTest_data();
    void dayTest();
    void quickSource();
    void filtersMissingLocally();
    void actionCycle();
    void batchesInRowOrder();
};

void TestSiteComparison::explorerRemoteDay_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QDate>("day"); // null: no day
    QTest::addColumn<QString>("shown");
    QTest::newRow("unix, afternoon") << "12/25/2003 10:00 AM" << QDate(2003, 12, 25) << "25/12/2003";
    QTest::newRow("no time, no padding") << "3/5/2003" << QDate(2003, 3, 5) << "5/3/2003";
    QTest::newRow("eplf") << "03/25/2003 14:30" << QDate(2003, 3, 25) << "25/03/2003";
    QTest::newRow("dos, year 03") << "12/24/03 10:23 AM" << QDate(2003, 12, 24) << "24/12/03";
    QTest::newRow("dos, year 79") << "01/02/79 10:23 PM" << QDate(2079, 1, 2) << "02/01/79";
    QTest::newRow("dos, year 80") << "01/02/80 10:23 PM" << QDate(1980, 1, 2) << "02/01/80";
    QTest::newRow("dos, year 99") << "11/30/99 01:00 AM" << QDate(1999, 11, 30) << "30/11/99";
    QTest::newRow("no date known") << "1/1/80 12:00" << QDate() << "";
    QTest::newRow("empty month") << "/5/2003 12:00 AM" << QDate() << "";
    QTest::newRow("month 13") << "13/5/2003 12:00 AM" << QDate() << "";
    QTest::newRow("30 February") << "2/30/2003 12:00 AM" << QDate() << "";
    QTest::newRow("three-digit year") << "2/3/203 12:00 AM" << QDate() << "";
    QTest::newRow("letters") << "ab/cd/efgh" << QDate() << "";
    QTest::newRow("one slash") << "12/2003" << QDate() << "";
    QTest::newRow("empty") << "" << QDate() << "";
}

void TestSiteComparison::explorerRemoteDay()
{
    QFETCH(QString, text);
    QFETCH(QDate, day);
    QFETCH(QString, shown);
    const std::optional<TRemoteDay> read = ExplorerRemoteDay(text);
    QCOMPARE(read.has_value(), day.isValid());
    if (read) {
        QCOMPARE(read->Day, day);
        QCOMPARE(read->Shown, shown);
    }
}

void TestSiteComparison::quickRemoteDay()
{
    const std::optional<TRemoteDay> read = QuickRemoteDay(QStringLiteral("25/12/2003 10:00:00"), At(2003, 12, 25, 10));
    QVERIFY(read);
    QCOMPARE(read->Day, QDate(2003, 12, 25));
    QCOMPARE(read->Shown, QStringLiteral("25/12/2003"));
    QVERIFY(!QuickRemoteDay(QString(), QDateTime()));
}

void TestSiteComparison::emptyRemoteListProposesEveryLocalFile()
{
    TCompareInput input = Input({{QStringLiteral("b.txt"), At(2003, 1, 1)}, {QStringLiteral("a.txt"), At(2003, 1, 1)}});
    input.Local = {LocalFile(QStringLiteral("b.txt")), LocalFolder(QStringLiteral("dossier")),
                   LocalFile(QStringLiteral("a.txt"))};
    QCOMPARE(Describe(CompareSites(input)), QStringLiteral("b.txt=2:%1|a.txt=2:%1").arg(Missing));
    input.Filters.MissingOnSite = false;
    QVERIFY(CompareSites(input).isEmpty());
}

void TestSiteComparison::presenceByWholeNames_data()
{
    QTest::addColumn<QStringList>("local");
    QTest::addColumn<QStringList>("remote");
    QTest::addColumn<QString>("rows");
    const QString none;
    // A name held inside another, or across two neighbours, is not there.
    QTest::newRow("inside a longer name") << QStringList{"a.txt", "data.txt"} << QStringList{"data.txt"}
                                          << QStringLiteral("a.txt=2:%1").arg(Missing);
    QTest::newRow("across two names") << QStringList{"a.txt", "xa", ".txt"} << QStringList{"xa", ".txt"}
                                      << QStringLiteral("a.txt=2:%1").arg(Missing);
    QTest::newRow("same name") << QStringList{"a.txt"} << QStringList{"a.txt"} << none;
    // Case counts both ways: A.TXT is not on the site, a.txt not on the disk.
    QTest::newRow("other case") << QStringList{"A.TXT"} << QStringList{"a.txt"}
                                << QStringLiteral("a.txt=0:%1|A.TXT=2:%2").arg(Gone, Missing);
    // A remote folder of that name counts as the name being there.
    QTest::newRow("remote folder of that name") << QStringList{"pub"} << QStringList{"/pub"} << none;
}

void TestSiteComparison::presenceByWholeNames()
{
    QFETCH(QStringList, local);
    QFETCH(QStringList, remote);
    QFETCH(QString, rows);
    QMap<QString, QDateTime> disk;
    TCompareInput input;
    for (const QString &name : local)
        disk.insert(name, At(2003, 1, 1));
    input = Input(disk);
    for (const QString &name : local)
        input.Local.append(LocalFile(name));
    for (const QString &name : remote)
        input.Remote.append(name.startsWith(QLatin1Char('/')) ? RemoteFolder(name.mid(1)) : RemoteFile(name));
    QCOMPARE(Describe(CompareSites(input)), rows);
}

void TestSiteComparison::foldersParentAndUnusableNamesNeverProposed()
{
    TCompareInput input = Input({});
    input.Local = {LocalFolder(QStringLiteral("local-only"))};
    input.Remote = {{QStringLiteral(".."), QString(), QString(), {}},
                    RemoteFolder(QStringLiteral("remote-only")),
                    {QString(), QString(), QString(), {}},
                    RemoteFile(QStringLiteral("../outside.txt")),
                    RemoteFile(QStringLiteral("gone.txt"))};
    QCOMPARE(Describe(CompareSites(input)), QStringLiteral("gone.txt=0:%1").arg(Gone));
}

void TestSiteComparison::dayTest_data()
{
    QTest::addColumn<bool>("olderBox");
    QTest::addColumn<QDateTime>("localWrite");
    QTest::addColumn<QString>("remoteText");
    QTest::addColumn<QString>("rows");
    const QString none;
    const QString later = QStringLiteral("f.txt=2:Dates différentes: à mettre à jour sur le site:  %1   (Local)-  %2   "
                                         "(Distant)");
    QTest::newRow("same day, later hour") << true << At(2003, 12, 25, 23) << "12/25/2003 10:00 AM" << none;
    QTest::newRow("later day") << true << At(2003, 12, 26, 1) << "12/25/2003 10:00 AM"
                               << later.arg(QStringLiteral("26/12/2003"), QStringLiteral("25/12/2003"));
    QTest::newRow("no padding added") << true << At(2003, 3, 6) << "3/5/2003"
                                      << later.arg(QStringLiteral("06/03/2003"), QStringLiteral("5/3/2003"));
    QTest::newRow("earlier on the disk") << true << At(2003, 12, 24) << "12/25/2003 10:00 AM" << none;
    QTest::newRow("box unchecked") << false << At(2004, 1, 1) << "12/25/2003 10:00 AM" << none;
    QTest::newRow("no date known") << true << At(2004, 1, 1) << "1/1/80 12:00" << none;
    QTest::newRow("unreadable date") << true << At(2004, 1, 1) << "/25/2003 12:00 AM" << none;
    QTest::newRow("two-digit year") << true << At(2003, 12, 25) << "12/24/03 10:23 AM"
                                    << later.arg(QStringLiteral("25/12/2003"), QStringLiteral("24/12/03"));
}

void TestSiteComparison::dayTest()
{
    QFETCH(bool, olderBox);
    QFETCH(QDateTime, localWrite);
    QFETCH(QString, remoteText);
    QFETCH(QString, rows);
    TCompareInput input = Input({{QStringLiteral("f.txt"), localWrite}});
    input.Filters.OlderOnServer = olderBox;
    input.Local = {LocalFile(QStringLiteral("f.txt"))};
    input.Remote = {RemoteFile(QStringLiteral("f.txt"), remoteText)};
    QCOMPARE(Describe(CompareSites(input)), rows);
}

void TestSiteComparison::quickSource()
{
    // The quick list's folder type is its own; dates are values, compared
    // by day, shown as the text's first ten characters.
    TCompareInput input = Input({{QStringLiteral("same.txt"), At(2003, 12, 25, 23)},
                                 {QStringLiteral("later.txt"), At(2003, 12, 26)},
                                 {QStringLiteral("nodate.txt"), At(2003, 12, 26)}});
    input.Source = TCompareSource::Quick;
    input.Filters.OlderOnServer = true;
    input.Local = {LocalFile(QStringLiteral("same.txt")), LocalFile(QStringLiteral("later.txt")),
                   LocalFile(QStringLiteral("nodate.txt"))};
    input.Remote = {{QStringLiteral(".."), QString(), QString(), {}},
                    {QStringLiteral("dossier"), QuickFolderTypeName(), QStringLiteral("01/01/2003"), At(2003, 1, 1)},
                    {QStringLiteral("same.txt"), FileType, QStringLiteral("25/12/2003 10:00:00"), At(2003, 12, 25, 10)},
                    {QStringLiteral("later.txt"), FileType, QStringLiteral("25/12/2003 10:00:00"), At(2003, 12, 25, 10)},
                    {QStringLiteral("nodate.txt"), FileType, QString(), QDateTime()}};
    QCOMPARE(Describe(CompareSites(input)),
             QStringLiteral("later.txt=2:Dates différentes: à mettre à jour sur le site:  26/12/2003   (Local)-  "
                            "25/12/2003   (Distant)"));
    // The explorer's folder text is a file type for the quick list.
    input.Remote = {{QStringLiteral("x"), RemoteFolderTypeName(), QString(), {}}};
    input.Local.clear();
    QCOMPARE(Describe(CompareSites(input)), QStringLiteral("x=0:%1").arg(Gone));
}

void TestSiteComparison::filtersMissingLocally()
{
    TCompareInput input = Input({});
    input.Remote = {RemoteFile(QStringLiteral("gone.txt"))};
    QCOMPARE(CompareSites(input).size(), 1);
    input.Filters.MissingLocally = false;
    QVERIFY(CompareSites(input).isEmpty());
}

void TestSiteComparison::actionCycle()
{
    QCOMPARE(NextAction(uaDeleteFromSite), uaNoChange);
    QCOMPARE(NextAction(uaNoChange), uaUpload);
    QCOMPARE(NextAction(uaUpload), uaDownload);
    QCOMPARE(NextAction(uaDownload), uaDeleteFromSite);
    QCOMPARE(ActionText(uaDeleteFromSite), QStringLiteral("A supprimer du site"));
    QCOMPARE(ActionText(uaNoChange), QStringLiteral("Ne pas modifier"));
    QCOMPARE(ActionText(uaUpload), QStringLiteral("A mettre à jour sur le site"));
    QCOMPARE(ActionText(uaDownload), QStringLiteral("A mettre à jour en local"));
}

void TestSiteComparison::batchesInRowOrder()
{
    const QList<TUpdateRow> rows = {{"a", uaDeleteFromSite, {}}, {"b", uaUpload, {}},  {"c", uaNoChange, {}},
                                    {"d", uaDownload, {}},       {"e", uaUpload, {}},  {"f", uaDeleteFromSite, {}},
                                    {"g", uaDownload, {}}};
    const TUpdateBatches batches = UpdateBatches(rows);
    QCOMPARE(batches.Uploads, QStringList({"b", "e"}));
    QCOMPARE(batches.Downloads, QStringList({"d", "g"}));
    QCOMPARE(batches.Deletions, QStringList({"a", "f"}));
    QVERIFY(!batches.Empty());
    QVERIFY(UpdateBatches({{"c", uaNoChange, {}}}).Empty());
}

QTEST_GUILESS_MAIN(TestSiteComparison)
#include "tst_sitecomparison.moc"
