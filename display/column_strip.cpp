#include "display/column_strip.h"

#include <algorithm>

#include "display/colour_map.h"

namespace {

constexpr uint32_t ColourMask = 0x00FFFFFF;
constexpr uint16_t Unranked = 0;
constexpr uint16_t AboveTable = 0xFFFF;

// The pixel a colour-table entry (0x00BBGGRR) puts in a surface.
uint32_t PixelOf(uint32_t entry)
{
    return (entry & 0xFF) << 16 | (entry & 0xFF00) | (entry >> 16 & 0xFF);
}

} // namespace

CColumnStrip::CColumnStrip(int height, int width, int64_t duration)
    : height(std::max(height, 0)), width(std::max(width, 0)), duration(std::max<int64_t>(duration, 1))
{
    if (this->width == 0)
        return;
    pixels.assign(static_cast<size_t>(this->width) * this->height, 0);
    ranks.assign(pixels.size(), Unranked);
    // Every colour outside the table ranks above it; black, where nothing
    // was drawn, below everything unless the table holds it.
    auto table = std::make_shared<std::vector<uint16_t>>(size_t(1) << 24, AboveTable);
    (*table)[0] = Unranked;
    for (int i = 0; i < ColorMapSize; ++i)
        (*table)[PixelOf(ColorMap[i]) & ColourMask] = static_cast<uint16_t>(1 + i * (AboveTable - 2) / ColorMapSize);
    rankOfColour = std::move(table);
}

uint16_t CColumnStrip::RankOf(uint32_t colour) const
{
    return (*rankOfColour)[colour & ColourMask];
}

void CColumnStrip::Add(const uint32_t* column, int stride, int64_t time)
{
    ++columns;
    if (width == 0) {
        for (int y = 0; y < height; ++y)
            pixels.push_back(column[static_cast<size_t>(y) * stride] & ColourMask);
        return;
    }
    const int64_t x = std::clamp<int64_t>(time * width / duration, 0, width - 1);
    uint32_t* into = &pixels[static_cast<size_t>(x) * height];
    uint16_t* rank = &ranks[static_cast<size_t>(x) * height];
    for (int y = 0; y < height; ++y) {
        const uint32_t colour = column[static_cast<size_t>(y) * stride] & ColourMask;
        const uint16_t r = RankOf(colour);
        if (r > rank[y] || (r == rank[y] && r == AboveTable)) {
            rank[y] = r;
            into[y] = colour;
        }
    }
}

void CColumnStrip::Append(const CColumnStrip& later)
{
    columns += later.columns;
    if (width == 0) {
        pixels.insert(pixels.end(), later.pixels.begin(), later.pixels.end());
        return;
    }
    for (size_t i = 0; i < pixels.size() && i < later.pixels.size(); ++i)
        if (later.ranks[i] > ranks[i] || (later.ranks[i] == ranks[i] && later.ranks[i] == AboveTable)) {
            ranks[i] = later.ranks[i];
            pixels[i] = later.pixels[i];
        }
}

std::vector<uint32_t> CColumnStrip::Pixels() const
{
    const int w = Width();
    std::vector<uint32_t> picture(static_cast<size_t>(w) * height);
    for (int x = 0; x < w; ++x)
        for (int y = 0; y < height; ++y)
            picture[static_cast<size_t>(y) * w + x] = 0xFF000000u | pixels[static_cast<size_t>(x) * height + y];
    return picture;
}
