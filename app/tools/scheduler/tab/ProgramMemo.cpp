// The program text's drag and drop (see ProgramMemo.h).

#include "ProgramMemo.h"

#include <QDragEnterEvent>
#include <QDragMoveEvent>
#include <QDropEvent>

TProgramMemo::TProgramMemo(QWidget *parent) : QPlainTextEdit(parent)
{
    setAcceptDrops(true);
}

bool TProgramMemo::Accepts(const QObject *source) const
{
    return OnDragOver && OnDragOver(source);
}

void TProgramMemo::dragEnterEvent(QDragEnterEvent *event)
{
    if (!Accepts(event->source())) {
        event->ignore();
        return;
    }
    // A copy: the list the entries come from keeps them.
    event->setDropAction(Qt::CopyAction);
    event->accept();
}

void TProgramMemo::dragMoveEvent(QDragMoveEvent *event)
{
    if (!Accepts(event->source())) {
        event->ignore();
        return;
    }
    event->setDropAction(Qt::CopyAction);
    event->accept();
}

void TProgramMemo::dragLeaveEvent(QDragLeaveEvent *event)
{
    event->accept();
}

void TProgramMemo::dropEvent(QDropEvent *event)
{
    if (!Accepts(event->source())) {
        event->ignore();
        return;
    }
    event->setDropAction(Qt::CopyAction);
    event->accept();
    if (OnDragDrop)
        OnDragDrop(event->source());
}
