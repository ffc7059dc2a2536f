// The origin mark of drags between the program's own lists.

#include "DragOrigin.h"

#include <QCoreApplication>
#include <QMimeData>

namespace {
const QString OriginFormat = QStringLiteral("application/x-velmar-drag-origin");

QByteArray Token(const QObject *origin)
{
    return QByteArray::number(QCoreApplication::applicationPid()) + ':'
        + QByteArray::number(quintptr(origin), 16);
}
}

void MarkDragOrigin(QMimeData *mime, const QObject *origin)
{
    mime->setData(OriginFormat, Token(origin));
}

bool IsDragFrom(const QMimeData *mime, const QObject *origin)
{
    return mime && origin && mime->hasFormat(OriginFormat) && mime->data(OriginFormat) == Token(origin);
}
