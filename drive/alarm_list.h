#pragma once
// The active alarms of the drive: an ordered list by code that journals what is raised and cleared,
// drives the status outputs, and is a panel page ("Аварии привода:") scrolled with the up and down keys.

#include "drive/alarm_catalogue.h"
#include "drive/controller.h"
#include "ui/horizontal_menu_item.h"
#include "ui/layer.h"

#include <map>
#include <string>
#include <utility>
#include <vector>

class Controller::AlarmList : public HorizontalMenuItem {
public:
    static constexpr int kRowHeight = 14;
    static constexpr int kScrollStep = 12;
    static constexpr int kListWidth = 704;
    static constexpr int kEmptyWidth = 1024;
    static constexpr int kLayerHeight = 85;

    // The page's layer joins the display; the page itself is added to a menu set by the controller.
    explicit AlarmList(Controller& owner);
    ~AlarmList() override;

    // 35 scrolls the list up by 12 pixels, 36 down; other keys are not handled.
    bool onKey(int key, bool pressed) override;

    // Adds the record unless its code is active: journalled, redrawn. True when added.
    bool add(const AlarmRecord& record);
    // Removes the code: journalled, redrawn. True when it was active.
    bool remove(int32_t code);
    // Replaces the text of an active code when it differs; logged and redrawn. True when replaced.
    bool changeText(int32_t code, const std::string& text);
    // Empties the list without journalling.
    void reset();

    bool contains(int32_t code) const { return alarms_.count(code) != 0; }
    size_t count() const { return count_; }
    const std::map<int32_t, AlarmRecord>& entries() const { return alarms_; }
    // The lowest active code's record, or nullptr.
    const AlarmRecord* first() const;
    // The first alarm's text, or "Нет аварий".
    std::string currentText() const;
    // ("alarm" + code, text) in code order, for the web API.
    std::vector<std::pair<std::string, std::string>> webEntries() const;
    // Set while any of the sensor-fault codes is active.
    bool sensorFault() const { return sensorFault_; }

    // Redraws the page and sets the status outputs from the mode and the first alarm.
    void redraw();
    const Layer& layer() const { return layer_; }
    int scrollOffset() const { return scroll_; }
    int contentHeight() const { return contentHeight_; }

private:
    void drawLayer();
    void placeLayer();
    void applyStatusOutputs();
    void updateSensorFault();
    int visibleHeight() const;

    Controller& owner_;
    std::map<int32_t, AlarmRecord> alarms_;
    size_t count_ = 0;
    Layer layer_;
    int scroll_ = 0;
    int contentHeight_ = 0;
    bool sensorFault_ = false;
};
