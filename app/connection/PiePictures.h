#pragma once
// The transfer pie: sixteen pictures of a disc filling up clockwise from the
// top, picture k holding k + 1 sixteenths (picture 15 is the whole disc).

#include <QtGlobal>

class QPixmap;

constexpr int PiePictureCount = 16;
constexpr int PiePictureSize = 32;

// Drawn once, on first use (a GUI application must exist).
const QPixmap &PiePicture(int index);

// What the pie shows for position bytes of maximum: a picture index, none
// (an unknown or empty maximum, or a finished transfer), or, while less than
// one percent has moved, whatever it already shows.
constexpr int NoPiePicture = -1;
constexpr int KeepPiePicture = -2;
int PiePictureFor(qint64 position, qint64 maximum);
