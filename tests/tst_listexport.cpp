// The listing export: the copy of the explorer listing into the hidden
// listing, and the tab-separated ".XLS" file TExportListView writes from it
// (lines, header, extension rule, messages, whole-or-nothing writing).

#include "ExportListView.h"
#include "ListViewTable.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <functional>
#include <sys/fsuid.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace {

QByteArray FileBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool WriteBytes(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}

// Runs work with the file-system rights of an ordinary user ("nobody") on a
// thread of its own when this test runs as root; as an ordinary user, in
// place.
void AsOrdinaryUser(const std::function<void()> &work)
{
    if (::geteuid() != 0) {
        work();
        return;
    }
    std::thread thread([&] {
        ::setfsgid(65534);
        ::setfsuid(65534);
        work();
        ::setfsuid(0);
        ::setfsgid(0);
    });
    thread.join();
}

// The explorer's remote list for a folder holding a.txt (1 KB) and the
// folder img, with its ".." row first: caption, size, type, date.

QList<QStringList> ExplorerRows()
{
    return {
        {"..", "", "", ""},
        {"img", "", "Répertoire", "Nov 12 10:05"},
        {"a.txt", "1KB", "Document texte", "Nov 12 10:00"},
    };
}

struct TMessage {
    QString text;
    bool isError = false;
};

} // namespace

class TestListExport : public QObject
{
    Q_OBJECT

private slots:
    void init();

    void explorerColumns();
    void copyExplorerListing();
    void explorerFolderExport();
    void withoutHeader();
    void quickColumns();
    void xlsFileName_data();
    void xlsFileName();
    void reportCsvBecomesXls();
    void replacesWholeFileKeepingPermissions();
    void rowsShortOrLongAndHostileNames();
    void emptyListWritesNothing();
    void noFileName();
    void unwritableTarget_data();
    void unwritableTarget();
    void boundListView();

private:
    QString Path(const QString &relative) const { return dir->path() + QLatin1Char('/') + relative; }
    std::unique_ptr<QTemporaryDir> dir;
};

void TestListExport::init()
{
    dir = std::make_unique<QTemporaryDir>();
    QVERIFY(dir->isValid());
}

void TestListExport::explorerColumns()
{
    const TListViewTable table = ExplorerListingTable();
    QCOMPARE(table.Captions, (QStringList{"Nom", "Taille", "Type", "Date de Modification"}));
    QCOMPARE(table.Widths, (QList<int>{130, 80, 80, 100}));
    QVERIFY(table.IsEmpty());
    QCOMPARE(QuickListingCaptions(), (QStringList{"Nom", "Taille", "Date", "Type"}));
    QCOMPARE(TExportListView::Caption(), QStringLiteral("&Export en XLS"));
    QCOMPARE(TExportListView::Hint(), QStringLiteral("Exporter vers Excel "));
    QCOMPARE(TExportListView::Category(), QStringLiteral("ListView"));
    QVERIFY(TExportListView().WithHeader());
    QCOMPARE(TExportListView().DATFileName(), QString());
}

void TestListExport::copyExplorerListing()
{
    const TListViewTable table = CopyExplorerListing({
        {"..", "", "", ""},
        {"a.txt", "1KB", "Document texte", "Nov 12 10:00", "-rw-r--r--", "web"},
        {"", "", "", ""},
        {"court"},
    });
    QCOMPARE(table.Captions, ExplorerListingTable().Captions);
    QCOMPARE(table.Rows, (QList<QStringList>{
                             {"..", " ", " ", " "},
                             {"a.txt", "1KB", "Document texte", "Nov 12 10:00"},
                             {" ", " ", " ", " "},
                             {"court", "", "", ""},
                         }));
    QVERIFY(CopyExplorerListing({}).IsEmpty());
}

void TestListExport::explorerFolderExport()
{
    TExportListView action;
    QList<TMessage> messages;
    action.OnMessage = [&](const QString &text, bool isError) { messages.append({text, isError}); };
    action.SetDATFileName(Path("site.XLS"));
    const TExportResult result = action.Export(CopyExplorerListing(ExplorerRows()));
    QCOMPARE(result.Status, TExportStatus::Saved);
    QCOMPARE(result.FileName, Path("site.XLS"));
    QVERIFY(!result.IsError());
    QCOMPARE(FileBytes(Path("site.XLS")),
             QByteArray("Nom\tTaille\tType\tDate de Modification\t\r\n"
                        "..\t \t \t \r\n"
                        "img\t\tR\xc3\xa9pertoire\tNov 12 10:05\r\n"
                        "a.txt\t1KB\tDocument texte\tNov 12 10:00\r\n"));
    QCOMPARE(messages.size(), 1);
    QCOMPARE(messages.first().text, "Fichier XLS: " + Path("site.XLS") + " sauvegardé");
    QVERIFY(!messages.first().isError);
    QCOMPARE(result.Message, messages.first().text);
}

void TestListExport::withoutHeader()
{
    TExportListView action;
    action.SetWithHeader(false);
    QVERIFY(!action.WithHeader());
    action.SetDATFileName(Path("sans-entete.XLS"));
    QCOMPARE(action.Export(CopyExplorerListing({{"a.txt", "1KB", "Document texte", "Nov 12 10:00"}})).Status,
             TExportStatus::Saved);
    QCOMPARE(FileBytes(Path("sans-entete.XLS")), QByteArray("a.txt\t1KB\tDocument texte\tNov 12 10:00\r\n"));
}

void TestListExport::quickColumns()
{
    TListViewTable quick;
    quick.Captions = QuickListingCaptions();
    quick.Rows = {{"index.html", "12 Ko", "12/11/2024 10:00", "Document HTML"},
                  {"images", "", "12/11/2024 09:30", "Dossier"}};
    TExportListView action;
    action.SetDATFileName(Path("rapide"));
    const TExportResult result = action.Export(quick);
    QCOMPARE(result.FileName, Path("rapide.XLS"));
    QCOMPARE(FileBytes(Path("rapide.XLS")), QByteArray("Nom\tTaille\tDate\tType\t\r\n"
                                                       "index.html\t12 Ko\t12/11/2024 10:00\tDocument HTML\r\n"
                                                       "images\t\t12/11/2024 09:30\tDossier\r\n"));
}

void TestListExport::xlsFileName_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("expected");
    QTest::newRow("csv") << "/home/u/report.csv" << "/home/u/report.XLS";
    QTest::newRow("no extension") << "/home/u/report" << "/home/u/report.XLS";
    QTest::newRow("lower-case xls") << "/home/u/report.xls" << "/home/u/report.XLS";
    QTest::newRow("last dot only") << "/home/u/site.2024.txt" << "/home/u/site.2024.XLS";
    QTest::newRow("dot in a folder name") << "/home/u.v2/report" << "/home/u.v2/report.XLS";
    QTest::newRow("hidden file") << "/home/u/.listing" << "/home/u/.listing.XLS";
    QTest::newRow("the save dialog's proposal") << "/home/u/*.XLS" << "/home/u/*.XLS";
}

void TestListExport::xlsFileName()
{
    QFETCH(QString, name);
    QTEST(TExportListView::XlsFileName(name), "expected");
}

void TestListExport::reportCsvBecomesXls()
{
    TExportListView action;
    action.SetDATFileName(Path("report.csv"));
    const TExportResult result = action.Export(CopyExplorerListing(ExplorerRows()));
    QCOMPARE(result.Status, TExportStatus::Saved);
    QVERIFY(QFileInfo::exists(Path("report.XLS")));
    QVERIFY(!QFileInfo::exists(Path("report.csv")));
    QCOMPARE(result.Message, "Fichier XLS: " + Path("report.XLS") + " sauvegardé");
    QCOMPARE(action.DATFileName(), Path("report.csv"));
}

void TestListExport::replacesWholeFileKeepingPermissions()
{
    QVERIFY(WriteBytes(Path("liste.XLS"), QByteArray(100000, 'x')));
    QVERIFY(QFile::setPermissions(Path("liste.XLS"), QFileDevice::ReadOwner | QFileDevice::WriteOwner));
    TExportListView action;
    action.SetDATFileName(Path("liste.XLS"));
    QCOMPARE(action.Export(CopyExplorerListing({{"a", "1KB", "t", "d"}})).Status, TExportStatus::Saved);
    QCOMPARE(FileBytes(Path("liste.XLS")), QByteArray("Nom\tTaille\tType\tDate de Modification\t\r\na\t1KB\tt\td\r\n"));
    QCOMPARE(QFile::permissions(Path("liste.XLS")) & 0x0fff, QFileDevice::ReadUser | QFileDevice::WriteUser);
    QCOMPARE(QDir(dir->path()).entryList(QDir::Files | QDir::Hidden), QStringList{"liste.XLS"});
}

void TestListExport::rowsShortOrLongAndHostileNames()
{
    TListViewTable table = ExplorerListingTable();
    table.Rows = {
        {"court", "2KB"},                                  // fewer sub-items than columns
        {"long", "1KB", "Fichier", "Nov 1", "en trop"},    // more than the columns hold
        {"nom\tavec\r\nretours", "1KB", "Fichier", "Nov 2"}, // a server's hostile name
        {"dernier", "3KB", "Fichier", "Nov 3"},
    };
    TExportListView action;
    action.SetDATFileName(Path("lignes.XLS"));
    QCOMPARE(action.Export(table).Status, TExportStatus::Saved);
    QCOMPARE(FileBytes(Path("lignes.XLS")), QByteArray("Nom\tTaille\tType\tDate de Modification\t\r\n"
                                                       "court\t2KB\t\t\r\n"
                                                       "long\t1KB\tFichier\tNov 1\r\n"
                                                       "nom avec  retours\t1KB\tFichier\tNov 2\r\n"
                                                       "dernier\t3KB\tFichier\tNov 3\r\n"));
}

void TestListExport::emptyListWritesNothing()
{
    QVERIFY(WriteBytes(Path("vide.XLS"), "ancien"));
    TExportListView action;
    QList<TMessage> messages;
    action.OnMessage = [&](const QString &text, bool isError) { messages.append({text, isError}); };
    action.SetDATFileName(Path("vide.XLS"));
    const TExportResult result = action.Export(ExplorerListingTable());
    QCOMPARE(result.Status, TExportStatus::NothingToExport);
    QCOMPARE(result.Message, QString());
    QVERIFY(messages.isEmpty());
    QCOMPARE(FileBytes(Path("vide.XLS")), QByteArray("ancien"));

    action.SetDATFileName(Path("neuf.XLS"));
    QCOMPARE(action.Export(ExplorerListingTable()).Status, TExportStatus::NothingToExport);
    QVERIFY(!QFileInfo::exists(Path("neuf.XLS")));
}

void TestListExport::noFileName()
{
    TExportListView action;
    QList<TMessage> messages;
    action.OnMessage = [&](const QString &text, bool isError) { messages.append({text, isError}); };
    // The name is checked first, even for an empty list.
    for (const TListViewTable &table : {CopyExplorerListing(ExplorerRows()), ExplorerListingTable()}) {
        const TExportResult result = action.Export(table);
        QCOMPARE(result.Status, TExportStatus::NoFileName);
        QVERIFY(result.IsError());
    }
    QCOMPARE(messages.size(), 2);
    QCOMPARE(messages.first().text, QStringLiteral("Pas de nom donné au fichier!"));
    QVERIFY(messages.first().isError);
}

void TestListExport::unwritableTarget_data()
{
    QTest::addColumn<QString>("target");
    QTest::addColumn<QString>("reason");
    QTest::addColumn<bool>("ordinaryUser");
    QTest::newRow("missing folder") << "absent/liste.XLS" << "introuvable" << false;
    QTest::newRow("a folder of that name") << "dossier.XLS" << "c'est un dossier" << false;
    QTest::newRow("read-only folder") << "lecture/liste.XLS" << "accès refusé" << true;
}

void TestListExport::unwritableTarget()
{
    QFETCH(QString, target);
    QFETCH(QString, reason);
    QFETCH(bool, ordinaryUser);
    QVERIFY(QDir().mkpath(Path("dossier.XLS")));
    QVERIFY(QDir().mkpath(Path("lecture")));
    QVERIFY(WriteBytes(Path("lecture/liste.XLS"), "ancien"));
    QVERIFY(QFile::setPermissions(dir->path(), QFileDevice::Permissions(0x7755)));
    QVERIFY(QFile::setPermissions(Path("lecture"), QFileDevice::Permissions(0x5555)));
    QVERIFY(QFile::setPermissions(Path("lecture/liste.XLS"), QFileDevice::Permissions(0x6666)));

    TExportListView action;
    QList<TMessage> messages;
    action.OnMessage = [&](const QString &text, bool isError) { messages.append({text, isError}); };
    action.SetDATFileName(Path(target));
    TExportResult result;
    const auto work = [&] { result = action.Export(CopyExplorerListing(ExplorerRows())); };
    if (ordinaryUser)
        AsOrdinaryUser(work);
    else
        work();
    QCOMPARE(result.Status, TExportStatus::WriteFailed);
    QVERIFY(result.IsError());
    QCOMPARE(messages.size(), 1);
    QCOMPARE(messages.first().text, "Impossible d'enregistrer le fichier " + Path(target) + " : " + reason);
    QVERIFY(messages.first().isError);
    QCOMPARE(FileBytes(Path("lecture/liste.XLS")), QByteArray("ancien"));
    QCOMPARE(QDir(Path("lecture")).entryList(QDir::Files | QDir::Hidden), QStringList{"liste.XLS"});
    QVERIFY(QFile::setPermissions(Path("lecture"), QFileDevice::Permissions(0x7700)));
}

void TestListExport::boundListView()
{
    TExportListView action;
    action.SetListView(CopyExplorerListing(ExplorerRows()));
    QCOMPARE(action.ListView().Rows.size(), 3);
    action.SetDATFileName(Path("lie"));
    QCOMPARE(action.Execute().Status, TExportStatus::Saved);
    QCOMPARE(FileBytes(Path("lie.XLS")).count("\r\n"), 4);
    action.ClearListView();
    QVERIFY(action.ListView().IsEmpty());
    QCOMPARE(action.Execute().Status, TExportStatus::NothingToExport);
}

QTEST_GUILESS_MAIN(TestListExport)
#include "tst_listexport.moc"
