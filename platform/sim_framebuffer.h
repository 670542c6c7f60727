#pragma once
// The simulated LCD: a 16-bit framebuffer in memory that counts presented frames and can be saved
// as a PNG picture.

#include "platform/framebuffer.h"

#include <vector>

namespace platform {

class SimFramebuffer : public FramebufferDevice {
public:
    explicit SimFramebuffer(int width = 240, int height = 64, int bitsPerPixel = 16);

    FramebufferError open(int& error) override;
    FramebufferInfo info() const override { return info_; }
    uint8_t* memory() override { return memory_.data(); }
    size_t size() const override { return memory_.size(); }
    void presented() override { ++presents_; }
    void close() override { open_ = false; }

    // The next open fails at `stage` with errno `error`, as a missing or broken panel would.
    void failOpen(FramebufferError stage, int error) {
        failStage_ = stage;
        failError_ = error;
    }
    // Reports a panned screen without growing the memory, as a driver may.
    void setOffsets(int xoffset, int yoffset) {
        info_.xoffset = xoffset;
        info_.yoffset = yoffset;
    }
    bool isOpen() const { return open_; }
    unsigned long presents() const { return presents_; }
    // The 16-bit pixel at (x, y) of the last frame.
    uint16_t pixel(int x, int y) const;
    // Writes the last frame as an RGB PNG. False when the file cannot be written.
    bool writePng(const std::string& path) const;

private:
    FramebufferInfo info_;
    std::vector<uint8_t> memory_;
    unsigned long presents_ = 0;
    bool open_ = false;
    FramebufferError failStage_ = FramebufferError::None;
    int failError_ = 0;
};

} // namespace platform
