#pragma once
// Every address the program hands to the desktop (help page, web page of a
// profile, mail link, fetched files) goes through here, so that tests can
// record them instead of starting a browser.

#include <QUrl>
#include <functional>

class QWidget;

using TUrlOpener = std::function<bool(const QUrl &url)>;

// Opens url with the desktop's default program; false when no program of the
// desktop took it (no desktop opener installed, or none for that kind).
bool OpenUrl(const QUrl &url);
// Replaces the desktop for the tests; an empty function goes back to it.
void SetUrlOpener(const TUrlOpener &opener);

// Opens url and, when the desktop does not take it, says so in a message box
// (through the prompt seam): what could not be opened (what, e.g. "la page
// web « … »"), that the desktop opener is missing, and where the help file
// is, so that the user can still read the help. Returns OpenUrl's answer.
bool OpenUrlOrTell(QWidget *parent, const QUrl &url, const QString &what);
// The text of that message.
QString OpenFailureText(const QString &what);
