#pragma once
// The preferences: seventeen text values under the key "Velmar" in the
// user's configuration folder. Numbers are decimal texts, booleans "oui" or
// "non". The key "exists" once the program has saved it: a first run finds
// nothing and keeps every designed default.

#include <QSettings>
#include <QString>
#include <QStringList>
#include <memory>

namespace Pref {
inline const QString Startup = QStringLiteral("Démarrage");
inline const QString Downloads = QStringLiteral("téléchargement");
inline const QString Left = QStringLiteral("Position horizontale");
inline const QString Top = QStringLiteral("Position verticale");
inline const QString Width = QStringLiteral("Largeur");
inline const QString Height = QStringLiteral("Hauteur");
inline const QString AsciiMode = QStringLiteral("Mode Ascii");
inline const QString PassiveMode = QStringLiteral("Mode Passif");
inline const QString AutoDial = QStringLiteral("Activer");
inline const QString HangUpOnQuit = QStringLiteral("Déconnecter");
inline const QString Tray = QStringLiteral("Tray");
inline const QString Noop = QStringLiteral("Noop");
inline const QString Scheduler = QStringLiteral("Programmation");
inline const QString Compression = QStringLiteral("Compression");
inline const QString ArchivePlace = QStringLiteral("Création archive");
inline const QString DeleteArchive = QStringLiteral("Effacer archive");
inline const QString DefaultSite = QStringLiteral("Selection par défaut");

inline const QString Yes = QStringLiteral("oui");
inline const QString No = QStringLiteral("non");
}

// The seventeen names in the order start-up reads them and in the order
// shutdown writes them.
QStringList PreferenceReadOrder();
QStringList PreferenceWriteOrder();

// The key, or nothing when the program never saved it.
std::unique_ptr<QSettings> OpenPreferences();
// The key, created when missing.
std::unique_ptr<QSettings> CreatePreferences();

// Whether the saved "Tray" value is exactly "oui" (read again just before
// the event loop starts).
bool TrayPreferenceSet();
