#include "config/overloaded.h"
#include "tests/config/config_fixture.h"

#include <cstring>
#include <set>

namespace {

using Catalogue = ConfigFixture;

const void* address(const SettingEntry& entry) {
    return std::visit([](auto* setting) { return static_cast<const void*>(setting); }, entry.setting);
}

// Whether a setting holds the default of its catalogue row.
bool holdsItsDefault(const SettingEntry& entry) {
    const SettingValueRule& rule = entry.info->value;
    return std::visit(Overloaded{
                          [&](ConfigFloat* number) {
                              return number->value == static_cast<float>(rule.defaultValue) &&
                                     number->minValue == rule.minValue && number->maxValue == rule.maxValue;
                          },
                          [](ConfigString* text) { return text->value.empty(); },
                          [&](ConfigSelect* select) { return select->current == rule.defaultValue; },
                          [&](ConfigFlagsGroup* flags) { return flags->mask == rule.defaultMask; },
                          [](std::string* text) { return text->empty(); },
                      },
                      entry.setting);
}

TEST_F(Catalogue, EveryMemberHasOneRowAndAFreshConfigHoldsTheDefaultsOfTheRows) {
    std::unique_ptr<Config> config = load();
    std::set<const void*> members;
    size_t mainFileSettings = 0;
    for (const SettingEntry& entry : config->settings()) {
        members.insert(address(entry));
        EXPECT_TRUE(holdsItsDefault(entry)) << entry.info->key;
        EXPECT_EQ(entry.info->label == nullptr, entry.info->value.kind == SettingKind::PlainText);
        mainFileSettings += entry.group->store == SettingStore::MainFile;
    }
    EXPECT_EQ(config->settings().size(), 110u);
    EXPECT_EQ(members.size(), 110u);
    EXPECT_EQ(mainFileSettings, 102u);
    EXPECT_EQ(settingGroups().size(), 11u);
}

TEST_F(Catalogue, SettingsCarryTheirLabelsRangesAndOptions) {
    std::unique_ptr<Config> config = load();
    EXPECT_EQ(config->modbusAddress.label, "Адрес MODBUS");
    EXPECT_EQ(config->modbusAddress.value, 52);
    EXPECT_EQ(config->modbusAddress.maxValue, 247);
    EXPECT_EQ(config->nSwings.minValue, 0.2f);
    EXPECT_EQ(config->kNapol.value, 0.7f);
    EXPECT_EQ(config->cylinderArea.value, 82.47f);
    EXPECT_EQ(config->delayEV1EV2.minValue, -1);
    EXPECT_EQ(config->delayTDP.label, "Вермя задержки в ВМТ");
    EXPECT_EQ(config->stopDrive.options, (std::vector<std::string>{"остановить", "нет"}));
    EXPECT_EQ(config->modbusSpeed.current, 5);
    EXPECT_EQ(config->modbusSpeed.currentText(), "9600");
    EXPECT_EQ(config->modbusSpeed.options.size(), 10u);
    EXPECT_EQ(config->lowerFreqOnOverload.currentText(), "Нет");
    EXPECT_EQ(config->canSepStart.currentText(), "Вкл.");
    EXPECT_EQ(config->pu1Mode.options.size(), 3u);
    EXPECT_EQ(config->timeZone.current, 38);
    EXPECT_EQ(config->decelTimeDrive1.label, "Время торможения двигателя 1");
    EXPECT_EQ(config->modbusAddrDrive2.value, 2);
    EXPECT_EQ(config->typeDrive2.options[1], "Delta VFD900CP43A");
    EXPECT_EQ(config->workControl.options.size(), 37u);
    EXPECT_EQ(config->workControl.options[36], "Неисправность системы охлаждения");
    EXPECT_EQ(config->manualReverseStart.currentText(), "Откл.");
    EXPECT_EQ(config->selectedValve1.options, (std::vector<std::string>{"не выбран", "выбран"}));
    EXPECT_EQ(config->freqDrive1.value, -1); // below its range: nothing clamps a default
    EXPECT_EQ(config->freqDrive1.label, "freqDrive1");
}

TEST_F(Catalogue, TheFlagDefaultsMakeTheDefaultMask) {
    std::unique_ptr<Config> config = load();
    const SettingValueRule& rule = config->find("InputsOutputs", "workControl")->info->value;
    uint64_t mask = 0;
    for (size_t i = 0; i < rule.flagCount; ++i)
        mask |= static_cast<uint64_t>(rule.flags[i].defaultOn) << i;
    EXPECT_EQ(mask, 0xcb9fffu);
    EXPECT_EQ(config->workControl.mask, 13344767u);
}

TEST_F(Catalogue, SettingsAreFoundByGroupAndKeyOrByWebName) {
    std::unique_ptr<Config> config = load();
    const SettingEntry* minFreq2 = config->find("drive2", "minFreq");
    ASSERT_NE(minFreq2, nullptr);
    EXPECT_EQ(std::get<ConfigFloat*>(minFreq2->setting), &config->minFreqDrive2);
    EXPECT_EQ(config->findByWebName("minFreqDrive2"), minFreq2);
    EXPECT_EQ(std::get<ConfigFloat*>(config->findByWebName("ns")->setting), &config->nSwings);
    EXPECT_EQ(std::get<ConfigSelect*>(config->findByWebName("interMode")->setting),
              &config->intersectionMode);
    EXPECT_EQ(std::get<ConfigFloat*>(config->find(nullptr, "freqDrive2")->setting), &config->freqDrive2);
    EXPECT_EQ(config->find("common", "freqDrive2"), nullptr);
    EXPECT_EQ(config->find("drive3", "minFreq"), nullptr);
    EXPECT_EQ(config->findByWebName("nSwings"), nullptr);
    EXPECT_EQ(config->findByWebName(""), nullptr);

    std::set<std::string> webNames;
    for (const SettingEntry& entry : config->settings()) {
        if (entry.info->webName) {
            EXPECT_TRUE(webNames.insert(entry.info->webName).second) << entry.info->webName;
        }
    }
    EXPECT_EQ(webNames.size(), 103u); // all but the thermometer id and the performance settings
}

TEST_F(Catalogue, PanelEditorsCarryDecimalsAndSpecialTexts) {
    std::unique_ptr<Config> config = load();
    const PanelEdit& gMax = config->findByWebName("gMax")->info->panel;
    EXPECT_EQ(gMax.editor, PanelEditor::Number);
    EXPECT_EQ(gMax.decimals, 2);
    EXPECT_STREQ(gMax.specialText, "Не учитывать");
    EXPECT_EQ(gMax.specialValue, config->gMax.minValue);
    const PanelEdit& decel = config->findByWebName("decelTimeDrive2")->info->panel;
    EXPECT_STREQ(decel.specialText, "Свободный выбег");
    EXPECT_EQ(decel.specialValue, config->decelTimeDrive2.minValue);
    EXPECT_STREQ(config->findByWebName("pressureSmoothing")->info->panel.specialText, "Не сглаживать");
    EXPECT_EQ(config->findByWebName("numARA")->info->panel.decimals, 0);
    EXPECT_EQ(config->findByWebName("pdpType")->info->panel.editor, PanelEditor::List);
    EXPECT_EQ(config->findByWebName("apn")->info->panel.editor, PanelEditor::Text);
    EXPECT_EQ(config->findByWebName("workControl")->info->panel.editor, PanelEditor::CheckBoxes);
    EXPECT_EQ(config->findByWebName("pu2pu1FreqRatio")->info->panel.editor, PanelEditor::None);
    EXPECT_EQ(config->find("InputsOutputs", "thermSensorId")->info->panel.editor, PanelEditor::None);
}

TEST_F(Catalogue, FactoryResetVisitsTheSettingsInMemberOrder) {
    std::unique_ptr<Config> config = start();
    config->dynoType.set(1);
    config->manualNoLimits.set(0);
    config->timeZone.set(30);
    config->minFreqDrive2.set(30);
    config->modbusAddress.set(7);
    config->wellName.set("Скв. 9");
    config->workControl.setAll(3);
    config->thermSensorId = "28-0000";
    config->freqDrive1.set(33);
    journalClose();
    ::unlink(board.path("/var/log/events").c_str());

    config->factoryReset();

    EXPECT_EQ(journal(),
              (std::vector<std::string>{
                  "Настройка 'Наименование скважины' изменена: 'Скв. 9' --> ''",
                  "Настройка 'Адрес MODBUS' изменена: 7.00 --> 52.00",
                  "Настройка 'Минимальная частота двигателя 2' изменена: 30.00 --> 22.00",
                  "Настройка 'Часовой пояс' изменена: 'UTC+01:00 (Берлин, Амстердам)' --> "
                  "'UTC+05:00 (Екатеринбург, Ташкент)'",
                  "Настройка 'Представление динамограммы' изменена: 'В виде цикла' --> 'В виде графика'",
                  "Настройка 'Работа без ограничений' изменена: 'Вкл.' --> 'Откл.'",
              }));
    EXPECT_EQ(board.logLinesWith(LOG_INFO, "Сброс к заводским настройкам").size(), 1u);
    EXPECT_EQ(config->workControl.mask, 3u);
    EXPECT_EQ(config->thermSensorId, "28-0000");
    EXPECT_EQ(config->freqDrive1.value, 33);
    EXPECT_TRUE(contains(mainFile(), "<dynoType>0</dynoType>"));
    EXPECT_TRUE(contains(mainFile(), "<timeZone>YEKT-5</timeZone>"));
}

} // namespace
