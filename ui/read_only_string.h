#pragma once
// A page that shows one text; ОТМ closes it.

#include "ui/layer.h"
#include "ui/menu_item.h"

class ReadOnlyString : public MenuItem {
public:
    ReadOnlyString(std::string title, std::string text);
    ~ReadOnlyString() override;

    bool onKey(int key, bool pressed) override;
    void activate(int index) override;
    void deactivate() override;

    void setText(std::string text) { text_ = std::move(text); }
    const std::string& text() const { return text_; }
    bool isShown() const { return layer_.visible; }
    const Layer& layer() const { return layer_; }

private:
    std::string text_;
    Layer layer_;
};
