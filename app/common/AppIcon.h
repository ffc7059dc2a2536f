#pragma once
// The program's pictures: its own icon, drawn rather than shipped, and the
// tool-bar icons, taken from the desktop's icon theme with the style's
// built-in icons when no theme provides them; and the blue banner that
// heads the tabs.

#include <QIcon>
#include <QStyle>

class QAction;
class QLabel;
class QToolBar;
class QWidget;

QIcon VelmarIcon();
QPixmap VelmarPicture(int size);
QIcon ThemedIcon(const QString &themeName, QStyle::StandardPixmap fallback);

// A banner of the program's picture and title on its blue, pictureWidth
// wide, named objectName. It shrinks with its column instead of widening it.
QLabel *VelmarBanner(QWidget *parent, const char *objectName, const QString &title, int pictureWidth);

// A tool-bar action named name, with the theme's icon (or fallback).
QAction *ToolAction(QObject *owner, const char *name, const QString &text, const char *theme,
                    QStyle::StandardPixmap fallback);

// The three view-style buttons "Grandes icones", "Liste" and "Détails" that
// every file list's tool bar carries, added to bar under the given names.
struct TViewStyleActions {
    QAction *large = nullptr;
    QAction *list = nullptr;
    QAction *details = nullptr;
};
TViewStyleActions AddViewStyleActions(QObject *owner, QToolBar *bar, const char *largeName, const char *listName,
                                      const char *detailsName);
