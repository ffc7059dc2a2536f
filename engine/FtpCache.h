#pragma once
// The on-disk listing cache: one text file per remote folder and kind (its
// folders or its files), keyed by server, port, user and path. Every failure
// is silent: a missing, stale or broken file is a miss, a failed write is
// dropped.

#include <QString>

class TVexFtpFileInfoList;

// The cache folder, the cleaned "server[port]-(user)-path" text, ".cache" and
// "d" (directories) or "f" (files). Users "ftp" and "anonymous" (any case)
// share the anonymous name "server[port]-path".
QString CacheFileName(const QString &server, const QString &user, const QString &path,
                      bool directories, int port);

// Writes list to fileName (lines ended by CR LF), creating the cache folder
// when needed. A list holding a line break in any value is not cached: the
// file would read back shifted, so any older file of that name is removed.
void WriteListCache(const QString &fileName, const TVexFtpFileInfoList &list);

// Fills list from fileName. False when the file is missing, stale (with
// expireDays > 0, Today() >= DateStamp(last write) + expireDays) or broken; a
// broken file leaves the entries read before the fault.
bool ReadListCache(const QString &fileName, TVexFtpFileInfoList &list, int expireDays);

// Deletes the folder files (purgeDirectories) and/or the file files
// (purgeFiles) last written expireDays or more days before Today(); nothing
// when neither is asked or expireDays <= 0. Returns how many were deleted.
int PurgeListCache(bool purgeDirectories, bool purgeFiles, int expireDays);

// DateStamp of the local date when the cache was first used, taken again
// after a failed write.
int Today();
