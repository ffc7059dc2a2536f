// The remote file list: rows produced from the client's entry lists, the
// size and type columns, the ".." row, filters, sorting, the blank row of an
// unreadable date, selections, type-ahead and desktop drops.
#include "FileTypeNames.h"
#include "FtpCacheTesting.h"
#include "FtpListModel.h"
#include "FtpListView.h"
#include "RemoteViewTestSite.h"

#include <QDropEvent>
#include <QHeaderView>
#include <QListView>
#include <QMimeData>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTreeView>
#include <QtTest>

#include <memory>

using namespace RemoteViewTest;

namespace {

const QString Date = QStringLiteral("1/5/2003 9:05 AM");

TVexFtpFileInfoList Named(const QStringList &names, const QString &size = QStringLiteral("100"))
{
    TVexFtpFileInfoList list;
    for (const QString &name : names)
        list.Add(name, QStringLiteral("-rw-r--r--"), Date, size, {}, QStringLiteral("owner"),
                 QStringLiteral("group"), {});
    return list;
}

QStringList Captions(const TVexFtpListView &view)
{
    QStringList captions;
    for (int row = 0; row < view.RowCount(); ++row)
        captions << view.RowCaption(row);
    return captions;
}

QString Cell(const TVexFtpListView &view, int row, int column, int role = Qt::DisplayRole)
{
    const TVexFtpListModel *model = view.Model();
    return model->data(model->index(row, column), role).toString();
}

void SelectRows(TVexFtpListView &view, const QList<int> &rows)
{
    QItemSelectionModel *selection = view.ItemView()->selectionModel();
    selection->clearSelection();
    for (const int row : rows)
        selection->select(view.Model()->index(row, 0),
                          QItemSelectionModel::Select | QItemSelectionModel::Rows);
}

} // namespace

class tst_FtpListView : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }
    void init()
    {
        cacheDir = std::make_unique<QTemporaryDir>();
        QVERIFY(cacheDir->isValid());
        SetListCacheDirectoryForTesting(cacheDir->path() + QLatin1Char('/'));
    }
    void cleanup()
    {
        SetListCacheDirectoryForTesting({});
        cacheDir.reset();
    }

    void sizeText_data();
    void sizeText();
    void reportColumns();
    void parentEntry_data();
    void parentEntry();
    void filter_data();
    void filter();
    void sorting_data();
    void sorting();
    void unreadableDateRow();
    void selections();
    void typeAhead_data();
    void typeAhead();
    void desktopDrop_data();
    void desktopDrop();
    void filteredRefreshHandlesEvents();
    void clientBinding();
    void listenerSlotFreedWithView();
    void viewStyles();

private:
    std::unique_ptr<QTemporaryDir> cacheDir;
};

void tst_FtpListView::sizeText_data()
{
    QTest::addColumn<QString>("size");
    QTest::addColumn<QString>("text");
    QTest::newRow("empty file") << "0" << "0KB";
    QTest::newRow("one byte") << "1" << "1KB";
    QTest::newRow("half a KB") << "512" << "1KB";
    QTest::newRow("one and a half KB") << "1536" << "2KB";
    QTest::newRow("one MB") << "1048576" << "1024KB";
    QTest::newRow("not a number") << "abc" << "1KB";
    QTest::newRow("VMS blocks") << "12/20" << "1KB";
    // Sizes are 64-bit throughout the client: a 5 GB file is not "1KB".
    QTest::newRow("above 32 bits") << "5000000000" << "4882813KB";
}

void tst_FtpListView::sizeText()
{
    QFETCH(QString, size);
    QFETCH(QString, text);
    Site site;
    QVERIFY(site.LogIn(QStringLiteral("/")));
    TVexFtpListView view;
    view.SetClient(&site.client);
    QVERIFY(ListFromCache(site.client, {}, Named({QStringLiteral("data.bin")}, size)));
    QCOMPARE(view.RowCount(), 1);
    QCOMPARE(Cell(view, 0, TVexFtpListModel::ColSize), text);
    QCOMPARE(ListSizeText(size), text);
}

void tst_FtpListView::reportColumns()
{
    Site site;
    QVERIFY(site.LogIn(QStringLiteral("/")));
    TVexFtpListView view;
    view.SetClient(&site.client);
    TVexFtpFileInfoList folders;
    folders.Add(QStringLiteral("docs"), QStringLiteral("drwxr-xr-x"), Date, QStringLiteral("4096"), {},
                QStringLiteral("jo"), QStringLiteral("staff"), QStringLiteral("manuels"));
    TVexFtpFileInfoList files;
    files.Add(QStringLiteral("notes.txt"), QStringLiteral("-rw-r--r--"), Date, QStringLiteral("2048"), {},
              QStringLiteral("jo"), QStringLiteral("staff"), {});
    QVERIFY(ListFromCache(site.client, folders, files));

    const QStringList titles{"Nom", "Taille", "Type", "Date de Modification", "Attributs",
                             "Propriétaire", "Groupe", "Description"};
    const QList<int> widths{128, 84, 108, 108, 80, 80, 80, 128};
    auto *report = qobject_cast<QTreeView *>(view.ItemView());
    QVERIFY(report);
    for (int column = 0; column < titles.size(); ++column) {
        QCOMPARE(view.Model()->headerData(column, Qt::Horizontal).toString(), titles.at(column));
        QCOMPARE(report->header()->sectionSize(column), widths.at(column));
    }
    const auto alignment = [&](int column) {
        return Qt::Alignment(view.Model()->data(view.Model()->index(1, column), Qt::TextAlignmentRole).toInt());
    };
    QVERIFY(alignment(TVexFtpListModel::ColSize) & Qt::AlignRight);
    QVERIFY(!(alignment(TVexFtpListModel::ColName) & Qt::AlignRight));

    const QStringList folderRow{"docs", "", RemoteFolderTypeName(), Date, "drwxr-xr-x", "jo", "staff", "manuels"};
    const QStringList fileRow{"notes.txt", "2KB", FileTypeName(QStringLiteral("notes.txt")), Date,
                              "-rw-r--r--", "jo", "staff", ""};
    QCOMPARE(RemoteFolderTypeName(), QStringLiteral("Répertoire"));
    for (int column = 0; column < TVexFtpListModel::ColumnCount; ++column) {
        QCOMPARE(Cell(view, 0, column), folderRow.at(column));
        QCOMPARE(Cell(view, 1, column), fileRow.at(column));
    }
    const TVexFtpListModel *model = view.Model();
    QVERIFY(!model->data(model->index(0, 0), Qt::DecorationRole).value<QIcon>().isNull());
    QVERIFY(!model->data(model->index(1, 0), Qt::DecorationRole).value<QIcon>().isNull());
    QVERIFY(view.RowIsFolder(0));
    QVERIFY(!view.RowIsFolder(1));
}

void tst_FtpListView::parentEntry_data()
{
    QTest::addColumn<QString>("directory");
    QTest::addColumn<QStringList>("captions");
    QTest::newRow("site root") << "/" << QStringList{"src", "a.txt"};
    QTest::newRow("below the root") << "/pub" << QStringList{"..", "src", "a.txt"};
    QTest::newRow("unknown folder") << QString() << QStringList{"..", "src", "a.txt"};
    QTest::newRow("root with trailing text") << "/ " << QStringList{"..", "src", "a.txt"};
}

void tst_FtpListView::parentEntry()
{
    QFETCH(QString, directory);
    QFETCH(QStringList, captions);
    Site site;
    QVERIFY(site.LogIn(directory));
    QCOMPARE(site.client.CurrentDirectory(), directory.isNull() ? QString() : directory);
    TVexFtpListView view;
    view.SetClient(&site.client);
    QVERIFY(ListFromCache(site.client, Named({"src"}), Named({"a.txt"})));
    QCOMPARE(Captions(view), captions);
    if (captions.first() == QLatin1String("..")) {
        QVERIFY(view.RowIsFolder(0));
        for (int column = 1; column < TVexFtpListModel::ColumnCount; ++column)
            QCOMPARE(Cell(view, 0, column), QString());
    }
}

void tst_FtpListView::filter_data()
{
    QTest::addColumn<QStringList>("files");
    QTest::addColumn<QStringList>("patterns");
    QTest::addColumn<QStringList>("shown");
    const QStringList mixed{"b.txt", "a.zip", "c.txt", "a.ZIP", "d.zip", "notes"};
    QTest::newRow("zip files before txt files, in the client's order")
        << mixed << QStringList{"*.zip", "*.txt"} << QStringList{"docs", "a.zip", "d.zip", "b.txt", "c.txt"};
    QTest::newRow("order of the patterns decides")
        << mixed << QStringList{"*.txt", "*.zip"} << QStringList{"docs", "b.txt", "c.txt", "a.zip", "d.zip"};
    QTest::newRow("a file matching two patterns is listed once, with the first")
        << QStringList{"y.gz", "x.tar.gz", "z.tar.bz2"} << QStringList{"*.tar.*", "*.gz"}
        << QStringList{"docs", "x.tar.gz", "z.tar.bz2", "y.gz"};
    QTest::newRow("case twins: the first one only")
        << QStringList{"Read.txt", "other.txt", "read.txt"} << QStringList{"*.txt"}
        << QStringList{"docs", "Read.txt", "other.txt"};
    QTest::newRow("no pattern lists every file")
        << mixed << QStringList{} << QStringList{"docs", "b.txt", "a.zip", "c.txt", "a.ZIP", "d.zip", "notes"};
    QTest::newRow("nothing matches: folders still shown")
        << mixed << QStringList{"*.iso"} << QStringList{"docs"};
}

void tst_FtpListView::filter()
{
    QFETCH(QStringList, files);
    QFETCH(QStringList, patterns);
    QFETCH(QStringList, shown);
    Site site;
    QVERIFY(site.LogIn(QStringLiteral("/")));
    TVexFtpListView view;
    view.SetSortType(stNone);
    view.SetFilter(patterns);
    QCOMPARE(view.Filter(), patterns);
    view.SetClient(&site.client);
    QVERIFY(ListFromCache(site.client, Named({"docs"}), Named(files)));
    QCOMPARE(Captions(view), shown);
}

void tst_FtpListView::sorting_data()
{
    QTest::addColumn<int>("sortType");
    QTest::addColumn<bool>("ascending");
    QTest::addColumn<QStringList>("shown");
    // Files: big.iso 9000, a.txt 10, mid.doc 100, in that order.
    QTest::newRow("none keeps the client's order") << int(stNone) << true << QStringList{"zeta", "alpha", "big.iso", "a.txt", "mid.doc"};
    QTest::newRow("name") << int(stName) << true << QStringList{"alpha", "zeta", "a.txt", "big.iso", "mid.doc"};
    QTest::newRow("name descending") << int(stName) << false << QStringList{"zeta", "alpha", "mid.doc", "big.iso", "a.txt"};
    QTest::newRow("size") << int(stSize) << true << QStringList{"alpha", "zeta", "a.txt", "mid.doc", "big.iso"};
    QTest::newRow("size descending") << int(stSize) << false << QStringList{"zeta", "alpha", "big.iso", "mid.doc", "a.txt"};
}

void tst_FtpListView::sorting()
{
    QFETCH(int, sortType);
    QFETCH(bool, ascending);
    QFETCH(QStringList, shown);
    Site site;
    QVERIFY(site.LogIn(QStringLiteral("/")));
    TVexFtpListView view;
    view.SetClient(&site.client);
    TVexFtpFileInfoList files;
    files.Add("big.iso", {}, Date, "9000", {}, {}, {}, {});
    files.Add("a.txt", {}, Date, "10", {}, {}, {}, {});
    files.Add("mid.doc", {}, Date, "100", {}, {}, {}, {});
    TVexFtpFileInfoList folders;
    folders.Add("zeta", {}, Date, "2", {}, {}, {}, {});
    folders.Add("alpha", {}, Date, "1", {}, {}, {}, {});
    view.SetSortType(stNone);
    QVERIFY(ListFromCache(site.client, folders, files));
    QCOMPARE(Captions(view), (QStringList{"zeta", "alpha", "big.iso", "a.txt", "mid.doc"}));
    // The properties take effect at the next refresh.
    view.SetSortType(TVexFtpSortBase(sortType));
    view.SetAscending(ascending);
    view.Refresh();
    QCOMPARE(Captions(view), shown);
}

void tst_FtpListView::unreadableDateRow()
{
    Site site;
    QVERIFY(site.LogIn(QStringLiteral("/pub")));
    TVexFtpListView view;
    view.SetSortType(stNone);
    view.SetClient(&site.client);
    TVexFtpFileInfoList files;
    files.Add("good.txt", "-rw-r--r--", Date, "10", {}, "o", "g", {});
    files.Add("bad.txt", "-rw-r--r--", "/5/2003 9:05 AM", "10", {}, "o", "g", "d");
    files.Add("last.txt", "-rw-r--r--", Date, "10", {}, "o", "g", {});
    QVERIFY(ListFromCache(site.client, {}, files));
    QCOMPARE(view.RowCount(), 4); // "..", and the three files
    QCOMPARE(Captions(view), (QStringList{"..", "good.txt", "", "last.txt"}));
    const TVexFtpListModel *model = view.Model();
    for (int column = 0; column < TVexFtpListModel::ColumnCount; ++column)
        QCOMPARE(Cell(view, 2, column), QString());
    QVERIFY(model->data(model->index(2, 0), Qt::DecorationRole).isNull());
    QVERIFY(!view.RowIsFolder(2));
    // Nothing to act on: the blank row is no file for the owner either, and
    // type-ahead never lands on it.
    SelectRows(view, {2, 3});
    QCOMPARE(view.SelectedFiles(), QStringList{"last.txt"});
    QCOMPARE(view.FindCaption("BAD", 0, true), -1);
}

void tst_FtpListView::selections()
{
    Site site;
    QVERIFY(site.LogIn(QStringLiteral("/pub")));
    TVexFtpListView view;
    view.SetClient(&site.client);
    QVERIFY(ListFromCache(site.client, Named({"docs", "src"}), Named({"readme", "a.zip"})));
    QCOMPARE(Captions(view), (QStringList{"..", "docs", "src", "a.zip", "readme"}));

    SelectRows(view, {1, 0});
    QCOMPARE(view.SelectedFolders(), (QStringList{"..", "docs"}));
    QCOMPARE(view.SelectedFiles(), QStringList());

    SelectRows(view, {4, 2, 3});
    QCOMPARE(view.SelectedFolders(), QStringList{"src"});
    QCOMPARE(view.SelectedFiles(), (QStringList{"a.zip", "readme"}));

    view.SelectAll(true);
    QCOMPARE(view.SelectedFolders(), (QStringList{"..", "docs", "src"}));
    QCOMPARE(view.SelectedFiles(), (QStringList{"a.zip", "readme"}));
    // The icon styles share the selection.
    view.SetViewStyle(vsIcon);
    QCOMPARE(view.SelectedFiles(), (QStringList{"a.zip", "readme"}));
    view.SelectAll(false);
    QCOMPARE(view.SelectedFolders(), QStringList());
    QCOMPARE(view.SelectedFiles(), QStringList());

    // A refresh starts with nothing selected.
    view.SelectAll(true);
    view.Refresh();
    QCOMPARE(view.SelectedFiles(), QStringList());
}

void tst_FtpListView::typeAhead_data()
{
    QTest::addColumn<int>("startRow");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<int>("landsOn");
    // Rows: 0 "..", 1 pub, 2 readme, 3 release.txt.
    QTest::newRow("RE from the top lands on readme") << -1 << "RE" << 2;
    QTest::newRow("lower case is the same") << -1 << "rea" << 2;
    QTest::newRow("a longer prefix picks the next match") << -1 << "REL" << 3;
    QTest::newRow("from the last row the search wraps") << 3 << "P" << 1;
    QTest::newRow("no match keeps the current row") << 1 << "ZZ" << 1;
    QTest::newRow("the .. row never matches") << 1 << "." << 1;
}

void tst_FtpListView::typeAhead()
{
    QFETCH(int, startRow);
    QFETCH(QString, typed);
    QFETCH(int, landsOn);
    Site site;
    QVERIFY(site.LogIn(QStringLiteral("/home")));
    TVexFtpListView view;
    view.SetClient(&site.client);
    QVERIFY(ListFromCache(site.client, Named({"pub"}), Named({"readme", "release.txt"})));
    QCOMPARE(Captions(view), (QStringList{"..", "pub", "readme", "release.txt"}));
    QAbstractItemView *items = view.ItemView();
    items->setCurrentIndex(startRow >= 0 ? view.Model()->index(startRow, 0) : QModelIndex());
    QTest::keyClicks(items, typed);
    QCOMPARE(view.CurrentRow(), landsOn);

    // The search itself, without wrapping.
    QCOMPARE(view.FindCaption("P", 3, false), -1);
    QCOMPARE(view.FindCaption("P", 3, true), 1);
    QCOMPARE(view.FindCaption("RE", 0, false), 2);
}

void tst_FtpListView::desktopDrop_data()
{
    QTest::addColumn<bool>("accept");
    QTest::addColumn<QStringList>("names");
    QTest::addColumn<bool>("withRemoteUrl");
    QTest::addColumn<int>("calls");
    QTest::addColumn<int>("dropped");
    QTest::newRow("three files") << true << QStringList{"un.txt", "deux.zip", "trois fichiers.doc"} << false << 1 << 3;
    QTest::newRow("remote urls are left out") << true << QStringList{"un.txt"} << true << 1 << 1;
    QTest::newRow("only a remote url") << true << QStringList{} << true << 0 << 0;
    QTest::newRow("drops not accepted") << false << QStringList{"un.txt", "deux.zip"} << false << 0 << 0;
}

void tst_FtpListView::desktopDrop()
{
    QFETCH(bool, accept);
    QFETCH(QStringList, names);
    QFETCH(bool, withRemoteUrl);
    QFETCH(int, calls);
    QFETCH(int, dropped);
    QTemporaryDir folder;
    QList<QUrl> urls;
    QStringList paths;
    for (const QString &name : names) {
        paths << folder.filePath(name);
        urls << QUrl::fromLocalFile(paths.constLast());
    }
    if (withRemoteUrl)
        urls << QUrl(QStringLiteral("https://example.invalid/page.html"));
    QMimeData mime;
    mime.setUrls(urls);

    TVexFtpListView view;
    view.SetAccept(accept);
    QCOMPARE(view.Accept(), accept);
    int called = 0;
    QStringList seen;
    view.OnFileDropped = [&](TVexFtpListView *sender) {
        ++called;
        seen = sender->DroppedFiles();
    };
    QWidget *target = view.ItemView()->viewport();
    const QPoint where = target->rect().center();
    QDragEnterEvent enter(where, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &enter);
    QCOMPARE(enter.isAccepted(), calls > 0);
    QDropEvent drop(QPointF(where), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &drop);
    QCOMPARE(called, calls);
    QCOMPARE(seen.size(), dropped);
    if (calls > 0) {
        QCOMPARE(seen, paths);
        QCOMPARE(view.DroppedFiles(), paths);
    }
}

void tst_FtpListView::filteredRefreshHandlesEvents()
{
    Site site;
    QVERIFY(site.LogIn(QStringLiteral("/")));
    QVERIFY(ListFromCache(site.client, {}, Named({"a.zip", "b.txt", "c.doc"})));

    // A refresh started by an event handled during a filtered refresh
    // takes over; the older one gives up and leaves its rows alone.
    TVexFtpListView view;
    view.SetClient(&site.client);
    view.SetFilter({"*.zip", "*.txt"});
    QTimer::singleShot(0, &view, [&view] {
        view.SetFilter({"*.doc"});
        view.Refresh();
    });
    view.Refresh();
    QCOMPARE(Captions(view), QStringList{"c.doc"});

    // A view destroyed meanwhile is left at once.
    auto *doomed = new TVexFtpListView;
    doomed->SetClient(&site.client);
    doomed->SetFilter({"*.zip"});
    bool destroyed = false;
    QObject::connect(doomed, &QObject::destroyed, [&destroyed] { destroyed = true; });
    QTimer::singleShot(0, [doomed] { delete doomed; });
    doomed->Refresh();
    QVERIFY(destroyed);
    // Its listener went with it; the other view still follows the client.
    QVERIFY(ListFromCache(site.client, {}, Named({"d.zip", "e.doc"})));
    QCOMPARE(Captions(view), QStringList{"e.doc"});
}

void tst_FtpListView::clientBinding()
{
    Site first;
    QVERIFY(first.LogIn(QStringLiteral("/")));
    QVERIFY(ListFromCache(first.client, Named({"one"}), {}));
    Site second;
    QVERIFY(second.LogIn(QStringLiteral("/")));

    TVexFtpListView view;
    // A client that already holds entries is shown at once.
    view.SetClient(&first.client);
    QCOMPARE(view.Client(), &first.client);
    QCOMPARE(Captions(view), QStringList{"one"});

    view.SetClient(&second.client);
    QVERIFY(ListFromCache(second.client, Named({"two"}), {}));
    QCOMPARE(Captions(view), QStringList{"two"});
    // The old client's listings no longer reach the view.
    QVERIFY(ListFromCache(first.client, Named({"uno"}), {}));
    QCOMPARE(Captions(view), QStringList{"two"});

    view.SetClient(nullptr);
    QCOMPARE(view.RowCount(), 0);

    // A destroyed client is forgotten, not called.
    auto doomed = std::make_unique<Site>();
    QVERIFY(doomed->LogIn(QStringLiteral("/")));
    QVERIFY(ListFromCache(doomed->client, Named({"trois"}), {}));
    view.SetClient(&doomed->client);
    QCOMPARE(Captions(view), QStringList{"trois"});
    doomed.reset();
    QCOMPARE(view.Client(), nullptr);
    QCOMPARE(Captions(view), QStringList{"trois"}); // rows mirror the last refresh
    view.SetClient(&second.client);
    QCOMPARE(Captions(view), QStringList{"two"});
}

void tst_FtpListView::listenerSlotFreedWithView()
{
    Site site;
    QVERIFY(site.LogIn(QStringLiteral("/")));
    const TNotifyEvent nothing = [](TVexFtp *) {};
    for (int i = 0; i < 3; ++i)
        QVERIFY(site.client.AddNotifyListener(nkListingDone, nothing) > 0);
    {
        TVexFtpListView view;
        view.SetClient(&site.client);
        QCOMPARE(site.client.AddNotifyListener(nkListingDone, nothing), -1); // the view holds the fourth
    }
    QCOMPARE(site.client.AddNotifyListener(nkListingDone, nothing), 4);
    QVERIFY(ListFromCache(site.client, Named({"x"}), {})); // no call into the destroyed view
}

void tst_FtpListView::viewStyles()
{
    TVexFtpListView view;
    QCOMPARE(view.ViewStyle(), vsReport);
    QVERIFY(qobject_cast<QTreeView *>(view.ItemView()));
    struct Expected {
        TVexFtpViewStyle style;
        QListView::ViewMode mode;
        QListView::Flow flow;
        int iconSize;
    };
    for (const Expected &e : {Expected{vsIcon, QListView::IconMode, QListView::LeftToRight, 32},
                              Expected{vsSmallIcon, QListView::ListMode, QListView::LeftToRight, 16},
                              Expected{vsList, QListView::ListMode, QListView::TopToBottom, 16}}) {
        view.SetViewStyle(e.style);
        auto *list = qobject_cast<QListView *>(view.ItemView());
        QVERIFY(list);
        QCOMPARE(list->viewMode(), e.mode);
        QCOMPARE(list->flow(), e.flow);
        QCOMPARE(list->iconSize(), QSize(e.iconSize, e.iconSize));
        QCOMPARE(list->model(), view.Model());
    }
    view.SetWebStyle(true);
    QVERIFY(view.ItemView()->viewport()->testAttribute(Qt::WA_Hover));
    QCOMPARE(view.ItemView()->viewport()->cursor().shape(), Qt::PointingHandCursor);
    view.SetWebStyle(false);
    QVERIFY(!view.ItemView()->viewport()->testAttribute(Qt::WA_Hover));
}

QTEST_MAIN(tst_FtpListView)
#include "tst_ftplistview.moc"
