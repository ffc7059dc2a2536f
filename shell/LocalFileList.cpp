// The local file list: a folder read by a QFileSystemModel, shown in one of
// four styles, with selection by row and drag and drop with a partner list.

#include "LocalFileList.h"

#include "DragOrigin.h"
#include "LocalEntriesModel.h"
#include "LocalPaths.h"

#include <QDrag>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QHeaderView>
#include <QListView>
#include <QMimeData>
#include <QPointer>
#include <QStackedLayout>
#include <QTreeView>
#include <QUrl>

#include <algorithm>

namespace {

// An item view whose drags carry what the list says, and whose drops are
// the owner's to accept.
template <typename Base>
class TDragView : public Base
{
public:
    std::function<QMimeData *()> dragData;
    std::function<bool(const QMimeData *)> acceptsDrag;
    std::function<void(const QMimeData *)> drop;

protected:
    void startDrag(Qt::DropActions) override
    {
        QMimeData *mime = dragData ? dragData() : nullptr;
        if (!mime)
            return;
        auto *drag = new QDrag(this);
        drag->setMimeData(mime);
        drag->exec(Qt::CopyAction, Qt::CopyAction);
    }
    void dragEnterEvent(QDragEnterEvent *event) override { TakeDrag(event); }
    void dragMoveEvent(QDragMoveEvent *event) override { TakeDrag(event); }
    void dropEvent(QDropEvent *event) override
    {
        if (acceptsDrag && acceptsDrag(event->mimeData())) {
            event->setDropAction(Qt::CopyAction);
            event->accept();
            if (drop)
                drop(event->mimeData());
        } else {
            event->ignore();
        }
    }

private:
    void TakeDrag(QDropEvent *event)
    {
        if (acceptsDrag && acceptsDrag(event->mimeData())) {
            event->setDropAction(Qt::CopyAction);
            event->accept();
        } else {
            event->ignore();
        }
    }
};

using TReportView = TDragView<QTreeView>;
using TIconView = TDragView<QListView>;

// File masks are written as the filter lists give them; "*.*"
// stands for every file, whether its name has a dot or not.
QStringList NameFilters(const QString &mask)
{
    if (mask.isEmpty() || mask == QLatin1String("*.*") || mask == QLatin1String("*"))
        return {};
    return {mask};
}

} // namespace

struct TLocalFileList::Private {
    TLocalFileList *q = nullptr;
    QStackedLayout *stack = nullptr;
    TReportView *report = nullptr;
    TIconView *icons = nullptr;
    TLocalEntriesModel *model = nullptr;
    QItemSelectionModel *selection = nullptr;
    QString directory;
    QString mask;
    TViewStyle viewStyle = vsReport;
    bool loaded = false;

    QModelIndex Root() const
    {
        return model ? report->rootIndex() : QModelIndex();
    }

    QModelIndex RowIndex(int row, int column = TLocalEntriesModel::ColName) const
    {
        return model ? model->index(row, column, Root()) : QModelIndex();
    }

    QAbstractItemView *Current() const
    {
        if (viewStyle == vsReport)
            return report;
        return icons;
    }

    void ShowStyle()
    {
        ApplyIconViewStyle(icons, viewStyle);
        stack->setCurrentWidget(viewStyle == vsReport ? static_cast<QWidget *>(report) : icons);
    }

    // A new model for every reading: QFileSystemModel keeps what it read
    // and would otherwise show it again. A folder that cannot be shown
    // leaves the list without a model: no rows.
    void Read(const QString &folder)
    {
        TLocalEntriesModel *old = model;
        // The views make a selection model for every model they are given
        // and keep the old ones: those go here.
        QList<QItemSelectionModel *> stale{report->selectionModel()};
        if (icons->selectionModel() != stale.first())
            stale << icons->selectionModel();
        QHeaderView *header = report->header();
        const QByteArray columns = old ? header->saveState() : QByteArray();
        directory = folder;
        loaded = false;
        model = nullptr;
        selection = nullptr;
        const QString path = folder.size() > 1 ? folder.chopped(1) : folder;
        if (!path.isEmpty() && QFileInfo(path).isDir()) {
            model = new TLocalEntriesModel(QDir::AllEntries | QDir::AllDirs | QDir::System, q);
            QFileSystemModel *disk = model->FileSystem();
            disk->setNameFilters(NameFilters(mask));
            const QPointer<TLocalEntriesModel> reading = model;
            QObject::connect(disk, &QFileSystemModel::directoryLoaded, q,
                             [this, reading, path](const QString &loadedPath) {
                                 if (reading == model && !loaded && loadedPath == path)
                                     Loaded();
                             });
        }
        report->setModel(model);
        icons->setModel(model);
        // One selection for both views, so that switching styles keeps it.
        QItemSelectionModel *own = icons->selectionModel();
        icons->setSelectionModel(report->selectionModel());
        if (own != report->selectionModel())
            delete own;
        if (model) {
            selection = report->selectionModel();
            const QModelIndex root = model->mapFromSource(model->FileSystem()->setRootPath(path));
            report->setRootIndex(root);
            icons->setRootIndex(root);
            if (columns.isEmpty() || !header->restoreState(columns))
                DefaultColumns();
        }
        for (QItemSelectionModel *gone : std::as_const(stale))
            if (gone != report->selectionModel())
                delete gone;
        delete old;
        if (!model)
            Loaded(); // nothing to read: an empty list
    }

    void DefaultColumns()
    {
        QHeaderView *header = report->header();
        header->setStretchLastSection(false);
        // The type comes second, after the name.
        header->moveSection(header->visualIndex(TLocalEntriesModel::ColType), 1);
        header->resizeSection(TLocalEntriesModel::ColName, 200);
        header->resizeSection(TLocalEntriesModel::ColType, 130);
        header->resizeSection(TLocalEntriesModel::ColSize, 80);
        header->resizeSection(TLocalEntriesModel::ColDate, 130);
    }

    void Loaded()
    {
        // The model sorts on a timer of its own; the rows are in their
        // final order when the list says it is loaded.
        if (model)
            model->FileSystem()->sort(TLocalEntriesModel::ColName, Qt::AscendingOrder);
        loaded = true;
        emit q->DirectoryLoaded();
    }

    template <typename View>
    void Wire(View *view)
    {
        view->dragData = [this] { return q->DragData(); };
        view->acceptsDrag = [this](const QMimeData *mime) { return q->OnDragOver && q->OnDragOver(mime); };
        view->drop = [this](const QMimeData *mime) {
            if (q->OnDragDrop)
                q->OnDragDrop(mime);
        };
        view->setDragEnabled(true);
        view->setAcceptDrops(true);
        view->viewport()->setAcceptDrops(true);
        view->setDragDropMode(QAbstractItemView::DragDrop);
        view->setDefaultDropAction(Qt::CopyAction);
        view->setEditTriggers(QAbstractItemView::NoEditTriggers);
        view->setSelectionMode(QAbstractItemView::ExtendedSelection);
        view->setSelectionBehavior(QAbstractItemView::SelectRows);
        QObject::connect(view, &QAbstractItemView::doubleClicked, q, [this](const QModelIndex &index) {
            if (!model || !index.isValid())
                return;
            const QModelIndex source = model->mapToSource(model->index(index.row(), 0, index.parent()));
            if (model->FileSystem()->isDir(source))
                emit q->FolderActivated(LocalFolderPath(model->FileSystem()->filePath(source)));
        });
    }
};

TLocalFileList::TLocalFileList(QWidget *parent) : QWidget(parent), d(std::make_unique<Private>())
{
    d->q = this;
    d->stack = new QStackedLayout(this);
    d->stack->setContentsMargins(0, 0, 0, 0);
    d->report = new TReportView;
    d->report->setRootIsDecorated(false);
    d->report->setItemsExpandable(false);
    d->report->setUniformRowHeights(true);
    d->report->setAllColumnsShowFocus(true);
    d->report->setSortingEnabled(false);
    d->icons = new TIconView;
    d->icons->setUniformItemSizes(true);
    d->icons->setSelectionRectVisible(true);
    d->stack->addWidget(d->report);
    d->stack->addWidget(d->icons);
    d->Wire(d->report);
    d->Wire(d->icons);
    d->Read(QString());
    d->ShowStyle();
}

TLocalFileList::~TLocalFileList() = default;

QString TLocalFileList::Directory() const
{
    return d->directory;
}

void TLocalFileList::SetDirectory(const QString &folder)
{
    d->Read(LocalFolderPath(folder));
}

bool TLocalFileList::Loaded() const
{
    return d->loaded;
}

QString TLocalFileList::Mask() const
{
    return d->mask;
}

void TLocalFileList::SetMask(const QString &mask)
{
    d->mask = mask;
    if (d->model)
        d->model->FileSystem()->setNameFilters(NameFilters(mask));
}

TViewStyle TLocalFileList::ViewStyle() const
{
    return d->viewStyle;
}

void TLocalFileList::SetViewStyle(TViewStyle style)
{
    d->viewStyle = style;
    d->ShowStyle();
}

int TLocalFileList::RowCount() const
{
    return d->model ? d->model->rowCount(d->Root()) : 0;
}

QString TLocalFileList::RowCaption(int row) const
{
    const QModelIndex index = d->RowIndex(row);
    return index.isValid() ? d->model->FileSystem()->fileName(d->model->mapToSource(index)) : QString();
}

QString TLocalFileList::RowType(int row) const
{
    return d->RowIndex(row, TLocalEntriesModel::ColType).data().toString();
}

bool TLocalFileList::RowIsFolder(int row) const
{
    const QModelIndex index = d->RowIndex(row);
    return index.isValid() && d->model->FileSystem()->isDir(d->model->mapToSource(index));
}

QList<int> TLocalFileList::SelectedRows() const
{
    QList<int> rows;
    if (!d->selection)
        return rows;
    const QModelIndex root = d->Root();
    for (const QModelIndex &index : d->selection->selectedIndexes())
        if (index.parent() == root)
            rows << index.row();
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    return rows;
}

int TLocalFileList::FirstSelectedRow() const
{
    const QList<int> rows = SelectedRows();
    return rows.isEmpty() ? -1 : rows.first();
}

bool TLocalFileList::RowSelected(int row) const
{
    return d->RowIndex(row).isValid() && d->selection->isRowSelected(row, d->Root());
}

void TLocalFileList::SetRowSelected(int row, bool selected)
{
    const QModelIndex index = d->RowIndex(row);
    if (!index.isValid())
        return;
    d->selection->select(index, (selected ? QItemSelectionModel::Select : QItemSelectionModel::Deselect)
                                    | QItemSelectionModel::Rows);
}

void TLocalFileList::SelectAll(bool selected)
{
    const int rows = RowCount();
    if (!d->selection)
        return;
    if (!selected || rows == 0) {
        d->selection->clearSelection();
        return;
    }
    const QItemSelection all(d->RowIndex(0), d->RowIndex(rows - 1, TLocalEntriesModel::ColDate));
    d->selection->select(all, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
}

QMimeData *TLocalFileList::DragData() const
{
    const QList<int> rows = SelectedRows();
    if (rows.isEmpty())
        return nullptr;
    QList<QUrl> urls;
    for (int row : rows)
        urls << QUrl::fromLocalFile(d->directory + RowCaption(row));
    auto *mime = new QMimeData;
    mime->setUrls(urls);
    MarkDragOrigin(mime, this);
    return mime;
}

QAbstractItemView *TLocalFileList::ItemView() const
{
    return d->Current();
}
