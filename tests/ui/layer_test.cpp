#include "tests/support/test_board.h"
#include "ui/layer.h"

#include <gtest/gtest.h>

namespace {

// The value one source pixel s leaves on a one-pixel image holding d.
int composeOne(int32_t mode, uint8_t s, uint8_t d, int32_t colour = 255) {
    Layer source(Rect{0, 1, 0, 1}, true, mode);
    source.colour = colour;
    source.setPixel(0, 0, s);
    Layer below(Rect{0, 1, 0, 1}, true, kBlendOpaque);
    below.setPixel(0, 0, d);
    source.compose(below);
    return below.pixel(0, 0);
}

TEST(Layer, BlendModesUseTruncatingIntegerArithmetic) {
    EXPECT_EQ(composeOne(kBlendCoverage, 128, 100), 177); // (255*128 + 127*100) / 255 = 177.8
    EXPECT_EQ(composeOne(kBlendCoverage, 255, 100, 64), 64);
    EXPECT_EQ(composeOne(kBlendCoverage, 0, 100, 64), 100);
    EXPECT_EQ(composeOne(kBlendOpaque, 7, 200), 7);
    EXPECT_EQ(composeOne(kBlendExclusion, 200, 100), 144); // 300 - 40000/255
    EXPECT_EQ(composeOne(kBlendExclusion, 255, 255), 0);
    EXPECT_EQ(composeOne(kBlendContrast, 100, 200), 121); // light point pushed down: 200*155/255
    EXPECT_EQ(composeOne(kBlendContrast, 100, 50), 130);  // dark point pushed up: (25500 + 7750)/255
    EXPECT_EQ(composeOne(4, 255, 33), 33);                // unknown modes compose nothing
    EXPECT_EQ(composeOne(-1, 255, 33), 33);
}

TEST(Layer, ARowOfMostlyEmptyPointsBlendsEachSetPointAsAlone) {
    // 21 points wide, offset by 3 on the image: set points at the edges of the eight-point words
    // the empty runs are skipped by, and at the row's end.
    constexpr int kWidth = 21;
    for (int32_t mode : {kBlendCoverage, kBlendExclusion, kBlendContrast}) {
        Layer source(Rect{3, 3 + kWidth, 0, 2}, true, mode);
        source.colour = 200;
        Layer below(Rect{0, 30, 0, 2}, true, kBlendOpaque);
        for (int x = 0; x < 30; ++x)
            for (int y = 0; y < 2; ++y)
                below.setPixel(x, y, static_cast<uint8_t>(40 + 5 * x + y));
        Layer original = below;
        for (int x : {0, 7, 8, 15, 16, 20})
            source.setPixel(x, 1, static_cast<uint8_t>(30 + 10 * x));
        source.compose(below);
        for (int y = 0; y < 2; ++y)
            for (int x = 0; x < 30; ++x) {
                int s = x >= 3 && x < 3 + kWidth ? source.pixel(x - 3, y) : 0;
                int expected = s == 0 ? original.pixel(x, y) : blendValue(mode, 200, s, original.pixel(x, y));
                EXPECT_EQ(below.pixel(x, y), expected) << "mode " << mode << " at " << x << "," << y;
            }
    }
}

TEST(Layer, ComposeCoversOnlyTheIntersection) {
    Layer source(Rect{-2, 3, 1, 3}, true, kBlendOpaque); // 5 x 2, partly left of the image
    source.fillRect(source.rect(), 9);
    Layer below(Rect{0, 4, 0, 4}, true, kBlendOpaque);
    source.compose(below);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x)
            EXPECT_EQ(below.pixel(x, y), (x < 3 && y >= 1 && y < 3) ? 9 : 0) << x << "," << y;
}

TEST(Layer, ResizeAppendAndFillKeepTheirGeometry) {
    Layer layer(Rect{10, 14, 20, 22}, true, kBlendCoverage);
    layer.setPixel(1, 1, 50);
    layer.appendRows(2, 77);
    EXPECT_EQ(layer.height(), 4);
    EXPECT_EQ(layer.pixel(1, 1), 50);
    EXPECT_EQ(layer.pixel(3, 3), 77);

    layer.fillRect(Rect{0, 12, 0, 21}, 5); // screen coordinates: the top-left 2 x 1 corner
    EXPECT_EQ(layer.pixel(0, 0), 5);
    EXPECT_EQ(layer.pixel(1, 0), 5);
    EXPECT_EQ(layer.pixel(2, 0), 0);
    layer.fillLocalRect(Rect{3, 10, 3, 10}, 6); // local: the bottom-right pixel only
    EXPECT_EQ(layer.pixel(3, 3), 6);

    layer.resize(6, 1);
    EXPECT_EQ(layer.rect(), (Rect{10, 16, 20, 21}));
    EXPECT_EQ(layer.pixels().size(), 6u);

    Layer negative(Rect{5, 0, 0, 1}, true, kBlendCoverage); // negative width counts as 0
    negative.appendRows(3, 1);
    EXPECT_TRUE(negative.pixels().empty());
    EXPECT_EQ(negative.height(), 4);
}

TEST(Layer, PlotSpreadsAWhitePointOverFourPixels) {
    Layer layer(Rect{0, 4, 0, 4}, true, kBlendCoverage);
    layer.setPixel(2, 3, 100);
    layer.plot(1.5f, 2.25f);
    EXPECT_EQ(layer.pixel(1, 2), 95); // 0.375 * 255
    EXPECT_EQ(layer.pixel(2, 2), 95);
    EXPECT_EQ(layer.pixel(1, 3), 31);  // 0.125 * 255
    EXPECT_EQ(layer.pixel(2, 3), 119); // 31.875 + 100 * 0.875
    layer.plot(3.5f, 3.5f);            // three of its four pixels lie outside: skipped
    EXPECT_EQ(layer.pixel(3, 3), 63);
}

class PgmTest : public ::testing::Test {
protected:
    std::string write(const std::string& content) {
        std::string path = dir / "image.pgm";
        writeFile(path, content);
        return path;
    }
    std::vector<std::string> errors() { return board.logLinesWith(LOG_ERR, "image.pgm"); }

    TestBoard board;
    TempDir dir;
};

TEST_F(PgmTest, PlainGreyImageIsScaledToFullRangeAndCommentsSkipped) {
    Layer layer;
    ASSERT_TRUE(
        layer.loadPgm(write("P2\n# made by hand\n3 2\n15\n0 15 7\n# between rows\n15 0 3 99\n"), false));
    EXPECT_EQ(layer.rect(), (Rect{0, 3, 0, 2}));
    EXPECT_FALSE(layer.visible);
    EXPECT_EQ(layer.mode, kBlendCoverage);
    EXPECT_EQ(layer.pixels(), (std::vector<uint8_t>{0, 255, 119, 255, 0, 51}));
    ASSERT_EQ(errors().size(), 1u); // one value too many: read, dropped and counted
    EXPECT_NE(errors()[0].find("incorrect number of pixels (7 != 3 x 2)"), std::string::npos);
}

TEST_F(PgmTest, TooLargeOrForeignImagesAreRefused) {
    Layer layer;
    EXPECT_FALSE(layer.loadPgm(write("P2\n1025 1024\n255\n"), true));
    ASSERT_EQ(errors().size(), 1u);
    EXPECT_NE(errors()[0].find("image.pgm: image size too big (1025x1024)"), std::string::npos);
    EXPECT_TRUE(layer.loadPgm(write("P2\n1024 1024\n255\n"), true)); // exactly 2^20 is allowed
    // Sides whose product wraps a 32-bit long (the board's) or even 64 bits.
    EXPECT_FALSE(layer.loadPgm(write("P2\n65536 65537\n255\n"), true));
    EXPECT_FALSE(layer.loadPgm(write("P2\n4294967296 4294967297\n255\n"), true));
    EXPECT_FALSE(layer.loadPgm(write("P2\n1 2000000\n255\n"), true));

    board.clearLog();
    EXPECT_FALSE(layer.loadPgm(write("P5\n2 2\n255\n"), true));
    ASSERT_EQ(errors().size(), 1u);
    EXPECT_NE(errors()[0].find("image.pgm: unsupported image type (magic='P5')"), std::string::npos);

    EXPECT_FALSE(layer.loadPgm(write("P2\n2 2\n0\n1 1 1 1\n"), true)); // nothing to scale by
    EXPECT_FALSE(layer.loadPgm(dir / "missing.pgm", true));
}

TEST_F(PgmTest, AHugeMaximumGreyStillScalesItsLevels) {
    // 255 x the level would not fit in 64 bits.
    Layer layer;
    ASSERT_TRUE(layer.loadPgm(
        write("P2\n3 1\n9223372036854775807\n9223372036854775807 4611686018427387904 0\n"), true));
    EXPECT_EQ(layer.pixels(), (std::vector<uint8_t>{255, 127, 0}));
}

TEST_F(PgmTest, MissingRowIsLoggedAndThePartialImageKept) {
    Layer layer;
    ASSERT_TRUE(layer.loadPgm(write("P2\n2 3\n255\n1 2\n3 4\n"), true));
    ASSERT_EQ(errors().size(), 1u);
    EXPECT_NE(errors()[0].find("incorrect number of pixels (4 != 2 x 3)"), std::string::npos);
    EXPECT_EQ(layer.pixels(), (std::vector<uint8_t>{1, 2, 3, 4, 0, 0}));
}

} // namespace
