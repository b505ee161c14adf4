#pragma once

#include <vector>

#include "display/frequency_scale.h"

class QPainter;

// Draws the ticks along the left edge of what `painter` paints on: a short
// line and the label beside it on a dark box, over the picture.
void PaintFrequencyScale(QPainter& painter, const std::vector<ScaleTick>& ticks);

// Rows a label of the painter's font needs.
int FrequencyScaleLabelSpace(const QPainter& painter);
