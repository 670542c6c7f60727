#include "ui/menu_item.h"

#include "ui/menu_set.h"

MenuItem::MenuItem(std::string title) : title_(std::move(title)) {}

MenuItem::~MenuItem() {
    if (parent_)
        parent_->removeMenuItem(this);
}

bool MenuItem::onKey(int, bool) {
    return false;
}
void MenuItem::deactivate() {}
void MenuItem::setIndex(int index) {
    index_ = index;
}
std::string MenuItem::title() const {
    return title_;
}
const std::string& MenuItem::titleRef() const {
    return title_;
}
void MenuItem::close() {
    deactivate();
}
void MenuItem::removeMenuItem(int) {}
void MenuItem::removeMenuItem(MenuItem*) {}
void MenuItem::itemChanged(MenuItem*) {}

void MenuItem::setEnabled(bool enabled) {
    if (enabled == enabled_)
        return;
    enabled_ = enabled;
    close();
    if (parent_)
        parent_->itemChanged(this);
}
