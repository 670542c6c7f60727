// The dynamogram recorder on the rig: records built from the 50 ms load samples of scripted cycles,
// their life, and the files they become under "/var/spool".

#include "drive/dynamogram_file.h"
#include "platform/clock.h"
#include "tests/drive/scripted_cycles.h"
#include "tests/support/process.h"
#include "tests/support/time_zone_guard.h"
#include "tools/dyno_export.h"

#include <algorithm>
#include <cstdlib>
#include <dirent.h>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sys/stat.h>
#include <unistd.h>

namespace {

class DynamogramTest : public ScriptedCycleTest {
protected:
    DynamogramTest() {
        setenv("TZ", "UTC0", 1);
        tzset();
        fixed.upWork = 0;
        fixed.upMs = 3000;
        fixed.downMs = 4000;
    }

    // The file names in /var/spool, sorted.
    std::vector<std::string> spool() {
        std::vector<std::string> names;
        DIR* dir = opendir(board.path("/var/spool").c_str());
        if (!dir)
            return names;
        while (dirent* entry = readdir(dir))
            if (entry->d_name[0] != '.')
                names.push_back(entry->d_name);
        closedir(dir);
        std::sort(names.begin(), names.end());
        return names;
    }

    DynamogramFileContent readCard(const std::string& name) {
        std::ifstream in(board.path("/var/spool/" + name), std::ios::binary);
        std::vector<uint8_t> bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
        DynamogramFileContent card;
        std::string error;
        EXPECT_TRUE(decodeDynamogramFile(bytes, card, error)) << name << ": " << error;
        return card;
    }

    // The name a file written now gets, without a suffix.
    std::string nameNow() {
        time_t now = platform::wallTime();
        tm local{};
        localtime_r(&now, &local);
        std::string path = dynamogramFileName(local, 0);
        return path.substr(path.find_last_of('/') + 1);
    }

    // The drive is stopped with the records closed (the remote stop; a stopped drive is started
    // first), and started again.
    void haltClosingRecords() {
        if (config->stopDrive.current == 0)
            restart();
        config->stopDrive.set(0);
        settle();
    }
    void restart() {
        config->stopDrive.set(1);
        settle();
    }

    // The down-stroke samples below 3000 kgf.
    static size_t liquidSamples(const DynamogramRecord& record) {
        const std::vector<float>& down = record.downLoads();
        return static_cast<size_t>(
            std::count_if(down.begin(), down.end(), [](float load) { return load < 3000; }));
    }

    TimeZoneGuard zone;
    CycleScript fixed;
};

TEST_F(DynamogramTest, EveryCompleteCycleJoinsTheLastTenWithItsStrokesLoadsAndPlot) {
    config->recordPeriod.value = 0;
    config->lineBase.current = 0; // a quarter of the way from the minimum to the maximum
    startIn(kModeAutomatic, true);
    runCycles(13, fixed);
    completeLastCycle(); // the next cycle's first up-stroke sample completes the 13th
    EXPECT_EQ(controller->recorder().completed(), 13u);
    ASSERT_EQ(controller->view().dynamograms().size(), 10u);
    for (const auto& record : controller->view().dynamograms()) {
        EXPECT_FALSE(record->skip);
        // Up-stroke samples begin once the drive's polling reports it turning, up to two seconds late.
        EXPECT_GE(record->upLoads().size(), 15u);
        EXPECT_LE(record->upLoads().size(), 3000u / 50 + 2);
        EXPECT_NEAR(record->downLoads().size(), 4000 / 50, 4);
        EXPECT_NEAR(record->minLoad(), 1500, 10);
        EXPECT_NEAR(record->maxLoad(), 5000, 10);
        EXPECT_NEAR(record->upLoads().back(), 5000, 10);
        EXPECT_NEAR(record->downLoads().back(), 1500, 10);
        EXPECT_NEAR(record->strokesPerMinute, lastRate(), 0.2f);
        const Layer* plot = plots->plotOf(*record);
        ASSERT_NE(plot, nullptr);
        EXPECT_EQ(plot->width(), 240);
        EXPECT_EQ(plot->visible, record == controller->view().dynamograms().back());
    }
    const Layer* newest = plots->plotOf(*controller->view().dynamograms().back());
    EXPECT_TRUE(
        std::any_of(newest->pixels().begin(), newest->pixels().end(), [](uint8_t p) { return p != 0; }));
    // The fill: 80 % of the down stroke at the liquid's load.
    EXPECT_NEAR(recordFillFactor(*controller->view().dynamograms().back()), 0.8f, 0.05f);
}

TEST_F(DynamogramTest, PausesAtTheReversalPointsGoToTheDownStrokeOnlyWhenRecorded) {
    config->delayBDP.value = 2;
    config->dynoRecordInPause.current = 0; // "Вкл."
    fixed.fill = 0.5f;
    startIn(kModeAutomatic, true);
    runCycles(3, fixed);
    completeLastCycle();
    // 2 s of the stroke at the liquid's load and the 2 s dwell at the bottom; the drive coasting with
    // the valve open is a pause too.
    const DynamogramRecord& paused = *controller->view().dynamograms().back();
    EXPECT_NEAR(liquidSamples(paused), 80, 4);
    EXPECT_LT(paused.downLoads().size(), 80u + 40u - 30u);

    config->dynoRecordInPause.set(1); // "Откл."
    runCycles(3, fixed);
    completeLastCycle();
    const DynamogramRecord& unpaused = *controller->view().dynamograms().back();
    EXPECT_NEAR(liquidSamples(unpaused), 40, 3);
    EXPECT_NEAR(unpaused.downLoads().size(), 80, 3);
}

TEST_F(DynamogramTest, AnUpStrokeThatNeverReachedTheTopIsDropped) {
    startIn(kModeAutomatic, true);
    runCycles(2, fixed);
    completeLastCycle();
    ASSERT_EQ(controller->recorder().completed(), 2u);
    setLoad(5000);
    rodLeavesBottom();
    run(1500);
    haltClosingRecords(); // half-way up
    restart();            // not at the bottom: down first
    EXPECT_EQ(state(), Controller::kFirstDown);
    ASSERT_NE(controller->recorder().current(), nullptr);
    run(1000);
    EXPECT_TRUE(controller->recorder().current()->skip);
    setBottomSensor(1, kSensorActive);
    settle();
    runCycles(2, fixed);
    completeLastCycle();
    EXPECT_EQ(controller->recorder().completed(), 4u); // the broken one is not among them
}

TEST_F(DynamogramTest, A120SecondUpStrokeOverflowsIsSkippedAndWritesNothing) {
    config->upTimeMax.value = 300;
    startIn(kModeAutomatic, true);
    CycleScript slow = fixed;
    slow.upMs = 120000;
    runCycle(slow);
    ASSERT_NE(controller->recorder().current(), nullptr);
    EXPECT_EQ(controller->recorder().current()->upLoads().size(), kDynamogramMaxSamples);
    EXPECT_TRUE(controller->recorder().current()->skip);
    runCycle(fixed);
    completeLastCycle();
    EXPECT_EQ(controller->recorder().completed(), 1u);
    haltClosingRecords();
    std::vector<std::string> files = spool();
    ASSERT_EQ(files.size(), 1u); // the normal cycle after it
    EXPECT_LT(readCard(files[0]).upLoads.size(), 100u);
}

TEST_F(DynamogramTest, WithRecordPeriodZeroOnlyTheFirstCycleAfterAStartAndTheRecordsAtAHaltAreWritten) {
    config->recordPeriod.value = 0;
    startIn(kModeAutomatic, true);
    runCycles(2, fixed); // the first steady bottom writes the first cycle
    ASSERT_EQ(spool().size(), 1u);
    // Not tuned, but with the rate it achieved.
    EXPECT_GT(readCard(spool()[0]).periodMs, 1000u);
    EXPECT_EQ(readCard(spool()[0]).periodMs,
              static_cast<uint32_t>(60000.0f / controller->view().dynamograms().front()->strokesPerMinute));
    runCycles(4, fixed);
    EXPECT_EQ(spool().size(), 1u);
    EXPECT_FALSE(controller->recorder().saver().periodRunning() && controller->tuning().smart().armed());
    completeLastCycle(); // the sixth completes
    EXPECT_EQ(controller->view().dynamograms().size(), 6u);
    haltClosingRecords(); // the five others
    EXPECT_EQ(spool().size(), 6u);
    haltClosingRecords(); // nothing written twice
    EXPECT_EQ(spool().size(), 6u);

    restart(); // at the bottom: up at once, a start again
    EXPECT_EQ(state(), Controller::kFirstUp);
    runCycles(2, fixed);
    EXPECT_EQ(spool().size(), 7u);
    runCycles(2, fixed);
    EXPECT_EQ(spool().size(), 7u);
    // A period set while the records are held starts with the next steady cycle.
    config->recordPeriod.set(1);
    runCycle(fixed);
    EXPECT_EQ(spool().size(), 8u);
    EXPECT_TRUE(controller->recorder().saver().periodRunning());
}

TEST_F(DynamogramTest, WithARecordPeriodTheNewestCycleIsWrittenOncePerPeriodAndAStartWritesAtOnce) {
    config->recordPeriod.value = 1;
    startIn(kModeAutomatic, true);
    runCycles(2, fixed);
    EXPECT_EQ(spool().size(), 1u);
    EXPECT_TRUE(controller->recorder().saver().periodRunning());
    uint32_t armedAt = nowMs();
    while (nowMs() - armedAt < 55000)
        runCycle(fixed);
    EXPECT_EQ(spool().size(), 1u);
    while (nowMs() - armedAt < 61000)
        runCycle(fixed);
    EXPECT_EQ(spool().size(), 2u);
    EXPECT_TRUE(controller->recorder().saver().periodRunning());
    // A new start cancels the period: its first cycle is written at the first steady bottom.
    haltClosingRecords();
    size_t afterHalt = spool().size();
    restart();
    runCycles(2, fixed);
    EXPECT_EQ(spool().size(), afterHalt + 1);
}

TEST_F(DynamogramTest, FilesOfOneMinuteAreNamedWithSuffixesAndCreatedReadableByAll) {
    config->recordPeriod.value = 60;
    startIn(kModeAutomatic, true);
    runCycles(4, fixed);
    completeLastCycle();
    std::string first = nameNow();
    ASSERT_EQ(first.substr(0, 14), "telm_20260101_");
    haltClosingRecords();
    std::string stem = first.substr(0, first.size() - 4);
    EXPECT_EQ(spool(), (std::vector<std::string>{first, stem + "_1.bin", stem + "_2.bin", stem + "_3.bin"}));
    struct stat info {};
    ASSERT_EQ(stat(board.path("/var/spool/" + first).c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0644u);
    EXPECT_EQ(info.st_size, 9730);
}

TEST_F(DynamogramTest, AFileThatCannotBeCreatedIsLoggedAndItsRecordWrittenLater) {
    startIn(kModeAutomatic, true);
    runCycles(3, fixed);
    completeLastCycle();
    std::filesystem::remove_all(board.path("/var/spool")); // with the first cycle's file
    haltClosingRecords();
    std::vector<std::string> errors = board.logLinesWith(LOG_ERR, "cannot create file /var/spool/telm_");
    ASSERT_FALSE(errors.empty());
    EXPECT_NE(errors[0].find(".bin: No such file or directory"), std::string::npos) << errors[0];
    EXPECT_EQ(errors[0].rfind("controller:", 0), 0u) << errors[0];
    EXPECT_FALSE(controller->view().dynamograms().back()->written);
    ASSERT_EQ(mkdir(board.path("/var/spool").c_str(), 0755), 0);
    haltClosingRecords();
    EXPECT_EQ(spool().size(), 2u);
    EXPECT_TRUE(controller->view().dynamograms().back()->written);
}

TEST_F(DynamogramTest, ADownStrokeLoadBelowGMinRaisesAlarm25AlsoInAPauseAtTheBottom) {
    config->gMin.value = 2000;
    config->delayBDP.value = 2;
    config->dynoRecordInPause.current = 0;
    fixed.liquidLoad = 2500;
    fixed.downMs = 4000;
    startIn(kModeAutomatic, true);
    runCycles(2, fixed);
    ASSERT_EQ(state(), Controller::kUp);
    EXPECT_FALSE(controller->isAlarmActive(25));
    setLoad(1500); // the rod rests at the bottom, unloaded
    run(500);
    EXPECT_TRUE(controller->isAlarmActive(25));
    EXPECT_NEAR(controller->recorder().current()->downLoads().back(), 1500, 10); // and still recorded
}

TEST_F(DynamogramTest, AFileWrittenByTheControllerReadsBackAndVelkordDynoTurnsItIntoACard) {
    startIn(kModeAutomatic, true);
    runCycle(fixed);
    CycleScript timed = fixed;
    timed.periodMs = 15000;
    runCycles(2, timed);
    completeLastCycle();
    haltClosingRecords();
    std::vector<std::string> files = spool();
    ASSERT_EQ(files.size(), 3u);
    const DynamogramRecord& record = *controller->view().dynamograms().back();
    DynamogramFileContent card = readCard(files.back());
    EXPECT_EQ(card.year, 2026);
    EXPECT_EQ(card.periodMs, static_cast<uint32_t>(60000.0f / record.strokesPerMinute));
    EXPECT_NEAR(card.periodMs, 15000, 10);
    ASSERT_EQ(card.upLoads.size(), record.upLoads().size());
    ASSERT_EQ(card.downLoads.size(), record.downLoads().size());
    for (size_t i = 0; i < card.upLoads.size(); ++i)
        EXPECT_EQ(card.upLoads[i], static_cast<uint32_t>(record.upLoads()[i] / 10.0f) * 10u);
    for (size_t i = 0; i < card.downLoads.size(); ++i)
        EXPECT_EQ(card.downLoads[i], static_cast<uint32_t>(record.downLoads()[i] / 10.0f) * 10u);

    std::string out = board.path("/tmp");
    Process tool({VELKORD_DYNO_PATH, "--out", out, board.path("/var/spool/" + files.back())},
                 out + "/dyno.log");
    ASSERT_EQ(tool.wait(10000), 0) << readFile(out + "/dyno.log");
    std::string stem = files.back().substr(0, files.back().size() - 4);
    std::string csv = readFile(out + "/" + stem + ".csv");
    EXPECT_EQ(csv, dynamogramCsv(card));
    EXPECT_EQ(static_cast<size_t>(std::count(csv.begin(), csv.end(), '\n')),
              1 + record.upLoads().size() + record.downLoads().size());
    std::string svg = readFile(out + "/" + stem + ".svg");
    EXPECT_NE(svg.find("(4.00 strokes/min)"), std::string::npos);
    EXPECT_NE(svg.find("</svg>"), std::string::npos);
}

} // namespace
