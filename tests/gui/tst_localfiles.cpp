// The local folder tree and file list of the explorer tab: folder paths with
// their final "/", selection by path and re-selection re-reading the disk,
// the change and click events, hidden entries, the type column and its
// folder text, the mask, the view styles, selection by row, and what a drag
// of selected rows carries.

#include "DragOrigin.h"
#include "FileTypeNames.h"
#include "LocalEntriesModel.h"
#include "LocalFileList.h"
#include "LocalFolderTree.h"
#include "LocalPaths.h"

#include <QDir>
#include <QFile>
#include <QHeaderView>
#include <QListView>
#include <QMimeData>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTreeView>
#include <QScopeGuard>
#include <QUrl>
#include <QtTest>

namespace {
constexpr int WaitMs = 5000;

bool Touch(const QString &path, const QByteArray &data = "x")
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(data) == data.size();
}

QStringList Captions(const TLocalFileList &list)
{
    QStringList captions;
    for (int row = 0; row < list.RowCount(); ++row)
        captions << list.RowCaption(row);
    return captions;
}

// Points list at folder and waits for the whole reading.
bool Read(TLocalFileList &list, const QString &folder)
{
    list.SetDirectory(folder);
    return QTest::qWaitFor([&] { return list.Loaded(); }, WaitMs);
}
}

class TestLocalFiles : public QObject
{
    Q_OBJECT
private slots:
    void init();

    void folderPaths_data();
    void folderPaths();
    void treeSelectsByPath();
    void treeReselectionRaisesChange();
    void treeRefusesMissingFolder();
    void treeRereadFallsBackToParent();
    void listRowsAndTypes();
    void listSizeAndDateTexts();
    void listRereadsTheDisk();
    void listMask_data();
    void listMask();
    void listSelection();
    void listViewStyles();
    void listDragCarriesFilesAndMark();
    void listDropsAreTheOwnersChoice();
    void listDoubleClickOnFolder();
    void listWithoutFolder();

private:
    std::unique_ptr<QTemporaryDir> root;
    QString folder; // root with its final "/"
};

void TestLocalFiles::init()
{
    root = std::make_unique<QTemporaryDir>();
    QVERIFY(root->isValid());
    folder = QDir(root->path()).canonicalPath() + QLatin1Char('/');
    QDir dir(folder);
    QVERIFY(dir.mkpath(QStringLiteral("docs/sous")));
    QVERIFY(dir.mkpath(QStringLiteral("Images")));
    QVERIFY(dir.mkpath(QStringLiteral(".cache")));
    for (const char *name : {"b.txt", "a.mp3", "C.MP3", "lisezmoi", ".profil"})
        QVERIFY(Touch(folder + QLatin1String(name)));
}

void TestLocalFiles::folderPaths_data()
{
    QTest::addColumn<QString>("given");
    QTest::addColumn<QString>("folder");
    QTest::addColumn<QString>("parent");
    QTest::newRow("root") << "/" << "/" << "";
    QTest::newRow("no final slash") << "/usr/share" << "/usr/share/" << "/usr/";
    QTest::newRow("final slash") << "/usr/share/" << "/usr/share/" << "/usr/";
    QTest::newRow("below the root") << "/usr" << "/usr/" << "/";
    QTest::newRow("dots cleaned") << "/usr/./share/../lib" << "/usr/lib/" << "/usr/";
    QTest::newRow("empty") << "" << "" << "";
}

void TestLocalFiles::folderPaths()
{
    QFETCH(QString, given);
    QFETCH(QString, folder);
    QFETCH(QString, parent);
    QCOMPARE(LocalFolderPath(given), folder);
    QCOMPARE(LocalParentFolder(LocalFolderPath(given)), parent);
}

void TestLocalFiles::treeSelectsByPath()
{
    TDirTree tree;
    QSignalSpy changes(&tree, &TDirTree::Change);
    QVERIFY(tree.SetDirectory(folder + QStringLiteral("docs/sous")));
    QCOMPARE(tree.Directory(), folder + QStringLiteral("docs/sous/"));
    QCOMPARE(changes.count(), 1);
    // The node is the current one, its parents open.
    const QModelIndex current = tree.currentIndex();
    QCOMPARE(current.data().toString(), QStringLiteral("sous"));
    QVERIFY(tree.isExpanded(current.parent()));
    QCOMPARE(current.parent().data().toString(), QStringLiteral("docs"));

    // The root is "/".
    QVERIFY(tree.SetDirectory(QStringLiteral("/")));
    QCOMPARE(tree.Directory(), QStringLiteral("/"));

    // A quiet selection moves without Change.
    QVERIFY(tree.SetDirectory(folder, true));
    QCOMPARE(tree.Directory(), folder);
    QCOMPARE(changes.count(), 2);

    // The user's choice of another node raises Change with its path.
    tree.setCurrentIndex(current);
    QCOMPARE(tree.Directory(), folder + QStringLiteral("docs/sous/"));
    QCOMPARE(changes.count(), 3);

    // Hidden folders are not shown below a folder once it is read.
    const QModelIndex top = tree.currentIndex().parent().parent();
    QTRY_VERIFY_WITH_TIMEOUT(tree.model()->rowCount(top) == 2, WaitMs);
    QStringList children;
    for (int row = 0; row < tree.model()->rowCount(top); ++row)
        children << tree.model()->index(row, 0, top).data().toString();
    children.sort();
    QCOMPARE(children, (QStringList{"Images", "docs"}));
}

void TestLocalFiles::treeReselectionRaisesChange()
{
    TDirTree tree;
    QVERIFY(tree.SetDirectory(folder));
    QSignalSpy changes(&tree, &TDirTree::Change);
    QVERIFY(tree.SetDirectory(folder));
    tree.Reread();
    QCOMPARE(changes.count(), 2);
    QCOMPARE(tree.Directory(), folder);
}

void TestLocalFiles::treeRefusesMissingFolder()
{
    TDirTree tree;
    QVERIFY(tree.SetDirectory(folder + QStringLiteral("docs")));
    QSignalSpy changes(&tree, &TDirTree::Change);
    QVERIFY(!tree.SetDirectory(folder + QStringLiteral("absent")));
    QVERIFY(!tree.SetDirectory(folder + QStringLiteral("b.txt")));
    QVERIFY(!tree.SetDirectory(QString()));
    QCOMPARE(changes.count(), 0);
    QCOMPARE(tree.Directory(), folder + QStringLiteral("docs/"));
}

void TestLocalFiles::treeRereadFallsBackToParent()
{
    TDirTree tree;
    QVERIFY(tree.SetDirectory(folder + QStringLiteral("docs/sous")));
    QVERIFY(QDir(folder + QStringLiteral("docs")).removeRecursively());
    QSignalSpy changes(&tree, &TDirTree::Change);
    tree.Reread();
    QCOMPARE(tree.Directory(), folder);
    QCOMPARE(changes.count(), 1);
}

void TestLocalFiles::listRowsAndTypes()
{
    TLocalFileList list;
    // Without a folder the list is empty, and has nothing to read.
    QCOMPARE(list.Directory(), QString());
    QCOMPARE(list.RowCount(), 0);
    QVERIFY(list.Loaded());
    QSignalSpy loaded(&list, &TLocalFileList::DirectoryLoaded);
    QVERIFY(Read(list, folder));
    QCOMPARE(loaded.count(), 1);
    QCOMPARE(list.Directory(), folder);
    // Folders first, then files; hidden entries left out.
    QCOMPARE(Captions(list), (QStringList{"docs", "Images", "a.mp3", "b.txt", "C.MP3", "lisezmoi"}));
    QCOMPARE(list.RowType(0), QStringLiteral("Dossier de fichiers"));
    QCOMPARE(list.RowType(0), LocalFolderTypeName());
    QVERIFY(list.RowIsFolder(1));
    QCOMPARE(list.RowType(3), FileTypeName(QStringLiteral("b.txt")));
    QCOMPARE(list.RowType(5), FileTypeName(QStringLiteral("lisezmoi")));
    QVERIFY(!list.RowIsFolder(3));
    QVERIFY(list.RowCaption(99).isEmpty());

    // The report's columns, the type second.
    auto *report = qobject_cast<QTreeView *>(list.ItemView());
    QVERIFY(report);
    QStringList titles;
    for (int visual = 0; visual < report->header()->count(); ++visual)
        titles << report->model()->headerData(report->header()->logicalIndex(visual), Qt::Horizontal).toString();
    QCOMPARE(titles, (QStringList{"Nom", "Type", "Taille", "Modifié le"}));
}

// Sizes and dates are French whatever the system's locale; folders show no size.
void TestLocalFiles::listSizeAndDateTexts()
{
    const QLocale previous;
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    const auto restore = qScopeGuard([&previous] { QLocale::setDefault(previous); });
    QFile file(folder + QStringLiteral("b.txt"));
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(file.write(QByteArray(76890, 'b')), qint64(76890));
    QVERIFY(file.setFileTime(QDateTime(QDate(2003, 12, 25), QTime(10, 0)), QFileDevice::FileModificationTime));
    file.close();
    TLocalFileList list;
    QVERIFY(Read(list, folder));
    QAbstractItemModel *model = list.ItemView()->model();
    const QModelIndex root = list.ItemView()->rootIndex();
    const auto text = [&](int row, int column) { return model->index(row, column, root).data().toString(); };
    QCOMPARE(text(3, TLocalEntriesModel::ColName), QStringLiteral("b.txt"));
    QCOMPARE(text(3, TLocalEntriesModel::ColSize), QStringLiteral("75,09 ko"));
    QCOMPARE(text(3, TLocalEntriesModel::ColDate), QStringLiteral("25/12/2003 10:00"));
    QCOMPARE(text(0, TLocalEntriesModel::ColSize), QString());
}

void TestLocalFiles::listRereadsTheDisk()
{
    TLocalFileList list;
    QVERIFY(Read(list, folder));
    QVERIFY(Touch(folder + QStringLiteral("nouveau.txt")));
    QVERIFY(QFile::remove(folder + QStringLiteral("b.txt")));
    // Pointing the list at its folder again shows the disk as it is.
    QVERIFY(Read(list, folder));
    QCOMPARE(Captions(list), (QStringList{"docs", "Images", "a.mp3", "C.MP3", "lisezmoi", "nouveau.txt"}));
    // The columns keep their place over readings.
    auto *report = qobject_cast<QTreeView *>(list.ItemView());
    QCOMPARE(report->header()->visualIndex(2), 1);
}

void TestLocalFiles::listMask_data()
{
    QTest::addColumn<QString>("mask");
    QTest::addColumn<QStringList>("captions");
    const QStringList folders{"docs", "Images"};
    QTest::newRow("every file") << "*.*" << folders + QStringList{"a.mp3", "b.txt", "C.MP3", "lisezmoi"};
    QTest::newRow("empty") << "" << folders + QStringList{"a.mp3", "b.txt", "C.MP3", "lisezmoi"};
    QTest::newRow("mp3, case ignored") << "*.mp3" << folders + QStringList{"a.mp3", "C.MP3"};
    QTest::newRow("nothing matches") << "*.zip" << folders;
}

void TestLocalFiles::listMask()
{
    QFETCH(QString, mask);
    QFETCH(QStringList, captions);
    TLocalFileList list;
    list.SetMask(mask);
    QCOMPARE(list.Mask(), mask);
    QVERIFY(Read(list, folder));
    QCOMPARE(Captions(list), captions);
}

void TestLocalFiles::listSelection()
{
    TLocalFileList list;
    QVERIFY(Read(list, folder));
    QCOMPARE(list.FirstSelectedRow(), -1);
    list.SetRowSelected(4, true);
    list.SetRowSelected(2, true);
    QCOMPARE(list.SelectedRows(), (QList<int>{2, 4}));
    QCOMPARE(list.FirstSelectedRow(), 2);
    QVERIFY(list.RowSelected(4));
    QVERIFY(!list.RowSelected(3));
    list.SetRowSelected(2, false);
    QCOMPARE(list.FirstSelectedRow(), 4);
    list.SelectAll(true);
    QCOMPARE(list.SelectedRows().size(), list.RowCount());
    list.SelectAll(false);
    QVERIFY(list.SelectedRows().isEmpty());
    // A new reading forgets the selection.
    list.SetRowSelected(1, true);
    QVERIFY(Read(list, folder));
    QVERIFY(list.SelectedRows().isEmpty());
}

void TestLocalFiles::listViewStyles()
{
    TLocalFileList list;
    QVERIFY(Read(list, folder));
    QCOMPARE(list.ViewStyle(), vsReport);
    list.SetRowSelected(3, true);
    struct Expected {
        TViewStyle style;
        QListView::ViewMode mode;
        QListView::Flow flow;
        int iconSize;
    };
    for (const Expected &e : {Expected{vsIcon, QListView::IconMode, QListView::LeftToRight, 32},
                              Expected{vsSmallIcon, QListView::ListMode, QListView::LeftToRight, 16},
                              Expected{vsList, QListView::ListMode, QListView::TopToBottom, 16}}) {
        list.SetViewStyle(e.style);
        QCOMPARE(list.ViewStyle(), e.style);
        auto *icons = qobject_cast<QListView *>(list.ItemView());
        QVERIFY(icons);
        QCOMPARE(icons->viewMode(), e.mode);
        QCOMPARE(icons->flow(), e.flow);
        QCOMPARE(icons->iconSize(), QSize(e.iconSize, e.iconSize));
        // One selection for every style.
        QCOMPARE(list.SelectedRows(), QList<int>{3});
        QCOMPARE(icons->model()->rowCount(icons->rootIndex()), list.RowCount());
    }
    list.SetViewStyle(vsReport);
    QVERIFY(qobject_cast<QTreeView *>(list.ItemView()));
}

void TestLocalFiles::listDragCarriesFilesAndMark()
{
    TLocalFileList list;
    TLocalFileList other;
    QVERIFY(Read(list, folder));
    QCOMPARE(list.DragData(), nullptr);
    list.SetRowSelected(0, true);
    list.SetRowSelected(3, true);
    std::unique_ptr<QMimeData> mime(list.DragData());
    QVERIFY(mime);
    QCOMPARE(mime->urls(), (QList<QUrl>{QUrl::fromLocalFile(folder + QStringLiteral("docs")),
                                        QUrl::fromLocalFile(folder + QStringLiteral("b.txt"))}));
    QVERIFY(IsDragFrom(mime.get(), &list));
    QVERIFY(!IsDragFrom(mime.get(), &other));
    // Files from the desktop carry no mark.
    QMimeData desktop;
    desktop.setUrls(mime->urls());
    QVERIFY(!IsDragFrom(&desktop, &list));
}

void TestLocalFiles::listDropsAreTheOwnersChoice()
{
    TLocalFileList list;
    QVERIFY(Read(list, folder));
    QMimeData mime;
    mime.setText(QStringLiteral("quelque chose"));
    QWidget *target = list.ItemView()->viewport();
    const QPoint where = target->rect().center();
    const auto drop = [&] {
        QDragEnterEvent enter(where, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(target, &enter);
        QDropEvent dropped(QPointF(where), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(target, &dropped);
        return enter.isAccepted();
    };
    // Without an owner's hook nothing is taken.
    QVERIFY(!drop());
    int dropped = 0;
    bool take = false;
    list.OnDragOver = [&](const QMimeData *m) { return m == &mime && take; };
    list.OnDragDrop = [&](const QMimeData *) { ++dropped; };
    QVERIFY(!drop());
    QCOMPARE(dropped, 0);
    take = true;
    QVERIFY(drop());
    QCOMPARE(dropped, 1);
    // The disk is left alone.
    QVERIFY(Read(list, folder));
    QCOMPARE(list.RowCount(), 6);
}

void TestLocalFiles::listDoubleClickOnFolder()
{
    TLocalFileList list;
    list.resize(400, 300);
    list.show();
    QVERIFY(QTest::qWaitForWindowExposed(&list));
    QVERIFY(Read(list, folder));
    QSignalSpy activated(&list, &TLocalFileList::FolderActivated);
    QAbstractItemView *view = list.ItemView();
    QSignalSpy clicks(view, &QAbstractItemView::doubleClicked);
    for (int row : {3, 0}) { // a file, then a folder
        const QModelIndex index = view->model()->index(row, 0, view->rootIndex());
        QTRY_VERIFY_WITH_TIMEOUT(!view->visualRect(index).isEmpty(), WaitMs);
        // A double click as the window system delivers it.
        const QPoint at = view->visualRect(index).center();
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, at);
        QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, at);
        QTest::mouseRelease(view->viewport(), Qt::LeftButton, {}, at);
    }
    QCOMPARE(clicks.count(), 2);
    QCOMPARE(activated.count(), 1);
    QCOMPARE(activated.first().first().toString(), folder + QStringLiteral("docs/"));
}

void TestLocalFiles::listWithoutFolder()
{
    TLocalFileList list;
    QVERIFY(Read(list, folder + QStringLiteral("absent")));
    QCOMPARE(list.RowCount(), 0);
    list.SelectAll(true);
    QVERIFY(list.SelectedRows().isEmpty());
    QCOMPARE(list.DragData(), nullptr);
    QVERIFY(Read(list, folder));
    QCOMPARE(list.RowCount(), 6);
}

QTEST_MAIN(TestLocalFiles)
#include "tst_localfiles.moc"
