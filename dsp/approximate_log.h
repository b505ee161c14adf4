#pragma once

// A logarithm for deciding which pixel a level falls on. ApproximateLn is
// within 1e-12 of ln x for every positive normal double (NaN for anything
// else) at a fraction of std::log's cost. A caller truncates a position
// worked out from it only where TruncatesAlike says that no error of the
// logarithm's size could move it to another whole number, and works it out
// with std::log otherwise: the pixel is the same as std::log's either way.
double ApproximateLn(double x);

// Whether every value within `margin` of `value` truncates to the same whole
// number; false for NaN and the infinities.
bool TruncatesAlike(double value, double margin);
