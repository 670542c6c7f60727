// The oil thermometer: the worker thread reading the sandbox's 1-wire files, the exchange files in
// /tmp, and the main thread's verdicts on the virtual clock.

#include "config/config.h"
#include "core/epoller.h"
#include "core/registry.h"
#include "core/timer_queue.h"
#include "drive/oil_temperature_input.h"
#include "periph/ds1820.h"
#include "periph/exchange_file.h"
#include "periph/w1_slave.h"
#include "tests/support/event_pump.h"
#include "tests/support/test_board.h"

#include <chrono>
#include <cstdio>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <memory>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

const char kBoardSensor[] = "10-000801b5a7a1";
const char kOilSensor[] = "10-000802d45e6f";
const char kOilSensorFile[] = "/sys/bus/w1/devices/10-000802d45e6f/w1_slave\n";

std::string w1Text(long milli, bool crcGood) {
    char text[128];
    std::snprintf(text, sizeof text,
                  "50 05 4b 46 7f ff 0c 10 1c : crc=1c %s\n50 05 4b 46 7f ff 0c 10 1c t=%ld\n",
                  crcGood ? "YES" : "NO", milli);
    return text;
}

// The drive as the thermometer sees it: readings and verdicts with their moments.
class RecordingDrive : public OilTemperatureInput {
public:
    void onOilTemperature(float celsius) override {
        readings.push_back(celsius);
        lastReadingMs = platform::monotonicMs();
    }
    void setTemperatureSensorState(bool isGood) override {
        good = isGood;
        verdicts.push_back({isGood, platform::monotonicMs()});
    }
    bool temperatureSensorGood() const override { return good; }

    struct Verdict {
        bool good;
        uint32_t atMs;
    };
    bool good = false;
    std::vector<float> readings;
    uint32_t lastReadingMs = 0;
    std::vector<Verdict> verdicts;
};

class ThermometerTest : public ::testing::Test {
protected:
    ThermometerTest() {
        EXPECT_TRUE(EPoller::init());
        gTimers = &timers;
        config = std::make_unique<Config>(board.path("/etc/velkord"), board.path("/etc/velkord_perf"));
        config->thermSensorId = kBoardSensor;
        for (const char* directory : {"/tmp", "/sys", "/sys/bus", "/sys/bus/w1", "/sys/bus/w1/devices",
                                      "/sys/devices", "/sys/devices/w1_bus_master1"})
            ::mkdir(board.path(directory).c_str(), 0755);
        link("../../../devices/w1_bus_master1", "/sys/bus/w1/devices/w1_bus_master1");
    }
    ~ThermometerTest() override {
        thermometer.reset();
        gTimers = nullptr;
        EPoller::shutdown();
    }

    void link(const std::string& target, const std::string& at) {
        ASSERT_EQ(::symlink(target.c_str(), board.path(at).c_str()), 0) << at;
    }
    // A sensor on the bus as the kernel shows it: its directory, its data file, its link.
    void addSensor(const std::string& id, const std::string& text) {
        ::mkdir(board.path("/sys/devices/w1_bus_master1/" + id).c_str(), 0755);
        setReading(id, text);
        link("../../../devices/w1_bus_master1/" + id, "/sys/bus/w1/devices/" + id);
    }
    void setReading(const std::string& id, const std::string& text) {
        std::string path = board.path("/sys/devices/w1_bus_master1/" + id + "/w1_slave");
        writeFile(path + ".new", text);
        ASSERT_EQ(::rename((path + ".new").c_str(), path.c_str()), 0);
    }
    void start() { thermometer = std::make_unique<DS1820>(&drive, *config); }
    std::string file(const std::string& at) { return readFile(board.path(at)); }
    // Lets virtual time run in small steps until the worker has written `expected`; false when it did
    // not within three seconds of real time.
    bool workerWrites(const std::string& expected) {
        auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(3);
        while (file("/tmp/w1_result") != expected + "\n") {
            if (std::chrono::steady_clock::now() > deadline)
                return false;
            runLoopFor(board, 10);
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        return true;
    }
    // Runs to the moment `ms` after `fromMs` on the monotonic clock.
    void runUntil(uint32_t fromMs, uint32_t ms) {
        uint32_t elapsed = platform::monotonicMs() - fromMs;
        if (elapsed < ms)
            runLoopFor(board, ms - elapsed);
    }
    size_t failures() const {
        size_t count = 0;
        for (const auto& verdict : drive.verdicts)
            count += !verdict.good;
        return count;
    }

    TestBoard board;
    TimerQueue timers;
    std::unique_ptr<Config> config;
    RecordingDrive drive;
    std::unique_ptr<DS1820> thermometer;
};

TEST_F(ThermometerTest, TheOilSensorIsTheLinkedTenFamilySensorThatIsNotTheBoardOne) {
    addSensor(kBoardSensor, w1Text(36500, true));
    addSensor(kOilSensor, w1Text(23125, true));
    addSensor("28-0000000000aa", w1Text(10000, true));
    // A directory of that family that is no link of the bus.
    ::mkdir(board.path("/sys/bus/w1/devices/10-000000000001").c_str(), 0755);
    start();
    EXPECT_EQ(file("/tmp/w1_sensor"), kOilSensorFile);
    ASSERT_TRUE(workerWrites("23.125"));
    // The main thread's step takes it within a step or two, depending on where the worker's write fell.
    runLoopFor(board, 2 * DS1820::kPollMs);
    ASSERT_FALSE(drive.readings.empty());
    EXPECT_EQ(drive.readings.back(), 23.125f);
    EXPECT_TRUE(drive.good);

    // The board's sensor named otherwise (the panel's thermometer search) is heeded at the next step.
    config->thermSensorId = kOilSensor;
    runLoopFor(board, DS1820::kPollMs);
    EXPECT_EQ(file("/tmp/w1_sensor"), std::string("/sys/bus/w1/devices/") + kBoardSensor + "/w1_slave\n");
    EXPECT_TRUE(workerWrites("36.5"));
}

TEST_F(ThermometerTest, WithoutASensorTheNameIsEmptyAndTheResultAnError) {
    addSensor(kBoardSensor, w1Text(36500, true));
    start();
    EXPECT_EQ(file("/tmp/w1_sensor"), "\n");
    EXPECT_TRUE(workerWrites("error"));
    runLoopFor(board, 5 * DS1820::kPollMs);
    EXPECT_TRUE(drive.readings.empty());
    EXPECT_TRUE(drive.verdicts.empty());
}

TEST_F(ThermometerTest, ABusThatCannotBeListedNamesNoSensor) {
    ASSERT_EQ(::unlink(board.path("/sys/bus/w1/devices/w1_bus_master1").c_str()), 0);
    ASSERT_EQ(::rmdir(board.path("/sys/bus/w1/devices").c_str()), 0);
    start();
    EXPECT_FALSE(fileExists(board.path("/tmp/w1_sensor")));
    EXPECT_TRUE(workerWrites("error"));
}

TEST_F(ThermometerTest, SensorsThatComeAndGoAndABusThatReturnsAreFollowed) {
    // A poll fires a millisecond after its period.
    constexpr uint32_t kOnePoll = DS1820::kPollMs + 1;
    start();
    EXPECT_EQ(file("/tmp/w1_sensor"), "\n");
    addSensor(kOilSensor, w1Text(23125, true));
    runLoopFor(board, kOnePoll);
    EXPECT_EQ(file("/tmp/w1_sensor"), kOilSensorFile);

    // The bus gone: the last name stands; the bus back with another sensor: that one is named.
    for (const char* link : {"/sys/bus/w1/devices/w1_bus_master1", "/sys/bus/w1/devices/10-000802d45e6f"})
        ASSERT_EQ(::unlink(board.path(link).c_str()), 0);
    ASSERT_EQ(::rmdir(board.path("/sys/bus/w1/devices").c_str()), 0);
    runLoopFor(board, kOnePoll);
    EXPECT_EQ(file("/tmp/w1_sensor"), kOilSensorFile);
    ASSERT_EQ(::mkdir(board.path("/sys/bus/w1/devices").c_str(), 0755), 0);
    addSensor("10-000000000002", w1Text(30000, true));
    runLoopFor(board, kOnePoll);
    EXPECT_EQ(file("/tmp/w1_sensor"), "/sys/bus/w1/devices/10-000000000002/w1_slave\n");
}

TEST_F(ThermometerTest, AReadingThatFailsItsCrcIsAnError) {
    addSensor(kOilSensor, w1Text(23125, false));
    start();
    EXPECT_TRUE(workerWrites("error"));
    runLoopFor(board, 3 * DS1820::kPollMs);
    EXPECT_TRUE(drive.readings.empty());
    setReading(kOilSensor, w1Text(-1250, true));
    EXPECT_TRUE(workerWrites("-1.25"));
}

TEST(W1Slave, MillidegreesAfterAConfirmedCrc) {
    float celsius = 0;
    ASSERT_TRUE(parseW1Slave(w1Text(23125, true), celsius));
    EXPECT_EQ(celsius, 23.125f);
    EXPECT_EQ(formatCelsius(celsius), "23.125");
    ASSERT_TRUE(parseW1Slave(w1Text(-10062, true), celsius));
    EXPECT_EQ(formatCelsius(celsius), "-10.062");
    ASSERT_TRUE(parseW1Slave(w1Text(85000, true), celsius));
    EXPECT_EQ(formatCelsius(celsius), "85");
    EXPECT_EQ(formatCelsius(123.456789f), "123.457");
}

TEST(W1Slave, NoValueWithoutYesAfterTheCrcOrWithoutATemperature) {
    float celsius = 0;
    EXPECT_FALSE(parseW1Slave(w1Text(23125, false), celsius));
    EXPECT_FALSE(parseW1Slave("YES 50 05 : crc=1c NO\n50 05 t=23125\n", celsius));
    EXPECT_FALSE(parseW1Slave("50 05 : crc=1c YES\n50 05 4b 46\n", celsius));
    EXPECT_FALSE(parseW1Slave("50 05 : crc=1c YES\n50 05 t=\n", celsius));
    EXPECT_FALSE(parseW1Slave("", celsius));
    EXPECT_FALSE(readW1Slave("/nonexistent/w1_slave", celsius));
}

TEST_F(ThermometerTest, ResultsAlternatingWithErrorsNeverFailTheSensor) {
    addSensor(kOilSensor, w1Text(40000, true));
    start();
    for (int round = 0; round < 30; ++round) {
        bool good = round % 2 == 0;
        setReading(kOilSensor, w1Text(40000 + round * 125, good));
        ASSERT_TRUE(workerWrites(good ? formatCelsius((40000 + round * 125) / 1000.0f) : "error")) << round;
        runLoopFor(board, 5 * DS1820::kPollMs);
    }
    EXPECT_EQ(failures(), 0u);
    EXPECT_TRUE(drive.good);
    EXPECT_EQ(drive.verdicts.size(), 1u);
    EXPECT_GE(drive.readings.size(), 15u * 5);
}

TEST_F(ThermometerTest, NinetyOneSecondsWithoutAGoodReadingFailTheSensor) {
    addSensor(kOilSensor, w1Text(30000, true));
    start();
    ASSERT_TRUE(workerWrites("30"));
    runLoopFor(board, 2 * DS1820::kPollMs);
    ASSERT_TRUE(drive.good);
    setReading(kOilSensor, w1Text(30000, false));
    ASSERT_TRUE(workerWrites("error"));
    // The last good reading the main thread took: the ride-through counts from there.
    size_t goodReadings = drive.readings.size();
    runLoopFor(board, 2 * DS1820::kPollMs);
    ASSERT_EQ(drive.readings.size(), goodReadings);
    uint32_t lastGoodMs = drive.lastReadingMs;
    runUntil(lastGoodMs, DS1820::kRideThroughMs - 500);
    EXPECT_EQ(failures(), 0u);
    runUntil(lastGoodMs, DS1820::kRideThroughMs + 1500);
    ASSERT_EQ(failures(), 1u);
    uint32_t silentMs = drive.verdicts.back().atMs - lastGoodMs;
    EXPECT_GT(silentMs, DS1820::kRideThroughMs);
    EXPECT_LE(silentMs, DS1820::kRideThroughMs + 2 * DS1820::kPollMs);
    runLoopFor(board, 30 * DS1820::kPollMs);
    EXPECT_EQ(failures(), 1u);

    // A good reading again: the sensor is good again.
    setReading(kOilSensor, w1Text(31000, true));
    ASSERT_TRUE(workerWrites("31"));
    runLoopFor(board, 2 * DS1820::kPollMs);
    EXPECT_TRUE(drive.good);
    EXPECT_EQ(drive.readings.back(), 31.0f);
}

TEST_F(ThermometerTest, TheWorkerStopsPromptlyAtShutdown) {
    // Waiting for a sensor (its idle second), and between readings of one.
    for (bool withSensor : {false, true}) {
        if (withSensor)
            addSensor(kOilSensor, w1Text(30000, true));
        start();
        ASSERT_TRUE(workerWrites(withSensor ? "30" : "error"));
        auto before = std::chrono::steady_clock::now();
        thermometer.reset();
        auto tookMs =
            std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - before)
                .count();
        EXPECT_LT(tookMs, 100) << (withSensor ? "with a sensor" : "without a sensor");
        // Nothing writes the result any more.
        ::unlink(board.path("/tmp/w1_result").c_str());
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        runLoopFor(board, 3 * DS1820::kPollMs);
        EXPECT_FALSE(fileExists(board.path("/tmp/w1_result")));
    }
}

TEST_F(ThermometerTest, APlantedLinkAtATemporaryNameIsNotFollowed) {
    writeFile(board.path("/etc/victim"), "precious\n");
    link("/etc/victim", "/tmp/w1_sensor.tmp");
    link(board.path("/etc/victim"), "/tmp/w1_result.tmp");
    // One at the final name is replaced, not written through.
    link(board.path("/etc/victim"), "/tmp/w1_result");
    addSensor(kOilSensor, w1Text(23125, true));
    start();
    EXPECT_EQ(file("/tmp/w1_sensor"), kOilSensorFile);
    ASSERT_TRUE(workerWrites("23.125"));
    EXPECT_EQ(file("/etc/victim"), "precious\n");
    struct stat status {};
    ASSERT_EQ(::lstat(board.path("/tmp/w1_result").c_str(), &status), 0);
    EXPECT_TRUE(S_ISREG(status.st_mode));
    EXPECT_FALSE(fileExists(board.path("/tmp/w1_sensor.tmp")));
}

TEST(ExchangeFile, ReadsNoLinkAndWaitsOnNoFifo) {
    TempDir dir;
    writeFile(dir / "target", "12.5\n");
    ASSERT_EQ(::symlink((dir / "target").c_str(), (dir / "link").c_str()), 0);
    ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0600), 0);
    std::string line;
    EXPECT_TRUE(readExchangeLine(dir / "target", line));
    EXPECT_EQ(line, "12.5");
    EXPECT_FALSE(readExchangeLine(dir / "link", line));
    EXPECT_FALSE(readExchangeLine(dir / "fifo", line));
    EXPECT_FALSE(readExchangeLine(dir / "missing", line));

    // A stale temporary file is replaced; a directory at the name makes the write fail.
    writeFile(dir / "out.tmp", "stale stale stale\n");
    EXPECT_TRUE(replaceExchangeFile(dir / "out", "1\n"));
    EXPECT_EQ(readFile(dir / "out"), "1\n");
    EXPECT_FALSE(fileExists(dir / "out.tmp"));
    ASSERT_EQ(::mkdir((dir / "blocked.tmp").c_str(), 0755), 0);
    EXPECT_FALSE(replaceExchangeFile(dir / "blocked", "1\n"));
}

TEST(ExchangeFile, AWriterRewritesOnlyAChangeOrAfterTheRefreshAndRetriesAFailure) {
    TempDir dir;
    ExchangeFileWriter writer(dir / "result");
    constexpr uint64_t kStartMs = 5000;
    ASSERT_TRUE(writer.write("21.5\n", kStartMs));
    struct stat first {};
    ASSERT_EQ(::stat((dir / "result").c_str(), &first), 0);

    // The same reading within the refresh leaves the file as it is, even one someone removed.
    ASSERT_EQ(::unlink((dir / "result").c_str()), 0);
    EXPECT_TRUE(writer.write("21.5\n", kStartMs + ExchangeFileWriter::kRefreshMs - 1));
    EXPECT_FALSE(fileExists(dir / "result"));
    // At the refresh it comes back; a new reading is written at once.
    EXPECT_TRUE(writer.write("21.5\n", kStartMs + ExchangeFileWriter::kRefreshMs));
    EXPECT_EQ(readFile(dir / "result"), "21.5\n");
    EXPECT_TRUE(writer.write("22\n", kStartMs + ExchangeFileWriter::kRefreshMs + 1));
    EXPECT_EQ(readFile(dir / "result"), "22\n");

    // A write that failed is tried again at the next call, not taken for done.
    ASSERT_EQ(::mkdir((dir / "result.tmp").c_str(), 0755), 0);
    EXPECT_FALSE(writer.write("23\n", kStartMs + ExchangeFileWriter::kRefreshMs + 2));
    EXPECT_FALSE(writer.write("23\n", kStartMs + ExchangeFileWriter::kRefreshMs + 3));
    ASSERT_EQ(::rmdir((dir / "result.tmp").c_str()), 0);
    EXPECT_TRUE(writer.write("23\n", kStartMs + ExchangeFileWriter::kRefreshMs + 4));
    EXPECT_EQ(readFile(dir / "result"), "23\n");
}

} // namespace

TEST(ExchangeFile, AReaderSeesEveryReplacementAndChangeAndNoLinkOrMissingFile) {
    TempDir dir;
    ExchangeFileReader reader(dir / "result");
    std::string line;
    EXPECT_FALSE(reader.read(line));

    // Replacements of the same length in quick succession, each read at once: a kept descriptor must
    // never stand for the file that replaced it.
    for (int i = 0; i < 200; ++i) {
        std::string value = i % 2 ? "21.5" : "21.6";
        ASSERT_TRUE(replaceExchangeFile(dir / "result", value + "\n"));
        ASSERT_TRUE(reader.read(line));
        ASSERT_EQ(line, value) << "replacement " << i;
        ASSERT_TRUE(reader.read(line));
        ASSERT_EQ(line, value) << "replacement " << i << " read again";
    }

    // Rewritten in place with the same length: the new time tells it.
    writeFile(dir / "result", "30.0\n");
    timespec later[2] = {{0, UTIME_OMIT}, {0, 0}};
    ::clock_gettime(CLOCK_REALTIME, &later[1]);
    later[1].tv_sec += 10;
    ASSERT_EQ(::utimensat(AT_FDCWD, (dir / "result").c_str(), later, 0), 0);
    ASSERT_TRUE(reader.read(line));
    EXPECT_EQ(line, "30.0");

    // Removed, then a link put in its place: no reading either time.
    ASSERT_EQ(::unlink((dir / "result").c_str()), 0);
    EXPECT_FALSE(reader.read(line));
    writeFile(dir / "target", "12.5\n");
    ASSERT_EQ(::symlink((dir / "target").c_str(), (dir / "result").c_str()), 0);
    EXPECT_FALSE(reader.read(line));
    ASSERT_EQ(::unlink((dir / "result").c_str()), 0);
    ASSERT_TRUE(replaceExchangeFile(dir / "result", "\n"));
    ASSERT_TRUE(reader.read(line));
    EXPECT_EQ(line, "");
}
