#include "ui/layer.h"

#include <algorithm>
#include <cmath>
#include <cstring>

Rect Rect::intersect(const Rect& other) const {
    Rect both{std::max(left, other.left), std::min(right, other.right), std::max(top, other.top),
              std::min(bottom, other.bottom)};
    if (both.right < both.left)
        both.right = both.left;
    if (both.bottom < both.top)
        both.bottom = both.top;
    return both;
}

Layer::Layer(const Rect& rect, bool visibleLayer, int32_t blendMode)
    : visible(visibleLayer), mode(blendMode), rect_(rect),
      pixels_(static_cast<size_t>(rect.width()) * static_cast<size_t>(rect.height()), 0) {}

void Layer::moveTo(int32_t left, int32_t top) {
    moveBy(left - rect_.left, top - rect_.top);
}

void Layer::moveBy(int32_t dx, int32_t dy) {
    rect_.left += dx;
    rect_.right += dx;
    rect_.top += dy;
    rect_.bottom += dy;
}

void Layer::resize(int32_t width, int32_t height) {
    rect_.right = rect_.left + width;
    rect_.bottom = rect_.top + height;
    pixels_.resize(static_cast<size_t>(rect_.width()) * static_cast<size_t>(rect_.height()), 0);
}

void Layer::appendRows(int32_t rows, uint8_t fill) {
    if (rows <= 0)
        return;
    rect_.bottom = rect_.top + rect_.height() + rows;
    pixels_.resize(static_cast<size_t>(rect_.width()) * static_cast<size_t>(rect_.height()), fill);
}

void Layer::clear() {
    std::fill(pixels_.begin(), pixels_.end(), 0);
    texts_.clear();
}

void Layer::fillRect(const Rect& rect, uint8_t value) {
    Rect area = rect.intersect(rect_);
    for (int32_t y = area.top; y < area.bottom; ++y)
        std::fill_n(pixels_.begin() + (y - rect_.top) * width() + (area.left - rect_.left), area.width(),
                    value);
}

void Layer::fillLocalRect(const Rect& rect, uint8_t value) {
    fillRect(
        Rect{rect.left + rect_.left, rect.right + rect_.left, rect.top + rect_.top, rect.bottom + rect_.top},
        value);
}

uint8_t Layer::pixel(int x, int y) const {
    return inside(x, y) ? pixels_[y * width() + x] : 0;
}

void Layer::setPixel(int x, int y, uint8_t value) {
    if (inside(x, y))
        pixels_[y * width() + x] = value;
}

void Layer::plot(float x, float y) {
    int ix = static_cast<int>(std::floor(x));
    int iy = static_cast<int>(std::floor(y));
    float fx = x - ix;
    float fy = y - iy;
    const struct {
        int dx, dy;
        float weight;
    } corners[] = {
        {0, 0, (1 - fx) * (1 - fy)},
        {1, 0, fx * (1 - fy)},
        {0, 1, (1 - fx) * fy},
        {1, 1, fx * fy},
    };
    for (const auto& corner : corners) {
        int px = ix + corner.dx;
        int py = iy + corner.dy;
        if (!inside(px, py))
            continue;
        float old = pixels_[py * width() + px];
        pixels_[py * width() + px] = static_cast<uint8_t>(corner.weight * 255 + old * (1 - corner.weight));
    }
}

int blendValue(int32_t mode, int32_t colour, int s, int d) {
    switch (mode) {
    case kBlendCoverage:
        return (colour * s + (255 - s) * d) / 255;
    case kBlendOpaque:
        return s;
    case kBlendExclusion:
        return s + d - (2 * s * d) / 255;
    case kBlendContrast:
        return ((d > 127 ? 0 : s * 255) + d * (255 - s)) / 255;
    default:
        return -1;
    }
}

void Layer::compose(Layer& below) const {
    if (mode < kBlendCoverage || mode > kBlendContrast)
        return;
    Rect area = rect_.intersect(below.rect_);
    for (int32_t y = area.top; y < area.bottom; ++y) {
        const uint8_t* source = &pixels_[(y - rect_.top) * width() + (area.left - rect_.left)];
        uint8_t* target =
            &below.pixels_[(y - below.rect_.top) * below.width() + (area.left - below.rect_.left)];
        if (mode == kBlendOpaque) {
            std::memcpy(target, source, static_cast<size_t>(area.width()));
            continue;
        }
        blendRow(source, target, area.width());
    }
}

void Layer::blendRow(const uint8_t* source, uint8_t* target, int32_t width) const {
    // In every blending mode a source value of 0 leaves what lies below: a layer of text is mostly
    // such points, skipped eight at a time.
    constexpr int32_t kWord = sizeof(uint64_t);
    for (int32_t x = 0; x < width;) {
        uint64_t word = 0;
        if (x + kWord <= width) {
            std::memcpy(&word, source + x, sizeof word);
            if (word == 0) {
                x += kWord;
                continue;
            }
        }
        if (source[x] != 0)
            target[x] = static_cast<uint8_t>(blendValue(mode, colour, source[x], target[x]));
        ++x;
    }
}
