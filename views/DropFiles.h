#pragma once
// Files dragged from the desktop or a file manager arrive as a URI list
// (text/uri-list). Only local files can be uploaded, so remote URLs in the
// same drag are left out.

#include <QStringList>

class QMimeData;

// Whether the drag carries at least one local file.
bool CarriesLocalFiles(const QMimeData *mime);

// The full local paths of the dragged files, in the order of the drag.
QStringList LocalFilesOf(const QMimeData *mime);
