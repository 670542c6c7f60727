// The portable-media file work: uevent parsing, the destination name, "/proc/mounts", log time
// stamps, the purge, the board's installer run without a shell, and the worker's commands with their
// replies over real pipes against the sandbox's simulated drives.

#include "periph/flash_files.h"
#include "periph/flash_worker.h"
#include "platform/linux_media.h"
#include "platform/sim_media.h"
#include "tests/support/process.h"
#include "tests/support/temp_dir.h"
#include "tests/support/test_board.h"
#include "tests/support/time_zone_guard.h"

#include <fcntl.h>
#include <filesystem>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

const std::string kDiskPath =
    "/devices/platform/ahb/1c14000.usb/usb1/1-1/1-1:1.0/host0/target0:0:0/0:0:0:0/block/";

TEST(FlashFiles, OnlyWholeDiskUeventsOfTheUsbHostCount) {
    bool add = false;
    std::string disk;
    ASSERT_TRUE(parseDiskUevent("add@" + kDiskPath + "sda", add, disk));
    EXPECT_TRUE(add);
    EXPECT_EQ(disk, "sda");
    ASSERT_TRUE(
        parseDiskUevent("remove@" + kDiskPath + "sdb" + std::string(1, '\0') + "ACTION=remove", add, disk));
    EXPECT_FALSE(add);
    EXPECT_EQ(disk, "sdb");
    // A partition: 14 parts.
    EXPECT_FALSE(parseDiskUevent("add@" + kDiskPath + "sda/sda1", add, disk));
    EXPECT_FALSE(parseDiskUevent("change@" + kDiskPath + "sda", add, disk));
    EXPECT_FALSE(parseDiskUevent("add@/devices/virtual/block/loop0", add, disk));
    EXPECT_FALSE(parseDiskUevent("add@" + kDiskPath + "sd", add, disk));
    EXPECT_FALSE(parseDiskUevent("add@" + kDiskPath + "mmcblk0", add, disk));
    // Disk names as the kernel makes them, no other bytes and no longer.
    ASSERT_TRUE(parseDiskUevent("add@" + kDiskPath + "sdzz", add, disk));
    EXPECT_EQ(disk, "sdzz");
    EXPECT_FALSE(parseDiskUevent("add@" + kDiskPath + "sd\x1b[2J", add, disk));
    EXPECT_FALSE(parseDiskUevent("add@" + kDiskPath + "sdA", add, disk));
    EXPECT_FALSE(parseDiskUevent("add@" + kDiskPath + "sdaaaaa", add, disk));
    EXPECT_FALSE(parseDiskUevent("remove@" + kDiskPath + "sd" + std::string(2000, 'a'), add, disk));
}

TEST(FlashFiles, DrivePathsResolveWithinADriveOnly) {
    std::string resolved;
    ASSERT_TRUE(drivePath("/run/media/sda1", resolved));
    EXPECT_EQ(resolved, "/run/media/sda1");
    ASSERT_TRUE(drivePath("/run/media/STICK 2//saved/./x/../config.xml", resolved));
    EXPECT_EQ(resolved, "/run/media/STICK 2/saved/config.xml");
    ASSERT_TRUE(drivePath("/run/media/sda1/saved/..", resolved));
    EXPECT_EQ(resolved, "/run/media/sda1");
    for (const char* off : {"/run/media/sda1/..", "/run/media/sda1/../../../etc", "/run/media",
                            "/etc/velkord", "/../run/media/sda1/../../../../tmp", "run/media/sda1", "", "/",
                            "/run/media/sda1/../sda1/../../media/../../etc", "/run/mediax/sda1"})
        EXPECT_FALSE(drivePath(off, resolved)) << off;
    EXPECT_FALSE(drivePath("/run/media/sda1/x" + std::string(1, '\0') + "/y", resolved));
}

TEST(FlashFiles, DestinationNameStaysOneSafeDirectory) {
    EXPECT_EQ(safeDirectoryName("Скв. 1042", "A17"), "Скв. 1042-A17");
    EXPECT_EQ(safeDirectoryName("../../etc", "1"), "_.._etc-1");
    EXPECT_EQ(safeDirectoryName("..", "1"), "well-1");
    EXPECT_EQ(safeDirectoryName("", ""), "well");
    EXPECT_EQ(safeDirectoryName("a/b\\c:d*e?f\"g<h>i|j", "s"), "a_b_c_d_e_f_g_h_i_j-s");
    EXPECT_EQ(safeDirectoryName(std::string("x\ny\tz\x7f", 6), "s"), "x_y_z_-s");
    EXPECT_EQ(safeDirectoryName(" .hidden. ", "../x"), "hidden-_x");
    std::string longName;
    for (int i = 0; i < 300; ++i)
        longName += "ж";
    std::string name = safeDirectoryName(longName, "s");
    EXPECT_LE(name.size(), kMaxDirectoryNameBytes + 2);
    EXPECT_EQ(name.substr(name.size() - 2), "-s");
    // Cut on a character's boundary.
    EXPECT_EQ((name.size() - 2) % 2, 0u);
    for (const std::string hostile : {"/", "a/../../b", "$(reboot)", "x;rm -rf /", ". ."}) {
        std::string safe = safeDirectoryName(hostile, "1");
        EXPECT_EQ(safe.find('/'), std::string::npos) << hostile;
        EXPECT_NE(safe, "..");
        EXPECT_FALSE(safe.empty());
    }
}

TEST(FlashFiles, MountPointsUnderRunMediaWithEscapesUndone) {
    std::string mounts = "/dev/root / ext4 rw 0 0\n"
                         "/dev/sda1 /run/media/sda1 vfat rw 0 0\n"
                         "/dev/sdb1 /run/media/x;rm\\040-rf\\040/ vfat rw 0 0\n"
                         "/dev/sdc1 /run/media/short vfat\n"
                         "/dev/sdd1 /mnt/run/media/x vfat rw 0 0\n";
    std::vector<std::string> points = mediaMountPoints(mounts);
    ASSERT_EQ(points.size(), 2u);
    EXPECT_EQ(points[0], "/run/media/sda1");
    EXPECT_EQ(points[1], "/run/media/x;rm -rf /");
    EXPECT_EQ(platform::escapeMountField("/run/media/a b\\c"), "/run/media/a\\040b\\134c");
}

TEST(FlashFiles, LogLineStampsTakeTheYearOfTheFile) {
    TimeZoneGuard zone;
    setenv("TZ", "UTC0", 1);
    tzset();
    tm fileTime{};
    fileTime.tm_year = 2026 - 1900;
    fileTime.tm_mon = 0;
    fileTime.tm_mday = 5;
    time_t modified = timegm(&fileTime);
    time_t when = 0;
    ASSERT_TRUE(logLineTime("Jan  3 10:20:30 velkord[1]: x", modified, when));
    tm stamp{};
    gmtime_r(&when, &stamp);
    EXPECT_EQ(stamp.tm_year, 2026 - 1900);
    EXPECT_EQ(stamp.tm_mday, 3);
    EXPECT_EQ(stamp.tm_hour, 10);
    // December in a file last written in January: the year before.
    ASSERT_TRUE(logLineTime("Dec 31 23:59:59 x", modified, when));
    gmtime_r(&when, &stamp);
    EXPECT_EQ(stamp.tm_year, 2025 - 1900);
    EXPECT_FALSE(logLineTime("velkord started", modified, when));
    EXPECT_FALSE(logLineTime("Foo  3 10:20:30 x", modified, when));
}

// The count kept is a parameter here; the daemon's own figures are tested through its hourly timer.
TEST(FlashFiles, PurgeKeepsTheNewestByModificationTime) {
    constexpr int kPurgeWaitMs = 10000;
    TempDir spool;
    constexpr int kFiles = 150;
    constexpr size_t kKept = 100;
    const time_t base = 1700000000;
    for (int i = 0; i < kFiles; ++i) {
        // Names in the opposite order of age, so that name order would pick the wrong ones.
        char name[64];
        std::snprintf(name, sizeof name, "telm_%03d.bin", kFiles - i);
        std::string file = spool / name;
        int fd = ::open(file.c_str(), O_WRONLY | O_CREAT, 0644);
        ASSERT_GE(fd, 0);
        ::close(fd);
        timespec times[2] = {{base + i, 0}, {base + i, 0}};
        ASSERT_EQ(::utimensat(AT_FDCWD, file.c_str(), times, 0), 0);
    }
    writeFile(spool / "other.bin", "x");
    writeFile(spool / "telm_notes.txt", "x");
    pid_t child = 0;
    ASSERT_EQ(startDynamogramPurge(spool.path(), kKept, child), 0);
    ASSERT_EQ(waitForChild(child, kPurgeWaitMs), 0);
    // The 50 oldest (the highest numbers) are gone, the rest and the other files stay.
    EXPECT_FALSE(fileExists(spool / "telm_150.bin"));
    EXPECT_FALSE(fileExists(spool / "telm_101.bin"));
    EXPECT_TRUE(fileExists(spool / "telm_100.bin"));
    EXPECT_TRUE(fileExists(spool / "telm_001.bin"));
    EXPECT_TRUE(fileExists(spool / "other.bin"));
    EXPECT_TRUE(fileExists(spool / "telm_notes.txt"));
    // A directory that is not there ends the shell before its "rm".
    ASSERT_EQ(startDynamogramPurge(spool / "missing", 0, child), 0);
    EXPECT_GT(waitForChild(child, kPurgeWaitMs), 0);
}

// More names than one command line can carry: the names reach "rm" through a pipe, so such a spool is
// purged like any other.
TEST(FlashFiles, PurgeOfMoreNamesThanACommandLineHolds) {
    constexpr int kPurgeWaitMs = 30000;
    constexpr size_t kKept = 10;
    constexpr size_t kNameBytes = 240;
    TempDir spool;
    const size_t files = static_cast<size_t>(::sysconf(_SC_ARG_MAX)) / kNameBytes + 100;
    const time_t base = 1700000000;
    for (size_t i = 0; i < files; ++i) {
        char number[32];
        std::snprintf(number, sizeof number, "%08zu", i);
        std::string file = spool / ("telm_" + std::string(kNameBytes - 17, 'x') + number + ".bin");
        int fd = ::open(file.c_str(), O_WRONLY | O_CREAT, 0644);
        ASSERT_GE(fd, 0);
        ::close(fd);
        timespec times[2] = {{base + static_cast<time_t>(i), 0}, {base + static_cast<time_t>(i), 0}};
        ASSERT_EQ(::utimensat(AT_FDCWD, file.c_str(), times, 0), 0);
    }
    pid_t child = 0;
    ASSERT_EQ(startDynamogramPurge(spool.path(), kKept, child), 0);
    ASSERT_EQ(waitForChild(child, kPurgeWaitMs), 0);
    size_t left = 0;
    bool newestKept = false;
    char newest[32];
    std::snprintf(newest, sizeof newest, "%08zu.bin", files - 1);
    for (const auto& entry : std::filesystem::directory_iterator(spool.path())) {
        ++left;
        newestKept |= entry.path().filename().string().find(newest) != std::string::npos;
    }
    EXPECT_EQ(left, kKept);
    EXPECT_TRUE(newestKept);
}

// The board's installer is run directly: a label full of shell syntax reaches it as one argument each
// and nothing in it is executed. The installer here is a stand-in script that records its arguments.
TEST(FlashFiles, TheBoardsMountTableIsReadAtFirstAndThenOnlyAfterAChange) {
    platform::LinuxMedia media;
    EXPECT_TRUE(media.mountTableChanged());
    // Nothing here mounts anything on the host: the table holds still between two looks.
    EXPECT_FALSE(media.mountTableChanged());
}

TEST(FlashFiles, BoardInstallerRunsWithoutAShell) {
    TempDir dir;
    std::string fake = dir / "opkg";
    writeFile(fake,
              "#!/bin/sh\nfor a in \"$@\"; do printf '%s\\n' \"$a\"; done > \"$(dirname \"$0\")/args\"\n"
              "echo \"upgrade=$WEB_UPGRADE\"\necho Installing velkord on root.\n");
    ASSERT_EQ(::chmod(fake.c_str(), 0755), 0);
    std::string pwned = dir / "PWNED";
    std::vector<std::string> packages = {"/run/media/$(touch " + pwned + ")/a.ipk",
                                         "/run/media/x;touch " + pwned + "/b.ipk",
                                         "/run/media/`touch " + pwned + "`/c.ipk"};
    platform::LinuxMedia media(fake);
    int error = 0;
    platform::InstallerRun run = media.startInstaller(packages, error);
    ASSERT_TRUE(run.output.valid()) << strerror(error);
    ASSERT_GT(run.pid, 0);
    std::string output;
    for (;;) {
        pollfd entry{run.output.get(), POLLIN, 0};
        ASSERT_GT(::poll(&entry, 1, 5000), 0);
        char buffer[256];
        ssize_t length = ::read(run.output.get(), buffer, sizeof buffer);
        if (length <= 0)
            break;
        output.append(buffer, static_cast<size_t>(length));
    }
    int status = 0;
    ASSERT_EQ(::waitpid(run.pid, &status, 0), run.pid);
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(output, "upgrade=1\nInstalling velkord on root.\n");
    std::string expected = "install\n--force-downgrade\n--force-reinstall\n";
    for (const std::string& package : packages)
        expected += package + "\n";
    EXPECT_EQ(readFile(dir / "args"), expected);
    EXPECT_FALSE(fileExists(pwned));
}

// The worker on its own thread with both pipes, as the main thread sees it.
class FlashWorkerTest : public ::testing::Test {
protected:
    void SetUp() override {
        int command[2];
        int response[2];
        ASSERT_EQ(::pipe(command), 0);
        ASSERT_EQ(::pipe(response), 0);
        commandRead_.reset(command[0]);
        commandWrite_.reset(command[1]);
        responseRead_.reset(response[0]);
        responseWrite_.reset(response[1]);
        worker_ = std::make_unique<FlashWorker>(commandRead_.get(), responseWrite_.get(), media());
        thread_ = std::thread([this] { worker_->run(); });
    }
    void TearDown() override {
        if (stopped_)
            return;
        send("EXIT");
        thread_.join();
    }

    platform::SimMedia& media() { return board.platform().simMedia(); }

    void send(const std::string& text) {
        std::string line = text + "\n";
        ASSERT_EQ(::write(commandWrite_.get(), line.data(), line.size()), static_cast<ssize_t>(line.size()));
    }

    // Reply lines up to and including the next "OK" or "ERROR" line.
    std::vector<std::string> replies() {
        std::vector<std::string> lines;
        for (;;) {
            size_t end = buffer_.find('\n');
            if (end != std::string::npos) {
                std::string line = buffer_.substr(0, end);
                buffer_.erase(0, end + 1);
                lines.push_back(line);
                if (line == "OK" || line.compare(0, 6, "ERROR ") == 0)
                    return lines;
                continue;
            }
            pollfd entry{responseRead_.get(), POLLIN, 0};
            if (::poll(&entry, 1, 10000) <= 0) {
                ADD_FAILURE() << "no reply";
                return lines;
            }
            char chunk[256];
            ssize_t length = ::read(responseRead_.get(), chunk, sizeof chunk);
            if (length <= 0)
                return lines;
            buffer_.append(chunk, static_cast<size_t>(length));
        }
    }
    std::vector<std::string> command(const std::string& text) {
        send(text);
        return replies();
    }
    std::string path(const std::string& boardPath) { return board.path(boardPath); }
    void makeDynamograms(int count, size_t bytes) {
        ::mkdir(path("/var/spool").c_str(), 0755);
        for (int i = 0; i < count; ++i) {
            char name[64];
            std::snprintf(name, sizeof name, "/var/spool/telm_2026120%d_%04d.bin", 1 + i % 5, i);
            writeFile(path(name), std::string(bytes, static_cast<char>('a' + i % 26)));
        }
    }

    TestBoard board;
    bool stopped_ = false;

private:
    platform::UniqueFd commandRead_, commandWrite_, responseRead_, responseWrite_;
    std::unique_ptr<FlashWorker> worker_;
    std::thread thread_;
    std::string buffer_;
};

using Lines = std::vector<std::string>;

TEST_F(FlashWorkerTest, UnknownCommandsAndMissingDrivesAreAnsweredWithErrors) {
    EXPECT_EQ(command("FORMAT sda"), Lines({"ERROR FORMAT sda:\rнеизвестная команда"}));
    EXPECT_EQ(board.logLinesWith(LOG_ERR, "Flash::thread(): unknown command 'FORMAT sda'").size(), 1u);
    // The command word is matched whole, not as a prefix.
    EXPECT_EQ(command("MOUNTALL"), Lines({"ERROR MOUNTALL:\rнеизвестная команда"}));
    Lines mount = command("MOUNT");
    ASSERT_EQ(mount.size(), 1u);
    EXPECT_EQ(mount[0].rfind("ERROR Файловые системы не найдены:\r", 0), 0u);
    EXPECT_EQ(command("SAVECONFIG well")[0].rfind("ERROR Файловые системы не найдены:", 0), 0u);
    EXPECT_EQ(command("UMOUNT"), Lines({"OK"}));
    EXPECT_EQ(command("READDIR /run/media/nothing"),
              Lines({"ERROR Не могу открыть каталог:\rNo such file or directory"}));
    ::rmdir(path("/var/spool").c_str());
    EXPECT_EQ(command("DYNOLIST"), Lines({"ERROR Не могу открыть /var/spool\rNo such file or directory"}));
    EXPECT_EQ(board.logLinesWith(LOG_ERR, "cannot open '/var/spool'").size(), 1u);
    EXPECT_EQ(command("RESTORECONFIG /run/media/sda1/none.xml"),
              Lines({"ERROR не могу открыть /run/media/sda1/none.xml:\rNo such file or directory"}));
    // A stray cancel (its copy had ended) is no command to answer: the next reply is the next command's.
    send("CANCEL");
    EXPECT_EQ(command("UMOUNT"), Lines({"OK"}));
}

TEST_F(FlashWorkerTest, MountsTheFirstPartitionAndUnmountsEveryDrive) {
    media().plug("sda");
    media().plug("sdb");
    media().mountTableChanged();
    EXPECT_FALSE(media().mountTableChanged());
    EXPECT_EQ(command("MOUNT"), Lines({"PROGRESS /run/media/sda1", "OK"}));
    EXPECT_TRUE(media().mountTableChanged());
    EXPECT_FALSE(media().mountTableChanged());
    EXPECT_NE(readFile(path("/proc/mounts")).find("/dev/sda1 /run/media/sda1 vfat"), std::string::npos);
    // Mounted already: the same mount point again.
    EXPECT_EQ(command("MOUNT"), Lines({"PROGRESS /run/media/sda1", "OK"}));
    ASSERT_EQ(media().automount("sdb", "STICK 2"), 0);
    EXPECT_EQ(media().mountPoints().size(), 2u);
    media().setUnmountFails(true);
    Lines failed = command("UMOUNT");
    ASSERT_EQ(failed.size(), 1u);
    EXPECT_EQ(failed[0], "ERROR Ошибка размонтирования:\rDevice or resource busy");
    EXPECT_EQ(board.logLinesWith(LOG_ERR, "Ошибка размонтирования /run/media/sda1").size(), 1u);
    media().setUnmountFails(false);
    EXPECT_EQ(command("UMOUNT"), Lines({"OK"}));
    EXPECT_TRUE(media().mountTableChanged());
    EXPECT_TRUE(media().mountPoints().empty());
    EXPECT_EQ(readFile(path("/proc/mounts")).find("/run/media"), std::string::npos);
}

TEST_F(FlashWorkerTest, SavesTheConfigurationAndReportsWhatFails) {
    writeFile(path("/etc/velkord"), "<config><well/></config>\n");
    std::string store = media().plug("sda");
    EXPECT_EQ(command("SAVECONFIG Скв 7-A1"), Lines({"OK"}));
    EXPECT_EQ(readFile(store + "/Скв 7-A1/config.xml"), "<config><well/></config>\n");
    EXPECT_TRUE(media().mountPoints().empty());
    // A directory whose parent is missing cannot be made.
    Lines noDirectory = command("SAVECONFIG a/b");
    EXPECT_EQ(noDirectory, Lines({"ERROR не могу создать каталог:\rNo such file or directory"}));
    EXPECT_EQ(board.logLinesWith(LOG_ERR, "не могу создать каталог '/run/media/sda1/a/b'").size(), 1u);
    // A file in the way of the directory: config.xml cannot be created in it.
    writeFile(store + "/plain", "x");
    EXPECT_EQ(command("SAVECONFIG plain"), Lines({"ERROR не могу создать файл:\rNot a directory"}));
    ::unlink(path("/etc/velkord").c_str());
    EXPECT_EQ(command("SAVECONFIG well"),
              Lines({"ERROR не могу прочитать config.xml:\rNo such file or directory"}));
    // The unmount failing after a good copy is the error reported.
    writeFile(path("/etc/velkord"), "<config/>");
    media().setUnmountFails(true);
    EXPECT_EQ(command("SAVECONFIG well"), Lines({"ERROR Ошибка размонтирования:\rDevice or resource busy"}));
    media().setUnmountFails(false);
    EXPECT_EQ(command("UMOUNT"), Lines({"OK"}));
}

TEST_F(FlashWorkerTest, CopiesDynamogramsSinceATimeWithProgress) {
    makeDynamograms(4, 100);
    writeFile(path("/var/spool/notes.txt"), "x");
    // One of them older than the start time.
    timespec old[2] = {{1000, 0}, {1000, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, path("/var/spool/telm_20261201_0000.bin").c_str(), old, 0), 0);
    std::string store = media().plug("sda");
    ASSERT_EQ(command("MOUNT").back(), "OK");
    send("DGPREFIX /run/media/sda1/well-1");
    EXPECT_EQ(command("COPYDG 2000"),
              Lines({"PROGRESS 33% (1 из 3)", "PROGRESS 66% (2 из 3)", "PROGRESS 100% (3 из 3)", "OK"}));
    EXPECT_FALSE(fileExists(store + "/well-1/telm_20261201_0000.bin"));
    EXPECT_EQ(readFile(store + "/well-1/telm_20261202_0001.bin"), std::string(100, 'b'));
    EXPECT_FALSE(fileExists(store + "/well-1/notes.txt"));

    ::rmdir(path("/var/spool").c_str());
    EXPECT_EQ(command("DYNOLIST"),
              Lines({"PROGRESS telm_20261201_0000.bin", "PROGRESS telm_20261202_0001.bin",
                     "PROGRESS telm_20261203_0002.bin", "PROGRESS telm_20261204_0003.bin", "OK"}));
    send("DGPREFIX /run/media/sda1/one");
    EXPECT_EQ(command("DYNOCOPY telm_20261201_0000.bin"), Lines({"OK"}));
    EXPECT_EQ(readFile(store + "/one/telm_20261201_0000.bin"), std::string(100, 'a'));
    EXPECT_EQ(command("DYNOCOPY ../../etc/velkord"),
              Lines({"ERROR Не могу открыть файл:\r../../etc/velkord"}));
    send("DGPREFIX /run/media/sda1/missing/deeper");
    EXPECT_EQ(command("COPYDG 0"), Lines({"ERROR Не могу создать каталог:\rNo such file or directory"}));
    EXPECT_EQ(command("UMOUNT"), Lines({"OK"}));
}

TEST_F(FlashWorkerTest, CancelStopsACopyAfterTheCurrentBlockAndTheUnmountStillRuns) {
    makeDynamograms(6, 5 * FlashWorker::kCopyBlockBytes);
    std::string store = media().plug("sda");
    ASSERT_EQ(command("MOUNT").back(), "OK");
    send("DGPREFIX /run/media/sda1/well");
    // The cancel is waiting before the copy starts: the first block is copied, then it stops.
    send("COPYDG 0\nCANCEL\nUMOUNT");
    EXPECT_EQ(replies(), Lines({"PROGRESS Копирование прервано", "OK"}));
    EXPECT_EQ(replies(), Lines({"OK"}));
    EXPECT_TRUE(media().mountPoints().empty());
    struct stat status {};
    ASSERT_EQ(::stat((store + "/well/telm_20261201_0000.bin").c_str(), &status), 0);
    EXPECT_EQ(static_cast<size_t>(status.st_size), FlashWorker::kCopyBlockBytes);
    EXPECT_FALSE(fileExists(store + "/well/telm_20261202_0001.bin"));
}

TEST_F(FlashWorkerTest, ExitEndsACopyInProgress) {
    makeDynamograms(1, 1000);
    // Sparse: long to copy, nothing written to make it.
    ASSERT_EQ(::truncate(path("/var/spool/telm_20261201_0000.bin").c_str(), 1024L * 1024 * 1024), 0);
    std::string store = media().plug("sda");
    ASSERT_EQ(command("MOUNT").back(), "OK");
    send("DGPREFIX /run/media/sda1/well");
    send("COPYDG 0\nEXIT");
    // The thread ends (TearDown's join) with the copy cut short.
    TearDown();
    stopped_ = true;
    struct stat status {};
    ASSERT_EQ(::stat((store + "/well/telm_20261201_0000.bin").c_str(), &status), 0);
    EXPECT_LT(status.st_size, 1024L * 1024 * 1024);
}

TEST_F(FlashWorkerTest, CopiesLogLinesByDateRange) {
    TimeZoneGuard zone;
    setenv("TZ", "UTC0", 1);
    tzset();
    ::mkdir(path("/var/log").c_str(), 0755);
    writeFile(path("/var/log/messages.1"),
              "Dec  1 10:00:00 velkord[1]: old\nDec  3 08:00:00 velkord[1]: in range\n");
    writeFile(path("/var/log/messages"),
              "Dec  4 12:00:00 velkord[1]: also\nDec  6 00:00:01 velkord[1]: after\n");
    writeFile(path("/var/log/events"), "Dec  2 00:00:00 pump started\nDec  5 00:00:00 later\n");
    tm december{};
    december.tm_year = 2026 - 1900;
    december.tm_mon = 11;
    december.tm_mday = 7;
    time_t modified = timegm(&december);
    timespec times[2] = {{modified, 0}, {modified, 0}};
    for (const char* file : {"/var/log/messages.1", "/var/log/messages", "/var/log/events"})
        ASSERT_EQ(::utimensat(AT_FDCWD, path(file).c_str(), times, 0), 0);
    december.tm_mday = 2;
    time_t from = timegm(&december);
    december.tm_mday = 5;
    time_t to = timegm(&december) + 86399;
    std::string store = media().plug("sda");
    ASSERT_EQ(command("MOUNT").back(), "OK");
    std::string range = std::to_string(from) + " " + std::to_string(to) + " /run/media/sda1/my well";
    Lines system = command("COPYLOGBYDATES " + range);
    EXPECT_EQ(system.back(), "OK");
    EXPECT_EQ(system[system.size() - 2], "PROGRESS Прочитано: 4 Записано: 2");
    EXPECT_EQ(readFile(store + "/my well/messages.log"),
              "Dec  3 08:00:00 velkord[1]: in range\nDec  4 12:00:00 velkord[1]: also\n");
    EXPECT_EQ(command("COPYELOGBYDATES " + range).back(), "OK");
    EXPECT_EQ(readFile(store + "/my well/events.log"),
              "Dec  2 00:00:00 pump started\nDec  5 00:00:00 later\n");
    // The whole-log copy since a time takes every file modified since then.
    send("DGPREFIX /run/media/sda1/all");
    Lines all = command("COPYLOG " + std::to_string(from));
    EXPECT_EQ(all, Lines({"PROGRESS /var/log/messages.1", "PROGRESS /var/log/messages", "OK"}));
    EXPECT_EQ(readFile(store + "/all/messages.log").size(),
              readFile(path("/var/log/messages.1")).size() + readFile(path("/var/log/messages")).size());
    EXPECT_EQ(command("UMOUNT"), Lines({"OK"}));
}

TEST_F(FlashWorkerTest, ReadsFoldersAndCopiesARestoredFileWithoutFollowingLinks) {
    std::string store = media().plug("sda");
    ::mkdir((store + "/saved").c_str(), 0755);
    writeFile(store + "/saved/config.xml", "<config/>");
    writeFile(store + "/readme.txt", "x");
    ASSERT_EQ(command("MOUNT").back(), "OK");
    EXPECT_EQ(command("READDIR /run/media/sda1"),
              Lines({"PROGRESS D..", "PROGRESS Dsaved", "PROGRESS Freadme.txt", "OK"}));
    // A link planted where the temporary file goes is replaced, not written through.
    writeFile(path("/etc/victim"), "keep");
    ASSERT_EQ(::symlink(path("/etc/victim").c_str(), path("/etc/velkord.tmp").c_str()), 0);
    EXPECT_EQ(command("RESTORECONFIG /run/media/sda1/saved/config.xml"), Lines({"OK"}));
    EXPECT_EQ(readFile(path("/etc/velkord.tmp")), "<config/>");
    EXPECT_EQ(readFile(path("/etc/victim")), "keep");
    EXPECT_EQ(command("UMOUNT"), Lines({"OK"}));
}

TEST_F(FlashWorkerTest, CommandPathsOffTheDriveAreRefused) {
    writeFile(path("/etc/velkord"), "<config/>");
    writeFile(path("/var/log/messages"), "Dec  1 10:00:00 board velkord: up\n");
    std::string store = media().plug("sda");
    ::mkdir((store + "/saved").c_str(), 0755);
    ASSERT_EQ(command("MOUNT").back(), "OK");
    const std::string refused = "Permission denied";
    EXPECT_EQ(command("READDIR /run/media/sda1/../../../etc"),
              Lines({"ERROR Не могу открыть каталог:\r" + refused}));
    EXPECT_EQ(command("READDIR /etc"), Lines({"ERROR Не могу открыть каталог:\r" + refused}));
    EXPECT_EQ(board.logLinesWith(LOG_ERR, "path off the drive refused: '/etc'").size(), 1u);
    EXPECT_EQ(command("READDIR /run/media/sda1/saved/.."), Lines({"PROGRESS D..", "PROGRESS Dsaved", "OK"}));
    EXPECT_EQ(command("RESTORECONFIG /run/media/sda1/../../../etc/velkord"),
              Lines({"ERROR не могу открыть /run/media/sda1/../../../etc/velkord:\r" + refused}));
    EXPECT_FALSE(fileExists(path("/etc/velkord.tmp")));
    // No prefix yet, then one above the drive: nothing is written in the board's own directories.
    EXPECT_EQ(command("COPYLOG 0"), Lines({"ERROR Не могу открыть /messages.log:\r" + refused}));
    send("DGPREFIX /run/media/sda1/../../../var");
    EXPECT_EQ(command("COPYLOG 0"),
              Lines({"ERROR Не могу открыть /run/media/sda1/../../../var/messages.log:\r" + refused}));
    EXPECT_EQ(command("COPYDG 0"), Lines({"ERROR Не могу создать каталог:\r" + refused}));
    EXPECT_EQ(command("DYNOCOPY telm_1.bin"), Lines({"ERROR Не могу создать каталог:\r" + refused}));
    EXPECT_EQ(command("COPYLOGBYDATES 0 1 /run/media/sda1/../../../tmp"),
              Lines({"ERROR Не могу создать каталог:\r" + refused}));
    EXPECT_FALSE(fileExists(path("/var/messages.log")));
    EXPECT_FALSE(fileExists(path("/messages.log")));
    EXPECT_FALSE(fileExists(path("/tmp/messages.log")));
    // The configuration goes below the drive just mounted, never above it.
    EXPECT_EQ(command("SAVECONFIG ../../../etc"), Lines({"ERROR не могу создать каталог:\r" + refused}));
    EXPECT_FALSE(fileExists(path("/etc/config.xml")));
    EXPECT_TRUE(media().mountPoints().empty());
    EXPECT_EQ(command("SAVECONFIG saved/../kept"), Lines({"OK"}));
    EXPECT_EQ(readFile(store + "/kept/config.xml"), "<config/>");
}

} // namespace
