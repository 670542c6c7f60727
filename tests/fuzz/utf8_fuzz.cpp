// The UTF-8 decoder of the panel's text drawing: what decodes holds only Unicode scalar values and
// encodes back to the same bytes; what is refused leaves the output untouched. A decoded text is then
// measured and drawn into a layer with the simulator's stand-in font, as the panel draws it.

#include "tests/fuzz/fuzz_board.h"
#include "ui/font.h"
#include "ui/layer.h"
#include "ui/utf8.h"

#include <cstddef>
#include <cstdint>

namespace {

// Drawing is slow beside decoding: short texts show the same paths.
constexpr size_t kLongestDrawn = 64;
constexpr long kFontHeight64 = 12 * 64;

Font& panelFont() {
    static Font font("/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf");
    static bool sized = (font.setSize(kFontHeight64), true);
    (void)sized;
    return font;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string input(reinterpret_cast<const char*>(data), size);
    std::u32string points = U"untouched";
    if (!decodeUtf8(input, points)) {
        FUZZ_CHECK(points == U"untouched", "a refused text changed the output");
        return 0;
    }
    for (char32_t point : points)
        FUZZ_CHECK(point <= 0x10FFFF && (point < 0xD800 || point > 0xDFFF), "not a scalar value");
    FUZZ_CHECK(encodeUtf8(points) == input, "decoded text encodes to other bytes");
    if (input.size() > kLongestDrawn)
        return 0;
    static Font& font = panelFont();
    int width = 0;
    int height = 0;
    font.measure(input, width, height);
    Layer layer(Rect{0, 320, 0, 240}, true, kBlendCoverage);
    layer.drawText(font, input, 2, 20, 255);
    layer.drawText(font, input, -100, 250, 255); // partly outside the layer
    return 0;
}
