#include "FtpListView.h"

#include "ClientBinding.h"
#include "DragOrigin.h"
#include "DropFiles.h"
#include "Ftp.h"
#include "FtpData.h"
#include "FtpListModel.h"
#include "FtpMisc.h"

#include <QApplication>
#include <QDrag>
#include <QDragEnterEvent>
#include <QKeyEvent>
#include <QMimeData>
#include <QDropEvent>
#include <QElapsedTimer>
#include <QHash>
#include <QHeaderView>
#include <QListView>
#include <QPointer>
#include <QStackedLayout>
#include <QTreeView>

#include <algorithm>

namespace {

// An item view that hands type-ahead, keys, drags and drops to the list
// view.
template <typename Base>
class TRowView : public Base
{
public:
    std::function<void(const QString &)> search;
    std::function<void(int)> keyDown;
    std::function<QMimeData *()> dragData;
    std::function<bool(const QMimeData *)> acceptsDrag;
    std::function<bool(const QMimeData *)> drop;

    void keyboardSearch(const QString &text) override
    {
        if (search)
            search(text);
    }

protected:
    void keyPressEvent(QKeyEvent *event) override
    {
        // The key may remove the view's rows (a delete that lists again):
        // the view handles it only if it is still there.
        const QPointer<Base> alive(this);
        if (keyDown)
            keyDown(event->key());
        if (alive)
            Base::keyPressEvent(event);
    }
    void startDrag(Qt::DropActions) override
    {
        QMimeData *mime = dragData ? dragData() : nullptr;
        if (!mime)
            return;
        auto *drag = new QDrag(this);
        drag->setMimeData(mime);
        drag->exec(Qt::CopyAction, Qt::CopyAction);
    }
    void dragEnterEvent(QDragEnterEvent *event) override { takeDrag(event); }
    void dragMoveEvent(QDragMoveEvent *event) override { takeDrag(event); }
    void dropEvent(QDropEvent *event) override
    {
        if (drop && drop(event->mimeData())) {
            event->setDropAction(Qt::CopyAction);
            event->accept();
        } else {
            event->ignore();
        }
    }

private:
    void takeDrag(QDropEvent *event)
    {
        if (acceptsDrag && acceptsDrag(event->mimeData())) {
            event->setDropAction(Qt::CopyAction);
            event->accept();
        } else {
            event->ignore();
        }
    }
};

using TReportView = TRowView<QTreeView>;
using TIconView = TRowView<QListView>;

// The names already taken by a filtered refresh, equal as IndexOfName
// compares them (locale-aware, case ignored). The hash on the case-folded
// name keeps a refresh of many files linear; the locale comparison decides.
class TListedNames
{
public:
    bool Contains(const QString &name) const
    {
        const auto it = byKey.constFind(Key(name));
        if (it == byKey.constEnd())
            return false;
        return std::any_of(it->cbegin(), it->cend(),
                           [&](const QString &listed) { return CompareTextLocale(listed, name) == 0; });
    }
    void Insert(const QString &name) { byKey[Key(name)] << name; }

private:
    static QString Key(const QString &name) { return name.normalized(QString::NormalizationForm_C).toCaseFolded(); }
    QHash<QString, QStringList> byKey;
};

FileInfoColumn SortColumn(TVexFtpSortBase sortType)
{
    switch (sortType) {
    case stAttrib:
        return colAttrib;
    case stDateTime:
        return colDateTime;
    case stDescription:
        return colDescription;
    case stSize:
        return colSize;
    case stSymbolLink:
        return colSymbolLink;
    case stOwner:
        return colOwner;
    case stGroup:
        return colGroup;
    case stFileType:
        return colFileType;
    case stName:
    case stNone:
        break;
    }
    return colName;
}

// The application-starting cursor for the length of a refresh.
class TBusyCursor
{
public:
    TBusyCursor() { QGuiApplication::setOverrideCursor(Qt::BusyCursor); }
    ~TBusyCursor() { QGuiApplication::restoreOverrideCursor(); }
    TBusyCursor(const TBusyCursor &) = delete;
    TBusyCursor &operator=(const TBusyCursor &) = delete;
};

} // namespace

struct TVexFtpListView::Private {
    TVexFtpListView *q = nullptr;
    QPointer<TVexFtp> client;
    TClientBinding binding;

    bool accept = false;
    bool ascending = true;
    QStringList filter;
    TVexFtpSortBase sortType = stName;
    bool webStyle = false;
    TVexFtpViewStyle viewStyle = vsReport;
    bool multiSelect = true;

    TVexFtpListModel *model = nullptr;
    QStackedLayout *stack = nullptr;
    TReportView *report = nullptr;
    TIconView *icons = nullptr;

    QStringList droppedFiles;
    // A refresh that processes events may be overtaken by a newer one; the
    // older one then gives up.
    quint64 refreshGeneration = 0;
    QString typed;
    QElapsedTimer typedTimer;

    QAbstractItemView *Current() const
    {
        if (viewStyle == vsReport)
            return report;
        return icons;
    }

    QList<int> SelectedRows() const
    {
        QList<int> rows;
        const QItemSelection selection = report->selectionModel()->selection();
        for (const QItemSelectionRange &range : selection)
            for (int row = range.top(); row <= range.bottom(); ++row)
                rows << row;
        std::sort(rows.begin(), rows.end());
        rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
        return rows;
    }

    void TypeAhead(const QString &text)
    {
        if (text.isEmpty()) {
            typed.clear();
            return;
        }
        // Keys typed in quick succession extend the search and look again
        // from the current row; a new search begins after it.
        const bool continuing = !typed.isEmpty() && typedTimer.isValid()
                                && typedTimer.elapsed() <= QApplication::keyboardInputInterval();
        typed = continuing ? typed + text : text;
        typedTimer.start();
        QAbstractItemView *view = Current();
        const QModelIndex current = view->currentIndex();
        const int start = current.isValid() ? current.row() + (continuing ? 0 : 1) : 0;
        const int row = model->FindCaption(typed, start, true);
        if (row < 0)
            return;
        const QModelIndex found = model->index(row, 0);
        view->selectionModel()->setCurrentIndex(found, QItemSelectionModel::ClearAndSelect
                                                           | QItemSelectionModel::Rows);
        view->scrollTo(found);
    }

    void ApplyViewStyle()
    {
        ApplyIconViewStyle(icons, viewStyle);
        stack->setCurrentWidget(viewStyle == vsReport ? static_cast<QWidget *>(report) : icons);
    }

    void ApplyWebStyle()
    {
        for (QAbstractItemView *view : {static_cast<QAbstractItemView *>(report), static_cast<QAbstractItemView *>(icons)}) {
            view->setMouseTracking(webStyle);
            view->viewport()->setAttribute(Qt::WA_Hover, webStyle);
            if (webStyle)
                view->viewport()->setCursor(Qt::PointingHandCursor);
            else
                view->viewport()->unsetCursor();
        }
    }

    // Drags from a partner list are taken whatever Accept says; files from
    // the desktop only with it.
    bool TakesDrag(const QMimeData *mime) const
    {
        return (q->OnDragOver && q->OnDragOver(mime)) || (accept && CarriesLocalFiles(mime));
    }

    bool Drop(const QMimeData *mime)
    {
        if (q->OnDragOver && q->OnDragOver(mime)) {
            if (q->OnDragDrop)
                q->OnDragDrop(mime);
            return true;
        }
        return q->DropFiles(mime);
    }

    void ApplyMultiSelect()
    {
        const auto mode = multiSelect ? QAbstractItemView::ExtendedSelection : QAbstractItemView::SingleSelection;
        report->setSelectionMode(mode);
        icons->setSelectionMode(mode);
    }

    template <typename View>
    void WireRowView(View *view)
    {
        view->search = [this](const QString &text) { TypeAhead(text); };
        view->keyDown = [this](int key) { emit q->KeyDown(key); };
        view->dragData = [this] { return q->DragData(); };
        view->acceptsDrag = [this](const QMimeData *mime) { return TakesDrag(mime); };
        view->drop = [this](const QMimeData *mime) { return Drop(mime); };
        view->setAcceptDrops(true);
        view->viewport()->setAcceptDrops(true);
        view->setDragEnabled(true);
        view->setDragDropMode(QAbstractItemView::DragDrop);
        view->setDefaultDropAction(Qt::CopyAction);
        view->setEditTriggers(QAbstractItemView::EditKeyPressed | QAbstractItemView::SelectedClicked);
        QObject::connect(view, &QAbstractItemView::doubleClicked, q,
                         [this](const QModelIndex &index) { emit q->RowDoubleClicked(index.row()); });
    }
};

TVexFtpListView::TVexFtpListView(QWidget *parent)
    : QWidget(parent)
    , d(std::make_unique<Private>())
{
    d->q = this;
    d->model = new TVexFtpListModel(this);
    d->stack = new QStackedLayout(this);
    d->stack->setContentsMargins(0, 0, 0, 0);

    d->report = new TReportView;
    d->report->setModel(d->model);
    d->report->setRootIsDecorated(false);
    d->report->setItemsExpandable(false);
    d->report->setUniformRowHeights(true);
    d->report->setAllColumnsShowFocus(true);
    d->report->setSelectionBehavior(QAbstractItemView::SelectRows);
    d->report->setSortingEnabled(false);
    d->report->header()->setStretchLastSection(false);
    for (int column = 0; column < TVexFtpListModel::ColumnCount; ++column)
        d->report->header()->resizeSection(column, TVexFtpListModel::ColumnWidth(column));

    d->icons = new TIconView;
    d->icons->setModel(d->model);
    // One selection for both views, so that switching styles keeps it.
    QItemSelectionModel *own = d->icons->selectionModel();
    d->icons->setSelectionModel(d->report->selectionModel());
    delete own;
    d->icons->setUniformItemSizes(true);
    d->icons->setLayoutMode(QListView::Batched);
    d->icons->setBatchSize(1000);
    d->icons->setSelectionRectVisible(true);

    d->stack->addWidget(d->report);
    d->stack->addWidget(d->icons);
    d->WireRowView(d->report);
    d->WireRowView(d->icons);
    d->ApplyViewStyle();
    d->ApplyMultiSelect();
    d->ApplyWebStyle();
    connect(d->model, &TVexFtpListModel::CaptionEdited, this,
            [this](int, const QString &oldCaption, const QString &newCaption) {
                emit CaptionEdited(oldCaption, newCaption);
            });
}

TVexFtpListView::~TVexFtpListView() = default;

TVexFtp *TVexFtpListView::Client() const
{
    return d->client;
}

void TVexFtpListView::SetClient(TVexFtp *client)
{
    if (client && client == d->client)
        return;
    d->binding.Bind(client);
    d->client = client;
    if (!client) {
        d->model->Clear();
        return;
    }
    d->binding.OnNotify(nkListingDone, [this](TVexFtp *) { Refresh(); });
    if (!d->binding.Complete())
        qWarning("TVexFtpListView: the client's listing listeners are all taken; the list will not follow it");
    if (client->Directories().Count() + client->Files().Count() > 0)
        Refresh();
}

bool TVexFtpListView::Accept() const
{
    return d->accept;
}

void TVexFtpListView::SetAccept(bool accept)
{
    d->accept = accept;
}

bool TVexFtpListView::Ascending() const
{
    return d->ascending;
}

void TVexFtpListView::SetAscending(bool ascending)
{
    d->ascending = ascending;
}

TVexFtpSortBase TVexFtpListView::SortType() const
{
    return d->sortType;
}

void TVexFtpListView::SetSortType(TVexFtpSortBase sortType)
{
    d->sortType = sortType;
}

QStringList TVexFtpListView::Filter() const
{
    return d->filter;
}

void TVexFtpListView::SetFilter(const QStringList &patterns)
{
    d->filter = patterns;
}

bool TVexFtpListView::WebStyle() const
{
    return d->webStyle;
}

void TVexFtpListView::SetWebStyle(bool on)
{
    d->webStyle = on;
    d->ApplyWebStyle();
}

TVexFtpViewStyle TVexFtpListView::ViewStyle() const
{
    return d->viewStyle;
}

void TVexFtpListView::SetViewStyle(TVexFtpViewStyle style)
{
    d->viewStyle = style;
    d->ApplyViewStyle();
}

bool TVexFtpListView::MultiSelect() const
{
    return d->multiSelect;
}

void TVexFtpListView::SetMultiSelect(bool on)
{
    d->multiSelect = on;
    d->ApplyMultiSelect();
}

void TVexFtpListView::Clear()
{
    // A filtered refresh under way is overtaken, as by a newer refresh.
    ++d->refreshGeneration;
    d->report->selectionModel()->clearSelection();
    d->model->Clear();
}

void TVexFtpListView::Refresh()
{
    const quint64 generation = ++d->refreshGeneration;
    d->report->selectionModel()->clearSelection();
    TVexFtp *client = d->client;
    if (!client) {
        d->model->Clear();
        return;
    }
    auto folders = std::make_unique<TVexFtpFileInfoList>(client->Directories());
    auto files = std::make_unique<TVexFtpFileInfoList>();
    const bool showParent = client->CurrentDirectory() != QLatin1String("/");
    if (d->filter.isEmpty()) {
        files->Assign(client->Files());
    } else {
        // Events are processed between patterns, and the client may list
        // again meanwhile: work from a copy of what it held at the start.
        const TVexFtpFileInfoList all(client->Files());
        const QStringList patterns = d->filter;
        const QPointer<TVexFtpListView> self(this);
        TListedNames listed;
        VexFtpFileInfo info;
        for (const QString &pattern : patterns) {
            QCoreApplication::processEvents();
            if (!self || generation != d->refreshGeneration)
                return; // destroyed, or a newer refresh has taken over
            for (int i = 0; i < all.Count(); ++i) {
                all.GetInfo(i, info);
                if (WildcardMatch(pattern, info.FileName) && !listed.Contains(info.FileName)) {
                    files->AddInfo(info);
                    listed.Insert(info.FileName);
                }
            }
        }
    }
    const TBusyCursor busy;
    if (d->sortType != stNone) {
        const FileInfoColumn column = SortColumn(d->sortType);
        folders->Sort(column, d->ascending);
        files->Sort(column, d->ascending);
    }
    d->model->SetContents(std::move(folders), std::move(files), showParent);
}

QStringList TVexFtpListView::SelectedFiles() const
{
    QStringList names;
    for (const int row : d->SelectedRows())
        if (d->model->Kind(row) == TVexFtpListModel::RowKind::File)
            names << d->model->Caption(row);
    return names;
}

QStringList TVexFtpListView::SelectedFolders() const
{
    QStringList names;
    for (const int row : d->SelectedRows()) {
        const auto kind = d->model->Kind(row);
        if (kind == TVexFtpListModel::RowKind::Folder || kind == TVexFtpListModel::RowKind::Parent)
            names << d->model->Caption(row);
    }
    return names;
}

void TVexFtpListView::SelectAll(bool selected)
{
    QItemSelectionModel *selection = d->report->selectionModel();
    const int rows = d->model->rowCount();
    if (!selected || rows == 0) {
        selection->clearSelection();
        return;
    }
    const QItemSelection all(d->model->index(0, 0),
                             d->model->index(rows - 1, TVexFtpListModel::ColumnCount - 1));
    selection->select(all, QItemSelectionModel::ClearAndSelect);
}

QMimeData *TVexFtpListView::DragData() const
{
    const QStringList folders = SelectedFolders();
    const QStringList files = SelectedFiles();
    if (folders.isEmpty() && files.isEmpty())
        return nullptr;
    auto *mime = new QMimeData;
    mime->setText((folders + files).join(QLatin1Char('\n')));
    MarkDragOrigin(mime, this);
    return mime;
}

QStringList TVexFtpListView::DroppedFiles() const
{
    return d->droppedFiles;
}

bool TVexFtpListView::DropFiles(const QMimeData *mime)
{
    if (!d->accept)
        return false;
    const QStringList paths = LocalFilesOf(mime);
    if (paths.isEmpty())
        return false;
    d->droppedFiles = paths;
    if (OnFileDropped)
        OnFileDropped(this);
    return true;
}

int TVexFtpListView::RowCount() const
{
    return d->model->rowCount();
}

QString TVexFtpListView::RowCaption(int row) const
{
    return d->model->Caption(row);
}

bool TVexFtpListView::RowIsFolder(int row) const
{
    const auto kind = d->model->Kind(row);
    return kind == TVexFtpListModel::RowKind::Folder || kind == TVexFtpListModel::RowKind::Parent;
}

int TVexFtpListView::CurrentRow() const
{
    const QModelIndex current = d->Current()->currentIndex();
    return current.isValid() ? current.row() : -1;
}

int TVexFtpListView::FindCaption(const QString &text, int startRow, bool wrap) const
{
    return d->model->FindCaption(text, startRow, wrap);
}

QAbstractItemView *TVexFtpListView::ItemView() const
{
    return d->Current();
}

const TVexFtpListModel *TVexFtpListView::Model() const
{
    return d->model;
}
