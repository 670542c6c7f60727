// Text drawn into a layer: glyph bitmaps are written over their box, not blended.

#include "ui/font.h"
#include "ui/layer.h"
#include "ui/utf8.h"

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
    int pen = x;
    GlyphImage glyph;
    for (char32_t point : text) {
        if (!font.renderGlyph(point, glyph))
            continue;
        int originX = pen + glyph.left;
        int originY = y - glyph.top;
        for (int row = 0; row < glyph.rows; ++row)
            for (int column = 0; column < glyph.width; ++column)
                setPixel(originX + column, originY + row, glyphValue(glyph, row, column, value));
        pen += advancePixels(glyph.advanceX);
    }
    texts_.push_back({x, y, pen, utf8});
    return pen;
}
