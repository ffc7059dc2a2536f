#pragma once
// Changing the extension of a file name, as the archive and export commands
// name their files: "REPORT.TXT" with ".zip" gives "REPORT.zip".

#include <QString>

// path with its extension (the part of the file name from its last "." on)
// replaced by extension, or with extension appended when the file name has
// none. Only the file name counts: "/data/a.txt/NOTES" gains the extension.
// A name whose only "." is its first character (".profile") is a hidden
// file without extension, so the extension is appended.
QString ChangeFileExt(const QString &path, const QString &extension);
