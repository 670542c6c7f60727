// Portable media in velkord-sim: a drive plugged through the control socket, the copy offered and made,
// the configuration saved, changed and restored through the panel's keys, and the daemon running again
// with the restored settings.

#include "tests/support/free_port.h"
#include "tests/support/process.h"
#include "tests/support/sim_control_client.h"
#include "tests/support/temp_dir.h"

#include <csignal>
#include <gtest/gtest.h>
#include <unistd.h>

namespace {

const std::string kSim = VELKORD_SIM_PATH;
constexpr int kWaitMs = 20000;
constexpr useconds_t kKeyGapUs = 300000;

class MediaSim : public ::testing::Test {
protected:
    void SetUp() override {
        root = dir / "run";
        sim = std::make_unique<Process>(
            std::vector<std::string>{kSim, "--root", root, "--http-port", std::to_string(freeTcpPort()),
                                     "--https-port", std::to_string(freeTcpPort()), "--modbus-port",
                                     std::to_string(freeTcpPort())},
            dir / "stderr");
        ASSERT_TRUE(sim->started());
        ASSERT_TRUE(waitUntil(kWaitMs, [&] { return command("time").rfind("ok", 0) == 0; }))
            << readFile(dir / "stderr");
    }
    void TearDown() override {
        if (!sim)
            return;
        sim->signal(SIGTERM);
        EXPECT_EQ(sim->wait(kWaitMs), 0) << readFile(dir / "stderr");
    }
    std::string command(const std::string& line) { return simCommand(root + "/sim.sock", line, 2000); }
    bool panelShows(const std::string& text) {
        return waitUntil(kWaitMs, [&] { return command("text").find(text) != std::string::npos; });
    }
    // A tap holds the key down for 100 ms: the next one comes after its release is seen.
    void key(const std::string& name) {
        ASSERT_EQ(command("key " + name), "ok");
        usleep(kKeyGapUs);
    }

    TempDir dir;
    std::string root;
    std::unique_ptr<Process> sim;
};

TEST_F(MediaSim, CopySaveAndRestoreWithARestart) {
    ASSERT_EQ(command("setting wellName Skv5"), "ok");
    // The media indicator: dark without a drive once the daemon drives the outputs.
    EXPECT_TRUE(waitUntil(kWaitMs, [&] { return command("output 28") == "ok off"; }));
    ASSERT_EQ(command("media plug sda"), "ok");
    // The automounter's mount is seen within a second and the copy offered; the indicator is lit.
    ASSERT_TRUE(panelShows("Копировать динамограммы?")) << command("text");
    EXPECT_TRUE(waitUntil(kWaitMs, [&] { return command("output 28") == "ok on"; }));
    EXPECT_EQ(command("output 64"), "error usage: output 0-63");
    key("enter");
    ASSERT_TRUE(panelShows("записаны на носитель")) << command("text");
    EXPECT_EQ(command("media mounts"), "ok");
    std::string listing = command("media list sda Skv5-SIM-0001");
    EXPECT_NE(listing.find(" messages.log:"), std::string::npos) << listing;
    key("enter");

    // The menu: save the configuration.
    ASSERT_TRUE(panelShows("Сохранить конфигурацию...")) << command("text");
    key("enter");
    ASSERT_TRUE(panelShows("Конфигурация записана на")) << command("text");
    std::string saved = readFile(root + "/media-store/sda1/Skv5-SIM-0001/config.xml");
    EXPECT_NE(saved.find("<wellName>Skv5</wellName>"), std::string::npos);
    key("cancel");

    ASSERT_EQ(command("setting wellName Other"), "ok");
    for (int i = 0; i < 4; ++i)
        key("down");
    key("enter");
    ASSERT_TRUE(panelShows("[Skv5-SIM-0001]")) << command("text");
    key("down");
    key("enter");
    ASSERT_TRUE(panelShows("config.xml")) << command("text");
    key("down");
    key("enter");
    ASSERT_TRUE(panelShows("ВВОД - применить и рестарт;")) << command("text");
    key("enter");
    // The daemon stops and runs again on the same sandbox with the restored file.
    ASSERT_TRUE(waitUntil(kWaitMs, [&] {
        std::string journal = readFile(root + "/var/log/events");
        size_t first = journal.find("velkord started");
        return first != std::string::npos && journal.find("velkord started", first + 1) != std::string::npos;
    })) << readFile(dir / "stderr");
    ASSERT_TRUE(waitUntil(kWaitMs, [&] { return command("time").rfind("ok", 0) == 0; }));
    EXPECT_NE(readFile(root + "/etc/velkord").find("<wellName>Skv5</wellName>"), std::string::npos);
    // The drive taken out: the indicator goes dark.
    ASSERT_EQ(command("media unplug sda"), "ok");
    EXPECT_TRUE(waitUntil(kWaitMs, [&] { return command("output 28") == "ok off"; }));
    // (The start-up writes the file once more, so the backup made when the file was applied is
    // itself rotated there; the unit tests see it before the restart.)
    EXPECT_EQ(command("media mounts"), "ok");
    // The daemon's syslog lines are in the sandbox's system log.
    EXPECT_NE(readFile(root + "/var/log/messages").find("velkord["), std::string::npos);
}

TEST_F(MediaSim, UpdateOffersThePackagesOnADriveAndInstallsNothingOnTheHost) {
    ASSERT_EQ(command("media plug sdb -"), "ok");
    ASSERT_EQ(command("media file sdb velkord_2.0_armhf.ipk 100"), "ok");
    ASSERT_EQ(command("media unplug sdb"), "ok");
    ASSERT_EQ(command("media plug sdb $(reboot)"), "ok");
    ASSERT_TRUE(panelShows("Обновить ПО?")) << command("text");
    key("enter");
    ASSERT_TRUE(panelShows("Обновление завершено.")) << command("text");
    EXPECT_EQ(command("media installs"), "ok 1 /run/media/$(reboot)/velkord_2.0_armhf.ipk");
    key("enter");
    ASSERT_TRUE(waitUntil(kWaitMs, [&] { return command("media mounts") == "ok"; }));
    ASSERT_EQ(command("media unplug sdb"), "ok");
    EXPECT_EQ(command("media status"), "ok disks= mounted=0");
}

} // namespace
