#pragma once
// The program's pictures: its own icon, drawn rather than shipped, and the
// tool-bar icons, taken from the desktop's icon theme with the style's
// built-in icons when no theme provides them; and the blue banner that
// heads the tabs.

#include <QIcon>
#include <QStyle>

class QLabel;
class QWidget;

QIcon VelmarIcon();
QPixmap VelmarPicture(int size);
QIcon ThemedIcon(const QString &themeName, QStyle::StandardPixmap fallback);

// A banner of the program's picture and title on its blue, pictureWidth
// wide, named objectName. It shrinks with its column instead of widening it.
QLabel *VelmarBanner(QWidget *parent, const char *objectName, const QString &title, int pictureWidth);
