// The column-wise entry list: lookup, copying, column edits and sorting.

#include "FileTypeNames.h"
#include "FtpData.h"
#include "FtpMisc.h"

#include <QRandomGenerator>
#include <QTest>

#include <algorithm>
#include <stdexcept>

Q_DECLARE_METATYPE(FileInfoColumn)

namespace {

// An entry whose every field names its row ("tag"), with the sorted field
// set to value, so that a sort which moved only one column would show.
void AddTagged(TVexFtpFileInfoList &list, FileInfoColumn column, const QString &value,
               const QString &tag)
{
    VexFtpFileInfo info;
    info.FileName = tag + QStringLiteral(".name");
    info.Attrib = tag + QStringLiteral(".attrib");
    info.DateTime = QStringLiteral("1/1/80 12:00");
    info.Size = QStringLiteral("0");
    info.SymbolLink = tag + QStringLiteral(".link");
    info.Owner = tag + QStringLiteral(".owner");
    info.Group = tag + QStringLiteral(".group");
    info.Description = tag;
    switch (column) {
    case colName: info.FileName = value; break;
    case colSize: info.Size = value; break;
    case colDateTime: info.DateTime = value; break;
    case colSymbolLink: info.SymbolLink = value; break;
    case colOwner: info.Owner = value; break;
    default: break;
    }
    list.AddInfo(info);
}

QString Field(const VexFtpFileInfo &info, FileInfoColumn column)
{
    switch (column) {
    case colName: return info.FileName;
    case colSize: return info.Size;
    case colDateTime: return info.DateTime;
    case colSymbolLink: return info.SymbolLink;
    case colOwner: return info.Owner;
    default: return QString();
    }
}

QStringList Column(const TVexFtpFileInfoList &list, FileInfoColumn column)
{
    QStringList values;
    VexFtpFileInfo info;
    for (int i = 0; i < list.Count(); ++i) {
        list.GetInfo(i, info);
        values << Field(info, column);
    }
    return values;
}

} // namespace

class TestFileInfoList : public QObject {
    Q_OBJECT

private slots:
    void indexOfName_data();
    void indexOfName();
    void sortOrders_data();
    void sortOrders();
    void sortKeepsEntriesWhole();
    void sortLargeListBySize();
    void sortByType();
    void dateSortKey_data();
    void dateSortKey();
    void assignCopiesInOrder();
    void clearColumn();
    void nameSortAfterCopiesAndEdits();
    void exchangeAndSetColumn();
    void badIndexThrows();
};

void TestFileInfoList::indexOfName_data()
{
    QTest::addColumn<QStringList>("names");
    QTest::addColumn<QString>("query");
    QTest::addColumn<int>("index");
    QTest::newRow("case ignored") << QStringList{"a.zip", "README.TXT"} << "readme.txt" << 1;
    QTest::newRow("lowest of two") << QStringList{"x", "Readme.txt", "README.TXT"} << "readme.TXT"
                                   << 1;
    QTest::newRow("none") << QStringList{"a", "b"} << "c" << -1;
    QTest::newRow("empty list") << QStringList{} << "a" << -1;
    QTest::newRow("empty name") << QStringList{"a", ""} << "" << 1;
}

void TestFileInfoList::indexOfName()
{
    QFETCH(QStringList, names);
    QFETCH(QString, query);
    TVexFtpFileInfoList list;
    for (const QString &name : names)
        list.Add(name, {}, {}, {}, {}, {}, {}, {});
    QTEST(list.IndexOfName(query), "index");
}

void TestFileInfoList::sortOrders_data()
{
    QTest::addColumn<FileInfoColumn>("column");
    QTest::addColumn<bool>("ascending");
    QTest::addColumn<QStringList>("values");
    QTest::addColumn<QStringList>("sorted");

    const QStringList sizes{"100", "9", "10"};
    QTest::newRow("size ascending") << colSize << true << sizes << QStringList{"9", "10", "100"};
    QTest::newRow("size descending") << colSize << false << sizes << QStringList{"100", "10", "9"};
    QTest::newRow("same texts by name") << colName << true << sizes << QStringList{"10", "100", "9"};
    QTest::newRow("sizes above 4 GiB")
        << colSize << true << QStringList{"5000000000", "4294967297", "100", "4294967296"}
        << QStringList{"100", "4294967296", "4294967297", "5000000000"};
    // VMS sizes such as 12/20 and other non-numbers count as 0; the sort
    // still completes.
    QTest::newRow("non-decimal sizes as 0")
        << colSize << true << QStringList{"5", "12/20", "-3", "", "1"}
        << QStringList{"-3", "12/20", "", "1", "5"};
    QTest::newRow("name ignores case")
        << colName << true << QStringList{"b.txt", "A.txt", "c.txt"}
        << QStringList{"A.txt", "b.txt", "c.txt"};
    QTest::newRow("empty name first")
        << colName << true << QStringList{"b", "", "a"} << QStringList{"", "a", "b"};
    QTest::newRow("name descending")
        << colName << false << QStringList{"b", "c", "a"} << QStringList{"c", "b", "a"};
    QTest::newRow("owner") << colOwner << true << QStringList{"root", "bin", "ftp"}
                           << QStringList{"bin", "ftp", "root"};
    QTest::newRow("link text") << colSymbolLink << true << QStringList{"-> z", "", "-> a"}
                               << QStringList{"", "-> a", "-> z"};
    // All four date forms together, oldest first; within one day the 12-hour
    // clock is read as such (12 AM is midnight, 12 PM noon).
    QTest::newRow("dates") << colDateTime << true
                           << QStringList{"12/25/2003 2:05 PM", "1/5/2003 9:05 AM",
                                          "12/25/2003 12:00 AM", "12/25/2003 12:30 PM",
                                          "01/20/03 10:23 AM", "1/1/80 12:00",
                                          "01/05/2003 09:04", "12/25/2003 9:00 AM"}
                           << QStringList{"1/1/80 12:00", "01/05/2003 09:04", "1/5/2003 9:05 AM",
                                          "01/20/03 10:23 AM", "12/25/2003 12:00 AM",
                                          "12/25/2003 9:00 AM", "12/25/2003 12:30 PM",
                                          "12/25/2003 2:05 PM"};
    QTest::newRow("dates descending")
        << colDateTime << false << QStringList{"3/1/2004 1:00 PM", "12/31/2003 11:59 PM"}
        << QStringList{"3/1/2004 1:00 PM", "12/31/2003 11:59 PM"};
    QTest::newRow("one entry") << colSize << true << QStringList{"x"} << QStringList{"x"};
    QTest::newRow("no entry") << colName << true << QStringList{} << QStringList{};
    QTest::newRow("selector outside the columns")
        << FileInfoColumn(42) << true << QStringList{"b", "a"} << QStringList{"b.name", "a.name"};
}

void TestFileInfoList::sortOrders()
{
    QFETCH(FileInfoColumn, column);
    QFETCH(bool, ascending);
    QFETCH(QStringList, values);
    TVexFtpFileInfoList list;
    const FileInfoColumn stored = column <= colFileType ? column : colName;
    for (const QString &value : values)
        AddTagged(list, stored, column <= colFileType ? value : value + ".name", value);
    list.Sort(column, ascending);
    QTEST(Column(list, stored), "sorted");
}

void TestFileInfoList::sortKeepsEntriesWhole()
{
    TVexFtpFileInfoList list;
    const QStringList sizes{"30", "10", "20", "10"};
    for (int i = 0; i < sizes.size(); ++i)
        AddTagged(list, colSize, sizes[i], QStringLiteral("row%1").arg(i));
    list.Sort(colSize, false);
    QCOMPARE(Column(list, colSize), (QStringList{"30", "20", "10", "10"}));
    VexFtpFileInfo info;
    QStringList tags;
    for (int i = 0; i < list.Count(); ++i) {
        list.GetInfo(i, info);
        QCOMPARE(info.FileName, info.Description + ".name");
        QCOMPARE(info.Attrib, info.Description + ".attrib");
        QCOMPARE(info.SymbolLink, info.Description + ".link");
        QCOMPARE(info.Owner, info.Description + ".owner");
        QCOMPARE(info.Group, info.Description + ".group");
        QCOMPARE(info.Size, sizes[info.Description.mid(3).toInt()]);
        tags << info.Description;
    }
    // Equal keys may trade places, but both stay.
    tags.sort();
    QCOMPARE(tags, (QStringList{"row0", "row1", "row2", "row3"}));
}

void TestFileInfoList::sortLargeListBySize()
{
    QRandomGenerator random(7);
    TVexFtpFileInfoList list;
    for (int i = 0; i < 20000; ++i) {
        // Many repeats and a presorted tail: the cases a plain quicksort
        // handles worst.
        const qint64 size = i < 15000 ? qint64(random.bounded(50)) * 1000000000LL : i;
        list.Add(QString::number(i), {}, {}, QString::number(size), {}, {}, {}, {});
    }
    list.Sort(colSize, true);
    QCOMPARE(list.Count(), 20000);
    VexFtpFileInfo info;
    qint64 previous = -1;
    for (int i = 0; i < list.Count(); ++i) {
        list.GetInfo(i, info);
        const qint64 size = info.Size.toLongLong();
        QVERIFY2(size >= previous, qPrintable(QString::number(i)));
        previous = size;
    }
}

void TestFileInfoList::sortByType()
{
    // Names chosen so that the order by type differs from the order by name.
    const QStringList names{"z.txt", "a.zip", "m.html", "b.txt", "c.png", "README", "y.zip"};
    TVexFtpFileInfoList list;
    for (const QString &name : names)
        list.Add(name, {}, {}, {}, {}, {}, {}, {});
    list.Sort(colFileType, true);
    const QStringList sorted = Column(list, colName);
    QCOMPARE(QStringList(sorted).size(), names.size());
    for (int i = 1; i < sorted.size(); ++i) {
        const QString previous = FileTypeName(sorted[i - 1]);
        const QString current = FileTypeName(sorted[i]);
        QVERIFY2(CompareTextLocale(previous, current) <= 0,
                 qPrintable(previous + " / " + current));
    }
    // Entries of one type end up side by side.
    QCOMPARE(qAbs(sorted.indexOf("z.txt") - sorted.indexOf("b.txt")), 1);
    QCOMPARE(qAbs(sorted.indexOf("a.zip") - sorted.indexOf("y.zip")), 1);
    QVERIFY(sorted != names);

    list.Sort(colFileType, false);
    const QStringList reversed = Column(list, colName);
    QCOMPARE(CompareTextLocale(FileTypeName(reversed.first()), FileTypeName(sorted.last())), 0);
}

void TestFileInfoList::dateSortKey_data()
{
    QTest::addColumn<QString>("dateTime");
    QTest::addColumn<QString>("key");
    QTest::newRow("unix morning") << "1/5/2003 9:05 AM" << "200301050905";
    QTest::newRow("unix midnight") << "12/25/2003 12:00 AM" << "200312250000";
    QTest::newRow("unix noon") << "12/25/2003 12:00 PM" << "200312251200";
    QTest::newRow("unix afternoon") << "12/25/2003 2:05 PM" << "200312251405";
    QTest::newRow("unix day as listed") << "9/09/2003 9:05 AM" << "200309090905";
    QTest::newRow("eplf") << "03/01/1996 22:15" << "199603012215";
    QTest::newRow("dos") << "01/20/03 10:23 AM" << "200301201023";
    QTest::newRow("dos last century") << "11/02/97 03:15 PM" << "199711021515";
    QTest::newRow("unknown") << "1/1/80 12:00" << "198001011200";
    QTest::newRow("empty month") << "/5/2003 1:45 PM" << "200300051345";
    QTest::newRow("empty") << "" << "000000000000";
    QTest::newRow("garbage") << "no date at all" << "000000000000";
}

void TestFileInfoList::dateSortKey()
{
    QFETCH(QString, dateTime);
    QTEST(DateSortKey(dateTime), "key");
}

void TestFileInfoList::assignCopiesInOrder()
{
    TVexFtpFileInfoList source;
    for (int i = 0; i < 5; ++i)
        AddTagged(source, colSize, QString::number(5 - i), QStringLiteral("s%1").arg(i));
    source.Sort(colDateTime, true);

    TVexFtpFileInfoList target;
    AddTagged(target, colName, "old", "old");
    target.Assign(source);
    QCOMPARE(target.Count(), 5);
    VexFtpFileInfo a;
    VexFtpFileInfo b;
    for (int i = 0; i < 5; ++i) {
        source.GetInfo(i, a);
        target.GetInfo(i, b);
        QCOMPARE(b.FileName, a.FileName);
        QCOMPARE(b.Size, a.Size);
        QCOMPARE(b.Description, a.Description);
    }
    QCOMPARE(target.IndexOfName("old"), -1);
    // The copy is independent of its source.
    target.SetColumn(0, colName, "changed");
    source.GetInfo(0, a);
    QVERIFY(a.FileName != "changed");

    target.Assign(TVexFtpFileInfoList());
    QCOMPARE(target.Count(), 0);
}

void TestFileInfoList::clearColumn()
{
    TVexFtpFileInfoList empty;
    empty.ClearColumn(colDescription);
    QCOMPARE(empty.Count(), 0);

    TVexFtpFileInfoList list;
    AddTagged(list, colName, "a", "first");
    AddTagged(list, colName, "b", "second");
    list.ClearColumn(colOwner);
    list.ClearColumn(colFileType); // no storage: nothing happens
    VexFtpFileInfo info;
    for (int i = 0; i < 2; ++i) {
        list.GetInfo(i, info);
        QVERIFY(info.Owner.isEmpty());
        QVERIFY(!info.Group.isEmpty());
        QVERIFY(!info.Description.isEmpty());
    }
    QCOMPARE(list.Count(), 2);
    list.Clear();
    QCOMPARE(list.Count(), 0);
}

namespace {

QStringList Names(const TVexFtpFileInfoList &list)
{
    QStringList names;
    VexFtpFileInfo info;
    for (int i = 0; i < list.Count(); ++i) {
        list.GetInfo(i, info);
        names << info.FileName;
    }
    return names;
}

QStringList SortedByComparison(QStringList names)
{
    std::sort(names.begin(), names.end(),
              [](const QString &a, const QString &b) { return CompareTextLocale(a, b) < 0; });
    return names;
}

} // namespace

// Copies share the keys made by a sort by name; whatever moves or changes
// names afterwards, in the copy or the original, must not leave a list
// sorting with keys of other names.
void TestFileInfoList::nameSortAfterCopiesAndEdits()
{
    TVexFtpFileInfoList original;
    const QStringList names = {"delta", "Alpha", "charlie", "Echo", "bravo", "foxtrot"};
    for (int i = 0; i < names.size(); ++i)
        original.Add(names[i], {}, {}, QString::number(names.size() - i), {}, {}, {}, {});
    const QStringList expected = SortedByComparison(names);

    TVexFtpFileInfoList bySize(original); // shares the keys not made yet
    bySize.Sort(colSize, true);
    TVexFtpFileInfoList copy;
    copy.Assign(original);
    copy.Sort(colName, true); // makes the keys in the original's order
    QCOMPARE(Names(copy), expected);
    bySize.Sort(colName, true); // moved before the keys were made
    QCOMPARE(Names(bySize), expected);
    copy.Sort(colName, false);
    QStringList descending = expected;
    std::reverse(descending.begin(), descending.end());
    QCOMPARE(Names(copy), descending);

    original.SetColumn(0, colName, QStringLiteral("zulu"));
    original.Sort(colName, true);
    QCOMPARE(Names(original).constLast(), QStringLiteral("zulu"));
    TVexFtpFileInfoList again(original);
    again.Add(QStringLiteral("0 first"), {}, {}, {}, {}, {}, {}, {});
    again.Exchange(0, 3);
    again.Sort(colName, true);
    QCOMPARE(Names(again).constFirst(), QStringLiteral("0 first"));
    QCOMPARE(Names(again), SortedByComparison(Names(again)));
    QCOMPARE(Names(copy), descending); // untouched by the edits above
}

void TestFileInfoList::exchangeAndSetColumn()
{
    TVexFtpFileInfoList list;
    AddTagged(list, colName, "a", "first");
    AddTagged(list, colName, "b", "second");
    list.Exchange(0, 1);
    VexFtpFileInfo info;
    list.GetInfo(0, info);
    QCOMPARE(info.FileName, QStringLiteral("b"));
    QCOMPARE(info.Group, QStringLiteral("second.group"));
    list.SetColumn(1, colDescription, "note");
    list.GetInfo(1, info);
    QCOMPARE(info.Description, QStringLiteral("note"));
    QCOMPARE(info.FileName, QStringLiteral("a"));
}

void TestFileInfoList::badIndexThrows()
{
    TVexFtpFileInfoList list;
    AddTagged(list, colName, "a", "only");
    VexFtpFileInfo info;
    QVERIFY_THROWS_EXCEPTION(std::out_of_range, list.GetInfo(1, info));
    QVERIFY_THROWS_EXCEPTION(std::out_of_range, list.GetInfo(-1, info));
    QVERIFY_THROWS_EXCEPTION(std::out_of_range, list.SetColumn(5, colName, "x"));
    QVERIFY_THROWS_EXCEPTION(std::out_of_range, list.Exchange(0, 1));
    list.GetInfo(0, info);
    QCOMPARE(info.FileName, QStringLiteral("a"));
}

QTEST_GUILESS_MAIN(TestFileInfoList)
#include "tst_fileinfolist.moc"
