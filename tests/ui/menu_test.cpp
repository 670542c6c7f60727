#include "core/registry.h"
#include "core/timer_queue.h"
#include "tests/support/test_board.h"
#include "ui/display.h"
#include "ui/horizontal_menu_item.h"
#include "ui/keys.h"
#include "ui/menu_set.h"
#include "ui/read_only_string.h"
#include "ui/vertical_menu.h"

#include <algorithm>
#include <gtest/gtest.h>

namespace {

// A page that records what the framework does to it.
class ProbePage : public MenuItem {
public:
    explicit ProbePage(std::string title, std::vector<std::string>& calls)
        : MenuItem(std::move(title)), calls_(calls) {}
    void activate(int index) override {
        calls_.push_back(titleRef() + ".activate(" + std::to_string(index) + ")");
    }
    void deactivate() override { calls_.push_back(titleRef() + ".deactivate"); }
    bool onKey(int key, bool pressed) override {
        if (key != consumedKey)
            return false;
        if (pressed)
            calls_.push_back(titleRef() + ".key");
        return true;
    }
    int consumedKey = -1;

private:
    std::vector<std::string>& calls_;
};

class MenuTest : public ::testing::Test {
protected:
    MenuTest() : display(board.platform().simFramebuffer()) {
        gTimers = &timers;
        ::testing::internal::CaptureStdout();
        display.open();
        ::testing::internal::GetCapturedStdout();
        gDisplay = &display;
    }
    ~MenuTest() override {
        gDisplay = nullptr;
        gTimers = nullptr;
    }
    void press(MenuItem& item, int key) {
        item.onKey(key, true);
        item.onKey(key, false);
    }
    // The brightest pixel of a list row.
    static int rowInk(const Layer& list, int row) {
        int ink = 0;
        for (int y = row * VerticalMenu::kRowHeight; y < (row + 1) * VerticalMenu::kRowHeight; ++y)
            for (int x = 0; x < list.width(); ++x)
                ink = std::max<int>(ink, list.pixel(x, y));
        return ink;
    }

    TestBoard board;
    TimerQueue timers;
    Display display;
    std::vector<std::string> calls;
};

TEST_F(MenuTest, LeftAndRightMoveBetweenPagesWithoutDeactivatingAndStopAtTheEnds) {
    MenuSet root;
    ProbePage a("a", calls), b("b", calls), c("c", calls);
    EXPECT_EQ(root.addMenuItem(&a), 0);
    EXPECT_EQ(root.addMenuItem(&b), 1);
    EXPECT_EQ(root.addMenuItem(&c), 2);
    EXPECT_EQ(root.current(), 0);
    EXPECT_EQ(b.parent(), &root);
    EXPECT_EQ(c.index(), 2);

    EXPECT_FALSE(root.onKey(kKeyLeft, true)); // first page: nothing
    EXPECT_TRUE(root.onKey(kKeyRight, true));
    EXPECT_FALSE(root.onKey(kKeyRight, false)); // releases only report
    EXPECT_TRUE(root.onKey(kKeyRight, true));
    EXPECT_FALSE(root.onKey(kKeyRight, true)); // last page: nothing
    EXPECT_EQ(calls, (std::vector<std::string>{"b.activate(1)", "c.activate(2)"}));
    EXPECT_EQ(root.current(), 2);

    calls.clear();
    c.consumedKey = kKeyLeft; // the current page gets keys first
    EXPECT_TRUE(root.onKey(kKeyLeft, true));
    EXPECT_EQ(calls, std::vector<std::string>{"c.key"});
    EXPECT_FALSE(root.onKey(kKeyEnter, true));

    calls.clear();
    root.activate(0);
    root.activate(0); // already current
    root.activate(7); // out of range
    EXPECT_EQ(calls, (std::vector<std::string>{"c.deactivate", "a.activate(0)"}));
}

TEST_F(MenuTest, LeftAndRightPassOverAHiddenPage) {
    MenuSet root;
    ProbePage a("a", calls), b("b", calls), c("c", calls);
    root.addMenuItem(&a);
    root.addMenuItem(&b);
    root.addMenuItem(&c);
    b.setEnabled(false);
    EXPECT_TRUE(root.onKey(kKeyRight, true));
    EXPECT_EQ(root.current(), 2);
    EXPECT_TRUE(root.onKey(kKeyLeft, true));
    EXPECT_EQ(root.current(), 0);
    // Hidden at the end: nothing to move to.
    c.setEnabled(false);
    EXPECT_FALSE(root.onKey(kKeyRight, true));
    b.setEnabled(true);
    EXPECT_TRUE(root.onKey(kKeyRight, true));
    // (Enabling and disabling close the page: its deactivations are left out here.)
    std::vector<std::string> activations;
    for (const std::string& call : calls)
        if (call.find(".activate") != std::string::npos)
            activations.push_back(call);
    EXPECT_EQ(activations, (std::vector<std::string>{"c.activate(2)", "a.activate(0)", "b.activate(1)"}));
}

TEST_F(MenuTest, RemovingItemsReindexesAndKeepsACurrentItem) {
    MenuSet root;
    ProbePage a("a", calls), b("b", calls), c("c", calls);
    root.addMenuItem(&a);
    root.addMenuItem(&b);
    root.addMenuItem(&c);
    root.activate(1);
    calls.clear();

    root.removeMenuItem(5);
    ASSERT_EQ(board.logLinesWith(LOG_ERR, "MenuSet::removeMenuItem(): invalid item number 5").size(), 1u);

    root.removeMenuItem(&a); // before the current one: current follows b
    EXPECT_EQ(root.currentItem(), &b);
    EXPECT_EQ(b.index(), 0);
    EXPECT_EQ(c.index(), 1);
    EXPECT_EQ(a.index(), -1);
    EXPECT_EQ(a.parent(), nullptr);
    EXPECT_TRUE(calls.empty());

    root.removeMenuItem(&b); // the current one: closed, and the last item takes over
    EXPECT_EQ(calls, (std::vector<std::string>{"b.deactivate", "c.activate(0)"}));
    EXPECT_EQ(root.currentItem(), &c);

    root.removeMenuItem(&a); // not in the set: nothing
    {
        ProbePage temporary("t", calls);
        root.addMenuItem(&temporary);
        EXPECT_EQ(root.items().size(), 2u);
    } // a destroyed item leaves its set
    EXPECT_EQ(root.items().size(), 1u);
}

TEST_F(MenuTest, VerticalMenuSkipsDisabledEntriesAndOpensTheSelectedOne) {
    VerticalMenu menu("Настройки");
    ProbePage first("Первый", calls), second("Второй", calls), third("Третий", calls);
    second.setEnabled(false);
    menu.addMenuItem(&first);
    menu.addMenuItem(&second);
    menu.addMenuItem(&third);
    menu.activate(0);
    calls.clear();
    ASSERT_TRUE(menu.isShown());
    EXPECT_TRUE(display.hasLayer(&menu.listLayer()));
    EXPECT_EQ(menu.listLayer().height(), 64); // three rows are less than a screen
    EXPECT_EQ(rowInk(menu.listLayer(), 0), 255);
    EXPECT_EQ(rowInk(menu.listLayer(), 1), 64); // disabled: dim
    EXPECT_EQ(menu.barLayer().top(), 0);

    press(menu, kKeyDown);
    EXPECT_EQ(menu.currentItem(), &third);
    EXPECT_EQ(menu.barLayer().top(), 28);
    press(menu, kKeyDown); // no further enabled entry: stays
    EXPECT_EQ(menu.currentItem(), &third);
    press(menu, kKeyUp);
    EXPECT_EQ(menu.currentItem(), &first);

    press(menu, kKeyEnter);
    EXPECT_EQ(calls, std::vector<std::string>{"Первый.activate(0)"});

    // The selected row shows inverted on the panel: the bar excludes the light text below it.
    EXPECT_GT(board.platform().simFramebuffer().presents(), 0u);
    EXPECT_TRUE(menu.onKey(kKeyLeft, true));
    menu.setConsumesLeftRight(false);
    EXPECT_FALSE(menu.onKey(kKeyRight, true));
    EXPECT_FALSE(menu.onKey(99, true));

    menu.setCancelCloses(false);
    EXPECT_FALSE(menu.onKey(kKeyCancel, true));
    menu.setCancelCloses(true);
    calls.clear();
    press(menu, kKeyCancel);
    EXPECT_FALSE(menu.isShown());
    EXPECT_FALSE(display.hasLayer(&menu.listLayer()));
    EXPECT_EQ(calls, std::vector<std::string>{"Первый.deactivate"}); // closing closes the entry first
    EXPECT_FALSE(menu.onKey(kKeyDown, true));                        // a closed menu takes no keys
}

TEST_F(MenuTest, MissingEntryIsShownButNeverSelectedAndRemovesCleanly) {
    VerticalMenu menu;
    ProbePage first("Первый", calls), last("Последний", calls);
    menu.addMenuItem(nullptr);
    menu.addMenuItem(&first);
    menu.addMenuItem(nullptr);
    menu.addMenuItem(&last);
    menu.activate(0);
    EXPECT_EQ(menu.currentItem(), &first);
    EXPECT_EQ(rowInk(menu.listLayer(), 0), 255); // "*** NULL ***" drawn on the first row

    press(menu, kKeyDown);
    EXPECT_EQ(menu.currentItem(), &last);
    press(menu, kKeyUp);
    press(menu, kKeyUp); // the missing entry above is skipped
    EXPECT_EQ(menu.currentItem(), &first);

    menu.removeMenuItem(2);
    menu.removeMenuItem(0);
    EXPECT_EQ(first.index(), 0);
    EXPECT_EQ(last.index(), 1);
    EXPECT_EQ(menu.currentItem(), &first);
}

TEST_F(MenuTest, RemovingTheSelectedEntryOfAVerticalMenuOpensNoOtherEntry) {
    // Pages owned by their menu leave it one by one as the menu goes away; none may be opened then.
    VerticalMenu menu;
    ProbePage first("Первый", calls), second("Второй", calls), last("Последний", calls);
    menu.addMenuItem(&first);
    menu.addMenuItem(&second);
    menu.addMenuItem(&last);
    menu.activate(0);
    calls.clear();

    menu.removeMenuItem(&first); // the selected row
    EXPECT_EQ(calls, std::vector<std::string>{"Первый.deactivate"});
    EXPECT_EQ(menu.currentItem(), &second);
    EXPECT_TRUE(menu.isShown());

    press(menu, kKeyDown);
    calls.clear();
    menu.removeMenuItem(&last); // the selected row, at the end
    EXPECT_EQ(calls, std::vector<std::string>{"Последний.deactivate"});
    EXPECT_EQ(menu.currentItem(), &second);
    menu.removeMenuItem(&second);
    EXPECT_EQ(menu.currentItem(), nullptr);
    EXPECT_EQ(calls, (std::vector<std::string>{"Последний.deactivate", "Второй.deactivate"}));
}

TEST_F(MenuTest, LongMenuScrollsItsWindowToKeepTheBarOnScreen) {
    VerticalMenu menu;
    std::vector<std::unique_ptr<ProbePage>> pages;
    for (int i = 0; i < 9; ++i) {
        pages.push_back(std::make_unique<ProbePage>("п" + std::to_string(i), calls));
        menu.addMenuItem(pages.back().get());
    }
    // A page beneath with a line at the screen's bottom, as the main screen has.
    Layer page(Rect{0, 240, 0, 64}, true, kBlendOpaque);
    Font& font = display.font(FontFace::Arial);
    font.setSize(704);
    page.drawText(font, "внизу", 3, 62, 255);
    display.addLayer(&page);
    menu.activate(0);
    EXPECT_GE(menu.listLayer().height(), 9 * 14 + 1);
    for (int i = 0; i < 8; ++i)
        press(menu, kKeyDown);
    EXPECT_EQ(menu.current(), 8);
    EXPECT_GE(menu.barLayer().top(), 0);
    EXPECT_LE(menu.barLayer().rect().bottom, 64);
    EXPECT_EQ(menu.listLayer().top(), menu.barLayer().top() - 8 * 14);
    // Scrolled to its end the list still hides the page down to the last row of pixels.
    EXPECT_GE(menu.listLayer().rect().bottom, 64);
    EXPECT_FALSE(display.isLayerVisible(&page));
    std::vector<std::string> texts = display.visibleTexts();
    EXPECT_EQ(std::count(texts.begin(), texts.end(), "внизу"), 0);
    EXPECT_EQ(std::count(texts.begin(), texts.end(), "п8"), 1);
    display.removeLayer(&page);
}

TEST_F(MenuTest, TheTextsListedAreOnlyThoseNoOpaqueLayerAboveCovers) {
    Font& font = display.font(FontFace::Arial);
    font.setSize(704);
    Layer page(Rect{0, 240, 0, 64}, true, kBlendOpaque);
    page.drawText(font, "верх", 3, 11, 255);
    page.drawText(font, "низ", 3, 62, 255);
    Layer cover(Rect{0, 240, 0, 40}, true, kBlendOpaque);
    cover.drawText(font, "крышка", 3, 11, 255);
    display.addLayer(&page);
    display.addLayer(&cover);
    EXPECT_EQ(display.visibleTexts(), (std::vector<std::string>{"крышка", "низ"}));
    display.removeLayer(&cover);
    EXPECT_EQ(display.visibleTexts(), (std::vector<std::string>{"верх", "низ"}));
    display.removeLayer(&page);
}

TEST_F(MenuTest, DisablingAnEntryClosesItAndRedrawsTheList) {
    VerticalMenu menu;
    ProbePage first("Первый", calls), second("Второй", calls);
    menu.addMenuItem(&first);
    menu.addMenuItem(&second);
    menu.activate(0);
    calls.clear();

    first.setEnabled(false);
    EXPECT_EQ(calls, std::vector<std::string>{"Первый.deactivate"});
    EXPECT_EQ(rowInk(menu.listLayer(), 0), 64);
    EXPECT_EQ(menu.currentItem(), &second);
    first.setEnabled(false); // unchanged: nothing
    EXPECT_EQ(calls.size(), 1u);
}

TEST_F(MenuTest, ReadOnlyStringShowsItsTextAndOnlyCancelCloses) {
    VerticalMenu menu;
    ReadOnlyString version("Версия", "velkord 1.0");
    menu.addMenuItem(&version);
    menu.activate(0);
    press(menu, kKeyEnter);
    ASSERT_TRUE(version.isShown());
    int ink = *std::max_element(version.layer().pixels().begin(), version.layer().pixels().end());
    EXPECT_EQ(ink, 255);
    EXPECT_FALSE(version.onKey(kKeyDown, true));
    EXPECT_TRUE(menu.onKey(kKeyCancel, true)); // taken by the text page, not the menu
    EXPECT_FALSE(version.isShown());
    EXPECT_TRUE(menu.isShown());
}

} // namespace

namespace {

class StripPage : public HorizontalMenuItem {
public:
    explicit StripPage(std::string title) : HorizontalMenuItem(std::move(title)) {}
};

TEST_F(MenuTest, PagesStandSideBySideAndActivatingOneSlidesTheDisplayToIt) {
    MenuSet root;
    StripPage first("first"), second("second");
    root.addMenuItem(&first);
    root.addMenuItem(&second);
    EXPECT_EQ(second.pageOrigin(), 240);
    Layer secondLayer(Rect{second.pageOrigin(), second.pageOrigin() + 240, 0, 64}, true, kBlendOpaque);
    display.addLayer(&secondLayer);

    EXPECT_TRUE(root.onKey(kKeyRight, true));
    for (int ms = 0; ms < 1000; ++ms) {
        board.clock().advanceMs(1);
        timers.runDue();
    }
    EXPECT_EQ(secondLayer.left(), 0);
    EXPECT_EQ(display.pageX(second.pageOrigin()), 0);
    EXPECT_EQ(display.pageX(first.pageOrigin()), -240);
}

} // namespace
