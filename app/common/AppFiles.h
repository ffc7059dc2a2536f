#pragma once
// Where the program keeps the files it reads and writes "beside the
// executable" (velmar.ini, programmation.ini, exported listings): the
// executable's folder when it is writable, otherwise the per-user data
// folder. The choice is made once, at the first call of FilesFolder().

#include <QString>

// Names the application so that the per-user folders and the preferences
// are the program's own ("Velmar"). Called by every program of the suite
// before it looks up a folder.
void InitApplicationIdentity();

// The folder chosen for an executable living in executableFolder.
QString ChooseFilesFolder(const QString &executableFolder);

// The folder chosen for this process (ends without "/").
QString FilesFolder();
QString FilePathInFilesFolder(const QString &fileName);

// The help page "aide.html": beside the executable when it is there,
// otherwise in the files folder (the path is given even when the file is
// missing, so that a message can name it).
QString HelpFilePath();

// Tests put the files in a temporary folder; an empty text makes the next
// FilesFolder() choose again.
void SetFilesFolderForTesting(const QString &folder);
