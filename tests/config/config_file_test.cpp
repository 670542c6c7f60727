#include "tests/config/config_fixture.h"

#include <libxml/parser.h>
#include <sys/stat.h>

namespace {

using ConfigFile = ConfigFixture;

// The keys of every group of a main file, as "group/key", in file order.
std::vector<std::string> groupKeys(const std::string& file) {
    std::vector<std::string> keys;
    xmlDoc* document =
        xmlReadMemory(file.data(), static_cast<int>(file.size()), nullptr, nullptr, XML_PARSE_NOBLANKS);
    if (!document)
        return keys;
    for (xmlNode* group = xmlDocGetRootElement(document)->children; group; group = group->next)
        for (xmlNode* key = group->children; key; key = key->next)
            keys.push_back(std::string(reinterpret_cast<const char*>(group->name)) + "/" +
                           reinterpret_cast<const char*>(key->name));
    xmlFreeDoc(document);
    return keys;
}

std::vector<std::string> catalogueKeys() {
    std::vector<std::string> keys;
    for (const SettingGroup& group : settingGroups())
        if (group.store == SettingStore::MainFile)
            for (const SettingInfo& info : group)
                keys.push_back(std::string(group.name) + "/" + info.key);
    return keys;
}

TEST_F(ConfigFile, WithoutFilesBothAreCreatedWithDefaultsAndTheLogSaysSo) {
    std::unique_ptr<Config> config = load();

    EXPECT_EQ(groupKeys(mainFile()), catalogueKeys());
    EXPECT_EQ(mainFile().rfind("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<config>\n  <common>\n"
                               "    <modbusAddress>52</modbusAddress>\n",
                               0),
              0u)
        << mainFile();
    EXPECT_TRUE(contains(mainFile(), "<workControl>13344767</workControl>"));
    EXPECT_TRUE(contains(mainFile(), "<timeZone>YEKT-5</timeZone>"));
    EXPECT_TRUE(contains(mainFile(), "<cylinderArea>82.47</cylinderArea>"));
    EXPECT_TRUE(contains(mainFile(), "<decelTimeDrive>0.09</decelTimeDrive>"));
    EXPECT_TRUE(contains(mainFile(), "<modbusSpeed>5</modbusSpeed>"));
    EXPECT_EQ(readFile(perfPath()),
              "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<perf_params>\n"
              "  <selectedDrive1>0</selectedDrive1>\n  <selectedDrive2>0</selectedDrive2>\n"
              "  <selectedValve1>0</selectedValve1>\n  <selectedValve2>0</selectedValve2>\n"
              "  <freqDrive1>-1</freqDrive1>\n  <freqDrive2>-1</freqDrive2>\n</perf_params>\n");
    EXPECT_STREQ(getenv("TZ"), "YEKT-5");

    std::vector<std::string> errors;
    for (const LogLine& line : board.logLines())
        if (line.priority <= LOG_WARNING)
            errors.push_back(line.text.substr(line.text.find(": ") + 2));
    std::string main = mainPath();
    std::string perf = perfPath();
    EXPECT_EQ(errors, (std::vector<std::string>{
                          "error opening " + main + ", trying " + main + ".bak",
                          "error opening " + main + ".bak, creating default config",
                          "cannot rename " + main + " to " + main + ".bak",
                          "error opening " + perf + ", trying " + perf + ".bak",
                          "error opening " + perf + ".bak, creating default config",
                          "cannot rename " + perf + " to " + perf + ".bak",
                      }));
    EXPECT_TRUE(journal().empty());
}

TEST_F(ConfigFile, NumbersAreWrittenInTheirShortestFormAndReadBackAsWritten) {
    {
        std::unique_ptr<Config> config = start();
        config->gMax.set(-1);
        config->gMin.set(16000);
        config->nSwings.set(2.5f);
    }
    EXPECT_TRUE(contains(mainFile(), "<gMax>-0.01</gMax>"));
    EXPECT_TRUE(contains(mainFile(), "<gMin>16000</gMin>"));
    EXPECT_TRUE(contains(mainFile(), "<nSwings>2.5</nSwings>"));
    gConfig = nullptr;
    std::unique_ptr<Config> config = load();
    EXPECT_EQ(config->gMax.value, -0.01f);
    EXPECT_EQ(config->gMin.value, 16000);
    EXPECT_EQ(config->nSwings.value, 2.5f);
}

TEST_F(ConfigFile, ValuesAreStoredUnderTheSettersRulesWithoutJournal) {
    writeMain("<performance><nSwings>abc</nSwings><nsMin>-5</nsMin><nsMax>1e99</nsMax></performance>"
              "<common><wellName>Скв. &amp; куст</wellName><wellComment/><pdpType></pdpType>"
              "<stopDrive>0x0</stopDrive></common>"
              "<InputsOutputs><modbusSpeed>010</modbusSpeed><ecmInvertion>7</ecmInvertion></InputsOutputs>"
              "<manualMode/>");
    std::unique_ptr<Config> config = load();

    EXPECT_EQ(config->nSwings.value, 3);  // no number: the default
    EXPECT_EQ(config->nsMin.value, 0.2f); // clamped into 0.2 .. 10
    EXPECT_EQ(config->nsMax.value, 4);    // no finite number: the default
    EXPECT_EQ(config->wellName.value, "Скв. & куст");
    EXPECT_EQ(config->wellComment.value, "");
    EXPECT_EQ(config->pdpType.current, 0);
    EXPECT_EQ(config->stopDrive.current, 0);
    EXPECT_EQ(config->modbusSpeed.current, 8);  // octal
    EXPECT_EQ(config->ecmInvertion.current, 1); // not an option: the default stays
    EXPECT_EQ(
        board.logLinesWith(LOG_WARNING, "'ecmInvertion' value '7' is out of range, using default").size(),
        1u);
    EXPECT_EQ(config->modbusAddress.value, 52); // a missing key keeps its default
    EXPECT_TRUE(journal().empty());

    gConfig = config.get();
    EXPECT_EQ(config->nSwings.set(0), 0.2f);
    EXPECT_TRUE(contains(mainFile(), "<wellName>Скв. &amp; куст</wellName>"));
    EXPECT_TRUE(contains(mainFile(), "<nsMin>0.2</nsMin>"));
}

TEST_F(ConfigFile, MissingGroupsAreReportedAndLeaveDefaultsAndTheProcessTimeZone) {
    setenv("TZ", "XYZ-7", 1);
    writeMain("<drive1><minFreq>30</minFreq><maxFreq>40</maxFreq></drive1>");
    std::unique_ptr<Config> config = load();

    for (const char* group : {"common", "performance", "smartMode", "driveSettings", "drive2",
                              "InputsOutputs", "manualMode", "misc"})
        EXPECT_EQ(board
                      .logLinesWith(LOG_WARNING,
                                    std::string(": '") + group + "' group not found, using default settings")
                      .size(),
                  1u)
            << group;
    EXPECT_TRUE(board.logLinesWith(LOG_WARNING, "'drive1' group not found").empty());
    EXPECT_STREQ(getenv("TZ"), "XYZ-7");
    // Without the manual-mode group both manual frequencies start halfway between minimum and maximum.
    EXPECT_EQ(config->manualFreqDrive1.value, 35);
    EXPECT_EQ(config->manualFreqDrive2.value, 36);
    EXPECT_EQ(journal(),
              (std::vector<std::string>{"Настройка 'Частота двигателя 1' изменена: 0.00 --> 35.00",
                                        "Настройка 'Частота двигателя 2' изменена: 0.00 --> 36.00"}));
}

TEST_F(ConfigFile, ATimeZoneIsMatchedByItsStringWithGreenwichAsTheFallback) {
    writeMain("<misc><timeZone>MST7MDT</timeZone></misc>");
    EXPECT_EQ(load()->timeZone.current, 9);
    EXPECT_STREQ(getenv("TZ"), "MST7MDT");

    writeMain("<misc><recordPeriod>30</recordPeriod></misc>");
    std::unique_ptr<Config> config = start();
    EXPECT_EQ(config->timeZone.current, 26);
    EXPECT_STREQ(getenv("TZ"), "GMT0");
    EXPECT_EQ(board.logLinesWith(LOG_WARNING, "unknown timeZone value '', will use GMT").size(), 1u);
    config->save();
    EXPECT_TRUE(contains(mainFile(), "<timeZone>GMT0</timeZone>"));
}

TEST_F(ConfigFile, AStoredWorkControlMaskGoesThroughItsSetterAtEveryStart) {
    writeMain("<InputsOutputs><workControl>0</workControl></InputsOutputs><manualMode/>");
    EXPECT_EQ(load()->workControl.mask, 0u);
    EXPECT_EQ(load()->workControl.mask, 0u);
    writeMain("<InputsOutputs><workControl>0x3</workControl></InputsOutputs><manualMode/>");
    EXPECT_EQ(load()->workControl.mask, 3u);
    EXPECT_EQ(journal(), (std::vector<std::string>{
                             "Набор опций настройки 'Контроль работы' изменен: 0xcb9fff --> 0x0",
                             "Набор опций настройки 'Контроль работы' изменен: 0xcb9fff --> 0x0",
                             "Набор опций настройки 'Контроль работы' изменен: 0xcb9fff --> 0x3"}));
}

TEST_F(ConfigFile, UnknownElementsSurviveEverySaveAndKnownKeysFollowThem) {
    writeMain("<common><vendorNote>keep me</vendorNote><modbusAddress>9</modbusAddress>"
              "<modbusAddress>10</modbusAddress></common><extra><a>1</a></extra>");
    std::unique_ptr<Config> config = start();
    EXPECT_EQ(config->modbusAddress.value, 9); // the first element counts
    config->save();
    config->wellName.set("Скв. 3");
    config->nSwings.set(4);

    std::string file = mainFile();
    EXPECT_TRUE(contains(
        file, "<common>\n    <vendorNote>keep me</vendorNote>\n    <modbusAddress>9</modbusAddress>\n"
              "    <stopDrive>1</stopDrive>"))
        << file;
    EXPECT_EQ(file.find("<modbusAddress>"), file.rfind("<modbusAddress>")); // each key once
    EXPECT_TRUE(contains(file, "<extra>\n    <a>1</a>\n  </extra>"));
}

TEST_F(ConfigFile, SavingTwiceLeavesTheFileAndItsBackupEqual) {
    std::unique_ptr<Config> config = start();
    config->modbusAddress.set(17);
    config->save();
    config->save();
    EXPECT_EQ(mainFile(), readFile(mainPath() + ".bak"));
    EXPECT_TRUE(contains(mainFile(), "<modbusAddress>17</modbusAddress>"));
    EXPECT_FALSE(fileExists(mainPath() + ".tmp"));
}

TEST_F(ConfigFile, TheBackupIsTheVersionBeforeTheLastWrite) {
    std::unique_ptr<Config> config = start();
    config->modbusAddress.set(17);
    config->modbusAddress.set(18);
    EXPECT_TRUE(contains(readFile(mainPath() + ".bak"), "<modbusAddress>17</modbusAddress>"));
    EXPECT_TRUE(contains(mainFile(), "<modbusAddress>18</modbusAddress>"));
}

TEST_F(ConfigFile, ADamagedFileIsReplacedFromItsBackupWhichTheNextSaveKeeps) {
    writeMain("<common><wellName>из копии</wellName></common>");
    ASSERT_EQ(::rename(mainPath().c_str(), (mainPath() + ".bak").c_str()), 0);
    writeFile(mainPath(), "<?xml version=\"1.0\"?>\n<config><common><wellName>обрыв");
    std::unique_ptr<Config> config = start();
    EXPECT_EQ(config->wellName.value, "из копии");
    EXPECT_EQ(
        board.logLinesWith(LOG_ERR, "error opening " + mainPath() + ", trying " + mainPath() + ".bak").size(),
        1u);

    config->wellName.set("новое");

    EXPECT_TRUE(contains(mainFile(), "<wellName>новое</wellName>"));
    EXPECT_TRUE(contains(readFile(mainPath() + ".bak"), "<wellName>из копии</wellName>"));
    EXPECT_EQ(
        board.logLinesWith(LOG_WARNING, mainPath() + " is damaged, keeping " + mainPath() + ".bak").size(),
        1u);
    config->save();
    EXPECT_TRUE(contains(readFile(mainPath() + ".bak"), "<wellName>новое</wellName>"));
}

TEST_F(ConfigFile, ContentThatWouldNotLoadIsNeverWritten) {
    std::unique_ptr<Config> config = start();
    config->save();
    std::string before = mainFile();
    std::string backup = readFile(mainPath() + ".bak");
    // The thermometer id has no setter to check it.
    config->thermSensorId = "28-\x01";

    config->save();

    EXPECT_EQ(mainFile(), before);
    EXPECT_EQ(readFile(mainPath() + ".bak"), backup);
    EXPECT_EQ(
        board.logLinesWith(LOG_ERR, "not saving " + mainPath() + ": the new content would not load").size(),
        1u);
}

TEST_F(ConfigFile, ASaveBatchWritesEachChangedFileOnceWhenTheOutermostBatchEnds) {
    std::unique_ptr<Config> config = start();
    config->save();
    std::string before = mainFile();
    std::string perfBefore = readFile(perfPath());
    {
        Config::SaveBatch outer(config.get());
        {
            Config::SaveBatch inner(config.get());
            config->modbusAddress.set(17);
            config->nSwings.set(5);
        }
        config->freqDrive1.set(40);
        config->savePerf();
        EXPECT_EQ(mainFile(), before);
        EXPECT_EQ(readFile(perfPath()), perfBefore);
        EXPECT_EQ(journal().size(), 3u); // the journal is not delayed
    }
    // One write each: the backup is the file from before the batch.
    EXPECT_TRUE(contains(mainFile(), "<modbusAddress>17</modbusAddress>"));
    EXPECT_TRUE(contains(mainFile(), "<nSwings>5</nSwings>"));
    EXPECT_EQ(readFile(mainPath() + ".bak"), before);
    EXPECT_TRUE(contains(readFile(perfPath()), "<freqDrive1>40</freqDrive1>"));
    EXPECT_EQ(readFile(perfPath() + ".bak"), perfBefore);

    // A batch without changes writes nothing, so the backup stays the older version.
    { Config::SaveBatch idle(config.get()); }
    EXPECT_EQ(readFile(mainPath() + ".bak"), before);
    // A reset of the performance file drops a save noted before it.
    {
        Config::SaveBatch batch(config.get());
        config->savePerf();
        config->resetPerf();
    }
    EXPECT_FALSE(fileExists(perfPath()));
    Config::SaveBatch none(nullptr);
}

TEST_F(ConfigFile, AFailedWriteKeepsTheFileAndItsBackup) {
    std::unique_ptr<Config> config = start();
    config->save();
    std::string before = mainFile();
    std::string backup = readFile(mainPath() + ".bak");
    ASSERT_EQ(::mkdir((mainPath() + ".tmp").c_str(), 0755), 0); // nothing can be written there

    config->modbusAddress.set(99);

    EXPECT_EQ(mainFile(), before);
    EXPECT_EQ(readFile(mainPath() + ".bak"), backup);
    EXPECT_EQ(board.logLinesWith(LOG_ERR, "cannot write " + mainPath() + ".tmp: Is a directory").size(), 1u);
}

TEST_F(ConfigFile, TheThermometerIdFileWinsAndIsCreatedFromTheConfiguration) {
    std::string idFile = board.path("/etc/thermSensorId");
    writeMain("<InputsOutputs><thermSensorId>28-00000a</thermSensorId></InputsOutputs>");
    EXPECT_EQ(load()->thermSensorId, "28-00000a");
    EXPECT_EQ(readFile(idFile), "28-00000a\n");

    writeFile(idFile, "  28-00000b \n28-ignored\n");
    EXPECT_EQ(load()->thermSensorId, "28-00000b");

    writeMain("<InputsOutputs><thermSensorId></thermSensorId></InputsOutputs>");
    EXPECT_EQ(load()->thermSensorId, "28-00000b");
    ::unlink(idFile.c_str());
    EXPECT_EQ(load()->thermSensorId, "");
    EXPECT_FALSE(fileExists(idFile));

    writeFile(idFile, "28-00000c\n");
    writeMain("<common/>"); // without its group neither the element nor the file is read
    EXPECT_EQ(load()->thermSensorId, "");
}

TEST_F(ConfigFile, ThePerformanceFileIsLoadedSavedAndReset) {
    writeFile(perfPath(), "<?xml version=\"1.0\"?>\n<perf_params><selectedDrive2>1</selectedDrive2>"
                          "<freqDrive1>41.5</freqDrive1><other>x</other></perf_params>\n");
    writeMain("<drive2><minFreq>20</minFreq><maxFreq>45</maxFreq></drive2>");
    std::unique_ptr<Config> config = start();
    EXPECT_EQ(config->selectedDrive2.current, 1);
    EXPECT_EQ(config->freqDrive1.value, 41.5f);
    EXPECT_EQ(config->freqDrive2.value, -1);

    config->freqDrive2.set(30);
    EXPECT_FALSE(contains(readFile(perfPath()), "<freqDrive2>30</freqDrive2>")); // the controller saves it
    config->savePerf();
    EXPECT_TRUE(contains(readFile(perfPath()), "<other>x</other>"));
    EXPECT_TRUE(contains(readFile(perfPath()), "<freqDrive2>30</freqDrive2>"));
    ASSERT_TRUE(fileExists(perfPath() + ".bak"));
    journalClose();
    ::unlink(board.path("/var/log/events").c_str());

    config->resetPerf();

    EXPECT_FALSE(fileExists(perfPath()));
    EXPECT_FALSE(fileExists(perfPath() + ".bak"));
    EXPECT_EQ(config->selectedDrive2.current, 0);
    EXPECT_EQ(config->freqDrive1.value, 36); // (22 + 50) / 2 + 0.5, truncated
    EXPECT_EQ(config->freqDrive2.value, 33); // (20 + 45) / 2 + 0.5, truncated
    EXPECT_EQ(journal(),
              (std::vector<std::string>{"Настройка 'selectedDrive2' изменена: 'Выбран' --> 'Не выбран'",
                                        "Настройка 'freqDrive1' изменена: 41.50 --> 36.00",
                                        "Настройка 'freqDrive2' изменена: 30.00 --> 33.00"}));
    config->savePerf();
    EXPECT_FALSE(contains(readFile(perfPath()), "<other>"));
    EXPECT_TRUE(contains(readFile(perfPath()), "<freqDrive1>36</freqDrive1>"));
}

TEST_F(ConfigFile, TheManualModeSwitchesAreNeverStored) {
    std::unique_ptr<Config> config = start();
    config->manualNoLimits.set(0);
    config->save();
    EXPECT_FALSE(contains(mainFile(), "manualNoLimits"));
    EXPECT_FALSE(contains(mainFile(), "manualReverseStart"));
    gConfig = nullptr;
    EXPECT_EQ(load()->manualNoLimits.current, 1);
}

} // namespace
