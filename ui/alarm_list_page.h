#pragma once
// The drive's alarm list as a panel page ("Аварии привода:"): the heading and one row per alarm,
// scrolled with the up and down keys, redrawn whenever the list changes.

#include "drive/alarm_list.h"
#include "ui/horizontal_menu_item.h"
#include "ui/layer.h"

class AlarmListPage : public HorizontalMenuItem, private AlarmListObserver {
public:
    static constexpr int kRowHeight = 14;
    static constexpr int kScrollStep = 12;
    static constexpr int kListWidth = 704;
    static constexpr int kEmptyWidth = 1024;
    static constexpr int kLayerHeight = 85;

    // Follows the list from now on; the page itself is added to a menu set by whoever creates it.
    explicit AlarmListPage(const AlarmList& alarms);
    ~AlarmListPage() override;

    // 35 scrolls the list up by 12 pixels, 36 down; other keys are not handled.
    bool onKey(int key, bool pressed) override;
    // Draws the list as it stands; the layer joins the display once the page stands in a page set.
    void redraw() { drawLayer(); }

    const Layer& layer() const { return layer_; }
    int scrollOffset() const { return scroll_; }
    int contentHeight() const { return contentHeight_; }

private:
    void alarmsChanged() override { drawLayer(); }
    void drawLayer();
    void placeLayer();
    int visibleHeight() const;

    const AlarmList& alarms_;
    Layer layer_;
    int scroll_ = 0;
    int contentHeight_ = 0;
};
