#include "ui/display.h"

#include "platform/platform.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

Display* gDisplay = nullptr;

namespace {

constexpr uint32_t kScrollStepMs = 30;
constexpr int32_t kScrollFastDistance = 63;
constexpr int32_t kScrollMaxStep = 32;

const char* const kFontFiles[] = {
    "/usr/share/fonts/truetype/arial.ttf",
    "/usr/share/fonts/truetype/verdana.ttf",
    "/usr/share/fonts/truetype/RobotoMono-Regular.ttf",
};

} // namespace

Font& Display::font(FontFace face) {
    auto& slot = fonts_[static_cast<int>(face)];
    if (!slot)
        slot = std::make_unique<Font>(platform::rootPath(kFontFiles[static_cast<int>(face)]));
    return *slot;
}

Display::Display(platform::FramebufferDevice& device) : framebuffer_(device) {}

Display::~Display() {
    scrollTimer_.cancel();
    framebuffer_.close();
}

int Display::open() {
    int status = framebuffer_.open();
    if (status == 0)
        image_ = Layer(framebuffer_.rect(), true, kBlendOpaque);
    return status;
}

void Display::addLayer(Layer* layer) {
    if (layer && !hasLayer(layer))
        layers_.push_back(layer);
}

void Display::removeLayer(Layer* layer) {
    layers_.erase(std::remove(layers_.begin(), layers_.end(), layer), layers_.end());
}

bool Display::hasLayer(const Layer* layer) const {
    return std::find(layers_.begin(), layers_.end(), layer) != layers_.end();
}

void Display::redraw() {
    // Copied into the same storage every time: no allocation per frame.
    previous_ = image_;
    image_.clear();
    for (Layer* layer : layers_)
        if (layer->visible && !layer->rect().intersect(screen()).empty())
            layer->compose(image_);
    if (blanked_)
        return;
    if (!(previous_.rect() == image_.rect())) {
        wholeNext_ = false;
        framebuffer_.present(image_);
        return;
    }
    // Most frames change a line or two of text: only the rows from the first changed one to the last
    // are written to the device (none when the image is the same).
    int32_t width = image_.width();
    int32_t rows = image_.height();
    auto rowDiffers = [&](int32_t y) {
        size_t offset = static_cast<size_t>(y) * width;
        return std::memcmp(&image_.pixels()[offset], &previous_.pixels()[offset], width) != 0;
    };
    int32_t first = 0;
    while (first < rows && !rowDiffers(first))
        ++first;
    if (first == rows)
        return;
    if (wholeNext_) {
        wholeNext_ = false;
        framebuffer_.present(image_);
        return;
    }
    int32_t end = rows;
    while (end > first && !rowDiffers(end - 1))
        --end;
    framebuffer_.present(image_, first, end);
}

void Display::setBlank(bool blank) {
    if (blank == blanked_)
        return;
    blanked_ = blank;
    if (blank)
        framebuffer_.present(Layer(screen(), true, kBlendOpaque));
    else
        framebuffer_.present(image_);
}

bool Display::isLayerVisible(const Layer* layer) const {
    if (!layer || !layer->visible || blanked_)
        return false;
    Rect area = layer->rect().intersect(screen());
    if (area.empty())
        return false;
    auto it = std::find(layers_.begin(), layers_.end(), layer);
    if (it == layers_.end())
        return true;
    // Mark what the opaque layers above cover; the layer shows if any point is left.
    std::vector<bool> covered(static_cast<size_t>(area.width()) * area.height(), false);
    for (++it; it != layers_.end(); ++it) {
        const Layer* above = *it;
        if (!above->visible || above->mode != kBlendOpaque)
            continue;
        Rect hidden = above->rect().intersect(area);
        for (int32_t y = hidden.top; y < hidden.bottom; ++y)
            std::fill_n(covered.begin() + (y - area.top) * area.width() + (hidden.left - area.left),
                        hidden.width(), true);
    }
    return std::find(covered.begin(), covered.end(), false) != covered.end();
}

bool Display::coveredAbove(const Layer* layer, int32_t x, int32_t y) const {
    auto it = std::find(layers_.begin(), layers_.end(), layer);
    if (it == layers_.end())
        return false;
    for (++it; it != layers_.end(); ++it) {
        const Layer* above = *it;
        if (!above->visible || above->mode != kBlendOpaque)
            continue;
        Rect area = above->rect();
        if (x >= area.left && x < area.right && y >= area.top && y < area.bottom)
            return true;
    }
    return false;
}

void Display::showPage(int index) {
    scrollBy(position_ - index * width());
}

void Display::scrollBy(int32_t dx) {
    // Showing the page already shown would otherwise wiggle the panel by a pixel and back.
    if (dx == 0 && pending_ == 0)
        return;
    position_ -= dx;
    pending_ += dx;
    if (paused_ || scrollTimer_.armed())
        return;
    scrollStep();
}

void Display::scrollStep() {
    int32_t before = pending_;
    int32_t delta = pending_ >= 1 ? step_ : -step_;
    for (Layer* layer : layers_)
        layer->moveBy(delta, 0);
    redraw();
    pending_ -= delta;
    // Speed up while far from the target, slow down when near it.
    if (std::abs(before) > kScrollFastDistance) {
        if (step_ < kScrollMaxStep)
            step_ *= 2;
    } else if (step_ > 1) {
        step_ /= 2;
    }
    if (before != delta)
        scrollTimer_.start("layerScroll", kScrollStepMs, [this] { scrollStep(); });
}

void Display::pauseScroll() {
    scrollTimer_.cancel();
    paused_ = true;
}

void Display::resumeScroll() {
    paused_ = false;
    if (pending_ != 0 && !scrollTimer_.armed())
        scrollStep();
}

std::vector<std::string> Display::visibleTexts() const {
    std::vector<DrawnText> shown;
    for (const Layer* layer : layers_) {
        if (!isLayerVisible(layer))
            continue;
        for (const DrawnText& text : layer->texts()) {
            DrawnText onScreen{layer->left() + text.x, layer->top() + text.y, layer->left() + text.end,
                               text.text};
            if (onScreen.y <= 0 || onScreen.y > height() || onScreen.x >= width() || onScreen.end <= 0)
                continue;
            // A text whose start lies under an opaque layer above is not seen, though its layer may
            // show elsewhere.
            if (coveredAbove(layer, std::max(onScreen.x, 0), onScreen.y - 1))
                continue;
            shown.push_back(onScreen);
        }
    }
    std::stable_sort(shown.begin(), shown.end(), [](const DrawnText& a, const DrawnText& b) {
        return a.y != b.y ? a.y < b.y : a.x < b.x;
    });
    std::vector<std::string> texts;
    for (DrawnText& text : shown)
        texts.push_back(std::move(text.text));
    return texts;
}
