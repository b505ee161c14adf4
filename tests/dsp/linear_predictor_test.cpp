#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

#include "dsp/debug_message.h"
#include "dsp/linear_predictor.h"
#include "dsp/matrix.h"

namespace {

std::vector<std::string> shown;

void RecordMessage(const std::string& caption, const std::string& text)
{
    shown.push_back(caption + "|" + text);
}

TEST(LinearPrediction, SilenceIsTooWeakAndGivesAFlatEnvelope)
{
    CLinearPredictor predictor;
    predictor.SetOrder(12, 4);
    std::vector<float> silence(4096, 0.0f);
    std::vector<double> coeffs(13, 7.0);
    EXPECT_EQ(predictor.Analyze(silence.data(), 4096, coeffs.data()), -1);
    for (int i = 0; i < 12; ++i)
        EXPECT_EQ(coeffs[i], 0.0) << i;
    EXPECT_EQ(coeffs[12], 7.0) << "the last coefficient is not touched";
    coeffs[12] = 0.0;
    std::vector<float> response(4096);
    predictor.Response(coeffs.data(), response.data(), 4096, 0.5f);
    for (float v : response)
        ASSERT_EQ(v, 1.0f);
}

TEST(LinearPrediction, OrderZeroAndLagStepBelowOne)
{
    CLinearPredictor predictor;
    predictor.SetOrder(0, 0);
    EXPECT_EQ(predictor.LagStep(), 1);
    std::vector<float> x(64, 1.0f);
    double coeffs[1] = {5.0};
    EXPECT_EQ(predictor.Analyze(x.data(), 64, coeffs), -1);
}

TEST(LinearPrediction, EachLagSumsCountMinusThirteenTimesFourProducts)
{
    // With p = 12 and t = 4 every lag sums 4096 - 52 = 4044 products, all
    // starting from samples 0..4043: energy only beyond them is not seen.
    CLinearPredictor predictor;
    predictor.SetOrder(12, 4);
    std::vector<double> coeffs(13);
    std::vector<float> late(4096, 0.0f);
    for (int i = 4044; i < 4096; ++i)
        late[i] = 1.0f;
    EXPECT_EQ(predictor.Analyze(late.data(), 4096, coeffs.data()), -1);
    late[4043] = 1.0f;
    ::testing::internal::CaptureStdout();
    EXPECT_EQ(predictor.Analyze(late.data(), 4096, coeffs.data()), 0);
    ::testing::internal::GetCapturedStdout();
}

TEST(LinearPrediction, PreEmphasisIsRecursive)
{
    float x[3] = {1, 1, 1};
    PreEmphasis(x, 3);
    EXPECT_FLOAT_EQ(x[0], 1.0f);
    EXPECT_FLOAT_EQ(x[1], 0.1f);
    EXPECT_FLOAT_EQ(x[2], 0.91f);
}

TEST(LinearPrediction, SineEnvelopePeaksAtTheSineAndTheTraceShowsEveryOrder)
{
    const double frequency = 1500.0;
    std::vector<float> x(4096);
    for (int i = 0; i < 4096; ++i)
        x[i] = float(0.5 * std::sin(2 * M_PI * frequency * i / 48000) + 1e-3 * std::sin(0.7 * i * i));
    PreEmphasis(x.data(), 4096);
    HannWindow(x.data(), 4096);
    CLinearPredictor predictor;
    predictor.SetOrder(12, 4);
    std::vector<double> coeffs(13);
    // The trace is printed only when asked for.
    for (const char* quiet : {"", "0"}) {
        setenv("TAVIMETER_TRACE", quiet, 1);
        ::testing::internal::CaptureStdout();
        ASSERT_EQ(predictor.Analyze(x.data(), 4096, coeffs.data()), 0);
        EXPECT_EQ(::testing::internal::GetCapturedStdout(), "") << "TAVIMETER_TRACE=" << quiet;
    }
    setenv("TAVIMETER_TRACE", "1", 1);
    ::testing::internal::CaptureStdout();
    ASSERT_EQ(predictor.Analyze(x.data(), 4096, coeffs.data()), 0);
    const std::string trace = ::testing::internal::GetCapturedStdout();
    unsetenv("TAVIMETER_TRACE");
    for (int order = 1; order <= 12; ++order)
        EXPECT_NE(trace.find("order " + std::to_string(order) + ": "), std::string::npos) << order;
    EXPECT_NE(trace.find("Gain: "), std::string::npos);

    std::vector<float> envelope(4096);
    predictor.Response(coeffs.data(), envelope.data(), 4096, 0.5f);
    // Point i lies at i * 5.859375 Hz; the taps 4 samples apart repeat the
    // envelope every 12 kHz, so look for the local peak near the sine.
    const int at = int(std::lround(frequency / 5.859375));
    int peak = at - 40;
    for (int i = at - 40; i <= at + 40; ++i)
        if (envelope[i] > envelope[peak])
            peak = i;
    EXPECT_NEAR(peak, at, 3);
    EXPECT_GT(envelope[peak], 5 * envelope[at + 200]);
}

TEST(Matrix, BoundErrorsAreShownAndRaisedWhereStated)
{
    shown.clear();
    SetDebugMessageHandler(RecordMessage);
    CMatrix m(13, 13);
    m.getA(12, 12) = 4.5f;
    EXPECT_EQ(m.get(12, 12), 4.5);
    EXPECT_EQ(m.xytoidx(12, 12), 168u);
    EXPECT_TRUE(shown.empty());

    EXPECT_THROW(m.get(13, 0), MatrixBoundError);
    EXPECT_THROW(m.getA(0, uint32_t(-1)), MatrixBoundError);
    EXPECT_EQ(m.xytoidx(0, 13), 0u);
    const std::vector<std::string> expected = {"デバッグ情報|bound error in get()", "デバッグ情報|bound error in getA()",
                                               "デバッグ情報|bound error in xytoidx"};
    EXPECT_EQ(shown, expected);
    SetDebugMessageHandler(nullptr);
}

TEST(Matrix, DebugMessageFormatsLikePrintf)
{
    shown.clear();
    SetDebugMessageHandler(RecordMessage);
    DebugMessage("%d-%s", 42, std::string(3000, 'x').c_str());
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].size(), std::string("デバッグ情報|").size() + 2047);
    EXPECT_EQ(shown[0].substr(std::string("デバッグ情報|").size(), 4), "42-x");
    SetDebugMessageHandler(nullptr);
}

} // namespace
