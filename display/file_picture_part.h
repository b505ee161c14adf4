#pragma once

#include <atomic>
#include <cstdint>
#include <string>

#include "display/column_strip.h"
#include "display/drawing_context.h"

struct FilePictureRequest;

// One part of a file's picture: the blocks [first, end) of those counted
// from the 48 kHz frame `start`, of `blocks` in the whole picture.
struct PartOfFile {
    std::string path;
    uint64_t start = 0;
    int64_t first = 0;
    int64_t end = 0;
    int64_t blocks = 0;
};

// Draws the part, from a sample history's worth of blocks before it on, and
// on after it until its own columns have settled; adds its own columns to
// `strip` and counts its blocks in `done` as they are drawn. `problem` says
// why it stopped early.
void DrawPart(const PartOfFile& part, const FilePictureRequest& request, CSurfaceFactory& surfaces,
              CColumnStrip& strip, std::atomic<int64_t>& done, std::string& problem);
