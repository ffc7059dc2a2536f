#pragma once
// The rows of the remote file list, produced on demand from two entry lists
// (folders first, then files) and an optional ".." row in front. No object
// exists per row, so a folder of 100,000 entries costs two entry lists and
// nothing more; the view asks for the texts and icon of a row when it paints
// it.

#include <QAbstractTableModel>

#include <memory>

class TVexFtpFileInfoList;

// The "Taille" text of a file: "0KB" for the size "0"; otherwise the size in
// KB rounded to the nearest whole number, "1KB" when that comes out as
// nothing (under 512 bytes, or a size text that is not a number).
QString ListSizeText(const QString &size);

class TVexFtpListModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    enum Column {
        ColName,
        ColSize,
        ColType,
        ColDate,
        ColAttrib,
        ColOwner,
        ColGroup,
        ColDescription,
        ColumnCount
    };
    // Blank: a file whose date the listing parser could not read; it keeps
    // its place but shows nothing.
    enum class RowKind { None, Parent, Folder, File, Blank };

    // The width in pixels a report column starts with.
    static int ColumnWidth(int column);

    explicit TVexFtpListModel(QObject *parent = nullptr);
    ~TVexFtpListModel() override;

    // Shows these lists until the next call (a model reset).
    void SetContents(std::unique_ptr<TVexFtpFileInfoList> folders,
                     std::unique_ptr<TVexFtpFileInfoList> files, bool showParentEntry);
    void Clear();

    bool ShowsParentEntry() const;
    const TVexFtpFileInfoList &Folders() const;
    const TVexFtpFileInfoList &Files() const;

    RowKind Kind(int row) const;
    // The "Nom" text of a row: "..", a name, or empty for a blank row.
    QString Caption(int row) const;
    // Type-ahead: the first row, from startRow on in display order, whose
    // caption begins with text (case ignored; ".." never matches). After the
    // last row the search goes on at row 0 when wrap is set, and it ends on
    // coming back to startRow. -1 when no row matches.
    int FindCaption(const QString &text, int startRow, bool wrap) const;

    // Whether the captions of folders and files may be edited in place
    // (default true). An edit only raises CaptionEdited.
    bool Editable() const;
    void SetEditable(bool editable);

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;
    // Editing a caption changes nothing here: it raises CaptionEdited.
    bool setData(const QModelIndex &index, const QVariant &value, int role = Qt::EditRole) override;

signals:
    // The caption of row (oldCaption) was edited into newCaption.
    void CaptionEdited(int row, const QString &oldCaption, const QString &newCaption);

private:
    struct Private;
    std::unique_ptr<Private> d;
};
