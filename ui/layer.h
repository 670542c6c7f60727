#pragma once
// An 8-bit greyscale drawing surface placed on the screen, and how it blends onto what lies below.

#include <cstdint>
#include <string>
#include <vector>

class Font;

struct Rect {
    int32_t left = 0;
    int32_t right = 0;
    int32_t top = 0;
    int32_t bottom = 0;

    int32_t width() const { return right > left ? right - left : 0; }
    int32_t height() const { return bottom > top ? bottom - top : 0; }
    bool empty() const { return width() == 0 || height() == 0; }
    Rect intersect(const Rect& other) const;
    bool operator==(const Rect& other) const {
        return left == other.left && right == other.right && top == other.top && bottom == other.bottom;
    }
};

// How a layer is composed onto the image below it.
enum BlendMode : int32_t {
    kBlendCoverage = 0, // source is coverage of the layer's colour
    kBlendOpaque = 1,
    kBlendExclusion = 2, // inverts what lies below where set
    kBlendContrast = 3,  // pushes light points to black and dark points to white
};

// A text as drawn on a layer: its pen position relative to the layer (x, baseline y) and the pen x
// after it.
struct DrawnText {
    int x = 0;
    int y = 0;
    int end = 0;
    std::string text;
};

class Layer {
public:
    Layer() = default;
    Layer(const Rect& rect, bool visible, int32_t mode);

    // Reads a plain-text PGM ("P2") picture. False when its header is unusable (the reason is logged);
    // a picture with too few or too many pixels is logged and kept as read.
    bool loadPgm(const std::string& path, bool visible);

    const Rect& rect() const { return rect_; }
    int32_t left() const { return rect_.left; }
    int32_t top() const { return rect_.top; }
    int32_t width() const { return rect_.width(); }
    int32_t height() const { return rect_.height(); }

    void moveTo(int32_t left, int32_t top);
    void moveBy(int32_t dx, int32_t dy);
    void resize(int32_t width, int32_t height);
    void appendRows(int32_t rows, uint8_t fill);

    // Clears the pixels and the record of drawn texts.
    void clear();
    // Screen coordinates.
    void fillRect(const Rect& rect, uint8_t value);
    // Coordinates relative to the layer's top-left corner.
    void fillLocalRect(const Rect& rect, uint8_t value);
    // Glyph bitmaps are written, not blended; y is the baseline. Returns the pen x after the text.
    int drawText(Font& font, const std::string& utf8, int x, int y, uint8_t value);
    // An anti-aliased white point.
    void plot(float x, float y);
    // Blends this layer by its mode onto `below`, over the intersection of the two.
    void compose(Layer& below) const;

    uint8_t pixel(int x, int y) const;
    void setPixel(int x, int y, uint8_t value);
    const std::vector<uint8_t>& pixels() const { return pixels_; }
    // The texts drawn since the layer was made or last cleared, in drawing order.
    const std::vector<DrawnText>& texts() const { return texts_; }

    int32_t colour = 255;
    bool visible = true;
    int32_t mode = kBlendCoverage;

    bool operator==(const Layer& other) const {
        return rect_ == other.rect_ && colour == other.colour && visible == other.visible &&
               mode == other.mode && pixels_ == other.pixels_;
    }
    bool operator!=(const Layer& other) const { return !(*this == other); }

private:
    bool inside(int x, int y) const { return x >= 0 && y >= 0 && x < width() && y < height(); }
    // One row of compose in a blending mode.
    void blendRow(const uint8_t* source, uint8_t* target, int32_t width) const;

    Rect rect_;
    std::vector<uint8_t> pixels_;
    std::vector<DrawnText> texts_;
};

// The blend of one source value s onto a value d already below, by mode; -1 for an unknown mode.
int blendValue(int32_t mode, int32_t colour, int s, int d);
