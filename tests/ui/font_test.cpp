#include "tests/support/test_board.h"
#include "ui/font.h"
#include "ui/layer.h"
#include "ui/utf8.h"

#include <gtest/gtest.h>

namespace {

class FontTest : public ::testing::Test {
protected:
    FontTest() : arial(board.path("/usr/share/fonts/truetype/arial.ttf")) { arial.setSize(1024); }

    // Bounding box of the non-zero pixels of a layer; empty when there are none.
    static Rect inked(const Layer& layer) {
        Rect box{layer.width(), 0, layer.height(), 0};
        for (int y = 0; y < layer.height(); ++y)
            for (int x = 0; x < layer.width(); ++x)
                if (layer.pixel(x, y)) {
                    box = Rect{std::min(box.left, x), std::max(box.right, x + 1), std::min(box.top, y),
                               std::max(box.bottom, y + 1)};
                }
        return box;
    }

    TestBoard board;
    Font arial;
};

TEST_F(FontTest, TextCutByTheLayersEdgesKeepsExactlyThePointsInside) {
    ASSERT_TRUE(arial.usable());
    // The same text on a layer wide enough for all of it, and on small layers it runs off at each edge.
    constexpr int kMargin = 60;
    Layer whole(Rect{0, 200, 0, 100}, true, kBlendCoverage);
    whole.drawText(arial, "Давление 12", kMargin - 8, kMargin + 4, 170);
    ASSERT_GT(inked(whole).width(), 0);
    for (Rect cut : {Rect{0, 30, 0, 12}, Rect{0, 40, 0, 40}, Rect{0, 15, 0, 8}}) {
        for (int shiftX : {-8, 0, 25}) {
            for (int shiftY : {-4, 4, 11}) {
                Layer part(cut, true, kBlendCoverage);
                part.drawText(arial, "Давление 12", shiftX - 8, shiftY + 4, 170);
                for (int y = 0; y < cut.height(); ++y)
                    for (int x = 0; x < cut.width(); ++x)
                        ASSERT_EQ(part.pixel(x, y), whole.pixel(x + kMargin - shiftX, y + kMargin - shiftY))
                            << x << "," << y << " on " << cut.width() << "x" << cut.height() << " shifted "
                            << shiftX << "," << shiftY;
            }
        }
    }
}

TEST_F(FontTest, TextIsDrawnAboveItsBaselineFromThePenPosition) {
    ASSERT_TRUE(arial.usable());
    Layer layer(Rect{0, 120, 0, 30}, true, kBlendCoverage);
    int end = layer.drawText(arial, "Насос 12", 5, 20, 200);

    int width = 0, height = 0;
    arial.measure("Насос 12", width, height);
    EXPECT_EQ(end - 5, width);
    EXPECT_EQ(height, 0);
    EXPECT_GT(width, 40); // 16 pt at 85 dpi: about 19 px per em
    EXPECT_LT(width, 110);

    Rect box = inked(layer);
    EXPECT_GE(box.left, 5);
    EXPECT_LE(box.right, end + 1);
    EXPECT_LT(box.top, 10);    // capitals rise well above the baseline
    EXPECT_LE(box.bottom, 21); // nothing of these glyphs descends below it
    uint8_t brightest = *std::max_element(layer.pixels().begin(), layer.pixels().end());
    EXPECT_EQ(brightest, 200); // fully covered points take the value itself
}

TEST_F(FontTest, AGlyphIsRenderedOncePerSizeAndDrawsTheSameFromTheCache) {
    ASSERT_TRUE(arial.usable());
    Layer first(Rect{0, 120, 0, 30}, true, kBlendCoverage);
    first.drawText(arial, "Насос", 5, 20, 255);
    size_t cached = arial.cachedGlyphs();
    EXPECT_EQ(cached, 4u); // Н, а, с, о
    Layer again(Rect{0, 120, 0, 30}, true, kBlendCoverage);
    again.drawText(arial, "Насос", 5, 20, 255);
    EXPECT_EQ(arial.cachedGlyphs(), cached);
    EXPECT_EQ(again.pixels(), first.pixels());

    // Another size is another set of glyphs, and it draws larger.
    arial.setSize(2048);
    Layer larger(Rect{0, 120, 0, 30}, true, kBlendCoverage);
    int end = larger.drawText(arial, "Насос", 5, 20, 255);
    EXPECT_EQ(arial.cachedGlyphs(), 2 * cached);
    arial.setSize(1024);
    EXPECT_GT(end, first.drawText(arial, "Насос", 5, 20, 255));
    EXPECT_EQ(arial.cachedGlyphs(), 2 * cached);
}

TEST_F(FontTest, GlyphBoxesOverwriteWhatWasThere) {
    Layer layer(Rect{0, 40, 0, 30}, true, kBlendCoverage);
    layer.fillRect(layer.rect(), 90);
    layer.drawText(arial, "O", 10, 20, 255);
    // Blending could only raise the background; writing puts 0 in the hole of the O.
    size_t belowBackground =
        std::count_if(layer.pixels().begin(), layer.pixels().end(), [](uint8_t v) { return v < 90; });
    EXPECT_GT(belowBackground, 10u);
    EXPECT_EQ(layer.pixel(0, 0), 90); // outside the glyph's box nothing changes
    EXPECT_EQ(layer.pixel(39, 29), 90);
    EXPECT_EQ(layer.pixel(20, 25), 90);
}

TEST_F(FontTest, MissingGlyphsAreReportedAndSkipped) {
    int plain = 0, withMissing = 0, height = 0;
    arial.measure("AB", plain, height);
    ::testing::internal::CaptureStderr();
    arial.measure("A\xF0\x9F\x90\x8D"
                  "B\xF0\x9F\x90\x8D",
                  withMissing, height); // two snakes the face lacks
    std::string errors = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(withMissing, plain);
    size_t first = errors.find("FT_Load_Char(): error");
    ASSERT_NE(first, std::string::npos);
    EXPECT_NE(errors.find("FT_Load_Char(): error", first + 1), std::string::npos);
}

TEST_F(FontTest, InvalidUtf8IsNotDrawnAndUnknownFilesGiveUnusableFonts) {
    Layer layer(Rect{0, 40, 0, 30}, true, kBlendCoverage);
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(layer.drawText(arial, "A\xC3", 4, 20, 255), 4);
    Font missing(board.path("/usr/share/fonts/truetype/none.ttf"));
    std::string errors = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(inked(layer).width(), 0);
    EXPECT_FALSE(missing.usable());
    EXPECT_NE(errors.find("cannot open " + board.path("/usr/share/fonts/truetype/none.ttf") + ": error"),
              std::string::npos);
    int width = 7, height = 7;
    missing.measure("abc", width, height);
    EXPECT_EQ(width, 0);
}

TEST(Utf8, DecodesAndEncodesRussianTextAndRefusesBrokenSequences) {
    std::u32string points;
    ASSERT_TRUE(decodeUtf8("Ёж 5°", points));
    EXPECT_EQ(points, (std::u32string{0x401, 0x436, ' ', '5', 0xB0}));
    EXPECT_EQ(encodeUtf8(points), "Ёж 5°");
    ASSERT_TRUE(decodeUtf8("\xF4\x8F\xBF\xBF", points)); // U+10FFFF, the last code point
    EXPECT_EQ(points, std::u32string{0x10FFFF});
    EXPECT_EQ(encodeUtf8(points), "\xF4\x8F\xBF\xBF");
    for (const char* broken :
         {"\xC3", "\xC0\xAF", "\xE0\x80\xAF", "\xED\xA0\x80", "\xF4\x90\x80\x80", "a\x80"})
        EXPECT_FALSE(decodeUtf8(broken, points)) << broken;
}

} // namespace
