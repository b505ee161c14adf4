#pragma once

// The level of each pitch class (0 = C .. 11 = B) in a constant-Q frame of
// `bins` quarter-tone bins from C1 (MIDI note 24): the sum over the octaves
// of its bins' magnitudes, a quarter-tone bin between two semitones split
// evenly between them (B's upper quarter tone goes to C).
void PitchClassLevels(const float* frame, int bins, float* levels);
