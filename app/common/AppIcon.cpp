#include "AppIcon.h"

#include "WidgetHelpers.h"

#include <QAction>
#include <QApplication>
#include <QFont>
#include <QLabel>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QToolBar>

QPixmap VelmarPicture(int size)
{
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    const qreal s = size;
    QLinearGradient gradient(0, 0, 0, s);
    gradient.setColorAt(0, QColor(40, 110, 200));
    gradient.setColorAt(1, QColor(15, 55, 130));
    p.setPen(Qt::NoPen);
    p.setBrush(gradient);
    p.drawRoundedRect(QRectF(s * 0.04, s * 0.04, s * 0.92, s * 0.92), s * 0.18, s * 0.18);

    QFont font(QStringLiteral("sans-serif"));
    font.setBold(true);
    font.setItalic(true);
    font.setPixelSize(int(s * 0.62));
    p.setFont(font);
    p.setPen(Qt::white);
    p.drawText(QRectF(0, -s * 0.06, s * 0.86, s), Qt::AlignCenter, QStringLiteral("V"));

    // A small arrow going down: the program fetches files.
    QPainterPath arrow;
    arrow.moveTo(s * 0.70, s * 0.56);
    arrow.lineTo(s * 0.90, s * 0.56);
    arrow.lineTo(s * 0.80, s * 0.76);
    arrow.closeSubpath();
    p.setBrush(QColor(255, 150, 30));
    p.setPen(Qt::NoPen);
    p.drawPath(arrow);
    return pixmap;
}

QIcon VelmarIcon()
{
    QIcon icon;
    for (int size : {16, 24, 32, 48, 64, 128})
        icon.addPixmap(VelmarPicture(size));
    return icon;
}

QIcon ThemedIcon(const QString &themeName, QStyle::StandardPixmap fallback)
{
    return QIcon::fromTheme(themeName, QApplication::style()->standardIcon(fallback));
}

QLabel *VelmarBanner(QWidget *parent, const char *objectName, const QString &title, int pictureWidth)
{
    const int height = 26;
    const QColor blue(15, 55, 130);
    QPixmap picture(pictureWidth, height);
    picture.fill(blue);
    QPainter painter(&picture);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.drawPixmap(4, 2, VelmarPicture(height - 4));
    QFont font(QStringLiteral("sans-serif"));
    font.setBold(true);
    font.setItalic(true);
    font.setPixelSize(15);
    painter.setFont(font);
    painter.setPen(Qt::white);
    painter.drawText(QRect(height + 6, 0, pictureWidth - height - 10, height), Qt::AlignVCenter | Qt::AlignLeft, title);
    painter.end();
    auto *banner = new QLabel(parent);
    banner->setObjectName(QLatin1String(objectName));
    banner->setPixmap(picture);
    banner->setFixedHeight(height);
    banner->setMinimumWidth(40);
    banner->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
    banner->setStyleSheet(QStringLiteral("background-color: rgb(15, 55, 130);"));
    return banner;
}

QAction *ToolAction(QObject *owner, const char *name, const QString &text, const char *theme,
                    QStyle::StandardPixmap fallback)
{
    return Named(new QAction(ThemedIcon(QLatin1String(theme), fallback), text, owner), name);
}

TViewStyleActions AddViewStyleActions(QObject *owner, QToolBar *bar, const char *largeName, const char *listName,
                                      const char *detailsName)
{
    TViewStyleActions actions;
    actions.large = ToolAction(owner, largeName, QStringLiteral("Grandes icones"), "view-list-icons",
                               QStyle::SP_FileDialogContentsView);
    actions.list = ToolAction(owner, listName, QStringLiteral("Liste"), "view-list-compact",
                              QStyle::SP_FileDialogListView);
    actions.details = ToolAction(owner, detailsName, QStringLiteral("Détails"), "view-list-details",
                                 QStyle::SP_FileDialogDetailedView);
    bar->addActions({actions.large, actions.list, actions.details});
    return actions;
}
