#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "display/pixel_ops.h"
#include "display/raster.h"
#include "tests/display/memory_dc.h"

namespace {

// A 24-bit or 32-bit test bitmap over a byte vector.
struct TestBitmap {
    TestBitmap(int w, int h, int bits = 32) : bytes(size_t(w * bits / 8 + 2) * h, 0)
    {
        bm.bmWidth = w;
        bm.bmHeight = h;
        bm.bmBitsPixel = uint16_t(bits);
        bm.bmWidthBytes = w * bits / 8 + 2;  // a stride wider than the row
        bm.bmBits = bytes.data();
    }
    bool Set(int x, int y) const
    {
        const uint8_t* p = &bytes[size_t(y) * bm.bmWidthBytes + size_t(x) * bm.bmBitsPixel / 8];
        return p[0] || p[1] || p[2];
    }
    std::set<std::pair<int, int>> Written() const
    {
        std::set<std::pair<int, int>> out;
        for (int y = 0; y < bm.bmHeight; ++y)
            for (int x = 0; x < bm.bmWidth; ++x)
                if (Set(x, y))
                    out.insert({x, y});
        return out;
    }
    std::vector<uint8_t> bytes;
    BITMAP bm;
};

TEST(PixelOps, PutPixelWritesBlueGreenRedAndClips)
{
    TestBitmap t(4, 3);
    PutPixel(&t.bm, 0, 0, 0x00332211);
    EXPECT_EQ(t.bytes[0], 0x33);
    EXPECT_EQ(t.bytes[1], 0x22);
    EXPECT_EQ(t.bytes[2], 0x11);
    EXPECT_EQ(t.bytes[3], 0x00) << "the fourth byte is never written";
    for (auto [x, y] : {std::pair{4, 0}, {0, 3}, {-1, 0}, {0, -1}})
        PutPixel(&t.bm, x, y, 0xFFFFFF);
    EXPECT_EQ(t.Written().size(), 1u);
    BITMAP none = t.bm;
    none.bmBits = nullptr;
    PutPixel(&none, 1, 1, 0xFFFFFF);

    TestBitmap t24(4, 2, 24);
    PutPixel(&t24.bm, 1, 1, 0x00010203);
    const size_t at = size_t(t24.bm.bmWidthBytes) + 3;
    EXPECT_EQ(t24.bytes[at], 0x01);
    EXPECT_EQ(t24.bytes[at + 2], 0x03);
}

TEST(PixelOps, LineEndRulesOfTheFreeAndTheRasterLine)
{
    TestBitmap free(8, 12);
    DrawLine(&free.bm, 5, 3, 2, 3, 0xFFFFFF);
    EXPECT_EQ(free.Written(), (std::set<std::pair<int, int>>{{2, 3}, {3, 3}, {4, 3}, {5, 3}}));

    MemoryDC dc(8, 12);
    {
        CRaster raster;
        const RECT rc{0, 0, 8, 12};
        raster.Begin(&dc, &rc);
        raster.DrawLine(5, 3, 2, 3, 0xFFFFFF);
        raster.DrawLine(4, 9, 4, 1, 0x0000FF);
    }
    std::set<std::pair<int, int>> white, red;
    for (int y = 0; y < 12; ++y)
        for (int x = 0; x < 8; ++x) {
            if (dc.At(x, y) == 0xFFFFFF)
                white.insert({x, y});
            if (dc.At(x, y) == 0x0000FF)
                red.insert({x, y});
        }
    EXPECT_EQ(white, (std::set<std::pair<int, int>>{{2, 3}, {3, 3}}));  // (4, 3) lies under the red line
    std::set<std::pair<int, int>> column4;
    for (int y = 1; y <= 9; ++y)
        column4.insert({4, y});
    EXPECT_EQ(red, column4);
}

TEST(PixelOps, SlopedLineCoversOneSlopeStepPerColumn)
{
    TestBitmap t(4, 10);
    DrawLine(&t.bm, 0, 0, 2, 4, 0xFFFFFF);
    EXPECT_EQ(t.Written(), (std::set<std::pair<int, int>>{{0, 0}, {0, 1}, {0, 2}, {1, 2}, {1, 3}, {1, 4}, {2, 4},
                                                          {2, 5}, {2, 6}}));
    // Falling lines take the rows from one column's height up to the
    // previous one, the upper end excluded.
    TestBitmap down(4, 10);
    DrawLine(&down.bm, 0, 4, 2, 0, 0xFFFFFF);
    EXPECT_EQ(down.Written(), (std::set<std::pair<int, int>>{{0, 2}, {0, 3}, {1, 0}, {1, 1}}));
}

TEST(PixelOps, ShiftsMoveColumnsAndKeepTheRest)
{
    const int w = 10;
    TestBitmap t(w, 2);
    for (int x = 0; x < w; ++x)
        for (int y = 0; y < 2; ++y)
            PutPixel(&t.bm, x, y, uint32_t(x + 1));
    auto red = [&](int x, int y) { return t.bytes[size_t(y) * t.bm.bmWidthBytes + size_t(x) * 4 + 2]; };
    ShiftColumnsLeft(&t.bm, w / 2, w, 2);
    // Columns 7..9 moved to 5..7; 8 and 9 kept their content.
    const int expected[w] = {1, 2, 3, 4, 5, 8, 9, 10, 9, 10};
    for (int x = 0; x < w; ++x)
        EXPECT_EQ(red(x, 1), expected[x]) << x;

    ShiftColumnsRight(&t.bm, 0, 4, 1);
    const int right[4] = {1, 1, 2, 3};
    for (int x = 0; x < 4; ++x)
        EXPECT_EQ(red(x, 0), right[x]) << x;

    const std::vector<uint8_t> before = t.bytes;
    ShiftColumnsLeft(&t.bm, 8, 10, 2);   // no room
    ShiftColumnsRight(&t.bm, 8, 10, 3);  // negative room
    EXPECT_EQ(t.bytes, before);
    // A range reaching outside the row is cut to the row (the address
    // sanitizer catches a write before the buffer).
    ShiftColumnsLeft(&t.bm, -40, 4, 1);
    ShiftColumnsRight(&t.bm, 6, 400, 1);
    EXPECT_EQ(red(4, 0), before[size_t(4) * 4 + 2]);
    EXPECT_EQ(red(5, 1), before[size_t(t.bm.bmWidthBytes) + 5 * 4 + 2]);
}

TEST(Raster, QueuesTextsOfAtMost127CharactersAndDrawsThemAfterThePixels)
{
    MemoryDC dc(20, 20);
    {
        CRaster raster;
        const RECT rc{0, 0, 20, 20};
        raster.Begin(&dc, &rc);
        raster.AddText(1, 2, std::string(200, 'a').c_str());
        raster.AddText(3, 4, "second");
        ASSERT_EQ(raster.QueuedTexts().size(), 2u);
        EXPECT_EQ(std::string(raster.QueuedTexts()[0].text), std::string(127, 'a'));
        EXPECT_TRUE(dc.texts.empty()) << "texts wait for the end of the raster";
    }
    ASSERT_EQ(dc.texts.size(), 2u);
    EXPECT_EQ(dc.texts[1].text, "second");
    EXPECT_EQ(dc.texts[1].x, 3);
}

TEST(Raster, ARasterNeverBegunDrawsNothing)
{
    MemoryDC dc(4, 4);
    const std::vector<uint32_t> before = dc.pixels;
    {
        CRaster raster;
        raster.AddText(0, 0, "queued");
        raster.PutPixel(1, 1, 0xFFFFFF);
    }
    EXPECT_TRUE(dc.texts.empty());
    EXPECT_EQ(dc.pixels, before);
}

TEST(Raster, PixelsStayInsideTheRectangle)
{
    MemoryDC dc(10, 10);
    {
        CRaster raster;
        const RECT rc{2, 3, 6, 8};
        raster.Begin(&dc, &rc);
        for (int y = -2; y < 12; ++y)
            for (int x = -2; x < 12; ++x)
                raster.PutPixel(x, y, 0xFFFFFF);
    }
    for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 10; ++x)
            EXPECT_EQ(dc.At(x, y) == 0xFFFFFF, x >= 2 && x < 6 && y >= 3 && y < 8) << x << "," << y;
}

} // namespace

namespace {

TEST(SurfaceBits, TheViewsWriteIntoTheSurfaceItself)
{
    MemoryDC dc(6, 4);
    BITMAP bm;
    void* buffer = ReadSurfaceBits(&dc, &bm);
    EXPECT_EQ(buffer, static_cast<void*>(dc.pixels.data()));
    EXPECT_EQ(bm.bmWidth, 6);
    EXPECT_EQ(bm.bmWidthBytes, 24);
    PutPixel(&bm, 2, 1, 0x0000FF);
    WriteSurfaceBits(buffer, &dc, &bm);
    EXPECT_EQ(dc.At(2, 1), 0x0000FFu);

    // A separate buffer of the same layout is copied in.
    std::vector<uint32_t> copy(6 * 4, 0xFF000000u);
    BITMAP other = bm;
    other.bmBits = copy.data();
    PutPixel(&other, 5, 3, 0x00FF00);
    WriteSurfaceBits(copy.data(), &dc, &other);
    EXPECT_EQ(dc.At(5, 3), 0x00FF00u);
    EXPECT_EQ(dc.At(2, 1), 0u);
}

// Target pixel (i, j) of a stretch takes source pixel (sx + i sw / w,
// sy + j sh / h), rounded down, black outside the source; outside the clip
// and the target nothing changes.
TEST(SurfaceBits, AStretchSamplesTheSourceWithoutSmoothing)
{
    MemoryDC source(13, 11);
    for (int y = 0; y < 11; ++y)
        for (int x = 0; x < 13; ++x)
            source.pixels[size_t(y) * 13 + x] = 0xFF000000u | uint32_t(y << 8 | x);
    const struct {
        int x, y, w, h, sx, sy, sw, sh;
        RECT clip;
    } cases[] = {
        {0, 0, 13, 11, 0, 0, 13, 11, {0, 0, 40, 40}},      // as it is
        {2, 1, 26, 33, 0, 0, 13, 11, {0, 0, 40, 40}},      // twice as wide, three times as high
        {0, -5, 17, 37, 1, 2, 10, 7, {3, 4, 15, 30}},      // magnified by odd ratios, clipped, above the top
        {0, 0, 6, 5, 0, 0, 13, 11, {0, 0, 40, 40}},        // shrunk
        {0, 0, 20, 20, -3, -2, 20, 20, {0, 0, 40, 40}},    // partly outside the source
    };
    for (const auto& c : cases) {
        MemoryDC target(40, 40);
        for (uint32_t& p : target.pixels)
            p = 0xFFABCDEFu;
        target.StretchBlt(c.x, c.y, c.w, c.h, source, c.sx, c.sy, c.sw, c.sh, &c.clip);
        for (int ty = 0; ty < 40; ++ty)
            for (int tx = 0; tx < 40; ++tx) {
                const int i = tx - c.x;
                const int j = ty - c.y;
                uint32_t expected = 0xFFABCDEFu;
                if (i >= 0 && i < c.w && j >= 0 && j < c.h && tx >= c.clip.left && tx < c.clip.right &&
                    ty >= c.clip.top && ty < c.clip.bottom) {
                    const int fx = c.sx + i * c.sw / c.w;
                    const int fy = c.sy + j * c.sh / c.h;
                    expected = fx >= 0 && fx < 13 && fy >= 0 && fy < 11 ? source.pixels[size_t(fy) * 13 + fx]
                                                                        : 0xFF000000u;
                }
                ASSERT_EQ(target.pixels[size_t(ty) * 40 + tx], expected)
                    << "case " << (&c - cases) << " at " << tx << ", " << ty;
            }
    }
}

} // namespace
