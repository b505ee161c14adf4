#pragma once

#include <QRect>

#include <vector>

// Where a window rectangle stored in the INI file may be restored: the
// stored rectangle (left, top, right, bottom; right and bottom exclusive)
// with its size clamped to the available area of the screen it overlaps
// most, moved as little as needed to lie inside that area. False, for the
// default placement, when the rectangle is empty or inverted or overlaps no
// screen. Any int values are safe.
bool PlaceStoredRectangle(int left, int top, int right, int bottom, const std::vector<QRect>& screens,
                          QRect& placed);

// Where windows go when no rectangle is stored, in frame rectangles on the
// available area of `screen`.
// The main window: centred.
QRect PlaceCentred(const QSize& size, const QRect& screen);
// A tool window beside `main`: right of it where it fits, else left of it,
// `gap` pixels away, top edges aligned (moved up only as far as needed to
// fit the screen, and its height cut to the screen's). Where neither side
// has room it goes to the screen's right edge, so that it covers no more
// than its own width of the main window's right side.
QRect PlaceBeside(const QRect& main, const QSize& size, const QRect& screen, int gap);
// A tool window below `main` where it fits, else above it, left edges
// aligned; false when neither has room.
bool PlaceBelow(const QRect& main, const QSize& size, const QRect& screen, int gap, QRect& placed);

// The gap between a tool window and the main window, in pixels.
constexpr int ToolWindowGap = 8;

class QWidget;
// `tool` placed beside its owner with PlaceBeside, or below it with
// PlaceBelow (where there is room), on the owner's screen; frames are taken
// to be as wide as the owner's.
void PlaceBesideOwner(QWidget* tool);
void PlaceBelowOwner(QWidget* tool);

class CProfile;

// The rectangle stored under `section` ("Left", "Top", "Right", "Bottom"),
// placed as above on the current screens; false for the default placement.
// With `positiveCorner`, also false unless Left > 0 and Top > 0.
bool RestoreStoredRectangle(CProfile& profile, const char* section, QRect& placed, bool positiveCorner = false);
// Stores `r` (screen coordinates) under `section`, in the order "Left",
// "Top", "Right", "Bottom".
void StoreRectangle(CProfile& profile, const char* section, const QRect& r);
