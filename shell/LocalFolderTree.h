#pragma once
// TDirTree: the local folder tree of the explorer tab. "/" is its top node
// (the root, as a drive was); below it every folder that is not hidden.
// The disk is read on a worker thread and the tree follows changes made on
// disk by itself.
//
// The selected folder is written with a final "/" (LocalPaths.h). Selecting
// a folder by program, even the one already selected, raises Change, after
// which the owner points the file list at the folder again: that is how the
// program makes the local side re-read the disk. A click raises Click.

#include <QString>
#include <QTreeView>

class TLocalEntriesModel;

class TDirTree : public QTreeView
{
    Q_OBJECT
public:
    explicit TDirTree(QWidget *parent = nullptr);
    ~TDirTree() override;

    // The selected folder, ending with "/"; empty while none is selected.
    QString Directory() const;
    // Selects folder (an absolute path, with or without its final "/"),
    // opening the folders above it, and raises Change. A folder that does
    // not exist leaves the selection as it is: false, no Change. With
    // quiet, the selection moves without raising Change.
    bool SetDirectory(const QString &folder, bool quiet = false);
    // Selects the selected folder again (Change, and the owner re-reads).
    void Reread();

signals:
    // The selected folder changed, or was selected again by program.
    void Change();
    // The user clicked a folder.
    void Click();

private:
    void Selected(const QModelIndex &index);

    TLocalEntriesModel *entries = nullptr;
    QString directory;
    // The folder selected by program, kept in view while the folders above
    // it are read (their other folders come in around it).
    QString keptInView;
    bool selecting = false;
};
