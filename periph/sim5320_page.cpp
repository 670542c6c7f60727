// The modem's panel page: the upper half shows the network (mode, operator, signal with its antenna,
// the link's addresses), the lower half the GPS (time, date, position, the satellites' bars).

#include "periph/sim5320.h"

#include "core/log.h"
#include "platform/platform.h"
#include "ui/display.h"
#include "ui/font.h"
#include "ui/keys.h"

#include <algorithm>
#include <cstdio>

namespace {

const char kIconDirectory[] = "/usr/share/velkord/img/";
constexpr int kPageWidth = 240;
constexpr int kHalfHeight = 64;
constexpr int kPageHeight = 2 * kHalfHeight;
constexpr uint8_t kInk = 255;

// Sizes in 1/64 pt.
constexpr long k8pt = 512;
constexpr long k9pt = 576;
constexpr long k12pt = 768;
constexpr long k14pt = 896;
constexpr long k16pt = 1024;
constexpr long k18pt = 1152;

// The network half.
constexpr int kModeLabelX = 0;
constexpr int kModeValueX = 104;
constexpr int kFirstBaseline = 15;
constexpr int kOperatorBaseline = 33;
constexpr int kSignalX = 130;
constexpr int kAddressBaseline = 52;
constexpr int kIpv6X = 96;
constexpr int kAntennaX = 212;
constexpr int kAntennaY = 0;
constexpr int kConnectedX = 212;
constexpr int kConnectedY = 22;

// The GPS half.
constexpr int kGpsCaptionBaseline = kHalfHeight + 18;
constexpr int kGpsIconX = 48;
constexpr int kGpsIconY = kHalfHeight + 1;
constexpr int kGpsTextX = 76;
constexpr int kGpsFirstBaseline = kHalfHeight + 14;
constexpr int kGpsSecondBaseline = kHalfHeight + 29;
constexpr int kGpsDateX = 156;
constexpr int kGpsLongitudeX = 120;
constexpr int kGroupWidth = 52;
constexpr int kBarPitch = 13;
constexpr int kBarWidth = 9;
constexpr int kFullSnr = 99;
constexpr int kNumberBaseline = kHalfHeight + 64;

} // namespace

std::string Sim5320::signalText() const {
    char text[32];
    std::snprintf(text, sizeof text, "%d дБм", signalDbm_);
    return text;
}

void Sim5320::loadIcons() {
    const std::string directory = platform::rootPath(kIconDirectory);
    for (int i = 0; i < 4; ++i)
        antennas_[i].loadPgm(directory + "antenna" + std::to_string(i) + ".pgm", false);
    connectedIcon_.loadPgm(directory + "connected.pgm", false);
    gpsIcon_.loadPgm(directory + "gps.pgm", true);
    layer_ = Layer(Rect{0, kPageWidth, 0, kPageHeight}, true, kBlendCoverage);
}

void Sim5320::drawPage() {
    layer_.clear();
    if (!display_)
        return;
    Font& font = display_->font(FontFace::Arial);
    font.setSize(k14pt);
    layer_.drawText(font, "Режим сети:", kModeLabelX, kFirstBaseline, kInk);
    layer_.drawText(font, networkMode_, kModeValueX, kFirstBaseline, kInk);
    layer_.drawText(font, operator_, 0, kOperatorBaseline, kInk);
    font.setSize(k12pt);
    layer_.drawText(font, signalText(), kSignalX, kOperatorBaseline, kInk);
    font.setSize(k9pt);
    layer_.drawText(font, ipv4_, 0, kAddressBaseline, kInk);
    layer_.drawText(font, ipv6_, kIpv6X, kAddressBaseline, kInk);

    font.setSize(k18pt);
    layer_.drawText(font, "GPS", 0, kGpsCaptionBaseline, kInk);
    if (gpsTexts_.size() < 4) {
        font.setSize(k16pt);
        layer_.drawText(font, gpsTexts_.empty() ? std::string() : gpsTexts_[0], kGpsTextX,
                        kGpsCaptionBaseline, kInk);
    } else {
        font.setSize(k12pt);
        layer_.drawText(font, gpsTexts_[0], kGpsTextX, kGpsFirstBaseline, kInk);
        layer_.drawText(font, gpsTexts_[1], kGpsDateX, kGpsFirstBaseline, kInk);
        layer_.drawText(font, gpsTexts_[2], 0, kGpsSecondBaseline, kInk);
        layer_.drawText(font, gpsTexts_[3], kGpsLongitudeX, kGpsSecondBaseline, kInk);
    }
    font.setSize(k8pt);
    for (size_t i = 0; i < bars_.size(); ++i) {
        const Bar& bar = bars_[i];
        int x = static_cast<int>(i / 4) * kGroupWidth + static_cast<int>(i % 4) * kBarPitch;
        // Bars of messages beyond the page's width are not drawn.
        if (!bar.set || x + kBarWidth > kPageWidth)
            continue;
        int snr = std::min(std::max(bar.snr, 0), kFullSnr);
        int top = kBarsTop + kBarHeight - kBarHeight * snr / kFullSnr;
        layer_.fillLocalRect(Rect{x, x + kBarWidth, top, kBarsTop + kBarHeight}, kInk);
        layer_.drawText(font, std::to_string(bar.satellite), x, kNumberBaseline, kInk);
    }
}

void Sim5320::placeLayers() {
    if (!display_ || index() < 0)
        return;
    int x = display_->pageX(pageOrigin());
    int y = -scroll_;
    if (!display_->hasLayer(&layer_)) {
        display_->addLayer(&layer_);
        for (Layer& icon : antennas_)
            display_->addLayer(&icon);
        display_->addLayer(&connectedIcon_);
        display_->addLayer(&gpsIcon_);
    }
    layer_.moveTo(x, y);
    for (Layer& icon : antennas_)
        icon.moveTo(x + kAntennaX, y + kAntennaY);
    connectedIcon_.moveTo(x + kConnectedX, y + kConnectedY);
    gpsIcon_.moveTo(x + kGpsIconX, y + kGpsIconY);
}

void Sim5320::refresh() {
    drawPage();
    placeLayers();
    if (display_ && display_->hasLayer(&layer_))
        display_->redraw();
}

void Sim5320::activate(int index) {
    HorizontalMenuItem::activate(index);
    refresh();
}

bool Sim5320::onKey(int key, bool pressed) {
    if (!pressed)
        return false;
    if (key == kKeyUp || key == kKeyDown) {
        scroll_ = key == kKeyDown ? kHalfHeight : 0;
        refresh();
        return true;
    }
    return false;
}
