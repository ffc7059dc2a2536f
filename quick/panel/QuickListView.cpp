// The quick explorer's list widget: a report view and an icon view over one
// model and one selection, stacked, the style choosing which one shows.
#include "QuickListView.h"

#include "QuickFileModel.h"

#include <QEvent>
#include <QFontMetrics>
#include <QHeaderView>
#include <QKeyEvent>
#include <QListView>
#include <QStackedLayout>
#include <QTreeView>

#include <algorithm>
#include <functional>

namespace {

// An item view that tells of released keys, except those of a caption being
// edited (a Delete typed in the editor must never delete the entry).
template <typename Base>
class TKeyView : public Base
{
public:
    std::function<void(int)> released;

    bool Editing() const { return this->state() == QAbstractItemView::EditingState; }

protected:
    void keyReleaseEvent(QKeyEvent *event) override
    {
        Base::keyReleaseEvent(event);
        if (released && !event->isAutoRepeat() && !Editing())
            released(event->key());
    }
};

using TReportView = TKeyView<QTreeView>;
using TIconView = TKeyView<QListView>;

template <typename View> bool IsEditing(QAbstractItemView *view)
{
    const auto *keyed = dynamic_cast<const View *>(view);
    return keyed && keyed->Editing();
}

} // namespace

TQuickListView::TQuickListView(TQuickFileModel *model, QWidget *parent) : QWidget(parent), model(model)
{
    stack = new QStackedLayout(this);
    stack->setContentsMargins(0, 0, 0, 0);

    auto *reportView = new TReportView;
    report = reportView;
    report->setObjectName(QStringLiteral("report"));
    report->setModel(model);
    report->setRootIsDecorated(false);
    report->setItemsExpandable(false);
    report->setUniformRowHeights(true);
    report->setAllColumnsShowFocus(true);
    report->setSelectionBehavior(QAbstractItemView::SelectRows);
    report->setSortingEnabled(false);
    report->header()->setStretchLastSection(false);
    report->header()->setSectionsClickable(true);
    report->header()->setSectionsMovable(false);
    FitColumns();
    connect(report->header(), &QHeaderView::sectionClicked, this, &TQuickListView::HeaderClicked);

    auto *iconView = new TIconView;
    icons = iconView;
    icons->setObjectName(QStringLiteral("icons"));
    icons->setModel(model);
    // One selection for both views, so that switching styles keeps it.
    QItemSelectionModel *own = icons->selectionModel();
    icons->setSelectionModel(report->selectionModel());
    delete own;
    icons->setUniformItemSizes(true);
    icons->setSelectionRectVisible(true);

    stack->addWidget(report);
    stack->addWidget(icons);
    Wire(reportView);
    Wire(iconView);
    SetMultiSelect(true);
    SetClickEditing(false);
    ApplyViewStyle();

    connect(report->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex &current) {
                if (current.isValid())
                    emit CurrentRowChanged(current.row());
            });
}

TQuickListView::~TQuickListView() = default;

template <typename View> void TQuickListView::Wire(View *view)
{
    view->released = [this](int key) { emit KeyReleased(key); };
    view->setContextMenuPolicy(Qt::CustomContextMenu);
    // Drops are the panel's: they pass through the lists to it.
    view->setAcceptDrops(false);
    view->viewport()->setAcceptDrops(false);
    view->setDragEnabled(false);
    connect(view, &QAbstractItemView::clicked, this, [this](const QModelIndex &index) { emit RowClicked(index.row()); });
    connect(view, &QAbstractItemView::doubleClicked, this,
            [this](const QModelIndex &index) { emit RowDoubleClicked(index.row()); });
    connect(view, &QWidget::customContextMenuRequested, this,
            [this, view](const QPoint &pos) { emit ContextMenuWanted(view->viewport()->mapToGlobal(pos)); });
}

void TQuickListView::FitColumns()
{
    // Room for the cell's margins on both sides of the text.
    constexpr int Margins = 16;
    const QFontMetrics metrics(report->font());
    for (int column = 0; column < TQuickFileModel::ColumnCount; ++column) {
        const QString sample = TQuickFileModel::ColumnSample(column);
        const int needed = sample.isEmpty() ? 0 : metrics.horizontalAdvance(sample) + Margins;
        report->header()->resizeSection(column, std::max(TQuickFileModel::ColumnWidth(column), needed));
    }
}

void TQuickListView::changeEvent(QEvent *event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::FontChange)
        FitColumns();
}

void TQuickListView::SetViewStyle(TQuickViewStyle value)
{
    style = value;
    ApplyViewStyle();
}

void TQuickListView::ApplyViewStyle()
{
    switch (style) {
    case qvsIcon:
        icons->setViewMode(QListView::IconMode);
        icons->setIconSize(QSize(32, 32));
        icons->setFlow(QListView::LeftToRight);
        icons->setGridSize(QSize(96, 64));
        icons->setWrapping(true);
        break;
    case qvsSmallIcon:
        icons->setViewMode(QListView::ListMode);
        icons->setIconSize(QSize(16, 16));
        icons->setFlow(QListView::LeftToRight);
        icons->setGridSize(QSize(160, 20));
        icons->setWrapping(true);
        break;
    case qvsList:
    case qvsReport:
        icons->setViewMode(QListView::ListMode);
        icons->setIconSize(QSize(16, 16));
        icons->setFlow(QListView::TopToBottom);
        icons->setGridSize(QSize());
        icons->setWrapping(style == qvsList);
        break;
    }
    // Icon mode would let items be dragged around; the arrangement is
    // always automatic.
    icons->setMovement(QListView::Static);
    icons->setResizeMode(QListView::Adjust);
    stack->setCurrentWidget(style == qvsReport ? static_cast<QWidget *>(report) : icons);
}

void TQuickListView::SetMultiSelect(bool on)
{
    const auto mode = on ? QAbstractItemView::ExtendedSelection : QAbstractItemView::SingleSelection;
    report->setSelectionMode(mode);
    icons->setSelectionMode(mode);
}

void TQuickListView::SetClickEditing(bool on)
{
    // F2 is the panel's key (on its release, and only while connected), so
    // the views' own edit key stays off.
    const auto triggers = on ? QAbstractItemView::SelectedClicked : QAbstractItemView::NoEditTriggers;
    report->setEditTriggers(triggers);
    icons->setEditTriggers(triggers);
}

QAbstractItemView *TQuickListView::ItemView() const
{
    return style == qvsReport ? static_cast<QAbstractItemView *>(report) : icons;
}

QHeaderView *TQuickListView::Header() const
{
    return report->header();
}

QList<int> TQuickListView::SelectedRows() const
{
    // The report selects whole rows, the icon views their first cells: any
    // selected cell counts for its row.
    QList<int> rows;
    for (const QModelIndex &index : report->selectionModel()->selectedIndexes())
        rows << index.row();
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    return rows;
}

int TQuickListView::SelectedRow() const
{
    const QList<int> rows = SelectedRows();
    return rows.isEmpty() ? -1 : rows.first();
}

void TQuickListView::SelectRow(int row, bool clearOthers)
{
    QItemSelectionModel *selection = report->selectionModel();
    const QModelIndex index = model->index(row, 0);
    if (!index.isValid())
        return;
    auto flags = QItemSelectionModel::Select | QItemSelectionModel::Rows;
    if (clearOthers)
        flags |= QItemSelectionModel::Clear;
    selection->setCurrentIndex(index, flags);
}

bool TQuickListView::EditCaption(int row)
{
    const QModelIndex index = model->index(row, TQuickFileModel::ColName);
    if (!index.isValid() || !(model->flags(index) & Qt::ItemIsEditable))
        return false;
    QAbstractItemView *view = ItemView();
    view->setCurrentIndex(index);
    view->scrollTo(index);
    view->setFocus();
    view->edit(index);
    return Editing();
}

bool TQuickListView::Editing() const
{
    return IsEditing<TReportView>(report) || IsEditing<TIconView>(icons);
}
