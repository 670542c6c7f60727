#pragma once
// A page that shows one text; ОТМ closes it.

#include "ui/screen_item.h"

class ReadOnlyString : public ScreenItem {
public:
    ReadOnlyString(std::string title, std::string text);

    bool onKey(int key, bool pressed) override;
    void activate(int index) override;

    void setText(std::string text) { text_ = std::move(text); }
    const std::string& text() const { return text_; }
    const Layer& layer() const { return page_; }

private:
    std::string text_;
};
