#include "ui/dynamogram_plot.h"

#include "core/log.h"
#include "ui/font.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <vector>

namespace {

constexpr long kTextSize = 512; // 8 pt
constexpr int kTextColumnWidth = 86;
constexpr int kFirstBaseline = 7;
constexpr int kLineStep = 9;
constexpr int kCurveLeft = 28;
constexpr int kCurveTop = 3;
constexpr int kLabelsBelow = 10;
constexpr uint8_t kInk = 255;
constexpr uint8_t kDim = 128;

struct CurveBox {
    int left;
    int right;
    int top;
    int bottom;
};

// Truncated towards zero; the float limits the extremes start at stay representable.
int wholeKgf(float load) {
    return static_cast<int>(std::max(-1e9f, std::min(1e9f, load)));
}

std::vector<std::string> figures(const DynamogramRecord& record, float fillFactor) {
    std::vector<std::string> lines = {
        formatText("Gmin=%d кгс", wholeKgf(record.minLoad())),
        formatText("Gmax=%d кгс", wholeKgf(record.maxLoad())),
        formatText("Tвв=%.1f с", static_cast<double>(record.upLoads().size()) * kDynamogramSampleSeconds),
        formatText("Tвн=%.1f с", static_cast<double>(record.downLoads().size()) * kDynamogramSampleSeconds),
        formatText("h=%.1f/мин", static_cast<double>(record.strokesPerMinute)),
    };
    if (!record.downLoads().empty())
        lines.push_back(formatText("K=%.2f", static_cast<double>(fillFactor)));
    return lines;
}

void drawTexts(Layer& layer, Font& font, const DynamogramRecord& record, float fillFactor,
               const CurveBox& box) {
    font.setSize(kTextSize);
    int x = layer.width() - kTextColumnWidth;
    int y = kFirstBaseline;
    for (const std::string& line : figures(record, fillFactor)) {
        layer.drawText(font, line, x, y, kInk);
        y += kLineStep;
    }
    size_t samples = record.upLoads().size() + record.downLoads().size();
    if (samples == 0)
        return;
    layer.drawText(font, axisLabel(record.maxLoad()), 0, box.top + 6, kInk);
    layer.drawText(font, axisLabel(record.minLoad()), 0, box.bottom + 1, kInk);
    std::string seconds = axisLabel(static_cast<float>(samples * kDynamogramSampleSeconds));
    int width = 0, height = 0;
    font.measure(seconds, width, height);
    layer.drawText(font, seconds, box.right - width, layer.height() - 1, kInk);
}

void drawAxes(Layer& layer, const CurveBox& box) {
    layer.fillLocalRect(Rect{box.left - 2, box.left - 1, box.top, box.bottom + 2}, kInk);
    layer.fillLocalRect(Rect{box.left - 2, box.right + 1, box.bottom + 1, box.bottom + 2}, kInk);
}

// A line of anti-aliased points, close enough to look continuous.
void drawSegment(Layer& layer, float x0, float y0, float x1, float y1) {
    int steps = std::max(1, static_cast<int>(std::ceil(std::max(std::fabs(x1 - x0), std::fabs(y1 - y0)))));
    for (int s = 1; s <= steps; ++s) {
        float t = static_cast<float>(s) / static_cast<float>(steps);
        layer.plot(x0 + (x1 - x0) * t, y0 + (y1 - y0) * t);
    }
}

void drawCurve(Layer& layer, const DynamogramRecord& record, const CurveBox& box) {
    std::vector<float> loads = record.upLoads();
    loads.insert(loads.end(), record.downLoads().begin(), record.downLoads().end());
    if (loads.empty())
        return;
    float low = record.minLoad();
    float span = record.maxLoad() - low;
    float xStep = loads.size() > 1 ? static_cast<float>(box.right - box.left) / (loads.size() - 1) : 0;
    auto yOf = [&](float load) {
        if (!(span > 0))
            return (box.top + box.bottom) / 2.0f;
        return box.bottom - (load - low) / span * static_cast<float>(box.bottom - box.top);
    };
    float x = static_cast<float>(box.left);
    float y = yOf(loads[0]);
    layer.plot(x, y);
    for (size_t i = 1; i < loads.size(); ++i) {
        float nextX = box.left + xStep * static_cast<float>(i);
        float nextY = yOf(loads[i]);
        drawSegment(layer, x, y, nextX, nextY);
        x = nextX;
        y = nextY;
    }
    // The reversal at the top, dotted.
    if (record.upLoads().empty() || record.downLoads().empty())
        return;
    int top = static_cast<int>(std::lround(box.left + xStep * static_cast<float>(record.upLoads().size())));
    for (int row = box.top; row <= box.bottom; row += 2)
        if (layer.pixel(top, row) == 0)
            layer.setPixel(top, row, kDim);
}

} // namespace

std::string axisLabel(float value) {
    float magnitude = std::fabs(value);
    if (magnitude >= 10000)
        return formatText("%.1fk", value / 1000.0);
    if (magnitude >= 1000)
        return formatText("%.2fk", value / 1000.0);
    if (magnitude >= 10)
        return formatText("%.1f", static_cast<double>(value));
    return formatText("%.2f", static_cast<double>(value));
}

void drawDynamogramPlot(Layer& layer, const DynamogramRecord& record, float fillFactor, Font* font, int width,
                        int height) {
    layer = Layer(Rect{0, width, 0, height}, true, kBlendOpaque);
    CurveBox box{kCurveLeft, width - kTextColumnWidth - 6, kCurveTop, height - kLabelsBelow};
    if (box.right <= box.left || box.bottom <= box.top)
        return;
    if (font && font->usable())
        drawTexts(layer, *font, record, fillFactor, box);
    drawAxes(layer, box);
    drawCurve(layer, record, box);
}
