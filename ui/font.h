#pragma once
// One TrueType face rendered with FreeType; sizes in 1/64 point.

#include <cstdint>
#include <string>

// The panel's resolution in both directions.
constexpr unsigned kPanelDpi = 85;

// A rendered glyph as the layer needs it; the bitmap belongs to the font until the next glyph.
struct GlyphImage {
    const uint8_t* buffer = nullptr;
    int rows = 0;
    int width = 0;
    int pitch = 0;
    bool mono = false; // one bit per pixel, else grey with `levels` levels
    int levels = 256;
    int left = 0;
    int top = 0;
    long advanceX = 0; // 26.6 fixed point
    long advanceY = 0;
};

class Font {
public:
    explicit Font(const std::string& path);
    ~Font();
    Font(const Font&) = delete;
    Font& operator=(const Font&) = delete;

    bool usable() const { return face_ != nullptr; }
    void setSize(long height64, unsigned horizontalDpi = kPanelDpi, unsigned verticalDpi = kPanelDpi);
    // Width and height of the text in pixels.
    void measure(const std::string& utf8, int& width, int& height);
    // Loads and renders one character; false (reported on standard error) when it cannot.
    bool renderGlyph(char32_t codePoint, GlyphImage& glyph);

private:
    void* face_ = nullptr; // FT_Face
};

// Rounds a 26.6 fixed-point advance to whole pixels.
inline int advancePixels(long advance) {
    return static_cast<int>((advance + 32) / 64);
}
