// The hidden listing's columns and the copy of the explorer listing into it
// (see ListViewTable.h).
#include "ListViewTable.h"

TListViewTable ExplorerListingTable()
{
    TListViewTable table;
    table.Captions = {QStringLiteral("Nom"), QStringLiteral("Taille"), QStringLiteral("Type"),
                      QStringLiteral("Date de Modification")};
    table.Widths = {130, 80, 80, 100};
    return table;
}

QStringList QuickListingCaptions()
{
    return {QStringLiteral("Nom"), QStringLiteral("Taille"), QStringLiteral("Date"), QStringLiteral("Type")};
}

TListViewTable CopyExplorerListing(const QList<QStringList> &remoteRows)
{
    const QString blank = QStringLiteral(" ");
    TListViewTable table = ExplorerListingTable();
    for (const QStringList &remote : remoteRows) {
        const QString caption = remote.value(0);
        if (caption == QLatin1String(".."))
            table.Rows.append({caption, blank, blank, blank});
        else if (caption.isEmpty())
            table.Rows.append({blank, blank, blank, blank});
        else
            table.Rows.append({caption, remote.value(1), remote.value(2), remote.value(3)});
    }
    return table;
}
