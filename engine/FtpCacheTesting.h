#pragma once
// Seams for the tests of the listing cache only; the program never calls them.

#include <QString>

// Makes Today() return stamp (yyyymmdd); 0 goes back to the real date.
void SetListCacheTodayForTesting(int stamp);
// Moves the cache folder (ending in "/"); an empty text goes back to the
// program's own folder.
void SetListCacheDirectoryForTesting(const QString &directory);
