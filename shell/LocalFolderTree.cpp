// The local folder tree.

#include "LocalFolderTree.h"

#include "LocalEntriesModel.h"
#include "LocalPaths.h"

#include <QFileInfo>
#include <QFileSystemModel>
#include <QHeaderView>

TDirTree::TDirTree(QWidget *parent) : QTreeView(parent), entries(new TLocalEntriesModel(QDir::AllDirs | QDir::Drives, this))
{
    entries->FileSystem()->setRootPath(QStringLiteral("/"));
    setModel(entries);
    for (int column = 1; column < entries->columnCount(); ++column)
        setColumnHidden(column, true);
    setHeaderHidden(true);
    setUniformRowHeights(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setIconSize(QSize(16, 16));
    expand(entries->mapFromSource(entries->FileSystem()->index(QStringLiteral("/"))));

    connect(selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this](const QModelIndex &current) {
                if (!selecting)
                    Selected(current);
            });
    connect(this, &QTreeView::clicked, this, [this] { emit Click(); });
    connect(entries->FileSystem(), &QFileSystemModel::directoryLoaded, this, [this](const QString &loaded) {
        if (!keptInView.isEmpty() && keptInView.startsWith(LocalFolderPath(loaded)))
            scrollTo(currentIndex());
    });
}

TDirTree::~TDirTree() = default;

QString TDirTree::Directory() const
{
    return directory;
}

bool TDirTree::SetDirectory(const QString &folder, bool quiet)
{
    const QString path = LocalFolderPath(folder);
    if (path.isEmpty() || !QFileInfo(path).isDir())
        return false;
    // The model builds the nodes of a path at once, hidden folders included
    // when asked for by path.
    const QModelIndex index = entries->mapFromSource(entries->FileSystem()->index(path));
    if (!index.isValid())
        return false;
    selecting = true;
    for (QModelIndex above = index.parent(); above.isValid(); above = above.parent())
        expand(above);
    setCurrentIndex(index);
    selecting = false;
    scrollTo(index);
    keptInView = path;
    directory = path;
    if (!quiet)
        emit Change();
    return true;
}

void TDirTree::Reread()
{
    if (!directory.isEmpty() && !SetDirectory(directory)) {
        // The folder went from the disk: its nearest remaining parent.
        QString above = LocalParentFolder(directory);
        while (!above.isEmpty() && !SetDirectory(above))
            above = LocalParentFolder(above);
    }
}

void TDirTree::Selected(const QModelIndex &index)
{
    if (!index.isValid())
        return;
    keptInView.clear();
    directory = LocalFolderPath(entries->FileSystem()->filePath(entries->mapToSource(index)));
    emit Change();
}
