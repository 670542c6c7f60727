#pragma once
// A service action of the settings menu: ВВОД runs it at once, without asking, and a message page
// says what was done until ОТМ closes it; other keys are consumed meanwhile.

#include "ui/screen_item.h"

#include <string>
#include <vector>

class ServiceItem : public ScreenItem {
public:
    struct MessageLine {
        std::string text;
        int x;
        int baseline;
    };

    explicit ServiceItem(std::string title) : ScreenItem(std::move(title)) {}

    bool onKey(int key, bool pressed) override;
    // Runs the action, shows its message, then whatever follows the message.
    void activate(int index) override;

    const std::vector<MessageLine>& message() const { return message_; }

protected:
    // The action; returns the message that reports it.
    virtual std::vector<MessageLine> act() = 0;
    // What comes once the message is on the panel (restart and reboot leave only then).
    virtual void afterShown() {}

private:
    std::vector<MessageLine> message_;
};
