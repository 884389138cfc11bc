#pragma once
// Where the record window opens with the console: wholly inside the screens' available areas.

#include <QList>
#include <QRect>

class QWidget;

struct Arrangement
{
    QRect console; // frame rectangles
    QRect record;
};

// The console's frame `console`, `keep` the part of it that must stay uncovered (same
// coordinates; empty: all of it), the record window's preferred and least frame sizes, and the
// screens' available areas, the console's first. With a second screen the record window goes
// there and the console stays. Where both fit side by side the console moves to the left edge and
// the record window takes the width beside it (at most half as wide again as it prefers). On a
// narrower screen the console moves to the bottom left and the record window goes above `keep`;
// where even its least height does not fit there, it goes to the right edge over the console.
Arrangement arrangeBeside(const QRect &console, const QRect &keep, const QSize &preferred, const QSize &least,
                          const QList<QRect> &areas);
// A kept frame rectangle, moved (and shrunk) wholly into the area; an empty one when too little
// of it lies there to count as the place the user chose.
QRect keptInside(const QRect &kept, const QRect &available);

// Where `window` opens beside `console`, as a frame rectangle: where the user left it (`kept`)
// while that still lies on a screen, else arranged with the console (arrangeBeside over every
// screen, the console's first), the console moved where that says. *frame: the frame's margins
// around a client area, as the console's shows them.
QRect openingPlace(QWidget *window, QWidget *console, const QRect &keep, const QRect &kept, QMargins *frame);
