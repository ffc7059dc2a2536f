// The icon view's set-up for each view style of a file list.

#include "ViewStyles.h"

#include <QListView>

void ApplyIconViewStyle(QListView *icons, TViewStyle style)
{
    switch (style) {
    case vsIcon:
        icons->setViewMode(QListView::IconMode);
        icons->setIconSize(QSize(32, 32));
        icons->setFlow(QListView::LeftToRight);
        icons->setGridSize(QSize(96, 64));
        break;
    case vsSmallIcon:
        icons->setViewMode(QListView::ListMode);
        icons->setIconSize(QSize(16, 16));
        icons->setFlow(QListView::LeftToRight);
        icons->setGridSize(QSize(160, 20));
        break;
    case vsList:
    case vsReport:
        icons->setViewMode(QListView::ListMode);
        icons->setIconSize(QSize(16, 16));
        icons->setFlow(QListView::TopToBottom);
        icons->setGridSize(QSize());
        break;
    }
    // Icon mode would let items be dragged around; the arrangement is
    // always automatic.
    icons->setMovement(QListView::Static);
    icons->setWrapping(style != vsReport);
    icons->setResizeMode(QListView::Adjust);
}
