#pragma once

#include <string>
#include <vector>

#include "store/command_line.h"

// Where --render writes the picture of each input, decided before any input
// is analysed, and refused where writing it would lose data.
//
// One input and OUT.png: the picture goes to OUT.png. With --out-dir DIR,
// each input's picture is DIR/NAME.EXT.png after the input's file name, its
// extension kept ("a.wav" and "a.flac" give "a.wav.png" and "a.flac.png");
// inputs that share a file name ("a.wav", "sub/a.wav", or one file given
// twice) are numbered in the order given: "a.wav.png", "a.wav-2.png", ...
//
// Refused, with a message that says what was probably meant: a folder that
// does not exist; an output that is one of the inputs (the same file under
// any name); an existing file that is not a PNG picture (by its first
// bytes; an empty file is taken); a name that does not end in ".png".
struct RenderOutputs {
    std::vector<std::string> paths;  // one per input, in order
    std::string problem;             // non-empty: nothing may be written
};

RenderOutputs PlanRenderOutputs(const RenderRequest& request);
