// A short seeded mutation run over the configuration loader: a saved main file, mutated and spliced
// with hostile fragments, loaded by the real loader; whatever it holds, the settings come out valid.

#include "config/storable_text.h"
#include "tests/config/config_fixture.h"

#include <random>

namespace {

constexpr uint32_t kSeed = 20261207;
constexpr int kMutations = 1000;

const char* const kFragments[] = {
    "<!DOCTYPE config [<!ENTITY e \"xxxxxxxx\">]>",
    "&e;",
    "&#9;",
    "&#x0;",
    "&#1114111;",
    "nan",
    "-inf",
    "1e39",
    "-3e38",
    "0x7fffffff",
    "-",
    "<![CDATA[a]]>",
    "&amp;",
    "\xff\xfe",
    "\xc3\x28",
    "</common>",
    "<common>",
    "<wellName>",
    "</wellName>",
    "<timeZone>",
    "<workControl>18446744073709551615</workControl>",
    "<modbusAddress>300</modbusAddress>",
    "<?xml version=\"1.0\"?>",
    "<!-- c -->",
    "<x a='1' a='2'/>",
};

class ConfigFuzz : public ConfigFixture {
protected:
    static std::string mutated(std::string text, std::mt19937& random) {
        int count = 1 + static_cast<int>(random() % 2);
        for (int i = 0; i < count; ++i) {
            size_t at = text.empty() ? 0 : random() % text.size();
            // Half of the mutations replace a value, so many files stay well-formed.
            switch (random() % 8) {
            case 0:
                if (!text.empty())
                    text[at] = static_cast<char>(random());
                break;
            case 1:
                text.insert(at, kFragments[random() % std::size(kFragments)]);
                break;
            case 2:
                text.erase(at, 1 + random() % 64);
                break;
            case 3:
            case 4:
            case 5:
            case 6: {
                // A value of some element replaced.
                size_t close = text.find("</", at);
                size_t open = close == std::string::npos ? close : text.rfind('>', close);
                if (open != std::string::npos && open < close)
                    text.replace(open + 1, close - open - 1, kFragments[random() % std::size(kFragments)]);
                break;
            }
            default:
                text.insert(at, text.substr(random() % text.size(), 1 + random() % 256));
                break;
            }
        }
        return text;
    }

    static ::testing::AssertionResult valid(const Config& config) {
        for (const SettingEntry& entry : config.settings()) {
            if (auto* number = std::get_if<ConfigFloat*>(&entry.setting)) {
                const ConfigFloat& n = **number;
                if (!(n.value >= n.minValue && n.value <= n.maxValue) && n.value != n.defaultValue)
                    return ::testing::AssertionFailure() << entry.info->key << " = " << n.value;
            } else if (auto* text = std::get_if<ConfigString*>(&entry.setting)) {
                if (!isStorableText((*text)->value))
                    return ::testing::AssertionFailure() << entry.info->key << " holds an unstorable text";
            } else if (auto* select = std::get_if<ConfigSelect*>(&entry.setting)) {
                int32_t current = (*select)->current;
                if (current < 0 || static_cast<size_t>(current) >= (*select)->options.size())
                    return ::testing::AssertionFailure() << entry.info->key << " index " << current;
            }
        }
        if (!config.thermSensorId.empty() && !isStorableText(config.thermSensorId))
            return ::testing::AssertionFailure() << "thermSensorId holds an unstorable text";
        return ::testing::AssertionSuccess();
    }
};

TEST_F(ConfigFuzz, MutatedMainFilesLoadIntoValidSettings) {
    {
        std::unique_ptr<Config> config = start();
        config->wellName.set("Скв. 12");
        config->save(); // a good backup, so no load falls through to writing a default file
    }
    gConfig = nullptr;
    std::string seed = mainFile();
    std::mt19937 random(kSeed);
    int loadedMain = 0;
    for (int i = 0; i < kMutations; ++i) {
        board.clearLog();
        writeFile(mainPath(), mutated(seed, random));
        std::unique_ptr<Config> config = load();
        ASSERT_TRUE(valid(*config)) << "mutation " << i;
        loadedMain += board.logLinesWith(LOG_ERR, "error opening " + mainPath() + ",").empty();
    }
    // Many mutations keep the file well-formed, many do not; both paths ran.
    EXPECT_GT(loadedMain, kMutations / 10);
    EXPECT_LT(loadedMain, kMutations);
}

} // namespace
