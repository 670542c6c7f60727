// The modem against the simulated SIM5320 over a real pty, on the virtual clock.

#include "config/config.h"
#include "core/epoller.h"
#include "core/registry.h"
#include "core/timer_queue.h"
#include "periph/if_inet6.h"
#include "periph/nmea.h"
#include "periph/sim5320.h"
#include "platform/unique_fd.h"
#include "sim/sim_modem.h"
#include "tests/support/event_pump.h"
#include "tests/support/test_board.h"
#include "tests/support/time_zone_guard.h"
#include "ui/display.h"
#include "ui/menu_set.h"

#include <algorithm>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <gtest/gtest.h>
#include <memory>
#include <unistd.h>

namespace {

// Real time the pty is given to deliver what was written before virtual time moves on.
constexpr int kSettleMs = 15;
constexpr uint32_t kPoweredOnMs = Sim5320::kPowerOnPulseMs + Sim5320::kStartUpWaitMs;
// Power-on and the whole start-up dialogue.
constexpr uint32_t kInitialisedMs = kPoweredOnMs + 500;

const std::vector<std::string> kInitialCommands = {
    "AT",        "ATE0",       "AT+CFUN=1",       "AT+AUTOCSQ=1,1", "AT+CSQDELTA=2",
    "AT+CSQ",    "AT+CNAOP=2", "AT+CGPSSWITCH=2", "AT+CGPS=1,1",    "AT+CGPSINFOCFG=1,31",
    "AT+CPSI=5",
};

class ModemTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(EPoller::init());
        gTimers = &timers;
        config = std::make_unique<Config>(board.path("/etc/velkord"), board.path("/etc/velkord_perf"));
        display = std::make_unique<Display>(board.platform().framebuffer());
        ASSERT_EQ(display->open(), 0);
        gDisplay = display.get();
        platform::SimSerialLine* line = board.platform().serialLine("/dev/ttyUSB2");
        ASSERT_NE(line, nullptr);
        module = std::make_unique<SimModem>(line->farEnd(), link());
        ASSERT_TRUE(link().createNtpSegment());
    }

    void TearDown() override {
        if (modem)
            root.removeMenuItem(modem.get());
        modem.reset();
        module.reset();
        gDisplay = nullptr;
        display.reset();
        gTimers = nullptr;
        EPoller::shutdown();
    }

    platform::SimModemLink& link() { return board.platform().simModemLink(); }

    void start() {
        modem = std::make_unique<Sim5320>(*config, board.platform().modemLink(), display.get());
        root.addMenuItem(modem.get());
    }

    // Runs the loop for `ms` of virtual time, letting the pty deliver what was written at every step.
    void run(uint32_t ms) {
        platform::VirtualClock& clock = board.clock();
        uint64_t end = clock.elapsedMs() + ms;
        for (;;) {
            int next = gTimers->runDue();
            // Bytes on the pty may take a few milliseconds of real time under load.
            while (pumpEvents(kSettleMs) > 0) {
            }
            uint64_t now = clock.elapsedMs();
            if (now >= end)
                return;
            // A timer fires once its time has passed: one millisecond at least.
            uint64_t left = end - now;
            uint64_t step = next < 1 ? 1 : static_cast<uint64_t>(next);
            clock.advanceMs(next < 0 || step > left ? left : step);
        }
    }

    size_t logCount(int priority, const std::string& fragment) {
        return board.logLinesWith(priority, fragment).size();
    }

    TestBoard board;
    TimerQueue timers;
    std::unique_ptr<Config> config;
    std::unique_ptr<Display> display;
    MenuSet root;
    std::unique_ptr<SimModem> module;
    std::unique_ptr<Sim5320> modem;
};

class ModemPdpTest : public ModemTest, public ::testing::WithParamInterface<int> {};

TEST_P(ModemPdpTest, StartUpDialogueAndPdpLine) {
    const char* const types[] = {"IP", "PPP", "IPV6"};
    const int type = GetParam();
    config->apn.set("internet.test");
    config->pdpType.set(type);
    start();
    run(kPoweredOnMs - 10);
    EXPECT_EQ(module->commandsReceived(), 0) << "the port opens only after the 15 s start-up wait";
    EXPECT_EQ(logCount(LOG_INFO, "powering on SIM5320..."), 1u);
    run(500);
    std::vector<std::string> expected = kInitialCommands;
    expected.push_back(std::string("AT+CGDCONT=1,\"") + types[type] + "\",\"internet.test\"");
    expected.push_back("AT+CGACT=1,1");
    ASSERT_GE(module->history().size(), expected.size());
    EXPECT_EQ(
        std::vector<std::string>(module->history().begin(), module->history().begin() + expected.size()),
        expected);
    EXPECT_TRUE(modem->commands().empty());
    EXPECT_EQ(link().pppStarts(), 1);
    EXPECT_EQ(logCount(LOG_INFO, "SIM5320 powered on, initializing..."), 1u);
}

INSTANTIATE_TEST_SUITE_P(EachPdpType, ModemPdpTest, ::testing::Values(0, 1, 2));

TEST_F(ModemTest, SignalLevelsAndAntennaIcons) {
    start();
    run(kInitialisedMs);
    EXPECT_EQ(modem->signalDbm(), 2 * 20 - 113);
    struct Case {
        int rssi;
        int dbm;
        int icon;
    };
    for (Case c :
         {Case{99, 0, Sim5320::kNoIcon}, Case{31, -51, 3}, Case{5, -103, 0}, Case{99, 0, Sim5320::kNoIcon}}) {
        SCOPED_TRACE(c.rssi);
        module->setSignal(c.rssi);
        run(10);
        EXPECT_EQ(modem->signalDbm(), c.dbm);
        EXPECT_EQ(modem->signalText(), std::to_string(c.dbm) + " дБм");
        EXPECT_EQ(modem->antennaIcon(), c.icon);
        for (int icon = 0; icon < 4; ++icon)
            EXPECT_EQ(modem->iconVisible(icon), icon == c.icon) << icon;
    }
}

TEST_F(ModemTest, NineErrorsAreRetriedWithTheirCountsTheTenthPowerCycles) {
    module->failCommand("AT+CGACT=1,1", 9);
    start();
    run(kInitialisedMs);
    for (int count = 1; count <= 9; ++count)
        EXPECT_EQ(logCount(LOG_ERR, "команда 'AT+CGACT=1,1' завершилась ошибкой, повтор (" +
                                        std::to_string(count) + ")"),
                  1u)
            << count;
    EXPECT_EQ(logCount(LOG_ERR, "исчерпаны попытки"), 0u);
    EXPECT_EQ(logCount(LOG_INFO, "powering off SIM5320..."), 0u);
    EXPECT_TRUE(modem->commands().empty() || modem->commands().front() != "AT+CGACT=1,1");

    board.clearLog();
    module->failCommand("AT+CSPN?", 10);
    run(6000);
    EXPECT_EQ(logCount(LOG_ERR, "повтор (9)"), 1u);
    EXPECT_EQ(
        logCount(LOG_ERR, "Sim5320: исчерпаны попытки выполнения команды 'AT+CSPN?', рестарт модуля..."), 1u);
    EXPECT_EQ(logCount(LOG_INFO, "powering off SIM5320..."), 1u);
    EXPECT_FALSE(modem->portOpen());
    run(Sim5320::kPowerOffPulseMs + Sim5320::kPowerOffPauseMs + 10);
    EXPECT_EQ(logCount(LOG_INFO, "powering on SIM5320..."), 1u);
}

TEST_F(ModemTest, SilentModuleTimesOutAndPowerCyclesForever) {
    module->setReply(SimModem::Reply::Silent);
    start();
    const uint32_t cycle =
        kPoweredOnMs + Sim5320::kCommandTimeoutMs + Sim5320::kPowerOffPulseMs + Sim5320::kPowerOffPauseMs;
    run(5 * cycle + 100);
    EXPECT_EQ(logCount(LOG_ERR, "command timeout (AT)"), 5u);
    EXPECT_EQ(logCount(LOG_INFO, "powering off SIM5320..."), 5u);
    EXPECT_EQ(logCount(LOG_INFO, "powering on SIM5320..."), 6u);
    module->setReply(SimModem::Reply::Ok);
    run(cycle);
    EXPECT_TRUE(modem->portOpen());
    EXPECT_TRUE(modem->commands().empty());
}

TEST_F(ModemTest, CmeErrorWaitsForTheTimeOut) {
    module->setReply(SimModem::Reply::CmeError);
    start();
    run(kPoweredOnMs + 100);
    EXPECT_EQ(logCount(LOG_ERR, "Sim5320: +CME ERROR: 100"), 1u);
    ASSERT_FALSE(modem->commands().empty());
    EXPECT_EQ(modem->commands().front(), "AT");
    run(Sim5320::kCommandTimeoutMs - 200);
    EXPECT_EQ(logCount(LOG_ERR, "command timeout"), 0u);
    EXPECT_EQ(modem->commands().front(), "AT");
    run(200);
    EXPECT_EQ(logCount(LOG_ERR, "command timeout (AT)"), 1u);
    EXPECT_EQ(logCount(LOG_INFO, "powering off SIM5320..."), 1u);
}

TEST_F(ModemTest, WrongChecksumUpdatesNothingButChecksPpp0) {
    start();
    run(kPoweredOnMs + 100);
    ASSERT_EQ(modem->gpsTexts(), std::vector<std::string>{"Нет данных..."});
    module->corruptSentences(1);
    module->setLink(true);
    run(1000);
    EXPECT_EQ(modem->gpsTexts(), std::vector<std::string>{"Нет данных..."});
    platform::NtpShmTime segment;
    ASSERT_TRUE(link().readNtpSegment(segment));
    EXPECT_EQ(segment.valid, 0);
    EXPECT_TRUE(modem->connected());
    EXPECT_TRUE(modem->connectedIconVisible());
    EXPECT_EQ(modem->ipv4(), "10.64.1.17");
    EXPECT_EQ(modem->ipv6(), "2001:db8::11");
    run(1000);
    EXPECT_EQ(modem->gpsTexts().size(), 4u);
    module->setLink(false);
    run(1000);
    EXPECT_FALSE(modem->connected());
    EXPECT_FALSE(modem->connectedIconVisible());
    EXPECT_EQ(modem->ipv4(), "");
    EXPECT_EQ(modem->ipv6(), "");
}

TEST_F(ModemTest, GpsTextsForEachHemisphere) {
    start();
    run(kInitialisedMs);
    module->setPosition("5545.1234", 'N', "03737.5678", 'E');
    run(1000);
    ASSERT_EQ(modem->gpsTexts().size(), 4u);
    EXPECT_EQ(modem->gpsTexts()[2], "55°45.1234' с.ш.");
    EXPECT_EQ(modem->gpsTexts()[3], "037°37.5678' в.д.");
    module->setPosition("3352.0000", 'S', "15112.5000", 'W');
    run(1000);
    EXPECT_EQ(modem->gpsTexts()[2], "33°52.0000' ю.ш.");
    EXPECT_EQ(modem->gpsTexts()[3], "151°12.5000' з.д.");
    // The virtual clock starts at 2026-01-01 00:00:00 UTC.
    time_t now = board.platform().clock().wallTime().tv_sec;
    tm utc;
    gmtime_r(&now, &utc);
    char date[32];
    std::snprintf(date, sizeof date, "%02d.%02d.%02d", utc.tm_mday, utc.tm_mon + 1, utc.tm_year % 100);
    EXPECT_EQ(modem->gpsTexts()[1], date);
    module->setFix(false);
    run(1000);
    EXPECT_EQ(modem->gpsTexts(), std::vector<std::string>{"Нет данных..."});
}

TEST_F(ModemTest, NtpFieldsReadBackFromTheSandboxSegment) {
    EXPECT_NE(link().ntpShmKey(), 0x4E545030);
    EXPECT_NE(link().ntpShmKey() & ~0xFF, 0x4E545000);
    start();
    run(kInitialisedMs + 3000);
    platform::NtpShmTime segment;
    ASSERT_TRUE(link().readNtpSegment(segment));
    EXPECT_EQ(segment.valid, 1);
    EXPECT_EQ(segment.precision, -1);
    EXPECT_EQ(segment.leap, 0);
    EXPECT_EQ(segment.clockTimeStampNSec, 0u);
    EXPECT_EQ(segment.receiveTimeStampNSec, 0u);
    EXPECT_EQ(segment.receiveTimeStampSec, modem->smoothedSeconds());
    EXPECT_EQ(segment.receiveTimeStampUSec, modem->smoothedMicroseconds());
    // The sentence carries the time it was sent; it arrives in the same virtual instant.
    timeval now = board.platform().clock().wallTime();
    EXPECT_LE(std::abs(static_cast<long>(segment.clockTimeStampSec) - static_cast<long>(now.tv_sec)), 1);
    EXPECT_EQ(segment.clockTimeStampSec, segment.receiveTimeStampSec);
}

TEST_F(ModemTest, ApnChangeRestartsTheModuleWithinFiveSeconds) {
    start();
    run(kInitialisedMs);
    module->setLink(true);
    run(1000);
    ASSERT_EQ(logCount(LOG_INFO, "powering off SIM5320..."), 0u);
    // The GPS stops, so only the periodic "+CPSI:" reports bring a line.
    module->dropSentences(1000);
    config->apn.set("changed.apn");
    run(5000);
    EXPECT_EQ(logCount(LOG_INFO, "APN/PDP settings changed. Restarting SIM5320..."), 1u);
    EXPECT_EQ(logCount(LOG_INFO, "powering off SIM5320..."), 1u);
    run(Sim5320::kPowerOffPulseMs + Sim5320::kPowerOffPauseMs + kInitialisedMs);
    EXPECT_NE(
        std::find(module->history().begin(), module->history().end(), "AT+CGDCONT=1,\"IP\",\"changed.apn\""),
        module->history().end());
}

TEST_F(ModemTest, PppTimeOutAfterThreeHundredSecondsWithoutPpp0) {
    start();
    run(kPoweredOnMs + Sim5320::kPppTimeoutMs - 100);
    EXPECT_EQ(logCount(LOG_ERR, "PPP connection timeout"), 0u);
    run(200);
    EXPECT_EQ(logCount(LOG_ERR, "PPP connection timeout"), 1u);
    EXPECT_EQ(logCount(LOG_INFO, "powering off SIM5320..."), 1u);
}

TEST_F(ModemTest, Ppp0UpCancelsThePppTimer) {
    start();
    run(kInitialisedMs);
    module->setLink(true);
    run(Sim5320::kPppTimeoutMs + 1000);
    EXPECT_EQ(logCount(LOG_ERR, "PPP connection timeout"), 0u);
    EXPECT_EQ(logCount(LOG_INFO, "powering off SIM5320..."), 0u);
}

TEST_F(ModemTest, PageShowsTheNetworkAndTheSatelliteBars) {
    start();
    run(kInitialisedMs + 6000);
    EXPECT_EQ(modem->networkMode(), "WCDMA");
    EXPECT_EQ(modem->operatorName(), "MTS RUS");
    const Layer& page = modem->layer();
    int lit = 0;
    for (int y = Sim5320::kBarsTop; y < Sim5320::kBarsTop + Sim5320::kBarHeight; ++y)
        for (int x = 0; x < page.width(); ++x)
            lit += page.pixel(x, y) != 0;
    EXPECT_GT(lit, 0) << "the satellites' bars";
    EXPECT_TRUE(display->hasLayer(&page));
}

// Mends of outside input.
TEST_F(ModemTest, InputWithoutLineEndsIsBounded) {
    start();
    run(kInitialisedMs);
    module->dropSentences(1000);
    for (int i = 0; i < 10; ++i) {
        module->sendRaw(std::string(1000, 'x'));
        run(10);
        EXPECT_LE(modem->inputBuffered(), Sim5320::kMaxInputBuffered);
    }
    module->sendRaw("\r\n");
    module->setSignal(31);
    run(10);
    EXPECT_EQ(modem->signalDbm(), -51);
}

TEST_F(ModemTest, SystemInfoFloodDoesNotGrowTheQueue) {
    start();
    run(kInitialisedMs);
    module->setReply(SimModem::Reply::Silent);
    for (int i = 0; i < 50; ++i)
        module->sendRaw("+CPSI: WCDMA,Online\r\n");
    run(10);
    // The query on the line and one of each waiting behind it, however many reports came.
    EXPECT_LE(modem->commands().size(), 3u);
    EXPECT_EQ(std::count(modem->commands().begin(), modem->commands().end(), "AT+CNSMOD?"), 1);
}

TEST_F(ModemTest, SatelliteMessagesBeyondThePageAreNotDrawn) {
    start();
    run(kInitialisedMs);
    module->dropSentences(1000);
    run(10);
    Layer before = modem->layer();
    for (int message : {6, 50, 1000000}) {
        std::string body =
            "GPGSV,9," + std::to_string(message) + ",36,01,40,083,99,02,17,308,99,12,07,344,99,14,22,228,99";
        module->sendRaw(SimModem::withChecksum(body) + "\r\n");
        run(10);
    }
    EXPECT_TRUE(modem->layer() == before);
    EXPECT_EQ(modem->layer().width(), before.width());
    // A message number no sentence has keeps no bars either.
    EXPECT_EQ(modem->satelliteBarsKept(), 24u);
}

TEST(Nmea, ChecksumEitherCase) {
    std::string sentence = SimModem::withChecksum("GPRMC,120000.00,A,5545.1,N,03737.5,E,0,0,010126,,,A");
    EXPECT_TRUE(nmeaChecksumValid(sentence));
    std::string lower = sentence;
    for (size_t i = lower.size() - 2; i < lower.size(); ++i)
        lower[i] = static_cast<char>(std::tolower(lower[i]));
    EXPECT_TRUE(nmeaChecksumValid(lower));
    std::string wrong = sentence;
    wrong[8] = '9';
    EXPECT_FALSE(nmeaChecksumValid(wrong));
    EXPECT_FALSE(nmeaChecksumValid("$GPRMC,1"));
}

TEST(Nmea, UtcIsTheSameInEveryZone) {
    TimeZoneGuard guard;
    const time_t expected = 1751373045; // 2025-07-01 12:30:45 UTC
    for (const char* zone :
         {"UTC", "Europe/Moscow", "America/New_York", "Europe/Berlin", "Asia/Vladivostok"}) {
        SCOPED_TRACE(zone);
        setenv("TZ", zone, 1);
        tzset();
        EXPECT_EQ(gpsUtcSeconds("123045.00", "010725"), expected);
        EXPECT_EQ(gpsUtcSeconds("000000.00", "010126"), 1767225600);
    }
    EXPECT_EQ(gpsMicroseconds("123045.25"), 250000);
    // A garbled field: no fraction rather than an out-of-range conversion or a negative one.
    EXPECT_EQ(gpsMicroseconds("1230" + std::string(60, '3') + ".5"), 0);
    EXPECT_EQ(gpsMicroseconds("1230nan"), 0);
    EXPECT_EQ(gpsMicroseconds("1230inf"), 0);
    EXPECT_EQ(gpsMicroseconds("1230-0.5"), 0);
}

TEST(Nmea, SmoothedTimeFollowsARhythmAndResynchronises) {
    ReceiveClock clock;
    clock.update(1000, 500000);
    EXPECT_EQ(clock.seconds(), 1000);
    EXPECT_EQ(clock.microseconds(), 500000);
    // A steady rhythm with jitter: the smoothed time moves by a thirty-second of each error.
    const long jitter[] = {40000, -30000, 10000, 0, -20000};
    long expectedUs = 500000;
    long second = 1000;
    for (long j : jitter) {
        ++second;
        clock.update(second, 500000 + j);
        long error = expectedUs - (500000 + j);
        expectedUs -= error / 32;
        EXPECT_EQ(clock.seconds(), second);
        EXPECT_EQ(clock.microseconds(), expectedUs);
    }
    // A steady offset is followed: after many sentences the error has shrunk.
    for (int i = 0; i < 200; ++i)
        clock.update(++second, 600000);
    EXPECT_EQ(clock.seconds(), second);
    EXPECT_NEAR(clock.microseconds(), 600000, 1000);
    // Two seconds lost: resynchronised to the arrival.
    second += 3;
    clock.update(second, 123456);
    EXPECT_EQ(clock.seconds(), second);
    EXPECT_EQ(clock.microseconds(), 123456);
    // An error above 0.2 s within the second: resynchronised too.
    clock.update(second + 1, 423457);
    EXPECT_EQ(clock.microseconds(), 423457);
    // Carry across the second boundary.
    ReceiveClock edge;
    edge.update(10, 999990);
    // Predicted 11.999990, arrived 12.003000: the error -3010 us moves it 94 us later, past the second.
    edge.update(12, 3000);
    EXPECT_EQ(edge.seconds(), 12);
    EXPECT_EQ(edge.microseconds(), 84);
}

TEST(IfInet6, GlobalFirstThenLinkLocalSkippingDeprecated) {
    TestBoard board;
    std::string path = board.path("/proc/net/if_inet6");
    {
        std::ofstream out(path);
        out << "fe800000000000000000000000000001 05 40 20 80     ppp0\n";
        out << "20010db8000000000000000000000001 05 40 00 20     ppp0\n";
        out << "20010db8000000000000000000000002 04 40 00 80     eth0\n";
    }
    EXPECT_EQ(ipv6Text(interfaceIpv6Hex(path, "ppp0")), "fe80::1");
    {
        std::ofstream out(path, std::ios::app);
        out << "20010db8000000000000000000000003 05 40 00 80     ppp0\n";
    }
    EXPECT_EQ(ipv6Text(interfaceIpv6Hex(path, "ppp0")), "2001:db8::3");
    EXPECT_EQ(interfaceIpv6Hex(path, "wlan0"), "");
}

} // namespace

TEST_F(ModemTest, TheSimulatedModuleCountsEveryCommandButKeepsOnlyTheLatest) {
    platform::SimSerialLine* line = board.platform().serialLine("/dev/ttyUSB2");
    platform::UniqueFd daemonSide(::open(line->ptyPath().c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC));
    ASSERT_TRUE(daemonSide);
    module->setReply(SimModem::Reply::Silent);
    const int sent = static_cast<int>(SimModem::kHistoryKept) + 5;
    for (int i = 0; i < sent; ++i) {
        std::string command = "AT+TEST=" + std::to_string(i) + "\r";
        ASSERT_EQ(::write(daemonSide.get(), command.data(), command.size()),
                  static_cast<ssize_t>(command.size()));
        if (i % 50 == 0)
            run(5);
    }
    for (int round = 0; round < 200 && module->commandsReceived() < sent; ++round)
        run(5);
    EXPECT_EQ(module->commandsReceived(), sent);
    ASSERT_EQ(module->history().size(), SimModem::kHistoryKept);
    EXPECT_EQ(module->history().front(), "AT+TEST=5");
    EXPECT_EQ(module->history().back(), "AT+TEST=" + std::to_string(sent - 1));
}
