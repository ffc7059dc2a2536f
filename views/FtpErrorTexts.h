#pragma once
// What the user is shown for an error of the client: the client's own text
// whenever it gave one, otherwise a short French text naming what the code
// means, so that no failure passes in silence. The protocol log and the
// window's status bar both show it.

#include "FtpCodes.h"

#include <QString>

// The meaning of an error code, for errors raised without a text.
QString FtpErrorMeaning(FtpError error);
// clientText when it holds more than blanks and control characters,
// otherwise FtpErrorMeaning(error).
QString FtpErrorShownText(FtpError error, const QString &clientText);
