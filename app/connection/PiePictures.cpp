#include "PiePictures.h"

#include <QPainter>
#include <QPixmap>
#include <array>

namespace {
QPixmap DrawPie(int index)
{
    QPixmap picture(PiePictureSize, PiePictureSize);
    picture.fill(Qt::transparent);
    QPainter painter(&picture);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF disc(2.5, 2.5, PiePictureSize - 5, PiePictureSize - 5);
    painter.setPen(QPen(QColor(64, 64, 64), 1));
    painter.setBrush(Qt::white);
    painter.drawEllipse(disc);
    painter.setBrush(QColor(0, 102, 204));
    // Qt counts angles in sixteenths of a degree, anticlockwise from three
    // o'clock: start at twelve and go clockwise.
    const int filled = (index + 1) * 360 * 16 / PiePictureCount;
    if (index + 1 == PiePictureCount)
        painter.drawEllipse(disc);
    else
        painter.drawPie(disc, 90 * 16, -filled);
    return picture;
}
}

const QPixmap &PiePicture(int index)
{
    static const std::array<QPixmap, PiePictureCount> pictures = [] {
        std::array<QPixmap, PiePictureCount> all;
        for (int i = 0; i < PiePictureCount; ++i)
            all[size_t(i)] = DrawPie(i);
        return all;
    }();
    return pictures[size_t(qBound(0, index, PiePictureCount - 1))];
}

int PiePictureFor(qint64 position, qint64 maximum)
{
    if (maximum <= 0 || position < 0 || position == maximum)
        return NoPiePicture;
    // Whole percent, truncated, without the rounding of floating point.
    const qint64 percent = position / maximum * 100 + position % maximum * 100 / maximum;
    if (percent == 0)
        return KeepPiePicture;
    // Picture k once the percentage is above 6 k.
    return int(qMin<qint64>(PiePictureCount - 1, (percent - 1) / 6));
}
