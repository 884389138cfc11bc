#pragma once
// Where a window opens beside another, wholly inside the screen's available area.

#include <QMargins>
#include <QRect>

// The frame rectangle for a window of `size` (its frame included) beside `main` (its frame): to
// its right where that fits, else to its left, else overlapping it at the area's right edge;
// shrunk to the area where larger, moved into it where a kept place lies partly outside.
QRect placeBeside(const QRect &main, const QSize &size, const QRect &available);
// A kept frame rectangle, moved (and shrunk) wholly into the area; an empty one when too little
// of it lies there to count as the place the user chose.
QRect keptInside(const QRect &kept, const QRect &available);
