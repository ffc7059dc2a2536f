// TListViewPrint: pagination and drawing of a list on printer pages (see
// ListViewPrint.h).
#include "ListViewPrint.h"

#include "ExportListView.h"

#include <QFontMetricsF>
#include <QGuiApplication>
#include <QPainter>
#include <QPrinter>

#include <algorithm>
#include <cmath>

namespace {

constexpr double HeaderLineMm = 7.0;    // the header text's line, then the captions
constexpr double CellPaddingMm = 1.0;   // between a column's edge and its text
constexpr double HeaderPointSize = 11.0;
constexpr double TextPointSize = 9.0;

// The program's sans-serif font at a given size.
QFont PrintFont(double pointSize, bool bold)
{
    QFont font = QGuiApplication::font();
    font.setPointSizeF(pointSize);
    font.setBold(bold);
    return font;
}

} // namespace

QString TListViewPrint::JobTitle()
{
    return QStringLiteral("Listprinting");
}

QString TListViewPrint::FooterText(int page, int count)
{
    return QStringLiteral("Page %1 de %2").arg(page).arg(count);
}

TListViewPrint::TListViewPrint() = default;

const TListViewTable &TListViewPrint::AsgnListView() const
{
    return assigned;
}

void TListViewPrint::SetAsgnListView(const TListViewTable &table)
{
    assigned = table;
}

QString TListViewPrint::HeaderText() const
{
    return headerText;
}

void TListViewPrint::SetHeaderText(const QString &text)
{
    headerText = text;
}

QString TListViewPrint::WSFileName() const
{
    return wsFileName;
}

void TListViewPrint::SetWSFileName(const QString &fileName)
{
    wsFileName = fileName;
}

bool TListViewPrint::PrintWYSIWYG() const
{
    return printWYSIWYG;
}

void TListViewPrint::SetPrintWYSIWYG(bool wysiwyg)
{
    printWYSIWYG = wysiwyg;
}

QPageLayout::Orientation TListViewPrint::Orientation() const
{
    return orientation;
}

void TListViewPrint::SetOrientation(QPageLayout::Orientation value)
{
    orientation = value;
}

void TListViewPrint::Build()
{
    lines = assigned;
}

const TListViewTable &TListViewPrint::Lines() const
{
    return lines;
}

int TListViewPrint::RowsPerPage(double pageHeightMm)
{
    const double body = pageHeightMm - 2 * MarginMm - HeaderBlockMm - FooterBlockMm - 2 * BorderOffsetMm;
    // A small tolerance keeps a page that holds exactly n rows at n, whatever
    // the rounding of its height in millimetres.
    return std::max(1, int(std::floor(body / RowHeightMm + 1e-6)));
}

int TListViewPrint::PageCount(double pageHeightMm) const
{
    const int perPage = RowsPerPage(pageHeightMm);
    const int rows = int(lines.Rows.size());
    return std::max(1, (rows + perPage - 1) / perPage);
}

int TListViewPrint::PageCount(const QPrinter &printer) const
{
    QPageLayout layout = printer.pageLayout();
    layout.setOrientation(orientation);
    return PageCount(layout.fullRect(QPageLayout::Millimeter).height());
}

bool TListViewPrint::Render(QPrinter &printer, QString *error) const
{
    printer.setFullPage(true);
    printer.setPageOrientation(orientation);
    QPageLayout layout = printer.pageLayout();
    const int perPage = RowsPerPage(layout.fullRect(QPageLayout::Millimeter).height());
    const int count = PageCount(printer);

    QPainter painter;
    if (!painter.begin(&printer)) {
        if (error)
            *error = QStringLiteral("Impression impossible : l'imprimante n'a pas pu être ouverte.");
        return false;
    }
    const QList<double> widths = ColumnWidths(printer);
    for (int page = 0; page < count; ++page) {
        if (page > 0 && !printer.newPage()) {
            painter.end();
            if (error)
                *error = QStringLiteral("Impression impossible : la page %1 n'a pas pu être commencée.").arg(page + 1);
            return false;
        }
        PaintPage(painter, printer, widths, page, count, perPage);
    }
    painter.end();
    return true;
}

QList<double> TListViewPrint::ColumnWidths(const QPrinter &printer) const
{
    const double mm = printer.resolution() / 25.4;
    const double available = printer.paperRect(QPrinter::DevicePixel).width() - 2 * MarginMm * mm;
    const int columns = std::max(1, lines.ColumnCount());
    QList<double> widths;
    double total = 0;
    if (printWYSIWYG && lines.Widths.size() == columns) {
        // The proportions of the list on screen, over the page's width.
        for (int c = 0; c < columns; ++c)
            total += widths.emplace_back(std::max(1, lines.Widths.at(c)));
        for (double &width : widths)
            width *= available / total;
        return widths;
    }
    // Each column as wide as its widest text. When they do not all fit, the
    // columns narrower than an even share keep their width and the wider
    // ones share what is left in proportion.
    const QFontMetricsF captionMetrics(PrintFont(TextPointSize, true), &printer);
    const QFontMetricsF textMetrics(PrintFont(TextPointSize, false), &printer);
    for (int c = 0; c < columns; ++c) {
        double widest = captionMetrics.horizontalAdvance(lines.Captions.value(c));
        for (qsizetype row = 0; row < lines.Rows.size(); ++row)
            widest = std::max(widest, textMetrics.horizontalAdvance(lines.Cell(row, c)));
        total += widths.emplace_back(widest + 2 * (CellPaddingMm + 1.0) * mm);
    }
    if (total <= available)
        return widths;
    QList<bool> fixed(columns, false);
    double left = available;
    int open = columns;
    for (bool changed = true; changed && open > 0;) {
        changed = false;
        const double share = left / open;
        for (int c = 0; c < columns; ++c) {
            if (!fixed.at(c) && widths.at(c) <= share) {
                fixed[c] = true;
                left -= widths.at(c);
                --open;
                changed = true;
            }
        }
    }
    double openTotal = 0;
    for (int c = 0; c < columns; ++c)
        if (!fixed.at(c))
            openTotal += widths.at(c);
    for (int c = 0; c < columns; ++c)
        if (!fixed.at(c))
            widths[c] *= left / openTotal;
    return widths;
}

void TListViewPrint::PaintPage(QPainter &painter, const QPrinter &printer, const QList<double> &widths, int page,
                               int count, int rowsPerPage) const
{
    const double mm = printer.resolution() / 25.4;
    const QRectF paper = printer.paperRect(QPrinter::DevicePixel);
    const QRectF box(paper.left() + MarginMm * mm, paper.top() + MarginMm * mm, paper.width() - 2 * MarginMm * mm,
                     paper.height() - 2 * MarginMm * mm);

    // Column edges.
    const int columns = int(widths.size());
    QList<double> left;
    double x = box.left();
    for (int c = 0; c < columns; ++c) {
        left.append(x);
        x += widths.at(c);
    }
    const double padding = CellPaddingMm * mm;
    const auto drawCell = [&](const QRectF &row, int column, const QString &text, const QFontMetricsF &metrics) {
        const QRectF cell(left.at(column) + padding, row.top(), widths.at(column) - 2 * padding, row.height());
        painter.drawText(cell, Qt::AlignLeft | Qt::AlignVCenter,
                         metrics.elidedText(text, Qt::ElideRight, std::max(0.0, cell.width())));
    };

    // Header text and column captions, on every page.
    painter.setPen(Qt::black);
    painter.setFont(PrintFont(HeaderPointSize, true));
    const QRectF headerLine(box.left(), box.top(), box.width(), HeaderLineMm * mm);
    painter.drawText(headerLine, Qt::AlignLeft | Qt::AlignVCenter,
                     QFontMetricsF(painter.font(), &printer).elidedText(headerText, Qt::ElideRight, box.width()));
    painter.setFont(PrintFont(TextPointSize, true));
    const QFontMetricsF captionMetrics(painter.font(), &printer);
    const QRectF captionLine(box.left(), headerLine.bottom(), box.width(), (HeaderBlockMm - HeaderLineMm) * mm);
    for (int c = 0; c < lines.ColumnCount(); ++c)
        drawCell(captionLine, c, lines.Captions.at(c), captionMetrics);
    painter.drawLine(QPointF(box.left(), captionLine.bottom()), QPointF(box.right(), captionLine.bottom()));

    // This page's rows.
    painter.setFont(PrintFont(TextPointSize, false));
    const QFontMetricsF textMetrics(painter.font(), &printer);
    const int first = page * rowsPerPage;
    const int last = std::min(int(lines.Rows.size()), first + rowsPerPage);
    double y = box.top() + (HeaderBlockMm + BorderOffsetMm) * mm;
    for (int row = first; row < last; ++row) {
        const QRectF line(box.left(), y, box.width(), RowHeightMm * mm);
        for (int c = 0; c < columns; ++c)
            drawCell(line, c, lines.Cell(row, c), textMetrics);
        y += RowHeightMm * mm;
    }

    // Page number.
    const QRectF footer(box.left(), box.bottom() - FooterBlockMm * mm, box.width(), FooterBlockMm * mm);
    painter.drawText(footer, Qt::AlignHCenter | Qt::AlignVCenter, FooterText(page + 1, count));
}

bool TListViewPrint::Print(QPrinter &printer, QString *error) const
{
    // Without a printer of the system, Qt falls back on PDF output with no
    // file: there is nothing to print on.
    const bool noPrinter = printer.outputFormat() == QPrinter::NativeFormat ? printer.printerName().isEmpty()
                                                                             : printer.outputFileName().isEmpty();
    if (noPrinter) {
        if (error)
            *error = QStringLiteral("Aucune imprimante n'est installée.");
        return false;
    }
    printer.setDocName(JobTitle());
    return Render(printer, error);
}

QString TListViewPrint::WriteSpreadsheetFile(QString *error) const
{
    TExportListView exporter;
    exporter.SetDATFileName(wsFileName);
    const TExportResult result = exporter.Export(lines);
    if (result.Status == TExportStatus::Saved)
        return result.FileName;
    if (error)
        *error = result.Message;
    return QString();
}
