#pragma once
// The picture of a remote site's root in the folder tree: a folder with a
// network mark, drawn here so that it looks the same with or without an
// icon theme.

#include <QIcon>

QIcon RemoteFolderIcon();
