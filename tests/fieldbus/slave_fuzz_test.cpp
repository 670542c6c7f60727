// A short seeded mutation run over the slave's request handling: requests of every function, mutated
// byte by byte, must each get nothing or a well-formed answer, and leave every setting valid.

#include "config/storable_text.h"
#include "tests/fieldbus/slave_fixture.h"

#include <random>

namespace {

constexpr uint32_t kSeed = 20261207;
constexpr int kMutations = 4000;
// The longest answer: a read of 127 registers.
constexpr size_t kLongestAnswer = 3 + 2 * 127;

class SlaveFuzz : public SlaveFixture {
protected:
    std::vector<Bytes> seeds() {
        Bytes coils = pdu(15, {0, 12});
        coils.insert(coils.end(), {2, 0xA5, 0x0F});
        return {pdu(1, {0, 37}),
                pdu(2, {0, 6}),
                pdu(3, {0, 127}),
                pdu(3, {256, 107}),
                pdu(4, {0, 22}),
                pdu(5, {3, 0xFF00}),
                pdu(6, {259, 424}),
                pdu(6, {0, 0x4142}),
                coils,
                writeRegisters(266, {1, 2}),
                writeRegisters(126, {0x4142, 0x4344, 0x4546, 0x4748}),
                writeRegisters(309, {1, 2, 3, 4, 5, 6, 7})};
    }

    // One to four mutations: a byte changed, inserted or removed, a tail cut, a 16-bit field set to a
    // boundary, a run repeated.
    static Bytes mutated(Bytes request, std::mt19937& random) {
        static const uint16_t kBoundaries[] = {0,   1,   36,  37,   127,    128,   255,
                                               256, 362, 363, 2032, 0x7FFF, 0xFFFF};
        int count = 1 + static_cast<int>(random() % 4);
        for (int i = 0; i < count; ++i) {
            size_t at = request.empty() ? 0 : random() % request.size();
            switch (random() % 6) {
            case 0:
                if (!request.empty())
                    request[at] = static_cast<uint8_t>(random());
                break;
            case 1:
                request.insert(request.begin() + static_cast<ptrdiff_t>(at), static_cast<uint8_t>(random()));
                break;
            case 2:
                if (!request.empty())
                    request.erase(request.begin() + static_cast<ptrdiff_t>(at));
                break;
            case 3:
                request.resize(at);
                break;
            case 4:
                if (at + 1 < request.size()) {
                    uint16_t value = kBoundaries[random() % std::size(kBoundaries)];
                    request[at] = static_cast<uint8_t>(value >> 8);
                    request[at + 1] = static_cast<uint8_t>(value & 0xFF);
                }
                break;
            default: {
                size_t length = 1 + random() % 8;
                Bytes run(request.begin() + static_cast<ptrdiff_t>(at),
                          request.begin() + static_cast<ptrdiff_t>(std::min(request.size(), at + length)));
                request.insert(request.begin() + static_cast<ptrdiff_t>(at), run.begin(), run.end());
                break;
            }
            }
        }
        return request;
    }

    // Empty, an exception (address, function | 0x80, code 1-3) or a normal answer to the function.
    static ::testing::AssertionResult wellFormed(const Bytes& request, const Bytes& response) {
        if (request.size() < 2 || request[0] == 0)
            return response.empty() ? ::testing::AssertionSuccess()
                                    : ::testing::AssertionFailure() << "answered a broadcast or a fragment";
        if (response.size() < 3 || response[0] != request[0])
            return ::testing::AssertionFailure() << "answer of " << response.size() << " bytes";
        if (response[1] == (request[1] | 0x80))
            return response.size() == 3 && response[2] >= 1 && response[2] <= 3
                       ? ::testing::AssertionSuccess()
                       : ::testing::AssertionFailure() << "malformed exception";
        if (response[1] != request[1] || response.size() > kLongestAnswer)
            return ::testing::AssertionFailure()
                   << "function " << int(response[1]) << ", " << response.size() << " bytes";
        return ::testing::AssertionSuccess();
    }

    ::testing::AssertionResult settingsValid() {
        for (const SettingEntry& entry : config->settings()) {
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
        return ::testing::AssertionSuccess();
    }
};

TEST_F(SlaveFuzz, MutatedRequestsGetNothingOrAWellFormedAnswerAndLeaveTheSettingsValid) {
    // The run's writes are saved once, at its end, not four thousand times.
    Config::SaveBatch batch(config.get());
    std::vector<Bytes> requests = seeds();
    std::mt19937 random(kSeed);
    int answered = 0;
    for (int i = 0; i < kMutations; ++i) {
        Bytes request = mutated(requests[random() % requests.size()], random);
        Bytes response = slave.handleRequest(request);
        ASSERT_TRUE(wellFormed(request, response)) << "mutation " << i;
        answered += !response.empty() && !(response[1] & 0x80);
    }
    ASSERT_TRUE(settingsValid());
    EXPECT_GT(answered, kMutations / 20); // the run reached past the checks
}

} // namespace
