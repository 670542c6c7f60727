#include "ui/font.h"

#include "ui/utf8.h"

#include <cstdio>
#include <ft2build.h>
#include FT_FREETYPE_H

namespace {

// The FreeType library is shared by every face of the process and set up on first use.
FT_Library library() {
    static FT_Library shared = nullptr;
    static bool tried = false;
    if (!tried) {
        tried = true;
        FT_Error error = FT_Init_FreeType(&shared);
        if (error) {
            std::fprintf(stderr, "FT_Init_FreeType() error: %d\n", error);
            shared = nullptr;
        }
    }
    return shared;
}

FT_Face face(void* handle) {
    return static_cast<FT_Face>(handle);
}

void reportInvalidText() {
    std::fprintf(stderr, "invalid UTF-8 text\n");
}

} // namespace

Font::Font(const std::string& path) {
    FT_Library shared = library();
    if (!shared)
        return;
    FT_Face opened = nullptr;
    FT_Error error = FT_New_Face(shared, path.c_str(), 0, &opened);
    if (error) {
        std::fprintf(stderr, "cannot open %s: error %d\n", path.c_str(), error);
        return;
    }
    face_ = opened;
}

Font::~Font() {
    if (!face_)
        return;
    FT_Error error = FT_Done_Face(face(face_));
    if (error)
        std::fprintf(stderr, "FT_Done_Face() error: %d\n", error);
}

void Font::setSize(long height64, unsigned horizontalDpi, unsigned verticalDpi) {
    if (!face_)
        return;
    FT_Error error = FT_Set_Char_Size(face(face_), height64, height64, horizontalDpi, verticalDpi);
    if (error)
        std::fprintf(stderr, "FT_Set_Char_Size(): error %d\n", error);
    sizeKey_ = static_cast<uint64_t>(height64) << 32 | static_cast<uint64_t>(horizontalDpi & 0xFFFF) << 16 |
               (verticalDpi & 0xFFFF);
}

bool Font::renderGlyph(char32_t codePoint, GlyphImage& glyph) {
    auto key = std::make_pair(sizeKey_, codePoint);
    auto found = glyphs_.find(key);
    if (found != glyphs_.end()) {
        glyph = found->second.image;
        return true;
    }
    if (!loadGlyph(codePoint, glyph))
        return false;
    // A bottom-up bitmap (negative pitch) is left out of the cache; FreeType renders top-down.
    if (glyph.pitch < 0)
        return true;
    if (glyphs_.size() >= kMaxCachedGlyphs)
        glyphs_.clear();
    CachedGlyph& cached = glyphs_[key];
    cached.bitmap.assign(glyph.buffer, glyph.buffer + static_cast<size_t>(glyph.rows) * glyph.pitch);
    cached.image = glyph;
    cached.image.buffer = cached.bitmap.data();
    glyph = cached.image;
    return true;
}

bool Font::loadGlyph(char32_t codePoint, GlyphImage& glyph) {
    if (!face_)
        return false;
    FT_Face f = face(face_);
    // A character the face does not have would render as its empty box: count it as failed.
    FT_Error error = FT_Get_Char_Index(f, codePoint) == 0
                         ? FT_Err_Invalid_Character_Code
                         : FT_Load_Char(f, codePoint, FT_LOAD_RENDER | FT_LOAD_FORCE_AUTOHINT);
    if (error) {
        std::fprintf(stderr, "FT_Load_Char(): error %d\n", error);
        return false;
    }
    const FT_GlyphSlot slot = f->glyph;
    glyph.buffer = slot->bitmap.buffer;
    glyph.rows = static_cast<int>(slot->bitmap.rows);
    glyph.width = static_cast<int>(slot->bitmap.width);
    glyph.pitch = slot->bitmap.pitch;
    glyph.mono = slot->bitmap.pixel_mode == FT_PIXEL_MODE_MONO;
    glyph.levels = slot->bitmap.num_grays > 1 ? slot->bitmap.num_grays : 256;
    glyph.left = slot->bitmap_left;
    glyph.top = slot->bitmap_top;
    glyph.advanceX = slot->advance.x;
    glyph.advanceY = slot->advance.y;
    return true;
}

void Font::measure(const std::string& utf8, int& width, int& height) {
    width = 0;
    height = 0;
    std::u32string text;
    if (!decodeUtf8(utf8, text)) {
        reportInvalidText();
        return;
    }
    GlyphImage glyph;
    for (char32_t point : text) {
        if (!renderGlyph(point, glyph))
            continue;
        width += advancePixels(glyph.advanceX);
        height += advancePixels(glyph.advanceY);
    }
}
