#include "resultswindow/WindowPlacement.h"

#include <algorithm>
#include <cmath>

namespace morvane {
namespace {

// The gap left between the two frames.
constexpr int kGap = 8;

// `value` moved into [low, high], low winning when the range is empty.
int Within(int value, int low, int high) {
    return std::max(low, std::min(value, high));
}

}  // namespace

QRect PlaceBeside(const QRect& available, const QRect& owner, QSize wanted, QSize minimum) {
    const int height = std::min(std::max(wanted.height(), minimum.height()), available.height());
    const int leastWidth = std::min(minimum.width(), available.width());
    const int width = std::min(std::max(wanted.width(), leastWidth), available.width());
    const int top = Within(owner.top(), available.top(), available.bottom() + 1 - height);

    // The owner's sides as far as they are on the free area.
    const int ownerLeft = std::min(owner.left(), available.right() + 1);
    const int ownerRight = std::max(owner.right(), available.left() - 1);
    const int rightRoom = available.right() - ownerRight - kGap;
    const int leftRoom = ownerLeft - available.left() - kGap;
    if (rightRoom >= leastWidth) {
        const int w = std::min(width, rightRoom);
        return {available.right() + 1 - rightRoom, top, w, height};
    }
    if (leftRoom >= leastWidth) {
        const int w = std::min(width, leftRoom);
        return {ownerLeft - kGap - w, top, w, height};
    }
    const int left = rightRoom >= leftRoom ? available.right() + 1 - width : available.left();
    return {left, top, width, height};
}

}  // namespace morvane

namespace morvane {

QSize WantedSize(QSize available, QSize least, qint64 largestArea) {
    const qint64 area = qint64{available.width()} * available.height();
    QSize wanted = available;
    if (area > largestArea) {
        const double scale = std::sqrt(static_cast<double>(largestArea) / static_cast<double>(area));
        wanted =
            QSize(static_cast<int>(available.width() * scale), static_cast<int>(available.height() * scale));
    }
    return wanted.expandedTo(least).boundedTo(available);
}

}  // namespace morvane
