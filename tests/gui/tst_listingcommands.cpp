// The window's export, preview and print commands on the explorer tab's
// remote listing, run the way the user runs them (the tab's buttons and the
// main menu's items) against a real pyftpdlib server: the exported file of a
// folder, the ".XLS" rule and the messages, the empty lists that do nothing,
// an unwritable target, the preview of the previous copy and of the bare
// columns, printing to PDF read back with pdfinfo and pdftotext, and the
// hand-over to a spreadsheet program. The quick explorer's side is in
// tst_listingcommands_quick.cpp (its panel and the client cannot share a
// source file).

#include "ExplorerTestSite.h"
#include "FileTypeNames.h"
#include "FormListPrint.h"
#include "FtpListModel.h"
#include "ListingTestKit.h"
#include "UpdateTab.h"

#include <QGraphicsView>
#include <QLabel>
#include <QMenu>
#include <QPrintPreviewWidget>
#include <QRadioButton>
#include <QTimer>

using namespace ExplorerTest;
using namespace ListingTest;

class TestListingCommands : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();

    void explorerFolderExport_data();
    void explorerFolderExport();
    void emptyListsDoNothing();
    void unwritableTarget();
    void previewOfPreviousCopy();
    void previewAfterStartUp();
    void printToPdf_data();
    void printToPdf();
    void spreadsheetHandOver();

private:
    bool StartServer(int extraFiles = 0);

    QTemporaryDir home;
    std::unique_ptr<TShellFixture> fx;
    std::unique_ptr<PyFtpdServer> server;
    std::unique_ptr<QTemporaryDir> local;
    QString localFolder; // with its final "/"
};

void TestListingCommands::initTestCase()
{
    IsolateUserFolders(home);
    if (!PdfToolsAvailable())
        QFAIL("pdftotext and pdfinfo are needed (Debian package poppler-utils, see scripts/install-deps.sh)");
}

void TestListingCommands::init()
{
    fx = std::make_unique<TShellFixture>();
    local = std::make_unique<QTemporaryDir>();
    QVERIFY(local->isValid());
    localFolder = QDir(local->path()).canonicalPath() + QLatin1Char('/');
}

void TestListingCommands::cleanup()
{
    if (QTest::currentTestFailed() && server)
        qWarning().noquote() << server->StandardError();
    server.reset();
    local.reset();
    fx.reset();
}

bool TestListingCommands::StartServer(int extraFiles)
{
    if (!PyFtpdServer::Available())
        return false;
    server = std::make_unique<PyFtpdServer>();
    return MakeSite(*server, extraFiles) && server->Start();
}

#define START_SERVER(extra)                                                                                        \
    if (!StartServer(extra))                                                                                       \
    QSKIP(server ? qPrintable(server->ErrorString()) : PyFtpdServer::UnavailableMessage())

void TestListingCommands::explorerFolderExport_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("written");
    QTest::newRow("report.csv") << "report.csv" << "report.XLS";
    QTest::newRow("without extension") << "liste" << "liste.XLS";
    QTest::newRow("lower-case xls") << "liste.xls" << "liste.XLS";
}

void TestListingCommands::explorerFolderExport()
{
    QFETCH(QString, typed);
    QFETCH(QString, written);
    START_SERVER(0);
    TfrmMain w;
    QVERIFY(ShowLocalFolder(w, localFolder));
    QVERIFY(LogIn(w, *server, QStringLiteral("/site")));
    QCOMPARE(RemoteCaptions(w), (QStringList{"..", "img", "a.txt"}));

    // The explorer tab's "Export Excel" button.
    fx->prompter.Clear();
    fx->prompter.QueuePath(localFolder + typed);
    Action(w, "ExportExcel2")->trigger();

    QCOMPARE(fx->prompter.Asked().size(), 2);
    const TPromptRecord save = fx->prompter.Asked().first();
    QCOMPARE(save.kind, QStringLiteral("save"));
    QCOMPARE(save.caption, QStringLiteral("Export Excel"));
    QCOMPARE(save.value, localFolder + QStringLiteral("*.XLS"));
    const QString path = localFolder + written;
    QCOMPARE(fx->prompter.Messages(), QStringList{QStringLiteral("Fichier XLS: %1 sauvegardé").arg(path)});
    QCOMPARE(Entries(localFolder), QStringList{written});

    const QList<QByteArray> lines = Lines(ReadFile(path));
    QCOMPARE(lines.size(), 4);
    QCOMPARE(lines.at(0), ExplorerHeaderLine);
    QCOMPARE(lines.at(1), QByteArray("..\t \t \t "));
    const TVexFtpListModel *model = RemoteList(w)->Model();
    const auto date = [&](int row) { return model->data(model->index(row, TVexFtpListModel::ColDate)).toString(); };
    QVERIFY(!date(1).isEmpty() && !date(2).isEmpty());
    QCOMPARE(lines.at(2), (QStringList{"img", "", RemoteFolderTypeName(), date(1)}.join('\t').toUtf8()));
    QCOMPARE(lines.at(3), (QStringList{"a.txt", "1KB", FileTypeName("a.txt"), date(2)}.join('\t').toUtf8()));

    // The hidden listing holds the copy, the action knows the file.
    TListingCommands *listing = Listing(w);
    QVERIFY(listing);
    QCOMPARE(listing->ListView1().Rows.size(), 3);
    QCOMPARE(listing->ListView1().Captions, (QStringList{"Nom", "Taille", "Type", "Date de Modification"}));
    QCOMPARE(listing->ExportListView1().DATFileName(), path);

    // A cancelled dialog writes nothing and says nothing.
    fx->prompter.Clear();
    QVERIFY(QFile::remove(path));
    w.findChild<QAction *>(QStringLiteral("ExporterversExcel1"))->trigger();
    QCOMPARE(fx->prompter.Asked().size(), 1);
    QVERIFY(fx->prompter.Messages().isEmpty());
    QVERIFY(Entries(localFolder).isEmpty());
}

// Nothing to export or print: no dialog, no message, no file, no window.
void TestListingCommands::emptyListsDoNothing()
{
    TfrmMain w;
    QVERIFY(ShowLocalFolder(w, localFolder));
    TListingCommands *listing = Listing(w);
    int windows = 0;
    listing->OnPreviewWindow = [&windows](TFormListPrint &) { ++windows; };
    fx->prompter.QueuePath(localFolder + QStringLiteral("vide.XLS"));

    QCOMPARE(RemoteList(w)->RowCount(), 0);
    Action(w, "ExportExcel2")->trigger();
    Action(w, "ImprimerSite2")->trigger();

    // On the quick side without a panel in the window.
    w.Context().SetQuickExplorerActive(true);
    for (const char *name : {"ExporterversExcel1", "Prvisualiser1", "Imprimerlesitedistant1"})
        MenuItem(w, name)->trigger();

    QVERIFY(fx->prompter.Asked().isEmpty());
    QCOMPARE(windows, 0);
    QVERIFY(Entries(localFolder).isEmpty());
    QVERIFY(listing->ListView1().IsEmpty());
}

void TestListingCommands::unwritableTarget()
{
    START_SERVER(0);
    TfrmMain w;
    QVERIFY(ShowLocalFolder(w, localFolder));
    QVERIFY(LogIn(w, *server, QStringLiteral("/site")));
    // A folder that does not exist, and a folder in the way of the file.
    QVERIFY(QDir(localFolder).mkpath(QStringLiteral("dossier.XLS")));
    for (const QString &typed :
         {localFolder + QStringLiteral("absent/liste.csv"), localFolder + QStringLiteral("dossier")}) {
        fx->prompter.Clear();
        fx->prompter.QueuePath(typed);
        Action(w, "ExportExcel2")->trigger();
        const QString target = TExportListView::XlsFileName(typed);
        QCOMPARE(fx->prompter.Messages().size(), 1);
        const QString message = fx->prompter.Messages().constFirst();
        QVERIFY2(message.startsWith(QStringLiteral("Impossible d'enregistrer le fichier %1 : ").arg(target)),
                 qPrintable(message));
        QVERIFY(!message.contains(QStringLiteral("sauvegardé")));
    }
    QCOMPARE(Entries(localFolder), QStringList{"dossier.XLS"});
    QVERIFY(Entries(localFolder + QStringLiteral("dossier.XLS")).isEmpty());
}

// With an empty remote list, the preview shows the rows of the previous copy.
void TestListingCommands::previewOfPreviousCopy()
{
    START_SERVER(0);
    TfrmMain w;
    QVERIFY(ShowLocalFolder(w, localFolder));
    QVERIFY(LogIn(w, *server, QStringLiteral("/site")));
    TListingCommands *listing = Listing(w);

    struct Seen {
        bool visible = false;
        bool modal = false;
        QString header;
        QString wsFileName;
        TListViewTable lines;
        int pages = 0;
    };
    QList<Seen> seen;
    listing->OnPreviewWindow = [&seen](TFormListPrint &form) {
        QTimer::singleShot(0, &form, [&seen, &form] {
            seen.append({form.isVisible(), form.isModal(), form.ListViewPrint1().HeaderText(),
                         form.ListViewPrint1().WSFileName(), form.ListViewPrint1().Lines(),
                         form.Preview()->pageCount()});
            form.reject();
        });
    };
    w.findChild<QAction *>(QStringLiteral("Prvisualiser1"))->trigger();
    QCOMPARE(seen.size(), 1);
    const TListViewTable copy = listing->ListView1();
    QCOMPARE(copy.Rows.size(), 3);

    // The remote list empties (the client's folder is gone from view): the
    // preview opens on the last copy.
    RemoteList(w)->Clear();
    QCOMPARE(RemoteList(w)->RowCount(), 0);
    w.findChild<QAction *>(QStringLiteral("Prvisualiser1"))->trigger();
    QCOMPARE(seen.size(), 2);
    const QString header = w.Update().repencours()->text();
    QVERIFY(header.startsWith(QStringLiteral("Répertoire distant en cours: ")));
    for (const Seen &preview : seen) {
        QVERIFY(preview.visible);
        QVERIFY(preview.modal);
        QCOMPARE(preview.header, header);
        QCOMPARE(preview.wsFileName, fx->FilePath(QStringLiteral("Listing.XLS")));
        QCOMPARE(preview.lines.Captions, copy.Captions);
        QCOMPARE(preview.lines.Rows, copy.Rows);
        QCOMPARE(preview.pages, 1);
    }
    QCOMPARE(seen.at(1).lines.Rows.at(2).value(0), QStringLiteral("a.txt"));
    // Each command made its own window and let it go.
    QTRY_VERIFY_WITH_TIMEOUT(w.findChildren<TFormListPrint *>().isEmpty(), 2000);
}

// Right after start-up the preview shows the hidden listing's columns alone.
void TestListingCommands::previewAfterStartUp()
{
    TfrmMain w;
    int calls = 0;
    TListViewTable lines;
    int pages = 0;
    QString pageCount;
    Listing(w)->OnPreviewWindow = [&](TFormListPrint &form) {
        ++calls;
        QTimer::singleShot(0, &form, [&] {
            lines = form.ListViewPrint1().Lines();
            pages = form.Preview()->pageCount();
            pageCount = form.PageCountLabel()->text();
            form.reject();
        });
    };
    w.findChild<QAction *>(QStringLiteral("Prvisualiser1"))->trigger();
    QCOMPARE(calls, 1);
    QCOMPARE(lines.Captions, (QStringList{"Nom", "Taille", "Type", "Date de Modification"}));
    QVERIFY(lines.Rows.isEmpty());
    QCOMPARE(pages, 1);
    QCOMPARE(pageCount, QStringLiteral("1"));
    QVERIFY(fx->prompter.Asked().isEmpty());
}

void TestListingCommands::printToPdf_data()
{
    QTest::addColumn<bool>("landscape");
    QTest::newRow("portrait") << false;
    QTest::newRow("landscape") << true;
}

// 200 files more in the folder: the printout takes the pages the page height
// gives, with the header on every page and every row once.
void TestListingCommands::printToPdf()
{
    QFETCH(bool, landscape);
    START_SERVER(200);
    TfrmMain w;
    QVERIFY(ShowLocalFolder(w, localFolder));
    QVERIFY(LogIn(w, *server, QStringLiteral("/site")));
    const int rows = RemoteList(w)->RowCount();
    QCOMPARE(rows, 203); // "..", img, a.txt and the 200 files
    const QString header = w.Update().repencours()->text();
    QVERIFY(header.startsWith(RemoteFolderPrefix));

    const QString pdf = localFolder + QStringLiteral("liste.pdf");
    double pageHeight = 0;
    bool wysiwyg = false;
    bool shown = false;
    Listing(w)->OnPreviewWindow = [&](TFormListPrint &form) {
        form.Printer().setOutputFormat(QPrinter::PdfFormat);
        form.Printer().setOutputFileName(pdf);
        if (landscape)
            form.LandscapeButton()->setChecked(true);
        QPageLayout layout = form.Printer().pageLayout();
        layout.setOrientation(landscape ? QPageLayout::Landscape : QPageLayout::Portrait);
        pageHeight = layout.fullRect(QPageLayout::Millimeter).height();
        wysiwyg = form.ListViewPrint1().PrintWYSIWYG();
        QTimer::singleShot(0, &form, [&] { shown = true; });
    };
    Action(w, "ImprimerSite2")->trigger();
    QVERIFY(fx->prompter.Messages().isEmpty());
    QVERIFY(pageHeight > 0);
    QVERIFY(wysiwyg);
    QTest::qWait(20);
    QVERIFY(!shown); // printed without the window, which is gone

    const int expected = ExpectedPages(rows, pageHeight);
    QVERIFY(expected >= 4);
    QCOMPARE(PdfPageCount(pdf), expected);
    const QStringList pages = PdfPages(pdf);
    QCOMPARE(pages.size(), expected);
    for (int page = 0; page < expected; ++page) {
        QVERIFY2(pages.at(page).contains(header), qPrintable(QString::number(page + 1)));
        QVERIFY(pages.at(page).contains(QStringLiteral("Page %1 de %2").arg(page + 1).arg(expected)));
    }
    const QString all = pages.join(QLatin1Char('\n'));
    for (const char *name : {"..", "a.txt", "img", "fichier-000.txt", "fichier-199.txt"})
        QCOMPARE(WordCount(all, QString::fromUtf8(name)), 1);
    QVERIFY(w.findChildren<TFormListPrint *>().isEmpty());
}

// The preview's "Ouvrir dans le tableur" writes Listing.XLS beside the
// program and opens it with the desktop's default program; a desktop
// without one is told.
void TestListingCommands::spreadsheetHandOver()
{
    START_SERVER(0);
    TfrmMain w;
    QVERIFY(ShowLocalFolder(w, localFolder));
    QVERIFY(LogIn(w, *server, QStringLiteral("/site")));
    bool opens = true;
    SetUrlOpener([&](const QUrl &url) {
        fx->opened.append(url);
        return opens;
    });
    QString itemText;
    QStringList popupItems;
    Listing(w)->OnPreviewWindow = [&](TFormListPrint &form) {
        QTimer::singleShot(0, &form, [&] {
            // A right click on the page shows the item (the pop-up is read
            // and closed while it runs).
            QTimer::singleShot(50, &form, [&] {
                if (auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget())) {
                    for (const QAction *action : menu->actions())
                        popupItems << action->text();
                    menu->close();
                }
            });
            QWidget *page = form.Preview()->findChild<QGraphicsView *>()->viewport();
            QContextMenuEvent click(QContextMenuEvent::Mouse, page->rect().center(),
                                    page->mapToGlobal(page->rect().center()));
            QApplication::sendEvent(page, &click);
            auto *item = form.findChild<QAction *>(QLatin1String(TListingCommands::SpreadsheetItemName()));
            if (item) {
                itemText = item->text();
                item->trigger();
            }
            form.reject();
        });
    };
    const QString file = fx->FilePath(QStringLiteral("Listing.XLS"));
    w.findChild<QAction *>(QStringLiteral("Prvisualiser1"))->trigger();
    QCOMPARE(itemText, QStringLiteral("Ouvrir dans le tableur"));
    QCOMPARE(popupItems, QStringList{itemText});
    QCOMPARE(fx->opened, QList<QUrl>{QUrl::fromLocalFile(file)});
    QVERIFY(fx->prompter.Messages().isEmpty());
    const QList<QByteArray> lines = Lines(fx->ReadFile(QStringLiteral("Listing.XLS")));
    QCOMPARE(lines.size(), 4);
    QCOMPARE(lines.at(0), ExplorerHeaderLine);
    QVERIFY(lines.at(3).startsWith("a.txt\t1KB\t"));

    // No program of the desktop takes it: the user is told, the file stays.
    opens = false;
    w.findChild<QAction *>(QStringLiteral("Prvisualiser1"))->trigger();
    QCOMPARE(fx->opened.size(), 2);
    const QString what = QStringLiteral("le fichier « %1 » dans un tableur").arg(file);
    QCOMPARE(fx->prompter.Messages(), QStringList{OpenFailureText(what)});
    QVERIFY(QFileInfo::exists(file));
}

QTEST_MAIN(TestListingCommands)
#include "tst_listingcommands.moc"
