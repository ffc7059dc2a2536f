#pragma once
// Type names of files and folders as the file lists show them and sort by.
// A file's type is found from its name alone: no file is ever touched.

#include <QString>

// The description of a file's type in the user's language, chosen by the
// extension (the text after the last "."). An extension the system does not
// know gives the extension in capitals followed by " file"; a name without
// extension gives "File". At most 80 characters.
QString FileTypeName(const QString &fileName);

// The folder texts by which other parts of the program recognise folders;
// compare against these, never against literals.
QString LocalFolderTypeName();  // the local file list's folders
QString QuickFolderTypeName();  // the quick explorer's folders
QString RemoteFolderTypeName(); // the remote list's own folder rows

// The type column of the local file list and of the quick explorer: the
// folder text of that list for a folder, FileTypeName otherwise.
QString LocalEntryTypeName(const QString &name, bool isFolder);
QString QuickEntryTypeName(const QString &name, bool isFolder);
