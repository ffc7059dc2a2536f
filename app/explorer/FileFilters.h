#pragma once
// The two file filter lists of the explorer tab (remote and local): their
// entries, shown with an icon each, and the pattern of each entry, by
// index.

#include <QString>

class QComboBox;

// Fills list with the entries "Tous", "zip", "txt", ... and selects "Tous".
void FillFilterList(QComboBox *list);
// The pattern of entry index ("*.*", "*.zip", ...); "*.*" for an index
// outside the list.
QString FilterPattern(int index);
// "*.*": every file, whether its name holds a dot or not.
QString AllFilesPattern();
