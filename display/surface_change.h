#pragma once

#include <cstdint>
#include <vector>

#include "display/bitmap.h"

// What drawing one block did to the columns of the surface, in the order it
// happened: bands of columns moved sideways, and columns drawn anew; or, for
// a view that moves nothing, the rectangles it drew into. A window that
// shows the surface can then move the pixels it already shows and show
// again only what no move accounts for.
class SurfaceChange {
public:
    // Columns [left, right).
    struct Span {
        int32_t left;
        int32_t right;
    };
    // Within `band`, every column x took what column x - dx held.
    struct Move {
        Span band;
        int32_t dx;
    };

    // Anything may have changed.
    static SurfaceChange Whole();

    // Within columns [left, right), column x took what x - dx held; the
    // columns of the band that had nothing in it to take count as new.
    void Moved(int32_t left, int32_t right, int32_t dx);
    // Columns [left, right) were drawn into, in any rows.
    void Drawn(int32_t left, int32_t right);
    // Only the pixels of `rect` were drawn into (a view that moves nothing).
    void DrawnRect(const RECT& rect);

    bool IsWhole() const { return whole; }
    const std::vector<Move>& Moves() const { return moves; }
    // The columns whose pixels the moves do not account for: those drawn,
    // and those a move filled from nothing or from drawn columns. Sorted,
    // apart and not touching.
    const std::vector<Span>& NewColumns() const { return fresh; }
    const std::vector<RECT>& Rects() const { return rects; }

private:
    void Add(Span span);

    bool whole = false;
    std::vector<Move> moves;
    std::vector<Span> fresh;
    std::vector<RECT> rects;
};
