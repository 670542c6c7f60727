#pragma once
// "/dev/fb0" with its screen-information ioctls and a shared mapping.

#include "platform/framebuffer.h"
#include "platform/unique_fd.h"

namespace platform {

class LinuxFramebuffer : public FramebufferDevice {
public:
    ~LinuxFramebuffer() override { close(); }
    FramebufferError open(int& error) override;
    FramebufferInfo info() const override { return info_; }
    uint8_t* memory() override { return memory_; }
    size_t size() const override { return size_; }
    void close() override;

private:
    UniqueFd fd_;
    FramebufferInfo info_;
    uint8_t* memory_ = nullptr;
    size_t size_ = 0;
};

} // namespace platform
