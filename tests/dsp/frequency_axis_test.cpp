#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "dsp/frequency_axis.h"
#include "settings/shared_settings.h"

namespace {

class FrequencyAxis : public ::testing::Test {
protected:
    void SetUp() override { SharedSettings = Settings(); }
    void TearDown() override { SharedSettings = Settings(); }
};

// A spectrum whose bin k holds k, so a point's value tells where it read.
std::vector<float> Ramp()
{
    std::vector<float> src(LinearBins);
    for (int k = 0; k < LinearBins; ++k)
        src[k] = float(k);
    return src;
}

TEST_F(FrequencyAxis, InterpolateUsesTheWeightedSumForm)
{
    EXPECT_DOUBLE_EQ(Interpolate(2.0, 4.0, 0.25), 2.5);
    EXPECT_DOUBLE_EQ(Interpolate(2.0, 4.0, 1.5), 5.0);  // no clamping
    EXPECT_DOUBLE_EQ(Interpolate(0.0, 172.0, 0.5), 86.0);
}

TEST_F(FrequencyAxis, NoteFrequenciesComeFromTheFixedTable)
{
    EXPECT_EQ(noteFrequency(60), 261.63);
    EXPECT_EQ(noteFrequency(69), 440.0);
    EXPECT_EQ(noteFrequency(57), 220.0);
    EXPECT_EQ(noteFrequency(81), 880.0);
    EXPECT_EQ(noteFrequency(71), 493.89);
    EXPECT_EQ(noteFrequency(24), 32.70375);
    EXPECT_EQ(noteFrequency(110), 4698.56);
    EXPECT_EQ(noteFrequency(0), 261.63 / 32);
}

TEST_F(FrequencyAxis, LogResampleInterpolatesLowPoints)
{
    const std::vector<float> src = Ramp();
    std::vector<float> dst(2048);
    LogResample(src.data(), dst.data(), 2048, 32.0f, 24000.0f);
    // Point 0 is 32 Hz, interpolated, never an average.
    EXPECT_NEAR(dst[0], 32.0 * BinsPerHz, 1e-4);
    // Several low points per bin all interpolate between the same two bins.
    EXPECT_GT(dst[1], dst[0]);
    EXPECT_LT(dst[1] - dst[0], 0.05f);
    EXPECT_EQ(int(dst[0]), int(dst[1]));
}

TEST_F(FrequencyAxis, LogResampleClampsAtTheLastBinAndReadsNothingBeyond)
{
    // src is exactly 4096 floats: a read of element 4096 is caught by the
    // address sanitizer.
    const std::vector<float> src = Ramp();
    std::vector<float> dst(512);
    LogResample(src.data(), dst.data(), 512, 32.0f, 48000.0f);
    const double lo = Log2(32.0), step = (Log2(48000.0) - lo) / 512;
    int firstClamped = -1;
    for (int i = 0; i < 512 && firstClamped < 0; ++i) {
        if (std::pow(2.0, i * step + lo) * BinsPerHz > 4095)
            firstClamped = i;
    }
    ASSERT_GT(firstClamped, 0);
    ASSERT_LT(firstClamped, 500);
    // The first clamped point still averages the bins it spans; every later
    // one sits on the last bin.
    EXPECT_LT(dst[firstClamped], 4095.0f);
    for (int i = firstClamped + 1; i < 512; ++i)
        ASSERT_EQ(dst[i], 4095.0f) << i;
}

TEST_F(FrequencyAxis, LogResampleAveragesTheBinsAPointSpans)
{
    // Two points: the first lands inside bin 300, the second at pos 305.4,
    // so the second averages bins 300..305 over 305.4 - 300 + 1.
    std::vector<float> src(LinearBins, 0.0f);
    for (int k = 300; k <= 305; ++k)
        src[k] = float(k - 299);  // 1..6
    const double f0 = 300.5 / BinsPerHz, f1 = 305.4 / BinsPerHz;
    const float fmin = float(f0), fmax = float(f1 * f1 / f0);
    std::vector<float> dst(2);
    LogResample(src.data(), dst.data(), 2, fmin, fmax);
    EXPECT_NEAR(dst[1], (1 + 2 + 3 + 4 + 5 + 6) / 6.4, 1e-4);
}

TEST_F(FrequencyAxis, HighEmphasisDoublesAt520HzAndSparesLowPoints)
{
    std::vector<float> src(LinearBins, 1.0f);
    std::vector<float> plain(64), emphasised(64);
    // One point exactly at 520 Hz: fmin = 520, one point per call.
    LogResample(src.data(), plain.data(), 1, 520.0f, 1000.0f);
    SharedSettings.HighEmphasis = true;
    LogResample(src.data(), emphasised.data(), 1, 520.0f, 1000.0f);
    EXPECT_NEAR(emphasised[0], 2.0 * plain[0], 1e-6);

    LogResample(src.data(), emphasised.data(), 1, 59.99f, 1000.0f);
    EXPECT_EQ(emphasised[0], 1.0f);
    LogResample(src.data(), emphasised.data(), 1, 32.0f, 1000.0f);
    EXPECT_EQ(emphasised[0], 1.0f);
}

TEST_F(FrequencyAxis, CachedResamplerAgreesWithTheDirectOneAndFollowsNewBounds)
{
    const std::vector<float> src = Ramp();
    std::vector<float> direct(2048), cached(2048), first(2048);
    LogResampleTable(src.data(), first.data(), 2048, 32.0f, 24000.0f);
    for (float fmax : {8000.0f, 24000.0f}) {
        LogResample(src.data(), direct.data(), 2048, 32.0f, fmax);
        LogResampleTable(src.data(), cached.data(), 2048, 32.0f, fmax);
        // The table holds float frequencies, so a point near a bin boundary
        // may fall on the other side; almost all points agree closely.
        int agreeing = 0;
        for (int i = 0; i < 2048; ++i)
            agreeing += std::fabs(cached[i] - direct[i]) <= 1e-3 * (1 + direct[i]);
        EXPECT_GT(agreeing, 2000) << "fmax " << fmax;
        for (int i = 0; i < 1000; ++i)
            ASSERT_NEAR(cached[i], direct[i], 1e-3 * (1 + direct[i])) << "fmax " << fmax << ", point " << i;
    }
    EXPECT_EQ(cached, first) << "going back to the first bounds rebuilds the same table";
}

TEST_F(FrequencyAxis, ConstantQRowsSpanTheNoteRange)
{
    std::vector<float> cq(ConstantQBins, 1.0f);
    std::vector<float> rows(2048, -1.0f);
    CQToRows(cq.data(), rows.data(), 2048, 32.0f, 24000.0f);
    for (int r = 0; r <= 5; ++r)
        EXPECT_EQ(rows[r], 0.0f) << r;
    EXPECT_FLOAT_EQ(rows[6], 0.12f);
    EXPECT_FLOAT_EQ(rows[1543], 0.12f);
    for (int r = 1544; r < 2048; ++r)
        ASSERT_EQ(rows[r], 0.0f) << r;
}

TEST_F(FrequencyAxis, ConstantQRowsInterpolateBetweenBins)
{
    std::vector<float> cq(ConstantQBins);
    for (int b = 0; b < ConstantQBins; ++b)
        cq[b] = float(b);
    std::vector<float> rows(2048);
    CQToRows(cq.data(), rows.data(), 2048, 32.0f, 24000.0f);
    // Row start + n holds 172 n / (end - start + 1), at most 171, scaled by 0.12.
    const int start = 6, end = 1543;
    for (int n : {0, 1, 100, 1537}) {
        double p = 172.0 * n / (end - start + 1);
        EXPECT_NEAR(rows[start + n], std::min(p, 171.0) * 0.12, 1e-4) << n;
    }
}

TEST_F(FrequencyAxis, ConstantQRowsBeyondTheLastRowAreNotWritten)
{
    std::vector<float> cq(ConstantQBins, 1.0f);
    std::vector<float> rows(2049, -1.0f);
    CQToRows(cq.data(), rows.data(), 2048, 32.0f, 3000.0f);
    EXPECT_EQ(rows[2048], -1.0f);
    EXPECT_FLOAT_EQ(rows[2047], 0.12f);
    // end for fmax = 3000 lies at 2250: the rows up to 2047 hold data.
    const double lo = Log2(32.0), step = (Log2(3000.0) - lo) / 2048;
    EXPECT_EQ(int((Log2(noteFrequency(110)) - lo) * (1.0 / step)), 2250);
}

TEST_F(FrequencyAxis, ConstantQRowsFollowAChangeOfRowCount)
{
    std::vector<float> cq(ConstantQBins, 1.0f);
    std::vector<float> rows(2048, -1.0f);
    CQToRows(cq.data(), rows.data(), 2048, 32.0f, 24000.0f);
    CQToRows(cq.data(), rows.data(), 1024, 32.0f, 24000.0f);
    // Half the rows: the top note lands near row 771 instead of 1543.
    EXPECT_FLOAT_EQ(rows[771], 0.12f);
    EXPECT_EQ(rows[773], 0.0f);
}

} // namespace
