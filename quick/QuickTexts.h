#pragma once
// The quick explorer's own texts (French, as the user reads them) and the
// formatting of its messages: "%s" takes the next argument, "%N:s" argument
// N (and the ones after it next), "%%" is a percent sign.

#include <QString>
#include <QStringList>

namespace QuickTexts {

// A transfer's progress when the panel has no progress hook: percentage,
// "%", speed in kb/s, remaining time.
inline const QString Progress = QStringLiteral("%0:s%1:s à %2:s kb/sec. (temps restant: %3:s)");
// The upload worker, before each file and before each folder it creates.
inline const QString CopyInProgress = QStringLiteral("Copie en cours \"%s\"");
inline const QString FolderCreated = QStringLiteral("Répertoire créé \"%s\"");

// Local file failures (the file's path, then the system's reason).
inline const QString LocalOpenFailed = QStringLiteral("Impossible d'ouvrir le fichier local \"%0:s\" : %1:s");
inline const QString LocalCreateFailed = QStringLiteral("Impossible de créer le fichier local \"%0:s\" : %1:s");
inline const QString LocalReadFailed = QStringLiteral("Impossible de lire le fichier local \"%0:s\" : %1:s");
inline const QString LocalWriteFailed = QStringLiteral("Impossible d'écrire le fichier local \"%0:s\" : %1:s");
inline const QString LocalFolderUnreadable = QStringLiteral("Impossible de lire le répertoire local \"%0:s\"");
// A remote folder of a folder upload that cannot be entered: its local
// counterpart is left out.
inline const QString RemoteFolderSkipped = QStringLiteral("Répertoire distant \"%0:s\" inaccessible, son contenu n'est pas copié");

} // namespace QuickTexts

QString FormatQuickMessage(const QString &format, const QStringList &args);
