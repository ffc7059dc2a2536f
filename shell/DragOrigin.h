#pragma once
// Drags between the program's own file lists carry the list they come from,
// so that a list tells a drag from its partner list (a download or an
// upload command) from files dragged from the desktop, another program or
// another copy of this one (an upload of those files). The mark names one
// list of this process; it means nothing anywhere else.

class QMimeData;
class QObject;

// Marks mime as dragged from origin.
void MarkDragOrigin(QMimeData *mime, const QObject *origin);
// Whether mime was marked by origin, in this process.
bool IsDragFrom(const QMimeData *mime, const QObject *origin);
