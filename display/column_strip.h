#pragma once

#include <cstdint>
#include <memory>
#include <vector>

// The columns of a scrolling view collected into one picture, oldest at the
// left. At its natural width every column is kept; scaled to a set width, a
// column at time t lands in picture column floor(t * width / duration), and
// where several land in one, each pixel keeps the loudest: the colour that
// stands highest in the colour table, so that peaks are never averaged away.
// Colours outside the table (grid lines, note markers) stand above it, black
// outside it below it.
class CColumnStrip {
public:
    // A picture `height` rows high; `width` 0 for the natural width, else
    // the width of the picture and `duration` the time it covers (blocks).
    CColumnStrip(int height, int width, int64_t duration);

    // Adds a column of `height` pixels (0x00RRGGBB; the top byte is not
    // read) at stride `stride` pixels, for time `time` (0 .. duration - 1).
    void Add(const uint32_t* column, int stride, int64_t time);

    // Adds the columns of `later`, a strip of the same size drawn of the
    // time after this one's (scaled: of any time).
    void Append(const CColumnStrip& later);

    int Width() const { return width ? width : static_cast<int>(columns); }
    int Height() const { return height; }
    int64_t Columns() const { return columns; }
    // The picture, rows top-down, 0xFFRRGGBB.
    std::vector<uint32_t> Pixels() const;

private:
    uint16_t RankOf(uint32_t colour) const;

    int height;
    int width;
    int64_t duration;
    int64_t columns = 0;
    // Natural width: the columns one after the other. Scaled: the picture,
    // column by column, and each pixel's rank.
    std::vector<uint32_t> pixels;
    std::vector<uint16_t> ranks;
    // By 24-bit colour, scaled only; copies of a strip share it.
    std::shared_ptr<const std::vector<uint16_t>> rankOfColour;
};
