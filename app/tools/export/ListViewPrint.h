#pragma once
// TListViewPrint: paginates a list (TListViewTable) for the preview window
// and the printer. Each page holds, inside margins of 25 mm, the header text
// and the column captions at the top, the rows below them (no grid), and
// the page number at the bottom. The page geometry below is in millimetres,
// so the number of rows a page holds follows from its height alone:
//
//   rows per page = floor((page height - 2 * MarginMm - HeaderBlockMm
//                          - FooterBlockMm - 2 * BorderOffsetMm) / RowHeightMm)
//
// The pages count is at least 1: an empty list prints its header alone.

#include "ListViewTable.h"

#include <QPageLayout>
#include <QString>

class QPainter;
class QPrinter;

class TListViewPrint
{
public:
    static constexpr double MarginMm = 25.0;       // on all four sides
    static constexpr double BorderOffsetMm = 1.6;  // between the header or footer and the rows
    static constexpr double HeaderBlockMm = 13.0;  // header text line and column captions
    static constexpr double FooterBlockMm = 5.0;   // the page number line
    static constexpr double RowHeightMm = 5.0;

    // The print job's title.
    static QString JobTitle(); // "Listprinting"
    // The footer of page `page` of `count`: "Page 2 de 5".
    static QString FooterText(int page, int count);

    TListViewPrint();

    // The list to print (a copy), read into the printer's lines by Build().
    const TListViewTable &AsgnListView() const;
    void SetAsgnListView(const TListViewTable &table);

    // Printed at the top of every page.
    QString HeaderText() const;
    void SetHeaderText(const QString &text);

    // The file written when the list is handed to a spreadsheet program.
    QString WSFileName() const;
    void SetWSFileName(const QString &fileName);

    // Columns in the proportions the list shows them on screen, over the
    // page's width (true); or each as wide as its widest text, reduced in
    // proportion only when they do not fit (false, the default). Texts too
    // long for their column end with "…".
    bool PrintWYSIWYG() const;
    void SetPrintWYSIWYG(bool wysiwyg);

    QPageLayout::Orientation Orientation() const;
    void SetOrientation(QPageLayout::Orientation orientation);

    // Reads the assigned list into the lines printed (columns and rows).
    void Build();
    const TListViewTable &Lines() const;

    // Pagination of the built lines for a page of the given height.
    static int RowsPerPage(double pageHeightMm);
    int PageCount(double pageHeightMm) const;
    // The same for the printer's page in this printer's orientation.
    int PageCount(const QPrinter &printer) const;

    // Renders every page on printer (a real printer, a PDF file or the
    // preview's), in this object's orientation. False with *error when
    // nothing could be drawn.
    bool Render(QPrinter &printer, QString *error = nullptr) const;

    // Prints directly, without any window: the job is titled JobTitle().
    // False with *error (French) when there is no printer to print on or
    // printing failed.
    bool Print(QPrinter &printer, QString *error = nullptr) const;

    // Writes the built lines to WSFileName as a tab-separated ".XLS" file for
    // a spreadsheet program; returns the file written, or an empty text with
    // *error.
    QString WriteSpreadsheetFile(QString *error = nullptr) const;

private:
    QList<double> ColumnWidths(const QPrinter &printer) const;
    void PaintPage(QPainter &painter, const QPrinter &printer, const QList<double> &widths, int page, int count,
                   int rowsPerPage) const;

    TListViewTable assigned;
    TListViewTable lines;
    QString headerText;
    QString wsFileName;
    bool printWYSIWYG = false;
    QPageLayout::Orientation orientation = QPageLayout::Portrait;
};
