#pragma once
// A panel item drawn as one full-screen opaque page, with an inverting bar for the selected row.

#include "ui/layer.h"
#include "ui/menu_item.h"

class ScreenItem : public MenuItem {
public:
    explicit ScreenItem(std::string title);
    ~ScreenItem() override;

    // Takes the page off the screen when it is shown.
    void deactivate() override;

    bool isShown() const { return shown_; }
    const Layer& page() const { return page_; }
    const Layer& bar() const { return bar_; }

protected:
    // A fresh black page over the screen (the bar hidden), put on top of the display's layers.
    void show();
    // Takes the page off the display and redraws what lies beneath.
    void hide();
    // Redraws the display after the page changed.
    void refresh();
    // A blank page with the item's title on its top line.
    void clearWithTitle();
    // The bar over the box (x, y, width, height) of the page; width 0 hides it.
    void placeBar(int x, int y, int width, int height);

    Layer page_;
    Layer bar_;

private:
    bool shown_ = false;
};

// Row pitch of the lists on the panel.
constexpr int kListRowHeight = 14;
