#pragma once
// One TrueType face rendered with FreeType; sizes in 1/64 point.

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

// The panel's resolution in both directions.
constexpr unsigned kPanelDpi = 85;

// A rendered glyph as the layer needs it; the bitmap belongs to the font, which keeps it while the
// glyph stays in its cache (at least until the next glyph).
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
    // Loads and renders one character, or takes it from the cache of glyphs rendered before at this
    // size; false (reported on standard error) when it cannot.
    bool renderGlyph(char32_t codePoint, GlyphImage& glyph);

    // The panel draws the same few characters at a handful of sizes; beyond this many the cache
    // starts afresh.
    static constexpr size_t kMaxCachedGlyphs = 1024;
    size_t cachedGlyphs() const { return glyphs_.size(); }

private:
    struct CachedGlyph {
        GlyphImage image;
        std::vector<uint8_t> bitmap;
    };

    bool loadGlyph(char32_t codePoint, GlyphImage& glyph);

    void* face_ = nullptr; // FT_Face
    // The size and resolutions of setSize, as one key.
    uint64_t sizeKey_ = 0;
    std::map<std::pair<uint64_t, char32_t>, CachedGlyph> glyphs_;
};

// Rounds a 26.6 fixed-point advance to whole pixels.
inline int advancePixels(long advance) {
    return static_cast<int>((advance + 32) / 64);
}
