// Text drawn into a layer: glyph bitmaps are written over their box, not blended.

#include "ui/font.h"
#include "ui/layer.h"
#include "ui/utf8.h"

#include <algorithm>
#include <cstdio>

namespace {

uint8_t glyphValue(const GlyphImage& glyph, int row, int column, uint8_t value) {
    const uint8_t* line = glyph.buffer + row * glyph.pitch;
    if (glyph.mono)
        return (line[column >> 3] & (0x80 >> (column & 7))) ? value : 0;
    return static_cast<uint8_t>(value * line[column] / (glyph.levels - 1));
}

} // namespace

int Layer::drawText(Font& font, const std::string& utf8, int x, int y, uint8_t value) {
    std::u32string text;
    if (!decodeUtf8(utf8, text)) {
        std::fprintf(stderr, "invalid UTF-8 text\n");
        return x;
    }
    // The grey levels of this colour, worked out once for the whole text rather than per point.
    constexpr int kGreyLevels = 256;
    uint8_t grey[kGreyLevels];
    for (int level = 0; level < kGreyLevels; ++level)
        grey[level] = static_cast<uint8_t>(value * level / (kGreyLevels - 1));
    int pen = x;
    GlyphImage glyph;
    for (char32_t point : text) {
        if (!font.renderGlyph(point, glyph))
            continue;
        int originX = pen + glyph.left;
        int originY = y - glyph.top;
        // Only the part of the glyph's box inside the layer is written.
        int firstColumn = std::max(0, -originX);
        int endColumn = std::min(glyph.width, width() - originX);
        bool fullGrey = !glyph.mono && glyph.levels == kGreyLevels;
        for (int row = std::max(0, -originY); row < glyph.rows && originY + row < height(); ++row) {
            uint8_t* out = pixels_.data() + static_cast<size_t>(originY + row) * width();
            const uint8_t* line = glyph.buffer + row * glyph.pitch;
            for (int column = firstColumn; column < endColumn; ++column)
                out[originX + column] = fullGrey ? grey[line[column]] : glyphValue(glyph, row, column, value);
        }
        pen += advancePixels(glyph.advanceX);
    }
    texts_.push_back({x, y, pen, utf8});
    return pen;
}
