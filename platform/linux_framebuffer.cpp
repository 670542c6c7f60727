#include "platform/linux_framebuffer.h"

#include "platform/platform.h"

#include <cerrno>
#include <fcntl.h>
#include <linux/fb.h>
#include <sys/ioctl.h>
#include <sys/mman.h>

namespace platform {

FramebufferError LinuxFramebuffer::open(int& error) {
    fd_.reset(::open(rootPath("/dev/fb0").c_str(), O_RDWR | O_CLOEXEC));
    if (!fd_) {
        error = errno;
        return FramebufferError::Open;
    }
    fb_fix_screeninfo fixed{};
    if (ioctl(fd_.get(), FBIOGET_FSCREENINFO, &fixed) != 0) {
        error = errno;
        return FramebufferError::FixedInfo;
    }
    fb_var_screeninfo variable{};
    if (ioctl(fd_.get(), FBIOGET_VSCREENINFO, &variable) != 0) {
        error = errno;
        return FramebufferError::VariableInfo;
    }
    info_.lineLength = static_cast<int>(fixed.line_length);
    info_.xres = static_cast<int>(variable.xres);
    info_.yres = static_cast<int>(variable.yres);
    info_.bitsPerPixel = static_cast<int>(variable.bits_per_pixel);
    info_.xoffset = static_cast<int>(variable.xoffset);
    info_.yoffset = static_cast<int>(variable.yoffset);
    size_ = static_cast<size_t>(info_.bitsPerPixel) * info_.xres * info_.yres / 8;
    void* mapped = mmap(nullptr, size_, PROT_READ | PROT_WRITE, MAP_SHARED, fd_.get(), 0);
    if (mapped == MAP_FAILED) {
        error = errno;
        size_ = 0;
        return FramebufferError::Map;
    }
    memory_ = static_cast<uint8_t*>(mapped);
    return FramebufferError::None;
}

void LinuxFramebuffer::close() {
    if (memory_)
        munmap(memory_, size_);
    memory_ = nullptr;
    size_ = 0;
    fd_.reset();
}

} // namespace platform
