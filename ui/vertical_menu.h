#pragma once
// A menu drawn as a list of titles, 14 pixels a row, with an inverting selection bar; ВВОД opens the
// selected entry on top of it.

#include "ui/layer.h"
#include "ui/menu_set.h"

class VerticalMenu : public MenuSet {
public:
    explicit VerticalMenu(std::string title = std::string(), int32_t pageOrigin = 0);
    ~VerticalMenu() override;

    bool onKey(int key, bool pressed) override;
    // Shows the menu.
    void activate(int index) override;
    void deactivate() override;
    void itemChanged(MenuItem* item) override;
    int addMenuItem(MenuItem* item) override;
    void removeMenuItem(int index) override;
    using MenuSet::removeMenuItem;

    // False lets left and right through to the page set around a top-level menu.
    void setConsumesLeftRight(bool consumes) { consumesLeftRight_ = consumes; }
    // False leaves ОТМ to the set around it.
    void setCancelCloses(bool closes) { cancelCloses_ = closes; }
    void setPageOrigin(int32_t x) { pageOrigin_ = x; }
    bool isShown() const { return shown_; }

    const Layer& listLayer() const { return list_; }
    const Layer& barLayer() const { return bar_; }

    static constexpr int kRowHeight = 14;

private:
    void rebuild();
    void placeLayers();
    // Whole rows the screen shows at once.
    int visibleRows() const;
    void moveSelection(int direction);
    void selectFirstEnabled();

    Layer list_;
    Layer bar_;
    int top_ = 0;
    bool rebuildNeeded_ = true;
    bool consumesLeftRight_ = true;
    bool cancelCloses_ = true;
    int32_t pageOrigin_ = 0;
    bool shown_ = false;
};
