#include "ui/clock.h"

#include "core/registry.h"
#include "platform/clock.h"
#include "platform/platform.h"
#include "ui/display.h"
#include "ui/keys.h"

namespace {

constexpr long kFontSize = 576;
constexpr uint8_t kInk = 255;

bool sameLines(const std::vector<PlacedText>& a, const std::vector<PlacedText>& b) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (a[i].x != b[i].x || a[i].y != b[i].y || a[i].text != b[i].text)
            return false;
    return true;
}

} // namespace

Clock::Clock(const DriveView& drive, Config& config, DriveCommands& commands, platform::SystemControl& system)
    : HorizontalMenuItem("Главный экран"), drive_(drive), config_(config),
      journalMenu_(SettingsMenu::kLogViewerTitle), logViewer_(platform::rootPath("/var/log/events")),
      settings_(std::make_unique<SettingsMenu>(config, commands, system, gSerialNumber)) {
    // The menu's last place: "Просмотр журнала и динамограмм" with the log viewer in it.
    journalMenu_.addMenuItem(&logViewer_);
    settings_->setLogViewer(&journalMenu_);
    if (gDisplay)
        layer_ = Layer(Rect{0, gDisplay->width(), 0, gDisplay->height()}, true, kBlendCoverage);
    tick();
}

Clock::~Clock() {
    settings_.reset();
    if (gTimers)
        gTimers->cancel(timer_);
    if (gDisplay)
        gDisplay->removeLayer(&layer_);
}

bool Clock::onKey(int key, bool pressed) {
    VerticalMenu& menu = settings_->menu();
    if (menu.onKey(key, pressed))
        return true;
    if (key != kKeyEnter)
        return false;
    if (pressed) {
        menu.setPageOrigin(pageOrigin());
        menu.activate(0);
    }
    return true;
}

void Clock::close() {
    settings_->menu().close();
}

void Clock::tick() {
    if (gTimers)
        timer_ = gTimers->add("clock", kTickMs, [this] { tick(); });
    draw();
}

void Clock::draw() {
    // Only a page that stands in the page set has a place on the panel.
    if (!gDisplay || index() < 0)
        return;
    bool placed = gDisplay->hasLayer(&layer_);
    if (!placed)
        gDisplay->addLayer(&layer_);
    int32_t left = gDisplay->pageX(pageOrigin());
    bool moved = layer_.rect().left != left;
    layer_.moveTo(left, 0);
    if (!gDisplay->isLayerVisible(&layer_))
        return;
    std::vector<PlacedText> lines = mainScreenLines(drive_, config_, platform::wallTime());
    // The same texts in the same place are the same pixels: nothing to draw or present.
    if (placed && !moved && drawn_ && sameLines(lines, shown_))
        return;
    layer_.clear();
    shown_ = std::move(lines);
    drawn_ = true;
    Font& font = gDisplay->font(FontFace::Arial);
    font.setSize(kFontSize);
    for (const auto& line : shown_)
        layer_.drawText(font, line.text, line.x, line.y, kInk);
    gDisplay->redraw();
}
