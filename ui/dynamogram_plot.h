#pragma once
// The panel drawing of a dynamogram: the load curve over the cycle with its axes on the left, the
// figures of the cycle in a column beside it.

#include "drive/dynamogram_record.h"
#include "ui/layer.h"

#include <string>

class Font;

// Redraws the layer as the record's opaque width x height picture. Without a usable font only the
// curve and the axes are drawn.
void drawDynamogramPlot(Layer& layer, const DynamogramRecord& record, float fillFactor, Font* font, int width,
                        int height);

// An axis label: "%.1fk" of thousands from 10000 on, "%.2fk" from 1000, "%.1f" from 10, "%.2f" below.
std::string axisLabel(float value);
