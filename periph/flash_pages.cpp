// The message page of portable media and the pages that save the configuration, the logs and single
// dynamograms on a drive.

#include "periph/flash_pages.h"

#include "core/log.h"
#include "core/registry.h"
#include "periph/flash.h"
#include "platform/platform.h"
#include "ui/display.h"
#include "ui/keys.h"

#include <cstdlib>

namespace {

constexpr long kTextFontSize = 640;
constexpr int kTextX = 3;
// Under the title line: four rows of 13 pixels on the 64-pixel panel.
constexpr int kFirstBaseline = 24;
constexpr int kLinePitch = 13;
constexpr int kRows = 4;
constexpr int kBarLeft = 3;
constexpr int kBarHeight = 8;
constexpr int kBarAboveBaseline = 9;
constexpr int kRowAboveBaseline = 10;
constexpr int kFullPercent = 100;
constexpr uint8_t kInk = 255;

std::string dateText(time_t when) {
    tm local{};
    localtime_r(&when, &local);
    char text[16];
    std::strftime(text, sizeof text, "%d.%m.%Y", &local);
    return text;
}

time_t midnight(time_t when) {
    tm local{};
    localtime_r(&when, &local);
    local.tm_hour = 0;
    local.tm_min = 0;
    local.tm_sec = 0;
    local.tm_isdst = -1;
    return mktime(&local);
}

// Moves a day at midnight by whole days in local time.
time_t addDays(time_t day, int days) {
    tm local{};
    localtime_r(&day, &local);
    local.tm_mday += days;
    local.tm_isdst = -1;
    return mktime(&local);
}

} // namespace

std::vector<std::string> errorLines(const std::string& reply) {
    std::vector<std::string> lines{"Ошибка:"};
    size_t split = reply.find('\r');
    lines.push_back(reply.substr(0, split));
    if (split != std::string::npos)
        lines.push_back(reply.substr(split + 1));
    return lines;
}

int progressPercent(const std::string& text) {
    char* end = nullptr;
    long value = std::strtol(text.c_str(), &end, 10);
    if (end == text.c_str() || *end != '%')
        return -1;
    return static_cast<int>(std::min<long>(std::max<long>(value, 0), kFullPercent));
}

void FlashMessage::activate(int) {
    showOnScreen();
    draw();
}

void FlashMessage::showLines(std::vector<std::string> lines, int percent) {
    lines_ = std::move(lines);
    percent_ = percent;
    if (!isShown())
        showOnScreen();
    draw();
}

void FlashMessage::showOnScreen() {
    show();
    // While the display still slides to the page, every layer moves with it: the page starts where
    // the slide brings it onto the screen.
    if (gDisplay)
        page_.moveTo(-gDisplay->pendingScroll(), 0);
}

void FlashMessage::draw() {
    clearWithTitle();
    if (!gDisplay)
        return;
    Font& font = gDisplay->font(FontFace::Arial);
    font.setSize(kTextFontSize);
    // A long text (the installer's output) shows its end; a progress bar takes the row after the text.
    int rowsForText = percent_ >= 0 ? kRows - 1 : kRows;
    size_t first = lines_.size() > static_cast<size_t>(rowsForText) ? lines_.size() - rowsForText : 0;
    int row = 0;
    for (size_t i = first; i < lines_.size(); ++i, ++row)
        page_.drawText(font, lines_[i], kTextX, kFirstBaseline + row * kLinePitch, kInk);
    if (percent_ >= 0) {
        int width = (gDisplay->width() - 2 * kBarLeft) * percent_ / kFullPercent;
        int top = kFirstBaseline + row * kLinePitch - kBarAboveBaseline;
        page_.fillLocalRect(Rect{kBarLeft, kBarLeft + width, top, top + kBarHeight}, kInk);
    }
    if (marked_ >= 1 && static_cast<size_t>(marked_) > first)
        placeBar(0, kFirstBaseline + (marked_ - 1 - static_cast<int>(first)) * kLinePitch - kRowAboveBaseline,
                 gDisplay->width(), kLinePitch);
    else
        placeBar(0, 0, 0, 0);
    refresh();
}

void FlashPage::send(const std::string& command) {
    busy_ = true;
    flash_.send(command, this);
}

void FlashPage::unmount(std::vector<std::string> result) {
    result_ = std::move(result);
    unmounting_ = true;
    marked_ = -1;
    showLines({"Подождите, размонтируем...", "Размонтирование ФС..."});
    send("UMOUNT");
}

bool FlashPage::unmountReply(const std::string& line) {
    if (!unmounting_)
        return false;
    if (line == "OK" || line.compare(0, 6, "ERROR ") == 0) {
        unmounting_ = false;
        if (line != "OK" && result_.size() < 2)
            result_ = errorLines(line.substr(6));
        finish();
        showLines(result_);
    }
    return true;
}

void FlashPage::finish() {
    busy_ = false;
    flash_.release(this);
    flash_.actionEnded();
}

bool FlashPage::closeOnCancel(int key, bool pressed) {
    if (!isShown() || !isPanelKey(key))
        return false;
    if (pressed && key == kKeyCancel && !busy_)
        close();
    return true;
}

void FlashSaveConfig::activate(int) {
    flash_.actionStarted();
    showLines({"Сохранение конфигурации..."});
    // The command mounts and unmounts by itself.
    send("SAVECONFIG " + flash_.destinationName());
}

bool FlashSaveConfig::onKey(int key, bool pressed) {
    return closeOnCancel(key, pressed);
}

void FlashSaveConfig::processThreadResponse(const std::string& line) {
    if (line.compare(0, 9, "PROGRESS ") == 0)
        return;
    finish();
    if (line == "OK")
        showLines({"Конфигурация записана на", "портативный носитель"});
    else
        showLines(errorLines(line.substr(line.find(' ') + 1)));
}

FlashSaveLog::FlashSaveLog(Flash& flash, bool events)
    : FlashPage(events ? "Сохранение журнала событий..." : "Сохранение системного журнала...", flash),
      events_(events) {}

void FlashSaveLog::setRange(time_t from, time_t to) {
    from_ = midnight(from);
    to_ = midnight(to);
    if (isShown() && field_ < 2)
        drawDates();
}

void FlashSaveLog::drawDates() {
    marked_ = field_ + 2;
    showLines({"Выберите диапазон дат:", "c: " + dateText(from_), "по: " + dateText(to_),
               "ВВОД - далее, ОТМ - выход"});
}

void FlashSaveLog::activate(int) {
    time_t today = midnight(gPlatform->clock().wallTime().tv_sec);
    if (to_ == 0) {
        to_ = today;
        from_ = addDays(today, -kDefaultDays);
    }
    field_ = 0;
    show();
    drawDates();
}

bool FlashSaveLog::onKey(int key, bool pressed) {
    if (field_ >= 2 || !isShown() || !isPanelKey(key))
        return closeOnCancel(key, pressed);
    if (!pressed)
        return true;
    switch (key) {
    case kKeyUp:
    case kKeyDown: {
        time_t& day = field_ == 0 ? from_ : to_;
        day = addDays(day, key == kKeyUp ? 1 : -1);
        drawDates();
        return true;
    }
    case kKeyEnter:
        if (field_ == 0) {
            field_ = 1;
            drawDates();
            return true;
        }
        field_ = 2;
        marked_ = -1;
        flash_.actionStarted();
        showLines({"Монтируем файловую систему..."});
        send("MOUNT");
        return true;
    case kKeyCancel:
        close();
        return true;
    default:
        return true;
    }
}

void FlashSaveLog::processThreadResponse(const std::string& line) {
    if (unmountReply(line))
        return;
    bool progress = line.compare(0, 9, "PROGRESS ") == 0;
    if (line.compare(0, 6, "ERROR ") == 0) {
        unmount(errorLines(line.substr(6)));
        return;
    }
    if (field_ == 2) {
        if (progress) {
            mountPoint_ = line.substr(9);
            return;
        }
        field_ = 3;
        // The whole last day is in the range.
        time_t last = addDays(to_, 1) - 1;
        std::string command = events_ ? "COPYELOGBYDATES " : "COPYLOGBYDATES ";
        showLines({"Копирование журнала..."});
        send(command + std::to_string(from_) + " " + std::to_string(last) + " " + mountPoint_ + "/" +
             flash_.destinationName());
        return;
    }
    if (progress) {
        showLines({"Копирование журнала...", line.substr(9)});
        return;
    }
    unmount({"Журнал записан на", "портативный носитель"});
}

void FlashFileCopy::activate(int) {
    step_ = Step::kListing;
    files_.clear();
    selected_ = 0;
    flash_.actionStarted();
    showLines({"Чтение списка..."});
    send("DYNOLIST");
}

void FlashFileCopy::generate() {
    if (step_ != Step::kChoosing) {
        LOG_MSG(LOG_ERR, "flash", "FlashFileCopy::generate() called in unexpected state %d",
                static_cast<int>(step_));
        return;
    }
    if (files_.empty()) {
        marked_ = -1;
        showLines({"Динамограммы не найдены"});
        return;
    }
    int top = std::max(0, selected_ - kVisibleRows + 1);
    std::vector<std::string> lines;
    for (int i = top; i < static_cast<int>(files_.size()) && i < top + kVisibleRows; ++i)
        lines.push_back(files_[i]);
    marked_ = selected_ - top + 1;
    showLines(lines);
}

bool FlashFileCopy::onKey(int key, bool pressed) {
    if (!isShown() || !isPanelKey(key))
        return false;
    if (step_ != Step::kChoosing || !pressed)
        return closeOnCancel(key, pressed);
    if ((key == kKeyUp || key == kKeyDown) && !files_.empty()) {
        int count = static_cast<int>(files_.size());
        selected_ = (selected_ + (key == kKeyDown ? 1 : count - 1)) % count;
        generate();
        return true;
    }
    if (key == kKeyEnter && !files_.empty()) {
        step_ = Step::kMounting;
        marked_ = -1;
        showLines({"Монтируем файловую систему..."});
        send("MOUNT");
        return true;
    }
    if (key == kKeyCancel) {
        finish();
        close();
    }
    return true;
}

void FlashFileCopy::processThreadResponse(const std::string& line) {
    if (unmountReply(line))
        return;
    bool progress = line.compare(0, 9, "PROGRESS ") == 0;
    if (line.compare(0, 6, "ERROR ") == 0) {
        if (step_ == Step::kListing) {
            step_ = Step::kDone;
            finish();
            showLines(errorLines(line.substr(6)));
            return;
        }
        unmount(errorLines(line.substr(6)));
        return;
    }
    switch (step_) {
    case Step::kListing:
        if (progress) {
            files_.push_back(line.substr(9));
            return;
        }
        step_ = Step::kChoosing;
        busy_ = false;
        generate();
        return;
    case Step::kMounting:
        if (progress) {
            mountPoint_ = line.substr(9);
            return;
        }
        step_ = Step::kCopying;
        showLines({"Копирование...", files_[selected_]});
        send("DGPREFIX " + mountPoint_ + "/" + flash_.destinationName());
        send("DYNOCOPY " + files_[selected_]);
        return;
    case Step::kCopying:
        if (progress)
            return;
        step_ = Step::kDone;
        unmount({"Динамограмма скопирована."});
        return;
    default:
        return;
    }
}
