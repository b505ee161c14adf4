#pragma once

// All-pole model of a block by the autocorrelation method and the
// Levinson-Durbin recursion, with taps `lagStep` samples apart:
// A(z) = 1 - sum a[j] z^(-j t).
class CLinearPredictor {
public:
    CLinearPredictor() = default;
    virtual ~CLinearPredictor() = default;

    void SetOrder(int order, int lagStep);
    // coeffs[1..p] receive a[1..p] (coeffs[0] stays 0). Returns -1 for a block
    // too weak to model or p <= 0. With TAVIMETER_TRACE set (and not "0") in
    // the environment, writes each order's coefficients and the gain to
    // standard output.
    int Analyze(const float* samples, int count, double* coeffs);
    // out[i] = 1 / |A| at omega = 6.28318 * fraction * i / count.
    void Response(const double* coeffs, float* out, int count, float fraction) const;

    int Order() const { return order; }
    int LagStep() const { return lagStep; }

private:
    int order = 0;
    int lagStep = 1;
};

// y[i] = x[i] - 0.9 y[i-1], in place.
void PreEmphasis(float* samples, int count);
// Periodic Hann window, in place.
void HannWindow(float* samples, int count);
