#pragma once

#include <algorithm>
#include <cstdint>
#include <functional>
#include <string>

class TObject;

struct TPoint {
    int32_t x = 0;
    int32_t y = 0;
    friend bool operator==(const TPoint&, const TPoint&) = default;
};

// Right and bottom are exclusive.
struct TRect {
    int32_t left = 0;
    int32_t top = 0;
    int32_t right = 0;
    int32_t bottom = 0;

    int32_t Width() const { return right - left; }
    int32_t Height() const { return bottom - top; }
    bool IsEmpty() const { return right <= left || bottom <= top; }
    bool Contains(TPoint p) const { return p.x >= left && p.x < right && p.y >= top && p.y < bottom; }
    TRect Intersect(const TRect& o) const
    {
        return {std::max(left, o.left), std::max(top, o.top), std::min(right, o.right), std::min(bottom, o.bottom)};
    }
    TRect Offset(int32_t dx, int32_t dy) const { return {left + dx, top + dy, right + dx, bottom + dy}; }
    friend bool operator==(const TRect&, const TRect&) = default;
};

inline TRect Rect(int32_t left, int32_t top, int32_t right, int32_t bottom)
{
    return {left, top, right, bottom};
}
inline TRect Bounds(int32_t left, int32_t top, int32_t width, int32_t height)
{
    return {left, top, left + width, top + height};
}

// Every click, change and menu handler takes the sender.
using TNotifyEvent = std::function<void(TObject* sender)>;
