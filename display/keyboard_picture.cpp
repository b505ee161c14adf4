#include "display/keyboard_picture.h"

#include "display/colour_map.h"
#include "display/pixel_ops.h"

#include <initializer_list>

namespace {

constexpr int Origin = 20;
constexpr uint32_t HighlightColour = RGB(128, 255, 255);
constexpr uint32_t OutlineColour = RGB(128, 128, 128);

// Key fills in units of 5 pixels: x1, y1, x2, y2.
struct KeyRect {
    int x1, y1, x2, y2;
};
const KeyRect Keys[12] = {
    {1, 8, 5, 14},   {4, 2, 8, 8},    {7, 8, 11, 14},  {10, 2, 14, 8},  {13, 8, 17, 14}, {19, 8, 23, 14},
    {22, 2, 26, 8},  {25, 8, 29, 14}, {28, 2, 32, 8},  {31, 8, 35, 14}, {34, 2, 38, 8},  {37, 8, 41, 14},
};

// The outline in units of 10 pixels, in drawing order.
struct Segment {
    int x1, y1, x2, y2;
};
const Segment Outline[25] = {
    {0, 0, 0, 7},   {0, 7, 21, 7},  {21, 7, 21, 0}, {21, 0, 0, 0},                                    // frame
    {2, 0, 2, 4},   {4, 0, 4, 4},   {5, 0, 5, 4},   {7, 0, 7, 4},   {11, 0, 11, 4},                   // sides
    {13, 0, 13, 4}, {14, 0, 14, 4}, {16, 0, 16, 4}, {17, 0, 17, 4}, {19, 0, 19, 4},                   // of sharps
    {9, 0, 9, 7},                                                                                     // E-F
    {3, 4, 3, 7},   {6, 4, 6, 7},   {12, 4, 12, 7}, {15, 4, 15, 7}, {18, 4, 18, 7},                   // naturals
    {2, 4, 4, 4},   {5, 4, 7, 4},   {11, 4, 13, 4}, {14, 4, 16, 4}, {17, 4, 19, 4},                   // sharps' ends
};

int Strongest(const float* levels)
{
    double m = 0.0;
    int h = 0;
    for (int i = 0; i < 12; ++i)
        if (levels[i] > m) {
            m = levels[i];
            h = i;
        }
    return h;
}

void Highlight(BITMAP* bm, const KeyRect& k)
{
    for (int x = 5 * k.x1; x <= 5 * k.x2; ++x)
        for (const int y : {5 * k.y1, 5 * k.y2, 1 + 5 * k.y1, 1 + 5 * k.y2})
            PutPixel(bm, Origin + x, Origin + y, HighlightColour);
    for (int y = 5 * k.y1; y <= 5 * k.y2; ++y) {
        PutPixel(bm, Origin - 1 + 5 * k.x1, Origin + y, HighlightColour);
        PutPixel(bm, Origin + 1 + 5 * k.x2, Origin + y, HighlightColour);
    }
}

} // namespace

void PaintKeyboard(BITMAP* bm, const float* pitchLevels)
{
    const int strongest = Strongest(pitchLevels);
    for (int i = 0; i < 12; ++i) {
        const KeyRect& k = Keys[i];
        const uint32_t colour = ColourOf(pitchLevels[i]);
        for (int x = 5 * k.x1 + 1; x <= 5 * k.x2 - 1; ++x)
            for (int y = 5 * k.y1 + 1; y <= 5 * k.y2 - 1; ++y)
                PutPixel(bm, Origin + x, Origin + y, colour);
        if (i == strongest)
            Highlight(bm, k);
    }
    for (const Segment& s : Outline)
        DrawLine(bm, Origin + 10 * s.x1, Origin + 10 * s.y1, Origin + 10 * s.x2, Origin + 10 * s.y2, OutlineColour);
}
