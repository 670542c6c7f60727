#pragma once
// The main screen: every 100 ms (timer "clock") the drive's mode, first alarm, pump units, valves,
// load, pressure, currents, frequencies, oil temperature and the local time, redrawn only while its
// layer can be seen. ВВОД opens "Меню настроек" over it.

#include "core/timer_queue.h"
#include "ui/horizontal_menu_item.h"
#include "ui/layer.h"
#include "ui/log_viewer.h"
#include "ui/main_screen_lines.h"
#include "ui/settings_menu.h"
#include "ui/vertical_menu.h"

#include <memory>

class Config;
class DriveView;
class DriveCommands;

namespace platform {
class SystemControl;
}

class Clock : public HorizontalMenuItem {
public:
    static constexpr uint32_t kTickMs = 100;

    // Reads the drive and the settings it is handed and builds the settings menu with the drive's
    // commands and the board's clock and restart; the page is added to a menu set by whoever creates
    // it, then ticks for its whole life.
    Clock(const DriveView& drive, Config& config, DriveCommands& commands, platform::SystemControl& system);
    ~Clock() override;

    // The settings menu gets the key first; ВВОД opens it.
    bool onKey(int key, bool pressed) override;
    void close() override;
    SettingsMenu& settings() { return *settings_; }

    // One tick: re-arms the timer and, when the layer can be seen and the status changed (or the page
    // moved), redraws it.
    void tick();

    // The texts of the last drawn status, top to bottom as placed.
    const std::vector<PlacedText>& shownLines() const { return shown_; }
    const Layer& layer() const { return layer_; }
    LogViewer& logViewer() { return logViewer_; }

private:
    void draw();

    const DriveView& drive_;
    const Config& config_;
    Layer layer_;
    TimerId timer_ = 0;
    std::vector<PlacedText> shown_;
    // The layer holds the pixels of shown_.
    bool drawn_ = false;
    VerticalMenu journalMenu_;
    LogViewer logViewer_;
    std::unique_ptr<SettingsMenu> settings_;
};
