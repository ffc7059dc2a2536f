#pragma once
// How the compress commands of the explorer tab name their archive and what
// they hand to the zip engine, from the selected rows of the local file list
// and the archive preferences; the status and question texts of those
// commands. Pure functions: the tab asks the questions and shows the texts.

#include <QList>
#include <QString>
#include <QStringList>

// One selected row of the local file list, in list order.
struct TLocalRow {
    QString Caption;
    bool IsFolder = false; // the row's type is the local folder type
};

// The "&Archives" preference: where an archive of several files or of a
// folder is created.
enum class TArchiveLocation {
    LocalFolder = 0,     // "Créer l'archive dans le répertoire courant"
    TemporaryFolder = 1, // "Créer l'archive dans le répertoire temporaire par défaut"
};

// What one compress command packs and how it names the result.
struct TArchivePlan {
    QStringList FilesList; // full paths, and folder + "/*.*" for a whole tree
    QString ZipName;       // the archive's path
    QString RemoteName;    // the name under which the archive is sent

    bool IsEmpty() const { return FilesList.isEmpty(); }
};

// The wildcard that follows a folder in FilesList for "everything below it".
QString AllFilesWildcard();

// The "Archivage" input box.
QString ArchiveBoxCaption(); // "Archivage"
QString ArchiveBoxLabel();   // "nom de l'archive"
QString ArchiveBoxDefault(); // "*.zip", also the answer of a cancelled box

// Whether the command asks the archive name with the "Archivage" box: only
// when several files are packed and the first selected row is not a folder.
// (A folder first names the archive after itself, so its answer would be
// thrown away.)
bool NeedsArchiveName(const QList<TLocalRow> &selection);

// The plan for the selected rows of localFolder (ending with "/").
// temporaryFolder ends with "/"; answer is the "Archivage" box's answer (a
// cancelled box answers ArchiveBoxDefault()), read only when
// NeedsArchiveName(selection). Nothing selected gives an empty plan.
//  - files only, exactly one: the archive is that file with its extension
//    replaced by ".zip", beside it; sent as its name + ".zip";
//  - files only, several: the archive is (local or temporary folder) +
//    answer, sent as answer;
//  - a folder first: that folder's whole tree and the selected files go into
//    (local or temporary folder) + folder name + ".zip", sent under that
//    name; further selected folders are not packed.
TArchivePlan PlanArchive(const QString &localFolder, const QList<TLocalRow> &selection,
                         TArchiveLocation location, const QString &temporaryFolder,
                         const QString &answer);

// The texts of panel 1 of the explorer tab's status bar while an archive is
// built and once it is complete.
QString CompressionProgressText(const QString &zipName, int percent);
QString CompressionDoneText(const QString &zipName);

// Shown by "Compresser et envoyer" when the client is not connected.
QString NotConnectedArchiveText();

// The question of the remote refresh that deletes a sent archive.
QString DeleteArchiveQuestion(const QString &zipName);

// Marking files for a scheduled compression: the lines the local pop-up adds
// to the scheduler's local-file list, one per selected file (folders are
// skipped), the marker glued to the path.
QString LocalCompressionMarker(); // "Compression locale"
QString SendCompressionMarker();  // "Compression et envoi"
QStringList MarkedForCompression(const QString &localFolder, const QList<TLocalRow> &selection,
                                 bool andSend);
