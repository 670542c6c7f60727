#pragma once
// The panel drawings of the kept dynamograms: each record that joins the completed ones is drawn on a
// layer of its own, the newest visible, at most as many as the drive keeps.

#include "drive/dynamogram_record.h"
#include "ui/layer.h"

#include <cstddef>
#include <deque>
#include <utility>

class DynamogramPlots : public DynamogramObserver {
public:
    static constexpr size_t kKept = 10;
    // Without a display the plots are drawn 240 x 64 without texts.
    static constexpr int kPlotWidth = 240;
    static constexpr int kPlotHeight = 64;

    void dynamogramCompleted(const DynamogramRecord& record, float fillFactor) override;
    // The drawing of a kept record, or nullptr.
    const Layer* plotOf(const DynamogramRecord& record) const;

private:
    std::deque<std::pair<const DynamogramRecord*, Layer>> plots_;
};
