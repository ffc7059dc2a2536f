#pragma once
// Icons for files and folders, chosen from names alone: no file is touched,
// so remote entries get the same icons as local ones. The desktop's icon
// theme is asked first; without one (or without a match) the widget style's
// standard icons serve, and drawn icons when even those are missing.
// GUI thread only.

#include <QIcon>
#include <QString>

// The icon of a file of that name, chosen by its extension and remembered
// per extension.
QIcon FileIconForName(const QString &fileName);

// A closed folder.
QIcon FolderIcon();
// An open folder (shown for the selected node of a folder tree).
QIcon OpenFolderIcon();
