#pragma once

#include <QPoint>
#include <QRect>

#include <algorithm>

namespace vorlune::base {

// The top-left corner that puts `frame` inside `available`, moved the least:
// unchanged where it fits; along a side where it is larger than the area,
// at the area's left or top edge, so its title and menus stay reachable.
inline QPoint fitOnScreen(const QRect &frame, const QRect &available)
{
    const auto fit = [](int start, int length, int areaStart, int areaLength) {
        if (length >= areaLength)
            return areaStart;
        return std::clamp(start, areaStart, areaStart + areaLength - length);
    };
    return {fit(frame.left(), frame.width(), available.left(), available.width()),
            fit(frame.top(), frame.height(), available.top(), available.height())};
}

} // namespace vorlune::base
