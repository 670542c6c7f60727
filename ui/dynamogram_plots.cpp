#include "ui/dynamogram_plots.h"

#include "ui/display.h"
#include "ui/dynamogram_plot.h"

void DynamogramPlots::dynamogramCompleted(const DynamogramRecord& record, float fillFactor) {
    Layer plot;
    int width = gDisplay ? gDisplay->width() : kPlotWidth;
    int height = gDisplay ? gDisplay->height() : kPlotHeight;
    drawDynamogramPlot(plot, record, fillFactor, gDisplay ? &gDisplay->font(FontFace::Verdana) : nullptr,
                       width, height);
    if (!plots_.empty())
        plots_.back().second.visible = false;
    plots_.emplace_back(&record, std::move(plot));
    while (plots_.size() > kKept)
        plots_.pop_front();
}

const Layer* DynamogramPlots::plotOf(const DynamogramRecord& record) const {
    for (const auto& [drawn, plot] : plots_)
        if (drawn == &record)
            return &plot;
    return nullptr;
}
