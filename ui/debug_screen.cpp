#include "ui/debug_screen.h"

#include "config/config.h"
#include "core/registry.h"
#include "fieldbus/bus_statistics.h"
#include "ui/display.h"

#include <array>
#include <cstdio>

namespace {

constexpr long kFontSize = 640;
constexpr uint8_t kInk = 255;
struct Place {
    int x;
    int y;
};
// Title, column heads, totals, drive 1, drive 2, exchange bytes.
constexpr std::array<Place, 6> kPlaces{{{60, 10}, {50, 20}, {0, 30}, {0, 40}, {0, 50}, {0, 62}}};

using CounterRow = std::array<uint32_t, kBusCounterCount>;

std::string row(const char* label, const CounterRow& counters) {
    char text[128];
    std::snprintf(text, sizeof text, "%s: %6d %6d %6d %6d %6d %6d", label, static_cast<int>(counters[0]),
                  static_cast<int>(counters[1]), static_cast<int>(counters[2]), static_cast<int>(counters[3]),
                  static_cast<int>(counters[4]), static_cast<int>(counters[5]));
    return text;
}

CounterRow totals(const BusStatistics& statistics) {
    CounterRow counters{};
    for (int n = 0; n < kBusCounterCount; ++n)
        counters[n] = statistics.total(static_cast<BusCounter>(n));
    return counters;
}

CounterRow forAddress(const BusStatistics& statistics, float address) {
    CounterRow counters{};
    auto slave = static_cast<uint8_t>(address);
    for (int n = 0; n < kBusCounterCount; ++n)
        counters[n] = statistics.forAddress(static_cast<BusCounter>(n), slave);
    return counters;
}

} // namespace

DebugScreen::DebugScreen(const BusStatistics& statistics, const Config& config, SpiBytes spiBytes)
    : HorizontalMenuItem("Отладочный экран"), statistics_(statistics), config_(config),
      spiBytes_(std::move(spiBytes)) {
    if (gDisplay)
        layer_ = Layer(Rect{0, gDisplay->width(), 0, gDisplay->height()}, true, kBlendCoverage);
    redraw();
}

DebugScreen::~DebugScreen() {
    if (gTimers)
        gTimers->cancel(timer_);
    if (gDisplay)
        gDisplay->removeLayer(&layer_);
}

std::vector<std::string> DebugScreen::lines() const {
    std::vector<std::string> lines{"Отладочный экран", "TX    TO   Retr  IOEr BCRC short"};
    lines.push_back(row("Все", totals(statistics_)));
    lines.push_back(row("НУ1", forAddress(statistics_, config_.modbusAddrDrive1.value)));
    lines.push_back(row("НУ2", forAddress(statistics_, config_.modbusAddrDrive2.value)));
    std::string bytes;
    for (uint8_t byte : spiBytes_ ? spiBytes_() : std::vector<uint8_t>()) {
        char hex[4];
        std::snprintf(hex, sizeof hex, "%02x ", byte);
        bytes += hex;
    }
    lines.push_back(bytes);
    return lines;
}

void DebugScreen::redraw() {
    if (gTimers)
        timer_ = gTimers->add("clock", kRedrawMs, [this] { redraw(); });
    // Only a page that stands in the page set has a place on the panel.
    if (!gDisplay || index() < 0)
        return;
    if (!gDisplay->hasLayer(&layer_))
        gDisplay->addLayer(&layer_);
    layer_.moveTo(gDisplay->pageX(pageOrigin()), 0);
    if (!gDisplay->isLayerVisible(&layer_))
        return;
    layer_.clear();
    shown_ = lines();
    Font& font = gDisplay->font(FontFace::Verdana);
    font.setSize(kFontSize);
    for (size_t n = 0; n < shown_.size(); ++n)
        layer_.drawText(font, shown_[n], kPlaces[n].x, kPlaces[n].y, kInk);
    gDisplay->redraw();
}
