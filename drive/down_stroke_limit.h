#pragma once
// How long a down stroke may last before it is reversed without a bottom signal (the longDownTurn
// state timer), and the mark of a limit taken from the stroke rate (alarm 26), held to the end of the
// stroke it was computed for.

#include "drive/supervision_actions.h"

#include <cstdint>

class DownStrokeLimit {
public:
    explicit DownStrokeLimit(SupervisionActions& actions) : actions_(actions) {}

    // The limit of a down stroke beginning now, from the last up and down strokes' lengths (ms).
    uint32_t limitMs(uint32_t upStrokeMs, uint32_t downStrokeMs);
    // A bottom-sensor fault cleared during a descent: the rate's limit is marked when it now applies.
    void reevaluate(uint32_t upStrokeMs, uint32_t downStrokeMs);
    // The descent ended (or there is none to limit).
    void descentOver() { inForce_ = false; }
    // A down stroke begins: it carries the mark of the limit computed for it.
    void strokeBegins() { markedThisStroke_ = inForce_; }
    bool markedThisStroke() const { return markedThisStroke_; }

private:
    bool brokenSensorLimitApplies() const;
    bool strokeRateLimitApplies(uint32_t upStrokeMs, uint32_t downStrokeMs) const;
    void mark();

    SupervisionActions& actions_;
    // The current down stroke's limit came from the required stroke rate.
    bool inForce_ = false;
    bool markedThisStroke_ = false;
};
