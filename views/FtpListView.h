#pragma once
// TVexFtpListView: the content of a client's current remote folder as an
// explorer-like list: ".." (outside "/"), the folders, then the files, with
// icons and, in report style, eight columns. It follows one client through
// the client's listener table and refreshes on every finished listing; it
// never talks to the server itself.
//
// The rows mirror copies of the client's Directories() and (filtered) Files()
// taken at the last Refresh(), even when the client's lists change later.
//
// Owner wiring: SetClient(&client); react to RowDoubleClicked(row) with
// RowCaption(row) / RowIsFolder(row); read DroppedFiles() in OnFileDropped.
// A context menu: set this widget's contextMenuPolicy to
// Qt::CustomContextMenu and connect customContextMenuRequested.
//
// Drag and drop: the selected rows can be dragged to a partner list (the
// drag carries this list's mark, DragOrigin.h, and nothing a desktop could
// take). What is dragged over the list goes first to the owner's OnDragOver
// and OnDragDrop; what the owner does not take is a desktop drop (files,
// only with Accept()).
//
// Captions of folders and files can be edited in place (F2, or a click on a
// selected row): the edit raises CaptionEdited and changes nothing itself.

#include "ViewStyles.h"

#include <QStringList>
#include <QWidget>

#include <functional>
#include <memory>

class QAbstractItemView;
class QMimeData;
class TVexFtp;
class TVexFtpListModel;

// Sort keys of the list; each maps to the entry list's column of that name.
enum TVexFtpSortBase {
    stNone = 0,
    stAttrib = 1,
    stDateTime = 2,
    stDescription = 3,
    stName = 4,
    stSize = 5,
    stSymbolLink = 6,
    stOwner = 7,
    stGroup = 8,
    stFileType = 9
};

// Large icons, small icons, a column-wise list, or the eight-column report.
using TVexFtpViewStyle = TViewStyle;

class TVexFtpListView : public QWidget
{
    Q_OBJECT
public:
    explicit TVexFtpListView(QWidget *parent = nullptr);
    ~TVexFtpListView() override;

    // The client followed (not owned). Setting another one detaches from the
    // old one; a client that already holds entries is shown at once. Null
    // removes every row. A destroyed client is simply forgotten.
    TVexFtp *Client() const;
    void SetClient(TVexFtp *client);

    // Files may be dropped from the desktop (default false).
    bool Accept() const;
    void SetAccept(bool accept);
    // Sort direction (default true) and key (default stName); both apply at
    // the next Refresh(). Header clicks never sort: the owner sets these.
    bool Ascending() const;
    void SetAscending(bool ascending);
    TVexFtpSortBase SortType() const;
    void SetSortType(TVexFtpSortBase sortType);
    // Case-sensitive wildcard patterns for file names ("*.zip", "a?c");
    // empty lists every file. Folders are never filtered.
    QStringList Filter() const;
    void SetFilter(const QStringList &patterns);
    // Hot tracking: rows highlight under the mouse, with a hand cursor.
    bool WebStyle() const;
    void SetWebStyle(bool on);
    // Default vsReport.
    TVexFtpViewStyle ViewStyle() const;
    void SetViewStyle(TVexFtpViewStyle style);
    // Several rows may be selected (default true).
    bool MultiSelect() const;
    void SetMultiSelect(bool on);

    // Called after files were dropped; DroppedFiles() holds their paths.
    std::function<void(TVexFtpListView *sender)> OnFileDropped;
    // Asked while something is dragged over the list (true takes it, before
    // any desktop drop), and on its drop.
    std::function<bool(const QMimeData *mime)> OnDragOver;
    std::function<void(const QMimeData *mime)> OnDragDrop;
    // What a drag of the selected rows carries: this list's mark and the
    // selected captions as text. Owned by the caller; null without a
    // selection.
    QMimeData *DragData() const;

    // Rebuilds the rows from the client. With a Filter, pending events are
    // processed once per pattern, so input is handled during a long refresh.
    void Refresh();
    // Removes every row until the next Refresh() (the client stays followed).
    void Clear();

    // Captions of the selected file rows / folder rows ("..", when
    // selected, counts as a folder), in display order.
    QStringList SelectedFiles() const;
    QStringList SelectedFolders() const;
    void SelectAll(bool selected);
    // Full local paths of the files of the last drop.
    QStringList DroppedFiles() const;
    // Takes a drop from the desktop: only with Accept() and when it carries
    // local files. True when the drop was taken (OnFileDropped has run).
    bool DropFiles(const QMimeData *mime);

    // The rows as shown.
    int RowCount() const;
    QString RowCaption(int row) const;
    bool RowIsFolder(int row) const; // ".." and the folders
    int CurrentRow() const;          // -1 when none
    // The type-ahead search itself (see TVexFtpListModel::FindCaption).
    int FindCaption(const QString &text, int startRow, bool wrap) const;

    // The item view of the current style (report table or icon/list view);
    // both share one model and one selection.
    QAbstractItemView *ItemView() const;
    const TVexFtpListModel *Model() const;

signals:
    void RowDoubleClicked(int row);
    // The caption oldCaption was edited into newCaption in place.
    void CaptionEdited(const QString &oldCaption, const QString &newCaption);
    // A key was pressed in the list (before the list handles it).
    void KeyDown(int key);

private:
    struct Private;
    std::unique_ptr<Private> d;
};
