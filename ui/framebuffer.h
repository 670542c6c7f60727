#pragma once
// The LCD as the panel code sees it: greyscale layers presented as 16-bit RGB 5:6:5 pixels.

#include "platform/framebuffer.h"
#include "ui/layer.h"

class Framebuffer {
public:
    explicit Framebuffer(platform::FramebufferDevice& device) : device_(device) {}
    ~Framebuffer() { close(); }
    Framebuffer(const Framebuffer&) = delete;
    Framebuffer& operator=(const Framebuffer&) = delete;

    // Opens the device; returns 0, or the exit status the daemon ends with (1, or 4 when the memory
    // cannot be mapped) after the reason is printed on standard error.
    int open();
    // Blackens the screen and releases the device.
    void close();
    bool isOpen() const { return open_; }

    const Rect& rect() const { return rect_; }
    void present(const Layer& layer) { present(layer, 0, rect_.height()); }
    // Writes only the screen's rows firstRow to endRow - 1 (from its top); the others keep what the
    // device shows.
    void present(const Layer& layer, int32_t firstRow, int32_t endRow);

private:
    platform::FramebufferDevice& device_;
    platform::FramebufferInfo info_;
    Rect rect_;
    Layer work_;
    bool open_ = false;
};

// One grey value as a 16-bit 5:6:5 pixel.
inline uint16_t rgb565FromGrey(uint8_t g) {
    return static_cast<uint16_t>((g >> 3) << 11 | (g & 0xFC) << 3 | (g >> 3));
}
