#include "drive/dynamogram_file.h"
#include "tests/support/process.h"
#include "tests/support/temp_dir.h"
#include "tools/dyno_export.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <libxml/parser.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

tm at(int year, int month, int day, int hour, int minute) {
    tm when{};
    when.tm_year = year - 1900;
    when.tm_mon = month - 1;
    when.tm_mday = day;
    when.tm_hour = hour;
    when.tm_min = minute;
    return when;
}

uint16_t word(const std::vector<uint8_t>& bytes, size_t offset) {
    return static_cast<uint16_t>(bytes[offset] << 8 | bytes[offset + 1]);
}

DynamogramCycle sampleCycle() {
    DynamogramCycle cycle;
    cycle.upLoads = {1234.56f, 5000, 70000 * 10.0f, -3};
    cycle.downLoads = {800, 799.9f};
    cycle.strokesPerMinute = 4.0f;
    return cycle;
}

TEST(DynamogramFile, LayoutIsBigEndianWithBcdDateFixedBlockAndPaddedSequences) {
    std::vector<uint8_t> bytes = encodeDynamogramFile(sampleCycle(), at(2026, 3, 5, 14, 7));
    ASSERT_EQ(bytes.size(), 9730u);
    EXPECT_EQ((std::vector<uint8_t>(bytes.begin(), bytes.begin() + 5)),
              (std::vector<uint8_t>{0x07, 0x14, 0x05, 0x03, 0x26}));
    EXPECT_EQ(bytes[128], 0x02);
    EXPECT_EQ(bytes[134], 0xAA);
    EXPECT_EQ(bytes[135], 0x55);
    EXPECT_EQ(word(bytes, 180), 0x7530);
    EXPECT_EQ((std::vector<uint8_t>(bytes.begin() + 192, bytes.begin() + 196)),
              (std::vector<uint8_t>{0x00, 0x00, 0x3A, 0x98})); // 15000 ms
    EXPECT_EQ(word(bytes, 512), 123);                          // 1234.56 kgf
    EXPECT_EQ(word(bytes, 514), 500);
    EXPECT_EQ(word(bytes, 516), 65535);  // saturated
    EXPECT_EQ(word(bytes, 518), 0);      // not above 0
    EXPECT_EQ(word(bytes, 520), 0xFFFF); // no sample
    EXPECT_EQ(word(bytes, 512 + 2 * 2303), 0xFFFF);
    EXPECT_EQ(word(bytes, 5120), 80);
    EXPECT_EQ(word(bytes, 5122), 79);
    EXPECT_EQ(word(bytes, 5120 + 2 * 2304), 0xFFFF); // the 2305th entry of the down area
}

TEST(DynamogramFile, RateNotYetKnownIsPeriodZeroAndLongSequencesAreCut) {
    DynamogramCycle cycle;
    cycle.upLoads.assign(3000, 100);
    std::vector<uint8_t> bytes = encodeDynamogramFile(cycle, at(2030, 12, 31, 23, 59));
    EXPECT_EQ(word(bytes, 192) | word(bytes, 194), 0);
    EXPECT_EQ(word(bytes, 512 + 2 * 2303), 10);
    EXPECT_EQ(word(bytes, 5120), 0xFFFF); // the up samples do not spill into the down area
}

TEST(DynamogramFile, ReadsBackWhatWasWritten) {
    DynamogramFileContent card;
    std::string error;
    ASSERT_TRUE(decodeDynamogramFile(encodeDynamogramFile(sampleCycle(), at(2026, 3, 5, 14, 7)), card, error))
        << error;
    EXPECT_EQ(card.year, 2026);
    EXPECT_EQ(card.month, 3);
    EXPECT_EQ(card.day, 5);
    EXPECT_EQ(card.hour, 14);
    EXPECT_EQ(card.minute, 7);
    EXPECT_EQ(card.periodMs, 15000u);
    EXPECT_EQ(card.upLoads, (std::vector<uint32_t>{1230, 5000, 655350, 0}));
    EXPECT_EQ(card.downLoads, (std::vector<uint32_t>{800, 790}));
}

TEST(DynamogramFile, ForeignOrDamagedFilesAreRefusedWithAReason) {
    std::vector<uint8_t> good = encodeDynamogramFile(sampleCycle(), at(2026, 3, 5, 14, 7));
    DynamogramFileContent card;
    std::string error;

    EXPECT_FALSE(decodeDynamogramFile(std::vector<uint8_t>(good.begin(), good.begin() + 9000), card, error));
    EXPECT_EQ(error, "9000 bytes where a dynamogram file has 9730");

    std::vector<uint8_t> bad = good;
    bad[134] = 0;
    EXPECT_FALSE(decodeDynamogramFile(bad, card, error));
    EXPECT_EQ(error, "no dynamogram header block at offset 128");

    bad = good;
    bad[1] = 0x25; // hour 25
    EXPECT_FALSE(decodeDynamogramFile(bad, card, error));
    bad = good;
    bad[3] = 0x1A; // not decimal
    EXPECT_FALSE(decodeDynamogramFile(bad, card, error));
    EXPECT_NE(error.find("impossible date"), std::string::npos);

    bad = good;
    bad[300] = 1;
    EXPECT_FALSE(decodeDynamogramFile(bad, card, error));
    EXPECT_EQ(error, "data in the reserved areas of the header");
}

TEST(DynamogramFile, NamesCarryTheMinuteAndASuffixForLaterFilesOfThatMinute) {
    EXPECT_EQ(dynamogramFileName(at(2026, 3, 5, 9, 7), 0), "/var/spool/telm_20260305_0907.bin");
    EXPECT_EQ(dynamogramFileName(at(2026, 3, 5, 9, 7), 1), "/var/spool/telm_20260305_0907_1.bin");
}

TEST(DynamogramExport, CsvListsEverySampleWithItsTimeAndPhase) {
    DynamogramFileContent card;
    card.upLoads = {100, 200};
    card.downLoads = {50};
    EXPECT_EQ(dynamogramCsv(card), "time_s,phase,load_kgf\n0.00,up,100\n0.05,up,200\n0.10,down,50\n");
}

TEST(DynamogramExport, SvgDrawsBothStrokesAndAnnotatesTheCard) {
    DynamogramFileContent card;
    card.year = 2026, card.month = 3, card.day = 5, card.hour = 14, card.minute = 7;
    card.periodMs = 15000;
    card.upLoads = {1000, 3000, 5000};
    card.downLoads = {4000, 1500};
    for (CardAxis axis : {CardAxis::Time, CardAxis::Position}) {
        std::string svg = dynamogramSvg(card, axis, "telm_<1>.bin");
        EXPECT_EQ(svg.rfind("<svg ", 0), 0u);
        EXPECT_EQ(std::count(svg.begin(), svg.end(), '\n') > 10, true);
        size_t first = svg.find("<polyline");
        ASSERT_NE(first, std::string::npos);
        EXPECT_NE(svg.find("<polyline", first + 1), std::string::npos);
        EXPECT_NE(svg.find("period 15.00 s (4.00 strokes/min)"), std::string::npos);
        EXPECT_NE(svg.find("Gmin 1000 kgf  Gmax 5000 kgf"), std::string::npos);
        EXPECT_NE(svg.find("telm_&lt;1&gt;.bin"), std::string::npos);
        EXPECT_NE(svg.find("</svg>"), std::string::npos);
    }
}

TEST(DynoTool, ConvertsGoodFilesAndRefusesForeignOnesWithAClearError) {
    TempDir dir;
    std::vector<uint8_t> bytes = encodeDynamogramFile(sampleCycle(), at(2026, 3, 5, 14, 7));
    std::ofstream(dir / "telm_20260305_1407.bin", std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    writeFile(dir / "notes.bin", "not a card");

    Process good({VELKORD_DYNO_PATH, "--position", dir / "telm_20260305_1407.bin"}, dir / "good.out");
    EXPECT_EQ(good.wait(10000), 0) << readFile(dir / "good.out");
    EXPECT_NE(readFile(dir / "telm_20260305_1407.csv").find("0.00,up,1230\n"), std::string::npos);
    EXPECT_NE(readFile(dir / "telm_20260305_1407.svg").find("rod position"), std::string::npos);

    writeFile(dir / "huge.bin", std::string(20000, 'x'));
    Process bad({VELKORD_DYNO_PATH, dir / "notes.bin", dir / "missing.bin", dir / "huge.bin", "/dev/zero"},
                dir / "bad.out");
    EXPECT_EQ(bad.wait(10000), 1);
    std::string errors = readFile(dir / "bad.out");
    EXPECT_NE(errors.find("huge.bin: not a dynamogram file: more than the 9730 bytes of one"), std::string::npos)
        << errors;
    EXPECT_NE(errors.find("/dev/zero: not a regular file"), std::string::npos) << errors;
    EXPECT_NE(errors.find("notes.bin: not a dynamogram file: 10 bytes where a dynamogram file has 9730"),
              std::string::npos)
        << errors;
    EXPECT_NE(errors.find("missing.bin: cannot read"), std::string::npos);
    EXPECT_FALSE(fileExists(dir / "notes.csv"));

    Process usage({VELKORD_DYNO_PATH}, dir / "usage.out");
    EXPECT_EQ(usage.wait(10000), 2);
}

// A good card under a given name in the directory.
std::string writeCard(TempDir& dir, const std::string& name) {
    std::vector<uint8_t> bytes = encodeDynamogramFile(sampleCycle(), at(2026, 3, 5, 14, 7));
    std::string path = dir / name;
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return path;
}

TEST(DynoToolHostileInput, AFifoIsRefusedWithoutWaitingForAWriter) {
    TempDir dir;
    std::string fifo = dir / "telm_fifo.bin";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0644), 0);
    Process dyno({VELKORD_DYNO_PATH, fifo}, dir / "dyno.out");
    EXPECT_EQ(dyno.wait(5000), 1) << readFile(dir / "dyno.out");
    EXPECT_NE(readFile(dir / "dyno.out").find("telm_fifo.bin: not a regular file"), std::string::npos);
}

TEST(DynoToolHostileInput, TheSvgStaysWellFormedWhateverTheFileNameHolds) {
    TempDir dir;
    std::string name = std::string("telm_\x01\x1b[31m\xff\xc3(<&>\"\xed\xa0\x80") + "\xe2\x82" + ".bin";
    writeCard(dir, name);
    Process dyno({VELKORD_DYNO_PATH, "--svg-only", dir / name}, dir / "dyno.out");
    ASSERT_EQ(dyno.wait(10000), 0) << readFile(dir / "dyno.out");
    std::string svg = readFile(dir / (name.substr(0, name.size() - 4) + ".svg"));
    ASSERT_FALSE(svg.empty());
    xmlDoc* document = xmlReadMemory(svg.data(), static_cast<int>(svg.size()), nullptr, nullptr,
                                     XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING);
    EXPECT_NE(document, nullptr) << svg.substr(0, 400);
    xmlFreeDoc(document);
    EXPECT_NE(svg.find("telm_\xEF\xBF\xBD\xEF\xBF\xBD[31m"), std::string::npos);
    EXPECT_NE(svg.find("(&lt;&amp;&gt;&quot;"), std::string::npos);
}

TEST(DynoToolHostileInput, AnOutputIsWrittenInPlaceOfASymbolicLinkNeverThroughIt) {
    TempDir dir;
    std::string card = writeCard(dir, "telm_20260305_1407.bin");
    std::string victim = dir / "victim.txt";
    writeFile(victim, "keep me");
    ASSERT_EQ(::symlink(victim.c_str(), (dir / "telm_20260305_1407.csv").c_str()), 0);
    ASSERT_EQ(::symlink(victim.c_str(), (dir / "telm_20260305_1407.svg").c_str()), 0);

    Process dyno({VELKORD_DYNO_PATH, card}, dir / "dyno.out");
    ASSERT_EQ(dyno.wait(10000), 0) << readFile(dir / "dyno.out");
    EXPECT_EQ(readFile(victim), "keep me");
    struct stat status {};
    ASSERT_EQ(::lstat((dir / "telm_20260305_1407.csv").c_str(), &status), 0);
    EXPECT_TRUE(S_ISREG(status.st_mode));
    EXPECT_EQ(status.st_mode & 0777, 0644u);
    EXPECT_NE(readFile(dir / "telm_20260305_1407.csv").find("0.00,up,123"), std::string::npos);
    ASSERT_EQ(::lstat((dir / "telm_20260305_1407.svg").c_str(), &status), 0);
    EXPECT_TRUE(S_ISREG(status.st_mode));
    // No temporary file is left beside the outputs.
    int entries = 0;
    for (const auto& entry : std::filesystem::directory_iterator(dir.path()))
        entries += entry.is_regular_file() || entry.is_symlink();
    EXPECT_EQ(entries, 5); // card, victim, csv, svg, dyno.out
}

} // namespace
