#pragma once
// TQuickListView: one of the quick explorer's two lists, a view of a
// TQuickFileModel in one of four styles (large icons, small icons, list,
// report with the four columns). It shows rows and reports what the user does
// (clicks, double clicks, released keys, header clicks, the context menu);
// the panel decides what that means. Desktop drops are not taken here: they
// go on to the panel.

#include <QList>
#include <QWidget>

class QAbstractItemView;
class QHeaderView;
class QListView;
class QStackedLayout;
class QTreeView;
class TQuickFileModel;

enum TQuickViewStyle { qvsIcon, qvsSmallIcon, qvsList, qvsReport };

class TQuickListView : public QWidget
{
    Q_OBJECT
public:
    // model is not owned; it outlives the view.
    explicit TQuickListView(TQuickFileModel *model, QWidget *parent = nullptr);
    ~TQuickListView() override;

    TQuickFileModel *Model() const { return model; }

    TQuickViewStyle ViewStyle() const { return style; }
    void SetViewStyle(TQuickViewStyle value);
    void SetMultiSelect(bool on);
    // Whether the user may start editing a caption by clicking a selected row.
    void SetClickEditing(bool on);

    // The item view of the current style; both share one selection.
    QAbstractItemView *ItemView() const;
    QTreeView *ReportView() const { return report; }
    QListView *IconView() const { return icons; }
    QHeaderView *Header() const;

    // Selected rows in ascending order.
    QList<int> SelectedRows() const;
    // The first selected row, -1 when none.
    int SelectedRow() const;
    void SelectRow(int row, bool clearOthers = true);
    // Starts editing the caption of row in place; false when it cannot be
    // edited.
    bool EditCaption(int row);
    bool Editing() const;

signals:
    void RowClicked(int row);
    void RowDoubleClicked(int row);
    // The current row changed (by mouse or keys) to row.
    void CurrentRowChanged(int row);
    // A key was released in the list (not in a caption being edited).
    void KeyReleased(int key);
    void HeaderClicked(int column);
    void ContextMenuWanted(const QPoint &globalPos);

protected:
    void changeEvent(QEvent *event) override;

private:
    void ApplyViewStyle();
    // The columns' own widths, widened where the font would cut a size or a
    // date short.
    void FitColumns();
    template <typename View> void Wire(View *view);

    TQuickFileModel *model;
    QStackedLayout *stack = nullptr;
    QTreeView *report = nullptr;
    QListView *icons = nullptr;
    TQuickViewStyle style = qvsReport;
};
