#pragma once
// TLocalFileList: the local file list of the explorer tab, the entries of
// one local folder: folders first, then files, each with its icon and, in
// the report style, the columns "Nom", "Type", "Taille" and "Modifié le".
// The type of a folder is LocalFolderTypeName() ("Dossier de fichiers"),
// by which the commands recognise folders; a file's is the type name of its
// extension. Hidden entries are not listed.
//
// Pointing the list at a folder reads it afresh from the disk. The reading
// runs on a worker thread: rows arrive after SetDirectory() returns, and
// DirectoryLoaded() says when the folder has been read whole (Loaded() is
// true from then on). Once loaded, the list follows later changes on disk
// by itself.
//
// Drag and drop with a partner list: a drag of selected rows carries their
// files (a file manager takes them too) and this list's mark (DragOrigin.h);
// what this list accepts is the owner's choice (OnDragOver, OnDragDrop).

#include "ViewStyles.h"

#include <QList>
#include <QString>
#include <QWidget>

#include <functional>
#include <memory>

class QAbstractItemView;
class QMimeData;

class TLocalFileList : public QWidget
{
    Q_OBJECT
public:
    explicit TLocalFileList(QWidget *parent = nullptr);
    ~TLocalFileList() override;

    // The folder shown, ending with "/"; empty before the first one.
    QString Directory() const;
    // Empties the list and reads folder afresh (see above). The selection
    // is lost.
    void SetDirectory(const QString &folder);
    // The folder has been read whole since the last SetDirectory().
    bool Loaded() const;

    // A wildcard for file names ("*.mp3"); folders always show. "*.*" and
    // an empty mask list every file. It applies at once and to every later
    // reading; case is ignored, as in file masks.
    QString Mask() const;
    void SetMask(const QString &mask);

    // Default vsReport.
    TViewStyle ViewStyle() const;
    void SetViewStyle(TViewStyle style);

    // The rows as shown.
    int RowCount() const;
    QString RowCaption(int row) const;
    QString RowType(int row) const;
    // The row's entry is a folder (or a link to one).
    bool RowIsFolder(int row) const;

    // Selection, in display order.
    QList<int> SelectedRows() const;
    // The first selected row, or -1.
    int FirstSelectedRow() const;
    bool RowSelected(int row) const;
    void SetRowSelected(int row, bool selected);
    void SelectAll(bool selected);

    // What a drag of the selected rows carries: their files as local URLs
    // and this list's mark. Owned by the caller; null without a selection.
    QMimeData *DragData() const;
    // Asked while something is dragged over the list (true accepts it),
    // and on the drop. Unassigned, nothing is accepted.
    std::function<bool(const QMimeData *mime)> OnDragOver;
    std::function<void(const QMimeData *mime)> OnDragDrop;

    // The item view of the current style (report or icons); both share one
    // model and one selection.
    QAbstractItemView *ItemView() const;

signals:
    // The folder given to SetDirectory() has been read whole.
    void DirectoryLoaded();
    // A folder row was double-clicked; path ends with "/".
    void FolderActivated(const QString &path);

private:
    struct Private;
    std::unique_ptr<Private> d;
};
