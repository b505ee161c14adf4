#include "framework/window_placement.h"

#include "store/profile.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

#include <algorithm>
#include <cstdint>

namespace {

// Rectangles in 64 bits: stored values may be anywhere in the int range.
struct Span {
    int64_t low;
    int64_t high;  // exclusive
};

int64_t Overlap(Span a, Span b)
{
    return std::max<int64_t>(0, std::min(a.high, b.high) - std::max(a.low, b.low));
}

// The part of `wanted` that fits into `area`, moved inside it.
Span Fit(Span wanted, Span area)
{
    const int64_t length = std::min(wanted.high - wanted.low, area.high - area.low);
    const int64_t low = std::clamp(wanted.low, area.low, area.high - length);
    return {low, low + length};
}

} // namespace

bool PlaceStoredRectangle(int left, int top, int right, int bottom, const std::vector<QRect>& screens,
                          QRect& placed)
{
    if (!(left < right && top < bottom))
        return false;
    const Span x{left, right};
    const Span y{top, bottom};
    int64_t bestArea = 0;
    for (const QRect& screen : screens) {
        const Span sx{screen.left(), int64_t(screen.left()) + screen.width()};
        const Span sy{screen.top(), int64_t(screen.top()) + screen.height()};
        const int64_t area = Overlap(x, sx) * Overlap(y, sy);
        if (area <= bestArea)
            continue;
        bestArea = area;
        const Span px = Fit(x, sx);
        const Span py = Fit(y, sy);
        placed = QRect(int(px.low), int(py.low), int(px.high - px.low), int(py.high - py.low));
    }
    return bestArea > 0;
}

QRect PlaceCentred(const QSize& size, const QRect& screen)
{
    QRect placed(QPoint(0, 0), size.boundedTo(screen.size()));
    placed.moveCenter(screen.center());
    return placed;
}

QRect PlaceBeside(const QRect& main, const QSize& size, const QRect& screen, int gap)
{
    const int height = std::min(size.height(), screen.height());
    const int top = std::clamp(main.top(), screen.top(), screen.top() + screen.height() - height);
    int left = main.left() + main.width() + gap;
    if (left + size.width() > screen.left() + screen.width()) {
        left = main.left() - gap - size.width();
        if (left < screen.left())
            left = screen.left() + screen.width() - size.width();
    }
    return QRect(left, top, size.width(), height);
}

bool PlaceBelow(const QRect& main, const QSize& size, const QRect& screen, int gap, QRect& placed)
{
    const int left = std::max(screen.left(), std::min(main.left(), screen.left() + screen.width() - size.width()));
    const int below = main.top() + main.height() + gap;
    const int above = main.top() - gap - size.height();
    if (below + size.height() <= screen.top() + screen.height())
        placed = QRect(left, below, size.width(), size.height());
    else if (above >= screen.top())
        placed = QRect(left, above, size.width(), size.height());
    else
        return false;
    return true;
}

namespace {

// The frame around `owner`: tool windows are taken to have the same.
QMargins FrameMargins(const QWidget* owner)
{
    const QRect frame = owner->frameGeometry();
    const QRect inside = owner->geometry();
    return QMargins(inside.left() - frame.left(), inside.top() - frame.top(), frame.right() - inside.right(),
                    frame.bottom() - inside.bottom());
}

} // namespace

void PlaceBesideOwner(QWidget* tool)
{
    const QWidget* owner = tool->parentWidget();
    if (!owner || !owner->screen())
        return;
    const QMargins frame = FrameMargins(owner);
    const QSize size = tool->geometry().marginsAdded(frame).size();
    const QRect screen = owner->screen()->availableGeometry();
    tool->setGeometry(PlaceBeside(owner->frameGeometry(), size, screen, ToolWindowGap).marginsRemoved(frame));
}

void PlaceBelowOwner(QWidget* tool)
{
    const QWidget* owner = tool->parentWidget();
    if (!owner || !owner->screen())
        return;
    const QMargins frame = FrameMargins(owner);
    const QSize size = tool->geometry().marginsAdded(frame).size();
    QRect placed;
    if (PlaceBelow(owner->frameGeometry(), size, owner->screen()->availableGeometry(), ToolWindowGap, placed))
        tool->setGeometry(placed.marginsRemoved(frame));
}

bool RestoreStoredRectangle(CProfile& profile, const char* section, QRect& placed, bool positiveCorner)
{
    const int left = profile.ReadInt(section, "Left");
    const int top = profile.ReadInt(section, "Top");
    const int right = profile.ReadInt(section, "Right");
    const int bottom = profile.ReadInt(section, "Bottom");
    if (positiveCorner && (left <= 0 || top <= 0))
        return false;
    std::vector<QRect> screens;
    for (const QScreen* screen : QGuiApplication::screens())
        screens.push_back(screen->availableGeometry());
    return PlaceStoredRectangle(left, top, right, bottom, screens, placed);
}

void StoreRectangle(CProfile& profile, const char* section, const QRect& r)
{
    profile.WriteInt(section, "Left", r.x());
    profile.WriteInt(section, "Top", r.y());
    profile.WriteInt(section, "Right", r.x() + r.width());
    profile.WriteInt(section, "Bottom", r.y() + r.height());
}
