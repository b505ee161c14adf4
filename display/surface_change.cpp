#include "display/surface_change.h"

#include <algorithm>

SurfaceChange SurfaceChange::Whole()
{
    SurfaceChange change;
    change.whole = true;
    return change;
}

void SurfaceChange::Moved(int32_t left, int32_t right, int32_t dx)
{
    if (left >= right || dx == 0)
        return;
    moves.push_back({{left, right}, dx});
    // New columns inside the band travel with it; those outside stay.
    std::vector<Span> before;
    before.swap(fresh);
    for (const Span& s : before) {
        if (s.left < left)
            Add({s.left, std::min(s.right, left)});
        if (s.right > right)
            Add({std::max(s.left, right), s.right});
        const int32_t l = std::max(s.left, left) + dx;
        const int32_t r = std::min(s.right, right) + dx;
        Add({std::max(l, left), std::min(r, right)});
    }
    // The end of the band the move left without a source.
    if (dx > 0)
        Add({left, std::min(left + dx, right)});
    else
        Add({std::max(right + dx, left), right});
}

void SurfaceChange::Drawn(int32_t left, int32_t right)
{
    Add({left, right});
}

void SurfaceChange::DrawnRect(const RECT& rect)
{
    if (rect.left < rect.right && rect.top < rect.bottom)
        rects.push_back(rect);
}

void SurfaceChange::Add(Span span)
{
    if (span.left >= span.right)
        return;
    // Merged with every span it overlaps or touches.
    auto first = std::lower_bound(fresh.begin(), fresh.end(), span,
                                  [](const Span& a, const Span& b) { return a.right < b.left; });
    auto last = first;
    while (last != fresh.end() && last->left <= span.right) {
        span.left = std::min(span.left, last->left);
        span.right = std::max(span.right, last->right);
        ++last;
    }
    fresh.insert(fresh.erase(first, last), span);
}
