#pragma once

#include <cstdint>
#include <vector>

// Raised by CMatrix::get and getA for an index outside the matrix, after the
// error has been shown.
struct MatrixBoundError {
    int code = 1;
};

// A rows x cols float matrix, row-major, with bounds tests on every access.
class CMatrix {
public:
    CMatrix(uint32_t rows, uint32_t cols);
    virtual ~CMatrix() = default;

    double get(uint32_t x, uint32_t y) const;
    float& getA(uint32_t x, uint32_t y);
    // Index of element (x, y); 0, after showing the error, when outside.
    uint32_t xytoidx(uint32_t x, uint32_t y) const;

    uint32_t Rows() const { return rows; }
    uint32_t Cols() const { return cols; }

private:
    bool Contains(uint32_t x, uint32_t y) const { return x < rows && y < cols; }

    std::vector<float> elements;
    uint32_t rows;
    uint32_t cols;
};
