// Configuration files written by hand or by an attacker: numbers out of range or not numbers at all,
// entities, oversized files, texts the setters refuse, a directory where the main file belongs. The
// real loader on real files in the sandbox.

#include "tests/config/config_fixture.h"

#include <sys/stat.h>

namespace {

using HostileConfigFile = ConfigFixture;

TEST_F(HostileConfigFile, NumbersOutsideTheirRangeAreClampedWithOneWarningEach) {
    writeMain("<common><modbusAddress>300</modbusAddress></common>"
              "<drive1><minFreq>150</minFreq><modbusAddr>1e30</modbusAddr></drive1>"
              "<InputsOutputs><oilSensorDelay>3e38</oilSensorDelay></InputsOutputs>"
              "<performance><nSwings>-7</nSwings><nsMin>0.2</nsMin></performance><manualMode/>");
    std::unique_ptr<Config> config = load();

    EXPECT_EQ(config->modbusAddress.value, 247);
    EXPECT_EQ(config->minFreqDrive1.value, 50); // clamped to 100, then down to the drive's maximum
    EXPECT_EQ(config->modbusAddrDrive1.value, 254);
    EXPECT_EQ(config->oilSensorDelay.value, 60);
    EXPECT_EQ(config->nSwings.value, 0.2f);
    EXPECT_EQ(config->nsMin.value, 0.2f); // in range: as read, no warning
    std::vector<std::string> expected{
        "'modbusAddress' value '300' is out of range, using 247",
        "'nSwings' value '-7' is out of range, using 0.2",
        "'minFreq' value '150' is out of range, using 100",
        "'modbusAddr' value '1e30' is out of range, using 254",
        "'oilSensorDelay' value '3e38' is out of range, using 60",
    };
    std::vector<std::string> warnings;
    for (const std::string& line : board.logLinesWith(LOG_WARNING, "is out of range"))
        warnings.push_back(line.substr(line.find(": ") + 2));
    EXPECT_EQ(warnings, expected);
    EXPECT_EQ(
        board.logLinesWith(LOG_WARNING, "'minFreq' of drive 1 (100) is above its 'maxFreq', using 50").size(),
        1u);
    EXPECT_TRUE(journal().empty());
}

TEST_F(HostileConfigFile, AMinimumFrequencyAboveTheMaximumComesDownToIt) {
    writeMain("<drive1><minFreq>60</minFreq><maxFreq>40</maxFreq></drive1>"
              "<drive2><minFreq>30</minFreq><maxFreq>40</maxFreq></drive2>");
    std::unique_ptr<Config> config = load();
    EXPECT_EQ(config->minFreqDrive1.value, 40);
    EXPECT_EQ(config->maxFreqDrive1.value, 40);
    EXPECT_EQ(config->minFreqDrive2.value, 30); // in order: as read
    EXPECT_EQ(board.logLinesWith(LOG_WARNING, "is above its 'maxFreq'").size(), 1u);
}

TEST_F(HostileConfigFile, ChoicesAndFlagsThatAreNoNumberKeepTheirDefaults) {
    writeMain("<common><stopDrive>nan</stopDrive></common>"
              "<InputsOutputs><modbusSpeed>abc</modbusSpeed><workControl>lots</workControl></InputsOutputs>");
    std::unique_ptr<Config> defaults = load();
    EXPECT_EQ(defaults->modbusSpeed.current, defaults->modbusSpeed.defaultIndex);
    EXPECT_NE(defaults->modbusSpeed.current, 0); // option 0 (300 baud) is not the default
    EXPECT_EQ(defaults->stopDrive.current, defaults->stopDrive.defaultIndex);
    EXPECT_EQ(defaults->workControl.mask, 0xcb9fffu); // not every flag off
    EXPECT_EQ(board.logLinesWith(LOG_WARNING, "is not a number, using default").size(), 3u);

    writeMain("<InputsOutputs><modbusSpeed>99</modbusSpeed></InputsOutputs>");
    board.clearLog();
    std::unique_ptr<Config> outOfRange = load();
    EXPECT_EQ(outOfRange->modbusSpeed.current, outOfRange->modbusSpeed.defaultIndex);
    EXPECT_EQ(
        board.logLinesWith(LOG_WARNING, "'modbusSpeed' value '99' is out of range, using default").size(),
        1u);
}

TEST_F(HostileConfigFile, WhatIsNoFiniteNumberTakesTheDefault) {
    writeMain("<performance><nSwings>nan</nSwings><nsMin>inf</nsMin><nsMax>abc</nsMax></performance>"
              "<smartMode><kNapol>-inf</kNapol></smartMode><common><modbusAddress></modbusAddress></common>");
    std::unique_ptr<Config> config = load();

    EXPECT_EQ(config->nSwings.value, 3);
    EXPECT_EQ(config->nsMin.value, 1);
    EXPECT_EQ(config->nsMax.value, 4);
    EXPECT_EQ(config->kNapol.value, 0.7f);
    EXPECT_EQ(config->modbusAddress.value, 52);
    EXPECT_EQ(board.logLinesWith(LOG_WARNING, "is not a number, using default").size(), 5u);
    EXPECT_EQ(board.logLinesWith(LOG_WARNING, "'nsMax' value 'abc' is not a number, using default 4").size(),
              1u);
}

TEST_F(HostileConfigFile, ADefaultOutsideItsRangeIsKeptAsRead) {
    std::unique_ptr<Config> config = load(); // writes the performance file with freqDrive1 -1
    config.reset();
    board.clearLog();
    config = load();
    EXPECT_EQ(config->freqDrive1.value, -1);
    EXPECT_TRUE(board.logLinesWith(LOG_WARNING, "out of range").empty());
}

TEST_F(HostileConfigFile, ValuesSurviveAnyNumberOfRestartsUnchanged) {
    {
        std::unique_ptr<Config> config = start();
        config->gMax.set(19999.99f);
        config->gMin.set(10000.01f);
        config->nsCorrectionInterval.set(1234.56f);
    }
    for (int restart = 0; restart < 3; ++restart) {
        gConfig = nullptr;
        std::unique_ptr<Config> config = start();
        config->save();
        EXPECT_EQ(config->gMax.value, 19999.99f);
        EXPECT_EQ(config->gMin.value, 10000.01f);
        EXPECT_EQ(config->nsCorrectionInterval.value, 1234.56f);
    }
    EXPECT_TRUE(contains(mainFile(), "<gMax>19999.99</gMax>"));
    EXPECT_TRUE(contains(mainFile(), "<gMin>10000.01</gMin>"));
    EXPECT_TRUE(contains(mainFile(), "<cylinderArea>82.47</cylinderArea>"));
    EXPECT_TRUE(contains(mainFile(), "<decelTimeDrive>0.09</decelTimeDrive>"));
}

TEST_F(HostileConfigFile, FilesWrittenWithSixDigitsStillLoad) {
    writeMain("<driveSettings><gMax>20000</gMax><gMin>1.5e+03</gMin></driveSettings>"
              "<performance><nSwings>4.24000</nSwings></performance>");
    std::unique_ptr<Config> config = load();
    EXPECT_EQ(config->gMax.value, 20000);
    EXPECT_EQ(config->gMin.value, 1500);
    EXPECT_EQ(config->nSwings.value, 4.24f);
}

// A well name that refers to a 100 KB entity a thousand times.
std::string entityBomb() {
    std::string file = "<?xml version=\"1.0\"?>\n<!DOCTYPE config [<!ENTITY big \"" +
                       std::string(100 * 1024, 'x') + "\">]>\n<config><common><wellName>";
    for (int i = 0; i < 1000; ++i)
        file += "&big;";
    return file + "</wellName><modbusAddress>17</modbusAddress></common></config>\n";
}

TEST_F(HostileConfigFile, ADocumentDeclaringEntitiesIsRefusedAndTheBackupUsed) {
    {
        std::unique_ptr<Config> config = start();
        config->modbusAddress.set(33);
        config->save(); // the backup holds 33 too
    }
    gConfig = nullptr;
    writeFile(mainPath(), entityBomb());
    std::unique_ptr<Config> config = start();

    EXPECT_EQ(config->modbusAddress.value, 33);
    EXPECT_EQ(config->wellName.value, "");
    EXPECT_EQ(board.logLinesWith(LOG_ERR, "refusing " + mainPath() + ": it declares entities").size(), 1u);
    config->save();
    EXPECT_LT(readFile(mainPath()).size(), 16384u);
}

TEST_F(HostileConfigFile, AnEntityReferenceIsNeverExpanded) {
    // An external entity declared in the external subset, which is never loaded: the reference stays
    // a reference and reads as nothing.
    writeFile(board.path("/etc/secret"), "top secret");
    writeFile(mainPath(), "<?xml version=\"1.0\"?>\n<!DOCTYPE config SYSTEM \"" + board.path("/etc/dtd") +
                              "\">\n<config><common><wellName>a&ext;b</wellName></common></config>\n");
    writeFile(board.path("/etc/dtd"), "<!ENTITY ext SYSTEM \"" + board.path("/etc/secret") + "\">");
    std::unique_ptr<Config> config = load();
    EXPECT_EQ(config->wellName.value.find("secret"), std::string::npos) << config->wellName.value;
}

TEST_F(HostileConfigFile, OversizedFilesAreNeitherLoadedNorWritten) {
    // Larger than any configuration: refused at once, the defaults are used.
    writeMain("<common><modbusAddress>17</modbusAddress><big>" + std::string(kMaxXmlFileBytes, 'x') +
              "</big></common>");
    std::unique_ptr<Config> config = load();
    EXPECT_EQ(config->modbusAddress.value, 52);
    EXPECT_FALSE(board.logLinesWith(LOG_ERR, "refusing " + mainPath() + ": larger than").empty());
    config.reset();

    // Just small enough to load, but every setting written into it would make it too large to save.
    writeMain("<common><modbusAddress>17</modbusAddress></common><unknown>" +
              std::string(kMaxXmlFileBytes - 200, 'y') + "</unknown>");
    std::string before = mainFile();
    config = start();
    EXPECT_EQ(config->modbusAddress.value, 17);
    config->modbusAddress.set(18);
    EXPECT_EQ(mainFile(), before);
    EXPECT_EQ(board.logLinesWith(LOG_ERR, "not saving " + mainPath() + ":").size(), 1u);
}

TEST_F(HostileConfigFile, TextsTheSettersRefuseTakeTheDefault) {
    writeMain("<common><wellName>a&#9;b</wellName><wellComment>line&#10;break</wellComment>"
              "<apn>" +
              std::string(2000, 'a') +
              "</apn></common>"
              "<InputsOutputs><thermSensorId>28-&#13;x</thermSensorId></InputsOutputs>");
    std::unique_ptr<Config> config = load();

    EXPECT_EQ(config->wellName.value, "");
    EXPECT_EQ(config->wellComment.value, "");
    EXPECT_EQ(config->apn.value, config->apn.defaultValue);
    EXPECT_EQ(config->thermSensorId, "");
    EXPECT_EQ(
        board.logLinesWith(LOG_WARNING, "is not UTF-8, holds a control character or is too long").size(), 3u);
}

TEST_F(HostileConfigFile, AMainFileThatIsADirectoryIsLoggedAndTheSettingsGoToTheBackup) {
    ASSERT_EQ(::mkdir(mainPath().c_str(), 0755), 0);
    {
        std::unique_ptr<Config> config = start();
        config->modbusAddress.set(77);
        EXPECT_FALSE(
            board.logLinesWith(LOG_ERR, "saved the settings to " + mainPath() + ".bak instead").empty());
    }
    gConfig = nullptr;
    std::unique_ptr<Config> config = load();
    EXPECT_EQ(config->modbusAddress.value, 77);
    EXPECT_FALSE(fileExists(mainPath() + ".tmp"));
}

} // namespace
