#include "drive/drive_poll_table.h"

#include <cstddef>

namespace {

template <size_t N> const DrivePollStep* findStep(const DrivePollStep (&steps)[N], int step) {
    for (const DrivePollStep& row : steps)
        if (row.step == step)
            return &row;
    return nullptr;
}

} // namespace

const DrivePollStep* drivePollStep(int step) {
    if (step >= kSecondModelFirstStep)
        return findStep(kSecondModelPolls, step);
    return findStep(kFirstModelPolls, step);
}
