#include "tests/support/emulation.h"

namespace {

// What emulated code costs against native code on a loaded two-core machine, with room to spare.
constexpr int kEmulatorSlowdown = 5;

} // namespace

bool underEmulator() {
    return sizeof(VELKORD_TEST_EMULATOR) > 1;
}

int realTimeLimit(int nativeLimit) {
    return underEmulator() ? nativeLimit * kEmulatorSlowdown : nativeLimit;
}
