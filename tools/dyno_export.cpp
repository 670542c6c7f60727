#include "tools/dyno_export.h"

#include "core/log.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr double kWidth = 800, kHeight = 480;
constexpr double kLeft = 80, kRight = 30, kTop = 60, kBottom = 60;

struct Point {
    double x, load;
};

std::vector<Point> cardPoints(const std::vector<uint32_t>& loads, size_t offset, CardAxis axis,
                              bool downStroke) {
    std::vector<Point> points;
    for (size_t i = 0; i < loads.size(); ++i) {
        double x = 0;
        if (axis == CardAxis::Time) {
            x = (offset + i) * kDynamogramSampleSeconds;
        } else {
            double share = loads.size() > 1 ? static_cast<double>(i) / (loads.size() - 1) : 0;
            x = downStroke ? 1.0 - share : share;
        }
        points.push_back(Point{x, static_cast<double>(loads[i])});
    }
    return points;
}

// A round step for about `ticks` grid lines over the span.
double gridStep(double span, int ticks) {
    if (span <= 0)
        return 1;
    double raw = span / ticks;
    double magnitude = std::pow(10.0, std::floor(std::log10(raw)));
    for (double factor : {1.0, 2.0, 5.0, 10.0})
        if (raw <= factor * magnitude)
            return factor * magnitude;
    return 10 * magnitude;
}

// The length of the UTF-8 sequence at `at` when it is a well-formed, shortest-form character that XML
// allows and no control character; 0 otherwise.
size_t printableUtf8Length(const std::string& text, size_t at) {
    auto byte = [&](size_t i) { return static_cast<unsigned char>(text[i]); };
    unsigned char lead = byte(at);
    if (lead < 0x80)
        return lead >= 0x20 && lead != 0x7F ? 1 : 0;
    size_t length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC2 ? 2 : 0;
    if (length == 0 || lead > 0xF4 || at + length > text.size())
        return 0;
    uint32_t code = lead & (0x7F >> length);
    for (size_t i = 1; i < length; ++i) {
        if ((byte(at + i) & 0xC0) != 0x80)
            return 0;
        code = code << 6 | (byte(at + i) & 0x3F);
    }
    static const uint32_t kShortest[] = {0, 0, 0x80, 0x800, 0x10000};
    bool allowed = code >= kShortest[length] && code <= 0x10FFFF && !(code >= 0xD800 && code <= 0xDFFF) &&
                   code != 0xFFFE && code != 0xFFFF && !(code >= 0x80 && code <= 0x9F);
    return allowed ? length : 0;
}

// Text for an SVG document: markup characters escaped, and every byte that is no printable UTF-8
// character (a control character, a stray or overlong byte) shown as U+FFFD, so the document stays
// well-formed whatever the file name holds.
std::string escapeXml(const std::string& text) {
    std::string out;
    for (size_t at = 0; at < text.size();) {
        size_t length = printableUtf8Length(text, at);
        if (length == 0) {
            out += "\xEF\xBF\xBD";
            ++at;
            continue;
        }
        switch (text[at]) {
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '&':
            out += "&amp;";
            break;
        case '"':
            out += "&quot;";
            break;
        default:
            out.append(text, at, length);
        }
        at += length;
    }
    return out;
}

} // namespace

std::string dynamogramCsv(const DynamogramFileContent& card) {
    std::string csv = "time_s,phase,load_kgf\n";
    size_t index = 0;
    for (uint32_t load : card.upLoads)
        csv += formatText("%.2f,up,%u\n", index++ * kDynamogramSampleSeconds, load);
    for (uint32_t load : card.downLoads)
        csv += formatText("%.2f,down,%u\n", index++ * kDynamogramSampleSeconds, load);
    return csv;
}

std::string dynamogramSvg(const DynamogramFileContent& card, CardAxis axis, const std::string& title) {
    size_t total = card.upLoads.size() + card.downLoads.size();
    std::vector<Point> up = cardPoints(card.upLoads, 0, axis, false);
    std::vector<Point> down = cardPoints(card.downLoads, card.upLoads.size(), axis, true);
    double minLoad = 0, maxLoad = 1,
           maxX = axis == CardAxis::Time ? std::max<double>(1, total * kDynamogramSampleSeconds) : 1;
    if (total > 0) {
        auto loads = card.upLoads;
        loads.insert(loads.end(), card.downLoads.begin(), card.downLoads.end());
        minLoad = *std::min_element(loads.begin(), loads.end());
        maxLoad = *std::max_element(loads.begin(), loads.end());
    }
    double low = std::min(0.0, minLoad), high = std::max(maxLoad, low + 1) * 1.1;
    double plotWidth = kWidth - kLeft - kRight, plotHeight = kHeight - kTop - kBottom;
    auto sx = [&](double x) { return kLeft + x / maxX * plotWidth; };
    auto sy = [&](double load) { return kTop + (high - load) / (high - low) * plotHeight; };

    std::string svg = formatText("<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"%.0f\" height=\"%.0f\" "
                                 "viewBox=\"0 0 %.0f %.0f\" font-family=\"sans-serif\" font-size=\"12\">\n",
                                 kWidth, kHeight, kWidth, kHeight);
    svg += "<rect width=\"100%\" height=\"100%\" fill=\"white\"/>\n";
    svg +=
        formatText("<text x=\"%.0f\" y=\"22\" font-size=\"16\">%s</text>\n", kLeft, escapeXml(title).c_str());
    double rate = card.periodMs > 0 ? 60000.0 / card.periodMs : 0;
    svg += formatText("<text x=\"%.0f\" y=\"42\">%02d.%02d.%04d %02d:%02d  period %.2f s (%.2f strokes/min)  "
                      "up %.2f s  down %.2f s  Gmin %u kgf  Gmax %u kgf</text>\n",
                      kLeft, card.day, card.month, card.year, card.hour, card.minute, card.periodMs / 1000.0,
                      rate, card.upLoads.size() * kDynamogramSampleSeconds,
                      card.downLoads.size() * kDynamogramSampleSeconds, static_cast<unsigned>(minLoad),
                      static_cast<unsigned>(maxLoad));
    // Grid and axes.
    double loadStep = gridStep(high - low, 6);
    for (double load = std::ceil(low / loadStep) * loadStep; load <= high; load += loadStep)
        svg += formatText("<line x1=\"%.1f\" y1=\"%.1f\" x2=\"%.1f\" y2=\"%.1f\" stroke=\"#ddd\"/>"
                          "<text x=\"%.1f\" y=\"%.1f\" text-anchor=\"end\">%.0f</text>\n",
                          kLeft, sy(load), kLeft + plotWidth, sy(load), kLeft - 6, sy(load) + 4, load);
    double xStep = gridStep(maxX, 8);
    for (double x = 0; x <= maxX + 1e-9; x += xStep)
        svg += formatText("<line x1=\"%.1f\" y1=\"%.0f\" x2=\"%.1f\" y2=\"%.0f\" stroke=\"#ddd\"/>"
                          "<text x=\"%.1f\" y=\"%.0f\" text-anchor=\"middle\">%g</text>\n",
                          sx(x), kTop, sx(x), kTop + plotHeight, sx(x), kTop + plotHeight + 16, x);
    svg += formatText(
        "<rect x=\"%.0f\" y=\"%.0f\" width=\"%.0f\" height=\"%.0f\" fill=\"none\" stroke=\"black\"/>\n",
        kLeft, kTop, plotWidth, plotHeight);
    svg += formatText(
        "<text x=\"%.0f\" y=\"%.0f\" text-anchor=\"middle\">%s</text>\n", kLeft + plotWidth / 2, kHeight - 14,
        axis == CardAxis::Time ? "time, s"
                               : "rod position (share of the stroke, uniform in time per stroke)");
    svg +=
        formatText("<text x=\"18\" y=\"%.0f\" transform=\"rotate(-90 18 %.0f)\" text-anchor=\"middle\">load, "
                   "kgf</text>\n",
                   kTop + plotHeight / 2, kTop + plotHeight / 2);
    // Minimum and maximum.
    const struct {
        double load;
        const char* name;
    } limits[] = {{minLoad, "Gmin"}, {maxLoad, "Gmax"}};
    for (const auto& limit : limits)
        svg +=
            formatText("<line x1=\"%.0f\" y1=\"%.1f\" x2=\"%.0f\" y2=\"%.1f\" stroke=\"#888\" "
                       "stroke-dasharray=\"4 4\"/><text x=\"%.0f\" y=\"%.1f\" fill=\"#555\">%s %.0f</text>\n",
                       kLeft, sy(limit.load), kLeft + plotWidth, sy(limit.load), kLeft + 4,
                       sy(limit.load) - 4, limit.name, limit.load);
    // The two strokes.
    const struct {
        const std::vector<Point>& points;
        const char* colour;
        const char* name;
    } strokes[] = {{up, "#c00", "up stroke"}, {down, "#06c", "down stroke"}};
    double legendX = kLeft + plotWidth - 190;
    for (const auto& stroke : strokes) {
        if (stroke.points.empty())
            continue;
        svg +=
            formatText("<polyline fill=\"none\" stroke=\"%s\" stroke-width=\"1.5\" points=\"", stroke.colour);
        for (const Point& p : stroke.points)
            svg += formatText("%.1f,%.1f ", sx(p.x), sy(p.load));
        svg += "\"/>\n";
        svg += formatText("<text x=\"%.0f\" y=\"22\" fill=\"%s\">%s</text>\n", legendX, stroke.colour,
                          stroke.name);
        legendX += 95;
    }
    svg += "</svg>\n";
    return svg;
}
