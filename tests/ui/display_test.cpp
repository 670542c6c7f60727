#include "core/registry.h"
#include "core/timer_queue.h"
#include "platform/sim_framebuffer.h"
#include "tests/support/test_board.h"
#include "ui/display.h"

#include <gtest/gtest.h>
#include <png.h>

namespace {

class DisplayTest : public ::testing::Test {
protected:
    DisplayTest() : display(board.platform().simFramebuffer()) {
        gTimers = &timers;
        ::testing::internal::CaptureStdout();
        EXPECT_EQ(display.open(), 0);
        EXPECT_EQ(::testing::internal::GetCapturedStdout(), "240x64, 16bpp\n");
    }
    ~DisplayTest() override { gTimers = nullptr; }

    platform::SimFramebuffer& lcd() { return board.platform().simFramebuffer(); }

    TestBoard board;
    TimerQueue timers;
    Display display;
};

TEST_F(DisplayTest, UnchangedImageIsPresentedOnceAndGreyBecomesRgb565) {
    Layer page(Rect{0, 240, 0, 64}, true, kBlendOpaque);
    page.setPixel(3, 2, 255);
    page.setPixel(4, 2, 128);
    display.addLayer(&page);

    unsigned long before = lcd().presents();
    display.redraw();
    display.redraw();
    EXPECT_EQ(lcd().presents(), before + 1);
    EXPECT_EQ(lcd().pixel(3, 2), 0xFFFF);
    EXPECT_EQ(lcd().pixel(4, 2), 0x8410);
    EXPECT_EQ(lcd().pixel(5, 2), 0x0000);

    page.setPixel(5, 2, 8);
    display.redraw();
    EXPECT_EQ(lcd().presents(), before + 2);
    EXPECT_EQ(lcd().pixel(5, 2), (1 << 11) | (8 << 3) | 1);
}

TEST_F(DisplayTest, BlankedDisplayStaysBlackAndShowsTheLatestImageWhenUnblanked) {
    Layer page(Rect{0, 240, 0, 64}, true, kBlendOpaque);
    page.setPixel(10, 10, 255);
    display.addLayer(&page);
    display.redraw();

    display.setBlank(true);
    unsigned long blankedAt = lcd().presents();
    EXPECT_EQ(lcd().pixel(10, 10), 0);
    page.setPixel(20, 20, 255);
    display.redraw();
    display.setBlank(true); // unchanged: nothing
    EXPECT_EQ(lcd().presents(), blankedAt);
    EXPECT_FALSE(display.isLayerVisible(&page));

    display.setBlank(false);
    EXPECT_EQ(lcd().pixel(10, 10), 0xFFFF);
    EXPECT_EQ(lcd().pixel(20, 20), 0xFFFF);
}

TEST_F(DisplayTest, LayerIsHiddenOnlyWhenOpaqueLayersAboveCoverAllOfIt) {
    Layer item(Rect{10, 50, 10, 30}, true, kBlendCoverage);
    Layer leftHalf(Rect{0, 30, 0, 64}, true, kBlendOpaque);
    Layer rightHalf(Rect{30, 240, 0, 64}, true, kBlendOpaque);
    Layer highlight(Rect{0, 240, 0, 64}, true, kBlendExclusion);
    display.addLayer(&item);
    display.addLayer(&highlight);
    display.addLayer(&leftHalf);
    EXPECT_TRUE(display.isLayerVisible(&item));
    display.addLayer(&rightHalf);
    EXPECT_FALSE(display.isLayerVisible(&item)); // two opaque layers together cover it
    rightHalf.visible = false;
    EXPECT_TRUE(display.isLayerVisible(&item));
    rightHalf.visible = true;
    EXPECT_TRUE(display.isLayerVisible(&rightHalf)); // nothing lies above the last one

    Layer offScreen(Rect{240, 480, 0, 64}, true, kBlendOpaque);
    display.addLayer(&offScreen);
    EXPECT_FALSE(display.isLayerVisible(&offScreen)); // the next page, not on the screen now
}

TEST_F(DisplayTest, ScrollingAccelerates30MsApartAndEndsExactlyOnThePage) {
    Layer first(Rect{0, 240, 0, 64}, true, kBlendOpaque);
    Layer second(Rect{240, 480, 0, 64}, true, kBlendOpaque);
    display.addLayer(&first);
    display.addLayer(&second);

    std::vector<int> steps;
    int last = first.left();
    uint64_t lastStepAt = board.clock().elapsedMs();
    display.showPage(1); // slides left by one screen width: 240
    steps.push_back(last - first.left());
    last = first.left();
    std::vector<uint64_t> gaps;
    for (int ms = 0; ms < 2000 && timers.size() > 0; ++ms) {
        board.clock().advanceMs(1);
        timers.runDue();
        if (first.left() != last) {
            steps.push_back(last - first.left());
            gaps.push_back(board.clock().elapsedMs() - lastStepAt);
            lastStepAt = board.clock().elapsedMs();
            last = first.left();
        }
    }

    ASSERT_GE(steps.size(), 8u);
    EXPECT_EQ((std::vector<int>(steps.begin(), steps.begin() + 7)),
              (std::vector<int>{1, 2, 4, 8, 16, 32, 32}));
    EXPECT_EQ(first.left(), -240);
    EXPECT_EQ(second.left(), 0);
    EXPECT_EQ(display.scrollPosition(), 240);
    EXPECT_EQ(display.pendingScroll(), 0);
    for (size_t i = 1; i < gaps.size(); ++i)
        EXPECT_EQ(gaps[i], 31u) << i; // a 30 ms timer fires once 30 ms have passed
    // The last steps are smaller and may overshoot, then come back.
    EXPECT_LT(std::abs(steps.back()), 32);
}

TEST_F(DisplayTest, ScrollBy320PxEndsShiftedBy320AndPauseHoldsItMidway) {
    Layer strip(Rect{0, 640, 0, 64}, true, kBlendOpaque);
    display.addLayer(&strip);
    display.scrollBy(320);
    for (int ms = 0; ms < 100; ++ms) {
        board.clock().advanceMs(1);
        timers.runDue();
    }
    display.pauseScroll();
    int heldAt = strip.left();
    EXPECT_GT(heldAt, 0);
    EXPECT_LT(heldAt, 320);
    for (int ms = 0; ms < 500; ++ms) {
        board.clock().advanceMs(1);
        timers.runDue();
    }
    EXPECT_EQ(strip.left(), heldAt);
    display.resumeScroll();
    for (int ms = 0; ms < 2000; ++ms) {
        board.clock().advanceMs(1);
        timers.runDue();
    }
    EXPECT_EQ(strip.left(), 320);
    EXPECT_EQ(timers.size(), 0u);
}

// Opens the display, shows a white page and returns what presenting it wrote to standard error.
std::string errorsOfAWhitePage(Display& display, Layer& page) {
    ::testing::internal::CaptureStdout();
    EXPECT_EQ(display.open(), 0);
    ::testing::internal::GetCapturedStdout();
    page.fillRect(page.rect(), 255);
    display.addLayer(&page);
    ::testing::internal::CaptureStderr();
    display.redraw();
    return ::testing::internal::GetCapturedStderr();
}

TEST(DisplayDevice, UnsupportedDepthWritesNothingAndClosingBlackensTheScreen) {
    TestBoard board;
    platform::SimFramebuffer lcd(240, 64, 8);
    {
        Display display(lcd);
        Layer page(Rect{0, 240, 0, 64}, true, kBlendOpaque);
        EXPECT_EQ(errorsOfAWhitePage(display, page), "Error: 8 bits per pixel is not supported\n");
        EXPECT_EQ(lcd.presents(), 0u);
        lcd.memory()[5] = 0x7F;
    }
    EXPECT_EQ(lcd.memory()[5], 0); // cleared on close
    EXPECT_FALSE(lcd.isOpen());
}

TEST(DisplayDevice, ScreenPannedPastTheMappedMemoryIsNotWritten) {
    TestBoard board;
    platform::SimFramebuffer lcd(240, 64, 16);
    lcd.setOffsets(0, 1);
    Display display(lcd);
    Layer page(Rect{0, 240, 0, 64}, true, kBlendOpaque);
    EXPECT_EQ(errorsOfAWhitePage(display, page),
              "Error: the screen does not fit the mapped framebuffer memory\n");
    EXPECT_EQ(lcd.presents(), 0u);
    EXPECT_EQ(lcd.pixel(0, 63), 0);
}

TEST_F(DisplayTest, LastFrameCanBeSavedAsAPngPicture) {
    Layer page(Rect{0, 240, 0, 64}, true, kBlendOpaque);
    page.fillRect(Rect{100, 140, 20, 40}, 255);
    display.addLayer(&page);
    display.redraw();
    std::string path = board.path("/tmp/panel.png");
    ASSERT_TRUE(lcd().writePng(path));

    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    ASSERT_TRUE(png_image_begin_read_from_file(&image, path.c_str()));
    image.format = PNG_FORMAT_GRAY;
    std::vector<png_byte> grey(PNG_IMAGE_SIZE(image));
    ASSERT_TRUE(png_image_finish_read(&image, nullptr, grey.data(), 0, nullptr));
    EXPECT_EQ(image.width, 240u);
    EXPECT_EQ(image.height, 64u);
    EXPECT_GT(grey[30 * 240 + 120], 240);
    EXPECT_EQ(grey[10 * 240 + 10], 0);
}

} // namespace
