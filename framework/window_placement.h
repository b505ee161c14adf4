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

class CProfile;

// The rectangle stored under `section` ("Left", "Top", "Right", "Bottom"),
// placed as above on the current screens; false for the default placement.
// With `positiveCorner`, also false unless Left > 0 and Top > 0.
bool RestoreStoredRectangle(CProfile& profile, const char* section, QRect& placed, bool positiveCorner = false);
// Stores `r` (screen coordinates) under `section`, in the order "Left",
// "Top", "Right", "Bottom".
void StoreRectangle(CProfile& profile, const char* section, const QRect& r);
