#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "display/drawing_context.h"

// What part of a file to draw, and how.
struct FilePictureRequest {
    int mode = 0;        // a scrolling view: 0, 1 or 3
    int height = 0;      // rows
    int width = 0;       // 0: a column per column the live view draws; else scaled to this width
    double from = 0.0;   // seconds
    double to = -1.0;    // seconds; below 0 the end of the file
    int threads = 1;     // parts of the file drawn at once
};

// The picture of a whole file: its blocks analysed by the engine one after
// the other, as fast as they can be read, and drawn by the live window's own
// renderer and view on a surface just wide enough for one block's drawing
// to settle; each column is taken from the surface once nothing draws into
// it any more. The live window shows the same columns, stretched twice as
// wide, at the right of its picture. The stereo layout of the logarithmic
// spectrogram is a window's: the picture shows channel 0 as mono does.
//
// With several threads a 48 kHz file is cut into parts drawn side by side,
// each by an engine and view of its own that starts early enough (a sample
// history and more) to reach the state the whole run has at the cut: the
// columns are the same as one run's. A converted file is drawn in one run:
// the converter's rounding depends on where it starts.
class CFilePicture {
public:
    static constexpr int MinimumRows = 16;

    // Reads the file at `path` from the request's start to its end;
    // `progress` (may be empty) hears the fraction done, on this thread.
    // False with the reason in `problem` when there is nothing to draw.
    bool Draw(const std::string& path, const FilePictureRequest& request, CSurfaceFactory& surfaces,
              const std::function<void(double)>& progress, std::string& problem);

    int Width() const { return width; }
    int Height() const { return height; }
    // Rows top-down, 0xFFRRGGBB.
    const std::vector<uint32_t>& Pixels() const { return pixels; }
    // The blocks drawn and the seconds they cover.
    int64_t Blocks() const { return blocks; }
    double Seconds() const;

private:
    int width = 0;
    int height = 0;
    int64_t blocks = 0;
    std::vector<uint32_t> pixels;
};

// The width of the surface the picture is drawn on: its right half holds
// the columns of the blocks still being drawn into.
int FilePictureSurfaceWidth();
