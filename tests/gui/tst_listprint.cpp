// The list printer and its preview window: pagination from the page height,
// printing without the window to a PDF file that is read back with
// pdfinfo and pdftotext (page count, job title, header on every page, each
// row once and on its page), the preview window's controls offscreen.

#include "FormListPrint.h"
#include "ListViewPrint.h"
#include "Prompts.h"

#include <QLabel>
#include <QPrintPreviewWidget>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QScrollBar>
#include <QSlider>
#include <QTemporaryDir>
#include <QtTest>

#include <cmath>

namespace {

const QString Header = QStringLiteral("Répertoire distant en cours: /pub/site");

QString RowName(int row)
{
    return QStringLiteral("fichier-%1.txt").arg(row, 3, 10, QLatin1Char('0'));
}

TListViewTable Listing(int rows)
{
    TListViewTable table;
    table.Captions = {"Nom", "Taille", "Type", "Date de Modification"};
    table.Widths = {130, 80, 80, 100};
    for (int i = 0; i < rows; ++i)
        table.Rows.append({RowName(i), QStringLiteral("%1KB").arg(i + 1), "Document texte", "Nov 12 10:00"});
    return table;
}

// The rows a page holds, worked out here from its height in millimetres:
// 25 mm margins at top and bottom, a 13 mm header block (header text and
// captions) and a 5 mm footer, each 1.6 mm from the rows, rows of 5 mm.
int ExpectedRowsPerPage(double pageHeightMm)
{
    return std::max(1, int(std::floor((pageHeightMm - 50.0 - 13.0 - 5.0 - 3.2) / 5.0 + 1e-6)));
}

int ExpectedPages(int rows, double pageHeightMm)
{
    const int perPage = ExpectedRowsPerPage(pageHeightMm);
    return std::max(1, (rows + perPage - 1) / perPage);
}

double PageHeightMm(const QPrinter &printer, QPageLayout::Orientation orientation)
{
    QPageLayout layout = printer.pageLayout();
    layout.setOrientation(orientation);
    return layout.fullRect(QPageLayout::Millimeter).height();
}

QString RunTool(const QString &program, const QStringList &arguments)
{
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(30000) || process.exitCode() != 0)
        return QString();
    return QString::fromUtf8(process.readAllStandardOutput());
}

int PdfPageCount(const QString &pdf)
{
    const QString info = RunTool(QStringLiteral("pdfinfo"), {pdf});
    const QRegularExpressionMatch match = QRegularExpression(QStringLiteral("^Pages:\\s+(\\d+)$"),
                                                             QRegularExpression::MultilineOption)
                                              .match(info);
    return match.hasMatch() ? match.captured(1).toInt() : -1;
}

QString PdfTitle(const QString &pdf)
{
    const QString info = RunTool(QStringLiteral("pdfinfo"), {pdf});
    const QRegularExpressionMatch match =
        QRegularExpression(QStringLiteral("^Title:\\s+(.*)$"), QRegularExpression::MultilineOption).match(info);
    return match.hasMatch() ? match.captured(1).trimmed() : QString();
}

// The text of every page, in order (ligatures such as "ﬁ" undone).
QStringList PdfPages(const QString &pdf)
{
    QStringList pages = RunTool(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), pdf, QStringLiteral("-")})
                            .normalized(QString::NormalizationForm_KC)
                            .split(QLatin1Char('\f'));
    if (!pages.isEmpty() && pages.last().trimmed().isEmpty())
        pages.removeLast();
    return pages;
}

void UsePdf(QPrinter &printer, const QString &file)
{
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(file);
}

} // namespace

class TestListPrint : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();

    void rowsPerPage_data();
    void rowsPerPage();
    void printToPdf_data();
    void printToPdf();
    void longTextsAreShortened();
    void printWithoutPrinter();
    void spreadsheetFile();
    void previewWindow();
    void previewOfEmptyList();

private:
    TScriptedPrompter prompter;
    std::unique_ptr<QTemporaryDir> dir;
};

void TestListPrint::initTestCase()
{
    prompter.Install();
    if (QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty() ||
        QStandardPaths::findExecutable(QStringLiteral("pdfinfo")).isEmpty())
        QFAIL("pdftotext and pdfinfo are needed (Debian package poppler-utils, see scripts/install-deps.sh)");
}

void TestListPrint::init()
{
    dir = std::make_unique<QTemporaryDir>();
    QVERIFY(dir->isValid());
    prompter.Clear();
}

void TestListPrint::rowsPerPage_data()
{
    QTest::addColumn<double>("height");
    QTest::addColumn<int>("rows");
    QTest::newRow("A4 portrait") << 297.0 << 45;
    QTest::newRow("A4 landscape") << 210.0 << 27;
    QTest::newRow("Letter portrait") << 279.4 << 41;
    QTest::newRow("Letter landscape") << 215.9 << 28;
    QTest::newRow("exactly 10 rows") << 121.2 << 10;
    QTest::newRow("too small a page still holds one row") << 60.0 << 1;
}

void TestListPrint::rowsPerPage()
{
    QFETCH(double, height);
    QFETCH(int, rows);
    QCOMPARE(ExpectedRowsPerPage(height), rows);
    QCOMPARE(TListViewPrint::RowsPerPage(height), rows);
}

void TestListPrint::printToPdf_data()
{
    QTest::addColumn<int>("orientation");
    QTest::addColumn<int>("rows");
    QTest::addColumn<bool>("wysiwyg");
    QTest::newRow("200 rows, portrait") << int(QPageLayout::Portrait) << 200 << true;
    QTest::newRow("200 rows, landscape") << int(QPageLayout::Landscape) << 200 << false;
    QTest::newRow("no rows") << int(QPageLayout::Portrait) << 0 << false;
    QTest::newRow("one full page") << int(QPageLayout::Portrait) << -1 << false;
    QTest::newRow("one row more") << int(QPageLayout::Landscape) << -2 << true;
}

void TestListPrint::printToPdf()
{
    QFETCH(int, orientation);
    QFETCH(int, rows);
    QFETCH(bool, wysiwyg);
    const auto pageOrientation = QPageLayout::Orientation(orientation);

    // Printing without the window: the form is created, never shown.
    TFormListPrint form;
    const QString pdf = dir->filePath(QStringLiteral("liste.pdf"));
    UsePdf(form.Printer(), pdf);
    const double height = PageHeightMm(form.Printer(), pageOrientation);
    const int perPage = ExpectedRowsPerPage(height);
    if (rows == -1)
        rows = perPage;
    else if (rows == -2)
        rows = perPage + 1;
    const int expectedPages = ExpectedPages(rows, height);

    TListViewPrint &printer = form.ListViewPrint1();
    printer.SetAsgnListView(Listing(rows));
    printer.SetHeaderText(Header);
    printer.SetPrintWYSIWYG(wysiwyg);
    printer.SetOrientation(pageOrientation);
    printer.Build();
    QCOMPARE(printer.PageCount(form.Printer()), expectedPages);
    QVERIFY(form.Print());
    QVERIFY(!form.isVisible());
    QVERIFY(prompter.Messages().isEmpty());

    QCOMPARE(PdfPageCount(pdf), expectedPages);
    QCOMPARE(PdfTitle(pdf), TListViewPrint::JobTitle());
    const QStringList pages = PdfPages(pdf);
    QCOMPARE(pages.size(), expectedPages);
    for (int page = 0; page < pages.size(); ++page) {
        const QString &text = pages.at(page);
        QVERIFY2(text.contains(Header), qPrintable(QStringLiteral("no header on page %1").arg(page + 1)));
        QVERIFY(text.contains(QStringLiteral("Date de Modification")));
        QVERIFY(text.contains(TListViewPrint::FooterText(page + 1, expectedPages)));
        // This page's rows, and no other.
        for (int row = 0; row < rows; ++row) {
            const bool here = row / perPage == page;
            QVERIFY2(text.contains(RowName(row)) == here,
                     qPrintable(QStringLiteral("row %1 on page %2: %3").arg(row).arg(page + 1).arg(!here)));
        }
        QCOMPARE(int(text.count(QStringLiteral("Document texte"))),
                 std::min(perPage, std::max(0, rows - page * perPage)));
    }
}

void TestListPrint::longTextsAreShortened()
{
    const QString longName = QStringLiteral("un-nom-de-fichier-bien-trop-long-pour-tenir-sur-la-page-imprimee-"
                                            "meme-en-paysage-et-meme-avec-des-colonnes-etroites.html");
    for (const bool wysiwyg : {false, true}) {
        TFormListPrint form;
        const QString pdf = dir->filePath(QStringLiteral("long.pdf"));
        UsePdf(form.Printer(), pdf);
        TListViewTable table = Listing(2);
        table.Rows.append({longName, "12KB", "Document texte", "Nov 12 10:00"});
        form.ListViewPrint1().SetAsgnListView(table);
        form.ListViewPrint1().SetPrintWYSIWYG(wysiwyg);
        form.ListViewPrint1().Build();
        QVERIFY(form.Print());
        const QString text = PdfPages(pdf).value(0);
        QVERIFY(!text.contains(longName));
        QVERIFY(text.contains(longName.left(20)));
        QVERIFY(text.contains(QStringLiteral("..."))); // "…", undone by the normalisation
        // The other columns keep their texts whole.
        QCOMPARE(int(text.count(QStringLiteral("Nov 12 10:00"))), 3);
        QVERIFY(text.contains(QStringLiteral("Date de Modification")));
    }
}

void TestListPrint::printWithoutPrinter()
{
    TFormListPrint form;
    // As on a system without printers: PDF output with no file.
    form.Printer().setOutputFormat(QPrinter::PdfFormat);
    form.Printer().setOutputFileName(QString());
    form.ListViewPrint1().SetAsgnListView(Listing(3));
    form.ListViewPrint1().Build();
    QVERIFY(!form.Print());
    QCOMPARE(prompter.Messages(), QStringList{"Aucune imprimante n'est installée."});
}

void TestListPrint::spreadsheetFile()
{
    TListViewPrint printer;
    printer.SetAsgnListView(Listing(2));
    printer.SetWSFileName(dir->filePath(QStringLiteral("Listing")));
    QString error;
    QCOMPARE(printer.WriteSpreadsheetFile(&error), QString()); // nothing built yet
    printer.Build();
    const QString written = printer.WriteSpreadsheetFile(&error);
    QCOMPARE(written, dir->filePath(QStringLiteral("Listing.XLS")));
    QFile file(written);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll().count("\r\n"), 3);
}

void TestListPrint::previewWindow()
{
    auto form = std::make_unique<TFormListPrint>();
    const QString pdf = dir->filePath(QStringLiteral("imprime.pdf"));
    UsePdf(form->Printer(), pdf);
    form->ListViewPrint1().SetAsgnListView(Listing(200));
    form->ListViewPrint1().SetHeaderText(Header);
    form->ListViewPrint1().Build();
    const int portraitPages = ExpectedPages(200, PageHeightMm(form->Printer(), QPageLayout::Portrait));
    const int landscapePages = ExpectedPages(200, PageHeightMm(form->Printer(), QPageLayout::Landscape));
    QVERIFY(landscapePages > portraitPages);

    form->show();
    QVERIFY(QTest::qWaitForWindowExposed(form.get()));
    QCOMPARE(form->windowTitle(), QStringLiteral("Prévisualisation avant impression"));
    QStringList labels;
    for (const QLabel *label : form->findChildren<QLabel *>())
        labels.append(label->text());
    for (const char *text : {" Page:  ", " de: ", " Zoom"})
        QVERIFY2(labels.contains(QString::fromUtf8(text)), text);
    QCOMPARE(form->CurrentPageLabel()->text(), QStringLiteral("1"));
    QCOMPARE(form->PageCountLabel()->text(), QString::number(portraitPages));
    QCOMPARE(form->PageSelector()->minimum(), 1);
    QCOMPARE(form->PageSelector()->maximum(), portraitPages);
    QCOMPARE(form->Preview()->pageCount(), portraitPages);
    QVERIFY(form->PortraitButton()->isChecked());
    QCOMPARE(form->PortraitButton()->text(), QStringLiteral("Portrait"));
    QCOMPARE(form->LandscapeButton()->text(), QStringLiteral("Paysage"));
    QCOMPARE(form->ZoomBar()->minimum(), 0);
    QCOMPARE(form->ZoomBar()->maximum(), 100);
    QCOMPARE(form->ZoomBar()->tickInterval(), 10);
    QCOMPARE(form->ZoomBar()->value(), 30);
    QCOMPARE(form->Preview()->zoomFactor(), 0.3);
    QCOMPARE(form->PrintButton()->text(), QStringLiteral("Imprimer"));
    QCOMPARE(form->QuitButton()->text(), QStringLiteral("Quitter"));
    const QRect available = form->screen()->availableGeometry();
    QVERIFY(available.contains(form->frameGeometry()));
    QVERIFY((form->frameGeometry().center() - available.center()).manhattanLength() <= 2);

    // Paging: the selector shows the page and stops at both ends.
    form->PageSelector()->setValue(3);
    QCOMPARE(form->CurrentPageLabel()->text(), QStringLiteral("3"));
    QCOMPARE(form->Preview()->currentPage(), 3);
    form->PageSelector()->setValue(portraitPages + 4);
    QCOMPARE(form->PageSelector()->value(), portraitPages);
    QCOMPARE(form->CurrentPageLabel()->text(), QString::number(portraitPages));
    form->PageSelector()->setValue(0);
    QCOMPARE(form->PageSelector()->value(), 1);

    // Zoom.
    form->ZoomBar()->setValue(75);
    QCOMPARE(form->Preview()->zoomFactor(), 0.75);
    form->ZoomBar()->setValue(0);
    QVERIFY(form->Preview()->zoomFactor() > 0);

    // Landscape: more pages, labels and selector follow.
    QTest::mouseClick(form->LandscapeButton(), Qt::LeftButton);
    QVERIFY(form->LandscapeButton()->isChecked());
    QCOMPARE(form->Preview()->orientation(), QPageLayout::Landscape);
    QCOMPARE(form->Printer().pageLayout().orientation(), QPageLayout::Landscape);
    QCOMPARE(form->ListViewPrint1().Orientation(), QPageLayout::Landscape);
    QCOMPARE(form->PageCountLabel()->text(), QString::number(landscapePages));
    QCOMPARE(form->PageSelector()->maximum(), landscapePages);
    form->PageSelector()->setValue(landscapePages);
    QCOMPARE(form->CurrentPageLabel()->text(), QString::number(landscapePages));

    // "Imprimer" builds the lines again from the list and prints them.
    form->ListViewPrint1().SetAsgnListView(Listing(10));
    QTest::mouseClick(form->PrintButton(), Qt::LeftButton);
    QVERIFY(prompter.Messages().isEmpty());
    QCOMPARE(PdfPageCount(pdf), 1);
    QCOMPARE(PdfTitle(pdf), TListViewPrint::JobTitle());
    QVERIFY(PdfPages(pdf).first().contains(Header));

    // Back to portrait.
    QTest::mouseClick(form->PortraitButton(), Qt::LeftButton);
    QCOMPARE(form->Preview()->orientation(), QPageLayout::Portrait);
    QCOMPARE(form->PageCountLabel()->text(), QStringLiteral("1"));

    QTest::mouseClick(form->QuitButton(), Qt::LeftButton);
    QVERIFY(!form->isVisible());
}

void TestListPrint::previewOfEmptyList()
{
    TFormListPrint form;
    form.ListViewPrint1().SetAsgnListView(TListViewTable{{"Nom", "Taille", "Type", "Date de Modification"}, {}, {}});
    form.ListViewPrint1().SetHeaderText(Header);
    form.ListViewPrint1().Build();
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    QCOMPARE(form.Preview()->pageCount(), 1);
    QCOMPARE(form.CurrentPageLabel()->text(), QStringLiteral("1"));
    QCOMPARE(form.PageCountLabel()->text(), QStringLiteral("1"));
    QCOMPARE(form.PageSelector()->maximum(), 1);
}

QTEST_MAIN(TestListPrint)
#include "tst_listprint.moc"
