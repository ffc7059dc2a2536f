#pragma once
// The program's pictures: its own icon, drawn rather than shipped, and the
// tool-bar icons, taken from the desktop's icon theme with the style's
// built-in icons when no theme provides them.

#include <QIcon>
#include <QStyle>

QIcon VelmarIcon();
QPixmap VelmarPicture(int size);
QIcon ThemedIcon(const QString &themeName, QStyle::StandardPixmap fallback);
