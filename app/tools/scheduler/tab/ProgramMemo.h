#pragma once
// TProgramMemo: the scheduler's program text Memo2, a plain-text editor that
// takes drags of candidate entries from the tab's list boxes. What it does
// with them is its owner's: OnDragOver says whether a drag from source is
// accepted, OnDragDrop receives the drop. Anything else dragged over it
// (text, files) is refused; its own text can still be dragged out.

#include <QPlainTextEdit>
#include <functional>

class TProgramMemo : public QPlainTextEdit
{
    Q_OBJECT
public:
    explicit TProgramMemo(QWidget *parent = nullptr);

    // source is the widget the drag started from (null for a drag from
    // another program). Unassigned, nothing is accepted.
    std::function<bool(const QObject *source)> OnDragOver;
    std::function<void(const QObject *source)> OnDragDrop;

protected:
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dragMoveEvent(QDragMoveEvent *event) override;
    void dragLeaveEvent(QDragLeaveEvent *event) override;
    void dropEvent(QDropEvent *event) override;

private:
    bool Accepts(const QObject *source) const;
};
