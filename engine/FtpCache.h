#pragma once
// The on-disk listing cache: one text file per remote folder and kind (its
// folders or its files), keyed by server, port, user and path. Every failure
// is silent: a missing, stale or broken file is a miss, a failed write is
// dropped.

#include <QString>

class TVexFtpFileInfoList;

// The cache folder, the cleaned "server[port]-(user)-path" text, ".cache" and
// "d" (directories) or "f" (files). Users "ftp" and "anonymous" (any case)
// share the anonymous name "server[port]-path". Slashes become "-" and ":"
// becomes "~" as before; every character that would make two texts meet in
// one name ("-", "~", "\", '"', "*", "?", the brackets and parentheses that
// frame the parts, and "%" itself) is written %XX first, so that distinct
// servers, users or paths never share a file ("/a/b" gives "-a-b", "/a-b"
// gives "-a%2Db"). Ordinary paths keep their plain names.
QString CacheFileName(const QString &server, const QString &user, const QString &path,
                      bool directories, int port);

// Writes list to fileName (lines ended by CR LF, readable and writable by the
// user only), creating the cache folder when needed. A list holding a line
// break in any value is not cached: the file would read back shifted, so any
// older file of that name is removed.
void WriteListCache(const QString &fileName, const TVexFtpFileInfoList &list);

// Fills list from fileName. False when the file is missing, stale (with
// expireDays > 0, Today() >= DateStamp(last write) + expireDays) or broken; a
// broken file leaves the entries read before the fault.
bool ReadListCache(const QString &fileName, TVexFtpFileInfoList &list, int expireDays);

// The folders of a cached folder list as the remote tree reads them: from
// any file, whatever its age, without trusting its count. Entry k's name is
// line 2 + 8k and its link line 6 + 8k (from 1); an entry counts when its
// name line is not the file's last line, so a file torn in its last entry
// still gives the entries before it, and a file of fewer than six lines gives
// none. Each entry holds the lines it has (the others stay empty). Reading
// stops at a line longer than a listing value can be, as if the file ended
// there. False only when the file cannot be read at all.
bool ReadCachedFolders(const QString &fileName, TVexFtpFileInfoList &folders);

// Sets up the cache folder (created, readable by the user only), then
// deletes the folder files (purgeDirectories) and/or the file files
// (purgeFiles) last written expireDays or more days before Today(); nothing
// when neither is asked or expireDays <= 0. Returns how many were deleted.
// The program calls it once at start-up. A folder still holding files named
// the way earlier versions named them (without the %XX escapes) loses them
// all here, once, whatever the arguments: such a name may stand for two
// folders, and a cache is only a shortcut.
int PurgeListCache(bool purgeDirectories, bool purgeFiles, int expireDays);

// DateStamp of the local date when the cache was first used, taken again
// after a failed write.
int Today();
