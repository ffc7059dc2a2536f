#pragma once
// What a scheduled run takes from the program text: the profile named by
// its reference line, the remote folder the client enters at login, and the
// files it transfers (with the local path each download is written to, and
// the compression each marked upload line asks for). QtCore only.
//
// Entries of the candidate lists join the profile's name field, its host
// field and the remote folder with ":" ("profile:host:/pub", and
// "profile:host:/pub:readme.txt" for a file); the "site prefix" is the name
// and host followed by ":" each ("profile:host:").

#include <QString>
#include <QStringList>
#include <optional>

// The profile name of a reference line: its text before the first ":" (the
// whole line when it has none).
QString ProfileNameOf(const QString &referenceLine);
// name + ":" + host + ":".
QString SitePrefix(const QString &name, const QString &host);
// The remote folder of an entry of the site named by prefix: what follows
// the first occurrence of prefix, up to the next ":". Nothing when the line
// does not hold the prefix (it belongs to another site, or the site's
// profile has changed since it was marked).
std::optional<QString> RemoteFolderOf(const QString &line, const QString &prefix);

// The downloads of a download program (lines 9 onwards), for a run whose
// client entered runFolder at login (the folder of line 9).
struct TScheduledDownloads {
    // In program order, in step: what the client fetches and where it writes.
    QStringList remoteNames;
    QStringList localPaths;
    // The lines that are not fetched, each with its reason (French).
    QStringList problems;
};
// Line 5 is the local folder, a full path. Each item line of the site named
// by prefix gives its remote name (what follows the folder's ":"), relative
// to runFolder when it lies there, otherwise its full path, so that a file
// marked in another folder of the site is fetched from that folder. Its
// local path follows LocalNames.h: a name that would not stay inside the
// local folder is refused. Blank lines are skipped.
TScheduledDownloads PlanDownloads(const QStringList &lines, const QString &prefix, const QString &runFolder);

// The uploads of an upload program (lines 9 onwards), into the folder the
// client entered at login.
enum class TUploadKind {
    Send,            // the file itself is sent
    Compress,        // "Compression locale": packed into an archive beside it, not sent
    CompressAndSend, // "Compression et envoi": packed, then the archive is sent
};
struct TScheduledUpload {
    TUploadKind kind = TUploadKind::Send;
    QString localPath;   // the file named by the line (without its marker)
    QString archivePath; // the archive to create (compressions only)
    QString remoteName;  // the name sent: the file's own name, or the archive's
    // The path the client sends: the file, or the archive.
    QString SentPath() const { return kind == TUploadKind::Send ? localPath : archivePath; }
};
struct TScheduledUploads {
    QList<TScheduledUpload> items; // in program order
    QStringList problems;          // lines not handled, each with its reason (French)
};
// A line is a full local path; one ending with the marker "Compression
// locale" or "Compression et envoi" names the file before the marker, which
// is packed alone into an archive beside it (its extension replaced by
// ".zip") and, for the second, sent under its name + ".zip". Blank lines
// are skipped.
TScheduledUploads PlanUploads(const QStringList &lines);
