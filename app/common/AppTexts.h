#pragma once
// Texts of the program that more than one tab or the window shows.

#include <QString>

namespace MainText {
// The program's name: the window caption at design and the caption of every
// message box.
inline const QString Caption = QStringLiteral("Velmar");
// The window caption at run time, before the profile name.
inline const QString CaptionPrefix = QStringLiteral("Velmar : ");
// The current-local-folder labels, before the folder.
inline const QString LocalFolderPrefix = QStringLiteral("Répertoire local en cours: ");
}
