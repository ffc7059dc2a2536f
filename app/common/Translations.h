#pragma once
// The program speaks French only: Qt's own texts (standard buttons, file and
// folder choosers, input boxes) come from Qt's French catalogue whatever the
// system's language, and dates, month and day names and numbers are French
// unless the system's locale is already a French one (whose own formats are
// then kept). Without this, a stock "Cancel" or "December" would stand
// among the program's French texts.

// Installs both, once per application. False when Qt's French catalogue
// (qtbase_fr, Debian package qt6-translations-l10n) is not installed: Qt's
// texts then stay English, the locale is French all the same.
bool InstallFrenchInterface();
