#pragma once
// "Отладочный экран": every 500 ms (timer "clock") the drive bus's counters as totals and for the
// addresses of drive 1 and drive 2, and the bytes of the last discrete-I/O exchange in hex; drawn
// only while the page is the visible one.

#include "core/timer_queue.h"
#include "ui/horizontal_menu_item.h"
#include "ui/layer.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

class BusStatistics;
class Config;

class DebugScreen : public HorizontalMenuItem {
public:
    static constexpr uint32_t kRedrawMs = 500;
    using SpiBytes = std::function<std::vector<uint8_t>()>;

    // Reads the counters, the drives' addresses and the exchange it is handed; the page is added to a
    // menu set by whoever creates it.
    DebugScreen(const BusStatistics& statistics, const Config& config, SpiBytes spiBytes);
    ~DebugScreen() override;

    // One redraw: re-arms the timer, then draws when the page can be seen.
    void redraw();

    // The lines of the last drawn screen, top to bottom.
    const std::vector<std::string>& shownLines() const { return shown_; }

    // The six lines the screen shows now.
    std::vector<std::string> lines() const;

private:
    const BusStatistics& statistics_;
    const Config& config_;
    SpiBytes spiBytes_;
    Layer layer_;
    TimerId timer_ = 0;
    std::vector<std::string> shown_;
};
