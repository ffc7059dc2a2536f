// The window's export, preview and print commands on the quick explorer's
// list, against a real pyftpdlib server: the main menu's items while
// QuickExplorerActive is set, and the functions the quick tab's buttons call
// with its panel. The exported file holds the panel's rows under the columns
// Nom, Taille, Date and Type; an empty list does nothing; printing to PDF
// gives the pages the page height gives, with the quick explorer's folder as
// the header of every page.

#include "AppContext.h"
#include "FormListPrint.h"
#include "ListingTestKit.h"
#include "QuickExplorerTab.h"
#include "ZEVudeDadaVAV.h"

#include <QAction>
#include <QLabel>
#include <QTimer>
#include <QtTest>

using namespace ListingTest;

class TestListingCommandsQuick : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void cleanup();

    void exportQuickList();
    void emptyListDoesNothing();
    void previewQuickList();
    void printToPdf();
    void quickTabButton();

private:
    // The window with a panel logged in to the site (folder "site") and
    // given to the listing commands, the quick side active.
    bool ConnectPanel();

    QTemporaryDir home;
    std::unique_ptr<PyFtpdServer> server;
    std::unique_ptr<TShellFixture> fx;
    std::unique_ptr<QTemporaryDir> local;
    std::unique_ptr<TfrmMain> w;
    std::unique_ptr<TZEVudeDadaVAV> panel;
    QString localFolder; // with its final "/"
};

void TestListingCommandsQuick::initTestCase()
{
    IsolateUserFolders(home);
    // The interface is French; sizes use the user's separators.
    QLocale::setDefault(QLocale(QLocale::French, QLocale::France));
    if (!PdfToolsAvailable())
        QFAIL("pdftotext and pdfinfo are needed (Debian package poppler-utils, see scripts/install-deps.sh)");
    if (!PyFtpdServer::Available())
        QSKIP(PyFtpdServer::UnavailableMessage());
    // One server for every test: 200 files beside a.txt and img.
    server = std::make_unique<PyFtpdServer>();
    QVERIFY(MakeSite(*server, 200));
    QVERIFY2(server->Start(), qPrintable(server->ErrorString()));
}

void TestListingCommandsQuick::cleanupTestCase()
{
    server.reset();
}

void TestListingCommandsQuick::init()
{
    fx = std::make_unique<TShellFixture>();
    local = std::make_unique<QTemporaryDir>();
    QVERIFY(local->isValid());
    localFolder = QDir(local->path()).canonicalPath() + QLatin1Char('/');
    w = std::make_unique<TfrmMain>();
    QVERIFY(w->Context().SelectLocalFolder(localFolder));
    panel = std::make_unique<TZEVudeDadaVAV>();
    panel->Loaded();
    panel->SetHostName(server->Host());
    panel->SetPort(server->Port());
    panel->SetLoginName(QLatin1String(PyFtpdServer::DefaultUser));
    panel->SetPassword(QLatin1String(PyFtpdServer::DefaultPassword));
    panel->SetRemoteDir(QStringLiteral("site"));
    Listing(*w)->SetQuickPanel(panel.get());
    w->Context().SetQuickExplorerActive(true);
}

void TestListingCommandsQuick::cleanup()
{
    if (QTest::currentTestFailed() && server)
        qWarning().noquote() << server->StandardError();
    panel.reset();
    w.reset();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    local.reset();
    fx.reset();
}

bool TestListingCommandsQuick::ConnectPanel()
{
    return panel->Connect() && panel->RowCount() > 0;
}

void TestListingCommandsQuick::exportQuickList()
{
    QVERIFY(ConnectPanel());

    // The main menu's item acts on the quick explorer's list.
    fx->prompter.QueuePath(localFolder + QStringLiteral("rapide.csv"));
    MenuItem(*w, "ExporterversExcel1")->trigger();
    QCOMPARE(fx->prompter.Asked().constFirst().caption, QStringLiteral("Export Excel"));
    const QString path = localFolder + QStringLiteral("rapide.XLS");
    QCOMPARE(fx->prompter.Messages(), QStringList{QStringLiteral("Fichier XLS: %1 sauvegardé").arg(path)});
    const QList<QByteArray> lines = Lines(ReadBytes(path));
    QCOMPARE(lines.size(), panel->RowCount() + 1);
    QCOMPARE(lines.at(0), QuickHeaderLine);
    for (int row = 0; row < panel->RowCount(); ++row) {
        const TQuickFileRow entry = panel->Row(row);
        QCOMPARE(lines.at(row + 1),
                 (QStringList{entry.Caption, entry.SizeText, entry.DateText, entry.TypeText}.join('\t').toUtf8()));
    }
    // The texts themselves: a.txt is "1 KB" with a day-first date, img a
    // folder without a size.
    const auto line = [&lines](const QByteArray &name) {
        const auto found = std::find_if(lines.cbegin(), lines.cend(),
                                        [&name](const QByteArray &l) { return l.startsWith(name + '\t'); });
        return found == lines.cend() ? QList<QByteArray>() : found->split('\t');
    };
    const QList<QByteArray> a = line("a.txt");
    QCOMPARE(a.size(), 4);
    QCOMPARE(a.at(1), QByteArray("1 KB"));
    QVERIFY(QRegularExpression(QStringLiteral("^\\d\\d/\\d\\d/\\d{4}")).match(QString::fromUtf8(a.at(2))).hasMatch());
    const QList<QByteArray> img = line("img");
    QCOMPARE(img.size(), 4);
    QCOMPARE(img.at(1), QByteArray());
    QCOMPARE(img.at(3), QByteArray("Dossier"));

    // The quick tab's "Export Excel" button, through the function it calls.
    fx->prompter.Clear();
    fx->prompter.QueuePath(localFolder + QStringLiteral("bouton"));
    Listing(*w)->ExportQuick(*panel);
    QCOMPARE(ReadBytes(localFolder + QStringLiteral("bouton.XLS")), ReadBytes(path));
    QCOMPARE(fx->prompter.Messages().size(), 1);
    panel->Disconnect();
}

// A panel without rows: no dialog, no message, no file, no window.
void TestListingCommandsQuick::emptyListDoesNothing()
{
    QCOMPARE(panel->RowCount(), 0);
    int windows = 0;
    Listing(*w)->OnPreviewWindow = [&windows](TFormListPrint &) { ++windows; };
    fx->prompter.QueuePath(localFolder + QStringLiteral("vide.XLS"));
    for (const char *name : {"ExporterversExcel1", "Prvisualiser1", "Imprimerlesitedistant1"})
        MenuItem(*w, name)->trigger();
    Listing(*w)->ExportQuick(*panel);
    Listing(*w)->PreviewQuick(*panel);
    Listing(*w)->PrintQuick(*panel);
    QVERIFY(fx->prompter.Asked().isEmpty());
    QCOMPARE(windows, 0);
    QVERIFY(QDir(localFolder).isEmpty());
}

void TestListingCommandsQuick::previewQuickList()
{
    QVERIFY(ConnectPanel());
    TListViewTable lines;
    QString header;
    int pages = 0;
    bool visible = false;
    Listing(*w)->OnPreviewWindow = [&](TFormListPrint &form) {
        QTimer::singleShot(0, &form, [&] {
            visible = form.isVisible();
            lines = form.ListViewPrint1().Lines();
            header = form.ListViewPrint1().HeaderText();
            pages = form.PageCountLabel()->text().toInt();
            form.reject();
        });
    };
    MenuItem(*w, "Prvisualiser1")->trigger();
    QVERIFY(visible);
    QCOMPARE(lines.Captions, (QStringList{"Nom", "Taille", "Date", "Type"}));
    QCOMPARE(lines.Rows.size(), panel->RowCount());
    QCOMPARE(lines.Rows.constFirst().value(0), panel->Row(0).Caption);
    QCOMPARE(header, RemoteFolderPrefix + panel->DirectoryText());
    QVERIFY(panel->DirectoryText().contains(QStringLiteral("site")));
    QVERIFY(pages >= 4);
    // The explorer's hidden listing is left as it was.
    QVERIFY(Listing(*w)->ListView1().IsEmpty());
    panel->Disconnect();
}

void TestListingCommandsQuick::printToPdf()
{
    QVERIFY(ConnectPanel());
    const int rows = panel->RowCount();
    QVERIFY(rows >= 202);
    const QString pdf = localFolder + QStringLiteral("rapide.pdf");
    double pageHeight = 0;
    bool wysiwyg = true;
    Listing(*w)->OnPreviewWindow = [&](TFormListPrint &form) {
        form.Printer().setOutputFormat(QPrinter::PdfFormat);
        form.Printer().setOutputFileName(pdf);
        pageHeight = form.Printer().pageLayout().fullRect(QPageLayout::Millimeter).height();
        wysiwyg = form.ListViewPrint1().PrintWYSIWYG();
    };
    // The quick tab's "Imprimer le site distant" button.
    Listing(*w)->PrintQuick(*panel);
    QVERIFY(fx->prompter.Messages().isEmpty());
    QVERIFY(!wysiwyg);
    const int expected = ExpectedPages(rows, pageHeight);
    QCOMPARE(PdfPageCount(pdf), expected);
    const QStringList pages = PdfPages(pdf);
    QCOMPARE(pages.size(), expected);
    const QString header = RemoteFolderPrefix + panel->DirectoryText();
    for (const QString &page : pages)
        QVERIFY(page.contains(header));
    const QString all = pages.join(QLatin1Char('\n'));
    for (const char *name : {"a.txt", "img", "fichier-000.txt", "fichier-199.txt"})
        QCOMPARE(WordCount(all, QString::fromUtf8(name)), 1);
    panel->Disconnect();
}

QTEST_MAIN(TestListingCommandsQuick)
// The quick tab's own "Export Excel" button, in a window as it starts: the
// window hands its quick panel to the listing commands, so the button
// exports that panel's list.
void TestListingCommandsQuick::quickTabButton()
{
    w = std::make_unique<TfrmMain>();
    QVERIFY(w->Context().SelectLocalFolder(localFolder));
    TZEVudeDadaVAV *own = w->QuickExplorer().ZEVudeDadaVAV1();
    own->SetHostName(server->Host());
    own->SetPort(server->Port());
    own->SetLoginName(QLatin1String(PyFtpdServer::DefaultUser));
    own->SetPassword(QLatin1String(PyFtpdServer::DefaultPassword));
    own->SetRemoteDir(QStringLiteral("site"));
    QVERIFY(own->Connect());
    QVERIFY(own->RowCount() > 0);
    w->Context().SetQuickExplorerActive(true);

    fx->prompter.QueuePath(localFolder + QStringLiteral("onglet"));
    w->QuickExplorer().ExportExcel()->trigger();
    const QString path = localFolder + QStringLiteral("onglet.XLS");
    QCOMPARE(fx->prompter.Messages(), QStringList{QStringLiteral("Fichier XLS: %1 sauvegardé").arg(path)});
    const QList<QByteArray> lines = Lines(ReadBytes(path));
    QCOMPARE(lines.size(), own->RowCount() + 1);
    QCOMPARE(lines.at(0), QuickHeaderLine);
    QCOMPARE(lines.at(1).split('\t').value(0), own->Row(0).Caption.toUtf8());
}

#include "tst_listingcommands_quick.moc"
