#include "sim/panel_keys.h"

#include <cstdlib>

namespace {

constexpr int kFirstKey = 33;
constexpr int kLastKey = 38;
constexpr uint64_t kKeyBits = ((uint64_t{1} << (kLastKey + 1)) - 1) & ~((uint64_t{1} << kFirstKey) - 1);

const char* const kKeyNames[] = {"cancel", "left", "down", "up", "enter", "right"};

} // namespace

int PanelKeys::keyCode(const std::string& name) {
    for (int i = 0; i <= kLastKey - kFirstKey; ++i)
        if (name == kKeyNames[i])
            return kFirstKey + i;
    char* end = nullptr;
    long code = std::strtol(name.c_str(), &end, 10);
    if (name.empty() || *end != '\0' || code < kFirstKey || code > kLastKey)
        return 0;
    return static_cast<int>(code);
}

void PanelKeys::press(int code) {
    held_ |= uint64_t{1} << code;
}

void PanelKeys::release(int code) {
    held_ &= ~(uint64_t{1} << code);
}

void PanelKeys::tap(int code) {
    if (tapRelease_.armed())
        release(tapped_);
    press(code);
    tapped_ = code;
    tapRelease_.start("sim-key-tap", kTapMs, [this] { release(tapped_); });
}

uint64_t PanelKeys::inputBits() {
    return (inputs_->inputBits() & ~kKeyBits) | (held_ & kKeyBits);
}
