#include "dsp/matrix.h"

#include "dsp/debug_message.h"

CMatrix::CMatrix(uint32_t rows, uint32_t cols)
    : elements(static_cast<size_t>(rows) * cols, 0.0f), rows(rows), cols(cols)
{
}

double CMatrix::get(uint32_t x, uint32_t y) const
{
    if (!Contains(x, y)) {
        DebugMessage("bound error in get()");
        throw MatrixBoundError{};
    }
    return elements[xytoidx(x, y)];
}

float& CMatrix::getA(uint32_t x, uint32_t y)
{
    if (!Contains(x, y)) {
        DebugMessage("bound error in getA()");
        throw MatrixBoundError{};
    }
    return elements[xytoidx(x, y)];
}

uint32_t CMatrix::xytoidx(uint32_t x, uint32_t y) const
{
    if (!Contains(x, y)) {
        DebugMessage("bound error in xytoidx");
        return 0;
    }
    return y + x * cols;
}
