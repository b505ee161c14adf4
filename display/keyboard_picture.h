#pragma once

#include "display/bitmap.h"

// One octave of a piano keyboard at (20, 20): each key filled with the
// colour of its pitch class's level (index 0 = C .. 11 = B), the strongest
// key (the first of equal ones; C when none is above 0) framed in the
// highlight colour, and the grey outline over it all.
void PaintKeyboard(BITMAP* bm, const float* pitchLevels);
