// Setting the clock and the RTC, restart and reboot: the sandbox's stand-ins, and the board's detached
// child run on a script of the test's own (nothing here sets the machine's clock or starts its init
// scripts).

#include "platform/linux_system_control.h"
#include "platform/sim_system_control.h"
#include "tests/support/temp_dir.h"
#include "tests/support/test_board.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

TEST(SimSystemControl, SettingTheTimeMovesOnlyThePlatformsWallClock) {
    TestBoard board;
    timeval hostBefore{};
    gettimeofday(&hostBefore, nullptr);
    time_t before = platform::wallTime();
    EXPECT_EQ(board.platform().systemControl().setWallTime(1835000000), 0);
    EXPECT_EQ(platform::wallTime(), 1835000000);
    board.clock().advanceMs(5000);
    EXPECT_EQ(platform::wallTime(), 1835000005);
    EXPECT_NE(before, platform::wallTime());
    timeval hostAfter{};
    gettimeofday(&hostAfter, nullptr);
    EXPECT_LT(hostAfter.tv_sec - hostBefore.tv_sec, 60) << "the machine's clock is left alone";
}

TEST(SimSystemControl, RtcIsASandboxFileThatMustExist) {
    TestBoard board;
    tm utc{};
    utc.tm_year = 128;
    utc.tm_mon = 1;
    utc.tm_mday = 29;
    utc.tm_hour = 12;
    // The sandbox has the stand-in; a board without the device is one without the file.
    ::unlink(board.path("/dev/rtc").c_str());
    platform::RtcWrite missing = board.platform().systemControl().writeRtc(utc);
    EXPECT_EQ(missing.stage, platform::RtcWrite::kOpenFailed);
    EXPECT_EQ(missing.error, ENOENT);
    ::mkdir(board.path("/dev").c_str(), 0755);
    writeFile(board.path("/dev/rtc"), "");
    platform::RtcWrite written = board.platform().systemControl().writeRtc(utc);
    EXPECT_EQ(written.stage, platform::RtcWrite::kDone);
    EXPECT_EQ(readFile(board.path("/dev/rtc")), "2028-02-29 12:00:00 UTC\n");
}

TEST(SimSystemControl, RestartAndRebootAreHandedToTheListener) {
    TestBoard board;
    platform::SimSystemControl& control = board.platform().simSystemControl();
    std::vector<platform::PowerAction> heard;
    control.setPowerListener([&](platform::PowerAction action) { heard.push_back(action); });
    EXPECT_EQ(control.restartDaemon(), 0);
    EXPECT_EQ(control.reboot(), 0);
    control.setForkError(EAGAIN);
    EXPECT_EQ(control.reboot(), EAGAIN);
    EXPECT_EQ(heard, (std::vector<platform::PowerAction>{platform::PowerAction::kRestart,
                                                         platform::PowerAction::kReboot}));
    EXPECT_EQ(control.restarts(), 1);
    EXPECT_EQ(control.reboots(), 1);
}

// Runs `close` in a child holding descriptors up to a high number; true when none is left open.
bool childClosesEverything(void (*close)()) {
    pid_t child = fork();
    if (child == 0) {
        int base = ::open("/dev/null", O_RDONLY);
        for (int fd : {5, 17, 200, 1000})
            ::dup2(base, fd);
        close();
        for (int fd = 0; fd <= 1024; ++fd)
            if (::fcntl(fd, F_GETFD) != -1)
                ::_exit(1);
        ::_exit(0);
    }
    int status = 0;
    waitpid(child, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

TEST(LinuxSystemControl, DescriptorsAreClosedInOneCallOrFromTheProcList) {
    EXPECT_TRUE(childClosesEverything(platform::closeAllDescriptors));
    EXPECT_TRUE(childClosesEverything(platform::closeListedDescriptors));
}

TEST(LinuxSystemControl, DetachedChildRunsTheProgramInItsOwnSessionWithTheSetEnvironment) {
    TempDir dir;
    std::string script = dir / "velkord.sh";
    std::string out = dir / "out";
    writeFile(script, "#!/bin/sh\n"
                      "{ echo \"$0 $*\"; echo \"QUIET=$QUIET WEB_UPGRADE=${WEB_UPGRADE-unset}\";\n"
                      "  [ -e /proc/$$/fd/60 ] && echo fd60-open || echo fd60-closed;\n"
                      "  echo \"pid=$$ sid=$(cut -d' ' -f6 /proc/$$/stat)\"; } > " +
                          out + ".tmp\nmv " + out + ".tmp " + out + "\n");
    ::chmod(script.c_str(), 0755);
    ::setenv("WEB_UPGRADE", "1", 1);
    int inherited = ::open("/dev/null", O_RDONLY); // without close-on-exec
    ::dup2(inherited, 60);
    pid_t child = 0;
    EXPECT_EQ(platform::spawnDetached(script, {"velkord.sh", "restart"}, &child), 0);
    ::close(60);
    ::close(inherited);
    ::unsetenv("WEB_UPGRADE");
    ASSERT_GT(child, 0);
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    std::string result = readFile(out);
    EXPECT_NE(result.find("restart\n"), std::string::npos) << result;
    EXPECT_NE(result.find("QUIET=1 WEB_UPGRADE=unset"), std::string::npos) << result;
    EXPECT_NE(result.find("fd60-closed"), std::string::npos) << result;
    std::string pid = "pid=" + std::to_string(child) + " sid=" + std::to_string(child);
    EXPECT_NE(result.find(pid), std::string::npos) << result;
}

TEST(LinuxSystemControl, AProgramThatCannotRunEndsTheChildWithStatusTwo) {
    TempDir dir;
    pid_t child = 0;
    EXPECT_EQ(platform::spawnDetached(dir / "missing", {"reboot"}, &child), 0);
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 2);
}

} // namespace
