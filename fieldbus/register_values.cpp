#include "fieldbus/register_values.h"

#include <cmath>
#include <limits>

int32_t truncatedToInt(float v) {
    if (std::isnan(v))
        return 0;
    // 2^31 is exactly representable; everything at or beyond it saturates.
    if (v >= 2147483648.0f)
        return std::numeric_limits<int32_t>::max();
    if (v <= -2147483648.0f)
        return std::numeric_limits<int32_t>::min();
    return static_cast<int32_t>(v);
}

int32_t hundredths(float v) {
    float scaled = v * 100.0f; // single precision, as on the board (FLT_EVAL_METHOD 0)
    return truncatedToInt(scaled);
}
