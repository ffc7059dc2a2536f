#pragma once
// The rows of a list view as plain data, so that the listing export and the
// list printer never touch a widget: column captions (with their widths on
// screen) and, per row, its caption followed by its sub-items. The tabs
// adapt their list views to it.

#include <QList>
#include <QString>
#include <QStringList>

struct TListViewTable {
    QStringList Captions;    // one per column, in column order
    QList<int> Widths;       // the columns' widths on screen in pixels (may be empty)
    QList<QStringList> Rows; // per row: the caption, then the sub-items

    bool IsEmpty() const { return Rows.isEmpty(); }
    int ColumnCount() const { return int(Captions.size()); }
    // The text of a cell, empty where the row has no such sub-item.
    QString Cell(qsizetype row, qsizetype column) const { return Rows.at(row).value(column); }
};

// The hidden listing of the main window that export, preview and print use
// on the explorer side: columns "Nom" (130), "Taille" (80), "Type" (80) and
// "Date de Modification" (100), no rows.
TListViewTable ExplorerListingTable();

// The quick explorer's list columns: "Nom", "Taille", "Date", "Type".
QStringList QuickListingCaptions();

// The copy of the explorer's remote list into the hidden listing, row by
// row in order (each remote row: its caption, then size, type and date):
// ".." keeps its caption with three blank sub-items, a row with an empty
// caption becomes a blank caption with three blank sub-items, any other row
// keeps its caption and its first three sub-items.
TListViewTable CopyExplorerListing(const QList<QStringList> &remoteRows);
