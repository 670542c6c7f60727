// Portable media end to end: the simulated drives' uevents and mounts, the worker thread behind its
// pipes, the dialogs and pages driven by the panel's keys, the update, the restore and the purge.

#include "config/config.h"
#include "core/epoller.h"
#include "core/registry.h"
#include "core/timer_queue.h"
#include "periph/flash.h"
#include "periph/flash_files.h"
#include "periph/flash_pages.h"
#include "tests/support/event_pump.h"
#include "tests/support/process.h"
#include "tests/support/temp_dir.h"
#include "tests/support/test_board.h"
#include "ui/display.h"
#include "ui/keys.h"
#include "ui/menu_set.h"
#include "ui/read_only_string.h"

#include <dirent.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using Lines = std::vector<std::string>;
using Mode = MediaIndicator::Mode;

const char kBoardName[] = "A17";
constexpr int kWaitMs = 10000;
constexpr off_t kLongFileBytes = 1024L * 1024 * 1024;

class RecordingIndicator : public MediaIndicator {
public:
    void setIndicator(Mode mode) override { modes.push_back(mode); }
    void wakePanel() override { ++wakes; }
    Mode last() const { return modes.empty() ? Mode::kOff : modes.back(); }
    std::vector<Mode> modes;
    int wakes = 0;
};

class FlashTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(EPoller::init());
        gTimers = &timers;
        config = std::make_unique<Config>(board.path("/etc/velkord"), board.path("/etc/velkord_perf"));
        display = std::make_unique<Display>(board.platform().framebuffer());
        ASSERT_EQ(display->open(), 0);
        gDisplay = display.get();
        root.addMenuItem(&mainPage);
        ::mkdir(board.path("/var/spool").c_str(), 0755);
    }

    void TearDown() override {
        if (flash)
            root.removeMenuItem(flash.get());
        flash.reset();
        root.removeMenuItem(&mainPage);
        gDisplay = nullptr;
        display.reset();
        gTimers = nullptr;
        EPoller::shutdown();
    }

    void start() {
        flash = std::make_unique<Flash>(
            FlashServices{*config, board.platform().media(), indicator, kBoardName, [this] { ++restarts; }});
        root.addMenuItem(flash.get());
    }

    platform::SimMedia& media() { return board.platform().simMedia(); }
    std::string path(const std::string& boardPath) { return board.path(boardPath); }

    void key(int code) {
        root.onKey(code, true);
        root.onKey(code, false);
    }
    bool waitFor(const std::function<bool()>& predicate) { return pumpUntil(predicate, kWaitMs); }
    bool waitForState(Flash::State state) {
        return waitFor([&] { return flash->state() == state; });
    }
    FlashMessage& page(int index) { return *static_cast<FlashMessage*>(flash->items()[index]); }
    bool waitForLines(int index, const Lines& lines) {
        return waitFor([&] { return page(index).lines() == lines; });
    }
    // Opens entry `index` of the media menu from the root set.
    void openEntry(int index) {
        root.activate(flash->index());
        for (int i = 0; i < 5; ++i)
            key(kKeyUp);
        for (int i = 0; i < index; ++i)
            key(kKeyDown);
        key(kKeyEnter);
    }
    std::string destination() { return flash->destinationName(); }
    void makeDynamograms(int count, size_t bytes) {
        for (int i = 0; i < count; ++i) {
            char name[64];
            std::snprintf(name, sizeof name, "/var/spool/telm_20261207_%04d.bin", i);
            writeFile(path(name), std::string(bytes, 'd'));
        }
    }
    size_t filesIn(const std::string& hostDirectory) {
        DIR* dir = ::opendir(hostDirectory.c_str());
        if (!dir)
            return 0;
        size_t count = 0;
        while (dirent* entry = ::readdir(dir))
            if (entry->d_name[0] != '.')
                ++count;
        ::closedir(dir);
        return count;
    }

    TestBoard board;
    TimerQueue timers;
    std::unique_ptr<Config> config;
    std::unique_ptr<Display> display;
    MenuSet root;
    ReadOnlyString mainPage{"main", "main"};
    RecordingIndicator indicator;
    int restarts = 0;
    std::unique_ptr<Flash> flash;
};

TEST_F(FlashTest, WholeDiskEventsShowTheItemAndPartitionsChangeNothing) {
    start();
    EXPECT_TRUE(flash->workerRunning());
    EXPECT_FALSE(flash->enabled());
    EXPECT_EQ(indicator.last(), Mode::kOff);
    // A partition's event alone (14 parts) is not a disk.
    media().sendUevent(
        "add@/devices/platform/ahb/1c14000.usb/usb1/1-1/1-1:1.0/host0/target0:0:0/0:0:0:0/block/sdc/sdc1");
    pumpEvents(50);
    EXPECT_TRUE(flash->disks().empty());
    EXPECT_FALSE(flash->enabled());

    media().plug("sda");
    ASSERT_TRUE(waitFor([&] { return flash->enabled(); }));
    EXPECT_EQ(indicator.last(), Mode::kOn);
    EXPECT_EQ(indicator.wakes, 1);
    media().plug("sdb");
    ASSERT_TRUE(waitFor([&] { return flash->disks().size() == 2; }));
    EXPECT_EQ(indicator.wakes, 2);
    // One of two drives removed: the item stays, the indicator stays on.
    media().unplug("sda");
    ASSERT_TRUE(waitFor([&] { return flash->disks().size() == 1; }));
    EXPECT_TRUE(flash->enabled());
    EXPECT_EQ(indicator.last(), Mode::kOn);
    media().unplug("sdb");
    ASSERT_TRUE(waitFor([&] { return flash->disks().empty(); }));
    EXPECT_FALSE(flash->enabled());
    EXPECT_EQ(indicator.last(), Mode::kOff);
}

TEST_F(FlashTest, ADrivePresentAtStartUpShowsTheItem) {
    media().plug("sdb");
    start();
    EXPECT_TRUE(flash->enabled());
    EXPECT_EQ(flash->disks(), std::set<std::string>({"sdb"}));
    EXPECT_EQ(indicator.last(), Mode::kOn);
}

TEST_F(FlashTest, AMountedDriveIsOfferedTheCopyAndGetsDynamogramsAndTheLog) {
    config->wellName.value = "Скв/12";
    config->timeIntAutoCopy.value = 240;
    makeDynamograms(3, 1000);
    ::mkdir(path("/var/log").c_str(), 0755);
    writeFile(path("/var/log/messages"), "Dec  7 10:00:00 velkord[1]: line\n");
    start();
    std::string store = media().plug("sda");
    ASSERT_EQ(media().automount("sda", "STICK"), 0);
    // The periodic look at the mounts, by its timer.
    board.clock().advanceMs(Flash::kCheckMs + 1);
    timers.runDue();
    ASSERT_EQ(flash->state(), Flash::State::kAskCopy);
    EXPECT_EQ(flash->dialogTexts(), Lines({"Копировать динамограммы?", "> Да", "  Нет"}));
    EXPECT_EQ(root.current(), flash->index());
    EXPECT_EQ(indicator.last(), Mode::kBlink);
    key(kKeyEnter);
    ASSERT_TRUE(waitForState(Flash::State::kResult));
    EXPECT_EQ(flash->dialogTexts(), Lines({"Динамограммы и журнал", "записаны на носитель"}));
    std::string target = store + "/Скв_12-A17";
    EXPECT_EQ(destination(), "Скв_12-A17");
    EXPECT_EQ(filesIn(target), 4u);
    EXPECT_EQ(readFile(target + "/telm_20261207_0002.bin"), std::string(1000, 'd'));
    EXPECT_EQ(readFile(target + "/messages.log"), "Dec  7 10:00:00 velkord[1]: line\n");
    EXPECT_TRUE(media().mountPoints().empty());
    EXPECT_EQ(indicator.last(), Mode::kOn);
    key(kKeyEnter);
    EXPECT_EQ(flash->state(), Flash::State::kIdle);
}

TEST_F(FlashTest, TheCopyCanBeRefusedSkippedOrMadeWithoutAsking) {
    makeDynamograms(2, 100);
    config->timeIntAutoCopy.value = 240;
    start();
    std::string store = media().plug("sda");
    ASSERT_EQ(media().automount("sda", "sda1"), 0);
    flash->checkMounts();
    ASSERT_EQ(flash->state(), Flash::State::kAskCopy);
    key(kKeyDown);
    EXPECT_EQ(flash->dialogTexts(), Lines({"Копировать динамограммы?", "  Да", "> Нет"}));
    key(kKeyEnter);
    ASSERT_TRUE(waitForState(Flash::State::kIdle));
    EXPECT_TRUE(media().mountPoints().empty());
    EXPECT_EQ(filesIn(store), 0u);
    // The next look sees the drive gone from the mounts.
    flash->checkMounts();

    // "Не копировать": only unmounted.
    config->timeIntAutoCopy.value = 0;
    ASSERT_EQ(media().automount("sda", "sda1"), 0);
    flash->checkMounts();
    EXPECT_EQ(flash->dialogTexts(), Lines({"Подождите...", "Размонтирование ФС..."}));
    ASSERT_TRUE(waitForState(Flash::State::kIdle));
    EXPECT_TRUE(media().mountPoints().empty());
    flash->checkMounts();

    // Copies at once when no confirmation is wanted.
    config->timeIntAutoCopy.value = 240;
    config->copyConfirmation.current = 1;
    ASSERT_EQ(media().automount("sda", "sda1"), 0);
    flash->checkMounts();
    ASSERT_TRUE(waitForState(Flash::State::kResult));
    EXPECT_EQ(filesIn(store + "/" + destination()), 3u);
}

TEST_F(FlashTest, ADrivePulledAtTheCopyQuestionLeavesTheNextDriveOfferedTheCopy) {
    makeDynamograms(2, 100);
    config->timeIntAutoCopy.value = 240;
    start();
    media().plug("sda");
    ASSERT_TRUE(waitFor([&] { return flash->enabled(); }));
    ASSERT_EQ(media().automount("sda", "sda1"), 0);
    flash->checkMounts();
    ASSERT_EQ(flash->state(), Flash::State::kAskCopy);
    EXPECT_EQ(indicator.last(), Mode::kBlink);
    media().unplug("sda");
    ASSERT_TRUE(waitFor([&] { return !flash->enabled(); }));
    EXPECT_EQ(flash->state(), Flash::State::kIdle);
    EXPECT_EQ(indicator.last(), Mode::kOff);
    flash->checkMounts();

    // The same drive again: asked again, and a plain plug lights the indicator steadily.
    std::string store = media().plug("sda");
    ASSERT_TRUE(waitFor([&] { return flash->enabled(); }));
    EXPECT_EQ(indicator.last(), Mode::kOn);
    ASSERT_EQ(media().automount("sda", "sda1"), 0);
    flash->checkMounts();
    ASSERT_EQ(flash->state(), Flash::State::kAskCopy);
    key(kKeyEnter);
    ASSERT_TRUE(waitForState(Flash::State::kResult));
    EXPECT_EQ(filesIn(store + "/" + destination()), 3u);
}

TEST_F(FlashTest, CancelStopsTheCopyAndTheDriveIsStillUnmounted) {
    config->timeIntAutoCopy.value = 240;
    makeDynamograms(3, 1000);
    // A first file long enough (sparse: nothing is written to make it) that the copy is still on it
    // when ОТМ comes, however slowly the test runs.
    ASSERT_EQ(::truncate(path("/var/spool/telm_20261207_0000.bin").c_str(), kLongFileBytes), 0);
    start();
    std::string store = media().plug("sda");
    ASSERT_EQ(media().automount("sda", "sda1"), 0);
    flash->checkMounts();
    key(kKeyEnter);
    key(kKeyCancel);
    ASSERT_TRUE(waitForState(Flash::State::kResult));
    EXPECT_EQ(flash->dialogTexts(), Lines({"Копирование прервано."}));
    EXPECT_EQ(filesIn(store + "/" + destination()), 1u);
    struct stat status {};
    ASSERT_EQ(::stat((store + "/" + destination() + "/telm_20261207_0000.bin").c_str(), &status), 0);
    EXPECT_LT(status.st_size, kLongFileBytes);
    EXPECT_FALSE(fileExists(store + "/" + destination() + "/messages.log"));
    EXPECT_TRUE(media().mountPoints().empty());
}

TEST_F(FlashTest, SavedConfigurationRestoresAfterItChangedKeepingTheCurrentAsBackup) {
    config->wellName.set("Скв 12");
    config->save();
    std::string saved = readFile(path("/etc/velkord"));
    start();
    std::string store = media().plug("sda");
    ASSERT_TRUE(waitFor([&] { return flash->enabled(); }));
    openEntry(0);
    ASSERT_TRUE(waitForLines(0, Lines({"Конфигурация записана на", "портативный носитель"})));
    EXPECT_EQ(readFile(store + "/Скв 12-A17/config.xml"), saved);
    EXPECT_TRUE(media().mountPoints().empty());
    key(kKeyCancel);

    config->wellName.set("Другая");
    config->save();
    std::string changed = readFile(path("/etc/velkord"));
    ASSERT_NE(changed, saved);
    openEntry(4);
    ASSERT_TRUE(waitForLines(4, Lines({"[..]", "[Скв 12-A17]"})));
    key(kKeyDown);
    key(kKeyEnter);
    ASSERT_TRUE(waitForLines(4, Lines({"[..]", "config.xml"})));
    key(kKeyDown);
    key(kKeyEnter);
    ASSERT_TRUE(waitForLines(
        4, Lines({"Файл настроек скопирован.", "ВВОД - применить и рестарт;", "ОТМ - продолжить."})));
    EXPECT_EQ(readFile(path("/etc/velkord")), changed);
    key(kKeyEnter);
    ASSERT_TRUE(waitFor([&] { return restarts == 1; }));
    EXPECT_TRUE(media().mountPoints().empty());
    EXPECT_EQ(readFile(path("/etc/velkord")), saved);
    EXPECT_EQ(readFile(path("/etc/velkord.bak")), changed);
    EXPECT_FALSE(fileExists(path("/etc/velkord.tmp")));
    // What the daemon reads at its restart.
    Config restarted(path("/etc/velkord"), path("/etc/velkord_perf"));
    EXPECT_EQ(restarted.wellName.value, "Скв 12");
}

TEST_F(FlashTest, AFileThatIsNoConfigurationIsRefused) {
    start();
    std::string store = media().plug("sda");
    writeFile(store + "/broken.xml", "<config><general>");
    writeFile(store + "/page.xml", "<html><body/></html>");
    ASSERT_TRUE(waitFor([&] { return flash->enabled(); }));
    std::string working = readFile(path("/etc/velkord"));
    openEntry(4);
    ASSERT_TRUE(waitForLines(4, Lines({"[..]", "broken.xml", "page.xml"})));
    key(kKeyDown);
    key(kKeyEnter);
    ASSERT_TRUE(waitForLines(4, Lines({"Файл не принят:", "файл не читается как XML", "ОТМ - продолжить."})));
    EXPECT_FALSE(fileExists(path("/etc/velkord.tmp")));
    key(kKeyCancel);
    EXPECT_EQ(page(4).lines(), Lines({"[..]", "broken.xml", "page.xml"}));
    key(kKeyDown);
    key(kKeyEnter);
    ASSERT_TRUE(waitForLines(4, Lines({"Файл не принят:", "это не файл настроек", "ОТМ - продолжить."})));
    EXPECT_EQ(readFile(path("/etc/velkord")), working);
    key(kKeyCancel);
    // ОТМ in the list unmounts and leaves.
    key(kKeyCancel);
    ASSERT_TRUE(waitFor([&] { return media().mountPoints().empty() && !page(4).isShown(); }));
    EXPECT_EQ(restarts, 0);
}

TEST_F(FlashTest, TheSystemLogOfADateRangeAndSingleDynamogramsGoOntoTheDrive) {
    ::mkdir(path("/var/log").c_str(), 0755);
    writeFile(path("/var/log/messages"), "Dec  1 10:00:00 a: old\nDec  5 10:00:00 a: wanted\n");
    makeDynamograms(2, 10);
    start();
    std::string store = media().plug("sda");
    ASSERT_TRUE(waitFor([&] { return flash->enabled(); }));
    auto& log = static_cast<FlashSaveLog&>(page(1));
    openEntry(1);
    EXPECT_EQ(log.lines()[0], "Выберите диапазон дат:");
    tm day{};
    day.tm_year = 2026 - 1900;
    day.tm_mon = 11;
    day.tm_mday = 4;
    day.tm_hour = 12;
    day.tm_isdst = -1;
    time_t from = mktime(&day);
    log.setRange(from, from);
    key(kKeyUp);   // "c:" a day later
    key(kKeyDown); // and back
    key(kKeyEnter);
    key(kKeyUp); // "по:" to the 5th
    EXPECT_EQ(log.lines()[2], "по: 05.12.2026");
    key(kKeyEnter);
    ASSERT_TRUE(waitForLines(1, Lines({"Журнал записан на", "портативный носитель"})));
    EXPECT_EQ(readFile(store + "/" + destination() + "/messages.log"), "Dec  5 10:00:00 a: wanted\n");
    EXPECT_TRUE(media().mountPoints().empty());
    key(kKeyCancel);

    openEntry(3);
    ASSERT_TRUE(waitForLines(3, Lines({"telm_20261207_0000.bin", "telm_20261207_0001.bin"})));
    key(kKeyDown);
    key(kKeyEnter);
    ASSERT_TRUE(waitForLines(3, Lines({"Динамограмма скопирована."})));
    EXPECT_EQ(filesIn(store + "/" + destination()), 2u);
    EXPECT_TRUE(fileExists(store + "/" + destination() + "/telm_20261207_0001.bin"));
    key(kKeyCancel);
    // No dynamograms at all.
    ::unlink(path("/var/spool/telm_20261207_0000.bin").c_str());
    ::unlink(path("/var/spool/telm_20261207_0001.bin").c_str());
    openEntry(3);
    ASSERT_TRUE(waitForLines(3, Lines({"Динамограммы не найдены"})));
    key(kKeyCancel);
    EXPECT_EQ(indicator.last(), Mode::kOn);
}

TEST_F(FlashTest, UpdateFromDrivesWithHostileLabelsRunsNothingButTheInstaller) {
    TempDir cwd;
    start();
    const std::vector<std::string> labels = {"$(touch PWNED)", "x;touch PWNED; echo"};
    int run = 0;
    for (const std::string& label : labels) {
        SCOPED_TRACE(label);
        std::string store = media().plug("sda");
        writeFile(store + "/b_1.0_arm.ipk", "b");
        writeFile(store + "/a_1.0_arm.ipk", "a");
        writeFile(store + "/readme.txt", "x");
        // The kernel's events come before the automounter's mount.
        ASSERT_TRUE(waitFor([&] { return flash->enabled(); }));
        ASSERT_EQ(media().automount("sda", label), 0);
        flash->checkMounts();
        ASSERT_EQ(flash->state(), Flash::State::kAskUpdate);
        EXPECT_EQ(flash->dialogTexts()[0], "Обновить ПО?");
        // Shown where the display's slide to the page ends.
        runFor(board, 1000);
        EXPECT_EQ(display->pendingScroll(), 0);
        EXPECT_TRUE(flash->dialog().isShown());
        EXPECT_EQ(display->visibleTexts(), Lines({"Портативный носитель", "Обновить ПО?", "> Да", "  Нет"}));
        key(kKeyEnter);
        ASSERT_TRUE(waitForState(Flash::State::kUpdateDone));
        ++run;
        auto runs = media().installerRuns();
        ASSERT_EQ(runs.size(), static_cast<size_t>(run));
        EXPECT_EQ(runs.back(), Lines({"/run/media/" + label + "/a_1.0_arm.ipk",
                                      "/run/media/" + label + "/b_1.0_arm.ipk"}));
        EXPECT_NE(flash->updateText().find("Configuring a.\n"), std::string::npos);
        EXPECT_EQ(flash->dialogTexts().back(), "Обновление завершено.");
        key(kKeyEnter);
        ASSERT_TRUE(waitForState(Flash::State::kIdle));
        EXPECT_TRUE(media().mountPoints().empty());
        media().unplug("sda");
        ASSERT_TRUE(waitFor([&] { return !flash->enabled(); }));
    }
    EXPECT_FALSE(fileExists(path("/PWNED")));
    EXPECT_FALSE(fileExists("PWNED"));
}

TEST_F(FlashTest, HourlyPurgeInADetachedChildKeepsTheNewestDynamograms) {
    constexpr int kFiles = kDynamogramsKept + 50;
    const time_t base = 1700000000;
    for (int i = 0; i < kFiles; ++i) {
        char name[64];
        std::snprintf(name, sizeof name, "/var/spool/telm_%05d.bin", i);
        int fd = ::open(path(name).c_str(), O_WRONLY | O_CREAT, 0644);
        ASSERT_GE(fd, 0);
        ::close(fd);
        timespec times[2] = {{base + i, 0}, {base + i, 0}};
        ASSERT_EQ(::utimensat(AT_FDCWD, path(name).c_str(), times, 0), 0);
    }
    start();
    board.clock().advanceMs(Flash::kFirstPurgeMs - 10);
    timers.runDue();
    EXPECT_EQ(flash->lastPurgePid(), 0);
    board.clock().advanceMs(11);
    timers.runDue();
    pid_t child = flash->lastPurgePid();
    ASSERT_GT(child, 0);
    ASSERT_EQ(waitForChild(child, kWaitMs), 0);
    EXPECT_EQ(filesIn(path("/var/spool")), kDynamogramsKept);
    EXPECT_FALSE(fileExists(path("/var/spool/telm_00049.bin")));
    EXPECT_TRUE(fileExists(path("/var/spool/telm_00050.bin")));
    // Then every hour.
    board.clock().advanceMs(Flash::kPurgeMs + 1);
    timers.runDue();
    ASSERT_NE(flash->lastPurgePid(), child);
    ASSERT_EQ(waitForChild(flash->lastPurgePid(), kWaitMs), 0);
    EXPECT_EQ(filesIn(path("/var/spool")), kDynamogramsKept);
}

} // namespace
