#pragma once
// The date and time editor: day, month, year, hours, minutes and seconds under a cursor; up and down
// change the field and the date is normalised at once, so that a field running over carries into the
// next (31 January and a day is 1 February). ВВОД sets the clock and the real-time clock.

#include "ui/screen_item.h"

#include <ctime>
#include <string>

namespace platform {
class SystemControl;
}

class DateTimeEdit : public ScreenItem {
public:
    enum Field { kDay, kMonth, kYear, kHours, kMinutes, kSeconds };

    explicit DateTimeEdit(platform::SystemControl& system);

    bool onKey(int key, bool pressed) override;
    void activate(int index) override;

    // What the editor shows: "%d.%m.%Y %H:%M:%S".
    std::string shownText() const;
    int cursor() const { return cursor_; }

private:
    void change(int amount);
    void confirm();
    void draw();

    platform::SystemControl& system_;
    tm fields_{};
    int cursor_ = kDay;
};
