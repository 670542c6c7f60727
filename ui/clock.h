#pragma once
// The main screen: every 100 ms (timer "clock") the drive's mode, first alarm, pump units, valves,
// load, pressure, currents, frequencies, oil temperature and the local time, redrawn only while its
// layer can be seen.

#include "core/timer_queue.h"
#include "ui/horizontal_menu_item.h"
#include "ui/layer.h"
#include "ui/log_viewer.h"
#include "ui/main_screen_lines.h"
#include "ui/vertical_menu.h"

class Config;
class DriveView;

class Clock : public HorizontalMenuItem {
public:
    static constexpr uint32_t kTickMs = 100;

    // Reads the drive and the settings it is handed; the page is added to a menu set by whoever
    // creates it, then ticks for its whole life.
    Clock(const DriveView& drive, const Config& config);
    ~Clock() override;

    // The settings menu gets the key first; ВВОД opens it.
    bool onKey(int key, bool pressed) override;
    void close() override;

    // One tick: re-arms the timer and, when the layer can be seen, redraws the status.
    void tick();

    // The texts of the last drawn status, top to bottom as placed.
    const std::vector<PlacedText>& shownLines() const { return shown_; }
    const Layer& layer() const { return layer_; }
    const VerticalMenu& settingsMenu() const { return settings_; }
    LogViewer& logViewer() { return logViewer_; }

private:
    void draw();

    const DriveView& drive_;
    const Config& config_;
    Layer layer_;
    TimerId timer_ = 0;
    std::vector<PlacedText> shown_;
    VerticalMenu settings_;
    VerticalMenu journalMenu_;
    LogViewer logViewer_;
};
