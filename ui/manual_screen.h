#pragma once
// "Экран ручного режима": the page beside the main screen with the four manual-mode settings, always
// shown as an open list; up and down select an entry, ВВОД edits it. ОТМ does nothing here and left and
// right go on to the page set.

#include "ui/edit_radio.h"
#include "ui/horizontal_menu_item.h"
#include "ui/value_edit.h"
#include "ui/vertical_menu.h"

class Config;

class ManualScreen : public HorizontalMenuItem {
public:
    explicit ManualScreen(Config& config);
    ~ManualScreen() override;

    bool onKey(int key, bool pressed) override;
    // Also places the list on the page at the new index.
    void setIndex(int index) override;
    void close() override;

    // Draws the list on its page; called once the page stands in the page set.
    void showList();

    const VerticalMenu& list() const { return list_; }

private:
    VerticalMenu list_;
    EditRadio noLimits_;
    ValueEdit frequency1_;
    ValueEdit frequency2_;
    EditRadio reverseStart_;
};
