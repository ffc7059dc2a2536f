#pragma once
// The rows of the quick explorer's two lists (its folder pane and its file
// list): one TQuickFileRow per entry of the last listing, with the texts the
// lists show and the entry's data as values, the comparison the panel sorts
// them by, and the model the list widgets show. Owners (the main window's
// comparison, export and print) read the rows through the panel.

#include <QAbstractTableModel>
#include <QDateTime>
#include <QList>
#include <QString>

#include <memory>

// What one entry is, shared by its rows in the two lists.
struct TExtraFileData {
    // The file's size; -1 for a folder or a link, 0 for the parent row "..".
    qint64 Size = 0;
    // Folders, links and the parent row.
    bool IsDirectory = false;
    // The listing named a link target ("-> " and a non-empty target).
    bool IsLink = false;
    // The listing's date and time as given (clock fields, no zone
    // conversion); invalid when the listing gave none and for the parent row.
    QDateTime DateTime;
};

struct TQuickFileRow {
    QString Caption;
    QString SizeText;   // "29 KB"; empty for folders, links and ".."
    QString DateText;   // begins with the date as dd/MM/yyyy; empty when none
    QString TypeText;   // "Dossier" for folders and links
    std::shared_ptr<TExtraFileData> Data;

    bool IsParent() const { return Caption == QLatin1String(".."); }
    bool IsDirectory() const { return Data && Data->IsDirectory; }
    qint64 Size() const { return Data ? Data->Size : 0; }
};

// Sort keys, numbered as the panel numbers them.
enum TQuickSortKey { qskName = 0, qskDate = 1, qskSize = 2, qskType = 3 };

// The "Taille" text of a file of size bytes: size / 1024 rounded, at least
// 1, with the user's thousands separator, then " KB" (0 bytes -> "1 KB",
// 1600 -> "2 KB", 30000 -> "29 KB").
QString QuickSizeText(qint64 size);
// The "Date" text of a listing date: the short date as dd/MM/yyyy, then the
// time as HH:mm:ss unless it is exactly midnight; empty for an invalid date.
// The French formats, whatever the system's locale: the interface is French
// and the site comparison reads the first ten characters as dd/mm/yyyy.
QString QuickDateText(const QDateTime &dateTime);
// A total of bytes with the user's thousands separator ("#,##0").
QString QuickTotalText(qint64 bytes);

// The order of a before b under key, ascending: negative, 0 or positive.
// Name: folders as " " + caption, files as the caption in capitals, compared
// code unit by code unit (folders first, files without regard to case).
// Date: the dates as values, a row without one as the earliest. Size: Size
// (folders -1 first). Type: the type text, or " " + caption for rows without
// a size text (folders, ".."), compared code unit by code unit.
int CompareQuickRows(const TQuickFileRow &a, const TQuickFileRow &b, TQuickSortKey key);

class TQuickFileModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    enum Column { ColName, ColSize, ColDate, ColType, ColumnCount };
    // Values of a row's data for readers of the model (export, tests).
    enum Role {
        SizeRole = Qt::UserRole + 1,  // qint64
        IsDirectoryRole,              // bool
        IsLinkRole,                   // bool
        DateTimeRole,                 // QDateTime
    };

    // The width in pixels a report column starts with, at the least.
    static int ColumnWidth(int column);
    // The longest text a column should show whole ("Taille", "Date"); empty
    // for columns whose texts may be shortened.
    static QString ColumnSample(int column);

    explicit TQuickFileModel(QObject *parent = nullptr);
    ~TQuickFileModel() override;

    void SetRows(QList<TQuickFileRow> rows);
    void Clear();
    const QList<TQuickFileRow> &Rows() const { return rows; }
    const TQuickFileRow &Row(int row) const { return rows.at(row); }
    int RowCount() const { return int(rows.size()); }
    // Changes one row in place (a rename).
    void SetRow(int row, const TQuickFileRow &value);

    // Re-orders the rows; selections and the current row follow their rows.
    // Rows that compare equal keep their order.
    void Sort(TQuickSortKey key, bool descending);

    void SetHeaderTexts(const QStringList &texts);
    // Whether captions may be edited in place (never the parent row's).
    void SetCaptionsEditable(bool editable);

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex &index, const QVariant &value, int role = Qt::EditRole) override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;

signals:
    // An in-place edit ended with a new, non-empty caption, which the row
    // now shows.
    void CaptionEdited(int row, const QString &oldCaption, const QString &newCaption);

private:
    QList<TQuickFileRow> rows;
    QStringList headers;
    bool editable = false;
};
