#pragma once
// Every address the program hands to the desktop (help page, web page of a
// profile, mail link, fetched files) goes through here, so that tests can
// record them instead of starting a browser.

#include <QUrl>
#include <functional>

using TUrlOpener = std::function<bool(const QUrl &url)>;

// Opens url with the desktop's default program.
bool OpenUrl(const QUrl &url);
// Replaces the desktop for the tests; an empty function goes back to it.
void SetUrlOpener(const TUrlOpener &opener);
