#include "FileIcons.h"

#include <QApplication>
#include <QFileIconProvider>
#include <QHash>
#include <QMimeDatabase>
#include <QMimeType>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QStyle>

namespace {

constexpr int IconSizes[] = {16, 32};

QString extensionOf(const QString &fileName)
{
    const qsizetype slash = qMax(fileName.lastIndexOf(u'/'), fileName.lastIndexOf(u'\\'));
    const qsizetype dot = fileName.lastIndexOf(u'.');
    return dot > slash ? fileName.mid(dot + 1) : QString();
}

// Last resort when neither a theme nor the style has an icon: a plain sheet
// with a folded corner.
QIcon drawnFileIcon()
{
    QIcon icon;
    for (const int size : IconSizes) {
        QPixmap pixmap(size, size);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        painter.setRenderHint(QPainter::Antialiasing);
        const qreal u = size / 16.0;
        QPainterPath sheet;
        sheet.moveTo(3 * u, 1 * u);
        sheet.lineTo(10 * u, 1 * u);
        sheet.lineTo(13 * u, 4 * u);
        sheet.lineTo(13 * u, 15 * u);
        sheet.lineTo(3 * u, 15 * u);
        sheet.closeSubpath();
        painter.setPen(QPen(QColor(90, 90, 90), u));
        painter.setBrush(Qt::white);
        painter.drawPath(sheet);
        painter.drawLine(QPointF(10 * u, 1 * u), QPointF(10 * u, 4 * u));
        painter.drawLine(QPointF(10 * u, 4 * u), QPointF(13 * u, 4 * u));
        icon.addPixmap(pixmap);
    }
    return icon;
}

QIcon drawnFolderIcon(bool open)
{
    QIcon icon;
    for (const int size : IconSizes) {
        QPixmap pixmap(size, size);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        painter.setRenderHint(QPainter::Antialiasing);
        const qreal u = size / 16.0;
        painter.setPen(QPen(QColor(150, 110, 20), u));
        painter.setBrush(QColor(240, 200, 90));
        painter.drawRect(QRectF(1 * u, 4 * u, 14 * u, 10 * u));
        painter.drawRect(QRectF(1 * u, 2.5 * u, 5 * u, 1.5 * u));
        if (open) {
            QPainterPath flap;
            flap.moveTo(3 * u, 7 * u);
            flap.lineTo(15.5 * u, 7 * u);
            flap.lineTo(13.5 * u, 14 * u);
            flap.lineTo(1 * u, 14 * u);
            flap.closeSubpath();
            painter.setBrush(QColor(250, 225, 130));
            painter.drawPath(flap);
        }
        icon.addPixmap(pixmap);
    }
    return icon;
}

QIcon styleIcon(QStyle::StandardPixmap which)
{
    QStyle *style = QApplication::style();
    return style ? style->standardIcon(which) : QIcon();
}

QIcon iconForExtension(const QString &extension)
{
    if (!extension.isEmpty()) {
        const QMimeDatabase database;
        const QMimeType type =
            database.mimeTypeForFile(QStringLiteral("file.") + extension, QMimeDatabase::MatchExtension);
        if (type.isValid() && !type.isDefault()) {
            QIcon icon = QIcon::fromTheme(type.iconName());
            if (icon.isNull())
                icon = QIcon::fromTheme(type.genericIconName());
            if (!icon.isNull())
                return icon;
        }
    }
    static const QIcon plain = [] {
        const QIcon provided = QFileIconProvider().icon(QAbstractFileIconProvider::File);
        return provided.isNull() ? drawnFileIcon() : provided;
    }();
    return plain;
}

} // namespace

QIcon FileIconForName(const QString &fileName)
{
    // Lists of thousands of entries ask once per painted row; the MIME
    // database and the theme lookup are far too slow for that.
    static QHash<QString, QIcon> cache;
    const QString extension = extensionOf(fileName);
    auto it = cache.constFind(extension);
    if (it == cache.constEnd())
        it = cache.insert(extension, iconForExtension(extension));
    return it.value();
}

QIcon FolderIcon()
{
    static const QIcon icon = [] {
        QIcon found = QIcon::fromTheme(QStringLiteral("folder"));
        if (found.isNull())
            found = QFileIconProvider().icon(QAbstractFileIconProvider::Folder);
        return found.isNull() ? drawnFolderIcon(false) : found;
    }();
    return icon;
}

QIcon OpenFolderIcon()
{
    static const QIcon icon = [] {
        QIcon found = QIcon::fromTheme(QStringLiteral("folder-open"));
        if (found.isNull())
            found = styleIcon(QStyle::SP_DirOpenIcon);
        return found.isNull() ? drawnFolderIcon(true) : found;
    }();
    return icon;
}
