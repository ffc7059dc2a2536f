#pragma once
// Seam for the tests of listing limits only; the program never calls it.

#include <QtGlobal>

// Makes a listing stop after lines lines or bytes bytes of data; 0 goes back
// to the program's own limit.
void SetListingLimitsForTesting(int lines, qint64 bytes);
