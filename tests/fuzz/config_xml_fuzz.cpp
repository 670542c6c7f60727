// The configuration loader: any main file loads into valid settings (falling back to its backup or
// the defaults when it cannot be read), and what was loaded, saved and loaded again holds the same
// values, saved as the same file.

#include "config/storable_text.h"
#include "tests/fuzz/fuzz_board.h"
#include "tests/fuzz/fuzz_config.h"

#include <cstddef>
#include <cstdint>
#include <regex>
#include <sstream>

namespace {

// Every setting's value as text, in catalogue order.
std::string valuesOf(const Config& config) {
    std::ostringstream values;
    values.precision(9);
    for (const SettingEntry& entry : config.settings()) {
        values << entry.info->key << '=';
        if (auto* number = std::get_if<ConfigFloat*>(&entry.setting))
            values << (*number)->value;
        else if (auto* text = std::get_if<ConfigString*>(&entry.setting))
            values << (*text)->value;
        else if (auto* select = std::get_if<ConfigSelect*>(&entry.setting))
            values << (*select)->current;
        else if (auto* flags = std::get_if<ConfigFlagsGroup*>(&entry.setting))
            values << (*flags)->mask;
        else if (auto* plain = std::get_if<std::string*>(&entry.setting))
            values << **plain;
        values << '\n';
    }
    values << "thermSensorId=" << config.thermSensorId << '\n';
    return values.str();
}

// The file without the white space between one tag and the next.
std::string withoutLayout(const std::string& file) {
    static const std::regex kBlankBetweenTags(">[ \t\r\n]+<");
    return std::regex_replace(file, kBlankBetweenTags, "><");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzBoard& board = FuzzBoard::get();
    board.clearLog();
    std::string mainFile(reinterpret_cast<const char*>(data), size);
    // The input replaces the main file; its backup is the saved defaults. (The Config of the previous
    // input writes nothing when freshConfig destroys it, so the backup can be written first.)
    writeWholeFile(board.path("/etc/velkord.bak"), defaultMainFile());
    std::unique_ptr<Config>& first = freshConfig(&mainFile);
    std::string offender;
    FUZZ_CHECK(settingsValid(*first, offender), offender + " holds an invalid value");
    std::string values = valuesOf(*first);
    first->save();
    std::string saved = readWholeFile(board.path("/etc/velkord"));

    Config second(board.path("/etc/velkord"), board.path("/etc/velkord_perf"));
    FUZZ_CHECK(valuesOf(second) == values, "the saved file loads other values");
    second.save();
    std::string resaved = readWholeFile(board.path("/etc/velkord"));
    if (resaved == saved)
        return 0;
    // Blank text beside elements in the input ("<config> <common>") is kept by the first load, which
    // then writes the file unindented, and dropped by the next load: only the layout may change, and
    // from the second save on the file stays as it is.
    FUZZ_CHECK(withoutLayout(resaved) == withoutLayout(saved), "saving again changed more than the layout");
    Config third(board.path("/etc/velkord"), board.path("/etc/velkord_perf"));
    FUZZ_CHECK(valuesOf(third) == values, "the file saved twice loads other values");
    third.save();
    FUZZ_CHECK(readWholeFile(board.path("/etc/velkord")) == resaved,
               "saving a third time wrote another file");
    return 0;
}
