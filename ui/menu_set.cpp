#include "ui/menu_set.h"

#include "core/log.h"
#include "ui/keys.h"

#include <algorithm>

MenuSet* gRootMenu = nullptr;

namespace {

const char kUnit[] = "menu";

} // namespace

MenuSet::MenuSet(std::string title) : MenuItem(std::move(title)) {}

MenuSet::~MenuSet() {
    for (MenuItem* item : items_) {
        if (!item)
            continue;
        item->parent_ = nullptr;
        item->index_ = -1;
    }
}

MenuItem* MenuSet::currentItem() const {
    return current_ >= 0 && current_ < static_cast<int>(items_.size()) ? items_[current_] : nullptr;
}

bool MenuSet::onKey(int key, bool pressed) {
    if (MenuItem* item = currentItem())
        if (item->onKey(key, pressed))
            return true;
    if (!pressed || (key != kKeyLeft && key != kKeyRight))
        return false;
    int step = key == kKeyLeft ? -1 : 1;
    int next = current_ + step;
    // A hidden page (disabled) is passed over.
    while (next >= 0 && next < static_cast<int>(items_.size()) && items_[next] && !items_[next]->enabled())
        next += step;
    if (next < 0 || next >= static_cast<int>(items_.size()) || !items_[next])
        return false;
    // The page left behind stays in place: the display slides to the new one.
    current_ = next;
    items_[next]->activate(next);
    return true;
}

void MenuSet::activate(int index) {
    if (index < 0 || index >= static_cast<int>(items_.size()) || index == current_ || !items_[index])
        return;
    if (MenuItem* item = currentItem())
        item->deactivate();
    current_ = index;
    items_[index]->activate(index);
}

void MenuSet::close() {
    if (MenuItem* item = currentItem())
        item->close();
    deactivate();
}

int MenuSet::addMenuItem(MenuItem* item) {
    items_.push_back(item);
    int index = static_cast<int>(items_.size()) - 1;
    // A missing entry keeps its place in the list (a menu shows it as such) but is never selected.
    if (!item)
        return index;
    item->parent_ = this;
    item->setIndex(index);
    if (current_ < 0 && item->enabled())
        current_ = index;
    return index;
}

void MenuSet::removeMenuItem(int index) {
    if (!detachItem(index))
        return;
    if (current_ < 0 || current_ >= static_cast<int>(items_.size())) {
        current_ = static_cast<int>(items_.size()) - 1;
        if (current_ >= 0 && items_[current_])
            items_[current_]->activate(current_);
    }
}

bool MenuSet::detachItem(int index) {
    if (index < 0 || index >= static_cast<int>(items_.size())) {
        LOG_MSG(LOG_ERR, kUnit, "MenuSet::removeMenuItem(): invalid item number %d", index);
        return false;
    }
    if (MenuItem* item = items_[index]) {
        if (index == current_)
            item->close();
        item->parent_ = nullptr;
        item->setIndex(-1);
    }
    items_.erase(items_.begin() + index);
    for (int i = index; i < static_cast<int>(items_.size()); ++i)
        if (items_[i])
            items_[i]->setIndex(i);
    if (index <= current_)
        --current_;
    return true;
}

void MenuSet::removeMenuItem(MenuItem* item) {
    auto it = std::find(items_.begin(), items_.end(), item);
    if (it != items_.end())
        removeMenuItem(static_cast<int>(it - items_.begin()));
}
