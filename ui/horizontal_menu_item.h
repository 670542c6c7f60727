#pragma once
// A top-level panel page: it stands beside the other pages of the root set, and activating it slides
// the display to it.

#include "ui/menu_item.h"

#include <cstdint>

class HorizontalMenuItem : public MenuItem {
public:
    explicit HorizontalMenuItem(std::string title = std::string()) : MenuItem(std::move(title)) {}

    void activate(int index) override;
    // The page's left edge in page-set coordinates: its index times the screen width.
    int32_t pageOrigin() const;
};
