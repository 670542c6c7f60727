#pragma once
// A set of panel items with one current item that gets the keys first; left and right move between
// the items (the root set holds the top-level pages side by side).

#include "ui/menu_item.h"

#include <vector>

class MenuSet : public MenuItem {
public:
    explicit MenuSet(std::string title = std::string());
    ~MenuSet() override;

    bool onKey(int key, bool pressed) override;
    // Makes item `index` current: the old one is deactivated, the new one activated.
    void activate(int index) override;
    void close() override;
    void removeMenuItem(int index) override;
    void removeMenuItem(MenuItem* item) override;
    virtual int addMenuItem(MenuItem* item);

    int current() const { return current_; }
    MenuItem* currentItem() const;
    const std::vector<MenuItem*>& items() const { return items_; }

protected:
    // Takes item `index` out (closed first when current) and keeps current_ on the same item, one
    // lower when the removed one was current; false for an invalid index. Activates nothing.
    bool detachItem(int index);

    std::vector<MenuItem*> items_;
    int current_ = -1;
};

// The root screen stack of the running daemon (set by start-up, null before and after).
extern MenuSet* gRootMenu;
