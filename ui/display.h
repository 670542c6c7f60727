#pragma once
// The panel's one display: composes its layer list into the screen image, presents only changes,
// blanks, and slides the side-by-side pages with an accelerating scroll.

#include "core/timer_queue.h"
#include "ui/font.h"
#include "ui/framebuffer.h"
#include "ui/layer.h"

#include <memory>
#include <vector>

// The panel's three typefaces.
enum class FontFace { Arial, Verdana, RobotoMono };

class Display {
public:
    explicit Display(platform::FramebufferDevice& device);
    ~Display();
    Display(const Display&) = delete;
    Display& operator=(const Display&) = delete;

    // Opens the framebuffer: 0, or the exit status of a failed open.
    int open();

    const Rect& screen() const { return framebuffer_.rect(); }
    int width() const { return screen().width(); }
    int height() const { return screen().height(); }

    // Layers are not owned; later layers lie on top.
    void addLayer(Layer* layer);
    void removeLayer(Layer* layer);
    bool hasLayer(const Layer* layer) const;

    void redraw();
    void setBlank(bool blank);
    bool isBlanked() const { return blanked_; }
    // False when the layer is hidden, the display blanked, or opaque layers above cover it.
    bool isLayerVisible(const Layer* layer) const;

    // The texts drawn on the layers that can be seen now, top to bottom (then left to right): those
    // with their baseline inside the screen's rows and some of their width inside its columns.
    std::vector<std::string> visibleTexts() const;
    // Some visible opaque layer above `layer` covers the screen point (x, y).
    bool coveredAbove(const Layer* layer, int32_t x, int32_t y) const;

    void scrollBy(int32_t dx);
    void showPage(int index);
    void pauseScroll();
    void resumeScroll();
    int32_t scrollPosition() const { return position_; }
    int32_t pendingScroll() const { return pending_; }

    const Layer& screenImage() const { return image_; }
    // Where a layer of the page whose origin is pageOrigin stands on the screen right now, with the
    // scroll still under way taken into account.
    int32_t pageX(int32_t pageOrigin) const { return pageOrigin - position_ - pending_; }

    // The shared face, opened on first use; set its size before measuring or drawing.
    Font& font(FontFace face);

private:
    void scrollStep();

    std::vector<Layer*> layers_;
    Framebuffer framebuffer_;
    Layer image_;
    // The device shows what it held before the first frame: that one is written whole.
    bool wholeNext_ = true;
    // The image before the last redraw, to present only what changed.
    Layer previous_;
    int32_t pending_ = 0;
    int32_t step_ = 1;
    Timer scrollTimer_;
    int32_t position_ = 0;
    bool paused_ = false;
    bool blanked_ = false;
    std::unique_ptr<Font> fonts_[3];
};

// The panel of the running daemon (set by start-up, null before and after).
extern Display* gDisplay;
