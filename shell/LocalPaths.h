#pragma once
// How the program writes a local folder: an absolute, clean path that always
// ends with "/" ("/" itself is the root, where going up stops). A local path
// is that folder followed directly by a name.

#include <QString>

// folder written that way (relative paths are taken from the working
// folder); an empty text stays empty.
QString LocalFolderPath(const QString &folder);
// The folder above a local folder ("/a/b/" gives "/a/"), or an empty text
// for the root and for an empty text.
QString LocalParentFolder(const QString &folder);
