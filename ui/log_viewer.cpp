#include "ui/log_viewer.h"

#include "core/registry.h"
#include "ui/display.h"
#include "ui/keys.h"

#include <algorithm>

namespace {

constexpr long kListFontSize = 576;
constexpr int kLineSpacing = 10;
constexpr uint8_t kInk = 255;

constexpr long kErrorTitleSize = 960;
constexpr long kErrorTextSize = 768;
constexpr int kErrorX = 20;
constexpr int kErrorTitleY = 20;
constexpr int kErrorTextY = 37;
constexpr int kErrorPathY = 54;

} // namespace

LogViewer::LogViewer(std::string journalPath)
    : ScreenItem("Просмотр журнала"), path_(std::move(journalPath)), filter_("filter", 0, false),
      editor_(filter_) {
    filter_.quiet = true;
    filter_.options.assign(kJournalCategoryNames.begin(), kJournalCategoryNames.end());
}

LogViewer::~LogViewer() = default;

void LogViewer::activate(int) {
    show();
    refresh();
    page_.clear();
    filter_.setAll(0);
    entries_.clear();
    first_ = 0;
    offset_ = 0;
    failed_ = false;
    if (!reader_.open(path_)) {
        showError();
        return;
    }
    // The first slice comes with the next pass of the loop, as do the others.
    sliceTimer_.start("logViewer", 0, [this] { readSlice(); });
}

void LogViewer::deactivate() {
    sliceTimer_.cancel();
    reader_.close();
    if (editor_.isShown())
        editor_.close();
    entries_.clear();
    entries_.shrink_to_fit();
    ScreenItem::deactivate();
}

void LogViewer::readSlice() {
    lines_.clear();
    JournalReader::Status status = reader_.read(kLinesPerSlice, lines_);
    for (const std::string& line : lines_)
        entries_.push_back(classifier_.entry(line));
    if (status == JournalReader::Status::More) {
        sliceTimer_.start("logViewer", 0, [this] { readSlice(); });
        return;
    }
    reader_.close();
    if (status == JournalReader::Status::Failed) {
        entries_.clear();
        showError();
        return;
    }
    // The newest entries are on screen.
    first_ = static_cast<int>(entries_.size());
    fillScreen();
    offset_ = 0;
    drawList();
}

void LogViewer::showError() {
    failed_ = true;
    page_.clear();
    if (gDisplay) {
        Font& font = gDisplay->font(FontFace::Verdana);
        font.setSize(kErrorTitleSize);
        page_.drawText(font, "Ошибка!", kErrorX, kErrorTitleY, kInk);
        font.setSize(kErrorTextSize);
        page_.drawText(font, "Не могу прочитать", kErrorX, kErrorTextY, kInk);
        page_.drawText(font, "/var/log/events", kErrorX, kErrorPathY, kInk);
    }
    refresh();
}

bool LogViewer::passes(int entry) const {
    return filter_.mask == 0 || (entries_[entry].categories & filter_.mask) != 0;
}

void LogViewer::fillScreen() {
    int count = static_cast<int>(entries_.size());
    int visible = 0;
    for (int n = first_; n < count && visible < kShownLines; ++n)
        visible += passes(n) ? 1 : 0;
    for (int n = first_ - 1; n >= 0 && visible < kShownLines; --n) {
        if (!passes(n))
            continue;
        first_ = n;
        ++visible;
    }
}

void LogViewer::scrollUp() {
    for (int n = first_ - 1; n >= 0; --n) {
        if (passes(n)) {
            first_ = n;
            return;
        }
    }
}

void LogViewer::scrollDown() {
    int count = static_cast<int>(entries_.size());
    int next = -1;
    int after = 0;
    for (int n = first_ + 1; n < count && after < kShownLines; ++n) {
        if (!passes(n))
            continue;
        if (next < 0)
            next = n;
        ++after;
    }
    // Fewer than a screenful after the first shown entry: the last ones are on screen already.
    if (after >= kShownLines)
        first_ = next;
}

void LogViewer::drawList() {
    page_.clear();
    if (gDisplay) {
        Font& font = gDisplay->font(FontFace::Verdana);
        font.setSize(kListFontSize);
        int count = static_cast<int>(entries_.size());
        int row = 0;
        for (int n = first_; n < count && row < kShownLines; ++n) {
            if (!passes(n))
                continue;
            ++row;
            page_.drawText(font, entries_[n].text, offset_, row * kLineSpacing, kInk);
        }
    }
    refresh();
}

bool LogViewer::onKey(int key, bool pressed) {
    if (!isShown())
        return false;
    bool editing = editor_.isShown();
    if (editor_.onKey(key, pressed)) {
        // Closing the editor applies the new filter.
        if (editing && !editor_.isShown()) {
            fillScreen();
            drawList();
        }
        return true;
    }
    if (!isPanelKey(key))
        return false;
    if (!pressed)
        return true;
    if (key == kKeyCancel) {
        close();
        return true;
    }
    // Until the journal is read, or when it could not be, only ОТМ acts.
    if (isLoading() || failed_)
        return true;
    switch (key) {
    case kKeyEnter:
        editor_.activate(0);
        return true;
    case kKeyUp:
        scrollUp();
        break;
    case kKeyDown:
        scrollDown();
        break;
    case kKeyLeft:
        offset_ = std::min(offset_ + kScrollStep, 0);
        break;
    case kKeyRight:
        offset_ -= kScrollStep;
        break;
    }
    drawList();
    return true;
}
