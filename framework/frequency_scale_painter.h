#pragma once

#include <vector>

#include "display/frequency_scale.h"

class QFontMetrics;
class QPainter;
class QRegion;

// Draws the ticks along the left edge of what `painter` paints on: a short
// line and the label beside it on a dark box, over the picture.
void PaintFrequencyScale(QPainter& painter, const std::vector<ScaleTick>& ticks);

// Where PaintFrequencyScale paints, for labels in the font of `metrics`.
QRegion FrequencyScaleArea(const QFontMetrics& metrics, const std::vector<ScaleTick>& ticks);

// Rows a label of the painter's font needs.
int FrequencyScaleLabelSpace(const QPainter& painter);
int FrequencyScaleLabelSpace(const QFontMetrics& metrics);
