#pragma once
// The choice editor: the options of a select as a list, the current one starred; ВВОД takes the
// option under the cursor.

#include "ui/screen_item.h"

class ConfigSelect;

class EditRadio : public ScreenItem {
public:
    explicit EditRadio(ConfigSelect& setting);

    bool onKey(int key, bool pressed) override;
    void activate(int index) override;

    int cursor() const { return cursor_; }

protected:
    // ВВОД on the row under the cursor.
    virtual void confirm();
    // Draws one option row into the page at the row's top y.
    virtual void drawRow(int option, int y);
    void draw();

    ConfigSelect& select_;
    int cursor_ = 0;
    int top_ = 0;
};
