// The debug screen as the daemon builds it: reached with the keys, its counters read from the drive
// bus the controller polls.
#include "drive/discrete_inputs.h"
#include "tests/drive/controller_fixture.h"
#include "ui/debug_screen.h"
#include "ui/keys.h"

namespace {

class DebugScreenTest : public ControllerFixture {
protected:
    DebugScreen& screen() { return *objects.debugScreen; }
    void startLit() {
        healthyRig(kModeStop, true);
        setInput(kInputPanelEnable, true);
        start();
    }
    void tapKey(int key) {
        setInput(key, true);
        settle();
        setInput(key, false);
        settle();
    }
    // The counters of a row without its label.
    static std::string counters(const std::string& row) { return row.substr(row.find(':')); }
    // Goes right until the debug screen is the current page.
    void goToDebugScreen() {
        for (size_t n = 0; n < rootMenu->items().size() && rootMenu->currentItem() != &screen(); ++n)
            tapKey(kKeyRight);
        ASSERT_EQ(rootMenu->currentItem(), &screen());
        run(1500);
    }
};

TEST_F(DebugScreenTest, StandsAfterTheOtherPagesAndShowsTheBusCounters) {
    startLit();
    run(1000);
    EXPECT_TRUE(screen().shownLines().empty()); // never drawn while another page is shown
    goToDebugScreen();
    const auto& lines = screen().shownLines();
    ASSERT_EQ(lines.size(), 6U);
    EXPECT_EQ(lines[0], "Отладочный экран");
    EXPECT_EQ(lines[1], "TX    TO   Retr  IOEr BCRC short");
    EXPECT_EQ(lines[2].rfind("Все: ", 0), 0U);
    EXPECT_EQ(lines[3].rfind("НУ1: ", 0), 0U);
    EXPECT_EQ(lines[4].rfind("НУ2: ", 0), 0U);
    // The polling of both drives has transmitted requests to each.
    unsigned total = 0;
    unsigned first = 0;
    ASSERT_EQ(std::sscanf(lines[2].c_str() + lines[2].find(':') + 1, "%u", &total), 1);
    ASSERT_EQ(std::sscanf(lines[3].c_str() + lines[3].find(':') + 1, "%u", &first), 1);
    EXPECT_GT(first, 0U);
    EXPECT_GT(total, first);
    // Five bytes of the chain's last exchange.
    EXPECT_EQ(lines[5].size(), 5U * 3U);
    // The texts the panel shows are these.
    std::vector<std::string> shown = display->visibleTexts();
    EXPECT_EQ(shown, lines);
}

TEST_F(DebugScreenTest, TwoDrivesOnOneAddressShowIdenticalRows) {
    startLit();
    goToDebugScreen();
    EXPECT_NE(counters(screen().shownLines()[3]), counters(screen().shownLines()[4]));
    config->modbusAddrDrive2.value = config->modbusAddrDrive1.value;
    run(600);
    EXPECT_EQ(counters(screen().shownLines()[3]), counters(screen().shownLines()[4]));
}

} // namespace
