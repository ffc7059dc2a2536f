#include "RemoteFolderIcon.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace {

QPixmap drawRemoteFolder(int size)
{
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    const qreal u = size / 16.0;

    // The folder, a little to the upper left.
    painter.setPen(QPen(QColor(150, 110, 20), u));
    painter.setBrush(QColor(240, 200, 90));
    painter.drawRect(QRectF(0.5 * u, 1.5 * u, 4.5 * u, 1.5 * u));
    painter.drawRect(QRectF(0.5 * u, 3 * u, 12 * u, 8.5 * u));

    // The network mark: a globe in the lower right corner.
    const QRectF globe(8 * u, 7.5 * u, 7.5 * u, 7.5 * u);
    painter.setPen(QPen(QColor(20, 70, 150), u));
    painter.setBrush(QColor(90, 160, 230));
    painter.drawEllipse(globe);
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(QColor(20, 70, 150), 0.6 * u));
    painter.drawEllipse(QRectF(globe.center().x() - 1.6 * u, globe.top(), 3.2 * u, globe.height()));
    painter.drawLine(QPointF(globe.left(), globe.center().y()), QPointF(globe.right(), globe.center().y()));
    painter.drawLine(QPointF(globe.center().x(), globe.top()), QPointF(globe.center().x(), globe.bottom()));
    return pixmap;
}

} // namespace

QIcon RemoteFolderIcon()
{
    static const QIcon icon = [] {
        QIcon drawn;
        for (const int size : {16, 24, 32})
            drawn.addPixmap(drawRemoteFolder(size));
        return drawn;
    }();
    return icon;
}
