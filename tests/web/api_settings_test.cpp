#include "config/config.h"
#include "tests/support/test_board.h"
#include "web/api_settings.h"

#include <gtest/gtest.h>

namespace {

class ApiSettings : public ::testing::Test {
protected:
    TestBoard board;
    Config config{board.path("/etc/velkord"), board.path("/etc/velkord_perf")};
};

} // namespace

TEST_F(ApiSettings, ParametersHoldEverySettingWithAWebNameByItsKind) {
    config.wellName.set("Скв. 12");
    JsonValue parameters;
    settingsToJson(config, parameters);
    EXPECT_EQ(parameters.members.size(), 103u);
    EXPECT_EQ(parameters["wellName"].text, "Скв. 12");
    EXPECT_EQ(parameters["apn"].type, kJsonString);
    EXPECT_EQ(parameters["ns"].number, static_cast<double>(config.nSwings.value));
    EXPECT_EQ(parameters["pdpType"].number, config.pdpType.current);
    EXPECT_EQ(parameters["workControl"].number, static_cast<double>(config.workControl.mask));
    EXPECT_EQ(parameters["tFanOn"].type, kJsonNumber);
    for (const char* absent : {"nSwings", "thermSensorId", "selectedDrive1", "freqDrive2"})
        EXPECT_EQ(parameters.find(absent), nullptr) << absent;
}

TEST_F(ApiSettings, SetParameterGoesThroughTheSettersByKind) {
    JsonValue response;
    EXPECT_TRUE(setSettingByWebName(config, "pdpType", JsonValue(1.9), response));
    EXPECT_EQ(config.pdpType.current, 1);
    EXPECT_TRUE(setSettingByWebName(config, "ns", JsonValue(5.5), response));
    EXPECT_FLOAT_EQ(config.nSwings.value, 5.5f);
    EXPECT_TRUE(setSettingByWebName(config, "wellComment", JsonValue("у дороги"), response));
    EXPECT_EQ(config.wellComment.value, "у дороги");
    EXPECT_TRUE(setSettingByWebName(config, "workControl", JsonValue(5), response));
    EXPECT_EQ(config.workControl.mask, 5u);
    EXPECT_TRUE(setSettingByWebName(config, "ns", JsonValue(1000), response));
    EXPECT_LE(config.nSwings.value, config.nSwings.maxValue); // the setter's range
    EXPECT_EQ(response.find("error"), nullptr);
    EXPECT_FALSE(setSettingByWebName(config, "nSwings", JsonValue(4), response));
    EXPECT_EQ(response["error"].text, "unknown parameter");
}
