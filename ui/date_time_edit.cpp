#include "ui/date_time_edit.h"

#include "core/log.h"
#include "core/registry.h"
#include "platform/clock.h"
#include "platform/system_control.h"
#include "ui/display.h"
#include "ui/keys.h"

#include <cstring>

namespace {

const char kUnit[] = "mainScreen";

constexpr long kFontSize = 1024;
constexpr int kBaseline = 17;
constexpr int kFirstX = 2;
constexpr int kPitch = 11;
constexpr int kBarTop = kBaseline + 3;
constexpr int kBarHeight = 3;
constexpr uint8_t kInk = 255;

// Where each field stands in "dd.mm.yyyy HH:MM:SS": first character and length.
struct FieldPlace {
    int first;
    int length;
};
constexpr FieldPlace kPlaces[] = {{0, 2}, {3, 2}, {6, 4}, {11, 2}, {14, 2}, {17, 2}};
constexpr int kLastField = DateTimeEdit::kSeconds;

int& fieldOf(tm& time, int field) {
    switch (field) {
    case DateTimeEdit::kDay:
        return time.tm_mday;
    case DateTimeEdit::kMonth:
        return time.tm_mon;
    case DateTimeEdit::kYear:
        return time.tm_year;
    case DateTimeEdit::kHours:
        return time.tm_hour;
    case DateTimeEdit::kMinutes:
        return time.tm_min;
    default:
        return time.tm_sec;
    }
}

} // namespace

DateTimeEdit::DateTimeEdit(platform::SystemControl& system) : ScreenItem("Дата, время"), system_(system) {}

void DateTimeEdit::activate(int) {
    time_t now = platform::wallTime();
    localtime_r(&now, &fields_);
    cursor_ = kDay;
    show();
    draw();
}

std::string DateTimeEdit::shownText() const {
    char text[32];
    strftime(text, sizeof text, "%d.%m.%Y %H:%M:%S", &fields_);
    return text;
}

void DateTimeEdit::change(int amount) {
    fieldOf(fields_, cursor_) += amount;
    // Normalised as local time: a day before the 1st is the last of the month before.
    fields_.tm_isdst = -1;
    tm normalised = fields_;
    if (mktime(&normalised) == static_cast<time_t>(-1)) {
        // Beyond what the clock can hold (a 32-bit time past 2038): the step is not taken.
        fieldOf(fields_, cursor_) -= amount;
        return;
    }
    fields_ = normalised;
}

void DateTimeEdit::confirm() {
    tm local = fields_;
    local.tm_isdst = -1;
    time_t chosen = mktime(&local);
    if (chosen == static_cast<time_t>(-1)) {
        LOG_MSG(LOG_ERR, kUnit, "DateTimeEdit: %s is beyond the clock's range", shownText().c_str());
        return;
    }
    if (int error = system_.setWallTime(chosen))
        LOG_MSG(LOG_ERR, kUnit, "DateTimeEdit: cannot set the time: %s", strerror(error));
    tm utc{};
    gmtime_r(&chosen, &utc);
    platform::RtcWrite written = system_.writeRtc(utc);
    if (written.stage == platform::RtcWrite::kOpenFailed) {
        LOG_MSG(LOG_ERR, kUnit, "DateTimeEdit: cannot open /dev/rtc: %s", strerror(written.error));
        return;
    }
    if (written.stage == platform::RtcWrite::kSetFailed)
        LOG_MSG(LOG_ERR, kUnit, "DateTimeEdit: cannot update RTC: %s", strerror(written.error));
    close();
}

bool DateTimeEdit::onKey(int key, bool pressed) {
    if (!isShown() || !isPanelKey(key))
        return false;
    if (!pressed)
        return true;
    switch (key) {
    case kKeyLeft:
        cursor_ = cursor_ > kDay ? cursor_ - 1 : kDay;
        break;
    case kKeyRight:
        cursor_ = cursor_ < kLastField ? cursor_ + 1 : kLastField;
        break;
    case kKeyUp:
        change(1);
        break;
    case kKeyDown:
        change(-1);
        break;
    case kKeyEnter:
        confirm();
        if (!isShown())
            return true;
        break;
    case kKeyCancel:
        close();
        return true;
    }
    draw();
    return true;
}

void DateTimeEdit::draw() {
    if (!gDisplay || !isShown())
        return;
    page_.clear();
    Font& font = gDisplay->font(FontFace::Arial);
    font.setSize(kFontSize);
    std::string text = shownText();
    // One character at a time, each in its own cell, so the fields never shift as digits change.
    for (size_t i = 0; i < text.size(); ++i)
        if (text[i] != ' ')
            page_.drawText(font, text.substr(i, 1), kFirstX + static_cast<int>(i) * kPitch, kBaseline, kInk);
    const FieldPlace& place = kPlaces[cursor_];
    placeBar(kFirstX + place.first * kPitch - 1, kBarTop, place.length * kPitch, kBarHeight);
    refresh();
}
