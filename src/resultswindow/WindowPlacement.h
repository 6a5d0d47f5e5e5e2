#pragma once
// Where a new top-level window goes beside the window it was opened from.

#include <QRect>
#include <QSize>

namespace morvane {

// The frame of a window that would like to be `wanted` (in frame pixels) and
// can be no smaller than `minimum`, opened from a window whose frame is
// `owner`, on a screen whose free area (without panels and docks) is
// `available`. It goes to the right of the owner when that side has room for
// it at its minimum width, else to its left, as wide as it likes up to that
// room; with room on neither side it keeps its wanted width, as far as the
// screen allows, against the screen's edge on the side with more room, over
// that part of the owner. It starts level with the owner's top, or higher
// where it would reach below the bottom, and lies wholly on the free area
// (cut down to it when larger).
QRect PlaceBeside(const QRect& available, const QRect& owner, QSize wanted, QSize minimum);

}  // namespace morvane

namespace morvane {

// The frame size a window would like on a free area of `available`: the free
// area itself, scaled down to at most `largestArea` pixels, and never less
// than `least` (as far as the free area goes).
QSize WantedSize(QSize available, QSize least, qint64 largestArea);

}  // namespace morvane
